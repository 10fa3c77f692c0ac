// The exact search against a plain Dijkstra over the generator's in-memory
// network (not through the file readers), sharing only the cost functions:
// ten seeded grids of about 20 x 20 crossings with one-ways and banned
// turns, twenty random pairs each.
#include "route/route_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <random>

#include "foundation/debug_trace.h"
#include "platform/clock.h"
#include "support/road_net_walk.h"
#include "support/temp_dir.h"
#include "tools/writers/route_data_writer.h"
#include "tools/writers/synthetic_city.h"

namespace {

using testsupport::CheapestThroughLegs;
using testsupport::ForEachDirectedLink;
using testsupport::NetTurn;
using testsupport::NetTurns;
using testsupport::NodeCostStep;
using testsupport::WalkLabel;
using testsupport::WalkRouteCost;
using testsupport::WalkStep;
using Turns = std::vector<NetTurn>;

struct Oracle {
    std::map<uint32_t, int32_t> own;  // node cost per enterable directed link
    NetTurns next;                    // allowed turns

    // marks: link-set marks by directed id (1 detour, 2 avoided); traffic:
    // the speed percentage of a directed link (0 none).
    Oracle(const writers::RoadNet& net, const NcRouteConfig& config, const NcCostRules& rules,
           const std::map<uint32_t, int>& marks = {}, const std::function<int(uint32_t)>& traffic = {}) {
        ForEachDirectedLink(net, config, [&](uint32_t id, NcCostLink c, const std::vector<NetTurn>& turns) {
            const auto mark = marks.find(id);
            if (mark != marks.end() && mark->second == 2) return;
            NcCostExtras extras;
            if (mark != marks.end() && mark->second == 1) extras.mark = 1;
            if (traffic) c.trafficPercent = traffic(id);
            own[id] = NcComputeNodeCost(c, rules, extras).cost;
            next[id] = turns;
        });
    }
    // The cost of a route recomputed link by link, -1 when a step is not an
    // allowed turn or a link cannot be entered.
    int64_t RouteCost(const std::vector<uint32_t>& route) const {
        if (route.empty() || !own.count(route[0])) return -1;
        return WalkRouteCost(route, {own.at(route[0]), 0}, next, NodeCostStep(own));
    }
    // The cheapest cost from origin to goal, -1 when unreachable.
    int64_t Cheapest(uint32_t origin, uint32_t goal) const { return CheapestOverLegs(origin, {{goal}}); }
    // The same from several origin links, each with its own start cost.
    int64_t Cheapest(const std::map<uint32_t, int64_t>& starts, uint32_t goal) const {
        std::map<uint32_t, WalkLabel> labels;
        for (const auto& [origin, start] : starts) labels[origin] = {start, 0};
        return CheapestThroughLegs(labels, {{goal}}, next, NodeCostStep(own));
    }
    // The cheapest cost through several legs from one origin link
    // (CheapestThroughLegs: a Dijkstra over (link, stage)).
    int64_t CheapestOverLegs(uint32_t origin, const std::vector<std::vector<uint32_t>>& legs) const {
        return CheapestThroughLegs({{origin, {own.at(origin), 0}}}, legs, next, NodeCostStep(own));
    }
};

// Legs of a forward search, each ending on its targets.
std::vector<NcSearchLeg> LegsOf(const std::vector<std::vector<uint32_t>>& targets) {
    std::vector<NcSearchLeg> legs;
    for (const std::vector<uint32_t>& t : targets) legs.push_back({t, {}});
    return legs;
}

NcSearchTuning EstimateOnly() {
    NcSearchTuning t;
    t.estimate = true;
    return t;
}

class ExactSearchTest : public ::testing::Test {
protected:
    void Open(const writers::SyntheticCity& city) {
        std::string error;
        ASSERT_TRUE(writers::WriteSyntheticCityFiles(city, dir.Path(), &error)) << error;
        ASSERT_EQ(road.OpenAt(dir.Path(), roadMemory.data(), roadMemory.size()), 1);
        search = std::make_unique<NcRoute>(road, config, rules);
        ASSERT_EQ(search->Init(nodeMemory.data(), markMemory.data(), markMemory.size()), 1);
    }

    // A search's answer against the oracle's cheapest cost (negative: no
    // route): no route when there is none, else the goal at that cost with a
    // route to check further (true).
    bool MatchesOracle(int result, int64_t expect, uint32_t to) {
        if (expect < 0) {
            EXPECT_EQ(result, kNcSearchNoRoute);
            return false;
        }
        EXPECT_EQ(result, static_cast<int>(to));
        if (result != static_cast<int>(to)) return false;
        EXPECT_EQ(search->Cost(), expect);
        EXPECT_FALSE(search->Route().empty());
        return !search->Route().empty();
    }

