#include "tools/writers/search_db_writer.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <random>
#include <set>
#include <sstream>

#include "platform/byte_cursor.h"
#include "platform/codepage.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "search/addr_text.h"
#include "search/area_codes.h"
#include "search/cate_tree.h"
#include "search/name_search.h"
#include "search/poi_base.h"
#include "search/search_addr.h"
#include "search/search_keys.h"
#include "tools/writers/search_kinds_writer.h"
#include "zlib.h"

namespace writers {
namespace {

constexpr uint32_t kOriginX = kAddrOriginX;
constexpr uint32_t kOriginY = kAddrOriginY;
constexpr int kMaxStep = 4095;

const char kAreasTable[] =
#include "tools/demo_search/areas.tsv.inc"
    ;
const char kCategoriesTable[] =
#include "tools/demo_search/categories.tsv.inc"
    ;
const char kPlacesTable[] =
#include "tools/demo_search/places.tsv.inc"
    ;
const char kLotsTable[] =
#include "tools/demo_search/lots.tsv.inc"
    ;

std::string Cp949(const std::string& utf8) {
    std::string out;
    platform::Utf16ToCp949(platform::Utf8ToUtf16(utf8), out);
    return out;
}

void U24(platform::ByteWriter& w, uint32_t v) {
    w.U16(static_cast<uint16_t>(v));
    w.U8(static_cast<uint8_t>(v >> 16));
}

uint32_t Rel24(int64_t value, int64_t origin) {
    return static_cast<uint32_t>(std::clamp<int64_t>(value - origin, 0, 0xFFFFFF));
}

MapPoint Deg(double lon, double lat) {
    return {static_cast<int32_t>(lon * kMapUnitsPerDegree), static_cast<int32_t>(lat * kMapUnitsPerDegree)};
}

struct AreaLots {
    uint32_t baseX = 0, baseY = 0;
    std::vector<SearchLot> lots;  // sorted by key
    uint16_t firstBlock = 0, firstIndex = 0, lastBlock = 0, lastIndex = 0;
};

int ProvinceOf(uint32_t code, bool roadName) {
    const int level = SearchAreaLevel(code, roadName);
    if (roadName && code > 9999) return static_cast<int>(code / 1000000);
    return static_cast<int>(code / PowerOf100(std::max(level - 1, 0)));
}

std::vector<uint8_t> Deflate(const std::vector<uint8_t>& raw) {
    uLongf size = compressBound(raw.size());
    std::vector<uint8_t> out(size);
    compress2(out.data(), &size, raw.data(), raw.size(), Z_BEST_COMPRESSION);
    out.resize(size);
    return out;
}

}  // namespace

std::vector<std::vector<std::string>> TableRows(const char* table) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(table);
    std::string line;
    bool header = true;
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        if (header) {
            header = false;
            continue;
        }
        std::vector<std::string> cells;
        size_t start = 0;
        for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
            cells.push_back(line.substr(start, tab - start));
        cells.push_back(line.substr(start));
        rows.push_back(cells);
    }
    return rows;
}

namespace {

// "12", "12-3", "산12-3".
bool ParseNumber(const std::string& text, bool& mountain, uint16_t& main, uint16_t& sub) {
    static const std::string kMountain = "산";
    std::string t = text;
    mountain = t.rfind(kMountain, 0) == 0;
    if (mountain) t = t.substr(kMountain.size());
    char* end = nullptr;
    const long m = std::strtol(t.c_str(), &end, 10);
    long s = 0;
    if (*end == '-') s = std::strtol(end + 1, &end, 10);
    if (*end != '\0' || m <= 0 || m > 9999 || s < 0 || s > 9999) return false;
    main = static_cast<uint16_t>(m);
    sub = static_cast<uint16_t>(s);
    return true;
}

}  // namespace

int32_t SearchLotKey(const SearchLot& lot) {
    return AddrLotKey(lot.mountain, lot.main, lot.sub);
}

int SearchAreaLevel(uint32_t code, bool roadName) {
    return roadName ? NcSearchNAddr::CodeGroups(code) : NcSearchAddr::CodeGroups(code);
}

MapPoint StoredLotPosition(const MapPoint& base, const MapPoint& pos) {
    auto step = [](int64_t v) { return std::clamp<int64_t>((v + kLotStepUnits / 2) / kLotStepUnits, 0, kMaxStep); };
    const int64_t sx = step(int64_t{pos.x} - base.x), sy = step(int64_t{pos.y} - base.y);
    return {static_cast<int32_t>(base.x + sx * kLotStepUnits), static_cast<int32_t>(base.y + sy * kLotStepUnits)};
}

std::vector<uint8_t> EncodeAddrAreaRecord(uint32_t code, uint32_t count, uint32_t value2, uint32_t nameOffset,
                                          uint16_t firstBlock, uint16_t firstIndex, uint16_t lastBlock,
                                          uint16_t lastIndex, uint16_t lotFlag, uint32_t baseX, uint32_t baseY,
                                          uint32_t x, uint32_t y, bool roadName) {
    platform::ByteWriter w;
    w.U32(code);
    if (roadName) {
        w.U32(count);
        w.U32(value2);
    } else {
        w.U16(static_cast<uint16_t>(value2));
        w.U16(static_cast<uint16_t>(count));
    }
    w.U32(nameOffset);
    w.U16(firstBlock);
    w.U16(firstIndex);
    w.U16(lastBlock);
    w.U16(lastIndex);
    w.U16(lotFlag);
    U24(w, baseX);
    U24(w, baseY);
    U24(w, x);
    U24(w, y);
    return w.Data();
}

std::vector<uint8_t> EncodeLotRecord(const SearchLot& lot, uint32_t baseX, uint32_t baseY) {
    const MapPoint base{static_cast<int32_t>(kOriginX + baseX), static_cast<int32_t>(kOriginY + baseY)};
    const MapPoint stored = StoredLotPosition(base, lot.pos);
    const uint32_t sx = static_cast<uint32_t>(stored.x - base.x) / kLotStepUnits;
    const uint32_t sy = static_cast<uint32_t>(stored.y - base.y) / kLotStepUnits;
    platform::ByteWriter w;
    w.U16(static_cast<uint16_t>(lot.main + (lot.mountain ? kMountainMainFlag : 0)));
    w.U16(lot.sub);
    U24(w, (sx << 12) | sy);
    return w.Data();
}

