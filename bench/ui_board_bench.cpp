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

#include "foundation/debug_trace.h"
#include "foundation/mgr_text.h"
#include "platform/file_io.h"
#include "tests/uikit/ui_test_fonts.h"
#include "tools/writers/settings_writer.h"
#include "tools/writers/ui_resource_writer.h"
#include "uikit/board_manager.h"
#include "uikit/renderer.h"

namespace {

// A window that takes frames and shows nothing.
class NullWindow : public NvPresenter {
public:
    bool Present(const uint8_t*, int32_t, int32_t, int32_t, int32_t, int32_t) override { return true; }
    bool PumpInput(NvMessageQueue&, uint32_t) override { return true; }
    int32_t Width() const override { return 800; }
    int32_t Height() const override { return 480; }
};

struct DemoRoot {
    DemoRoot() {
        SetDebugTraceLevel(0);
        root = (std::filesystem::temp_directory_path() / ("navi_ui_board_bench_" + std::to_string(getpid()))).string();
        std::vector<uint8_t> text;
        std::string error;
        uiwriter::UiSource source;
        if (!platform::ReadWholeFile(uiwriter::FindDemoUiSource(), text) ||
            !uiwriter::ParseUiSource(std::string(text.begin(), text.end()), source, &error) ||
            !uiwriter::WriteUiResources(source, root, &error) || !settingswriter::WriteDemoSettings(root, &error) ||
            !uitest::MakeTestFonts(root)) {
            std::fprintf(stderr, "ui_board_bench: cannot write the demo root: %s\n", error.c_str());
            std::exit(1);
        }
        const std::string ui = root + "/UI";
        texts.Init(std::u16string(ui.begin(), ui.end()).c_str(), 0);
    }
    ~DemoRoot() {
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
    std::string root;
    MgrText texts;
};

DemoRoot& Root() {
    static DemoRoot root;
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
