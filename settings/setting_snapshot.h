#pragma once
// Snapshots of the settings pages. A page edits a private copy of one group
// of the UI settings, never the live record: it loads the snapshot from the
// live record, lets the user change it, asks how many fields differ (to
// know whether anything needs saving), stores it back and has the live
// settings written. Restoring the defaults fills only the snapshot.
//
//   CMgrConfigUISettingDlgMap page;   // takes the live settings object
//   page.Load(nullptr, 1);
//   page.eMapColor = 2;
//   if (page.CountChanges(nullptr, 1) > 0) { page.Store(nullptr, 1); page.SaveSettings(); }
//
// Composite snapshots own child snapshots and, asked with recurse = 1,
// handle their own fields first and then the children in order. Every
// operation takes an optional record; null means the live record.
//
// The pages run on the main thread. A store into the live record holds the
// live object's lock, so the draw thread never sees a group half-written.
#include <cstdint>
#include <vector>

#include "settings/ui_setting.h"

class SnapshotFieldPass;

class CMgrConfigUISettingDlg {
public:
    // live null: the settings singleton.
    explicit CMgrConfigUISettingDlg(CMgrConfigUISetting* live = nullptr);
    virtual ~CMgrConfigUISettingDlg() = default;
    // Composites hold pointers to their own members.
    CMgrConfigUISettingDlg(const CMgrConfigUISettingDlg&) = delete;
    CMgrConfigUISettingDlg& operator=(const CMgrConfigUISettingDlg&) = delete;

    // The base covers nothing: Load, Store and RestoreDefaults return 1,
    // CountChanges 0.
    virtual int Load(const UISettingRecord* record, int recurse);
    virtual int Store(UISettingRecord* record, int recurse);
    virtual int CountChanges(const UISettingRecord* record, int recurse);
    virtual int RestoreDefaults(int recurse);
    // Writes the live settings to "\UISetting.ust"; what the write returns.
    virtual int SaveSettings();

    CMgrConfigUISetting* Live() const { return m_live; }

protected:
    CMgrConfigUISetting* m_live;
};

// The common work of the pages: a page names its fields once
// (VisitFields) and its children once (AddChild in its constructor).
// Load, Store and CountChanges return 0 when there is no record at all (a
// null record and no live settings object).
class CMgrConfigUISettingDlgGroup : public CMgrConfigUISettingDlg {
public:
    explicit CMgrConfigUISettingDlgGroup(CMgrConfigUISetting* live = nullptr) : CMgrConfigUISettingDlg(live) {}

    int Load(const UISettingRecord* record, int recurse) override;
    int Store(UISettingRecord* record, int recurse) override;
    int CountChanges(const UISettingRecord* record, int recurse) override;
    // Defaults record, Load (defaults, 1), then with recurse = 1 each
    // child's RestoreDefaults (1).
    int RestoreDefaults(int recurse) override;

protected:
    // Loads, stores or counts each covered field through the pass.
    virtual void VisitFields(SnapshotFieldPass& pass) = 0;
    void AddChild(CMgrConfigUISettingDlg* child) { m_children.push_back(child); }

private:
    std::vector<CMgrConfigUISettingDlg*> m_children;
};

// ---- leaves ---------------------------------------------------------------

// Kind 1: "lPOIDrawScreen", 2: "lAutoZoomInDrawScreen", 3: "lTPEGDrawScreen";
// any other kind covers nothing. The three switches count as one.
class CMgrConfigUISettingDlgItemDrawScreen : public CMgrConfigUISettingDlgGroup {
public:
    static constexpr int kPOI = 1;
    static constexpr int kAutoZoom = 2;
    static constexpr int kTPEG = 3;
    explicit CMgrConfigUISettingDlgItemDrawScreen(int kind = kPOI, CMgrConfigUISetting* live = nullptr)
        : CMgrConfigUISettingDlgGroup(live), m_kind(kind) {}
    int GetKind() const { return m_kind; }
    void SetKind(int kind) { m_kind = kind; }

    tagUISTRUCT_DRAWSCREEN screens{};

protected:
    void VisitFields(SnapshotFieldPass& pass) override;

private:
    int m_kind;
};

