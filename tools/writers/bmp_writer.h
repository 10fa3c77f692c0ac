#pragma once
// Writes BMP file images for tests and the demo data: 1, 4, 8 bits through
// a colour table, 16 bits as 5-5-5 or with 5-6-5 bit-field masks, 24 and
// 32 bits. Pixels are given as 0x00BBGGRR colours, rows top-down.
#include <cstdint>
#include <vector>

namespace bmpwriter {

struct BmpDesc {
    int32_t width = 0;
    int32_t height = 0;
    int32_t bitsPerPixel = 24;
    bool topDown = false;        // negative height, rows stored top first
    bool bitfields565 = false;   // 16 bits: BI_BITFIELDS 0xF800/0x07E0/0x001F
    std::vector<uint32_t> palette;  // 1, 4, 8 bits: the colour table
    std::vector<uint32_t> pixels;   // colours, or palette indexes for 1/4/8
};

// The whole file ("BM", 14-byte file header, 40-byte bitmap header, masks or
// colour table, rows padded to 4 bytes).
std::vector<uint8_t> BuildBmp(const BmpDesc& desc);
// The same without the 14-byte file header (a packed bitmap).
std::vector<uint8_t> BuildPackedDib(const BmpDesc& desc);

}  // namespace bmpwriter
