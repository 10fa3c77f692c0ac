// The route overlay: arrow marks, the displays of the route rows and the
// route being driven, the caches it keeps between frames, and the view
// fitting, on the demo district's style and layers.
#include <gtest/gtest.h>

#include "render/route_overlay.h"
#include "render/view_fit.h"
#include "support/overlay_frame.h"

namespace {

TEST(RouteMarks, PlacedEverySpacingAlongThePolyline) {
    // An L: 250 units east, then 250 north; a mark every 200 units.
    const MapPoint points[] = {{1000, 1000}, {1250, 1000}, {1250, 1250}};
    std::vector<MneRouteMark> marks;
    BuildRouteMarks(points, 3, 200.0, marks);
    ASSERT_EQ(marks.size(), 2u);
    EXPECT_EQ(marks[0].x, 1200);
    EXPECT_EQ(marks[0].y, 1000);
    EXPECT_EQ(marks[0].nextPoint, 1);
    EXPECT_EQ(marks[0].prevX, 1000);
    EXPECT_DOUBLE_EQ(marks[0].distance, 200.0);
    EXPECT_EQ(marks[0].bearingDeg, 270);   // east, counted counterclockwise from north
    // 50 units left of the first leg, 150 into the second.
    EXPECT_EQ(marks[1].x, 1250);
    EXPECT_EQ(marks[1].y, 1150);
    EXPECT_EQ(marks[1].nextPoint, 2);
    EXPECT_EQ(marks[1].prevX, 1250);
    EXPECT_EQ(marks[1].prevY, 1000);
    EXPECT_DOUBLE_EQ(marks[1].distance, 400.0);
    EXPECT_EQ(marks[1].bearingDeg, 0);

    // Repeated points and a line shorter than the spacing give no marks.
    const MapPoint same[] = {{5, 5}, {5, 5}, {105, 5}};
    BuildRouteMarks(same, 3, 200.0, marks);
    EXPECT_TRUE(marks.empty());
    // The spacing of an arrow size: 6 x size + 12 map units.
    EXPECT_DOUBLE_EQ(RouteMarkSpacing(228.0), 1380.0);
}

TEST(RouteMarks, ArrowTurnsCounterclockwise) {
    const struct {
        int angle;
        ScreenPoint tip, leftBarb;
    } cases[] = {
        {0, {0, -8}, {-8, 10}},    // pointing up
        {90, {-8, 0}, {10, 8}},    // a quarter turn counterclockwise: pointing left
        {180, {0, 8}, {8, -10}},
        {450, {-8, 0}, {10, 8}},   // taken modulo 360
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.angle);
        const auto p = ArrowPoints(c.angle);
        EXPECT_EQ(p[0].x, c.tip.x);
        EXPECT_EQ(p[0].y, c.tip.y);
        EXPECT_EQ(p[1].x, c.leftBarb.x);
        EXPECT_EQ(p[1].y, c.leftBarb.y);
        EXPECT_EQ(p[4].x, p[0].x);   // closed
        EXPECT_EQ(p[4].y, p[0].y);
    }
}

TEST(RouteMarks, MapSpaceArrowLiesAlongTheRoute) {
    // At the equator a map unit east is as long as one north. Heading north
    // (bearing 0): the barbs leave the tip backwards, 75 degrees either side
    // of south: (-sin 105, cos 105) and (-sin 255, cos 255) times 1000.
    const auto p = RouteArrowPoints({0, 0}, 0, 1000);
    const MapPoint expected[5] = {{0, 0}, {-966, -259}, {0, -120}, {966, -259}, {0, 0}};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(p[i], expected[i]) << i;
    // Heading west (90 counterclockwise from north): the barbs trail east.
    const auto west = RouteArrowPoints({0, 0}, 90, 1000);
    EXPECT_EQ(west[1], (MapPoint{259, -966}));
    EXPECT_EQ(west[3], (MapPoint{259, 966}));
    // At 60 degrees north a metre east takes twice the map units.
    const MapPoint north60{0, 60 * kMapUnitsPerDegree};
    const auto far = RouteArrowPoints(north60, 0, 1000);
    EXPECT_EQ(far[1], (MapPoint{-1932, north60.y - 259}));
}

