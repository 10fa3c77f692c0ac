// The board host over the demo UI, headless: loading boards (results, the
// control table with its sub-controls, the centring notice), golden frames
// of the gallery in the four rotations, the colour and layout switches, a
// popup with the level overlay, and input tables that drive popups through
// touches and frame updates by tick.
//
// Goldens: tests/uikit/golden/*.png. Tolerance: at most 0.5 % of the pixels
// may differ (the anti-aliased edges of texts, whose outlines come from the
// FreeType of the machine that makes the test fonts); images, copies and
// rotations are exact.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/mgr_text.h"
#include "golden_png.h"
#include "platform/clock.h"
#include "platform/file_io.h"
#include "support/temp_dir.h"
#include "tools/writers/settings_writer.h"
#include "tools/writers/ui_resource_writer.h"
#include "demo_ui_root.h"
#include "ui_test_fonts.h"
#include "uikit/board_manager.h"
#include "uikit/renderer.h"

namespace {

constexpr int kGalleryPanel = 15;    // static panel, popup
constexpr int kGalleryDynPanel = 16; // dynamic panel, popup
constexpr int kGoldenTolerance = 800 * 480 / 200;

// Panels and buttons that answer a touch with their layout id and action 1,
// plugged in where the control kinds plug in, so that the host's popups and
// events are seen apart from what the real controls report.
template <typename Base>
class Answering : public Base {
public:
    bool OnPointer(uint32_t message, NvCtrlEvent* event, uint16_t) override {
        if (message == kNvWmLButtonDown && event) *event = {this->m_layoutId, 0, 1, 0};
        return true;
    }
};
NvControl* MakePanel(const tagUISCRIPT_CONTROL&) { return new Answering<NvCtrlStaticPanel>(); }
NvControl* MakeDynPanel(const tagUISCRIPT_CONTROL&) { return new Answering<NvControl>(); }
NvControl* MakeButton(const tagUISCRIPT_CONTROL&) { return new Answering<NvControl>(); }

class BoardHostTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = new testsupport::TempDir();
        std::vector<uint8_t> text;
        ASSERT_TRUE(platform::ReadWholeFile(uiwriter::FindDemoUiSource(), text));
        uiwriter::UiSource source;
        std::string error;
        ASSERT_TRUE(uiwriter::ParseUiSource(std::string(text.begin(), text.end()), source, &error)) << error;
        ASSERT_TRUE(uitest::WriteUiResourcesOnce(source, std::string(text.begin(), text.end()), s_dir->Path(), &error))
            << error;
        ASSERT_TRUE(settingswriter::WriteDemoSettings(s_dir->Path(), &error)) << error;  // the text tables
        std::string texts;
        for (const char* name : {"text_general.txt", "text_map.txt"}) {
            std::vector<uint8_t> bytes;
            if (platform::ReadWholeFile(Ui() + "/" + name, bytes)) texts.append(bytes.begin(), bytes.end());
        }
        ASSERT_TRUE(uitest::MakeTestFonts(s_dir->Path(), texts));
        s_texts = new MgrText();
        const std::string ui = Ui();
        s_texts->Init(std::u16string(ui.begin(), ui.end()).c_str(), 0);
    }
    static void TearDownTestSuite() {
        for (int32_t kind : {kUiKindPanel, kUiKindDynamicPanel, kUiKindButton}) NvRegisterControlKind(kind, nullptr);
        delete s_texts;
        delete s_dir;
    }
    static std::string Ui() { return s_dir->Path() + "/UI"; }

    // A host on a headless window of the rotated size.
    void Start(int rotation = 0, int layout = 0, int colour = 0) {
        const bool turned = rotation == 1 || rotation == 3;
        m_window = std::make_unique<NvHeadlessPresenter>(turned ? 480 : 800, turned ? 800 : 480);
        m_host = std::make_unique<NvBoardManager>(Ui().c_str());
        // After the host's own registration: panels and buttons that answer.
        NvRegisterControlKind(kUiKindPanel, MakePanel);
        NvRegisterControlKind(kUiKindDynamicPanel, MakeDynPanel);
        NvRegisterControlKind(kUiKindButton, MakeButton);
        ASSERT_EQ(m_host->Start(m_window.get(), 800, 480, rotation, layout, colour), 1);
        NvMainQueue().Clear();
    }
    void TearDown() override {
        m_host.reset();
        NvMainQueue().Clear();
    }
    std::vector<NvMessage> Posted() {
        std::vector<NvMessage> out;
        NvMessage m;
        while (NvMainQueue().Peek(&m)) out.push_back(m);
        return out;
    }
    int State(int layoutId) {
        NvControl* c = m_host->GetControl(layoutId);
        const int i = m_host->Popups().Find(c);
        return i < 0 ? 0 : m_host->Popups().At(i).state;
    }

    static testsupport::TempDir* s_dir;
    static MgrText* s_texts;
    std::unique_ptr<NvHeadlessPresenter> m_window;
    std::unique_ptr<NvBoardManager> m_host;
};

