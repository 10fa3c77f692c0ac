// Route search time on the two-million-link synthetic city by distance band
// (2, 20, 100 km and corner to corner), with Routino planning between the
// same points on the same roads (imported once from the city's OSM export
// with its own importer, not timed). Our figure is the search alone (the
// engine's own tuning: road levels, estimate, bidirectional search); Routino's is a whole
// routino-router run, its start-up and database mapping included (the
// process started directly, without a shell).
// Counters: ours_ms (median), routino_ms (median), ratio (ours / Routino),
// the same in processor time (*_cpu_ms, ratio_cpu), labels taken (median)
// and blocks read from the file per route; read_alone_cpu_ms (median) is
// the processor time of reading and unpacking those blocks alone, into an
// empty cache, and read_alone_ratio_cpu that over Routino's time: what the
// packed block format costs a route before any search work.
//
// BM_HeuristicOverOptimum: on a city of 200 000 links, 1000 random pairs
// planned with the engine's tuning and with the exact one (the optimum):
// the cost ratio's median and worst, and the time of each.
//
// Data: the city of route_bench_city.h, with the Routino database under
// routino/ (imported when missing).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <time.h>

#include "bench/route_bench_city.h"
#include "platform/byte_cursor.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "route/route_search.h"
#include "route/large_memory.h"
#include "tools/writers/synthetic_city.h"