class CMgrConfigUISettingDlgPOI : public CMgrConfigUISettingDlgGroup {
public:
    using CMgrConfigUISettingDlgGroup::CMgrConfigUISettingDlgGroup;
    int32_t nArrPOIID[kUIPOIIdCount] = {};

protected:
    void VisitFields(SnapshotFieldPass& pass) override;
};

class CMgrConfigUISettingDlgDetailCross : public CMgrConfigUISettingDlgGroup {
public:
    using CMgrConfigUISettingDlgGroup::CMgrConfigUISettingDlgGroup;
    int32_t bDetailCrossFullScreen = 0;
    int32_t bDetailCrossTunnel = 0;
    int32_t bDetailCrossUnderRoad = 0;

protected:
    void VisitFields(SnapshotFieldPass& pass) override;
};

class CMgrConfigUISettingDlgAutoTheme : public CMgrConfigUISettingDlgGroup {
public:
    using CMgrConfigUISettingDlgGroup::CMgrConfigUISettingDlgGroup;
    int32_t nThemeCate = 0;

protected:
    void VisitFields(SnapshotFieldPass& pass) override;
};

class CMgrConfigUISettingDlgAutoZoom : public CMgrConfigUISettingDlgGroup {
public:
    using CMgrConfigUISettingDlgGroup::CMgrConfigUISettingDlgGroup;
    int32_t eMapAutoZoomInBy = 0;
    int32_t eAutoZoomLevelBySpeed[4] = {};
    int32_t eAutoZoomLevelByDistance[4] = {};

protected:
    void VisitFields(SnapshotFieldPass& pass) override;
};

// The map page with its six children.
class CMgrConfigUISettingDlgMap : public CMgrConfigUISettingDlgGroup {
public:
    explicit CMgrConfigUISettingDlgMap(CMgrConfigUISetting* live = nullptr);

    int32_t eCarMark = 0, eMapColor = 0, eMapFontType = 0, eMapFontSize = 0;
    int32_t eRouteColorDay = 0, eRouteColorNight = 0, ePOIViewLevel = 0, bDetailCross = 0, bZoomCross = 0;
    int32_t bOverSpeedSign = 0, eMapAutoZoomIn = 0, eAutoThemePopup = 0, e3DViewAngle = 0, b3DBuilding = 0;
    int32_t eNightMode = 0;
    // The two user night times and the word after them count as one.
    tagUISTRUCT_NIGHTTIME lNightModeUserTime[2] = {};
    uint16_t uNightTimeSpare = 0;
    int32_t bRoadLinePopup = 0, bScreenCapture = 0, bViewGPSLog = 0, eNaviMode = 0, bUseTrip = 0;

    CMgrConfigUISettingDlgItemDrawScreen poiDrawScreen;
    CMgrConfigUISettingDlgItemDrawScreen autoZoomDrawScreen;
    CMgrConfigUISettingDlgPOI poi;
    CMgrConfigUISettingDlgDetailCross detailCross;
    CMgrConfigUISettingDlgAutoTheme autoTheme;
    CMgrConfigUISettingDlgAutoZoom autoZoom;

protected:
    void VisitFields(SnapshotFieldPass& pass) override;
};

// The seven route weights count as one.
class CMgrConfigUISettingDlgRouteOption : public CMgrConfigUISettingDlgGroup {
public:
    using CMgrConfigUISettingDlgGroup::CMgrConfigUISettingDlgGroup;
    tagUISTRUCT_OPTIMUMROUTE lOptimumRouteOption{};

protected:
    void VisitFields(SnapshotFieldPass& pass) override;
};

class CMgrConfigUISettingDlgRoute : public CMgrConfigUISettingDlgGroup {
public:
    explicit CMgrConfigUISettingDlgRoute(CMgrConfigUISetting* live = nullptr);

    int32_t eDefaultRouteOption = 0, bRouteWithPeloxWizard = 0, bRouteWithTPEG = 0, bRouteWithGoalDir = 0;
    int32_t bRouteWithGoalNear = 0, bRouteWithOutShortTurn = 0, bRouteWithAlternative = 0;

    CMgrConfigUISettingDlgRouteOption routeOption;

protected:
    void VisitFields(SnapshotFieldPass& pass) override;
};

class CMgrConfigUISettingDlgVoiceGuideHiway : public CMgrConfigUISettingDlgGroup {
public:
    using CMgrConfigUISettingDlgGroup::CMgrConfigUISettingDlgGroup;
    int32_t bArrBasicVoiceGuideHiway[5][4] = {};

protected:
    void VisitFields(SnapshotFieldPass& pass) override;
};

