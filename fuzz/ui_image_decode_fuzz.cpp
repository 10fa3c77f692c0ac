// Image records: the first byte picks an "MBDF" record decoded as a
// bitmap, an alpha image, a JPEG entry or a data image, or a bare JPEG
// file. Every decoded pixel and alpha entry must be readable.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "foundation/debug_trace.h"
#include "uikit/image_resource.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = (SetDebugTraceLevel(0), true);
    (void)quiet;
    // Smaller than the screen so that the size refusals are reached often.
    static std::vector<uint8_t> scratch(size_t{320} * 240 * 2);
    if (size < 1) return 0;
    static const int32_t kKinds[] = {RESOURCE_BMP, RESOURCE_ALPHA, RESOURCE_JPG, RESOURCE_DATA};
    const int pick = data[0] % 5;
    long sum = 0;
    if (pick < 4) {
        std::unique_ptr<NvImageData> image = NvDecodeMbdf(data + 1, size - 1, kKinds[pick], scratch.data(), scratch.size());
        if (image) {
            for (int32_t y = 0; y < image->height; y += 7)
                for (int32_t x = 0; x < image->width; x += 5) sum += image->Pixel(x, y) + image->Alpha(x, y);
        }
    } else {
        int32_t w = 0, h = 0;
        if (NvDecodeJpeg(data + 1, size - 1, scratch.data(), scratch.size(), &w, &h)) {
            if (static_cast<size_t>(w) * h * 2 > scratch.size()) __builtin_trap();
            sum += scratch[static_cast<size_t>(w) * h * 2 - 1];
        }
    }
    return sum == 0x7FFFFFFF ? 1 : 0;
}
