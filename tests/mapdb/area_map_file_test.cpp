// The area files: block bytes as written, damaged blocks refused whole, and
// the lookup of a point's area across tile borders.
#include "mapdb/area_map_file.h"

#include <gtest/gtest.h>

#include "platform/file_io.h"
#include "support/temp_dir.h"
#include "tools/writers/area_map_writer.h"
#include "tools/writers/map_container_writer.h"

namespace {

using writers::LocalArea;

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
    std::vector<uint8_t> out;
    for (int v : values) out.push_back(static_cast<uint8_t>(v));
    return out;
}

LocalArea Triangle(uint32_t code) {
    LocalArea a;
    a.minX = 10;
    a.minY = 20;
    a.maxX = 110;
    a.maxY = 120;
    a.points = {{10, 20}, {110, 20}, {10, 120}};
    a.code = code;
    return a;
}

TEST(AreaWriter, BlockBytesComputedByHand) {
    const auto block = writers::BuildAreaBlock({Triangle(0x01020304)}, true);
    const auto expected = Bytes({
        1, 0, 6, 0, 0, 0,              // one area, entries at 6
        20, 0, 10, 0, 120, 0, 110, 0,  // min y, min x, max y, max x
        3, 0, 24, 0, 0, 0,             // three points at 6 + 18
        4, 3, 2, 1,                    // code
        10, 0, 0, 0, 20, 0, 0, 0,      // (10, 20)
        110, 0, 0, 0, 20, 0, 0, 0,     // (110, 20)
        10, 0, 0, 0, 120, 0, 0, 0,     // (10, 120)
    });
    EXPECT_EQ(block, expected);
    // Without the code the entry is 14 bytes and the points start at 20.
    const auto city = writers::BuildAreaBlock({Triangle(7)}, false);
    ASSERT_EQ(city.size(), 6u + 14u + 24u);
    EXPECT_EQ(city[16], 20);
}

