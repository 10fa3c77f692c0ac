// Link searches of the map-data manager on the demo district: nearest-link
// and nearby-link queries per second over a fixed walk of points through
// and around the grid, from one thread and from several at once, and the
// address lookup of a point.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "mapdb/mgr_map.h"
#include "tools/writers/demo_map.h"

namespace {

// Closed again at exit, before the program-wide heap goes.
CMgrMap& DemoMap() {
    static CMgrMap map;
    static const bool opened = [] {
        char dir[] = "/tmp/mgrmapbenchXXXXXX";
        if (!mkdtemp(dir)) std::abort();
        if (!writers::WriteDemoMap(dir)) std::abort();
        return map.Open(std::string(dir) + "/") == 1;
    }();
    if (!opened) std::abort();
    return map;
}

// 97 points on a diagonal walk across the district and a little beyond.
const std::vector<MapPoint>& Walk() {
    static const std::vector<MapPoint> points = [] {
        std::vector<MapPoint> out;
        for (int i = 0; i < 97; ++i) {
            const double lon = 126.995 + 0.05 * i / 96.0, lat = 37.495 + 0.04 * ((i * 37) % 97) / 96.0;
            out.push_back({static_cast<int32_t>(lon * kMapUnitsPerDegree), static_cast<int32_t>(lat * kMapUnitsPerDegree)});
        }
        return out;
    }();
    return points;
}

void BM_FindNearestLink(benchmark::State& state) {
    CMgrMap& map = DemoMap();
    const auto& walk = Walk();
    const int32_t radius = static_cast<int32_t>(state.range(0));
    size_t i = static_cast<size_t>(state.thread_index()) * 13;
    int64_t found = 0;
    for (auto _ : state) {
        MneLinkFoot foot;
        found += map.FindNearestLink(walk[i++ % walk.size()], radius, &foot, 0);
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["found"] = benchmark::Counter(static_cast<double>(found), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_FindNearestLink)->Arg(50)->Arg(300)->Arg(1500);
BENCHMARK(BM_FindNearestLink)->Arg(300)->Threads(4)->UseRealTime();

void BM_FindNearbyLinks(benchmark::State& state) {
    CMgrMap& map = DemoMap();
    const auto& walk = Walk();
    const int32_t radius = static_cast<int32_t>(state.range(0));
    size_t i = static_cast<size_t>(state.thread_index()) * 13;
    int64_t links = 0;
    for (auto _ : state) {
        MneLinkFoot feet[kMgrMapMaxNearbyLinks];
        int count = kMgrMapMaxNearbyLinks;
        map.FindNearbyLinks(walk[i++ % walk.size()], radius, &count, feet);
        links += count;
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["links"] = benchmark::Counter(static_cast<double>(links), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_FindNearbyLinks)->Arg(300)->Arg(1500);
BENCHMARK(BM_FindNearbyLinks)->Arg(300)->Threads(4)->UseRealTime();

void BM_GetAddressCode(benchmark::State& state) {
    CMgrMap& map = DemoMap();
    const auto& walk = Walk();
    size_t i = 0;
    for (auto _ : state) {
        uint32_t code = 0;
        benchmark::DoNotOptimize(map.GetAddressCode(walk[i++ % walk.size()], &code));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_GetAddressCode);

}  // namespace
