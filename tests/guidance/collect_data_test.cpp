// Guidance points gathered on the demo district (tools/writers/demo_map.h
// describes what guidance finds there). Each route is drawn here as its
// links in driving order (R(n): link n against its stored direction) with
// its start, via points and goal in the middle of their links; the expected
// points, flags, codes and texts are read off the district's description.
#include "guidance/collect_data.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

#include "mapdb/mgr_map.h"
#include "mapdb/road_network.h"
#include "mapdb/service_map.h"
#include "mapdb/small_readers.h"
#include "platform/codepage.h"
#include "settings/module_svc.h"
#include "support/temp_dir.h"
#include "tools/writers/demo_map.h"
#include "tools/writers/route_data_writer.h"

namespace {

constexpr int32_t R(int32_t n) { return n | 0x8000000; }
constexpr uint32_t kTurn = GUIDE_TURN, kToll = GUIDE_TOLL, kRest = GUIDE_REST, kGoal = GUIDE_GOAL;

const writers::DemoLink& Link(int32_t id) { return writers::DemoLinks().at(static_cast<size_t>((id & 0x7FFFFFF) - 1)); }

// The shape in the direction driven.
std::vector<MapPoint> Driven(int32_t id) {
    std::vector<MapPoint> s = Link(id).shape;
    if (id & 0x8000000) std::reverse(s.begin(), s.end());
    return s;
}
int32_t LengthM(int32_t id) {
    const auto s = Link(id).shape;
    int32_t m = 0;
    for (size_t i = 1; i < s.size(); ++i) m += static_cast<int32_t>(GetApproxDistance(s[i - 1], s[i]));
    return m;
}
// Route points stand on the second shape point of their links (the bend of
// a street, the first bend of the expressway).
MapPoint Middle(int32_t id) { return Driven(id)[1]; }
int32_t ToMiddleM(int32_t id) { return static_cast<int32_t>(GetApproxDistance(Driven(id)[0], Driven(id)[1])); }

struct Expected {
    int linkIndex;
    uint32_t flags;  // of the guidance point bits and the goal bit
    int code;
    const char16_t* text;
    int32_t price;
};

struct RouteCase {
    const char* what;
    std::vector<int32_t> links;
    std::vector<int> viaLinks;  // indexes of the links that hold via points
    std::vector<std::u16string> names;  // start, via..., goal (empty: plain)
    std::vector<Expected> points;
};

class CollectDataTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = new testsupport::TempDir();
        ASSERT_TRUE(writers::WriteDemoMap(s_dir->Path()));
        ASSERT_EQ(CMgrMap::Instance()->Open(s_dir->Path()), 1) << CMgrMap::Instance()->LastOpenFailure();
    }
    static void TearDownTestSuite() {
        CMgrMap::Instance()->Close();
        delete s_dir;
        s_dir = nullptr;
    }
    void SetUp() override {
        toll.OpenAt(dir.File("Toll.dat"), CMgrMap::Instance()->TollGates());
        ASSERT_EQ(collect.Init(*CMgrMap::Instance(), &toll), 1);
        collect.SetCongestion([this](int32_t id) { return state(id); });
    }

    // The route's points in the middle of their links.
    std::vector<tagSVCROUTEPOINTIN> Points(const RouteCase& c) {
        std::vector<int> at{0};
        at.insert(at.end(), c.viaLinks.begin(), c.viaLinks.end());
        at.push_back(static_cast<int>(c.links.size()) - 1);
        std::vector<tagSVCROUTEPOINTIN> points;
        for (size_t k = 0; k < at.size(); ++k) {
            tagSVCROUTEPOINTIN p;
            p.linkIndex = at[k];
            p.position = Middle(c.links[static_cast<size_t>(at[k])]);
            p.offsetM = ToMiddleM(c.links[static_cast<size_t>(at[k])]);
            if (k < c.names.size()) p.name = c.names[k];
            points.push_back(p);
        }
        return points;
    }
    int Gather(const RouteCase& c) {
        const std::vector<tagSVCROUTEPOINTIN> points = Points(c);
        std::vector<int32_t> traffic(c.links.size());
        for (size_t i = 0; i < c.links.size(); ++i) traffic[i] = c.links[i] & 0x7FFFFFF;  // traffic id = link number
        if (collect.SetRoute(static_cast<int>(c.links.size()), c.links.data(), traffic.data(),
                             static_cast<int>(points.size()), points.data()) != 1)
            return 0;
        return collect.Gather();
    }

    static testsupport::TempDir* s_dir;
    testsupport::TempDir dir;
    CMneCalTollPrice toll;
    CMneCollectData collect;
    std::function<int(int32_t)> state = [](int32_t) { return 0; };
};
testsupport::TempDir* CollectDataTest::s_dir = nullptr;

