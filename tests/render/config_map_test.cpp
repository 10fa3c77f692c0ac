// The map style objects on the demo style: colours per mode, class styles
// by level, symbols by class, fonts by face set and size class, levels of
// scales, and the small fixed tables.
#include "render/config_map.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "foundation/debug_trace.h"
#include "platform/codepage.h"
#include "platform/file_io.h"
#include "support/temp_dir.h"
#include "tools/writers/demo_style.h"
#include "tools/writers/font_writer.h"
#include "tools/writers/style_writer.h"

using namespace demostyle;

namespace {

// 0x00BBGGRR by hand from the demo style's colour table.
constexpr uint32_t kExpressway[3] = {0x3C9EFA, 0x2C80D6, 0x0078FF};
constexpr uint32_t kLand[3] = {0xE9EFF2, 0x322824, 0xFFFFFF};
constexpr uint32_t kWater[3] = {0xEECDA5, 0x52321A, 0xF5AF6E};

fontwriter::FontDesc VectorFont(const std::string& face) {
    fontwriter::FontDesc desc;
    desc.faceName = face;
    desc.height = 20;
    desc.width = 400;
    desc.descent = 4;
    fontwriter::OutlineBuilder outline;
    outline.Rect(1, -14, 11, 0);
    desc.glyphs.push_back({'A', 12, 20, outline.Data()});
    return desc;
}

class ConfigMapTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_level = GetDebugTraceLevel();
        SetDebugTraceLevel(3);   // the style's lines are level 3
        SetDebugTraceSink([this](std::string_view line) { trace.emplace_back(line); }, false);
        WriteStyle(BuildDemoStyle());
        ASSERT_TRUE(platform::AtomicReplaceFile(dir.File("LandMarkImage.dat"),
                                                stylewriter::BuildLandmarkFile(BuildDemoLandmarks())));
        std::filesystem::create_directories(dir.File("Font"));
        for (const char* face : {"FONT1", "FONT2", "FONT3", "FONT4", "FONT5"})
            ASSERT_TRUE(fontwriter::WriteFontFile(dir.File(std::string("Font/") + face), VectorFont(face)));
        ASSERT_EQ(SetVectorFontFolder(dir.Path() + "/"), 1);
        style.SetLandmarkPath(dir.File("LandMarkImage.dat"));
    }
    void TearDown() override {
        SetDebugTraceSink({});
        SetDebugTraceLevel(m_level);
    }
    void WriteStyle(const stylewriter::StyleDesc& desc) {
        ASSERT_TRUE(platform::AtomicReplaceFile(dir.File("PeloxSymbol.cfg"), stylewriter::BuildStyleFile(desc)));
    }
    int Init(int mode = 0, int faceSet = 0, int sizeClass = 1, int onDemand = 1) {
        return style.Initialize(dir.File("PeloxSymbol.cfg"), mode, faceSet, sizeClass, onDemand);
    }
    void AtLevel(int level) { style.SetScale(style.ScaleOfLevel(level)); }

    int m_level = 0;
    testsupport::TempDir dir;
    std::vector<std::string> trace;
    CConfigManager manager;
    NcConfigMap style{manager};
};

}  // namespace

TEST_F(ConfigMapTest, ColoursPerMode) {
    ASSERT_EQ(Init(0), 1);
    AtLevel(16);
    for (int mode = 0; mode < 3; ++mode) {
        SCOPED_TRACE(mode);
        ASSERT_EQ(style.SetColourMode(mode), 1);
        const StyleDrawStyle* pen = nullptr;
        ASSERT_EQ(style.GetRangedStyle(kLineExpressway, &pen), 1);
        EXPECT_EQ(pen->colour, kExpressway[mode]);
        EXPECT_EQ(pen->width, 8);
        EXPECT_EQ(style.GetBackgroundColour(0), kLand[mode]);
        const StyleColourRef* brush = nullptr;
        ASSERT_EQ(style.GetClassStyle(kAreaWater, nullptr, &brush, 0, 0), 1);
        EXPECT_EQ(brush->colour, kWater[mode]);
    }
    EXPECT_EQ(style.SetColourMode(3), 0);
    ASSERT_FALSE(trace.empty());
    EXPECT_EQ(trace.back(), "config Initialize LoadMapColor error: 3\n");
    EXPECT_EQ(style.GetBackgroundColour(1), 0xD0F2F5u);
    style.SetAlternateStyle(5);
    EXPECT_EQ(style.AlternateFlag(), 1);
    EXPECT_EQ(style.GetBackgroundColour(1), 0x9EBAB9u);
}

