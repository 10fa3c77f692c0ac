// Registered places: the cap of 200, the sort modes and the current result,
// folders (places stay in their folders when one is removed), alarm
// windows, and "\RegDest.udt" (exact keys, round trip, damaged files).
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "foundation/nv_config.h"
#include "platform/codepage.h"
#include "platform/paths.h"
#include "settings/main_menu_time.h"
#include "settings/module_gps.h"
#include "settings/reg_dest.h"
#include "support/store_fixture.h"

namespace {

using Store = CMgrConfigUIDataRegDest;

constexpr int32_t kSeoulX = 66'600'000;
constexpr int32_t kSeoulY = 19'720'000;

_tagUISTRUCT_REGDEST Place(const std::string& name, int32_t x, int32_t y, int folder = 0, int category = 0,
                           int icon = 0) {
    _tagUISTRUCT_REGDEST r;
    CopyNameField(r.PosInfo.szName, kCourseNameUnits, platform::Utf8ToUtf16(name));
    r.PosInfo.wcPosition = MapPoint{x, y};
    r.nFolder = folder;
    r.eCate = category;
    r.nIcon = icon;
    return r;
}

std::string NameOf(const _tagUISTRUCT_REGDEST& r) { return platform::Utf16ToUtf8(RegDestTraits::Name(r)); }

_tagUISTRUCT_FOLDERITEM Folder(const std::string& name) {
    _tagUISTRUCT_FOLDERITEM f;
    CopyNameField(f.szFolderName, _tagUISTRUCT_FOLDERITEM::kNameChars, platform::Utf8ToUtf16(name));
    return f;
}

std::string Cp949(const std::string& utf8) {
    std::string out;
    platform::Utf16ToCp949(platform::Utf8ToUtf16(utf8), out);
    return out;
}

void SetPosition(int32_t x, int32_t y) {
    tagMAPMATCHINFO match;
    match.status = 1;
    match.x = x;
    match.y = y;
    CMgrConfigModuleGPS::Instance()->SetMatchInfo(match);
}

class RegDestTest : public testsupport::StoreFileTest {
protected:
    RegDestTest() : StoreFileTest("RegDest.udt") {
        SetPosition(kSeoulX, kSeoulY);
        m_store = std::make_unique<Store>();
    }

    // Names of the current result, in order.
    static std::vector<std::string> Result(Store& store) {
        std::vector<std::string> out;
        _tagUISTRUCT_REGDEST r;
        for (int i = 0; store.GetItem(i, &r, Store::kFolderCurrent, Store::kModeCurrent); ++i) out.push_back(NameOf(r));
        return out;
    }
    // Names of a folder's places in a mode, read without touching the
    // current result.
    static std::vector<std::string> InFolder(Store& store, int folder, int mode) {
        std::vector<std::string> out;
        _tagUISTRUCT_REGDEST r;
        for (int i = 0; store.GetItem(i, &r, folder, mode); ++i) out.push_back(NameOf(r));
        return out;
    }
    // Place name -> name of the folder it is in.
    static std::map<std::string, std::string> FolderOfEach(Store& store) {
        std::map<std::string, std::string> out;
        _tagUISTRUCT_REGDEST r;
        for (int i = 0; store.GetItem(i, &r, Store::kFolderAll, Store::kModeStored); ++i) {
            _tagUISTRUCT_FOLDERITEM f;
            out[NameOf(r)] = store.GetFolder(r.nFolder, &f, 1)
                                 ? platform::Utf16ToUtf8(NameFieldView(f.szFolderName, _tagUISTRUCT_FOLDERITEM::kNameChars))
                                 : "?";
        }
        return out;
    }