const RouteCase kRoutes[] = {
    {"left off the main street at its third crossing",
     {9, 10, 31}, {}, {}, {{1, kTurn, 19, u"누리3가에서 좌회전", -1}, {2, kGoal, 318, u"목적지", -1}}},
    {"two right turns with a via point between them",
     {21, 22, 9, 10, 11, R(34)}, {3}, {u"한빛역", u"새솔약국", u"한빛도서관"},
     {{1, kTurn, 13, u"누리1가에서 우회전", -1}, {4, kTurn, 13, u"누리4가에서 우회전", -1},
      {5, kGoal, 318, u"한빛도서관 도착", -1}}},
    // On the expressway every branch of the link counts: the rest area's
    // access road beside the exit flags the exit too.
    {"off the expressway through the toll gate",
     {41, 43, 21}, {}, {},
     {{0, kTurn | kRest, 104, u"푸른휴게소", -1}, {1, kToll | kTurn, 94, u"푸른요금소 (요금:1100원)", 1100},
      {2, kGoal, 318, u"목적지", -1}}},
    {"through the toll gate onto the expressway westwards",
     {R(21), R(43), R(41)}, {}, {},
     {{0, kToll | kTurn, 95, u"푸른요금소 (요금:1100원)", 1100},
      {1, kTurn, 100, u"별빛IC에서 솔내시 방면 오른쪽 고속(화)도로 입구", -1}, {2, kGoal, 318, u"목적지", -1}}},
    {"along the expressway past the rest area",
     {41, 42}, {}, {}, {{0, kTurn | kRest, 0, u"푸른휴게소", -1}, {1, kGoal, 318, u"목적지", -1}}},
    {"one link", {9}, {}, {}, {{0, kGoal, 318, u"목적지", -1}}},
};

TEST_F(CollectDataTest, GuidancePointsOfDrawnRoutes) {
    for (const RouteCase& c : kRoutes) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(Gather(c), 1);
        const tagSVCROUTEDATA d = collect.Snapshot();
        ASSERT_EQ(d.guidePoints.size(), c.points.size());
        const int32_t origin = ToMiddleM(c.links.front());
        for (size_t k = 0; k < c.points.size(); ++k) {
            SCOPED_TRACE(k);
            const tagSVCGUIDEPOINT& p = d.guidePoints[k];
            const Expected& e = c.points[k];
            EXPECT_EQ(p.linkIndex, e.linkIndex);
            EXPECT_EQ(p.flags & (kGuidePointBits | GUIDE_GOAL), e.flags);
            EXPECT_EQ(p.turnCode, e.code);
            EXPECT_EQ(std::u16string(p.text), e.text) << platform::Utf16ToUtf8(p.text);
            EXPECT_EQ(p.tollPrice, e.price);
            // Distance from the origin to the point: the links up to its
            // own, less the part of the first link behind the start.
            int32_t upTo = 0;
            for (int i = 0; i <= e.linkIndex; ++i) upTo += LengthM(c.links[static_cast<size_t>(i)]);
            if (!(e.flags & kGoal)) {
                EXPECT_EQ(d.cumLengthM[e.linkIndex] - origin, upTo - origin);
            }
        }
        // Every link but those of guidance points has nothing to tell.
        for (size_t i = 0; i + 1 < c.links.size(); ++i) {
            bool isPoint = false;
            for (const Expected& e : c.points) isPoint |= e.linkIndex == static_cast<int>(i);
            if (!isPoint) {
                EXPECT_EQ(d.flags[i] & kGuidePointBits, 0u) << "link " << i;
            }
        }
        EXPECT_EQ(d.turnCode.back(), 318);
    }
}

