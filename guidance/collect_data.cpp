#include "guidance/collect_data.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>

#include "foundation/debug_trace.h"
#include "mapdb/camera_file.h"
#include "mapdb/mgr_map.h"
#include "mapdb/road_network.h"
#include "mapdb/service_map.h"
#include "mapdb/small_readers.h"
#include "platform/byte_cursor.h"
#include "settings/module_svc.h"
#include "settings/module_tpeg.h"

struct CMneCollectData::LinkFacts {
    MneLinkGuideRecord rec{};
    std::vector<MnePathEntry> path;
    int rawTurn = 0;  // the path file's code toward the next link
    // Class and kind of each branch of the path record.
    std::vector<std::pair<int, int>> branchClassKind;
};

namespace {

int32_t NonNegative(uint32_t v) { return static_cast<int32_t>(v) < 0 ? 0 : static_cast<int32_t>(v); }
int LaneCountOf(const MneLinkGuideRecord& r) { return static_cast<int>(r.directional[0]); }

// The road-kind bit of a link the route or a branch goes onto.
uint32_t KindBit(int kind) {
    if (kind == 3) return GUIDE_DIRECTION;
    if (kind == 4 || kind == 5) return GUIDE_JUNCTION;
    if (kind == 7) return GUIDE_REST;
    return 0;
}

// The guide-flag rule of one (next link, code) pair.
uint32_t PairFlags(int code, int nextClass, int nextKind) {
    if (code == 94 || code == 95) return GUIDE_TOLL | GUIDE_TURN;
    uint32_t f = IsGuidedTurnCode(code) ? static_cast<uint32_t>(GUIDE_TURN) : 0u;
    if (nextClass == 0) f |= KindBit(nextKind);
    return f;
}

bool EndsWith(const std::u16string& s, std::u16string_view tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

bool IsGuidedJunctionName(const std::u16string& name) {
    static const std::u16string_view kNames[] = {u"북로분기점", u"자유로분기점", u"학의분기점", u"한남대교남단", u"88JC"};
    if (EndsWith(name, u"IC")) return true;
    for (auto n : kNames)
        if (name == n) return true;
    return false;
}

int FoldRampCodes(int firstCode, int secondCode) {
    const int delta = secondCode - firstCode;
    int fold = delta + 6;
    if (fold > 12) fold = delta - 6;
    else if (fold <= 0) fold = delta + 18;
    return 80 + fold;
}

namespace {

void CopyText(char16_t* dst, const std::u16string& text) {
    const std::u16string fitted = FitGuideText(text);
    std::fill(dst, dst + kGuideTextChars, 0);
    std::copy(fitted.begin(), fitted.end(), dst);
}

std::u16string Cut(const std::u16string& s, size_t maxChars) {
    if (s.size() <= maxChars) return s;
    size_t n = maxChars;
    if (n > 0 && s[n - 1] >= 0xD800 && s[n - 1] <= 0xDBFF) --n;  // a lead surrogate without its pair
    return s.substr(0, n);
}

std::u16string Number(int v) {
    const std::string s = std::to_string(v);
    return std::u16string(s.begin(), s.end());
}

}  // namespace

SvcLaneWords DecodeLaneWords(uint8_t laneCountByte, const uint8_t* lanes28) {
    SvcLaneWords w;
    w.count = std::min<int>(laneCountByte, kGuideLaneWords);
    for (int i = 0; i < kGuideLaneWords; ++i)
        w.words[i] = static_cast<uint16_t>(lanes28[2 * i] | (lanes28[2 * i + 1] << 8));
    return w;
}

std::vector<tagSVCROUTEPOINTIN> MakeRoutePoints(CMneRoadLineMapFile& lines, const std::vector<int32_t>& links,
                                                const std::vector<int32_t>& legEnds,
                                                const std::vector<MapPoint>& positions) {
    std::vector<tagSVCROUTEPOINTIN> out;
    if (links.empty() || positions.size() < 2 || legEnds.size() + 2 < positions.size()) return out;
    for (size_t k = 0; k < positions.size(); ++k) {
        tagSVCROUTEPOINTIN p;
        p.linkIndex = k == 0 ? 0 : k + 1 == positions.size() ? static_cast<int32_t>(links.size()) - 1 : legEnds[k - 1];
        p.linkIndex = std::clamp<int32_t>(p.linkIndex, 0, static_cast<int32_t>(links.size()) - 1);
        std::vector<MapPoint> shape;
        if (lines.GetLinkShapeCopy(static_cast<uint32_t>(links[static_cast<size_t>(p.linkIndex)]), 1, shape) != 1 ||
            shape.empty())
            return {};
        // The foot on the nearest segment and the distance along the shape.
        const MapPoint at = positions[k];
        double best = 1e300;
        uint32_t along = 0, walked = 0;
        MapPoint foot = shape.front();
        for (size_t s = 0; s + 1 < shape.size(); ++s) {
            const MapPoint a = shape[s], b = shape[s + 1];
            const double dx = b.x - a.x, dy = b.y - a.y, len2 = dx * dx + dy * dy;
            const double t = len2 > 0 ? std::clamp(((at.x - a.x) * dx + (at.y - a.y) * dy) / len2, 0.0, 1.0) : 0.0;
            const MapPoint f{static_cast<int32_t>(std::lround(a.x + t * dx)), static_cast<int32_t>(std::lround(a.y + t * dy))};
            const double ex = f.x - at.x, ey = f.y - at.y;
            if (ex * ex + ey * ey < best) {
                best = ex * ex + ey * ey;
                foot = f;
                along = walked + GetApproxDistance(a, f);
            }
            walked += GetApproxDistance(a, b);
        }
        p.position = foot;
        p.offsetM = static_cast<int32_t>(along);
        out.push_back(p);
    }
    return out;
}

std::u16string FitGuideText(std::u16string text) { return Cut(text, kGuideTextChars - 1); }

void tagSVCROUTEDATA::Clear() {
    for (auto* v : {&linkIds, &trafficIds, &lengthM, &cumLengthM, &timeS, &cumTimeS, &turnCode, &flags,
                    &highwayEntry, &tollGateId, &laneMark, &repeatedMark, &nextRoutePoint, &section, &nextLane,
                    &nextGuidePoint, &shapeFirst, &shapeLast})
        v->clear();
    guidePoints.clear();
    routePoints.clear();
    lanes.clear();
    sections.clear();
    events.clear();
    tollGates.clear();
    shape.clear();
    boxMin = boxMax = {};
    for (auto& s : mainRoads) s.clear();
    firstJunction.clear();
    lastJunction.clear();
    std::fill(std::begin(tollTotals), std::end(tollTotals), 0);
    totalLengthM = totalTimeS = 0;
}

int CMneCollectData::Init(CMneServiceMainMapFile* serviceMap, CMnePathMapFile* pathMap,
                          CMneRoadLineMapFile* roadLineMap, CMneNameMapFile* nameMap, CMneSAMapFile* serviceAreaMap,
                          CMneLinkMapFile* linkMap, CMneCalTollPrice* tollPrice, CMneExtLaneMapFile* laneMap,
                          CMneExtTBTMapFile* turnMap) {
    if (!serviceMap || !pathMap || !roadLineMap || !nameMap || !serviceAreaMap || !linkMap || !tollPrice ||
        !laneMap || !turnMap)
        return 0;
    m_service = serviceMap;
    m_path = pathMap;
    m_roadLine = roadLineMap;
    m_names = nameMap;
    m_serviceAreas = serviceAreaMap;
    m_links = linkMap;
    m_toll = tollPrice;
    m_lanes = laneMap;
    m_turns = turnMap;
    MgrLock hold(m_lock);
    if (!m_congestion) {
        const CMgrConfigModuleTPEG* store = CMgrConfigModuleTPEG::Instance();
        if (store) m_congestion = [store](int32_t id) { return store->GetLinkCongestion(id); };
    }
    return 1;
}

int CMneCollectData::Init(CMgrMap& map, CMneCalTollPrice* tollPrice) {
    return Init(map.ServiceMain(), map.Paths(), map.RoadLines(), map.Names(), map.ServiceAreas(), map.Links(),
                tollPrice, map.Lanes(), map.Turns());
}

void CMneCollectData::SetCongestion(CongestionOf congestion) {
    MgrLock hold(m_lock);
    m_congestion = std::move(congestion);
}

void CMneCollectData::SetVehicleClass(int vehicleClass) {
    MgrLock hold(m_lock);
    m_vehicleClass = std::clamp(vehicleClass, 1, kTollVehicleClasses);
}

int CMneCollectData::SetRoute(int linkCount, const int32_t* linkIds, const int32_t* trafficIds, int pointCount,
                              const tagSVCROUTEPOINTIN* points) {
    if (linkCount <= 0 || !linkIds || !trafficIds || !points || pointCount <= 1) return 0;
    if (pointCount > kGuideMaxVia + 2) return 0;
    for (int k = 0; k < pointCount; ++k)
        if (points[k].linkIndex < 0 || points[k].linkIndex >= linkCount) return 0;
    MgrLock hold(m_lock);
    m_inLinks.assign(linkIds, linkIds + linkCount);
    m_inTraffic.assign(trafficIds, trafficIds + linkCount);
    m_inPoints.assign(points, points + pointCount);
    return 1;
}

int CMneCollectData::TrafficState(int32_t trafficId) const {
    CongestionOf congestion;
    {
        MgrLock hold(m_lock);
        congestion = m_congestion;
    }
    const int s = congestion ? congestion(trafficId) : 0;
    return s == 255 ? 0 : s;
}

std::u16string CMneCollectData::NameOf(int32_t nameId) {
    if (nameId <= 0 || !m_names) return {};
    MgrLock hold(m_names->Lock());
    const MneNameRecord* r = m_names->GetName(static_cast<uint32_t>(nameId));
    return r ? std::u16string(r->text) : std::u16string();
}

bool CMneCollectData::ReadLinks(tagSVCROUTEDATA& d, std::vector<LinkFacts>& facts) {
    const size_t n = d.linkIds.size();
    facts.assign(n, LinkFacts{});
    for (size_t i = 0; i < n; ++i) {
        LinkFacts& f = facts[i];
        const uint32_t id = static_cast<uint32_t>(d.linkIds[i]);
        if (m_service->GetLinkRecord(id, &f.rec) != 1) {
            DebugTrace(1, "[SVC] no guidance record for link %u\n", id);
            return false;
        }
        m_path->GetLinkPathCopy(id, f.path);
        if (i + 1 < n)
            for (const MnePathEntry& e : f.path)
                if (e.linkId == static_cast<uint32_t>(d.linkIds[i + 1])) f.rawTurn = e.value;
        if (f.rec.roadClass == 0) {
            for (const MnePathEntry& e : f.path) {
                MneLinkGuideRecord b;
                if (m_service->GetLinkRecord(e.linkId, &b) == 1) f.branchClassKind.push_back({b.roadClass, b.linkKind});
                else f.branchClassKind.push_back({-1, 0});
            }
        }
    }
    return true;
}

bool CMneCollectData::PerLinkPass(tagSVCROUTEDATA& d, const std::vector<LinkFacts>& facts) {
    const int n = static_cast<int>(d.linkIds.size());
    for (auto* v : {&d.lengthM, &d.cumLengthM, &d.timeS, &d.cumTimeS, &d.turnCode, &d.flags, &d.highwayEntry,
                    &d.tollGateId, &d.laneMark, &d.repeatedMark, &d.nextRoutePoint, &d.section, &d.nextLane,
                    &d.nextGuidePoint})
        v->assign(static_cast<size_t>(n), 0);
    int32_t cumLen = 0, cumTime = 0, entries = 0;
    for (int i = 0; i < n; ++i) {
        const LinkFacts& f = facts[static_cast<size_t>(i)];
        const MneLinkGuideRecord& r = f.rec;
        d.lengthM[i] = static_cast<int32_t>(r.length);
        cumLen += d.lengthM[i];
        d.cumLengthM[i] = cumLen;
        d.timeS[i] = EstimateLinkTimeS(d.lengthM[i], r.roadClass, LaneCountOf(r), r.twoWay != 0,
                                       TrafficState(d.trafficIds[i]), i + 1 < n ? f.rawTurn : 0);
        cumTime += d.timeS[i];
        d.cumTimeS[i] = cumTime;
        if (i + 1 < n) {
            const MneLinkGuideRecord& next = facts[static_cast<size_t>(i + 1)].rec;
            const int code = f.rawTurn;
            d.turnCode[i] = (code == 94 || code == 95) ? code : GuidedTurnCode(code);
            uint32_t flags = PairFlags(code, next.roadClass, next.linkKind);
            if (r.roadClass == 0) {
                for (size_t b = 0; b < f.path.size(); ++b)
                    flags |= PairFlags(f.path[b].value, f.branchClassKind[b].first, f.branchClassKind[b].second);
            }
            d.flags[i] = flags;
            if (r.roadClass > 0 && next.roadClass == 0) ++entries;
            if (code == 94 || code == 95)
                d.tollGateId[i] = r.setBWord ? r.setBWord : next.setBWord;
        } else {
            d.turnCode[i] = kTurnCodeGoal;
        }
        d.highwayEntry[i] = entries;
    }
    // Route-point bits.
    const int points = static_cast<int>(m_workPoints.size());
    for (int k = 0; k < points; ++k) {
        const int li = m_workPoints[static_cast<size_t>(k)].linkIndex;
        if (k == 0) d.flags[li] |= GUIDE_ORIGIN;
        else if (k == points - 1) d.flags[li] |= GUIDE_GOAL;
        else if (k <= kGuideMaxVia) d.flags[li] |= GuideViaFlag(k);
    }
    // The route point each link leads to.
    int k = 1;
    for (int i = 0; i < n; ++i) {
        while (k < points - 1 && m_workPoints[static_cast<size_t>(k)].linkIndex < i) ++k;
        d.nextRoutePoint[i] = k;
    }
    return true;
}

bool CMneCollectData::AssignTollPrices(tagSVCROUTEDATA& d, const std::vector<LinkFacts>& facts) {
    const int n = static_cast<int>(d.linkIds.size());
    int previousEntry = -1;
    for (int i = 0; i + 1 < n; ++i) {
        if (d.turnCode[i] != 94 && d.turnCode[i] != 95) continue;
        tagTOLLGATE g;
        g.gateId = d.tollGateId[i];
        if (d.tollGates.empty()) {
            if (d.highwayEntry[i] == 0) g.kind = facts[0].rec.roadClass == 0 ? kTollGateFirstOnHighway : kTollGateFirstOffHighway;
            else g.kind = kTollGateNewStretch;
        } else {
            g.kind = d.highwayEntry[i] == previousEntry ? kTollGateSameStretch : kTollGateNewStretch;
        }
        previousEntry = d.highwayEntry[i];
        d.tollGates.push_back(g);
    }
    if (d.tollGates.empty()) return true;
    if (m_toll->PriceRoute(static_cast<int>(d.tollGates.size()), d.tollGates.data()) != 1) {
        DebugTrace(1, "[SVC] toll gates of the route cannot be priced\n");
        return false;
    }
    for (const tagTOLLGATE& g : d.tollGates)
        for (int c = 0; c < kTollVehicleClasses; ++c)
            if (g.price[c] > 0) d.tollTotals[c] += g.price[c];
    return true;
}

void CMneCollectData::FindHighwayRuns(tagSVCROUTEDATA& d, const std::vector<LinkFacts>& facts) {
    struct Entry {
        int minor, section, index;
        uint32_t number;
        int32_t cum;
        int32_t id;
    };
    std::vector<Entry> entries;
    const int n = static_cast<int>(d.linkIds.size());
    for (int i = 0; i < n; ++i) {
        const MneLinkGuideRecord& r = facts[static_cast<size_t>(i)].rec;
        const int minor = (r.roadClass >= 2 && LaneCountOf(r) <= 4) ? 1 : 0;
        entries.push_back({minor, d.nextRoutePoint[i], i, static_cast<uint32_t>(d.linkIds[i]) & 0x7FFFFFF,
                           d.cumLengthM[i], d.linkIds[i]});
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        if (a.minor != b.minor) return a.minor > b.minor;  // minor first
        if (a.section != b.section) return a.section < b.section;
        if (a.number != b.number) return a.number < b.number;
        return a.index < b.index;
    });
    for (size_t k = 1; k < entries.size(); ++k) {
        const Entry& a = entries[k - 1];
        const Entry& b = entries[k];
        if (a.section != b.section || a.number != b.number || a.minor != b.minor) continue;
        if (std::abs(b.cum - a.cum) <= 500) continue;
        // Driven twice the same way: up to the middle of the stretch;
        // there and back: the whole stretch.
        const int last = a.id == b.id ? (a.index + b.index) / 2 : b.index;
        for (int i = a.index; i <= last; ++i) d.repeatedMark[i] = 1;
    }
}

std::u16string CMneCollectData::BuildRoutePointText(int pointIndex, int pointCount, const std::u16string& name) const {
    if (pointIndex == 0) return name.empty() ? u"출발지" : Cut(name, 70) + u"에서 출발";
    if (pointIndex == pointCount - 1) return name.empty() ? u"목적지" : Cut(name, 70) + u" 도착";
    return name.empty() ? u"경유지" : Cut(name, 70) + u" 경유";
}

void CMneCollectData::BuildRoutePoints(tagSVCROUTEDATA& d) {
    const int points = static_cast<int>(m_workPoints.size());
    const int32_t originOffset = m_workPoints.front().offsetM;
    for (int k = 0; k < points; ++k) {
        const tagSVCROUTEPOINTIN& in = m_workPoints[static_cast<size_t>(k)];
        tagSVCROUTEPOINT p;
        p.flag = k == 0 ? GUIDE_ORIGIN : k == points - 1 ? GUIDE_GOAL : GuideViaFlag(std::min(k, kGuideMaxVia));
        p.linkIndex = in.linkIndex;
        const int32_t before = in.linkIndex > 0 ? d.cumLengthM[in.linkIndex - 1] : 0;
        p.measureM = std::max(0, before + in.offsetM - originOffset);
        p.position = in.position;
        p.code = k == 0 ? kTurnCodeOrigin : k == points - 1 ? kTurnCodeGoal : 301 + k;
        p.text = BuildRoutePointText(k, points, in.name);
        d.routePoints.push_back(std::move(p));
    }
    // A goal at the very start of its link: the turn before it is not told.
    const tagSVCROUTEPOINTIN& goal = m_workPoints.back();
    if (goal.offsetM == 0 && goal.linkIndex > 0) {
        d.flags[goal.linkIndex - 1] &= ~kGuidePointBits;
        d.turnCode[goal.linkIndex - 1] = 0;
    }
}

bool CMneCollectData::BuildShape(tagSVCROUTEDATA& d) {
    const int n = static_cast<int>(d.linkIds.size());
    d.shapeFirst.assign(static_cast<size_t>(n), 0);
    d.shapeLast.assign(static_cast<size_t>(n), 0);
    std::vector<MapPoint> pts;
    auto nearestSegment = [](const std::vector<MapPoint>& s, MapPoint p) {
        size_t best = 0;
        double bestD = 1e300;
        for (size_t k = 0; k + 1 < s.size(); ++k) {
            const double dx = s[k + 1].x - s[k].x, dy = s[k + 1].y - s[k].y;
            const double len2 = dx * dx + dy * dy;
            double t = len2 > 0 ? ((p.x - s[k].x) * dx + (p.y - s[k].y) * dy) / len2 : 0;
            t = std::clamp(t, 0.0, 1.0);
            const double ex = s[k].x + t * dx - p.x, ey = s[k].y + t * dy - p.y;
            if (ex * ex + ey * ey < bestD) bestD = ex * ex + ey * ey, best = k;
        }
        return best;
    };
    for (int i = 0; i < n; ++i) {
        if (m_roadLine->GetLinkShapeCopy(static_cast<uint32_t>(d.linkIds[i]), 1, pts) != 1 || pts.empty()) {
            DebugTrace(1, "[SVC] no shape for link %d\n", d.linkIds[i]);
            return false;
        }
        size_t from = 0, to = pts.size() - 1;
        std::vector<MapPoint> clipped;
        if (i == 0 && pts.size() >= 2) {
            from = nearestSegment(pts, m_workPoints.front().position) + 1;
            clipped.push_back(m_workPoints.front().position);
        }
        if (i == n - 1 && pts.size() >= 2) to = nearestSegment(pts, m_workPoints.back().position);
        for (size_t k = from; k <= to && k < pts.size(); ++k) clipped.push_back(pts[k]);
        if (i == n - 1 && pts.size() >= 2) clipped.push_back(m_workPoints.back().position);
        if (n == 1 && clipped.size() < 2) clipped = {m_workPoints.front().position, m_workPoints.back().position};
        d.shapeFirst[i] = static_cast<int32_t>(d.shape.size());
        d.shape.insert(d.shape.end(), clipped.begin(), clipped.end());
        d.shapeLast[i] = static_cast<int32_t>(d.shape.size()) - 1;
    }
    d.boxMin = d.boxMax = d.shape.front();
    for (const MapPoint& p : d.shape) {
        d.boxMin.x = std::min(d.boxMin.x, p.x);
        d.boxMin.y = std::min(d.boxMin.y, p.y);
        d.boxMax.x = std::max(d.boxMax.x, p.x);
        d.boxMax.y = std::max(d.boxMax.y, p.y);
    }
    return true;
}

std::u16string CMneCollectData::BuildGuideText(const tagSVCROUTEDATA& d, int linkIndex, uint32_t flags, int code,
                                               int32_t price, const std::vector<LinkFacts>& facts) {
    const LinkFacts& f = facts[static_cast<size_t>(linkIndex)];
    const std::u16string junction = Cut(NameOf(NonNegative(f.rec.directional[1])), 70);
    if (flags & GUIDE_TOLL) {
        if (price > 0) return junction + u" (요금:" + Number(price) + u"원)";
        if (price == 0) return junction + u" (영수증 제출)";
        return junction;
    }
    if (flags & GUIDE_REST) {
        std::u16string name;
        for (size_t b = 0; b < f.path.size() && b < f.branchClassKind.size(); ++b) {
            if (f.branchClassKind[b].second != 7) continue;
            MgrLock hold(m_serviceAreas->Lock());
            const MneServiceAreaInfo* sa = m_serviceAreas->GetServiceArea(f.path[b].linkId);
            if (sa) name = sa->name;
            break;
        }
        if (name.empty() && linkIndex + 1 < static_cast<int>(d.linkIds.size())) {
            MgrLock hold(m_serviceAreas->Lock());
            const MneServiceAreaInfo* sa = m_serviceAreas->GetServiceArea(static_cast<uint32_t>(d.linkIds[linkIndex + 1]));
            if (sa) name = sa->name;
        }
        if (name.find(u"휴게소") == std::u16string::npos) name += u"휴게소";
        return name;
    }
    if (flags & GUIDE_TURN) {
        const std::u16string phrase = TurnPhraseOf(code);
        if (junction.empty()) return phrase;
        std::u16string text = junction + u"에서";
        bool direction = false;
        if (linkIndex + 1 < static_cast<int>(facts.size())) {
            const MneLinkGuideRecord& next = facts[static_cast<size_t>(linkIndex + 1)].rec;
            for (uint32_t id : {next.directional[2], next.value56}) {
                const std::u16string name = Cut(NameOf(NonNegative(id)), 70);
                if (name.empty()) continue;
                text += u" " + name;
                direction = true;
            }
        }
        return direction ? text + u" 방면 " + phrase : text + u" " + phrase;
    }
    return junction;  // junction and direction points: the name unchanged
}

void CMneCollectData::BuildGuidePoints(tagSVCROUTEDATA& d, const std::vector<LinkFacts>& facts) {
    const int n = static_cast<int>(d.linkIds.size());
    int vehicle;
    {
        MgrLock hold(m_lock);
        vehicle = m_vehicleClass;
    }
    for (int i = 0; i + 1 < n; ++i) {
        uint32_t flags = d.flags[i];
        if (!(flags & kGuidePointBits)) continue;
        const LinkFacts& f = facts[static_cast<size_t>(i)];
        const int32_t junctionId = NonNegative(f.rec.directional[1]);
        if (flags & GUIDE_JUNCTION) {
            const std::u16string name = NameOf(junctionId);
            if (name.empty() || !IsGuidedJunctionName(name)) flags &= ~kGuideSignBits;
        }
        if (!(flags & kGuidePointBits)) continue;
        if (flags & kGuideSignBits) {
            bool skip = false;
            for (int k = static_cast<int>(d.guidePoints.size()) - 1; k >= 0; --k) {
                tagSVCGUIDEPOINT& earlier = d.guidePoints[static_cast<size_t>(k)];
                if (earlier.highwayEntry != d.highwayEntry[i]) continue;
                if (earlier.junctionName != junctionId) continue;
                if (!(flags & GUIDE_TURN)) skip = true;
                else if (earlier.flags & GUIDE_TURN) flags &= ~kGuideSignBits;
                else d.guidePoints.erase(d.guidePoints.begin() + k);
                break;
            }
            if (skip) continue;
        }
        const int code = d.turnCode[i];
        // Two ramp codes in a row at one junction fold into one.
        if (!d.guidePoints.empty() && code >= 80 && code <= 92) {
            tagSVCGUIDEPOINT& last = d.guidePoints.back();
            if (last.turnCode >= 80 && last.turnCode <= 92 && last.junctionName == junctionId &&
                last.linkIndex + 1 == i) {
                last.turnCode = FoldRampCodes(last.turnCode, code);
                CopyText(last.text, BuildGuideText(d, last.linkIndex, last.flags, last.turnCode, last.tollPrice, facts));
                continue;
            }
        }
        const MneLinkGuideRecord& next = facts[static_cast<size_t>(i + 1)].rec;
        tagSVCGUIDEPOINT p;
        p.flags = flags;
        p.linkIndex = i;
        p.roadClass = f.rec.roadClass;
        p.nextRoadClass = next.roadClass;
        p.laneCount = static_cast<int16_t>(LaneCountOf(f.rec));
        p.nextLaneCount = static_cast<int16_t>(LaneCountOf(next));
        p.highwayEntry = d.highwayEntry[i];
        p.position = d.shape[static_cast<size_t>(d.shapeLast[i])];
        p.turnCode = code;
        if (flags & GUIDE_TOLL) {
            for (const tagTOLLGATE& g : d.tollGates)
                if (g.gateId == d.tollGateId[i]) p.tollPrice = g.price[vehicle - 1];
        }
        p.directionName1 = NonNegative(next.directional[2]);
        p.directionName2 = NonNegative(next.value56);
        p.junctionName = junctionId;
        p.nextRoadName = NonNegative(next.nameId);
        p.secondName = NonNegative(f.rec.value4);
        p.attributes[0] = NonNegative(f.rec.value8);
        p.attributes[1] = f.rec.word20;
        CopyText(p.text, BuildGuideText(d, i, flags, code, p.tollPrice, facts));
        d.guidePoints.push_back(p);
    }
    tagSVCGUIDEPOINT goal;
    goal.flags = GUIDE_GOAL;
    goal.linkIndex = n - 1;
    goal.roadClass = goal.nextRoadClass = facts.back().rec.roadClass;
    goal.laneCount = goal.nextLaneCount = static_cast<int16_t>(LaneCountOf(facts.back().rec));
    goal.highwayEntry = d.highwayEntry.back();
    goal.position = m_workPoints.back().position;
    goal.turnCode = kTurnCodeGoal;
    CopyText(goal.text, d.routePoints.back().text);
    d.guidePoints.push_back(goal);

    // The guidance point each link leads to.
    size_t g = 0;
    for (int i = 0; i < n; ++i) {
        while (g + 1 < d.guidePoints.size() && d.guidePoints[g].linkIndex < i) ++g;
        d.nextGuidePoint[i] = static_cast<int32_t>(g);
    }
}

void CMneCollectData::ExitDistances(tagSVCROUTEDATA& d) {
    auto turnOf = [&](int i, MneTurnInfo* out) {
        if (i + 1 >= static_cast<int>(d.linkIds.size())) return false;
        MgrLock hold(m_turns->Lock());
        const MneTurnInfo* t = m_turns->GetTurnInfo(static_cast<uint32_t>(d.linkIds[i]), static_cast<uint32_t>(d.linkIds[i + 1]));
        if (!t) return false;
        *out = *t;
        return true;
    };
    int previousLink = -1;
    for (tagSVCGUIDEPOINT& p : d.guidePoints) {
        p.exitDistanceM = 0;
        MneTurnInfo t{};
        const int li = p.linkIndex;
        if (!(p.flags & GUIDE_GOAL) && turnOf(li, &t) && t.type == 1 && (t.value8 / 10) % 1000 != 0) {
            for (int j = li - 1; j > previousLink; --j) {
                MneTurnInfo back{};
                if (!turnOf(j, &back)) continue;
                if (back.type == 1) break;
                if (back.type == 3) {
                    p.exitDistanceM = d.cumLengthM[li] - d.cumLengthM[j];
                    break;
                }
            }
        }
        previousLink = li;
    }
}

void CMneCollectData::BuildLanes(tagSVCROUTEDATA& d, const std::vector<LinkFacts>& facts) {
    (void)facts;
    const int n = static_cast<int>(d.linkIds.size());
    for (int i = 0; i + 1 < n; ++i) {
        MneLaneInfo info;
        {
            MgrLock hold(m_lanes->Lock());
            const MneLaneInfo* l = m_lanes->GetLaneInfo(static_cast<uint32_t>(d.linkIds[i]));
            if (!l) continue;
            info = *l;
        }
        const SvcLaneWords words = DecodeLaneWords(info.value4, info.lanes);
        tagSVCLANEINFO rec;
        rec.linkIndex = i;
        rec.position = d.shape[static_cast<size_t>(d.shapeLast[i])];
        rec.wordCount = words.count;
        std::copy(std::begin(words.words), std::end(words.words), rec.words);
        d.laneMark[i] = 1;
        d.lanes.push_back(rec);
    }
    size_t k = 0;
    for (int i = 0; i < n; ++i) {
        while (k < d.lanes.size() && d.lanes[k].linkIndex < i) ++k;
        d.nextLane[i] = k < d.lanes.size() ? static_cast<int32_t>(k) : -1;
    }
}

void CMneCollectData::ActivateLanes(tagSVCROUTEDATA& d, const std::vector<LinkFacts>& facts) {
    for (size_t r = 0; r < d.lanes.size(); ++r) {
        tagSVCLANEINFO& lane = d.lanes[r];
        const tagSVCGUIDEPOINT& gp = d.guidePoints[static_cast<size_t>(d.nextGuidePoint[lane.linkIndex])];
        int cls = 8;
        if (gp.linkIndex == lane.linkIndex) {
            cls = LaneArrowClassOf(gp.turnCode);
        } else if (gp.linkIndex > lane.linkIndex && gp.junctionName != 0) {
            bool same = true;
            for (int i = lane.linkIndex; i <= gp.linkIndex && same; ++i) {
                const int32_t name = NonNegative(facts[static_cast<size_t>(i)].rec.nameId);
                if (name == 0 || name != gp.junctionName) same = false;
                if (i > lane.linkIndex && d.laneMark[i]) same = false;
            }
            if (same) {
                DebugTrace(2, "MoveLaneInfo(%d) : %d ==> %d\n", static_cast<int>(r), lane.linkIndex, gp.linkIndex);
                lane.linkIndex = gp.linkIndex;
                lane.position = gp.position;
                cls = LaneArrowClassOf(gp.turnCode);
            }
        }
        lane.arrowClass = cls;
        bool matched = false;
        for (int w = 0; w < lane.wordCount && cls != 0; ++w) {
            if ((lane.words[w] >> 8) & cls) {
                lane.words[w] = static_cast<uint16_t>((cls << 8) | (lane.words[w] & 0xFF));
                matched = true;
            }
        }
        if (!matched) {
            const uint16_t* v = lane.words;
            DebugTrace(2, "차선 정보 활성화 실패 ==> (%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d)/(%d)\n", lane.wordCount,
                       v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9], v[10], v[11], v[12], v[13], cls);
        }
    }
}

