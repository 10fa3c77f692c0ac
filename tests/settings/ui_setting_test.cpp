// UI and map-display settings: defaults, the two files, the menu upgrade of
// old files, file-by-file fallback, menu groups and the POI category list.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "foundation/nv_config.h"
#include "settings/ui_setting.h"
#include "support/temp_dir.h"

namespace {

using testsupport::TempDir;

NvString Native(const std::string& path) { return NvString::FromUtf8(path); }

class UISettingTest : public ::testing::Test {
protected:
    void SetUp() override { NvFilePath::SetFolders(Native(m_dir.Path()), Native(m_dir.Path())); }
    void TearDown() override {
        CMgrConfigUISetting::SetAroundCategorySource(nullptr);
        NvFilePath::SetFolders(NvString(), NvString());
    }

    std::unique_ptr<CMgrConfigUISetting> Open() { return std::make_unique<CMgrConfigUISetting>(); }

    std::string UIText() const { return m_dir.Read("UISetting.ust"); }
    std::string MapText() const { return m_dir.Read("MapSetting.ust"); }

    // Rewrites keys of a saved file, as an older release or a user would
    // have left it; a value of -1 removes the key.
    void EditFile(const std::string& name, const std::map<std::u16string, int>& changes) {
        NvConfigFile in;
        ASSERT_EQ(in.Load(Native(m_dir.File(name))), 1);
        NvConfigFile out;
        out.SetFilePath(Native(m_dir.File(name)));
        for (int i = 0; i < in.GetCount(); ++i) {
            NvString key;
            int type = 0;
            NvString text;
            in.GetAt(i, &key, &type, &text, nullptr, 0);
            auto change = changes.find(std::u16string(key.GetData()));
            if (change == changes.end()) {
                out.SetValue(key, text, type);
            } else if (change->second != -1) {
                out.SetInt(key, change->second);
            }
        }
        ASSERT_EQ(out.Save(), 1);
    }

    static int LineCount(const std::string& text, const std::string& line) {
        int count = 0;
        for (size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) ++count;
        return count;
    }

