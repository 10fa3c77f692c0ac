// "sch_tel.sdb" from untrusted bytes, beside the demo district's company
// file: the area table is loaded, numbers of one to ten digits are searched
// in every area it names and in one it does not, and pages are fetched.
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "search/tel_search.h"
#include "tools/writers/search_db_writer.h"

namespace {

const std::string& Folder() {
    static const std::string folder = [] {
        fuzzsupport::SilenceTrace();
        const std::string path = fuzzsupport::MakeMemoryFolder("search_tel_fuzz") + "/";
        fuzzsupport::WriteBytes(path + "sch_corp.sdb", writers::BuildPoiBaseFile(writers::DemoSearchSource().corps));
        return path;
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& folder = Folder();
    if (size > (1u << 16)) return 0;
    fuzzsupport::WriteBytes(folder + "sch_tel.sdb", data, size);
    static NcSearchTelNum engine;
    engine.SetFolder(folder);
    int areas = 0;
    if (engine.ReloadAreaTable(&areas) != 0) return 0;
    const TelAreaRow* rows = nullptr;
    engine.GetAreaTable(&rows, &areas);
    for (int a = 0; a <= areas && a < 8; ++a) {
        const uint16_t area = a < areas ? rows[a].wAreaNumber : 0xFFFF;
        for (uint32_t digits : {5u, 555u, 5550101u, 55512345u, 0u, 4294967295u}) {
            const int n = engine.SearchNumber(area, digits, {66650000, 19560000});
            if (n < 0) continue;
            const TelResultRow* page = nullptr;
            int made = 0;
            engine.FetchPage(0, 40, &page, &made);
            engine.FetchPage(n > 0 ? n - 1 : 0, 40, &page, &made);
        }
    }
    return 0;
}
