// Frame time of the map renderer at 800 x 480: a pan of 100 frames across
// the demo district and across the 25 x 25 km synthetic city, each frame
// moved 40 pixels east and 20 pixels north of the last, flat at step 12 and
// bird's-eye at step 11. Reported per frame as the median and the worst of
// the pan (counters median_ms and worst_ms); the frame is what the renderer
// draws with the geometry passes installed (set-up, visible tiles,
// background, areas, lines, polygons, buildings; labels and overlays come
// with their own passes).
//
// Beside it, in the same run, the peer: the roads and areas of the city's
// flat pan at steps 12 down to 6 (the Base layer's areas and its line
// classes 2, 4 and 8, as the passes convert and gate them: the same screen
// polygons and polylines, widths and colours) drawn by cairo on an
// RGB16_565 image surface, aliased like our default line mode, against our
// renderer's time in those four passes of the same frame. Both sides are
// processor time of the drawing thread, without frame set-up, clear or
// publication. One line per step: shapes a frame, ours, cairo (medians over
// the pan, ms) and ours / cairo; also as counters.
//
// The data roots are written once into $NAVI_DRAW_BENCH_ROOT (default
// /tmp/navi_draw_bench) and reused while their files are there. With
// $NAVI_DRAW_BENCH_PNG set to a folder, the comparison writes the 50th frame
// of each step there as both drew it (stepN_ours.png, stepN_cairo.png).
#include <benchmark/benchmark.h>
#include <cairo.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "bench/thread_cpu_clock.h"
#include "platform/paths.h"
#include "render/draw_map.h"
#include "render/pass_geometry.h"
#include "tools/writers/demo_style.h"
#include "tools/writers/layer_writer.h"
#include "tools/writers/synthetic_city.h"

namespace {

std::string BenchRoot() {
    const char* env = std::getenv("NAVI_DRAW_BENCH_ROOT");
    return env && *env ? env : "/tmp/navi_draw_bench";
}

void Check(bool ok, const std::string& error) {
    if (!ok) {
        std::fprintf(stderr, "draw_frame_bench: %s\n", error.c_str());
        std::abort();
    }
}

std::string DemoRoot() {
    const std::string root = BenchRoot() + "/demo";
    if (!platform::FileExists(platform::ResolveUnder(root, "Map\\TpegLink.map"))) {
        std::string error;
        Check(platform::MakeDirectories(root + "/Map") && platform::MakeDirectories(root + "/Config"), "folders");
        Check(demostyle::WriteDemoStyle(root, &error) && writers::WriteDemoLayers(root, &error), error);
    }
    return root;
}

// The city's centre, remembered beside its files.
std::string CityRoot(MapPoint* centre) {
    const std::string root = BenchRoot() + "/city25";
    const auto progress = [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); };
    const writers::SyntheticCity city = writers::BuildSyntheticCity(2 * 126 * 126, 1);
    *centre = {(city.southWest.x + city.northEast.x) / 2, (city.southWest.y + city.northEast.y) / 2};
    if (!platform::FileExists(platform::ResolveUnder(root, "Map\\TpegLink.map"))) {
        std::string error;
        Check(platform::MakeDirectories(root + "/Map") && platform::MakeDirectories(root + "/Config"), "folders");
        Check(demostyle::WriteDemoStyle(root, &error) && writers::WriteSyntheticLayers(city, 1, root, &error, progress),
              error);
    }
    return root;
}

// Draws the 100 frames of a pan from start, each moved 40 px east and 20 px
// north of the last (or by `move` in map units when given); after each
// frame `after` hears its time in ms.
void RunPan(CMneDrawMap& map, MapPoint start, int bird, int step, const std::function<void(double)>& after,
            const MapPoint* move = nullptr) {
    MapPoint centre = start;
    for (int i = 0; i < 100; ++i) {
        MneDrawRequest r;
        r.viewWidth = 800;
        r.viewHeight = 480;
        r.centreMode = 1;
        r.northUp = bird ? 0 : 1;
        r.birdView = static_cast<uint8_t>(bird);
        r.scaleStep = static_cast<uint16_t>(step);
        r.centre = centre;
        const auto t0 = std::chrono::steady_clock::now();
        map.DrawFrame(r);
        const auto t1 = std::chrono::steady_clock::now();
        after(std::chrono::duration<double, std::milli>(t1 - t0).count());
        MapPoint pixel;
        if (move) {
            centre.x += move->x;
            centre.y += move->y;
        } else if (map.Coords().ScreenToMap(ScreenPoint{440, 220}, pixel, 0)) {
            const MapPoint origin = map.Coords().GetCentre();
            centre.x += pixel.x - origin.x;
            centre.y += pixel.y - origin.y;
        }
    }
}

