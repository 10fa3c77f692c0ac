// The chapter bases on the demo UI's board host, headless: the placeholder
// screen made by the program's factory (its board as a golden, back and
// home posting 90 and 148), the start notice's board and button, the
// bindings of the list-and-menu base (check modes, dimmed buttons, the hub's
// quiet post codes, gauges), typed characters as keyboard keys, and the
// question before returning to the current position.
//
// Golden: tests/uikit/golden/shell_placeholder_40.png, at most 0.2 % of the
// pixels may differ (glyph edges of the test fonts).
#include <gtest/gtest.h>

#include <vector>

#include "screens/traffic/start_notice.h"
#include "settings/course_current.h"
#include "settings/module_svc.h"
#include "shell/chapter_manager.h"
#include "shell/main_queue.h"
#include "shell/placeholder_chapter.h"
#include "shell/shell_services.h"
#include "shell_board_fixture.h"
#include "tests/uikit/golden_png.h"
#include "uikit/ctrl_value.h"

namespace {

std::vector<int32_t> PostedEvents() {
    std::vector<int32_t> events;
    MainMessage m;
    while (MainQueue::Instance().TryTake(m))
        if (m.message == kWmChapterEvent) events.push_back(static_cast<int32_t>(m.wParam));
    return events;
}

class ChapterBaseTest : public shelltest::ShellBoardTest {
protected:
    void SetUp() override {
        StartHost();
        MainQueue::Instance().Clear();
    }
    void TearDown() override {
        MainQueue::Instance().Clear();
        SetReturnQuestionHook(nullptr);
        ShellBoardTest::TearDown();
    }
    // A press in the middle of a control of the board.
    uint32_t Middle(int32_t layoutId) {
        NvControl* c = m_host->GetControl(layoutId);
        EXPECT_NE(c, nullptr) << layoutId;
        if (!c) return 0;
        const NvRect& r = c->GetRect();
        return NvMakePoint(r.x + r.width / 2, r.y + r.height / 2);
    }
};

TEST_F(ChapterBaseTest, PlaceholderBoardGoldenAndItsBackAndHomeButtons) {
    ChapterFactory factory;
    factory.AddTableIds(ChapterTransitionTable());
    ASSERT_TRUE(factory.Knows(40));
    ChapterManager manager(nullptr, 6, &factory);
    manager.OnChapterEvent(44);  // the main menu's name search: placeholder 40
    ASSERT_EQ(manager.GetCurrentChapterId(), 40);
    auto* chapter = dynamic_cast<PlaceholderChapter*>(manager.GetCurrentChapter());
    ASSERT_NE(chapter, nullptr);
    EXPECT_EQ(m_host->GetBoard()->m_boardId, kPlaceholderBoardId);
    manager.UpdateCurrent();
    const int differ = uitest::CompareGolden(m_window->Frame(), "shell_placeholder_40");
    EXPECT_GE(differ, 0) << "golden missing";
    EXPECT_LE(differ, 800 * 480 / 500);

    // The back button does not sound its own touch: the cancel sound comes
    // from the chapter (when touch sounds are on).
    EXPECT_EQ(m_host->GetControl(kPlaceholderBack)->m_touchSound, 0);
    manager.DispatchInput(kChapterMsgLButtonDown, 0, Middle(kPlaceholderBack));
    EXPECT_EQ(PostedEvents(), std::vector<int32_t>{kChapterEventBack});
    // Home: no guided route, so no question; event 148.
    CMgrConfigModuleSVC::Instance()->SetState(0);
    manager.DispatchInput(kChapterMsgLButtonDown, 0, Middle(kPlaceholderHome));
    EXPECT_EQ(PostedEvents(), std::vector<int32_t>{kChapterEventHome});
    // Both lead somewhere: back to the menu.
    manager.OnChapterEvent(kChapterEventBack);
    EXPECT_EQ(manager.GetCurrentChapterId(), 6);
}

// Route progress answers neither back nor home: its placeholder's buttons
// post the results that leave it (21 cancelled: back where the route was
// asked for; 18 failed: to the bottom of the stack), never a dead screen.
TEST_F(ChapterBaseTest, RouteProgressPlaceholderLeavesByItsResults) {
    ChapterFactory factory;
    factory.AddTableIds(ChapterTransitionTable());
    CMgrConfigModuleSVC::Instance()->SetState(0);
    for (const auto& [control, expectedEvent] : {std::pair{kPlaceholderBack, 21}, std::pair{kPlaceholderHome, 18}}) {
        SCOPED_TRACE(control);
        ChapterManager manager(nullptr, 6, &factory);
        manager.OnChapterEvent(12);  // the main menu asks for a route
        ASSERT_EQ(manager.GetCurrentChapterId(), 18);
        ASSERT_NE(dynamic_cast<PlaceholderChapter*>(manager.GetCurrentChapter()), nullptr);
        manager.DispatchInput(kChapterMsgLButtonDown, 0, Middle(control));
        const std::vector<int32_t> posted = PostedEvents();
        ASSERT_EQ(posted, std::vector<int32_t>{expectedEvent});
        manager.OnChapterEvent(posted[0]);
        EXPECT_EQ(manager.GetCurrentChapterId(), 6);
    }
}

TEST_F(ChapterBaseTest, StartNoticeButtonPostsItsEventOnce) {
    ChapterFactory factory;
    RegisterTrafficScreens(factory);
    ChapterManager manager(nullptr, kChapterStartId, &factory);
    manager.OnChapterEvent(0);  // normal start: the notice
    ASSERT_EQ(manager.GetCurrentChapterId(), 3);
    EXPECT_EQ(m_host->GetBoard()->m_boardId, kStartNoticeBoardId);
    manager.DispatchInput(kChapterMsgLButtonDown, 0, Middle(kStartNoticeButton));
    EXPECT_EQ(PostedEvents(), std::vector<int32_t>{kStartNoticeEvent});
}

// A list screen on the gallery board: button 1, check box 9, radio 10,
// progress bar 8.
class BindingChapter : public BaseChapterUICommon {
public:
    explicit BindingChapter(int32_t id) : BaseChapterUICommon(id) { InitBoard(1, -1, -1); }
    int32_t OnPostProcess(int32_t controlId, int32_t postCode) override {
        processed.push_back(controlId * 100000 + postCode);
        return 0;
    }
    using BaseChapterUICommon::RefreshBindings;
    std::vector<int32_t> processed;
};

TEST_F(ChapterBaseTest, BindingsFollowTheirValuesAndPressesPostEvents) {
    struct Case {
        const char* name;
        int32_t chapterId;
        int32_t postCode;
        std::vector<int32_t> posted;
    };
    const Case cases[] = {
        {"menu", 6, 12010, {57}},
        {"hub, quiet code 12010", 42, 12010, {}},
        {"hub, quiet code 12020", 42, 12020, {}},
        {"hub, other code", 42, 12030, {57}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BindingChapter chapter(c.chapterId);
        int32_t selected = 0;
        chapter.AddButtonRule4(1, &selected, 1, 0, 57, c.postCode);  // dimmed while selected == 1
        chapter.ActiveChapter();
        EXPECT_FALSE(chapter.IsControlDimmed(1));
        chapter.EH_LButtonDown(1, 0, 1, 0);
        EXPECT_EQ(PostedEvents(), c.posted);
        EXPECT_EQ(chapter.processed, std::vector<int32_t>{100000 + c.postCode});
        selected = 1;
        EXPECT_EQ(chapter.RefreshBindings(0), 1);
        EXPECT_TRUE(chapter.IsControlDimmed(1));
        chapter.EH_LButtonDown(1, 0, 1, 0);  // dimmed: ignored
        EXPECT_TRUE(PostedEvents().empty());
        EXPECT_EQ(chapter.processed.size(), 1u);
        chapter.DeActiveChapter();
    }
}

TEST_F(ChapterBaseTest, CheckModesToggleSetAndMaskTheirValues) {
    BindingChapter chapter(97);
    uint8_t toggle = 0;
    int32_t mask = 0x4;
    int32_t choice = 2;
    int32_t gauge = 3;
    chapter.AddCheckBinding(9, &toggle, 1, 1, kCheckModeToggle, nullptr, 0, 0, 0, 0, 0);
    chapter.AddCheckBinding4(10, &choice, 5, kCheckModeEquals, nullptr, 0, 0, 0, 0);
    chapter.ActiveChapter();
    chapter.AddGaugeBinding(8, 10, &gauge, 4);
    chapter.RefreshBindings(0);
    EXPECT_FALSE(chapter.IsChecked(9));
    EXPECT_FALSE(chapter.IsChecked(10));
    EXPECT_EQ(chapter.GetGaugePos(8), 3);
    // Toggle over one byte: 0 -> 1 -> 0, and the box follows.
    EXPECT_EQ(chapter.EH_LButtonDown(9, 0, 1, 0), 1);
    EXPECT_EQ(toggle, 1);
    EXPECT_TRUE(chapter.IsChecked(9));
    chapter.EH_LButtonDown(9, 0, 1, 0);
    EXPECT_EQ(toggle, 0);
    EXPECT_FALSE(chapter.IsChecked(9));
    // Equals: the press stores the reference.
    chapter.EH_LButtonDown(10, 0, 1, 0);
    EXPECT_EQ(choice, 5);
    EXPECT_TRUE(chapter.IsChecked(10));
    // Bit mask: the press flips the bit; checked while any masked bit is set.
    chapter.ClearCheckBindings();
    chapter.AddCheckBinding4(10, &mask, 0x4, kCheckModeBitMask, nullptr, 0, 0, 0, 0);
    chapter.EH_LButtonDown(10, 0, 1, 0);
    EXPECT_EQ(mask, 0);
    EXPECT_FALSE(chapter.IsChecked(10));
    chapter.EH_LButtonDown(10, 0, 1, 0);
    EXPECT_EQ(mask, 0x4);
    EXPECT_TRUE(chapter.IsChecked(10));
    // Gauges follow their value after a press.
    gauge = 7;
    chapter.EH_LButtonDown(10, 0, 1, 0);
    EXPECT_EQ(chapter.GetGaugePos(8), 7);
    // A control that is not on the board is skipped.
    chapter.SetControlDim(250, true, true);
    EXPECT_FALSE(chapter.IsControlDimmed(250));
    chapter.DeActiveChapter();
}

// A board screen on the full keyboard's board (keyboard at layout 2).
class KeyboardChapter : public BaseChapterBoard {
public:
    explicit KeyboardChapter(int32_t id) : BaseChapterBoard(id) { InitBoard(2, -1, -1); }
    int32_t OnControlEvent(int32_t controlId, int32_t value, int32_t action) override {
        keys.push_back({controlId, value, action});
        return 1;
    }
    std::vector<std::vector<int32_t>> keys;
};

TEST_F(ChapterBaseTest, TypedCharactersBecomeKeysOfTheBoardsKeyboard) {
    KeyboardChapter chapter(40);
    chapter.ActiveChapter();
    chapter.OnMessage(kChapterMsgTypedChar, u'y', 0);
    chapter.OnMessage(kChapterMsgTypedChar, u'Z', 0);
    chapter.OnMessage(kChapterMsgTypedChar, u'\u3150', 0);
    chapter.OnMessage(kChapterMsgTypedChar, u'\u3156', 0);
    const std::vector<std::vector<int32_t>> expected = {{2, 75, 5}, {2, 76, 5}, {2, 77, 5}, {2, 80, 5}};
    EXPECT_EQ(chapter.keys, expected);
    // Without a keyboard on the board, characters are dropped.
    m_host->LoadBoard(4);
    chapter.keys.clear();
    chapter.OnMessage(kChapterMsgTypedChar, u'y', 0);
    EXPECT_TRUE(chapter.keys.empty());
}

TEST_F(ChapterBaseTest, ReturnQuestionKeepsAChangedCourseUnlessTheFirstButton) {
    CMgrConfigUIInfoCourseCurrent* course = CMgrConfigUIInfoCourseCurrent::Instance();
    CMgrConfigModuleSVC* svc = CMgrConfigModuleSVC::Instance();
    course->ClearBackup(2);
    course->SetStartPoint(MakeCoursePos(66644575, 19665355, u"출발"), 1);
    ASSERT_EQ(course->BackupCourse(2), 1);
    course->SetStartPoint(MakeCoursePos(66645575, 19666355, u"출발"), 1);
    svc->SetState(1);
    int asked = 0;
    for (int answer : {4096, 8192}) {
        SCOPED_TRACE(answer);
        SetReturnQuestionHook([&](const char16_t*, int timeoutMs) {
            EXPECT_EQ(timeoutMs, 5000);
            ++asked;
            return answer;
        });
        EXPECT_EQ(ConfirmReturnToCurrentPosition(), answer == 8192 ? 1 : 0);
        EXPECT_EQ(course->IsSameAsBackup(2), answer == 8192 ? 1 : 0);
    }
    EXPECT_EQ(asked, 2);
    svc->SetState(0);
    course->ClearBackup(2);
}

}  // namespace
