// The route engine: joining the leg sections, the groups of legs through
// passed waypoints, and plans on the demo district's road data (valid
// routes through waypoints, avoided and detour links, the short-route flag,
// a failed run that leaves the last result, a cancel given while idle).
#include "route/route_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>

#include "foundation/debug_trace.h"
#include "support/temp_dir.h"
#include "tools/writers/demo_map.h"
#include "tools/writers/route_data_writer.h"

namespace {

std::vector<int32_t> Range(int32_t from, int n) {
    std::vector<int32_t> v(static_cast<size_t>(n));
    std::iota(v.begin(), v.end(), from);
    return v;
}

TEST(RouteParamOutputTest, JoinsSectionsWithBoundariesAndTrafficIds) {
    struct Case {
        const char* what;
        std::vector<std::vector<int32_t>> sections;
        std::vector<int32_t> joined;   // empty: only the sizes below are checked
        size_t total;
        std::vector<int32_t> boundaries;
    };
    // Two legs of 1000 and 500 links, the second starting on the first's last.
    std::vector<int32_t> a = Range(1, 1000), b = Range(1000, 500);
    const Case cases[] = {
        {"1000 and 500 links", {a, b}, {}, 1499, {999}},
        {"a later leg on another link keeps its first link", {{1, 2}, {7, 8}}, {1, 2, 7, 8}, 4, {1}},
        {"an empty section adds nothing", {{1, 2}, {}, {2, 3}}, {1, 2, 3}, 3, {1, 1}},
        {"one leg", {{5, 6, 7}}, {5, 6, 7}, 3, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RouteParamOutput out;
        out.joined = {99};   // an earlier route is replaced
        for (size_t k = 0; k < c.sections.size(); ++k) out.sections[k].links = c.sections[k];
        out.JoinSections(static_cast<int>(c.sections.size()), [](int32_t id) { return static_cast<uint32_t>(id) * 10; });
        ASSERT_EQ(out.joined.size(), c.total);
        if (!c.joined.empty()) {
            EXPECT_EQ(out.joined, c.joined);
        }
        EXPECT_EQ(out.sectionCount, static_cast<int32_t>(c.sections.size()));
        for (size_t k = 0; k < c.boundaries.size(); ++k) EXPECT_EQ(out.boundaries[k], c.boundaries[k]);
        ASSERT_EQ(out.trafficIds.size(), out.joined.size());
        for (size_t i = 0; i < out.joined.size(); ++i) EXPECT_EQ(out.trafficIds[i], out.joined[i] * 10);
        for (size_t k = 0; k < c.sections.size(); ++k) EXPECT_TRUE(out.sections[k].links.empty());
    }
}

TEST(RouteLegGroupsTest, PassedWaypointsJoinTheirLegs) {
    struct Case {
        std::vector<int32_t> originKinds;   // of legs 1.. (leg 0 starts at the start)
        std::vector<std::pair<int, int>> groups;
    };
    const Case cases[] = {
        {{}, {{0, 0}}},
        {{2, 2}, {{0, 0}, {1, 1}, {2, 2}}},
        {{5}, {{0, 1}}},
        {{6, 1, 5}, {{0, 1}, {2, 3}}},
        {{1, 6, 6}, {{0, 0}, {1, 3}}},
    };
    for (const auto& c : cases) {
        RoutePlanRequest r;
        r.legCount = static_cast<int32_t>(c.originKinds.size()) + 1;
        for (size_t k = 0; k < c.originKinds.size(); ++k) r.legs[k + 1].origin.kind = c.originKinds[k];
        std::vector<std::pair<int, int>> got;
        for (const RouteLegGroup& g : RouteLegGroups(r)) got.push_back({g.first, g.last});
        EXPECT_EQ(got, c.groups);
    }
}

// Links of the demo district: the streets west to east are 1-20 (four
// blocks each, the main street 9-12, the northern street 17-20 one-way
// eastwards), the avenues south to north 21-40.
class RouteEngineDemo : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(writers::WriteDemoMap(dir.Path()));
        ASSERT_TRUE(writers::WriteDemoRouteData(dir.Path()));
        ASSERT_EQ(check.OpenAt(dir.Path(), checkMemory.data(), checkMemory.size()), 1);
        engine = std::make_unique<RouteEngine>(dir.Path());
        ASSERT_EQ(engine->ReserveMemory(), 1);
        ASSERT_EQ(engine->OpenRoadData(1 << 20), 1);
        EXPECT_EQ(engine->LoadConfig("C:\\Pelox20\\Map\\Config\\Route.cfg"), 1);
        engine->SetTuning(NcSearchTuning::Exact());
    }
    // Legs through the given link ids (each end given by its link).
    static RoutePlanRequest Legs(const std::vector<int32_t>& ends, int32_t viaKind = kLegEndLink) {
        RoutePlanRequest r;
        r.routeKinds = 1;
        r.legCount = static_cast<int32_t>(ends.size()) - 1;
        for (int k = 0; k < r.legCount; ++k) {
            r.legs[k].index = k;
            r.legs[k].origin.kind = k == 0 ? kLegEndLink : viaKind;
            r.legs[k].origin.AddLink(ends[k]);
            r.legs[k].destination.kind = k + 1 == r.legCount ? kLegEndLink : viaKind;
            r.legs[k].destination.AddLink(ends[k + 1]);
        }
        return r;
    }
    // Every step of the route is an allowed turn at a shared node, read
    // from the road data apart from the engine.
    void ExpectDrivable(const std::vector<int32_t>& route) {
        for (size_t i = 1; i < route.size(); ++i) {
            SCOPED_TRACE(testing::Message() << route[i - 1] << " -> " << route[i]);
            ASSERT_EQ(check.LoadLink(0, static_cast<uint32_t>(route[i - 1])), 1);
            const MapPoint end = check.GetEndPoint(0);
            const NcConnection* c = nullptr;
            const int n = check.GetConnections(0, &c);
            const auto* turn = std::find_if(c, c + n, [&](const NcConnection& e) { return e.linkId == route[i]; });
            ASSERT_NE(turn, c + n);
            EXPECT_EQ(turn->allowed, 1);
            ASSERT_EQ(check.LoadLink(0, static_cast<uint32_t>(route[i])), 1);
            EXPECT_EQ(check.GetStartPoint(0), end);
            EXPECT_EQ(check.View(0).IsClosed(), 0);
        }
    }
    // The point a fraction of the way along a link's stored direction.
    MapPoint Along(int32_t link, double f) {
        EXPECT_EQ(check.LoadLink(0, static_cast<uint32_t>(link)), 1);
        const MapPoint s = check.GetStartPoint(0), e = check.GetEndPoint(0);
        return MapPoint{static_cast<int32_t>(std::lround(s.x + f * (e.x - s.x))),
                        static_cast<int32_t>(std::lround(s.y + f * (e.y - s.y)))};
    }
    uint32_t TrafficId(int32_t link) {
        EXPECT_EQ(check.LoadLink(0, static_cast<uint32_t>(link)), 1);
        return check.GetSummary(0).trafficId;
    }

