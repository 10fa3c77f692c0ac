#pragma once
// The directed links of a road network as the route tests' own Dijkstras
// read it, straight from the writer's network (not through the file
// readers): every direction that may be driven, its cost input and the
// turns the network allows from it.
#include <cstdint>
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

}  // namespace testsupport
