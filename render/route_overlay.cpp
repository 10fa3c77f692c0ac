#include "render/route_overlay.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "render/draw_map.h"

namespace {

// The grey switch of the route lines.
constexpr int kRouteGreySwitch = 14;

int RouteGrey(const CMneDrawMap& map) { return map.Grey().on[kRouteGreySwitch - 1]; }

// The map area the view's tiles cover; false without tiles.
bool ViewMapBounds(CMneDrawMap& map, MapPoint& lo, MapPoint& hi) {
    const VisibleRange& range = map.Range();
    if (range.tiles.empty()) return false;
    CMneCoordSystem& coords = map.Coords();
    bool any = false;
    for (const VisibleTile& t : range.tiles) {
        for (TileLocalPoint corner : {TileLocalPoint{0, 0}, TileLocalPoint{kTileLocalSteps, kTileLocalSteps}}) {
            MapPoint p;
            if (!coords.LocalPointToMap(t.column, t.row, corner, p)) continue;
            if (!any) {
                lo = hi = p;
                any = true;
            }
            lo.x = std::min(lo.x, p.x), lo.y = std::min(lo.y, p.y);
            hi.x = std::max(hi.x, p.x), hi.y = std::max(hi.y, p.y);
        }
    }
    return any;
}

bool InBounds(const MapPoint& p, const MapPoint& lo, const MapPoint& hi) {
    return p.x >= lo.x && p.x <= hi.x && p.y >= lo.y && p.y <= hi.y;
}

double MapDistance(const MapPoint& a, int32_t bx, int32_t by) {
    return std::hypot(static_cast<double>(bx) - a.x, static_cast<double>(by) - a.y);
}

// Strokes a converted polyline twice: casing, then core.
void StrokeCased(CMneDrawMap& map, const std::vector<ScreenPoint>& points, int casingWidth, uint32_t casing,
                 int coreWidth, uint32_t core, int smooth) {
    if (points.size() < 2) return;
    CMneDC& dc = map.Dc();
    const int32_t oldGrey = dc.GetGreyMode();
    dc.SetGreyMode(RouteGrey(map));
    const int32_t n = static_cast<int32_t>(points.size());
    dc.Polyline(points.data(), n, casingWidth, casing, smooth);
    dc.Polyline(points.data(), n, coreWidth, core, smooth);
    dc.SetGreyMode(oldGrey);
}

// The car's point index on the driven route (the last route point passed).
int32_t CarPoint(const MneRoutePath& path, const MneRouteCar& car, int32_t first, int32_t last) {
    if (car.segment < 0 || car.segment >= static_cast<int32_t>(path.segments.size())) return first;
    return std::clamp(path.segments[static_cast<size_t>(car.segment)][0] + car.pointOffset, first, last);
}

}  // namespace

// ---- Marks and the arrow --------------------------------------------------------------------

double RouteMarkSpacing(double arrowSize) { return 6.0 * arrowSize + 12.0; }

void BuildRouteMarks(const MapPoint* points, int32_t count, double spacing, std::vector<MneRouteMark>& out) {
    out.clear();
    if (!points || count < 2 || !(spacing > 0.0)) return;
    double since = 0.0;   // walked since the last mark
    double along = 0.0;   // walked from the first point to the current segment's start
    for (int32_t i = 1; i < count; ++i) {
        const MapPoint& a = points[i - 1];
        const MapPoint& b = points[i];
        const double length = MapDistance(a, b.x, b.y);
        if (length <= 0.0) continue;
        double at = 0.0;   // consumed of this segment
        int bearing = -1;
        while (since + (length - at) >= spacing) {
            at += spacing - since;
            since = 0.0;
            const double t = at / length;
            MneRouteMark m;
            m.x = static_cast<int32_t>(std::lround(a.x + (b.x - a.x) * t));
            m.y = static_cast<int32_t>(std::lround(a.y + (b.y - a.y) * t));
            m.prevX = a.x;
            m.prevY = a.y;
            m.nextPoint = i;
            if (bearing < 0) bearing = GetAngleUTM(a.x, a.y, b.x, b.y, 1);
            m.bearingDeg = bearing;
            m.distance = along + at;
            out.push_back(m);
        }
        since += length - at;
        along += length;
    }
}

