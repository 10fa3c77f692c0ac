#include "render/dib_image.h"

#include <cassert>
#include <cstring>
#include <new>

int DibImage565::Create(int32_t width, int32_t height) {
    m_words.clear();
    m_width = m_height = m_stride = 0;
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) return 0;
    const int32_t stride = Rgb565Stride(width);
    try {
        m_words.assign(static_cast<size_t>(stride / 4) * static_cast<size_t>(height), 0u);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    m_width = width;
    m_height = height;
    m_stride = stride;
    return 1;
}

uint16_t DibImage565::Pixel(int32_t x, int32_t y) const {
    assert(x >= 0 && x < m_width && y >= 0 && y < m_height);
    uint16_t v;
    std::memcpy(&v, Bits() + static_cast<size_t>(m_height - 1 - y) * m_stride + x * 2, 2);
    return v;
}

void DibImage565::SetPixel(int32_t x, int32_t y, uint16_t value) {
    assert(x >= 0 && x < m_width && y >= 0 && y < m_height);
    std::memcpy(Bits() + static_cast<size_t>(m_height - 1 - y) * m_stride + x * 2, &value, 2);
}

void DibImage565::Fill(uint16_t value) {
    const uint32_t pair = value * 0x10001u;
    for (uint32_t& w : m_words) w = pair;
}

MneBitmapDesc DibImage565::Description() {
    MneBitmapDesc d;
    d.width = m_width;
    d.height = m_height;
    d.widthBytes = m_stride;
    d.planes = 1;
    d.bitsPixel = 16;
    d.bits = Empty() ? nullptr : Bits();
    return d;
}
