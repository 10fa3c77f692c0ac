#include "render/map_overlays.h"

#include <algorithm>
#include <cmath>

#include "platform/byte_cursor.h"
#include "render/draw_map.h"

namespace {

// The grey switch of the planning lines and the sky strip.
constexpr int kPlanningGreySwitch = 14;
constexpr int kSkyGreySwitch = 11;
// Road-attribute records: u16 y, u16 x (tile-local), u8 kind, u16 direction.
constexpr uint32_t kRoadAttributeBytes = 7;

int GreyOf(const CMneDrawMap& map, int n) { return map.Grey().on[static_cast<size_t>(n - 1)]; }

bool Valid(const MapPoint& p) { return p.x != 0 && p.y != 0; }

// The top of the view for markers: 1.5 x the horizon line in the bird's-eye
// view.
double ViewTop(CMneDrawMap& map) {
    return map.Request().birdView ? 1.5 * map.Coords().BirdView().GetSkyHeight() : 0.0;
}

bool StrictlyInside(CMneDrawMap& map, const ScreenPoint& p, double top) {
    const MneDrawRequest& r = map.Request();
    return p.x > 0 && p.x < r.viewWidth && p.y > top && p.y < r.viewHeight;
}

// The number of symbols of a direction set.
template <class Lookup>
int SetSize(Lookup lookup) {
    int n = 0;
    while (n < 360 && lookup(n, nullptr)) ++n;
    return n;
}

}  // namespace

int DirectionSymbolIndex(int angleDeg, int count) {
    if (count <= 0) return -1;
    const int a = NormalizeAngle360(angleDeg);
    return static_cast<int>(static_cast<int64_t>(a) * count / 360);
}

int SkyStripColumn(int rotationDeg, int imageWidth) {
    if (imageWidth <= 0) return 0;
    return static_cast<int>(static_cast<int64_t>(NormalizeAngle360(rotationDeg)) * imageWidth / 360);
}

ScreenPoint PushedSymbolAnchor(int angleDeg, int width, int height, int pushPx) {
    const int a = NormalizeAngle360(angleDeg);
    return {static_cast<int32_t>(std::lround(width / 2 - SinDeg(a) * pushPx)),
            static_cast<int32_t>(std::lround(CosDeg(a) * pushPx + height / 2))};
}

int WalkRoadAttributes(const uint8_t* block, uint32_t size, const std::function<void(const MneRoadAttribute&)>& visit) {
    platform::ByteReader head(block, size);
    const uint16_t count = head.U16();
    const uint32_t offset = head.U32();
    if (!head.Ok() || offset > size) return 0;
    const uint32_t whole = std::min<uint32_t>(count, (size - offset) / kRoadAttributeBytes);
    platform::ByteReader r(block + offset, whole * kRoadAttributeBytes);
    for (uint32_t i = 0; i < whole; ++i) {
        MneRoadAttribute a;
        a.y = r.I16();
        a.x = r.I16();
        a.kind = r.U8();
        a.directionDeg = r.U16();
        visit(a);
    }
    return static_cast<int>(whole);
}

int RoadAttributePush(int level) { return level <= 15 ? 40 : level == 16 ? 80 : 200; }

int BlitStyleSymbol(CMneDrawMap& map, const StyleSymbol& s, ScreenPoint point, int grey) {
    if (s.image.bits == nullptr) return 0;
    // Attributes 1, 0, 4, 5: height, width, anchor x, anchor y.
    return map.BlitSymbol(s.image, point, s.b, s.a, s.c, s.d, grey);
}

