// Recent destinations: the same-place rule, the cap of 30, the four lists,
// and "\RecentDest.udt" (round trip, damaged files).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/nv_config.h"
#include "platform/codepage.h"
#include "platform/paths.h"
#include "settings/module_gps.h"
#include "settings/recent_dest.h"
#include "support/store_fixture.h"

namespace {

// Places of the tests: name and position in map units (about 9.5 m per
// 50 units of latitude near Seoul).
struct Place {
    const char* name;
    int32_t x, y;
};
constexpr int32_t kSeoulX = 66'600'000;
constexpr int32_t kSeoulY = 19'720'000;
const Place kPlaces[] = {
    {"서울역", kSeoulX, kSeoulY},
    {"부산역", kSeoulX + 900'000, kSeoulY - 700'000},
    {"Airport", kSeoulX - 200'000, kSeoulY},
    {"apple store", kSeoulX + 2'000, kSeoulY + 2'000},
};

_tagUISTRUCT_RECENTDEST Dest(const char* name, int32_t x, int32_t y, int type = 0, int region = 0) {
    return MakeCoursePos(x, y, platform::Utf8ToUtf16(name), type, region);
}

std::string NameOf(const _tagUISTRUCT_RECENTDEST& r) { return platform::Utf16ToUtf8(CoursePosName(r)); }

class RecentDestTest : public testsupport::StoreFileTest {
protected:
    RecentDestTest() : StoreFileTest("RecentDest.udt") {
        m_store = std::make_unique<CMgrConfigUIDataRecentDest>();
    }

    void AddPlaces() {
        for (const Place& p : kPlaces) m_store->AddItem(Dest(p.name, p.x, p.y), 1);
    }
    // Names in a list of a mode, in list order.
    std::vector<std::string> Names(int mode) {
        std::vector<std::string> out;
        _tagUISTRUCT_RECENTDEST r;
        for (int i = 0; m_store->GetItem(i, &r, mode); ++i) out.push_back(NameOf(r));
        return out;
    }

    std::unique_ptr<CMgrConfigUIDataRecentDest> m_store;
};

TEST_F(RecentDestTest, NewStoreWithoutFileIsEmpty) {
    EXPECT_EQ(m_store->GetCount(0), 0);
    EXPECT_EQ(m_store->GetSortMode(), 1);
    EXPECT_FALSE(platform::FileExists(FilePath()));
    // The program's store is made on first use, the same way.
    ASSERT_NE(CMgrConfigUIDataRecentDest::Instance(), nullptr);
    EXPECT_EQ(CMgrConfigUIDataRecentDest::Instance(), CMgrConfigUIDataRecentDest::Instance());
}

TEST_F(RecentDestTest, SamePlaceRule) {
    struct Case {
        const char* what;
        int32_t dx, dy;
        const char* name;
        int count;  // records after the add
    } const cases[] = {
        {"9 units and the same name", 9, -9, "Home", 2},
        {"same position and name", 0, 0, "Home", 2},
        {"10 units in x", 10, 0, "Home", 3},
        {"10 units in y", 0, -10, "Home", 3},
        {"name differs only in case", 0, 0, "home", 3},
        {"name longer", 0, 0, "Home ", 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        m_store->SearchByName(u"", 0);
        while (m_store->GetCount(0) > 0) m_store->DeleteItem(0, 1, 1);
        m_store->AddItem(Dest("Home", 5000, 5000), 1);
        m_store->AddItem(Dest("Work", 9000, 9000), 1);
        m_store->AddItem(Dest(c.name, 5000 + c.dx, 5000 + c.dy, 1), 1);
        EXPECT_EQ(m_store->GetCount(0), c.count);
        // The new one is always the newest.
        _tagUISTRUCT_RECENTDEST newest;
        ASSERT_EQ(m_store->GetItem(0, &newest, 3), 1);
        EXPECT_EQ(NameOf(newest), c.name);
        EXPECT_EQ(newest.ePositionType, 1);
        EXPECT_EQ(Names(1).front(), c.count == 2 ? "Work" : "Home");
    }
}

TEST_F(RecentDestTest, ThirtyFirstDestinationDropsTheOldest) {
    for (int i = 0; i < 31; ++i) {
        ASSERT_EQ(m_store->AddItem(Dest(("Place " + std::to_string(i)).c_str(), 1000 + i * 100, 2000), 1), 1);
    }
    EXPECT_EQ(m_store->GetCount(0), 30);
    EXPECT_EQ(Names(1).front(), "Place 1");
    EXPECT_EQ(Names(1).back(), "Place 30");
    ASSERT_EQ(m_store->Save(nullptr), 1);
    EXPECT_NE(FileBytes().find("ItemCount|1=30\r\n"), std::string::npos);
    EXPECT_EQ(FileBytes().find("D030."), std::string::npos);
}

TEST_F(RecentDestTest, ListsAndModes) {
    tagMAPMATCHINFO match;
    match.status = 1;
    match.x = kSeoulX;
    match.y = kSeoulY;
    CMgrConfigModuleGPS::Instance()->SetMatchInfo(match);
    AddPlaces();

    EXPECT_EQ(Names(1), (std::vector<std::string>{"서울역", "부산역", "Airport", "apple store"}));
    EXPECT_EQ(Names(2), (std::vector<std::string>{"Airport", "apple store", "부산역", "서울역"}));
    EXPECT_EQ(Names(3), (std::vector<std::string>{"apple store", "Airport", "부산역", "서울역"}));
    EXPECT_EQ(Names(4), (std::vector<std::string>{"서울역", "apple store", "Airport", "부산역"}));
    EXPECT_EQ(m_store->GetSortMode(), 4);  // the last mode asked for stays
    EXPECT_EQ(m_store->GetStoredIndex(0, -1), 0);
    EXPECT_EQ(m_store->GetStoredIndex(0, 3), 3);
    EXPECT_EQ(m_store->GetStoredIndex(4, 1), -1);
    EXPECT_EQ(m_store->GetStoredIndex(2, 9), 2);  // other modes map to themselves

    // Initial consonants: ㅅ finds 서울역 only; a Latin prefix ignores nothing.
    ASSERT_EQ(m_store->SearchByName(u"ㅅ", 0), 1);
    EXPECT_EQ(m_store->GetCount(1), 1);
    EXPECT_EQ(m_store->GetCount(0), 4);
    EXPECT_EQ(Names(1), std::vector<std::string>{"서울역"});
    // The search text stays for rebuilds; a case-only change keeps it.
    m_store->AddItem(Dest("성수동", kSeoulX + 50'000, kSeoulY), 1);
    EXPECT_EQ(Names(3), (std::vector<std::string>{"성수동", "서울역"}));
    m_store->SearchByName(u"A", 0);
    EXPECT_EQ(Names(2), (std::vector<std::string>{"Airport"}));
    // Matching is exact; only the stored text ignores a case-only change.
    m_store->SearchByName(u"a", 0);
    EXPECT_EQ(Names(2), (std::vector<std::string>{"apple store"}));
    EXPECT_EQ(m_store->GetSearchText(), u"A");
    m_store->RebuildLists(1);
    EXPECT_EQ(Names(2), (std::vector<std::string>{"Airport"}));

    // A distance limit keeps what lies within it (the airport is about 20 km away).
    m_store->SearchByName(u"", 5000);
    EXPECT_EQ(Names(1), (std::vector<std::string>{"서울역", "apple store"}));
    m_store->SearchByName(u"", 0);
    EXPECT_EQ(m_store->GetCount(1), 5);

    // A null buffer answers for every position below the record count.
    m_store->SearchByName(u"ㅂ", 0);
    EXPECT_EQ(m_store->GetItem(4, nullptr, 1), 1);
    EXPECT_EQ(m_store->GetItem(5, nullptr, 1), 0);
    EXPECT_EQ(m_store->GetItem(-1, nullptr, 1), 0);
    _tagUISTRUCT_RECENTDEST r;
    EXPECT_EQ(m_store->GetItem(1, &r, 1), 0);  // not in the filtered list
}

TEST_F(RecentDestTest, DeletingSeveralWithoutRebuildHitsTheRightRecords) {
    AddPlaces();  // by name: Airport, apple store, 부산역, 서울역
    // Remove list positions 3 and 1 of the name list, highest first, then
    // rebuild once.
    ASSERT_EQ(m_store->DeleteItem(3, 2, 0), 1);
    ASSERT_EQ(m_store->DeleteItem(1, 2, 0), 1);
    EXPECT_EQ(m_store->DeleteItem(2, 2, 0), 0);  // only two records left
    m_store->RebuildLists(1);
    EXPECT_EQ(Names(1), (std::vector<std::string>{"부산역", "Airport"}));
}

TEST_F(RecentDestTest, SaveAndLoadGiveTheSameRecords) {
    const std::u16string longHangul(64, u'한');
    const std::u16string longLatin(64, u'L');
    m_store->AddItem(MakeCoursePos(-1, int32_t(0x80000000), longHangul, 2, -7), 1);
    m_store->AddItem(MakeCoursePos(0x7FFFFFFF, 5, longLatin + u"cut", 1, 3), 1);
    AddPlaces();
    ASSERT_EQ(m_store->Save(nullptr), 1);
    const std::string bytes = FileBytes();
    EXPECT_EQ(bytes.rfind("nVersion|1=841887792\r\nItemCount|1=6\r\nD000.Type|1=2\r\nD000.Region|1=4294967289\r\n"
                          "D000.X|1=4294967295\r\nD000.Y|1=2147483648\r\nD000.Name|2=",
                          0),
              0u);

    CMgrConfigUIDataRecentDest loaded;
    ASSERT_EQ(loaded.GetCount(0), 6);
    testsupport::ExpectSameRecords<_tagUISTRUCT_RECENTDEST>(
        *m_store, loaded, 6,
        [](CMgrConfigUIDataRecentDest& s, int i, _tagUISTRUCT_RECENTDEST* r) { return s.GetItem(i, r, 1); });
    _tagUISTRUCT_RECENTDEST second;
    loaded.GetItem(1, &second, 1);
    EXPECT_EQ(CoursePosName(second), longLatin);
    EXPECT_EQ(FileBytes(), bytes);
    EXPECT_EQ(TakeSettingsFileErrorCount(), 0);

    WriteFile("nVersion|1=841887792\r\nItemCount|1=0\r\n");
    EXPECT_EQ(loaded.Load(nullptr), 1);
    EXPECT_EQ(loaded.GetCount(0), 0);
}

TEST_F(RecentDestTest, FilesAreReadAsFarAsTheyGoAndOnlyUnreadableOnesAreSetAside) {
    AddPlaces();
    ASSERT_EQ(m_store->Save(nullptr), 1);
    const testsupport::FileEdits edit(FileBytes());
    // Key lookups in a settings file ignore case, so an entry spelt "d003."
    // is still an entry.
    const auto lowerEntry = [](std::string bytes, const std::string& prefix, const std::string& lower) {
        for (size_t at = bytes.find(prefix); at != std::string::npos; at = bytes.find(prefix, at)) {
            bytes.replace(at, prefix.size(), lower);
        }
        return bytes;
    };
    const std::vector<std::string> all = {"서울역", "부산역", "Airport", "apple store"};
    struct Damage {
        const char* what;
        std::string bytes;
        int loads;                      // 0: refused and set aside
        std::vector<std::string> kept;  // names in the store afterwards
    } const cases[] = {
        {"cut inside a line", edit.CutAt("D002.Name", 4), 0, {}},
        {"no ItemCount", edit.Cut("ItemCount", "D000"), 0, {}},
        {"no nVersion", edit.Cut("nVersion", "ItemCount"), 0, {}},
        // Keys past the count are not read.
        {"count 1, three stray entries", edit.Replace("ItemCount|1=4", "ItemCount|1=1"), 1, {"서울역"}},
        {"count lowered, last entry in lower case",
         lowerEntry(edit.Replace("ItemCount|1=4", "ItemCount|1=3"), "D003.", "d003."), 1,
         {"서울역", "부산역", "Airport"}},
        {"count negative", edit.Replace("ItemCount|1=4", "ItemCount|1=4294967295"), 1, {}},
        // Entries the file does not hold are not made up.
        {"cut after entry 1", edit.CutAt("D002."), 1, {"서울역", "부산역"}},
        {"count raised", edit.Replace("ItemCount|1=4", "ItemCount|1=6"), 1, all},
        {"count over 30", edit.Replace("ItemCount|1=4", "ItemCount|1=31"), 1, all},
        // A key missing (an older file) leaves its field empty.
        {"a name removed", edit.Cut("D001.Name", "D002"), 1, {"서울역", "", "Airport", "apple store"}},
        // "\xBC" is half a Hangul syllable.
        {"a name not CP949", edit.Replace("D001.Name|2=\xBA\xCE\xBB\xEA\xBF\xAA", "D001.Name|2=\xBC"), 1,
         {"서울역", "", "Airport", "apple store"}},
    };
    for (const Damage& d : cases) {
        SCOPED_TRACE(d.what);
        WriteFile(d.bytes);
        CMgrConfigUIDataRecentDest store;
        EXPECT_EQ(store.Load(nullptr), d.loads);
        ExpectKeptOrSetAside(d.loads, d.bytes);
        std::vector<std::string> names;
        _tagUISTRUCT_RECENTDEST r;
        for (int i = 0; store.GetItem(i, &r, 1); ++i) names.push_back(NameOf(r));
        EXPECT_EQ(names, d.kept);
        ExpectRewrittenOrGone(d.loads, d.kept.size(),
                              [] { return CMgrConfigUIDataRecentDest().GetCount(0); });
        RemoveErr();
    }
}

TEST_F(RecentDestTest, AnEntryMissingWholeIsSkippedAndTheFileWrittenAgainWithoutIt) {
    WriteFile(
        "nVersion|1=841887792\r\nItemCount|1=3\r\n"
        "D000.Type|1=0\r\nD000.Region|1=0\r\nD000.X|1=100\r\nD000.Y|1=100\r\nD000.Name|2=Home\r\n"
        "D002.Type|1=0\r\nD002.Region|1=0\r\nD002.X|1=900\r\nD002.Y|1=900\r\nD002.Name|2=Work\r\n");
    CMgrConfigUIDataRecentDest store;
    ASSERT_EQ(store.GetCount(0), 2);
    const std::string bytes = FileBytes();
    EXPECT_NE(bytes.find("ItemCount|1=2\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("D001.Name|2=Work\r\n"), std::string::npos);
    EXPECT_EQ(bytes.find("D002."), std::string::npos);
}

TEST_F(RecentDestTest, DuplicatesInAFileMergeAsTheyAreAdded) {
    WriteFile(
        "nVersion|1=841887792\r\nItemCount|1=2\r\n"
        "D000.Type|1=0\r\nD000.Region|1=0\r\nD000.X|1=100\r\nD000.Y|1=100\r\nD000.Name|2=Home\r\n"
        "D001.Type|1=0\r\nD001.Region|1=0\r\nD001.X|1=105\r\nD001.Y|1=100\r\nD001.Name|2=Home\r\n");
    CMgrConfigUIDataRecentDest store;
    ASSERT_EQ(store.GetCount(0), 1);
    _tagUISTRUCT_RECENTDEST r;
    store.GetItem(0, &r, 1);
    EXPECT_EQ(r.PosInfo.wcPosition.x, 105);
    EXPECT_FALSE(ErrExists());
    EXPECT_EQ(TakeSettingsFileErrorCount(), 0);
}

}  // namespace
