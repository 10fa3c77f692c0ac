// The toolkit's controls on the gallery board at 800 x 480 over the demo
// UI: hit test and event dispatch of a touch on each press control, and the
// list redraw after a scroll by one line (rows refilled, dirty-only draw).
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
#include "uikit/ctrl_button.h"
#include "uikit/ctrl_list.h"
#include "uikit/renderer.h"

namespace {

using uibench::NullWindow;

uibench::DemoUiRoot& Root() {
    static uibench::DemoUiRoot root("ui_controls_bench");
    if (!root.ok()) {
        std::fprintf(stderr, "ui_controls_bench: cannot write the demo root: %s\n", root.error.c_str());
        std::exit(1);
    }
    return root;
}

struct Host {
    explicit Host(int rotation) {
        NvRegisterStandardControls();
        host = std::make_unique<NvBoardManager>((Root().root + "/UI").c_str());
        if (!host->Start(&window, 800, 480, rotation, 0, 0) || !host->LoadBoard(1)) std::exit(1);
        host->DrawFrame(true, false);
    }
    NullWindow window;
    std::unique_ptr<NvBoardManager> host;
};

void BM_HitTestAndDispatch(benchmark::State& state) {
    Host h(0);
    std::vector<uint32_t> points;
    for (int id : {1, 9, 10, 2, 3, 12, 13})
        if (NvControl* c = h.host->GetControl(id))
            points.push_back(NvMakePoint(c->m_rect.x + c->m_rect.width / 2, c->m_rect.y + c->m_rect.height / 2));
    uint32_t tick = 0;
    size_t i = 0;
    for (auto _ : state) {
        h.host->ProcessInput(tick += 10, kNvWmLButtonDown, points[i++ % points.size()], 0);
        benchmark::DoNotOptimize(h.host->LastEvent());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_HitTestAndDispatch);

void BM_ListScrollRedraw(benchmark::State& state) {
    Host h(0);
    auto* list = dynamic_cast<NvCtrlList*>(h.host->GetControl(2));
    auto* scroll = dynamic_cast<NvCtrlListScroll*>(h.host->GetControl(3));
    if (!list || !scroll) std::exit(1);
    scroll->SetTotalCount(1000);
    const char16_t* names[] = {u"Seoul", u"Busan", u"Incheon", u"Daegu", u"Gwangju", u"Daejeon", u"Ulsan"};
    uint32_t tick = 0;
    for (auto _ : state) {
        NvCtrlEvent e;
        scroll->OnPointer(kNvWmLButtonDown, &e, 3);  // line down
        if (scroll->GetTopIndex() >= 990) scroll->SetTopIndex(0);
        for (int n = 0; n < list->RowCount(); ++n) list->SetRowText(n, names[(scroll->GetTopIndex() + n) % 7], false, true);
        h.host->UpdateFrame(tick += 150);
        h.host->DrawFrame(false, false);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ListScrollRedraw);

}  // namespace
