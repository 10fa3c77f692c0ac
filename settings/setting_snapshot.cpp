#include "settings/setting_snapshot.h"

#include <cstddef>

#include "foundation/critical_section.h"

namespace {

// ---- copying and comparing fields of the record's types

int Diff(int32_t a, int32_t b) { return a != b ? 1 : 0; }
int Diff(uint8_t a, uint8_t b) { return a != b ? 1 : 0; }
int Diff(uint16_t a, uint16_t b) { return a != b ? 1 : 0; }

int Diff(const tagUISTRUCT_DRAWSCREEN& a, const tagUISTRUCT_DRAWSCREEN& b) {
    return Diff(a.bFullMap, b.bFullMap) + Diff(a.bSplitLeftMap, b.bSplitLeftMap) +
           Diff(a.bSplitRightMap, b.bSplitRightMap);
}

int Diff(const tagUISTRUCT_NIGHTTIME& a, const tagUISTRUCT_NIGHTTIME& b) {
    return Diff(a.uHour, b.uHour) + Diff(a.uMinute, b.uMinute) + Diff(a.uSpare, b.uSpare);
}

// The seven weights; the spare byte belongs to no page.
int Diff(const tagUISTRUCT_OPTIMUMROUTE& a, const tagUISTRUCT_OPTIMUMROUTE& b) {
    return Diff(a.yHighWay, b.yHighWay) + Diff(a.yCityHighWay, b.yCityHighWay) + Diff(a.yTollRoad, b.yTollRoad) +
           Diff(a.yLane3, b.yLane3) + Diff(a.yAlley, b.yAlley) + Diff(a.yDetourUTurn, b.yDetourUTurn) +
           Diff(a.yDetourLeftTurn, b.yDetourLeftTurn);
}

template <class T, size_t N>
int Diff(const T (&a)[N], const T (&b)[N]) {
    int n = 0;
    for (size_t i = 0; i < N; ++i) n += Diff(a[i], b[i]);
    return n;
}

template <class T>
void Copy(T& to, const T& from) {
    to = from;
}

void Copy(tagUISTRUCT_OPTIMUMROUTE& to, const tagUISTRUCT_OPTIMUMROUTE& from) {
    to.yHighWay = from.yHighWay;
    to.yCityHighWay = from.yCityHighWay;
    to.yTollRoad = from.yTollRoad;
    to.yLane3 = from.yLane3;
    to.yAlley = from.yAlley;
    to.yDetourUTurn = from.yDetourUTurn;
    to.yDetourLeftTurn = from.yDetourLeftTurn;
}

template <class T, size_t N>
void Copy(T (&to)[N], const T (&from)[N]) {
    for (size_t i = 0; i < N; ++i) Copy(to[i], from[i]);
}

// Runs fn on the given record, or on the live record under the live
// object's lock; `none` when there is neither.
template <class Fn>
int WithRecord(CMgrConfigUISetting* live, const UISettingRecord* record, int none, Fn&& fn) {
    // Load and CountChanges only read through the reference.
    if (record) return fn(const_cast<UISettingRecord&>(*record));
    if (!live) return none;
    MgrLock hold(*live->GetLock());
    return fn(live->Record());
}

}  // namespace

// One walk over a page's fields: load them from the record, store them into
// it, or count the differences.
class SnapshotFieldPass {
public:
    enum class Op { kLoad, kStore, kCount };

    SnapshotFieldPass(Op op, UISettingRecord& record) : m_op(op), m_record(record) {}

    UISettingRecord& Record() { return m_record; }
    int Count() const { return m_count; }

    // A field or an array; an array counts one per differing element.
    template <class T>
    void Field(T& snapshot, T& live) {
        switch (m_op) {
            case Op::kLoad: Copy(snapshot, live); break;
            case Op::kStore: Copy(live, snapshot); break;
            case Op::kCount: m_count += Diff(snapshot, live); break;
        }
    }
    // Values that count one together, however many of them differ.
    template <class A, class B>
    void Grouped(A& snapshotA, A& liveA, B& snapshotB, B& liveB) {
        switch (m_op) {
            case Op::kLoad: Copy(snapshotA, liveA), Copy(snapshotB, liveB); break;
            case Op::kStore: Copy(liveA, snapshotA), Copy(liveB, snapshotB); break;
            case Op::kCount: m_count += (Diff(snapshotA, liveA) + Diff(snapshotB, liveB)) > 0 ? 1 : 0; break;
        }
    }
    template <class T>
    void Grouped(T& snapshot, T& live) {
        switch (m_op) {
            case Op::kLoad: Copy(snapshot, live); break;
            case Op::kStore: Copy(live, snapshot); break;
            case Op::kCount: m_count += Diff(snapshot, live) > 0 ? 1 : 0; break;
        }
    }

private:
    Op m_op;
    UISettingRecord& m_record;
    int m_count = 0;
};

