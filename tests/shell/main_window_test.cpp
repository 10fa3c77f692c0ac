// The main window's message handling: the input gate and its rotations,
// the keys, the timer path with its hold after a resize, the first switch
// out of the start state, the exit request, and the timers' coalescing.
#include "shell/main_window.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "platform/clock.h"
#include "shell/external_link.h"
#include "shell/window_link.h"

namespace {

struct Seen {
    uint32_t message;
    uint64_t wParam;
    int64_t lParam;
};

class FakeChapters : public ShellChapters {
public:
    int CurrentChapterId() const override { return id; }
    uint32_t LastSwitchTick() const override { return switchTick; }
    void DispatchInput(uint32_t message, uint64_t wParam, int64_t lParam) override {
        input.push_back({message, wParam, lParam});
    }
    void OnChapterEvent(int event) override { events.push_back(event); }
    void Update() override { ++updates; }

    int id = 16;
    uint32_t switchTick = 0;
    std::vector<Seen> input;
    std::vector<int> events;
    int updates = 0;
};

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override { PublishChapters(&chapters); }
    void TearDown() override { PublishChapters(nullptr); }

    MainWindow Make(int rotate = 0, int hide = 0) {
        MainWindowServices s;
        s.remoteAction = [this](int action, int chapter) { remote.emplace_back(action, chapter); };
        s.broadcastStatus = [this](int code, int value) { status.emplace_back(code, value); };
        s.timerJobs = [this] { ++timerJobs; };
        s.showMainWindow = [this] { ++mainShown; };
        s.closeSplash = [this] { ++splashClosed; };
        s.showFrame = [this] { ++frameShown; };
        s.destroyWindow = [this] { ++destroyed; };
        MainWindowSettings settings;
        settings.rotate = rotate;
        settings.hideMode = hide;
        return MainWindow(settings, std::move(s));
    }

    platform::FakeClock clock{100000};
    platform::ScopedClock scope{clock};
    FakeChapters chapters;
    std::vector<std::pair<int, int>> remote, status;
    int timerJobs = 0, mainShown = 0, splashClosed = 0, frameShown = 0, destroyed = 0;
};

TEST_F(MainWindowTest, PointerInputIsRotatedOntoTheClient) {
    const struct {
        int mode;
        int32_t x, y;        // as the window reports it
        int32_t wantX, wantY;
    } kCases[] = {
        {0, 10, 20, 10, 20},
        {2, 10, 20, 789, 459},   // W - 1 - x, H - 1 - y on 800 x 480
        {2, 0, 0, 799, 479},     // the corner stays on the client
        {2, 799, 479, 0, 0},
        {1, 10, 20, 20, 469},    // (y, H - 1 - x)
        {1, 479, 799, 799, 0},
        {3, 10, 20, 779, 10},    // (W - 1 - y, x)
        {3, 0, 799, 0, 0},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " (" << c.x << ", " << c.y << ")");
        chapters.input.clear();
        MainWindow window = Make(c.mode);
        window.Dispatch(kWmLButtonDown, 1, MakePointParam(c.x, c.y), 100);
        ASSERT_EQ(chapters.input.size(), 1u);
        EXPECT_EQ(PointParamX(chapters.input[0].lParam), c.wantX);
        EXPECT_EQ(PointParamY(chapters.input[0].lParam), c.wantY);
    }
}

TEST_F(MainWindowTest, InputOlderThanTheLastSwitchReachesNoChapterButKeysStillAct) {
    MainWindow window = Make();
    chapters.switchTick = 500;
    window.Dispatch(kWmLButtonDown, 1, MakePointParam(5, 5), 499);
    window.Dispatch(kWmKeyDown, kVkEscape, 0, 499);
    EXPECT_TRUE(chapters.input.empty());
    ASSERT_EQ(remote.size(), 1u);
    EXPECT_EQ(remote[0], std::make_pair(3, 16));
    window.Dispatch(kWmLButtonDown, 1, MakePointParam(5, 5), 500);
    EXPECT_EQ(chapters.input.size(), 1u);
}

TEST_F(MainWindowTest, KeysGiveTheirRemoteActions) {
    MainWindow window = Make();
    const struct {
        uint32_t message;
        uint32_t key;
        int action;   // 0: none
    } kCases[] = {{kWmKeyDown, kVkEscape, 3}, {kWmKeyDown, kVkLeft, 1}, {kWmKeyDown, kVkRight, 2},
                  {kWmKeyDown, kVkF3, 6},     {kWmKeyUp, kVkF2, 13},    {kWmKeyDown, kVkF2, 0},
                  {kWmKeyUp, kVkEscape, 0}};
    for (const auto& c : kCases) {
        SCOPED_TRACE(testing::Message() << c.message << " " << c.key);
        remote.clear();
        window.Dispatch(c.message, c.key, 0, 1);
        if (c.action) {
            ASSERT_EQ(remote.size(), 1u);
            EXPECT_EQ(remote[0].first, c.action);
        } else {
            EXPECT_TRUE(remote.empty());
        }
    }
}

TEST_F(MainWindowTest, TimerTicksAreHeldFor100MsAfterAResize) {
    MainWindow window = Make();
    window.Dispatch(kWmSize, 0, MakePointParam(800, 480), 0);
    clock.Advance(99);
    window.Dispatch(kWmTimer, kUpdateTimerId, 0, 0);
    EXPECT_EQ(timerJobs, 0);
    EXPECT_EQ(chapters.updates, 0);
    clock.Advance(1);
    window.Dispatch(kWmTimer, kUpdateTimerId, 0, 0);
    EXPECT_EQ(timerJobs, 1);
    EXPECT_EQ(chapters.updates, 1);
    // Another timer runs the jobs but not the chapter's update.
    window.Dispatch(kWmTimer, 7, 0, 0);
    EXPECT_EQ(timerJobs, 2);
    EXPECT_EQ(chapters.updates, 1);
}

