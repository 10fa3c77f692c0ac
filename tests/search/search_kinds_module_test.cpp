// The telephone, category and along-the-route kinds through the search
// module on the demo district: the requests, statuses and result records,
// the telephone area list and the around-search category list, each
// against the demo tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/codepage.h"
#include "search/module_sch.h"
#include "support/temp_dir.h"
#include "tools/writers/search_db_writer.h"
#include "tools/writers/search_kinds_writer.h"

namespace {

template <typename Cond>
bool WaitFor(Cond cond) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!cond()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::yield();
    }
    return true;
}

class SearchKindsModuleTest : public ::testing::Test {
protected:
    void SetUp() override {
        source = writers::DemoSearchSource();
        ASSERT_TRUE(writers::WriteDemoSearch(dir.Path()));
        module = std::make_unique<CModuleSCH>(&settings);
        ASSERT_EQ(module->Initialize({dir.Path(), 0}), 1);
        ASSERT_TRUE(WaitFor([&] { return module->GetInitState() != 0; }));
        ASSERT_EQ(module->GetInitState(), 1);
    }
    void TearDown() override { EXPECT_EQ(module->Stop(), 1); }
    int Search(const SearchRequest& q) {
        EXPECT_EQ(module->DoSearch(q), 1);
        int count = -1;
        EXPECT_TRUE(WaitFor([&] { return module->GetSearchResultCount(&count) == 1; }));
        return count;
    }
    std::vector<SearchResult> Fetch(uint32_t kind, int count) {
        std::vector<SearchResult> rows(static_cast<size_t>(count));
        int n = 0;
        EXPECT_EQ(module->GetSearchResult(kind, 0, count, &n, rows.data()), 1);
        rows.resize(static_cast<size_t>(n));
        return rows;
    }
    writers::SearchDbSource source;
    testsupport::TempDir dir;
    CMgrConfigModuleSCH settings;
    std::unique_ptr<CModuleSCH> module;
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

}  // namespace
