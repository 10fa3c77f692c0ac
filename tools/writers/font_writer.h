#pragma once
// Writes the program's font files: "FVNM" (glyph outlines) and "FBNM"
// (pre-rendered anti-aliased glyph images for one size), and makes them
// from a TrueType font with FreeType.
//
// File layout (little-endian): the 56-byte header, the face name, the range
// table (first code u16, last code u16, offset of the range's glyph records
// u32) and the glyph records (advance u8, height u8, data length u16, data
// offset u32) form the resident part; the glyph data follows it.
//
// Outlines are given in pixels with y growing downwards from the baseline,
// x from the pen position. An outer contour runs down its left side first
// (negative area by the shoelace sum, y down): the text drawing's contour
// stage, which widens an outline by -weight x height x 0.05, then thickens
// text drawn wider than the design width and thins narrower text.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace fontwriter {

struct Glyph {
    uint16_t code = 0;      // CP949: one byte, or lead byte << 8 | trail byte
    uint8_t advance = 0;    // pixels at the font's (design) height
    uint8_t height = 0;     // pixels
    std::vector<uint8_t> data;  // empty for a blank glyph
};

struct FontDesc {
    bool bitmap = false;
    std::string faceName;   // 8-bit (CP949) text, at most 64 bytes
    int32_t height = 0;     // pixel height (bitmap) or design height (vector)
    int32_t width = 0;      // pixel width (bitmap) or design width (vector)
    int32_t descent = 0;    // pixels from the text's bottom up to the baseline
    std::vector<Glyph> glyphs;
};

// The file image. Glyphs are sorted by code; each run of consecutive codes
// becomes one range. Empty when the desc cannot be stored (name too long,
// duplicate codes, a glyph of more than 65535 bytes).
std::vector<uint8_t> BuildFontFile(const FontDesc& desc, std::string* error = nullptr);
// Builds and writes the file through the atomic replace.
bool WriteFontFile(const std::string& nativePath, const FontDesc& desc, std::string* error = nullptr);

// An outline in the serialised 16-bit integer path form (1/64 pixel, each
// coordinate shifted up one bit, the two low bits giving the command).
class OutlineBuilder {
public:
    void MoveTo(double x, double y) { Add(x, y, 0); }
    void LineTo(double x, double y) { Add(x, y, 1); }
    void Curve3(double cx, double cy, double x, double y) {
        Add(cx, cy, 2);
        Add(x, y, 2);
    }
    void Curve4(double c1x, double c1y, double c2x, double c2y, double x, double y) {
        Add(c1x, c1y, 3);
        Add(c2x, c2y, 3);
        Add(x, y, 3);
    }
    // Closed polygons, one contour each: the readable way tests draw glyphs.
    // Polygon keeps the points' order; Rect runs down the left side first.
    void Polygon(const std::vector<std::pair<double, double>>& points);
    void Rect(double x1, double y1, double x2, double y2);

    const std::vector<uint8_t>& Data() const { return m_data; }
    bool Empty() const { return m_data.empty(); }

private:
    void Add(double x, double y, unsigned command);
    std::vector<uint8_t> m_data;
};

// Renders an outline (OutlineBuilder data) into the serialised scanline
// image of a bitmap glyph. Empty when the outline covers no pixel.
std::vector<uint8_t> RasteriseOutline(const std::vector<uint8_t>& outline);

// Every code CP949 defines (one-byte 0x20-0x7E and the two-byte codes),
// each with its UTF-16 character, in code order.
std::vector<std::pair<uint16_t, char16_t>> Cp949Codes();

// Converts a TrueType font. Vector: outlines at design height `height`
// pixels per em, written with design width `width`. Bitmap: images rendered
// (hinted) at `height` pixels per em, the file marked with `width`. codes
// limits the characters (empty: every CP949 code the font covers).
struct TrueTypeOptions {
    std::string ttfPath;
    std::string faceName;  // 8-bit (CP949)
    bool bitmap = false;
    int32_t height = 64;
    int32_t width = 400;
    std::vector<uint16_t> codes;
};
bool ConvertTrueType(const TrueTypeOptions& options, FontDesc& out, std::string* error = nullptr);

}  // namespace fontwriter
