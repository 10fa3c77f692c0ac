#include "route/exact_search.h"

#include <algorithm>
#include <array>
#include <cmath>

int32_t NcTurnCost(const NcRouteConfig& config, int level, int code, int direction) {
    const int cls = ClassifyLinkCode(code);
    int64_t cost = cls == 6 ? 60000 : int64_t{config.turnCostS[std::clamp(level, 0, kNcRoadLevels - 1)][cls]} * 100;
    if (direction == 2) cost += 3000;
    return static_cast<int32_t>(std::min<int64_t>(cost, kNcCostMax));
}

NcCostLink NcCostLinkOf(NcDALManager& road) {
    const NcLinkSummary s = road.GetSummary(0);
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

int64_t NcDistanceM(MapPoint a, MapPoint b) {
    const double metresY = 110574.0 / kMapUnitsPerDegree;
    const double lat = (a.y + b.y) / 2.0 / kMapUnitsPerDegree * M_PI / 180.0;
    const double dx = (static_cast<double>(a.x) - b.x) * metresY * 1.00674 * std::cos(lat);
    const double dy = (static_cast<double>(a.y) - b.y) * metresY;
    return static_cast<int64_t>(std::sqrt(dx * dx + dy * dy));
}

int32_t NcEstimate(int64_t distanceM) {
    const int64_t t = distanceM * 100 * 3600 / 1000 / 55;
    return static_cast<int32_t>(std::clamp<int64_t>(t, 0, kNcCostMax));
}

NcExactSearch::NcExactSearch(NcDALManager& road, const NcRouteConfig& config, const NcCostRules& rules)
    : m_road(road), m_config(config), m_rules(rules) {}

int NcExactSearch::Init(void* nodeMemory, void* markMemory, size_t markBytes) {
    if (!m_nodes.Init(nodeMemory) || !m_marks.Init(markMemory, markBytes)) return 0;
    m_queue.SetLinkMemory(&m_nodes, &m_marks);
    return 1;
}

int NcExactSearch::SetMarkOf(uint32_t linkId) const {
    if (m_setMarks == nullptr || m_setMarks->empty()) return 0;
    const auto it = std::lower_bound(m_setMarks->begin(), m_setMarks->end(), std::make_pair(linkId, 0));
    return it != m_setMarks->end() && it->first == linkId ? it->second : 0;
}

int32_t NcExactSearch::LinkCost(uint32_t linkId, bool* ok, bool start) {
    const int mark = SetMarkOf(linkId);
    *ok = (start || mark != kNcSetMarkAvoid) && m_road.LoadLink(0, linkId) == 1 && !m_road.View(0).IsClosed();
    if (!*ok) return 0;
    m_lastEnd = m_road.GetEndPoint(0);
    NcCostExtras extras;
    if (mark == kNcSetMarkDetour) extras.mark = 1;
    return NcComputeNodeCost(NcCostLinkOf(m_road), m_rules, extras).cost;
}

int32_t NcExactSearch::Key(int64_t cost) const {
    if (m_estimate) cost += NcEstimate(NcDistanceM(m_lastEnd, m_goalPoint));
    return static_cast<int32_t>(std::min<int64_t>(cost, kNcCostMax));
}

int NcExactSearch::Search(const std::vector<uint32_t>& origins, const std::vector<uint32_t>& goals,
                          int iterationLimit) {
    m_route.clear();
    m_cost = 0;
    m_taken = 0;
    m_nodes.Reset();
    m_marks.Clear();
    m_queue.Reset();
    std::vector<uint32_t> sortedGoals = goals;
    std::sort(sortedGoals.begin(), sortedGoals.end());
    auto fail = [&](int code) {
        m_queue.FreeAll();
        return code;
    };
    if (m_estimate) {
        if (goals.empty() || !m_road.LoadLink(0, goals[0])) return fail(kNcSearchBadLink);
        m_goalPoint = m_road.GetEndPoint(0);
    }
    for (uint32_t origin : origins) {
        bool ok = false;
        const int32_t cost = LinkCost(origin, &ok, true);
        if (!ok) return fail(kNcSearchBadLink);
        NcLink* node = m_nodes.Alloc();
        if (!node) return fail(kNcSearchNoMemory);
        node->linkId = static_cast<int32_t>(origin);
        node->pathCost = cost;
        node->cost = Key(cost);
        node->level = 0;
        if (m_queue.PushChecked(node, -1) < 0) return fail(kNcSearchNoMemory);
    }
    std::array<NcConnection, kNcRunEntriesMax> next{};
    for (;;) {
        NcLink* label = m_queue.PopMin();
        if (!label) return fail(kNcSearchNoRoute);
        const uint32_t link = static_cast<uint32_t>(label->linkId);
        const int32_t cost = label->pathCost;
        m_nodes.Free(label);
        if (++m_taken > iterationLimit) return fail(kNcSearchTooManyLinks);
        if (m_cancel != nullptr && m_taken % kNcCancelCheckLabels == 0 && m_cancel->exchange(false)) {
            return fail(kNcSearchCancelled);
        }
        if (std::binary_search(sortedGoals.begin(), sortedGoals.end(), link)) {
            // Back along the parents; a walk longer than the labels taken
            // would be a loop in the parent table.
            for (uint32_t at = link;;) {
                m_route.push_back(at);
                const int32_t parent = m_marks.GetParent(at);
                if (parent == -1) break;
                if (parent == kNcNoParent || static_cast<int>(m_route.size()) > m_taken) {
                    m_route.clear();
                    return fail(kNcSearchNoMemory);
                }
                at = static_cast<uint32_t>(parent);
            }
            std::reverse(m_route.begin(), m_route.end());
            m_cost = cost;
            m_queue.FreeAll();
            return static_cast<int>(link);
        }
        if (!m_road.LoadLink(0, link)) continue;
        const NcConnection* c = nullptr;
        const int n = std::min(m_road.GetConnections(0, &c), kNcRunEntriesMax);
        std::copy(c, c + n, next.begin());
        for (int i = 0; i < n; ++i) {
            if (next[i].allowed != 1) continue;
            bool ok = false;
            const uint32_t to = static_cast<uint32_t>(next[i].linkId);
            const int32_t own = LinkCost(to, &ok);
            if (!ok) continue;
            const int64_t total = int64_t{cost} + own + NcTurnCost(m_config, 0, next[i].code, next[i].direction);
            NcLink* node = m_nodes.Alloc();
            if (!node && m_queue.DropStale() > 0) node = m_nodes.Alloc();
            if (!node) return fail(kNcSearchNoMemory);
            node->linkId = static_cast<int32_t>(to);
            node->pathCost = static_cast<int32_t>(std::min<int64_t>(total, kNcCostMax));
            node->cost = Key(node->pathCost);
            node->level = 0;
            if (m_queue.PushChecked(node, static_cast<int32_t>(link)) < 0) return fail(kNcSearchNoMemory);
        }
    }
}
