#pragma once
// The speech-frame decoder of the voice banks: GSM 06.10 full-rate frames
// (33 bytes, 160 samples each). The voice banks were made for a decoder that
// truncates its Q15 products and de-emphasises with 0x7000; that is the
// default arithmetic. The standard GSM 06.10 arithmetic (rounded products,
// de-emphasis 28180) is kept beside it so tests can hold the decoder against
// a reference implementation sample for sample.
#include <cstddef>
#include <cstdint>

inline constexpr size_t kGsmFrameBytes = 33;
inline constexpr size_t kGsmFrameSamples = 160;

enum class GsmArithmetic {
    kBank,       // truncated products, de-emphasis 0x7000
    kStandard,   // GSM 06.10 as written: rounded products, de-emphasis 28180
};

// The parameters of one frame in the order they are packed.
struct GsmFrameParams {
    int16_t larc[8] = {};
    int16_t nc[4] = {};
    int16_t bc[4] = {};
    int16_t mc[4] = {};
    int16_t xmaxc[4] = {};
    int16_t xmc[4][13] = {};
};

// The decoder memory. Values are held in 32 bits; every sum that GSM 06.10
// saturates to 16 bits is saturated here too, so no memory can overflow.
struct GsmDecoderState {
    int32_t dp[160] = {};        // 120 reconstructed residual samples of history + the current sub-frame
    int32_t larpp[2][8] = {};    // decoded log-area ratios of the previous and the current frame
    int32_t v[9] = {};           // short-term synthesis filter memory
    int32_t nrp = 40;            // last valid long-term lag
    int32_t msr = 0;             // de-emphasis memory
    int32_t j = 0;               // which larpp row is the current frame's
    GsmArithmetic arithmetic = GsmArithmetic::kBank;
};

// A fresh state (nrp 40, everything else 0); null when memory is short.
GsmDecoderState* GsmDecoderCreate();
void GsmDecoderFree(GsmDecoderState* state);
// Back to the state of a new decoder, keeping the arithmetic.
void GsmDecoderReset(GsmDecoderState* state);

// Unpacks a 33-byte frame (bits from the most significant bit of byte 0:
// the 0xD signature, LARc[1..8] of 6,6,5,5,4,4,3,3 bits, then four
// sub-frames of Nc 7, bc 2, Mc 2, xmaxc 6 and 13 x 3 bits of pulses).
// False when the signature is not 0xD.
bool GsmUnpackFrame(const uint8_t* frame, GsmFrameParams& params);

// Decodes one frame into 160 samples: 160, or 0 (out untouched) when the
// frame's high nibble is not 0xD or an argument is null.
int GsmDecodeFrame(GsmDecoderState* state, const uint8_t* frame, int16_t* out);
