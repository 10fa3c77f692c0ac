#pragma once
// Golden images of the toolkit's tests: PNG files (8-bit RGB, as
// NvEncodePng565 writes them) under tests/uikit/golden, compared with a
// stated tolerance. NAVI_UPDATE_GOLDEN=1 rewrites them from what the test
// drew; NAVI_PNG_DIR also keeps a copy of every frame for a look.
#include <zlib.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/file_io.h"
#include "render/dib_image.h"
#include "support/source_dir.h"
#include "uikit/presenter.h"

namespace uitest {

struct Rgb8Image {
    int32_t width = 0, height = 0;
    std::vector<uint8_t> rgb;  // top row first
};

inline uint32_t Be32(const uint8_t* p) { return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3]; }

// Reads the PNGs our encoder writes (filter 0 rows); false for others.
inline bool DecodePng(const std::vector<uint8_t>& file, Rgb8Image& out) {
    if (file.size() < 8 + 25) return false;
    std::string packed;
    for (size_t at = 8; at + 12 <= file.size();) {
        const uint32_t len = Be32(&file[at]);
        const std::string type(reinterpret_cast<const char*>(&file[at + 4]), 4);
        if (at + 12 + len > file.size()) return false;
        const uint8_t* data = &file[at + 8];
        if (type == "IHDR") {
            out.width = static_cast<int32_t>(Be32(data));
            out.height = static_cast<int32_t>(Be32(data + 4));
            if (data[8] != 8 || data[9] != 2) return false;
        } else if (type == "IDAT") {
            packed.append(reinterpret_cast<const char*>(data), len);
        }
        at += 12 + len;
    }
    const size_t rowBytes = 1 + 3 * static_cast<size_t>(out.width);
    std::vector<uint8_t> raw(rowBytes * static_cast<size_t>(out.height));
    uLongf rawSize = static_cast<uLongf>(raw.size());
    if (uncompress(raw.data(), &rawSize, reinterpret_cast<const Bytef*>(packed.data()),
                   static_cast<uLong>(packed.size())) != Z_OK || rawSize != raw.size())
        return false;
    out.rgb.clear();
    for (int32_t r = 0; r < out.height; ++r) {
        if (raw[r * rowBytes] != 0) return false;
        out.rgb.insert(out.rgb.end(), raw.begin() + static_cast<std::ptrdiff_t>(r * rowBytes + 1),
                       raw.begin() + static_cast<std::ptrdiff_t>((r + 1) * rowBytes));
    }
    return true;
}

// Pixels that differ from the golden "tests/uikit/golden/<name>.png", or -1
// when the golden is missing or of another size. With NAVI_UPDATE_GOLDEN=1
// the golden is written first.
inline int CompareGolden(const DibImage565& frame, const std::string& name) {
    const std::string png = NvEncodePng565(frame.Bits(), frame.Width(), frame.Height(), frame.Stride());
    const std::vector<uint8_t> bytes(png.begin(), png.end());
    if (const char* dir = std::getenv("NAVI_PNG_DIR")) platform::AtomicReplaceFile(std::string(dir) + "/" + name + ".png", bytes);
    const std::string relative = "tests/uikit/golden/" + name + ".png";
    if (const char* update = std::getenv("NAVI_UPDATE_GOLDEN"); update && std::string(update) == "1") {
        const std::string root = testsupport::SourceFile("tests/uikit/golden");
        if (!root.empty()) platform::AtomicReplaceFile(root + "/" + name + ".png", bytes);
    }
    const std::string path = testsupport::SourceFile(relative);
    std::vector<uint8_t> file;
    Rgb8Image golden, drawn;
    if (path.empty() || !platform::ReadWholeFile(path, file) || !DecodePng(file, golden) || !DecodePng(bytes, drawn))
        return -1;
    if (golden.width != drawn.width || golden.height != drawn.height) return -1;
    int differ = 0;
    for (size_t i = 0; i < golden.rgb.size(); i += 3)
        if (golden.rgb[i] != drawn.rgb[i] || golden.rgb[i + 1] != drawn.rgb[i + 1] || golden.rgb[i + 2] != drawn.rgb[i + 2])
            ++differ;
    return differ;
}

}  // namespace uitest
