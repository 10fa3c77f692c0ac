#include "route/route_engine.h"

#include <algorithm>

#include "foundation/debug_trace.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "settings/module_tpeg.h"

namespace {

bool PassedThrough(int32_t kind) { return kind == kLegEndList1 || kind == kLegEndList2; }
bool GivenByLink(int32_t kind) { return kind == kLegEndLink || PassedThrough(kind); }

}  // namespace

std::vector<RouteLegGroup> RouteLegGroups(const RoutePlanRequest& request) {
    std::vector<RouteLegGroup> groups;
    const int n = std::clamp(request.legCount, 0, kRoutePlanMaxLegs);
    for (int k = 0; k < n;) {
        RouteLegGroup g{k, k};
        while (g.last + 1 < n && PassedThrough(request.legs[g.last + 1].origin.kind)) ++g.last;
        groups.push_back(g);
        k = g.last + 1;
    }
    return groups;
}

void RoutePlanRequest::ReverseLegs() {
    if (keep) return;
    const int n = std::clamp(legCount, 0, kRoutePlanMaxLegs);
    std::reverse(legs, legs + n);
    for (int k = 0; k < n; ++k) std::swap(legs[k].origin, legs[k].destination);
}

RouteEngine::RouteEngine(std::string dataRoot, const NcPageSource& pages)
    : m_root(std::move(dataRoot)), m_memory(pages) {}

RouteEngine::~RouteEngine() { CloseRoadData(); }

int RouteEngine::ReserveMemory() {
    if (m_memory.Alloc(1) != 1) return 0;
    m_nodeMemory.assign(NcLinkMem::kBytes, 0);
    // Marks for every link of the largest network: the exact tuning may
    // reach them all (untouched pages of the mapping cost nothing).
    m_markBytes = kNcLinkIndexBytes + size_t{kNcLinkGroups} * kNcLinkPageBytes + kNcStageIndexBytes;
    if (m_memory.LinkIdMemory() == nullptr && m_memory.MapLinkIdMemory(m_markBytes) != 1) return 0;
    DebugTrace(1, "[RP**] GRAPH_TOTAL_MEM_SIZE: %d(KB)\n", static_cast<int>(kNcAreaGridBytes / 1024));
    DebugTrace(1, "[RP**] LINKIDMEM_TOTAL_MEM_SIZE: %d(KB)\n", static_cast<int>(m_markBytes / 1024));
    return 1;
}

int RouteEngine::LoadConfig(const std::string& path) {
    std::string native;
    const std::string candidates[] = {platform::NativePath(path), platform::ResolveUnder(m_root, "Config\\Route.cfg"),
                                      platform::ResolveUnder(m_root, "Map\\Config\\Route.cfg")};
    for (const std::string& c : candidates) {
        if (!c.empty() && platform::IsRegularFile(c)) {
            native = c;
            break;
        }
    }
    if (native.empty()) {
        DebugTrace(1, "[RP**] Route.cfg not found: the built-in table is used\n");
        return 0;
    }
    return m_define.Load(native) == 1 ? 1 : 0;
}

int RouteEngine::OpenRoadData(size_t roadMemoryBytes) {
    std::lock_guard<std::mutex> hold(m_lock);
    if (m_road.IsOpen()) return 1;
    if (m_memory.MapRoadMemory(roadMemoryBytes) != 1) return 0;
    if (!m_road.OpenAt(m_root, m_memory.RoadMemory(), m_memory.RoadMemorySize())) {
        m_memory.ReleaseRoadMemory();
        return 0;
    }
    // A missing or damaged table leaves every area at kind 3.
    m_grid.LoadVtf(m_root);
    return 1;
}

void RouteEngine::CloseRoadData() {
    std::lock_guard<std::mutex> hold(m_lock);
    if (!m_road.IsOpen()) return;
    m_road.Close();
    m_memory.ReleaseRoadMemory();
}

