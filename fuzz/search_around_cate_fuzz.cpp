// "cate_around.sdb" from untrusted bytes: the level table, the children of
// codes at every level, and records by code.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "search/around_cate.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string folder = [] {
        fuzzsupport::SilenceTrace();
        return fuzzsupport::MakeMemoryFolder("search_around_cate_fuzz") + "/";
    }();
    if (size > (1u << 16)) return 0;
    fuzzsupport::WriteBytes(folder + "cate_around.sdb", data, size);
    static NcSearchAroundCate engine;
    if (!engine.InitAroundCate(folder)) return 0;
    std::vector<AroundCateRow> rows;
    AroundCateRow row;
    for (uint32_t code : {0u, 1u, 5u, 101u, 10101u, 42949672u, 0xFFFFFFFFu}) {
        engine.ListCategories(NcSearchAroundCate::LevelOfCode(code) + 1, code, &rows);
        engine.GetAroundRecord(code, &row);
    }
    for (int level = 0; level <= 5; ++level) {
        uint32_t first = 0, count = 0;
        engine.GetLevelRange(level, &first, &count);
    }
    return 0;
}