TEST_F(MainWindowTest, FirstSwitchShowsTheWindowUnlessHidden) {
    for (int hide : {0, 1}) {
        SCOPED_TRACE(hide);
        mainShown = splashClosed = frameShown = 0;
        status.clear();
        chapters.events.clear();
        chapters.id = 1;
        MainWindow window = Make(0, hide);
        window.Dispatch(kWmChapterEvent, 0, 0, 0);
        EXPECT_EQ(mainShown, hide ? 0 : 1);
        EXPECT_EQ(splashClosed, hide ? 0 : 1);
        EXPECT_EQ(frameShown, 1);   // the frame is shown in every mode
        ASSERT_EQ(status.size(), 1u);
        EXPECT_EQ(status[0], std::make_pair(kStatusFirstScreen, 0));
        EXPECT_EQ(chapters.events, std::vector<int>{0});
        // Later events do not show anything again.
        chapters.id = 16;
        window.Dispatch(kWmChapterEvent, 5, 0, 0);
        EXPECT_EQ(frameShown, 1);
    }
}

TEST_F(MainWindowTest, ExitRequestNeverReachesTheChapters) {
    MainWindow window = Make();
    window.Dispatch(kWmChapterEvent, kChapterEventExit, 0, 0);
    EXPECT_TRUE(chapters.events.empty());
    EXPECT_EQ(destroyed, 1);
}

TEST_F(MainWindowTest, WithoutChaptersEveryPathIsSafe) {
    PublishChapters(nullptr);
    MainWindow window = Make();
    window.Dispatch(kWmLButtonDown, 1, 0, 0);
    window.Dispatch(kWmKeyDown, kVkEscape, 0, 0);
    window.Dispatch(kWmChapterEvent, 0, 0, 0);
    clock.Advance(1000);
    window.Dispatch(kWmTimer, kUpdateTimerId, 0, 0);
    ASSERT_EQ(remote.size(), 1u);
    EXPECT_EQ(remote[0], std::make_pair(3, 0));
    EXPECT_EQ(frameShown, 0);
}

TEST(WindowTimersTest, DeadlinesMoveByWholePeriodsAndMissedTicksCoalesce) {
    WindowTimers timers;
    timers.Set(kUpdateTimerId, 150, 1000);
    std::vector<uint64_t> fired;
    auto run = [&](uint64_t now) { timers.FireDue(now, [&](uint32_t) { fired.push_back(now); }); };
    run(1149);
    EXPECT_TRUE(fired.empty());
    run(1150);
    run(1160);                 // not due again before 1300
    EXPECT_EQ(fired, (std::vector<uint64_t>{1150}));
    run(1880);                 // the ticks of 1300..1750 missed: one tick
    EXPECT_EQ(fired.size(), 2u);
    EXPECT_EQ(timers.NextDeadline(), 1900u);   // still on the 150 ms grid
    run(1899);
    run(1900);
    EXPECT_EQ(fired.size(), 3u);
}

}  // namespace

namespace {

// Messages from other programs: the remote-control broadcasts reach the
// chapter through the time gate (home and office not while blocked; the
// oil-price and re-route ones never), the rest goes to the link; the first
// switch enables the remote control; event 149 is the exit request.
TEST_F(MainWindowTest, LinkMessagesRemoteBroadcastsAndTheExitRequest) {
    std::vector<uint32_t> linked;
    int enabled = 0, exitRequests = 0;
    MainWindowServices s;
    s.linkMessage = [&](uint32_t message, uint64_t, int64_t) {
        linked.push_back(message);
        return true;
    };
    s.enableRemote = [&] { ++enabled; };
    s.requestExit = [&] { ++exitRequests; };
    s.destroyWindow = [this] { ++destroyed; };
    MainWindow window(MainWindowSettings{}, std::move(s));
    const uint32_t home = RegisterLinkMessage(kRegRmcHome);
    const uint32_t zoomIn = RegisterLinkMessage(kRegRmcZoomIn);
    const uint32_t oil = RegisterLinkMessage(kRegRmcOilInfo);
    const uint32_t command = RegisterLinkMessage(kRegCommand);
    chapters.switchTick = 100000;
    window.Dispatch(zoomIn, 0, 0, 100000);
    window.Dispatch(home, 0, 0, 100000);
    SetHomeOfficeKeysBlocked(true);
    window.Dispatch(home, 0, 0, 100000);
    SetHomeOfficeKeysBlocked(false);
    window.Dispatch(zoomIn, 0, 0, 99999);  // older than the switch
    window.Dispatch(oil, 0, 0, 100000);
    window.Dispatch(command, 1002, 0, 100000);
    ASSERT_EQ(chapters.input.size(), 2u);
    EXPECT_EQ(chapters.input[0].message, zoomIn);
    EXPECT_EQ(chapters.input[1].message, home);
    EXPECT_EQ(linked, (std::vector<uint32_t>{oil, command}));
    chapters.id = 1;
    window.Dispatch(kWmChapterEvent, 5, 0, 100000);
    EXPECT_EQ(enabled, 1);
    window.Dispatch(kWmChapterEvent, kChapterEventExit, 0, 100000);
    EXPECT_EQ(exitRequests, 1);
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(chapters.events, std::vector<int>{5});
}

}  // namespace
