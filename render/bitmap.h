#pragma once
// BMP images for the map style's pattern brushes, the 16-bit blits that put
// symbols onto the map, and the bitmap buffer helpers.
#include <agg_rendering_buffer.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "render/dib_image.h"
#include "render/polygon_fill.h"

// Bytes of one row of a device-independent bitmap, a multiple of 4.
int32_t DibStride(int32_t width, int32_t bitsPerPixel);

// Rounds both sides up to a power of two (at least 2), takes stride x height
// bytes from the program heap (zeroed) and fills the description. 0 on a
// null description, a side outside 1..16384 or a failed allocation.
int CreatePow2Bitmap(MneBitmapDesc* desc, int32_t width, int32_t height, int32_t bitsPerPixel);
// Frees the pixels and clears the pointer; 0 on a null description.
int FreePow2Bitmap(MneBitmapDesc* desc);

// Copy between 16-bit bitmaps (rows bottom-up in both). Source rows
// sy0..sy1 - 1 and columns sx0..sx1 - 1 go to the destination from (x, y);
// source pixels equal to the key colour (0x00BBGGRR, compared as RGB565) are
// skipped; with grey 1 each copied pixel goes through the grey table. A
// destination pixel is written only inside the rectangle (x, y, width,
// height) and at columns 0..width - 2 and rows 0..height - 2 of the
// destination: its last column and last row are never written. 0 (nothing
// copied) when a description or its pixels are missing, either is not
// 16 bits per pixel or has rows shorter than its width, the rectangle is
// empty or lies wholly left of or above the destination; else 1. Source pixels outside the source are not read.
int BlitKeyed(const MneBitmapDesc* dst, int32_t x, int32_t y, int32_t width, int32_t height, const MneBitmapDesc* src,
              int32_t sx0, int32_t sy0, int32_t sx1, int32_t sy1, uint32_t keyColor, int32_t grey);
// As BlitKeyed without a key, from (sx0, sy0) to the source's right and
// bottom edges.
int Blit(const MneBitmapDesc* dst, int32_t x, int32_t y, int32_t width, int32_t height, const MneBitmapDesc* src,
         int32_t sx0, int32_t sy0, int32_t grey);

// A BMP image held as a 24-bit pixel map: blue, green, red bytes, rows
// bottom-up, stride DibStride(width, 24).
class CMneBitmap {
public:
    // Larger images are refused as damaged (a pattern or symbol is small).
    static constexpr int32_t kMaxSide = 8192;
    static constexpr int64_t kMaxPixels = int64_t{1} << 24;

    CMneBitmap() = default;
    virtual ~CMneBitmap() = default;
    CMneBitmap(const CMneBitmap&) = delete;
    CMneBitmap& operator=(const CMneBitmap&) = delete;

    // A whole BMP file image ("BM", the 14-byte file header, the bitmap
    // header, pixels). 16-bit (5-5-5, or the masks of a bit-field header),
    // 24-bit and 32-bit pixels are converted; other depths leave the map
    // cleared. 1 when loaded; 0 with Error() set for a wrong signature, a
    // truncated file, offsets past the end, absurd sizes or compression.
    // On failure the previous image is kept.
    int LoadFromMemory(const uint8_t* data, size_t size);
    int LoadFromMemory(const std::vector<uint8_t>& data) { return LoadFromMemory(data.data(), data.size()); }
    // Reads a native path whole and loads it; 0 when it cannot be read.
    int LoadFromFile(const std::string& nativePath);
    // A packed bitmap as the style file stores pattern images (bitmap
    // header, colour table, pixel rows, no file header). Palette depths
    // (1, 4, 8) are decoded through their colour table here.
    int LoadPackedDib(const uint8_t* data, size_t size);

    bool Empty() const { return m_pixels.empty(); }
    int32_t Width() const { return m_width; }
    int32_t Height() const { return m_height; }
    int32_t Stride() const { return m_stride; }
    const uint8_t* Bits() const { return m_pixels.data(); }
    // Row access (row 0 is the bottom row in memory, as stored).
    agg::rendering_buffer& Rows() { return m_rows; }
    // Screen addressing (y grows downwards); 0x00BBGGRR.
    uint32_t PixelColor(int32_t x, int32_t y) const;
    const std::string& Error() const { return m_error; }

    // The image as a pattern brush: RGB565, rows top-down.
    int ToPattern(EglPattern565& pattern) const;

private:
    int Decode(const uint8_t* data, size_t size, size_t dibStart, bool hasFileHeader, bool decodePalette);

    std::vector<uint8_t> m_pixels;
    agg::rendering_buffer m_rows;
    int32_t m_width = 0;
    int32_t m_height = 0;
    int32_t m_stride = 0;
    std::string m_error;
};
