#pragma once
// The planned route over the map. Up to four route rows (the candidate
// routes of one search, one of them selected) are drawn as anti-aliased
// lines with a casing and direction arrows along them; the route being
// driven is split at the car into the part already driven and the part
// ahead, and in the bird's-eye view drawn as a filled band of its outlines.
//
// Arrow positions are kept per mark list (lists 0 and 1: the driven route
// of view slots 0 and 1; lists 2 to 5: rows 0 to 3), each in a heap of its
// own, and rebuilt only when the route or the arrow size changed or after
// ReleaseRouteCaches let the list go. Draw thread only.
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "foundation/memory_heap.h"
#include "render/band_outline.h"
#include "render/overlay_inputs.h"
#include "render/screen_geometry.h"

class CMneDrawMap;

// One arrow mark (40 bytes): its map position, the route point before it
// (the start of the polyline segment it lies on), the index of the point
// that follows, its bearing (whole degrees counterclockwise from north,
// from the previous point to the mark) and its distance along the route
// in map units.
struct MneRouteMark {
    int32_t x = 0;
    int32_t y = 0;
    int32_t prevX = 0;
    int32_t prevY = 0;
    int32_t nextPoint = 0;
    int32_t bearingDeg = 0;
    double distance = 0.0;
    int32_t reserved[2] = {};
};
static_assert(sizeof(MneRouteMark) == 40, "mark records are 40 bytes");

// Marks of a polyline: one each time the distance walked since the last
// mark reaches the spacing, interpolated on the segment it falls on. The
// spacing is 6 x arrow size + 12 map units.
double RouteMarkSpacing(double arrowSize);
void BuildRouteMarks(const MapPoint* points, int32_t count, double spacing, std::vector<MneRouteMark>& out);

// Route line widths (casing, core) of the row types: 0 the other rows, 1
// the selected row, 2 and 3 the new route of the re-routing and comparison
// displays.
struct MneRouteLineStyle {
    int32_t casing = 0;
    int32_t core = 0;
};
MneRouteLineStyle RouteLineStyle(int type);

// The fixed colours of row 0 in the re-routing and comparison displays
// (0x00BBGGRR).
inline constexpr uint32_t kRouteFixedCore = 0xED9DCC;
inline constexpr uint32_t kRouteFixedCasing = 0xC75497;

// The small direction arrow: a five-point dart turned by the angle (whole
// degrees counterclockwise, 0 pointing up) at (x, y); white with a black
// outline, or when muted 0x80766B at half opacity with a white outline.
int DrawArrow(CMneDrawMap& map, int32_t x, int32_t y, int angleDeg, int muted);
// The dart's five corners for an angle, relative to its centre.
std::array<ScreenPoint, 5> ArrowPoints(int angleDeg);
// The route arrow drawn in map space (the bird's-eye view), so that it lies
// flat on the road and shrinks with the distance: its tip on the mark, its
// two barbs `size` map units long leaving the tip backwards at 75 degrees
// either side of the route (bearing: whole degrees counterclockwise from
// north, from the previous point to the mark), and a shallow notch between
// them. Tip, left barb, notch, right barb, tip.
std::array<MapPoint, 5> RouteArrowPoints(MapPoint tip, int bearingDeg, double size);
// Fills and outlines RouteArrowPoints converted as a polygon (white with a
// black outline, or when passed 0x80766B at half opacity with a white
// outline); the barbs are 0.85 times the route's size value for the scale
// (the half-width of the bird's-eye band), so the arrow lies on the band.
int DrawRouteArrow(CMneDrawMap& map, MapPoint mark, int bearingDeg, int passed, double routeSize);

class MneRouteOverlay {
public:
    static constexpr int kMarkLists = 6;
    static constexpr uint32_t kMarkHeapBytes = 4u << 20;
    static constexpr uint32_t kMarkHeapUnit = 1024;
    static constexpr int32_t kMarkBlock = 1024;
    // Rows are drawn after this many frames of the re-routing display.
    static constexpr int kReRouteFrames = 5;

    MneRouteOverlay();
    ~MneRouteOverlay();
    MneRouteOverlay(const MneRouteOverlay&) = delete;
    MneRouteOverlay& operator=(const MneRouteOverlay&) = delete;

    // The frame's route pass. routeFlag 1 is the look-ahead view's call.
    int DrawRoute(CMneDrawMap& map, const MneOverlayInputs& inputs, MneOverlaySource* source, int routeFlag);
    int DrawRouteRow(CMneDrawMap& map, const MneOverlayInputs& inputs, int level, int row, uint32_t core,
                     uint32_t casing, int type);
    // colours: ahead core, ahead casing, driven core, driven casing.
    int DrawRouteBand(CMneDrawMap& map, const MneOverlayInputs& inputs, int level, int viewSlot,
                      const uint32_t colours[4], int split, int casingWidth, int coreWidth);
    // car: the driven route's car (null for a row, whose marks are never
    // passed).
    int DrawRouteArrows(CMneDrawMap& map, const MneOverlayInputs& inputs, int level, int markList,
                        const MneRoutePath& path, const MneRouteCar* car, double arrowSize, int birdFlag);
    // Lets go of the caches the current display does not need.
    void ReleaseRouteCaches(const MneOverlayInputs& inputs, MneOverlaySource* source);

    // ---- For tests and tools ----
    int32_t MarkCount(int list) const;
    uint32_t MarkVersion(int list) const;
    double MarkArrowSize(int list) const;
    const MneRouteMark* Marks(int list) const;
    int ReRouteFrames() const { return m_reRouteFrames; }
    bool OutlinesHeld(int slot) const { return m_outlinesHeld[static_cast<size_t>(slot & 1)]; }

private:
    struct HeapDeleter {
        void operator()(MgrSharedBlock* block) const { DestroySharedBlock(block); }
    };
    struct MarkList {
        std::unique_ptr<MgrSharedBlock, HeapDeleter> heap;
        MneRouteMark* records = nullptr;
        int32_t count = 0;
        int32_t capacity = 0;
        uint32_t version = 0;
        double arrowSize = -1.0;
    };
    bool RebuildMarks(int list, const MneRoutePath& path, uint32_t version, double arrowSize);
    void ReleaseMarkList(int list);
    void ReleaseOutlines(int slot);

    std::array<MarkList, kMarkLists> m_marks;
    CMneBandOutlines m_outlines;
    std::array<bool, 2> m_outlinesHeld{};
    int m_reRouteFrames = 0;
    uint32_t m_frameStamp = 0;
    std::vector<ScreenPoint> m_screen;
    std::vector<ScreenPoint> m_flat;
    std::vector<MneRouteMark> m_build;
    std::vector<MapPoint> m_part;
    std::vector<BandPartRange> m_parts;
};