class CMgrConfigUISettingDlgVoiceGuideNormalway : public CMgrConfigUISettingDlgGroup {
public:
    using CMgrConfigUISettingDlgGroup::CMgrConfigUISettingDlgGroup;
    int32_t bArrBasicVoiceGuideNormalway[5][4] = {};

protected:
    void VisitFields(SnapshotFieldPass& pass) override;
};

class CMgrConfigUISettingDlgSafeVoiceGuideDist : public CMgrConfigUISettingDlgGroup {
public:
    using CMgrConfigUISettingDlgGroup::CMgrConfigUISettingDlgGroup;
    int32_t bArrSafeVoiceGuideType[2][2][4] = {};

protected:
    void VisitFields(SnapshotFieldPass& pass) override;
};

class CMgrConfigUISettingDlgSafeDriveGuideItem : public CMgrConfigUISettingDlgGroup {
public:
    using CMgrConfigUISettingDlgGroup::CMgrConfigUISettingDlgGroup;
    int32_t nSafeDriveGuideItem = 0;

protected:
    void VisitFields(SnapshotFieldPass& pass) override;
};

class CMgrConfigUISettingDlgSpeedOverAlram : public CMgrConfigUISettingDlgGroup {
public:
    using CMgrConfigUISettingDlgGroup::CMgrConfigUISettingDlgGroup;
    int32_t bSpeedOverAlram = 0;
    int32_t eSpeedOverAlramType = 0;
    uint8_t ySpeedOverAlramLimit = 0;

protected:
    void VisitFields(SnapshotFieldPass& pass) override;
};

class CMgrConfigUISettingDlgEtcVoiceGuideItem : public CMgrConfigUISettingDlgGroup {
public:
    using CMgrConfigUISettingDlgGroup::CMgrConfigUISettingDlgGroup;
    int32_t nEtcVoiceGuideItem = 0;

protected:
    void VisitFields(SnapshotFieldPass& pass) override;
};

class CMgrConfigUISettingDlgVoiceGuide : public CMgrConfigUISettingDlgGroup {
public:
    explicit CMgrConfigUISettingDlgVoiceGuide(CMgrConfigUISetting* live = nullptr);

    int32_t nGuideSpeed = 0;
    int32_t eTurnPointGuide = 0;

    CMgrConfigUISettingDlgVoiceGuideHiway hiway;
    CMgrConfigUISettingDlgVoiceGuideNormalway normalway;
    CMgrConfigUISettingDlgSafeVoiceGuideDist safeVoiceGuideDist;
    CMgrConfigUISettingDlgSafeDriveGuideItem safeDriveGuideItem;
    CMgrConfigUISettingDlgSpeedOverAlram speedOverAlram;
    CMgrConfigUISettingDlgEtcVoiceGuideItem etcVoiceGuideItem;

protected:
    void VisitFields(SnapshotFieldPass& pass) override;
};

class CMgrConfigUISettingDlgVolBri : public CMgrConfigUISettingDlgGroup {
public:
    using CMgrConfigUISettingDlgGroup::CMgrConfigUISettingDlgGroup;
    int32_t eAppVolumeMP3AtGuide = 0, eAppVolumeDMBAtGuide = 0, bTouchSoundUse = 0;
    int32_t bAutoVolumeBySpeed = 0, bAutoBrightByTime = 0;

protected:
    void VisitFields(SnapshotFieldPass& pass) override;
};

class CMgrConfigUISettingDlgTPEG : public CMgrConfigUISettingDlgGroup {
public:
    explicit CMgrConfigUISettingDlgTPEG(CMgrConfigUISetting* live = nullptr);

    int32_t eTPEGDrawRoadType = 0, eTPEGDrawCongestion = 0, bTPEGAutoReRoute = 0;
    uint8_t yTPEGAutoReRouteTime = 0;
    int32_t bViewRTM = 0, bGuidanceRTM = 0;

    CMgrConfigUISettingDlgItemDrawScreen tpegDrawScreen;

protected:
    void VisitFields(SnapshotFieldPass& pass) override;
};

