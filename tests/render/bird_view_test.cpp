// The bird's-eye camera: where flat pixels land in the tilted picture, the
// six-plane clip, points behind the eye, sky heights, and the table of the
// way back after the view or the pitch changed.
#include "render/bird_view.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "foundation/coords.h"
#include "render/coord_system.h"

namespace {

constexpr ScreenRect kView{0, 0, 800, 480};

class BirdViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetBirdViewEyeHeightOption(0);
        SetDisplayLayoutValue(0);
        bird.SetViewMode(1, 0);
        bird.Enable();
        bird.SetViewRect(kView, 1);
    }
    CMneBirdViewManager bird;
};

// Hand computation for an 800 x 480 view (box -10..810 x -10..490, H = 500,
// eye (0, 0, 250), tilt 42): the flat centre (400, 240) is the camera-space
// point (0, 0.0854, -0.1667), w = 0.1667, picture (400, 368.1).
TEST_F(BirdViewTest, FlatCentreLandsLowInThePicture) {
    ScreenPoint p{400, 240};
    ASSERT_EQ(bird.ProjectPoint(p, 1), 1);
    EXPECT_EQ(p.x, 400);
    EXPECT_EQ(p.y, 368);
    // Further ahead on the flat map is higher up and nearer the middle.
    ScreenPoint ahead{600, -500};
    ASSERT_EQ(bird.ProjectPoint(ahead, 1), 1);
    EXPECT_LT(ahead.y, 368);
    EXPECT_GT(ahead.x, 400);
    EXPECT_LT(ahead.x, 600);
}

// The eye plane lies at flat y = 240 + 250 / cos 42 = 576: points beyond are
// behind the camera and are never mirrored onto the picture.
TEST_F(BirdViewTest, PointsBehindTheCameraAreNotProjected) {
    for (int clip : {0, 1}) {
        SCOPED_TRACE(clip);
        ScreenPoint behind{400, 1000};
        EXPECT_EQ(bird.ProjectPoint(behind, clip), 0);
        EXPECT_EQ(behind.y, 1000);  // left as it was
        EXPECT_EQ(bird.IsPointVisible(ScreenPoint{400, 1000}), 0);
    }
    // A line from the centre to behind the camera is cut at the edge of the
    // view volume: every point stays in the picture's box.
    std::vector<ScreenPoint> line{{400, 240}, {400, 1000}};
    ASSERT_EQ(bird.ProjectPoints(line, 2, 1), 2);
    for (const ScreenPoint& p : line) {
        EXPECT_GE(p.y, -10);
        EXPECT_LE(p.y, 490);
    }
    // Without clipping the point behind is dropped, not mirrored.
    std::vector<ScreenPoint> unclipped{{400, 240}, {420, 250}, {400, 1000}};
    EXPECT_EQ(bird.ProjectPoints(unclipped, 2, 0), 2);
}

TEST_F(BirdViewTest, ProjectPointsEdgeCounts) {
    std::vector<ScreenPoint> none;
    EXPECT_EQ(bird.ProjectPoints(none, 2, 1), 0);
    std::vector<ScreenPoint> one{{300, 200}};
    ScreenPoint single{300, 200};
    ASSERT_EQ(bird.ProjectPoint(single, 1), 1);
    ASSERT_EQ(bird.ProjectPoints(one, 2, 1), 1);
    EXPECT_TRUE(SamePoint(one[0], single));
    // A polygon wholly inside keeps its points (and is closed by the clip).
    std::vector<ScreenPoint> square{{300, 200}, {500, 200}, {500, 300}, {300, 300}};
    const int n = bird.ProjectPoints(square, 3, 1);
    EXPECT_GE(n, 4);
    // A polygon wholly outside the volume gives nothing.
    std::vector<ScreenPoint> away{{5000, 200}, {5100, 200}, {5100, 300}};
    EXPECT_EQ(bird.ProjectPoints(away, 3, 1), 0);
    EXPECT_TRUE(away.empty());
}

TEST_F(BirdViewTest, SkyHeights) {
    struct Case {
        int mode, layoutKind, layoutValue, sky;
    };
    const Case cases[] = {
        {100, 1, 0, 40}, {200, 3, 0, 34}, {300, 0, 0, 88}, {1, 1, 0, 83}, {1, 3, 0, 96},
        {1, 0, 0, 93},   {1, 1, 2, 96},   {1, 3, 2, 112},  {1, 0, 2, 106}, {300, 0, 2, 88},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.mode) + "/" + std::to_string(c.layoutKind) + "/" + std::to_string(c.layoutValue));
        SetDisplayLayoutValue(c.layoutValue);
        bird.SetViewMode(c.mode, c.layoutKind);
        EXPECT_EQ(bird.GetSkyHeight(), c.sky);
    }
    SetDisplayLayoutValue(0);
    bird.SetViewMode(300, 0);
    bird.SetPitch(10.0f, 0);
    EXPECT_EQ(bird.GetSkyHeight(), 88 - 20);
    ScreenRect sky;
    bird.GetSkyRect(sky);
    EXPECT_EQ(sky, (ScreenRect{-10, -10, 810, -10 + 68}));
    // Frozen: neither the camera nor the sky moves.
    bird.SetFrozen(1);
    ScreenPoint before{400, 240};
    bird.ProjectPoint(before, 1);
    bird.SetPitch(-20.0f, 0);
    ScreenPoint after{400, 240};
    bird.ProjectPoint(after, 1);
    EXPECT_EQ(bird.GetSkyHeight(), 68);
    EXPECT_FLOAT_EQ(bird.GetPitch(), 10.0f);
    EXPECT_TRUE(SamePoint(before, after));
}

