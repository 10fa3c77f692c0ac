// The search's node pool, link-id memory and queue: allocation limits,
// marks by direction, page limits, the admission rule and heap order.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "route/link_memory.h"
#include "route/search_queue.h"

namespace {

constexpr size_t kTwoPages = kNcLinkIndexBytes + 2 * kNcLinkPageBytes;

TEST(LinkMem, PoolAndRing) {
    std::vector<uint8_t> memory(NcLinkMem::kBytes);
    NcLinkMem pool;
    ASSERT_EQ(pool.Init(memory.data()), 1);
    EXPECT_EQ(pool.Reset(), kNcLinkNodes);
    std::vector<NcLink*> nodes;
    for (int i = 0; i < kNcLinkNodes; ++i) {
        NcLink* n = pool.Alloc();
        ASSERT_NE(n, nullptr) << i;
        nodes.push_back(n);
    }
    EXPECT_EQ(pool.Alloc(), nullptr);
    EXPECT_EQ(pool.InUse(), kNcLinkNodes);
    ASSERT_EQ(pool.Free(nodes[17]), 1);
    EXPECT_EQ(pool.Alloc(), nodes[17]);  // the freed number comes back
    for (NcLink* n : nodes) ASSERT_EQ(pool.Free(n), 1);
    NcLink stranger;
    EXPECT_EQ(pool.Free(&stranger), 0);
    EXPECT_EQ(pool.Free(nodes[0]), 0);  // the ring is full
    EXPECT_EQ(pool.InUse(), 0);
}

TEST(LinkIdMem, MarksByDirectionAndPages) {
    std::vector<uint8_t> memory(kTwoPages);
    NcLinkIDMem m;
    ASSERT_EQ(m.Init(memory.data(), memory.size()), 1);
    EXPECT_EQ(m.PageCapacity(), 2u);
    // Reading a group that was never written makes no page.
    EXPECT_EQ(m.GetMark(100), kNcCostUnreached);
    EXPECT_EQ(m.GetParent(100), kNcNoParent);
    EXPECT_EQ(m.GetLevel(100), 0);
    EXPECT_EQ(m.PageCount(), 0u);
    // The two directions of link 100 are independent.
    ASSERT_EQ(m.SetMark(100, 5), 1);
    ASSERT_EQ(m.SetMark(100 | 0x8000000, 9), 1);
    ASSERT_EQ(m.SetParent(100, 7), 1);
    EXPECT_EQ(m.GetMark(100), 5);
    EXPECT_EQ(m.GetMark(100 | 0x8000000), 9);
    EXPECT_EQ(m.GetParent(100 | 0x8000000), kNcNoParent);
    EXPECT_EQ(m.GetMark(101), kNcCostUnreached);  // same page, untouched slot
    EXPECT_EQ(m.PageCount(), 1u);
    // Levels keep six bits and leave the set marks alone.
    ASSERT_EQ(m.AddSetMark(100, 2), 1);
    ASSERT_EQ(m.SetLevel(100, 255), 1);
    EXPECT_EQ(m.GetLevel(100), 63);
    EXPECT_EQ(m.GetSetMark(100), 2);
    ASSERT_EQ(m.SetLevel(100, 3), 1);
    EXPECT_EQ(m.GetLevel(100), 3);
    EXPECT_EQ(m.GetSetMark(100), 2);
    // Resetting marks keeps parents, levels and set marks.
    m.ResetMarks();
    EXPECT_EQ(m.GetMark(100), kNcCostUnreached);
    EXPECT_EQ(m.GetParent(100), 7);
    EXPECT_EQ(m.GetSetMark(100), 2);
    // A second group takes the last page; a third finds none.
    ASSERT_EQ(m.SetMark(2000031, 1), 1);
    EXPECT_EQ(m.SetMark(64, 1), 0);
    EXPECT_EQ(m.GetMark(64), kNcCostUnreached);
    // Ids beyond the table or with bits 28-31 are refused.
    EXPECT_EQ(m.SetMark(2000032, 1), 0);
    EXPECT_EQ(m.SetMark(0xF0000001u, 1), 0);
    m.Clear();
    EXPECT_EQ(m.GetParent(100), kNcNoParent);
    EXPECT_EQ(m.PageCount(), 0u);
    EXPECT_EQ(NcLinkIDMem().Init(memory.data(), kNcLinkIndexBytes - 1), 0);
}

// Two tables over one pool of two pages, as the stages of a search over
// several legs keep them: the same link holds its own mark and parent in
// each; the pool runs out for both; pages one table hands back are taken
// by the other, clean; resetting one table's marks leaves the other's.
TEST(LinkIdMem, TablesSharingOnePool) {
    std::vector<uint8_t> memory(kTwoPages);
    std::vector<uint8_t> otherIndex(kNcLinkIndexBytes, 0xAB);  // not zeroed until cleared
    NcLinkIDMem first, second;
    ASSERT_EQ(first.Init(memory.data(), memory.size()), 1);
    ASSERT_EQ(second.InitShared(otherIndex.data(), &first), 1);
    second.Clear();
    EXPECT_EQ(second.GetMark(100), kNcCostUnreached);
    ASSERT_EQ(first.SetMark(100, 5), 1);
    ASSERT_EQ(first.SetParent(100, 7), 1);
    ASSERT_EQ(second.SetMark(100, 9), 1);
    EXPECT_EQ(first.GetMark(100), 5);
    EXPECT_EQ(second.GetMark(100), 9);
    EXPECT_EQ(second.GetParent(100), kNcNoParent);
    EXPECT_EQ(second.PageCapacity(), 2u);
    EXPECT_EQ(first.SetMark(64, 1), 0);   // both pages are taken
    EXPECT_EQ(second.SetMark(64, 1), 0);

    second.ResetMarks();
    EXPECT_EQ(first.GetMark(100), 5);
    second.Release();
    EXPECT_EQ(second.PageCount(), 0u);
    EXPECT_EQ(second.GetMark(100), kNcCostUnreached);
    ASSERT_EQ(first.SetMark(64, 3), 1);   // the page handed back
    EXPECT_EQ(first.GetMark(65), kNcCostUnreached);
    EXPECT_EQ(first.GetParent(64), kNcNoParent);
    EXPECT_EQ(second.SetMark(2000031, 1), 0);
    first.Release();
    ASSERT_EQ(second.SetMark(2000031, 1), 1);
    ASSERT_EQ(second.SetMark(100, 1), 1);
    EXPECT_EQ(first.GetMark(100), kNcCostUnreached);

    // Clearing the pool's owner frees every page; the others are cleared too.
    first.Clear();
    second.Clear();
    ASSERT_EQ(first.SetMark(1, 1), 1);
    ASSERT_EQ(second.SetMark(1, 2), 1);
    EXPECT_EQ(first.GetMark(1), 1);
    EXPECT_EQ(second.GetMark(1), 2);
}

TEST(LinkCodeClasses, Table) {
    struct Case {
        int code, cls;
    } const cases[] = {
        {100, 0}, {105, 0}, {109, 0}, {115, 0}, {119, 0}, {150, 0}, {152, 0}, {16, 1}, {22, 1}, {25, 1},
        {28, 1},  {10, 2},  {106, 2}, {117, 2}, {11, 3},  {15, 3},  {74, 3},  {17, 4}, {23, 4}, {72, 4},
        {154, 4}, {29, 6},  {0, 5},   {6, 5},   {151, 5}, {255, 5},
    };
    for (const Case& c : cases) EXPECT_EQ(ClassifyLinkCode(c.code), c.cls) << c.code;
}

class QueueTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(pool.Init(poolMemory.data()), 1);
        ASSERT_EQ(marks.Init(markMemory.data(), markMemory.size()), 1);
        queue.SetLinkMemory(&pool, &marks);
        queue.Reset();
    }
    NcLink* Node(int32_t link, int32_t cost, uint8_t level = 0) {
        NcLink* n = pool.Alloc();
        n->linkId = link;
        n->cost = cost;
        n->level = level;
        return n;
    }

    std::vector<uint8_t> poolMemory = std::vector<uint8_t>(NcLinkMem::kBytes);
    std::vector<uint8_t> markMemory = std::vector<uint8_t>(kNcLinkIndexBytes + 64 * kNcLinkPageBytes);
    NcLinkMem pool;
    NcLinkIDMem marks;
    NcQueue queue;
};

