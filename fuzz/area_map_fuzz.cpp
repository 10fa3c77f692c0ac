// Area block bytes (Address.map / City.map): the first byte picks the entry
// size, the rest is a freshly read block. An accepted block is searched for
// points in and around every area's box, reading only inside the block.
#include <cstddef>
#include <cstdint>
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

    platform::ByteReader header(block.data(), block.size());
    const uint16_t count = header.U16();
    const uint32_t entries = header.U32();
    for (uint32_t i = 0; i < count && i < 16; ++i) {
        platform::ByteReader e(block.data(), block.size());
        e.Seek(entries + i * entryBytes);
        const int32_t minY = e.U16(), minX = e.U16(), maxY = e.U16(), maxX = e.U16();
        const int32_t probes[][2] = {{minX, minY}, {maxX, maxY}, {(minX + maxX) / 2, (minY + maxY) / 2}, {-1, -1}};
        for (const auto& p : probes) {
            uint32_t code = 0;
            MneFindAreaInBlock(block.data(), blockSize, entryBytes, p[0], p[1], &code);
        }
    }
    return 0;
}
