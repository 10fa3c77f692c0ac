// Anti-aliased drawing context: binding, smooth and aliased strokes, text
// layout through a glyph source, stored string images.
#include "render/aa_context.h"

#include <agg_rasterizer_scanline_aa.h>
#include <agg_renderer_scanline.h>
#include <agg_scanline_storage_aa.h>
#include <agg_scanline_u.h>
#include <agg_path_storage.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>

#include "render/egl_draw.h"
#include "support/pixel_grid.h"

using testsupport::PixelGrid;
using testsupport::Rows;

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;

// One outline vertex in the serialised 16-bit form: coordinates in 1/64
// pixel shifted up by one bit; the low bits carry the command.
void Vertex(std::vector<uint8_t>& out, double x, double y, bool lineTo) {
    const int16_t vx = static_cast<int16_t>((static_cast<int>(x * 64) << 1) | (lineTo ? 1 : 0));
    const int16_t vy = static_cast<int16_t>(static_cast<int>(y * 64) << 1);
    out.push_back(static_cast<uint8_t>(vx));
    out.push_back(static_cast<uint8_t>(vx >> 8));
    out.push_back(static_cast<uint8_t>(vy));
    out.push_back(static_cast<uint8_t>(vy >> 8));
}

// A serialised coverage image of a filled rectangle, as bitmap fonts hold.
std::vector<uint8_t> RectImage(double x1, double y1, double x2, double y2) {
    agg::path_storage path;
    path.move_to(x1, y1);
    path.line_to(x2, y1);
    path.line_to(x2, y2);
    path.line_to(x1, y2);
    path.close_polygon();
    agg::rasterizer_scanline_aa<> ras;
    ras.add_path(path);
    agg::scanline_storage_aa8 storage;
    agg::scanline_u8 sl;
    agg::render_scanlines(ras, sl, storage);
    std::vector<uint8_t> out(storage.byte_size());
    storage.serialize(out.data());
    return out;
}

// Every character is an 8 x 10 box standing on the baseline, advance 10,
// height 12, descent 2. The pool is a map, with counters.
class FakeFont : public MneGlyphSource {
public:
    explicit FakeFont(int32_t kind, int32_t stores) : m_kind(kind), m_stores(stores) {
        Vertex(m_outline, 0, -10, false);
        Vertex(m_outline, 8, -10, true);
        Vertex(m_outline, 8, 0, true);
        Vertex(m_outline, 0, 0, true);
        m_image = RectImage(0, -10, 8, 0);
    }
    int32_t Kind() const override { return m_kind; }
    int32_t Descent() const override { return 2; }
    int32_t StoresImages() const override { return m_stores; }
    int GetTextExtent(const char* text, int32_t length, MneSize* size) override {
        int32_t chars = 0;
        for (int32_t i = 0; i < length; ++i, ++chars)
            if ((static_cast<uint8_t>(text[i]) & 0x80) && i + 1 < length) ++i;
        size->cx = chars * 10;
        size->cy = 12;
        return 1;
    }
    int GetGlyph(uint32_t code, int32_t* ax, int32_t* ay, int32_t* len, const uint8_t** data, double* scale,
                 double* weight) override {
        ++glyphCalls;
        codes.push_back(code);
        if (code == ' ') {
            *ax = 10, *ay = 12, *len = 0, *data = nullptr, *scale = 1, *weight = 0;
            return 1;
        }
        const std::vector<uint8_t>& d = m_kind == 1 ? (damaged ? m_damaged : m_image) : m_outline;
        *ax = 10;
        *ay = 12;
        *len = static_cast<int32_t>(d.size());
        *data = d.data();
        *scale = 1.0;
        *weight = boldWeight;
        return 1;
    }
    int FindImage(const char* text, int32_t length, const uint8_t** data, int32_t* size, int32_t* width,
                  int32_t* height) override {
        EXPECT_TRUE(locked);
        const auto it = pool.find(std::string(text, length));
        if (it == pool.end()) return 0;
        ++hits;
        *data = it->second.data();
        *size = static_cast<int32_t>(it->second.size());
        *width = 10 * length;
        *height = 12;
        return 1;
    }
    int StoreImage(const char* text, int32_t length, const uint8_t* data, int32_t size, int32_t, int32_t) override {
        EXPECT_TRUE(locked);
        pool[std::string(text, length)] = std::vector<uint8_t>(data, data + size);
        return 1;
    }
    void ReleaseImage(const char*, int32_t) override {}
    void LockPool() override { locked = true; }
    void UnlockPool() override { locked = false; }

