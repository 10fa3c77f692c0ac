#include "foundation/memory_heap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "foundation/debug_trace.h"

namespace {

SharedBlockStats Stats(MgrSharedBlock* block) {
    SharedBlockStats s;
    EXPECT_EQ(SharedBlockGetStats(block, &s), 1);
    return s;
}

// Owns a block for one test; the test frees what it allocated.
struct ScopedBlock {
    ScopedBlock(const char* tag, uint32_t unit, size_t size, int mapping = 0)
        : block(CreateSharedBlock(tag, unit, size, mapping)) {}
    ~ScopedBlock() {
        if (block) {
            EXPECT_EQ(DestroySharedBlock(block), 1);
        }
    }
    MgrSharedBlock* block;
};

// Collects trace lines while alive.
struct TraceCapture {
    TraceCapture() {
        SetDebugTraceSink([this](std::string_view line) {
            std::lock_guard hold(mutex);
            lines.emplace_back(line);
        }, false);
    }
    ~TraceCapture() { SetDebugTraceSink({}); }
    std::vector<std::string> Lines() {
        std::lock_guard hold(mutex);
        return lines;
    }
    std::mutex mutex;
    std::vector<std::string> lines;
};

TEST(SharedBlock, AllocationArithmetic) {
    struct Case {
        const char* name;
        uint32_t unit;
        size_t dataSize;
        size_t request;
        uint32_t freeAfter;
        size_t payload;
    };
    // A fresh block has d - 32 free bytes (the first node and the end node).
    const Case cases[] = {
        {"one byte takes the whole unit", 1024, 65536, 1, 65504 - 1024 - 16, 1024},
        {"exactly one unit", 1024, 65536, 1024, 65504 - 1024 - 16, 1024},
        {"above the unit rounds up to 8", 1024, 65536, 1025, 65504 - 1032 - 16, 1032},
        // 4064 free: a remainder of exactly the unit is split off ...
        {"split leaves at least the unit", 1024, 4096, 3024, 4064 - 3024 - 16, 3024},
        // ... one below unit + 16 bytes of node and payload is not.
        {"remainder below unit + 16 takes the node", 1024, 4096, 3032, 0, 4064},
        {"small unit rounds up to 8", 4, 65536, 5, 65504 - 8 - 16, 8},
        {"the whole free node", 8, 4096, 4064, 0, 4064},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedBlock b("ARITH", c.unit, c.dataSize);
        ASSERT_NE(b.block, nullptr);
        EXPECT_EQ(Stats(b.block).freeBytes, c.dataSize - 32);
        void* p = SharedBlockAlloc(b.block, c.request);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 8, 0u);
        EXPECT_EQ(SharedBlockPayloadSize(p), c.payload);
        const SharedBlockStats s = Stats(b.block);
        EXPECT_EQ(s.freeBytes, c.freeAfter);
        EXPECT_EQ(s.allocCount, 2u);
        EXPECT_EQ(s.highWater, c.dataSize - c.freeAfter);
        uint32_t freeBytes = 0;
        uint32_t unit = 0;
        EXPECT_EQ(SharedBlockGetInfo(b.block, &freeBytes, &unit), 1);
        EXPECT_EQ(freeBytes, c.freeAfter);
        EXPECT_EQ(SharedBlockFree(p), 1);
        EXPECT_EQ(Stats(b.block).freeBytes, c.dataSize - 32);
        EXPECT_EQ(Stats(b.block).allocCount, 1u);
    }
}

TEST(SharedBlock, ThreeAdjacentFreesInAnyOrderRestoreTheBlock) {
    std::array<int, 3> order = {0, 1, 2};
    do {
        SCOPED_TRACE(testing::Message() << order[0] << order[1] << order[2]);
        ScopedBlock b("THREEFREES", 1024, 65536);
        ASSERT_NE(b.block, nullptr);
        void* keep = SharedBlockAlloc(b.block, 100);   // the three are not at the block start
        const uint32_t before = Stats(b.block).freeBytes;
        std::array<void*, 3> p{};
        for (auto& q : p) q = SharedBlockAlloc(b.block, 2000);
        EXPECT_EQ(Stats(b.block).freeBytes, before - 3 * (2000 + 16));
        for (int i : order) EXPECT_EQ(SharedBlockFree(p[i]), 1);
        const SharedBlockStats s = Stats(b.block);
        EXPECT_EQ(s.freeBytes, before);
        EXPECT_EQ(s.freeNodes, 1u);
        EXPECT_EQ(s.allocCount, 2u);
        EXPECT_EQ(SharedBlockFree(keep), 1);
    } while (std::next_permutation(order.begin(), order.end()));
}

