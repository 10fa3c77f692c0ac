#pragma once
// The open list of the route search and the connection-code classes.
//
// NcQueue is a min-heap of search nodes by cost: slot 0 holds a sentinel
// whose cost is the lowest s32, slots 1 to 10000 the heap. Nodes enter
// through the admission rule (level first, then cost) and the link-id
// memory keeps each link's cost mark (unreached, closed, or the best cost
// it is queued with), parent and level. A search over several legs keeps a
// table per stage (legs completed) a node is on; a node whose stage has no
// table any more is dropped when it comes out.
#include <array>
#include <cstdint>
#include <vector>

#include "route/link_memory.h"

// The class 0-6 of a connection code: 0 ramps and highway junctions,
// 1 U-turns, 2 straight on, 3 right turns, 4 left turns, 5 any other code,
// 6 code 29.
int ClassifyLinkCode(int code);

inline constexpr int kNcQueueCapacity = 10000;

class NcQueue {
public:
    NcQueue();
    // Binds the node pool and the link-id memory (the table of stage 0).
    void SetLinkMemory(NcLinkMem* nodes, NcLinkIDMem* marks);
    // The table of a stage's nodes (null: the stage's nodes are dropped).
    void SetStageMarks(int stage, NcLinkIDMem* marks) { m_stageMarks[stage] = marks; }
    // Empties the heap (the nodes are not freed) and resets the cost marks.
    void Reset();
    int Count() const { return m_count; }

    // Plain heap insert; 1, or 0 when the heap is full ("[RP_Q] Queue
    // Oeverflow!!!"): the node is freed and nothing is written past the heap.
    int Push(NcLink* node);
    // The admission rule; 1 when the node entered, 0 when it was refused
    // (and freed), -1 when the heap or the link-id memory is full (the node
    // is freed; the search ends with -627).
    int PushChecked(NcLink* node, int32_t parentLink);
    // The cheapest node whose link is not closed yet (its link is closed
    // now), or null when none is left.
    NcLink* PopMin();
    // Gives every queued node back to the pool.
    void FreeAll();
    // Frees the nodes that can no longer come out (their link is closed or
    // queued again at another cost) and rebuilds the heap; the number freed.
    // The search runs it when the node pool is used up.
    int DropStale();

private:
    void SiftDown(int i);
    // Removes the top node (the caller has taken it).
    void TakeTop();
    NcLinkIDMem* MarksOf(const NcLink* node) const { return m_stageMarks[node->stage]; }

    // The heap's nodes and, beside them, their costs (the sift loops
    // compare those without reaching into the nodes).
    std::vector<NcLink*> m_heap;   // slot 0: the sentinel
    std::vector<int32_t> m_costs;  // slot 0: the sentinel's cost, the lowest s32
    NcLink m_sentinel;
    int m_count = 0;
    NcLinkMem* m_nodes = nullptr;
    NcLinkIDMem* m_marks = nullptr;
    // By a node's stage (8 bits); entry 0 is m_marks.
    std::array<NcLinkIDMem*, 256> m_stageMarks{};
};