TEST_F(ConfigMapTest, StoredColourSettingsNeverGiveAModeOutsideTheRange) {
    struct Case {
        int colour, face, size;
        MapStyleSetup want;
    };
    const Case cases[] = {
        {1, 1, 2, {0, 0, 1}}, {3, 3, 3, {2, 2, 2}}, {0, 0, 0, {0, 0, 1}},   // a stored 0 stays mode 0
        {4, 4, 4, {0, 0, 1}}, {9, 1, 1, {0, 0, 0}}, {-5, 2, 1, {0, 1, 0}},   // above the three modes: the first
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.colour);
        const MapStyleSetup s = MapStyleSetupFromSettings(c.colour, c.face, c.size);
        EXPECT_EQ(s.colourMode, c.want.colourMode);
        EXPECT_EQ(s.faceSet, c.want.faceSet);
        EXPECT_EQ(s.sizeClass, c.want.sizeClass);
    }
}

TEST_F(ConfigMapTest, LevelOfScale) {
    ASSERT_EQ(Init(), 1);
    // The frame sets the scale of a level and must get that level back.
    for (int level = 0; level < 18; ++level) {
        SCOPED_TRACE(level);
        EXPECT_EQ(style.ScaleOfLevel(level), static_cast<int>(kLevelScales[level]));
        AtLevel(level);
        EXPECT_EQ(style.LevelIndex1(), level);
    }
    struct Case {
        int scale, level;
    };
    // Scales between the table's: the last level whose scale is still at
    // least the one asked for (10000, 5000, ... 50, 45, 40 ... 5).
    const Case cases[] = {{47, 9}, {45, 10}, {6, 16}, {1, 17}, {10001, 0}, {7000, 0}, {4000, 1}};
    for (const Case& c : cases) {
        style.SetScale(c.scale);
        EXPECT_EQ(style.LevelIndex1(), c.level) << c.scale;
    }
    EXPECT_EQ(style.ScaleOfLevel(-3), 10000);
    EXPECT_EQ(style.ScaleOfLevel(40), 5);
    EXPECT_EQ(NcConfigMap::StyleLevelOf(16), 14);
    EXPECT_EQ(NcConfigMap::StyleLevelOf(17), 14);
    EXPECT_EQ(NcConfigMap::StyleLevelOf(10), 10);
    EXPECT_EQ(NcConfigMap::StyleLevelOf(18), 0);
    EXPECT_DOUBLE_EQ(NcConfigMap::LevelDistance(0), 116736.0);
    EXPECT_DOUBLE_EQ(NcConfigMap::LevelDistance(18), 0.0);
    EXPECT_EQ(NcConfigMap::LevelStep(15), 18);
    EXPECT_EQ(NcConfigMap::LevelStep(-1), 0);
}

