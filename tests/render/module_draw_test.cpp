// The draw module's state machine, its thread and the renderer's set-up on
// the demo district's layers and style.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "foundation/debug_trace.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "render/module_draw.h"
#include "render/pass_geometry.h"
#include "platform/file_io.h"
#include "settings/module_draw.h"
#include "support/png_writer.h"
#include "support/source_dir.h"
#include "tools/writers/demo_style.h"
#include "tools/writers/layer_writer.h"

namespace {

// Inputs that can hold the draw thread inside a frame until released.
class GateInputs : public MneDrawInputSource {
public:
    void Read(MneDrawInputs* out) override {
        std::unique_lock<std::mutex> lock(m_mutex);
        ++m_reads;
        m_entered.notify_all();
        m_cv.wait(lock, [&] { return !m_closed; });
        *out = m_inputs;
    }
    void Close() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_closed = true;
    }
    void Open() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_closed = false;
        m_cv.notify_all();
    }
    // Waits (bounded) until a reader is inside Read.
    bool WaitForRead(int reads) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_entered.wait_for(lock, std::chrono::seconds(20), [&] { return m_reads >= reads; });
    }
    int Reads() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_reads;
    }
    MneDrawInputs m_inputs;

private:
    std::mutex m_mutex;
    std::condition_variable m_cv, m_entered;
    bool m_closed = false;
    int m_reads = 0;
};

class FailingPostModule : public CModuleDraw {
public:
    using CModuleDraw::CModuleDraw;
    std::atomic<int> failDraw{0};

protected:
    int PostToThread(uint32_t code, const void* body, uint32_t length) override {
        if (code == kDrawMsgDraw && failDraw.load()) return 0;
        return CModuleDraw::PostToThread(code, body, length);
    }
};

const MapPoint kCentre{static_cast<int32_t>(127.02 * kMapUnitsPerDegree), static_cast<int32_t>(37.516 * kMapUnitsPerDegree)};