TEST(ViewFit, NeededScaleKeepsATenPercentMargin) {
    // A route box twice as wide as the screen at scale 2500.
    EXPECT_DOUBLE_EQ(FitNeededScale(2500, 1600, 100, 800, 480), 5500.0);
    // The taller side decides.
    EXPECT_DOUBLE_EQ(FitNeededScale(100, 80, 480, 800, 480), 110.0);
    const struct {
        int level, fitted;
    } levels[] = {{9, 9}, {10, 9}, {11, 9}, {12, 9}, {13, 13}, {14, 13}, {15, 15}, {0, 0}};
    for (const auto& l : levels) EXPECT_EQ(FitLevel(l.level), l.fitted) << l.level;
}

// ---- On the demo district -----------------------------------------------------------------

const MapPoint kCentre = testsupport::kDistrictCentre;

// A straight route west to east through the centre, in two segments.
MneRoutePath StraightRoute(int32_t halfLength, int option) {
    MneRoutePath p;
    p.enabled = 1;
    p.routeOption = option;
    p.points = {{kCentre.x - halfLength, kCentre.y}, {kCentre.x, kCentre.y}, {kCentre.x + halfLength, kCentre.y}};
    p.segments = {{0, 1}, {1, 2}};
    return p;
}

class RouteOverlayTest : public testsupport::OverlayFrameTest {
protected:
    void SetUp() override {
        OverlayFrameTest::SetUp();
        m_map->SetPassHandler(MnePass::kRoute, [this](CMneDrawMap& m, const MnePassContext& c) {
            MneOverlayInputs in;
            m_source.Read(&in);
            m_overlay.DrawRoute(m, in, &m_source, c.routeFlag);
        });
    }
    // Inputs driving along the straight route with the car at the centre.
    MneOverlayInputs Driving(uint32_t version = 1) const {
        MneOverlayInputs in;
        auto set = std::make_shared<MneRouteSet>();
        set->version = version;
        set->driven = StraightRoute(3000, 1);
        in.routes = set;
        in.selectedRoute = -1;
        in.routeState = 3;
        in.car.known = 1;
        in.car.segment = 1;
        in.car.pointOffset = 0;
        in.car.position = kCentre;
        return in;
    }
    void Draw(const MneOverlayInputs& in, MneDrawRequest r) {
        m_source.Set(in);
        ASSERT_EQ(m_map->DrawFrame(r), 1);
    }
    uint32_t BandColour(int which, int colourIndex = 1) {
        uint32_t c[6];
        m_map->Style().GetRouteColours(c, colourIndex - 1, 0, 0);
        return c[2 + which];
    }

    MneFixedOverlayInputs m_source;
    MneRouteOverlay m_overlay;
};

TEST_F(RouteOverlayTest, SelectedRowIsDrawnOverTheOthers) {
    // Three enabled rows along the same line; the second is selected.
    MneOverlayInputs in;
    auto set = std::make_shared<MneRouteSet>();
    set->version = 1;
    set->rows[0] = StraightRoute(3000, 1);
    set->rows[1] = StraightRoute(3000, 2);
    set->rows[2] = StraightRoute(3000, 4);
    in.routes = set;
    in.selectedOption = 2;
    Draw(in, Request());
    uint32_t colours[6];
    ASSERT_TRUE(m_map->Style().GetRouteColours(colours, NcConfigMap::FlagToIndex(2), 0, 0));
    const MapPoint between{kCentre.x - 500, kCentre.y};   // away from the arrows
    EXPECT_EQ(PixelAt(between), Rgb565FromColor(colours[0]));
    // Rows drawn in index order would leave the third on top.
    in.selectedOption = 4;
    Draw(in, Request());
    ASSERT_TRUE(m_map->Style().GetRouteColours(colours, NcConfigMap::FlagToIndex(4), 0, 0));
    EXPECT_EQ(PixelAt(between), Rgb565FromColor(colours[0]));
    // No row with the selected option: nothing is drawn.
    in.selectedOption = 8;
    Draw(in, Request());
    EXPECT_EQ(CountPixels(colours[0]), 0);
}

TEST_F(RouteOverlayTest, DrivenRouteSplitsAtTheCar) {
    Draw(Driving(), Request());
    const MapPoint behind{kCentre.x - 700, kCentre.y}, ahead{kCentre.x + 700, kCentre.y};
    EXPECT_EQ(PixelAt(behind), Rgb565FromColor(BandColour(2)));   // driven core
    EXPECT_EQ(PixelAt(ahead), Rgb565FromColor(BandColour(0)));    // ahead core
    // Without the car's position on it, all of the route is ahead.
    MneOverlayInputs unknown = Driving();
    unknown.car.position = {};
    Draw(unknown, Request());
    EXPECT_EQ(PixelAt(behind), Rgb565FromColor(BandColour(0)));
    // A colour setting outside 1..5 draws nothing.
    MneOverlayInputs badColour = Driving();
    badColour.routeColourNight = 6;
    Draw(badColour, Request());
    EXPECT_EQ(CountPixels(BandColour(0)), 0);
}