TEST(SharedBlock, NextFitStartsAfterTheLastAllocation) {
    ScopedBlock b("NEXTFIT", 1024, 65536);
    void* a = SharedBlockAlloc(b.block, 1024);
    void* c = SharedBlockAlloc(b.block, 1024);
    ASSERT_EQ(SharedBlockFree(a), 1);
    // a's hole is not searched first: the rover stands behind c.
    void* d = SharedBlockAlloc(b.block, 1024);
    EXPECT_GT(d, c);
    EXPECT_EQ(SharedBlockFree(c), 1);
    EXPECT_EQ(SharedBlockFree(d), 1);
    EXPECT_EQ(Stats(b.block).freeNodes, 1u);
}

TEST(SharedBlock, FullBlockFailsAndRecovers) {
    ScopedBlock b("FILL", 1024, 65536);
    std::vector<void*> taken;
    while (void* p = SharedBlockAlloc(b.block, 1)) taken.push_back(p);
    EXPECT_EQ(taken.size(), 63u);   // 65504 / (1024 + 16), the last taking the remainder
    EXPECT_EQ(Stats(b.block).freeBytes, 0u);
    EXPECT_EQ(Stats(b.block).highWater, 65536u);
    for (void* p : taken) EXPECT_EQ(SharedBlockFree(p), 1);
    EXPECT_EQ(Stats(b.block).freeBytes, 65504u);
    EXPECT_EQ(Stats(b.block).highWater, 65536u);   // a high-water mark stays
}

TEST(SharedBlock, DestroyWithLiveAllocationTracesLeakAndKeepsBlock) {
    MgrSharedBlock* block = CreateSharedBlock("LEAKTEST", 1024, 8192, 0);
    ASSERT_NE(block, nullptr);
    void* p = SharedBlockAlloc(block, 10);
    {
        TraceCapture trace;
        EXPECT_EQ(DestroySharedBlock(block), 0);
        EXPECT_EQ(trace.Lines(), std::vector<std::string>{"!!MgrMemory Leak[LEAKTEST]\r\n"});
    }
    void* q = SharedBlockAlloc(block, 10);   // still usable
    EXPECT_NE(q, nullptr);
    EXPECT_EQ(SharedBlockFree(p), 1);
    EXPECT_EQ(SharedBlockFree(q), 1);
    TraceCapture trace;
    EXPECT_EQ(DestroySharedBlock(block), 1);
    EXPECT_TRUE(trace.Lines().empty());
    EXPECT_EQ(DestroySharedBlock(block), 0);   // gone
    EXPECT_EQ(SharedBlockAlloc(block, 10), nullptr);
}

TEST(SharedBlock, SameTagWithMappingIsRefused) {
    struct Case {
        const char* name;
        size_t secondSize;
        int secondMapping;
        bool created;
        int isMapping;
    };
    const Case cases[] = {
        {"second mapping of the name", 65536, 1, false, 0},
        {"small block comes from the heap", 8192, 1, true, 0},
        {"no mapping asked", 65536, 0, true, 0},
    };
    ScopedBlock first("DUPTAG", 1024, 65536, 1);
    ASSERT_NE(first.block, nullptr);
    EXPECT_EQ(Stats(first.block).isMapping, 1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MgrSharedBlock* second = CreateSharedBlock("DUPTAG", 1024, c.secondSize, c.secondMapping);
        EXPECT_EQ(second != nullptr, c.created);
        if (second) {
            EXPECT_EQ(Stats(second).isMapping, c.isMapping);
            EXPECT_EQ(DestroySharedBlock(second), 1);
        }
    }
    // Names are compared on the first 31 units of the tag.
    MgrSharedBlock* a = CreateSharedBlock("ABCDEFGHIJKLMNOPQRSTUVWXYZ012345", 1024, 65536, 1);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(Stats(a).tag, u"ABCDEFGHIJKLMNOPQRSTUVWXYZ012345");
    EXPECT_EQ(CreateSharedBlock("ABCDEFGHIJKLMNOPQRSTUVWXYZ01234X", 1024, 65536, 1), nullptr);
    EXPECT_EQ(DestroySharedBlock(a), 1);
    // Once released, the name can be taken again.
    MgrSharedBlock* again = CreateSharedBlock("ABCDEFGHIJKLMNOPQRSTUVWXYZ012345", 1024, 65536, 1);
    EXPECT_NE(again, nullptr);
    EXPECT_EQ(DestroySharedBlock(again), 1);
}

