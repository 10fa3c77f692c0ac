#include "mapdb/region.h"

#include <algorithm>
#include <new>

namespace {

struct Edge {
    int64_t x1, y1, x2, y2;  // y1 < y2
    int direction;           // +1 downwards in the given order, -1 upwards
};

// x of an edge on scan line y, rounded up: the first pixel whose left side
// lies at or right of the edge belongs to the span that starts there.
int64_t EdgeX(const Edge& e, int64_t y) {
    const int64_t num = (y - e.y1) * (e.x2 - e.x1);
    const int64_t den = e.y2 - e.y1;
    int64_t q = num / den;
    if (num % den != 0 && ((num > 0) == (den > 0))) ++q;  // ceil
    return e.x1 + q;
}

// Four points (or five closing on the first) along the axes: one rectangle.
bool AxisRectangle(const MapPoint* p, int count, MneRect& out) {
    if (count == 5) {
        if (!(p[4] == p[0])) return false;
    } else if (count != 4) {
        return false;
    }
    const bool hv = p[0].y == p[1].y && p[1].x == p[2].x && p[2].y == p[3].y && p[3].x == p[0].x;
    const bool vh = p[0].x == p[1].x && p[1].y == p[2].y && p[2].x == p[3].x && p[3].y == p[0].y;
    if (!hv && !vh) return false;
    out = {std::min(p[0].x, p[2].x), std::min(p[0].y, p[2].y), std::max(p[0].x, p[2].x), std::max(p[0].y, p[2].y)};
    return true;
}

}  // namespace

const std::vector<MneRect>& CMneRegion::Rects() const {
    static const std::vector<MneRect> kNone;
    return m_region ? m_region->rects : kNone;
}

MneRect CMneRegion::Extents() const { return m_region ? m_region->extents : MneRect{0, 0, 0, 0}; }

int CMneRegion::Build(const MapPoint* points, int count, int fillMode) {
    return BuildWithin(points, count, fillMode, INT64_MIN, INT64_MAX);
}

int CMneRegion::BuildRows(const MapPoint* points, int count, int fillMode, int32_t top, int32_t bottom) {
    return BuildWithin(points, count, fillMode, top, bottom);
}

int CMneRegion::BuildWithin(const MapPoint* points, int count, int fillMode, int64_t top, int64_t bottom) {
    m_region.reset();
    if (!points || count < 1 || (fillMode != kMneFillEvenOdd && fillMode != kMneFillWinding)) return 0;
    try {
        auto region = std::make_unique<Region>();
        MneRect rect;
        if (AxisRectangle(points, count, rect)) {
            rect.top = static_cast<int32_t>(std::max<int64_t>(rect.top, top));
            rect.bottom = static_cast<int32_t>(std::min<int64_t>(rect.bottom, bottom));
            if (rect.right > rect.left && rect.bottom > rect.top) {
                region->rects.push_back(rect);
                region->extents = rect;
            }
            m_region = std::move(region);
            return 1;
        }

        std::vector<Edge> edges;
        edges.reserve(count);
        int64_t minY = INT64_MAX, maxY = INT64_MIN;
        for (int i = 0; i < count; ++i) {
            const MapPoint& a = points[i];
            const MapPoint& b = points[(i + 1) % count];
            if (a.y == b.y) continue;  // horizontal edges bound no span
            Edge e = a.y < b.y ? Edge{a.x, a.y, b.x, b.y, 1} : Edge{b.x, b.y, a.x, a.y, -1};
            if (e.y2 <= top || e.y1 >= bottom) continue;  // crosses none of the lines built
            minY = std::min(minY, std::max(e.y1, top));
            maxY = std::max(maxY, std::min(e.y2, bottom));
            edges.push_back(e);
        }
        if (edges.empty()) {
            m_region = std::move(region);
            return 1;
        }
        if (maxY - minY > kMneRegionMaxScanLines) return 0;
        std::sort(edges.begin(), edges.end(), [](const Edge& a, const Edge& b) { return a.y1 < b.y1; });

        std::vector<const Edge*> active;
        std::vector<std::pair<int64_t, int>> crossings;
        std::vector<std::pair<int32_t, int32_t>> spans, merged, bandSpans;
        size_t next = 0;
        size_t bandStart = 0;  // first rectangle of the band being extended
        auto& rects = region->rects;
        int64_t firstEnd = INT64_MAX;   // the lowest end of an active edge: nothing leaves before it
        for (int64_t y = minY; y < maxY; ++y) {
            for (; next < edges.size() && edges[next].y1 <= y; ++next) {
                active.push_back(&edges[next]);
                firstEnd = std::min(firstEnd, edges[next].y2);
            }
            if (y >= firstEnd) {
                std::erase_if(active, [y](const Edge* e) { return e->y2 <= y; });
                firstEnd = INT64_MAX;
                for (const Edge* e : active) firstEnd = std::min(firstEnd, e->y2);
            }
            crossings.clear();
            for (const Edge* e : active) crossings.emplace_back(EdgeX(*e, y), e->direction);
            std::sort(crossings.begin(), crossings.end());
            spans.clear();
            if (fillMode == kMneFillEvenOdd) {
                for (size_t i = 0; i + 1 < crossings.size(); i += 2)
                    if (crossings[i + 1].first > crossings[i].first)
                        spans.emplace_back(static_cast<int32_t>(crossings[i].first),
                                           static_cast<int32_t>(crossings[i + 1].first));
            } else {
                int winding = 0;
                int64_t start = 0;
                for (const auto& [x, dir] : crossings) {
                    const int before = winding;
                    winding += dir;
                    if (before == 0 && winding != 0) start = x;
                    if (before != 0 && winding == 0 && x > start)
                        spans.emplace_back(static_cast<int32_t>(start), static_cast<int32_t>(x));
                }
            }
            // Touching spans of one line become one.
            merged.clear();
            for (const auto& s : spans) {
                if (!merged.empty() && s.first <= merged.back().second)
                    merged.back().second = std::max(merged.back().second, s.second);
                else
                    merged.push_back(s);
            }
            const int32_t y32 = static_cast<int32_t>(y);
            if (!merged.empty() && merged == bandSpans && bandStart < rects.size() && rects.back().bottom == y32) {
                for (size_t i = bandStart; i < rects.size(); ++i) rects[i].bottom = y32 + 1;
                continue;
            }
            bandStart = rects.size();
            bandSpans = merged;
            for (const auto& s : merged) rects.push_back({s.first, y32, s.second, y32 + 1});
        }
        if (!rects.empty()) {
            MneRect ext = rects.front();
            for (const auto& r : rects) {
                ext.left = std::min(ext.left, r.left);
                ext.top = std::min(ext.top, r.top);
                ext.right = std::max(ext.right, r.right);
                ext.bottom = std::max(ext.bottom, r.bottom);
            }
            region->extents = ext;
        }
        m_region = std::move(region);
        return 1;
    } catch (const std::bad_alloc&) {
        m_region.reset();
        return 0;
    }
}

int CMneRegion::Contains(int32_t x, int32_t y) const {
    if (!m_region || m_region->rects.empty()) return 0;
    const MneRect& e = m_region->extents;
    if (x < e.left || x >= e.right || y < e.top || y >= e.bottom) return 0;
    for (const auto& r : m_region->rects)
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return 1;
    return 0;
}
