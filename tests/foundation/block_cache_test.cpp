#include "foundation/block_cache.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "platform/clock.h"

namespace {

using Key = std::array<unsigned char, 4>;

Key K(uint32_t n) { return {static_cast<unsigned char>(n >> 24), static_cast<unsigned char>(n >> 16),
                            static_cast<unsigned char>(n >> 8), static_cast<unsigned char>(n)}; }

// Entry overhead for 4-byte keys: 48-byte header, key padded to 8.
constexpr size_t kOverhead = 56;

// A cache on a small arena of its own (4064 free bytes, unit 64) with a fake
// clock, so every test controls when the arena runs full and what has aged.
class BlockCacheTest : public testing::Test {
protected:
    void SetUp() override {
        arena = CreateSharedBlock("CACHETEST", 64, 4096, 0);
        ASSERT_NE(arena, nullptr);
        ASSERT_EQ(cache.Attach(arena, 4), 1);
    }
    void TearDown() override {
        EXPECT_EQ(cache.Detach(), arena);
        EXPECT_EQ(ArenaFree(), 4064u);   // Detach gave every entry back
        EXPECT_EQ(DestroySharedBlock(arena), 1);
    }

    uint32_t ArenaFree() {
        uint32_t freeBytes = 0;
        SharedBlockGetInfo(arena, &freeBytes, nullptr);
        return freeBytes;
    }
    // Inserts and fills an entry; keeps the reference unless told to release.
    unsigned char* Put(uint32_t key, size_t dataBytes, bool release, int permanent = 0) {
        const Key k = K(key);
        auto* data = static_cast<unsigned char*>(cache.Insert(k.data(), dataBytes, permanent));
        if (data) {
            std::memset(data, static_cast<int>(key & 0xFF), dataBytes);
            if (release && !permanent) cache.Release(k.data());
        }
        return data;
    }
    // Takes whatever the arena has left with a permanent entry.
    void FillArena(uint32_t key) {
        const uint32_t left = ArenaFree();
        ASSERT_GT(left, kOverhead);
        ASSERT_NE(Put(key, left - kOverhead, false, 1), nullptr);
        ASSERT_EQ(ArenaFree(), 0u);
    }
    MgrCacheEntry* Entry(uint32_t key) {
        const Key k = K(key);
        return cache.Find(k.data());
    }
    bool Has(uint32_t key) { return Entry(key) != nullptr; }

    platform::FakeClock clock{100000};
    platform::ScopedClock useClock{clock};
    MgrSharedBlock* arena = nullptr;
    CMgrCache cache;
};

TEST_F(BlockCacheTest, LookupReferencesAndReleaseStampsAccess) {
    unsigned char* data = Put(7, 100, false);
    ASSERT_NE(data, nullptr);
    MgrCacheEntry* e = Entry(7);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->magic, kMgrCacheEntryMagic);
    EXPECT_EQ(e->refCount, 1);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(data) % 8, 0u);
    EXPECT_EQ(e->allocSize, 160u);   // 56 + 100, rounded up to 8

    clock.Advance(500);
    const Key k = K(7);
    EXPECT_EQ(cache.Lookup(k.data()), data);
    EXPECT_EQ(e->refCount, 2);
    EXPECT_EQ(e->hits, 1u);
    EXPECT_EQ(e->lastAccessTick, 100500u);
    EXPECT_EQ(cache.Release(k.data()), 1);
    EXPECT_EQ(cache.Release(k.data()), 1);
    EXPECT_EQ(cache.Release(k.data()), 1);   // never below 0
    EXPECT_EQ(e->refCount, 0);

    const Key missing = K(8);
    EXPECT_EQ(cache.Lookup(missing.data()), nullptr);
    EXPECT_EQ(cache.Release(missing.data()), 0);
    EXPECT_EQ(cache.Insert(k.data(), 10, 0), nullptr);   // one entry per key
    EXPECT_EQ(cache.GetEntryCount(), 1);
}

TEST_F(BlockCacheTest, KeysStayOrderedWhateverTheInsertOrder) {
    std::vector<uint32_t> keys = {0x01000000, 5, 0xFF, 0x00010000, 3, 0xFFFFFFFF, 0, 77};
    std::mt19937 rng(5);
    std::shuffle(keys.begin(), keys.end(), rng);
    for (uint32_t key : keys) ASSERT_NE(Put(key, 8, true), nullptr);
    for (uint32_t key : keys) {
        SCOPED_TRACE(key);
        MgrCacheEntry* e = Entry(key);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(std::memcmp(e->Key(), K(key).data(), 4), 0);
        EXPECT_EQ(e->Data()[0], key & 0xFF);
    }
    EXPECT_FALSE(Has(4));
}

