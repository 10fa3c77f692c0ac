// Frame time of the map renderer at 800 x 480: a pan of 100 frames across
// the demo district and across the 25 x 25 km synthetic city, each frame
// moved 40 pixels east and 20 pixels north of the last, flat at step 12 and
// bird's-eye at step 11. Reported per frame as the median and the worst of
// the pan (counters median_ms and worst_ms); the frame is what the renderer
// draws with the geometry passes installed (set-up, visible tiles,
// background, areas, lines, polygons, buildings; labels and overlays come
// with their own passes).
//
// Beside it, in the same run, the peer: the roads and areas of each frame
// of the city's flat pan (the Base layer's areas and its line classes 2, 4
// and 8, as the passes convert them: the same screen polygons and
// polylines, widths and colours) drawn by cairo on an RGB16_565 image
// surface, aliased like our default line mode, against our renderer
// running only those passes on the same frame (frame set-up and
// publication included). Counters: ours_ms, cairo_ms (medians over the
// pan) and ours_over_cairo.
//
// The data roots are written once into $NAVI_DRAW_BENCH_ROOT (default
// /tmp/navi_draw_bench) and reused while their files are there.
#include <benchmark/benchmark.h>
#include <cairo.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

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
// north of the last; after each frame `after` hears its time in ms.
void RunPan(CMneDrawMap& map, MapPoint start, int bird, const std::function<void(double)>& after) {
    MapPoint centre = start;
    for (int i = 0; i < 100; ++i) {
        MneDrawRequest r;
        r.viewWidth = 800;
        r.viewHeight = 480;
        r.centreMode = 1;
        r.northUp = bird ? 0 : 1;
        r.birdView = static_cast<uint8_t>(bird);
        r.scaleStep = bird ? 11 : 12;
        r.centre = centre;
        const auto t0 = std::chrono::steady_clock::now();
        map.DrawFrame(r);
        const auto t1 = std::chrono::steady_clock::now();
        after(std::chrono::duration<double, std::milli>(t1 - t0).count());
        MapPoint pixel;
        if (map.Coords().ScreenToMap(ScreenPoint{440, 220}, pixel, 0)) {
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
        RunPan(renderer.map, start, bird, [&](double ms) { frameMs.push_back(ms); });
    }
    std::sort(frameMs.begin(), frameMs.end());
    state.counters["median_ms"] = frameMs[frameMs.size() / 2];
    state.counters["worst_ms"] = frameMs.back();
    state.SetItemsProcessed(state.iterations() * 100);
}

void BM_DemoPanFlat(benchmark::State& state) {
    Pan(state, DemoRoot(), {static_cast<int32_t>(127.005 * kMapUnitsPerDegree), static_cast<int32_t>(37.505 * kMapUnitsPerDegree)}, 0);
}
void BM_DemoPanBird(benchmark::State& state) {
    Pan(state, DemoRoot(), {static_cast<int32_t>(127.005 * kMapUnitsPerDegree), static_cast<int32_t>(37.505 * kMapUnitsPerDegree)}, 1);
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

// One shape of a frame: a filled polygon or a stroked polyline.
struct Shape {
    bool fill = false;
    std::vector<ScreenPoint> points;
    uint32_t colour = 0;   // 0x00BBGGRR
    int width = 1;
};

// The Base layer's areas (type 1) and lines (types 2, 4, 8) of the frame
// just drawn, converted as the passes convert them.
void RecordRoadsAndAreas(CMneDrawMap& map, std::vector<Shape>& shapes) {
    shapes.clear();
    NcConfigMap& style = map.Style();
    const int styleLevel = CMneDrawMap::StyleLevel(map.ScaleLevel());
    std::vector<TileLocalPoint> local;
    map.ForEachTileBlock(CMneDrawMap::kBase, [&](const VisibleTile& tile, const uint8_t* block, uint32_t size) {
        const MneBlockView view(block, size);
        for (const int type : {1, 2, 4, 8}) {
            MneWalkLayerBlock(MneLayerKind::kBase, block, size, [&](const MneLayerRecord& r) {
                if (r.groupType != type || !BoxMeetsRect(r.bytes, tile.rect[0])) return true;
                const bool area = type == 1;
                const StyleDrawStyle* pen = nullptr;
                const StyleColourRef* brush = nullptr;
                if (area) {
                    if (styleLevel < style.GetClassLevel(r.styleIndex) ||
                        !style.GetClassStyle(r.styleIndex, &pen, &brush, 0, 0))
                        return true;
                } else if (style.GetRangedLevel(r.styleIndex) > styleLevel || !style.GetRangedStyle(r.styleIndex, &pen)) {
                    return true;
                }
                MneStoredPoints points;
                if (!StoredPointsOf(view, r.bytes, static_cast<uint16_t>(r.bytes[8] | r.bytes[9] << 8), &points) ||
                    points.packing != 0)
                    return true;
                local.resize(points.count);
                for (uint32_t i = 0; i < points.count; ++i) local[i] = StoredPointAt(points, i);
                Shape shape;
                map.Coords().LocalPointsToScreen(static_cast<int>(points.count), local.data(), shape.points,
                                                 area ? kClipPolygon : kClipPolyline, 0, area ? 0 : 1);
                if (shape.points.size() < (area ? 3u : 2u)) return true;
                if (area && brush) {
                    shape.fill = true;
                    shape.colour = brush->colour;
                    shapes.push_back(shape);
                }
                if (pen) {
                    shape.fill = false;
                    shape.colour = pen->colour;
                    shape.width = std::max<int>(pen->width, 1);
                    if (area) shape.points.push_back(shape.points.front());
                    shapes.push_back(std::move(shape));
                }
                return true;
            });
        }
    });
}

void CairoDraw(cairo_t* cr, uint32_t background, const std::vector<Shape>& shapes) {
    auto colour = [&](uint32_t c) {
        cairo_set_source_rgb(cr, (c & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0, ((c >> 16) & 0xFF) / 255.0);
    };
    colour(background);
    cairo_paint(cr);
    for (const Shape& s : shapes) {
        cairo_new_path(cr);
        cairo_move_to(cr, s.points[0].x, s.points[0].y);
        for (size_t i = 1; i < s.points.size(); ++i) cairo_line_to(cr, s.points[i].x, s.points[i].y);
        colour(s.colour);
        if (s.fill) {
            cairo_close_path(cr);
            cairo_fill(cr);
        } else {
            cairo_set_line_width(cr, s.width);
            cairo_stroke(cr);
        }
    }
}

void BM_CityRoadsAndAreasVsCairo(benchmark::State& state) {
    MapPoint start;
    const std::string root = CityRoot(&start);
    BenchRenderer renderer;
    if (!renderer.Open(root)) {
        state.SkipWithError("the renderer did not open the data root");
        return;
    }
    CMneDrawMap& map = renderer.map;
    // Only the passes cairo draws too.
    const std::vector<MnePass> kept = {MnePass::kBaseAreas, MnePass::kBaseClass2, MnePass::kBaseClass4,
                                       MnePass::kBaseClass8};
    for (int p = 0; p < static_cast<int>(MnePass::kCount); ++p) {
        const MnePass pass = static_cast<MnePass>(p);
        if (std::find(kept.begin(), kept.end(), pass) == kept.end()) map.SetPassHandler(pass, {});
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
        RunPan(map, start, 0, [&](double ms) {
            ours.push_back(ms);
            RecordRoadsAndAreas(map, shapes);
            shapeCount += shapes.size();
            const uint32_t background = map.Style().GetBackgroundColour(0);
            const auto t0 = std::chrono::steady_clock::now();
            CairoDraw(cr, background, shapes);
            cairo_surface_flush(surface);
            const auto t1 = std::chrono::steady_clock::now();
            theirs.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        });
    }
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    std::sort(ours.begin(), ours.end());
    std::sort(theirs.begin(), theirs.end());
    const double oursMs = ours[ours.size() / 2], cairoMs = theirs[theirs.size() / 2];
    state.counters["ours_ms"] = oursMs;
    state.counters["cairo_ms"] = cairoMs;
    state.counters["ours_over_cairo"] = oursMs / cairoMs;
    state.counters["shapes_per_frame"] = static_cast<double>(shapeCount) / (100.0 * state.iterations());
    std::printf("roads and areas, median per frame: ours %.3f ms, cairo %.3f ms, ours / cairo %.2f\n", oursMs, cairoMs,
                oursMs / cairoMs);
}

BENCHMARK(BM_DemoPanFlat)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_DemoPanBird)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_CityPanFlat)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_CityPanBird)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_CityRoadsAndAreasVsCairo)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