    testsupport::TempDir dir;
    std::vector<uint8_t> roadMemory = std::vector<uint8_t>(1 << 20);
    std::vector<uint8_t> nodeMemory = std::vector<uint8_t>(NcLinkMem::kBytes);
    std::vector<uint8_t> markMemory =
        std::vector<uint8_t>(kNcLinkIndexBytes + 2000 * kNcLinkPageBytes + kNcStageIndexBytes);
    NcRouteConfig config = NcDefaultRouteConfig();
    NcCostRules rules;
    NcDALManager road;
    std::unique_ptr<NcRoute> search;
};

TEST_F(ExactSearchTest, EqualsTheOracleOnSeededGrids) {
    int routes = 0, bans = 0;
    for (uint64_t seed = 1; seed <= 10; ++seed) {
        SCOPED_TRACE(seed);
        const writers::SyntheticCity city = writers::BuildSyntheticCity(800, seed);
        Open(city);
        const Oracle oracle(city.net, config, rules);
        bans += static_cast<int>(city.net.bannedTurns.size());
        std::vector<uint32_t> ids;
        for (const auto& [id, cost] : oracle.own) ids.push_back(id);
        std::mt19937 rng(static_cast<uint32_t>(seed));
        for (int pair = 0; pair < 20; ++pair) {
            const uint32_t from = ids[rng() % ids.size()], to = ids[rng() % ids.size()];
            SCOPED_TRACE(testing::Message() << from << " -> " << to);
            const int64_t expect = oracle.Cheapest(from, to);
            if (!MatchesOracle(search->Search({from}, {to}, 1000000), expect, to)) continue;
            ++routes;
            // The route: starts and ends right, every step an allowed turn,
            // and its costs add up to the reported one.
            const std::vector<uint32_t>& route = search->Route();
            EXPECT_EQ(route.front(), from);
            EXPECT_EQ(route.back(), to);
            EXPECT_EQ(oracle.RouteCost(route), search->Cost());
        }
    }
    // Most pairs have a route (one-ways make a few unreachable near the
    // edges), and the grids do ban turns.
    EXPECT_GT(routes, 150);
    EXPECT_GT(bans, 10);
}

// With the estimate: every route is valid, adds up to its reported cost and
// costs at least the optimum; the ratio to the optimum is reported.
TEST_F(ExactSearchTest, EstimateFindsValidNearOptimalRoutes) {
    std::vector<double> ratios;
    int exactTaken = 0, estimateTaken = 0;
    for (uint64_t seed = 1; seed <= 10; ++seed) {
        SCOPED_TRACE(seed);
        const writers::SyntheticCity city = writers::BuildSyntheticCity(800, seed);
        Open(city);
        const Oracle oracle(city.net, config, rules);
        std::vector<uint32_t> ids;
        for (const auto& [id, cost] : oracle.own) ids.push_back(id);
        std::mt19937 rng(static_cast<uint32_t>(seed) + 100);
        for (int pair = 0; pair < 20; ++pair) {
            const uint32_t from = ids[rng() % ids.size()], to = ids[rng() % ids.size()];
            const int64_t optimum = oracle.Cheapest(from, to);
            if (optimum <= 0) continue;
            search->SetTuning(NcSearchTuning::Exact());
            ASSERT_EQ(search->Search({from}, {to}, 1000000), static_cast<int>(to));
            exactTaken += search->Taken();
            search->SetTuning(EstimateOnly());
            ASSERT_EQ(search->Search({from}, {to}, 1000000), static_cast<int>(to));
            estimateTaken += search->Taken();
            const std::vector<uint32_t>& route = search->Route();
            ASSERT_EQ(route.front(), from);
            EXPECT_EQ(oracle.RouteCost(route), search->Cost());
            EXPECT_GE(search->Cost(), optimum);
            ratios.push_back(static_cast<double>(search->Cost()) / optimum);
        }
    }
    ASSERT_GT(ratios.size(), 150u);
    std::sort(ratios.begin(), ratios.end());
    std::printf("estimate: %zu routes, cost over the optimum median %.3f worst %.3f; labels taken %d against %d\n",
                ratios.size(), ratios[ratios.size() / 2], ratios.back(), estimateTaken, exactTaken);
    EXPECT_LT(estimateTaken, exactTaken);
}

TEST_F(ExactSearchTest, ResultCodes) {
    const writers::SyntheticCity city = writers::BuildSyntheticCity(800, 1);
    Open(city);
    uint32_t oneWay = 0;
    for (uint32_t i = 1; i < city.net.links.size() && !oneWay; ++i)
        if (city.net.links[i].oneWay) oneWay = i;
    ASSERT_NE(oneWay, 0u);
    // Against a one-way street nothing arrives: the queue runs empty.
    EXPECT_EQ(search->Search({1}, {oneWay | kNcLinkReverseBit}, 1000000), kNcSearchNoRoute);
    EXPECT_EQ(search->Search({1}, {oneWay}, 1), kNcSearchTooManyLinks);
    EXPECT_EQ(search->Search({static_cast<uint32_t>(city.net.links.size())}, {1}, 100), kNcSearchBadLink);
    EXPECT_EQ(search->Search({oneWay | kNcLinkReverseBit}, {1}, 100), kNcSearchBadLink);
    // The same link as start and goal: a route of that link.
    ASSERT_EQ(search->Search({5}, {5}, 10), 5);
    EXPECT_EQ(search->Route(), std::vector<uint32_t>{5});
}

// Detour links cost more and avoided links are never entered: marks on
// links of each cheapest route, and the search again equals the oracle
// given the same marks.
TEST_F(ExactSearchTest, LinkSetsAgreeWithTheOracle) {
    const writers::SyntheticCity city = writers::BuildSyntheticCity(800, 3);
    Open(city);
    const Oracle plain(city.net, config, rules);
    std::vector<uint32_t> ids;
    for (const auto& [id, cost] : plain.own) ids.push_back(id);
    std::mt19937 rng(7);
    int changed = 0, checked = 0;
    for (int pair = 0; pair < 20; ++pair) {
        const uint32_t from = ids[rng() % ids.size()], to = ids[rng() % ids.size()];
        if (plain.Cheapest(from, to) <= 0) continue;
        ASSERT_EQ(search->Search({from}, {to}, 1000000), static_cast<int>(to));
        const std::vector<uint32_t> first = search->Route();
        if (first.size() < 5) continue;
        const uint32_t avoided = first[first.size() / 2];
        const uint32_t detour = first[first.size() / 2 - 1];
        const std::map<uint32_t, int> marks = {{avoided, kNcSetMarkAvoid}, {detour, kNcSetMarkDetour}};
        const NcSetMarks sorted(marks.begin(), marks.end());
        const Oracle marked(city.net, config, rules, marks);
        search->SetLinkMarks(&sorted);
        const int64_t expect = marked.Cheapest(from, to);
        const int result = search->Search({from}, {to}, 1000000);
        search->SetLinkMarks(nullptr);
        ++checked;
        if (expect < 0) {
            EXPECT_EQ(result, kNcSearchNoRoute);
            ++changed;
            continue;
        }
        ASSERT_EQ(result, static_cast<int>(to));
        EXPECT_EQ(search->Cost(), expect);
        EXPECT_EQ(marked.RouteCost(search->Route()), expect);
        EXPECT_EQ(std::count(search->Route().begin(), search->Route().end(), avoided), 0);
        changed += search->Route() != first;
    }
    EXPECT_GT(checked, 8);
    EXPECT_EQ(changed, checked);
}

// A cancel ends the search at the 99th label taken and is used up by it.
TEST_F(ExactSearchTest, CancelEndsTheSearchAtThe99thLabel) {
    const writers::SyntheticCity city = writers::BuildSyntheticCity(800, 2);
    Open(city);
    const Oracle oracle(city.net, config, rules);
    const uint32_t from = oracle.own.begin()->first, to = oracle.own.rbegin()->first;
    ASSERT_GT(oracle.Cheapest(from, to), 0);
    std::atomic<bool> cancel{true};
    search->SetCancelFlag(&cancel);
    EXPECT_EQ(search->Search({from}, {to}, 1000000), kNcSearchCancelled);
    EXPECT_EQ(search->Taken(), kNcCancelCheckLabels);
    EXPECT_FALSE(cancel.load());
    EXPECT_EQ(search->Search({from}, {to}, 1000000), static_cast<int>(to));
    EXPECT_GT(search->Taken(), kNcCancelCheckLabels);
}

}  // namespace