TEST_F(ConfigMapTest, ClassStylesFollowTheLevel) {
    ASSERT_EQ(Init(), 1);
    const StyleDrawStyle* pen = nullptr;
    // The expressway is thin while zoomed out (style level 8 and below).
    AtLevel(7);   // style level 8
    ASSERT_EQ(style.GetRangedStyle(kLineExpressway, &pen), 1);
    EXPECT_EQ(pen->width, 4);
    AtLevel(8);   // style level 9
    ASSERT_EQ(style.GetRangedStyle(kLineExpressway, &pen), 1);
    EXPECT_EQ(pen->width, 8);
    EXPECT_EQ(style.GetRangedLevel(kLineStreet), 8);
    EXPECT_EQ(style.GetRangedLevel(kLineClassCount), 18);   // no such class: the table's size
    EXPECT_EQ(style.GetRangedStyle(kLineClassCount, &pen), 0);
    // The railway is a two-colour (dashed) style.
    ASSERT_EQ(style.GetRangedStyle(kLineRailway, &pen), 1);
    EXPECT_EQ(pen->kind, 1);
    EXPECT_EQ(pen->secondColour, 0xFFFFFFu);

    // Areas: buildings have a pen and a roof brush, and walls through the
    // second set of style words; water has no pen.
    AtLevel(16);
    const StyleColourRef* brush = nullptr;
    const StyleColourRef* wall = nullptr;
    ASSERT_EQ(style.GetClassStyle(kAreaBuilding, &pen, &brush, 0, 0), 1);
    ASSERT_NE(pen, nullptr);
    ASSERT_NE(brush, nullptr);
    EXPECT_EQ(brush->colour, 0xC2CCD6u);   // 214, 204, 194
    ASSERT_EQ(style.GetClassStyle3(kAreaBuilding, &pen, &brush, &wall), 1);
    ASSERT_NE(wall, nullptr);
    EXPECT_EQ(wall->colour, 0xA0ACBAu);    // 186, 172, 160
    ASSERT_EQ(style.GetClassStyle(kAreaWater, &pen, &brush, 0, 0), 1);
    EXPECT_EQ(pen, nullptr);
    EXPECT_EQ(style.GetClassLevel(kAreaBuilding), 11);
    uint16_t kindCode = 0, flags = 0;
    ASSERT_EQ(style.GetClassValues(kAreaPark, &kindCode, &flags), 1);
    EXPECT_EQ(kindCode, 11);
    // Below a class's range no kind-1 item applies and the class has no
    // style, unless any level is asked for.
    AtLevel(5);   // style level 6
    EXPECT_EQ(style.GetClassStyle(kAreaBuilding, &pen, &brush, 0, 0), 0);
    EXPECT_EQ(style.GetClassStyle(kAreaBuilding, &pen, &brush, 0, 1), 1);
    // Pattern areas: kind-6 brush, and its brush through the palette.
    ASSERT_EQ(style.GetClassStyle(kAreaCemetery, &pen, &brush, 0, 1), 1);
    EXPECT_EQ(brush->kind, kColourRefPatternKind);
    ASSERT_EQ(style.PatternBrushCount(), 4);
    const EglPattern565* hatch = style.GetPatternBrush(kPatternHatchIndex, 0);
    const EglPattern565* hatchAlt = style.GetPatternBrush(kPatternHatchIndex, 1);
    ASSERT_NE(hatch, nullptr);
    ASSERT_NE(hatchAlt, nullptr);
    EXPECT_NE(hatch, hatchAlt);
    EXPECT_EQ(hatch->Width(), 8);
    EXPECT_EQ(style.GetPatternBrush(34, 0), nullptr);   // past the palette
    EXPECT_EQ(style.GetPatternBrush(1, 0), nullptr);   // slot 1 holds the land colour, not a brush number
}

TEST_F(ConfigMapTest, SymbolByClass) {
    const stylewriter::StyleDesc desc = BuildDemoStyle();
    for (int onDemand = 0; onDemand < 2; ++onDemand) {
        SCOPED_TRACE(onDemand);
        ASSERT_EQ(Init(0, 0, 1, onDemand), 1);
        AtLevel(16);
        for (int poi = 0; poi < kPoiClassCount; ++poi) {
            StyleSymbol s;
            ASSERT_EQ(style.GetSymbolClassSymbol(poi, &s), 1);
            const std::vector<uint8_t>& want = desc.section13[static_cast<size_t>(kFirstPoiSymbol + poi)].data;
            EXPECT_EQ(s.image.width, 24);
            EXPECT_EQ(0, std::memcmp(s.image.bits, want.data(), want.size())) << poi;
            // Outside the disc the symbol is magenta, the transparent colour.
            const auto* corner = static_cast<const uint8_t*>(s.image.bits);
            EXPECT_EQ(corner[0] | corner[1] << 8, 0xF81F);
        }
        // Style level 6 shows the standard dot (section-13 symbol 1).
        AtLevel(5);
        StyleSymbol dot;
        ASSERT_EQ(style.GetSymbolClassSymbol(kPoiBank, &dot), 1);
        EXPECT_EQ(dot.image.width, 10);
        EXPECT_EQ(0, std::memcmp(dot.image.bits, desc.section13[1].data.data(), desc.section13[1].data.size()));
        EXPECT_EQ(style.GetSymbolClassSymbol(kPoiClassCount, &dot), 0);
        SymbolClassAttributes attr;
        int visible = -1;
        ASSERT_EQ(style.GetSymbolClassAttributes(kPoiHotel, &attr, &visible), 1);
        EXPECT_EQ(attr.symbolIndex, kFirstPoiSymbol + kPoiHotel);
        EXPECT_EQ(attr.headAttribute, 1u << kPoiHotel);
        EXPECT_EQ(attr.itemByte10, kTextPoi);
        EXPECT_EQ(visible, 0);
        style.SetDrawOptions(1, 1, 0, 1);
        ASSERT_EQ(style.GetSymbolClassAttributes(kPoiHotel, &attr, &visible), 1);
        EXPECT_EQ(visible, 1);
        style.SetDrawOptions(1, 1, 0, 0);
        EXPECT_EQ(style.GetSymbolClassFlags(kPoiHotel), -1);   // variant 1
        style.SetDrawOptions(3, 1, 0, 0);
        EXPECT_EQ(style.GetSymbolClassFlags(kPoiHotel), static_cast<int32_t>(0xFFFFFFDF));   // no marks
        style.SetDrawOptions(1, 1, 0, 0);
    }
}

