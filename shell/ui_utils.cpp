#include "shell/ui_utils.h"

#include <algorithm>
#include <array>

#include "foundation/coords.h"
#include "foundation/mgr_text.h"
#include "platform/clock.h"
#include "settings/course_current.h"
#include "settings/module_gps.h"
#include "shell/board_helper.h"
#include "shell/chapter_manager.h"
#include "uikit/board_manager.h"
#include "uikit/message_box.h"

// ---------------------------------------------------------------- message boxes

namespace {

ChapterUiHooks& Hooks() {
    static ChapterUiHooks hooks;
    return hooks;
}

// The live chapter manager's current chapter unless a hook says otherwise.
int CurrentChapterId() {
    if (Hooks().currentChapterId) return Hooks().currentChapterId();
    const ChapterManager* manager = ChapterManager::Current();
    return manager ? manager->GetCurrentChapterId() : 0;
}

// The map screens: the box is fitted over the map and the frame hidden.
bool IsMapChapter(int id) {
    switch (id) {
        case 16: case 95: case 19: case 18: case 21: case 33: case 96:
            return true;
        default:
            return false;
    }
}

constexpr int kTextTableGeneral = 1;
constexpr int kTextTableMap = 2;

struct BoxType {
    int type;
    int buttons;
    int textIds[3];
    uint32_t results[3];
};

constexpr BoxType kBoxTypes[] = {
    {1, 1, {122, 0, 0}, {kMsgResultOk, 0, 0}},
    {2, 2, {122, 119, 0}, {kMsgResultOk, kMsgResultCancel, 0}},
    {4, 2, {124, 121, 0}, {kMsgResultYes, kMsgResultNo, 0}},
    {8, 3, {118, 120, 119}, {kMsgResultFirst8, kMsgResultSecond8, kMsgResultCancel}},
    {16, 3, {124, 121, 123}, {kMsgResultYes, kMsgResultNo, kMsgResultThird16}},
};

}  // namespace

void SetChapterUiHooks(ChapterUiHooks hooks) { Hooks() = std::move(hooks); }

void PostChapterEventFromUi(int event) {
    if (Hooks().postChapterEvent) Hooks().postChapterEvent(event);
    else ChapterManager::PostChapterEvent(event);
}

int32_t MessageBoxScriptForChapter(int chapterId, int* style) {
    if (style) *style = 0;
    if (chapterId == 31) {
        if (style) *style = 1;
        return 1306;
    }
    return IsMapChapter(chapterId) ? 1326 : 779;
}

uint32_t ShowChapterMessageBox(int type, const char16_t* text, int timeoutMs) {
    const BoxType* box = nullptr;
    for (const BoxType& b : kBoxTypes)
        if (b.type == type) box = &b;
    if (!box || NvIsMessageBoxOpen()) return kMsgResultNone;
    int style = 0;
    const int32_t script = MessageBoxScriptForChapter(CurrentChapterId(), &style);
    const char16_t* captions[3] = {nullptr, nullptr, nullptr};
    for (int i = 0; i < box->buttons; ++i) captions[i] = GetMgrText(kTextTableMap, box->textIds[i]);
    const bool hideFrame = script == 1326 && Hooks().showDesktopFrame;
    if (hideFrame) Hooks().showDesktopFrame(0);
    const uint16_t timeout = static_cast<uint16_t>(std::clamp(timeoutMs, 0, 0xFFFF));
    const int answer = NvShowMessageBox(script, text ? text : u"", box->buttons, captions[0], captions[1],
                                        captions[2], timeout, style);
    if (hideFrame) Hooks().showDesktopFrame(1);
    if (answer == 0) return kMsgResultTimeout;
    if (answer >= 1 && answer <= box->buttons) return box->results[answer - 1];
    return kMsgResultNone;
}

uint32_t ShowChapterMessageBoxById(int type, int textId, int timeoutMs) {
    const int chapter = CurrentChapterId();
    const int table = chapter == 31 || IsMapChapter(chapter) ? kTextTableMap : kTextTableGeneral;
    return ShowChapterMessageBox(type, GetMgrText(table, textId), timeoutMs);
}

