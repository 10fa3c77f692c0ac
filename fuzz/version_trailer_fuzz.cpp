// Version trailer bytes: the last 48 bytes of the input as a file's
// trailer, read and turned into a line of the version record.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "foundation/debug_trace.h"
#include "mapdb/version_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = (SetDebugTraceLevel(0), true);
    (void)quiet;
    const size_t tail = size >= kMneVersionTrailerBytes ? size - kMneVersionTrailerBytes : 0;
    MneVersionTrailer trailer;
    const int parsed = ParseVersionTrailer(data + tail, size - tail, trailer);
    if (parsed && trailer.date.size() > kMneVersionDateBytes) std::abort();
    MneVersionField version, date;
    FillVersionLine(parsed ? kMneVersionValid : kMneVersionNoTrailer, trailer, version, date);
    // Every line shows something, within its field.
    if (MneVersionFieldText(version).empty() || MneVersionFieldText(date).size() > kMneVersionFieldChars)
        std::abort();
    if (!parsed && MneVersionFieldText(version) != u"1.0.0") std::abort();
    return 0;
}
