#include "render/view_fit.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "render/draw_map.h"

namespace {

// The scale a view without a caller's scale is first set to.
constexpr int kFitStartScale = 2500;

struct MapBox {
    MapPoint lo;
    MapPoint hi;
    bool valid = false;

    void Add(const MapPoint& p) {
        if (!valid) {
            lo = hi = p;
            valid = true;
            return;
        }
        lo.x = std::min(lo.x, p.x), lo.y = std::min(lo.y, p.y);
        hi.x = std::max(hi.x, p.x), hi.y = std::max(hi.y, p.y);
    }
};

MapBox BoxOf(const std::vector<MapPoint>& points, int32_t first, int32_t last) {
    MapBox box;
    for (int32_t i = std::max(first, 0); i <= last && i < static_cast<int32_t>(points.size()); ++i)
        box.Add(points[static_cast<size_t>(i)]);
    return box;
}

MapBox RouteBox(const MneRoutePath& path) {
    int32_t first = 0, last = -1;
    if (!path.PointRange(&first, &last)) return {};
    return BoxOf(path.points, first, last);
}

ScreenPoint ViewAnchor(const MneDrawRequest& r) { return ScreenPoint{r.viewWidth / 2, r.viewHeight / 2}; }

void SetView(CMneDrawMap& map, const MapPoint& centre, int styleScale) {
    const MneDrawRequest& r = map.Request();
    CMneCoordSystem& coords = map.Coords();
    coords.SetView(ViewAnchor(r), centre, ScreenRect{0, 0, r.viewWidth, r.viewHeight}, coords.GetAngle(),
                   styleScale * kViewScalePerStyleScale, r.birdView);
}

// The scale the box needs at the coordinate system's current view.
double NeededScale(CMneDrawMap& map, const MapBox& box) {
    CMneCoordSystem& coords = map.Coords();
    const MapPoint corners[4] = {box.lo, box.hi, {box.lo.x, box.hi.y}, {box.hi.x, box.lo.y}};
    int32_t left = 0, right = 0, top = 0, bottom = 0;
    for (int i = 0; i < 4; ++i) {
        ScreenPoint p;
        coords.MapToScreen(corners[i], p, 0, 0);
        if (i == 0) left = right = p.x, top = bottom = p.y;
        left = std::min(left, p.x), right = std::max(right, p.x);
        top = std::min(top, p.y), bottom = std::max(bottom, p.y);
    }
    const MneDrawRequest& r = map.Request();
    return FitNeededScale(static_cast<double>(coords.GetScale()) / kViewScalePerStyleScale, right - left,
                          bottom - top, r.viewWidth, r.viewHeight);
}

void StartView(CMneDrawMap& map, int scale) {
    if (scale < 0) SetView(map, map.Request().centre, kFitStartScale);
}

// Sets the view on the box: the caller's centre or the box's middle, the
// caller's scale or the level the needed scale falls on.
int Apply(CMneDrawMap& map, const MapBox& box, double needed, MapPoint* centre, int scale) {
    MapPoint at{static_cast<int32_t>((static_cast<int64_t>(box.lo.x) + box.hi.x) / 2),
                static_cast<int32_t>((static_cast<int64_t>(box.lo.y) + box.hi.y) / 2)};
    if (centre && (centre->x != 0 || centre->y != 0)) at = *centre;
    else if (centre) *centre = at;
    NcConfigMap& style = map.Style();
    int level;
    int styleScale = scale;
    if (scale < 0) {
        style.SetScale(static_cast<int>(std::ceil(needed)));
        level = FitLevel(style.LevelIndex1());
        styleScale = style.ScaleOfLevel(level);
    } else {
        style.SetScale(scale);
        level = style.LevelIndex1();
    }
    SetView(map, at, styleScale);
    return level;
}

int FitBox(CMneDrawMap& map, const MapBox& box, MapPoint* centre, int scale) {
    if (!box.valid) return -1;
    StartView(map, scale);
    return Apply(map, box, NeededScale(map, box), centre, scale);
}

}  // namespace

