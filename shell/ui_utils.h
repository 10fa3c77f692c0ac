#pragma once
// Small helpers many screens and screen parts share: the message box fitted
// to the current screen, guidance turn types to turn display codes, small
// kinds to image ids, the guidance panel mode of the drive screens, the map
// scale step, the road-sign badge layout, safety-point and section-speed
// image ids and the watch that forgets the last destination. Main thread.
#include <cstdint>
#include <functional>
#include <string>

// ---- message boxes

// Result bits of ShowChapterMessageBox.
inline constexpr uint32_t kMsgResultTimeout = 0x1000;
inline constexpr uint32_t kMsgResultOk = 0x2000;         // first button of types 1 and 2
inline constexpr uint32_t kMsgResultCancel = 0x4000;     // second of type 2, third of type 8
inline constexpr uint32_t kMsgResultYes = 0x8000;        // first of types 4 and 16
inline constexpr uint32_t kMsgResultNo = 0x10000;        // second of types 4 and 16
inline constexpr uint32_t kMsgResultFirst8 = 0x20000;    // first of type 8
inline constexpr uint32_t kMsgResultSecond8 = 0x40000;   // second of type 8
inline constexpr uint32_t kMsgResultThird16 = 0x80000;   // third of type 16
inline constexpr uint32_t kMsgResultNone = 0x10000000;   // nothing shown, unknown type

// The box types (buttons): 1 OK; 2 OK, cancel; 4 yes, no; 8 three choices
// ending in cancel; 16 yes, no and a third.
uint32_t ShowChapterMessageBox(int type, const char16_t* text, int timeoutMs);
// The text of that id from text table 2 on the map screens and the screen
// of chapter 31, from table 1 elsewhere.
uint32_t ShowChapterMessageBoxById(int type, int textId, int timeoutMs);
// The control script of the box for a chapter (1306, 1326 or 779) and its style.
int32_t MessageBoxScriptForChapter(int chapterId, int* style);

// What these helpers need of the rest of the shell: the current chapter id
// (unset: the live chapter manager's), the desktop frame's show switch
// (unset: the frame is left alone) and the chapter event post (unset:
// ChapterManager::PostChapterEvent). Tests and tools set them.
struct ChapterUiHooks {
    std::function<int()> currentChapterId;
    std::function<void(int show)> showDesktopFrame;
    std::function<void(int event)> postChapterEvent;
};
void SetChapterUiHooks(ChapterUiHooks hooks);
// Posts a chapter event (through the hook when one is set).
void PostChapterEventFromUi(int event);

// ---- icons and turn codes

class UIIconMap {
public:
    virtual ~UIIconMap() = default;
    int32_t FacilityIcon(int value) const;   // kind 1
    int32_t RoadKindIcon(int value) const;   // kind 2
    int32_t TurnIcon(int value) const;       // kinds 3 and 4
    int32_t IconOf(int kind, int value) const;
};

// Guidance point type to turn display code 0..61, -1 for types without one.
int TurnTypeToTbtCode(int type);
// Via point types 302..317 to the via index 0..15; -1 otherwise.
int ViaPointCodeToIndex(int type);
int IsTurnTypeRestArea(int type);

// One process-wide scale level 0..5 with its step value in metres.
class MapScaleStep {
public:
    virtual ~MapScaleStep() = default;
    int32_t Reset();
    int32_t Current() const;
    int32_t Up();
    int32_t Down();
    static int32_t ValueOfLevel(int level);
    static int Level();
};

// ---- road-sign badges

struct RoadSignRecord {
    int32_t kind = 0;   // 0..4
    int32_t count = 0;
    int32_t numbers[4] = {};
    std::u16string name;
};
int IsRoadSignValid(const RoadSignRecord& sign);
int IsRoadSignKindPrimary(const RoadSignRecord& sign);
int32_t GetRoadSignKindTextId(int kind);
int32_t GetRoadSignImageId(int kind);
int32_t GetRoadSignTextStyle(int kind);
// Layout values read from reference controls of the current board, by
// kind 0 / 1 / 2 / 3-4 (0 when the kind is unknown or the control missing).
int32_t GetRoadSignTextY(int kind);       // y of 251 / 253 / 252 / 254
int32_t GetRoadSignNameY(int kind);       // y of 18 / 20 / 19 / 21
int32_t GetRoadSignNameYAlt(int kind);    // the same controls
int GetRoadSignBadgePos(int kind, int32_t* x, int32_t* y);      // 243 / 245 / 244 / 246
int GetRoadSignIconPos(int kind, int32_t* x, int32_t* y);       // 115 / 116 / 117 / 118
int GetRoadSignNumberPos(int kind, int32_t* x, int32_t* y);     // 14 / 15 / 16 / 17
int32_t GetRoadSignTextX(int kind);       // x of 247 / 249 / 248 / 250
int32_t GetRoadSignImageWidth();

