// A picked place into the current course: as destination (with the via
// point question answered either way), as a via point and as the slot being
// edited, each refusal with its message; the texts under a place; the area
// code levels; the route-point record head; the adjacent-coordinates look-up.
#include "shell_board_fixture.h"

#include "foundation/coords.h"
#include "platform/codepage.h"
#include "search/search_records.h"
#include "shell/board_helper.h"
#include "shell/route_point_helpers.h"
#include "shell/ui_utils.h"

namespace {

using shelltest::ShellBoardTest;

constexpr MapPoint kStart{66000000, 19700000};
constexpr MapPoint kVia{66010000, 19710000};
constexpr MapPoint kGoal{66020000, 19720000};

class RoutePointTest : public ShellBoardTest {
protected:
    void SetUp() override {
        StartHost();
        ASSERT_EQ(m_host->LoadBoard(1), 1);
        m_course = CMgrConfigUIInfoCourseCurrent::Instance();
        m_course->Reset();
        m_course->m_eRouteType = 0;
        m_course->SetStartPoint(MakeCoursePos(kStart.x, kStart.y, u"출발"), 1);
        CourseEditState() = CourseEditSlots();
        SetChapterUiHooks({{}, {}, [this](int event) { m_events.push_back(event); }});
        m_source.onDispatch = nullptr;
    }
    void TearDown() override {
        SetChapterUiHooks({});
        m_course->Reset();
        ShellBoardTest::TearDown();
    }
    uint32_t ButtonPoint(int child) {
        const tagUISCRIPT_CONTROL* box = m_host->Script()->GetControl(779);
        const tagUISCRIPT_CONTROL* button = m_host->Script()->GetControl(780 + child);
        return NvMakePoint(400 - box->width / 2 + button->image[0].x + button->width / 2,
                           240 - box->height / 2 + button->image[0].y + button->height / 2);
    }
    // Answers the next boxes with these children (4 the single button;
    // 1 "예", 2 "아니요"), each press 100 ms after the last.
    void Answer(std::initializer_list<int> children) {
        m_source.m_script.clear();
        for (int child : children) {
            m_source.Add(100, kNvWmLButtonDown, 0, ButtonPoint(child));
            m_source.Add(100, 0x113, 1026);
        }
    }
    static CoursePointChoice Choice(MapPoint at, int mode, const char16_t* name = u"장소") {
        CoursePointChoice c;
        c.position = at;
        c.mode = mode;
        std::u16string_view n(name);
        std::copy(n.begin(), n.end(), c.name);
        return c;
    }
    MapPoint Destination() {
        _tagUISTRUCT_COURSEPOS goal;
        return m_course->GetDestination(&goal) ? goal.PosInfo.wcPosition : MapPoint{};
    }