TEST_F(RouteOverlayTest, BirdViewFillsTheBand) {
    MneDrawRequest r = Request();
    r.birdView = 1;
    r.northUp = 0;
    Draw(Driving(), r);
    EXPECT_GT(CountPixels(BandColour(0)), 200);   // the part ahead, filled
    EXPECT_GT(CountPixels(BandColour(2)), 200);   // the part driven
    EXPECT_TRUE(m_overlay.OutlinesHeld(0));
}

TEST_F(RouteOverlayTest, ComparisonShowsTheNewRouteInItsFixedColours) {
    MneOverlayInputs in = Driving();
    auto set = std::make_shared<MneRouteSet>(*in.routes);
    set->rows[0] = StraightRoute(3000, 1);
    set->rows[0].points[1].y += 250;   // the new route bends north
    in.routes = set;
    in.selectedOption = 0;
    MneDrawRequest r = Request();
    r.viewMode = 10;
    r.scaleStep = 10;
    Draw(in, r);
    EXPECT_EQ(m_map->Request().viewMode, 10);
    EXPECT_GT(CountPixels(kRouteFixedCore), 100);
    EXPECT_GT(CountPixels(BandColour(0)), 100);   // and the route being driven over it
}

TEST_F(RouteOverlayTest, MarkListsAreKeptUntilTheRouteChanges) {
    Draw(Driving(1), Request());
    const int32_t count = m_overlay.MarkCount(0);
    const MneRouteMark* marks = m_overlay.Marks(0);
    ASSERT_GT(count, 0);
    EXPECT_EQ(m_overlay.MarkVersion(0), 1u);
    // Same version and size: the list is used as it is, even though the
    // points differ.
    MneOverlayInputs longer = Driving(1);
    auto set = std::make_shared<MneRouteSet>(*longer.routes);
    set->driven = StraightRoute(9000, 1);
    longer.routes = set;
    Draw(longer, Request());
    EXPECT_EQ(m_overlay.MarkCount(0), count);
    EXPECT_EQ(m_overlay.Marks(0), marks);
    // A new version rebuilds it.
    set = std::make_shared<MneRouteSet>(*set);
    set->version = 2;
    longer.routes = set;
    Draw(longer, Request());
    EXPECT_GT(m_overlay.MarkCount(0), count);
    EXPECT_EQ(m_overlay.MarkVersion(0), 2u);
}

TEST_F(RouteOverlayTest, CachesAreReleasedByTheRules) {
    MneOverlayInputs in;
    auto set = std::make_shared<MneRouteSet>();
    set->version = 1;
    for (int row = 0; row < 4; ++row) set->rows[static_cast<size_t>(row)] = StraightRoute(3000, 1 << row);
    in.routes = set;
    in.selectedOption = 1;
    Draw(in, Request());
    for (int list = 2; list < 6; ++list) EXPECT_GT(m_overlay.MarkCount(list), 0) << list;

    // Row 2 disabled: its list (4) goes at the next route drawing, the others stay.
    auto fewer = std::make_shared<MneRouteSet>(*set);
    fewer->rows[2].enabled = 0;
    in.routes = fewer;
    m_overlay.ReleaseRouteCaches(in, &m_source);
    EXPECT_EQ(m_overlay.MarkCount(4), 0);
    EXPECT_EQ(m_overlay.MarkArrowSize(4), -1.0);
    EXPECT_GT(m_overlay.MarkCount(2), 0);
    EXPECT_GT(m_overlay.MarkCount(3), 0);
    EXPECT_GT(m_overlay.MarkCount(5), 0);

    // A newly adopted route: every list goes, and the word reads 0 again.
    m_source.SetRouteChanged();
    m_overlay.ReleaseRouteCaches(in, &m_source);
    for (int list = 0; list < 6; ++list) EXPECT_EQ(m_overlay.MarkCount(list), 0) << list;
    EXPECT_EQ(m_source.TakeRouteChanged(), 0);
}

