#include "route/module_rp_param.h"

#include <algorithm>
#include <cmath>

#include "foundation/debug_trace.h"
#include "mapdb/mgr_map.h"
#include "platform/codepage.h"
#include "settings/module_gps.h"
#include "settings/module_rp.h"

namespace {

constexpr uint32_t kOptionKeepBits = 0x600;

bool IsZero(const MapPoint& p) { return p.x == 0 || p.y == 0; }

// Bearing of a segment in degrees clockwise from north (0..359), with the
// east-west extent shortened by the cosine of the latitude.
int32_t SegmentBearing(const MapPoint& from, const MapPoint& to) {
    const double latRad = (static_cast<double>(from.y) / kMapUnitsPerDegree) * M_PI / 180.0;
    const double dx = (static_cast<double>(to.x) - from.x) * std::cos(latRad);
    const double dy = static_cast<double>(to.y) - from.y;
    double deg = std::atan2(dx, dy) * 180.0 / M_PI;
    if (deg < 0) deg += 360.0;
    return static_cast<int32_t>(deg) % 360;
}

// Which side of the segment a point lies on: > 0 left, <= 0 right (or on it).
double SideOf(const MneLinkFoot& foot, const MapPoint& p) {
    const double sx = static_cast<double>(foot.segmentEnd.x) - foot.segmentStart.x;
    const double sy = static_cast<double>(foot.segmentEnd.y) - foot.segmentStart.y;
    const double gx = static_cast<double>(p.x) - foot.segmentStart.x;
    const double gy = static_cast<double>(p.y) - foot.segmentStart.y;
    return sx * gy - sy * gx;
}

// The nearest link with growing radii; a radius of 100 m is tried only for
// points in the city area.
bool FindLinkGrowing(CMgrMap& map, const MapPoint& p, std::initializer_list<int32_t> radiiM, int flag,
                     MneLinkFoot* foot) {
    const bool city = map.IsInCityArea(p) != 0;
    for (int32_t r : radiiM) {
        if (r == 100 && !city) continue;
        if (map.FindNearestLink(p, r, foot, flag)) return true;
    }
    return false;
}

void FillMatch(RoutePointMatch* m, const MapPoint& p, const MneLinkFoot& foot) {
    *m = RoutePointMatch{};
    m->point = p;
    m->directions = foot.directions;
    m->forwardLink = static_cast<int32_t>(foot.linkId);
    m->reverseLink = static_cast<int32_t>(foot.reverseLinkId);
    m->foot = foot.foot;
    m->direction = foot.directions == 1 ? 1 : 0;
    m->headingDeg = SegmentBearing(foot.segmentStart, foot.segmentEnd);
}

// A two-way road is driven with the point on the right-hand side.
void DirectionFromSide(RoutePointMatch* m, const MneLinkFoot& foot, const MapPoint& p) {
    const int32_t bearing = SegmentBearing(foot.segmentStart, foot.segmentEnd);
    if (SideOf(foot, p) <= 0) {
        m->direction = 1;
        m->headingDeg = bearing;
    } else {
        m->direction = -1;
        m->headingDeg = (bearing + 180) % 360;
    }
}

}  // namespace

int ClassifyGoalRoad(const RouteLinkRecord& rec) {
    if (rec.roadClass == 0) return kRpGoalClass0;
    if (rec.roadClass == 1) return kRpGoalClass1;
    switch (rec.roadKind) {
    case 1:
    case 15: return kRpGoalKindFerry;
    case 2: return kRpGoalKind2;
    case 3:
    case 5: return kRpGoalKind3;
    case 4: return kRpGoalKind4;
    default: return 1;
    }
}

