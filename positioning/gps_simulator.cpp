#include "positioning/gps_simulator.h"

#include <algorithm>
#include <cmath>

#include "foundation/debug_trace.h"
#include "mapdb/mgr_map.h"
#include "settings/module_svc.h"

namespace {
constexpr int32_t kSlowKmh = 6;
constexpr int32_t kPredictMinKmh = 9;
constexpr int32_t kShortLinkM = 200;
constexpr int32_t kStallHdopX10 = 100;
}  // namespace

void CMneGPSSimulator::Bind(CMgrMap* map, CMgrConfigModuleSVC* svc) {
    m_map = map ? map : CMgrMap::Instance();
    m_svc = svc ? svc : CMgrConfigModuleSVC::Instance();
}

void CMneGPSSimulator::Reset() {
    CMgrMap* map = m_map;
    CMgrConfigModuleSVC* svc = m_svc;
    *this = CMneGPSSimulator();
    m_map = map;
    m_svc = svc;
}

bool CMneGPSSimulator::Moved(const _tagGpsParsedData& input) const {
    return input.x != m_baseInput.x || input.y != m_baseInput.y;
}

int32_t CMneGPSSimulator::StructureOf(uint32_t linkId, MneLinkGuideRecord* record) {
    MneLinkGuideRecord r{};
    if (!linkId || !m_map || !m_map->GetLinkRecord(linkId, &r)) return -1;
    if (record) *record = r;
    return MneLinkStructureKind(r);
}

int CMneGPSSimulator::LinksAhead(uint32_t linkId) {
    m_ahead.fill(0);
    m_aheadCount = 0;
    // On a route that holds the link: the route's links from there.
    if (m_svc && m_svc->IsGuiding()) {
        MgrLock hold(*m_svc->GetLock());
        const GuideRoute& route = m_svc->SelectedRoute();
        const int32_t* ids = route.LinkIds();
        for (int32_t i = 0; ids && i < route.linkCount; ++i) {
            if (static_cast<uint32_t>(ids[i]) != linkId) continue;
            for (int32_t k = i; k < route.linkCount && m_aheadCount < kLinksAhead; ++k)
                m_ahead[static_cast<size_t>(m_aheadCount++)] = static_cast<uint32_t>(ids[k]);
            return m_aheadCount;
        }
    }
    // Otherwise the link and its single successors.
    m_ahead[0] = linkId;
    m_aheadCount = 1;
    CMnePathMapFile* paths = m_map ? m_map->Paths() : nullptr;
    std::vector<MnePathEntry> entries;
    while (paths && m_aheadCount < kLinksAhead &&
           paths->GetLinkPathCopy(m_ahead[static_cast<size_t>(m_aheadCount - 1)], entries) && entries.size() == 1)
        m_ahead[static_cast<size_t>(m_aheadCount++)] = entries[0].linkId;
    return m_aheadCount;
}

bool CMneGPSSimulator::Along(uint32_t linkId, int32_t segment, MapPoint from, double metres, MapPoint* at,
                             int32_t* outSegment, int32_t* bearing, double* rest) {
    CMneRoadLineMapFile* lines = m_map ? m_map->RoadLines() : nullptr;
    if (!lines || !lines->GetLinkShapeCopy(linkId, 1, m_shape) || m_shape.size() < 2) {
        *rest = metres;
        return false;
    }
    const int32_t last = static_cast<int32_t>(m_shape.size()) - 2;
    int32_t s = std::clamp(segment, 0, last);
    MapPoint p = from;
    while (true) {
        const MapPoint& b = m_shape[static_cast<size_t>(s + 1)];
        const double len = GetApproxDistance(p, b);
        *bearing = CMneAngle::Bearing(m_shape[static_cast<size_t>(s)], b);
        *outSegment = s;
        if (metres <= len) {
            const double t = len > 0 ? metres / len : 0.0;
            *at = {static_cast<int32_t>(std::lround(p.x + (b.x - p.x) * t)),
                   static_cast<int32_t>(std::lround(p.y + (b.y - p.y) * t))};
            *rest = 0;
            return true;
        }
        metres -= len;
        p = b;
        if (s == last) {
            *at = p;
            *rest = metres;
            return false;
        }
        ++s;
    }
}

