// Repeated destinations: visits counted by kind of day and hour on a fake
// clock, the same-day rule, the cap of 50, the 31-day expiry at load, the
// ranking of the filter types, and "\RepeatDest.udt" (round trip, damaged
// files).
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "foundation/nv_config.h"
#include "foundation/nv_time.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/paths.h"
#include "settings/name_field.h"
#include "settings/repeat_dest.h"
#include "support/store_fixture.h"

namespace {

using Store = CMgrConfigUIDataRepeatDest;

constexpr int64_t kDay = 24 * 3600;

int g_filterType = Store::kFilterAll;

// Calendar of the tests (December 2026): the 12th is a Saturday.
struct When {
    const char* what;
    int month, day, hour, minute;
};
constexpr When kTuesdayMorning{"Tuesday 09:30", 12, 15, 9, 30};

_tagUISTRUCT_REPEATDEST Place(const char* name, int32_t x, int32_t y = 19'720'000) {
    _tagUISTRUCT_REPEATDEST r;
    r.PosInfo.wcPosition = {x, y};
    CopyNameField(r.PosInfo.szName, kCourseNameUnits, platform::Utf8ToUtf16(name));
    return r;
}

std::string NameOf(const _tagUISTRUCT_REPEATDEST& r) {
    return platform::Utf16ToUtf8(NameFieldView(r.PosInfo.szName, kCourseNameUnits));
}

int Counter(const _tagUISTRUCT_REPEATDEST& r, int row, int hour) { return r.nVCWH[row * kRepeatHours + hour]; }

int TotalCounters(const _tagUISTRUCT_REPEATDEST& r) {
    int sum = 0;
    for (int v : r.nVCWH) sum += v;
    return sum;
}

class RepeatDestTest : public testsupport::StoreFileTest {
protected:
    RepeatDestTest() : StoreFileTest("RepeatDest.udt") {
        SetRepeatFilterTypeSource([] { return g_filterType; });
        g_filterType = Store::kFilterAll;
        SetClock(kTuesdayMorning);
        m_store = std::make_unique<Store>();
    }
    ~RepeatDestTest() override { SetRepeatFilterTypeSource(nullptr); }

    void SetClock(const When& when, int year = 2026) {
        platform::LocalDateTime local;
        local.year = year;
        local.month = when.month;
        local.day = when.day;
        local.hour = when.hour;
        local.minute = when.minute;
        m_clock.SetLocal(local);
    }
    // The place by name, in stored order.
    _tagUISTRUCT_REPEATDEST Find(const std::string& name) {
        _tagUISTRUCT_REPEATDEST r;
        for (int i = 0; m_store->GetItem(i, &r, Store::kModeStored); ++i) {
            if (NameOf(r) == name) return r;
        }
        ADD_FAILURE() << name << " not stored";
        return {};
    }
    std::vector<std::string> Names(Store& store, int mode) {
        std::vector<std::string> out;
        _tagUISTRUCT_REPEATDEST r;
        const int n = mode == Store::kModeStored ? store.GetCount(0) : store.GetCount(1);
        for (int i = 0; i < n && store.GetItem(i, &r, mode); ++i) out.push_back(NameOf(r));
        return out;
    }
    std::vector<std::string> Ranked() {
        m_store->RebuildResult();
        return Names(*m_store, Store::kModeRanked);
    }

    platform::FakeClock m_clock;
    platform::ScopedClock m_useClock{m_clock};
    std::unique_ptr<Store> m_store;
};

TEST_F(RepeatDestTest, VisitCountsByKindOfDayAndHour) {
    struct Case {
        When when;
        int row, hour;
    } const cases[] = {
        {{"Saturday 08:15", 12, 12, 8, 15}, 1, 8},
        {{"Sunday 23:59", 12, 13, 23, 59}, 1, 23},
        {{"Monday 00:00", 12, 14, 0, 0}, 0, 0},
        {{"Friday 12:00", 12, 18, 12, 0}, 0, 12},
        {{"Friday 11:59", 12, 18, 11, 59}, 0, 11},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.when.what);
        m_store = std::make_unique<Store>();
        SetClock(c.when);
        ASSERT_EQ(m_store->AddItem(Place("Office", 5000), 1, 0, 1), 1);
        const _tagUISTRUCT_REPEATDEST r = Find("Office");
        EXPECT_EQ(Counter(r, c.row, c.hour), 1);
        EXPECT_EQ(TotalCounters(r), 1);
        EXPECT_EQ(r.nVCETC, 0);
        EXPECT_EQ(r.Time, NvTime(2026, c.when.month, c.when.day, c.when.hour, c.when.minute, 0).GetTime());
    }
    // The Saturday 08:15 visit, saved as place 0, is the line of row 01 and hour 08.
    m_store = std::make_unique<Store>();
    SetClock(cases[0].when);
    m_store->AddItem(Place("Office", 5000), 1, 0, 1);
    ASSERT_EQ(m_store->Save(nullptr), 1);
    EXPECT_NE(FileBytes().find("I000.nVCWH0108|1=1\r\n"), std::string::npos);
    EXPECT_NE(FileBytes().find("I000.nVCWH0008|1=0\r\n"), std::string::npos);
}

