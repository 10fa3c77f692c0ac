// Commands from another program over real sockets: each command sent once
// by a peer window, handed to the dispatcher as the main window would, and
// its effect checked (the chapter event posted, the setting changed, the
// broadcast or client message that answers it). Then the blocks, the status
// filter, the LED statuses and the speech link.
#include "shell/external_link.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "link_fixture.h"
#include "platform/byte_cursor.h"
#include "platform/clock.h"
#include "settings/course_current.h"
#include "settings/global_data.h"
#include "settings/handover.h"
#include "settings/module_gps.h"
#include "shell/companion_link.h"
#include "shell/speech_link.h"

namespace {

using linktest::Collector;
using linktest::Received;

struct Posted {
    uint32_t message;
    uint64_t wParam;
};

class RecordingShell : public ExternalShell {
public:
    bool HasChapterManager() override { return hasManager; }
    int CurrentChapterId() override { return chapter; }
    void PostMainMessage(uint32_t message, uint64_t wParam, int64_t) override { posted.push_back({message, wParam}); }
    void SetDuckEnabled(int on) override { duck = on; }
    void SetSoftwareMute(int on) override { mute = on; }
    bool IsGuidanceActive() override { return guidance; }
    void MarkRouteInfoPending() override { ++routeInfoPending; }
    void UseAsLastPosition(int32_t x, int32_t y) override { lastPosition = {x, y}; }

    std::vector<uint64_t> Events() const {
        std::vector<uint64_t> events;
        for (const Posted& p : posted) {
            if (p.message == kMsgChapterEventLink) events.push_back(p.wParam);
        }
        return events;
    }

