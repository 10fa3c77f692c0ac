#include "positioning/map_match.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "foundation/memory_heap.h"
#include "foundation/system_settings.h"
#include "mapdb/geometry.h"
#include "mapdb/mgr_map.h"
#include "positioning/gps_fix.h"
#include "positioning/gps_module.h"
#include "settings/module_svc.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int32_t kPathKindExpected = 96;
constexpr int32_t kMaxScoredRoadClass = 12;
constexpr int32_t kExpectedDropM = 100;
constexpr int32_t kStayDistanceM = 70;

bool IsRampKind(int32_t kind) { return kind == 4 || (kind >= 11 && kind <= 14); }

int NrmmSettingIndex() {
    for (int i = 0; i < SYS_ITEM_COUNT; ++i) {
        const char* key = GetSystemSettingKey(i);
        if (key && std::strcmp(key, "NRMM") == 0) return i;
    }
    return -1;
}

}  // namespace

int32_t MneLinkLevel(const MneLinkGuideRecord& record) { return record.byte13; }
int32_t MneLinkStructureKind(const MneLinkGuideRecord& record) { return record.byte15; }

// ------------------------------------------------------------------ angles

int32_t CMneAngle::Bearing(const MapPoint& from, const MapPoint& to) {
    const double dx = (static_cast<double>(to.x) - from.x) * GetLonMeterPerUnit(from.y, to.y);
    const double dy = (static_cast<double>(to.y) - from.y) * GetLatMeterPerUnit(from.y, to.y);
    if (dx == 0.0 && dy == 0.0) return 0;
    const double r = std::sqrt(dx * dx + dy * dy);
    const double a = std::acos(std::clamp(dx / r, -1.0, 1.0)) * 180.0 / kPi;
    int32_t bearing = static_cast<int32_t>((dy < 0 ? a + 90.0 : 450.0 - a) + 0.5);
    if (bearing >= 360) bearing -= 360;
    return bearing;
}

int32_t CMneAngle::Difference(int32_t a, int32_t b) {
    const int64_t d = std::llabs(int64_t{a} - b) % 360;
    return static_cast<int32_t>(d > 180 ? 360 - d : d);
}

// -------------------------------------------------------------- rank table

void CMatchRankTable::Clear() { m_entries.fill(Entry{}); }

bool CMatchRankTable::Insert(uint32_t linkId, int32_t score, const CMatchRelation& relation) {
    int at = kSize;
    for (int i = 0; i < kSize; ++i) {
        const Entry& e = m_entries[static_cast<size_t>(i)];
        if (e.score < score || (e.score == score && e.relation.distanceM > relation.distanceM)) {
            at = i;
            break;
        }
    }
    if (at == kSize) return false;
    for (int i = kSize - 1; i > at; --i) m_entries[static_cast<size_t>(i)] = m_entries[static_cast<size_t>(i - 1)];
    m_entries[static_cast<size_t>(at)] = Entry{linkId, score, relation};
    return true;
}

int CMatchRankTable::Count() const {
    int n = 0;
    while (n < kSize && m_entries[static_cast<size_t>(n)].score != kEmptyScore) ++n;
    return n;
}

int CMatchRankTable::Find(uint32_t linkId, int n) const {
    n = std::min(n, Count());
    for (int i = 0; i < n; ++i)
        if (m_entries[static_cast<size_t>(i)].linkId == linkId) return i;
    return -1;
}

// ------------------------------------------------------------------- score

