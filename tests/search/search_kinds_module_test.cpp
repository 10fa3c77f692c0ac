// The telephone, category and along-the-route kinds through the search
// module on the demo district: the requests, statuses and result records,
// the telephone area list and the around-search category list, each
// against the demo tables; the theme kinds and the theme and interchange
// look-ups on the demo root, against the writer's theme and interchange
// sources.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "foundation/coords.h"
#include "platform/codepage.h"
#include "platform/paths.h"
#include "search/module_sch.h"
#include "search/search_module_fixture.h"
#include "support/temp_dir.h"
#include "tools/writers/search_db_writer.h"
#include "tools/writers/search_kinds_writer.h"
#include "tools/writers/theme_ic_writer.h"

namespace {

using searchtest::WaitFor;

class SearchKindsModuleTest : public searchtest::SearchModuleTest {
protected:
    const writers::SearchDbSource source = writers::DemoSearchSource();
};

TEST_F(SearchKindsModuleTest, TelephoneNumbersInKeyOrder) {
    SearchRequest q;
    q.SearchKindID = kSearchKindPhone;
    q.wTelArea = 2;
    q.uTelNumber = 555;
    q.ptCenter = {static_cast<uint32_t>(source.pois[0].pos.x), static_cast<uint32_t>(source.pois[0].pos.y)};
    // The demo companies of Seoul whose numbers begin with 555, in the
    // order of their numbers aligned left on eight digits.
    std::vector<std::pair<uint64_t, std::u16string>> want;
    for (const auto& c : source.corps) {
        const std::string digits = std::to_string(c.telNumber);
        if (c.telArea == 2 && digits.rfind("555", 0) == 0)
            want.push_back({std::stoull(digits.size() == 7 ? digits + "0" : digits), platform::Utf8ToUtf16(c.nameUtf8)});
    }
    std::sort(want.begin(), want.end());
    ASSERT_EQ(want.size(), 6u);
    ASSERT_EQ(Search(q), 6);
    EXPECT_EQ(module->GetSearchStatus(), kSchStatusComplete);
    const auto rows = Fetch(kSearchKindPhone, 10);
    ASSERT_EQ(rows.size(), 6u);
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].nIndex, i);  // within the page
        EXPECT_EQ(SearchText(rows[i].szName, kSchNameChars), want[i].second);
    }
    EXPECT_EQ(rows[4].uTelNumber, 55512345u);  // eight digits, shown as stored
    EXPECT_EQ(rows[0].uTelNumber, 5550101u);   // seven digits, the trailing zero removed
    EXPECT_EQ(rows[0].nDistance, 0u);
    // A second page numbers from 0 again.
    SearchResult page[2];
    int n = 0;
    ASSERT_EQ(module->GetSearchResult(kSearchKindPhone, 4, 2, &n, page), 1);
    ASSERT_EQ(n, 2);
    EXPECT_EQ(page[0].nIndex, 0u);
    EXPECT_EQ(page[0].uTelNumber, 55512345u);
    // Nine digits and an unknown area: nothing found.
    q.uTelNumber = 555123456;
    EXPECT_EQ(Search(q), 0);
    EXPECT_EQ(module->GetSearchStatus(), kSchNotFound);
    q.uTelNumber = 555;
    q.wTelArea = 99;
    EXPECT_EQ(Search(q), 0);
    // The area list.
    SearchTelAreaRow areas[20];
    const int count = module->GetTelAreaCodeList(areas, 20);
    ASSERT_EQ(count, 3);  // 02, 031, 064
    EXPECT_EQ(areas[0].wAreaCode, 2u);
    EXPECT_EQ(std::u16string(areas[0].szName), u"서울");
    EXPECT_EQ(areas[2].wAreaCode, 64u);
    EXPECT_EQ(std::u16string(areas[2].szName), u"제주");
    EXPECT_EQ(areas[1].nValue, 1u);
}

