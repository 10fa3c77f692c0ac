// "LastGPS.dat": the bytes as a file through the last-fix load, and the
// record decoded and encoded again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz/fuzz_support.h"
#include "positioning/gps_fix.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = fuzzsupport::MakeMemoryFolder("last_gps_fuzz") + "/LastGPS.dat";
    fuzzsupport::WriteBytes(path, data, size);
    GpsFixRecord fix;
    const int loaded = LoadLastGpsFix(path, fix);
    if (loaded && (size < kGpsFixRecordBytes || !IsAcceptableLastFix(fix))) std::abort();
    GpsFixRecord decoded;
    if (DecodeGpsFixRecord(data, size, decoded)) {
        uint8_t again[kGpsFixRecordBytes];
        EncodeGpsFixRecord(decoded, again);
        // Everything but the reserved bytes reads back as it was.
        GpsFixRecord twice;
        if (!DecodeGpsFixRecord(again, sizeof again, twice) || twice.headingDeg != decoded.headingDeg ||
            std::memcmp(&twice.satellites, &decoded.satellites, sizeof twice.satellites) != 0) {
            std::abort();
        }
    }
    return 0;
}