    bool hasManager = true;
    int chapter = 16;
    bool guidance = false;
    std::vector<Posted> posted;
    int duck = -1;
    int mute = -1;
    int routeInfoPending = 0;
    std::pair<int32_t, int32_t> lastPosition{0, 0};
};

CourseDefaults TestCourseDefaults() { return CourseDefaults{}; }

std::vector<uint8_t> Utf16z(const std::u16string& text) {
    platform::ByteWriter w;
    for (char16_t c : text) w.U16(c);
    w.U16(0);
    return w.Data();
}

std::vector<uint8_t> PositionBytes(double x, double y, const std::u16string& name) {
    platform::ByteWriter w;
    w.F64(x);
    w.F64(y);
    const std::vector<uint8_t> text = Utf16z(name);
    w.Bytes(text.data(), text.size());
    return w.Data();
}

std::vector<uint8_t> PointsBytes(const std::vector<std::tuple<int32_t, double, double>>& points) {
    platform::ByteWriter w;
    for (const auto& [flag, lon, lat] : points) {
        w.I32(flag);
        w.I32(0);
        w.F64(lon);
        w.F64(lat);
    }
    w.Zeros(kRoutePointsBlockBytes - w.Size());
    return w.Data();
}

std::vector<uint8_t> SpeechBytes(int32_t value, const std::u16string& text) {
    platform::ByteWriter w;
    w.I32(value);
    const std::vector<uint8_t> t = Utf16z(text);
    w.Bytes(t.data(), t.size());
    return w.Data();
}

// The program's window and a peer's, each with its receive thread; the test
// thread plays the main window.
class ExternalLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(m_navi.Open(m_dir.File("w"), "Navi"), 1);
        ASSERT_EQ(m_peer.Open(m_dir.File("w")), 1);
        ASSERT_EQ(m_naviReceiver.Start(m_navi, m_naviGot.Sink()), 1);
        ASSERT_EQ(m_peerReceiver.Start(m_peer, m_peerGot.Sink()), 1);
        SetExternalShell(&m_shell);
        SetExternalLinkWindow(&m_navi);
        SetCourseDefaultsSource(&TestCourseDefaults);
        ExternalLink::Instance().Reset();
        RemoteControlHandler::Instance().Reset();
        RemoteControlHandler::Instance().Enable();
        SpeechRecogLink::Instance().Reset();
        CompanionLink::Instance().Reset();
        SetHomeOfficeKeysBlocked(false);
        CMgrConfigGlobalData& global = CMgrConfigGlobalData::Instance();
        global.m_routeMessageFilter = 5;
        global.m_pcm = 0;
        global.m_voiceware = 0;
        global.m_ledControl = 0;
    }
    void TearDown() override {
        m_naviReceiver.Stop();
        m_peerReceiver.Stop();
        SetExternalShell(nullptr);
        SetExternalLinkWindow(nullptr);
        SetCourseDefaultsSource(nullptr);
    }

    static bool IsCommand(const Received& r) {
        return r.message == RegisterLinkMessage(kRegCommand) || r.message == kMsgCopyData;
    }
    // The main window's part: waits until every command sent so far has
    // arrived, then dispatches what came in order; the remote-control
    // broadcasts are what its chapter gets.
    void PumpProgram() {
        const size_t commands = m_commandsSent;
        ASSERT_TRUE(m_naviGot.WaitFor([commands](const std::vector<Received>& items) {
            return static_cast<size_t>(std::count_if(items.begin(), items.end(), IsCommand)) >= commands;
        }));
        const std::vector<Received> items = m_naviGot.Items();
        for (; m_naviTaken < items.size(); ++m_naviTaken) {
            const Received& r = items[m_naviTaken];
            if (r.message == RegisterLinkMessage(kRegCommand)) {
                ExternalCommandDispatcher(r.message, r.wParam, r.lParam);
            } else if (r.message == kMsgCopyData) {
                DispatchExternalCommand(static_cast<int32_t>(r.wParam), r.block.dwData, r.block.bytes.data(),
                                        r.block.bytes.size(), true);
            } else {
                m_reachedProgram.push_back(RegisteredLinkMessageName(r.message));
            }
        }
    }
    void Command(int32_t code, int64_t value) {
        ASSERT_EQ(m_peer.Post(m_navi.Handle(), RegisterLinkMessage(kRegCommand), code, value), 1);
        ++m_commandsSent;
        PumpProgram();
    }
    void CopyCommand(int32_t code, int64_t value, const std::vector<uint8_t>& block) {
        ASSERT_EQ(m_peer.CopyData(m_navi.Handle(), code, value, block.data(), block.size()), 1);
        ++m_commandsSent;
        PumpProgram();
    }
    // Waits for n more messages at the peer and returns them.
    std::vector<Received> PeerGets(size_t n) {
        EXPECT_TRUE(m_peerGot.WaitCount(m_peerTaken + n));
        std::vector<Received> items = m_peerGot.Items();
        std::vector<Received> fresh(items.begin() + static_cast<long>(std::min(m_peerTaken, items.size())), items.end());
        m_peerTaken = items.size();
        return fresh;
    }
    // A marker broadcast closes a step: whatever the peer got before it
    // came from the step (datagrams from one sender keep their order).
    std::vector<Received> PeerGetsUntilMarker() {
        m_navi.Post(m_peer.Handle(), RegisterLinkMessage("TEST_MARKER"), 0, 0);
        std::vector<Received> got;
        for (;;) {
            std::vector<Received> more = PeerGets(1);
            for (Received& r : more) {
                if (r.message == RegisterLinkMessage("TEST_MARKER")) return got;
                got.push_back(std::move(r));
            }
        }
    }

    testsupport::TempDir m_dir;
    LinkWindow m_navi, m_peer;
    Collector m_naviGot, m_peerGot;
    LinkReceiver m_naviReceiver, m_peerReceiver;
    RecordingShell m_shell;
    size_t m_naviTaken = 0;
    size_t m_commandsSent = 0;
    size_t m_peerTaken = 0;
    std::vector<std::string> m_reachedProgram;
};

std::string NameOf(const Received& r) { return RegisteredLinkMessageName(r.message); }

