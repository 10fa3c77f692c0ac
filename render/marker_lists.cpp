#include "render/marker_lists.h"

#include <algorithm>
#include <cstring>

#include "platform/codepage.h"
#include "render/draw_map.h"
#include "render/map_overlays.h"
#include "render/map_symbols.h"
#include "render/poi_placement.h"

namespace {

// The grey switch the point passes draw with (the ninth class).
constexpr int kPointGreySwitch = 8;

int32_t HeightOfSky(CMneDrawMap& map) { return map.Coords().BirdView().GetSkyHeight(); }

}  // namespace

uint8_t MneDrawnPlacementKind(const tagMODULEDRAWPOICACHE& record, int symbolKind, int poiViewLevel) {
    if (poiViewLevel != 1) return record.kind;
    const ScreenRect& t = record.textRect;
    if (t.left == 0 && t.top == 0 && t.right == 0 && t.bottom == 0) return kPlaceSymbolOnly;
    const int kind = MnePlacementKindOfSymbol(symbolKind);
    return kind < 0 ? record.kind : static_cast<uint8_t>(kind);
}

ScreenPoint MneBoxPointerCorner(const ScreenRect& box, const StyleSymbol& pointer) {
    return {box.left + (box.right - box.left) / 2 - 5 + pointer.c, box.bottom + 3 + pointer.d};
}

void CMneDrawMap::DrawLabelBox(const ScreenRect& box, const MneTextClass& textClass, int32_t borderWidth,
                               int32_t grey) {
    m_egl.FillRect(box.left, box.top, box.right, box.bottom, textClass.boxColour, textClass.boxOpacity, grey);
    if (!textClass.border) return;
    const int32_t w = std::max(1, borderWidth);
    const uint32_t c = textClass.borderColour;
    m_egl.FillRect(box.left, box.top, box.right, box.top + w - 1, c, 1.0f, grey);
    m_egl.FillRect(box.left, box.bottom - w + 1, box.right, box.bottom, c, 1.0f, grey);
    m_egl.FillRect(box.left, box.top, box.left + w - 1, box.bottom, c, 1.0f, grey);
    m_egl.FillRect(box.right - w + 1, box.top, box.right, box.bottom, c, 1.0f, grey);
}

int CMneDrawMap::DrawPlacedPois() {
    const int32_t grey = m_grey.on[kPointGreySwitch];
    for (int index = 2; index >= 0; --index) {
        const MnePoiCache& cache = PoiCache(index);
        for (int32_t i = 0; i < cache.Count(); ++i) {
            const tagMODULEDRAWPOICACHE& r = cache.At(i);
            const int32_t nameLength = static_cast<int32_t>(strnlen(r.name, sizeof r.name));
            const ScreenPoint corner{r.symbolRect.left, r.symbolRect.top};
            if (r.groupType == kMneLandmarkGroupType) {
                StyleSymbol image;
                if (m_style.GetLandmarkImage(r.classIndex, &image))
                    BlitSymbol(image.image, corner, image.b, image.a, 0, 0, grey);
                if (r.kind != kPlaceSymbolOnly)
                    DrawOutlinedText(r.name, nameLength, r.textRect, r.fontSizeClass, 0, grey);
                continue;
            }
            MnePoiClassStyle style;
            if (!MneLookupPoiClassStyle(m_style, r.classIndex, &style)) continue;
            const uint8_t kind = MneDrawnPlacementKind(r, style.kind, m_inputs.poiViewLevel);
            MneTextClass text;
            const bool haveText = MneTextClassOf(m_style, style.textClass, r.fontSizeClass, &text) != 0;
            if (haveText && text.boxKind != 0 && kind != kPlaceSymbolOnly) {
                ScreenRect box = r.textRect;
                const bool framed = text.boxKind == kMneFramedBoxKind;
                if (framed && r.textWidth != 0 && r.textHeight != 0) {
                    box.left -= 8, box.right += 8, box.bottom += 2;
                }
                DrawLabelBox(box, text, framed ? 3 : 1, grey);
                // A framed box points at its place with the box pointer,
                // below the middle of the box.
                StyleSymbol pointer;
                if (framed && text.border && m_style.GetMap14Symbol(kMneBoxPointerSymbol, &pointer))
                    BlitSymbol(pointer.image, MneBoxPointerCorner(box, pointer), pointer.b, pointer.a, 0, 0, grey);
            }
            if (kind == kPlaceSymbolOnly || kind == kPlaceSymbolAndText) {
                StyleSymbol symbol;
                if (m_style.GetSymbolClassSymbol(r.classIndex, &symbol))
                    BlitSymbol(symbol.image, corner, symbol.b, symbol.a, 0, 0, grey);
            }
            if ((kind == kPlaceTextOnly || kind == kPlaceSymbolAndText) && haveText)
                MneDrawOutlinedText(m_dc, r.name, nameLength, r.textRect, text, grey);
        }
    }
    return 1;
}