// ---------------------------------------------------------------- icons and turn codes

int32_t UIIconMap::FacilityIcon(int value) const {
    static constexpr int32_t kIcons[] = {1092, 1091, 1084, 1096, 1093, 1085, 1097,
                                         1089, 1094, 1095, 1088, 1086, 1087, 1090};
    return value >= 10 && value <= 23 ? kIcons[value - 10] : 0;
}

int32_t UIIconMap::RoadKindIcon(int value) const {
    switch (value) {
        case 0: return 886;
        case 1: return 888;
        case 2: return 889;
        case 3: case 4: return 887;
        default: return 0;
    }
}

int32_t UIIconMap::TurnIcon(int value) const {
    const int code = TurnTypeToTbtCode(value);
    return code == -1 ? 0 : 826 + code;
}

int32_t UIIconMap::IconOf(int kind, int value) const {
    switch (kind) {
        case 1: return FacilityIcon(value);
        case 2: return RoadKindIcon(value);
        case 3: case 4: return TurnIcon(value);
        default: return 0;
    }
}

namespace {

// Turn display code by guidance point type, 0..320.
std::array<int8_t, 321> MakeTbtTable() {
    std::array<int8_t, 321> t;
    t.fill(-1);
    auto set = [&](int code, std::initializer_list<int> types) {
        for (int type : types) t[static_cast<size_t>(type)] = static_cast<int8_t>(code);
    };
    auto range = [&](int code, int first, int last) {
        for (int type = first; type <= last; ++type) t[static_cast<size_t>(type)] = static_cast<int8_t>(code);
    };
    range(0, 3, 8);
    set(0, {10, 34, 37, 38, 97, 122});
    range(0, 131, 148);
    set(1, {19, 24, 36, 109, 119, 151, 153, 154});
    set(2, {13, 35, 56, 57, 108, 118, 150, 152});
    set(3, {17, 18});
    set(4, {20, 21});
    set(5, {11, 12});
    set(6, {14, 15});
    set(7, {22});
    set(8, {100, 110});
    set(9, {101, 111});
    set(10, {102, 106, 112, 116});
    set(11, {103, 113, 125, 126});
    set(12, {104, 114, 129, 130});
    set(13, {105, 107, 115, 117});
    set(14, {30, 32, 98, 120, 123, 124});
    set(15, {31, 33, 99, 121, 127, 128});
    set(16, {64, 72, 74});
    set(17, {44, 52, 54});
    set(18, {96});
    set(19, {61, 69, 70});
    set(20, {41, 49, 50});
    set(21, {42, 47, 48});
    set(22, {93, 155});
    set(23, {16});
    range(23, 25, 29);
    set(24, {81, 82});
    set(25, {83});
    set(26, {84, 85});
    set(27, {86});
    set(28, {87, 88});
    set(29, {89});
    set(30, {90, 91});
    set(31, {80, 92});
    set(32, {62, 67, 68});
    set(33, {63, 71, 73});
    set(34, {43, 51, 53});
    set(35, {94, 95});
    set(36, {60});
    set(37, {65});
    set(38, {66});
    set(39, {40, 55});
    set(40, {45});
    set(41, {46});
    set(42, {300});
    set(43, {318, 319, 320});
    set(44, {301, 302});
    for (int type = 303; type <= 317; ++type) t[static_cast<size_t>(type)] = static_cast<int8_t>(45 + type - 303);
    set(60, {23});
    set(61, {39});
    return t;
}

}  // namespace

int TurnTypeToTbtCode(int type) {
    static const std::array<int8_t, 321> kTable = MakeTbtTable();
    if (type < 0 || type > 320) return -1;
    return kTable[static_cast<size_t>(type)];
}

int ViaPointCodeToIndex(int type) { return type >= 302 && type <= 317 ? type - 302 : -1; }

