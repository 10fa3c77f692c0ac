// The search module on the demo district: start, address searches through
// the worker, paging, the look-ups on the caller's thread, the newest
// request winning while requests pour in, releasing the working memory
// during a search, and the stop.
#include "search/module_sch.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/codepage.h"
#include "platform/paths.h"
#include "search/search_manager.h"
#include "search/search_module_fixture.h"
#include "support/temp_dir.h"
#include "tools/writers/search_db_writer.h"

namespace {

using searchtest::Request;
using searchtest::WaitFor;
using ModuleSchTest = searchtest::SearchModuleTest;

TEST_F(ModuleSchTest, AddressSearchesAndPages) {
    ASSERT_EQ(Search(Request(kSearchKindAddrDongLi, u"한빛")), 1);
    EXPECT_EQ(module->GetSearchStatus(), kSchStatusComplete);
    SearchResult rows[3];
    int n = -1;
    ASSERT_EQ(module->GetSearchResult(kSearchKindAddrDongLi, 0, 3, &n, rows), 1);
    ASSERT_EQ(n, 1);
    EXPECT_EQ(rows[0].nIndex, 0u);
    EXPECT_EQ(rows[0].uAreaCode, 103001u);
    EXPECT_EQ(SearchText(rows[0].szName, kSchNameChars), u"서울특별시>한빛구>한빛동");
    EXPECT_EQ(rows[0].nAddrValue, 18u);
    // A start equal to the count yields nothing; one beyond it is refused.
    EXPECT_EQ(module->GetSearchResult(kSearchKindAddrDongLi, 1, 3, &n, rows), 1);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(module->GetSearchResult(kSearchKindAddrDongLi, 2, 3, &n, rows), kSchNoResults);
    EXPECT_EQ(module->GetSearchResult(11, 0, 3, &n, rows), kSchBadKind);
    // The request is kept in the settings object.
    EXPECT_EQ(DecodeSearchRequest(settings.request).SearchKindID, kSearchKindAddrDongLi);

    ASSERT_EQ(Search(Request(kSearchKindNewAddrDongLi, u"ㄴㄹ")), 1);
    ASSERT_EQ(module->GetSearchResult(kSearchKindNewAddrDongLi, 0, 3, &n, rows), 1);
    EXPECT_EQ(rows[0].uAreaCode, 10300003u);
    EXPECT_EQ(module->ActiveMemoryKind(), 7);

    // Nothing found, and a kind beyond 10.
    EXPECT_EQ(Search(Request(kSearchKindAddrDongLi, u"없는")), 0);
    EXPECT_EQ(module->GetSearchStatus(), kSchNotFound);
    EXPECT_EQ(module->GetSearchResult(kSearchKindAddrDongLi, 0, 3, &n, rows), kSchNoResults);
    EXPECT_EQ(Search(Request(11, u"가나")), 0);
    EXPECT_EQ(module->GetSearchStatus(), kSchStatusComplete);
}

TEST_F(ModuleSchTest, LookupsOnTheCallersThread) {
    SearchAreaRow rows[20];
    char16_t parent[40];
    EXPECT_EQ(module->GetAreaList(1030, 1, parent, rows, 20), 3);
    EXPECT_EQ(SearchText(parent, 40), u"서울특별시>한빛구");
    EXPECT_EQ(rows[0].uAreaCode, 103002u);
    EXPECT_EQ(module->GetAreaList(0, 1, parent, rows, 20), 1);
    EXPECT_EQ(module->GetAreaList(5, 1, parent, rows, 20), -1);
    EXPECT_EQ(module->GetAreaList(1030, 2, parent, rows, 20), -1);
    EXPECT_EQ(module->GetAreaList(103001, -1, parent, rows, 20), 1);  // the districts of 10
    EXPECT_EQ(rows[0].uAreaCode, 1030u);

    ASSERT_EQ(module->SearchAddrLotNumber(103001, 13, 0, 0, 2, rows), 2);
    EXPECT_EQ(SearchText(rows[0].szName, 40), u"한빛동 12-1");
    EXPECT_EQ(rows[0].nValue, 12u);
    EXPECT_EQ(rows[0].wLevelValue, 1);
    EXPECT_EQ(module->SearchAddrLotNumber(103003, 15, 0, 1, 1, rows), 1);
    EXPECT_EQ(SearchText(rows[0].szName, 40), u"솔내면 산15");
    EXPECT_EQ(module->SearchAddrLotNumber(109999, 1, 0, 0, 2, rows), -1);
    ASSERT_EQ(module->SearchNewAddrNumber(10300001, 44, 0, 1, rows), 1);
    EXPECT_EQ(SearchText(rows[0].szName, 40), u"한빛로 44");
    char16_t name[40];
    EXPECT_EQ(module->GetAreaName(103002, name, 5), 3);
    EXPECT_EQ(SearchText(name, 40), u"누리동");
}

TEST_F(ModuleSchTest, BuildingAndSubPlaceLookups) {
    // A company search's results stay readable across the look-ups, which
    // read the place records through handles of their own.
    ASSERT_EQ(Search(Request(kSearchKindCorp, u"누리")), 1);
    SearchRequest q = Request(kSearchKindName, u"");
    q.dBuildingKey = 1030020077.0;
    q.eOrderBy = 3;
    int count = 0;
    EXPECT_EQ(module->SearchBuildingFacilities(q, &count), kSchStatusComplete);
    EXPECT_EQ(count, 19);  // 20 entries, the second name behind its clinic skipped
    SearchResult rows[200];
    int n = 0;
    ASSERT_EQ(module->GetBuildingFacilities(0, 30, &n, rows), 1);
    ASSERT_EQ(n, 19);
    // Group 1 first, and within it the floors from the lowest.
    EXPECT_EQ(SearchText(rows[0].szName, kSchNameChars), u"누리몰마트");
    EXPECT_EQ(static_cast<int8_t>(rows[0].cFloor), -1);
    EXPECT_EQ(SearchText(rows[0].szBuilding, kSchNameChars), u"누리몰");
    EXPECT_EQ(SearchText(rows[0].szDetail, kSchDetailChars), u"누리몰 지하 1층");
    EXPECT_EQ(rows[18].nIndex, 18u);
    EXPECT_EQ(module->GetBuildingFacilities(20, 5, &n, rows), kSchNoResults);
    q.dBuildingKey = 1.0;
    EXPECT_EQ(module->SearchBuildingFacilities(q, &count), kSchNotFound);
    EXPECT_EQ(module->GetBuildingFacilities(0, 5, &n, rows), kSchNoResults);
    EXPECT_EQ(module->GetPOIDetail(1030020077.0, 0, rows), 15);
    ASSERT_EQ(module->GetSearchResult(kSearchKindCorp, 0, 1, &n, rows), 1);
    EXPECT_EQ(SearchText(rows[0].szName, kSchNameChars), u"누리건설");
    // The sub-places of the park (keyed by its POI id).
    SearchResult park[15];
    ASSERT_EQ(Search(Request(kSearchKindName, u"마루로공원")), 1);
    ASSERT_EQ(module->GetSearchResult(kSearchKindName, 0, 1, &n, park), 1);
    q.nRecordID = park[0].nPOIID;
    ASSERT_EQ(module->GetPOIRecord(q, rows), 4);
    EXPECT_EQ(SearchText(rows[1].szName, kSchNameChars), u"마루로공원 후문");
    EXPECT_EQ(SearchText(rows[1].szDetail, kSchDetailChars), u"후문 앞");
}

TEST_F(ModuleSchTest, TheNewestRequestWins) {
    // Look-ups from a second thread run beside the searches.
    std::atomic<bool> done{false};
    std::thread lookups([&] {
        SearchAreaRow rows[10];
        while (!done.load()) {
            EXPECT_EQ(module->GetAreaList(1030, 1, nullptr, rows, 10), 3);
            module->SearchAddrLotNumber(103001, 1, 0, 0, 10, rows);
        }
    });
    const std::u16string keywords[] = {u"한빛", u"누리", u"ㅂㄹ", u"ㅎㅂ", u"솔내"};
    for (int i = 0; i < 300; ++i) {
        const uint32_t kind = i % 3 ? kSearchKindAddrDongLi : kSearchKindNewAddrDongLi;
        EXPECT_EQ(module->DoSearch(Request(kind, keywords[i % 5])), 1);
        int count = 0;
        module->GetSearchResultCount(&count);
    }
    // The last one: the newest request's answer, whatever ran before.
    ASSERT_EQ(Search(Request(kSearchKindAddrDongLi, u"누리")), 1);
    SearchResult row;
    int n = 0;
    ASSERT_EQ(module->GetSearchResult(kSearchKindAddrDongLi, 0, 1, &n, &row), 1);
    EXPECT_EQ(row.uAreaCode, 103002u);
    // The same request again is answered at once, without a new search.
    EXPECT_EQ(module->DoSearch(Request(kSearchKindAddrDongLi, u"누리")), 1);
    EXPECT_TRUE(WaitFor([&] { return module->GetSearchResultCount(&n) == 1; }));
    done = true;
    lookups.join();
}

TEST_F(ModuleSchTest, ARequestWhoseMessageWasLostIsPostedAgain) {
    // The worker is held inside a search (the route sampling of kind 5)
    // while its queue is filled, so that the next request cannot be posted.
    std::atomic<bool> entered{false}, release{false};
    module->SetRouteSampler([&](MapPoint* points, uint8_t* flags, int, uint32_t) {
        entered = true;
        WaitFor([&] { return release.load(); });
        points[0] = {};
        flags[0] = 0;
        return 1;
    });
    SearchRequest along = Request(kSearchKindPathCate, u"");
    along.nSubCode = 1;
    ASSERT_EQ(module->DoSearch(along), 1);
    ASSERT_TRUE(WaitFor([&] { return entered.load(); }));
    while (CMgrWorkThread::SendThreadMessage(kModuleSchThreadName, 99, nullptr, 0, 0)) {
    }
    const SearchRequest q = Request(kSearchKindAddrDongLi, u"누리");
    EXPECT_EQ(module->DoSearch(q), -1);
    release = true;
    // The same request again (and so any later one) reaches the worker and
    // is answered; it is refused again while the worker has not yet made
    // room in its queue.
    EXPECT_TRUE(WaitFor([&] { return module->DoSearch(q) == 1; }));
    int count = 0;
    EXPECT_TRUE(WaitFor([&] { return module->GetSearchResultCount(&count) == 1; }));
    EXPECT_EQ(count, 1);
    module->SetRouteSampler(nullptr);
}

TEST_F(ModuleSchTest, AreaListsLeaveTheDongLiResultsAlone) {
    // The area lists are read by the engines that hold the dong/li
    // results; the finished search's rows must be the same before and after.
    for (const bool roadName : {false, true}) {
        SCOPED_TRACE(roadName ? "road names" : "lot numbers");
        const uint32_t kind = roadName ? kSearchKindNewAddrDongLi : kSearchKindAddrDongLi;
        const int count = Search(Request(kind, u"누리"));
        ASSERT_GT(count, 0);
        const std::vector<SearchResult> before = Fetch(kind, count);
        ASSERT_EQ(static_cast<int>(before.size()), count);
        SearchAreaRow areas[50];
        for (const uint32_t code : {0u, 1030u, 103002u}) {
            const int listed = roadName ? module->GetNewAddrAreaList(code, 1, nullptr, areas, 50)
                                        : module->GetAreaList(code, 1, nullptr, areas, 50);
            EXPECT_GE(listed, 0);
        }
        int still = 0;
        ASSERT_EQ(module->GetSearchResultCount(&still), 1);
        ASSERT_EQ(still, count);
        const std::vector<SearchResult> after = Fetch(kind, count);
        ASSERT_EQ(after.size(), before.size());
        for (size_t i = 0; i < after.size(); ++i) {
            EXPECT_EQ(after[i].uAreaCode, before[i].uAreaCode);
            EXPECT_EQ(SearchText(after[i].szName, kSchNameChars), SearchText(before[i].szName, kSchNameChars));
        }
    }
}

TEST_F(ModuleSchTest, ReleasingMemoryDuringASearch) {
    ASSERT_EQ(module->DoSearch(Request(kSearchKindNewAddrDongLi, u"누리")), 1);
    EXPECT_EQ(module->ReleaseSearchMemory(), 1);
    // Whether the release came during the search or after it: the memory
    // goes once the search is over, and the results that lived in it too.
    ASSERT_TRUE(WaitFor([&] { return settings.GetState() == kSchStateIdle; }));
    EXPECT_EQ(module->ActiveMemoryKind(), -1);
    int count = 0;
    EXPECT_EQ(module->GetSearchResultCount(&count), -1);
    // Results of the base memory stay.
    ASSERT_EQ(Search(Request(kSearchKindAddrDongLi, u"누리")), 1);
    EXPECT_EQ(module->ReleaseSearchMemory(), 1);
    EXPECT_EQ(module->GetSearchResultCount(&count), 1);
}

TEST(ModuleSch, StartAndStop) {
    testsupport::TempDir dir;
    CMgrConfigModuleSCH settings;
    CModuleSCH module(&settings);
    EXPECT_EQ(module.DoSearch(Request(kSearchKindAddrDongLi, u"가나")), -1);
    // Without search data the start fails and says why.
    ASSERT_EQ(module.Initialize({dir.Path(), 0}), 1);
    ASSERT_TRUE(WaitFor([&] { return module.GetInitState() != 0; }));
    EXPECT_EQ(module.GetInitState(), kSchInitEngines);
    EXPECT_EQ(module.Stop(), 1);
    EXPECT_EQ(settings.GetState(), kSchStateEnded);
    // Started again on data.
    ASSERT_TRUE(writers::WriteDemoSearch(dir.Path()));
    ASSERT_EQ(module.Initialize({dir.Path(), 0}), 1);
    ASSERT_TRUE(WaitFor([&] { return module.GetInitState() != 0; }));
    EXPECT_EQ(module.GetInitState(), 1);
    EXPECT_EQ(module.Initialize({dir.Path(), 0}), 0);  // already started
    EXPECT_EQ(module.Stop(), 1);
    EXPECT_EQ(module.DoSearch(Request(kSearchKindAddrDongLi, u"가나")), -1);
}

// The engines' tables in the base memory: a word per legal and per
// administrative area, the road-name holder (4000 bytes) or the road and
// theme tables (187600), and 102880 bytes of engines.
TEST(SearchManager, EngineLayoutFitsTheBaseMemory) {
    testsupport::TempDir dir;
    ASSERT_TRUE(writers::WriteDemoSearch(dir.Path()));
    CMneSearchManager manager;
    manager.SetFolders(dir.Path());
    ASSERT_EQ(manager.LoadEngines(), 1);
    // The demo district has 7 areas in each of the two area files.
    EXPECT_EQ(manager.LayoutEngines(204444, false), 4u * 14 + 4000 + 102880);
    EXPECT_EQ(manager.LayoutEngines(388044, true), 4u * 14 + 187600 + 102880);
    EXPECT_EQ(manager.LayoutEngines(4 * 14 + 4000 + 102880, false), 4u * 14 + 4000 + 102880);
    EXPECT_EQ(manager.LayoutEngines(4 * 14 + 4000 + 102880 - 1, false), 0u);
}

// More areas than the base memory holds end the start with the engines' error.
TEST(ModuleSch, AreasBeyondTheBaseMemoryStopTheStart) {
    testsupport::TempDir dir;
    writers::SearchDbSource source = writers::DemoSearchSource();
    // 99 districts of 99 dongs with two li each: about 29,500 areas, whose
    // codes alone (twice, legal and administrative) pass the 97,564 bytes
    // the smaller base memory leaves for them.
    const MapPoint at = source.lotAreas.front().pos;
    for (uint32_t d = 1001; d <= 1099; ++d) {
        if (d == 1030) continue;  // the demo district
        source.lotAreas.push_back({d, "가람구", at});
        for (uint32_t n = 1; n <= 99; ++n) {
            source.lotAreas.push_back({d * 100 + n, "누리동", at});
            for (uint32_t li = 1; li <= 2; ++li) source.lotAreas.push_back({(d * 100 + n) * 100 + li, "솔리", at});
        }
    }
    ASSERT_TRUE(writers::WriteSearchDb(platform::ResolveUnder(dir.Path(), "Search"), source));
    CMgrConfigModuleSCH settings;
    CModuleSCH module(&settings);
    ASSERT_EQ(module.Initialize({dir.Path(), 0}), 1);
    ASSERT_TRUE(WaitFor([&] { return module.GetInitState() != 0; }));
    EXPECT_EQ(module.GetInitState(), kSchInitEngines);
    EXPECT_EQ(module.Stop(), 1);
}

}  // namespace
