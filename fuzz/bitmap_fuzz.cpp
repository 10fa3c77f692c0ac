// BMP files and packed bitmaps as the style file holds them: whatever the
// bytes, loading either refuses them or yields an image whose every pixel
// can be read and used as a pattern.
#include <cstddef>
#include <cstdint>

#include "render/bitmap.h"
#include "render/egl_draw.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CMneBitmap bmp;
    for (int packed = 0; packed < 2; ++packed) {
        const int ok = packed ? bmp.LoadPackedDib(data, size) : bmp.LoadFromMemory(data, size);
        if (!ok) continue;
        uint32_t sum = 0;
        for (int32_t y = 0; y < bmp.Height(); ++y)
            for (int32_t x = 0; x < bmp.Width(); ++x) sum += bmp.PixelColor(x, y);
        EglPattern565 pattern;
        if (bmp.ToPattern(pattern)) {
            DibImage565 image(16, 16);
            CEglDraw draw;
            draw.Attach(image);
            const EglPoint quad[] = {{-3, -2}, {17, 1}, {14, 18}, {1, 12}};
            draw.PolygonPattern(quad, 4, pattern);
        }
        if (sum == 0xFFFFFFFF) return 0;  // keeps the reads from being optimised away
    }
    return 0;
}
