// Frame time of the map renderer at 800 x 480: a pan of 100 frames across
// the demo district and across the 25 x 25 km synthetic city, each frame
// moved 40 pixels east and 20 pixels north of the last, flat at step 12 and
// bird's-eye at step 11. Reported per frame as the median and the worst of
// the pan (counters median_ms and worst_ms); the frame is what the renderer
// draws today (set-up, visible tiles, background and the pass slots that
// have renderers), so the figures grow as the layer passes arrive.
//
// The data roots are written once into $NAVI_DRAW_BENCH_ROOT (default
// /tmp/navi_draw_bench) and reused while their files are there.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "render/draw_map.h"
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

void Pan(benchmark::State& state, const std::string& root, MapPoint start, int bird) {
    MneFixedDrawInputs inputs;
    CMgrCriticalSection lock;
    MneDrawPublication publication;
    CMneDrawMap map(&inputs, &publication, &lock);
    MneDrawInit init;
    init.dataRoot = root;
    if (!map.Initialize(init)) {
        state.SkipWithError("the renderer did not open the data root");
        return;
    }
    std::vector<double> frameMs;
    for (auto _ : state) {
        frameMs.clear();
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
            frameMs.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
            // 40 px east and 20 px north at step 12 in map units.
            MapPoint pixel;
            if (map.Coords().ScreenToMap(ScreenPoint{440, 220}, pixel, 0)) {
                const MapPoint origin = map.Coords().GetCentre();
                centre.x += pixel.x - origin.x;
                centre.y += pixel.y - origin.y;
            }
        }
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

BENCHMARK(BM_DemoPanFlat)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_DemoPanBird)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_CityPanFlat)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_CityPanBird)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
