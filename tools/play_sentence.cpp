// Builds a sentence from clip ids through the voice banks of a data root and
// writes it as a WAV file, or plays it on the default audio device.
// Usage: play_sentence --root DIR [--out FILE.wav] ID...
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "guidance/audio_sink.h"
#include "guidance/sound_manager.h"
#include "guidance/wave_bank.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "platform/thread_util.h"

int main(int argc, char** argv) {
    std::string root, out;
    std::vector<uint32_t> ids;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--root") && i + 1 < argc) root = argv[++i];
        else if (!std::strcmp(argv[i], "--out") && i + 1 < argc) out = argv[++i];
        else ids.push_back(static_cast<uint32_t>(std::strtoul(argv[i], nullptr, 10)));
    }
    if (root.empty() || ids.empty()) {
        std::fprintf(stderr, "usage: play_sentence --root DIR [--out FILE.wav] ID...\n");
        return 2;
    }
    if (ids.size() > kSoundMaxIds) {
        std::fprintf(stderr, "play_sentence: at most %zu ids\n", kSoundMaxIds);
        return 2;
    }
    MgrWaveBankSet banks;
    banks.OpenWaveBanks(platform::ResolveUnder(root, "MAP"));
    std::vector<uint8_t> wave;
    if (!banks.BuildSentence(ids.data(), ids.size(), wave)) {
        std::fprintf(stderr, "play_sentence: no memory for the sentence\n");
        return 1;
    }
    for (uint32_t id : ids)
        if (banks.GetDecodedSize(id) == 0) std::fprintf(stderr, "play_sentence: clip %u not in the banks\n", id);
    const size_t dataBytes = wave.size() - kWaveHeaderBytes;
    std::printf("{\"clips\":%zu,\"bytes\":%zu,\"ms\":%zu}\n", ids.size(), wave.size(), dataBytes * 1000 / 44100);
    if (!out.empty()) {
        std::string error;
        if (!platform::AtomicReplaceFile(out, wave, &error)) {
            std::fprintf(stderr, "play_sentence: %s\n", error.c_str());
            return 1;
        }
        return 0;
    }
    ParsedWave parsed;
    std::unique_ptr<AudioSink> sink = MakeSdlAudioSink();
    if (!ParseWave(wave.data(), wave.size(), parsed) || !sink->Open(-1, parsed.format) ||
        !sink->Write(wave.data() + parsed.dataOffset, parsed.dataBytes)) {
        std::fprintf(stderr, "play_sentence: no audio device\n");
        return 1;
    }
    // Waits for the queue to drain, at most the sound's length and a second.
    platform::Event never;
    for (size_t waitedMs = 0; !sink->IsDone() && waitedMs < dataBytes * 1000 / 44100 + 1000; waitedMs += 20)
        never.Wait(20);
    sink->Close();
    return 0;
}