int CMneGPSSimulator::Update(const _tagGpsParsedData& input, const tagMAPMATCHINFO& record, uint32_t tick) {
    // 1. The mean fix interval.
    if (m_lastTick) {
        const uint32_t diff = tick - m_lastTick;
        m_meanIntervalMs = (diff > 150 && diff < 3500) ? static_cast<int32_t>((diff + static_cast<uint32_t>(m_meanIntervalMs)) / 2) : 1000;
    }
    m_meanIntervalMs = std::max(m_meanIntervalMs, 1);
    m_lastTick = tick;

    // 2. Nothing to follow without a link.
    if (record.linkId == 0) {
        m_accepted = false;
        m_interrupted = true;
        return 0;
    }
    // 3.
    if ((!m_accepted || m_interrupted) && m_mode == kModeIdle) {
        m_hasBase = false;
        m_baseRecord = tagMAPMATCHINFO{};
        m_baseInput = _tagGpsParsedData{};
    }
    const bool wasInterrupted = m_interrupted || !m_hasBase;
    m_accepted = false;
    std::rotate(m_speeds.rbegin(), m_speeds.rbegin() + 1, m_speeds.rend());
    m_speeds[0] = input.speedKmh;
    m_speedCount = std::min(m_speedCount + 1, 10);
    const double v = input.speedKmh * 1000.0 / 3600.0;

    // 4. Only when slow, moving or already watching.
    const double movedM = m_hasBase ? GetApproxDistance({record.x, record.y}, {m_baseRecord.x, m_baseRecord.y}) : 1e9;
    if (!(input.speedKmh < kSlowKmh || movedM > v / 2 || m_mode != kModeIdle)) return 0;

    // 5.
    LinksAhead(static_cast<uint32_t>(record.linkId));
    const bool moved = !m_hasBase || Moved(input);

    // 6.
    if (m_mode == kModeHolding && !moved) return 0;
    const int i = m_mode == kModePredicting ? std::min(m_predictIndex, m_aheadCount - 1) : 0;
    const bool tunnelAhead = MneIsTunnelStructure(StructureOf(m_ahead[static_cast<size_t>(i)])) ||
                             (i + 1 < m_aheadCount && MneIsTunnelStructure(StructureOf(m_ahead[static_cast<size_t>(i + 1)])));
    if (tunnelAhead) {
        m_mode = kModeTunnelAhead;
        if (moved) {
            m_predictIntervalMs = m_meanIntervalMs;
            m_predictStartTick = tick;
            if (input.speedKmh > kPredictMinKmh) m_predictSpeedKmh = input.speedKmh;
        }
    } else {
        m_mode = kModeIdle;
    }

    // 7. A moving fix (or none to watch) becomes the new base.
    if (m_mode == kModeIdle || moved || (input.hdopX10 <= kStallHdopX10 && m_stallCount > 3)) {
        m_baseSegment = record.segmentIndex;
        if (input.speedKmh >= kSlowKmh) {
            MapPoint ahead;
            int32_t seg = 0, bearing = 0;
            double rest = 0;
            Along(static_cast<uint32_t>(record.linkId), record.segmentIndex, {record.x, record.y}, v, &ahead, &seg,
                  &bearing, &rest);
            if (GetApproxDistance(ahead, {record.x, record.y}) > 1.1 * v + 1) return 0;
        }
        // The heading follows the matched link; the turn is noted.
        const int32_t turn = record.headingDeg - m_heading;
        m_turnAngle = CMneAngle::Difference(record.headingDeg, m_heading);
        m_turnDirection = ((turn + 540) % 360 - 180) >= 0 ? 1 : -1;
        (void)wasInterrupted;
        m_heading = record.headingDeg;
        m_baseInput = input;
        m_baseRecord = record;
        m_hasBase = true;
        m_predictIndex = 0;
        m_stallCount = 0;
        m_interrupted = false;
        m_accepted = true;
        return 1;
    }

    // 8. The receiver stalls.
    if (!m_hasBase) {
        m_baseRecord = record;
        m_baseInput = input;
        m_hasBase = true;
    }
    if (m_predictSpeedKmh <= 0) m_predictSpeedKmh = input.speedKmh;
    if (m_predictIntervalMs <= 0) m_predictIntervalMs = m_meanIntervalMs;
    if (!m_predictStartTick) m_predictStartTick = tick;
    m_mode = kModePredicting;
    DebugTrace(3, "SIMUL_TUNNEL PRED FALSE\n");
    m_stallCount = input.hdopX10 <= kStallHdopX10 ? m_stallCount + 1 : 0;
    return 0;
}

