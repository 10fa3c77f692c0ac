// The address engines' files from untrusted bytes: the area file, the
// block index, the lot file and the text index of either engine. Input:
// one byte (bit 0: road-name engine), then the area file, the block index
// and the text index, each behind a u16 length, then the lot file. Every
// look-up the engines offer runs on a few codes the area file holds and on
// a few it does not.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/byte_cursor.h"
#include "search/search_addr.h"

namespace {

using fuzzsupport::WriteBytes;

bool Part(platform::ByteReader& r, std::vector<uint8_t>& out) {
    const uint16_t n = r.U16();
    const uint8_t* p = r.Span(n);
    if (!p) return false;
    out.assign(p, p + n);
    return true;
}

template <typename Engine>
void Run(const std::string& folder, const std::vector<uint8_t>& area) {
    Engine engine;
    engine.SetFolders(folder, folder);
    engine.AllocBlockBuffers();
    if (!engine.Reopen(1)) return;
    // A few fixed codes and those of the first records.
    std::vector<int64_t> codes = {0, 17, 1791};
    platform::ByteReader r(area);
    const uint32_t record = Engine::kRecordBytes;
    for (uint32_t i = 1; i <= 3 && r.Seek(i * record); ++i) codes.push_back(r.U32());
    codes.push_back(codes.back() + 1);
    std::string text;
    for (int64_t code : codes) {
        const int groups = Engine::CodeGroups(code);
        engine.GetAreaText(code, text, 0);
        engine.GetAreaText(code, text, 7);
        engine.ListAreas(code, groups + 1);
        engine.ListAreas(code, groups);
        if (code == 0 || !engine.OpenLotFile(static_cast<int>(code % 16))) continue;
        int got = 0;
        for (int32_t key : {0, 123456})
            if (engine.FindLot(key != 0, key, code) == 1) engine.FetchLots(300, &got);
        engine.FetchLots(50, &got);
    }
    // "ㄱㄴ" and "가ㄴ" in CP949.
    for (const char* keyword : {"\xA4\xA1\xA4\xA4", "\xB0\xA1\xA4\xA4"})
        for (uint32_t filter : {0u, 1791u}) engine.SearchAreaByText(keyword, filter);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string folder = fuzzsupport::MakeMemoryFolder("search_addr_fuzz") + "/";
    static const bool quiet = (fuzzsupport::SilenceTrace(), true);
    (void)quiet;
    if (size < 1 || size > (1u << 20)) return 0;
    const bool road = data[0] & 1;
    platform::ByteReader r(data + 1, size - 1);
    std::vector<uint8_t> area, index, text;
    if (!Part(r, area) || !Part(r, index) || !Part(r, text)) return 0;
    const std::vector<uint8_t> lots(data + 1 + r.Position(), data + size);
    WriteBytes(folder + (road ? "newaddr.sdb" : "nlad.sdb"), area);
    WriteBytes(folder + (road ? "newaddr_ncjidx.sdb" : "ncjidx.sdb"), index);
    WriteBytes(folder + (road ? "newaddr_chidx.sdb" : "addrchidx.sdb"), text);
    WriteBytes(folder + (road ? "newaddr_ncj.sdb" : "ncj.sdb"), lots);
    // A split file's lots are read from the province file of "서울".
    WriteBytes(folder + (road ? "newaddr_ncj서울.sdb" : "ncj서울.sdb"), lots);
    if (road)
        Run<NcSearchNAddr>(folder, area);
    else
        Run<NcSearchAddr>(folder, area);
    return 0;
}