int DrawSkyStrip(CMneDrawMap& map, ScreenPoint point, int angleDeg) {
    (void)point;   // the strip always spans the view at the horizon
    const MneDrawRequest& r = map.Request();
    if (!r.birdView) return 0;
    // The panorama of request byte 8 (0 to 3), kept among the style's
    // bitmaps after its two chart bitmaps.
    const CMneBitmap* image = map.Style().GetBitmap(2 + std::clamp<int>(r.panorama, 0, 3));
    if (image == nullptr || image->Empty()) return 0;
    const int32_t W = image->Width();
    const int32_t h = image->Height();
    const int32_t top = map.Coords().BirdView().GetSkyHeight() - h;
    const int32_t d = SkyStripColumn(angleDeg, W);
    const int grey = GreyOf(map, kSkyGreySwitch);
    CEglDraw& egl = map.Egl();
    // Columns d .. W - 1 from the left edge, then columns from 0 when the
    // view is wider than what is left of the image.
    for (int32_t x = 0; x < r.viewWidth; ++x) {
        const int32_t column = x < W - d ? d + x : x - (W - d);
        if (column >= W) break;
        for (int32_t y = 0; y < h; ++y) egl.SetPixel(x, top + y, image->PixelColor(column, y), 1.0f, grey);
    }
    return 1;
}

int DrawSymbolRow(CMneDrawMap& map, ScreenPoint point, const std::vector<StyleSymbol>& row, int grey) {
    if (row.size() < 2) return 0;
    int32_t w = 0, h = 0;
    for (const StyleSymbol& s : row) w += s.b, h = std::max(h, s.a);
    int32_t x = point.x - w - 16;
    const int32_t y = point.y - h / 2;
    auto blit = [&](const StyleSymbol& s) {
        map.BlitSymbol(s.image, ScreenPoint{x, y}, s.b, s.a, 0, 0, grey);
        x += s.b;
    };
    blit(row[0]);
    for (size_t i = 2; i < row.size(); ++i) blit(row[i]);
    blit(row[1]);
    return 1;
}

// ---- Passes ---------------------------------------------------------------------------------

int MneMapOverlays::DrawRoadAttributes(CMneDrawMap& map, int level) {
    if (level <= 14 || map.Request().birdView) return 0;
    NcConfigMap& style = map.Style();
    const int n = SetSize([&](int i, StyleSymbol* s) { return style.GetMap14ThirdRunSymbol(i, s); });
    const int m = SetSize([&](int i, StyleSymbol* s) { return style.GetMap14SecondRunSymbol(i, s); });
    const int rotation = map.Coords().GetAngle();
    const int push = RoadAttributePush(level);
    int drawn = 0;
    map.ForEachTileBlock(CMneDrawMap::kRoadAttr, [&](const VisibleTile&, const uint8_t* block, uint32_t size) {
        WalkRoadAttributes(block, size, [&](const MneRoadAttribute& a0) {
            if (a0.kind > 1) return;
            const int a = NormalizeAngle360(a0.directionDeg - rotation + 360);
            ScreenPoint p;
            if (!map.Coords().LocalXYToScreen(a0.x, a0.y, p, 0, 0) || !StrictlyInside(map, p, 0.0)) return;
            StyleSymbol s;
            if (a0.kind == 0) {
                if (style.GetMap14ThirdRunSymbol(DirectionSymbolIndex(a, n), &s)) drawn += BlitStyleSymbol(map, s, p, 0);
            } else if (style.GetMap14SecondRunSymbol(DirectionSymbolIndex(a, m), &s) && s.image.bits) {
                const ScreenPoint anchor = PushedSymbolAnchor(a, s.b, s.a, push);
                drawn += map.BlitSymbol(s.image, p, s.b, s.a, anchor.x, anchor.y, 0);
            }
        });
    });
    return drawn > 0 ? 1 : 0;
}

int MneMapOverlays::DrawTargetLine(CMneDrawMap& map, const MneOverlayInputs& in, MapPoint centre, MapPoint vehicle) {
    const MneDrawRequest& r = map.Request();
    MapPoint a, b;
    if (in.simulationMarker) {
        a = centre, b = in.simulatedPosition;
    } else if (r.viewMode == 3) {
        a = in.courseStart, b = in.courseGoal;
    } else if (r.centreMode == 1) {
        a = vehicle, b = centre;
    } else {
        if (!Valid(in.courseTarget)) return 0;
        a = in.courseTarget, b = vehicle;
    }
    if (!Valid(a) || !Valid(b) || a == b) return 0;
    const MapPoint line[2] = {a, b};
    if (map.Coords().MapPointsToScreen(2, line, m_screen, kClipPolyline, r.birdView, 1) < 2) return 0;
    EglDashStyle dash;
    dash.mode = 1;
    dash.colorEven = dash.colorOdd = kTargetLineColour;
    dash.width = 2;
    dash.opacity = 1.0f;
    dash.pieces[0] = dash.pieces[1] = dash.pieces[2] = dash.pieces[3] = 5;
    return map.Egl().PolylineDashed(m_screen.data(), static_cast<int32_t>(m_screen.size()), dash) ? 1 : 0;
}

