#pragma once
// The pick-up of one new fix on the main thread: the match input from the
// fix, map matching, the tunnel watch, the trails every fourth second and
// the latest match record of the shared GPS block. CModuleGPS::ProcessNewFix
// takes the fix from the block and hands it here.
#include <cstdint>

#include "positioning/gps_simulator.h"
#include "positioning/map_match.h"

class CGpsPickup {
public:
    // Binds the matcher and the tunnel watch; 0 when the matcher cannot bind.
    int Init(CMgrConfigModuleSVC* svc, CMgrConfigModuleGPS* gps, CMgrMap* map);
    void Reset();
    // The fix taken at tick now: 1 when the record was stored in the block,
    // 0 when its position lies outside the service area (the block keeps the
    // previous record).
    int Process(const GpsFixRecord& fix, uint32_t now, CMgrConfigModuleGPS* block);

    CMneMapMatch& Matcher() { return m_matcher; }
    CMneGPSSimulator& Tunnel() { return m_tunnel; }
    // The tick of the last tunnel prediction (0 none yet).
    uint32_t LastTunnelTick() const { return m_lastTunnelTick; }
    const _tagGpsParsedData& LastInput() const { return m_lastInput; }

private:
    CMneMapMatch m_matcher;
    CMneGPSSimulator m_tunnel;
    _tagGpsParsedData m_lastInput{};
    uint32_t m_lastTunnelTick = 0;
};
