// Guidance-point gathering on routes of about 20 km and 100 km through the
// synthetic city (tools/writers/synthetic_city.h): the city's grid with its
// expressways, ramps, arterials and local streets, written as the guidance
// files (guidance records, shapes, follow-on links with their turn codes,
// names, lanes, turn records). The full two-million-link city of the route
// benchmarks is larger than gathering needs; a city of 400 000 links (about
// 90 km across) holds both routes. Each route climbs the grid in steps, a
// block north every ten blocks, eastwards to the city's edge and back west. Reported: links and
// metres of route gathered per second.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "guidance/collect_data.h"
#include "guidance/toll_price.h"
#include "mapdb/mgr_map.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "tools/writers/demo_map.h"
#include "tools/writers/synthetic_city.h"

namespace {

constexpr uint32_t kCityLinks = 400000;
constexpr const char* kStampText = "guidance files of a 400000-link synthetic city, seed 1";
constexpr uint32_t kReverse = 0x8000000;

struct City {
    writers::SyntheticCity city;
    std::string root;
};

// The city, and its guidance files written on first use (kept in /tmp with
// a stamp, as the route benchmarks keep theirs).
const City& GuideCity() {
    static const City c = [] {
        City out;
        const char* env = std::getenv("NAVI_GUIDE_BENCH_ROOT");
        out.root = env && *env ? env : "/tmp/navi_guide_bench_city";
        out.city = writers::BuildSyntheticCity(kCityLinks, 1);
        const std::string stamp = out.root + "/stamp";
        std::vector<uint8_t> written;
        if (platform::ReadWholeFile(stamp, written) && std::string(written.begin(), written.end()) == kStampText)
            return out;
        std::vector<writers::DemoLink> links;
        const auto& net = out.city.net;
        static const char* const kNames[] = {"고속도로", "나들목", "대로", "길"};
        for (uint32_t i = 1; i < net.links.size(); ++i) {
            const auto& n = net.links[i];
            writers::DemoLink l;
            const MapPoint a = net.nodes[n.firstNode], b = net.nodes[n.secondNode];
            l.shape = {a, {(a.x + b.x) / 2, (a.y + b.y) / 2}, b};
            l.roadClass = n.roadClass;
            l.linkKind = n.kind;
            l.laneCount = n.lanes;
            l.twoWay = !n.oneWay;
            const auto road = static_cast<size_t>(out.city.roads[i]);
            // A name per road line, so road-name sections change at turns.
            l.nameUtf8 = std::string(kNames[road]) + std::to_string((a.y / 4096) % 97);
            links.push_back(std::move(l));
            links.back().number = i;
        }
        std::string error;
        if (!platform::MakeDirectories(out.root) || !writers::WriteLinkMap(out.root, links, &error)) {
            std::fprintf(stderr, "cannot write the guidance city: %s\n", error.c_str());
            std::abort();
        }
        const std::string text = kStampText;
        platform::AtomicReplaceFile(stamp, std::vector<uint8_t>(text.begin(), text.end()));
        return out;
    }();
    return c;
}

struct Route {
    std::vector<int32_t> links, traffic;
    std::vector<tagSVCROUTEPOINTIN> points;
    int64_t lengthM = 0;
};

// Snakes along the rows from the south-west until the route is lengthM
// long: at each node the leaving link closest to the heading wanted.
Route SnakeRoute(const writers::SyntheticCity& city, int64_t lengthM) {
    const auto& net = city.net;
    const writers::RoadNetIncidence inc = writers::BuildIncidence(net);
    auto endNode = [&](uint32_t id) {
        const auto& l = net.links[id & ~kReverse];
        return (id & kReverse) ? l.firstNode : l.secondNode;
    };
    auto startNode = [&](uint32_t id) {
        const auto& l = net.links[id & ~kReverse];
        return (id & kReverse) ? l.secondNode : l.firstNode;
    };
    // The node nearest the south-west corner, a little inside.
    uint32_t node = 0;
    double best = 1e300;
    for (uint32_t k = 0; k < net.nodes.size(); ++k) {
        const double dx = net.nodes[k].x - city.southWest.x - 20000, dy = net.nodes[k].y - city.southWest.y - 20000;
        if (dx * dx + dy * dy < best) best = dx * dx + dy * dy, node = k;
    }
    Route r;
    double wantX = 1;  // east first
    int northSteps = 0;
    int sinceTurn = 0;
    uint32_t previous = 0;
    while (r.lengthM < lengthM && r.links.size() < 100000) {
        // A block north every ten blocks: a left and a right turn.
        if (northSteps == 0 && ++sinceTurn > 10) {
            northSteps = 1;
            sinceTurn = 0;
        }
        uint32_t pick = 0;
        double pickScore = -2;
        const double dirX = northSteps > 0 ? 0 : wantX, dirY = northSteps > 0 ? 1 : 0;
        for (uint32_t e = inc.start[node]; e < inc.start[node + 1]; ++e) {
            const uint32_t id = inc.leaving[e];
            if ((id & ~kReverse) == (previous & ~kReverse)) continue;
            const auto& to = net.nodes[endNode(id)];
            const auto& from = net.nodes[node];
            const double dx = to.x - from.x, dy = to.y - from.y, len = std::hypot(dx, dy);
            const double score = len > 0 ? (dx * dirX + dy * dirY) / len : -1;
            if (net.links[id & ~kReverse].roadClass <= 1) continue;  // keep to the grid
            if (score > pickScore) pickScore = score, pick = id;
        }
        if (pick == 0) break;
        if (pickScore < 0.7) {
            if (northSteps > 0) break;  // the city's northern edge
            // The edge of the city: a block north, then back.
            northSteps = 1;
            wantX = -wantX;
            continue;
        }
        northSteps = 0;
        r.links.push_back(static_cast<int32_t>(pick));
        r.traffic.push_back(static_cast<int32_t>(pick & ~kReverse));
        r.lengthM += net.links[pick & ~kReverse].lengthM;
        previous = pick;
        node = endNode(pick);
    }
    tagSVCROUTEPOINTIN origin, goal;
    origin.linkIndex = 0;
    origin.position = net.nodes[startNode(static_cast<uint32_t>(r.links.front()))];
    goal.linkIndex = static_cast<int32_t>(r.links.size()) - 1;
    goal.position = net.nodes[endNode(static_cast<uint32_t>(r.links.back()))];
    goal.offsetM = static_cast<int32_t>(net.links[static_cast<uint32_t>(r.links.back()) & ~kReverse].lengthM);
    r.points = {origin, goal};
    return r;
}

void Gather(benchmark::State& state, int64_t lengthM) {
    const City& c = GuideCity();
    CMgrMap* map = CMgrMap::Instance();
    if (!map->IsOpen() && map->Open(c.root) != 1) {
        state.SkipWithError(("cannot open the city: " + map->LastOpenFailure()).c_str());
        return;
    }
    const Route route = SnakeRoute(c.city, lengthM);
    CMneCalTollPrice toll;
    toll.OpenAt(std::string(), map->TollGates());
    CMneCollectData collect;
    collect.SetCongestion([](int32_t) { return 0; });
    if (collect.Init(*map, &toll) != 1 ||
        collect.SetRoute(static_cast<int>(route.links.size()), route.links.data(), route.traffic.data(), 2,
                         route.points.data()) != 1) {
        state.SkipWithError("cannot set the route");
        return;
    }
    size_t points = 0;
    for (auto _ : state) {
        if (collect.Gather() != 1) {
            state.SkipWithError("gathering failed");
            return;
        }
        points = collect.Snapshot().guidePoints.size();
    }
    state.counters["links"] = static_cast<double>(route.links.size());
    state.counters["route_km"] = static_cast<double>(route.lengthM) / 1000.0;
    state.counters["guide_points"] = static_cast<double>(points);
    state.counters["links_per_s"] =
        benchmark::Counter(static_cast<double>(route.links.size()), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Gather20km(benchmark::State& state) { Gather(state, 20000); }
void BM_Gather100km(benchmark::State& state) { Gather(state, 100000); }
BENCHMARK(BM_Gather20km)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Gather100km)->Unit(benchmark::kMillisecond);

}  // namespace
