// The name search of places, companies and apartments: the name files'
// bytes, the filters, the routine choice, and every keyword class checked
// against a plain scan of the writer's source table on the demo district
// and a generated set; the search module running name searches while
// requests pour in.
#include "search/name_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <set>

#include "foundation/coords.h"
#include "platform/codepage.h"
#include "platform/paths.h"
#include "search/module_sch.h"
#include "search/search_keys.h"
#include "search/search_manager.h"
#include "search/search_module_fixture.h"
#include "support/temp_dir.h"
#include "tools/writers/search_db_writer.h"

namespace {

// ---- the oracle: a plain scan of the source table, in UTF-16 --------------

int OracleInitial(char16_t c) {
    if (c >= 0xAC00 && c <= 0xD7A3) return (c - 0xAC00) / 588;
    // ㄱ ㄲ ㄳ ㄴ ㄵ ㄶ ㄷ ㄸ ㄹ ㄺ..ㅀ ㅁ ㅂ ㅃ ㅄ ㅅ ㅆ ㅇ ㅈ ㅉ ㅊ ㅋ ㅌ ㅍ ㅎ
    static const int kJamo[30] = {0, 1, 1, 2, 2, 2, 3, 4, 5, 5, 5, 5, 5, 5, 5, 5,
                                  6, 7, 8, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
    if (c >= 0x3131 && c <= 0x314E) return kJamo[c - 0x3131];
    return -1;
}
bool IsJamo(char16_t c) { return c >= 0x3131 && c <= 0x314E; }

bool CharMatches(char16_t kw, char16_t name, bool mask) {
    if (mask && IsJamo(kw)) return OracleInitial(name) == OracleInitial(kw);
    return kw == name;
}
bool MatchAt(const std::u16string& name, size_t at, const std::u16string& kw, bool mask) {
    if (at + kw.size() > name.size()) return false;
    for (size_t i = 0; i < kw.size(); ++i)
        if (!CharMatches(kw[i], name[at + i], mask)) return false;
    return true;
}

struct Entry {
    std::u16string name;
    std::string cp949;
    writers::SearchPoi poi;
};

std::vector<std::u16string> Oracle(const std::vector<Entry>& table, const SearchRequest& q) {
    const std::u16string kw(SearchText(q.szKeyword, kSchKeywordChars));
    bool jamo = false;
    for (char16_t c : kw) jamo |= IsJamo(c);
    std::vector<const Entry*> hits;
    for (const Entry& e : table) {
        bool match;
        if (q.SearchKindID == kSearchKindApt && kw.size() >= 2) {
            match = false;
            for (size_t at = 0; at < e.name.size() && !match; ++at) match = MatchAt(e.name, at, kw, true);
        } else if (kw.size() == 1 && IsJamo(kw[0])) {
            match = !e.name.empty() && e.name[0] >= 0xAC00 && OracleInitial(e.name[0]) == OracleInitial(kw[0]);
        } else if (kw.size() == 1) {
            match = !e.name.empty() && e.name[0] == kw[0];
        } else if (q.bMiddleWord) {
            match = false;
            for (size_t at = 0; !jamo && at < e.name.size() && !match; ++at) match = MatchAt(e.name, at, kw, false);
        } else {
            match = MatchAt(e.name, 0, kw, true);
        }
        if (!match) continue;
        const uint32_t g = e.poi.catePacked >> 12 & 0xF, h = e.poi.catePacked >> 6 & 0x3F, m = e.poi.catePacked & 0x3F;
        const uint32_t cate = m ? (g * 30 + h) * 30 + m : g * 30 + h;
        if (q.nSubCode && q.SearchKindID != kSearchKindCorp) {
            bool ok = false;
            for (uint32_t c = cate; c >= q.nSubCode && !ok; c /= 30) ok = c == q.nSubCode;
            if (!ok) continue;
        }
        if (q.uAreaCode) {
            std::vector<uint32_t> codes = {q.uAreaCode};
            if (q.uAreaCode == 1791) codes = {1702, 1703, 1704};
            bool ok = false;
            for (uint32_t a = e.poi.areaCode; a && !ok; a /= 100) ok = std::count(codes.begin(), codes.end(), a) > 0;
            if (!ok) continue;
        }
        if (q.nRadius) {
            const MapPoint c{static_cast<int32_t>(q.ptCenter.x), static_cast<int32_t>(q.ptCenter.y)};
            if (std::abs(e.poi.pos.x - c.x) > q.nRadius / 0.169 || std::abs(e.poi.pos.y - c.y) > q.nRadius / 0.212 ||
                GetApproxDistance(c, e.poi.pos) > q.nRadius)
                continue;
        }
        hits.push_back(&e);
    }
    // A place's names come together below 501 hits: its main name first,
    // else its first name.
    if (q.SearchKindID == kSearchKindName && hits.size() <= 500) {
        std::map<uint32_t, const Entry*> best;
        std::vector<const Entry*> kept;
        for (const Entry* e : hits) {
            const Entry*& b = best[e->poi.poiId];
            auto rank = [](const Entry* x) { return std::make_pair((x->poi.flags & 0x10) != 0, x->cp949); };
            if (!b || rank(e) < rank(b)) b = e;
        }
        hits.clear();
        for (const auto& [id, e] : best) hits.push_back(e);
    }
    std::vector<std::u16string> out;
    for (const Entry* e : hits) out.push_back(e->name);
    std::sort(out.begin(), out.end());
    return out;
}

using searchtest::Request;

std::string Cp949Of(const std::u16string& s) {
    std::string out;
    platform::Utf16ToCp949(s, out);
    return out;
}

// ---- the data: the demo district and a generated set behind it -------------

const char* const kAdminMark = "\u2605";  // a black star, in CP949

class NameSearchTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new testsupport::TempDir;
        writers::SearchDbSource source = writers::DemoSearchSource();
        const MapPoint centre = source.pois[0].pos;
        const std::vector<uint32_t> areas = {1030, 103001, 103002, 10300302, 1702, 170201, 1703, 1704, 1705, 2101};
        auto more = [&](uint32_t seed, int n, uint32_t idBase) {
            auto set = writers::GenerateNameSet(seed, n, areas, centre);
            for (auto& p : set) p.poiId += idBase;
            return set;
        };
        for (auto& p : more(7, 12000, 100000)) source.pois.push_back(p);
        for (auto& p : more(8, 3000, 200000)) source.corps.push_back(p);
        for (auto& p : more(9, 3000, 300000)) source.apts.push_back(p);
        // The administrative areas differ from the legal ones by a mark, so a
        // row shows which of the two named it.
        source.adminAreas = source.lotAreas;
        for (auto& a : source.adminAreas) a.nameUtf8 = kAdminMark + a.nameUtf8;
        ASSERT_TRUE(writers::WriteSearchDb(platform::ResolveUnder(dir->Path(), "Search"), source));
        const std::vector<writers::SearchPoi>* kinds[3] = {&source.pois, &source.corps, &source.apts};
        for (int k = 0; k < 3; ++k)
            for (const auto& p : *kinds[k]) {
                Entry e{platform::Utf8ToUtf16(p.nameUtf8), {}, p};
                e.cp949 = Cp949Of(e.name);
                tables[k].push_back(e);
            }
        demo = new writers::SearchDbSource(source);
        manager = new CMneSearchManager;
        manager->SetFolders(dir->Path());
        manager->LoadEngines();
    }
    static void TearDownTestSuite() {
        delete demo;
        delete manager;
        delete dir;
    }

