#pragma once
// The sample points of the planned route ahead for the along-the-route
// search (search kind 5): points about one step apart along the route from
// the vehicle onward, each with a flag byte that tells the search how to
// treat it.
//
// Sampling: the walk starts on the route link the vehicle is on, at the
// shape point of that link nearest to the current position, and follows the
// links' shapes in their direction of travel. Points are interpolated
// between shape points so that successive points lie one step apart along
// the route (approximate distances); the same point is never emitted twice
// in a row. The walk ends after the route's last point or at the point
// limit.
//
// Motorway links (road class 0) are sampled in their own way, whatever the
// step: every kMotorwayStepM metres, flag kSampleFlagMotorway; a motorway
// ramp or junction link (link kinds 4 and 11 to 14) gives its shape points
// whole, flag kSampleFlagMotorwayShape. The last point of a run of such
// points carries kSampleFlagRunEnd (the direction of travel there runs from
// the point before it). Every other link is sampled at the step, flag 0.
#include <cstdint>
#include <functional>
#include <vector>

#include "foundation/coords.h"

class CMgrConfigModuleSVC;
class CMgrConfigModuleGPS;
class CMgrMap;

inline constexpr uint8_t kSampleFlagOrdinary = 0;
inline constexpr uint8_t kSampleFlagMotorway = 1;
inline constexpr uint8_t kSampleFlagMotorwayShape = 2;
inline constexpr uint8_t kSampleFlagRunEnd = 3;
inline constexpr uint32_t kMotorwayStepM = 200;

// One link of the route as the sampling needs it: its shape in the
// direction of travel and two attributes of its guidance record.
struct RouteSampleLink {
    std::vector<MapPoint> shape;
    int32_t roadClass = -1;  // -1: no record
    int32_t linkKind = -1;
};

// Reads link i of the route (0 = the vehicle's link); false when the route
// has no link i. A link whose shape cannot be read is given with an empty
// shape and passed over.
using RouteSampleLinkReader = std::function<bool(size_t index, RouteSampleLink& out)>;

// Samples the route: up to maxPoints points and flags, stepM (at least 1)
// apart; the number written.
int SampleRouteLinks(const RouteSampleLinkReader& readLink, const MapPoint& position, uint32_t stepM,
                     int maxPoints, MapPoint* points, uint8_t* flags);

// Where the sampling reads the route from: the selected route of the
// guidance settings with its tracked link index, the map-data manager's
// shapes and guidance records, and the matched position. A null member is
// the process-wide object.
struct RouteSampleSources {
    CMgrConfigModuleSVC* guide = nullptr;
    CMgrMap* map = nullptr;
    CMgrConfigModuleGPS* gps = nullptr;
};

// Samples the planned route ahead of the vehicle; 0 when there is no route,
// no open map or no readable link.
int SampleRoutePoints(const RouteSampleSources& sources, uint32_t stepM, int maxPoints, MapPoint* points,
                      uint8_t* flags);