TEST_F(CollectDataTest, RoutePointsTextsAndFlags) {
    const RouteCase& c = kRoutes[1];
    ASSERT_EQ(Gather(c), 1);
    const tagSVCROUTEDATA d = collect.Snapshot();
    ASSERT_EQ(d.routePoints.size(), 3u);
    EXPECT_EQ(d.routePoints[0].text, u"한빛역에서 출발");
    EXPECT_EQ(d.routePoints[0].code, 300);
    EXPECT_EQ(d.routePoints[1].text, u"새솔약국 경유");
    EXPECT_EQ(d.routePoints[1].code, 302);
    EXPECT_EQ(d.routePoints[1].flag, GuideViaFlag(1));
    EXPECT_EQ(d.routePoints[2].text, u"한빛도서관 도착");
    EXPECT_EQ(d.routePoints[2].code, 318);
    EXPECT_EQ(d.flags[0] & GUIDE_ORIGIN, static_cast<uint32_t>(GUIDE_ORIGIN));
    EXPECT_EQ(d.flags[3] & GuideViaFlag(1), GuideViaFlag(1));
    EXPECT_EQ(d.flags[5] & GUIDE_GOAL, static_cast<uint32_t>(GUIDE_GOAL));
    // Measures: the via point lies in the middle of the fourth link.
    const int32_t origin = ToMiddleM(21);
    EXPECT_EQ(d.routePoints[1].measureM, LengthM(21) + LengthM(22) + LengthM(9) + ToMiddleM(10) - origin);

    // Without names the plain texts.
    RouteCase plain = c;
    plain.names.clear();
    ASSERT_EQ(Gather(plain), 1);
    const tagSVCROUTEDATA q = collect.Snapshot();
    EXPECT_EQ(q.routePoints[0].text, u"출발지");
    EXPECT_EQ(q.routePoints[1].text, u"경유지");
    EXPECT_EQ(q.routePoints[2].text, u"목적지");
}

TEST_F(CollectDataTest, TollGateKindsPricesAndTotals) {
    ASSERT_EQ(Gather(kRoutes[2]), 1);  // starts on the expressway
    tagSVCROUTEDATA d = collect.Snapshot();
    ASSERT_EQ(d.tollGates.size(), 1u);
    EXPECT_EQ(d.tollGates[0].gateId, 1);
    EXPECT_EQ(d.tollGates[0].kind, kTollGateFirstOnHighway);
    const int32_t fare[6] = {1100, 1300, 1500, 1800, 2100, 900};
    for (int c = 0; c < 6; ++c) EXPECT_EQ(d.tollTotals[c], fare[c]);
    EXPECT_EQ(collect.TollPriceOf(1), 1100);
    EXPECT_EQ(collect.TollPriceOf(2), -1);  // not on the route
    collect.SetVehicleClass(6);
    EXPECT_EQ(collect.TollPriceOf(1), 900);
    collect.SetVehicleClass(1);

    ASSERT_EQ(Gather(kRoutes[3]), 1);  // starts in the district
    d = collect.Snapshot();
    ASSERT_EQ(d.tollGates.size(), 1u);
    EXPECT_EQ(d.tollGates[0].kind, kTollGateFirstOffHighway);
    EXPECT_EQ(d.tollGates[0].price[0], 1100);
    // Entering the expressway from the ramp counts one highway entry.
    EXPECT_EQ(d.highwayEntry[0], 0);
    EXPECT_EQ(d.highwayEntry[1], 1);
}

TEST_F(CollectDataTest, LanesActivatedForTheNextTurn) {
    ASSERT_EQ(Gather(kRoutes[1]), 1);
    const tagSVCROUTEDATA d = collect.Snapshot();
    // Every link but the last has two lanes or more in the district.
    ASSERT_EQ(d.lanes.size(), 5u);
    // The avenue before the right turn: its rightmost lane (straight and
    // right) now shows right; the leftmost (left and straight) keeps its
    // arrows.
    const tagSVCLANEINFO& turn = d.lanes[1];
    EXPECT_EQ(turn.linkIndex, 1);
    EXPECT_EQ(turn.arrowClass, 32);
    ASSERT_EQ(turn.wordCount, 2);
    EXPECT_EQ(turn.words[0], 0x0A01);
    EXPECT_EQ(turn.words[1], 0x2001);
    // The link before it goes straight on.
    const tagSVCLANEINFO& before = d.lanes[0];
    EXPECT_EQ(before.arrowClass, 8);
    EXPECT_EQ(before.words[0], 0x0801);
    EXPECT_EQ(before.words[1], 0x0801);
    EXPECT_EQ(d.nextLane[0], 0);
    EXPECT_EQ(d.nextLane[5], -1);
}

