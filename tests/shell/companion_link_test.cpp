// The companion application-manager link: its messages, the exit request
// with its pending exit on the loop's clock, audio holds, the turn and
// speed-mark notices, and the same with the simulated manager as a child
// process over real sockets.
#include "shell/companion_link.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link_fixture.h"
#include "settings/global_data.h"
#include "settings/ui_setting.h"
#include "shell/external_link.h"

namespace {

using linktest::Collector;
using linktest::Received;

struct Call {
    std::string name;
    int a = 0;
    int b = 0;
    friend bool operator==(const Call&, const Call&) = default;
};

std::ostream& operator<<(std::ostream& os, const Call& c) { return os << c.name << "(" << c.a << "," << c.b << ")"; }

class RecordingCalls : public AppManagerCalls {
public:
    int Init() override { return Add("Init"); }
    int StartAppRsp(uint32_t, int a, int b, int) override { return Add("StartAppRsp", a, b); }
    int EndAppReq(int flag) override { return Add("EndAppReq", flag); }
    int EndAppRsp(int flag) override { return Add("EndAppRsp", flag); }
    int EndAppPrepRsp() override { return Add("EndAppPrepRsp"); }
    int ShowAppRsp(int flag, int kind) override { return Add("ShowAppRsp", flag, kind); }
    int ShowAppPrepRsp(int flag) override { return Add("ShowAppPrepRsp", flag); }
    int SetWndSize(int flag, unsigned size) override { return Add("SetWndSize", flag, static_cast<int>(size)); }
    int IsRunPIP() override { return pip; }
    int TransWndState() override { return transition; }
    void AppVolumeCtrl(int channel, int request) override { Add("AppVolumeCtrl", channel, request); }
    int IsReadyForDMB() override { return dmb; }
    void SetReadyForDMB(int ready) override {
        dmb = ready;
        Add("SetReadyForDMB", ready);
    }
    int ShowTbtReq(int code, int distance) override { return Add("ShowTbtReq", code, distance); }
    int ShowSpeedMarkReq(int id, int value) override { return Add("ShowSpeedMarkReq", id, value); }

    int Add(const char* name, int a = 0, int b = 0) {
        calls.push_back({name, a, b});
        return 1;
    }
    std::vector<Call> calls;
    int pip = 0, transition = 0, dmb = 0;
};

class RecordingShell : public ExternalShell {
public:
    void PostMainMessage(uint32_t message, uint64_t wParam, int64_t) override {
        if (message == kMsgDestroy) ++destroyed;
        else if (message == kMsgChapterEventLink) events.push_back(static_cast<int>(wParam));
    }
    int destroyed = 0;
    std::vector<int> events;
};

class CompanionTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetExternalShell(&m_shell);
        CompanionLink::Instance().Reset();
        CompanionLink::Instance().SetCalls(&m_calls);
        ExternalLink::Instance().Reset();
        CMgrConfigGlobalData::Instance().m_pcm = 1;
    }
    void TearDown() override {
        CompanionLink::Instance().SetCalls(nullptr);
        CompanionLink::Instance().Reset();
        SetExternalShell(nullptr);
        CMgrConfigGlobalData::Instance().m_pcm = 0;
    }
    CompanionLink& Link() { return CompanionLink::Instance(); }

    RecordingShell m_shell;
    RecordingCalls m_calls;
};

TEST_F(CompanionTest, ManagerMessages) {
    CompanionLink& link = Link();
    link.StartResponse(0x1234);
    EXPECT_EQ(m_calls.calls, (std::vector<Call>{{"Init"}, {"StartAppRsp", 1, 2}}));
    m_calls.calls.clear();
    EXPECT_EQ(link.GetAppState(), -1);
    link.OnCompanionMessage(4001, 2, 7);
    EXPECT_EQ(link.GetAppState(), 2);
    link.OnCompanionMessage(4002, 9, 3);
    EXPECT_EQ(link.GetAppState(), 3);
    link.OnCompanionMessage(4010, 0, 0);
    EXPECT_EQ(link.GetAppState(), -1);
    link.OnCompanionMessage(4011, 0, 0);
    link.OnCompanionMessage(4004, 0, 0);
    for (int kind = 0; kind < 3; ++kind) link.OnCompanionMessage(4005, kind, 0);
    EXPECT_EQ(m_shell.events, (std::vector<int>{31, 30, 22}));
    EXPECT_EQ(m_calls.calls, (std::vector<Call>{{"EndAppPrepRsp"}, {"ShowAppPrepRsp", 1}, {"ShowAppRsp", 1, 0},
                                                {"ShowAppRsp", 1, 1}, {"ShowAppRsp", 1, 2}}));
    EXPECT_EQ(m_shell.destroyed, 0);
    link.OnCompanionMessage(4003, 0, 0);
    EXPECT_EQ(m_calls.calls.back(), (Call{"EndAppRsp", 1}));
    EXPECT_EQ(m_shell.destroyed, 1);
}

