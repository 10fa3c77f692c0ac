// The message box over a scripted event layer on the demo UI: a button
// returns its number, silence for the time-out returns 0 with no message
// needed, WM_QUIT returns 0 and is posted again, touches outside the box and
// releases are swallowed while other messages are dispatched, bad records
// give -1, and work deferred while the box is open runs after it returns.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "foundation/mgr_text.h"
#include "demo_ui_root.h"
#include "support/temp_dir.h"
#include "uikit/board_manager.h"
#include "uikit/ctrl_button.h"
#include "uikit/message_box.h"

namespace {

constexpr uint32_t kWmTimer = 0x113;

// Hands out the script's messages at their ticks; time moves only here.
class ScriptedSource : public NvMessageSource {
public:
    uint32_t Now() override { return m_now; }
    bool Wait(NvMessage* out, bool hasDeadline, uint32_t deadline) override {
        ++m_waits;
        if (m_script.empty() || (hasDeadline && static_cast<int32_t>(m_script.front().tick - deadline) > 0)) {
            if (!hasDeadline) return ADD_FAILURE() << "wait without a deadline on an empty script", false;
            m_now = deadline;
            return false;
        }
        *out = m_script.front();
        m_script.pop_front();
        m_now = out->tick;
        return true;
    }
    void Dispatch(const NvMessage& m) override { dispatched.push_back(m.message); }
    void PostQuit(uint32_t wParam, uint32_t lParam) override { quits.push_back({kNvWmQuit, wParam, lParam, m_now}); }

    void Add(uint32_t tick, uint32_t message, uint32_t wParam = 0, uint32_t lParam = 0) {
        m_script.push_back({message, wParam, lParam, tick});
    }
    std::deque<NvMessage> m_script;
    std::vector<uint32_t> dispatched;
    std::vector<NvMessage> quits;
    uint32_t m_now = 1000;
    int m_waits = 0;
};

class MessageBoxTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = new testsupport::TempDir();
        std::string error;
        ASSERT_TRUE(uitest::WriteDemoUiRoot(s_dir->Path(), &error)) << error;
        s_texts = new MgrText();
        const std::string ui = Ui();
        s_texts->Init(std::u16string(ui.begin(), ui.end()).c_str(), 0);
        NvRegisterStandardControls();
    }
    static void TearDownTestSuite() {
        delete s_texts;
        delete s_dir;
    }
    static std::string Ui() { return s_dir->Path() + "/UI"; }

    void SetUp() override {
        m_window = std::make_unique<NvHeadlessPresenter>(800, 480);
        m_host = std::make_unique<NvBoardManager>(Ui().c_str());
        ASSERT_EQ(m_host->Start(m_window.get(), 800, 480, 0, 0, 0), 1);
        ASSERT_EQ(m_host->LoadBoard(1), 1);
        NvSetMessageSource(&m_source);
    }
    void TearDown() override {
        NvSetMessageSource(nullptr);
        m_host.reset();
        NvMainQueue().Clear();
    }
    // The screen point of a box button: box centred, button at its record offset.
    uint32_t ButtonPoint(int child) {
        const tagUISCRIPT_CONTROL* box = m_host->Script()->GetControl(779);
        const tagUISCRIPT_CONTROL* button = m_host->Script()->GetControl(780 + child);
        const int32_t x = 400 - box->width / 2 + button->image[0].x + button->width / 2;
        const int32_t y = 240 - box->height / 2 + button->image[0].y + button->height / 2;
        return NvMakePoint(x, y);
    }
    int Show(int buttons, uint16_t timeoutMs) {
        return NvShowMessageBox(779, u"Delete?", buttons, u"OK", u"No", u"Later", timeoutMs, 1);
    }

    static testsupport::TempDir* s_dir;
    static MgrText* s_texts;
    std::unique_ptr<NvHeadlessPresenter> m_window;
    std::unique_ptr<NvBoardManager> m_host;
    ScriptedSource m_source;
};

testsupport::TempDir* MessageBoxTest::s_dir = nullptr;
MgrText* MessageBoxTest::s_texts = nullptr;