AddrDbFiles BuildAddrDb(const std::vector<SearchArea>& areasIn, const std::vector<SearchLot>& lotsIn, bool roadName,
                        bool split, int lotsPerBlock) {
    lotsPerBlock = std::clamp(lotsPerBlock, 1, kAddrBlockRecords);
    const uint32_t recordBytes = roadName ? kNAddrAreaRecordBytes : kAddrAreaRecordBytes;

    // Records by level, then code.
    std::vector<SearchArea> areas = areasIn;
    std::sort(areas.begin(), areas.end(), [&](const SearchArea& a, const SearchArea& b) {
        const int la = SearchAreaLevel(a.code, roadName), lb = SearchAreaLevel(b.code, roadName);
        return la != lb ? la < lb : a.code < b.code;
    });

    // Lots by area, each area's sorted by key with doubles dropped.
    std::map<uint32_t, AreaLots> byArea;
    for (const auto& lot : lotsIn) byArea[lot.areaCode].lots.push_back(lot);
    for (auto& [code, a] : byArea) {
        std::sort(a.lots.begin(), a.lots.end(),
                  [](const SearchLot& x, const SearchLot& y) { return SearchLotKey(x) < SearchLotKey(y); });
        a.lots.erase(std::unique(a.lots.begin(), a.lots.end(),
                                 [](const SearchLot& x, const SearchLot& y) { return SearchLotKey(x) == SearchLotKey(y); }),
                     a.lots.end());
        int64_t minX = INT64_MAX, minY = INT64_MAX;
        for (const auto& lot : a.lots) {
            minX = std::min<int64_t>(minX, lot.pos.x);
            minY = std::min<int64_t>(minY, lot.pos.y);
        }
        a.baseX = Rel24(minX, kOriginX);
        a.baseY = Rel24(minY, kOriginY);
    }

    // Blocks: the areas' lots in (province,) code order; a split file never
    // shares a block between provinces.
    AddrDbFiles files;
    const std::string stem = roadName ? "newaddr_ncj" : "ncj";
    platform::ByteWriter index;
    std::vector<uint8_t> block;
    int blockNumber = 0, inBlock = 0;
    std::string currentFile = stem + ".sdb";
    auto flush = [&] {
        if (inBlock == 0) return;
        auto& bytes = files.lotFiles[currentFile];
        const std::vector<uint8_t> packed = Deflate(block);
        index.U32(static_cast<uint32_t>(bytes.size()));
        index.U32(static_cast<uint32_t>(packed.size()));
        bytes.insert(bytes.end(), packed.begin(), packed.end());
        block.clear();
        inBlock = 0;
        ++blockNumber;
    };
    std::vector<uint32_t> order;
    for (const auto& [code, a] : byArea) order.push_back(code);
    if (split)
        std::stable_sort(order.begin(), order.end(), [&](uint32_t x, uint32_t y) {
            return ProvinceOf(x, roadName) < ProvinceOf(y, roadName);
        });
    int province = -1;
    for (uint32_t code : order) {
        AreaLots& a = byArea[code];
        if (a.lots.empty()) continue;
        if (split && ProvinceOf(code, roadName) != province) {
            flush();
            province = ProvinceOf(code, roadName);
            const char* suffix = ProvinceSuffix(province - kProvinceFirst);
            currentFile = stem + (suffix ? suffix : "") + ".sdb";
        }
        for (size_t i = 0; i < a.lots.size(); ++i) {
            if (inBlock == lotsPerBlock) flush();
            if (i == 0) {
                a.firstBlock = static_cast<uint16_t>(blockNumber);
                a.firstIndex = static_cast<uint16_t>(inBlock);
            }
            const auto rec = EncodeLotRecord(a.lots[i], a.baseX, a.baseY);
            block.insert(block.end(), rec.begin(), rec.end());
            a.lastBlock = static_cast<uint16_t>(blockNumber);
            a.lastIndex = static_cast<uint16_t>(inBlock);
            ++inBlock;
        }
    }
    flush();
    files.blockIndex = index.Data();
    if (files.lotFiles.empty()) files.lotFiles[stem + ".sdb"] = {};

    // Area file: header, records, names.
    const uint32_t n = static_cast<uint32_t>(areas.size());
    platform::ByteWriter w;
    w.U32(n);
    for (int level = 1; level <= 5; ++level) {
        uint32_t r = 1;
        while (r <= n && SearchAreaLevel(areas[r - 1].code, roadName) < level) ++r;
        w.U32(r);
    }
    w.U8(split ? 1 : 0);
    w.Zeros(recordBytes - kAddrHeaderBytes);
    uint32_t nameOffset = (n + 1) * recordBytes;
    std::string names;
    std::vector<std::pair<uint32_t, std::string>> textEntries;
    for (const auto& area : areas) {
        std::string name = std::string(CutCp949(Cp949(area.nameUtf8), kAddrNameBytes - 1));
        std::replace(name.begin(), name.end(), ' ', '_');
        const auto it = byArea.find(area.code);
        const AreaLots empty;
        const AreaLots& a = it != byArea.end() ? it->second : empty;
        const uint32_t count = area.count ? area.count : static_cast<uint32_t>(a.lots.size());
        const auto rec = EncodeAddrAreaRecord(
            area.code, roadName ? count : std::min<uint32_t>(count, 0xFFFF), area.value2, nameOffset + names.size(),
            a.firstBlock, a.firstIndex, a.lastBlock, a.lastIndex, a.lots.empty() ? 0 : 1, a.baseX, a.baseY,
            Rel24(area.pos.x, kOriginX), Rel24(area.pos.y, kOriginY), roadName);
        w.Bytes(rec.data(), rec.size());
        names += name;
        const int level = SearchAreaLevel(area.code, roadName);
        if (roadName ? level == 3 : level >= 3) textEntries.push_back({area.code, Cp949(area.nameUtf8)});
    }
    w.Bytes(names.data(), names.size());
    files.areaFile = w.Data();
    files.textIndex = BuildAddrTextIndex(textEntries, roadName ? NcSearchNAddrText::kNameBytes
                                                               : NcSearchAddrText::kNameBytes);
    return files;
}