int32_t MneMatchScore(const CMatchRelation& relation, const _tagGpsParsedData& input, bool routeActive,
                      int32_t weightNrmm) {
    const int32_t a = CMneAngle::Difference(relation.bearingDeg, input.headingDeg);
    int32_t score = a < 10 ? 4 : a < 20 ? 3 : a < 35 ? 2 : a < 50 ? 1 : a < 90 ? 0 : -5;

    int32_t m = static_cast<int32_t>(relation.distanceM);
    if (relation.roadClass >= 7 && input.hdopX10 < 50) m = m * 3 / 2;
    if (!routeActive) {
        // The weight divides: a setting of 0 or less counts as the default.
        const int32_t w = weightNrmm > 0 ? weightNrmm : CMneMapMatch::kDefaultNrmm;
        m = static_cast<int32_t>(100.0 / w * m);
    }
    score += m < 10 ? 5 : m < 20 ? 4 : m < 30 ? 3 : m < 45 ? 1 : m < 60 ? 0 : -5;

    if (relation.positionClass == CMatchRelation::kOnLink) score += 1;
    else if (relation.positionClass == CMatchRelation::kBeforeStart || relation.positionClass == CMatchRelation::kPastEnd)
        score -= 1;
    return score;
}

// ------------------------------------------------------------------ matcher

CMneMapMatch::CMneMapMatch() = default;

void CMneMapMatch::HeapFree::operator()(uint32_t* p) const { MgrFree(p); }

bool CMneMapMatch::PushExpanded(uint32_t linkId) {
    if (m_expandedCount == m_expandedCapacity) {
        constexpr int kFirstCapacity = 30;
        const int grown = m_expandedCapacity ? m_expandedCapacity * 2 : kFirstCapacity;
        // On failure the old list stays owned here.
        void* bigger = MgrRealloc(m_expanded.get(), static_cast<size_t>(grown) * sizeof(uint32_t));
        if (!bigger) return false;
        (void)m_expanded.release();
        m_expanded.reset(static_cast<uint32_t*>(bigger));
        m_expandedCapacity = grown;
    }
    m_expanded[static_cast<size_t>(m_expandedCount++)] = linkId;
    return true;
}
CMneMapMatch::~CMneMapMatch() = default;

int CMneMapMatch::Init(CMgrConfigModuleSVC* svc, CMgrConfigModuleGPS* gps, CMgrMap* map) {
    m_svc = svc ? svc : CMgrConfigModuleSVC::Instance();
    m_gps = gps ? gps : CMgrConfigModuleGPS::Instance();
    m_map = map ? map : CMgrMap::Instance();
    if (!m_svc || !m_gps || !m_map) return 0;
    m_shape.assign(kMneShapeMaxPoints, MapPoint{});
    int nrmm = kDefaultNrmm;
    const int index = NrmmSettingIndex();
    if (index >= 0) GetSystemSettingInt(index, &nrmm);
    m_nrmm = nrmm;
    return 1;
}

void CMneMapMatch::ResetRouteMatch() {
    m_output.status = 0;
    m_output.linkId = 0;
    m_output.headingDeg = 0;
    m_output.distanceToEndM = 0;
    m_output.x = -1;
    m_output.y = -1;
    m_output.roadClass = -1;
    m_output.structureKind = -1;
    m_previous = m_output;
    m_mode = kModeSearch;
}

bool CMneMapMatch::QualityOk(const _tagGpsParsedData& in) const {
    return in.hdopX10 >= 1 && in.hdopX10 <= 250 && in.satellitesInView >= m_minSatellites && in.settled == 1;
}

void CMneMapMatch::TimeCheck() {
    const int64_t d = static_cast<int64_t>(m_input.secondsOfDay) - m_previousTime;
    m_timeDifference = static_cast<double>(d);
    if (d > 5 && m_previousTime != 0) m_gap = true;
    if (std::llabs(d) > 3600) {
        m_gap = false;
        m_mode = kModeSearch;
    }
    m_previousTime = m_input.secondsOfDay;
}

bool CMneMapMatch::AddCandidate(uint32_t linkId, int limit) {
    if (m_candidateCount >= limit) return false;
    for (int i = 0; i < m_candidateCount; ++i)
        if (m_candidates[static_cast<size_t>(i)] == linkId) return true;
    m_candidates[static_cast<size_t>(m_candidateCount++)] = linkId;
    return true;
}

