// The theme search ("theme_cate.sdb", "theme.sdb") and the theme tile index
// ("theme_tile.sdb"), checked against brute force over the writer's source
// records.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>

#include "foundation/coords.h"
#include "platform/byte_cursor.h"
#include "platform/codepage.h"
#include "search/search_manager.h"
#include "search/theme_search.h"
#include "search/theme_tiles.h"
#include "support/temp_dir.h"
#include "tools/writers/theme_ic_writer.h"

namespace {

using writers::ThemeDbSource;
using writers::ThemePointSource;

std::string Cp(const std::string& utf8) {
    std::string out;
    platform::Utf16ToCp949(platform::Utf8ToUtf16(utf8), out);
    return out;
}

// ---- an oracle of the rules, written from their description ----------------

uint32_t FieldOf(const ThemePointSource& p, const ThemeFieldTestRule& t) {
    const ::ThemeRecord r = writers::EncodeThemeRecord(p);
    uint32_t v = 0;
    for (uint32_t i = 0; i < t.width; ++i) v |= static_cast<uint32_t>(r.raw[t.offset + i]) << (8 * i);
    return v;
}

bool OracleTest(uint32_t field, uint32_t value, int mode) {
    if (field == 0) return false;
    if (mode == 1) return value == 0 || field == value;
    if (mode == 2) return value == 0 || (field & value);
    if (mode == 3) {
        if (value == 0) return false;
        for (uint64_t p = 1; p <= field; p *= 100)
            if (field / p == value) return true;
        return false;
    }
    return false;
}

bool OracleArea(uint32_t filter, uint32_t code) {
    if (filter == 0) return true;
    const std::string f = std::to_string(filter), c = std::to_string(code);
    // A code under the filter: the filter's digits followed by whole
    // two-digit groups.
    return c.size() >= f.size() && (c.size() - f.size()) % 2 == 0 && c.compare(0, f.size(), f) == 0;
}

// The initial consonant (0..18) of a syllable or a compatibility consonant.
int InitialOf(char16_t c) {
    static const std::u16string kJamo = u"ㄱㄲㄳㄴㄵㄶㄷㄸㄹㄺㄻㄼㄽㄾㄿㅀㅁㅂㅃㅄㅅㅆㅇㅈㅉㅊㅋㅌㅍㅎ";
    static const int kIndex[] = {0, 1, 1, 2, 2, 2, 3, 4, 5, 5, 5, 5, 5, 5, 5, 5, 6, 7, 8, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
    if (c >= 0xAC00 && c <= 0xD7A3) return (c - 0xAC00) / 588;
    const size_t at = kJamo.find(c);
    return at == std::u16string::npos ? -1 : kIndex[at];
}

bool OracleName(const std::string& nameUtf8, const std::string& keywordUtf8) {
    const std::u16string name = platform::Utf8ToUtf16(nameUtf8), key = platform::Utf8ToUtf16(keywordUtf8);
    if (key.size() > name.size()) return false;
    for (size_t i = 0; i < key.size(); ++i) {
        if (key[i] >= 0x3131 && key[i] <= 0x314E) {
            if (InitialOf(name[i]) != InitialOf(key[i])) return false;
        } else if (name[i] != key[i]) {
            return false;
        }
    }
    return true;
}

std::set<uint32_t> OracleKeys(const ThemeDbSource& s, const SearchRequest& q, const std::string& keywordUtf8) {
    std::set<uint32_t> out;
    const writers::ThemeCateSource* cate = nullptr;
    for (const auto& c : s.cates)
        if (c.code == q.nSubCode) cate = &c;
    for (const ThemePointSource& p : s.points) {
        if (p.itemKind == 3 || (q.SearchKindID == 10 && p.itemKind == 2)) continue;
        if (q.nSubCode == 0 && p.category == 0) continue;
        if (cate && cate->testNumber >= 1 && cate->testNumber <= s.tests.size()) {
            const ThemeFieldTestRule& t = s.tests[cate->testNumber - 1u];
            if (!OracleTest(FieldOf(p, t), cate->testValue, t.mode)) continue;
        }
        if (q.nRadius && GetApproxDistance({static_cast<int32_t>(q.ptCenter.x), static_cast<int32_t>(q.ptCenter.y)}, p.pos) > q.nRadius)
            continue;
        if ((q.wThemeKind && q.wThemeKind != p.kind) || (q.wThemeMask && !(q.wThemeMask & p.mask)) ||
            (q.wThemeMask2 && !(q.wThemeMask2 & p.mask2)) || (q.wThemeClass && q.wThemeClass != p.cls) ||
            (q.wThemeKind2 && q.wThemeKind2 != p.kind2) || !OracleArea(q.uAreaCode, p.areaCode))
            continue;
        if (!OracleName(p.nameUtf8, keywordUtf8)) continue;
        out.insert(p.key);
    }
    return out;
}

// A generated theme set written once for the oracle tests.
struct World {
    testsupport::TempDir dir;
    ThemeDbSource source;
    std::vector<writers::SearchPoi> pois;
    MapPoint centre{66584576, 19660800};
    World() {
        pois = writers::GenerateNameSet(7, 40000, {103001, 103002, 10300301, 104001}, centre);
        source = writers::GenerateThemeSet(11, pois, 30000);
        EXPECT_TRUE(writers::WriteThemeDb(dir.Path() + "/Search", source));
    }
};

World& SharedWorld() {
    static World w;
    return w;
}

struct ThemeCase {
    const char* what;
    uint32_t kind = 9;
    const char* keyword = "";
    uint32_t code = 0;
    uint32_t area = 0;
    uint32_t radius = 0;
    uint16_t filters[5] = {};  // kind, class, mask, mask2, kind2
    uint8_t order = 0;
};

TEST(ThemeSearch, MatchesBruteForceBelowAndAtTheCap) {
    World& w = SharedWorld();
    NcSearchThemeCate engine;
    ASSERT_EQ(engine.SetThemeFolder(w.dir.Path() + "/Search/"), 0);
    ASSERT_EQ(engine.RecordCount(), w.source.points.size());
    // A keyword taken from the data: the first two syllables of a name.
    const std::u16string some = platform::Utf8ToUtf16(w.source.points[100].nameUtf8);
    const std::string two = platform::Utf16ToUtf8(some.substr(0, 2));
    // The same with its second syllable typed as its initial consonant.
    std::u16string mixed = some.substr(0, 2);
    mixed[1] = u"ㄱㄲㄴㄷㄸㄹㅁㅂㅃㅅㅆㅇㅈㅉㅊㅋㅌㅍㅎ"[InitialOf(mixed[1])];
    const std::string mixedUtf8 = platform::Utf16ToUtf8(mixed);
    const ThemeCase cases[] = {
        {"everything with a category byte (cap)", 9},
        {"kind 10 within 3 km, by distance", 10, "", 0, 0, 3000, {}, 1},
        {"theme code 101: category byte 1", 9, "", 101, 0, 0, {}, 2},
        {"theme code 1: flag bit 1, within 5 km", 9, "", 1, 0, 5000},
        {"theme code 203: area prefix", 9, "", 203},
        {"area filter of a dong", 9, "", 0, 103002, 8000},
        {"kind and class filters", 9, "", 0, 0, 0, {3, 2, 0, 0, 0}},
        {"mask filters and second kind", 10, "", 0, 0, 0, {0, 0, 0x10, 0x21, 2}},
        {"keyword of two syllables", 9, two.c_str()},
        {"keyword ending with a bare consonant", 9, mixedUtf8.c_str(), 0, 0, 0, {}, 1},
        {"keyword of one bare consonant with a filter", 10, "ㄱ", 0, 0, 0, {0, 1, 0, 0, 0}},
    };
    for (const ThemeCase& c : cases) {
        SCOPED_TRACE(c.what);
        SearchRequest q;
        q.SearchKindID = c.kind;
        SetSearchText(q.szKeyword, kSchKeywordChars, platform::Utf8ToUtf16(c.keyword));
        q.nSubCode = c.code;
        q.uAreaCode = c.area;
        q.nRadius = c.radius;
        q.ptCenter = {static_cast<uint32_t>(w.centre.x), static_cast<uint32_t>(w.centre.y)};
        q.wThemeKind = c.filters[0];
        q.wThemeClass = c.filters[1];
        q.wThemeMask = c.filters[2];
        q.wThemeMask2 = c.filters[3];
        q.wThemeKind2 = c.filters[4];
        const std::set<uint32_t> want = OracleKeys(w.source, q, c.keyword);
        const int answer = engine.SearchThemes(q);
        engine.SortRows(c.order);
        std::set<uint32_t> got;
        for (int i = 0; i < engine.RowCount(); ++i) got.insert(engine.Row(i).record.Key());
        ASSERT_EQ(got.size(), static_cast<size_t>(engine.RowCount())) << "a record listed twice";
        if (want.size() < kThemeRowCapacity) {
            EXPECT_EQ(answer, want.empty() ? 0 : 1);
            EXPECT_EQ(got, want);
            EXPECT_GT(want.size(), 0u) << "a case that finds nothing shows little";
        } else {
            EXPECT_EQ(answer, 2);
            EXPECT_EQ(engine.RowCount(), kThemeRowCapacity);
            EXPECT_TRUE(std::includes(want.begin(), want.end(), got.begin(), got.end()));
        }
        for (int i = 1; i < engine.RowCount(); ++i) {
            const ThemeHitRow &a = engine.Row(i - 1), &b = engine.Row(i);
            if (c.order == 1) { EXPECT_LE(a.distance, b.distance); }
            if (c.order == 2) { EXPECT_GE(a.record.Rank(), b.record.Rank()); }
            if (c.order == 0) {
                EXPECT_FALSE(std::lexicographical_compare(b.name.begin(), b.name.end(), a.name.begin(), a.name.end(),
                                                          [](char x, char y) { return uint8_t(x) < uint8_t(y); }));
            }
        }
    }
}

TEST(ThemeSearch, GroupMembersAndSelectionTest) {
    World& w = SharedWorld();
    NcSearchThemeCate engine;
    ASSERT_EQ(engine.SetThemeFolder(w.dir.Path() + "/Search/"), 0);
    const std::vector<size_t> order = writers::ThemeRecordOrder(w.source.points);
    for (size_t r = 0; r < order.size(); ++r) {
        const ThemePointSource& g = w.source.points[order[r]];
        if (g.members.empty()) continue;
        SCOPED_TRACE(g.members.size());
        SearchRequest q;
        q.nOption = static_cast<uint32_t>(r);
        ASSERT_EQ(engine.SearchThemeListItems(q), 1);
        // At most the first 100 members are read.
        std::vector<uint32_t> want;
        for (size_t m = 0; m < std::min<size_t>(g.members.size(), 100); ++m) want.push_back(w.source.points[g.members[m]].key);
        std::vector<uint32_t> got;
        for (int i = 0; i < engine.RowCount(); ++i) got.push_back(engine.Row(i).record.Key());
        EXPECT_EQ(got, want);
    }
    SearchRequest beyond;
    beyond.nOption = engine.RecordCount();
    EXPECT_EQ(engine.SearchThemeListItems(beyond), 0);

    // The selection's field test with no radius; item kind 1 is left out.
    ThemeCateRecord selection;
    ASSERT_EQ(engine.GetThemeCateRecord(102, selection), 1);
    EXPECT_EQ(engine.SearchThemeByTest(SearchRequest{}, selection), 1);
    size_t want = 0;
    for (const auto& p : w.source.points) want += p.itemKind != 1 && p.category == 2;
    EXPECT_EQ(static_cast<size_t>(engine.RowCount()), std::min<size_t>(want, kThemeRowCapacity));
}

TEST(ThemeSearch, FieldTestsByHand) {
    ThemeRecord r;
    r.raw[33] = 4;  // category byte
    const uint32_t area = 10300302;
    for (int i = 0; i < 4; ++i) r.raw[48 + i] = static_cast<uint8_t>(area >> (8 * i));
    r.raw[35] = 0x06;
    struct Case {
        uint32_t value, offset, width, mode;
        bool pass;
    } cases[] = {
        {4, 33, 1, 1, true},   {0, 33, 1, 1, true},  {5, 33, 1, 1, false}, {0, 34, 1, 1, false},  // a field of 0 fails
        {1, 35, 1, 2, false},  {2, 35, 1, 2, true},  {0, 35, 1, 2, true},
        {1030, 48, 4, 3, true}, {103003, 48, 4, 3, true}, {10300302, 48, 4, 3, true}, {10, 48, 4, 3, true},
        {103, 48, 4, 3, false}, {1030030, 48, 4, 3, false}, {10300303, 48, 4, 3, false}, {0, 48, 4, 3, false}, {4, 33, 1, 7, false}, {4, 62, 4, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.value << " @" << c.offset << " mode " << c.mode);
        EXPECT_EQ(ThemeFieldTest(r, c.value, c.offset, c.width, c.mode), c.pass);
    }
}

TEST(ThemeSearch, TestNumbersOutsideTheTableApplyNoTest) {
    testsupport::TempDir dir;
    ThemeDbSource s;
    s.tests = {{33, 1, 1}, {62, 4, 1}};  // test 2 reaches past the 64-byte record
    s.cates = {{1, "가"}, {101, "한", 1, 1, 7}, {102, "두", 1, 2, 1}, {103, "세", 1, 9, 1}, {104, "네", 1, 0, 1}};
    for (int i = 0; i < 6; ++i) {
        ThemePointSource p;
        p.key = static_cast<uint32_t>(i + 1);
        p.nameUtf8 = std::string("가나다") + std::to_string(i);
        p.category = static_cast<uint8_t>(i == 0 ? 7 : i);
        p.pos = {66584576, 19660800};
        s.points.push_back(p);
    }
    ASSERT_TRUE(writers::WriteThemeDb(dir.Path(), s));
    NcSearchThemeCate engine;
    ASSERT_EQ(engine.SetThemeFolder(dir.Path() + "/"), 0);
    for (uint32_t code : {101u, 102u, 103u, 104u}) {
        SearchRequest q;
        q.nSubCode = code;
        engine.SearchThemes(q);
        SCOPED_TRACE(code);
        // 101 keeps category 7 only; the others apply no test and list all.
        EXPECT_EQ(engine.RowCount(), code == 101 ? 1 : 6);
    }
    // 32 tests, or a width above 4, refuse the file at binding.
    std::vector<uint8_t> cate = writers::BuildThemeCateFile({{33, 5, 1}}, s.cates);
    dir.Write("theme_cate.sdb", std::string(cate.begin(), cate.end()));
    EXPECT_EQ(engine.ReopenThemeFiles(), -1);
    EXPECT_EQ(engine.BindThemeJob(), -1);
}

TEST(ThemeSearch, ListsAndWriterBytes) {
    ThemeDbSource s;
    s.tests = {{33, 1, 1}};
    s.cates = {{102, "나"}, {1, "가", 1, 1, 3}, {101, "다"}, {10101, "라"}};
    const std::vector<uint8_t> cate = writers::BuildThemeCateFile(s.tests, s.cates);
    // Header 17 bytes: H 17, R 16, count 4, byte 0, level starts 0, 1, 3, 4,
    // one test (33, 1, 1); then code 1 (level 1) first.
    const std::vector<uint8_t> head = {17, 16, 4, 0, 0, 0, 0, 1, 0, 3, 0, 4, 0, 1, 33, 1, 1, 1, 0, 0, 0, 1, 0, 2, 1, 3, 0, 0, 0};
    ASSERT_GE(cate.size(), head.size());
    EXPECT_EQ(std::vector<uint8_t>(cate.begin(), cate.begin() + static_cast<long>(head.size())), head);

    testsupport::TempDir dir;
    ThemePointSource p;
    p.key = 1;
    p.nameUtf8 = "가";
    p.category = 1;
    s.points = {p};
    ASSERT_TRUE(writers::WriteThemeDb(dir.Path(), s));
    NcSearchThemeCate engine;
    ASSERT_EQ(engine.SetThemeFolder(dir.Path() + "/"), 0);
    EXPECT_EQ(engine.ListThemes(1, 0), 1);
    EXPECT_EQ(engine.ListThemes(2, 1), 2);
    EXPECT_EQ(engine.ListRow(0).code, 101u);
    EXPECT_EQ(engine.ListRow(1).name, Cp("나"));
    EXPECT_EQ(engine.ListThemes(3, 101), 1);
    ThemeCateRecord r;
    EXPECT_EQ(engine.GetThemeCateRecord(10101, r), 1);
    EXPECT_EQ(engine.GetThemeCateRecord(103, r), 0);
    // 100 children are refused.
    for (uint32_t c = 200; c < 300; ++c) s.cates.push_back({c, "마"});
    ASSERT_TRUE(writers::WriteThemeDb(dir.Path(), s));
    ASSERT_EQ(engine.ReopenThemeFiles(), 0);
    EXPECT_EQ(engine.ListThemes(2, 2), -1);
    EXPECT_EQ(engine.ListThemes(2, 1), 2);
}

// ---- tiles -----------------------------------------------------------------

std::vector<ThemeTileHit> OracleTiles(const ThemeDbSource& s, const std::vector<size_t>& order, uint32_t x, uint32_t y,
                                      uint32_t radius, uint32_t mask) {
    std::vector<ThemeTileHit> out;
    for (size_t r = 0; r < order.size() && r < kThemeTileItemMax; ++r) {
        const ThemePointSource& p = s.points[order[r]];
        const uint32_t d = GetApproxDistanceXY(static_cast<int32_t>(x), static_cast<int32_t>(y), p.pos.x, p.pos.y);
        if (d <= radius && (mask == 0 || (p.mask & mask))) out.push_back({p.key, p.mask, p.kind2, 0, 0, d, static_cast<uint32_t>(r)});
    }
    return out;
}

TEST(ThemeTiles, RadiusSearchMatchesBruteForce) {
    World& w = SharedWorld();
    NcThemeTiles tiles;
    ASSERT_EQ(tiles.LoadThemeTiles(w.dir.Path() + "/Search/"), 1);
    ASSERT_EQ(tiles.ItemCount(), kThemeTileItemMax);
    const std::vector<size_t> order = writers::ThemeRecordOrder(w.source.points);
    std::mt19937 rng(3);
    int below = 0, capped = 0;
    for (int i = 0; i < 300; ++i) {
        const uint32_t x = static_cast<uint32_t>(w.centre.x - 90000 + static_cast<int32_t>(rng() % 180000));
        const uint32_t y = static_cast<uint32_t>(w.centre.y - 90000 + static_cast<int32_t>(rng() % 180000));
        const uint32_t radius = 200 + rng() % 4000;
        const uint32_t mask = i % 3 == 0 ? 0 : 1u << (rng() % 8);
        const std::vector<ThemeTileHit> want = OracleTiles(w.source, order, x, y, radius, mask);
        const int answer = tiles.SearchThemeTiles(x, y, radius, mask);
        std::set<std::pair<uint32_t, uint32_t>> wantSet, gotSet;
        for (const auto& h : want) wantSet.insert({h.themeKey, h.distance});
        for (int k = 0; k < tiles.RowCount(); ++k) gotSet.insert({tiles.Row(k).themeKey, tiles.Row(k).distance});
        for (int k = 1; k < tiles.RowCount(); ++k) ASSERT_LE(tiles.Row(k - 1).distance, tiles.Row(k).distance);
        if (want.size() < kThemeTileRowCapacity) {
            ++below;
            ASSERT_EQ(gotSet, wantSet) << x << "," << y << " r " << radius;
            EXPECT_EQ(answer, want.empty() ? 0 : 1);
        } else {
            ++capped;
            ASSERT_EQ(answer, 2);
            ASSERT_EQ(tiles.RowCount(), kThemeTileRowCapacity);
            EXPECT_TRUE(std::includes(wantSet.begin(), wantSet.end(), gotSet.begin(), gotSet.end()));
        }
    }
    EXPECT_GT(below, 50);
    EXPECT_GT(capped, 10);
}

TEST(ThemeTiles, EdgesOfTheSquare) {
    testsupport::TempDir dir;
    ThemeDbSource s;
    // One point just inside the tile east of the square's start tile, where
    // a walk in steps of a tile side from the square's unaligned west edge
    // stops short.
    const int32_t tile = 65536;
    ThemePointSource p;
    p.key = 42;
    p.nameUtf8 = "가";
    p.mask = 1;
    p.pos = {tile * 1016 + 100, tile * 300 + 100};
    s.points = {p};
    ASSERT_TRUE(writers::WriteThemeDb(dir.Path(), s));
    NcThemeTiles tiles;
    ASSERT_EQ(tiles.LoadThemeTiles(dir.Path() + "/"), 1);
    // radius 1000 m: ex = 5917 units; the square runs from x - 5917 (inside
    // tile 1015, 60000 units in) to x + 5917 (inside tile 1016).
    const uint32_t x = static_cast<uint32_t>(tile * 1015 + 60000 + 5917), y = static_cast<uint32_t>(p.pos.y);
    const uint32_t d = GetApproxDistanceXY(static_cast<int32_t>(x), p.pos.y, p.pos.x, p.pos.y);
    ASSERT_LE(d, 1000u);
    EXPECT_EQ(tiles.SearchThemeTiles(x, y, 1000, 0), 1);
    EXPECT_EQ(tiles.RowCount(), 1);
    EXPECT_EQ(tiles.SearchThemeTiles(x, y, 1000, 2), 0);  // a mask sharing no bit
    // A square reaching below 0 finds nothing.
    EXPECT_EQ(tiles.SearchThemeTiles(100, y, 1000, 0), 0);
    EXPECT_EQ(tiles.FindThemeTile(1016 * 100000 + 300, 0, 1), 0);
    EXPECT_EQ(tiles.FindThemeTile(1016 * 100000 + 300, 0, 2), -1);  // past the table
    EXPECT_EQ(tiles.FindThemeTile(1, 0, 1), -1);
}

TEST(ThemeTiles, DamagedHeadersAndItemRanges) {
    // Header: 1001 tiles leaves the index empty.
    platform::ByteWriter big;
    big.U16(1001);
    big.U16(0);
    big.Zeros(4 + 8 * 1001);
    NcThemeTiles tiles;
    EXPECT_EQ(tiles.LoadThemeTileBytes(big.Data().data(), big.Size()), 0);
    EXPECT_EQ(tiles.SearchThemeTiles(66584576, 19660800, 5000, 0), 0);
    // Two tiles: the first's items reach past the two items stored; it is
    // skipped and the second still answers.
    const uint32_t x = 66584576, y = 19660800;
    const uint32_t key = NcThemeTiles::ThemeTileKey(x, y);
    platform::ByteWriter w;
    w.U16(2);
    w.U16(2);
    w.Zeros(4);
    w.U32(key);
    w.U16(1);
    w.U16(5);
    w.U32(key + 1);
    w.U16(0);
    w.U16(1);
    for (int i = 0; i < 2; ++i) {
        w.U16(static_cast<uint16_t>(i));
        w.U16(static_cast<uint16_t>(x % 65536));
        w.U16(static_cast<uint16_t>(y % 65536 + (i ? 1 : 0)));
        w.U8(1);
        w.U8(0);
        w.U32(static_cast<uint32_t>(7 + i));
        w.Zeros(4);
    }
    ASSERT_EQ(tiles.LoadThemeTileBytes(w.Data().data(), w.Size()), 1);
    EXPECT_EQ(tiles.SearchThemeTiles(x, y + 65536, 100, 0), 1);  // the second tile, one row north
    EXPECT_EQ(tiles.Row(0).themeKey, 7u);
    EXPECT_EQ(tiles.SearchThemeTiles(x, y, 100, 0), 0);  // the first tile's range is bad
}

// ---- the module's theme kinds --------------------------------------------------

TEST(ThemeSearch, ManagerRowsOfTheDemo) {
    testsupport::TempDir dir;
    ASSERT_TRUE(writers::WriteDemoSearch(dir.Path()));
    ASSERT_TRUE(writers::WriteDemoThemesAndCodes(dir.Path()));
    CMneSearchManager manager;
    manager.SetFolders(dir.Path());
    manager.LoadEngines();
    SearchRequest q;
    q.SearchKindID = kSearchKindTheme;
    q.nSubCode = 101;  // cafes
    q.eOrderBy = 1;
    q.ptCenter = {66584838, 19667091};  // at 별빛길카페
    int count = 0;
    ASSERT_EQ(manager.SearchThemes(q, &count), 1);
    ASSERT_EQ(count, 4);
    SearchResult rows[4];
    ASSERT_EQ(manager.GetThemeRows(0, 4, rows), 4);
    EXPECT_EQ(SearchText(rows[0].ThemeRow.szName, kSchNameChars), u"별빛길카페");
    EXPECT_EQ(rows[0].ThemeRow.nDistance, 0u);
    EXPECT_EQ(rows[0].ThemeRow.bValid, 1);
    EXPECT_EQ(rows[3].ThemeRow.nIndex, 3u);
    EXPECT_EQ(rows[0].ThemeRow.wCate, 1);
    EXPECT_FALSE(SearchText(rows[0].ThemeRow.szAddress, kSchAddressChars).empty());
    EXPECT_EQ(rows[0].nIndex, 0u);  // bytes 0..555 left as they were
}

}  // namespace