std::vector<uint8_t> BuildAddrTextIndex(std::vector<std::pair<uint32_t, std::string>> entries, uint32_t nameBytes) {
    for (auto& e : entries) e.second = std::string(CutCp949(e.second, nameBytes - 1));
    // Bucket by the readers' key, then by name bytes, then code.
    std::vector<std::pair<int, size_t>> order;
    for (size_t i = 0; i < entries.size(); ++i) order.push_back({BucketKey(entries[i].second, InitialList::kSyllables), i});
    std::sort(order.begin(), order.end(), [&](const auto& a, const auto& b) {
        if (a.first != b.first) return a.first < b.first;
        const auto& ea = entries[a.second];
        const auto& eb = entries[b.second];
        const int c = std::string_view(ea.second).compare(eb.second);  // char_traits<char>: unsigned bytes
        return c != 0 ? c < 0 : ea.first < eb.first;
    });
    std::vector<uint32_t> table(kTextIndexBucketSlots, 0);
    platform::ByteWriter body;
    const uint32_t base = kTextIndexTableBytes;
    for (const auto& [bucket, i] : order) {
        if (table[static_cast<size_t>(bucket)] == 0) table[static_cast<size_t>(bucket)] = base + static_cast<uint32_t>(body.Size());
        body.U32(entries[i].first);
        std::string field(nameBytes, '\0');
        std::copy(entries[i].second.begin(), entries[i].second.end(), field.begin());
        body.Bytes(field.data(), field.size());
    }
    table[kTextIndexBucketSlots - 1] = base + static_cast<uint32_t>(body.Size());
    platform::ByteWriter w;
    for (uint32_t v : table) w.U32(v);
    w.Bytes(body.Data().data(), body.Size());
    return w.Data();
}

std::vector<uint8_t> EncodePoiRecord(const SearchPoi& poi, uint32_t nameOffset, uint8_t nameLength) {
    platform::ByteWriter w;
    w.U32(nameOffset);
    w.U8(nameLength);
    w.U8(poi.flags);
    w.U32(poi.poiId);
    w.U16(poi.catePacked);
    w.U32(poi.areaCode);
    w.U16(poi.telArea);
    w.U32(poi.telNumber);
    w.U32(static_cast<uint32_t>(poi.pos.x));
    w.U32(static_cast<uint32_t>(poi.pos.y));
    return w.Data();
}

std::vector<size_t> PoiRecordOrder(const std::vector<SearchPoi>& pois, std::vector<std::string>* sortedNames) {
    std::vector<std::string> names;
    for (const auto& p : pois) names.push_back(std::string(CutCp949(Cp949(p.nameUtf8), 255)));
    std::vector<size_t> order(pois.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return std::string_view(names[a]) < std::string_view(names[b]); });
    if (sortedNames) {
        sortedNames->clear();
        for (size_t i : order) sortedNames->push_back(names[i]);
    }
    return order;
}

std::vector<uint8_t> BuildPoiBaseFile(std::vector<SearchPoi> pois) {
    std::vector<std::string> names;
    const std::vector<size_t> order = PoiRecordOrder(pois, &names);
    platform::ByteWriter w;
    w.U32(static_cast<uint32_t>(pois.size()));
    w.Zeros(kPoiBaseRecordBytes - 4);
    uint32_t offset = static_cast<uint32_t>((pois.size() + 1) * kPoiBaseRecordBytes);
    for (size_t r = 0; r < order.size(); ++r) {
        const auto rec = EncodePoiRecord(pois[order[r]], offset, static_cast<uint8_t>(names[r].size()));
        w.Bytes(rec.data(), rec.size());
        offset += static_cast<uint32_t>(names[r].size());
    }
    for (const auto& name : names) w.Bytes(name.data(), name.size());
    return w.Data();
}

namespace {

// CP949 compatibility consonant of each initial.
constexpr uint8_t kInitialJamoTrail[19] = {0xA1, 0xA2, 0xA4, 0xA7, 0xA8, 0xA9, 0xB1, 0xB2, 0xB3, 0xB5,
                                           0xB6, 0xB7, 0xB8, 0xB9, 0xBA, 0xBB, 0xBC, 0xBD, 0xBE};

// The text of up to the first two characters, zero-padded to 4 bytes.
std::array<uint8_t, 4> FirstTwoChars(const std::string& name, bool initials) {
    std::array<uint8_t, 4> text{};
    size_t pos = 0, out = 0;
    for (int c = 0; c < 2 && pos < name.size(); ++c) {
        const size_t n = std::min(Cp949CharBytes(static_cast<uint8_t>(name[pos])), name.size() - pos);
        const std::string ch = name.substr(pos, n);
        std::string put = ch;
        if (initials) {
            const uint8_t key = NameInitialKey(ch).at(0);
            if (key >= 51) put = std::string{static_cast<char>(0xA4), static_cast<char>(kInitialJamoTrail[key - 51])};
        }
        for (char b : put)
            if (out < 4) text[out++] = static_cast<uint8_t>(b);
        pos += n;
    }
    return text;
}

struct IndexGroup {
    std::array<uint8_t, 4> text{};
    std::vector<uint32_t> records;
};

// Key entries and their lists as one block placed at base: entries first,
// then the lists one after the other.
void WriteKeyBlock(platform::ByteWriter& w, const std::vector<IndexGroup>& groups, uint32_t base) {
    uint32_t listAt = base + static_cast<uint32_t>(groups.size()) * kNameIndexEntryBytes, first = 0;
    for (const auto& g : groups) {
        w.Bytes(g.text.data(), 4);
        w.U32(first);
        w.U32(static_cast<uint32_t>(g.records.size()));
        w.U32(listAt + first * 4);
        first += static_cast<uint32_t>(g.records.size());
    }
    for (const auto& g : groups)
        for (uint32_t r : g.records) w.U32(r);
}

// Records grouped by their first two initials, each list in the order of
// the whole name's initials and then the name.
std::vector<IndexGroup> InitialGroups(const std::vector<std::string>& names, const std::vector<uint32_t>& records) {
    std::map<std::pair<uint8_t, uint8_t>, IndexGroup> groups;
    std::vector<std::vector<uint8_t>> keys(names.size());
    for (uint32_t r : records) {
        keys[r] = NameInitialKey(names[r]);
        const uint8_t k0 = keys[r].size() > 0 ? keys[r][0] : 0, k1 = keys[r].size() > 1 ? keys[r][1] : 0;
        IndexGroup& g = groups[{k0, k1}];
        if (g.records.empty()) g.text = FirstTwoChars(names[r], true);
        g.records.push_back(r);
    }
    std::vector<IndexGroup> out;
    for (auto& [key, g] : groups) {
        std::stable_sort(g.records.begin(), g.records.end(), [&](uint32_t a, uint32_t b) {
            return keys[a] != keys[b] ? keys[a] < keys[b] : names[a] < names[b];
        });
        out.push_back(std::move(g));
    }
    return out;
}

}  // namespace