TEST(SharedBlock, AtMost255BlocksAtOnce) {
    const int before = SharedBlockCount();
    std::vector<MgrSharedBlock*> made;
    while (MgrSharedBlock* b = CreateSharedBlock("MANY", 64, 1024, 0)) {
        made.push_back(b);
        ASSERT_LE(made.size(), 300u);
    }
    EXPECT_EQ(SharedBlockCount(), 255);
    EXPECT_EQ(static_cast<int>(made.size()), 255 - before);
    ASSERT_EQ(DestroySharedBlock(made.back()), 1);
    made.pop_back();
    MgrSharedBlock* last = CreateSharedBlock("MANY", 64, 1024, 0);
    EXPECT_NE(last, nullptr);
    made.push_back(last);
    for (MgrSharedBlock* b : made) EXPECT_EQ(DestroySharedBlock(b), 1);
    EXPECT_EQ(SharedBlockCount(), before);
}

TEST(SharedBlock, HugeAndBadRequestsFailCleanly) {
    ScopedBlock b("HUGE", 1024, 65536);
    const size_t max = std::numeric_limits<size_t>::max();
    for (size_t size : {max, max - 3, size_t{65537}, size_t{65505}, size_t{0xFFFFFFFFu}}) {
        SCOPED_TRACE(size);
        EXPECT_EQ(SharedBlockAlloc(b.block, size), nullptr);
    }
    for (size_t size : {max, max - 3, size_t{0xFFFFFFFFu}, size_t{0xFFFFFFFFu} - 136}) {
        SCOPED_TRACE(size);
        EXPECT_EQ(CreateSharedBlock("HUGEBLOCK", 1024, size, 0), nullptr);
    }
    EXPECT_EQ(MgrAlloc(max), nullptr);
    EXPECT_EQ(CreateSharedBlock("BADUNIT", 0xFFFFFFFFu, 65536, 0), nullptr);
    EXPECT_EQ(CreateSharedBlock("TINY", 8, 16, 0), nullptr);
    EXPECT_EQ(SharedBlockAlloc(nullptr, 10), nullptr);
    EXPECT_EQ(Stats(b.block).freeBytes, 65504u);

    // Pointers that are no live allocation change nothing.
    int local = 0;
    auto heap = std::make_unique<char[]>(64);
    void* p = SharedBlockAlloc(b.block, 10);
    for (void* foreign : {static_cast<void*>(nullptr), static_cast<void*>(&local), static_cast<void*>(heap.get()),
                          static_cast<void*>(static_cast<char*>(p) + 8)}) {
        EXPECT_EQ(SharedBlockFree(foreign), 0);
        EXPECT_EQ(SharedBlockPayloadSize(foreign), 0u);
        EXPECT_EQ(SharedBlockRealloc(foreign, 10), nullptr);
    }
    EXPECT_EQ(SharedBlockFree(p), 1);
    EXPECT_EQ(SharedBlockFree(p), 0);   // a second free is refused
    EXPECT_EQ(Stats(b.block).freeBytes, 65504u);
    EXPECT_EQ(Stats(b.block).allocCount, 1u);
}