int CMneGPSSimulator::Predict(uint32_t now, tagMAPMATCHINFO* out) {
    if (m_mode != kModePredicting || !m_hasBase || !out || m_aheadCount == 0) return 0;
    const double speedMs = m_predictSpeedKmh / 3.6;
    double rest = static_cast<double>(now - m_predictStartTick) * speedMs / std::max(m_predictIntervalMs, 1);

    MapPoint at{m_baseRecord.x, m_baseRecord.y};
    int32_t seg = m_baseSegment, bearing = m_baseRecord.headingDeg;
    int index = 0;
    bool placed = Along(m_ahead[0], m_baseSegment, at, rest, &at, &seg, &bearing, &rest);
    for (int k = 1; !placed && k < m_aheadCount; ++k) {
        const uint32_t id = m_ahead[static_cast<size_t>(k)];
        if (!id) break;
        MneLinkGuideRecord r{};
        const bool tunnel = MneIsTunnelStructure(StructureOf(id, &r));
        const bool shortBefore = k + 1 < m_aheadCount && r.length <= static_cast<uint32_t>(kShortLinkM) &&
                                 MneIsTunnelStructure(StructureOf(m_ahead[static_cast<size_t>(k + 1)]));
        CMneRoadLineMapFile* lines = m_map->RoadLines();
        if (!lines || !lines->GetLinkShapeCopy(id, 1, m_shape) || m_shape.size() < 2) break;
        index = k;
        if (!tunnel && !shortBefore) {
            // The first link after the tunnel: hold at its start.
            at = m_shape[0];
            seg = 0;
            bearing = CMneAngle::Bearing(m_shape[0], m_shape[1]);
            m_mode = kModeHolding;
            placed = true;
            break;
        }
        placed = Along(id, 0, m_shape[0], rest, &at, &seg, &bearing, &rest);
    }
    m_predictIndex = index;
    m_predicted = at;
    m_predictedHeading = bearing;

    const uint32_t link = m_ahead[static_cast<size_t>(index)];
    MneLinkGuideRecord r{};
    tagMAPMATCHINFO p = m_baseRecord;
    p.x = at.x;
    p.y = at.y;
    p.headingDeg = bearing;
    p.linkId = static_cast<int32_t>(link);
    p.segmentIndex = seg;
    if (m_map->GetLinkRecord(link, &r)) {
        p.roadClass = r.roadClass;
        p.linkKind = r.linkKind;
        p.structureKind = MneLinkStructureKind(r);
        // What is left of the link from the point.
        double left = 0;
        CMneRoadLineMapFile* lines = m_map->RoadLines();
        if (lines && lines->GetLinkShapeCopy(link, 1, m_shape) && m_shape.size() >= 2) {
            const size_t s = static_cast<size_t>(std::clamp<int32_t>(seg, 0, static_cast<int32_t>(m_shape.size()) - 2));
            left = GetApproxDistance(at, m_shape[s + 1]);
            for (size_t k = s + 1; k + 1 < m_shape.size(); ++k) left += GetApproxDistance(m_shape[k], m_shape[k + 1]);
        }
        p.distanceToEndM = static_cast<int32_t>(std::min<double>(left, r.length));
    }
    *out = p;
    return 1;
}
