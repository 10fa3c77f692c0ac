// The map screens' scene procedures on boards with their layout ids: the
// drive screen's offset under the top bars (0 at 480 lines, 40 at 520, at
// most 54), the bottom controls following the screen height, the panels
// taking the width, and the map dimmed while popup 385 (67 on the route
// information screen) is open and bright again once it closes.
#include "shell_board_fixture.h"

#include "shell/board_helper.h"
#include "shell/scene_procs.h"
#include "uikit/renderer.h"

namespace {

using shelltest::ShellBoardTest;

class SceneProcTest : public ShellBoardTest {
protected:
    void Start(int32_t width, int32_t height, int32_t board) {
        StartHost(width, height);
        BoardHelper::SetHost(m_host.get());
        ASSERT_EQ(m_host->LoadBoard(board), 1);
    }
    void TearDown() override {
        if (m_host) m_host->SetCustomSceneProc(nullptr);
        BoardHelper::SetHost(nullptr);
        ShellBoardTest::TearDown();
    }
    NvRect RectOf(int32_t id) { return m_host->GetControl(id)->m_rect; }
};

TEST_F(SceneProcTest, DriveOffsetFollowsTheScreenHeight) {
    struct Case {
        int32_t height;
        bool topBar;
        int32_t offset;
    } cases[] = {{480, true, 0}, {520, true, 40}, {600, true, 54}, {600, false, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.height) + (c.topBar ? " with" : " without") + " control 103");
        Start(800, c.height, 150);
        if (!c.topBar) BoardHelper().ShowControl(103, 0);
        DriveSceneProc proc;
        std::vector<int32_t> placed;
        proc.placeScreenPart = [&](int32_t id) { placed.push_back(id); };
        m_host->SetCustomSceneProc(&proc);
        const NvRect before98 = RectOf(98);
        ActivateSceneProc(&proc);
        EXPECT_EQ(proc.OffsetY(), c.offset);
        EXPECT_EQ(RectOf(42).x, 0);
        EXPECT_EQ(RectOf(42).y, c.offset);
        EXPECT_EQ(RectOf(98).y, before98.y);  // only the first shown of 42, 95, 98, 143 moves
        // Bottom controls: y = height + laid-out y - own height (buttons are 56 high).
        EXPECT_EQ(RectOf(347).x, 200);
        EXPECT_EQ(RectOf(347).y, c.height - 20 - 56);
        EXPECT_EQ(RectOf(330).y, c.height - 10 - 56);
        EXPECT_EQ(RectOf(370).x, 800 - 170);
        EXPECT_EQ(RectOf(370).y, c.height - 30 - 56);
        // The bar panel takes what 235, 236 and 257 leave (800 - 200 - 160 - 160).
        EXPECT_EQ(RectOf(237).width, 280);
        EXPECT_EQ(RectOf(238).width, 280);
        EXPECT_EQ(RectOf(238).x, 360);
        EXPECT_TRUE(placed.empty());  // no screen-part controls on this board
        m_host->SetCustomSceneProc(nullptr);
    }
}

TEST_F(SceneProcTest, RouteInfoStaticsShareTheWidth) {
    Start(1000, 480, 151);
    RouteInfoSceneProc proc;
    ActivateSceneProc(&proc);
    // Widths: 6 is 200, 7 and 5 are 160: (1000 - 520) / 2 = 240 each.
    EXPECT_EQ(RectOf(2).width, 1000);
    EXPECT_EQ(RectOf(3).x, 200);
    EXPECT_EQ(RectOf(3).width, 240);
    EXPECT_EQ(RectOf(4).x, 200 + 240 + 160);
    EXPECT_EQ(RectOf(4).width, 240);
    EXPECT_EQ(RectOf(4).y, 0);
}

TEST_F(SceneProcTest, MapDimmedWhileThePopupIsOpen) {
    struct Case {
        int32_t board;
        int32_t popup;
    } cases[] = {{150, 385}, {151, 67}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.popup);
        Start(800, 480, c.board);
        DriveSceneProc drive;
        RouteInfoSceneProc info;
        NvCustomSceneProc* proc = c.board == 150 ? static_cast<NvCustomSceneProc*>(&drive) : &info;
        m_host->SetCustomSceneProc(proc);
        m_host->DrawFrame(true, false);
        const uint16_t bright = NvBackBuffer()->Pixel(790, 470);
        BoardHelper helper;
        ASSERT_EQ(helper.OpenPopup(c.popup, 0, 0xFFFF, 1), 1);
        m_host->DrawFrame(true, false);
        const uint16_t dimmed = NvBackBuffer()->Pixel(790, 470);
        EXPECT_NEAR(dimmed >> 11, (bright >> 11) / 2, 1);
        EXPECT_NEAR((dimmed >> 5) & 63, ((bright >> 5) & 63) / 2, 1);
        helper.ClosePopup(c.popup);
        m_host->DrawFrame(true, false);
        EXPECT_EQ(NvBackBuffer()->Pixel(790, 470), bright);
        m_host->SetCustomSceneProc(nullptr);
    }
}

}  // namespace
