// The route-planning module on its thread, with a stand-in engine over the
// demo district: request checks, point matching, the state word, results,
// link sets across plans and re-plans, cancel and refusals while running.
#include "route/module_rp.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "mapdb/link_id.h"
#include "mapdb/mgr_map.h"
#include "route/module_rp_wait.h"
#include "settings/module_gps.h"
#include "settings/module_rp.h"
#include "support/temp_dir.h"
#include "tools/writers/demo_map.h"

namespace {

// A point in map units at the given metres north and east of a base point
// (1 degree of latitude is 111 km near 37.5 N; a degree of longitude 88 km).
MapPoint Offset(const MapPoint& base, double northM, double eastM) {
    const double unitsPerM = kMapUnitsPerDegree / 111000.0;
    return MapPoint{base.x + static_cast<int32_t>(eastM * unitsPerM * 111000.0 / 88000.0),
                    base.y + static_cast<int32_t>(northM * unitsPerM)};
}

MapPoint Degrees(double lon, double lat) {
    return MapPoint{static_cast<int32_t>(lon * kMapUnitsPerDegree), static_cast<int32_t>(lat * kMapUnitsPerDegree)};
}

// The stand-in engine: the route of a plan is the first link of every leg
// end, in order; traffic ids are the link ids plus 1000. A plan can be held
// at its start until the test lets it go or cancels it.
class FakeEngine : public RoutePlanEngine {
public:
    int ReserveMemory() override { return reserveResult; }
    int LoadConfig(const std::string& path) override {
        configPath = path;
        return configResult;
    }
    int OpenRoadData(size_t bytes) override {
        roadBytes = bytes;
        ++opens;
        return 1;
    }
    void CloseRoadData() override { ++closes; }
    void RestoreCachedLinks() override { ++restores; }
    bool ReadLink(int32_t linkId, RouteLinkRecord* out) override {
        const auto& links = writers::DemoLinks();
        const uint32_t n = MneLinkNumber(static_cast<uint32_t>(linkId));
        if (n == 0 || n > links.size()) return false;
        const auto& l = links[n - 1];
        out->roadClass = classOverride >= 0 ? classOverride : l.roadClass;
        out->roadKind = kindOverride >= 0 ? kindOverride : l.linkKind;
        out->lengthM = 800;
        out->twoWay = l.twoWay;
        return true;
    }
    int Plan(const RoutePlanRequest& request, RoutePlanResult* result) override {
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            last = request;
            detour = Ids(request.detour);
            avoided = Ids(request.avoidance);
            option = Ids(request.option);
            ++plans;
            m_running = true;
            m_cv.notify_all();
            // Bounded: a test that forgets to release fails instead of hanging.
            m_cv.wait_for(lock, std::chrono::seconds(20), [this] { return !m_hold || m_cancel; });
            m_running = false;
            if (m_cancel) return kRpCancelled;
        }
        if (planResult != 1) return planResult;
        for (int k = 0; k < request.legCount; ++k) {
            const auto& leg = request.legs[k];
            if (k == 0) result->links.push_back(leg.origin.links[0]);
            result->links.push_back(leg.destination.links[0]);
            if (k + 1 < request.legCount) result->boundaries[k] = static_cast<int32_t>(result->links.size()) - 1;
        }
        for (int32_t id : result->links) result->trafficIds.push_back(id + 1000);
        result->sectionCount = request.legCount;
        result->trafficUsed = trafficUsed;
        return 1;
    }
    void SetCancel(bool cancel) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_cancel = cancel;
        m_cv.notify_all();
    }

    void Hold() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_hold = true;
    }
    void Release() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_hold = false;
        m_cv.notify_all();
    }
    // Waits until a held plan has started (bounded).
    bool WaitRunning() {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_cv.wait_for(lock, std::chrono::seconds(20), [this] { return m_running; });
    }

    int reserveResult = 1;
    int configResult = 0;
    int planResult = 1;
    int classOverride = -1;
    int kindOverride = -1;
    bool trafficUsed = false;
    std::string configPath;
    size_t roadBytes = 0;
    int opens = 0, closes = 0, restores = 0, plans = 0;
    RoutePlanRequest last;
    std::vector<int32_t> detour, avoided, option;

