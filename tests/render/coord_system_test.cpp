// The view's coordinate system: map points to pixels and back, the three
// input encodings, the perspective term and the clipping of polylines and
// polygons to the view widened by 10 pixels.
#include "render/coord_system.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <thread>
#include <vector>

namespace {

// Seoul, inside the accepted centre window.
constexpr MapPoint kCentre{static_cast<int32_t>(126.978 * kMapUnitsPerDegree),
                           static_cast<int32_t>(37.566 * kMapUnitsPerDegree)};
constexpr ScreenRect kView{0, 0, 800, 480};
constexpr ScreenPoint kOrigin{400, 240};

void SetFlatView(CMneCoordSystem& cs, int angleDeg, int scale = 10000, MapPoint centre = kCentre) {
    cs.SetPixelsPerMetre(5500, 5500);
    cs.SetView(kOrigin, centre, kView, angleDeg, scale, 0);
}

std::vector<ScreenPoint> Points(std::initializer_list<ScreenPoint> list) { return std::vector<ScreenPoint>(list); }

std::string Describe(const std::vector<ScreenPoint>& pts) {
    std::string s;
    for (const ScreenPoint& p : pts) s += "(" + std::to_string(p.x) + "," + std::to_string(p.y) + ")";
    return s;
}

TEST(CoordSystemTest, HundredMetresNorthIsFiftyFivePixelsUp) {
    CMneCoordSystem cs;
    SetFlatView(cs, 0);
    // 100 m at 1:10000 is 1 cm of screen; at 5500 pixels per metre, 55 px.
    const double unitsPer100m = 100.0 / GetLatMeterPerUnit(kCentre.y, kCentre.y);
    ScreenPoint p;
    ASSERT_EQ(cs.MapToScreen(MapPoint{kCentre.x, kCentre.y + static_cast<int32_t>(std::lround(unitsPer100m))}, p, 0, 0), 1);
    EXPECT_EQ(p.x, kOrigin.x);
    EXPECT_EQ(p.y, kOrigin.y - 55);
    // 100 m east at heading 90 (east at the top) is also 55 px up.
    SetFlatView(cs, 90);
    const double unitsEast = 100.0 / GetLonMeterPerUnit(kCentre.y, kCentre.y);
    ASSERT_EQ(cs.MapToScreen(MapPoint{kCentre.x + static_cast<int32_t>(std::lround(unitsEast)), kCentre.y}, p, 0, 0), 1);
    EXPECT_EQ(p.x, kOrigin.x);
    EXPECT_EQ(p.y, kOrigin.y - 55);
}

TEST(CoordSystemTest, NegativeAngleIsUsedAsItsTurn) {
    CMneCoordSystem a, b;
    SetFlatView(a, -90);
    SetFlatView(b, 270);
    EXPECT_EQ(a.GetAngle(), -90);
    const MapPoint q{kCentre.x + 3000, kCentre.y - 1234};
    ScreenPoint pa, pb;
    a.MapToScreen(q, pa, 0, 0);
    b.MapToScreen(q, pb, 0, 0);
    EXPECT_TRUE(SamePoint(pa, pb)) << Describe({pa, pb});
}

TEST(CoordSystemTest, CentreOutsideTheWindowDrawsTheFixedCentre) {
    struct Case {
        MapPoint centre;
        bool accepted;
    };
    const Case cases[] = {
        {{0, 0}, false},
        {{CMneCoordSystem::kCentreMinX, CMneCoordSystem::kCentreMinY}, true},
        {{CMneCoordSystem::kCentreMaxX, CMneCoordSystem::kCentreMaxY}, true},
        {{CMneCoordSystem::kCentreMinX - 1, kCentre.y}, false},
        {{kCentre.x, CMneCoordSystem::kCentreMaxY + 1}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.centre.x) + "," + std::to_string(c.centre.y));
        CMneCoordSystem cs;
        SetFlatView(cs, 0, 10000, c.centre);
        const MapPoint drawn = c.accepted ? c.centre
                                          : MapPoint{CMneCoordSystem::kFallbackCentreX, CMneCoordSystem::kFallbackCentreY};
        ScreenPoint p;
        cs.MapToScreen(drawn, p, 0, 0);
        EXPECT_TRUE(SamePoint(p, kOrigin)) << Describe({p});
    }
}

