// The building pass: wall markings, the lifts of the found-building view,
// and, on the demo district, the building recorded under the car and drawn
// as a block in the building-information view; the polygons stored in map
// units.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "render/draw_map.h"
#include "render/pass_geometry.h"
#include "support/temp_dir.h"
#include "tools/writers/demo_style.h"
#include "tools/writers/layer_writer.h"

namespace {

constexpr uint32_t kA = 0x00FF00;   // 0x00BBGGRR
constexpr uint32_t kB = 0xFF0000;

uint16_t Px(uint32_t colour) { return Rgb565FromColor(colour); }

class MarkingTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_image.Create(64, 64));
        m_egl.Attach(m_image);
        m_egl.Clear(0xFFFFFF);
    }
    // A wall 40 wide and 30 high: bottom edge y 40, top edge y 10.
    void Draw(int kind, int count, int width = 40) {
        const ScreenPoint quad[4] = {{10, 40}, {10 + width, 40}, {10 + width, 10}, {10, 10}};
        DrawRoadMarking(m_egl, quad, kind, count, kA, kB, 0);
    }
    int CountB() const {
        int n = 0;
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) n += m_image.Pixel(x, y) == Px(kB);
        return n;
    }
    DibImage565 m_image;
    CEglDraw m_egl;
};

TEST_F(MarkingTest, KindsOutsideThePatternsFillOnly) {
    for (int kind : {0, 100, 105}) {
        SCOPED_TRACE(kind);
        Draw(kind, 3);
        EXPECT_EQ(m_image.Pixel(30, 25), Px(kA));
        EXPECT_EQ(CountB(), 0);
    }
}

TEST_F(MarkingTest, ThinBarsEveryThirdOfTheHeightPlusTwo) {
    Draw(102, 3);
    // H = 30, n = 3: bars two rows high at 0, 12 and 24 below the top.
    for (int top : {10, 22, 34}) {
        SCOPED_TRACE(top);
        EXPECT_EQ(m_image.Pixel(30, top), Px(kB));
        EXPECT_EQ(m_image.Pixel(30, top + 1), Px(kB));
        EXPECT_EQ(m_image.Pixel(30, top + 2), Px(kA));
    }
}

TEST_F(MarkingTest, BandsAndDoorStayInsideTheWall) {
    Draw(104, 3);
    // A door over the whole height between a third and two thirds of the width.
    EXPECT_EQ(m_image.Pixel(30, 38), Px(kB));
    EXPECT_EQ(m_image.Pixel(12, 38), Px(kA));
    for (int kind : {101, 102, 103, 104}) {
        SCOPED_TRACE(kind);
        m_egl.Clear(0xFFFFFF);
        Draw(kind, 4);
        EXPECT_GT(CountB(), 0);
        for (int y = 0; y < 64; ++y) {
            for (int x = 0; x < 64; ++x) {
                if (x < 10 || x > 50 || y < 10 || y > 40) {
                    ASSERT_NE(m_image.Pixel(x, y), Px(kB)) << x << "," << y;
                }
            }
        }
    }
}

TEST_F(MarkingTest, NarrowWallsAndZeroCountsGetNoPattern) {
    Draw(101, 3, 4);
    EXPECT_EQ(CountB(), 0);
    Draw(103, 0);
    EXPECT_EQ(CountB(), 0);
}

TEST(BuildingLifts, FoundBuildingViewLiftsAndFloorBands) {
    const struct {
        int floors, raise, lift, floor;
    } cases[] = {
        {3, 100, 72, 24},    // 6 x 6 x 2, a third of it per floor
        {3, 50, 36, 24},
        {12, 100, 200, 16},  // both steps held at 10
        {5, 100, 50, 10},
        {0, 100, 72, 0},     // no floors: no band, no division by 0
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.floors);
        int lift = -1, floor = -1;
        FoundBuildingLifts(c.floors, c.raise, &lift, &floor);
        EXPECT_EQ(lift, c.lift);
        EXPECT_EQ(floor, c.floor);
    }
    // d x base line x unit x 2 / view height.
    EXPECT_EQ(BuildingWallLift(2, 480, 2, 480), 8);
    EXPECT_EQ(BuildingWallLift(4, 300, 5, 480), 25);
    EXPECT_EQ(BuildingWallLift(2, 480, 2, 0), 0);
    // Near the eye: a top below the upper two thirds of the view.
    const struct {
        int32_t top, height;
        bool near;
    } nearCases[] = {{320, 480, false}, {321, 480, true}, {250, 480, false}, {479, 480, true}, {161, 240, true},
                     {160, 240, false}, {0, 240, false}};
    for (const auto& c : nearCases) EXPECT_EQ(BuildingIsNear(c.top, c.height), c.near) << c.top << " of " << c.height;
}

MapPoint Deg(double lon, double lat) {
    return {static_cast<int32_t>(std::lround(lon * kMapUnitsPerDegree)),
            static_cast<int32_t>(std::lround(lat * kMapUnitsPerDegree))};
}

