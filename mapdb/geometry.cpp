#include "mapdb/geometry.h"

#include <algorithm>
#include <utility>
#include <vector>

int CalcPointToSegmentDist(const MapPoint& p, const MapPoint& a, const MapPoint& b, MapPoint* foot, float* t) {
    const int64_t dx = static_cast<int64_t>(b.x) - a.x;
    const int64_t dy = static_cast<int64_t>(b.y) - a.y;
    const int64_t dot = dx * (static_cast<int64_t>(p.x) - a.x) + dy * (static_cast<int64_t>(p.y) - a.y);
    const int64_t len2 = dx * dx + dy * dy;
    MapPoint f;
    float param;
    if (dot > 0 && dot < len2) {
        param = static_cast<float>(dot) / static_cast<float>(len2);
        f.x = static_cast<int32_t>(a.x + param * static_cast<float>(dx) + 0.5f);
        f.y = static_cast<int32_t>(a.y + param * static_cast<float>(dy) + 0.5f);
    } else if (dot >= len2 && dot > 0) {
        f = b;
        param = dot == len2 ? 1.0f : 2.0f;
    } else {
        f = a;
        param = dot == 0 ? 0.0f : -1.0f;
    }
    if (foot) *foot = f;
    if (t) *t = param;
    return static_cast<int>(GetApproxDistance(p, f));
}

void CalcBoundBoxAroundPoint(const MapPoint& p, int metres, MapPoint* min, MapPoint* max) {
    const int32_t dx = static_cast<int32_t>(metres / GetLonMeterPerUnit(p.y, p.y));
    const int32_t dy = static_cast<int32_t>(metres / GetLatMeterPerUnit(p.y, p.y));
    if (min) *min = {p.x - dx, p.y - dy};
    if (max) *max = {p.x + dx, p.y + dy};
}

int Orientation(const MapPoint& a, const MapPoint& b, const MapPoint& c) {
    const int64_t cross = (static_cast<int64_t>(b.x) - a.x) * (static_cast<int64_t>(c.y) - a.y) -
                          (static_cast<int64_t>(b.y) - a.y) * (static_cast<int64_t>(c.x) - a.x);
    return cross > 0 ? 1 : cross < 0 ? -1 : 0;
}

namespace {

// q lies within the x range (and, for a vertical segment, the y range) of
// p1-p2. The x range alone calls every point of a vertical line "on" a
// vertical segment; the y range settles those.
bool WithinRange(const MapPoint& p1, const MapPoint& p2, const MapPoint& q) {
    return std::min(p1.x, p2.x) <= q.x && q.x <= std::max(p1.x, p2.x) && std::min(p1.y, p2.y) <= q.y &&
           q.y <= std::max(p1.y, p2.y);
}

}  // namespace

int SegmentsIntersect(MapPoint a, MapPoint b, MapPoint c, MapPoint d) {
    if (a.x > b.x) std::swap(a, b);
    if (c.x > d.x) std::swap(c, d);
    const int o1 = Orientation(a, b, c), o2 = Orientation(a, b, d);
    const int o3 = Orientation(c, d, a), o4 = Orientation(c, d, b);
    if (o1 * o2 < 0 && o3 * o4 < 0) return 1;
    bool touch;
    if (o1 == 0 && o2 == 0)
        touch = a.x <= d.x && c.x <= b.x && std::min(a.y, b.y) <= std::max(c.y, d.y) &&
                std::min(c.y, d.y) <= std::max(a.y, b.y);
    else if (o1 == 0) touch = WithinRange(a, b, c);
    else if (o2 == 0) touch = WithinRange(a, b, d);
    else if (o3 == 0) touch = WithinRange(c, d, a);
    else touch = o4 == 0 && WithinRange(c, d, b);
    return touch ? 0 : -1;
}