namespace {

// Pairs per distance band (their medians), and corner to corner (the two
// directions of one route, each a long Routino run).
constexpr int kPairs = 15;
constexpr int kCornerPairs = 5;

struct Pair {
    MapPoint from, to;
    std::vector<uint32_t> origins, goals;
};

double Ms(std::chrono::steady_clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Processor time of this thread, and of the finished child processes, in ms:
// the figures that do not move with the load of the machine.
double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}
double ChildrenCpuMs() {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

struct Bench {
    std::string root;
    MapPoint sw{}, ne{};
    NcLargeMemManager memory;
    NcDALManager road;
    std::vector<uint8_t> nodes = std::vector<uint8_t>(NcLinkMem::kBytes);
    size_t markBytes = kNcLinkIndexBytes + size_t{kNcLinkGroups} * kNcLinkPageBytes + kNcStageIndexBytes;
    std::unique_ptr<NcRoute> search;
    NcAreaGrid grid;
    NcRouteConfig config = NcDefaultRouteConfig();

    Bench() {
        root = navi_bench::RouteBenchCity();
        const std::string osm = root + "/city.osm";
        if (!platform::FileExists(root + "/routino/city-segments.mem")) {
            platform::MakeDirectories(root + "/routino");
            const std::string import = "planetsplitter --dir=" + root + "/routino --prefix=city " + osm + " > /dev/null";
            if (std::system(import.c_str()) != 0) std::fprintf(stderr, "Routino's importer failed\n");
        }
        // The city's extent is its one area record.
        std::vector<uint8_t> vtf;
        if (!platform::ReadWholeFile(platform::ResolveUnder(root, "Map\\VTF.ndb"), vtf)) std::abort();
        platform::ByteReader in(vtf);
        in.Skip(8);
        sw = {in.I32(), in.I32()};
        ne = {in.I32(), in.I32()};
        if (memory.MapRoadMemory(NcRoadMemoryBytes(10240, true)) != 1 || memory.MapLinkIdMemory(markBytes) != 1 ||
            !road.OpenAt(root, memory.RoadMemory(), memory.RoadMemorySize()))
            std::abort();
        search = std::make_unique<NcRoute>(road, config, NcCostRules{});
        if (!search->Init(nodes.data(), memory.LinkIdMemory(), markBytes)) std::abort();
        search->SetTuning(NcSearchTuning::Heuristic());
        grid.LoadVtf(root);
        search->SetAreaGrid(&grid);
    }

    // Pairs about km apart (0: corner to corner), their links found in one
    // scan of the road data.
    // Chained: each pair starts where the one before it ended.
    std::vector<Pair> Pairs(double km, uint64_t seed, int count = kPairs, bool chained = false) {
        std::mt19937_64 rng(seed);
        const double unitsPerKmY = kMapUnitsPerDegree / 110.574;
        const double unitsPerKmX = kMapUnitsPerDegree / (111.32 * std::cos(sw.y / double(kMapUnitsPerDegree) * M_PI / 180));
        std::vector<Pair> pairs;
        while (static_cast<int>(pairs.size()) < count) {
            Pair p;
            if (km == 0) {
                const int32_t inset = static_cast<int32_t>(2 * unitsPerKmX);
                p.from = {sw.x + inset, sw.y + inset};
                p.to = {ne.x - inset, ne.y - inset};
                if (pairs.size() % 2) std::swap(p.from, p.to);
            } else {
                std::uniform_real_distribution<double> ux(sw.x, ne.x), uy(sw.y, ne.y), angle(0, 2 * M_PI);
                p.from = {static_cast<int32_t>(ux(rng)), static_cast<int32_t>(uy(rng))};
                if (chained && !pairs.empty()) p.from = pairs.back().to;
                const double a = angle(rng);
                p.to = {static_cast<int32_t>(p.from.x + std::cos(a) * km * unitsPerKmX / 1.3),
                        static_cast<int32_t>(p.from.y + std::sin(a) * km * unitsPerKmY / 1.3)};
                if (p.to.x <= sw.x || p.to.x >= ne.x || p.to.y <= sw.y || p.to.y >= ne.y) continue;
            }
            pairs.push_back(p);
        }
        std::vector<double> best(2 * pairs.size(), 1e300);
        std::vector<uint32_t> at(2 * pairs.size(), 0);
        for (uint32_t i = 1; i < road.GetLinkCount(); ++i) {
            if (!road.LoadLink(0, i)) continue;
            const MapPoint a = road.GetStartPoint(0);
            for (size_t k = 0; k < at.size(); ++k) {
                const MapPoint q = k % 2 ? pairs[k / 2].to : pairs[k / 2].from;
                const double d = std::hypot(double(q.x - a.x), double(q.y - a.y));
                if (d < best[k]) best[k] = d, at[k] = i;
            }
        }
        for (size_t k = 0; k < at.size(); ++k) {
            std::vector<uint32_t>& ids = k % 2 ? pairs[k / 2].goals : pairs[k / 2].origins;
            for (uint32_t id : {at[k], at[k] | kNcLinkReverseBit})
                if (road.LoadLink(0, id) && !road.View(0).IsClosed()) ids.push_back(id);
        }
        return pairs;
    }

    // Wall and processor time of one routino-router run (-1 on failure),
    // started directly rather than through a shell, whose own start-up
    // (about a millisecond of processor time) is no part of Routino's.
    double RoutinoMs(const Pair& p, double* cpuMs) {
        const auto degrees = [](int32_t units) {
            char text[32];
            std::snprintf(text, sizeof text, "%.6f", units / double(kMapUnitsPerDegree));
            return std::string(text);
        };
        std::vector<std::string> args = {"routino-router", "--dir=" + root + "/routino", "--prefix=city",
                                         "--transport=motorcar", "--quickest",
                                         "--lat1=" + degrees(p.from.y), "--lon1=" + degrees(p.from.x),
                                         "--lat2=" + degrees(p.to.y), "--lon2=" + degrees(p.to.x),
                                         "--output-none", "--quiet", "--profiles=/usr/share/routino/profiles.xml"};
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t quiet;
        posix_spawn_file_actions_init(&quiet);
        posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
        const double c0 = ChildrenCpuMs();
        const auto t0 = std::chrono::steady_clock::now();
        pid_t child = 0;
        int status = -1;
        const bool started = posix_spawnp(&child, "routino-router", &quiet, nullptr, argv.data(), environ) == 0;
        if (started) waitpid(child, &status, 0);
        const double ms = Ms(std::chrono::steady_clock::now() - t0);
        *cpuMs = ChildrenCpuMs() - c0;
        posix_spawn_file_actions_destroy(&quiet);
        return started && WIFEXITED(status) && WEXITSTATUS(status) == 0 ? ms : -1;
    }
};

Bench& Data() {
    static Bench b;
    return b;
}

void BM_RouteByBand(benchmark::State& state) {
    Bench& b = Data();
    const double km = static_cast<double>(state.range(0));
    const std::vector<Pair> pairs = b.Pairs(km, 42 + state.range(0), km == 0 ? kCornerPairs : kPairs);
    std::vector<double> ours, oursCpu, routino, routinoCpu, labels;
    const uint64_t readsBefore = b.road.Road()->GetBlockReads();
    const char* repeatEnv = std::getenv("NAVI_ROUTE_BENCH_REPEAT");
    const int repeat = repeatEnv ? std::max(1, std::atoi(repeatEnv)) : 1;
    for (auto _ : state) {
        ours.clear();
        for (int rep = 0; rep < repeat; ++rep)
        for (const Pair& p : pairs) {
            const double c0 = ThreadCpuMs();
            const auto t0 = std::chrono::steady_clock::now();
            const int r = b.search->Search(p.origins, p.goals, 8000000);
            ours.push_back(Ms(std::chrono::steady_clock::now() - t0));
            oursCpu.push_back(ThreadCpuMs() - c0);
            labels.push_back(b.search->Taken());
            if (std::getenv("NAVI_ROUTE_BENCH_TRACE")) std::fprintf(stderr, "taken %d backward %d meet %d\n", b.search->Taken(), b.search->BackwardTaken(), b.search->MeetEntries());
            if (r <= 0) state.SkipWithError("no route");
        }
        state.SetIterationTime(Median(ours) / 1000);
    }
    state.counters["labels"] = Median(labels);
    state.counters["block_reads"] = static_cast<double>(b.road.Road()->GetBlockReads() - readsBefore) / pairs.size();
    // The floor the block format sets: reading and unpacking, into an
    // empty cache, just the blocks each route's search read (the search
    // itself not counted).
    std::vector<double> readAlone;
    NcDBRoad& file = *b.road.Road();
    for (const Pair& p : pairs) {
        file.Cache().InitPool(b.memory.RoadMemory(), b.memory.RoadMemorySize(), kNcBlockBytes);
        b.search->Search(p.origins, p.goals, 8000000);
        const std::vector<int32_t> blocks = file.Cache().KeysByRecency();
        file.Cache().InitPool(b.memory.RoadMemory(), b.memory.RoadMemorySize(), kNcBlockBytes);
        const double c0 = ThreadCpuMs();
        for (int32_t block : blocks) file.ReadLink(0, static_cast<uint32_t>(block) * kNcLinksPerBlock);
        readAlone.push_back(ThreadCpuMs() - c0);
    }
    if (std::getenv("NAVI_ROUTE_BENCH_NO_PEER") == nullptr)
        for (const Pair& p : pairs) {
            double cpu = 0;
            routino.push_back(b.RoutinoMs(p, &cpu));
            routinoCpu.push_back(cpu);
        }
    if (routino.empty()) routino.push_back(0), routinoCpu.push_back(0);
    state.counters["ours_ms"] = Median(ours);
    state.counters["worst_ms"] = *std::max_element(ours.begin(), ours.end());
    state.counters["ours_cpu_ms"] = Median(oursCpu);
    state.counters["worst_cpu_ms"] = *std::max_element(oursCpu.begin(), oursCpu.end());
    state.counters["routino_ms"] = Median(routino);
    state.counters["routino_cpu_ms"] = Median(routinoCpu);
    state.counters["ratio"] = Median(routino) > 0 ? Median(ours) / Median(routino) : 0;
    state.counters["ratio_cpu"] = Median(routinoCpu) > 0 ? Median(oursCpu) / Median(routinoCpu) : 0;
    state.counters["read_alone_cpu_ms"] = Median(readAlone);
    state.counters["read_alone_ratio_cpu"] = Median(routinoCpu) > 0 ? Median(readAlone) / Median(routinoCpu) : 0;
}
BENCHMARK(BM_RouteByBand)->Arg(2)->Arg(20)->Arg(100)->Arg(0)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

// A route of 16 legs between points about 10 km apart, leg by leg, each leg
// from the link the previous one reached; the peak resident memory of the
// process so far (the road memory and the search memory mapped).
void BM_SixteenWaypoints(benchmark::State& state) {
    Bench& b = Data();
    const std::vector<Pair> legs = b.Pairs(10, 77, 16, true);
    std::vector<std::vector<uint32_t>> stops = {legs.front().origins};
    for (const Pair& p : legs) stops.push_back(p.goals);
    std::vector<double> times;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        std::vector<uint32_t> from = stops[0];
        for (size_t k = 1; k < stops.size(); ++k) {
            const int r = b.search->Search(from, stops[k], 8000000);
            if (r <= 0) {
                state.SkipWithError("no route");
                return;
            }
            from = {static_cast<uint32_t>(r)};
        }
        times.push_back(Ms(std::chrono::steady_clock::now() - t0));
        state.SetIterationTime(times.back() / 1000);
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["legs"] = static_cast<double>(stops.size() - 1);
    state.counters["route_ms"] = Median(times);
    state.counters["worst_ms"] = *std::max_element(times.begin(), times.end());
    state.counters["peak_rss_mb"] = usage.ru_maxrss / 1024.0;
}
BENCHMARK(BM_SixteenWaypoints)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

// The same 16 legs as waypoints passed through: one forward search through
// all of them (what the engine runs for such a group); labels taken and
// the cost over the leg-by-leg route's are reported.
void BM_SixteenWaypointsOnePass(benchmark::State& state) {
    Bench& b = Data();
    const std::vector<Pair> pairs = b.Pairs(10, 77, 16, true);
    std::vector<NcSearchLeg> legs;
    for (const Pair& p : pairs) legs.push_back({p.goals, {}});
    // The leg-by-leg route's cost, each waypoint's link counted once.
    int64_t byLegs = 0;
    std::vector<uint32_t> from = pairs.front().origins;
    for (const NcSearchLeg& leg : legs) {
        const int r = b.search->Search(from, leg.targets, 8000000);
        if (r <= 0) {
            state.SkipWithError("no route");
            return;
        }
        byLegs += b.search->Cost();
        if (&leg != &legs.front()) {
            bool ok = false;
            byLegs -= b.search->Graph().LinkCost(from.front(), &ok, true);
        }
        from = {static_cast<uint32_t>(r)};
    }
    // The same legs one by one with forward searches: what the one pass
    // costs over running them apart.
    NcSearchTuning forward = NcSearchTuning::Heuristic();
    forward.bidirectional = false;
    b.search->SetTuning(forward);
    from = pairs.front().origins;
    int forwardTaken = 0;
    const auto f0 = std::chrono::steady_clock::now();
    for (const NcSearchLeg& leg : legs) {
        const int r = b.search->Search(from, leg.targets, 8000000);
        forwardTaken += b.search->Taken();
        from = {static_cast<uint32_t>(r > 0 ? r : 0)};
    }
    const double forwardMs = Ms(std::chrono::steady_clock::now() - f0);
    b.search->SetTuning(NcSearchTuning::Heuristic());
    std::vector<double> times;
    int taken = 0;
    int32_t cost = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        const int r = b.search->SearchLegs(pairs.front().origins, legs, 8000000);
        times.push_back(Ms(std::chrono::steady_clock::now() - t0));
        state.SetIterationTime(times.back() / 1000);
        if (r <= 0) {
            state.SkipWithError("no route");
            return;
        }
        taken = b.search->Taken();
        cost = b.search->Cost();
    }
    state.counters["legs"] = static_cast<double>(legs.size());
    state.counters["route_ms"] = Median(times);
    state.counters["worst_ms"] = *std::max_element(times.begin(), times.end());
    state.counters["labels"] = taken;
    state.counters["forward_by_legs_ms"] = forwardMs;
    state.counters["forward_by_legs_labels"] = forwardTaken;
    state.counters["cost_over_by_legs"] = byLegs > 0 ? static_cast<double>(cost) / static_cast<double>(byLegs) : 0;
}
BENCHMARK(BM_SixteenWaypointsOnePass)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_HeuristicOverOptimum(benchmark::State& state) {
    const std::string root = "/tmp/navi_route_bench_200k";
    const writers::SyntheticCity city = writers::BuildSyntheticCity(200000, 9);
    std::string error;
    if (!writers::WriteSyntheticCityFiles(city, root, &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    NcLargeMemManager memory;
    const size_t markBytes = kNcLinkIndexBytes + size_t{kNcLinkGroups} * kNcLinkPageBytes;
    NcDALManager road;
    std::vector<uint8_t> nodes(NcLinkMem::kBytes);
    if (memory.MapRoadMemory(NcRoadMemoryBytes(10240, true)) != 1 || memory.MapLinkIdMemory(markBytes) != 1 ||
        !road.OpenAt(root, memory.RoadMemory(), memory.RoadMemorySize())) {
        state.SkipWithError("cannot open the city");
        return;
    }
    NcAreaGrid grid;
    grid.LoadVtf(root);
    NcRoute search(road, NcDefaultRouteConfig(), NcCostRules{});
    if (!search.Init(nodes.data(), memory.LinkIdMemory(), markBytes)) std::abort();
    search.SetAreaGrid(&grid);
    std::mt19937 rng(5);
    const uint32_t links = road.GetLinkCount();
    std::vector<double> ratios, oursMs, exactMs;
    for (auto _ : state) {
        while (ratios.size() < 1000) {
            const uint32_t from = 1 + rng() % (links - 1), to = 1 + rng() % (links - 1);
            search.SetTuning(NcSearchTuning::Exact());
            auto t0 = std::chrono::steady_clock::now();
            if (search.Search({from}, {to}, 100000000) <= 0) continue;
            exactMs.push_back(Ms(std::chrono::steady_clock::now() - t0));
            const double optimum = search.Cost();
            search.SetTuning(NcSearchTuning::Heuristic());
            t0 = std::chrono::steady_clock::now();
            if (search.Search({from}, {to}, 100000000) <= 0) {
                state.SkipWithError("the engine found no route where one exists");
                return;
            }
            oursMs.push_back(Ms(std::chrono::steady_clock::now() - t0));
            ratios.push_back(optimum > 0 ? search.Cost() / optimum : 1.0);
        }
    }
    state.counters["ratio_median"] = Median(ratios);
    state.counters["ratio_worst"] = *std::max_element(ratios.begin(), ratios.end());
    state.counters["ours_ms"] = Median(oursMs);
    state.counters["exact_ms"] = Median(exactMs);
}
BENCHMARK(BM_HeuristicOverOptimum)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
