// Settings-page snapshots: which fields each page covers, how changes are
// counted, storing back, restoring the defaults without touching the live
// settings, and the composites' children.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "foundation/nv_config.h"
#include "settings/setting_snapshot.h"
#include "settings/ui_setting.h"
#include "support/temp_dir.h"

namespace {

using testsupport::TempDir;

constexpr int kRecordWords = static_cast<int>(sizeof(UISettingRecord) / 4);

UISettingRecord Defaults() {
    UISettingRecord r;
    CMgrConfigUISetting::FillDefaults(r);
    return r;
}

// Every byte of the defaults changed.
UISettingRecord AllChanged() {
    UISettingRecord r = Defaults();
    auto* bytes = reinterpret_cast<uint8_t*>(&r);
    for (size_t i = 0; i < sizeof r; ++i) bytes[i] ^= 0x5A;
    return r;
}

int DifferingWords(const UISettingRecord& a, const UISettingRecord& b) {
    uint32_t wa[kRecordWords];
    uint32_t wb[kRecordWords];
    std::memcpy(wa, &a, sizeof a);
    std::memcpy(wb, &b, sizeof b);
    int n = 0;
    for (int i = 0; i < kRecordWords; ++i) n += wa[i] != wb[i] ? 1 : 0;
    return n;
}

bool SameRecord(const UISettingRecord& a, const UISettingRecord& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

using Page = std::unique_ptr<CMgrConfigUISettingDlg>;
using Make = std::function<Page(CMgrConfigUISetting*)>;

template <class T, class... Args>
Make Maker(Args... args) {
    return [=](CMgrConfigUISetting* live) -> Page { return std::make_unique<T>(args..., live); };
}

struct PageCase {
    const char* what;
    Make make;
    int coveredWords;  // record words a full store writes
    int allChanged;    // the count when every covered field differs
    std::function<void(UISettingRecord&)> changeTwo;
    int twoChangedCount;
};

const PageCase kPages[] = {
    {"draw screens, POI", Maker<CMgrConfigUISettingDlgItemDrawScreen>(1), 3, 1,
     [](UISettingRecord& r) { r.lPOIDrawScreen.bFullMap = 0, r.lPOIDrawScreen.bSplitRightMap = 0; }, 1},
    {"draw screens, auto zoom", Maker<CMgrConfigUISettingDlgItemDrawScreen>(2), 3, 1,
     [](UISettingRecord& r) { r.lAutoZoomInDrawScreen.bSplitLeftMap = 0, r.lAutoZoomInDrawScreen.bSplitRightMap = 1; },
     1},
    {"draw screens, traffic", Maker<CMgrConfigUISettingDlgItemDrawScreen>(3), 3, 1,
     [](UISettingRecord& r) { r.lTPEGDrawScreen.bFullMap = 0, r.lTPEGDrawScreen.bSplitLeftMap = 0; }, 1},
    {"draw screens, kind 0 covers nothing", Maker<CMgrConfigUISettingDlgItemDrawScreen>(0), 0, 0,
     [](UISettingRecord& r) { r.lPOIDrawScreen.bFullMap = 0, r.lTPEGDrawScreen.bFullMap = 0; }, 0},
    {"POI", Maker<CMgrConfigUISettingDlgPOI>(), 8, 8,
     [](UISettingRecord& r) { r.nArrPOIID[0] = 77, r.nArrPOIID[7] = 78; }, 2},
    {"detail cross", Maker<CMgrConfigUISettingDlgDetailCross>(), 3, 3,
     [](UISettingRecord& r) { r.bDetailCrossTunnel ^= 1, r.bDetailCrossUnderRoad ^= 1; }, 2},
    {"auto theme", Maker<CMgrConfigUISettingDlgAutoTheme>(), 1, 1, [](UISettingRecord& r) { r.nThemeCate += 2; }, 1},
    {"auto zoom", Maker<CMgrConfigUISettingDlgAutoZoom>(), 9, 9,
     [](UISettingRecord& r) { r.eAutoZoomLevelBySpeed[3] += 1, r.eAutoZoomLevelByDistance[0] += 1; }, 2},
    {"map", Maker<CMgrConfigUISettingDlgMap>(), 22 + 3 + 3 + 8 + 3 + 1 + 9, 21 + 1 + 1 + 8 + 3 + 1 + 9,
     [](UISettingRecord& r) { r.eMapColor = 3, r.lNightModeUserTime[1].uMinute = 30; }, 2},
    {"route option", Maker<CMgrConfigUISettingDlgRouteOption>(), 2, 1,
     [](UISettingRecord& r) { r.lOptimumRouteOption.yAlley += 1, r.lOptimumRouteOption.yHighWay += 1; }, 1},
    {"route", Maker<CMgrConfigUISettingDlgRoute>(), 7 + 2, 7 + 1,
     [](UISettingRecord& r) { r.bRouteWithTPEG ^= 1, r.lOptimumRouteOption.yLane3 += 1; }, 2},
    {"voice guide, highway", Maker<CMgrConfigUISettingDlgVoiceGuideHiway>(), 20, 20,
     [](UISettingRecord& r) { r.bArrBasicVoiceGuideHiway[4][3] ^= 1, r.bArrBasicVoiceGuideHiway[0][0] ^= 1; }, 2},
    {"voice guide, normal road", Maker<CMgrConfigUISettingDlgVoiceGuideNormalway>(), 20, 20,
     [](UISettingRecord& r) { r.bArrBasicVoiceGuideNormalway[2][1] ^= 1, r.bArrBasicVoiceGuideNormalway[3][2] ^= 1; },
     2},
    {"safe voice guide distances", Maker<CMgrConfigUISettingDlgSafeVoiceGuideDist>(), 16, 16,
     [](UISettingRecord& r) { r.bArrSafeVoiceGuideType[0][1][2] ^= 1, r.bArrSafeVoiceGuideType[1][1][3] ^= 1; }, 2},
    {"safe drive items", Maker<CMgrConfigUISettingDlgSafeDriveGuideItem>(), 1, 1,
     [](UISettingRecord& r) { r.nSafeDriveGuideItem ^= 0x10; }, 1},
    {"speed over alarm", Maker<CMgrConfigUISettingDlgSpeedOverAlram>(), 3, 3,
     [](UISettingRecord& r) { r.ySpeedOverAlramLimit = 250, r.bSpeedOverAlram ^= 1; }, 2},
    {"other voice items", Maker<CMgrConfigUISettingDlgEtcVoiceGuideItem>(), 1, 1,
     [](UISettingRecord& r) { r.nEtcVoiceGuideItem ^= 0x3; }, 1},
    {"voice guide", Maker<CMgrConfigUISettingDlgVoiceGuide>(), 2 + 20 + 20 + 16 + 1 + 3 + 1, 63,
     [](UISettingRecord& r) { r.nGuideSpeed += 10, r.bArrSafeVoiceGuideType[1][1][3] ^= 1; }, 2},
    {"volume and brightness", Maker<CMgrConfigUISettingDlgVolBri>(), 5, 5,
     [](UISettingRecord& r) { r.bTouchSoundUse ^= 1, r.bAutoBrightByTime ^= 1; }, 2},
    {"traffic", Maker<CMgrConfigUISettingDlgTPEG>(), 6 + 3, 6 + 1,
     [](UISettingRecord& r) { r.yTPEGAutoReRouteTime = 9, r.lTPEGDrawScreen.bFullMap = 0; }, 2},
    {"menu order, menu 2", Maker<CMgrConfigUISettingDlgMenuOrder>(2), 24, 24,
     [](UISettingRecord& r) { r.eArrMenuIDMainMenu[2][0] = 1, r.eArrMenuIDMainMenu[2][23] = 2; }, 2},
    {"menu order, all menus", Maker<CMgrConfigUISettingDlgMenuOrder>(5), 120, 120,
     [](UISettingRecord& r) { r.eArrMenuIDMainMenu[0][0] = 1, r.eArrMenuIDMainMenu[4][23] = 2; }, 2},
    {"menu order, kind 7 covers nothing", Maker<CMgrConfigUISettingDlgMenuOrder>(7), 0, 0,
     [](UISettingRecord& r) { r.eArrMenuIDMainMenu[0][0] = 1, r.eArrMenuIDMainMenu[4][23] = 2; }, 0},
    {"menu style, all menus", Maker<CMgrConfigUISettingDlgUIStyleMenu>(5), 10 + 120, 130,
     [](UISettingRecord& r) { r.nArrMenuUITempleteIndex[4] = 3, r.eArrMenuIDMainMenu[0][5] = 4; }, 2},
    {"menu style, menu 1", Maker<CMgrConfigUISettingDlgUIStyleMenu>(1), 2 + 24, 26,
     [](UISettingRecord& r) { r.nArrMainMenuMaxPageItem[1] = 3, r.eArrMenuIDMainMenu[1][0] = 4; }, 2},
    {"map style", Maker<CMgrConfigUISettingDlgUIStyleMap>(), 2, 2,
     [](UISettingRecord& r) { r.nMapUIColorTempleteIndex = 3, r.nMapUITempleteIndex = 4; }, 2},
    {"sub menu order", Maker<CMgrConfigUISettingDlgSubMenuOrder>(), 14, 14,
     [](UISettingRecord& r) { r.eArrMenuIDSubMenu[0] = 1, r.eArrMenuIDSubMenu[13] = 2; }, 2},
    {"hot menu order", Maker<CMgrConfigUISettingDlgHotMenuOrder>(), 2, 2,
     [](UISettingRecord& r) { r.eArrMenuIDSubToolBar[0] = 1, r.eArrMenuIDSubToolBar[1] = 2; }, 2},
    {"sub and hot menus", Maker<CMgrConfigUISettingDlgSubNHotMenu>(), 16, 16,
     [](UISettingRecord& r) { r.eArrMenuIDSubMenu[13] = 1, r.eArrMenuIDSubToolBar[1] = 2; }, 2},
    {"car", Maker<CMgrConfigUISettingDlgCarInfo>(), 1, 1, [](UISettingRecord& r) { r.eCarType += 1; }, 1},
    {"repeated destinations", Maker<CMgrConfigUISettingDlgRepeat>(), 6, 6,
     [](UISettingRecord& r) { r.nRepeatDestPopupTime += 5, r.bRepeatDestPopupFindName ^= 1; }, 2},
};

class SettingSnapshotTest : public ::testing::Test {
protected:
    SettingSnapshotTest() {
        NvFilePath::SetFolders(NvString::FromUtf8(m_dir.Path()), NvString::FromUtf8(m_dir.Path()));
        m_live = std::make_unique<CMgrConfigUISetting>();
    }
    ~SettingSnapshotTest() override { NvFilePath::SetFolders(NvString(), NvString()); }

    TempDir m_dir;
    std::unique_ptr<CMgrConfigUISetting> m_live;
};

TEST_F(SettingSnapshotTest, EachPageCoversItsFields) {
    const UISettingRecord defaults = Defaults();
    const UISettingRecord changed = AllChanged();
    for (const PageCase& c : kPages) {
        SCOPED_TRACE(c.what);
        Page page = c.make(m_live.get());
        ASSERT_EQ(page->Load(&changed, 1), 1);
        EXPECT_EQ(page->CountChanges(&defaults, 1), c.allChanged);
        EXPECT_EQ(page->CountChanges(&changed, 1), 0);
        UISettingRecord out = defaults;
        ASSERT_EQ(page->Store(&out, 1), 1);
        EXPECT_EQ(DifferingWords(out, defaults), c.coveredWords);
        // Nothing but the page's own fields comes back.
        UISettingRecord again = changed;
        page->Load(&defaults, 1);
        page->Store(&again, 1);
        EXPECT_EQ(DifferingWords(again, changed), c.coveredWords);
        EXPECT_TRUE(SameRecord(m_live->Record(), defaults));
    }
}

TEST_F(SettingSnapshotTest, ChangeStoreRestoreDefaults) {
    const UISettingRecord defaults = Defaults();
    for (const PageCase& c : kPages) {
        SCOPED_TRACE(c.what);
        m_live->Record() = defaults;
        UISettingRecord edited = defaults;
        c.changeTwo(edited);

        Page page = c.make(m_live.get());
        ASSERT_EQ(page->Load(nullptr, 1), 1);
        EXPECT_EQ(page->CountChanges(nullptr, 1), 0);
        page->Load(&edited, 1);  // what the user changed on the page
        EXPECT_EQ(page->CountChanges(nullptr, 1), c.twoChangedCount);
        ASSERT_EQ(page->Store(nullptr, 1), 1);
        EXPECT_EQ(page->CountChanges(nullptr, 1), 0);
        const UISettingRecord stored = m_live->Record();
        if (c.twoChangedCount > 0) {
            EXPECT_TRUE(SameRecord(stored, edited));
        }

        // Defaults reach the snapshot only; the live record keeps the change.
        ASSERT_EQ(page->RestoreDefaults(1), 1);
        EXPECT_EQ(page->CountChanges(nullptr, 1), c.twoChangedCount);
        EXPECT_TRUE(SameRecord(m_live->Record(), stored));
        page->Store(nullptr, 1);
        EXPECT_EQ(page->CountChanges(nullptr, 1), 0);
        EXPECT_TRUE(SameRecord(m_live->Record(), defaults));
    }
}

TEST_F(SettingSnapshotTest, PageEditsAndSavesTheLiveSettings) {
    CMgrConfigUISettingDlgMap page(m_live.get());
    ASSERT_EQ(page.Load(nullptr, 1), 1);
    EXPECT_EQ(page.eMapColor, 1);
    EXPECT_EQ(page.lNightModeUserTime[0].uHour, 19);
    EXPECT_EQ(page.poi.nArrPOIID[0], m_live->Record().nArrPOIID[0]);

    page.eMapColor = 2;
    // Both night times and the word after them count once together.
    page.lNightModeUserTime[0].uHour = 20;
    page.lNightModeUserTime[1].uMinute = 15;
    page.autoZoom.eMapAutoZoomInBy += 1;
    EXPECT_EQ(page.CountChanges(nullptr, 1), 3);
    // Asked without recursion a composite counts only its own fields.
    EXPECT_EQ(page.CountChanges(nullptr, 0), 2);

    ASSERT_EQ(page.Store(nullptr, 1), 1);
    ASSERT_EQ(page.SaveSettings(), 1);
    const std::string file = m_dir.Read("UISetting.ust");
    EXPECT_NE(file.find("eMapColor|1=2\r\n"), std::string::npos);
    EXPECT_NE(file.find("lNightModeUserTime[  0].uHour|1=20\r\n"), std::string::npos);
    EXPECT_NE(file.find("lNightModeUserTime[  1].uMinute|1=15\r\n"), std::string::npos);
    CMgrConfigUISetting reloaded;
    EXPECT_TRUE(SameRecord(reloaded.Record(), m_live->Record()));

    // Leaving a page without storing changes nothing.
    {
        CMgrConfigUISettingDlgRoute route(m_live.get());
        route.Load(nullptr, 1);
        route.bRouteWithTPEG ^= 1;
        route.routeOption.lOptimumRouteOption.yTollRoad += 1;
        EXPECT_EQ(route.CountChanges(nullptr, 1), 2);
    }
    EXPECT_TRUE(SameRecord(reloaded.Record(), m_live->Record()));
}

TEST_F(SettingSnapshotTest, CompositeWithoutRecursionLeavesItsChildren) {
    UISettingRecord edited = Defaults();
    edited.eMapColor = 3;
    edited.nArrPOIID[2] = 99;
    CMgrConfigUISettingDlgMap page(m_live.get());
    page.Load(nullptr, 1);
    page.Load(&edited, 0);
    EXPECT_EQ(page.eMapColor, 3);
    EXPECT_NE(page.poi.nArrPOIID[2], 99);
    EXPECT_EQ(page.CountChanges(&edited, 1), 1);
    EXPECT_EQ(page.CountChanges(&edited, 0), 0);

    UISettingRecord out = Defaults();
    page.Load(&edited, 1);
    page.Store(&out, 0);
    EXPECT_EQ(out.eMapColor, 3);
    EXPECT_NE(out.nArrPOIID[2], 99);

    // The menu style hands its menu to its menu order at each recursive load.
    CMgrConfigUISettingDlgUIStyleMenu style(5, m_live.get());
    style.menuOrder.SetKind(2);
    style.SetKind(1);
    style.Load(&edited, 0);
    EXPECT_EQ(style.menuOrder.GetKind(), 2);
    style.Load(&edited, 1);
    EXPECT_EQ(style.menuOrder.GetKind(), 1);
}

TEST_F(SettingSnapshotTest, BaseCoversNothing) {
    CMgrConfigUISettingDlg base(m_live.get());
    UISettingRecord r = AllChanged();
    EXPECT_EQ(base.Load(&r, 1), 1);
    EXPECT_EQ(base.Store(&r, 1), 1);
    EXPECT_EQ(base.CountChanges(nullptr, 1), 0);
    EXPECT_EQ(base.RestoreDefaults(1), 1);
    EXPECT_TRUE(SameRecord(r, AllChanged()));
    EXPECT_EQ(base.Live(), m_live.get());
    // Without a live object given, the program's settings are used.
    CMgrConfigUISettingDlgCarInfo car;
    EXPECT_EQ(car.Live(), CMgrConfigUISetting::Instance());
}

}  // namespace
