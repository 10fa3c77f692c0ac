// View geometry: clipping and bird's-eye projection in points per second,
// and the R-tree of placed boxes against a brute-force scan of the same
// boxes (insert, and overlap queries at the sizes a frame sees).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "render/bird_view.h"
#include "render/coord_system.h"
#include "render/rtree.h"

namespace {

constexpr ScreenRect kView{0, 0, 800, 480};
const MapPoint kCentre{static_cast<int32_t>(126.978 * kMapUnitsPerDegree), static_cast<int32_t>(37.566 * kMapUnitsPerDegree)};

// A wobbly ring twice the size of the view: crosses every edge many times.
std::vector<ScreenPoint> Ring(int count) {
    std::vector<ScreenPoint> pts;
    for (int i = 0; i < count; ++i) {
        const double a = 2.0 * std::numbers::pi * i / count;
        const double r = 500.0 + 200.0 * std::sin(a * 37.0);
        pts.push_back(ScreenPoint{static_cast<int32_t>(400 + r * std::cos(a)), static_cast<int32_t>(240 + r * std::sin(a))});
    }
    return pts;
}

void BM_ClipPoints(benchmark::State& state) {
    CMneCoordSystem cs;
    cs.SetPixelsPerMetre(5500, 5500);
    cs.SetView(ScreenPoint{400, 240}, kCentre, kView, 0, 10000, 0);
    const std::vector<ScreenPoint> ring = Ring(static_cast<int>(state.range(1)));
    std::vector<ScreenPoint> work;
    const int mode = static_cast<int>(state.range(0));
    for (auto _ : state) {
        work = ring;
        benchmark::DoNotOptimize(cs.ClipPoints(work, mode));
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(ring.size()));
    state.SetLabel(mode == kClipPolygon ? "polygon, points/s" : "polyline, points/s");
}
BENCHMARK(BM_ClipPoints)->Args({kClipPolyline, 1000})->Args({kClipPolygon, 1000})->Args({kClipPolygon, 10000});

void BM_ProjectPoints(benchmark::State& state) {
    CMneBirdViewManager bird;
    bird.SetViewMode(1, 0);
    bird.SetViewRect(kView, 1);
    std::vector<ScreenPoint> input;
    for (const ScreenPoint& p : Ring(static_cast<int>(state.range(1)))) input.push_back(ScreenPoint{p.x, p.y - 300});
    std::vector<ScreenPoint> work;
    const int kind = static_cast<int>(state.range(0));
    for (auto _ : state) {
        work = input;
        benchmark::DoNotOptimize(bird.ProjectPoints(work, kind, 1));
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(input.size()));
    state.SetLabel(kind == 3 ? "polygon, points/s" : "polyline, points/s");
}
BENCHMARK(BM_ProjectPoints)->Args({2, 1000})->Args({3, 1000});

void BM_MapPointsToScreen(benchmark::State& state) {
    CMneCoordSystem cs;
    cs.SetPixelsPerMetre(5500, 5500);
    cs.SetView(ScreenPoint{400, 240}, kCentre, kView, 33, 10000, 0);
    std::vector<MapPoint> pts;
    std::mt19937 rng(1);
    std::uniform_int_distribution<int32_t> d(-20000, 20000);
    for (int i = 0; i < 1000; ++i) pts.push_back(MapPoint{kCentre.x + d(rng), kCentre.y + d(rng)});
    std::vector<ScreenPoint> out;
    for (auto _ : state) benchmark::DoNotOptimize(cs.MapPointsToScreen(1000, pts.data(), out, kClipPolyline, 0, 0));
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * 1000);
    state.SetLabel("points/s, no clip");
}
BENCHMARK(BM_MapPointsToScreen);

// Label-sized boxes spread over a screen and its margins.
struct Box {
    int32_t min[2];
    int32_t max[2];
};
std::vector<Box> Boxes(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int32_t> x(-400, 1200), y(-240, 720), w(8, 80), h(8, 20);
    std::vector<Box> boxes(n);
    for (Box& b : boxes) {
        b.min[0] = x(rng);
        b.min[1] = y(rng);
        b.max[0] = b.min[0] + w(rng);
        b.max[1] = b.min[1] + h(rng);
    }
    return boxes;
}

