// Fonts: file layout, the pool's file sharing, glyph look-up and scaling,
// refusal of damaged files, the string-image cache, and conversion from
// TrueType.
#include "render/vector_font.h"

#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "foundation/debug_trace.h"
#include "platform/codepage.h"
#include "render/aa_context.h"
#include "render/dib_image.h"
#include "support/temp_dir.h"
#include "tools/writers/font_writer.h"

namespace {

constexpr const char* kNanumGothic = "/usr/share/fonts/truetype/nanum/NanumGothic.ttf";

std::string Cp949(const char* utf8) {
    std::string out;
    EXPECT_TRUE(platform::Utf16ToCp949(platform::Utf8ToUtf16(utf8), out));
    return out;
}

uint16_t CodeOf(const char* utf8) {
    const std::string b = Cp949(utf8);
    return b.size() == 1 ? static_cast<uint8_t>(b[0])
                         : static_cast<uint16_t>(static_cast<uint8_t>(b[0]) << 8 | static_cast<uint8_t>(b[1]));
}

// A small font drawn as boxes on a 20-pixel design: 'A' a full box, 'I' a
// bar (the one glyph 24 pixels high), '가' two boxes, space blank.
fontwriter::FontDesc BoxFont(const std::string& face, bool bitmap, int32_t height = 20, int32_t width = 400) {
    fontwriter::FontDesc desc;
    desc.bitmap = bitmap;
    desc.faceName = face;
    desc.height = height;
    desc.width = width;
    desc.descent = 4;
    auto glyph = [&](uint16_t code, uint8_t advance, const std::vector<std::array<double, 4>>& boxes,
                     uint8_t glyphHeight = 20) {
        fontwriter::OutlineBuilder outline;
        for (const auto& b : boxes) outline.Rect(b[0], b[1], b[2], b[3]);
        fontwriter::Glyph g;
        g.code = code;
        g.advance = advance;
        g.height = glyphHeight;
        if (!outline.Empty()) g.data = bitmap ? fontwriter::RasteriseOutline(outline.Data()) : outline.Data();
        desc.glyphs.push_back(std::move(g));
    };
    glyph(' ', 5, {});
    glyph('A', 12, {{1, -14, 11, 0}});
    glyph('I', 5, {{1, -14, 4, 0}}, 24);
    glyph(CodeOf("가"), 19, {{1, -14, 8, 0}, {11, -14, 18, 0}});
    return desc;
}

class FontTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(SetVectorFontFolder(dir.Path() + "/"), 1);
        std::filesystem::create_directories(dir.File("Font"));
    }
    void TearDown() override { SetDebugTraceSink({}); }

    void Write(const std::string& name, const fontwriter::FontDesc& desc) {
        std::string error;
        ASSERT_TRUE(fontwriter::WriteFontFile(dir.File("Font/" + name), desc, &error)) << error;
    }
    void WriteBytes(const std::string& name, const std::vector<uint8_t>& bytes) {
        dir.Write("Font/" + name, std::string(bytes.begin(), bytes.end()));
    }
    std::vector<std::string> CaptureTrace() {
        SetDebugTraceSink([this](std::string_view line) { trace.emplace_back(line); }, false);
        return trace;
    }

    testsupport::TempDir dir;
    std::vector<std::string> trace;
};

