#include "render/overlay_inputs.h"

#include <algorithm>

#include "settings/course_current.h"
#include "platform/byte_cursor.h"
#include "settings/global_data.h"
#include "settings/handover.h"
#include "settings/module_draw.h"
#include "settings/module_gps.h"
#include "settings/module_sch.h"
#include "settings/module_svc.h"
#include "settings/ui_setting.h"

bool MneRoutePath::PointRange(int32_t* first, int32_t* last) const {
    if (points.empty() || segments.empty()) return false;
    const int32_t n = static_cast<int32_t>(points.size());
    const int32_t a = std::clamp(segments.front()[0], 0, n - 1);
    const int32_t b = std::clamp(segments.back()[1], 0, n - 1);
    if (b < a) return false;
    *first = a;
    *last = b;
    return true;
}

// ---- Settings-backed source -------------------------------------------------------------

namespace {

void CopyRoute(const GuideRoute& route, int32_t enabled, MneRoutePath& out) {
    out.enabled = enabled;
    out.routeOption = route.routeWord;
    if (const MapPoint* p = route.pathPoints.Data()) out.points.assign(p, p + route.pathPoints.Count());
    out.segments.clear();
    for (int32_t i = 0; i < route.sections.Count(); ++i)
        out.segments.push_back({route.sections[i].firstPathPoint, route.sections[i].lastPathPoint});
}

void CopyRing(const GpsHistoryRing& ring, MneTrailRing& out) {
    for (int i = 0; i < MneTrailRing::kSize; ++i) out.points[static_cast<size_t>(i)] = {ring.points[i].x, ring.points[i].y};
    out.count = std::clamp(ring.count, 0, MneTrailRing::kSize);
    out.newest = ((ring.writeIndex - 1) % MneTrailRing::kSize + MneTrailRing::kSize) % MneTrailRing::kSize;
}

}  // namespace

void MneSearchPagePoints(const SearchResultRecord* page, int count, std::vector<MapPoint>* out) {
    out->clear();
    for (int i = 0; i < count; ++i) {
        // The place's position at bytes 24 and 28 of a result.
        platform::ByteReader r(page[i].bytes, sizeof page[i].bytes);
        r.Seek(24);
        const MapPoint p{r.I32(), r.I32()};
        if (p.x == 0 && p.y == 0) break;
        out->push_back(p);
    }
}

void MneUserMarkersOf(const UIExternalPos* entries, int count, std::array<MneUserMarker, 16>* out) {
    out->fill(MneUserMarker{});
    for (int i = 0; i < std::min(count, 16); ++i)
        (*out)[static_cast<size_t>(i)] = MneUserMarker{entries[i].nValid, MapPoint{entries[i].x, entries[i].y}};
}

