#pragma once
// The late point passes of the frame: the POIs the placement passes put in
// the POI caches (symbols, boxes and names), the flags of the current
// route's points and its guidance marks, and the two marker lists screens
// hand to the renderer (a symbol with a name under or above it).
//
// These are members of CMneDrawMap (DrawPlacedPois, DrawRouteMarkers,
// DrawMarkerList, DrawMarkerList2); InstallLabelPasses puts them and the
// placement passes (render/poi_placement.h) into the frame's pass slots.
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/coords.h"

class CMneDrawMap;

// One entry of a marker list: a symbol (section-13 index; negative: none)
// and a name at a map point.
struct MneMarkerEntry {
    int32_t symbolId = -1;
    MapPoint position;
    std::u16string name;
};

// The current route's points as the route markers draw them.
struct MneRouteMarks {
    MapPoint departure{-1, -1};        // -1, -1: none
    std::vector<MapPoint> points;      // start, waypoints, destination
    struct GuidanceMark {
        MapPoint position;
        int32_t kind = 0;
        int32_t value = 0;
    };
    std::vector<GuidanceMark> guidanceMarks;
};

// The text class the marker lists draw their names in.
inline constexpr int kMneMarkerTextClass = 27;
// The route-mark symbols (second symbol group of the style): the departure
// flag, and the flag of route point n counting down from 97 (96 for a route
// of one point).
inline constexpr int kMneDepartureMark = 18;
inline constexpr int kMneFirstRoutePointMark = 97;

// Installs the placement passes and the late point passes.
void InstallLabelPasses(CMneDrawMap& map);
