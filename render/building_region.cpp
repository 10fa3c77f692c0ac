// The found-building test through the polygon region of the map database,
// kept in its own file: the region's rectangle type and the drawing
// context's share a name.
#include <cstdint>
#include <limits>
#include <vector>

#include "mapdb/region.h"
#include "render/screen_geometry.h"

bool ScreenRingContains(const std::vector<ScreenPoint>& ring, ScreenPoint point) {
    std::vector<MapPoint> points(ring.size());
    for (size_t i = 0; i < ring.size(); ++i) points[i] = {ring[i].x, ring[i].y};
    // The point's scan line is all the test needs; no region reaches the
    // last line of the coordinate range (its bottom would lie past it).
    if (point.y == std::numeric_limits<int32_t>::max()) return false;
    CMneRegion region;
    return region.BuildRows(points.data(), static_cast<int>(points.size()), kMneFillEvenOdd, point.y, point.y + 1) &&
           region.Contains(point.x, point.y);
}
