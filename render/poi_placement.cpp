#include "render/poi_placement.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "foundation/memory_heap.h"
#include "mapdb/block_view.h"
#include "render/draw_map.h"
#include "render/map_symbols.h"

// ---- Rules -------------------------------------------------------------------------------

int MneLookupPoiClassStyle(NcConfigMap& style, int poiClass, MnePoiClassStyle* out) {
    SymbolClassAttributes a;
    if (poiClass < 0 || !style.GetSymbolClassLabelAttributes(poiClass, &a)) return 0;
    const StyleSymbolClassHead& head = style.Manager().SymbolClassHeads()[static_cast<size_t>(poiClass)];
    MnePoiClassStyle s;
    s.visible = a.itemBytes[3] != 0;
    s.kind = a.symbolKind;
    s.positionCode = a.itemByte9;
    s.textClass = a.itemByte10;
    s.storedVisibility = a.headByte10;
    s.visibility = a.headByte10 == 2 ? 0 : a.headByte10;
    s.categoryFlags[0] = head.raw.U8(4);
    s.categoryFlags[1] = head.raw.U8(5);
    s.categoryBits = a.headAttribute;
    s.categoryCode = a.itemValue;
    StyleSymbol symbol;
    if (style.GetSymbolClassSymbol(poiClass, &symbol) && symbol.image.bits != nullptr) {
        s.hasImage = 1;
        s.imageHeight = symbol.a;
        s.imageWidth = symbol.b;
        s.anchorX = symbol.c;
        s.anchorY = symbol.d;
    }
    *out = s;
    return 1;
}

int MnePlacementKindOfSymbol(int kind) {
    switch (kind) {
        case 1: case 5: case 9: return kPlaceTextOnly;
        case 2: case 4: return kPlaceSymbolAndText;
        case 3: return kPlaceSymbolOnly;
        default: return -1;
    }
}

int MneLabelSpacing(int poiViewLevel) {
    switch (poiViewLevel) {
        case 1: return -4;
        case 3: return 20;
        default: return 0;
    }
}

ScreenRect MnePlacementWindow(int32_t width, int32_t height, int birdView, int32_t horizon) {
    ScreenRect w{-width / 2, -height / 2, width + width / 2, height + height / 2};
    if (birdView) w.top = horizon * 3 / 2;
    return w;
}

bool MneTextBoxOfCode(int positionCode, ScreenPoint anchor, int32_t w, int32_t h, int32_t symbolBottom,
                      ScreenRect* out) {
    const int32_t x = anchor.x, y = anchor.y;
    ScreenRect r;
    switch (positionCode) {
        case 0:
        case 8:
            return false;   // no box of their own: the candidate shows its symbol only
        case 1:
            r.left = x - w / 2, r.top = y - h / 2 - h - 1;
            break;
        case 2:
        case 7:
            r.left = x - w / 2, r.top = symbolBottom;
            break;
        case 11:
            r.left = x - w / 2, r.top = y - h / 2 + 3;
            break;
        case 13:
            r.left = x - w / 2 - 8, r.top = y - h / 2 - h;
            break;
        default:
            r.left = x - w / 2, r.top = y - h / 2;
            break;
    }
    r.right = r.left + w;
    r.bottom = r.top + h;
    if (positionCode == 13) r.right -= 8;
    *out = r;
    return true;
}

ScreenRect MneWidenBySpacing(const ScreenRect& r, int spacing) {
    return ScreenRect{r.left - spacing, r.top - spacing / 2, r.right + spacing, r.bottom + spacing / 2};
}

std::string MneFormatLotNumber(int16_t mainField, int16_t subField) {
    auto flagOne = [](int16_t field) { return (static_cast<uint16_t>(field) & 0xC000) == 0x4000; };
    const int mainNumber = static_cast<uint16_t>(mainField) & 0xFFF;
    const int subNumber = static_cast<uint16_t>(subField) & 0xFFF;
    // "산" in CP949.
    static const char kMountain[] = "\xBB\xEA";
    char text[32];
    if (flagOne(mainField) && flagOne(subField))
        std::snprintf(text, sizeof text, "%s%d-%d", kMountain, mainNumber, subNumber);
    else if (flagOne(mainField))
        std::snprintf(text, sizeof text, "%s%d", kMountain, mainNumber);
    else if (flagOne(subField))
        std::snprintf(text, sizeof text, "%d-%d", mainNumber, subNumber);
    else
        std::snprintf(text, sizeof text, "%d", mainNumber);
    return text;
}

