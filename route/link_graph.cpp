#include "route/link_graph.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "foundation/debug_trace.h"
#include "route/search_queue.h"

NcRoadOptions NcMakeRoadOptions(bool set, const uint8_t bytes[7]) {
    NcRoadOptions o;
    o.set = set;
    if (!set) return o;
    std::copy(bytes, bytes + 7, o.bytes);
    for (int k : {2, 5, 6}) o.bytes[k] = std::min<uint8_t>(o.bytes[k], 5);
    return o;
}

int32_t NcTurnCost(const NcRouteConfig& config, int level, int code, int direction, const NcRoadOptions& options) {
    static constexpr int32_t kUTurnPenalty[6] = {18000, 7200, 3600, 1800, 600, 30};
    const int cls = ClassifyLinkCode(code);
    double cost = cls == 6 ? 60000 : int64_t{config.turnCostS[std::clamp(level, 0, kNcRoadLevels - 1)][cls]} * 100;
    if (cls != 6 && options.set) {
        cost *= config.uTurnFactor[std::min<int>(options.bytes[5], kNcOptionLevels - 1)][cls];
        cost *= config.leftTurnFactor[std::min<int>(options.bytes[6], kNcOptionLevels - 1)][cls];
    }
    if (direction == 2 || code == kNcUTurnCodeLeft || code == kNcUTurnCodeRight)
        cost += options.set ? kUTurnPenalty[std::min<int>(options.bytes[5], 5)] : 3000;
    return static_cast<int32_t>(std::clamp<double>(cost, 0, kNcCostMax));
}

namespace {

NcCostLink CostLinkFrom(const NcLinkSummary& s) {
    NcCostLink l;
    l.lengthM = s.lengthM;
    l.y = s.start.y;
    l.roadClass = s.roadClass;
    l.kind = s.kind;
    l.linkType = s.linkType;
    l.lanes = s.lanes;
    l.lanesBothDirections = s.lanesBothDirections != 0;
    l.speedLimitKmh = s.speedLimitKmh;
    return l;
}

int32_t ClampMetres(int64_t m) { return static_cast<int32_t>(std::min<int64_t>(m, INT32_MAX)); }

// Distance in metres of p from the straight line through a and b; along
// the other axis from their mean when a and b lie within 1000 units of each
// other on one axis.
int64_t LineDistanceM(MapPoint p, MapPoint a, MapPoint b) {
    if (std::abs(int64_t{a.x} - b.x) < 1000) return NcDistanceM(p, {static_cast<int32_t>((int64_t{a.x} + b.x) / 2), p.y});
    if (std::abs(int64_t{a.y} - b.y) < 1000) return NcDistanceM(p, {p.x, static_cast<int32_t>((int64_t{a.y} + b.y) / 2)});
    const double ab = static_cast<double>(NcDistanceM(a, b));
    const double pa = static_cast<double>(NcDistanceM(p, a)), pb = static_cast<double>(NcDistanceM(p, b));
    // Heron: twice the triangle's area over its base.
    const double s = (ab + pa + pb) / 2;
    const double area2 = s * (s - ab) * (s - pa) * (s - pb);
    return ab > 0 && area2 > 0 ? static_cast<int64_t>(2 * std::sqrt(area2) / ab) : static_cast<int64_t>(pa);
}

}  // namespace

NcCostLink NcCostLinkOf(NcDALManager& road) { return CostLinkFrom(road.GetSummary(0)); }

namespace {

// Metres per map unit in x by latitude, in steps of 1/64 degree (0 to 90).
struct LatitudeScale {
    static constexpr int kStepsPerDegree = 64;
    float x[90 * kStepsPerDegree + 1];
    LatitudeScale() {
        const double metresY = 110574.0 / kMapUnitsPerDegree;
        for (int i = 0; i <= 90 * kStepsPerDegree; ++i)
            x[i] = static_cast<float>(metresY * 1.00674 * std::cos((i + 0.5) / kStepsPerDegree * M_PI / 180.0));
    }
};
const LatitudeScale kLatitudeScale;

}  // namespace

int64_t NcDistanceM(MapPoint a, MapPoint b) {
    constexpr double metresY = 110574.0 / kMapUnitsPerDegree;
    const int64_t midY = (int64_t{a.y} + b.y) / 2;
    const int64_t step = std::clamp<int64_t>(std::abs(midY) / (kMapUnitsPerDegree / LatitudeScale::kStepsPerDegree), 0,
                                             90 * LatitudeScale::kStepsPerDegree);
    const double dx = (static_cast<double>(a.x) - b.x) * kLatitudeScale.x[step];
    const double dy = (static_cast<double>(a.y) - b.y) * metresY;
    return static_cast<int64_t>(std::sqrt(dx * dx + dy * dy));
}