TEST(AreaBlock, DamagedBlocksAreRefusedWhole) {
    LocalArea longList = Triangle(1);
    longList.forcedPointCount = 4;  // one point more than stored
    LocalArea farPoint = Triangle(1);
    farPoint.points[1] = {4096, 20};  // two tiles east: not this tile's outline
    auto entriesOutside = writers::BuildAreaBlock({Triangle(1)}, true);
    entriesOutside[2] = 200;  // entry offset past the end
    auto countTooLarge = writers::BuildAreaBlock({Triangle(1), Triangle(2)}, true);
    countTooLarge[0] = 3;
    struct Case {
        const char* what;
        std::vector<uint8_t> block;
        uint32_t entryBytes;
        bool accepted;
    } const cases[] = {
        {"good", writers::BuildAreaBlock({Triangle(1), Triangle(2)}, true), kMneAddressEntryBytes, true},
        {"good city block", writers::BuildAreaBlock({Triangle(0)}, false), kMneCityEntryBytes, true},
        {"no areas", Bytes({0, 0, 0, 0, 0, 0}), kMneAddressEntryBytes, true},
        {"shorter than its header", Bytes({1, 0, 6}), kMneAddressEntryBytes, false},
        {"empty", {}, kMneAddressEntryBytes, false},
        {"entries past the end", entriesOutside, kMneAddressEntryBytes, false},
        {"more areas than entries", countTooLarge, kMneAddressEntryBytes, false},
        {"point list past the end", writers::BuildAreaBlock({longList}, true), kMneAddressEntryBytes, false},
        // An outline reaching far past its tile is cut, not refused.
        {"outline point far outside its tile", writers::BuildAreaBlock({farPoint}, true), kMneAddressEntryBytes,
         true},
        {"address block read as city entries of another size", writers::BuildAreaBlock({Triangle(1)}, true), 16,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const char* why = MneCheckAreaBlock(c.block.data(), static_cast<uint32_t>(c.block.size()), c.entryBytes);
        EXPECT_EQ(why == nullptr, c.accepted) << (why ? why : "");
        uint32_t code = 5;
        if (!c.accepted) {
            EXPECT_EQ(MneFindAreaInBlock(c.block.data(), static_cast<uint32_t>(c.block.size()), c.entryBytes, 20,
                                         30, &code),
                      0);
            EXPECT_EQ(code, 0u);
        }
    }
}

TEST(AreaBlock, FirstAreaHoldingThePointGivesTheCode) {
    // Area 1: the triangle (10,20) (110,20) (10,120); area 2: a square over
    // all of it. Boxes alone would give area 1 for (100, 100).
    LocalArea square;
    square.minX = square.minY = 0;
    square.maxX = square.maxY = 200;
    square.points = {{0, 0}, {200, 0}, {200, 200}, {0, 200}};
    square.code = 2;
    const auto block = writers::BuildAreaBlock({Triangle(1), square}, true);
    struct Case {
        int32_t x, y;
        int found;
        uint32_t code;
    } const cases[] = {
        {20, 30, 1, 1},     // inside the triangle
        {100, 100, 1, 2},   // in the triangle's box, outside it
        {10, 20, 1, 1},     // the triangle's corner: left and top edges are inside
        {199, 199, 1, 2},
        {200, 100, 0, 0},   // right edge of the square: outside
        {300, 300, 0, 0},
        {-1, 5, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.x << "," << c.y);
        uint32_t code = 9;
        EXPECT_EQ(MneFindAreaInBlock(block.data(), static_cast<uint32_t>(block.size()), kMneAddressEntryBytes, c.x, c.y,
                                     &code),
                  c.found);
        EXPECT_EQ(code, c.code);
    }
}

// Areas whose point lists overlap make a search read more points than the
// block holds; it stops there, but two areas naming the same list read it
// once. Area 1 and 2 share an eight-point ring around (150..190, 150..190),
// area 3 is the triangle; all boxes hold (50, 50). The block holds 18
// points' worth of bytes: reading the ring twice would leave too few for the
// triangle.
TEST(AreaBlock, ListNamedTwiceIsReadOnce) {
    LocalArea ring;
    ring.minX = ring.minY = 0;
    ring.maxX = ring.maxY = 200;
    ring.points = {{150, 150}, {170, 150}, {190, 150}, {190, 170}, {190, 190}, {170, 190}, {150, 190}, {150, 170}};
    ring.code = 1;
    LocalArea again = ring;
    again.code = 2;
    auto block = writers::BuildAreaBlock({ring, again, Triangle(3)}, true);
    // Lists at 60 (ring), 124 (its copy), 188 (triangle): drop the copy and
    // point area 2 at the ring, the triangle at 124.
    ASSERT_EQ(block.size(), 212u);
    block.erase(block.begin() + 124, block.begin() + 188);
    block[6 + 18 + 10] = 60;
    block[6 + 36 + 10] = 124;
    const uint32_t size = static_cast<uint32_t>(block.size());
    ASSERT_EQ(MneCheckAreaBlock(block.data(), size, kMneAddressEntryBytes), nullptr);
    uint32_t code = 9;
    EXPECT_EQ(MneFindAreaInBlock(block.data(), size, kMneAddressEntryBytes, 50, 50, &code), 1);
    EXPECT_EQ(code, 3u);
    EXPECT_EQ(MneFindAreaInBlock(block.data(), size, kMneAddressEntryBytes, 160, 160, &code), 1);
    EXPECT_EQ(code, 1u);
}

TEST(AreaMapFile, AreaAcrossTileBorders) {
    // A diamond of 0.03 degree spans several level-2 tiles; each tile holds
    // the outline in its own steps.
    const auto deg = [](double lon, double lat) {
        return MapPoint{static_cast<int32_t>(lon * kMapUnitsPerDegree), static_cast<int32_t>(lat * kMapUnitsPerDegree)};
    };
    const std::vector<writers::MapArea> areas = {
        {42, {deg(127.0, 37.47), deg(127.03, 37.5), deg(127.0, 37.53), deg(126.97, 37.5)}}};
    // The diamond spans about four tiles a side, so written whole each
    // tile's outline reaches more than a tile's width past it: the reader
    // cuts that one outline and loses no area.
    for (const auto& [packed, cut] : {std::pair{false, true}, std::pair{true, true}, std::pair{false, false}}) {
        SCOPED_TRACE(::testing::Message() << (packed ? "packed" : "plain") << (cut ? ", cut outlines" : ", whole"));
        testsupport::TempDir dir;
        ASSERT_TRUE(platform::AtomicReplaceFile(dir.File("Address.map"),
                                                writers::BuildAreaMap(areas, true, packed, cut)));
        CMneAddressMapFile file;
        ASSERT_EQ(file.Open(dir.File("Address.map")), 1);
        ASSERT_EQ(file.AttachBuffer(1, 1), 1);
        struct Case {
            MapPoint point;
            int found;
        } const cases[] = {
            {deg(127.0, 37.5), 1},       {deg(127.02, 37.505), 1}, {deg(126.985, 37.49), 1},
            {deg(127.0, 37.528), 1},     {deg(127.02, 37.52), 0},  {deg(126.975, 37.48), 0},
            {deg(127.2, 37.5), 0},       {{-1, -1}, 0},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(::testing::Message() << c.point.x << "," << c.point.y);
            uint32_t code = 9;
            EXPECT_EQ(file.FindArea(c.point, &code), c.found);
            EXPECT_EQ(code, c.found ? 42u : 0u);
        }
        // The lookups go through LoadBlock only.
        EXPECT_EQ(file.QueryBlock({2, 8128, 2400}), nullptr);
    }
}

}  // namespace
