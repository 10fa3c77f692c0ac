// The style file and landmark file: the writers' bytes, the demo style read
// back whole, damaged files refused with the load code of the step that
// finds the damage, colour modes, symbols and landmarks.
#include "render/style_file.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <tuple>

#include "foundation/debug_trace.h"
#include "platform/codepage.h"
#include "platform/file_io.h"
#include "support/temp_dir.h"
#include "tools/writers/demo_style.h"
#include "tools/writers/style_writer.h"

using stylewriter::SectionSpan;

namespace {

uint16_t U16(const std::vector<uint8_t>& b, size_t at) { return static_cast<uint16_t>(b[at] | b[at + 1] << 8); }
uint32_t U32(const std::vector<uint8_t>& b, size_t at) { return U16(b, at) | uint32_t{U16(b, at + 2)} << 16; }
void Put16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    Put16(b, at, static_cast<uint16_t>(v));
    Put16(b, at + 2, static_cast<uint16_t>(v >> 16));
}
const SectionSpan& Span(const std::vector<SectionSpan>& layout, const std::string& name) {
    for (const SectionSpan& s : layout)
        if (s.name == name) return s;
    ADD_FAILURE() << "no span " << name;
    return layout.front();
}

// Colours as the demo style stores them (0x00BBGGRR), worked out by hand.
constexpr uint32_t kDayExpressway = 0x3C9EFA;     // 250, 158, 60
constexpr uint32_t kNightExpressway = 0x2C80D6;   // 214, 128, 44
constexpr uint32_t kContrastExpressway = 0x0078FF;
constexpr uint32_t kDayLand = 0xE9EFF2;           // 242, 239, 233
constexpr uint32_t kNightLand = 0x322824;         // 36, 40, 50

class QuietTrace {
public:
    QuietTrace() : m_level(GetDebugTraceLevel()) {
        SetDebugTraceLevel(3);   // the loader's lines are level 3
        SetDebugTraceSink([this](std::string_view line) { lines.emplace_back(line); }, false);
    }
    ~QuietTrace() {
        SetDebugTraceSink({});
        SetDebugTraceLevel(m_level);
    }
    std::vector<std::string> lines;

private:
    int m_level;
};

// The demo style and landmark files in a fresh folder.
class DemoStyleFiles : public ::testing::Test {
protected:
    void SetUp() override {
        style = stylewriter::BuildStyleFile(demostyle::BuildDemoStyle(), &layout);
        landmarks = stylewriter::BuildLandmarkFile(demostyle::BuildDemoLandmarks(), &landmarkLayout);
        Write(style, landmarks);
    }
    void Write(const std::vector<uint8_t>& s, const std::vector<uint8_t>& l) {
        ASSERT_TRUE(platform::AtomicReplaceFile(StylePath(), s));
        ASSERT_TRUE(platform::AtomicReplaceFile(LandmarkPath(), l));
    }
    std::string StylePath() const { return dir.File("PeloxSymbol.cfg"); }
    std::string LandmarkPath() const { return dir.File("LandMarkImage.dat"); }
    int Load(CConfigManager& m, int mode = 0, int onDemand = 0) {
        m.SetLandmarkPath(LandmarkPath());
        return m.LoadConfig(StylePath(), mode, onDemand);
    }

    testsupport::TempDir dir;
    std::vector<uint8_t> style, landmarks;
    std::vector<SectionSpan> layout, landmarkLayout;
    QuietTrace trace;
};

}  // namespace

