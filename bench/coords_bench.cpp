// Fast table distance against the UTM distance, on pairs of points a few
// kilometres apart around Seoul.
#include "foundation/coords.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

std::vector<MapPoint> MakePoints(size_t count) {
    std::mt19937 rng(42);
    const int32_t x0 = static_cast<int32_t>(126.9 * kMapUnitsPerDegree);
    const int32_t y0 = static_cast<int32_t>(37.5 * kMapUnitsPerDegree);
    std::uniform_int_distribution<int32_t> spread(0, kMapUnitsPerDegree / 10);  // about 10 km
    std::vector<MapPoint> points(count);
    for (MapPoint& p : points) p = MapPoint{x0 + spread(rng), y0 + spread(rng)};
    return points;
}

void BM_ApproxDistance(benchmark::State& state) {
    const std::vector<MapPoint> points = MakePoints(1024);
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(GetApproxDistance(points[i & 1023], points[(i + 1) & 1023]));
        ++i;
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_ApproxDistance);

void BM_DistanceUTM(benchmark::State& state) {
    const std::vector<MapPoint> points = MakePoints(1024);
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(GetDistanceUTM(points[i & 1023], points[(i + 1) & 1023]));
        ++i;
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_DistanceUTM);

}  // namespace
