// Band outlines as coordinate tables: a straight line, a right angle, a
// U-turn and a zero-length part, the per-slot rules and the route split at
// the vehicle.
#include "render/band_outline.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string Describe(const ScreenPoint* p, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += "(" + std::to_string(p[i].x) + "," + std::to_string(p[i].y) + ")";
    return s;
}

std::string OutlineOfPart(const BandOutlines& o, int k) {
    const BandPart& part = o.parts[k];
    return Describe(o.points + part.firstIndex, 2 * part.count + 1);
}

TEST(BandOutlineTest, PartOutlineTable) {
    struct Case {
        const char* name;
        std::vector<ScreenPoint> points;
        double halfWidth;
        int count;
        const char* outline;
    };
    const Case cases[] = {
        // Left to right along a row: the left edge is above it.
        {"straight", {{10, 50}, {110, 50}}, 5.0, 2, "(10,45)(110,45)(110,55)(10,55)(10,45)"},
        // Right, then up: the inner (left) corner at the crossing of the
        // shifted edges, the outer (right) mitre at (110, 110).
        {"right angle", {{0, 100}, {100, 100}, {100, 0}}, 10.0, 3,
         "(0,90)(90,90)(90,0)(110,0)(110,110)(0,110)(0,90)"},
        // Straight through a middle point: no kink.
        {"collinear", {{0, 0}, {50, 0}, {100, 0}}, 4.0, 3, "(0,-4)(50,-4)(100,-4)(100,4)(50,4)(0,4)(0,-4)"},
        // A U-turn has no crossing: the vertex shifted by the way back.
        {"U-turn", {{10, 50}, {110, 50}, {10, 50}}, 5.0, 3,
         "(10,45)(110,55)(10,55)(10,45)(110,45)(10,55)(10,45)"},
        // A part whose points are all equal keeps one point, no outline.
        {"zero length", {{5, 5}, {5, 5}, {5, 5}}, 5.0, 1, "(5,5)(5,5)(5,5)"},
    };
    CMneBandOutlines outlines;
    uint32_t stamp = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const BandPartRange part{0, static_cast<int32_t>(c.points.size()) - 1};
        ASSERT_EQ(outlines.BuildBandOutlines(c.points.data(), static_cast<int32_t>(c.points.size()), &part, 1,
                                             c.halfWidth, 0, stamp++),
                  1);
        BandOutlines o;
        ASSERT_EQ(outlines.GetBandOutlines(0, o), 1);
        ASSERT_EQ(o.partCount, 1);
        EXPECT_EQ(o.parts[0].count, c.count);
        EXPECT_EQ(OutlineOfPart(o, 0), c.outline);
    }
}

TEST(BandOutlineTest, JoinAngleAndMitrePoint) {
    EXPECT_EQ(JoinAngle({0, 100}, {100, 100}, {100, 0}), 90);
    EXPECT_EQ(JoinAngle({0, 0}, {50, 0}, {100, 0}), 180);
    EXPECT_EQ(JoinAngle({10, 50}, {110, 50}, {10, 50}), 0);
    EXPECT_EQ(JoinAngle({0, 0}, {100, 0}, {0, 100}), 45);
    EXPECT_EQ(JoinAngle({0, 0}, {0, 0}, {5, 5}), 0);
    // 45-degree bend: right, then back up-left. Outer mitre of width 10 at
    // the crossing of y = 110 with the line 10 px right of the second leg.
    ScreenPoint out;
    MitrePoint({0, 100}, {100, 100}, {0, 0}, SegmentOffset({0, 100}, {100, 100}, 10.0),
               SegmentOffset({100, 100}, {0, 0}, 10.0), out);
    EXPECT_EQ(out.x, 124);  // 100 + 10 x (1 + sqrt 2), truncated
    EXPECT_EQ(out.y, 110);
}