// Property: every pixel of the view maps to a map point that maps back onto
// the same pixel (within 1), for rotations and scales.
TEST(CoordSystemTest, FlatRoundTripWithinOnePixel) {
    const int angles[] = {0, 1, 37, 90, 145, 181, 270, 359, -45};
    const int scales[] = {500, 10000, 250000};
    CMneCoordSystem cs;
    for (int angle : angles) {
        for (int scale : scales) {
            SCOPED_TRACE("angle " + std::to_string(angle) + " scale " + std::to_string(scale));
            SetFlatView(cs, angle, scale);
            int worst = 0;
            for (int32_t y = 0; y <= 480; y += 16) {
                for (int32_t x = 0; x <= 800; x += 16) {
                    MapPoint m;
                    ASSERT_EQ(cs.ScreenToMap(ScreenPoint{x, y}, m, 0), 1);
                    ScreenPoint back;
                    cs.MapToScreen(m, back, 0, 0);
                    worst = std::max({worst, std::abs(back.x - x), std::abs(back.y - y)});
                }
            }
            EXPECT_LE(worst, 1);
        }
    }
}

TEST(CoordSystemTest, LocalAndPackedPointsLandWhereTheirMapPointsDo) {
    CMneCoordSystem cs;
    SetFlatView(cs, 33);
    ASSERT_EQ(cs.SetLevel(2), 1);
    int column = 0, row = 0;
    TileLocalPoint local;
    ASSERT_EQ(cs.MapToTileLocal(kCentre, column, row, local), 1);
    ASSERT_EQ(cs.SetTile(column, row), 1);
    // Tile-local points against their absolute map points.
    const TileLocalPoint locals[] = {{0, 0}, {2047, 2047}, {local.y, local.x}, {100, 1900}, {-5, 30}};
    for (const TileLocalPoint& l : locals) {
        ScreenPoint viaLocal, viaMap;
        cs.LocalToScreen(l, viaLocal, 0, 0);
        cs.MapToScreen(cs.LocalPointToMap(l), viaMap, 0, 0);
        EXPECT_LE(std::abs(viaLocal.x - viaMap.x), 1);
        EXPECT_LE(std::abs(viaLocal.y - viaMap.y), 1);
        ScreenPoint viaXY;
        cs.LocalXYToScreen(l.x, l.y, viaXY, 0, 0);
        EXPECT_TRUE(SamePoint(viaXY, viaLocal));
    }
    // Packed bytes (y, x): packing 2 doubles them and adds the base, x from
    // its high half, y from its low half.
    const uint8_t packed[] = {10, 20, 255, 0};
    const uint32_t base = (1000u << 16) | 300u;
    std::vector<ScreenPoint> out;
    ASSERT_EQ(cs.PackedPointsToScreen(2, 2, base, packed, out, kClipPolyline, 0, 0), 2);
    ScreenPoint e0, e1;
    cs.LocalXYToScreen(1000 + 40, 300 + 20, e0, 0, 0);
    cs.LocalXYToScreen(1000 + 0, 300 + 510, e1, 0, 0);
    EXPECT_TRUE(SamePoint(out[0], e0)) << Describe(out);
    EXPECT_TRUE(SamePoint(out[1], e1)) << Describe(out);
    // Packing 0 takes the bytes as they are, without the base.
    ASSERT_EQ(cs.PackedPointsToScreen(2, 0, base, packed, out, kClipPolyline, 0, 0), 2);
    cs.LocalXYToScreen(20, 10, e0, 0, 0);
    EXPECT_TRUE(SamePoint(out[0], e0)) << Describe(out);
    // Changing the tile moves local points by exactly one tile.
    ScreenPoint before, after, expected;
    cs.LocalXYToScreen(5, 5, before, 0, 0);
    ASSERT_EQ(cs.SetTile(column + 1, row), 1);
    cs.LocalXYToScreen(5, 5, after, 0, 0);
    cs.MapToScreen(cs.LocalToMap(5, 5), expected, 0, 0);
    EXPECT_FALSE(SamePoint(before, after));
    EXPECT_LE(std::abs(after.x - expected.x), 1);
    EXPECT_LE(std::abs(after.y - expected.y), 1);
    EXPECT_EQ(cs.SetLevel(7), 0);
    EXPECT_EQ(cs.GetLevel(), 2);
}

