// The guidance settings object: candidate slots taken into guidance, the
// clearing operations, tracking and re-route bookkeeping, and the questions
// the screens ask of the selected route (section speed, remaining distance,
// guidance point texts, continuity of a candidate route).
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "foundation/debug_trace.h"
#include "platform/clock.h"
#include "settings/module_gps.h"
#include "settings/module_rp.h"
#include "settings/module_svc.h"

namespace {

// One link of a route: its id, the cumulative distance and time at it.
struct LinkRow {
    int32_t id;
    int32_t distanceM;
    int32_t timeS;
};

GuideRoute MakeRoute(const std::vector<LinkRow>& rows, const std::vector<GuidePoint>& points = {}) {
    GuideRoute route;
    EXPECT_TRUE(route.AllocateArrays(static_cast<int32_t>(rows.size())));
    for (size_t i = 0; i < rows.size(); ++i) {
        route.arrays[kGuideArrayLinkId][static_cast<int32_t>(i)] = rows[i].id;
        route.arrays[kGuideArrayDistanceM][static_cast<int32_t>(i)] = rows[i].distanceM;
        route.arrays[kGuideArrayTimeS][static_cast<int32_t>(i)] = rows[i].timeS;
    }
    EXPECT_TRUE(route.guidePoints.Allocate(static_cast<int32_t>(points.size())));
    for (size_t i = 0; i < points.size(); ++i) route.guidePoints[static_cast<int32_t>(i)] = points[i];
    return route;
}

std::vector<int32_t> Links(const GuideRoute& route) {
    if (!route.LinkIds()) return {};
    return std::vector<int32_t>(route.LinkIds(), route.LinkIds() + route.linkCount);
}

GuideRoutePoint Point(char tag) {
    GuideRoutePoint p;
    std::fill(std::begin(p.bytes), std::end(p.bytes), static_cast<uint8_t>(tag));
    return p;
}

GuidePoint AtLink(int32_t linkIndex, int32_t roadKind = 0) {
    GuidePoint p;
    p.linkIndex = linkIndex;
    p.roadKind = roadKind;
    return p;
}

class ModuleSvcTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetDebugTraceSink([](std::string_view) {}, false);
        MgrConfigModuleRP::Instance()->FreeAllResults();
    }
    void TearDown() override {
        MgrConfigModuleRP::Instance()->FreeAllResults();
        SetGuideMapServices({});
        SetDebugTraceSink({});
    }

    // Puts a route into the selected slot.
    void Select(GuideRoute route, const std::string& pointTags = "") {
        std::vector<GuideRoutePoint> points;
        for (char tag : pointTags) points.push_back(Point(tag));
        ASSERT_EQ(m_svc.SetSlotRoute(0, std::move(route), points.data(), static_cast<int>(points.size())), 1);
        ASSERT_EQ(m_svc.SelectSlot(0), 1);
    }

    platform::FakeClock m_clock{1000};
    platform::ScopedClock m_useClock{m_clock};
    CMgrConfigModuleSVC m_svc;
};

