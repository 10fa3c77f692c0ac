#pragma once
// The anti-aliased drawing context: map text and smooth wide polylines drawn
// with Anti-Grain Geometry into the same pixel memory as the span
// rasteriser, and the context behind the screens' drawing handles.
#include <agg_rendering_buffer.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "render/dib_image.h"
#include "render/glyph_source.h"
#include "render/polygon_fill.h"

struct MneRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

// DrawText flags.
constexpr uint32_t kMneTextCentreX = 0x1;
constexpr uint32_t kMneTextRight = 0x2;
constexpr uint32_t kMneTextCentreY = 0x4;
constexpr uint32_t kMneTextBottom = 0x8;
constexpr uint32_t kMneTextNoClip = 0x100;

// True when data is a well-formed serialised anti-aliased scanline image
// (the form of bitmap-font glyphs and of stored text images): every record
// inside the data, every span non-empty and of sane size. Such images come
// from font files, so they are checked before they are drawn.
bool IsValidScanlineImage(const uint8_t* data, size_t size);

class CMneDC {
public:
    static constexpr size_t kInitialScratchBytes = 0x4000;

    CMneDC();
    virtual ~CMneDC();
    CMneDC(const CMneDC&) = delete;
    CMneDC& operator=(const CMneDC&) = delete;

    // 16 or 32 bits per pixel. Rows are bottom-up unless topDown is non-zero;
    // the stride is bits / 8 x width rounded up to a multiple of 4. 0 (and
    // detached) for another depth, null pixels or an empty size.
    int Attach(void* pixels, int32_t width, int32_t height, int32_t bitsPerPixel, int32_t topDown);
    int Attach(DibImage565& image) { return Attach(image.Bits(), image.Width(), image.Height(), 16, 0); }
    // 0 when not attached.
    int GetBitmapInfo(MneBitmapDesc* out) const;
    bool IsAttached() const { return m_attached != 0; }

    // The font is not owned.
    MneGlyphSource* SelectFont(MneGlyphSource* font);
    MneGlyphSource* GetFont() const { return m_font; }
    uint32_t SetTextColor(uint32_t colorBgr);
    uint32_t GetTextColor() const { return m_textColor; }
    uint32_t SetBkColor(uint32_t colorBgr);
    uint32_t GetBkColor() const { return m_bkColor; }
    int32_t SetBkMode(int32_t mode);
    int32_t GetBkMode() const { return m_bkMode; }
    // Returns the value just set.
    int32_t SetGreyMode(int32_t grey);
    int32_t GetGreyMode() const { return m_grey; }

    // Stroke of the given width (square caps, round joins); anti-aliased
    // with smooth 1, aliased otherwise. 0 without pixels or with fewer than
    // 2 points.
    int Polyline(const EglPoint* points, int32_t count, int32_t width, uint32_t colorBgr, int32_t smooth);

    // Lays out 8-bit (CP949) text in the rectangle by the flags and draws it
    // in the text colour with the selected font. The text height when drawn;
    // 0 without a font or scratch area, or when the text lies wholly
    // outside the bitmap.
    int DrawText(const char* text, int32_t length, const MneRect* rect, uint32_t flags);
    // The selected font's measurement; 0 without a font.
    int GetTextExtent(const char* text, int32_t length, MneSize* size);

    size_t ScratchCapacity() const { return m_scratchCapacity; }
    size_t LastImageBytes() const { return m_imageBytes; }

private:
    template <class PixFmt>
    int DrawTextWith(const char* text, int32_t length, const MneRect& rect, uint32_t flags);
    template <class PixFmt>
    int PolylineWith(const EglPoint* points, int32_t count, int32_t width, uint32_t colorBgr, int32_t smooth);
    bool GrowScratch(size_t bytes);

    struct ScratchFree {
        void operator()(uint8_t* p) const;
    };

    uint8_t* m_pixels = nullptr;
    int32_t m_width = 0;
    int32_t m_height = 0;
    int32_t m_bitsPerPixel = 16;
    MneGlyphSource* m_font = nullptr;
    agg::rendering_buffer m_rows;
    uint32_t m_bkColor = 0xFFFFFF;
    uint32_t m_textColor = 0;
    int32_t m_grey = 0;
    int32_t m_bkMode = 1;
    size_t m_imageBytes = 0;
    size_t m_scratchCapacity = 0;
    std::unique_ptr<uint8_t, ScratchFree> m_scratch;
    int32_t m_attached = 0;
};
