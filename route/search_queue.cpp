#include "route/search_queue.h"

#include "foundation/debug_trace.h"

int ClassifyLinkCode(int code) {
    const int c = static_cast<int16_t>(code);
    if (c == 29) return 6;
    if ((c >= 100 && c <= 105) || (c >= 109 && c <= 115) || c == 119 || c == 150 || c == 152) return 0;
    if (c == 16 || c == 22 || (c >= 25 && c <= 28)) return 1;
    if (c == 10 || c == 106 || c == 107 || c == 116 || c == 117) return 2;
    switch (c) {
    case 11: case 12: case 13: case 14: case 15: case 32: case 35: case 41: case 45: case 47: case 49:
    case 53: case 54: case 61: case 65: case 67: case 69: case 73: case 74:
        return 3;
    case 17: case 18: case 19: case 20: case 21: case 23: case 33: case 36: case 42: case 46: case 48:
    case 50: case 51: case 52: case 56: case 57: case 62: case 66: case 68: case 70: case 71: case 72:
    case 154:
        return 4;
    default:
        return 5;
    }
}

NcQueue::NcQueue() : m_heap(kNcQueueCapacity + 1, nullptr), m_costs(kNcQueueCapacity + 1, 0) {
    m_sentinel.cost = static_cast<int32_t>(0x80000000u);
    m_heap[0] = &m_sentinel;
    m_costs[0] = m_sentinel.cost;
}

void NcQueue::SetLinkMemory(NcLinkMem* nodes, NcLinkIDMem* marks) {
    m_nodes = nodes;
    m_marks = marks;
    m_stageMarks.fill(nullptr);
    m_stageMarks[0] = marks;
}

void NcQueue::Reset() {
    m_count = 0;
    if (m_marks) m_marks->ResetMarks();
}

int NcQueue::Push(NcLink* node) {
    if (m_count >= kNcQueueCapacity) {
        DebugTrace(1, "[RP_Q] Queue Oeverflow!!!");
        if (m_nodes) m_nodes->Free(node);
        return 0;
    }
    int i = ++m_count;
    const int32_t cost = node->cost;
    // Rise while strictly cheaper than the parent; the sentinel stops it.
    while (cost < m_costs[i / 2]) {
        m_heap[i] = m_heap[i / 2];
        m_costs[i] = m_costs[i / 2];
        i /= 2;
    }
    m_heap[i] = node;
    m_costs[i] = cost;
    return 1;
}

void NcQueue::SiftDown(int i) {
    NcLink* node = m_heap[i];
    const int32_t cost = m_costs[i];
    const int32_t* costs = m_costs.data();
    for (;;) {
        int child = 2 * i;
        if (child > m_count) break;
        if (child < m_count) child += costs[child + 1] < costs[child] ? 1 : 0;
        if (cost < costs[child]) break;
        m_heap[i] = m_heap[child];
        m_costs[i] = costs[child];
        i = child;
    }
    m_heap[i] = node;
    m_costs[i] = cost;
}

void NcQueue::TakeTop() {
    // The hole left at the top sinks along the cheaper children to the
    // bottom, and the last node rises into it from there: the heap this
    // leaves is the one of moving the last node to the top and sifting it
    // down (it stops below every node on the path that is not dearer), with
    // one comparison per level instead of two.
    NcLink* last = m_heap[m_count];
    const int32_t cost = m_costs[m_count];
    --m_count;
    if (m_count == 0) return;
    int32_t* costs = m_costs.data();
    NcLink** heap = m_heap.data();
    int i = 1;
    for (int child = 2; child <= m_count; child = 2 * i) {
        if (child < m_count) child += costs[child + 1] < costs[child] ? 1 : 0;
        heap[i] = heap[child];
        costs[i] = costs[child];
        i = child;
    }
    while (i > 1 && cost < costs[i / 2]) {
        heap[i] = heap[i / 2];
        costs[i] = costs[i / 2];
        i /= 2;
    }
    heap[i] = last;
    costs[i] = cost;
}

int NcQueue::PushChecked(NcLink* node, int32_t parentLink) {
    NcLinkIDMem* marks = MarksOf(node);
    if (marks == nullptr) {
        m_nodes->Free(node);
        return -1;
    }
    // One lookup of the link's entry serves the rule and its writes (the
    // entry's page is made here if the link has none yet: an unreached link
    // is admitted and written).
    NcLinkIDMem::Entry entry;
    if (!marks->MakeEntry(static_cast<uint32_t>(node->linkId), &entry)) {
        m_nodes->Free(node);
        return -1;
    }
    const int32_t mark = entry.Mark();
    const int level = entry.Level();
    bool admit;
    if (mark == kNcMarkClosed) {
        admit = level < node->level && entry.Parent() != kNcNoParent;
    } else if (mark != kNcCostUnreached) {
        admit = level < node->level || (level == node->level && node->cost < mark);
    } else {
        admit = true;
    }
    if (!admit) {
        m_nodes->Free(node);
        return 0;
    }
    entry.SetMark(node->cost);
    entry.SetParent(parentLink);
    entry.SetLevel(node->level);
    node->parent = parentLink;
    return Push(node) ? 1 : -1;
}

NcLink* NcQueue::PopMin() {
    while (m_count > 0) {
        NcLink* top = m_heap[1];
        TakeTop();
        const uint32_t link = static_cast<uint32_t>(top->linkId);
        NcLinkIDMem* marks = MarksOf(top);
        if (marks != nullptr) {
            // A link without room for its entry is let through unmarked.
            NcLinkIDMem::Entry entry;
            const bool has = marks->MakeEntry(link, &entry);
            if (!has || entry.Mark() != kNcMarkClosed) {
                if (has) entry.SetMark(kNcMarkClosed);
                return top;
            }
        }
        m_nodes->Free(top);
    }
    return nullptr;
}

void NcQueue::FreeAll() {
    for (int i = 1; i <= m_count; ++i) m_nodes->Free(m_heap[i]);
    m_count = 0;
}

int NcQueue::DropStale() {
    int kept = 0, dropped = 0;
    for (int i = 1; i <= m_count; ++i) {
        NcLink* node = m_heap[i];
        const NcLinkIDMem* marks = MarksOf(node);
        if (marks != nullptr && marks->GetMark(static_cast<uint32_t>(node->linkId)) == node->cost) {
            m_costs[++kept] = m_costs[i];
            m_heap[kept] = node;
        } else {
            m_nodes->Free(node);
            ++dropped;
        }
    }
    m_count = kept;
    for (int i = m_count / 2; i >= 1; --i) SiftDown(i);
    return dropped;
}
