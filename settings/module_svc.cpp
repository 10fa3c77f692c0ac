#include "settings/module_svc.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

#include "foundation/debug_trace.h"
#include "mapdb/version_check.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "settings/global_data.h"
#include "settings/module_gps.h"
#include "settings/module_rp.h"

namespace {

std::mutex g_servicesMutex;
GuideMapServices g_services;

// The version line of the base map under the data root, as the version
// screen shows it; unavailable when the map file cannot be opened.
int DefaultMapVersion(std::u16string& out) {
    out.clear();
    const CMgrConfigGlobalData& global = CMgrConfigGlobalData::Instance();
    const std::u16string root(global.m_rootFolder);
    if (root.empty()) return 0;
    MneVersionTrailer trailer;
    const int result = CheckVersion(platform::Utf16ToUtf8(root), kMneVersionBaseMap, &trailer);
    if (result == kMneVersionCannotOpen) return 0;
    MneVersionField version{};
    MneVersionField date{};
    FillVersionLine(result, trailer, version, date);
    out = MneVersionFieldText(version);
    return out.empty() ? 0 : 1;
}

int CurrentMapVersion(std::u16string& out) {
    std::function<int(std::u16string&)> source;
    {
        std::lock_guard<std::mutex> hold(g_servicesMutex);
        source = g_services.mapVersion;
    }
    if (!source) return DefaultMapVersion(out);
    out.clear();
    return source(out) == 1 && !out.empty() ? 1 : 0;
}

int LookUpRoadName(int32_t nameId, std::u16string& out) {
    std::function<int(int32_t, std::u16string&)> source;
    {
        std::lock_guard<std::mutex> hold(g_servicesMutex);
        source = g_services.roadName;
    }
    out.clear();
    return source ? source(nameId, out) : 0;
}

int LookUpLinkEnds(int32_t linkId, MapPoint& begin, MapPoint& end) {
    std::function<int(int32_t, MapPoint&, MapPoint&)> source;
    {
        std::lock_guard<std::mutex> hold(g_servicesMutex);
        source = g_services.linkEnds;
    }
    return source ? source(linkId, begin, end) : 0;
}

// "%s%s" of the route folder and the name, as a native path; false when
// there is no name, no route folder yet (the name alone would land in the
// file system's root) or the path is too long.
bool GuideFilePath(const char16_t* name, std::string& out) {
    out.clear();
    if (!name || !*name) return false;
    std::u16string path(CMgrConfigGlobalData::Instance().m_routeFolder);
    if (path.empty()) return false;
    path += name;
    return platform::NativePath(platform::Utf16ToUtf8(path), out);
}

void CopyName(const std::u16string& text, char16_t (&out)[kGuideNameUnits]) {
    const size_t n = std::min(text.size(), kGuideNameUnits - 1);
    std::copy_n(text.data(), n, out);
    std::fill(out + n, out + kGuideNameUnits, u'\0');
}

}  // namespace

void SetGuideMapServices(GuideMapServices services) {
    std::lock_guard<std::mutex> hold(g_servicesMutex);
    g_services = std::move(services);
}

// ---------------------------------------------------------------- GuideRoute

bool GuideRoute::AllocateArrays(int32_t count) {
    for (auto& array : arrays) array.Release();
    linkCount = 0;
    if (count < 0) return false;
    for (auto& array : arrays) {
        if (!array.Allocate(count)) {
            for (auto& a : arrays) a.Release();
            return false;
        }
    }
    linkCount = count;
    return true;
}

void GuideRoute::Release() { *this = GuideRoute(); }

// ------------------------------------------------------- CMgrConfigModuleSVC

CMgrConfigModuleSVC::CMgrConfigModuleSVC() : m_constructTickMs(platform::GetTickCount()) {}

CMgrConfigModuleSVC::~CMgrConfigModuleSVC() = default;

int CMgrConfigModuleSVC::SetSlotRoute(int slot, GuideRoute route, const GuideRoutePoint* points, int pointCount) {
    if (slot < 0 || slot >= kGuideSlotCount) return 0;
    if (pointCount < 0 || pointCount > kGuideRoutePointMax || (pointCount > 0 && !points)) return 0;
    MgrLock hold(m_lock);
    m_slotRoutes[slot] = std::move(route);
    std::fill(std::begin(m_slotPoints[slot]), std::end(m_slotPoints[slot]), GuideRoutePoint{});
    std::copy_n(points, pointCount, m_slotPoints[slot]);
    m_slotPointCount[slot] = pointCount;
    if (!m_slotUsed[slot]) {
        m_slotUsed[slot] = 1;
        ++m_slotsInUse;
    }
    return 1;
}