TEST_F(CompanionTest, ExitAnswersAndThePendingExit) {
    struct Case {
        int answer;
        bool endsAtOnce;
    } cases[] = {{5, true}, {-1, true}, {0, false}, {3, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        Link().Reset();
        m_shell.destroyed = 0;
        Link().RequestExit(10000);
        EXPECT_EQ(m_calls.calls.back(), (Call{"EndAppReq", 1}));
        Link().OnCompanionMessage(kAppMsgEndAnswer, static_cast<uint64_t>(static_cast<int64_t>(c.answer)), 0);
        EXPECT_EQ(m_shell.destroyed, c.endsAtOnce ? 1 : 0);
        Link().CheckPendingExit(15000);
        EXPECT_EQ(m_shell.destroyed, c.endsAtOnce ? 1 : 0);
        Link().CheckPendingExit(15001);
        EXPECT_EQ(m_shell.destroyed, 1);  // never twice
    }
    // Two requests 3000 ms apart: 5000 ms after the first, also across the
    // 32-bit tick's wrap.
    Link().Reset();
    m_shell.destroyed = 0;
    Link().RequestExit(0xFFFFF000u);
    Link().RequestExit(0xFFFFF000u + 3000);
    Link().CheckPendingExit(0xFFFFF000u + 5000);
    EXPECT_EQ(m_shell.destroyed, 0);
    Link().CheckPendingExit(0xFFFFF000u + 5001);
    EXPECT_EQ(m_shell.destroyed, 1);
    // Without the manager the request ends the program at once and asks
    // nobody.
    CMgrConfigGlobalData::Instance().m_pcm = 0;
    m_calls.calls.clear();
    Link().RequestExit(1);
    EXPECT_EQ(m_shell.destroyed, 2);
    EXPECT_TRUE(m_calls.calls.empty());
}

TEST_F(CompanionTest, WindowSizeReadyForDmbAndTransition) {
    m_calls.pip = 0;
    Link().ResizeAndPostEvent(16, 36);
    Link().ResizeAndPostEvent(31, 35);
    m_calls.pip = 1;
    Link().ResizeAndPostEvent(33, 36);
    Link().ResizeAndPostEvent(5, 36);
    EXPECT_EQ(m_calls.calls, (std::vector<Call>{{"SetWndSize", 1, 2}, {"SetWndSize", 1, 2}}));
    EXPECT_EQ(m_shell.events, (std::vector<int>{36, 35, 36, 36}));
    m_calls.calls.clear();
    m_calls.dmb = 0;
    EXPECT_EQ(Link().SetReadyForDMB(1), 0);
    EXPECT_EQ(Link().SetReadyForDMB(1), 1);  // already ready: not set again
    EXPECT_EQ(m_calls.calls, (std::vector<Call>{{"SetReadyForDMB", 1}}));
    m_calls.transition = 1;
    EXPECT_EQ(Link().IsInTransition(), 1);
    CMgrConfigGlobalData::Instance().m_pcm = 0;
    EXPECT_EQ(Link().IsInTransition(), 0);
    EXPECT_EQ(Link().SetWindowSize(), 0);
}

TEST_F(CompanionTest, AudioHoldByTheGuideSettings) {
    UISettingRecord& record = CMgrConfigUISetting::Instance()->Record();
    record.eAppVolumeMP3AtGuide = 1;
    record.eAppVolumeDMBAtGuide = 2;
    Link().HoldAudio();
    Link().HoldAudio();  // held: nothing more
    Link().ReleaseAudio();
    Link().ReleaseAudio();
    EXPECT_EQ(m_calls.calls, (std::vector<Call>{{"AppVolumeCtrl", 3, 2}, {"AppVolumeCtrl", 2, 1},
                                                {"AppVolumeCtrl", 3, 3}, {"AppVolumeCtrl", 2, 3}}));
    m_calls.calls.clear();
    record.eAppVolumeMP3AtGuide = 0;
    record.eAppVolumeDMBAtGuide = 0;
    Link().HoldAudio();  // requests nothing, still counts as held
    Link().ReleaseAudio();
    EXPECT_EQ(m_calls.calls, (std::vector<Call>{{"AppVolumeCtrl", 3, 3}, {"AppVolumeCtrl", 2, 3}}));
}

TEST_F(CompanionTest, TurnNoticesOnlyInApplicationStateTwo) {
    Link().OnCompanionMessage(4001, 1, 0);
    Link().NotifyTurn({true, 5, 123});
    EXPECT_TRUE(m_calls.calls.empty());
    Link().NotifyTurn({false, 0, 0});  // nothing was shown
    EXPECT_TRUE(m_calls.calls.empty());
    Link().OnCompanionMessage(4001, 2, 0);
    Link().NotifyTurn({true, 5, 123});  // 123 m rounds up to 130
    Link().NotifyTurn({true, 5, 120});
    Link().NotifyTurn({false, 0, 0});
    EXPECT_EQ(m_calls.calls, (std::vector<Call>{{"ShowTbtReq", 5, 13}, {"ShowTbtReq", 5, 12}, {"ShowTbtReq", -1, 0}}));
}

TEST_F(CompanionTest, SpeedMarks) {
    EXPECT_EQ(CompanionLink::CameraSpeedMarkCode(2, 60), 35);
    EXPECT_EQ(CompanionLink::CameraSpeedMarkCode(0, 100), 7);
    EXPECT_EQ(CompanionLink::CameraSpeedMarkCode(8, 30), 16);
    EXPECT_EQ(CompanionLink::CameraSpeedMarkCode(3, 50), 50);
    EXPECT_EQ(CompanionLink::CameraSpeedMarkCode(30, 0), 83);
    EXPECT_EQ(CompanionLink::CameraSpeedMarkCode(31, 60), -1);
    // Section limit 80: (80-50)/10*20+100 = 160, plus travelled x 16 /
    // length, at most 16; no length: no progress.
    EXPECT_EQ(CompanionLink::SectionMarkId(80, 500, 1000), 168);
    EXPECT_EQ(CompanionLink::SectionMarkId(80, 2000, 1000), 176);
    EXPECT_EQ(CompanionLink::SectionMarkId(80, 500, 0), 160);

    Link().OnCompanionMessage(4001, 2, 0);
    SpeedMarkNotice section;
    section.section = true;
    section.sectionLimitKmh = 80;
    section.sectionTravelledM = 1000;
    section.sectionLengthM = 0;
    section.sectionTimeS = 36;  // 1 km in 36 s: 100 km/h
    Link().NotifySpeedMark(section);
    SpeedMarkNotice camera;
    camera.camera = true;
    camera.cameraType = 2;
    camera.cameraLimitKmh = 60;
    camera.cameraDistanceM = 241;
    Link().NotifySpeedMark(camera);
    Link().NotifySpeedMark(SpeedMarkNotice{});
    Link().NotifySpeedMark(SpeedMarkNotice{});
    EXPECT_EQ(m_calls.calls, (std::vector<Call>{{"ShowSpeedMarkReq", 160, 100}, {"ShowSpeedMarkReq", 35, 25},
                                                {"ShowSpeedMarkReq", -1, 0}}));
    m_calls.calls.clear();
    Link().OnCompanionMessage(4001, 1, 0);
    Link().NotifySpeedMark(camera);
    EXPECT_TRUE(m_calls.calls.empty());
}

TEST_F(CompanionTest, WithoutTheManagerNoticesGoToTheClientWindow) {
    testsupport::TempDir dir;
    LinkWindow navi, client;
    ASSERT_EQ(navi.Open(dir.File("w"), "Navi"), 1);
    ASSERT_EQ(client.Open(dir.File("w")), 1);
    Collector got;
    LinkReceiver receiver;
    ASSERT_EQ(receiver.Start(client, got.Sink()), 1);
    SetExternalLinkWindow(&navi);
    CMgrConfigGlobalData::Instance().m_pcm = 0;
    ExternalLink::Instance().SetClientWindow(client.Handle());
    Link().NotifyTurn({true, 7, 95});
    SpeedMarkNotice camera;
    camera.camera = true;
    camera.cameraType = 4;  // not a speed camera: value -1 for the client
    camera.cameraDistanceM = 300;
    Link().NotifySpeedMark(camera);
    Link().NotifyValue(64);
    ASSERT_TRUE(got.WaitCount(3));
    const std::vector<Received> items = got.Items();
    EXPECT_EQ(items[0].wParam, 100u);
    EXPECT_EQ(items[0].block.dwData, 10);
    EXPECT_EQ(items[1].wParam, 101u);
    EXPECT_EQ(items[1].block.dwData, -1);
    EXPECT_EQ(items[2].wParam, 102u);
    EXPECT_EQ(items[2].block.dwData, 64);
    EXPECT_TRUE(m_calls.calls.empty());
    receiver.Stop();
    SetExternalLinkWindow(nullptr);
}

// ---------------------------------------------------------------------------
// With the simulated manager over the link.

class CompanionSimTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetExternalShell(&m_shell);
        CompanionLink::Instance().Reset();
        CompanionLink::Instance().SetCalls(nullptr);
        AppManagerStateCache::Instance().Reset();
        CMgrConfigGlobalData::Instance().m_pcm = 1;
        ASSERT_EQ(m_navi.Open(m_dir.File("w"), "NAVI"), 1);
        SetExternalLinkWindow(&m_navi);
        ASSERT_EQ(m_receiver.Start(m_navi, m_got.Sink(),
                                   [](const LinkMessage& m) { return AppManagerStateCache::Instance().Filter(m); }),
                  1);
    }
    void TearDown() override {
        m_receiver.Stop();
        SetExternalLinkWindow(nullptr);
        SetExternalShell(nullptr);
        CompanionLink::Instance().Reset();
        CMgrConfigGlobalData::Instance().m_pcm = 0;
    }
    std::unique_ptr<linktest::ToolProcess> StartSim(const std::string& script) {
        m_dir.Write("sim.txt", script);
        auto sim = std::make_unique<linktest::ToolProcess>(
            "app_manager_sim", std::vector<std::string>{"--script", m_dir.File("sim.txt"), "--folder", m_dir.File("w")});
        EXPECT_TRUE(sim->WaitSaw("\"listening\""));
        return sim;
    }
    // The main window's part: hands the next n manager messages to the
    // link.
    void Pump(size_t n) {
        ASSERT_TRUE(m_got.WaitCount(m_taken + n));
        const std::vector<Received> items = m_got.Items();
        for (const size_t end = m_taken + n; m_taken < end; ++m_taken) {
            CompanionLink::Instance().OnCompanionMessage(items[m_taken].message, items[m_taken].wParam,
                                                         items[m_taken].lParam);
        }
    }

    testsupport::TempDir m_dir;
    LinkWindow m_navi;
    Collector m_got;
    LinkReceiver m_receiver;
    RecordingShell m_shell;
    size_t m_taken = 0;
};

