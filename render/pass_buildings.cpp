// The building pass (footprints collected per tile, sorted back to front,
// drawn flat or as blocks with walls and a raised roof, the building under
// the car recorded), the found-building view, the wall marking painter and
// the polygons of the Base layer stored in map units (type 26).
#include <algorithm>
#include <cmath>
#include <cstring>

#include "render/pass_geometry.h"

namespace {

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}
int32_t I32(const uint8_t* p) { return static_cast<int32_t>(U32(p)); }
float F32(const uint8_t* p) {
    const uint32_t bits = U32(p);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

// Record layouts of the two building formats.
struct BuildingLayout {
    uint32_t floorsAt;
    uint32_t infoAt;
};
constexpr BuildingLayout kBuilding7{25, 26};
constexpr BuildingLayout kBuilding21{33, 34};

// Each channel lowered by 0x10, not below 0 (a plain subtraction of
// 0x101010 would borrow from the next channel of a dark colour).
uint32_t Darker(uint32_t colour) {
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8)
        out |= static_cast<uint32_t>(std::max(0, static_cast<int>((colour >> shift) & 0xFF) - 0x10)) << shift;
    return out;
}

void FillWith(CEglDraw& egl, const ScreenPoint* points, int count, uint32_t colour, float opacity, int grey) {
    CEglBrush* before = egl.SelectedBrush();
    CEglBrush brush;
    brush.Set(0, nullptr, colour, grey);
    egl.SelectBrush(&brush);
    egl.Polygon(points, count, opacity);
    egl.SelectBrush(before);
}

void OutlineWith(CEglDraw& egl, const ScreenPoint* points, int count, int width, uint32_t colour, float opacity,
                 int grey) {
    CEglPen* before = egl.SelectedPen();
    CEglPen pen;
    pen.Set(0, std::max(width, 1), colour, grey);
    egl.SelectPen(&pen);
    egl.PolylineClosed(points, count, opacity);
    egl.SelectPen(before);
}

// A piece of a marking: from the left edge to the right edge of the quad,
// its top following the quad's top edge, offset down by top pixels and
// height pixels high; x0 and x1 are fractions of the width.
void MarkingPiece(CEglDraw& egl, const ScreenPoint c[4], double x0, double x1, int top, int height, uint32_t colour,
                  int grey) {
    const double left = c[3].x, width = c[2].x - c[3].x;
    const double slope = width != 0 ? (c[2].y - c[3].y) / width : 0.0;
    auto at = [&](double fraction, int down) {
        const double x = left + fraction * width;
        return ScreenPoint{static_cast<int32_t>(std::lround(x)),
                           static_cast<int32_t>(std::lround(c[3].y + slope * (x - left))) + down};
    };
    const ScreenPoint piece[4] = {at(x0, top), at(x1, top), at(x1, top + height), at(x0, top + height)};
    FillWith(egl, piece, 4, colour, 1.0f, grey);
}

}  // namespace

// ---- Wall markings ---------------------------------------------------------------------

void DrawRoadMarking(CEglDraw& egl, const ScreenPoint corners[4], int kind, int count, uint32_t colourA,
                     uint32_t colourB, int grey) {
    FillWith(egl, corners, 4, colourA, 1.0f, grey);
    if (kind < 101 || kind > 104) return;
    const int height = corners[0].y - corners[3].y;
    if (std::abs(corners[1].x - corners[0].x) < 5 || height <= 0 || count <= 0) return;
    // Pieces go down from the top while they end above corner 1.
    const int bottom = height;
    const int step = height / count;
    switch (kind) {
        case 102:   // thin bars, one every H/n + 2 pixels
            for (int k = 0, top = 0; k < count && top + 2 < bottom; ++k, top += step + 2)
                MarkingPiece(egl, corners, 0.0, 1.0, top, 2, colourB, grey);
            break;
        case 103:   // bands H/n high with gaps of the same height
            if (step <= 0) break;
            for (int k = 0, top = 0; k < count && top + step < bottom; ++k, top += 2 * step)
                MarkingPiece(egl, corners, 0.0, 1.0, top, step, colourB, grey);
            break;
        case 104: {   // bands H/n - 1 high with equal gaps, then a door
            const int band = step - 1;
            if (band > 0)
                for (int k = 0, top = 0; k < count && top + band < bottom; ++k, top += 2 * band)
                    MarkingPiece(egl, corners, 0.0, 1.0, top, band, colourB, grey);
            MarkingPiece(egl, corners, 1.0 / 3.0, 2.0 / 3.0, 0, height, colourB, grey);
            break;
        }
        default: {   // 101: rows of four windows
            if (step <= 0) break;
            const double columns[4] = {2.0 / 16, 5.0 / 16, 9.0 / 16, 12.0 / 16};
            const int windowTop = step / 5, windowHeight = std::max(1, step * 3 / 5);
            for (int row = 0, top = 0; row < count && top + windowTop + windowHeight < bottom; ++row, top += step)
                for (double x : columns)
                    MarkingPiece(egl, corners, x, x + 2.0 / 16, top + windowTop, windowHeight, colourB, grey);
            break;
        }
    }
}

