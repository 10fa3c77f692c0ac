// The route sampling of the along-the-route search: the spacing, start,
// end, point limit and flags of the samples on small drawn routes; the
// sampling of the guided route of the demo district; and the search of
// kind 5 through the module over that route against a brute-force oracle
// over the writer's places (the side and offset rule of the along-route
// search applied to the samples).
#include "search/route_sampling.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <tuple>

#include "mapdb/mgr_map.h"
#include "search/module_sch.h"
#include "search/search_module_fixture.h"
#include "settings/module_gps.h"
#include "settings/module_rp.h"
#include "settings/module_svc.h"
#include "support/temp_dir.h"
#include "tools/writers/demo_map.h"
#include "tools/writers/route_fixture.h"
#include "tools/writers/search_db_writer.h"
#include "tools/writers/search_kinds_writer.h"

namespace {

// About 0.169 m per unit east-west and 0.212 m north-south at 37.5 N.
constexpr int32_t kX0 = static_cast<int32_t>(127.0 * kMapUnitsPerDegree);
constexpr int32_t kY0 = static_cast<int32_t>(37.5 * kMapUnitsPerDegree);
MapPoint East(const MapPoint& p, int32_t metres) { return {p.x + static_cast<int32_t>(metres / 0.169), p.y}; }
MapPoint North(const MapPoint& p, int32_t metres) { return {p.x, p.y + static_cast<int32_t>(metres / 0.212)}; }

bool Same(const MapPoint& a, const MapPoint& b) { return a.x == b.x && a.y == b.y; }

// Metres along the polyline of every sample (each must lie on a segment,
// not before the previous sample's); -1 for a sample off the route.
std::vector<int64_t> RouteOffsets(const std::vector<MapPoint>& line, const MapPoint* points, int n) {
    std::vector<int64_t> at(line.size(), 0);
    for (size_t i = 1; i < line.size(); ++i) at[i] = at[i - 1] + GetApproxDistance(line[i - 1], line[i]);
    std::vector<int64_t> out;
    size_t seg = 0;
    for (int k = 0; k < n; ++k) {
        const MapPoint& p = points[k];
        int64_t found = -1;
        for (size_t s = seg; s + 1 < line.size() && found < 0; ++s) {
            const MapPoint& a = line[s];
            const MapPoint& b = line[s + 1];
            const double dx = double(b.x) - a.x, dy = double(b.y) - a.y, len = std::hypot(dx, dy);
            const double cross = std::abs(dx * (double(p.y) - a.y) - dy * (double(p.x) - a.x));
            const bool inside = p.x >= std::min(a.x, b.x) - 1 && p.x <= std::max(a.x, b.x) + 1 &&
                                p.y >= std::min(a.y, b.y) - 1 && p.y <= std::max(a.y, b.y) + 1;
            if ((len == 0 && Same(a, p)) || (len > 0 && inside && cross / len <= 1.0)) {
                found = at[s] + GetApproxDistance(a, p);
                seg = s;
            }
        }
        out.push_back(found);
    }
    return out;
}

struct DrawnLink {
    std::vector<MapPoint> shape;
    int32_t roadClass = 5;
    int32_t linkKind = 6;
};

RouteSampleLinkReader Reader(const std::vector<DrawnLink>& links) {
    return [&links](size_t i, RouteSampleLink& out) {
        if (i >= links.size()) return false;
        out.shape = links[i].shape;
        out.roadClass = links[i].roadClass;
        out.linkKind = links[i].linkKind;
        return true;
    };
}

std::vector<MapPoint> Polyline(const std::vector<DrawnLink>& links) {
    std::vector<MapPoint> line;
    for (const auto& l : links)
        for (const auto& p : l.shape)
            if (line.empty() || !Same(line.back(), p)) line.push_back(p);
    return line;
}

TEST(RouteSampling, PointsOneStepApartFromTheVehicleToTheRouteEnd) {
    // East 1500 m with a bend, north 800 m, east 300 m; the vehicle stands a
    // little past the bend of the first link.
    const MapPoint a{kX0, kY0};
    const MapPoint bend = North(East(a, 600), 20);
    const MapPoint b = East(a, 1500);
    const MapPoint c = North(b, 800);
    const MapPoint d = East(c, 300);
    const std::vector<DrawnLink> links = {{{a, bend, b}}, {{b, c}}, {{}}, {{c, d}}};
    const MapPoint vehicle = East(bend, 30);
    for (uint32_t step : {100u, 200u, 1000u}) {
        SCOPED_TRACE(step);
        std::vector<MapPoint> points(500);
        std::vector<uint8_t> flags(500, 9);
        const int n = SampleRouteLinks(Reader(links), vehicle, step, 500, points.data(), flags.data());
        ASSERT_GE(n, 2);
        EXPECT_TRUE(Same(points[0], bend)) << "the walk starts at the vehicle link's nearest shape point";
        EXPECT_TRUE(Same(points[static_cast<size_t>(n - 1)], d)) << "and ends at the route's end";
        const auto at = RouteOffsets(Polyline(links), points.data(), n);
        const int64_t rest = at.back() - at.front();
        EXPECT_EQ(n, rest / step + (rest % step ? 2 : 1));
        for (int k = 0; k < n; ++k) {
            ASSERT_GE(at[static_cast<size_t>(k)], 0) << "sample " << k << " off the route";
            EXPECT_EQ(flags[static_cast<size_t>(k)], kSampleFlagOrdinary);
            if (k == 0) continue;
            const int64_t gap = at[static_cast<size_t>(k)] - at[static_cast<size_t>(k - 1)];
            EXPECT_GT(gap, 0);
            if (k < n - 1) {
                EXPECT_NEAR(gap, step, 3) << "sample " << k;
            } else {
                EXPECT_LE(gap, step + 3);
            }
        }
    }
}

TEST(RouteSampling, StopsAtThePointLimit) {
    // 600 km of straight road in 60 km links at 1000 m: 500 points, the
    // last about 499 km on.
    std::vector<DrawnLink> links;
    MapPoint p{kX0, kY0};
    for (int i = 0; i < 10; ++i) {
        const MapPoint q = East(p, 60000);
        links.push_back({{p, q}});
        p = q;
    }
    std::vector<MapPoint> points(500);
    std::vector<uint8_t> flags(500);
    ASSERT_EQ(SampleRouteLinks(Reader(links), {kX0, kY0}, 1000, 500, points.data(), flags.data()), 500);
    EXPECT_NEAR(GetApproxDistance(points[0], points[499]), 499000, 500);
    // A smaller limit is kept too; no room, no points.
    EXPECT_EQ(SampleRouteLinks(Reader(links), {kX0, kY0}, 1000, 7, points.data(), flags.data()), 7);
    EXPECT_EQ(SampleRouteLinks(Reader(links), {kX0, kY0}, 1000, 0, points.data(), flags.data()), 0);
    const std::vector<DrawnLink> none;
    EXPECT_EQ(SampleRouteLinks(Reader(none), {kX0, kY0}, 1000, 500, points.data(), flags.data()), 0);
}

TEST(RouteSampling, MotorwayStretchesHaveTheirOwnSpacingAndFlags) {
    // A street 500 m east, a motorway 1100 m east, a motorway ramp of four
    // shape points, a street 500 m north; step 1000 m.
    const MapPoint a{kX0, kY0};
    const MapPoint b = East(a, 500);
    const MapPoint c = East(b, 1100);
    const MapPoint r1 = North(East(c, 60), 10), r2 = North(East(c, 100), 40);
    const MapPoint e = North(East(c, 120), 90);
    const MapPoint f = North(e, 500);
    std::vector<DrawnLink> links = {{{a, b}}, {{b, c}, 0, 1}, {{c, r1, r2, e}, 0, 12}, {{e, f}}};
    std::vector<MapPoint> points(500);
    std::vector<uint8_t> flags(500);
    const int n = SampleRouteLinks(Reader(links), a, 1000, 500, points.data(), flags.data());
    // a; b and every 200 m of the motorway, then c; the ramp's points, the
    // last one ending the run; the street's end.
    const std::vector<uint8_t> want = {0, 1, 1, 1, 1, 1, 1, 1, 2, 2, 3, 0};
    ASSERT_EQ(n, static_cast<int>(want.size()));
    EXPECT_EQ(std::vector<uint8_t>(flags.begin(), flags.begin() + n), want);
    for (auto [k, p] : {std::pair{0, a}, {1, b}, {7, c}, {8, r1}, {9, r2}, {10, e}, {11, f}})
        EXPECT_TRUE(Same(points[static_cast<size_t>(k)], p)) << "sample " << k;
    const auto at = RouteOffsets(Polyline(links), points.data(), n);
    for (int k = 2; k <= 6; ++k) EXPECT_NEAR(at[static_cast<size_t>(k)] - at[static_cast<size_t>(k - 1)], 200, 3);

    // A run that reaches the route's end ends there.
    links.pop_back();
    ASSERT_EQ(SampleRouteLinks(Reader(links), a, 1000, 500, points.data(), flags.data()), 11);
    EXPECT_EQ(flags[10], kSampleFlagRunEnd);
    // A run from the route's start: its first point keeps the plain flag
    // (a run's end needs a point before it).
    const std::vector<DrawnLink> startOnMotorway = {{{a, East(a, 100)}, 0, 1}, {{East(a, 100), East(a, 3000)}}};
    const int m = SampleRouteLinks(Reader(startOnMotorway), a, 1000, 500, points.data(), flags.data());
    ASSERT_GE(m, 3);
    EXPECT_EQ(flags[0], kSampleFlagMotorway);
    EXPECT_EQ(flags[1], kSampleFlagRunEnd);
    for (int k = 2; k < m; ++k) EXPECT_EQ(flags[static_cast<size_t>(k)], kSampleFlagOrdinary);
    const std::vector<DrawnLink> oneShortMotorway = {{{a, East(a, 100)}, 0, 1}};
    ASSERT_EQ(SampleRouteLinks(Reader(oneShortMotorway), a, 1000, 500, points.data(), flags.data()), 2);
    EXPECT_EQ(flags[1], kSampleFlagRunEnd);
}

// ---- the guided route of the demo district ---------------------------------

class GuidedRouteSamplingTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new testsupport::TempDir();
        ASSERT_TRUE(writers::WriteDemoMap(dir->Path()));
        ASSERT_TRUE(writers::WriteDemoSearch(dir->Path()));
    }
    static void TearDownTestSuite() {
        delete dir;
        dir = nullptr;
    }
    void SetUp() override {
        ASSERT_NE(MgrConfigModuleRP::Instance(), nullptr);
        map = CMgrMap::Instance();
        guide = CMgrConfigModuleSVC::Instance();
        gps = CMgrConfigModuleGPS::Instance();
        ASSERT_TRUE(map && guide && gps);
        if (!map->IsOpen()) {
            ASSERT_EQ(map->Open(dir->Path()), 1);
        }
        links = writers::DemoRouteLinks();
        ASSERT_TRUE(writers::RouteShapes(dir->Path(), links, line, segments));
        SelectRoute(links);
    }
    void TearDown() override { guide->ClearGuideData(); }

    void SelectRoute(const std::vector<uint32_t>& ids) {
        GuideRoute route;
        ASSERT_TRUE(route.AllocateArrays(static_cast<int32_t>(ids.size())));
        for (size_t i = 0; i < ids.size(); ++i) route.LinkIds()[i] = static_cast<int32_t>(ids[i]);
        ASSERT_EQ(guide->SetSlotRoute(0, std::move(route), nullptr, 0), 1);
        ASSERT_EQ(guide->SelectSlot(0), 1);
    }
    void PlaceVehicle(int32_t linkIndex, const MapPoint& at) {
        {
            MgrLock hold(*guide->GetLock());
            guide->Tracking().linkIndex = linkIndex;
        }
        tagMAPMATCHINFO match;
        match.status = 1;
        match.x = at.x;
        match.y = at.y;
        match.linkId = static_cast<int32_t>(links[static_cast<size_t>(std::max(linkIndex, 0))]);
        gps->SetMatchInfo(match);
    }
    MapPoint ShapePoint(size_t link, int k) const {
        return line[static_cast<size_t>(segments[link][0] + k)];
    }

    static testsupport::TempDir* dir;
    CMgrMap* map = nullptr;
    CMgrConfigModuleSVC* guide = nullptr;
    CMgrConfigModuleGPS* gps = nullptr;
    std::vector<uint32_t> links;
    std::vector<MapPoint> line;  // the route's shape, a junction once per link
    std::vector<std::array<int32_t, 2>> segments;
};
testsupport::TempDir* GuidedRouteSamplingTest::dir = nullptr;

