#pragma once
// What the overlays of a frame draw (the route rows and the route being
// driven, the course, search points, user markers, the position trail) and
// the few settings they follow. Like MneDrawInputs it comes through a seam
// once per frame: the settings-backed source reads the guidance service,
// the current course, the GPS block and the UI and global settings; tools
// and tests hand fixed values.
//
// Routes are large and change seldom, so they travel as a shared,
// immutable set with a version: reading a frame's inputs copies a pointer,
// not the points.
#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "foundation/coords.h"

// One route as the overlays draw it: its map points and its segments (the
// first and last point index of each, in order; each segment is a stretch
// drawn as one polyline, such as the shape of one link).
struct MneRoutePath {
    int32_t enabled = 0;
    int32_t routeOption = 0;   // the search kind the route was planned with (1, 2, 4, 8)
    std::vector<MapPoint> points;
    std::vector<std::array<int32_t, 2>> segments;

    bool HasPoints() const { return !points.empty() && !segments.empty(); }
    // The points from the first segment's first point to the last segment's
    // last point, clamped to the point array; false when that range is empty.
    bool PointRange(int32_t* first, int32_t* last) const;
};

// The route rows (candidate routes of one search) and the route under
// guidance, immutable once handed over.
struct MneRouteSet {
    uint32_t version = 0;                  // a new set gets a new version
    std::array<MneRoutePath, 4> rows;
    MneRoutePath driven;
};

// Where the car is on the route being driven.
struct MneRouteCar {
    int32_t known = 0;          // the car's position on the route is known
    int32_t segment = 0;        // its current segment
    int32_t pointOffset = 0;    // the last point passed, counted from the segment's first point
    MapPoint position;          // on the route; (0, 0) when none
};

struct MneUserMarker {
    int32_t flag = 0;   // 1: shown
    MapPoint point;
};

// A ring of recent positions: the newest entry at `newest`, `count` entries
// back from it (index modulo 512).
struct MneTrailRing {
    static constexpr int kSize = 512;
    std::array<MapPoint, kSize> points{};
    int32_t newest = 0;
    int32_t count = 0;
};

struct MneOverlayInputs {
    std::shared_ptr<const MneRouteSet> routes;   // null: no route state
    MneRouteCar car;
    int32_t routeState = 0;        // the guidance service's state (3 or 4 while driving a route)
    int32_t selectedRoute = 0;     // the process-wide selected-route value (-1: the route under guidance)
    int32_t selectedOption = 0;    // the process-wide selected route option
    int32_t guidanceOnRoute = 0;   // the guidance service knows the car's position on the route

    // Settings.
    int32_t drawAnti = 1;          // "DRAWANTI": smooth lines
    int32_t routeColourDay = 1;    // "eRouteColorDay" (1..5)
    int32_t routeColourNight = 1;  // "eRouteColorNight"
    int32_t mapScreenMode = 0;     // "eMapScreenMode"
    int32_t leftMapMode = 0;       // "eLeftMapMode"
    int32_t rightMapMode = 0;      // "eRightMapMode"
    int32_t viewGpsLog = 0;        // "bViewGPSLog"

    // The current course: start ((0, 0): the current position), via
    // points, destination; the target point the target line leads to.
    MapPoint courseStart;
    std::vector<MapPoint> courseVia;
    MapPoint courseGoal;
    MapPoint courseTarget;
    MapPoint position;             // the vehicle
    int32_t simulationMarker = 0;  // set: a simulated position is shown
    MapPoint simulatedPosition;

    std::vector<MapPoint> searchPoints;
    std::array<MneUserMarker, 16> userMarkers{};
    MneTrailRing rawTrail;
    MneTrailRing matchedTrail;

    // The route preview of view modes 6 and 7: a route slot (-1: the route
    // under guidance, else a row) and its first and last segment.
    int32_t previewSlot = -1;
    int32_t previewFirst = 0;
    int32_t previewLast = -1;
};

struct SearchResultRecord;
struct UIExternalPos;
// The search points of view mode 1: the positions of the search module's
// page of results, in page order, up to the first blank record (position
// 0, 0), at most `count`.
void MneSearchPagePoints(const SearchResultRecord* page, int count, std::vector<MapPoint>* out);
// The sixteen user markers from the hand-over object's external positions
// (flag 1: shown); `count` entries are taken, the rest are cleared.
void MneUserMarkersOf(const UIExternalPos* entries, int count, std::array<MneUserMarker, 16>* out);

class MneOverlaySource {
public:
    virtual ~MneOverlaySource() = default;
    virtual void Read(MneOverlayInputs* out) = 0;
    // 1 once after a newly chosen route was adopted (the drawing settings'
    // route-changed word), which is cleared by the call.
    virtual int TakeRouteChanged() = 0;
    // The route preview was drawn: clear it.
    virtual void ResetRoutePreview() = 0;
    // The simulation marker was drawn: clear it.
    virtual void ClearSimulationMarker() = 0;
};

// Reads the guidance service, the current course, the GPS block and the
// UI, global and drawing settings.
class MneSettingsOverlayInputs : public MneOverlaySource {
public:
    void Read(MneOverlayInputs* out) override;
    int TakeRouteChanged() override;
    void ResetRoutePreview() override;
    void ClearSimulationMarker() override {}

private:
    // The route set is rebuilt only when the guidance service's routes
    // changed (their tables were replaced).
    std::shared_ptr<const MneRouteSet> m_routes;
    std::array<const void*, 5> m_routeKeys{};
    std::array<int32_t, 5> m_routeCounts{};
    uint32_t m_version = 0;
};

// Fixed values for tools and tests; Set and the clearing calls may come
// from any thread.
class MneFixedOverlayInputs : public MneOverlaySource {
public:
    MneFixedOverlayInputs() = default;
    explicit MneFixedOverlayInputs(const MneOverlayInputs& inputs) : m_inputs(inputs) {}
    void Read(MneOverlayInputs* out) override;
    void Set(const MneOverlayInputs& inputs);
    void SetRouteChanged();
    int TakeRouteChanged() override;
    void ResetRoutePreview() override;
    void ClearSimulationMarker() override;

private:
    std::mutex m_mutex;
    MneOverlayInputs m_inputs;
    int32_t m_routeChanged = 0;
};