TEST_F(CollectDataTest, SectionsMainRoadsAndEvents) {
    ASSERT_EQ(Gather(kRoutes[0]), 1);
    const tagSVCROUTEDATA d = collect.Snapshot();
    // 누리대로 over the first two links, 바람길 on the last.
    ASSERT_EQ(d.sections.size(), 2u);
    EXPECT_EQ(d.sections[0].name, u"누리대로");
    EXPECT_EQ(d.sections[0].firstLink, 0);
    EXPECT_EQ(d.sections[0].lastLink, 1);
    EXPECT_EQ(d.sections[1].name, u"바람길");
    EXPECT_EQ(d.section[2], 1);
    // Main roads: streets of class below 6 only; the avenue is class 6.
    EXPECT_EQ(d.mainRoads[0], u"누리대로");
    EXPECT_EQ(d.mainRoads[1], u"");
    // Events by link, then kind; the goal last.
    const std::vector<tagSVCEVENT> events = {
        {kSvcEventRoutePoint, 0, 0, 0, 0},
        {kSvcEventRoadName, 0, 0, 0, 0},
        {kSvcEventGuidePoint, 0, 1, d.cumLengthM[1] - ToMiddleM(9), d.cumTimeS[1]},
        {kSvcEventRoadName, 1, 2, 0, 0},
        {kSvcEventRoutePoint, 1, 2, d.totalLengthM, d.totalTimeS},
    };
    EXPECT_EQ(d.events, events);
    EXPECT_EQ(d.nextGuidePoint[0], 0);
    EXPECT_EQ(d.nextGuidePoint[2], 1);
    // The shape runs from the start to the goal.
    EXPECT_EQ(d.shape.front(), Middle(9));
    EXPECT_EQ(d.shape.back(), Middle(31));
}

// Link time: 3.6 x L / (factor x base speed) + turn delay, rounded; the
// numbers below are the tables' entries for each link.
int32_t HandTime(int32_t lengthM, double factor, double base, int delay) {
    return static_cast<int32_t>(std::floor(3.6 * lengthM / (static_cast<float>(factor) * static_cast<float>(base)) + delay + 0.5));
}

TEST_F(CollectDataTest, LinkTimesAndTotalsByHand) {
    // Main street (class 3, 4 lanes two-way -> column 2: 42 km/h, group 2),
    // straight on (delay 2), then left (category 4: 20); the avenue
    // (class 6, 2 lanes -> column 1: 34 km/h, group 3), the goal (delay 2).
    ASSERT_EQ(Gather(kRoutes[0]), 1);
    tagSVCROUTEDATA d = collect.Snapshot();
    const int32_t t0 = HandTime(LengthM(9), 1.095770, 42, 2);
    const int32_t t1 = HandTime(LengthM(10), 1.095770, 42, 20);
    const int32_t t2 = HandTime(LengthM(31), 1.095770, 34, 2);
    EXPECT_EQ(d.timeS, (std::vector<int32_t>{t0, t1, t2}));
    EXPECT_EQ(d.cumTimeS[2], t0 + t1 + t2);
    const int32_t total = LengthM(9) + LengthM(10) + LengthM(31);
    const int32_t originOff = ToMiddleM(9), goalRest = LengthM(31) - ToMiddleM(31);
    EXPECT_EQ(d.totalLengthM, total - originOff - goalRest);
    EXPECT_EQ(d.totalTimeS, t0 + t1 + t2 - t2 * goalRest / LengthM(31) - t0 * originOff / LengthM(9));

    // Jammed (state 4) on the second link: group 2's factor 0.266075.
    state = [](int32_t id) { return id == 10 ? 4 : 0; };
    ASSERT_EQ(collect.RecomputeTimes(), 1);
    d = collect.Snapshot();
    const int32_t jammed = HandTime(LengthM(10), 0.266075, 42, 20);
    EXPECT_EQ(d.timeS[1], jammed);
    EXPECT_EQ(d.cumTimeS[2], t0 + jammed + t2);

    // The expressway (class 0, 4 lanes -> column 2: 55 km/h, group 0) with
    // the exit (category 0: 0 s), the ramp (class 1, 1 lane two-way ->
    // column 0: 47 km/h, group 1) through the gate (category 5: 0 s), the
    // avenue to the goal.
    state = [](int32_t) { return 255; };  // no data counts as free flow
    ASSERT_EQ(Gather(kRoutes[2]), 1);
    d = collect.Snapshot();
    const int32_t e0 = HandTime(LengthM(41), 1.424501, 55, 0);
    const int32_t e1 = HandTime(LengthM(43), 1.095770, 47, 0);
    const int32_t e2 = HandTime(LengthM(21), 1.095770, 34, 2);
    EXPECT_EQ(d.timeS, (std::vector<int32_t>{e0, e1, e2}));
    const int32_t oOff = ToMiddleM(41), gRest = LengthM(21) - ToMiddleM(21);
    EXPECT_EQ(d.totalLengthM, LengthM(41) + LengthM(43) + LengthM(21) - oOff - gRest);
    EXPECT_EQ(d.totalTimeS, e0 + e1 + e2 - e2 * gRest / LengthM(21) - e0 * oOff / LengthM(41));
}