void RouteEngine::RestoreCachedLinks() {
    std::lock_guard<std::mutex> hold(m_lock);
    if (!m_road.IsOpen()) return;
    if (!m_cachedDerived) {
        // Derived once from the data set: its expressway links, no more
        // than the block cache holds.
        const size_t blocks = m_road.Road()->Cache().GetEntryCount();
        const size_t most = blocks * kNcLinksPerBlock;
        for (uint32_t i = 1; i < m_road.GetLinkCount() && m_cachedLinks.size() < most; ++i) {
            if (m_road.LoadLink(0, i) == 1 && m_road.GetClass(0) <= 1) m_cachedLinks.push_back(static_cast<int32_t>(i));
        }
        m_cachedDerived = true;
    }
    for (int32_t id : m_cachedLinks) m_road.LoadLink(0, static_cast<uint32_t>(id));
}

bool RouteEngine::ReadLink(int32_t linkId, RouteLinkRecord* out) {
    std::lock_guard<std::mutex> hold(m_lock);
    if (!m_road.IsOpen() || linkId < 0) return false;
    const uint32_t id = static_cast<uint32_t>(linkId);
    if (m_road.LoadLink(0, id ^ kNcLinkReverseBit) != 1) return false;
    const bool otherOpen = !m_road.View(0).IsClosed();
    if (m_road.LoadLink(0, id) != 1) return false;
    const NcLinkSummary s = m_road.GetSummary(0);
    out->lengthM = s.lengthM;
    out->roadClass = s.roadClass;
    out->linkType = s.linkType;
    out->roadKind = s.kind;
    out->twoWay = otherOpen && !m_road.View(0).IsClosed();
    return true;
}

int RouteEngine::Plan(const RoutePlanRequest& request, RoutePlanResult* result) {
    RouteParamOutput out;
    const int rc = RouteForMultiDest(request, &out);
    if (rc != 1) return rc;
    result->Clear();
    result->links = std::move(out.joined);
    result->trafficIds = std::move(out.trafficIds);
    result->sectionCount = out.sectionCount;
    std::copy(std::begin(out.boundaries), std::begin(out.boundaries) + 16, std::begin(result->boundaries));
    result->trafficUsed = out.trafficUsed;
    return 1;
}

void RouteEngine::MarkLinkSets(const RoutePlanRequest& request) {
    m_marks.clear();
    auto add = [this](const RouteDetour* set, int mark) {
        if (set == nullptr) return;
        const int32_t* ids = nullptr;
        const int n = set->Get(&ids);
        for (int i = 0; i < n; ++i)
            if (ids[i] >= 0) m_marks.emplace_back(static_cast<uint32_t>(ids[i]), mark);
    };
    add(request.detour, kNcSetMarkDetour);
    add(request.option, kNcSetMarkDetour);
    add(request.avoidance, kNcSetMarkAvoid);
    // One mark per link; avoiding wins over a detour.
    std::sort(m_marks.begin(), m_marks.end(),
              [](const auto& a, const auto& b) { return a.first != b.first ? a.first < b.first : a.second > b.second; });
    m_marks.erase(std::unique(m_marks.begin(), m_marks.end(),
                              [](const auto& a, const auto& b) { return a.first == b.first; }),
                  m_marks.end());
}

MapPoint RouteEngine::LegEndPoint(const RoutePlanLegEnd& end, bool origin) {
    if (GivenByLink(end.kind) && end.linkCount > 0 && m_road.LoadLink(0, static_cast<uint32_t>(end.links[0])) == 1) {
        return origin ? m_road.GetStartPoint(0) : m_road.GetEndPoint(0);
    }
    return end.point;
}