namespace {

// The engine's own tuning on a city of about 20 x 20 km, large enough for
// the road levels to close the local streets in the middle of long legs:
// every route is valid and adds up to its reported cost, costs at least the
// optimum, and comes out the same when searched again; the ratio to the
// optimum is reported. (Each pair also runs the oracle and the exact search
// on the whole city; the ratio over 1 000 pairs is the search benchmark's.)
TEST_F(ExactSearchTest, HeuristicRoutesAreValidAndRepeatable) {
    const writers::SyntheticCity city = writers::BuildSyntheticCity(20000, 5);
    Open(city);
    const Oracle oracle(city.net, config, rules);
    std::vector<uint32_t> ids;
    for (const auto& [id, cost] : oracle.own) ids.push_back(id);
    std::mt19937 rng(11);
    std::vector<double> ratios;
    int64_t exactTaken = 0, heuristicTaken = 0;
    int longLegs = 0;
    for (int pair = 0; pair < 24; ++pair) {
        const uint32_t from = ids[rng() % ids.size()], to = ids[rng() % ids.size()];
        SCOPED_TRACE(testing::Message() << from << " -> " << to);
        const int64_t optimum = oracle.Cheapest(from, to);
        if (optimum <= 0) continue;
        search->SetTuning(NcSearchTuning::Exact());
        ASSERT_EQ(search->Search({from}, {to}, 10000000), static_cast<int>(to));
        exactTaken += search->Taken();
        search->SetTuning(NcSearchTuning::Heuristic());
        ASSERT_EQ(search->Search({from}, {to}, 10000000), static_cast<int>(to));
        heuristicTaken += search->Taken();
        const std::vector<uint32_t> route = search->Route();
        const int32_t cost = search->Cost();
        ASSERT_EQ(route.front(), from);
        ASSERT_EQ(route.back(), to);
        EXPECT_EQ(oracle.RouteCost(route), cost);
        EXPECT_GE(cost, optimum);
        ratios.push_back(static_cast<double>(cost) / optimum);
        ASSERT_EQ(search->Search({from}, {to}, 10000000), static_cast<int>(to));
        EXPECT_EQ(search->Route(), route);
        longLegs += route.size() > 60;
    }
    ASSERT_GT(ratios.size(), 16u);
    std::sort(ratios.begin(), ratios.end());
    std::printf("heuristic: %zu routes (%d long), cost over the optimum median %.3f worst %.3f; labels taken %lld "
                "against %lld exact\n",
                ratios.size(), longLegs, ratios[ratios.size() / 2], ratios.back(),
                static_cast<long long>(heuristicTaken), static_cast<long long>(exactTaken));
    EXPECT_LT(heuristicTaken, exactTaken);
}

// Far from both ends only the main roads are searched: a street of network
// level 0 in the middle of a long leg is never entered, one near an end is.
TEST_F(ExactSearchTest, RoadLevelsCloseLocalStreetsFarFromBothEnds) {
    const writers::SyntheticCity city = writers::BuildSyntheticCity(20000, 5);
    // 50 km/h on every road: without levels the cheapest way is the
    // shortest, local streets and all.
    rules.mode = 4;
    Open(city);
    NcSearchTuning levelsOnly;
    levelsOnly.levels = true;
    search->SetTuning(levelsOnly);
    // Corner to corner: about 28 km, so the middle lies more than 5 km
    // from both ends (level 1 of the far set: arterials and up).
    const auto nearestLink = [&](double xm, double ym) {
        uint32_t best = 0;
        double bestD = 1e300;
        for (uint32_t i = 1; i < city.net.links.size(); ++i) {
            const MapPoint a = city.net.nodes[city.net.links[i].firstNode];
            const double d = std::hypot(a.x - (city.southWest.x + xm * (city.northEast.x - city.southWest.x)),
                                        a.y - (city.southWest.y + ym * (city.northEast.y - city.southWest.y)));
            if (d < bestD && city.roads[i] == writers::SyntheticRoad::kLocal && !city.net.links[i].oneWay)
                bestD = d, best = i;
        }
        return best;
    };
    const uint32_t from = nearestLink(0.05, 0.05), to = nearestLink(0.95, 0.95);
    const int result = search->Search({from}, {to}, 10000000);
    ASSERT_EQ(result, static_cast<int>(to));
    const Oracle oracle(city.net, config, rules);
    EXPECT_EQ(oracle.RouteCost(search->Route()), search->Cost());
    int farLocal = 0, nearLocal = 0;
    const MapPoint a = city.net.nodes[city.net.links[from].firstNode];
    const MapPoint b = city.net.nodes[city.net.links[to].firstNode];
    for (uint32_t id : search->Route()) {
        const writers::RoadNetLink& l = city.net.links[id & ~kNcLinkReverseBit];
        const MapPoint p = city.net.nodes[(id & kNcLinkReverseBit) ? l.firstNode : l.secondNode];
        if (city.roads[id & ~kNcLinkReverseBit] != writers::SyntheticRoad::kLocal) continue;
        const bool far = NcDistanceM(p, a) > 5200 && NcDistanceM(p, b) > 5200;
        (far ? farLocal : nearLocal) += 1;
    }
    EXPECT_EQ(farLocal, 0);
    EXPECT_GT(nearLocal, 0);
}

// A successor the search passes over unread (RefusedUnread) is one its own
// record would have refused (closed in its direction, or kept out by its
// level): for every directed link, met at its start (forward) and at its
// end (backward), over legs of several lengths, with an area grid of mixed
// kinds over the city. Without the levels tuning exactly the closed
// directions of the one-way streets are passed over.
TEST_F(ExactSearchTest, LinksRefusedUnreadAreRefusedByTheirRecord) {
    const writers::SyntheticCity city = writers::BuildSyntheticCity(20000, 5);
    Open(city);
    const int32_t w = city.northEast.x - city.southWest.x, h = city.northEast.y - city.southWest.y;
    const int32_t x0 = city.southWest.x, y0 = city.southWest.y;
    NcAreaGrid grid;
    const std::vector<uint8_t> vtf = writers::BuildVtf({
        {1, 1, x0 + w / 3, y0 + h / 3, x0 + 2 * w / 3, y0 + 2 * h / 3},
        {1, 0, x0 + w / 2, y0, x0 + w / 2 + w / 10, y0 + h / 10},
        {1, 2, x0, y0 + h / 2, x0 + w / 4, y0 + h / 2 + h / 8},
    });
    ASSERT_EQ(grid.ApplyVtf(vtf.data(), vtf.size()), kNcVtfLoaded);
    NcGraph& graph = search->Graph();
    graph.SetTuning(NcSearchTuning::Heuristic());
    graph.SetAreaGrid(&grid);
    const uint32_t links = road.GetLinkCount();
    std::vector<MapPoint> first(links), second(links);
    for (uint32_t i = 1; i < links; ++i) {
        ASSERT_EQ(road.LoadLink(0, i), 1);
        first[i] = road.GetStartPoint(0);
        second[i] = road.GetEndPoint(0);
    }
    graph.SetTuning(NcSearchTuning::Exact());
    int closed = 0;
    for (uint32_t i = 1; i < links; ++i)
        for (uint32_t id : {i, i | kNcLinkReverseBit}) {
            ASSERT_EQ(road.LoadLink(0, id), 1);
            const bool isClosed = road.View(0).IsClosed() != 0;
            closed += isClosed;
            EXPECT_EQ(graph.RefusedUnread(id, first[i]), isClosed) << id;
        }
    EXPECT_GT(closed, 100);
    graph.SetTuning(NcSearchTuning::Heuristic());
    std::mt19937 rng(21);
    int refused = 0, wrong = 0;
    for (int leg = 0; leg < 12; ++leg) {
        const uint32_t from = 1 + rng() % (links - 1), to = 1 + rng() % (links - 1);
        ASSERT_TRUE(graph.SetEnds(from, to));
        for (uint32_t i = 1; i < links; ++i)
            for (uint32_t id : {i, i | kNcLinkReverseBit})
                for (bool backward : {false, true}) {
                    const bool reversed = id != i;
                    const MapPoint start = reversed ? second[i] : first[i], end = reversed ? first[i] : second[i];
                    // Forward a link is met where it starts and judged at
                    // its end; backward the other way round.
                    const MapPoint node = backward ? end : start, far = backward ? start : end;
                    if (!graph.RefusedUnread(id, node)) continue;
                    ++refused;
                    if (graph.ReadLink(id) && graph.MayEnter(graph.Seen().networkLevel, graph.LevelAt(far), far))
                        ++wrong;
                }
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(refused, 1000);
    std::printf("refused unread: %d\n", refused);
}

// The congestion a link is weighed by, as the traffic weights describe it:
// a link with a traffic state of its own (not 0, 255) takes it with five
// carries (0x28 added); without one a ramp (kinds 3, 4) has 1, another road
// the state carried to it when its class is below 8 or the carried state's
// low bits exceed 2, else 0. After a link longer than 99 m one carry is
// used up (a state without carries becomes 0). Over a connection of class 0
// nothing is carried, over classes 2 and 5 all, over the others the low
// three bits. A link costs its time at the speed of its state's low bits.
struct CarriedOracle {
    struct Link {
        NcCostLink cost;
        int own = 255;
    };
    std::map<uint32_t, Link> links;
    NetTurns next;
    NcCostRules rules;

    CarriedOracle(const writers::RoadNet& net, const NcRouteConfig& config, const NcCostRules& r,
                  const std::function<int(uint32_t)>& stateOf)
        : rules(r) {
        ForEachDirectedLink(net, config, [&](uint32_t id, const NcCostLink& c, const Turns& turns) {
            links[id] = {c, stateOf(id)};
            next[id] = turns;
        });
    }
    int Enter(uint32_t id, int carried) const {
        const Link& l = links.at(id);
        if (l.own != 0 && l.own != 255) return l.own + 40;
        if (l.cost.kind == 3 || l.cost.kind == 4) return 1;
        return l.cost.roadClass < 8 || carried % 8 > 2 ? carried : 0;
    }
    int Leave(uint32_t id, int state) const {
        if (links.at(id).cost.lengthM < 100) return state;
        return state >= 8 ? state - 8 : 0;
    }
    static int Pass(int state, int code) {
        const int cls = ClassifyLinkCode(code);
        return cls == 0 ? 0 : cls == 2 || cls == 5 ? state : state % 8;
    }
    int64_t Cost(uint32_t id, int state) const {
        static const int kPercent[8] = {0, 100, 50, 25, 0, 0, 0, 0};
        NcCostLink c = links.at(id).cost;
        c.trafficPercent = kPercent[state % 8];
        return NcComputeNodeCost(c, rules, {}).cost;
    }
    // The label of a route's first link: entered with nothing carried.
    WalkLabel Start(uint32_t origin) const {
        const int entered = Enter(origin, 0);
        return {Cost(origin, entered), Leave(origin, entered)};
    }
    // The cheapest cost as a search over links finds it: the first label
    // taken at a link holds its state for the links after it; through legs
    // a label keeps its state where a leg ends and the next begins.
    int64_t Cheapest(uint32_t origin, uint32_t goal) const { return CheapestOverLegs(origin, {{goal}}); }
    int64_t CheapestOverLegs(uint32_t origin, const std::vector<std::vector<uint32_t>>& legs) const {
        return CheapestThroughLegs({{origin, Start(origin)}}, legs, next, Step());
    }
    int64_t RouteCost(const std::vector<uint32_t>& route) const {
        return WalkRouteCost(route, Start(route[0]), next, Step());
    }
    // A turn adds its cost and the link entered at the state carried to it.
    WalkStep Step() const {
        return [this](const WalkLabel& l, const NetTurn& t) -> std::optional<WalkLabel> {
            if (!links.count(t.to)) return std::nullopt;
            const int entered = Enter(t.to, Pass(l.state, t.code));
            return WalkLabel{l.cost + t.turn + Cost(t.to, entered), Leave(t.to, entered)};
        };
    }
};

// Traffic: jammed links cost four times their free time, slow ones twice,
// and the links past a jam without a traffic state of their own are
// weighed by it too; the exact tuning with traffic equals the oracle given
// the same states, and the route leaves the jam.
TEST_F(ExactSearchTest, TrafficWeightsAgreeWithTheOracle) {
    writers::SyntheticCity city = writers::BuildSyntheticCity(800, 4);
    for (uint32_t i = 1; i < city.net.links.size(); ++i) {
        city.net.links[i].trafficStored = 2 * i;
        city.net.links[i].trafficReversed = 2 * i + 1;
    }
    Open(city);
    const Oracle plain(city.net, config, rules);
    std::vector<uint32_t> ids;
    for (const auto& [id, cost] : plain.own) ids.push_back(id);
    std::mt19937 rng(3);
    int checked = 0, moved = 0, carried = 0, carriedOn = 0;
    for (int pair = 0; pair < 20; ++pair) {
        const uint32_t from = ids[rng() % ids.size()], to = ids[rng() % ids.size()];
        if (plain.Cheapest(from, to) <= 0) continue;
        ASSERT_EQ(search->Search({from}, {to}, 1000000), static_cast<int>(to));
        const std::vector<uint32_t> first = search->Route();
        if (first.size() < 5) continue;
        // Jam the middle of the route, slow the link before it and free
        // the one before that; the links after the jam have no state. The
        // origin link, which every route starts on, is jammed too.
        std::map<uint32_t, int> state;  // by traffic id
        const auto trafficIdOf = [&](uint32_t id) {
            const writers::RoadNetLink& l = city.net.links[id & ~kNcLinkReverseBit];
            return (id & kNcLinkReverseBit) ? l.trafficReversed : l.trafficStored;
        };
        const size_t mid = first.size() / 2;
        state[trafficIdOf(first[mid])] = 3;
        state[trafficIdOf(first[mid - 1])] = 2;
        state[trafficIdOf(first[mid - 2])] = 1;
        state[trafficIdOf(first[0])] = 3;
        const auto congestion = [&](uint32_t trafficId) {
            const auto it = state.find(trafficId);
            return it == state.end() ? 255 : it->second;
        };
        const CarriedOracle slowed(city.net, config, rules,
                                   [&](uint32_t id) { return congestion(trafficIdOf(id)); });
        const Oracle ownOnly(city.net, config, rules, {},
                             [&](uint32_t id) { return NcTrafficPercent(congestion(trafficIdOf(id))); });
        search->SetCongestion(congestion);
        const int result = search->Search({from}, {to}, 1000000);
        search->SetCongestion(nullptr);
        ASSERT_EQ(result, static_cast<int>(to));
        EXPECT_EQ(search->Cost(), slowed.Cheapest(from, to));
        EXPECT_EQ(slowed.RouteCost(search->Route()), search->Cost());
        ++checked;
        moved += search->Route() != first;
        carried += slowed.RouteCost(search->Route()) != ownOnly.RouteCost(search->Route());

        // A waypoint on the jammed link: the label goes on into the next
        // leg with the state it had, so the jam still weighs the links
        // after the waypoint.
        const std::vector<std::vector<uint32_t>> legs = {{first[mid]}, {to}};
        const int64_t expect = slowed.CheapestOverLegs(from, legs);
        if (expect < 0) continue;
        search->SetCongestion(congestion);
        const int through = search->SearchLegs({from}, LegsOf(legs), 1000000);
        search->SetCongestion(nullptr);
        ASSERT_EQ(through, static_cast<int>(to));
        EXPECT_EQ(search->Cost(), expect);
        const std::vector<uint32_t>& route = search->Route();
        EXPECT_EQ(slowed.RouteCost(route), search->Cost());
        // The same route with the state dropped at the waypoint.
        const size_t end = search->LegEnds().front();
        const std::vector<uint32_t> before(route.begin(), route.begin() + static_cast<long>(end) + 1);
        const std::vector<uint32_t> after(route.begin() + static_cast<long>(end), route.end());
        const int64_t dropped = slowed.RouteCost(before) + WalkRouteCost(after, {0, 0}, slowed.next, slowed.Step());
        carriedOn += dropped != search->Cost();
    }
    EXPECT_GT(checked, 8);
    EXPECT_GT(moved, 0);
    // Past a jam the route's links were weighed by it, past a waypoint too.
    EXPECT_GT(carried, 3);
    EXPECT_GT(carriedOn, 2);
}

// The bidirectional search: a leg of two links is found by the backward
// phase alone; a cancel ends it within 99 labels and is used up; an
// unreachable goal ends with an empty queue.
TEST_F(ExactSearchTest, BidirectionalPhases) {
    const writers::SyntheticCity city = writers::BuildSyntheticCity(800, 1);
    Open(city);
    const Oracle oracle(city.net, config, rules);
    search->SetTuning(NcSearchTuning::Heuristic());
    const uint32_t from = oracle.own.begin()->first;
    const uint32_t to = oracle.next.at(from).front().to;
    ASSERT_EQ(search->Search({from}, {to}, 1000000), static_cast<int>(to));
    EXPECT_EQ(search->Route(), (std::vector<uint32_t>{from, to}));
    EXPECT_EQ(search->Cost(), oracle.RouteCost({from, to}));
    EXPECT_EQ(search->BackwardTaken(), search->Taken());

    const uint32_t far = oracle.own.rbegin()->first;
    ASSERT_GT(oracle.Cheapest(from, far), 0);
    std::atomic<bool> cancel{true};
    search->SetCancelFlag(&cancel);
    EXPECT_EQ(search->Search({from}, {far}, 1000000), kNcSearchCancelled);
    EXPECT_EQ(search->Taken(), kNcCancelCheckLabels);
    EXPECT_FALSE(cancel.load());
    ASSERT_EQ(search->Search({from}, {far}, 1000000), static_cast<int>(far));
    EXPECT_GT(search->BackwardTaken(), 0);
    EXPECT_GT(search->Taken(), search->BackwardTaken());
    EXPECT_EQ(oracle.RouteCost(search->Route()), search->Cost());
    search->SetCancelFlag(nullptr);

    // With a waypoint reached over a link list the backward phase does not
    // hand over: here it runs until it reaches the origin.
    NcSearchTuning viaList = NcSearchTuning::Heuristic();
    viaList.viaLinkList = true;
    search->SetTuning(viaList);
    ASSERT_EQ(search->Search({from}, {far}, 1000000), static_cast<int>(far));
    EXPECT_EQ(search->BackwardTaken(), search->Taken());
    EXPECT_EQ(search->Route().front(), from);
    EXPECT_EQ(oracle.RouteCost(search->Route()), search->Cost());
    search->SetTuning(NcSearchTuning::Heuristic());

    uint32_t oneWay = 0;
    for (uint32_t i = 1; i < city.net.links.size() && !oneWay; ++i)
        if (city.net.links[i].oneWay) oneWay = i;
    EXPECT_EQ(search->Search({1}, {oneWay | kNcLinkReverseBit}, 1000000), kNcSearchBadLink);
    EXPECT_EQ(search->Search({1}, {far}, 5), kNcSearchTooManyLinks);
}

}  // namespace

namespace {

// Turn costs by hand: the base cost by level and class times 100, the two
// weight factors with road options, the U-turn penalty by the U-turn
// weight (capped at 5) or 3000 without options, and 60000 for code 29.
TEST(TurnCostTest, BaseFactorsAndUTurnPenalty) {
    NcRouteConfig config = NcDefaultRouteConfig();
    for (auto& row : config.turnCostS)
        for (int32_t& v : row) v = 7;
    config.turnCostS[2][4] = 9;
    for (auto& row : config.uTurnFactor)
        for (float& f : row) f = 1.0f;
    for (auto& row : config.leftTurnFactor)
        for (float& f : row) f = 1.0f;
    config.uTurnFactor[3][4] = 2.0f;
    config.leftTurnFactor[1][4] = 1.5f;
    const uint8_t weights[7] = {0, 0, 9, 0, 0, 3, 1};
    const NcRoadOptions options = NcMakeRoadOptions(true, weights);
    EXPECT_EQ(options.bytes[2], 5);  // capped
    const uint8_t uTurnNine[7] = {0, 0, 0, 0, 0, 9, 0};
    const uint8_t uTurnZero[7] = {};
    struct Case {
        int level, code, direction;
        NcRoadOptions options;
        int32_t expect;
    } cases[] = {
        {0, 10, 1, {}, 700},                                       // straight on, class 2
        {2, 17, 1, {}, 900},                                       // left turn at level 2
        {2, 17, 1, options, 900 * 2 * 3 / 2},                      // both factors of class 4
        {0, 10, 1, options, 700},                                  // class 2 factors are 1
        {0, 16, 2, {}, 700 + 3000},                                // U-turn without options
        {0, 16, 2, NcMakeRoadOptions(true, uTurnZero), 700 + 18000},
        {0, 16, 2, NcMakeRoadOptions(true, uTurnNine), 700 + 30},  // weight capped at 5
        {0, 29, 1, options, 60000},                                // class 6
        {0, '^', 1, {}, 700 + 3000},                               // U-turn codes over another link
        {0, '_', 1, NcMakeRoadOptions(true, uTurnZero), 700 + 18000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "level " << c.level << " code " << c.code);
        EXPECT_EQ(NcTurnCost(config, c.level, c.code, c.direction, c.options), c.expect);
    }
}

}  // namespace

namespace {

// With search option 4 the backward phase runs to the origin; on a city of
// 40000 links it fills the meeting table first, hands over to the forward
// phase at once, and the route is still whole and valid.
TEST_F(ExactSearchTest, FullMeetingTableHandsOverToTheForwardPhase) {
    const writers::SyntheticCity city = writers::BuildSyntheticCity(40000, 8);
    Open(city);
    const Oracle oracle(city.net, config, rules);
    NcSearchTuning tuning = NcSearchTuning::Heuristic();
    tuning.option = 4;
    tuning.levels = false;
    search->SetTuning(tuning);
    // From the street leaving the south-west corner to the one reaching
    // the north-east corner.
    const uint32_t corner = static_cast<uint32_t>(city.side * city.side - 1);
    uint32_t from = 0, to = 0;
    for (uint32_t i = 1; i < city.net.links.size(); ++i) {
        if (from == 0 && city.net.links[i].firstNode == 0) from = i;
        if (to == 0 && city.net.links[i].secondNode == corner) to = i;
    }
    ASSERT_NE(from, 0u);
    ASSERT_NE(to, 0u);
    const int64_t optimum = oracle.Cheapest(from, to);
    ASSERT_GT(optimum, 0);
    ASSERT_EQ(search->Search({from}, {to}, 10000000), static_cast<int>(to));
    EXPECT_GE(search->MeetEntries(), NcMeetTable::kFullAt);
    EXPECT_GT(search->Taken(), search->BackwardTaken());
    EXPECT_EQ(search->Route().front(), from);
    EXPECT_EQ(oracle.RouteCost(search->Route()), search->Cost());
    EXPECT_GE(search->Cost(), optimum);
}

}  // namespace

namespace {

// The link-id memory given to the search holds three pages (96 links): a
// search that reaches more groups ends with -627 instead of writing past
// its memory, and the next search in that memory runs normally.
TEST_F(ExactSearchTest, LinkIdMemoryUsedUpEndsTheSearch) {
    markMemory.assign(kNcLinkIndexBytes + 3 * kNcLinkPageBytes, 0);
    const writers::SyntheticCity city = writers::BuildSyntheticCity(800, 1);
    Open(city);
    const uint32_t last = static_cast<uint32_t>(city.net.links.size() - 1);
    EXPECT_EQ(search->Search({1}, {last}, 1000000), kNcSearchNoMemory);
    EXPECT_TRUE(search->Route().empty());
    ASSERT_EQ(search->Search({5}, {5}, 10), 5);
    EXPECT_EQ(search->Route(), std::vector<uint32_t>{5});
}

}  // namespace

namespace {

// Both directions of one street as the origin, the origin point a random
// part of the way along it: each direction starts with the cost of the
// part still ahead (the stored direction ahead of the point the share f,
// the reverse one 1 - f, rounded), and the search equals a Dijkstra seeded
// with those two start costs.
TEST_F(ExactSearchTest, SplitStartCostsEqualTheOracle) {
    int routes = 0, reverseTaken = 0;
    for (uint64_t seed = 1; seed <= 5; ++seed) {
        SCOPED_TRACE(seed);
        const writers::SyntheticCity city = writers::BuildSyntheticCity(800, seed);
        Open(city);
        const Oracle oracle(city.net, config, rules);
        std::vector<uint32_t> twoWay, ids;
        for (const auto& [id, cost] : oracle.own) {
            ids.push_back(id);
            if (id < kNcLinkReverseBit && oracle.own.count(id | kNcLinkReverseBit)) twoWay.push_back(id);
        }
        std::mt19937 rng(static_cast<uint32_t>(seed) + 100);
        for (int pair = 0; pair < 20; ++pair) {
            const uint32_t along = twoWay[rng() % twoWay.size()], back = along | kNcLinkReverseBit;
            const uint32_t to = ids[rng() % ids.size()];
            const double f = static_cast<double>(rng() % 999 + 1) / 1000.0;
            SCOPED_TRACE(testing::Message() << along << " share " << f << " -> " << to);
            if (NcLinkIndex(to) == NcLinkIndex(along)) continue;
            const std::map<uint32_t, int64_t> starts{
                {along, std::llround(static_cast<double>(oracle.own.at(along)) * f)},
                {back, std::llround(static_cast<double>(oracle.own.at(back)) * (1.0 - f))}};
            const int64_t expect = oracle.Cheapest(starts, to);
            if (!MatchesOracle(search->Search({along, back}, {to}, 1000000, {f, 1.0 - f}), expect, to)) continue;
            ++routes;
            const std::vector<uint32_t>& route = search->Route();
            ASSERT_TRUE(starts.count(route.front()));
            if (route.front() == back) ++reverseTaken;
            EXPECT_EQ(oracle.RouteCost(route) - oracle.own.at(route.front()) + starts.at(route.front()), search->Cost());
        }
    }
    // Both directions get chosen.
    EXPECT_GT(routes, 50);
    EXPECT_GT(reverseTaken, 5);
    EXPECT_LT(reverseTaken, routes - 5);
}

}  // namespace

namespace {

// The legs of a route through waypoints, drawn from a grid: 2 to 4 legs,
// each ending on one link or on both directions of a street; and, to make
// a later leg drive again what an earlier one drove, a leg out to a link of
// the cheapest way from the origin and one back to the second link of that
// way (the same directed link a second time).
struct LegCase {
    uint32_t origin = 0;
    std::vector<std::vector<uint32_t>> targets;
};

std::vector<LegCase> DrawLegCases(const Oracle& oracle, NcRoute& search, uint32_t seed, int count) {
    std::vector<uint32_t> ids;
    for (const auto& [id, cost] : oracle.own) ids.push_back(id);
    std::mt19937 rng(seed);
    const auto end = [&] {
        const uint32_t id = ids[rng() % ids.size()];
        const uint32_t other = id ^ kNcLinkReverseBit;
        if (rng() % 2 == 0 && oracle.own.count(other)) return std::vector<uint32_t>{id, other};
        return std::vector<uint32_t>{id};
    };
    std::vector<LegCase> cases;
    while (static_cast<int>(cases.size()) < count) {
        LegCase c;
        c.origin = ids[rng() % ids.size()];
        if (cases.size() % 3 == 2) {
            // Out and back over the road just driven.
            search.SetTuning(NcSearchTuning::Exact());
            const uint32_t far = ids[rng() % ids.size()];
            if (search.Search({c.origin}, {far}, 1000000) <= 0 || search.Route().size() < 6) continue;
            const std::vector<uint32_t> way = search.Route();
            c.targets = {{way[way.size() / 2]}, {way[1]}};
            if (rng() % 2 == 0) c.targets.push_back(end());
        } else {
            const size_t legs = 2 + rng() % 3;
            for (size_t k = 0; k < legs; ++k) c.targets.push_back(end());
        }
        cases.push_back(c);
    }
    return cases;
}

// A route through legs: each step an allowed turn, its costs add up to the
// reported cost, and each leg's end (LegEnds) lies on a target of that leg,
// in order, the last on the route's last link.
void ExpectValidLegs(const Oracle& oracle, const NcRoute& search, const LegCase& c) {
    const std::vector<uint32_t>& route = search.Route();
    ASSERT_FALSE(route.empty());
    EXPECT_EQ(route.front(), c.origin);
    EXPECT_EQ(oracle.RouteCost(route), search.Cost());
    const std::vector<size_t>& ends = search.LegEnds();
    ASSERT_EQ(ends.size(), c.targets.size());
    for (size_t k = 0; k < ends.size(); ++k) {
        SCOPED_TRACE(testing::Message() << "leg " << k);
        ASSERT_LT(ends[k], route.size());
        if (k > 0) {
            EXPECT_GE(ends[k], ends[k - 1]);
        }
        const std::vector<uint32_t>& t = c.targets[k];
        EXPECT_NE(std::find(t.begin(), t.end(), route[ends[k]]), t.end());
    }
    EXPECT_EQ(ends.back(), route.size() - 1);
}

// The exact search over 2 to 4 legs costs what the Dijkstra over (link,
// stage) finds, on seeded grids, with legs of one and two target links and
// legs that come back over the road just driven.
TEST_F(ExactSearchTest, LegsEqualTheOracleOverLinkAndStage) {
    int routes = 0, drivenTwice = 0;
    for (uint32_t seed = 1; seed <= 6; ++seed) {
        SCOPED_TRACE(seed);
        const writers::SyntheticCity city = writers::BuildSyntheticCity(800, seed);
        Open(city);
        const Oracle oracle(city.net, config, rules);
        for (const LegCase& c : DrawLegCases(oracle, *search, seed + 40, 15)) {
            SCOPED_TRACE(testing::Message() << "from " << c.origin << " over " << c.targets.size() << " legs");
            const int64_t expect = oracle.CheapestOverLegs(c.origin, c.targets);
            search->SetTuning(NcSearchTuning::Exact());
            const int result = search->SearchLegs({c.origin}, LegsOf(c.targets), 1000000);
            if (expect < 0) {
                EXPECT_EQ(result, kNcSearchNoRoute);
                continue;
            }
            ASSERT_GT(result, 0);
            EXPECT_EQ(static_cast<uint32_t>(result), search->Route().back());
            EXPECT_EQ(search->Cost(), expect);
            ExpectValidLegs(oracle, *search, c);
            ++routes;
            std::vector<uint32_t> sorted = search->Route();
            std::sort(sorted.begin(), sorted.end());
            drivenTwice += std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end();
        }
    }
    EXPECT_GT(routes, 70);
    // Routes that drive one directed link twice are among them.
    EXPECT_GT(drivenTwice, 10);
}

// The engine's tuning over several legs: every route is valid, goes through
// the waypoints in order, adds up to its reported cost and costs at least
// the optimum over the same legs (on grids of 800 links and on a city large
// enough for the road levels to matter).
TEST_F(ExactSearchTest, HeuristicLegsAreValidAndNoCheaperThanTheOracle) {
    std::vector<double> ratios;
    for (const auto& [links, seed] : {std::pair<int, uint32_t>{800, 2}, {800, 3}, {20000, 5}}) {
        SCOPED_TRACE(testing::Message() << links << " links, seed " << seed);
        const writers::SyntheticCity city = writers::BuildSyntheticCity(links, seed);
        Open(city);
        const Oracle oracle(city.net, config, rules);
        for (const LegCase& c : DrawLegCases(oracle, *search, seed + 70, links > 800 ? 6 : 12)) {
            const int64_t optimum = oracle.CheapestOverLegs(c.origin, c.targets);
            if (optimum <= 0) continue;
            SCOPED_TRACE(testing::Message() << "from " << c.origin << " over " << c.targets.size() << " legs");
            search->SetTuning(NcSearchTuning::Heuristic());
            ASSERT_GT(search->SearchLegs({c.origin}, LegsOf(c.targets), 10000000), 0);
            ExpectValidLegs(oracle, *search, c);
            EXPECT_GE(search->Cost(), optimum);
            ratios.push_back(static_cast<double>(search->Cost()) / optimum);
        }
    }
    ASSERT_GT(ratios.size(), 20u);
    std::sort(ratios.begin(), ratios.end());
    std::printf("legs, heuristic: %zu routes, cost over the optimum median %.3f worst %.3f\n", ratios.size(),
                ratios[ratios.size() / 2], ratios.back());
}

// Result codes through the legs: a later leg with no way in (-621), the
// iteration limit (-622), a cancel (-702, at the 99th label, used up), and
// marks without the other stages' tables (-627 when two stages are live).
TEST_F(ExactSearchTest, LegsResultCodes) {
    const writers::SyntheticCity city = writers::BuildSyntheticCity(800, 1);
    Open(city);
    const Oracle oracle(city.net, config, rules);
    uint32_t oneWay = 0;
    for (uint32_t i = 1; i < city.net.links.size() && !oneWay; ++i)
        if (city.net.links[i].oneWay) oneWay = i;
    ASSERT_NE(oneWay, 0u);
    const uint32_t from = oracle.own.begin()->first, far = oracle.own.rbegin()->first;
    const uint32_t middle = std::next(oracle.own.begin(), static_cast<long>(oracle.own.size() / 2))->first;
    ASSERT_GT(oracle.CheapestOverLegs(from, {{middle}, {far}}), 0);
    EXPECT_EQ(search->SearchLegs({from}, LegsOf({{middle}, {oneWay | kNcLinkReverseBit}}), 1000000), kNcSearchNoRoute);
    EXPECT_EQ(search->SearchLegs({from}, LegsOf({{middle}, {far}}), 50), kNcSearchTooManyLinks);
    EXPECT_EQ(search->SearchLegs({from}, LegsOf({{middle}, {}}), 1000000), kNcSearchBadLink);

    std::atomic<bool> cancel{true};
    search->SetCancelFlag(&cancel);
    EXPECT_EQ(search->SearchLegs({from}, LegsOf({{middle}, {far}}), 1000000), kNcSearchCancelled);
    EXPECT_EQ(search->Taken(), kNcCancelCheckLabels);
    EXPECT_FALSE(cancel.load());
    ASSERT_EQ(search->SearchLegs({from}, LegsOf({{middle}, {far}}), 1000000), static_cast<int>(far));
    EXPECT_EQ(search->Cost(), oracle.CheapestOverLegs(from, {{middle}, {far}}));
    search->SetCancelFlag(nullptr);

    // Marks without the other stages' tables: a leg whose one target was
    // reached gives its table to the next, but a leg with a target still
    // out of reach keeps its own, and the next leg cannot start.
    markMemory.assign(kNcLinkIndexBytes + 2000 * kNcLinkPageBytes, 0);
    Open(city);
    ASSERT_EQ(search->SearchLegs({from}, LegsOf({{middle}, {far}}), 1000000), static_cast<int>(far));
    EXPECT_EQ(search->Cost(), oracle.CheapestOverLegs(from, {{middle}, {far}}));
    EXPECT_EQ(search->SearchLegs({from}, LegsOf({{middle, oneWay | kNcLinkReverseBit}, {far}}), 1000000),
              kNcSearchNoMemory);
    EXPECT_TRUE(search->Route().empty());
}

// A road of class 11 is driven only where a route starts or ends: a link
// of each cheapest route turned into class 11 is passed by (the route then
// equals the oracle's that never enters it), in the exact and in the
// engine's bidirectional tuning, while a route to it or from it is still
// found. Speeds of mode 4 do not depend on the class, so the link stays as
// cheap as it was.
TEST_F(ExactSearchTest, NoThroughClassIsOnlyStartedOrEnded) {
    rules.mode = 4;
    int detours = 0, checked = 0, waypoints = 0;
    for (uint64_t seed = 1; seed <= 4; ++seed) {
        SCOPED_TRACE(seed);
        writers::SyntheticCity city = writers::BuildSyntheticCity(800, seed);
        Open(city);
        const Oracle plain(city.net, config, rules);
        std::vector<uint32_t> ids;
        for (const auto& [id, cost] : plain.own) ids.push_back(id);
        std::mt19937 rng(static_cast<uint32_t>(seed) + 40);
        for (int pair = 0; pair < 6; ++pair) {
            const uint32_t from = ids[rng() % ids.size()], to = ids[rng() % ids.size()];
            if (plain.Cheapest(from, to) <= 0) continue;
            search->SetTuning(NcSearchTuning::Exact());
            ASSERT_EQ(search->Search({from}, {to}, 1000000), static_cast<int>(to));
            if (search->Route().size() < 5) continue;
            const uint32_t middle = search->Route()[search->Route().size() / 2];
            const uint32_t index = NcLinkIndex(middle);
            SCOPED_TRACE(testing::Message() << from << " -> " << to << " past " << index);
            writers::SyntheticCity changed = city;
            changed.net.links[index].roadClass = kNcClassNoThrough;
            Open(changed);
            // What the search must find: the cheapest way that never enters
            // the link, against the cheapest through it at its class-11 cost.
            const Oracle through(changed.net, config, rules);
            const Oracle around(changed.net, config, rules,
                                {{index, kNcSetMarkAvoid}, {index | kNcLinkReverseBit, kNcSetMarkAvoid}});
            const int64_t expect = around.Cheapest(from, to);
            detours += through.Cheapest(from, to) < expect || expect < 0;
            ++checked;
            if (MatchesOracle(search->Search({from}, {to}, 1000000), expect, to)) {
                EXPECT_EQ(around.RouteCost(search->Route()), expect);
            }
            search->SetTuning(NcSearchTuning::Heuristic());
            const int result = search->Search({from}, {to}, 1000000);
            if (expect > 0) {
                ASSERT_EQ(result, static_cast<int>(to));
                EXPECT_EQ(around.RouteCost(search->Route()), search->Cost());
            }
            // Where it starts or ends, the link is driven.
            for (const NcSearchTuning& tuning : {NcSearchTuning::Exact(), NcSearchTuning::Heuristic()}) {
                search->SetTuning(tuning);
                if (through.Cheapest(from, middle) > 0) {
                    EXPECT_EQ(search->Search({from}, {middle}, 1000000), static_cast<int>(middle));
                }
                if (through.Cheapest(middle, to) > 0) {
                    EXPECT_EQ(search->Search({middle}, {to}, 1000000), static_cast<int>(to));
                }
                // A waypoint on it: reached and left there, passed nowhere
                // else.
                if (through.CheapestOverLegs(from, {{middle}, {to}}) > 0) {
                    ASSERT_EQ(search->SearchLegs({from}, LegsOf({{middle}, {to}}), 1000000), static_cast<int>(to));
                    const std::vector<uint32_t>& route = search->Route();
                    for (size_t k = 0; k < route.size(); ++k) {
                        if (NcLinkIndex(route[k]) == index) {
                            EXPECT_EQ(k, search->LegEnds().front());
                        }
                    }
                    ++waypoints;
                }
            }
            Open(city);
        }
    }
    EXPECT_GT(checked, 8);
    EXPECT_GT(waypoints, 8);
    // Cases where the link would have been the cheaper way.
    EXPECT_GT(detours, 3);
}

}  // namespace

namespace {

// A clock that moves 5 ms each time it is read: each span a trace gives is
// one read after its start.
class SteppingClock : public platform::FakeClock {
public:
    uint64_t TickMs64() const override { return m_at.fetch_add(5) + 5; }

private:
    mutable std::atomic<uint64_t> m_at{1000};
};

// The traces of a search at level 2: the labels taken and the links of the
// route; for the bidirectional search each phase's time and labels, and the
// route found by the backward phase alone.
TEST_F(ExactSearchTest, SearchTraces) {
    const writers::SyntheticCity city = writers::BuildSyntheticCity(800, 1);
    Open(city);
    const Oracle oracle(city.net, config, rules);
    const uint32_t from = oracle.own.begin()->first, far = oracle.own.rbegin()->first;
    const uint32_t next = oracle.next.at(from).front().to;
    SteppingClock clock;
    platform::ScopedClock useClock(clock);
    const int level = GetDebugTraceLevel();
    SetDebugTraceLevel(2);
    std::vector<std::string> lines;
    SetDebugTraceSink([&](std::string_view line) { lines.emplace_back(line); }, false);
    const auto text = [](const char* format, int a, int b = 0) {
        char buffer[128];
        std::snprintf(buffer, sizeof buffer, format, a, b);
        return std::string(buffer);
    };

    ASSERT_EQ(search->Search({from}, {far}, 1000000), static_cast<int>(far));
    EXPECT_EQ(lines, (std::vector<std::string>{text("$ Total Route Search Link: %d-----------\n", search->Taken()),
                                               text("$ Total Route Result Link: %d-----------\n",
                                                    static_cast<int>(search->Route().size()))}));
    search->SetTuning(NcSearchTuning::Heuristic());
    lines.clear();
    ASSERT_EQ(search->Search({from}, {far}, 1000000), static_cast<int>(far));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], text("[RP**] REVERSE ROUTING TIME: %d (N:%d)\n", 5, search->BackwardTaken()));
    // The first meeting comes within the forward phase's labels.
    int frontN = -1;
    ASSERT_EQ(std::sscanf(lines[1].c_str(), "[RP**] FRONT ROUTING TIME: 5 (N: %d)\n", &frontN), 1) << lines[1];
    EXPECT_GT(frontN, 0);
    EXPECT_LE(frontN, search->Taken() - search->BackwardTaken());
    EXPECT_EQ(lines[2], "[RP**] MAKE RESULT LINK-SET TIME: 5\n");
    EXPECT_EQ(lines[3],
              text("RP> BIDIR SEARCH LINK: %d (%d)\n", search->Taken(), static_cast<int>(search->Route().size())));
    lines.clear();
    ASSERT_EQ(search->Search({from}, {next}, 1000000), static_cast<int>(next));
    EXPECT_EQ(lines, (std::vector<std::string>{
                         text("[RP**] BACKWARD SEARCH LINK: %d (%d)\n", search->Taken(), 2),
                         "[RP**] FORWARD SEARCH LINK: 0 --> Sorry, PathFinding Terminated!!!\n"}));
    SetDebugTraceSink({});
    SetDebugTraceLevel(level);
}

}  // namespace

