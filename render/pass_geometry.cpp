#include "render/pass_geometry.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/byte_cursor.h"
#include "settings/global_data.h"

namespace {

constexpr int32_t kTileLocalEdge = 2048;

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

uint32_t Channels(uint32_t colour, int delta) {
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const int c = std::clamp(static_cast<int>((colour >> shift) & 0xFF) + delta, 0, 255);
        out |= static_cast<uint32_t>(c) << shift;
    }
    return out;
}

// Keeps the rasteriser's selections and line mode as the caller left them.
class SelectionGuard {
public:
    explicit SelectionGuard(CEglDraw& egl) : m_egl(egl), m_pen(egl.SelectedPen()), m_brush(egl.SelectedBrush()) {}
    ~SelectionGuard() {
        m_egl.SelectPen(m_pen);
        m_egl.SelectBrush(m_brush);
    }

private:
    CEglDraw& m_egl;
    CEglPen* m_pen;
    CEglBrush* m_brush;
};

}  // namespace

MneGeometryOptions GeometryOptionsFromSettings() {
    const CMgrConfigGlobalData& g = CMgrConfigGlobalData::Instance();
    MneGeometryOptions o;
    o.tileAreaDrawRule = g.m_tileAreaDrawRule;
    o.drawAnti = g.m_drawAnti;
    o.lineAnti = g.m_lineAnti;
    o.fieldLimit2d = g.m_2dFieldLimit;
    o.fieldLimit3d = g.m_3dFieldLimit;
    o.roadRelief = g.m_roadRelief;
    o.roadLimit3d[0] = g.m_3dDetailRoadLimit;
    o.roadLimit3d[1] = g.m_3dPrincipalRoadLimit;
    o.roadLimit3d[2] = g.m_3dThinRoadLimit;
    o.roadLimit3d[3] = g.m_3dEtcRoadLimit;
    o.buildAnti = g.m_buildAnti;
    o.buildLimit2d = g.m_2dBuildLimit;
    o.buildLimit3d = g.m_3dFieldLimit;
    o.smallBuildLimit2d = g.m_2dSBuildLimit;
    o.smallBuildLimit3d = g.m_3dBuildLimit;
    o.pattern3d = g.m_3dPattern;
    o.xrayView = g.m_xrayView;
    return o;
}

MnePointWord DecodePointWord(uint16_t word) {
    if ((word & 0x3FFF) == 0x3FFF) return {word, 0};
    return {static_cast<uint32_t>(word & 0x3FFF), word >> 14};
}

bool StoredPointsOf(const MneBlockView& block, const uint8_t* record, uint16_t word, MneStoredPoints* out) {
    return StoredPointsOf(block, record, DecodePointWord(word), out);
}

bool StoredPointsOf(const MneBlockView& block, const uint8_t* record, MnePointWord pw, MneStoredPoints* out) {
    const uint32_t offset = U32(record + 10);
    const uint64_t bytes = pw.packing == 0 ? uint64_t{pw.count} * 4 : 4 + uint64_t{pw.count} * 2;
    if (!block.Contains(offset, bytes)) return false;
    out->count = pw.count;
    out->packing = pw.packing;
    const uint8_t* data = block.Data() + offset;
    if (pw.packing == 0) {
        out->base = 0;
        out->data = data;
    } else {
        out->base = U32(data);
        out->data = data + 4;
    }
    return true;
}

TileLocalPoint StoredPointAt(const MneStoredPoints& points, uint32_t index) {
    if (points.packing == 0) {
        const uint8_t* p = points.data + static_cast<size_t>(index) * 4;
        return {static_cast<int16_t>(U16(p)), static_cast<int16_t>(U16(p + 2))};
    }
    const int scale = 1 << (points.packing - 1);
    const uint8_t* p = points.data + static_cast<size_t>(index) * 2;
    return {static_cast<int16_t>((points.base & 0xFFFF) + p[0] * scale),
            static_cast<int16_t>((points.base >> 16) + p[1] * scale)};
}

bool IsSeamEdge(const TileLocalPoint& a, const TileLocalPoint& b) {
    return (a.x == 0 && b.x == 0) || (a.x == kTileLocalEdge && b.x == kTileLocalEdge) || (a.y == 0 && b.y == 0) ||
           (a.y == kTileLocalEdge && b.y == kTileLocalEdge);
}

bool BoxMeetsRect(const uint8_t* record, const int16_t rect[4]) {
    const int32_t minY = U16(record), minX = U16(record + 2), maxY = U16(record + 4), maxX = U16(record + 6);
    const int32_t y = rect[0], x = rect[1], h = rect[2], w = rect[3];
    return !(x + w < minX || y + h < minY || maxX < x || maxY < y);
}

void ShadowOffsets(int kindCode, int* dx, int* dy) {
    const int s = kindCode / 100 != 0 ? 1 : -1;
    *dx = s * ((kindCode % 100) / 10);
    *dy = s * ((kindCode % 100) % 10);
}