int RouteEngine::CheckSameLink(const RoutePlanLeg& leg, std::vector<uint32_t>* origins, std::vector<uint32_t>* goals) {
    const MapPoint from = leg.origin.foot, to = leg.destination.foot;
    if ((from.x == 0 && from.y == 0) || (to.x == 0 && to.y == 0)) return 0;  // positions not known
    const auto has = [](const std::vector<uint32_t>& v, uint32_t id) { return std::find(v.begin(), v.end(), id) != v.end(); };
    // Whether the destination's foot lies ahead of the origin's on the
    // directed link (1), behind (0), or the link cannot be driven (-1).
    const auto ahead = [&](uint32_t link) {
        if (m_road.LoadLink(0, link) != 1 || m_road.View(0).IsClosed()) return -1;
        const MapPoint s = m_road.GetStartPoint(0), e = m_road.GetEndPoint(0);
        const double along = (static_cast<double>(to.x) - from.x) * (static_cast<double>(e.x) - s.x) +
                             (static_cast<double>(to.y) - from.y) * (static_cast<double>(e.y) - s.y);
        return along >= 0 ? 1 : 0;
    };
    // The same road link, whichever direction each end was found on: the
    // destination may be found on the other direction's id of the link the
    // origin lies on.
    const auto sameRoad = [&](uint32_t o) { return has(*goals, o) || has(*goals, o ^ kNcLinkReverseBit); };
    for (uint32_t o : *origins)
        if (sameRoad(o) && ahead(o) == 1) return static_cast<int>(o);
    // An origin on the destination's road would end the search at once (or
    // send it round the blocks) although the destination lies behind it:
    // start on the reverse link instead, or, on a one-way road, look for the
    // destination on its other links.
    const std::vector<uint32_t> given = *origins;
    for (uint32_t o : given) {
        if (!sameRoad(o)) continue;
        const uint32_t reverse = o ^ kNcLinkReverseBit;
        if (ahead(reverse) >= 0) {
            origins->erase(std::find(origins->begin(), origins->end(), o));
            if (has(*goals, reverse)) return static_cast<int>(reverse);
            if (!has(*origins, reverse)) origins->push_back(reverse);
        } else if (has(*goals, o)) {
            goals->erase(std::find(goals->begin(), goals->end(), o));
        }
    }
    return origins->empty() || goals->empty() ? -1 : 0;
}

int RouteEngine::RouteForMultiDest(const RoutePlanRequest& request, RouteParamOutput* out) {
    std::lock_guard<std::mutex> hold(m_lock);
    // A cancel given while no plan ran belongs to no run.
    m_cancel.store(false);
    const int rc = RouteForMultiDestLocked(request, out);
    return rc;
}