// Menu kind 0..4: the 24 entries of that main menu; 5: all five menus; any
// other kind covers nothing.
class CMgrConfigUISettingDlgMenuOrder : public CMgrConfigUISettingDlgGroup {
public:
    static constexpr int kAllMenus = kUIMainMenuPages;
    explicit CMgrConfigUISettingDlgMenuOrder(int kind = kAllMenus, CMgrConfigUISetting* live = nullptr)
        : CMgrConfigUISettingDlgGroup(live), m_kind(kind) {}
    int GetKind() const { return m_kind; }
    void SetKind(int kind) { m_kind = kind; }

    int32_t eArrMenuIDMainMenu[kUIMainMenuPages][kUIMainMenuPageItems] = {};

protected:
    void VisitFields(SnapshotFieldPass& pass) override;

private:
    int m_kind;
};

// The templates and page sizes of one main menu (or all five with kind 5),
// and its menu order as child.
class CMgrConfigUISettingDlgUIStyleMenu : public CMgrConfigUISettingDlgGroup {
public:
    explicit CMgrConfigUISettingDlgUIStyleMenu(int kind = CMgrConfigUISettingDlgMenuOrder::kAllMenus,
                                               CMgrConfigUISetting* live = nullptr);
    int GetKind() const { return m_kind; }
    void SetKind(int kind) { m_kind = kind; }

    // Hands the kind to the menu order first, so both cover the same menu.
    int Load(const UISettingRecord* record, int recurse) override;

    int32_t nArrMenuUITempleteIndex[kUIMainMenuPages] = {};
    int32_t nArrMainMenuMaxPageItem[kUIMainMenuPages] = {};

    CMgrConfigUISettingDlgMenuOrder menuOrder;

protected:
    void VisitFields(SnapshotFieldPass& pass) override;

private:
    int m_kind;
};

class CMgrConfigUISettingDlgUIStyleMap : public CMgrConfigUISettingDlgGroup {
public:
    using CMgrConfigUISettingDlgGroup::CMgrConfigUISettingDlgGroup;
    int32_t nMapUIColorTempleteIndex = 0;
    int32_t nMapUITempleteIndex = 0;

protected:
    void VisitFields(SnapshotFieldPass& pass) override;
};

class CMgrConfigUISettingDlgSubMenuOrder : public CMgrConfigUISettingDlgGroup {
public:
    using CMgrConfigUISettingDlgGroup::CMgrConfigUISettingDlgGroup;
    int32_t eArrMenuIDSubMenu[kUISubMenuItems] = {};

protected:
    void VisitFields(SnapshotFieldPass& pass) override;
};

class CMgrConfigUISettingDlgHotMenuOrder : public CMgrConfigUISettingDlgGroup {
public:
    using CMgrConfigUISettingDlgGroup::CMgrConfigUISettingDlgGroup;
    int32_t eArrMenuIDSubToolBar[kUISubToolBarItems] = {};

protected:
    void VisitFields(SnapshotFieldPass& pass) override;
};

class CMgrConfigUISettingDlgSubNHotMenu : public CMgrConfigUISettingDlgGroup {
public:
    explicit CMgrConfigUISettingDlgSubNHotMenu(CMgrConfigUISetting* live = nullptr);

    CMgrConfigUISettingDlgSubMenuOrder subMenuOrder;
    CMgrConfigUISettingDlgHotMenuOrder hotMenuOrder;

protected:
    void VisitFields(SnapshotFieldPass& pass) override;
};

class CMgrConfigUISettingDlgCarInfo : public CMgrConfigUISettingDlgGroup {
public:
    using CMgrConfigUISettingDlgGroup::CMgrConfigUISettingDlgGroup;
    int32_t eCarType = 0;

protected:
    void VisitFields(SnapshotFieldPass& pass) override;
};

class CMgrConfigUISettingDlgRepeat : public CMgrConfigUISettingDlgGroup {
public:
    using CMgrConfigUISettingDlgGroup::CMgrConfigUISettingDlgGroup;
    int32_t eRepeatCountFilterType = 0, bRepeatDestPopupUse = 0, nRepeatDestPopupTime = 0;
    int32_t nRepeatDestPopupMaxLine = 0, bRepeatDestPopupHomeNOffice = 0, bRepeatDestPopupFindName = 0;

protected:
    void VisitFields(SnapshotFieldPass& pass) override;
};
