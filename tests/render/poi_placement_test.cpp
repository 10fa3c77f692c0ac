// POI and lot-number placement: the rules (lot-number forms, text boxes by
// position code, spacing, the placement window), frames of the demo
// district with labels against golden images, and properties of whole
// frames on the demo district and a synthetic city: published label boxes
// never overlap, a pick at a placed theme symbol finds it, the same request
// draws the same picture, and a long run of random requests stops growing
// its memory.
#include "render/poi_placement.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>
#include <random>
#include <unistd.h>

#include "foundation/memory_heap.h"
#include "platform/codepage.h"
#include "platform/file_io.h"
#include "render/draw_map.h"
#include "render/marker_lists.h"
#include "render/module_draw.h"
#include "render/overlay_passes.h"
#include "render/pass_geometry.h"
#include "settings/module_draw.h"
#include "support/source_dir.h"
#include "tools/writers/demo_labels.h"
#include "tools/writers/demo_style.h"
#include "tools/writers/layer_writer.h"
#include "tools/writers/map_container_writer.h"
#include "tools/writers/style_writer.h"
#include "tools/writers/synthetic_city.h"
#include "uikit/golden_png.h"

namespace {

// ---- Rules ------------------------------------------------------------------------------

std::string Utf8(const std::string& cp949) {
    std::u16string wide;
    platform::Cp949ToUtf16(cp949, wide);
    return platform::Utf16ToUtf8(wide);
}

TEST(PoiPlacementRulesTest, LotNumbersTakeTheirFourForms) {
    const struct {
        int16_t main, sub;
        const char* text;
    } cases[] = {
        {0x4005, 0x4002, "산5-2"}, {0x4005, 0x0002, "산5"}, {0x0005, 0x4002, "5-2"}, {0x0005, 0x0002, "5"},
        // Only flag value 1 (bit 14 set, bit 15 clear) counts; the number is bits 0-11.
        {static_cast<int16_t>(0xC005), 0x4002, "5-2"}, {0x4FFF, static_cast<int16_t>(0x8003), "산4095"},
        {0x1234, 0, "564"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(Utf8(MneFormatLotNumber(c.main, c.sub)), c.text);
    }
}

TEST(PoiPlacementRulesTest, TextBoxesFollowThePositionCode) {
    const ScreenPoint a{100, 50};
    const int32_t w = 40, h = 15, symbolBottom = 60;
    const struct {
        int code;
        ScreenRect box;
    } cases[] = {
        {1, {80, 27, 120, 42}},    // above: y - h/2 - h - 1
        {2, {80, 60, 120, 75}},    // under the symbol
        {7, {80, 60, 120, 75}},
        {11, {80, 46, 120, 61}},   // y - h/2 + 3
        {13, {72, 28, 104, 43}},   // 8 to the left, 8 narrower
        {3, {80, 43, 120, 58}},    // centred
        {9, {80, 43, 120, 58}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        ScreenRect box;
        ASSERT_TRUE(MneTextBoxOfCode(c.code, a, w, h, symbolBottom, &box));
        EXPECT_EQ(box, c.box);
    }
    ScreenRect box;
    EXPECT_FALSE(MneTextBoxOfCode(0, a, w, h, symbolBottom, &box)) << "code 0 gives no box";
    EXPECT_FALSE(MneTextBoxOfCode(8, a, w, h, symbolBottom, &box)) << "code 8 gives no box";
}

TEST(PoiPlacementRulesTest, SpacingWindowKindsAndChosenCategories) {
    EXPECT_EQ(MneLabelSpacing(1), -4);
    EXPECT_EQ(MneLabelSpacing(2), 0);
    EXPECT_EQ(MneLabelSpacing(3), 20);
    EXPECT_EQ(MneLabelSpacing(0), 0);
    EXPECT_EQ(MneLabelSpacing(7), 0);
    EXPECT_EQ(MneWidenBySpacing({10, 10, 50, 30}, 20), (ScreenRect{-10, 0, 70, 40}));
    EXPECT_EQ(MneWidenBySpacing({10, 10, 50, 30}, -4), (ScreenRect{14, 12, 46, 28}));
    // Two names 30 pixels apart collide at spacing 20: each box tested 20 wider.
    const ScreenRect a = MneWidenBySpacing({0, 0, 40, 15}, 20), b = MneWidenBySpacing({70, 0, 110, 15}, 20);
    EXPECT_LE(b.left, a.right);

    const ScreenRect w = MnePlacementWindow(800, 480, 0, 0);
    EXPECT_EQ(w, (ScreenRect{-400, -240, 1200, 720}));
    EXPECT_FALSE(MneStrictlyInside(w, {-400, 0})) << "the border is outside";
    EXPECT_TRUE(MneStrictlyInside(w, {-399, 0}));
    EXPECT_FALSE(MneStrictlyInside(w, {0, 720}));
    EXPECT_EQ(MnePlacementWindow(800, 480, 1, 60).top, 90) << "bird's-eye: 1.5 times the horizon";

    const int kinds[][2] = {{1, 1}, {5, 1}, {9, 1}, {2, 2}, {4, 2}, {3, 0}, {0, -1}, {6, -1}, {8, -1}};
    for (const auto& k : kinds) EXPECT_EQ(MnePlacementKindOfSymbol(k[0]), k[1]) << k[0];

    EXPECT_EQ(MneIsChosenCategory(104, {0, 101, 104}), 1);
    EXPECT_EQ(MneIsChosenCategory(105, {0, 101, 104}), 0);
    EXPECT_EQ(MneIsChosenCategory(0, {0, 101}), 0) << "code 0 is never chosen";
    EXPECT_EQ(MneIsChosenCategory(101, {}), 0);
}

TEST(PoiPlacementRulesTest, DrawnKindAndBoxPointer) {
    tagMODULEDRAWPOICACHE r{};
    r.kind = kPlaceTextOnly;
    r.textRect = {10, 20, 60, 35};
    // Normal spacing: the placed kind. Tight spacing: the class's symbol kind
    // (1, 5, 9 text; 2, 4 both; 3 symbol), the placed kind for other kinds.
    const int cases[][3] = {{2, 2, kPlaceTextOnly}, {2, 1, kPlaceTextOnly},   {2, 5, kPlaceTextOnly},
                            {1, 2, kPlaceSymbolAndText}, {1, 4, kPlaceSymbolAndText}, {1, 3, kPlaceSymbolOnly},
                            {1, 9, kPlaceTextOnly}, {1, 7, kPlaceTextOnly}};
    for (const auto& c : cases) EXPECT_EQ(MneDrawnPlacementKind(r, c[1], c[0]), c[2]) << c[0] << " " << c[1];
    // No text box: a symbol.
    r.textRect = {};
    EXPECT_EQ(MneDrawnPlacementKind(r, 2, 1), kPlaceSymbolOnly);
    EXPECT_EQ(MneDrawnPlacementKind(r, 2, 2), kPlaceTextOnly);

    // The pointer 3 pixels below the box, at its left plus half its width
    // less 5, each plus the symbol's offsets.
    StyleSymbol pointer;
    ScreenPoint p = MneBoxPointerCorner({100, 40, 161, 60}, pointer);
    EXPECT_EQ(p.x, 125);
    EXPECT_EQ(p.y, 63);
    pointer.c = 2, pointer.d = -1;
    p = MneBoxPointerCorner({100, 40, 161, 60}, pointer);
    EXPECT_EQ(p.x, 127);
    EXPECT_EQ(p.y, 62);
}

// ---- Whole frames -----------------------------------------------------------------------

std::filesystem::path TempRoot(const char* name) {
    return std::filesystem::temp_directory_path() / ("navi_labels_" + std::to_string(::getpid()) + "_" + name);
}

// A renderer drawing synchronously with the geometry and label passes.
struct Renderer {
    MneFixedDrawInputs inputs;
    MneDrawPublication publication;
    CMgrCriticalSection lock;
    CMneDrawMap map{&inputs, &publication, &lock};

    Renderer(const std::string& root, int32_t width, int32_t height, const MneDrawInputs& in = Defaults()) {
        inputs.Set(in);
        MneDrawInit init;
        init.width = width;
        init.height = height;
        init.dataRoot = root;
        ok = map.Initialize(init) == 1;
        InstallGeometryPasses(map);
        InstallLabelPasses(map);
    }
    static MneDrawInputs Defaults() {
        MneDrawInputs in;
        in.themeSwitches = 0x1F;
        return in;
    }
    bool Draw(MneDrawRequest request) { return map.DrawFrame(request) == 1; }
    bool ok = false;
};

MapPoint Deg(double lon, double lat) {
    return {static_cast<int32_t>(std::lround(lon * kMapUnitsPerDegree)),
            static_cast<int32_t>(std::lround(lat * kMapUnitsPerDegree))};
}

MneDrawRequest Request(double lon, double lat, int step, int32_t width = 800, int32_t height = 480) {
    MneDrawRequest r;
    r.scaleStep = static_cast<uint16_t>(step);
    r.viewWidth = static_cast<uint16_t>(width);
    r.viewHeight = static_cast<uint16_t>(height);
    r.northUp = 1;
    r.centreMode = 1;
    r.centre = Deg(lon, lat);
    r.carPosition = r.centre;
    return r;
}

// Published text and symbol boxes of every indexed record of the three POI
// caches, as closed rectangles, never meet (always-placed records are not
// tested against, so they are left out). Returns the records checked.
int ExpectNoOverlap(const MneDrawPublication::Screen& screen) {
    // Each cache is tested on its own during placement, so records of the
    // same cache are compared.
    // Landmarks are placed first and without a test, so two of them may
    // meet; every POI is tested against them.
    int checked = 0;
    for (const auto& cache : screen.poi) {
        if (!cache) continue;
        std::vector<std::pair<ScreenRect, bool>> placed;   // box, of a landmark
        for (int32_t i = 0; i < cache->Count(); ++i) {
            const tagMODULEDRAWPOICACHE& r = cache->At(i);
            if (r.notIndexed) continue;
            ++checked;
            const bool landmark = r.groupType == kMneLandmarkGroupType;
            const ScreenRect* mine[2] = {r.kind != kPlaceTextOnly ? &r.symbolRect : nullptr,
                                         r.kind != kPlaceSymbolOnly ? &r.textRect : nullptr};
            for (const ScreenRect* m : mine) {
                if (!m) continue;
                for (const auto& [o, otherLandmark] : placed) {
                    if (landmark && otherLandmark) continue;
                    const bool meet = m->left <= o.right && o.left <= m->right && m->top <= o.bottom && o.top <= m->bottom;
                    EXPECT_FALSE(meet) << "record " << i << " at (" << m->left << "," << m->top << ")";
                }
            }
            for (const ScreenRect* m : mine)
                if (m) placed.emplace_back(*m, landmark);
        }
    }
    return checked;
}

std::vector<uint8_t> Rgb(const DibImage565& image) {
    std::vector<uint8_t> rgb;
    rgb.reserve(static_cast<size_t>(image.Width()) * image.Height() * 3);
    for (int32_t y = 0; y < image.Height(); ++y)
        for (int32_t x = 0; x < image.Width(); ++x) {
            const uint32_t c = ColorFromRgb565(image.Pixel(x, y));
            rgb.push_back(c & 0xFF), rgb.push_back((c >> 8) & 0xFF), rgb.push_back((c >> 16) & 0xFF);
        }
    return rgb;
}

// Golden "tests/render/golden/<name>.png": at most 0.5 % of the pixels may
// differ by more than 8 in a channel. NAVI_UPDATE_GOLDEN=1 rewrites it;
// a mismatch leaves <name>.actual.png in the working folder.
void ExpectGolden(const DibImage565& image, const std::string& name) {
    const std::vector<uint8_t> rgb = Rgb(image);
    const std::vector<uint8_t> png = demostyle::EncodePngRgb(rgb.data(), image.Width(), image.Height());
    const std::string relative = "tests/render/golden/" + name + ".png";
    if (const char* update = std::getenv("NAVI_UPDATE_GOLDEN"); update && std::string(update) == "1") {
        const char* source = std::getenv("NAVI_SOURCE_DIR");
        ASSERT_NE(source, nullptr);
        ASSERT_TRUE(platform::AtomicReplaceFile(std::string(source) + "/" + relative, png));
    }
    const std::string path = testsupport::SourceFile(relative);
    std::vector<uint8_t> file;
    uitest::Rgb8Image golden;
    ASSERT_FALSE(path.empty()) << relative;
    ASSERT_TRUE(platform::ReadWholeFile(path, file));
    ASSERT_TRUE(uitest::DecodePng(file, golden));
    ASSERT_EQ(golden.width, image.Width());
    ASSERT_EQ(golden.height, image.Height());
    size_t off = 0;
    for (size_t i = 0; i < rgb.size(); i += 3) {
        bool bad = false;
        for (int c = 0; c < 3; ++c) bad |= std::abs(int(rgb[i + c]) - int(golden.rgb[i + c])) > 8;
        off += bad;
    }
    EXPECT_LE(off * 200, static_cast<size_t>(image.Width()) * image.Height()) << name << ": " << off << " pixels differ";
    if (off * 200 > static_cast<size_t>(image.Width()) * image.Height())
        platform::AtomicReplaceFile(name + ".actual.png", png);
}

class DemoLabelsTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        s_root = TempRoot("demo").string();
        std::filesystem::remove_all(s_root);
        std::filesystem::create_directories(s_root + "/Map");
        std::filesystem::create_directories(s_root + "/Config");
        std::string error;
        s_ready = demostyle::WriteDemoStyle(s_root, &error) && writers::WriteDemoLayers(s_root, &error) &&
                  writers::WriteMapFont(s_root, &error);
        if (!s_ready) ADD_FAILURE() << error;
    }
    static void TearDownTestSuite() { std::filesystem::remove_all(s_root); }
    void SetUp() override { ASSERT_TRUE(s_ready); }

    static std::string s_root;
    static bool s_ready;
};
std::string DemoLabelsTest::s_root;
bool DemoLabelsTest::s_ready = false;

TEST_F(DemoLabelsTest, LabelsAtThreeScalesAndALotNumberMatchTheGoldens) {
    const struct {
        const char* name;
        double lon, lat;
        int step;
    } frames[] = {
        {"labels_step7", 127.02, 37.516, 7},
        {"labels_step8", 127.02, 37.516, 8},
        {"labels_step10", 127.0215, 37.5135, 10},
        {"labels_lot_number", 127.0024, 37.5013, 13},
    };
    Renderer r(s_root, 800, 480);
    ASSERT_TRUE(r.ok);
    for (const auto& f : frames) {
        SCOPED_TRACE(f.name);
        ASSERT_TRUE(r.Draw(Request(f.lon, f.lat, f.step)));
        ExpectGolden(r.map.Picture(), f.name);
        ExpectNoOverlap(r.publication.screens[0]);
        int placed = 0;
        for (const auto& cache : r.publication.screens[0].poi) placed += cache->Count();
        EXPECT_GT(placed, 0);
    }
}

TEST_F(DemoLabelsTest, PlacementIsRepeatableAndPicksFindThemeSymbols) {
    Renderer r(s_root, 800, 480);
    ASSERT_TRUE(r.ok);
    const MneDrawRequest request = Request(127.02, 37.516, 8);
    ASSERT_TRUE(r.Draw(request));
    const std::vector<uint8_t> first = Rgb(r.map.Picture());
    // Another view between, then the same request again.
    ASSERT_TRUE(r.Draw(Request(127.01, 37.51, 9)));
    ASSERT_TRUE(r.Draw(request));
    EXPECT_TRUE(Rgb(r.map.Picture()) == first) << "the same request draws the same picture";

    // Theme symbols: a pick at the centre of each placed symbol gives its id.
    const auto& theme = *r.publication.screens[0].theme;
    ASSERT_GT(theme.Count(), 0);
    for (int32_t i = 0; i < theme.Count(); ++i) {
        const tagMODULEDRAWTHEMECACHE& t = theme.At(i);
        const ScreenPoint centre{(t.symbolRect.left + t.symbolRect.right) / 2,
                                 (t.symbolRect.top + t.symbolRect.bottom) / 2};
        const auto* hit = theme.Pick(centre.x, centre.y);
        ASSERT_NE(hit, nullptr);
        EXPECT_EQ(hit->objectId, t.objectId);
        EXPECT_GE(t.objectId, 9001);
        EXPECT_LE(t.objectId, 9004);
    }
}

// The demo landmarks stand in the district and show from style level 8
// (step 8) on, each with its picture and its name.
TEST_F(DemoLabelsTest, DemoLandmarksArePlacedWithTheirNames) {
    Renderer r(s_root, 800, 480);
    ASSERT_TRUE(r.ok);
    auto landmarks = [&] {
        std::vector<std::string> names;
        for (int32_t i = 0; i < r.publication.screens[0].poi[1]->Count(); ++i) {
            const tagMODULEDRAWPOICACHE& rec = r.publication.screens[0].poi[1]->At(i);
            if (rec.groupType != kMneLandmarkGroupType) continue;
            EXPECT_EQ(rec.kind, kPlaceSymbolAndText) << rec.name;
            EXPECT_GT(rec.symbolRect.left, 0);
            EXPECT_LT(rec.symbolRect.right, 800);
            names.push_back(Utf8(rec.name));
        }
        std::sort(names.begin(), names.end());
        return names;
    };
    ASSERT_TRUE(r.Draw(Request(127.02, 37.516, 8)));
    EXPECT_EQ(landmarks(), (std::vector<std::string>{"경복궁", "남산서울타워", "서울역"}));
    ASSERT_TRUE(r.Draw(Request(127.02, 37.516, 7)));
    EXPECT_TRUE(landmarks().empty()) << "below their level range";
}

// What a pick finds is on the picture: every placed theme symbol changes
// the pixels of its box against the same frame with the themes switched off.
TEST_F(DemoLabelsTest, PlacedThemeSymbolsAreDrawn) {
    MneDrawInputs off = Renderer::Defaults();
    off.themeSwitches = 0;
    Renderer with(s_root, 800, 480), without(s_root, 800, 480, off);
    ASSERT_TRUE(with.ok && without.ok);
    const MneDrawRequest request = Request(127.02, 37.516, 8);
    ASSERT_TRUE(with.Draw(request) && without.Draw(request));
    EXPECT_EQ(without.publication.screens[0].theme->Count(), 0);
    const auto& theme = *with.publication.screens[0].theme;
    ASSERT_GT(theme.Count(), 0);
    for (int32_t i = 0; i < theme.Count(); ++i) {
        const ScreenRect& box = theme.At(i).symbolRect;
        SCOPED_TRACE(theme.At(i).objectId);
        int changed = 0, area = 0;
        for (int32_t y = std::max(box.top, 0); y < std::min(box.bottom, 480); ++y)
            for (int32_t x = std::max(box.left, 0); x < std::min(box.right, 800); ++x, ++area)
                changed += with.map.Picture().Pixel(x, y) != without.map.Picture().Pixel(x, y);
        ASSERT_GT(area, 0);
        EXPECT_GT(changed * 3, area) << changed << " of " << area << " pixels";
    }
}

TEST_F(DemoLabelsTest, DrawModulePickPoiFindsAPlacedThemeSymbol) {
    MneDrawInputs in = Renderer::Defaults();
    MneFixedDrawInputs inputs(in);
    CModuleDraw module(CMgrConfigModuleDraw::Instance(), &inputs);
    module.SetRendererSetup([](CMneDrawMap& map) {
        InstallGeometryPasses(map);
        InstallLabelPasses(map);
    });
    MneDrawInit init;
    init.width = 800;
    init.height = 480;
    init.dataRoot = s_root;
    ASSERT_EQ(module.Initialize(init), 1);
    auto waitIdle = [&] {
        for (int i = 0; i < 6000; ++i) {
            if (const int status = module.GetDrawStatus()) return status;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return 0;
    };
    ASSERT_EQ(waitIdle(), 1);
    ASSERT_EQ(module.RequestDraw(Request(127.02, 37.516, 8)), 1);
    ASSERT_EQ(waitIdle(), 1);
    int picked = 0;
    for (int y = 0; y < 480 && !picked; y += 2)
        for (int x = 0; x < 800 && !picked; x += 2) {
            int32_t id = 0;
            if (module.PickPOI(0, {x, y}, &id)) picked = id;
        }
    EXPECT_GE(picked, 9001);
    EXPECT_LE(picked, 9004);
    module.StopThread();
}

// With tight spacing ("ePOIViewLevel" 1) a POI of symbol and name is placed
// as its name alone (its symbol reserves no box) yet drawn with its symbol:
// each such symbol box changes against the frame without the placed POIs.
TEST_F(DemoLabelsTest, TightSpacingStillDrawsTheSymbols) {
    MneDrawInputs tight = Renderer::Defaults();
    tight.poiViewLevel = 1;
    tight.themeSwitches = 0;
    Renderer with(s_root, 800, 480, tight), without(s_root, 800, 480, tight);
    ASSERT_TRUE(with.ok && without.ok);
    without.map.SetPassHandler(MnePass::kPlacedPois, [](CMneDrawMap&, const MnePassContext&) {});
    const MneDrawRequest request = Request(127.02, 37.516, 8);
    ASSERT_TRUE(with.Draw(request) && without.Draw(request));
    int checked = 0;
    for (const auto& cache : with.publication.screens[0].poi) {
        for (int32_t i = 0; i < cache->Count(); ++i) {
            const tagMODULEDRAWPOICACHE& rec = cache->At(i);
            if (rec.groupType == kMneLandmarkGroupType) continue;
            EXPECT_EQ(rec.kind, kPlaceTextOnly) << "placed as the name alone";
            const ScreenRect& box = rec.symbolRect;
            int changed = 0, area = 0;
            for (int32_t y = std::max(box.top, 0); y < std::min(box.bottom, 480); ++y)
                for (int32_t x = std::max(box.left, 0); x < std::min(box.right, 800); ++x, ++area)
                    changed += with.map.Picture().Pixel(x, y) != without.map.Picture().Pixel(x, y);
            if (area < 24 * 24) continue;   // partly off the picture
            ++checked;
            EXPECT_GT(changed * 3, area) << rec.classIndex << ": " << changed << " of " << area;
        }
    }
    EXPECT_GT(checked, 3);
}

// A framed name (box kind 13 with a border: the demo's subway stations)
// has the style's box pointer under the middle of its widened box.
TEST_F(DemoLabelsTest, FramedNamesPointAtTheirPlace) {
    Renderer r(s_root, 800, 480);
    ASSERT_TRUE(r.ok);
    int framed = 0;
    for (int step : {8, 9, 10}) {
        ASSERT_TRUE(r.Draw(Request(127.02, 37.516, step)));
        for (const auto& cache : r.publication.screens[0].poi) {
            for (int32_t i = 0; i < cache->Count(); ++i) {
                const tagMODULEDRAWPOICACHE& rec = cache->At(i);
                if (rec.classIndex != demostyle::kPoiSubway || rec.kind == kPlaceSymbolOnly) continue;
                const ScreenRect box{rec.textRect.left - 8, rec.textRect.top, rec.textRect.right + 8,
                                     rec.textRect.bottom + 2};
                // The wedge's second row is whole across its middle.
                const ScreenPoint tip{box.left + (box.right - box.left) / 2, box.bottom + 3 + 1};
                if (tip.x < 0 || tip.x >= 800 || tip.y >= 480) continue;
                ++framed;
                EXPECT_EQ(r.map.Picture().Pixel(tip.x, tip.y), Rgb565FromColor(0xA876A8)) << "step " << step;
            }
        }
    }
    EXPECT_GT(framed, 0);
}

// Position codes 0 and 8 give no text box: such a POI keeps its symbol and
// shows no name (instead of taking over the text box of the candidate
// before it).
TEST_F(DemoLabelsTest, PositionCodesZeroAndEightPlaceTheSymbolOnly) {
    const std::string root = TempRoot("codes").string();
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root + "/Map");
    std::filesystem::create_directories(root + "/Config");
    std::string error;
    stylewriter::StyleDesc style = demostyle::BuildDemoStyle();
    style.symbolClasses[demostyle::kPoiRestaurant].items[0].byte9 = 0;
    style.symbolClasses[demostyle::kPoiCafe].items[0].byte9 = 8;
    ASSERT_TRUE(demostyle::WriteDemoStyle(root, &error)) << error;
    ASSERT_TRUE(platform::AtomicReplaceFile(root + "/Config/PeloxSymbol.cfg", stylewriter::BuildStyleFile(style)));
    ASSERT_TRUE(writers::WriteDemoLayers(root, &error)) << error;
    ASSERT_TRUE(writers::WriteMapFont(root, &error)) << error;
    Renderer r(root, 800, 480);
    ASSERT_TRUE(r.ok);
    ASSERT_TRUE(r.Draw(Request(127.02, 37.516, 8)));
    int symbolOnly = 0, named = 0;
    for (const auto& cache : r.publication.screens[0].poi) {
        for (int32_t i = 0; i < cache->Count(); ++i) {
            const tagMODULEDRAWPOICACHE& rec = cache->At(i);
            if (rec.groupType == kMneLandmarkGroupType) continue;
            const bool zeroOrEight = rec.classIndex == demostyle::kPoiRestaurant || rec.classIndex == demostyle::kPoiCafe;
            SCOPED_TRACE(rec.classIndex);
            if (zeroOrEight) {
                ++symbolOnly;
                EXPECT_EQ(rec.kind, kPlaceSymbolOnly);
                EXPECT_EQ(rec.textRect, ScreenRect{});
                EXPECT_NE(rec.symbolRect.right, rec.symbolRect.left) << "the symbol keeps its box";
            } else {
                named += rec.kind == kPlaceSymbolAndText;
            }
        }
    }
    EXPECT_EQ(symbolOnly, 2);
    EXPECT_GT(named, 3);
    std::filesystem::remove_all(root);
}

// A root with the demo district's style and layers, for a test to change.
std::string DemoCopy(const char* name) {
    const std::string root = TempRoot(name).string();
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root + "/Map");
    std::filesystem::create_directories(root + "/Config");
    std::string error;
    EXPECT_TRUE(demostyle::WriteDemoStyle(root, &error) && writers::WriteDemoLayers(root, &error) &&
                writers::WriteMapFont(root, &error))
        << error;
    return root;
}