TEST_F(ExternalLinkTest, RemoteKeysBroadcastAndComeBackToTheProgram) {
    struct Case {
        int32_t code;
        int64_t value;
        const char* name;
        uint64_t wParam;
    } cases[] = {
        {1001, 0, "BMSG_RMC_ZOOMOUT", 0}, {1002, 9, "BMSG_RMC_ZOOMIN", 0}, {1003, 0, "BMSG_RMC_CURPOS", 0},
        {1004, 0, "BMSG_RMC_HOME", 0},    {1005, 0, "BMSG_RMC_OFFICE", 0}, {1009, 0, "BMSG_RMC_REGPOS", 0},
        {1010, 0, "BMSG_RMC_GUIDEEND", 0}, {1012, 0, "BMSG_RMC_MAPVIEW", 0}, {1013, 0, "BMSG_RMC_INFO", 0},
        {1014, 3, "BMSG_RMC_MAPMOVE", 3}, {1022, 4, "BMSG_RMC_REROUTE", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        Command(c.code, c.value);
        const std::vector<Received> got = PeerGetsUntilMarker();
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(NameOf(got[0]), c.name);
        EXPECT_EQ(got[0].wParam, c.wParam);
        // The broadcast reaches the program's own window too.
        ASSERT_TRUE(m_naviGot.WaitFor([&](const std::vector<Received>& items) {
            return items.size() > m_naviTaken && RegisteredLinkMessageName(items.back().message) == c.name;
        }));
        PumpProgram();
        ASSERT_FALSE(m_reachedProgram.empty());
        EXPECT_EQ(m_reachedProgram.back(), c.name);
    }
    EXPECT_TRUE(m_shell.Events().empty());
}

TEST_F(ExternalLinkTest, RemoteActionsWaitForTheFirstSwitch) {
    RemoteControlHandler::Instance().Reset();
    Command(1002, 0);
    Command(1000, 0);
    EXPECT_TRUE(PeerGetsUntilMarker().empty());
    EXPECT_TRUE(m_shell.Events().empty());
}

TEST_F(ExternalLinkTest, RouteKeyActsByChapterAndAlwaysReportsStatus18) {
    struct Case {
        int chapter;
        int32_t value;
        std::vector<uint64_t> events;
        int32_t progressRequest;
        int routeInfoPending;
    } cases[] = {
        {4, 0, {22}, 0, 0},     {32, 0, {22}, 0, 0},      {16, 0, {}, 0, 0},       {7, 0, {148}, 0, 0},
        {18, 1, {}, 2, 0},      {21, 1, {148, 30}, 0, 1}, {31, 1, {}, 0, 0},       {16, 1, {148, 30}, 0, 0},
        {4, 2, {}, 0, 0},       {32, 2, {}, 0, 0},        {18, 2, {}, 3, 0},       {21, 2, {148, 31}, 0, 1},
        {16, 2, {148, 31}, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "chapter " << c.chapter << " value " << c.value);
        m_shell.posted.clear();
        m_shell.routeInfoPending = 0;
        m_shell.chapter = c.chapter;
        RemoteControlHandler::Instance().ClearRouteProgressRequest();
        Command(1000, c.value);
        EXPECT_EQ(m_shell.Events(), c.events);
        EXPECT_EQ(RemoteControlHandler::Instance().GetRouteProgressRequest(), c.progressRequest);
        EXPECT_EQ(m_shell.routeInfoPending, c.routeInfoPending);
        const std::vector<Received> got = PeerGetsUntilMarker();
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(NameOf(got[0]), "BMSG_PELOX");
        EXPECT_EQ(got[0].wParam, 18u);
        EXPECT_EQ(got[0].lParam, c.value);
    }
    // The current-position key on the route progress screen asks it and
    // broadcasts nothing.
    m_shell.chapter = 18;
    Command(1003, 0);
    EXPECT_EQ(RemoteControlHandler::Instance().GetRouteProgressRequest(), 1);
    EXPECT_TRUE(PeerGetsUntilMarker().empty());
}

TEST_F(ExternalLinkTest, RouteKeyWithoutGuidanceTakesTheCourseStartAsLastPosition) {
    CMgrConfigUIInfoCourseCurrent& course = *CMgrConfigUIInfoCourseCurrent::Instance();
    course.Reset();
    course.SetStartPoint(MakeCoursePos(66644575, 19665355, u"출발"), 0);
    m_shell.chapter = 16;
    Command(1000, 1);
    EXPECT_EQ(m_shell.lastPosition, std::make_pair(66644575, 19665355));
    course.Reset();
}

TEST_F(ExternalLinkTest, SettingsCommands) {
    Command(1011, 1);
    EXPECT_EQ(m_shell.mute, 1);
    Command(1011, 0);
    EXPECT_EQ(m_shell.mute, 0);
    // 0 only stops the ducking; the voice is not silenced by it.
    Command(1015, 0);
    EXPECT_EQ(m_shell.duck, 0);
    Command(1015, 1);
    EXPECT_EQ(m_shell.duck, 1);
    Command(1017, 77);
    EXPECT_EQ(CMgrConfigGlobalData::Instance().m_function, 77);
    Command(1018, 0);
    EXPECT_TRUE(AreHomeOfficeKeysBlocked());
    Command(1019, 0);
    EXPECT_FALSE(AreHomeOfficeKeysBlocked());
    // Without the application manager the exit request ends the program.
    Command(1016, 0);
    ASSERT_EQ(m_shell.posted.size(), 1u);
    EXPECT_EQ(m_shell.posted[0].message, kMsgDestroy);
}

TEST_F(ExternalLinkTest, ClientWindowGetsTurnSpeedMarkAndValueOnlyWhenTheyChange) {
    ExternalLink& link = ExternalLink::Instance();
    link.SetUiFolder("/data/UI");
    EXPECT_EQ(link.SendTurnImage(12, 30), 0);  // no client yet
    Command(1007, m_peer.Handle());
    EXPECT_EQ(link.GetClientWindow(), m_peer.Handle());
    EXPECT_EQ(link.SendTurnImage(12, 30), 1);
    EXPECT_EQ(link.SendTurnImage(12, 30), 0);  // the same again: nothing
    EXPECT_EQ(link.SendSpeedMark(35, 20), 1);
    EXPECT_EQ(link.SendValue(88), 1);
    EXPECT_EQ(link.SendValue(88), 0);
    EXPECT_EQ(link.SendTurnImage(-1, 0), 1);
    const std::vector<Received> got = PeerGets(4);
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[0].message, kMsgCopyData);
    EXPECT_EQ(got[0].wParam, 100u);
    EXPECT_EQ(got[0].block.dwData, 30);
    ASSERT_EQ(got[0].block.bytes.size(), 512u);
    EXPECT_STREQ(reinterpret_cast<const char*>(got[0].block.bytes.data()), "/data/UI\\NIP\\T012.bmp");
    EXPECT_EQ(got[1].wParam, 101u);
    EXPECT_STREQ(reinterpret_cast<const char*>(got[1].block.bytes.data()), "/data/UI\\NIP\\S035.bmp");
    EXPECT_EQ(got[1].block.dwData, 20);
    EXPECT_EQ(got[2].wParam, 102u);
    EXPECT_EQ(got[2].block.dwData, 88);
    EXPECT_TRUE(got[2].block.bytes.empty());
    EXPECT_EQ(got[3].wParam, 100u);
    EXPECT_EQ(got[3].block.dwData, 0);
    EXPECT_TRUE(got[3].block.bytes.empty());
    Command(1008, 0);
    EXPECT_EQ(link.SendTurnImage(13, 30), 0);
}