private:
    static std::vector<int32_t> Ids(const RouteDetour* set) {
        const int32_t* ids = nullptr;
        const int n = set != nullptr ? set->Get(&ids) : 0;
        return n > 0 ? std::vector<int32_t>(ids, ids + n) : std::vector<int32_t>{};
    }
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_hold = false;
    bool m_cancel = false;
    bool m_running = false;
};

// Points of the demo district: its grid spans 127.00-127.04 E, 37.500-37.532
// N; avenues run north-south every 0.01 degree, streets east-west every
// 0.008 degree.
const MapPoint kSouthWest = Degrees(127.0, 37.5);
const MapPoint kNearWestAvenue = Degrees(127.0002, 37.504);     // beside the westmost avenue
const MapPoint kNearEastAvenue = Degrees(127.0398, 37.528);
const MapPoint kMiddle = Degrees(127.0202, 37.516);

RouteRequest Request(const MapPoint& start, const MapPoint& goal) {
    RouteRequest r;
    r.uRouteMode = 1;
    r.sOption.eGoalType = 1;
    r.points.start = start;
    r.points.goal = goal;
    return r;
}

class ModuleRPTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = new testsupport::TempDir();
        std::string error;
        ASSERT_TRUE(writers::WriteDemoMap(s_dir->Path(), &error)) << error;
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
        engine = std::make_shared<FakeEngine>();
        param()->SetEngine(engine);
        settings()->FreeAllResults();
        param()->Detour().Clear();
        param()->Avoidance().Clear();
        param()->Option().Clear();
        for (RouteDetour* s : Sets()) s->DropSaved();
        // The car stands on the westmost avenue, matched to link 1.
        CMgrConfigModuleGPS* gps = CMgrConfigModuleGPS::Instance();
        gps->PublishFix(GpsFixRecord{});
        tagMAPMATCHINFO match;
        match.status = 1;
        match.x = kNearWestAvenue.x;
        match.y = kNearWestAvenue.y;
        match.linkId = 1;
        gps->SetMatchInfo(match);
    }
    void TearDown() override {
        engine->Release();
        EXPECT_EQ(module()->StopModule(10000), 1);
        param()->SetEngine(nullptr);
    }

    static ModuleRP* module() { return ModuleRP::Instance(); }
    static ModuleRPParam* param() { return ModuleRPParam::Instance(); }
    static MgrConfigModuleRP* settings() { return MgrConfigModuleRP::Instance(); }
    static std::vector<RouteDetour*> Sets() {
        return {&param()->Detour(), &param()->Avoidance(), &param()->Option()};
    }

    void Start(const ModuleRPSettingsBlock* block = nullptr) {
        ASSERT_EQ(module()->StartModule(block), 1);
        ASSERT_TRUE(WaitState([] { return settings()->GetState() != kRpStateThreadUp; }));
    }
    template <class Pred>
    static bool WaitState(Pred done) {
        return rptest::WaitState(done);
    }
    static int WaitRun() { return rptest::WaitRun(); }

    std::shared_ptr<FakeEngine> engine;
    static testsupport::TempDir* s_dir;
};
testsupport::TempDir* ModuleRPTest::s_dir = nullptr;

TEST_F(ModuleRPTest, RoadMemorySizes) {
    struct Case {
        int32_t settingKB;
        bool given;
        size_t bytes;
    };
    const Case cases[] = {{500, true, 1048576}, {1023, true, 1048576}, {1024, true, 1048576},
                          {4096, true, 4194304}, {20480, true, 20971520}, {30000, true, 20971520},
                          {0, false, 5242880}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.settingKB);
        EXPECT_EQ(RouteRoadMemoryBytes(c.given ? &c.settingKB : nullptr), c.bytes);
    }
}

