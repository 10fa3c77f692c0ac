#include "route/module_rp.h"

#include <chrono>
#include <thread>

#include "foundation/debug_trace.h"
#include "mapdb/mgr_map.h"
#include "settings/module_rp.h"

namespace {

constexpr uint32_t kStateKeepBits = 0xF000;
constexpr uint32_t kPostTimeoutMs = 1000;

bool IsRunState(int32_t state) { return state == kRpStatePlanning || state == kRpStateReplanning; }

}  // namespace

// ---- the thread ------------------------------------------------------------

ModuleRPThread::ModuleRPThread(MgrConfigModuleRP* settings, ModuleRPParam* param, std::atomic<int>* initFailed)
    : m_settings(settings), m_param(param), m_initFailed(initFailed) {}

ModuleRPThread::~ModuleRPThread() { CMgrWorkThread::StopThread(kMgrUnlimitedStopWaitMs); }

int ModuleRPThread::InitInstance() {
    SetQuitFlag(0);
    if (m_settings == nullptr) return 0;
    if (m_param == nullptr) {
        DebugTrace(1, "[RP00] ModuleRPParam Instance Error!!!\n");
        m_settings->SetState(kRpStateFailed);
        return 0;
    }
    if (!RegistThread()) {
        m_settings->SetState(kRpStateFailed);
        return 0;
    }
    // Up only once everything the thread needs is there.
    m_settings->SetState(kRpStateThreadUp);
    return 1;
}

void ModuleRPThread::Run() {
    uint8_t payload[kMgrModuleMaxPayload];
    while (!GetQuitFlag()) {
        uint32_t sender = 0, code = 0, length = 0;
        if (!GetThreadMessage(&sender, &code, payload, sizeof payload, &length, nullptr, kMgrInfinite)) continue;
        if (code == kRpMsgQuit) break;
        Handle(code, payload, length);
        DebugTrace(3, "[RP%04x]$ MSG(%u) IN ...\n", static_cast<unsigned>(m_settings->GetState()), code);
    }
}

void ModuleRPThread::Handle(uint32_t code, const uint8_t* payload, uint32_t length) {
    const int32_t state = m_settings->GetState();
    if (code == kRpMsgInit) {
        if (state == kRpStateCreated) {
            m_settings->SetState(kRpStateThreadUp);
        } else if (state == kRpStateThreadUp) {
            // Ready only when the memory and the configuration are there; a
            // failed initialisation must not look ready.
            if (m_param->InitMemory() == 1) {
                m_settings->SetState(kRpStateReady);
            } else {
                m_initFailed->store(1, std::memory_order_release);
                m_settings->SetState(kRpStateFailed);
            }
        }
        return;
    }
    if ((code == kRpMsgPlan || code == kRpMsgReplan) &&
        (IsRunState(state) || (static_cast<uint32_t>(state) & kStateKeepBits) != 0)) {
        RunPlan(code, payload, length);
    }
}

void ModuleRPThread::RunPlan(uint32_t code, const uint8_t* payload, uint32_t length) {
    RouteParamInput bytes;
    if (length != sizeof bytes.bytes) {
        m_settings->SetLastError(kRpFail);
        m_settings->SetState(kRpStateFailed);
        return;
    }
    std::copy(payload, payload + length, bytes.bytes);
    const RouteRequest request = DecodeRouteRequest(bytes);
    m_param->SetReplanType(request.routeType);
    m_settings->SetState(code == kRpMsgPlan ? kRpStatePlanning : kRpStateReplanning);

    int rc = code == kRpMsgPlan ? m_param->PlanRoute(request) : m_param->PlanReRoute(request);
    SetThreadPriority(0);
    if (rc == 1) {
        const RoutePlanResult& route = m_param->LastResult();
        RouteResultInput entry;
        entry.id = code == kRpMsgReplan ? 1 : 0;
        entry.linkCount = static_cast<int32_t>(route.links.size());
        entry.mode = request.uRouteMode;
        entry.links = route.links.data();
        entry.inlineCount = route.sectionCount > 0 ? route.sectionCount - 1 : 0;
        std::copy(std::begin(route.boundaries), std::end(route.boundaries), std::begin(entry.inlineValues));
        entry.values = route.trafficIds.size() == route.links.size() ? route.trafficIds.data() : nullptr;
        MgrLock hold(*m_settings->GetLock());
        m_settings->RouteRequest() = bytes;
        if (m_settings->AddRouteResult(entry, route.trafficUsed ? 3 : 0) != 1) {
            // The screens free the results before asking for more than four.
            rc = kRpFail;
            m_settings->SetLastError(rc);
        }
    }
    if (rc == 1) {
        m_settings->SetState(kRpStateDone);
        DebugTrace(1, "[S%02d] ROUTE PLANNING COMPLETION!!!\n", static_cast<int>(m_settings->GetState()));
    } else {
        m_settings->SetState(kRpStateFailed);
        DebugTrace(1, "[S%02d] ROUTE PLANNING FAIL!!!(Err:%d)\n", static_cast<int>(m_settings->GetState()), rc);
    }
}

