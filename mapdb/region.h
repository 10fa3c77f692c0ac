#pragma once
// A polygon turned into horizontal bands of rectangles, so that many point
// tests against one polygon are cheap (area lookups, map drawing).
#include <cstdint>
#include <memory>
#include <vector>

#include "foundation/coords.h"

struct MneRect {
    int32_t left, top, right, bottom;  // left/top inside, right/bottom outside
    bool operator==(const MneRect&) const = default;
};

inline constexpr int kMneFillEvenOdd = 1;  // alternate
inline constexpr int kMneFillWinding = 2;
// Builds over more than this many scan lines are refused (the band builder
// visits every scan line it builds; map areas are tile-local, at most 2048
// high).
inline constexpr int64_t kMneRegionMaxScanLines = 1 << 20;

class CMneRegion {
public:
    CMneRegion() = default;
    virtual ~CMneRegion() = default;

    // Replaces the owned region by the closed polygon's (the last point
    // joins the first); fill mode 1 even-odd, 2 winding. 1 when built, 0
    // when it could not be (no memory, bad arguments); then no region is
    // owned.
    int Build(const MapPoint* points, int count, int fillMode);
    // As Build, but the region holds only its part on scan lines top to
    // bottom - 1: a point test needs only the point's line, and the build
    // then costs the edges that cross those lines, not the polygon's height.
    int BuildRows(const MapPoint* points, int count, int fillMode, int32_t top, int32_t bottom);
    // 1 when the point lies in the owned region.
    int Contains(int32_t x, int32_t y) const;

    bool HasRegion() const { return m_region != nullptr; }
    // The rectangles, sorted by band then left (empty without a region).
    const std::vector<MneRect>& Rects() const;
    MneRect Extents() const;

private:
    int BuildWithin(const MapPoint* points, int count, int fillMode, int64_t top, int64_t bottom);

    struct Region {
        std::vector<MneRect> rects;
        MneRect extents{0, 0, 0, 0};
    };
    std::unique_ptr<Region> m_region;
};