int IsTurnTypeRestArea(int type) { return type == 94 || type == 95 ? 1 : 0; }

// ---------------------------------------------------------------- scale step

namespace {
int g_scaleLevel = 2;
}

int32_t MapScaleStep::ValueOfLevel(int level) {
    static constexpr int32_t kSteps[] = {20, 50, 100, 200, 400, 800};
    return level >= 0 && level <= 5 ? kSteps[level] : 100;
}
int MapScaleStep::Level() { return g_scaleLevel; }
int32_t MapScaleStep::Reset() {
    g_scaleLevel = 2;
    return ValueOfLevel(g_scaleLevel);
}
int32_t MapScaleStep::Current() const { return ValueOfLevel(g_scaleLevel); }
int32_t MapScaleStep::Up() {
    g_scaleLevel = std::min(g_scaleLevel + 1, 5);
    return ValueOfLevel(g_scaleLevel);
}
int32_t MapScaleStep::Down() {
    g_scaleLevel = std::max(g_scaleLevel - 1, 0);
    return ValueOfLevel(g_scaleLevel);
}

// ---------------------------------------------------------------- road signs

int IsRoadSignValid(const RoadSignRecord& sign) { return sign.count != 0 && sign.kind >= 0 && sign.kind <= 4; }
int IsRoadSignKindPrimary(const RoadSignRecord& sign) { return sign.kind == 0 || sign.kind == 1; }

int32_t GetRoadSignKindTextId(int kind) {
    switch (kind) {
        case 0: return 213;
        case 1: return 211;
        case 2: return 214;
        case 3: case 4: return 212;
        default: return 0;
    }
}

int32_t GetRoadSignImageId(int kind) {
    switch (kind) {
        case 0: return 2346;
        case 1: return 2348;
        case 2: return 2347;
        case 3: case 4: return 2349;
        default: return 0;
    }
}

int32_t GetRoadSignTextStyle(int kind) {
    switch (kind) {
        case 0: case 2: return 146;
        case 1: case 3: case 4: return 111;
        default: return 0;
    }
}

namespace {

// The reference control of a kind: kinds 0, 1, 2 and 3-4 in that order.
int32_t RefControl(int kind, int32_t k0, int32_t k1, int32_t k2, int32_t k34) {
    switch (kind) {
        case 0: return k0;
        case 1: return k1;
        case 2: return k2;
        case 3: case 4: return k34;
        default: return -1;
    }
}

int RefPos(int32_t id, int32_t* x, int32_t* y) {
    if (x) *x = 0;
    if (y) *y = 0;
    NvControl* c = id < 0 ? nullptr : BoardHelper::Control(id);
    if (!c) return 0;
    if (x) *x = c->m_rect.x;
    if (y) *y = c->m_rect.y;
    return 1;
}

int32_t RefY(int32_t id) {
    int32_t y = 0;
    RefPos(id, nullptr, &y);
    return y;
}

int32_t RefX(int32_t id) {
    int32_t x = 0;
    RefPos(id, &x, nullptr);
    return x;
}

}  // namespace

int32_t GetRoadSignTextY(int kind) { return RefY(RefControl(kind, 251, 253, 252, 254)); }
int32_t GetRoadSignNameY(int kind) { return RefY(RefControl(kind, 18, 20, 19, 21)); }
int32_t GetRoadSignNameYAlt(int kind) { return RefY(RefControl(kind, 18, 20, 19, 21)); }
int GetRoadSignBadgePos(int kind, int32_t* x, int32_t* y) { return RefPos(RefControl(kind, 243, 245, 244, 246), x, y); }
int GetRoadSignIconPos(int kind, int32_t* x, int32_t* y) { return RefPos(RefControl(kind, 115, 116, 117, 118), x, y); }
int GetRoadSignNumberPos(int kind, int32_t* x, int32_t* y) { return RefPos(RefControl(kind, 14, 15, 16, 17), x, y); }
int32_t GetRoadSignTextX(int kind) { return RefX(RefControl(kind, 247, 249, 248, 250)); }

