// Labels on the 25 x 25 km synthetic city at 800 x 480: whole frames (the
// geometry passes and the label passes: placement and drawing of the placed
// POIs) over a pan of 100 frames, each moved 40 pixels east and 20 north of
// the last, flat and bird's-eye, at the step whose labels are densest (12)
// and one step out (10); and the placement alone (the POI passes without any
// drawing) over the same pans. Reported per frame as the median and the
// worst of the pan (counters median_ms and worst_ms) and the labels placed
// per frame (labels). Frame times are the draw thread's processor time
// (CLOCK_THREAD_CPUTIME_ID), so a busy machine does not inflate them: one
// core's milliseconds.
//
// The data root is written once into $NAVI_LABELS_BENCH_ROOT (default
// /tmp/navi_labels_bench) and reused while its files are there.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "render/draw_map.h"
#include "render/marker_lists.h"
#include "render/pass_geometry.h"
#include "tools/writers/demo_labels.h"
#include "tools/writers/demo_style.h"
#include "tools/writers/layer_writer.h"
#include "tools/writers/synthetic_city.h"

namespace {

void Check(bool ok, const std::string& error) {
    if (!ok) {
        std::fprintf(stderr, "labels_bench: %s\n", error.c_str());
        std::abort();
    }
}

std::string CityRoot(MapPoint* centre) {
    const char* env = std::getenv("NAVI_LABELS_BENCH_ROOT");
    const std::string root = std::string(env && *env ? env : "/tmp/navi_labels_bench") + "/city25";
    const auto progress = [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); };
    const writers::SyntheticCity city = writers::BuildSyntheticCity(2 * 126 * 126, 1);
    *centre = {(city.southWest.x + city.northEast.x) / 2, (city.southWest.y + city.northEast.y) / 2};
    if (!platform::FileExists(platform::ResolveUnder(root, "Font\\FONT1_v.fnt"))) {
        std::string error;
        Check(platform::MakeDirectories(root + "/Map") && platform::MakeDirectories(root + "/Config"), "folders");
        Check(demostyle::WriteDemoStyle(root, &error) &&
                  writers::WriteSyntheticLayers(city, 1, root, &error, progress) &&
                  writers::WriteMapFont(root, &error),
              error);
    }
    return root;
}

double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

enum class Passes { kWholeFrame, kPlacementOnly };

void Pan(benchmark::State& state, Passes passes, int step, int bird) {
    MapPoint start;
    const std::string root = CityRoot(&start);
    MneDrawInputs in;
    in.themeSwitches = 0x1F;
    MneFixedDrawInputs inputs(in);
    CMgrCriticalSection lock;
    MneDrawPublication publication;
    CMneDrawMap map(&inputs, &publication, &lock);
    MneDrawInit init;
    init.dataRoot = root;
    if (!map.Initialize(init)) {
        state.SkipWithError("the renderer did not open the data root");
        return;
    }
    if (passes == Passes::kWholeFrame) {
        InstallGeometryPasses(map);
        InstallLabelPasses(map);
    } else {
        map.SetPassHandler(MnePass::kPoi, [](CMneDrawMap& m, const MnePassContext& c) { m.PassPoi(c.poiMask); });
        map.SetPassHandler(MnePass::kReplaceCachedPoi,
                           [](CMneDrawMap& m, const MnePassContext& c) { m.ReplaceCachedPois(c.cacheIndex); });
    }
    std::vector<double> frameMs;
    double labels = 0;
    for (auto _ : state) {
        frameMs.clear();
        labels = 0;
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
            const double t0 = ThreadCpuMs();
            map.DrawFrame(r);
            frameMs.push_back(ThreadCpuMs() - t0);
            for (int c = 0; c < 3; ++c) labels += map.PoiCache(c).Count();
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
    state.counters["labels"] = labels / 100;
    state.SetItemsProcessed(state.iterations() * 100);
}

void BM_FrameFlat(benchmark::State& state) { Pan(state, Passes::kWholeFrame, static_cast<int>(state.range(0)), 0); }
void BM_FrameBird(benchmark::State& state) { Pan(state, Passes::kWholeFrame, static_cast<int>(state.range(0)), 1); }
void BM_PlacementFlat(benchmark::State& state) {
    Pan(state, Passes::kPlacementOnly, static_cast<int>(state.range(0)), 0);
}
void BM_PlacementBird(benchmark::State& state) {
    Pan(state, Passes::kPlacementOnly, static_cast<int>(state.range(0)), 1);
}

BENCHMARK(BM_FrameFlat)->Arg(12)->Arg(10)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_FrameBird)->Arg(12)->Arg(10)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_PlacementFlat)->Arg(12)->Arg(10)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_PlacementBird)->Arg(12)->Arg(10)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
