// Plans a route on a data root with the route-planning module and prints the
// guidance points gathered along it, one JSON line each, so a person can
// read what the car will be told.
//
// Usage: guide_points --root DIR --from LON,LAT --to LON,LAT [--via LON,LAT ...]
//
// The first line sums the route up (length, time, toll totals, main roads);
// then one line per guidance point: its distance from the origin, flags,
// turn code and class, text, toll price and exit distance; then the
// cameras along the route and the route points. Errors go to stderr with a non-zero exit.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "guidance/collect_data.h"
#include "guidance/toll_price.h"
#include "mapdb/mgr_map.h"
#include "platform/codepage.h"
#include "platform/paths.h"
#include "route/module_rp.h"
#include "route/route_engine.h"
#include "settings/module_rp.h"

namespace {

int Usage() {
    std::fprintf(stderr, "usage: guide_points --root DIR --from LON,LAT --to LON,LAT [--via LON,LAT ...]\n");
    return 2;
}

bool ParsePoint(const char* text, MapPoint* out) {
    double lon = 0, lat = 0;
    if (std::sscanf(text, "%lf,%lf", &lon, &lat) != 2) return false;
    *out = {static_cast<int32_t>(std::lround(lon * kMapUnitsPerDegree)),
            static_cast<int32_t>(std::lround(lat * kMapUnitsPerDegree))};
    return true;
}

std::string Json(const std::u16string& text) {
    std::string out;
    for (char c : platform::Utf16ToUtf8(text)) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out;
}

// Waits for the route thread's run to end (bounded).
int WaitRoute() {
    for (int i = 0; i < 60000; ++i) {
        const int status = ModuleRP::Instance()->GetRouteStatus();
        if (status != kRpRunning) return status;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return kRpRunning;
}

}  // namespace

int main(int argc, char** argv) {
    std::string root;
    MapPoint from{}, to{};
    std::vector<MapPoint> via;
    bool haveFrom = false, haveTo = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--root" && hasValue) root = argv[++i];
        else if (a == "--from" && hasValue) haveFrom = ParsePoint(argv[++i], &from);
        else if (a == "--to" && hasValue) haveTo = ParsePoint(argv[++i], &to);
        else if (a == "--via" && hasValue) {
            MapPoint v{};
            if (!ParsePoint(argv[++i], &v)) return Usage();
            via.push_back(v);
        } else return Usage();
    }
    if (root.empty() || !haveFrom || !haveTo || via.size() > kRouteRequestMaxVia) return Usage();

    CMgrMap* map = CMgrMap::Instance();
    if (map->Open(root) != 1) {
        std::fprintf(stderr, "guide_points: cannot open the map under %s: %s\n", root.c_str(), map->LastOpenFailure().c_str());
        return 1;
    }
    ModuleRPParam::Instance()->SetEngine(std::make_shared<RouteEngine>(root));
    ModuleRP* rp = ModuleRP::Instance();
    if (rp->StartModule(nullptr) != 1) {
        std::fprintf(stderr, "guide_points: the route module does not start\n");
        return 1;
    }
    for (int i = 0; i < 20000 && rp->IsMemoryReady() != 1; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    RouteRequest request;
    request.uRouteMode = 1;
    request.sOption.eGoalType = 1;
    request.points.start = from;
    request.points.goal = to;
    request.points.viaCount = static_cast<int32_t>(via.size());
    for (size_t k = 0; k < via.size(); ++k) request.points.via[k] = via[k];
    const int posted = rp->PlanRoute(request, 0);
    const int status = posted == 1 ? WaitRoute() : posted;
    if (status != 1) {
        std::fprintf(stderr, "guide_points: no route (%d)\n", status);
        rp->StopModule(10000);
        return 1;
    }
    std::vector<int32_t> links, traffic, legEnds;
    {
        MgrConfigModuleRP* settings = MgrConfigModuleRP::Instance();
        MgrLock hold(*settings->GetLock());
        const RouteResultEntry* e = settings->GetResult(0);
        if (e) {
            links.assign(e->links.get(), e->links.get() + e->linkCount);
            if (e->values) traffic.assign(e->values.get(), e->values.get() + e->linkCount);
            legEnds.assign(e->inlineValues, e->inlineValues + std::min<int32_t>(e->inlineCount, kRouteResultMaxInline));
        }
    }
    rp->StopModule(10000);
    if (links.empty()) {
        std::fprintf(stderr, "guide_points: the route holds no links\n");
        return 1;
    }
    traffic.resize(links.size(), 0);

    std::vector<MapPoint> positions{from};
    positions.insert(positions.end(), via.begin(), via.end());
    positions.push_back(to);
    const std::vector<tagSVCROUTEPOINTIN> points = MakeRoutePoints(*map->RoadLines(), links, legEnds, positions);
    // The passed toll gates are kept in memory only: a planned route is
    // priced as if no gate had been passed.
    CMneCalTollPrice toll;
    toll.OpenAt(std::string(), map->TollGates());
    CMneCollectData collect;
    collect.SetCongestion([](int32_t) { return 0; });
    if (collect.Init(*map, &toll) != 1 ||
        collect.SetRoute(static_cast<int>(links.size()), links.data(), traffic.data(), static_cast<int>(points.size()),
                         points.data()) != 1 ||
        collect.Gather() != 1) {
        std::fprintf(stderr, "guide_points: the guidance points cannot be gathered\n");
        return 1;
    }
    const tagSVCROUTEDATA d = collect.Snapshot();
    std::printf("{\"links\":%zu,\"length_m\":%d,\"time_s\":%d,\"toll\":[%d,%d,%d,%d,%d,%d],\"main_roads\":[\"%s\",\"%s\",\"%s\"]}\n",
                links.size(), d.totalLengthM, d.totalTimeS, d.tollTotals[0], d.tollTotals[1], d.tollTotals[2],
                d.tollTotals[3], d.tollTotals[4], d.tollTotals[5], Json(d.mainRoads[0]).c_str(),
                Json(d.mainRoads[1]).c_str(), Json(d.mainRoads[2]).c_str());
    const int32_t originOffset = points.front().offsetM;
    for (const tagSVCGUIDEPOINT& p : d.guidePoints) {
        const int32_t distance = (p.flags & GUIDE_GOAL) ? d.totalLengthM : d.cumLengthM[p.linkIndex] - originOffset;
        std::printf("{\"point\":\"guide\",\"link\":%d,\"link_id\":%d,\"distance_m\":%d,\"flags\":%u,\"code\":%d,"
                    "\"class\":%d,\"text\":\"%s\",\"toll_price\":%d,\"exit_m\":%d}\n",
                    p.linkIndex, d.linkIds[p.linkIndex], distance, p.flags, p.turnCode, TurnClassOf(p.turnCode),
                    Json(p.text).c_str(), p.tollPrice, p.exitDistanceM);
    }
    for (const SvcRouteCamera& c : ListRouteCameras(*map, d))
        std::printf("{\"point\":\"camera\",\"link\":%d,\"distance_m\":%d,\"kind\":%d,\"speed_limit\":%d,"
                    "\"section_m\":%d,\"file\":%d}\n",
                    c.linkIndex, c.distanceM, c.kind, c.speedLimitKmh, c.sectionLengthM, c.file);
    for (const tagSVCROUTEPOINT& p : d.routePoints)
        std::printf("{\"point\":\"route\",\"link\":%d,\"distance_m\":%d,\"code\":%d,\"text\":\"%s\"}\n", p.linkIndex,
                    p.measureM, p.code, Json(p.text).c_str());
    return 0;
}