// Placement is first come, first placed, tile by tile: a tile's lot
// numbers come before the next tile's names. A lot number at the west edge
// of one tile and a name at the east edge of its western neighbour, one
// over the other: the eastern tile is visited first (north up), so its lot
// number stays and the name makes way.
TEST(PoiPlacementOrderTest, ATilesLotNumbersComeBeforeTheNextTilesNames) {
    const std::string root = DemoCopy("order");
    // Both tested like names (visibility 0), in the pass of all categories.
    stylewriter::StyleDesc style = demostyle::BuildDemoStyle();
    style.symbolClasses[demostyle::kPoiLotNumber].data10 = 0;
    ASSERT_TRUE(platform::AtomicReplaceFile(root + "/Config/PeloxSymbol.cfg", stylewriter::BuildStyleFile(style)));
    writers::TilePiece at;
    ASSERT_TRUE(writers::TilePoint(1, Deg(127.0215, 37.5125), &at));
    const int west = at.column, east = at.column + 1, row = at.row;
    writers::GroupedBlockBuilder names(true), lots(true);
    std::string name;
    platform::Utf16ToCp949(platform::Utf8ToUtf16("누리은행"), name);
    names.Add(13, demostyle::kPoiLotNumber, writers::PoiRecord({2045, 1024}, 1, demostyle::kPoiLotNumber, 14, name));
    lots.Add(25, 0, writers::LotNumberRecord({2, 1024}, demostyle::kPoiLotNumber, 123, 0, 14));
    writers::MapContainerWriter poi(false), jibun(false);
    poi.AddBlock(1, west, row, names.Build());
    jibun.AddBlock(1, east, row, lots.Build());
    std::string error;
    ASSERT_TRUE(poi.WriteFile(root + "/Map/POI.map", &error)) << error;
    ASSERT_TRUE(jibun.WriteFile(root + "/Map/JibunPOI.map", &error)) << error;

    Renderer r(root, 800, 480);
    ASSERT_TRUE(r.ok);
    MneDrawRequest q = Request(0, 0, 14);
    q.centre = MapPoint{east * 2048, row * 2048 + 1024};
    ASSERT_TRUE(r.Draw(q));
    std::vector<std::string> placed;
    for (int32_t i = 0; i < r.publication.screens[0].poi[1]->Count(); ++i) {
        const tagMODULEDRAWPOICACHE& rec = r.publication.screens[0].poi[1]->At(i);
        if (rec.groupType != kMneLandmarkGroupType) placed.push_back(Utf8(rec.name));
    }
    EXPECT_EQ(placed, std::vector<std::string>{"123"});
    std::filesystem::remove_all(root);
}

