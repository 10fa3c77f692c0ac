#include "search/route_sampling.h"

#include <cmath>

#include "foundation/critical_section.h"
#include "mapdb/mgr_map.h"
#include "settings/module_gps.h"
#include "settings/module_svc.h"

namespace {

// Ramps and junction links: the kinds the map matcher also treats as ramps.
bool IsRampKind(int32_t kind) { return kind == 4 || (kind >= 11 && kind <= 14); }

class RouteWalk {
public:
    RouteWalk(int maxPoints, MapPoint* points, uint8_t* flags) : m_max(maxPoints), m_points(points), m_flags(flags) {}

    bool Full() const { return m_count >= m_max; }
    int Count() const { return m_count; }
    bool Started() const { return m_started; }
    const MapPoint& Cursor() const { return m_cursor; }

    void Start(const MapPoint& p, uint8_t flag) {
        m_started = true;
        m_cursor = p;
        Emit(p, flag);
    }
    // A point of the route emitted as it is (a shape point given whole, a
    // run's boundary); the distance since the last point starts again.
    void Emit(const MapPoint& p, uint8_t flag) {
        m_cursor = p;
        m_carryM = 0;
        if (Full()) return;
        if (m_count > 0 && m_points[m_count - 1].x == p.x && m_points[m_count - 1].y == p.y) return;
        m_points[m_count] = p;
        m_flags[m_count] = flag;
        ++m_count;
    }
    // Walks from the cursor to q, emitting a point every spacingM metres.
    void WalkTo(const MapPoint& q, uint32_t spacingM, uint8_t flag) {
        const MapPoint from = m_cursor;
        const uint32_t length = GetApproxDistance(from, q);
        uint32_t used = 0;  // metres of this segment before the last point emitted on it
        while (length > 0 && m_carryM + (length - used) >= spacingM && !Full()) {
            used += spacingM - m_carryM;
            const double t = static_cast<double>(used) / length;
            const MapPoint p{static_cast<int32_t>(std::lround(from.x + (static_cast<double>(q.x) - from.x) * t)),
                             static_cast<int32_t>(std::lround(from.y + (static_cast<double>(q.y) - from.y) * t))};
            Emit(p, flag);
        }
        m_carryM += length - used;
        m_cursor = q;
    }
    // The last point of a run of motorway points: the direction of travel
    // there runs from the point before it.
    void EndRun() {
        if (m_count >= 2 && m_flags[m_count - 1] != kSampleFlagOrdinary) m_flags[m_count - 1] = kSampleFlagRunEnd;
    }
    uint8_t LastFlag() const { return m_count > 0 ? m_flags[m_count - 1] : kSampleFlagOrdinary; }

private:
    int m_max;
    MapPoint* m_points;
    uint8_t* m_flags;
    int m_count = 0;
    bool m_started = false;
    MapPoint m_cursor{};
    uint32_t m_carryM = 0;  // metres walked since the last point emitted
};

size_t NearestShapePoint(const std::vector<MapPoint>& shape, const MapPoint& position) {
    size_t best = 0;
    uint32_t bestM = UINT32_MAX;
    for (size_t i = 0; i < shape.size(); ++i) {
        const uint32_t d = GetApproxDistance(shape[i], position);
        if (d < bestM) {
            bestM = d;
            best = i;
        }
    }
    return best;
}

}  // namespace

int SampleRouteLinks(const RouteSampleLinkReader& readLink, const MapPoint& position, uint32_t stepM,
                     int maxPoints, MapPoint* points, uint8_t* flags) {
    if (!readLink || !points || !flags || maxPoints <= 0) return 0;
    if (stepM == 0) stepM = 1;
    RouteWalk walk(maxPoints, points, flags);
    bool inRun = false;  // the previous link was a motorway link
    RouteSampleLink link;
    for (size_t i = 0; !walk.Full() && readLink(i, link); ++i) {
        if (link.shape.empty()) continue;
        const bool motorway = link.roadClass == 0;
        const bool whole = motorway && IsRampKind(link.linkKind);
        const uint8_t flag = !motorway ? kSampleFlagOrdinary : whole ? kSampleFlagMotorwayShape : kSampleFlagMotorway;
        const size_t first = walk.Started() ? 0 : NearestShapePoint(link.shape, position);
        if (!walk.Started()) {
            walk.Start(link.shape[first], flag);
        } else if (motorway != inRun) {
            // A run of motorway points begins or ends at this junction.
            if (inRun) walk.EndRun();
            walk.WalkTo(link.shape[0], stepM, kSampleFlagOrdinary);
            if (motorway) walk.Emit(walk.Cursor(), flag);
        }
        for (size_t k = first; k < link.shape.size() && !walk.Full(); ++k) {
            if (whole)
                walk.Emit(link.shape[k], flag);
            else
                walk.WalkTo(link.shape[k], motorway ? kMotorwayStepM : stepM, flag);
        }
        // A motorway link ends on a point of its own.
        if (motorway) walk.Emit(walk.Cursor(), flag);
        inRun = motorway;
    }
    if (walk.Started()) walk.Emit(walk.Cursor(), inRun ? kSampleFlagMotorway : kSampleFlagOrdinary);
    if (inRun) walk.EndRun();
    return walk.Count();
}

int SampleRoutePoints(const RouteSampleSources& sources, uint32_t stepM, int maxPoints, MapPoint* points,
                      uint8_t* flags) {
    CMgrConfigModuleSVC* guide = sources.guide ? sources.guide : CMgrConfigModuleSVC::Instance();
    CMgrMap* map = sources.map ? sources.map : CMgrMap::Instance();
    CMgrConfigModuleGPS* gps = sources.gps ? sources.gps : CMgrConfigModuleGPS::Instance();
    if (!guide || !map || !map->IsOpen()) return 0;

    // The route's links from the one the vehicle is on (from the start while
    // guidance has not placed the vehicle on the route yet).
    std::vector<uint32_t> links;
    {
        MgrLock hold(*guide->GetLock());
        const GuideRoute& route = guide->SelectedRoute();
        const int32_t* ids = route.LinkIds();
        int32_t from = guide->Tracking().linkIndex;
        if (from < 0 || from >= route.linkCount) from = 0;
        for (int32_t i = from; ids && i < route.linkCount; ++i) links.push_back(static_cast<uint32_t>(ids[i]));
    }
    if (links.empty()) return 0;
    const MapPoint position = gps ? gps->GetMatchedPosition() : MapPoint{};

    CMneRoadLineMapFile* lines = map->RoadLines();
    if (!lines) return 0;
    const RouteSampleLinkReader read = [&](size_t i, RouteSampleLink& out) {
        if (i >= links.size()) return false;
        out.roadClass = out.linkKind = -1;
        if (!lines->GetLinkShapeCopy(links[i], 1, out.shape)) out.shape.clear();
        MneLinkGuideRecord record{};
        if (map->GetLinkRecord(links[i], &record)) {
            out.roadClass = record.roadClass;
            out.linkKind = record.linkKind;
        }
        return true;
    };
    return SampleRouteLinks(read, position, stepM, maxPoints, points, flags);
}