TEST(SharedBlock, ReallocKeepsContentAndKeepsOldPayloadOnFailure) {
    ScopedBlock b("REALLOC", 64, 8192);
    auto* p = static_cast<char*>(SharedBlockAlloc(b.block, 100));
    ASSERT_NE(p, nullptr);
    std::memset(p, 'x', 100);
    auto* grown = static_cast<char*>(SharedBlockRealloc(p, 3000));
    ASSERT_NE(grown, nullptr);
    EXPECT_EQ(std::string(grown, 100), std::string(100, 'x'));
    EXPECT_EQ(SharedBlockPayloadSize(p), 0u);   // the old payload is gone

    // Does not fit while the old payload is held: null, and the old one stays.
    const uint32_t freeBefore = Stats(b.block).freeBytes;
    EXPECT_EQ(SharedBlockRealloc(grown, 6000), nullptr);
    EXPECT_EQ(SharedBlockPayloadSize(grown), 3000u);
    EXPECT_EQ(std::string(grown, 100), std::string(100, 'x'));
    EXPECT_EQ(Stats(b.block).freeBytes, freeBefore);
    EXPECT_EQ(SharedBlockRealloc(grown, std::numeric_limits<size_t>::max()), nullptr);
    EXPECT_EQ(SharedBlockFree(grown), 1);
}

TEST(SystemDefaultHeap, ExistsBeforeMainAndServesMgrAlloc) {
    MgrSharedBlock* heap = CSystemDefaultHeap::Instance().Block();
    ASSERT_NE(heap, nullptr);
    const SharedBlockStats s = Stats(heap);
    EXPECT_EQ(s.tag, u"SYSTEMDEFAULTHEAP");
    EXPECT_EQ(s.dataSize, kSystemDefaultHeapBytes);
    EXPECT_EQ(s.minUnit, 1024u);
    EXPECT_EQ(s.isMapping, 1);

    auto* p = static_cast<int*>(MgrAlloc(sizeof(int)));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(SharedBlockPayloadSize(p), 1024u);
    *p = 42;
    auto* q = static_cast<int*>(MgrRealloc(p, 4096));
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(*q, 42);
    EXPECT_EQ(MgrFree(q), 1);
    auto* r = MgrRealloc(nullptr, 16);
    EXPECT_NE(r, nullptr);
    EXPECT_EQ(MgrFree(r), 1);

    // MgrFree frees an allocation of any block.
    ScopedBlock other("OTHERBLOCK", 64, 4096);
    void* o = SharedBlockAlloc(other.block, 64);
    EXPECT_EQ(MgrFree(o), 1);
}

TEST(SystemDefaultHeapDeathTest, LiveAllocationAtExitIsReported) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            MgrAlloc(10);
            std::exit(0);   // static objects end: the heap reports instead of releasing
        },
        testing::ExitedWithCode(0), "!!MgrMemory Leak\\[SYSTEMDEFAULTHEAP\\]");
    EXPECT_EXIT(std::exit(0), testing::ExitedWithCode(0), "^$");
}

TEST(SharedBlock, ThreadsAllocateAndFreeConcurrently) {
    ScopedBlock shared("THREADSHARED", 64, 1 << 20, 1);
    constexpr int kThreads = 6;
    constexpr int kRounds = 2000;
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            ScopedBlock own(("OWN" + std::to_string(t)).c_str(), 64, 16384);
            std::vector<std::pair<unsigned char*, size_t>> live;
            for (int i = 0; i < kRounds; ++i) {
                MgrSharedBlock* into = (i % 3 == 0) ? own.block : shared.block;
                const size_t size = 8 + static_cast<size_t>((i * 37 + t * 11) % 500);
                auto* p = static_cast<unsigned char*>(SharedBlockAlloc(into, size));
                if (!p) {
                    failures.fetch_add(1);
                    continue;
                }
                std::memset(p, t + 1, size);
                live.emplace_back(p, size);
                if (live.size() > 8 || i % 2 == 1) {
                    auto [q, n] = live.front();
                    live.erase(live.begin());
                    // Nobody else wrote into this payload.
                    if (std::count(q, q + n, static_cast<unsigned char>(t + 1)) != static_cast<long>(n)) failures.fetch_add(1);
                    if (MgrFree(q) != 1) failures.fetch_add(1);
                }
            }
            for (auto [q, n] : live) MgrFree(q);
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(failures.load(), 0);
    const SharedBlockStats s = Stats(shared.block);
    EXPECT_EQ(s.freeBytes, s.dataSize - 32);
    EXPECT_EQ(s.freeNodes, 1u);
}

}  // namespace