// Assignment copies the view and its matrices, not the tile frame.
TEST(CoordSystemTest, AssignmentCopiesTheViewButNotTheTile) {
    CMneCoordSystem source;
    SetFlatView(source, 123, 40000);
    ASSERT_EQ(source.SetLevel(3), 1);
    ASSERT_EQ(source.SetTile(1000, 600), 1);
    CMneCoordSystem copy;
    copy = source;
    EXPECT_EQ(copy.GetAngle(), 123);
    EXPECT_EQ(copy.GetScale(), 40000);
    EXPECT_EQ(copy.GetLevel(), 1);
    EXPECT_EQ(copy.GetTileColumn(), 0);
    const MapPoint q{kCentre.x + 777, kCentre.y - 4321};
    ScreenPoint a, b;
    source.MapToScreen(q, a, 0, 0);
    copy.MapToScreen(q, b, 0, 0);
    EXPECT_TRUE(SamePoint(a, b));
    MapPoint ma, mb;
    source.ScreenToMap(ScreenPoint{17, 401}, ma, 0);
    copy.ScreenToMap(ScreenPoint{17, 401}, mb, 0);
    EXPECT_EQ(ma, mb);
}

// A perspective term at or below 0 is a point behind the eye: it is not
// placed on the screen mirrored.
TEST(CoordSystemTest, PointBehindThePerspectiveEyeIsNotMirrored) {
    CMneCoordSystem cs;
    // w = 1 - metres ahead / 50: the eye plane lies 50 m ahead.
    cs.SetPerspective(1, -10000.0 / 50.0);
    SetFlatView(cs, 0);
    const double unitsPerMetre = 1.0 / GetLatMeterPerUnit(kCentre.y, kCentre.y);
    auto ahead = [&](double metres) {
        return MapPoint{kCentre.x, kCentre.y + static_cast<int32_t>(std::lround(metres * unitsPerMetre))};
    };
    ScreenPoint p;
    // 25 m ahead: w = 0.5, twice as far up as without perspective.
    ASSERT_EQ(cs.MapToScreen(ahead(25), p, 0, 0), 1);
    EXPECT_NEAR(p.y, kOrigin.y - 2 * 13.75, 1.0);
    // 100 m ahead: w = -1. Dividing would put it 55 px below the centre.
    EXPECT_EQ(cs.MapToScreen(ahead(100), p, 0, 0), 0);
    EXPECT_LT(p.y, kOrigin.y);
    const MapPoint line[] = {ahead(0), ahead(100)};
    std::vector<ScreenPoint> out;
    const int n = cs.MapPointsToScreen(2, line, out, kClipPolyline, 0, 1);
    ASSERT_EQ(n, 2);
    // Clipped at the top of the widened window, going up, never down.
    EXPECT_TRUE(SamePoint(out[0], kOrigin));
    EXPECT_EQ(out[1].y, -10);
}

// ---------------------------------------------------------------------------
// Clipping. The window is (0, 0, 800, 480) widened by 10: x -10..810,
// y -10..490.

class ClipTest : public ::testing::Test {
protected:
    void SetUp() override { SetFlatView(cs, 0); }
    std::vector<ScreenPoint> Clip(std::vector<ScreenPoint> pts, int mode) {
        const int n = cs.ClipPoints(pts, mode);
        EXPECT_EQ(n, static_cast<int>(pts.size()));
        return pts;
    }
    CMneCoordSystem cs;
};

