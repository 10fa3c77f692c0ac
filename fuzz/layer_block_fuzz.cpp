// Drawing layer blocks from untrusted bytes: the first byte picks the
// layout (Base, POI, Theme, TpegLink, RoadAttr), the rest is the block. The
// validator must refuse whatever leaves the block, and the walker must hand
// out only records that lie inside an accepted block.
#include <cstdlib>

#include "render/layer_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > (1u << 20)) return 0;
    const auto kind = static_cast<MneLayerKind>(data[0] % 5);
    const uint8_t* block = data + 1;
    const uint32_t blockSize = static_cast<uint32_t>(size - 1);
    const int accepted = MneCheckLayerBlock(kind, block, blockSize);
    const int visited = MneWalkLayerBlock(kind, block, blockSize, [&](const MneLayerRecord& r) {
        if (r.bytes < block || r.bytes + r.recordBytes > block + blockSize) std::abort();
        return true;
    });
    if ((accepted == 1) != (visited >= 0)) std::abort();
    return 0;
}
