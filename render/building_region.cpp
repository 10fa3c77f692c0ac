// The found-building test through the polygon region of the map database,
// kept in its own file: the region's rectangle type and the drawing
// context's share a name.
#include <vector>

#include "mapdb/region.h"
#include "render/screen_geometry.h"

bool ScreenRingContains(const std::vector<ScreenPoint>& ring, ScreenPoint point) {
    std::vector<MapPoint> points(ring.size());
    for (size_t i = 0; i < ring.size(); ++i) points[i] = {ring[i].x, ring[i].y};
    CMneRegion region;
    return region.Build(points.data(), static_cast<int>(points.size()), 1) && region.Contains(point.x, point.y);
}
