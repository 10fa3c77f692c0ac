// Receiver bytes in the binary protocol: cut at 0x82 as the receive thread
// does and parsed frame by frame.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz/fuzz_support.h"
#include "positioning/gps_parser.h"
#include "positioning/gps_port.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = (fuzzsupport::SilenceTrace(), true);
    (void)quiet;
    CGPSParser parser;
    GpsSentenceSplitter splitter(0x82);
    splitter.Feed(data, size, [&](const uint8_t* p, size_t n) {
        const int result = parser.ParseBinary(p, n);
        if (result != 0 && (result < kGpsParseBinFix || result > kGpsParseBinSatLast)) std::abort();
        GpsFixRecord fix;
        parser.TakeFix(&fix);
        if (fix.satellitesInView > 32 || fix.satellitesUsed > 12) std::abort();
    });
    parser.ParseBinary(data, size);
    return 0;
}
