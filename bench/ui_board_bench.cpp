// The board host at 800 x 480 over the demo UI: a full redraw of the
// gallery board, a frame in which one control changed (update plus a
// dirty-only draw), and the present in each rotation mode (the turn of the
// back buffer; the window copy itself is left out).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench/ui_bench_root.h"
#include "uikit/board_manager.h"
#include "uikit/renderer.h"

namespace {

using uibench::NullWindow;

uibench::DemoUiRoot& Root() {
    static uibench::DemoUiRoot root("ui_board_bench");
    if (!root.ok()) {
        std::fprintf(stderr, "ui_board_bench: cannot write the demo root: %s\n", root.error.c_str());
        std::exit(1);
    }
    return root;
}

struct Host {
    explicit Host(int rotation) {
        host = std::make_unique<NvBoardManager>((Root().root + "/UI").c_str());
        if (!host->Start(&window, 800, 480, rotation, 0, 0) || !host->LoadBoard(1)) std::exit(1);
        host->DrawFrame(true, false);
    }
    NullWindow window;
    std::unique_ptr<NvBoardManager> host;
};

void BM_FullRedraw(benchmark::State& state) {
    Host h(0);
    for (auto _ : state) h.host->DrawFrame(true, false);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FullRedraw)->Unit(benchmark::kMicrosecond);

void BM_DirtyOnlyFrame(benchmark::State& state) {
    Host h(0);
    NvControl* button = h.host->GetControl(1);
    uint32_t tick = 1000;
    for (auto _ : state) {
        tick += 150;
        h.host->UpdateFrame(tick);
        button->Invalidate();
        h.host->DrawFrame(false, false);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DirtyOnlyFrame)->Unit(benchmark::kMicrosecond);

void BM_PresentRotation(benchmark::State& state) {
    Host h(static_cast<int>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(NvPresent(0, 0, 800, 480, 0, 0));
    state.SetBytesProcessed(state.iterations() * 800 * 480 * 2);
}
BENCHMARK(BM_PresentRotation)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);

}  // namespace