void CMneCollectData::BuildRoadNameSections(tagSVCROUTEDATA& d, const std::vector<LinkFacts>& facts) {
    const int n = static_cast<int>(d.linkIds.size());
    for (int i = 0; i < n; ++i) {
        const MneLinkGuideRecord& r = facts[static_cast<size_t>(i)].rec;
        const int32_t nameId = NonNegative(r.nameId);
        const int32_t signs[3] = {r.word22, r.word24, r.word26};
        bool extend = false;
        if (!d.sections.empty()) {
            tagSVCROADSECTION& s = d.sections.back();
            const bool tunnel = d.turnCode[i - 1] == kTurnCodeTunnel;
            const bool sameSigns = std::equal(std::begin(signs), std::end(signs), s.signIds);
            extend = tunnel || (sameSigns && (nameId == s.nameId || nameId == 0));
        }
        if (!extend) {
            tagSVCROADSECTION s;
            s.roadClass = r.roadClass;
            s.roadKind = r.linkKind;
            s.nameId = nameId;
            s.numberId = r.word20;
            std::copy(std::begin(signs), std::end(signs), s.signIds);
            s.signCount = static_cast<int32_t>(std::count_if(std::begin(signs), std::end(signs), [](int32_t v) { return v != 0; }));
            s.name = nameId ? NameOf(nameId) : std::u16string();
            s.firstLink = i;
            d.sections.push_back(std::move(s));
        }
        d.sections.back().lastLink = i;
        d.section[i] = static_cast<int32_t>(d.sections.size()) - 1;
    }
}