    testsupport::TempDir dir;
    std::vector<uint8_t> checkMemory = std::vector<uint8_t>(1 << 20);
    NcDALManager check;
    std::unique_ptr<RouteEngine> engine;
};

TEST_F(RouteEngineDemo, PlansThroughWaypointsWithTrafficIds) {
    RoutePlanResult r;
    ASSERT_EQ(engine->Plan(Legs({1, 20}), &r), 1);
    ASSERT_GE(r.links.size(), 4u);
    EXPECT_EQ(r.links.front(), 1);
    EXPECT_EQ(r.links.back(), 20);
    ExpectDrivable(r.links);
    ASSERT_EQ(r.trafficIds.size(), r.links.size());
    for (size_t i = 0; i < r.links.size(); ++i) {
        const uint32_t number = static_cast<uint32_t>(r.links[i]) & kNcLinkIndexMask;
        const bool reversed = (static_cast<uint32_t>(r.links[i]) & kNcLinkReverseBit) != 0;
        EXPECT_EQ(static_cast<uint32_t>(r.trafficIds[i]), number * 10 + (reversed ? 2 : 1));
    }
    EXPECT_EQ(r.sectionCount, 1);
    EXPECT_FALSE(engine->IsShortRoute());

    // Through the third avenue's first block northwards (link 29): two
    // sections, the boundary on the waypoint's link.
    ASSERT_EQ(engine->Plan(Legs({1, 29, 20}), &r), 1);
    ExpectDrivable(r.links);
    EXPECT_EQ(r.sectionCount, 2);
    EXPECT_EQ(r.links[static_cast<size_t>(r.boundaries[0])], 29);
    EXPECT_EQ(r.links.front(), 1);
    EXPECT_EQ(r.links.back(), 20);
    EXPECT_EQ(engine->SearchesRun(), 2);

    // The same waypoint passed through: one section, found by one search
    // through both legs.
    ASSERT_EQ(engine->Plan(Legs({1, 29, 20}, kLegEndList1), &r), 1);
    ExpectDrivable(r.links);
    EXPECT_NE(std::find(r.links.begin(), r.links.end(), 29), r.links.end());
    EXPECT_EQ(engine->SearchesRun(), 1);
    EXPECT_EQ(engine->LegsSearched(), 2);
    EXPECT_EQ(r.boundaries[0], static_cast<int32_t>(r.links.size()) - 1);
}

