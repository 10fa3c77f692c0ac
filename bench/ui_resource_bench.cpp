// Loading the demo UI: the five script families (boards, layouts, controls,
// fonts, remocon) and every image of both UI packages decoded from its
// package, as the board host does at start-up and when boards are built.
// Also the two reloads, and the decoders alone (MBDF pixels, alpha, JPEG).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "foundation/debug_trace.h"
#include "platform/file_io.h"
#include "tools/writers/ui_resource_writer.h"
#include "uikit/image_resource.h"
#include "uikit/ui_script.h"

namespace {

// The demo UI written once into a private folder.
struct DemoUi {
    DemoUi() {
        SetDebugTraceLevel(0);
        root = (std::filesystem::temp_directory_path() / ("navi_ui_bench_" + std::to_string(getpid()))).string();
        std::vector<uint8_t> text;
        std::string error;
        if (!platform::ReadWholeFile(uiwriter::FindDemoUiSource(), text) ||
            !uiwriter::ParseUiSource(std::string(text.begin(), text.end()), source, &error) ||
            !uiwriter::WriteUiResources(source, root, &error)) {
            std::fprintf(stderr, "ui_resource_bench: cannot write the demo UI: %s\n", error.c_str());
            std::exit(1);
        }
        for (const uiwriter::ImageSpec& s : source.images) ids.push_back(s.id);
    }
    ~DemoUi() {
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
    std::string Ui() const { return root + "/UI"; }

    std::string root;
    uiwriter::UiSource source;
    std::vector<int32_t> ids;
};

DemoUi& Demo() {
    static DemoUi demo;
    return demo;
}

void BM_LoadScripts(benchmark::State& state) {
    DemoUi& demo = Demo();
    int64_t items = 0;
    for (auto _ : state) {
        NvUiScript script;
        script.Load(demo.Ui(), 0, 0);
        items += script.LayoutCount() + script.ControlCount() + script.FontCount();
        benchmark::DoNotOptimize(script.GetBoard(1));
    }
    state.SetItemsProcessed(items);
}
BENCHMARK(BM_LoadScripts)->Unit(benchmark::kMillisecond);

void BM_ReloadLayoutAndColour(benchmark::State& state) {
    DemoUi& demo = Demo();
    NvUiScript script;
    script.Load(demo.Ui(), 0, 0);
    int layout = 0;
    for (auto _ : state) {
        layout = (layout + 1) % 4;
        benchmark::DoNotOptimize(script.ReloadLayout(layout));
        benchmark::DoNotOptimize(script.ReloadFonts(layout & 1));
    }
    state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_ReloadLayoutAndColour)->Unit(benchmark::kMicrosecond);

// Every image of the demo UI in both colours, each decoded from its package
// (the pool is emptied between rounds, so nothing is shared).
void BM_DecodeEveryImage(benchmark::State& state) {
    DemoUi& demo = Demo();
    if (!NvInitResourceLoader(demo.Ui())) {
        state.SkipWithError("package 1 does not open");
        return;
    }
    int64_t images = 0, bytes = 0;
    for (auto _ : state) {
        for (int colour = 0; colour < 2; ++colour) {
            NvSetImageColorScheme(2, colour);
            for (int32_t id : demo.ids) {
                if (colour == 1 && id < 2000) continue;
                NvImageData* image = NvGetImageData(id);
                if (!image) {
                    state.SkipWithError("an image does not decode");
                    break;
                }
                ++images;
                bytes += image->imageSize;
                NvReleaseImageData(image);
            }
        }
    }
    NvReleaseResourceLoader();
    state.SetItemsProcessed(images);
    state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_DecodeEveryImage)->Unit(benchmark::kMillisecond);

// The whole start: tables, then every image once.
void BM_LoadWholeUi(benchmark::State& state) {
    DemoUi& demo = Demo();
    for (auto _ : state) {
        NvUiScript script;
        script.Load(demo.Ui(), 0, 0);
        NvInitResourceLoader(demo.Ui());
        NvSetImageColorScheme(2, 0);
        for (int32_t id : demo.ids) NvReleaseImageData(NvGetImageData(id));
        NvReleaseResourceLoader();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(demo.ids.size()));
}
BENCHMARK(BM_LoadWholeUi)->Unit(benchmark::kMillisecond);

// The decoders alone on a screen-sized picture: arg 0 MBDF, 1 MBDF with
// alpha, 2 JPEG (quality 90).
void BM_DecodeScreenImage(benchmark::State& state) {
    uiwriter::Picture p;
    p.width = 800;
    p.height = 480;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) p.pixels.push_back(static_cast<uint16_t>(((x / 8) << 11) ^ (y * 3) ^ (x * y)));
    if (state.range(0) == 1) p.alpha.assign(p.pixels.size(), uiwriter::Transparency565(128));
    const std::vector<uint8_t> data = state.range(0) == 2 ? uiwriter::EncodeJpeg565(p) : uiwriter::BuildMbdf(p);
    std::vector<uint8_t> scratch(size_t{800} * 480 * 2);
    for (auto _ : state) {
        if (state.range(0) == 2) {
            int32_t w = 0, h = 0;
            benchmark::DoNotOptimize(NvDecodeJpeg(data.data(), data.size(), scratch.data(), scratch.size(), &w, &h));
        } else {
            auto image = NvDecodeMbdf(data.data(), data.size(), state.range(0) ? RESOURCE_ALPHA : RESOURCE_BMP,
                                      scratch.data(), scratch.size());
            benchmark::DoNotOptimize(image.get());
        }
    }
    state.SetItemsProcessed(state.iterations() * 800 * 480);
}
BENCHMARK(BM_DecodeScreenImage)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace
