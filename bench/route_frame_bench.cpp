// Frame time of the map renderer at 800 x 480 with a route and labels on the
// 25 x 25 km synthetic city: a pan of 100 frames, each moved 40 pixels east
// and 20 north of the last, along a route that climbs the street grid in the
// same direction (two blocks east, one north, repeated), the car a third of
// the way along it. Whole frames: the geometry passes, the POI placement and
// the placed POIs, the route and its overlays. Flat at steps 12 and 10 (the
// most labels) with the route being driven split at the car; bird's-eye at
// steps 11 and 10 with the route as a filled band; and flat at step 12 with
// the four candidate rows of the ordinary display. Reported per frame as the median and the worst
// of the pan (counters median_ms, worst_ms) in the draw thread's processor
// time (CLOCK_THREAD_CPUTIME_ID: one core's milliseconds, which a busy
// machine does not inflate), with the route's point count and the labels
// placed per frame. Besides, the route overlay alone per frame.
//
// The city's layers are written once into $NAVI_DRAW_BENCH_ROOT/city25
// (default /tmp/navi_draw_bench, shared with the frame benchmark).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench/thread_cpu_clock.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "render/draw_map.h"
#include "render/marker_lists.h"
#include "render/overlay_passes.h"
#include "render/pass_geometry.h"
#include "render/route_overlay.h"
#include "tools/writers/demo_labels.h"
#include "tools/writers/demo_style.h"
#include "tools/writers/layer_writer.h"
#include "tools/writers/synthetic_city.h"

namespace {

struct City {
    std::string root;
    MapPoint centre;
    MneRoutePath route;
};

// The route: from the grid node nearest the centre, two blocks east and one
// north at a time to the edge of the city; one segment per block.
MneRoutePath StaircaseRoute(const writers::SyntheticCity& city) {
    MneRoutePath path;
    path.enabled = 1;
    path.routeOption = 1;
    const int side = city.side;
    int r = side / 2, c = side / 2;
    path.points.push_back(city.net.nodes[static_cast<size_t>(r) * side + c]);
    for (int k = 0; r < side - 1 && c < side - 1; ++k) {
        if (k % 3 == 2) ++r;
        else ++c;
        path.points.push_back(city.net.nodes[static_cast<size_t>(r) * side + c]);
        const int32_t n = static_cast<int32_t>(path.points.size());
        path.segments.push_back({n - 2, n - 1});
    }
    return path;
}

const City& TheCity() {
    static const City city = [] {
        const char* env = std::getenv("NAVI_DRAW_BENCH_ROOT");
        City out;
        out.root = std::string(env && *env ? env : "/tmp/navi_draw_bench") + "/city25";
        const auto progress = [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); };
        const writers::SyntheticCity built = writers::BuildSyntheticCity(2 * 126 * 126, 1);
        out.route = StaircaseRoute(built);
        out.centre = out.route.points.front();
        if (!platform::FileExists(platform::ResolveUnder(out.root, "Map\\TpegLink.map"))) {
            std::string error;
            if (!platform::MakeDirectories(out.root + "/Map") || !platform::MakeDirectories(out.root + "/Config") ||
                !demostyle::WriteDemoStyle(out.root, &error) ||
                !writers::WriteSyntheticLayers(built, 1, out.root, &error, progress)) {
                std::fprintf(stderr, "route_frame_bench: %s\n", error.c_str());
                std::abort();
            }
        }
        // The labels' font (a root written before labels were drawn here lacks it).
        if (!platform::FileExists(platform::ResolveUnder(out.root, "Font\\FONT1_v.fnt"))) {
            std::string error;
            if (!writers::WriteMapFont(out.root, &error)) {
                std::fprintf(stderr, "route_frame_bench: %s\n", error.c_str());
                std::abort();
            }
        }
        return out;
    }();
    return city;
}

enum class Display { kDriving, kRows };

MneOverlayInputs Inputs(const City& city, Display display) {
    MneOverlayInputs in;
    auto set = std::make_shared<MneRouteSet>();
    set->version = 1;
    if (display == Display::kDriving) {
        set->driven = city.route;
        in.selectedRoute = -1;
        in.routeState = 3;
        in.car.known = 1;
        in.car.segment = static_cast<int32_t>(city.route.segments.size() / 3);
        in.car.pointOffset = 0;
        in.car.position = city.route.points[static_cast<size_t>(city.route.segments[static_cast<size_t>(in.car.segment)][0])];
    } else {
        // Four candidates: the route and three copies a block apart.
        for (int row = 0; row < 4; ++row) {
            MneRoutePath p = city.route;
            p.routeOption = 1 << row;
            for (MapPoint& q : p.points) q.y += row * 1500;
            set->rows[static_cast<size_t>(row)] = std::move(p);
        }
        in.selectedOption = 2;
    }
    in.routes = set;
    return in;
}

