#pragma once
// The route search over the link graph, with the node pool, link-id memory
// and queue of the route engine.
//
// Its tunings:
//   exact      a plain cheapest-first search over every road (tests check
//              it against a Dijkstra);
//   estimate   a label's key adds the remaining-cost estimate towards the
//              goal, which finds a route far sooner but not always the
//              cheapest;
//   levels     the graph's road levels: far from both ends of a leg only
//              the main roads are searched;
//   bidirectional  one leg is searched backward from the goal until that
//              phase is most of the way to the origin, then forward from
//              the origin until it meets the backward labels.
// Traffic weights come with the graph's congestion.
//
// The cost of a route is the sum of the node costs of its links (the first
// link included) and of the turn costs between them.
#include <array>
#include <atomic>
#include <cstdint>
#include <utility>
#include <vector>

#include "route/link_graph.h"
#include "route/link_memory.h"
#include "route/meet_table.h"
#include "route/search_queue.h"

// Result codes of a search.
inline constexpr int kNcSearchNoRoute = -621;      // the queue ran empty
inline constexpr int kNcSearchTooManyLinks = -622; // iteration limit
inline constexpr int kNcSearchNoMemory = -627;     // nodes, pages or heap used up
inline constexpr int kNcSearchBadLink = -600;      // a start or goal link cannot be read
inline constexpr int kNcSearchCancelled = -702;    // the cancel flag was found set

// The cancel flag is read once every this many labels taken.
inline constexpr int kNcCancelCheckLabels = 99;

// Labels the bidirectional search still takes after its first meeting.
inline constexpr int kNcMeetHorizon = 4000;

// The most legs one forward search runs through.
inline constexpr int kNcSearchLegsMax = kNcGraphLegsMax;
// What the mark memory must hold beyond the first table and its pages for a
// forward search over several legs: an index table for each stage but the
// first (the pages of all come from the first table's pool).
inline constexpr size_t kNcStageIndexBytes = (kNcSearchLegsMax - 1) * kNcLinkIndexBytes;

// One leg of a forward search over several legs.
struct NcSearchLeg {
    // The links that reach the leg's end (its waypoint or destination).
    std::vector<uint32_t> targets;
    // Where the leg starts from a target of the leg before when not on that
    // link itself: {target of the leg before, link to start on} (the next
    // end lies behind the waypoint on the same road).
    std::vector<std::pair<uint32_t, uint32_t>> startsFrom;
};

// The level of the search's traces: the labels taken and the route's links
// of each search ("$ Total Route Search Link: ..."), the phases' times and
// labels of the bidirectional search ("[RP**] REVERSE ROUTING TIME: ...").
inline constexpr int kNcSearchTraceLevel = 2;

class NcRoute {
public:
    // The search memory comes from the caller: NcLinkMem::kBytes for the
    // nodes and at least the link-id index for the marks; with
    // kNcStageIndexBytes more at its end the marks serve a search over
    // several legs.
    NcRoute(NcDALManager& road, const NcRouteConfig& config, const NcCostRules& rules);
    int Init(void* nodeMemory, void* markMemory, size_t markBytes);
    // The graph's settings: the exact tuning until set, no traffic, no road
    // options, no area grid, no link-set marks.
    NcGraph& Graph() { return m_graph; }
    void SetTuning(const NcSearchTuning& tuning) { m_graph.SetTuning(tuning); }
    void SetCongestion(NcCongestionFn congestion) { m_graph.SetCongestion(std::move(congestion)); }
    void SetRoadOptions(const NcRoadOptions& options) { m_graph.SetRoadOptions(options); }
    void SetAreaGrid(const NcAreaGrid* grid) { m_graph.SetAreaGrid(grid); }
    void SetLinkMarks(const NcSetMarks* marks) { m_graph.SetLinkMarks(marks); }
    // The cancel flag read every 99 labels; a set flag is cleared and the
    // search ends with -702.
    void SetCancelFlag(std::atomic<bool>* flag) { m_cancel = flag; }

