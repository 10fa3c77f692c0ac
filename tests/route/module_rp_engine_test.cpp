// The route-planning module on its thread with the real route engine over
// the demo district: a plan between two places, one through a waypoint,
// and a re-plan with an avoided link; the stored results hold drivable
// links, the waypoint boundary and the traffic link id of every link.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "mapdb/mgr_map.h"
#include "route/module_rp.h"
#include "route/module_rp_wait.h"
#include "route/route_engine.h"
#include "settings/module_gps.h"
#include "settings/module_rp.h"
#include "support/temp_dir.h"
#include "tools/writers/demo_map.h"
#include "tools/writers/route_data_writer.h"

namespace {

MapPoint Degrees(double lon, double lat) {
    return MapPoint{static_cast<int32_t>(lon * kMapUnitsPerDegree), static_cast<int32_t>(lat * kMapUnitsPerDegree)};
}

const MapPoint kNearWestAvenue = Degrees(127.0002, 37.504);   // beside the westmost avenue's first block (21)
const MapPoint kNearEastAvenue = Degrees(127.0398, 37.528);   // beside the eastmost avenue's fourth block (40)
const MapPoint kMainStreetMiddle = Degrees(127.025, 37.5161); // on the main street's third block (11)

RouteRequest Request(const MapPoint& start, const MapPoint& goal) {
    RouteRequest r;
    r.uRouteMode = 1;
    r.sOption.eGoalType = 1;
    // Kind 1 carries the road preferences: the settings' defaults, neutral.
    for (uint8_t* b : {&r.sPref.yHighWay, &r.sPref.yCityHighWay, &r.sPref.yTollRoad, &r.sPref.yLane3, &r.sPref.yAlley,
                       &r.sPref.yDetourUturn, &r.sPref.yDetourLeft})
        *b = 5;
    r.points.start = start;
    r.points.goal = goal;
    return r;
}

struct StoredRoute {
    int32_t id = -1;
    std::vector<int32_t> links;
    std::vector<int32_t> trafficIds;
    int32_t boundaryCount = 0;
    int32_t firstBoundary = 0;
};

class ModuleRPEngineTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = new testsupport::TempDir();
        ASSERT_TRUE(writers::WriteDemoMap(s_dir->Path()));
        ASSERT_TRUE(writers::WriteDemoRouteData(s_dir->Path()));
    }
    static void TearDownTestSuite() {
        CMgrMap::Instance()->Close();
        delete s_dir;
        s_dir = nullptr;
    }
    void SetUp() override {
        CMgrMap* map = CMgrMap::Instance();
        if (!map->IsOpen()) {
            ASSERT_EQ(map->Open(s_dir->Path()), 1) << map->LastOpenFailure();
        }
        ASSERT_EQ(check.OpenAt(s_dir->Path(), checkMemory.data(), checkMemory.size()), 1);
        param()->SetEngine(std::make_shared<RouteEngine>(s_dir->Path()));
        settings()->FreeAllResults();
        param()->Detour().Clear();
        param()->Avoidance().Clear();
        param()->Option().Clear();
        // The car stands on the main street's first block, eastwards.
        CMgrConfigModuleGPS* gps = CMgrConfigModuleGPS::Instance();
        gps->PublishFix(GpsFixRecord{});
        tagMAPMATCHINFO match;
        match.status = 1;
        match.x = Degrees(127.005, 37.516).x;
        match.y = Degrees(127.005, 37.516).y;
        match.linkId = 9;
        gps->SetMatchInfo(match);
        ASSERT_EQ(module()->StartModule(nullptr), 1);
        ASSERT_TRUE(WaitState([] { return settings()->GetState() != kRpStateThreadUp; }));
        ASSERT_EQ(module()->IsMemoryReady(), 1);
    }
    void TearDown() override {
        EXPECT_EQ(module()->StopModule(10000), 1);
        param()->SetEngine(nullptr);
    }

    static ModuleRP* module() { return ModuleRP::Instance(); }
    static ModuleRPParam* param() { return ModuleRPParam::Instance(); }
    static MgrConfigModuleRP* settings() { return MgrConfigModuleRP::Instance(); }
    template <class Pred>
    static bool WaitState(Pred done) {
        return rptest::WaitState(done);
    }
    static int WaitRun() { return rptest::WaitRun(); }
    static StoredRoute Stored(int slot) {
        MgrLock hold(*settings()->GetLock());
        StoredRoute s;
        const RouteResultEntry* e = settings()->GetResult(slot);
        if (e == nullptr) return s;
        s.id = e->id;
        s.links.assign(e->links.get(), e->links.get() + e->linkCount);
        if (e->values) s.trafficIds.assign(e->values.get(), e->values.get() + e->linkCount);
        s.boundaryCount = e->inlineCount;
        s.firstBoundary = e->inlineValues[0];
        return s;
    }
    // Every step an allowed turn at a shared node; traffic ids those of the
    // road data for the direction driven.
    void ExpectDrivable(const StoredRoute& r) {
        ASSERT_FALSE(r.links.empty());
        ASSERT_EQ(r.trafficIds.size(), r.links.size());
        for (size_t i = 0; i < r.links.size(); ++i) {
            SCOPED_TRACE(testing::Message() << "link " << i << ": " << r.links[i]);
            const uint32_t id = static_cast<uint32_t>(r.links[i]);
            EXPECT_EQ(static_cast<uint32_t>(r.trafficIds[i]), (id & kNcLinkIndexMask) * 10 + ((id & kNcLinkReverseBit) ? 2 : 1));
            if (i == 0) continue;
            ASSERT_EQ(check.LoadLink(0, static_cast<uint32_t>(r.links[i - 1])), 1);
            const MapPoint end = check.GetEndPoint(0);
            const NcConnection* c = nullptr;
            const int n = check.GetConnections(0, &c);
            const auto* turn = std::find_if(c, c + n, [&](const NcConnection& e) { return e.linkId == r.links[i]; });
            ASSERT_NE(turn, c + n);
            EXPECT_EQ(turn->allowed, 1);
            ASSERT_EQ(check.LoadLink(0, id), 1);
            EXPECT_EQ(check.GetStartPoint(0), end);
            EXPECT_EQ(check.View(0).IsClosed(), 0);
        }
    }
    static int32_t Number(int32_t id) { return id & static_cast<int32_t>(kNcLinkIndexMask); }

    std::vector<uint8_t> checkMemory = std::vector<uint8_t>(1 << 20);
    NcDALManager check;
    static testsupport::TempDir* s_dir;
};
testsupport::TempDir* ModuleRPEngineTest::s_dir = nullptr;