bool BuildingIsNear(int32_t topY, int32_t viewHeight) { return topY > viewHeight - viewHeight / 3; }

int BuildingWallLift(int step, int baseLine, int heightUnit, int viewHeight) {
    if (viewHeight <= 0) return 0;
    return static_cast<int>(int64_t{step} * baseLine * heightUnit * 2 / viewHeight);
}

void FoundBuildingLifts(int floors, int raisePercent, int* drawnLift, int* floorHeight) {
    int h = std::clamp(floors, 0, 10), s = h;
    if (s <= 4) h = s = 6;
    const int full = h * s * 2;
    *drawnLift = full * raisePercent / 100;
    // A building stored without floors has no floor band (and no division).
    *floorHeight = floors > 0 ? full / floors : 0;
}

// ---- The building pass -----------------------------------------------------------------

int MneGeometryRenderer::CollectBuildings7(int level, const int16_t rect[4], const uint8_t* block, uint32_t size) {
    return CollectBuildings(7, level, rect, block, size);
}
int MneGeometryRenderer::CollectBuildings21(int level, const int16_t rect[4], const uint8_t* block, uint32_t size) {
    return CollectBuildings(21, level, rect, block, size);
}

int MneGeometryRenderer::CollectBuildings(int format, int level, const int16_t rect[4], const uint8_t* block,
                                          uint32_t size) {
    const MneDrawRequest& request = m_map.Request();
    const bool bird = request.birdView == 1;
    const bool themeThree = m_map.Theme(request.screenIndex).kind == 3;
    if (themeThree && level < (bird ? m_options.buildLimit2d : m_options.buildLimit3d)) return 1;
    CEglDraw& egl = m_map.Egl();
    egl.SetLineMode(m_options.drawAnti != 0 && m_options.buildAnti != 0 ? 1 : 0);
    NcConfigMap& style = m_map.Style();
    const int styleLevel = CMneDrawMap::StyleLevel(level);
    CMneCoordSystem& coords = m_map.Coords();
    const MneBlockView view(block, size);
    m_depth.clear();
    int lastClass = -1;
    bool classOk = false;
    MneWalkBaseGroup(block, size, static_cast<uint8_t>(format), [&](const MneLayerRecord& r) {
        if (r.styleIndex != lastClass) {
            lastClass = r.styleIndex;
            uint32_t kind4 = 0;
            style.GetClassValue(r.styleIndex, 4, &kind4);
            classOk = style.GetClassLevel(r.styleIndex) <= styleLevel;
            if (kind4 == 1 && themeThree &&
                level < (bird ? m_options.smallBuildLimit2d : m_options.smallBuildLimit3d))
                classOk = false;
            if (kind4 == 2 && bird && level < m_options.pattern3d) classOk = false;
        }
        if (!classOk) return true;
        // The box's corners as a polygon: the depth key is its top.
        MapPoint box[4];
        if (format == 7) {
            if (!BoxMeetsRect(r.bytes + 5, rect)) return true;
            const int16_t minY = static_cast<int16_t>(U16(r.bytes + 5)), minX = static_cast<int16_t>(U16(r.bytes + 7));
            const int16_t maxY = static_cast<int16_t>(U16(r.bytes + 9)), maxX = static_cast<int16_t>(U16(r.bytes + 11));
            const TileLocalPoint corners[4] = {{minY, minX}, {minY, maxX}, {maxY, maxX}, {maxY, minX}};
            if (coords.LocalPointsToScreen(4, corners, m_screen, kClipPolygon, Bird(), 1) <= 2) return true;
        } else {
            const MapPoint lo{I32(r.bytes + 5), I32(r.bytes + 9)}, hi{I32(r.bytes + 13), I32(r.bytes + 17)};
            const TileLocalPoint a = coords.MapToLocalPoint(lo), b = coords.MapToLocalPoint(hi);
            const int32_t minY = std::min(a.y, b.y), maxY = std::max(a.y, b.y);
            const int32_t minX = std::min(a.x, b.x), maxX = std::max(a.x, b.x);
            if (rect[1] + rect[3] < minX || rect[0] + rect[2] < minY || maxX < rect[1] || maxY < rect[0]) return true;
            box[0] = lo, box[1] = {hi.x, lo.y}, box[2] = hi, box[3] = {lo.x, hi.y};
            if (coords.MapPointsToScreen(4, box, m_screen, kClipPolygon, Bird(), Bird() == 1 ? 1 : 0) <= 2) return true;
        }
        int32_t top = m_screen[0].y;
        for (const ScreenPoint& p : m_screen) top = std::min(top, p.y);
        m_depth.push_back({r.styleIndex, r.bytes, top});
        return true;
    });
    std::sort(m_depth.begin(), m_depth.end(), [](const DepthEntry& a, const DepthEntry& b) { return a.key < b.key; });
    const int height = request.viewHeight;
    for (const DepthEntry& e : m_depth)
        DrawBuilding(level, e.styleId, BuildingIsNear(e.key, height), format, view, e.record);
    egl.SetLineMode(0);
    return 1;
}