uint32_t PolygonFillColour(int groupType, uint32_t colour) {
    if (groupType == 28) return Channels(colour, -25);
    if (groupType == 29) return Channels(colour, 30);
    return colour;
}

bool OffsetPolyline(const ScreenPoint* points, int count, int distance, int side, double factor,
                    std::vector<ScreenPoint>& out) {
    out.clear();
    std::vector<ScreenPoint> p;
    for (int i = 0; i < count; ++i)
        if (p.empty() || !SamePoint(p.back(), points[i])) p.push_back(points[i]);
    if (p.size() < 2) return false;
    const double sign = side == 0 ? -1.0 : 1.0;
    // The moved offset of segment i (from p[i] to p[i + 1]).
    std::vector<std::pair<double, double>> move(p.size() - 1);
    for (size_t i = 0; i + 1 < p.size(); ++i) {
        const int theta = Atan2Deg(p[i].y - p[i + 1].y, p[i + 1].x - p[i].x);
        move[i] = {sign * distance * SinDeg(theta), sign * factor * distance * CosDeg(theta)};
    }
    auto moved = [&](const ScreenPoint& q, size_t segment) {
        return ScreenPoint{static_cast<int32_t>(q.x + move[segment].first),
                           static_cast<int32_t>(q.y + move[segment].second)};
    };
    out.push_back(moved(p[0], 0));
    for (size_t i = 1; i + 1 < p.size(); ++i) {
        const ScreenPoint& a = p[i - 1];
        const ScreenPoint& b = p[i];
        const ScreenPoint& c = p[i + 1];
        const double ax = a.x + move[i - 1].first, ay = a.y + move[i - 1].second;
        const double b1x = b.x + move[i - 1].first, b1y = b.y + move[i - 1].second;
        const double b2x = b.x + move[i].first, b2y = b.y + move[i].second;
        const double cx = c.x + move[i].first, cy = c.y + move[i].second;
        if ((a.y == b.y && b.y == c.y) || (a.x == b.x && b.x == c.x)) {
            out.push_back(moved(b, i));
        } else if (a.x == b.x) {
            const double x = ax;
            out.push_back({static_cast<int32_t>(x), static_cast<int32_t>(b2y + (cy - b2y) * (x - b2x) / (cx - b2x))});
        } else if (b.x == c.x) {
            const double x = b2x;
            out.push_back({static_cast<int32_t>(x), static_cast<int32_t>(ay + (b1y - ay) * (x - ax) / (b1x - ax))});
        } else {
            const double k1 = static_cast<double>(b.y - a.y) / (b.x - a.x);
            const double k2 = static_cast<double>(c.y - b.y) / (c.x - b.x);
            if (k1 == k2) {
                out.push_back(moved(b, i));
            } else {
                const double x = (b2y - ay + k1 * ax - k2 * b2x) / (k1 - k2);
                out.push_back({static_cast<int32_t>(x), static_cast<int32_t>(ay + k1 * (x - ax))});
            }
        }
    }
    out.push_back(moved(p.back(), p.size() - 2));
    return true;
}

// ---- Drawing helpers -------------------------------------------------------------------

int MneGeometryRenderer::Convert(const MneStoredPoints& points, int clipMode, std::vector<ScreenPoint>& out) {
    CMneCoordSystem& coords = m_map.Coords();
    if (points.packing != 0)
        return coords.PackedPointsToScreen(static_cast<int>(points.count), points.packing, points.base, points.data,
                                           out, clipMode, Bird(), 1);
    m_local.resize(points.count);
    for (uint32_t i = 0; i < points.count; ++i) m_local[i] = StoredPointAt(points, i);
    return coords.LocalPointsToScreen(static_cast<int>(points.count), m_local.data(), out, clipMode, Bird(), 1);
}

void MneGeometryRenderer::Fill(const std::vector<ScreenPoint>& points, uint32_t colour, float opacity, int grey) {
    CEglDraw& egl = m_map.Egl();
    SelectionGuard keep(egl);
    CEglBrush brush;
    brush.Set(0, nullptr, colour, grey);
    egl.SelectBrush(&brush);
    egl.Polygon(points.data(), static_cast<int32_t>(points.size()), opacity);
}

void MneGeometryRenderer::Stroke(const ScreenPoint* points, int count, int width, uint32_t colour, int grey) {
    CEglDraw& egl = m_map.Egl();
    SelectionGuard keep(egl);
    CEglPen pen;
    pen.Set(0, std::max(width, 1), colour, grey);
    egl.SelectPen(&pen);
    egl.Polyline(points, count, 1.0f);
}

bool MneGeometryRenderer::FillPattern(int colourIndex, const std::vector<ScreenPoint>& points) {
    const EglPattern565* pattern = m_map.Style().GetPatternBrush(colourIndex, 0);
    if (!pattern) return false;
    m_map.Egl().PolygonPattern(points.data(), static_cast<int32_t>(points.size()), *pattern);
    return true;
}