TEST_F(ModuleSvcTest, SelectSlotTakesTheCandidateIntoGuidance) {
    MgrConfigModuleRP& planner = *MgrConfigModuleRP::Instance();
    for (uint32_t mode : {0x1u, 0x104u, 0x8u}) {
        RouteResultInput result;
        result.mode = mode;
        ASSERT_EQ(planner.AddRouteResult(result, 1), 1);
    }
    const GuideRoutePoint ab[] = {Point('A'), Point('B')};
    const GuideRoutePoint z[] = {Point('Z')};
    ASSERT_EQ(m_svc.SetSlotRoute(0, MakeRoute({{1, 0, 0}, {2, 0, 0}, {3, 0, 0}}), ab, 2), 1);
    ASSERT_EQ(m_svc.SetSlotRoute(2, MakeRoute({{7, 0, 0}, {8, 0, 0}}), z, 1), 1);
    EXPECT_EQ(m_svc.GetSlotsInUse(), 2);
    EXPECT_EQ(m_svc.IsGuideDataPresent(), 0);

    m_clock.SetTick(5000);
    ASSERT_EQ(m_svc.SelectSlot(2), 1);
    EXPECT_EQ(m_svc.IsGuideDataPresent(), 1);
    EXPECT_EQ(m_svc.GetRouteKind(), 8);
    EXPECT_EQ(m_svc.GetSelectTick(), 5000u);
    EXPECT_EQ(m_svc.IsSlotUsed(2), 0);
    EXPECT_EQ(m_svc.IsSlotUsed(0), 1);
    EXPECT_EQ(m_svc.GetSlotsInUse(), 1);
    EXPECT_EQ(m_svc.GetRoutePointCount(), 1);
    GuideRoutePoint point;
    ASSERT_EQ(m_svc.GetRoutePoint(0, &point), 1);
    EXPECT_EQ(point, Point('Z'));
    {
        MgrLock hold(*m_svc.GetLock());
        EXPECT_EQ(Links(m_svc.SelectedRoute()), (std::vector<int32_t>{7, 8}));
        EXPECT_EQ(m_svc.SlotRoute(2)->linkCount, 0);
        EXPECT_EQ(m_svc.SlotRoute(2)->LinkIds(), nullptr);
        EXPECT_EQ(Links(*m_svc.SlotRoute(0)), (std::vector<int32_t>{1, 2, 3}));
    }

    // Another slot replaces the route; the kind is that slot's result's.
    ASSERT_EQ(m_svc.SetSlotRoute(1, MakeRoute({{9, 0, 0}}), nullptr, 0), 1);
    ASSERT_EQ(m_svc.SelectSlot(1), 1);
    EXPECT_EQ(m_svc.GetRouteKind(), 4);
    EXPECT_EQ(m_svc.GetRoutePointCount(), 0);

    EXPECT_EQ(m_svc.SelectSlot(4), 0);
    EXPECT_EQ(m_svc.SelectSlot(-1), 0);
    EXPECT_EQ(m_svc.SetSlotRoute(4, GuideRoute(), nullptr, 0), 0);
    EXPECT_EQ(m_svc.SetSlotRoute(0, GuideRoute(), ab, 19), 0);
    MgrLock hold(*m_svc.GetLock());
    EXPECT_EQ(Links(m_svc.SelectedRoute()), (std::vector<int32_t>{9}));
}

TEST_F(ModuleSvcTest, ClearingReleasesRoutesAndBlocks) {
    GuideRoute route = MakeRoute({{1, 0, 0}, {2, 100, 10}}, {AtLink(1)});
    route.workArea[0] = 0x55;
    ASSERT_TRUE(route.workTable.Allocate(8));
    Select(std::move(route), "ST");
    const GuideRoutePoint p[] = {Point('C')};
    ASSERT_EQ(m_svc.SetSlotRoute(1, MakeRoute({{5, 0, 0}}), p, 1), 1);
    ASSERT_EQ(m_svc.SetSlotRoute(3, MakeRoute({{6, 0, 0}}), p, 1), 1);

    ASSERT_EQ(m_svc.ClearGuideData(), 1);
    EXPECT_EQ(m_svc.GetRoutePointCount(), 0);
    {
        MgrLock hold(*m_svc.GetLock());
        const GuideRoute& selected = m_svc.SelectedRoute();
        EXPECT_EQ(selected.linkCount, 0);
        for (const auto& array : selected.arrays) EXPECT_TRUE(array.Empty());
        EXPECT_TRUE(selected.workTable.Empty());
        EXPECT_TRUE(selected.guidePoints.Empty());
        EXPECT_EQ(selected.workArea[0], 0);
    }

    ASSERT_EQ(m_svc.ClearSlotGuideData(), 1);
    EXPECT_EQ(m_svc.GetSlotsInUse(), 0);
    for (int s = 0; s < kGuideSlotCount; ++s) {
        SCOPED_TRACE(s);
        EXPECT_EQ(m_svc.IsSlotUsed(s), 0);
        MgrLock hold(*m_svc.GetLock());
        EXPECT_EQ(m_svc.SlotRoute(s)->linkCount, 0);
    }
    EXPECT_EQ(m_svc.CheckRouteContinuity(1), CMgrConfigModuleSVC::kSlotNotInUse);
}

