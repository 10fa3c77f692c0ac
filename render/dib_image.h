#pragma once
// The map's 16-bit off-screen image: RGB565 pixels (masks 0xF800, 0x07E0,
// 0x001F), rows stored bottom-up, each row padded to a multiple of 4 bytes.
// Colours travel as 32-bit 0x00BBGGRR values (red in the low byte).
#include <cstddef>
#include <cstdint>
#include <vector>

// Bitmap description shared by the blits and the drawing context (the
// operating system's bitmap record). Rows are bottom-up.
struct MneBitmapDesc {
    int32_t type = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t widthBytes = 0;
    uint16_t planes = 1;
    uint16_t bitsPixel = 0;
    void* bits = nullptr;
};

constexpr uint16_t kRgb565RedMask = 0xF800;
constexpr uint16_t kRgb565GreenMask = 0x07E0;
constexpr uint16_t kRgb565BlueMask = 0x001F;

// Keeps the top bits of each channel.
constexpr uint16_t Rgb565FromColor(uint32_t colorBgr) {
    const uint32_t r = colorBgr & 0xFF, g = (colorBgr >> 8) & 0xFF, b = (colorBgr >> 16) & 0xFF;
    return static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}
// Widens by shifting (red5 << 3, green6 << 2, blue5 << 3).
constexpr uint32_t ColorFromRgb565(uint16_t p) {
    const uint32_t r = (p >> 11) << 3, g = ((p >> 5) & 0x3F) << 2, b = (p & 0x1F) << 3;
    return r | (g << 8) | (b << 16);
}

// Bytes of one 16-bit row: 2 x width rounded up to a multiple of 4.
constexpr int32_t Rgb565Stride(int32_t width) { return (width * 2 + 3) & ~3; }

class DibImage565 {
public:
    // Largest side accepted; a map frame is a few hundred pixels.
    static constexpr int32_t kMaxSide = 16384;

    DibImage565() = default;
    DibImage565(int32_t width, int32_t height) { Create(width, height); }

    // Allocates a zeroed image; 0 (and an empty image) for sizes outside
    // 1..kMaxSide or when memory runs out.
    int Create(int32_t width, int32_t height);

    bool Empty() const { return m_words.empty(); }
    int32_t Width() const { return m_width; }
    int32_t Height() const { return m_height; }
    int32_t Stride() const { return m_stride; }
    uint8_t* Bits() { return reinterpret_cast<uint8_t*>(m_words.data()); }
    const uint8_t* Bits() const { return reinterpret_cast<const uint8_t*>(m_words.data()); }
    size_t SizeBytes() const { return m_words.size() * 4; }

    // Screen addressing: y grows downwards, row y lives at memory row
    // height - 1 - y. No bounds check beyond an assert.
    uint16_t Pixel(int32_t x, int32_t y) const;
    void SetPixel(int32_t x, int32_t y, uint16_t value);
    void Fill(uint16_t value);

    MneBitmapDesc Description();

private:
    std::vector<uint32_t> m_words;  // 4-byte aligned rows
    int32_t m_width = 0;
    int32_t m_height = 0;
    int32_t m_stride = 0;
};
