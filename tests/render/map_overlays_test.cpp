// The overlays beside the route: direction symbols, planning lines and
// markers, the trail and the helpers they share, on the demo style.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "render/map_overlays.h"
#include "render/overlay_passes.h"
#include "settings/handover.h"
#include "settings/module_sch.h"
#include "support/overlay_frame.h"

namespace {

TEST(MapOverlays, DirectionSymbolIndexStaysInsideTheSet) {
    const struct {
        int angle, count, index;
    } cases[] = {
        {0, 18, 0},   {19, 18, 0},   {20, 18, 1},   {359, 18, 17},   // 20 degrees a symbol
        {359, 7, 6},                                                 // 7 does not divide 360: never index 7
        {180, 1000, 500}, {359, 1000, 997},                          // more symbols than degrees
        {90, 0, -1},  {90, -3, -1},                                  // an empty set
        {-90, 4, 3},  {450, 4, 1},                                   // angles outside 0..359
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DirectionSymbolIndex(c.angle, c.count), c.index) << c.angle << " / " << c.count;
    }
}

TEST(MapOverlays, SkyStripColumnTurnsWithTheView) {
    EXPECT_EQ(SkyStripColumn(0, 720), 0);
    EXPECT_EQ(SkyStripColumn(90, 720), 180);
    EXPECT_EQ(SkyStripColumn(-90, 720), 540);   // normalised first, never a negative column
    EXPECT_EQ(SkyStripColumn(450, 720), 180);
    EXPECT_EQ(SkyStripColumn(359, 720), 718);
    EXPECT_EQ(SkyStripColumn(10, 0), 0);
}

TEST(MapOverlays, KindOneSymbolsArePushedFromTheirAnchor) {
    EXPECT_EQ(RoadAttributePush(15), 40);
    EXPECT_EQ(RoadAttributePush(16), 80);
    EXPECT_EQ(RoadAttributePush(17), 200);
    // A 20 x 10 symbol at level 16: its anchor moves 80 pixels along the
    // angle from its centre.
    for (int a : {0, 90, 180, 270, 30}) {
        const ScreenPoint p = PushedSymbolAnchor(a, 20, 10, 80);
        EXPECT_NEAR(std::hypot(p.x - 10, p.y - 5), 80.0, 1.0) << a;
    }
    const ScreenPoint east = PushedSymbolAnchor(90, 20, 10, 80);
    EXPECT_EQ(east.x, 10 - 80);
    EXPECT_EQ(east.y, 5);
}

TEST(MapOverlays, RoadAttributeWalkReadsWholeRecordsOnly) {
    // Header: count 3, records at 6; two whole records and 4 bytes more.
    std::vector<uint8_t> block = {3, 0, 6, 0, 0, 0};
    const uint8_t records[] = {0x10, 0x00, 0x20, 0x00, 0, 90, 0,      // y 16, x 32, kind 0, 90 degrees
                               0xFF, 0x7F, 0x00, 0x80, 1, 0x0F, 0x01,  // y 32767, x -32768, kind 1, 271
                               1, 2, 3, 4};
    block.insert(block.end(), std::begin(records), std::end(records));
    std::vector<MneRoadAttribute> seen;
    EXPECT_EQ(WalkRoadAttributes(block.data(), static_cast<uint32_t>(block.size()),
                                 [&](const MneRoadAttribute& a) { seen.push_back(a); }),
              2);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].y, 16);
    EXPECT_EQ(seen[0].x, 32);
    EXPECT_EQ(seen[0].directionDeg, 90);
    EXPECT_EQ(seen[1].y, 32767);
    EXPECT_EQ(seen[1].x, -32768);
    EXPECT_EQ(seen[1].kind, 1);
    EXPECT_EQ(seen[1].directionDeg, 271);
    // An offset past the block or a cut header: nothing.
    block[2] = 200;
    EXPECT_EQ(WalkRoadAttributes(block.data(), static_cast<uint32_t>(block.size()), [](const MneRoadAttribute&) {}), 0);
    EXPECT_EQ(WalkRoadAttributes(block.data(), 5, [](const MneRoadAttribute&) {}), 0);
}

