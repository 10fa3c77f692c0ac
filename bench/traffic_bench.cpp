// The traffic engine's hot paths: a congestion message for 50 000 links
// applied to the store (in link-table order, where each lookup is the
// successor of the last hit, and shuffled, where each is a binary search),
// and the per-link congestion look-ups of route planning.
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "foundation/debug_trace.h"
#include "tools/writers/traffic_writer.h"
#include "traffic/receiver_link.h"
#include "traffic/traffic_engine.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <cstring>

namespace {

constexpr int kLinks = 50000;

// A loaded engine over 50 000 links, made once for the whole program.
struct World {
    std::string root;
    CMgrConfigModuleTPEG store;
    TrafficServicesFixture services;
    TrafficEngine engine{store, services};
    std::vector<uint8_t> block;

    World() {
        SetDebugTraceLevel(0);
        SetDebugTraceSink([](std::string_view) {}, false);
        std::string pattern = (std::filesystem::temp_directory_path() / "traffic_bench_XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::abort();
        root = pattern;
        std::vector<writers::TrafficLinkRow> links;
        for (int i = 0; i < kLinks; ++i) links.push_back({static_cast<uint32_t>(1000 + 7 * i), static_cast<uint8_t>(i % 3 == 0)});
        if (!writers::WriteTrafficTables(root, links, {0, 10}, {})) {
            std::abort();
        }
        TrafficPathSettings settings;
        settings.dataRoot = root;
        if (!engine.BuildPaths(settings)) std::abort();
        block.resize(engine.ArenaBytes());
        if (engine.LoadTables(block.data(), block.size()) <= 0) std::abort();
        engine.SetChannel(1, 0);
    }
    ~World() {
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
};

World& TheWorld() {
    static World world;
    return world;
}

std::vector<writers::CttItem> Items(bool shuffled, uint8_t speedBase) {
    std::vector<writers::CttItem> items;
    for (int i = 0; i < kLinks; ++i) {
        items.push_back({static_cast<uint32_t>(1000 + 7 * i), static_cast<uint8_t>(speedBase + i % 60),
                         static_cast<uint8_t>(i % 5)});
    }
    if (shuffled) std::shuffle(items.begin(), items.end(), std::mt19937(42));
    return items;
}

void ApplyCtt(benchmark::State& state, bool shuffled, bool extended) {
    World& w = TheWorld();
    const std::vector<uint8_t> messages[2] = {
        extended ? writers::BuildCttExt(Items(shuffled, 0)) : writers::BuildCtt(Items(shuffled, 0)),
        extended ? writers::BuildCttExt(Items(shuffled, 20)) : writers::BuildCtt(Items(shuffled, 20))};
    size_t round = 0;
    for (auto _ : state) {
        const std::vector<uint8_t>& m = messages[round++ % 2];
        const int taken = extended ? w.engine.ReceiveCTTExt(m.data(), m.size()) : w.engine.ReceiveCTT(m.data(), m.size());
        if (taken != 1) state.SkipWithError("message refused");
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kLinks);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * messages[0].size()));
}

void BM_CttInTableOrder(benchmark::State& state) { ApplyCtt(state, false, false); }
void BM_CttShuffled(benchmark::State& state) { ApplyCtt(state, true, false); }
void BM_CttExtendedInTableOrder(benchmark::State& state) { ApplyCtt(state, false, true); }

// Route planning reads one link after another while it expands the graph.
void BM_GetLinkCongestion(benchmark::State& state) {
    World& w = TheWorld();
    const std::vector<uint8_t> message = writers::BuildCtt(Items(false, 0));
    w.engine.ReceiveCTT(message.data(), message.size());
    std::vector<int> order(kLinks);
    for (int i = 0; i < kLinks; ++i) order[static_cast<size_t>(i)] = i;
    std::shuffle(order.begin(), order.end(), std::mt19937(7));
    for (auto _ : state) {
        int sum = 0;
        for (int index : order) sum += w.store.GetLinkCongestion(index);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kLinks);
}

// Receiver frames through the socket to the store: the receiver side (here)
// sends congestion messages of 100 links, the link reads, checks and hands
// them to the handler.
void BM_SocketToStore(benchmark::State& state) {
    World& w = TheWorld();
    const std::string path = TpegSocketPath(w.root, "TPEGD");
    const int listenFd = ::socket(AF_UNIX, SOCK_SEQPACKET, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strcpy(addr.sun_path, path.c_str());
    ::unlink(path.c_str());
    if (::bind(listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(listenFd, 1) != 0) {
        state.SkipWithError("no socket");
        return;
    }
    CMneTPEGManagerEvent link(w.engine, w.root);
    link.FindDaemonWindow("TPEGD");
    const int peer = ::accept(listenFd, nullptr, nullptr);
    auto send = [&](uint32_t code, const std::vector<uint8_t>& payload) {
        const auto frame = BuildTpegFrame(code, payload.data(), payload.size());
        return ::send(peer, frame.data(), frame.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(frame.size());
    };
    std::vector<uint8_t> status(16, 0);
    status[5] = 4;
    send(kTpegCmdHelloAck, {});
    link.Step(0);
    link.CheckState();
    send(kTpegCmdStatus, status);
    link.Step(0);
    link.CheckState();
    uint8_t drain[64];
    while (::recv(peer, drain, sizeof drain, MSG_DONTWAIT) > 0) {
    }
    std::vector<writers::CttItem> items;
    for (int i = 0; i < 100; ++i) items.push_back({static_cast<uint32_t>(1000 + 7 * i), 30, 2});
    const std::vector<uint8_t> message = writers::BuildCtt(items);
    constexpr int kBatch = 32;
    for (auto _ : state) {
        const uint64_t before = link.GetDispatchedCount();
        for (int i = 0; i < kBatch; ++i) send(1, message);
        while (link.GetDispatchedCount() - before < kBatch) link.Step(10);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kBatch);
    link.Close();
    ::close(peer);
    ::close(listenFd);
    ::unlink(path.c_str());
}

}  // namespace

BENCHMARK(BM_SocketToStore);
BENCHMARK(BM_CttInTableOrder)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CttShuffled)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CttExtendedInTableOrder)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetLinkCongestion)->Unit(benchmark::kMicrosecond);
