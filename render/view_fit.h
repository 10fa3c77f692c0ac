#pragma once
// View fitting: the centre and scale that make a route, the previewed route
// sections, the search results or the course fill the view with a margin
// of 10 percent. The fitting view modes (1, 3, 4, 6, 7, 9, 10) let the frame
// choose their view here instead of centring on the request.
#include <cstdint>

#include "foundation/coords.h"
#include "render/overlay_inputs.h"

class CMneDrawMap;

// The style scale a box of boxWidth x boxHeight pixels at currentScale
// needs to fit a screen of width x height with a 10 percent margin.
double FitNeededScale(double currentScale, int32_t boxWidth, int32_t boxHeight, int32_t width, int32_t height);
// The levels a fitted view may not take: 10, 11 and 12 become 9, 14
// becomes 13.
int FitLevel(int level);

// Each fitting sets the frame's coordinate system and returns the scale
// level chosen, or -1 when there is nothing to fit (the view unchanged).
// centre: a caller's centre ((0, 0): none, and the middle of the fitted box
// is written there); scale: the caller's style scale, or -1 to choose one.
int FitView(CMneDrawMap& map, const MneOverlayInputs& inputs, int mode, MapPoint* centre, int scale);
int FitRoute(CMneDrawMap& map, const MneOverlayInputs& inputs, MapPoint* centre, int scale);
int FitRouteSections(CMneDrawMap& map, const MneOverlayInputs& inputs, MapPoint* centre, int scale);
int FitSearchPoints(CMneDrawMap& map, const MneOverlayInputs& inputs, MapPoint* centre, int scale);
int FitCourse(CMneDrawMap& map, const MneOverlayInputs& inputs, MapPoint* centre, int scale);