void CMneCollectData::Totals(tagSVCROUTEDATA& d, const std::vector<LinkFacts>& facts) {
    (void)facts;
    const int n = static_cast<int>(d.linkIds.size());
    const tagSVCROUTEPOINTIN& origin = m_workPoints.front();
    const tagSVCROUTEPOINTIN& goal = m_workPoints.back();
    const int32_t goalRest = std::max(0, d.lengthM[n - 1] - goal.offsetM);
    d.totalLengthM = std::max(0, d.cumLengthM[n - 1] - goalRest - origin.offsetM);
    auto share = [&](int i, int32_t metres) {
        return d.lengthM[i] > 0 ? static_cast<int32_t>(static_cast<int64_t>(d.timeS[i]) * metres / d.lengthM[i]) : 0;
    };
    d.totalTimeS = std::max(0, d.cumTimeS[n - 1] - share(n - 1, goalRest) - share(0, origin.offsetM));

    // First and last guided junction names.
    bool firstDone = false;
    for (const tagSVCGUIDEPOINT& p : d.guidePoints) {
        if (!(p.flags & GUIDE_JUNCTION)) continue;
        const std::u16string name = Cut(NameOf(p.junctionName), kGuideSummaryChars - 1);
        if (!firstDone) {
            if (name.empty()) {
                firstDone = true;
            } else if (name != u"X") {
                d.firstJunction = name;
                firstDone = true;
            }
        }
        d.lastJunction = name;
    }
    PickHighwayNames(d);
}

void CMneCollectData::PickHighwayNames(tagSVCROUTEDATA& d) {
    struct Road {
        int32_t key;
        bool number;
        int64_t length;
        int32_t firstLink;
        std::u16string name;
    };
    std::vector<Road> roads;
    for (const tagSVCROADSECTION& s : d.sections) {
        const bool byNumber = s.roadKind == 15 && s.numberId != 0;
        const bool byName = s.roadClass < 6 && s.nameId != 0 && !s.name.empty();
        if (!byNumber && !byName) continue;
        const int32_t length = d.cumLengthM[s.lastLink] - (s.firstLink > 0 ? d.cumLengthM[s.firstLink - 1] : 0);
        const int32_t key = byNumber ? s.numberId : s.nameId;
        auto it = std::find_if(roads.begin(), roads.end(), [&](const Road& r) { return r.number == byNumber && r.key == key; });
        if (it == roads.end()) roads.push_back({key, byNumber, length, s.firstLink, byNumber ? Number(s.numberId) : s.name});
        else it->length += length;
    }
    if (d.totalLengthM <= 20000)
        for (Road& r : roads)
            if (!r.number && r.length * 20 < d.totalLengthM) r.length = 0;
    std::stable_sort(roads.begin(), roads.end(), [](const Road& a, const Road& b) {
        return a.length != b.length ? a.length > b.length : a.firstLink < b.firstLink;
    });
    std::vector<Road> kept;
    for (const Road& r : roads)
        if (r.length > 0 && kept.size() < 3) kept.push_back(r);
    std::sort(kept.begin(), kept.end(), [](const Road& a, const Road& b) { return a.firstLink < b.firstLink; });
    for (size_t k = 0; k < kept.size(); ++k) d.mainRoads[k] = Cut(kept[k].name, kGuideSummaryChars - 1);
}