TEST(BandOutlineTest, PartsFollowEachOtherAndRequestsRepeatForFree) {
    const std::vector<ScreenPoint> pts{{0, 0}, {100, 0}, {100, 0}, {100, 100}, {7, 7}, {200, 100}, {300, 100}};
    const BandPartRange parts[] = {{0, 3}, {4, 4}, {5, 6}};
    CMneBandOutlines outlines;
    ASSERT_EQ(outlines.BuildBandOutlines(pts.data(), 7, parts, 3, 3.0, 2, 10), 1);
    BandOutlines o;
    ASSERT_EQ(outlines.GetBandOutlines(2, o), 1);
    ASSERT_EQ(o.partCount, 3);
    // Duplicate (100, 0) dropped: 3 points, 7 outline points; then the
    // single-point part (3 points), then the last part.
    EXPECT_EQ(o.parts[0].firstIndex, 0);
    EXPECT_EQ(o.parts[0].count, 3);
    EXPECT_EQ(o.parts[1].firstIndex, 7);
    EXPECT_EQ(o.parts[1].count, 1);
    EXPECT_EQ(o.parts[2].firstIndex, 10);
    EXPECT_EQ(OutlineOfPart(o, 2), "(200,97)(300,97)(300,103)(200,103)(200,97)");
    // Same frame and width: nothing is rebuilt, even for other points.
    const std::vector<ScreenPoint> other(7, ScreenPoint{1, 1});
    ASSERT_EQ(outlines.BuildBandOutlines(other.data(), 7, parts, 3, 3.0, 2, 10), 1);
    ASSERT_EQ(outlines.GetBandOutlines(2, o), 1);
    EXPECT_EQ(OutlineOfPart(o, 2), "(200,97)(300,97)(300,103)(200,103)(200,97)");
    // Slots are 0 to 4.
    EXPECT_EQ(outlines.BuildBandOutlines(pts.data(), 7, parts, 3, 3.0, 5, 10), 0);
    EXPECT_EQ(outlines.GetBandOutlines(5, o), 0);
}

TEST(BandOutlineTest, RouteSplitsAtTheVehicle) {
    // Part 0 runs right along y = 100, part 1 goes down from its end.
    const std::vector<ScreenPoint> pts{{20, 100}, {100, 100}, {200, 100}, {200, 100}, {200, 300}};
    const BandPartRange parts[] = {{0, 2}, {3, 4}};
    CMneBandOutlines outlines;
    ASSERT_EQ(outlines.BuildBandOutlines(pts.data(), 5, parts, 2, 4.0, 0, 1), 1);
    RouteBandInput route;
    route.points = pts.data();
    route.pointCount = 5;
    route.parts = parts;
    route.partCount = 2;
    route.currentPart = 0;
    route.lastPassedPoint = 0;
    route.position = ScreenPoint{60, 100};

    BandOutlines ahead;
    ASSERT_EQ(outlines.BuildRouteOutlineAhead(route, 4.0, 0, 1, ahead), 1);
    ASSERT_EQ(ahead.partCount, 2);
    EXPECT_EQ(OutlineOfPart(ahead, 0), "(60,96)(100,96)(200,96)(200,104)(100,104)(60,104)(60,96)");
    BandOutlines all;
    ASSERT_EQ(outlines.GetBandOutlines(0, all), 1);
    EXPECT_EQ(OutlineOfPart(ahead, 1), OutlineOfPart(all, 1));

    BandOutlines driven;
    ASSERT_EQ(outlines.BuildRouteOutlineAheadFlat(route, 4.0, 0, 1, driven), 1);
    ASSERT_EQ(driven.partCount, 1);
    EXPECT_EQ(OutlineOfPart(driven, 0), "(20,96)(60,96)(60,104)(20,104)(20,96)");

    // Before the vehicle reaches the route, and without a position, the
    // outlines held are given unchanged.
    RouteBandInput early = route;
    early.lastPassedPoint = -1;
    BandOutlines held;
    ASSERT_EQ(outlines.BuildRouteOutlineAhead(early, 4.0, 0, 2, held), 1);
    EXPECT_EQ(OutlineOfPart(held, 0), OutlineOfPart(ahead, 0));
    RouteBandInput lost = route;
    lost.position = ScreenPoint{0, 100};
    lost.lastPassedPoint = 1;
    ASSERT_EQ(outlines.BuildRouteOutlineAhead(lost, 4.0, 0, 3, held), 1);
    EXPECT_EQ(OutlineOfPart(held, 0), OutlineOfPart(ahead, 0));

    // On the second part, halfway down.
    RouteBandInput later = route;
    later.currentPart = 1;
    later.lastPassedPoint = 3;
    later.position = ScreenPoint{200, 200};
    ASSERT_EQ(outlines.BuildRouteOutlineAhead(later, 4.0, 0, 4, ahead), 1);
    ASSERT_EQ(ahead.partCount, 1);
    EXPECT_EQ(OutlineOfPart(ahead, 0), "(204,200)(204,300)(196,300)(196,200)(204,200)");
    ASSERT_EQ(outlines.BuildRouteOutlineAheadFlat(later, 4.0, 0, 4, driven), 1);
    ASSERT_EQ(driven.partCount, 2);
    EXPECT_EQ(OutlineOfPart(driven, 0), OutlineOfPart(all, 0));

    outlines.ReleaseRouteOutlines(0);
    EXPECT_EQ(outlines.GetBandOutlines(0, all), 0);
}

}  // namespace