class DemoBuildingTest : public testing::Test {
protected:
    void SetUp() override {
        std::string error;
        std::filesystem::create_directories(m_dir.File("Map"));
        std::filesystem::create_directories(m_dir.File("Config"));
        ASSERT_TRUE(demostyle::WriteDemoStyle(m_dir.Path(), &error)) << error;
        ASSERT_TRUE(writers::WriteDemoLayers(m_dir.Path(), &error)) << error;
        MneDrawInit init;
        init.width = 320;
        init.height = 240;
        init.dataRoot = m_dir.Path();
        ASSERT_EQ(m_map.Initialize(init), 1);
        InstallGeometryPasses(m_map);
    }
    // A frame at step 14 (level 17) centred on the car (centre mode 1) or
    // on a point the driver moved to (centre mode 0).
    MneFrameRecord Frame(MapPoint car, int mode = 0, int step = 14, uint8_t centreMode = 1) {
        MneDrawRequest r;
        r.viewMode = static_cast<uint8_t>(mode);
        r.scaleStep = static_cast<uint16_t>(step);
        r.viewWidth = 320;
        r.viewHeight = 240;
        r.northUp = 1;
        r.centreMode = centreMode;
        r.centre = car;
        r.carPosition = car;
        EXPECT_EQ(m_map.DrawFrame(r), 1);
        return m_publication.lastRecord;
    }
    testsupport::TempDir m_dir;
    MneFixedDrawInputs m_inputs;
    CMgrCriticalSection m_lock;
    MneDrawPublication m_publication;
    CMneDrawMap m_map{&m_inputs, &m_publication, &m_lock};
};

// The first house of the district's south-west block: 127.0016-127.0019 E,
// 37.5014-37.50165 N, one floor (height value 3), information value 1.
const MapPoint kInHouse = Deg(127.00175, 37.50152);

TEST_F(DemoBuildingTest, TheBuildingUnderTheCarIsRecordedForItsFrame) {
    EXPECT_EQ(Frame(kInHouse).foundBuilding, 1);
    const MneFoundBuilding& found = m_publication.foundBuilding;
    EXPECT_EQ(found.styleId, demostyle::kAreaBuilding);
    EXPECT_EQ(found.info, 1.0);
    EXPECT_EQ(found.height, 3);
    ASSERT_GE(found.footprint.size(), 4u);
    // The footprint comes back in map units around the car.
    int32_t minX = INT32_MAX, maxX = INT32_MIN;
    for (const MapPoint& p : found.footprint) minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
    EXPECT_NEAR(minX, Deg(127.0016, 0).x, 64);
    EXPECT_NEAR(maxX, Deg(127.0019, 0).x, 64);
    // Between the houses nothing is found, whatever the frame before found.
    EXPECT_EQ(Frame(Deg(127.00205, 37.50152)).foundBuilding, 0);
}

// Only a view that follows the car looks for the building under it.
TEST_F(DemoBuildingTest, AViewAwayFromTheCarFindsNoBuilding) {
    EXPECT_EQ(Frame(kInHouse, 0, 14, 0).foundBuilding, 0);
    EXPECT_EQ(Frame(kInHouse, 0, 14, 1).foundBuilding, 1);
}

// Buildings are drawn only above level 15: the building layer is read from
// step 13 (level 16) on, not at step 12 (level 15).
TEST_F(DemoBuildingTest, TheBuildingLayerIsReadAboveLevelFifteen) {
    int fromLayer = 0;
    const MnePassHandler draw = [&](CMneDrawMap&, const MnePassContext& c) { fromLayer += c.buildingLayer; };
    m_map.SetPassHandler(MnePass::kBuildings, draw);
    const struct {
        int step;
        bool read;
    } cases[] = {{12, false}, {13, true}, {14, true}, {11, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.step);
        fromLayer = 0;
        Frame(kInHouse, 0, c.step);
        EXPECT_EQ(fromLayer > 0, c.read);
    }
}

TEST_F(DemoBuildingTest, TheBuildingInformationViewRaisesTheFoundBuilding) {
    ASSERT_EQ(Frame(kInHouse).foundBuilding, 1);
    Frame(kInHouse, 8);
    // One floor, raised 100 %: the walls are 6 x 6 x 2 = 72 pixels high,
    // the selected floor's band (red) covers the whole of them.
    const DibImage565& picture = m_publication.picture;
    int red = 0;
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x) red += picture.Pixel(x, y) == Rgb565FromColor(0x0000FF);
    EXPECT_GT(red, 72);
}

TEST_F(DemoBuildingTest, PondWithAnIslandIsFilledOnceAndOutlinedPerRing) {
    // Step 11 over the park: the pond (water) lies around 127.0171 E
    // 37.5128 N; the island's ring is outlined inside it (the water class
    // has no pen, so only the fill shows, with the island filled too: the
    // point list is one even-odd polygon).
    MneDrawRequest r;
    r.scaleStep = 11;
    r.viewWidth = 320;
    r.viewHeight = 240;
    r.northUp = 1;
    r.centreMode = 1;
    r.centre = Deg(127.0171, 37.5128);
    ASSERT_EQ(m_map.DrawFrame(r), 1);
    ScreenPoint pond, island;
    ASSERT_TRUE(m_map.Coords().MapToScreen(Deg(127.0163, 37.5127), pond, 0, 0));
    ASSERT_TRUE(m_map.Coords().MapToScreen(Deg(127.01706, 37.51267), island, 0, 0));
    for (const ScreenPoint& p : {pond, island}) {
        ASSERT_TRUE(p.x >= 0 && p.x < 320 && p.y >= 0 && p.y < 240) << p.x << "," << p.y;
    }
    const DibImage565& picture = m_publication.picture;
    EXPECT_NE(picture.Pixel(pond.x, pond.y), picture.Pixel(island.x, island.y));
}

}  // namespace