TEST_F(ExternalLinkTest, TextClientGetsTheRelayTextAtMostOncePerSecond) {
    platform::FakeClock clock(50000);
    platform::ScopedClock useClock(clock);
    CMgrConfigModuleGPS& gps = *CMgrConfigModuleGPS::Instance();
    const std::string rmc = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A";
    gps.SetRelayText(rmc.c_str(), static_cast<int>(rmc.size()));
    ExternalLink& link = ExternalLink::Instance();
    Command(1020, m_peer.Handle());
    EXPECT_EQ(gps.GetRelayFlag(), 1);
    EXPECT_EQ(link.SendGpsText(), 1);
    clock.Advance(999);
    EXPECT_EQ(link.SendGpsText(), 0);
    clock.Advance(1);
    EXPECT_EQ(link.SendGpsText(), 1);
    const std::vector<Received> got = PeerGets(2);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].wParam, 103u);
    EXPECT_EQ(got[0].block.bytes.size(), rmc.size() + 1);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(got[0].block.bytes.data())), rmc);
    Command(1021, 0);
    EXPECT_EQ(gps.GetRelayFlag(), 0);
    clock.Advance(5000);
    EXPECT_EQ(link.SendGpsText(), 0);
    gps.SetRelayText("", 0);
}

TEST_F(ExternalLinkTest, ShowPlaceAndRouteToPlace) {
    // 127 degrees 0.5 minutes E, 37 degrees 30 minutes N.
    const std::vector<uint8_t> block = PositionBytes(12700.5, 3730.0, u"서울역");
    const int32_t x = static_cast<int32_t>((127 + 0.5 / 60) * 524288);
    const int32_t y = static_cast<int32_t>(37.5 * 524288);
    m_shell.chapter = 16;
    CopyCommand(1024, 0, block);
    EXPECT_EQ(m_shell.Events(), (std::vector<uint64_t>{148, 13}));
    const _tagUISTRUCT_COURSEPOS& place = CMgrConfigUIInfo::Instance()->m_CoursePos;
    EXPECT_EQ(place.ePositionType, 13);
    EXPECT_EQ(place.PosInfo.wcPosition.x, x);
    EXPECT_EQ(place.PosInfo.wcPosition.y, y);
    EXPECT_EQ(CoursePosName(place), u"서울역");

    m_shell.posted.clear();
    m_shell.chapter = 32;
    CopyCommand(1025, 0, block);
    EXPECT_EQ(m_shell.Events(), (std::vector<uint64_t>{22, 12}));
    _tagUISTRUCT_COURSEPOS goal;
    ASSERT_EQ(CMgrConfigUIInfoCourseCurrent::Instance()->GetDestination(&goal), 1);
    EXPECT_EQ(goal.ePositionType, 1);
    EXPECT_EQ(goal.PosInfo.wcPosition.x, x);
    EXPECT_EQ(CoursePosName(goal), u"서울역");
    EXPECT_EQ(CMgrConfigUIInfoCourseCurrent::Instance()->m_eRouteType, 2);

    // Nothing before the chapter manager exists.
    m_shell.posted.clear();
    m_shell.hasManager = false;
    CopyCommand(1024, 0, block);
    EXPECT_TRUE(m_shell.posted.empty());
    CMgrConfigUIInfoCourseCurrent::Instance()->Reset();
}