testsupport::TempDir* BoardHostTest::s_dir = nullptr;
MgrText* BoardHostTest::s_texts = nullptr;

TEST_F(BoardHostTest, LoadBoardBuildsTheControlTable) {
    Start();
    ASSERT_EQ(m_host->LoadBoard(1), 1);
    const std::vector<NvMessage> posted = Posted();
    ASSERT_EQ(posted.size(), 1u);  // centring mode: 20001, a background from a package
    EXPECT_EQ(posted[0].message, kNvWmBoardCentred);
    EXPECT_EQ(posted[0].wParam, 1u);
    EXPECT_EQ(posted[0].lParam, 0u);

    NvBoard* board = m_host->GetBoard();
    ASSERT_NE(board, nullptr);
    const tagUISCRIPT_BOARD* entry = m_host->Script()->GetBoard(1);
    EXPECT_EQ(board->m_itemCount, entry->itemCount);
    EXPECT_GT(board->ControlCount(), board->m_itemCount);  // sub-controls follow the items
    EXPECT_EQ(m_host->GetControl(1)->m_kind, kUiKindButton);
    EXPECT_STREQ(m_host->GetControl(kGalleryPanel)->GetRuntimeClass()->className, "NvCtrlStaticPanel");
    EXPECT_STREQ(m_host->GetControl(17)->GetRuntimeClass()->className, "NvCtrlStatic");
    EXPECT_EQ(m_host->FindControlByKind(0, kUiKindStatic), m_host->GetControl(0));
    // The list (item 2) owns the first sub-controls, in creation order.
    NvControl* firstSub = m_host->GetControl(board->m_itemCount);
    ASSERT_NE(firstSub, nullptr);
    EXPECT_EQ(firstSub->m_parentLayoutId, 2);
    EXPECT_EQ(firstSub->m_subIndex, 0);
    EXPECT_EQ(firstSub->m_parent, m_host->GetControl(2));
    EXPECT_EQ(firstSub->m_subControl, 1);
    // Relative positions are made absolute by the layout.
    const tagUISCRIPT_CONTROL* sub = m_host->Script()->GetControl(firstSub->m_controlId);
    EXPECT_EQ(firstSub->m_rect.x, m_host->GetControl(2)->m_rect.x + sub->image[0].x);

    int32_t x = 0, y = 0;
    EXPECT_TRUE(m_host->MoveControl(1, 30, 40, false));
    EXPECT_EQ(m_host->GetControlPos(1, &x, &y, 0, true), 1);
    EXPECT_EQ(x, 30);
    EXPECT_EQ(m_host->GetControlPos(1, &x, &y, 0, false), 1);
    EXPECT_EQ(x, 20);  // the layout item's place
    EXPECT_EQ(m_host->GetControlPos(999, &x, &y, 0, true), 0);

    // A board that does not exist: 0, and no board is left.
    EXPECT_EQ(m_host->LoadBoard(150), 0);
    EXPECT_EQ(m_host->GetBoard(), nullptr);
    EXPECT_EQ(m_host->GetControl(1), nullptr);
    EXPECT_EQ(m_host->ProcessInput(10, kNvWmLButtonDown, NvMakePoint(40, 40), 0), 0);
}

TEST_F(BoardHostTest, GalleryGoldensInEveryRotation) {
    for (int rotation = 0; rotation < 4; ++rotation) {
        Start(rotation);
        ASSERT_EQ(m_host->LoadBoard(1), 1);
        m_host->DrawFrame(true, true);
        ASSERT_EQ(m_window->PresentCount(), 1);
        const int differ = uitest::CompareGolden(m_window->Frame(), "board1_rotation" + std::to_string(rotation));
        EXPECT_GE(differ, 0) << "golden missing for rotation " << rotation;
        EXPECT_LE(differ, kGoldenTolerance) << rotation;
        m_host.reset();
    }
}