namespace {

// A city with a one-way road of 41 links running east from one of its
// crossings (the first link 175 m, the others 250 m), the goal its last
// link, the origin a street arriving at that crossing: a leg of 9925 m whose
// backward phase walks the road link by link. Link k of the road (k >= 2)
// starts 175 + 250 (k - 2) m from the origin point, so the backward labels
// reach 90.7 % progress on link 5, 93.2 % on link 4 and 95.7 % on link 3:
// the phase hands over on link 4, the first at 92 % or more, after 38
// labels. Its meeting table then holds the road's links 4 to 40, which the
// forward phase meets only through link 3: after that one meeting no other
// comes, and it takes 4000 more labels before it stops.
TEST_F(ExactSearchTest, HandOverAt92PercentAndMeetingHorizon) {
    writers::SyntheticCity city = writers::BuildSyntheticCity(10000, 4);
    uint32_t origin = 0;
    for (uint32_t i = 1; i < city.net.links.size() && !origin; ++i) {
        const writers::RoadNetLink& l = city.net.links[i];
        if (city.roads[i] == writers::SyntheticRoad::kLocal && !l.oneWay && city.net.nodes[l.secondNode].x > city.net.nodes[l.firstNode].x)
            origin = i;
    }
    ASSERT_NE(origin, 0u);
    const writers::RoadNetLink street = city.net.links[origin];
    const double unitsPerM = (city.northEast.x - city.southWest.x) / city.xm.back();
    uint32_t node = street.secondNode;
    const MapPoint junction = city.net.nodes[node];
    double eastM = 0;
    uint32_t first = 0, goal = 0;
    for (int k = 1; k <= 41; ++k) {
        const double lengthM = k == 1 ? 175 : 250;
        eastM += lengthM;
        city.net.nodes.push_back({junction.x + static_cast<int32_t>(std::lround(eastM * unitsPerM)), junction.y});
        writers::RoadNetLink l = street;
        l.firstNode = node;
        l.secondNode = static_cast<uint32_t>(city.net.nodes.size() - 1);
        l.lengthM = static_cast<uint32_t>(lengthM);
        l.oneWay = true;
        l.trafficStored = l.trafficReversed = 0;
        city.net.links.push_back(l);
        city.roads.push_back(writers::SyntheticRoad::kLocal);
        node = l.secondNode;
        goal = static_cast<uint32_t>(city.net.links.size() - 1);
        if (k == 1) first = goal;
    }
    Open(city);
    NcSearchTuning tuning = NcSearchTuning::Heuristic();
    tuning.levels = false;
    search->SetTuning(tuning);

    const int level = GetDebugTraceLevel();
    SetDebugTraceLevel(kNcSearchTraceLevel);
    std::vector<std::string> lines;
    SetDebugTraceSink([&](std::string_view line) { lines.emplace_back(line); }, false);
    const int result = search->Search({origin}, {goal}, 1000000);
    SetDebugTraceSink({});
    SetDebugTraceLevel(level);
    ASSERT_EQ(result, static_cast<int>(goal));
    std::vector<uint32_t> route = {origin};
    for (uint32_t id = first; id <= goal; ++id) route.push_back(id);
    EXPECT_EQ(search->Route(), route);

    EXPECT_EQ(search->BackwardTaken(), 38);
    int frontN = -1;
    for (const std::string& line : lines) std::sscanf(line.c_str(), "[RP**] FRONT ROUTING TIME: %*d (N: %d)", &frontN);
    ASSERT_GT(frontN, 0);
    EXPECT_EQ(search->Taken() - search->BackwardTaken(), frontN + 4000);
}

}  // namespace

