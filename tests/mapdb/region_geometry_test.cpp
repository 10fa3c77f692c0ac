// Polygon regions and the segment and quad helpers.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "mapdb/geometry.h"
#include "mapdb/region.h"

namespace {

TEST(Region, SquareFromFourOrFivePointsIsOneRectangle) {
    const MapPoint four[] = {{10, 20}, {30, 20}, {30, 50}, {10, 50}};
    const MapPoint five[] = {{10, 20}, {10, 50}, {30, 50}, {30, 20}, {10, 20}};
    CMneRegion a, b;
    ASSERT_EQ(a.Build(four, 4, kMneFillEvenOdd), 1);
    ASSERT_EQ(b.Build(five, 5, kMneFillWinding), 1);
    ASSERT_EQ(a.Rects().size(), 1u);
    EXPECT_EQ(a.Rects(), b.Rects());
    EXPECT_EQ(a.Rects()[0], (MneRect{10, 20, 30, 50}));
    struct Case {
        int32_t x, y;
        int inside;
    } cases[] = {{10, 20, 1}, {29, 49, 1}, {30, 30, 0}, {20, 50, 0}, {9, 30, 0}, {20, 19, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
        EXPECT_EQ(a.Contains(c.x, c.y), c.inside);
    }
    // Kept to some lines, the rectangle is cut to them.
    ASSERT_EQ(b.BuildRows(five, 5, kMneFillEvenOdd, 30, 40), 1);
    EXPECT_EQ(b.Rects(), (std::vector<MneRect>{{10, 30, 30, 40}}));
    ASSERT_EQ(b.BuildRows(five, 5, kMneFillEvenOdd, 50, 60), 1);
    EXPECT_TRUE(b.Rects().empty());
    const MapPoint flat[] = {{10, 20}, {30, 20}, {30, 20}, {10, 20}};
    ASSERT_EQ(a.Build(flat, 4, kMneFillEvenOdd), 1);
    EXPECT_TRUE(a.Rects().empty());
    EXPECT_EQ(a.Contains(10, 20), 0);
}

// A five-pointed star drawn in one stroke: its centre pentagon is wound
// twice, so even-odd leaves it out and winding fills it.
TEST(Region, StarEvenOddVersusWinding) {
    const MapPoint star[] = {{100, 0}, {159, 181}, {4, 69}, {196, 69}, {41, 181}};
    CMneRegion evenOdd, winding;
    ASSERT_EQ(evenOdd.Build(star, 5, kMneFillEvenOdd), 1);
    ASSERT_EQ(winding.Build(star, 5, kMneFillWinding), 1);
    struct Case {
        const char* where;
        int32_t x, y;
        int evenOdd, winding;
    } cases[] = {
        {"centre", 100, 100, 0, 1},   {"near centre", 90, 110, 0, 1}, {"top tip", 100, 30, 1, 1},
        {"left tip", 30, 75, 1, 1},   {"right tip", 170, 75, 1, 1},   {"outside", 0, 0, 0, 0},
        {"below", 100, 190, 0, 0},    {"between lower tips", 100, 175, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.where);
        EXPECT_EQ(evenOdd.Contains(c.x, c.y), c.evenOdd);
        EXPECT_EQ(winding.Contains(c.x, c.y), c.winding);
    }
    EXPECT_LE(evenOdd.Extents().top, 1);  // the tip itself is a span of width 0
    EXPECT_LE(evenOdd.Extents().bottom, 181);
    // Bands are sorted by top then left.
    const auto& rects = winding.Rects();
    for (size_t i = 1; i < rects.size(); ++i)
        EXPECT_TRUE(rects[i - 1].top < rects[i].top ||
                    (rects[i - 1].top == rects[i].top && rects[i - 1].left < rects[i].left));
}

TEST(Region, TriangleAndRefusals) {
    const MapPoint tri[] = {{0, 0}, {100, 100}, {0, 100}};
    CMneRegion r;
    ASSERT_EQ(r.Build(tri, 3, kMneFillEvenOdd), 1);
    EXPECT_EQ(r.Contains(10, 90), 1);
    EXPECT_EQ(r.Contains(90, 10), 0);
    EXPECT_EQ(r.Build(tri, 3, 3), 0);
    EXPECT_FALSE(r.HasRegion());
    EXPECT_EQ(r.Contains(10, 90), 0);
    const MapPoint tall[] = {{0, 0}, {10, 0}, {5, 1 << 26}};
    EXPECT_EQ(r.Build(tall, 3, kMneFillEvenOdd), 0);
    // One line of it is built: on line 1000 the edges cross at 5000/2^26 and
    // 10 - 5000/2^26, rounded up to 1 and 10.
    ASSERT_EQ(r.BuildRows(tall, 3, kMneFillEvenOdd, 1000, 1001), 1);
    EXPECT_EQ(r.Rects(), (std::vector<MneRect>{{1, 1000, 10, 1001}}));
}

// Random outlines (edges starting and ending on many different lines, so
// that edges join and leave the scan at every step) against a pixel-by-pixel
// count: on line y, pixel x is inside when the edges crossing the line at or
// left of x (each crossing rounded up) are odd in number (even-odd), or
// their directions do not cancel (winding). A region built on some lines
// only holds the same pixels on those lines and none elsewhere.
TEST(Region, RandomOutlinesMatchAPixelByPixelCount) {
    std::mt19937 random(11);
    for (int round = 0; round < 150; ++round) {
        std::vector<MapPoint> points(3 + random() % 9);
        for (MapPoint& p : points) p = {static_cast<int32_t>(random() % 31), static_cast<int32_t>(random() % 31)};
        for (const int fill : {kMneFillEvenOdd, kMneFillWinding}) {
            SCOPED_TRACE("round " + std::to_string(round) + (fill == kMneFillEvenOdd ? " even-odd" : " winding"));
            CMneRegion region, band;
            ASSERT_EQ(region.Build(points.data(), static_cast<int>(points.size()), fill), 1);
            const int32_t top = static_cast<int32_t>(random() % 34) - 2;
            const int32_t bottom = top + static_cast<int32_t>(random() % 12);
            ASSERT_EQ(band.BuildRows(points.data(), static_cast<int>(points.size()), fill, top, bottom), 1);
            for (int32_t y = -1; y <= 31; ++y) {
                CMneRegion line;
                ASSERT_EQ(line.BuildRows(points.data(), static_cast<int>(points.size()), fill, y, y + 1), 1);
                for (int32_t x = -1; x <= 31; ++x) {
                    int crossings = 0;
                    int winding = 0;
                    for (size_t i = 0; i < points.size(); ++i) {
                        MapPoint a = points[i];
                        MapPoint b = points[(i + 1) % points.size()];
                        if (a.y == b.y) continue;
                        const int direction = a.y < b.y ? 1 : -1;
                        if (a.y > b.y) std::swap(a, b);
                        if (y < a.y || y >= b.y) continue;
                        const double at = std::ceil(a.x + static_cast<double>(y - a.y) * (b.x - a.x) / (b.y - a.y));
                        if (at <= x) {
                            ++crossings;
                            winding += direction;
                        }
                    }
                    const int inside = fill == kMneFillEvenOdd ? crossings % 2 : winding != 0;
                    ASSERT_EQ(region.Contains(x, y), inside) << "x " << x << " y " << y;
                    ASSERT_EQ(line.Contains(x, y), inside) << "line only, x " << x << " y " << y;
                    ASSERT_EQ(band.Contains(x, y), y >= top && y < bottom && inside)
                        << "lines " << top << " to " << bottom << ", x " << x << " y " << y;
                }
            }
        }
    }
}

TEST(Geometry, PointToSegment) {
    const MapPoint a{0, 0}, b{1000, 0};
    struct Case {
        MapPoint p;
        MapPoint foot;
        float t;
    } cases[] = {
        {{500, 300}, {500, 0}, 0.5f},  {{1000, 50}, {1000, 0}, 1.0f},  // perpendicular through B
        {{1500, 50}, {1000, 0}, 2.0f}, {{0, 70}, {0, 0}, 0.0f},        {{-5, 70}, {0, 0}, -1.0f},
        {{333, -9}, {333, 0}, 0.333f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.p.x << "," << c.p.y);
        MapPoint foot;
        float t = 0;
        CalcPointToSegmentDist(c.p, a, b, &foot, &t);
        EXPECT_EQ(foot, c.foot);
        EXPECT_NEAR(t, c.t, 1e-6);
    }
    MapPoint foot;
    float t = 9;
    CalcPointToSegmentDist({5, 5}, {7, 7}, {7, 7}, &foot, &t);  // degenerate segment
    EXPECT_EQ(foot, (MapPoint{7, 7}));
    EXPECT_EQ(t, 0.0f);
    // Near 37.5N one map unit of latitude is about 0.21 m: 1000 units ~ 211 m.
    const MapPoint seoul{127 * 524288, static_cast<int32_t>(37.5 * 524288)};
    const int d = CalcPointToSegmentDist({seoul.x, seoul.y + 1000}, seoul, {seoul.x + 5000, seoul.y}, nullptr, nullptr);
    EXPECT_NEAR(d, 211, 3);
}

TEST(Geometry, BoundBoxAroundPoint) {
    const MapPoint p{127 * 524288, static_cast<int32_t>(37.5 * 524288)};
    MapPoint mn, mx;
    CalcBoundBoxAroundPoint(p, 100, &mn, &mx);
    EXPECT_EQ(p.x - mn.x, mx.x - p.x);
    EXPECT_NEAR(mx.y - p.y, 100 / 0.2107, 10);  // about 475 units
    EXPECT_GT(mx.x - p.x, mx.y - p.y);          // a degree of longitude is shorter
}

TEST(Geometry, SegmentIntersectionTable) {
    struct Case {
        const char* what;
        MapPoint a, b, c, d;
        int result;
    } cases[] = {
        {"proper X", {0, 0}, {10, 10}, {0, 10}, {10, 0}, 1},
        {"X given right to left", {10, 10}, {0, 0}, {10, 0}, {0, 10}, 1},
        {"shared end point", {0, 0}, {10, 10}, {10, 10}, {20, 0}, 0},
        {"T: end on the other", {0, 0}, {10, 0}, {5, 0}, {5, 8}, 0},
        {"collinear overlapping", {0, 0}, {10, 0}, {5, 0}, {15, 0}, 0},
        {"collinear apart", {0, 0}, {4, 0}, {5, 0}, {15, 0}, -1},
        {"parallel", {0, 0}, {10, 0}, {0, 1}, {10, 1}, -1},
        {"apart", {0, 0}, {1, 1}, {5, 0}, {6, -3}, -1},
        {"end short of the other", {0, 0}, {4, 4}, {0, 10}, {10, 0}, -1},
        {"vertical, in line with the other's end", {0, 0}, {0, 20}, {0, 50}, {50, 0}, -1},
        {"vertical collinear apart", {0, 0}, {0, 20}, {0, 30}, {0, 40}, -1},
        {"vertical collinear overlapping", {0, 0}, {0, 20}, {0, 10}, {0, 40}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(SegmentsIntersect(c.a, c.b, c.c, c.d), c.result);
        EXPECT_EQ(SegmentsIntersect(c.c, c.d, c.a, c.b), c.result);
    }
    EXPECT_EQ(Orientation({0, 0}, {10, 0}, {5, 5}), 1);
    EXPECT_EQ(Orientation({0, 0}, {10, 0}, {5, -5}), -1);
    EXPECT_EQ(Orientation({0, 0}, {10, 0}, {20, 0}), 0);
}

TEST(Geometry, PointInQuadTable) {
    const MapPoint diamond[] = {{50, 0}, {100, 50}, {50, 100}, {0, 50}};
    struct Case {
        MapPoint p;
        int inside;
    } cases[] = {{{50, 50}, 1}, {{50, 1}, 1}, {{99, 50}, 1}, {{10, 10}, 0}, {{101, 50}, 0},
                 {{50, 0}, 0},  // level with the top vertex: the ray turns there
                 {{75, 50}, 1}};  // the ray passes the left vertex once
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.p.x << "," << c.p.y);
        EXPECT_EQ(PointInQuad(diamond, 4, c.p), c.inside);
    }
}

TEST(Geometry, QuadClippingTable) {
    const MapPoint square[] = {{0, 0}, {100, 0}, {100, 100}, {0, 100}};
    const MapPoint diamond[] = {{50, 0}, {100, 50}, {50, 100}, {0, 50}};
    struct Case {
        const char* what;
        const MapPoint* quad;
        MapPoint bmin, bmax;
        int meets;
        MapPoint omin, omax;
    } cases[] = {
        {"box inside square", square, {10, 10}, {20, 20}, 1, {10, 10}, {20, 20}},
        {"box over square's corner", square, {80, 80}, {150, 150}, 1, {80, 80}, {100, 100}},
        {"box holds the square", square, {-10, -10}, {110, 110}, 1, {0, 0}, {100, 100}},
        {"box beside square", square, {200, 200}, {300, 300}, 0, {}, {}},
        {"box across diamond's right tip", diamond, {80, 40}, {120, 60}, 1, {80, 40}, {100, 60}},
        {"box in diamond's empty corner", diamond, {0, 0}, {20, 20}, 0, {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MapPoint mn{-1, -1}, mx{-1, -1};
        EXPECT_EQ(CMneQuad::ClipBox(c.quad, c.bmin, c.bmax, &mn, &mx), c.meets);
        if (c.meets) {
            EXPECT_EQ(mn, c.omin);
            EXPECT_EQ(mx, c.omax);
        }
    }
    EXPECT_EQ(SegmentMeetsBox({0, 0}, {100, 100}, {50, 50}, {200, 200}), 1);
    EXPECT_EQ(SegmentMeetsBox({0, 0}, {100, 100}, {150, 150}, {200, 200}), 0);
}

TEST(Geometry, RectOverlap) {
    struct Case {
        int32_t x, y, w, h;
        int overlap;
    } cases[] = {{10, 10, 5, 5, 1}, {-5, 0, 5, 5, 1},  // touches the left edge
                 {-6, 0, 5, 5, 0},  {100, 50, 3, 3, 1}, {101, 50, 3, 3, 0}, {0, 101, 3, 3, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
        EXPECT_EQ(IsRectOverlap(c.x, c.y, c.w, c.h, 0, 0, 100, 100), c.overlap);
    }
}

}  // namespace
