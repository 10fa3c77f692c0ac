// The address engines on a generated country of 100 000 lots and 100 000
// building numbers (tools/writers/search_db_writer): lot and building-number
// look-ups per second (the look-up and a fetch of the ten lots from it), and
// dong/li and road-name text searches per second with keywords of whole
// syllables, of initial consonants and of both.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "search/search_addr.h"
#include "tools/writers/search_db_writer.h"

namespace {

struct Country {
    std::string folder;
    writers::SearchDbSource source;
};

const Country& Generated() {
    static const Country country = [] {
        char dir[] = "/tmp/searchaddrbenchXXXXXX";
        if (!mkdtemp(dir)) std::abort();
        Country c{std::string(dir) + "/", writers::GenerateAddressSet(7, 100000)};
        if (!writers::WriteSearchDb(dir, c.source)) std::abort();
        return c;
    }();
    return country;
}

std::string Cp(const std::u16string& text) {
    std::string out;
    platform::Utf16ToCp949(text, out);
    return out;
}

// An engine with the generated country's area file (and lot file) open.
template <typename Engine>
void OpenEngine(Engine& engine, bool withLots) {
    const Country& c = Generated();
    engine.SetFolders(c.folder, c.folder);
    engine.AllocBlockBuffers();
    if (!engine.Reopen(1) || (withLots && !engine.OpenLotFile(0))) std::abort();
}

template <typename Engine>
void LotLookups(benchmark::State& state, bool roadName) {
    const Country& c = Generated();
    Engine engine;
    OpenEngine(engine, true);
    const auto& lots = roadName ? c.source.buildings : c.source.lots;
    std::mt19937 rng(3);
    std::vector<const writers::SearchLot*> queries;
    for (int i = 0; i < 4096; ++i) queries.push_back(&lots[rng() % lots.size()]);
    size_t i = 0;
    int64_t rows = 0;
    for (auto _ : state) {
        const writers::SearchLot& q = *queries[i++ % queries.size()];
        engine.ResetLotState();
        int got = 0;
        // One above the stored lot: the nearest lower is the lot itself.
        if (engine.FindLot(q.mountain ? 1 : 0, q.main * 10000 + q.sub + 1, q.areaCode) == 1) engine.FetchLots(10, &got);
        rows += got;
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["rows"] = benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kAvgIterations);
}

void BM_LotLookup(benchmark::State& state) { LotLookups<NcSearchAddr>(state, false); }
void BM_BuildingNumberLookup(benchmark::State& state) { LotLookups<NcSearchNAddr>(state, true); }
BENCHMARK(BM_LotLookup);
BENCHMARK(BM_BuildingNumberLookup);

// Keywords from the names: two syllables, their initials, one of each.
std::vector<std::string> Keywords(const std::vector<writers::SearchArea>& areas, int kind) {
    std::vector<std::string> out;
    for (const auto& a : areas) {
        const std::u16string name = platform::Utf8ToUtf16(a.nameUtf8);
        if (name.size() < 3 || a.code < 100000) continue;
        auto initial = [](char16_t s) {
            static const char16_t kJamo[19] = {0x3131, 0x3132, 0x3134, 0x3137, 0x3138, 0x3139, 0x3141,
                                               0x3142, 0x3143, 0x3145, 0x3146, 0x3147, 0x3148, 0x3149,
                                               0x314A, 0x314B, 0x314C, 0x314D, 0x314E};
            return kJamo[(s - 0xAC00) / 588];
        };
        if (kind == 0) out.push_back(Cp(name.substr(0, 2)));
        if (kind == 1) out.push_back(Cp({initial(name[0]), initial(name[1])}));
        if (kind == 2) out.push_back(Cp({name[0], initial(name[1])}));
        if (out.size() == 512) break;
    }
    return out;
}

template <typename Engine>
void TextSearches(benchmark::State& state, bool roadName) {
    const Country& c = Generated();
    Engine engine;
    OpenEngine(engine, false);
    const auto keywords = Keywords(roadName ? c.source.roadAreas : c.source.lotAreas, static_cast<int>(state.range(0)));
    size_t i = 0;
    int64_t rows = 0;
    for (auto _ : state) rows += engine.SearchAreaByText(keywords[i++ % keywords.size()], 0);
    state.SetItemsProcessed(state.iterations());
    state.counters["rows"] = benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kAvgIterations);
}

void BM_AreaTextSearch(benchmark::State& state) { TextSearches<NcSearchAddr>(state, false); }
void BM_RoadTextSearch(benchmark::State& state) { TextSearches<NcSearchNAddr>(state, true); }
// 0: syllables, 1: initial consonants, 2: a syllable and a consonant.
BENCHMARK(BM_AreaTextSearch)->Arg(0)->Arg(1)->Arg(2);
BENCHMARK(BM_RoadTextSearch)->Arg(0)->Arg(1)->Arg(2);

}  // namespace
