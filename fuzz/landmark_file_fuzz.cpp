// The landmark image file: the input is a whole file. Whatever the index
// loader accepts is read landmark by landmark: the record, its image record
// and its name, and the image bytes the record points at must lie inside
// the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "render/style_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static CConfigManager manager;
    if (!manager.LoadLandmarkIndexFromMemory(data, size)) return 0;
    uint32_t sum = 0;
    for (const StyleLandmark& l : manager.Landmarks()) {
        const uint32_t bytes = l.image.U32(12), at = l.image.U32(16);
        if (bytes && (at > size || bytes > size - at)) std::abort();   // an image outside the file got through
        if (bytes) sum += data[at] + data[at + bytes - 1];
        sum += l.record.U32(0) + l.record.U16(26) + static_cast<uint32_t>(std::strlen(l.name));
    }
    if (manager.UnnamedLandmarkCount() > manager.LandmarkCount()) std::abort();
    return sum == 0xFFFFFFFF ? 1 : 0;
}