TEST_F(BoardHostTest, ColourAndLayoutSwitches) {
    Start();
    ASSERT_EQ(m_host->LoadBoard(4), 1);
    m_host->DrawFrame(true, true);
    DibImage565 day;
    day.Create(800, 480);
    std::copy(m_window->Frame().Bits(), m_window->Frame().Bits() + m_window->Frame().SizeBytes(), day.Bits());
    ASSERT_TRUE(m_host->SetColorScheme(2, 1));
    ASSERT_EQ(m_host->LoadBoard(4), 1);
    m_host->DrawFrame(true, true);
    int changed = 0;
    for (int32_t y = 0; y < 480; ++y)
        for (int32_t x = 0; x < 800; ++x) changed += day.Pixel(x, y) != m_window->Frame().Pixel(x, y);
    EXPECT_GT(changed, 100);  // the package-2 images took the night colours
    int differ = uitest::CompareGolden(m_window->Frame(), "board4_colour1");
    EXPECT_GE(differ, 0);
    EXPECT_LE(differ, kGoldenTolerance);

    // Layout index 1 moves the edit box of the keyboard board to x = 40.
    ASSERT_TRUE(m_host->SetLayout(1));
    ASSERT_EQ(m_host->LoadBoard(2), 1);
    int32_t x = 0, y = 0;
    ASSERT_EQ(m_host->GetControlPos(1, &x, &y, 0, true), 1);
    EXPECT_EQ(x, 40);
    m_host->DrawFrame(true, true);
    differ = uitest::CompareGolden(m_window->Frame(), "board2_layout1");
    EXPECT_GE(differ, 0);
    EXPECT_LE(differ, kGoldenTolerance);
}

// A bitmap of one colour.
std::unique_ptr<NvImageData> Solid(int32_t w, int32_t h, uint32_t rgb) {
    return std::unique_ptr<NvImageData>(NvCreateImageData(w, h, rgb, false));
}

TEST_F(BoardHostTest, PopupOverABoardWithTheLevelOverlay) {
    Start();
    ASSERT_EQ(m_host->LoadBoard(1), 1);
    m_host->DrawFrame(true, true);
    NvControl* panel = m_host->GetControl(kGalleryPanel);
    ASSERT_EQ(NvShowPopup(panel, 0, kNvNoTimeout, 0, 0), 1);
    EXPECT_EQ(NvShowPopup(panel, 0, kNvNoTimeout, 0, 0), 0);  // already open
    // Overlay: a frame with 15 cells; the lit strip green, the unlit grey.
    auto frame = Solid(340, 60, 0x101010);
    frame->dib.SetPixel(0, 0, kColorKey565);
    m_host->SetOverlayImage(0, std::move(frame));
    m_host->SetOverlayImage(3, Solid(340, 60, 0x003F00));
    m_host->SetOverlayImage(4, Solid(340, 60, 0x0F1F0F));
    m_host->m_overlayPlace[kNvOverlayVolume] = {230, 400};
    for (int i = 0; i < 15; ++i) m_host->m_cells[0][i] = {240 + i * 22, 16, 410, 40};
    NvToolkit().overlayKind = kNvOverlayVolume;
    NvToolkit().volumeLevel = 5;
    m_host->DrawFrame(false, true);
    const int differ = uitest::CompareGolden(m_window->Frame(), "board1_popup_overlay");
    EXPECT_GE(differ, 0);
    EXPECT_LE(differ, kGoldenTolerance);
    EXPECT_NE(m_window->Frame().Pixel(230, 400), NvColorToPixel(0x101010));  // the keyed corner shows through
    EXPECT_EQ(m_window->Frame().Pixel(231, 400), NvColorToPixel(0x101010));
    EXPECT_EQ(m_window->Frame().Pixel(245, 420), NvColorToPixel(0x003F00));  // cell 0 lit
    EXPECT_EQ(m_window->Frame().Pixel(245 + 5 * 22, 420), NvColorToPixel(0x0F1F0F));  // cell 5 unlit
    // The overlay is on the window only: the back buffer under it keeps the
    // frame's own pixels.
    const NvPixels back = NvPixelsOf(NvBackBuffer());
    const auto backPixel = [&](int32_t x, int32_t y) {
        return reinterpret_cast<const uint16_t*>(back.bits + static_cast<size_t>(back.height - 1 - y) * back.stride)[x];
    };
    EXPECT_NE(backPixel(245, 420), NvColorToPixel(0x003F00));
    EXPECT_NE(backPixel(231, 400), NvColorToPixel(0x101010));
    // A full frame draws the board over everything and the open popup again.
    m_host->DrawFrame(true, true);
    EXPECT_EQ(uitest::CompareGolden(m_window->Frame(), "board1_popup_overlay"), differ);

    // Switched off, the overlay goes with the next present, full or not.
    NvToolkit().overlayKind = kNvOverlayNone;
    m_host->DrawFrame(false, true);
    EXPECT_EQ(m_window->Frame().Pixel(245, 420), backPixel(245, 420));
    EXPECT_NE(m_window->Frame().Pixel(245, 420), NvColorToPixel(0x003F00));
    NvToolkit().overlayKind = kNvOverlayVolume;

    // The level is clamped to 0..15; a bitmap nobody filled is passed over.
    NvToolkit().volumeLevel = 20;
    EXPECT_EQ(m_host->DrawLevelOverlay(), 15);
    NvToolkit().volumeLevel = -3;
    EXPECT_EQ(m_host->DrawLevelOverlay(), 0);
    NvToolkit().overlayKind = kNvOverlayBrightness;  // no brightness frame set
    EXPECT_EQ(m_host->DrawLevelOverlay(), 0);
    NvToolkit().overlayKind = kNvOverlayNone;
}

