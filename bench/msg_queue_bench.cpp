// Thread messages between two threads through the registry, as module
// threads exchange them.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "foundation/msg_queue.h"
#include "platform/thread_util.h"

namespace {

CMgrWorkThreadEntry& Registry() { return *CMgrWorkThreadEntry::Instance(); }

// A queue registered for the calling thread, removed again at scope end.
class Mailbox {
public:
    explicit Mailbox(const std::u16string& name) : m_name(name) {
        MgrThreadEntry entry;
        entry.name = name;
        entry.threadId = platform::CurrentThreadId();
        entry.threadHandle = entry.threadId;
        entry.maxMessageSize = kMgrModuleQueueInfo.maxMessageSize;
        entry.reader = CreateMsgQueue(name, kMgrModuleQueueInfo, MgrMsgQueueHandle::kReader);
        entry.writer = CreateMsgQueue(name, kMgrModuleQueueInfo, MgrMsgQueueHandle::kWriter);
        entry.stopFlag = m_stop;
        Registry().AddEntry(entry);
    }
    ~Mailbox() { Registry().RemoveByName(m_name); }

private:
    std::u16string m_name;
    std::shared_ptr<std::atomic<int>> m_stop = std::make_shared<std::atomic<int>>(0);
};

// Answers every message with the same payload until message 0.
void EchoLoop(std::atomic<bool>* ready) {
    Mailbox box(u"BENCH_ECHO");
    ready->store(true, std::memory_order_release);
    uint8_t payload[kMgrModuleMaxPayload];
    for (;;) {
        uint32_t sender = 0, code = 0, length = 0;
        if (!Registry().ReceiveForThread(&sender, &code, payload, sizeof payload, &length, nullptr, 1000)) continue;
        if (code == 0) break;
        Registry().SendToThread(u"BENCH_MAIN", code, payload, length, 1000, nullptr);
    }
}

// Post to the other thread and receive its answer: one round trip per item.
void BM_RoundTrip(benchmark::State& state) {
    const uint32_t payloadBytes = static_cast<uint32_t>(state.range(0));
    Mailbox box(u"BENCH_MAIN");
    std::atomic<bool> ready{false};
    std::thread echo(EchoLoop, &ready);
    while (!ready.load(std::memory_order_acquire)) std::this_thread::yield();

    std::vector<uint8_t> out(payloadBytes, 0x42);
    uint8_t in[kMgrModuleMaxPayload];
    for (auto _ : state) {
        Registry().SendToThread(u"BENCH_ECHO", 1, out.data(), payloadBytes, 1000, nullptr);
        uint32_t sender = 0, code = 0, length = 0;
        if (!Registry().ReceiveForThread(&sender, &code, in, sizeof in, &length, nullptr, 1000)) {
            state.SkipWithError("echo lost");
            break;
        }
        benchmark::DoNotOptimize(in[0]);
    }
    Registry().SendToThread(u"BENCH_ECHO", 0, nullptr, 0, 1000, nullptr);
    echo.join();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RoundTrip)->Arg(0)->Arg(48)->Arg(512)->UseRealTime();

// One sender, one receiver, the 16-slot queue kept busy: messages per second.
void BM_OneWay(benchmark::State& state) {
    constexpr int kBatch = 1000;
    Mailbox box(u"BENCH_SINK");
    std::atomic<int64_t> toReceive{0};
    std::atomic<bool> done{false};
    std::atomic<uint32_t> sinkId{0};
    std::thread sink([&] {
        Mailbox own(u"BENCH_SINK_RX");
        sinkId.store(platform::CurrentThreadId(), std::memory_order_release);
        uint8_t payload[kMgrModuleMaxPayload];
        while (!done.load(std::memory_order_acquire)) {
            uint32_t sender = 0, code = 0, length = 0;
            if (Registry().ReceiveForThread(&sender, &code, payload, sizeof payload, &length, nullptr, 100))
                toReceive.fetch_sub(1, std::memory_order_acq_rel);
        }
    });
    while (!sinkId.load(std::memory_order_acquire)) std::this_thread::yield();

    uint8_t payload[48] = {};
    for (auto _ : state) {
        toReceive.fetch_add(kBatch, std::memory_order_acq_rel);
        for (int i = 0; i < kBatch; ++i)
            Registry().SendToThread(u"BENCH_SINK_RX", 1, payload, sizeof payload, 1000, nullptr);
        while (toReceive.load(std::memory_order_acquire) > 0) std::this_thread::yield();
    }
    done.store(true, std::memory_order_release);
    sink.join();
    state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_OneWay)->UseRealTime();

}  // namespace