int CMneDrawMap::DrawRouteMarkers() {
    const MneRouteMarks& marks = m_inputs.routeMarks;
    const int32_t grey = m_grey.on[kPointGreySwitch];
    ScreenRect view{0, 0, m_request.viewWidth, m_request.viewHeight};
    if (m_request.birdView) view.top = HeightOfSky(*this) * 3 / 2;
    auto drawAt = [&](const MapPoint& at, int symbolIndex) {
        ScreenPoint p;
        if (!Coords().MapToScreen(at, p, m_request.birdView, 0) || !MneStrictlyInside(view, p)) return;
        StyleSymbol symbol;
        if (m_style.GetGroupSymbol(symbolIndex, 1, &symbol))
            BlitSymbol(symbol.image, p, symbol.b, symbol.a, symbol.c, symbol.d, grey);
    };
    if (marks.departure.x != -1 && marks.points.empty()) drawAt(marks.departure, kMneDepartureMark);
    const int n = static_cast<int>(marks.points.size());
    const bool labels = m_inputs.routePointLabels != 0 && m_request.viewMode != 5;
    for (int i = n - 1; i >= 0; --i) {
        const MapPoint& at = marks.points[static_cast<size_t>(i)];
        drawAt(at, n == 1 ? 96 : kMneFirstRoutePointMark - i);
        if (labels && static_cast<size_t>(i) < marks.labels.size()) DrawRoutePointLabel(at, marks.labels[static_cast<size_t>(i)], view);
    }
    if (m_request.viewMode != 5) {
        for (auto it = marks.guidanceMarks.rbegin(); it != marks.guidanceMarks.rend(); ++it) {
            ScreenPoint p;
            StyleSymbol symbol;
            if (!Coords().MapToScreen(it->position, p, m_request.birdView, 0) || !MneStrictlyInside(view, p)) continue;
            if (m_style.GetSignSymbol(it->kind, it->value, &symbol))
                BlitSymbol(symbol.image, p, symbol.b, symbol.a, symbol.c, symbol.d, grey);
        }
    }
    return 1;
}

int CMneDrawMap::DrawRoutePointLabel(const MapPoint& at, const std::vector<int32_t>& label, const ScreenRect& view) {
    ScreenPoint p;
    if (label.size() < 2 || !Coords().MapToScreen(at, p, m_request.birdView, 0) || !MneStrictlyInside(view, p)) return 0;
    std::vector<StyleSymbol> row(label.size());
    for (size_t i = 0; i < label.size(); ++i)
        if (!m_style.GetGroupSymbol(label[i], 1, &row[i]) || row[i].image.bits == nullptr) return 0;
    return DrawSymbolRow(*this, p, row, m_grey.on[kPointGreySwitch]);
}