TEST_F(SearchKindsModuleTest, CategoriesInAnAreaAroundAPointAndAlongTheRoute) {
    // Kind 3: category 3 (병원) in the district: the places of 91 and 92.
    SearchRequest q;
    q.SearchKindID = kSearchKindCate;
    q.nSubCode = 3;
    std::vector<std::u16string> want;
    for (const auto& p : source.pois)
        if ((p.catePacked >> 12) == 3) want.push_back(platform::Utf8ToUtf16(p.nameUtf8));
    ASSERT_FALSE(want.empty());
    ASSERT_EQ(Search(q), static_cast<int>(want.size()));
    EXPECT_EQ(module->GetSearchStatus(), kSchStatusComplete);
    auto rows = Fetch(kSearchKindCate, 40);
    std::vector<std::u16string> got;
    for (const auto& r : rows) {
        got.push_back(std::u16string(SearchText(r.szName, kSchNameChars)));
        EXPECT_FALSE(SearchText(r.szAddress, kSchAddressChars).empty());
        EXPECT_FALSE(SearchText(r.szCateName, kSchCateNameChars).empty());
    }
    std::sort(want.begin(), want.end());
    std::vector<std::u16string> sortedGot = got;
    std::sort(sortedGot.begin(), sortedGot.end());
    EXPECT_EQ(sortedGot, want);
    EXPECT_EQ(rows[1].nIndex, 1u);

    // Kind 4: 1000 m around the first place, nearest first.
    q.SearchKindID = kSearchKindAroundCate;
    q.nSubCode = 0;
    q.nRadius = 50000;  // cut to 40232 without a category
    q.eOrderBy = 1;
    q.ptCenter = {static_cast<uint32_t>(source.pois[0].pos.x), static_cast<uint32_t>(source.pois[0].pos.y)};
    const int around = Search(q);
    ASSERT_GT(around, 5);
    rows = Fetch(kSearchKindAroundCate, around);
    for (size_t i = 1; i < rows.size(); ++i) EXPECT_LE(rows[i - 1].nDistance, rows[i].nDistance);
    EXPECT_EQ(rows[0].nDistance, 0u);

    // Kind 5 without a route: nothing, status 0.
    q.SearchKindID = kSearchKindPathCate;
    q.nSubCode = 1;
    EXPECT_EQ(Search(q), 0);
    EXPECT_EQ(module->GetSearchStatus(), kSchStatusComplete);
    // With a route through every place of the district from the first.
    std::vector<MapPoint> route;
    for (const auto& p : source.pois) route.push_back(p.pos);
    uint32_t stepAsked = 0;
    module->SetRouteSampler([&](MapPoint* points, uint8_t* flags, int maxPoints, uint32_t step) {
        stepAsked = step;
        const int n = std::min<int>(maxPoints, static_cast<int>(route.size()));
        for (int i = 0; i < n; ++i) {
            points[i] = route[static_cast<size_t>(i)];
            flags[i] = 0;
        }
        return n;
    });
    q.nRadius = 150;
    const int along = Search(q);
    EXPECT_EQ(stepAsked, 1000u);
    EXPECT_GT(along, 0);
    EXPECT_EQ(module->GetSearchStatus(), kSchStatusComplete);
    rows = Fetch(kSearchKindPathCate, along);
    for (const auto& r : rows) EXPECT_TRUE(r.bKind == 0 || r.bKind == 2 || r.bKind == 6);
    // Without a category: not searched.
    q.nSubCode = 0;
    EXPECT_EQ(Search(q), 0);
    EXPECT_EQ(module->GetSearchStatus(), kSchNotFound);
    module->SetRouteSampler(nullptr);
}

TEST_F(SearchKindsModuleTest, AroundCategoryList) {
    SearchAroundCateRow rows[100];
    char16_t parent[28] = {};
    // The top level: the fifteen named categories of the demo tree.
    EXPECT_EQ(module->GetAroundCateList(0, 1, parent, rows, 100), 15);
    EXPECT_EQ(rows[0].nCode, 1u);
    EXPECT_EQ(std::u16string(rows[0].szName), u"음식점");
    // Under 음식점 (1): 한식 101 and 카페 102; level 0 of 101 names the same.
    EXPECT_EQ(module->GetAroundCateList(1, 1, parent, rows, 100), 2);
    EXPECT_EQ(std::u16string(parent), u"음식점");
    EXPECT_EQ(rows[1].nCode, 102u);
    EXPECT_EQ(rows[1].wValue1, 32u);
    EXPECT_EQ(std::u16string(rows[1].szName), u"카페");
    EXPECT_EQ(module->GetAroundCateList(101, 0, parent, rows, 100), 2);
    EXPECT_EQ(module->GetAroundCateList(101, 2, parent, rows, 100), -1);
    // The count of places under 카페 (32).
    uint32_t cafes = 0;
    for (const auto& p : source.pois) cafes += p.catePacked == (1 << 12 | 2 << 6);
    EXPECT_EQ(rows[1].nValue, cafes);
}

