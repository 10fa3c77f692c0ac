#include "positioning/route_simulator.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "mapdb/mgr_map.h"
#include "platform/clock.h"
#include "settings/module_svc.h"

namespace {

// The announcement distances a skip stops before its target, longest first.
constexpr int32_t kAnnounceM[] = {2100, 1100, 600, 400, 150};
constexpr int32_t kCloseTargetM = 150;
constexpr int32_t kPastAnnouncementM = 5;

// Metres to cover of the way d to a target: up to the longest announcement
// distance that d exceeds, then a few metres further.
int32_t ApproachM(int32_t d) {
    for (int32_t a : kAnnounceM)
        if (d > a) return d - a + kPastAnnouncementM;
    return kPastAnnouncementM;
}

// b - a folded into -180..180 (positive clockwise).
int32_t SignedTurn(int32_t a, int32_t b) {
    int32_t d = (b - a) % 360;
    if (d > 180) d -= 360;
    if (d < -180) d += 360;
    return d;
}

}  // namespace

void CMneSimulator::Bind(CMgrMap* map, CMgrConfigModuleSVC* svc) {
    m_map = map;
    m_svc = svc;
}

void CMneSimulator::Reset() {
    CMgrMap* map = m_map;
    CMgrConfigModuleSVC* svc = m_svc;
    *this = CMneSimulator();
    m_map = map;
    m_svc = svc;
}

bool CMneSimulator::LoadRoute() {
    CMgrMap* map = m_map ? m_map : CMgrMap::Instance();
    CMgrConfigModuleSVC* svc = m_svc ? m_svc : CMgrConfigModuleSVC::Instance();
    const int speed = m_speedKmh;
    Reset();
    m_speedKmh = speed;
    if (!map || !svc) return false;

    std::vector<uint32_t> links;
    {
        MgrLock hold(*svc->GetLock());
        const GuideRoute& route = svc->SelectedRoute();
        const int32_t* ids = route.LinkIds();
        for (int32_t i = 0; ids && i < route.linkCount; ++i) links.push_back(static_cast<uint32_t>(ids[i]));
    }

    // The shape of each link in its direction of travel, joined at the
    // shared junction points; repeated points are dropped so that no
    // segment is without length. A link whose shape cannot be read is left
    // out.
    CMneRoadLineMapFile* lines = map->RoadLines();
    std::vector<MapPoint> shape;
    for (size_t i = 0; lines && i < links.size(); ++i) {
        if (!lines->GetLinkShapeCopy(links[i], 1, shape) || shape.size() < 2) continue;
        RoutePart part;
        part.linkId = links[i];
        part.firstPoint = m_points.empty() ? 0 : static_cast<int32_t>(m_points.size()) - 1;
        for (const MapPoint& p : shape) {
            if (!m_points.empty() && m_points.back().x == p.x && m_points.back().y == p.y) continue;
            m_pointM.push_back(m_points.empty() ? 0 : m_pointM.back() + static_cast<int32_t>(GetApproxDistance(m_points.back(), p)));
            m_points.push_back(p);
        }
        part.lastPoint = static_cast<int32_t>(m_points.size()) - 1;
        if (part.lastPoint == part.firstPoint) continue;  // a link of one point adds no way
        m_parts.push_back(part);
    }
    if (m_parts.empty() || m_points.size() < 2) {
        Reset();
        m_speedKmh = speed;
        return false;
    }
    m_lengthM = m_pointM.back();

    // Entry i: the first segment whose end lies at or beyond i per cent of
    // the length, and the offset into it.
    int32_t segment = 0;
    for (int i = 1; i < kTableEntries; ++i) {
        const int32_t at = static_cast<int32_t>(int64_t{i} * m_lengthM / 100);
        while (segment < LastSegment() && m_pointM[static_cast<size_t>(segment + 1)] < at) ++segment;
        m_table[static_cast<size_t>(i)] = {segment, at - m_pointM[static_cast<size_t>(segment)]};
    }
    return true;
}

int32_t CMneSimulator::SegmentLength(int32_t segment) const {
    return m_pointM[static_cast<size_t>(segment + 1)] - m_pointM[static_cast<size_t>(segment)];
}

int32_t CMneSimulator::SegmentBearing(int32_t segment) const {
    return CMneAngle::Bearing(m_points[static_cast<size_t>(segment)], m_points[static_cast<size_t>(segment + 1)]);
}

int CMneSimulator::PartOf(int32_t segment) const {
    // The last part whose first point is at or before the segment.
    auto it = std::upper_bound(m_parts.begin(), m_parts.end(), segment,
                               [](int32_t s, const RoutePart& p) { return s < p.firstPoint; });
    return it == m_parts.begin() ? 0 : static_cast<int>(it - m_parts.begin()) - 1;
}

int32_t CMneSimulator::TravelledM() const {
    return m_points.size() < 2 ? 0 : m_pointM[static_cast<size_t>(m_segment)] + m_travelledM;
}

void CMneSimulator::GoToStart() {
    m_segment = 0;
    m_part = 0;
    m_travelledM = 0;
    m_fractionM = 0.0;
    m_end = false;
    m_turn = Turn();
}

void CMneSimulator::RestartStepClock() { m_stepTick = platform::GetTickCount(); }

void CMneSimulator::SetPlace(int32_t metres) {
    if (m_points.size() < 2) return;
    metres = std::clamp(metres, 0, m_lengthM);
    // Start from the table entry at or before the place.
    const int entry = m_lengthM > 0 ? static_cast<int>(std::min<int64_t>(int64_t{metres} * 100 / m_lengthM, 99)) : 0;
    int32_t segment = m_table[static_cast<size_t>(entry)].pointIndex;
    while (segment > 0 && m_pointM[static_cast<size_t>(segment)] > metres) --segment;
    while (segment < LastSegment() && m_pointM[static_cast<size_t>(segment + 1)] < metres) ++segment;
    m_segment = segment;
    m_part = PartOf(segment);
    m_travelledM = metres - m_pointM[static_cast<size_t>(segment)];
    m_fractionM = 0.0;
    m_end = false;
    m_turn = Turn();
}