// A renderer on a data root with the geometry passes installed.
struct BenchRenderer {
    MneFixedDrawInputs inputs;
    CMgrCriticalSection lock;
    MneDrawPublication publication;
    CMneDrawMap map{&inputs, &publication, &lock};

    bool Open(const std::string& root) {
        MneDrawInit init;
        init.dataRoot = root;
        if (!map.Initialize(init)) return false;
        InstallGeometryPasses(map);
        return true;
    }
};

void Pan(benchmark::State& state, const std::string& root, MapPoint start, int bird) {
    BenchRenderer renderer;
    if (!renderer.Open(root)) {
        state.SkipWithError("the renderer did not open the data root");
        return;
    }
    std::vector<double> frameMs;
    for (auto _ : state) {
        frameMs.clear();
        RunPan(renderer.map, start, bird, bird ? 11 : 12, [&](double ms) { frameMs.push_back(ms); });
    }
    std::sort(frameMs.begin(), frameMs.end());
    state.counters["median_ms"] = frameMs[frameMs.size() / 2];
    state.counters["worst_ms"] = frameMs.back();
    state.SetItemsProcessed(state.iterations() * 100);
}

void BM_DemoPanFlat(benchmark::State& state) {
    Pan(state, DemoRoot(),
        {static_cast<int32_t>(127.005 * kMapUnitsPerDegree), static_cast<int32_t>(37.505 * kMapUnitsPerDegree)}, 0);
}
void BM_DemoPanBird(benchmark::State& state) {
    Pan(state, DemoRoot(),
        {static_cast<int32_t>(127.005 * kMapUnitsPerDegree), static_cast<int32_t>(37.505 * kMapUnitsPerDegree)}, 1);
}
void BM_CityPanFlat(benchmark::State& state) {
    MapPoint centre;
    const std::string root = CityRoot(&centre);
    Pan(state, root, centre, 0);
}
void BM_CityPanBird(benchmark::State& state) {
    MapPoint centre;
    const std::string root = CityRoot(&centre);
    Pan(state, root, centre, 1);
}

// ---- The cairo peer ----------------------------------------------------------------

// What a timed interval with nothing in it measures (the clock's own cost,
// a system call on some machines), taken off every interval below.
double EmptyIntervalMs() {
    std::vector<double> empty;
    for (int i = 0; i < 1001; ++i) {
        const double t0 = benchclock::ThreadCpuMs();
        empty.push_back(benchclock::ThreadCpuMs() - t0);
    }
    std::sort(empty.begin(), empty.end());
    return empty[empty.size() / 2];
}

// The map offset of 40 px east and 20 px north in a flat frame at step 12.
MapPoint PanMoveAtStep12(CMneDrawMap& map, MapPoint at) {
    MneDrawRequest r;
    r.viewWidth = 800;
    r.viewHeight = 480;
    r.centreMode = 1;
    r.northUp = 1;
    r.scaleStep = 12;
    r.centre = at;
    map.DrawFrame(r);
    MapPoint pixel;
    if (!map.Coords().ScreenToMap(ScreenPoint{440, 220}, pixel, 0)) return {0, 0};
    const MapPoint origin = map.Coords().GetCentre();
    return {pixel.x - origin.x, pixel.y - origin.y};
}

// One shape of a frame: a filled polygon or a stroked polyline.
struct Shape {
    bool fill = false;
    std::vector<ScreenPoint> points;
    uint32_t colour = 0;  // 0x00BBGGRR
    double alpha = 1.0;
    int width = 1;
};