TEST_F(ConfigMapTest, SignTurnAndGuideSymbols) {
    struct Case {
        int type, value, index;
    };
    const Case cases[] = {
        {0, 25, -1}, {0, 30, 42}, {0, 130, 52}, {0, 131, -1}, {0, 140, -1}, {1, 140, -1}, {1, 130, 30},
        {2, 130, 63}, {3, 50, 33}, {7, 0, 17},  {4, 0, 64},   {12, 0, 92},  {14, 0, 65},  {30, 0, 105},
        {31, 0, -1},  {1, -10, -1}};
    for (const Case& c : cases)
        EXPECT_EQ(NcConfigMap::SignSymbolIndex(c.type, c.value), c.index) << c.type << " " << c.value;
    EXPECT_EQ(NcConfigMap::TurnSymbolIndex(4), 89);
    EXPECT_EQ(NcConfigMap::TurnSymbolIndex(3), -1);
    EXPECT_EQ(NcConfigMap::GuideSymbolIndex(82), 82);
    EXPECT_EQ(NcConfigMap::GuideSymbolIndex(18), -1);

    ASSERT_EQ(Init(), 1);
    StyleSymbol sign;
    ASSERT_EQ(style.GetSignSymbol(0, 60, &sign), 1);   // the 60 km/h sign, section-14 symbol 45
    EXPECT_EQ(sign.image.width, 28);
    EXPECT_EQ(sign.hold.Holds(), true);   // on demand: referenced until the blit is done
    EXPECT_EQ(style.GetSignSymbol(0, 25, &sign), 0);
    StyleSymbol car, carAlt;
    ASSERT_EQ(style.GetAlternateSymbol(&car), 1);
    style.SetAlternateStyle(1);
    ASSERT_EQ(style.GetAlternateSymbol(&carAlt), 1);
    EXPECT_NE(0, std::memcmp(car.image.bits, carAlt.image.bits, 28 * 28));
    StyleSymbol theme;
    EXPECT_EQ(style.GetMap16Symbol(2, &theme), 1);
    EXPECT_EQ(style.GetMap16Symbol(8, &theme), 0);
    EXPECT_EQ(style.GetMap14SecondRunSymbol(0, &theme), 1);
}