    std::map<std::string, std::vector<uint8_t>> pool;
    std::vector<uint32_t> codes;
    int glyphCalls = 0;
    int hits = 0;
    bool locked = false;
    bool damaged = false;
    double boldWeight = 0.0;

private:
    int32_t m_kind;
    int32_t m_stores;
    std::vector<uint8_t> m_outline;
    std::vector<uint8_t> m_image;
    std::vector<uint8_t> m_damaged = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 0xFF, 0xFF, 0xFF, 0x7F};
};

class CMneDCTest : public ::testing::Test {
protected:
    void Make(int32_t w, int32_t h) {
        ASSERT_EQ(image.Create(w, h), 1);
        ASSERT_EQ(dc.Attach(image), 1);
    }
    std::string Grid() const { return PixelGrid(image, {{0, '.'}, {0xFFFF, '#'}}); }
    int Green(int32_t x, int32_t y) const { return (image.Pixel(x, y) >> 5) & 0x3F; }

    DibImage565 image;
    CMneDC dc;
};

TEST_F(CMneDCTest, AttachAndBitmapInfo) {
    std::vector<uint8_t> buf(64);
    EXPECT_EQ(dc.Attach(buf.data(), 4, 4, 24, 0), 0);
    EXPECT_FALSE(dc.IsAttached());
    MneBitmapDesc info;
    EXPECT_EQ(dc.GetBitmapInfo(&info), 0);
    EXPECT_EQ(dc.Attach(nullptr, 4, 4, 16, 0), 0);
    ASSERT_EQ(dc.Attach(buf.data(), 3, 4, 16, 0), 1);
    ASSERT_EQ(dc.GetBitmapInfo(&info), 1);
    EXPECT_EQ(info.type, 0);
    EXPECT_EQ(info.width, 3);
    EXPECT_EQ(info.height, 4);
    EXPECT_EQ(info.widthBytes, 8);
    EXPECT_EQ(info.planes, 1);
    EXPECT_EQ(info.bitsPixel, 16);
    EXPECT_EQ(info.bits, buf.data());
    EXPECT_EQ(dc.ScratchCapacity(), CMneDC::kInitialScratchBytes);

    EXPECT_EQ(dc.SetTextColor(0x123456), 0u);
    EXPECT_EQ(dc.GetTextColor(), 0x123456u);
    EXPECT_EQ(dc.SetBkColor(1), 0xFFFFFFu);
    EXPECT_EQ(dc.SetBkMode(2), 1);
    EXPECT_EQ(dc.SetGreyMode(1), 1);
}

TEST_F(CMneDCTest, SquareCappedStrokesAliasedAndSmooth) {
    const EglPoint line[] = {{2, 3}, {7, 3}};
    for (int32_t smooth : {0, 1}) {
        SCOPED_TRACE(smooth);
        Make(10, 6);
        EXPECT_EQ(dc.Polyline(line, 2, 2, kWhite, smooth), 1);
        // Width 2: one pixel each side of the line, the caps one pixel long.
        EXPECT_EQ(Grid(), Rows({
                              "..........",
                              "..........",
                              ".#######..",
                              ".#######..",
                              "..........",
                              "..........",
                          }));
    }
    EXPECT_EQ(dc.Polyline(line, 1, 2, kWhite, 1), 0);
    EXPECT_EQ(dc.Polyline(nullptr, 2, 2, kWhite, 1), 0);
}

TEST_F(CMneDCTest, SmoothCoverageWithinOneStep) {
    // Width 1 on a pixel boundary covers half of two rows; the square caps
    // add a quarter-covered pixel at each end.
    Make(10, 6);
    const EglPoint line[] = {{2, 3}, {7, 3}};
    dc.Polyline(line, 2, 1, kWhite, 1);
    struct Px {
        int32_t x, y, green;
    } expected[] = {{4, 2, 32}, {4, 3, 32}, {1, 2, 16}, {7, 3, 16}, {2, 2, 32}, {4, 1, 0}, {4, 4, 0}, {9, 3, 0}};
    for (const Px& p : expected) EXPECT_NEAR(Green(p.x, p.y), p.green, 1) << p.x << "," << p.y;
    testsupport::MaybeSavePng(image, "aa_width1");

    // Grey mode greys the stroke colour.
    Make(10, 6);
    dc.SetGreyMode(1);
    dc.Polyline(line, 2, 2, 0x0000FF, 0);
    EXPECT_EQ(image.Pixel(3, 3), GreyTable565[0xF800]);
}

TEST_F(CMneDCTest, FarCoordinatesAreClipped) {
    Make(8, 8);
    const EglPoint far[] = {{-2000000000, 4}, {2000000000, 4}, {3, 2000000000}};
    EXPECT_EQ(dc.Polyline(far, 3, 3, kWhite, 1), 1);
    EXPECT_EQ(image.Pixel(5, 4), 0xFFFF);
}