void MneGeometryRenderer::DrawWalls(const std::vector<ScreenPoint>& ring, int lift,
                                    const std::function<void(const ScreenPoint*)>& wall) {
    // Walls in ascending order of their edges' average y (the far ones first).
    struct Edge {
        uint32_t index;
        int32_t key;
    };
    Edge order[kMaxBuildingPoints + 1];
    uint32_t edges = 0;
    for (uint32_t i = 0; i + 1 < ring.size() && edges < kMaxBuildingPoints + 1; ++i)
        order[edges++] = {i, (ring[i].y + ring[i + 1].y) / 2};
    std::sort(order, order + edges, [](const Edge& a, const Edge& b) { return a.key < b.key; });
    for (uint32_t k = 0; k < edges; ++k) {
        ScreenPoint left = ring[order[k].index], right = ring[order[k].index + 1];
        if (right.x < left.x) std::swap(left, right);
        const ScreenPoint quad[4] = {left, right, {right.x, right.y - lift}, {left.x, left.y - lift}};
        wall(quad);
    }
}

void MneGeometryRenderer::DrawBuilding(int level, int styleId, bool nearView, int format, const MneBlockView& view,
                                       const uint8_t* record) {
    CMneCoordSystem& coords = m_map.Coords();
    const MneDrawRequest& request = m_map.Request();
    NcConfigMap& style = m_map.Style();
    const BuildingLayout& layout = format == 7 ? kBuilding7 : kBuilding21;
    const uint8_t heightValue = record[0];
    const uint8_t floors = record[layout.floorsAt];
    // Packed footprints are clipped; the others are converted whole (the
    // rasteriser clips to the picture, and no wall rises along the window's
    // edge), except in the bird's-eye view, whose projection must clip what
    // lies behind its eye.
    const int wholeClip = Bird() == 1 ? 1 : 0;
    MneStoredPoints stored;
    if (format == 7) {
        // The footprint's point word and offset sit 5 bytes further on than
        // those of a line or area record.
        if (!StoredPointsOf(view, record + 5, U16(record + 13), &stored)) return;
        if (stored.packing != 0) {
            if (Convert(stored, kClipPolygon, m_screen) < 3) return;
        } else {
            m_local.resize(stored.count);
            for (uint32_t i = 0; i < stored.count; ++i) m_local[i] = StoredPointAt(stored, i);
            if (coords.LocalPointsToScreen(static_cast<int>(stored.count), m_local.data(), m_screen, kClipPolygon, Bird(),
                                           wholeClip) < 3)
                return;
        }
    } else {
        const uint32_t count = U16(record + 21), offset = U32(record + 23);
        if (!view.ContainsArray(offset, count, 8)) return;
        m_mapPoints.resize(count);
        for (uint32_t i = 0; i < count; ++i)
            m_mapPoints[i] = {I32(view.Data() + offset + 8 * i), I32(view.Data() + offset + 8 * i + 4)};
        if (coords.MapPointsToScreen(static_cast<int>(count), m_mapPoints.data(), m_screen, kClipPolygon, Bird(),
                                     wholeClip) < 3)
            return;
    }

    // The building under the car, once per frame.
    if (!m_map.FoundBuilding() && level >= m_options.xrayView && floors > 0 && request.centreMode == 1 &&
        request.viewMode == 0) {
        ScreenPoint car;
        coords.MapToScreen(request.carPosition, car, Bird(), 0);
        if (car.x >= 0 && car.x <= request.viewWidth && car.y >= 0 && car.y <= request.viewHeight) {
            if (ScreenRingContains(m_screen, car)) {
                MneFoundBuilding& found = m_map.FoundBuildingRecord();
                found.styleId = static_cast<uint16_t>(styleId);
                found.height = heightValue;
                found.info = static_cast<double>(U32(record + layout.infoAt));
                if (format == 7) {
                    found.footprint.resize(stored.count);
                    for (uint32_t i = 0; i < stored.count; ++i)
                        found.footprint[i] = coords.LocalPointToMap(StoredPointAt(stored, i));
                } else {
                    found.footprint = m_mapPoints;
                }
                m_map.SetFoundBuilding(1);
            }
        }
    }

    const bool themeThree = m_map.Theme(request.screenIndex).kind == 3;
    uint32_t kind3 = 0;
    style.GetClassValue(styleId, 3, &kind3);
    if (!themeThree && level <= 15 && kind3 == 1 && F32(record + 1) <= 100.0f) return;

    const bool bird = request.birdView == 1;
    const int viewHeight = request.viewHeight;
    int baseLine = viewHeight;
    if (bird) {
        baseLine = m_screen[0].y;
        for (const ScreenPoint& p : m_screen) baseLine = std::max(baseLine, p.y);
    }
    const StyleDrawStyle* pen = nullptr;
    const StyleColourRef* brush = nullptr;
    const StyleColourRef* wallBrush = nullptr;
    bool styled = false;
    if (floors > 0 && level > 15) styled = style.GetClassStyle3(styleId, &pen, &brush, &wallBrush) != 0;
    if (!styled) {
        wallBrush = nullptr;
        styled = style.GetClassStyle(styleId, &pen, &brush, 0, 0) != 0;
    }
    if (!styled || (!pen && !brush)) return;
    uint32_t kind2 = 0;
    style.GetClassValue(styleId, 2, &kind2);
    const int pattern = kind2 == 1 ? 101 : static_cast<int>(kind2);
    const uint32_t roofColour = brush ? brush->colour : 0;
    // The height comes from the record for classes of category 1; other
    // classes rise by one unit.
    int height = 0;
    if (level >= 15) height = (ClassWord(styleId) >> 24) == 1 ? std::max<int>(heightValue, 1) : 1;

    CEglDraw& egl = m_map.Egl();
    const int grey = Grey(2);
    int lift = 0;
    if (m_map.Inputs().building3d == 1 && height > 0) {
        if (m_screen.size() >= kMaxBuildingPoints) return;
        if (!SamePoint(m_screen.front(), m_screen.back())) m_screen.push_back(m_screen.front());
        int unit = std::max(height / (level > 15 ? 5 : 3), 1);
        int step = 2;
        if (bird) unit += 3, step = 4;
        lift = BuildingWallLift(step, baseLine, unit, viewHeight);
        const uint32_t wallColour = floors > 0 && wallBrush ? wallBrush->colour : Darker(roofColour);
        DrawWalls(m_screen, lift, [&](const ScreenPoint* quad) {
            if (nearView && bird) FillWith(egl, quad, 4, roofColour, 0.3f, grey);
            else if (pattern != 0) DrawRoadMarking(egl, quad, pattern, unit, wallColour, pen ? pen->colour : 0xFFFFFF, grey);
            else FillWith(egl, quad, 4, roofColour, 1.0f, grey);
            if (pen) OutlineWith(egl, quad, 4, pen->width, pen->colour, 1.0f, grey);
        });
        const bool seeThrough = nearView && bird;
        if (!seeThrough) ++lift;
        for (ScreenPoint& p : m_screen) p.y -= lift;
        if (brush) FillWith(egl, m_screen.data(), static_cast<int>(m_screen.size()), roofColour, seeThrough ? 0.3f : 1.0f, grey);
        if (pen)
            OutlineWith(egl, m_screen.data(), static_cast<int>(m_screen.size()), pen->width, pen->colour,
                        seeThrough ? 0.3f : 1.0f, grey);
        return;
    }
    if (brush) FillWith(egl, m_screen.data(), static_cast<int>(m_screen.size()), roofColour, 1.0f, grey);
    if (pen) OutlineWith(egl, m_screen.data(), static_cast<int>(m_screen.size()), pen->width, pen->colour, 1.0f, grey);
}