int CMgrConfigModuleSVC::IsSlotUsed(int slot) const {
    if (slot < 0 || slot >= kGuideSlotCount) return 0;
    MgrLock hold(const_cast<CMgrCriticalSection&>(m_lock));
    return m_slotUsed[slot];
}

int CMgrConfigModuleSVC::GetSlotsInUse() const {
    MgrLock hold(const_cast<CMgrCriticalSection&>(m_lock));
    return m_slotsInUse;
}

GuideRoute* CMgrConfigModuleSVC::SlotRoute(int slot) {
    if (slot < 0 || slot >= kGuideSlotCount) return nullptr;
    return &m_slotRoutes[slot];
}

int CMgrConfigModuleSVC::SelectSlot(int slot) {
    if (slot < 0 || slot >= kGuideSlotCount) return 0;
    MgrConfigModuleRP* planner = MgrConfigModuleRP::Instance();
    if (!planner) return 0;
    uint32_t kind = 0;
    {
        MgrLock plannerHold(*planner->GetLock());
        if (const RouteResultEntry* result = planner->GetResult(slot)) kind = result->mode & MgrConfigModuleRP::kKindMask;
    }

    MgrLock hold(m_lock);
    m_route = std::move(m_slotRoutes[slot]);
    m_slotRoutes[slot] = GuideRoute();
    std::copy(std::begin(m_slotPoints[slot]), std::end(m_slotPoints[slot]), m_points);
    m_pointCount = m_slotPointCount[slot];
    std::fill(std::begin(m_slotPoints[slot]), std::end(m_slotPoints[slot]), GuideRoutePoint{});
    m_slotPointCount[slot] = 0;
    if (m_slotUsed[slot]) {
        m_slotUsed[slot] = 0;
        if (m_slotsInUse > 0) --m_slotsInUse;
    }
    m_dataPresent.store(1, std::memory_order_release);
    m_routeKind.store(static_cast<int32_t>(kind), std::memory_order_release);
    m_selectTickMs.store(platform::GetTickCount(), std::memory_order_release);
    return 1;
}

void CMgrConfigModuleSVC::ClearSelectedLocked() {
    m_route.Release();
    m_pointCount = 0;
    std::fill(std::begin(m_points), std::end(m_points), GuideRoutePoint{});
}

int CMgrConfigModuleSVC::ClearGuideData() {
    MgrLock hold(m_lock);
    ClearSelectedLocked();
    return 1;
}

int CMgrConfigModuleSVC::ClearSlotGuideData() {
    MgrLock hold(m_lock);
    for (int s = 0; s < kGuideSlotCount; ++s) {
        if (!m_slotUsed[s]) continue;
        m_slotRoutes[s].Release();
        std::fill(std::begin(m_slotPoints[s]), std::end(m_slotPoints[s]), GuideRoutePoint{});
        m_slotPointCount[s] = 0;
        m_slotUsed[s] = 0;
    }
    m_slotsInUse = 0;
    return 1;
}

int CMgrConfigModuleSVC::ClearGuideStatus() {
    MgrLock hold(m_lock);
    m_status = GuideStatusBlock();
    return 1;
}

int CMgrConfigModuleSVC::ResetTrackingState() {
    MgrLock hold(m_lock);
    m_tracking = GuideTrackingState();  // both indices -1, the rest 0
    m_tracking.stampTickMs = platform::GetTickCount();
    return 1;
}

int CMgrConfigModuleSVC::GetRoutePointCount() const {
    MgrLock hold(const_cast<CMgrCriticalSection&>(m_lock));
    return m_pointCount;
}

int CMgrConfigModuleSVC::GetRoutePoint(int index, GuideRoutePoint* out) const {
    MgrLock hold(const_cast<CMgrCriticalSection&>(m_lock));
    if (!out || index < 0 || index >= m_pointCount) return 0;
    *out = m_points[index];
    return 1;
}

GuideTrackingState CMgrConfigModuleSVC::GetTracking() const {
    MgrLock hold(const_cast<CMgrCriticalSection&>(m_lock));
    return m_tracking;
}