int MneIsChosenCategory(int categoryCode, const std::vector<int32_t>& chosen) {
    if (categoryCode == 0) return 0;
    for (int32_t code : chosen)
        if (code != 0 && code == categoryCode) return 1;
    return 0;
}

// ---- The placement passes ----------------------------------------------------------------

namespace {

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t U32(const uint8_t* p) { return uint32_t{U16(p)} | uint32_t{U16(p + 2)} << 16; }

// Visits the records of every item of the groups of one type in a POI
// family block: (record bytes) per record. Arrays that would leave the
// block are skipped.
template <class Visit>
void ForEachPoiRecord(const uint8_t* data, uint32_t size, int groupType, uint32_t recordBytes, Visit&& visit) {
    const MneBlockView view(data, size);
    if (!view.Contains(0, kMneGroupedHeaderBytes)) return;
    const uint32_t groupCount = data[0];
    const uint32_t groupTable = U32(data + 1);
    if (!view.ContainsArray(groupTable, groupCount, 4)) return;
    for (uint32_t g = 0; g < groupCount; ++g) {
        const uint32_t group = U32(data + groupTable + 4 * g);
        if (!view.Contains(group, kMneGroupBytes) || data[group + 2] != groupType) continue;
        const uint32_t itemCount = U16(data + group);
        const uint32_t itemTable = U32(data + group + 3);
        if (!view.ContainsArray(itemTable, itemCount, 4)) continue;
        for (uint32_t i = 0; i < itemCount; ++i) {
            const uint32_t item = U32(data + itemTable + 4 * i);
            if (!view.Contains(item, kMnePoiItemBytes)) continue;
            const uint32_t count = U16(data + item);
            const uint32_t records = U32(data + item + 2);
            if (!view.ContainsArray(records, count, recordBytes)) continue;
            for (uint32_t k = 0; k < count; ++k) visit(data + records + k * recordBytes);
        }
    }
}

void CopyName(char (&out)[64], const char* text, size_t length) {
    const size_t n = std::min<size_t>(length, sizeof out - 1);
    std::memcpy(out, text, n);
    std::memset(out + n, 0, sizeof out - n);
}

}  // namespace

// What a placement candidate brings: where it is, its class and attributes,
// its text.
struct CMneDrawMap::PoiCandidate {
    ScreenPoint anchor;
    MapPoint map;
    uint16_t poiClass = 0;
    uint8_t displayStep = 0;
    uint8_t fontSizeClass = 0;
    uint8_t thirdAttribute = 0;
    uint16_t groupType = 0;
    uint32_t word = 0;
    const char* text = nullptr;
    size_t textLength = 0;
    bool lotNumber = false;
};

ScreenRect CMneDrawMap::PlacementWindow() {
    const CMneBirdViewManager& bird = Coords().BirdView();
    return MnePlacementWindow(m_request.viewWidth, m_request.viewHeight, m_request.birdView, bird.GetSkyHeight());
}

int CMneDrawMap::IsChosenCategory(int poiClass) {
    MnePoiClassStyle style;
    const int code = MneLookupPoiClassStyle(m_style, poiClass, &style) ? style.categoryCode : 0;
    return MneIsChosenCategory(code, m_inputs.poiCategories);
}

int CMneDrawMap::PlaceCandidate(const PoiCandidate& c, uint32_t mask, int cacheIndex) {
    MnePoiClassStyle style;
    // 1. Mask.
    const bool anyClass = mask == 0x01 || mask == 0x20 || mask == 0x100;
    if (!MneLookupPoiClassStyle(m_style, c.poiClass, &style)) return 0;
    if (!anyClass && (mask & style.categoryBits) == 0) return 0;
    // 2. Chosen categories.
    bool chosen = false;
    if (mask == 0x01 && m_level > 7) {
        if (m_request.viewMode == 5 || !MneIsChosenCategory(style.categoryCode, m_inputs.poiCategories)) return 0;
        chosen = true;
    }
    // 3. Visible, with the category flag of the mask.
    if (!style.visible) return 0;
    if (mask == 0x20 && !style.categoryFlags[0]) return 0;
    if (mask == 0x100 && !style.categoryFlags[1]) return 0;
    // 4., 5. Lot numbers need a visibility or the closest level.
    if (c.groupType == kMneLotNumberGroupType && style.storedVisibility == 0 && m_level != 17) return 0;
    // 6., 7. The kind.
    int kind = MnePlacementKindOfSymbol(style.kind);
    if (kind < 0) return 0;
    if (chosen && m_level < 15) kind = kPlaceSymbolOnly;
    // 8. A symbol needs its image.
    if (kind != kPlaceTextOnly && !style.hasImage) return 0;
    // 9. The step.
    if (!chosen) {
        const int s = StepFromScaleLevel(m_level);
        const int d = c.displayStep;
        const int variant = m_themes[m_request.screenIndex].variant;
        if (c.lotNumber) {
            if (variant == 0 ? d != s : (style.kind != kMnePoiThemeKind && d < s)) return 0;
        } else {
            if (variant == 0 || style.kind != kMnePoiThemeKind ? d != s : d < s) return 0;
        }
    }
    return PlaceBoxes(c, style, kind, cacheIndex, 0, 0);
}

