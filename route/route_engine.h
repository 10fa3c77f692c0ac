#pragma once
// The route engine the route-planning module plans with: the road data
// over the road memory, the route configuration, the search over directed
// links and the multi-destination driver that runs the legs of a request
// group by group and joins their sections into one route.
//
// A group is a leg with the legs after it that start at a waypoint passed
// through (kinds 5 and 6); its links form one section, found by one forward
// search through its waypoints. A group of one leg is searched in the
// tuning's direction unless the request asks for the forward search. Each
// group after the first starts on the link the one before it reached. The link sets mark
// their links for the search: detour and option links (1) cost more,
// avoided links (2) are never entered.
//
// The module calls the engine on its thread; SetCancel may come from any
// thread, and ReadLink from the screens' thread waits for a running plan
// (the road data has one link slot).
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "route/route_search.h"
#include "route/large_memory.h"
#include "route/plan_engine.h"
#include "route/road_data.h"
#include "route/route_define.h"
#include "route/route_result.h"

// A group of legs: legs first..last, one search section.
struct RouteLegGroup {
    int first = 0;
    int last = 0;
};
// The groups of a request's legs in route order.
std::vector<RouteLegGroup> RouteLegGroups(const RoutePlanRequest& request);

// The straight legs of a request add up to less than this: a short route.
inline constexpr int64_t kRouteShortRouteM = 2000;

class RouteEngine : public RoutePlanEngine {
public:
    // dataRoot holds "Map\Road.ndb", "Map\RoadIdx.ndb" and "Config\Route.cfg".
    explicit RouteEngine(std::string dataRoot, const NcPageSource& pages = NcSystemPageSource());
    ~RouteEngine() override;

    int ReserveMemory() override;
    // 1 when the file (or the data root's "Config\Route.cfg") was loaded, 0
    // when the built-in table stays.
    int LoadConfig(const std::string& path) override;
    int OpenRoadData(size_t roadMemoryBytes) override;
    void CloseRoadData() override;
    void RestoreCachedLinks() override;
    bool ReadLink(int32_t linkId, RouteLinkRecord* out) override;
    int Plan(const RoutePlanRequest& request, RoutePlanResult* result) override;
    void SetCancel(bool cancel) override { m_cancel.store(cancel); }

    // The multi-destination driver: 1 with the joined route in out, or the
    // code of the first search that failed (out is then left as it was).
    int RouteForMultiDest(const RoutePlanRequest& request, RouteParamOutput* out);

    // The heuristic tuning until set; the exact one finds the cheapest
    // route (tests only).
    void SetTuning(const NcSearchTuning& tuning) { m_tuning = tuning; }
    // The congestion the traffic weights read (by default the traffic
    // store's, used only once congestion arrived with a valid clock).
    void SetCongestion(NcCongestionFn congestion) { m_congestion = std::move(congestion); }
    bool IsShortRoute() const { return m_shortRoute; }
    int LegsSearched() const { return m_legsSearched; }
    int SearchesRun() const { return m_searches; }
    // The much-used links RestoreCachedLinks reads: the expressway links
    // (class 0 and 1) of the road data, as many as the block cache holds.
    const std::vector<int32_t>& CachedLinks() const { return m_cachedLinks; }

private:
    int RouteForMultiDestLocked(const RoutePlanRequest& request, RouteParamOutput* out);
    void MarkLinkSets(const RoutePlanRequest& request);
    MapPoint LegEndPoint(const RoutePlanLegEnd& end, bool origin);
    // A leg whose origin and destination lie on one road link, told apart
    // by where the two feet lie along it: the link's id when the
    // destination lies ahead on a link the origin may start on (the route
    // is that link alone); 0 to search, the origins narrowed to the reverse
    // link or the goal link dropped when the destination lies behind; -1
    // when no way is left.
    int CheckSameLink(const RoutePlanLeg& leg, std::vector<uint32_t>* origins, std::vector<uint32_t>* goals);

    std::string m_root;
    NcLargeMemManager m_memory;
    NcDALManager m_road;
    NcRouteDefine m_define;
    std::vector<uint8_t> m_nodeMemory;
    size_t m_markBytes = 0;
    NcSetMarks m_marks;
    std::vector<int32_t> m_cachedLinks;
    bool m_cachedDerived = false;
    std::mutex m_lock;   // the road data's link slot
    std::atomic<bool> m_cancel{false};
    NcSearchTuning m_tuning = NcSearchTuning::Heuristic();
    NcCongestionFn m_congestion;
    NcAreaGrid m_grid;
    bool m_shortRoute = false;
    int m_legsSearched = 0;
    int m_searches = 0;
};
