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
#include "render/screen_geometry.h"

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
    // The label of each point (missing or empty: none), a row of route-mark
    // symbols: the left cap, the right cap, then the middle pieces.
    std::vector<std::vector<int32_t>> labels;
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

// The box kind of framed labels (widened, a thick border and a pointer
// below), and the guidance symbol the style keeps for that pointer.
inline constexpr uint8_t kMneFramedBoxKind = 13;
inline constexpr int kMneBoxPointerSymbol = 100;

struct tagMODULEDRAWPOICACHE;
struct StyleSymbol;
// The kind a placed POI is drawn as. With tight label spacing
// ("ePOIViewLevel" 1) the placement keeps a symbol-and-text POI as text only,
// so that its symbol reserves no box; it is drawn by its class's symbol
// kind again (1, 5, 9 text only; 2, 4 both; 3 symbol only), and a record
// without a text box as a symbol. Otherwise the placed kind.
uint8_t MneDrawnPlacementKind(const tagMODULEDRAWPOICACHE& record, int symbolKind, int poiViewLevel);
// Where the pointer of a framed box goes: its top-left corner 3 pixels
// below the box, 5 pixels left of the box's middle, moved by the symbol's
// offsets.
ScreenPoint MneBoxPointerCorner(const ScreenRect& box, const StyleSymbol& pointer);

// Installs the placement passes and the late point passes.
void InstallLabelPasses(CMneDrawMap& map);