void CMneCollectData::BuildEventList(tagSVCROUTEDATA& d) {
    const int32_t originOffset = m_workPoints.front().offsetM;
    const int points = static_cast<int>(d.routePoints.size());
    for (int k = 0; k + 1 < points; ++k) {
        const tagSVCROUTEPOINT& p = d.routePoints[static_cast<size_t>(k)];
        const int32_t time = p.linkIndex > 0 ? d.cumTimeS[p.linkIndex - 1] : 0;
        d.events.push_back({kSvcEventRoutePoint, k, p.linkIndex, p.measureM, time});
    }
    for (size_t s = 0; s < d.sections.size(); ++s)
        if (!d.sections[s].name.empty())
            d.events.push_back({kSvcEventRoadName, static_cast<int32_t>(s), d.sections[s].firstLink, 0, 0});
    for (size_t g = 0; g + 1 < d.guidePoints.size(); ++g) {
        const tagSVCGUIDEPOINT& p = d.guidePoints[g];
        if (p.turnCode == kTurnCodeTunnel) continue;
        d.events.push_back({kSvcEventGuidePoint, static_cast<int32_t>(g), p.linkIndex,
                            d.cumLengthM[p.linkIndex] - originOffset, d.cumTimeS[p.linkIndex]});
    }
    std::stable_sort(d.events.begin(), d.events.end(), [](const tagSVCEVENT& a, const tagSVCEVENT& b) {
        return a.linkIndex != b.linkIndex ? a.linkIndex < b.linkIndex : a.kind < b.kind;
    });
    const tagSVCROUTEPOINT& goal = d.routePoints.back();
    d.events.push_back({kSvcEventRoutePoint, points - 1, goal.linkIndex, d.totalLengthM, d.totalTimeS});
}