    TempDir m_dir;
};

TEST_F(UISettingTest, DefaultsOfBothTables) {
    auto setting = Open();
    const UISettingRecord& r = setting->Record();
    struct Case {
        const char* name;
        int value;
        int expected;
    };
    const Case cases[] = {
        {"lAutoZoomInDrawScreen.bSplitRightMap", r.lAutoZoomInDrawScreen.bSplitRightMap, 0},
        {"lTPEGDrawScreen.bSplitLeftMap", r.lTPEGDrawScreen.bSplitLeftMap, 1},
        {"eMapFontSize", r.eMapFontSize, 2},
        {"nUnsaved", r.nUnsaved, 0},
        {"eNightMode", r.eNightMode, 3},
        {"night start hour", r.lNightModeUserTime[0].uHour, 19},
        {"night end hour", r.lNightModeUserTime[1].uHour, 6},
        {"nThemeCate", r.nThemeCate, 31},
        {"eAutoZoomLevelBySpeed[3]", r.eAutoZoomLevelBySpeed[3], 12},
        {"eAutoZoomLevelByDistance[0]", r.eAutoZoomLevelByDistance[0], 9},
        {"yDetourLeftTurn", r.lOptimumRouteOption.yDetourLeftTurn, 5},
        {"hiway[1][1]", r.bArrBasicVoiceGuideHiway[1][1], 0},
        {"hiway[1][2]", r.bArrBasicVoiceGuideHiway[1][2], 1},
        {"normalway[4][3]", r.bArrBasicVoiceGuideNormalway[4][3], 0},
        {"safe[0][1][1]", r.bArrSafeVoiceGuideType[0][1][1], 1},
        {"safe[1][1][0]", r.bArrSafeVoiceGuideType[1][1][0], 1},
        {"safe[1][1][1]", r.bArrSafeVoiceGuideType[1][1][1], 0},
        {"nSafeDriveGuideItem", r.nSafeDriveGuideItem, 1048575},
        {"yTPEGAutoReRouteTime", r.yTPEGAutoReRouteTime, 5},
        {"nArrMainMenuMaxPageItem[4]", r.nArrMainMenuMaxPageItem[4], 8},
        {"main menu page 0, id 15", r.eArrMenuIDMainMenu[0][15], 12080},
        {"main menu page 0, id 16", r.eArrMenuIDMainMenu[0][16], 0},
        {"main menu page 4, id 5", r.eArrMenuIDMainMenu[4][5], 52040},
        {"sub menu 0", r.eArrMenuIDSubMenu[0], 60040},
        {"sub menu 8", r.eArrMenuIDSubMenu[8], 12060},
        {"sub menu 9", r.eArrMenuIDSubMenu[9], 0},
        {"tool bar 1", r.eArrMenuIDSubToolBar[1], 12060},
        {"nRepeatDestPopupMaxLine", r.nRepeatDestPopupMaxLine, 5},
        {"eTPEGBS", r.eTPEGBS, 0},
        {"eMapScreenMode", r.eMapScreenMode, 3},
        {"eRightZoomLevel", r.eRightZoomLevel, 12},
        {"nOilPrice", r.lEcoDriveOption.nOilPrice, 1600},
        {"nBasicFuel", r.lEcoDriveOption.nBasicFuel, 120},
        {"nOilCateCode", r.nOilCateCode, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.value, c.expected);
    }
    EXPECT_EQ(setting->CountSubMenuItems(), 9);
    EXPECT_EQ(setting->CountSubToolBarItems(), 2);
    EXPECT_EQ(setting->IsSaved(), 1);

    // SetDefaults on a copy leaves the live record alone.
    UISettingRecord copy;
    std::memset(&copy, 0x5A, sizeof copy);
    setting->Record().eCarMark = 4;
    setting->SetDefaults(&copy);
    EXPECT_EQ(std::memcmp(&copy.eArrMenuIDSubMenu, &r.eArrMenuIDSubMenu, sizeof copy.eArrMenuIDSubMenu), 0);
    EXPECT_EQ(copy.eCarMark, 1);
    EXPECT_EQ(copy.ySpare1[0], 0);
    EXPECT_EQ(setting->Record().eCarMark, 4);
    setting->SetDefaults(nullptr);
    EXPECT_EQ(setting->Record().eCarMark, 1);
}

TEST_F(UISettingTest, FirstStartWritesBothFilesInKeyOrder) {
    Open();
    const std::string ui = UIText();
    EXPECT_EQ(ui.rfind("nVersion|1=3288629\r\nlPOIDrawScreen.bFullMap|1=1\r\n", 0), 0u);
    const char* lines[] = {
        "\r\nbZoomCross|1=1\r\nbOverSpeedSign|1=1\r\n",
        ("\r\nlNightModeUserTime[  0].uHour|1=19\r\nlNightModeUserTime[  0].uMinute|1=0\r\n"
         "lNightModeUserTime[  1].uHour|1=6\r\n"),
        "\r\nnArrPOIID[  7]|1=0\r\nnThemeCate|1=31\r\n",
        "\r\nbRouteWithAlternative|1=0\r\nlOptimumRouteOption.yAlley|1=5\r\nlOptimumRouteOption.yCityHighWay|1=5\r\n",
        "\r\nlOptimumRouteOption.yTollRoad|1=5\r\nnGuideSpeed|1=1\r\n",
        "\r\nbArrSafeVoiceGuideType[  1][  0][  1]|1=1\r\n",
        "\r\nnSafeDriveGuideItem|1=1048575\r\n",
        "\r\nnMapUITempleteIndex|1=0\r\nnMapUIColorTempleteIndex|1=0\r\n",
        "\r\neArrMenuIDMainMenu[  4][ 23]|1=0\r\neArrMenuIDSubMenu[  0]|1=60040\r\n",
        "\r\nbRepeatDestPopupFindName|1=0\r\neTPEGBS|1=0\r\n",
    };
    for (const char* line : lines) {
        SCOPED_TRACE(line);
        EXPECT_EQ(LineCount(ui, line), 1);
    }
    EXPECT_EQ(LineCount(ui, "\r\n"), 299);  // nVersion and 298 keys
    EXPECT_EQ(ui.substr(ui.size() - 13), "eTPEGBS|1=0\r\n");

    const std::string map = MapText();
    EXPECT_EQ(map.rfind("nVersion|1=3288629\r\neMapScreenMode|1=3\r\n", 0), 0u);
    EXPECT_EQ(LineCount(map, "\r\nlEcoDriveOption.nOilPrice|1=1600\r\neOilFilter|1=1\r\nnOilCateCode|1=10\r\n"), 1);
    EXPECT_EQ(LineCount(map, "\r\n"), 29);
}

TEST_F(UISettingTest, SaveAndLoadRoundTrip) {
    UISettingRecord saved;
    {
        auto setting = Open();
        UISettingRecord& r = setting->Record();
        r.eCarMark = 3;
        r.lNightModeUserTime[1].uMinute = 45;
        r.lOptimumRouteOption.yLane3 = 200;
        r.ySpeedOverAlramLimit = 110;
        r.nArrPOIID[0] = 4001;
        r.bArrSafeVoiceGuideType[1][0][3] = 1;
        r.eArrMenuIDMainMenu[2][23] = 99001;
        r.eArrMenuIDSubToolBar[0] = 0;
        r.nSafeDriveGuideItem = -1;  // written as 4294967295
        r.eLeftZoomLevel = 5;
        r.lEcoDriveOption.nOilPrice = 1875;
        r.nUnsaved = 77;  // not part of either file
        ASSERT_EQ(setting->SaveAll(), 1);
        saved = r;
    }
    EXPECT_EQ(LineCount(UIText(), "\r\nnSafeDriveGuideItem|1=4294967295\r\n"), 1);
    auto back = Open();
    EXPECT_EQ(back->Load(), 1);
    saved.nUnsaved = 0;
    EXPECT_EQ(std::memcmp(&saved, &back->Record(), sizeof saved), 0);
    EXPECT_EQ(back->CountSubToolBarItems(), 1);
}

TEST_F(UISettingTest, MissingKeysAreFilledInAndByteFieldsTakeTheLowByte) {
    Open();
    EditFile("UISetting.ust", {{u"eMapColor", -1}, {u"eCarMark", 2}, {u"ySpeedOverAlramLimit", 300}});
    EditFile("MapSetting.ust", {{u"eOilFilter", -1}, {u"eLeftMapMode", 2}});
    EXPECT_EQ(LineCount(UIText(), "eMapColor|"), 0);

    auto setting = Open();
    EXPECT_EQ(setting->Record().eCarMark, 2);
    EXPECT_EQ(setting->Record().eMapColor, 1);
    EXPECT_EQ(setting->Record().ySpeedOverAlramLimit, 44);
    EXPECT_EQ(setting->Record().eLeftMapMode, 2);
    // Both files were completed from memory.
    EXPECT_EQ(LineCount(UIText(), "\r\neMapColor|1=1\r\n"), 1);
    EXPECT_EQ(LineCount(UIText(), "\r\nySpeedOverAlramLimit|1=44\r\n"), 1);
    EXPECT_EQ(LineCount(MapText(), "\r\neOilFilter|1=1\r\n"), 1);
    EXPECT_EQ(LineCount(MapText(), "\r\neLeftMapMode|1=2\r\n"), 1);
}

TEST_F(UISettingTest, OldFilesGetTheNewMenus) {
    struct Case {
        int version;  // -1: no "nVersion" key
        bool mainReset;
        bool subReset;
        bool mapRewritten;
    };
    const Case cases[] = {
        {841887791, false, false, false}, {841887792, true, true, true},   {841887793, true, true, true},
        {841887794, false, true, true},   {841887795, false, false, false}, {3288629, false, false, false},
        {-1, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        std::remove(m_dir.File("UISetting.ust").c_str());
        std::remove(m_dir.File("MapSetting.ust").c_str());
        Open();
        EditFile("UISetting.ust", {{u"nVersion", c.version},
                                   {u"eCarMark", 3},
                                   {u"eArrMenuIDMainMenu[  1][  0]", 99999},
                                   {u"eArrMenuIDSubMenu[  0]", 88888},
                                   {u"eArrMenuIDSubToolBar[  1]", 77777}});
        // A map file without its version line shows whether it was rewritten.
        EditFile("MapSetting.ust", {{u"nVersion", -1}, {u"eRightMapMode", 2}});

        auto setting = Open();
        const UISettingRecord& r = setting->Record();
        EXPECT_EQ(r.eCarMark, 3);
        EXPECT_EQ(r.eArrMenuIDMainMenu[1][0], c.mainReset ? 21010 : 99999);
        EXPECT_EQ(r.eArrMenuIDSubMenu[0], c.subReset ? 60040 : 88888);
        EXPECT_EQ(r.eArrMenuIDSubToolBar[1], c.subReset ? 12060 : 77777);
        EXPECT_EQ(r.eRightMapMode, 2);

        const std::string ui = UIText();
        EXPECT_EQ(ui.rfind("nVersion|1=3288629\r\n", 0), c.version == 3288629 || c.subReset || c.version == -1 ? 0u
                                                                                                      : std::string::npos);
        EXPECT_EQ(LineCount(ui, "\r\neCarMark|1=3\r\n"), 1);
        if (c.subReset) {
            EXPECT_EQ(LineCount(ui, "\r\neArrMenuIDSubMenu[  0]|1=60040\r\n"), 1);
        }
        EXPECT_EQ(MapText().rfind("nVersion|1=3288629\r\n", 0), c.mapRewritten ? 0u : std::string::npos);
    }
}

TEST_F(UISettingTest, DeletingOneFileResetsOnlyItsPart) {
    {
        auto setting = Open();
        setting->Record().eCarMark = 4;
        setting->Record().eLeftZoomLevel = 5;
        ASSERT_EQ(setting->SaveAll(), 1);
    }
    const std::string uiBefore = UIText();
    ASSERT_EQ(std::remove(m_dir.File("MapSetting.ust").c_str()), 0);
    {
        auto setting = Open();
        EXPECT_EQ(setting->Record().eCarMark, 4);
        EXPECT_EQ(setting->Record().eLeftZoomLevel, 9);
        EXPECT_EQ(UIText(), uiBefore);
        EXPECT_EQ(LineCount(MapText(), "\r\neLeftZoomLevel|1=9\r\n"), 1);
        EXPECT_EQ(setting->Load(), 1);
        setting->Record().eLeftZoomLevel = 6;
        ASSERT_EQ(setting->SaveMapSetting(), 1);
    }
    ASSERT_EQ(std::remove(m_dir.File("UISetting.ust").c_str()), 0);
    auto setting = Open();
    EXPECT_EQ(setting->Record().eCarMark, 1);
    EXPECT_EQ(setting->Record().eLeftZoomLevel, 6);
    EXPECT_EQ(LineCount(UIText(), "\r\neCarMark|1=1\r\n"), 1);

    // Load reports a file it could not read; the part keeps its defaults.
    ASSERT_EQ(std::remove(m_dir.File("MapSetting.ust").c_str()), 0);
    setting->Record().eCarMark = 2;
    EXPECT_EQ(setting->Load(), 0);
    EXPECT_EQ(setting->Record().eCarMark, 1);
    EXPECT_EQ(setting->Record().eLeftZoomLevel, 9);
}

TEST_F(UISettingTest, DamagedMapFileIsSetAsideAndRewritten) {
    Open();
    m_dir.Write("MapSetting.ust", "nVersion|1=3288629\r\neLeftZoomLevel|1=5\r\nbroken line\r\n");
    auto setting = Open();
    EXPECT_EQ(setting->Record().eLeftZoomLevel, 9);
    EXPECT_NE(m_dir.Read("MapSetting.err").find("broken line"), std::string::npos);
    EXPECT_EQ(LineCount(MapText(), "\r\neLeftZoomLevel|1=9\r\n"), 1);
}

TEST(UIMenuGroupTest, AppendsTheIdsOfAGroup) {
    struct Case {
        int group;
        int result;
        int count;
        int32_t first;
        int32_t last;
    };
    const Case cases[] = {
        {0, 1, 16, 11010, 12080}, {1, 1, 9, 21010, 21090}, {2, 1, 8, 31010, 32010}, {3, 1, 7, 41010, 41070},
        {4, 1, 6, 51050, 52040},  {5, 0, 0, 0, 0},         {6, 1, 2, 60020, 60040}, {7, 1, 9, 60040, 12060},
        {8, 1, 2, 12010, 12060},  {9, 0, 0, 0, 0},         {-1, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.group);
        NvArray<int32_t> ids;
        EXPECT_EQ(CMgrConfigUISetting::AppendMenuGroupIds(c.group, &ids), c.result);
        ASSERT_EQ(ids.GetCount(), c.count);
        if (c.count > 0) {
            EXPECT_EQ(*ids.GetAt(0), c.first);
            EXPECT_EQ(*ids.GetAt(c.count - 1), c.last);
        }
    }
    NvArray<int32_t> ids;
    ids.Add(1);
    EXPECT_EQ(CMgrConfigUISetting::AppendMenuGroupIds(8, &ids), 1);
    EXPECT_EQ(CMgrConfigUISetting::AppendMenuGroupIds(6, &ids), 1);
    EXPECT_EQ(ids.GetCount(), 5);  // appended after what was there
    EXPECT_EQ(CMgrConfigUISetting::AppendMenuGroupIds(0, nullptr), 0);
}

// A category tree as the search module would list it.
class FakeCategories : public AroundCategorySource {
public:
    explicit FakeCategories(std::map<int32_t, std::vector<int32_t>> tree, int reportedExtra = 0)
        : m_tree(std::move(tree)), m_reportedExtra(reportedExtra) {}
    int GetAroundCateList(int32_t code, int level, AroundCategoryRow*, AroundCategoryRow* rows) override {
        ++calls;
        if (level != 1) return -1;
        auto it = m_tree.find(code);
        if (it == m_tree.end()) return -1;
        const std::vector<int32_t>& children = it->second;
        for (size_t i = 0; i < children.size() && i < kMaxRows; ++i) rows[i].code = children[i];
        return children.empty() ? 0 : static_cast<int>(children.size()) + m_reportedExtra;
    }
    int calls = 0;

private:
    std::map<int32_t, std::vector<int32_t>> m_tree;
    int m_reportedExtra;
};

std::vector<int32_t> Categories(const CMgrConfigUISetting& setting) {
    std::vector<int32_t> out;
    const NvArray<int32_t>& list = setting.POICategoryList();
    for (int i = 0; i < list.GetCount(); ++i) out.push_back(*list.GetAt(i));
    return out;
}

TEST_F(UISettingTest, POICategoryListHoldsTheLeavesOfTheSelectedCodes) {
    FakeCategories tree({
        {100, {110, 120, 0}},
        {110, {111, 112}},
        {120, {}},
        {500, {500}},  // a listing that names itself as its child
    });
    CMgrConfigUISetting::SetAroundCategorySource(&tree);
    auto setting = Open();

    setting->RebuildPOICategoryList();
    EXPECT_TRUE(Categories(*setting).empty());  // nothing selected

    setting->Record().nArrPOIID[0] = 100;
    setting->Record().nArrPOIID[1] = 200;
    setting->RebuildPOICategoryList();
    EXPECT_EQ(Categories(*setting), (std::vector<int32_t>{111, 112, 120, 200}));

    setting->Record().nArrPOIID[1] = 500;
    setting->RebuildPOICategoryList();
    const std::vector<int32_t> cyclic = Categories(*setting);
    ASSERT_EQ(cyclic.size(), 4u);
    EXPECT_EQ(cyclic[3], 500);

    // Without the search module every selected code stands for itself.
    CMgrConfigUISetting::SetAroundCategorySource(nullptr);
    setting->RebuildPOICategoryList();
    EXPECT_EQ(Categories(*setting), (std::vector<int32_t>{100, 500}));
}

TEST_F(UISettingTest, POICategoryCountBeyondTheRowsIsCut) {
    std::vector<int32_t> many;
    for (int i = 1; i <= 29; ++i) many.push_back(1000 + i);
    FakeCategories tree({{7, many}}, 50);
    CMgrConfigUISetting::SetAroundCategorySource(&tree);
    auto setting = Open();
    setting->Record().nArrPOIID[0] = 7;
    setting->RebuildPOICategoryList();
    const std::vector<int32_t> leaves = Categories(*setting);
    ASSERT_EQ(leaves.size(), 29u);
    EXPECT_EQ(leaves.back(), 1029);
}

}  // namespace
