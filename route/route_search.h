#pragma once
// The route search over directed links on the node pool, link-id memory
// and queue of the route engine.
//
// Its tunings:
//   exact      a plain cheapest-first search over every road (tests check
//              it against a Dijkstra);
//   estimate   a label's key adds the remaining-cost estimate towards the
//              goal, which finds a route far sooner but not always the
//              cheapest;
//   levels     a link is entered only when its network level reaches the
//              road level its position allows: the level rises with the
//              distance from both ends of the leg (the thresholds of the
//              area grid's sets) and is capped by the area kind of the
//              position, so that far from both ends only the main roads
//              are searched;
//   bidirectional  one leg is searched backward from the goal until that
//              phase is most of the way to the origin, then forward from
//              the origin until it meets the backward labels;
//   traffic    the congestion state of a link's traffic link slows it down.
//
// A link's level depends on its position alone, so a link is always
// labelled at the same level and the queue's admission never reopens it.
//
// The cost of a route is the sum of the node costs of its links (the first
// link included) and of the turn costs between them.
#include <atomic>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "route/area_grid.h"
#include "route/link_memory.h"
#include "route/meet_table.h"
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

// The road options of a request: 0 highway, 1 city highway, 2 toll road,
// 3 three-lane roads, 4 alleys, 5 U-turn weight, 6 left-turn weight; the
// weights are levels capped at 5.
struct NcRoadOptions {
    bool set = false;
    uint8_t bytes[7] = {};
};
// The options of a request (none when not set); bytes 2, 5 and 6 capped.
NcRoadOptions NcMakeRoadOptions(bool set, const uint8_t bytes[7]);

// The cost of a turn from one link into the next, in hundredths of a
// second: the configuration's base cost by level and code class (class 6
// costs 60000), with road options times the factors of the U-turn and the
// left-turn weight; a U-turn (direction 2) adds the penalty of the U-turn
// weight (18000, 7200, 3600, 1800, 600, 30 for weights 0 to 5), or 3000
// without road options.
int32_t NcTurnCost(const NcRouteConfig& config, int level, int code, int direction,
                   const NcRoadOptions& options = {});

// The node cost of the link bound to the road data's slot 0.
NcCostLink NcCostLinkOf(NcDALManager& road);

// Approximate distance in metres between two points.
int64_t NcDistanceM(MapPoint a, MapPoint b);
// The time at 55 km/h over that distance in hundredths of a second,
// computed in 64 bits and kept below the unreached mark.
int32_t NcEstimate(int64_t distanceM);

// The remaining-cost estimate of a link towards the target: distance b to
// the target, leg length d, progress c in per cent. The time at 55 km/h
// (39 with search option 4), doubled for links other than class 0 that are
// still far from the target late in a long leg.
int32_t NcRemainingEstimate(int64_t b, int64_t d, int c, int roadClass, int option);

// The traffic speed in per cent of a link in congestion state 0-7 (255
// none): 1 free flow keeps the table speed, 2 slow halves it, 3 jammed
// quarters it; every other state (unknown, no data) leaves it (0).
int NcTrafficPercent(int state);

// A traffic link's congestion state 0-7, 255 when none.
using NcCongestionFn = std::function<int(uint32_t trafficId)>;

struct NcSearchTuning {
    bool estimate = false;
    bool levels = false;
    bool bidirectional = false;
    bool fullRange = false;  // the full-range level thresholds at both ends
    int option = 0;          // search option: 4 lets the backward phase run to 100 %

    // A plain cheapest-first search (tests).
    static NcSearchTuning Exact() { return {}; }
    // What the route engine plans with.
    static NcSearchTuning Heuristic() { return {true, true, true, false, 0}; }
};

// Labels the bidirectional search still takes after its first meeting.
inline constexpr int kNcMeetHorizon = 4000;

