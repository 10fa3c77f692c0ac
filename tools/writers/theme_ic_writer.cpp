#include "tools/writers/theme_ic_writer.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>
#include <set>

#include "platform/byte_cursor.h"
#include "platform/codepage.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "search/ic_search.h"
#include "search/search_keys.h"
#include "search/theme_tiles.h"
#include "tools/writers/demo_map.h"

namespace writers {
namespace {

const char kThemesTable[] =
#include "tools/demo_search/themes.tsv.inc"
    ;
const char kPlacesTable[] =
#include "tools/demo_search/places.tsv.inc"
    ;

std::string Cp949(const std::string& utf8) {
    std::string out;
    platform::Utf16ToCp949(platform::Utf8ToUtf16(utf8), out);
    return out;
}

MapPoint Deg(double lon, double lat) {
    return {static_cast<int32_t>(lon * kMapUnitsPerDegree), static_cast<int32_t>(lat * kMapUnitsPerDegree)};
}

bool CpLess(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<uint8_t>(x) < static_cast<uint8_t>(y);
    });
}

void FixedText(platform::ByteWriter& w, const std::string& cp949, size_t n) {
    std::string text(CutCp949(cp949, n - 1));
    text.resize(n, '\0');
    w.Bytes(text.data(), n);
}

// Degrees, minutes and seconds of a coordinate.
void Dms(double v, int& deg, int& min, double& sec) {
    deg = static_cast<int>(v);
    const double m = (v - deg) * 60;
    min = static_cast<int>(m);
    sec = (m - min) * 60;
}

}  // namespace

int ThemeCodeLevel(uint32_t code) { return code < 100 ? 1 : code < 10000 ? 2 : code < 1000000 ? 3 : 4; }

std::vector<uint8_t> BuildThemeCateFile(const std::vector<ThemeFieldTestRule>& tests, std::vector<ThemeCateSource> cates) {
    std::stable_sort(cates.begin(), cates.end(), [](const ThemeCateSource& a, const ThemeCateSource& b) {
        return std::make_pair(ThemeCodeLevel(a.code), a.code) < std::make_pair(ThemeCodeLevel(b.code), b.code);
    });
    const uint32_t header = 14 + 3 * static_cast<uint32_t>(tests.size());
    constexpr uint32_t kRecord = 16;
    platform::ByteWriter w;
    w.U8(static_cast<uint8_t>(header));
    w.U8(kRecord);
    w.U16(static_cast<uint16_t>(cates.size()));
    w.U8(0);
    for (int level = 1; level <= 4; ++level) {
        const auto first = std::find_if(cates.begin(), cates.end(),
                                        [level](const ThemeCateSource& c) { return ThemeCodeLevel(c.code) >= level; });
        w.U16(static_cast<uint16_t>(first - cates.begin()));
    }
    w.U8(static_cast<uint8_t>(tests.size()));
    for (const ThemeFieldTestRule& t : tests) {
        w.U8(t.offset);
        w.U8(t.width);
        w.U8(t.mode);
    }
    std::string names;
    const uint32_t namesAt = header + kRecord * static_cast<uint32_t>(cates.size());
    for (const ThemeCateSource& c : cates) {
        const std::string name(CutCp949(Cp949(c.nameUtf8), 255));
        w.U32(c.code);
        w.U16(c.value);
        w.U8(static_cast<uint8_t>(name.size()));
        w.U8(c.testNumber);
        w.U32(c.testValue);
        w.U32(namesAt + static_cast<uint32_t>(names.size()));
        names += name;
    }
    w.Bytes(names.data(), names.size());
    return w.Data();
}

std::vector<size_t> ThemeRecordOrder(const std::vector<ThemePointSource>& points) {
    std::vector<std::string> names;
    names.reserve(points.size());
    for (const auto& p : points) names.push_back(Cp949(p.nameUtf8));
    std::vector<size_t> order(points.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return CpLess(names[a], names[b]); });
    return order;
}

::ThemeRecord EncodeThemeRecord(const ThemePointSource& p) {
    ::ThemeRecord r;
    auto u32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) r.raw[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    u32(0, p.key);
    r.raw[30] = p.kind;
    r.raw[31] = p.kind2;
    r.raw[32] = p.mask2;
    r.raw[33] = p.category;
    r.raw[34] = p.cls;
    r.raw[35] = p.mask;
    r.raw[37] = p.itemKind;
    u32(40, static_cast<uint32_t>(p.pos.x));
    u32(44, static_cast<uint32_t>(p.pos.y));
    u32(48, p.areaCode);
    r.raw[52] = p.rank;
    return r;
}