// A control that counts its own updates, as an animated popup steps its
// frames in its own update.
int g_updates = 0;
class Counting : public Answering<NvControl> {
public:
    void Update(uint32_t tick, uint32_t arg, uint32_t flags) override {
        ++g_updates;
        NvControl::Update(tick, arg, flags);
    }
};

TEST_F(BoardHostTest, OpenPopupsGetTheirOwnUpdate) {
    Start();
    NvRegisterControlKind(kUiKindDynamicPanel, [](const tagUISCRIPT_CONTROL&) -> NvControl* { return new Counting(); });
    ASSERT_EQ(m_host->LoadBoard(1), 1);
    g_updates = 0;
    m_host->UpdateFrame(1000);
    EXPECT_EQ(g_updates, 0) << "a closed popup is not updated";
    ASSERT_EQ(NvShowPopup(m_host->GetControl(kGalleryDynPanel), 0, kNvNoTimeout, 0, 0), 1);
    m_host->UpdateFrame(1150);
    m_host->UpdateFrame(1300);
    EXPECT_EQ(g_updates, 2);
}

// One step of an input table: a touch or a frame update at a tick, and what
// follows: the layout id the event names, the popup states of the panel and
// the dynamic panel (0 = closed) and the layout ids posted with 20000.
struct Step {
    uint32_t tick;
    enum { kTouch, kUpdate, kCloseLevel } what;
    int32_t x, y;
    int32_t eventLayout;
    int panelState, dynState;
    std::vector<uint32_t> closed;
    int highestLevel = -1;   // the highest open level after the step (-1: not checked)
};

struct Scenario {
    const char* name;
    // Popups opened at tick 1000: close-on-touch, time-out, restart, level.
    struct Open {
        int layoutId;
        uint16_t closeOnTouch, timeoutMs;
        uint8_t restart, level;
    };
    std::vector<Open> open;
    std::vector<Step> steps;
};

