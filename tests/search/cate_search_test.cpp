// The category facility search (kinds 3, 4) and the search along the route
// (kind 5): the bytes of "cateidx.sdb" and the key byte computed by hand,
// the bearing classes, and both searches checked against a plain scan of
// the writer's source table (sets below the cap, the first 15000 in list
// order at it, the distance order), the route test's edge cases, the scan
// over at most thirteen entries, and cancellation.
#include "search/cate_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <set>

#include "platform/byte_cursor.h"
#include "platform/codepage.h"
#include "search/area_codes.h"
#include "search/name_search.h"
#include "support/temp_dir.h"
#include "tools/writers/search_db_writer.h"
#include "tools/writers/search_kinds_writer.h"

namespace {

std::string Bytes(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }
std::string Cp949(const std::u16string& s) {
    std::string out;
    platform::Utf16ToCp949(s, out);
    return out;
}

uint16_t Packed(uint16_t g, uint16_t h, uint16_t m = 0) { return static_cast<uint16_t>(g << 12 | h << 6 | m); }

writers::SearchPoi Place(const char* name, uint16_t packed, int32_t x, int32_t y, uint32_t area = 1101) {
    writers::SearchPoi p;
    p.nameUtf8 = name;
    p.catePacked = packed;
    p.pos = {x, y};
    p.areaCode = area;
    return p;
}

// nvr.sdb and cateidx.sdb of a place list, and the engine on them.
struct CateFiles {
    testsupport::TempDir dir;
    NcSearchDB db;
    NcSearchCatesisul engine{&db};
    std::string folder;
    explicit CateFiles(const std::vector<writers::SearchPoi>& pois, const std::string* index = nullptr) {
        dir.Write("nvr.sdb", Bytes(writers::BuildPoiBaseFile(pois)));
        dir.Write("cateidx.sdb", index ? *index : Bytes(writers::BuildCateIdxFile(pois)));
        folder = dir.Path() + "/";
    }
    std::vector<std::string> Names() {
        std::vector<std::string> out;
        for (uint32_t i = 0; i < engine.ResultCount(); ++i) out.push_back(db.ReadName(engine.RecordOf(i)));
        return out;
    }
};

SearchRequest Request(uint32_t cate, const std::u16string& keyword = u"", uint32_t area = 0, uint32_t radius = 0,
                      MapPoint centre = {}, uint8_t order = 0) {
    SearchRequest q;
    q.SearchKindID = radius ? kSearchKindAroundCate : kSearchKindCate;
    q.nSubCode = cate;
    SetSearchText(q.szKeyword, kSchKeywordChars, keyword);
    q.uAreaCode = area;
    q.nRadius = radius;
    q.ptCenter = {static_cast<uint32_t>(centre.x), static_cast<uint32_t>(centre.y)};
    q.eOrderBy = order;
    return q;
}

TEST(CateSearchTest, IndexBytesAndKeyBytesByHand) {
    // Key bytes: class + 2 of the first two characters' initials, 1 for a
    // character that is not Hangul.
    const struct {
        std::u16string name;
        uint8_t key;
    } keys[] = {{u"가나", 0x23}, {u"까다", 0x24}, {u"하", 0xF1}, {u"A가", 0x12}, {u"ㅎㅊ", 0xFB}, {u"12", 0x11}};
    for (const auto& k : keys) EXPECT_EQ(MakeKeyByte(Cp949(k.name)), k.key) << Cp949(k.name);

    // Two places: 나 (category 4 / 121) and 가 (category 1).
    const std::vector<writers::SearchPoi> pois = {Place("나", Packed(4, 1), 100, 200, 7),
                                                  Place("가", Packed(1, 0), 300, 400, 8)};
    const std::vector<uint8_t> file = writers::BuildCateIdxFile(pois);
    platform::ByteReader r(file);
    EXPECT_EQ(r.U32(), 16u);  // the fifteen top categories and 121
    r.Seek(9);
    const uint32_t listsAt = 17 * 9;
    // Entry 0: category 1 with record 0 (가), at the first list.
    EXPECT_EQ(r.U16(), 1u);
    EXPECT_EQ(r.U16(), 1u);
    EXPECT_EQ(r.U8(), 0u);
    EXPECT_EQ(r.U32(), listsAt);
    // Entry 1: category 2, empty.
    EXPECT_EQ(r.U16(), 2u);
    EXPECT_EQ(r.U16(), 0u);
    EXPECT_EQ(r.U8(), 0u);
    EXPECT_EQ(r.U32(), listsAt + 17);
    r.Seek(9 + 15 * 9);  // entry 15: category 121 (4 * 30 + 1)
    EXPECT_EQ(r.U16(), 121u);
    EXPECT_EQ(r.U16(), 1u);
    r.Seek(listsAt);  // the record of 가
    EXPECT_EQ(r.U32(), 0u);
    EXPECT_EQ(r.U32(), 8u);
    EXPECT_EQ(r.U32(), 300u);
    EXPECT_EQ(r.U32(), 400u);
    EXPECT_EQ(r.U8(), 0x21);
    EXPECT_EQ(file.size(), listsAt + 3 * 17u);  // 가 under 1, 나 under 4 and 121
}

TEST(CateSearchTest, BearingsAndDirectionClasses) {
    const MapPoint c{1000, 1000};
    const struct {
        MapPoint at;
        int32_t heading;
        uint32_t bearing;
        uint8_t cls;
    } cases[] = {
        // With pi taken as 3.141592 the angle in degrees comes out a hair
        // large, so 450 - 90 truncates to 359 and 270 to 269.
        {{1000, 2000}, 0, 359, 0},  // north: 450 - 90.00001
        {{2000, 1000}, 0, 90, 2},   // east
        {{1000, 0}, 0, 180, 4},     // south: 450 + 90.00001 - 360
        {{0, 1000}, 0, 269, 6},     // west: 450 - 180.00002
        {{2000, 2000}, 0, 44, 1},   // north-east: 450 - 45.00001 - 360
        {{0, 0}, 0, 225, 5},        // south-west
        {{2000, 1000}, 90, 360, 0}, // east, heading east: 360 is not above 360
        {{1000, 2000}, 90, 269, 6}, // north, heading east: to the left
    };
    for (const auto& t : cases) {
        SCOPED_TRACE(t.bearing);
        EXPECT_EQ(CalcRelativeBearing(c, t.at, t.heading), t.bearing);
        EXPECT_EQ(DirectionClass(t.bearing), t.cls);
    }
    EXPECT_EQ(DirectionClass(23), 0);
    EXPECT_EQ(DirectionClass(24), 1);
    EXPECT_EQ(DirectionClass(336), 7);
    EXPECT_EQ(DirectionClass(337), 0);
}

// ---- the oracle: a plain scan of the source table in UTF-16 ----------------

int Initial(char16_t c) {
    if (c >= 0xAC00 && c <= 0xD7A3) return (c - 0xAC00) / 588;
    static const int kJamo[30] = {0, 1, 1, 2, 2, 2, 3, 4, 5, 5, 5, 5, 5, 5, 5, 5,
                                  6, 7, 8, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
    if (c >= 0x3131 && c <= 0x314E) return kJamo[c - 0x3131];
    return -1;
}
bool IsJamo(char16_t c) { return c >= 0x3131 && c <= 0x314E; }

bool KeywordMatches(const std::u16string& name, const std::u16string& kw) {
    if (kw.empty()) return true;
    if (name.size() < kw.size()) return false;
    for (size_t i = 0; i < kw.size(); ++i) {
        if (IsJamo(kw[i])) {
            // A leading consonant stands for the syllables of its initial.
            if (i == 0 && !(name[0] >= 0xAC00 && name[0] <= 0xD7A3)) return false;
            if (Initial(name[i]) != Initial(kw[i])) return false;
        } else if (name[i] != kw[i]) {
            return false;
        }
    }
    return true;
}

bool AreaMatches(uint32_t code, uint32_t filter) {
    if (filter == 0) return true;
    std::vector<uint32_t> codes{filter};
    for (int i = 0; i < kCityDistrictRows; ++i)
        if (CityDistrictTable()[i].cityCode == filter)
            for (uint32_t d : CityDistrictTable()[i].districts)
                if (d) codes.push_back(d);
    for (uint32_t q = code; q; q /= 100)
        if (std::count(codes.begin(), codes.end(), q)) return true;
    return false;
}

bool InCategory(uint16_t packed, uint32_t cate) {
    const uint32_t g = packed >> 12, h = (packed >> 6) & 0x3F, m = packed & 0x3F;
    if (cate == 0) return g >= 1 && g <= 13;  // the first thirteen top categories
    return cate == g || (h && cate == g * 30 + h) || (h && m && cate == (g * 30 + h) * 30 + m);
}

struct Row {
    std::u16string name;
    std::string cp949;
    writers::SearchPoi poi;
};

class CateOracleTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const std::vector<uint32_t> areas = {1101, 110101, 110102, 1102, 2101, 210101, 1030, 103001, 2201};
        auto pois = writers::GenerateNameSet(77, 30000, areas, kCentre);
        // Level-3 categories for some places.
        for (size_t i = 0; i < pois.size(); i += 9) pois[i].catePacked = Packed(4, 1, 1 + i % 3);
        for (const auto& p : pois) {
            const std::u16string name = platform::Utf8ToUtf16(p.nameUtf8);
            table->push_back({name, Cp949(name), p});
        }
        // Name order (CP949 bytes), as the lists are stored.
        std::stable_sort(table->begin(), table->end(), [](const Row& a, const Row& b) { return a.cp949 < b.cp949; });
        files = new CateFiles(pois);
    }
    static void TearDownTestSuite() {
        delete files;
        table->clear();
    }
    // The oracle's names in list order (category entries in code order,
    // names within), or by distance.
    static std::vector<std::string> Oracle(const SearchRequest& q) {
        const std::u16string kw(SearchText(q.szKeyword, kSchKeywordChars));
        const MapPoint centre{static_cast<int32_t>(q.ptCenter.x), static_cast<int32_t>(q.ptCenter.y)};
        std::vector<std::pair<uint32_t, std::string>> out;  // (top category or 0, name)
        for (const Row& r : *table) {
            if (!InCategory(r.poi.catePacked, q.nSubCode) || !AreaMatches(r.poi.areaCode, q.uAreaCode)) continue;
            if (q.nRadius && GetApproxDistance(centre, r.poi.pos) > q.nRadius) continue;
            if (!KeywordMatches(r.name, kw)) continue;
            out.push_back({q.nSubCode ? 0u : static_cast<uint32_t>(r.poi.catePacked >> 12), r.cp949});
        }
        std::stable_sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        std::vector<std::string> names;
        for (const auto& o : out) names.push_back(o.second);
        return names;
    }
    static inline const MapPoint kCentre{66650000, 19560000};
    static inline std::vector<Row>* table = new std::vector<Row>;
    static inline CateFiles* files = nullptr;
};

