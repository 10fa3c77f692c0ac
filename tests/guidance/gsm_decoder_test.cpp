// The speech-frame decoder against libgsm: the frame unpacking against
// gsm_explode, the standard arithmetic against gsm_decode sample for sample,
// and the banks' arithmetic close to it, on Korean speech from espeak-ng.
extern "C" {
#include <gsm.h>
}

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "guidance/gsm_decoder.h"
#include "tools/writers/voice_bank_writer.h"

namespace {

struct GsmHandle {
    gsm h = gsm_create();
    ~GsmHandle() { gsm_destroy(h); }
};

const std::vector<std::string>& Texts() {
    static const std::vector<std::string> texts = {
        "300미터 앞에서 우회전입니다", "경로를 재탐색합니다", "잠시 후 좌회전입니다", "목적지에 도착했습니다",
        "제한속도 80킬로미터", "통행료는 2천5백원입니다", "하이패스 차로는 3번 차로입니다",
        "다음 휴게소까지 25킬로미터", "과속 방지턱입니다", "어린이 보호 구역입니다", "경로 안내를 시작합니다",
        "오른쪽 고속도로 입구입니다", "왼쪽 방향 유턴입니다", "터널로 진입합니다", "안전 운전 하세요",
        "1킬로미터 앞 분기점에서 서울 방면입니다", "로터리에서 9시방향", "졸음운전은 사고의 지름길입니다",
        "위성 신호를 잡았습니다", "경유지를 지났습니다", "구간 단속이 끝났습니다", "모의 주행을 시작합니다",
    };
    return texts;
}

// Speech of every text, spoken once for the whole program.
const std::vector<std::vector<int16_t>>& Speech() {
    static const std::vector<std::vector<int16_t>> speech = [] {
        std::vector<std::vector<int16_t>> out;
        for (const std::string& text : Texts()) {
            std::vector<int16_t> pcm;
            std::string error;
            EXPECT_TRUE(writers::SpeakKorean(text, pcm, &error)) << error;
            out.push_back(std::move(pcm));
        }
        return out;
    }();
    return speech;
}

std::vector<int16_t> DecodeOurs(const std::vector<uint8_t>& frames, GsmArithmetic arithmetic) {
    GsmDecoderState* state = GsmDecoderCreate();
    state->arithmetic = arithmetic;
    std::vector<int16_t> out;
    for (size_t pos = 0; pos + kGsmFrameBytes <= frames.size(); pos += kGsmFrameBytes) {
        int16_t block[kGsmFrameSamples];
        EXPECT_EQ(GsmDecodeFrame(state, frames.data() + pos, block), 160);
        out.insert(out.end(), block, block + kGsmFrameSamples);
    }
    GsmDecoderFree(state);
    return out;
}

std::vector<int16_t> DecodeLibgsm(const std::vector<uint8_t>& frames) {
    GsmHandle g;
    std::vector<int16_t> out;
    for (size_t pos = 0; pos + kGsmFrameBytes <= frames.size(); pos += kGsmFrameBytes) {
        gsm_signal block[160];
        gsm_byte frame[33];
        std::copy_n(frames.data() + pos, 33, frame);
        EXPECT_EQ(gsm_decode(g.h, frame, block), 0);
        out.insert(out.end(), block, block + 160);
    }
    return out;
}

TEST(GsmDecoder, UnpackingEqualsGsmExplodeOnImplodedFrames) {
    std::mt19937 random(63);
    static constexpr int kBits[17] = {7, 2, 2, 6, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3};
    static constexpr int kLarBits[8] = {6, 6, 5, 5, 4, 4, 3, 3};
    for (int round = 0; round < 2000; ++round) {
        gsm_signal params[76];
        for (int i = 0; i < 8; ++i) params[i] = static_cast<gsm_signal>(random() & ((1u << kLarBits[i]) - 1));
        for (int s = 0; s < 4; ++s)
            for (int i = 0; i < 17; ++i) params[8 + s * 17 + i] = static_cast<gsm_signal>(random() & ((1u << kBits[i]) - 1));
        GsmHandle g;
        gsm_byte frame[33];
        gsm_implode(g.h, params, frame);
        gsm_signal exploded[76];
        ASSERT_EQ(gsm_explode(g.h, frame, exploded), 0);
        GsmFrameParams ours;
        ASSERT_TRUE(GsmUnpackFrame(frame, ours));
        for (int i = 0; i < 8; ++i) ASSERT_EQ(ours.larc[i], exploded[i]) << "LARc " << i;
        for (int s = 0; s < 4; ++s) {
            const gsm_signal* sub = exploded + 8 + s * 17;
            ASSERT_EQ(ours.nc[s], sub[0]);
            ASSERT_EQ(ours.bc[s], sub[1]);
            ASSERT_EQ(ours.mc[s], sub[2]);
            ASSERT_EQ(ours.xmaxc[s], sub[3]);
            for (int i = 0; i < 13; ++i) ASSERT_EQ(ours.xmc[s][i], sub[4 + i]);
        }
    }
}

TEST(GsmDecoder, StandardArithmeticEqualsGsmDecodeOnSpeech) {
    size_t samples = 0;
    for (const std::vector<int16_t>& pcm : Speech()) {
        const std::vector<uint8_t> frames = writers::EncodeGsmFrames(pcm);
        ASSERT_FALSE(frames.empty());
        const std::vector<int16_t> ours = DecodeOurs(frames, GsmArithmetic::kStandard);
        const std::vector<int16_t> theirs = DecodeLibgsm(frames);
        ASSERT_EQ(ours.size(), theirs.size());
        for (size_t i = 0; i < ours.size(); ++i) ASSERT_EQ(ours[i], theirs[i]) << "sample " << i;
        samples += ours.size();
    }
    EXPECT_GT(samples, 20u * 8000);
}

TEST(GsmDecoder, StandardArithmeticEqualsGsmDecodeOnRandomFrames) {
    // Random parameters reach the saturating corners that speech rarely does.
    std::mt19937 random(7);
    std::vector<uint8_t> frames;
    for (int f = 0; f < 3000; ++f) {
        uint8_t frame[33];
        for (uint8_t& b : frame) b = static_cast<uint8_t>(random());
        frame[0] = static_cast<uint8_t>(0xD0 | (frame[0] & 0x0F));
        frames.insert(frames.end(), frame, frame + 33);
    }
    const std::vector<int16_t> ours = DecodeOurs(frames, GsmArithmetic::kStandard);
    const std::vector<int16_t> theirs = DecodeLibgsm(frames);
    ASSERT_EQ(ours.size(), theirs.size());
    for (size_t i = 0; i < ours.size(); ++i) ASSERT_EQ(ours[i], theirs[i]) << "sample " << i;
}

TEST(GsmDecoder, BankArithmeticStaysCloseToTheStandard) {
    double worstCorrelation = 1, worstDb = 0, sumCorrelation = 0;
    int clips = 0;
    for (const std::vector<int16_t>& pcm : Speech()) {
        const std::vector<uint8_t> frames = writers::EncodeGsmFrames(pcm);
        const std::vector<int16_t> bank = DecodeOurs(frames, GsmArithmetic::kBank);
        const std::vector<int16_t> reference = DecodeLibgsm(frames);
        ASSERT_EQ(bank.size(), reference.size());
        double xy = 0, xx = 0, yy = 0;
        for (size_t i = 0; i < bank.size(); ++i) {
            xy += double(bank[i]) * reference[i];
            xx += double(bank[i]) * bank[i];
            yy += double(reference[i]) * reference[i];
        }
        ASSERT_GT(xx, 0);
        ASSERT_GT(yy, 0);
        const double correlation = xy / std::sqrt(xx * yy);
        const double db = 10 * std::log10(xx / yy);
        // The banks' decoder truncates inside the short-term lattice, which
        // leaves a slow offset in its output; the correlation per clip is
        // therefore a little below the 0.95 the rounding products would give.
        EXPECT_GE(correlation, 0.90) << Texts()[clips];
        EXPECT_LE(std::fabs(db), 2.0) << Texts()[clips];
        worstCorrelation = std::min(worstCorrelation, correlation);
        worstDb = std::max(worstDb, std::fabs(db));
        sumCorrelation += correlation;
        ++clips;
    }
    EXPECT_GE(clips, 20);
    EXPECT_GE(sumCorrelation / clips, 0.94);
    std::printf("bank arithmetic over %d clips: correlation mean %.4f, worst %.4f; energy worst %.2f dB\n", clips,
                sumCorrelation / clips, worstCorrelation, worstDb);
}

TEST(GsmDecoder, FrameWithoutTheSignatureGivesNothing) {
    GsmDecoderState* state = GsmDecoderCreate();
    ASSERT_NE(state, nullptr);
    for (uint8_t first : {0xC0, 0x0D, 0xE0, 0x00, 0xFF}) {
        uint8_t frame[33] = {};
        frame[0] = first;
        int16_t out[160];
        std::fill_n(out, 160, int16_t{1234});
        EXPECT_EQ(GsmDecodeFrame(state, frame, out), 0) << int(first);
        for (int16_t s : out) ASSERT_EQ(s, 1234);
    }
    GsmDecoderFree(state);
    GsmDecoderFree(nullptr);
}

TEST(GsmDecoder, OutputKeepsItsLowestThreeBitsClearAndCarriesState) {
    // All pulse codes 0 after the signature; then a loud frame decoded twice.
    uint8_t quiet[33] = {0xD0};
    uint8_t loud[33];
    std::mt19937 random(3);
    for (uint8_t& b : loud) b = static_cast<uint8_t>(random());
    loud[0] = 0xD5;
    GsmDecoderState* state = GsmDecoderCreate();
    int16_t a[160], b[160], c[160];
    ASSERT_EQ(GsmDecodeFrame(state, quiet, a), 160);
    ASSERT_EQ(GsmDecodeFrame(state, loud, b), 160);
    ASSERT_EQ(GsmDecodeFrame(state, loud, c), 160);
    for (int i = 0; i < 160; ++i) {
        ASSERT_EQ(a[i] & 7, 0);
        ASSERT_EQ(b[i] & 7, 0);
    }
    EXPECT_FALSE(std::equal(b, b + 160, c)) << "the second decoding starts from the first one's memory";
    GsmDecoderReset(state);
    int16_t d[160];
    ASSERT_EQ(GsmDecodeFrame(state, quiet, d), 160);
    EXPECT_TRUE(std::equal(a, a + 160, d)) << "a reset state decodes as a new one";
    GsmDecoderFree(state);
}

}  // namespace
