// The traffic module and its thread "MODULETPEG": start-up with the replay
// of stored transfers, the receiver exchange over the socket while the
// screens query, failed starts that the start-up sees, and a bounded
// shut-down that tells the receiver to stop. The test follows the thread's
// progress through what it can observe, and moves time with the FakeClock.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "fake_receiver.h"
#include "traffic/module_tpeg.h"
#include "traffic_fixture.h"

namespace traffictest {
namespace {

// Waits until the condition holds, at most 20 s of real time.
bool WaitFor(const std::function<bool()>& condition) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

class ModuleTest : public TrafficFixture {
protected:
    void SetUp() override { WriteTables(); }
    TrafficModuleSettings Settings() {
        TrafficModuleSettings s;
        s.dataRoot = m_dir.Path();
        s.runtimeDir = m_dir.Path();
        return s;
    }
    // Commands the receiver got, gathered until `want` arrived.
    bool Expect(FakeReceiver& receiver, uint32_t want) {
        return WaitFor([&] {
            for (uint32_t code : receiver.Commands()) {
                if (code == want) return true;
            }
            return false;
        });
    }
    int Congestion0(CModuleTPEG& module) { return module.Engine().Store().GetLinkCongestion(0); }
};

TEST_F(ModuleTest, ShutdownBeforeStartAndFailedStarts) {
    {
        CModuleTPEG module(m_store, m_services);
        EXPECT_EQ(module.Shutdown(), 1);
        EXPECT_EQ(module.IsStopped(), 1);
        EXPECT_EQ(module.GetInitState(), 0);
    }
    // Without the link table the thread reports -3, and stops when asked.
    ASSERT_TRUE(platform::RemoveFile(m_dir.Path() + "/map/LinkID.tdb"));
    CMgrConfigModuleTPEG store;
    CModuleTPEG module(store, m_services);
    ASSERT_EQ(module.Initialize(Settings()), 1);
    ASSERT_TRUE(WaitFor([&] { return module.GetInitState() != 0; }));
    EXPECT_EQ(module.GetInitState(), kTpegStartNoTables);
    EXPECT_EQ(module.IsLoaded(), 0);
    int count = 5;
    EXPECT_EQ(module.MakeIncidentList(0xFF, 0, 0, 0, 0, &count), kTpegNoIncident);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(module.Shutdown(), 1);
    EXPECT_EQ(store.GetState(), CMgrConfigModuleTPEG::kStateThreadFinished);
}

TEST_F(ModuleTest, StartReceiveQueryAndShutDown) {
    Write("EVT_CTT_TRANSFER_0.bin", writers::BuildCtt({{100, 10, 4}}));
    FakeReceiver receiver(TpegSocketPath(m_dir.Path(), "TPEGD"));
    CModuleTPEG module(m_store, m_services);
    EXPECT_EQ(module.GetArenaBytes(), 1341476u);
    ASSERT_EQ(module.Initialize(Settings()), 1);
    EXPECT_EQ(module.Initialize(Settings()), 0);  // already started
    ASSERT_TRUE(WaitFor([&] { return module.GetInitState() == 1; }));
    EXPECT_EQ(m_store.GetState(), CMgrConfigModuleTPEG::kStateLinkRunning);

    ASSERT_TRUE(Expect(receiver, kTpegCmdHello));
    // The stored transfer is there before the receiver answers.
    ASSERT_TRUE(WaitFor([&] { return Congestion0(module) == 4; }));
    receiver.Send(kTpegCmdHelloAck);
    ASSERT_TRUE(WaitFor([&] { return module.Link().GetCommandState() == kTpegCmdHelloAck; }));
    m_clock.Advance(kTpegCheckStatePeriodMs);
    ASSERT_TRUE(Expect(receiver, kTpegCmdStatusReq));
    receiver.Send(kTpegCmdStatus, StatusBlock(4));
    // The first on-channel status clears what was replayed.
    ASSERT_TRUE(WaitFor([&] { return Congestion0(module) == 255; }));
    m_clock.Advance(kTpegCheckStatePeriodMs);
    ASSERT_TRUE(Expect(receiver, kTpegCmdStart));

    receiver.Send(1, writers::BuildCtt({{100, 25, 0}, {200, 25, 0}}));
    receiver.Send(4, writers::BuildRtm({{1, "", "추돌 사고", 300, 0, 12701000, 3750000}}));
    ASSERT_TRUE(WaitFor([&] { return module.Link().GetDispatchedCount() == 2; }));
    EXPECT_EQ(Congestion0(module), 2);
    int count = 0;
    ASSERT_EQ(module.MakeIncidentList(0xFF, 0, 0, kBaseX, kBaseY, &count), 0);
    TPEGIncidentRow row;
    count = 1;
    ASSERT_EQ(module.GetIncidentList(0, &row, &count), 0);
    EXPECT_EQ(Text(row.szTitle), u"추돌 사고");
    m_clock.Advance(kTpegCheckStatePeriodMs);
    ASSERT_TRUE(WaitFor([&] {
        TPEGReceiveStatus s;
        return module.GetReceiveStatus(&s) == 1 && s.nReceiveState == 2;
    }));
    std::u16string text;
    ASSERT_EQ(module.GetStatusText(&text), 1);
    EXPECT_EQ(text, u"1a 0c 2(ct) | 0(su) | 0(op) | 2001(cmd)");

    // Congestion ages out after 20 minutes of the module's clock.
    m_clock.Advance(1200001);
    ASSERT_TRUE(WaitFor([&] { return Congestion0(module) == 255; }));

    EXPECT_EQ(module.Shutdown(), 1);
    EXPECT_TRUE(Expect(receiver, kTpegCmdStop));
    EXPECT_EQ(module.IsStopped(), 1);
}

}  // namespace
}  // namespace traffictest