int CMneDrawMap::PlaceBoxes(const PoiCandidate& c, const MnePoiClassStyle& style, int kind, int cacheIndex,
                            int32_t storedWidth, int32_t storedHeight) {
    const bool replacing = storedWidth > 0;
    ScreenRect symbolBox{c.anchor.x, c.anchor.y, c.anchor.x, c.anchor.y};
    if (kind != kPlaceTextOnly) {
        symbolBox.left = c.anchor.x - style.anchorX;
        symbolBox.top = c.anchor.y - style.anchorY;
        symbolBox.right = symbolBox.left + style.imageWidth;
        symbolBox.bottom = symbolBox.top + style.imageHeight;
    }
    ScreenRect textBox;
    int32_t w = 0, h = 0;
    if (kind != kPlaceSymbolOnly) {
        if (replacing) {
            w = storedWidth, h = storedHeight;
        } else {
            MneTextClass text;
            MneSize extent;
            if (!MneTextClassOf(m_style, style.textClass, c.fontSizeClass, &text) ||
                !text.font->GetTextExtent(c.text, static_cast<int32_t>(c.textLength), &extent))
                return 0;
            w = extent.cx, h = extent.cy;
        }
        if (w <= 0 || h <= 0) return 0;
        // Codes 0 and 8 have no text box: such a candidate shows its symbol.
        if (!MneTextBoxOfCode(style.positionCode, c.anchor, w, h, symbolBox.bottom, &textBox)) {
            if (!style.hasImage) return 0;
            kind = kPlaceSymbolOnly;
            w = h = 0;
        }
    }
    if (kind == kPlaceSymbolAndText && m_inputs.poiViewLevel == 1) kind = kPlaceTextOnly;
    const ScreenRect tested = MneWidenBySpacing(textBox, MneLabelSpacing(m_inputs.poiViewLevel));

    MnePoiCache& cache = PoiCache(cacheIndex);
    if (style.visibility == 0) {
        if (cache.Overlaps(static_cast<uint8_t>(kind), tested, symbolBox, 0, nullptr, nullptr)) return 0;
    } else if (style.visibility != 1) {
        return 0;
    }
    tagMODULEDRAWPOICACHE record{};
    CopyName(record.name, c.text ? c.text : "", c.text ? c.textLength : 0);
    record.textRect = textBox;
    record.symbolRect = symbolBox;
    record.kind = static_cast<uint8_t>(kind);
    record.notIndexed = static_cast<uint8_t>(style.visibility);
    record.displayStep = c.displayStep;
    record.fontSizeClass = c.fontSizeClass;
    record.thirdAttribute = c.thirdAttribute;
    record.classIndex = c.poiClass;
    record.groupType = c.groupType;
    record.sortKey = c.word;
    record.mapX = c.map.x;
    record.mapY = c.map.y;
    record.textWidth = static_cast<int16_t>(std::clamp<int32_t>(w, 0, INT16_MAX));
    record.textHeight = static_cast<int16_t>(std::clamp<int32_t>(h, 0, INT16_MAX));
    return cache.Add(record, record.kind, record.notIndexed, tested, symbolBox, SortPoiCacheByKey);
}

