#include "foundation/msg_queue.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/codepage.h"
#include "platform/thread_util.h"

namespace {

using Clock = std::chrono::steady_clock;

CMgrWorkThreadEntry& Registry() { return *CMgrWorkThreadEntry::Instance(); }

long ElapsedMs(Clock::time_point since) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

// A queue registered under a name for a thread that receives on it, as a
// worker thread's RegistThread would make it.
class Mailbox {
public:
    Mailbox(std::u16string name, uint32_t ownerId, const MgrQueueInfo& info = kMgrModuleQueueInfo)
        : m_name(std::move(name)) {
        m_reader = CreateMsgQueue(m_name, info, MgrMsgQueueHandle::kReader);
        m_writer = CreateMsgQueue(m_name, info, MgrMsgQueueHandle::kWriter);
        MgrThreadEntry entry;
        entry.name = m_name;
        entry.threadHandle = ownerId;
        entry.threadId = ownerId;
        entry.maxMessageSize = info.maxMessageSize;
        entry.reader = m_reader;
        entry.writer = m_writer;
        entry.stopFlag = m_stop;
        m_added = Registry().AddEntry(entry);
    }
    ~Mailbox() { Registry().RemoveByName(m_name); }

    bool Ok() const { return m_reader && m_writer && m_added == 1; }
    MgrMsgQueue* Queue() const { return m_reader->GetQueue(); }
    void SignalStop() {
        m_stop->store(1, std::memory_order_release);
        Queue()->WakeWaiters();
    }
    const std::u16string& Name() const { return m_name; }

private:
    std::u16string m_name;
    MgrMsgQueueHandlePtr m_reader;
    MgrMsgQueueHandlePtr m_writer;
    std::shared_ptr<std::atomic<int>> m_stop = std::make_shared<std::atomic<int>>(0);
    int m_added = 0;
};

struct Received {
    int ok = 0;
    uint32_t sender = 0;
    uint32_t code = 0;
    uint32_t length = 0;
    uint32_t tick = 0;
    std::vector<uint8_t> payload;
};

Received Receive(uint32_t bufferSize, uint32_t timeoutMs) {
    Received r;
    r.payload.assign(bufferSize, 0xEE);
    r.ok = Registry().ReceiveForThread(&r.sender, &r.code, r.payload.data(), bufferSize, &r.length, &r.tick,
                                       timeoutMs);
    return r;
}

TEST(ThreadMsgHeader, IsFiveLittleEndianWordsBeforeThePayload) {
    MgrThreadMsgHeader header;
    header.payloadLength = 3;
    header.code = 0x104;
    header.senderThreadId = 7;
    header.targetThreadId = 0x0A0B;
    header.tickCount = 0xA1B2C3D4;
    uint8_t bytes[20];
    EncodeThreadMsgHeader(header, bytes);
    const uint8_t expected[20] = {3, 0, 0, 0, 0x04, 0x01, 0, 0, 7, 0, 0, 0, 0x0B, 0x0A, 0, 0, 0xD4, 0xC3, 0xB2, 0xA1};
    EXPECT_EQ(0, std::memcmp(bytes, expected, 20));

    MgrThreadMsgHeader back;
    ASSERT_TRUE(DecodeThreadMsgHeader(bytes, 20, &back));
    EXPECT_EQ(back.code, 0x104u);
    EXPECT_EQ(back.tickCount, 0xA1B2C3D4u);
    EXPECT_FALSE(DecodeThreadMsgHeader(bytes, 19, &back));
}

// What a sender stores in the queue: the header with both thread ids and the
// caller's tick, then the payload; a second reader of the same name sees it.
TEST(ThreadMessages, SendStoresHeaderAndPayloadInTheTargetQueue) {
    Mailbox box(u"MQ_BYTES", 4242);
    ASSERT_TRUE(box.Ok());
    const uint32_t tick = 777;
    ASSERT_EQ(1, Registry().SendToThread(u"MQ_BYTES", 9, "abc", 3, 0, &tick));

    auto peek = CreateMsgQueue(u"MQ_BYTES", kMgrModuleQueueInfo, MgrMsgQueueHandle::kReader);
    ASSERT_TRUE(peek);
    std::array<uint8_t, 532> raw{};
    uint32_t length = 0;
    ASSERT_EQ(1, ReadMsgQueue(peek.get(), raw.data(), raw.size(), &length, 0));
    ASSERT_EQ(length, 23u);
    MgrThreadMsgHeader header;
    ASSERT_TRUE(DecodeThreadMsgHeader(raw.data(), length, &header));
    EXPECT_EQ(header.payloadLength, 3u);
    EXPECT_EQ(header.code, 9u);
    EXPECT_EQ(header.senderThreadId, platform::CurrentThreadId());
    EXPECT_EQ(header.targetThreadId, 4242u);
    EXPECT_EQ(header.tickCount, 777u);
    EXPECT_EQ(0, std::memcmp(raw.data() + 20, "abc", 3));
}

TEST(ThreadMessages, SixteenSlotsHoldFifteenAndTheSixteenthTimesOut) {
    Mailbox box(u"MQ_FULL", platform::CurrentThreadId());
    ASSERT_TRUE(box.Ok());
    for (uint32_t i = 0; i < 15; ++i) ASSERT_EQ(1, Registry().SendToThread(box.Name(), i + 1, &i, 4, 0, nullptr)) << i;
    EXPECT_EQ(box.Queue()->GetPendingCount(), 15u);

    const auto start = Clock::now();
    EXPECT_EQ(0, Registry().SendToThread(box.Name(), 16, nullptr, 0, 40, nullptr));
    EXPECT_GE(ElapsedMs(start), 40);
    EXPECT_EQ(box.Queue()->GetPendingCount(), 15u);

    // One read makes room for exactly one more.
    EXPECT_EQ(1, Receive(512, 0).ok);
    EXPECT_EQ(1, Registry().SendToThread(box.Name(), 16, nullptr, 0, 0, nullptr));
    EXPECT_EQ(0, Registry().SendToThread(box.Name(), 17, nullptr, 0, 0, nullptr));
    for (uint32_t code = 2; code <= 16; ++code) EXPECT_EQ(Receive(512, 0).code, code);
}

TEST(ThreadMessages, PayloadSizesAgainstAModuleQueue) {
    Mailbox box(u"MQ_SIZES", platform::CurrentThreadId());
    ASSERT_TRUE(box.Ok());
    struct Case {
        uint32_t length;
        int posted;
    } cases[] = {{0, 1}, {1, 1}, {511, 1}, {512, 1}, {513, 0}, {532, 0}, {100000, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        std::vector<uint8_t> payload(c.length);
        for (uint32_t i = 0; i < c.length; ++i) payload[i] = static_cast<uint8_t>(i * 7 + 1);
        ASSERT_EQ(c.posted, Registry().SendToThread(box.Name(), 5, payload.data(), c.length, 0, nullptr));
        if (!c.posted) {
            EXPECT_EQ(box.Queue()->GetPendingCount(), 0u);
            continue;
        }
        Received r = Receive(600, 0);
        ASSERT_EQ(r.ok, 1);
        EXPECT_EQ(r.code, 5u);
        ASSERT_EQ(r.length, c.length);
        EXPECT_TRUE(std::equal(payload.begin(), payload.end(), r.payload.begin()));
        // Nothing is written past the payload (for length 0: nothing at all).
        EXPECT_EQ(r.payload[c.length], 0xEE);
    }
}

TEST(ThreadMessages, MessageLongerThanTheReceiveBufferIsConsumedAndRefused) {
    Mailbox box(u"MQ_SHORTBUF", platform::CurrentThreadId());
    ASSERT_TRUE(box.Ok());
    std::vector<uint8_t> big(100, 0x5A);
    ASSERT_EQ(1, Registry().SendToThread(box.Name(), 1, big.data(), 100, 0, nullptr));
    ASSERT_EQ(1, Registry().SendToThread(box.Name(), 2, big.data(), 10, 0, nullptr));
    Received tooSmall = Receive(50, 0);
    EXPECT_EQ(tooSmall.ok, 0);
    EXPECT_EQ(tooSmall.payload[0], 0xEE);
    Received next = Receive(50, 0);
    EXPECT_EQ(next.ok, 1);
    EXPECT_EQ(next.code, 2u);
    EXPECT_EQ(Receive(50, 20).ok, 0);   // empty: times out
}

TEST(ThreadMessages, ReceivedInPostingOrderFromSeveralSenders) {
    Mailbox box(u"MQ_FIFO", platform::CurrentThreadId());
    ASSERT_TRUE(box.Ok());
    constexpr int kSenders = 4;
    constexpr int kRounds = 3;
    // The senders take turns, so the posting order is known: 0,1,2,3,0,1,...
    std::atomic<int> turn{0};
    std::vector<uint32_t> senderIds(kSenders);
    std::vector<std::thread> senders;
    for (int s = 0; s < kSenders; ++s) {
        senders.emplace_back([&, s] {
            senderIds[s] = platform::CurrentThreadId();
            for (int round = 0; round < kRounds; ++round) {
                const int myTurn = round * kSenders + s;
                while (turn.load(std::memory_order_acquire) != myTurn) std::this_thread::yield();
                const uint32_t code = static_cast<uint32_t>(100 + myTurn);
                CMgrWorkThreadEntry::Instance()->SendToThread(u"MQ_FIFO", code, &myTurn, 4, 1000, nullptr);
                turn.store(myTurn + 1, std::memory_order_release);
            }
        });
    }
    for (auto& t : senders) t.join();
    for (int i = 0; i < kSenders * kRounds; ++i) {
        Received r = Receive(512, 0);
        ASSERT_EQ(r.ok, 1) << i;
        EXPECT_EQ(r.code, static_cast<uint32_t>(100 + i));
        EXPECT_EQ(r.sender, senderIds[i % kSenders]);
    }
}

TEST(ThreadRegistry, NamesAreExactUniqueAndRequired) {
    Mailbox box(u"MQ_REG", 31337);
    ASSERT_TRUE(box.Ok());
    EXPECT_EQ(0, Registry().SendToThread(u"MQ_NOBODY", 1, nullptr, 0, 0, nullptr));
    EXPECT_EQ(0, Registry().SendToThread(u"mq_reg", 1, nullptr, 0, 0, nullptr));   // case-sensitive
    EXPECT_EQ(0, Registry().SendToThread(u"MQ_RE", 1, nullptr, 0, 0, nullptr));

    ASSERT_TRUE(Registry().FindThreadById(31337));
    EXPECT_EQ(Registry().FindThreadById(31337)->name, u"MQ_REG");
    EXPECT_EQ(Registry().FindThreadByName(u"MQ_REG")->threadId, 31337u);

    MgrThreadEntry twin;
    twin.name = u"MQ_REG";
    twin.threadHandle = 1;
    twin.threadId = 31338;
    EXPECT_EQ(0, Registry().AddEntry(twin));
    twin.name = std::u16string(MgrThreadEntry::kMaxNameChars + 1, u'N');
    EXPECT_EQ(0, Registry().AddEntry(twin));
    twin.name = u"MQ_NOID";
    twin.threadId = 0;
    EXPECT_EQ(0, Registry().AddEntry(twin));

    // A receiver that is not registered gets nothing.
    EXPECT_EQ(0, Receive(512, 0).ok);

    EXPECT_EQ(1, Registry().RemoveByName(u"MQ_REG"));
    EXPECT_EQ(1, Registry().RemoveByName(u"MQ_REG"));   // none left: still 1
    EXPECT_EQ(0, Registry().SendToThread(u"MQ_REG", 1, nullptr, 0, 0, nullptr));
}

TEST(MsgQueueTable, AtMost255QueuesExistAtOnce) {
    const int before = GetMsgQueueCount();
    std::vector<std::u16string> names;
    std::vector<MgrMsgQueueHandlePtr> open;
    for (int i = before; i < kMgrMaxMsgQueues; ++i) {
        names.push_back(u"MQ_T" + platform::Utf8ToUtf16(std::to_string(i)));
        open.push_back(CreateMsgQueue(names.back(), kMgrModuleQueueInfo, MgrMsgQueueHandle::kWriter));
        ASSERT_TRUE(open.back()) << i;
    }
    EXPECT_EQ(GetMsgQueueCount(), kMgrMaxMsgQueues);
    EXPECT_FALSE(CreateMsgQueue(u"MQ_ONE_TOO_MANY", kMgrModuleQueueInfo, MgrMsgQueueHandle::kWriter));
    // Opening an existing name again makes no new queue.
    EXPECT_TRUE(CreateMsgQueue(names.front(), kMgrModuleQueueInfo, MgrMsgQueueHandle::kReader));

    ASSERT_EQ(1, CloseMsgQueue(open.back().get()));
    EXPECT_EQ(0, CloseMsgQueue(open.back().get()));
    EXPECT_TRUE(CreateMsgQueue(u"MQ_ONE_TOO_MANY", kMgrModuleQueueInfo, MgrMsgQueueHandle::kWriter));
    open.clear();
    EXPECT_EQ(GetMsgQueueCount(), before);
}

TEST(MsgQueueTable, OpeningByNameSharesOneQueueWithTheSameParameters) {
    MgrQueueInfo other = kMgrModuleQueueInfo;
    other.slotCount = 8;
    auto writer = CreateMsgQueue(u"MQ_SHARED", kMgrModuleQueueInfo, MgrMsgQueueHandle::kWriter);
    ASSERT_TRUE(writer);
    EXPECT_FALSE(CreateMsgQueue(u"MQ_SHARED", other, MgrMsgQueueHandle::kReader));

    auto reader = CreateMsgQueue(u"MQ_SHARED", kMgrModuleQueueInfo, MgrMsgQueueHandle::kReader);
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->GetQueue(), writer->GetQueue());
    // A name that is a prefix of an open one is a queue of its own.
    auto prefix = CreateMsgQueue(u"MQ_SHARE", other, MgrMsgQueueHandle::kReader);
    ASSERT_TRUE(prefix);
    EXPECT_NE(prefix->GetQueue(), writer->GetQueue());
    // Names are kept to 32 units: two names alike in those are one queue.
    const std::u16string longName(32, u'L');
    auto a = CreateMsgQueue(longName + u"1", kMgrModuleQueueInfo, MgrMsgQueueHandle::kWriter);
    auto b = CreateMsgQueue(longName + u"2", kMgrModuleQueueInfo, MgrMsgQueueHandle::kReader);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->GetQueue(), b->GetQueue());

