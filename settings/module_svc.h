#pragma once
// The guidance service's settings object: the candidate routes the route
// planner hands over (four slots), the route guidance follows with its
// per-link and per-point tables, the tracking block, the re-route state,
// the guidance status the drive screens show, and the saved route
// "\Guide.dat" in the route folder that lets guidance resume after a
// restart.
//
// The guidance service fills the candidate slots (SetSlotRoute) and the
// status block; a drive screen adopts a slot with SelectSlot and saves the
// route; the application shell loads it at start.
//
// Locks: the slots, the selected route, the point areas, the tracking block
// and the status block are guarded by the object's lock (GetLock()); the
// accessors that hand out references say so, and a caller that walks the
// tables holds the lock for as long as it uses them. The module state word,
// the route kind, the data-present flag, the re-route state and the
// periodic flag are single atomic words read without the lock.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <utility>

#include "foundation/coords.h"
#include "foundation/singleton.h"
#include "foundation/thread_annotations.h"
#include "settings/guide_dat.h"
#include "settings/module_state.h"

inline constexpr int kGuideSlotCount = 4;
inline constexpr int kGuideRouteArrayCount = 18;
inline constexpr size_t kGuideWorkAreaBytes = 672;
inline constexpr size_t kGuideStatusBytes = 2024;
inline constexpr size_t kGuideNameUnits = 64;

// Arrays of the route structure with a meaning outside the guidance
// service; the others are its work tables.
enum GuideRouteArray : int {
    kGuideArrayLinkId = 0,
    kGuideArrayDistanceM = 4,  // cumulative distance from the route start
    kGuideArrayTimeS = 5,      // cumulative time from the route start
};

// An owned array of zero-initialised entries.
template <class T>
class GuideArray {
public:
    GuideArray() = default;
    GuideArray(GuideArray&& other) noexcept : m_data(std::move(other.m_data)), m_count(other.m_count) {
        other.m_count = 0;
    }
    GuideArray& operator=(GuideArray&& other) noexcept {
        if (this != &other) {
            m_data = std::move(other.m_data);
            m_count = other.m_count;
            other.m_count = 0;
        }
        return *this;
    }

    // count zeroed entries (none for 0). False, and the array left empty,
    // for a negative count or when memory is short.
    bool Allocate(int32_t count) {
        Release();
        if (count < 0) return false;
        if (count == 0) return true;
        m_data.reset(new (std::nothrow) T[static_cast<size_t>(count)]());
        if (!m_data) return false;
        m_count = count;
        return true;
    }
    void Release() {
        m_data.reset();
        m_count = 0;
    }
    int32_t Count() const { return m_count; }
    bool Empty() const { return m_count == 0; }
    T* Data() { return m_data.get(); }
    const T* Data() const { return m_data.get(); }
    T& operator[](int32_t i) { return m_data[static_cast<size_t>(i)]; }
    const T& operator[](int32_t i) const { return m_data[static_cast<size_t>(i)]; }

private:
    std::unique_ptr<T[]> m_data;
    int32_t m_count = 0;
};

// An entry of the guidance point table: a place on the route where the
// driver is told something.
struct GuidePoint {
    int32_t linkIndex = 0;        // index into the route's link arrays
    int32_t routePointIndex = 0;  // the route point it leads to
    int32_t roadKind = 0;
    int32_t guideType = 0;
    uint32_t flags = 0;
    int32_t laneCount = 0;
    uint32_t laneWords[4] = {};
    int32_t nameIds[4] = {};  // road-name identifiers of the name file
};

// A stretch of the route path drawn as one polyline.
struct GuideSection {
    int32_t firstPathPoint = 0;
    int32_t lastPathPoint = 0;
};

// One route as guidance keeps it: the selected route and each candidate
// slot have this shape. Moves only; owns every table.
struct GuideRoute {
    int32_t routeWord = 0;  // saved with the route
    int32_t linkCount = 0;  // m: the length of each of the 18 arrays
    GuideArray<int32_t> arrays[kGuideRouteArrayCount];
    int32_t extraCount = 0;
    uint8_t extraBytes[16] = {};
    GuideArray<int32_t> workTable;
    uint8_t workArea[kGuideWorkAreaBytes] = {};
    GuideArray<GuidePoint> guidePoints;
    GuideArray<MapPoint> pathPoints;
    GuideArray<GuideSection> sections;

    GuideRoute() = default;
    GuideRoute(GuideRoute&&) = default;
    GuideRoute& operator=(GuideRoute&&) = default;

    // Allocates the 18 arrays with count zeroed entries and sets the link
    // count. False when memory is short; the route is then left without
    // arrays and with link count 0.
    bool AllocateArrays(int32_t count);
    // Releases every array and table and zeroes the counts and areas.
    void Release();

    const int32_t* LinkIds() const { return arrays[kGuideArrayLinkId].Data(); }
    int32_t* LinkIds() { return arrays[kGuideArrayLinkId].Data(); }
};