void MneMapOverlays::PlanningLine(CMneDrawMap& map, const std::vector<MapPoint>& points, int width, int smooth) {
    if (points.size() < 2) return;
    const int bird = map.Request().birdView;
    if (map.Coords().MapPointsToScreen(static_cast<int>(points.size()), points.data(), m_screen, kClipPolyline, bird,
                                       1) < 2)
        return;
    CEglDraw& egl = map.Egl();
    CEglPen pen;
    pen.Set(CEglPen::kStyleSolid, width, kPlanningLineColour, GreyOf(map, kPlanningGreySwitch));
    CEglPen* old = egl.SelectPen(&pen);
    const int oldMode = egl.SetLineMode(smooth);
    egl.Polyline(m_screen.data(), static_cast<int32_t>(m_screen.size()), 1.0f);
    egl.SetLineMode(oldMode);
    egl.SelectPen(old);
}

bool MneMapOverlays::Marker(CMneDrawMap& map, int index, const MapPoint& at) {
    if (!Valid(at)) return false;
    ScreenPoint p;
    if (!map.Coords().MapToScreen(at, p, map.Request().birdView, 0) || !StrictlyInside(map, p, ViewTop(map)))
        return false;
    StyleSymbol s;
    if (!map.Style().GetGroupSymbol(index, 1, &s)) return false;
    return BlitStyleSymbol(map, s, p, 0) != 0;
}

int MneMapOverlays::DrawSearchPoints(CMneDrawMap& map, const MneOverlayInputs& in) {
    m_points.clear();
    for (const MapPoint& p : in.searchPoints)
        if (Valid(p)) m_points.push_back(p);
    if (m_points.empty()) return 0;
    PlanningLine(map, m_points, 2, in.drawAnti);
    for (size_t i = 0; i < m_points.size(); ++i) Marker(map, static_cast<int>(i) + 2, m_points[i]);
    return 1;
}

int MneMapOverlays::DrawCoursePreview(CMneDrawMap& map, const MneOverlayInputs& in) {
    if (!Valid(in.courseGoal)) return 0;
    const MapPoint start = Valid(in.courseStart) ? in.courseStart : in.position;
    m_points.assign(1, start);
    for (const MapPoint& v : in.courseVia)
        if (Valid(v)) m_points.push_back(v);
    m_points.push_back(in.courseGoal);
    PlanningLine(map, m_points, 2, in.drawAnti);
    Marker(map, kMarkerStart, start);
    Marker(map, kMarkerGoal, in.courseGoal);
    for (size_t j = 0; j < in.courseVia.size(); ++j)
        Marker(map, static_cast<int>(j) + kFirstWaypointMarker + 2, in.courseVia[j]);
    return 1;
}

int MneMapOverlays::DrawRouteSections(CMneDrawMap& map, const MneOverlayInputs& in, MneOverlaySource* source) {
    int drawn = 0;
    if (in.routes && in.previewSlot >= -1 && in.previewSlot <= 3) {
        const MneRoutePath& path =
            in.previewSlot < 0 ? in.routes->driven : in.routes->rows[static_cast<size_t>(in.previewSlot)];
        const int32_t sections = static_cast<int32_t>(path.segments.size());
        const int32_t n = static_cast<int32_t>(path.points.size());
        for (int32_t s = std::max(in.previewFirst, 0); s <= in.previewLast && s < sections; ++s) {
            const int32_t first = std::clamp(path.segments[static_cast<size_t>(s)][0], 0, n);
            const int32_t last = std::clamp(path.segments[static_cast<size_t>(s)][1], -1, n - 1);
            if (last <= first) continue;
            m_points.assign(path.points.begin() + first, path.points.begin() + last + 1);
            PlanningLine(map, m_points, 4, in.drawAnti);
            ++drawn;
        }
    }
    if (source) source->ResetRoutePreview();
    return drawn > 0 ? 1 : 0;
}

