// End to end with the simulated receiver as a child process: the module
// connects to it over the socket, walks through hello, status and start,
// drops the data sent before the start and the oversized frame, stores the
// rest; the receiver killed mid-run is noticed and found again when it
// comes back; shut-down tells it to stop. Needs tools/traffic_receiver_sim
// of the same build; without it the test is skipped.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <fstream>
#include <mutex>
#include <thread>

#include "platform/paths.h"
#include "traffic/module_tpeg.h"
#include "traffic_fixture.h"

namespace traffictest {
namespace {

bool WaitFor(const std::function<bool()>& condition, int boundMs = 20000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(boundMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// The simulator as a child process; its JSON report lines come through a pipe.
class SimProcess {
public:
    SimProcess(const std::string& tool, const std::string& script, const std::string& runtimeDir) {
        int fds[2];
        if (::pipe(fds) != 0) return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(fds[1], 1);
            ::close(fds[0]);
            ::close(fds[1]);
            ::execl(tool.c_str(), tool.c_str(), "--script", script.c_str(), "--runtime-dir", runtimeDir.c_str(),
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(fds[1]);
        m_out = fds[0];
        ::fcntl(m_out, F_SETFL, O_NONBLOCK);
    }
    ~SimProcess() {
        Kill();
        if (m_out >= 0) ::close(m_out);
    }
    void Kill() {
        if (m_pid <= 0) return;
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }
    // True once the report holds the text.
    bool Saw(const std::string& text) {
        char buf[4096];
        for (;;) {
            const ssize_t n = ::read(m_out, buf, sizeof buf);
            if (n <= 0) break;
            m_report.append(buf, static_cast<size_t>(n));
        }
        return m_report.find(text) != std::string::npos;
    }
    size_t ReportSize() {
        Saw("");
        return m_report.size();
    }
    bool WaitSaw(const std::string& text) {
        if (WaitFor([&] { return Saw(text); })) return true;
        ADD_FAILURE() << "the receiver's report lacks " << text << ":\n" << m_report;
        return false;
    }

private:
    pid_t m_pid = -1;
    int m_out = -1;
    std::string m_report;
};

std::string SimTool() {
    const std::string exe = platform::ExecutablePath();
    return exe.substr(0, exe.rfind('/')) + "/../tools/traffic_receiver_sim";
}

std::string Received(uint32_t code) { return "\"received\",\"code\":" + std::to_string(code) + ","; }

class ReceiverSimTest : public TrafficFixture {
protected:
    void SetUp() override {
        TrafficFixture::SetUp();
        if (!platform::FileExists(SimTool())) GTEST_SKIP() << "no " << SimTool();
        m_script = m_dir.File("sim.txt");
        std::ofstream(m_script) << "[setup]\n"
                                   "status 4\n"
                                   "[hello]\n"
                                   "ctt 100:10:4          # before the start: dropped\n"
                                   "unknown 0x3333\n"
                                   "[start]\n"
                                   "ctt 100:25:0 200:25:0\n"
                                   "oversized 4\n"
                                   "rtm 1 300 12701000 3750000 추돌 사고\n"
                                   "nws 7 출근길 | 시내 혼잡\n";
    }
    std::string m_script;
};

TEST_F(ReceiverSimTest, HandshakeDataLossAndReconnect) {
    std::mutex traceLock;
    std::string trace;
    SetDebugTraceSink([&](std::string_view line) {
        std::lock_guard<std::mutex> hold(traceLock);
        trace += line;
    }, false);
    auto sim = std::make_unique<SimProcess>(SimTool(), m_script, m_dir.Path());
    ASSERT_TRUE(sim->WaitSaw("listening"));
    CMgrConfigModuleTPEG store;
    CModuleTPEG module(store, m_services);
    TrafficModuleSettings settings;
    settings.dataRoot = m_dir.Path();
    settings.runtimeDir = m_dir.Path();
    ASSERT_EQ(module.Initialize(settings), 1);
    ASSERT_TRUE(WaitFor([&] { return module.GetInitState() == 1; }));
    ASSERT_TRUE(sim->WaitSaw(Received(kTpegCmdHello)));
    ASSERT_TRUE(WaitFor([&] { return module.Link().GetCommandState() == kTpegCmdHelloAck; }));
    m_clock.Advance(kTpegCheckStatePeriodMs);
    ASSERT_TRUE(sim->WaitSaw(Received(kTpegCmdStatusReq)));
    ASSERT_TRUE(WaitFor([&] { return module.Link().GetCommandState() == kTpegCmdStatus; }));
    m_clock.Advance(kTpegCheckStatePeriodMs);
    ASSERT_TRUE(sim->WaitSaw(Received(kTpegCmdStart)));
    ASSERT_TRUE(WaitFor([&] { return module.Link().GetDispatchedCount() == 3; }));
    EXPECT_EQ(store.GetLinkCongestion(0), 2);
    EXPECT_EQ(store.GetLinkCongestion(1), 4);
    int count = 0;
    EXPECT_EQ(module.MakeIncidentList(0xFF, 0, 0, 0, 0, &count), 0);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(module.MakeNewsList(0xFF, 0, &count), 0);
    EXPECT_EQ(count, 1);

    // The receiver dies: noticed, and found again once it is back.
    sim->Kill();
    ASSERT_TRUE(WaitFor([&] { return module.Link().GetPeerLossCount() == 1; }));
    sim = std::make_unique<SimProcess>(SimTool(), m_script, m_dir.Path());
    ASSERT_TRUE(sim->WaitSaw("listening"));
    m_clock.Advance(kTpegFindPeerPeriodMs);
    ASSERT_TRUE(sim->WaitSaw(Received(kTpegCmdHello)));
    EXPECT_EQ(store.GetLinkCongestion(0), 2);  // the data stays until it ages

    EXPECT_EQ(module.Shutdown(), 1);
    EXPECT_TRUE(sim->WaitSaw(Received(kTpegCmdStop)));
    if (HasFailure()) {
        std::lock_guard<std::mutex> hold(traceLock);
        std::printf("%s\n", trace.c_str());
    }
}

}  // namespace
}  // namespace traffictest

namespace traffictest {
namespace {

// A receiver that misbehaves leaves the module running and the store
// consistent: every link either has the scripted congestion or none.
TEST_F(ReceiverSimTest, MisbehavingReceivers) {
    struct Case {
        const char* what;
        const char* script;
        std::function<bool(CModuleTPEG&, SimProcess&)> settled;
    };
    const Case cases[] = {
        {"status changes at any time",
         "status 4\n[start]\nctt 100:10:4\nstatus 2\nctt 200:10:4\nstatus 0\nstatus 4\n",
         [](CModuleTPEG& m, SimProcess& sim) {
             return sim.Saw("\"sent\",\"code\":4114,") && m.Engine().GetChannelType() == 0 &&
                    m.Link().GetDispatchedCount() >= 1;
         }},
        {"disconnects after data", "status 4\n[start]\nctt 100:10:4\ndisconnect\n",
         [](CModuleTPEG& m, SimProcess&) { return m.Link().GetPeerLossCount() == 1; }},
        {"never acknowledges hello", "ack-hello no\n",
         [](CModuleTPEG& m, SimProcess& sim) {
             return sim.Saw(Received(kTpegCmdHello)) && m.Link().GetCommandState() == kTpegCmdHello;
         }},
        {"answers the status late", "status 4\nstatus-delay 300\n",
         [](CModuleTPEG& m, SimProcess&) { return m.Link().GetCommandState() == kTpegCmdStatus; }},
        {"stops reading for a while", "status 4\n[hello]\nstall 300\nunknown 7\n[start]\nctt 100:10:4\n",
         [](CModuleTPEG& m, SimProcess&) { return m.Link().GetDispatchedCount() == 1; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::ofstream(m_script) << c.script;
        SimProcess sim(SimTool(), m_script, m_dir.Path());
        ASSERT_TRUE(sim.WaitSaw("listening"));
        CMgrConfigModuleTPEG store;
        CModuleTPEG module(store, m_services);
        TrafficModuleSettings settings;
        settings.dataRoot = m_dir.Path();
        settings.runtimeDir = m_dir.Path();
        ASSERT_EQ(module.Initialize(settings), 1);
        ASSERT_TRUE(WaitFor([&] { return module.GetInitState() == 1; }));
        // The state check every 6 s of the module's clock; after each, a
        // short look whether the case has settled. A check that comes before
        // the link has read the receiver's answer only costs another round,
        // and 100 rounds stay far below any ageing.
        bool settled = false;
        for (int round = 0; round < 100; ++round) {
            if (WaitFor([&] { return c.settled(module, sim); }, 200)) {
                settled = true;
                break;
            }
            m_clock.Advance(kTpegCheckStatePeriodMs);
        }
        EXPECT_TRUE(settled);
        EXPECT_EQ(module.GetInitState(), 1);
        for (int i = 0; i < 10; ++i) {
            const int c0 = store.GetLinkCongestion(i);
            EXPECT_TRUE(c0 == 255 || c0 == 4) << i << ": " << c0;
        }
        TPEGReceiveStatus status;
        EXPECT_EQ(module.GetReceiveStatus(&status), 1);
        EXPECT_EQ(module.Shutdown(), 1);
    }
}

}  // namespace
}  // namespace traffictest
