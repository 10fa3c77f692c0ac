// The drawing handle interface and text drawing with converted fonts:
// handle checks, Korean and Latin text with a vector and a bitmap font, the
// string-image cache giving the same pixels, and one golden image.
#include "render/draw_handles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "render/dib_image.h"
#include "render/aa_context.h"
#include "render/vector_font.h"
#include "support/pixel_grid.h"
#include "support/source_dir.h"
#include "support/temp_dir.h"
#include "tools/writers/font_writer.h"

namespace {

// Draws text through a drawing context on the image, in the colour given.
int DrawTextOn(DibImage565& image, MneGlyphSource* font, const char* text, int32_t length, const int32_t rect[4],
               uint32_t flags, uint32_t colour) {
    CMneDC dc;
    if (!dc.Attach(image)) return 0;
    dc.SelectFont(font);
    dc.SetTextColor(colour);
    const MneRect box{rect[0], rect[1], rect[2], rect[3]};
    return dc.DrawText(text, length, &box, flags);
}

constexpr const char* kNanumGothic = "/usr/share/fonts/truetype/nanum/NanumGothic.ttf";
const char* const kKorean = "서울특별시 강남구 테헤란로";
const char* const kLatin = "Seoul 123";

std::string Cp949(const char* utf8) {
    std::string out;
    EXPECT_TRUE(platform::Utf16ToCp949(platform::Utf8ToUtf16(utf8), out));
    return out;
}

int CountInk(const DibImage565& image) {
    int n = 0;
    for (int32_t y = 0; y < image.Height(); ++y) {
        for (int32_t x = 0; x < image.Width(); ++x) n += image.Pixel(x, y) != 0;
    }
    return n;
}

// The columns and rows that hold ink: left, top, right, bottom (inclusive).
std::array<int32_t, 4> InkBox(const DibImage565& image) {
    std::array<int32_t, 4> box{image.Width(), image.Height(), -1, -1};
    for (int32_t y = 0; y < image.Height(); ++y) {
        for (int32_t x = 0; x < image.Width(); ++x) {
            if (image.Pixel(x, y) == 0) continue;
            box = {std::min(box[0], x), std::min(box[1], y), std::max(box[2], x), std::max(box[3], y)};
        }
    }
    return box;
}

class HandleTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(SetVectorFontFolder(dir.Path()), 1);
        std::filesystem::create_directories(dir.File("Font"));
        fontwriter::FontDesc desc;
        desc.faceName = "BOX";
        desc.height = 20;
        desc.width = 400;
        desc.descent = 4;
        fontwriter::OutlineBuilder box;
        box.Rect(1, -14, 11, 0);
        desc.glyphs.push_back({'A', 12, 20, box.Data()});
        ASSERT_TRUE(fontwriter::WriteFontFile(dir.File("Font/box.fnt"), desc));
        baseline = MneHandleCount();
        ASSERT_EQ(image.Create(64, 32), 1);
    }
    void TearDown() override { EXPECT_EQ(MneHandleCount(), baseline); }

    testsupport::TempDir dir;
    DibImage565 image;
    int baseline = 0;
};

