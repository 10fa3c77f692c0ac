#include "mapdb/mgr_map.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>

#include "foundation/debug_trace.h"
#include "mapdb/geometry.h"
#include "mapdb/link_id.h"
#include "platform/paths.h"

namespace {

// Road classes 14 and 15 are never matched; the kind filter also passes
// over the top road classes (below 2) and link kinds 1 to 5 and 15.
bool IsNeverMatched(const MneLinkGuideRecord& r) { return r.roadClass == 14 || r.roadClass == 15; }
bool IsFilteredKind(const MneLinkGuideRecord& r) {
    return r.roadClass < 2 || (r.linkKind >= 1 && r.linkKind <= 5) || r.linkKind == 15;
}

char16_t FoldCase(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c; }

int32_t PullToward(int32_t value, int32_t target) {
    if (value - target > kMgrMapSnapPullThreshold) return value - kMgrMapSnapPull;
    if (target - value > kMgrMapSnapPullThreshold) return value + kMgrMapSnapPull;
    return value;
}

int32_t ClampToInt32(uint64_t v) { return static_cast<int32_t>(std::min<uint64_t>(v, INT32_MAX)); }

bool FootBefore(const MneLinkFoot& a, const MneLinkFoot& b) {
    return a.distance != b.distance ? a.distance < b.distance : a.linkId < b.linkId;
}

}  // namespace

bool MneRoadNamesEqual(std::u16string_view name, const char16_t* stored, size_t storedMax) {
    if (!stored) storedMax = 0;
    for (size_t i = 0; i < kMgrMapSnapNameChars; ++i) {
        const char16_t a = i < name.size() ? name[i] : u'\0';
        const char16_t b = i < storedMax ? stored[i] : u'\0';
        if (FoldCase(a) != FoldCase(b)) return false;
        if (a == u'\0') return true;
    }
    return true;
}

// ------------------------------------------------------------- candidates

bool CMneLinkCandidates::Holds(uint32_t linkId) const {
    for (int i = 0; i < m_count; ++i)
        if (m_items[static_cast<size_t>(i)].linkId == linkId) return true;
    return false;
}

bool CMneLinkCandidates::Offer(const MneLinkFoot& foot) {
    if (Holds(foot.linkId)) return false;
    int at;
    if (m_count < kMgrMapMaxNearbyLinks) {
        at = m_count++;
    } else {
        // Full: the farthest goes when the newcomer is strictly nearer.
        if (foot.distance >= m_items[kMgrMapMaxNearbyLinks - 1].distance) return false;
        at = kMgrMapMaxNearbyLinks - 1;
    }
    // The table stays sorted: move the newcomer up to its place.
    while (at > 0 && FootBefore(foot, m_items[static_cast<size_t>(at - 1)])) {
        m_items[static_cast<size_t>(at)] = m_items[static_cast<size_t>(at - 1)];
        --at;
    }
    m_items[static_cast<size_t>(at)] = foot;
    return true;
}

// ---------------------------------------------------------------- manager

CMgrMap::CMgrMap() = default;

CMgrMap::~CMgrMap() { Close(); }

struct CMgrMap::ExclusiveState {
    explicit ExclusiveState(CMgrMap& map)
        : waiting((map.m_writersWaiting.fetch_add(1, std::memory_order_acq_rel), map.m_writersWaiting)),
          pass(map.m_turnstile),
          lock(map.m_stateLock) {}
    ~ExclusiveState() { waiting.fetch_sub(1, std::memory_order_acq_rel); }
    std::atomic<int>& waiting;
    std::lock_guard<std::mutex> pass;
    std::unique_lock<std::shared_mutex> lock;
};

std::shared_lock<std::shared_mutex> CMgrMap::ShareState() const {
    // Queries pass the turnstile only while a writer waits, so they do not
    // contend for it otherwise.
    if (m_writersWaiting.load(std::memory_order_acquire) > 0) {
        const std::lock_guard pass(m_turnstile);
    }
    return std::shared_lock(m_stateLock);
}

bool CMgrMap::IsOpen() const {
    const auto lock = ShareState();
    return m_opened;
}

std::string CMgrMap::LastOpenFailure() const {
    const auto lock = ShareState();
    return m_openFailure;
}

std::string CMgrMap::DataRoot() const {
    const auto lock = ShareState();
    return m_dataRoot;
}

int CMgrMap::OpenAreaFile(CMneAreaMapFile& file, const char* name, int bufferId) {
    const std::string path = platform::ResolveUnder(m_dataRoot, name);
    if (path.empty() || path.size() >= kMgrMapMaxPathChars) return 0;
    return file.Open(path) && file.AttachBuffer(m_arena.get(), bufferId, 1) ? 1 : 0;
}