bool CMneMapMatch::Collect(int32_t radiusM) {
    const int limit = m_mode == kModeTracking ? kTrackingCandidates : kMaxCandidates;
    std::array<MneLinkFoot, kMgrMapMaxNearbyLinks> feet;
    int count = kMgrMapMaxNearbyLinks;
    if (!m_map->FindNearbyLinks({m_input.x, m_input.y}, radiusM, &count, feet.data())) return false;
    for (int i = 0; i < count; ++i) {
        const MneLinkFoot& f = feet[static_cast<size_t>(i)];
        if (!AddCandidate(f.linkId, limit)) break;
        if (f.reverseLinkId && !AddCandidate(f.reverseLinkId, limit)) break;
    }
    return true;
}

bool CMneMapMatch::CollectByDirection(int32_t radiusM, int32_t angleDeg) {
    const int limit = m_mode == kModeTracking ? kTrackingCandidates : kMaxCandidates;
    std::array<MneLinkFoot, kMgrMapMaxNearbyLinks> feet;
    int count = kMgrMapMaxNearbyLinks;
    if (!m_map->FindNearbyLinks({m_input.x, m_input.y}, radiusM, &count, feet.data())) return false;
    const MapPoint at{m_input.x, m_input.y};
    for (int i = 0; i < count; ++i) {
        const MneLinkFoot& f = feet[static_cast<size_t>(i)];
        // A two-way link is tested in both directions, so that a car driving
        // against the stored direction finds its link too.
        for (uint32_t id : {f.linkId, f.reverseLinkId}) {
            if (!id) continue;
            CMatchRelation r;
            if (!Relate(at, id, &r)) continue;
            if (r.positionClass != CMatchRelation::kOnLink ||
                CMneAngle::Difference(r.bearingDeg, m_input.headingDeg) > angleDeg)
                continue;
            if (!AddCandidate(id, limit)) return true;
        }
    }
    return true;
}

int CMneMapMatch::Relate(const MapPoint& point, uint32_t linkId, CMatchRelation* out) {
    if (!m_map || !out) return 0;
    MneLinkGuideRecord record{};
    if (!m_map->GetLinkRecord(linkId, &record)) return 0;
    CMneRoadLineMapFile* lines = m_map->RoadLines();
    if (!lines || !lines->GetLinkShapeCopy(linkId, 1, m_shape)) return 0;
    const size_t n = m_shape.size();
    if (n < 2) return 0;

    size_t best = 0;
    int bestDistance = 0;
    MapPoint bestFoot;
    float bestT = 0.0f;
    for (size_t i = 0; i + 1 < n; ++i) {
        MapPoint foot;
        float t = 0.0f;
        const int d = CalcPointToSegmentDist(point, m_shape[i], m_shape[i + 1], &foot, &t);
        if (i == 0 || d < bestDistance) {
            best = i;
            bestDistance = d;
            bestFoot = foot;
            bestT = t;
        }
    }
    CMatchRelation r;
    r.footX = bestFoot.x;
    r.footY = bestFoot.y;
    r.distanceM = bestDistance;
    if (best == 0 && bestT < 0.0f) r.positionClass = CMatchRelation::kBeforeStart;
    else if (best + 2 == n && bestT > 1.0f) r.positionClass = CMatchRelation::kPastEnd;
    else r.positionClass = CMatchRelation::kOnLink;
    r.bearingDeg = CMneAngle::Bearing(m_shape[best], m_shape[best + 1]);
    const int32_t length = static_cast<int32_t>(std::min<uint32_t>(record.length, 0x7FFFFFFF));
    if (r.positionClass == CMatchRelation::kOnLink) {
        int64_t rest = static_cast<int64_t>(GetDistanceUTM(bestFoot, m_shape[best + 1]));
        for (size_t i = best + 1; i + 1 < n; ++i) rest += static_cast<int64_t>(GetDistanceUTM(m_shape[i], m_shape[i + 1]));
        r.distanceToEndM = static_cast<int32_t>(std::min<int64_t>(rest, length));
    } else {
        r.distanceToEndM = r.positionClass == CMatchRelation::kBeforeStart ? length : 0;
    }
    r.linkLevel = MneLinkLevel(record);
    r.linkKind = record.linkKind;
    r.roadClass = record.roadClass;
    r.structureKind = MneLinkStructureKind(record);
    r.segmentIndex = static_cast<int32_t>(best);
    r.nextPointIndex = r.segmentIndex + 1;
    *out = r;
    return 1;
}

