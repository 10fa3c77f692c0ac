// BMP loading, refusal of damaged files, blits and bitmap buffer helpers.
#include "render/bitmap.h"

#include <gtest/gtest.h>

#include "render/egl_draw.h"
#include "support/pixel_grid.h"
#include "support/temp_dir.h"
#include "tools/writers/bmp_writer.h"

using bmpwriter::BmpDesc;
using testsupport::PixelGrid;
using testsupport::Rows;

namespace {

// 3 x 2 test picture, top row first.
const std::vector<uint32_t> kPicture = {0x0000FF, 0x00FF00, 0xFF0000,  //
                                        0xFFFFFF, 0x102030, 0x00FF8040};

BmpDesc Picture(int32_t bpp) {
    BmpDesc s;
    s.width = 3;
    s.height = 2;
    s.bitsPerPixel = bpp;
    s.pixels = kPicture;
    return s;
}

TEST(BmpWriterTest, BytesOfASmallImage) {
    BmpDesc s;
    s.width = 2;
    s.height = 1;
    s.pixels = {0x0000FF, 0x112233};
    const std::vector<uint8_t> b = bmpwriter::BuildBmp(s);
    ASSERT_EQ(b.size(), 62u);  // 14 + 40 + one row of 6 bytes padded to 8
    const std::vector<uint8_t> head(b.begin(), b.begin() + 30);
    EXPECT_EQ(head, (std::vector<uint8_t>{'B', 'M', 62, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,  // file header
                                          40, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 1, 0, 24, 0}));
    const std::vector<uint8_t> row(b.begin() + 54, b.end());
    EXPECT_EQ(row, (std::vector<uint8_t>{0x00, 0x00, 0xFF, 0x11, 0x22, 0x33, 0, 0}));
}

TEST(CMneBitmapTest, LoadsEachDepth) {
    struct Case {
        const char* name;
        BmpDesc image;
        uint32_t channelMask;  // bits of each channel that survive the depth
    };
    BmpDesc topDown = Picture(24);
    topDown.topDown = true;
    BmpDesc masks565 = Picture(16);
    masks565.bitfields565 = true;
    const Case cases[] = {
        {"24 bits", Picture(24), 0xFFFFFF},
        {"24 bits top-down", topDown, 0xFFFFFF},
        {"32 bits", Picture(32), 0xFFFFFF},
        {"16 bits 5-5-5", Picture(16), 0xF8F8F8},
        {"16 bits 5-6-5 masks", masks565, 0xF8FCF8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CMneBitmap bmp;
        ASSERT_EQ(bmp.LoadFromMemory(bmpwriter::BuildBmp(c.image)), 1) << bmp.Error();
        ASSERT_EQ(bmp.Width(), 3);
        ASSERT_EQ(bmp.Height(), 2);
        EXPECT_EQ(bmp.Stride(), 12);
        for (int32_t y = 0; y < 2; ++y)
            for (int32_t x = 0; x < 3; ++x)
                EXPECT_EQ(bmp.PixelColor(x, y), kPicture[y * 3 + x] & c.channelMask) << x << "," << y;
        // Row access sees the stored (bottom-up) rows.
        EXPECT_EQ(bmp.Rows().row_ptr(0)[2], 0xFF & c.channelMask) << "bottom row, first pixel: white";
    }
}

TEST(CMneBitmapTest, PaletteDepthsClearedInFilesDecodedInPatterns) {
    BmpDesc s;
    s.width = 5;
    s.height = 2;
    s.bitsPerPixel = 4;
    s.palette = {0x000000, 0x0000FF, 0xFF0000};
    s.pixels = {1, 2, 1, 2, 1,  //
                0, 1, 0, 2, 2};
    CMneBitmap bmp;
    ASSERT_EQ(bmp.LoadFromMemory(bmpwriter::BuildBmp(s)), 1);
    EXPECT_EQ(bmp.PixelColor(0, 0), 0u) << "files of palette depths load as a cleared map";
    std::vector<uint8_t> oddDepth = bmpwriter::BuildBmp(Picture(24));
    oddDepth[28] = 2;  // 2 bits per pixel: rows present, not converted
    ASSERT_EQ(bmp.LoadFromMemory(oddDepth), 1) << bmp.Error();
    EXPECT_EQ(bmp.Width(), 3);
    EXPECT_EQ(bmp.PixelColor(0, 0), 0u);

    const std::vector<uint8_t> dib = bmpwriter::BuildPackedDib(s);
    ASSERT_EQ(bmp.LoadPackedDib(dib.data(), dib.size()), 1) << bmp.Error();
    EXPECT_EQ(bmp.PixelColor(0, 0), 0x0000FFu);
    EXPECT_EQ(bmp.PixelColor(1, 0), 0xFF0000u);
    EXPECT_EQ(bmp.PixelColor(3, 1), 0xFF0000u);
    EXPECT_EQ(bmp.PixelColor(2, 1), 0u);

    s.bitsPerPixel = 1;
    s.palette = {0x000000, 0xFFFFFF};
    s.pixels = {1, 0, 0, 1, 1, 0, 1, 1, 0, 0};
    const std::vector<uint8_t> mono = bmpwriter::BuildPackedDib(s);
    ASSERT_EQ(bmp.LoadPackedDib(mono.data(), mono.size()), 1) << bmp.Error();
    EglPattern565 pattern;
    ASSERT_EQ(bmp.ToPattern(pattern), 1);
    EXPECT_EQ(pattern.Width(), 5);
    EXPECT_EQ(pattern.At(0, 0), 0xFFFF);
    EXPECT_EQ(pattern.At(1, 0), 0);
    EXPECT_EQ(pattern.At(6, 1), 0xFFFF) << "tiles: (6, 1) is pattern pixel (1, 1)";
}

TEST(CMneBitmapTest, DamagedFilesAreRefusedAndTheOldImageKept) {
    const std::vector<uint8_t> good = bmpwriter::BuildBmp(Picture(24));
    auto patched = [&](size_t offset, std::vector<uint8_t> bytes) {
        std::vector<uint8_t> b = good;
        for (size_t i = 0; i < bytes.size(); ++i) b[offset + i] = bytes[i];
        return b;
    };
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"empty", {}},
        {"no signature", patched(0, {'X', 'M'})},
        {"file header only", std::vector<uint8_t>(good.begin(), good.begin() + 14)},
        {"cut inside the bitmap header", std::vector<uint8_t>(good.begin(), good.begin() + 30)},
        {"cut inside the pixels", std::vector<uint8_t>(good.begin(), good.end() - 1)},
        {"pixel offset past the end", patched(10, {0xFF, 0xFF, 0, 0})},
        {"pixel offset inside the header", patched(10, {20, 0, 0, 0})},
        {"header size unknown", patched(14, {7, 0, 0, 0})},
        {"header size absurd", patched(14, {0xFF, 0xFF, 0xFF, 0x7F})},
        {"width absurd", patched(18, {0xA0, 0x86, 0x01, 0})},
        {"width negative", patched(18, {0xFF, 0xFF, 0xFF, 0xFF})},
        {"height zero", patched(22, {0, 0, 0, 0})},
        {"height most negative", patched(22, {0, 0, 0, 0x80})},
        {"huge area", patched(18, {0x00, 0x20, 0, 0, 0x00, 0x20, 0, 0})},
        {"run-length compressed", patched(30, {1, 0, 0, 0})},
        {"bit-field masks at 24 bits", patched(30, {3, 0, 0, 0})},
        {"no bits per pixel", patched(28, {0, 0})},
        {"odd depth, rows missing", patched(18, {0x00, 0x10, 0, 0, 0x00, 0x10, 0, 0, 1, 0, 2, 0})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CMneBitmap bmp;
        ASSERT_EQ(bmp.LoadFromMemory(bmpwriter::BuildBmp(Picture(32))), 1);
        EXPECT_EQ(bmp.LoadFromMemory(c.bytes.data(), c.bytes.size()), 0);
        EXPECT_FALSE(bmp.Error().empty());
        EXPECT_EQ(bmp.Width(), 3);
        EXPECT_EQ(bmp.PixelColor(0, 0), 0x0000FFu) << "previous image kept";
    }
}

TEST(CMneBitmapTest, LoadFromFile) {
    testsupport::TempDir dir;
    const std::vector<uint8_t> bytes = bmpwriter::BuildBmp(Picture(24));
    dir.Write("pattern.bmp", std::string(bytes.begin(), bytes.end()));
    CMneBitmap bmp;
    EXPECT_EQ(bmp.LoadFromFile(dir.File("pattern.bmp")), 1);
    EXPECT_EQ(bmp.PixelColor(2, 1), 0x00FF8040u);
    EXPECT_EQ(bmp.LoadFromFile(dir.File("missing.bmp")), 0);
    EXPECT_NE(bmp.Error().find("missing.bmp"), std::string::npos);
}

class BlitTest : public ::testing::Test {
protected:
    // Source 4 x 3: 'm' magenta (the key), 'r' red, 'b' blue.
    void SetUp() override {
        dst.Create(6, 5);
        src.Create(4, 3);
        const char* rows[] = {"rrbm", "mrbb", "rmmr"};
        for (int32_t y = 0; y < 3; ++y)
            for (int32_t x = 0; x < 4; ++x)
                src.SetPixel(x, y, rows[y][x] == 'm' ? kMagenta565 : rows[y][x] == 'r' ? 0xF800 : 0x001F);
    }
    std::string Grid() const { return PixelGrid(dst, {{0, '.'}, {0xF800, 'r'}, {0x001F, 'b'}, {kMagenta565, 'm'}}); }