// A root whose POI layer holds only the given names, all in the tile of
// the district's centre at map level 1, of the lot-number class made a
// name class tested like the others (text only, centred, visibility 0).
struct NamedPoi {
    int16_t x, y;          // tile-local
    uint8_t displayStep;
    const char* name;
};
struct OneTileRoot {
    std::string root;
    int column = 0, row = 0;
    MapPoint Centre() const { return MapPoint{column * 2048 + 1024, row * 2048 + 1024}; }
};
OneTileRoot WriteOneTileRoot(const char* name, const std::vector<NamedPoi>& pois) {
    OneTileRoot out;
    out.root = DemoCopy(name);
    stylewriter::StyleDesc style = demostyle::BuildDemoStyle();
    style.symbolClasses[demostyle::kPoiLotNumber].data10 = 0;
    EXPECT_TRUE(platform::AtomicReplaceFile(out.root + "/Config/PeloxSymbol.cfg", stylewriter::BuildStyleFile(style)));
    writers::TilePiece at;
    EXPECT_TRUE(writers::TilePoint(1, Deg(127.0215, 37.5125), &at));
    out.column = at.column;
    out.row = at.row;
    writers::GroupedBlockBuilder block(true);
    for (const NamedPoi& p : pois) {
        std::string text;
        platform::Utf16ToCp949(platform::Utf8ToUtf16(p.name), text);
        block.Add(13, demostyle::kPoiLotNumber,
                  writers::PoiRecord({p.x, p.y}, 1, demostyle::kPoiLotNumber, p.displayStep, text));
    }
    writers::MapContainerWriter poi(false);
    poi.AddBlock(1, out.column, out.row, block.Build());
    std::string error;
    EXPECT_TRUE(poi.WriteFile(out.root + "/Map/POI.map", &error)) << error;
    std::filesystem::remove(out.root + "/Map/JibunPOI.map");
    return out;
}