TEST_F(CateOracleTest, CategoryAreaRadiusAndKeywordEqualThePlainScan) {
    std::mt19937 rng(3);
    const uint32_t cates[] = {1, 2, 3, 4, 121, 32, 91, 241, 7, 15, 14, 0, 121 * 30 + 1, 9};
    const uint32_t areas[] = {0, 0, 1101, 110102, 1030, 2101, 1102};
    const uint32_t radii[] = {0, 0, 1000, 5000, 20000};
    int compared = 0, nonEmpty = 0;
    for (int round = 0; round < 150; ++round) {
        // Keywords from names: a syllable, two, an initial, initials,
        // syllable then initial, Latin letters.
        const Row& from = (*table)[rng() % table->size()];
        std::u16string kw;
        switch (round % 7) {
        case 0: break;
        case 1: kw = from.name.substr(0, 1); break;
        case 2: kw = from.name.substr(0, 2); break;
        case 3: kw = std::u16string(1, static_cast<char16_t>(u"ㄱㄴㄷㄹㅁㅂㅅㅇㅈㅊㅋㅌㅍㅎ"[rng() % 14])); break;
        case 4:
            for (size_t i = 0; i < std::min<size_t>(3, from.name.size()); ++i) {
                const int ini = Initial(from.name[i]);
                static const char16_t kJamo[] = u"ㄱㄲㄴㄷㄸㄹㅁㅂㅃㅅㅆㅇㅈㅉㅊㅋㅌㅍㅎ";
                kw += ini >= 0 ? kJamo[ini] : from.name[i];
            }
            break;
        case 5:
            kw = from.name.substr(0, 1);
            if (from.name.size() > 1 && Initial(from.name[1]) >= 0)
                kw += u"ㄱㄲㄴㄷㄸㄹㅁㅂㅃㅅㅆㅇㅈㅉㅊㅋㅌㅍㅎ"[Initial(from.name[1])];
            break;
        default: kw = from.name.substr(0, std::min<size_t>(from.name.size(), 4)); break;
        }
        const uint32_t radius = radii[rng() % 5];
        // A category of the place the keyword came from (its top or second
        // level), a listed one, or none.
        const uint32_t g = from.poi.catePacked >> 12, h = (from.poi.catePacked >> 6) & 0x3F;
        uint32_t cate = h && rng() % 2 ? g * 30 + h : g;
        if (round % 5 == 0) cate = cates[rng() % 14];
        if (round % 11 == 1) cate = 0;
        const SearchRequest q = Request(cate, kw, areas[rng() % 7], radius, kCentre, static_cast<uint8_t>(round % 3 == 0));
        SCOPED_TRACE(Cp949(kw) + " cate " + std::to_string(q.nSubCode) + " area " + std::to_string(q.uAreaCode) +
                     " radius " + std::to_string(q.nRadius));
        const std::vector<std::string> want = Oracle(q);
        const int answer = files->engine.SearchCategory(files->folder, q, Cp949(kw));
        const uint32_t n = files->engine.ResultCount();
        ASSERT_EQ(n, std::min<size_t>(want.size(), kCateResultCap));
        EXPECT_EQ(answer, want.empty() ? 0 : want.size() >= kCateResultCap ? 2 : 1);
        std::vector<std::string> got = files->Names();
        if (q.eOrderBy) {
            for (uint32_t i = 1; i < n; ++i)
                ASSERT_LE(files->engine.Entry(i - 1).nDistance, files->engine.Entry(i).nDistance);
            std::vector<std::string> a = got, b(want.begin(), want.begin() + n);
            std::sort(a.begin(), a.end());
            std::sort(b.begin(), b.end());
            EXPECT_EQ(a, b);
        } else {
            EXPECT_EQ(got, std::vector<std::string>(want.begin(), want.begin() + n));
        }
        nonEmpty += n > 0;
        ++compared;
    }
    EXPECT_EQ(compared, 150);
    EXPECT_GT(nonEmpty, 60);
    // Every search without category, area, radius and keyword is capped.
    const SearchRequest all = Request(0);
    EXPECT_EQ(files->engine.SearchCategory(files->folder, all, ""), 2);
    const std::vector<std::string> every = Oracle(all);
    ASSERT_GT(every.size(), kCateResultCap);
    EXPECT_EQ(files->Names(), std::vector<std::string>(every.begin(), every.begin() + kCateResultCap));
}

