// The theme searches on a theme set drawn from one million generated place
// names (writers::GenerateNameSet, writers::GenerateThemeSet): the tile
// index around random positions at 1, 5 and 20 km (10000 points, the most
// the tile file holds), and the kind-9 search over 100000 theme records by
// theme code and by keyword. Counters: searches per second, the median and
// worst of one search (med_ms, worst_ms: the thread's processor time) and the
// mean rows found.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "bench/thread_cpu_clock.h"
#include "platform/codepage.h"
#include "platform/paths.h"
#include "search/theme_search.h"
#include "tools/writers/search_db_writer.h"
#include "tools/writers/theme_ic_writer.h"

namespace {

struct World {
    std::string folder;
    MapPoint centre{127 * 524288, 37 * 524288 + 262144};
    writers::ThemeDbSource source;
    NcSearchThemeCate engine;
};

World& TheWorld() {
    static World* w = [] {
        auto* world = new World;
        char dir[] = "/tmp/searchthemebenchXXXXXX";
        if (!mkdtemp(dir)) std::abort();
        world->folder = std::string(dir) + "/Search/";
        const auto pois = writers::GenerateNameSet(20261210, 1000000, {103001, 103002, 1101, 2101}, world->centre);
        world->source = writers::GenerateThemeSet(20261211, pois, 100000);
        if (!writers::WriteThemeDb(world->folder, world->source)) std::abort();
        if (world->engine.SetThemeFolder(world->folder) < 0) std::abort();
        return world;
    }();
    return *w;
}

void BM_ThemeTiles(benchmark::State& state) {
    World& w = TheWorld();
    NcThemeTiles& tiles = w.engine.Tiles();
    std::mt19937 rng(1);
    const uint32_t radius = static_cast<uint32_t>(state.range(0));
    int64_t rows = 0, searches = 0;
    std::vector<double> ms;
    for (auto _ : state) {
        const uint32_t x = static_cast<uint32_t>(w.centre.x - 90000 + static_cast<int32_t>(rng() % 180000));
        const uint32_t y = static_cast<uint32_t>(w.centre.y - 90000 + static_cast<int32_t>(rng() % 180000));
        const double t0 = benchclock::ThreadCpuMs();
        benchmark::DoNotOptimize(tiles.SearchThemeTiles(x, y, radius, 0));
        ms.push_back(benchclock::ThreadCpuMs() - t0);
        rows += tiles.RowCount();
        ++searches;
    }
    state.counters["searches_per_s"] = benchmark::Counter(static_cast<double>(searches), benchmark::Counter::kIsRate);
    const auto [median, worst] = benchclock::MedianWorst(ms);
    state.counters["med_ms"] = median;
    state.counters["worst_ms"] = worst;
    state.counters["mean_rows"] = static_cast<double>(rows) / static_cast<double>(std::max<int64_t>(searches, 1));
    state.counters["tiles"] = tiles.TileCount();
    state.counters["items"] = tiles.ItemCount();
}
BENCHMARK(BM_ThemeTiles)->Arg(1000)->Arg(5000)->Arg(20000)->Unit(benchmark::kMicrosecond);

void BM_ThemeSearch(benchmark::State& state) {
    World& w = TheWorld();
    SearchRequest q;
    q.SearchKindID = 9;
    q.ptCenter = {static_cast<uint32_t>(w.centre.x), static_cast<uint32_t>(w.centre.y)};
    q.nRadius = 5000;
    if (state.range(0) == 0) q.nSubCode = 102;  // a theme code with a field test
    if (state.range(0) == 1)
        SetSearchText(q.szKeyword, kSchKeywordChars, platform::Utf8ToUtf16(w.source.points[500].nameUtf8).substr(0, 1));
    if (state.range(0) == 2) q.wThemeMask = 0x10;
    int64_t rows = 0, searches = 0;
    std::vector<double> ms;
    for (auto _ : state) {
        const double t0 = benchclock::ThreadCpuMs();
        benchmark::DoNotOptimize(w.engine.SearchThemes(q));
        ms.push_back(benchclock::ThreadCpuMs() - t0);
        rows += w.engine.RowCount();
        ++searches;
    }
    state.SetLabel(state.range(0) == 0 ? "theme code, 5 km" : state.range(0) == 1 ? "one-syllable keyword, 5 km" : "flag filter, 5 km");
    state.counters["searches_per_s"] = benchmark::Counter(static_cast<double>(searches), benchmark::Counter::kIsRate);
    const auto [median, worst] = benchclock::MedianWorst(ms);
    state.counters["med_ms"] = median;
    state.counters["worst_ms"] = worst;
    state.counters["mean_rows"] = static_cast<double>(rows) / static_cast<double>(std::max<int64_t>(searches, 1));
    state.counters["records"] = w.engine.RecordCount();
}
BENCHMARK(BM_ThemeSearch)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace
