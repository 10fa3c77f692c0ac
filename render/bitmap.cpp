#include "render/bitmap.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

#include "foundation/memory_heap.h"
#include "platform/byte_cursor.h"
#include "platform/file_io.h"
#include "render/egl_draw.h"

namespace {

constexpr uint16_t kBmpSignature = 0x4D42;  // "BM"
constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiBitfields = 3;
constexpr uint32_t kBiAlphaBitfields = 6;

// One channel under a bit-field mask, widened to 8 bits by shifting up
// (5 bits << 3, 6 bits << 2), or cut to its top 8 bits.
uint8_t MaskedChannel(uint32_t value, uint32_t mask) {
    if (mask == 0) return 0;
    const int shift = std::countr_zero(mask);
    const int bits = std::countr_one(mask >> shift);
    const uint32_t v = (value & mask) >> shift;
    return static_cast<uint8_t>(bits >= 8 ? v >> (bits - 8) : v << (8 - bits));
}

int32_t RoundUpPow2(int32_t v) {
    int32_t p = 2;
    while (p < v) p <<= 1;
    return p;
}

uint16_t Load16(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}
void Store16(uint8_t* p, uint16_t v) { std::memcpy(p, &v, 2); }

// The common part of both blits; sx1/sy1 are exclusive.
int BlitRect(const MneBitmapDesc* dst, int32_t x, int32_t y, int32_t width, int32_t height, const MneBitmapDesc* src,
             int32_t sx0, int32_t sy0, int32_t sx1, int32_t sy1, bool keyed, uint32_t keyColor, int32_t grey) {
    if (dst == nullptr || src == nullptr || dst->bits == nullptr || src->bits == nullptr) return 0;
    if (dst->bitsPixel != 16 || src->bitsPixel != 16) return 0;
    if (width <= 0 || height <= 0) return 0;
    const int64_t right = static_cast<int64_t>(x) + width, bottom = static_cast<int64_t>(y) + height;
    if (right <= 0 || bottom <= 0) return 0;
    // A description whose rows do not hold its width would send the copy
    // outside the pixels: refused, nothing copied.
    if (dst->width < 0 || dst->height < 0 || src->width < 0 || src->height < 0 ||
        static_cast<int64_t>(dst->widthBytes) < int64_t{2} * dst->width ||
        static_cast<int64_t>(src->widthBytes) < int64_t{2} * src->width)
        return 0;
    const uint16_t key = Rgb565FromColor(keyColor);
    // Destination columns and rows that may be written (last ones excluded).
    const int64_t dxLo = std::max<int64_t>(x, 0), dxHi = std::min<int64_t>(right, dst->width - 1);
    const int64_t dyLo = std::max<int64_t>(y, 0), dyHi = std::min<int64_t>(bottom, dst->height - 1);
    // Source columns and rows that exist, mapped through the offset.
    const int64_t sxLo = std::max<int64_t>(sx0, 0), sxHi = std::min<int64_t>(sx1, src->width);
    const int64_t syLo = std::max<int64_t>(sy0, 0), syHi = std::min<int64_t>(sy1, src->height);
    const int64_t offX = static_cast<int64_t>(x) - sx0, offY = static_cast<int64_t>(y) - sy0;
    const int64_t colLo = std::max(dxLo, sxLo + offX), colHi = std::min(dxHi, sxHi + offX);  // [lo, hi)
    const int64_t rowLo = std::max(dyLo, syLo + offY), rowHi = std::min(dyHi, syHi + offY);
    auto* const dstBits = static_cast<uint8_t*>(dst->bits);
    const auto* const srcBits = static_cast<const uint8_t*>(src->bits);
    for (int64_t row = rowLo; row < rowHi; ++row) {
        const int64_t srow = row - offY;
        uint8_t* d = dstBits + (dst->height - 1 - row) * static_cast<int64_t>(dst->widthBytes);
        const uint8_t* s = srcBits + (src->height - 1 - srow) * static_cast<int64_t>(src->widthBytes);
        for (int64_t col = colLo; col < colHi; ++col) {
            uint16_t p = Load16(s + (col - offX) * 2);
            if (keyed && p == key) continue;
            if (grey == 1) p = GreyTable565[p];
            Store16(d + col * 2, p);
        }
    }
    return 1;
}

}  // namespace

int32_t DibStride(int32_t width, int32_t bitsPerPixel) {
    switch (bitsPerPixel) {
        case 1: return (width + 31) / 32 * 4;
        case 4: return (width + 7) / 8 * 4;
        case 8: return (width + 3) / 4 * 4;
        case 15:
        case 16: return (width + 1) / 2 * 4;
        case 24: return (3 * width + 3) / 4 * 4;
        default: return 4 * width;
    }
}

int CreatePow2Bitmap(MneBitmapDesc* desc, int32_t width, int32_t height, int32_t bitsPerPixel) {
    if (desc == nullptr || width < 1 || height < 1 || width > 16384 || height > 16384 || bitsPerPixel < 1 ||
        bitsPerPixel > 32)
        return 0;
    const int32_t w = RoundUpPow2(width), h = RoundUpPow2(height);
    const int32_t stride = (bitsPerPixel / 8 * w + 3) & ~3;
    const size_t bytes = static_cast<size_t>(std::max(stride, DibStride(w, bitsPerPixel))) * h;
    void* bits = MgrAlloc(bytes);
    if (bits == nullptr) return 0;
    std::memset(bits, 0, bytes);
    desc->type = 0;
    desc->width = w;
    desc->height = h;
    desc->widthBytes = stride;
    desc->planes = 1;
    desc->bitsPixel = static_cast<uint16_t>(bitsPerPixel);
    desc->bits = bits;
    return 1;
}

int FreePow2Bitmap(MneBitmapDesc* desc) {
    if (desc == nullptr) return 0;
    if (desc->bits != nullptr) MgrFree(desc->bits);
    desc->bits = nullptr;
    return 1;
}

int BlitKeyed(const MneBitmapDesc* dst, int32_t x, int32_t y, int32_t width, int32_t height, const MneBitmapDesc* src,
              int32_t sx0, int32_t sy0, int32_t sx1, int32_t sy1, uint32_t keyColor, int32_t grey) {
    return BlitRect(dst, x, y, width, height, src, sx0, sy0, sx1, sy1, true, keyColor, grey);
}

int Blit(const MneBitmapDesc* dst, int32_t x, int32_t y, int32_t width, int32_t height, const MneBitmapDesc* src,
         int32_t sx0, int32_t sy0, int32_t grey) {
    if (src == nullptr) return 0;
    return BlitRect(dst, x, y, width, height, src, sx0, sy0, src->width, src->height, false, 0, grey);
}

int CMneBitmap::LoadFromMemory(const uint8_t* data, size_t size) {
    if (data == nullptr) {
        m_error = "no data";
        return 0;
    }
    return Decode(data, size, 0, true, false);
}

int CMneBitmap::LoadPackedDib(const uint8_t* data, size_t size) {
    if (data == nullptr) {
        m_error = "no data";
        return 0;
    }
    return Decode(data, size, 0, false, true);
}

int CMneBitmap::LoadFromFile(const std::string& nativePath) {
    std::vector<uint8_t> bytes;
    std::string error;
    if (!platform::ReadWholeFile(nativePath, bytes, &error)) {
        m_error = "cannot read " + nativePath + ": " + error;
        return 0;
    }
    return LoadFromMemory(bytes.data(), bytes.size());
}

int CMneBitmap::Decode(const uint8_t* data, size_t size, size_t dibStart, bool hasFileHeader, bool decodePalette) {
    auto fail = [this](const char* why) {
        m_error = why;
        return 0;
    };
    platform::ByteReader r(data, size);
    r.Seek(dibStart);
    uint32_t pixelOffset = 0;
    if (hasFileHeader) {
        const uint16_t signature = r.U16();
        if (!r.Ok() || signature != kBmpSignature) return fail("not a BMP image (no \"BM\" signature)");
        r.U32();  // file size: often wrong in the wild, not relied on
        r.U16();
        r.U16();
        pixelOffset = r.U32();
        if (!r.Ok()) return fail("truncated file header");
    }
    const size_t infoStart = r.Position();
    const uint32_t headerSize = r.U32();
    if (!r.Ok()) return fail("truncated bitmap header");
    int32_t width = 0, height = 0;
    uint16_t bitsPerPixel = 0;
    uint32_t compression = kBiRgb, colorsUsed = 0;
    if (headerSize == 12) {  // core header: 16-bit sides, 3-byte palette entries
        width = r.U16();
        height = r.I16();
        r.U16();
        bitsPerPixel = r.U16();
    } else if (headerSize >= 40 && headerSize <= 1024) {
        width = r.I32();
        height = r.I32();
        r.U16();  // planes
        bitsPerPixel = r.U16();
        compression = r.U32();
        r.U32();  // image size
        r.I32();
        r.I32();
        colorsUsed = r.U32();
        r.U32();
    } else {
        return fail("unknown bitmap header size");
    }
    if (!r.Ok() || !r.Seek(infoStart + headerSize)) return fail("truncated bitmap header");

    uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};  // 16 bits without masks: 5-5-5
    bool haveMasks = false;
    size_t maskBytes = 0;
    if (compression == kBiBitfields || compression == kBiAlphaBitfields) {
        if (bitsPerPixel != 16 && bitsPerPixel != 32) return fail("bit-field masks need 16 or 32 bits per pixel");
        // The masks sit right after the 40-byte header: inside a larger
        // header, or following a plain one.
        if (headerSize == 40) maskBytes = compression == kBiAlphaBitfields ? 16 : 12;
        platform::ByteReader m(data, size);
        m.Seek(infoStart + 40);
        masks[0] = m.U32();
        masks[1] = m.U32();
        masks[2] = m.U32();
        if (!m.Ok()) return fail("truncated bit-field masks");
        haveMasks = true;
    } else if (compression != kBiRgb) {
        return fail("compressed bitmaps are not supported");
    }

    if (width <= 0 || height == 0 || height == INT32_MIN) return fail("bitmap has no pixels");
    const bool topDown = height < 0;
    const int32_t rows = topDown ? -height : height;
    if (width > kMaxSide || rows > kMaxSide || static_cast<int64_t>(width) * rows > kMaxPixels)
        return fail("bitmap size out of range");

    const bool knownDepth = bitsPerPixel == 1 || bitsPerPixel == 4 || bitsPerPixel == 8 || bitsPerPixel == 16 ||
                            bitsPerPixel == 24 || bitsPerPixel == 32;
    const size_t entryBytes = headerSize == 12 ? 3 : 4;
    size_t paletteCount = colorsUsed;
    if (bitsPerPixel <= 8 && knownDepth) {
        if (paletteCount == 0) paletteCount = size_t{1} << bitsPerPixel;
        if (paletteCount > 256) return fail("colour table larger than the depth allows");
    } else if (paletteCount > 65536) {
        return fail("colour table size out of range");
    }
    const size_t paletteStart = infoStart + headerSize + maskBytes;
    size_t pixelStart = paletteStart + paletteCount * entryBytes;
    if (hasFileHeader && pixelOffset != 0) {
        if (pixelOffset > size) return fail("pixel offset past the end of the file");
        if (pixelOffset < infoStart + headerSize) return fail("pixel offset inside the bitmap header");
        pixelStart = pixelOffset;
    }

    // Depths that are not converted still leave a cleared map, but only for
    // a file that holds the rows its header promises: a few bytes claiming
    // a huge image of an odd depth are refused like any truncated file.
    if (bitsPerPixel == 0) return fail("bitmap has no bits per pixel");
    const int64_t srcStride = (static_cast<int64_t>(width) * bitsPerPixel + 31) / 32 * 4;
    if (pixelStart > size || static_cast<uint64_t>(srcStride) * rows > size - pixelStart)
        return fail("truncated pixel data");
    if (knownDepth && bitsPerPixel <= 8 && decodePalette && paletteStart + paletteCount * entryBytes > size)
        return fail("truncated colour table");

    const int32_t dstStride = DibStride(width, 24);
    std::vector<uint8_t> pixels;
    try {
        pixels.assign(static_cast<size_t>(dstStride) * rows, 0);
    } catch (const std::bad_alloc&) {
        return fail("out of memory");
    }
    const bool standard32 = !haveMasks || (masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF);
    const bool decode = bitsPerPixel == 16 || bitsPerPixel == 24 || bitsPerPixel == 32 ||
                        (decodePalette && bitsPerPixel <= 8 && knownDepth);
    for (int32_t i = 0; decode && i < rows; ++i) {  // i counts memory rows from the bottom
        const int32_t stored = topDown ? rows - 1 - i : i;
        const uint8_t* s = data + pixelStart + static_cast<size_t>(stored) * srcStride;
        uint8_t* d = pixels.data() + static_cast<size_t>(i) * dstStride;
        for (int32_t x = 0; x < width; ++x, d += 3) {
            switch (bitsPerPixel) {
                case 16: {
                    const uint32_t v = Load16(s + x * 2);
                    d[0] = MaskedChannel(v, masks[2]);
                    d[1] = MaskedChannel(v, masks[1]);
                    d[2] = MaskedChannel(v, masks[0]);
                    break;
                }
                case 24: std::memcpy(d, s + x * 3, 3); break;
                case 32:
                    if (standard32) {
                        std::memcpy(d, s + x * 4, 3);
                    } else {
                        const uint32_t v = s[x * 4] | (s[x * 4 + 1] << 8) | (s[x * 4 + 2] << 16) |
                                           (static_cast<uint32_t>(s[x * 4 + 3]) << 24);
                        d[0] = MaskedChannel(v, masks[2]);
                        d[1] = MaskedChannel(v, masks[1]);
                        d[2] = MaskedChannel(v, masks[0]);
                    }
                    break;
                default: {  // 1, 4, 8 through the colour table
                    const int64_t bit = static_cast<int64_t>(x) * bitsPerPixel;
                    const uint32_t index =
                        (s[bit / 8] >> (8 - bitsPerPixel - bit % 8)) & ((1u << bitsPerPixel) - 1);
                    if (index < paletteCount) std::memcpy(d, data + paletteStart + index * entryBytes, 3);
                    break;
                }
            }
        }
    }

    m_pixels.swap(pixels);
    m_width = width;
    m_height = rows;
    m_stride = dstStride;
    m_rows.attach(m_pixels.data(), static_cast<unsigned>(m_width), static_cast<unsigned>(m_height), m_stride);
    m_error.clear();
    return 1;
}

uint32_t CMneBitmap::PixelColor(int32_t x, int32_t y) const {
    if (x < 0 || y < 0 || x >= m_width || y >= m_height) return 0;
    const uint8_t* p = m_pixels.data() + static_cast<size_t>(m_height - 1 - y) * m_stride + x * 3;
    return p[2] | (p[1] << 8) | (static_cast<uint32_t>(p[0]) << 16);
}

int CMneBitmap::ToPattern(EglPattern565& pattern) const {
    if (Empty()) return 0;
    std::vector<uint16_t> rows(static_cast<size_t>(m_width) * m_height);
    for (int32_t y = 0; y < m_height; ++y)
        for (int32_t x = 0; x < m_width; ++x)
            rows[static_cast<size_t>(y) * m_width + x] = Rgb565FromColor(PixelColor(x, y));
    return pattern.Create(m_width, m_height, rows);
}
