// The chapter manager over the program's transition table, with chapters
// that write what happens to them into a log: a table of (start mode,
// events that set the stack up, context, event) -> (current chapter, stack
// depth, entry mode and value, activations and deactivations in order),
// covering every row type, guard kind and after-callback; then the stack
// limit, chapters that cannot be made, the context clear, the switch tick,
// the main queue and the start notice.
//
// Log words: A16:m3/v5 chapter 16 activated with entry mode 3 and value 5,
// D16 deactivated, X16 deleted.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "foundation/debug_trace.h"
#include "foundation/system_settings.h"
#include "platform/clock.h"
#include "screens/traffic/start_notice.h"
#include "shell/chapter_manager.h"
#include "shell/main_queue.h"
#include "shell/shell_services.h"

namespace {

std::vector<std::string> g_log;

class RecordingChapter : public BaseChapter {
public:
    explicit RecordingChapter(int32_t id) : BaseChapter(id) {}
    ~RecordingChapter() override { g_log.push_back("X" + std::to_string(m_chapterId)); }
    void ActiveChapter() override {
        std::string line = "A" + std::to_string(m_chapterId);
        if (m_entryMode != 0 || m_entryValue != 0)
            line += ":m" + std::to_string(m_entryMode) + "/v" + std::to_string(m_entryValue);
        g_log.push_back(line);
    }
    int32_t OnMessage(uint32_t, uint64_t, int64_t) override { return 0; }
    void Update() override { g_log.push_back("U" + std::to_string(m_chapterId)); }
    void DeActiveChapter() override { g_log.push_back("D" + std::to_string(m_chapterId)); }
};

std::string Joined() {
    std::string out;
    for (const std::string& word : g_log) out += (out.empty() ? "" : " ") + word;
    return out;
}

int SettingIndex(const char* key) {
    for (int i = 0; i <= SYS_ITEM_COUNT; ++i)
        if (const char* name = GetSystemSettingKey(i); name && std::strcmp(name, key) == 0) return i;
    return -1;
}

// Every id of the table made as a recording chapter, except those listed
// as failing (their maker gives nothing).
ChapterFactory RecordingFactory(const std::set<int32_t>& failing = {}) {
    ChapterFactory factory;
    for (const ChapterTransition* row = ChapterTransitionTable(); row->fromId != 0; ++row)
        for (int32_t id : {row->fromId, row->toId, row->popUntilId}) {
            if (id <= 1) continue;
            if (failing.count(id))
                factory.Register(id, [](int32_t) { return std::unique_ptr<BaseChapter>(); });
            else
                factory.Register(id, [](int32_t chapterId) { return std::make_unique<RecordingChapter>(chapterId); });
        }
    return factory;
}

enum class Mode { kNormal, kDemo, kDemo2, kHide, kMbcOnly };

class ChapterManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(ChapterTransitionTable(), nullptr);
        g_log.clear();
        MainQueue::Instance().Clear();
        SetSystemSettingsSource(&m_settings);
    }
    void TearDown() override {
        SetSystemSettingsSource(nullptr);
        MainQueue::Instance().Clear();
    }
    void SetMode(Mode mode) {
        m_settings = FixedSystemSettings();
        if (mode == Mode::kDemo) m_settings.SetInt(SYS_DEMO, 1);
        if (mode == Mode::kDemo2) m_settings.SetInt(SYS_DEMO, 2);
        if (mode == Mode::kHide) m_settings.SetInt(SYS_HIDEMODE, 1);
        if (mode == Mode::kMbcOnly) m_settings.SetInt(SettingIndex("TPEGMBC"), 1);
    }

    FixedSystemSettings m_settings;
};

struct Case {
    const char* name;
    Mode mode;
    std::vector<int32_t> setup;  // after the start event 0
    ChapterEventContext context; // set before the event
    int32_t event;
    int32_t current;
    int depth;
    int32_t entryMode;
    int32_t entryValue;
    const char* log;  // of the event alone
};