class NcRoute {
public:
    // The search memory comes from the caller: NcLinkMem::kBytes for the
    // nodes and at least the link-id index for the marks.
    NcRoute(NcDALManager& road, const NcRouteConfig& config, const NcCostRules& rules);
    int Init(void* nodeMemory, void* markMemory, size_t markBytes);
    // The exact tuning until set.
    void SetTuning(const NcSearchTuning& tuning) { m_tuning = tuning; }
    const NcSearchTuning& Tuning() const { return m_tuning; }
    // The congestion of traffic links (null or empty: no traffic).
    void SetCongestion(NcCongestionFn congestion) { m_congestion = std::move(congestion); }
    void SetRoadOptions(const NcRoadOptions& options) { m_options = options; }
    // The area grid whose kinds cap the road levels (null: none).
    void SetAreaGrid(const NcAreaGrid* grid) { m_grid = grid; }
    // The link-set marks the next searches read (null: none); the caller
    // keeps them alive and sorted.
    void SetLinkMarks(const NcSetMarks* marks) { m_setMarks = marks; }
    // The cancel flag read every 99 labels; a set flag is cleared and the
    // search ends with -702.
    void SetCancelFlag(std::atomic<bool>* flag) { m_cancel = flag; }

    // Searches from any of the origin links to any of the goal links
    // (directed ids). The last link of the route (positive), or a code
    // above; the route and its cost are left in route() and cost().
    // With the bidirectional tuning the search runs in two phases; Taken()
    // counts the labels of both, BackwardTaken() those of the first.
    int Search(const std::vector<uint32_t>& origins, const std::vector<uint32_t>& goals, int iterationLimit);
    const std::vector<uint32_t>& Route() const { return m_route; }
    int32_t Cost() const { return m_cost; }
    int Taken() const { return m_taken; }
    int BackwardTaken() const { return m_backwardTaken; }
    int MeetEntries() const { return m_meet.Count(); }
    int Progress() const { return m_progress; }

private:
    // What the last LinkCost read of its link.
    struct LinkSeen {
        MapPoint start{}, end{};
        int roadClass = 0;
        int networkLevel = 0;
    };
    int32_t LinkCost(uint32_t linkId, bool* ok, bool start = false);
    int SetMarkOf(uint32_t linkId) const;
    // The leg's ends: the points the estimate and the levels measure from.
    bool SetEnds(const std::vector<uint32_t>& origins, const std::vector<uint32_t>& goals);
    // The road level a link at the point may be searched on.
    int LevelAt(MapPoint p) const;
    // The queue key of a label of this cost whose link reaches the point
    // (towards the goal forward, towards the origin backward).
    int32_t Key(int64_t cost, MapPoint p, int roadClass, bool backward) const;
    void UpdateProgress(MapPoint p, bool backward);
    // Queues a label; 1 queued, 0 refused, or a negative code.
    int Push(uint32_t link, int64_t cost, int32_t key, int level, int32_t parent);
    int ForwardSearch(const std::vector<uint32_t>& origins, const std::vector<uint32_t>& goals, int limit);
    int BidirSearch(const std::vector<uint32_t>& origins, const std::vector<uint32_t>& goals, int limit);
    // The labels of a phase are taken one by one through here: null with
    // *code set when the phase must end.
    NcLink* Take(int limit, int* code);
    // The forward labels' parents back from the link (reversed into route
    // order); false on a loop or a broken chain.
    bool ForwardChain(uint32_t link);
    int Fail(int code);

    NcDALManager& m_road;
    NcRouteConfig m_config;
    NcCostRules m_rules;
    NcLinkMem m_nodes;
    NcLinkIDMem m_marks;
    NcQueue m_queue;
    std::vector<uint32_t> m_route;
    int32_t m_cost = 0;
    int m_taken = 0;
    int m_backwardTaken = 0;
    NcSearchTuning m_tuning;
    NcCongestionFn m_congestion;
    NcRoadOptions m_options;
    const NcAreaGrid* m_grid = nullptr;
    const NcSetMarks* m_setMarks = nullptr;
    std::atomic<bool>* m_cancel = nullptr;
    std::vector<uint8_t> m_meetMemory;
    NcMeetTable m_meet;
    MapPoint m_originPoint{}, m_goalPoint{};
    const NcLevelThresholds* m_originLevels = &kNcNearThresholds;
    const NcLevelThresholds* m_goalLevels = &kNcNearThresholds;
    int64_t m_legM = 0;
    int32_t m_startEstimate = 0;
    int32_t m_bestRemaining = 0;
    int m_progress = 0;
    LinkSeen m_seen;  // of the link LinkCost read last
};