bool Overlap(const Box& a, const Box& b) {
    return a.min[0] <= b.max[0] && b.min[0] <= a.max[0] && a.min[1] <= b.max[1] && b.min[1] <= a.max[1];
}

int CountHit(int32_t, void*) { return 1; }

void BM_RTreeInsert(benchmark::State& state) {
    const std::vector<Box> boxes = Boxes(static_cast<size_t>(state.range(0)), 5);
    RTree tree;
    for (auto _ : state) {
        tree.Clear();
        for (size_t i = 0; i < boxes.size(); ++i) tree.Add(boxes[i].min, boxes[i].max, static_cast<int32_t>(i));
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
    state.SetLabel("inserts/s");
}
BENCHMARK(BM_RTreeInsert)->Arg(300)->Arg(10000);

void BM_RTreeQuery(benchmark::State& state) {
    const std::vector<Box> boxes = Boxes(static_cast<size_t>(state.range(0)), 5);
    const std::vector<Box> queries = Boxes(1024, 9);
    RTree tree;
    for (size_t i = 0; i < boxes.size(); ++i) tree.Add(boxes[i].min, boxes[i].max, static_cast<int32_t>(i));
    size_t q = 0;
    for (auto _ : state) {
        const Box& b = queries[q++ & 1023];
        benchmark::DoNotOptimize(tree.FindOverlapping(b.min, b.max, CountHit, nullptr));
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
    state.SetLabel("queries/s (R-tree)");
}
BENCHMARK(BM_RTreeQuery)->Arg(300)->Arg(10000);

// The peer: the same overlap count by scanning every stored box.
void BM_BruteForceQuery(benchmark::State& state) {
    const std::vector<Box> boxes = Boxes(static_cast<size_t>(state.range(0)), 5);
    const std::vector<Box> queries = Boxes(1024, 9);
    size_t q = 0;
    for (auto _ : state) {
        const Box& b = queries[q++ & 1023];
        int hits = 0;
        for (const Box& s : boxes) hits += Overlap(s, b);
        benchmark::DoNotOptimize(hits);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
    state.SetLabel("queries/s (scan)");
}
BENCHMARK(BM_BruteForceQuery)->Arg(300)->Arg(10000);

// Both side by side over the same queries, with the ratio.
void BM_RTreeVersusScan(benchmark::State& state) {
    const std::vector<Box> boxes = Boxes(static_cast<size_t>(state.range(0)), 5);
    const std::vector<Box> queries = Boxes(1024, 9);
    RTree tree;
    for (size_t i = 0; i < boxes.size(); ++i) tree.Add(boxes[i].min, boxes[i].max, static_cast<int32_t>(i));
    using Clock = std::chrono::steady_clock;
    Clock::duration treeTime{}, scanTime{};
    int64_t mismatches = 0;
    for (auto _ : state) {
        for (const Box& b : queries) {
            const auto t0 = Clock::now();
            const int treeHits = tree.FindOverlapping(b.min, b.max, CountHit, nullptr);
            const auto t1 = Clock::now();
            int scanHits = 0;
            for (const Box& s : boxes) scanHits += Overlap(s, b);
            const auto t2 = Clock::now();
            treeTime += t1 - t0;
            scanTime += t2 - t1;
            mismatches += treeHits != scanHits;
        }
    }
    const double n = static_cast<double>(state.iterations()) * static_cast<double>(queries.size());
    const double treeS = std::chrono::duration<double>(treeTime).count();
    const double scanS = std::chrono::duration<double>(scanTime).count();
    state.counters["tree_queries_per_s"] = n / treeS;
    state.counters["scan_queries_per_s"] = n / scanS;
    state.counters["tree_speedup"] = scanS / treeS;
    state.counters["mismatches"] = static_cast<double>(mismatches);
}
BENCHMARK(BM_RTreeVersusScan)->Arg(300)->Arg(10000);

}  // namespace