TEST_F(ConfigMapTest, FontsByFaceSetAndSizeClass) {
    ASSERT_EQ(Init(0, 0, 1), 1);
    ASSERT_EQ(style.FontCount(), 4);
    // Size 30 takes the face set's base height; other sizes lose the
    // height offset of the face set and size class.
    struct Case {
        int faceSet, sizeClass, font, height, weight;
        const char* face;
    };
    const Case cases[] = {
        {0, 1, kFontLabel, 30, 400, "FONT1"},   {0, 1, kFontLabelBold, 30, 700, "FONT1"},
        {0, 1, kFontSmall, 24, 400, "FONT1"},   {0, 0, kFontSmall, 28, 400, "FONT1"},
        {1, 2, kFontLabel, 28, 400, "FONT2"},   {1, 2, kFontTiny, 14, 400, "FONT2"},
        {3, 0, kFontSmall, 25, 400, "FONT4"},   {4, 2, kFontTiny, 16, 400, "FONT5"},
        {4, 2, kFontLabel, 22, 400, "FONT5"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.faceSet) + "/" + std::to_string(c.sizeClass) + "/" + std::to_string(c.font));
        style.CreateFonts(c.faceSet, c.sizeClass);
        CMneVectorFont* font = style.GetFont(c.font);
        ASSERT_NE(font, nullptr);
        EXPECT_TRUE(font->HasFile());
        EXPECT_EQ(font->Height(), c.height);
        EXPECT_EQ(font->Width(), c.weight);
        EXPECT_STREQ(font->FaceName(), c.face);
    }
    // Size classes beyond the three of the table create nothing (they
    // would read the next face set's values).
    style.CreateFonts(0, 3);
    EXPECT_EQ(style.FontCount(), 0);
    EXPECT_EQ(style.GetFont(0), nullptr);
    style.CreateFonts(7, 1);
    EXPECT_EQ(style.FontCount(), 0);
}

TEST_F(ConfigMapTest, GulimRecordsSwitchFace) {
    stylewriter::StyleDesc desc = BuildDemoStyle();
    std::string gulim;
    ASSERT_TRUE(platform::Utf16ToCp949(u"굴림", gulim));
    desc.fontNames = {{20, 7, gulim}, {30, 7, gulim}};
    WriteStyle(desc);
    ASSERT_EQ(Init(0, 2, 1), 1);
    // Face set 2: face "FONT3" of face set 6, weight lowered by 300, height
    // 20 - (-4).
    CMneVectorFont* font = style.GetFont(0);
    ASSERT_NE(font, nullptr);
    EXPECT_STREQ(font->FaceName(), "FONT3");
    EXPECT_EQ(font->Width(), 400);
    EXPECT_EQ(font->Height(), 24);
    // Size 30 in face set 6 has base height 0.
    EXPECT_EQ(style.GetFont(1)->Height(), 0);
    // Face sets 0 and 4 ask for the bitmap font "FONT5" instead, which this
    // folder lacks: each font is traced and left empty.
    style.CreateFonts(0, 1);
    ASSERT_EQ(style.FontCount(), 2);
    EXPECT_FALSE(style.GetFont(0)->HasFile());
    EXPECT_FALSE(style.GetFont(1)->HasFile());
    EXPECT_NE(std::find(trace.begin(), trace.end(), "create Font fail font index : 1\n"), trace.end());
    // Face set 1 uses face set 5's values and name.
    style.CreateFonts(1, 1);
    EXPECT_STREQ(style.GetFont(0)->FaceName(), "FONT2");
    EXPECT_EQ(style.GetFont(0)->Height(), 24);   // 20 - (-4)
    EXPECT_EQ(style.GetFont(0)->Width(), 700);
}

TEST_F(ConfigMapTest, LandmarksAndTheirStyles) {
    ASSERT_EQ(Init(0), 1);
    StyleLandmark record;
    ASSERT_EQ(style.GetLandmarkRecord(1, &record), 1);
    EXPECT_EQ(style.GetLandmarkRecord(4, &record), 0);
    uint32_t colour = 0;
    int styleIndex = 0;
    ASSERT_EQ(style.GetLandmarkColour(1, 0, &colour, &styleIndex), 1);
    EXPECT_EQ(styleIndex, 2);
    EXPECT_EQ(colour, 0x282828u);   // the text colour 40, 40, 40
    EXPECT_EQ(style.GetLandmarkColour(1, 3, &colour, &styleIndex), 0);
    uint32_t halo = 0, edge = 0;
    style.GetLandmarkExtraColours(1, &halo, &edge);
    EXPECT_EQ(halo, 0xFFFFFFu);
    EXPECT_EQ(edge, 0xA876A8u);   // 168, 118, 168
    style.GetLandmarkExtraColours(99, &halo, &edge);
    EXPECT_EQ(halo, 0xFFFFFFu);
    style.SetAlternateStyle(1);
    style.GetLandmarkExtraColours(99, &halo, &edge);
    EXPECT_EQ(halo, 0u);
    EXPECT_FLOAT_EQ(style.GetLandmarkOpacity(1), 1.0f);
    // The landmark font: style 1's draw-type-0 value names the font.
    EXPECT_EQ(style.GetLandmarkFont(1, 0, 2, 0), style.GetFont(19));   // value 19: no such font
    EXPECT_EQ(style.GetLandmarkFont(0, 0, 0, 1), nullptr);
    EXPECT_EQ(style.GetLandmarkFont(1, 0, 3, 0), nullptr);
    EXPECT_EQ(style.GetLandmarkFont(1, 0, 0, 7), style.GetFont(0));

    StyleSymbol named, unnamed;
    ASSERT_EQ(style.GetNamedLandmarkImage(0, &named), 1);
    EXPECT_EQ(named.a, 48);   // attribute 1
    EXPECT_EQ(named.b, 40);   // attribute 0
    EXPECT_EQ(named.c, 20);
    EXPECT_EQ(named.d, 24);
    EXPECT_TRUE(named.hold.Holds());
    ASSERT_EQ(style.GetUnnamedLandmarkImage(0, &unnamed), 1);
    EXPECT_EQ(unnamed.image.planes, 1);
    EXPECT_EQ(style.GetUnnamedLandmarkImage(1, &unnamed), 0);
}