// ---- themes and interchanges through the module -----------------------------

class ThemeModuleTest : public searchtest::SearchModuleTest {
protected:
    void WriteData() override {
        ASSERT_TRUE(writers::WriteDemoSearch(dir.Path()));
        ASSERT_TRUE(writers::WriteDemoThemesAndCodes(dir.Path()));
        // The demo themes and one park whose flag byte is 0.
        themes = writers::DemoThemeSource();
        writers::ThemePointSource bare = themes.points.front();
        bare.key = 9001;
        bare.nameUtf8 = "한빛빈터";
        bare.category = 4;
        bare.mask = 0;
        bare.mask2 = 6;
        bare.itemKind = 0;
        themes.points.push_back(bare);
        ASSERT_TRUE(writers::WriteThemeDb(platform::ResolveUnder(dir.Path(), "Search"), themes));
        writers::DemoInterchanges(highways, ics);
    }
    uint32_t ThemeFlag() const override { return 1; }
    // The keys of a finished search of kind 9 or 10, in row order.
    std::vector<uint32_t> SearchKeys(const SearchRequest& q) {
        std::vector<uint32_t> keys;
        for (const SearchResult& row : Fetch(q.SearchKindID, Search(q))) keys.push_back(row.ThemeRow.nThemeKey);
        return keys;
    }
    const writers::ThemePointSource& Point(uint32_t key) const {
        for (const auto& p : themes.points)
            if (p.key == key) return p;
        ADD_FAILURE() << "no point " << key;
        return themes.points.front();
    }
    writers::ThemeDbSource themes;
    std::vector<writers::ICHighwaySource> highways;
    std::vector<writers::ICSource> ics;
};

TEST_F(ThemeModuleTest, ThemeKindsNineAndTenRunOnTheWorker) {
    // Theme 104 (공원): the category byte equals 4. Kind 9 lists the walking
    // course (item kind 2) too, kind 10 does not; the hidden entry (item
    // kind 3) never. Kind 10 within 600 m of the first park.
    std::set<uint32_t> parks, course;
    const writers::ThemePointSource* first = nullptr;
    for (const auto& p : themes.points) {
        if (p.category != 4 || p.itemKind == 3) continue;
        (p.itemKind == 2 ? course : parks).insert(p.key);
        if (!first && p.itemKind == 0) first = &p;
    }
    ASSERT_TRUE(first);
    ASSERT_EQ(course.size(), 1u);
    ASSERT_GE(parks.size(), 3u);
    SearchRequest q;
    q.SearchKindID = kSearchKindTheme;
    q.nSubCode = 104;
    q.eOrderBy = 2;  // rank, highest first
    const std::vector<uint32_t> nine = SearchKeys(q);
    EXPECT_EQ(module->GetSearchStatus(), kSchStatusComplete);
    std::set<uint32_t> want = parks;
    want.insert(course.begin(), course.end());
    EXPECT_EQ(std::set<uint32_t>(nine.begin(), nine.end()), want);
    EXPECT_EQ(nine.size(), want.size());
    for (size_t i = 1; i < nine.size(); ++i) EXPECT_GE(Point(nine[i - 1]).rank, Point(nine[i]).rank);

    q.SearchKindID = kSearchKindTheme2;
    const std::vector<uint32_t> ten = SearchKeys(q);
    EXPECT_EQ(std::set<uint32_t>(ten.begin(), ten.end()), parks);

    q.ptCenter = {static_cast<uint32_t>(first->pos.x), static_cast<uint32_t>(first->pos.y)};
    q.nRadius = 600;
    q.eOrderBy = 1;
    std::set<uint32_t> near;
    for (uint32_t k : parks)
        if (GetApproxDistance(first->pos, Point(k).pos) <= 600) near.insert(k);
    ASSERT_LT(near.size(), parks.size());
    const std::vector<uint32_t> around = SearchKeys(q);
    EXPECT_EQ(std::set<uint32_t>(around.begin(), around.end()), near);
    ASSERT_FALSE(around.empty());
    EXPECT_EQ(GetApproxDistance(first->pos, Point(around.front()).pos), 0u);

    // A theme no record passes: nothing found.
    q.nSubCode = 105;
    q.nRadius = 1;
    q.ptCenter = {1, 1};
    EXPECT_TRUE(SearchKeys(q).empty());
    EXPECT_EQ(module->GetSearchStatus(), kSchNotFound);
}

