#include "support/golden_ppm.h"

#include <cstdlib>
#include <cstring>

#include "platform/file_io.h"
#include "support/source_dir.h"
#include "tools/writers/demo_style.h"

namespace testsupport {

namespace {

std::vector<uint8_t> EncodePpm(const PpmImage& image) {
    const std::string head = "P6\n" + std::to_string(image.width) + " " + std::to_string(image.height) + "\n255\n";
    std::vector<uint8_t> out(head.begin(), head.end());
    out.insert(out.end(), image.rgb.begin(), image.rgb.end());
    return out;
}

void WritePng(const std::string& path, const PpmImage& image) {
    platform::AtomicReplaceFile(path, demostyle::EncodePngRgb(image.rgb.data(), image.width, image.height));
}

}  // namespace

bool DecodePpm(const std::vector<uint8_t>& bytes, PpmImage* out) {
    // "P6", then width, height and the maximum, each after white space.
    size_t at = 0;
    auto number = [&](int32_t* value) {
        while (at < bytes.size() && std::strchr(" \t\r\n", bytes[at])) ++at;
        int64_t v = 0;
        const size_t start = at;
        while (at < bytes.size() && bytes[at] >= '0' && bytes[at] <= '9' && v < 100000) v = v * 10 + (bytes[at++] - '0');
        *value = static_cast<int32_t>(v);
        return at > start;
    };
    if (bytes.size() < 2 || bytes[0] != 'P' || bytes[1] != '6') return false;
    at = 2;
    int32_t w = 0, h = 0, max = 0;
    if (!number(&w) || !number(&h) || !number(&max) || max != 255 || w <= 0 || h <= 0) return false;
    ++at;   // the single white-space byte before the pixels
    const size_t size = static_cast<size_t>(w) * h * 3;
    if (bytes.size() < at || bytes.size() - at != size) return false;
    out->width = w;
    out->height = h;
    out->rgb.assign(bytes.begin() + static_cast<long>(at), bytes.end());
    return true;
}

GoldenResult CompareWithGolden(const PpmImage& actual, const std::string& relative, const std::string& name) {
    GoldenResult result;
    if (const char* update = std::getenv("NAVI_UPDATE_GOLDEN"); update && std::string(update) == "1") {
        const char* source = std::getenv("NAVI_SOURCE_DIR");
        if (!source) {
            result.message = "NAVI_SOURCE_DIR is not set";
            return result;
        }
        platform::AtomicReplaceFile(std::string(source) + "/" + relative, EncodePpm(actual));
        WritePng(name + ".png", actual);
    }
    const std::string path = SourceFile(relative);
    std::vector<uint8_t> bytes;
    PpmImage golden;
    if (path.empty() || !platform::ReadWholeFile(path, bytes) || !DecodePpm(bytes, &golden)) {
        result.message = "no golden " + relative;
        return result;
    }
    if (golden.width != actual.width || golden.height != actual.height) {
        result.message = "the golden has another size";
        return result;
    }
    PpmImage diff = actual;
    for (size_t i = 0; i < actual.rgb.size(); i += 3) {
        bool bad = false;
        for (int c = 0; c < 3; ++c) bad |= std::abs(int(actual.rgb[i + c]) - int(golden.rgb[i + c])) > 8;
        if (bad) {
            ++result.differing;
            diff.rgb[i] = 255, diff.rgb[i + 1] = 0, diff.rgb[i + 2] = 0;
        }
    }
    result.ok = result.differing * 200 <= static_cast<size_t>(actual.width) * actual.height;
    if (!result.ok) {
        result.message = std::to_string(result.differing) + " pixels differ";
        WritePng(name + ".actual.png", actual);
        WritePng(name + ".diff.png", diff);
    }
    return result;
}

}  // namespace testsupport
