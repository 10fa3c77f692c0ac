// Span rasteriser: addressing, spans, rectangles, lines, blending and grey.
#include "render/egl_draw.h"

#include <gtest/gtest.h>

#include <cstring>

#include "support/pixel_grid.h"

using testsupport::PixelGrid;
using testsupport::Rows;

namespace {

constexpr uint32_t kRed = 0x0000FF;    // 0x00BBGGRR
constexpr uint32_t kBlue = 0xFF0000;
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint16_t kRed565 = 0xF800;
constexpr uint16_t kBlue565 = 0x001F;

class EglDrawTest : public ::testing::Test {
protected:
    void Make(int32_t w, int32_t h) {
        ASSERT_EQ(image.Create(w, h), 1);
        ASSERT_EQ(draw.Attach(image), 1);
    }
    // '.' black, '#' red, 'b' blue.
    std::string Grid() const { return PixelGrid(image, {{0, '.'}, {kRed565, '#'}, {kBlue565, 'b'}}); }

    DibImage565 image;
    CEglDraw draw;
};

TEST_F(EglDrawTest, AttachComputesStrideAndRefusesNull) {
    struct Case {
        int32_t width;
        int32_t stride;
    } cases[] = {{1, 4}, {2, 4}, {3, 8}, {4, 8}, {5, 12}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        std::vector<uint8_t> buf(64);
        CEglDraw d;
        ASSERT_EQ(d.Attach(buf.data(), c.width, 2), 1);
        EXPECT_EQ(d.Stride(), c.stride);
    }
    CEglDraw d;
    EXPECT_EQ(d.Attach(nullptr, 4, 4), 0);
    EXPECT_EQ(d.Pixels(), nullptr);
    EXPECT_EQ(d.Width(), 0);
}

TEST_F(EglDrawTest, RowsAreStoredBottomUp) {
    Make(3, 2);  // stride 8
    EXPECT_EQ(draw.SetPixel(0, 0, kRed, 1.0f, 0), 0u);
    EXPECT_EQ(draw.SetPixel(2, 1, kBlue, 1.0f, 0), 0u);
    const uint8_t* b = image.Bits();
    // (0, 0) is the first pixel of the last row in memory; (2, 1) is in the first.
    EXPECT_EQ(b[8] | (b[9] << 8), kRed565);
    EXPECT_EQ(b[4] | (b[5] << 8), kBlue565);
    EXPECT_EQ(draw.SetPixel(0, 0, kBlue, 1.0f, 0), kRed565) << "returns the old value";
    // Outside: 0xFFFFFF and nothing written.
    const std::vector<uint8_t> before(b, b + image.SizeBytes());
    EXPECT_EQ(draw.SetPixel(3, 0, kRed, 1.0f, 0), 0xFFFFFFu);
    EXPECT_EQ(draw.SetPixel(0, -1, kRed, 1.0f, 0), 0xFFFFFFu);
    EXPECT_EQ(draw.SetPixel(0, 2, kRed, 1.0f, 0), 0xFFFFFFu);
    EXPECT_EQ(std::memcmp(before.data(), b, before.size()), 0);
}

TEST_F(EglDrawTest, ClearFillsTheRowPaddingToo) {
    Make(3, 2);
    EXPECT_EQ(draw.Clear(kRed), 1);
    const uint8_t* b = image.Bits();
    for (size_t i = 0; i < image.SizeBytes(); i += 2) EXPECT_EQ(b[i] | (b[i + 1] << 8), kRed565) << i;
}

TEST_F(EglDrawTest, HorizontalSpansAtTheClipEdges) {
    struct Case {
        const char* name;
        int32_t penWidth, y, x1, x2;
        std::string expected;
    } cases[] = {
        {"single odd pixel", 1, 1, 5, 5, Rows({"........", ".....#..", "........"})},
        {"single even pixel", 1, 1, 4, 4, Rows({"........", "....#...", "........"})},
        {"odd to even", 1, 1, 1, 6, Rows({"........", ".######.", "........"})},
        {"reversed ends", 1, 0, 6, 3, Rows({"...####.", "........", "........"})},
        {"wider than the row", 1, 2, -10, 18, Rows({"........", "........", "########"})},
        {"left of the image", 1, 1, -10, -1, Rows({"........", "........", "........"})},
        {"right of the image", 1, 1, 8, 20, Rows({"........", "........", "........"})},
        {"row below", 1, 3, 0, 7, Rows({"........", "........", "........"})},
        {"row above", 1, -1, 0, 7, Rows({"........", "........", "........"})},
        {"width 0 is one pixel", 0, 1, 2, 4, Rows({"........", "..###...", "........"})},
        {"width 3 centred", 3, 1, 6, 9, Rows({"......##", "......##", "......##"})},
        {"width 2 goes up", 2, 0, 0, 1, Rows({"##......", "........", "........"})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Make(8, 3);
        EXPECT_EQ(draw.HLine(c.penWidth, c.y, c.x1, c.x2, kRed, 1.0f, 0), 1);
        EXPECT_EQ(Grid(), c.expected);
    }
}

TEST_F(EglDrawTest, VerticalSpansAndRectangles) {
    Make(6, 5);
    draw.VLine(1, 0, -3, 1, kRed, 1.0f, 0);
    draw.VLine(1, 6, 0, 4, kRed, 1.0f, 0);     // right of the image
    draw.VLine(2, 5, 4, 3, kBlue, 1.0f, 0);    // columns 4 and 5, rows 3..4
    draw.FillRect(4, -2, 1, 1, kBlue, 1.0f, 0);  // corners inclusive, clipped, any order
    draw.FillRect(-5, 7, 2, 9, kRed, 1.0f, 0);   // wholly below
    EXPECT_EQ(Grid(), Rows({
                          "#bbbb.",
                          "#bbbb.",
                          "......",
                          "....bb",
                          "....bb",
                      }));
}

TEST_F(EglDrawTest, HalfWhiteOverBlack) {
    Make(7, 1);
    draw.HLine(1, 0, 1, 6, kWhite, 0.5f, 0);
    // The single ends (1 and 6) blend per channel with an 8-bit weight;
    // the pairs between with a 5-bit one. Both give 15/31/15 here.
    for (int32_t x = 1; x <= 6; ++x) {
        SCOPED_TRACE(x);
        const uint16_t p = image.Pixel(x, 0);
        EXPECT_EQ(p >> 11, 15);
        EXPECT_EQ((p >> 5) & 0x3F, 31);
        EXPECT_EQ(p & 0x1F, 15);
    }
    EXPECT_EQ(image.Pixel(0, 0), 0);
}

TEST_F(EglDrawTest, PairBlendMatchesSingleBlendWithinOneStep) {
    // Every weight, a few colour pairs: the word path and the pixel path
    // agree closely. The word path weighs with 5 bits and truncates each
    // product apart, so it may fall up to two steps short; a channel that
    // carried into its neighbour would be far off.
    const uint32_t colours[] = {0x000000, 0xFFFFFF, 0x123456, 0x80FF00, 0x0000FF};
    for (int step = 0; step <= 20; ++step) {
        const float opacity = step / 20.0f;
        for (uint32_t under : colours) {
            for (uint32_t over : colours) {
                Make(4, 1);
                draw.HLine(1, 0, 0, 3, under, 1.0f, 0);
                draw.HLine(1, 0, 0, 3, over, opacity, 0);  // pixel 0..1 and 2..3 as words
                draw.SetPixel(0, 0, under, 1.0f, 0);
                draw.SetPixel(0, 0, over, opacity, 0);     // pixel 0 alone
                const uint16_t single = image.Pixel(0, 0), pair = image.Pixel(2, 0);
                SCOPED_TRACE(testing::Message() << opacity << " " << std::hex << under << " " << over);
                EXPECT_NEAR(single >> 11, pair >> 11, 2);
                EXPECT_NEAR((single >> 5) & 0x3F, (pair >> 5) & 0x3F, 3);
                EXPECT_NEAR(single & 0x1F, pair & 0x1F, 2);
            }
        }
    }
}

TEST_F(EglDrawTest, GreyTableAnchorsAndGreyWrites) {
    EXPECT_EQ(GreyTable565[0xFFFF], 0xFFDF);
    EXPECT_EQ(GreyTable565[0x001F], 0x18C3);
    EXPECT_EQ(GreyTable565[0x07E0], 0x94B2);
    EXPECT_EQ(GreyTable565[0xF800], 0x4A49);
    EXPECT_EQ(GreyTable565[0x0000], 0x0000);
    for (uint32_t i = 0; i < 65536; i += 97) {
        const uint16_t g = GreyTable565[i];
        EXPECT_EQ(g >> 11, g & 0x1F) << i;
        EXPECT_LE(std::abs(static_cast<int>((g >> 5) & 0x3F) - 2 * (g & 0x1F)), 3) << i;
    }
    EXPECT_EQ(GreyColor(kRed), ColorFromRgb565(0x4A49));

    Make(6, 1);
    draw.HLine(1, 0, 0, 5, kRed, 1.0f, 1);
    for (int32_t x = 0; x < 6; ++x) EXPECT_EQ(image.Pixel(x, 0), 0x4A49);
    // Blending greys the blended result, not the new colour alone.
    draw.Clear(0);
    draw.HLine(1, 0, 1, 4, kWhite, 0.5f, 1);
    EXPECT_EQ(image.Pixel(1, 0), GreyTable565[0x7BEF]);
    EXPECT_EQ(image.Pixel(2, 0), GreyTable565[0x7BEF]);
}

TEST_F(EglDrawTest, SteppedLines) {
    Make(7, 4);
    draw.LineStep(0, 0, 6, 3, kRed, 1.0f, 0);  // x-major, slope 0.5 from the pixel centre
    EXPECT_EQ(Grid(), Rows({
                          "#......",
                          ".##....",
                          "...##..",
                          ".....##",
                      }));
    Make(4, 5);
    draw.LineStep(3, 4, 0, 0, kRed, 1.0f, 0);  // y-major, walked backwards
    EXPECT_EQ(Grid(), Rows({
                          "#...",
                          ".#..",
                          "..#.",
                          "..#.",
                          "...#",
                      }));
}

TEST_F(EglDrawTest, ThickStrokes) {
    // Diagonal of width 0 draws nothing; axis-parallel of width 0 one pixel.
    Make(6, 6);
    EXPECT_EQ(draw.ThickLine(0, 0, 0, 5, 5, kRed, 1.0f, 0), 1);
    EXPECT_EQ(Grid(), Rows({"......", "......", "......", "......", "......", "......"}));
    draw.ThickLine(0, 1, 2, 4, 2, kRed, 1.0f, 0);
    EXPECT_EQ(Grid(), Rows({"......", "......", ".####.", "......", "......", "......"}));

    // Width 2: copies shifted by -1 and 0 on both axes.
    Make(6, 6);
    draw.ThickLine(2, 1, 1, 4, 4, kRed, 1.0f, 0);
    EXPECT_EQ(Grid(), Rows({
                          "##....",
                          "###...",
                          ".###..",
                          "..###.",
                          "...##.",
                          "......",
                      }));
}

TEST_F(EglDrawTest, ThickStrokeIsTheUnionOfItsShiftedOnePixelLines) {
    // Reference: the w x w one-pixel lines, one by one, on a second image.
    // Opaque strokes must cover exactly that union, shallow or steep, either
    // direction, cut by the buffer's edges; blended ones blend every copy.
    struct Case {
        int32_t w, x1, y1, x2, y2;
        float opacity;
    } cases[] = {
        {2, 3, 4, 30, 11, 1.0f},   {3, 30, 2, 5, 17, 1.0f},    {4, 6, 25, 13, 1, 1.0f},  {5, 20, 3, 17, 24, 1.0f},
        {7, -9, -4, 40, 29, 1.0f}, {6, 35, -8, -6, 31, 1.0f},  {9, 2, 2, 3, 27, 1.0f},   {8, 1, 13, 33, 14, 1.0f},
        {3, 10, 10, 17, 17, 1.0f}, {2, 5, 20, 200, 90, 1.0f},  {4, 4, 4, 25, 13, 0.5f},  {1, 3, 5, 28, 9, 1.0f},
        // Long lines mostly outside the buffer.
        {6, -5000, 10, 6000, 20, 1.0f}, {3, 15, -70000, 16, 90000, 1.0f}, {5, -900, -880, 900, 920, 1.0f},
    };
    DibImage565 reference;
    CEglDraw oracle;
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.w << " (" << c.x1 << "," << c.y1 << ")-(" << c.x2 << "," << c.y2
                                          << ") " << c.opacity);
        Make(34, 28);
        draw.FillRect(0, 0, 33, 27, kBlue, 1.0f, 0);
        draw.ThickLine(c.w, c.x1, c.y1, c.x2, c.y2, kRed, c.opacity, 0);
        ASSERT_EQ(reference.Create(34, 28), 1);
        ASSERT_EQ(oracle.Attach(reference), 1);
        oracle.FillRect(0, 0, 33, 27, kBlue, 1.0f, 0);
        const int32_t s = -(c.w / 2);
        for (int32_t i = s; i < s + c.w; ++i)
            for (int32_t j = s; j < s + c.w; ++j)
                oracle.LineStep(c.x1 + i, c.y1 + j, c.x2 + i, c.y2 + j, kRed, c.opacity, 0);
        EXPECT_EQ(0, std::memcmp(image.Bits(), reference.Bits(), image.SizeBytes()));
    }
}

