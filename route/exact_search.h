#pragma once
// The route search over directed links on the node pool, link-id memory
// and queue of the route engine, one road level, no pruning. In its exact
// tuning (no estimate) it is a plain cheapest-first search that tests check
// against a Dijkstra; with the estimate a label's key adds the straight
// distance from its link's end to the goal at 55 km/h, which finds a route
// far sooner but not always the cheapest.
//
// The cost of a route is the sum of the node costs of its links (the first
// link included) and of the turn costs between them.
#include <atomic>
#include <cstdint>
#include <utility>
#include <vector>

#include "route/link_memory.h"
#include "route/node_cost.h"
#include "route/road_data.h"
#include "route/route_define.h"
#include "route/search_queue.h"

// Result codes of a search.
inline constexpr int kNcSearchNoRoute = -621;      // the queue ran empty
inline constexpr int kNcSearchTooManyLinks = -622; // iteration limit
inline constexpr int kNcSearchNoMemory = -627;     // nodes, pages or heap used up
inline constexpr int kNcSearchBadLink = -600;      // a start or goal link cannot be read
inline constexpr int kNcSearchCancelled = -702;    // the cancel flag was found set

// The cancel flag is read once every this many labels taken.
inline constexpr int kNcCancelCheckLabels = 99;

// Link-set marks of directed links: a detour link (1) costs more, an
// avoided link (2) is never entered (a start link is kept: the car is on it).
inline constexpr int kNcSetMarkDetour = 1;
inline constexpr int kNcSetMarkAvoid = 2;
using NcSetMarks = std::vector<std::pair<uint32_t, int>>;  // sorted by id, one entry per id

// The cost of a turn from one link into the next, in hundredths of a
// second: the configuration's base cost by level and code class (class 6
// costs 60000), and for a U-turn (direction 2) 3000 more.
int32_t NcTurnCost(const NcRouteConfig& config, int level, int code, int direction);

// The node cost of the link bound to the road data's slot 0.
NcCostLink NcCostLinkOf(NcDALManager& road);

// Approximate distance in metres between two points.
int64_t NcDistanceM(MapPoint a, MapPoint b);
// The time at 55 km/h over that distance in hundredths of a second,
// computed in 64 bits and kept below the unreached mark.
int32_t NcEstimate(int64_t distanceM);

class NcExactSearch {
public:
    // The search memory comes from the caller: NcLinkMem::kBytes for the
    // nodes and at least the link-id index for the marks.
    NcExactSearch(NcDALManager& road, const NcRouteConfig& config, const NcCostRules& rules);
    int Init(void* nodeMemory, void* markMemory, size_t markBytes);
    // Off (the exact tuning) until set.
    void SetEstimate(bool on) { m_estimate = on; }
    // The link-set marks the next searches read (null: none); the caller
    // keeps them alive and sorted.
    void SetLinkMarks(const NcSetMarks* marks) { m_setMarks = marks; }
    // The cancel flag read every 99 labels; a set flag is cleared and the
    // search ends with -702.
    void SetCancelFlag(std::atomic<bool>* flag) { m_cancel = flag; }

    // Searches from any of the origin links to any of the goal links
    // (directed ids). The last link of the route (positive), or a code
    // above; the route and its cost are left in route() and cost().
    int Search(const std::vector<uint32_t>& origins, const std::vector<uint32_t>& goals, int iterationLimit);
    const std::vector<uint32_t>& Route() const { return m_route; }
    int32_t Cost() const { return m_cost; }
    int Taken() const { return m_taken; }

private:
    int32_t LinkCost(uint32_t linkId, bool* ok, bool start = false);
    int SetMarkOf(uint32_t linkId) const;
    int32_t Key(int64_t cost) const;

    NcDALManager& m_road;
    NcRouteConfig m_config;
    NcCostRules m_rules;
    NcLinkMem m_nodes;
    NcLinkIDMem m_marks;
    NcQueue m_queue;
    std::vector<uint32_t> m_route;
    int32_t m_cost = 0;
    int m_taken = 0;
    bool m_estimate = false;
    const NcSetMarks* m_setMarks = nullptr;
    std::atomic<bool>* m_cancel = nullptr;
    MapPoint m_goalPoint{};
    MapPoint m_lastEnd{};  // the end point of the link LinkCost read last
};