int CMgrMap::Open(const std::string& dataRoot) {
    const ExclusiveState exclusive(*this);
    if (m_opened) return 0;
    m_dataRoot = dataRoot;
    m_openFailure.clear();
    const auto fail = [&](const char* what) {
        m_openFailure = what;
        DebugTrace(1, "[MAP] map data not opened: %s under %s\n", what, dataRoot.c_str());
        CloseLocked();
        return 0;
    };

    m_address = std::make_unique<CMneAddressMapFile>();
    m_city = std::make_unique<CMneCityMapFile>();
    // Not a named mapping: a second manager (tests, tools) may live beside
    // the program's own.
    m_arena.reset(CreateSharedBlock(std::string_view(kMgrMapArenaTag), kMgrMapArenaUnit, kMgrMapArenaBytes, 0));
    if (!m_arena) return fail(kMgrMapArenaTag);
    if (!OpenAreaFile(*m_address, "Map\\Address.map", kMgrMapAddressBufferId)) return fail("Map\\Address.map");
    if (!OpenAreaFile(*m_city, "Map\\City.map", kMgrMapCityBufferId)) return fail("Map\\City.map");

    m_tollGates = std::make_unique<CMneTollGateMapFile>();
    m_turns = std::make_unique<CMneExtTBTMapFile>();
    m_lanes = std::make_unique<CMneExtLaneMapFile>();
    m_serviceAreas = std::make_unique<CMneSAMapFile>();
    m_names = std::make_unique<CMneNameMapFile>();
    m_links = std::make_unique<CMneLinkMapFile>();
    m_paths = std::make_unique<CMnePathMapFile>();
    m_roadLines = std::make_unique<CMneRoadLineMapFile>();
    m_serviceMain = std::make_unique<CMneServiceMainMapFile>();
    m_cameras = std::make_unique<CMneCameraMapFile>();
    m_safeDrive = std::make_unique<CMneSafeDriveMapFile>();
    m_hipass = std::make_unique<CMneHipassMapFile>();

    if (!m_serviceMain->Open(dataRoot)) return fail("Map\\RG.ndb");
    if (!m_paths->Open(dataRoot)) return fail("Map\\Path.ndb");
    if (!m_roadLines->Open(dataRoot)) return fail("Map\\RoadLine.ndb");
    if (!m_links->Open(dataRoot)) return fail("Map\\Map.ndb");
    if (!m_names->Open(dataRoot)) return fail("Map\\RN.ndb");
    if (!m_serviceAreas->Open(dataRoot)) return fail("Map\\SA.ndb");
    if (!m_lanes->Open(dataRoot)) return fail("Map\\Lane.ndb");
    if (!m_turns->Open(dataRoot)) return fail("Map\\TBT.ndb");
    if (!m_tollGates->Open(dataRoot)) return fail("Map\\TG.ndb");
    if (!m_cameras->Open(dataRoot)) return fail(m_cameras->FileName());
    if (!m_safeDrive->Open(dataRoot)) return fail(m_safeDrive->FileName());
    if (!m_hipass->Open(dataRoot)) return fail("high-pass table");

    m_opened = true;
    return 1;
}

int CMgrMap::Close() {
    const ExclusiveState exclusive(*this);
    CloseLocked();
    return 1;
}

void CMgrMap::CloseLocked() {
    // The area files give their buffers back before the arena goes.
    for (CMneAreaMapFile* file : {static_cast<CMneAreaMapFile*>(m_address.get()),
                                  static_cast<CMneAreaMapFile*>(m_city.get())}) {
        if (!file) continue;
        file->ReleaseBuffer(1);
        file->Close();
    }
    m_address.reset();
    m_city.reset();
    m_arena.reset();

    const auto drop = [](auto& reader) {
        if (reader) reader->Close();
        reader.reset();
    };
    drop(m_tollGates);
    drop(m_turns);
    drop(m_lanes);
    drop(m_serviceAreas);
    drop(m_names);
    drop(m_links);
    drop(m_paths);
    drop(m_roadLines);
    drop(m_serviceMain);
    drop(m_cameras);
    drop(m_safeDrive);
    drop(m_hipass);
    m_opened = false;
}

// ------------------------------------------------------------------ areas

int CMgrMap::GetAddressCode(const MapPoint& point, uint32_t* code) {
    if (code) *code = 0;
    const auto lock = ShareState();
    if (!m_opened) return 0;
    uint32_t found = 0;
    const int result = m_address->FindArea(point, &found);
    if (code) *code = result ? found : 0;
    return result;
}

int CMgrMap::IsInCityArea(const MapPoint& point) {
    const auto lock = ShareState();
    if (!m_opened) return 0;
    if (point.x > kMgrMapCityRectMinX && point.x < kMgrMapCityRectMaxX && point.y > kMgrMapCityRectMinY &&
        point.y < kMgrMapCityRectMaxY)
        return 1;
    return m_city->FindArea(point, nullptr);
}

