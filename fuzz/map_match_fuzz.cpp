// The map matcher fed match inputs with random positions, headings, times
// and quality on the demo district: every input is 40 bytes of
// _tagGpsParsedData; the position is folded into a box around the district
// so that most inputs find links; at most six inputs a run keep runs
// short. The matcher and the map live across
// inputs, as they do on the main thread.
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/fuzz_support.h"
#include "mapdb/mgr_map.h"
#include "positioning/map_match.h"
#include "settings/module_svc.h"
#include "tools/writers/demo_map.h"

namespace {
struct Setup {
    CMgrMap map;
    CMgrConfigModuleSVC svc;
    CMgrConfigModuleGPS gps;
    CMneMapMatch matcher;
    Setup() {
        const std::string root = fuzzsupport::MakeTempFolder("map_match_fuzz");
        if (!writers::WriteDemoMap(root) || !map.Open(root) || !matcher.Init(&svc, &gps, &map)) std::abort();
    }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Setup* s = new Setup();
    // The district spans about 0.04 x 0.035 degrees from 126.97E 37.49N.
    const int32_t x0 = static_cast<int32_t>(126.965 * kMapUnitsPerDegree);
    const int32_t y0 = static_cast<int32_t>(37.488 * kMapUnitsPerDegree);
    const int32_t span = static_cast<int32_t>(0.07 * kMapUnitsPerDegree);
    for (size_t at = 0; at + sizeof(_tagGpsParsedData) <= size && at < 40 * 6; at += sizeof(_tagGpsParsedData)) {
        _tagGpsParsedData in;
        std::memcpy(&in, data + at, sizeof in);
        // Odd bytes (high bit of the x word) leave the position as it came.
        if (!(static_cast<uint32_t>(in.x) & 0x80000000u)) {
            in.x = x0 + static_cast<int32_t>(static_cast<uint32_t>(in.x) % static_cast<uint32_t>(span));
            in.y = y0 + static_cast<int32_t>(static_cast<uint32_t>(in.y) % static_cast<uint32_t>(span));
        }
        tagMAPMATCHINFO out;
        s->matcher.Match(in, &out);
    }
    return 0;
}