int ModuleRPThread::ExitInstance() {
    if (m_settings != nullptr) m_settings->SetState(kRpStateEnded);
    UnregistThread();
    DebugTrace(2, "[RP99] Terminated RP Thread!!!\n");
    return 0;
}

int ModuleRPThread::StopThread(uint32_t timeoutMs) {
    if (GetThreadHandle() == 0 || IsOwnThread()) return 0;
    if (m_settings != nullptr && IsThreadRunning()) m_settings->SetState(kRpStateStopAsked);
    return CMgrWorkThread::StopThread(timeoutMs);
}

// ---- the module ------------------------------------------------------------

ModuleRP::ModuleRP() = default;

ModuleRP::~ModuleRP() { StopModule(kMgrUnlimitedStopWaitMs); }

int ModuleRP::StartModule(const ModuleRPSettingsBlock* settings) {
    if (IsStarted()) return kRpFail;
    m_settings = MgrConfigModuleRP::Instance();
    ModuleRPParam* param = ModuleRPParam::Instance();
    if (m_settings == nullptr || param == nullptr) return kRpFail;
    if (m_thread) {
        // A thread that did not end at an earlier stop: it must go first.
        if (m_thread->IsThreadRunning()) return kRpFail;
        m_thread.reset();
    }
    param->SetSettings(settings);
    m_initFailed.store(0, std::memory_order_release);
    m_settings->SetState(kRpStateCreated);

    m_thread = std::make_unique<ModuleRPThread>(m_settings, param, &m_initFailed);
    const auto fail = [this] {
        m_settings->SetState(kRpStateEnded);
        if (m_thread && m_thread->StopThread(kMgrUnlimitedStopWaitMs) == 1) m_thread.reset();
        return kRpFail;
    };
    if (!m_thread->CreateThread(0, 0, 0)) return fail();
    // The thread says it is up (1) or that it could not start (0x2000).
    for (uint32_t waitedMs = 0; m_settings->GetState() == kRpStateCreated; waitedMs += 10) {
        if (waitedMs >= kStartWaitMs || !m_thread->IsThreadRunning()) return fail();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (m_settings->GetState() != kRpStateThreadUp) return fail();
    if (!CMgrWorkThread::SendThreadMessage(kModuleRPThreadName, kRpMsgInit, nullptr, 0, kPostTimeoutMs)) {
        m_settings->SetState(kRpStateFailed);
        return kRpPostFailed;
    }
    m_started.store(1, std::memory_order_release);
    return 1;
}

int ModuleRP::StopModule(uint32_t timeoutMs) {
    m_started.store(0, std::memory_order_release);
    if (!m_thread) return 1;
    const int rc = m_thread->StopThread(timeoutMs);
    if (!m_thread->IsThreadRunning()) m_thread.reset();
    return rc == 1 || !m_thread ? 1 : 0;
}

int ModuleRP::IsMemoryReady() const {
    return IsStarted() && m_settings->GetState() == kRpStateReady ? 1 : 0;
}

bool ModuleRP::IsRunning() const { return m_settings != nullptr && IsRunState(m_settings->GetState()); }

int ModuleRP::Post(uint32_t code, const RouteRequest& request) {
    const RouteParamInput bytes = EncodeRouteRequest(request);
    if (!CMgrWorkThread::SendThreadMessage(kModuleRPThreadName, code, bytes.bytes, sizeof bytes.bytes,
                                           kPostTimeoutMs)) {
        m_settings->SetState(kRpStateFailed);
        return kRpPostFailed;
    }
    return 1;
}

int ModuleRP::Submit(const RouteRequest& request, int32_t runState, uint32_t code, bool replan) {
    if (!IsStarted()) return kRpNotStarted;
    if (m_initFailed.load(std::memory_order_acquire)) return kRpFail;
    if ((static_cast<uint32_t>(m_settings->GetState()) & kStateKeepBits) == 0) return kRpNotReady;
    ModuleRPParam* param = ModuleRPParam::Instance();
    const int distance = param->CheckRouteDistance(request);
    if (distance != 1) {
        if (!replan) return distance;
        DebugTrace(1, "Distance Error!!!\n");
    }
    uint32_t derived = 0;
    if (m_settings->CheckRouteMode(request.uRouteMode, &derived) < 0) return kRpModeRefused;
    RouteRequest copy = request;
    copy.uRouteMode = derived;
    m_settings->SetState(runState);
    return Post(code, copy);
}

int ModuleRP::PlanRoute(const RouteRequest& request, int fullRange) {
    if (IsStarted() && !IsRunning()) ModuleRPParam::Instance()->SetFullRange(fullRange != 0);
    RouteRequest copy = request;
    copy.routeType = 0;
    return Submit(copy, kRpStatePlanning, kRpMsgPlan, false);
}

int ModuleRP::DoReRoute(const RouteRequest& request, int replanType) {
    RouteRequest copy = request;
    copy.routeType = replanType;
    const int rc = Submit(copy, kRpStateReplanning, kRpMsgReplan, true);
    if (rc == 1 && (replanType == 4 || replanType == 6)) GetElapsedTicks(1);
    return rc;
}

int ModuleRP::GetRouteStatus() const {
    if (!IsStarted()) return kRpNotStarted;
    const int32_t state = m_settings->GetState();
    if (IsRunState(state)) return kRpRunning;
    if (state == kRpStateDone) return 1;
    if (state != kRpStateFailed) m_settings->SetLastError(kRpBadState);
    return kRpFailed;
}

int ModuleRP::GetRouteLinkCount() const {
    if (!IsStarted()) return kRpNotStarted;
    return m_settings->SumRouteResults();
}

int ModuleRP::GetElapsedTicks(int restamp) {
    MgrConfigModuleRP* settings = MgrConfigModuleRP::Instance();
    if (settings == nullptr) return -1;
    const uint32_t now = MgrGetTickCount();
    const int elapsed =
        m_stamped.load(std::memory_order_acquire) ? static_cast<int>(now - settings->GetReRouteTick()) : -1;
    if (restamp != 0) {
        settings->SetReRouteTick(now);
        m_stamped.store(1, std::memory_order_release);
    }
    return elapsed;
}

int ModuleRP::BFreeAllRouteResults() {
    if (IsRunning()) {
        DebugTrace(1, "# Warning!!! ... BFreeAllRouteResults() RoutePlan Running\n");
        return kRpRunning;
    }
    MgrConfigModuleRP* settings = MgrConfigModuleRP::Instance();
    if (settings != nullptr) settings->FreeAllResults();
    ModuleRPParam* param = ModuleRPParam::Instance();
    if (param == nullptr) {
        DebugTrace(1, "# Warning!!! ... BFreeAllRouteResults() ModuleRPParam::Instance\n");
        return 1;
    }
    if (param->ReleasesRoadMemory() && param->HasRoadMemory()) {
        param->FreeRoadMemory();
        DebugTrace(2, "# BFreeAllRouteResults() : Called FreeRoadMemory() !!!\n");
    }
    return 1;
}

int ModuleRP::SelectAADSlot(int slot) {
    if (!IsStarted()) return kRpNotStarted;
    if (IsRunning()) return kRpRunning;
    DebugTrace(2, "[RP**] <<AAD>> Selected Slot> %d ----------\n", slot);
    if (slot < 0 || slot >= kRouteResultSlots || slot >= m_settings->GetResultCount()) return kRpFail;
    ModuleRPParam* param = ModuleRPParam::Instance();
    for (RouteDetour* set : {static_cast<RouteDetour*>(&param->Detour()), static_cast<RouteDetour*>(&param->Avoidance()),
                             static_cast<RouteDetour*>(&param->Option())}) {
        set->DropSaved();
        if (set->HasLinks()) set->Save(true);
    }
    return param->CopyAADLinksRP2SVC(slot);
}

int ModuleRP::RestoreAllLinkSets() {
    if (!IsStarted()) return kRpNotStarted;
    if (IsRunning()) return kRpRunning;
    ModuleRPParam* param = ModuleRPParam::Instance();
    if (param == nullptr) return kRpNoParamStore;
    param->Detour().Restore();
    param->Avoidance().Restore();
    param->Option().Restore();
    return 1;
}

int ModuleRP::ClearAllLinkSets() {
    if (!IsStarted()) return kRpNotStarted;
    if (IsRunning()) return kRpRunning;
    ModuleRPParam* param = ModuleRPParam::Instance();
    param->Detour().Clear();
    param->Avoidance().Clear();
    param->Option().Clear();
    return 1;
}

int ModuleRP::ResetAllLinkSets() {
    if (!IsStarted()) return kRpNotStarted;
    if (IsRunning()) return kRpRunning;
    ModuleRPParam* param = ModuleRPParam::Instance();
    param->Detour().DropSaved();
    param->Avoidance().DropSaved();
    param->Option().DropSaved();
    return 1;
}

int ModuleRP::AddDetourLinks(int n, const int32_t* ids) {
    if (!IsStarted()) return kRpNotStarted;
    if (IsRunning()) return kRpRunning;
    ModuleRPParam::Instance()->Detour().Append(n, ids);
    return n;
}

int ModuleRP::AddAvoidLinks(int n, const int32_t* ids) {
    if (!IsStarted()) return kRpNotStarted;
    if (IsRunning()) return kRpRunning;
    ModuleRPParam::Instance()->Avoidance().Append(n, ids);
    return n;
}

int ModuleRP::ClearDetourLinks() {
    if (!IsStarted()) return kRpNotStarted;
    if (IsRunning()) return kRpRunning;
    return ModuleRPParam::Instance()->Detour().Clear();
}

int ModuleRP::IsExistAdjacentRoad(const MapPoint& point, int32_t radiusM) const {
    if (!IsStarted()) return kRpNotStarted;
    CMgrMap* map = CMgrMap::Instance();
    if (map == nullptr || !map->IsOpen()) {
        DebugTrace(1, "[RP**] IsExistAdjacentRoad() MgrMap::Instance() Fail!!!\n");
        return kRpFail;
    }
    MneLinkFoot foot;
    if (!map->FindNearestLink(point, radiusM, &foot, 0)) return kRpNoAdjacentRoad;
    if (foot.distance > radiusM) DebugTrace(2, "Distance From Base Point: %d-------\n", foot.distance);
    return foot.distance == 0 ? 1 : foot.distance;
}

int ModuleRP::CheckGoalRoad(const MapPoint& point) const {
    if (!IsStarted()) return kRpNotStarted;
    if (point.x == 0 || point.y == 0) return kRpFail;
    CMgrMap* map = CMgrMap::Instance();
    if (map == nullptr || !map->IsOpen()) {
        DebugTrace(1, "[RP88] MgrMap::Instance() Fail!!!\n");
        return kRpFail;
    }
    MneLinkFoot foot;
    if (!map->FindNearestLink(point, 100, &foot, 0) && !map->FindNearestLink(point, 1000, &foot, 0)) return kRpFail;
    RoutePlanEngine* engine = ModuleRPParam::Instance()->Engine();
    RouteLinkRecord rec;
    if (engine == nullptr || !engine->ReadLink(static_cast<int32_t>(foot.linkId), &rec)) return 1;
    return ClassifyGoalRoad(rec);
}

int ModuleRP::SetSearchCancel(int flag) {
    if (!IsStarted()) return kRpNotStarted;
    RoutePlanEngine* engine = ModuleRPParam::Instance()->Engine();
    if (engine == nullptr) return kRpFail;
    engine->SetCancel(flag != 0);
    return flag != 0 ? 1 : 0;
}