TEST_F(ChapterManagerTest, TransitionsByRowTypeGuardAndCallback) {
    const ChapterEventContext none{};
    const Case cases[] = {
        // The start: the first screen by the start mode ("DEMO" non-zero is
        // the demonstration whatever its value).
        {"start normal", Mode::kNormal, {}, none, 0, 3, 0, 0, 0, ""},
        {"start demo", Mode::kDemo, {}, none, 0, 5, 0, 0, 0, ""},
        {"start demo 2", Mode::kDemo2, {}, none, 0, 5, 0, 0, 0, ""},
        {"start hidden", Mode::kHide, {}, none, 0, 4, 0, 0, 0, ""},
        // Replace (=T): the new chapter is made before the old one goes.
        {"notice to map", Mode::kNormal, {}, none, 23, 16, 0, 0, 0, "D3 X3 A16"},
        {"demo to notice", Mode::kDemo, {}, none, 1, 3, 0, 0, 0, "D5 X5 A3"},
        {"hidden to map", Mode::kHide, {}, none, 22, 16, 0, 0, 0, "D4 X4 A16"},
        // =stay: nothing switches, nothing is activated.
        {"stay", Mode::kNormal, {23}, none, 77777, 16, 0, 0, 0, ""},
        // Push (+T) with after-callbacks.
        {"push", Mode::kNormal, {23}, none, 8, 13, 1, 0, 0, "D16 A13"},
        {"push m3", Mode::kNormal, {23}, none, 33, 21, 1, 3, 0, "D16 A21:m3/v0"},
        {"push mA", Mode::kNormal, {23}, {7, 0, 0, 0}, 44, 40, 1, 7, 0, "D16 A40:m7/v0"},
        {"push vA m0", Mode::kNormal, {23}, {5, 0, 0, 0}, 11, 17, 1, 0, 5, "D16 A17:m0/v5"},
        {"push C0 vA m0", Mode::kNormal, {23}, {4, 0, 9, 0}, 36, 35, 1, 0, 4, "D16 A35:m0/v4"},
        {"push mA+1", Mode::kNormal, {23, 14}, {2, 0, 0, 0}, 13, 19, 2, 3, 0, "D6 A19:m3/v0"},
        {"push mA+1 out of range", Mode::kNormal, {23, 14}, {3, 0, 0, 0}, 13, 19, 2, 0, 0, "D6 A19"},
        {"push m0 from the hub", Mode::kNormal, {23}, none, 14, 6, 1, 0, 0, "D16 A6"},
        {"push m4", Mode::kNormal, {23}, none, 37, 6, 1, 4, 0, "D16 A6:m4/v0"},
        {"push A1 m1", Mode::kNormal, {23, 16}, none, 82, 42, 2, 1, 0, "D30 A42:m1/v0"},
        {"push A2 m2", Mode::kNormal, {23, 16}, none, 61, 42, 2, 2, 0, "D30 A42:m2/v0"},
        // Pop until (^21) with mB: the route information below comes back.
        {"pop until 21 mB", Mode::kNormal, {23, 33, 29}, {0, 6, 0, 0}, 17, 21, 1, 6, 0, "D18 X18 A21:m6/v0"},
        {"push m0 D0", Mode::kNormal, {23, 33, 24, 28}, none, 86, 91, 4, 0, 0, "D29 A91"},
        {"push mD", Mode::kNormal, {23, 33, 24, 28, 87}, {0, 0, 0, 1}, 88, 92, 5, 1, 0, "D91 A92:m1/v0"},
        {"push vA mC", Mode::kNormal, {23, 14, 71, 72}, {8, 0, 1, 0}, 43, 35, 4, 1, 8, "D71 A35:m1/v8"},
        // Back (<).
        {"back", Mode::kNormal, {23, 8}, none, 90, 16, 0, 0, 0, "D13 X13 A16"},
        {"back on an empty stack", Mode::kHide, {}, none, 90, 4, 0, 0, 0, "A4"},
        {"back A0", Mode::kNormal, {23, 16}, {5, 0, 0, 0}, 90, 16, 0, 0, 0, "D30 X30 A16"},
        // Pop until then push (^P, T = 0).
        {"pop until 30", Mode::kNormal, {23, 16, 42}, none, 16, 30, 1, 0, 0, "D19 X19 A30"},
        // Pop until then replace (^P=T), guard !on33.
        {"pop until 16 then 33", Mode::kNormal, {23, 30}, none, 32, 33, 0, 0, 0, "D31 X31 X16 A33"},
        // Pop all (^^) from a depth of 5: every chapter goes, the bottom one
        // comes back.
        {"home from depth 5", Mode::kNormal, {23, 14, 46, 47, 43, 42}, none, 148, 16, 0, 0, 0,
         "D19 X19 X47 X44 X43 X6 A16"},
        // Pop all then push (^^+T) with the on33 guards.
        {"pop all push 95", Mode::kNormal, {23, 14}, none, 94, 95, 1, 0, 0, "D6 X6 A95"},
        {"pop all push 96", Mode::kNormal, {23, 32, 14}, none, 94, 96, 1, 0, 0, "D6 X6 A96"},
        // prev guards.
        {"prev40 stays", Mode::kNormal, {23, 44, 38}, none, 40, 36, 2, 0, 0, ""},
        {"not prev40 goes back", Mode::kNormal, {23, 13, 38}, none, 40, 19, 1, 0, 0, "D36 X36 A19"},
        {"not prev19 pushes", Mode::kNormal, {23, 11}, none, 42, 19, 2, 1, 0, "D17 A19:m1/v0"},
        {"prev19 pops back", Mode::kNormal, {23, 13, 11}, none, 42, 19, 1, 0, 0, "D17 X17 A19"},
        // B1 guards; B0 / B2 callbacks (context checked below).
        {"B1 passes", Mode::kNormal, {23, 33, 26}, {0, 1, 0, 0}, 12, 18, 3, 0, 0, "D27 A18"},
        {"not B1", Mode::kNormal, {23, 33, 26}, none, 12, 18, 3, 0, 0, "D27 A18"},
        // Broadcaster guards.
        {"tpegA", Mode::kNormal, {23}, none, 20, 22, 1, 0, 0, "D16 A22"},
        {"tpegB", Mode::kMbcOnly, {23}, none, 20, 23, 1, 0, 0, "D16 A23"},
        // on6 guards of the traffic screens.
        {"leave traffic to the menu", Mode::kNormal, {23, 14, 20}, none, 129, 6, 1, 0, 0, "D22 X22 A6"},
        {"leave traffic, no menu", Mode::kNormal, {23, 20}, none, 129, 16, 0, 0, 0, "D22 X22 A16"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetMode(c.mode);
        const ChapterFactory factory = RecordingFactory();
        {
            ChapterManager manager(nullptr, kChapterStartId, &factory);
            g_log.clear();
            if (c.event == 0) {
                manager.Context() = c.context;
                manager.OnChapterEvent(0);
                EXPECT_EQ(manager.GetCurrentChapterId(), c.current);
                EXPECT_EQ(Joined(), std::string("A") + std::to_string(c.current));
                continue;
            }
            manager.OnChapterEvent(0);
            for (int32_t e : c.setup) manager.OnChapterEvent(e);
            manager.Context() = c.context;
            g_log.clear();
            manager.OnChapterEvent(c.event);
            EXPECT_EQ(manager.GetCurrentChapterId(), c.current);
            EXPECT_EQ(manager.StackDepth(), c.depth);
            ASSERT_NE(manager.GetCurrentChapter(), nullptr);
            EXPECT_EQ(manager.GetCurrentChapter()->GetEntryMode(), c.entryMode);
            EXPECT_EQ(manager.GetCurrentChapter()->GetEntryValue(), c.entryValue);
            EXPECT_EQ(Joined(), c.log);
        }
    }
}

TEST_F(ChapterManagerTest, AfterCallbacksSetTheContextWords) {
    const ChapterFactory factory = RecordingFactory();
    ChapterManager manager(nullptr, kChapterStartId, &factory);
    for (int32_t e : {0, 23, 16}) manager.OnChapterEvent(e);  // 16 -> 30
    manager.OnChapterEvent(82);                                // 30 -> 42, A1 m1
    EXPECT_EQ(manager.Context().A, 1);
    manager.OnChapterEvent(90);
    manager.OnChapterEvent(90);  // back from 30 with A0
    EXPECT_EQ(manager.GetCurrentChapterId(), 16);
    EXPECT_EQ(manager.Context().A, 0);
    for (int32_t e : {33, 26}) manager.OnChapterEvent(e);  // 21, 27
    manager.OnChapterEvent(12);                             // !B1 -> B2
    EXPECT_EQ(manager.GetCurrentChapterId(), 18);
    EXPECT_EQ(manager.Context().B, 2);
    manager.OnChapterEvent(18);  // route progress: pop all
    for (int32_t e : {33, 26}) manager.OnChapterEvent(e);
    manager.Context().B = 1;
    manager.OnChapterEvent(12);  // B1 row: no callback
    EXPECT_EQ(manager.Context().B, 1);
    manager.OnChapterEvent(19);
    manager.OnChapterEvent(12);  // 16: 12+18!B0
    EXPECT_EQ(manager.Context().B, 0);
    manager.OnChapterEvent(19);
    for (int32_t e : {14, 71}) manager.OnChapterEvent(e);  // 6, 70
    manager.Context().C = 7;
    manager.OnChapterEvent(72);  // C1
    EXPECT_EQ(manager.Context().C, 1);
    manager.OnChapterEvent(90);
    manager.OnChapterEvent(73);  // C2
    EXPECT_EQ(manager.Context().C, 2);
    manager.OnChapterEvent(90);
    manager.OnChapterEvent(36);  // C0
    EXPECT_EQ(manager.Context().C, 0);
    EXPECT_EQ(manager.GetCurrentChapterId(), 71);
    manager.OnChapterEvent(148);
    for (int32_t e : {33, 24, 28, 87}) manager.OnChapterEvent(e);  // 21, 25, 29, 91 (m1 D1)
    EXPECT_EQ(manager.Context().D, 1);
    EXPECT_EQ(manager.GetCurrentChapter()->GetEntryMode(), 1);
    manager.OnChapterEvent(90);
    manager.OnChapterEvent(86);  // m0 D0
    EXPECT_EQ(manager.Context().D, 0);
}

TEST_F(ChapterManagerTest, SeventeenthPushIsRefusedAndTheScreenStays) {
    const ChapterFactory factory = RecordingFactory();
    ChapterManager manager(nullptr, kChapterStartId, &factory);
    manager.OnChapterEvent(0);
    manager.OnChapterEvent(23);
    // 16 -> 17 -> 54 -> 17 -> 54 ... (photo viewer and theme around-search
    // push each other).
    manager.OnChapterEvent(11);
    while (manager.StackDepth() < ChapterManager::kStackDepth)
        manager.OnChapterEvent(manager.GetCurrentChapterId() == 17 ? 56 : 11);
    const int32_t top = manager.GetCurrentChapterId();
    BaseChapter* const shown = manager.GetCurrentChapter();
    g_log.clear();
    manager.OnChapterEvent(top == 17 ? 56 : 11);
    EXPECT_EQ(manager.StackDepth(), ChapterManager::kStackDepth);
    EXPECT_EQ(manager.GetCurrentChapterId(), top);
    EXPECT_EQ(manager.GetCurrentChapter(), shown);
    EXPECT_EQ(Joined(), "");
    // Back still works, and home unwinds all sixteen.
    manager.OnChapterEvent(90);
    EXPECT_EQ(manager.StackDepth(), ChapterManager::kStackDepth - 1);
    manager.OnChapterEvent(148);
    EXPECT_EQ(manager.GetCurrentChapterId(), 16);
    EXPECT_EQ(manager.StackDepth(), 0);
}

TEST_F(ChapterManagerTest, AChapterThatCannotBeMadeLeavesTheScreenAsItWas) {
    const ChapterFactory factory = RecordingFactory({13, 16, 95});
    ChapterManager manager(nullptr, kChapterStartId, &factory);
    manager.OnChapterEvent(0);
    // Replace: the notice stays, still active, nothing deleted.
    g_log.clear();
    manager.OnChapterEvent(23);
    EXPECT_EQ(manager.GetCurrentChapterId(), 3);
    EXPECT_EQ(Joined(), "");
    // Push from a screen that was made: it is deactivated for the push and
    // comes back active.
    const ChapterFactory good16 = [] {
        ChapterFactory f = RecordingFactory({13, 95});
        return f;
    }();
    ChapterManager second(nullptr, kChapterStartId, &good16);
    second.OnChapterEvent(0);
    second.OnChapterEvent(23);
    second.OnChapterEvent(14);  // 6
    g_log.clear();
    second.OnChapterEvent(8);  // 6 -> 13 fails
    EXPECT_EQ(second.GetCurrentChapterId(), 6);
    EXPECT_EQ(second.StackDepth(), 1);
    EXPECT_EQ(Joined(), "D6 A6");
    // Pop all then push: the bottom chapter comes back.
    g_log.clear();
    second.OnChapterEvent(94);  // 6 -> ^^ -> 95 fails
    EXPECT_EQ(second.GetCurrentChapterId(), 16);
    EXPECT_EQ(second.StackDepth(), 0);
    EXPECT_EQ(Joined(), "D6 X6 A16");
}

TEST_F(ChapterManagerTest, PopAllAndTheDestructorEndWithoutACurrentChapter) {
    const ChapterFactory factory = RecordingFactory();
    auto manager = std::make_unique<ChapterManager>(nullptr, kChapterStartId, &factory);
    manager->OnChapterEvent(0);
    manager->OnChapterEvent(23);
    manager->OnChapterEvent(8);
    ASSERT_EQ(manager->PushChapter(), 1);  // 13 stacked, no current object
    EXPECT_EQ(manager->GetCurrentChapter(), nullptr);
    manager->PopAll();
    EXPECT_EQ(manager->StackDepth(), 0);
    EXPECT_EQ(manager->GetCurrentChapterId(), 16);
    ASSERT_EQ(manager->PushChapter(), 1);
    g_log.clear();
    manager.reset();
    EXPECT_EQ(Joined(), "X16");
}

TEST_F(ChapterManagerTest, ClearContextEventActsAtOnceAndIsNotPosted) {
    const ChapterFactory factory = RecordingFactory();
    ChapterManager manager(nullptr, kChapterStartId, &factory);
    manager.Context() = {1, 2, 3, 4};
    EXPECT_EQ(ChapterManager::PostChapterEvent(kChapterEventClearContext), 1);
    EXPECT_EQ(manager.Context().A, 0);
    EXPECT_EQ(manager.Context().D, 0);
    EXPECT_EQ(MainQueue::Instance().Size(), 0u);
    EXPECT_EQ(ChapterManager::PostChapterEvent(90), 1);
    EXPECT_EQ(MainQueue::Instance().Size(), 1u);
}

TEST_F(ChapterManagerTest, SwitchTickMovesOnlyWhenTheChapterIdChanges) {
    platform::FakeClock clock(5000);
    platform::SetClock(&clock);
    const ChapterFactory factory = RecordingFactory();
    {
        ChapterManager manager(nullptr, kChapterStartId, &factory);
        EXPECT_EQ(manager.GetLastSwitchTick(), 5000u);
        clock.Advance(100);
        manager.OnChapterEvent(0);
        EXPECT_EQ(manager.GetLastSwitchTick(), 5100u);
        clock.Advance(100);
        manager.OnChapterEvent(77777);  // stay
        EXPECT_EQ(manager.GetLastSwitchTick(), 5100u);
        manager.OnChapterEvent(23);
        EXPECT_EQ(manager.GetLastSwitchTick(), 5200u);
        clock.Advance(100);
        manager.OnChapterEvent(8);  // 13
        EXPECT_EQ(manager.GetLastSwitchTick(), 5300u);
        clock.Advance(100);
        manager.OnChapterEvent(90);  // back to 16
        EXPECT_EQ(manager.GetLastSwitchTick(), 5400u);
        manager.OnChapterEvent(8);  // 13
        clock.Advance(100);
        manager.OnChapterEvent(90);
        clock.Advance(100);
        g_log.clear();
        manager.OnChapterEvent(90);  // 16 has no back row: nothing
        EXPECT_EQ(Joined(), "");
        EXPECT_EQ(manager.GetLastSwitchTick(), 5500u);
    }
    platform::SetClock(nullptr);
}

TEST_F(ChapterManagerTest, PreviousChapterWithAnEmptyStackAsksTheCurrentOne) {
    const ChapterFactory factory = RecordingFactory();
    ChapterManager manager(nullptr, kChapterStartId, &factory);
    manager.OnChapterEvent(0);
    manager.OnChapterEvent(23);
    EXPECT_EQ(manager.IsPreviousChapter(16), 1);
    manager.OnChapterEvent(14);
    EXPECT_EQ(manager.IsPreviousChapter(16), 1);
    EXPECT_EQ(manager.IsPreviousChapter(6), 0);
    EXPECT_EQ(manager.IsChapterOnStack(16), 1);
    EXPECT_EQ(manager.IsChapterOnStack(6), 0);
}

// The start through the main queue with the real start notice: it posts 23
// once after five seconds, and every start mode ends on the map screen.
TEST_F(ChapterManagerTest, EveryStartModeReachesTheMapThroughTheQueue) {
    platform::FakeClock clock(10000);
    platform::SetClock(&clock);
    int closedBroadcasts = 0;
    const int traceLevel = GetDebugTraceLevel();
    SetDebugTraceLevel(3);
    SetDebugTraceSink(
        [&](std::string_view line) {
            if (line == "[SHELL] status 13 0\n") ++closedBroadcasts;
        },
        false);
    for (Mode mode : {Mode::kNormal, Mode::kDemo, Mode::kDemo2}) {
        SetMode(mode);
        ChapterFactory factory = RecordingFactory();
        RegisterTrafficScreens(factory);
        closedBroadcasts = 0;
        {
            ChapterManager manager(nullptr, kChapterStartId, &factory);
            ChapterManager::PostChapterEvent(0);
            int updates = 0;
            // Updates every 150 ms, as the main window's timer makes them.
            while (manager.GetCurrentChapterId() != 16 && updates < 200) {
                PumpMainQueue(manager);
                clock.Advance(150);
                MainQueue::Instance().Post({kWmUpdateChapter, 0, 0});
                PumpMainQueue(manager);
                ++updates;
            }
            EXPECT_EQ(manager.GetCurrentChapterId(), 16);
            // A notice shows about five seconds (the demo start five more).
            EXPECT_GE(updates * 150, 5000);
            EXPECT_LE(updates * 150, mode == Mode::kNormal ? 5300 : 10600);
            EXPECT_EQ(closedBroadcasts, 1);
            // Nothing left posted behind the switch.
            EXPECT_EQ(MainQueue::Instance().Size(), 0u);
        }
    }
    SetDebugTraceSink({});
    SetDebugTraceLevel(traceLevel);
    platform::SetClock(nullptr);
}

}  // namespace