TEST(StyleWriterTest, BytesOfASmallStyleFile) {
    stylewriter::StyleDesc d;
    d.palettes = {{0x000000, 0x112233}};
    d.drawStyles = {{1, 3, 1, 0}};
    d.level1 = {7};
    const std::vector<uint8_t> b = stylewriter::BuildStyleFile(d);
    ASSERT_EQ(b.size(), 194u);   // header 176, palette 8, draw style 6, level table 4
    EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "MNCF");
    EXPECT_EQ(U16(b, 4), 1);     // format word A
    EXPECT_EQ(U16(b, 12), 1);    // modes
    EXPECT_EQ(U16(b, 14), 2);    // colours per palette
    EXPECT_EQ(U16(b, 16), 1);    // draw styles
    EXPECT_EQ(U16(b, 38), 1);    // level table 1 entries
    EXPECT_EQ(U32(b, 64), 176u); // palette of mode 0
    EXPECT_EQ(U32(b, 76), 184u); // draw styles
    EXPECT_EQ(U32(b, 120), 190u);   // level table 1
    EXPECT_EQ(std::vector<uint8_t>(b.begin() + 176, b.end()),
              (std::vector<uint8_t>{0, 0, 0, 0, 0x33, 0x22, 0x11, 0,   // palette
                                    1, 3, 1, 0, 0, 0,                  // kind 1, width 3, colours 1 and 0
                                    7, 0, 0, 0}));                     // level table 1

    QuietTrace quiet;
    CConfigManager m;
    ASSERT_EQ(m.LoadConfigFromMemory(b.data(), b.size(), 0), kStyleLoadOk);
    ASSERT_EQ(m.DrawStyles().size(), 1u);
    EXPECT_EQ(m.DrawStyles()[0].colour, 0x112233u);
    EXPECT_EQ(m.DrawStyles()[0].secondColour, 0u);   // a two-colour style takes its second palette colour
    EXPECT_EQ(m.LevelTable(1), std::vector<uint32_t>{7});
    EXPECT_EQ(m.FixedColours()[0], 0x9DA7CDu);
    EXPECT_EQ(m.FixedColours()[19], 0x857E71u);
}

TEST(StyleWriterTest, BytesOfASmallLandmarkFile) {
    stylewriter::LandmarkDesc d;
    stylewriter::Landmark l;
    l.image = 0;
    l.style = 1;
    l.name = "A";
    d.named = {l};
    stylewriter::Image im;
    im.attr = {1, 1, 2, 16, 0, 0};
    im.data = {0xAB, 0xCD};
    d.images = {im};
    const std::vector<uint8_t> b = stylewriter::BuildLandmarkFile(d);
    ASSERT_EQ(b.size(), 88u);   // header 32, one record 32, one image record 20, "A\0", 2 image bytes
    EXPECT_EQ(U16(b, 12), 1);   // named
    EXPECT_EQ(U16(b, 14), 1);   // extra images
    EXPECT_EQ(U16(b, 16), 0);   // unnamed
    EXPECT_EQ(U32(b, 20), 32u);
    EXPECT_EQ(U32(b, 24), 64u);
    EXPECT_EQ(U16(b, 32 + 24), 0);   // image index
    EXPECT_EQ(U16(b, 32 + 26), 1);   // style index
    EXPECT_EQ(U32(b, 32 + 28), 84u); // name offset
    EXPECT_EQ(U16(b, 64 + 6), 16);   // bits per pixel
    EXPECT_EQ(U32(b, 64 + 12), 2u);  // image size
    EXPECT_EQ(U32(b, 64 + 16), 86u); // image offset
    EXPECT_EQ(b[84], 'A');
    EXPECT_EQ(b[85], 0);
    EXPECT_EQ(b[86], 0xAB);

    CConfigManager m;
    ASSERT_EQ(m.LoadLandmarkIndexFromMemory(b.data(), b.size()), 1);
    ASSERT_EQ(m.LandmarkCount(), 1);
    EXPECT_STREQ(m.Landmarks()[0].name, "A");
    EXPECT_EQ(m.Landmarks()[0].image.U32(16), 86u);
}

