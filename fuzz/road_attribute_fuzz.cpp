// Road-attribute blocks from untrusted bytes (a u16 record count, the u32
// offset of the records, 7-byte records): the walker must hand out only
// records that lie whole inside the block, however large the count or the
// offset, and each record's direction symbol and push must stay in range.
#include <cstdlib>

#include "render/map_overlays.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    const auto blockSize = static_cast<uint32_t>(size);
    int visited = 0;
    const int walked = WalkRoadAttributes(data, blockSize, [&](const MneRoadAttribute& a) {
        ++visited;
        // The set sizes a style may hold: none, one, some that do not
        // divide 360, and more than 360.
        for (int count : {0, 1, 7, 36, 361, 1000}) {
            const int index = DirectionSymbolIndex(a.directionDeg, count);
            if (count == 0 ? index != -1 : index < 0 || index >= count) std::abort();
        }
        const ScreenPoint anchor = PushedSymbolAnchor(a.directionDeg, 24, 24, RoadAttributePush(17));
        if (anchor.x < 12 - 200 || anchor.x > 12 + 200 || anchor.y < 12 - 200 || anchor.y > 12 + 200) std::abort();
    });
    if (walked != visited || walked < 0) std::abort();
    if (static_cast<uint64_t>(walked) * 7 > size) std::abort();
    return 0;
}
