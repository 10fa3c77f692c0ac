#pragma once
// The route engine's view of the road network as a graph of directed links:
// the cost of entering a link and of turning into it, the road level a link
// may be searched on by its position, the remaining-cost estimate towards
// the current target and the search's progress. Costs and estimates are
// times in hundredths of a second.
//
// Road levels: a link is entered only when its network level reaches the
// level its position allows; the level rises with the distance from both
// ends of the leg (the threshold sets of the area grid, chosen per end by
// its area kind) and is capped by the area kind of the position, so that
// far from both ends only the main roads are searched. A link's level
// depends on its position alone, so a link is always labelled at the same
// level.
#include <array>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "route/area_grid.h"
#include "route/node_cost.h"
#include "route/road_data.h"
#include "route/route_define.h"

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
// left-turn weight; a U-turn (direction 2, or the connection codes '^' and
// '_' of a U-turn over another link) adds the penalty of the U-turn weight
// (18000, 7200, 3600, 1800, 600, 30 for weights 0 to 5), or 3000 without
// road options.
inline constexpr int kNcUTurnCodeLeft = '^';
inline constexpr int kNcUTurnCodeRight = '_';
int32_t NcTurnCost(const NcRouteConfig& config, int level, int code, int direction,
                   const NcRoadOptions& options = {});

// The node cost of the link bound to the road data's slot 0.
NcCostLink NcCostLinkOf(NcDALManager& road);

// A cost kept within 0 and the mark below unreached.
inline int32_t NcClampCost(int64_t cost) { return static_cast<int32_t>(cost < 0 ? 0 : cost > kNcCostMax ? kNcCostMax : cost); }

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

// The most legs one forward search runs through.
inline constexpr int kNcGraphLegsMax = 16;

// The congestion state byte of a search node (with traffic weights): the
// low three bits a traffic state (the speed of NcTrafficPercent), the bits
// above it how many more links longer than 99 m it is carried onto, so that
// the links past a congested one that have no traffic state of their own
// are weighed by it too.
inline constexpr uint8_t kNcStateCarries = 0x28;  // five links
// The state a link is entered with: its own traffic state (neither 0 nor
// 255) with the carries added; without one a ramp (road kinds 3 and 4)
// starts afresh with 1 (free flow), another road takes the carried state
// when its class is below 8 or the carried congestion is heavy (low bits
// above 2), else 0.
uint8_t NcEnterState(int ownState, int roadClass, int kind, uint8_t carried);
// What a node hands on after its link: a link longer than 99 m uses up one
// carry, and a state without carries left ends there (0).
uint8_t NcLeaveState(uint8_t state, uint32_t lengthM);
// What reaches the next link over a connection: nothing over a ramp or
// junction code (class 0), all of it straight on and over unclassed codes
// (classes 2 and 5), the traffic state without its carries after a turn.
uint8_t NcPassState(uint8_t state, int code);

struct NcSearchTuning {
    bool estimate = false;
    bool levels = false;
    bool bidirectional = false;
    bool fullRange = false;  // the full-range level thresholds at both ends
    int option = 0;          // search option: 4 lets the backward phase run to 100 %
    // A waypoint of the request is reached over a link list: the backward
    // phase runs on past its hand-over point (until the meeting table is
    // full, its queue is empty or it reaches the origin).
    bool viaLinkList = false;

    // A plain cheapest-first search (tests).
    static NcSearchTuning Exact() { return {}; }
    // What the route engine plans with.
    static NcSearchTuning Heuristic() { return {true, true, true, false, 0, false}; }
};

// How far a point lies from the leg's origin and from its target, in
// metres (NcDistanceM): what the level, the pruning near the start and the
// queue key of a link at that point read, computed once per link.
struct NcLegDistances {
    int64_t fromOrigin = 0;
    int64_t toTarget = 0;
};

// What the graph read of the link it costed last.
struct NcLinkSeen {
    MapPoint start{}, end{};
    int roadClass = 0;
    int networkLevel = 0;
};

