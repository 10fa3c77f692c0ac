#include "shell/splash_window.h"

#include <vector>

#include "foundation/debug_trace.h"
#include "platform/byte_cursor.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "uikit/presenter.h"

namespace {

bool Fail(std::string* error, const char* message) {
    if (error) *error = message;
    return false;
}

uint16_t From888(uint32_t r, uint32_t g, uint32_t b) {
    return static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

}  // namespace

bool DecodeBmp565(const uint8_t* data, size_t size, DibImage565& out, std::string* error) {
    platform::ByteReader r(data, size);
    if (r.U8() != 'B' || r.U8() != 'M') return Fail(error, "not a BMP file");
    r.U32();
    r.U32();
    const uint32_t bitsOffset = r.U32();
    const uint32_t headerSize = r.U32();
    const int32_t width = r.I32();
    const int32_t rawHeight = r.I32();
    r.U16();
    const uint16_t bitCount = r.U16();
    const uint32_t compression = r.U32();
    if (!r.Ok() || headerSize < 40 || 14ull + headerSize > size) return Fail(error, "bitmap header cut short");
    if (width <= 0 || width > 8192 || rawHeight == 0 || rawHeight < -8192 || rawHeight > 8192) {
        return Fail(error, "bitmap size out of range");
    }
    const bool topDown = rawHeight < 0;
    const int32_t height = topDown ? -rawHeight : rawHeight;
    r.Skip(12);
    const uint32_t colorsUsed = r.U32();
    // Masks and colour table follow the header.
    platform::ByteReader extra(data + 14 + headerSize, size - 14 - headerSize);
    bool mask565 = false;
    std::vector<uint32_t> palette;
    if (bitCount == 16 && compression == 3) {
        const uint32_t red = extra.U32(), green = extra.U32(), blue = extra.U32();
        if (!extra.Ok() || red != 0xF800 || green != 0x07E0 || blue != 0x001F) {
            return Fail(error, "unsupported 16-bit masks");
        }
        mask565 = true;
    } else if (bitCount == 8 && compression == 0) {
        const uint32_t count = colorsUsed ? colorsUsed : 256;
        if (count > 256) return Fail(error, "colour table too large");
        for (uint32_t i = 0; i < count; ++i) palette.push_back(extra.U32());
        if (!extra.Ok()) return Fail(error, "colour table cut short");
    } else if (compression != 0 || (bitCount != 16 && bitCount != 24 && bitCount != 32)) {
        return Fail(error, "unsupported bitmap format");
    }
    const uint64_t stride = ((static_cast<uint64_t>(width) * bitCount + 31) / 32) * 4;
    const uint64_t bitsBytes = stride * static_cast<uint64_t>(height);
    if (bitsOffset < 14 + headerSize || bitsOffset > size || bitsBytes > size - bitsOffset) {
        return Fail(error, "pixel data outside the file");
    }
    DibImage565 image;
    if (!image.Create(width, height)) return Fail(error, "bitmap too large");
    for (int32_t row = 0; row < height; ++row) {
        platform::ByteReader line(data + bitsOffset + stride * row, static_cast<size_t>(stride));
        const int32_t y = topDown ? row : height - 1 - row;
        for (int32_t x = 0; x < width; ++x) {
            uint16_t pixel = 0;
            switch (bitCount) {
                case 8: {
                    const uint8_t index = line.U8();
                    const uint32_t c = index < palette.size() ? palette[index] : 0;
                    pixel = From888((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF);
                    break;
                }
                case 16: {
                    const uint16_t v = line.U16();
                    pixel = mask565 ? v
                                    : static_cast<uint16_t>(((v >> 10) & 0x1F) << 11 | ((v >> 5) & 0x1F) << 6 |
                                                            (v & 0x1F));
                    break;
                }
                default: {
                    const uint32_t b = line.U8(), g = line.U8(), red = line.U8();
                    if (bitCount == 32) line.U8();
                    pixel = From888(red, g, b);
                    break;
                }
            }
            image.SetPixel(x, y, pixel);
        }
    }
    out = std::move(image);
    return true;
}

void SplashWindow::Start(const std::string& uiFolder, bool enabled, SoundSink* sound) {
    if (m_open) return;
    m_open = true;
    m_sink = sound;
    if (!enabled) return;
    std::string error;
    std::vector<uint8_t> bytes;
    const std::string picturePath = platform::ResolveUnder(uiFolder, "SPLASH\\splash.BMP");
    if (!platform::ReadWholeFile(picturePath, bytes, &error)) {
        DebugTrace(1, "[SPLASH] no picture %s: %s\n", picturePath.c_str(), error.c_str());
    } else if (!DecodeBmp565(bytes.data(), bytes.size(), m_picture, &error)) {
        DebugTrace(0, "[SPLASH] picture %s refused: %s\n", picturePath.c_str(), error.c_str());
    }
    const std::string soundPath = platform::ResolveUnder(uiFolder, "SPLASH\\splash.wav");
    if (!LoadWaveFile(soundPath, m_sound, &error)) {
        DebugTrace(1, "[SPLASH] no sound %s: %s\n", soundPath.c_str(), error.c_str());
    } else if (m_sink) {
        m_sink->Play(m_sound);
    }
}

void SplashWindow::Paint(NvPresenter& window, int32_t clientWidth, int32_t clientHeight) {
    if (!m_open || m_picture.Empty() || clientWidth <= 0 || clientHeight <= 0) return;
    // The picture is stretched over the client, as the design copies it.
    DibImage565 scaled;
    if (m_picture.Width() == clientWidth && m_picture.Height() == clientHeight) {
        window.Present(m_picture.Bits(), clientWidth, clientHeight, m_picture.Stride(), 0, 0);
        return;
    }
    if (!scaled.Create(clientWidth, clientHeight)) return;
    for (int32_t y = 0; y < clientHeight; ++y) {
        const int32_t sy = static_cast<int32_t>(static_cast<int64_t>(y) * m_picture.Height() / clientHeight);
        for (int32_t x = 0; x < clientWidth; ++x) {
            const int32_t sx = static_cast<int32_t>(static_cast<int64_t>(x) * m_picture.Width() / clientWidth);
            scaled.SetPixel(x, y, m_picture.Pixel(sx, sy));
        }
    }
    window.Present(scaled.Bits(), clientWidth, clientHeight, scaled.Stride(), 0, 0);
}

void SplashWindow::OnPress() {
    if (m_open && m_sink) m_sink->Stop();
}

void SplashWindow::Close() {
    if (!m_open) return;
    m_open = false;
    m_picture = DibImage565();
}