TEST_F(ExternalLinkTest, BadPositionBlocksAreDroppedWhole) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<uint8_t> unterminated = PositionBytes(12700.5, 3730.0, u"AB");
    unterminated.resize(unterminated.size() - 2);
    std::vector<uint8_t> oddTail = PositionBytes(12700.5, 3730.0, u"AB");
    oddTail.pop_back();
    std::vector<uint8_t> noName = PositionBytes(12700.5, 3730.0, u"");
    noName.resize(16);
    struct Case {
        const char* what;
        std::vector<uint8_t> block;
    } cases[] = {
        {"empty", {}},
        {"no name", noName},
        {"unterminated name", unterminated},
        {"odd tail", oddTail},
        {"NaN longitude", PositionBytes(nan, 3730.0, u"A")},
        {"infinite latitude", PositionBytes(12700.5, std::numeric_limits<double>::infinity(), u"A")},
        {"60 minutes", PositionBytes(12760.0, 3730.0, u"A")},
        {"latitude past the pole", PositionBytes(12700.0, 9100.0, u"A")},
        {"name of 65 characters", PositionBytes(12700.0, 3730.0, std::u16string(65, u'가'))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        m_shell.posted.clear();
        PositionBlock out;
        EXPECT_EQ(ReadPositionBlock(c.block.data(), c.block.size(), &out), 0);
        CopyCommand(1025, 0, c.block);
        EXPECT_TRUE(m_shell.posted.empty());
    }
    PositionBlock out;
    const std::vector<uint8_t> longest = PositionBytes(12700.0, 3730.0, std::u16string(64, u'가'));
    EXPECT_EQ(ReadPositionBlock(longest.data(), longest.size(), &out), 1);
}