TEST_F(DemoStyleFiles, DemoStyleReadsBackWhole) {
    const stylewriter::StyleDesc desc = demostyle::BuildDemoStyle();
    for (int onDemand = 0; onDemand < 2; ++onDemand) {
        SCOPED_TRACE(onDemand);
        CConfigManager m;
        ASSERT_EQ(Load(m, 0, onDemand), kStyleLoadOk);
        EXPECT_EQ(m.ModeCount(), 3);
        EXPECT_EQ(m.DrawStyles().size(), desc.drawStyles.size());
        EXPECT_EQ(m.ColourRefs().size(), desc.colourRefs.size());
        ASSERT_EQ(m.FontNameCount(), 4);
        EXPECT_STREQ(m.FontNames()[1].name, "label bold");
        EXPECT_EQ(m.FontNames()[1].weight, 7);
        EXPECT_EQ(m.RangedClasses().size(), size_t{demostyle::kLineClassCount});
        EXPECT_EQ(m.ClassHeads().size(), size_t{demostyle::kAreaClassCount});
        EXPECT_EQ(m.SymbolClassCount(), demostyle::kSymbolClassCount);
        // The running item offsets: the expressway has two items, so the
        // major road's casing starts at item 4.
        EXPECT_EQ(m.RangedClasses()[demostyle::kLineMajorCasing].firstItem, 4);
        EXPECT_EQ(m.LevelTable(1), std::vector<uint32_t>(std::begin(demostyle::kLevelScales),
                                                         std::end(demostyle::kLevelScales)));
        EXPECT_EQ(m.LevelTable(3), (std::vector<uint32_t>{100, 500, 2500, 10000}));
        EXPECT_EQ(m.Section17Count(), 4);
        EXPECT_EQ(m.Section19Count(), 3);   // two chart bitmaps and the panorama
        EXPECT_EQ(m.SymbolMap16Count(), 9);
        // Images: in memory the entry holds the bytes; on demand they come
        // through the symbol cache. Either way the bytes are the writer's.
        for (int i = 0; i < 3; ++i) {
            int a = 0, b = 0, c = 0, d = 0;
            MneBitmapDesc image;
            StyleImageHold hold;
            ASSERT_EQ(m.GetSymbol(demostyle::kFirstPoiSymbol + i, kSymbolBase13, &a, &b, &c, &d, &image, &hold), 1);
            const stylewriter::Image& want = desc.section13[static_cast<size_t>(demostyle::kFirstPoiSymbol + i)];
            EXPECT_EQ(a, 24);   // attribute 1: height
            EXPECT_EQ(c, 12);   // attribute 4: anchor x
            EXPECT_EQ(image.planes, onDemand ? 0 : 1);
            EXPECT_EQ(image.widthBytes, 48);
            EXPECT_EQ(std::vector<uint8_t>(static_cast<uint8_t*>(image.bits),
                                           static_cast<uint8_t*>(image.bits) + want.data.size()),
                      want.data);
            EXPECT_EQ(hold.Holds(), onDemand == 1);
        }
        // Landmarks: three named (CP949 names), one unnamed.
        ASSERT_EQ(m.LandmarkCount(), 4);
        EXPECT_EQ(m.UnnamedLandmarkCount(), 1);
        std::u16string name;
        ASSERT_TRUE(platform::Cp949ToUtf16(m.Landmarks()[1].name, name));
        EXPECT_EQ(platform::Utf16ToUtf8(name), "서울역");
        EXPECT_EQ(m.Landmarks()[3].name[0], '\0');
    }
}

TEST_F(DemoStyleFiles, ColourModesResolveEveryStyle) {
    CConfigManager m;
    ASSERT_EQ(Load(m, 1), kStyleLoadOk);
    // Draw style 2 is the expressway fill.
    EXPECT_EQ(m.DrawStyles()[2].colour, kNightExpressway);
    ASSERT_EQ(m.LoadMapColor(0), 0);
    EXPECT_EQ(m.DrawStyles()[2].colour, kDayExpressway);
    EXPECT_EQ(m.ColourRefs()[0].colour, kDayLand);
    ASSERT_EQ(m.LoadMapColor(2), 0);
    EXPECT_EQ(m.DrawStyles()[2].colour, kContrastExpressway);
    // A mode past the palettes changes nothing.
    EXPECT_EQ(m.LoadMapColor(3), -1);
    EXPECT_EQ(m.LoadMapColor(-1), -1);
    EXPECT_EQ(m.DrawStyles()[2].colour, kContrastExpressway);
    EXPECT_EQ(m.CurrentMode(), 2);
}

