#include "positioning/gps_pickup.h"

#include "positioning/gps_module.h"

int CGpsPickup::Init(CMgrConfigModuleSVC* svc, CMgrConfigModuleGPS* gps, CMgrMap* map) {
    if (!m_matcher.Init(svc, gps, map)) return 0;
    m_tunnel.Bind(map, svc);
    m_tunnel.Reset();
    return 1;
}

void CGpsPickup::Reset() {
    m_tunnel.Reset();
    m_lastInput = _tagGpsParsedData{};
    m_lastTunnelTick = 0;
}

int CGpsPickup::Process(const GpsFixRecord& fix, uint32_t now, CMgrConfigModuleGPS* block) {
    tagMAPMATCHINFO record{};
    _tagGpsParsedData input;
    if (GpsBuildMatchInput(fix, &input)) {
        tagMAPMATCHINFO matched;
        if (m_matcher.Match(input, &matched)) {
            m_lastInput = input;
            record = matched;
        }
    }
    // The tunnel watch sees the last input that was matched.
    if (m_tunnel.Update(m_lastInput, record, now)) {
        record.headingDeg = m_tunnel.GetHeading();
    } else {
        m_tunnel.SetInterrupted();
        if (m_tunnel.GetMode() == CMneGPSSimulator::kModePredicting) {
            tagMAPMATCHINFO predicted;
            if (m_tunnel.Predict(now, &predicted)) {
                record = predicted;
                record.status = 3;
            }
        } else if (m_tunnel.GetMode() == CMneGPSSimulator::kModeHolding) {
            block->GetMatchInfo(&record);
            record.status = 3;
        }
    }
    if (record.status == 3 && record.structureKind == kMneStructureTunnel) m_lastTunnelTick = now;
    if ((now / 1000) % 4 == 0) {
        block->AddHistoryPoint(m_lastInput.x, m_lastInput.y, CMgrConfigModuleGPS::kRawRing);
        if (record.status != 0) block->AddHistoryPoint(record.x, record.y, CMgrConfigModuleGPS::kMatchedRing);
    }
    if (!IsInGpsServiceArea(record.x, record.y)) return 0;
    block->SetMatchInfo(record);
    return 1;
}