bool CMneMapMatch::Expand() {
    CMnePathMapFile* paths = m_map->Paths();
    if (!paths) return false;
    m_expandedCount = 0;
    std::vector<MnePathEntry> entries, own;
    for (int c = 0; c < m_candidateCount; ++c) {
        const uint32_t id = m_candidates[static_cast<size_t>(c)];
        if (!paths->GetLinkPathCopy(id, entries) || entries.empty()) continue;
        if (!PushExpanded(id)) return false;
        for (const MnePathEntry& e : entries) {
            if (!PushExpanded(e.linkId)) return false;
            if (e.value == kPathKindExpected && m_previous.status != 3) {
                // An announcing link: its own path's last link is expected.
                MneLinkGuideRecord record{};
                if (paths->GetLinkPathCopy(e.linkId, own) && !own.empty()) {
                    m_announcingLink = e.linkId;
                    m_announcingLength = m_map->GetLinkRecord(e.linkId, &record) ? static_cast<int32_t>(record.length) : 0;
                    m_expectedLink = own.back().linkId;
                }
            }
        }
    }
    // Repeated ids go, the first stays.
    uint32_t* ids = m_expanded.get();
    int kept = 0;
    for (int i = 0; i < m_expandedCount; ++i)
        if (std::find(ids, ids + kept, ids[i]) == ids + kept) ids[kept++] = ids[i];
    m_expandedCount = kept;
    return true;
}

int CMneMapMatch::RouteLinks(std::array<uint32_t, kRouteLinks>& out) const {
    if (!m_svc || !m_svc->IsGuiding()) return 0;
    MgrLock hold(*m_svc->GetLock());
    const GuideRoute& route = m_svc->SelectedRoute();
    const int32_t* ids = route.LinkIds();
    if (route.linkCount <= 0 || !ids) return 0;
    const int32_t start = std::max(m_svc->Tracking().linkIndex, 0);
    int n = 0;
    for (int32_t i = start; i < route.linkCount && n < kRouteLinks; ++i)
        out[static_cast<size_t>(n++)] = static_cast<uint32_t>(ids[i]);
    return n;
}

bool CMneMapMatch::OnPathOf(uint32_t from, uint32_t linkId) {
    std::vector<MnePathEntry> entries;
    CMnePathMapFile* paths = m_map->Paths();
    if (!paths || !paths->GetLinkPathCopy(from, entries)) return false;
    for (const MnePathEntry& e : entries)
        if (e.linkId == linkId) return true;
    return false;
}

