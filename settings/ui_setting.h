#pragma once
// The user's preferences in one record: map display, night mode, route
// options, voice guidance, volumes, traffic display, menu layout,
// repeat-destination pop-ups, split-map layout and eco-drive options.
//
// Two settings files in the configuration folder hold them:
// "\UISetting.ust" the general part, "\MapSetting.ust" the map layout and
// eco-drive part. Each file stands alone: a missing or damaged file resets
// only its own part to the defaults and is written anew.
//
// The record is written by the main thread (settings screens) under the
// object's lock; the draw thread and the modules read single 32-bit fields.
#include <atomic>
#include <cstdint>
#include <vector>

#include "foundation/nv_array.h"
#include "foundation/nv_config.h"
#include "foundation/singleton.h"
#include "foundation/thread_annotations.h"

struct tagUISTRUCT_DRAWSCREEN {
    int32_t bFullMap;
    int32_t bSplitLeftMap;
    int32_t bSplitRightMap;
};

struct tagUISTRUCT_NIGHTTIME {
    uint8_t uHour;
    uint8_t uMinute;
    uint8_t uSpare;
};

// Weights of the optimum route, one byte each.
struct tagUISTRUCT_OPTIMUMROUTE {
    uint8_t yHighWay;
    uint8_t yCityHighWay;
    uint8_t yTollRoad;
    uint8_t yLane3;
    uint8_t yAlley;
    uint8_t yDetourUTurn;
    uint8_t yDetourLeftTurn;
    uint8_t ySpare;
};

struct tagUISTRUCT_ECODRIVE {
    int32_t nEcoMode;
    int32_t bShowEcoInfo;
    int32_t nOilPriceIdx;
    int32_t nDisplacementIdx;
    int32_t nFuelKindIdx;
    int32_t nRoadKindIdx;
    int32_t nTransmissionIdx;
    int32_t nEstimateFuel;
    int32_t bCalculateFuel;
    int32_t nBasicFuel;
    int32_t nOilPrice;
};

inline constexpr int kUIMainMenuPages = 5;
inline constexpr int kUIMainMenuPageItems = 24;
inline constexpr int kUISubMenuItems = 14;
inline constexpr int kUISubToolBarItems = 2;
inline constexpr int kUIPOIIdCount = 8;

// The settings record: 320 words, "\UISetting.ust" fields first, then
// "\MapSetting.ust" fields. Plain data; SetDefaults fills it.
struct UISettingRecord {
    tagUISTRUCT_DRAWSCREEN lPOIDrawScreen;
    tagUISTRUCT_DRAWSCREEN lAutoZoomInDrawScreen;
    tagUISTRUCT_DRAWSCREEN lTPEGDrawScreen;
    int32_t eCarMark;
    int32_t eMapColor;
    int32_t eMapFontType;
    int32_t eMapFontSize;
    int32_t eRouteColorDay;
    int32_t eRouteColorNight;
    int32_t ePOIViewLevel;
    int32_t bDetailCross;
    int32_t bZoomCross;
    int32_t nUnsaved;  // neither saved nor loaded
    int32_t bOverSpeedSign;
    int32_t eMapAutoZoomIn;
    int32_t eAutoThemePopup;
    int32_t e3DViewAngle;
    int32_t b3DBuilding;
    int32_t eNightMode;
    tagUISTRUCT_NIGHTTIME lNightModeUserTime[2];
    uint16_t uNightTimeSpare;
    int32_t bRoadLinePopup;
    int32_t bScreenCapture;
    int32_t bViewGPSLog;
    int32_t eNaviMode;
    int32_t bUseTrip;
    int32_t nArrPOIID[kUIPOIIdCount];
    int32_t nThemeCate;
    int32_t eMapAutoZoomInBy;
    int32_t eAutoZoomLevelBySpeed[4];
    int32_t eAutoZoomLevelByDistance[4];
    int32_t bDetailCrossFullScreen;
    int32_t bDetailCrossTunnel;
    int32_t bDetailCrossUnderRoad;
    int32_t eDefaultRouteOption;
    int32_t bRouteWithPeloxWizard;
    int32_t bRouteWithTPEG;
    int32_t bRouteWithGoalDir;
    int32_t bRouteWithGoalNear;
    int32_t bRouteWithOutShortTurn;
    int32_t bRouteWithAlternative;
    tagUISTRUCT_OPTIMUMROUTE lOptimumRouteOption;
    int32_t nGuideSpeed;
    int32_t eTurnPointGuide;
    int32_t bArrBasicVoiceGuideHiway[5][4];
    int32_t bArrBasicVoiceGuideNormalway[5][4];
    int32_t bArrSafeVoiceGuideType[2][2][4];
    int32_t nSafeDriveGuideItem;
    int32_t nEtcVoiceGuideItem;
    int32_t bSpeedOverAlram;
    int32_t eSpeedOverAlramType;
    uint8_t ySpeedOverAlramLimit;
    uint8_t ySpare1[3];
    int32_t eAppVolumeMP3AtGuide;
    int32_t eAppVolumeDMBAtGuide;
    int32_t bTouchSoundUse;
    int32_t bAutoVolumeBySpeed;
    int32_t bAutoBrightByTime;
    int32_t eTPEGDrawRoadType;
    int32_t eTPEGDrawCongestion;
    int32_t bTPEGAutoReRoute;
    uint8_t yTPEGAutoReRouteTime;
    uint8_t ySpare2[3];
    int32_t bViewRTM;
    int32_t bGuidanceRTM;
    int32_t nMapUIColorTempleteIndex;
    int32_t nMapUITempleteIndex;
    int32_t nArrMenuUITempleteIndex[5];
    int32_t nArrMainMenuMaxPageItem[kUIMainMenuPages];
    int32_t eArrMenuIDMainMenu[kUIMainMenuPages][kUIMainMenuPageItems];
    int32_t eArrMenuIDSubMenu[kUISubMenuItems];
    int32_t eArrMenuIDSubToolBar[kUISubToolBarItems];
    int32_t eCarType;
    int32_t eRepeatCountFilterType;
    int32_t bRepeatDestPopupUse;
    int32_t nRepeatDestPopupTime;
    int32_t nRepeatDestPopupMaxLine;
    int32_t bRepeatDestPopupHomeNOffice;
    int32_t bRepeatDestPopupFindName;
    int32_t eTPEGBS;