int CMneDrawMap::PlacePoiNames(int /*level*/, const uint8_t* block, uint32_t size, uint32_t mask, int cacheIndex,
                               int groupType) {
    const ScreenRect window = PlacementWindow();
    CMneCoordSystem& coords = Coords();
    const MneBlockView view(block, size);
    ForEachPoiRecord(block, size, groupType, kMnePoiRecordBytes, [&](const uint8_t* r) {
        PoiCandidate c;
        const auto y = static_cast<int16_t>(U16(r)), x = static_cast<int16_t>(U16(r + 2));
        if (!coords.LocalXYToScreen(x, y, c.anchor, m_request.birdView, 0)) return;
        if (!MneStrictlyInside(window, c.anchor)) return;
        const uint16_t nameLength = U16(r + 14);
        const char* name = reinterpret_cast<const char*>(view.Resolve(U32(r + 16), nameLength));
        if (name == nullptr) return;
        c.map = coords.LocalToMap(x, y);
        c.word = U32(r + 4);
        c.poiClass = U16(r + 8);
        c.displayStep = r[10];
        c.fontSizeClass = r[11];
        c.thirdAttribute = r[12];
        c.groupType = static_cast<uint16_t>(groupType);
        c.text = name;
        c.textLength = nameLength;
        PlaceCandidate(c, mask, cacheIndex);
    });
    return 1;
}

int CMneDrawMap::PlaceLotNumbers(int /*level*/, const uint8_t* block, uint32_t size, uint32_t mask, int cacheIndex,
                                 int groupType) {
    const ScreenRect window = PlacementWindow();
    CMneCoordSystem& coords = Coords();
    ForEachPoiRecord(block, size, groupType, kMneLotNumberRecordBytes, [&](const uint8_t* r) {
        PoiCandidate c;
        const auto y = static_cast<int16_t>(U16(r)), x = static_cast<int16_t>(U16(r + 2));
        if (!coords.LocalXYToScreen(x, y, c.anchor, m_request.birdView, 0)) return;
        if (!MneStrictlyInside(window, c.anchor)) return;
        const std::string text =
            MneFormatLotNumber(static_cast<int16_t>(U16(r + 12)), static_cast<int16_t>(U16(r + 14)));
        c.map = coords.LocalToMap(x, y);
        c.poiClass = U16(r + 8);
        c.displayStep = r[10];
        c.fontSizeClass = r[11];
        c.groupType = static_cast<uint16_t>(groupType);
        c.text = text.c_str();
        c.textLength = text.size();
        c.lotNumber = true;
        PlaceCandidate(c, mask, cacheIndex);
    });
    return 1;
}

int CMneDrawMap::ReplaceCachedPoi(int /*level*/, int cacheIndex, const MnePoiCache& last) {
    const ScreenRect window = PlacementWindow();
    const int step = StepFromScaleLevel(m_level);
    const int variant = m_themes[m_request.screenIndex].variant;
    for (int32_t i = 0; i < last.Count(); ++i) {
        const tagMODULEDRAWPOICACHE& r = last.At(i);
        MnePoiClassStyle style;
        const bool haveStyle = MneLookupPoiClassStyle(m_style, r.classIndex, &style) != 0;
        if (!(r.displayStep == step || (variant != 0 && haveStyle && style.kind == kMnePoiThemeKind))) continue;
        PoiCandidate c;
        c.map = MapPoint{r.mapX, r.mapY};
        if (!Coords().MapToScreen(c.map, c.anchor, m_request.birdView, 0) || !MneStrictlyInside(window, c.anchor))
            continue;
        if (!haveStyle || style.visibility != 0) continue;
        if (!(style.kind >= 1 && style.kind <= 5) && style.kind != 9) continue;
        const int kind = MnePlacementKindOfSymbol(style.kind);
        if (kind != kPlaceTextOnly && !style.hasImage) continue;
        if (r.textWidth <= 0 || r.textHeight <= 0) continue;
        c.poiClass = r.classIndex;
        c.displayStep = r.displayStep;
        c.fontSizeClass = r.fontSizeClass;
        c.thirdAttribute = r.thirdAttribute;
        c.groupType = r.groupType;
        c.word = r.sortKey;
        c.text = r.name;
        c.textLength = strnlen(r.name, sizeof r.name);
        PlaceBoxes(c, style, kind, cacheIndex, r.textWidth, r.textHeight);
    }
    return 1;
}

