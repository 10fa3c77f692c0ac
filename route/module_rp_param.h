#pragma once
// The parameter store of route planning: everything one planning run works
// on. The request's points matched to road links, the three link sets, the
// legs handed to the engine, the last route and the slot selected for
// guidance. Route result and status codes of the whole planner are here too.
//
// Threads: the route thread runs the plans; the screens change the link
// sets and select slots through the module, which refuses both while a run
// is in progress. The selected-slot block is read by guidance under the
// store's lock.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "foundation/coords.h"
#include "foundation/singleton.h"
#include "route/link_sets.h"
#include "route/plan_engine.h"
#include "settings/route_point_set.h"

// Result and status codes of route planning (1 is success everywhere).
enum RoutePlanCode : int {
    kRpNotStarted = 0,
    kRpFail = -1,
    kRpNoParamStore = -10,
    kRpNotReady = -100,
    kRpPostFailed = -300,
    kRpModeRefused = -400,
    kRpGoalClass0 = -510,
    kRpGoalClass1 = -511,
    kRpGoalKindFerry = -520,   // road kind 1 or 15
    kRpGoalKind2 = -521,
    kRpGoalKind3 = -522,       // road kind 3 or 5
    kRpGoalKind4 = -523,
    kRpNoStartRoad = -624,
    kRpNoGoalRoad = -625,
    kRpBadState = -626,
    kRpFailed = -700,
    kRpRunning = -701,
    kRpCancelled = -702,
    kRpTooLong = -801,
    kRpFirstLegTooShort = -802,   // leg j: -802 - j
    kRpNoAdjacentRoad = -830,
};

// Where a request without a start begins when there is no fix at all:
// 127.1144 E, 37.5087 N.
inline constexpr MapPoint kRouteDefaultStart{66644562, 19665363};
inline constexpr uint32_t kRouteMinLegM = 50;
inline constexpr uint32_t kRouteShortLegM = 8000;
inline constexpr uint64_t kRouteMaxTotalM = 800000;
inline constexpr int32_t kRouteSearchLimit = 1500000;

// The 532-byte module settings block the start-up code fills.
struct ModuleRPSettingsBlock {
    char16_t mapFolder[260] = u"C:\\Pelox20\\Map";
    int32_t roadMemoryKB = 10240;
    int32_t reserved = 0;
    int32_t releaseFlag = 0;
};
static_assert(sizeof(ModuleRPSettingsBlock) == 532);

// Road memory for a size setting in KB: at least 1 MB, at most 20 MB; 5 MB
// without settings (null).
size_t RouteRoadMemoryBytes(const int32_t* settingKB);

// The goal-road classification: 1, or -510/-511 for road classes 0 and 1,
// -520 to -523 for the road kinds a destination cannot be reached on.
int ClassifyGoalRoad(const RouteLinkRecord& rec);

// One request point matched to a road link.
struct RoutePointMatch {
    MapPoint point;
    int32_t directions = 0;     // 1 one-way, 2 two-way
    int32_t forwardLink = 0;
    int32_t reverseLink = 0;
    MapPoint foot;
    int32_t direction = 0;      // 1 along the link, -1 against it, 0 either way
    int32_t headingDeg = 0;
    int32_t viaLinkList = 0;    // reached over a link list of the request
    int32_t listKind = 0;       // 1 the first list, 0 the second
    int32_t listCount = 0;
    int32_t listIds[kRouteRequestMaxLinks] = {};
};

// The route slot guidance was given (copied from a stored result).
struct RouteSelectedSlot {
    int32_t replanFlag = 0;
    int32_t linkCount = 0;
    uint32_t mode = 0;
    std::vector<int32_t> links;
    int32_t sectionCount = 0;
    int32_t sections[16] = {};
};

class ModuleRPParam : public MgrSingletonT<ModuleRPParam> {
public:
    ModuleRPParam();
    ~ModuleRPParam() override;

    // The engine the runs use; the start-up code (or a test) sets it before
    // the module starts. Another engine closes the road data of the last.
    void SetEngine(std::shared_ptr<RoutePlanEngine> engine);
    RoutePlanEngine* Engine() const { return m_engine.get(); }
    void SetSettings(const ModuleRPSettingsBlock* block);

    // Straight-line check of the legs on the caller's thread: 1, -801 over
    // 800 km in all, -802 - j for leg j under 50 m. Sets the short-leg flag.
    int CheckRouteDistance(const RouteRequest& request);

    // Matches goal, start (not on a re-plan) and waypoints to road links;
    // 1, or -625, -624, -1, or a goal-road class code in goal mode 2.
    int SetRoutePos(const RouteRequest& request, int goalMode, int replan, int goalSide);
    // The legs from the matched points; 1 or -1 for a point whose direction
    // makes no sense.
    int ReArrangeParam(const RouteRequest& request, RoutePlanRequest* out) const;

    // Message 3: engine memory, road memory and the configuration file.
    int InitMemory();
    int AllocatedRoadMemory();
    int FreeRoadMemory();
    bool HasRoadMemory() const { return m_roadMemory; }
    bool ReleasesRoadMemory() const { return m_hasSettings && m_settings.releaseFlag != 0; }

    // One run on the route thread; 1 or the failure code.
    int PlanRoute(const RouteRequest& request);
    int PlanReRoute(const RouteRequest& request);

    // Copies stored result n into the selected-slot block; its link count,
    // or -1 when there is no such result.
    int CopyAADLinksRP2SVC(int slot);
    RouteSelectedSlot SelectedSlot();

    RouteDetour& Detour() { return m_detour; }
    RouteAvoidance& Avoidance() { return m_avoidance; }
    RoutePeloxWizard& Option() { return m_option; }

    const RoutePointMatch& StartMatch() const { return m_start; }
    const RoutePointMatch& GoalMatch() const { return m_goal; }
    const RoutePointMatch& ViaMatch(int i) const { return m_via[i]; }
    int ShortLegFlag() const { return m_shortLeg; }
    int LinkListFlag() const { return m_linkListFlag; }
    const RoutePlanResult& LastResult() const { return m_result; }
    int GetReplanType() const { return m_replanType; }
    void SetReplanType(int type) { m_replanType = type; }
    void SetFullRange(bool on) { m_fullRange = on; }
    // Read the data set's much-used links into the cache after start-up.
    void SetRestoreCachedLinks(bool on) { m_restoreCached = on; }
    // The fix position, or the default start without a fix.
    static MapPoint CurrentPosition();

private:
    int Run(const RouteRequest& request, bool replan);
    int MatchReplanStart();

    std::shared_ptr<RoutePlanEngine> m_engine;
    ModuleRPSettingsBlock m_settings;
    bool m_hasSettings = false;

    RoutePointMatch m_start;
    RoutePointMatch m_goal;
    RoutePointMatch m_via[kRouteRequestMaxVia];
    int32_t m_areaFlags[kRouteRequestMaxVia + 2] = {};

    RouteDetour m_detour;
    RouteAvoidance m_avoidance;
    RoutePeloxWizard m_option;

    RoutePlanResult m_result;
    RouteRequest m_lastRequest;
    RouteSelectedSlot m_selected;   // under the store's lock

    int32_t m_replanType = 0;
    int32_t m_optionFlag = 0;
    uint32_t m_optionBits = 0;
    uint32_t m_routeKinds = 0;
    bool m_fullRange = false;
    bool m_roadMemory = false;
    int32_t m_replan = 0;
    std::atomic<int32_t> m_shortLeg{0};
    int32_t m_linkListFlag = 0;
    int32_t m_paramState = 0;   // 3 once the points are matched
    bool m_restoreCached = false;
};