// Traffic weights: asked for, a jam on the plain route's middle link moves
// the route off it and the result says traffic was used; not asked for,
// the same congestion changes nothing.
TEST_F(RouteEngineDemo, TrafficWeightsOnlyWhenAskedFor) {
    RoutePlanResult plain;
    ASSERT_EQ(engine->Plan(Legs({1, 20}), &plain), 1);
    const int32_t middle = plain.links[plain.links.size() / 2];
    const uint32_t jammed = TrafficId(middle);
    engine->SetCongestion([jammed](uint32_t id) { return id == jammed ? 3 : 1; });
    RoutePlanResult r;
    ASSERT_EQ(engine->Plan(Legs({1, 20}), &r), 1);
    EXPECT_FALSE(r.trafficUsed);
    EXPECT_EQ(r.links, plain.links);
    RoutePlanRequest req = Legs({1, 20});
    req.traffic = true;
    ASSERT_EQ(engine->Plan(req, &r), 1);
    EXPECT_TRUE(r.trafficUsed);
    ExpectDrivable(r.links);
    EXPECT_EQ(std::count(r.links.begin(), r.links.end(), middle), 0);
}

TEST_F(RouteEngineDemo, AvoidedLinksAreLeftOutAndDetourLinksCostMore) {
    RoutePlanResult plain;
    ASSERT_EQ(engine->Plan(Legs({1, 20}), &plain), 1);
    const int32_t middle = plain.links[plain.links.size() / 2];
    for (int mark : {kNcSetMarkAvoid, kNcSetMarkDetour}) {
        SCOPED_TRACE(mark);
        RouteAvoidance avoid;
        RouteDetour detour;
        (mark == kNcSetMarkAvoid ? static_cast<RouteDetour&>(avoid) : detour).Append(1, &middle);
        RoutePlanRequest req = Legs({1, 20});
        req.avoidance = &avoid;
        req.detour = &detour;
        RoutePlanResult r;
        ASSERT_EQ(engine->Plan(req, &r), 1);
        ExpectDrivable(r.links);
        EXPECT_EQ(r.links.back(), 20);
        // The grid has routes of the same length around every block.
        EXPECT_EQ(std::count(r.links.begin(), r.links.end(), middle), 0);
    }
}