// Driving the whole expressway eastwards passes the rest area, both speed
// cameras and the section control from its start to its end camera.
TEST_F(CollectDataTest, RestAreaAndCamerasAlongTheExpressway) {
    const int32_t links[] = {41, 42};
    const int32_t traffic[] = {41, 42};
    tagSVCROUTEPOINTIN points[2];
    points[0].position = Link(41).shape.front();
    points[0].offsetM = 0;
    points[1].linkIndex = 1;
    points[1].position = Link(42).shape.back();
    points[1].offsetM = LengthM(42);
    ASSERT_EQ(collect.SetRoute(2, links, traffic, 2, points), 1);
    ASSERT_EQ(collect.Gather(), 1);
    const tagSVCROUTEDATA d = collect.Snapshot();
    ASSERT_EQ(d.guidePoints.size(), 2u);
    EXPECT_EQ(d.guidePoints[0].flags & GUIDE_REST, static_cast<uint32_t>(GUIDE_REST));
    EXPECT_EQ(std::u16string(d.guidePoints[0].text), u"푸른휴게소");

    // Distance along the expressway's shape to its k-th point.
    const std::vector<MapPoint>& west = Link(41).shape;
    const std::vector<MapPoint>& east = Link(42).shape;
    auto alongWest = [&](size_t k) {
        int32_t m = 0;
        for (size_t i = 1; i <= k; ++i) m += static_cast<int32_t>(GetApproxDistance(west[i - 1], west[i]));
        return m;
    };
    auto alongEast = [&](size_t k) {
        int32_t m = LengthM(41);
        for (size_t i = 1; i <= k; ++i) m += static_cast<int32_t>(GetApproxDistance(east[i - 1], east[i]));
        return m;
    };
    const std::vector<SvcRouteCamera> cameras = ListRouteCameras(*CMgrMap::Instance(), d);
    struct Want {
        int link, kind, limit, sectionM;
        int32_t distanceM;
    };
    const Want want[] = {
        {0, 7, 100, writers::kDemoSectionLength100m * 100, alongWest(1)},  // section start
        {0, 1, 100, 0, alongWest(3)},                                      // speed camera in the middle
        {1, 1, 100, 0, alongEast(3)},
        {1, 8, 100, writers::kDemoSectionLength100m * 100, alongEast(5)},  // section end
    };
    ASSERT_EQ(cameras.size(), std::size(want));
    for (size_t k = 0; k < cameras.size(); ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(cameras[k].linkIndex, want[k].link);
        EXPECT_EQ(cameras[k].kind, want[k].kind);
        EXPECT_EQ(cameras[k].speedLimitKmh, want[k].limit);
        EXPECT_EQ(cameras[k].sectionLengthM, want[k].sectionM);
        EXPECT_EQ(cameras[k].distanceM, want[k].distanceM);
        EXPECT_EQ(cameras[k].file, 1);
    }
}

