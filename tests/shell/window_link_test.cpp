// The window link: the frame, registered names, real sockets in a private
// folder, broadcasts, bad datagrams and a peer that never reads.
#include "shell/window_link.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <string>
#include <vector>

#include "link_fixture.h"
#include "platform/byte_cursor.h"

namespace {

using linktest::Collector;
using linktest::Received;

std::vector<uint8_t> Header(uint32_t magic, uint16_t version, uint16_t kind, uint32_t message, uint32_t length) {
    platform::ByteWriter w;
    w.U32(magic);
    w.U16(version);
    w.U16(kind);
    w.U32(message);
    w.U64(7);
    w.I64(-3);
    w.U32(length);
    return w.Data();
}

std::vector<uint8_t> Cat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<uint8_t> Cut(std::vector<uint8_t> a, size_t n) {
    a.resize(n);
    return a;
}

TEST(LinkFrame, ByteLayoutOfAPostedMessage) {
    LinkMessage m;
    m.kind = kLinkKindPost;
    m.message = 4005;
    m.wParam = 0x0102030405060708ull;
    m.lParam = -2;
    const std::vector<uint8_t> frame = BuildLinkFrame(m);
    const std::vector<uint8_t> expected = {
        'N', 'V', 'W', 'M', 1, 0, 1, 0,          // magic, version 1, kind 1
        0xA5, 0x0F, 0, 0,                        // 4005
        8, 7, 6, 5, 4, 3, 2, 1,                  // wParam
        0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,  // lParam -2
        0, 0, 0, 0};                             // no data
    EXPECT_EQ(frame, expected);
}

TEST(LinkFrame, RoundTripOfEachKind) {
    LinkMessage copy;
    copy.kind = kLinkKindCopyData;
    copy.message = kMsgCopyData;
    copy.wParam = 1024;
    copy.lParam = 9;
    copy.data = {1, 2, 3};
    LinkMessage named;
    named.kind = kLinkKindRegistered;
    named.name = "BMSG_RMC_HOME";
    named.wParam = 5;
    for (const LinkMessage& m : {copy, named}) {
        LinkMessage back;
        const std::vector<uint8_t> frame = BuildLinkFrame(m);
        ASSERT_EQ(ParseLinkFrame(frame.data(), frame.size(), &back), kLinkFrameOk);
        EXPECT_EQ(back.kind, m.kind);
        EXPECT_EQ(back.wParam, m.wParam);
        EXPECT_EQ(back.lParam, m.lParam);
        EXPECT_EQ(back.data, m.data);
        EXPECT_EQ(back.name, m.name);
    }
    // The name travels with its terminator and nothing else.
    const std::vector<uint8_t> frame = BuildLinkFrame(named);
    EXPECT_EQ(frame.size(), kLinkHeaderBytes + 14);
    EXPECT_EQ(frame.back(), 0);
    // The largest block fits; one byte more is not sent.
    copy.data.assign(kLinkMaxDataBytes, 0xAB);
    EXPECT_EQ(BuildLinkFrame(copy).size(), kLinkMaxFrameBytes);
    copy.data.push_back(0);
    EXPECT_TRUE(BuildLinkFrame(copy).empty());
}

TEST(LinkFrame, BadFramesAreRefused) {
    const std::vector<uint8_t> name = {'A', 'B'};
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        int expected;
    } cases[] = {
        {"empty", {}, kLinkFrameShort},
        {"header cut", Cut(Header(kLinkMagic, 1, 1, 5, 0), 31), kLinkFrameShort},
        {"wrong magic", Header(0x4D57564Fu, 1, 1, 5, 0), kLinkFrameBadMagic},
        {"wrong version", Header(kLinkMagic, 2, 1, 5, 0), kLinkFrameBadVersion},
        {"unknown kind", Header(kLinkMagic, 1, 9, 5, 0), kLinkFrameBadKind},
        {"length past the end", Header(kLinkMagic, 1, 2, kMsgCopyData, 4), kLinkFrameBadLength},
        {"bytes after the data", Cat(Header(kLinkMagic, 1, 2, kMsgCopyData, 0), {1}), kLinkFrameBadLength},
        {"length over 64 KiB", Cat(Header(kLinkMagic, 1, 2, kMsgCopyData, 65537), std::vector<uint8_t>(65537)),
         kLinkFrameBadLength},
        {"posted message with data", Cat(Header(kLinkMagic, 1, 1, 5, 1), {1}), kLinkFrameBadLength},
        {"registered number posted as a number", Header(kLinkMagic, 1, 1, 0xC003, 0), kLinkFrameBadMessage},
        {"copy data posted without its block", Header(kLinkMagic, 1, 1, kMsgCopyData, 0), kLinkFrameBadMessage},
        {"copy data under another message", Header(kLinkMagic, 1, 2, 5, 0), kLinkFrameBadMessage},
        {"unterminated name", Cat(Header(kLinkMagic, 1, 3, 0, 2), name), kLinkFrameBadName},
        {"empty name", Cat(Header(kLinkMagic, 1, 3, 0, 1), {0}), kLinkFrameBadName},
        {"zero inside the name", Cat(Header(kLinkMagic, 1, 3, 0, 3), {'A', 0, 0}), kLinkFrameBadName},
        {"control byte in the name", Cat(Header(kLinkMagic, 1, 3, 0, 3), {'A', '\n', 0}), kLinkFrameBadName},
        {"name with a number", Cat(Header(kLinkMagic, 1, 3, 7, 3), {'A', 'B', 0}), kLinkFrameBadMessage},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LinkMessage out;
        EXPECT_EQ(ParseLinkFrame(c.bytes.data(), c.bytes.size(), &out), c.expected);
    }
}