// With the keep flag a run re-uses the last run's state: the links it
// avoided stay avoided although the request carries no set, and no
// straight distances are taken (no short route); without it the marks are
// made again from the request.
TEST_F(RouteEngineDemo, KeepFlagReusesTheLastMarks) {
    RoutePlanResult plain;
    ASSERT_EQ(engine->Plan(Legs({1, 20}), &plain), 1);
    const int32_t middle = plain.links[plain.links.size() / 2];
    RouteAvoidance avoid;
    avoid.Append(1, &middle);
    RoutePlanRequest marked = Legs({1, 20});
    marked.avoidance = &avoid;
    RoutePlanResult r;
    ASSERT_EQ(engine->Plan(marked, &r), 1);
    ASSERT_EQ(std::count(r.links.begin(), r.links.end(), middle), 0);

    RoutePlanRequest kept = Legs({1, 20});
    kept.keep = true;
    ASSERT_EQ(engine->Plan(kept, &r), 1);
    EXPECT_EQ(std::count(r.links.begin(), r.links.end(), middle), 0);
    EXPECT_EQ(r.links.back(), 20);
    RoutePlanRequest shortKept = Legs({1, 2});   // about 1770 m
    shortKept.keep = true;
    ASSERT_EQ(engine->Plan(shortKept, &r), 1);
    EXPECT_FALSE(engine->IsShortRoute());

    ASSERT_EQ(engine->Plan(Legs({1, 20}), &r), 1);
    EXPECT_EQ(r.links, plain.links);
}

// The engine's memory as it is reserved: the area grid of 40000 bytes and
// the link-id memory, an index of 62501 words and a page of 576 bytes for
// every group of 32 links, and 15 more indexes for the stages of a search
// over 16 legs (16 x 250004 + 36000576 = 40000640 bytes).
TEST(RouteEngineMemoryTest, ReserveTracesTheSizes) {
    testsupport::TempDir dir;
    RouteEngine engine(dir.Path());
    std::vector<std::string> lines;
    SetDebugTraceSink([&](std::string_view line) { lines.emplace_back(line); }, false);
    const int rc = engine.ReserveMemory();
    SetDebugTraceSink({});
    ASSERT_EQ(rc, 1);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "[RP**] GRAPH_TOTAL_MEM_SIZE: 39(KB)\n"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "[RP**] LINKIDMEM_TOTAL_MEM_SIZE: 39063(KB)\n"), lines.end());
}

TEST(RoutePlanRequestTest, ReverseLegsTwiceRestoresThem) {
    RoutePlanRequest r;
    r.legCount = 3;
    for (int k = 0; k < 3; ++k) {
        r.legs[k].index = 10 + k;
        r.legs[k].origin.point = {k, 1};
        r.legs[k].origin.kind = kLegEndPoint;
        r.legs[k].origin.AddLink(100 + k);
        r.legs[k].destination.point = {k + 1, 1};
        r.legs[k].destination.kind = k == 0 ? kLegEndList1 : kLegEndLink;
        r.legs[k].destination.AddLink(101 + k);
        r.legs[k].destination.AddLink(201 + k);
    }
    r.legs[3].index = 99;   // past the legs in use: untouched
    const RoutePlanRequest given = r;
    const auto same = [](const RoutePlanLegEnd& a, const RoutePlanLegEnd& b) {
        return a.point.x == b.point.x && a.point.y == b.point.y && a.kind == b.kind && a.linkCount == b.linkCount &&
               std::equal(a.links, a.links + a.linkCount, b.links);
    };
    r.ReverseLegs();
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        const RoutePlanLeg& was = given.legs[2 - k];
        EXPECT_EQ(r.legs[k].index, was.index);
        EXPECT_TRUE(same(r.legs[k].origin, was.destination));
        EXPECT_TRUE(same(r.legs[k].destination, was.origin));
    }
    EXPECT_EQ(r.legs[3].index, 99);
    r.ReverseLegs();
    for (int k = 0; k < 3; ++k) {
        EXPECT_TRUE(same(r.legs[k].origin, given.legs[k].origin));
        EXPECT_TRUE(same(r.legs[k].destination, given.legs[k].destination));
    }
    // Nothing with the keep flag or without legs.
    for (const bool keep : {true, false}) {
        RoutePlanRequest q = given;
        q.keep = keep;
        if (!keep) q.legCount = 0;
        q.ReverseLegs();
        EXPECT_TRUE(same(q.legs[0].origin, given.legs[0].origin));
        EXPECT_TRUE(same(q.legs[2].destination, given.legs[2].destination));
    }
}