TEST_F(FontTest, WriterLaysOutHeaderRangesAndRecords) {
    fontwriter::FontDesc desc;
    desc.faceName = "AB";
    desc.height = 64;
    desc.width = 400;
    desc.descent = 13;
    desc.glyphs.push_back({0x42, 9, 70, {5, 6, 7, 8}});
    desc.glyphs.push_back({0x41, 7, 70, {1, 2, 3, 4, 9, 9, 9, 9}});
    desc.glyphs.push_back({0xB0A1, 20, 70, {}});
    const std::vector<uint8_t> b = fontwriter::BuildFontFile(desc);
    // Header 56, name at 56, range table at 60 (two runs), records at 76
    // (three), glyph data from 100.
    const std::vector<uint8_t> expected = {
        'F', 'V', 'N', 'M', 1, 0, 4, 0, 56, 0, 0, 0, 100, 0, 0, 0,  // magic, 1, 4, header, resident
        8, 0, 0, 0, 64, 0, 0, 0, 0x90, 1, 0, 0, 13, 0, 0, 0,        // largest glyph, height, width, descent
        2, 0, 0, 0, 56, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,            // name length, offset, unused, extra
        2, 0, 0, 0, 60, 0, 0, 0,                                    // ranges, range table offset
        'A', 'B', 0, 0,                                             // name, padding
        0x41, 0, 0x42, 0, 76, 0, 0, 0,                              // 'A'..'B' -> 76
        0xA1, 0xB0, 0xA1, 0xB0, 92, 0, 0, 0,                        // 0xB0A1 -> 92
        7, 70, 8, 0, 100, 0, 0, 0,                                  // 'A': 8 bytes at 100
        9, 70, 4, 0, 108, 0, 0, 0,                                  // 'B': 4 bytes at 108
        20, 70, 0, 0, 0, 0, 0, 0,                                   // blank
        1, 2, 3, 4, 9, 9, 9, 9, 5, 6, 7, 8};
    EXPECT_EQ(b, expected);
}

TEST_F(FontTest, OutlineVerticesCarryCommandsInTheLowBits) {
    fontwriter::OutlineBuilder o;
    o.MoveTo(1.0, -2.0);      // 64, -128 -> x 128|0, y -256|0
    o.Curve3(0.5, 0, 1, 1);   // 32, 0 (cmd 2) then 64, 64 (cmd 2)
    const std::vector<uint8_t> expected = {0x80, 0x00, 0x00, 0xFF, 0x40, 0x00, 0x01, 0x00, 0x80, 0x00, 0x81, 0x00};
    EXPECT_EQ(o.Data(), expected);
    EXPECT_TRUE(IsValidVectorGlyph(o.Data().data(), o.Data().size()));
    // A curve cut short is refused.
    EXPECT_FALSE(IsValidVectorGlyph(o.Data().data(), 8));
}

TEST_F(FontTest, VectorFontScalesAdvancesAndMeasuresText) {
    Write("box_v.fnt", BoxFont("BOX", false));
    CMneVectorFont font;
    ASSERT_EQ(font.Create(30, 600, "BOX", 1, 0), 1);
    EXPECT_DOUBLE_EQ(font.Scale(), 1.5);
    EXPECT_DOUBLE_EQ(font.Weight(), 0.5);
    EXPECT_EQ(font.Descent(), 6);  // 4 pixels at the design height, scaled

    // The height is that of the tallest glyph ('I': 24 x 1.5), wherever it
    // stands.
    struct Case {
        const char* text;
        int32_t width, height;
    } cases[] = {
        {"A", 18, 30},           // 12 x 1.5
        {"I", 7, 36},            // 5 x 1.5 truncated
        {"AIA", 43, 36},         // each advance truncated on its own
        {"IA", 25, 36},
        {"가", 28, 30},          // 19 x 1.5 truncated
        {"A가 Z", 18 + 28 + 7, 30},  // 'Z' lies outside every range
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const std::string text = Cp949(c.text);
        MneSize size;
        ASSERT_EQ(font.GetTextExtent(text.data(), static_cast<int32_t>(text.size()), &size), 1);
        EXPECT_EQ(size.cx, c.width);
        EXPECT_EQ(size.cy, c.height);
    }

    int32_t ax = 0, ay = 0, length = -1;
    const uint8_t* data = nullptr;
    double scale = 0, weight = 0;
    ASSERT_EQ(font.GetGlyph(CodeOf("가"), &ax, &ay, &length, &data, &scale, &weight), 1);
    EXPECT_EQ(ax, 28);
    EXPECT_EQ(ay, 30);
    EXPECT_EQ(length, 32);  // two boxes of four vertices
    ASSERT_NE(data, nullptr);
    ASSERT_EQ(font.GetGlyph(' ', &ax, &ay, &length, &data, &scale, &weight), 1);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(font.GetGlyph('Z', &ax, &ay, &length, &data, &scale, &weight), 0);
    // A lead byte at the end of the text is taken alone and has no glyph.
    MneSize size;
    ASSERT_EQ(font.GetTextExtent("A\xB0", 2, &size), 1);
    EXPECT_EQ(size.cx, 18);
}

