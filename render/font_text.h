#pragma once
// Text drawing with the program's fonts into a 16-bit RGB565 bottom-up
// image: layout in a rectangle, glyph outlines or glyph images through
// Anti-Grain Geometry, and reuse of stored string images from the font pool.
// The handle interface draws with it.
#include <cstdint>
#include <vector>

#include "render/glyph_source.h"

// Text-format bits that take effect.
inline constexpr uint32_t kTextCentre = 0x1;      // centre horizontally
inline constexpr uint32_t kTextRight = 0x2;
inline constexpr uint32_t kTextVCentre = 0x4;     // centre vertically
inline constexpr uint32_t kTextBottom = 0x8;
inline constexpr uint32_t kTextNoClip = 0x100;

struct FontTextTarget {
    uint8_t* pixels = nullptr;  // RGB565 rows, bottom-up, stride 2 x width rounded up to 4
    int32_t width = 0;
    int32_t height = 0;
};

// Draws 8-bit (CP949) text laid out in the rectangle (left, top, right,
// bottom) in the colour 0x00BBGGRR. scratch holds the serialised image of a
// vector string between calls and only grows. Returns the text height when
// drawn, 0 when nothing was (no font, text wholly outside the image).
int DrawFontText(MneGlyphSource* font, const FontTextTarget& target, const char* text, int32_t length,
                 const int32_t rect[4], uint32_t flags, uint32_t colour, std::vector<uint8_t>& scratch);