TEST_F(ModuleRPTest, StraightLineDistanceCheck) {
    const MapPoint a = Degrees(127.0, 36.0);
    struct Case {
        const char* what;
        std::vector<double> northM;   // start, waypoints..., goal
        int result;
    };
    std::vector<double> sixteen;   // 16 waypoints 1 km apart, the goal 40 m past the last
    for (int i = 0; i <= 16; ++i) sixteen.push_back(i * 1000.0);
    sixteen.push_back(16040.0);
    const Case cases[] = {
        {"one leg of 1 km", {0, 1000}, 1},
        {"one leg of 40 m", {0, 40}, -802},
        {"second and third waypoints 40 m apart", {0, 1000, 2000, 2040, 5000}, -804},
        {"16 waypoints, the goal 40 m after the last", sixteen, -818},
        {"700 km", {0, 700000}, 1},
        {"900 km in two legs", {0, 450000, 900000}, -801},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RouteRequest r = Request(Offset(a, c.northM.front(), 0), Offset(a, c.northM.back(), 0));
        r.points.viaCount = static_cast<int32_t>(c.northM.size()) - 2;
        for (int i = 0; i < r.points.viaCount; ++i) r.points.via[i] = Offset(a, c.northM[i + 1], 0);
        EXPECT_EQ(param()->CheckRouteDistance(r), c.result);
    }
    // A leg under 8 km raises the short-leg flag.
    EXPECT_EQ(param()->CheckRouteDistance(Request(a, Offset(a, 5000, 0))), 1);
    EXPECT_EQ(param()->ShortLegFlag(), 1);
    EXPECT_EQ(param()->CheckRouteDistance(Request(a, Offset(a, 9000, 0))), 1);
    EXPECT_EQ(param()->ShortLegFlag(), 0);
}

TEST_F(ModuleRPTest, PointMatchingRadiiAndFailures) {
    struct Case {
        const char* what;
        MapPoint start;
        MapPoint goal;
        MapPoint via;
        int goalMode;
        int result;
    };
    const MapPoint far = Offset(kSouthWest, -20000, -20000);
    const MapPoint twoKmWest = Offset(kNearWestAvenue, 0, -2000);
    const Case cases[] = {
        {"both on roads", kNearWestAvenue, kNearEastAvenue, {}, 1, 1},
        {"goal 2 km from any road, long ladder", kMiddle, twoKmWest, {}, 1, 1},
        {"goal 2 km from any road, short ladder", kMiddle, twoKmWest, {}, 0, 1},
        {"goal 20 km away", kMiddle, far, {}, 1, kRpNoGoalRoad},
        {"start 20 km away", far, kMiddle, {}, 1, kRpNoStartRoad},
        {"waypoint 20 km away", kNearWestAvenue, kMiddle, far, 1, kRpFail},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RouteRequest r = Request(c.start, c.goal);
        if (c.via.x != 0) {
            r.points.viaCount = 1;
            r.points.via[0] = c.via;
        }
        EXPECT_EQ(param()->SetRoutePos(r, c.goalMode, 0, 0), c.result);
    }
}