void CMneSimulator::GotoPercent(int entry, int32_t metres) {
    if (m_points.size() < 2) return;
    if (entry >= kTableEntries) {
        SetPlace(m_lengthM);
        return;
    }
    const TableEntry& e = m_table[static_cast<size_t>(std::max(entry, 0))];
    SetPlace(m_pointM[static_cast<size_t>(e.pointIndex)] + e.offsetM + std::max(metres, 0));
}

void CMneSimulator::Step() {
    if (m_points.size() < 2) return;
    if (m_end) {
        GoToStart();
        return;
    }
    if (m_turn.active || m_paused) return;
    const uint32_t elapsed = std::min(platform::GetTickCount() - m_stepTick, kMaxStepMs);
    const double way = m_speedKmh / 3.6 * elapsed / 1000.0 + m_fractionM;
    int32_t d = static_cast<int32_t>(std::floor(way));
    m_fractionM = way - d;

    // A sharp corner at the end of this segment: stop at the corner and
    // turn there over a few steps.
    if (d >= SegmentLength(m_segment) - m_travelledM && m_segment < LastSegment()) {
        const int32_t turn = SignedTurn(SegmentBearing(m_segment), SegmentBearing(m_segment + 1));
        if (std::abs(turn) > kCornerDeg) {
            m_turn.active = true;
            m_turn.steps = std::abs(turn) / kCornerDeg;
            m_turn.step = 0;
            m_turn.direction = turn > 0 ? 1 : -1;
            m_turn.angle = std::abs(turn);
            ++m_segment;
            m_part = PartOf(m_segment);
            m_travelledM = 0;
            return;
        }
    }
    while (d > 0) {
        const int32_t rest = SegmentLength(m_segment) - m_travelledM;
        if (d < rest) {
            m_travelledM += d;
            break;
        }
        if (m_segment == LastSegment()) {
            m_travelledM = SegmentLength(m_segment);
            m_end = true;
            break;
        }
        d -= rest;
        ++m_segment;
        m_travelledM = 0;
    }
    m_part = PartOf(m_segment);
}

std::vector<int32_t> CMneSimulator::Targets() const {
    std::vector<int32_t> targets;
    for (const RoutePart& p : m_parts) targets.push_back(m_pointM[static_cast<size_t>(p.lastPoint)]);
    return targets;
}

void CMneSimulator::SkipForward() {
    if (m_points.size() < 2) return;
    const int32_t here = TravelledM();
    const std::vector<int32_t> targets = Targets();
    auto next = std::upper_bound(targets.begin(), targets.end(), here);
    if (next == targets.end()) return;  // at the end already
    int32_t from = here, to = *next;
    // Too close to announce: aim at the target after it, counted from the
    // nearer one.
    if (to - here <= kCloseTargetM && next + 1 != targets.end()) {
        from = to;
        to = *(next + 1);
    }
    SetPlace(from + ApproachM(to - from));
}

void CMneSimulator::SkipBack() {
    if (m_points.size() < 2) return;
    const int32_t here = TravelledM();
    const std::vector<int32_t> targets = Targets();
    auto after = std::lower_bound(targets.begin(), targets.end(), here);
    const int32_t previous = after == targets.begin() ? 0 : *(after - 1);
    SetPlace(here - ApproachM(here - previous));
}

bool CMneSimulator::GetRecord(tagMAPMATCHINFO* out) {
    if (!out || m_points.size() < 2 || m_parts.empty()) return false;
    const MapPoint& a = m_points[static_cast<size_t>(m_segment)];
    const MapPoint& b = m_points[static_cast<size_t>(m_segment + 1)];
    const int32_t length = SegmentLength(m_segment);
    const double t = length > 0 ? static_cast<double>(m_travelledM) / length : 0.0;
    int32_t heading = SegmentBearing(m_segment);
    if (m_turn.active) {
        // Turned back towards the previous segment, less at every output.
        heading -= m_turn.direction * (m_turn.steps - m_turn.step) * m_turn.angle / (m_turn.steps + 1);
        heading = ((heading % 360) + 360) % 360;
        if (++m_turn.step >= m_turn.steps) m_turn = Turn();
    }

    const RoutePart& part = m_parts[static_cast<size_t>(m_part)];
    tagMAPMATCHINFO r;
    r.status = 1;
    r.x = static_cast<int32_t>(std::lround(a.x + (static_cast<double>(b.x) - a.x) * t));
    r.y = static_cast<int32_t>(std::lround(a.y + (static_cast<double>(b.y) - a.y) * t));
    r.headingDeg = heading;
    r.linkId = static_cast<int32_t>(part.linkId);
    r.segmentIndex = m_segment - part.firstPoint;
    r.distanceToEndM = m_pointM[static_cast<size_t>(part.lastPoint)] - TravelledM();
    CMgrMap* map = m_map ? m_map : CMgrMap::Instance();
    MneLinkGuideRecord record{};
    if (map && map->GetLinkRecord(part.linkId, &record)) {
        r.roadClass = record.roadClass;
        r.linkKind = record.linkKind;
        r.structureKind = MneLinkStructureKind(record);
        r.distanceToEndM = static_cast<int32_t>(std::min<int64_t>(r.distanceToEndM, record.length));
    } else {
        r.roadClass = r.linkKind = r.structureKind = -1;
    }
    *out = r;
    return true;
}
