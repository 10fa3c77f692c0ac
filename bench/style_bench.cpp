// The map style: how long the draw thread's set-up spends loading the demo
// style (in memory and on demand), a colour mode switch, and how many class
// style, colour and symbol lookups the renderers can make per second.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "foundation/debug_trace.h"
#include "platform/file_io.h"
#include "render/config_map.h"
#include "render/style_file.h"
#include "tools/writers/demo_style.h"
#include "tools/writers/style_writer.h"

namespace {

// The demo style and landmark files in a private folder, written once.
struct Files {
    Files() {
        folder = std::filesystem::temp_directory_path() / ("style_bench." + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        style = (folder / "PeloxSymbol.cfg").string();
        landmarks = (folder / "LandMarkImage.dat").string();
        bytes = stylewriter::BuildStyleFile(demostyle::BuildDemoStyle());
        platform::AtomicReplaceFile(style, bytes);
        platform::AtomicReplaceFile(landmarks, stylewriter::BuildLandmarkFile(demostyle::BuildDemoLandmarks()));
    }
    ~Files() {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
    std::filesystem::path folder;
    std::string style, landmarks;
    std::vector<uint8_t> bytes;
};

Files& TheFiles() {
    static Files files;
    return files;
}

// Arg 0: images in memory; 1: on demand.
void BM_LoadStyleFile(benchmark::State& state) {
    Files& f = TheFiles();
    CConfigManager m;
    m.SetLandmarkPath(f.landmarks);
    for (auto _ : state) {
        if (m.LoadConfig(f.style, 0, static_cast<int>(state.range(0))) != kStyleLoadOk) state.SkipWithError("load");
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(f.bytes.size()));
    state.SetLabel(state.range(0) ? "on demand" : "in memory");
}
BENCHMARK(BM_LoadStyleFile)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_LoadStyleFromMemory(benchmark::State& state) {
    Files& f = TheFiles();
    CConfigManager m;
    for (auto _ : state) {
        if (m.LoadConfigFromMemory(f.bytes.data(), f.bytes.size(), 0) != kStyleLoadOk) state.SkipWithError("load");
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(f.bytes.size()));
}
BENCHMARK(BM_LoadStyleFromMemory)->Unit(benchmark::kMicrosecond);

void BM_ColourModeSwitch(benchmark::State& state) {
    Files& f = TheFiles();
    CConfigManager m;
    m.LoadConfigFromMemory(f.bytes.data(), f.bytes.size(), 0);
    int mode = 0;
    for (auto _ : state) {
        mode = (mode + 1) % 3;
        benchmark::DoNotOptimize(m.LoadMapColor(mode));
    }
}
BENCHMARK(BM_ColourModeSwitch);

// A style as the frame sets it up, at a street-level scale.
struct Style {
    explicit Style(int onDemand) {
        Files& f = TheFiles();
        SetDebugTraceSink([](std::string_view) {}, false);
        style.SetLandmarkPath(f.landmarks);
        ok = style.Initialize(f.style, 0, 0, 1, onDemand) == 1;
        SetDebugTraceSink({});
        style.SetScale(style.ScaleOfLevel(15));
    }
    CConfigManager manager;
    NcConfigMap style{manager};
    bool ok = false;
};

// Pen and brush of area classes and pens of line classes, as the layer
// passes ask for them per class and tile.
void BM_ClassStyleLookups(benchmark::State& state) {
    Style s(1);
    if (!s.ok) state.SkipWithError("style");
    int64_t n = 0;
    for (auto _ : state) {
        for (int c = 0; c < demostyle::kAreaClassCount; ++c) {
            const StyleDrawStyle* pen = nullptr;
            const StyleColourRef* brush = nullptr;
            benchmark::DoNotOptimize(s.style.GetClassStyle(c, &pen, &brush, 0, 0));
        }
        for (int c = 0; c < demostyle::kLineClassCount; ++c) {
            const StyleDrawStyle* pen = nullptr;
            benchmark::DoNotOptimize(s.style.GetRangedStyle(c, &pen));
        }
        n += int{demostyle::kAreaClassCount} + int{demostyle::kLineClassCount};
    }
    state.SetItemsProcessed(n);
    state.SetLabel("lookups");
}
BENCHMARK(BM_ClassStyleLookups);

void BM_ColourLookups(benchmark::State& state) {
    Style s(1);
    if (!s.ok) state.SkipWithError("style");
    int64_t n = 0;
    uint32_t route[6];
    for (auto _ : state) {
        benchmark::DoNotOptimize(s.style.GetBackgroundColour(0));
        benchmark::DoNotOptimize(s.style.GetRouteColours(route, 1, 0, 0));
        for (int i = 0; i < 4; ++i) {
            uint32_t colour = 0;
            int styleIndex = 0;
            benchmark::DoNotOptimize(s.style.GetLandmarkColour(i, i % 3, &colour, &styleIndex));
        }
        n += 6;
    }
    state.SetItemsProcessed(n);
    state.SetLabel("lookups");
}
BENCHMARK(BM_ColourLookups);

// A POI symbol by class: arg 0 images in memory, 1 through the symbol cache.
void BM_SymbolLookups(benchmark::State& state) {
    Style s(static_cast<int>(state.range(0)));
    if (!s.ok) state.SkipWithError("style");
    int64_t n = 0;
    for (auto _ : state) {
        for (int c = 0; c < demostyle::kPoiClassCount; ++c) {
            StyleSymbol symbol;
            benchmark::DoNotOptimize(s.style.GetSymbolClassSymbol(c, &symbol));
        }
        StyleSymbol sign;
        benchmark::DoNotOptimize(s.style.GetSignSymbol(0, 60, &sign));
        n += demostyle::kPoiClassCount + 1;
    }
    state.SetItemsProcessed(n);
    state.SetLabel(state.range(0) ? "on demand" : "in memory");
}
BENCHMARK(BM_SymbolLookups)->Arg(0)->Arg(1);

}  // namespace
