// Map matching time per fix, median and worst, on the demo district and on
// a synthetic city of 20000 links (written with the same link-map writer):
// searching (every fix starts in search mode) and tracking (a drive matched
// fix after fix). The matcher reads the map files through the map-data
// manager's caches as it does in the program.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "mapdb/mgr_map.h"
#include "positioning/map_match.h"
#include "settings/module_svc.h"
#include "tools/writers/demo_map.h"
#include "tools/writers/nmea_drive_writer.h"
#include "tools/writers/synthetic_city.h"

namespace {

struct Place {
    Place() {
        char name[] = "/tmp/map_match_bench.XXXXXX";
        if (!mkdtemp(name)) std::abort();
        root = name;
    }
    std::string root;
    CMgrMap map;
    std::vector<_tagGpsParsedData> inputs;
};

void Drive(Place& p, const std::vector<uint32_t>& links) {
    writers::DriveOptions o;
    o.speedKmh = 60;
    o.tunnelGap = false;
    for (const auto& f : writers::PlanDrive(p.map, links, o)) p.inputs.push_back(writers::DriveMatchInput(f));
}

Place* Demo() {
    static Place* p = [] {
        auto* place = new Place();
        if (!writers::WriteDemoMap(place->root) || !place->map.Open(place->root)) std::abort();
        // Around the district: east along the second street, north up the
        // last avenue, west along the fourth street against its direction.
        Drive(*place, {5, 6, 7, 8, 38, 39});
        Drive(*place, {16 | kMneLinkReverseBit, 15 | kMneLinkReverseBit, 14 | kMneLinkReverseBit});
        return place;
    }();
    return p;
}

Place* City() {
    static Place* p = [] {
        auto* place = new Place();
        const writers::SyntheticCity city = writers::BuildSyntheticCity(20000, 7);
        std::vector<writers::DemoLink> links;
        std::map<std::pair<int32_t, uint32_t>, uint32_t> byStart;  // (row y, first node) -> link
        for (uint32_t i = 1; i < city.net.links.size(); ++i) {
            const auto& r = city.net.links[i];
            writers::DemoLink l;
            l.number = i;
            l.nameUtf8 = "도시로";
            l.shape = {city.net.nodes[r.firstNode], city.net.nodes[r.secondNode]};
            l.roadClass = r.roadClass;
            l.linkKind = r.kind;
            l.twoWay = !r.oneWay;
            l.laneCount = 2;
            links.push_back(l);
            if (l.shape[0].y == l.shape[1].y && l.shape[0].x < l.shape[1].x) byStart[{l.shape[0].y, r.firstNode}] = i;
        }
        if (!writers::WriteLinkMap(place->root, links) || !place->map.Open(place->root)) std::abort();
        // East along a grid line through the middle of the city.
        const int32_t y = city.net.nodes[city.net.links[city.net.links.size() / 2].firstNode].y;
        std::vector<uint32_t> route;
        for (auto it = byStart.lower_bound({y, 0}); it != byStart.end() && it->first.first == y && route.size() < 40; ++it) {
            const auto& r = city.net.links[it->second];
            if (!route.empty() && city.net.links[route.back()].secondNode != r.firstNode) break;
            route.push_back(it->second);
        }
        Drive(*place, route);
        return place;
    }();
    return p;
}

void Run(benchmark::State& state, Place* place, bool searching) {
    CMgrConfigModuleSVC svc;
    CMgrConfigModuleGPS gps;
    CMneMapMatch matcher;
    if (!matcher.Init(&svc, &gps, &place->map) || place->inputs.empty()) {
        state.SkipWithError("no map or no drive");
        return;
    }
    std::vector<double> times;
    size_t k = 0;
    for (auto _ : state) {
        _tagGpsParsedData in = place->inputs[k % place->inputs.size()];
        in.secondsOfDay += static_cast<int32_t>(k / place->inputs.size()) * 4000;  // each lap a fresh clock
        if (searching) matcher.ResetRouteMatch();
        tagMAPMATCHINFO out;
        const auto t0 = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(matcher.Match(in, &out));
        times.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count());
        ++k;
    }
    std::sort(times.begin(), times.end());
    state.counters["median_us"] = times[times.size() / 2];
    state.counters["worst_us"] = times.back();
    state.counters["fixes"] = static_cast<double>(place->inputs.size());
}

void BM_MatchDemoSearching(benchmark::State& s) { Run(s, Demo(), true); }
void BM_MatchDemoTracking(benchmark::State& s) { Run(s, Demo(), false); }
void BM_MatchCitySearching(benchmark::State& s) { Run(s, City(), true); }
void BM_MatchCityTracking(benchmark::State& s) { Run(s, City(), false); }
BENCHMARK(BM_MatchDemoSearching);
BENCHMARK(BM_MatchDemoTracking);
BENCHMARK(BM_MatchCitySearching);
BENCHMARK(BM_MatchCityTracking);

}  // namespace
