#pragma once
// Synthetic drives for the map matcher's tests and benchmarks: a car driven
// at a steady speed along a list of links of a data root, one fix a second
// with seeded position noise, an optional stop, and no fixes while it is
// inside a tunnel link. The fixes can be written as an NMEA log ($GPRMC and
// $GPGGA, UTC = local time - 9 hours) that the receiver pipeline decodes.
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/coords.h"
#include "positioning/map_match.h"

class CMgrMap;

namespace writers {

struct DriveOptions {
    int32_t speedKmh = 50;
    uint32_t seed = 1;
    double noiseMinM = 5.0;  // each fix lies this far from the road ..
    double noiseMaxM = 10.0;  // .. at most this far, in a seeded direction
    uint32_t stopLink = 0;  // stop halfway along this link (0: no stop)
    int32_t stopSeconds = 0;
    bool tunnelGap = true;  // no fixes on links of structure kind 2 or 4
    int32_t startSecondsOfDay = 10 * 3600;  // local time of the first fix
    int32_t year = 2026, month = 12, day = 10;
};

struct DriveFix {
    int32_t secondsOfDay = 0;
    MapPoint truth;     // on the road
    MapPoint reported;  // with the noise
    int32_t headingDeg = 0;  // of the road at the true position
    int32_t speedKmh = 0;
    uint32_t linkId = 0;   // the link driven (bit 27 against its stored direction)
    int32_t toEndM = 0;    // from the true position to the link's end
    bool noFix = false;    // the receiver has no fix (tunnel): it holds the last
                           // reported position
};

// One fix a second from the start of the first link to the end of the last.
// Empty when a link's shape or record cannot be read.
std::vector<DriveFix> PlanDrive(CMgrMap& map, const std::vector<uint32_t>& links, const DriveOptions& options);

// The match input of a fix as the pick-up builds it from a good fix (eight
// satellites, HDOP 1.0, the filter settled).
_tagGpsParsedData DriveMatchInput(const DriveFix& fix);

// The drive as a receiver log: for each second with a fix $GPGGA, two
// $GPGSV (eight satellites) and $GPRMC; a second without a fix gives a
// void $GPRMC and a $GPGGA without position.
std::string FormatNmeaDrive(const std::vector<DriveFix>& drive, const DriveOptions& options);

}  // namespace writers