// The gathered tables handed to the guidance settings object as a
// candidate route: link ids, cumulative distances and times where the
// drive screens read them, the guidance points and the route's shape.
TEST_F(CollectDataTest, HandedToTheGuidanceSettings) {
    ASSERT_EQ(Gather(kRoutes[1]), 1);
    const tagSVCROUTEDATA d = collect.Snapshot();
    GuideRoute route;
    ASSERT_EQ(collect.BuildGuideRoute(&route), 1);
    CMgrConfigModuleSVC* svc = CMgrConfigModuleSVC::Instance();
    GuideRoutePoint none[1];
    ASSERT_EQ(svc->SetSlotRoute(2, std::move(route), none, 0), 1);
    MgrLock hold(*svc->GetLock());
    GuideRoute* slot = svc->SlotRoute(2);
    ASSERT_NE(slot, nullptr);
    ASSERT_EQ(slot->linkCount, static_cast<int32_t>(d.linkIds.size()));
    for (int32_t i = 0; i < slot->linkCount; ++i) {
        EXPECT_EQ(slot->arrays[kGuideArrayLinkId][i], d.linkIds[static_cast<size_t>(i)]);
        EXPECT_EQ(slot->arrays[kGuideArrayDistanceM][i], d.cumLengthM[static_cast<size_t>(i)]);
        EXPECT_EQ(slot->arrays[kGuideArrayTimeS][i], d.cumTimeS[static_cast<size_t>(i)]);
    }
    ASSERT_EQ(slot->guidePoints.Count(), static_cast<int32_t>(d.guidePoints.size()));
    EXPECT_EQ(slot->guidePoints[0].guideType, 13);
    EXPECT_EQ(slot->guidePoints[0].linkIndex, 1);
    EXPECT_EQ(slot->pathPoints.Count(), static_cast<int32_t>(d.shape.size()));
}

// A link driven twice more than 500 m apart is marked: there and back
// along the main street marks the whole stretch between the two passes.
TEST_F(CollectDataTest, RepeatedLinks) {
    RouteCase back{"there and back", {9, 10, R(10), R(9)}, {}, {}, {}};
    ASSERT_EQ(Gather(back), 1);
    EXPECT_EQ(collect.Snapshot().repeatedMark, (std::vector<int32_t>{1, 1, 1, 1}));
    ASSERT_EQ(Gather(kRoutes[1]), 1);
    EXPECT_EQ(collect.Snapshot().repeatedMark, (std::vector<int32_t>(6, 0)));
}

TEST_F(CollectDataTest, RefusedInputs) {
    const int32_t links[] = {9, 10};
    const int32_t traffic[] = {9, 10};
    tagSVCROUTEPOINTIN one[1];
    EXPECT_EQ(collect.SetRoute(2, links, traffic, 1, one), 0);  // fewer than two points
    tagSVCROUTEPOINTIN two[2];
    two[1].linkIndex = 5;
    EXPECT_EQ(collect.SetRoute(2, links, traffic, 2, two), 0);  // a point off the route
    EXPECT_EQ(collect.SetRoute(0, links, traffic, 2, two), 0);
    CMneCollectData unbound;
    EXPECT_EQ(unbound.Gather(), 0);
    EXPECT_EQ(unbound.RecomputeTimes(), 0);
    EXPECT_EQ(unbound.Init(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &toll, nullptr, nullptr), 0);
    // A link the map does not know fails the gathering.
    const int32_t unknown[] = {9, 1999};
    two[1].linkIndex = 1;
    ASSERT_EQ(collect.SetRoute(2, unknown, traffic, 2, two), 1);
    EXPECT_EQ(collect.Gather(), 0);
}

// The main thread recomputes times and records toll passes while the
// guidance thread gathers: neither sees the other's tables half written
// (the threaded build checks the locking).
TEST_F(CollectDataTest, RecomputeAndTollPassesBesideGathering) {
    std::atomic<bool> stop{false};
    std::thread gatherer([&] {
        for (int k = 0; k < 30; ++k) EXPECT_EQ(Gather(kRoutes[k % 2 == 0 ? 2 : 0]), 1);
        stop = true;
    });
    int passes = 0;
    while (!stop) {
        collect.RecomputeTimes();
        toll.AddPassed(1 + passes % 2, passes);
        const tagSVCROUTEDATA d = collect.Snapshot();
        EXPECT_EQ(d.timeS.size(), d.linkIds.size());
        ++passes;
    }
    gatherer.join();
    EXPECT_GT(passes, 0);
}

