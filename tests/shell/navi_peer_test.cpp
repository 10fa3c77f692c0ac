// tools/navi_peer as a child process against a program window of this
// test: its commands reach the dispatcher, the broadcasts and client
// messages they cause come back to it as JSON lines, and in speech mode it
// answers the listen request with command 74.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link_fixture.h"
#include "settings/global_data.h"
#include "shell/external_link.h"
#include "shell/speech_link.h"

namespace {

using linktest::Collector;
using linktest::Received;

class NaviPeerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(m_navi.Open(m_dir.File("w"), "Navi"), 1);
        ASSERT_EQ(m_receiver.Start(m_navi, m_got.Sink()), 1);
        SetExternalLinkWindow(&m_navi);
        ExternalLink::Instance().Reset();
        RemoteControlHandler::Instance().Reset();
        RemoteControlHandler::Instance().Enable();
        SpeechRecogLink::Instance().Reset();
    }
    void TearDown() override {
        m_receiver.Stop();
        SetExternalLinkWindow(nullptr);
        CMgrConfigGlobalData::Instance().m_voiceware = 0;
    }
    std::unique_ptr<linktest::ToolProcess> StartPeer(std::vector<std::string> args) {
        std::vector<std::string> all = {"--folder", m_dir.File("w"), "--listen-ms", "-1"};
        all.insert(all.end(), args.begin(), args.end());
        auto peer = std::make_unique<linktest::ToolProcess>("navi_peer", all);
        EXPECT_TRUE(peer->WaitSaw("\"listening\""));
        return peer;
    }
    // The main window: dispatches the next n commands.
    void Dispatch(size_t n) {
        ASSERT_TRUE(m_got.WaitCount(m_taken + n));
        const std::vector<Received> items = m_got.Items();
        for (const size_t end = m_taken + n; m_taken < end; ++m_taken) {
            const Received& r = items[m_taken];
            DispatchExternalCommand(static_cast<int32_t>(r.wParam), r.message == kMsgCopyData ? r.block.dwData : r.lParam,
                                    r.block.bytes.data(), r.block.bytes.size(), r.message == kMsgCopyData);
        }
    }

    testsupport::TempDir m_dir;
    LinkWindow m_navi;
    Collector m_got;
    LinkReceiver m_receiver;
    size_t m_taken = 0;
};

TEST_F(NaviPeerTest, CommandsGoInAndWhatTheyCauseComesBack) {
    auto peer = StartPeer({"--client", "command", "1002", "0", "command", "1014", "6"});
    Dispatch(3);  // 1007 with the peer's handle, then the two keys
    ASSERT_NE(ExternalLink::Instance().GetClientWindow(), 0u);
    EXPECT_TRUE(peer->WaitSaw("{\"event\":\"received\",\"kind\":\"registered\",\"name\":\"BMSG_RMC_ZOOMIN\",\"wParam\":0,"));
    EXPECT_TRUE(peer->WaitSaw("\"name\":\"BMSG_RMC_MAPMOVE\",\"wParam\":6,"));
    ExternalLink::Instance().SetUiFolder("UI");
    ExternalLink::Instance().SendTurnImage(12, 30);
    EXPECT_TRUE(peer->WaitSaw(
        "{\"event\":\"received\",\"kind\":\"copydata\",\"wParam\":100,\"dwData\":30,\"bytes\":512,\"text\":\"UI\\\\NIP\\\\T012.bmp\"}"));
    BroadcastStatus(17, 0);
    EXPECT_TRUE(peer->WaitSaw("\"name\":\"BMSG_PELOX\",\"wParam\":17,\"lParam\":0}"));
}

TEST_F(NaviPeerTest, PositionBlockAsTheToolWritesIt) {
    auto peer = StartPeer({"copydata", "1024", "0", "position", "12700.5", "3730", "서울역"});
    ASSERT_TRUE(m_got.WaitCount(1));
    const Received r = m_got.Items()[0];
    EXPECT_EQ(r.wParam, 1024u);
    PositionBlock place;
    ASSERT_EQ(ReadPositionBlock(r.block.bytes.data(), r.block.bytes.size(), &place), 1);
    EXPECT_EQ(place.name, u"서울역");
    EXPECT_EQ(place.y, static_cast<int32_t>(37.5 * 524288));
}

TEST_F(NaviPeerTest, SpeechModeAnswersTheListenRequest) {
    CMgrConfigGlobalData::Instance().m_voiceware = 1;
    auto peer = StartPeer({"--speech", "3:집으로"});
    EXPECT_EQ(RequestSpeechInput(), 1);
    // The listen broadcast reaches this window too; then the answer.
    ASSERT_TRUE(m_got.WaitFor([](const std::vector<Received>& items) {
        for (const Received& r : items) {
            if (r.message == kMsgCopyData) return true;
        }
        return false;
    }));
    for (const Received& r : m_got.Items()) {
        if (r.message != kMsgCopyData) continue;
        EXPECT_EQ(r.wParam, 74u);
        DispatchExternalCommand(74, r.block.dwData, r.block.bytes.data(), r.block.bytes.size(), true);
    }
    EXPECT_EQ(SpeechRecogLink::Instance().HasResult(), 1);
    EXPECT_EQ(SpeechRecogLink::Instance().GetResultValue(), 3);
    EXPECT_EQ(SpeechRecogLink::Instance().GetResultText(), u"집으로");
}

}  // namespace