TEST_F(CMneDCTest, TextLayoutByFlags) {
    FakeFont font(0, 0);
    EXPECT_EQ(dc.SelectFont(&font), nullptr);
    struct Case {
        const char* name;
        uint32_t flags;
        int32_t boxLeft, boxTop;  // where the 8 x 10 box of the first character lands
    } cases[] = {
        {"top-left", 0, 4, 3},
        {"right", kMneTextRight, 30 - 20, 3},
        {"centred", kMneTextCentreX | kMneTextCentreY, 4 + (26 - 20) / 2, 3 + (24 - 12) / 2},
        {"bottom wins over centre", kMneTextBottom | kMneTextCentreY, 4, 27 - 12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Make(40, 30);
        dc.SetTextColor(kWhite);
        const MneRect rect{4, 3, 30, 27};
        EXPECT_EQ(dc.DrawText("AB", 2, &rect, c.flags), 12);
        EXPECT_EQ(image.Pixel(c.boxLeft, c.boxTop), 0xFFFF);
        EXPECT_EQ(image.Pixel(c.boxLeft + 7, c.boxTop + 9), 0xFFFF);
        EXPECT_EQ(image.Pixel(c.boxLeft + 8, c.boxTop + 9), 0) << "gap between characters";
        EXPECT_EQ(image.Pixel(c.boxLeft + 10, c.boxTop + 9), 0xFFFF) << "second character";
        EXPECT_EQ(image.Pixel(c.boxLeft, c.boxTop - 1), 0);
        EXPECT_EQ(image.Pixel(c.boxLeft, c.boxTop + 10), 0) << "the descent stays empty";
    }
}

TEST_F(CMneDCTest, TextRefusalsAndClipping) {
    FakeFont font(0, 0);
    Make(20, 20);
    const MneRect rect{0, 0, 20, 20};
    EXPECT_EQ(dc.DrawText("A", 1, &rect, 0), 0) << "no font";
    MneSize size;
    EXPECT_EQ(dc.GetTextExtent("A", 1, &size), 0);
    dc.SelectFont(&font);
    EXPECT_EQ(dc.GetTextExtent("A\xB0\xA1", 3, &size), 1);
    EXPECT_EQ(size.cx, 20);
    const MneRect right{25, 0, 40, 20};
    EXPECT_EQ(dc.DrawText("A", 1, &right, 0), 0);
    const MneRect below{0, 33, 20, 50};
    EXPECT_EQ(dc.DrawText("A", 1, &below, 0), 0);
    const MneRect left{-30, 0, -5, 20};
    EXPECT_EQ(dc.DrawText("AB", 2, &left, 0), 0);
    EXPECT_EQ(font.glyphCalls, 0);
    // The rectangle clips unless 0x100 is given.
    dc.SetTextColor(kWhite);
    const MneRect narrow{2, 2, 6, 20};
    EXPECT_EQ(dc.DrawText("A", 1, &narrow, 0), 12);
    EXPECT_EQ(image.Pixel(6, 5), 0xFFFF) << "AGG clip boxes include their far edge";
    EXPECT_EQ(image.Pixel(8, 5), 0);
    EXPECT_EQ(dc.DrawText("A", 1, &narrow, kMneTextNoClip), 12);
    EXPECT_EQ(image.Pixel(8, 5), 0xFFFF);
    // Two-byte characters reach the font as one code, high byte first.
    font.codes.clear();
    dc.DrawText("\xB0\xA1x", 3, &rect, 0);
    EXPECT_EQ(font.codes, (std::vector<uint32_t>{0xB0A1, 'x'}));
}

TEST_F(CMneDCTest, StoredStringImagesGiveTheSamePixels) {
    FakeFont font(0, 1);
    font.boldWeight = 0.5;  // outlines pass through the contour stage
    dc.SelectFont(&font);
    dc.SetTextColor(kWhite);
    const MneRect rect{3, 2, 60, 20};
    Make(60, 20);
    EXPECT_EQ(dc.DrawText("A B", 3, &rect, 0), 12);
    const std::vector<uint8_t> first(image.Bits(), image.Bits() + image.SizeBytes());
    EXPECT_EQ(font.pool.count("A B"), 1u);
    EXPECT_GT(dc.LastImageBytes(), 0u);
    const int calls = font.glyphCalls;

    Make(60, 20);
    EXPECT_EQ(dc.DrawText("A B", 3, &rect, 0), 12);
    EXPECT_EQ(font.hits, 1);
    EXPECT_EQ(font.glyphCalls, calls) << "drawn from the pool";
    EXPECT_EQ(std::vector<uint8_t>(image.Bits(), image.Bits() + image.SizeBytes()), first);
    EXPECT_FALSE(font.locked);
}

TEST_F(CMneDCTest, TextWithNoInkStoresAnEmptyImageAndDrawsNothing) {
    // Spaces rasterise to no scanlines; the stored image keeps sentinel
    // bounds that must not be offset to the pen position.
    FakeFont font(0, 1);
    dc.SelectFont(&font);
    dc.SetTextColor(kWhite);
    const MneRect rect{30, 2, 60, 20};
    for (int pass = 0; pass < 2; ++pass) {
        Make(60, 20);
        const std::string blank(image.SizeBytes(), '\0');
        EXPECT_EQ(dc.DrawText("  ", 2, &rect, 0), 12);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(image.Bits()), image.SizeBytes()), blank) << pass;
    }
    EXPECT_EQ(font.hits, 1);
}