    // "\MapSetting.ust"
    int32_t eMapScreenMode;
    int32_t eLeftMapMode;
    int32_t eRightMapMode;
    int32_t eLeftMapDirection;
    int32_t eRightMapDirection;
    int32_t eLeftZoomLevel;
    int32_t eRightZoomLevel;
    int32_t eMapCustomMode;
    int32_t eDestInfoMode;
    int32_t eLeftMapModeName;
    int32_t eLeftMapModeRoad;
    int32_t eLeftMapModeColor;
    int32_t eRightMapModeName;
    int32_t eRightMapModeRoad;
    int32_t eRightMapModeColor;
    tagUISTRUCT_ECODRIVE lEcoDriveOption;
    int32_t eOilFilter;
    int32_t nOilCateCode;
};
static_assert(sizeof(UISettingRecord) == 320 * 4);

// One around-search category row of the search module (68 bytes), the
// child's code first.
struct AroundCategoryRow {
    int32_t code;
    uint8_t data[64];
};
static_assert(sizeof(AroundCategoryRow) == 68);

// What the POI category list needs of the search module: the children of a
// category (up to kMaxRows rows; level 1 reads the code as it is). Returns
// the number of children, or -1 on failure.
class AroundCategorySource {
public:
    static constexpr int kMaxRows = 29;
    virtual ~AroundCategorySource() = default;
    virtual int GetAroundCateList(int32_t code, int level, AroundCategoryRow* parent, AroundCategoryRow* rows) = 0;
};

class CMgrConfigUISetting : public MgrSingletonT<CMgrConfigUISetting> {
public:
    static constexpr int32_t kFileVersion = 3288629;
    // Versions whose menu tables are upgraded on load.
    static constexpr int32_t kOldVersionFirst = 841887792;
    static constexpr int32_t kOldVersionLast = 841887794;

    // Loads both files from the configuration folder; a file that cannot
    // be read is written anew from the defaults.
    CMgrConfigUISetting();
    ~CMgrConfigUISetting() override = default;

    // The defaults of both files into record (null: the live record).
    void SetDefaults(UISettingRecord* record);
    static void FillDefaults(UISettingRecord& record);

    // 1 when both files were read; a file that was not keeps the defaults
    // of its own part.
    int Load();
    int SaveUISetting();
    int SaveMapSetting();
    // 1 only when both saves succeeded.
    int SaveAll();
    // 1 from construction and after each save of "\UISetting.ust".
    int IsSaved() const { return m_saved.load(std::memory_order_acquire); }

    // The live record; write it under GetLock().
    UISettingRecord& Record() { return m_record; }
    const UISettingRecord& Record() const { return m_record; }

    // Appends the menu command ids of a group; 0 for group 5, an unknown
    // group or a null array, else 1.
    static int AppendMenuGroupIds(int group, NvArray<int32_t>* array);
    int CountSubMenuItems() const;
    int CountSubToolBarItems() const;

    // Rebuilds the leaf categories of the selected POI codes.
    void RebuildPOICategoryList();
    // The list RebuildPOICategoryList made; read under GetLock().
    const NvArray<int32_t>& POICategoryList() const { return m_poiCategories; }
    // The search module's category listing (null: every code is a leaf).
    static void SetAroundCategorySource(AroundCategorySource* source);

private:
    int LoadUIFile(const UISettingRecord& defaults, bool* marked) NAVI_REQUIRES(m_lock);
    int LoadMapFile(bool marked) NAVI_REQUIRES(m_lock);
    static void AddLeafCategories(int32_t code, int depth, std::vector<int32_t>& leaves);

    NvConfigFile m_file NAVI_GUARDED_BY(m_lock);
    UISettingRecord m_record;
    std::atomic<int32_t> m_saved{0};
    NvArray<int32_t> m_poiCategories NAVI_GUARDED_BY(m_lock);
};