// The Base layer's areas (type 1) and lines (types 2, 4, 8) of the frame
// just drawn, converted and gated as the passes convert and gate them: the
// same screen polygons, their outlines without the tile seams (runs of
// consecutive drawn edges joined into one polyline), the same polylines.
void RecordRoadsAndAreas(CMneDrawMap& map, std::vector<Shape>& shapes) {
    shapes.clear();
    NcConfigMap& style = map.Style();
    const int level = map.ScaleLevel();
    const int styleLevel = CMneDrawMap::StyleLevel(level);
    const MneGeometryOptions options = GeometryOptionsFromSettings();
    std::vector<TileLocalPoint> local;
    std::vector<ScreenPoint> edge;
    map.ForEachTileBlock(CMneDrawMap::kBase, [&](const VisibleTile& tile, const uint8_t* block, uint32_t size) {
        const MneBlockView view(block, size);
        for (const int type : {1, 2, 4, 8}) {
            MneWalkLayerBlock(MneLayerKind::kBase, block, size, [&](const MneLayerRecord& r) {
                if (r.groupType != type || !BoxMeetsRect(r.bytes, tile.rect[0])) return true;
                const bool area = type == 1;
                const StyleDrawStyle* pen = nullptr;
                const StyleColourRef* brush = nullptr;
                uint16_t code = 0, flags = 0;
                if (area) {
                    if (styleLevel < style.GetClassLevel(r.styleIndex) ||
                        !style.GetClassStyle(r.styleIndex, &pen, &brush, 0, 0) ||
                        !style.GetClassValues(r.styleIndex, &code, &flags))
                        return true;
                    if ((level > 8 && code == 1) || (code == 200 && level < options.fieldLimit2d)) return true;
                } else if (style.GetRangedLevel(r.styleIndex) > styleLevel ||
                           !style.GetRangedStyle(r.styleIndex, &pen)) {
                    return true;
                }
                MneStoredPoints points;
                if (!StoredPointsOf(view, r.bytes, static_cast<uint16_t>(r.bytes[8] | r.bytes[9] << 8), &points))
                    return true;
                local.resize(points.count);
                for (uint32_t i = 0; i < points.count; ++i) local[i] = StoredPointAt(points, i);
                Shape shape;
                map.Coords().LocalPointsToScreen(static_cast<int>(points.count), local.data(), shape.points,
                                                 area ? kClipPolygon : kClipPolyline, 0, 1);
                if (shape.points.size() < (area ? 3u : 2u)) return true;
                if (!area) {
                    shape.colour = pen->colour;
                    shape.width = std::max<int>(pen->width, 1);
                    shapes.push_back(std::move(shape));
                    return true;
                }
                const bool halfTone = (flags >> 8) == 1;
                if (brush) {
                    shape.fill = true;
                    shape.colour = brush->colour;
                    shape.alpha = halfTone ? 0.5 : 1.0;
                    shapes.push_back(shape);
                }
                if (!pen || halfTone || (brush && brush->kind == kColourRefPatternKind)) return true;
                Shape outline;
                outline.colour = pen->colour;
                outline.width = 1;
                auto flush = [&] {
                    if (outline.points.size() >= 2) shapes.push_back(outline);
                    outline.points.clear();
                };
                for (uint32_t i = 0; i + 1 < points.count; ++i) {
                    if (IsSeamEdge(local[i], local[i + 1])) {
                        flush();
                        continue;
                    }
                    if (map.Coords().LocalPointsToScreen(2, &local[i], edge, kClipPolyline, 0, 1) < 2) {
                        flush();
                        continue;
                    }
                    if (!outline.points.empty() && !SamePoint(outline.points.back(), edge.front())) flush();
                    if (outline.points.empty()) outline.points.push_back(edge.front());
                    outline.points.insert(outline.points.end(), edge.begin() + 1, edge.end());
                }
                flush();
                return true;
            });
        }
    });
}