MneRouteLineStyle RouteLineStyle(int type) {
    switch (type) {
        case 1: return {11, 7};
        case 2: return {11, 5};
        case 3: return {13, 7};
        default: return {9, 5};
    }
}

std::array<ScreenPoint, 5> ArrowPoints(int angleDeg) {
    static constexpr int kShape[5][2] = {{0, -8}, {-8, 10}, {0, 5}, {8, 10}, {0, -8}};
    const int a = NormalizeAngle360(360 - angleDeg);
    const double c = CosDeg(a), s = SinDeg(a);
    std::array<ScreenPoint, 5> out;
    for (int i = 0; i < 5; ++i) {
        const double x = kShape[i][0], y = kShape[i][1];
        out[static_cast<size_t>(i)] = {static_cast<int32_t>(std::lround(x * c - y * s)),
                                       static_cast<int32_t>(std::lround(y * c + x * s))};
    }
    return out;
}

namespace {

// Fills and outlines an arrow of screen points.
int PaintArrow(CMneDrawMap& map, const ScreenPoint* points, int32_t count, int muted) {
    CEglDraw& egl = map.Egl();
    CEglBrush brush;
    brush.Set(0, nullptr, muted ? 0x80766Bu : 0xFFFFFFu, 0);
    CEglPen pen;
    pen.Set(CEglPen::kStyleSolid, 1, muted ? 0xFFFFFFu : 0x000000u, 0);
    CEglBrush* oldBrush = egl.SelectBrush(&brush);
    CEglPen* oldPen = egl.SelectPen(&pen);
    const float opacity = muted ? 0.5f : 1.0f;
    const int filled = egl.Polygon(points, count, opacity);
    egl.Polyline(points, count, 1.0f);
    egl.SelectBrush(oldBrush);
    egl.SelectPen(oldPen);
    return filled;
}

}  // namespace

int DrawArrow(CMneDrawMap& map, int32_t x, int32_t y, int angleDeg, int muted) {
    std::array<ScreenPoint, 5> points = ArrowPoints(angleDeg);
    for (ScreenPoint& p : points) p.x += x, p.y += y;
    return PaintArrow(map, points.data(), 5, muted);
}

std::array<MapPoint, 5> RouteArrowPoints(MapPoint tip, int bearingDeg, double size) {
    // Worked out in metres: a map unit east is shorter than one north by the
    // cosine of the latitude.
    const double kPi = 3.14159265358979323846;
    const double east = std::max(0.1, std::cos(static_cast<double>(tip.y) / kMapUnitsPerDegree * kPi / 180.0));
    const int back = NormalizeAngle360(bearingDeg + 180);
    // Counterclockwise from north: (east, north) = (-sin, cos).
    auto at = [&](int angleDeg, double length) {
        const int a = NormalizeAngle360(angleDeg);
        return MapPoint{static_cast<int32_t>(std::lround(tip.x - SinDeg(a) * length / east)),
                        static_cast<int32_t>(std::lround(tip.y + CosDeg(a) * length))};
    };
    return {tip, at(back - 75, size), at(back, size * 0.12), at(back + 75, size), tip};
}

int DrawRouteArrow(CMneDrawMap& map, MapPoint mark, int bearingDeg, int passed, double routeSize) {
    // The band's half-width is measured east, where a map unit is shorter
    // by the cosine of the latitude; the arrow's barbs are measured north.
    const double kPi = 3.14159265358979323846;
    const double east = std::max(0.1, std::cos(static_cast<double>(mark.y) / kMapUnitsPerDegree * kPi / 180.0));
    const std::array<MapPoint, 5> corners = RouteArrowPoints(mark, bearingDeg, 0.85 * routeSize * east);
    std::vector<ScreenPoint> screen;
    if (map.Coords().MapPointsToScreen(5, corners.data(), screen, kClipPolygon, 1, 1) <= 2) return 0;
    return PaintArrow(map, screen.data(), static_cast<int32_t>(screen.size()), passed);
}

