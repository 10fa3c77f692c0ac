#include "support/png_writer.h"

#include <array>
#include <cstring>
#include <fstream>

#include "render/dib_image.h"

namespace testsupport {
namespace {

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0) {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

void PutU32Be(std::vector<uint8_t>& out, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(v >> s));
}

void Chunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& body) {
    PutU32Be(out, static_cast<uint32_t>(body.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), body.begin(), body.end());
    PutU32Be(out, Crc32(out.data() + start, out.size() - start));
}

// A zlib stream of stored blocks (at most 65535 bytes each).
std::vector<uint8_t> ZlibStored(const std::vector<uint8_t>& raw) {
    std::vector<uint8_t> z = {0x78, 0x01};
    size_t pos = 0;
    do {
        const size_t n = std::min<size_t>(65535, raw.size() - pos);
        const bool last = pos + n == raw.size();
        z.push_back(last ? 1 : 0);
        z.push_back(static_cast<uint8_t>(n));
        z.push_back(static_cast<uint8_t>(n >> 8));
        z.push_back(static_cast<uint8_t>(~n));
        z.push_back(static_cast<uint8_t>(~n >> 8));
        z.insert(z.end(), raw.begin() + static_cast<ptrdiff_t>(pos), raw.begin() + static_cast<ptrdiff_t>(pos + n));
        pos += n;
    } while (pos < raw.size());
    uint32_t a = 1, b = 0;
    for (uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    PutU32Be(z, (b << 16) | a);
    return z;
}

}  // namespace

std::vector<uint8_t> EncodePng565(const uint8_t* bits, int32_t width, int32_t height, int32_t stride, bool topDown) {
    std::vector<uint8_t> raw;
    raw.reserve(static_cast<size_t>(height) * (1 + width * 3));
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* row = bits + static_cast<size_t>(topDown ? y : height - 1 - y) * stride;
        raw.push_back(0);  // filter: none
        for (int32_t x = 0; x < width; ++x) {
            uint16_t p;
            std::memcpy(&p, row + x * 2, 2);
            const uint32_t r = p >> 11, g = (p >> 5) & 0x3F, b = p & 0x1F;
            raw.push_back(static_cast<uint8_t>((r << 3) | (r >> 2)));
            raw.push_back(static_cast<uint8_t>((g << 2) | (g >> 4)));
            raw.push_back(static_cast<uint8_t>((b << 3) | (b >> 2)));
        }
    }
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> ihdr;
    PutU32Be(ihdr, static_cast<uint32_t>(width));
    PutU32Be(ihdr, static_cast<uint32_t>(height));
    ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});  // 8-bit RGB, no interlace
    Chunk(png, "IHDR", ihdr);
    Chunk(png, "IDAT", ZlibStored(raw));
    Chunk(png, "IEND", {});
    return png;
}

bool WritePng565(const std::string& path, const DibImage565& image) {
    const std::vector<uint8_t> png = EncodePng565(image.Bits(), image.Width(), image.Height(), image.Stride());
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    return static_cast<bool>(out);
}

}  // namespace testsupport
