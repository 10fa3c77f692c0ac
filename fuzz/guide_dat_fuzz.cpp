// "\Guide.dat" from arbitrary bytes: the reader never reads outside the
// bytes nor sizes anything by a count the bytes cannot back, and a file it
// takes writes back to a file that reads as the same route.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "settings/guide_dat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Take the file's own map version as the current one (when it has one),
    // so the search gets past the version check.
    std::u16string mapVersion = u"3.1.20";
    if (size >= 32) {
        mapVersion.clear();
        for (size_t i = 0; i + 1 < 32; i += 2) {
            const char16_t unit = static_cast<char16_t>(data[i] | data[i + 1] << 8);
            if (unit == 0) break;
            mapVersion.push_back(unit);
        }
    }
    GuideDatRecord record;
    if (DecodeGuideDat(data, size, mapVersion, record) != GuideDatStatus::kOk) return 0;
    if (record.pointCount < 0 || record.pointCount > kGuideRoutePointMax) std::abort();
    if (record.links.size() * 4 > size) std::abort();

    std::vector<uint8_t> again;
    if (!EncodeGuideDat(record, again)) std::abort();
    GuideDatRecord back;
    if (DecodeGuideDat(again.data(), again.size(), mapVersion, back) != GuideDatStatus::kOk) std::abort();
    if (!(back == record)) std::abort();
    return 0;
}
