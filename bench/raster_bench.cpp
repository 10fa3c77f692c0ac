// Fill rate of the span rasteriser and the scan converter (pixels per
// second), and the cost of anti-aliased strokes against their width, on a
// map-sized 16-bit image.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "render/aa_context.h"
#include "render/egl_draw.h"

namespace {

constexpr int32_t kWidth = 800;
constexpr int32_t kHeight = 480;

struct Surface {
    Surface() : image(kWidth, kHeight) {
        draw.Attach(image);
        dc.Attach(image);
        brush.Set(0, nullptr, 0x3080C0, 0);
        draw.SelectBrush(&brush);
    }
    DibImage565 image;
    CEglDraw draw;
    CMneDC dc;
    CEglBrush brush;
};

int CountFilled(const DibImage565& image, uint16_t value) {
    int n = 0;
    for (int32_t y = 0; y < image.Height(); ++y)
        for (int32_t x = 0; x < image.Width(); ++x) n += image.Pixel(x, y) == value;
    return n;
}

// Every row of the image as one span; arg 0 opaque, 1 half transparent,
// 2 opaque through the grey table.
void BM_Spans(benchmark::State& state) {
    Surface s;
    const float opacity = state.range(0) == 1 ? 0.5f : 1.0f;
    const int32_t grey = state.range(0) == 2 ? 1 : 0;
    for (auto _ : state) {
        for (int32_t y = 0; y < kHeight; ++y) s.draw.HLine(1, y, 1, kWidth - 2, 0x3080C0, opacity, grey);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kHeight * (kWidth - 2));
    state.SetLabel("pixels");
}
BENCHMARK(BM_Spans)->Arg(0)->Arg(1)->Arg(2);

std::vector<EglPoint> Star(int points, double cx, double cy, double r) {
    std::vector<EglPoint> pts;
    for (int i = 0; i < points; ++i) {
        const double a = -M_PI / 2 + i * 4 * M_PI / points;
        pts.push_back({static_cast<int32_t>(cx + r * std::cos(a)), static_cast<int32_t>(cy + r * std::sin(a))});
    }
    return pts;
}

std::vector<EglPoint> Circle(int points, double cx, double cy, double r) {
    std::vector<EglPoint> pts;
    for (int i = 0; i < points; ++i) {
        const double a = 2 * M_PI * i / points;
        pts.push_back({static_cast<int32_t>(cx + r * std::cos(a)), static_cast<int32_t>(cy + r * std::sin(a))});
    }
    return pts;
}

// Polygon fill: arg 0 is the number of vertices of a circle of radius 220;
// arg 1: 0 even-odd solid, 1 winding solid, 2 pattern.
void BM_PolygonFill(benchmark::State& state) {
    Surface s;
    const std::vector<EglPoint> shape = Circle(static_cast<int>(state.range(0)), 400, 240, 220);
    std::vector<uint16_t> tile(8 * 8);
    for (size_t i = 0; i < tile.size(); ++i) tile[i] = (i % 3) ? 0x3333 : 0xFFFF;
    EglPattern565 pattern;
    pattern.Create(8, 8, tile);
    const EglFillRule rule = state.range(1) == 1 ? EglFillRule::kWinding : EglFillRule::kEvenOdd;
    s.draw.Clear(0);
    s.draw.Polygon(shape.data(), static_cast<int32_t>(shape.size()), 1.0f, rule);
    const int pixels = kWidth * kHeight - CountFilled(s.image, 0);
    for (auto _ : state) {
        if (state.range(1) == 2)
            s.draw.PolygonPattern(shape.data(), static_cast<int32_t>(shape.size()), pattern, rule);
        else
            s.draw.Polygon(shape.data(), static_cast<int32_t>(shape.size()), 1.0f, rule);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * pixels);
    state.SetLabel("pixels");
}
BENCHMARK(BM_PolygonFill)->Args({16, 0})->Args({1000, 0})->Args({1000, 1})->Args({1000, 2});

// Self-crossing star (many crossings per row), even-odd.
void BM_StarFill(benchmark::State& state) {
    Surface s;
    const std::vector<EglPoint> star = Star(static_cast<int>(state.range(0)), 400, 240, 230);
    s.draw.Clear(0);
    s.draw.Polygon(star.data(), static_cast<int32_t>(star.size()), 1.0f);
    const int pixels = kWidth * kHeight - CountFilled(s.image, 0);
    for (auto _ : state) {
        s.draw.Polygon(star.data(), static_cast<int32_t>(star.size()), 1.0f);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * pixels);
    state.SetLabel("pixels");
}
BENCHMARK(BM_StarFill)->Arg(5)->Arg(51);

// A road-like zigzag of 40 segments, about 2,900 pixels long.
std::vector<EglPoint> Zigzag() {
    std::vector<EglPoint> pts;
    for (int i = 0; i <= 40; ++i) pts.push_back({20 + i * 18, 200 + ((i % 2) ? 60 : -60)});
    return pts;
}

// Anti-aliased stroke through Anti-Grain Geometry; arg = width in pixels.
void BM_AaStroke(benchmark::State& state) {
    Surface s;
    const std::vector<EglPoint> line = Zigzag();
    const int32_t width = static_cast<int32_t>(state.range(0));
    for (auto _ : state) {
        s.dc.Polyline(line.data(), static_cast<int32_t>(line.size()), width, 0x2050F0, 1);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * (static_cast<int64_t>(line.size()) - 1));
    state.SetLabel("segments");
}
BENCHMARK(BM_AaStroke)->Arg(1)->Arg(2)->Arg(4)->Arg(8)->Arg(16)->Arg(32);

// The span rasteriser's own strokes for comparison; arg 0 width, arg 1
// variant (0 stepped copies, 1 with smooth corners).
void BM_EglStroke(benchmark::State& state) {
    Surface s;
    const std::vector<EglPoint> line = Zigzag();
    CEglPen pen;
    pen.Set(0, static_cast<int32_t>(state.range(0)), 0x2050F0, 0);
    s.draw.SelectPen(&pen);
    s.draw.SetLineMode(static_cast<int32_t>(state.range(1)));
    const int32_t old = SetSmoothLines(1);
    for (auto _ : state) {
        s.draw.Polyline(line.data(), static_cast<int32_t>(line.size()), 1.0f);
        benchmark::ClobberMemory();
    }
    SetSmoothLines(old);
    state.SetItemsProcessed(state.iterations() * (static_cast<int64_t>(line.size()) - 1));
    state.SetLabel("segments");
}
BENCHMARK(BM_EglStroke)->Args({1, 0})->Args({4, 0})->Args({8, 0})->Args({1, 1})->Args({4, 1})->Args({8, 1});

}  // namespace
