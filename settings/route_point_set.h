#pragma once
// The route request record (296 bytes) that the screens fill from the
// current course and hand to the route planner, with its point part
// RoutePointSet. The drive screens own how it is filled; the settings
// objects keep copies of it and save a few of its fields.
//
// In memory it is a plain record; where it crosses into the planner's byte
// form (RouteParamInput) it goes field by field through the byte cursor.
#include <cstddef>
#include <cstdint>

#include "foundation/coords.h"
#include "platform/byte_cursor.h"
#include "settings/module_rp.h"

inline constexpr int kRouteRequestMaxVia = 16;
inline constexpr int kRouteRequestMaxLinks = 4;

// Start, goal and via points of a request, with the two interchange link
// lists at its end (record offsets 32..291).
struct RoutePointSet {
    // A new point set has no via points and empty link lists.
    RoutePointSet() : viaCount(0), linkCount1(0), linkCount2(0), links1{}, links2{} {}

    MapPoint start;                            // (0, 0): the current position
    int32_t startKind = 0;
    MapPoint goal;
    int32_t reserved = 0;
    MapPoint via[kRouteRequestMaxVia];
    int32_t viaKind[kRouteRequestMaxVia] = {};
    int32_t viaCount;
    int32_t linkCount1;
    int32_t linkCount2;
    int32_t links1[kRouteRequestMaxLinks];
    int32_t links2[kRouteRequestMaxLinks];
};
static_assert(sizeof(RoutePointSet) == 260);

struct RouteRequestOption {
    int32_t eGoalType = 0;
    int32_t bIsGoalDir = 0;
    int32_t bTP = 0;
    int32_t bRTM = 0;
    int32_t bShortTurn = 0;
};

struct RouteRequestPref {
    uint8_t yHighWay = 0;
    uint8_t yCityHighWay = 0;
    uint8_t yTollRoad = 0;
    uint8_t yLane3 = 0;
    uint8_t yAlley = 0;
    uint8_t yDetourUturn = 0;
    uint8_t yDetourLeft = 0;
};

struct RouteRequest {
    uint32_t uRouteMode = 0;
    RouteRequestOption sOption;
    RouteRequestPref sPref;
    uint8_t spare = 0;
    RoutePointSet points;
    int32_t routeType = 0;  // set by the planner's re-plan, 0 for a plan

    friend bool operator==(const RouteRequest& a, const RouteRequest& b);
};
static_assert(sizeof(RouteRequest) == 296);
static_assert(offsetof(RouteRequest, sPref) == 24);
static_assert(offsetof(RouteRequest, points) == 32);
static_assert(offsetof(RouteRequest, routeType) == 292);

namespace route_request_detail {
inline void PutPoint(platform::ByteWriter& w, const MapPoint& p) {
    w.I32(p.x);
    w.I32(p.y);
}
inline MapPoint TakePoint(platform::ByteReader& r) {
    MapPoint p;
    p.x = r.I32();
    p.y = r.I32();
    return p;
}
}  // namespace route_request_detail

// The planner's byte form of a request.
inline RouteParamInput EncodeRouteRequest(const RouteRequest& in) {
    using route_request_detail::PutPoint;
    platform::ByteWriter w;
    w.U32(in.uRouteMode);
    w.I32(in.sOption.eGoalType);
    w.I32(in.sOption.bIsGoalDir);
    w.I32(in.sOption.bTP);
    w.I32(in.sOption.bRTM);
    w.I32(in.sOption.bShortTurn);
    for (uint8_t b : {in.sPref.yHighWay, in.sPref.yCityHighWay, in.sPref.yTollRoad, in.sPref.yLane3, in.sPref.yAlley,
                      in.sPref.yDetourUturn, in.sPref.yDetourLeft}) {
        w.U8(b);
    }
    w.U8(in.spare);
    const RoutePointSet& p = in.points;
    PutPoint(w, p.start);
    w.I32(p.startKind);
    PutPoint(w, p.goal);
    w.I32(p.reserved);
    for (const MapPoint& v : p.via) PutPoint(w, v);
    for (int32_t k : p.viaKind) w.I32(k);
    w.I32(p.viaCount);
    w.I32(p.linkCount1);
    w.I32(p.linkCount2);
    for (int32_t id : p.links1) w.I32(id);
    for (int32_t id : p.links2) w.I32(id);
    w.I32(in.routeType);
    RouteParamInput out;
    const size_t n = w.Size() < sizeof(out.bytes) ? w.Size() : sizeof(out.bytes);
    for (size_t i = 0; i < n; ++i) out.bytes[i] = w.Data()[i];
    return out;
}

inline RouteRequest DecodeRouteRequest(const RouteParamInput& in) {
    using route_request_detail::TakePoint;
    platform::ByteReader r(in.bytes, sizeof(in.bytes));
    RouteRequest out;
    out.uRouteMode = r.U32();
    out.sOption.eGoalType = r.I32();
    out.sOption.bIsGoalDir = r.I32();
    out.sOption.bTP = r.I32();
    out.sOption.bRTM = r.I32();
    out.sOption.bShortTurn = r.I32();
    for (uint8_t* b : {&out.sPref.yHighWay, &out.sPref.yCityHighWay, &out.sPref.yTollRoad, &out.sPref.yLane3,
                       &out.sPref.yAlley, &out.sPref.yDetourUturn, &out.sPref.yDetourLeft}) {
        *b = r.U8();
    }
    out.spare = r.U8();
    RoutePointSet& p = out.points;
    p.start = TakePoint(r);
    p.startKind = r.I32();
    p.goal = TakePoint(r);
    p.reserved = r.I32();
    for (MapPoint& v : p.via) v = TakePoint(r);
    for (int32_t& k : p.viaKind) k = r.I32();
    p.viaCount = r.I32();
    p.linkCount1 = r.I32();
    p.linkCount2 = r.I32();
    for (int32_t& id : p.links1) id = r.I32();
    for (int32_t& id : p.links2) id = r.I32();
    out.routeType = r.I32();
    return out;
}

inline bool operator==(const RouteRequest& a, const RouteRequest& b) {
    const RouteParamInput x = EncodeRouteRequest(a);
    const RouteParamInput y = EncodeRouteRequest(b);
    for (size_t i = 0; i < sizeof(x.bytes); ++i) {
        if (x.bytes[i] != y.bytes[i]) return false;
    }
    return true;
}
