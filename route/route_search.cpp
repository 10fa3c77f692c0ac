#include "route/route_search.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstdlib>

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
    if (direction == 2) cost += options.set ? kUTurnPenalty[std::min<int>(options.bytes[5], 5)] : 3000;
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

int32_t ClampCost(int64_t cost) { return static_cast<int32_t>(std::clamp<int64_t>(cost, 0, kNcCostMax)); }

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

int64_t NcDistanceM(MapPoint a, MapPoint b) {
    const double metresY = 110574.0 / kMapUnitsPerDegree;
    const double lat = (a.y + b.y) / 2.0 / kMapUnitsPerDegree * M_PI / 180.0;
    const double dx = (static_cast<double>(a.x) - b.x) * metresY * 1.00674 * std::cos(lat);
    const double dy = (static_cast<double>(a.y) - b.y) * metresY;
    return static_cast<int64_t>(std::sqrt(dx * dx + dy * dy));
}

int32_t NcEstimate(int64_t distanceM) { return ClampCost(distanceM * 100 * 3600 / 1000 / 55); }

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
    return ClampCost(b * factor * 100 * 3600 / 1000 / (wide ? 39 : 55));
}

int NcTrafficPercent(int state) {
    switch (state) {
    case 1: return 100;
    case 2: return 50;
    case 3: return 25;
    default: return 0;
    }
}


NcRoute::NcRoute(NcDALManager& road, const NcRouteConfig& config, const NcCostRules& rules)
    : m_road(road), m_config(config), m_rules(rules) {}

int NcRoute::Init(void* nodeMemory, void* markMemory, size_t markBytes) {
    if (!m_nodes.Init(nodeMemory) || !m_marks.Init(markMemory, markBytes)) return 0;
    m_queue.SetLinkMemory(&m_nodes, &m_marks);
    m_meetMemory.assign(NcMeetTable::kBytes, 0);
    return m_meet.Init(m_meetMemory.data(), m_meetMemory.size());
}

int NcRoute::SetMarkOf(uint32_t linkId) const {
    if (m_setMarks == nullptr || m_setMarks->empty()) return 0;
    const auto it = std::lower_bound(m_setMarks->begin(), m_setMarks->end(), std::make_pair(linkId, 0));
    return it != m_setMarks->end() && it->first == linkId ? it->second : 0;
}

int32_t NcRoute::LinkCost(uint32_t linkId, bool* ok, bool start) {
    const int mark = SetMarkOf(linkId);
    *ok = (start || mark != kNcSetMarkAvoid) && m_road.LoadLink(0, linkId) == 1 && !m_road.View(0).IsClosed();
    if (!*ok) return 0;
    const NcLinkSummary s = m_road.GetSummary(0);
    m_seen = {s.start, s.end, s.roadClass, s.networkLevel};
    NcCostLink link = CostLinkFrom(s);
    if (m_congestion && s.trafficId != 0) link.trafficPercent = NcTrafficPercent(m_congestion(s.trafficId));
    NcCostExtras extras;
    if (mark == kNcSetMarkDetour) extras.mark = 1;
    return NcComputeNodeCost(link, m_rules, extras).cost;
}

bool NcRoute::SetEnds(const std::vector<uint32_t>& origins, const std::vector<uint32_t>& goals) {
    if (origins.empty() || goals.empty()) return false;
    if (m_road.LoadLink(0, origins[0]) != 1) return false;
    m_originPoint = m_road.GetEndPoint(0);
    if (m_road.LoadLink(0, goals[0]) != 1) return false;
    m_goalPoint = m_road.GetStartPoint(0);
    auto kind = [this](MapPoint p) { return m_grid ? m_grid->GetAreaKind(p.x, p.y) : 3; };
    m_originLevels = &NcChooseThresholds(kind(m_originPoint), false, m_tuning.fullRange);
    m_goalLevels = &NcChooseThresholds(kind(m_goalPoint), false, m_tuning.fullRange);
    m_legM = NcDistanceM(m_originPoint, m_goalPoint);
    m_startEstimate = NcEstimate(m_legM);
    m_bestRemaining = m_startEstimate;
    m_progress = 0;
    return true;
}

int NcRoute::LevelAt(MapPoint p) const {
    if (!m_tuning.levels) return 0;
    int level = NcChooseLevel(ClampMetres(NcDistanceM(p, m_originPoint)), ClampMetres(NcDistanceM(p, m_goalPoint)),
                              *m_originLevels, *m_goalLevels);
    if (m_grid) level = std::min(level, m_grid->GetAreaKind(p.x, p.y));
    return level;
}