    ASSERT_EQ(1, WriteMsgQueue(writer.get(), "hi", 2, 0));
    char buffer[8] = {};
    uint32_t length = 0;
    ASSERT_EQ(1, ReadMsgQueue(reader.get(), buffer, sizeof buffer, &length, 0));
    EXPECT_EQ(length, 2u);
    EXPECT_EQ(std::string(buffer, 2), "hi");
}

TEST(MsgQueueTable, HandlesOnlyDoWhatTheirModeAllows) {
    auto writer = CreateMsgQueue(u"MQ_MODES", kMgrModuleQueueInfo, MgrMsgQueueHandle::kWriter);
    auto reader = CreateMsgQueue(u"MQ_MODES", kMgrModuleQueueInfo, MgrMsgQueueHandle::kReader);
    ASSERT_TRUE(writer && reader);
    char buffer[600] = {};
    uint32_t length = 0;
    EXPECT_EQ(0, WriteMsgQueue(reader.get(), "x", 1, 0));
    EXPECT_EQ(0, ReadMsgQueue(writer.get(), buffer, sizeof buffer, &length, 0));
    EXPECT_EQ(0, WriteMsgQueue(writer.get(), buffer, 533, 0));   // above M
    EXPECT_EQ(1, WriteMsgQueue(writer.get(), buffer, 532, 0));
    EXPECT_EQ(0, WriteMsgQueue(nullptr, "x", 1, 0));

    MgrQueueInfo bad = kMgrModuleQueueInfo;
    bad.slotCount = 1;
    EXPECT_FALSE(CreateMsgQueue(u"MQ_BAD", bad, MgrMsgQueueHandle::kWriter));
    EXPECT_FALSE(CreateMsgQueue(u"", kMgrModuleQueueInfo, MgrMsgQueueHandle::kWriter));
    EXPECT_FALSE(CreateMsgQueue(u"MQ_BAD", kMgrModuleQueueInfo, 7));

    ASSERT_EQ(1, CloseMsgQueue(writer.get()));
    EXPECT_EQ(0, WriteMsgQueue(writer.get(), "x", 1, 0));
    EXPECT_EQ(1, ReadMsgQueue(reader.get(), buffer, sizeof buffer, &length, 0));   // what was stored stays
}

