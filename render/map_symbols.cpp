#include "render/map_symbols.h"

#include <algorithm>

#include "render/bitmap.h"
#include "render/config_map.h"
#include "render/draw_map.h"

namespace {

uint32_t PaletteColour(const CConfigManager& manager, uint16_t index, uint32_t fallback) {
    const auto& palette = manager.Palette();
    return index < palette.size() ? palette[index] : fallback;
}

}  // namespace

int MneTextClassOf(NcConfigMap& style, int index, int sizeClass, MneTextClass* out) {
    if (out == nullptr) return 0;
    CConfigManager& manager = style.Manager();
    const auto& records = manager.LandmarkStyles();
    if (index <= 0 || static_cast<size_t>(index) >= records.size()) return 0;
    const StyleLandmarkStyle& r = records[static_cast<size_t>(index)];
    if (sizeClass < 0 || sizeClass > 2) sizeClass = 0;
    MneGlyphSource* font = style.GetFont(r.U16(4 + 2 * static_cast<size_t>(sizeClass)));
    if (font == nullptr) return 0;
    const size_t half = style.AlternateFlag() ? 10 : 0;
    MneTextClass c;
    c.font = font;
    c.boxKind = r.U8(0);
    c.border = r.U8(1);
    c.boxOpacity = CConfigManager::OpacityFromByte(static_cast<uint8_t>(std::min<uint16_t>(r.U16(2), 10)));
    c.boxColour = PaletteColour(manager, r.U16(10 + half), 0xFFFFFF);
    c.borderColour = PaletteColour(manager, r.U16(12 + half), 0);
    c.textColour = PaletteColour(manager, r.U16(14 + half), 0);
    c.outlineColour = PaletteColour(manager, r.U16(16 + half), 0xFFFFFF);
    c.outlineColour2 = PaletteColour(manager, r.U16(18 + half), 0xFFFFFF);
    *out = c;
    return 1;
}

int MneBlitSymbolPart(DibImage565& picture, const MneBitmapDesc& image, ScreenPoint point, int32_t sx0, int32_t sy0,
                      int32_t sx1, int32_t sy1, int32_t anchorX, int32_t anchorY, int32_t grey) {
    if (picture.Empty() || image.bits == nullptr) return 0;
    sx1 = std::min(sx1, image.width);
    sy1 = std::min(sy1, image.height);
    if (sx1 <= sx0 || sy1 <= sy0) return 0;
    const MneBitmapDesc target = picture.Description();
    // The anchor is measured from the rectangle's corner.
    const int64_t x = int64_t{point.x} - anchorX, y = int64_t{point.y} - anchorY;
    if (x <= -(sx1 - sx0) || y <= -(sy1 - sy0) || x >= picture.Width() || y >= picture.Height()) return 0;
    return BlitKeyed(&target, static_cast<int32_t>(x), static_cast<int32_t>(y), sx1 - sx0, sy1 - sy0, &image, sx0,
                     sy0, sx1, sy1, kMneSymbolKeyColour, grey);
}

int MneDrawOutlinedText(CMneDC& dc, const char* text, int32_t length, const ScreenRect& rect,
                        const MneTextClass& textClass, int32_t grey) {
    if (text == nullptr || length <= 0 || textClass.font == nullptr || !dc.IsAttached()) return 0;
    MneGlyphSource* oldFont = dc.SelectFont(textClass.font);
    const uint32_t oldColour = dc.GetTextColor();
    const int32_t oldGrey = dc.GetGreyMode();
    dc.SetGreyMode(grey);
    struct Copy {
        int32_t dx, dy;
        uint32_t colour;
    };
    const Copy copies[5] = {{-1, 0, textClass.outlineColour},
                            {0, 1, textClass.outlineColour},
                            {0, -1, textClass.outlineColour},
                            {1, 0, textClass.outlineColour2},
                            {0, 0, textClass.textColour}};
    int drawn = 0;
    for (const Copy& c : copies) {
        dc.SetTextColor(c.colour);
        const MneRect r{rect.left + c.dx, rect.top + c.dy, rect.right + c.dx, rect.bottom + c.dy};
        if (dc.DrawText(text, length, &r, kMneOutlinedTextFlags) > 0) drawn = 1;
    }
    dc.SetTextColor(oldColour);
    dc.SetGreyMode(oldGrey);
    dc.SelectFont(oldFont);
    return drawn;
}

// ---- The renderer's helpers ------------------------------------------------------------

int CMneDrawMap::BlitSymbol(const MneBitmapDesc& image, ScreenPoint point, int32_t width, int32_t height,
                            int32_t anchorX, int32_t anchorY, int32_t grey) {
    return MneBlitSymbolPart(m_image, image, point, 0, 0, width, height, anchorX, anchorY, grey);
}

int CMneDrawMap::BlitPart(const MneBitmapDesc& image, ScreenPoint point, int32_t sx0, int32_t sy0, int32_t sx1,
                          int32_t sy1, int32_t anchorX, int32_t anchorY, int32_t grey) {
    return MneBlitSymbolPart(m_image, image, point, sx0, sy0, sx1, sy1, anchorX, anchorY, grey);
}

int CMneDrawMap::DrawOutlinedText(const char* text, int32_t length, const ScreenRect& rect, int textClass,
                                  int sizeClass, int32_t grey) {
    MneTextClass c;
    if (!MneTextClassOf(m_style, textClass, sizeClass, &c)) return 0;
    return MneDrawOutlinedText(m_dc, text, length, rect, c, grey);
}
