// Allocation and free inside a named block, against the C heap.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

#include "foundation/memory_heap.h"

namespace {

// One allocation freed at once: the rover and the merge with both neighbours.
void BM_ArenaAllocFree(benchmark::State& state) {
    const auto size = static_cast<size_t>(state.range(0));
    MgrSharedBlock* block = CreateSharedBlock("BENCHARENA", 64, 4 << 20, 1);
    for (auto _ : state) {
        void* p = SharedBlockAlloc(block, size);
        benchmark::DoNotOptimize(p);
        SharedBlockFree(p);
    }
    state.SetItemsProcessed(state.iterations());
    DestroySharedBlock(block);
}
BENCHMARK(BM_ArenaAllocFree)->Arg(16)->Arg(1024)->Arg(16384);

// A working set of 256 live allocations of mixed sizes, one replaced per
// iteration (fragmentation and next-fit search).
void BM_ArenaChurn(benchmark::State& state) {
    MgrSharedBlock* block = CreateSharedBlock("BENCHCHURN", 64, 4 << 20, 1);
    std::vector<void*> live(256, nullptr);
    unsigned seed = 1;
    for (auto& p : live) p = SharedBlockAlloc(block, 64 + (seed = seed * 1103515245 + 12345) % 4000);
    size_t i = 0;
    for (auto _ : state) {
        SharedBlockFree(live[i]);
        live[i] = SharedBlockAlloc(block, 64 + (seed = seed * 1103515245 + 12345) % 4000);
        benchmark::DoNotOptimize(live[i]);
        i = (i + 1) % live.size();
    }
    state.SetItemsProcessed(state.iterations());
    for (void* p : live) SharedBlockFree(p);
    DestroySharedBlock(block);
}
BENCHMARK(BM_ArenaChurn);

void BM_MgrAllocFree(benchmark::State& state) {
    for (auto _ : state) {
        void* p = MgrAlloc(100);
        benchmark::DoNotOptimize(p);
        MgrFree(p);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MgrAllocFree);
BENCHMARK(BM_MgrAllocFree)->Threads(4);

void BM_MallocFree(benchmark::State& state) {
    for (auto _ : state) {
        void* p = std::malloc(100);
        benchmark::DoNotOptimize(p);
        std::free(p);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MallocFree);

}  // namespace