TEST_F(CompanionSimTest, ShowRequestsPostTheirEventsAndStatesComeFromTheCache) {
    auto sim = StartSim(
        "wait-call StartAppRsp\n"
        "state pip 1\nstate dmb 1\n"
        "send 4001 2 0\n"
        "send 4005 0\nsend 4005 1\nsend 4005 2\n");
    CompanionLink::Instance().StartResponse(m_navi.Handle());
    Pump(4);
    EXPECT_EQ(m_shell.events, (std::vector<int>{31, 30, 22}));
    EXPECT_EQ(CompanionLink::Instance().GetAppState(), 2);
    // The pushed states went to the cache, before the messages behind them.
    EXPECT_EQ(CompanionLink::Instance().Calls().IsRunPIP(), 1);
    EXPECT_EQ(CompanionLink::Instance().Calls().IsReadyForDMB(), 1);
    EXPECT_EQ(CompanionLink::Instance().IsInTransition(), 0);
    EXPECT_TRUE(sim->WaitSaw("\"name\":\"ShowAppRsp\",\"message\":4105,\"wParam\":1,\"lParam\":2"));
    // The turn notice goes through in state 2.
    CompanionLink::Instance().NotifyTurn({true, 5, 200});
    EXPECT_TRUE(sim->WaitSaw("\"name\":\"ShowTbtReq\",\"message\":4110,\"wParam\":5,\"lParam\":20"));
}