TEST_F(RepeatDestTest, SamePlaceOnTheSameDayCountsOnce) {
    m_store->AddItem(Place("Home", 5000), 1, 0, 1);
    m_store->AddItem(Place("Gym", 9000), 1, 0, 1);
    SetClock({"Tuesday 18:00", 12, 15, 18, 0});
    // 9 units away with the same name is the same place.
    ASSERT_EQ(m_store->AddItem(Place("Home", 5009), 1, 0, 1), 1);
    EXPECT_EQ(Names(*m_store, Store::kModeStored), (std::vector<std::string>{"Gym", "Home"}));
    _tagUISTRUCT_REPEATDEST home = Find("Home");
    EXPECT_EQ(TotalCounters(home), 1);
    EXPECT_EQ(Counter(home, 0, 9), 1);
    EXPECT_EQ(home.PosInfo.wcPosition.x, 5009);
    EXPECT_EQ(home.Time, NvTime(2026, 12, 15, 18, 0, 0).GetTime());

    // The next day counts again; 10 units away or another case is another place.
    SetClock({"Wednesday 07:00", 12, 16, 7, 0});
    m_store->AddItem(Place("Home", 5009), 1, 0, 1);
    m_store->AddItem(Place("Home", 5019), 1, 0, 1);
    m_store->AddItem(Place("home", 5009), 1, 0, 1);
    home = Find("Home");
    EXPECT_EQ(TotalCounters(home), 2);
    EXPECT_EQ(Counter(home, 0, 7), 1);
    EXPECT_EQ(m_store->GetCount(0), 4);
}

TEST_F(RepeatDestTest, FiftyFirstPlaceDropsTheOldest) {
    for (int i = 0; i < 51; ++i) {
        ASSERT_EQ(m_store->AddItem(Place(("Place " + std::to_string(i)).c_str(), 1000 + i * 100), 1, 0, 0), 1);
    }
    EXPECT_EQ(m_store->GetCount(0), 50);
    const std::vector<std::string> names = Names(*m_store, Store::kModeStored);
    EXPECT_EQ(names.front(), "Place 1");
    EXPECT_EQ(names.back(), "Place 50");
    // Loading never takes more than 50 either (count 0 keeps records as they are).
    _tagUISTRUCT_REPEATDEST r = Place("Loaded", 99);
    r.Time = 12345;
    m_store->AddItem(r, 0, 0, 1);
    EXPECT_EQ(m_store->GetCount(0), 50);
    EXPECT_EQ(Find("Loaded").Time, 12345);
}

TEST_F(RepeatDestTest, PlacesExpireAfter31DaysAtTheNextStart) {
    struct Case {
        const char* name;
        int64_t offsetSeconds;  // of the last visit, from now
        bool kept;
    } const cases[] = {
        {"30 days ago", -30 * kDay, true},
        {"31 days ago", -31 * kDay, true},
        {"31 days and a second ago", -31 * kDay - 1, false},
        {"32 days ago", -32 * kDay, false},
        {"tomorrow", kDay, true},
    };
    std::vector<std::string> kept;
    for (const Case& c : cases) {
        m_store->AddItem(Place(c.name, 1000 + static_cast<int32_t>(m_store->GetCount(0)) * 100), 1, c.offsetSeconds, 1);
        if (c.kept) kept.push_back(c.name);
    }
    // A sequence number of an unset clock never expires.
    _tagUISTRUCT_REPEATDEST unset = Place("clock not set", 9000);
    unset.Time = 7;
    m_store->AddItem(unset, 0, 0, 1);
    kept.push_back("clock not set");
    EXPECT_EQ(m_store->GetCount(0), 6);  // nothing expires while running
    ASSERT_EQ(m_store->Save(nullptr), 1);

    Store loaded;
    EXPECT_EQ(Names(loaded, Store::kModeStored), kept);
    EXPECT_EQ(TakeSettingsFileErrorCount(), 0);
    EXPECT_FALSE(ErrExists());
}