// An unlimited wait is cut short once nobody can answer it any more.
TEST(MsgQueueTable, UnlimitedWaitGetsAMessagePostedLater) {
    auto writer = CreateMsgQueue(u"MQ_LATER", kMgrModuleQueueInfo, MgrMsgQueueHandle::kWriter);
    auto reader = CreateMsgQueue(u"MQ_LATER", kMgrModuleQueueInfo, MgrMsgQueueHandle::kReader);
    ASSERT_TRUE(writer && reader);
    const auto start = Clock::now();
    std::thread posting([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        WriteMsgQueue(writer.get(), "late", 4, 0);
    });
    char buffer[16] = {};
    uint32_t length = 0;
    // However slow the machine, the message cannot come before it is sent.
    EXPECT_EQ(ReadMsgQueue(reader.get(), buffer, sizeof buffer, &length, kMgrInfinite), 1);
    EXPECT_GE(ElapsedMs(start), 200);
    posting.join();
    EXPECT_EQ(std::string(buffer, length), "late");
}

TEST(MsgQueueTable, UnlimitedWaitsEndWhenTheOtherSideIsGone) {
    auto writer = CreateMsgQueue(u"MQ_GONE", kMgrModuleQueueInfo, MgrMsgQueueHandle::kWriter);
    auto reader = CreateMsgQueue(u"MQ_GONE", kMgrModuleQueueInfo, MgrMsgQueueHandle::kReader);
    ASSERT_TRUE(writer && reader);
    std::atomic<int> readResult{-1};
    std::thread waiting([&] {
        char buffer[16];
        uint32_t length = 0;
        readResult = ReadMsgQueue(reader.get(), buffer, sizeof buffer, &length, kMgrInfinite);
    });
    CloseMsgQueue(writer.get());
    waiting.join();
    EXPECT_EQ(readResult.load(), 0);
}