void MneGeometryRenderer::Outline(const MneStoredPoints& points, uint32_t first, uint32_t count, int width,
                                  uint32_t penColour, const uint32_t* repaintColour, int grey) {
    if (count < 2) return;
    CMneCoordSystem& coords = m_map.Coords();
    auto edge = [&](uint32_t i, uint32_t j, int w, uint32_t colour) {
        const TileLocalPoint pair[2] = {StoredPointAt(points, first + i), StoredPointAt(points, first + j)};
        if (coords.LocalPointsToScreen(2, pair, m_edge, kClipPolyline, Bird(), 1) >= 2)
            Stroke(m_edge.data(), static_cast<int>(m_edge.size()), w, colour, grey);
    };
    auto seam = [&](uint32_t i, uint32_t j) {
        return IsSeamEdge(StoredPointAt(points, first + i), StoredPointAt(points, first + j));
    };
    if (m_options.tileAreaDrawRule == 1 && repaintColour) {
        MneStoredPoints ring = points;
        if (points.packing == 0) ring.data = points.data + static_cast<size_t>(first) * 4;
        else ring.data = points.data + static_cast<size_t>(first) * 2;
        ring.count = count;
        std::vector<ScreenPoint> whole;
        if (Convert(ring, kClipPolyline, whole) >= 2) Stroke(whole.data(), static_cast<int>(whole.size()), width, penColour, grey);
        for (uint32_t i = 0; i + 1 < count; ++i)
            if (seam(i, i + 1)) edge(i, i + 1, 1, *repaintColour);
        return;
    }
    for (uint32_t i = 0; i + 1 < count; ++i)
        if (!seam(i, i + 1)) edge(i, i + 1, width, penColour);
}

// The class's attribute word: the head's two values (kind code in the low
// half; route-view flag and category in the bytes of the high half).
uint32_t MneGeometryRenderer::ClassWord(int cls) const {
    uint16_t kindCode = 0, flags = 0;
    if (!m_map.Style().GetClassValues(cls, &kindCode, &flags)) return 0;
    return kindCode | static_cast<uint32_t>(flags) << 16;
}

// ---- Area renderers --------------------------------------------------------------------

int MneGeometryRenderer::DrawAreas(AreaKind kind, int groupType, int level, const int16_t rect[4],
                                   const uint8_t* block, uint32_t size) {
    NcConfigMap& style = m_map.Style();
    const int styleLevel = CMneDrawMap::StyleLevel(level);
    const int grey = kind == AreaKind::kElevation ? Grey(3) : kind == AreaKind::kType6 ? Grey(4) : Grey(1);
    const bool bird = m_map.Request().birdView == 1;
    const MneBlockView view(block, size);
    int lastClass = -1;
    bool classOk = false;
    const StyleDrawStyle* pen = nullptr;
    const StyleColourRef* brush = nullptr;
    uint32_t word = 0;
    MneWalkBaseGroup(block, size, static_cast<uint8_t>(groupType), [&](const MneLayerRecord& r) {
        if (r.styleIndex != lastClass) {
            lastClass = r.styleIndex;
            classOk = styleLevel >= style.GetClassLevel(r.styleIndex) &&
                      style.GetClassStyle(r.styleIndex, &pen, &brush, 0, 0) != 0;
            word = ClassWord(r.styleIndex);
            if (classOk && kind == AreaKind::kBase) {
                // The elevation areas (drawn above level 8) replace the base
                // layer's kind-1 classes; a class without an attribute word
                // is not drawn.
                const bool hasWord = style.GetClassValues(r.styleIndex, nullptr, nullptr) != 0;
                const uint32_t code = word & 0xFFFF;
                if (!hasWord || (level > 8 && code == 1)) classOk = false;
                if (code == 200) {
                    const int limit = bird ? m_options.fieldLimit3d : m_options.fieldLimit2d;
                    if (level < limit) classOk = false;
                }
                if (m_map.Request().viewMode == 5 && ((word >> 16) & 0xFF) == 0) classOk = false;
            }
        }
        if (!classOk || !BoxMeetsRect(r.bytes, rect)) return true;
        MneStoredPoints points;
        if (!StoredPointsOf(view, r.bytes, U16(r.bytes + 8), &points)) return true;
        if (Convert(points, kClipPolygon, m_screen) < 3) return true;
        const uint32_t category = word >> 24;
        const int penWidth = kind == AreaKind::kType6 && pen ? pen->width : 1;
        if (kind == AreaKind::kBase && category == 1) {
            if (brush) Fill(m_screen, brush->colour, 0.5f, grey);
            return true;
        }
        if (brush && brush->kind == kColourRefPatternKind && (kind == AreaKind::kBase || kind == AreaKind::kType22)) {
            // Pattern classes: no outline; a pattern the style lacks fills solid.
            if (!FillPattern(brush->colourIndex, m_screen)) Fill(m_screen, brush->colour, 1.0f, grey);
            return true;
        }
        if (brush) {
            const float opacity = kind == AreaKind::kType22 ? 0.3f : 1.0f;
            Fill(m_screen, brush->colour, opacity, grey);
        }
        if (pen) {
            const uint32_t repaint = brush ? brush->colour : 0;
            Outline(points, 0, points.count, penWidth, pen->colour, brush ? &repaint : nullptr, grey);
        }
        return true;
    });
    return 1;
}