// What the graph's link query tells of one directed link.
struct NcLinkInfo {
    uint32_t linkId = 0;
    // At the node the link ends at (in its direction) and at the one it
    // starts from: the links met there and the turns allowed into them.
    int endLinks = 0, endTurns = 0;
    int startLinks = 0, startTurns = 0;
    uint32_t lengthM = 0;
    int roadClass = 0;
    int kind = 0;
    MapPoint start{}, end{};
};

// The ids a search gathers to expand later (up to 20480, each once), read
// in id order.
class NcExpansionList {
public:
    static constexpr size_t kCapacity = 20480;
    NcExpansionList() { m_ids.reserve(kCapacity); }
    // 1 when added; 0 when the id is there already or the list is full.
    int Add(uint32_t linkId);
    // The next id in order; false past the last.
    bool Next(uint32_t* linkId);
    void Clear() {
        m_ids.clear();
        m_read = 0;
    }
    size_t Count() const { return m_ids.size(); }

private:
    std::vector<uint32_t> m_ids;  // kept in order
    size_t m_read = 0;
};

class NcGraph {
public:
    NcGraph(NcDALManager& road, const NcRouteConfig& config, const NcCostRules& rules);

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

    // The leg's ends: the end of the origin link and the start of the
    // target link, the points the estimate and the levels measure from;
    // false when a link cannot be read. Resets the progress.
    bool SetEnds(uint32_t originLink, uint32_t targetLink);
    // A forward search over several legs: each leg's origin and target link
    // (read as SetEnds reads them) and the estimate, in hundredths of a
    // second, of the legs after it, which the queue key (with the estimate
    // tuning) and the progress add to the leg's own. Selects the first leg;
    // the progress starts from its estimate and what remains after it.
    // False when a link cannot be read or there are more than
    // kNcGraphLegsMax legs.
    struct LegEnds {
        uint32_t originLink = 0;
        uint32_t targetLink = 0;
        int32_t after = 0;  // the estimate of the legs after this one
    };
    bool SetLegs(const std::vector<LegEnds>& legs);
    // The leg whose ends the levels, distances, pruning, keys and progress
    // measure from: one of SetLegs's (SetEnds's one leg is 0).
    void SelectLeg(int leg) {
        if (leg != m_leg && leg >= 0 && leg < m_legCount) LoadLeg(leg);
    }
    // 2 south of the grid, 3 outside it or without a grid, else the cell.
    int GetAreaKind(MapPoint p) const;
    // The link query: 1 with the record, 0 for a negative id or an index not
    // below the link count ("NcGraph::GetLinkInfo -> LinkID is out of
    // range!!!") or a link that cannot be read.
    int GetLinkInfo(int32_t linkId, NcLinkInfo* out);
    // The expansion list (NcExpansionList::Add).
    int AddExpansionLink(uint32_t linkId) { return m_expansion.Add(linkId); }
    NcExpansionList& Expansion() { return m_expansion; }
    // The road level a link at the point may be searched on (0 without the
    // levels tuning).
    int LevelAt(MapPoint p) const;
    // The distances of a point from the leg's ends, and the level and the
    // queue key taken from them (the same values as LevelAt(p) and Key()).
    NcLegDistances LegDistances(MapPoint p) const {
        return {NcDistanceM(p, m_sel.originPoint), NcDistanceM(p, m_sel.targetPoint)};
    }
    int LevelAt(MapPoint p, const NcLegDistances& d) const;
    int32_t KeyAt(int64_t cost, const NcLegDistances& d, int roadClass, bool backward) const;
    // Whether a link of this network level may be entered at that level:
    // with search option 4 a level-3 link far off the straight line between
    // the ends is not searched either.
    bool MayEnter(int networkLevel, int level, MapPoint p) const;
    // Whether a link met at the node would surely be refused by ReadLink
    // or MayEnter, judged without reading its record from what the road
    // data remembers of it (closed in its direction; its network level and
    // how far its other end can lie from the node): the level is at least
    // the one of the nearest place its other end can be. False whenever
    // that is not certain (a link not seen yet, a long one, or the levels
    // tuning off for the level). The node is where the link
    // starts (forward) or ends (backward). nodeLevel, when known, is the
    // level of a link that ends (forward) or starts (backward) at the node:
    // no level of the box around the node exceeds it, so a link whose
    // network level reaches it is never refused unread.
    bool RefusedUnread(uint32_t linkId, MapPoint node, int nodeLevel = 3) const;
    // The node cost of entering the link (bound to the road data's slot 0
    // afterwards), with *ok false when it cannot be entered: unreadable,
    // closed in this direction, or avoided (a start link is kept: the car
    // is on it). Seen() tells what was read of it.
    int32_t LinkCost(uint32_t linkId, bool* ok, bool start = false) {
        *ok = ReadLink(linkId, start);
        return *ok ? SeenCost() : 0;
    }
    // The same in two steps, so that a link the search will not enter is
    // not costed: whether it can be entered (Seen() then tells what was read
    // of it), and the node cost of the link read last.
    bool ReadLink(uint32_t linkId, bool start = false);
    int32_t SeenCost() const { return SeenCost(SeenState(0)); }
    // The state the link read last is entered with, the state carried to
    // it given (0 without traffic weights), and its node cost in that state.
    uint8_t SeenState(uint8_t carried) const;
    int32_t SeenCost(uint8_t state) const;
    uint32_t SeenLengthM() const { return m_seenSummary.lengthM; }
    const NcLinkSeen& Seen() const { return m_seen; }
    int32_t TurnCost(int level, const NcConnection& c) const {
        return NcTurnCost(m_config, level, c.code, c.direction, m_options);
    }
    // The queue key of a label of this cost whose link reaches the point
    // (towards the target forward, towards the origin backward); with the
    // estimate tuning it adds the estimate of the legs after the selected
    // one.
    int32_t Key(int64_t cost, MapPoint p, int roadClass, bool backward) const;
    // The best remaining estimate so far and the progress in per cent it
    // gives (stored when it rose by more than 9 points forward, 1 point
    // backward, or passes 99).
    // distanceM, when not negative, is the distance already measured from
    // the point to where the phase heads.
    void UpdateProgress(MapPoint p, bool backward, int64_t distanceM = -1);
    void ResetProgress();
    int Progress() const { return m_progress; }
    // Pruning near the start of a phase (with the levels tuning): u is the
    // distance in metres of a successor from where the phase started and
    // B the largest u met so far. Once B reaches 20 km, successors of low
    // network level close to the start (within 2, 3 or 4 tenths of B by
    // level) are no longer entered: the search has moved on from there.
    bool PruneNearStart(int64_t u, int networkLevel, int roadClass);
    // Where a phase starts from: the origin forward, the target backward.
    MapPoint StartPoint(bool backward) const { return backward ? m_sel.targetPoint : m_sel.originPoint; }
    int32_t BestRemaining() const { return m_bestRemaining; }

private:
    // What the level, distance, pruning and key questions read of a leg.
    struct Leg {
        MapPoint originPoint{}, targetPoint{};
        const NcLevelThresholds* originLevels = &kNcNearThresholds;
        const NcLevelThresholds* targetLevels = &kNcNearThresholds;
        int64_t legM = 0;
        int64_t farthestM = 0;
        int32_t after = 0;  // the estimate of the legs after this one
    };
    // Makes leg i the selected one (the one selected before keeps how far
    // its pruning has come).
    void LoadLeg(int i);
    int SetMarkOf(uint32_t linkId) const;
    // The lowest area kind of the cells the box (x0 <= x1, y0 <= y1) touches.
    int MinAreaKind(int32_t x0, int32_t y0, int32_t x1, int32_t y1) const;

    NcDALManager& m_road;
    NcRouteConfig m_config;
    NcCostRules m_rules;
    NcSearchTuning m_tuning;
    NcCongestionFn m_congestion;
    NcRoadOptions m_options;
    const NcAreaGrid* m_grid = nullptr;
    const NcSetMarks* m_setMarks = nullptr;
    Leg m_sel;  // the selected leg (its farthest reach moves as the search goes)
    int32_t m_startEstimate = 0;
    int32_t m_bestRemaining = 0;
    int m_progress = 0;
    std::array<Leg, kNcGraphLegsMax> m_legs{};
    int m_legCount = 0;
    int m_leg = 0;
    NcLinkSeen m_seen;
    NcLinkSummary m_seenSummary;
    int m_seenMark = 0;
    NcExpansionList m_expansion;
};