TEST_F(BoardHostTest, InputTables) {
    // The panel covers (100..700, 60..420); the dynamic panel (300..396, 200..296)
    // lies inside it; (10, 460) is outside both.
    const Scenario scenarios[] = {
        {"close on touch",
         {{kGalleryPanel, 1, kNvNoTimeout, 0, 0}},
         {{1100, Step::kTouch, 150, 100, kGalleryPanel, 4, 0, {}},
          {1150, Step::kUpdate, 0, 0, 0, 1, 0, {}},
          {1300, Step::kUpdate, 0, 0, 0, 0, 0, {kGalleryPanel}}}},
        {"touch outside",
         {{kGalleryPanel, 0, kNvNoTimeout, 0, 0}, {kGalleryDynPanel, 0, kNvNoTimeout, 0, 2}},
         {{1100, Step::kTouch, 10, 460, 0, 0, 0, {kGalleryPanel, kGalleryDynPanel}}}},
        {"timed close",
         {{kGalleryPanel, 0, 5000, 0, 0}},
         {{5999, Step::kUpdate, 0, 0, 0, 3, 0, {}},
          {6000, Step::kUpdate, 0, 0, 0, 3, 0, {}},
          {6001, Step::kUpdate, 0, 0, 0, 1, 0, {}},
          {6100, Step::kUpdate, 0, 0, 0, 0, 0, {kGalleryPanel}}}},
        {"touch restarts a timed popup",
         {{kGalleryPanel, 0, 5000, 1, 0}},
         {{5000, Step::kTouch, 150, 100, kGalleryPanel, 3, 0, {}},
          {6500, Step::kUpdate, 0, 0, 0, 3, 0, {}},
          {10001, Step::kUpdate, 0, 0, 0, 1, 0, {}}}},
        {"level-1 group close",
         {{kGalleryPanel, 0, kNvNoTimeout, 0, 1}, {kGalleryDynPanel, 0, kNvNoTimeout, 0, 2}},
         {{1100, Step::kCloseLevel, 0, 0, 0, 0, 0, {kGalleryPanel, kGalleryDynPanel}}}},
        {"a levelled popup waits for its group's time-out",
         {{kGalleryPanel, 0, 9000, 0, 1}, {kGalleryDynPanel, 0, 2000, 0, 2}},
         {{3001, Step::kUpdate, 0, 0, 0, 3, 3, {}},
          {10001, Step::kUpdate, 0, 0, 0, 1, 1, {}},
          {10100, Step::kUpdate, 0, 0, 0, 0, 0, {kGalleryPanel, kGalleryDynPanel}}}},
        {"a touch in a popup of a lower level lowers the open level",
         {{kGalleryDynPanel, 0, kNvNoTimeout, 0, 1}, {kGalleryPanel, 0, kNvNoTimeout, 0, 3}},
         {{1050, Step::kUpdate, 0, 0, 0, 2, 2, {}, 3},
          {1100, Step::kTouch, 350, 250, kGalleryPanel, 2, 2, {}, 1}}},
        {"level-1 time-out closes the group",
         {{kGalleryPanel, 0, 2000, 0, 1}, {kGalleryDynPanel, 0, 9000, 0, 2}},
         {{3001, Step::kUpdate, 0, 0, 0, 1, 1, {}},
          {3100, Step::kUpdate, 0, 0, 0, 0, 0, {kGalleryPanel, kGalleryDynPanel}}}},
    };
    for (const Scenario& s : scenarios) {
        SCOPED_TRACE(s.name);
        Start();
        ASSERT_EQ(m_host->LoadBoard(1), 1);
        m_host->UpdateFrame(1000);
        for (const auto& o : s.open)
            ASSERT_EQ(NvShowPopup(m_host->GetControl(o.layoutId), o.closeOnTouch, o.timeoutMs, o.restart, o.level), 1);
        Posted();
        for (const Step& step : s.steps) {
            SCOPED_TRACE(step.tick);
            if (step.what == Step::kTouch) {
                ASSERT_EQ(m_host->ProcessInput(step.tick, kNvWmLButtonDown, NvMakePoint(step.x, step.y), 0), 1);
                int32_t id = -1, value = -1, action = -1;
                m_host->GetLastEvent(&id, &value, &action);
                EXPECT_EQ(id, step.eventLayout);
            } else if (step.what == Step::kUpdate) {
                m_host->UpdateFrame(step.tick);
            } else {
                NvClosePopupLevel(m_host->GetControl(kGalleryPanel));
            }
            EXPECT_EQ(State(kGalleryPanel), step.panelState);
            EXPECT_EQ(State(kGalleryDynPanel), step.dynState);
            std::vector<uint32_t> closed;
            for (const NvMessage& m : Posted())
                if (m.message == kNvWmPopupClosed) closed.push_back(m.wParam);
            EXPECT_EQ(closed, step.closed);
            if (step.highestLevel >= 0) {
                EXPECT_EQ(m_host->Popups().HighestLevel(), step.highestLevel);
            }
        }
        // Whatever closed them, an empty table has no open level.
        if (m_host->Popups().Count() == 0) {
            EXPECT_TRUE(NvPopupNoLevel());
        }
        m_host.reset();
    }
}