TEST_F(BlockCacheTest, UnreferencedEntriesExpireAfter2000Ms) {
    struct Step {
        const char* name;
        uint32_t advanceMs;
        bool touchA;      // look A up and release it
        bool aLive;
        bool bLive;
    };
    // A and B are inserted and released at t0; C stays referenced throughout.
    const Step steps[] = {
        {"young entries survive", 1000, true, true, true},
        {"exactly 2000 ms is not yet expired", 1000, false, true, true},
        {"B expires, A was touched 1001 ms ago", 1, false, true, false},
        {"A expires later", 1000, false, false, false},
    };
    ASSERT_NE(Put(1, 100, true), nullptr);   // A
    ASSERT_NE(Put(2, 100, true), nullptr);   // B
    ASSERT_NE(Put(3, 100, false), nullptr);  // C
    const Key a = K(1);
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        clock.Advance(s.advanceMs);
        if (s.touchA) {
            ASSERT_NE(cache.Lookup(a.data()), nullptr);
            cache.Release(a.data());
        }
        cache.Sweep();
        EXPECT_EQ(Has(1), s.aLive);
        EXPECT_EQ(Has(2), s.bLive);
        EXPECT_TRUE(Has(3));
    }
    EXPECT_EQ(cache.GetReuseCount(), 2);
    EXPECT_EQ(cache.Lookup(a.data()), nullptr);   // expired entries are not found
    clock.Advance(100000);
    cache.Sweep();
    EXPECT_TRUE(Has(3));   // referenced: never expires
    EXPECT_EQ(Entry(3)->expired, 0u);
}

TEST_F(BlockCacheTest, PermanentEntryHasNoReferenceAndStaysUntilDetach) {
    unsigned char* data = Put(9, 200, false, 1);
    ASSERT_NE(data, nullptr);
    MgrCacheEntry* e = Entry(9);
    EXPECT_EQ(e->refCount, 0);
    EXPECT_EQ(e->permanent, 1u);
    const Key k = K(9);
    EXPECT_EQ(cache.Lookup(k.data()), data);
    EXPECT_EQ(e->refCount, 0);
    clock.Advance(60000);
    cache.Sweep();
    EXPECT_EQ(Entry(9), e);
    // Pressure on the arena does not touch it either.
    for (uint32_t key = 100; ArenaFree() >= 376; ++key) ASSERT_NE(Put(key, 300, true), nullptr);
    clock.Advance(60000);
    // Everything else is expired and freed, yet 3800 bytes do not fit
    // beside the permanent entry.
    EXPECT_EQ(Put(1000, 3800, true), nullptr);
    EXPECT_EQ(cache.GetEntryCount(), 1);
    EXPECT_EQ(Entry(9), e);
    EXPECT_EQ(data[199], 9);
}

TEST_F(BlockCacheTest, InsertFailsWhenEveryEntryIsReferenced) {
    std::vector<unsigned char*> held;
    uint32_t key = 1;
    while (unsigned char* d = Put(key, 200, false)) {
        held.push_back(d);
        ++key;
    }
    ASSERT_GE(held.size(), 10u);
    const int count = cache.GetEntryCount();
    clock.Advance(60000);   // age is no reason to touch a referenced entry
    EXPECT_EQ(Put(500, 200, false), nullptr);
    EXPECT_EQ(Put(501, 8, false), nullptr);
    EXPECT_EQ(cache.GetEntryCount(), count);
    for (uint32_t k = 1; k < key; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(held[k - 1], Entry(k)->Data());
        EXPECT_EQ(std::count(held[k - 1], held[k - 1] + 200, static_cast<unsigned char>(k)), 200);
    }
    // One released entry is enough to make room again.
    const Key five = K(5);
    cache.Release(five.data());
    EXPECT_NE(Put(502, 200, false), nullptr);
    EXPECT_FALSE(Has(5));
}