int MneGeometryRenderer::DrawFoundBuilding(int /*level*/) {
    const MneFoundBuilding& found = m_map.FoundBuildingRecord();
    // The wall order table holds the footprints the building pass extrudes.
    if (found.footprint.size() >= kMaxBuildingPoints) return 0;
    CMneCoordSystem& coords = m_map.Coords();
    if (coords.MapPointsToScreen(static_cast<int>(found.footprint.size()), found.footprint.data(), m_screen,
                                 kClipPolygon, Bird(), Bird() == 1 ? 1 : 0) < 3)
        return 0;
    const StyleDrawStyle* pen = nullptr;
    const StyleColourRef* brush = nullptr;
    m_map.Style().GetClassStyle(found.styleId, &pen, &brush, 0, 0);
    const int floors = found.height;
    const int selected = m_map.Inputs().selectedFloor <= 0 ? 1 : std::min(m_map.Inputs().selectedFloor, std::max(floors, 1));
    const int raise = std::clamp(m_map.Inputs().buildingRaisePercent, 0, 100);
    int lift = 0, floorHeight = 0;
    FoundBuildingLifts(floors, raise, &lift, &floorHeight);
    CEglDraw& egl = m_map.Egl();
    const int grey = Grey(2);
    const uint32_t fill = brush ? brush->colour : 0xFFFFFF;
    if (!SamePoint(m_screen.front(), m_screen.back())) m_screen.push_back(m_screen.front());
    DrawWalls(m_screen, lift, [&](const ScreenPoint* quad) {
        FillWith(egl, quad, 4, fill, 1.0f, grey);
        if (pen) OutlineWith(egl, quad, 4, pen->width, pen->colour, 1.0f, grey);
        if (raise == 100 && floors > 0 && floorHeight > 0) {
            const int bottom = (selected - 1) * floorHeight;
            const ScreenPoint band[4] = {{quad[0].x, quad[0].y - bottom},
                                         {quad[1].x, quad[1].y - bottom},
                                         {quad[1].x, quad[1].y - bottom - floorHeight},
                                         {quad[0].x, quad[0].y - bottom - floorHeight}};
            FillWith(egl, band, 4, 0x0000FF, 1.0f, grey);
            OutlineWith(egl, band, 4, 1, 0x9314FF, 1.0f, grey);
        }
    });
    const int roofLift = std::max(lift, 1) + 1;
    for (ScreenPoint& p : m_screen) p.y -= roofLift;
    FillWith(egl, m_screen.data(), static_cast<int>(m_screen.size()), fill, 1.0f, grey);
    if (pen) OutlineWith(egl, m_screen.data(), static_cast<int>(m_screen.size()), pen->width, pen->colour, 1.0f, grey);
    return 1;
}

