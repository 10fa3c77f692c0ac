#pragma once
// The cost of a search node: the travel time over one link in hundredths of
// a second, from a speed table by route mode, road class and lane count,
// adjusted by the speed limit, the driver's road preferences, traffic speed
// and fixed penalties. Pure functions: the graph fills the input from the
// link record and hands in what it decided (turn class, penalty, mark).
#include <cstdint>

inline constexpr int kNcRouteModes = 5;  // 4: 50 km/h everywhere
inline constexpr int32_t kNcCostUnreached = 0x7F7F7F7F;
// Costs saturate below the unreached mark of the link-id memory.
inline constexpr int32_t kNcCostMax = kNcCostUnreached - 1;
inline constexpr int32_t kNcCostNotForCars = 360000;  // classes 13 and above

struct NcCostLink {
    uint32_t lengthM = 0;
    int32_t y = 0;                 // `MapPoint` units (the regional rule)
    int roadClass = 0;             // 0-15
    int kind = 0;                  // road kind
    int linkType = 0;              // link type of the road data
    int lanes = 0;                 // lane value of the record
    bool lanesBothDirections = false;
    int trafficPercent = 0;        // traffic speed in % of the table's, 0 none
    int speedLimitKmh = 0;         // 0 none
    bool flag = false;             // the record's flag the limit rules read
};

// Road-preference sliders, 5 neutral.
struct NcRoadPreferences {
    bool enabled = false;
    int class0 = 5;
    int class1 = 5;
    int laneRich = 5;     // roads of class 2 and above with many lanes
    int classes8to10 = 5;
};

// The driver's road preferences of a request's seven road-option bytes
// (highway, city highway, toll road, three-lane roads, alleys, U-turn and
// left-turn detours): bytes 0, 1, 3 and 4 are the sliders of classes 0, 1,
// lane-rich roads and classes 8 to 10, held to 0..10; without road options
// the preferences are off.
NcRoadPreferences NcPreferencesOfRoadOptions(bool set, const uint8_t bytes[7]);

struct NcCostRules {
    int mode = 0;  // 0-4
    NcRoadPreferences preferences;
    bool regional = false;
};

// What the graph decided for the node.
struct NcCostExtras {
    int turnClass = 0;    // 0-4
    int penaltyClass = 0; // 0-3
    int mark = 0;         // 0-2
    int32_t extra = 0;    // share added in proportion to the cost per metre
};

// The speed-table mode of a request's route kinds (mode word & 15): the
// lowest kind asked for, 1 -> 0, 2 -> 3, 4 -> 2, 8 -> 4 (50 km/h on every
// road, so that kind's cost follows the length); 0 without a kind. The
// table of mode 1 is not chosen by any kind.
int NcModeOfRouteKinds(uint32_t kinds);
// Speed table entry in km/h (mode 4: 50).
int NcTableSpeed(int mode, int roadClass, int laneIndex);
// The lane value m (10 for kinds 3 to 5; doubled for classes below 8 when
// the record counts one direction) and its table column min(m / 2, 5).
int NcLaneValue(const NcCostLink& link);
// The speed after the speed-limit rules (not in mode 4).
int NcLimitedSpeed(int mode, const NcCostLink& link);

struct NcNodeCost {
    int32_t cost = 0;
    int storedClass = 0;  // the class the node keeps (13 for 13 and above)
};
NcNodeCost NcComputeNodeCost(const NcCostLink& link, const NcCostRules& rules, const NcCostExtras& extras);