    // The names found, in result order; the answer into answer.
    std::vector<std::u16string> Run(const SearchRequest& q, int* answer = nullptr, std::vector<SearchResult>* rows = nullptr) {
        std::u16string kw(SearchText(q.szKeyword, kSchKeywordChars));
        int count = 0;
        const int a = manager->SearchName(q, Cp949Of(kw), &count);
        if (answer) *answer = a;
        std::vector<std::u16string> names;
        SearchResult page[15];
        for (int start = 0; start < count;) {
            const int n = manager->GetNameRows(start, 15, q.SearchKindID, page);
            if (n <= 0) break;
            for (int i = 0; i < n; ++i) {
                names.emplace_back(SearchText(page[i].szName, kSchNameChars));
                if (rows) rows->push_back(page[i]);
            }
            start += n;
        }
        EXPECT_EQ(static_cast<int>(names.size()), count);
        return names;
    }

    // Compares the search with the oracle: equal sets below the cap, a
    // subset of the cap's size at it.
    void Check(const SearchRequest& q) {
        const std::u16string kw(SearchText(q.szKeyword, kSchKeywordChars));
        SCOPED_TRACE(platform::Utf16ToUtf8(kw) + " kind " + std::to_string(q.SearchKindID) + " middle " +
                     std::to_string(q.bMiddleWord) + " cate " + std::to_string(q.nSubCode) + " area " +
                     std::to_string(q.uAreaCode) + " radius " + std::to_string(q.nRadius) + " order " +
                     std::to_string(q.eOrderBy));
        int answer = -1;
        std::vector<SearchResult> rows;
        std::vector<std::u16string> got = Run(q, &answer, &rows);
        const std::vector<std::u16string> want = Oracle(tables[q.SearchKindID], q);
        if (q.eOrderBy == 1 && !manager->NameShortPath()) {
            for (size_t i = 1; i < rows.size(); ++i) EXPECT_LE(rows[i - 1].nDistance, rows[i].nDistance);
        }
        std::sort(got.begin(), got.end());
        EXPECT_TRUE(std::adjacent_find(got.begin(), got.end()) == got.end());
        if (want.size() < kNameHitCap) {
            EXPECT_EQ(got, want);
            EXPECT_EQ(answer, want.empty() ? (q.bMiddleWord && got.empty() ? answer : 0) : 1);
        } else {
            EXPECT_EQ(got.size(), kNameHitCap);
            EXPECT_EQ(answer, 2);
            EXPECT_TRUE(std::includes(want.begin(), want.end(), got.begin(), got.end()));
        }
        ++checked;
        found += !want.empty();
        capped += want.size() >= kNameHitCap;
    }

    static testsupport::TempDir* dir;
    static writers::SearchDbSource* demo;
    static CMneSearchManager* manager;
    static std::vector<Entry> tables[3];
    int checked = 0, found = 0, capped = 0;
};
testsupport::TempDir* NameSearchTest::dir = nullptr;
CMneSearchManager* NameSearchTest::manager = nullptr;
writers::SearchDbSource* NameSearchTest::demo = nullptr;
std::vector<Entry> NameSearchTest::tables[3];

std::u16string Initials(const std::u16string& s) {
    static const char16_t kJamo[19] = {0x3131, 0x3132, 0x3134, 0x3137, 0x3138, 0x3139, 0x3141, 0x3142, 0x3143, 0x3145,
                                       0x3146, 0x3147, 0x3148, 0x3149, 0x314A, 0x314B, 0x314C, 0x314D, 0x314E};
    std::u16string out;
    for (char16_t c : s) out += c >= 0xAC00 && c <= 0xD7A3 ? kJamo[(c - 0xAC00) / 588] : c;
    return out;
}

