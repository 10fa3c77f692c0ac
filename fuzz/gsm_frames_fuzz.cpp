// Speech-frame clips from untrusted bytes: the first byte chooses the room
// the clip may fill (so short rooms cut decoding mid-frame), the rest is the
// stored frames, decoded with both arithmetics.
#include <cstdlib>
#include <vector>

#include "guidance/wave_bank.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const size_t frames = (size - 1) / kGsmFrameBytes;
    const size_t full = frames * kGsmFrameSamples * 2;
    const size_t room = data[0] == 0 ? full : full * data[0] / 255 + (data[0] & 1);
    for (GsmArithmetic arithmetic : {GsmArithmetic::kBank, GsmArithmetic::kStandard}) {
        std::vector<uint8_t> out(room);   // exactly the room, so a write past it is seen
        const int64_t n = DecodeGsmClip(data + 1, size - 1, out.data(), out.size(), arithmetic);
        if (n < 0 || static_cast<size_t>(n) > room) std::abort();
    }
    return 0;
}