TEST_F(ModuleRPEngineTest, PlansBetweenTwoPlacesAndThroughAWaypoint) {
    ASSERT_EQ(module()->PlanRoute(Request(kNearWestAvenue, kNearEastAvenue), 0), 1);
    ASSERT_EQ(WaitRun(), 1);
    const StoredRoute direct = Stored(0);
    ExpectDrivable(direct);
    EXPECT_EQ(Number(direct.links.front()), 21);
    EXPECT_EQ(Number(direct.links.back()), 40);
    EXPECT_EQ(direct.boundaryCount, 0);
    EXPECT_EQ(module()->GetRouteLinkCount(), static_cast<int>(direct.links.size()));

    ASSERT_EQ(module()->BFreeAllRouteResults(), 1);
    RouteRequest via = Request(kNearWestAvenue, kNearEastAvenue);
    via.points.viaCount = 1;
    via.points.via[0] = kMainStreetMiddle;
    ASSERT_EQ(module()->PlanRoute(via, 0), 1);
    ASSERT_EQ(WaitRun(), 1);
    const StoredRoute through = Stored(0);
    ExpectDrivable(through);
    EXPECT_EQ(Number(through.links.front()), 21);
    EXPECT_EQ(Number(through.links.back()), 40);
    ASSERT_EQ(through.boundaryCount, 1);
    ASSERT_GE(through.firstBoundary, 0);
    ASSERT_LT(through.firstBoundary, static_cast<int32_t>(through.links.size()) - 1);
    EXPECT_EQ(Number(through.links[static_cast<size_t>(through.firstBoundary)]), 11);
}

// Re-plans of type 3 keep the avoided links and of type 4 the detour
// links; they start on the car's link. An avoided link of the route is
// left out; with every link between the first and the last a detour link,
// another way is cheaper.
TEST_F(ModuleRPEngineTest, ReplanAroundAvoidedAndDetourLinks) {
    for (int type : {3, 4}) {
        SCOPED_TRACE(type);
        ASSERT_EQ(module()->ClearAllLinkSets(), 1);
        ASSERT_EQ(module()->BFreeAllRouteResults(), 1);
        ASSERT_EQ(module()->DoReRoute(Request(kNearWestAvenue, kNearEastAvenue), type), 1);
        ASSERT_EQ(WaitRun(), 1);
        const StoredRoute first = Stored(0);
        ExpectDrivable(first);
        EXPECT_EQ(first.links.front(), 9);
        ASSERT_GE(first.links.size(), 3u);
        const int32_t marked = first.links[first.links.size() / 2];
        const std::vector<int32_t> between(first.links.begin() + 1, first.links.end() - 1);

        ASSERT_EQ(module()->BFreeAllRouteResults(), 1);
        if (type == 3) {
            ASSERT_EQ(module()->AddAvoidLinks(1, &marked), 1);
        } else {
            const int n = static_cast<int>(between.size());
            ASSERT_EQ(module()->AddDetourLinks(n, between.data()), n);
        }
        ASSERT_EQ(module()->DoReRoute(Request(kNearWestAvenue, kNearEastAvenue), type), 1);
        ASSERT_EQ(WaitRun(), 1);
        const StoredRoute second = Stored(0);
        ExpectDrivable(second);
        EXPECT_EQ(second.id, 1);
        EXPECT_EQ(second.links.front(), 9);
        EXPECT_EQ(second.links.back(), first.links.back());
        EXPECT_EQ(std::count(second.links.begin(), second.links.end(), marked), 0);
        EXPECT_NE(second.links, first.links);
    }
}

}  // namespace
