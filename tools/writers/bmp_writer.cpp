#include "tools/writers/bmp_writer.h"

#include "platform/byte_cursor.h"

namespace bmpwriter {

std::vector<uint8_t> BuildPackedDib(const BmpDesc& desc) {
    platform::ByteWriter w;
    const int32_t bpp = desc.bitsPerPixel;
    const bool masks = bpp == 16 && desc.bitfields565;
    w.U32(40);
    w.I32(desc.width);
    w.I32(desc.topDown ? -desc.height : desc.height);
    w.U16(1);
    w.U16(static_cast<uint16_t>(bpp));
    w.U32(masks ? 3 : 0);
    const int32_t stride = (desc.width * bpp + 31) / 32 * 4;
    w.U32(static_cast<uint32_t>(stride * desc.height));
    w.I32(2835);
    w.I32(2835);
    w.U32(bpp <= 8 ? static_cast<uint32_t>(desc.palette.size()) : 0);
    w.U32(0);
    if (masks) {
        w.U32(0xF800);
        w.U32(0x07E0);
        w.U32(0x001F);
    }
    if (bpp <= 8)
        for (uint32_t c : desc.palette) {
            w.U8(static_cast<uint8_t>(c >> 16));
            w.U8(static_cast<uint8_t>(c >> 8));
            w.U8(static_cast<uint8_t>(c));
            w.U8(0);
        }
    for (int32_t i = 0; i < desc.height; ++i) {
        const int32_t y = desc.topDown ? i : desc.height - 1 - i;
        std::vector<uint8_t> row(static_cast<size_t>(stride), 0);
        for (int32_t x = 0; x < desc.width; ++x) {
            const uint32_t c = desc.pixels[static_cast<size_t>(y) * desc.width + x];
            const uint8_t r = c & 0xFF, g = (c >> 8) & 0xFF, b = (c >> 16) & 0xFF;
            switch (bpp) {
                case 1:
                case 4:
                case 8: {
                    const int32_t bit = x * bpp;
                    row[bit / 8] |= static_cast<uint8_t>((c & ((1u << bpp) - 1)) << (8 - bpp - bit % 8));
                    break;
                }
                case 16: {
                    const uint16_t v = masks ? static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3))
                                             : static_cast<uint16_t>(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
                    row[x * 2] = static_cast<uint8_t>(v);
                    row[x * 2 + 1] = static_cast<uint8_t>(v >> 8);
                    break;
                }
                case 24:
                    row[x * 3] = b;
                    row[x * 3 + 1] = g;
                    row[x * 3 + 2] = r;
                    break;
                case 32:
                    row[x * 4] = b;
                    row[x * 4 + 1] = g;
                    row[x * 4 + 2] = r;
                    row[x * 4 + 3] = 0xFF;
                    break;
                default: break;
            }
        }
        w.Bytes(row.data(), row.size());
    }
    return w.Data();
}

std::vector<uint8_t> BuildBmp(const BmpDesc& desc) {
    const std::vector<uint8_t> dib = BuildPackedDib(desc);
    const uint32_t masksBytes = (desc.bitsPerPixel == 16 && desc.bitfields565) ? 12 : 0;
    const uint32_t paletteBytes = desc.bitsPerPixel <= 8 ? static_cast<uint32_t>(desc.palette.size() * 4) : 0;
    platform::ByteWriter w;
    w.U16(0x4D42);
    w.U32(static_cast<uint32_t>(14 + dib.size()));
    w.U16(0);
    w.U16(0);
    w.U32(14 + 40 + masksBytes + paletteBytes);
    w.Bytes(dib.data(), dib.size());
    return w.Data();
}

}  // namespace bmpwriter
