#pragma once
// What a drawing context asks of the font selected into it. The vector and
// bitmap fonts implement this; the context does the layout, the rasterising
// and the reuse of stored string images itself.
#include <cstdint>

struct MneSize {
    int32_t cx = 0;
    int32_t cy = 0;
};

class MneGlyphSource {
public:
    virtual ~MneGlyphSource() = default;

    // 1 = bitmap font: a glyph's data is a serialised anti-aliased scanline
    // image drawn at the pen position. Any other kind: the data is an outline
    // in the serialised 16-bit integer path form.
    virtual int32_t Kind() const = 0;
    // Pixels from the bottom of the text up to the baseline.
    virtual int32_t Descent() const = 0;
    // Non-zero when rendered text is kept in the font pool for reuse.
    virtual int32_t StoresImages() const = 0;

    // Width and height of 8-bit (CP949) text; 0 without a font file.
    virtual int GetTextExtent(const char* text, int32_t length, MneSize* size) = 0;
    // 1 when the code has a glyph. data (dataLength bytes) stays valid until
    // the next call on this font; a blank glyph has length 0.
    virtual int GetGlyph(uint32_t code, int32_t* advanceX, int32_t* advanceY, int32_t* dataLength,
                         const uint8_t** data, double* scale, double* weight) = 0;

    // The stored image of a whole string (1 when present; it stays referenced
    // until ReleaseImage). Callers hold LockPool around find, draw and store.
    virtual int FindImage(const char* text, int32_t length, const uint8_t** data, int32_t* size,
                          int32_t* width, int32_t* height) = 0;
    virtual int StoreImage(const char* text, int32_t length, const uint8_t* data, int32_t size,
                           int32_t width, int32_t height) = 0;
    virtual void ReleaseImage(const char* text, int32_t length) = 0;
    virtual void LockPool() = 0;
    virtual void UnlockPool() = 0;
};
