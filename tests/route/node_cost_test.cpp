// Node cost: the worked cases, each computed by hand from the speed table
// (cost = 100 x length x 3600 / 1000 / speed, then the factors in order).
#include "route/node_cost.h"

#include <gtest/gtest.h>

namespace {

NcCostLink Link(int roadClass, int lanes, uint32_t lengthM = 1000) {
    NcCostLink l;
    l.roadClass = roadClass;
    l.lanes = lanes;
    l.lengthM = lengthM;
    l.kind = 6;
    return l;
}

TEST(NodeCost, WorkedCases) {
    struct Case {
        const char* name;
        NcCostLink link;
        NcCostRules rules;
        NcCostExtras extras;
        int32_t cost;
    };
    NcCostRules mode0, mode4, class1Zero, lanesRich;
    mode4.mode = 4;
    class1Zero.preferences.enabled = true;
    class1Zero.preferences.class1 = 0;
    lanesRich.preferences.enabled = true;
    lanesRich.preferences.laneRich = 7;
    NcCostLink limited = Link(0, 5);
    limited.speedLimitKmh = 110;
    NcCostLink jammed = Link(0, 5);
    jammed.trafficPercent = 50;
    NcCostLink ramp = Link(2, 1);
    ramp.kind = 3;  // lanes count as 10
    NcCostLink ferry = Link(6, 1);
    ferry.kind = 15;
    NcCostLink both = Link(3, 6);
    both.lanesBothDirections = true;  // six lanes in all: column 3
    const Case cases[] = {
        // 58 km/h (class 0, five lanes a direction: column 5): 360000 / 58.
        {"class 0 at 58 km/h", Link(0, 5), mode0, {}, 6206},
        {"mode 4 at 50 km/h", Link(9, 0), mode4, {}, 7200},
        {"mode 4 ignores class and lanes", Link(0, 5), mode4, {}, 7200},
        // Class 13: 5 km/h, 72000, plus 360000.
        {"class 13", Link(13, 2), mode0, {}, 432000},
        {"class 15", Link(15, 2), mode0, {}, 720000},  // 1 km/h
        // Class 1, column 5: 58 km/h; slider 0: x 2.5 before truncation.
        {"class-1 slider 0", Link(1, 5), class1Zero, {}, 15517},
        {"no traffic speed", Link(0, 5), mode0, {}, 6206},
        {"half traffic speed", jammed, mode0, {}, 12413},
        // 110 km/h limit: trunc(58 x 1.07) = 62.
        {"limit 110 on class 0", limited, mode0, {}, 5806},
        // Ramp: column 5 of class 2 = 56.
        {"ramp lanes", ramp, mode0, {}, 6428},
        // Class 6, column 1 (34 km/h) 10588; turn class 4 x 4 = 42352;
        // penalty 2 + 24000; mark 2 + 12000.
        {"turn, penalty, mark 2", Link(6, 1), mode0, {4, 2, 2, 0}, 78352},
        // Class 2, column 1 (33): 10909; turn 1 x 0.9 = 9818; mark 1 x 1.5 =
        // 14727; / 0.85 = 17325.
        {"mark 1 with turn class 1", Link(2, 1), mode0, {1, 0, 1, 0}, 17325},
        // Extra 500 per 1000 m of a 6206 cost: + 3103.
        {"extra share", Link(0, 5), mode0, {0, 0, 0, 500}, 9309},
        // Class 6 column 1 = 10588, ferry + 30000.
        {"ferry kind", ferry, mode0, {}, 40588},
        // Class 3, six lanes in all, column 3: 45 km/h = 8000; lane slider 7:
        // speed x 1.6 = 5000.
        {"lane-rich slider", both, lanesRich, {}, 5000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(NcComputeNodeCost(c.link, c.rules, c.extras).cost, c.cost);
    }
    EXPECT_EQ(NcComputeNodeCost(Link(14, 1), mode0, {}).storedClass, 13);
    EXPECT_EQ(NcComputeNodeCost(Link(12, 1), mode0, {}).storedClass, 12);
}

TEST(NodeCost, NoLengthAndHugeLengths) {
    NcCostRules rules;
    EXPECT_EQ(NcComputeNodeCost(Link(0, 5, 0), rules, {0, 0, 0, 500}).cost, 0);  // no division by zero
    // 8000 km at 1 km/h is far beyond 32 bits: it stays below the unreached mark.
    EXPECT_EQ(NcComputeNodeCost(Link(15, 1, 8000000), rules, {4, 3, 2, 100}).cost, kNcCostMax);
}

TEST(NodeCost, SpeedLimitRules) {
    struct Case {
        int roadClass, limit;
        bool flag;
        int speed;
    } const cases[] = {
        {0, 95, false, 58}, {0, 0, false, 58},   {0, 85, false, 52}, {0, 60, false, 49}, {0, 30, false, 47},
        {2, 60, true, 57},  {2, 70, true, 48},   {2, 100, false, 46}, {4, 80, true, 53}, {4, 40, false, 49},
        {4, 20, false, 47}, {7, 60, false, 43},  {7, 35, true, 41},  {7, 20, false, 39},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.roadClass << " " << c.limit);
        NcCostLink l = Link(c.roadClass, 5);  // column 5
        l.speedLimitKmh = c.limit;
        l.flag = c.flag;
        EXPECT_EQ(NcLimitedSpeed(0, l), c.speed);
    }
}

// A request's route kind picks the speed table: 1 the table of mode 0, 2
// that of mode 3, 4 that of mode 2, 8 the 50 km/h of mode 4 (the table of
// mode 1 belongs to no kind). A 1000 m class-0 link with five lanes a
// direction and no limit, by hand from the table's column 5.
TEST(NodeCost, RouteKindsChooseTheSpeedTable) {
    struct Case {
        uint32_t kinds;
        int32_t cost;
    } const cases[] = {
        {1, 6206},   // 58 km/h
        {2, 4864},   // 74 km/h
        {4, 5714},   // 63 km/h
        {8, 7200},   // 50 km/h
        {0, 6206},   // no kind: the first table
        {15, 6206},  // several kinds: the lowest
        {12, 5714},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "kinds " << c.kinds);
        NcCostRules rules;
        rules.mode = NcModeOfRouteKinds(c.kinds);
        EXPECT_EQ(NcComputeNodeCost(Link(0, 5), rules, {}).cost, c.cost);
    }
    // Kind 8 weighs every road by its length alone.
    NcCostRules shortest;
    shortest.mode = NcModeOfRouteKinds(8);
    EXPECT_EQ(NcComputeNodeCost(Link(9, 0), shortest, {}).cost, 7200);
}

// The request's road-option bytes as sliders: highway, city highway,
// three-lane roads and alleys; toll and detour bytes are no sliders; a
// slider past 10 is held there (the alley factor would turn negative).
TEST(NodeCost, RoadOptionBytesAsPreferenceSliders) {
    const uint8_t bytes[7] = {1, 2, 3, 4, 200, 6, 7};
    const NcRoadPreferences off = NcPreferencesOfRoadOptions(false, bytes);
    EXPECT_FALSE(off.enabled);
    EXPECT_EQ(off.class0, 5);
    const NcRoadPreferences p = NcPreferencesOfRoadOptions(true, bytes);
    EXPECT_TRUE(p.enabled);
    EXPECT_EQ(p.class0, 1);
    EXPECT_EQ(p.class1, 2);
    EXPECT_EQ(p.laneRich, 4);
    EXPECT_EQ(p.classes8to10, 10);
}

}  // namespace
