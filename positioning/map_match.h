#pragma once
// The map matcher: places each filtered fix on a road link. It runs on the
// main thread, once per new fix, from CModuleGPS::ProcessNewFix. Candidates
// come from the level-2 link cells around the position; each is scored by
// distance and direction, the best ten are kept ranked, and the step decides
// between on a link (1), ambiguous (2) and unmatched (0), preferring the link
// the car was on, the links of the active route and major roads.
//
// Road record values the matcher reads from the guidance record of a link
// (the same decisions as the route planner's road record):
//   link level       byte 13: the network level, 0 local street ..
//                    3 national road or expressway (higher is more important)
//   structure kind   byte 15: 0 ordinary, 1 bridge, 2 tunnel, 3 elevated road,
//                    4 underpass. 2 and 4 run under ground (no fixes); 3 and 4
//                    lie over or under another road, where a match stays
//                    ambiguous.
//   two-way          the two-way byte; a two-way link is a candidate in both
//                    directions, the one against its stored direction with
//                    bit 27 of the id.
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "foundation/coords.h"
#include "settings/module_gps.h"

class CMgrConfigModuleSVC;
class CMgrMap;
struct MneLinkGuideRecord;

// The match input, built from the latest fix by the pick-up (40 bytes).
struct _tagGpsParsedData {
    int32_t x = 0;  // map units
    int32_t y = 0;
    double time = 0.0;  // seconds since 1970 of the fix's local date and time
    int32_t secondsOfDay = 0;
    int32_t speedKmh = 0;
    int32_t headingDeg = 0;
    int32_t satellitesInView = 0;
    int32_t settled = 0;
    int32_t hdopX10 = 0;
};
static_assert(sizeof(_tagGpsParsedData) == 40);

// The structure kinds of the guidance record's byte 15.
enum MneStructureKind : int32_t {
    kMneStructureNone = 0,
    kMneStructureBridge = 1,
    kMneStructureTunnel = 2,
    kMneStructureElevated = 3,
    kMneStructureUnderpass = 4,
};
int32_t MneLinkLevel(const MneLinkGuideRecord& record);
int32_t MneLinkStructureKind(const MneLinkGuideRecord& record);
// 2 and 4: a link without reception.
inline bool MneIsTunnelStructure(int32_t kind) {
    return kind == kMneStructureTunnel || kind == kMneStructureUnderpass;
}

// Bearings of segments: degrees clockwise from north, 0..359.
class CMneAngle {
public:
    static int32_t Bearing(const MapPoint& from, const MapPoint& to);
    // |a - b| folded into 0..180.
    static int32_t Difference(int32_t a, int32_t b);
};

// Where a position lies against one link (in the link's direction of travel).
class CMatchRelation {
public:
    virtual ~CMatchRelation() = default;

    static constexpr uint8_t kOnLink = 1;
    static constexpr uint8_t kBeforeStart = 4;
    static constexpr uint8_t kPastEnd = 5;

    int32_t footX = 0;
    int32_t footY = 0;
    double distanceM = 0.0;  // position to foot
    uint8_t positionClass = 0;
    int32_t bearingDeg = 0;
    int32_t distanceToEndM = 0;
    int32_t linkLevel = 0;
    uint8_t linkKind = 0;
    uint8_t roadClass = 0;
    int32_t segmentIndex = 0;
    int32_t nextPointIndex = 0;
    int32_t structureKind = 0;  // carried for the decisions
};

// The best ten candidates, highest score first.
class CMatchRankTable {
public:
    static constexpr int kSize = 10;
    static constexpr int32_t kEmptyScore = -2147483647;

    struct Entry {
        uint32_t linkId = 0;
        int32_t score = kEmptyScore;
        CMatchRelation relation;
    };

    void Clear();
    // Before the first entry with a lower score, or the same score and a
    // larger distance; the tenth entry falls out. False when it ranks last.
    bool Insert(uint32_t linkId, int32_t score, const CMatchRelation& relation);
    int Count() const;
    Entry& At(int i) { return m_entries[static_cast<size_t>(i)]; }
    const Entry& At(int i) const { return m_entries[static_cast<size_t>(i)]; }
    int32_t Score(int i) const { return i < kSize ? m_entries[static_cast<size_t>(i)].score : kEmptyScore; }
    void Swap(int i, int j) { std::swap(m_entries[static_cast<size_t>(i)], m_entries[static_cast<size_t>(j)]); }
    // Index of the link among the first n entries, or -1.
    int Find(uint32_t linkId, int n = kSize) const;

private:
    std::array<Entry, kSize> m_entries{};
};

// The score of one candidate: angle part + distance part + position part.
// weightNrmm is the "NRMM" setting (used without a route; 0 or less counts
// as the default 50).
int32_t MneMatchScore(const CMatchRelation& relation, const _tagGpsParsedData& input, bool routeActive,
                      int32_t weightNrmm);

