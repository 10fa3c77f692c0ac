// The route demonstration on the demo district, driven through the GPS
// module's simulator commands with a fake clock: a drive from start to goal
// turning through the corner over three steps, the stops of the skips at the
// announcement distances, and the jump through the point table.
#include "positioning/route_simulator.h"

#include <gtest/gtest.h>

#include <vector>

#include "mapdb/mgr_map.h"
#include "platform/clock.h"
#include "positioning/map_match.h"
#include "settings/module_rp.h"
#include "settings/module_svc.h"
#include "support/demo_map_fixture.h"
#include "tools/writers/demo_map.h"

namespace {

// East along the southern street (four blocks of about 880 m), then north up
// the eastmost avenue for two blocks: one left turn of about 90 degrees.
const std::vector<uint32_t> kRoute = {1, 2, 3, 4, 37, 38};

class RouteSimulatorTest : public testsupport::DemoMapTest {
protected:
    void SetUp() override {
        testsupport::SelectGuideRoute(svc, kRoute);
        module = CModuleGPS::Instance();
        module->SetRouteSimulator(nullptr);
        sim = &module->RouteSimulator();
        sim->Bind(map, &svc);
        block = CMgrConfigModuleGPS::Instance();
    }
    void TearDown() override { sim->Bind(nullptr, nullptr); }

    tagMAPMATCHINFO Latest() const {
        tagMAPMATCHINFO r;
        block->GetMatchInfo(&r);
        return r;
    }
    static const std::vector<MapPoint>& Shape(uint32_t link) { return writers::DemoLinks()[link - 1].shape; }
    static int32_t LinkLengthM(uint32_t link) {
        int32_t m = 0;
        const auto& s = Shape(link);
        for (size_t i = 1; i < s.size(); ++i) m += static_cast<int32_t>(GetApproxDistance(s[i - 1], s[i]));
        return m;
    }

    platform::FakeClock clock{100000};
    platform::ScopedClock useClock{clock};
    CMgrConfigModuleSVC svc;
    CModuleGPS* module = nullptr;
    CMneSimulator* sim = nullptr;
    CMgrConfigModuleGPS* block = nullptr;
};

TEST_F(RouteSimulatorTest, DrivesFromStartToGoalTurningThroughTheCorner) {
    module->StartRouteSimulation(72);  // 20 m a second
    tagMAPMATCHINFO r = Latest();
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.linkId, 1);
    EXPECT_EQ(r.x, Shape(1).front().x);
    EXPECT_EQ(r.y, Shape(1).front().y);
    EXPECT_NEAR(r.headingDeg, 90, 2);
    EXPECT_EQ(r.roadClass, 5);
    EXPECT_EQ(r.distanceToEndM, LinkLengthM(1));

    // The corner: the last bearing of link 4 and the first of link 37.
    const auto& s4 = Shape(4);
    const int32_t before = CMneAngle::Bearing(s4[s4.size() - 2], s4.back());
    const int32_t after = CMneAngle::Bearing(Shape(37)[0], Shape(37)[1]);
    ASSERT_GT(before - after, 80);  // a left turn from east to north

    std::vector<tagMAPMATCHINFO> seen{r};
    size_t goal = 0;
    for (int k = 0; k < 400 && !goal; ++k) {
        clock.Advance(1000);
        ASSERT_EQ(module->RunPendingCommand(), 1);
        seen.push_back(Latest());
        if (sim->AtEnd()) goal = seen.size() - 1;
    }
    ASSERT_GT(goal, 0u) << "the goal is reached";
    int32_t total = 0;
    for (uint32_t link : kRoute) total += LinkLengthM(link);
    EXPECT_EQ(sim->RouteLengthM(), total);