TEST_F(HandleTest, ContextAndFontHandlesCheckTheirTags) {
    EXPECT_EQ(MneCreateDC(nullptr, 64, 32), 0u);
    EXPECT_EQ(MneCreateDC(image.Bits(), 0, 32), 0u);
    EXPECT_EQ(MneCreateDC(image.Bits(), 64, -1), 0u);
    EXPECT_EQ(MneCreateFont(20, 400, "NOSUCHFACE", 0), 0u);
    EXPECT_EQ(MneCreateFont(0, 400, "BOX", 0), 0u);
    EXPECT_EQ(MneCreateFont(20, 400, nullptr, 0), 0u);

    const MneHandle dc = MneCreateDC(image.Bits(), 64, 32);
    const MneHandle font = MneCreateFont(20, 400, "BOX", 0);
    ASSERT_NE(dc, 0u);
    ASSERT_NE(font, 0u);

    // Wrong kinds of handle are refused and free nothing.
    EXPECT_EQ(MneDeleteDC(font), 0);
    EXPECT_EQ(MneDeleteFont(dc), 0);
    EXPECT_EQ(MneDeleteFont(0), 0);
    EXPECT_EQ(MneSelectFont(font, font), 0u);
    EXPECT_EQ(MneSelectFont(dc, dc), 0u);
    EXPECT_EQ(MneSelectFont(dc, 0), 0u);

    // Properties: previous values back; nothing for a null handle.
    EXPECT_EQ(MneSetTextColor(0, 0xFF), 0u);
    EXPECT_EQ(MneGetTextColor(dc), 0u);
    EXPECT_EQ(MneSetTextColor(dc, 0x00FF00), 0u);
    EXPECT_EQ(MneSetTextColor(dc, 0xFFFFFF), 0x00FF00u);
    EXPECT_EQ(MneGetBkColor(dc), 0xFFFFFFu);
    EXPECT_EQ(MneSetBkColor(dc, 0x123456), 0xFFFFFFu);
    EXPECT_EQ(MneGetBkMode(dc), 1);
    EXPECT_EQ(MneSetBkMode(dc, 2), 1);
    EXPECT_EQ(MneGetBkMode(dc), 2);

    // The context's own default font is selected first: it draws nothing.
    const MneTextRect rect{0, 0, 64, 32};
    EXPECT_EQ(MneDrawText(dc, "A", 1, &rect, 0), 0);
    const MneHandle defaultFont = MneSelectFont(dc, font);
    ASSERT_NE(defaultFont, 0u);
    MneSize size;
    ASSERT_EQ(MneGetTextExtent(dc, "AA", 2, &size), 1);
    EXPECT_EQ(size.cx, 24);
    EXPECT_EQ(size.cy, 20);
    EXPECT_EQ(MneDrawText(dc, "A", 1, &rect, 0), 20);
    EXPECT_EQ(MneDrawText(dc, "A", 1, nullptr, 0), 0);
    EXPECT_GT(CountInk(image), 100);
    EXPECT_EQ(MneSelectFont(dc, defaultFont), font);
    EXPECT_EQ(MneDrawText(dc, "A", 1, &rect, 0), 0);

    // Deleting a selected font leaves the context on its default font.
    EXPECT_EQ(MneSelectFont(dc, font), defaultFont);
    EXPECT_EQ(MneDeleteFont(font), 1);
    EXPECT_EQ(MneDeleteFont(font), 0);  // the handle names nothing any more
    EXPECT_EQ(MneDrawText(dc, "A", 1, &rect, 0), 0);
    EXPECT_EQ(MneDeleteDC(dc), 1);
    EXPECT_EQ(MneDeleteDC(dc), 0);
    EXPECT_EQ(MneSetTextColor(dc, 1), 0u);
}

TEST_F(HandleTest, TextIsPlacedByTheFormatFlags) {
    const MneHandle dc = MneCreateDC(image.Bits(), 64, 32);
    const MneHandle font = MneCreateFont(20, 400, "BOX", 0);
    MneSelectFont(dc, font);
    MneSetTextColor(dc, 0xFFFFFF);
    // The box glyph covers x 1..10 and 14 pixels above the baseline;
    // the text is 12 wide and 20 high with the baseline 4 above its bottom.
    struct Case {
        const char* what;
        MneTextRect rect;
        uint32_t flags;
        std::array<int32_t, 4> ink;
    } cases[] = {
        {"top left", {0, 0, 64, 32}, 0, {1, 2, 10, 15}},
        {"centred", {0, 0, 64, 32}, 0x925, {27, 8, 36, 21}},
        {"right bottom", {0, 0, 64, 32}, kMneTextRight | kMneTextBottom, {53, 14, 62, 27}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        image.Fill(0);
        EXPECT_EQ(MneDrawText(dc, "A", 1, &c.rect, c.flags), 20);
        EXPECT_EQ(InkBox(image), c.ink);
    }
    // Wholly right of the image: nothing.
    const MneTextRect outside{70, 0, 90, 32};
    image.Fill(0);
    EXPECT_EQ(MneDrawText(dc, "A", 1, &outside, 0), 0);
    EXPECT_EQ(CountInk(image), 0);
    MneDeleteFont(font);
    MneDeleteDC(dc);
}

// Korean and Latin text with fonts converted from NanumGothic.
class NanumTextTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(kNanumGothic)) GTEST_SKIP() << "NanumGothic not installed";
        ASSERT_EQ(SetVectorFontFolder(dir.Path()), 1);
        std::filesystem::create_directories(dir.File("Font"));
        std::vector<uint16_t> codes;
        for (const std::string& s : {Cp949(kKorean), Cp949(kLatin)}) {
            size_t pos = 0;
            uint32_t code = 0;
            while (NextFontCode(s.data(), s.size(), pos, code)) codes.push_back(static_cast<uint16_t>(code));
        }
        for (bool bitmap : {false, true}) {
            fontwriter::TrueTypeOptions options;
            options.ttfPath = kNanumGothic;
            options.faceName = "NANUM";
            options.bitmap = bitmap;
            options.height = bitmap ? 20 : 64;
            options.width = bitmap ? 20 : 400;
            options.codes = codes;
            fontwriter::FontDesc desc;
            ASSERT_TRUE(fontwriter::ConvertTrueType(options, desc));
            ASSERT_TRUE(fontwriter::WriteFontFile(dir.File(bitmap ? "Font/nanum_b.fnt" : "Font/nanum_v.fnt"), desc));
        }
    }

    // Draws the two lines: Korean with the vector font, Latin with the
    // bitmap font.
    void DrawSample(DibImage565& out, CMneVectorFont& vector, CMneVectorFont& bitmap) {
        ASSERT_EQ(out.Create(300, 56), 1);
        const std::string korean = Cp949(kKorean), latin = Cp949(kLatin);
        const int32_t line1[4] = {4, 2, 296, 30}, line2[4] = {4, 30, 296, 54};
        EXPECT_GT(DrawTextOn(out, &vector, korean.data(), int32_t(korean.size()), line1, 0, 0xFFFFFF), 0);
        EXPECT_GT(DrawTextOn(out, &bitmap, latin.data(), int32_t(latin.size()), line2, 0, 0x40C0FF), 0);
    }

    testsupport::TempDir dir;
};

