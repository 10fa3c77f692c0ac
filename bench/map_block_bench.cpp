// Blocks of tiled map files read (and inflated) per second: the non-cached
// reader versus the cached one, cold and warm, on the demo district and on
// a generated large file.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "mapdb/cache_map_file.h"
#include "mapdb/map_file.h"
#include "platform/byte_cursor.h"
#include "platform/file_io.h"
#include "tools/writers/demo_map.h"
#include "tools/writers/map_container_writer.h"

namespace {

struct NonCached : CMneNonCacheMapFile {
    const uint8_t* QueryBlock(const MneTileKey&) override { return nullptr; }
    const uint8_t* GetBlock(const MneTileKey&, int*) override { return nullptr; }
    int FixupBlock(const uint8_t*, uint32_t) override { return 1; }
};
struct Cached : CMneCacheMapFile {
    int FixupBlock(const uint8_t*, uint32_t) override { return 1; }
};

struct Dataset {
    std::string path;
    std::vector<MneTileKey> keys;
    uint64_t bytes = 0;  // unpacked bytes of all blocks
};

std::string Folder() {
    static const std::string folder = [] {
        char dir[] = "/tmp/mapblockbenchXXXXXX";
        if (!mkdtemp(dir)) std::abort();
        return std::string(dir);
    }();
    return folder;
}

// Every block of a file, found by asking each tile of the levels used.
void CollectKeys(Dataset& d, int level, int32_t x0, int32_t y0, int32_t side) {
    NonCached f;
    f.Open(d.path);
    for (int32_t y = y0; y < y0 + side; ++y) {
        for (int32_t x = x0; x < x0 + side; ++x) {
            uint32_t off, size, packed;
            if (f.LocateBlock({level, x, y}, &off, &size, &packed)) {
                d.keys.push_back({level, x, y});
                d.bytes += size;
            }
        }
    }
}

const Dataset& Demo(bool packed) {
    static Dataset sets[2];
    Dataset& d = sets[packed];
    if (d.path.empty()) {
        d.path = Folder() + (packed ? "/demo_packed.map" : "/demo_plain.map");
        platform::AtomicReplaceFile(d.path, writers::BuildDemoTileContainer(packed));
        const MapPoint corner = writers::DemoLinks().front().shape.front();
        for (int level = 1; level <= 6; ++level) {
            const int32_t side = GetLevelTileSide(level);
            // The district spans less than 0.06 degree: 16 level-1 tiles.
            CollectKeys(d, level, corner.x / side - 16, corner.y / side - 16, 40);
        }
    }
    return d;
}

// 64 x 64 level-4 tiles of 4 KB each: records of link-like values that pack
// to about a third, as road data does.
const Dataset& Large(bool packed) {
    static Dataset sets[2];
    Dataset& d = sets[packed];
    if (d.path.empty()) {
        d.path = Folder() + (packed ? "/large_packed.map" : "/large_plain.map");
        writers::MapContainerWriter w(packed);
        uint32_t seed = 12345;
        for (int y = 100; y < 164; ++y) {
            for (int x = 100; x < 164; ++x) {
                platform::ByteWriter b;
                int32_t px = x * 524288, py = y * 524288;
                for (int i = 0; i < 256; ++i) {
                    seed = seed * 1103515245u + 12345u;
                    b.U32(static_cast<uint32_t>(x * 1000 + i));
                    b.U16(static_cast<uint16_t>(seed >> 20 & 7));
                    b.U16(static_cast<uint16_t>(i & 3));
                    px += static_cast<int32_t>(seed >> 24) - 128;
                    py += static_cast<int32_t>(seed >> 16 & 0xFF) - 128;
                    b.I32(px);
                    b.I32(py);
                }
                w.AddBlock(4, x, y, b.Data());
            }
        }
        w.WriteFile(d.path);
        CollectKeys(d, 4, 100, 100, 64);
    }
    return d;
}

const Dataset& Pick(int which, bool packed) { return which == 0 ? Demo(packed) : Large(packed); }

void Label(benchmark::State& state, const Dataset& d, bool packed, int which) {
    state.SetLabel(std::string(which == 0 ? "demo " : "large ") + (packed ? "packed" : "plain") + " (" +
                   std::to_string(d.keys.size()) + " blocks)");
}

// Non-cached: every load reads (and inflates) because the key changes.
void BM_NonCachedLoad(benchmark::State& state) {
    const int which = static_cast<int>(state.range(0));
    const bool packed = state.range(1) != 0;
    const Dataset& d = Pick(which, packed);
    NonCached f;
    f.Open(d.path);
    f.AttachBuffer(1, 1);
    size_t i = 0;
    uint64_t bytes = 0;
    for (auto _ : state) {
        const MneTileKey& key = d.keys[i++ % d.keys.size()];
        uint32_t size = 0;
        benchmark::DoNotOptimize(f.LoadBlock(key, 1, &size));
        bytes += size;
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    Label(state, d, packed, which);
}

// Cached, cold: each pass starts with an empty cache, so every block is
// read, inflated and inserted.
void BM_CachedCold(benchmark::State& state) {
    const int which = static_cast<int>(state.range(0));
    const bool packed = state.range(1) != 0;
    const Dataset& d = Pick(which, packed);
    MgrSharedBlock* arena = CreateSharedBlock(std::string_view("MAPBENCHCOLD"), 1024, 64u << 20, 0);
    Cached f;
    f.Open(d.path);
    uint64_t blocks = 0;
    for (auto _ : state) {
        state.PauseTiming();
        f.DetachCache();
        f.AttachCache(arena, 1);
        state.ResumeTiming();
        for (const auto& key : d.keys) {
            benchmark::DoNotOptimize(f.GetBlock(key, nullptr));
            f.ReleaseBlock(key);
        }
        blocks += d.keys.size();
    }
    f.DetachCache();
    DestroySharedBlock(arena);
    state.SetItemsProcessed(static_cast<int64_t>(blocks));
    state.SetBytesProcessed(static_cast<int64_t>(blocks / d.keys.size() * d.bytes));
    Label(state, d, packed, which);
}

// Cached, warm: every block is already in the cache.
void BM_CachedHit(benchmark::State& state) {
    const int which = static_cast<int>(state.range(0));
    const bool packed = state.range(1) != 0;
    const Dataset& d = Pick(which, packed);
    MgrSharedBlock* arena = CreateSharedBlock(std::string_view("MAPBENCHHIT"), 1024, 64u << 20, 0);
    Cached f;
    f.Open(d.path);
    f.AttachCache(arena, 1);
    for (const auto& key : d.keys) {
        f.GetBlock(key, nullptr);
        f.ReleaseBlock(key);
    }
    size_t i = 0;
    int hits = 0;
    for (auto _ : state) {
        const MneTileKey& key = d.keys[i++ % d.keys.size()];
        int fromCache = 0;
        benchmark::DoNotOptimize(f.GetBlock(key, &fromCache));
        hits += fromCache;
        f.ReleaseBlock(key);
    }
    f.DetachCache();
    DestroySharedBlock(arena);
    state.SetItemsProcessed(state.iterations());
    state.counters["hit_ratio"] = state.iterations() ? static_cast<double>(hits) / state.iterations() : 0;
    Label(state, d, packed, which);
}

void Args(benchmark::internal::Benchmark* b) {
    for (int which : {0, 1})
        for (int packed : {0, 1}) b->Args({which, packed});
}

BENCHMARK(BM_NonCachedLoad)->Apply(Args);
BENCHMARK(BM_CachedCold)->Apply(Args);
BENCHMARK(BM_CachedHit)->Apply(Args);

}  // namespace