TEST_F(GuidedRouteSamplingTest, SamplesFromTheVehicleLinkToTheEnd) {
    // On the third link, a few metres from its middle shape point.
    const MapPoint middle = ShapePoint(2, 1);
    PlaceVehicle(2, {middle.x + 20, middle.y - 10});
    std::vector<MapPoint> points(500);
    std::vector<uint8_t> flags(500);
    const int n = SampleRoutePoints({}, 200, 500, points.data(), flags.data());
    ASSERT_GT(n, 2);
    EXPECT_TRUE(Same(points[0], middle));
    EXPECT_TRUE(Same(points[static_cast<size_t>(n - 1)], line.back()));
    std::vector<MapPoint> ahead(line.begin() + segments[2][0], line.end());
    ahead.erase(std::unique(ahead.begin(), ahead.end(), Same), ahead.end());
    const auto at = RouteOffsets(ahead, points.data(), n);
    for (int k = 1; k < n; ++k) {
        ASSERT_GE(at[static_cast<size_t>(k)], 0) << "sample " << k << " off the route";
        EXPECT_EQ(flags[static_cast<size_t>(k)], kSampleFlagOrdinary);
        if (k < n - 1) {
            EXPECT_NEAR(at[static_cast<size_t>(k)] - at[static_cast<size_t>(k - 1)], 200, 3);
        }
    }

    // Before guidance places the vehicle (no link index): from the start.
    PlaceVehicle(-1, line.front());
    ASSERT_GT(SampleRoutePoints({}, 200, 500, points.data(), flags.data()), n);
    EXPECT_TRUE(Same(points[0], line.front()));

    // No route, or no map: no points.
    guide->ClearGuideData();
    EXPECT_EQ(SampleRoutePoints({}, 200, 500, points.data(), flags.data()), 0);
    CMgrMap closed;
    SelectRoute(links);
    EXPECT_EQ(SampleRoutePoints({guide, &closed, gps}, 200, 500, points.data(), flags.data()), 0);
}