TEST_F(ThemeModuleTest, ThemeLookUps) {
    // The categories: the top level, and the children of 1 (여행).
    ThemeCateRecord parent, rows[100];
    ASSERT_EQ(module->GetThemeList(0, 0, &parent, rows, 100), 2);
    EXPECT_EQ(rows[0].code, 1u);
    EXPECT_EQ(rows[1].code, 2u);
    ASSERT_EQ(module->GetThemeList(1, 1, &parent, rows, 100), 5);
    EXPECT_EQ(parent.code, 1u);
    EXPECT_EQ(rows[3].code, 104u);
    std::u16string name;
    ASSERT_TRUE(platform::Cp949ToUtf16(rows[3].name, name));
    EXPECT_EQ(name, u"공원");

    // The items of 공원: every record of item kind other than 1 whose
    // category byte is 4, the course and the hidden entry with them.
    std::set<uint32_t> parks;
    for (const auto& p : themes.points)
        if (p.category == 4 && p.itemKind != 1) parks.insert(p.key);
    const int items = module->SearchThemeItems(rows[3]);
    ASSERT_EQ(items, static_cast<int>(parks.size()));
    std::set<uint32_t> got;
    SearchThemeRow row;
    for (int i = 0; i < items; ++i) {
        ASSERT_EQ(module->GetThemeItemInfo(i, &row), 1);
        EXPECT_EQ(row.nIndex, static_cast<uint32_t>(i));
        EXPECT_EQ(platform::Utf16ToUtf8(std::u16string(row.szName)), Point(row.nThemeKey).nameUtf8);
        got.insert(row.nThemeKey);
    }
    EXPECT_EQ(got, parks);
    EXPECT_EQ(module->GetThemeItemInfo(items, &row), -1);
    EXPECT_EQ(module->GetThemeItemInfo(-1, &row), -1);

    // By key from the file: the hidden entry is found, an unknown key not.
    const writers::ThemePointSource& hidden = themes.points[themes.points.size() - 2];
    ASSERT_EQ(hidden.itemKind, 3);
    ASSERT_EQ(module->FindThemeItemInfo(hidden.key, &row), 1);
    EXPECT_EQ(std::u16string(row.szName), u"한빛숨은쉼터");
    EXPECT_EQ(module->FindThemeItemInfo(424242, &row), 0);

    // The flags of a key: from the rows just listed (a park), from the file
    // (a cafe, not listed), the flag byte 0, no such key.
    uint32_t cafe = 0;
    for (const auto& p : themes.points)
        if (p.category == 1 && !cafe) cafe = p.key;
    ASSERT_NE(cafe, 0u);
    ASSERT_EQ(parks.count(cafe), 0u);
    const struct {
        uint32_t key;
        int answer;
    } flagCases[] = {{*parks.begin(), 1}, {cafe, 1}, {9001, 0}, {424242, -1}};
    for (const auto& c : flagCases) {
        SCOPED_TRACE(c.key);
        ThemeItemFlags flags;
        flags.firstWord = 77;
        EXPECT_EQ(module->GetThemeItemFlags(c.key, &flags), c.answer);
        const bool known = c.answer >= 0;
        EXPECT_EQ(flags.firstWord, known ? c.key : 0u);
        EXPECT_EQ(flags.flag, known ? Point(c.key).mask : 0);
        EXPECT_EQ(flags.flag2, known ? Point(c.key).mask2 : 0);
    }

    // The course's members (its record number as nOption), also kept in the
    // settings object.
    const std::vector<size_t> order = writers::ThemeRecordOrder(themes.points);
    const size_t courseIndex = themes.points.size() - 3;
    ASSERT_EQ(themes.points[courseIndex].itemKind, 2);
    SearchRequest q;
    for (size_t r = 0; r < order.size(); ++r)
        if (order[r] == courseIndex) q.nOption = static_cast<int32_t>(r);
    std::set<uint32_t> members;
    for (size_t m : themes.points[courseIndex].members) members.insert(themes.points[m].key);
    std::vector<SearchThemeRow> courseRows(100);
    const int n = module->DoThemeSearch(q, courseRows.data(), 100);
    ASSERT_EQ(n, static_cast<int>(members.size()));
    got.clear();
    for (int i = 0; i < n; ++i) got.insert(courseRows[static_cast<size_t>(i)].nThemeKey);
    EXPECT_EQ(got, members);
    EXPECT_EQ(settings.words[0], n);

    // The tile index: a point found at its own place.
    const writers::ThemePointSource& park = Point(*parks.begin());
    ThemeAroundRow around[100];
    const int found = module->SearchThemeAround(park.pos.x, park.pos.y, 1, 0, 100, around);
    ASSERT_GT(found, 0);
    bool seen = false;
    for (int i = 0; i < found; ++i) seen = seen || static_cast<uint32_t>(around[i].value) == park.key;
    EXPECT_TRUE(seen);
}