TEST_F(ExternalLinkTest, RoutePointsBlockIsCheckedBeforeItIsTaken) {
    CMgrConfigUIInfo& info = *CMgrConfigUIInfo::Instance();
    CopyCommand(1023, 0, PointsBytes({{1, 12700.0, 3730.0}, {0, 0, 0}, {1, 12659.5, 3733.0}}));
    UIExternalPos pos[kUIExternalPosCount];
    ASSERT_EQ(info.GetExternalPositions(pos), 2);
    EXPECT_EQ(pos[0].x, 127 * 524288);
    EXPECT_EQ(pos[2].y, static_cast<int32_t>((37 + 33.0 / 60) * 524288));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<uint8_t> longer = PointsBytes({{1, 12700.0, 3730.0}});
    longer.push_back(0);
    struct Case {
        const char* what;
        std::vector<uint8_t> block;
    } cases[] = {
        {"short", std::vector<uint8_t>(383, 0)},
        {"long", longer},
        {"flag 2", PointsBytes({{1, 12700.0, 3730.0}, {2, 12700.0, 3730.0}})},
        {"NaN in a valid entry", PointsBytes({{1, 12700.0, 3730.0}, {1, nan, 3730.0}})},
        {"minutes out of range", PointsBytes({{1, 12700.0, 3799.0}})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CopyCommand(1023, 0, c.block);
        // The earlier points stay: the bad block was not taken at all.
        EXPECT_EQ(info.GetExternalPositions(pos), 2);
    }
    // NaN in an entry whose flag is 0 is no position and harms nothing.
    CopyCommand(1023, 0, PointsBytes({{0, nan, nan}, {1, 12700.0, 3730.0}}));
    EXPECT_EQ(info.GetExternalPositions(pos), 1);
}

TEST_F(ExternalLinkTest, CategoryAndSearchKeys) {
    RemoteControlHandler& remote = RemoteControlHandler::Instance();
    m_shell.chapter = 16;
    Command(1100, 2);
    EXPECT_EQ(remote.GetCategoryCode(), 361);
    EXPECT_EQ(remote.GetCategoryIndex(), 12);
    Command(1100, 14);
    EXPECT_EQ(remote.GetCategoryCode(), 0);
    EXPECT_EQ(remote.GetCategoryIndex(), 24);
    Command(1100, 20);  // keeps the pair, still opens the search
    EXPECT_EQ(remote.GetCategoryIndex(), 24);
    Command(1101, 0);
    EXPECT_EQ(m_shell.Events(), (std::vector<uint64_t>{36, 36, 36, 35}));
    m_shell.posted.clear();
    m_shell.chapter = 5;  // only from the map screens 16, 31, 33
    Command(1100, 1);
    Command(1101, 0);
    EXPECT_TRUE(m_shell.posted.empty());
    EXPECT_EQ(remote.GetCategoryIndex(), 24);
}

TEST_F(ExternalLinkTest, StatusSixIsFilteredAndOthersReachEveryWindow) {
    BroadcastStatus(6, 4);
    BroadcastStatus(6, 5);
    BroadcastStatus(6, 9);
    BroadcastStatus(0, 0);
    const std::vector<Received> got = PeerGetsUntilMarker();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].wParam, 6u);
    EXPECT_EQ(got[0].lParam, 4);
    EXPECT_EQ(got[1].wParam, 0u);
}