std::vector<uint8_t> BuildThemeFile(const std::vector<ThemePointSource>& points) {
    const std::vector<size_t> order = ThemeRecordOrder(points);
    std::vector<uint32_t> recordOf(points.size());
    for (size_t r = 0; r < order.size(); ++r) recordOf[order[r]] = static_cast<uint32_t>(r);
    const size_t n = points.size();
    std::vector<uint8_t> out((n + 1) * kThemeRecordBytes, 0);
    platform::ByteWriter tail;  // names and member lists behind the records
    const size_t tailAt = out.size();
    for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(n >> (8 * i));
    for (size_t r = 0; r < n; ++r) {
        const ThemePointSource& p = points[order[r]];
        ::ThemeRecord rec = EncodeThemeRecord(p);
        const std::string name(CutCp949(Cp949(p.nameUtf8), 255));
        const uint32_t nameAt = static_cast<uint32_t>(tailAt + tail.Size());
        tail.Bytes(name.data(), name.size());
        rec.raw[54] = static_cast<uint8_t>(name.size());
        rec.raw[55] = static_cast<uint8_t>(std::min<size_t>(p.members.size(), 255));
        const uint32_t membersAt = static_cast<uint32_t>(tailAt + tail.Size());
        for (size_t m : p.members) tail.U32(recordOf[m]);
        for (int i = 0; i < 4; ++i) {
            rec.raw[56 + i] = p.members.empty() ? 0 : static_cast<uint8_t>(membersAt >> (8 * i));
            rec.raw[60 + i] = static_cast<uint8_t>(nameAt >> (8 * i));
        }
        std::copy(rec.raw.begin(), rec.raw.end(), out.begin() + static_cast<std::ptrdiff_t>((r + 1) * kThemeRecordBytes));
    }
    out.insert(out.end(), tail.Data().begin(), tail.Data().end());
    return out;
}

std::vector<uint8_t> BuildThemeTileFile(const std::vector<ThemePointSource>& points) {
    const std::vector<size_t> order = ThemeRecordOrder(points);
    struct Item {
        uint32_t key;
        size_t record;
    };
    std::vector<Item> items;
    std::set<uint32_t> tiles;
    for (size_t r = 0; r < order.size() && items.size() < kThemeTileItemMax; ++r) {
        const ThemePointSource& p = points[order[r]];
        if (p.pos.x < 0 || p.pos.y < 0) continue;
        const uint32_t key = NcThemeTiles::ThemeTileKey(static_cast<uint32_t>(p.pos.x), static_cast<uint32_t>(p.pos.y));
        if (!tiles.count(key)) {
            if (tiles.size() >= kThemeTileMax) continue;
            tiles.insert(key);
        }
        items.push_back({key, r});
    }
    std::stable_sort(items.begin(), items.end(), [](const Item& a, const Item& b) { return a.key < b.key; });
    platform::ByteWriter w;
    w.U16(static_cast<uint16_t>(tiles.size()));
    w.U16(static_cast<uint16_t>(items.size()));
    w.Zeros(4);
    for (size_t i = 0; i < items.size();) {
        size_t j = i;
        while (j < items.size() && items[j].key == items[i].key) ++j;
        w.U32(items[i].key);
        w.U16(static_cast<uint16_t>(i));
        w.U16(static_cast<uint16_t>(j - i));
        i = j;
    }
    for (const Item& it : items) {
        const ThemePointSource& p = points[order[it.record]];
        w.U16(static_cast<uint16_t>(std::min<size_t>(it.record, 0xFFFF)));
        w.U16(static_cast<uint16_t>(static_cast<uint32_t>(p.pos.x) % kThemeTileSide));
        w.U16(static_cast<uint16_t>(static_cast<uint32_t>(p.pos.y) % kThemeTileSide));
        w.U8(p.mask);
        w.U8(p.kind2);
        w.U32(p.key);
        w.U8(p.category);
        w.U8(p.cls);
        w.Zeros(2);
    }
    return w.Data();
}

bool WriteThemeDb(const std::string& searchFolder, const ThemeDbSource& source, std::string* error) {
    const std::string dir = platform::NativePath(searchFolder);
    if (!platform::MakeDirectories(dir)) {
        if (error) *error = "cannot create " + searchFolder;
        return false;
    }
    return platform::AtomicReplaceFile(dir + "/theme_cate.sdb", BuildThemeCateFile(source.tests, source.cates), error) &&
           platform::AtomicReplaceFile(dir + "/theme.sdb", BuildThemeFile(source.points), error) &&
           platform::AtomicReplaceFile(dir + "/theme_tile.sdb", BuildThemeTileFile(source.points), error);
}