int MneGeometryRenderer::DrawElevationAreas(int level, const int16_t rect[4], const uint8_t* block, uint32_t size) {
    if (level <= 8) return 1;   // the elevation switch is on above level 8
    return DrawAreas(AreaKind::kElevation, 10, level, rect, block, size);
}
int MneGeometryRenderer::DrawBaseAreas(int level, const int16_t rect[4], const uint8_t* block, uint32_t size) {
    return DrawAreas(AreaKind::kBase, 1, level, rect, block, size);
}
int MneGeometryRenderer::DrawAreaType6(int level, const int16_t rect[4], const uint8_t* block, uint32_t size) {
    return DrawAreas(AreaKind::kType6, 6, level, rect, block, size);
}
int MneGeometryRenderer::DrawAreaType22(int level, const int16_t rect[4], const uint8_t* block, uint32_t size) {
    return DrawAreas(AreaKind::kType22, 22, level, rect, block, size);
}

// ---- Line renderers --------------------------------------------------------------------

int MneGeometryRenderer::DrawLineType2(int level, const int16_t rect[4], const uint8_t* block, uint32_t size) {
    return DrawLineClass(2, level, rect, block, size);
}

int MneGeometryRenderer::DrawLineClass(int groupType, int level, const int16_t rect[4], const uint8_t* block,
                                       uint32_t size) {
    CEglDraw& egl = m_map.Egl();
    egl.SetLineMode(m_options.drawAnti == 1 && m_options.lineAnti != 0 ? 1 : 0);
    NcConfigMap& style = m_map.Style();
    const int styleLevel = CMneDrawMap::StyleLevel(level);
    int solidGrey = Grey(5), dashGrey = Grey(5);
    switch (groupType) {
        case 4: solidGrey = Grey(5), dashGrey = Grey(6); break;
        case 8: solidGrey = dashGrey = Grey(4); break;
        case 12: solidGrey = dashGrey = Grey(8); break;
        case 19: solidGrey = dashGrey = Grey(2); break;
        default: break;
    }
    const MneBlockView view(block, size);
    int lastClass = -1;
    const StyleDrawStyle* pen = nullptr;
    MneWalkBaseGroup(block, size, static_cast<uint8_t>(groupType), [&](const MneLayerRecord& r) {
        if (r.styleIndex != lastClass) {
            lastClass = r.styleIndex;
            pen = nullptr;
            if (style.GetRangedLevel(r.styleIndex) <= styleLevel) style.GetRangedStyle(r.styleIndex, &pen);
        }
        if (!pen || !BoxMeetsRect(r.bytes, rect)) return true;
        MneStoredPoints points;
        if (!StoredPointsOf(view, r.bytes, U16(r.bytes + 8), &points)) return true;
        if (Convert(points, kClipPolyline, m_screen) < 2) return true;
        if (pen->kind == 1) {
            EglDashStyle dash;
            dash.grey = dashGrey;
            dash.colorEven = pen->colour;
            dash.colorOdd = pen->secondColour;
            dash.width = std::max<int32_t>(pen->width, 1);
            egl.PolylineDashed(m_screen.data(), static_cast<int32_t>(m_screen.size()), dash);
        } else {
            Stroke(m_screen.data(), static_cast<int>(m_screen.size()), pen->width, pen->colour, solidGrey);
        }
        return true;
    });
    egl.SetLineMode(0);
    return 1;
}

int MneGeometryRenderer::DrawMapLines27(int level, const int16_t rect[4], const uint8_t* block, uint32_t size) {
    CEglDraw& egl = m_map.Egl();
    egl.SetLineMode(m_options.drawAnti == 1 && m_options.lineAnti != 0 ? 1 : 0);
    NcConfigMap& style = m_map.Style();
    const int styleLevel = CMneDrawMap::StyleLevel(level);
    const MneBlockView view(block, size);
    std::vector<MapPoint> map;
    MneWalkBaseGroup(block, size, 27, [&](const MneLayerRecord& r) {
        if (!BoxMeetsRect(r.bytes, rect)) return true;
        const StyleDrawStyle* pen = nullptr;
        if (style.GetRangedLevel(r.styleIndex) > styleLevel || !style.GetRangedStyle(r.styleIndex, &pen)) return true;
        const uint32_t count = U16(r.bytes + 8);
        const uint32_t offset = U32(r.bytes + 10);
        if (!view.ContainsArray(offset, count, 8)) return true;
        map.resize(count);
        for (uint32_t i = 0; i < count; ++i) {
            const uint8_t* p = block + offset + i * 8;
            map[i] = {static_cast<int32_t>(U32(p)), static_cast<int32_t>(U32(p + 4))};
        }
        if (m_map.Coords().MapPointsToScreen(static_cast<int>(count), map.data(), m_screen, kClipPolyline, Bird(), 1) < 2)
            return true;
        Stroke(m_screen.data(), static_cast<int>(m_screen.size()), pen->width, pen->colour, Grey(2));
        return true;
    });
    egl.SetLineMode(0);
    return 1;
}