// ---- base

CMgrConfigUISettingDlg::CMgrConfigUISettingDlg(CMgrConfigUISetting* live)
    : m_live(live ? live : CMgrConfigUISetting::Instance()) {}

int CMgrConfigUISettingDlg::Load(const UISettingRecord*, int) { return 1; }
int CMgrConfigUISettingDlg::Store(UISettingRecord*, int) { return 1; }
int CMgrConfigUISettingDlg::CountChanges(const UISettingRecord*, int) { return 0; }
int CMgrConfigUISettingDlg::RestoreDefaults(int) { return 1; }

int CMgrConfigUISettingDlg::SaveSettings() { return m_live ? m_live->SaveUISetting() : 0; }

// ---- pages with fields and children

int CMgrConfigUISettingDlgGroup::Load(const UISettingRecord* record, int recurse) {
    return WithRecord(m_live, record, 0, [&](UISettingRecord& source) {
        SnapshotFieldPass pass(SnapshotFieldPass::Op::kLoad, source);
        VisitFields(pass);
        if (recurse == 1) {
            for (CMgrConfigUISettingDlg* child : m_children) child->Load(&source, 1);
        }
        return 1;
    });
}

int CMgrConfigUISettingDlgGroup::Store(UISettingRecord* record, int recurse) {
    return WithRecord(m_live, record, 0, [&](UISettingRecord& target) {
        SnapshotFieldPass pass(SnapshotFieldPass::Op::kStore, target);
        VisitFields(pass);
        if (recurse == 1) {
            for (CMgrConfigUISettingDlg* child : m_children) child->Store(&target, 1);
        }
        return 1;
    });
}

int CMgrConfigUISettingDlgGroup::CountChanges(const UISettingRecord* record, int recurse) {
    return WithRecord(m_live, record, 0, [&](UISettingRecord& against) {
        SnapshotFieldPass pass(SnapshotFieldPass::Op::kCount, against);
        VisitFields(pass);
        int count = pass.Count();
        if (recurse == 1) {
            for (CMgrConfigUISettingDlg* child : m_children) count += child->CountChanges(&against, 1);
        }
        return count;
    });
}

int CMgrConfigUISettingDlgGroup::RestoreDefaults(int recurse) {
    UISettingRecord defaults;
    CMgrConfigUISetting::FillDefaults(defaults);
    Load(&defaults, 1);
    if (recurse == 1) {
        for (CMgrConfigUISettingDlg* child : m_children) child->RestoreDefaults(1);
    }
    return 1;
}

// ---- the pages

void CMgrConfigUISettingDlgItemDrawScreen::VisitFields(SnapshotFieldPass& pass) {
    UISettingRecord& r = pass.Record();
    switch (m_kind) {
        case kPOI: pass.Grouped(screens, r.lPOIDrawScreen); break;
        case kAutoZoom: pass.Grouped(screens, r.lAutoZoomInDrawScreen); break;
        case kTPEG: pass.Grouped(screens, r.lTPEGDrawScreen); break;
        default: break;  // covers nothing
    }
}

void CMgrConfigUISettingDlgPOI::VisitFields(SnapshotFieldPass& pass) {
    pass.Field(nArrPOIID, pass.Record().nArrPOIID);
}

void CMgrConfigUISettingDlgDetailCross::VisitFields(SnapshotFieldPass& pass) {
    UISettingRecord& r = pass.Record();
    pass.Field(bDetailCrossFullScreen, r.bDetailCrossFullScreen);
    pass.Field(bDetailCrossTunnel, r.bDetailCrossTunnel);
    pass.Field(bDetailCrossUnderRoad, r.bDetailCrossUnderRoad);
}