TEST_F(RepeatDestTest, UnsetClockCountsSequenceNumbers) {
    SetClock({"a day of 2005", 6, 1, 10, 0}, 2005);
    m_store->AddItem(Place("A", 1000), 1, 0, 1);
    m_store->AddItem(Place("B", 2000), 1, 0, 1);
    m_store->AddItem(Place("A", 1000), 1, 0, 1);
    const _tagUISTRUCT_REPEATDEST a = Find("A");
    const _tagUISTRUCT_REPEATDEST b = Find("B");
    EXPECT_EQ(a.nVCETC, 2);
    EXPECT_EQ(b.nVCETC, 1);
    EXPECT_EQ(TotalCounters(a), 0);
    EXPECT_EQ(b.Time, 1);       // one above the 0 of A's first visit
    EXPECT_EQ(a.Time, b.Time + 1);
    // Every filter type scores like type 1 while the clock is not set.
    int32_t scores[4];
    Store::ComputeScores(a, Store::kFilterHalfDay, scores);
    EXPECT_EQ(scores[0], 2);
    EXPECT_EQ(scores[1], 0);
    g_filterType = Store::kFilterDayKind;
    EXPECT_EQ(Ranked(), (std::vector<std::string>{"A", "B"}));
}

TEST_F(RepeatDestTest, RankingByFilterType) {
    // Now: Tuesday 09:30 (weekday, morning). Counters: row/hour -> visits.
    struct Visits {
        const char* name;
        std::vector<std::array<int, 3>> counters;  // row, hour, count
        int etc;
        int64_t time;
    };
    const Visits weekendOnly{"weekend", {{1, 10, 3}}, 0, 100};
    const Visits weekdayOnce{"weekday", {{0, 18, 1}}, 0, 50};
    const Visits weekdayMorning{"morning", {{0, 8, 1}}, 0, 10};
    const Visits weekdayEvening{"evening", {{0, 20, 5}}, 0, 20};
    const Visits weekendMorning{"weekend morning", {{1, 9, 9}}, 0, 30};
    const Visits unsetVisits{"unset visits", {}, 2, 5};
    struct Case {
        const char* what;
        int filterType;
        std::vector<Visits> places;
        std::vector<std::string> ranked;
    } const cases[] = {
        {"all visits", 1, {weekendOnly, weekdayOnce}, {"weekend", "weekday"}},
        {"this kind of day first", 2, {weekendOnly, weekdayOnce}, {"weekday", "weekend"}},
        {"unset-clock visits count in each score", 2, {weekdayOnce, unsetVisits}, {"unset visits", "weekday"}},
        {"this half of this kind first", 3, {weekendMorning, weekdayEvening, weekdayMorning},
         {"morning", "evening", "weekend morning"}},
        // Equal and not 0 in the first score: the later visit decides, the
        // second score is not looked at.
        {"equal first score stops", 3, {{"more later", {{0, 9, 2}, {0, 15, 7}}, 0, 10}, {"newer", {{0, 9, 2}}, 0, 11}},
         {"newer", "more later"}},
        {"equal scores: later visit, then name", 1,
         {{"beta", {{0, 1, 1}}, 0, 40}, {"alpha2", {{0, 1, 1}}, 0, 40}, {"Alpha", {{0, 1, 1}}, 0, 40},
          {"old", {{0, 1, 1}}, 0, 39}},
         {"Alpha", "alpha2", "beta", "old"}},
        {"unknown filter type: by visit time", 9, {weekdayMorning, weekendOnly, weekdayOnce},
         {"weekend", "weekday", "morning"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        m_store = std::make_unique<Store>();
        for (const Visits& v : c.places) {
            _tagUISTRUCT_REPEATDEST r = Place(v.name, 1000 + m_store->GetCount(0) * 100);
            for (const auto& [row, hour, count] : v.counters) r.nVCWH[row * kRepeatHours + hour] = count;
            r.nVCETC = v.etc;
            r.Time = v.time;
            m_store->AddItem(r, 0, 0, 0);
        }
        g_filterType = c.filterType;
        EXPECT_EQ(Ranked(), c.ranked);
        // The result list keeps stored order.
        EXPECT_EQ(Names(*m_store, Store::kModeResult).size(), c.places.size());
        EXPECT_EQ(Names(*m_store, Store::kModeResult).front(), c.places.front().name);
    }
}

TEST_F(RepeatDestTest, ListsModesAndSearch) {
    for (const char* name : {"서울역", "부산역", "Airport"}) {
        m_store->AddItem(Place(name, 1000 + m_store->GetCount(0) * 100), 1, 0, 1);
        m_clock.Advance(60'000);
    }
    m_store->AddItem(Place("부산역", 1100), 1, 0, 1);  // same day: moves to the newest, counts once
    // All have one visit: the later visit ranks first.
    EXPECT_EQ(Names(*m_store, Store::kModeRanked), (std::vector<std::string>{"부산역", "Airport", "서울역"}));
    EXPECT_EQ(m_store->GetSortMode(), Store::kModeRanked);
    EXPECT_EQ(m_store->GetStoredIndex(0, 0), 0);
    EXPECT_EQ(m_store->GetStoredIndex(0, 2), -1);
    EXPECT_EQ(m_store->GetStoredIndex(0, 3), -1);
    EXPECT_EQ(m_store->GetStoredIndex(0, 5), 2);
    EXPECT_EQ(m_store->GetStoredIndex(0, 7), 0);  // other modes use the result list
    EXPECT_EQ(m_store->GetStoredIndex(-1, 0), -1);
    EXPECT_EQ(m_store->GetStoredIndex(3, 1), -1);
    EXPECT_EQ(m_store->GetSortMode(), 1);

    ASSERT_EQ(m_store->SearchByName(u"ㅂ", 0), 1);
    EXPECT_EQ(m_store->GetCount(1), 1);
    EXPECT_EQ(m_store->GetCount(5), 3);
    EXPECT_EQ(Names(*m_store, Store::kModeRanked), std::vector<std::string>{"부산역"});
    EXPECT_EQ(m_store->GetItem(2, nullptr, 1), 1);  // a null buffer answers below the number of places
    EXPECT_EQ(m_store->GetItem(3, nullptr, 1), 0);
    m_clock.Advance(60'000);
    m_store->AddItem(Place("분당", 7000), 1, 0, 1);  // rebuilt with the stored text
    EXPECT_EQ(Names(*m_store, Store::kModeRanked), (std::vector<std::string>{"분당", "부산역"}));

    // Deleting without a rebuild keeps the list naming the right places;
    // the sort mode stays.
    m_store->SetSortMode(Store::kModeStored);
    ASSERT_EQ(m_store->DeleteItem(1, Store::kModeRanked, 0), 1);  // 부산역
    EXPECT_EQ(m_store->GetSortMode(), Store::kModeStored);
    _tagUISTRUCT_REPEATDEST r;
    ASSERT_EQ(m_store->GetItem(0, &r, Store::kModeRanked), 1);
    EXPECT_EQ(NameOf(r), "분당");
    EXPECT_EQ(m_store->GetItem(1, &r, Store::kModeRanked), 0);
    EXPECT_EQ(m_store->DeleteItem(1, Store::kModeRanked, 0), 0);
    m_store->SearchByName(u"", 0);
    EXPECT_EQ(Names(*m_store, Store::kModeStored), (std::vector<std::string>{"서울역", "Airport", "분당"}));
}

TEST_F(RepeatDestTest, SaveAndLoadGiveTheSamePlaces) {
    const std::u16string longHangul(64, u'한');
    const std::u16string longLatin(64, u'L');
    _tagUISTRUCT_REPEATDEST a;
    std::copy(longHangul.begin(), longHangul.end(), a.PosInfo.szName);
    a.PosInfo.wcPosition = {-1, int32_t(0x80000000)};
    for (int i = 0; i < 48; ++i) a.nVCWH[i] = i * 1000 - 7;
    a.nVCETC = 0x7FFFFFFF;
    a.Type = 2;
    a.Region = -7;
    a.Time = NvTime(2026, 12, 1, 0, 0, 0).GetTime();
    _tagUISTRUCT_REPEATDEST b;
    std::copy(longLatin.begin(), longLatin.end(), b.PosInfo.szName);
    b.PosInfo.wcPosition = {0x7FFFFFFF, 5};
    b.Time = 3;  // sequence number
    m_store->AddItem(a, 0, 0, 0);
    m_store->AddItem(b, 0, 0, 0);
    m_store->AddItem(Place("서울역 Seoul", 66'600'000), 1, 0, 1);
    ASSERT_EQ(m_store->Save(nullptr), 1);
    const std::string bytes = FileBytes();
    EXPECT_EQ(bytes.rfind("nVersion|1=841887792\r\nItemCount|1=3\r\nI000.nVCWH0000|1=4294967289\r\n"
                          "I000.nVCWH0001|1=993\r\n",
                          0),
              0u);
    const size_t tail = bytes.find("I000.nVCWH0123|1=46993\r\nI000.nVCETC|1=2147483647\r\nI000.Type|1=2\r\n"
                                   "I000.Region|1=4294967289\r\nI000.Time|1=");
    EXPECT_NE(tail, std::string::npos);

    Store loaded;
    ASSERT_EQ(loaded.GetCount(0), 3);
    testsupport::ExpectSameRecords<_tagUISTRUCT_REPEATDEST>(
        *m_store, loaded, 3, [](Store& s, int i, _tagUISTRUCT_REPEATDEST* r) { return s.GetItem(i, r, 0); });
    EXPECT_EQ(loaded.Save(nullptr), 1);
    EXPECT_EQ(FileBytes(), bytes);
    EXPECT_EQ(TakeSettingsFileErrorCount(), 0);

    WriteFile("nVersion|1=841887792\r\nItemCount|1=0\r\n");
    EXPECT_EQ(loaded.Load(nullptr), 1);
    EXPECT_EQ(loaded.GetCount(0), 0);
}

TEST_F(RepeatDestTest, FilesAreReadAsFarAsTheyGoAndOnlyUnreadableOnesAreSetAside) {
    for (const char* name : {"Home", "Office", "서울역", "Gym"}) {
        m_store->AddItem(Place(name, 1000 + m_store->GetCount(0) * 100), 1, 0, 1);
    }
    ASSERT_EQ(m_store->Save(nullptr), 1);
    const testsupport::FileEdits edit(FileBytes());
    const std::vector<std::string> all = {"Home", "Office", "서울역", "Gym"};
    struct Damage {
        const char* what;
        std::string bytes;
        int loads;       // 0: refused and set aside
        bool rewritten;  // a taken file lacking keys is written again complete
        std::vector<std::string> kept;
    } const cases[] = {
        {"cut inside a line", edit.CutAt("I002.Name", 4), 0, false, {}},
        {"no ItemCount", edit.Cut("ItemCount", "I000"), 0, false, {}},
        {"no nVersion", edit.Cut("nVersion", "ItemCount"), 0, false, {}},
        // Keys past the count are not read.
        {"count 1, three stray places", edit.Replace("ItemCount|1=4", "ItemCount|1=1"), 1, false, {"Home"}},
        {"count lowered", edit.Replace("ItemCount|1=4", "ItemCount|1=3"), 1, false, {"Home", "Office", "서울역"}},
        // Places the file does not hold are not made up.
        {"cut after place 1", edit.CutAt("I002."), 1, true, {"Home", "Office"}},
        {"count raised", edit.Replace("ItemCount|1=4", "ItemCount|1=6"), 1, true, all},
        {"count over 50", edit.Replace("ItemCount|1=4", "ItemCount|1=51"), 1, true, all},
        // A key missing (an older file) leaves its field empty.
        {"a name removed", edit.Cut("I001.Name", "I002"), 1, true, {"Home", "", "서울역", "Gym"}},
        {"a time removed", edit.Cut("I003.Time", "I003.X"), 1, true, all},
        // Counters never used may be left out: no rewrite.
        {"a counter removed", edit.Cut("I000.nVCWH0009", "I000.nVCWH0010"), 1, false, all},
        // "\xBC" is half a Hangul syllable.
        {"a name not CP949", edit.Replace("I001.Name|2=Office", "I001.Name|2=\xBC"), 1, false,
         {"Home", "", "서울역", "Gym"}},
    };
    for (const Damage& d : cases) {
        SCOPED_TRACE(d.what);
        WriteFile(d.bytes);
        Store store;
        EXPECT_EQ(store.Load(nullptr), d.loads);
        ExpectKeptOrSetAside(d.loads, d.bytes);
        if (d.loads) {
            EXPECT_EQ(FileBytes() != d.bytes, d.rewritten);
        }
        EXPECT_EQ(Names(store, Store::kModeStored), d.kept);
        ExpectRewrittenOrGone(d.loads, d.kept.size(), [] { return Store().GetCount(0); });
        RemoveErr();
    }
}

}  // namespace
