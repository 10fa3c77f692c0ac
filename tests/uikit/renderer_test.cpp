// The 16-bit renderer: surface strides, region clipping (both axes, the
// alpha copies clipped like the plain copy), the blend and dim formulas
// against values worked out by hand, the keyed copies, the rotations of the
// present (odd widths included) and the headless presenter.
#include <gtest/gtest.h>

#include <vector>

#include "uikit/renderer.h"

namespace {

// A filled image of kind 2 (or 4 with an alpha plane filled with alpha).
std::unique_ptr<NvImageData> Image(int32_t w, int32_t h, uint16_t pixel, bool withAlpha = false, uint16_t alpha = 0) {
    auto image = std::make_unique<NvImageData>();
    EXPECT_TRUE(image->CreateDib(w, h, withAlpha));
    image->kind = withAlpha ? RESOURCE_ALPHA : RESOURCE_BMP;
    image->dib.Fill(pixel);
    std::fill(image->alpha.begin(), image->alpha.end(), alpha);
    return image;
}

// Rows of an image, top first, as pixel values.
std::vector<std::vector<uint16_t>> Rows(const NvImageData& image) {
    std::vector<std::vector<uint16_t>> rows;
    for (int32_t y = 0; y < image.height; ++y) {
        rows.emplace_back();
        for (int32_t x = 0; x < image.width; ++x) rows.back().push_back(image.Pixel(x, y));
    }
    return rows;
}

TEST(RendererTest, SurfaceStrideRoundsRowsToFourBytes) {
    DibImage565 a, b;
    ASSERT_TRUE(NvCreateDIB565(3, 2, a));
    ASSERT_TRUE(NvCreateDIB565(4, 2, b));
    EXPECT_EQ(a.Stride(), 8);
    EXPECT_EQ(b.Stride(), 8);
    DibImage565 none;
    EXPECT_FALSE(NvCreateDIB565(0, 5, none));
}

TEST(RendererTest, PlainCopyClipsBothAxesAndMovesTheSourceWithTheCut) {
    auto dst = Image(4, 4, 0);
    auto src = Image(3, 3, 0);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) src->dib.SetPixel(x, y, static_cast<uint16_t>(10 * y + x + 1));
    // Up and left of the destination: only the bottom-right 2 x 2 of the
    // source lands, at the corner.
    EXPECT_EQ(NvCopyImageRect(dst.get(), -1, -1, 3, 3, src.get(), 0, 0), 1);
    EXPECT_EQ(Rows(*dst), (std::vector<std::vector<uint16_t>>{{12, 13, 0, 0}, {22, 23, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}}));
    // Past the right and bottom edges: cut, nothing written outside.
    dst->dib.Fill(0);
    EXPECT_EQ(NvCopyImageRect(dst.get(), 3, 3, 3, 3, src.get(), 0, 0), 1);
    EXPECT_EQ(dst->Pixel(3, 3), 1);
    EXPECT_EQ(dst->Pixel(2, 3), 0);
    // A region that starts below the last row draws nothing and succeeds.
    EXPECT_EQ(NvCopyImageRect(dst.get(), 0, 9, 3, 3, src.get(), 0, 0), 1);
    EXPECT_EQ(NvCopyImageRect(nullptr, 0, 0, 1, 1, src.get(), 0, 0), 0);
}

TEST(RendererTest, PutPixelsRefusesARecordThatDoesNotFit) {
    auto dst = Image(4, 4, 0);
    std::vector<uint16_t> px(4, 7);  // 2 x 2, rows of 4 bytes
    NvPixelRecord rec{2, 2, 4, reinterpret_cast<const uint8_t*>(px.data())};
    EXPECT_EQ(NvPutPixels(dst.get(), 2, 2, rec), 1);
    EXPECT_EQ(dst->Pixel(3, 3), 7);
    EXPECT_EQ(NvPutPixels(dst.get(), 3, 0, rec), 0);
    EXPECT_EQ(NvPutPixels(dst.get(), -1, 0, rec), 0);
}