    // Searches from any of the origin links to any of the goal links
    // (directed ids). The last link of the route (positive), or a code
    // above; the route and its cost are left in Route() and Cost().
    // With the bidirectional tuning the search runs in two phases; Taken()
    // counts the labels of both, BackwardTaken() those of the first.
    // startShares (one per origin, when there are two or more) scales each
    // origin link's start cost: the part of the link still to be driven
    // from the origin point.
    int Search(const std::vector<uint32_t>& origins, const std::vector<uint32_t>& goals, int iterationLimit,
               const std::vector<double>& startShares = {});
    // The forward search through the ends of up to 16 legs in one pass,
    // whatever the tuning's direction: every label carries its stage (the
    // legs completed); a label on a target of its stage's leg goes on in
    // the next stage, and the last leg's target ends the search. Marks and
    // parents are kept per stage, so a later leg may drive the roads an
    // earlier one drove (a waypoint it must leave the way it came). A stage
    // is given up once every target of its leg was reached. Result and
    // codes as Search's; the cost is that of the whole route, each target
    // where a leg ends counted once.
    int SearchLegs(const std::vector<uint32_t>& origins, const std::vector<NcSearchLeg>& legs, int iterationLimit,
                   const std::vector<double>& startShares = {});
    const std::vector<uint32_t>& Route() const { return m_route; }
    // After a forward search: the index in Route() of each leg's last link.
    const std::vector<size_t>& LegEnds() const { return m_legEnds; }
    // The progress of the last search in per cent.
    int Progress() const { return m_graph.Progress(); }
    int32_t Cost() const { return m_cost; }
    int Taken() const { return m_taken; }
    int BackwardTaken() const { return m_backwardTaken; }
    int MeetEntries() const { return m_meet.Count(); }

private:
    // A parent value in a stage's table: the label goes on from this link
    // of the stage below (-1 marks an origin).
    static int32_t FromStageBelow(uint32_t link) { return -2 - static_cast<int32_t>(link); }

    // Queues a label; 1 queued, 0 refused, or a negative code.
    // stage: the legs completed; state: the congestion state the node
    // hands on (NcLeaveState).
    int Push(uint32_t link, int64_t cost, int32_t key, int level, int32_t parent, int64_t remainingM = -1,
             int stage = 0, uint8_t state = 0);
    // Clears the memory and counters of the last search.
    void Start(const std::vector<uint32_t>& origins, const std::vector<double>& startShares);
    int ForwardSearch(const std::vector<uint32_t>& origins, const std::vector<NcSearchLeg>& legs, int limit);
    // The table of a stage, claimed from the free ones when it has none;
    // null when none is free.
    NcLinkIDMem* StageMarks(int stage);
    // Gives up the stages below this one: their tables go back, their
    // labels are dropped as they come out.
    void DropStagesBelow(int stage);
    // Queues the first label of a stage on reaching a target of the leg
    // before at this cost and with the state that label hands on; 1, 0
    // when it cannot start there, or a code.
    int GoOn(int stage, uint32_t from, int64_t cost, uint8_t state, const NcSearchLeg& leg);
    // Keeps the way through a stage to the link, back to where the stage
    // began; false on a loop or a broken chain.
    bool KeepChain(int stage, uint32_t link);
    // Route() and LegEnds() from the kept ways, back from the last stage's
    // link.
    bool BuildLegs(int lastStage, uint32_t link);
    int BidirSearch(const std::vector<uint32_t>& origins, const std::vector<uint32_t>& goals, int limit);
    // The labels of a phase are taken one by one through here: null with
    // *code set when the phase must end.
    NcLink* Take(int limit, int* code);
    // The forward labels' parents back from the link (reversed into route
    // order); false on a loop or a broken chain.
    bool ForwardChain(uint32_t link);
    int Fail(int code);
    // The start cost of origin i whose whole link costs full.
    int32_t StartCost(size_t i, int32_t full) const;
    // The successor run of the link bound to the road data's slot 0.
    int Successors(std::array<NcConnection, kNcRunEntriesMax>* out) const;

    NcDALManager& m_road;
    NcGraph m_graph;
    NcLinkMem m_nodes;
    NcLinkIDMem m_marks;
    // The other stages' tables (over the end of the mark memory, sharing
    // m_marks's pages), which of all are in use, and each stage's.
    std::array<NcLinkIDMem, kNcSearchLegsMax - 1> m_stageTables;
    int m_stageTableCount = 0;
    std::array<bool, kNcSearchLegsMax> m_tableInUse{};
    std::array<NcLinkIDMem*, kNcSearchLegsMax> m_stageMarks{};
    int m_lowestStage = 0;
    std::vector<std::vector<uint32_t>> m_legTargets;  // sorted
    // The way through a stage to each target its leg reached: the links
    // from the target back (m_chainLinks[begin, end)), and the parent value
    // where the stage began.
    struct Chain {
        int stage = 0;
        uint32_t link = 0;
        int32_t rootParent = -1;
        size_t begin = 0, end = 0;
    };
    std::vector<Chain> m_chains;
    std::vector<uint32_t> m_chainLinks;
    std::vector<size_t> m_legEnds;
    NcQueue m_queue;
    std::vector<uint32_t> m_route;
    std::vector<double> m_shares;
    int32_t m_cost = 0;
    int m_taken = 0;
    int m_backwardTaken = 0;
    std::atomic<bool>* m_cancel = nullptr;
    std::vector<uint8_t> m_meetMemory;
    NcMeetTable m_meet;
};