int CMneCollectData::Gather() {
    if (!m_service) return 0;
    tagSVCROUTEDATA& d = m_work;
    d.Clear();
    {
        MgrLock hold(m_lock);
        if (m_inLinks.empty() || m_inPoints.size() < 2) return 0;
        d.linkIds = m_inLinks;
        d.trafficIds = m_inTraffic;
        m_workPoints = m_inPoints;
    }
    std::vector<LinkFacts> facts;
    if (!ReadLinks(d, facts) || !PerLinkPass(d, facts) || !AssignTollPrices(d, facts)) return 0;
    FindHighwayRuns(d, facts);
    BuildRoutePoints(d);
    if (!BuildShape(d)) return 0;
    BuildGuidePoints(d, facts);
    ExitDistances(d);
    BuildLanes(d, facts);
    ActivateLanes(d, facts);
    BuildRoadNameSections(d, facts);
    Totals(d, facts);
    BuildEventList(d);

    std::vector<std::array<int32_t, 4>> inputs;
    for (size_t i = 0; i < facts.size(); ++i) {
        const MneLinkGuideRecord& r = facts[i].rec;
        inputs.push_back({r.roadClass, LaneCountOf(r), r.twoWay, i + 1 < facts.size() ? facts[i].rawTurn : 0});
    }
    MgrLock hold(m_lock);
    std::swap(m_data, m_work);
    m_timeInputs = std::move(inputs);
    m_gathered = true;
    return 1;
}