namespace {

// The links of a leg end from a matched point and its direction; false for
// a direction that names no link.
bool LinksByDirection(const RoutePointMatch& m, RoutePlanLegEnd* end) {
    end->point = m.point;
    end->foot = m.foot;
    end->linkCount = 0;
    switch (m.direction) {
    case -1:
        if (m.reverseLink == 0) return false;
        end->AddLink(m.reverseLink);
        return true;
    case 0:
        end->AddLink(m.forwardLink);
        if (m.reverseLink != 0) end->AddLink(m.reverseLink);
        return true;
    case 1: end->AddLink(m.forwardLink); return true;
    default: return false;
    }
}

void WaypointEnd(const RoutePointMatch& m, const RouteRequest& request, RoutePlanLegEnd* end) {
    end->point = m.point;
    end->foot = m.foot;
    end->linkCount = 0;
    if (m.viaLinkList != 0) {
        end->kind = m.listKind == 1 ? kLegEndList1 : kLegEndList2;
        const int32_t* ids = m.listKind == 1 ? request.points.links1 : request.points.links2;
        for (int i = 0; i < m.listCount; ++i) end->AddLink(ids[i]);
        return;
    }
    end->kind = kLegEndLink;
    end->AddLink(m.forwardLink);
    if (m.directions == 2 && m.reverseLink != 0) end->AddLink(m.reverseLink);
}

int ViaCount(const RouteRequest& request) { return std::clamp(request.points.viaCount, 0, kRouteRequestMaxVia); }

}  // namespace

size_t RouteRoadMemoryBytes(const int32_t* settingKB) {
    if (settingKB == nullptr) return 5u << 20;
    if (*settingKB < 1024) return 1u << 20;
    if (*settingKB > 20480) return 20u << 20;
    return static_cast<size_t>(*settingKB) * 1024;
}

ModuleRPParam::ModuleRPParam() = default;

ModuleRPParam::~ModuleRPParam() {
    if (m_roadMemory && m_engine) m_engine->CloseRoadData();
}

void ModuleRPParam::SetEngine(std::shared_ptr<RoutePlanEngine> engine) {
    // The road data opened belongs to the engine it was opened on.
    if (m_roadMemory && m_engine && m_engine != engine) m_engine->CloseRoadData();
    if (m_engine != engine) m_roadMemory = false;
    m_engine = std::move(engine);
}

void ModuleRPParam::SetSettings(const ModuleRPSettingsBlock* block) {
    m_hasSettings = block != nullptr;
    m_settings = block != nullptr ? *block : ModuleRPSettingsBlock{};
    m_settings.mapFolder[std::size(m_settings.mapFolder) - 1] = 0;
}

MapPoint ModuleRPParam::CurrentPosition() {
    CMgrConfigModuleGPS* gps = CMgrConfigModuleGPS::Instance();
    if (gps == nullptr || !gps->IsFixReceived()) return kRouteDefaultStart;
    const MapPoint p = gps->GetMatchedPosition();
    return IsZero(p) ? kRouteDefaultStart : p;
}

int ModuleRPParam::CheckRouteDistance(const RouteRequest& request) {
    m_shortLeg.store(0, std::memory_order_relaxed);
    const RoutePointSet& pts = request.points;
    const int via = ViaCount(request);
    MapPoint points[kRouteRequestMaxVia + 2];
    points[0] = IsZero(pts.start) ? CurrentPosition() : pts.start;
    for (int i = 0; i < via; ++i) points[i + 1] = pts.via[i];
    points[via + 1] = pts.goal;

    uint64_t total = 0;
    for (int j = 0; j <= via; ++j) {
        const uint32_t legM = GetApproxDistance(points[j], points[j + 1]);
        if (legM < kRouteMinLegM) return kRpFirstLegTooShort - j;
        if (legM < kRouteShortLegM) m_shortLeg.store(1, std::memory_order_relaxed);
        total += legM;
    }
    return total > kRouteMaxTotalM ? kRpTooLong : 1;
}