TEST_F(GuidedRouteSamplingTest, MotorwayPartOfARouteIsFlagged) {
    // From the expressway's western link over the ramp into the grid.
    std::vector<uint32_t> ids = {41, 43, 1};
    SelectRoute(ids);
    links = ids;
    PlaceVehicle(0, writers::DemoLinks()[40].shape.front());
    std::vector<MapPoint> points(500);
    std::vector<uint8_t> flags(500);
    const int n = SampleRoutePoints({}, 1000, 500, points.data(), flags.data());
    const MapPoint motorwayEnd = writers::DemoLinks()[40].shape.back();
    int runEnd = -1;
    for (int k = 0; k < n; ++k)
        if (Same(points[static_cast<size_t>(k)], motorwayEnd)) runEnd = k;
    ASSERT_GT(runEnd, 3);
    for (int k = 0; k < runEnd; ++k) EXPECT_EQ(flags[static_cast<size_t>(k)], kSampleFlagMotorway) << k;
    EXPECT_EQ(flags[static_cast<size_t>(runEnd)], kSampleFlagRunEnd);
    for (int k = runEnd + 1; k < n; ++k) EXPECT_EQ(flags[static_cast<size_t>(k)], kSampleFlagOrdinary) << k;
}

// The along-route rule for one place: found or not, and the side (0, 90,
// 270) at the nearest sample point whose box holds it.
struct AlongRoute {
    bool found = false;
    int side = 0;
};