TEST_F(CateOracleTest, RowsCarryThePlaceAndItsDirection) {
    const SearchRequest q = Request(121, u"", 0, 3000, kCentre, 1);
    ASSERT_GT(files->engine.SearchCategory(files->folder, q, ""), 0);
    ASSERT_GT(files->engine.ResultCount(), 2u);
    SearchResult row;
    ASSERT_EQ(files->engine.FillPOIRow(1, row), 1);
    EXPECT_EQ(row.nIndex, 1u);
    const MapPoint at{static_cast<int32_t>(row.pt.x), static_cast<int32_t>(row.pt.y)};
    EXPECT_EQ(row.nDistance, GetApproxDistance(kCentre, at));
    EXPECT_EQ(row.bKind, DirectionClass(CalcRelativeBearing(kCentre, at, 0)));
    EXPECT_EQ(row.nCateIndex / 30 == 121 || row.nCateIndex == 121, true);
    EXPECT_EQ(SearchText(row.szName, kSchNameChars), SearchText(row.szName2, kSchNameChars));
}

TEST_F(CateOracleTest, CancellationDropsTheResults) {
    int asked = 0;
    files->engine.SetCancel([&] { return ++asked > 500 ? kNameStopNewer : 0; });
    EXPECT_EQ(files->engine.SearchCategory(files->folder, Request(0), ""), 0);
    EXPECT_EQ(files->engine.ResultCount(), 0u);
    asked = 0;
    files->engine.SetCancel([&] { return ++asked > 10 ? kNameStopOff : 0; });
    EXPECT_EQ(files->engine.SearchCategory(files->folder, Request(1), ""), 0);
    EXPECT_EQ(files->engine.ResultCount(), 0u);
    files->engine.SetCancel(nullptr);
    EXPECT_EQ(files->engine.SearchCategory(files->folder, Request(1), ""), 1);
}