TEST_F(ModuleSvcTest, StatusTrackingAndReRouteBookkeeping) {
    {
        MgrLock hold(*m_svc.GetLock());
        m_svc.Status().drivenDistanceM = 1234;
        m_svc.Status().serviceData[100] = 7;
        m_svc.Tracking().remainingDistanceM = 50;
        m_svc.Tracking().counters[9] = 3;
    }
    ASSERT_EQ(m_svc.ClearGuideStatus(), 1);
    const GuideStatusBlock status = m_svc.GetStatus();
    EXPECT_EQ(status.drivenDistanceM, 0);
    EXPECT_EQ(status.serviceData[100], 0);

    m_clock.SetTick(7000);
    ASSERT_EQ(m_svc.ResetTrackingState(), 1);
    GuideTrackingState tracking = m_svc.GetTracking();
    EXPECT_EQ(tracking.guidePointIndex, -1);
    EXPECT_EQ(tracking.linkIndex, -1);
    EXPECT_EQ(tracking.remainingDistanceM, 0);
    EXPECT_EQ(tracking.counters[9], 0);
    EXPECT_EQ(tracking.stampTickMs, 7000u);

    EXPECT_EQ(m_svc.SetReRouteState(CMgrConfigModuleSVC::kReRouteRequested), 1);
    EXPECT_EQ(m_svc.GetReRouteState(), 1);
    EXPECT_EQ(m_svc.IncrementReRouteCount(), 1);
    EXPECT_EQ(m_svc.IncrementReRouteCount(), 2);
    m_svc.ClearReRouteCount();
    EXPECT_EQ(m_svc.IncrementReRouteCount(), 1);

    m_svc.StampReRouteTime();
    m_clock.Advance(59999);
    EXPECT_EQ(m_svc.IsReRouteMinutePassed(), 0);
    m_clock.Advance(1);
    EXPECT_EQ(m_svc.IsReRouteMinutePassed(), 1);
    // Across the wrap of the 32-bit tick.
    m_clock.SetTick(0xFFFFFFFFull - 1000);
    m_svc.StampReRouteTime();
    m_clock.Advance(30000);
    EXPECT_EQ(m_svc.IsReRouteMinutePassed(), 0);

    m_svc.SetPeriodicFlag(1);
    m_svc.ClearPeriodicFlag();
    EXPECT_EQ(m_svc.GetPeriodicFlag(), 0);
}

TEST_F(ModuleSvcTest, SectionSpeedAndClass) {
    // Links at cumulative distance / time; guidance points on links 0..3
    // with road kinds 0, 2, 1 and 2.
    Select(MakeRoute({{1, 0, 0}, {2, 1000, 60}, {3, 1000, 60}, {4, 500, 30}},
                     {AtLink(0), AtLink(1, 2), AtLink(2, 1), AtLink(3, 2)}));
    struct Case {
        int from, to;
        int result, speedKmh, distanceM, speedClass;
    };
    const Case cases[] = {
        {0, 1, 1, 60, 1000, 1},  // 1000 m in 60 s on road kind 2
        {0, 2, 1, 60, 1000, 2},  // the same on road kind 1
        {1, 2, 1, 0, 0, 4},      // no time passes: speed 0
        {1, 3, 1, 0, 0, 4},      // going back: no distance, negative time
        {0, 3, 1, 60, 500, 1},
        {0, 4, 0, 0, 0, 0},
        {-1, 1, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.from) + " -> " + std::to_string(c.to));
        GuideSectionSpeed out;
        ASSERT_EQ(m_svc.GetSectionSpeed(c.from, c.to, &out), c.result);
        EXPECT_EQ(out.speedKmh, c.speedKmh);
        EXPECT_EQ(out.distanceM, c.distanceM);
        EXPECT_EQ(out.speedClass, c.speedClass);
    }
}