void CMgrConfigUISettingDlgAutoTheme::VisitFields(SnapshotFieldPass& pass) {
    pass.Field(nThemeCate, pass.Record().nThemeCate);
}

void CMgrConfigUISettingDlgAutoZoom::VisitFields(SnapshotFieldPass& pass) {
    UISettingRecord& r = pass.Record();
    pass.Field(eMapAutoZoomInBy, r.eMapAutoZoomInBy);
    pass.Field(eAutoZoomLevelBySpeed, r.eAutoZoomLevelBySpeed);
    pass.Field(eAutoZoomLevelByDistance, r.eAutoZoomLevelByDistance);
}

CMgrConfigUISettingDlgMap::CMgrConfigUISettingDlgMap(CMgrConfigUISetting* live)
    : CMgrConfigUISettingDlgGroup(live),
      poiDrawScreen(CMgrConfigUISettingDlgItemDrawScreen::kPOI, Live()),
      autoZoomDrawScreen(CMgrConfigUISettingDlgItemDrawScreen::kAutoZoom, Live()),
      poi(Live()),
      detailCross(Live()),
      autoTheme(Live()),
      autoZoom(Live()) {
    AddChild(&poiDrawScreen);
    AddChild(&autoZoomDrawScreen);
    AddChild(&poi);
    AddChild(&detailCross);
    AddChild(&autoTheme);
    AddChild(&autoZoom);
}

void CMgrConfigUISettingDlgMap::VisitFields(SnapshotFieldPass& pass) {
    UISettingRecord& r = pass.Record();
    pass.Field(eCarMark, r.eCarMark);
    pass.Field(eMapColor, r.eMapColor);
    pass.Field(eMapFontType, r.eMapFontType);
    pass.Field(eMapFontSize, r.eMapFontSize);
    pass.Field(eRouteColorDay, r.eRouteColorDay);
    pass.Field(eRouteColorNight, r.eRouteColorNight);
    pass.Field(ePOIViewLevel, r.ePOIViewLevel);
    pass.Field(bDetailCross, r.bDetailCross);
    pass.Field(bZoomCross, r.bZoomCross);
    pass.Field(bOverSpeedSign, r.bOverSpeedSign);
    pass.Field(eMapAutoZoomIn, r.eMapAutoZoomIn);
    pass.Field(eAutoThemePopup, r.eAutoThemePopup);
    pass.Field(e3DViewAngle, r.e3DViewAngle);
    pass.Field(b3DBuilding, r.b3DBuilding);
    pass.Field(eNightMode, r.eNightMode);
    pass.Grouped(lNightModeUserTime, r.lNightModeUserTime, uNightTimeSpare, r.uNightTimeSpare);
    pass.Field(bRoadLinePopup, r.bRoadLinePopup);
    pass.Field(bScreenCapture, r.bScreenCapture);
    pass.Field(bViewGPSLog, r.bViewGPSLog);
    pass.Field(eNaviMode, r.eNaviMode);
    pass.Field(bUseTrip, r.bUseTrip);
}

void CMgrConfigUISettingDlgRouteOption::VisitFields(SnapshotFieldPass& pass) {
    pass.Grouped(lOptimumRouteOption, pass.Record().lOptimumRouteOption);
}

CMgrConfigUISettingDlgRoute::CMgrConfigUISettingDlgRoute(CMgrConfigUISetting* live)
    : CMgrConfigUISettingDlgGroup(live), routeOption(Live()) {
    AddChild(&routeOption);
}

void CMgrConfigUISettingDlgRoute::VisitFields(SnapshotFieldPass& pass) {
    UISettingRecord& r = pass.Record();
    pass.Field(eDefaultRouteOption, r.eDefaultRouteOption);
    pass.Field(bRouteWithPeloxWizard, r.bRouteWithPeloxWizard);
    pass.Field(bRouteWithTPEG, r.bRouteWithTPEG);
    pass.Field(bRouteWithGoalDir, r.bRouteWithGoalDir);
    pass.Field(bRouteWithGoalNear, r.bRouteWithGoalNear);
    pass.Field(bRouteWithOutShortTurn, r.bRouteWithOutShortTurn);
    pass.Field(bRouteWithAlternative, r.bRouteWithAlternative);
}

