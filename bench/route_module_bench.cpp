// The route-planning module's overhead: a whole plan through the module and
// its thread (request checked, posted, points matched, legs arranged,
// searched, result stored) against the engine's search alone on the same
// legs, on the demo district.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <thread>

#include "mapdb/mgr_map.h"
#include "route/module_rp.h"
#include "route/route_engine.h"
#include "settings/module_gps.h"
#include "settings/module_rp.h"
#include "tools/writers/demo_map.h"
#include "tools/writers/route_data_writer.h"

namespace {

MapPoint Degrees(double lon, double lat) {
    return MapPoint{static_cast<int32_t>(lon * kMapUnitsPerDegree), static_cast<int32_t>(lat * kMapUnitsPerDegree)};
}

RouteRequest Request() {
    RouteRequest r;
    r.uRouteMode = 1;
    r.sOption.eGoalType = 1;
    r.points.start = Degrees(127.0002, 37.504);   // the westmost avenue
    r.points.goal = Degrees(127.0398, 37.528);    // the eastmost avenue
    return r;
}

// The demo district written once, the map open, the engine installed.
struct DemoPlanner {
    DemoPlanner() {
        char folder[] = "/tmp/routemodulebenchXXXXXX";
        if (!mkdtemp(folder)) std::abort();
        dir = folder;
        if (!writers::WriteDemoMap(dir) || !writers::WriteDemoRouteData(dir)) std::abort();
        CMgrMap::Instance()->Open(dir);
        engine = std::make_shared<RouteEngine>(dir);
        ModuleRPParam::Instance()->SetEngine(engine);
    }
    ~DemoPlanner() {
        ModuleRP::Instance()->StopModule(10000);
        ModuleRPParam::Instance()->SetEngine(nullptr);
        CMgrMap::Instance()->Close();
    }
    std::string dir;   // left in /tmp, as the other benchmarks' data
    std::shared_ptr<RouteEngine> engine;
};

void BM_EngineAlone(benchmark::State& state) {
    DemoPlanner demo;
    ModuleRPParam* param = ModuleRPParam::Instance();
    const RouteRequest request = Request();
    RoutePlanRequest plan;
    if (demo.engine->ReserveMemory() <= 0 || param->AllocatedRoadMemory() != 1 ||
        param->SetRoutePos(request, 1, 0, 0) != 1 || param->ReArrangeParam(request, &plan) != 1) {
        state.SkipWithError("demo district could not be set up");
        return;
    }
    for (auto _ : state) {
        RoutePlanResult result;
        if (demo.engine->Plan(plan, &result) != 1) state.SkipWithError("plan failed");
        benchmark::DoNotOptimize(result.links.data());
    }
    param->FreeRoadMemory();
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_EngineAlone)->Unit(benchmark::kMicrosecond);

void BM_ThroughModule(benchmark::State& state) {
    DemoPlanner demo;
    ModuleRP* module = ModuleRP::Instance();
    if (module->StartModule(nullptr) != 1) {
        state.SkipWithError("module did not start");
        return;
    }
    while (MgrConfigModuleRP::Instance()->GetState() == kRpStateThreadUp) std::this_thread::yield();
    const RouteRequest request = Request();
    for (auto _ : state) {
        module->BFreeAllRouteResults();
        if (module->PlanRoute(request, 0) != 1) state.SkipWithError("plan refused");
        while (module->GetRouteStatus() == kRpRunning) std::this_thread::yield();
        if (module->GetRouteStatus() != 1) state.SkipWithError("plan failed");
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_ThroughModule)->Unit(benchmark::kMicrosecond);

}  // namespace