// The tracking block of the guidance service (64 bytes).
struct GuideTrackingState {
    int32_t guidePointIndex = -1;  // the current guidance point
    int32_t linkIndex = -1;        // the current link of the route
    int32_t reRouteCount = 0;
    uint32_t stampTickMs = 0;      // reset time, and the last re-route
    int32_t remainingDistanceM = 0;  // to the current guidance point
    int32_t behindDistanceM = 0;     // by which that point lies behind
    int32_t counters[10] = {};
};
static_assert(sizeof(GuideTrackingState) == 64);

// The guidance status the guidance service fills for the screens (2024
// bytes). The named fields are the ones read outside the service.
struct GuideStatusBlock {
    int32_t guidePointIndex = 0;
    int32_t drivenDistanceM = 0;  // cumulative, from the route start
    int32_t drivenTimeS = 0;
    int32_t currentSection = 0;
    uint8_t serviceData[kGuideStatusBytes - 16] = {};
};
static_assert(sizeof(GuideStatusBlock) == kGuideStatusBytes);

// A guidance point as the screens show it.
struct GuidePointInfo {
    int32_t guideType = 0;
    uint32_t flags = 0;
    int32_t distanceM = 0;  // from the current position
    int32_t timeS = 0;      // from now
    int32_t laneCount = 0;
    uint32_t laneWords[4] = {};  // zero when there are more than 4 lanes
    // The point's road, the next point's road, two further names; each
    // zero-terminated.
    char16_t names[4][kGuideNameUnits] = {};
};

// Result of GetSectionSpeed.
struct GuideSectionSpeed {
    int32_t speedKmh = 0;
    int32_t distanceM = 0;
    int32_t speedClass = 0;  // 1 free .. 4 jammed
};

// What guidance needs of the map database. The owner of the open map hands
// these over; an empty member falls back to its default.
struct GuideMapServices {
    // 1 with the version text of the loaded map, 0 when none is available.
    // Default: the version line of "\Map\Base.map" under the global data
    // root (0 when the file cannot be opened).
    std::function<int(std::u16string& out)> mapVersion;
    // 1 with the text of a name record, 0 when there is no record.
    // Default: none.
    std::function<int(int32_t nameId, std::u16string& out)> roadName;
    // 1 with where a link begins and ends in its direction of travel (bit
    // 27 of the id set: against the stored direction). Default: none.
    std::function<int(int32_t linkId, MapPoint& begin, MapPoint& end)> linkEnds;
};
// Replaces the services (thread-safe); an empty member restores the default.
void SetGuideMapServices(GuideMapServices services);

class CMgrConfigModuleSVC : public MgrSingletonT<CMgrConfigModuleSVC> {
public:
    static constexpr int32_t kStateGuiding = 3;
    // Re-route states.
    static constexpr int32_t kReRouteIdle = 0;
    static constexpr int32_t kReRouteRequested = 1;
    static constexpr int32_t kReRouteFailed = 4;
    // CheckRouteContinuity results.
    static constexpr int kRouteGap = -1;
    static constexpr int kSlotNotInUse = -2;
    static constexpr int kNoLinks = -3;

    CMgrConfigModuleSVC();
    ~CMgrConfigModuleSVC() override;

    int32_t GetState() const { return m_state.Get(); }
    void SetState(int32_t state) { m_state.Set(state); }
    int32_t GetRouteKind() const { return m_routeKind.load(std::memory_order_acquire); }
    int IsGuideDataPresent() const { return m_dataPresent.load(std::memory_order_acquire); }
    // Guidance runs on a route: state 3 and guidance data present.
    int IsGuiding() const { return GetState() == kStateGuiding && IsGuideDataPresent() == 1; }

    // --- candidate slots (filled by the guidance service after planning)
    // Stores a candidate route and its route points in slot 0..3 and marks
    // it used. 1; 0 for a slot or point count out of range.
    int SetSlotRoute(int slot, GuideRoute route, const GuideRoutePoint* points, int pointCount);
    int IsSlotUsed(int slot) const;
    int GetSlotsInUse() const;
    // The candidate route of a slot (null outside 0..3).
    GuideRoute* SlotRoute(int slot) NAVI_REQUIRES(m_lock);

    // Moves slot s into the selected route (see the header comment).
    // 1; 0 for a slot outside 0..3 or without route planner settings.
    int SelectSlot(int slot);
    // Releases the selected route's arrays and tables, zeroes its counts,
    // its work area and the point area. 1.
    int ClearGuideData();
    // Releases every used slot and clears its flag; slots in use = 0. 1.
    int ClearSlotGuideData();
    // Zeroes the status block. 1.
    int ClearGuideStatus();
    // Zeroes the tracking block, both indices -1, time stamp now. 1.
    int ResetTrackingState();