TEST_F(FontTest, FontsFindFilesByExactFaceKindAndSize) {
    Write("box_v.fnt", BoxFont("BOX", false));
    Write("box12_v.fnt", BoxFont("BOX12", false));
    Write("font1_v.fnt", BoxFont("FONT1", false));
    Write("box_b20.fnt", BoxFont("BOXB", true, 20, 20));
    std::filesystem::create_directories(dir.File("Font/sub"));
    Write("sub/box_b24.fnt", BoxFont("BOXB", true, 24, 24));  // found in a subfolder
    WriteBytes("notes.txt", {'F', 'B', 'N', 'M'});  // not a font: skipped

    struct Case {
        const char* face;
        int32_t height, width, kind;
        int expected;
    } cases[] = {
        {"BOX", 20, 400, 0, 1},
        {"BOX1", 20, 400, 0, 0},    // a longer stored name does not match a shorter request
        {"BOX123", 20, 400, 0, 0},  // nor a shorter stored name a longer one
        {"FONT1X", 20, 400, 0, 0},  // stored FONT1: names match whole
        {"FONT1", 20, 400, 0, 1},
        {"box", 20, 400, 0, 0},
        {"BOXB", 20, 20, 1, 1},
        {"BOXB", 24, 24, 1, 1},
        {"BOXB", 20, 21, 1, 0},     // bitmap fonts only at their exact size
        {"BOXB", 22, 22, 1, 0},
        {"BOX", 20, 400, 1, 0},     // a vector file is no bitmap font
        {"BOXB", 20, 20, 0, 0},
    };
    CaptureTrace();
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.face) + " " + std::to_string(c.height) + "x" + std::to_string(c.width));
        CMneVectorFont font;
        EXPECT_EQ(font.Create(c.height, c.width, c.face, 1, c.kind), c.expected);
        EXPECT_EQ(font.HasFile(), c.expected == 1);
    }
    ASSERT_FALSE(trace.empty());
    EXPECT_EQ(trace[0], "CMneVectorFont::CreateVectorFont Error : BOX1(H:20,W:400)\r\n");
    EXPECT_NE(std::find(trace.begin(), trace.end(), "CMneVectorFont::CreateBitmapFont Error : BOXB(H:20,W:21)\r\n"),
              trace.end());
}

TEST_F(FontTest, FontsShareOneOpenFileAndThePoolLivesWithThem) {
    Write("box_v.fnt", BoxFont("BOX", false));
    EXPECT_EQ(CMneVectorFont::LiveCount(), 0);
    EXPECT_EQ(CMneVectorFont::Pool(), nullptr);
    auto a = std::make_unique<CMneVectorFont>();
    auto b = std::make_unique<CMneVectorFont>();
    ASSERT_EQ(a->Create(20, 400, "BOX", 1, 0), 1);
    ASSERT_EQ(b->Create(40, 400, "BOX", 1, 0), 1);
    CMneVectorFontPool* pool = CMneVectorFont::Pool();
    ASSERT_NE(pool, nullptr);
    EXPECT_EQ(pool->OpenFileCount(), 1u);

    // The file stays open for b after a lets go, and is closed with b.
    a.reset();
    EXPECT_EQ(pool->OpenFileCount(), 1u);
    MneSize size;
    ASSERT_EQ(b->GetTextExtent("A", 1, &size), 1);
    EXPECT_EQ(size.cx, 24);
    ASSERT_EQ(b->Create(20, 400, "NONE", 1, 0), 0);  // re-creating releases the old file first
    EXPECT_EQ(pool->OpenFileCount(), 0u);
    EXPECT_EQ(b->GetTextExtent("A", 1, &size), 0);
    b.reset();
    EXPECT_EQ(CMneVectorFont::Pool(), nullptr);
}

