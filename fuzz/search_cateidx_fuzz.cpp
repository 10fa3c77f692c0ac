// "cateidx.sdb" from untrusted bytes, beside the demo district's place
// records: category searches with and without a category, area, radius and
// keyword (syllables, initials, both), the search along a short route with
// flagged points, and the rows read back.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/codepage.h"
#include "search/cate_search.h"
#include "tools/writers/search_db_writer.h"

namespace {

struct World {
    std::string folder;
    MapPoint centre;
    std::vector<MapPoint> route;
    std::vector<uint8_t> flags;
};

const World& TheWorld() {
    static const World world = [] {
        fuzzsupport::SilenceTrace();
        World w;
        w.folder = fuzzsupport::MakeMemoryFolder("search_cateidx_fuzz") + "/";
        const writers::SearchDbSource source = writers::DemoSearchSource();
        fuzzsupport::WriteBytes(w.folder + "nvr.sdb", writers::BuildPoiBaseFile(source.pois));
        w.centre = source.pois[0].pos;
        for (size_t i = 0; i < source.pois.size() && i < 12; ++i) {
            w.route.push_back(source.pois[i].pos);
            w.flags.push_back(i == 0 ? 3 : i % 4 == 3 ? 3 : i % 4 ? 1 : 0);
        }
        return w;
    }();
    return world;
}

std::string Cp949(const char* utf8) {
    std::string out;
    platform::Utf16ToCp949(platform::Utf8ToUtf16(utf8), out);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const World& w = TheWorld();
    if (size > (1u << 16)) return 0;
    fuzzsupport::WriteBytes(w.folder + "cateidx.sdb", data, size);
    static NcSearchDB db;
    static NcSearchCatesisul engine = [] {
        NcSearchCatesisul e(&db);
        e.SetRoadClassLookup([](const MapPoint& p) { return p.x % 2 ? 0 : -1; });
        return e;
    }();
    static const std::string kKeywords[] = {"", Cp949("한"), Cp949("ㅎ"), Cp949("한빛"), Cp949("ㅎㅂ"), Cp949("한ㅂ"),
                                            "GS"};
    SearchRequest q;
    q.ptCenter = {static_cast<uint32_t>(w.centre.x), static_cast<uint32_t>(w.centre.y)};
    uint32_t round = 0;
    for (uint32_t cate : {0u, 1u, 2u, 32u, 61u}) {
        const std::string& keyword = kKeywords[round % 7];
        q.nSubCode = cate;
        q.uAreaCode = round % 3 == 1 ? 1030 : 0;
        q.nRadius = round % 2 ? 3000 : 0;
        q.eOrderBy = static_cast<uint8_t>(round % 2);
        engine.SearchCategory(w.folder, q, keyword);
        SearchResult row;
        for (uint32_t i = 0; i < engine.ResultCount() && i < 3; ++i) engine.FillPOIRow(i, row);
        q.nRadius = round % 2 ? 0xFFFFFFFFu : 200;
        engine.SearchPathCategory(w.folder, q, kKeywords[(round + 3) % 7], static_cast<uint16_t>(w.route.size()),
                                  w.route.data(), w.flags.data());
        ++round;
    }
    return 0;
}