// ---- The overlay --------------------------------------------------------------------------

MneRouteOverlay::MneRouteOverlay() = default;

MneRouteOverlay::~MneRouteOverlay() {
    for (int i = 0; i < kMarkLists; ++i) ReleaseMarkList(i);
}

int32_t MneRouteOverlay::MarkCount(int list) const {
    return list >= 0 && list < kMarkLists ? m_marks[static_cast<size_t>(list)].count : 0;
}
uint32_t MneRouteOverlay::MarkVersion(int list) const {
    return list >= 0 && list < kMarkLists ? m_marks[static_cast<size_t>(list)].version : 0;
}
double MneRouteOverlay::MarkArrowSize(int list) const {
    return list >= 0 && list < kMarkLists ? m_marks[static_cast<size_t>(list)].arrowSize : -1.0;
}
const MneRouteMark* MneRouteOverlay::Marks(int list) const {
    return list >= 0 && list < kMarkLists ? m_marks[static_cast<size_t>(list)].records : nullptr;
}

void MneRouteOverlay::ReleaseMarkList(int list) {
    MarkList& m = m_marks[static_cast<size_t>(list)];
    if (m.records) SharedBlockFree(m.records);
    m.records = nullptr;
    m.heap.reset();
    m.count = 0;
    m.capacity = 0;
    m.version = 0;
    m.arrowSize = -1.0;
}

void MneRouteOverlay::ReleaseOutlines(int slot) {
    m_outlines.ReleaseRouteOutlines(slot);
    m_outlinesHeld[static_cast<size_t>(slot)] = false;
}

bool MneRouteOverlay::RebuildMarks(int list, const MneRoutePath& path, uint32_t version, double arrowSize) {
    MarkList& m = m_marks[static_cast<size_t>(list)];
    int32_t first = 0, last = -1;
    m_build.clear();
    if (path.PointRange(&first, &last))
        BuildRouteMarks(path.points.data() + first, last - first + 1, RouteMarkSpacing(arrowSize), m_build);
    for (MneRouteMark& mark : m_build) mark.nextPoint += first;
    const int64_t needed = static_cast<int64_t>(m_build.size());
    if (!m.heap) {
        char tag[40];
        std::snprintf(tag, sizeof tag, "MGRGENERATEPATHMARK%d", list);
        m.heap.reset(CreateSharedBlock(std::string_view(tag), kMarkHeapUnit, kMarkHeapBytes, 0));
        if (!m.heap) return false;
    }
    if (!m.records || needed > m.capacity) {
        const int64_t capacity = std::max<int64_t>(kMarkBlock, (needed + kMarkBlock - 1) / kMarkBlock * kMarkBlock);
        if (capacity * static_cast<int64_t>(sizeof(MneRouteMark)) > kMarkHeapBytes) return false;
        if (m.records) SharedBlockFree(m.records);
        m.records = static_cast<MneRouteMark*>(
            SharedBlockAlloc(m.heap.get(), static_cast<size_t>(capacity) * sizeof(MneRouteMark)));
        m.capacity = m.records ? static_cast<int32_t>(capacity) : 0;
        if (!m.records) {
            m.count = 0;
            return false;
        }
    }
    std::copy(m_build.begin(), m_build.end(), m.records);
    m.count = static_cast<int32_t>(needed);
    m.version = version;
    m.arrowSize = arrowSize;
    return true;
}