std::vector<std::string> PlacedNames(const MneDrawPublication& publication) {
    std::vector<std::string> names;
    for (const auto& cache : publication.screens[0].poi)
        for (int32_t i = 0; i < cache->Count(); ++i)
            if (cache->At(i).groupType != kMneLandmarkGroupType) names.push_back(Utf8(cache->At(i).name));
    std::sort(names.begin(), names.end());
    return names;
}

// Outside the theme views a name shows only at its own display step: at
// step 14 the names of steps 13, 14 and 15, far apart, leave the one of 14.
TEST(PoiPlacementRulesFrameTest, ANameShowsOnlyAtItsOwnDisplayStep) {
    const OneTileRoot t = WriteOneTileRoot("steps", {{900, 1024, 13, "열셋"}, {1024, 1024, 14, "열넷"},
                                                     {1148, 1024, 15, "열다섯"}});
    Renderer r(t.root, 800, 480);
    ASSERT_TRUE(r.ok);
    MneDrawRequest q = Request(0, 0, 14);
    q.centre = t.Centre();
    ASSERT_TRUE(r.Draw(q));
    EXPECT_EQ(PlacedNames(r.publication), std::vector<std::string>{"열넷"});
    std::filesystem::remove_all(t.root);
}

// Wide spacing ("ePOIViewLevel" 3) tests each name 20 pixels wider on both
// sides against names stored widened too: two names 30 pixels apart
// collide, 50 pixels apart both stay; at normal spacing 30 pixels is room
// enough.
TEST(PoiPlacementRulesFrameTest, WideSpacingKeepsNamesFortyPixelsApart) {
    // The screen scale and the name's width, from a frame with one name.
    const OneTileRoot probe = WriteOneTileRoot("probe", {{1024, 1024, 14, "가나다"}});
    int32_t width = 0;
    double pixelsPerUnit = 0;
    {
        Renderer r(probe.root, 800, 480);
        ASSERT_TRUE(r.ok);
        MneDrawRequest q = Request(0, 0, 14);
        q.centre = probe.Centre();
        ASSERT_TRUE(r.Draw(q));
        ASSERT_EQ(r.publication.screens[0].poi[1]->Count(), 1);
        width = r.publication.screens[0].poi[1]->At(0).textWidth;
        CMneCoordSystem& coords = *r.publication.screens[0].coords;
        coords.SetTile(probe.column, probe.row);
        ScreenPoint a, b;
        ASSERT_TRUE(coords.LocalXYToScreen(1024, 1024, a, 0, 0));
        ASSERT_TRUE(coords.LocalXYToScreen(1124, 1024, b, 0, 0));
        pixelsPerUnit = (b.x - a.x) / 100.0;
    }
    std::filesystem::remove_all(probe.root);
    ASSERT_GT(width, 10);
    ASSERT_GT(pixelsPerUnit, 0.2);
    const struct {
        int gapPixels, poiViewLevel;
        size_t placed;
    } cases[] = {{30, 3, 1}, {50, 3, 2}, {30, 2, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.gapPixels) + " pixels, spacing " + std::to_string(c.poiViewLevel));
        const auto dx = static_cast<int16_t>(std::lround((width + c.gapPixels) / pixelsPerUnit));
        const OneTileRoot t = WriteOneTileRoot("gap", {{1000, 1024, 14, "가나다"},
                                                       {static_cast<int16_t>(1000 + dx), 1024, 14, "가나다"}});
        MneDrawInputs in = Renderer::Defaults();
        in.poiViewLevel = c.poiViewLevel;
        Renderer r(t.root, 800, 480, in);
        ASSERT_TRUE(r.ok);
        MneDrawRequest q = Request(0, 0, 14);
        q.centre = t.Centre();
        ASSERT_TRUE(r.Draw(q));
        EXPECT_EQ(PlacedNames(r.publication).size(), c.placed);
        std::filesystem::remove_all(t.root);
    }
}