std::map<std::string, std::vector<uint8_t>> BuildNameFiles(const std::vector<SearchPoi>& pois, uint32_t kind) {
    std::map<std::string, std::vector<uint8_t>> files;
    const char* const* fileNames = NameFileNames(kind);
    if (!fileNames) return files;
    std::vector<std::string> names;
    const std::vector<size_t> order = PoiRecordOrder(pois, &names);
    files[fileNames[0]] = BuildPoiBaseFile(pois);
    const uint32_t count = static_cast<uint32_t>(names.size());
    std::vector<uint32_t> all(count);
    for (uint32_t r = 0; r < count; ++r) all[r] = r;

    // Syllable pairs: every two neighbouring characters of a name.
    std::map<std::array<uint8_t, 4>, std::vector<uint32_t>> pairs;
    for (uint32_t r = 0; r < count; ++r) {
        const std::string& name = names[r];
        for (size_t pos = 0; pos < name.size();) {
            const size_t n = std::min(Cp949CharBytes(static_cast<uint8_t>(name[pos])), name.size() - pos);
            if (pos + n >= name.size()) break;
            auto& list = pairs[FirstTwoChars(name.substr(pos), false)];
            if (list.empty() || list.back() != r) list.push_back(r);
            pos += n;
        }
    }
    {
        platform::ByteWriter w;
        w.U32(static_cast<uint32_t>(pairs.size()));
        w.Zeros(kPairIndexEntryBytes - 4);
        uint32_t at = static_cast<uint32_t>((pairs.size() + 1) * kPairIndexEntryBytes);
        for (const auto& [text, list] : pairs) {
            w.Bytes(text.data(), 4);
            w.U32(static_cast<uint32_t>(list.size()));
            w.U32(at);
            at += static_cast<uint32_t>(list.size()) * 3;
        }
        for (const auto& [text, list] : pairs)
            for (uint32_t r : list) {
                w.U8(static_cast<uint8_t>(r));
                w.U8(static_cast<uint8_t>(r >> 8));
                w.U8(static_cast<uint8_t>(r >> 16));
            }
        files[fileNames[1]] = w.Data();
    }
    // Initials, whole.
    {
        const auto groups = InitialGroups(names, all);
        platform::ByteWriter w;
        w.U32(static_cast<uint32_t>(groups.size()));
        w.U32(count);
        w.Zeros(8);
        WriteKeyBlock(w, groups, 16);
        files[fileNames[2]] = w.Data();
    }
    // Initials by area (the code cut to four digits).
    {
        std::map<uint32_t, std::vector<uint32_t>> byArea;
        for (uint32_t r = 0; r < count; ++r) byArea[ShortAreaCode(pois[order[r]].areaCode)].push_back(r);
        std::vector<std::vector<IndexGroup>> blocks;
        for (const auto& [code, records] : byArea) blocks.push_back(InitialGroups(names, records));
        platform::ByteWriter w;
        w.U32(static_cast<uint32_t>(byArea.size()));
        w.U32(count);
        w.Zeros(8);
        uint32_t at = static_cast<uint32_t>((byArea.size() + 1) * 16);
        size_t b = 0;
        std::vector<uint32_t> blockAt;
        for (const auto& [code, records] : byArea) {
            w.U32(code);
            w.U32(static_cast<uint32_t>(blocks[b].size()));
            w.U32(static_cast<uint32_t>(records.size()));
            w.U32(at);
            blockAt.push_back(at);
            at += static_cast<uint32_t>(blocks[b].size() * kNameIndexEntryBytes + records.size() * 4);
            ++b;
        }
        for (size_t k = 0; k < blocks.size(); ++k) WriteKeyBlock(w, blocks[k], blockAt[k]);
        files[fileNames[3]] = w.Data();
    }
    // Full syllables: the first two characters; the lists in name order.
    {
        std::vector<IndexGroup> groups;
        for (uint32_t r = 0; r < count; ++r) {
            const auto text = FirstTwoChars(names[r], false);
            if (groups.empty() || groups.back().text != text) groups.push_back({text, {}});
            groups.back().records.push_back(r);
        }
        platform::ByteWriter w;
        w.U32(static_cast<uint32_t>(groups.size()));
        w.U32(count);
        w.Zeros(8);
        WriteKeyBlock(w, groups, 16);
        files[fileNames[4]] = w.Data();
    }
    if (kind == 0) {
        std::map<uint32_t, uint32_t> mainRecord;
        for (uint32_t r = 0; r < count; ++r) {
            const SearchPoi& p = pois[order[r]];
            if (p.poiId && !(p.flags & 0x10) && !mainRecord.count(p.poiId)) mainRecord[p.poiId] = r;
        }
        platform::ByteWriter w;
        w.U32(static_cast<uint32_t>(mainRecord.size()));
        w.Zeros(kPoiIdIndexEntryBytes - 4);
        for (const auto& [id, r] : mainRecord) {
            w.U32(id);
            w.U32(r);
        }
        files["sch_poi_idx.sdb"] = w.Data();
        files["poi_detail.sdb"] = BuildPoiDetailFile(pois);
    }
    return files;
}

std::vector<uint8_t> BuildPoiDetailFile(const std::vector<SearchPoi>& pois) {
    const std::vector<size_t> order = PoiRecordOrder(pois);
    const uint32_t n = static_cast<uint32_t>(order.size());
    platform::ByteWriter w;
    w.U32(n);
    w.Zeros(kPoiDetailEntryBytes - 4);
    uint32_t at = (n + 1) * kPoiDetailEntryBytes;
    std::string texts;
    for (size_t i : order) {
        const SearchPoi& p = pois[i];
        const std::string text(CutCp949(Cp949(p.detailUtf8), 255));
        w.U8(p.detailKind);
        w.I16(p.entryDx);
        w.I16(p.entryDy);
        w.U32(at + static_cast<uint32_t>(texts.size()));
        w.U8(static_cast<uint8_t>(text.size()));
        texts += text;
    }
    w.Bytes(texts.data(), texts.size());
    return w.Data();
}