TEST(CateSearchTest, WithoutCategoryAtMostThirteenEntriesAreWalked) {
    // An index of three entries written by hand: the scan must not take
    // the list bytes behind them for entries 3 to 12.
    const std::vector<writers::SearchPoi> pois = {Place("가", Packed(1, 0), 10, 10), Place("나", Packed(2, 0), 20, 20),
                                                  Place("다", Packed(3, 0), 30, 30)};
    platform::ByteWriter w;
    w.U32(3);
    w.Zeros(5);
    for (uint32_t e = 0; e < 3; ++e) {
        w.U16(static_cast<uint16_t>(e + 1));
        w.U16(1);
        w.U8(0);
        w.U32(4 * 9 + e * 17);
    }
    for (uint32_t e = 0; e < 3; ++e) {
        w.U32(e);  // records are in name order: 가 0, 나 1, 다 2
        w.U32(1101);
        w.U32(static_cast<uint32_t>(pois[e].pos.x));
        w.U32(static_cast<uint32_t>(pois[e].pos.y));
        w.U8(0x21);
    }
    const std::string index = Bytes(w.Data());
    CateFiles f(pois, &index);
    EXPECT_EQ(f.engine.SearchCategory(f.folder, Request(0), ""), 1);
    EXPECT_EQ(f.Names(), (std::vector<std::string>{Cp949(u"가"), Cp949(u"나"), Cp949(u"다")}));
    // A missing category and a missing index.
    EXPECT_EQ(f.engine.SearchCategory(f.folder, Request(9), ""), 0);
    testsupport::TempDir empty;
    EXPECT_EQ(f.engine.SearchCategory(empty.Path() + "/", Request(1), ""), 0);
}

