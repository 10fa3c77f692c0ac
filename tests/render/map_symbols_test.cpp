// The keyed symbol blit and the outlined text of the map renderer.
#include "render/map_symbols.h"

#include <agg_path_storage.h>
#include <agg_rasterizer_scanline_aa.h>
#include <agg_renderer_scanline.h>
#include <agg_scanline_storage_aa.h>
#include <agg_scanline_u.h>
#include <gtest/gtest.h>

#include <vector>

#include "render/egl_draw.h"

namespace {

constexpr uint16_t kMagenta = 0xF81F;
constexpr uint16_t kRed = 0xF800, kGreen = 0x07E0, kBlue = 0x001F, kWhite = 0xFFFF, kGrey = 0x8410;

// A symbol image of rows given top-down (as seen on screen).
struct Symbol {
    DibImage565 pixels;
    MneBitmapDesc desc;
    explicit Symbol(const std::vector<std::vector<uint16_t>>& rows) {
        pixels.Create(static_cast<int32_t>(rows[0].size()), static_cast<int32_t>(rows.size()));
        for (size_t y = 0; y < rows.size(); ++y)
            for (size_t x = 0; x < rows[y].size(); ++x)
                pixels.SetPixel(static_cast<int32_t>(x), static_cast<int32_t>(y), rows[y][x]);
        desc = pixels.Description();
    }
};

TEST(MapSymbolsTest, BlitPutsTheAnchorOnThePointAndSkipsMagenta) {
    DibImage565 picture(20, 20);
    picture.Fill(kGrey);
    const Symbol s({{kRed, kMagenta, kGreen}, {kBlue, kWhite, kRed}});
    // Anchor (1, 1): the white pixel lands on (10, 5).
    ASSERT_EQ(MneBlitSymbolPart(picture, s.desc, ScreenPoint{10, 5}, 0, 0, 3, 2, 1, 1, 0), 1);
    EXPECT_EQ(picture.Pixel(9, 4), kRed);
    EXPECT_EQ(picture.Pixel(10, 4), kGrey) << "magenta is transparent";
    EXPECT_EQ(picture.Pixel(11, 4), kGreen);
    EXPECT_EQ(picture.Pixel(9, 5), kBlue);
    EXPECT_EQ(picture.Pixel(10, 5), kWhite);
    EXPECT_EQ(picture.Pixel(11, 5), kRed);
    EXPECT_EQ(picture.Pixel(12, 5), kGrey);
    EXPECT_EQ(picture.Pixel(9, 6), kGrey);

    // A part: the right column only, its anchor at the part's corner.
    picture.Fill(kGrey);
    ASSERT_EQ(MneBlitSymbolPart(picture, s.desc, ScreenPoint{3, 3}, 2, 0, 3, 2, 0, 0, 0), 1);
    EXPECT_EQ(picture.Pixel(3, 3), kGreen);
    EXPECT_EQ(picture.Pixel(3, 4), kRed);
    EXPECT_EQ(picture.Pixel(2, 3), kGrey);
    EXPECT_EQ(picture.Pixel(4, 3), kGrey);

    // Grey draws through the grey table.
    picture.Fill(0);
    ASSERT_EQ(MneBlitSymbolPart(picture, s.desc, ScreenPoint{1, 1}, 0, 0, 3, 2, 0, 0, 1), 1);
    EXPECT_EQ(picture.Pixel(1, 1), GreyOf565(kRed));
    EXPECT_EQ(picture.Pixel(2, 1), 0);

    // Partly off the picture: what lies on it is drawn; wholly off: nothing.
    picture.Fill(kGrey);
    EXPECT_EQ(MneBlitSymbolPart(picture, s.desc, ScreenPoint{0, 0}, 0, 0, 3, 2, 2, 1, 0), 1);
    EXPECT_EQ(picture.Pixel(0, 0), kRed);
    EXPECT_EQ(MneBlitSymbolPart(picture, s.desc, ScreenPoint{-5, 3}, 0, 0, 3, 2, 0, 0, 0), 0);
    EXPECT_EQ(MneBlitSymbolPart(picture, s.desc, ScreenPoint{25, 3}, 0, 0, 3, 2, 0, 0, 0), 0);
    EXPECT_EQ(MneBlitSymbolPart(picture, s.desc, ScreenPoint{3, 3}, 2, 0, 2, 2, 0, 0, 0), 0) << "empty part";
    EXPECT_EQ(MneBlitSymbolPart(picture, MneBitmapDesc{}, ScreenPoint{3, 3}, 0, 0, 3, 2, 0, 0, 0), 0);
}

// Bitmap font whose every character is a 3 x 3 cell with its middle pixel
// set (descent 0), so the five copies of outlined text are single pixels.
class DotFont : public MneGlyphSource {
public:
    DotFont() {
        agg::path_storage path;
        path.move_to(1, -2);
        path.line_to(2, -2);
        path.line_to(2, -1);
        path.line_to(1, -1);
        path.close_polygon();
        agg::rasterizer_scanline_aa<> ras;
        ras.add_path(path);
        agg::scanline_storage_aa8 storage;
        agg::scanline_u8 sl;
        agg::render_scanlines(ras, sl, storage);
        m_image.resize(storage.byte_size());
        storage.serialize(m_image.data());
    }
    int32_t Kind() const override { return 1; }
    int32_t Descent() const override { return 0; }
    int32_t StoresImages() const override { return 0; }
    int GetTextExtent(const char*, int32_t length, MneSize* size) override {
        size->cx = 3 * length;
        size->cy = 3;
        return 1;
    }
    int GetGlyph(uint32_t, int32_t* ax, int32_t* ay, int32_t* len, const uint8_t** data, double* scale,
                 double* weight) override {
        *ax = 3, *ay = 3, *len = static_cast<int32_t>(m_image.size()), *data = m_image.data();
        *scale = 1.0, *weight = 0.0;
        return 1;
    }
    int FindImage(const char*, int32_t, const uint8_t**, int32_t*, int32_t*, int32_t*) override { return 0; }
    int StoreImage(const char*, int32_t, const uint8_t*, int32_t, int32_t, int32_t) override { return 0; }
    void ReleaseImage(const char*, int32_t) override {}
    void LockPool() override {}
    void UnlockPool() override {}

private:
    std::vector<uint8_t> m_image;
};

TEST(MapSymbolsTest, OutlinedTextDrawsFourOutlineCopiesAndTheTextOnTop) {
    DibImage565 picture(24, 24);
    picture.Fill(0);
    CMneDC dc;
    ASSERT_EQ(dc.Attach(picture), 1);
    DotFont font;
    MneTextClass c;
    c.font = &font;
    c.textColour = 0x0000FF;       // red
    c.outlineColour = 0xFFFFFF;    // white
    c.outlineColour2 = 0xFF0000;   // blue
    dc.SetTextColor(0x00FF00);
    // The 3 x 3 cell is centred in (10, 10)-(13, 13): its middle pixel is (11, 11).
    ASSERT_EQ(MneDrawOutlinedText(dc, "A", 1, ScreenRect{10, 10, 13, 13}, c, 0), 1);
    EXPECT_EQ(picture.Pixel(11, 11), kRed);
    EXPECT_EQ(picture.Pixel(10, 11), kWhite);
    EXPECT_EQ(picture.Pixel(11, 12), kWhite);
    EXPECT_EQ(picture.Pixel(11, 10), kWhite);
    EXPECT_EQ(picture.Pixel(12, 11), kBlue) << "the right-hand copy takes the second outline colour";
    EXPECT_EQ(picture.Pixel(10, 10), 0);
    EXPECT_EQ(picture.Pixel(12, 12), 0);
    EXPECT_EQ(dc.GetTextColor(), 0x00FF00u) << "the context keeps its colour";
    EXPECT_EQ(dc.GetFont(), nullptr) << "and its font";

    // Grey: every copy through the grey table.
    picture.Fill(0);
    ASSERT_EQ(MneDrawOutlinedText(dc, "A", 1, ScreenRect{10, 10, 13, 13}, c, 1), 1);
    EXPECT_EQ(picture.Pixel(11, 11), GreyOf565(kRed));
    EXPECT_EQ(picture.Pixel(12, 11), GreyOf565(kBlue));

    c.font = nullptr;
    EXPECT_EQ(MneDrawOutlinedText(dc, "A", 1, ScreenRect{10, 10, 13, 13}, c, 0), 0);
}

}  // namespace