// A POI of a category the driver chose is placed in the pass of mask 1 as
// its symbol alone below level 15, with its name from level 15 on.
TEST_F(DemoLabelsTest, ChosenCategoriesShowTheirNameFromLevelFifteen) {
    MneDrawInputs in = Renderer::Defaults();
    in.poiCategoriesChosen = 1;
    in.poiCategories = {100 + demostyle::kPoiBank};
    const struct {
        int step;   // 11: level 13; 12: level 15
        bool named;
    } cases[] = {{11, false}, {12, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.step);
        Renderer r(s_root, 800, 480, in);
        ASSERT_TRUE(r.ok);
        MneDrawRequest q = Request(0, 0, c.step);
        q.centre = Deg(127.0115, 37.5205);   // the bank
        q.poiPass = 1;
        ASSERT_TRUE(r.Draw(q));
        int banks = 0, named = 0;
        for (const auto& cache : r.publication.screens[0].poi)
            for (int32_t i = 0; i < cache->Count(); ++i) {
                const tagMODULEDRAWPOICACHE& rec = cache->At(i);
                if (rec.groupType == kMneLandmarkGroupType || rec.classIndex != demostyle::kPoiBank) continue;
                ++banks;
                named += rec.kind != kPlaceSymbolOnly;
            }
        EXPECT_GT(banks, 0);
        EXPECT_EQ(named > 0, c.named);
    }
}