int CMneMapMatch::Decide(CMatchRankTable& t, const std::array<uint32_t, kRouteLinks>& route, int routeCount) {
    const int32_t s0 = t.Score(0), s1 = t.Score(1), s2 = t.Score(2);
    const int32_t speed = m_input.speedKmh;
    const uint32_t prevLink = static_cast<uint32_t>(m_previous.linkId);
    auto inRoute = [&](uint32_t id) {
        for (int i = 0; i < routeCount; ++i)
            if (route[static_cast<size_t>(i)] == id) return true;
        return false;
    };
    auto clearStay = [&] {
        m_stayCount = 0;
        m_stayDistance = 0;
    };

    int d;
    if (s0 <= 2) {
        d = kDecisionNone;
    } else if (s1 > 5 || s0 < 7) {
        d = kDecisionAmbiguous;
    } else {
        d = kDecisionOnLink;
        if (prevLink && t.At(0).linkId != prevLink && m_previous.distanceToEndM > int64_t{speed} * 5 / 9 && speed != 0 &&
            !OnPathOf(prevLink, t.At(0).linkId)) {
            const int at = t.Find(prevLink, 5);
            if (at > 0) t.Swap(0, at);
        }
    }
    if (d == kDecisionNone) {
        // With a route every decision other than 3 clears the stay rules.
        if (routeCount > 0) clearStay();
        return d;
    }

    if (routeCount > 0) {
        if (inRoute(t.At(0).linkId)) {
            if (s0 > 4) d = kDecisionOnLink;
        } else if (s1 > 4 && inRoute(t.At(1).linkId)) {
            t.Swap(0, 1);
            d = kDecisionAmbiguous;
        } else if (s2 > 4 && inRoute(t.At(2).linkId)) {
            t.Swap(0, 2);
            d = kDecisionAmbiguous;
        }
        const CMatchRelation& best = t.At(0).relation;
        if (d == kDecisionOnLink &&
            (best.structureKind == kMneStructureElevated || best.structureKind == kMneStructureUnderpass ||
             IsRampKind(best.linkKind)))
            d = kDecisionAmbiguous;
        if (d == kDecisionAmbiguous) {
            if (t.At(0).linkId == prevLink) {
                m_stayCount = std::min(m_stayCount + 1, 4);
            } else {
                clearStay();
            }
            if (m_stayCount > 3 && speed > 5) d = kDecisionOnLink;
        } else {
            clearStay();
        }
        return d;
    }

    if (d == kDecisionAmbiguous) {
        bool changed = false;
        if (s0 - s1 <= 2 && t.Count() >= 2) {
            const CMatchRelation& a = t.At(0).relation;
            const CMatchRelation& b = t.At(1).relation;
            if (b.linkLevel > a.linkLevel) {
                t.Swap(0, 1);
                d = kDecisionOnLink;
                changed = true;
            } else if (a.linkLevel == b.linkLevel) {
                if (a.roadClass <= 9 && b.roadClass >= 10) {
                    d = kDecisionOnLink;
                    changed = true;
                } else if (a.roadClass >= 10 && b.roadClass <= 9) {
                    t.Swap(0, 1);
                    d = kDecisionOnLink;
                    changed = true;
                } else if ((a.linkKind == 4 || a.linkKind == 5) && b.linkKind != 4 && b.linkKind != 5) {
                    t.Swap(0, 1);
                    d = kDecisionOnLink;
                    changed = true;
                }
            }
            // The first has the higher level: no change, so the stay rules
            // below decide (two close parallel roads settle on the better one
            // once the car has stayed on it long enough).
        }
        if (!changed || s0 - s1 > 2) {
            if (prevLink && t.At(0).linkId == prevLink) {
                m_stayCount = std::min(m_stayCount + 1, 4);
                m_stayDistance = static_cast<int32_t>(
                    std::clamp<int64_t>(int64_t{m_stayDistance} + int64_t{speed} * 10 / 36, 0, 1000000));
            } else if (s0 != s1) {
                clearStay();
            } else if (prevLink && t.Count() >= 2 && t.At(1).linkId == prevLink) {
                t.Swap(0, 1);
            } else {
                clearStay();
            }
            if (m_stayDistance > kStayDistanceM) d = kDecisionOnLink;
        }
    }
    if (IsRampKind(t.At(0).relation.linkKind)) d = kDecisionAmbiguous;
    if (d == kDecisionOnLink) clearStay();
    return d;
}