void MneRouteOverlay::ReleaseRouteCaches(const MneOverlayInputs& inputs, MneOverlaySource* source) {
    std::array<bool, kMarkLists> lists{};
    std::array<bool, 2> slots{};
    if (source && source->TakeRouteChanged()) lists.fill(true);
    for (int row = 0; row < 4; ++row)
        if (!inputs.routes || !inputs.routes->rows[static_cast<size_t>(row)].enabled) lists[static_cast<size_t>(row + 2)] = true;
    switch (inputs.mapScreenMode) {
        case 1:
            if (inputs.leftMapMode != 2) slots[0] = true;
            if (inputs.rightMapMode != 2) slots[1] = true;
            break;
        case 2:
            slots[1] = true;
            lists[1] = true;
            if (inputs.leftMapMode != 2) slots[0] = true;
            break;
        case 3:
            slots[0] = true;
            lists[0] = true;
            if (inputs.rightMapMode != 2) slots[1] = true;
            break;
        default: break;
    }
    if (!inputs.car.known) slots[0] = slots[1] = lists[0] = lists[1] = true;
    for (int i = 0; i < kMarkLists; ++i)
        if (lists[static_cast<size_t>(i)]) ReleaseMarkList(i);
    for (int s = 0; s < 2; ++s)
        if (slots[static_cast<size_t>(s)]) ReleaseOutlines(s);
}

int MneRouteOverlay::DrawRoute(CMneDrawMap& map, const MneOverlayInputs& inputs, MneOverlaySource* source,
                               int routeFlag) {
    (void)routeFlag;   // the look-ahead view draws the same displays
    if (!inputs.routes) return 0;
    const MneRouteSet& set = *inputs.routes;
    bool anyRow = set.driven.HasPoints();
    for (const MneRoutePath& row : set.rows) anyRow = anyRow || row.HasPoints();
    if (!anyRow) return 0;
    ReleaseRouteCaches(inputs, source);
    ++m_frameStamp;

    const MneDrawRequest& r = map.Request();
    const int mode = r.viewMode;
    const int level = map.ScaleLevel();
    const int slot = r.screenIndex;
    const int smooth = inputs.drawAnti ? 1 : 0;
    const int oldLineMode = map.Egl().SetLineMode(smooth);
    struct RestoreLineMode {
        CEglDraw& egl;
        int mode;
        ~RestoreLineMode() { egl.SetLineMode(mode); }
    } restore{map.Egl(), oldLineMode};

    // The band's colours by the map-display setting that request byte 7
    // picks (1 to 5).
    const int colourIndex = r.styleMode ? inputs.routeColourDay : inputs.routeColourNight;
    uint32_t bandColours[6] = {};
    const bool bandColoured = colourIndex >= 1 && colourIndex <= 5 &&
                              map.Style().GetRouteColours(bandColours, colourIndex - 1, 0, 0);

    // Re-routing display: the route being driven, with the new route once
    // it has been there for a few frames.
    const bool driving = inputs.routeState == 3 || inputs.routeState == 4;
    if (inputs.selectedRoute == -1 && mode != 3 && mode != 10 && inputs.car.known && driving) {
        if (!bandColoured) return 0;
        if (set.rows[0].enabled) {
            if (++m_reRouteFrames > kReRouteFrames)
                DrawRouteRow(map, inputs, level, 0, kRouteFixedCore, kRouteFixedCasing, 2);
        } else {
            m_reRouteFrames = 0;
        }
        DrawRouteBand(map, inputs, level, slot, bandColours + 2, 1, 11, 5);
        return 1;
    }

    if (mode != 10) {
        // Ordinary display: the other rows, then the selected row on top.
        int selected = -1;
        for (int row = 0; row < 4; ++row) {
            if (set.rows[static_cast<size_t>(row)].routeOption == inputs.selectedOption) {
                selected = row;
                break;
            }
        }
        if (selected < 0) return 0;
        for (int pass = 0; pass < 2; ++pass) {
            for (int row = 0; row < 4; ++row) {
                const MneRoutePath& p = set.rows[static_cast<size_t>(row)];
                if (!p.enabled || (row == selected) != (pass == 1)) continue;
                uint32_t colours[6] = {};
                if (!map.Style().GetRouteColours(colours, NcConfigMap::FlagToIndex(static_cast<uint32_t>(p.routeOption)),
                                                 0, r.birdView))
                    continue;
                DrawRouteRow(map, inputs, level, row, colours[0], colours[1], pass);
            }
        }
        return 1;
    }

    // Comparison display.
    if (inputs.selectedOption != 0) {
        if (inputs.car.known && bandColoured) DrawRouteBand(map, inputs, level, slot, bandColours + 2, 1, 7, 3);
        DrawRouteRow(map, inputs, level, 0, kRouteFixedCore, kRouteFixedCasing, 2);
    } else {
        DrawRouteRow(map, inputs, level, 0, kRouteFixedCore, kRouteFixedCasing, 3);
        if (inputs.car.known && bandColoured) DrawRouteBand(map, inputs, level, slot, bandColours + 2, 1, 13, 5);
    }
    return 1;
}

