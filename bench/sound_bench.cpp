// The speech-frame decoder beside libgsm's gsm_decode on the same frames
// (Korean speech from espeak-ng encoded with libgsm), and the time to build
// a typical five-clip voice sentence from banks written by the voice bank
// writer.
extern "C" {
#include <gsm.h>
}

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "guidance/gsm_decoder.h"
#include "guidance/wave_bank.h"
#include "tools/writers/voice_bank_writer.h"

namespace {

std::vector<int16_t> Speech(const std::string& text) {
    std::vector<int16_t> pcm;
    if (!writers::SpeakKorean(text, pcm)) pcm.assign(22050, 0);
    return pcm;
}

const std::vector<uint8_t>& Frames() {
    static const std::vector<uint8_t> frames =
        writers::EncodeGsmFrames(Speech("1킬로미터 앞에서 오른쪽 고속도로 입구입니다. 통행료는 2천5백원입니다"));
    return frames;
}

double FramesPerSecond(size_t frames, std::chrono::steady_clock::duration spent) {
    return static_cast<double>(frames) / std::chrono::duration<double>(spent).count();
}

// Ours and libgsm in turn on the same frames, each timed on its own; the
// ratio is ours over libgsm's.
void BM_GsmFramesOursBesideLibgsm(benchmark::State& state) {
    const std::vector<uint8_t>& frames = Frames();
    const size_t count = frames.size() / kGsmFrameBytes;
    const auto arithmetic = static_cast<GsmArithmetic>(state.range(0));
    gsm handle = gsm_create();
    std::chrono::steady_clock::duration ours{}, theirs{};
    int16_t out[kGsmFrameSamples];
    gsm_signal block[160];
    for (auto _ : state) {
        GsmDecoderState decoder;
        decoder.arithmetic = arithmetic;
        auto t0 = std::chrono::steady_clock::now();
        for (size_t i = 0; i < count; ++i) {
            GsmDecodeFrame(&decoder, frames.data() + i * kGsmFrameBytes, out);
            benchmark::DoNotOptimize(out);
        }
        auto t1 = std::chrono::steady_clock::now();
        for (size_t i = 0; i < count; ++i) {
            gsm_decode(handle, const_cast<gsm_byte*>(frames.data() + i * kGsmFrameBytes), block);
            benchmark::DoNotOptimize(block);
        }
        auto t2 = std::chrono::steady_clock::now();
        ours += t1 - t0;
        theirs += t2 - t1;
    }
    gsm_destroy(handle);
    const size_t total = count * state.iterations();
    const double oursFps = FramesPerSecond(total, ours), theirsFps = FramesPerSecond(total, theirs);
    state.counters["ours_frames_per_s"] = oursFps;
    state.counters["libgsm_frames_per_s"] = theirsFps;
    state.counters["ours_over_libgsm"] = oursFps / theirsFps;
    state.SetItemsProcessed(static_cast<int64_t>(2 * total));
    state.SetLabel(arithmetic == GsmArithmetic::kBank ? "bank arithmetic" : "standard arithmetic");
}
BENCHMARK(BM_GsmFramesOursBesideLibgsm)->Arg(static_cast<int>(GsmArithmetic::kBank))
    ->Arg(static_cast<int>(GsmArithmetic::kStandard));

// "500미터 앞" (speech frames), the junction name (raw), "에서" (Vorbis), the
// direction (speech frames), the turn (Vorbis): a turn announcement.
struct SentenceBanks {
    std::string folder = (std::filesystem::temp_directory_path() / "navi_sound_bench").string();
    uint32_t ids[5] = {577, 3006, 532, 1545, 205};
    SentenceBanks() {
        const char* texts[5] = {"500미터 앞", "한빛나들목", "에서", "왼쪽 방향", "우회전입니다"};
        const uint32_t codecs[5] = {1, 0, 2, 1, 2};
        std::vector<writers::BankClip> clips(5);
        for (int i = 0; i < 5; ++i) writers::MakeBankClip(ids[i], codecs[i], Speech(texts[i]), clips[i]);
        writers::WriteVoiceBanks(folder, clips);
    }
    ~SentenceBanks() { std::filesystem::remove_all(folder); }
};

void BM_FiveClipSentence(benchmark::State& state) {
    static SentenceBanks banksOnDisk;
    MgrWaveBankSet banks;
    banks.OpenWaveBanks(banksOnDisk.folder);
    std::vector<uint8_t> out;
    for (auto _ : state) {
        banks.BuildSentence(banksOnDisk.ids, 5, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["sentence_bytes"] = static_cast<double>(out.size());
    state.counters["sentence_ms_of_sound"] = static_cast<double>(out.size() - 44) / 44.1;
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_FiveClipSentence)->Unit(benchmark::kMillisecond);

}  // namespace