// Last frame's labels are put back first only while the level and the
// theme stay: a new theme at the same level places them anew.
TEST_F(DemoLabelsTest, AThemeChangePlacesTheLabelsAnew) {
    Renderer r(s_root, 800, 480);
    ASSERT_TRUE(r.ok);
    int replaced = 0;
    r.map.SetPassHandler(MnePass::kReplaceCachedPoi, [&](CMneDrawMap&, const MnePassContext&) { ++replaced; });
    MneDrawRequest q = Request(127.02, 37.516, 10);
    ASSERT_TRUE(r.Draw(q));
    replaced = 0;
    ASSERT_TRUE(r.Draw(q));
    EXPECT_EQ(replaced, 3) << "same level, same theme";
    q.themeKind = 2;
    replaced = 0;
    ASSERT_TRUE(r.Draw(q));
    EXPECT_EQ(replaced, 0) << "same level, another theme";
    replaced = 0;
    ASSERT_TRUE(r.Draw(q));
    EXPECT_EQ(replaced, 3);
}

// Every landmark of the style's list in its level range is placed, the
// unnamed ones (a picture without a name) too.
TEST(PoiPlacementOrderTest, UnnamedLandmarksArePlacedWithTheirPicture) {
    const std::string root = DemoCopy("unnamed");
    stylewriter::LandmarkDesc landmarks = demostyle::BuildDemoLandmarks();
    ASSERT_EQ(landmarks.named.size(), 3u);
    ASSERT_EQ(landmarks.unnamed.size(), 1u);
    stylewriter::Landmark& bridge = landmarks.unnamed[0];
    const MapPoint where = Deg(127.0250, 37.5160);
    for (int b = 0; b < 4; ++b) {
        bridge.data[static_cast<size_t>(4 + b)] = static_cast<uint8_t>(static_cast<uint32_t>(where.x) >> (8 * b));
        bridge.data[static_cast<size_t>(8 + b)] = static_cast<uint8_t>(static_cast<uint32_t>(where.y) >> (8 * b));
    }
    bridge.data[12] = 8;
    bridge.data[13] = 12;
    ASSERT_TRUE(platform::AtomicReplaceFile(root + "/Config/LandMarkImage.dat", stylewriter::BuildLandmarkFile(landmarks)));
    Renderer r(root, 800, 480);
    ASSERT_TRUE(r.ok);
    ASSERT_TRUE(r.Draw(Request(127.02, 37.516, 8)));
    int named = 0, unnamed = 0;
    for (int32_t i = 0; i < r.publication.screens[0].poi[1]->Count(); ++i) {
        const tagMODULEDRAWPOICACHE& rec = r.publication.screens[0].poi[1]->At(i);
        if (rec.groupType != kMneLandmarkGroupType) continue;
        if (rec.classIndex < 3) {
            ++named;
            continue;
        }
        ++unnamed;
        EXPECT_EQ(rec.classIndex, 3) << "its index in the whole list";
        EXPECT_EQ(rec.kind, kPlaceSymbolOnly);
        EXPECT_EQ(rec.mapX, where.x);
        EXPECT_GT(rec.symbolRect.right, rec.symbolRect.left);
        EXPECT_GT(rec.symbolRect.bottom, rec.symbolRect.top);
    }
    EXPECT_EQ(named, 3);
    EXPECT_EQ(unnamed, 1);
    std::filesystem::remove_all(root);
}