int RouteEngine::RouteForMultiDestLocked(const RoutePlanRequest& request, RouteParamOutput* out) {
    m_legsSearched = 0;
    m_shortRoute = false;
    m_searches = 0;
    if (!m_road.IsOpen() || m_nodeMemory.empty()) return kNcSearchBadLink;
    const int legs = std::clamp(request.legCount, 0, kRoutePlanMaxLegs);
    if (legs == 0) return kNcSearchBadLink;
    // With the keep flag the marks of the last run stay and no distances
    // are taken.
    if (!request.keep) {
        MarkLinkSets(request);
        int64_t straightM = 0;
        for (int k = 0; k < legs; ++k) {
            const MapPoint a = LegEndPoint(request.legs[k].origin, true);
            const MapPoint b = LegEndPoint(request.legs[k].destination, false);
            straightM += std::max<int64_t>(1, NcDistanceM(a, b));
        }
        m_shortRoute = straightM < kRouteShortRouteM;
    }

    NcCostRules rules;
    rules.mode = NcModeOfRouteKinds(request.routeKinds);
    rules.preferences = NcPreferencesOfRoadOptions(request.hasRoadOptions, request.roadOptions);
    rules.regional = request.regional;
    NcRoute search(m_road, m_define.Config(), rules);
    if (!search.Init(m_nodeMemory.data(), m_memory.LinkIdMemory(), m_markBytes)) return kNcSearchNoMemory;
    NcSearchTuning tuning = m_tuning;
    tuning.fullRange = tuning.fullRange || request.fullRange;
    tuning.viaLinkList = request.viaLinkList;
    search.SetTuning(tuning);
    search.SetAreaGrid(&m_grid);
    search.SetRoadOptions(NcMakeRoadOptions(request.hasRoadOptions, request.roadOptions));
    search.SetLinkMarks(&m_marks);
    // Traffic weights only once congestion arrived with a valid clock.
    NcCongestionFn congestion = m_congestion;
    if (request.traffic && !congestion) {
        const CMgrConfigModuleTPEG* store = CMgrConfigModuleTPEG::Instance();
        if (store != nullptr && store->GetTrafficTimeYear() >= 2000)
            congestion = [store](uint32_t id) { return store->GetLinkCongestion(static_cast<int>(id)); };
    }
    if (!request.traffic) congestion = nullptr;
    search.SetCongestion(congestion);
    search.SetCancelFlag(&m_cancel);

    // Built apart and handed over only when every leg found its way.
    RouteParamOutput scratch;
    uint32_t reached = 0;
    const auto linksOf = [](const RoutePlanLegEnd& end) {
        std::vector<uint32_t> links;
        for (int i = 0; i < end.linkCount; ++i) links.push_back(static_cast<uint32_t>(end.links[i]));
        return links;
    };
    for (const RouteLegGroup& g : RouteLegGroups(request)) {
        std::vector<int32_t>& section = scratch.sections[g.first].links;
        // A group of more legs than one search runs through is searched in
        // parts, each from the link the one before reached.
        for (int first = g.first; first <= g.last; first += kNcSearchLegsMax) {
            const int last = std::min(g.last, first + kNcSearchLegsMax - 1);
            const RoutePlanLeg& leg = request.legs[first];
            std::vector<uint32_t> origins = first == 0 ? linksOf(leg.origin) : std::vector<uint32_t>{reached};
            std::vector<NcSearchLeg> legs(static_cast<size_t>(last - first + 1));
            legs[0].targets = linksOf(leg.destination);
            if (origins.empty() || legs[0].targets.empty()) return kNcSearchBadLink;

            const int same = CheckSameLink(leg, &origins, &legs[0].targets);
            if (same < 0) return kNcSearchTooManyLinks;
            if (same > 0) origins = legs[0].targets = {static_cast<uint32_t>(same)};
            // A later leg starts on the link the one before reached; where
            // its end lies behind that on the same road it turns back onto
            // the reverse link, or that link no longer counts as its end.
            for (int k = first + 1; k <= last; ++k) {
                NcSearchLeg& next = legs[static_cast<size_t>(k - first)];
                next.targets = linksOf(request.legs[k].destination);
                if (next.targets.empty()) return kNcSearchBadLink;
                for (uint32_t from : legs[static_cast<size_t>(k - first - 1)].targets) {
                    std::vector<uint32_t> starts{from};
                    const int one = CheckSameLink(request.legs[k], &starts, &next.targets);
                    if (one < 0) return kNcSearchTooManyLinks;
                    const uint32_t start = one > 0 ? static_cast<uint32_t>(one) : starts.front();
                    if (start != from) next.startsFrom.emplace_back(from, start);
                }
            }
            // Two or more links at the start: each starts with the part of
            // it still ahead of the origin point.
            std::vector<double> shares;
            if (first == 0 && origins.size() > 1 && !(leg.origin.foot.x == 0 && leg.origin.foot.y == 0)) {
                for (uint32_t o : origins) {
                    if (m_road.LoadLink(0, o) != 1) break;
                    const double behind = static_cast<double>(NcDistanceM(leg.origin.foot, m_road.GetStartPoint(0)));
                    const double ahead = static_cast<double>(NcDistanceM(leg.origin.foot, m_road.GetEndPoint(0)));
                    if (behind + ahead < 0.01) break;
                    shares.push_back(ahead / (behind + ahead));
                }
            }
            if (shares.size() != origins.size()) shares.clear();
            const std::vector<uint32_t> single{static_cast<uint32_t>(same)};
            int rc = same;
            if (same == 0 || legs.size() > 1) {
                const uint64_t startedMs = platform::GetTickCount64();
                // One leg goes by the tuning's direction unless the settings
                // ask for the forward search; several always go forward.
                rc = legs.size() == 1 && !request.oneDirectional
                         ? search.Search(origins, legs[0].targets, request.limit, shares)
                         : search.SearchLegs(origins, legs, request.limit, shares);
                ++m_searches;
                DebugTrace(1, "[RP**] ROUTE CALC TIME: %d\n", static_cast<int>(platform::GetTickCount64() - startedMs));
                if (rc < 0) return rc;
            }
            const std::vector<uint32_t>& route = same > 0 && legs.size() == 1 ? single : search.Route();
            const bool repeats = !section.empty() && !route.empty() && static_cast<int32_t>(route.front()) == section.back();
            for (size_t i = repeats ? 1 : 0; i < route.size(); ++i) section.push_back(static_cast<int32_t>(route[i]));
            reached = static_cast<uint32_t>(rc);
            m_legsSearched += static_cast<int>(legs.size());
        }
    }
    scratch.trafficUsed = static_cast<bool>(congestion);
    scratch.JoinSections(legs, [this](int32_t id) -> uint32_t {
        return id >= 0 && m_road.LoadLink(0, static_cast<uint32_t>(id)) == 1 ? m_road.GetSummary(0).trafficId : 0;
    });
    *out = std::move(scratch);
    return 1;
}
