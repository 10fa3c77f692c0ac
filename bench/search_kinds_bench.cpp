// The telephone and category searches on one million generated places
// (writers::GenerateNameSet; the same million as companies with numbers
// from writers::AssignTelephones), written through the search writer:
// a telephone prefix of three or four digits in Seoul with its first page,
// a category around a point at 1, 5 and 20 km (nearest first), and the
// places of a category along a 300 km route (300 points 1 km apart,
// zig-zagging through the places). Counters: med_ms and worst_ms per
// query (the thread's processor time), results (the mean count), and mismatches against a plain scan of
// the source table (kept sets; at the cap, the count).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench/thread_cpu_clock.h"
#include "platform/file_io.h"
#include "search/cate_search.h"
#include "search/tel_search.h"
#include "tools/writers/search_db_writer.h"
#include "tools/writers/search_kinds_writer.h"

namespace {

constexpr int kNames = 1000000;
constexpr int kQueries = 40;

struct World {
    std::string folder;
    std::vector<writers::SearchPoi> pois, corps;
    MapPoint centre{127 * 524288, 37 * 524288 + 262144};
    NcSearchTelNum tel;
    NcSearchDB db;
    NcSearchCatesisul cate{&db};
    std::vector<MapPoint> route;
    std::vector<uint8_t> flags;
};

World& TheWorld() {
    static World* w = [] {
        auto* world = new World;
        char dir[] = "/tmp/searchkindsbenchXXXXXX";
        if (!mkdtemp(dir)) std::abort();
        world->folder = std::string(dir) + "/";
        const std::vector<uint32_t> areas = {1101, 1102, 1103, 1030, 103001, 103002, 2101, 2102, 170201, 1703};
        world->pois = writers::GenerateNameSet(20261210, kNames, areas, world->centre);
        world->corps = world->pois;
        writers::AssignTelephones(world->corps, 7);
        writers::SearchDbSource source;
        source.pois = world->pois;
        source.corps = world->corps;
        std::string error;
        if (!platform::AtomicReplaceFile(world->folder + "nvr.sdb", writers::BuildPoiBaseFile(world->pois)) ||
            !platform::AtomicReplaceFile(world->folder + "sch_corp.sdb", writers::BuildPoiBaseFile(world->corps)) ||
            !writers::WriteSearchKindFiles(dir, source, &error))
            std::abort();
        world->tel.SetFolder(world->folder);
        int n = 0;
        world->tel.ReloadAreaTable(&n);
        // 300 km: 300 points 1 km apart (about 5917 units east, 4717 north),
        // turning every 30 points within the places' square.
        MapPoint at{world->centre.x - 90000, world->centre.y - 80000};
        for (int i = 0; i < 300; ++i) {
            world->route.push_back(at);
            world->flags.push_back(0);
            const int leg = i / 30;
            at.x += leg % 2 ? -5917 : 5917;
            at.y += 4717 / 6;
        }
        world->cate.SetRoadClassLookup([](const MapPoint&) { return 0; });
        return world;
    }();
    return *w;
}

// The plain scan's category test: the place's top category or its second level.
bool InCategory(const writers::SearchPoi& p, uint32_t cate) {
    const uint32_t g = p.catePacked >> 12, h = (p.catePacked >> 6) & 0x3F;
    return cate == g || (h && cate == g * 30 + h);
}

void Report(benchmark::State& state, std::vector<double> ms, double results, int mismatches) {
    const auto [median, worst] = benchclock::MedianWorst(ms);
    state.counters["med_ms"] = median;
    state.counters["worst_ms"] = worst;
    state.counters["results"] = ms.empty() ? 0 : results / double(ms.size());
    state.counters["mismatches"] = mismatches;
}

void BM_TelephonePrefix(benchmark::State& state) {
    World& w = TheWorld();
    std::mt19937 rng(1);
    std::vector<double> ms;
    double results = 0;
    int mismatches = 0;
    for (auto _ : state) {
        for (int i = 0; i < kQueries; ++i) {
            const std::string digits = std::to_string(100 + rng() % 9900);
            const uint32_t typed = static_cast<uint32_t>(std::stoul(digits));
            const double t0 = benchclock::ThreadCpuMs();
            const int n = w.tel.SearchNumber(2, typed, w.centre);
            const TelResultRow* rows = nullptr;
            int made = 0;
            w.tel.FetchPage(0, 20, &rows, &made);
            ms.push_back(benchclock::ThreadCpuMs() - t0);
            results += n;
            if (i < 10) {
                size_t want = 0;
                for (const auto& c : w.corps) {
                    const std::string s = std::to_string(c.telNumber);
                    want += c.telArea == 2 && s.compare(0, digits.size(), digits) == 0;
                }
                mismatches += n != static_cast<int>(std::min<size_t>(want, kTelResultCap));
            }
        }
    }
    Report(state, ms, results, mismatches);
}
BENCHMARK(BM_TelephonePrefix)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_CategoryAround(benchmark::State& state) {
    World& w = TheWorld();
    const uint32_t radius = static_cast<uint32_t>(state.range(0));
    std::mt19937 rng(2);
    std::vector<double> ms;
    double results = 0;
    int mismatches = 0;
    const uint32_t cates[] = {1, 4, 121, 32, 7};
    for (auto _ : state) {
        for (int i = 0; i < kQueries; ++i) {
            SearchRequest q;
            q.SearchKindID = kSearchKindAroundCate;
            q.nSubCode = cates[i % 5];
            q.nRadius = radius;
            q.eOrderBy = 1;
            const MapPoint c{w.centre.x + static_cast<int32_t>(rng() % 100000) - 50000,
                             w.centre.y + static_cast<int32_t>(rng() % 100000) - 50000};
            q.ptCenter = {static_cast<uint32_t>(c.x), static_cast<uint32_t>(c.y)};
            const double t0 = benchclock::ThreadCpuMs();
            w.cate.SearchCategory(w.folder, q, "");
            ms.push_back(benchclock::ThreadCpuMs() - t0);
            const uint32_t n = w.cate.ResultCount();
            results += n;
            if (i < 5) {
                size_t want = 0;
                for (const auto& p : w.pois) {
                    if (InCategory(p, q.nSubCode) && GetApproxDistance(c, p.pos) <= radius) ++want;
                }
                mismatches += n != std::min<size_t>(want, kCateResultCap);
            }
        }
    }
    Report(state, ms, results, mismatches);
}
BENCHMARK(BM_CategoryAround)->Arg(1000)->Arg(5000)->Arg(20000)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_AlongTheRoute(benchmark::State& state) {
    World& w = TheWorld();
    std::vector<double> ms;
    double results = 0;
    int mismatches = 0;
    const uint32_t cates[] = {1, 4, 121, 32, 7, 2, 61, 10};
    for (auto _ : state) {
        for (int i = 0; i < 8; ++i) {
            SearchRequest q;
            q.SearchKindID = kSearchKindPathCate;
            q.nSubCode = cates[i];
            q.nRadius = 1000;
            q.ptCenter = {static_cast<uint32_t>(w.route[0].x), static_cast<uint32_t>(w.route[0].y)};
            q.eOrderBy = 1;
            const double t0 = benchclock::ThreadCpuMs();
            w.cate.SearchPathCategory(w.folder, q, "", static_cast<uint16_t>(w.route.size()), w.route.data(),
                                      w.flags.data());
            ms.push_back(benchclock::ThreadCpuMs() - t0);
            const uint32_t n = w.cate.ResultCount();
            results += n;
            if (i < 2) {
                size_t want = 0;
                for (const auto& p : w.pois) {
                    if (!InCategory(p, q.nSubCode)) continue;
                    want += PathRouteTest(p.pos, w.route.data(), w.flags.data(), 300, 1100, nullptr).found;
                }
                mismatches += n != std::min<size_t>(want, kCateResultCap);
            }
        }
    }
    Report(state, ms, results, mismatches);
}
BENCHMARK(BM_AlongTheRoute)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