int ModuleRPParam::SetRoutePos(const RouteRequest& request, int goalMode, int replan, int goalSide) {
    CMgrMap* map = CMgrMap::Instance();
    if (map == nullptr || !map->IsOpen()) return kRpFail;
    const RoutePointSet& pts = request.points;

    // Goal.
    MneLinkFoot foot;
    const bool found = goalMode == 0 ? FindLinkGrowing(*map, pts.goal, {100, 300, 3000}, 1, &foot)
                                     : FindLinkGrowing(*map, pts.goal, {100, 300, 600, 1000, 3000}, 0, &foot);
    if (!found) return kRpNoGoalRoad;
    RouteLinkRecord rec;
    const bool haveRecord = m_engine && m_engine->ReadLink(static_cast<int32_t>(foot.linkId), &rec);
    if (goalMode == 2 && haveRecord) {
        const int code = ClassifyGoalRoad(rec);
        if (code != 1) return code;
    }
    FillMatch(&m_goal, pts.goal, foot);
    if (goalSide != 0 && foot.directions == 2 && haveRecord && rec.roadClass > 2) {
        DirectionFromSide(&m_goal, foot, pts.goal);
    }

    // Start (a re-plan starts where the car is, matched before).
    if (replan == 0) {
        const MapPoint start = IsZero(pts.start) ? CurrentPosition() : pts.start;
        CMgrConfigModuleGPS* gps = CMgrConfigModuleGPS::Instance();
        tagMAPMATCHINFO match;
        if (gps != nullptr) gps->GetMatchInfo(&match);
        const MapPoint fix{match.x, match.y};
        if (pts.startKind == 3 && gps != nullptr && gps->IsFixReceived() && match.status == 1 && match.linkId != 0 &&
            GetApproxDistance(start, fix) <= 50) {
            m_start = RoutePointMatch{};
            m_start.point = start;
            m_start.foot = fix;
            m_start.directions = 1;
            m_start.forwardLink = match.linkId;
            m_start.direction = 1;
            m_start.headingDeg = match.headingDeg;
        } else {
            if (!FindLinkGrowing(*map, start, {100, 300, 3000}, 0, &foot)) return kRpNoStartRoad;
            FillMatch(&m_start, start, foot);
            if (foot.directions == 2) {
                RouteLinkRecord startRec;
                const bool haveStart = m_engine && m_engine->ReadLink(static_cast<int32_t>(foot.linkId), &startRec);
                const bool bySide = pts.startKind == 4 ||
                                    ((pts.startKind == 0 || pts.startKind == 1) && haveStart && startRec.roadClass > 2);
                if (bySide) DirectionFromSide(&m_start, foot, start);
            }
        }
    }

    // Waypoints.
    for (auto& v : m_via) v = RoutePointMatch{};
    for (int i = 0; i < ViaCount(request); ++i) {
        if (!FindLinkGrowing(*map, pts.via[i], {300, 3000}, 0, &foot)) return kRpFail;
        FillMatch(&m_via[i], pts.via[i], foot);
        const int32_t kind = pts.viaKind[i];
        if (kind == 5 || kind == 6) {
            RoutePointMatch& m = m_via[i];
            m.viaLinkList = 1;
            m.listKind = kind == 5 ? 1 : 0;
            m.listCount = std::clamp(kind == 5 ? pts.linkCount1 : pts.linkCount2, 0, kRouteRequestMaxLinks);
            const int32_t* ids = kind == 5 ? pts.links1 : pts.links2;
            std::copy(ids, ids + m.listCount, m.listIds);
            m_linkListFlag = 1;
        }
    }
    m_paramState = 3;
    return 1;
}

int ModuleRPParam::ReArrangeParam(const RouteRequest& request, RoutePlanRequest* out) const {
    const int via = ViaCount(request);
    out->legCount = via + 1;
    for (int k = 0; k < out->legCount; ++k) {
        out->legs[k] = RoutePlanLeg{};
        out->legs[k].index = k;
    }

    RoutePlanLegEnd& origin = out->legs[0].origin;
    if (m_replan != 0) {
        origin.point = m_start.point;
        origin.foot = m_start.foot;
        origin.AddLink(m_start.forwardLink);
    } else if (!LinksByDirection(m_start, &origin)) {
        DebugTrace(1, "[RP00] ReArrangeParam() Fail!!!\n");
        return kRpFail;
    }

    for (int k = 0; k < via; ++k) {
        WaypointEnd(m_via[k], request, &out->legs[k].destination);
        out->legs[k + 1].origin = out->legs[k].destination;
    }
    if (!LinksByDirection(m_goal, &out->legs[via].destination)) {
        DebugTrace(1, "[RP**] ReArrangeParam() Fail - Goal Pos!!!\n");
        return kRpFail;
    }
    return 1;
}

int ModuleRPParam::InitMemory() {
    {
        MgrLock hold(m_lock);
        m_selected = RouteSelectedSlot{};
    }
    if (!m_engine || m_engine->ReserveMemory() <= 0) {
        DebugTrace(1, "Route Planning> #1 Memory_Initialization Fail!!!\n");
        return kRpFail;
    }
    const int rc = AllocatedRoadMemory();
    if (rc <= 0) return rc == 0 ? kRpFail : rc;
    const std::string folder = platform::Utf16ToUtf8(m_settings.mapFolder);
    if (m_engine->LoadConfig(folder + "\\Config\\Route.cfg") < 0) {
        DebugTrace(1, "[RP**] Route.cfg could not be loaded from %s\n", folder.c_str());
        return kRpFail;
    }
    // The much-used links are read while the road memory is still there.
    if (m_restoreCached) m_engine->RestoreCachedLinks();
    if (m_hasSettings && m_settings.releaseFlag != 0) FreeRoadMemory();
    return 1;
}