double FitNeededScale(double currentScale, int32_t boxWidth, int32_t boxHeight, int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) return currentScale;
    return currentScale * std::max(boxHeight * 1.1 / height, boxWidth * 1.1 / width);
}

int FitLevel(int level) {
    if (level >= 10 && level <= 12) return 9;
    if (level == 14) return 13;
    return level;
}

int FitView(CMneDrawMap& map, const MneOverlayInputs& inputs, int mode, MapPoint* centre, int scale) {
    switch (mode) {
        case 1: return FitSearchPoints(map, inputs, centre, scale);
        case 3:
        case 4:
        case 10: return FitRoute(map, inputs, centre, scale);
        case 6:
        case 7: return FitRouteSections(map, inputs, centre, scale);
        case 9: return FitCourse(map, inputs, centre, scale);
        default: return 0;
    }
}

int FitRoute(CMneDrawMap& map, const MneOverlayInputs& inputs, MapPoint* centre, int scale) {
    if (!inputs.routes) return -1;
    const MneRouteSet& set = *inputs.routes;
    if (map.Request().viewMode == 3) {
        // The alternative route that needs the largest scale.
        StartView(map, scale);
        MapBox best;
        double bestScale = -1.0;
        for (const MneRoutePath& row : set.rows) {
            if (!row.enabled) continue;
            const MapBox box = RouteBox(row);
            if (!box.valid) continue;
            const double needed = NeededScale(map, box);
            if (needed > bestScale) bestScale = needed, best = box;
        }
        if (best.valid) return Apply(map, best, bestScale, centre, scale);
    }
    // The main route: the one under guidance, else the selected row, else
    // the first row that has points.
    MapBox box = RouteBox(set.driven);
    for (const MneRoutePath& row : set.rows)
        if (!box.valid && row.enabled && row.routeOption == inputs.selectedOption) box = RouteBox(row);
    for (const MneRoutePath& row : set.rows)
        if (!box.valid && row.enabled) box = RouteBox(row);
    return FitBox(map, box, centre, scale);
}

int FitRouteSections(CMneDrawMap& map, const MneOverlayInputs& inputs, MapPoint* centre, int scale) {
    if (!inputs.routes) return -1;
    const int slot = inputs.previewSlot;
    if (slot < -1 || slot > 3) return -1;
    const MneRoutePath& path = slot < 0 ? inputs.routes->driven : inputs.routes->rows[static_cast<size_t>(slot)];
    MapBox box;
    const int32_t sections = static_cast<int32_t>(path.segments.size());
    for (int32_t s = std::max(inputs.previewFirst, 0); s <= inputs.previewLast && s < sections; ++s) {
        const MapBox part = BoxOf(path.points, path.segments[static_cast<size_t>(s)][0],
                                  path.segments[static_cast<size_t>(s)][1]);
        if (part.valid) box.Add(part.lo), box.Add(part.hi);
    }
    return FitBox(map, box, centre, scale);
}

int FitSearchPoints(CMneDrawMap& map, const MneOverlayInputs& inputs, MapPoint* centre, int scale) {
    MapBox box;
    for (const MapPoint& p : inputs.searchPoints)
        if (p.x != 0 || p.y != 0) box.Add(p);
    return FitBox(map, box, centre, scale);
}

int FitCourse(CMneDrawMap& map, const MneOverlayInputs& inputs, MapPoint* centre, int scale) {
    MapBox box;
    const bool start = inputs.courseStart.x != 0 && inputs.courseStart.y != 0;
    box.Add(start ? inputs.courseStart : inputs.position);
    for (const MapPoint& p : inputs.courseVia) box.Add(p);
    if (inputs.courseGoal.x != 0 && inputs.courseGoal.y != 0) box.Add(inputs.courseGoal);
    return FitBox(map, box, centre, scale);
}