int32_t NcRoute::Key(int64_t cost, MapPoint p, int roadClass, bool backward) const {
    if (!m_tuning.estimate) return ClampCost(cost);
    const int64_t b = NcDistanceM(p, backward ? m_originPoint : m_goalPoint);
    return ClampCost(cost + NcRemainingEstimate(b, m_legM, m_progress, roadClass, m_tuning.option));
}

void NcRoute::UpdateProgress(MapPoint p, bool backward) {
    const int32_t remaining = NcEstimate(NcDistanceM(p, backward ? m_originPoint : m_goalPoint));
    if (remaining >= m_bestRemaining) return;
    m_bestRemaining = remaining;
    if (m_startEstimate <= 0) return;
    const int percent = static_cast<int>((int64_t{m_startEstimate} - remaining) * 100 / m_startEstimate);
    if (percent > m_progress + (backward ? 1 : 9) || percent > 99) m_progress = std::min(percent, 100);
}

int NcRoute::Push(uint32_t link, int64_t cost, int32_t key, int level, int32_t parent) {
    NcLink* node = m_nodes.Alloc();
    if (!node && m_queue.DropStale() > 0) node = m_nodes.Alloc();
    if (!node) return kNcSearchNoMemory;
    node->linkId = static_cast<int32_t>(link);
    node->pathCost = ClampCost(cost);
    node->cost = key;
    node->level = static_cast<uint8_t>(level);
    const int rc = m_queue.PushChecked(node, parent);
    return rc < 0 ? kNcSearchNoMemory : rc;
}

int NcRoute::Fail(int code) {
    m_queue.FreeAll();
    return code;
}

NcLink* NcRoute::Take(int limit, int* code) {
    NcLink* label = m_queue.PopMin();
    if (!label) {
        *code = kNcSearchNoRoute;
        return nullptr;
    }
    if (++m_taken > limit) {
        m_nodes.Free(label);
        *code = kNcSearchTooManyLinks;
        return nullptr;
    }
    if (m_cancel != nullptr && m_taken % kNcCancelCheckLabels == 0 && m_cancel->exchange(false)) {
        m_nodes.Free(label);
        *code = kNcSearchCancelled;
        return nullptr;
    }
    return label;
}

bool NcRoute::ForwardChain(uint32_t link) {
    // Back along the parents; a walk longer than the labels taken would be
    // a loop in the parent table.
    const size_t first = m_route.size();
    for (uint32_t at = link;;) {
        m_route.push_back(at);
        const int32_t parent = m_marks.GetParent(at);
        if (parent == -1) break;
        if (parent == kNcNoParent || static_cast<int>(m_route.size() - first) > m_taken) return false;
        at = static_cast<uint32_t>(parent);
    }
    std::reverse(m_route.begin() + static_cast<long>(first), m_route.end());
    return true;
}

int NcRoute::Search(const std::vector<uint32_t>& origins, const std::vector<uint32_t>& goals, int iterationLimit) {
    m_route.clear();
    m_cost = 0;
    m_taken = 0;
    m_backwardTaken = 0;
    m_nodes.Reset();
    m_marks.Clear();
    m_queue.Reset();
    if (!SetEnds(origins, goals)) return kNcSearchBadLink;
    return m_tuning.bidirectional ? BidirSearch(origins, goals, iterationLimit)
                                  : ForwardSearch(origins, goals, iterationLimit);
}

