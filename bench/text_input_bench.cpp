// Key presses through the Hangul composer: a station name with a digit and
// blanks, typed over and over, with the display text read after each key as
// the edit box does.
#include "uikit/text_input.h"

#include <benchmark/benchmark.h>

#include <vector>

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

}  // namespace
