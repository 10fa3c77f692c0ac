#include "render/pass_geometry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

TEST(PassGeometry, PointWordDecodesCountPackingAndEscape) {
    struct Case {
        uint16_t word;
        uint32_t count;
        int packing;
    };
    const Case cases[] = {
        {0x0005, 5, 0},     {0x4005, 5, 1},     {0x8010, 16, 2},   {0xC3FE, 0x3FE, 3},
        {0x3FFF, 16383, 0}, {0xFFFF, 65535, 0}, {0x7FFF, 0x7FFF, 0}, {0x0000, 0, 0},
    };
    for (const Case& c : cases) {
        const MnePointWord w = DecodePointWord(c.word);
        EXPECT_EQ(w.count, c.count) << std::hex << c.word;
        EXPECT_EQ(w.packing, c.packing) << std::hex << c.word;
    }
}

// A 14-byte line record at offset 0 with its points after it.
std::vector<uint8_t> Block(uint16_t word, const std::vector<uint8_t>& points) {
    std::vector<uint8_t> block(14, 0);
    block[8] = static_cast<uint8_t>(word), block[9] = static_cast<uint8_t>(word >> 8);
    block[10] = 14;   // the points follow the record
    block.insert(block.end(), points.begin(), points.end());
    return block;
}

TEST(PassGeometry, PackedPointsAddScaledBytesToTheBase) {
    // Base: x 100 (high half), y 200 (low half); byte pairs are (y, x).
    const std::vector<uint8_t> packed = {200, 0, 100, 0, 3, 5, 10, 1};
    const struct {
        int packing;
        int scale;
    } packings[] = {{1, 1}, {2, 2}, {3, 4}};
    for (const auto& p : packings) {
        const std::vector<uint8_t> block = Block(static_cast<uint16_t>((p.packing << 14) | 2), packed);
        MneStoredPoints points;
        ASSERT_TRUE(StoredPointsOf(MneBlockView(block.data(), static_cast<uint32_t>(block.size())), block.data(),
                                   static_cast<uint16_t>((p.packing << 14) | 2), &points));
        EXPECT_EQ(StoredPointAt(points, 0), (TileLocalPoint{static_cast<int16_t>(200 + 3 * p.scale),
                                                            static_cast<int16_t>(100 + 5 * p.scale)}));
        EXPECT_EQ(StoredPointAt(points, 1), (TileLocalPoint{static_cast<int16_t>(200 + 10 * p.scale),
                                                            static_cast<int16_t>(100 + 1 * p.scale)}));
    }
}

TEST(PassGeometry, PointsLeavingTheBlockAreRefused) {
    // Two unpacked points need 8 bytes; 7 are there.
    const std::vector<uint8_t> block = Block(2, std::vector<uint8_t>(7, 0));
    MneStoredPoints points;
    EXPECT_FALSE(StoredPointsOf(MneBlockView(block.data(), static_cast<uint32_t>(block.size())), block.data(), 2,
                                &points));
    // The 0x3FFF escape is a count of 16383 unpacked points, far past the block.
    EXPECT_FALSE(StoredPointsOf(MneBlockView(block.data(), static_cast<uint32_t>(block.size())), block.data(), 0x3FFF,
                                &points));
    const std::vector<uint8_t> fits = Block(2, std::vector<uint8_t>(8, 0));
    EXPECT_TRUE(StoredPointsOf(MneBlockView(fits.data(), static_cast<uint32_t>(fits.size())), fits.data(), 2, &points));
}

TEST(PassGeometry, SeamEdgesLieAlongTheTileBorder) {
    EXPECT_TRUE(IsSeamEdge({0, 0}, {2048, 0}));        // y, x: both x = 0
    EXPECT_TRUE(IsSeamEdge({5, 2048}, {900, 2048}));
    EXPECT_TRUE(IsSeamEdge({0, 10}, {0, 2000}));
    EXPECT_TRUE(IsSeamEdge({2048, 10}, {2048, 2000}));
    EXPECT_FALSE(IsSeamEdge({0, 0}, {2048, 2048}));    // a diagonal through the corners
    EXPECT_FALSE(IsSeamEdge({0, 5}, {1, 5}));
}

TEST(PassGeometry, BoxTestCountsTouchingAsMeeting) {
    uint8_t record[14] = {};
    auto box = [&](uint16_t minY, uint16_t minX, uint16_t maxY, uint16_t maxX) {
        const uint16_t v[4] = {minY, minX, maxY, maxX};
        std::memcpy(record, v, sizeof v);   // little-endian host
    };
    const int16_t rect[4] = {100, 200, 50, 60};   // y 100..150, x 200..260
    box(150, 260, 300, 300);
    EXPECT_TRUE(BoxMeetsRect(record, rect));       // corner touches
    box(151, 0, 300, 300);
    EXPECT_FALSE(BoxMeetsRect(record, rect));
    box(0, 0, 99, 300);
    EXPECT_FALSE(BoxMeetsRect(record, rect));
    box(0, 261, 300, 300);
    EXPECT_FALSE(BoxMeetsRect(record, rect));
    box(0, 0, 100, 200);
    EXPECT_TRUE(BoxMeetsRect(record, rect));
}