int NcRoute::ForwardSearch(const std::vector<uint32_t>& origins, const std::vector<uint32_t>& goals, int limit) {
    std::vector<uint32_t> sortedGoals = goals;
    std::sort(sortedGoals.begin(), sortedGoals.end());
    const auto isGoal = [&](uint32_t id) { return std::binary_search(sortedGoals.begin(), sortedGoals.end(), id); };
    for (uint32_t origin : origins) {
        bool ok = false;
        const int32_t cost = LinkCost(origin, &ok, true);
        if (!ok) return Fail(kNcSearchBadLink);
        const int rc = Push(origin, cost, Key(cost, m_seen.end, m_seen.roadClass, false), LevelAt(m_seen.end), -1);
        if (rc < 0) return Fail(rc);
    }
    std::array<NcConnection, kNcRunEntriesMax> next{};
    for (;;) {
        int code = 0;
        NcLink* label = Take(limit, &code);
        if (!label) return Fail(code);
        const uint32_t link = static_cast<uint32_t>(label->linkId);
        const int32_t cost = label->pathCost;
        m_nodes.Free(label);
        if (isGoal(link)) {
            if (!ForwardChain(link)) {
                m_route.clear();
                return Fail(kNcSearchNoMemory);
            }
            m_cost = cost;
            m_queue.FreeAll();
            return static_cast<int>(link);
        }
        if (!m_road.LoadLink(0, link)) continue;
        UpdateProgress(m_road.GetEndPoint(0), false);
        const NcConnection* c = nullptr;
        const int n = std::min(m_road.GetConnections(0, &c), kNcRunEntriesMax);
        std::copy(c, c + n, next.begin());
        for (int i = 0; i < n; ++i) {
            if (next[i].allowed != 1) continue;
            bool ok = false;
            const uint32_t to = static_cast<uint32_t>(next[i].linkId);
            const int32_t own = LinkCost(to, &ok);
            if (!ok) continue;
            const int level = LevelAt(m_seen.end);
            if (m_seen.networkLevel < level && !isGoal(to)) continue;
            if (m_tuning.option == 4 && level == 3 && LineDistanceM(m_seen.end, m_originPoint, m_goalPoint) > 250000)
                continue;
            const int64_t total =
                int64_t{cost} + own + NcTurnCost(m_config, level, next[i].code, next[i].direction, m_options);
            const int rc = Push(to, total, Key(total, m_seen.end, m_seen.roadClass, false), level,
                                static_cast<int32_t>(link));
            if (rc < 0) return Fail(rc);
        }
    }
}

