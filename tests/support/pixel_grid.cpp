#include "support/pixel_grid.h"

#include <cstdlib>

#include "support/png_writer.h"

namespace testsupport {

std::string PixelGrid(const DibImage565& image, const std::map<uint16_t, char>& legend) {
    std::string out;
    for (int32_t y = 0; y < image.Height(); ++y) {
        if (y) out += '\n';
        for (int32_t x = 0; x < image.Width(); ++x) {
            const auto it = legend.find(image.Pixel(x, y));
            out += it == legend.end() ? '?' : it->second;
        }
    }
    return out;
}

std::string Rows(std::initializer_list<const char*> rows) {
    std::string out;
    for (const char* r : rows) {
        if (!out.empty()) out += '\n';
        out += r;
    }
    return out;
}

void MaybeSavePng(const DibImage565& image, const std::string& name) {
    const char* dir = std::getenv("NAVI_PNG_DIR");
    if (dir == nullptr || *dir == 0) return;
    WritePng565(std::string(dir) + "/" + name + ".png", image);
}

}  // namespace testsupport
