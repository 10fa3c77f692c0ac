// Keyed lookups in a block cache of map-tile sized entries.
#include <benchmark/benchmark.h>

#include <array>
#include <cstring>

#include "foundation/block_cache.h"

namespace {

// 16-byte keys like the cached map files: {cache id, level, x, y}.
using Key = std::array<int32_t, 4>;
Key TileKey(int32_t i) { return {1, 3, i % 97, i / 97}; }

struct Filled {
    explicit Filled(int entries) {
        arena = CreateSharedBlock("BENCHCACHE", 1024, 16 << 20, 1);
        cache.Attach(arena, sizeof(Key));
        for (int i = 0; i < entries; ++i) {
            const Key k = TileKey(i);
            if (void* d = cache.Insert(k.data(), 2000, 0)) {
                std::memset(d, 1, 2000);
                cache.Release(k.data());
            }
        }
    }
    ~Filled() {
        cache.Detach();
        DestroySharedBlock(arena);
    }
    MgrSharedBlock* arena;
    CMgrCache cache;
};

void BM_CacheLookupHit(benchmark::State& state) {
    const int entries = static_cast<int>(state.range(0));
    Filled f(entries);
    int i = 0;
    for (auto _ : state) {
        const Key k = TileKey(i);
        void* d = f.cache.Lookup(k.data());
        benchmark::DoNotOptimize(d);
        f.cache.Release(k.data());
        i = (i + 7) % entries;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CacheLookupHit)->Arg(64)->Arg(1024)->Arg(4096);

void BM_CacheLookupMiss(benchmark::State& state) {
    const int entries = static_cast<int>(state.range(0));
    Filled f(entries);
    int i = 0;
    for (auto _ : state) {
        const Key k = TileKey(entries + i);
        void* d = f.cache.Lookup(k.data());
        benchmark::DoNotOptimize(d);
        i = (i + 1) % 1000;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CacheLookupMiss)->Arg(64)->Arg(1024)->Arg(4096);

// A miss that inserts into a full arena: the entry comes from the reuse
// list, an eviction or compaction.
void BM_CacheInsertChurn(benchmark::State& state) {
    Filled f(0);
    int i = 0;
    for (auto _ : state) {
        const Key k = TileKey(i++);
        if (f.cache.Insert(k.data(), 2000, 0)) f.cache.Release(k.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CacheInsertChurn);

}  // namespace
