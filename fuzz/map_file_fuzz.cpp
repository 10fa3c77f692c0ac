// Tiled map files: header, level tables and blocks from untrusted bytes,
// through the non-cached and the cached reader.
#include <string>

#include "fuzz/fuzz_support.h"
#include "mapdb/block_view.h"
#include "mapdb/cache_map_file.h"
#include "mapdb/map_file.h"

namespace {

// Blocks start with a u32 offset that must lie inside the block.
int CheckOffsets(const uint8_t* data, uint32_t size) {
    if (size < 4) return 1;
    MneBlockView view(data, size);
    platform::ByteReader in = view.Reader(0);
    const uint32_t at = in.U32();
    return view.Resolve(at, 0) ? 1 : 0;
}

struct Plain : CMneNonCacheMapFile {
    const uint8_t* QueryBlock(const MneTileKey&) override { return nullptr; }
    const uint8_t* GetBlock(const MneTileKey&, int*) override { return nullptr; }
    int FixupBlock(const uint8_t* d, uint32_t s) override { return CheckOffsets(d, s); }
};
struct Cached : CMneCacheMapFile {
    int FixupBlock(const uint8_t* d, uint32_t s) override { return CheckOffsets(d, s); }
};

const std::string& Path() {
    static const std::string path = fuzzsupport::MakeMemoryFolder("map_file_fuzz") + "/f.map";
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static MgrSharedBlock* arena = CreateSharedBlock(std::string_view("MAPFILEFUZZ"), 1024, 4 << 20, 0);
    fuzzsupport::WriteBytes(Path(), data, size);

    // Keys to try: every level at (0, 0), at the grid's far corner and at a
    // tile taken from the last bytes of the input.
    const int32_t fromInput = size >= 4 ? static_cast<int32_t>(data[size - 1] | (data[size - 2] << 8)) : 1;
    Plain plain;
    if (plain.Open(Path()) && plain.AttachBuffer(1, 1)) {
        for (int level = 0; level <= 7; ++level) {
            const int32_t n = MneLevelTileCount(level);
            for (MneTileKey key : {MneTileKey{level, 0, 0}, MneTileKey{level, n - 1, n - 1},
                                   MneTileKey{level, fromInput % (n ? n : 1), fromInput / 7 % (n ? n : 1)}}) {
                uint32_t got = 0;
                if (const uint8_t* b = plain.LoadBlock(key, 1, &got)) {
                    volatile uint8_t sink = 0;
                    for (uint32_t i = 0; i < got; ++i) sink = sink + b[i];
                }
            }
        }
    }
    Cached cached;
    if (arena && cached.Open(Path()) && cached.AttachCache(arena, 1)) {
        for (int level = 1; level <= 6; ++level) {
            const MneTileKey key{level, 0, 0};
            uint32_t got = 0;
            int hit = 0;
            if (const uint8_t* b = cached.GetBlock(key, &hit, &got)) {
                volatile uint8_t sink = got ? b[got - 1] : 0;
                (void)sink;
                cached.ReleaseBlock(key);
            }
        }
        cached.DetachCache();
    }
    return 0;
}