void CMgrConfigUISettingDlgVoiceGuideHiway::VisitFields(SnapshotFieldPass& pass) {
    pass.Field(bArrBasicVoiceGuideHiway, pass.Record().bArrBasicVoiceGuideHiway);
}

void CMgrConfigUISettingDlgVoiceGuideNormalway::VisitFields(SnapshotFieldPass& pass) {
    pass.Field(bArrBasicVoiceGuideNormalway, pass.Record().bArrBasicVoiceGuideNormalway);
}

void CMgrConfigUISettingDlgSafeVoiceGuideDist::VisitFields(SnapshotFieldPass& pass) {
    pass.Field(bArrSafeVoiceGuideType, pass.Record().bArrSafeVoiceGuideType);
}

void CMgrConfigUISettingDlgSafeDriveGuideItem::VisitFields(SnapshotFieldPass& pass) {
    pass.Field(nSafeDriveGuideItem, pass.Record().nSafeDriveGuideItem);
}

void CMgrConfigUISettingDlgSpeedOverAlram::VisitFields(SnapshotFieldPass& pass) {
    UISettingRecord& r = pass.Record();
    pass.Field(bSpeedOverAlram, r.bSpeedOverAlram);
    pass.Field(eSpeedOverAlramType, r.eSpeedOverAlramType);
    pass.Field(ySpeedOverAlramLimit, r.ySpeedOverAlramLimit);
}

void CMgrConfigUISettingDlgEtcVoiceGuideItem::VisitFields(SnapshotFieldPass& pass) {
    pass.Field(nEtcVoiceGuideItem, pass.Record().nEtcVoiceGuideItem);
}

CMgrConfigUISettingDlgVoiceGuide::CMgrConfigUISettingDlgVoiceGuide(CMgrConfigUISetting* live)
    : CMgrConfigUISettingDlgGroup(live),
      hiway(Live()),
      normalway(Live()),
      safeVoiceGuideDist(Live()),
      safeDriveGuideItem(Live()),
      speedOverAlram(Live()),
      etcVoiceGuideItem(Live()) {
    AddChild(&hiway);
    AddChild(&normalway);
    AddChild(&safeVoiceGuideDist);
    AddChild(&safeDriveGuideItem);
    AddChild(&speedOverAlram);
    AddChild(&etcVoiceGuideItem);
}

void CMgrConfigUISettingDlgVoiceGuide::VisitFields(SnapshotFieldPass& pass) {
    UISettingRecord& r = pass.Record();
    pass.Field(nGuideSpeed, r.nGuideSpeed);
    pass.Field(eTurnPointGuide, r.eTurnPointGuide);
}

void CMgrConfigUISettingDlgVolBri::VisitFields(SnapshotFieldPass& pass) {
    UISettingRecord& r = pass.Record();
    pass.Field(eAppVolumeMP3AtGuide, r.eAppVolumeMP3AtGuide);
    pass.Field(eAppVolumeDMBAtGuide, r.eAppVolumeDMBAtGuide);
    pass.Field(bTouchSoundUse, r.bTouchSoundUse);
    pass.Field(bAutoVolumeBySpeed, r.bAutoVolumeBySpeed);
    pass.Field(bAutoBrightByTime, r.bAutoBrightByTime);
}

CMgrConfigUISettingDlgTPEG::CMgrConfigUISettingDlgTPEG(CMgrConfigUISetting* live)
    : CMgrConfigUISettingDlgGroup(live), tpegDrawScreen(CMgrConfigUISettingDlgItemDrawScreen::kTPEG, Live()) {
    AddChild(&tpegDrawScreen);
}

void CMgrConfigUISettingDlgTPEG::VisitFields(SnapshotFieldPass& pass) {
    UISettingRecord& r = pass.Record();
    pass.Field(eTPEGDrawRoadType, r.eTPEGDrawRoadType);
    pass.Field(eTPEGDrawCongestion, r.eTPEGDrawCongestion);
    pass.Field(bTPEGAutoReRoute, r.bTPEGAutoReRoute);
    pass.Field(yTPEGAutoReRouteTime, r.yTPEGAutoReRouteTime);
    pass.Field(bViewRTM, r.bViewRTM);
    pass.Field(bGuidanceRTM, r.bGuidanceRTM);
}