// An exit announced ahead: a straight run of expressway whose first pair
// carries an exit-sign record (turn record kind 3) and whose exit carries a
// kind-1 record numbered 00000120 (digits 5 to 7 "012", not "000"). Drawn
// west to east; the second link is stored east to west, so the writer files
// the pair onto it as kind 3 ("E"):
//
//   1 ====> <==== 2 ====> 3 ====>
//                          \ 4 (ramp, north)
TEST(CollectExitTest, DistanceFromTheExitSignToTheExit) {
    testsupport::TempDir dir;
    auto at = [](double lon, double lat) {
        return MapPoint{static_cast<int32_t>(lon * kMapUnitsPerDegree), static_cast<int32_t>(lat * kMapUnitsPerDegree)};
    };
    auto road = [&](uint32_t number, std::vector<MapPoint> shape, uint8_t roadClass, uint8_t kind) {
        writers::DemoLink l;
        l.number = number;
        l.nameUtf8 = roadClass == 0 ? "동서고속도로" : "동쪽나들목";
        l.shape = std::move(shape);
        l.roadClass = roadClass;
        l.linkKind = kind;
        l.laneCount = roadClass == 0 ? 4 : 1;
        return l;
    };
    const std::vector<writers::DemoLink> links = {
        road(1, {at(127.00, 37.5), at(127.005, 37.5), at(127.01, 37.5)}, 0, 1),
        road(2, {at(127.02, 37.5), at(127.015, 37.5), at(127.01, 37.5)}, 0, 1),
        road(3, {at(127.02, 37.5), at(127.025, 37.5), at(127.03, 37.5)}, 0, 1),
        road(4, {at(127.03, 37.5), at(127.031, 37.503), at(127.032, 37.506)}, 1, 3),
    };
    ASSERT_TRUE(writers::WriteLinkMap(dir.Path(), links));
    CMneServiceMainMapFile service;
    CMnePathMapFile paths;
    CMneRoadLineMapFile lines;
    CMneNameMapFile names;
    CMneSAMapFile areas;
    CMneLinkMapFile cells;
    CMneExtLaneMapFile lanes;
    CMneExtTBTMapFile turns;
    CMneTollGateMapFile gates;
    const std::string root = dir.Path() + "/";
    for (int opened : {service.Open(root), paths.Open(root), lines.Open(root), names.Open(root), areas.Open(root),
                       cells.Open(root), lanes.Open(root), turns.Open(root), gates.Open(root)})
        ASSERT_EQ(opened, 1);
    CMneCalTollPrice toll;
    toll.OpenAt(std::string(), &gates);
    CMneCollectData collect;
    ASSERT_EQ(collect.Init(&service, &paths, &lines, &names, &areas, &cells, &toll, &lanes, &turns), 1);
    collect.SetCongestion([](int32_t) { return 0; });
    const int32_t route[] = {1, R(2), 3, 4};
    const int32_t traffic[] = {1, 2, 3, 4};
    tagSVCROUTEPOINTIN points[2];
    points[0].position = links[0].shape.front();
    points[1].linkIndex = 3;
    points[1].position = links[3].shape.back();
    points[1].offsetM = 500;  // a goal at the very start of its link would silence the exit
    ASSERT_EQ(collect.SetRoute(4, route, traffic, 2, points), 1);
    ASSERT_EQ(collect.Gather(), 1);
    const tagSVCROUTEDATA d = collect.Snapshot();
    ASSERT_EQ(d.guidePoints.size(), 2u);
    const tagSVCGUIDEPOINT& exit = d.guidePoints[0];
    EXPECT_EQ(exit.linkIndex, 2);
    EXPECT_EQ(exit.turnCode, 104);  // off the expressway to the left
    auto length = [&](size_t k) {
        int32_t m = 0;
        for (size_t i = 1; i < links[k].shape.size(); ++i) m += static_cast<int32_t>(GetApproxDistance(links[k].shape[i - 1], links[k].shape[i]));
        return m;
    };
    // From the end of the signed first link to the exit: links 2 and 3.
    EXPECT_EQ(exit.exitDistanceM, length(1) + length(2));

    // A goal at the very start of the ramp: the exit before it is not told.
    points[1].offsetM = 0;
    ASSERT_EQ(collect.SetRoute(4, route, traffic, 2, points), 1);
    ASSERT_EQ(collect.Gather(), 1);
    const tagSVCROUTEDATA g = collect.Snapshot();
    ASSERT_EQ(g.guidePoints.size(), 1u);
    EXPECT_EQ(g.guidePoints[0].turnCode, 318);
    EXPECT_EQ(g.turnCode[2], 0);
}

}  // namespace