// The settings-backed source takes the search points from the search
// module's page of results and the user markers from the hand-over
// object's external positions.
TEST(MapOverlays, SettingsSourceReadsSearchPageAndExternalPositions) {
    CMgrConfigModuleSCH& search = *CMgrConfigModuleSCH::Instance();
    auto put = [&](int i, uint32_t x, uint32_t y) {
        uint8_t* b = search.results[i].bytes;
        for (int k = 0; k < 4; ++k) b[24 + k] = static_cast<uint8_t>(x >> (8 * k)), b[28 + k] = static_cast<uint8_t>(y >> (8 * k));
    };
    put(0, 0x04030201, 0x00000010);
    put(1, 0x00000020, 0x00000030);
    put(3, 0x00000040, 0x00000050);   // after the blank record 2: not part of the list
    UIExternalPosSource sent[kUIExternalPosCount];
    sent[2] = {1, 0, 12700.0, 3730.0};   // 127 and 37.5 degrees
    sent[15] = {1, 0, 12701.5, 3731.5};
    ASSERT_EQ(CMgrConfigUIInfo::Instance()->SetExternalPositions(sent), 1);

    MneSettingsOverlayInputs source;
    MneOverlayInputs in;
    source.Read(&in);
    EXPECT_EQ(in.searchPoints, (std::vector<MapPoint>{{0x04030201, 0x10}, {0x20, 0x30}}));
    for (int i = 0; i < 16; ++i) EXPECT_EQ(in.userMarkers[static_cast<size_t>(i)].flag, i == 2 || i == 15 ? 1 : 0) << i;
    EXPECT_EQ(in.userMarkers[2].point, (MapPoint{127 * 524288, 37 * 524288 + 262144}));
    EXPECT_EQ(in.userMarkers[15].point, (MapPoint{127 * 524288 + 13107, 37 * 524288 + 275251}));

    // No positions held: no markers.
    const UIExternalPosSource none[kUIExternalPosCount] = {};
    CMgrConfigUIInfo::Instance()->SetExternalPositions(none);
    source.Read(&in);
    for (const MneUserMarker& m : in.userMarkers) EXPECT_EQ(m.flag, 0);
}

// ---- Frames --------------------------------------------------------------------------------

const MapPoint kCentre = testsupport::kDistrictCentre;

uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) { return r | g << 8 | b << 16; }

class MapOverlayFrameTest : public testsupport::OverlayFrameTest {
protected:
    void SetUp() override {
        OverlayFrameTest::SetUp();
        m_source = std::make_shared<MneFixedOverlayInputs>();
        InstallOverlayPasses(*m_map, m_source);
    }
    void Draw(const MneOverlayInputs& in, MneDrawRequest r) {
        m_source->Set(in);
        ASSERT_EQ(m_map->DrawFrame(r), 1);
    }

    std::shared_ptr<MneFixedOverlayInputs> m_source;
};

TEST_F(MapOverlayFrameTest, CoursePreviewWithoutWaypointsShowsStartAndDestination) {
    MneOverlayInputs in;
    in.courseStart = {kCentre.x - 800, kCentre.y - 300};
    in.courseGoal = {kCentre.x + 800, kCentre.y + 300};
    Draw(in, Request(9));
    EXPECT_GT(CountPixels(kPlanningLineColour), 50);
    EXPECT_GT(CountPixels(Rgb(20, 150, 60)), 20);    // start flag
    EXPECT_GT(CountPixels(Rgb(220, 30, 30)), 20);    // destination flag
    EXPECT_EQ(CountPixels(Rgb(30, 90, 200)), 0);     // no numbered flag
    in.courseVia = {{kCentre.x, kCentre.y + 500}};
    Draw(in, Request(9));
    EXPECT_GT(CountPixels(Rgb(30, 90, 200)), 20);
}

TEST_F(MapOverlayFrameTest, SearchPointsAreJoinedAndMarked) {
    MneOverlayInputs in;
    in.searchPoints = {{kCentre.x - 600, kCentre.y}, {kCentre.x + 600, kCentre.y + 200}};
    Draw(in, Request(1));
    EXPECT_GT(CountPixels(kPlanningLineColour), 50);
    EXPECT_GT(CountPixels(Rgb(30, 90, 200)), 20);    // markers 2 and 3: the numbered flags
    Draw(in, Request(0));
    EXPECT_EQ(CountPixels(kPlanningLineColour), 0);  // only view mode 1 shows them
}

TEST_F(MapOverlayFrameTest, TrailFollowsTheSettingAndTheGuidanceState) {
    MneOverlayInputs in;
    in.viewGpsLog = 1;
    in.rawTrail.points[5] = kCentre;
    in.rawTrail.newest = 5;
    in.rawTrail.count = 1;
    in.matchedTrail.points[511] = {kCentre.x + 300, kCentre.y};
    in.matchedTrail.points[0] = {kCentre.x + 600, kCentre.y};
    in.matchedTrail.newest = 0;   // the ring wraps: 0, then 511
    in.matchedTrail.count = 2;
    Draw(in, Request());
    EXPECT_EQ(CountPixels(kRawTrailColour), 16);       // the 4 x 4 inside of one 6 x 6 box
    EXPECT_EQ(CountPixels(kMatchedTrailColour), 32);
    in.routeState = 4;
    Draw(in, Request());
    EXPECT_EQ(CountPixels(kRawTrailColour), 0);
    in.routeState = 0;
    in.viewGpsLog = 0;
    Draw(in, Request());
    EXPECT_EQ(CountPixels(kMatchedTrailColour), 0);
}