std::vector<uint8_t> BuildBuildingFile(std::vector<SearchBuilding> buildings, const std::vector<SearchPoi>& pois) {
    std::stable_sort(buildings.begin(), buildings.end(),
                     [](const SearchBuilding& a, const SearchBuilding& b) { return a.key < b.key; });
    const std::vector<size_t> order = PoiRecordOrder(pois);
    std::vector<uint32_t> recordOf(order.size());
    for (size_t r = 0; r < order.size(); ++r) recordOf[order[r]] = static_cast<uint32_t>(r);
    const uint32_t n = static_cast<uint32_t>(buildings.size());
    platform::ByteWriter w;
    w.U32(n);
    w.Zeros(kBuildingEntryBytes - 4);
    uint32_t listAt = (n + 1) * kBuildingEntryBytes, facilities = 0;
    for (const auto& b : buildings) facilities += static_cast<uint32_t>(b.facilities.size());
    uint32_t nameAt = listAt + facilities * kFacilityBytes;
    std::string names;
    for (const auto& b : buildings) {
        const std::string name(CutCp949(Cp949(b.nameUtf8), 255));
        w.F64(b.key);
        w.U32(listAt);
        w.U16(static_cast<uint16_t>(b.facilities.size()));
        w.U32(nameAt + static_cast<uint32_t>(names.size()));
        w.U8(static_cast<uint8_t>(name.size()));
        listAt += static_cast<uint32_t>(b.facilities.size()) * kFacilityBytes;
        names += name;
    }
    for (const auto& b : buildings)
        for (const auto& f : b.facilities) {
            w.U32(f.place < recordOf.size() ? recordOf[f.place] : 0xFFFFFFFF);
            w.U8(f.group);
            w.I8(f.floor);
            w.U8(f.kind);
        }
    w.Bytes(names.data(), names.size());
    return w.Data();
}

std::vector<uint8_t> BuildSubPlaceFile(std::vector<SearchSubPlaces> lists) {
    std::stable_sort(lists.begin(), lists.end(),
                     [](const SearchSubPlaces& a, const SearchSubPlaces& b) { return a.key < b.key; });
    const uint32_t n = static_cast<uint32_t>(lists.size());
    platform::ByteWriter w;
    w.U32(n);
    w.Zeros(kSubPlaceEntryBytes - 4);
    uint32_t listAt = (n + 1) * kSubPlaceEntryBytes;
    for (const auto& l : lists) {
        w.U32(l.key);
        w.U32(listAt);
        w.U16(static_cast<uint16_t>(l.items.size()));
        listAt += static_cast<uint32_t>(l.items.size()) * kSubPlaceItemBytes;
    }
    uint32_t nameAt = listAt;
    std::string names;
    for (const auto& l : lists)
        for (const auto& p : l.items) {
            const std::string name(CutCp949(Cp949(p.nameUtf8), 255));
            std::string detail(CutCp949(Cp949(p.detailUtf8), 28));
            detail.resize(28, '\0');
            w.U32(nameAt + static_cast<uint32_t>(names.size()));
            w.U8(static_cast<uint8_t>(name.size()));
            w.U8(p.flags);
            w.U32(p.poiId);
            w.U16(p.catePacked);
            w.U32(p.areaCode);
            w.U16(p.telArea);
            w.U32(p.telNumber);
            w.U32(static_cast<uint32_t>(p.pos.x));
            w.U32(static_cast<uint32_t>(p.pos.y));
            w.I16(p.entryDx);
            w.I16(p.entryDy);
            w.U8(p.detailKind);
            w.Bytes(detail.data(), detail.size());
            w.Zeros(2);
            names += name;
        }
    w.Bytes(names.data(), names.size());
    return w.Data();
}

std::vector<SearchPoi> GenerateNameSet(uint32_t seed, int count, const std::vector<uint32_t>& areaCodes,
                                       const MapPoint& centre) {
    static const char* const kSyllables[] = {
        "한", "새", "누", "가", "마", "별", "솔", "바", "들", "은", "푸", "서", "동", "남", "북", "대", "신",
        "중", "강", "산", "해", "미", "소", "정", "우", "리", "나", "라", "하", "호", "수", "진", "성", "영",
        "원", "인", "제", "주", "청", "태", "평", "학", "현", "화", "희", "경", "광", "구", "국", "금", "김",
        "꽃", "다", "도", "람", "로", "명", "문", "민", "박", "보", "봉", "빛", "사", "상", "선", "세", "송",
        "아", "안", "양", "연", "오", "용", "월", "유", "윤", "이", "일", "장", "전", "조", "지", "차", "천",
        "초", "최", "충", "코", "타", "통", "파", "포", "풍", "한", "향", "허", "홍", "효", "힘",
    };
    static const char* const kSuffixes[] = {"약국", "카페", "병원", "의원", "주유소", "식당", "은행", "마트", "학원", "공원"};
    static const uint16_t kSuffixCates[] = {121, 32, 91, 92, 61, 31, 211, 241, 151, 301};
    constexpr int kSyllableCount = sizeof kSyllables / sizeof kSyllables[0];
    std::mt19937 rng(seed);
    std::vector<SearchPoi> out;
    out.reserve(static_cast<size_t>(count));
    std::set<std::string> used;
    for (int i = 0; out.size() < static_cast<size_t>(count); ++i) {
        std::string name;
        const int syllables = 2 + static_cast<int>(rng() % 5);
        for (int s = 0; s < syllables; ++s) {
            // Skewed first syllables: most names start with a few.
            const uint32_t u = rng() % 1000;
            const int pick = s == 0 ? static_cast<int>((u * u) / 1000 * kSyllableCount / 1000) : static_cast<int>(rng() % kSyllableCount);
            name += kSyllables[pick];
        }
        if (rng() % 10 == 0) name += static_cast<char>('A' + rng() % 26);
        if (rng() % 10 == 0) name += std::to_string(rng() % 100);
        const int suffix = rng() % 3 ? static_cast<int>(rng() % 10) : -1;
        if (suffix >= 0) name += kSuffixes[suffix];
        if (!used.insert(name).second) continue;
        SearchPoi p;
        p.nameUtf8 = name;
        p.poiId = static_cast<uint32_t>(out.size() + 1);
        uint32_t cate = suffix >= 0 ? kSuffixCates[suffix] : 1 + rng() % 15;
        uint32_t g = cate, h = 0;
        if (cate >= 31) {
            g = cate / 30;
            h = cate % 30;
        }
        p.catePacked = static_cast<uint16_t>(g << 12 | h << 6);
        p.areaCode = areaCodes.empty() ? 0 : areaCodes[rng() % areaCodes.size()];
        p.telArea = 2;
        p.telNumber = static_cast<uint32_t>(20000000 + out.size());
        p.pos = {centre.x + static_cast<int32_t>(rng() % 200001) - 100000,
                 centre.y + static_cast<int32_t>(rng() % 200001) - 100000};
        out.push_back(p);
    }
    return out;
}

