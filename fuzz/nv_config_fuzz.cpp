// Settings-file bytes: parse, and whatever parsed must format and parse
// back to the same keys, types and values.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "foundation/nv_config.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    NvConfigMap map;
    ParseNvConfigBytes(bytes, map);
    NvConfigMap old;
    ParseNvKeyValueBytes(bytes, old);

    std::string written;
    if (!FormatNvConfigBytes(map, written)) return 0;
    NvConfigMap back;
    std::string error;
    // Whatever the formatter writes must come back exactly.
    const NvConfigParseStatus status = ParseNvConfigBytes(written, back, &error);
    if (status != NvConfigParseStatus::kOk || back.GetCount() != map.GetCount()) std::abort();
    for (int i = 0; i < map.GetCount(); ++i) {
        NvString k1, k2, v1, v2;
        int t1 = 0, t2 = 0;
        map.GetAt(i, &k1, &t1, &v1, nullptr, 0);
        back.GetAt(i, &k2, &t2, &v2, nullptr, 0);
        if (!(k1 == k2) || t1 != t2 || !(v1 == v2)) std::abort();
    }
    return 0;
}
