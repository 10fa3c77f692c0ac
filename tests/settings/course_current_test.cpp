// The current course: point operations described as short course strings,
// backups, and the "\CourseCurrent.idt" file (round trip, long names,
// damaged files).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/nv_config.h"
#include "platform/codepage.h"
#include "platform/paths.h"
#include "settings/course_current.h"
#include "settings/ui_setting.h"
#include "support/temp_dir.h"

namespace {

using testsupport::TempDir;

// A point named by one letter, at a position derived from the letter, with
// an optional interchange type.
_tagUISTRUCT_COURSEPOS P(char name, int type = 0) {
    const int32_t base = (name - 'A' + 1) * 1000;
    return MakeCoursePos(base + 1, base + 2, std::u16string(1, static_cast<char16_t>(name)), type);
}

std::string Name(const _tagUISTRUCT_COURSEPOS& p) {
    if (!p.IsValid()) return "_";
    std::string s = platform::Utf16ToUtf8(CoursePosName(p));
    if (p.ePositionType) s += "(" + std::to_string(p.ePositionType) + ")";
    return s;
}

// "S|A B(1) D" : the start, then the slots up to the last used one.
std::string Describe(const CMgrConfigUIInfoCourse& course) {
    const _tagUISTRUCT_COURSEINFO& b = course.Body();
    std::string out = Name(b.lStartPosInfo) + "|";
    int last = -1;
    for (int i = 0; i < kCourseSlots; ++i) {
        if (b.lCoursePosInfo[i].IsValid()) last = i;
    }
    for (int i = 0; i <= last; ++i) out += (i ? " " : "") + Name(b.lCoursePosInfo[i]);
    return out;
}

// Builds a course from the same notation: start, then slots; a trailing
// goal flag.
void Build(CMgrConfigUIInfoCourse& course, const std::string& start, const std::vector<_tagUISTRUCT_COURSEPOS>& slots,
           int goal) {
    course.Reset();
    if (!start.empty()) course.SetPoint(kCourseSlotStart, P(start[0]));
    for (size_t i = 0; i < slots.size(); ++i) course.SetPoint(static_cast<int>(i), slots[i]);
    course.Body().bGoalUserPos = goal;
}

std::vector<_tagUISTRUCT_COURSEPOS> Letters(const std::string& letters) {
    std::vector<_tagUISTRUCT_COURSEPOS> out;
    for (char c : letters) out.push_back(P(c));
    return out;
}

// Route defaults of the test, in place before any course is made.
struct TestDefaults {
    TestDefaults() { SetCourseDefaultsSource([] { return CourseDefaults{3, 1, 0}; }); }
    ~TestDefaults() { SetCourseDefaultsSource(nullptr); }
};

class CourseTest : public ::testing::Test {
protected:
    TestDefaults m_defaults;
    CMgrConfigUIInfoCourseCurrent m_course;
};

TEST_F(CourseTest, ResetTakesTheRouteDefaults) {
    EXPECT_EQ(m_course.Body().eRouteOption, 3);
    EXPECT_EQ(m_course.Body().bRouteWithPeloxWizard, 1);
    EXPECT_EQ(m_course.Body().bRouteWithTPEG, 0);
    EXPECT_EQ(m_course.GetRoutedCourse().Body().eRouteOption, 3);
    EXPECT_EQ(m_course.m_eRouteType, 2);
    EXPECT_EQ(m_course.GetActiveBackup(), -1);
    EXPECT_EQ(m_course.GetSavedDestination(nullptr), 0);
    ASSERT_NE(CMgrConfigUIInfoCourseCurrent::Instance(), nullptr);
}

TEST_F(CourseTest, CountsAndClassification) {
    // Start only.
    Build(m_course, "S", {}, 1);
    EXPECT_EQ(m_course.GetValidPointCount(0, 1), 0);
    EXPECT_EQ(m_course.GetLastPointIndex(), 0);
    EXPECT_EQ(m_course.GetDestination(nullptr), 0);

    Build(m_course, "S", Letters("ABD"), 1);
    EXPECT_EQ(m_course.GetPointCount(1), 2);
    EXPECT_EQ(m_course.GetPointCount(0), 2);
    EXPECT_EQ(m_course.GetValidPointCount(1, 1), 3);   // start not set by the user
    m_course.Body().bStartUserPos = 1;
    EXPECT_EQ(m_course.GetValidPointCount(1, 1), 4);
    EXPECT_EQ(m_course.GetValidPointCount(1, 0), 3);
    EXPECT_EQ(m_course.GetFreePointCount(0, 1), 14);
    EXPECT_EQ(m_course.GetFreePointCount(1, 1), 14);

    const auto at = [&](char c) { return P(c).PosInfo.wcPosition; };
    EXPECT_EQ(m_course.GetPointTypeAt(at('D').x, at('D').y, -1), 17);
    EXPECT_EQ(m_course.GetPointTypeAt(at('B').x, at('B').y, -1), 0);
    EXPECT_EQ(m_course.GetPointTypeAt(at('S').x, at('S').y, -1), 18);
    EXPECT_EQ(m_course.GetPointTypeAt(at('S').x, at('S').y, 18), -1);
    EXPECT_EQ(m_course.GetPointTypeAt(at('Z').x, at('Z').y, -1), -1);
    EXPECT_EQ(m_course.FindPointAt(at('D').x, at('D').y, 17, 1, 1), -1);
    EXPECT_EQ(m_course.FindPointAt(at('D').x, at('D').y, -1, 1, 0), -1);
    m_course.Body().bGoalUserPos = 0;
    EXPECT_EQ(m_course.GetPointTypeAt(at('D').x, at('D').y, -1), 0);

    _tagUISTRUCT_COURSEPOS out;
    NvString name;
    EXPECT_EQ(m_course.GetPointName(name, 17), 1);
    EXPECT_EQ(name, u"D");
    EXPECT_EQ(m_course.GetPointName(name, 5), 0);
    EXPECT_EQ(m_course.GetPoint(19, &out), 0);
}

// One course operation on a course written as "start|slots".
struct OpCase {
    const char* what;
    const char* start;
    const char* slots;     // letters; a digit after a letter is its type
    int goal;
    int (*op)(CMgrConfigUIInfoCourseCurrent&);
    int result;
    const char* after;
};

std::vector<_tagUISTRUCT_COURSEPOS> Parse(const char* slots) {
    std::vector<_tagUISTRUCT_COURSEPOS> out;
    for (const char* c = slots; *c; ++c) {
        if (*c >= '0' && *c <= '9') {
            out.back().ePositionType = *c - '0';
        } else {
            out.push_back(P(*c));
        }
    }
    return out;
}

const OpCase kOps[] = {
    {"AddViaPoint before the destination", "S", "ABD", 1,
     [](CMgrConfigUIInfoCourseCurrent& c) { return c.AddViaPoint(P('X'), 0); }, 2, "S|A B X D"},
    {"AddViaPoint appended", "S", "ABD", 1,
     [](CMgrConfigUIInfoCourseCurrent& c) { return c.AddViaPoint(P('X'), 1); }, 3, "S|A B D X"},
    {"AddViaPoint into an empty course", "", "", 0,
     [](CMgrConfigUIInfoCourseCurrent& c) { return c.AddViaPoint(P('X'), 0); }, 0, "_|X"},
    {"AddViaPoint on 17 points", "S", "ABCDEFGHIJKLMNOPQ", 1,
     [](CMgrConfigUIInfoCourseCurrent& c) { return c.AddViaPoint(P('X'), 0); }, -1, "S|A B C D E F G H I J K L M N O P Q"},
    {"AddViaPoint closes a gap first", "S", "AB", 1,
     [](CMgrConfigUIInfoCourseCurrent& c) { c.ClearPoint(0, 0); return c.AddViaPoint(P('X'), 1); }, 1, "S|B X"},
    {"AddWayPoint with a destination", "S", "AD", 1,
     [](CMgrConfigUIInfoCourseCurrent& c) { return c.AddWayPoint(P('X')); }, 1, "S|A X D"},
    {"AddWayPoint without a destination", "S", "A", 0,
     [](CMgrConfigUIInfoCourseCurrent& c) { return c.AddWayPoint(P('X')); }, 1, "S|A X"},
    {"InsertPoint at 18", "S", "AD", 1,
     [](CMgrConfigUIInfoCourseCurrent& c) { return c.InsertPoint(18, P('X')); }, 1, "X|S A D"},
    {"InsertPoint at 18 without a start", "", "AD", 1,
     [](CMgrConfigUIInfoCourseCurrent& c) { return c.InsertPoint(18, P('X')); }, 1, "X|A D"},
    {"InsertPoint in the middle", "S", "AD", 1,
     [](CMgrConfigUIInfoCourseCurrent& c) { return c.InsertPoint(1, P('X')); }, 1, "S|A X D"},
    {"InsertPoint past the end appends", "S", "AD", 1,
     [](CMgrConfigUIInfoCourseCurrent& c) { return c.InsertPoint(9, P('X')); }, 1, "S|A D X"},
    {"InsertPoint into 17 points refused", "S", "ABCDEFGHIJKLMNOPQ", 1,
     [](CMgrConfigUIInfoCourseCurrent& c) { return c.InsertPoint(3, P('X')); }, 0, "S|A B C D E F G H I J K L M N O P Q"},
    {"InsertPoint at 18 into 17 points refused", "S", "ABCDEFGHIJKLMNOPQ", 1,
     [](CMgrConfigUIInfoCourseCurrent& c) { return c.InsertPoint(18, P('X')); }, 0,
     "S|A B C D E F G H I J K L M N O P Q"},
    {"InsertPoint at 16 of 16 points", "S", "ABCDEFGHIJKLMNOP", 1,
     [](CMgrConfigUIInfoCourseCurrent& c) { return c.InsertPoint(16, P('X')); }, 1,
     "S|A B C D E F G H I J K L M N O P X"},
    {"InsertPoint at 17 or 19", "S", "AD", 1,
     [](CMgrConfigUIInfoCourseCurrent& c) { return c.InsertPoint(17, P('X')) + c.InsertPoint(19, P('X')); }, 0,
     "S|A D"},
    {"ReverseCourse exchanges the interchange types", "S", "A1B2D", 1,
     [](CMgrConfigUIInfoCourseCurrent& c) { return c.ReverseCourse(); }, 1, "D|B(1) A(2) S"},
    {"ReverseCourse keeps other types", "S", "A7D", 1,
     [](CMgrConfigUIInfoCourseCurrent& c) { return c.ReverseCourse(); }, 1, "D|A(7) S"},
    {"ReverseCourse without points", "S", "", 0,
     [](CMgrConfigUIInfoCourseCurrent& c) { return c.ReverseCourse(); }, 0, "S|"},
    {"ClearDestination", "S", "AD", 1,
     [](CMgrConfigUIInfoCourseCurrent& c) { return c.ClearDestination(); }, 1, "S|A"},
    {"ClearDestination without one", "S", "AD", 0,
     [](CMgrConfigUIInfoCourseCurrent& c) { return c.ClearDestination(); }, 0, "S|A D"},
    {"SetDestination replaces", "S", "AD", 1,
     [](CMgrConfigUIInfoCourseCurrent& c) { return c.SetDestination(P('X')); }, 1, "S|A X"},
    {"SetDestination appends", "S", "A", 0,
     [](CMgrConfigUIInfoCourseCurrent& c) { return c.SetDestination(P('X')) * 10 + c.Body().bGoalUserPos; }, 11,
     "S|A X"},
    {"SetDestination on a full course", "S", "ABCDEFGHIJKLMNOPQ", 0,
     [](CMgrConfigUIInfoCourseCurrent& c) { return c.SetDestination(P('X')) * 10 + c.Body().bGoalUserPos; }, 0,
     "S|A B C D E F G H I J K L M N O P Q"},
    {"ClearViaPoints", "S", "ABD", 1,
     [](CMgrConfigUIInfoCourseCurrent& c) { return c.ClearViaPoints(); }, 1, "S|D"},
    {"RemoveTypedPoints", "S", "A1BC2D", 1,
     [](CMgrConfigUIInfoCourseCurrent& c) { return c.RemoveTypedPoints(); }, 1, "S|B D"},
    {"SwapPoints", "S", "ABD", 1, [](CMgrConfigUIInfoCourseCurrent& c) { return c.SwapPoints(0, 1); }, 1, "S|B A D"},
    {"SwapPoints with an empty slot", "S", "ABD", 1,
     [](CMgrConfigUIInfoCourseCurrent& c) { return c.SwapPoints(0, 5); }, 0, "S|A B D"},
    {"MovePointUp", "S", "ABD", 1, [](CMgrConfigUIInfoCourseCurrent& c) { return c.MovePointUp(2); }, 1, "S|A D B"},
    {"MovePointUp of 17", "S", "ABD", 1, [](CMgrConfigUIInfoCourseCurrent& c) { return c.MovePointUp(17); }, 1,
     "S|A D B"},
    {"MovePointUp of 0 and 18", "S", "ABD", 1,
     [](CMgrConfigUIInfoCourseCurrent& c) { return c.MovePointUp(0) * 100 + c.MovePointUp(18); }, 18, "S|A B D"},
    {"MovePointUp of an empty slot", "S", "ABD", 1,
     [](CMgrConfigUIInfoCourseCurrent& c) { return c.MovePointUp(3); }, -1, "S|A B D"},
    {"MovePointDown", "S", "ABD", 1, [](CMgrConfigUIInfoCourseCurrent& c) { return c.MovePointDown(0); }, 1,
     "S|B A D"},
    {"MovePointDown of the last", "S", "ABD", 1, [](CMgrConfigUIInfoCourseCurrent& c) { return c.MovePointDown(2); },
     2, "S|A B D"},
    {"ClearPoint with compaction", "S", "ABD", 1,
     [](CMgrConfigUIInfoCourseCurrent& c) { return c.ClearPoint(0, 1); }, 1, "S|B D"},
    {"FindPointByPositionType", "S", "AB2C1", 1,
     [](CMgrConfigUIInfoCourseCurrent& c) {
         int a = -1, b = -1;
         c.FindPointByPositionType(1, &a, nullptr);
         c.FindPointByPositionType(0, &b, nullptr);
         return a * 10 + b;
     },
     21, "S|A B(2) C(1)"},
};

TEST_F(CourseTest, PointOperations) {
    for (const OpCase& c : kOps) {
        SCOPED_TRACE(c.what);
        Build(m_course, c.start, Parse(c.slots), c.goal);
        EXPECT_EQ(c.op(m_course), c.result);
        EXPECT_EQ(Describe(m_course), c.after);
    }
}

TEST_F(CourseTest, ClearDestinationMakesTheLastPointTheDestination) {
    Build(m_course, "S", Letters("AD"), 1);
    ASSERT_EQ(m_course.ClearDestination(), 1);
    _tagUISTRUCT_COURSEPOS goal;
    ASSERT_EQ(m_course.GetDestination(&goal), 1);
    EXPECT_EQ(Name(goal), "A");
    EXPECT_EQ(m_course.Body().bGoalUserPos, 1);
}

TEST_F(CourseTest, ReverseCurrentCourseStartsFromTheRoutedCourse) {
    EXPECT_EQ(m_course.ReverseCurrentCourse(), 0);
    Build(m_course.GetRoutedCourse(), "S", Letters("AD"), 1);
    Build(m_course, "Q", Letters("Z"), 1);
    m_course.IncrementViaIndex();
    ASSERT_EQ(m_course.ReverseCurrentCourse(), 1);
    EXPECT_EQ(Describe(m_course), "D|A S");
    EXPECT_EQ(m_course.GetViaIndex(), 0);
    EXPECT_EQ(Describe(m_course.GetRoutedCourse()), "S|A D");
}

TEST_F(CourseTest, LongNamesAreCutTo64) {
    const std::u16string hangul(70, u'한');
    const _tagUISTRUCT_COURSEPOS p = MakeCoursePos(10, 20, hangul);
    EXPECT_EQ(CoursePosName(p), hangul.substr(0, 64));
    // A record whose name fills the whole field gets its terminator back.
    _tagUISTRUCT_COURSEPOS full = P('A');
    std::fill(std::begin(full.PosInfo.szName), std::end(full.PosInfo.szName), u'x');
    m_course.SetPoint(0, full);
    NvString name;
    EXPECT_EQ(m_course.GetPointName(name, 0), 64);
}

TEST_F(CourseTest, Backups) {
    Build(m_course, "S", Letters("AD"), 1);
    EXPECT_EQ(m_course.IsSameAsBackup(2), 1);  // none active
    EXPECT_EQ(m_course.IsBackupUsed(2), 0);

    ASSERT_EQ(m_course.BackupCourse(1), 1);
    EXPECT_EQ(m_course.GetActiveBackup(), 1);
    EXPECT_EQ(m_course.IsBackupUsed(0), 0);
    EXPECT_EQ(m_course.IsBackupUsed(1), 1);
    EXPECT_EQ(m_course.IsBackupUsed(2), 1);
    EXPECT_EQ(m_course.IsSameAsBackup(2), 1);

    m_course.AddWayPoint(P('X'));
    EXPECT_EQ(m_course.IsSameAsBackup(2), 0);
    // The start counts only when the user set it.
    Build(m_course, "T", Letters("AD"), 1);
    EXPECT_EQ(m_course.IsSameAsBackup(1), 1);
    m_course.Body().bStartUserPos = 1;
    EXPECT_EQ(m_course.IsSameAsBackup(1), 0);

    ASSERT_EQ(m_course.BackupCourse(0), 1);   // backup 1 stays the active one
    EXPECT_EQ(m_course.GetActiveBackup(), 1);
    EXPECT_EQ(m_course.RestoreBackup(1), 1);
    EXPECT_EQ(Describe(m_course), "S|A D");
    EXPECT_EQ(m_course.IsBackupUsed(1), 0);
    EXPECT_EQ(m_course.GetActiveBackup(), 0);  // backup 0 is still in use

    m_course.AddWayPoint(P('X'));
    EXPECT_EQ(m_course.RestoreBackup(2), 1);   // the active one (0), then both cleared
    EXPECT_EQ(Describe(m_course), "T|A D");
    EXPECT_EQ(m_course.GetActiveBackup(), -1);
    EXPECT_EQ(m_course.IsBackupUsed(2), 0);

    ASSERT_EQ(m_course.BackupCourse(2), 1);
    EXPECT_EQ(m_course.GetActiveBackup(), 0);
    EXPECT_EQ(m_course.IsBackupUsed(0) + m_course.IsBackupUsed(1), 2);
    ASSERT_EQ(m_course.ClearBackup(2), 1);
    EXPECT_EQ(m_course.IsBackupUsed(2), 0);
}

TEST_F(CourseTest, RestoringAnUnusedBackupKeepsTheCourse) {
    Build(m_course, "S", Letters("AD"), 1);
    EXPECT_EQ(m_course.RestoreBackup(2), 0);  // none active: only cleared
    EXPECT_EQ(m_course.RestoreBackup(0), 0);  // never written
    EXPECT_EQ(Describe(m_course), "S|A D");
}

TEST_F(CourseTest, SavedDestination) {
    EXPECT_EQ(m_course.SaveRoutedDestination(), 0);
    Build(m_course.GetRoutedCourse(), "S", Letters("AD"), 1);
    ASSERT_EQ(m_course.SaveRoutedDestination(), 1);
    _tagUISTRUCT_COURSEPOS saved;
    ASSERT_EQ(m_course.GetSavedDestination(&saved), 1);
    EXPECT_EQ(Name(saved), "D");
    m_course.ClearSavedDestination();
    EXPECT_EQ(m_course.GetSavedDestination(nullptr), 0);
}

TEST(RouteRequestTest, ByteFormAndPointSet) {
    RoutePointSet set;
    EXPECT_EQ(set.viaCount + set.linkCount1 + set.linkCount2, 0);

    RouteRequest r;
    r.uRouteMode = 0x70F;
    r.sOption.eGoalType = 1;
    r.sOption.bShortTurn = 1;
    r.sPref.yHighWay = 5;
    r.sPref.yDetourLeft = 9;
    r.points.start = {100, 200};
    r.points.via[15] = {7, 8};
    r.points.links2[3] = 0x0800'0001;
    r.routeType = 7;
    const RouteParamInput bytes = EncodeRouteRequest(r);
    EXPECT_EQ(bytes.bytes[0], 0x0F);
    EXPECT_EQ(bytes.bytes[1], 0x07);
    EXPECT_EQ(bytes.bytes[4], 1);     // eGoalType
    EXPECT_EQ(bytes.bytes[20], 1);    // bShortTurn
    EXPECT_EQ(bytes.bytes[24], 5);    // yHighWay
    EXPECT_EQ(bytes.bytes[30], 9);    // yDetourLeft
    EXPECT_EQ(bytes.bytes[32], 100);  // start x
    EXPECT_EQ(bytes.bytes[56 + 15 * 8], 7);
    EXPECT_EQ(bytes.bytes[276 + 12 + 3], 0x08);
    EXPECT_EQ(bytes.bytes[292], 7);
    EXPECT_TRUE(DecodeRouteRequest(bytes) == r);
}

// ---- the file

class CourseFileTest : public CourseTest {
protected:
    void SetUp() override {
        CourseTest::SetUp();
        NvFilePath::SetFolders(NvString::FromUtf8(m_dir.File("config")), NvString::FromUtf8(m_dir.Path()));
        TakeSettingsFileErrorCount();
    }
    void TearDown() override {
        NvFilePath::SetFolders(NvString(), NvString());
        CourseTest::TearDown();
    }