TEST_F(ModuleRPTest, GoalRoadClassAndSide) {
    // Goal mode 2 refuses goals on expressways and on road kinds that no
    // destination lies on.
    RouteRequest r = Request(kNearWestAvenue, kMiddle);
    struct Case {
        int roadClass;
        int kind;
        int result;
    };
    const Case cases[] = {{0, 0, -510}, {1, 0, -511}, {4, 1, -520}, {4, 15, -520}, {4, 2, -521},
                          {4, 3, -522}, {4, 5, -522}, {4, 4, -523}, {4, 0, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.roadClass << "/" << c.kind);
        engine->classOverride = c.roadClass;
        engine->kindOverride = c.kind;
        EXPECT_EQ(param()->SetRoutePos(r, 2, 0, 0), c.result);
    }

    // A two-way avenue runs north-south; a goal just east of it lies on the
    // right of a northbound link, just west of it on the left.
    engine->classOverride = 4;
    engine->kindOverride = 0;
    const MapPoint avenue = Degrees(127.01, 37.52);
    const MapPoint east = Offset(avenue, 0, 15);
    const MapPoint west = Offset(avenue, 0, -15);
    ASSERT_EQ(param()->SetRoutePos(Request(kNearWestAvenue, east), 1, 0, 1), 1);
    const RoutePointMatch rightSide = param()->GoalMatch();
    ASSERT_EQ(param()->SetRoutePos(Request(kNearWestAvenue, west), 1, 0, 1), 1);
    const RoutePointMatch leftSide = param()->GoalMatch();
    ASSERT_EQ(rightSide.directions, 2);
    EXPECT_EQ(rightSide.direction, -leftSide.direction);
    EXPECT_EQ((rightSide.headingDeg + 180) % 360, leftSide.headingDeg);
    // Whichever way the link is stored, driving along it with the goal on
    // the right heads north (0) or, against it, south (180).
    const RoutePointMatch& along = rightSide.direction == 1 ? rightSide : leftSide;
    const RoutePointMatch& against = rightSide.direction == 1 ? leftSide : rightSide;
    EXPECT_NEAR(along.headingDeg % 180, 0, 1);
    EXPECT_EQ(against.direction, -1);
    // Without the flag a two-way goal may be reached from either side.
    ASSERT_EQ(param()->SetRoutePos(Request(kNearWestAvenue, west), 1, 0, 0), 1);
    EXPECT_EQ(param()->GoalMatch().direction, 0);
}

TEST_F(ModuleRPTest, PlanThroughTheThreadStoresTheRoute) {
    ModuleRPSettingsBlock block;
    block.roadMemoryKB = 4096;
    Start(&block);
    EXPECT_EQ(module()->IsMemoryReady(), 1);
    EXPECT_EQ(engine->configPath, "C:\\Pelox20\\Map\\Config\\Route.cfg");
    EXPECT_EQ(engine->roadBytes, 4194304u);

    RouteRequest r = Request(kNearWestAvenue, kNearEastAvenue);
    r.points.viaCount = 1;
    r.points.via[0] = kMiddle;
    engine->trafficUsed = true;
    ASSERT_EQ(module()->PlanRoute(r, 0), 1);
    EXPECT_EQ(WaitRun(), 1);

    // Two legs: start -> waypoint -> goal; the waypoint ends one leg and
    // starts the next with the same links.
    ASSERT_EQ(engine->last.legCount, 2);
    EXPECT_EQ(engine->last.legs[0].destination.kind, kLegEndLink);
    EXPECT_EQ(engine->last.legs[1].origin.links[0], engine->last.legs[0].destination.links[0]);
    EXPECT_EQ(engine->last.legs[1].origin.point, kMiddle);

    MgrLock hold(*settings()->GetLock());
    ASSERT_EQ(settings()->GetResultCount(), 1);
    const RouteResultEntry* entry = settings()->GetResult(0);
    ASSERT_EQ(entry->linkCount, 3);
    EXPECT_EQ(entry->id, 0);                          // a plan, not a re-plan
    EXPECT_EQ(entry->mode & 0xF, 1u);                 // the kind asked for
    EXPECT_EQ(entry->mode & 0x30000, 0x30000u);       // traffic weights used
    EXPECT_EQ(entry->inlineCount, 1);                 // two sections
    EXPECT_EQ(entry->inlineValues[0], 1);             // the waypoint's link
    EXPECT_EQ(entry->values[2], entry->links[2] + 1000);
    EXPECT_EQ(module()->GetRouteLinkCount(), 3);
}