TEST(ScanlineImageTest, BoundsOutsideTheCoordinateRangeAreRefused) {
    std::vector<uint8_t> image = RectImage(0.5, 0.5, 6.3, 4);
    image[0] = image[1] = image[2] = 0xFF, image[3] = 0x7F;  // min x = INT_MAX
    EXPECT_FALSE(IsValidScanlineImage(image.data(), image.size()));
}

TEST_F(CMneDCTest, ScratchAreaGrowsForLargeImages) {
    FakeFont font(0, 1);
    dc.SelectFont(&font);
    Make(1500, 20);
    const std::string text(140, 'A');
    const MneRect rect{0, 0, 1500, 20};
    EXPECT_EQ(dc.DrawText(text.data(), static_cast<int32_t>(text.size()), &rect, 0), 12);
    EXPECT_GT(dc.LastImageBytes(), CMneDC::kInitialScratchBytes);
    EXPECT_EQ(dc.ScratchCapacity(), dc.LastImageBytes());
}

TEST_F(CMneDCTest, BitmapFontGlyphImages) {
    FakeFont font(1, 1);
    dc.SelectFont(&font);
    dc.SetTextColor(kWhite);
    Make(30, 14);
    const MneRect rect{1, 1, 30, 14};
    EXPECT_EQ(dc.DrawText("AA", 2, &rect, 0), 12);
    EXPECT_EQ(font.glyphCalls, 1) << "the second A comes from the pool";
    EXPECT_EQ(font.hits, 1);
    EXPECT_EQ(image.Pixel(1, 1), 0xFFFF);
    EXPECT_EQ(image.Pixel(11, 10), 0xFFFF);
    EXPECT_EQ(image.Pixel(9, 5), 0);

    // A damaged glyph image from a font file is skipped, the pen still moves.
    FakeFont broken(1, 0);
    broken.damaged = true;
    dc.SelectFont(&broken);
    Make(30, 14);
    EXPECT_EQ(dc.DrawText("AA", 2, &rect, 0), 12);
    EXPECT_EQ(std::string(image.SizeBytes(), '\0'),
              std::string(reinterpret_cast<const char*>(image.Bits()), image.SizeBytes()));
}

TEST(ScanlineImageTest, ValidatesRecords) {
    const std::vector<uint8_t> good = RectImage(0.5, 0.5, 6.3, 4);
    EXPECT_TRUE(IsValidScanlineImage(good.data(), good.size()));
    // A cut between whole records leaves a smaller valid image; a cut
    // inside the bounds or a record is refused.
    std::vector<size_t> boundaries = {16};
    while (boundaries.back() < good.size()) {
        const size_t at = boundaries.back();
        boundaries.push_back(at + (good[at] | (good[at + 1] << 8)));
    }
    for (size_t cut = 1; cut < good.size(); ++cut) {
        const bool whole = std::find(boundaries.begin(), boundaries.end(), cut) != boundaries.end();
        EXPECT_EQ(IsValidScanlineImage(good.data(), cut), whole) << cut;
    }
    std::vector<uint8_t> noSpans = good;
    noSpans[24] = noSpans[25] = noSpans[26] = noSpans[27] = 0;  // first record's span count
    EXPECT_FALSE(IsValidScanlineImage(noSpans.data(), noSpans.size()));
    std::vector<uint8_t> longSpan = good;
    longSpan[35] = 0x40;  // first span length 2^30
    EXPECT_FALSE(IsValidScanlineImage(longSpan.data(), longSpan.size()));
    EXPECT_FALSE(IsValidScanlineImage(nullptr, 0));
}

}  // namespace