TEST_F(CompanionSimTest, ExitAnsweredFiveEndsAtOnce) {
    auto sim = StartSim("exit-answer 5\nwait-call EndAppReq\n");
    CompanionLink::Instance().RequestExit(1000);
    Pump(1);
    EXPECT_EQ(m_shell.destroyed, 1);
}

TEST_F(CompanionSimTest, ExitAnsweredOtherWaitsForTheConfirmationOrTheTimeOut) {
    {
        auto sim = StartSim("exit-answer 0 confirm\nwait-call EndAppReq\nwait-call EndAppRsp\n");
        CompanionLink::Instance().RequestExit(1000);
        Pump(1);
        EXPECT_EQ(m_shell.destroyed, 0);
        Pump(1);  // 4003
        EXPECT_EQ(m_shell.destroyed, 1);
        EXPECT_TRUE(sim->WaitSaw("\"name\":\"EndAppRsp\""));
    }
    CompanionLink::Instance().Reset();
    m_shell.destroyed = 0;
    {
        auto sim = StartSim("exit-answer 0\nwait-call EndAppReq\n");
        CompanionLink::Instance().RequestExit(1000);
        Pump(1);
        CompanionLink::Instance().CheckPendingExit(6000);
        EXPECT_EQ(m_shell.destroyed, 0);
        CompanionLink::Instance().CheckPendingExit(6001);
        EXPECT_EQ(m_shell.destroyed, 1);
    }
}

TEST_F(CompanionSimTest, AnAbsentManagerLosesTheCallsAndTheTimeOutStillEnds) {
    CompanionLink::Instance().RequestExit(1000);
    CompanionLink::Instance().CheckPendingExit(6001);
    EXPECT_EQ(m_shell.destroyed, 1);
}

}  // namespace