std::vector<uint8_t> BuildCateFile(std::vector<SearchCate> cates) {
    std::map<uint16_t, SearchCate> byIndex;
    for (const auto& c : cates) byIndex[c.index] = c;
    // Level 1 takes records 1..15 and level 2 records 16..112. Missing ones
    // are filled with unnamed categories that no list shows: level 1 from
    // index 30 down (a level-1 list runs to 29), level 2 from index 480 up
    // (beyond the children of the last level-1 index, 15).
    auto fill = [&](int level, size_t want, uint32_t from, int step) {
        size_t have = 0;
        for (const auto& [index, c] : byIndex) have += NcSearchCate::LevelOfIndex(index) == level;
        for (uint32_t index = from; have < want && NcSearchCate::LevelOfIndex(index) == level; index += step)
            if (!byIndex.count(static_cast<uint16_t>(index))) {
                byIndex[static_cast<uint16_t>(index)] = {static_cast<uint16_t>(index), 0, ""};
                ++have;
            }
    };
    fill(1, 15, 30, -1);
    fill(2, 97, 480, 1);
    const uint32_t n = static_cast<uint32_t>(byIndex.size());
    platform::ByteWriter w;
    w.U32(n);
    w.Zeros(5);
    uint32_t offset = (n + 1) * kCateRecordBytes;
    std::string names;
    for (const auto& [index, c] : byIndex) {
        const std::string name = std::string(CutCp949(Cp949(c.nameUtf8), 255));
        w.U16(index);
        w.U16(c.count);
        w.U8(static_cast<uint8_t>(name.size()));
        w.U32(offset + static_cast<uint32_t>(names.size()));
        names += name;
    }
    w.Bytes(names.data(), names.size());
    return w.Data();
}

bool WriteSearchDb(const std::string& folder, const SearchDbSource& source, bool split, std::string* error) {
    const std::string dir = platform::NativePath(folder);
    if (!platform::MakeDirectories(dir)) {
        if (error) *error = "cannot create " + folder;
        return false;
    }
    auto put = [&](const std::string& name, const std::vector<uint8_t>& bytes) {
        return platform::AtomicReplaceFile(dir + "/" + name, bytes, error);
    };
    const AddrDbFiles lot = BuildAddrDb(source.lotAreas, source.lots, false, split);
    const AddrDbFiles road = BuildAddrDb(source.roadAreas, source.buildings, true, split);
    const std::vector<uint8_t> adminFile =
        source.adminAreas.empty() ? lot.areaFile : BuildAddrDb(source.adminAreas, source.lots, false, split).areaFile;
    bool ok = put("nlad.sdb", lot.areaFile) && put("nhad.sdb", adminFile) && put("ncjidx.sdb", lot.blockIndex) &&
              put("addrchidx.sdb", lot.textIndex) && put("newaddr.sdb", road.areaFile) &&
              put("newaddr_ncjidx.sdb", road.blockIndex) && put("newaddr_chidx.sdb", road.textIndex) &&
              put("cate.sdb", BuildCateFile(source.cates)) && WriteSearchKindFiles(dir, source, error);
    const std::vector<SearchPoi>* kinds[3] = {&source.pois, &source.corps, &source.apts};
    for (uint32_t kind = 0; kind < 3; ++kind)
        for (const auto& [name, bytes] : BuildNameFiles(*kinds[kind], kind)) ok = ok && put(name, bytes);
    ok = ok && put("building.sdb", BuildBuildingFile(source.placeBuildings, source.pois)) &&
         put("poi_sub.sdb", BuildSubPlaceFile(source.subPlaces));
    for (const auto& [name, bytes] : lot.lotFiles) ok = ok && put(name, bytes);
    for (const auto& [name, bytes] : road.lotFiles) ok = ok && put(name, bytes);
    return ok;
}

