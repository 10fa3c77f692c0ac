#pragma once
// The map's own aliased rasteriser. It writes straight into the 16-bit
// pixel memory of the map frame's off-screen image (RGB565, rows bottom-up,
// stride a multiple of 4 bytes; see dib_image.h) and serves the renderers
// for fills, strokes, dashed lines, single pixels and clearing.
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "render/dib_image.h"
#include "render/polygon_fill.h"

// Grey of every RGB565 colour (index red5 * 2048 + green6 * 32 + blue5),
// itself RGB565 with red5 = blue5 = luminance >> 3 and green6 = luminance >> 2.
extern const std::array<uint16_t, 65536> GreyTable565;

inline uint16_t GreyOf565(uint16_t p) { return GreyTable565[p]; }
// A 0x00BBGGRR colour through the grey table, widened back to 0x00BBGGRR.
inline uint32_t GreyColor(uint32_t colorBgr) { return ColorFromRgb565(GreyTable565[Rgb565FromColor(colorBgr)]); }

// Process-wide second switch of the smooth line variant; the map frame sets
// it once at start-up, before any drawing.
extern std::atomic<int32_t> EglSmoothLines;
int32_t SetSmoothLines(int32_t value);

class CEglObject {
public:
    static constexpr int32_t kTypePen = 1;
    static constexpr int32_t kTypeBrush = 2;

    explicit CEglObject(int32_t type) : m_type(type) {}
    virtual ~CEglObject() = default;
    int32_t Type() const { return m_type; }

protected:
    int32_t m_type;
};

class CEglPen : public CEglObject {
public:
    static constexpr int32_t kStyleSolid = 0;
    static constexpr int32_t kStyleNull = 5;

    CEglPen() : CEglObject(kTypePen) {}
    void Set(int32_t style, int32_t width, uint32_t colorBgr, int32_t grey) {
        m_type = kTypePen;
        m_style = style;
        m_width = width;
        m_color = colorBgr;
        m_grey = grey;
    }
    int32_t Style() const { return m_style; }
    int32_t Width() const { return m_width; }
    int32_t Grey() const { return m_grey; }
    uint32_t Color() const { return m_color; }

private:
    int32_t m_style = kStyleNull;
    int32_t m_width = 0;
    int32_t m_grey = 0;
    uint32_t m_color = 0xFFFFFF;
};

class CEglBrush : public CEglObject {
public:
    static constexpr int32_t kStyleNull = 1;

    CEglBrush() : CEglObject(kTypeBrush) {}
    // The hatch is kept for the caller and not used by filling.
    int Set(int32_t style, const void* hatch, uint32_t colorBgr, int32_t grey) {
        m_type = kTypeBrush;
        m_style = style;
        m_hatch = hatch;
        m_color = colorBgr;
        m_grey = grey;
        return 1;
    }
    int32_t Style() const { return m_style; }
    const void* Hatch() const { return m_hatch; }
    int32_t Grey() const { return m_grey; }
    uint32_t Color() const { return m_color; }

private:
    int32_t m_style = kStyleNull;
    const void* m_hatch = nullptr;
    int32_t m_grey = 0;
    uint32_t m_color = 0xFFFFFF;
};

// What a dashed polyline is given. mode 0: every piece is drawn, even pieces
// in colorEven and odd pieces in colorOdd; mode 1: odd pieces are gaps.
// Piece lengths are counted along the major axis of each segment.
struct EglDashStyle {
    int32_t mode = 0;
    int32_t grey = 0;
    float opacity = 1.0f;
    uint32_t colorEven = 0;
    uint32_t colorOdd = 0;
    int32_t width = 1;
    int32_t pieces[4] = {10, 10, 10, 10};
};

class CEglDraw {
public:
    CEglDraw();
    virtual ~CEglDraw();
    CEglDraw(const CEglDraw&) = delete;
    CEglDraw& operator=(const CEglDraw&) = delete;

    // Binds the pixel memory (not owned). 0 for a null buffer or a size
    // below 1 pixel, with nothing stored.
    int Attach(void* pixels, int32_t width, int32_t height);
    int Attach(DibImage565& image) { return Attach(image.Bits(), image.Width(), image.Height()); }