TEST_F(ThemeModuleTest, InterchangeLookUps) {
    ICHighway list[40];
    ASSERT_EQ(module->GetHighwayList(list, 40), 2);
    EXPECT_EQ(list[1].id, highways[1].id);
    EXPECT_EQ(platform::Utf16ToUtf8(list[1].name), highways[1].nameUtf8);

    const writers::ICSource& ramp = ics[0];
    const writers::ICSource& other = ics[3];
    ASSERT_EQ(ramp.id, 1001u);
    ASSERT_EQ(other.id, 2001u);
    // Next to the other motorway's interchange: that motorway's list.
    std::vector<ICListRow> rows(600);
    int count = 0, highway = -1;
    EXPECT_EQ(module->GetHighwayICList(rows.data(), &count, &highway, other.pos1.x + 10, other.pos1.y, 1, -1), 0);
    EXPECT_EQ(highway, 1);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(rows[0].id, other.id);
    EXPECT_EQ(rows[0].x, static_cast<uint32_t>(other.pos1.x));

    // By name on the way off (side 0), nearest first from the ramp's way off:
    // the ramp, the toll gate and the other motorway's interchange; the
    // junction (id 0) never.
    std::vector<ICRow> named(600);
    int hits = 0;
    EXPECT_EQ(module->SearchICByName(named.data(), &hits, ramp.pos2.x, ramp.pos2.y, 0, u"", 1), 3);
    ASSERT_EQ(hits, 3);
    EXPECT_EQ(named[0].id, ramp.id);
    for (int i = 1; i < hits; ++i) EXPECT_LE(named[i - 1].distance, named[i].distance);
    // On the way on (side 1), names beginning with the consonant ㄴ: the
    // other motorway's interchange (the junction 누리분기점 has id 0).
    EXPECT_EQ(module->SearchICByName(named.data(), &hits, 0, 0, 1, u"ㄴ", 0), 1);
    EXPECT_EQ(named[0].id, other.id);

    // The links of the nearest interchange on each side.
    uint32_t links[4] = {};
    ASSERT_EQ(module->GetNearestICLinks(ramp.pos1.x, ramp.pos1.y, 1, links), 1);
    EXPECT_EQ(links[0], ramp.links[0]);
    ASSERT_EQ(module->GetNearestICLinks(ramp.pos2.x, ramp.pos2.y, 0, links), 1);
    EXPECT_EQ(links[0], ramp.links[4]);
}

}  // namespace
