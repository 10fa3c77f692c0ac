// Receiver bytes as NMEA: through the receive split and the sentence parser
// with and without the filter, and the replay's second check.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "positioning/gps_parser.h"
#include "positioning/gps_port.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = (fuzzsupport::SilenceTrace(), true);
    (void)quiet;
    CGPSParser filtered;
    CGPSParser raw;
    raw.SetFilterEnabled(false);
    GpsSentenceSplitter splitter('\n');
    splitter.Feed(data, size, [&](const uint8_t* p, size_t n) {
        const std::string_view line(reinterpret_cast<const char*>(p), n);
        const int a = filtered.ParseNmea(line);
        const int b = raw.ParseNmea(line);
        if (a != b || a < 0 || a > kGpsParseRmc) std::abort();
        const GpsFixRecord& f = filtered.Record();
        if (f.headingDeg >= 360 || (f.status != 'A' && f.status != 'V')) std::abort();
        NmeaSentenceKind(line);
    });
    // The whole input as one sentence too (the parser's own length checks).
    filtered.ParseNmea(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
