#include "route/road_data.h"

#include "foundation/debug_trace.h"
#include "platform/codepage.h"
#include "platform/paths.h"
#include "settings/module_rp.h"

NcDALManager& NcDALManager::Instance() {
    static NcDALManager manager;
    return manager;
}

NcDALManager::NcDALManager() = default;
NcDALManager::~NcDALManager() = default;

int NcDALManager::Open(void* roadMemory, size_t bytes) {
    MgrConfigModuleRP* settings = MgrConfigModuleRP::Instance();
    if (!settings) return 0;
    return OpenAt(platform::NativePath(platform::Utf16ToUtf8(settings->GetMapFolder())), roadMemory, bytes);
}

int NcDALManager::OpenAt(const std::string& dataRoot, void* roadMemory, size_t bytes) {
    Close();
    auto index = std::make_unique<NcDBRoadIdx>();
    if (!index->Load(platform::ResolveUnder(dataRoot, "Map\\RoadIdx.ndb"))) {
        DebugTrace(1, "[RP**] RoadIdx.ndb cannot be read\n");
        return 0;
    }
    auto road = std::make_unique<NcDBRoad>();
    if (!road->Open(platform::ResolveUnder(dataRoot, "Map\\Road.ndb"))) {
        DebugTrace(1, "[RP**] Road.ndb cannot be opened\n");
        return 0;
    }
    road->SetIndex(index.get());
    if (!road->InitCache(roadMemory, bytes)) {
        DebugTrace(1, "[RP**] road memory of %zu bytes holds no block\n", bytes);
        return 0;
    }
    index->SetRoadFileSize(road->GetFileSize());
    m_linkCount = index->GetLinkCount();
    m_budget = bytes;
    m_index = std::move(index);
    m_road = std::move(road);
    return 1;
}

int NcDALManager::Close() {
    m_road.reset();
    m_index.reset();
    m_linkCount = 0;
    m_budget = 0;
    return 1;
}

int NcDALManager::LoadLink(int slot, uint32_t linkId) {
    if (!m_road) return 0;
    if (!NcLinkIdValid(linkId) || NcLinkIndex(linkId) >= m_linkCount) {
        DebugTrace(1, "[RP**] link id %u is not in the road data (%u links)\n", linkId, m_linkCount);
        return 0;
    }
    return m_road->ReadLink(slot, linkId);
}

int NcDALManager::GetClass(int slot) { return m_road ? View(slot).GetClass() : 0; }
int NcDALManager::GetKind(int slot) { return m_road ? View(slot).GetKind() : 0; }
int NcDALManager::GetLinkType(int slot) { return m_road ? View(slot).GetLinkType() : 0; }
int NcDALManager::GetLanes(int slot) { return m_road ? View(slot).GetLanes() : 0; }
int NcDALManager::GetSpeedCode(int slot) { return m_road ? View(slot).GetSpeedCode() : 0; }
int NcDALManager::GetSpeedLimit(int slot) { return m_road ? View(slot).GetSpeedLimit() : 0; }
uint32_t NcDALManager::GetLength(int slot) { return m_road ? View(slot).GetLength() : 0; }
MapPoint NcDALManager::GetStartPoint(int slot) { return m_road ? View(slot).GetStartPoint() : MapPoint{0, 0}; }
MapPoint NcDALManager::GetEndPoint(int slot) { return m_road ? View(slot).GetEndPoint() : MapPoint{0, 0}; }

NcLinkSummary NcDALManager::GetSummary(int slot) {
    NcLinkSummary s;
    GetSummary(slot, &s);
    return s;
}

void NcDALManager::GetSummary(int slot, NcLinkSummary* out) {
    NcLinkSummary& s = *out;
    if (!m_road || !View(slot).IsBound()) {
        s = NcLinkSummary{};
        return;
    }
    const NcRoad& v = View(slot);
    s.linkId = v.GetLinkId();
    s.lengthM = v.GetLength();
    s.start = v.GetStartPoint();
    s.end = v.GetEndPoint();
    s.roadClass = v.GetClass();
    s.kind = v.GetKind();
    s.linkType = v.GetLinkType();
    s.lanes = v.GetLanes();
    s.speedLimitKmh = v.GetSpeedLimit();
    s.networkLevel = v.GetNetworkLevel();
    s.closed = v.IsClosed();
    s.lanesBothDirections = v.GetLinkFlag();
    s.trafficId = v.GetTrafficId();
}

int NcDALManager::GetConnectionList(int slot, ListAt which, const NcConnection** out) {
    if (out) *out = nullptr;
    if (!m_road || !View(slot).IsBound()) return 0;
    const NcRoad& v = View(slot);
    RoadLinkSlot& s = m_road->Slot(slot);
    // In the bound direction the end of travel is run 0's node for a link
    // taken as stored, run 1's node for a reversed one.
    const int endRun = v.GetSuccessorRun();
    const bool atEnd = which == ListAt::kEndLeaving || which == ListAt::kEndArriving;
    const bool arriving = which == ListAt::kEndArriving || which == ListAt::kStartArriving;
    const int run = atEnd ? endRun : 1 - endRun;
    const int n = v.GetRunCount(run);
    for (int i = 0; i < n; ++i) {
        NcConnection c = v.GetRunEntry(run, i);
        if (arriving) {
            // Whether that link may turn into this one is in its own run.
            c.linkId ^= static_cast<int32_t>(kNcLinkReverseBit);
            c.allowed = -1;
        }
        s.table[i] = c;
    }
    s.counters[0] = n;
    if (out) *out = s.table.data();
    return n;
}