TEST_F(FontTest, FolderNamesOutOfBoundsFindNothing) {
    Write("box_v.fnt", BoxFont("BOX", false));
    EXPECT_EQ(ScanFontFolder(dir.File("Font")).size(), 1u);
    EXPECT_TRUE(ScanFontFolder("").empty());
    EXPECT_TRUE(ScanFontFolder(std::string(260, 'a')).empty());
    // A base folder that would make the font folder longer than 260
    // characters is refused and the folder stays.
    const std::string before = GetVectorFontFolder();
    EXPECT_EQ(SetVectorFontFolder(std::string(256, 'b')), 0);
    EXPECT_EQ(GetVectorFontFolder(), before);
    EXPECT_EQ(SetVectorFontFolder(std::string(255, 'b')), 0);  // + "\Font\" = 261
    EXPECT_EQ(SetVectorFontFolder(std::string(254, 'b')), 1);  // exactly 260
}

// Each case damages a good file; the font must refuse it.
TEST_F(FontTest, DamagedFilesAreRefused) {
    const std::vector<uint8_t> good = fontwriter::BuildFontFile(BoxFont("BOX", false));
    ASSERT_FALSE(good.empty());
    auto u32At = [&](size_t offset) {
        return uint32_t(good[offset]) | uint32_t(good[offset + 1]) << 8 | uint32_t(good[offset + 2]) << 16 |
               uint32_t(good[offset + 3]) << 24;
    };
    auto put32 = [](std::vector<uint8_t>& b, size_t offset, uint32_t v) {
        for (int i = 0; i < 4; ++i) b[offset + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    const uint32_t resident = u32At(fontfile::kResidentSize);
    const uint32_t rangeOffset = u32At(fontfile::kRangeOffset);
    const uint32_t firstRecords = u32At(rangeOffset + 4);

    struct Case {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> damage;
    } cases[] = {
        {"truncated inside the header", [](auto& b) { b.resize(30); }},
        {"truncated inside the resident part", [&](auto& b) { b.resize(resident - 4); }},
        {"truncated glyph data", [&](auto& b) { b.resize(b.size() - 3); }},
        {"resident size past the end", [&](auto& b) { put32(b, fontfile::kResidentSize, b.size() + 1); }},
        {"range table past the end", [&](auto& b) { put32(b, fontfile::kRangeOffset, resident - 4); }},
        {"range table overlapping the header", [&](auto& b) { put32(b, fontfile::kRangeOffset, 40); }},
        {"range count beyond the table", [&](auto& b) { put32(b, fontfile::kRangeCount, 1000); }},
        {"records past the end", [&](auto& b) { put32(b, rangeOffset + 4, resident - 4); }},
        {"records in the header", [&](auto& b) { put32(b, rangeOffset + 4, 8); }},
        {"range reversed", [&](auto& b) { b[rangeOffset] = 0x30; b[rangeOffset + 2] = 0x20; }},
        {"glyph data offset past the end", [&](auto& b) { put32(b, firstRecords + 8 + 4, b.size() - 2); }},
        {"glyph data inside the tables", [&](auto& b) { put32(b, firstRecords + 8 + 4, rangeOffset); }},
        {"glyph above the largest size", [&](auto& b) { put32(b, fontfile::kMaxGlyphSize, 8); }},
        {"name past the resident part", [&](auto& b) { put32(b, fontfile::kNameOffset, resident - 1); }},
        {"design height zero", [&](auto& b) { put32(b, fontfile::kHeight, 0); }},
        {"wrong version", [](auto& b) { b[4] = 2; }},
        {"outline of partial vertices", [&](auto& b) { b[firstRecords + 8 + 2] -= 1; }},
    };
    CaptureTrace();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> bytes = good;
        c.damage(bytes);
        WriteBytes("box_v.fnt", bytes);
        CMneVectorFont font;
        EXPECT_EQ(font.Create(20, 400, "BOX", 1, 0), 0);
    }
    // The good file still loads.
    WriteBytes("box_v.fnt", good);
    CMneVectorFont font;
    EXPECT_EQ(font.Create(20, 400, "BOX", 1, 0), 1);
}

TEST_F(FontTest, DamagedGlyphDataIsNotHandedOut) {
    for (bool bitmap : {false, true}) {
        SCOPED_TRACE(bitmap ? "bitmap" : "vector");
        fontwriter::FontDesc desc = BoxFont("BOX", bitmap, 20, 20);
        std::vector<uint8_t>& a = desc.glyphs[1].data;  // 'A'
        ASSERT_GE(a.size(), bitmap ? 28u : 4u);
        if (bitmap) {
            a[24] = 0x7F;  // the first scanline claims far more spans than it holds
        } else {
            a[0] |= 1;  // starts with a line-to
        }
        Write(bitmap ? "box_b.fnt" : "box_v.fnt", desc);
        CMneVectorFont font;
        ASSERT_EQ(font.Create(20, 20, "BOX", 1, bitmap ? 1 : 0), 1);
        int32_t ax = 0, ay = 0, length = 0;
        const uint8_t* data = nullptr;
        double scale = 0, weight = 0;
        EXPECT_EQ(font.GetGlyph('A', &ax, &ay, &length, &data, &scale, &weight), 0);
        EXPECT_EQ(font.GetGlyph('I', &ax, &ay, &length, &data, &scale, &weight), 1);
    }
}

TEST_F(FontTest, StringImagesAreKeyedByTheWholeString) {
    Write("box_v.fnt", BoxFont("BOX", false));
    CMneVectorFont font;
    ASSERT_EQ(font.Create(20, 400, "BOX", 1, 0), 1);
    const std::string a = "Gangnam-daero northbound exit ramp A";
    const std::string b = "Gangnam-daero northbound exit ramp B";  // same first 35 bytes
    const uint8_t imageA[] = {1, 2, 3}, imageB[] = {4, 5};
    ASSERT_EQ(font.StoreImage(a.data(), int32_t(a.size()), imageA, 3, 70, 20), 1);
    ASSERT_EQ(font.StoreImage(b.data(), int32_t(b.size()), imageB, 2, 71, 20), 1);

    const uint8_t* data = nullptr;
    int32_t size = 0, width = 0, height = 0;
    ASSERT_EQ(font.FindImage(a.data(), int32_t(a.size()), &data, &size, &width, &height), 1);
    EXPECT_EQ(size, 3);
    EXPECT_EQ(width, 70);
    EXPECT_EQ(std::memcmp(data, imageA, 3), 0);
    font.ReleaseImage(a.data(), int32_t(a.size()));
    ASSERT_EQ(font.FindImage(b.data(), int32_t(b.size()), &data, &size, &width, &height), 1);
    EXPECT_EQ(width, 71);
    font.ReleaseImage(b.data(), int32_t(b.size()));

    // The measurement of a stored string is the stored image's.
    MneSize extent;
    ASSERT_EQ(font.GetTextExtent(a.data(), int32_t(a.size()), &extent), 1);
    EXPECT_EQ(extent.cx, 70);

    // Another size of the same face has its own images.
    CMneVectorFont other;
    ASSERT_EQ(other.Create(21, 400, "BOX", 1, 0), 1);
    EXPECT_EQ(other.FindImage(a.data(), int32_t(a.size()), &data, &size, &width, &height), 0);

    // Strings longer than the key holds are not stored.
    const std::string longText(kFontImageMaxTextBytes + 1, 'A');
    EXPECT_EQ(font.StoreImage(longText.data(), int32_t(longText.size()), imageA, 3, 1, 1), 0);
    EXPECT_EQ(font.FindImage(longText.data(), int32_t(longText.size()), &data, &size, &width, &height), 0);
}

// Converted fonts keep FreeType's advances: at the design height of a vector
// font and at the pixel size of a bitmap font.
TEST_F(FontTest, ConvertedAdvancesMatchFreeType) {
    if (!std::filesystem::exists(kNanumGothic)) GTEST_SKIP() << "NanumGothic not installed";
    const char* const chars[] = {"A", "g", "W", "i", " ", "1", "서", "울", "특", "별", "강", "테", "헤", "란", "로"};
    std::vector<uint16_t> codes;
    for (const char* c : chars) codes.push_back(CodeOf(c));

    FT_Library lib = nullptr;
    FT_Face face = nullptr;
    ASSERT_EQ(FT_Init_FreeType(&lib), 0);
    ASSERT_EQ(FT_New_Face(lib, kNanumGothic, 0, &face), 0);

    struct Case {
        bool bitmap;
        int32_t size;
        FT_Int32 loadFlags;
    } cases[] = {{false, 64, FT_LOAD_NO_HINTING}, {true, 20, FT_LOAD_DEFAULT}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bitmap ? "bitmap" : "vector");
        fontwriter::TrueTypeOptions options;
        options.ttfPath = kNanumGothic;
        options.faceName = "NANUM";
        options.bitmap = c.bitmap;
        options.height = c.size;
        options.width = c.bitmap ? c.size : 400;
        options.codes = codes;
        fontwriter::FontDesc desc;
        std::string error;
        ASSERT_TRUE(fontwriter::ConvertTrueType(options, desc, &error)) << error;
        EXPECT_EQ(desc.glyphs.size(), codes.size());
        Write(c.bitmap ? "nanum_b.fnt" : "nanum_v.fnt", desc);

        CMneVectorFont font;
        ASSERT_EQ(font.Create(c.size, options.width, "NANUM", 1, c.bitmap ? 1 : 0), 1);
        ASSERT_EQ(FT_Set_Pixel_Sizes(face, 0, c.size), 0);
        for (size_t i = 0; i < codes.size(); ++i) {
            SCOPED_TRACE(chars[i]);
            ASSERT_EQ(FT_Load_Char(face, platform::Utf8ToUtf16(chars[i])[0], c.loadFlags | FT_LOAD_NO_BITMAP), 0);
            const long expected = std::lround(face->glyph->advance.x / 64.0);
            int32_t ax = 0, ay = 0, length = 0;
            const uint8_t* data = nullptr;
            double scale = 0, weight = 0;
            ASSERT_EQ(font.GetGlyph(codes[i], &ax, &ay, &length, &data, &scale, &weight), 1);
            EXPECT_EQ(ax, expected);
            EXPECT_EQ(length == 0, codes[i] == ' ');
        }
    }
    FT_Done_Face(face);
    FT_Done_FreeType(lib);
}