int MneGeometryRenderer::DrawOutlinedPolygons(int level, const int16_t rect[4], const uint8_t* block, uint32_t size) {
    CEglDraw& egl = m_map.Egl();
    egl.SetLineMode(m_options.drawAnti == 1 ? 1 : 0);
    NcConfigMap& style = m_map.Style();
    const int styleLevel = CMneDrawMap::StyleLevel(level);
    const MneBlockView view(block, size);
    MneWalkBaseGroup(block, size, 5, [&](const MneLayerRecord& r) {
        if (!BoxMeetsRect(r.bytes, rect)) return true;
        const StyleDrawStyle* pen = nullptr;
        const StyleColourRef* brush = nullptr;
        if (styleLevel < style.GetClassLevel(r.styleIndex) || !style.GetClassStyle(r.styleIndex, &pen, &brush, 0, 0))
            return true;
        MneStoredPoints points;
        if (!StoredPointsOf(view, r.bytes, U16(r.bytes + 8), &points)) return true;
        if (Convert(points, kClipPolygon, m_screen) <= 2) return true;
        if (brush) Fill(m_screen, brush->colour, 1.0f, Grey(7));
        if (pen) {
            const uint32_t repaint = brush ? brush->colour : 0;
            Outline(points, 0, points.count, pen->width, pen->colour, brush ? &repaint : nullptr, Grey(7));
        }
        return true;
    });
    egl.SetLineMode(0);
    return 1;
}

int StripeBandCount(double diagonal) {
    const double n = std::floor(diagonal / 6.0);
    return n < 6 ? 6 : n > kMaxStripeBands ? kMaxStripeBands : static_cast<int>(n);
}

int MneGeometryRenderer::DrawStripes(int level, const int16_t rect[4], const uint8_t* block, uint32_t size) {
    CEglDraw& egl = m_map.Egl();
    egl.SetLineMode(m_options.drawAnti == 1 ? 1 : 0);
    NcConfigMap& style = m_map.Style();
    const int styleLevel = CMneDrawMap::StyleLevel(level);
    const MneBlockView view(block, size);
    CMneCoordSystem& coords = m_map.Coords();
    MneWalkBaseGroup(block, size, 23, [&](const MneLayerRecord& r) {
        const StyleDrawStyle* pen = nullptr;
        const StyleColourRef* brush = nullptr;
        if (styleLevel < style.GetClassLevel(r.styleIndex) ||
            !style.GetClassStyle(r.styleIndex, &pen, &brush, 0, 0) || !pen || !brush)
            return true;
        if (!BoxMeetsRect(r.bytes, rect)) return true;
        MneStoredPoints points;
        if (!StoredPointsOf(view, r.bytes, U16(r.bytes + 8), &points) || points.count != 5) return true;
        MapPoint c[4];
        for (uint32_t i = 0; i < 4; ++i) c[i] = coords.LocalPointToMap(StoredPointAt(points, i));
        auto len = [](const MapPoint& a, const MapPoint& b) { return std::hypot(double(b.x) - a.x, double(b.y) - a.y); };
        const bool across = len(c[0], c[1]) < len(c[1], c[2]);
        const MapPoint a0 = across ? c[3] : c[1], a1 = c[0];
        const MapPoint b0 = c[2], b1 = across ? c[1] : c[3];
        const double lengthA = len(a0, a1), lengthB = len(b0, b1);
        const double diagonal = len(c[1], c[3]);
        const int bands = StripeBandCount(diagonal);
        auto along = [](const MapPoint& from, const MapPoint& to, double length, double at) {
            if (length <= 0) return from;
            return MapPoint{static_cast<int32_t>(from.x + (to.x - from.x) * at / length),
                            static_cast<int32_t>(from.y + (to.y - from.y) * at / length)};
        };
        MapPoint prevA = a0, prevB = b0;
        for (int k = 1; k <= bands; ++k) {
            const double at = 6.0 * k;
            if (k >= 10 && at > diagonal) break;
            const MapPoint ak = along(a0, a1, lengthA, at), bk = along(b0, b1, lengthB, at);
            if (k % 2 == 0) {
                prevA = ak, prevB = bk;
                continue;
            }
            const MapPoint quad[4] = {prevB, prevA, ak, bk};
            if (coords.MapPointsToScreen(4, quad, m_screen, kClipPolygon, Bird(), 1) < 3) continue;
            Fill(m_screen, brush->colour, 1.0f, 0);
            m_screen.push_back(m_screen.front());
            Stroke(m_screen.data(), static_cast<int>(m_screen.size()), 1, pen->colour, 0);
        }
        return true;
    });
    egl.SetLineMode(0);
    return 1;
}