TEST_F(ModuleSvcTest, RouteContinuityFollowsTheLinkEnds) {
    // Link id -> begin and end node, in the direction of travel:
    //   (0,0) -1-> (10,0) -2-> (10,10)      (20,0) -3-> (30,0)
    const std::map<int32_t, std::pair<MapPoint, MapPoint>> ends = {
        {1, {{0, 0}, {10, 0}}}, {2, {{10, 0}, {10, 10}}}, {3, {{20, 0}, {30, 0}}},
        {2 | (1 << 27), {{10, 10}, {10, 0}}}};
    GuideMapServices services;
    services.linkEnds = [&](int32_t id, MapPoint& begin, MapPoint& end) {
        auto it = ends.find(id);
        if (it == ends.end()) return 0;
        begin = it->second.first;
        end = it->second.second;
        return 1;
    };
    SetGuideMapServices(services);

    struct Case {
        const char* what;
        std::vector<int32_t> links;  // empty: a slot with no links
        int expected;
    };
    const Case cases[] = {
        {"one link", {3}, 1},
        {"connected", {1, 2}, 1},
        {"there and back", {1, 2, 2 | (1 << 27)}, 1},
        {"a gap", {1, 3}, CMgrConfigModuleSVC::kRouteGap},
        {"a link the map does not know", {1, 2, 99}, CMgrConfigModuleSVC::kRouteGap},
        {"no links", {}, CMgrConfigModuleSVC::kNoLinks},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<LinkRow> rows;
        for (int32_t id : c.links) rows.push_back({id, 0, 0});
        ASSERT_EQ(m_svc.SetSlotRoute(1, MakeRoute(rows), nullptr, 0), 1);
        EXPECT_EQ(m_svc.CheckRouteContinuity(1), c.expected);
    }
    EXPECT_EQ(m_svc.CheckRouteContinuity(2), CMgrConfigModuleSVC::kSlotNotInUse);
    EXPECT_EQ(m_svc.CheckRouteContinuity(7), CMgrConfigModuleSVC::kSlotNotInUse);
}

TEST_F(ModuleSvcTest, RemainingDistanceToTheCurrentGuidancePoint) {
    Select(MakeRoute({{1, 0, 0}, {2, 400, 30}, {3, 900, 70}}, {AtLink(1), AtLink(2)}));
    CMgrConfigModuleGPS& gps = *CMgrConfigModuleGPS::Instance();
    tagMAPMATCHINFO savedMatch;
    gps.GetMatchInfo(&savedMatch);

    struct Case {
        const char* what;
        int32_t pointIndex, drivenM, matchStatus;
        int32_t remainingM, behindM;  // expected, starting from 11 / 22
    };
    const Case cases[] = {
        {"ahead and matched", 1, 600, 1, 300, 22},
        {"ahead but not matched: kept", 1, 600, 0, 11, 22},
        {"passed", 0, 450, 1, 0, 50},
        {"exactly there", 0, 400, 1, 0, 22},
        {"no current point", -1, 0, 1, 11, 22},
        {"beyond the table", 2, 0, 1, 11, 22},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        tagMAPMATCHINFO match = savedMatch;
        match.status = c.matchStatus;
        gps.SetMatchInfo(match);
        {
            MgrLock hold(*m_svc.GetLock());
            m_svc.Tracking().guidePointIndex = c.pointIndex;
            m_svc.Tracking().remainingDistanceM = 11;
            m_svc.Tracking().behindDistanceM = 22;
            m_svc.Status().drivenDistanceM = c.drivenM;
        }
        m_svc.UpdateRemainingDistance();
        const GuideTrackingState t = m_svc.GetTracking();
        EXPECT_EQ(t.remainingDistanceM, c.remainingM);
        EXPECT_EQ(t.behindDistanceM, c.behindM);
    }
    gps.SetMatchInfo(savedMatch);
}