void CMgrConfigUISettingDlgMenuOrder::VisitFields(SnapshotFieldPass& pass) {
    UISettingRecord& r = pass.Record();
    if (m_kind == kAllMenus) {
        pass.Field(eArrMenuIDMainMenu, r.eArrMenuIDMainMenu);
    } else if (m_kind >= 0 && m_kind < kUIMainMenuPages) {
        pass.Field(eArrMenuIDMainMenu[m_kind], r.eArrMenuIDMainMenu[m_kind]);
    }
}

CMgrConfigUISettingDlgUIStyleMenu::CMgrConfigUISettingDlgUIStyleMenu(int kind, CMgrConfigUISetting* live)
    : CMgrConfigUISettingDlgGroup(live), menuOrder(kind, Live()), m_kind(kind) {
    AddChild(&menuOrder);
}

int CMgrConfigUISettingDlgUIStyleMenu::Load(const UISettingRecord* record, int recurse) {
    if (recurse == 1) menuOrder.SetKind(m_kind);
    return CMgrConfigUISettingDlgGroup::Load(record, recurse);
}

void CMgrConfigUISettingDlgUIStyleMenu::VisitFields(SnapshotFieldPass& pass) {
    UISettingRecord& r = pass.Record();
    if (m_kind == CMgrConfigUISettingDlgMenuOrder::kAllMenus) {
        pass.Field(nArrMenuUITempleteIndex, r.nArrMenuUITempleteIndex);
        pass.Field(nArrMainMenuMaxPageItem, r.nArrMainMenuMaxPageItem);
    } else if (m_kind >= 0 && m_kind < kUIMainMenuPages) {
        pass.Field(nArrMenuUITempleteIndex[m_kind], r.nArrMenuUITempleteIndex[m_kind]);
        pass.Field(nArrMainMenuMaxPageItem[m_kind], r.nArrMainMenuMaxPageItem[m_kind]);
    }
}

void CMgrConfigUISettingDlgUIStyleMap::VisitFields(SnapshotFieldPass& pass) {
    UISettingRecord& r = pass.Record();
    pass.Field(nMapUIColorTempleteIndex, r.nMapUIColorTempleteIndex);
    pass.Field(nMapUITempleteIndex, r.nMapUITempleteIndex);
}

void CMgrConfigUISettingDlgSubMenuOrder::VisitFields(SnapshotFieldPass& pass) {
    pass.Field(eArrMenuIDSubMenu, pass.Record().eArrMenuIDSubMenu);
}

void CMgrConfigUISettingDlgHotMenuOrder::VisitFields(SnapshotFieldPass& pass) {
    pass.Field(eArrMenuIDSubToolBar, pass.Record().eArrMenuIDSubToolBar);
}

CMgrConfigUISettingDlgSubNHotMenu::CMgrConfigUISettingDlgSubNHotMenu(CMgrConfigUISetting* live)
    : CMgrConfigUISettingDlgGroup(live), subMenuOrder(Live()), hotMenuOrder(Live()) {
    AddChild(&subMenuOrder);
    AddChild(&hotMenuOrder);
}

void CMgrConfigUISettingDlgSubNHotMenu::VisitFields(SnapshotFieldPass&) {}

void CMgrConfigUISettingDlgCarInfo::VisitFields(SnapshotFieldPass& pass) {
    pass.Field(eCarType, pass.Record().eCarType);
}

void CMgrConfigUISettingDlgRepeat::VisitFields(SnapshotFieldPass& pass) {
    UISettingRecord& r = pass.Record();
    pass.Field(eRepeatCountFilterType, r.eRepeatCountFilterType);
    pass.Field(bRepeatDestPopupUse, r.bRepeatDestPopupUse);
    pass.Field(nRepeatDestPopupTime, r.nRepeatDestPopupTime);
    pass.Field(nRepeatDestPopupMaxLine, r.nRepeatDestPopupMaxLine);
    pass.Field(bRepeatDestPopupHomeNOffice, r.bRepeatDestPopupHomeNOffice);
    pass.Field(bRepeatDestPopupFindName, r.bRepeatDestPopupFindName);
}