TEST_F(EglDrawTest, SmoothVariantNeedsLineModeAndTheGlobalSwitch) {
    const EglPoint pts[] = {{0, 0}, {7, 3}};
    CEglPen pen;
    pen.Set(CEglPen::kStyleSolid, 1, kWhite, 0);

    auto render = [&](int32_t lineMode, int32_t smooth) {
        Make(8, 4);
        draw.SelectPen(&pen);
        draw.SetLineMode(lineMode);
        const int32_t old = SetSmoothLines(smooth);
        EXPECT_EQ(draw.Polyline(pts, 2, 1.0f), 1);
        SetSmoothLines(old);
        return std::vector<uint8_t>(image.Bits(), image.Bits() + image.SizeBytes());
    };
    const auto stepped = render(0, 1);
    Make(8, 4);
    draw.LineStep(0, 0, 7, 3, kWhite, 1.0f, 0);
    const std::vector<uint8_t> reference(image.Bits(), image.Bits() + image.SizeBytes());
    EXPECT_EQ(stepped, reference);
    EXPECT_EQ(render(1, 0), reference) << "line mode 1 alone keeps the stepped variant";
    EXPECT_NE(render(1, 1), reference);
}

TEST_F(EglDrawTest, SmoothLineCoverage) {
    Make(5, 3);
    draw.LineSmooth(0, 0, 4, 2, kWhite, 0.0f, 0);
    // Ends opaque; between them each column splits its coverage between the
    // two rows around the exact y (x = 1: y = 0.5, x = 2: y = 1, x = 3: 1.5).
    const int expectedGreen[3][5] = {
        {63, 31, 0, 0, 0},
        {0, 31, 63, 31, 0},
        {0, 0, 0, 31, 63},
    };
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            SCOPED_TRACE(testing::Message() << x << "," << y);
            EXPECT_NEAR((image.Pixel(x, y) >> 5) & 0x3F, expectedGreen[y][x], 1);
        }
}