TEST_F(NameSearchTest, DemoNames) {
    // Prefix, initials, the shared initials of two names, a middle word.
    struct Case {
        uint32_t kind;
        std::u16string keyword;
        bool middle;
        std::vector<std::u16string> want;
    } cases[] = {
        {kSearchKindName, u"가람로카", false, {u"가람로카페"}},
        {kSearchKindName, u"ㄱㄹㄹㅋㅍ", false, {u"가람로카페", u"기린로카페"}},
        {kSearchKindName, u"ㄱㄹㄹㅊ", false, {u"가람로초등학교"}},
        {kSearchKindName, u"GS25", false, {u"GS25한빛점"}},
        {kSearchKindCorp, u"ㄴㄹ", false, {u"누리건설"}},
        {kSearchKindApt, u"마을", false, {u"누리마을아파트", u"새솔마을"}},
        {kSearchKindApt, u"ㅁㅇ", false, {u"누리마을아파트", u"새솔마을"}},
    };
    for (const auto& c : cases) {
        SearchRequest q = Request(c.kind, c.keyword);
        q.bMiddleWord = c.middle;
        std::vector<std::u16string> got = Run(q);
        std::vector<std::u16string> demo;
        for (const auto& n : got)
            if (std::find(c.want.begin(), c.want.end(), n) != c.want.end()) demo.push_back(n);
        std::sort(demo.begin(), demo.end());
        EXPECT_EQ(demo, c.want) << platform::Utf16ToUtf8(c.keyword);
    }
    // The first place's second name comes together with its main name.
    std::vector<SearchResult> rows;
    SearchRequest q = Request(kSearchKindName, u"한빛로주");
    auto got = Run(q, nullptr, &rows);
    ASSERT_EQ(got.size(), 1u);
    q = Request(kSearchKindName, u"한빛주유");
    rows.clear();
    got = Run(q, nullptr, &rows);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(SearchText(rows[0].szName2, kSchNameChars), u"한빛로주유소");
    EXPECT_EQ(SearchText(rows[0].szCateName, kSchCateNameChars).empty(), false);
    // A middle word with a bare consonant finds nothing, and is done.
    q = Request(kSearchKindName, u"빛ㄹ");
    q.bMiddleWord = 1;
    int answer = -1;
    EXPECT_TRUE(Run(q, &answer).empty());
    EXPECT_EQ(answer, 1);
    // Lower-case letters and bare vowels fail the keyword check.
    for (const char16_t* bad : {u"gs", u"가ㅏ"}) {
        EXPECT_TRUE(Run(Request(kSearchKindName, bad), &answer).empty());
        EXPECT_EQ(answer, 0);
    }
}

// Places and companies are named by the administrative areas, apartments by
// the legal ones.
TEST_F(NameSearchTest, RowsTakeTheAreasOfTheirKind) {
    for (uint32_t kind : {kSearchKindName, kSearchKindCorp, kSearchKindApt}) {
        SCOPED_TRACE(kind);
        std::vector<SearchResult> rows;
        Run(Request(kind, u"ㄱ"), nullptr, &rows);
        int named = 0;
        for (const SearchResult& r : rows) {
            // Only the district's own areas have names in the files.
            const std::string address = platform::Utf16ToUtf8(SearchText(r.szAddress, kSchAddressChars));
            if (address.empty()) continue;
            ++named;
            EXPECT_EQ(address.find(kAdminMark) != std::string::npos, kind != kSearchKindApt) << address;
        }
        EXPECT_GT(named, 0);
    }
}

TEST_F(NameSearchTest, RandomKeywordsAgainstTheOracle) {
    std::mt19937 rng(20261210);
    const uint32_t cates[] = {0, 3, 4, 121, 301};
    const uint32_t areas[] = {0, 1030, 103001, 10300302, 1791, 17, 2101};
    for (int round = 0; round < 400; ++round) {
        const uint32_t kind = round % 5 == 3 ? kSearchKindCorp : round % 5 == 4 ? kSearchKindApt : kSearchKindName;
        const auto& table = tables[kind];
        const std::u16string& name = table[rng() % table.size()].name;
        std::u16string kw;
        const int style = static_cast<int>(rng() % 6);
        const size_t len = 1 + rng() % 4;
        SearchRequest q = Request(kind, u"");
        if (style == 5 && name.size() > 3) {  // a middle word
            const size_t at = 1 + rng() % (name.size() - 2);
            kw = name.substr(at, std::min<size_t>(2 + rng() % 3, name.size() - at));
            q.bMiddleWord = 1;
        } else {
            kw = name.substr(0, std::min(len, name.size()));
            if (style == 1) kw = Initials(kw);                 // initials
            if (style == 2 && kw.size() > 1) {                 // mixed
                const size_t at = rng() % kw.size();
                kw = kw.substr(0, at) + Initials(kw.substr(at, 1)) + kw.substr(at + 1);
            }
        }
        if (!IsValidKeyword(Cp949Of(kw))) continue;
        SetSearchText(q.szKeyword, kSchKeywordChars, kw);
        if (rng() % 3 == 0) q.nSubCode = cates[rng() % 5];
        if (rng() % 3 == 0) q.uAreaCode = areas[rng() % 7];
        if (rng() % 4 == 0) {
            q.ptCenter = {static_cast<uint32_t>(table[0].poi.pos.x), static_cast<uint32_t>(table[0].poi.pos.y)};
            q.nRadius = 2000 + rng() % 20000;
            if (rng() % 2) q.eOrderBy = 1;
        }
        Check(q);
    }
    // Single Latin letters and digits, and one consonant over the whole set.
    for (const char16_t* kw : {u"A", u"1", u"ㅎ", u"ㄱ", u"한", u"ㄱㄴ", u"ㅅㅅ", u"가ㄴ", u"ㅅ솔"}) Check(Request(kSearchKindName, kw));
    EXPECT_GT(checked, 250);
    // Most keywords come from stored names; a few reach the cap.
    EXPECT_GT(found, checked / 2);
    EXPECT_GT(capped, 0);
    std::printf("%d keywords, %d with hits, %d at the cap\n", checked, found, capped);
}

