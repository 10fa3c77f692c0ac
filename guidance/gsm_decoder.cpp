#include "guidance/gsm_decoder.h"

#include <new>

namespace {

constexpr int32_t kMinWord = -32768;
constexpr int32_t kMaxWord = 32767;

int32_t Sat(int64_t v) { return v < kMinWord ? kMinWord : (v > kMaxWord ? kMaxWord : static_cast<int32_t>(v)); }
int32_t Add(int32_t a, int32_t b) { return Sat(static_cast<int64_t>(a) + b); }
int32_t Sub(int32_t a, int32_t b) { return Sat(static_cast<int64_t>(a) - b); }

// The Q15 product of the arithmetic in use, as a 16-bit word: rounded for
// the standard, truncated (arithmetic shift) for the banks' decoder.
struct Q15 {
    bool round;
    int32_t operator()(int32_t a, int32_t b) const {
        if (a == kMinWord && b == kMinWord) return kMaxWord;
        const int64_t p = static_cast<int64_t>(a) * b + (round ? 16384 : 0);
        return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint64_t>(p >> 15) & 0xFFFF));
    }
};

int32_t Asr(int32_t a, int n) {
    if (n >= 16) return a < 0 ? -1 : 0;
    if (n <= -16) return 0;
    if (n < 0) return Sat(static_cast<int64_t>(a) * (int64_t{1} << -n));
    return a >> n;
}
int32_t Asl(int32_t a, int n) {
    if (n >= 16) return 0;
    if (n <= -16) return a < 0 ? -1 : 0;
    if (n < 0) return Asr(a, -n);
    return a << n;
}

constexpr int32_t kFac[8] = {18431, 20479, 22527, 24575, 26623, 28671, 30719, 32767};
constexpr int32_t kQlb[4] = {3277, 11469, 21299, 32767};

// Bits of a frame, most significant bit of byte 0 first.
class BitReader {
public:
    explicit BitReader(const uint8_t* data) : m_data(data) {}
    int16_t Take(int bits) {
        int v = 0;
        for (int i = 0; i < bits; ++i, ++m_bit) v = (v << 1) | ((m_data[m_bit >> 3] >> (7 - (m_bit & 7))) & 1);
        return static_cast<int16_t>(v);
    }

private:
    const uint8_t* m_data;
    size_t m_bit = 0;
};

// RPE decoding: xmaxc and the 13 pulses into the 40-sample excitation.
void RpeDecode(const Q15& mult, int32_t xmaxc, int32_t mc, const int16_t* xmc, int32_t* erp) {
    int exp = 0;
    if (xmaxc > 15) exp = (xmaxc >> 3) - 1;
    int32_t mant = xmaxc - (exp << 3);
    if (mant == 0) {
        exp = -4;
        mant = 7;
    } else {
        while (mant <= 7) {
            mant = (mant << 1) | 1;
            --exp;
        }
        mant -= 8;
    }
    const int32_t fac = kFac[mant];
    const int shift = 6 - exp;
    const int32_t half = Asl(1, shift - 1);
    for (int k = 0; k < 40; ++k) erp[k] = 0;
    for (int i = 0; i < 13; ++i) {
        int32_t temp = ((xmc[i] << 1) - 7) << 12;
        temp = mult(fac, temp);
        temp = Add(temp, half);   // clamped to the 16-bit range before the shift
        erp[mc + 3 * i] = Asr(temp, shift);
    }
}

void DecodeLar(const Q15& mult, const int16_t* larc, int32_t* larpp) {
    static constexpr int32_t kB[8] = {0, 0, 2048, -2560, 94, -1792, -341, -1144};
    static constexpr int32_t kMic[8] = {-32, -32, -16, -16, -8, -8, -4, -4};
    static constexpr int32_t kInvA[8] = {13107, 13107, 13107, 13107, 19223, 17476, 31454, 29708};
    for (int i = 0; i < 8; ++i) {
        int32_t temp = Add(larc[i], kMic[i]) << 10;
        temp = Sub(temp, kB[i] << 1);
        temp = mult(kInvA[i], temp);
        larpp[i] = Add(temp, temp);
    }
}

void LarToRp(int32_t* larp) {
    for (int i = 0; i < 8; ++i) {
        const bool negative = larp[i] < 0;
        const int32_t temp = negative ? (larp[i] == kMinWord ? kMaxWord : -larp[i]) : larp[i];
        const int32_t rp = temp < 11059 ? temp << 1 : (temp < 20070 ? temp + 11059 : Add(temp >> 2, 26112));
        larp[i] = negative ? -rp : rp;
    }
}

