// Image packages: the first byte picks a "1.0" UI package, a 0x0101 named
// package or a name table; package bytes may carry a name table after a
// "\n#idx\n" marker. Every entry the package opens with is then loaded.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/debug_trace.h"
#include "uikit/image_resource.h"

namespace {

// The bytes before and after the name-table marker.
void Split(const uint8_t* data, size_t size, const uint8_t*& names, size_t& namesSize, size_t& packageSize) {
    static const char kMarker[] = "\n#idx\n";
    names = nullptr;
    namesSize = 0;
    packageSize = size;
    const size_t m = sizeof kMarker - 1;
    for (size_t i = 0; i + m <= size; ++i) {
        if (std::memcmp(data + i, kMarker, m) == 0) {
            packageSize = i;
            names = data + i + m;
            namesSize = size - i - m;
            return;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = (SetDebugTraceLevel(0), true);
    (void)quiet;
    static std::vector<uint8_t> scratch(size_t{800} * 480 * 2);
    if (size < 1) return 0;
    const int kind = data[0] % 3;
    ++data;
    --size;
    const uint8_t* names = nullptr;
    size_t namesSize = 0, packageSize = 0;
    Split(data, size, names, namesSize, packageSize);
    long sum = 0;
    if (kind == 0) {
        ResourceLoader loader;
        if (!loader.OpenBytes(data, packageSize, names, namesSize)) return 0;
        const int count = loader.Count() < 64 ? loader.Count() : 64;
        for (int entry = 0; entry <= count + 1; ++entry) {
            std::unique_ptr<NvImageData> image = loader.LoadImage(entry, 2000 + entry, scratch.data(), scratch.size());
            if (image) sum += image->Pixel(image->width - 1, 0) + image->Alpha(0, image->height - 1);
        }
        sum += loader.FindId("LANE_00000001", 2);
    } else if (kind == 1) {
        NvResourceLoaderEx reader;
        if (!reader.OpenBytes(data, packageSize, names, namesSize)) return 0;
        const int count = reader.Count() < 64 ? reader.Count() : 64;
        for (int entry = 0; entry <= count + 1; ++entry) {
            int x = 0, y = 0, w = 0, h = 0;
            sum += reader.GetInfo(entry, &x, &y, &w, &h);
            if (NvImageData* image = reader.LoadImage(entry)) {
                sum += image->Pixel(image->width - 1, image->height - 1);
                NvResourceLoaderEx::FreeImage(image);
            }
        }
        sum += reader.FindIndex(u"cross_001");
    } else {
        NvNameTable table;
        if (table.Parse(data, size)) sum += table.Find("LANE_00000001") + table.Find(std::string(40, 'A'));
    }
    return sum == 0x7FFFFFFF ? 1 : 0;
}
