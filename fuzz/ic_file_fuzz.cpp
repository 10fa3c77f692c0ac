// "IC.ndb" from untrusted bytes: the tables are loaded from memory and every
// query of the interchange screens runs on them.
#include <cstdint>
#include <vector>

#include "search/ic_search.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static NcSearchICJC ic;
    static std::vector<ICListRow> list(kICCapacity);
    static std::vector<ICRow> rows(kICCapacity);
    static ICHighway highways[kICHighwayCapacity];
    ic.LoadICBytes(data, size);
    int count = 0, highway = 0;
    ic.GetHighwayList(highways, &count);
    for (int side = 0; side < 2; ++side) {
        uint32_t links[4];
        ic.GetNearestICLinks(links, 66584576, 19660800, side);
        ic.ListHighwayICs(list.data(), &count, &highway, 66584576, 19660800, side, -1);
        ic.ListHighwayICs(list.data(), &count, &highway, 0, 0, side, 1);
        ic.SearchICByKeyword(rows.data(), &count, 66584576, 19660800, side, u"", side);
        ic.SearchICByKeyword(rows.data(), &count, 66584576, 19660800, side, u"ㅂ나들", 1 - side);
    }
    return 0;
}