int32_t GetRoadSignImageWidth() {
    NvImageData* image = BoardHelper::LoadImage(2346);
    if (!image) return 0;
    const int32_t width = image->width;
    BoardHelper::ReleaseImage(image);
    return width;
}

// ---------------------------------------------------------------- safety points

int32_t GetSafetyPointImageId(const SafetyPointRecord& point) {
    const int32_t v = point.speedLimitKmh;
    switch (point.kind) {
        case 0: return 3148 + (v - 30) / 10;
        case 1: case 7: return 3192 + (v - 30) / 10;
        case 2: return 3204 + (v - 30) / 10;
        case 3: return 3180 + (v - 30) / 10;
        case 4: return 3161;
        case 5: return 3162;
        case 6: return 3163;
        case 8: return 0;
        case 9: case 10: case 11: case 12: case 15: return 3175;
        case 13: case 14: return 3160;
        case 16: return 3167;
        case 17: return 3165;
        case 18: return 3170;
        case 19: return 3172;
        case 20: case 21: return 3173;
        case 22: return 3174;
        case 23: return 3168;
        case 24: return 3171;
        case 25: return 3164;
        case 26: return 3169;
        case 27: return 3177;
        case 28: return 3176;
        case 29: return 3178;
        case 30: return 3179;
        default: return 0;
    }
}

namespace {

const SafetyPointRecord* CurrentPoint(const SafetyGuideInfo& info) {
    if (!info.points || info.currentIndex < 0 || info.currentIndex >= info.pointCount) return nullptr;
    return &info.points[info.currentIndex];
}

}  // namespace

int GetCurrentSafetyPointImageId(const SafetyGuideInfo& info, int32_t* out) {
    const SafetyPointRecord* point = CurrentPoint(info);
    const int32_t id = point ? GetSafetyPointImageId(*point) : 0;
    if (out) *out = id;
    return id != 0 ? 1 : 0;
}

int GetSectionSpeedGaugeImageId(const SafetyGuideInfo& info, int32_t* out) {
    if (!info.sectionRunning) return 0;
    if (info.safetyState == 1) {
        const SafetyPointRecord* point = CurrentPoint(info);
        if (point && point->secondWord == 0 && point->kind != 8) return 0;
    }
    if (info.sectionLimitKmh < 50) return 0;
    // A section of no length has no progress to show (no division by it).
    int32_t cell = 0;
    if (info.sectionLengthM > 0) {
        const int64_t progress = 16 * static_cast<int64_t>(info.sectionTravelledM) / info.sectionLengthM;
        cell = static_cast<int32_t>(std::clamp<int64_t>(progress, 0, 16));
    }
    if (out) *out = 3265 + ((info.sectionLimitKmh - 50) / 10) * 17 + cell;
    return 1;
}

int GetAverageSpeed(const TripRecord& trip, int32_t* outKmh) {
    if (!outKmh) return 0;
    *outKmh = 0;
    if (trip.timeS <= 3) return 0;
    *outKmh = static_cast<int32_t>((trip.distanceM / 1000.0) / (trip.timeS / 3600.0));
    return 1;
}

int GetSpeedValue(const SpeedRecord& record, int32_t* out) {
    if (!out) return 0;
    switch (record.kind) {
        case 0: case 1: case 2: case 7: case 8:
            *out = std::max(record.value, 0);
            return 1;
        default:
            *out = 0;
            return 0;
    }
}

// ---------------------------------------------------------------- destination watch

namespace {

constexpr uint32_t kWatchSpanMs = 600000;
constexpr double kWatchRadiusM = 500.0;
bool g_watching = false;
uint32_t g_watchStartTick = 0;

}  // namespace

void StartDestinationWatch() {
    CMgrConfigUIInfoCourseCurrent* course = CMgrConfigUIInfoCourseCurrent::Instance();
    if (course->SaveRoutedDestination() == 1) {
        g_watchStartTick = platform::GetTickCount();
        g_watching = true;
    } else {
        g_watching = false;
    }
}

