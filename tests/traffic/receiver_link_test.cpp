// The receiver link against a receiver played by the test on a listening
// socket: the hello, status and start exchange, data before and after the
// start, status changes, a receiver that goes away and comes back, one that
// answers hello only, and ageing without any receiver. Time moves only with
// the FakeClock; every step is taken by the test.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "platform/byte_cursor.h"
#include "traffic/receiver_link.h"
#include "fake_receiver.h"
#include "traffic_fixture.h"

namespace traffictest {
namespace {

class ReceiverLinkTest : public TrafficFixture {
protected:
    void SetUp() override {
        TrafficFixture::SetUp();
        m_path = TpegSocketPath(m_dir.Path(), "TPEGD");
        ASSERT_FALSE(m_path.empty());
    }
    void Advance(uint64_t ms) {
        m_clock.Advance(ms);
        m_link.Step(0);
    }
    // Hello, status and start with a receiver on channel type 0.
    void Handshake(FakeReceiver& receiver) {
        m_link.FindDaemonWindow("TPEGD");
        ASSERT_EQ(receiver.Commands(), std::vector<uint32_t>{kTpegCmdHello});
        receiver.Send(kTpegCmdHelloAck);
        m_link.Step(0);
        Advance(kTpegCheckStatePeriodMs);
        ASSERT_EQ(receiver.Commands(), std::vector<uint32_t>{kTpegCmdStatusReq});
        receiver.Send(kTpegCmdStatus, StatusBlock(4));
        m_link.Step(0);
        Advance(kTpegCheckStatePeriodMs);
        ASSERT_EQ(receiver.Commands(), std::vector<uint32_t>{kTpegCmdStart});
        ASSERT_EQ(m_link.IsNotifying(), 1);
    }
    std::string m_path;
    CMneTPEGManagerEvent m_link{m_engine, m_dir.Path()};
};

TEST_F(ReceiverLinkTest, HandshakeThenData) {
    FakeReceiver receiver(m_path);
    // Stored transfers replayed before the receiver answers are kept until
    // the first on-channel status.
    ASSERT_EQ(m_engine.ReceiveCTT(writers::BuildCtt({{100, 10, 4}}).data(), 16), 1);
    m_link.FindDaemonWindow("TPEGD");
    EXPECT_EQ(Congestion()[0], 4);
    ASSERT_EQ(receiver.Commands(), std::vector<uint32_t>{kTpegCmdHello});
    // Data before the start is dropped.
    receiver.Send(1, writers::BuildCtt({{200, 10, 3}}));
    receiver.Send(kTpegCmdHelloAck);
    m_link.Step(0);
    EXPECT_EQ(Congestion()[1], 255);
    EXPECT_EQ(m_link.GetCommandState(), kTpegCmdHelloAck);
    Advance(kTpegCheckStatePeriodMs);
    ASSERT_EQ(receiver.Commands(), std::vector<uint32_t>{kTpegCmdStatusReq});
    receiver.Send(kTpegCmdStatus, StatusBlock(4));
    m_link.Step(0);
    EXPECT_EQ(m_engine.GetChannelType(), 0);
    EXPECT_EQ(Congestion()[0], 255);  // cleared by the change of channel
    Advance(kTpegCheckStatePeriodMs);
    ASSERT_EQ(receiver.Commands(), std::vector<uint32_t>{kTpegCmdStart});

    receiver.Send(1, writers::BuildCtt({{200, 25, 0}}));
    receiver.Send(17, writers::BuildCttExt({{300, 0, 0, true, 50, 3}}));
    m_link.Step(0);
    EXPECT_EQ(Congestion()[1], 4);  // flagged link, speed 25 on channel type 0
    EXPECT_EQ(Congestion()[2], 3);
    EXPECT_EQ(m_link.GetDispatchedCount(), 2u);
    Advance(kTpegCheckStatePeriodMs);
    EXPECT_EQ(Status().nReceiveState, 2);
    std::u16string text;
    m_engine.GetStatusText(&text);
    EXPECT_EQ(text, u"1a 0c 2(ct) | 0(su) | 0(op) | 2001(cmd)");
}

TEST_F(ReceiverLinkTest, StatusChanges) {
    FakeReceiver receiver(m_path);
    Handshake(receiver);
    ASSERT_EQ(m_engine.ReceiveCTT(writers::BuildCtt({{100, 10, 4}}).data(), 16), 1);
    // The same channel again: nothing cleared; the next check starts again.
    receiver.Send(kTpegCmdStatusAlt, StatusBlock(4));
    m_link.Step(0);
    EXPECT_EQ(m_link.GetCommandState(), kTpegCmdStatusAlt);
    EXPECT_EQ(Congestion()[0], 4);
    Advance(kTpegCheckStatePeriodMs);
    EXPECT_EQ(receiver.Commands(), std::vector<uint32_t>{kTpegCmdStart});
    // Another channel type clears every kind.
    receiver.Send(kTpegCmdStatus, StatusBlock(2));
    m_link.Step(0);
    EXPECT_EQ(m_engine.GetChannelType(), 2);
    EXPECT_EQ(Congestion()[0], 255);
    // Off channel: stop, and data is refused.
    receiver.Send(kTpegCmdStatus, StatusBlock(0));
    m_link.Step(0);
    Advance(kTpegCheckStatePeriodMs);
    EXPECT_EQ(receiver.Commands(), std::vector<uint32_t>{kTpegCmdStop});
    EXPECT_EQ(m_link.IsNotifying(), 0);
    receiver.Send(1, writers::BuildCtt({{100, 10, 4}}));
    m_link.Step(0);
    EXPECT_EQ(Congestion()[0], 255);
    // A status of 17 bytes is refused; one of 8 bytes takes bytes 0 to 7.
    receiver.Send(kTpegCmdStatus, StatusBlock(4, 0, 17));
    m_link.Step(0);
    EXPECT_EQ(m_engine.GetOnChannel(), 0);
    receiver.Send(kTpegCmdStatus, StatusBlock(4, 1, 8));
    m_link.Step(0);
    EXPECT_EQ(m_engine.GetOnChannel(), 1);
    EXPECT_EQ(Status().bOpiService, 1);
}

TEST_F(ReceiverLinkTest, BadFramesAreDropped) {
    FakeReceiver receiver(m_path);
    Handshake(receiver);
    std::vector<uint8_t> big = writers::BuildCtt({{100, 10, 4}});
    big.resize(kTpegMaxMessageBytes + 1);
    receiver.Send(1, big);
    auto lying = BuildTpegFrame(1, writers::BuildCtt({{100, 10, 4}}).data(), 16);
    lying[4] = 99;  // declares 99 bytes
    receiver.SendRaw(lying);
    receiver.Send(0x3333);
    receiver.Send(7, {1, 2, 3});
    receiver.SendRaw({1, 0});
    m_link.Step(0);
    EXPECT_EQ(Congestion()[0], 255);
    EXPECT_EQ(m_link.GetDispatchedCount(), 0u);
    EXPECT_EQ(m_link.HasPeer(), 1);
    // A frame of exactly 100 000 payload bytes is taken (the CTT handler
    // then refuses its size).
    std::vector<uint8_t> full(kTpegMaxMessageBytes, 0);
    receiver.Send(1, full);
    m_link.Step(0);
    EXPECT_EQ(m_link.GetDispatchedCount(), 1u);
}

TEST_F(ReceiverLinkTest, ReceiverGoesAwayAndComesBack) {
    auto receiver = std::make_unique<FakeReceiver>(m_path);
    Handshake(*receiver);
    receiver.reset();
    m_link.Step(0);
    EXPECT_EQ(m_link.HasPeer(), 0);
    EXPECT_EQ(m_link.GetPeerLossCount(), 1u);
    EXPECT_EQ(m_link.IsNotifying(), 0);
    // Without a receiver nothing is sent, and the search runs every minute.
    Advance(kTpegCheckStatePeriodMs);
    receiver = std::make_unique<FakeReceiver>(m_path);
    Advance(kTpegFindPeerPeriodMs - kTpegCheckStatePeriodMs - 1);
    EXPECT_EQ(m_link.HasPeer(), 0);
    Advance(1);
    EXPECT_EQ(m_link.HasPeer(), 1);
    EXPECT_EQ(receiver->Commands(), std::vector<uint32_t>{kTpegCmdHello});
}

TEST_F(ReceiverLinkTest, StatusRequestIsRepeatedWhenUnanswered) {
    FakeReceiver receiver(m_path);
    m_link.FindDaemonWindow("TPEGD");
    ASSERT_EQ(receiver.Commands(), std::vector<uint32_t>{kTpegCmdHello});
    receiver.Send(kTpegCmdHelloAck);
    m_link.Step(0);
    Advance(kTpegCheckStatePeriodMs);
    ASSERT_EQ(receiver.Commands(), std::vector<uint32_t>{kTpegCmdStatusReq});
    Advance(kTpegCheckStatePeriodMs);
    Advance(kTpegCheckStatePeriodMs);
    EXPECT_TRUE(receiver.Commands().empty());
    Advance(kTpegCheckStatePeriodMs);  // 18 s after the request
    EXPECT_EQ(receiver.Commands(), std::vector<uint32_t>{kTpegCmdStatusReq});
}

TEST_F(ReceiverLinkTest, AgeingWithoutAReceiver) {
    m_link.FindDaemonWindow("TPEGD");
    EXPECT_EQ(m_link.HasPeer(), 0);
    ASSERT_EQ(m_engine.ReceiveCTT(writers::BuildCtt({{100, 10, 4}}).data(), 16), 1);
    for (int i = 0; i < 200; ++i) Advance(kTpegCheckStatePeriodMs);  // 20 minutes: still there
    EXPECT_EQ(Congestion()[0], 4);
    Advance(kTpegCheckStatePeriodMs);
    EXPECT_EQ(Congestion()[0], 255);
    m_link.Close();  // nothing to tell without a receiver
    EXPECT_EQ(m_link.HasPeer(), 0);
}

TEST_F(ReceiverLinkTest, CloseSendsStop) {
    FakeReceiver receiver(m_path);
    Handshake(receiver);
    m_link.Close();
    EXPECT_EQ(receiver.Commands(), std::vector<uint32_t>{kTpegCmdStop});
    EXPECT_EQ(m_link.HasPeer(), 0);
}

}  // namespace
}  // namespace traffictest
