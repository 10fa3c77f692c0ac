// Plans a route on a data root and prints it as one JSON line.
//
// Usage: route --root DIR --from LON,LAT --to LON,LAT [--via LON,LAT ...] [--kind 1|2|4|8] [--traffic] [--exact]
//
// Each point is taken to the nearest road link (both directions where the
// road is two-way); the legs are searched one after the other, each from
// the link the previous leg reached, with the engine's own tuning (or, with
// --exact, the exact tuning: the cheapest route); --traffic weighs links
// by the congestion in the traffic store. Output: cost (hundredths of a second), length
// in metres, time in seconds, the directed link ids and per leg the index
// range of its links. Errors go to stderr with a non-zero exit.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "route/route_search.h"
#include "route/large_memory.h"
#include "route/route_define.h"
#include "settings/module_tpeg.h"

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: route --root DIR --from LON,LAT --to LON,LAT [--via LON,LAT ...] [--kind 1|2|4|8] "
                 "[--traffic] [--exact]\n");
    return 2;
}

bool ParsePoint(const char* text, MapPoint* out) {
    double lon = 0, lat = 0;
    if (std::sscanf(text, "%lf,%lf", &lon, &lat) != 2) return false;
    *out = {static_cast<int32_t>(std::lround(lon * kMapUnitsPerDegree)),
            static_cast<int32_t>(std::lround(lat * kMapUnitsPerDegree))};
    return true;
}

// Squared distance in map units from p to the segment a-b.
double SegmentDistance2(MapPoint p, MapPoint a, MapPoint b) {
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2 : 0;
    t = t < 0 ? 0 : t > 1 ? 1 : t;
    const double ex = a.x + t * dx - p.x, ey = a.y + t * dy - p.y;
    return ex * ex + ey * ey;
}

// Both enterable directions of the link nearest to p.
std::vector<uint32_t> NearestLinks(NcDALManager& road, MapPoint p) {
    uint32_t best = 0;
    double bestD = 1e300;
    for (uint32_t i = 1; i < road.GetLinkCount(); ++i) {
        if (!road.LoadLink(0, i)) continue;
        const double d = SegmentDistance2(p, road.GetStartPoint(0), road.GetEndPoint(0));
        if (d < bestD) bestD = d, best = i;
    }
    std::vector<uint32_t> ids;
    for (uint32_t id : {best, best | kNcLinkReverseBit})
        if (best && road.LoadLink(0, id) && !road.View(0).IsClosed()) ids.push_back(id);
    return ids;
}

}  // namespace