TEST_F(RouteOverlayTest, SplitScreenKeepsTheOutlinesOfTheRouteView) {
    MneDrawRequest r0 = Request(0, 10, 0), r1 = Request(0, 10, 1);
    r0.birdView = r1.birdView = 1;
    r0.northUp = r1.northUp = 0;
    Draw(Driving(), r0);
    Draw(Driving(), r1);
    ASSERT_TRUE(m_overlay.OutlinesHeld(0));
    ASSERT_TRUE(m_overlay.OutlinesHeld(1));
    MneOverlayInputs split = Driving();
    split.mapScreenMode = 2;
    split.leftMapMode = 2;
    m_overlay.ReleaseRouteCaches(split, nullptr);
    EXPECT_TRUE(m_overlay.OutlinesHeld(0));
    EXPECT_FALSE(m_overlay.OutlinesHeld(1));
    // Without the car on the route nothing of the driven route is kept.
    split.car.known = 0;
    m_overlay.ReleaseRouteCaches(split, nullptr);
    EXPECT_FALSE(m_overlay.OutlinesHeld(0));
}

TEST_F(RouteOverlayTest, NoArrowsAboveLevel17) {
    Draw(Driving(), Request());
    MneOverlayInputs in = Driving();
    EXPECT_EQ(m_overlay.DrawRouteArrows(*m_map, in, 18, 0, in.routes->driven, &in.car, 100.0, 0), 0);
    EXPECT_EQ(m_overlay.DrawRouteArrows(*m_map, in, 10, 0, in.routes->driven, &in.car, 100.0, 0), 1);
}

// The bird's-eye arrows lie in map space: twice the arrow size covers about
// four times the pixels (a screen dart would stay the same).
TEST_F(RouteOverlayTest, MapSpaceArrowsGrowWithTheArrowSize) {
    auto whiteOf = [&](double size) {
        Draw(MneOverlayInputs{}, Request());
        const int before = CountPixels(0xFFFFFF);
        EXPECT_EQ(DrawRouteArrow(*m_map, kCentre, 90, 0, size), 1);
        return CountPixels(0xFFFFFF) - before;
    };
    const int small = whiteOf(400), large = whiteOf(800);
    ASSERT_GT(small, 10);
    EXPECT_GT(large, 3 * small);
    EXPECT_LT(large, 5 * small);
}

TEST_F(RouteOverlayTest, FittingModesFitTheRoute) {
    MneOverlayInputs in;
    auto set = std::make_shared<MneRouteSet>();
    set->version = 1;
    set->rows[0] = StraightRoute(20000, 1);
    set->rows[0].points[2].y += 9000;
    in.routes = set;
    in.selectedOption = 1;
    m_source.Set(in);
    m_map->SetViewFitter([&](CMneDrawMap& m, int mode, int level) {
        MapPoint centre{};
        return FitView(m, in, mode, &centre, level < 0 ? -1 : m.Style().ScaleOfLevel(level));
    });
    int levels[3] = {};
    MapPoint centres[3];
    const int modes[3] = {3, 4, 10};
    for (int i = 0; i < 3; ++i) {
        MneDrawRequest r = Request();
        r.viewMode = static_cast<uint8_t>(modes[i]);
        r.scaleStep = 0;
        ASSERT_EQ(m_map->DrawFrame(r), 1);
        levels[i] = r.scaleStep;   // the level drawn
        centres[i] = m_map->Coords().GetCentre();
    }
    EXPECT_EQ(levels[1], levels[0]);
    EXPECT_EQ(levels[2], levels[0]);
    // The middle of the route's box.
    EXPECT_EQ(centres[2].x, kCentre.x);
    EXPECT_EQ(centres[2].y, kCentre.y + 4500);
    EXPECT_NE(levels[0], 10);
    EXPECT_NE(levels[0], 11);
    EXPECT_NE(levels[0], 12);
    EXPECT_NE(levels[0], 14);
    // Every point of the route is on screen.
    for (const MapPoint& p : set->rows[0].points) {
        const ScreenPoint s = At(p);
        EXPECT_GE(s.x, 0);
        EXPECT_LT(s.x, 400);
        EXPECT_GE(s.y, 0);
        EXPECT_LT(s.y, 240);
    }
    // View mode 2 fits nothing.
    MapPoint none{};
    EXPECT_EQ(FitView(*m_map, in, 2, &none, -1), 0);
    EXPECT_EQ(none.x, 0);
}

}  // namespace