TEST_F(DemoStyleFiles, PatternReferencesTakeTheirFixedColourOnlyAfterAModeSwitch) {
    CConfigManager m;
    ASSERT_EQ(Load(m, 0), kStyleLoadOk);
    const StyleColourRef& cemetery = m.ColourRefs()[13];   // kind 6, fixed colour 3
    const StyleColourRef& military = m.ColourRefs()[14];   // kind 6, fixed colour 5
    ASSERT_EQ(cemetery.kind, kColourRefPatternKind);
    EXPECT_EQ(cemetery.colour, 0xFFFFFFu);
    EXPECT_EQ(military.colour, 0xFFFFFFu);
    ASSERT_EQ(m.LoadMapColor(1), 0);
    EXPECT_EQ(cemetery.colour, 0x89C08Du);
    EXPECT_EQ(military.colour, 0xAF9B5Fu);
    EXPECT_EQ(m.ColourRefs()[0].colour, kNightLand);
}

TEST_F(DemoStyleFiles, DamagedStyleFilesAreRefusedWithTheirLoadCode) {
    using namespace styleload;
    struct Case {
        const char* what;
        size_t at;          // a header field
        int add;            // added to it
        int code;
    };
    // Each count one too large runs its section into the next one (the
    // writer lays them out back to back); a count that breaks the header's
    // own sums is refused as a wrong header.
    const Case cases[] = {
        {"modes", 12, 1, kVersion},
        {"colours per palette", 14, 1, kPaletteRead},
        {"draw styles", 16, 1, kDrawStyleRead},
        {"colour references", 18, 1, kColourRefRead},
        {"font names", 20, 1, kFontIndexRead},
        {"landmark styles", 22, 1, kLandmarkStyleRead},
        {"ranged classes", 24, 1, kRangedHeadRead},
        {"class styles", 26, 1, kClassHeadRead},
        {"symbol classes", 28, 1, kSymbolClassHeadRead},
        {"symbol map 16", 30, 1, kMap16Read},
        {"symbol map 14", 32, 1, kMap14Read},
        {"run of sections 15 and 19", 34, 1, kVersion},
        {"mode table rows", 36, 1, kModeTableRead},
        {"level table 1", 38, 1, kLevelRead},
        {"level table 2", 40, 1, kLevelRead},
        {"level table 3", 42, 1, kLevelRead},
        {"section 13", 44, 1, kSection13},
        {"section 14", 46, 1, kSection14},
        {"section 15, first group", 48, 1, kVersion},
        {"section 15, second group", 50, 1, kVersion},
        {"section 16", 56, 1, kSection16},
        {"section 17", 58, 1, kSection17},
        {"section 19", 60, 1, kVersion},
        {"section 18", 168, 1, kSection18},
        {"no modes", 12, -3, kVersion},
        {"no colours", 14, -34, kVersion},
        {"draw style offset into the header", 76, -1000000, kDrawStyleRead},
        {"palette offset past the end", 64, 1000000, kPaletteSeek},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> bad = style;
        if (c.at == 64 || c.at == 76) {
            const int64_t v = int64_t{U32(bad, c.at)} + c.add;
            Put32(bad, c.at, static_cast<uint32_t>(std::max<int64_t>(v, 8)));
        } else {
            Put16(bad, c.at, static_cast<uint16_t>(U16(bad, c.at) + c.add));
        }
        CConfigManager m;
        EXPECT_EQ(m.LoadConfigFromMemory(bad.data(), bad.size(), 0), c.code);
        EXPECT_FALSE(m.IsLoaded());
        EXPECT_TRUE(m.DrawStyles().empty());
    }
}