void CMneDrawMap::PassPoi(uint32_t mask) {
    const int cacheOfGroup[3][2] = {{0, 15}, {1, 13}, {2, 14}};
    // Placement is first come, first placed: tile by tile, a tile's names
    // and then its lot numbers, before the next tile's.
    for (int32_t index : m_range.order) {
        const VisibleTile& tile = m_range.tiles[static_cast<size_t>(index)];
        const MneTileKey key{tile.level, tile.column, tile.row};
        Coords().SetTile(tile.column, tile.row);
        uint32_t size = 0;
        if (m_open[kPoi]) {
            if (const uint8_t* block = m_files[kPoi]->GetBlock(key, nullptr, &size)) {
                for (const auto& [cache, type] : cacheOfGroup) PlacePoiNames(m_level, block, size, mask, cache, type);
                m_files[kPoi]->ReleaseBlock(key);
            }
        }
        if (m_level > 15 && m_open[kJibunPoi]) {
            if (const uint8_t* block = m_files[kJibunPoi]->GetBlock(key, nullptr, &size)) {
                PlaceLotNumbers(m_level, block, size, mask, 1, kMneLotNumberGroupType);
                m_files[kJibunPoi]->ReleaseBlock(key);
            }
        }
    }
}

void CMneDrawMap::ReplaceCachedPois(int cacheIndex) {
    if (m_publication == nullptr || m_publicationLock == nullptr) return;
    MgrLock hold(*m_publicationLock);
    const auto& published = m_publication->screens[m_request.screenIndex].poi[cacheIndex];
    if (published) ReplaceCachedPoi(m_level, cacheIndex, *published);
}

// ---- Landmarks, themes, incidents -------------------------------------------------------------