AlongRoute OracleRouteTest(CMgrMap& map, const MapPoint& place, const std::vector<MapPoint>& p,
                           const std::vector<uint8_t>& f, uint32_t radius) {
    AlongRoute out;
    const int64_t limit = radius == 0 ? 110 : static_cast<int64_t>(1.1 * radius);
    int64_t best = 1000000, bestOffset = 1000000;
    for (size_t k = 0; k + 1 < p.size(); ++k) {
        const double boxM = f[k] == 0 ? static_cast<double>(limit) : 330.0;
        if (std::abs(double(place.x) - p[k].x) > boxM / 0.169 || std::abs(double(place.y) - p[k].y) > boxM / 0.212)
            continue;
        const int64_t d = GetApproxDistance(p[k], place);
        if (d >= best) continue;
        best = d;
        const int32_t a = static_cast<int32_t>((place.x - p[k].x) * 0.169);
        const int32_t b = static_cast<int32_t>((place.y - p[k].y) * 0.212);
        const MapPoint& from = f[k] == 3 ? p[k - 1] : p[k];
        const MapPoint& to = f[k] == 3 ? p[k] : p[k + 1];
        const int32_t u = static_cast<int32_t>((to.x - from.x) * 0.169);
        const int32_t v = static_cast<int32_t>((to.y - from.y) * 0.212);
        const int32_t w = v * a - u * b;
        out.side = w > 0 ? 90 : w < 0 ? 270 : 0;
        if (f[k] != 0 && w < 0) continue;
        const float r = std::sqrt(static_cast<float>(a) * a + static_cast<float>(b) * b);
        const int64_t offset = (a == 0 && b == 0) ? 0 : std::llabs(static_cast<int64_t>(w / r));
        if (offset > limit || offset >= bestOffset) continue;
        bestOffset = offset;
        if (f[k] == 0) {
            out.found = true;
        } else {
            MneLinkFoot foot;
            MneLinkGuideRecord record{};
            if (map.FindNearestLink(place, 500, &foot, 0) && map.GetLinkRecord(foot.linkId, &record) &&
                record.roadClass == 0)
                out.found = true;
        }
    }
    return out;
}