TEST_F(DemoStyleFiles, IndexesPastTheirTablesAreRefused) {
    using namespace styleload;
    const uint32_t drawStyles = Span(layout, "drawStyles").offset;
    const uint32_t colourRefs = Span(layout, "colourRefs").offset;
    const uint32_t rangedHeads = Span(layout, "rangedHeads").offset;
    const uint32_t classHeads = Span(layout, "classHeads").offset;
    const uint32_t symbolHeads = Span(layout, "symbolClassHeads").offset;
    struct Case {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> damage;
        int code;
    };
    const Case cases[] = {
        {"draw style colour past the palette", [&](auto& b) { Put16(b, drawStyles + 2, 34); }, kDrawStyleIndex},
        {"second colour of a dashed style past the palette",
         [&](auto& b) { Put16(b, drawStyles + 8 * 6 + 4, 40); }, kDrawStyleIndex},
        {"colour reference past the palette", [&](auto& b) { Put16(b, colourRefs + 2, 34); }, kColourRefIndex},
        {"items of a line class one further on", [&](auto& b) { Put32(b, rangedHeads + 8 + 4, U32(b, rangedHeads + 8 + 4) + 1); }, kRangedItemRead},
        {"first line class with one item too many", [&](auto& b) { b[rangedHeads + 3] += 1; }, kRangedItemRead},
        {"last line class with one item too many",
         [&](auto& b) { b[rangedHeads + 8 * (demostyle::kLineClassCount - 1) + 3] += 1; }, kRangedItemRead},
        {"first area class with one item too many", [&](auto& b) { b[classHeads + 12] += 1; }, kClassItemRead},
        {"last area class with one item too many",
         [&](auto& b) { b[classHeads + 20 * (demostyle::kAreaClassCount - 1) + 12] += 1; }, kClassItemRead},
        {"first POI class with one item too many", [&](auto& b) { b[symbolHeads + 6] += 1; }, kSymbolClassItemRead},
        {"last POI class with one item too many",
         [&](auto& b) { b[symbolHeads + 24 * (demostyle::kSymbolClassCount - 1) + 6] += 1; }, kSymbolClassItemRead},
        {"a mode without its row of the mode table", [&](auto& b) { Put16(b, 36, 2); }, -1},
        {"an image past the end", [&](auto& b) { Put32(b, Span(layout, "dir13").offset + 16, static_cast<uint32_t>(b.size())); }, kSection13},
        {"a font name without its end", [&](auto& b) { b.back() = 'x'; Put32(b, Span(layout, "fontIndex").offset + 4, static_cast<uint32_t>(b.size() - 1)); }, kFontNameRead},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> bad = style;
        c.damage(bad);
        CConfigManager m;
        if (c.code == -1) {
            // Rows for modes 0 and 1 only: mode 1 loads, mode 2 has no row.
            EXPECT_EQ(m.LoadConfigFromMemory(bad.data(), bad.size(), 1), kStyleLoadOk);
            EXPECT_EQ(m.LoadConfigFromMemory(bad.data(), bad.size(), 2), kModeTableRead);
        } else {
            EXPECT_EQ(m.LoadConfigFromMemory(bad.data(), bad.size(), 0), c.code);
        }
    }
}