void SynthesisFilter(const Q15& mult, int32_t* v, const int32_t* rrp, int count, const int32_t* wt, int32_t* sr) {
    for (int k = 0; k < count; ++k) {
        int32_t sri = wt[k];
        for (int i = 7; i >= 0; --i) {
            sri = Sub(sri, mult(rrp[i], v[i]));
            v[i + 1] = Add(v[i], mult(rrp[i], sri));
        }
        v[0] = sri;
        sr[k] = sri;
    }
}

}  // namespace

GsmDecoderState* GsmDecoderCreate() { return new (std::nothrow) GsmDecoderState(); }

void GsmDecoderFree(GsmDecoderState* state) { delete state; }

void GsmDecoderReset(GsmDecoderState* state) {
    if (!state) return;
    const GsmArithmetic arithmetic = state->arithmetic;
    *state = GsmDecoderState();
    state->arithmetic = arithmetic;
}

bool GsmUnpackFrame(const uint8_t* frame, GsmFrameParams& p) {
    if (!frame || (frame[0] >> 4) != 0xD) return false;
    BitReader bits(frame);
    bits.Take(4);
    static constexpr int kLarBits[8] = {6, 6, 5, 5, 4, 4, 3, 3};
    for (int i = 0; i < 8; ++i) p.larc[i] = bits.Take(kLarBits[i]);
    for (int s = 0; s < 4; ++s) {
        p.nc[s] = bits.Take(7);
        p.bc[s] = bits.Take(2);
        p.mc[s] = bits.Take(2);
        p.xmaxc[s] = bits.Take(6);
        for (int i = 0; i < 13; ++i) p.xmc[s][i] = bits.Take(3);
    }
    return true;
}

int GsmDecodeFrame(GsmDecoderState* state, const uint8_t* frame, int16_t* out) {
    GsmFrameParams p;
    if (!state || !out || !GsmUnpackFrame(frame, p)) return 0;
    const bool standard = state->arithmetic == GsmArithmetic::kStandard;
    const Q15 mult{standard};
    GsmDecoderState& s = *state;

    // Four sub-frames: RPE excitation, then long-term synthesis into the
    // residual history (dp[120..159] is the current sub-frame).
    int32_t wt[160];
    for (int sub = 0; sub < 4; ++sub) {
        int32_t erp[40];
        RpeDecode(mult, p.xmaxc[sub], p.mc[sub], p.xmc[sub], erp);
        const int32_t nr = (p.nc[sub] < 40 || p.nc[sub] > 120) ? s.nrp : p.nc[sub];
        s.nrp = nr;
        const int32_t brp = kQlb[p.bc[sub]];
        int32_t* drp = s.dp + 120;
        for (int k = 0; k < 40; ++k) drp[k] = Add(erp[k], mult(brp, drp[k - nr]));
        for (int k = 0; k < 40; ++k) wt[sub * 40 + k] = drp[k];
        for (int k = 0; k < 120; ++k) s.dp[k] = s.dp[k + 40];
    }

    // Short-term synthesis with the reflection coefficients interpolated
    // from the previous frame over the first 40 samples.
    int32_t* larppJ = s.larpp[s.j];
    s.j ^= 1;
    int32_t* larppJ1 = s.larpp[s.j];
    DecodeLar(mult, p.larc, larppJ);
    int32_t sr[160];
    int32_t larp[8];
    for (int i = 0; i < 8; ++i) larp[i] = Add(Add(larppJ1[i] >> 2, larppJ[i] >> 2), larppJ1[i] >> 1);
    LarToRp(larp);
    SynthesisFilter(mult, s.v, larp, 13, wt, sr);
    for (int i = 0; i < 8; ++i) larp[i] = Add(larppJ1[i] >> 1, larppJ[i] >> 1);
    LarToRp(larp);
    SynthesisFilter(mult, s.v, larp, 14, wt + 13, sr + 13);
    for (int i = 0; i < 8; ++i) larp[i] = Add(Add(larppJ1[i] >> 2, larppJ[i] >> 2), larppJ[i] >> 1);
    LarToRp(larp);
    SynthesisFilter(mult, s.v, larp, 13, wt + 27, sr + 27);
    for (int i = 0; i < 8; ++i) larp[i] = larppJ[i];
    LarToRp(larp);
    SynthesisFilter(mult, s.v, larp, 120, wt + 40, sr + 40);

    // De-emphasis, doubling, and the lowest three bits cleared. The memory
    // is saturated to the 16-bit range as the standard saturates it (left
    // unbounded, its product with the coefficient overflows 32 bits).
    const int32_t coefficient = standard ? 28180 : 28672;
    for (int k = 0; k < 160; ++k) {
        s.msr = Add(sr[k], mult(s.msr, coefficient));
        out[k] = static_cast<int16_t>(Add(s.msr, s.msr) & ~7);
    }
    return static_cast<int>(kGsmFrameSamples);
}