    std::unique_ptr<Store> m_store;
};

TEST_F(RegDestTest, NewStoreHoldsTheDefaultFolderAndWritesItsFile) {
    EXPECT_EQ(m_store->GetItemCount(), 0);
    EXPECT_EQ(m_store->GetFolderCount(), 1);
    EXPECT_EQ(m_store->GetCurrentFolder(), -1);
    EXPECT_EQ(m_store->GetSortOrder(), 1);
    EXPECT_EQ(FileBytes(), "nVersion|1=841887792\r\nnFolderItemCount|1=1\r\nRegDestFolder000.szFolderName|2=" +
                               Cp949("기본폴더") + "\r\nnItemCount|1=0\r\n");
    EXPECT_EQ(TakeSettingsFileErrorCount(), 0);
    ASSERT_NE(Store::Instance(), nullptr);
}

TEST_F(RegDestTest, EveryKeyInItsOrder) {
    _tagUISTRUCT_REGDEST r = Place("집", 123, -5, 0, 1, 7);
    r.nVoice = 1;
    r.bAlramUse = 1;
    r.lAlramData.lStartTime = {23, 5, 9};
    r.lAlramData.lEndTime = {1, 30, 0};
    r.lAlramData.tLastRanTime = 0x1'2345'6789;  // only the low half is kept
    r.lAlramData.nDayOfWeek = 64 | 1;
    CopyNameField(r.szMemo, _tagUISTRUCT_REGDEST::kMemoUnits, u"memo");
    r.eRegionCheck = 2;
    m_store->AddItem(r, 1);
    ASSERT_EQ(m_store->Save(nullptr), 1);
    const std::string expected =
        "nVersion|1=841887792\r\nnFolderItemCount|1=1\r\nRegDestFolder000.szFolderName|2=" + Cp949("기본폴더") +
        "\r\nnItemCount|1=1\r\n"
        "RegDest000.eCate|1=1\r\nRegDest000.nIcon|1=7\r\nRegDest000.nVoice|1=1\r\nRegDest000.nFolder|1=0\r\n"
        "RegDest000.bAlramUse|1=1\r\n"
        "RegDest000.lAlramData.lStartTime.uHour|1=23\r\nRegDest000.lAlramData.lStartTime.uMinute|1=5\r\n"
        "RegDest000.lAlramData.lStartTime.uSecond|1=9\r\n"
        "RegDest000.lAlramData.lEndTime.uHour|1=1\r\nRegDest000.lAlramData.lEndTime.uMinute|1=30\r\n"
        "RegDest000.lAlramData.lEndTime.uSecond|1=0\r\n"
        "RegDest000.lAlramData.tLastRanTime|1=591751049\r\nRegDest000.lAlramData.nDayOfWeek|1=65\r\n"
        "RegDest000.szMemo|2=memo\r\nRegDest000.eRegionCheck|1=2\r\n"
        "RegDest000.PosInfo.wcPosition.x|1=123\r\nRegDest000.PosInfo.wcPosition.y|1=4294967291\r\n"
        "RegDest000.PosInfo.szName|2=" +
        Cp949("집") + "\r\n";
    EXPECT_EQ(FileBytes(), expected);

    Store loaded;
    _tagUISTRUCT_REGDEST back;
    ASSERT_EQ(loaded.GetItem(0, &back, -1, 1), 1);
    r.lAlramData.tLastRanTime = 0x2345'6789;
    EXPECT_TRUE(back == r);
}

TEST_F(RegDestTest, TwoHundredFirstPlaceDropsTheOldest) {
    for (int i = 0; i < 201; ++i) {
        ASSERT_EQ(m_store->AddItem(Place("Place " + std::to_string(i), kSeoulX + i, kSeoulY), 1), 1);
    }
    EXPECT_EQ(m_store->GetItemCount(), 200);
    _tagUISTRUCT_REGDEST r;
    ASSERT_EQ(m_store->GetItem(0, &r, -1, 1), 1);
    EXPECT_EQ(NameOf(r), "Place 1");
    ASSERT_EQ(m_store->GetItem(0, &r, -1, 3), 1);
    EXPECT_EQ(NameOf(r), "Place 200");
    EXPECT_EQ(m_store->GetItemCountInFolder(-2, 0), 200);
    ASSERT_EQ(m_store->Save(nullptr), 1);
    EXPECT_NE(FileBytes().find("nItemCount|1=200\r\n"), std::string::npos);
    EXPECT_EQ(FileBytes().find("RegDest200."), std::string::npos);
    Store loaded;
    EXPECT_EQ(loaded.GetItemCount(), 200);
}

// Places of the sort-mode tests: name, offset east of the current position
// in map units (about 0.2 m each), folder, category, icon.
struct Row {
    const char* name;
    int32_t eastUnits;
    int folder, category, icon;
};
const Row kRows[] = {
    {"회사", 40'000, 1, 0, 5},      {"Home", 30'000, 0, 2, 9},        {"apple", 1'000, 1, 0, 1},
    {"부모님 댁", 90'000, 2, 1, 3},  {"Zoo", 5'000, 0, 0, 1},          {"집 근처", 10'000, 0, 1, 0},
};

TEST_F(RegDestTest, SortModesFoldersAndSearch) {
    m_store->AddFolder(Folder("Work"), 1);
    m_store->AddFolder(Folder("Family"), 1);
    for (const Row& r : kRows) m_store->AddItem(Place(r.name, kSeoulX + r.eastUnits, kSeoulY, r.folder, r.category, r.icon), 1);

    struct Case {
        int mode;
        std::vector<std::string> names;
    } const cases[] = {
        {1, {"회사", "Home", "apple", "부모님 댁", "Zoo", "집 근처"}},
        {2, {"apple", "Home", "Zoo", "부모님 댁", "집 근처", "회사"}},
        {3, {"집 근처", "Zoo", "부모님 댁", "apple", "Home", "회사"}},
        {4, {"apple", "Zoo", "집 근처", "Home", "회사", "부모님 댁"}},
        // The first category-1 place, the first category-2 place, then by icon.
        {9, {"부모님 댁", "Home", "집 근처", "apple", "Zoo", "회사"}},
        {7, {"회사", "Home", "apple", "부모님 댁", "Zoo", "집 근처"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        ASSERT_EQ(m_store->SetSortOrder(c.mode), 1);
        EXPECT_EQ(Result(*m_store), c.names);
        // The same order read as another folder's list (all folders).
        m_store->SetCurrentFolder(0);
        EXPECT_EQ(InFolder(*m_store, -1, c.mode), c.names);
        m_store->SetCurrentFolder(-1);
    }
    // Stable after adding, replacing and deleting: list 3 stays newest first.
    m_store->SetItem(0, Place("Office", kSeoulX, kSeoulY, 1), -1, 1, 1);
    m_store->DeleteItem(2, -1, 1, 1);  // apple
    EXPECT_EQ(m_store->SetItem(99, Place("New", kSeoulX, kSeoulY), -1, 1, 1), 1);  // past the end: added
    m_store->SetSortOrder(3);
    EXPECT_EQ(Result(*m_store), (std::vector<std::string>{"New", "집 근처", "Zoo", "부모님 댁", "Home", "Office"}));

    // One folder, by name, without touching the current result.
    EXPECT_EQ(InFolder(*m_store, 0, 2), (std::vector<std::string>{"Home", "New", "Zoo", "집 근처"}));
    EXPECT_EQ(Result(*m_store).size(), 6u);
    EXPECT_EQ(m_store->GetStoredIndex(3, 0, 2), 4);
    EXPECT_EQ(m_store->GetStoredIndex(4, 0, 2), -1);
    EXPECT_EQ(m_store->GetItemCountInFolder(0, 0), 4);
    EXPECT_EQ(m_store->GetItemCountInFolder(1, 0), 1);

    // The current folder: the count is the result's; -1 counts every place
    // only when it is not the current folder.
    m_store->SetCurrentFolder(2);
    EXPECT_EQ(Result(*m_store), std::vector<std::string>{"부모님 댁"});
    EXPECT_EQ(m_store->GetItemCountInFolder(-2, 0), 1);
    EXPECT_EQ(m_store->GetItemCountInFolder(-1, 0), 6);
    m_store->SetCurrentFolder(-1);
    m_store->SetSearchText(u"ㅈ", 0);
    EXPECT_EQ(Result(*m_store), std::vector<std::string>{"집 근처"});
    EXPECT_EQ(m_store->GetItemCountInFolder(-1, 0), 1);
    EXPECT_EQ(m_store->GetItemCountInFolder(0, 1), 1);
    EXPECT_EQ(m_store->GetItemCountInFolder(0, 0), 4);

    // A distance limit (metres) holds for that build only.
    m_store->SetSearchText(u"", 3000);
    EXPECT_EQ(Result(*m_store), (std::vector<std::string>{"New", "집 근처", "Zoo", "Office"}));
    m_store->SetSortOrder(3);
    EXPECT_EQ(Result(*m_store).size(), 6u);

    EXPECT_EQ(m_store->FindItemByName(u"HOME"), 1);
    EXPECT_EQ(m_store->FindItemByName(u"Hom"), -1);
    EXPECT_EQ(m_store->FindItemByCategory(1), 2);
    EXPECT_EQ(m_store->FindItemByCategory(5), -1);
    EXPECT_EQ(m_store->ChangeCategory(1, 5), 2);
    EXPECT_EQ(m_store->FindItemByCategory(5), 2);
    EXPECT_EQ(m_store->GetItem(6, nullptr, -1, 1), 0);
    EXPECT_EQ(m_store->GetItem(5, nullptr, -1, 1), 1);
    EXPECT_EQ(m_store->DeleteItem(6, -1, 1, 1), 0);
}

TEST_F(RegDestTest, PlacesStayInTheirFoldersWhenAFolderGoes) {
    for (const char* name : {"Work", "Family", "Trips"}) m_store->AddFolder(Folder(name), 1);
    struct P {
        const char* name;
        int folder;
    } const places[] = {{"a0", 0}, {"w1", 1}, {"f1", 2}, {"f2", 2}, {"t1", 3}};
    for (const P& p : places) m_store->AddItem(Place(p.name, 1000, 1000, p.folder), 1);
    m_store->SetCurrentFolder(3);  // Trips
    ASSERT_EQ(Result(*m_store), std::vector<std::string>{"t1"});

    const std::map<std::string, std::string> before = {
        {"a0", "기본폴더"}, {"w1", "Work"}, {"f1", "Family"}, {"f2", "Family"}, {"t1", "Trips"}};
    EXPECT_EQ(FolderOfEach(*m_store), before);

    // Folder list by name: 기본폴더 first, then Family, Trips, Work; delete Work.
    ASSERT_EQ(m_store->GetFolderIndex(3, 2), 1);
    ASSERT_EQ(m_store->DeleteFolder(3, 2, 1), 1);
    std::map<std::string, std::string> after = before;
    after["w1"] = "기본폴더";
    EXPECT_EQ(FolderOfEach(*m_store), after);
    EXPECT_EQ(m_store->GetCurrentFolder(), 2);  // still Trips
    EXPECT_EQ(Result(*m_store), std::vector<std::string>{"t1"});

    // Through the folder list itself the places follow just the same.
    CMgrConfigUIDataFolder& folders = *m_store;
    ASSERT_EQ(folders.DeleteFolder(1, 1, 1), 1);  // Family
    after["f1"] = after["f2"] = "기본폴더";
    EXPECT_EQ(FolderOfEach(*m_store), after);
    EXPECT_EQ(m_store->GetCurrentFolder(), 1);
    EXPECT_EQ(Result(*m_store), std::vector<std::string>{"t1"});

    // Removing the current folder makes folder 0 current.
    ASSERT_EQ(m_store->DeleteFolder(1, 1, 1), 1);
    EXPECT_EQ(m_store->GetCurrentFolder(), 0);
    EXPECT_EQ(Result(*m_store).size(), 5u);

    // Folder 0 and unknown folders stay.
    EXPECT_EQ(m_store->DeleteFolder(0, 1, 1), 0);
    EXPECT_EQ(m_store->DeleteFolder(1, 1, 1), 0);
    EXPECT_EQ(m_store->GetFolderCount(), 1);

    // The file carries the renumbered places.
    ASSERT_EQ(m_store->Save(nullptr), 1);
    Store loaded;
    EXPECT_EQ(FolderOfEach(loaded), FolderOfEach(*m_store));

    m_store->AddFolder(Folder("Car"), 1);
    m_store->MoveItemsToFolder(0, 1);
    m_store->SetCurrentFolder(1);
    m_store->ResetFolders();
    EXPECT_EQ(m_store->GetFolderCount(), 1);
    EXPECT_EQ(m_store->GetCurrentFolder(), 0);
    EXPECT_EQ(m_store->GetItemCountInFolder(0, 0), 5);
}

TEST(MainMenuTime, Helpers) {
    using Menu = CMgrConfigUIFunctionsMainMenu;
    PackedDate date;
    PackedTimeOfDay time;
    EXPECT_EQ(Menu::SplitDateTime(NvTime(2026, 12, 8, 23, 59, 58), &date, &time), 1);
    EXPECT_EQ(date.uYear, 2026);
    EXPECT_EQ(date.uMonth, 12);
    EXPECT_EQ(date.uDay, 8);
    EXPECT_TRUE((time == PackedTimeOfDay{23, 59, 58}));
    const int bits[] = {64, 1, 2, 4, 8, 16, 32};
    for (int day = 0; day < 7; ++day) EXPECT_EQ(Menu::WeekdayBit(day), bits[day]);
    EXPECT_EQ(Menu::WeekdayBit(7), 0);
    EXPECT_EQ(Menu::WeekdayBit(-1), 0);
    EXPECT_EQ(Menu::CompareDate({2026, 1, 31}, {2025, 12, 31}), 1);
    EXPECT_EQ(Menu::CompareDate({2026, 1, 31}, {2026, 2, 1}), -1);
    EXPECT_EQ(Menu::CompareDate({2026, 2, 1}, {2026, 2, 1}), 0);
    EXPECT_EQ(Menu::CompareTime({0, 0, 1}, {0, 0, 0}), 1);
    EXPECT_EQ(Menu::CompareTime({9, 59, 59}, {10, 0, 0}), -1);
    EXPECT_EQ(Menu::CompareTime({10, 0, 0}, {10, 0, 0}), 0);
}

// 2026-12-08 is a Tuesday.
struct AlarmCase {
    const char* what;
    PackedTimeOfDay start, end;
    int mask;
    int nowDay, nowHour, nowMinute, nowSecond;  // December 2026
    int64_t lastRan;                            // 0: never
    bool due;
    int64_t recorded;  // the last-run time after an update (due only)
};

int64_t Dec2026(int day, int hour, int minute, int second = 0) {
    return NvTime(2026, 12, day, hour, minute, second).GetTime();
}

TEST_F(RegDestTest, AlarmWindows) {
    const PackedTimeOfDay k2300{23, 0, 0}, k0100{1, 0, 0}, k0800{8, 0, 0}, k0600{6, 0, 0}, k1000{10, 0, 0};
    const int tue = CMgrConfigUIFunctionsMainMenu::kTuesday;
    const AlarmCase cases[] = {
        {"over midnight, Tuesday 00:30", k2300, k0100, tue, 8, 0, 30, 0, 0, true, Dec2026(8, 0, 30)},
        {"over midnight, Wednesday 23:30 tests Tuesday's bit", k2300, k0100, tue, 9, 23, 30, 0, 0, true,
         Dec2026(8, 23, 30)},
        {"over midnight, Tuesday 23:30 tests Monday's bit", k2300, k0100, tue, 8, 23, 30, 0, 0, false, 0},
        {"over midnight, Wednesday 00:30", k2300, k0100, tue, 9, 0, 30, 0, 0, false, 0},
        {"over midnight, end is not inside", k2300, k0100, tue, 8, 1, 0, 0, 0, false, 0},
        {"over midnight, start is inside", k2300, k0100, tue, 9, 23, 0, 0, 0, true, Dec2026(8, 23, 0)},
        {"over midnight, already ran this morning", k2300, k0100, tue, 8, 0, 30, 0, Dec2026(8, 0, 10), false, 0},
        {"over midnight, ran the evening before", k2300, k0100, tue, 9, 23, 45, 0, Dec2026(8, 23, 30), false, 0},
        {"over midnight, ran last week", k2300, k0100, tue, 9, 23, 45, 0, Dec2026(1, 23, 30), true, Dec2026(8, 23, 45)},
        {"start equals end, that second", k0800, k0800, tue, 8, 8, 0, 0, 0, true, Dec2026(8, 8, 0)},
        {"start equals end, a second later", k0800, k0800, tue, 8, 8, 0, 1, 0, false, 0},
        {"start equals end, a second early", k0800, k0800, tue, 8, 7, 59, 59, 0, false, 0},
        {"day window, weekdays, Tuesday", k0600, k1000, 31, 8, 9, 0, 0, 0, true, Dec2026(8, 9, 0)},
        {"day window, weekdays, Saturday", k0600, k1000, 31, 12, 9, 0, 0, 0, false, 0},
        {"day window, Sunday", k0600, k1000, 64, 13, 10, 0, 0, 0, true, Dec2026(13, 10, 0)},
        {"day window, ran yesterday", k0600, k1000, 127, 8, 9, 0, 0, Dec2026(7, 9, 0), true, Dec2026(8, 9, 0)},
        {"day window, ran today", k0600, k1000, 127, 8, 9, 0, 0, Dec2026(8, 6, 0), false, 0},
        {"day window, after the end", k0600, k1000, 127, 8, 10, 0, 1, 0, false, 0},
    };
    for (const AlarmCase& c : cases) {
        SCOPED_TRACE(c.what);
        while (m_store->GetItemCount() > 0) m_store->DeleteItem(0, -1, 1, 1);
        m_store->AddItem(Place("off", 1, 1), 1);
        _tagUISTRUCT_REGDEST r = Place("alarm", 2, 2);
        r.bAlramUse = 1;
        r.lAlramData = {c.start, c.end, c.lastRan, c.mask};
        m_store->AddItem(r, 1);
        const NvTime now(2026, 12, c.nowDay, c.nowHour, c.nowMinute, c.nowSecond);
        ASSERT_EQ(m_store->FindDueAlarm(now, 0), c.due ? 1 : -1);
        if (!c.due) continue;
        ASSERT_EQ(m_store->FindDueAlarm(now, 1), 1);
        _tagUISTRUCT_REGDEST back;
        m_store->GetItem(1, &back, -1, 1);
        EXPECT_EQ(back.lAlramData.tLastRanTime, c.recorded);
        // Once run, the same moment finds nothing; the run is in the file.
        EXPECT_EQ(m_store->FindDueAlarm(now, 0), -1);
        Store loaded;
        loaded.GetItem(1, &back, -1, 1);
        EXPECT_EQ(back.lAlramData.tLastRanTime, c.recorded);
    }
}

TEST_F(RegDestTest, AlarmsNeedAYearFrom2005To2200AndTheFirstDuePlaceWins) {
    for (const char* name : {"first", "second"}) {
        _tagUISTRUCT_REGDEST r = Place(name, 5, 5);
        r.bAlramUse = 1;
        r.lAlramData = {{6, 0, 0}, {10, 0, 0}, 0, 127};
        m_store->AddItem(r, 1);
    }
    EXPECT_EQ(m_store->FindDueAlarm(NvTime(2004, 6, 15, 9, 0, 0), 1), -1);
    EXPECT_EQ(m_store->FindDueAlarm(NvTime(2005, 1, 1, 9, 0, 0), 0), 0);
    EXPECT_EQ(m_store->FindDueAlarm(NvTime(2026, 6, 15, 9, 0, 0), 1), 0);
    EXPECT_EQ(m_store->FindDueAlarm(NvTime(2026, 6, 15, 9, 0, 0), 1), 1);
    EXPECT_EQ(m_store->FindDueAlarm(NvTime(2026, 6, 15, 9, 0, 0), 1), -1);
}

TEST_F(RegDestTest, SaveAndLoadGiveTheSameStore) {
    m_store->AddFolder(Folder(std::string(63, 'F')), 1);
    m_store->AddFolder(Folder("가나다라마바사아자차카타파하가나다라마바사아자차카타파하가나다라마바사아자차카타파하가나다라마바사아자차카타파"), 1);
    const std::u16string hangul64(64, u'힣');
    const std::u16string latin64(64, u'z');
    _tagUISTRUCT_REGDEST a = Place("", -1, int32_t(0x80000000), 1, -3, 0x7FFFFFFF);
    CopyNameField(a.PosInfo.szName, kCourseNameUnits, hangul64);
    CopyNameField(a.szMemo, _tagUISTRUCT_REGDEST::kMemoUnits, std::u16string(16, u'메'));
    a.bAlramUse = 1;
    a.lAlramData = {{255, 59, 59}, {0, 0, 0}, 0xFFFFFFFF, 127};
    _tagUISTRUCT_REGDEST b = Place("", 0x7FFFFFFF, 7, 2, 1, 0);
    CopyNameField(b.PosInfo.szName, kCourseNameUnits, latin64 + u"cut");
    CopyNameField(b.szMemo, _tagUISTRUCT_REGDEST::kMemoUnits, u"sixteen letters!+cut");
    b.nVoice = -1;
    b.eRegionCheck = 3;
    m_store->AddItem(a, 1);
    m_store->AddItem(b, 1);
    for (const Row& r : kRows) m_store->AddItem(Place(r.name, kSeoulX + r.eastUnits, kSeoulY, r.folder, r.category, r.icon), 1);
    ASSERT_EQ(m_store->Save(nullptr), 1);
    const std::string bytes = FileBytes();

    Store loaded;
    ASSERT_EQ(loaded.GetItemCount(), 8);
    ASSERT_EQ(loaded.GetFolderCount(), 3);
    testsupport::ExpectSameRecords<_tagUISTRUCT_REGDEST>(
        *m_store, loaded, 8, [](Store& s, int i, _tagUISTRUCT_REGDEST* r) { return s.GetItem(i, r, -1, 1); });
    for (int i = 0; i < 3; ++i) {
        _tagUISTRUCT_FOLDERITEM x, y;
        m_store->GetFolder(i, &x, 1);
        loaded.GetFolder(i, &y, 1);
        EXPECT_EQ(NameFieldView(x.szFolderName, 64), NameFieldView(y.szFolderName, 64));
    }
    _tagUISTRUCT_REGDEST second;
    loaded.GetItem(1, &second, -1, 1);
    EXPECT_EQ(RegDestTraits::Name(second), latin64);
    EXPECT_EQ(NameFieldView(second.szMemo, 17), u"sixteen letters!");
    ASSERT_EQ(loaded.Save(nullptr), 1);
    EXPECT_EQ(FileBytes(), bytes);
    EXPECT_EQ(TakeSettingsFileErrorCount(), 0);

    // Loading again replaces the folders instead of adding them twice.
    ASSERT_EQ(loaded.Load(nullptr), 1);
    EXPECT_EQ(loaded.GetFolderCount(), 3);
    EXPECT_EQ(loaded.GetItemCount(), 8);
}

TEST_F(RegDestTest, FilesAreReadAsFarAsTheyGoAndOnlyUnreadableOnesAreSetAside) {
    m_store->AddFolder(Folder("Work"), 1);
    for (const Row& r : kRows) m_store->AddItem(Place(r.name, kSeoulX + r.eastUnits, kSeoulY, r.folder % 2), 1);
    ASSERT_EQ(m_store->Save(nullptr), 1);
    const testsupport::FileEdits edit(FileBytes());
    std::string noFolders = edit.CutLine("RegDestFolder000");
    noFolders.erase(noFolders.find("RegDestFolder001"), noFolders.find("nItemCount") - noFolders.find("RegDestFolder001"));
    noFolders.replace(noFolders.find("nFolderItemCount|1=2"), 20, "nFolderItemCount|1=0");
    const std::vector<std::string> all = {"회사", "Home", "apple", "부모님 댁", "Zoo", "집 근처"};
    const std::vector<std::string> none;

    struct Damage {
        const char* what;
        std::string bytes;
        int loads;
        std::vector<std::string> kept;  // places afterwards, stored order
        int folders;
    } const cases[] = {
        {"cut inside a line", edit.CutAt("RegDest002.nVoice", 9), 0, none, 1},
        // More places than the store holds: the store refuses the file.
        {"place count over 200", edit.Replace("nItemCount|1=6", "nItemCount|1=201"), 0, none, 1},
        {"place count negative", edit.Replace("nItemCount|1=6", "nItemCount|1=4294967295"), 0, none, 1},
        {"no nFolderItemCount", edit.CutLine("nFolderItemCount"), 0, none, 1},
        {"no nItemCount", edit.CutLine("nItemCount"), 0, none, 1},
        {"no nVersion", edit.CutLine("nVersion"), 0, none, 1},
        // Keys past the counts are not read.
        {"place count 1, five stray places", edit.Replace("nItemCount|1=6", "nItemCount|1=1"), 1, {"회사"}, 2},
        {"place count lowered", edit.Replace("nItemCount|1=6", "nItemCount|1=5"), 1,
         {"회사", "Home", "apple", "부모님 댁", "Zoo"}, 2},
        {"folder count lowered", edit.Replace("nFolderItemCount|1=2", "nFolderItemCount|1=1"), 1, all, 1},
        // Entries the file does not hold are not made up.
        {"cut after place 1", edit.CutAt("RegDest002."), 1, {"회사", "Home"}, 2},
        {"place count raised", edit.Replace("nItemCount|1=6", "nItemCount|1=9"), 1, all, 2},
        {"folder count raised", edit.Replace("nFolderItemCount|1=2", "nFolderItemCount|1=3"), 1, all, 2},
        {"folder count absurd", edit.Replace("nFolderItemCount|1=2", "nFolderItemCount|1=99999"), 1, all, 2},
        {"no folders", noFolders, 1, all, 1},
        // A key missing (an older file) leaves its field empty.
        {"a key removed", edit.CutLine("RegDest003.PosInfo.szName"), 1,
         {"회사", "Home", "apple", "", "Zoo", "집 근처"}, 2},
        // "\xBC" is half a Hangul syllable.
        {"a name not CP949", edit.Replace("szName|2=\xC8\xB8\xBB\xE7", "szName|2=\xBC"), 1,
         {"", "Home", "apple", "부모님 댁", "Zoo", "집 근처"}, 2},
    };
    for (const Damage& d : cases) {
        SCOPED_TRACE(d.what);
        TakeSettingsFileErrorCount();
        // Loading another file tells whether the store took it.
        m_dir.Write("config/Other.udt", d.bytes);
        const std::u16string other = platform::Utf8ToUtf16(m_dir.File("config/Other.udt"));
        EXPECT_EQ(m_store->Load(other.c_str()), d.loads);
        // A file the caller named is never moved.
        EXPECT_EQ(m_dir.Read("config/Other.udt"), d.bytes);
        EXPECT_FALSE(platform::FileExists(m_dir.File("config/Other.err")));
        EXPECT_EQ(TakeSettingsFileErrorCount(), 0);

        WriteFile(d.bytes);
        Store store;  // loads its own file
        ExpectKeptOrSetAside(d.loads, d.bytes);
        std::vector<std::string> names;
        _tagUISTRUCT_REGDEST r;
        for (int i = 0; store.GetItem(i, &r, -1, 1); ++i) names.push_back(NameOf(r));
        EXPECT_EQ(names, d.kept);
        EXPECT_EQ(store.GetFolderCount(), d.folders);
        // Written again complete: a fresh store takes it as it is.
        Store again;
        EXPECT_EQ(again.GetItemCount(), static_cast<int>(d.kept.size()));
        EXPECT_EQ(TakeSettingsFileErrorCount(), 0);
        EXPECT_EQ(again.Load(nullptr), 1);
        RemoveErr();
    }
}

TEST_F(RegDestTest, OldDataIsTakenOverOnceAndSaved) {
    static int calls = 0;
    calls = 0;
    Store::SetOldDataImport([](NvArray<_tagUISTRUCT_FOLDERITEM>& folders, NvArray<_tagUISTRUCT_REGDEST>& places) {
        if (calls++ > 0) return false;
        folders.Add(Folder("기본폴더"));
        folders.Add(Folder("Old"));
        _tagUISTRUCT_REGDEST p = Place("old place", 10, 10, 1);
        p.nOrigin = -1;
        places.Add(p);
        return true;
    });
    Store store;
    Store::SetOldDataImport(nullptr);
    ASSERT_EQ(store.GetItemCount(), 1);
    EXPECT_EQ(store.GetFolderCount(), 2);
    _tagUISTRUCT_REGDEST r;
    store.GetItem(0, &r, -1, 1);
    EXPECT_EQ(NameOf(r), "old place");
    EXPECT_EQ(r.nOrigin, 0);  // what the file holds
    EXPECT_EQ(r.nFolder, 1);
    EXPECT_EQ(TakeSettingsFileErrorCount(), 0);
}

}  // namespace
