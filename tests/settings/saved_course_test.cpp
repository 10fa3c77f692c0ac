// Saved courses: the cap of 200, the three lists and the search text,
// putting a saved course back into the current course, and
// "\RegCourse.udt" (round trip, loading twice, damaged files).
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "foundation/nv_config.h"
#include "platform/codepage.h"
#include "platform/paths.h"
#include "settings/name_field.h"
#include "settings/saved_course.h"
#include "support/store_fixture.h"

namespace {

using Store = CMgrConfigUIDataCourse;

// A course "name: start > via ... > destination" with points named by
// their text and placed by their order.
_tagUISTRUCT_COURSEINFO Course(const char* name, const std::vector<const char*>& points = {"S", "D"},
                               int32_t routeOption = 1) {
    _tagUISTRUCT_COURSEINFO c;
    const auto pos = [](const char* text, int i) {
        return MakeCoursePos(10'000 + i * 1000, 20'000 + i * 1000, platform::Utf8ToUtf16(text));
    };
    c.lStartPosInfo = pos(points.front(), 0);
    for (size_t i = 1; i < points.size(); ++i) c.lCoursePosInfo[i - 1] = pos(points[i], static_cast<int>(i));
    c.eRouteOption = routeOption;
    c.bRouteWithTPEG = 1;
    CopyNameField(c.szName, kCourseNameUnits, platform::Utf8ToUtf16(name));
    return c;
}

std::string NameOf(const _tagUISTRUCT_COURSEINFO& c) { return platform::Utf16ToUtf8(SavedCourseName(c)); }

std::vector<std::string> Names(Store& store, int mode) {
    std::vector<std::string> out;
    _tagUISTRUCT_COURSEINFO c;
    const int n = mode == Store::kModeStored || mode == Store::kModeByName || mode == Store::kModeNewest
                      ? store.GetCount(Store::kModeStored)
                      : store.GetCount(0);
    for (int i = 0; i < n && store.GetItem(i, &c, mode); ++i) out.push_back(NameOf(c));
    return out;
}

class SavedCourseTest : public testsupport::StoreFileTest {
protected:
    SavedCourseTest() : StoreFileTest("RegCourse.udt") {
        SetCourseDefaultsSource([] { return CourseDefaults{}; });
        m_store = std::make_unique<Store>();
    }
    ~SavedCourseTest() override { SetCourseDefaultsSource(nullptr); }