// The full-name search keeps the order of its walk through the initials
// index (each list in the order of the whole names' initials, then the
// names); the other routines sort by record, that is by name. Keywords of
// two syllables over the company names (with a radius that every place
// passes, which makes the search the full-name one), hits all syllables.
TEST_F(NameSearchTest, FullNameHitsKeepTheOrderOfTheInitialsIndex) {
    const auto& table = tables[kSearchKindCorp];
    auto allSyllables = [](const std::u16string& s) {
        return std::all_of(s.begin(), s.end(), [](char16_t c) { return c >= 0xAC00 && c <= 0xD7A3; });
    };
    std::set<std::u16string> keywords;
    for (const Entry& e : table)
        if (e.name.size() >= 3 && allSyllables(e.name.substr(0, 2))) keywords.insert(e.name.substr(0, 2));
    int compared = 0, differs = 0;
    for (const std::u16string& kw : keywords) {
        SearchRequest q = Request(kSearchKindCorp, kw);
        q.ptCenter = {static_cast<uint32_t>(table[0].poi.pos.x), static_cast<uint32_t>(table[0].poi.pos.y)};
        q.nRadius = 2000000;
        std::vector<std::u16string> want = Oracle(table, q);
        if (want.size() < 2 || want.size() >= kNameHitCap || !std::all_of(want.begin(), want.end(), allSyllables))
            continue;
        std::sort(want.begin(), want.end(), [](const std::u16string& a, const std::u16string& b) {
            return std::make_pair(Initials(a), a) < std::make_pair(Initials(b), b);
        });
        SCOPED_TRACE(platform::Utf16ToUtf8(kw));
        EXPECT_EQ(Run(q), want);
        ++compared;
        differs += !std::is_sorted(want.begin(), want.end());
    }
    EXPECT_GT(compared, 20);
    EXPECT_GT(differs, 0) << "no keyword whose walk differs from the names' order";
}

// The look-ups of key entries in the whole indexes (two syllables, two
// initials, an initial and a syllable) for every key the places' names
// begin with, and for the syllable after each, which mostly falls between
// two entries: the listed or walked counts against counts of the source's
// names taken by their first two characters. Every entry is sought, so
// every position in and at the edges of the engine's in-memory steps is.
TEST_F(NameSearchTest, EveryKeyEntryIsFound) {
    NcSearchMain engine;
    engine.SetFolder(platform::ResolveUnder(dir->Path(), "Search") + "/");
    ASSERT_EQ(engine.OpenNameFiles(kSearchKindName), 1);
    static const char16_t kJamo[19] = {0x3131, 0x3132, 0x3134, 0x3137, 0x3138, 0x3139, 0x3141, 0x3142, 0x3143, 0x3145,
                                       0x3146, 0x3147, 0x3148, 0x3149, 0x314A, 0x314B, 0x314C, 0x314D, 0x314E};
    auto syllable = [](char16_t c) { return c >= 0xAC00 && c <= 0xD7A3; };
    std::map<std::u16string, uint32_t> byPrefix, byInitials, byMixed;
    for (const Entry& e : tables[kSearchKindName]) {
        if (e.name.size() < 2) continue;
        ++byPrefix[e.name.substr(0, 2)];
        if (syllable(e.name[0])) ++byMixed[std::u16string{kJamo[OracleInitial(e.name[0])], e.name[1]}];
        if (syllable(e.name[0]) && syllable(e.name[1]))
            ++byInitials[std::u16string{kJamo[OracleInitial(e.name[0])], kJamo[OracleInitial(e.name[1])]}];
    }
    auto countOf = [](const std::map<std::u16string, uint32_t>& m, const std::u16string& kw) {
        const auto it = m.find(kw);
        return std::min(it == m.end() ? 0u : it->second, kNameHitCap);
    };
    struct Case {
        NameRoutine routine;
        std::u16string kw;
        uint32_t want;
    };
    std::vector<Case> cases;
    for (const auto& [kw, n] : byPrefix) {
        cases.push_back({NameRoutine::kNameRange, kw, std::min(n, kNameHitCap)});
        if (syllable(kw[1]) && kw[1] < 0xD7A3) {
            const std::u16string next{kw[0], static_cast<char16_t>(kw[1] + 1)};
            cases.push_back({NameRoutine::kNameRange, next, countOf(byPrefix, next)});
        }
    }
    for (const auto& [kw, n] : byInitials) cases.push_back({NameRoutine::kConsonantRange, kw, std::min(n, kNameHitCap)});
    for (char16_t a : kJamo)  // pairs no name begins with as well
        for (char16_t b : {kJamo[0], kJamo[18]}) {
            const std::u16string kw{a, b};
            cases.push_back({NameRoutine::kConsonantRange, kw, countOf(byInitials, kw)});
        }
    for (const auto& [kw, n] : byMixed) cases.push_back({NameRoutine::kHonhapFirstCh, kw, std::min(n, kNameHitCap)});
    // Below and above every stored key.
    cases.push_back({NameRoutine::kNameRange, u"!!", countOf(byPrefix, u"!!")});
    cases.push_back({NameRoutine::kNameRange, u"\u4E00\u4E00", countOf(byPrefix, u"\u4E00\u4E00")});
    ASSERT_GT(byPrefix.size(), 10 * kFenceStep);
    for (const Case& c : cases) {
        SCOPED_TRACE(platform::Utf16ToUtf8(c.kw) + " " + NameRoutineName(c.routine));
        engine.SetJob(Cp949Of(c.kw), NameFilter{}, 0);
        const int answer = engine.Run(c.routine);
        EXPECT_EQ(answer, c.want == 0 ? 0 : c.want < kNameHitCap ? 1 : 2);
        if (c.routine == NameRoutine::kHonhapFirstCh) {
            EXPECT_EQ(engine.Hits().size(), c.want);
        } else {
            ASSERT_EQ(engine.RangeCount(), c.want);
            // The first and the last listed names begin with the keyword.
            for (uint32_t at : {0u, c.want - 1})
                if (c.want) {
                    std::u16string name;
                    ASSERT_TRUE(platform::Cp949ToUtf16(engine.ReadName(engine.RangeRecord(at)), name));
                    EXPECT_TRUE(MatchAt(name, 0, c.kw, true)) << platform::Utf16ToUtf8(name);
                }
        }
    }
}