namespace {

// A view rectangle for symbols: the view grown by `grow` pixels, its top
// at 1.5 times the horizon line in the bird's-eye view.
ScreenRect SymbolWindow(int32_t width, int32_t height, int birdView, int32_t horizon, int32_t grow) {
    ScreenRect r{-grow, -grow, width + grow, height + grow};
    if (birdView) r.top = horizon * 3 / 2;
    return r;
}

// Theme symbols are drawn with the grey switch of the point passes.
constexpr int kThemeGreySwitch = 8;

// The box of a style symbol (a height, b width, c and d its anchor) at p.
ScreenRect SymbolBoxAt(ScreenPoint p, const StyleSymbol& symbol) {
    return ScreenRect{p.x - symbol.c, p.y - symbol.d, p.x - symbol.c + symbol.b, p.y - symbol.d + symbol.a};
}

bool Inside(const ScreenRect& r, ScreenPoint p) {
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

}  // namespace

int CMneDrawMap::PlaceStyleLandmarks() {
    const auto& landmarks = m_style.Manager().Landmarks();
    const int styleLevel = m_style.StyleLevel();
    const ScreenRect window = SymbolWindow(m_request.viewWidth, m_request.viewHeight, m_request.birdView,
                                           Coords().BirdView().GetSkyHeight(), 100);
    for (size_t i = 0; i < landmarks.size(); ++i) {
        const StyleLandmark& l = landmarks[i];
        // Landmark data: map x and y at 4 and 8, the style level range at 12 and 13.
        const MapPoint map{static_cast<int32_t>(l.record.U32(4)), static_cast<int32_t>(l.record.U32(8))};
        const int low = l.record.U8(12), high = l.record.U8(13);
        if (styleLevel < low || styleLevel > high) continue;
        ScreenPoint p;
        if (!Coords().MapToScreen(map, p, m_request.birdView, 0) || !Inside(window, p)) continue;
        // Named and unnamed landmarks alike; an unnamed one shows its picture.
        StyleSymbol image;
        if (!m_style.GetLandmarkImage(static_cast<int>(i), &image)) continue;
        tagMODULEDRAWPOICACHE record{};
        CopyName(record.name, l.name, strnlen(l.name, sizeof l.name));
        const int textClass = l.record.U16(26);
        MneTextClass text;
        MneSize extent;
        const size_t nameLength = strnlen(record.name, sizeof record.name);
        if (nameLength > 0 && MneTextClassOf(m_style, textClass, 0, &text) &&
            text.font->GetTextExtent(record.name, static_cast<int32_t>(nameLength), &extent)) {
            record.textRect = ScreenRect{p.x - extent.cx / 2, p.y + 5, p.x - extent.cx / 2 + extent.cx, p.y + 5 + extent.cy};
            record.textWidth = static_cast<int16_t>(extent.cx);
            record.textHeight = static_cast<int16_t>(extent.cy);
            record.kind = kPlaceSymbolAndText;
        } else {
            record.kind = kPlaceSymbolOnly;
        }
        // a, b: height and width; c, d: half the width and the height, the anchor.
        record.symbolRect = ScreenRect{p.x - image.c, p.y - image.d, p.x - image.c + image.b, p.y - image.d + image.a};
        record.fontSizeClass = static_cast<uint8_t>(textClass);
        record.classIndex = static_cast<uint16_t>(i);
        record.groupType = kMneLandmarkGroupType;
        record.mapX = map.x;
        record.mapY = map.y;
        PoiCache(1).Add(record, record.kind, 0, record.textRect, record.symbolRect, SortPoiCacheByKey);
    }
    return 1;
}

int CMneDrawMap::PlaceThemeSymbols() {
    if (m_level <= 6 || (m_inputs.themeSwitches & 0x1F) == 0) return 0;
    const ScreenRect window = SymbolWindow(m_request.viewWidth, m_request.viewHeight, m_request.birdView,
                                           Coords().BirdView().GetSkyHeight(), 0);
    MneThemeCache& cache = ThemeCache();
    ForEachTileBlock(kTheme, [&](const VisibleTile&, const uint8_t* block, uint32_t size) {
        const MneBlockView view(block, size);
        if (!view.Contains(0, kMneFlatHeaderBytes)) return;
        const uint32_t count = U16(block), entries = U32(block + 2);
        if (!view.ContainsArray(entries, count, kMneThemeEntryBytes)) return;
        for (uint32_t k = 0; k < count; ++k) {
            const uint8_t* e = block + entries + k * kMneThemeEntryBytes;
            if ((U16(e + 8) & m_inputs.themeSwitches & 0x1F) == 0) continue;
            StyleSymbol symbol;
            if (!m_style.GetSymbolClassSymbol(U16(e + 10), &symbol) || symbol.image.bits == nullptr) continue;
            ScreenPoint p;
            if (!Coords().LocalXYToScreen(static_cast<int16_t>(U16(e + 2)), static_cast<int16_t>(U16(e)), p,
                                          m_request.birdView, 0) ||
                !Inside(window, p))
                continue;
            tagMODULEDRAWTHEMECACHE record{};
            record.symbolRect = SymbolBoxAt(p, symbol);
            record.textRect = record.symbolRect;
            record.kind = kPlaceSymbolOnly;
            record.objectId = static_cast<int32_t>(U32(e + 4));
            record.callerData[0] = static_cast<uint8_t>(U16(e + 10));
            record.callerData[1] = static_cast<uint8_t>(U16(e + 10) >> 8);
            if (cache.Overlaps(kPlaceSymbolOnly, record.textRect, record.symbolRect, 0, nullptr, nullptr)) continue;
            cache.Add(record, kPlaceSymbolOnly, 0, record.textRect, record.symbolRect, nullptr);
            // Drawn where it was placed, under the POIs drawn later in the
            // frame, so that what a pick finds is what the driver sees.
            BlitSymbol(symbol.image, p, symbol.b, symbol.a, symbol.c, symbol.d, m_grey.on[kThemeGreySwitch]);
        }
    });
    return 1;
}

int CMneDrawMap::PlaceTrafficIncidents() {
    if (m_level <= 3) return 0;
    const ScreenRect window = SymbolWindow(m_request.viewWidth, m_request.viewHeight, m_request.birdView,
                                           Coords().BirdView().GetSkyHeight(), 0);
    MneTrafficCache& cache = TrafficCache();
    for (const MneIncident& incident : m_inputs.incidents) {
        if (incident.kind == 1 && m_level <= 5) continue;
        StyleSymbol symbol;
        if (!m_style.GetGroupSymbol(incident.kind, 0, &symbol) || symbol.image.bits == nullptr) continue;
        ScreenPoint p;
        if (!Coords().MapToScreen(incident.position, p, m_request.birdView, 0) || !Inside(window, p)) continue;
        tagMODULEDRAWRTMCACHE record{};
        record.symbolRect = SymbolBoxAt(p, symbol);
        record.textRect = record.symbolRect;
        record.kind = kPlaceSymbolOnly;
        record.objectId = incident.id;
        record.callerData[0] = static_cast<uint8_t>(incident.kind);
        if (cache.Overlaps(kPlaceSymbolOnly, record.textRect, record.symbolRect, 0, nullptr, nullptr)) continue;
        cache.Add(record, kPlaceSymbolOnly, 0, record.textRect, record.symbolRect, nullptr);
    }
    return 1;
}