namespace {

// The district's shopping mall "누리몰" (a building of 20 facility entries,
// 18 of them listed without a POI id; its clinic has a second name right
// behind it) and the sub-places of the park "마루로공원".
void AddDemoBuildings(SearchDbSource& s, uint32_t& poiId) {
    auto packed = [](uint32_t index) {
        const uint32_t g = index >= 31 ? index / 30 : index, h = index >= 31 ? index % 30 : 0;
        return static_cast<uint16_t>(g << 12 | h << 6);
    };
    SearchPoi mall;
    mall.nameUtf8 = "누리몰";
    mall.poiId = poiId++;
    mall.catePacked = packed(8);
    mall.areaCode = 103002;
    mall.telArea = 2;
    mall.telNumber = 5551100;
    mall.pos = Deg(127.028, 37.5165);
    const size_t mallAt = s.pois.size();
    s.pois.push_back(mall);
    SearchBuilding building;
    building.key = 1030020077.0;
    building.nameUtf8 = "누리몰";
    building.facilities.push_back({mallAt, 4, 1, 0});
    struct Shop {
        const char* name;
        uint32_t cate;
        uint8_t group;
        int8_t floor;
    };
    const Shop shops[] = {
        {"누리몰마트", 241, 1, -1},   {"누리몰푸드코트", 31, 2, -1}, {"누리몰약국", 121, 3, 1},
        {"누리몰은행", 211, 4, 1},    {"누리몰편의점", 241, 1, 1},   {"누리몰커피", 32, 2, 1},
        {"누리몰의원", 92, 3, 2},     {"누리몰내과", 92, 3, 3},      {"누리몰치과", 92, 3, 2},
        {"누리몰안경", 8, 1, 2},      {"누리몰한식당", 31, 2, 3},    {"누리몰분식", 31, 2, 3},
        {"누리몰서점", 8, 1, 3},      {"누리몰학원", 13, 4, 4},      {"누리몰영화관", 13, 4, 4},
        {"누리몰헬스장", 14, 4, 5},   {"누리몰사우나", 14, 4, 5},    {"누리몰안내센터", 14, 4, 1},
    };
    for (const Shop& shop : shops) {
        SearchPoi p = mall;
        p.nameUtf8 = shop.name;
        p.catePacked = packed(shop.cate);
        p.telNumber = 0;
        p.detailKind = 1;
        p.entryDx = 12;
        p.entryDy = -7;
        p.detailUtf8 = std::string(shop.floor < 0 ? "누리몰 지하 " : "누리몰 ") +
                       std::to_string(shop.floor < 0 ? -shop.floor : shop.floor) + "층";
        // The internal clinic is a second name of the clinic.
        if (std::string(shop.name) == "누리몰내과") {
            p.poiId = s.pois.back().poiId;
            p.flags = 0x10;
        } else {
            p.poiId = poiId++;
        }
        building.facilities.push_back({s.pois.size(), shop.group, shop.floor, 1});
        s.pois.push_back(p);
    }
    // The car park is a second name of the mall itself.
    SearchPoi park = mall;
    park.nameUtf8 = "누리몰주차장";
    park.flags = 0x10;
    building.facilities.push_back({s.pois.size(), 4, -2, 0});
    s.pois.push_back(park);
    s.placeBuildings.push_back(building);

    for (const SearchPoi& p : s.pois) {
        if (p.nameUtf8 != "마루로공원") continue;
        SearchSubPlaces sub;
        sub.key = p.poiId;
        const char* const names[] = {"마루로공원 정문", "마루로공원 후문", "마루로공원 주차장", "마루로공원 화장실"};
        int k = 0;
        for (const char* name : names) {
            SearchPoi item = p;
            item.nameUtf8 = name;
            item.poiId = poiId++;
            item.flags = k % 2 ? 1 : 0;
            item.pos = {p.pos.x + 300 * k, p.pos.y - 200 * k};
            item.entryDx = static_cast<int16_t>(5 * k);
            item.entryDy = static_cast<int16_t>(-3 * k);
            item.detailKind = static_cast<uint8_t>(2 + k);
            item.detailUtf8 = std::string(name).substr(std::string("마루로공원 ").size()) + " 앞";
            sub.items.push_back(item);
            ++k;
        }
        s.subPlaces.push_back(sub);
        break;
    }
}

}  // namespace

SearchDbSource DemoSearchSource(std::string* error) {
    SearchDbSource s;
    auto fail = [&](const std::string& what) {
        if (error) *error = what;
        return SearchDbSource{};
    };
    for (const auto& r : TableRows(kAreasTable)) {
        if (r.size() != 5) return fail("areas table: bad line");
        SearchArea a;
        a.code = static_cast<uint32_t>(std::stoul(r[1]));
        a.nameUtf8 = r[2];
        a.pos = Deg(std::stod(r[3]), std::stod(r[4]));
        (r[0] == "road" ? s.roadAreas : s.lotAreas).push_back(a);
    }
    for (const auto& r : TableRows(kCategoriesTable)) {
        if (r.size() != 2) return fail("categories table: bad line");
        s.cates.push_back({static_cast<uint16_t>(std::stoul(r[0])), 0, r[1]});
    }
    uint32_t poiId = 1;
    for (const auto& r : TableRows(kPlacesTable)) {
        if (r.size() != 10) return fail("places table: bad line");
        SearchPoi p;
        p.nameUtf8 = r[0];
        p.poiId = poiId++;
        // Category index g, g * 30 + h or (g * 30 + h) * 30 + m, packed.
        uint32_t index = static_cast<uint32_t>(std::stoul(r[1])), g = index, h = 0, m = 0;
        if (index >= 931) {
            m = index % 30;
            index /= 30;
        }
        if (index >= 31) {
            g = index / 30;
            h = index % 30;
        }
        p.catePacked = static_cast<uint16_t>((g << 12) | (h << 6) | m);
        p.areaCode = static_cast<uint32_t>(std::stoul(r[2]));
        p.pos = Deg(std::stod(r[7]), std::stod(r[8]));
        if (r[6] != "-") {
            unsigned area = 0, exchange = 0, line = 0;
            if (std::sscanf(r[6].c_str(), "%u-%u-%u", &area, &exchange, &line) != 3) return fail("places table: bad tel " + r[6]);
            p.telArea = static_cast<uint16_t>(area);
            p.telNumber = exchange * 10000 + line;
        }
        s.pois.push_back(p);
        SearchLot lot;
        lot.areaCode = p.areaCode;
        lot.pos = p.pos;
        if (!ParseNumber(r[3], lot.mountain, lot.main, lot.sub)) return fail("places table: bad lot " + r[3]);
        s.lots.push_back(lot);
        SearchLot building;
        building.areaCode = static_cast<uint32_t>(std::stoul(r[4]));
        building.pos = p.pos;
        if (!ParseNumber(r[5], building.mountain, building.main, building.sub))
            return fail("places table: bad building number " + r[5]);
        s.buildings.push_back(building);
    }
    // Names for the name search beside the table's: a second name of the
    // first place (flag bit 4: not its main name), a name that shares its
    // initials with "가람로카페" (ㄱㄹㄹㅋㅍ), a name with Latin letters and
    // digits; companies and apartments of the district.
    if (!s.pois.empty()) {
        SearchPoi second = s.pois[0];
        second.nameUtf8 = "한빛주유소";
        second.flags = 0x10;
        s.pois.push_back(second);
        SearchPoi twin = s.pois[14];
        twin.nameUtf8 = "기린로카페";
        twin.poiId = poiId++;
        s.pois.push_back(twin);
        SearchPoi latin = s.pois[3];
        latin.nameUtf8 = "GS25한빛점";
        latin.poiId = poiId++;
        s.pois.push_back(latin);
        const char* corps[] = {"한빛전자", "누리건설", "새솔식품", "가람물산"};
        const char* apts[] = {"한빛아파트", "누리마을아파트", "가람힐스", "새솔마을"};
        for (int i = 0; i < 4; ++i) {
            SearchPoi c = s.pois[static_cast<size_t>(i * 4)];
            c.nameUtf8 = corps[i];
            c.poiId = poiId++;
            s.corps.push_back(c);
            SearchPoi a = s.pois[static_cast<size_t>(i * 4 + 1)];
            a.nameUtf8 = apts[i];
            a.poiId = poiId++;
            s.apts.push_back(a);
        }
        AddDemoBuildings(s, poiId);
        // Companies for the telephone search: eight-digit and seven-digit
        // numbers that share the prefix 555 in Seoul, and other areas.
        const struct {
            const char* name;
            uint16_t area;
            uint32_t number;
        } phones[] = {{"태평상사", 2, 55512345}, {"동백유통", 31, 5550707}, {"청솔기획", 2, 12345678},
                      {"소망인쇄", 64, 7101234}, {"오름공방", 2, 5559000}};
        for (size_t i = 0; i < std::size(phones); ++i) {
            SearchPoi c = s.pois[i * 3 + 2];
            c.nameUtf8 = phones[i].name;
            c.poiId = poiId++;
            c.telArea = phones[i].area;
            c.telNumber = phones[i].number;
            s.corps.push_back(c);
        }
    }
    for (const auto& r : TableRows(kLotsTable)) {
        if (r.size() != 4) return fail("lots table: bad line");
        SearchLot lot;
        lot.areaCode = static_cast<uint32_t>(std::stoul(r[0]));
        if (!ParseNumber(r[1], lot.mountain, lot.main, lot.sub)) return fail("lots table: bad lot " + r[1]);
        lot.pos = Deg(std::stod(r[2]), std::stod(r[3]));
        s.lots.push_back(lot);
    }
    return s;
}