int32_t NcEstimate(int64_t distanceM) { return NcClampCost(distanceM * 100 * 3600 / 1000 / 55); }

int32_t NcRemainingEstimate(int64_t b, int64_t d, int c, int roadClass, int option) {
    const bool wide = option == 4;
    int64_t factor = 1;
    if (roadClass != 0) {
        const double left = (100.0 - c) / 100.0;
        if (d > 100000 && c >= (wide ? 20 : 30) && b >= d * (wide ? 1.15 : 1.3) * left + (wide ? 10000 : 20000)) {
            factor = 2;
        } else if (d > 50000 && c >= 50 && b >= left * d * (wide ? 1.5 : 1.8) + (wide ? 10000 : 15000)) {
            factor = 2;
        }
    }
    return NcClampCost(b * factor * 100 * 3600 / 1000 / (wide ? 39 : 55));
}

int NcTrafficPercent(int state) {
    switch (state) {
    case 1: return 100;
    case 2: return 50;
    case 3: return 25;
    default: return 0;
    }
}

NcGraph::NcGraph(NcDALManager& road, const NcRouteConfig& config, const NcCostRules& rules)
    : m_road(road), m_config(config), m_rules(rules) {}

int NcGraph::SetMarkOf(uint32_t linkId) const {
    if (m_setMarks == nullptr || m_setMarks->empty()) return 0;
    const auto it = std::lower_bound(m_setMarks->begin(), m_setMarks->end(), std::make_pair(linkId, 0));
    return it != m_setMarks->end() && it->first == linkId ? it->second : 0;
}

bool NcGraph::ReadLink(uint32_t linkId, bool start) {
    m_seenMark = SetMarkOf(linkId);
    if ((!start && m_seenMark == kNcSetMarkAvoid) || m_road.LoadLink(0, linkId) != 1 || m_road.View(0).IsClosed())
        return false;
    m_road.GetSummary(0, &m_seenSummary);
    const NcLinkSummary& s = m_seenSummary;
    m_seen.start = s.start;
    m_seen.end = s.end;
    m_seen.roadClass = s.roadClass;
    m_seen.networkLevel = s.networkLevel;
    return true;
}

uint8_t NcEnterState(int ownState, int roadClass, int kind, uint8_t carried) {
    if (ownState != 0 && ownState != 255) return static_cast<uint8_t>((ownState & 7) + kNcStateCarries);
    if (kind == 3 || kind == 4) return 1;
    return roadClass < 8 || (carried & 7) > 2 ? carried : 0;
}

uint8_t NcLeaveState(uint8_t state, uint32_t lengthM) {
    if (lengthM <= 99) return state;
    return state >= 8 ? static_cast<uint8_t>(state - 8) : 0;
}

uint8_t NcPassState(uint8_t state, int code) {
    switch (ClassifyLinkCode(code)) {
    case 0: return 0;
    case 2:
    case 5: return state;
    default: return state & 7;
    }
}

uint8_t NcGraph::SeenState(uint8_t carried) const {
    if (!m_congestion) return 0;
    const NcLinkSummary& s = m_seenSummary;
    return NcEnterState(s.trafficId != 0 ? m_congestion(s.trafficId) : 255, s.roadClass, s.kind, carried);
}

int32_t NcGraph::SeenCost(uint8_t state) const {
    const NcLinkSummary& s = m_seenSummary;
    NcCostLink link = CostLinkFrom(s);
    link.trafficPercent = NcTrafficPercent(state & 7);
    NcCostExtras extras;
    if (m_seenMark == kNcSetMarkDetour) extras.mark = 1;
    return NcComputeNodeCost(link, m_rules, extras).cost;
}

int NcExpansionList::Add(uint32_t linkId) {
    const auto at = std::lower_bound(m_ids.begin(), m_ids.end(), linkId);
    if ((at != m_ids.end() && *at == linkId) || m_ids.size() >= kCapacity) return 0;
    m_ids.insert(at, linkId);
    return 1;
}

bool NcExpansionList::Next(uint32_t* linkId) {
    if (m_read >= m_ids.size()) return false;
    *linkId = m_ids[m_read++];
    return true;
}