    std::unique_ptr<Store> m_store;
};

TEST_F(SavedCourseTest, ListsSearchAndCap) {
    for (const char* name : {"출근길", "Beach", "apple farm", "부모님 댁"}) ASSERT_EQ(m_store->AddItem(Course(name), 1), 1);
    EXPECT_EQ(Names(*m_store, 1), (std::vector<std::string>{"출근길", "Beach", "apple farm", "부모님 댁"}));
    EXPECT_EQ(Names(*m_store, 2), (std::vector<std::string>{"apple farm", "Beach", "부모님 댁", "출근길"}));
    EXPECT_EQ(Names(*m_store, 3), (std::vector<std::string>{"부모님 댁", "apple farm", "Beach", "출근길"}));
    EXPECT_EQ(m_store->GetSortMode(), 3);
    EXPECT_EQ(m_store->GetStoredIndex(0, 2), 2);
    EXPECT_EQ(m_store->GetStoredIndex(3, 7), 3);  // other modes: the position itself
    EXPECT_EQ(m_store->GetStoredIndex(4, 7), -1);
    EXPECT_EQ(m_store->FindItemByName(u"BEACH"), 1);
    EXPECT_EQ(m_store->FindItemByName(u"Beach "), -1);

    // A new text fills the lists; the same text again does nothing.
    EXPECT_EQ(m_store->SearchByName(u"ㅂ"), 1);
    EXPECT_EQ(m_store->SearchByName(u"ㅂ"), 0);
    EXPECT_EQ(Names(*m_store, 1), std::vector<std::string>{"부모님 댁"});
    EXPECT_EQ(m_store->GetCount(1), 1);
    EXPECT_EQ(m_store->GetCount(0), 4);
    // A course that does not match is stored and saved, but listed only
    // once the text changes.
    m_store->AddItem(Course("Mountain"), 1);
    m_store->AddItem(Course("부산 여행"), 1);
    EXPECT_EQ(Names(*m_store, 3), (std::vector<std::string>{"부산 여행", "부모님 댁"}));
    EXPECT_EQ(m_store->GetCount(0), 6);
    m_store->SearchByName(u"");
    EXPECT_EQ(m_store->GetCount(1), 6);
    _tagUISTRUCT_COURSEINFO c;
    EXPECT_EQ(m_store->GetItem(5, nullptr, 1), 1);
    EXPECT_EQ(m_store->GetItem(6, nullptr, 1), 0);
    EXPECT_EQ(m_store->GetItem(-1, &c, 1), 0);

    // Deleting several without a rebuild hits the right courses.
    ASSERT_EQ(m_store->DeleteItem(5, 2, 0), 1);  // 출근길 (last by name)
    ASSERT_EQ(m_store->DeleteItem(0, 2, 0), 1);  // apple farm
    m_store->RebuildLists(0);
    EXPECT_EQ(Names(*m_store, 1), (std::vector<std::string>{"Beach", "부모님 댁", "Mountain", "부산 여행"}));

    // The 201st course drops the oldest.
    for (int i = 0; i < 197; ++i) m_store->AddItem(Course(("Course " + std::to_string(i)).c_str()), 0);
    EXPECT_EQ(m_store->GetCount(0), 200);
    m_store->RebuildLists(0);
    EXPECT_EQ(Names(*m_store, 1).front(), "부모님 댁");
    EXPECT_EQ(Names(*m_store, 3).front(), "Course 196");
    ASSERT_EQ(m_store->Save(nullptr), 1);
    EXPECT_NE(FileBytes().find("nItemCount|1=200\r\n"), std::string::npos);
    EXPECT_EQ(FileBytes().find("Course200."), std::string::npos);
}

TEST_F(SavedCourseTest, SavedCourseGoesBackIntoTheCurrentCourse) {
    CMgrConfigUIInfoCourseCurrent current;
    current.SetStartPoint(MakeCoursePos(1000, 2000, u"집"), 0);
    current.AddWayPoint(MakeCoursePos(3000, 4000, u"주유소"));
    current.SetDestination(MakeCoursePos(5000, 6000, u"Office"));
    current.Body().eRouteOption = 3;
    _tagUISTRUCT_COURSEINFO saved;
    current.CopyCourseTo(&saved);
    CopyNameField(saved.szName, kCourseNameUnits, u"출근");
    m_store->AddItem(saved, 1);
    ASSERT_EQ(m_store->Save(nullptr), 1);

    Store loaded;
    CMgrConfigUIInfoCourseCurrent later;
    ASSERT_EQ(loaded.CopyToCourse(loaded.FindItemByName(u"출근"), 0, later), 1);
    EXPECT_TRUE(later.Body() == current.Body());
    EXPECT_EQ(later.GetPointCount(1), 1);  // one via point
    NvString name;
    later.GetPointName(name, kCourseSlotGoal);
    EXPECT_EQ(name, u"Office");
    // The current course keeps no name: its own file round trip is exact.
    ASSERT_EQ(later.Save(nullptr), 1);
    CMgrConfigUIInfoCourseCurrent reread;
    ASSERT_EQ(reread.Load(nullptr), 1);
    EXPECT_TRUE(reread.Body() == later.Body());
    EXPECT_EQ(loaded.CopyToCourse(1, 0, later), 0);
}

TEST_F(SavedCourseTest, SaveAndLoadGiveTheSameCourses) {
    const std::u16string longHangul(64, u'한');
    const std::u16string longLatin(64, u'L');
    _tagUISTRUCT_COURSEINFO full;
    full.lStartPosInfo = MakeCoursePos(-1, int32_t(0x80000000), longLatin, 2, -7);
    for (int i = 0; i < kCourseSlots; ++i) {
        full.lCoursePosInfo[i] = MakeCoursePos(i + 1, 0x7FFFFFFF - i, i % 2 ? longHangul : longLatin, i % 3, i);
    }
    full.eRouteOption = -5;
    full.bRouteWithPeloxWizard = 1;
    full.bRouteWithTPEG = 0;
    full.bStartUserPos = 1;
    full.bGoalUserPos = 0x7FFFFFFF;
    CopyNameField(full.szName, kCourseNameUnits, longHangul + u"잘림");
    m_store->AddItem(full, 0);
    _tagUISTRUCT_COURSEINFO onlyGoal = Course("목적지만");
    onlyGoal.lStartPosInfo = {};
    m_store->AddItem(onlyGoal, 0);
    m_store->AddItem(Course("Z last"), 1);
    ASSERT_EQ(m_store->Save(nullptr), 1);
    const std::string bytes = FileBytes();
    EXPECT_EQ(bytes.rfind("nVersion|1=841887792\r\nnItemCount|1=3\r\n"
                          "Course000.lStartPosInfo.ePositionType|1=2\r\n"
                          "Course000.lStartPosInfo.eRegionCheck|1=4294967289\r\n"
                          "Course000.lStartPosInfo.PosInfo.wcPosition.x|1=4294967295\r\n"
                          "Course000.lStartPosInfo.PosInfo.wcPosition.y|1=2147483648\r\n"
                          "Course000.lStartPosInfo.PosInfo.szName|2=",
                          0),
              0u);
    // Every slot is written, the empty ones with zeros and empty names.
    EXPECT_NE(bytes.find("Course001.lCoursePosInfo016.PosInfo.wcPosition.x|1=0\r\n"
                         "Course001.lCoursePosInfo016.PosInfo.wcPosition.y|1=0\r\n"
                         "Course001.lCoursePosInfo016.PosInfo.szName|2=\r\n"
                         "Course001.eRouteOption|1=1\r\nCourse001.bRouteWithPeloxWizard|1=0\r\n"
                         "Course001.bRouteWithTPEG|1=1\r\nCourse001.bStartUserPos|1=0\r\n"
                         "Course001.bGoalUserPos|1=0\r\nCourse001.szName|2="),
              std::string::npos);

    Store loaded;
    ASSERT_EQ(loaded.GetCount(0), 3);
    testsupport::ExpectSameRecords<_tagUISTRUCT_COURSEINFO>(
        *m_store, loaded, 3, [](Store& s, int i, _tagUISTRUCT_COURSEINFO* r) { return s.GetItem(i, r, 0); });
    _tagUISTRUCT_COURSEINFO first;
    loaded.GetItem(0, &first, 0);
    EXPECT_EQ(SavedCourseName(first), longHangul);  // cut to 64
    EXPECT_EQ(Names(loaded, 3).front(), "Z last");  // list 3 starts with the course saved last
    EXPECT_EQ(loaded.Save(nullptr), 1);
    EXPECT_EQ(FileBytes(), bytes);
    EXPECT_EQ(TakeSettingsFileErrorCount(), 0);
}

TEST_F(SavedCourseTest, LoadingAgainReplacesInsteadOfDoubling) {
    for (const char* name : {"A", "B", "C"}) m_store->AddItem(Course(name), 1);
    ASSERT_EQ(m_store->Save(nullptr), 1);
    Store store;
    ASSERT_EQ(store.GetCount(0), 3);
    EXPECT_EQ(store.Load(nullptr), 1);
    EXPECT_EQ(store.GetCount(0), 3);
    // A search text that leaves courses out of the lists does not fail the load.
    store.SearchByName(u"B");
    EXPECT_EQ(store.Load(nullptr), 1);
    EXPECT_EQ(store.GetCount(0), 3);
    EXPECT_EQ(Names(store, 1), std::vector<std::string>{"B"});
    EXPECT_EQ(TakeSettingsFileErrorCount(), 0);
    EXPECT_FALSE(ErrExists());
}

TEST_F(SavedCourseTest, FilesAreReadAsFarAsTheyGoAndOnlyUnreadableOnesAreSetAside) {
    for (const char* name : {"A", "B", "C", "D"}) m_store->AddItem(Course(name), 1);
    ASSERT_EQ(m_store->Save(nullptr), 1);
    const testsupport::FileEdits edit(FileBytes());
    const std::vector<std::string> all = {"A", "B", "C", "D"};
    struct Damage {
        const char* what;
        std::string bytes;
        int loads;
        std::vector<std::string> kept;
    } const cases[] = {
        // A file that does not parse is set aside by the settings file.
        {"cut inside a line", edit.CutAt("Course002.szName", 6), 0, {}},
        // Keys past the count are not read.
        {"count 1, three stray courses", edit.Replace("nItemCount|1=4", "nItemCount|1=1"), 1, {"A"}},
        {"count lowered", edit.Replace("nItemCount|1=4", "nItemCount|1=3"), 1, {"A", "B", "C"}},
        // Courses the file does not hold are not made up.
        {"cut after course 1", edit.CutAt("Course002."), 1, {"A", "B"}},
        {"count raised", edit.Replace("nItemCount|1=4", "nItemCount|1=5"), 1, all},
        // Missing header keys hold no courses (the count is 0) and are no
        // damage.
        {"no nItemCount", edit.Cut("nItemCount", "Course000"), 1, {}},
        {"no nVersion", edit.Cut("nVersion", "nItemCount"), 1, all},
        {"a course name removed", edit.Cut("Course001.szName", "Course002"), 1, {"A", "", "C", "D"}},
        {"a point removed",
         edit.Cut("Course003.lCoursePosInfo000.PosInfo.wcPosition.x", "Course003.lCoursePosInfo001"), 1, all},
        // "\xBC" is half a Hangul syllable.
        {"a name not CP949", edit.Replace("Course001.szName|2=B", "Course001.szName|2=\xBC"), 1,
         {"A", "", "C", "D"}},
    };
    for (const Damage& d : cases) {
        SCOPED_TRACE(d.what);
        WriteFile(d.bytes);
        Store store;
        EXPECT_EQ(store.Load(nullptr), d.loads);
        ExpectKeptOrSetAside(d.loads, d.bytes);
        std::vector<std::string> names;
        _tagUISTRUCT_COURSEINFO c;
        for (int i = 0; store.GetItem(i, &c, 0); ++i) names.push_back(NameOf(c));
        EXPECT_EQ(names, d.kept);
        ExpectRewrittenOrGone(d.loads, d.kept.size(), [] { return Store().GetCount(0); });
        RemoveErr();
    }
    // More courses than the store holds: refused, but this file is never
    // set aside.
    const std::string tooMany = edit.Replace("nItemCount|1=4", "nItemCount|1=201");
    WriteFile(tooMany);
    Store store;
    EXPECT_EQ(store.Load(nullptr), 0);
    EXPECT_EQ(store.GetCount(0), 0);
    EXPECT_FALSE(ErrExists());
    EXPECT_EQ(FileBytes(), tooMany);
    EXPECT_EQ(TakeSettingsFileErrorCount(), 0);
    // A file without a count is written again complete, with no copy aside.
    WriteFile("nVersion|1=841887792\r\n");
    Store empty;
    EXPECT_EQ(empty.GetCount(0), 0);
    EXPECT_NE(FileBytes().find("nItemCount|1=0\r\n"), std::string::npos);
    EXPECT_FALSE(ErrExists());
}

}  // namespace