bool WriteDemoSearch(const std::string& root, std::string* error) {
    const SearchDbSource source = DemoSearchSource(error);
    if (source.lotAreas.empty()) return false;
    return WriteSearchDb(platform::ResolveUnder(root, "Search"), source, false, error);
}

SearchDbSource GenerateAddressSet(uint32_t seed, int lotCount) {
    std::mt19937 rng(seed);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<uint32_t>(n)); };
    // Few first syllables, so that names share their buckets.
    static const char* const kFirst[] = {"가", "강", "고", "나", "남", "다", "대", "마", "문", "사", "서", "하"};
    static const char* const kSecond[] = {"곡", "남", "동", "림", "산", "성", "원", "정", "천", "평", "화", "흥"};
    auto name = [&](const char* tail) {
        return std::string(kFirst[pick(12)]) + kSecond[pick(12)] + (pick(3) == 0 ? kSecond[pick(12)] : "") + tail;
    };
    SearchDbSource s;
    auto where = [&] { return Deg(126.0 + pick(30000) / 10000.0, 34.5 + pick(30000) / 10000.0); };
    std::vector<uint32_t> lotAreas, roads;
    for (int p = kProvinceFirst; p < kProvinceFirst + kProvinceCount; ++p) {
        const SearchArea province{static_cast<uint32_t>(p), ProvinceSuffix(p - kProvinceFirst), where()};
        s.lotAreas.push_back(province);
        s.roadAreas.push_back(province);
        std::set<uint32_t> districts;
        for (int d = 1; d <= 8; ++d) districts.insert(static_cast<uint32_t>(p * 100 + d));
        for (int i = 0; i < kCityDistrictRows; ++i)
            for (uint32_t d : CityDistrictTable()[i].districts)
                if (d && d / 100 == static_cast<uint32_t>(p)) districts.insert(d);
        for (uint32_t d : districts) {
            const SearchArea district{d, name("구"), where()};
            s.lotAreas.push_back(district);
            s.roadAreas.push_back(district);
            for (uint32_t n = 1; n <= 10; ++n) {
                const uint32_t dong = d * 100 + n;
                s.lotAreas.push_back({dong, name(n <= 8 ? "동" : "면"), where()});
                if (n <= 8) {
                    lotAreas.push_back(dong);
                } else {
                    for (uint32_t li = 1; li <= 5; ++li) {
                        s.lotAreas.push_back({dong * 100 + li, name("리"), where()});
                        lotAreas.push_back(dong * 100 + li);
                    }
                }
            }
            for (uint32_t n = 1; n <= 30; ++n) {
                s.roadAreas.push_back({d * 10000 + n, name(n % 2 ? "로" : "길"), where()});
                roads.push_back(d * 10000 + n);
            }
        }
    }
    // A tenth of the numbers go to five large areas, so that an area spans
    // blocks and a fetch reaches its cap.
    std::map<uint32_t, MapPoint> placeOf;
    for (const auto& a : s.lotAreas) placeOf[a.code] = a.pos;
    for (const auto& a : s.roadAreas) placeOf[a.code] = a.pos;
    auto spread = [&](const std::vector<uint32_t>& areas, std::vector<SearchLot>& out, bool mountains) {
        std::set<std::pair<uint32_t, int32_t>> seen;
        while (static_cast<int>(out.size()) < lotCount) {
            SearchLot lot;
            lot.areaCode = pick(10) == 0 ? areas[static_cast<size_t>(pick(5)) * 37 % areas.size()]
                                         : areas[static_cast<size_t>(pick(static_cast<int>(areas.size())))];
            lot.mountain = mountains && pick(10) == 0;
            lot.main = static_cast<uint16_t>(1 + pick(3000));
            lot.sub = static_cast<uint16_t>(pick(3) == 0 ? pick(30) : 0);
            // Within 0.1 degree of the area, as the 12-bit steps of a lot allow.
            const MapPoint at = placeOf[lot.areaCode];
            lot.pos = {at.x + pick(52000), at.y + pick(52000)};
            if (seen.insert({lot.areaCode, SearchLotKey(lot)}).second) out.push_back(lot);
        }
    };
    spread(lotAreas, s.lots, true);
    spread(roads, s.buildings, false);
    return s;
}

}  // namespace writers
