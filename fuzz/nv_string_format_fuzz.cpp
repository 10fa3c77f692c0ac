// Formats from data files (text tables) may reach NvString::Format: any
// UTF-16 format, with any mix of conversions, flags, widths and precisions,
// must stay inside the 2048-character result and read only the arguments
// it was given.
#include <cstddef>
#include <cstdint>
#include <string>

#include "foundation/nv_string.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::u16string format;
    format.reserve(size / 2);
    for (size_t i = 0; i + 1 < size; i += 2) {
        format.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    }
    NvString s;
    const int n = s.Format(format.c_str(), 42, u"text", "utf8 텍스트", -7, 0xFFFFFFFFu, u'가', nullptr);
    if (n < 0 || n > kNvStringFormatMaxChars || n != s.GetLength()) __builtin_trap();
    if (s.GetData() && s.GetData()[n] != 0) __builtin_trap();
    // The same format again on top of its own result as an argument.
    s.Format(format.c_str(), s.GetData(), n);
    return 0;
}