TEST_F(BoardHostTest, WindowInputReachesTheHostStampedByTheClock) {
    platform::FakeClock clock(5000);
    platform::ScopedClock use(clock);
    Start();
    ASSERT_EQ(m_host->LoadBoard(1), 1);
    ASSERT_EQ(NvShowPopup(m_host->GetControl(kGalleryPanel), 1, kNvNoTimeout, 0, 0), 1);
    Posted();
    m_window->Inject(kNvWmLButtonDown, 1, NvMakePoint(150, 100));
    m_window->Inject(kNvWmLButtonUp, 0, NvMakePoint(150, 100));
    clock.Advance(250);
    NvMessageQueue rest;
    EXPECT_EQ(NvDispatchWindowInput(*m_window, *m_host, rest), 1);
    EXPECT_EQ(NvToolkit().tick, 5250u);
    EXPECT_EQ(State(kGalleryPanel), kNvPopupCloseRequested);
    NvMessage m;
    ASSERT_TRUE(rest.Peek(&m));  // the release is left to the program
    EXPECT_EQ(m.message, kNvWmLButtonUp);
    EXPECT_EQ(m.tick, 5250u);
    m_window->Inject(kNvWmQuit, 0, 0);
    EXPECT_EQ(NvDispatchWindowInput(*m_window, *m_host, rest), -1);
}

TEST_F(BoardHostTest, ABoardChangeLeavesNoOpenLevel) {
    Start();
    ASSERT_EQ(m_host->LoadBoard(1), 1);
    ASSERT_EQ(NvShowPopup(m_host->GetControl(kGalleryPanel), 0, kNvNoTimeout, 0, 3), 1);
    EXPECT_FALSE(NvPopupNoLevel());
    Posted();
    ASSERT_EQ(m_host->LoadBoard(1), 1);  // closes every popup of the old board
    EXPECT_TRUE(NvPopupNoLevel());
    std::vector<uint32_t> closed;
    for (const NvMessage& m : Posted())
        if (m.message == kNvWmPopupClosed) closed.push_back(m.wParam);
    EXPECT_EQ(closed, std::vector<uint32_t>{kGalleryPanel});
    // A ninth popup fails without changing the table.
    int shown = 0;
    for (int id = 0; id < m_host->GetBoard()->ControlCount() && shown < 9; ++id)
        if (NvControl* c = m_host->GetControl(id)) shown += NvShowPopup(c, 0, kNvNoTimeout, 0, 0);
    EXPECT_EQ(shown, kNvMaxPopups);
    EXPECT_EQ(m_host->Popups().Count(), kNvMaxPopups);
}

TEST_F(BoardHostTest, TouchWithoutPopupsReachesTheHitControl) {
    Start();
    ASSERT_EQ(m_host->LoadBoard(1), 1);
    NvControl* button = m_host->GetControl(1);
    EXPECT_EQ(m_host->GetBoard()->HitTest(button->m_rect.x + 5, button->m_rect.y + 5), button);
    EXPECT_EQ(m_host->ProcessInput(10, kNvWmLButtonDown, NvMakePoint(button->m_rect.x + 5, button->m_rect.y + 5), 0), 1);
    EXPECT_EQ(NvToolkit().lastX, button->m_rect.x + 5);
    int32_t id = -1, value = -1, action = -1;
    EXPECT_EQ(m_host->GetLastEvent(&id, &value, &action), 1);
    EXPECT_EQ(id, 1);
    EXPECT_EQ(action, 1);
    // The next input clears the event.
    m_host->ProcessInput(11, kNvWmLButtonUp, NvMakePoint(0, 0), 0);
    m_host->GetLastEvent(&id, &value, &action);
    EXPECT_EQ(id, 0);
    // A size message resizes the back buffer; a zero height stops drawing.
    EXPECT_EQ(m_host->ProcessInput(20, kNvWmSize, 0, NvMakePoint(800, 0)), 1);
    const int before = m_window->PresentCount();
    m_host->DrawFrame(true, true);
    EXPECT_EQ(m_window->PresentCount(), before);
    EXPECT_EQ(m_host->ProcessInput(30, kNvWmSize, 0, NvMakePoint(640, 400)), 1);
    EXPECT_EQ(NvBackBuffer()->width, 640);
    EXPECT_EQ(m_window->PresentCount(), before + 1);  // the size message draws and presents
}

}  // namespace