TEST(RendererTest, AlphaPixelFormula) {
    struct Case {
        uint16_t image, background, transparency, expected;
    };
    const Case cases[] = {
        {0xF800, 0x001F, 0x0000, 0xF800},  // blue bits 0: the image pixel
        {0xF800, 0x001F, 0xFFFF, 0x001F},  // full: the background in red and blue
        // D = 16, C = 16 over black: red 31 x 16 / 32 -> 0x7800, green
        // (63 x 48) >> 1 = 1512 -> 0x5E0, blue 31 x 16 >> 5 = 15.
        {0xFFFF, 0x0000, 0x01EF, 0x7DEF},
    };
    for (const Case& c : cases) EXPECT_EQ(NvAlphaPixel(c.image, c.background, c.transparency), c.expected) << c.transparency;
}

TEST(RendererTest, ConstantBlendFormulaAndKey) {
    // Level 50: w = a = 16; white over black.
    EXPECT_EQ(NvConstantPixel(0xFFFF, 0x0000, 50), 0x7BEF);
    EXPECT_EQ(NvKeyToPixel(0xFF00FF), 0xF81F);
    EXPECT_EQ(NvKeyToPixel(0x0000FF), 0xF800);  // red in the low byte: pure red is the key

    NvHeadlessPresenter window(4, 1);
    ASSERT_NE(NvInitRenderer(&window, 4, 1, 0, 0, 4, 1, true, 0), nullptr);
    auto src = Image(4, 1, 0xFFFF);
    src->dib.SetPixel(1, 0, 0xF800);
    NvBackBuffer()->dib.Fill(0);
    // With key 0x0000FF the red pixel is transparent.
    EXPECT_EQ(NvBlendConstant(1, 1, 0, 0, 4, 1, src.get(), 0, 0, 0x0000FF, 50), 1);
    EXPECT_EQ(Rows(*NvBackBuffer())[0], (std::vector<uint16_t>{0x7BEF, 0x0000, 0x7BEF, 0x7BEF}));
    // Level 0 copies every pixel, keyed ones too.
    EXPECT_EQ(NvBlendConstant(1, 1, 0, 0, 4, 1, src.get(), 0, 0, 0x0000FF, 0), 1);
    EXPECT_EQ(Rows(*NvBackBuffer())[0], (std::vector<uint16_t>{0xFFFF, 0xF800, 0xFFFF, 0xFFFF}));
    EXPECT_EQ(NvBlendConstant(5, 1, 0, 0, 4, 1, src.get(), 0, 0, 0, 50), 0);  // unknown target
    EXPECT_EQ(NvBlendConstant(1, 7, 0, 0, 4, 1, src.get(), 0, 0, 0, 50), 0);  // unknown background
    NvReleaseRenderer();
}

TEST(RendererTest, DimBuffer) {
    auto image = Image(3, 2, 0xFFFF);
    NvDimBuffer(image->bits, 3, 2, 100);  // red and blue kept, lowest green bit cleared
    EXPECT_EQ(image->Pixel(2, 1), 0xFFDF);
    image->dib.Fill(0xFFFF);
    NvDimBuffer(image->bits, 3, 2, 50);
    EXPECT_EQ(image->Pixel(0, 0), 0x7BCF);
}