// ---- Polygons in map units (type 26) -----------------------------------------------

void MneGeometryRenderer::OutlineMap(const MapPoint* points, uint32_t count, int width, uint32_t penColour,
                                     const uint32_t* repaintColour, int grey) {
    if (count < 2) return;
    CMneCoordSystem& coords = m_map.Coords();
    auto edge = [&](uint32_t i, int w, uint32_t colour) {
        if (coords.MapPointsToScreen(2, points + i, m_edge, kClipPolyline, Bird(), 1) >= 2)
            Stroke(m_edge.data(), static_cast<int>(m_edge.size()), w, colour, grey);
    };
    auto seam = [&](uint32_t i) {
        return IsSeamEdge(coords.MapToLocalPoint(points[i]), coords.MapToLocalPoint(points[i + 1]));
    };
    if (m_options.tileAreaDrawRule == 1 && repaintColour) {
        std::vector<ScreenPoint> whole;
        if (coords.MapPointsToScreen(static_cast<int>(count), points, whole, kClipPolyline, Bird(), 1) >= 2)
            Stroke(whole.data(), static_cast<int>(whole.size()), width, penColour, grey);
        for (uint32_t i = 0; i + 1 < count; ++i)
            if (seam(i)) edge(i, 1, *repaintColour);
        return;
    }
    for (uint32_t i = 0; i + 1 < count; ++i)
        if (!seam(i)) edge(i, width, penColour);
}

