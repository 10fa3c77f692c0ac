// The remaining-cost estimate and the traffic speeds, worked by hand.
#include "route/link_graph.h"

#include <gtest/gtest.h>

namespace {

TEST(LinkGraphTest, RemainingEstimateDoublesLateInLongLegs) {
    struct Case {
        int64_t b, d;
        int c, roadClass, option;
        int32_t expect;
    } cases[] = {
        {10000, 0, 0, 3, 0, 65454},            // 10 km at 55 km/h
        {202000, 200000, 30, 3, 0, 2644363},   // b = 1.3 x 0.7 x d + 20000: doubled
        {201999, 200000, 30, 3, 0, 1322175},   // just short of it
        {202000, 200000, 30, 0, 0, 1322181},   // class 0 is never doubled
        {202000, 200000, 29, 3, 0, 1322181},   // progress below 30 %
        {194000, 200000, 20, 3, 4, 3581538},   // option 4: 1.15, 10000, 20 %, 39 km/h
        {69000, 60000, 50, 5, 0, 903272},      // the second rule: 0.5 x 1.8 x d + 15000
        {69000, 60000, 49, 5, 0, 451636},
        {69000, 50000, 50, 5, 0, 451636},      // legs of 50 km and less
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "b " << c.b << " d " << c.d << " c " << c.c);
        EXPECT_EQ(NcRemainingEstimate(c.b, c.d, c.c, c.roadClass, c.option), c.expect);
    }
    // Far past the cost range: held below the unreached mark.
    EXPECT_EQ(NcRemainingEstimate(int64_t{1} << 40, 0, 0, 0, 0), kNcCostMax);
}

TEST(LinkGraphTest, TrafficSpeedsByCongestionState) {
    const int expect[] = {0, 100, 50, 25, 0, 0, 0, 0};
    for (int state = 0; state < 8; ++state) EXPECT_EQ(NcTrafficPercent(state), expect[state]) << state;
    EXPECT_EQ(NcTrafficPercent(255), 0);
}

}  // namespace