int CMneCollectData::RecomputeTimes() {
    MgrLock hold(m_lock);
    if (!m_congestion || !m_gathered || m_data.linkIds.empty()) return 0;
    tagSVCROUTEDATA& d = m_data;
    const int n = static_cast<int>(d.linkIds.size());
    int32_t cum = 0;
    for (int i = 0; i < n; ++i) {
        const auto& in = m_timeInputs[static_cast<size_t>(i)];
        int state = m_congestion(d.trafficIds[i]);
        if (state == 255) state = 0;
        d.timeS[i] = EstimateLinkTimeS(d.lengthM[i], in[0], in[1], in[2] != 0, state, in[3]);
        cum += d.timeS[i];
        d.cumTimeS[i] = cum;
    }
    const tagSVCROUTEPOINTIN& origin = m_inPoints.front();
    const tagSVCROUTEPOINTIN& goal = m_inPoints.back();
    const int32_t goalRest = std::max(0, d.lengthM[n - 1] - goal.offsetM);
    auto share = [&](int i, int32_t metres) {
        return d.lengthM[i] > 0 ? static_cast<int32_t>(static_cast<int64_t>(d.timeS[i]) * metres / d.lengthM[i]) : 0;
    };
    d.totalTimeS = std::max(0, d.cumTimeS[n - 1] - share(n - 1, goalRest) - share(0, origin.offsetM));
    for (tagSVCEVENT& e : d.events)
        if (e.kind == kSvcEventGuidePoint) e.timeS = d.cumTimeS[e.linkIndex];
    if (!d.events.empty()) d.events.back().timeS = d.totalTimeS;
    return 1;
}