void CairoDraw(cairo_t* cr, const std::vector<Shape>& shapes) {
    for (const Shape& s : shapes) {
        cairo_new_path(cr);
        cairo_move_to(cr, s.points[0].x, s.points[0].y);
        for (size_t i = 1; i < s.points.size(); ++i) cairo_line_to(cr, s.points[i].x, s.points[i].y);
        const uint32_t c = s.colour;
        cairo_set_source_rgba(cr, (c & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0, ((c >> 16) & 0xFF) / 255.0, s.alpha);
        if (s.fill) {
            cairo_close_path(cr);
            cairo_fill(cr);
        } else {
            cairo_set_line_width(cr, s.width);
            cairo_stroke(cr);
        }
    }
}

// The city's flat pan at one display step, the same ground at every step
// (each frame moved by what 40 px east and 20 px north are at step 12).
// Ours: the processor time of the four passes that draw the Base layer's
// areas and line classes 2, 4 and 8 (tile blocks, walking, conversion,
// clipping and rasterising; no frame set-up, clear or publication). Cairo:
// the processor time of drawing the recorded shapes of the same frame onto
// an RGB16_565 image surface, aliased like our default line mode, cleared
// beforehand outside the timing. Both are medians over the pan, each
// interval less the empty interval.
void BM_CityRoadsAndAreasVsCairo(benchmark::State& state) {
    const int step = static_cast<int>(state.range(0));
    MapPoint start;
    const std::string root = CityRoot(&start);
    BenchRenderer renderer;
    if (!renderer.Open(root)) {
        state.SkipWithError("the renderer did not open the data root");
        return;
    }
    CMneDrawMap& map = renderer.map;
    const MapPoint move = PanMoveAtStep12(map, start);
    const double emptyMs = EmptyIntervalMs();
    const std::vector<MnePass> kept = {MnePass::kBaseAreas, MnePass::kBaseClass2, MnePass::kBaseClass4,
                                       MnePass::kBaseClass8};
    double passMs = 0;
    for (int p = 0; p < static_cast<int>(MnePass::kCount); ++p) {
        const MnePass pass = static_cast<MnePass>(p);
        if (std::find(kept.begin(), kept.end(), pass) == kept.end()) {
            map.SetPassHandler(pass, {});
            continue;
        }
        MnePassHandler inner = map.PassHandler(pass);
        map.SetPassHandler(pass, [inner, emptyMs, &passMs](CMneDrawMap& m, const MnePassContext& c) {
            const double t0 = benchclock::ThreadCpuMs();
            inner(m, c);
            passMs += benchclock::ThreadCpuMs() - t0 - emptyMs;
        });
    }
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB16_565, 800, 480);
    cairo_t* cr = cairo_create(surface);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    std::vector<double> ours, theirs;
    std::vector<Shape> shapes;
    size_t shapeCount = 0;
    for (auto _ : state) {
        ours.clear();
        theirs.clear();
        passMs = 0;
        RunPan(
            map, start, 0, step,
            [&](double) {
                ours.push_back(passMs);
                passMs = 0;
                RecordRoadsAndAreas(map, shapes);
                shapeCount += shapes.size();
                const uint32_t b = map.Style().GetBackgroundColour(0);
                cairo_set_source_rgb(cr, (b & 0xFF) / 255.0, ((b >> 8) & 0xFF) / 255.0, ((b >> 16) & 0xFF) / 255.0);
                cairo_paint(cr);
                cairo_surface_flush(surface);
                const double t0 = benchclock::ThreadCpuMs();
                CairoDraw(cr, shapes);
                cairo_surface_flush(surface);
                theirs.push_back(benchclock::ThreadCpuMs() - t0 - emptyMs);
                const char* pngDir = std::getenv("NAVI_DRAW_BENCH_PNG");
                if (pngDir && *pngDir && theirs.size() == 50) {
                    const std::string base = std::string(pngDir) + "/step" + std::to_string(step);
                    cairo_surface_write_to_png(surface, (base + "_cairo.png").c_str());
                    DibImage565& pic = map.Picture();
                    cairo_surface_t* o = cairo_image_surface_create(CAIRO_FORMAT_RGB16_565, pic.Width(), pic.Height());
                    cairo_surface_flush(o);
                    for (int y = 0; y < pic.Height(); ++y)
                        std::memcpy(cairo_image_surface_get_data(o) + y * cairo_image_surface_get_stride(o),
                                    pic.Bits() + static_cast<size_t>(pic.Height() - 1 - y) * pic.Stride(),
                                    pic.Width() * 2);
                    cairo_surface_mark_dirty(o);
                    cairo_surface_write_to_png(o, (base + "_ours.png").c_str());
                    cairo_surface_destroy(o);
                }
            },
            &move);
    }
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    std::sort(ours.begin(), ours.end());
    std::sort(theirs.begin(), theirs.end());
    const double oursMs = ours[ours.size() / 2], cairoMs = theirs[theirs.size() / 2];
    const double perFrame = static_cast<double>(shapeCount) / (100.0 * state.iterations());
    state.counters["ours_ms"] = oursMs;
    state.counters["cairo_ms"] = cairoMs;
    state.counters["ours_over_cairo"] = oursMs / cairoMs;
    state.counters["shapes_per_frame"] = perFrame;
    std::printf(
        "roads and areas, step %d, %.0f shapes a frame, median processor time: ours %.3f ms, cairo %.3f ms, "
        "ours / cairo %.2f\n",
        step, perFrame, oursMs, cairoMs, oursMs / cairoMs);
}

BENCHMARK(BM_DemoPanFlat)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_DemoPanBird)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_CityPanFlat)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_CityPanBird)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_CityRoadsAndAreasVsCairo)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(40)
    ->Arg(12)
    ->Arg(11)
    ->Arg(10)
    ->Arg(9)
    ->Arg(8)
    ->Arg(7)
    ->Arg(6);

}  // namespace
