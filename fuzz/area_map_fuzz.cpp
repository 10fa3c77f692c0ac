// Area block bytes (Address.map / City.map): the first byte picks the entry
// size, the rest is a freshly read block. An accepted block is searched for
// points in and around every area's box, reading only inside the block.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "foundation/debug_trace.h"
#include "mapdb/area_map_file.h"
#include "platform/byte_cursor.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = (SetDebugTraceLevel(0), true);
    (void)quiet;
    if (size < 1 || size > (1u << 20)) return 0;
    const uint32_t entryBytes = (data[0] & 1) ? kMneCityEntryBytes : kMneAddressEntryBytes;
    // An exact copy, so that a read past the block lands outside memory the
    // sanitizer lets us touch.
    std::vector<uint8_t> block(data + 1, data + size);
    const uint32_t blockSize = static_cast<uint32_t>(block.size());
    if (MneCheckAreaBlock(block.data(), blockSize, entryBytes)) return 0;

    // Points in and around the first areas' boxes (corners and middle) and
    // one outside every box. The search is a function of the block and the
    // point, so a point met twice (areas sharing a box or a corner) is
    // searched once.
    platform::ByteReader header(block.data(), block.size());
    const uint16_t count = header.U16();
    const uint32_t entries = header.U32();
    std::vector<std::pair<int32_t, int32_t>> probes{{-1, -1}};
    for (uint32_t i = 0; i < count && i < 16; ++i) {
        platform::ByteReader e(block.data(), block.size());
        e.Seek(entries + i * entryBytes);
        const int32_t minY = e.U16(), minX = e.U16(), maxY = e.U16(), maxX = e.U16();
        probes.insert(probes.end(), {{minX, minY}, {maxX, maxY}, {(minX + maxX) / 2, (minY + maxY) / 2}});
    }
    std::sort(probes.begin(), probes.end());
    probes.erase(std::unique(probes.begin(), probes.end()), probes.end());
    for (const auto& [x, y] : probes) {
        uint32_t code = 0;
        MneFindAreaInBlock(block.data(), blockSize, entryBytes, x, y, &code);
    }
    return 0;
}