int PointInQuad(const MapPoint* points, int count, const MapPoint& p) {
    if (!points || count < 3) return 0;
    int32_t minX = points[0].x;
    for (int i = 1; i < count; ++i) minX = std::min(minX, points[i].x);
    const MapPoint rayEnd{minX - 10, p.y};
    int crossings = 0;
    for (int i = 0; i < count; ++i) {
        const MapPoint& e1 = points[i];
        const MapPoint& e2 = points[(i + 1) % count];
        const int hit = SegmentsIntersect(p, rayEnd, e1, e2);
        if (hit == 1) {
            ++crossings;
        } else if (hit == 0 && e1.y != e2.y) {
            // Counted where the edge's lower end lies on the ray: a vertex
            // passed through counts once, a turning vertex twice or never.
            const MapPoint& low = e1.y < e2.y ? e1 : e2;
            if (low.y == p.y && low.x >= rayEnd.x && low.x <= p.x) ++crossings;
        }
    }
    return crossings % 2;
}

namespace {

bool InBox(const MapPoint& p, const MapPoint& mn, const MapPoint& mx) {
    return p.x >= mn.x && p.x <= mx.x && p.y >= mn.y && p.y <= mx.y;
}

// Crossing point of the lines through the two segments; false when parallel.
bool LineCrossing(const MapPoint& a, const MapPoint& b, const MapPoint& c, const MapPoint& d, MapPoint& out) {
    const int64_t a1 = static_cast<int64_t>(b.y) - a.y, b1 = static_cast<int64_t>(a.x) - b.x;
    const int64_t c1 = a1 * a.x + b1 * a.y;
    const int64_t a2 = static_cast<int64_t>(d.y) - c.y, b2 = static_cast<int64_t>(c.x) - d.x;
    const int64_t c2 = a2 * c.x + b2 * c.y;
    const int64_t det = a1 * b2 - a2 * b1;
    if (det == 0) return false;
    // 128-bit keeps the products of map coordinates exact.
    const __int128 x = (static_cast<__int128>(b2) * c1 - static_cast<__int128>(b1) * c2) / det;
    const __int128 y = (static_cast<__int128>(a1) * c2 - static_cast<__int128>(a2) * c1) / det;
    out = {static_cast<int32_t>(x), static_cast<int32_t>(y)};
    return true;
}

}  // namespace

int CMneQuad::ClipBox(const MapPoint* quad, const MapPoint& boxMin, const MapPoint& boxMax, MapPoint* outMin,
                      MapPoint* outMax) {
    if (!quad) return 0;
    const MapPoint corners[4] = {boxMin, {boxMax.x, boxMin.y}, boxMax, {boxMin.x, boxMax.y}};
    int inside = 0;
    for (const auto& c : corners) inside += PointInQuad(quad, 4, c);
    if (inside >= 3) {
        if (outMin) *outMin = boxMin;
        if (outMax) *outMax = boxMax;
        return 1;
    }
    std::vector<MapPoint> got;
    for (const auto& c : corners)
        if (PointInQuad(quad, 4, c)) got.push_back(c);
    for (int i = 0; i < 4; ++i)
        if (InBox(quad[i], boxMin, boxMax)) got.push_back(quad[i]);
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            const MapPoint &a = corners[i], &b = corners[(i + 1) % 4];
            const MapPoint &c = quad[j], &d = quad[(j + 1) % 4];
            MapPoint x;
            if (SegmentsIntersect(a, b, c, d) >= 0 && LineCrossing(a, b, c, d, x)) got.push_back(x);
        }
    }
    if (got.empty()) return 0;
    MapPoint mn = got[0], mx = got[0];
    for (const auto& p : got) {
        mn = {std::min(mn.x, p.x), std::min(mn.y, p.y)};
        mx = {std::max(mx.x, p.x), std::max(mx.y, p.y)};
    }
    if (outMin) *outMin = mn;
    if (outMax) *outMax = mx;
    return 1;
}

int SegmentMeetsBox(const MapPoint& boxMin, const MapPoint& boxMax, const MapPoint& a, const MapPoint& b) {
    const MapPoint quad[4] = {boxMin, {boxMax.x, boxMin.y}, boxMax, {boxMin.x, boxMax.y}};
    return CMneQuad::ClipBox(quad, a, b, nullptr, nullptr);
}

int IsRectOverlap(int32_t x, int32_t y, int32_t width, int32_t height, int32_t left, int32_t top, int32_t right,
                  int32_t bottom) {
    const int64_t x2 = static_cast<int64_t>(x) + width, y2 = static_cast<int64_t>(y) + height;
    return (x2 < left || y2 < top || right < x || bottom < y) ? 0 : 1;
}