GuideStatusBlock CMgrConfigModuleSVC::GetStatus() const {
    MgrLock hold(const_cast<CMgrCriticalSection&>(m_lock));
    return m_status;
}

// ------------------------------------------------------------ saved route

int CMgrConfigModuleSVC::SaveGuideData(const char16_t* name) {
    std::string path;
    if (!GuideFilePath(name, path)) {
        DebugTrace(1, "[SVC] Guide.dat: no usable file name\n");
        return 0;
    }

    std::vector<uint8_t> bytes;
    if (IsGuideDataPresent()) {
        // The version comes first: without it nothing may touch the file.
        std::u16string mapVersion;
        if (!CurrentMapVersion(mapVersion)) {
            DebugTrace(1, "[SVC] Guide.dat not saved: no map version\n");
            return 0;
        }
        GuideDatRecord record;
        record.mapVersion = mapVersion;
        record.routeKind = GetRouteKind();
        record.moduleState = kGuideDatModuleState;
        record.dataPresent = 1;
        {
            MgrLock hold(m_lock);
            record.routeWord = m_route.routeWord;
            record.pointCount = m_pointCount;
            std::copy(std::begin(m_points), std::end(m_points), record.points);
            const int32_t* links = m_route.LinkIds();
            if (m_route.linkCount > 0 && links) record.links.assign(links, links + m_route.linkCount);
        }
        if (!EncodeGuideDat(record, bytes)) {
            DebugTrace(1, "[SVC] Guide.dat not saved: %d route points, %zu links do not fit the file\n",
                       record.pointCount, record.links.size());
            return 0;
        }
    }

    std::string error;
    if (!platform::AtomicReplaceFile(path, bytes, &error)) {
        DebugTrace(1, "[SVC] Guide.dat not saved: %s\n", error.c_str());
        return 0;
    }
    return 1;
}

