// "theme_cate.sdb" and "theme.sdb" from untrusted bytes. The first byte
// picks the file the rest becomes (odd: the categories, even: the records);
// the other one is the demo's. The lists, the category look-ups and the
// searches of kinds 9 and 10 run on them as the search module runs them.
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "search/theme_search.h"
#include "tools/writers/theme_ic_writer.h"

namespace {

struct Folder {
    std::string path = fuzzsupport::MakeMemoryFolder("theme_files_fuzz") + "/";
    std::vector<uint8_t> cate, records;
    Folder() {
        const writers::ThemeDbSource s = writers::DemoThemeSource();
        cate = writers::BuildThemeCateFile(s.tests, s.cates);
        records = writers::BuildThemeFile(s.points);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Folder folder;
    if (size < 1 || size > (1u << 20)) return 0;
    const bool cate = data[0] & 1;
    // The input's file is written; the demo's other one only when the last
    // input had replaced it.
    static int lastFuzzed = -1;  // 1 the categories, 0 the records
    const char* fuzzedName = cate ? "theme_cate.sdb" : "theme.sdb";
    fuzzsupport::WriteBytes(folder.path + fuzzedName, data + 1, size - 1);
    if (lastFuzzed != static_cast<int>(cate)) {
        const std::vector<uint8_t>& demo = cate ? folder.records : folder.cate;
        fuzzsupport::WriteBytes(folder.path + (cate ? "theme.sdb" : "theme_cate.sdb"), demo);
        lastFuzzed = cate;
    }
    // The folder is set once, as at start-up; each input reopens the files
    // and binds a job, as each search does.
    static NcSearchThemeCate engine;
    static const bool folderSet = (engine.SetThemeFolder(folder.path), true);
    (void)folderSet;
    engine.ReopenThemeFiles();
    engine.BindThemeJob();
    ThemeCateRecord record;
    for (uint32_t code : {0u, 1u, 101u, 203u, 0xFFFFFFFFu}) {
        engine.ListThemes(code < 100 ? 1 : 2, code);
        if (engine.GetThemeCateRecord(code, record)) engine.SearchThemeByTest(SearchRequest{}, record);
    }
    SearchRequest q;
    q.SearchKindID = 9;
    q.ptCenter = {66584576, 19660800};
    for (uint32_t code : {0u, 1u, 101u, 203u}) {
        q.nSubCode = code;
        engine.SearchThemes(q);
        engine.SortRows(static_cast<uint8_t>(code % 3));
    }
    q.SearchKindID = 10;
    q.nSubCode = 0;
    q.nRadius = 3000;
    q.wThemeMask = 1;
    SetSearchText(q.szKeyword, kSchKeywordChars, u"가ㄹ");
    engine.SearchThemes(q);
    for (uint32_t group : {0u, 16u, 17u}) {
        q.nOption = group;
        engine.SearchThemeListItems(q);
    }
    return 0;
}