    size_t linkIndex = 0;
    std::vector<int32_t> turning;
    for (size_t k = 1; k <= goal; ++k) {
        const tagMAPMATCHINFO& p = seen[k - 1];
        const tagMAPMATCHINFO& q = seen[k];
        ASSERT_EQ(q.status, 1);
        // The links of the route in order, none skipped or repeated.
        if (static_cast<uint32_t>(q.linkId) != kRoute[linkIndex]) {
            ++linkIndex;
            ASSERT_LT(linkIndex, kRoute.size());
            ASSERT_EQ(static_cast<uint32_t>(q.linkId), kRoute[linkIndex]) << "step " << k;
        }
        const uint32_t moved = GetApproxDistance({p.x, p.y}, {q.x, q.y});
        if (q.x == Shape(37)[0].x && q.y == Shape(37)[0].y) {
            turning.push_back(q.headingDeg);  // the move ends at the corner
        } else if (k != goal) {
            EXPECT_NEAR(moved, 20.0, 1.5) << "step " << k;
        }
    }
    EXPECT_EQ(linkIndex, kRoute.size() - 1);
    // 90 degrees over three steps: a quarter, a half and three quarters of
    // the way from the old bearing to the new, standing at the corner.
    ASSERT_EQ(turning.size(), 3u);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(turning[k], before + (k + 1) * (after - before) / 4.0, 1.0) << k;

    const tagMAPMATCHINFO& end = seen[goal];
    EXPECT_EQ(end.linkId, 38);
    EXPECT_EQ(end.x, Shape(38).back().x);
    EXPECT_EQ(end.y, Shape(38).back().y);
    EXPECT_EQ(end.distanceToEndM, 0);
    EXPECT_LE(CMneAngle::Difference(end.headingDeg, 0), 2);
    // The step after the goal starts again.
    clock.Advance(1000);
    ASSERT_EQ(module->RunPendingCommand(), 1);
    EXPECT_EQ(Latest().linkId, 1);
    EXPECT_EQ(Latest().x, Shape(1).front().x);
}

TEST_F(RouteSimulatorTest, SkipsStopAtTheAnnouncementDistances) {
    module->StartRouteSimulation(60);
    // Link ends are about 880 m apart: 600 m before the first, then 400 and
    // 150 m, each 5 m further; within 150 m the skip aims at the next end.
    struct Stop {
        int32_t link;
        int32_t leftM;
    };
    const Stop forward[] = {{1, 595}, {1, 395}, {1, 145}, {2, 595}, {2, 395}};
    for (const Stop& s : forward) {
        module->SkipForward();
        EXPECT_EQ(Latest().linkId, s.link);
        EXPECT_EQ(Latest().distanceToEndM, s.leftM);
    }
    // Back towards the end of link 1 (about 485 m behind): to 400 m past
    // it, 5 m further; then 150 m past it, 5 m further; within 150 m the
    // car only goes the 5 m.
    const int32_t first = LinkLengthM(1);
    const int32_t back[] = {first + 395, first + 145, first + 140};
    for (int32_t at : back) {
        module->SkipBack();
        EXPECT_EQ(sim->TravelledM(), at);
    }
    // The pending form runs the skip and a step of a second: 595 m before
    // the end of link 2, then 16 m on at 60 km/h (16.7 m, the rest carried).
    module->RequestSkipForward();
    clock.Advance(1000);
    ASSERT_EQ(module->RunPendingCommand(), 1);
    EXPECT_EQ(Latest().linkId, 2);
    EXPECT_EQ(Latest().distanceToEndM, 579);
}

TEST_F(RouteSimulatorTest, JumpsThroughThePointTableAndPauses) {
    module->StartRouteSimulation(50);
    const int32_t total = sim->RouteLengthM();
    for (int32_t at : {0, 1234, total / 2, total - 7}) {
        module->JumpTo(at, total);
        EXPECT_EQ(sim->TravelledM(), at);
    }
    module->JumpTo(total, total);
    EXPECT_EQ(Latest().linkId, 38);
    EXPECT_EQ(Latest().distanceToEndM, 0);
    // Paused, a step moves nothing until the clock restarts.
    module->RestartPaused();
    clock.Advance(1000);
    module->StepAtSpeed(50);
    EXPECT_EQ(sim->TravelledM(), 0);
    module->Resume();
    clock.Advance(1000);
    module->StepAtSpeed(50);
    EXPECT_EQ(sim->TravelledM(), 13);  // 13.9 m, the fraction carried
    clock.Advance(1000);
    module->StepAtSpeed(50);
    EXPECT_EQ(sim->TravelledM(), 27);  // 27.8 m
    // A long gap counts as one second.
    clock.Advance(60000);
    module->StepAtSpeed(50);
    EXPECT_EQ(sim->TravelledM(), 41);  // 41.7 m
}

}  // namespace