int NcGraph::GetLinkInfo(int32_t linkId, NcLinkInfo* out) {
    if (linkId < 0 || NcLinkIndex(static_cast<uint32_t>(linkId)) >= m_road.GetLinkCount()) {
        DebugTrace(1, "NcGraph::GetLinkInfo -> LinkID is out of range!!!");
        return 0;
    }
    const uint32_t id = static_cast<uint32_t>(linkId);
    if (m_road.LoadLink(0, id) != 1) return 0;
    const NcRoad& view = m_road.View(0);
    const NcLinkSummary s = m_road.GetSummary(0);
    NcLinkInfo info;
    info.linkId = id;
    const int endRun = view.GetSuccessorRun();
    info.endLinks = view.GetRunCount(endRun);
    info.endTurns = view.GetMaskBitCount(endRun);
    info.startLinks = view.GetRunCount(1 - endRun);
    info.startTurns = view.GetMaskBitCount(1 - endRun);
    info.lengthM = s.lengthM;
    info.roadClass = s.roadClass;
    info.kind = s.kind;
    info.start = s.start;
    info.end = s.end;
    *out = info;
    return 1;
}

int NcGraph::GetAreaKind(MapPoint p) const { return m_grid ? m_grid->GetAreaKind(p.x, p.y) : 3; }

bool NcGraph::SetEnds(uint32_t originLink, uint32_t targetLink) {
    if (m_road.LoadLink(0, originLink) != 1) return false;
    m_sel.originPoint = m_road.GetEndPoint(0);
    if (m_road.LoadLink(0, targetLink) != 1) return false;
    m_sel.targetPoint = m_road.GetStartPoint(0);
    m_sel.originLevels = &NcChooseThresholds(GetAreaKind(m_sel.originPoint), false, m_tuning.fullRange);
    m_sel.targetLevels = &NcChooseThresholds(GetAreaKind(m_sel.targetPoint), false, m_tuning.fullRange);
    m_sel.legM = NcDistanceM(m_sel.originPoint, m_sel.targetPoint);
    m_startEstimate = NcEstimate(m_sel.legM);
    m_sel.after = 0;
    ResetProgress();
    m_legs[0] = Leg{m_sel.originPoint, m_sel.targetPoint, m_sel.originLevels, m_sel.targetLevels, m_sel.legM, 0, 0};
    m_legCount = 1;
    m_leg = 0;
    return true;
}

bool NcGraph::SetLegs(const std::vector<LegEnds>& legs) {
    if (legs.empty() || legs.size() > m_legs.size()) return false;
    std::array<Leg, kNcGraphLegsMax> read{};
    for (size_t i = 0; i < legs.size(); ++i) {
        if (!SetEnds(legs[i].originLink, legs[i].targetLink)) return false;
        read[i] = Leg{m_sel.originPoint, m_sel.targetPoint, m_sel.originLevels, m_sel.targetLevels, m_sel.legM, 0, legs[i].after};
    }
    m_legs = read;
    m_legCount = static_cast<int>(legs.size());
    m_leg = -1;
    LoadLeg(0);
    m_startEstimate = NcClampCost(int64_t{NcEstimate(m_sel.legM)} + m_sel.after);
    ResetProgress();
    return true;
}

void NcGraph::LoadLeg(int i) {
    if (m_leg >= 0) m_legs[m_leg].farthestM = m_sel.farthestM;
    m_sel = m_legs[i];
    m_leg = i;
}

void NcGraph::ResetProgress() {
    m_bestRemaining = m_startEstimate;
    m_progress = 0;
    m_sel.farthestM = 0;
}

bool NcGraph::PruneNearStart(int64_t u, int networkLevel, int roadClass) {
    if (!m_tuning.levels) return false;
    m_sel.farthestM = std::max(m_sel.farthestM, u);
    const int64_t b = m_sel.farthestM;
    if (b < 20000) return false;
    const int64_t d = b / 10;
    if (2 * d >= u && networkLevel <= 1) return true;
    if (b >= 40000 && 3 * d >= u && networkLevel <= 2) return true;
    return b >= 60000 && 4 * d >= u && networkLevel <= 3 && roadClass > 0;
}

int NcGraph::LevelAt(MapPoint p) const {
    if (!m_tuning.levels) return 0;
    return LevelAt(p, LegDistances(p));
}

int NcGraph::LevelAt(MapPoint p, const NcLegDistances& d) const {
    if (!m_tuning.levels) return 0;
    int level = NcChooseLevel(ClampMetres(d.fromOrigin), ClampMetres(d.toTarget), *m_sel.originLevels, *m_sel.targetLevels);
    if (m_grid) level = std::min(level, m_grid->GetAreaKind(p.x, p.y));
    return level;
}