// The facility search of the mall against a walk of the source's facility
// list: the filters, the keyword under the consonant mask, the skip of a
// facility of the same place as the hit before it, and both orders.
TEST_F(NameSearchTest, BuildingFacilitiesAgainstTheSource) {
    ASSERT_EQ(demo->placeBuildings.size(), 1u);
    const writers::SearchBuilding& mall = demo->placeBuildings[0];
    ASSERT_GT(mall.facilities.size(), 15u);
    const std::vector<Entry>& places = tables[kSearchKindName];
    struct Case {
        std::u16string keyword;
        uint32_t cate, area;
        uint8_t order;
    } cases[] = {
        {u"", 0, 0, 0},        {u"", 0, 0, 3},      {u"ㅇㅇ", 0, 0, 3},  {u"몰ㅇ", 0, 0, 0},
        {u"", 3, 0, 3},        {u"", 92, 0, 0},     {u"", 0, 103002, 3}, {u"", 0, 103001, 0},
        {u"커피", 0, 0, 0},    {u"ㅋ", 1, 1030, 3}, {u"없는", 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(platform::Utf16ToUtf8(c.keyword) + " cate " + std::to_string(c.cate) + " area " +
                     std::to_string(c.area) + " order " + std::to_string(c.order));
        // The source's walk.
        struct Want {
            std::u16string name;
            uint8_t group;
            int8_t floor;
            std::string cp949;
        };
        std::vector<Want> want;
        uint32_t lastPoi = 0;
        for (const auto& f : mall.facilities) {
            const Entry& e = places[f.place];
            const uint32_t g = e.poi.catePacked >> 12 & 0xF, h = e.poi.catePacked >> 6 & 0x3F;
            bool ok = true;
            if (c.cate) {
                ok = false;
                for (uint32_t q = g * 30 + h; q >= c.cate && !ok; q /= 30) ok = q == c.cate;
            }
            if (c.area) {
                bool in = false;
                for (uint32_t a = e.poi.areaCode; a && !in; a /= 100) in = a == c.area;
                ok = ok && in;
            }
            bool holds = c.keyword.empty();
            for (size_t at = 0; !holds && at < e.name.size(); ++at) holds = MatchAt(e.name, at, c.keyword, true);
            if (!ok || !holds || (!want.empty() && e.poi.poiId == lastPoi)) continue;
            want.push_back({e.name, f.group, f.floor, e.cp949});
            lastPoi = e.poi.poiId;
        }
        std::stable_sort(want.begin(), want.end(), [&](const Want& a, const Want& b) {
            // Record numbers follow the names' CP949 order.
            return c.order == 3 ? std::tie(a.group, a.floor, a.cp949) < std::tie(b.group, b.floor, b.cp949)
                                : a.cp949 < b.cp949;
        });
        SearchRequest q = Request(kSearchKindName, c.keyword);
        q.dBuildingKey = mall.key;
        q.nSubCode = c.cate;
        q.uAreaCode = c.area;
        q.eOrderBy = c.order;
        q.ptCenter = {static_cast<uint32_t>(places[0].poi.pos.x), static_cast<uint32_t>(places[0].poi.pos.y)};
        int count = -1;
        const int answer = manager->SearchBuildingFacilities(q, Cp949Of(c.keyword), &count);
        EXPECT_EQ(answer, want.empty() ? 0 : 1);
        ASSERT_EQ(count, static_cast<int>(want.size()));
        SearchResult page[15];
        for (int start = 0; start < count; start += 15) {
            const int n = manager->GetFacilityRows(start, 15, page);
            ASSERT_EQ(n, std::min(15, count - start));
            for (int i = 0; i < n; ++i) {
                const Want& w = want[static_cast<size_t>(start + i)];
                EXPECT_EQ(SearchText(page[i].szName, kSchNameChars), w.name);
                EXPECT_EQ(SearchText(page[i].szBuilding, kSchNameChars), u"누리몰");
                EXPECT_EQ(static_cast<int8_t>(page[i].cFloor), w.floor);
                EXPECT_EQ(page[i].nIndex, static_cast<uint32_t>(start + i));
                EXPECT_GT(page[i].nDistance, 0u);
            }
        }
    }
    // Another key finds nothing.
    SearchRequest q = Request(kSearchKindName, u"");
    q.dBuildingKey = mall.key + 1;
    int count = -1;
    EXPECT_EQ(manager->SearchBuildingFacilities(q, "", &count), 0);
    EXPECT_EQ(count, 0);
}

TEST_F(NameSearchTest, BuildingListsAndSubPlaces) {
    const writers::SearchBuilding& mall = demo->placeBuildings[0];
    const std::vector<Entry>& places = tables[kSearchKindName];
    // Without a POI id: the 17 entries of kind 1 that are not a second
    // name right behind their place, cut at 15.
    SearchResult rows[kSubPlaceCap];
    ASSERT_EQ(manager->ListBuildingFacilities(mall.key, 0, rows), 15);
    std::vector<std::u16string> want;
    uint32_t lastPoi = 0;
    for (const auto& f : mall.facilities)
        if (f.kind == 1 && (want.empty() || places[f.place].poi.poiId != lastPoi)) {
            want.push_back(places[f.place].name);
            lastPoi = places[f.place].poi.poiId;
        }
    ASSERT_EQ(want.size(), 17u);
    for (int i = 0; i < 15; ++i) {
        EXPECT_EQ(SearchText(rows[i].szName, kSchNameChars), want[static_cast<size_t>(i)]);
        EXPECT_EQ(SearchText(rows[i].szBuilding, kSchNameChars), u"누리몰");
    }
    NcSearchMain engine;
    engine.SetFolder(manager->SearchFolder());
    engine.OpenDetailFiles();
    std::vector<FacilityRow> listed;
    EXPECT_EQ(engine.ListBuildingFacilities(mall.key, 0, listed), 2);
    // With the mall's POI id: of its two entries (the mall on the first
    // floor, its car park further down the list) the first; the second has
    // the POI id of the row listed before it.
    const uint32_t mallPoi = places[mall.facilities[0].place].poi.poiId;
    ASSERT_EQ(manager->ListBuildingFacilities(mall.key, mallPoi, rows), 1);
    EXPECT_EQ(SearchText(rows[0].szName, kSchNameChars), u"누리몰");
    EXPECT_EQ(static_cast<int8_t>(rows[0].cFloor), 1);
    EXPECT_EQ(engine.ListBuildingFacilities(mall.key, mallPoi, listed), 1);
    EXPECT_EQ(manager->ListBuildingFacilities(mall.key + 0.5, 0, rows), 0);

    // The park's sub-places, every field from the source.
    ASSERT_EQ(demo->subPlaces.size(), 1u);
    const writers::SearchSubPlaces& sub = demo->subPlaces[0];
    SearchRequest q = Request(kSearchKindName, u"");
    q.nRecordID = sub.key;
    q.ptCenter = {static_cast<uint32_t>(sub.items[0].pos.x), static_cast<uint32_t>(sub.items[0].pos.y)};
    ASSERT_EQ(manager->ListSubPlaces(q, rows), static_cast<int>(sub.items.size()));
    for (size_t i = 0; i < sub.items.size(); ++i) {
        const writers::SearchPoi& p = sub.items[i];
        const SearchResult& r = rows[i];
        EXPECT_EQ(r.nIndex, i);
        EXPECT_EQ(SearchText(r.szName, kSchNameChars), platform::Utf8ToUtf16(p.nameUtf8));
        EXPECT_EQ(SearchText(r.szDetail, kSchDetailChars), platform::Utf8ToUtf16(p.detailUtf8));
        EXPECT_EQ(r.bDetailKind, p.detailKind);
        EXPECT_EQ(r.bDetail, p.flags & 1u);
        EXPECT_EQ(r.nPOIID, p.poiId);
        EXPECT_EQ(r.uAreaCode, p.areaCode);
        EXPECT_EQ(r.pt.x, static_cast<uint32_t>(p.pos.x));
        EXPECT_EQ(r.ptEntry.x, static_cast<uint32_t>(p.pos.x + p.entryDx));
        EXPECT_EQ(r.ptEntry.y, static_cast<uint32_t>(p.pos.y + p.entryDy));
        EXPECT_EQ(r.nDistance, GetApproxDistance(sub.items[0].pos, p.pos));
        EXPECT_EQ(r.wTelArea, p.telArea);
        EXPECT_EQ(r.uTelNumber, p.telNumber);
    }
    EXPECT_EQ(rows[0].nDistance, 0u);
    EXPECT_GT(rows[3].nDistance, 0u);
    q.nRecordID = sub.key + 1;
    EXPECT_EQ(manager->ListSubPlaces(q, rows), 0);
}

TEST(PlaceDetailFiles, BytesAndCaps) {
    // One place "가" with a detail, a building of two facilities and a
    // sub-place list, each checked byte by byte where it counts.
    writers::SearchPoi a;
    a.nameUtf8 = "가";
    a.poiId = 5;
    a.detailKind = 3;
    a.entryDx = -2;
    a.entryDy = 1;
    a.detailUtf8 = "B1";
    const auto detail = writers::BuildPoiDetailFile({a});
    EXPECT_EQ(detail, (std::vector<uint8_t>{1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0xFE, 0xFF, 1, 0, 20, 0, 0, 0, 2, 'B', '1'}));
    writers::SearchBuilding b;
    b.key = 2.0;
    b.nameUtf8 = "A";
    b.facilities = {{0, 7, -1, 1}, {0, 8, 2, 0}};
    const auto building = writers::BuildBuildingFile({b}, {a});
    // Header (19), entry: f64 2.0, list at 38, 2 facilities, name at 52 of
    // length 1; the facilities; the name.
    const std::vector<uint8_t> want = {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                       0, 0, 0, 0, 0, 0, 0, 0x40, 38, 0, 0, 0, 2, 0, 52, 0, 0, 0, 1,
                                       0, 0, 0, 0, 7, 0xFF, 1, 0, 0, 0, 0, 8, 2, 0, 'A'};
    EXPECT_EQ(building, want);
    // A list of 201 sub-places yields 200 and the answer 2.
    writers::SearchSubPlaces sub;
    sub.key = 9;
    for (int i = 0; i < 201; ++i) sub.items.push_back(a);
    const auto subFile = writers::BuildSubPlaceFile({sub});
    ASSERT_EQ(subFile.size(), 20u + 201 * kSubPlaceItemBytes + 201 * 2);
    EXPECT_EQ(std::vector<uint8_t>(subFile.begin() + 10, subFile.begin() + 20),
              (std::vector<uint8_t>{9, 0, 0, 0, 20, 0, 0, 0, 201, 0}));
    testsupport::TempDir dir;
    std::vector<uint8_t> base = writers::BuildPoiBaseFile({a});
    ASSERT_TRUE(platform::AtomicReplaceFile(dir.Path() + "/nvr.sdb", base));
    ASSERT_TRUE(platform::AtomicReplaceFile(dir.Path() + "/poi_sub.sdb", subFile));
    NcSearchMain engine;
    engine.SetFolder(dir.Path() + "/");
    engine.OpenDetailFiles();
    std::vector<SearchResult> rows(kSubPlaceCap);
    SearchRequest q;
    q.nRecordID = 9;
    int count = 0;
    EXPECT_EQ(engine.ListSubPlaces(q, rows.data(), &count), 2);
    EXPECT_EQ(count, 200);
    EXPECT_EQ(SearchText(rows[199].szDetail, kSchDetailChars), u"B1");
    EXPECT_EQ(rows[199].nIndex, 199u);
    // No building file: the look-ups find nothing.
    std::vector<FacilityRow> listed;
    EXPECT_EQ(engine.ListBuildingFacilities(2.0, 0, listed), 0);
    EXPECT_EQ(engine.SearchBuildingFacilities(2.0, "", {}), 0);
}

TEST(NameFilters, CategoryAreaAndShortCodes) {
    for (uint32_t c : {3u, 90u, 119u, 2700u, 3599u}) EXPECT_TRUE(CategoryPasses(c, 3)) << c;
    for (uint32_t c : {2u, 4u, 89u, 120u, 2699u, 3600u}) EXPECT_FALSE(CategoryPasses(c, 3)) << c;
    for (uint32_t a : {1702u, 1703u, 170401u, 17040105u}) EXPECT_TRUE(AreaPasses(a, 1791)) << a;
    for (uint32_t a : {1791u, 1705u, 17u, 179101u}) EXPECT_FALSE(AreaPasses(a, 1791)) << a;
    EXPECT_TRUE(AreaPasses(10300302, 103003));
    EXPECT_EQ(ShortAreaCode(10300302), 1030u);
    EXPECT_EQ(ShortAreaCode(123456789), 123u);
    EXPECT_EQ(ShortAreaCode(9999), 9999u);
}

TEST(NameFiles, Bytes) {
    // Two places: "가나" (record 0) and "나A" (record 1).
    writers::SearchPoi a, b;
    a.nameUtf8 = "나A";
    a.poiId = 9;
    b.nameUtf8 = "가나";
    b.poiId = 8;
    b.areaCode = 103001;
    a.areaCode = 2101;
    auto files = writers::BuildNameFiles({a, b}, 0);
    const auto& base = files["nvr.sdb"];
    EXPECT_EQ(base[0], 2);  // the record count
    // Pairs: "가나" (B0A1 B3AA) and "나A" (B3AA 41 00), record numbers in 3 bytes.
    const std::vector<uint8_t> pairs = {2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                        0xB0, 0xA1, 0xB3, 0xAA, 1, 0, 0, 0, 36, 0, 0, 0,
                                        0xB3, 0xAA, 0x41, 0, 1, 0, 0, 0, 39, 0, 0, 0,
                                        0, 0, 0, 1, 0, 0};
    EXPECT_EQ(files["Idx.sdb"], pairs);
    // Initials: "A" is 11 and sorts before ㄱ (51): ㄴA then ㄱㄴ.
    // Sorted by the initial key: (51, 53) for 가나 against (53, 11) for 나A.
    std::vector<uint8_t> want = {2, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                 0xA4, 0xA1, 0xA4, 0xA4, 0, 0, 0, 0, 1, 0, 0, 0, 48, 0, 0, 0,
                                 0xA4, 0xA4, 0x41, 0, 1, 0, 0, 0, 1, 0, 0, 0, 52, 0, 0, 0,
                                 0, 0, 0, 0, 1, 0, 0, 0};
    EXPECT_EQ(files["chosungidx.sdb"], want);
    // By area: 1030 (record 0) and 2101 (record 1).
    const auto& byArea = files["cho_addr_idx.sdb"];
    ASSERT_GE(byArea.size(), 48u);
    EXPECT_EQ(byArea[16] | byArea[17] << 8, 1030);
    EXPECT_EQ(byArea[32] | byArea[33] << 8, 2101);
    // Full: texts "가나" and "나A", lists in name order.
    const auto& full = files["wansungidx.sdb"];
    EXPECT_EQ(std::vector<uint8_t>(full.begin() + 16, full.begin() + 20), (std::vector<uint8_t>{0xB0, 0xA1, 0xB3, 0xAA}));
    EXPECT_EQ(std::vector<uint8_t>(full.end() - 8, full.end()), (std::vector<uint8_t>{0, 0, 0, 0, 1, 0, 0, 0}));
    // POI ids: 8 -> record 0, 9 -> record 1.
    EXPECT_EQ(files["sch_poi_idx.sdb"], (std::vector<uint8_t>{2, 0, 0, 0, 0, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0, 9, 0, 0, 0, 1, 0, 0, 0}));
}

TEST(NameRoutine, Choice) {
    struct Row {
        uint32_t kind;
        int keyClass, chars, firstConsonant;
        bool middle, filter;
        NameRoutine want;
        bool none;
    } rows[] = {
        {2, 2, 1, -1, false, false, NameRoutine::kSingleChar, false},
        {2, 1, 2, 0, false, false, NameRoutine::kAptName, false},
        {0, 1, 1, 0, false, true, NameRoutine::kSingleChar, false},
        {0, 1, 2, 0, true, false, NameRoutine::kFullText, true},
        {0, 2, 2, -1, true, false, NameRoutine::kFullText, false},
        {0, 1, 2, 0, false, true, NameRoutine::kConsonant, false},
        {0, 1, 3, 0, false, false, NameRoutine::kConsonant, false},
        {0, 1, 2, 0, false, false, NameRoutine::kConsonantRange, false},
        {0, 3, 2, 0, false, false, NameRoutine::kHonhapFirstCh, false},
        {0, 3, 3, 0, false, false, NameRoutine::kHonhap, false},
        {0, 3, 2, 1, false, true, NameRoutine::kHonhap, false},
        {0, 3, 3, 1, false, false, NameRoutine::kHonhap, false},
        {0, 3, 2, 1, false, false, NameRoutine::kHonhapRange, false},
        {0, 2, 3, -1, false, false, NameRoutine::kFullName, false},
        {0, 2, 2, -1, false, true, NameRoutine::kFullName, false},
        {0, 2, 2, -1, false, false, NameRoutine::kNameRange, false},
    };
    for (const Row& r : rows) {
        SearchRequest q;
        q.SearchKindID = r.kind;
        q.bMiddleWord = r.middle;
        q.nRadius = r.filter ? 100 : 0;
        const NameRoutineChoice c = ChooseNameRoutine(q, r.keyClass, r.chars, r.firstConsonant);
        EXPECT_EQ(c.none, r.none);
        if (!r.none) {
            EXPECT_EQ(c.routine, r.want) << NameRoutineName(r.want);
        }
    }
}

TEST(NameMerge, KeepsTheMainNameOfEachPlace) {
    // Records 0..4; POI 7 has records 1 (bit 4) and 3; POI 0 is never merged.
    std::vector<NameHit> hits = {{7, 1, 10}, {5, 4, 20}, {7, 3, 30}, {0, 0, 5}, {0, 2, 6}};
    MergePoiHits(hits, [](uint32_t record) { return record == 1; });
    std::vector<uint32_t> records;
    for (const auto& h : hits) records.push_back(h.nRecord);
    EXPECT_EQ(records, (std::vector<uint32_t>{0, 2, 3, 4}));
}

// ---- the module: name searches on the worker --------------------------------

// The demo district with 20,000 generated places behind it, so that a
// walk under one consonant is long.
class NameSearchModule : public searchtest::SearchModuleTest {
protected:
    void WriteData() override {
        writers::SearchDbSource source = writers::DemoSearchSource();
        for (auto& p : writers::GenerateNameSet(3, 20000, {1030}, source.pois[0].pos)) {
            p.poiId += 100000;
            source.pois.push_back(p);
        }
        ASSERT_TRUE(writers::WriteSearchDb(platform::ResolveUnder(dir.Path(), "Search"), source));
    }
};

TEST_F(NameSearchModule, TheNewestNameRequestWins) {
    CModuleSCH& module = *this->module;
    // Long walks (every place under one consonant) replaced again and
    // again, with releases in between.
    const char16_t* keywords[] = {u"ㅎ", u"ㄱ", u"ㅅ", u"ㄴ", u"ㅁ"};
    for (int i = 0; i < 60; ++i) {
        SearchRequest q = Request(kSearchKindName, keywords[i % 5]);
        q.nSubCode = i % 2 ? 0 : 3;
        EXPECT_EQ(module.DoSearch(q), 1);
        if (i % 7 == 0) module.ReleaseSearchMemory();
    }
    const SearchRequest last = Request(kSearchKindName, u"가람로카");
    ASSERT_EQ(module.DoSearch(last), 1);
    int count = -1;
    ASSERT_TRUE(searchtest::WaitFor([&] { return module.GetSearchResultCount(&count) == 1; }));
    ASSERT_EQ(count, 1);
    SearchResult row;
    int n = 0;
    ASSERT_EQ(module.GetSearchResult(kSearchKindName, 0, 1, &n, &row), 1);
    ASSERT_EQ(n, 1);
    EXPECT_EQ(SearchText(row.szName, kSchNameChars), u"가람로카페");
    // A release during a long search stops it; the next request runs.
    ASSERT_EQ(module.DoSearch(Request(kSearchKindName, u"ㅎ")), 1);
    module.ReleaseSearchMemory();
    ASSERT_EQ(module.DoSearch(Request(kSearchKindCorp, u"누리")), 1);
    ASSERT_TRUE(searchtest::WaitFor([&] { return module.GetSearchResultCount(&count) == 1; }));
}

}  // namespace
