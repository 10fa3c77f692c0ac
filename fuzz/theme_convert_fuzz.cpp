// The theme-id conversion table from arbitrary bytes: a table is taken only
// when the bytes are exactly a count and that many ids, and then writes back
// to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "settings/my_theme.h"
#include "tools/writers/theme_convert_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<int32_t> ids;
    std::string error;
    const bool ok = ParseThemeIdTable(data, size, ids, &error);
    if (ok != error.empty()) std::abort();
    if (!ok) {
        if (!ids.empty()) std::abort();
        return 0;
    }
    const std::vector<uint8_t> again = writers::BuildThemeIdConvertTable(ids);
    if (again.size() != size || (size && std::vector<uint8_t>(data, data + size) != again)) std::abort();
    return 0;
}