// A fixed ring of the last N items; the oldest drops out when full.
template <class T, int N>
class CMneQueue {
public:
    void Push(const T& item) {
        m_items[static_cast<size_t>(m_next)] = item;
        m_next = (m_next + 1) % N;
        if (m_count < N) ++m_count;
    }
    int Count() const { return m_count; }

private:
    std::array<T, N> m_items{};
    int m_next = 0;
    int m_count = 0;
};

class CMneMapMatch {
public:
    static constexpr int kMaxCandidates = 40;
    static constexpr int kTrackingCandidates = 5;
    static constexpr int kHistoryLinks = 5;
    static constexpr int kRouteLinks = 10;
    static constexpr int32_t kSearchRadiusM = 30;
    static constexpr int32_t kReseedRadiusM = 120;
    static constexpr int32_t kReseedAngleDeg = 30;
    static constexpr int32_t kDefaultNrmm = 50;
    static constexpr int kModeSearch = 1;
    static constexpr int kModeTracking = 2;

    CMneMapMatch();
    ~CMneMapMatch();
    CMneMapMatch(CMneMapMatch&&) noexcept = default;
    CMneMapMatch& operator=(CMneMapMatch&&) noexcept = default;

    // Binds the guidance settings, the GPS settings and the map-data
    // manager (the process-wide ones when null); 0 when any is missing.
    int Init(CMgrConfigModuleSVC* svc = nullptr, CMgrConfigModuleGPS* gps = nullptr, CMgrMap* map = nullptr);
    // 1 with the record, 0 when there is no record for this fix.
    int Match(const _tagGpsParsedData& input, tagMAPMATCHINFO* out);
    void ResetRouteMatch();
    void SetRouteChanged() { m_routeChanged = true; }
    // Frees the shape buffer (module stop).
    void FreeShapeBuffer() { m_shape = std::vector<MapPoint>(); }

    int GetMode() const { return m_mode; }
    // The relation of a position to a link (bit 27: against its stored
    // direction); 1 on success. For tests and tools too.
    int Relate(const MapPoint& point, uint32_t linkId, CMatchRelation* out);
    // The "NRMM" weight (tests set it; Init reads the system setting).
    void SetNrmm(int32_t weight) { m_nrmm = weight; }

private:
    enum Decision { kNoDecision = 0, kDecisionNone = 1, kDecisionOnLink = 2, kDecisionAmbiguous = 3 };

    bool QualityOk(const _tagGpsParsedData& in) const;
    void TimeCheck();
    bool AddCandidate(uint32_t linkId, int limit);
    // False when the map cannot be read.
    bool Collect(int32_t radiusM);
    bool CollectByDirection(int32_t radiusM, int32_t angleDeg);
    bool Expand();
    int RouteLinks(std::array<uint32_t, kRouteLinks>& out) const;
    bool OnPathOf(uint32_t from, uint32_t linkId);
    int Decide(CMatchRankTable& table, const std::array<uint32_t, kRouteLinks>& route, int routeCount);
    void SetOnBest(int32_t state);
    void DropExpected();
    int Step();

    CMneQueue<_tagGpsParsedData, 50> m_history;
    _tagGpsParsedData m_input{};
    tagMAPMATCHINFO m_output{};
    tagMAPMATCHINFO m_previous{};
    int m_mode = kModeSearch;
    uint32_t m_expectedLink = 0;
    int32_t m_expectedHits = 0;
    uint32_t m_announcingLink = 0;
    int32_t m_announcingLength = 0;
    double m_timeDifference = 0.0;
    bool m_gap = false;
    int32_t m_stayDistance = 0;
    int64_t m_previousTime = 0;
    int32_t m_holdCount = 0;
    std::array<uint32_t, kHistoryLinks> m_linkHistory{};
    int m_linkHistoryCount = 0;
    bool m_routeChanged = false;
    int32_t m_stayCount = 0;
    CMatchRankTable m_kept;
    std::array<uint32_t, kMaxCandidates> m_candidates{};
    int m_candidateCount = 0;
    // The expanded candidate list of a step, grown on demand (30 ids first)
    // on the program heap and given back when the step ends; a growth that
    // fails ends the step with no record.
    struct HeapFree {
        void operator()(uint32_t* p) const;
    };
    bool PushExpanded(uint32_t linkId);
    std::unique_ptr<uint32_t[], HeapFree> m_expanded;
    int m_expandedCount = 0;
    int m_expandedCapacity = 0;
    int32_t m_minSatellites = 3;
    int32_t m_nrmm = kDefaultNrmm;
    CMgrConfigModuleSVC* m_svc = nullptr;
    CMgrConfigModuleGPS* m_gps = nullptr;
    CMgrMap* m_map = nullptr;
    std::vector<MapPoint> m_shape;
    CMatchRankTable m_work;
};

struct GpsFixRecord;
// The match input of a fix (the pick-up): position in map units, the local
// time as seconds since 1970 and of the day, speed, heading, satellites in
// view, the filter's settled flag and HDOP x 10. False when the position
// lies outside the service area (the input is still filled).
bool GpsBuildMatchInput(const GpsFixRecord& fix, _tagGpsParsedData* out);