TEST(ThreadMessages, UnlimitedSendToAFullQueueEndsWhenTheTargetIsStopped) {
    Mailbox box(u"MQ_STOPPED", 5151);
    ASSERT_TRUE(box.Ok());
    for (int i = 0; i < 15; ++i) ASSERT_EQ(1, Registry().SendToThread(box.Name(), 1, nullptr, 0, 0, nullptr));
    std::atomic<int> sendResult{-1};
    std::thread sender([&] {
        sendResult = CMgrWorkThreadEntry::Instance()->SendToThread(u"MQ_STOPPED", 2, nullptr, 0, kMgrInfinite,
                                                                   nullptr);
    });
    box.SignalStop();
    sender.join();
    EXPECT_EQ(sendResult.load(), 0);
    EXPECT_EQ(box.Queue()->GetPendingCount(), 15u);
}

// Eight senders, one receiver, 100 000 messages through a 16-slot queue:
// nothing lost, nothing twice, every sender's messages in its own order.
TEST(ThreadMessagesStress, EightSendersOneReceiver) {
    constexpr int kSenders = 8;
    constexpr uint32_t kPerSender = 12500;
    Mailbox box(u"MQ_STRESS", platform::CurrentThreadId());
    ASSERT_TRUE(box.Ok());

    std::atomic<uint64_t> retries{0};
    std::vector<std::thread> senders;
    for (int s = 0; s < kSenders; ++s) {
        senders.emplace_back([&, s] {
            for (uint32_t seq = 0; seq < kPerSender; ++seq) {
                const uint32_t payload[2] = {static_cast<uint32_t>(s), seq};
                // A post that times out stored nothing: send the same message again.
                while (!CMgrWorkThreadEntry::Instance()->SendToThread(u"MQ_STRESS", 1, payload, sizeof payload, 50,
                                                                      nullptr))
                    retries.fetch_add(1, std::memory_order_relaxed);
            }
        });
    }
    std::vector<uint32_t> nextSeq(kSenders, 0);
    uint32_t received = 0;
    uint32_t failures = 0;
    while (received < kSenders * kPerSender && failures < 10) {
        uint32_t payload[2] = {};
        uint32_t sender = 0, code = 0, length = 0;
        if (!Registry().ReceiveForThread(&sender, &code, payload, sizeof payload, &length, nullptr, 2000)) {
            ++failures;
            continue;
        }
        ASSERT_EQ(length, sizeof payload);
        ASSERT_LT(payload[0], static_cast<uint32_t>(kSenders));
        ASSERT_EQ(payload[1], nextSeq[payload[0]]) << "sender " << payload[0];
        ++nextSeq[payload[0]];
        ++received;
    }
    for (auto& t : senders) t.join();
    EXPECT_EQ(received, kSenders * kPerSender);
    for (int s = 0; s < kSenders; ++s) EXPECT_EQ(nextSeq[s], kPerSender) << s;
    EXPECT_EQ(Receive(512, 0).ok, 0);   // nothing extra
    RecordProperty("retries", static_cast<int>(retries.load()));
}

}  // namespace