void CheckDestinationWatch() {
    if (!g_watching) return;
    if (platform::GetTickCount() - g_watchStartTick > kWatchSpanMs) {
        EndDestinationWatch();
        return;
    }
    _tagUISTRUCT_COURSEPOS saved;
    if (CMgrConfigUIInfoCourseCurrent::Instance()->GetSavedDestination(&saved) != 1) return;
    const MapPoint here = CMgrConfigModuleGPS::Instance()->GetMatchedPosition();
    if (GetDistanceUTM(here, saved.PosInfo.wcPosition) > kWatchRadiusM) EndDestinationWatch();
}

void EndDestinationWatch() {
    g_watching = false;
    g_watchStartTick = 0;
    CMgrConfigUIInfoCourseCurrent::Instance()->ClearSavedDestination();
}

int IsDestinationWatched() { return g_watching ? 1 : 0; }

// ---------------------------------------------------------------- guidance panel mode

int CGuidePanelMode::Update(const GuidePanelInputs& in) {
    const int32_t old = m_mode;
    m_closedByFlag = 0;
    int32_t mode = kNormal;
    if (in.junctionKind == 1) mode = kJunction;
    else if (in.junctionKind == 2) mode = kJunction2;
    else if (in.secondPanel == 1) mode = kSecond;
    else {
        m_dismissedSecondId = -1;
        m_dismissedJunctionId = 0;
        m_steppedJunctionId = 0;
        m_stepCount = 0;
    }
    if ((mode == kJunction || mode == kJunction2) && in.junctionValid == 0) mode = kNormal;

    const int32_t idClass = in.junctionId / 1000000;
    if (mode == kJunction) {
        if (!in.junctionViewsOn) mode = kNormal;
        else if (!in.showClass26 && idClass == 26) mode = kNormal;
        else if (!in.showClass17 && idClass == 17) mode = kNormal;
    } else if (mode == kJunction2 && !in.junctionViewsOn) {
        mode = kNormal;
    } else if (mode == kSecond && !in.secondPanelOn) {
        mode = kNormal;
    }

    if (mode == kSecond) {
        if (in.secondPanelId == m_dismissedSecondId) mode = kNormal;
        else m_dismissedSecondId = -1;
    } else if (mode == kJunction) {
        if (in.junctionId == m_dismissedJunctionId) mode = kNormal;
        else m_dismissedJunctionId = 0;
    } else if (mode == kJunction2) {
        if (in.junctionId == m_steppedJunctionId) {
            mode = kNormal;
        } else {
            m_steppedJunctionId = 0;
            m_stepCount = 0;
        }
    }

    if ((mode == kJunction || mode == kJunction2) &&
        !(in.junctionImageExists && in.junctionImageExists(mode == kJunction ? 1 : 2, in.junctionId)))
        mode = kNormal;

    if (mode == kNormal && in.highwayPanel == 1) mode = kHighway;
    if (mode == kHighway && m_highwayDismissed) {
        mode = kNormal;
        m_closedByFlag = 1;
    }

    const int32_t half = NvToolkit().screen.width / 2;
    // The laid-out x of the reference controls (their layout items).
    BoardHelper helper;
    int32_t x98 = 0, x143 = 0;
    helper.GetControlPos(98, &x98, nullptr, 0, 0);
    helper.GetControlPos(143, &x143, nullptr, 0, 0);
    const int32_t reference = mode == kHighway ? x143 : x98;
    const bool left = reference < half;
    switch (mode) {
        case kJunction: mode = left ? kJunctionLeft : kJunctionRight; break;
        case kJunction2: mode = left ? kJunction2Left : kJunction2Right; break;
        case kSecond: mode = left ? kSecondLeft : kSecondRight; break;
        case kHighway: mode = left ? kHighwayLeft : kHighwayRight; break;
        default: break;
    }
    m_left = x98 < half ? 1 : 0;
    m_mode = mode;
    return m_mode != old ? 1 : 0;
}
