// Polygon scan conversion: the span convention, fill rules, pattern fills
// and the edge buffer.
#include "render/polygon_fill.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "render/egl_draw.h"
#include "support/pixel_grid.h"

using testsupport::PixelGrid;
using testsupport::Rows;

namespace {

constexpr uint32_t kRed = 0x0000FF;
constexpr uint16_t kRed565 = 0xF800;
constexpr uint16_t kBlue565 = 0x001F;

class PolygonFillTest : public ::testing::Test {
protected:
    void Make(int32_t w, int32_t h) {
        ASSERT_EQ(image.Create(w, h), 1);
        ASSERT_EQ(draw.Attach(image), 1);
        brush.Set(0, nullptr, kRed, 0);
        draw.SelectBrush(&brush);
    }
    std::string Grid() const { return PixelGrid(image, {{0, '.'}, {kRed565, '#'}, {kBlue565, 'b'}}); }
    int Count(uint16_t value) const {
        int n = 0;
        for (int32_t y = 0; y < image.Height(); ++y)
            for (int32_t x = 0; x < image.Width(); ++x) n += image.Pixel(x, y) == value;
        return n;
    }

    DibImage565 image;
    CEglDraw draw;
    CEglBrush brush;
};

TEST_F(PolygonFillTest, RightColumnAndBottomRowStayOpen) {
    Make(12, 12);
    const EglPoint square[] = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
    EXPECT_EQ(draw.Polygon(square, 4, 1.0f), 1);
    for (int32_t y = 0; y < 12; ++y)
        for (int32_t x = 0; x < 12; ++x)
            EXPECT_EQ(image.Pixel(x, y) == kRed565, x < 10 && y < 10) << x << "," << y;

    Make(5, 5);
    const EglPoint triangle[] = {{0, 0}, {4, 0}, {0, 4}};
    draw.Polygon(triangle, 3, 1.0f);
    EXPECT_EQ(Grid(), Rows({
                          "####.",
                          "###..",
                          "##...",
                          "#....",
                          ".....",
                      }));

    // A left-leaning edge whose slope is not whole: its x is rounded up on
    // every row (row y: 7 - 1.4 y, up), the error starting at 1 - dy.
    Make(8, 6);
    const EglPoint leaning[] = {{7, 0}, {0, 5}, {7, 5}};
    draw.Polygon(leaning, 3, 1.0f);
    EXPECT_EQ(Grid(), Rows({
                          "........",
                          "......#.",
                          ".....##.",
                          "...####.",
                          "..#####.",
                          "........",
                      }));
}

TEST_F(PolygonFillTest, StarByEvenOddAndByWinding) {
    // Five points on a circle, joined every second one: a self-crossing star.
    const EglPoint star[] = {{20, 1}, {31, 35}, {2, 14}, {38, 14}, {9, 35}};
    Make(41, 41);
    draw.Polygon(star, 5, 1.0f);
    testsupport::MaybeSavePng(image, "star_even_odd");
    EXPECT_EQ(image.Pixel(20, 22), 0) << "centre pentagon is hollow";
    EXPECT_EQ(image.Pixel(20, 6), kRed565) << "top point";
    EXPECT_EQ(image.Pixel(6, 16), kRed565) << "left point";
    const int evenOdd = Count(kRed565);

    Make(41, 41);
    draw.Polygon(star, 5, 1.0f, EglFillRule::kWinding);
    testsupport::MaybeSavePng(image, "star_winding");
    EXPECT_EQ(image.Pixel(20, 22), kRed565) << "centre is filled";
    EXPECT_EQ(image.Pixel(20, 6), kRed565);
    EXPECT_GT(Count(kRed565), evenOdd + 100);
}

TEST_F(PolygonFillTest, RingWalkedTwice) {
    // The same square walked round twice: winding number 2 inside.
    const EglPoint twice[] = {{1, 1}, {5, 1}, {5, 4}, {1, 4}, {1, 1}, {5, 1}, {5, 4}, {1, 4}};
    Make(6, 5);
    draw.Polygon(twice, 8, 1.0f);
    EXPECT_EQ(Grid(), Rows({"......", "......", "......", "......", "......"}));
    draw.Polygon(twice, 8, 1.0f, EglFillRule::kWinding);
    EXPECT_EQ(Grid(), Rows({"......", ".####.", ".####.", ".####.", "......"}));
}

TEST_F(PolygonFillTest, PatternIsTiledFromTheImageOrigin) {
    // 3 x 2 pattern: "#bb" over "b##". Pixel (x, y) takes the pattern pixel
    // (x mod 3, y mod 2) wherever the polygon lies.
    EglPattern565 pattern;
    ASSERT_EQ(pattern.Create(3, 2, {kRed565, kBlue565, kBlue565, kBlue565, kRed565, kRed565}), 1);
    Make(10, 6);
    const EglPoint rect[] = {{3, 1}, {8, 1}, {8, 5}, {3, 5}};
    EXPECT_EQ(draw.PolygonPattern(rect, 4, pattern), 1);
    EXPECT_EQ(Grid(), Rows({
                          "..........",
                          "...b##b#..",
                          "...#bb#b..",
                          "...b##b#..",
                          "...#bb#b..",
                          "..........",
                      }));
    // A neighbour drawn separately (partly off the left edge) continues the
    // same tiling without a seam.
    const EglPoint left[] = {{-4, 1}, {3, 1}, {3, 3}, {-4, 3}};
    draw.PolygonPattern(left, 4, pattern);
    EXPECT_EQ(Grid(), Rows({
                          "..........",
                          "b##b##b#..",
                          "#bb#bb#b..",
                          "...b##b#..",
                          "...#bb#b..",
                          "..........",
                      }));
    EglPattern565 empty;
    EXPECT_EQ(draw.PolygonPattern(rect, 4, empty), 0);
    EXPECT_EQ(empty.Create(0, 2, {}), 0);
    EXPECT_EQ(empty.Create(2, 2, {1, 2, 3}), 0) << "too few pixels";
}

TEST_F(PolygonFillTest, BrushGreyAndOpacityReachTheSpans) {
    Make(4, 2);
    brush.Set(0, nullptr, kRed, 1);
    const EglPoint rect[] = {{0, 0}, {4, 0}, {4, 2}, {0, 2}};
    draw.Polygon(rect, 4, 1.0f);
    EXPECT_EQ(image.Pixel(0, 0), GreyTable565[kRed565]);
    draw.Clear(0);
    brush.Set(0, nullptr, 0xFFFFFF, 0);
    draw.Polygon(rect, 4, 0.5f);
    EXPECT_EQ(image.Pixel(1, 1), 0x7BEF);
}

TEST_F(PolygonFillTest, RowsOutsideTheImageAreSkipped) {
    // A far-off vertex: the rows above the image are skipped in one jump,
    // and the visible rows come out as if every row had been walked.
    const int32_t kAbove = 5000;
    const EglPoint farApex[] = {{-30, -kAbove}, {0, 20}, {12, 20}};
    Make(13, 21);
    draw.Polygon(farApex, 3, 1.0f);
    const std::string small = Grid();

    DibImage565 tall(13, 21 + kAbove);
    CEglDraw tallDraw;
    tallDraw.Attach(tall);
    tallDraw.SelectBrush(&brush);
    const EglPoint shifted[] = {{-30, 0}, {0, 20 + kAbove}, {12, 20 + kAbove}};
    tallDraw.Polygon(shifted, 3, 1.0f);
    std::string tallGrid;
    for (int32_t y = kAbove; y < tall.Height(); ++y) {
        if (y > kAbove) tallGrid += '\n';
        for (int32_t x = 0; x < 13; ++x) tallGrid += tall.Pixel(x, y) == kRed565 ? '#' : '.';
    }
    EXPECT_EQ(small, tallGrid);
    EXPECT_NE(small.find('#'), std::string::npos);

    // Entirely below or above: nothing, and still 1.
    Make(4, 4);
    const EglPoint below[] = {{0, 10}, {4, 10}, {2, 14}};
    EXPECT_EQ(draw.Polygon(below, 3, 1.0f), 1);
    const EglPoint above[] = {{0, -10}, {4, -10}, {2, -1}};
    EXPECT_EQ(draw.Polygon(above, 3, 1.0f), 1);
    EXPECT_EQ(Count(kRed565), 0);
}

TEST_F(PolygonFillTest, LargePolygonGrowsTheEdgeBuffer) {
    Make(220, 220);
    EXPECT_EQ(draw.Filler().Capacity(), CEglScanFill::kInitialEdges);
    std::vector<EglPoint> circle(1500);
    for (size_t i = 0; i < circle.size(); ++i) {
        const double a = 2 * M_PI * static_cast<double>(i) / circle.size();
        circle[i] = {static_cast<int32_t>(std::lround(110 + 100 * std::cos(a))),
                     static_cast<int32_t>(std::lround(110 + 100 * std::sin(a)))};
    }
    EXPECT_EQ(draw.Polygon(circle.data(), 1500, 1.0f), 1);
    EXPECT_EQ(draw.Filler().Capacity(), 1500);
    EXPECT_NEAR(Count(kRed565), M_PI * 100 * 100, M_PI * 100 * 100 * 0.01);
    EXPECT_EQ(image.Pixel(110, 110), kRed565);
    EXPECT_EQ(image.Pixel(110, 11), kRed565);
    EXPECT_EQ(image.Pixel(110, 5), 0);
}

TEST_F(PolygonFillTest, ExtremeCoordinatesAreSafe) {
    Make(8, 8);
    const EglPoint huge[] = {{INT32_MIN, INT32_MIN}, {INT32_MAX, 3}, {INT32_MIN + 1, INT32_MAX}};
    EXPECT_EQ(draw.Polygon(huge, 3, 1.0f), 1);
    EXPECT_EQ(draw.Polygon(huge, 3, 1.0f, EglFillRule::kWinding), 1);
    CEglPen pen;
    pen.Set(0, 3, kRed, 0);
    draw.SelectPen(&pen);
    EXPECT_EQ(draw.Polyline(huge, 3, 0.5f), 1);
}

}  // namespace