TEST_F(ClipTest, PolylineTable) {
    struct Case {
        const char* name;
        std::vector<ScreenPoint> in;
        std::vector<ScreenPoint> out;
    };
    const Case cases[] = {
        {"inside stays", Points({{0, 0}, {100, 100}, {200, 50}}), Points({{0, 0}, {100, 100}, {200, 50}})},
        {"crosses the left edge", Points({{-110, 100}, {90, 200}}), Points({{-10, 150}, {90, 200}})},
        {"crosses the right edge", Points({{710, 100}, {910, 200}}), Points({{710, 100}, {810, 150}})},
        {"crosses the top edge", Points({{100, -110}, {200, 90}}), Points({{150, -10}, {200, 90}})},
        {"crosses the bottom edge", Points({{100, 390}, {200, 590}}), Points({{100, 390}, {150, 490}})},
        {"rounds toward zero", Points({{-20, 0}, {10, 10}}), Points({{-10, 3}, {10, 10}})},
        {"through two edges", Points({{-110, 240}, {910, 240}}), Points({{-10, 240}, {810, 240}})},
        {"through a corner", Points({{-20, -20}, {20, 20}}), Points({{-10, -10}, {20, 20}})},
        {"wholly outside one side", Points({{-100, 0}, {-50, 400}}), Points({})},
        {"touches a corner only", Points({{-20, 0}, {0, -20}}), Points({})},
        {"equal points count once", Points({{0, 0}, {0, 0}, {50, 0}}), Points({{0, 0}, {50, 0}})},
        // Leaves through the top, comes back through the right: the
        // top-right corner of the widened window joins the pieces.
        {"top then right", Points({{700, 100}, {700, -100}, {1000, -100}, {1000, 100}, {700, 200}}),
         Points({{700, 100}, {700, -10}, {810, -10}, {810, 163}, {700, 200}})},
        // Cutting past the corner inside the window needs no corner point.
        {"top then right, inside the corner", Points({{700, 100}, {700, -100}, {900, 100}, {700, 200}}),
         Points({{700, 100}, {700, -10}, {790, -10}, {810, 10}, {810, 145}, {700, 200}})},
        {"top then bottom", Points({{400, 100}, {400, -100}, {-100, -100}, {-100, 600}, {400, 600}, {400, 300}}),
         Points({{400, 100}, {400, -10}, {810, -10}, {810, 490}, {400, 490}, {400, 300}})},
        {"right then left, along the bottom", Points({{700, 100}, {900, 100}, {900, 600}, {-100, 600}, {-100, 100}, {100, 100}}),
         Points({{700, 100}, {810, 100}, {810, 490}, {-10, 490}, {-10, 100}, {100, 100}})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<ScreenPoint> got = Clip(c.in, kClipPolyline);
        EXPECT_EQ(Describe(got), Describe(c.out));
    }
}

TEST_F(ClipTest, SinglePointIsNeverClipped) {
    EXPECT_EQ(Describe(Clip(Points({{-5000, 9000}}), kClipPolyline)), "(-5000,9000)");
    EXPECT_EQ(Describe(Clip(Points({{-5000, 9000}}), kClipPolygon)), "(-5000,9000)");
}

TEST_F(ClipTest, PolygonTable) {
    struct Case {
        const char* name;
        std::vector<ScreenPoint> in;
        std::vector<ScreenPoint> out;
    };
    const Case cases[] = {
        {"inside, open, gets closed", Points({{0, 0}, {100, 0}, {100, 100}}),
         Points({{0, 0}, {100, 0}, {100, 100}, {0, 0}})},
        {"inside, closed, unchanged", Points({{0, 0}, {100, 0}, {100, 100}, {0, 0}}),
         Points({{0, 0}, {100, 0}, {100, 100}, {0, 0}})},
        // A triangle poking out of the right edge: exit and entry points.
        {"pokes out of the right", Points({{700, 100}, {900, 200}, {700, 300}, {700, 100}}),
         Points({{700, 100}, {810, 155}, {810, 245}, {700, 300}, {700, 100}})},
        // A square around the whole window: the window's four corners as
        // turning vertices; the first vertex stays as given.
        {"wraps the view", Points({{-100, -100}, {900, -100}, {900, 600}, {-100, 600}, {-100, -100}}),
         Points({{-100, -100}, {-10, -10}, {810, -10}, {810, 490}, {-10, 490}, {-100, -100}})},
        // An edge from the left region to the top region that passes the
        // window's top-left corner outside turns at that corner.
        {"corner turn", Points({{400, 240}, {-200, 0}, {0, -200}, {400, 240}}),
         Points({{400, 240}, {-10, 76}, {-10, -10}, {173, -10}, {400, 240}})},
        // A ring stored open whose closing edge comes back in across the
        // top: the entry point of that edge keeps the corner.
        {"open ring closes across the top", Points({{50, 50}, {900, 50}, {900, -100}, {50, -100}}),
         Points({{50, 50}, {810, 50}, {810, -10}, {50, -10}, {50, 50}})},
        // The same edge through the window: exit and entry, no corner.
        {"edge through the window", Points({{400, 240}, {-100, 240}, {400, -100}, {400, 240}}),
         Points({{400, 240}, {-10, 240}, {-10, 179}, {268, -10}, {400, -10}, {400, 240}})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Describe(Clip(c.in, kClipPolygon)), Describe(c.out));
    }
}

double ShoelaceArea(const std::vector<ScreenPoint>& p) {
    double a = 0.0;
    for (size_t i = 0; i < p.size(); ++i) {
        const ScreenPoint& u = p[i];
        const ScreenPoint& v = p[(i + 1) % p.size()];
        a += static_cast<double>(u.x) * v.y - static_cast<double>(v.x) * u.y;
    }
    return std::abs(a) / 2.0;
}

// Sutherland-Hodgman against the window, in doubles: the oracle for the
// area of a clipped polygon.
std::vector<std::pair<double, double>> ReferenceClip(const std::vector<ScreenPoint>& in) {
    std::vector<std::pair<double, double>> poly;
    for (const ScreenPoint& p : in) poly.emplace_back(p.x, p.y);
    // a x + b y + c >= 0 inside.
    const double planes[4][3] = {{1, 0, 10}, {-1, 0, 810}, {0, 1, 10}, {0, -1, 490}};
    for (const auto& e : planes) {
        std::vector<std::pair<double, double>> out;
        for (size_t i = 0; i < poly.size(); ++i) {
            const auto& a = poly[i];
            const auto& b = poly[(i + 1) % poly.size()];
            const double fa = e[0] * a.first + e[1] * a.second + e[2];
            const double fb = e[0] * b.first + e[1] * b.second + e[2];
            if (fa >= 0) out.push_back(a);
            if ((fa >= 0) != (fb >= 0)) {
                const double t = fa / (fa - fb);
                out.emplace_back(a.first + t * (b.first - a.first), a.second + t * (b.second - a.second));
            }
        }
        poly.swap(out);
    }
    return poly;
}

TEST_F(ClipTest, LargeCirclePolygonMatchesReferenceArea) {
    // 10 000 points on a circle that sticks out of all four sides.
    std::vector<ScreenPoint> circle;
    for (int i = 0; i < 10000; ++i) {
        const double a = 2.0 * std::numbers::pi * i / 10000.0;
        circle.push_back(ScreenPoint{static_cast<int32_t>(std::lround(400 + 450 * std::cos(a))),
                                     static_cast<int32_t>(std::lround(240 + 450 * std::sin(a)))});
    }
    // Start inside the window so that the first vertex is a window point.
    std::rotate(circle.begin(), circle.begin() + 833, circle.end());
    ASSERT_GE(circle[0].x, -10);
    ASSERT_LE(circle[0].y, 490);
    const std::vector<ScreenPoint> got = Clip(circle, kClipPolygon);
    for (const ScreenPoint& p : got) {
        EXPECT_GE(p.x, -10);
        EXPECT_LE(p.x, 810);
        EXPECT_GE(p.y, -10);
        EXPECT_LE(p.y, 490);
    }
    const auto ref = ReferenceClip(circle);
    double refArea = 0.0;
    for (size_t i = 0; i < ref.size(); ++i) {
        const auto& u = ref[i];
        const auto& v = ref[(i + 1) % ref.size()];
        refArea += u.first * v.second - v.first * u.second;
    }
    refArea = std::abs(refArea) / 2.0;
    EXPECT_NEAR(ShoelaceArea(got), refArea, refArea * 0.002);
}

// The clipped result can be several times longer than the input; the
// converter sizes it, whatever the caller had.
TEST_F(ClipTest, ZigzagOutputLongerThanInputFits) {
    // Every segment crosses the window from side to side and is cut at both
    // borders, so the result has about twice the points of the input.
    std::vector<ScreenPoint> zigzag;
    for (int i = 0; i < 4000; ++i) zigzag.push_back(i % 2 ? ScreenPoint{1800, 300} : ScreenPoint{-1000, 100 + i % 7});
    const std::vector<ScreenPoint> got = Clip(zigzag, kClipPolyline);
    EXPECT_GT(got.size(), zigzag.size());
    EXPECT_LE(got.size(), 4 * zigzag.size() + 8);
    for (const ScreenPoint& p : got) {
        EXPECT_GE(p.x, -10);
        EXPECT_LE(p.x, 810);
    }
}

// The clip buffer and the bird's-eye point buffers are shared by every view
// of the process: views made, used and destroyed on several threads at once
// give the same results as one view alone.
TEST(CoordSystemThreadsTest, ViewsOnSeveralThreadsShareTheBuffersSafely) {
    std::vector<ScreenPoint> ring;
    for (int i = 0; i < 2000; ++i) {
        const double a = 2.0 * std::numbers::pi * i / 2000.0;
        ring.push_back(ScreenPoint{static_cast<int32_t>(400 + 600 * std::cos(a)), static_cast<int32_t>(240 + 300 * std::sin(a))});
    }
    auto work = [&ring](std::vector<ScreenPoint>& clipped, std::vector<ScreenPoint>& projected) {
        CMneCoordSystem cs;
        SetFlatView(cs, 0);
        clipped = ring;
        cs.ClipPoints(clipped, kClipPolygon);
        CMneBirdViewManager bird;
        bird.SetViewMode(1, 0);
        bird.SetViewRect(kView, 0);
        projected = ring;
        bird.ProjectPoints(projected, kClipPolyline, 1);
    };
    std::vector<ScreenPoint> clippedRef, projectedRef;
    work(clippedRef, projectedRef);
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 20; ++i) {
                std::vector<ScreenPoint> c, p;
                work(c, p);
                if (Describe(c) != Describe(clippedRef) || Describe(p) != Describe(projectedRef)) ++wrong;
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