bool MneGeometryRenderer::ClassDrawnAsPolygon(int cls, uint32_t word, int level) const {
    const MneDrawRequest& request = m_map.Request();
    const uint32_t category = word >> 24;
    if (request.birdView == 1 && category >= 1 && category <= 4 && level < m_options.roadLimit3d[category - 1])
        return false;
    if (CMneDrawMap::StyleLevel(level) < m_map.Style().GetClassLevel(cls)) return false;
    if (request.viewMode == 5 && ((word >> 16) & 0xFF) == 0) return false;
    return true;
}

int MneGeometryRenderer::DrawMapPolygons(int level) {
    CEglDraw& egl = m_map.Egl();
    egl.SetLineMode(m_options.drawAnti == 1 ? 1 : 0);
    m_map.ForEachTileBlock(CMneDrawMap::kBase, [&](const VisibleTile& tile, const uint8_t* block, uint32_t size) {
        DrawMapPolygonsBlock(level, tile.rect[0], block, size);
    });
    egl.SetLineMode(0);
    return 1;
}

int MneGeometryRenderer::DrawMapPolygonsBlock(int level, const int16_t rect[4], const uint8_t* block, uint32_t size) {
    NcConfigMap& style = m_map.Style();
    CMneCoordSystem& coords = m_map.Coords();
    const int grey = Grey(5);
    const MneBlockView view(block, size);
    MneWalkBaseGroup(block, size, 26, [&](const MneLayerRecord& r) {
        const uint32_t word = ClassWord(r.styleIndex);
        if (!ClassDrawnAsPolygon(r.styleIndex, word, level)) return true;
        const TileLocalPoint a = coords.MapToLocalPoint(MapPoint{I32(r.bytes), I32(r.bytes + 4)});
        const TileLocalPoint b = coords.MapToLocalPoint(MapPoint{I32(r.bytes + 8), I32(r.bytes + 12)});
        const int32_t minY = std::min(a.y, b.y), maxY = std::max(a.y, b.y);
        const int32_t minX = std::min(a.x, b.x), maxX = std::max(a.x, b.x);
        if (rect[1] + rect[3] < minX || rect[0] + rect[2] < minY || maxX < rect[1] || maxY < rect[0]) return true;
        const StyleDrawStyle* pen = nullptr;
        const StyleColourRef* brush = nullptr;
        if (!style.GetClassStyle(r.styleIndex, &pen, &brush, 0, 0)) return true;
        const uint32_t count = U16(r.bytes + 16), offset = U32(r.bytes + 18);
        if (!view.ContainsArray(offset, count, 8)) return true;
        m_mapPoints.resize(count);
        for (uint32_t i = 0; i < count; ++i) m_mapPoints[i] = {I32(block + offset + 8 * i), I32(block + offset + 8 * i + 4)};
        if (coords.MapPointsToScreen(static_cast<int>(count), m_mapPoints.data(), m_screen, kClipPolygon, Bird(), 1) < 3)
            return true;
        uint32_t fill = brush ? brush->colour : 0;
        if (brush && brush->kind == kColourRefPatternKind) {
            if (!FillPattern(brush->colourIndex, m_screen)) Fill(m_screen, brush->colour, 1.0f, grey);
            fill = pen ? pen->colour : brush->colour;   // the seams take the class's pen colour
        } else if (brush) {
            Fill(m_screen, fill, 1.0f, grey);
        }
        if (!pen) return true;
        const uint32_t ringCount = U16(r.bytes + 22), ringTable = U32(r.bytes + 24);
        if (ringCount == 0 || !view.ContainsArray(ringTable, ringCount, 4)) {
            // Without rings the whole outline, no seam rule.
            if (coords.MapPointsToScreen(static_cast<int>(count), m_mapPoints.data(), m_screen, kClipPolyline, Bird(),
                                         1) >= 2)
                Stroke(m_screen.data(), static_cast<int>(m_screen.size()), pen->width, pen->colour, grey);
            return true;
        }
        for (uint32_t k = 0; k < ringCount; ++k) {
            const uint8_t* ring = block + ringTable + 4 * k;
            const uint32_t first = U16(ring), points = U16(ring + 2);
            if (uint64_t{first} + points > count) continue;   // a ring past the points
            OutlineMap(m_mapPoints.data() + first, points, pen->width, pen->colour, brush ? &fill : nullptr, grey);
        }
        return true;
    });
    return 1;
}