TEST(LinkNames, KnownNamesHaveFixedNumbersAndNewOnesAreAdded) {
    const uint32_t status = RegisterLinkMessage(kRegStatus);
    EXPECT_EQ(status, kRegisteredMessageFirst + 2);
    EXPECT_EQ(RegisterLinkMessage("BMSG_PELOX"), status);
    EXPECT_EQ(RegisteredLinkMessageName(status), "BMSG_PELOX");
    const uint32_t other = RegisterLinkMessage("SOME_OTHER_PROGRAM_MSG");
    EXPECT_GT(other, RegisterLinkMessage(kRegRmcOilInfo));
    EXPECT_EQ(RegisterLinkMessage("SOME_OTHER_PROGRAM_MSG"), other);
    EXPECT_EQ(RegisterLinkMessage(""), 0u);
    EXPECT_EQ(RegisterLinkMessage("with space"), 0u);
    EXPECT_EQ(RegisterLinkMessage(std::string(256, 'A')), 0u);
    EXPECT_EQ(RegisteredLinkMessageName(0x400), "");
}

class LinkWindows : public ::testing::Test {
protected:
    std::string Folder() const { return m_dir.File("windows"); }
    testsupport::TempDir m_dir;
};

TEST_F(LinkWindows, FolderIsPrivateAndTitlesLinkToSockets) {
    LinkWindow navi;
    ASSERT_EQ(navi.Open(Folder(), "Navi"), 1);
    struct stat st{};
    ASSERT_EQ(::stat(Folder().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_NE(navi.Handle(), 0u);
    EXPECT_EQ(LinkWindow::FindWindow(Folder(), "Navi"), navi.Handle());
    EXPECT_EQ(LinkWindow::FindWindow(Folder(), "Other"), 0u);
    LinkWindow peer;
    ASSERT_EQ(peer.Open(Folder()), 1);
    EXPECT_NE(peer.Handle(), navi.Handle());
    EXPECT_EQ(LinkWindow::ListWindows(Folder()).size(), 2u);
    navi.Close();
    EXPECT_EQ(LinkWindow::FindWindow(Folder(), "Navi"), 0u);
    EXPECT_EQ(LinkWindow::ListWindows(Folder()), std::vector<uint32_t>{peer.Handle()});
    // A folder left open to others is closed again.
    ASSERT_EQ(::chmod(Folder().c_str(), 0755), 0);
    LinkWindow again;
    ASSERT_EQ(again.Open(Folder()), 1);
    ASSERT_EQ(::stat(Folder().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(LinkWindows, PostedRegisteredAndCopyDataReachTheReceiver) {
    LinkWindow navi, peer;
    ASSERT_EQ(navi.Open(Folder(), "Navi"), 1);
    ASSERT_EQ(peer.Open(Folder()), 1);
    Collector got;
    LinkReceiver receiver;
    ASSERT_EQ(receiver.Start(navi, got.Sink()), 1);

    const uint32_t target = LinkWindow::FindWindow(Folder(), "Navi");
    EXPECT_EQ(peer.Post(target, 4005, 2, 0), 1);
    EXPECT_EQ(peer.Post(target, RegisterLinkMessage(kRegCommand), 1002, 7), 1);
    const std::vector<uint8_t> block = {9, 8, 7};
    EXPECT_EQ(peer.CopyData(target, 1023, 42, block.data(), block.size()), 1);
    ASSERT_TRUE(got.WaitCount(3));
    const std::vector<Received> items = got.Items();
    EXPECT_EQ(items[0].message, 4005u);
    EXPECT_EQ(items[0].wParam, 2u);
    EXPECT_EQ(items[1].message, RegisterLinkMessage("RMSG_PELOX"));
    EXPECT_EQ(items[1].wParam, 1002u);
    EXPECT_EQ(items[1].lParam, 7);
    EXPECT_EQ(items[2].message, kMsgCopyData);
    EXPECT_EQ(items[2].wParam, 1023u);
    EXPECT_EQ(items[2].block.dwData, 42);
    EXPECT_EQ(items[2].block.bytes, block);
    receiver.Stop();
    EXPECT_FALSE(receiver.Running());
}

TEST_F(LinkWindows, BroadcastReachesEveryWindowTheSenderIncluded) {
    LinkWindow windows[3];
    Collector got[3];
    LinkReceiver receivers[3];
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(windows[i].Open(Folder()), 1);
        ASSERT_EQ(receivers[i].Start(windows[i], got[i].Sink()), 1);
    }
    EXPECT_EQ(windows[0].Broadcast(RegisterLinkMessage(kRegStatus), 17, 0), 3);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(got[i].WaitCount(1));
        EXPECT_EQ(got[i].Items()[0].message, RegisterLinkMessage(kRegStatus));
        EXPECT_EQ(got[i].Items()[0].wParam, 17u);
    }
    // A window that went away is skipped, the others still get it.
    receivers[2].Stop();
    windows[2].Close();
    EXPECT_EQ(windows[0].Broadcast(RegisterLinkMessage(kRegStatus), 1, 0), 2);
}

TEST_F(LinkWindows, BadDatagramsAreDroppedAndTheReceiverGoesOn) {
    LinkWindow navi, peer;
    ASSERT_EQ(navi.Open(Folder(), "Navi"), 1);
    ASSERT_EQ(peer.Open(Folder()), 1);
    Collector got;
    LinkReceiver receiver;
    ASSERT_EQ(receiver.Start(navi, got.Sink()), 1);
    LinkMessage good;
    good.message = 4001;
    const std::vector<uint8_t> frame = BuildLinkFrame(good);
    std::vector<uint8_t> wrongVersion = frame;
    wrongVersion[4] = 2;
    std::vector<uint8_t> oversized = Header(kLinkMagic, 1, 2, kMsgCopyData, 65536);
    oversized.resize(kLinkMaxFrameBytes + 100, 0);
    const std::vector<std::vector<uint8_t>> bad = {
        {1, 2, 3},
        std::vector<uint8_t>(frame.begin(), frame.end() - 1),
        Cat(Header(0x12345678, 1, 1, 5, 0), {}),
        wrongVersion,
        Cat(Header(kLinkMagic, 1, 3, 0, 3), {'A', 'B', 'C'}),
        oversized,
    };
    for (const auto& bytes : bad) ASSERT_TRUE(linktest::SendRawDatagram(Folder(), navi.Handle(), bytes));
    EXPECT_EQ(peer.Post(navi.Handle(), 4001, 3, 0), 1);
    ASSERT_TRUE(got.WaitCount(1));
    EXPECT_EQ(got.Items().size(), 1u);
    EXPECT_EQ(got.Items()[0].message, 4001u);
    EXPECT_EQ(got.Items()[0].wParam, 3u);
    EXPECT_EQ(receiver.RejectedCount(), bad.size());
}

TEST_F(LinkWindows, APeerThatNeverReadsDoesNotBlockTheSender) {
    LinkWindow sender, sleeper;
    ASSERT_EQ(sender.Open(Folder()), 1);
    ASSERT_EQ(sleeper.Open(Folder(), "Sleeper"), 1);
    // Nobody reads the sleeper's socket: its queue fills, and from then on
    // each send returns at once with the message dropped. The loop is
    // bounded by a count, not by time.
    std::vector<uint8_t> block(4096, 1);
    int sent = 0, dropped = 0;
    for (int i = 0; i < 100000 && dropped < 50; ++i) {
        if (sender.CopyData(sleeper.Handle(), 1, 0, block.data(), block.size())) ++sent;
        else ++dropped;
    }
    EXPECT_GT(sent, 0);
    EXPECT_EQ(dropped, 50);
    EXPECT_EQ(sender.DroppedCount(), 50u);
    // A window that does not exist loses the message the same way.
    EXPECT_EQ(sender.Post(0x7FFFFFF0u, 4001, 0, 0), 0);
    EXPECT_EQ(sender.Post(0, 4001, 0, 0), 0);
}

TEST(LinkDeliver, RefusedMessagesLeaveNothingInTheMailbox) {
    LinkMessage m;
    m.kind = kLinkKindCopyData;
    m.message = kMsgCopyData;
    m.data = {1};
    const std::vector<uint8_t> frame = BuildLinkFrame(m);
    const size_t before = CopyDataMailbox::Instance().Waiting();
    const LinkReceiver::Sink refuse = [](uint32_t, uint64_t, int64_t) { return false; };
    EXPECT_EQ(LinkReceiver::Deliver(frame.data(), frame.size(), refuse, {}), LinkReceiver::kLinkDeliverRefused);
    EXPECT_EQ(CopyDataMailbox::Instance().Waiting(), before);
    // A filter that keeps the message: nothing reaches the sink.
    int sinkCalls = 0;
    const LinkReceiver::Sink count = [&](uint32_t, uint64_t, int64_t) { return ++sinkCalls > 0; };
    EXPECT_EQ(LinkReceiver::Deliver(frame.data(), frame.size(), count, [](const LinkMessage&) { return true; }), 0);
    EXPECT_EQ(sinkCalls, 0);
}

TEST(LinkDeliver, AFullMailboxDropsCopyData) {
    std::vector<int64_t> tickets;
    const LinkReceiver::Sink keep = [&](uint32_t, uint64_t, int64_t l) {
        tickets.push_back(l);
        return true;
    };
    LinkMessage m;
    m.kind = kLinkKindCopyData;
    m.message = kMsgCopyData;
    const std::vector<uint8_t> frame = BuildLinkFrame(m);
    int refused = 0;
    for (size_t i = 0; i < CopyDataMailbox::kCopyDataMailboxSlots + 3; ++i) {
        if (LinkReceiver::Deliver(frame.data(), frame.size(), keep, {}) == LinkReceiver::kLinkDeliverRefused) ++refused;
    }
    EXPECT_EQ(refused, 3);
    for (int64_t t : tickets) EXPECT_EQ(CopyDataMailbox::Instance().Take(t, nullptr), 1);
    EXPECT_EQ(CopyDataMailbox::Instance().Waiting(), 0u);
}

}  // namespace