// ---- interchanges ------------------------------------------------------------

std::vector<uint8_t> BuildICFile(const std::vector<ICHighwaySource>& highways, const std::vector<ICSource>& ics) {
    platform::ByteWriter w;
    w.U32(static_cast<uint32_t>(highways.size()));
    for (const auto& h : highways) {
        w.U16(h.id);
        FixedText(w, Cp949(h.nameUtf8), kICNameBytes);
    }
    w.U32(static_cast<uint32_t>(ics.size()));
    for (const auto& ic : ics) {
        w.U32(ic.id);
        w.U8(ic.highway);
        w.U8(0);
        w.U32(ic.flags);
        FixedText(w, Cp949(ic.nameUtf8), kICNameBytes);
        w.U32(static_cast<uint32_t>(ic.pos1.x));
        w.U32(static_cast<uint32_t>(ic.pos1.y));
        w.U32(static_cast<uint32_t>(ic.pos2.x));
        w.U32(static_cast<uint32_t>(ic.pos2.y));
        w.U8(ic.kind);
        for (uint16_t c : ic.connected) w.U16(c);
        for (uint32_t l : ic.links) w.U32(l);
    }
    return w.Data();
}

// ---- map-book codes ------------------------------------------------------------

BookCodeItem MakeBookCodeItem(const BookCodeSource& s) {
    BookCodeItem item;
    item.code = s.code;
    CopyCp949Field(item.name, sizeof item.name, Cp949(s.nameUtf8));
    CopyCp949Field(item.address, sizeof item.address, Cp949(s.addressUtf8));
    int d = 0, m = 0;
    double sec = 0;
    Dms(s.lon, d, m, sec);
    item.lonDeg = static_cast<uint8_t>(d);
    item.lonMin = static_cast<uint8_t>(m);
    item.lonSec = static_cast<float>(sec);
    Dms(s.lat, d, m, sec);
    item.latDeg = static_cast<uint8_t>(d);
    item.latMin = static_cast<uint8_t>(m);
    item.latSec = static_cast<float>(sec);
    return item;
}

std::vector<uint8_t> BuildBookCodePage(std::vector<BookCodeSource> items) {
    std::sort(items.begin(), items.end(), [](const BookCodeSource& a, const BookCodeSource& b) { return a.code < b.code; });
    platform::ByteWriter w;
    w.U32(static_cast<uint32_t>(items.size()));
    for (size_t i = 0; i < items.size(); ++i) w.U32(static_cast<uint32_t>(4 + 4 * items.size() + i * kBookCodeItemBytes));
    for (const auto& s : items) EncodeBookCodeItem(MakeBookCodeItem(s), w.Data());
    return w.Data();
}

std::map<std::string, std::vector<uint8_t>> BuildBookCodePages(const std::vector<BookCodeSource>& items) {
    std::map<std::string, std::vector<BookCodeSource>> byFile;
    for (const auto& s : items) byFile[BookCodeFileName(static_cast<int32_t>(s.code))].push_back(s);
    std::map<std::string, std::vector<uint8_t>> out;
    for (const auto& [name, list] : byFile) {
        if (name.empty()) continue;
        const std::vector<uint8_t> page = BuildBookCodePage(list);
        uLongf size = compressBound(static_cast<uLong>(page.size()));
        std::vector<uint8_t> packed(size);
        compress(packed.data(), &size, page.data(), static_cast<uLong>(page.size()));
        packed.resize(size);
        out[name] = std::move(packed);
    }
    return out;
}

std::vector<uint8_t> BuildJejuFile(std::vector<BookCodeSource> items) {
    std::sort(items.begin(), items.end(), [](const BookCodeSource& a, const BookCodeSource& b) { return a.code < b.code; });
    platform::ByteWriter w;
    w.U32(static_cast<uint32_t>(items.size()));
    for (size_t i = 0; i < items.size(); ++i) w.U32(static_cast<uint32_t>(4 + 4 * items.size() + i * kJejuItemBytes));
    for (const auto& s : items) {
        w.U32(s.code);
        FixedText(w, Cp949(s.nameUtf8), 140);
        int d = 0, m = 0;
        double sec = 0;
        Dms(s.lon, d, m, sec);
        w.I32(d);
        w.I32(m);
        w.F64(sec);
        Dms(s.lat, d, m, sec);
        w.I32(d);
        w.I32(m);
        w.F64(sec);
        FixedText(w, Cp949(s.addressUtf8), 256);
    }
    return w.Data();
}

