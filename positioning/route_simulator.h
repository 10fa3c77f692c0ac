#pragma once
// The route demonstration: drives the car along the planned route at a
// chosen speed, one step per call, turning through sharp corners over a few
// steps, and skips ahead or back to the places where the driver would hear
// an announcement. Main thread only; driven by the simulator commands of
// CModuleGPS.
//
// The route is read from the guidance settings: its links in order, each a
// part of the route with its shape in the direction of travel. The skips aim
// at the guidance points and the boundaries between parts; a guidance point
// lies at the end of the link it names (the junction where the driver leaves
// that link, as the route's cumulative distances count it), so the part
// boundaries hold every guidance point.
#include <array>
#include <cstdint>
#include <vector>

#include "positioning/gps_module.h"

class CMgrMap;
class CMgrConfigModuleSVC;

class CMneSimulator : public GpsRouteSimulatorSeam {
public:
    static constexpr int kTableEntries = 100;
    static constexpr int32_t kCornerDeg = 30;
    static constexpr uint32_t kMaxStepMs = 1000;

    // One link of the route: its points are first..last of the shape (the
    // last point is the next part's first).
    struct RoutePart {
        int32_t firstPoint = 0;
        int32_t lastPoint = 0;
        uint32_t linkId = 0;
    };
    // A place of the route: a shape point and metres beyond it.
    struct TableEntry {
        int32_t pointIndex = 0;
        int32_t offsetM = 0;
    };

    // Binds the map-data manager and the guidance settings (the process-wide
    // ones when null).
    void Bind(CMgrMap* map, CMgrConfigModuleSVC* svc);
    // Forgets the route and every state (the bindings stay).
    void Reset();
    // Copies the selected route and builds the point table; false when there
    // is no route with a readable shape.
    bool LoadRoute() override;
    void SetSpeed(int kmh) { m_speedKmh = kmh; }
    // The table's entry (0..99; 100 or more is the end) and metres beyond it.
    void GotoPercent(int entry, int32_t metres);
    // Moves by the time passed since the step tick (at most a second).
    void Step();
    void SkipForward();
    void SkipBack();
    // The current place as a match record; false without a route.
    bool GetRecord(tagMAPMATCHINFO* out) override;

    // The module's commands.
    void SetSpeedKmh(int kmh) override { SetSpeed(kmh); }
    void GoToStart() override;
    void AdvanceStep() override { Step(); }
    void MoveToNextPoint() override { SkipForward(); }
    void MoveToPreviousPoint() override { SkipBack(); }
    void GoToEntry(int entry, int remainderM) override { GotoPercent(entry, remainderM); }
    void SetPaused(bool paused) override { m_paused = paused; }
    bool IsPaused() const override { return m_paused; }
    void SetStepTick(uint32_t tickMs) override { m_stepTick = tickMs; }
    void RestartStepClock() override;

    // For tools and tests.
    int32_t RouteLengthM() const { return m_lengthM; }
    // Metres from the route start to the current place.
    int32_t TravelledM() const;
    bool AtEnd() const { return m_end; }
    bool IsTurning() const { return m_turn.active; }
    const std::array<TableEntry, kTableEntries>& Table() const { return m_table; }

private:
    struct Turn {
        bool active = false;
        int32_t steps = 0;
        int32_t step = 0;
        int32_t direction = 0;  // +1 clockwise, -1 counter-clockwise
        int32_t angle = 0;      // degrees
    };

    int32_t SegmentLength(int32_t segment) const;
    int32_t SegmentBearing(int32_t segment) const;
    int32_t LastSegment() const { return static_cast<int32_t>(m_points.size()) - 2; }
    int PartOf(int32_t segment) const;
    // Puts the car metres from the route start (clamped to the route).
    void SetPlace(int32_t metres);
    // Metres from the route start of every place a skip aims at, ascending.
    std::vector<int32_t> Targets() const;

    CMgrMap* m_map = nullptr;
    CMgrConfigModuleSVC* m_svc = nullptr;
    uint32_t m_stepTick = 0;
    bool m_paused = false;
    std::vector<RoutePart> m_parts;
    std::vector<MapPoint> m_points;
    std::vector<int32_t> m_pointM;  // metres from the route start to each point
    std::array<TableEntry, kTableEntries> m_table{};
    int32_t m_lengthM = 0;
    int32_t m_segment = 0;
    int m_part = 0;
    int32_t m_travelledM = 0;  // on the current segment
    int m_speedKmh = 0;
    double m_fractionM = 0.0;
    bool m_end = false;
    Turn m_turn;
};
