// Ogg Vorbis clips from untrusted bytes: the first two bytes choose the
// room the decoded samples may fill, the rest is the stored clip.
#include <cstdlib>
#include <vector>

#include "guidance/wave_bank.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const size_t room = static_cast<size_t>(data[0] | (data[1] << 8)) * 4 + (data[0] & 1);
    std::vector<uint8_t> out(room);   // exactly the room, so a write past it is seen
    const int64_t n = DecodeVorbisClip(data + 2, size - 2, out.data(), out.size());
    if (n > static_cast<int64_t>(room)) std::abort();
    return 0;
}