TEST_F(MapOverlayFrameTest, UserMarkersOnlyWithTheirFlag) {
    MneOverlayInputs in;
    in.userMarkers[3] = {1, kCentre};
    in.userMarkers[4] = {0, {kCentre.x + 500, kCentre.y}};
    Draw(in, Request());
    const int one = CountPixels(Rgb(255, 205, 0));   // the demo's yellow diamond
    EXPECT_GT(one, 20);
    in.userMarkers[4].flag = 1;
    Draw(in, Request());
    EXPECT_GT(CountPixels(Rgb(255, 205, 0)), one + 20);
}

TEST_F(MapOverlayFrameTest, TargetLineRunsFromTheVehicleToTheCentre) {
    MneOverlayInputs in;
    m_drawInputs.Set([] {
        MneDrawInputs d;
        d.position = {kCentre.x - 900, kCentre.y - 400};
        return d;
    }());
    Draw(in, Request());
    EXPECT_GT(CountPixels(kTargetLineColour), 30);
    // Without a centre request the line goes from the course's target,
    // and without one there is none.
    MneDrawRequest r = Request();
    r.centreMode = 0;
    Draw(in, r);
    EXPECT_EQ(CountPixels(kTargetLineColour), 0);
    in.courseTarget = {kCentre.x + 700, kCentre.y};
    Draw(in, r);
    EXPECT_GT(CountPixels(kTargetLineColour), 30);
}

TEST_F(MapOverlayFrameTest, RoadAttributesFromLevel15InTheFlatView) {
    // The demo's main road carries direction symbols (the blue guidance
    // arrows) at its junctions and block middles.
    const uint32_t arrowBlue = Rgb(20, 90, 200);
    MneOverlayInputs in;
    MneDrawRequest r = Request(0, 12);   // level 15
    r.centre = {static_cast<int32_t>(127.015 * kMapUnitsPerDegree), static_cast<int32_t>(37.516 * kMapUnitsPerDegree)};
    Draw(in, r);
    EXPECT_EQ(m_map->ScaleLevel(), 15);
    EXPECT_GT(CountPixels(arrowBlue), 20);
    r.scaleStep = 11;   // level 13
    Draw(in, r);
    EXPECT_EQ(CountPixels(arrowBlue), 0);
    r.scaleStep = 12;
    r.birdView = 1;
    r.northUp = 0;
    Draw(in, r);
    EXPECT_EQ(CountPixels(arrowBlue), 0);
}

// A route point's label: a row of route-mark symbols (the demo's lettered
// discs, 22 x 22) whose right end lies 16 pixels left of the point, vertically
// centred on it: left cap "1" (row[0]), middle "S" (row[2]), right cap "2"
// (row[1]), so w = 66 and the row starts at (x - 82, y - 11).
TEST_F(MapOverlayFrameTest, RoutePointLabelsAreASymbolRowLeftOfThePoint) {
    const uint16_t blue = Rgb565FromColor(Rgb(30, 90, 200)), green = Rgb565FromColor(Rgb(20, 150, 60));
    MneDrawInputs d;
    d.routeMarks.points = {kCentre};
    d.routeMarks.labels = {{2, 3, 0}};
    auto draw = [&](int mode, int labels) {
        d.routePointLabels = labels;
        m_drawInputs.Set(d);
        Draw(MneOverlayInputs{}, Request(mode));
        m_map->DrawRouteMarkers();
    };
    draw(0, 1);
    const ScreenPoint p = At(kCentre);
    const int32_t left = p.x - 82;
    // 6 pixels left of each disc's centre: inside the disc, clear of its letter.
    EXPECT_EQ(m_map->Picture().Pixel(left + 5, p.y), blue);
    EXPECT_EQ(m_map->Picture().Pixel(left + 22 + 5, p.y), green);
    EXPECT_EQ(m_map->Picture().Pixel(left + 44 + 5, p.y), blue);
    EXPECT_EQ(CountPixels(Rgb(20, 150, 60)) > 20, true);
    const int labelled = CountPixels(Rgb(30, 90, 200));
    // No label in view mode 5 or with labels off.
    for (auto [mode, labels] : {std::pair{5, 1}, std::pair{0, 0}}) {
        draw(mode, labels);
        EXPECT_EQ(CountPixels(Rgb(20, 150, 60)), 0) << mode << " " << labels;
        EXPECT_LT(CountPixels(Rgb(30, 90, 200)), labelled);
    }
    // A row with a piece the style lacks is skipped whole.
    d.routeMarks.labels = {{2, 3, 500}};
    draw(0, 1);
    EXPECT_EQ(CountPixels(Rgb(20, 150, 60)), 0);
}

}  // namespace