TEST_F(ExternalLinkTest, LedStatusesOncePerTurnAndCamera) {
    RemoteControlHandler& remote = RemoteControlHandler::Instance();
    remote.ReportTurn(12, 200);  // LEDCTRL off: nothing
    EXPECT_TRUE(PeerGetsUntilMarker().empty());
    CMgrConfigGlobalData::Instance().m_ledControl = 1;
    remote.ReportTurn(12, 400);  // too far
    remote.ReportTurn(12, 300);  // class 1
    remote.ReportTurn(12, 150);  // the same turn: once
    remote.ReportTurn(99, 100);  // no class: the turn is no longer ahead
    remote.ReportTurn(17, 50);   // class 2
    remote.ReportCamera(3);      // not reported
    remote.ReportCamera(2);
    remote.ReportCamera(2);
    remote.ReportCamera(-1);
    std::vector<std::pair<uint64_t, int64_t>> statuses;
    for (const Received& r : PeerGetsUntilMarker()) statuses.emplace_back(r.wParam, r.lParam);
    EXPECT_EQ(statuses, (std::vector<std::pair<uint64_t, int64_t>>{{20, 1}, {21, 0}, {20, 2}, {22, 2}, {23, 0}}));
}

TEST_F(ExternalLinkTest, SpeechResultOnlyWithVoiceware) {
    SpeechRecogLink& speech = SpeechRecogLink::Instance();
    CopyCommand(74, 0, SpeechBytes(3, u"집으로"));
    EXPECT_EQ(speech.HasResult(), 0);
    EXPECT_EQ(RequestSpeechInput(), 0);
    EXPECT_EQ(AnnounceMapExit(), 0);
    EXPECT_TRUE(PeerGetsUntilMarker().empty());

    CMgrConfigGlobalData::Instance().m_voiceware = 1;
    CopyCommand(74, 0, SpeechBytes(3, u"집으로"));
    EXPECT_EQ(speech.HasResult(), 1);
    EXPECT_EQ(speech.GetResultValue(), 3);
    EXPECT_EQ(speech.GetResultText(), u"집으로");
    // A second result replaces the first.
    CopyCommand(74, 0, SpeechBytes(4, u"회사"));
    EXPECT_EQ(speech.GetResultValue(), 4);
    EXPECT_EQ(speech.GetResultText(), u"회사");
    speech.ClearResult();
    // Bad blocks are dropped whole; codes other than 74 are ignored, and so
    // is 74 as a posted command (it needs its block).
    std::vector<uint8_t> unterminated = SpeechBytes(5, u"AB");
    unterminated.resize(unterminated.size() - 2);
    for (const std::vector<uint8_t>& bad :
         {std::vector<uint8_t>{1, 2, 3}, unterminated, SpeechBytes(5, std::u16string(1025, u'a'))}) {
        CopyCommand(74, 0, bad);
    }
    CopyCommand(75, 0, SpeechBytes(6, u"x"));
    Command(74, 0);
    EXPECT_EQ(speech.HasResult(), 0);
    EXPECT_EQ(speech.GetResultValue(), 4);

    EXPECT_EQ(RequestSpeechInput(), 1);
    EXPECT_EQ(AnnounceMapExit(), 1);
    const std::vector<Received> got = PeerGetsUntilMarker();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(NameOf(got[0]), "BMSG_RMC_SR");
    EXPECT_EQ(NameOf(got[1]), "BMSG_MAP_EXIT");
}

TEST(ExternalBlocks, DegreeMinutesByHand) {
    struct Case {
        double value;
        double max;
        int ok;
        int32_t units;
    } cases[] = {
        {12700.0, 180, 1, 127 * 524288},
        {3730.0, 90, 1, static_cast<int32_t>(37.5 * 524288)},
        {0.0, 90, 1, 0},
        {18000.0, 180, 1, 180 * 524288},
        {18000.5, 180, 0, 0},
        {3760.0, 90, 0, 0},
        {-3730.0, 90, 1, static_cast<int32_t>(-37.5 * 524288)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        int32_t units = 0;
        EXPECT_EQ(DegreeMinuteToMapUnits(c.value, c.max, &units), c.ok);
        if (c.ok) {
            EXPECT_EQ(units, c.units);
        }
    }
}

}  // namespace