TEST_F(GuidedRouteSamplingTest, AlongTheRouteSearchMatchesTheOracle) {
    const writers::SearchDbSource source = writers::DemoSearchSource();
    CMgrConfigModuleSCH settings;
    CModuleSCH module(&settings);
    ASSERT_TRUE(searchtest::StartModule(module, dir->Path()));
    auto search = [&](const SearchRequest& q, int* status) {
        const int count = searchtest::RunSearch(module, q);
        *status = module.GetSearchStatus();
        return searchtest::FetchRows(module, kSearchKindPathCate, count);
    };

    const MapPoint start = line.front();
    PlaceVehicle(0, start);
    int total = 0;
    for (uint32_t radius : {0u, 200u, 1000u}) {
        const uint32_t step = radius == 0 ? 100 : radius >= 200 && radius <= 999 ? 200 : 1000;
        std::vector<MapPoint> points(kPathPointsMax);
        std::vector<uint8_t> flags(kPathPointsMax);
        const int n = SampleRoutePoints({}, step, kPathPointsMax, points.data(), flags.data());
        ASSERT_GT(n, 1);
        points.resize(static_cast<size_t>(n));
        flags.resize(static_cast<size_t>(n));
        for (uint16_t category = 1; category <= 15; ++category) {
            SCOPED_TRACE(testing::Message() << "radius " << radius << " category " << category);
            using Row = std::tuple<uint32_t, uint8_t, uint32_t>;  // POI id, direction class, distance
            std::vector<Row> want;
            for (const auto& poi : source.pois) {
                const auto path = writers::CategoryPath(poi.catePacked);
                if (std::find(path.begin(), path.end(), category) == path.end()) continue;
                const AlongRoute hit = OracleRouteTest(*map, poi.pos, points, flags, radius);
                if (!hit.found) continue;
                const uint8_t direction = hit.side == 90 ? 2 : hit.side == 270 ? 6 : 0;
                want.emplace_back(poi.poiId, direction, GetApproxDistance(start, poi.pos));
            }
            SearchRequest q;
            q.SearchKindID = kSearchKindPathCate;
            q.nSubCode = category;
            q.nRadius = radius;
            q.ptCenter = {static_cast<uint32_t>(start.x), static_cast<uint32_t>(start.y)};
            q.eOrderBy = 1;
            int status = 99;
            const auto rows = search(q, &status);
            EXPECT_EQ(status, kSchStatusComplete);
            std::vector<Row> got;
            for (size_t i = 0; i < rows.size(); ++i) {
                got.emplace_back(rows[i].nPOIID, rows[i].bKind, rows[i].nDistance);
                if (i > 0) {
                    EXPECT_LE(rows[i - 1].nDistance, rows[i].nDistance) << "nearest first";
                }
            }
            std::sort(want.begin(), want.end());
            std::sort(got.begin(), got.end());
            EXPECT_EQ(got, want);
            total += static_cast<int>(want.size());
        }
    }
    EXPECT_GT(total, 10) << "the route passes places of the district";

    // Without a route: nothing found, and no failure.
    guide->ClearGuideData();
    SearchRequest q;
    q.SearchKindID = kSearchKindPathCate;
    q.nSubCode = 1;
    int status = 99;
    EXPECT_TRUE(search(q, &status).empty());
    EXPECT_EQ(status, kSchStatusComplete);
    EXPECT_EQ(module.Stop(), 1);
}

}  // namespace