int MneRouteOverlay::DrawRouteRow(CMneDrawMap& map, const MneOverlayInputs& inputs, int level, int row,
                                  uint32_t core, uint32_t casing, int type) {
    if (!inputs.routes || row < 0 || row > 3) return 0;
    const MneRoutePath& p = inputs.routes->rows[static_cast<size_t>(row)];
    const int bird = map.Request().birdView;
    if (!p.enabled || !p.HasPoints()) return 0;
    if (bird && type != 2 && type != 3) return 0;
    int32_t first = 0, last = -1;
    if (!p.PointRange(&first, &last)) return 0;
    map.Coords().MapPointsToScreen(last - first + 1, p.points.data() + first, m_screen, kClipPolyline, bird, 1);
    const MneRouteLineStyle style = RouteLineStyle(type);
    StrokeCased(map, m_screen, style.casing, casing, style.core, core, inputs.drawAnti ? 1 : 0);
    if (type == 0 || type == 1)
        DrawRouteArrows(map, inputs, level, row + 2, p, nullptr, NcConfigMap::LevelDistance(level), 0);
    return 1;
}

int MneRouteOverlay::DrawRouteBand(CMneDrawMap& map, const MneOverlayInputs& inputs, int level, int viewSlot,
                                   const uint32_t colours[4], int split, int casingWidth, int coreWidth) {
    if (viewSlot < 0 || viewSlot > 1 || !inputs.routes) return 0;
    const MneRoutePath& path = inputs.routes->driven;
    int32_t first = 0, last = -1;
    if (!path.HasPoints() || !path.PointRange(&first, &last)) return 0;
    const uint32_t aheadCore = colours[0], aheadCasing = colours[1];
    const uint32_t drivenCore = colours[2], drivenCasing = colours[3];
    const MneRouteCar& car = inputs.car;
    const int32_t carPoint = CarPoint(path, car, first, last);
    const bool reached = car.known && car.position.x != 0 && car.position.y != 0 &&
                         (car.segment > 0 || first <= carPoint);
    const MneDrawRequest& r = map.Request();
    CMneCoordSystem& coords = map.Coords();
    const int smooth = inputs.drawAnti ? 1 : 0;

    if (!r.birdView || r.viewMode == 5) {
        if (split == 1 && reached) {
            m_part.assign(path.points.begin() + first, path.points.begin() + carPoint + 1);
            m_part.push_back(car.position);
            coords.MapPointsToScreen(static_cast<int>(m_part.size()), m_part.data(), m_screen, kClipPolyline, 0, 1);
            StrokeCased(map, m_screen, casingWidth, drivenCasing, coreWidth, drivenCore, smooth);
            m_part.assign(1, car.position);
            m_part.insert(m_part.end(), path.points.begin() + carPoint + 1, path.points.begin() + last + 1);
            coords.MapPointsToScreen(static_cast<int>(m_part.size()), m_part.data(), m_screen, kClipPolyline, 0, 1);
            StrokeCased(map, m_screen, casingWidth, aheadCasing, coreWidth, aheadCore, smooth);
        } else {
            coords.MapPointsToScreen(last - first + 1, path.points.data() + first, m_screen, kClipPolyline, 0, 1);
            StrokeCased(map, m_screen, casingWidth, aheadCasing, coreWidth, aheadCore, smooth);
        }
        const double size = r.viewMode == 5 ? 50.0 : NcConfigMap::LevelDistance(level);
        DrawRouteArrows(map, inputs, level, viewSlot, path, &car, size, 0);
        return 1;
    }

    // Bird's-eye: the outlines of the route in flat pixels, each part filled
    // after projection. The half-width is the level step in map units.
    const int32_t n = last - first + 1;
    coords.MapPointsToScreen(n, path.points.data() + first, m_flat, 0, 0, 0);
    ScreenPoint o, e;
    const MapPoint centre = coords.GetCentre();
    coords.MapToScreen(centre, o, 0, 0);
    coords.MapToScreen(MapPoint{centre.x + NcConfigMap::LevelStep(level), centre.y}, e, 0, 0);
    const double halfWidth = std::max(1.0, std::hypot(e.x - o.x, e.y - o.y));
    m_parts.clear();
    for (const auto& seg : path.segments)
        m_parts.push_back(BandPartRange{std::clamp(seg[0] - first, 0, n - 1), std::clamp(seg[1] - first, 0, n - 1)});
    const int32_t partCount = static_cast<int32_t>(m_parts.size());
    if (!m_outlines.BuildBandOutlines(m_flat.data(), n, m_parts.data(), partCount, halfWidth, viewSlot, m_frameStamp))
        return 0;
    m_outlinesHeld[static_cast<size_t>(viewSlot)] = true;

    // The parts worth drawing meet the flat area of the view's tiles.
    MapPoint lo, hi;
    ScreenRect flatBounds{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
    if (ViewMapBounds(map, lo, hi)) {
        ScreenPoint c[4];
        coords.MapToScreen(lo, c[0], 0, 0);
        coords.MapToScreen(hi, c[1], 0, 0);
        coords.MapToScreen(MapPoint{lo.x, hi.y}, c[2], 0, 0);
        coords.MapToScreen(MapPoint{hi.x, lo.y}, c[3], 0, 0);
        flatBounds = ScreenRect{c[0].x, c[0].y, c[0].x, c[0].y};
        for (const ScreenPoint& p : c) {
            flatBounds.left = std::min(flatBounds.left, p.x), flatBounds.right = std::max(flatBounds.right, p.x);
            flatBounds.top = std::min(flatBounds.top, p.y), flatBounds.bottom = std::max(flatBounds.bottom, p.y);
        }
    }
    CMneBirdViewManager& bird = coords.BirdView();
    CEglDraw& egl = map.Egl();
    const int grey = RouteGrey(map);
    auto fillParts = [&](const BandOutlines& outlines, uint32_t core, uint32_t casing) {
        CEglBrush brush;
        brush.Set(0, nullptr, core, grey);
        CEglPen pen;
        pen.Set(CEglPen::kStyleSolid, 1, casing, grey);
        CEglBrush* oldBrush = egl.SelectBrush(&brush);
        CEglPen* oldPen = egl.SelectPen(&pen);
        for (int32_t k = 0; k < outlines.partCount; ++k) {
            const BandPart& part = outlines.parts[k];
            if (part.count < 2) continue;
            const ScreenPoint* ring = outlines.points + part.firstIndex;
            ScreenRect box{ring[0].x, ring[0].y, ring[0].x, ring[0].y};
            for (int32_t i = 0; i < 2 * part.count + 1; ++i) {
                box.left = std::min(box.left, ring[i].x), box.right = std::max(box.right, ring[i].x);
                box.top = std::min(box.top, ring[i].y), box.bottom = std::max(box.bottom, ring[i].y);
            }
            if (box.right < flatBounds.left || box.left > flatBounds.right || box.bottom < flatBounds.top ||
                box.top > flatBounds.bottom)
                continue;
            m_screen.assign(ring, ring + 2 * part.count + 1);
            if (bird.ProjectPoints(m_screen, kClipPolygon, 1) > 2)
                egl.Polygon(m_screen.data(), static_cast<int32_t>(m_screen.size()), 1.0f);
            if (level >= 7) {
                for (int edge = 0; edge < 2; ++edge) {
                    m_screen.assign(ring + edge * part.count, ring + (edge + 1) * part.count);
                    if (bird.ProjectPoints(m_screen, kClipPolyline, 1) > 1)
                        egl.Polyline(m_screen.data(), static_cast<int32_t>(m_screen.size()), 1.0f);
                }
            }
        }
        egl.SelectBrush(oldBrush);
        egl.SelectPen(oldPen);
    };
    if (split == 1 && reached) {
        RouteBandInput input;
        input.points = m_flat.data();
        input.pointCount = n;
        input.parts = m_parts.data();
        input.partCount = partCount;
        input.currentPart = car.segment;
        input.lastPassedPoint = carPoint - first;
        coords.MapToScreen(car.position, input.position, 0, 0);
        if (input.position.x == 0) input.position.x = 1;   // 0 reads as "no position"
        if (input.position.y == 0) input.position.y = 1;
        BandOutlines driven, ahead;
        if (m_outlines.BuildRouteOutlineAheadFlat(input, halfWidth, viewSlot, m_frameStamp, driven))
            fillParts(driven, drivenCore, drivenCasing);
        if (m_outlines.BuildRouteOutlineAhead(input, halfWidth, viewSlot, m_frameStamp, ahead))
            fillParts(ahead, aheadCore, aheadCasing);
    } else {
        BandOutlines whole;
        if (m_outlines.GetBandOutlines(viewSlot, whole)) fillParts(whole, aheadCore, aheadCasing);
    }
    DrawRouteArrows(map, inputs, level, viewSlot, path, &car, NcConfigMap::LevelDistance(level), 1);
    return 1;
}

int MneRouteOverlay::DrawRouteArrows(CMneDrawMap& map, const MneOverlayInputs& inputs, int level, int markList,
                                     const MneRoutePath& path, const MneRouteCar* car, double arrowSize,
                                     int birdFlag) {
    if (level > 17 || markList < 0 || markList >= kMarkLists || !path.HasPoints() || !inputs.routes) return 0;
    const MneDrawRequest& r = map.Request();
    CMneCoordSystem& coords = map.Coords();
    const int32_t width = r.viewWidth, height = r.viewHeight;
    const double top = birdFlag ? 1.2 * coords.BirdView().GetSkyHeight() : 0.0;
    MarkList& list = m_marks[static_cast<size_t>(markList)];
    if (list.count == 0 || list.version != inputs.routes->version || list.arrowSize != arrowSize) {
        if (!RebuildMarks(markList, path, inputs.routes->version, arrowSize)) return 0;
    }
    MapPoint lo, hi;
    const bool bounded = ViewMapBounds(map, lo, hi);
    int32_t carPoint = -1;
    const bool carKnown = car && car->known;
    if (carKnown) {
        int32_t first = 0, last = -1;
        path.PointRange(&first, &last);
        carPoint = CarPoint(path, *car, first, last);
    }
    const int rotation = coords.GetAngle();
    int drawn = 0;
    for (int32_t i = 0; i < list.count; ++i) {
        const MneRouteMark& m = list.records[i];
        bool passed = false;
        if (carKnown) {
            // A mark before the car's point, or between it and the car.
            passed = m.nextPoint <= carPoint;
            if (!passed && m.nextPoint == carPoint + 1) {
                const MapPoint& from = path.points[static_cast<size_t>(carPoint)];
                passed = MapDistance(from, m.x, m.y) <= MapDistance(from, car->position.x, car->position.y);
            }
        }
        if (passed && r.viewMode == 5) continue;
        const MapPoint at{m.x, m.y};
        if (bounded && !InBounds(at, lo, hi)) continue;
        ScreenPoint p;
        if (!coords.MapToScreen(at, p, birdFlag, 0)) continue;
        if (p.x <= 0 || p.x >= width || p.y <= top || p.y >= height) continue;
        // Lying on the band in the bird's-eye view, upright darts otherwise.
        if (birdFlag)
            DrawRouteArrow(map, at, m.bearingDeg, passed ? 1 : 0, NcConfigMap::LevelStep(level));
        else
            DrawArrow(map, p.x, p.y, NormalizeAngle360(m.bearingDeg + rotation), passed ? 1 : 0);
        ++drawn;
    }
    return drawn > 0 ? 1 : 0;
}