// Either planner setting for the one-directional search goes with the
// request to the engine; neither set, the request does not ask for it.
TEST_F(ModuleRPTest, OneDirectionalSettingsGoWithTheRequest) {
    ModuleRPSettingsBlock block;
    block.roadMemoryKB = 4096;
    Start(&block);
    for (int which : {-1, 0, 1}) {
        SCOPED_TRACE(which);
        if (which >= 0) settings()->SetOneDirectionalSearch(which, true);
        settings()->FreeAllResults();
        ASSERT_EQ(module()->PlanRoute(Request(kNearWestAvenue, kNearEastAvenue), 0), 1);
        EXPECT_EQ(WaitRun(), 1);
        if (which >= 0) settings()->SetOneDirectionalSearch(which, false);
        EXPECT_EQ(engine->last.oneDirectional, which >= 0);
    }
}

// The process-wide regional flag of the link costs goes with the request.
TEST_F(ModuleRPTest, RegionalFlagGoesWithTheRequest) {
    Start();
    for (bool on : {true, false}) {
        SCOPED_TRACE(on);
        settings()->SetRegionalCosts(on);
        settings()->FreeAllResults();
        ASSERT_EQ(module()->PlanRoute(Request(kNearWestAvenue, kNearEastAvenue), 0), 1);
        EXPECT_EQ(WaitRun(), 1);
        EXPECT_EQ(engine->last.regional, on);
    }
}

TEST_F(ModuleRPTest, ReplanTypesKeepTheirLinkSets) {
    Start();
    struct Case {
        int type;
        bool keepsDetour;
        bool keepsAvoided;
    };
    const Case cases[] = {{1, false, false}, {2, false, false}, {3, false, true},
                          {4, true, false},  {5, true, true},   {6, true, false}};
    const int32_t detour[] = {101, 102};
    const int32_t avoided[] = {201};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        ASSERT_EQ(module()->BFreeAllRouteResults(), 1);
        ASSERT_EQ(module()->ClearAllLinkSets(), 1);
        ASSERT_EQ(module()->AddDetourLinks(2, detour), 2);
        ASSERT_EQ(module()->AddAvoidLinks(1, avoided), 1);
        ASSERT_EQ(module()->DoReRoute(Request(kNearWestAvenue, kNearEastAvenue), c.type), 1);
        EXPECT_EQ(WaitRun(), 1);
        EXPECT_EQ(engine->detour, c.keepsDetour ? std::vector<int32_t>(detour, detour + 2) : std::vector<int32_t>{});
        EXPECT_EQ(engine->avoided, c.keepsAvoided ? std::vector<int32_t>{201} : std::vector<int32_t>{});
        MgrLock hold(*settings()->GetLock());
        EXPECT_EQ(settings()->GetResult(0)->id, 1);   // a re-plan
    }
    // A plan with option bits keeps every set.
    ASSERT_EQ(module()->BFreeAllRouteResults(), 1);
    ASSERT_EQ(module()->AddAvoidLinks(1, avoided), 1);
    RouteRequest option = Request(kNearWestAvenue, kNearEastAvenue);
    option.uRouteMode = 0x201;   // kind 1 with the first option
    ASSERT_EQ(module()->PlanRoute(option, 0), 1);
    EXPECT_EQ(WaitRun(), 1);
    EXPECT_EQ(engine->avoided, std::vector<int32_t>{201});
}