TEST_F(QueueTest, EqualCostDoesNotRiseAboveAnEarlierNode) {
    NcLink* a = Node(1, 50);
    NcLink* b = Node(2, 60);
    NcLink* c = Node(3, 50);
    for (NcLink* n : {a, b, c}) ASSERT_EQ(queue.PushChecked(n, -1), 1);
    EXPECT_EQ(queue.PopMin(), a);
    EXPECT_EQ(marks.GetMark(1), kNcMarkClosed);
    EXPECT_EQ(queue.PopMin(), c);
    EXPECT_EQ(queue.PopMin(), b);
    EXPECT_EQ(queue.PopMin(), nullptr);
}

TEST_F(QueueTest, Admission) {
    ASSERT_EQ(queue.PushChecked(Node(7, 100, 1), 3), 1);
    EXPECT_EQ(marks.GetParent(7), 3);
    // Same level, not cheaper: refused and freed.
    const int inUse = pool.InUse();
    EXPECT_EQ(queue.PushChecked(Node(7, 100, 1), 4), 0);
    EXPECT_EQ(pool.InUse(), inUse);
    // Same level and cheaper, or a higher level: admitted.
    EXPECT_EQ(queue.PushChecked(Node(7, 90, 1), 5), 1);
    EXPECT_EQ(marks.GetMark(7), 90);
    EXPECT_EQ(queue.PushChecked(Node(7, 500, 2), 6), 1);
    // The cheapest copy closes the link; the others are dropped on the way.
    NcLink* first = queue.PopMin();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->cost, 90);
    EXPECT_EQ(queue.PopMin(), nullptr);
    // Closed: a node of the same or a lower level is refused; a higher level
    // with a parent reopens the link.
    EXPECT_EQ(queue.PushChecked(Node(7, 1, 2), 9), 0);
    EXPECT_EQ(queue.PushChecked(Node(7, 1, 3), 9), 1);
    EXPECT_EQ(queue.PopMin()->cost, 1);
    // A closed link without a parent is never reopened.
    marks.SetMark(8, kNcMarkClosed);
    EXPECT_EQ(queue.PushChecked(Node(8, 1, 9), 9), 0);
}

