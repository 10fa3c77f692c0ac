#pragma once
// The tunnel watch: follows the matched fixes and, when the receiver stalls
// (its position stops moving) on or just before a tunnel link, moves the car
// on along the links ahead at the last speed. Modes: 0 idle, 1 a tunnel link
// is current or next, 2 predicting, 3 holding at the first link after the
// tunnel until the fix moves again. Main thread only.
#include <array>
#include <cstdint>
#include <vector>

#include "positioning/map_match.h"

class CMgrMap;

class CMneGPSSimulator {
public:
    static constexpr int kLinksAhead = 10;
    static constexpr int kModeIdle = 0;
    static constexpr int kModeTunnelAhead = 1;
    static constexpr int kModePredicting = 2;
    static constexpr int kModeHolding = 3;

    // Binds the map-data manager and the guidance settings (the process-wide
    // ones when null).
    void Bind(CMgrMap* map, CMgrConfigModuleSVC* svc);
    void Reset();
    // After every pick-up; 1 when the fix was accepted as the new base.
    int Update(const _tagGpsParsedData& input, const tagMAPMATCHINFO& record, uint32_t tick);
    // The predicted record at tick now (mode 2); 1 with the record.
    int Predict(uint32_t now, tagMAPMATCHINFO* out);

    int GetMode() const { return m_mode; }
    bool IsAccepted() const { return m_accepted; }
    void SetInterrupted() { m_interrupted = true; }
    int32_t GetHeading() const { return m_heading; }
    int32_t GetMeanIntervalMs() const { return m_meanIntervalMs; }

private:
    bool Moved(const _tagGpsParsedData& input) const;
    int LinksAhead(uint32_t linkId);
    int32_t StructureOf(uint32_t linkId, MneLinkGuideRecord* record = nullptr);
    // The point metres along the link's shape from (segment, foot); false
    // when the link ends first (the end point and the rest are out).
    bool Along(uint32_t linkId, int32_t segment, MapPoint from, double metres, MapPoint* at, int32_t* outSegment,
               int32_t* bearing, double* rest);

    CMgrMap* m_map = nullptr;
    CMgrConfigModuleSVC* m_svc = nullptr;
    bool m_accepted = false;
    bool m_interrupted = false;
    int32_t m_meanIntervalMs = 1000;
    int32_t m_heading = 0;
    int m_mode = kModeIdle;
    tagMAPMATCHINFO m_baseRecord{};
    _tagGpsParsedData m_baseInput{};
    bool m_hasBase = false;
    std::array<uint32_t, kLinksAhead> m_ahead{};
    int m_aheadCount = 0;
    std::array<int32_t, 10> m_speeds{};
    int m_speedCount = 0;
    uint32_t m_lastTick = 0;
    int m_predictIndex = 0;
    int32_t m_baseSegment = 0;
    int32_t m_turnDirection = 0;
    int32_t m_turnAngle = 0;
    MapPoint m_predicted{};
    int32_t m_predictedHeading = 0;
    int32_t m_predictSpeedKmh = 0;
    uint32_t m_predictStartTick = 0;
    int32_t m_predictIntervalMs = 0;
    int32_t m_stallCount = 0;
    std::vector<MapPoint> m_shape;
};