int CMneDrawMap::DrawMarkers(const std::vector<MneMarkerEntry>& entries) {
    if (m_level <= 7 || entries.empty()) return 0;
    const int32_t grey = m_grey.on[kPointGreySwitch];
    ScreenRect view{0, 0, m_request.viewWidth, m_request.viewHeight};
    if (m_request.birdView) view.top = HeightOfSky(*this) * 3 / 2;
    MneTextClass text;
    const bool haveText = MneTextClassOf(m_style, kMneMarkerTextClass, 0, &text) != 0;
    for (const MneMarkerEntry& e : entries) {
        ScreenPoint p;
        if (!Coords().MapToScreen(e.position, p, m_request.birdView, 0)) continue;
        if (p.x < view.left || p.x > view.right || p.y < view.top || p.y > view.bottom) continue;
        int32_t symbolHeight = 0;
        if (e.symbolId >= 0) {
            StyleSymbol symbol;
            if (m_style.GetPoiSymbol(e.symbolId, &symbol)) {
                BlitSymbol(symbol.image, p, symbol.b, symbol.a, symbol.c, symbol.d, grey);
                symbolHeight = symbol.a;
            }
        }
        if (!haveText || e.name.empty()) continue;
        std::string name;
        platform::Utf16ToCp949(e.name, name);
        if (name.size() > 64) name.resize(64);
        MneSize extent;
        if (!text.font->GetTextExtent(name.data(), static_cast<int32_t>(name.size()), &extent)) continue;
        const int32_t top = e.symbolId > 0 ? p.y + symbolHeight + 10 : p.y - 10;
        const ScreenRect box{p.x - extent.cx / 2, top, p.x - extent.cx / 2 + extent.cx, top + extent.cy};
        if (text.boxKind != 0)
            DrawLabelBox(ScreenRect{box.left - 7, box.top - 5, box.right + 7, box.bottom + 3}, text, 1, grey);
        MneGlyphSource* oldFont = m_dc.SelectFont(text.font);
        const uint32_t oldColour = m_dc.SetTextColor(text.textColour);
        const uint32_t oldBk = m_dc.SetBkColor(text.outlineColour);
        const int32_t oldGrey = m_dc.GetGreyMode();
        m_dc.SetGreyMode(grey);
        const MneRect r{box.left, box.top, box.right, box.bottom};
        m_dc.DrawText(name.data(), static_cast<int32_t>(name.size()), &r, kMneOutlinedTextFlags);
        m_dc.SetGreyMode(oldGrey);
        m_dc.SetBkColor(oldBk);
        m_dc.SetTextColor(oldColour);
        m_dc.SelectFont(oldFont);
    }
    return 1;
}

int CMneDrawMap::DrawMarkerList() { return DrawMarkers(m_inputs.markerList); }
int CMneDrawMap::DrawMarkerList2() { return DrawMarkers(m_inputs.markerList2); }

void InstallLabelPasses(CMneDrawMap& map) {
    map.SetPassHandler(MnePass::kPoi, [](CMneDrawMap& m, const MnePassContext& c) { m.PassPoi(c.poiMask); });
    map.SetPassHandler(MnePass::kReplaceCachedPoi,
                       [](CMneDrawMap& m, const MnePassContext& c) { m.ReplaceCachedPois(c.cacheIndex); });
    map.SetPassHandler(MnePass::kStyleLandmarks, [](CMneDrawMap& m, const MnePassContext&) { m.PlaceStyleLandmarks(); });
    map.SetPassHandler(MnePass::kThemeSymbols, [](CMneDrawMap& m, const MnePassContext&) { m.PlaceThemeSymbols(); });
    map.SetPassHandler(MnePass::kTrafficIncidents,
                       [](CMneDrawMap& m, const MnePassContext&) { m.PlaceTrafficIncidents(); });
    map.SetPassHandler(MnePass::kPlacedPois, [](CMneDrawMap& m, const MnePassContext&) { m.DrawPlacedPois(); });
    map.SetPassHandler(MnePass::kRouteMarkers, [](CMneDrawMap& m, const MnePassContext&) { m.DrawRouteMarkers(); });
    map.SetPassHandler(MnePass::kMarkerList, [](CMneDrawMap& m, const MnePassContext&) { m.DrawMarkerList(); });
    map.SetPassHandler(MnePass::kMarkerList2, [](CMneDrawMap& m, const MnePassContext&) { m.DrawMarkerList2(); });
}
