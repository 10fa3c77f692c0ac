// The search module from untrusted requests: each input is a 152-byte
// request record (shorter inputs are zero-filled) handed to DoSearch on the
// demo district; the worker's answer is waited for and a page of results
// copied.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>

#include "fuzz/fuzz_support.h"
#include "search/module_sch.h"
#include "tools/writers/search_db_writer.h"

namespace {

CModuleSCH* Module() {
    static CModuleSCH* module = [] {
        fuzzsupport::SilenceTrace();
        const std::string root = fuzzsupport::MakeTempFolder("search_do_search_fuzz");
        writers::WriteDemoSearch(root);
        static CMgrConfigModuleSCH settings;
        auto* m = new CModuleSCH(&settings);
        if (m->Initialize({root, 0}) != 1) return m;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (m->GetInitState() == 0 && std::chrono::steady_clock::now() < end) std::this_thread::yield();
        return m;
    }();
    return module;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CModuleSCH* module = Module();
    if (module->GetInitState() != 1) return 0;
    SearchRequestRecord record;
    std::memset(record.bytes, 0, sizeof record.bytes);
    std::memcpy(record.bytes, data, std::min(size, sizeof record.bytes));
    SearchRequest request = DecodeSearchRequest(record);
    // The kinds whose engines are not built end at once; keep the rest.
    request.SearchKindID %= 11;
    if (module->DoSearch(request) != 1) return 0;
    int count = -1;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (module->GetSearchResultCount(&count) != 1) {
        if (std::chrono::steady_clock::now() > end) __builtin_trap();  // the worker never answered
        // A short sleep rather than a yield: the worker gets the core
        // instead of sharing it with this loop.
        std::this_thread::sleep_for(std::chrono::microseconds(20));
    }
    static SearchResult rows[20];
    int n = 0;
    module->GetSearchResult(request.SearchKindID, 0, 20, &n, rows);
    if (n > 20) __builtin_trap();
    return 0;
}
