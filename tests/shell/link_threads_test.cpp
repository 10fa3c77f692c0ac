// Threads on the window link: two peers send commands and copy data at the
// same time while the test thread, as the main window, dispatches what the
// receive thread hands on and broadcasts statuses as its update timer
// would; the peers' own receive threads take the broadcasts meanwhile.
// Every command that left a peer is dispatched exactly once.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "link_fixture.h"
#include "platform/byte_cursor.h"
#include "settings/global_data.h"
#include "shell/external_link.h"
#include "shell/main_queue.h"
#include "shell/program_link.h"
#include "shell/window_link.h"

namespace {

using linktest::Collector;
using linktest::Received;

class CountingShell : public ExternalShell {
public:
    void SetSoftwareMute(int) override { ++mutes; }
    int mutes = 0;
};

TEST(LinkThreads, TwoPeersSendWhileTheMainThreadDispatches) {
    testsupport::TempDir dir;
    LinkWindow navi;
    ASSERT_EQ(navi.Open(dir.File("w"), "Navi"), 1);
    Collector naviGot;
    LinkReceiver naviReceiver;
    ASSERT_EQ(naviReceiver.Start(navi, naviGot.Sink()), 1);
    CountingShell shell;
    SetExternalShell(&shell);
    SetExternalLinkWindow(&navi);
    CMgrConfigGlobalData::Instance().m_routeMessageFilter = 5;

    constexpr int kPerPeer = 300;
    LinkWindow peers[2];
    Collector peerGot[2];
    LinkReceiver peerReceivers[2];
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(peers[i].Open(dir.File("w")), 1);
        ASSERT_EQ(peerReceivers[i].Start(peers[i], peerGot[i].Sink()), 1);
    }
    std::atomic<int> sent{0};
    std::atomic<int> peersDone{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 2; ++i) {
        threads.emplace_back([&, i] {
            const uint32_t target = LinkWindow::FindWindow(dir.File("w"), "Navi");
            const uint8_t block[8] = {1, 2, 3, 4, 5, 6, 7, 8};
            for (int n = 0; n < kPerPeer; ++n) {
                const int rc = n % 2 ? peers[i].Post(target, RegisterLinkMessage(kRegCommand), 1011, n & 1)
                                     : peers[i].CopyData(target, 1011, n & 1, block, sizeof block);
                sent += rc;
            }
            ++peersDone;
        });
    }
    // The main window: dispatch what came, broadcast a status now and then,
    // until both peers are done and everything they sent was dispatched.
    size_t taken = 0;
    int dispatched = 0;
    int ticks = 0;
    while (peersDone.load() < 2 || dispatched < sent.load()) {
        naviGot.WaitFor([&](const std::vector<Received>& items) { return items.size() > taken || peersDone.load() == 2; });
        const std::vector<Received> items = naviGot.Items();
        for (; taken < items.size(); ++taken) {
            const Received& r = items[taken];
            if (r.message == RegisterLinkMessage(kRegCommand) || r.message == kMsgCopyData) {
                DispatchExternalCommand(static_cast<int32_t>(r.wParam), r.message == kMsgCopyData ? r.block.dwData : r.lParam,
                                        r.block.bytes.data(), r.block.bytes.size(), r.message == kMsgCopyData);
                ++dispatched;
            }
        }
        if (++ticks % 8 == 0) BroadcastStatus(19, ticks);
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(dispatched, sent.load());
    EXPECT_EQ(shell.mutes, sent.load());
    EXPECT_GT(sent.load(), 0);
    EXPECT_EQ(CopyDataMailbox::Instance().Waiting(), 0u);
    naviReceiver.Stop();
    for (LinkReceiver& r : peerReceivers) r.Stop();
    SetExternalShell(nullptr);
    SetExternalLinkWindow(nullptr);
}

// The same through the program's own link: the receive thread posts into
// the main queue and the test thread takes from it as the message loop does,
// broadcasting a status on every eighth turn as the update timer would.
TEST(LinkThreads, TwoPeersIntoTheMainQueue) {
    testsupport::TempDir dir;
    MainQueue::Instance().Clear();
    ProgramLink link;
    ASSERT_EQ(link.Start(dir.File("w"), "Navi"), 1);
    CountingShell shell;
    SetExternalShell(&shell);
    CMgrConfigGlobalData::Instance().m_routeMessageFilter = 5;
    constexpr int kPerPeer = 200;
    LinkWindow peers[2];
    Collector peerGot[2];
    LinkReceiver peerReceivers[2];
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(peers[i].Open(dir.File("w")), 1);
        ASSERT_EQ(peerReceivers[i].Start(peers[i], peerGot[i].Sink()), 1);
    }
    std::atomic<int> sent{0};
    std::atomic<int> peersDone{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 2; ++i) {
        threads.emplace_back([&, i] {
            const uint8_t block[4] = {1, 2, 3, 4};
            for (int n = 0; n < kPerPeer; ++n) {
                sent += n % 2 ? peers[i].Post(link.Handle(), RegisterLinkMessage(kRegCommand), 1011, 1)
                              : peers[i].CopyData(link.Handle(), 1011, 0, block, sizeof block);
            }
            ++peersDone;
        });
    }
    int ticks = 0;
    // Bounded: the loop ends once the peers are done and every message they
    // sent was taken here or dropped on the way in (copy data waits in a
    // mailbox of 64 blocks; when this thread falls behind, more are dropped
    // with a trace line).
    uint64_t taken = 0;
    while (peersDone.load() < 2 || taken + link.RejectedCount() < static_cast<uint64_t>(sent.load())) {
        MainMessage m;
        while (MainQueue::Instance().TryTake(m)) {
            if (HandleLinkMessage(m.message, m.wParam, m.lParam)) ++taken;
        }
        if (++ticks % 8 == 0) BroadcastStatus(19, ticks);
        std::this_thread::yield();
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(static_cast<uint64_t>(shell.mutes), taken);
    EXPECT_GT(taken, 0u);
    EXPECT_EQ(CopyDataMailbox::Instance().Waiting(), 0u);
    for (LinkReceiver& r : peerReceivers) r.Stop();
    link.Stop();
    SetExternalShell(nullptr);
}

}  // namespace