// The weight of a vector font (width / design width - 1) thickens its text
// as the width grows past the design width and thins it below.
TEST_F(FontTest, ConvertedHangulGetsBolderWithWidth) {
    if (!std::filesystem::exists(kNanumGothic)) GTEST_SKIP() << "NanumGothic not installed";
    const std::string text = Cp949("서울특별시 강남구 테헤란로");
    fontwriter::TrueTypeOptions options;
    options.ttfPath = kNanumGothic;
    options.faceName = "NANUM";
    options.height = 64;
    options.width = 400;
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        const auto b = static_cast<uint8_t>(text[i]);
        if (b & 0x80) {
            options.codes.push_back(static_cast<uint16_t>(b << 8 | static_cast<uint8_t>(text[i + 1])));
            ++i;
        }
    }
    fontwriter::FontDesc desc;
    std::string error;
    ASSERT_TRUE(fontwriter::ConvertTrueType(options, desc, &error)) << error;
    Write("nanum_v.fnt", desc);

    // Ink: the green channel summed over the image.
    const auto ink = [&](int32_t width) {
        CMneVectorFont font;
        EXPECT_EQ(font.Create(24, width, "NANUM", 0, 0), 1);
        DibImage565 image(400, 40);
        CMneDC dc;
        EXPECT_EQ(dc.Attach(image), 1);
        dc.SelectFont(&font);
        dc.SetTextColor(0xFFFFFF);
        const MneRect rect{4, 4, 396, 36};
        EXPECT_GT(dc.DrawText(text.data(), static_cast<int32_t>(text.size()), &rect, 0), 0);
        long sum = 0;
        for (int32_t y = 0; y < image.Height(); ++y)
            for (int32_t x = 0; x < image.Width(); ++x) sum += (image.Pixel(x, y) >> 5) & 0x3F;
        return sum;
    };
    const long ink300 = ink(300), ink400 = ink(400), ink700 = ink(700), ink800 = ink(800);
    EXPECT_LT(ink300, ink400);
    EXPECT_LT(ink400, ink700);
    EXPECT_LT(ink700, ink800);
}

TEST_F(FontTest, Cp949CodeTableCoversHangulSyllables) {
    const auto codes = fontwriter::Cp949Codes();
    size_t hangul = 0;
    for (const auto& [code, ch] : codes) hangul += (ch >= 0xAC00 && ch <= 0xD7A3);
    EXPECT_EQ(hangul, 11172u);  // every modern syllable, the extension rows included
    EXPECT_EQ(codes.front().first, 0x20);
}

}  // namespace