TEST_F(EglDrawTest, RefusalsOfPensAndBrushes) {
    Make(4, 4);
    const EglPoint two[] = {{0, 0}, {3, 3}};
    EXPECT_EQ(draw.Polyline(two, 2, 1.0f), 0) << "the default pen is a null pen";
    EXPECT_EQ(draw.PolylineClosed(two, 2, 1.0f), 0);
    EXPECT_EQ(draw.Polygon(two, 2, 1.0f), 0) << "the default brush is a null brush";
    CEglBrush brush;
    brush.Set(0, nullptr, kRed, 0);
    draw.SelectBrush(&brush);
    EXPECT_EQ(draw.Polygon(two, 2, 1.0f), 1);
    EXPECT_EQ(draw.Polygon(two, 1, 1.0f), 0);
    EXPECT_EQ(draw.Polygon(nullptr, 4, 1.0f), 0);
    EXPECT_EQ(Grid(), Rows({"....", "....", "....", "...."}));
    CEglPen pen;
    pen.Set(0, 1, kRed, 0);
    CEglPen* old = draw.SelectPen(&pen);
    EXPECT_NE(old, nullptr);
    EXPECT_EQ(draw.SelectPen(old), &pen);
    draw.SelectPen(&pen);
    EXPECT_EQ(draw.Polyline(two, 1, 1.0f), 0);
    EXPECT_EQ(draw.SetLineMode(1), 0);
    EXPECT_EQ(draw.SetLineMode(0), 1);
}