// A stored colour mode above the three the style has means the first.
TEST_F(DemoLabelsTest, AColourSettingAboveTheModesDrawsTheFirstMode) {
    auto picture = [&](int eMapColor) {
        MneDrawInputs in = Renderer::Defaults();
        in.eMapColor = eMapColor;
        Renderer r(s_root, 320, 200, in);
        EXPECT_TRUE(r.ok);
        EXPECT_TRUE(r.Draw(Request(127.02, 37.516, 8, 320, 200)));
        return Rgb(r.map.Picture());
    };
    const std::vector<uint8_t> first = picture(1), third = picture(3);
    ASSERT_FALSE(first == third) << "the modes differ";
    EXPECT_TRUE(picture(4) == first);
}

// The look-ahead view remembers where on the route it looks from; when the
// guidance moves to another section while another view is shown, that is
// forgotten, and the next look-ahead frame starts afresh (it places its
// labels anew instead of taking the last frame's).
TEST_F(DemoLabelsTest, ANewGuidanceSectionResetsTheLookAhead) {
    MneDrawInputs in = Renderer::Defaults();
    in.guidanceActive = 1;
    for (int k = 0; k <= 6; ++k) in.pathPoints.push_back(Deg(127.005 + 0.004 * k, 37.512));
    in.pathSections = {{0, 3}, {3, 6}};
    in.currentSection = 1;
    in.distanceToPointM = 200;
    Renderer r(s_root, 800, 480, in);
    ASSERT_TRUE(r.ok);
    int replaced = 0;
    r.map.SetPassHandler(MnePass::kReplaceCachedPoi, [&](CMneDrawMap&, const MnePassContext&) { ++replaced; });
    MneDrawRequest lookAhead = Request(127.02, 37.512, 12);
    lookAhead.viewMode = 5;
    MneDrawRequest plain = Request(127.02, 37.512, 12);
    ASSERT_TRUE(r.Draw(lookAhead));
    ASSERT_TRUE(r.Draw(lookAhead));
    EXPECT_EQ(replaced, 3) << "the same look-ahead again takes the last frame's labels";
    ASSERT_TRUE(r.Draw(plain));
    replaced = 0;
    ASSERT_TRUE(r.Draw(lookAhead));
    EXPECT_EQ(replaced, 3) << "the same section after another view";
    in.currentSection = 0;   // a new route: guidance starts again at its first section
    r.inputs.Set(in);
    ASSERT_TRUE(r.Draw(plain));
    replaced = 0;
    ASSERT_TRUE(r.Draw(lookAhead));
    EXPECT_EQ(replaced, 0) << "a new section starts the look-ahead afresh";
}

