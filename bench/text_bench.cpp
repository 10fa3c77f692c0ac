// Label drawing: a Korean street label in a vector font drawn from its
// outlines every time, and drawn from the stored string image; the same
// label in a bitmap font. Fonts are converted from NanumGothic into a
// temporary folder first.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "render/dib_image.h"
#include "render/aa_context.h"
#include "render/vector_font.h"
#include "tools/writers/font_writer.h"

namespace {

constexpr const char* kNanumGothic = "/usr/share/fonts/truetype/nanum/NanumGothic.ttf";

struct Fixture {
    std::string folder;
    std::string label;
    bool ok = false;

    Fixture() {
        folder = (std::filesystem::temp_directory_path() / ("navi_text_bench_" + std::to_string(getpid()))).string();
        std::filesystem::create_directories(folder + "/Font");
        platform::Utf16ToCp949(platform::Utf8ToUtf16("서울특별시 강남구 테헤란로 123"), label);
        std::vector<uint16_t> codes;
        size_t pos = 0;
        uint32_t code = 0;
        while (NextFontCode(label.data(), label.size(), pos, code)) codes.push_back(static_cast<uint16_t>(code));
        ok = true;
        for (bool bitmap : {false, true}) {
            fontwriter::TrueTypeOptions options;
            options.ttfPath = kNanumGothic;
            options.faceName = "NANUM";
            options.bitmap = bitmap;
            options.height = bitmap ? 20 : 64;
            options.width = bitmap ? 20 : 400;
            options.codes = codes;
            fontwriter::FontDesc desc;
            ok = ok && fontwriter::ConvertTrueType(options, desc) &&
                 fontwriter::WriteFontFile(folder + (bitmap ? "/Font/b.fnt" : "/Font/v.fnt"), desc);
        }
        SetVectorFontFolder(folder);
    }
    ~Fixture() {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
};

Fixture& Shared() {
    static Fixture fixture;
    return fixture;
}

void DrawLabel(benchmark::State& state, int32_t kind, int32_t storesImages) {
    Fixture& f = Shared();
    if (!f.ok) {
        state.SkipWithError("NanumGothic not available");
        return;
    }
    CMneVectorFont font;
    if (!font.Create(20, kind == kFontKindBitmap ? 20 : 400, "NANUM", storesImages, kind)) {
        state.SkipWithError("font not created");
        return;
    }
    DibImage565 image(320, 32);
    CMneDC dc;
    dc.Attach(image);
    dc.SelectFont(&font);
    dc.SetTextColor(0xFFFFFF);
    const MneRect rect{0, 0, 320, 32};
    const auto length = static_cast<int32_t>(f.label.size());
    for (auto _ : state) {
        benchmark::DoNotOptimize(dc.DrawText(f.label.data(), length, &rect, 0x925));
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel("labels");
}

void BM_VectorLabelFromOutlines(benchmark::State& state) { DrawLabel(state, kFontKindVector, 0); }
void BM_VectorLabelFromStoredImage(benchmark::State& state) { DrawLabel(state, kFontKindVector, 1); }
void BM_BitmapLabelFromGlyphs(benchmark::State& state) { DrawLabel(state, kFontKindBitmap, 0); }
void BM_BitmapLabelFromStoredImages(benchmark::State& state) { DrawLabel(state, kFontKindBitmap, 1); }

BENCHMARK(BM_VectorLabelFromOutlines);
BENCHMARK(BM_VectorLabelFromStoredImage);
BENCHMARK(BM_BitmapLabelFromGlyphs);
BENCHMARK(BM_BitmapLabelFromStoredImages);

}  // namespace
