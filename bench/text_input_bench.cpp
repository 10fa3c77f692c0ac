// Key presses through the Hangul composer: a station name with a digit and
// blanks, typed over and over, with the display text read after each key as
// the edit box does; and the same name typed by touches on the demo UI's
// keyboard board, each touch followed by the screen's work and a redraw of
// what changed (update plus a dirty-only draw).
#include "uikit/text_input.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench/ui_bench_root.h"
#include "platform/codepage.h"
#include "uikit/board_manager.h"
#include "uikit/ctrl_button.h"
#include "uikit/ctrl_edit_box.h"
#include "uikit/ctrl_keyboard.h"

namespace {

void BM_PressKey(benchmark::State& state) {
    // 서울역 3번 출구: ㅅㅓㅇㅜㄹㅇㅕㄱ, blank, 3, ㅂㅓㄴ, blank, ㅊㅜㄹㄱㅜ
    const std::vector<int> keys = {13, 27, 14, 29, 10, 14, 31, 7, 4, 64, 12, 27, 8, 4, 16, 29, 10, 7, 29};
    NvTextInput input;
    size_t i = 0;
    for (auto _ : state) {
        if (i % keys.size() == 0 && input.GetLength() > 400) input.PressKey(kTextKeyClear);
        input.PressKey(keys[i % keys.size()]);
        benchmark::DoNotOptimize(input.GetDisplayText());
        ++i;
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_PressKey);

using uibench::NullWindow;

void BM_TouchKeyboardBoard(benchmark::State& state) {
    std::string typed;
    platform::Utf16ToCp949(u"서울역번출구", typed);
    uibench::DemoUiRoot root("text_input_bench", typed);
    if (!root.ok()) {
        state.SkipWithError(("cannot write the demo root: " + root.error).c_str());
        return;
    }
    {
        const std::string ui = root.Ui();
        NvRegisterStandardControls();
        NvRegisterKeyboardControl();
        NvRegisterEditBoxControl();
        NullWindow window;
        NvBoardManager host(ui.c_str());
        if (host.Start(&window, 800, 480, 0, 0, 0) != 1 || host.LoadBoard(2) != 1) {
            state.SkipWithError("cannot load the keyboard board");
            return;
        }
        auto* edit = dynamic_cast<NvCtrlEditBox*>(host.GetControl(1));
        edit->SetCaretEnable(true);
        // Key index -> touch point on the keyboard at (0, 240): group keys
        // and the blank on the top row, the others ten to a row below.
        struct Touch {
            int32_t x, y;
        };
        auto grid = [](int n) { return Touch{(n % 10) * 80 + 38, 240 + 60 + (n / 10) * 60 + 28}; };
        const Touch blank{598, 268}, hangul{38, 268}, digits{198, 268};
        std::vector<Touch> touches;
        for (int k : {13, 27, 14, 29, 10, 14, 31, 7}) touches.push_back(grid(k - 7));
        touches.insert(touches.end(), {blank, digits, grid(64 - 62), hangul});
        for (int k : {12, 27, 8}) touches.push_back(grid(k - 7));
        touches.push_back(blank);
        for (int k : {16, 29, 10, 7, 29}) touches.push_back(grid(k - 7));
        NvTextInput input;
        uint32_t tick = 1000;
        size_t i = 0;
        for (auto _ : state) {
            if (i % touches.size() == 0 && input.GetLength() > 40) input.PressKey(kTextKeyClear);
            const Touch t = touches[i % touches.size()];
            host.ProcessInput(tick += 20, kNvWmLButtonDown, NvMakePoint(t.x, t.y), 0);
            const NvCtrlEvent& e = host.LastEvent();
            if (e.action == kKeyboardActionKey) {
                input.PressKey(e.value);
                edit->ShowInput(input);
            }
            host.UpdateFrame(tick += 20);
            host.DrawFrame(false, true);
            ++i;
        }
        state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
    }
}
BENCHMARK(BM_TouchKeyboardBoard)->Unit(benchmark::kMicrosecond);

}  // namespace