    // Every saved field set, names at their longest.
    void Fill(CMgrConfigUIInfoCourseCurrent& c) {
        c.SetStartPoint(MakeCoursePos(-5, 6, std::u16string(64, u'출'), 3, -1), 1);
        for (int i = 0; i < 16; ++i) {
            std::u16string name = i % 2 ? std::u16string(64, u'W') : u"서울역 " + std::u16string(1, u'0' + i);
            c.AddViaPoint(MakeCoursePos(1000 + i, -2000 - i, name, i % 3, i), 1);
        }
        c.SetDestination(MakeCoursePos(0x7FFFFFFF, int32_t(0x80000000), u"목적지 Destination", 2, 4));
        c.Body().eRouteOption = 5;
        c.Body().bRouteWithTPEG = 1;
        c.Body().szName[0] = u'n';  // not kept by the file
        Build(c.GetRoutedCourse(), "S", Letters("AD"), 1);
        c.m_nResultRouteWizardOption = -1;
        c.m_eRouteType = 9;
        c.m_nViaIndex = 2;
        c.m_nDrivingDistance = 123456;
        RouteRequest& r = c.RouteRequestData();
        r.uRouteMode = 0x80000001u;
        r.sOption = {1, 2, 3, 4, 5};
        r.sPref = {10, 9, 8, 7, 6, 5, 255};
        r.routeType = 7;
    }

    void ExpectSame(const CMgrConfigUIInfoCourseCurrent& a, const CMgrConfigUIInfoCourseCurrent& b) {
        _tagUISTRUCT_COURSEINFO expected = a.Body();
        std::fill(std::begin(expected.szName), std::end(expected.szName), u'\0');
        EXPECT_TRUE(b.Body() == expected) << Describe(b) << " vs " << Describe(a);
        EXPECT_TRUE(b.GetRoutedCourse().Body() == a.GetRoutedCourse().Body());
        EXPECT_EQ(b.m_nResultRouteWizardOption, a.m_nResultRouteWizardOption);
        EXPECT_EQ(b.m_eRouteType, a.m_eRouteType);
        EXPECT_EQ(b.m_nViaIndex, a.m_nViaIndex);
        EXPECT_EQ(b.m_nDrivingDistance, a.m_nDrivingDistance);
        const RouteRequest& x = a.RouteRequestData();
        const RouteRequest& y = b.RouteRequestData();
        EXPECT_EQ(y.uRouteMode, x.uRouteMode);
        EXPECT_EQ(y.sOption.eGoalType, x.sOption.eGoalType);
        EXPECT_EQ(y.sOption.bShortTurn, x.sOption.bShortTurn);
        EXPECT_EQ(y.sPref.yHighWay, x.sPref.yHighWay);
        EXPECT_EQ(y.sPref.yDetourLeft, x.sPref.yDetourLeft);
        EXPECT_EQ(y.routeType, x.routeType);
    }