int MneGeometryRenderer::DrawStripedQuads(int level, const int16_t rect[4], const uint8_t* block, uint32_t size) {
    CEglDraw& egl = m_map.Egl();
    if (m_options.drawAnti == 1) egl.SetLineMode(1);
    NcConfigMap& style = m_map.Style();
    const int styleLevel = CMneDrawMap::StyleLevel(level);
    const MneBlockView view(block, size);
    CMneCoordSystem& coords = m_map.Coords();
    std::vector<ScreenPoint> side0, side1;
    MneWalkBaseGroup(block, size, 24, [&](const MneLayerRecord& r) {
        const StyleDrawStyle* pen = nullptr;
        const StyleColourRef* brush = nullptr;
        if (styleLevel < style.GetClassLevel(r.styleIndex) ||
            !style.GetClassStyle(r.styleIndex, &pen, &brush, 0, 0) || !pen || !brush)
            return true;
        // The box corners in tile-local units for the box test.
        const TileLocalPoint lo =
            coords.MapToLocalPoint(MapPoint{static_cast<int32_t>(U32(r.bytes)), static_cast<int32_t>(U32(r.bytes + 4))});
        const TileLocalPoint hi = coords.MapToLocalPoint(
            MapPoint{static_cast<int32_t>(U32(r.bytes + 8)), static_cast<int32_t>(U32(r.bytes + 12))});
        const int32_t minY = std::min(lo.y, hi.y), maxY = std::max(lo.y, hi.y);
        const int32_t minX = std::min(lo.x, hi.x), maxX = std::max(lo.x, hi.x);
        if (rect[1] + rect[3] < minX || rect[0] + rect[2] < minY || maxX < rect[1] || maxY < rect[0]) return true;
        if (U16(r.bytes + 16) != 5) return true;
        const uint32_t offset = U32(r.bytes + 18);
        if (!view.ContainsArray(offset, 4, 8)) return true;
        ScreenPoint q[4];   // map units
        for (int i = 0; i < 4; ++i)
            q[i] = {static_cast<int32_t>(U32(block + offset + 8 * i)), static_cast<int32_t>(U32(block + offset + 8 * i + 4))};
        auto len2 = [](const ScreenPoint& a, const ScreenPoint& b) {
            const double dx = b.x - a.x, dy = b.y - a.y;
            return dx * dx + dy * dy;
        };
        auto mid = [](const ScreenPoint& a, const ScreenPoint& b) { return ScreenPoint{(a.x + b.x) / 2, (a.y + b.y) / 2}; };
        // The axis joins the midpoints of the two shorter opposite sides.
        ScreenPoint axis[2];
        if (len2(q[0], q[1]) < len2(q[1], q[2])) axis[0] = mid(q[0], q[1]), axis[1] = mid(q[2], q[3]);
        else axis[0] = mid(q[1], q[2]), axis[1] = mid(q[3], q[0]);
        const int distance = static_cast<int>(0.2 * std::sqrt(len2(axis[0], axis[1])));
        if (!OffsetPolyline(axis, 2, distance, 0, 0.7, side0) || !OffsetPolyline(axis, 2, distance, 1, 0.7, side1))
            return true;
        auto step = [](const std::vector<ScreenPoint>& s, int k) {
            return MapPoint{s[0].x + (s[1].x - s[0].x) * k / 13, s[0].y + (s[1].y - s[0].y) * k / 13};
        };
        for (int k = 0; k < 13; k += 2) {
            const MapPoint strip[5] = {step(side0, k), step(side0, k + 1), step(side1, k + 1), step(side1, k), step(side0, k)};
            if (coords.MapPointsToScreen(5, strip, m_screen, kClipPolygon, Bird(), 1) <= 2) continue;
            Fill(m_screen, brush->colour, 1.0f, 0);
            Stroke(m_screen.data(), static_cast<int>(m_screen.size()), 1, pen->colour, 0);
        }
        return true;
    });
    egl.SetLineMode(0);
    return 1;
}

// ---- Polygon classes -------------------------------------------------------------------

int MneGeometryRenderer::DrawPolygonClass(int level, int groupType) {
    CEglDraw& egl = m_map.Egl();
    egl.SetLineMode(m_options.drawAnti == 1 ? 1 : 0);
    const MneDrawRequest& request = m_map.Request();
    // The shadows of every tile are drawn before any polygon, so no shadow
    // covers a neighbouring polygon's fill.
    const bool shadowPass = level > 8 && request.centreMode != 1 && request.viewMode != 5 &&
                            request.birdView != 1 && m_options.roadRelief != 0 && groupType != 28 && groupType != 29;
    for (const bool shadows : {true, false}) {
        if (shadows && !shadowPass) continue;
        m_map.ForEachTileBlock(CMneDrawMap::kBase, [&](const VisibleTile& tile, const uint8_t* block, uint32_t size) {
            DrawPolygonClassBlock(level, groupType, shadows, tile.rect[0], block, size);
        });
    }
    egl.SetLineMode(0);
    return 1;
}