// The way back agrees with the way there: every table entry is a flat
// point that projects onto its own pixel, and the refined way back lands
// within a pixel of where it started.
void ExpectTableAgrees(CMneBirdViewManager& bird, int width, int height) {
    int entries = 0;
    for (int32_t y = 0; y < height; y += 7) {
        for (int32_t x = 0; x < width; x += 5) {
            ScreenPoint flat;
            if (!bird.ScreenToFlat(ScreenPoint{x, y}, flat)) continue;
            ScreenPoint again = flat;
            ASSERT_EQ(bird.ProjectPoint(again, 1), 1);
            EXPECT_LE(std::abs(again.x - x), 1) << x << "," << y;
            EXPECT_LE(std::abs(again.y - y), 1) << x << "," << y;
            ++entries;
        }
    }
    EXPECT_GT(entries, 100);
    int checked = 0;
    for (int32_t y = height / 2; y < height; y += height / 20) {
        for (int32_t x = width / 8; x < width * 7 / 8; x += width / 20) {
            ScreenPoint s{x, y};
            if (!bird.ProjectPoint(s, 1) || s.x < 0 || s.x >= width || s.y < 0 || s.y >= height) continue;
            double fx = 0.0, fy = 0.0;
            ASSERT_EQ(bird.ScreenToFlatExact(s, fx, fy), 1) << x << "," << y;
            ScreenPoint again{static_cast<int32_t>(std::lround(fx)), static_cast<int32_t>(std::lround(fy))};
            ASSERT_EQ(bird.ProjectPoint(again, 1), 1);
            EXPECT_LE(std::abs(again.x - s.x), 2) << x << "," << y;
            EXPECT_LE(std::abs(again.y - s.y), 2) << x << "," << y;
            ++checked;
        }
    }
    EXPECT_GT(checked, 10);
}

TEST_F(BirdViewTest, TableFollowsViewShapeAndPitch) {
    ExpectTableAgrees(bird, 800, 480);
    // A reshaped view of fewer pixels: the old table would still fit.
    bird.SetViewRect(ScreenRect{0, 0, 480, 640}, 1);
    ExpectTableAgrees(bird, 480, 640);
    bird.SetViewRect(ScreenRect{0, 0, 400, 240}, 1);
    ExpectTableAgrees(bird, 400, 240);
    // A pitch change moves every projected pixel.
    bird.SetPitch(20.0f, 0);
    ExpectTableAgrees(bird, 400, 240);
    bird.SetPitch(-20.0f, 0);
    bird.SetViewRect(ScreenRect{0, 0, 400, 240}, 1);
    ExpectTableAgrees(bird, 400, 240);
}

TEST_F(BirdViewTest, NearestFindsASampleWhereThePixelHasNone) {
    ScreenPoint flat;
    EXPECT_EQ(bird.ScreenToFlat(ScreenPoint{-1, 100}, flat), 0);
    EXPECT_EQ(bird.ScreenToFlat(ScreenPoint{800, 100}, flat), 0);
    // Somewhere in the far rows the samples are sparse.
    int gaps = 0;
    for (int32_t y = 100; y < 480 && gaps == 0; ++y) {
        for (int32_t x = 0; x < 800; ++x) {
            if (bird.ScreenToFlat(ScreenPoint{x, y}, flat)) continue;
            ScreenPoint near;
            if (bird.ScreenToFlatNearest(ScreenPoint{x, y}, near)) {
                ++gaps;
                break;
            }
        }
    }
    EXPECT_EQ(gaps, 1);
    // The sky is never reached by any sample.
    EXPECT_EQ(bird.ScreenToFlatNearest(ScreenPoint{400, 0}, flat), 0);
}

// Through the coordinate system: map point -> flat -> picture -> back to a
// map point that lands within a few pixels of the first.
TEST(BirdViewRoundTripTest, MapToScreenAndBackWithinAFewPixels) {
    const MapPoint centre{static_cast<int32_t>(126.978 * kMapUnitsPerDegree),
                          static_cast<int32_t>(37.566 * kMapUnitsPerDegree)};
    CMneCoordSystem cs;
    cs.BirdView().SetViewMode(1, 0);
    cs.BirdView().Enable();
    cs.SetPixelsPerMetre(11000, 11000);
    for (int angle : {0, 45, 90, 200, 315}) {
        SCOPED_TRACE(angle);
        cs.SetView(ScreenPoint{400, 240}, centre, kView, angle, 10000, 1);
        int checked = 0;
        for (int32_t y = 250; y < 480; y += 20) {
            for (int32_t x = 100; x < 700; x += 40) {
                MapPoint m;
                if (!cs.ScreenToMap(ScreenPoint{x, y}, m, 1)) continue;
                ScreenPoint back;
                ASSERT_EQ(cs.MapToScreen(m, back, 1, 1), 1);
                EXPECT_LE(std::abs(back.x - x), 3) << x << "," << y;
                EXPECT_LE(std::abs(back.y - y), 3) << x << "," << y;
                ++checked;
            }
        }
        EXPECT_GT(checked, 100);
    }
}

}  // namespace