    std::string FileBytes() { return m_dir.Read("CourseCurrent.idt"); }

    TempDir m_dir;
};

TEST_F(CourseFileTest, SaveAndLoadGiveTheSameCourse) {
    Fill(m_course);
    ASSERT_EQ(m_course.Save(nullptr), 1);
    const std::string bytes = FileBytes();
    EXPECT_EQ(bytes.rfind("nVersion|1=841887792\r\n", 0), 0u);
    EXPECT_NE(bytes.find("lStartPosInfo.ePositionType|1=3\r\nlStartPosInfo.eRegionCheck|1=4294967295\r\n"),
              std::string::npos);
    EXPECT_NE(bytes.find("lCoursePosInfo016.PosInfo.szName|2="), std::string::npos);
    EXPECT_NE(bytes.find("Routed.bGoalUserPos|1=1\r\nm_nResultRouteWizardOption|1=4294967295\r\n"),
              std::string::npos);
    EXPECT_NE(bytes.find("m_lRPInputData.sPref.yDetourLeft|1=255\r\nm_lRPInputData.routeType|1=7\r\n"
                         "m_nDrivingDistance|1=123456\r\n"),
              std::string::npos);
    EXPECT_EQ(bytes.find("szName|2=n"), std::string::npos);

    CMgrConfigUIInfoCourseCurrent loaded;
    ASSERT_EQ(loaded.Load(nullptr), 1);
    ExpectSame(m_course, loaded);
    EXPECT_EQ(FileBytes(), bytes);  // complete: not written again
    EXPECT_EQ(TakeSettingsFileErrorCount(), 0);
}

TEST_F(CourseFileTest, ResetFollowsTheUISettings) {
    SetCourseDefaultsSource(nullptr);
    CMgrConfigUISetting* ui = CMgrConfigUISetting::Instance();
    ASSERT_NE(ui, nullptr);
    {
        MgrLock hold(*ui->GetLock());
        ui->Record().eDefaultRouteOption = 4;
        ui->Record().bRouteWithPeloxWizard = 1;
        ui->Record().bRouteWithTPEG = 0;
    }
    CMgrConfigUIInfoCourse course;
    EXPECT_EQ(course.Body().eRouteOption, 4);
    EXPECT_EQ(course.Body().bRouteWithPeloxWizard, 1);
    EXPECT_EQ(course.Body().bRouteWithTPEG, 0);
}

TEST_F(CourseFileTest, MissingFileLeavesTheCourse) {
    Build(m_course, "S", Letters("AD"), 1);
    EXPECT_EQ(m_course.Load(nullptr), 0);
    EXPECT_EQ(Describe(m_course), "S|A D");
}

TEST_F(CourseFileTest, NamesOver64CharactersAreCut) {
    m_dir.Write("CourseCurrent.idt",
                "nVersion|1=841887792\r\nlCoursePosInfo000.PosInfo.wcPosition.x|1=5\r\n"
                "lCoursePosInfo000.PosInfo.wcPosition.y|1=6\r\nlCoursePosInfo000.PosInfo.szName|2=" +
                    std::string(70, 'N') + "\r\n");
    ASSERT_EQ(m_course.Load(nullptr), 1);
    NvString name;
    m_course.GetPointName(name, 0);
    EXPECT_EQ(name.ToUtf8(), std::string(64, 'N'));
}

TEST_F(CourseFileTest, DamagedFilesAreSetAsideBeforeTheyAreReplaced) {
    Fill(m_course);
    ASSERT_EQ(m_course.Save(nullptr), 1);
    const std::string good = FileBytes();
    const size_t x3 = good.find("lCoursePosInfo003.PosInfo.wcPosition.x");
    ASSERT_NE(x3, std::string::npos);
    const size_t x3End = good.find("\r\n", x3) + 2;
    const size_t name0 = good.find("szName|2=") + 9;

    struct Damage {
        const char* what;
        std::string bytes;
        int loads;          // Load's result
        bool courseKept;    // the previous course in memory stays
    } const cases[] = {
        {"cut inside a line", good.substr(0, x3 + 10), 0, true},
        // Keys missing (an older file) keep their reset values.
        {"cut after a line", good.substr(0, x3End), 1, false},
        {"one key removed", good.substr(0, x3) + good.substr(x3End), 1, false},
        // A key that is not CP949 is skipped; a value that is not reads
        // empty ("\xBC" is half a Hangul syllable).
        {"key not CP949", good.substr(0, x3) + "\x80\x80|1=1\r\n", 1, false},
        {"value not CP949", good.substr(0, name0) + "\xBC" + good.substr(good.find("\r\n", name0)), 1, false},
    };
    for (const Damage& d : cases) {
        SCOPED_TRACE(d.what);
        CMgrConfigUIInfoCourseCurrent course;
        Build(course, "K", Letters("L"), 1);
        m_dir.Write("CourseCurrent.idt", d.bytes);
        EXPECT_EQ(course.Load(nullptr), d.loads);
        // Only a file that does not parse is kept under the err name.
        if (d.loads) {
            EXPECT_FALSE(platform::FileExists(m_dir.File("CourseCurrent.err")));
            EXPECT_EQ(TakeSettingsFileErrorCount(), 0);
        } else {
            EXPECT_EQ(m_dir.Read("CourseCurrent.err"), d.bytes);
            EXPECT_EQ(TakeSettingsFileErrorCount(), 1);
        }
        if (d.courseKept) {
            EXPECT_EQ(Describe(course), "K|L");
        } else {
            // What the file held is loaded, and the file is complete again.
            _tagUISTRUCT_COURSEPOS p;
            EXPECT_EQ(course.GetStartPoint(&p), 1);
            EXPECT_EQ(p.PosInfo.wcPosition.x, -5);
            EXPECT_EQ(course.GetPoint(2, &p), 1);
            EXPECT_EQ(p.PosInfo.wcPosition.x, 1002);
            CMgrConfigUIInfoCourseCurrent again;
            ASSERT_EQ(again.Load(nullptr), 1);
            EXPECT_EQ(TakeSettingsFileErrorCount(), 0);
            ExpectSame(course, again);
        }
        std::remove(m_dir.File("CourseCurrent.err").c_str());
    }
}

TEST_F(CourseFileTest, NamesTheFileCannotHoldAreMadeSafe) {
    Build(m_course, "S", {}, 1);
    m_course.AddViaPoint(MakeCoursePos(1, 2, u"line\r\nbreak \U0001F600"), 1);
    ASSERT_EQ(m_course.Save(nullptr), 1);
    CMgrConfigUIInfoCourseCurrent loaded;
    ASSERT_EQ(loaded.Load(nullptr), 1);
    NvString name;
    loaded.GetPointName(name, 0);
    EXPECT_EQ(name, u"line  break ?");
    EXPECT_EQ(TakeSettingsFileErrorCount(), 0);
}

}  // namespace