int NcRoute::BidirSearch(const std::vector<uint32_t>& origins, const std::vector<uint32_t>& goals, int limit) {
    std::vector<uint32_t> sortedOrigins = origins;
    std::sort(sortedOrigins.begin(), sortedOrigins.end());
    const auto isOrigin = [&](uint32_t id) {
        return std::binary_search(sortedOrigins.begin(), sortedOrigins.end(), id);
    };
    m_meet.Clear();
    // The way on to the destination from a link of the table, the link
    // itself included; false on a loop or a broken chain.
    const auto backwardChain = [this](uint32_t from) {
        for (int32_t at = static_cast<int32_t>(from), steps = 0; at != -1; ++steps) {
            int32_t next = -1;
            if (steps > m_meet.Count() || !m_meet.Find(at, nullptr, &next)) return false;
            m_route.push_back(static_cast<uint32_t>(at));
            at = next;
        }
        return true;
    };

    // Backward from the goal links: a label's cost is that of its link and
    // of the way on from it to the destination.
    bool full = false;
    for (uint32_t goal : goals) {
        bool ok = false;
        const int32_t cost = LinkCost(goal, &ok, true);
        if (!ok) return Fail(kNcSearchBadLink);
        const int rc = Push(goal, cost, Key(cost, m_seen.start, m_seen.roadClass, true), LevelAt(m_seen.start), -1);
        if (rc < 0) return Fail(rc);
        if (rc == 1 && !m_meet.Add(static_cast<int32_t>(goal), cost, -1)) full = true;
    }
    std::array<NcConnection, kNcRunEntriesMax> into{};
    while (!full) {
        int code = 0;
        NcLink* label = Take(limit, &code);
        if (!label) {
            if (code == kNcSearchNoRoute) break;  // all the goal can be reached from is in the table
            return Fail(code);
        }
        const uint32_t link = static_cast<uint32_t>(label->linkId);
        const int32_t cost = label->pathCost;
        m_nodes.Free(label);
        if (isOrigin(link)) {
            // The backward phase found the whole way.
            m_meet.Sort();
            if (!backwardChain(link)) {
                m_route.clear();
                return Fail(kNcSearchNoMemory);
            }
            m_cost = cost;
            m_backwardTaken = m_taken;
            m_queue.FreeAll();
            return static_cast<int>(m_route.back());
        }
        if (!m_road.LoadLink(0, link)) continue;
        UpdateProgress(m_road.GetStartPoint(0), true);
        if (m_taken >= 19 && (m_progress >= (m_tuning.option == 4 ? 100 : 92) || m_bestRemaining < 2000)) break;
        const NcConnection* c = nullptr;
        const int n = std::min(m_road.GetConnectionList(0, NcDALManager::ListAt::kStartArriving, &c), kNcRunEntriesMax);
        std::copy(c, c + n, into.begin());
        for (int i = 0; i < n && !full; ++i) {
            const uint32_t from = static_cast<uint32_t>(into[i].linkId);
            bool ok = false;
            const int32_t own = LinkCost(from, &ok);
            if (!ok) continue;
            const LinkSeen seen = m_seen;
            // Whether the turn into this link is allowed is in the other
            // link's own list.
            const NcConnection* out = nullptr;
            const int m = m_road.GetConnections(0, &out);
            const NcConnection* turn = nullptr;
            for (int k = 0; k < m && !turn; ++k)
                if (static_cast<uint32_t>(out[k].linkId) == link && out[k].allowed == 1) turn = &out[k];
            if (!turn) continue;
            const int level = LevelAt(seen.start);
            if (seen.networkLevel < level && !isOrigin(from)) continue;
            const int64_t total =
                int64_t{cost} + own + NcTurnCost(m_config, level, turn->code, turn->direction, m_options);
            const int rc = Push(from, total, Key(total, seen.start, seen.roadClass, true), level,
                                static_cast<int32_t>(link));
            if (rc < 0) return Fail(rc);
            if (rc == 1 && !m_meet.Add(static_cast<int32_t>(from), ClampCost(total), static_cast<int32_t>(link)))
                full = true;
        }
    }
    m_backwardTaken = m_taken;

    // Forward from the origin links until they meet the backward labels.
    m_meet.Sort();
    m_queue.FreeAll();
    m_nodes.Reset();
    m_marks.Clear();
    m_queue.Reset();
    m_bestRemaining = m_startEstimate;
    m_progress = 0;
    struct Meeting {
        int64_t cost = INT64_MAX;
        int32_t from = -1;  // the forward label's link, -1 when the meeting is an origin link
        uint32_t to = 0;    // the link of the table met
    } met;
    int horizon = INT_MAX;
    for (uint32_t origin : origins) {
        bool ok = false;
        const int32_t cost = LinkCost(origin, &ok, true);
        if (!ok) return Fail(kNcSearchBadLink);
        int32_t back = 0;
        if (m_meet.Find(static_cast<int32_t>(origin), &back) && back < met.cost) {
            met = {back, -1, origin};
            horizon = m_taken + kNcMeetHorizon;
        }
        const int rc = Push(origin, cost, Key(cost, m_seen.end, m_seen.roadClass, false), LevelAt(m_seen.end), -1);
        if (rc < 0) return Fail(rc);
    }
    std::array<NcConnection, kNcRunEntriesMax> next{};
    while (m_taken < horizon) {
        int code = 0;
        NcLink* label = Take(limit, &code);
        if (!label) {
            if (code == kNcSearchNoRoute && met.cost != INT64_MAX) break;
            return Fail(code);
        }
        const uint32_t link = static_cast<uint32_t>(label->linkId);
        const int32_t cost = label->pathCost;
        m_nodes.Free(label);
        if (!m_road.LoadLink(0, link)) continue;
        UpdateProgress(m_road.GetEndPoint(0), false);
        const NcConnection* c = nullptr;
        const int n = std::min(m_road.GetConnections(0, &c), kNcRunEntriesMax);
        std::copy(c, c + n, next.begin());
        Meeting hit;
        for (int i = 0; i < n; ++i) {
            if (next[i].allowed != 1) continue;
            bool ok = false;
            const uint32_t to = static_cast<uint32_t>(next[i].linkId);
            const int32_t own = LinkCost(to, &ok);
            if (!ok) continue;
            const int level = LevelAt(m_seen.end);
            const int32_t turn = NcTurnCost(m_config, level, next[i].code, next[i].direction, m_options);
            int32_t back = 0;
            if (m_meet.Find(static_cast<int32_t>(to), &back)) {
                const int64_t meeting = int64_t{cost} + turn + back;
                if (meeting < hit.cost) hit = {meeting, static_cast<int32_t>(link), to};
                continue;
            }
            if (m_seen.networkLevel < level) continue;
            const int64_t total = int64_t{cost} + own + turn;
            const int rc = Push(to, total, Key(total, m_seen.end, m_seen.roadClass, false), level,
                                static_cast<int32_t>(link));
            if (rc < 0) return Fail(rc);
        }
        if (hit.cost == INT64_MAX) continue;
        if (met.cost == INT64_MAX) {
            met = hit;
            horizon = m_taken + kNcMeetHorizon;
        } else if (hit.cost < met.cost) {
            met = hit;
        } else {
            break;  // the meetings stopped getting cheaper
        }
    }
    if (met.cost == INT64_MAX) return Fail(kNcSearchNoRoute);
    if ((met.from >= 0 && !ForwardChain(static_cast<uint32_t>(met.from))) || !backwardChain(met.to)) {
        m_route.clear();
        return Fail(kNcSearchNoMemory);
    }
    m_cost = ClampCost(met.cost);
    m_queue.FreeAll();
    return static_cast<int>(m_route.back());
}