void MneSettingsOverlayInputs::Read(MneOverlayInputs* out) {
    const CMgrConfigGlobalData& global = CMgrConfigGlobalData::Instance();
    out->drawAnti = global.m_drawAnti;
    out->previewSlot = global.m_routePreview.routeSlot;
    out->previewFirst = global.m_routePreview.counters[0];
    out->previewLast = global.m_routePreview.counters[1];

    if (CMgrConfigUISetting* ui = CMgrConfigUISetting::Instance()) {
        MgrLock hold(*ui->GetLock());
        const UISettingRecord& r = ui->Record();
        out->routeColourDay = r.eRouteColorDay;
        out->routeColourNight = r.eRouteColorNight;
        out->mapScreenMode = r.eMapScreenMode;
        out->leftMapMode = r.eLeftMapMode;
        out->rightMapMode = r.eRightMapMode;
        out->viewGpsLog = r.bViewGPSLog;
    }
    if (CMgrConfigModuleGPS* gps = CMgrConfigModuleGPS::Instance()) {
        out->position = gps->GetMatchedPosition();
        GpsHistoryRing ring;
        gps->GetHistoryRing(CMgrConfigModuleGPS::kRawRing, &ring);
        CopyRing(ring, out->rawTrail);
        gps->GetHistoryRing(CMgrConfigModuleGPS::kMatchedRing, &ring);
        CopyRing(ring, out->matchedTrail);
    }
    if (CMgrConfigModuleSCH* search = CMgrConfigModuleSCH::Instance()) {
        MgrLock hold(*search->GetLock());
        MneSearchPagePoints(search->results, CMgrConfigModuleSCH::kResultPageSize, &out->searchPoints);
    }
    if (CMgrConfigUIInfo* info = CMgrConfigUIInfo::Instance()) {
        UIExternalPos entries[kUIExternalPosCount];
        const int held = info->GetExternalPositions(entries);
        MneUserMarkersOf(entries, held > 0 ? kUIExternalPosCount : 0, &out->userMarkers);
    }
    if (CMgrConfigUIInfoCourseCurrent* course = CMgrConfigUIInfoCourseCurrent::Instance()) {
        _tagUISTRUCT_COURSEINFO body;
        course->CopyCourseTo(&body);
        out->courseStart = body.lStartPosInfo.PosInfo.wcPosition;
        std::vector<MapPoint> valid;
        for (const _tagUISTRUCT_COURSEPOS& p : body.lCoursePosInfo)
            if (p.IsValid()) valid.push_back(p.PosInfo.wcPosition);
        out->courseGoal = valid.empty() ? MapPoint{} : valid.back();
        if (!valid.empty()) valid.pop_back();
        out->courseVia = std::move(valid);
        out->courseTarget = out->courseGoal;
    }
    if (CMgrConfigModuleSVC* svc = CMgrConfigModuleSVC::Instance()) {
        out->routeState = svc->GetState();
        out->guidanceOnRoute = svc->IsGuiding();
        MgrLock hold(*svc->GetLock());
        // The routes' tables are replaced whenever a route changes, so their
        // addresses and sizes tell whether the set must be built again.
        std::array<const void*, 5> keys{};
        std::array<int32_t, 5> counts{};
        for (int s = 0; s < 4; ++s) {
            const GuideRoute* r = svc->IsSlotUsed(s) ? svc->SlotRoute(s) : nullptr;
            keys[static_cast<size_t>(s)] = r ? r->pathPoints.Data() : nullptr;
            counts[static_cast<size_t>(s)] = r ? r->pathPoints.Count() + (r->sections.Count() << 16) : -1;
        }
        GuideRoute& selected = svc->SelectedRoute();
        keys[4] = selected.pathPoints.Data();
        counts[4] = selected.pathPoints.Count() + (selected.sections.Count() << 16);
        if (!m_routes || keys != m_routeKeys || counts != m_routeCounts) {
            auto set = std::make_shared<MneRouteSet>();
            set->version = ++m_version;
            for (int s = 0; s < 4; ++s) {
                if (const GuideRoute* r = svc->IsSlotUsed(s) ? svc->SlotRoute(s) : nullptr)
                    CopyRoute(*r, 1, set->rows[static_cast<size_t>(s)]);
            }
            CopyRoute(selected, svc->IsGuideDataPresent() == 1 ? 1 : 0, set->driven);
            m_routes = std::move(set);
            m_routeKeys = keys;
            m_routeCounts = counts;
        }
        out->routes = m_routes;
        // The car on the route: guidance tracks the link it is on, which is
        // the route's segment of that index.
        const GuideTrackingState& tracking = svc->Tracking();
        out->car = MneRouteCar{};
        if (out->guidanceOnRoute && tracking.linkIndex >= 0 &&
            tracking.linkIndex < static_cast<int32_t>(m_routes->driven.segments.size())) {
            out->car.known = 1;
            out->car.segment = tracking.linkIndex;
            out->car.pointOffset = 0;
            out->car.position = out->position;
        }
    }
}

int MneSettingsOverlayInputs::TakeRouteChanged() {
    CMgrConfigModuleDraw* draw = CMgrConfigModuleDraw::Instance();
    if (draw == nullptr) return 0;
    int32_t expected = 1;
    return draw->routeChanged.compare_exchange_strong(expected, 0, std::memory_order_acq_rel) ? 1 : 0;
}

void MneSettingsOverlayInputs::ResetRoutePreview() { CMgrConfigGlobalData::Instance().ResetRoutePreview(); }

// ---- Fixed source -------------------------------------------------------------------------

void MneFixedOverlayInputs::Read(MneOverlayInputs* out) {
    std::lock_guard<std::mutex> hold(m_mutex);
    *out = m_inputs;
}

void MneFixedOverlayInputs::Set(const MneOverlayInputs& inputs) {
    std::lock_guard<std::mutex> hold(m_mutex);
    m_inputs = inputs;
}

void MneFixedOverlayInputs::SetRouteChanged() {
    std::lock_guard<std::mutex> hold(m_mutex);
    m_routeChanged = 1;
}

int MneFixedOverlayInputs::TakeRouteChanged() {
    std::lock_guard<std::mutex> hold(m_mutex);
    const int was = m_routeChanged;
    m_routeChanged = 0;
    return was;
}

void MneFixedOverlayInputs::ResetRoutePreview() {
    std::lock_guard<std::mutex> hold(m_mutex);
    m_inputs.previewSlot = -1;
    m_inputs.previewFirst = 0;
    m_inputs.previewLast = -1;
}

void MneFixedOverlayInputs::ClearSimulationMarker() {
    std::lock_guard<std::mutex> hold(m_mutex);
    m_inputs.simulationMarker = 0;
}