TEST_F(DemoStyleFiles, TruncationAtEachSectionFailsThatSection) {
    // The sections in the order the loader reads them, with the codes of a
    // failed seek and a failed read.
    const std::vector<std::tuple<std::string, int, int>> loadOrder = {
        {"palette0", 7, 8},           {"palette1", 7, 8},          {"palette2", 7, 8},
        {"drawStyles", 9, 11},        {"colourRefs", 13, 15},      {"fontIndex", 17, 19},
        {"fontNames", 21, 22},        {"landmarkStyles", 23, 25},  {"rangedHeads", 26, 28},
        {"rangedItems", 30, 32},      {"classHeads", 33, 35},      {"classItems", 37, 39},
        {"symbolClassHeads", 40, 42}, {"symbolClassItems", 44, 46}, {"map16", 48, 49},
        {"map14", 50, 52},            {"modeTable", 47, 54},       {"levels", 56, 57},
        {"dir13", 71, 71},            {"images13", 71, 71},        {"dir16", 73, 73},
        {"images16", 73, 73},         {"dir14", 75, 75},           {"images14", 75, 75},
        {"dir15", 77, 77},            {"images15", 77, 77},        {"dir19", 79, 79},
        {"images19", 79, 79},         {"dir17", 81, 81},           {"images17", 81, 81},
        {"dir18", 83, 83},            {"images18", 83, 83}};
    std::map<std::string, SectionSpan> spans;
    for (const SectionSpan& s : layout) spans[s.name] = s;
    const uint32_t levelStart = spans["level1"].offset;
    spans["levels"] = {"levels", levelStart, spans["level3"].offset + spans["level3"].size - levelStart};
    for (const SectionSpan& cutIn : layout) {
        if (cutIn.size < 2 || cutIn.name == "header") continue;
        const uint32_t cut = cutIn.offset + cutIn.size / 2;
        // The first section read whose bytes the cut reaches.
        int expected = kStyleLoadOk;
        for (const auto& [name, seekCode, readCode] : loadOrder) {
            const SectionSpan& s = spans[name];
            if (s.size > 0 && s.offset + s.size > cut) {
                expected = s.offset >= cut ? seekCode : readCode;
                break;
            }
        }
        SCOPED_TRACE(cutIn.name);
        std::vector<uint8_t> bad(style.begin(), style.begin() + cut);
        CConfigManager m;
        EXPECT_EQ(m.LoadConfigFromMemory(bad.data(), bad.size(), 0), expected);
    }
    CConfigManager m;
    EXPECT_EQ(m.LoadConfigFromMemory(style.data(), 100, 0), styleload::kHeader);
}