TEST_F(RouteEngineDemo, ShortRouteFailedRunAndIdleCancel) {
    RoutePlanResult r;
    ASSERT_EQ(engine->Plan(Legs({1, 2}), &r), 1);   // about 1770 m corner to corner
    EXPECT_TRUE(engine->IsShortRoute());
    ASSERT_EQ(engine->Plan(Legs({1, 3}), &r), 1);   // about 2650 m
    EXPECT_FALSE(engine->IsShortRoute());

    // Against the one-way northern street: no route, the last result stays
    // and the waypoint's section already searched is not handed out.
    RouteParamOutput out;
    out.joined = {7, 8};
    EXPECT_EQ(engine->RouteForMultiDest(Legs({1, 3, 20 | static_cast<int32_t>(kNcLinkReverseBit)}), &out),
              kNcSearchNoRoute);
    EXPECT_EQ(out.joined, (std::vector<int32_t>{7, 8}));
    EXPECT_TRUE(out.sections[0].links.empty());

    // A cancel given while no plan runs does not end the next one.
    engine->SetCancel(true);
    EXPECT_EQ(engine->Plan(Legs({1, 20}), &r), 1);

    // A read of one link from the engine's own view.
    RouteLinkRecord rec;
    ASSERT_TRUE(engine->ReadLink(41, &rec));
    EXPECT_EQ(rec.roadClass, 0);
    EXPECT_EQ(rec.roadKind, 1);
    EXPECT_TRUE(rec.twoWay);
    ASSERT_TRUE(engine->ReadLink(17, &rec));
    EXPECT_FALSE(rec.twoWay);
    EXPECT_FALSE(engine->ReadLink(45, &rec));
}

TEST_F(RouteEngineDemo, CachedLinksAreTheExpresswayLinks) {
    engine->RestoreCachedLinks();
    EXPECT_EQ(engine->CachedLinks(), (std::vector<int32_t>{41, 42, 43}));
    engine->CloseRoadData();
    RouteLinkRecord rec;
    EXPECT_FALSE(engine->ReadLink(1, &rec));
    RoutePlanResult r;
    EXPECT_LT(engine->Plan(Legs({1, 20}), &r), 0);
}

}  // namespace