// ---- safety points and section speed (the guidance services' records)

struct SafetyPointRecord {
    int32_t kind = 0;
    int32_t speedLimitKmh = 0;
    int32_t secondWord = 0;
};
struct SafetyGuideInfo {
    int32_t pointCount = 0;
    int32_t currentIndex = 0;
    const SafetyPointRecord* points = nullptr;  // pointCount records
    int32_t safetyState = 0;
    int32_t sectionRunning = 0;      // section speed control runs
    int32_t sectionLimitKmh = 0;
    int32_t sectionTravelledM = 0;
    int32_t sectionLengthM = 0;
};
int32_t GetSafetyPointImageId(const SafetyPointRecord& point);
int GetCurrentSafetyPointImageId(const SafetyGuideInfo& info, int32_t* out);
// 3265 + ((limit - 50) / 10) * 17 + the progress cell 0..16 along the
// section; a section of no length shows no progress.
int GetSectionSpeedGaugeImageId(const SafetyGuideInfo& info, int32_t* out);
struct TripRecord {
    int32_t distanceM = 0;
    int32_t timeS = 0;
};
int GetAverageSpeed(const TripRecord& trip, int32_t* outKmh);
struct SpeedRecord {
    int32_t kind = 0;
    int32_t value = 0;
};
int GetSpeedValue(const SpeedRecord& record, int32_t* out);

// ---- the last destination watch

void StartDestinationWatch();
void CheckDestinationWatch();
void EndDestinationWatch();
int IsDestinationWatched();

// ---- guidance panel mode of the drive screens

// What the mode is chosen from, gathered by the drive screen each update.
struct GuidePanelInputs {
    int32_t junctionValid = 0;
    int32_t junctionKind = 0;     // 1 or 2
    int32_t junctionId = 0;
    int32_t secondPanel = 0;
    int32_t secondPanelId = 0;
    int32_t highwayPanel = 0;
    // UI setting items 39, 40, 74 and 75.
    int32_t junctionViewsOn = 1;
    int32_t secondPanelOn = 1;
    int32_t showClass26 = 1;
    int32_t showClass17 = 1;
    // Whether the junction image of the current view exists ("%dQ%08d_%d"
    // for the first kind, "%dS%08d_%d" variant 0 for the second).
    std::function<bool(int kind, int32_t id)> junctionImageExists;
};

class CGuidePanelMode {
public:
    enum : int32_t {
        kNormal = 1,
        kJunction = 6,
        kJunctionLeft = 2,
        kJunctionRight = 4,
        kJunction2 = 24,
        kJunction2Left = 8,
        kJunction2Right = 16,
        kSecond = 192,
        kSecondLeft = 64,
        kSecondRight = 128,
        kHighway = 768,
        kHighwayLeft = 256,
        kHighwayRight = 512,
    };
    virtual ~CGuidePanelMode() = default;
    // 1 when the mode changed. The reference controls 98 and 143 are read
    // from the current board.
    int Update(const GuidePanelInputs& in);
    void DismissSecondPanel(int32_t id) { m_dismissedSecondId = id; }
    void DismissJunctionView(int32_t id) { m_dismissedJunctionId = id; }
    void StepJunctionView(int32_t id) {
        m_steppedJunctionId = id;
        ++m_stepCount;
    }
    void SetHighwayDismissed(int32_t on) { m_highwayDismissed = on; }
    int32_t GetMode() const { return m_mode; }
    int32_t IsLeftSide() const { return m_left; }
    int32_t WasClosedByFlag() const { return m_closedByFlag; }

private:
    int32_t m_mode = kNormal;
    int32_t m_left = 0;
    int32_t m_dismissedSecondId = -1;
    int32_t m_dismissedJunctionId = 0;
    int32_t m_steppedJunctionId = 0;
    int32_t m_stepCount = 0;
    int32_t m_highwayDismissed = 0;
    int32_t m_closedByFlag = 0;
};