class DrawModuleTest : public testing::Test {
protected:
    void SetUp() override {
        m_root = std::filesystem::temp_directory_path() /
                 ("navi_draw_" + std::to_string(::getpid()) + "_" +
                  testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(m_root);
        std::filesystem::create_directories(m_root / "Map");
        std::filesystem::create_directories(m_root / "Config");
        std::string error;
        ASSERT_TRUE(demostyle::WriteDemoStyle(m_root.string(), &error)) << error;
        ASSERT_TRUE(writers::WriteDemoLayers(m_root.string(), &error)) << error;
        m_settings = CMgrConfigModuleDraw::Instance();
        SetDebugTraceSink([this](std::string_view line) {
            std::lock_guard<std::mutex> hold(m_traceMutex);
            m_trace.emplace_back(line);
        }, false);
    }
    void TearDown() override {
        SetDebugTraceSink({});
        std::filesystem::remove_all(m_root);
    }
    MneDrawInit Init() const {
        MneDrawInit init;
        init.width = 320;
        init.height = 200;
        init.dataRoot = m_root.string();
        return init;
    }
    static MneDrawRequest Request() {
        MneDrawRequest r;
        r.scaleStep = 10;
        r.viewWidth = 320;
        r.viewHeight = 200;
        r.northUp = 1;
        r.centreMode = 1;
        r.centre = kCentre;
        return r;
    }
    // Polls the status (bounded; the thread's own progress ends it).
    static int WaitStatus(CModuleDraw& m) {
        for (int i = 0; i < 4000; ++i) {
            const int s = m.GetDrawStatus();
            if (s != 0) return s;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return 0;
    }
    bool Traced(const std::string& text) {
        std::lock_guard<std::mutex> hold(m_traceMutex);
        for (const std::string& l : m_trace)
            if (l.find(text) != std::string::npos) return true;
        return false;
    }
    std::filesystem::path m_root;
    CMgrConfigModuleDraw* m_settings = nullptr;
    std::mutex m_traceMutex;
    std::vector<std::string> m_trace;
};

TEST_F(DrawModuleTest, BeforeInitialiseEverythingAnswersNothing) {
    MneFixedDrawInputs inputs;
    CModuleDraw module(m_settings, &inputs);
    MapPoint p;
    int32_t id = 0;
    EXPECT_EQ(module.GetDrawStatus(), 0);
    EXPECT_EQ(module.RequestDraw(Request()), 0);
    EXPECT_EQ(module.ScreenToMap(0, {1, 1}, &p), 0);
    EXPECT_EQ(module.PickPOI(0, {1, 1}, &id), 0);
    EXPECT_EQ(module.PollStopped(), 0);
}

TEST_F(DrawModuleTest, FramesAreDrawnAndPublished) {
    MneFixedDrawInputs inputs;
    CModuleDraw module(m_settings, &inputs);
    ASSERT_EQ(module.Initialize(Init()), 1);
    ASSERT_EQ(WaitStatus(module), 1);
    EXPECT_EQ(module.Initialize(Init()), 0);   // only once
    ASSERT_EQ(module.RequestDraw(Request()), 1);
    ASSERT_EQ(WaitStatus(module), 1);
    DibImage565 picture;
    MneFrameRecord record;
    ASSERT_EQ(module.CopyPicture(&picture, &record), 1);
    EXPECT_EQ(picture.Width(), 320);
    EXPECT_EQ(record.scaleLevel, 9);
    EXPECT_EQ(record.scaleStep, 10);
    // The centre sits at the view's middle (centre mode 1).
    MapPoint p;
    ASSERT_EQ(module.ScreenToMap(0, {160, 100}, &p), 1);
    EXPECT_NEAR(p.x, kCentre.x, 64);
    EXPECT_NEAR(p.y, kCentre.y, 64);
    EXPECT_EQ(module.ScreenToMap(1, {160, 100}, &p), 0);   // screen 1 never drawn
    int32_t id = 0;
    EXPECT_EQ(module.PickPOI(2, {1, 1}, &id), 0);
    EXPECT_EQ(module.PickMapObject(0, {1, 1}, &id), 0);   // nothing placed yet
    // The demo style's POI classes show section-13 symbols.
    MneBitmapDesc symbol;
    ASSERT_EQ(module.GetPOISymbolImage(demostyle::kPoiCafe, &symbol), 1);
    EXPECT_GT(symbol.width, 0);
    EXPECT_NE(symbol.bits, nullptr);
    EXPECT_EQ(module.GetPOISymbolImage(demostyle::kPoiCafe, nullptr), 1);
    EXPECT_EQ(module.GetPOISymbolImage(5000, &symbol), 0);
    EXPECT_EQ(module.StopThread(), 1);
    EXPECT_EQ(m_settings->GetDrawState(), kDrawStateEnded);
    EXPECT_EQ(module.PollStopped(), 1);
}

TEST_F(DrawModuleTest, MissingFatalLayerEndsTheThreadWithItsText) {
    struct Case {
        const char* file;
        const char* text;
    } cases[] = {{"Base.map", "[Error]DrawMap Base.map open fail!!\n"},
                 {"POI.map", "[Error]DrawMap POI.map open fail!!\n"},
                 {"Theme.map", "[Error]DrawMap Theme.map Open fail!!\n"},
                 {"RoadAttr.map", "[Error]DrawMap RoadAttr.map Open fail!!\n"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        std::string error;
        ASSERT_TRUE(writers::WriteDemoLayers(m_root.string(), &error));
        std::filesystem::remove(m_root / "Map" / c.file);
        MneFixedDrawInputs inputs;
        CModuleDraw module(m_settings, &inputs);
        ASSERT_EQ(module.Initialize(Init()), 1);
        EXPECT_EQ(WaitStatus(module), -1);
        EXPECT_EQ(m_settings->GetDrawState(), kDrawStateEnded);
        EXPECT_TRUE(Traced(c.text));
        EXPECT_EQ(module.RequestDraw(Request()), 0);
        module.StopThread();
    }
}

TEST_F(DrawModuleTest, MissingOptionalLayersStillDraw) {
    for (const char* f : {"Building.map", "Tributary.map", "Elev.map", "JibunPOI.map", "TpegLink.map"})
        std::filesystem::remove(m_root / "Map" / f);
    MneFixedDrawInputs inputs;
    CModuleDraw module(m_settings, &inputs);
    ASSERT_EQ(module.Initialize(Init()), 1);
    ASSERT_EQ(WaitStatus(module), 1);
    ASSERT_EQ(module.RequestDraw(Request()), 1);
    EXPECT_EQ(WaitStatus(module), 1);
}

TEST_F(DrawModuleTest, StateMachine) {
    GateInputs inputs;
    FailingPostModule module(m_settings, &inputs);
    ASSERT_EQ(module.Initialize(Init()), 1);
    ASSERT_EQ(WaitStatus(module), 1);

    // A failed post leaves the module idle, and the next request is taken.
    module.failDraw = 1;
    EXPECT_EQ(module.RequestDraw(Request()), 0);
    EXPECT_EQ(m_settings->GetDrawState(), kDrawStateIdle);
    module.failDraw = 0;

    // A damaged body (47 bytes) is dropped and the state goes back to idle.
    ASSERT_TRUE(m_settings->drawState.exchange(kDrawStateRequested) == kDrawStateIdle);
    uint8_t shortBody[47] = {};
    ASSERT_EQ(CMgrWorkThread::SendThreadMessage(kModuleDrawThreadName, kDrawMsgDraw, shortBody, 47, 1000), 1);
    EXPECT_EQ(WaitStatus(module), 1);
    EXPECT_TRUE(Traced("draw request of 47 bytes dropped"));

    // Requests during a frame are refused and leave the state alone.
    const int reads = inputs.Reads();
    inputs.Close();
    ASSERT_EQ(module.RequestDraw(Request()), 1);
    EXPECT_EQ(module.RequestDraw(Request()), 0);   // state 2 or 3
    ASSERT_TRUE(inputs.WaitForRead(reads + 1));
    EXPECT_EQ(m_settings->GetDrawState(), kDrawStateDrawing);
    EXPECT_EQ(module.RequestDraw(Request()), 0);
    EXPECT_EQ(m_settings->GetDrawState(), kDrawStateDrawing);

    // A stop while the thread is held in the frame gives up in time and
    // keeps the thread; once let go it ends.
    EXPECT_EQ(module.StopThread(50), 0);
    EXPECT_EQ(m_settings->GetDrawState(), kDrawStateStopping);
    inputs.Open();
    for (int i = 0; i < 4000 && m_settings->GetDrawState() != kDrawStateEnded; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(m_settings->GetDrawState(), kDrawStateEnded);
    EXPECT_EQ(module.GetDrawStatus(), -1);
    module.StopThread();
    EXPECT_EQ(module.PollStopped(), 1);
}

TEST_F(DrawModuleTest, AutoZoomStepsOneAtATime) {
    platform::FakeClock clock(100000);
    platform::ScopedClock use(clock);
    MneDrawInputs in;
    in.fixValid = 1;
    in.autoZoomBySpeed = 1;
    MneFixedDrawInputs inputs(in);
    CModuleDraw module(m_settings, &inputs);
    int step = 0;
    uint32_t tick = 0;
    struct Case {
        int speed, current;
        uint32_t last;
        int rc, step;
    } cases[] = {
        {30, 12, 0, 1, 11},      // target 9: one step down
        {63, 12, 0, 0, 0},       // between the bands: keep
        {120, 11, 0, 1, 12},     // target 12
        {30, 12, 98000, 0, 0},   // changed 2 s ago
        {30, 9, 0, 0, 0},        // at the target
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.speed);
        in.speedKmh = c.speed;
        inputs.Set(in);
        step = 0;
        EXPECT_EQ(module.CalcAutoZoom(c.current, c.last, &step, &tick), c.rc);
        if (c.rc) {
            EXPECT_EQ(step, c.step);
            EXPECT_EQ(tick, 100000u);
        }
    }
    in.autoZoomBySpeedSteps[3] = 20;   // beyond the steps: never above 14
    in.speedKmh = 120;
    inputs.Set(in);
    EXPECT_EQ(module.CalcAutoZoom(14, 0, &step, &tick), 0);
}

TEST_F(DrawModuleTest, QueriesFromOtherThreadsWhileFramesAreDrawn) {
    MneFixedDrawInputs inputs;
    CModuleDraw module(m_settings, &inputs);
    ASSERT_EQ(module.Initialize(Init()), 1);
    ASSERT_EQ(WaitStatus(module), 1);
    std::atomic<bool> stop{false};
    std::atomic<int> drawn{0};
    std::thread requester([&] {
        for (int i = 0; i < 40; ++i) {
            MneDrawRequest r = Request();
            r.screenIndex = static_cast<uint8_t>(i & 1);
            r.scaleStep = static_cast<uint16_t>(8 + i % 4);
            if (module.RequestDraw(r)) {
                if (WaitStatus(module) == 1) ++drawn;
            }
        }
        stop = true;
    });
    std::vector<std::thread> readers;
    for (int t = 0; t < 2; ++t) {
        readers.emplace_back([&, t] {
            MapPoint p;
            int32_t id;
            DibImage565 picture;
            while (!stop) {
                module.GetDrawStatus();
                module.ScreenToMap(t, {10, 10}, &p);
                module.PickPOI(t, {10, 10}, &id);
                module.PickMapObject(t, {10, 10}, &id);
                module.CopyPicture(&picture, nullptr);
            }
        });
    }
    requester.join();
    for (std::thread& r : readers) r.join();
    EXPECT_EQ(drawn.load(), 40);
    module.StopThread();
}

// The pass slots run in the fixed order of the view mode; a slot with a
// handler sees the frame's tiles and caches, and what it places is what the
// screens pick after the frame.
TEST_F(DrawModuleTest, PassSlotsRunInTheOrderOfTheViewMode) {
    MneFixedDrawInputs inputs;
    CMgrCriticalSection lock;
    MneDrawPublication publication;
    CMneDrawMap map(&inputs, &publication, &lock);
    ASSERT_EQ(map.Initialize(Init()), 1);
    std::vector<std::string> seen;
    auto record = [&](const char* name) {
        return [&seen, name](CMneDrawMap&, const MnePassContext& c) {
            seen.push_back(std::string(name) + (c.poiMask ? ":" + std::to_string(c.poiMask) : "") +
                           (c.groupType ? ":" + std::to_string(c.groupType) : ""));
        };
    };
    map.SetPassHandler(MnePass::kPoi, record("poi"));
    map.SetPassHandler(MnePass::kBaseAreas, record("areas"));
    map.SetPassHandler(MnePass::kPolygonClass, record("polygons"));
    map.SetPassHandler(MnePass::kRoute, record("route"));
    map.SetPassHandler(MnePass::kRoadAttributes, record("attrs"));
    map.SetPassHandler(MnePass::kFoundBuilding, record("found"));
    int blocks = 0;
    map.SetPassHandler(MnePass::kBuildings, [&](CMneDrawMap&, const MnePassContext& c) {
        if (c.block) ++blocks;
    });
    MneDrawRequest r = Request();
    ASSERT_EQ(map.DrawFrame(r), 1);
    EXPECT_EQ(seen, (std::vector<std::string>{"poi:32", "poi:4294967294", "areas", "polygons:3", "polygons:28",
                                              "polygons:29", "polygons:30", "route", "attrs"}));
    EXPECT_GT(blocks, 0);   // the building loop hands over the Base blocks of the visible tiles
    seen.clear();
    r = Request();
    r.viewMode = 8;        // the building view: no cell loop, route or road attributes
    blocks = 0;
    ASSERT_EQ(map.DrawFrame(r), 1);
    EXPECT_EQ(blocks, 0);
    EXPECT_EQ(seen.back(), "found");
    EXPECT_EQ(std::count(seen.begin(), seen.end(), "attrs"), 0);
    EXPECT_EQ(r.scaleStep, 15);   // step 12 forced; the request learns the level drawn
}

TEST_F(DrawModuleTest, PicksFindWhatThePassesPlaced) {
    MneFixedDrawInputs inputs;
    CModuleDraw module(m_settings, &inputs);
    module.SetRendererSetup([](CMneDrawMap& map) {
        map.SetPassHandler(MnePass::kThemeSymbols, [](CMneDrawMap& m, const MnePassContext&) {
            tagMODULEDRAWTHEMECACHE symbol{};
            symbol.objectId = 9002;
            const ScreenRect box{100, 50, 120, 70};
            symbol.symbolRect = box;
            symbol.textRect = box;
            symbol.kind = kPlaceSymbolOnly;
            m.ThemeCache().Add(symbol, kPlaceSymbolOnly, 0, box, box, nullptr);
        });
    });
    ASSERT_EQ(module.Initialize(Init()), 1);
    ASSERT_EQ(WaitStatus(module), 1);
    ASSERT_EQ(module.RequestDraw(Request()), 1);
    ASSERT_EQ(WaitStatus(module), 1);
    int32_t id = 0;
    EXPECT_EQ(module.PickPOI(0, {110, 60}, &id), 1);
    EXPECT_EQ(id, 9002);
    EXPECT_EQ(module.PickPOI(0, {130, 60}, &id), 0);
    EXPECT_EQ(module.PickPOI(1, {110, 60}, &id), 0);
    EXPECT_EQ(module.PickMapObject(0, {110, 60}, &id), 0);   // the traffic cache holds nothing
    module.StopThread();
}

// The golden frame is kept as a binary PPM (P6, rows top-down): the demo
// district's areas and roads in the day colours at step 10. Set
// NAVI_UPDATE_GOLDEN=1 to rewrite it; a mismatch writes the frame and the
// difference as PNGs beside the test's working folder.
std::vector<uint8_t> ToPpm(const DibImage565& image) {
    std::string head = "P6\n" + std::to_string(image.Width()) + " " + std::to_string(image.Height()) + "\n255\n";
    std::vector<uint8_t> out(head.begin(), head.end());
    for (int32_t y = 0; y < image.Height(); ++y) {
        for (int32_t x = 0; x < image.Width(); ++x) {
            const uint32_t c = ColorFromRgb565(image.Pixel(x, y));
            out.push_back(c & 0xFF), out.push_back((c >> 8) & 0xFF), out.push_back((c >> 16) & 0xFF);
        }
    }
    return out;
}

TEST_F(DrawModuleTest, DemoFrameMatchesTheGolden) {
    MneFixedDrawInputs inputs;
    CModuleDraw module(m_settings, &inputs);
    module.SetRendererSetup(InstallGeometryPasses);
    ASSERT_EQ(module.Initialize(Init()), 1);
    ASSERT_EQ(WaitStatus(module), 1);
    ASSERT_EQ(module.RequestDraw(Request()), 1);
    ASSERT_EQ(WaitStatus(module), 1);
    DibImage565 picture;
    ASSERT_EQ(module.CopyPicture(&picture, nullptr), 1);
    const std::vector<uint8_t> actual = ToPpm(picture);
    const std::string relative = "tests/render/golden/draw_frame_demo.ppm";
    if (const char* update = std::getenv("NAVI_UPDATE_GOLDEN"); update && std::string(update) == "1") {
        const char* source = std::getenv("NAVI_SOURCE_DIR");
        ASSERT_NE(source, nullptr);
        ASSERT_TRUE(platform::AtomicReplaceFile(std::string(source) + "/" + relative, actual));
        testsupport::WritePng565("draw_frame_demo.png", picture);
    }
    std::vector<uint8_t> golden;
    const std::string path = testsupport::SourceFile(relative);
    ASSERT_FALSE(path.empty());
    ASSERT_TRUE(platform::ReadWholeFile(path, golden));
    ASSERT_EQ(golden.size(), actual.size());
    size_t off = 0, header = actual.size() - static_cast<size_t>(picture.Width()) * picture.Height() * 3;
    DibImage565 diff(picture.Width(), picture.Height());
    for (size_t i = header; i < actual.size(); i += 3) {
        bool bad = false;
        for (int c = 0; c < 3; ++c) bad |= std::abs(int(actual[i + c]) - int(golden[i + c])) > 8;
        if (bad) {
            ++off;
            const size_t p = (i - header) / 3;
            diff.SetPixel(static_cast<int32_t>(p % picture.Width()), static_cast<int32_t>(p / picture.Width()), 0xF800);
        }
    }
    // At most 0.5 % of the pixels may differ by more than 8 in a channel.
    EXPECT_LE(off * 200, static_cast<size_t>(picture.Width()) * picture.Height());
    if (off * 200 > static_cast<size_t>(picture.Width()) * picture.Height()) {
        testsupport::WritePng565("draw_frame_demo.actual.png", picture);
        testsupport::WritePng565("draw_frame_demo.diff.png", diff);
    }
    module.StopThread();
}

}  // namespace