// ------------------------------------------------------------------ links

int CMgrMap::LinkFoot(const MapPoint& point, uint32_t linkId, int kindFilter, MneLinkFoot* out, bool* shapeFailed) {
    const uint32_t number = MneLinkNumber(linkId);
    if (!MneLinkNumberValid(number)) return 0;
    MneLinkGuideRecord record{};
    if (!m_serviceMain->GetLinkRecord(number, &record)) return 0;
    if (IsNeverMatched(record) || (kindFilter && IsFilteredKind(record))) return 0;

    // The shape is copied out under the reader's lock; the search below
    // runs without it.
    std::vector<MapPoint> shape;
    if (!m_roadLines->GetLinkShapeCopy(number, 0, shape)) {
        if (shapeFailed) *shapeFailed = true;
        return 0;
    }
    if (shape.size() < 2) return 0;

    size_t best = 0;
    int bestDistance = 0;
    MapPoint bestFoot;
    float bestT = 0.0f;
    for (size_t i = 0; i + 1 < shape.size(); ++i) {
        MapPoint foot;
        float t = 0.0f;
        const int d = CalcPointToSegmentDist(point, shape[i], shape[i + 1], &foot, &t);
        if (i == 0 || d < bestDistance) {
            best = i;
            bestDistance = d;
            bestFoot = foot;
            bestT = t;
        }
    }
    uint64_t along = GetApproxDistance(shape[best], bestFoot);
    for (size_t i = 0; i < best; ++i) along += GetApproxDistance(shape[i], shape[i + 1]);

    MneLinkFoot f;
    f.query = point;
    f.foot = bestFoot;
    f.segmentStart = shape[best];
    f.segmentEnd = shape[best + 1];
    f.directions = record.twoWay ? 2 : 1;
    f.linkId = number;
    f.reverseLinkId = record.twoWay ? (number | kMneLinkReverseBit) : 0;
    f.segmentIndex = static_cast<int32_t>(best);
    f.distance = bestDistance;
    const int32_t length = ClampToInt32(record.length);
    if (best == 0 && bestT <= 0.0f) {
        f.distanceFromStart = 0;
        f.distanceToEnd = length;
    } else if (best + 2 == shape.size() && bestT >= 1.0f) {
        f.distanceFromStart = length;
        f.distanceToEnd = 0;
    } else {
        f.distanceFromStart = ClampToInt32(along);
        f.distanceToEnd = static_cast<int32_t>(std::llabs(static_cast<int64_t>(length) - f.distanceFromStart));
    }
    *out = f;
    return 1;
}

template <class Visit>
void CMgrMap::ForEachLinkNear(const MapPoint& point, int32_t radiusM, Visit&& visit) {
    if (radiusM < 0) return;
    // Points farther off the map area than the map is wide have no links
    // near them; the bound also keeps the box arithmetic inside 32 bits.
    if (point.x < -kMapAreaUnits || point.y < -kMapAreaUnits || point.x >= 2 * kMapAreaUnits ||
        point.y >= 2 * kMapAreaUnits)
        return;
    MapPoint boxMin, boxMax;
    CalcBoundBoxAroundPoint(point, std::min(radiusM, kMgrMapNoLinkDistance), &boxMin, &boxMax);
    if (boxMax.x < 0 || boxMax.y < 0 || boxMin.x >= kMapAreaUnits || boxMin.y >= kMapAreaUnits) return;

    const int32_t side = GetLevelTileSide(kMgrMapLinkTileLevel);
    const int32_t step = GetLevelLocalStep(kMgrMapLinkTileLevel);
    const int32_t lastTile = GetLevelTileCount(kMgrMapLinkTileLevel) - 1;
    const int32_t tx0 = std::max(boxMin.x, 0) / side, tx1 = std::min(boxMax.x / side, lastTile);
    const int32_t ty0 = std::max(boxMin.y, 0) / side, ty1 = std::min(boxMax.y / side, lastTile);

    std::vector<uint32_t> seen;
    std::vector<MneLinkEntry> entries;
    for (int32_t tx = tx0; tx <= tx1; ++tx) {
        for (int32_t ty = ty0; ty <= ty1; ++ty) {
            if (!m_links->GetCellLinksCopy(tx, ty, entries)) continue;
            const int64_t ox = static_cast<int64_t>(tx) * side, oy = static_cast<int64_t>(ty) * side;
            for (const MneLinkEntry& e : entries) {
                // The entry's straight segment stands for the link in this
                // tile; its box must meet the search box. Its ends are cut
                // down to whole local steps, so the box reaches one step
                // less one unit further than they say.
                const int64_t x1 = ox + int64_t{e.x1} * step, x2 = ox + int64_t{e.x2} * step;
                const int64_t y1 = oy + int64_t{e.y1} * step, y2 = oy + int64_t{e.y2} * step;
                const int64_t left = std::min(x1, x2), top = std::min(y1, y2);
                if (!IsRectOverlap(static_cast<int32_t>(left), static_cast<int32_t>(top),
                                   static_cast<int32_t>(std::max(x1, x2) - left + step - 1),
                                   static_cast<int32_t>(std::max(y1, y2) - top + step - 1), boxMin.x, boxMin.y,
                                   boxMax.x, boxMax.y))
                    continue;
                // A link crossing several tiles is looked at once.
                const uint32_t number = MneLinkNumber(e.linkId);
                const auto at = std::lower_bound(seen.begin(), seen.end(), number);
                if (at != seen.end() && *at == number) continue;
                seen.insert(at, number);
                if (!visit(number)) return;
            }
        }
    }
}

