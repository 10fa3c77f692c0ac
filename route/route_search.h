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

class NcRoute {
public:
    // The search memory comes from the caller: NcLinkMem::kBytes for the
    // nodes and at least the link-id index for the marks.
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
    const std::vector<uint32_t>& Route() const { return m_route; }
    int32_t Cost() const { return m_cost; }
    int Taken() const { return m_taken; }
    int BackwardTaken() const { return m_backwardTaken; }
    int MeetEntries() const { return m_meet.Count(); }

private:
    // Queues a label; 1 queued, 0 refused, or a negative code.
    int Push(uint32_t link, int64_t cost, int32_t key, int level, int32_t parent, int64_t remainingM = -1);
    int ForwardSearch(const std::vector<uint32_t>& origins, const std::vector<uint32_t>& goals, int limit);
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