TEST_F(ModuleRPTest, WhileARunIsInProgress) {
    Start();
    engine->Hold();
    const RouteRequest r = Request(kNearWestAvenue, kNearEastAvenue);
    ASSERT_EQ(module()->PlanRoute(r, 0), 1);
    ASSERT_TRUE(engine->WaitRunning());

    EXPECT_EQ(module()->GetRouteStatus(), kRpRunning);
    EXPECT_EQ(module()->PlanRoute(r, 0), kRpNotReady);
    EXPECT_EQ(module()->DoReRoute(r, 1), kRpNotReady);
    EXPECT_EQ(module()->BFreeAllRouteResults(), kRpRunning);
    const int32_t ids[] = {5};
    EXPECT_EQ(module()->AddDetourLinks(1, ids), kRpRunning);
    EXPECT_EQ(module()->AddAvoidLinks(1, ids), kRpRunning);
    EXPECT_EQ(module()->ClearAllLinkSets(), kRpRunning);
    EXPECT_EQ(module()->SelectAADSlot(0), kRpRunning);

    // Cancelling ends the held search with its code.
    EXPECT_EQ(module()->SetSearchCancel(1), 1);
    EXPECT_EQ(WaitRun(), kRpFailed);
    EXPECT_EQ(settings()->GetLastError(), kRpCancelled);
    EXPECT_EQ(module()->GetRouteLinkCount(), 0);
    EXPECT_EQ(module()->SetSearchCancel(0), 0);

    // The next plan runs again.
    engine->Release();
    ASSERT_EQ(module()->PlanRoute(r, 0), 1);
    EXPECT_EQ(WaitRun(), 1);
}

TEST_F(ModuleRPTest, ResultsReadWhilePlansRunAndAreCancelled) {
    Start();
    std::atomic<bool> stop{false};
    std::thread reader([&] {
        while (!stop.load()) {
            module()->GetRouteLinkCount();
            module()->GetRouteStatus();
            MgrLock hold(*settings()->GetLock());
            if (const RouteResultEntry* e = settings()->GetResult(0)) {
                volatile int32_t first = e->linkCount > 0 ? e->links[0] : 0;
                (void)first;
            }
        }
    });
    std::thread canceller;
    for (int round = 0; round < 6; ++round) {
        ASSERT_EQ(module()->BFreeAllRouteResults(), 1);
        const bool cancel = round % 2 == 1;
        if (cancel) engine->Hold();
        ASSERT_EQ(module()->PlanRoute(Request(kNearWestAvenue, kNearEastAvenue), 0), 1);
        if (cancel) {
            ASSERT_TRUE(engine->WaitRunning());
            canceller = std::thread([] { module()->SetSearchCancel(1); });
            canceller.join();
        }
        EXPECT_EQ(WaitRun(), cancel ? kRpFailed : 1);
        module()->SetSearchCancel(0);
        engine->Release();
    }
    stop.store(true);
    reader.join();
}

TEST_F(ModuleRPTest, FailedPlansKeepThePreviousRoute) {
    Start();
    // All four kinds asked for: each plan computes the next kind not stored.
    RouteRequest r = Request(kNearWestAvenue, kNearEastAvenue);
    r.uRouteMode = 15;
    ASSERT_EQ(module()->PlanRoute(r, 0), 1);
    ASSERT_EQ(WaitRun(), 1);
    const int links = module()->GetRouteLinkCount();

    // No road near the goal: the code is the last error; the route stays.
    RouteRequest lost = Request(kNearWestAvenue, Offset(kSouthWest, -20000, 0));
    lost.uRouteMode = 15;
    ASSERT_EQ(module()->PlanRoute(lost, 0), 1);
    EXPECT_EQ(WaitRun(), kRpFailed);
    EXPECT_EQ(settings()->GetLastError(), kRpNoGoalRoad);
    EXPECT_EQ(module()->GetRouteLinkCount(), links);

    // A re-plan whose points cannot be matched fails too, with its code,
    // instead of going on with the previous run's points.
    ASSERT_EQ(module()->DoReRoute(lost, 1), 1);
    EXPECT_EQ(WaitRun(), kRpFailed);
    EXPECT_EQ(settings()->GetLastError(), kRpNoGoalRoad);
    EXPECT_EQ(module()->GetRouteLinkCount(), links);

    // Refusals on the caller's thread.
    RouteRequest close = Request(kNearWestAvenue, Offset(kNearWestAvenue, 30, 0));
    close.uRouteMode = 15;
    EXPECT_EQ(module()->PlanRoute(close, 0), -802);
    RouteRequest noKind = Request(kNearWestAvenue, kNearEastAvenue);
    noKind.uRouteMode = 0;
    EXPECT_EQ(module()->PlanRoute(noKind, 0), kRpModeRefused);
}