TEST_F(DemoStyleFiles, FileLevelFailures) {
    using namespace styleload;
    {
        // Bad magic: refused even though format word A is 1.
        std::vector<uint8_t> bad = style;
        bad[0] = 'X';
        Write(bad, landmarks);
        CConfigManager m;
        EXPECT_EQ(Load(m), kVersion);
        ASSERT_FALSE(trace.lines.empty());
        EXPECT_EQ(trace.lines.back(), "Config 버전이 틀립니다.\n");
    }
    Write(style, landmarks);
    {
        CConfigManager m;
        EXPECT_EQ(Load(m, 3), kMode);
        EXPECT_EQ(Load(m, -1), kMode);
        ASSERT_FALSE(trace.lines.empty());
        EXPECT_EQ(trace.lines.back(), "지도표시 색상 모드 선택이 잘못되었습니다.\n");
    }
    {
        CConfigManager m;
        m.SetLandmarkPath(LandmarkPath());
        EXPECT_EQ(m.LoadConfig(dir.File("missing.cfg"), 0, 0), kOpen);
        m.SetLandmarkPath(dir.File("missing.dat"));
        EXPECT_EQ(m.LoadConfig(StylePath(), 0, 0), kLandmarkIndex);
        EXPECT_FALSE(m.IsLoaded());
        EXPECT_TRUE(m.Palette().empty());
    }
    // Damaged landmark files.
    const uint32_t records = Span(landmarkLayout, "records").offset;
    struct Case {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> damage;
    };
    const Case cases[] = {
        {"named count one too large", [](auto& b) { Put16(b, 12, static_cast<uint16_t>(U16(b, 12) + 1)); }},
        {"extra image count one too large", [](auto& b) { Put16(b, 14, static_cast<uint16_t>(U16(b, 14) + 1)); }},
        {"unnamed count one too large", [](auto& b) { Put16(b, 16, static_cast<uint16_t>(U16(b, 16) + 1)); }},
        {"image index past the image records", [&](auto& b) { Put16(b, records + 24, 4); }},
        {"image past the end", [&](auto& b) { Put32(b, Span(landmarkLayout, "imageRecords").offset + 16, static_cast<uint32_t>(b.size() - 10)); }},
        {"name offset past the end", [&](auto& b) { Put32(b, records + 28, static_cast<uint32_t>(b.size())); }},
        {"truncated in the records", [&](auto& b) { b.resize(records + 40); }},
        {"truncated header", [](auto& b) { b.resize(20); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> bad = landmarks;
        c.damage(bad);
        Write(style, bad);
        CConfigManager m;
        EXPECT_EQ(Load(m), kLandmarkIndex);
        EXPECT_EQ(m.LoadLandmarkIndexFromMemory(bad.data(), bad.size()), 0);
        EXPECT_EQ(m.LandmarkCount(), 0);
    }
}

TEST_F(DemoStyleFiles, KeyedSymbolsByIdAndByPosition) {
    CConfigManager m;
    ASSERT_EQ(Load(m), kStyleLoadOk);
    EXPECT_EQ(m.FindKeyedSymbol(demostyle::kKeyedSymbolIds[1], 0), 1);
    EXPECT_EQ(m.FindKeyedSymbol(0x1234, 0), -1);
    EXPECT_EQ(m.FindKeyedSymbol(1, 1), 2);   // the last entry
    EXPECT_EQ(m.FindKeyedSymbol(0, 1), 1);   // the second-last

    // A one-entry list has no second-last entry.
    stylewriter::StyleDesc one = demostyle::BuildDemoStyle();
    one.section18.resize(1);
    const std::vector<uint8_t> bytes = stylewriter::BuildStyleFile(one);
    CConfigManager n;
    ASSERT_EQ(n.LoadConfigFromMemory(bytes.data(), bytes.size(), 0), kStyleLoadOk);
    EXPECT_EQ(n.FindKeyedSymbol(0, 1), -1);
    EXPECT_EQ(n.KeyedSymbolEntry(0, 1), nullptr);
    EXPECT_EQ(n.GetKeyedSymbol(0, 1, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(n.FindKeyedSymbol(1, 1), 0);
}

TEST_F(DemoStyleFiles, SymbolMapsAndSectionBounds) {
    CConfigManager m;
    ASSERT_EQ(Load(m), kStyleLoadOk);
    EXPECT_EQ(m.SymbolMap16Target(3), 3);
    EXPECT_EQ(m.SymbolMap16Target(8), -1);          // 0xFFFF: none
    EXPECT_EQ(m.SymbolMap16Value(9), kSymbolMapNone);   // past the map
    EXPECT_EQ(m.SymbolMap14Target(63), 63);
    EXPECT_EQ(m.SymbolMap14Target(demostyle::kSection14Count), -1);   // past the plain entries
    EXPECT_EQ(m.SymbolMap14Value(demostyle::kSection14Count), 0);
    EXPECT_EQ(m.SymbolMap14SecondRun(1), 88);       // turn arrows
    EXPECT_EQ(m.SymbolMap14SecondRun(4), -1);
    EXPECT_EQ(m.SymbolMap14ThirdRun(17), 17);       // guidance arrows
    EXPECT_EQ(m.SymbolMap14ThirdRun(18), -1);
    // Section 15: four of each group; the second group ends at its own
    // table, not at the run section 19 shares with it.
    EXPECT_NE(m.Section15First(3), nullptr);
    EXPECT_EQ(m.Section15First(4), nullptr);
    EXPECT_NE(m.Section15Second(3), nullptr);
    EXPECT_EQ(m.Section15Second(4), nullptr);
    EXPECT_EQ(m.GetGroupSymbol(4, 1, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(m.GetSymbol(0, 1000, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 0);   // unknown base
    EXPECT_EQ(m.GetSymbol(demostyle::kSection14Count, kSymbolBase14, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 0);
    m.FreePatternData();
    EXPECT_EQ(m.Section17Count(), 0);
    EXPECT_EQ(m.Section19(0), nullptr);
}

TEST_F(DemoStyleFiles, ImagesWhoseRowsDoNotFitAreNotDescribed) {
    uint16_t attr[6] = {24, 24, 48, 16, 12, 12};
    const std::vector<uint8_t> bytes(24 * 48);
    MneBitmapDesc d;
    EXPECT_EQ(DescribeStyleImage(attr, bytes.data(), 24 * 48, 1, &d), 1);
    EXPECT_EQ(d.widthBytes, 48);
    EXPECT_EQ(DescribeStyleImage(attr, bytes.data(), 24 * 48 - 1, 1, &d), 0);   // one byte short
    attr[2] = 46;   // rows narrower than 24 pixels of 16 bits
    EXPECT_EQ(DescribeStyleImage(attr, bytes.data(), 24 * 48, 1, &d), 0);
    attr[2] = 48;
    attr[3] = 15;
    EXPECT_EQ(DescribeStyleImage(attr, bytes.data(), 24 * 48, 1, &d), 0);
}

TEST_F(DemoStyleFiles, LandmarkImagesThroughTheCacheAndTheSingleSlot) {
    const stylewriter::LandmarkDesc desc = demostyle::BuildDemoLandmarks();
    CConfigManager m;
    ASSERT_EQ(Load(m), kStyleLoadOk);
    MneBitmapDesc image;
    {
        StyleImageHold hold;
        ASSERT_EQ(m.GetLandmarkImage(2, &image, &hold), 1);
        EXPECT_EQ(image.planes, 0);   // through the cache
        EXPECT_EQ(image.width, 40);
        EXPECT_EQ(image.height, 48);
        EXPECT_EQ(0, std::memcmp(image.bits, desc.images[2].data.data(), desc.images[2].data.size()));
    }
    // The single slot reads the file once for the same landmark.
    ASSERT_EQ(m.ReadLandmarkImage(3, &image), 1);
    EXPECT_EQ(image.planes, 1);
    EXPECT_EQ(m.HeldLandmarkIndex(), 3);
    const void* held = image.bits;
    ASSERT_TRUE(platform::RemoveFile(LandmarkPath()));
    ASSERT_EQ(m.ReadLandmarkImage(3, &image), 1);   // served from the slot
    EXPECT_EQ(image.bits, held);
    EXPECT_EQ(m.ReadLandmarkImage(0, &image), 0);   // another landmark: the file is gone
    EXPECT_EQ(m.HeldLandmarkIndex(), -1);
    EXPECT_EQ(m.ReadLandmarkImage(4, &image), 0);   // past the landmarks
}

TEST_F(DemoStyleFiles, LandmarkStyleFields) {
    CConfigManager m;
    ASSERT_EQ(Load(m), kStyleLoadOk);
    // Style 1: fields at 4, 6, 8 are the label, bold and small fonts; the
    // colour triples name the text colour (palette slot 19).
    EXPECT_EQ(m.GetLandmarkField(1, 1), demostyle::kFontLabel);
    EXPECT_EQ(m.GetLandmarkField(1, 0), demostyle::kFontLabelBold);
    EXPECT_EQ(m.GetLandmarkField(1, 2), demostyle::kFontSmall);
    EXPECT_EQ(m.GetLandmarkField(99, 2), 0);
    EXPECT_EQ(m.GetLandmarkColourA(1, 0), 19u);
    EXPECT_EQ(m.GetLandmarkColourA(1, 3), 0xFFFFFFu);
    EXPECT_EQ(m.GetLandmarkColourA(99, 0), 0xFFFFFFu);
    EXPECT_EQ(m.GetLandmarkColourB(1, 1), 19u);
    EXPECT_EQ(m.GetLandmarkColourB(99, 1), 0u);
    EXPECT_FLOAT_EQ(CConfigManager::OpacityFromByte(4), 0.4f);
    EXPECT_FLOAT_EQ(CConfigManager::OpacityFromByte(200), 1.0f);
}

TEST(DemoStyleSwatchTest, SheetShowsTheThreeModes) {
    std::string error;
    const std::vector<uint8_t> png = demostyle::BuildSwatchPng(&error);
    ASSERT_FALSE(png.empty()) << error;
    EXPECT_EQ(std::vector<uint8_t>(png.begin(), png.begin() + 8),
              (std::vector<uint8_t>{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}));
    // IHDR: three panels of 300 x 560.
    EXPECT_EQ(std::string(png.begin() + 12, png.begin() + 16), "IHDR");
    EXPECT_EQ(png[18] << 8 | png[19], 900);
    EXPECT_EQ(png[22] << 8 | png[23], 560);
}