// Three expired entries of 1056 bytes and a permanent filler: the arena is
// full, so every insert goes through the reuse list.
TEST_F(BlockCacheTest, ReuseWithinOneAndAHalfTimesTheSize) {
    struct Case {
        const char* name;
        size_t dataBytes;
        uint32_t allocSize;        // of the new entry
        uint32_t arenaFreeAfter;   // 0: the old memory was used unchanged
    };
    const Case cases[] = {
        {"same size", 1000, 1056, 0},
        {"1056 <= 1.5 x 704", 704 - kOverhead, 1056, 0},
        {"1056 > 1.5 x 696: freed, allocated anew", 696 - kOverhead, 696, 1056 - 696 - 16},
        {"small request", 100, 160, 1056 - 160 - 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        // Three sizes, the smallest (usable 1056) in the middle: the reuse
        // list is walked from its smallest entry whatever the order of
        // insertion.
        std::array<unsigned char*, 3> old{};
        const size_t sizes[3] = {1100, 1000, 1050};
        for (uint32_t i = 0; i < 3; ++i) old[i] = Put(i + 1, sizes[i], true);
        ASSERT_EQ(Entry(2)->usableSize, 1056u);
        FillArena(99);
        clock.Advance(2001);
        unsigned char* data = Put(50, c.dataBytes, false);
        ASSERT_NE(data, nullptr);
        // Either way the new entry sits where the smallest expired one was.
        EXPECT_EQ(data, old[1]);
        EXPECT_EQ(ArenaFree(), c.arenaFreeAfter);
        EXPECT_EQ(Entry(50)->allocSize, c.allocSize);
        EXPECT_EQ(Entry(50)->usableSize, c.allocSize);
        EXPECT_EQ(Entry(50)->expired, 0u);
        EXPECT_EQ(cache.GetReuseCount(), 2);
        EXPECT_FALSE(Has(1));
        EXPECT_EQ(cache.GetEntryCount(), 2);   // the filler and the new entry
    }
}

TEST_F(BlockCacheTest, EvictsTheOldestUnreferencedEntry) {
    // Ten young entries (none expired), the oldest first.
    std::vector<unsigned char*> data;
    for (uint32_t k = 1; k <= 10; ++k) {
        data.push_back(Put(k, 300, true));
        ASSERT_NE(data.back(), nullptr);
        clock.Advance(100);
    }
    FillArena(99);
    // The oldest is referenced: the next oldest goes.
    const Key first = K(1);
    ASSERT_NE(cache.Lookup(first.data()), nullptr);
    Entry(1)->lastAccessTick = 100000;   // keep it the oldest
    unsigned char* fresh = Put(20, 300, true);
    ASSERT_NE(fresh, nullptr);
    EXPECT_TRUE(Has(1));
    EXPECT_FALSE(Has(2));
    EXPECT_EQ(fresh, data[1]);
    for (uint32_t k = 3; k <= 10; ++k) EXPECT_TRUE(Has(k));
    EXPECT_EQ(cache.GetReuseCount(), 0);
    cache.Release(first.data());
}

TEST_F(BlockCacheTest, EvictsOnlyAmongTheOldestThirtyPercent) {
    // Ten entries of usable 360, the oldest first; all but the youngest
    // stay referenced. Eleven live entries with the filler: the oldest 30
    // percent are the first three, so the youngest is no eviction candidate.
    for (uint32_t k = 1; k <= 10; ++k) {
        ASSERT_NE(Put(k, 300, k == 10), nullptr);
        clock.Advance(100);
    }
    ASSERT_EQ(Entry(10)->usableSize, 360u);
    FillArena(99);
    // Not evicted whole: its memory is given back and 256 bytes are taken
    // anew, leaving the rest of it free (an evicted entry would keep 360).
    ASSERT_NE(Put(20, 200, false), nullptr);
    EXPECT_FALSE(Has(10));
    EXPECT_EQ(Entry(20)->allocSize, 256u);
    EXPECT_EQ(ArenaFree(), 360u - 256u - 16u);
    for (uint32_t k = 1; k <= 9; ++k) {
        EXPECT_TRUE(Has(k));
        cache.Release(K(k).data());
    }
    cache.Release(K(20).data());
}

TEST_F(BlockCacheTest, CompactionFreesNeighboursUntilTheEntryFits) {
    // Six 456-byte entries in address order, then a permanent filler.
    std::vector<unsigned char*> data;
    for (uint32_t k = 1; k <= 6; ++k) data.push_back(Put(k, 400, false));
    FillArena(99);
    // Entries 2 and 3 are released but young; nothing is expired and no
    // single entry is large enough, so only merging neighbours helps.
    for (uint32_t k : {2u, 3u}) {
        const Key key = K(k);
        cache.Release(key.data());
    }
    unsigned char* big = Put(50, 800, false);
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(big, data[1]);   // where entry 2 started
    EXPECT_FALSE(Has(2));
    EXPECT_FALSE(Has(3));
    for (uint32_t k : {1u, 4u, 5u, 6u, 99u, 50u}) EXPECT_TRUE(Has(k));
    // Nothing unreferenced is left: the next one fails and changes nothing.
    EXPECT_EQ(Put(51, 800, false), nullptr);
    EXPECT_EQ(cache.GetEntryCount(), 6);
    for (uint32_t k : {1u, 4u, 5u, 6u, 50u}) {
        const Key key = K(k);
        cache.Release(key.data());
    }
}

TEST_F(BlockCacheTest, DiscardRemovesAnEntryNobodyElseHolds) {
    ASSERT_NE(Put(1, 100, false), nullptr);
    const Key k = K(1);
    ASSERT_NE(cache.Lookup(k.data()), nullptr);   // a second reader
    EXPECT_EQ(cache.Discard(k.data()), 0);        // drops our reference only
    EXPECT_EQ(Entry(1)->refCount, 1);
    EXPECT_EQ(cache.Discard(k.data()), 1);
    EXPECT_FALSE(Has(1));
    EXPECT_EQ(cache.Discard(k.data()), 0);
    EXPECT_EQ(ArenaFree(), 4064u);
}

TEST(BlockCache, AttachRules) {
    MgrSharedBlock* arena = CreateSharedBlock("CACHEATTACH", 1024, 65536, 0);
    CMgrCache cache;
    const Key k = K(1);
    EXPECT_EQ(cache.Insert(k.data(), 10, 0), nullptr);   // not attached
    EXPECT_EQ(cache.Lookup(k.data()), nullptr);
    EXPECT_EQ(cache.Detach(), nullptr);
    EXPECT_EQ(cache.Attach(nullptr, 4), 0);
    EXPECT_EQ(cache.Attach(arena, 0), 0);
    EXPECT_EQ(cache.Attach(arena, 16), 1);
    EXPECT_EQ(cache.Attach(arena, 16), 0);   // attached already
    EXPECT_EQ(cache.GetKeyLength(), 16);
    // Every entry takes at least the arena's unit: 63 fit in 65504 bytes.
    uint32_t inserted = 0;
    for (;; ++inserted) {
        std::array<unsigned char, 16> key{};
        std::memcpy(key.data(), &inserted, sizeof inserted);
        if (!cache.Insert(key.data(), 0, 1)) break;
    }
    EXPECT_EQ(inserted, 63u);
    EXPECT_EQ(cache.GetEntryCount(), 63);
    EXPECT_EQ(cache.Detach(), arena);
    EXPECT_EQ(DestroySharedBlock(arena), 1);
}

TEST(BlockCache, ThreadsHammerInsertLookupRelease) {
    platform::FakeClock clock(5000);
    platform::ScopedClock useClock(clock);
    MgrSharedBlock* arena = CreateSharedBlock("CACHETHREADS", 64, 65536, 1);
    ASSERT_NE(arena, nullptr);
    CMgrCache cache;
    ASSERT_EQ(cache.Attach(arena, 4), 1);

    constexpr int kThreads = 8;
    constexpr int kRounds = 3000;
    constexpr uint32_t kKeys = 96;   // more than fit at once: entries churn
    auto sizeOf = [](uint32_t key) { return size_t{64} + (key * 53) % 1200; };
    std::atomic<int> bad{0};
    std::atomic<int> served{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            std::mt19937 rng(static_cast<unsigned>(t));
            for (int i = 0; i < kRounds; ++i) {
                const uint32_t key = rng() % kKeys;
                const Key k = K(key);
                auto* data = static_cast<unsigned char*>(cache.Lookup(k.data()));
                if (!data) {
                    // Miss and fill form one step under the cache lock.
                    cache.Lock();
                    data = static_cast<unsigned char*>(cache.Lookup(k.data(), 0));
                    if (!data) {
                        data = static_cast<unsigned char*>(cache.Insert(k.data(), sizeOf(key), 0, 0));
                        if (data) std::memset(data, static_cast<int>(key), sizeOf(key));
                    }
                    cache.Unlock();
                }
                if (!data) continue;   // everything referenced at the moment
                // While referenced, nobody may reuse or move the data.
                const size_t n = sizeOf(key);
                if (std::count(data, data + n, static_cast<unsigned char>(key)) != static_cast<long>(n)) bad.fetch_add(1);
                served.fetch_add(1);
                if (cache.Release(k.data()) != 1) bad.fetch_add(1);
                if (t == 0 && i % 50 == 0) clock.Advance(700);
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(bad.load(), 0);
    EXPECT_GT(served.load(), kThreads * kRounds / 2);
    cache.Lock();
    for (uint32_t key = 0; key < kKeys; ++key) {
        const Key k = K(key);
        if (MgrCacheEntry* e = cache.Find(k.data())) {
            EXPECT_EQ(e->refCount, 0) << key;
        }
    }
    cache.Unlock();
    EXPECT_EQ(cache.Detach(), arena);
    EXPECT_EQ(DestroySharedBlock(arena), 1);
}

}  // namespace