// ---- the demo ------------------------------------------------------------------

ThemeDbSource DemoThemeSource(std::string* error) {
    ThemeDbSource s;
    // Test 1: the category byte equals; 2: the area code lies under; 3: the
    // flag byte shares a bit.
    s.tests = {{33, 1, 1}, {48, 4, 3}, {35, 1, 2}};
    std::map<std::string, std::pair<uint8_t, uint8_t>> wordCate;  // word -> (category byte, flag byte)
    for (const auto& r : TableRows(kThemesTable)) {
        if (r.size() != 5) {
            if (error) *error = "themes table: bad line";
            return {};
        }
        ThemeCateSource c;
        c.code = static_cast<uint32_t>(std::stoul(r[0]));
        c.nameUtf8 = r[1];
        c.testNumber = static_cast<uint8_t>(std::stoul(r[2]));
        c.testValue = static_cast<uint32_t>(std::stoul(r[3]));
        if (r[4] != "-") wordCate[r[4]] = {static_cast<uint8_t>(c.testValue), static_cast<uint8_t>(c.code / 100)};
        s.cates.push_back(c);
    }
    uint32_t key = 5001;
    for (const auto& r : TableRows(kPlacesTable)) {
        if (r.size() != 10) {
            if (error) *error = "places table: bad line";
            return {};
        }
        const auto it = wordCate.find(r[9]);
        if (it == wordCate.end()) continue;
        ThemePointSource p;
        p.key = key++;
        p.nameUtf8 = r[0];
        p.pos = Deg(std::stod(r[7]), std::stod(r[8]));
        p.areaCode = static_cast<uint32_t>(std::stoul(r[2]));
        p.category = it->second.first;
        p.mask = it->second.second;
        p.kind = p.category;
        p.kind2 = static_cast<uint8_t>(1 + p.key % 3);
        p.mask2 = static_cast<uint8_t>(1u << (p.key % 4));
        p.cls = static_cast<uint8_t>(1 + p.key % 2);
        p.itemKind = 0;
        p.rank = static_cast<uint8_t>(10 + (p.key * 7) % 50);
        s.points.push_back(p);
    }
    // A walking course through the parks and the libraries (a group of kind
    // 2) and a hidden entry (kind 3) that no search lists.
    ThemePointSource course;
    course.key = key++;
    course.nameUtf8 = "한빛산책코스";
    course.itemKind = 2;
    course.category = 4;
    course.mask = 1;
    course.kind = 4;
    course.rank = 90;
    course.areaCode = 103001;
    for (size_t i = 0; i < s.points.size(); ++i)
        if (s.points[i].category == 4 || s.points[i].category == 3) course.members.push_back(i);
    if (!course.members.empty()) course.pos = s.points[course.members.front()].pos;
    s.points.push_back(course);
    ThemePointSource hidden = s.points.front();
    hidden.key = key++;
    hidden.nameUtf8 = "한빛숨은쉼터";
    hidden.itemKind = 3;
    s.points.push_back(hidden);
    return s;
}

void DemoInterchanges(std::vector<ICHighwaySource>& highways, std::vector<ICSource>& ics) {
    highways = {{10, "푸른고속도로"}, {20, "누리고속도로"}};
    ics.clear();
    // The district's interchange is the ramp of the demo links: its first
    // position where it meets the grid (the way on), its second where it
    // meets the expressway (the way off). The ramp is stored from the
    // expressway to the grid, so the way on is its reverse direction.
    for (const DemoLink& l : DemoLinks()) {
        if (l.nameUtf8 != "별빛나들목") continue;
        ICSource ic;
        ic.id = 1001;
        ic.highway = 0;
        ic.nameUtf8 = l.nameUtf8;
        ic.pos1 = l.shape.back();
        ic.pos2 = l.shape.front();
        ic.connected[0] = 0;  // its own motorway, dropped on loading
        ic.links[0] = l.number | (1u << 27);
        ic.links[4] = l.number;
        ics.push_back(ic);
    }
    ICSource junction;
    junction.id = 0;
    junction.kind = 2;
    junction.highway = 0;
    junction.nameUtf8 = "누리분기점";
    junction.pos1 = junction.pos2 = Deg(127.048, 37.4915);
    junction.connected[0] = 1;
    ics.push_back(junction);
    ICSource east;
    east.id = 1002;
    east.highway = 0;
    east.flags = 0x3;  // the way off only
    east.nameUtf8 = "푸른요금소";
    east.pos1 = {0, 0};
    east.pos2 = Deg(127.03, 37.4915);
    ics.push_back(east);
    ICSource other;
    other.id = 2001;
    other.highway = 1;
    other.nameUtf8 = "누리나들목";
    other.pos1 = Deg(127.06, 37.47);
    other.pos2 = Deg(127.061, 37.471);
    ics.push_back(other);
}