namespace {

// A one-way road of 40 links of 1 km eastwards, driven through a waypoint
// (link 11) to a destination (link 31). What remains after the first leg is
// the way between the two legs' centres (the midpoints of links 11 and 31)
// at 53 km/h, the leg's own estimate at 55 km/h; the first leg's progress
// counts both. Stopped after ten labels (links 1 to 10, one a label), the
// stored progress is what those rules give, and 55 km/h between the legs
// would give another.
TEST_F(ExactSearchTest, WhatRemainsAfterALegIsTakenAt53KmH) {
    const writers::SyntheticCity model = writers::BuildSyntheticCity(800, 1);
    writers::RoadNetLink road;
    for (uint32_t i = 1; i < model.net.links.size(); ++i)
        if (model.roads[i] == writers::SyntheticRoad::kLocal) road = model.net.links[i];
    writers::SyntheticCity city;
    const MapPoint west{static_cast<int32_t>(127.0 * kMapUnitsPerDegree), static_cast<int32_t>(37.5 * kMapUnitsPerDegree)};
    const int32_t unitsPerKm = 5937;  // 1 km east at 37.5 N
    for (int i = 0; i <= 40; ++i) city.net.nodes.push_back({west.x + i * unitsPerKm, west.y});
    city.net.links.emplace_back();  // the placeholder
    for (uint32_t i = 1; i <= 40; ++i) {
        writers::RoadNetLink l = road;
        l.firstNode = i - 1;
        l.secondNode = i;
        l.lengthM = 1000;
        l.oneWay = true;
        l.trafficStored = l.trafficReversed = 0;
        city.net.links.push_back(l);
    }
    city.southWest = {west.x, west.y - 1000};
    city.northEast = {west.x + 40 * unitsPerKm, west.y + 1000};
    Open(city);

    const auto node = [&](uint32_t i) { return city.net.nodes[i]; };
    const auto middle = [&](uint32_t link) {
        return MapPoint{static_cast<int32_t>((int64_t{node(link - 1).x} + node(link).x) / 2),
                        static_cast<int32_t>((int64_t{node(link - 1).y} + node(link).y) / 2)};
    };
    const auto expected = [&](int kmh) {
        const auto time = [](int64_t m, int speed) { return m * 100 * 3600 / 1000 / speed; };
        const int64_t after = time(NcDistanceM(middle(11), middle(31)), kmh);
        const int64_t start = time(NcDistanceM(node(1), node(10)), 55) + after;
        int64_t best = start;
        int progress = 0;
        for (uint32_t k = 1; k <= 10; ++k) {
            const int64_t remaining = time(NcDistanceM(node(k), node(10)), 55) + after;
            if (remaining >= best) continue;
            best = remaining;
            const int percent = static_cast<int>((start - remaining) * 100 / start);
            if (percent > progress + 9 || percent > 99) progress = std::min(percent, 100);
        }
        return progress;
    };
    ASSERT_NE(expected(53), expected(55)) << "the case does not tell the speeds apart";
    EXPECT_EQ(search->SearchLegs({1}, LegsOf({{11}, {31}}), 10), kNcSearchTooManyLinks);
    EXPECT_EQ(search->Progress(), expected(53));
    // Run to its end, the route is the road.
    ASSERT_EQ(search->SearchLegs({1}, LegsOf({{11}, {31}}), 1000), 31);
    EXPECT_EQ(search->Route().size(), 31u);
}

}  // namespace
