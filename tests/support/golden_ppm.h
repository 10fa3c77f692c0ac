#pragma once
// Golden pictures kept as binary PPM files (P6, rows top-down, 8 bits per
// channel) under the source tree, compared with a tolerance: a pixel
// differs when any channel is off by more than 8, and at most 0.5 percent
// of the pixels may differ. NAVI_UPDATE_GOLDEN=1 rewrites the golden (and
// writes a PNG of it beside the test to look at). On a mismatch the
// actual picture and a difference picture (differing pixels red) are
// written as PNGs into the working folder.
#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

struct PpmImage {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> rgb;
};

// False for anything but a binary 8-bit PPM.
bool DecodePpm(const std::vector<uint8_t>& bytes, PpmImage* out);

struct GoldenResult {
    bool ok = false;
    std::string message;   // why not
    size_t differing = 0;
};
// relative: the golden's path from the source root; name: the stem of the
// PNGs written on a mismatch or an update.
GoldenResult CompareWithGolden(const PpmImage& actual, const std::string& relative, const std::string& name);

}  // namespace testsupport
