#include "tools/writers/search_kinds_writer.h"

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <tuple>

#include "platform/byte_cursor.h"
#include "platform/codepage.h"
#include "platform/file_io.h"
#include "search/around_cate.h"
#include "search/cate_search.h"
#include "search/cate_tree.h"
#include "search/search_keys.h"
#include "search/tel_search.h"

namespace writers {
namespace {

std::string Cp949(const std::string& utf8) {
    std::string out;
    platform::Utf16ToCp949(platform::Utf8ToUtf16(utf8), out);
    return out;
}

}  // namespace

std::vector<uint16_t> CategoryPath(uint16_t packed) {
    const uint16_t g = (packed >> 12) & 0xF, h = (packed >> 6) & 0x3F, m = packed & 0x3F;
    std::vector<uint16_t> path;
    if (g == 0) return path;
    path.push_back(g);
    if (h == 0) return path;
    path.push_back(static_cast<uint16_t>(g * 30 + h));
    if (m) path.push_back(static_cast<uint16_t>((g * 30 + h) * 30 + m));
    return path;
}

uint32_t AroundCodeOfIndex(uint16_t index) {
    switch (NcSearchCate::LevelOfIndex(index)) {
    case 1: return index;
    case 2: return index / 30 * 100 + index % 30;
    case 3: return AroundCodeOfIndex(static_cast<uint16_t>(index / 30)) * 100 + index % 30;
    default: return 0;
    }
}

std::vector<uint8_t> BuildTelFile(const std::vector<SearchPoi>& corps) {
    const std::vector<size_t> order = PoiRecordOrder(corps);
    // Area number -> (key without bit 31, key, record).
    std::map<uint16_t, std::vector<std::tuple<uint32_t, uint32_t, uint32_t>>> areas;
    for (size_t r = 0; r < order.size(); ++r) {
        const SearchPoi& c = corps[order[r]];
        const uint32_t key = TelKeyOf(c.telNumber);
        if (key == 0) continue;
        areas[c.telArea].push_back({key & ~kTelKeyLongFlag, key, static_cast<uint32_t>(r)});
    }
    uint32_t total = 0;
    for (auto& [area, list] : areas) {
        std::sort(list.begin(), list.end());
        total += static_cast<uint32_t>(list.size());
    }
    platform::ByteWriter w;
    w.U32(static_cast<uint32_t>(areas.size()));
    w.U32(total);
    w.Zeros(2);
    uint32_t at = kTelHeaderBytes + static_cast<uint32_t>(areas.size()) * kTelAreaRecordBytes;
    for (const auto& [area, list] : areas) {
        w.U16(area);
        w.U32(static_cast<uint32_t>(list.size()));
        w.U32(at);
        at += static_cast<uint32_t>(list.size()) * kTelEntryBytes;
    }
    for (const auto& [area, list] : areas)
        for (const auto& [plain, key, record] : list) {
            w.U32(key);
            w.U32(record);
        }
    return w.Data();
}

std::vector<uint8_t> BuildCateIdxFile(const std::vector<SearchPoi>& pois) {
    std::vector<std::string> names;
    const std::vector<size_t> order = PoiRecordOrder(pois, &names);
    // Category index -> records in record (name) order.
    std::map<uint16_t, std::vector<uint32_t>> lists;
    for (uint16_t g = 1; g <= 15; ++g) lists[g];
    for (size_t r = 0; r < order.size(); ++r)
        for (uint16_t index : CategoryPath(pois[order[r]].catePacked)) lists[index].push_back(static_cast<uint32_t>(r));
    std::vector<uint8_t> keys(names.size());
    for (size_t r = 0; r < names.size(); ++r) keys[r] = MakeKeyByte(names[r]);

    platform::ByteWriter w;
    w.U32(static_cast<uint32_t>(lists.size()));
    w.Zeros(5);
    uint64_t at = (uint64_t{lists.size()} + 1) * kCateIdxEntryBytes;
    for (const auto& [index, records] : lists) {
        w.U16(index);
        w.U16(static_cast<uint16_t>(records.size()));
        w.U8(static_cast<uint8_t>(records.size() >> 16));
        w.U32(static_cast<uint32_t>(at));
        at += uint64_t{records.size()} * kCateIdxRecordBytes;
    }
    for (const auto& [index, records] : lists)
        for (uint32_t r : records) {
            const SearchPoi& p = pois[order[r]];
            w.U32(r);
            w.U32(p.areaCode);
            w.U32(static_cast<uint32_t>(p.pos.x));
            w.U32(static_cast<uint32_t>(p.pos.y));
            w.U8(keys[r]);
        }
    return w.Data();
}

std::vector<uint8_t> BuildAroundCateFile(const std::vector<SearchCate>& cates, const std::vector<SearchPoi>& pois) {
    std::map<uint16_t, uint32_t> placeCount;
    for (const SearchPoi& p : pois)
        for (uint16_t index : CategoryPath(p.catePacked)) ++placeCount[index];
    struct Rec {
        int level;
        uint32_t code;
        uint16_t index;
        std::string name;
    };
    std::vector<Rec> recs;
    for (const SearchCate& c : cates) {
        const int level = NcSearchCate::LevelOfIndex(c.index);
        if (level < 1 || level > 3 || c.nameUtf8.empty()) continue;
        recs.push_back({level, AroundCodeOfIndex(c.index), c.index, std::string(CutCp949(Cp949(c.nameUtf8), 255))});
    }
    std::sort(recs.begin(), recs.end(),
              [](const Rec& a, const Rec& b) { return std::tie(a.level, a.code) < std::tie(b.level, b.code); });
    const uint32_t n = static_cast<uint32_t>(recs.size());
    platform::ByteWriter w;
    w.U16(static_cast<uint16_t>(n));
    for (int level = 1; level <= kAroundCateLevels + 1; ++level) {
        uint32_t first = 0;
        while (first < n && recs[first].level < level) ++first;
        w.U16(static_cast<uint16_t>(first));
    }
    w.Zeros(kAroundCateRecordBytes - kAroundCateHeaderBytes);
    uint32_t nameAt = (n + 1) * kAroundCateRecordBytes;
    for (const Rec& r : recs) {
        w.U32(r.code);
        w.U16(r.index);
        w.U16(0);
        w.U16(static_cast<uint16_t>(r.level));
        w.U32(placeCount.count(r.index) ? placeCount[r.index] : 0);
        w.U8(static_cast<uint8_t>(r.name.size()));
        w.U32(nameAt);
        nameAt += static_cast<uint32_t>(r.name.size());
    }
    for (const Rec& r : recs) w.Bytes(r.name.data(), r.name.size());
    return w.Data();
}

bool WriteSearchKindFiles(const std::string& dir, const SearchDbSource& source, std::string* error) {
    auto put = [&](const char* name, const std::vector<uint8_t>& bytes) {
        return platform::AtomicReplaceFile(dir + "/" + name, bytes, error);
    };
    return put("sch_tel.sdb", BuildTelFile(source.corps)) && put("cateidx.sdb", BuildCateIdxFile(source.pois)) &&
           put("cate_around.sdb", BuildAroundCateFile(source.cates, source.pois));
}

void AssignTelephones(std::vector<SearchPoi>& pois, uint32_t seed) {
    static constexpr uint16_t kAreas[] = {2, 31, 32, 33, 41, 42, 43, 51, 52, 53, 54, 55, 61, 62, 63, 64};
    std::mt19937 rng(seed);
    std::set<std::pair<uint16_t, uint32_t>> used;
    for (SearchPoi& p : pois) {
        // Most numbers in the capital's area, so that its lists are long.
        const uint16_t area = rng() % 2 ? 2 : kAreas[rng() % 16];
        for (;;) {
            const bool eight = rng() % 2;
            const uint32_t number = eight ? 10000000 + rng() % 90000000 : 1000000 + rng() % 9000000;
            if (used.insert({area, number}).second) {
                p.telArea = area;
                p.telNumber = number;
                break;
            }
        }
    }
}

}  // namespace writers