int MneGeometryRenderer::DrawPolygonClassBlock(int level, int groupType, bool shadows, const int16_t rect[4],
                                               const uint8_t* block, uint32_t size) {
    NcConfigMap& style = m_map.Style();
    const int grey = Grey(5);
    const MneBlockView view(block, size);
    MneWalkBaseGroup(block, size, static_cast<uint8_t>(groupType), [&](const MneLayerRecord& r) {
        if (!BoxMeetsRect(r.bytes, rect)) return true;
        const uint32_t word = ClassWord(r.styleIndex);
        if (!ClassDrawnAsPolygon(r.styleIndex, word, level)) return true;
        const StyleDrawStyle* pen = nullptr;
        const StyleColourRef* brush = nullptr;
        if (!style.GetClassStyle(r.styleIndex, &pen, &brush, 0, 0)) return true;
        MneStoredPoints points;
        if (!StoredPointsOf(view, r.bytes, U16(r.bytes + 8), &points)) return true;
        if (Convert(points, kClipPolygon, m_screen) < 3) return true;
        if (shadows) {
            const int code = static_cast<int>(word & 0xFFFF);
            if (code == 0) return true;
            int dx = 0, dy = 0;
            ShadowOffsets(code, &dx, &dy);
            uint32_t colour = 0x0A0A0A;
            const StyleDrawStyle* shadowPen = nullptr;
            const StyleColourRef* c1 = nullptr;
            const StyleColourRef* c2 = nullptr;
            if (style.GetClassStyle3(r.styleIndex, &shadowPen, &c1, &c2) && shadowPen) colour = shadowPen->colour;
            for (ScreenPoint& p : m_screen) p.x += dx, p.y += dy;
            Fill(m_screen, colour, 1.0f, grey);
            Stroke(m_screen.data(), static_cast<int>(m_screen.size()), 1, colour, grey);
            return true;
        }
        uint32_t fill = brush ? PolygonFillColour(groupType, brush->colour) : 0;
        if (brush && brush->kind == kColourRefPatternKind) {
            if (!FillPattern(brush->colourIndex, m_screen)) Fill(m_screen, brush->colour, 1.0f, grey);
            fill = pen ? pen->colour : brush->colour;   // the seams take the class's pen colour
        } else if (brush) {
            Fill(m_screen, fill, (word >> 24) == 5 ? 0.5f : 1.0f, grey);
        }
        if (!pen) return true;
        const uint32_t outline = (groupType == 28 || groupType == 29) && brush ? brush->colour : pen->colour;
        const uint32_t ringCount = U16(r.bytes + 14);
        const uint32_t ringTable = U32(r.bytes + 16);
        if (ringCount == 0 || !view.ContainsArray(ringTable, ringCount, 4)) {
            Outline(points, 0, points.count, pen->width, outline, brush ? &fill : nullptr, grey);
            return true;
        }
        for (uint32_t k = 0; k < ringCount; ++k) {
            const uint8_t* ring = block + ringTable + k * 4;
            const uint32_t first = U16(ring), count = U16(ring + 2);
            if (uint64_t{first} + count > points.count) continue;   // a ring past the points
            Outline(points, first, count, pen->width, outline, brush ? &fill : nullptr, grey);
        }
        return true;
    });
    return 1;
}

// ---- Traffic links ---------------------------------------------------------------------

int MneGeometryRenderer::DrawTrafficLinks(int level, const int16_t rect[4], const uint8_t* block, uint32_t size) {
    const int birdByte = m_map.Request().birdView;
    if ((birdByte == 1 && level < 11) || (birdByte == 0 && level < 7)) return 0;
    const MneBlockView view(block, size);
    MneWalkLayerBlock(MneLayerKind::kTraffic, block, size, [&](const MneLayerRecord& r) {
        if (!BoxMeetsRect(r.bytes, rect)) return true;
        const uint16_t kind = U16(r.bytes + 18);
        const bool major = kind == 1 || kind == 2;
        if ((m_options.trafficRoads == 2 && !major) || (m_options.trafficRoads == 3 && major)) return true;
        if (level == 7 && kind >= 4) return true;
        // Links carry a plain point count of unpacked points.
        MneStoredPoints points;
        if (!StoredPointsOf(view, r.bytes, MnePointWord{U16(r.bytes + 8), 0}, &points)) return true;
        if (Convert(points, kClipPolyline, m_screen) < 2) return true;
        const uint32_t colour = m_linkColour ? m_linkColour(r.bytes) : 0;
        if (colour == 0) return true;
        int width = 0, inner = 0;
        NcConfigMap::GetTrafficLineParams(kind, 0, &width, &inner);
        Stroke(m_screen.data(), static_cast<int>(m_screen.size()), inner, colour, 0);
        return true;
    });
    m_map.Egl().SetLineMode(0);
    return 1;
}

// ---- Installation ----------------------------------------------------------------------