TEST(RendererTest, AlphaImagePastTheBottomIsClippedLikeThePlainCopy) {
    const int32_t H = 20;
    NvHeadlessPresenter window(8, H);
    ASSERT_NE(NvInitRenderer(&window, 8, H, 0, 0, 8, H, true, 0), nullptr);
    NvBackBuffer()->dib.Fill(0x1111);
    auto alpha = Image(8, 40, 0, true, 0);  // transparency 0: plain image pixels
    for (int y = 0; y < 40; ++y) alpha->dib.SetPixel(0, y, static_cast<uint16_t>(y + 1));
    // At y = H - 10 the top 10 rows land on the last 10 rows, in place.
    EXPECT_EQ(NvDrawAlphaImage(1, 1, 0, H - 10, 8, 40, alpha.get(), 0, 0), 1);
    EXPECT_EQ(NvBackBuffer()->Pixel(0, H - 10), 1);
    EXPECT_EQ(NvBackBuffer()->Pixel(0, H - 1), 10);
    EXPECT_EQ(NvBackBuffer()->Pixel(0, H - 11), 0x1111);
    // A negative y cuts the top instead of moving the picture.
    NvBackBuffer()->dib.Fill(0x1111);
    EXPECT_EQ(NvDrawAlphaImage(1, 1, 0, -5, 8, 40, alpha.get(), 0, 0), 1);
    EXPECT_EQ(NvBackBuffer()->Pixel(0, 0), 6);
    // Without an alpha plane, or with an unknown background: nothing.
    auto plain = Image(8, 4, 0);
    EXPECT_EQ(NvDrawAlphaImage(1, 1, 0, 0, 8, 4, plain.get(), 0, 0), 0);
    EXPECT_EQ(NvDrawAlphaImage(1, 9, 0, 0, 8, 4, alpha.get(), 0, 0), 0);
    NvReleaseRenderer();
}

TEST(RendererTest, ColourKeyedAndStretchedCopies) {
    auto dst = Image(4, 1, 0x1234);
    auto src = Image(2, 1, 0xFFFF);
    src->dib.SetPixel(0, 0, kColorKey565);
    EXPECT_EQ(NvCopyColorKey(NvPixelsOf(dst.get()), 1, 0, 2, 1, src.get(), 0, 0), 1);
    EXPECT_EQ(Rows(*dst)[0], (std::vector<uint16_t>{0x1234, 0x1234, 0xFFFF, 0x1234}));
    // Nearest neighbour: 2 pixels over 4.
    auto wide = Image(4, 1, 0);
    auto two = Image(2, 1, 0);
    two->dib.SetPixel(0, 0, 1);
    two->dib.SetPixel(1, 0, 2);
    EXPECT_EQ(NvStretchImage(wide.get(), two.get()), 1);
    EXPECT_EQ(Rows(*wide)[0], (std::vector<uint16_t>{1, 1, 2, 2}));
    EXPECT_EQ(NvStretchRect(two.get(), 0, 0, 4, 1, wide.get(), 0, 0, 4, 1), 0);  // larger than the destination
    // Transparent blit with the GDI key 0xFF00FF.
    auto keyed = Image(2, 1, kColorKey565);
    keyed->dib.SetPixel(1, 0, 9);
    wide->dib.Fill(5);
    EXPECT_EQ(NvTransparentBlit(NvPixelsOf(wide.get()), 0, 0, 2, 1, keyed.get(), 0, 0, 2, 1, 0xFF00FF), 1);
    EXPECT_EQ(Rows(*wide)[0], (std::vector<uint16_t>{5, 9, 5, 5}));
}

TEST(RendererTest, StretchPixelsCopiesOrStretchesARawRecord) {
    std::vector<uint16_t> px = {1, 2, 3, 4};  // 2 x 2, rows of 4 bytes, bottom-up: 1 2 is the bottom row
    const NvPixelRecord rec{2, 2, 4, reinterpret_cast<const uint8_t*>(px.data())};
    auto dst = Image(4, 4, 0);
    EXPECT_EQ(NvStretchPixels(dst.get(), 1, 1, 2, 2, rec, 0, 0, 2, 2), 1);
    EXPECT_EQ(dst->Pixel(1, 1), 3);
    EXPECT_EQ(dst->Pixel(2, 2), 2);
    EXPECT_EQ(NvStretchPixels(dst.get(), 0, 0, 4, 4, rec, 0, 0, 2, 2), 1);
    EXPECT_EQ(Rows(*dst), (std::vector<std::vector<uint16_t>>{{3, 3, 4, 4}, {3, 3, 4, 4}, {1, 1, 2, 2}, {1, 1, 2, 2}}));
}

