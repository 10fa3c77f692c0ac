// The UI utilities: the turn-code table, icon map, scale steps, road-sign
// and safety-point ids against the design's tables; the section gauge
// (including a section of no length); the message box fitted to the
// current chapter with each type's result bits, one box at a time, and
// box 1306 over a board as a golden; the guidance panel mode; the watch
// that forgets the last destination.
#include "shell_board_fixture.h"

#include <map>
#include <set>

#include "platform/clock.h"
#include "settings/course_current.h"
#include "settings/module_gps.h"
#include "shell/board_helper.h"
#include "shell/chapter_manager.h"
#include "shell/main_queue.h"
#include "shell/ui_utils.h"
#include "tests/uikit/golden_png.h"

namespace {

using shelltest::ShellBoardTest;

// The turn display codes and their guidance point types, as the design
// lists them.
struct TbtRow {
    int code;
    std::vector<int> types;
};
std::vector<int> Range(int first, int last) {
    std::vector<int> v;
    for (int i = first; i <= last; ++i) v.push_back(i);
    return v;
}
std::vector<int> Join(std::vector<int> a, const std::vector<int>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(UiUtilsTest, TurnTypeToTbtCodeFollowsTheTable) {
    std::vector<TbtRow> rows = {
        {0, Join(Join(Range(3, 8), {10, 34, 37, 38, 97, 122}), Range(131, 148))},
        {1, {19, 24, 36, 109, 119, 151, 153, 154}},
        {2, {13, 35, 56, 57, 108, 118, 150, 152}},
        {3, {17, 18}}, {4, {20, 21}}, {5, {11, 12}}, {6, {14, 15}}, {7, {22}}, {8, {100, 110}}, {9, {101, 111}},
        {10, {102, 106, 112, 116}}, {11, {103, 113, 125, 126}}, {12, {104, 114, 129, 130}},
        {13, {105, 107, 115, 117}}, {14, {30, 32, 98, 120, 123, 124}}, {15, {31, 33, 99, 121, 127, 128}},
        {16, {64, 72, 74}}, {17, {44, 52, 54}}, {18, {96}}, {19, {61, 69, 70}}, {20, {41, 49, 50}},
        {21, {42, 47, 48}}, {22, {93, 155}}, {23, Join({16}, Range(25, 29))}, {24, {81, 82}}, {25, {83}},
        {26, {84, 85}}, {27, {86}}, {28, {87, 88}}, {29, {89}}, {30, {90, 91}}, {31, {80, 92}},
        {32, {62, 67, 68}}, {33, {63, 71, 73}}, {34, {43, 51, 53}}, {35, {94, 95}}, {36, {60}}, {37, {65}},
        {38, {66}}, {39, {40, 55}}, {40, {45}}, {41, {46}}, {42, {300}}, {43, {318, 319, 320}},
        {44, {301, 302}}, {60, {23}}, {61, {39}},
    };
    for (int type = 303; type <= 317; ++type) rows.push_back({45 + type - 303, {type}});
    std::map<int, int> expected;
    for (const TbtRow& row : rows)
        for (int type : row.types) {
            ASSERT_EQ(expected.count(type), 0u) << "type " << type << " listed twice";
            expected[type] = row.code;
        }
    for (int type = -5; type <= 400; ++type) {
        const int want = expected.count(type) ? expected[type] : -1;
        EXPECT_EQ(TurnTypeToTbtCode(type), want) << "type " << type;
    }
    // Types named as having no code.
    for (int type : {0, 1, 2, 9, 58, 59, 75, 79, 149, 156, 299, 321}) EXPECT_EQ(TurnTypeToTbtCode(type), -1);
    EXPECT_EQ(TurnTypeToTbtCode(23), 60);
    EXPECT_EQ(TurnTypeToTbtCode(39), 61);

    EXPECT_EQ(ViaPointCodeToIndex(302), 0);
    EXPECT_EQ(ViaPointCodeToIndex(317), 15);
    EXPECT_EQ(ViaPointCodeToIndex(318), -1);
    EXPECT_EQ(ViaPointCodeToIndex(301), -1);
    EXPECT_EQ(IsTurnTypeRestArea(94) + IsTurnTypeRestArea(95), 2);
    EXPECT_EQ(IsTurnTypeRestArea(93), 0);
}

TEST(UiUtilsTest, IconMap) {
    UIIconMap map;
    const int facility[][2] = {{10, 1092}, {11, 1091}, {12, 1084}, {13, 1096}, {14, 1093}, {15, 1085}, {16, 1097},
                               {17, 1089}, {18, 1094}, {19, 1095}, {20, 1088}, {21, 1086}, {22, 1087}, {23, 1090},
                               {9, 0},     {24, 0}};
    for (const auto& c : facility) EXPECT_EQ(map.IconOf(1, c[0]), c[1]) << c[0];
    const int road[][2] = {{0, 886}, {1, 888}, {2, 889}, {3, 887}, {4, 887}, {5, 0}, {-1, 0}};
    for (const auto& c : road) EXPECT_EQ(map.IconOf(2, c[0]), c[1]) << c[0];
    EXPECT_EQ(map.IconOf(3, 19), 827);   // code 1
    EXPECT_EQ(map.IconOf(4, 39), 887);   // code 61
    EXPECT_EQ(map.IconOf(3, 9), 0);      // no code
    EXPECT_EQ(map.IconOf(5, 10), 0);
}

TEST(UiUtilsTest, MapScaleSteps) {
    MapScaleStep step;
    EXPECT_EQ(step.Reset(), 100);
    EXPECT_EQ(step.Up(), 200);
    EXPECT_EQ(step.Up(), 400);
    EXPECT_EQ(step.Up(), 800);
    EXPECT_EQ(step.Up(), 800);  // level 5 stays
    EXPECT_EQ(step.Current(), 800);
    step.Reset();
    EXPECT_EQ(step.Down(), 50);
    EXPECT_EQ(step.Down(), 20);
    EXPECT_EQ(step.Down(), 20);
    EXPECT_EQ(MapScaleStep::ValueOfLevel(9), 100);
    step.Reset();
}

TEST(UiUtilsTest, RoadSignIds) {
    const int table[][4] = {// kind, text id, image id, text style
                            {0, 213, 2346, 146}, {1, 211, 2348, 111}, {2, 214, 2347, 146},
                            {3, 212, 2349, 111}, {4, 212, 2349, 111}, {5, 0, 0, 0}};
    for (const auto& c : table) {
        EXPECT_EQ(GetRoadSignKindTextId(c[0]), c[1]) << c[0];
        EXPECT_EQ(GetRoadSignImageId(c[0]), c[2]) << c[0];
        EXPECT_EQ(GetRoadSignTextStyle(c[0]), c[3]) << c[0];
    }
    RoadSignRecord sign;
    sign.kind = 1;
    EXPECT_EQ(IsRoadSignValid(sign), 0);  // no numbers
    sign.count = 1;
    EXPECT_EQ(IsRoadSignValid(sign), 1);
    EXPECT_EQ(IsRoadSignKindPrimary(sign), 1);
    sign.kind = 2;
    EXPECT_EQ(IsRoadSignKindPrimary(sign), 0);
    sign.kind = 5;
    EXPECT_EQ(IsRoadSignValid(sign), 0);
}

TEST(UiUtilsTest, SafetyPointImages) {
    const int table[][3] = {// kind, limit, image
                            {0, 30, 3148},  {0, 110, 3156}, {1, 60, 3195},  {7, 60, 3195},  {2, 80, 3209},
                            {3, 100, 3187}, {4, 0, 3161},   {5, 0, 3162},   {6, 0, 3163},   {8, 60, 0},
                            {9, 0, 3175},   {12, 0, 3175},  {15, 0, 3175},  {13, 0, 3160},  {14, 0, 3160},
                            {16, 0, 3167},  {17, 0, 3165},  {18, 0, 3170},  {19, 0, 3172},  {20, 0, 3173},
                            {21, 0, 3173},  {22, 0, 3174},  {23, 0, 3168},  {24, 0, 3171},  {25, 0, 3164},
                            {26, 0, 3169},  {27, 0, 3177},  {28, 0, 3176},  {29, 0, 3178},  {30, 0, 3179},
                            {31, 0, 0},     {-1, 0, 0}};
    for (const auto& c : table) EXPECT_EQ(GetSafetyPointImageId({c[0], c[1], 0}), c[2]) << c[0] << "/" << c[1];

    const SafetyPointRecord points[] = {{0, 50, 0}, {8, 0, 0}};
    SafetyGuideInfo info;
    info.points = points;
    info.pointCount = 2;
    int32_t id = -1;
    EXPECT_EQ(GetCurrentSafetyPointImageId(info, &id), 1);
    EXPECT_EQ(id, 3150);
    info.currentIndex = 1;  // kind 8 has no image
    EXPECT_EQ(GetCurrentSafetyPointImageId(info, &id), 0);
    info.currentIndex = 2;  // past the count
    EXPECT_EQ(GetCurrentSafetyPointImageId(info, &id), 0);
}

TEST(UiUtilsTest, SectionSpeedGauge) {
    SafetyGuideInfo info;
    info.sectionRunning = 1;
    info.sectionLimitKmh = 80;
    info.sectionLengthM = 4000;
    struct Case {
        int32_t travelled;
        int32_t image;
    } cases[] = {
        {0, 3265 + 3 * 17},         {249, 3265 + 3 * 17},      {250, 3265 + 3 * 17 + 1},
        {2000, 3265 + 3 * 17 + 8},  {4000, 3265 + 3 * 17 + 16}, {9000, 3265 + 3 * 17 + 16},
    };
    for (const Case& c : cases) {
        info.sectionTravelledM = c.travelled;
        int32_t out = 0;
        EXPECT_EQ(GetSectionSpeedGaugeImageId(info, &out), 1);
        EXPECT_EQ(out, c.image) << c.travelled;
    }
    // A section of no length: no progress, no division by zero.
    info.sectionLengthM = 0;
    info.sectionTravelledM = 300;
    int32_t out = 0;
    EXPECT_EQ(GetSectionSpeedGaugeImageId(info, &out), 1);
    EXPECT_EQ(out, 3265 + 3 * 17);
    // Refusals: below 50 km/h, not running, a plain point while in state 1.
    info.sectionLimitKmh = 40;
    EXPECT_EQ(GetSectionSpeedGaugeImageId(info, &out), 0);
    info.sectionLimitKmh = 50;
    EXPECT_EQ(GetSectionSpeedGaugeImageId(info, &out), 1);
    EXPECT_EQ(out, 3265);
    const SafetyPointRecord plain[] = {{0, 50, 0}};
    info.points = plain;
    info.pointCount = 1;
    info.safetyState = 1;
    EXPECT_EQ(GetSectionSpeedGaugeImageId(info, &out), 0);
    info.sectionRunning = 0;
    info.safetyState = 0;
    EXPECT_EQ(GetSectionSpeedGaugeImageId(info, &out), 0);
}

TEST(UiUtilsTest, AverageAndSpeedValues) {
    int32_t kmh = -1;
    EXPECT_EQ(GetAverageSpeed({30000, 1800}, &kmh), 1);
    EXPECT_EQ(kmh, 60);
    EXPECT_EQ(GetAverageSpeed({100, 3}, &kmh), 0);
    EXPECT_EQ(kmh, 0);
    int32_t v = -1;
    for (int kind : {0, 1, 2, 7, 8}) {
        EXPECT_EQ(GetSpeedValue({kind, 57}, &v), 1);
        EXPECT_EQ(v, 57);
    }
    EXPECT_EQ(GetSpeedValue({1, -4}, &v), 1);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(GetSpeedValue({3, 57}, &v), 0);
    EXPECT_EQ(v, 0);
}

// ---- message boxes over boards

class ChapterMessageBoxTest : public ShellBoardTest {
protected:
    void SetUp() override {
        StartHost();
        BoardHelper::SetHost(m_host.get());
        ASSERT_EQ(m_host->LoadBoard(1), 1);
        SetChapterUiHooks({[this] { return m_chapter; }, [this](int show) { m_frameCalls.push_back(show); }, {}});
    }
    void TearDown() override {
        SetChapterUiHooks({});
        BoardHelper::SetHost(nullptr);
        ShellBoardTest::TearDown();
    }
    // The screen point of child `child` of a centred box of that script.
    uint32_t ButtonPoint(int32_t script, int child) {
        const tagUISCRIPT_CONTROL* box = m_host->Script()->GetControl(script);
        const tagUISCRIPT_CONTROL* button = m_host->Script()->GetControl(script + 1 + child);
        const int32_t x = 400 - box->width / 2 + button->image[0].x + button->width / 2;
        const int32_t y = 240 - box->height / 2 + button->image[0].y + button->height / 2;
        return NvMakePoint(x, y);
    }
    void Press(int32_t script, int child) {
        m_source.m_script.clear();
        m_source.Add(100, kNvWmLButtonDown, 0, ButtonPoint(script, child));
    }
    int m_chapter = 0;
    std::vector<int> m_frameCalls;
};

TEST_F(ChapterMessageBoxTest, ScriptFollowsTheChapter) {
    int style = -1;
    EXPECT_EQ(MessageBoxScriptForChapter(31, &style), 1306);
    EXPECT_EQ(style, 1);
    for (int map : {16, 95, 19, 18, 21, 33, 96}) EXPECT_EQ(MessageBoxScriptForChapter(map, &style), 1326) << map;
    for (int other : {0, 3, 17, 30, 32, 160}) {
        EXPECT_EQ(MessageBoxScriptForChapter(other, &style), 779) << other;
        EXPECT_EQ(style, 0);
    }
}

TEST_F(ChapterMessageBoxTest, EachTypeAnswersItsBits) {
    // Child numbers: 4 the single button; 1, 2 of two; 3, 4, 5 of three.
    struct Case {
        int type;
        int child;
        uint32_t result;
    } cases[] = {
        {1, 4, 0x2000},  {2, 1, 0x2000},  {2, 2, 0x4000},  {4, 1, 0x8000},  {4, 2, 0x10000},
        {8, 3, 0x20000}, {8, 4, 0x40000}, {8, 5, 0x4000},  {16, 3, 0x8000}, {16, 4, 0x10000},
        {16, 5, 0x80000},
    };
    for (int chapter : {0, 31, 16}) {
        m_chapter = chapter;
        const int32_t script = MessageBoxScriptForChapter(chapter, nullptr);
        for (const Case& c : cases) {
            SCOPED_TRACE("chapter " + std::to_string(chapter) + " type " + std::to_string(c.type) + " child " +
                         std::to_string(c.child));
            Press(script, c.child);
            EXPECT_EQ(ShowChapterMessageBox(c.type, u"확인", 5000), c.result);
        }
    }
    // Silence: the time-out bit; an unknown type shows nothing.
    m_chapter = 0;
    m_source.m_script.clear();
    const uint32_t start = m_source.Now();
    EXPECT_EQ(ShowChapterMessageBox(2, u"확인", 5000), 0x1000u);
    EXPECT_EQ(m_source.Now(), start + 5000);
    EXPECT_EQ(ShowChapterMessageBox(3, u"확인", 5000), 0x10000000u);
}

TEST_F(ChapterMessageBoxTest, OneBoxAtATimeAndTheFrameHiddenOverTheMap) {
    m_chapter = 16;
    uint32_t inner = 0;
    m_source.onDispatch = [&](const NvMessage&) { inner = ShowChapterMessageBox(1, u"둘째", 5000); };
    m_source.Add(50, 0x113, 1026);  // a timer tick while the box is open
    Press(1326, 4);
    m_source.m_script.push_front({0x113, 1026, 0, m_source.Now() + 50});
    EXPECT_EQ(ShowChapterMessageBox(1, u"첫째", 5000), 0x2000u);
    EXPECT_EQ(inner, 0x10000000u);
    EXPECT_EQ(m_frameCalls, (std::vector<int>{0, 1}));
    // Elsewhere the frame is left alone.
    m_chapter = 0;
    m_frameCalls.clear();
    m_source.onDispatch = nullptr;
    Press(779, 4);
    EXPECT_EQ(ShowChapterMessageBox(1, u"확인", 5000), 0x2000u);
    EXPECT_TRUE(m_frameCalls.empty());
}

TEST_F(ChapterMessageBoxTest, Box1306OverABoardGolden) {
    m_chapter = 31;
    m_host->DrawFrame(true, true);
    int differ = -2;
    m_source.onDispatch = [&](const NvMessage&) {
        NvPresent(0, 0, 800, 480, 0, 0);
        differ = uitest::CompareGolden(m_window->Frame(), "shell_message_box_1306");
    };
    m_source.m_script.clear();
    m_source.Add(50, 0x113, 1026);
    m_source.Add(100, kNvWmLButtonDown, 0, ButtonPoint(1306, 1));
    EXPECT_EQ(ShowChapterMessageBox(2, u"지정하신 지점이 설정되어 있는\\n다른 지점과 같은 위치입니다.", 5000),
              0x2000u);
    EXPECT_GE(differ, 0) << "golden missing";
    EXPECT_LE(differ, 800 * 480 / 500);  // 0.2 % of the pixels (glyph edges)
}

TEST_F(ChapterMessageBoxTest, WithoutHooksTheLiveChapterManagerDecides) {
    SetChapterUiHooks({});
    ChapterFactory none;
    const ChapterTransition end[1] = {};
    int32_t shownScript = 0;
    m_source.onDispatch = [&](const NvMessage&) {
        if (NvToolkit().messageBox) shownScript = NvToolkit().messageBox->m_controlId;
    };
    for (const auto& [chapter, script] : std::vector<std::pair<int32_t, int32_t>>{{31, 1306}, {95, 1326}, {40, 779}}) {
        SCOPED_TRACE(chapter);
        ChapterManager manager(end, chapter, &none);
        m_source.m_script.clear();
        m_source.Add(50, 0x113, 1026);
        m_source.Add(50, kNvWmLButtonDown, 0, ButtonPoint(script, 4));
        EXPECT_EQ(ShowChapterMessageBox(1, u"확인", 5000), 0x2000u);
        EXPECT_EQ(shownScript, script);
    }
    // Chapter events go to the main queue.
    MainQueue::Instance().Clear();
    PostChapterEventFromUi(16);
    MainMessage message;
    ASSERT_TRUE(MainQueue::Instance().TryTake(message));
    EXPECT_EQ(message.message, kWmChapterEvent);
    EXPECT_EQ(message.wParam, 16u);
}

// ---- guidance panel mode

class GuidePanelModeTest : public ShellBoardTest {
protected:
    void SetUp() override {
        StartHost();
        BoardHelper::SetHost(m_host.get());
        ASSERT_EQ(m_host->LoadBoard(152), 1);  // 98 at x 100 (left), 143 at x 500 (right)
        m_in.junctionImageExists = [this](int, int32_t id) { return m_images.count(id) > 0; };
    }
    void TearDown() override {
        BoardHelper::SetHost(nullptr);
        ShellBoardTest::TearDown();
    }
    GuidePanelInputs m_in;
    std::set<int32_t> m_images = {26000001, 17000002, 5000003};
    CGuidePanelMode m_mode;
};

TEST_F(GuidePanelModeTest, CandidatesSettingsAndSides) {
    EXPECT_EQ(m_mode.Update(m_in), 0);
    EXPECT_EQ(m_mode.GetMode(), 1);
    EXPECT_EQ(m_mode.IsLeftSide(), 1);
    // A junction view of the first kind, left of the middle.
    m_in.junctionValid = 1;
    m_in.junctionKind = 1;
    m_in.junctionId = 26000001;
    EXPECT_EQ(m_mode.Update(m_in), 1);
    EXPECT_EQ(m_mode.GetMode(), 2);
    // Class 26 switched off by item 74.
    m_in.showClass26 = 0;
    m_mode.Update(m_in);
    EXPECT_EQ(m_mode.GetMode(), 1);
    m_in.showClass26 = 1;
    // No image: normal.
    m_in.junctionId = 26000009;
    m_mode.Update(m_in);
    EXPECT_EQ(m_mode.GetMode(), 1);
    // Not valid: normal.
    m_in.junctionId = 26000001;
    m_in.junctionValid = 0;
    m_mode.Update(m_in);
    EXPECT_EQ(m_mode.GetMode(), 1);
    // Second kind, then the second panel; the highway panel sides by 143.
    m_in.junctionValid = 1;
    m_in.junctionKind = 2;
    m_in.junctionId = 5000003;
    m_mode.Update(m_in);
    EXPECT_EQ(m_mode.GetMode(), 8);
    m_in.junctionKind = 0;
    m_in.secondPanel = 1;
    m_in.secondPanelId = 44;
    m_mode.Update(m_in);
    EXPECT_EQ(m_mode.GetMode(), 64);
    m_in.secondPanelOn = 0;
    m_mode.Update(m_in);
    EXPECT_EQ(m_mode.GetMode(), 1);
    m_in.secondPanel = 0;
    m_in.highwayPanel = 1;
    m_mode.Update(m_in);
    EXPECT_EQ(m_mode.GetMode(), 512);
    m_mode.SetHighwayDismissed(1);
    m_mode.Update(m_in);
    EXPECT_EQ(m_mode.GetMode(), 1);
    EXPECT_EQ(m_mode.WasClosedByFlag(), 1);
}

TEST_F(GuidePanelModeTest, ADismissedViewStaysClosedUntilAnotherComes) {
    m_in.junctionValid = 1;
    m_in.junctionKind = 1;
    m_in.junctionId = 26000001;
    m_mode.Update(m_in);
    ASSERT_EQ(m_mode.GetMode(), 2);
    m_mode.DismissJunctionView(26000001);
    m_mode.Update(m_in);
    EXPECT_EQ(m_mode.GetMode(), 1);
    m_mode.Update(m_in);
    EXPECT_EQ(m_mode.GetMode(), 1);
    m_in.junctionId = 17000002;  // another view
    m_mode.Update(m_in);
    EXPECT_EQ(m_mode.GetMode(), 2);
    m_in.junctionId = 26000001;  // the first one comes back: shown again
    m_mode.Update(m_in);
    EXPECT_EQ(m_mode.GetMode(), 2);
}

// ---- the last destination watch

TEST(DestinationWatchTest, EndsAfterTenMinutesOrFiveHundredMetres) {
    platform::FakeClock clock(1000);
    platform::ScopedClock scoped(clock);
    CMgrConfigUIInfoCourseCurrent* course = CMgrConfigUIInfoCourseCurrent::Instance();
    CMgrConfigModuleGPS* gps = CMgrConfigModuleGPS::Instance();
    const MapPoint goal{66000000, 19700000};

    // Nothing routed: no watch.
    course->GetRoutedCourse().Reset();
    StartDestinationWatch();
    EXPECT_EQ(IsDestinationWatched(), 0);

    course->GetRoutedCourse().SetPoint(kCourseSlotGoal, MakeCoursePos(goal.x, goal.y, u"목적지"));
    course->GetRoutedCourse().Body().bGoalUserPos = 1;
    tagMAPMATCHINFO match{};
    match.x = goal.x;
    match.y = goal.y;
    gps->SetMatchInfo(match);
    StartDestinationWatch();
    ASSERT_EQ(IsDestinationWatched(), 1);
    clock.Advance(600000);
    CheckDestinationWatch();
    EXPECT_EQ(IsDestinationWatched(), 1);  // exactly ten minutes: still watched
    clock.Advance(1);
    CheckDestinationWatch();
    EXPECT_EQ(IsDestinationWatched(), 0);
    EXPECT_EQ(course->GetSavedDestination(nullptr), 0);

    // Moving away: 1/524288 degree units; 0.01 degree north is about 1.1 km.
    StartDestinationWatch();
    ASSERT_EQ(IsDestinationWatched(), 1);
    match.y = goal.y + 5243;
    gps->SetMatchInfo(match);
    CheckDestinationWatch();
    EXPECT_EQ(IsDestinationWatched(), 0);
    course->GetRoutedCourse().Reset();
}

}  // namespace