int CMgrMap::FindNearestLink(const MapPoint& point, int32_t maxDistanceM, MneLinkFoot* out, int kindFilter) {
    const auto lock = ShareState();
    if (!m_opened || !out || maxDistanceM < 0) return 0;
    int32_t bestDistance = kMgrMapNoLinkDistance;
    MneLinkFoot best;
    bool found = false;
    ForEachLinkNear(point, maxDistanceM, [&](uint32_t linkId) {
        MneLinkFoot foot;
        if (LinkFoot(point, linkId, kindFilter, &foot, nullptr) && foot.distance <= maxDistanceM &&
            foot.distance < bestDistance) {
            bestDistance = foot.distance;
            best = foot;
            found = true;
        }
        return true;
    });
    if (!found) return 0;
    *out = best;
    return 1;
}

int CMgrMap::FindNearbyLinks(const MapPoint& point, int32_t radiusM, int* count, MneLinkFoot* out) {
    const auto lock = ShareState();
    if (!count) return 0;
    const int wanted = std::clamp(*count, 0, kMgrMapMaxNearbyLinks);
    *count = 0;
    if (!m_opened || !out || radiusM < 0) return 0;
    // The table belongs to this call alone.
    CMneLinkCandidates candidates;
    bool shapeFailed = false;
    ForEachLinkNear(point, radiusM, [&](uint32_t linkId) {
        MneLinkFoot foot;
        if (LinkFoot(point, linkId, 0, &foot, &shapeFailed)) {
            if (foot.distance <= radiusM) candidates.Offer(foot);
            return true;
        }
        return !shapeFailed;
    });
    // No link within the radius is an answer too: count 0.
    if (shapeFailed) return 0;
    const int n = std::min(wanted, candidates.Count());
    for (int i = 0; i < n; ++i) out[i] = candidates.At(i);
    *count = n;
    return 1;
}

int CMgrMap::SnapToNamedRoad(const MapPoint& point, std::u16string_view roadName, MapPoint* out) {
    if (out) *out = point;
    if (roadName.empty() || roadName.size() > kMgrMapSnapNameChars) return 0;
    std::array<MneLinkFoot, kMgrMapMaxNearbyLinks> found;
    int count = kMgrMapMaxNearbyLinks;
    // The wider search stands in only for a near search that failed, not
    // for one that found no link.
    if (!FindNearbyLinks(point, kMgrMapSnapNearRadiusM, &count, found.data())) {
        count = kMgrMapMaxNearbyLinks;
        if (!FindNearbyLinks(point, kMgrMapSnapFarRadiusM, &count, found.data())) return 0;
    }
    for (int i = 0; i < count; ++i) {
        const MneLinkFoot& f = found[static_cast<size_t>(i)];
        MneLinkGuideRecord record{};
        MneNameRecord name{};
        if (!GetLinkRecord(f.linkId, &record) || !GetNameRecord(record.nameId, &name)) continue;
        if (!MneRoadNamesEqual(roadName, name.text, kMneNameMaxChars + 1)) continue;
        if (out) *out = {PullToward(f.foot.x, point.x), PullToward(f.foot.y, point.y)};
        return 1;
    }
    return 0;
}

int CMgrMap::GetLinkRecord(uint32_t linkId, MneLinkGuideRecord* out) {
    const auto lock = ShareState();
    if (!m_opened || !out) return 0;
    return m_serviceMain->GetLinkRecord(linkId, out);
}

int CMgrMap::GetNameRecord(uint32_t nameId, MneNameRecord* out) {
    const auto lock = ShareState();
    if (!m_opened || !out) return 0;
    MgrLock hold(m_names->Lock());
    const MneNameRecord* record = m_names->GetName(nameId);
    if (!record) return 0;
    *out = *record;
    return 1;
}

int CMgrMap::GetVersionInfo(MneVersionRecord& out) { return ::GetVersionInfo(DataRoot(), out); }
