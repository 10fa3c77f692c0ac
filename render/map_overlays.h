#pragma once
// The frame's overlays beside the route: road-attribute direction symbols,
// the dashed line to a target, the lines and markers of the planning views
// (search results, course preview, route sections), the course markers,
// the sixteen user markers and the trail of recent positions; with the
// small helpers they and other renderers share: the bird's-eye sky strip
// and the symbol row.
//
// Symbols come from the style: the course and search markers from the
// second group of the marker symbols (0 start, 1 destination, 2 onwards the
// numbered points), the direction sets from the two runs of guidance
// symbols, the user marker and the simulated position from the guidance
// symbols.
#include <cstdint>
#include <functional>
#include <vector>

#include "render/config_map.h"
#include "render/overlay_inputs.h"
#include "render/screen_geometry.h"

class CMneDrawMap;

// Marker symbols of the course and search views (second marker group).
inline constexpr int kMarkerStart = 0;
inline constexpr int kMarkerGoal = 1;
inline constexpr int kFirstWaypointMarker = 0;   // waypoint j shows marker j + this + 2
inline constexpr int kUserMarkerSymbol = 84;     // a guidance symbol
inline constexpr int kSimulationSymbol = 82;     // a guidance symbol
// The colour of the target line and the planning lines (0x00BBGGRR).
inline constexpr uint32_t kTargetLineColour = 0x1E9682;
inline constexpr uint32_t kPlanningLineColour = 0x0000FF;
inline constexpr uint32_t kRawTrailColour = 0xFF8080;
inline constexpr uint32_t kMatchedTrailColour = 0xFF80FF;

// The symbol of a set of `count` direction symbols for a screen angle:
// angle x count / 360 of the angle normalised to 0..359, so always within
// 0..count-1; -1 for an empty set.
int DirectionSymbolIndex(int angleDeg, int count);
// The first column of a panorama `imageWidth` wide for a view turned by
// rotationDeg (normalised to 0..359 first): rotation x width / 360.
int SkyStripColumn(int rotationDeg, int imageWidth);
// Where a kind-1 road-attribute symbol of width x height sits, pushed r
// pixels away from its anchor along the angle: its anchor becomes
// (width/2 - sin(a) r, cos(a) r + height/2).
ScreenPoint PushedSymbolAnchor(int angleDeg, int width, int height, int pushPx);
// The push of a kind-1 symbol by level: 40 up to level 15, 80 at 16, 200
// above.
int RoadAttributePush(int level);

// One road-attribute record (7 bytes: u16 tile-local y, u16 x, u8 kind,
// u16 direction in degrees) and the walk over a block of them (u16 count,
// u32 offset of the records): only the records that lie whole inside the
// block are handed over, however many the count claims. The number handed
// over.
struct MneRoadAttribute {
    int16_t y = 0;
    int16_t x = 0;
    uint8_t kind = 0;
    uint16_t directionDeg = 0;
};
int WalkRoadAttributes(const uint8_t* block, uint32_t size, const std::function<void(const MneRoadAttribute&)>& visit);

// A style symbol blitted with its anchor on the point (grey: the pass's
// grey switch); 0 when it has no image.
int BlitStyleSymbol(CMneDrawMap& map, const StyleSymbol& symbol, ScreenPoint point, int grey);
// The bird's-eye panorama at the horizon, turned with the view.
int DrawSkyStrip(CMneDrawMap& map, ScreenPoint point, int angleDeg);
// A symbol built of a left cap (row[0]), middle pieces (row[2] onwards) and
// a right cap (row[1]), blitted left to right by their top-left corners from
// (x - w - 16, y - h/2), w the summed widths and h the tallest height, so
// that the row ends 16 pixels left of the point. 0 for a row without both
// caps.
int DrawSymbolRow(CMneDrawMap& map, ScreenPoint point, const std::vector<StyleSymbol>& row, int grey = 0);

class MneMapOverlays {
public:
    int DrawRoadAttributes(CMneDrawMap& map, int level);
    // The line from the vehicle to a target (which two points depends on
    // the situation); centre is the request's centre, vehicle the GPS
    // position.
    int DrawTargetLine(CMneDrawMap& map, const MneOverlayInputs& in, MapPoint centre, MapPoint vehicle);
    int DrawSearchPoints(CMneDrawMap& map, const MneOverlayInputs& in);
    int DrawCoursePreview(CMneDrawMap& map, const MneOverlayInputs& in);
    int DrawRouteSections(CMneDrawMap& map, const MneOverlayInputs& in, MneOverlaySource* source);
    int DrawUserMarkers(CMneDrawMap& map, const MneOverlayInputs& in);
    int DrawPositionTrail(CMneDrawMap& map, const MneOverlayInputs& in);
    int DrawCourseMarkers(CMneDrawMap& map, const MneOverlayInputs& in, MneOverlaySource* source);

private:
    // A polyline of map points in the planning colour.
    void PlanningLine(CMneDrawMap& map, const std::vector<MapPoint>& points, int width, int smooth);
    // Marker symbol `index` of the second marker group at a map point when
    // it lands strictly inside the view.
    bool Marker(CMneDrawMap& map, int index, const MapPoint& at);

    std::vector<ScreenPoint> m_screen;
    std::vector<MapPoint> m_points;
};