TEST(RendererTest, RotationsWorkByStrideForOddWidths) {
    // Stored rows of a 3 x 2 surface: a b c / d e f (rows 8 bytes apart).
    DibImage565 src;
    ASSERT_TRUE(NvCreateDIB565(3, 2, src));
    const uint16_t a = 1, b = 2, c = 3, d = 4, e = 5, f = 6;
    auto stored = [](DibImage565& img, int32_t row) { return reinterpret_cast<uint16_t*>(img.Bits() + row * img.Stride()); };
    stored(src, 0)[0] = a, stored(src, 0)[1] = b, stored(src, 0)[2] = c;
    stored(src, 1)[0] = d, stored(src, 1)[1] = e, stored(src, 1)[2] = f;
    struct Case {
        int mode;
        int32_t w, h;
        std::vector<std::vector<uint16_t>> rows;  // stored rows of the result
    };
    const Case cases[] = {
        {1, 2, 3, {{c, f}, {b, e}, {a, d}}},
        {2, 3, 2, {{f, e, d}, {c, b, a}}},
        {3, 2, 3, {{d, a}, {e, b}, {f, c}}},
    };
    for (const Case& k : cases) {
        DibImage565 out;
        ASSERT_TRUE(NvCreateDIB565(k.w, k.h, out));
        ASSERT_TRUE(NvRotate565(k.mode, src.Bits(), 3, 2, src.Stride(), out.Bits(), out.Stride()));
        for (int32_t r = 0; r < k.h; ++r)
            for (int32_t col = 0; col < k.w; ++col) EXPECT_EQ(stored(out, r)[col], k.rows[r][col]) << k.mode;
    }
    DibImage565 out;
    NvCreateDIB565(3, 2, out);
    EXPECT_FALSE(NvRotate565(4, src.Bits(), 3, 2, src.Stride(), out.Bits(), out.Stride()));
}

TEST(RendererTest, PresentTurnsTheFrameForTheWindow) {
    // A half turn: the first stored pixel ends as the last one.
    NvHeadlessPresenter window(3, 2);
    ASSERT_NE(NvInitRenderer(&window, 3, 2, 0, 0, 3, 2, true, 2), nullptr);
    NvBackBuffer()->dib.Fill(0);
    NvBackBuffer()->dib.SetPixel(0, 1, 0xABCD);  // stored first (bottom-left)
    EXPECT_EQ(NvPresent(0, 0, 3, 2, 0, 0), 1);
    EXPECT_EQ(window.Frame().Pixel(2, 0), 0xABCD);
    // A quarter turn swaps the sides.
    NvHeadlessPresenter tall(2, 3);
    ASSERT_NE(NvInitRenderer(&tall, 3, 2, 0, 0, 3, 2, true, 1), nullptr);
    NvBackBuffer()->dib.Fill(0);
    NvBackBuffer()->dib.SetPixel(0, 0, 0x0F0F);  // top-left of the screen
    EXPECT_EQ(NvPresent(0, 0, 3, 2, 0, 0), 1);
    EXPECT_EQ(tall.PresentCount(), 1);
    // Stored row 1, column 0 goes to stored row 2, column 1: screen (1, 0).
    EXPECT_EQ(tall.Frame().Pixel(1, 0), 0x0F0F);
    // Resizing keeps the rotation buffer in step.
    EXPECT_TRUE(NvResizeBackBuffer(5, 3));
    EXPECT_EQ(NvBackBuffer()->width, 5);
    EXPECT_EQ(NvPresent(0, 0, 5, 3, 0, 0), 1);
    NvReleaseRenderer();
    EXPECT_EQ(NvInitRenderer(nullptr, 3, 2, 0, 0, 3, 2, true, 0), nullptr);
}

}  // namespace