TEST(PassGeometry, ShadowOffsetsFromTheKindCode) {
    const struct {
        int code, dx, dy;
    } cases[] = {{123, 2, 3}, {23, -2, -3}, {100, 0, 0}, {245, 4, 5}, {7, 0, -7}};
    for (const auto& c : cases) {
        int dx = 9, dy = 9;
        ShadowOffsets(c.code, &dx, &dy);
        EXPECT_EQ(dx, c.dx) << c.code;
        EXPECT_EQ(dy, c.dy) << c.code;
    }
}

TEST(PassGeometry, PolygonClassFillColours) {
    EXPECT_EQ(PolygonFillColour(28, 0x101010), 0x000000u);
    EXPECT_EQ(PolygonFillColour(28, 0x801A40), 0x670127u);
    EXPECT_EQ(PolygonFillColour(29, 0xF0F0F0), 0xFFFFFFu);
    EXPECT_EQ(PolygonFillColour(29, 0x102030), 0x2E3E4Eu);
    EXPECT_EQ(PolygonFillColour(3, 0x123456), 0x123456u);
}

}  // namespace

namespace {

using Pairs = std::vector<std::pair<int32_t, int32_t>>;
Pairs AsPairs(const std::vector<ScreenPoint>& points) {
    Pairs out;
    for (const ScreenPoint& p : points) out.emplace_back(p.x, p.y);
    return out;
}

TEST(PassGeometry, OffsetPolylineMovesAcrossTheSegment) {
    const ScreenPoint line[2] = {{0, 100}, {100, 100}};
    std::vector<ScreenPoint> out;
    ASSERT_TRUE(OffsetPolyline(line, 2, 10, 0, 1.0, out));
    EXPECT_EQ(AsPairs(out), (Pairs{{0, 90}, {100, 90}}));
    ASSERT_TRUE(OffsetPolyline(line, 2, 10, 1, 1.0, out));
    EXPECT_EQ(AsPairs(out), (Pairs{{0, 110}, {100, 110}}));
    // The factor scales the y part only: a vertical segment moves in x.
    const ScreenPoint up[2] = {{50, 100}, {50, 0}};   // upward on the screen: 90 degrees
    ASSERT_TRUE(OffsetPolyline(up, 2, 10, 1, 0.5, out));
    EXPECT_EQ(AsPairs(out), (Pairs{{60, 100}, {60, 0}}));
}

TEST(PassGeometry, OffsetPolylineInnerPoints) {
    std::vector<ScreenPoint> out;
    // Three points on one horizontal line: the middle one moves by the second normal.
    const ScreenPoint flat[3] = {{0, 100}, {50, 100}, {100, 100}};
    ASSERT_TRUE(OffsetPolyline(flat, 3, 10, 0, 1.0, out));
    EXPECT_EQ(AsPairs(out)[1], (std::pair<int32_t, int32_t>{50, 90}));
    // A right-angle corner: east, then up the screen.
    const ScreenPoint corner[3] = {{0, 100}, {50, 100}, {50, 0}};
    ASSERT_TRUE(OffsetPolyline(corner, 3, 10, 1, 1.0, out));
    // Segment 1 (east): normal (0, 10), side 1 moves to y 110. Segment 2
    // (up, 90 degrees): normal (10, 0), side 1 moves to x 60.
    EXPECT_EQ(AsPairs(out), (Pairs{{0, 110}, {60, 110}, {60, 0}}));
    // Repeated points are dropped; one distinct point fails.
    const ScreenPoint same[3] = {{5, 5}, {5, 5}, {5, 5}};
    EXPECT_FALSE(OffsetPolyline(same, 3, 10, 0, 1.0, out));
    EXPECT_TRUE(out.empty());
}

}  // namespace

namespace {

TEST(PassGeometry, StripeBandCountIsAtLeastSixAndCapped) {
    EXPECT_EQ(StripeBandCount(20.0), 6);     // a short diagonal still gives 6 bands
    EXPECT_EQ(StripeBandCount(59.9), 9);
    EXPECT_EQ(StripeBandCount(600.0), 100);
    // A damaged record's huge diagonal must not loop for millions of bands.
    EXPECT_EQ(StripeBandCount(4.0e9), kMaxStripeBands);
}

}  // namespace