    CMgrConfigUIInfoCourseCurrent* m_course = nullptr;
    std::vector<int> m_events;
};

bool Same(MapPoint a, MapPoint b) { return a.x == b.x && a.y == b.y; }

TEST_F(RoutePointTest, DestinationWithoutViaPointsIsSetAtOnce) {
    m_source.m_script.clear();
    const uint32_t before = m_source.Now();
    EXPECT_EQ(SetSearchResultAsCoursePoint(Choice(kGoal, kChoiceDestination)), 1);
    EXPECT_EQ(m_source.Now(), before);  // no question waited for
    EXPECT_TRUE(Same(Destination(), kGoal));
    EXPECT_EQ(m_course->m_eRouteType, 2);
    EXPECT_EQ(m_events, std::vector<int>{12});
}

TEST_F(RoutePointTest, DestinationOnTheStartIsRefused) {
    Answer({4});
    EXPECT_EQ(SetSearchResultAsCoursePoint(Choice(kStart, kChoiceDestination)), 0);
    EXPECT_TRUE(m_source.m_script.empty() || m_source.m_script.size() == 1);  // the box was answered
    EXPECT_FALSE(Same(Destination(), kStart));
    EXPECT_TRUE(m_events.empty());
}

TEST_F(RoutePointTest, DestinationOnAViaPointDependsOnTheAnswer) {
    ASSERT_GE(m_course->AddViaPoint(MakeCoursePos(kVia.x, kVia.y, u"경유"), 1), 0);
    // "예": keep the via points, but the place is one of them: refused with
    // the second message; the search mode stays "without via points".
    Answer({1, 4});
    EXPECT_EQ(SetSearchResultAsCoursePoint(Choice(kVia, kChoiceDestination)), 0);
    EXPECT_EQ(m_course->m_eRouteType, 2);
    EXPECT_FALSE(Same(Destination(), kVia));
    EXPECT_TRUE(m_events.empty());
    // "아니요": the destination replaces the route without via points.
    Answer({2});
    EXPECT_EQ(SetSearchResultAsCoursePoint(Choice(kVia, kChoiceDestination)), 1);
    EXPECT_EQ(m_course->m_eRouteType, 2);
    EXPECT_TRUE(Same(Destination(), kVia));
    // "예" on a free place: with the via points (mode 3).
    m_events.clear();
    Answer({1});
    EXPECT_EQ(SetSearchResultAsCoursePoint(Choice(kGoal, kChoiceDestination)), 1);
    EXPECT_EQ(m_course->m_eRouteType, 3);
    EXPECT_EQ(m_events, std::vector<int>{12});
    // Silence counts as "아니요".
    m_source.m_script.clear();
    EXPECT_EQ(SetSearchResultAsCoursePoint(Choice({66030000, 19730000}, kChoiceDestination)), 1);
    EXPECT_EQ(m_course->m_eRouteType, 2);
}

TEST_F(RoutePointTest, ViaPointsAndTheEditedSlot) {
    EXPECT_EQ(SetSearchResultAsCoursePoint(Choice(kVia, kChoiceViaPoint)), 1);
    EXPECT_EQ(CourseEditState().viaPointAdded, 1);
    const int added = CourseEditState().lastAddedViaSlot;
    ASSERT_GE(added, 0);
    _tagUISTRUCT_COURSEPOS point;
    ASSERT_EQ(m_course->GetPoint(added, &point), 1);
    EXPECT_TRUE(Same(point.PosInfo.wcPosition, kVia));
    EXPECT_EQ(m_events, std::vector<int>{16});
    // The same place again: refused with its message.
    Answer({4});
    EXPECT_EQ(SetSearchResultAsCoursePoint(Choice(kVia, kChoiceViaPoint)), 0);
    // Replacing the start: its own place is not "another point".
    CourseEditState().editedSlot = kCourseSlotStart;
    m_source.m_script.clear();
    EXPECT_EQ(SetSearchResultAsCoursePoint(Choice(kStart, kChoiceReplaceSlot, u"새 출발")), 1);
    ASSERT_EQ(m_course->GetStartPoint(&point), 1);
    EXPECT_EQ(std::u16string(CoursePosName(point)), u"새 출발");
    // Replacing the via slot with the start's place: refused.
    CourseEditState().editedSlot = added;
    Answer({4});
    EXPECT_EQ(SetSearchResultAsCoursePoint(Choice(kStart, kChoiceReplaceSlot)), 0);
    EXPECT_EQ(SetSearchResultAsCoursePoint(Choice(kGoal, 7)), 0);  // unknown mode
}

TEST_F(RoutePointTest, CheckPointIsFree) {
    m_source.m_script.clear();
    EXPECT_EQ(CheckPointIsFree(kGoal.x, kGoal.y, -1), 1);
    EXPECT_EQ(CheckPointIsFree(kStart.x, kStart.y, kCourseSlotStart), 1);
    Answer({4});
    EXPECT_EQ(CheckPointIsFree(kStart.x, kStart.y, -1), 0);
}

std::string Utf8(const std::u16string& t) { return platform::Utf16ToUtf8(t); }

TEST(RoutePointTextTest, DistanceAndPhone) {
    struct Case {
        uint32_t distance;
        uint16_t area;
        uint32_t number;
        const char16_t* second;
        const char* expected;
    } cases[] = {
        {999, 0, 0, u"", "현위치에서 999m"},
        {1000, 0, 0, u"", "현위치에서 1.0km"},
        {12345, 2, 5551234, u"", "현위치에서 12.3km (02)555-1234"},
        {50, 31, 1230001, u"", "현위치에서 50m (031)123-0001"},
        {50, 0, 5551234, u"", "현위치에서 50m"},  // no area code: no number
        {50, 2, 0, u"", "현위치에서 50m"},
        {50, 0, 0, u"본관", "현위치에서 50m\\n본관"},
        {50, 0, 0, u"서울역", "현위치에서 50m"},  // the same as the name
    };
    for (const Case& c : cases) {
        SearchResult r;
        r.nDistance = c.distance;
        r.wTelArea = c.area;
        r.uTelNumber = c.number;
        std::u16string_view name(u"서울역"), second(c.second);
        std::copy(name.begin(), name.end(), r.szName);
        std::copy(second.begin(), second.end(), r.szName2);
        std::u16string out;
        EXPECT_EQ(FormatDistanceAndPhone(r, out), 1);
        EXPECT_EQ(Utf8(out), c.expected);
    }
}

TEST(RoutePointTextTest, NamesLengthsAndCodes) {
    std::u16string out;
    FormatPointNameWithDistance(8, u"첫째", u"코스점", 999, out);
    EXPECT_EQ(Utf8(out), "첫째\\r[999m]");
    FormatPointNameWithDistance(1, u"첫째", u"코스점", 1000, out);
    EXPECT_EQ(Utf8(out), "코스점\\r[1.0km]");

    // Straight distances by the geodesy module, each pair truncated.
    const MapPoint near[] = {{66000000, 19700000}, {66000000, 19700524}, {66000000, 19701048}};
    const int32_t d1 = static_cast<int32_t>(GetDistanceUTM(near[0], near[1]));
    const int32_t d2 = static_cast<int32_t>(GetDistanceUTM(near[1], near[2]));
    ASSERT_LT(d1 + d2, 1000);
    FormatCourseLength(near, 3, out);
    EXPECT_EQ(Utf8(out), "코스 길이 : " + std::to_string(d1 + d2) + "m");
    const MapPoint far[] = {{66000000, 19700000}, {66000000, 19710000}};
    FormatCourseLength(far, 2, out);
    char expected[64];
    std::snprintf(expected, sizeof expected, "코스 길이 : %.1fkm",
                  static_cast<int32_t>(GetDistanceUTM(far[0], far[1])) / 1000.0);
    EXPECT_EQ(Utf8(out), expected);
    FormatCourseLength(far, 1, out);
    EXPECT_EQ(Utf8(out), "코스 길이 : 0m");

    const int32_t levels[][2] = {{0, -1},         {1, 1},          {98, 1},         {99, -1},
                                 {1000, -1},      {1001, 2},       {9998, 2},       {9999, -1},
                                 {100001, 3},     {999999, -1},    {10000001, 4},   {99999998, 4},
                                 {99999999, -1},  {-5, -1}};
    for (const auto& c : levels) EXPECT_EQ(GetAddressCodeLevel(c[0]), c[1]) << c[0];
}

TEST(RoutePointTextTest, RecordHeadAndAdjacentLookup) {
    uint8_t record[32];
    std::fill(std::begin(record), std::end(record), 0xEE);
    InitRoutePointRecord(record, 0x01020304, -2, 0x1111, 0x2222, 0x3333);
    const uint8_t expected[24] = {1,    0xEE, 0,    0,    1,    0xEE, 0xEE, 1,    0x33, 0x33, 0x11, 0x11,
                                  0x22, 0x22, 0,    0,    0x04, 0x03, 0x02, 0x01, 0xFE, 0xFF, 0xFF, 0xFF};
    for (int i = 0; i < 24; ++i) EXPECT_EQ(record[i], expected[i]) << i;
    EXPECT_EQ(record[24], 0xEE);
    InitRoutePointRecord(nullptr, 1, 2, 3, 4, 5);  // nothing to fill

    MapPoint asked{};
    SetAdjacentLookup([&](const MapPoint& near, std::u16string_view name, MapPoint* out) {
        asked = near;
        if (name != u"시청") return 0;
        *out = {near.x + 10, near.y + 20};
        return 1;
    });
    AdjacentPlace place{2, {100, 200}, u"시청"};
    MapPoint found{};
    EXPECT_EQ(FindAdjacentCoordinates(place, &found), 1);
    EXPECT_EQ(found.x, 110);
    EXPECT_EQ(found.y, 220);
    place.name = u"다른곳";
    EXPECT_EQ(FindAdjacentCoordinates(place, &found), 0);
    place.coordinateFlag = 1;
    asked = {};
    EXPECT_EQ(FindAdjacentCoordinates(place, &found), 0);
    EXPECT_EQ(asked.x, 0);  // not asked without flag 2
    SetAdjacentLookup({});
}

}  // namespace