void CMneMapMatch::SetOnBest(int32_t state) {
    const CMatchRankTable::Entry& best = m_kept.At(0);
    m_output.status = state;
    m_output.x = best.relation.footX;
    m_output.y = best.relation.footY;
    m_output.headingDeg = best.relation.bearingDeg;
    m_output.linkId = static_cast<int32_t>(best.linkId);
    m_output.segmentIndex = best.relation.segmentIndex;
    m_output.distanceToEndM = best.relation.distanceToEndM;
}

void CMneMapMatch::DropExpected() {
    m_expectedLink = 0;
    m_expectedHits = 0;
    m_announcingLink = 0;
    m_announcingLength = 0;
}

int CMneMapMatch::Match(const _tagGpsParsedData& input, tagMAPMATCHINFO* out) {
    if (!m_map || !out) return 0;
    m_input = input;
    m_history.Push(input);
    // A fault inside a step ends it with no record; the previous match
    // stays where the caller keeps it.
    int result = 0;
    try {
        result = Step();
    } catch (...) {
        result = 0;
    }
    // The expanded list is built afresh in each step: it is not held between
    // fixes (nothing of it stays on the program heap while the matcher idles).
    m_expanded.reset();
    m_expandedCount = m_expandedCapacity = 0;
    if (result) *out = m_output;
    return result;
}