int MneMapOverlays::DrawUserMarkers(CMneDrawMap& map, const MneOverlayInputs& in) {
    StyleSymbol s;
    if (!map.Style().GetMap14Symbol(kUserMarkerSymbol, &s)) return 0;
    const double top = ViewTop(map);
    int drawn = 0;
    for (int i = 15; i >= 0; --i) {
        const MneUserMarker& m = in.userMarkers[static_cast<size_t>(i)];
        if (m.flag != 1) continue;
        ScreenPoint p;
        if (!map.Coords().MapToScreen(m.point, p, map.Request().birdView, 0) || !StrictlyInside(map, p, top)) continue;
        drawn += BlitStyleSymbol(map, s, p, 0);
    }
    return drawn > 0 ? 1 : 0;
}

int MneMapOverlays::DrawPositionTrail(CMneDrawMap& map, const MneOverlayInputs& in) {
    if (!in.viewGpsLog || in.routeState == 4) return 0;
    CEglDraw& egl = map.Egl();
    const int bird = map.Request().birdView;
    int drawn = 0;
    for (const auto& [ring, colour] : {std::pair{&in.rawTrail, kRawTrailColour}, std::pair{&in.matchedTrail, kMatchedTrailColour}}) {
        CEglPen pen;
        pen.Set(CEglPen::kStyleSolid, 1, 0x000000, 0);
        CEglPen* old = egl.SelectPen(&pen);
        const int32_t count = std::clamp(ring->count, 0, MneTrailRing::kSize);
        for (int32_t k = 0; k < count; ++k) {
            const int32_t at = ((ring->newest - k) % MneTrailRing::kSize + MneTrailRing::kSize) % MneTrailRing::kSize;
            ScreenPoint p;
            if (!map.Coords().MapToScreen(ring->points[static_cast<size_t>(at)], p, bird, 0)) continue;
            // A box from (x - 3, y - 3) to (x + 3, y + 3), its right and
            // bottom edges outside as a GDI rectangle has them.
            egl.FillRect(p.x - 3, p.y - 3, p.x + 2, p.y + 2, colour, 1.0f, 0);
            const ScreenPoint box[5] = {{p.x - 3, p.y - 3}, {p.x + 2, p.y - 3}, {p.x + 2, p.y + 2}, {p.x - 3, p.y + 2},
                                        {p.x - 3, p.y - 3}};
            egl.Polyline(box, 5, 1.0f);
            ++drawn;
        }
        egl.SelectPen(old);
    }
    return drawn > 0 ? 1 : 0;
}

int MneMapOverlays::DrawCourseMarkers(CMneDrawMap& map, const MneOverlayInputs& in, MneOverlaySource* source) {
    int drawn = 0;
    drawn += Marker(map, kMarkerStart, in.courseStart) ? 1 : 0;
    // The destination, or the last waypoint of a course without one.
    const bool goal = Valid(in.courseGoal);
    const size_t vias = in.courseVia.size();
    if (goal) drawn += Marker(map, kMarkerGoal, in.courseGoal) ? 1 : 0;
    else if (vias > 0) drawn += Marker(map, kMarkerGoal, in.courseVia.back()) ? 1 : 0;
    for (size_t j = 0; j + (goal ? 0 : 1) < vias; ++j)
        drawn += Marker(map, static_cast<int>(j) + kFirstWaypointMarker + 2, in.courseVia[j]) ? 1 : 0;
    if (in.simulationMarker) {
        StyleSymbol s;
        ScreenPoint p;
        if (map.Style().GetGuideSymbol(kSimulationSymbol, &s) &&
            map.Coords().MapToScreen(map.Request().centre, p, map.Request().birdView, 0))
            drawn += BlitStyleSymbol(map, s, p, 0);
        if (source) source->ClearSimulationMarker();
    }
    return drawn > 0 ? 1 : 0;
}