TEST_F(NanumTextTest, StoredStringImagesGiveTheSamePixels) {
    CMneVectorFont vector, bitmap, vectorDirect, bitmapDirect;
    ASSERT_EQ(vector.Create(24, 400, "NANUM", 1, 0), 1);
    ASSERT_EQ(bitmap.Create(20, 20, "NANUM", 1, 1), 1);
    ASSERT_EQ(vectorDirect.Create(24, 400, "NANUM", 0, 0), 1);
    ASSERT_EQ(bitmapDirect.Create(20, 20, "NANUM", 0, 1), 1);

    DibImage565 first, second, direct;
    DrawSample(first, vector, bitmap);
    const std::string korean = Cp949(kKorean);
    const uint8_t* data = nullptr;
    int32_t size = 0, width = 0, height = 0;
    ASSERT_EQ(vector.FindImage(korean.data(), int32_t(korean.size()), &data, &size, &width, &height), 1);
    vector.ReleaseImage(korean.data(), int32_t(korean.size()));
    DrawSample(second, vector, bitmap);   // from the stored images
    DrawSample(direct, vectorDirect, bitmapDirect);  // nothing stored, drawn straight

    ASSERT_EQ(first.SizeBytes(), second.SizeBytes());
    EXPECT_EQ(std::memcmp(first.Bits(), second.Bits(), first.SizeBytes()), 0);
    // Drawn straight, outlines meet the rasteriser at other absolute
    // coordinates, so curve subdivision may round a cover apart.
    int apart = 0, largest = 0;
    for (int32_t y = 0; y < first.Height(); ++y) {
        for (int32_t x = 0; x < first.Width(); ++x) {
            const int d = std::abs(int(first.Pixel(x, y) >> 5 & 0x3F) - int(direct.Pixel(x, y) >> 5 & 0x3F));
            apart += d != 0;
            largest = std::max(largest, d);
        }
    }
    EXPECT_LE(largest, 2);
    EXPECT_LE(apart, CountInk(first) / 10);
    EXPECT_GT(CountInk(first), 1500);
    testsupport::MaybeSavePng(first, "font_sample");

    // The Korean line fills its width as measured, the Latin line its own.
    MneSize extent;
    ASSERT_EQ(vector.GetTextExtent(korean.data(), int32_t(korean.size()), &extent), 1);
    const auto box = InkBox(first);
    EXPECT_LE(box[2], 4 + extent.cx);
    EXPECT_GE(box[2], extent.cx - 8);
}

// One small picture kept as a grey PGM: "Seoul 123" in the bitmap font. A
// pixel may differ by a little (FreeType versions hint slightly apart).
// NAVI_UPDATE_GOLDEN=1 writes it anew (where the test finds it).
TEST_F(NanumTextTest, LatinBitmapTextMatchesTheGoldenImage) {
    CMneVectorFont bitmap;
    ASSERT_EQ(bitmap.Create(20, 20, "NANUM", 0, 1), 1);
    DibImage565 image(96, 24);
    const int32_t rect[4] = {0, 0, 96, 24};
    ASSERT_GT(DrawTextOn(image, &bitmap, kLatin, 9, rect, 0, 0xFFFFFF), 0);
    std::vector<uint8_t> grey;
    for (int32_t y = 0; y < image.Height(); ++y) {
        for (int32_t x = 0; x < image.Width(); ++x) grey.push_back(static_cast<uint8_t>((image.Pixel(x, y) >> 5 & 0x3F) << 2));
    }
    const std::string path = testsupport::SourceFile("tests/render/golden/font_seoul_bitmap20.pgm");
    ASSERT_FALSE(path.empty()) << "golden image not found in the source tree";
    std::ostringstream header;
    header << "P5\n" << image.Width() << " " << image.Height() << "\n255\n";
    if (std::getenv("NAVI_UPDATE_GOLDEN")) {
        std::ofstream(path, std::ios::binary) << header.str() << std::string(grey.begin(), grey.end());
    }
    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in) << path;
    const std::string stored((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(stored.size(), header.str().size() + grey.size());
    ASSERT_EQ(stored.substr(0, header.str().size()), header.str());
    int far = 0;
    for (size_t i = 0; i < grey.size(); ++i) {
        const int d = std::abs(int(uint8_t(stored[header.str().size() + i])) - int(grey[i]));
        far += d > 48;
    }
    EXPECT_LE(far, int(grey.size() / 100)) << "pixels far from the golden image";
}

}  // namespace