int ModuleRPParam::AllocatedRoadMemory() {
    if (m_roadMemory) {
        DebugTrace(2, "# Warning!!! AllocatedRoadMemory() - Already Allocated\n");
        return 1;
    }
    if (!m_engine) return kRpFail;
    const size_t bytes = RouteRoadMemoryBytes(m_hasSettings ? &m_settings.roadMemoryKB : nullptr);
    const int rc = m_engine->OpenRoadData(bytes);
    if (rc <= 0) return rc == 0 ? kRpFail : rc;
    m_roadMemory = true;
    return 1;
}

int ModuleRPParam::FreeRoadMemory() {
    if (!m_roadMemory) {
        DebugTrace(2, "# Warning!!! FreeRoadMemory() - Already Called or Not Allocated\n");
        return 1;
    }
    if (m_engine) m_engine->CloseRoadData();
    m_roadMemory = false;
    return 1;
}

int ModuleRPParam::PlanRoute(const RouteRequest& request) { return Run(request, false); }

int ModuleRPParam::PlanReRoute(const RouteRequest& request) { return Run(request, true); }

int ModuleRPParam::MatchReplanStart() {
    CMgrConfigModuleGPS* gps = CMgrConfigModuleGPS::Instance();
    if (gps == nullptr) {
        DebugTrace(1, "[RP**] MgrConfigModuleGPS Instance() Fail!!!\n");
        return kRpFail;
    }
    tagMAPMATCHINFO match;
    gps->GetMatchInfo(&match);
    const MapPoint position = CurrentPosition();
    m_start = RoutePointMatch{};
    m_start.point = position;
    m_start.foot = position;
    m_start.directions = 1;
    m_start.direction = 1;
    // The matcher's link while it is on one; the fix record keeps no match
    // age, so an on-link match counts as current.
    if (gps->IsFixReceived() && match.status == 1 && match.linkId != 0) {
        m_start.forwardLink = match.linkId;
        m_start.headingDeg = match.headingDeg;
        return 1;
    }
    CMgrMap* map = CMgrMap::Instance();
    MneLinkFoot foot;
    if (map == nullptr || !map->IsOpen() || !FindLinkGrowing(*map, position, {300, 1000}, 0, &foot)) return kRpFail;
    m_start.foot = foot.foot;
    m_start.forwardLink = static_cast<int32_t>(foot.linkId);
    if (foot.directions == 2 && foot.reverseLinkId != 0 && SideOf(foot, position) > 0) {
        m_start.forwardLink = static_cast<int32_t>(foot.reverseLinkId);
    }
    return 1;
}