// ---- along the route -------------------------------------------------------

// The route test as the design states it, written out on its own.
struct OracleSide {
    bool found = false;
    uint32_t side = 0, offset = 0;
};
OracleSide OracleRouteTest(const MapPoint& p, const std::vector<MapPoint>& pts, const std::vector<uint8_t>& flags,
                           int64_t limit, const std::function<int(const MapPoint&)>& roadClass) {
    OracleSide o;
    if (pts.size() < 2) return o;
    double bestD = 1000000, bestOff = 1000000;
    for (size_t k = 0; k + 1 < pts.size(); ++k) {
        const double boxM = flags[k] ? 330 : double(limit);
        if (std::fabs(double(p.x) - pts[k].x) > boxM / 0.169 || std::fabs(double(p.y) - pts[k].y) > boxM / 0.212)
            continue;
        const double d = GetApproxDistance(pts[k], p);
        if (!(d < bestD)) continue;
        bestD = d;
        const int32_t a = static_cast<int32_t>((p.x - pts[k].x) * 0.169);
        const int32_t b = static_cast<int32_t>((p.y - pts[k].y) * 0.212);
        const MapPoint from = flags[k] == 3 && k > 0 ? pts[k - 1] : pts[k];
        const MapPoint to = flags[k] == 3 && k > 0 ? pts[k] : pts[k + 1];
        const int32_t u = static_cast<int32_t>((to.x - from.x) * 0.169), v = static_cast<int32_t>((to.y - from.y) * 0.212);
        const int32_t W = v * a - u * b;
        o.side = W > 0 ? 90 : W < 0 ? 270 : 0;
        if (flags[k] && W < 0) continue;
        const float r = std::sqrt(float(a * a + b * b));
        const double off = (a == 0 && b == 0) ? 0 : std::fabs(std::trunc(W / r));
        if (off > double(limit) || !(off < bestOff)) continue;
        bestOff = off;
        if (!flags[k] || roadClass(p) == 0) o.found = true;
    }
    o.offset = static_cast<uint32_t>(bestOff);
    return o;
}

