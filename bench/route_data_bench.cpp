// Link records handed out per second by the road-data manager on the
// two-million-link synthetic network: cold (block cache emptied before each
// batch, so nearly every record inflates its block), warm (records of an
// area whose blocks all sit in the cache) and a scan in link order (one
// inflation per 53 records). The road memory is the default 10 MB.
//
// The network is the route benchmarks' shared city (route_bench_city.h).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "bench/route_bench_city.h"
#include "route/large_memory.h"
#include "route/road_data.h"

namespace {

constexpr int kBatch = 4096;

struct Fixture {
    NcLargeMemManager memory;
    NcDALManager dal;
    Fixture() {
        if (memory.MapRoadMemory(NcRoadMemoryBytes(10240, true)) != 1 ||
            !dal.OpenAt(navi_bench::RouteBenchCity(), memory.RoadMemory(), memory.RoadMemorySize()))
            std::abort();
    }
    void EmptyCache() { dal.Road()->InitCache(memory.RoadMemory(), memory.RoadMemorySize()); }
};

Fixture& Data() {
    static Fixture f;
    return f;
}

std::vector<uint32_t> RandomIds(uint32_t below, size_t n, uint64_t seed) {
    std::mt19937_64 rng(seed);
    std::uniform_int_distribution<uint32_t> pick(1, below - 1);
    std::vector<uint32_t> ids(n);
    for (auto& id : ids) id = pick(rng) | (rng() & 1 ? kNcLinkReverseBit : 0);
    return ids;
}

void BM_LinkRecordsCold(benchmark::State& state) {
    Fixture& f = Data();
    const std::vector<uint32_t> ids = RandomIds(f.dal.GetLinkCount(), kBatch, 7);
    for (auto _ : state) {
        state.PauseTiming();
        f.EmptyCache();
        state.ResumeTiming();
        for (uint32_t id : ids)
            if (!f.dal.LoadLink(0, id)) state.SkipWithError("link not read");
        benchmark::DoNotOptimize(f.dal.GetLength(0));
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_LinkRecordsCold)->Unit(benchmark::kMillisecond);

void BM_LinkRecordsWarm(benchmark::State& state) {
    Fixture& f = Data();
    // An area of 1000 blocks (53000 links): fits the 10 MB pool.
    const uint32_t area = 1000 * kNcLinksPerBlock;
    f.EmptyCache();
    for (uint32_t id = 1; id < area; id += kNcLinksPerBlock) f.dal.LoadLink(0, id);
    const std::vector<uint32_t> ids = RandomIds(area, kBatch, 11);
    for (auto _ : state) {
        for (uint32_t id : ids)
            if (!f.dal.LoadLink(0, id)) state.SkipWithError("link not read");
        benchmark::DoNotOptimize(f.dal.GetLength(0));
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_LinkRecordsWarm)->Unit(benchmark::kMicrosecond);

void BM_LinkRecordsInOrder(benchmark::State& state) {
    Fixture& f = Data();
    const uint32_t count = f.dal.GetLinkCount();
    for (auto _ : state) {
        f.EmptyCache();
        for (uint32_t id = 0; id < count; ++id)
            if (!f.dal.LoadLink(0, id)) state.SkipWithError("link not read");
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_LinkRecordsInOrder)->Unit(benchmark::kMillisecond);

}  // namespace