std::vector<BookCodeSource> DemoBookCodes() {
    // Page 12 part 0 and part 1, and page 93 (kept with page 92).
    return {{120500, "한빛로주유소", "서울 가상구 한빛동 12-1", 127.004, 37.5002},
            {120777, "새솔로카페", "서울 가상구 한빛동 40-3", 127.003, 37.5081},
            {123456, "누리대로병원", "서울 가상구 한빛동 60", 127.005, 37.5161},
            {930001, "마루로공원", "서울 가상구 마루동 산15", 127.012, 37.5322}};
}

std::vector<BookCodeSource> DemoJejuCodes() {
    return {{1001, "푸른휴게소", "서울 가상구 누리동 산7-2", 127.024, 37.4915},
            {1002, "은하길도서관", "서울 가상구 누리동 195-3", 127.0402, 37.527}};
}

bool WriteDemoThemesAndCodes(const std::string& root, std::string* error) {
    const ThemeDbSource themes = DemoThemeSource(error);
    if (themes.points.empty()) return false;
    if (!WriteThemeDb(platform::ResolveUnder(root, "Search"), themes, error)) return false;
    std::vector<ICHighwaySource> highways;
    std::vector<ICSource> ics;
    DemoInterchanges(highways, ics);
    const std::string map = platform::NativePath(platform::ResolveUnder(root, "Map"));
    const std::string lcode = platform::NativePath(platform::ResolveUnder(root, "LCODE"));
    if (!platform::MakeDirectories(map) || !platform::MakeDirectories(lcode)) {
        if (error) *error = "cannot create Map or LCODE under " + root;
        return false;
    }
    if (!platform::AtomicReplaceFile(map + "/IC.ndb", BuildICFile(highways, ics), error)) return false;
    for (const auto& [name, bytes] : BuildBookCodePages(DemoBookCodes()))
        if (!platform::AtomicReplaceFile(lcode + "/" + name, bytes, error)) return false;
    return platform::AtomicReplaceFile(lcode + "/jejupoi.dat", BuildJejuFile(DemoJejuCodes()), error);
}

ThemeDbSource GenerateThemeSet(uint32_t seed, const std::vector<SearchPoi>& pois, int count) {
    std::mt19937 rng(seed);
    ThemeDbSource s = DemoThemeSource();
    s.points.clear();
    if (pois.empty()) return s;
    const size_t n = std::min<size_t>(static_cast<size_t>(count), pois.size());
    const size_t stride = std::max<size_t>(1, pois.size() / n);
    for (size_t i = 0; i < n; ++i) {
        const SearchPoi& poi = pois[(i * stride) % pois.size()];
        ThemePointSource p;
        p.key = static_cast<uint32_t>(100000 + i);
        p.nameUtf8 = poi.nameUtf8;
        p.pos = poi.pos;
        p.areaCode = poi.areaCode;
        p.category = static_cast<uint8_t>(rng() % 8);  // 0: listed only under a theme code
        p.kind = static_cast<uint8_t>(1 + rng() % 7);
        p.kind2 = static_cast<uint8_t>(1 + rng() % 3);
        p.mask = static_cast<uint8_t>(1 + rng() % 255);
        p.mask2 = static_cast<uint8_t>(rng() % 256);
        p.cls = static_cast<uint8_t>(1 + rng() % 4);
        p.itemKind = static_cast<uint8_t>(rng() % 20 == 0 ? 3 : rng() % 10 == 0 ? 2 : rng() % 5 == 0 ? 1 : 0);
        p.rank = static_cast<uint8_t>(rng() % 100);
        s.points.push_back(p);
    }
    // A few groups, one of more than 100 members.
    for (size_t g = 0; g < 5 && s.points.size() > 200; ++g) {
        ThemePointSource& group = s.points[g * 37];
        group.itemKind = 2;
        group.members.clear();
        const size_t members = g == 0 ? 120 : 10 + g * 5;
        for (size_t m = 0; m < members; ++m) group.members.push_back((g * 1000 + m * 13) % s.points.size());
    }
    return s;
}

}  // namespace writers
