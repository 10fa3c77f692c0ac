// "nvr.sdb" and "cate.sdb" from untrusted bytes: the first byte picks the
// file, the rest is its content. Records, names and category lists are read
// the way the search engines read them.
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "search/cate_tree.h"
#include "search/poi_base.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string folder = fuzzsupport::MakeMemoryFolder("search_poi_cate_fuzz") + "/";
    if (size < 1 || size > (1u << 20)) return 0;
    if (data[0] & 1) {
        fuzzsupport::WriteBytes(folder + "nvr.sdb", data + 1, size - 1);
        NcSearchDB db;
        if (!db.SetFolder(folder)) return 0;
        PoiBaseRecord rec;
        const uint32_t n = db.RecordCount();
        for (uint32_t i : {0u, n / 2, n - 1, n}) {
            db.ReadRecord(i, rec);
            db.ReadName(i);
        }
        return 0;
    }
    fuzzsupport::WriteBytes(folder + "cate.sdb", data + 1, size - 1);
    NcSearchCate tree;
    if (!tree.InitCate(folder)) return 0;
    std::string name;
    CateRow row;
    for (uint32_t index : {0u, 2u, 61u, 2765u, 65535u}) {
        tree.GetCateName(index, name);
        tree.GetCateRow(index, row);
        tree.ListCategories(NcSearchCate::LevelOfIndex(index) + 1, index);
    }
    return 0;
}