int CMneMapMatch::Step() {
    const int32_t prevState = m_previous.status;
    m_output = tagMAPMATCHINFO{};
    m_output.time = m_input.time;
    if (prevState != 3) TimeCheck();
    std::array<uint32_t, kRouteLinks> route{};
    const int routeCount = RouteLinks(route);
    const MapPoint at{m_input.x, m_input.y};

    auto rawOutput = [&] {
        m_output.status = 0;
        m_output.x = m_input.x;
        m_output.y = m_input.y;
        m_output.headingDeg = m_input.headingDeg;
        m_output.linkId = 0;
    };

    if (m_mode != kModeTracking) {
        if (!QualityOk(m_input)) return 0;
        rawOutput();
        m_candidateCount = 0;
        Collect(kSearchRadiusM);
        if (m_candidateCount > 0) m_mode = kModeTracking;
        m_stayCount = 0;
        m_stayDistance = 0;
        DropExpected();
    } else {
        if (m_routeChanged) {
            // Reseed from the kept best link, the links before it and the
            // links heading the same way nearby.
            const uint32_t first = m_kept.Count() > 0 ? m_kept.At(0).linkId : 0;
            if (first && (m_linkHistoryCount == 0 || m_linkHistory[0] != first)) {
                for (int i = kHistoryLinks - 1; i > 0; --i) m_linkHistory[static_cast<size_t>(i)] = m_linkHistory[static_cast<size_t>(i - 1)];
                m_linkHistory[0] = first;
                m_linkHistoryCount = std::min(m_linkHistoryCount + 1, kHistoryLinks);
            }
            for (int i = 1; i < m_linkHistoryCount && i <= 4; ++i) {
                const uint32_t id = m_linkHistory[static_cast<size_t>(i)];
                if (id == first) break;
                if (id && m_candidateCount < kMaxCandidates) m_candidates[static_cast<size_t>(m_candidateCount++)] = id;
            }
            if (!CollectByDirection(kReseedRadiusM, kReseedAngleDeg)) return 0;
            m_routeChanged = false;
        }
        if (m_expectedLink && m_gap && prevState != 3) {
            m_candidates[0] = m_expectedLink;
            m_candidateCount = 1;
        }
        if (!m_expectedLink) m_gap = false;
        if (!Expand()) return 0;

        m_work.Clear();
        for (int i = 0; i < m_expandedCount; ++i) {
            const uint32_t id = m_expanded[static_cast<size_t>(i)];
            CMatchRelation r;
            if (!Relate(at, id, &r)) return 0;
            if (r.roadClass > kMaxScoredRoadClass) continue;
            m_work.Insert(id, MneMatchScore(r, m_input, routeCount > 0, m_nrmm), r);
        }
        int d = Decide(m_work, route, routeCount);
        m_kept = m_work;
        const bool hasBest = m_kept.Count() > 0;
        const double bestDistance = hasBest ? m_kept.At(0).relation.distanceM : 1e9;

        if (d == kDecisionNone && bestDistance > kExpectedDropM && prevState < 3 && !m_gap) DropExpected();
        if (m_expectedHits == 0 && m_expectedLink && m_gap) d = kDecisionNone;
        if (m_expectedHits > 0 && d != kDecisionNone && prevState != 3) DropExpected();

        auto dropWhenExpectedBest = [&] {
            if (m_expectedLink && m_kept.At(0).linkId == m_expectedLink && m_gap && prevState != 3) DropExpected();
        };
        switch (d) {
            case kDecisionNone:
                if (m_expectedLink && hasBest) {
                    m_gap = true;
                    ++m_expectedHits;
                    SetOnBest(1);
                    m_candidates[0] = m_kept.At(0).linkId;
                    m_candidateCount = 1;
                    if (QualityOk(m_input) && bestDistance > kExpectedDropM) DropExpected();
                } else {
                    m_gap = false;
                    rawOutput();
                    m_stayCount = 0;
                    m_stayDistance = 0;
                    m_candidateCount = 0;
                    Collect(kSearchRadiusM);
                }
                break;
            case kDecisionOnLink:
                dropWhenExpectedBest();
                SetOnBest(1);
                m_candidates[0] = m_kept.At(0).linkId;
                m_candidateCount = 1;
                break;
            case kDecisionAmbiguous:
                dropWhenExpectedBest();
                SetOnBest(2);
                m_candidateCount = 0;
                for (int i = 0; i < std::min(5, m_kept.Count()); ++i)
                    if (m_kept.Score(i) > 2) m_candidates[static_cast<size_t>(m_candidateCount++)] = m_kept.At(i).linkId;
                break;
            default:
                return 0;
        }
    }

    // The link's record values.
    MneLinkGuideRecord record{};
    if (m_output.linkId && m_map->GetLinkRecord(static_cast<uint32_t>(m_output.linkId), &record)) {
        m_output.roadClass = record.roadClass;
        m_output.linkKind = record.linkKind;
        m_output.structureKind = MneLinkStructureKind(record);
    } else {
        m_output.roadClass = m_output.linkKind = m_output.structureKind = -1;
        m_output.segmentIndex = m_output.distanceToEndM = -1;
    }

    // Hold: no step backwards along the same link while standing still.
    if (m_output.linkId && m_output.linkId == m_previous.linkId && m_output.distanceToEndM > m_previous.distanceToEndM) {
        ++m_holdCount;
        if (m_input.speedKmh < 2 || m_holdCount <= 2) {
            const double time = m_output.time;
            m_output = m_previous;
            m_output.time = time;
        }
    } else {
        m_holdCount = 0;
    }

    if (routeCount > 0 && m_expectedLink && m_expectedLink != static_cast<uint32_t>(m_output.linkId)) {
        m_output.status = 3;
    } else {
        DropExpected();
    }
    m_previous = m_output;
    return 1;
}

bool GpsBuildMatchInput(const GpsFixRecord& fix, _tagGpsParsedData* out) {
    _tagGpsParsedData in;
    in.x = GpsNmeaToMapUnits(fix.longitudeNmea);
    in.y = GpsNmeaToMapUnits(fix.latitudeNmea);
    in.time = static_cast<double>(GpsFixLocalEpochSeconds(fix));
    in.secondsOfDay = fix.hour * 3600 + fix.minute * 60 + fix.second;
    in.speedKmh = fix.speedKmh;
    in.headingDeg = fix.headingDeg;
    in.satellitesInView = fix.satellitesInView;
    in.settled = static_cast<int32_t>(fix.settled);
    in.hdopX10 = fix.hdopX10;
    *out = in;
    return IsInGpsServiceArea(in.x, in.y);
}