bool NcGraph::MayEnter(int networkLevel, int level, MapPoint p) const {
    if (networkLevel < level) return false;
    return !(m_tuning.option == 4 && level == 3 && LineDistanceM(p, m_sel.originPoint, m_sel.targetPoint) > 250000);
}

int NcGraph::MinAreaKind(int32_t x0, int32_t y0, int32_t x1, int32_t y1) const {
    // Samples no further apart than a cell on each axis, both edges
    // included, so every cell the box touches has one (and the lowest y
    // decides the south rule).
    int kind = 3;
    for (int32_t x = x0;; x = static_cast<int32_t>(std::min<int64_t>(int64_t{x} + kNcAreaCellWidth, x1))) {
        for (int32_t y = y0;; y = static_cast<int32_t>(std::min<int64_t>(int64_t{y} + kNcAreaCellHeight, y1))) {
            kind = std::min(kind, m_grid->GetAreaKind(x, y));
            if (y == y1) break;
        }
        if (x == x1 || kind == 0) break;
    }
    return kind;
}

bool NcGraph::RefusedUnread(uint32_t linkId, MapPoint node, int nodeLevel) const {
    if (m_road.Road() == nullptr) return false;
    if (m_road.Road()->IsKnownClosed(linkId)) return true;
    if (!m_tuning.levels) return false;
    const uint8_t reach = m_road.Road()->GetReach(NcLinkIndex(linkId));
    const int networkLevel = reach >> 6;
    const int steps = reach & 63;
    if (networkLevel >= std::min(nodeLevel, 3) || steps == 63) return false;
    // The other end lies in the box around the node; the distances of its
    // nearest point to the leg's ends bound the link's from below, less a
    // little for the latitude scale, which moves with the points' middle.
    const int64_t reachUnits = int64_t{steps} * NcDBRoad::kNcReachStep;
    const auto clampInt = [](int64_t v) {
        return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
    };
    const int32_t x0 = clampInt(node.x - reachUnits), x1 = clampInt(node.x + reachUnits);
    const int32_t y0 = clampInt(node.y - reachUnits), y1 = clampInt(node.y + reachUnits);
    const auto atLeast = [&](MapPoint q) {
        const int64_t d = NcDistanceM({std::clamp(q.x, x0, x1), std::clamp(q.y, y0, y1)}, q);
        return ClampMetres(std::max<int64_t>(0, d - d / 256 - 20));
    };
    int level = NcChooseLevel(atLeast(m_sel.originPoint), atLeast(m_sel.targetPoint), *m_sel.originLevels, *m_sel.targetLevels);
    if (networkLevel >= level) return false;
    if (m_grid) level = std::min(level, MinAreaKind(x0, y0, x1, y1));
    return networkLevel < level;
}

int32_t NcGraph::Key(int64_t cost, MapPoint p, int roadClass, bool backward) const {
    if (!m_tuning.estimate) return NcClampCost(cost);
    const int64_t b = NcDistanceM(p, backward ? m_sel.originPoint : m_sel.targetPoint);
    return NcClampCost(cost + NcRemainingEstimate(b, m_sel.legM, m_progress, roadClass, m_tuning.option) + m_sel.after);
}

int32_t NcGraph::KeyAt(int64_t cost, const NcLegDistances& d, int roadClass, bool backward) const {
    if (!m_tuning.estimate) return NcClampCost(cost);
    return NcClampCost(cost + NcRemainingEstimate(backward ? d.fromOrigin : d.toTarget, m_sel.legM, m_progress, roadClass,
                                                  m_tuning.option) + m_sel.after);
}

void NcGraph::UpdateProgress(MapPoint p, bool backward, int64_t distanceM) {
    if (distanceM < 0) distanceM = NcDistanceM(p, backward ? m_sel.originPoint : m_sel.targetPoint);
    const int32_t remaining = NcClampCost(int64_t{NcEstimate(distanceM)} + m_sel.after);
    if (remaining >= m_bestRemaining) return;
    m_bestRemaining = remaining;
    if (m_startEstimate <= 0) return;
    const int percent = static_cast<int>((int64_t{m_startEstimate} - remaining) * 100 / m_startEstimate);
    if (percent > m_progress + (backward ? 1 : 9) || percent > 99) m_progress = std::min(percent, 100);
}