int main(int argc, char** argv) {
    std::string root;
    std::vector<MapPoint> points(1);
    MapPoint to{};
    bool haveFrom = false, haveTo = false;
    int kind = 1;
    bool exact = false;
    bool traffic = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--root" && hasValue) {
            root = argv[++i];
        } else if (a == "--from" && hasValue) {
            haveFrom = ParsePoint(argv[++i], &points[0]);
        } else if (a == "--to" && hasValue) {
            haveTo = ParsePoint(argv[++i], &to);
        } else if (a == "--via" && hasValue) {
            MapPoint v{};
            if (!ParsePoint(argv[++i], &v)) return Usage();
            points.push_back(v);
        } else if (a == "--exact") {
            exact = true;
        } else if (a == "--traffic") {
            traffic = true;
        } else if (a == "--kind" && hasValue) {
            kind = std::atoi(argv[++i]);
        } else {
            return Usage();
        }
    }
    if (root.empty() || !haveFrom || !haveTo || (kind != 1 && kind != 2 && kind != 4 && kind != 8)) return Usage();
    points.push_back(to);

    NcLargeMemManager memory;
    // Marks for every link of a two-million-link network: the exact search
    // may reach all of them.
    const size_t markBytes = kNcLinkIndexBytes + size_t{kNcLinkGroups} * kNcLinkPageBytes;
    if (memory.MapRoadMemory(NcRoadMemoryBytes(10240, true)) != 1 || memory.MapLinkIdMemory(markBytes) != 1) {
        std::fprintf(stderr, "route: cannot map the search memory\n");
        return 1;
    }
    NcDALManager road;
    if (!road.OpenAt(root, memory.RoadMemory(), memory.RoadMemorySize())) {
        std::fprintf(stderr, "route: cannot open the road files under %s\n", root.c_str());
        return 1;
    }
    NcRouteDefine define;
    define.Load(platform::ResolveUnder(root, "Config\\Route.cfg"));  // the built-in table otherwise
    NcCostRules rules;
    rules.mode = NcModeOfRouteKinds(static_cast<uint32_t>(kind));
    std::vector<uint8_t> nodeMemory(NcLinkMem::kBytes);
    NcRoute search(road, define.Config(), rules);
    if (!search.Init(nodeMemory.data(), memory.LinkIdMemory(), markBytes)) return 1;
    search.SetTuning(exact ? NcSearchTuning::Exact() : NcSearchTuning::Heuristic());
    NcAreaGrid grid;
    grid.LoadVtf(root);
    search.SetAreaGrid(&grid);
    // Traffic weights from the traffic store, once congestion arrived with
    // a valid clock (a store the traffic receiver has not filled has none).
    const CMgrConfigModuleTPEG* store = traffic ? CMgrConfigModuleTPEG::Instance() : nullptr;
    const bool trafficUsed = store != nullptr && store->GetTrafficTimeYear() >= 2000;
    if (trafficUsed) search.SetCongestion([store](uint32_t id) { return store->GetLinkCongestion(static_cast<int>(id)); });

    std::vector<std::vector<uint32_t>> ends;
    for (size_t k = 0; k < points.size(); ++k) {
        ends.push_back(NearestLinks(road, points[k]));
        if (ends.back().empty()) {
            std::fprintf(stderr, "route: no road near point %zu\n", k);
            return 1;
        }
    }
    // Only the searches are timed.
    const auto started = std::chrono::steady_clock::now();
    std::vector<uint32_t> links;
    std::vector<std::pair<size_t, size_t>> sections;
    int64_t cost = 0;
    int64_t labels = 0, backwardLabels = 0;
    std::vector<uint32_t> origins = ends[0];
    for (size_t leg = 1; leg < points.size(); ++leg) {
        const std::vector<uint32_t>& goals = ends[leg];
        const int result = search.Search(origins, goals, 8000000);
        labels += search.Taken();
        backwardLabels += search.BackwardTaken();
        if (result <= 0) {
            std::fprintf(stderr, "route: leg %zu: no route (%d)\n", leg, result);
            return 1;
        }
        // A leg after the first starts on the link the previous one ended on.
        size_t first = 0;
        int64_t legCost = search.Cost();
        if (leg > 1 && !links.empty() && search.Route().front() == links.back()) {
            first = 1;
            if (road.LoadLink(0, links.back())) legCost -= NcComputeNodeCost(NcCostLinkOf(road), rules, {}).cost;
        }
        const size_t begin = links.size();
        links.insert(links.end(), search.Route().begin() + static_cast<long>(first), search.Route().end());
        sections.push_back({begin, links.size() - 1});
        cost += legCost;
        origins = {static_cast<uint32_t>(result)};
    }
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
    uint64_t length = 0;
    for (uint32_t id : links)
        if (road.LoadLink(0, id)) length += road.GetLength(0);
    std::printf("{\"cost\":%lld,\"length_m\":%llu,\"time_s\":%.1f,\"search_ms\":%.1f,\"labels\":%lld,\"backward_labels\":%lld,\"traffic_used\":%s,\"links\":[",
                static_cast<long long>(cost), static_cast<unsigned long long>(length), cost / 100.0, ms,
                static_cast<long long>(labels), static_cast<long long>(backwardLabels), trafficUsed ? "true" : "false");
    for (size_t i = 0; i < links.size(); ++i) std::printf("%s%u", i ? "," : "", links[i]);
    std::printf("],\"sections\":[");
    for (size_t i = 0; i < sections.size(); ++i)
        std::printf("%s{\"first\":%zu,\"last\":%zu}", i ? "," : "", sections[i].first, sections[i].second);
    std::printf("]}\n");
    return 0;
}