TEST(PathSearchTest, RouteTestEdgeCases) {
    // East along y = 10000, points 100 m apart (592 units in x).
    std::vector<MapPoint> pts;
    for (int i = 0; i < 6; ++i) pts.push_back({100000 + i * 592, 10000});
    std::vector<uint8_t> flat(6, 0), flagged = {0, 0, 1, 3, 0, 0};
    auto class0 = [](const MapPoint&) { return 0; };
    auto class3 = [](const MapPoint&) { return 3; };
    auto none = [](const MapPoint&) { return -1; };
    const MapPoint left{100000 + 592 * 3 + 100, 10000 + 200};   // about 42 m to the left
    const MapPoint right{100000 + 592 * 3 + 100, 10000 - 200};  // about 42 m to the right
    struct Case {
        const char* what;
        MapPoint place;
        const std::vector<uint8_t>* flags;
        uint32_t count;
        uint64_t limit;
        std::function<int(const MapPoint&)> road;
        bool found;
        uint32_t side;
    };
    const Case cases[] = {
        {"one point finds nothing", pts[0], &flat, 1, 110, class0, false, 0},
        {"left at a flag-0 point", left, &flat, 6, 110, none, true, 270},
        {"right at a flag-0 point", right, &flat, 6, 110, none, true, 90},
        {"on a point", pts[2], &flat, 6, 110, none, true, 0},
        {"left at flagged points", left, &flagged, 6, 110, class0, false, 270},
        {"right at flagged points, road class 0", right, &flagged, 6, 110, class0, true, 90},
        {"right at flagged points, road class 3", right, &flagged, 6, 110, class3, false, 90},
        {"right at flagged points, no road", right, &flagged, 6, 110, none, false, 90},
        {"outside every box", {right.x, 10000 - 2000}, &flat, 6, 110, none, false, 0},
        {"within 1100 m", {right.x, 10000 - 4000}, &flat, 6, 1100, none, true, 90},
        {"beyond 1100 m along y", {right.x, 10000 - 5300}, &flat, 6, 1100, none, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const PathTestResult r = PathRouteTest(c.place, pts.data(), c.flags->data(), c.count, c.limit, c.road);
        EXPECT_EQ(r.found, c.found);
        if (c.found || c.side) {
            EXPECT_EQ(r.side, c.side);
        }
        const OracleSide o = OracleRouteTest(c.place, std::vector<MapPoint>(pts.begin(), pts.begin() + c.count),
                                             *c.flags, static_cast<int64_t>(c.limit), c.road);
        EXPECT_EQ(r.found, o.found);
        if (o.found) {
            EXPECT_EQ(r.offsetM, o.offset);
        }
    }
    EXPECT_EQ(PathRouteTest(pts[2], pts.data(), flat.data(), 6, 110, none).offsetM, 0u);
    // The offset limit: 110 m for radius 0, 1.1 x radius, no 32-bit wrap.
    EXPECT_EQ(PathOffsetLimit(0), 110u);
    EXPECT_EQ(PathOffsetLimit(1000), 1100u);
    EXPECT_EQ(PathOffsetLimit(0xFFFFFFFFu), 4724464024ull);  // trunc(4724464024.5)
    // A flag of 3 on the first point looks ahead to the second.
    const std::vector<uint8_t> first3 = {3, 0, 0, 0, 0, 0};
    const MapPoint nearFirst{100000 + 50, 10000 - 100};
    const PathTestResult r = PathRouteTest(nearFirst, pts.data(), first3.data(), 6, 110, class0);
    EXPECT_TRUE(r.found);
    EXPECT_EQ(r.side, 90u);
}

class PathOracleTest : public ::testing::Test {
protected:
    // A zigzag route of 200 points about 150 m apart through the generated
    // places, with three flagged stretches.
    void SetUp() override {
        const MapPoint start{66650000 - 60000, 19560000 - 20000};
        for (int i = 0; i < 200; ++i) {
            const int leg = i / 40;
            pts.push_back({start.x + i * 600, start.y + (leg % 2 ? (40 - i % 40) : i % 40) * 700});
            flags.push_back(0);
        }
        for (int s : {30, 95, 160}) {
            flags[s] = 1;
            flags[s + 1] = 2;
            flags[s + 2] = 3;
        }
    }
    std::vector<MapPoint> pts;
    std::vector<uint8_t> flags;
};

TEST_F(PathOracleTest, PlacesBesideTheRouteEqualThePlainScan) {
    auto pois = writers::GenerateNameSet(5, 20000, {1101, 1102, 2101}, {66650000, 19560000});
    CateFiles f(pois);
    auto road = [](const MapPoint& p) { return (p.x / 97) % 3 == 0 ? 0 : (p.x / 97) % 3 == 1 ? 2 : -1; };
    f.engine.SetRoadClassLookup(road);
    const MapPoint centre = pts[0];
    // The places in name order.
    std::vector<std::pair<std::string, const writers::SearchPoi*>> sorted;
    for (const auto& p : pois) sorted.push_back({Cp949(platform::Utf8ToUtf16(p.nameUtf8)), &p});
    std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    int nonEmpty = 0;
    for (uint32_t cate : {1u, 4u, 121u, 32u, 7u, 10u}) {
        for (uint32_t radius : {0u, 200u, 1000u, 5000u}) {
            for (uint8_t order : {0, 1, 2}) {
                SearchRequest q = Request(cate, order == 2 ? u"ㅎ" : u"", order == 1 ? 1101 : 0, radius, centre, order);
                q.SearchKindID = kSearchKindPathCate;
                SCOPED_TRACE(std::to_string(cate) + " " + std::to_string(radius) + " " + std::to_string(order));
                const std::u16string kw(SearchText(q.szKeyword, kSchKeywordChars));
                std::vector<std::tuple<std::string, uint32_t, uint32_t>> want;
                const int64_t limit = radius ? int64_t{radius} * 11 / 10 : 110;
                for (const auto& [name, p] : sorted) {
                    if (!InCategory(p->catePacked, cate) || !AreaMatches(p->areaCode, q.uAreaCode)) continue;
                    if (!KeywordMatches(platform::Utf8ToUtf16(p->nameUtf8), kw)) continue;
                    const OracleSide o = OracleRouteTest(p->pos, pts, flags, limit, road);
                    if (o.found) want.push_back({name, o.side, o.offset});
                }
                EXPECT_EQ(f.engine.SearchPathCategory(f.folder, q, Cp949(kw), static_cast<uint16_t>(pts.size()),
                                                      pts.data(), flags.data()),
                          1);
                std::vector<std::tuple<std::string, uint32_t, uint32_t>> got;
                for (uint32_t i = 0; i < f.engine.ResultCount(); ++i)
                    got.push_back({f.db.ReadName(f.engine.RecordOf(i)), f.engine.Entry(i).nBearing,
                                   f.engine.Entry(i).nOffset});
                if (order == 1) {
                    for (uint32_t i = 1; i < f.engine.ResultCount(); ++i)
                        ASSERT_LE(f.engine.Entry(i - 1).nDistance, f.engine.Entry(i).nDistance);
                    std::sort(got.begin(), got.end());
                    std::sort(want.begin(), want.end());
                }
                EXPECT_EQ(got, want);  // order 0 and 2: name order
                nonEmpty += !want.empty();
            }
        }
    }
    EXPECT_GT(nonEmpty, 30);
    // Without a category or points: 0.
    SearchRequest q = Request(0);
    EXPECT_EQ(f.engine.SearchPathCategory(f.folder, q, "", 200, pts.data(), flags.data()), 0);
    q.nSubCode = 1;
    EXPECT_EQ(f.engine.SearchPathCategory(f.folder, q, "", 0, pts.data(), flags.data()), 0);
    // A category that is not in the index: 1 with nothing.
    q.nSubCode = 999;
    EXPECT_EQ(f.engine.SearchPathCategory(f.folder, q, "", 200, pts.data(), flags.data()), 1);
    EXPECT_EQ(f.engine.ResultCount(), 0u);
}

TEST_F(PathOracleTest, AFullListIsReportedAsFull) {
    // 16000 places of one category beside the first leg of the route.
    std::vector<writers::SearchPoi> pois;
    for (int i = 0; i < 16000; ++i) {
        const char16_t name[] = {static_cast<char16_t>(0xAC00 + i / 100), static_cast<char16_t>(0xAC00 + i % 100), 0};
        // A quarter of the way to the next point: close to the direction of
        // travel, so that the offset stays small.
        const MapPoint& at = pts[i % 30];
        pois.push_back(Place(platform::Utf16ToUtf8(name).c_str(), Packed(2, 1), at.x + 150, at.y + 175));
    }
    CateFiles f(pois);
    SearchRequest q = Request(61);
    q.SearchKindID = kSearchKindPathCate;
    EXPECT_EQ(f.engine.SearchPathCategory(f.folder, q, "", static_cast<uint16_t>(pts.size()), pts.data(), flags.data()),
              2);
    EXPECT_EQ(f.engine.ResultCount(), kCateResultCap);
    // Cancelled midway: 1 with no results.
    int asked = 0;
    f.engine.SetCancel([&] { return ++asked > 100 ? kNameStopOff : 0; });
    EXPECT_EQ(f.engine.SearchPathCategory(f.folder, q, "", static_cast<uint16_t>(pts.size()), pts.data(), flags.data()),
              1);
    EXPECT_EQ(f.engine.ResultCount(), 0u);
}

}  // namespace