TEST_F(EglDrawTest, ClosedOutline) {
    Make(5, 5);
    CEglPen pen;
    pen.Set(0, 1, kRed, 0);
    draw.SelectPen(&pen);
    const EglPoint box[] = {{0, 0}, {4, 0}, {4, 4}, {0, 4}};
    EXPECT_EQ(draw.PolylineClosed(box, 4, 1.0f), 1);
    EXPECT_EQ(Grid(), Rows({"#####", "#...#", "#...#", "#...#", "#####"}));
}

TEST_F(EglDrawTest, DashedLines) {
    EglDashStyle style;
    style.colorEven = kRed;
    style.colorOdd = kBlue;
    style.width = 1;
    const EglPoint line[] = {{0, 0}, {39, 0}};
    // Mode 1: pieces 0..10 and 20..30 drawn, the odd ones are gaps.
    Make(40, 1);
    style.mode = 1;
    EXPECT_EQ(draw.PolylineDashed(line, 2, style), 1);
    EXPECT_EQ(Grid(), "###########.........###########.........");
    // Mode 0: every piece, alternating colours; each piece starts on the
    // previous piece's last pixel.
    Make(40, 1);
    style.mode = 0;
    draw.PolylineDashed(line, 2, style);
    EXPECT_EQ(Grid(), "##########bbbbbbbbbb##########bbbbbbbbbb");
    // The piece index carries into the next segment, the lengths restart.
    Make(12, 12);
    style.mode = 1;
    style.pieces[0] = style.pieces[1] = style.pieces[2] = style.pieces[3] = 4;
    const EglPoint bend[] = {{0, 0}, {6, 0}, {6, 11}};
    draw.PolylineDashed(bend, 3, style);
    EXPECT_EQ(Grid(), Rows({
                          "#####.......",
                          "............",
                          "............",
                          "............",
                          "......#.....",
                          "......#.....",
                          "......#.....",
                          "......#.....",
                          "......#.....",
                          "............",
                          "............",
                          "............",
                      }));
    EXPECT_EQ(draw.PolylineDashed(line, 1, style), 0);
}

}  // namespace