// Random valid requests: pans, zooms, rotations, view modes (the planning
// and fitted ones among them) and the bird's-eye view, with a route being
// driven, from a fixed seed. After the first hundred the memory
// of the renderer (its arenas, the program heap's high-water mark and the
// caches' capacities) no longer grows.
TEST_F(DemoLabelsTest, ARunOfRandomRequestsStopsGrowingItsMemory) {
    MneDrawInputs in = Renderer::Defaults();
    in.incidents = {{1, 2, Deg(127.015, 37.512)}, {2, 1, Deg(127.025, 37.508)}};
    in.markerList = {{4, Deg(127.018, 37.514), u"표시"}};
    in.routeMarks.points = {Deg(127.005, 37.505), Deg(127.03, 37.52)};
    in.routeMarks.labels = {{2, 3, 0}, {2, 3}};
    Renderer r(s_root, 320, 200, in);
    ASSERT_TRUE(r.ok);
    // A route across the district, being driven, with a second row beside
    // it, and the overlays of the planning views.
    MneOverlayInputs overlays;
    auto routes = std::make_shared<MneRouteSet>();
    routes->version = 1;
    MneRoutePath path;
    path.enabled = 1;
    path.routeOption = 1;
    for (int k = 0; k <= 8; ++k) path.points.push_back(Deg(127.0 + 0.005 * k, 37.505 + 0.002 * k * (k % 2 ? 1 : 0.5)));
    for (int32_t k = 0; k < 8; ++k) path.segments.push_back({k, k + 1});
    routes->driven = path;
    routes->rows[0] = path;
    for (MapPoint& q : path.points) q.y += 800;
    path.routeOption = 2;
    routes->rows[1] = path;
    overlays.routes = routes;
    overlays.car = MneRouteCar{1, 3, 0, routes->driven.points[3]};
    overlays.routeState = 3;
    overlays.guidanceOnRoute = 1;
    overlays.selectedOption = 1;
    overlays.searchPoints = {Deg(127.01, 37.51), Deg(127.02, 37.515)};
    overlays.courseStart = Deg(127.005, 37.505);
    overlays.courseGoal = Deg(127.03, 37.52);
    overlays.userMarkers[0] = {1, Deg(127.02, 37.516)};
    InstallOverlayPasses(r.map, std::make_shared<MneFixedOverlayInputs>(overlays));
    std::mt19937 rng(17);
    auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    auto memory = [&] {
        std::vector<uint64_t> m;
        SharedBlockStats stats;
        SharedBlockGetStats(CSystemDefaultHeap::Instance().Block(), &stats);
        m.push_back(stats.highWater);
        for (int s = 0; s < 2; ++s)
            for (int i = 0; i < 3; ++i) m.push_back(static_cast<uint64_t>(r.map.PoiCache(i).Capacity()));
        m.push_back(static_cast<uint64_t>(r.map.ThemeCache().Capacity()));
        m.push_back(static_cast<uint64_t>(r.map.TrafficCache().Capacity()));
        m.push_back(r.map.Dc().ScratchCapacity());
        return m;
    };
    std::vector<uint64_t> after100;
    double lon = 127.02, lat = 37.516;
    constexpr int kRequests = 1000;
    for (int n = 0; n < kRequests; ++n) {
        MneDrawRequest q = Request(lon, lat, uniform(6, 14), 320, 200);
        lon = std::clamp(lon + uniform(-20, 20) * 0.0002, 126.995, 127.045);
        lat = std::clamp(lat + uniform(-20, 20) * 0.0002, 37.498, 37.54);
        q.centre = Deg(lon, lat);
        q.birdView = uniform(0, 3) == 0;
        q.northUp = uniform(0, 1);
        q.screenIndex = static_cast<uint8_t>(uniform(0, 1));
        const int modes[] = {0, 0, 0, 2, 5, 8, 1, 3, 4, 9, 10};
        q.viewMode = static_cast<uint8_t>(modes[uniform(0, 10)]);
        in.headingDeg = uniform(0, 359);
        in.poiViewLevel = uniform(1, 3);
        in.incidentDisplay = uniform(0, 1);
        r.inputs.Set(in);
        ASSERT_TRUE(r.Draw(q)) << n;
        // Tight spacing lets neighbours overlap slightly, by design.
        if (in.poiViewLevel != 1) ExpectNoOverlap(r.publication.screens[q.screenIndex]);
        if (n == 99) after100 = memory();
    }
    EXPECT_EQ(memory(), after100);
}

// A corner of a synthetic city: dense blocks of POIs with Hangul names.
TEST(SyntheticLabelsTest, DenseCityLabelsNeverOverlap) {
    const std::string root = TempRoot("city").string();
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root + "/Map");
    std::filesystem::create_directories(root + "/Config");
    std::string error;
    const writers::SyntheticCity city = writers::BuildSyntheticCity(6000, 7);
    ASSERT_TRUE(demostyle::WriteDemoStyle(root, &error)) << error;
    ASSERT_TRUE(writers::WriteSyntheticLayers(city, 7, root, &error)) << error;
    ASSERT_TRUE(writers::WriteMapFont(root, &error)) << error;
    Renderer r(root, 800, 480);
    ASSERT_TRUE(r.ok);
    const MapPoint mid{(city.southWest.x + city.northEast.x) / 2, (city.southWest.y + city.northEast.y) / 2};
    int placed = 0;
    for (int step : {10, 11, 12, 13}) {
        SCOPED_TRACE(step);
        MneDrawRequest q = Request(0, 0, step);
        q.centre = mid;
        ASSERT_TRUE(r.Draw(q));
        placed += ExpectNoOverlap(r.publication.screens[0]);
        // Bird's-eye, turned.
        q.birdView = 1;
        q.northUp = 0;
        ASSERT_TRUE(r.Draw(q));
        placed += ExpectNoOverlap(r.publication.screens[0]);
    }
    EXPECT_GT(placed, 20);
    std::filesystem::remove_all(root);
}

}  // namespace
