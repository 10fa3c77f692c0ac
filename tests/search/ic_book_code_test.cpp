// Interchanges ("Map\IC.ndb") and the map-book code look-up ("LCODE\"),
// checked against brute force over the writer's source records and by hand.
#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <set>

#include "foundation/coords.h"
#include "platform/byte_cursor.h"
#include "platform/codepage.h"
#include "search/book_code.h"
#include "search/ic_search.h"
#include "support/temp_dir.h"
#include "tools/writers/demo_map.h"
#include "tools/writers/theme_ic_writer.h"

namespace {

using writers::ICHighwaySource;
using writers::ICSource;

std::string Cp(const std::string& utf8) {
    std::string out;
    platform::Utf16ToCp949(platform::Utf8ToUtf16(utf8), out);
    return out;
}

// 41 motorways and 700 interchanges in runs of 17 per motorway (the last
// run names a 42nd motorway that the file does not hold), names of
// two syllables and a suffix; some junctions without an id.
struct ICWorld {
    std::vector<ICHighwaySource> highways;
    std::vector<ICSource> ics;
    ICWorld() {
        static const char* const kSyl[] = {"가", "강", "나", "남", "대", "동", "서", "한", "부", "수"};
        std::mt19937 rng(5);
        for (int h = 0; h < 41; ++h) highways.push_back({static_cast<uint16_t>(100 + h), std::string("고속") + std::to_string(h)});
        for (int i = 0; i < 700; ++i) {
            ICSource ic;
            ic.highway = static_cast<uint8_t>(i / 17);
            ic.id = i % 9 == 4 ? 0 : static_cast<uint32_t>(1000 + i);
            ic.kind = i % 18 == 4 ? 2 : 1;
            ic.flags = 1u << (rng() % 4) | 1u << (rng() % 4);
            ic.nameUtf8 = std::string(kSyl[rng() % 10]) + kSyl[rng() % 10] + (i % 2 ? "나들목" : "분기점");
            ic.pos1 = {static_cast<int32_t>(66000000 + rng() % 2000000), static_cast<int32_t>(19000000 + rng() % 2000000)};
            ic.pos2 = i % 7 == 0 ? MapPoint{0, 0} : MapPoint{ic.pos1.x + 300, ic.pos1.y + 200};
            ic.connected[0] = static_cast<uint16_t>((i / 17 + 1) % 41);
            ic.connected[1] = ic.highway;  // its own: dropped
            for (int k = 0; k < 8; ++k) ic.links[k] = k % 4 < 2 ? static_cast<uint32_t>(i * 10 + k + 1) : 0;
            ics.push_back(ic);
        }
    }
};

// The interchanges the loader keeps, with their place in the loaded list.
std::vector<const ICSource*> OracleLoaded(const ICWorld& w) {
    std::vector<const ICSource*> out;
    for (const ICSource& ic : w.ics) {
        if (ic.id == 0 && ic.kind != 2) continue;
        if (out.size() >= 600) break;
        if (ic.highway >= 40) continue;  // its motorway is the 41st, not loaded
        out.push_back(&ic);
    }
    return out;
}

TEST(Interchanges, LoadingCapsAndTheHighwayNumber) {
    ICWorld w;
    std::vector<uint8_t> bytes = writers::BuildICFile(w.highways, w.ics);
    NcSearchICJC ic;
    ASSERT_EQ(ic.LoadICBytes(bytes.data(), bytes.size()), 1);
    EXPECT_EQ(ic.HighwayCount(), 40);
    const std::vector<const ICSource*> want = OracleLoaded(w);
    ASSERT_EQ(ic.ICCount(), static_cast<int>(want.size()));
    ASSERT_EQ(ic.ICCount(), 600);
    for (int i = 0; i < ic.ICCount(); ++i) {
        EXPECT_EQ(ic.IC(i).id, want[static_cast<size_t>(i)]->id);
        EXPECT_EQ(ic.IC(i).loadOrder, static_cast<uint8_t>(i & 0xFF));
        EXPECT_EQ(ic.IC(i).connected[1], kICNoHighway);  // its own number dropped
    }
    // A highway number at or beyond the highway count names no motorway:
    // that record is refused, the ones around it stay.
    std::vector<ICSource> bad(w.ics.begin(), w.ics.begin() + 3);
    bad[1].highway = 41;
    bytes = writers::BuildICFile(w.highways, bad);
    ASSERT_EQ(ic.LoadICBytes(bytes.data(), bytes.size()), 1);
    EXPECT_EQ(ic.ICCount(), 2);
    // A file cut short reports it and keeps what came before the cut.
    bytes = writers::BuildICFile(w.highways, w.ics);
    bytes.resize(bytes.size() - 50);
    EXPECT_EQ(ic.LoadICBytes(bytes.data(), bytes.size()), 0);
    EXPECT_EQ(ic.ICCount(), 600);
    testsupport::TempDir dir;
    EXPECT_EQ(ic.LoadICFile(dir.Path() + "/"), 0);
    EXPECT_EQ(ic.ICCount(), 0);
}

TEST(Interchanges, NameSearchAndNearestMatchBruteForce) {
    ICWorld w;
    const std::vector<uint8_t> bytes = writers::BuildICFile(w.highways, w.ics);
    NcSearchICJC ic;
    ASSERT_EQ(ic.LoadICBytes(bytes.data(), bytes.size()), 1);
    const std::vector<const ICSource*> loaded = OracleLoaded(w);
    std::vector<ICRow> rows(kICCapacity);
    const uint32_t x = 67000000, y = 20000000;
    struct Case {
        const char* keyword;
        int side, order;
    } cases[] = {{"", 1, 2}, {"가", 0, 0}, {"ㄱ", 1, 1}, {"ㄱㄴ", 0, 0}, {"한ㄷ", 1, 1}, {"대동나들목", 0, 0}, {"없음", 1, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keyword);
        // The oracle: names whose syllables match, consonants by initial.
        const std::u16string key = platform::Utf8ToUtf16(c.keyword);
        std::vector<std::pair<std::u16string, uint32_t>> want;
        for (const ICSource* s : loaded) {
            if (s->id == 0 || !(s->flags & (c.side ? 0xC : 0x3))) continue;
            const std::u16string name = platform::Utf8ToUtf16(s->nameUtf8);
            bool match = key.size() <= name.size();
            for (size_t i = 0; match && i < key.size(); ++i) {
                if (key[i] >= 0x3131 && key[i] <= 0x314E) {
                    static const std::u16string kInit = u"ㄱㄲㄴㄷㄸㄹㅁㅂㅃㅅㅆㅇㅈㅉㅊㅋㅌㅍㅎ";
                    match = kInit[(name[i] - 0xAC00) / 588] == key[i];
                } else {
                    match = name[i] == key[i];
                }
            }
            if (!match) continue;
            MapPoint at = c.side ? s->pos1 : s->pos2;
            if (at.x < 1) at = c.side ? s->pos2 : s->pos1;
            want.push_back({name, GetApproxDistanceXY(static_cast<int32_t>(x), static_cast<int32_t>(y), at.x, at.y)});
        }
        int count = -1;
        EXPECT_EQ(ic.SearchICByKeyword(rows.data(), &count, x, y, c.side, key, c.order), 0);
        ASSERT_EQ(count, static_cast<int>(want.size()));
        std::vector<std::pair<std::u16string, uint32_t>> got;
        for (int i = 0; i < count; ++i) got.push_back({rows[static_cast<size_t>(i)].name, rows[static_cast<size_t>(i)].distance});
        if (c.order == 2) { EXPECT_EQ(got, want); }  // file order
        auto sortedWant = want, sortedGot = got;
        std::sort(sortedWant.begin(), sortedWant.end());
        std::sort(sortedGot.begin(), sortedGot.end());
        EXPECT_EQ(sortedGot, sortedWant);
        for (int i = 1; i < count; ++i) {
            if (c.order == 0) { EXPECT_LE(got[static_cast<size_t>(i - 1)].first, got[static_cast<size_t>(i)].first); }
            if (c.order == 1) { EXPECT_LE(got[static_cast<size_t>(i - 1)].second, got[static_cast<size_t>(i)].second); }
        }
    }
    // The nearest interchange of a side: brute force over squared distances.
    std::mt19937 rng(9);
    for (int k = 0; k < 50; ++k) {
        const uint32_t px = 66000000 + rng() % 2000000, py = 19000000 + rng() % 2000000;
        const int side = static_cast<int>(rng() % 2);
        size_t best = 0;
        double bestD = -1;
        for (size_t i = 0; i < loaded.size(); ++i) {
            const MapPoint at = side ? loaded[i]->pos1 : loaded[i]->pos2;
            const double d = std::pow(double(at.x) - px, 2) + std::pow(double(at.y) - py, 2);
            if (bestD < 0 || d < bestD) bestD = d, best = i;
        }
        uint32_t links[4] = {};
        const int n = ic.GetNearestICLinks(links, px, py, side);
        ASSERT_EQ(n, 2);
        EXPECT_EQ(links[0], loaded[best]->links[side ? 0 : 4]);
        // The motorway list around the nearest with an id.
        std::vector<ICListRow> list(kICCapacity);
        int count = 0, highway = -1;
        const int at = ic.ListHighwayICs(list.data(), &count, &highway, px, py, side, -1);
        ASSERT_GE(at, 0);
        int first = 0, end = 0;
        ic.FindHighwayRange(&first, &end, highway);
        EXPECT_EQ(count, end - first);
        EXPECT_NE(ic.IC(first + at).id, 0u);
    }
}

TEST(Interchanges, TheDemoInterchangeFromTheLinks) {
    std::vector<ICHighwaySource> highways;
    std::vector<ICSource> ics;
    writers::DemoInterchanges(highways, ics);
    const std::vector<uint8_t> bytes = writers::BuildICFile(highways, ics);
    // By hand: 2 highways, "푸른고속도로" (id 10), then 4 records of 87 bytes.
    ASSERT_EQ(bytes.size(), 4u + 2 * 24 + 4 + 4 * 87);
    EXPECT_EQ(bytes[0], 2);
    EXPECT_EQ(bytes[4], 10);
    EXPECT_EQ(std::string(bytes.begin() + 6, bytes.begin() + 18), Cp("푸른고속도로"));
    NcSearchICJC ic;
    ASSERT_EQ(ic.LoadICBytes(bytes.data(), bytes.size()), 1);
    uint32_t ramp = 0;
    for (const auto& l : writers::DemoLinks())
        if (l.nameUtf8 == "별빛나들목") ramp = l.number;
    ASSERT_NE(ramp, 0u);
    // At the grid's south-west corner: the way on is the ramp driven
    // against its stored direction.
    const MapPoint corner{static_cast<int32_t>(127.0 * kMapUnitsPerDegree), static_cast<int32_t>(37.5 * kMapUnitsPerDegree)};
    uint32_t links[4] = {};
    ASSERT_EQ(ic.GetNearestICLinks(links, static_cast<uint32_t>(corner.x), static_cast<uint32_t>(corner.y), 1), 1);
    EXPECT_EQ(links[0], ramp | (1u << 27));
    // "푸른요금소" has no first position: side 1 shows it at its second.
    std::vector<ICRow> rows(kICCapacity);
    int count = 0;
    ic.SearchICByKeyword(rows.data(), &count, 0, 0, 0, u"ㅍ", 0);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(std::u16string(rows[0].highwayName), u"푸른고속도로");
}

// ---- map-book codes ----------------------------------------------------------

TEST(BookCodes, FileNamesOfCodes) {
    const struct {
        int32_t code;
        const char* file;
    } cases[] = {{123456, "bookcode.121"}, {120500, "bookcode.12"}, {930001, "bookcode.923"}, {940001, "bookcode.926"},
                 {10000, "bookcode.01"}, {9999, ""}, {0, ""}, {-5, ""}};
    for (const auto& c : cases) EXPECT_EQ(BookCodeFileName(c.code), c.file) << c.code;
}

TEST(BookCodes, EveryStoredCodeAndNoneBetween) {
    testsupport::TempDir dir;
    std::vector<writers::BookCodeSource> items;
    std::mt19937 rng(2);
    for (int i = 0; i < 400; ++i) {
        const uint32_t code = 120000 + static_cast<uint32_t>(i) * 23 + rng() % 20;
        items.push_back({code, "장소" + std::to_string(i), "주소 " + std::to_string(code), 126.5 + i * 0.001, 37.25});
    }
    for (const auto& [name, bytes] : writers::BuildBookCodePages(items))
        dir.Write("LCODE/" + name, std::string(bytes.begin(), bytes.end()));
    const std::vector<uint8_t> jeju = writers::BuildJejuFile({items.begin(), items.begin() + 50});
    dir.Write("LCODE/jejupoi.dat", std::string(jeju.begin(), jeju.end()));
    BookCodeLookup lookup(dir.Path());
    std::set<uint32_t> stored;
    for (const auto& s : items) stored.insert(s.code);
    BookCodeItem item;
    for (const auto& s : items) {
        ASSERT_EQ(lookup.FindCodeItem430(static_cast<int32_t>(s.code), item), 1) << s.code;
        EXPECT_EQ(item.code, s.code);
        EXPECT_EQ(std::string(item.name), Cp(s.nameUtf8));
        // Degrees, minutes, seconds of 37.25: 37 15 0.
        EXPECT_EQ(item.latDeg, 37);
        EXPECT_EQ(item.latMin, 15);
        EXPECT_NEAR(item.latSec, 0.0, 1e-3);
    }
    for (uint32_t code = 119990; code < 120000 + 400 * 23 + 30; code += 7)
        if (!stored.count(code)) { EXPECT_EQ(lookup.FindCodeItem430(static_cast<int32_t>(code), item), 0) << code; }
    for (size_t i = 0; i < 50; ++i) {
        ASSERT_EQ(lookup.FindJejuCodeItem(static_cast<int32_t>(items[i].code), item), 1);
        EXPECT_EQ(std::string(item.address), Cp(items[i].addressUtf8));
    }
    EXPECT_EQ(lookup.FindJejuCodeItem(static_cast<int32_t>(items[60].code), item), 0);
}

std::vector<uint8_t> Pack(const std::vector<uint8_t>& raw) {
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> out(size);
    compress(out.data(), &size, raw.data(), static_cast<uLong>(raw.size()));
    out.resize(size);
    return out;
}

TEST(BookCodes, DamagedPagesFailCleanly) {
    testsupport::TempDir dir;
    BookCodeLookup lookup(dir.Path());
    BookCodeItem item;
    auto page = [&](const std::vector<uint8_t>& raw) {
        const std::vector<uint8_t> packed = Pack(raw);
        dir.Write("LCODE/bookcode.12", std::string(packed.begin(), packed.end()));
    };
    // A count of 0.
    page({0, 0, 0, 0});
    EXPECT_EQ(lookup.FindCodeItem430(120001, item), 0);
    // An offset past the data.
    std::vector<uint8_t> raw = writers::BuildBookCodePage({{120001, "가", "나", 127, 37}});
    raw[4] = 0xF0;
    page(raw);
    EXPECT_EQ(lookup.FindCodeItem430(120001, item), 0);
    // A count larger than its offset table.
    raw = writers::BuildBookCodePage({{120001, "가", "나", 127, 37}});
    raw[0] = 0xFF, raw[1] = 0xFF;
    page(raw);
    EXPECT_EQ(lookup.FindCodeItem430(120001, item), 0);
    // Texts that fill their fields: cut before the last byte, never in the
    // middle of a character, and terminated.
    raw = writers::BuildBookCodePage({{120001, "", "", 127, 37}});
    for (size_t i = 0; i < 84; ++i) raw[12 + i] = static_cast<uint8_t>(i < 32 ? 'N' : 'A');
    page(raw);
    ASSERT_EQ(lookup.FindCodeItem430(120001, item), 1);
    EXPECT_EQ(std::string(item.name), std::string(31, 'N'));
    EXPECT_EQ(std::string(item.address), std::string(51, 'A'));
    // A page that inflates beyond 360000 bytes.
    std::vector<uint8_t> huge(360001, 0);
    page(huge);
    EXPECT_EQ(lookup.FindCodeItem430(120001, item), 0);
    // Not zlib at all; a missing file.
    dir.Write("LCODE/bookcode.12", "not packed");
    EXPECT_EQ(lookup.FindCodeItem430(120001, item), 0);
    EXPECT_EQ(lookup.FindCodeItem430(150001, item), 0);
    // The jeju file: an item offset past the end, then the file whole.
    std::vector<uint8_t> jeju = writers::BuildJejuFile({{1001, "가", "나", 126.5, 33.4}});
    EXPECT_EQ(BookCodeLookup::FindInJeju(jeju.data(), jeju.size(), 1001, item), 1001);
    EXPECT_EQ(BookCodeLookup::FindInJeju(jeju.data(), jeju.size() - 1, 1001, item), -1);
    jeju[4] = 0xFF;
    EXPECT_EQ(BookCodeLookup::FindInJeju(jeju.data(), jeju.size(), 1001, item), -1);
}

}  // namespace