    // --- the route under guidance
    GuideRoute& SelectedRoute() NAVI_REQUIRES(m_lock) { return m_route; }
    int GetRoutePointCount() const;
    // A copy of route point i (0 outside 0..n-1).
    int GetRoutePoint(int index, GuideRoutePoint* out) const;
    GuideTrackingState& Tracking() NAVI_REQUIRES(m_lock) { return m_tracking; }
    GuideStatusBlock& Status() NAVI_REQUIRES(m_lock) { return m_status; }
    GuideTrackingState GetTracking() const;
    GuideStatusBlock GetStatus() const;
    uint32_t GetSelectTick() const { return m_selectTickMs.load(std::memory_order_acquire); }
    uint32_t GetConstructTick() const { return m_constructTickMs; }

    // --- the saved route; name is appended to the route folder ("\Guide.dat")
    // Replaces the file as a whole: 1 when the new file is in place; 0 when
    // the map version is not available or anything fails, and then the
    // previous file is untouched. Without guidance data the file is
    // replaced by an empty one.
    int SaveGuideData(const char16_t* name);
    // 1 when the file was read whole, belongs to the current map and file
    // version and was applied; 0 otherwise, guidance data unchanged.
    int LoadGuideData(const char16_t* name);
    // 1 when the file is gone afterwards.
    int DeleteGuideFile(const char16_t* name);
    // "1.0.0". 1.
    int GetGuideFileVersion(std::u16string* out) const;

    // --- re-route
    int32_t SetReRouteState(int32_t state);
    int32_t GetReRouteState() const { return m_reRouteState.load(std::memory_order_acquire); }
    int32_t IncrementReRouteCount();
    void ClearReRouteCount();
    void StampReRouteTime();
    // 1 when more than 59999 ms have passed since the stamp.
    int IsReRouteMinutePassed() const;
    int32_t GetPeriodicFlag() const { return m_periodicFlag.load(std::memory_order_acquire); }
    void SetPeriodicFlag(int32_t value) { m_periodicFlag.store(value, std::memory_order_release); }
    void ClearPeriodicFlag() { SetPeriodicFlag(0); }

    // --- questions about the selected route and the slots
    // -2 slot not in use, -3 no links or no link table, 1 when every link
    // ends where the next begins (or there is one link), -1 at the first gap.
    int CheckRouteContinuity(int slot) const;
    // Speed and class between guidance points from and to; 1, 0 when a
    // point or its link is outside the tables.
    int GetSectionSpeed(int fromPoint, int toPoint, GuideSectionSpeed* out) const;
    // The route's links from the current one (the tracking block's link
    // index b) up to the first link whose end lies at least distanceM ahead
    // of the position: the distance left on the current link (from the
    // latest match record) plus the cumulative distances of the links after
    // it. 1 with *count links starting at index *first of the link arrays
    // (read them under the lock); 0 without a GPS block, while not guiding
    // or when b lies outside the route.
    int GetUpcomingLinks(int32_t distanceM, int32_t* count, int32_t* first) const;
    // Updates the tracking block's distances for its current guidance
    // point from the distance driven and the GPS match status.
    void UpdateRemainingDistance();
    // 1 with guidance point i as the screens show it; 0 outside the table.
    int GetGuidePointInfo(int index, GuidePointInfo* out) const;
    // 1 with a non-empty road name; 0 and an empty text otherwise.
    int GetRoadName(int32_t nameId, std::u16string* out) const;
    int IsValidRoadName(int32_t nameId, int flag) const;

private:
    static int SpeedClass(int32_t roadKind, int32_t speedKmh);
    void ClearSelectedLocked() NAVI_REQUIRES(m_lock);

    ModuleStateWord m_state;
    std::atomic<int32_t> m_routeKind{0};

    int32_t m_slotsInUse NAVI_GUARDED_BY(m_lock) = 0;
    int32_t m_slotUsed[kGuideSlotCount] NAVI_GUARDED_BY(m_lock) = {};
    GuideRoutePoint m_slotPoints[kGuideSlotCount][kGuideRoutePointMax] NAVI_GUARDED_BY(m_lock);
    int32_t m_slotPointCount[kGuideSlotCount] NAVI_GUARDED_BY(m_lock) = {};
    GuideRoute m_slotRoutes[kGuideSlotCount] NAVI_GUARDED_BY(m_lock);

    std::atomic<int32_t> m_dataPresent{0};
    int32_t m_pointCount NAVI_GUARDED_BY(m_lock) = 0;
    GuideRoutePoint m_points[kGuideRoutePointMax] NAVI_GUARDED_BY(m_lock);
    GuideRoute m_route NAVI_GUARDED_BY(m_lock);

    GuideTrackingState m_tracking NAVI_GUARDED_BY(m_lock);
    std::atomic<int32_t> m_reRouteState{0};
    std::atomic<int32_t> m_periodicFlag{0};
    GuideStatusBlock m_status NAVI_GUARDED_BY(m_lock);

    std::atomic<uint32_t> m_selectTickMs{0};
    uint32_t m_constructTickMs = 0;
};