int32_t CMneCollectData::TollPriceOf(int32_t gateId) const {
    MgrLock hold(m_lock);
    for (const tagTOLLGATE& g : m_data.tollGates)
        if (g.gateId == gateId) return g.price[m_vehicleClass - 1];
    return -1;
}

void CMneCollectData::Reset() {
    MgrLock hold(m_lock);
    m_data = tagSVCROUTEDATA{};
    m_work = tagSVCROUTEDATA{};
    m_inLinks.clear();
    m_inTraffic.clear();
    m_inPoints.clear();
    m_timeInputs.clear();
    m_gathered = false;
}

tagSVCROUTEDATA CMneCollectData::Snapshot() const {
    MgrLock hold(m_lock);
    return m_data;
}

int CMneCollectData::BuildGuideRoute(GuideRoute* out) const {
    if (!out) return 0;
    MgrLock hold(m_lock);
    const tagSVCROUTEDATA& d = m_data;
    const int32_t n = static_cast<int32_t>(d.linkIds.size());
    if (!m_gathered || n == 0 || !out->AllocateArrays(n)) return 0;
    const std::vector<int32_t>* tables[kGuideRouteArrayCount] = {
        &d.linkIds,   &d.lengthM,      &d.turnCode,       &d.flags,    &d.cumLengthM,     &d.cumTimeS,
        &d.timeS,     &d.highwayEntry, &d.tollGateId,     &d.laneMark, &d.repeatedMark,   &d.nextRoutePoint,
        &d.section,   &d.nextLane,     &d.nextGuidePoint, &d.trafficIds, &d.shapeFirst,   &d.shapeLast};
    for (int a = 0; a < kGuideRouteArrayCount; ++a)
        std::copy(tables[a]->begin(), tables[a]->end(), out->arrays[a].Data());
    if (!out->guidePoints.Allocate(static_cast<int32_t>(d.guidePoints.size()))) return 0;
    for (size_t g = 0; g < d.guidePoints.size(); ++g) {
        const tagSVCGUIDEPOINT& p = d.guidePoints[g];
        GuidePoint& q = out->guidePoints[static_cast<int32_t>(g)];
        q.linkIndex = p.linkIndex;
        q.routePointIndex = d.nextRoutePoint[p.linkIndex];
        q.roadKind = p.nextRoadClass;
        q.guideType = p.turnCode;
        q.flags = p.flags;
        q.laneCount = p.laneCount;
        q.nameIds[0] = p.junctionName;
        q.nameIds[1] = p.nextRoadName;
        q.nameIds[2] = p.directionName1;
        q.nameIds[3] = p.directionName2;
    }
    if (!out->pathPoints.Allocate(static_cast<int32_t>(d.shape.size()))) return 0;
    std::copy(d.shape.begin(), d.shape.end(), out->pathPoints.Data());
    return 1;
}

std::vector<SvcRouteCamera> ListRouteCameras(CMgrMap& map, const tagSVCROUTEDATA& d) {
    std::vector<SvcRouteCamera> out;
    const int n = static_cast<int>(d.linkIds.size());
    if (n == 0 || d.shapeFirst.size() != static_cast<size_t>(n)) return out;
    // The route's distance at each shape point.
    std::vector<int32_t> along(d.shape.size(), 0);
    for (size_t k = 1; k < d.shape.size(); ++k)
        along[k] = along[k - 1] + static_cast<int32_t>(GetApproxDistance(d.shape[k - 1], d.shape[k]));
    CMneCameraFileBase* files[2] = {map.Cameras(), map.SafeDrive()};
    for (int i = 0; i < n; ++i) {
        const int first = d.shapeFirst[i], last = d.shapeLast[i];
        const MapPoint middle = d.shape[static_cast<size_t>((first + last) / 2)];
        for (int f = 0; f < 2; ++f) {
            if (!files[f]) continue;
            const MneCameraResult* results = nullptr;
            const int count = files[f]->GetCameras(middle, static_cast<uint32_t>(d.linkIds[i]), &results);
            for (int r = 0; r < count && results; ++r) {
                platform::ByteReader rec(results[r].record.data(), results[r].record.size());
                SvcRouteCamera c;
                c.linkIndex = i;
                c.file = f + 1;
                c.position.x = rec.I32();
                c.position.y = rec.I32();
                c.kind = rec.U8();
                c.speedLimitKmh = rec.U16();
                c.sectionLengthM = rec.U16() * 100;
                // Where the camera lies on the link's part of the route.
                int best = first;
                double bestD = 1e300;
                for (int k = first; k <= last; ++k) {
                    const double dx = d.shape[static_cast<size_t>(k)].x - c.position.x;
                    const double dy = d.shape[static_cast<size_t>(k)].y - c.position.y;
                    if (dx * dx + dy * dy < bestD) bestD = dx * dx + dy * dy, best = k;
                }
                const MapPoint at = d.shape[static_cast<size_t>(best)];
                int32_t distance = along[static_cast<size_t>(best)];
                // Before or after the nearest shape point.
                if (best > first && GetApproxDistance(d.shape[static_cast<size_t>(best - 1)], c.position) <
                                        GetApproxDistance(d.shape[static_cast<size_t>(best - 1)], at))
                    distance -= static_cast<int32_t>(GetApproxDistance(c.position, at));
                else
                    distance += static_cast<int32_t>(GetApproxDistance(c.position, at));
                if ((i == 0 && best == first && distance <= 0) || (i == n - 1 && best == last && distance > along.back()))
                    continue;  // behind the origin or past the goal
                c.distanceM = std::max(0, distance);
                out.push_back(c);
            }
            files[f]->ReleaseTiles();
        }
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const SvcRouteCamera& a, const SvcRouteCamera& b) { return a.distanceM < b.distanceM; });
    return out;
}