TEST_F(ModuleSvcTest, GuidancePointTextsAndRoadNames) {
    const std::map<int32_t, std::u16string> names = {
        {1, u"경부고속도로"}, {2, u"X"}, {3, u"[공사중]"}, {4, u""}, {5, u"올림픽대로"},
        {6, std::u16string(80, u'가')}};
    GuideMapServices services;
    services.roadName = [&](int32_t id, std::u16string& out) {
        auto it = names.find(id);
        if (it == names.end()) return 0;
        out = it->second;
        return 1;
    };
    SetGuideMapServices(services);

    GuidePoint first = AtLink(1);
    first.guideType = 12;
    first.flags = 0x30;
    first.laneCount = 3;
    first.laneWords[0] = 0x11;
    first.nameIds[0] = 1;
    first.nameIds[1] = 6;
    first.nameIds[2] = 99;
    GuidePoint last = AtLink(2);
    last.laneCount = 5;
    last.laneWords[0] = 0x22;
    last.nameIds[0] = 5;
    Select(MakeRoute({{1, 0, 0}, {2, 1500, 90}, {3, 2500, 200}}, {first, last}));
    {
        MgrLock hold(*m_svc.GetLock());
        m_svc.Status().drivenDistanceM = 500;
        m_svc.Status().drivenTimeS = 40;
    }

    GuidePointInfo info;
    ASSERT_EQ(m_svc.GetGuidePointInfo(0, &info), 1);
    EXPECT_EQ(info.guideType, 12);
    EXPECT_EQ(info.flags, 0x30u);
    EXPECT_EQ(info.distanceM, 1000);
    EXPECT_EQ(info.timeS, 50);
    EXPECT_EQ(info.laneCount, 3);
    EXPECT_EQ(info.laneWords[0], 0x11u);
    EXPECT_EQ(std::u16string(info.names[0]), u"경부고속도로");
    EXPECT_EQ(std::u16string(info.names[1]), u"올림픽대로");
    EXPECT_EQ(std::u16string(info.names[2]), std::u16string(63, u'가'));  // cut to the field
    EXPECT_EQ(std::u16string(info.names[3]), u"");                      // no such name

    ASSERT_EQ(m_svc.GetGuidePointInfo(1, &info), 1);
    EXPECT_EQ(info.laneCount, 5);
    EXPECT_EQ(info.laneWords[0], 0u) << "more than 4 lanes: no lane words";
    EXPECT_EQ(std::u16string(info.names[1]), u"") << "the last point has no next road";
    EXPECT_EQ(m_svc.GetGuidePointInfo(2, &info), 0);

    std::u16string name = u"old";
    EXPECT_EQ(m_svc.GetRoadName(99, &name), 0);
    EXPECT_EQ(name, u"");
    EXPECT_EQ(m_svc.GetRoadName(4, &name), 0);
    EXPECT_EQ(m_svc.GetRoadName(5, &name), 1);
    EXPECT_EQ(name, u"올림픽대로");

    struct Case {
        int32_t id;
        int flag;
        int expected;
    };
    const Case cases[] = {{0, 1, 0}, {-3, 1, 0}, {99, 1, 1}, {1, 0, 1}, {2, 0, 0}, {3, 0, 0}, {4, 0, 0}, {99, 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.id) + " flag " + std::to_string(c.flag));
        EXPECT_EQ(m_svc.IsValidRoadName(c.id, c.flag), c.expected);
    }
}

// The guidance thread hands over and selects routes while a screen reads
// the status, the tracking block and the selected route under the lock:
// every route a reader sees is whole (its link count matches its arrays).
TEST_F(ModuleSvcTest, ScreensReadWhileGuidanceSelectsRoutes) {
    std::atomic<bool> stop{false};
    std::thread guidance([&] {
        for (int round = 0; round < 2000; ++round) {
            const int32_t n = 1 + round % 7;
            std::vector<LinkRow> rows;
            for (int32_t i = 0; i < n; ++i) rows.push_back({round, i * 100, i * 10});
            std::vector<GuidePoint> points = {AtLink(0), AtLink(n - 1, 2)};
            const GuideRoutePoint tags[] = {Point('S'), Point('G')};
            m_svc.SetSlotRoute(round % kGuideSlotCount, MakeRoute(rows, points), tags, 2);
            m_svc.SelectSlot(round % kGuideSlotCount);
            m_svc.ResetTrackingState();
            m_svc.IncrementReRouteCount();
            if (round % 5 == 0) m_svc.ClearSlotGuideData();
            if (round % 11 == 0) m_svc.ClearGuideData();
        }
        stop.store(true, std::memory_order_release);
    });
    int torn = 0;
    int reads = 0;
    while (!stop.load(std::memory_order_acquire)) {
        {
            MgrLock hold(*m_svc.GetLock());
            const GuideRoute& route = m_svc.SelectedRoute();
            for (const auto& array : route.arrays) torn += array.Count() != route.linkCount;
            for (int32_t i = 0; i < route.linkCount; ++i) torn += route.LinkIds()[i] != route.LinkIds()[0];
        }
        GuideSectionSpeed speed;
        m_svc.GetSectionSpeed(0, 1, &speed);
        (void)m_svc.GetStatus();
        (void)m_svc.GetTracking();
        (void)m_svc.IsGuiding();
        ++reads;
    }
    guidance.join();
    EXPECT_EQ(torn, 0);
    EXPECT_GT(reads, 0);
}

}  // namespace
