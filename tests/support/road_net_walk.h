#pragma once
// The directed links of a road network as the route tests' own Dijkstras
// read it, straight from the writer's network (not through the file
// readers): every direction that may be driven, its cost input and the
// turns the network allows from it; and the one walk those Dijkstras and
// route costs share, through legs and with a state carried from link to
// link.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <queue>
#include <utility>
#include <vector>

#include "route/link_graph.h"
#include "tools/writers/route_data_writer.h"

namespace testsupport {

// An allowed turn: the link entered, the turn's cost and its connection code.
struct NetTurn {
    uint32_t to;
    int32_t turn;
    int code;
};

// fn(directed id, cost input, turns) for every direction of every link that
// may be driven.
template <class Fn>
void ForEachDirectedLink(const writers::RoadNet& net, const NcRouteConfig& config, Fn fn) {
    const writers::RoadNetIncidence inc = writers::BuildIncidence(net);
    std::vector<NetTurn> turns;
    for (uint32_t i = 1; i < net.links.size(); ++i) {
        const writers::RoadNetLink& l = net.links[i];
        const writers::RoadLinkSpec desc = writers::RoadNetLinkSpec(net, inc, i);
        for (uint32_t dir : {0u, 1u}) {
            if (dir && l.oneWay) continue;
            const uint32_t id = i | (dir ? kNcLinkReverseBit : 0);
            NcCostLink c;
            c.lengthM = l.lengthM;
            c.roadClass = l.roadClass;
            c.kind = l.kind;
            c.linkType = l.linkType;
            c.lanes = l.lanes;
            c.lanesBothDirections = l.lanesBothDirections;
            c.speedLimitKmh = l.speedCode >= 2 && l.speedCode <= 11 ? l.speedCode * 10 : 0;
            turns.clear();
            for (const writers::RoadConnectionSpec& e : dir ? desc.atFirst : desc.atSecond) {
                if (!e.allowed) continue;
                const bool uTurn = e.linkIndex == i && e.reversed == (dir == 0);
                turns.push_back({e.linkIndex | (e.reversed ? kNcLinkReverseBit : 0),
                                 NcTurnCost(config, 0, e.code, uTurn ? 2 : 1), e.code});
            }
            fn(id, c, turns);
        }
    }
}

// A label of the oracles' walks: the cost so far and the state it hands on
// to the next link (a congestion state; 0 where nothing is carried).
struct WalkLabel {
    int64_t cost = 0;
    int state = 0;
};

// The allowed turns by directed link.
using NetTurns = std::map<uint32_t, std::vector<NetTurn>>;

// step(label, turn): the label on the turn's link after that turn, none
// where the link may not be entered.
using WalkStep = std::function<std::optional<WalkLabel>(const WalkLabel&, const NetTurn&)>;

// The step of a walk without a state: a turn adds its cost and the node
// cost of the link entered (own: by directed link; a link not in it may not
// be entered). own must outlive the step.
inline WalkStep NodeCostStep(const std::map<uint32_t, int32_t>& own) {
    return [&own](const WalkLabel& l, const NetTurn& t) -> std::optional<WalkLabel> {
        const auto o = own.find(t.to);
        if (o == own.end()) return std::nullopt;
        return WalkLabel{l.cost + t.turn + o->second, 0};
    };
}

// The cheapest cost through legs, -1 when there is no way: a label-setting
// Dijkstra over (link, stage), the stage being the legs completed, from the
// start links with their labels. The first label taken at a (link, stage)
// holds its state for the links after it. On a target of its stage's leg a
// label goes on in the next stage with the same cost and state (the link is
// not paid twice); on a target of the last leg it arrives.
inline int64_t CheapestThroughLegs(const std::map<uint32_t, WalkLabel>& starts,
                                   const std::vector<std::vector<uint32_t>>& legs, const NetTurns& next,
                                   const WalkStep& step) {
    using Key = std::pair<uint32_t, size_t>;  // link, stage
    using Item = std::pair<int64_t, Key>;
    std::map<Key, WalkLabel> best;
    std::priority_queue<Item, std::vector<Item>, std::greater<>> open;
    const auto relax = [&](Key k, WalkLabel l) {
        const auto b = best.find(k);
        if (b != best.end() && b->second.cost <= l.cost) return;
        best[k] = l;
        open.push({l.cost, k});
    };
    for (const auto& [origin, label] : starts) relax({origin, 0}, label);
    while (!open.empty()) {
        const auto [cost, key] = open.top();
        open.pop();
        const WalkLabel label = best.at(key);
        if (cost != label.cost) continue;
        const auto [link, stage] = key;
        const std::vector<uint32_t>& targets = legs[stage];
        if (std::find(targets.begin(), targets.end(), link) != targets.end()) {
            if (stage + 1 == legs.size()) return cost;
            relax({link, stage + 1}, label);
            continue;
        }
        const auto it = next.find(link);
        if (it == next.end()) continue;
        for (const NetTurn& t : it->second)
            if (const std::optional<WalkLabel> on = step(label, t)) relax({t.to, stage}, *on);
    }
    return -1;
}

// The cost of a route recomputed link by link from the label of its first
// link, -1 when a step is not an allowed turn or a link cannot be entered.
inline int64_t WalkRouteCost(const std::vector<uint32_t>& route, const WalkLabel& first, const NetTurns& next,
                             const WalkStep& step) {
    WalkLabel label = first;
    for (size_t k = 1; k < route.size(); ++k) {
        const auto it = next.find(route[k - 1]);
        if (it == next.end()) return -1;
        const auto t = std::find_if(it->second.begin(), it->second.end(),
                                    [&](const NetTurn& x) { return x.to == route[k]; });
        if (t == it->second.end()) return -1;
        const std::optional<WalkLabel> on = step(label, *t);
        if (!on) return -1;
        label = *on;
    }
    return label.cost;
}

}  // namespace testsupport
