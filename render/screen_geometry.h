#pragma once
// Points and rectangles in pixels of the map image, shared by the view
// conversions, the clipping, the bird's-eye projection, the band outlines
// and the placement caches. Screen points are the rasteriser's own points,
// so converted geometry goes to the fill and line drawers as it is.
#include <cstdint>

#include "render/polygon_fill.h"

using ScreenPoint = EglPoint;

inline bool SamePoint(const ScreenPoint& a, const ScreenPoint& b) { return a.x == b.x && a.y == b.y; }

// A rectangle of the map image; which edges are inside is up to its user
// (the placement caches treat all four as inside).
struct ScreenRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    friend bool operator==(const ScreenRect&, const ScreenRect&) = default;
};
static_assert(sizeof(ScreenRect) == 16, "rectangles are four int32");
