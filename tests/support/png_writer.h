#pragma once
// Writes 16-bit map images as PNG files so test output can be looked at.
// The image data go in stored (uncompressed) deflate blocks: no library
// needed, and any viewer reads them.
#include <cstdint>
#include <string>
#include <vector>

class DibImage565;

namespace testsupport {

// RGB565 rows, bottom-up unless topDown, stride in bytes. Each channel is
// widened by replicating its top bits, so white stays 255.
std::vector<uint8_t> EncodePng565(const uint8_t* bits, int32_t width, int32_t height, int32_t stride,
                                  bool topDown = false);
// False when the file cannot be written.
bool WritePng565(const std::string& path, const DibImage565& image);

}  // namespace testsupport