TEST_F(MessageBoxTest, AButtonReturnsItsNumber) {
    struct Case {
        int buttons, child, result;
    } cases[] = {{1, 4, 1}, {2, 1, 1}, {2, 2, 2}, {3, 3, 1}, {3, 4, 2}, {3, 5, 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.buttons) + "/" + std::to_string(c.child));
        m_source.m_script.clear();
        m_source.Add(m_source.m_now + 100, kNvWmLButtonDown, 0, ButtonPoint(c.child));
        m_source.Add(m_source.m_now + 150, kWmTimer, 1026);  // a later message ends it
        EXPECT_EQ(Show(c.buttons, 5000), c.result);
        EXPECT_FALSE(NvIsMessageBoxOpen());
        EXPECT_EQ(NvToolkit().messageBox, nullptr);
    }
    // No later message: the choice settles by itself after 20 ms.
    m_source.m_script.clear();
    m_source.Add(m_source.m_now + 100, kNvWmLButtonDown, 0, ButtonPoint(4));
    EXPECT_EQ(Show(1, 0), 1);
    // A press on a button the box does not show (child 1 of a one-button box)
    // chooses nothing: the time-out decides.
    m_source.m_script.clear();
    m_source.Add(m_source.m_now + 100, kNvWmLButtonDown, 0, ButtonPoint(1));
    EXPECT_EQ(Show(1, 5000), 0);
}

TEST_F(MessageBoxTest, SilenceEndsItAtTheDeadline) {
    const uint32_t start = m_source.m_now;
    EXPECT_EQ(Show(2, 5000), 0);
    EXPECT_EQ(m_source.m_now, start + 5000);
    // A message after the deadline ends it as well, undispatched.
    m_source.Add(m_source.m_now + 6000, kWmTimer, 1026);
    EXPECT_EQ(Show(2, 5000), 0);
    EXPECT_TRUE(m_source.dispatched.empty());
}

TEST_F(MessageBoxTest, QuitEndsItAndIsPostedAgain) {
    m_source.Add(m_source.m_now + 10, kWmTimer, 1026);
    m_source.Add(m_source.m_now + 20, kNvWmQuit, 7, 9);
    EXPECT_EQ(Show(2, 0), 0);
    ASSERT_EQ(m_source.quits.size(), 1u);
    EXPECT_EQ(m_source.quits[0].wParam, 7u);
    EXPECT_EQ(m_source.quits[0].lParam, 9u);
    EXPECT_EQ(m_source.dispatched, std::vector<uint32_t>{kWmTimer});
}

TEST_F(MessageBoxTest, TouchesOutsideAndReleasesAreSwallowed) {
    m_source.Add(m_source.m_now + 10, kNvWmLButtonDown, 0, NvMakePoint(30, 30));   // the board's button
    m_source.Add(m_source.m_now + 20, kNvWmLButtonDown, 0, NvMakePoint(400, 150)); // the box, no button
    m_source.Add(m_source.m_now + 30, kNvWmLButtonUp, 0, ButtonPoint(4));
    m_source.Add(m_source.m_now + 40, 512, 0, ButtonPoint(4));
    m_source.Add(m_source.m_now + 50, kWmTimer, 1026);
    m_source.Add(m_source.m_now + 60, 256, 13);  // key down: passed on
    EXPECT_EQ(Show(1, 5000), 0);
    EXPECT_EQ(m_source.dispatched, (std::vector<uint32_t>{kWmTimer, 256}));
    EXPECT_EQ(m_host->GetControl(1)->m_state, 1);  // the board underneath got nothing
    EXPECT_EQ(m_host->LastEvent().layoutId, 0);
}

TEST_F(MessageBoxTest, RecordsThatAreNoMessageBoxGiveMinusOne) {
    // Not kind 15 (the combo box), a panel with no parts, no record.
    for (int id : {60, 7, 9999}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(NvShowMessageBox(id, u"x", 1, u"OK", nullptr, nullptr, 5000, 0), -1);
    }
    EXPECT_EQ(m_source.m_waits, 0);
    // Without an event layer the box cannot run.
    NvSetMessageSource(nullptr);
    EXPECT_EQ(Show(1, 5000), -1);
    // The records are left as they were.
    EXPECT_EQ(m_host->Script()->GetControl(7)->attr2, 0);
}

TEST_F(MessageBoxTest, WorkDeferredWhileOpenRunsAfterwards) {
    std::vector<std::string> log;
    struct Deferring : ScriptedSource {
        std::vector<std::string>* log = nullptr;
        void Dispatch(const NvMessage& m) override {
            ScriptedSource::Dispatch(m);
            NvRunAfterMessageBox([this] { log->push_back("switch"); });
            log->push_back("dispatched");
        }
    } source;
    source.log = &log;
    source.Add(source.m_now + 10, kWmTimer, 1026);
    NvSetMessageSource(&source);
    EXPECT_EQ(Show(1, 5000), 0);
    EXPECT_EQ(log, (std::vector<std::string>{"dispatched", "switch"}));
    NvRunAfterMessageBox([&] { log.push_back("now"); });
    EXPECT_EQ(log.back(), "now");
}

}  // namespace