TEST_F(QueueTest, DropStaleKeepsWhatCanStillComeOut) {
    ASSERT_EQ(queue.PushChecked(Node(1, 100), -1), 1);
    ASSERT_EQ(queue.PushChecked(Node(1, 90), -1), 1);  // the first copy is stale now
    ASSERT_EQ(queue.PushChecked(Node(2, 50), -1), 1);
    ASSERT_EQ(queue.PushChecked(Node(3, 70), -1), 1);
    ASSERT_EQ(queue.PushChecked(Node(4, 60), -1), 1);
    ASSERT_EQ(queue.PopMin()->linkId, 2);
    ASSERT_EQ(queue.PushChecked(Node(4, 55), -1), 1);  // and the first copy of link 4
    const int inUse = pool.InUse();
    EXPECT_EQ(queue.DropStale(), 2);
    EXPECT_EQ(pool.InUse(), inUse - 2);
    EXPECT_EQ(queue.Count(), 3);
    std::vector<int32_t> order;
    while (NcLink* n = queue.PopMin()) order.push_back(n->cost);
    EXPECT_EQ(order, (std::vector<int32_t>{55, 70, 90}));
}

TEST_F(QueueTest, FullHeapFreesTheNodeAndStops) {
    for (int i = 0; i < kNcQueueCapacity; ++i) ASSERT_EQ(queue.Push(Node(i % 60, 1000 - i % 7)), 1);
    // The pool is used up; a node from elsewhere is refused and not written
    // past the heap.
    NcLink extra;
    EXPECT_EQ(queue.Push(&extra), 0);
    EXPECT_EQ(queue.Count(), kNcQueueCapacity);
    queue.FreeAll();
    EXPECT_EQ(pool.InUse(), 0);
}

TEST_F(QueueTest, HeapOrderAgainstASortedList) {
    std::vector<int32_t> costs;
    for (int i = 0; i < 500; ++i) costs.push_back(static_cast<int32_t>((i * 7919) % 1009) - 300);
    for (size_t i = 0; i < costs.size(); ++i) ASSERT_EQ(queue.Push(Node(static_cast<int32_t>(i), costs[i])), 1);
    std::vector<int32_t> sorted = costs;
    std::sort(sorted.begin(), sorted.end());
    for (int32_t expect : sorted) {
        NcLink* n = queue.PopMin();
        ASSERT_NE(n, nullptr);
        EXPECT_EQ(n->cost, expect);
    }
    EXPECT_EQ(queue.PopMin(), nullptr);
}

// Which of several nodes of the same cost comes out first decides which
// label the search expands first, and so its route: pushes and pops
// interleaved, with many equal costs, come out in the order of the textbook
// binary heap (a node rises while strictly cheaper than its parent; the last
// node moved to the top sinks to the cheaper child, the right one only when
// strictly cheaper, while not strictly cheaper than it).
TEST_F(QueueTest, EqualCostsComeOutInTheOrderOfTheTextbookHeap) {
    struct Entry {
        int32_t cost, link;
    };
    std::vector<Entry> heap(1);  // slot 0 unused
    const auto push = [&](Entry e) {
        heap.push_back(e);
        for (size_t i = heap.size() - 1; i > 1 && e.cost < heap[i / 2].cost; i /= 2) std::swap(heap[i], heap[i / 2]);
    };
    const auto pop = [&] {
        const Entry top = heap[1];
        heap[1] = heap.back();
        heap.pop_back();
        for (size_t i = 1;;) {
            size_t child = 2 * i;
            if (child >= heap.size()) break;
            if (child + 1 < heap.size() && heap[child + 1].cost < heap[child].cost) ++child;
            if (heap[i].cost < heap[child].cost) break;
            std::swap(heap[i], heap[child]);
            i = child;
        }
        return top.link;
    };
    uint32_t x = 7;
    const auto next = [&x] { return (x = x * 1103515245 + 12345) >> 16; };
    int32_t link = 0;
    for (int step = 0; step < 3000 && link < 1500; ++step) {
        if (heap.size() > 1 && next() % 3 == 0) {
            NcLink* n = queue.PopMin();
            ASSERT_NE(n, nullptr);
            ASSERT_EQ(n->linkId, pop()) << step;
        } else {
            const int32_t cost = static_cast<int32_t>(next() % 20);
            ASSERT_EQ(queue.Push(Node(link, cost)), 1);
            push({cost, link++});
        }
    }
    while (heap.size() > 1) {
        NcLink* n = queue.PopMin();
        ASSERT_NE(n, nullptr);
        ASSERT_EQ(n->linkId, pop());
    }
    EXPECT_EQ(queue.PopMin(), nullptr);
}

}  // namespace