int CMgrConfigModuleSVC::LoadGuideData(const char16_t* name) {
    std::string path;
    if (!GuideFilePath(name, path)) return 0;
    platform::File file;
    if (!file.Open(path)) return 0;
    const int64_t size = file.Size();
    // No valid route makes a bigger file; nothing is read beyond that.
    if (size <= 0 || static_cast<uint64_t>(size) > kGuideDatMaxBytes) {
        DebugTrace(1, "[SVC] Guide.dat refused: %lld bytes\n", static_cast<long long>(size));
        return 0;
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    if (!file.ReadExactAt(0, bytes.data(), bytes.size())) {
        DebugTrace(1, "[SVC] Guide.dat refused: cannot be read\n");
        return 0;
    }
    file.Close();

    std::u16string mapVersion;
    if (!CurrentMapVersion(mapVersion)) {
        DebugTrace(1, "[SVC] Guide.dat refused: no map version\n");
        return 0;
    }
    GuideDatRecord record;
    const GuideDatStatus status = DecodeGuideDat(bytes.data(), bytes.size(), mapVersion, record);
    if (status != GuideDatStatus::kOk) {
        DebugTrace(1, "[SVC] Guide.dat refused: %s\n", GuideDatStatusText(status));
        return 0;
    }

    // Built aside, so a failure leaves the route guidance had.
    GuideRoute route;
    if (!route.AllocateArrays(static_cast<int32_t>(record.links.size()))) {
        DebugTrace(1, "[SVC] Guide.dat refused: no memory for %zu links\n", record.links.size());
        return 0;
    }
    std::copy(record.links.begin(), record.links.end(), route.LinkIds());
    route.routeWord = record.routeWord;

    MgrLock hold(m_lock);
    // The old route's tables index the old links; they go with it.
    ClearSelectedLocked();
    m_route = std::move(route);
    m_pointCount = record.pointCount;
    std::copy(std::begin(record.points), std::end(record.points), m_points);
    m_routeKind.store(record.routeKind, std::memory_order_release);
    m_state.Set(record.moduleState);
    m_dataPresent.store(record.dataPresent, std::memory_order_release);
    return 1;
}

int CMgrConfigModuleSVC::DeleteGuideFile(const char16_t* name) {
    std::string path;
    if (!GuideFilePath(name, path)) return 0;
    platform::RemoveFile(path);
    return platform::FileExists(path) ? 0 : 1;
}

int CMgrConfigModuleSVC::GetGuideFileVersion(std::u16string* out) const {
    if (out) *out = kGuideFileVersion;
    return 1;
}

// ----------------------------------------------------------------- re-route

int32_t CMgrConfigModuleSVC::SetReRouteState(int32_t state) {
    m_reRouteState.store(state, std::memory_order_release);
    return state;
}

int32_t CMgrConfigModuleSVC::IncrementReRouteCount() {
    MgrLock hold(m_lock);
    return ++m_tracking.reRouteCount;
}

void CMgrConfigModuleSVC::ClearReRouteCount() {
    MgrLock hold(m_lock);
    m_tracking.reRouteCount = 0;
}

void CMgrConfigModuleSVC::StampReRouteTime() {
    MgrLock hold(m_lock);
    m_tracking.stampTickMs = platform::GetTickCount();
}

int CMgrConfigModuleSVC::IsReRouteMinutePassed() const {
    uint32_t stamp;
    {
        MgrLock hold(const_cast<CMgrCriticalSection&>(m_lock));
        stamp = m_tracking.stampTickMs;
    }
    // Unsigned difference: correct across the 49-day wrap of the tick.
    return platform::GetTickCount() - stamp > 59999u ? 1 : 0;
}

// ---------------------------------------------------------------- questions

int CMgrConfigModuleSVC::CheckRouteContinuity(int slot) const {
    std::vector<int32_t> links;
    {
        MgrLock hold(const_cast<CMgrCriticalSection&>(m_lock));
        if (slot < 0 || slot >= kGuideSlotCount || !m_slotUsed[slot]) return kSlotNotInUse;
        const GuideRoute& route = m_slotRoutes[slot];
        if (route.linkCount <= 0 || !route.LinkIds()) return kNoLinks;
        links.assign(route.LinkIds(), route.LinkIds() + route.linkCount);
    }
    if (links.size() == 1) return 1;
    // Map look-ups run without this object's lock.
    MapPoint begin, end, nextBegin, nextEnd;
    if (!LookUpLinkEnds(links[0], begin, end)) return kRouteGap;
    for (size_t i = 1; i < links.size(); ++i) {
        if (!LookUpLinkEnds(links[i], nextBegin, nextEnd) || !(end == nextBegin)) return kRouteGap;
        end = nextEnd;
    }
    return 1;
}

int CMgrConfigModuleSVC::SpeedClass(int32_t roadKind, int32_t speedKmh) {
    if (roadKind > 1) {
        if (speedKmh < 10) return 4;
        if (speedKmh < 20) return 3;
        if (speedKmh < 30) return 2;
        return 1;
    }
    if (speedKmh < 30) return 4;
    if (speedKmh < 50) return 3;
    if (speedKmh < 70) return 2;
    return 1;
}

int CMgrConfigModuleSVC::GetSectionSpeed(int fromPoint, int toPoint, GuideSectionSpeed* out) const {
    if (!out) return 0;
    MgrLock hold(const_cast<CMgrCriticalSection&>(m_lock));
    const GuideRoute& route = m_route;
    const int32_t pointCount = route.guidePoints.Count();
    if (fromPoint < 0 || fromPoint >= pointCount || toPoint < 0 || toPoint >= pointCount) return 0;
    const GuidePoint& a = route.guidePoints[fromPoint];
    const GuidePoint& b = route.guidePoints[toPoint];
    if (a.linkIndex < 0 || a.linkIndex >= route.linkCount || b.linkIndex < 0 || b.linkIndex >= route.linkCount) {
        return 0;
    }
    const GuideArray<int32_t>& distance = route.arrays[kGuideArrayDistanceM];
    const GuideArray<int32_t>& time = route.arrays[kGuideArrayTimeS];
    const int64_t distanceM = std::max<int64_t>(0, int64_t{distance[b.linkIndex]} - distance[a.linkIndex]);
    const int64_t timeS = int64_t{time[b.linkIndex]} - time[a.linkIndex];
    int32_t speedKmh = 0;
    if (timeS > 0) speedKmh = static_cast<int32_t>(static_cast<double>(distanceM) / timeS * 3.6 + 0.5);
    out->speedKmh = speedKmh;
    out->distanceM = static_cast<int32_t>(distanceM);
    out->speedClass = SpeedClass(b.roadKind, speedKmh);
    return 1;
}

int CMgrConfigModuleSVC::GetUpcomingLinks(int32_t distanceM, int32_t* count, int32_t* first) const {
    CMgrConfigModuleGPS* gps = CMgrConfigModuleGPS::Instance();
    if (!gps || !count || !first || !IsGuiding()) return 0;
    tagMAPMATCHINFO match;
    gps->GetMatchInfo(&match);
    const int64_t leftOnLink = std::max<int32_t>(match.distanceToEndM, 0);
    MgrLock hold(const_cast<CMgrCriticalSection&>(m_lock));
    const int32_t b = m_tracking.linkIndex;
    const int32_t m = m_route.linkCount;
    const int32_t* cumulative = m_route.arrays[kGuideArrayDistanceM].Data();
    if (b < 0 || b >= m || !cumulative || m_route.arrays[kGuideArrayDistanceM].Count() < m) return 0;
    // Ahead of the position to the end of link i: what is left of link b
    // and the links between (cumulative distances count to each link's end).
    int32_t i = b;
    while (i + 1 < m && leftOnLink + (int64_t{cumulative[i]} - cumulative[b]) < distanceM) ++i;
    *count = i - b + 1;
    *first = b;
    return 1;
}

void CMgrConfigModuleSVC::UpdateRemainingDistance() {
    int32_t matchStatus = 0;
    if (CMgrConfigModuleGPS* gps = CMgrConfigModuleGPS::Instance()) {
        tagMAPMATCHINFO match;
        gps->GetMatchInfo(&match);
        matchStatus = match.status;
    }
    MgrLock hold(m_lock);
    const int32_t index = m_tracking.guidePointIndex;
    if (index < 0 || index >= m_route.guidePoints.Count()) return;
    const int32_t link = m_route.guidePoints[index].linkIndex;
    if (link < 0 || link >= m_route.linkCount) return;
    const int64_t delta = int64_t{m_route.arrays[kGuideArrayDistanceM][link]} - m_status.drivenDistanceM;
    if (delta < 0) {
        m_tracking.remainingDistanceM = 0;
        m_tracking.behindDistanceM = static_cast<int32_t>(-delta);
    } else if (matchStatus == 1) {
        m_tracking.remainingDistanceM = static_cast<int32_t>(delta);
    }
}

int CMgrConfigModuleSVC::GetGuidePointInfo(int index, GuidePointInfo* out) const {
    if (!out) return 0;
    GuidePoint point;
    int32_t nextNameId = 0;
    GuidePointInfo info;
    {
        MgrLock hold(const_cast<CMgrCriticalSection&>(m_lock));
        const GuideRoute& route = m_route;
        if (index < 0 || index >= route.guidePoints.Count()) return 0;
        point = route.guidePoints[index];
        if (index + 1 < route.guidePoints.Count()) nextNameId = route.guidePoints[index + 1].nameIds[0];
        if (point.linkIndex >= 0 && point.linkIndex < route.linkCount) {
            info.distanceM = route.arrays[kGuideArrayDistanceM][point.linkIndex] - m_status.drivenDistanceM;
            info.timeS = route.arrays[kGuideArrayTimeS][point.linkIndex] - m_status.drivenTimeS;
        }
    }
    info.guideType = point.guideType;
    info.flags = point.flags;
    info.laneCount = point.laneCount;
    if (point.laneCount <= 4) std::copy(std::begin(point.laneWords), std::end(point.laneWords), info.laneWords);
    // Names come from the map, outside this object's lock.
    const int32_t nameIds[4] = {point.nameIds[0], nextNameId, point.nameIds[1], point.nameIds[2]};
    for (int i = 0; i < 4; ++i) {
        std::u16string name;
        if (nameIds[i] > 0) GetRoadName(nameIds[i], &name);
        CopyName(name, info.names[i]);
    }
    *out = info;
    return 1;
}

int CMgrConfigModuleSVC::GetRoadName(int32_t nameId, std::u16string* out) const {
    std::u16string name;
    if (!LookUpRoadName(nameId, name)) name.clear();
    if (out) *out = name;
    return name.empty() ? 0 : 1;
}

int CMgrConfigModuleSVC::IsValidRoadName(int32_t nameId, int flag) const {
    if (nameId <= 0) return 0;
    if (flag == 1) return 1;
    std::u16string name;
    if (!LookUpRoadName(nameId, name) || name.empty()) return 0;
    return name != u"X" && name.front() != u'[' ? 1 : 0;
}