void Pan(benchmark::State& state, const char* name, Display display, int bird, bool routeOnly, int step) {
    const City& city = TheCity();
    MneDrawInputs drawInputs;
    drawInputs.themeSwitches = 0x1F;
    MneFixedDrawInputs inputs(drawInputs);
    CMgrCriticalSection lock;
    MneDrawPublication publication;
    CMneDrawMap map(&inputs, &publication, &lock);
    MneDrawInit init;
    init.dataRoot = city.root;
    if (!map.Initialize(init)) {
        state.SkipWithError("the renderer did not open the data root");
        return;
    }
    auto source = std::make_shared<MneFixedOverlayInputs>(Inputs(city, display));
    if (!routeOnly) {
        InstallGeometryPasses(map);
        InstallLabelPasses(map);
        InstallOverlayPasses(map, source);
    }
    // The route pass alone, timed inside the frame.
    MneRouteOverlay overlay;
    double routeMs = 0.0;
    if (routeOnly) {
        map.SetPassHandler(MnePass::kRoute, [&](CMneDrawMap& m, const MnePassContext& c) {
            MneOverlayInputs in;
            source->Read(&in);
            const double t0 = benchclock::ThreadCpuMs();
            overlay.DrawRoute(m, in, source.get(), c.routeFlag);
            routeMs = benchclock::ThreadCpuMs() - t0;
        });
    }
    std::vector<double> frameMs;
    double labels = 0;
    for (auto _ : state) {
        frameMs.clear();
        labels = 0;
        MapPoint centre = city.centre;
        for (int i = 0; i < 100; ++i) {
            MneDrawRequest r;
            r.viewWidth = 800;
            r.viewHeight = 480;
            r.centreMode = 1;
            r.northUp = bird ? 0 : 1;
            r.birdView = static_cast<uint8_t>(bird);
            r.scaleStep = static_cast<uint16_t>(step);
            r.centre = centre;
            const double t0 = benchclock::ThreadCpuMs();
            map.DrawFrame(r);
            frameMs.push_back(routeOnly ? routeMs : benchclock::ThreadCpuMs() - t0);
            for (int c = 0; c < 3; ++c) labels += map.PoiCache(c).Count();
            MapPoint pixel;
            if (map.Coords().ScreenToMap(ScreenPoint{440, 220}, pixel, 0)) {
                const MapPoint origin = map.Coords().GetCentre();
                centre.x += pixel.x - origin.x;
                centre.y += pixel.y - origin.y;
            }
        }
    }
    // NAVI_ROUTE_BENCH_PNG=folder writes each pan's last frame there, to look at.
    if (const char* folder = std::getenv("NAVI_ROUTE_BENCH_PNG"); folder && *folder) {
        const DibImage565& picture = map.Picture();
        std::vector<uint8_t> rgb;
        for (int32_t y = 0; y < picture.Height(); ++y)
            for (int32_t x = 0; x < picture.Width(); ++x) {
                const uint32_t c = ColorFromRgb565(picture.Pixel(x, y));
                rgb.insert(rgb.end(), {static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c >> 16)});
            }
        platform::AtomicReplaceFile(std::string(folder) + "/" + name + ".png",
                                    demostyle::EncodePngRgb(rgb.data(), picture.Width(), picture.Height()));
    }
    std::sort(frameMs.begin(), frameMs.end());
    state.counters["median_ms"] = frameMs[frameMs.size() / 2];
    state.counters["worst_ms"] = frameMs.back();
    state.counters["route_points"] = static_cast<double>(city.route.points.size());
    state.counters["labels"] = labels / 100;
    state.SetItemsProcessed(state.iterations() * 100);
}

void BM_CityRouteFlat(benchmark::State& state) {
    Pan(state, "city_route_flat", Display::kDriving, 0, false, static_cast<int>(state.range(0)));
}
void BM_CityRouteBird(benchmark::State& state) {
    Pan(state, "city_route_bird", Display::kDriving, 1, false, static_cast<int>(state.range(0)));
}
void BM_CityRouteRowsFlat(benchmark::State& state) { Pan(state, "city_rows_flat", Display::kRows, 0, false, 12); }
void BM_RouteOverlayOnlyFlat(benchmark::State& state) { Pan(state, "route_only_flat", Display::kDriving, 0, true, 12); }
void BM_RouteOverlayOnlyBird(benchmark::State& state) { Pan(state, "route_only_bird", Display::kDriving, 1, true, 11); }

BENCHMARK(BM_CityRouteFlat)->Arg(12)->Arg(10)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_CityRouteBird)->Arg(11)->Arg(10)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_CityRouteRowsFlat)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_RouteOverlayOnlyFlat)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_RouteOverlayOnlyBird)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