TEST_F(ConfigMapTest, SmallTables) {
    EXPECT_EQ(NcConfigMap::GetSymbolKind(0, 15, 1), 12);
    EXPECT_EQ(NcConfigMap::GetSymbolKind(2, 7, 1), 5);
    EXPECT_EQ(NcConfigMap::GetSymbolKind(3, 2, 1), 11);
    EXPECT_EQ(NcConfigMap::GetSymbolKind(9, 3, 1), 2);
    EXPECT_EQ(NcConfigMap::GetSymbolKind(0, 7, 0), 19);
    EXPECT_EQ(NcConfigMap::GetSymbolKind(2, 4, 0), 6);
    EXPECT_EQ(NcConfigMap::GetSymbolKind(3, 0, 0), 11);
    EXPECT_EQ(NcConfigMap::GetSymbolKind(1, -1, 0), 0);
    int a = 0, b = 0;
    NcConfigMap::GetTrafficLineParams(1, 1, &a, &b);
    EXPECT_EQ(a * 10 + b, 135);
    NcConfigMap::GetTrafficLineParams(3, 0, &a, &b);
    EXPECT_EQ(a * 10 + b, 31);
    NcConfigMap::GetTrafficLineParams(3, 1, &a, &b);
    EXPECT_EQ(a * 10 + b, 73);
    EXPECT_EQ(NcConfigMap::FlagToIndex(0x18), 4);
    EXPECT_EQ(NcConfigMap::FlagToIndex(0x20), 0);
    EXPECT_EQ(NcConfigMap::PriorityToIndex(0x201), 1);
    EXPECT_EQ(NcConfigMap::PriorityToIndex(0x8), 3);
    EXPECT_EQ(NcConfigMap::PriorityToIndex(0x10), 0);
    EXPECT_EQ(NcConfigMap::PriorityToIndex(0), -1);

    ASSERT_EQ(Init(), 1);
    uint32_t c[6];
    ASSERT_EQ(style.GetRouteColours(c, 1, 0, 0), 1);
    EXPECT_EQ(c[0], 0x7878FFu);   // entry 1
    EXPECT_EQ(c[1], 0xF0FEEu);    // entry 7
    EXPECT_EQ(c[2], 0x63673Au);   // entry 25
    EXPECT_EQ(c[5], 0xA89706u);   // entry 37
    ASSERT_EQ(style.GetRouteColours(c, 0, 1, 0), 1);
    EXPECT_EQ(c[2], 0xF0098u);    // entry 45
    EXPECT_EQ(c[4], 0x240CFFu);   // entry 47
    EXPECT_EQ(style.GetRouteColours(c, 6, 0, 0), 0);
}

TEST_F(ConfigMapTest, FailedLoadLeavesNothing) {
    ASSERT_TRUE(platform::AtomicReplaceFile(dir.File("PeloxSymbol.cfg"), std::string("MNCF")));
    EXPECT_EQ(Init(), 0);
    ASSERT_FALSE(trace.empty());
    EXPECT_EQ(trace.back(), "config Initialize LoadConfig error: 2\n");
    EXPECT_EQ(style.FontCount(), 0);
    EXPECT_FALSE(manager.IsLoaded());
}