int ModuleRPParam::Run(const RouteRequest& request, bool replan) {
    MgrConfigModuleRP* settings = MgrConfigModuleRP::Instance();
    m_replan = replan ? 1 : 0;
    m_linkListFlag = 0;
    const auto fail = [settings](int code) {
        if (settings != nullptr) settings->SetLastError(code);
        return code;
    };
    int rc = AllocatedRoadMemory();
    if (rc <= 0) return fail(rc == 0 ? kRpFail : rc);

    const uint32_t mode = request.uRouteMode;
    m_optionFlag = (mode & kOptionKeepBits) != 0 ? 1 : 0;
    m_optionBits = mode & MgrConfigModuleRP::kOptionMask;
    m_routeKinds = mode & MgrConfigModuleRP::kKindMask;
    if (m_optionFlag == 0 && m_replanType != 5) {
        const bool keepForType6 = replan && m_replanType == 6;
        if (m_replanType != 3) m_avoidance.Clear();
        if (m_replanType != 4 && !keepForType6) m_detour.Clear();
        if (!keepForType6) {
            m_option.Clear();
            m_optionFlag = 0;
        }
    }

    if (replan) {
        rc = MatchReplanStart();
        if (rc != 1) return fail(rc);
    }
    auto* map = CMgrMap::Instance();
    const int via = ViaCount(request);
    m_areaFlags[0] = map != nullptr ? map->IsInCityArea(replan ? m_start.point : request.points.start) : 1;
    for (int i = 0; i < via; ++i) m_areaFlags[i + 1] = map != nullptr ? map->IsInCityArea(request.points.via[i]) : 1;
    m_areaFlags[via + 1] = map != nullptr ? map->IsInCityArea(request.points.goal) : 1;

    rc = SetRoutePos(request, request.sOption.eGoalType, m_replan, request.sOption.bIsGoalDir);
    if (rc != 1) {
        // A re-plan does not go on with the previous run's points either:
        // they belong to another request.
        DebugTrace(1, "[RP00] SetRoutePos() Fail!!! (Err:%d)\n", rc);
        return fail(rc);
    }

    if (replan) {
        if (m_option.HasLinks() && m_replanType != 6) {
            if (m_optionBits & 0x200) m_option.KeepGroup(1);
            else if (m_optionBits & 0x400) m_option.KeepGroup(2);
        }
    } else if (m_optionFlag != 0) {
        const RouteLinkLookup lookup = [this](int32_t id, RouteLinkFacts* f) {
            RouteLinkRecord rec;
            if (!m_engine || !m_engine->ReadLink(id, &rec)) return false;
            *f = rec;
            return true;
        };
        const std::vector<int32_t> picked =
            PickOptionLinks(m_result.links.data(), static_cast<int>(m_result.links.size()), lookup);
        if (!picked.empty()) {
            m_option.Append(static_cast<int>(picked.size()), picked.data());
            m_option.MarkGroupEnd();
        }
    }

    RoutePlanRequest plan;
    plan.routeKinds = m_routeKinds;
    plan.optionBits = m_optionBits;
    plan.courseValue = request.sOption.bTP;         // offset 12
    plan.passValue = request.sOption.bShortTurn;    // offset 20
    plan.hasRoadOptions = (mode & 1) != 0;
    if (plan.hasRoadOptions) {
        const RouteRequestPref& p = request.sPref;
        const uint8_t bytes[7] = {p.yHighWay, p.yCityHighWay, p.yTollRoad, p.yLane3, p.yAlley, p.yDetourUturn,
                                  p.yDetourLeft};
        std::copy(std::begin(bytes), std::end(bytes), plan.roadOptions);
    }
    plan.fullRange = m_fullRange;
    plan.oneDirectional = settings != nullptr && settings->UsesOneDirectionalSearch();
    plan.regional = settings != nullptr && settings->UsesRegionalCosts();
    plan.limit = kRouteSearchLimit;
    plan.replanType = m_replanType;
    plan.viaLinkList = m_linkListFlag != 0;
    plan.detour = &m_detour;
    plan.avoidance = &m_avoidance;
    plan.option = &m_option;
    rc = ReArrangeParam(request, &plan);
    if (rc != 1) return fail(rc);

    RoutePlanResult result;
    rc = m_engine->Plan(plan, &result);
    if (rc <= 0) return fail(rc == 0 ? kRpFail : rc);
    m_result = std::move(result);
    m_lastRequest = request;
    return 1;
}

int ModuleRPParam::CopyAADLinksRP2SVC(int slot) {
    MgrConfigModuleRP* settings = MgrConfigModuleRP::Instance();
    if (settings == nullptr) {
        DebugTrace(1, "ModuleRPParam::CopyAADLinksRP2SVC(%d) Fail!!\n", slot);
        return kRpFail;
    }
    MgrLock results(*settings->GetLock());
    const RouteResultEntry* entry = settings->GetResult(slot);
    if (entry == nullptr) return kRpFail;
    RouteSelectedSlot selected;
    selected.replanFlag = entry->id;
    selected.linkCount = entry->linkCount;
    selected.mode = entry->mode;
    if (entry->links && entry->linkCount > 0) selected.links.assign(entry->links.get(), entry->links.get() + entry->linkCount);
    selected.sectionCount = entry->inlineCount;
    std::copy(std::begin(entry->inlineValues), std::end(entry->inlineValues), std::begin(selected.sections));
    MgrLock hold(m_lock);
    m_selected = std::move(selected);
    return m_selected.linkCount;
}

RouteSelectedSlot ModuleRPParam::SelectedSlot() {
    MgrLock hold(m_lock);
    return m_selected;
}