    static constexpr uint32_t kMagenta = 0xFF00FF;
    static constexpr uint16_t kMagenta565 = 0xF81F;
    DibImage565 dst, src;
};

TEST_F(BlitTest, KeyedBlitLeavesTheLastRowAndColumnAlone) {
    MneBitmapDesc d = dst.Description(), s = src.Description();
    EXPECT_EQ(BlitKeyed(&d, 2, 2, 4, 3, &s, 0, 0, 4, 3, kMagenta, 0), 1);
    EXPECT_EQ(Grid(), Rows({
                          "......",
                          "......",
                          "..rrb.",
                          "...rb.",
                          "......",
                      }));
    // Inside the given rectangle only, source sub-rectangle, off the top-left.
    dst.Fill(0);
    EXPECT_EQ(BlitKeyed(&d, -1, -1, 3, 3, &s, 0, 0, 4, 3, kMagenta, 0), 1);
    EXPECT_EQ(Grid(), Rows({
                          "rb....",
                          "......",
                          "......",
                          "......",
                          "......",
                      }));
}

TEST_F(BlitTest, PlainBlitToTheSourceEdgesWithGrey) {
    MneBitmapDesc d = dst.Description(), s = src.Description();
    EXPECT_EQ(Blit(&d, 0, 0, 6, 5, &s, 2, 1, 0), 1);
    EXPECT_EQ(Grid(), Rows({
                          "bb....",
                          "mr....",
                          "......",
                          "......",
                          "......",
                      }));
    EXPECT_EQ(Blit(&d, 0, 0, 6, 5, &s, 0, 0, 1), 1);
    EXPECT_EQ(dst.Pixel(0, 0), GreyTable565[0xF800]);
    EXPECT_EQ(dst.Pixel(3, 0), GreyTable565[kMagenta565]) << "no key in the plain blit";
}

TEST_F(BlitTest, Refusals) {
    MneBitmapDesc d = dst.Description(), s = src.Description();
    MneBitmapDesc s24 = s;
    s24.bitsPixel = 24;
    MneBitmapDesc noBits = s;
    noBits.bits = nullptr;
    MneBitmapDesc shortRows = s;
    shortRows.widthBytes = 6;  // 3 pixels of a row of 4
    struct Case {
        const char* name;
        const MneBitmapDesc* source;
        int32_t x, y, w, h;
    } cases[] = {
        {"depths differ", &s24, 0, 0, 6, 5},
        {"no pixels", &noBits, 0, 0, 6, 5},
        {"no source", nullptr, 0, 0, 6, 5},
        {"empty rectangle", &s, 0, 0, 0, 5},
        {"wholly left", &s, -4, 0, 4, 5},
        {"wholly above", &s, 0, -3, 6, 3},
        {"rows shorter than the width", &shortRows, 0, 0, 6, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(BlitKeyed(&d, c.x, c.y, c.w, c.h, c.source, 0, 0, 4, 3, kMagenta, 0), 0);
        EXPECT_EQ(Blit(&d, c.x, c.y, c.w, c.h, c.source, 0, 0, 0), 0);
    }
    // Source coordinates beyond the source read nothing outside it.
    EXPECT_EQ(BlitKeyed(&d, 0, 0, 6, 5, &s, -2, -2, 40, 40, kMagenta, 0), 1);
    EXPECT_EQ(Grid(), Rows({"......", "......", "..rrb.", "...rb.", "......"}));
}

TEST(BitmapBuffersTest, StridesAndPowerOfTwoBitmaps) {
    struct StrideCase {
        int32_t width, bits, stride;
    } strides[] = {{1, 1, 4}, {33, 1, 8}, {9, 4, 8}, {5, 8, 8}, {3, 16, 8}, {3, 15, 8}, {5, 24, 16}, {3, 32, 12}};
    for (const StrideCase& c : strides) EXPECT_EQ(DibStride(c.width, c.bits), c.stride) << c.width << "@" << c.bits;

    struct Pow2Case {
        int32_t w, h, bits, ew, eh, stride;
    } cases[] = {{100, 3, 16, 128, 4, 256}, {128, 128, 16, 128, 128, 256}, {129, 1, 16, 256, 2, 512}, {1, 1, 32, 2, 2, 8}};
    for (const Pow2Case& c : cases) {
        SCOPED_TRACE(c.w);
        MneBitmapDesc desc;
        ASSERT_EQ(CreatePow2Bitmap(&desc, c.w, c.h, c.bits), 1);
        EXPECT_EQ(desc.width, c.ew);
        EXPECT_EQ(desc.height, c.eh);
        EXPECT_EQ(desc.widthBytes, c.stride);
        EXPECT_EQ(desc.planes, 1);
        EXPECT_EQ(desc.bitsPixel, c.bits);
        ASSERT_NE(desc.bits, nullptr);
        static_cast<uint8_t*>(desc.bits)[c.stride * c.eh - 1] = 1;  // the whole area is there
        EXPECT_EQ(FreePow2Bitmap(&desc), 1);
        EXPECT_EQ(desc.bits, nullptr);
    }
    EXPECT_EQ(CreatePow2Bitmap(nullptr, 4, 4, 16), 0);
    EXPECT_EQ(FreePow2Bitmap(nullptr), 0);
}

}  // namespace
