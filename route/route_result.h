#pragma once
// The result of one route: a section of links per leg, joined into one link
// array with the waypoint boundaries and a traffic link id per link.
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "route/plan_engine.h"

struct RouteResultSection {
    int32_t value = 0;             // carried
    std::vector<int32_t> links;    // directed link ids in route order
};

class RouteParamOutput {
public:
    // The traffic link id of a directed link (0 none).
    using TrafficLookup = std::function<uint32_t(int32_t linkId)>;

    std::array<RouteResultSection, kRoutePlanMaxLegs> sections;
    std::vector<int32_t> joined;
    int32_t sectionCount = 0;
    int32_t boundaries[kRoutePlanMaxLegs - 1] = {};
    std::vector<int32_t> trafficIds;   // one per joined link
    bool trafficUsed = false;          // the searches weighed links by their congestion

    // Joins the first n sections in order and frees them. A later section's
    // first link is left out only when it repeats the link the route has
    // reached so far (a leg starts on the link the previous one ended on);
    // an empty section adds nothing. For each leg but the last, its boundary
    // is the index of its last link in the joined array. Then the traffic
    // ids of the joined links are gathered through the lookup.
    void JoinSections(int n, const TrafficLookup& trafficOf);
};
