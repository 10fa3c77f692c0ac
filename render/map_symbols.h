#pragma once
// The small drawing helpers that the label, marker and route passes share:
// the keyed symbol blit (magenta transparent) and outlined text, with the
// text classes of the map style that outlined text and label boxes draw
// with.
//
// Text classes are the style file's label style records (30 bytes, the
// records the landmarks use as well). How this renderer reads one:
//   byte 0   box kind (0 no box; 13 the framed box with a pointer symbol)
//   byte 1   non-zero: the box has a border
//   u16 2    box opacity in tenths (0-10)
//   u16 4, 6, 8   font numbers of the font size classes 0, 1 and 2
//   u16 10 / 20   box colour, normal / alternate style (palette index)
//   u16 12 / 22   border colour
//   u16 14 / 24   text colour
//   u16 16 / 26   outline colour
//   u16 18 / 28   second outline colour (the right-hand copy)
// Record 0 is not a text class: a landmark's style index is never 0.
#include <cstdint>

#include "render/aa_context.h"
#include "render/dib_image.h"
#include "render/screen_geometry.h"

class NcConfigMap;

// Magenta, the transparent colour of every map symbol (0x00BBGGRR).
inline constexpr uint32_t kMneSymbolKeyColour = 0xFF00FF;
// Drawing flags of outlined text: centred both ways on one line, not
// clipped, no prefix characters.
inline constexpr uint32_t kMneOutlinedTextFlags = 0x925;

struct MneTextClass {
    MneGlyphSource* font = nullptr;   // not owned; null draws nothing
    uint32_t textColour = 0;
    uint32_t outlineColour = 0xFFFFFF;
    uint32_t outlineColour2 = 0xFFFFFF;
    uint8_t boxKind = 0;
    uint8_t border = 0;
    float boxOpacity = 1.0f;
    uint32_t boxColour = 0xFFFFFF;
    uint32_t borderColour = 0;
};

// The text class `index` of the style in font size class `sizeClass` (0-2;
// others take class 0's font). 1 when the class exists and has a font, else
// 0 (out left as it was).
int MneTextClassOf(NcConfigMap& style, int index, int sizeClass, MneTextClass* out);

// Copies the source rectangle (sx0, sy0)..(sx1, sy1) of a 16-bit symbol
// image (rows bottom-up) onto the picture so that its anchor (relative to
// the rectangle) lies on the point; magenta pixels are skipped; grey 1
// draws through the grey table. 0 when nothing could be copied (no image,
// an empty rectangle, a picture without pixels or wholly off the picture).
int MneBlitSymbolPart(DibImage565& picture, const MneBitmapDesc& image, ScreenPoint point, int32_t sx0, int32_t sy0,
                      int32_t sx1, int32_t sy1, int32_t anchorX, int32_t anchorY, int32_t grey);

// Text in the class's text colour with a one-pixel outline: the outline
// colour at (-1, 0), (0, +1), (0, -1), the second outline colour at
// (+1, 0), then the text at (0, 0), each centred in the rectangle. The
// context's font and colours are left as they were. 1 when drawn.
int MneDrawOutlinedText(CMneDC& dc, const char* text, int32_t length, const ScreenRect& rect,
                        const MneTextClass& textClass, int32_t grey);