void InstallGeometryPassesWithLinkColour(CMneDrawMap& map, MneGeometryRenderer::LinkColourFn linkColour) {
    using Layer = CMneDrawMap::Layer;
    using Tile = int (MneGeometryRenderer::*)(int, const int16_t*, const uint8_t*, uint32_t);
    auto tilePass = [](Layer layer, Tile draw) {
        return [layer, draw](CMneDrawMap& m, const MnePassContext&) {
            MneGeometryRenderer renderer(m, GeometryOptionsFromSettings());
            const int level = m.ScaleLevel();
            m.ForEachTileBlock(layer, [&](const VisibleTile& tile, const uint8_t* block, uint32_t size) {
                (renderer.*draw)(level, tile.rect[0], block, size);
            });
        };
    };
    auto linePass = [](int groupType) {
        return [groupType](CMneDrawMap& m, const MnePassContext&) {
            MneGeometryRenderer renderer(m, GeometryOptionsFromSettings());
            const int level = m.ScaleLevel();
            m.ForEachTileBlock(CMneDrawMap::kBase, [&](const VisibleTile& tile, const uint8_t* block, uint32_t size) {
                renderer.DrawLineClass(groupType, level, tile.rect[0], block, size);
            });
        };
    };
    map.SetPassHandler(MnePass::kElevAreas, tilePass(CMneDrawMap::kElev, &MneGeometryRenderer::DrawElevationAreas));
    map.SetPassHandler(MnePass::kTributaryAreas, tilePass(CMneDrawMap::kTributary, &MneGeometryRenderer::DrawBaseAreas));
    map.SetPassHandler(MnePass::kBaseAreas, tilePass(CMneDrawMap::kBase, &MneGeometryRenderer::DrawBaseAreas));
    map.SetPassHandler(MnePass::kBaseClass6, tilePass(CMneDrawMap::kBase, &MneGeometryRenderer::DrawAreaType6));
    map.SetPassHandler(MnePass::kBaseClass2, tilePass(CMneDrawMap::kBase, &MneGeometryRenderer::DrawLineType2));
    map.SetPassHandler(MnePass::kBaseClass4, linePass(4));
    map.SetPassHandler(MnePass::kBasePolygons5,
                       tilePass(CMneDrawMap::kBase, &MneGeometryRenderer::DrawOutlinedPolygons));
    map.SetPassHandler(MnePass::kBaseClass8, linePass(8));
    map.SetPassHandler(MnePass::kBaseClass23, tilePass(CMneDrawMap::kBase, &MneGeometryRenderer::DrawStripes));
    map.SetPassHandler(MnePass::kBaseStripes24,
                       tilePass(CMneDrawMap::kBase, &MneGeometryRenderer::DrawStripedQuads));
    map.SetPassHandler(MnePass::kBaseClass22, tilePass(CMneDrawMap::kBase, &MneGeometryRenderer::DrawAreaType22));
    map.SetPassHandler(MnePass::kBaseClass19And27, [](CMneDrawMap& m, const MnePassContext&) {
        if (m.Request().birdView != 0) return;
        MneGeometryRenderer renderer(m, GeometryOptionsFromSettings());
        const int level = m.ScaleLevel();
        m.ForEachTileBlock(CMneDrawMap::kBase, [&](const VisibleTile& tile, const uint8_t* block, uint32_t size) {
            renderer.DrawLineClass(19, level, tile.rect[0], block, size);
            renderer.DrawMapLines27(level, tile.rect[0], block, size);
        });
    });
    map.SetPassHandler(MnePass::kBaseClass12, linePass(12));
    map.SetPassHandler(MnePass::kPolygonClass, [](CMneDrawMap& m, const MnePassContext& c) {
        MneGeometryRenderer renderer(m, GeometryOptionsFromSettings());
        renderer.DrawPolygonClass(m.ScaleLevel(), c.groupType);
    });
    map.SetPassHandler(MnePass::kMapPolygons, [](CMneDrawMap& m, const MnePassContext&) {
        MneGeometryRenderer renderer(m, GeometryOptionsFromSettings());
        renderer.DrawMapPolygons(m.ScaleLevel());
    });
    map.SetPassHandler(MnePass::kBuildings, [](CMneDrawMap& m, const MnePassContext& c) {
        if (!c.tile || !c.block) return;
        MneGeometryRenderer renderer(m, GeometryOptionsFromSettings());
        m.Coords().SetTile(c.tile->column, c.tile->row);
        renderer.CollectBuildings7(m.ScaleLevel(), c.tile->rect[0], c.block, c.blockSize);
        renderer.CollectBuildings21(m.ScaleLevel(), c.tile->rect[0], c.block, c.blockSize);
    });
    map.SetPassHandler(MnePass::kFoundBuilding, [](CMneDrawMap& m, const MnePassContext&) {
        MneGeometryRenderer renderer(m, GeometryOptionsFromSettings());
        renderer.DrawFoundBuilding(m.ScaleLevel());
    });
    map.SetPassHandler(MnePass::kTrafficLinks, [linkColour](CMneDrawMap& m, const MnePassContext&) {
        MneGeometryRenderer renderer(m, GeometryOptionsFromSettings());
        renderer.SetLinkColour(linkColour);
        const int level = m.ScaleLevel();
        m.ForEachTileBlock(CMneDrawMap::kTpegLink, [&](const VisibleTile& tile, const uint8_t* block, uint32_t size) {
            renderer.DrawTrafficLinks(level, tile.rect[0], block, size);
        });
    });
}