TEST_F(ModuleRPTest, SelectingASlotHandsItToGuidance) {
    Start();
    ASSERT_EQ(module()->PlanRoute(Request(kNearWestAvenue, kNearEastAvenue), 0), 1);
    ASSERT_EQ(WaitRun(), 1);
    const int32_t detour[] = {7, 8, 9};
    ASSERT_EQ(module()->AddDetourLinks(3, detour), 3);

    EXPECT_EQ(module()->SelectAADSlot(1), kRpFail);   // holds no result
    EXPECT_EQ(module()->SelectAADSlot(9), kRpFail);
    ASSERT_EQ(module()->SelectAADSlot(0), 2);
    const RouteSelectedSlot slot = param()->SelectedSlot();
    EXPECT_EQ(slot.linkCount, 2);
    ASSERT_EQ(slot.links.size(), 2u);
    // The sets were saved and emptied; restoring brings the detours back.
    EXPECT_FALSE(param()->Detour().HasLinks());
    EXPECT_EQ(module()->RestoreAllLinkSets(), 1);
    EXPECT_EQ(param()->Detour().Count(), 3);
}

TEST_F(ModuleRPTest, StatesBeforeAndAfterStart) {
    const RouteRequest r = Request(kNearWestAvenue, kNearEastAvenue);
    EXPECT_EQ(module()->PlanRoute(r, 0), kRpNotStarted);
    EXPECT_EQ(module()->GetRouteStatus(), kRpNotStarted);
    EXPECT_EQ(module()->IsMemoryReady(), 0);

    // A failed initialisation is a failed state, never "ready".
    engine->reserveResult = 0;
    ASSERT_EQ(module()->StartModule(nullptr), 1);
    ASSERT_TRUE(WaitState([] { return settings()->GetState() != kRpStateThreadUp; }));
    EXPECT_EQ(settings()->GetState(), kRpStateFailed);
    EXPECT_EQ(module()->IsMemoryReady(), 0);
    EXPECT_EQ(module()->PlanRoute(r, 0), kRpFail);
    EXPECT_EQ(module()->StartModule(nullptr), kRpFail);   // already started
    ASSERT_EQ(module()->StopModule(10000), 1);
    EXPECT_EQ(settings()->GetState(), kRpStateEnded);

    // A configuration file that does not load fails the same way.
    engine->reserveResult = 1;
    engine->configResult = -3;
    ASSERT_EQ(module()->StartModule(nullptr), 1);
    ASSERT_TRUE(WaitState([] { return settings()->GetState() != kRpStateThreadUp; }));
    EXPECT_EQ(settings()->GetState(), kRpStateFailed);
    ASSERT_EQ(module()->StopModule(10000), 1);

    // Started properly, the answers of the road queries.
    engine->configResult = 0;
    Start();
    EXPECT_GT(module()->IsExistAdjacentRoad(Offset(kNearWestAvenue, 0, 30), 200), 0);
    EXPECT_EQ(module()->IsExistAdjacentRoad(Offset(kSouthWest, -20000, 0), 200), kRpNoAdjacentRoad);
    EXPECT_EQ(module()->CheckGoalRoad(MapPoint{0, 5}), kRpFail);
    engine->classOverride = 0;
    EXPECT_EQ(module()->CheckGoalRoad(kNearWestAvenue), kRpGoalClass0);
}

}  // namespace