namespace {

// Origin and destination on one street link, their feet a quarter and
// three quarters along it: ahead, the route is that link alone; behind on
// a two-way street, the route starts on the reverse link (alone when the
// destination may be reached on it, else round the blocks back onto the
// link); behind on the one-way northern street there is no way (-622).
TEST_F(RouteEngineDemo, OriginAndDestinationOnOneLink) {
    const int32_t reverse = static_cast<int32_t>(kNcLinkReverseBit);
    struct Case {
        const char* what;
        int32_t link;                      // the street link, stored direction
        double originAt, destinationAt;    // fraction along the stored direction
        std::vector<int32_t> origins, goals;
        int rc;
        std::vector<int32_t> route;        // empty: checked below by its ends
    } cases[] = {
        {"ahead", 2, 0.25, 0.75, {2}, {2}, 1, {2}},
        {"ahead against the stored direction", 2, 0.75, 0.25, {2 | reverse}, {2 | reverse}, 1, {2 | reverse}},
        {"ahead on the one-way street", 18, 0.25, 0.75, {18}, {18}, 1, {18}},
        {"behind, the reverse link a goal too", 2, 0.75, 0.25, {2}, {2, 2 | reverse}, 1, {2 | reverse}},
        {"behind, both directions given at each end", 2, 0.75, 0.25, {2, 2 | reverse}, {2, 2 | reverse}, 1,
         {2 | reverse}},
        {"behind, only the link itself a goal", 2, 0.75, 0.25, {2}, {2}, 1, {}},
        {"behind on the one-way street", 18, 0.75, 0.25, {18}, {18}, kNcSearchTooManyLinks, {}},
        // The destination found on the other direction's id of the same
        // road: still that road alone, not round the blocks.
        {"ahead, the destination on the reverse id", 2, 0.25, 0.75, {2}, {2 | reverse}, 1, {2}},
        {"ahead against the stored direction, the destination on the stored id", 2, 0.75, 0.25, {2 | reverse}, {2},
         1, {2 | reverse}},
        {"behind, the destination on the reverse id", 2, 0.75, 0.25, {2}, {2 | reverse}, 1, {2 | reverse}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto at = [&](double f) { return Along(c.link, f); };
        RoutePlanRequest q;
        q.routeKinds = 1;
        q.legCount = 1;
        q.legs[0].origin.kind = kLegEndPoint;
        q.legs[0].origin.point = q.legs[0].origin.foot = at(c.originAt);
        for (int32_t id : c.origins) q.legs[0].origin.AddLink(id);
        q.legs[0].destination.kind = kLegEndPoint;
        q.legs[0].destination.point = q.legs[0].destination.foot = at(c.destinationAt);
        for (int32_t id : c.goals) q.legs[0].destination.AddLink(id);
        RoutePlanResult r;
        ASSERT_EQ(engine->Plan(q, &r), c.rc);
        if (c.rc != 1) continue;
        if (!c.route.empty()) {
            EXPECT_EQ(r.links, c.route);
        } else {
            ASSERT_GE(r.links.size(), 4u);
            EXPECT_EQ(r.links.front(), c.link | reverse);
            EXPECT_EQ(r.links.back(), c.link);
            ExpectDrivable(r.links);
        }
    }
}

// A waypoint passed through, searched in one pass with the leg after it:
// the next leg may drive back over the road just driven (to the westward
// block behind the waypoint), and where the next end lies behind the
// waypoint on its own street it turns back onto the reverse link (the
// route ends there when that is an end too, else it comes round the blocks
// onto the waypoint's link again); on the one-way street there is no way.
TEST_F(RouteEngineDemo, PassedWaypointsInOnePass) {
    const int32_t reverse = static_cast<int32_t>(kNcLinkReverseBit);
    RoutePlanResult r;
    ASSERT_EQ(engine->Plan(Legs({1, 3, 2 | reverse}, kLegEndList1), &r), 1);
    EXPECT_EQ(engine->SearchesRun(), 1);
    ExpectDrivable(r.links);
    const auto waypoint = std::find(r.links.begin(), r.links.end(), 3);
    ASSERT_NE(waypoint, r.links.end());
    EXPECT_EQ(r.links.front(), 1);
    EXPECT_EQ(r.links.back(), 2 | reverse);

    // Seventeen legs passed through: the first sixteen in one pass, the
    // last from where it ended; the waypoints in order.
    const std::vector<int32_t> ends = {1, 2, 3, 4, 8, 7, 6, 5, 1, 2, 3, 4, 8, 7, 6, 5, 1, 2};
    ASSERT_EQ(engine->Plan(Legs(ends, kLegEndList1), &r), 1);
    EXPECT_EQ(engine->SearchesRun(), 2);
    EXPECT_EQ(engine->LegsSearched(), 17);
    ExpectDrivable(r.links);
    auto at = r.links.begin();
    for (int32_t end : ends) {
        at = std::find(at, r.links.end(), end);
        ASSERT_NE(at, r.links.end()) << end;
    }
    EXPECT_EQ(r.links.back(), 2);

    struct Case {
        const char* what;
        int32_t link;
        std::vector<int32_t> goals;
        int rc;
        std::vector<int32_t> route;  // empty: checked below by its ends
    } cases[] = {
        {"behind, the reverse link an end too", 2, {2, 2 | reverse}, 1, {1, 2, 2 | reverse}},
        {"behind, only the link itself an end", 2, {2}, 1, {}},
        {"behind on the one-way street", 18, {18}, kNcSearchTooManyLinks, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto at = [&](double f) { return Along(c.link, f); };
        // From the block before the waypoint's link, the waypoint three
        // quarters along it, the destination a quarter along.
        RoutePlanRequest q = Legs({c.link - 1, c.link, c.link}, kLegEndList1);
        q.legs[0].destination.point = q.legs[0].destination.foot = at(0.75);
        q.legs[1].origin.point = q.legs[1].origin.foot = at(0.75);
        q.legs[1].destination.kind = kLegEndPoint;
        q.legs[1].destination.point = q.legs[1].destination.foot = at(0.25);
        q.legs[1].destination.linkCount = 0;
        for (int32_t id : c.goals) q.legs[1].destination.AddLink(id);
        ASSERT_EQ(engine->Plan(q, &r), c.rc);
        if (c.rc != 1) continue;
        EXPECT_EQ(engine->SearchesRun(), 1);
        if (!c.route.empty()) {
            EXPECT_EQ(r.links, c.route);
            continue;
        }
        ASSERT_GE(r.links.size(), 6u);
        EXPECT_EQ(std::vector<int32_t>(r.links.begin(), r.links.begin() + 3),
                  (std::vector<int32_t>{c.link - 1, c.link, c.link | reverse}));
        EXPECT_EQ(r.links.back(), c.link);
        // Turned back on the spot, then driven.
        ExpectDrivable(std::vector<int32_t>(r.links.begin() + 2, r.links.end()));
    }
}

}  // namespace

namespace {

// The origin point on the second block of the southern street (link 2),
// both directions given; the destination the block north of it (link 6)
// either way. Going east and turning up the avenue at the block's east end
// mirrors going west and up the avenue at its west end: near the east end
// the eastward start costs a twentieth of the link and wins, near the west
// end the westward one does.
TEST_F(RouteEngineDemo, TwoOriginLinksStartWithThePartAhead) {
    const int32_t reverse = static_cast<int32_t>(kNcLinkReverseBit);
    const auto at = [&](double f) { return Along(2, f); };
    ASSERT_EQ(check.LoadLink(0, 6), 1);
    const MapPoint north{(check.GetStartPoint(0).x + check.GetEndPoint(0).x) / 2,
                         (check.GetStartPoint(0).y + check.GetEndPoint(0).y) / 2};
    const struct {
        double along;
        int32_t first, last;
    } cases[] = {{0.95, 2, 6 | reverse}, {0.05, 2 | reverse, 6}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.along);
        RoutePlanRequest q;
        q.routeKinds = 1;
        q.legCount = 1;
        q.legs[0].origin.kind = kLegEndPoint;
        q.legs[0].origin.point = q.legs[0].origin.foot = at(c.along);
        q.legs[0].origin.AddLink(2);
        q.legs[0].origin.AddLink(2 | reverse);
        q.legs[0].destination.kind = kLegEndPoint;
        q.legs[0].destination.point = q.legs[0].destination.foot = north;
        q.legs[0].destination.AddLink(6);
        q.legs[0].destination.AddLink(6 | reverse);
        RoutePlanResult r;
        ASSERT_EQ(engine->Plan(q, &r), 1);
        ASSERT_EQ(r.links.size(), 3u);
        EXPECT_EQ(r.links.front(), c.first);
        EXPECT_EQ(r.links.back(), c.last);
        ExpectDrivable(r.links);
    }
}

}  // namespace
namespace {

// The driver's road preferences reach the link costs: with the lane-rich
// slider (road option byte 3) at 0 the main street's four-lane blocks cost
// 1.75 times as much and a route along the second street joins it one block
// later; at 10 they count 2.5 times as fast and a route from the second
// street to the avenue north of the main street takes the main street.
// Neutral sliders (5) give the route of a request without road options.
TEST_F(RouteEngineDemo, RoadPreferencesChangeTheRoute) {
    struct Case {
        const char* what;
        int32_t from, to;
        uint8_t laneSlider;
        std::vector<int32_t> plain, preferred;
    } cases[] = {
        {"lane-rich roads avoided", 5, 11, 0, {5, 26, 10, 11}, {5, 6, 30, 11}},
        {"lane-rich roads preferred", 6, 35, 10, {6, 7, 34, 35}, {6, 30, 11, 35}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RoutePlanRequest q = Legs({c.from, c.to});
        RoutePlanResult r;
        ASSERT_EQ(engine->Plan(q, &r), 1);
        EXPECT_EQ(r.links, c.plain);
        q.hasRoadOptions = true;
        std::fill(std::begin(q.roadOptions), std::end(q.roadOptions), uint8_t{5});
        ASSERT_EQ(engine->Plan(q, &r), 1);
        EXPECT_EQ(r.links, c.plain) << "neutral sliders";
        q.roadOptions[3] = c.laneSlider;
        ASSERT_EQ(engine->Plan(q, &r), 1);
        EXPECT_EQ(r.links, c.preferred);
        ExpectDrivable(r.links);
    }
}

}  // namespace
