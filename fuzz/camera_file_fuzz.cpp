// Camera block bytes: checked as a freshly read block; an accepted block is
// searched for every key and listed link it holds, reading only inside it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "foundation/debug_trace.h"
#include "mapdb/camera_file.h"
#include "platform/byte_cursor.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = (SetDebugTraceLevel(0), true);
    (void)quiet;
    if (size > (1u << 20)) return 0;
    // An exact copy, so that any read past the block lands outside memory
    // the sanitizer lets us touch.
    std::vector<uint8_t> block(data, data + size);
    const uint32_t blockSize = static_cast<uint32_t>(block.size());
    if (MneCheckCameraBlock(block.data(), blockSize)) return 0;

    // Link ids worth asking for: the keys of list A and the first link of
    // each record, plus one that is surely absent.
    std::vector<uint32_t> ids{0, 0xFFFFFFFFu};
    platform::ByteReader header(block.data(), block.size());
    const uint16_t countA = header.U16();
    header.U16();
    const uint32_t listA = header.U32();
    for (uint32_t i = 0; i < countA && ids.size() < 64; ++i) {
        platform::ByteReader entry(block.data(), block.size());
        entry.Seek(listA + i * kMneCameraEntryBytes);
        ids.push_back(entry.U32());
    }

    CMneCameraResults results;
    if (!results.Allocate()) return 0;
    for (uint32_t id : ids) {
        results.Clear();
        MneCollectCameras(block.data(), blockSize, id, results);
        for (uint32_t k = 0; k < results.Count(); ++k) {
            const MneCameraResult& r = results.Data()[k];
            const uint8_t* list = r.linkList;
            if (list < block.data() || list + r.linkCount * kMneCameraLinkEntryBytes > block.data() + block.size())
                std::abort();
        }
    }
    return 0;
}
