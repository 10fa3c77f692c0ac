// Wave files as the sound unit plays them, from untrusted bytes: the chunks
// are walked, the format checked and the gain applied at each of its steps
// to the samples found; then the same bytes are stored as a raw clip and
// built into a sentence beside a speech-frame clip.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "guidance/sound_manager.h"
#include "platform/byte_cursor.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string root = [] {
        std::string dir = fuzzsupport::MakeMemoryFolder("wave_file_fuzz");
        if (!fuzzsupport::MemoryFiles().MakeFolder(dir + "/Wave")) std::abort();
        return dir;
    }();
    ParsedWave wave;
    std::vector<uint8_t> buffer(data, data + size);
    if (ParseWave(buffer.data(), buffer.size(), wave)) {
        if (wave.dataOffset > size || wave.dataBytes > size - wave.dataOffset) std::abort();
        if (wave.format.channels == 0 || wave.format.bitsPerSample == 0) std::abort();
        for (int32_t gain : {1000, 1125, 1500, 2000}) ApplyGain(buffer.data() + wave.dataOffset, wave.dataBytes, wave.format, gain);
    }

    // Clip 1201: the input as raw samples; clip 1202: the input as speech frames.
    platform::ByteWriter index;
    const uint32_t frames = static_cast<uint32_t>(size / kGsmFrameBytes);
    index.U32(1201); index.U32(kWaveCodecRaw); index.U32(0); index.U32(static_cast<uint32_t>(size)); index.U32(static_cast<uint32_t>(size));
    index.U32(1202); index.U32(kWaveCodecGsm); index.U32(0); index.U32(static_cast<uint32_t>(size)); index.U32(frames * 320);
    fuzzsupport::WriteBytes(root + "/Wave/BaseWave.idx", index.Data());
    fuzzsupport::WriteBytes(root + "/Wave/BaseWave.dat", data, size);
    MgrWaveBankSet banks;
    banks.OpenWaveBanks(root);
    const uint32_t ids[] = {1202, 1201, 1202};
    std::vector<uint8_t> sentence;
    if (!banks.BuildSentence(ids, 3, sentence)) return 0;
    const size_t expected = 44 + (size > 0 ? size : 0) + 2 * frames * 320;
    if (sentence.size() != expected && size > 0) std::abort();
    if (std::memcmp(sentence.data() + 44 + frames * 320, data, size) != 0) std::abort();
    ParsedWave built;
    if (!ParseWave(sentence.data(), sentence.size(), built) && sentence.size() > 44) std::abort();
    return 0;
}