    // Every pixel of every row, the row padding included; no grey, no blend.
    int Clear(uint32_t colorBgr);

    CEglPen* SelectPen(CEglPen* pen);
    CEglBrush* SelectBrush(CEglBrush* brush);
    CEglPen* SelectedPen() const { return m_pen; }
    CEglBrush* SelectedBrush() const { return m_brush; }
    // 1 asks for the smooth stroke variant (with EglSmoothLines also 1).
    int32_t SetLineMode(int32_t mode);
    int32_t LineMode() const { return m_lineMode; }

    // The RGB565 value that was there, or 0xFFFFFF outside the buffer.
    uint32_t SetPixel(int32_t x, int32_t y, uint32_t colorBgr, float opacity, int32_t grey);
    int HLine(int32_t penWidth, int32_t y, int32_t x1, int32_t x2, uint32_t colorBgr, float opacity, int32_t grey);
    int VLine(int32_t penWidth, int32_t x, int32_t y1, int32_t y2, uint32_t colorBgr, float opacity, int32_t grey);
    // Corners inclusive.
    int FillRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colorBgr, float opacity, int32_t grey);
    // One-pixel coverage line; the opacity is not used (ends are opaque).
    int LineSmooth(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colorBgr, float opacity, int32_t grey);
    // One-pixel 16.16 fixed-point line, both ends drawn.
    int LineStep(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colorBgr, float opacity, int32_t grey);
    int ThickLineSmooth(int32_t w, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colorBgr, float opacity,
                        int32_t grey);
    int ThickLine(int32_t w, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colorBgr, float opacity,
                  int32_t grey);

    // Fills with the selected brush (even-odd unless told otherwise).
    // 0 for missing points, count <= 1, no brush or a null brush.
    int Polygon(const EglPoint* points, int32_t count, float opacity, EglFillRule rule = EglFillRule::kEvenOdd);
    // Fills with a pattern tiled from pixel (0, 0) of the image, opaque and
    // without grey, as a pattern brush on the memory device context does.
    int PolygonPattern(const EglPoint* points, int32_t count, const EglPattern565& pattern,
                       EglFillRule rule = EglFillRule::kEvenOdd);
    // Strokes with the selected pen. 0 for missing points, count <= 1, no pen
    // or a null pen.
    int Polyline(const EglPoint* points, int32_t count, float opacity);
    int PolylineClosed(const EglPoint* points, int32_t count, float opacity);
    int PolylineDashed(const EglPoint* points, int32_t count, const EglDashStyle& style);

    // One row of a pattern fill, x1..x2 inclusive, clipped to the buffer.
    void PatternSpan(int32_t y, int32_t x1, int32_t x2, const EglPattern565& pattern);

    uint8_t* Pixels() const { return m_pixels; }
    int32_t Width() const { return m_width; }
    int32_t Height() const { return m_height; }
    int32_t Stride() const { return m_stride; }
    const CEglScanFill& Filler() const { return *m_filler; }

private:
    // Start of screen row y (bottom-up storage).
    uint8_t* Row(int32_t y) const { return m_pixels + static_cast<size_t>(m_height - 1 - y) * m_stride; }
    void Segment(int32_t w, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colorBgr, float opacity,
                 int32_t grey);
    // ThickLine's opaque case written as one span per row, only the steps
    // that can reach the buffer walked; false (nothing drawn) for
    // coordinates or widths beyond what it takes on.
    bool ThickLineRows(int32_t w, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colorBgr, int32_t grey);

    CEglPen* m_pen = nullptr;
    std::unique_ptr<CEglPen> m_ownPen;
    CEglBrush* m_brush = nullptr;
    std::unique_ptr<CEglBrush> m_ownBrush;
    std::unique_ptr<CEglScanFill> m_filler;
    uint8_t* m_pixels = nullptr;
    int32_t m_width = 0;
    int32_t m_height = 0;
    int32_t m_bytesPerPixel = 2;
    int32_t m_stride = 0;
    int32_t m_lineMode = 0;
    std::vector<int32_t> m_rowLow;    // ThickLineRows: the line's x range per row
    std::vector<int32_t> m_rowHigh;
};
