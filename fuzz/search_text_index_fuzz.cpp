// The address text indexes ("addrchidx.sdb", "newaddr_chidx.sdb") from
// untrusted bytes: the first byte picks the index, the rest is the file.
// Keywords of every class search it, with and without an area filter.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "search/addr_text.h"

namespace {

template <typename Index>
void Run(const std::string& folder) {
    Index index;
    if (!index.OpenIndex(folder)) return;
    // "가나", "ㄱㄴ", "가ㄴ", "ㅎㅎ", "한빛동", "A1", "!!" in CP949.
    static const char* const kKeywords[] = {"\xB0\xA1\xB3\xAA", "\xA4\xA1\xA4\xA4", "\xB0\xA1\xA4\xA4", "\xA4\xBE\xA4\xBE",
                                            "\xC7\xD1\xBA\xFB\xB5\xBF", "A1", "!!"};
    std::vector<AddrTextHitEntry> hits(kTextIndexMaxHits);
    for (const char* k : kKeywords)
        for (uint32_t filter : {0u, 1791u}) {
            if (index.Search(k, filter) != 1) continue;
            int n = 0;
            index.FetchHits(0, kTextIndexMaxHits, hits.data(), &n);
        }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string folder = fuzzsupport::MakeMemoryFolder("search_text_index_fuzz") + "/";
    if (size < 1 || size > (1u << 20)) return 0;
    if (data[0] & 1) {
        fuzzsupport::WriteBytes(folder + "newaddr_chidx.sdb", data + 1, size - 1);
        Run<NcSearchNAddrText>(folder);
    } else {
        fuzzsupport::WriteBytes(folder + "addrchidx.sdb", data + 1, size - 1);
        Run<NcSearchAddrText>(folder);
    }
    return 0;
}
