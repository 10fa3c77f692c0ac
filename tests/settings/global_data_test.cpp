#include "settings/global_data.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "foundation/debug_trace.h"
#include "foundation/mgr_text.h"
#include "foundation/nv_config.h"
#include "foundation/system_settings.h"
#include "platform/codepage.h"
#include "support/temp_dir.h"
#include "tools/writers/settings_writer.h"

namespace {

using testsupport::TempDir;

std::u16string U(const std::string& utf8) { return platform::Utf8ToUtf16(utf8); }

int Item(const char* key) {
    for (int i = 0; i < SYS_ITEM_COUNT; ++i) {
        if (GetSystemSettingKey(i) && std::string(GetSystemSettingKey(i)) == key) return i;
    }
    ADD_FAILURE() << key;
    return -1;
}

class GlobalData : public ::testing::Test {
protected:
    void SetUp() override {
        SetDebugTraceSink([this](std::string_view line) { m_trace += line; }, false);
        SetSystemSettingsSource(&m_items);
        SetModuleFolderForTesting(m_dir.Path() + "/bin");
    }
    void TearDown() override {
        SetSystemSettingsSource(nullptr);
        SetModuleFolderForTesting("");
        SetDebugTraceSink(nullptr);
        NvFilePath::SetFolders(NvString(), NvString());
    }
    std::unique_ptr<CMgrConfigGlobalData> Loaded() {
        auto data = std::make_unique<CMgrConfigGlobalData>();
        EXPECT_EQ(data->Load(), 1);
        // Every item the object reads is one the shell knows.
        EXPECT_EQ(m_trace.find("no system configuration item"), std::string::npos) << m_trace;
        return data;
    }

    TempDir m_dir;
    FixedSystemSettings m_items;
    std::string m_trace;
};

TEST_F(GlobalData, DefaultsWithoutAnyItem) {
    const auto data = Loaded();
    const std::u16string root = U(m_dir.Path() + "/bin");
    struct Folder {
        const char* name;
        const char16_t* field;
        std::u16string expected;
    } folders[] = {
        {"root", data->m_rootFolder, root},
        {"app", data->m_appFolder, root + u"\\App"},
        {"ui", data->m_uiFolder, root + u"\\UI"},
        {"map", data->m_mapFolder, root + u"\\MAP\\"},
        {"config", data->m_configFolder, root + u"\\User\\Navi\\Config"},
        {"nand", data->m_nandFolder, root},
        {"route", data->m_routeFolder, root},
        {"traffic backup", data->m_tpegBackupFolder, root},
        {"traffic library", data->m_tpegLibraryFolder, root + u"\\APP"},
        {"traffic temp", data->m_tpegTempFolder, root},
        {"window name", data->m_windowName, u"Navi"},
        {"special POI name", data->m_specialPoiName, u""},
    };
    for (const Folder& f : folders) {
        SCOPED_TRACE(f.name);
        EXPECT_EQ(std::u16string(f.field), f.expected);
    }
    struct Int {
        const char* name;
        int got;
        int expected;
    } ints[] = {
        {"INITSOUND", data->m_initSound, 1},       {"WAVEDEVICE", data->m_waveDevice, -1},
        {"GPSAPI", data->m_gpsApi, 1},             {"WAKEUPSND", data->m_wakeUpSound, 1},
        {"ROUTEMSGFILTER", data->m_routeMessageFilter, 5},
        {"DRAWANTI", data->m_drawAnti, 1},         {"ROADRELIEF", data->m_roadRelief, 1},
        {"VIEWLENGTH", data->m_viewLength, 1},     {"XRAYVIEW", data->m_xrayView, 15},
        {"DESTREROUTE", data->m_destRerouteM, 200}, {"ALTERROUTE", data->m_alterRoute, 1},
        {"2DFIELDLIMIT", data->m_2dFieldLimit, 9}, {"3DSBUILDLIMIT", data->m_3dSBuildLimit, 15},
        {"3DPATTERN", data->m_3dPattern, 1},       {"3DETCROADLIMIT", data->m_3dEtcRoadLimit, 9},
        {"RPCACHE", data->m_rpCache, 5120},        {"GPSPREDICTION", data->m_gpsPrediction, 500},
        {"TRIPSAVE", data->m_tripSave, 1},         {"NRMM", data->m_nrmm, 50},
        {"DMB", data->m_dmb, 0},                   {"EXTENDWAVE", data->m_extendWave, 0},
        {"SUBPOI", data->m_subPoi, 0},
    };
    for (const Int& i : ints) {
        SCOPED_TRACE(i.name);
        EXPECT_EQ(i.got, i.expected);
    }
    EXPECT_EQ(data->m_routePreview.routeSlot, -1);
    EXPECT_EQ(data->m_rendererWord, 12);
}

TEST_F(GlobalData, ItemsAndFolderFallbacks) {
    m_items.SetText(SYS_ROOTPATH, u"/data/navi");
    m_items.SetText(SYS_CONFIGPATH, u"/nand/user");
    m_items.SetText(SYS_NANDPATH, u"/nand");
    m_items.SetText(SYS_ROUTEPATH, u"/nand/route");
    m_items.SetText(Item("TPEGDLLPATH"), u"/lib/tpeg");
    m_items.SetText(SYS_WNDNAME, u"길안내");
    m_items.SetInt(Item("DMB"), 1);
    m_items.SetInt(Item("2DFIELDLIMIT"), 7);
    m_items.SetInt(Item("WAVEDEVICE"), 2);
    m_items.SetInt(Item("NRMM"), 80);
    const auto data = Loaded();
    EXPECT_EQ(std::u16string(data->m_rootFolder), u"/data/navi");
    EXPECT_EQ(std::u16string(data->m_configFolder), u"/nand/user\\Navi\\Config");
    EXPECT_EQ(std::u16string(data->m_routeFolder), u"/nand/route");
    EXPECT_EQ(std::u16string(data->m_tpegBackupFolder), u"/nand");  // falls back to the NAND folder
    EXPECT_EQ(std::u16string(data->m_tpegLibraryFolder), u"/lib/tpeg");
    EXPECT_EQ(std::u16string(data->m_tpegTempFolder), u"/data/navi");
    EXPECT_EQ(std::u16string(data->m_windowName), u"길안내");
    EXPECT_EQ(data->m_dmb, 1);
    EXPECT_EQ(data->m_2dFieldLimit, 7);
    EXPECT_EQ(data->m_waveDevice, 2);
    EXPECT_EQ(data->m_nrmm, 80);

    // The settings files now live in those folders.
    NvFilePath path;
    EXPECT_EQ(path.GetSettingsFileName(NV_FILE_RECENT_DEST, 1), u"/nand/user\\Navi\\Config\\RecentDest.udt");
    EXPECT_EQ(path.GetSettingsFileName(NV_FILE_COURSE_CURRENT, 1), u"/nand/route\\CourseCurrent.idt");

    m_items.SetText(Item("TPEGBACKUPPATH"), u"/backup");
    EXPECT_EQ(std::u16string(Loaded()->m_tpegBackupFolder), u"/backup");
}

TEST_F(GlobalData, ContentSwitchesFromDataIni) {
    m_items.SetText(SYS_ROOTPATH, U(m_dir.Path()));
    struct Case {
        const char* name;
        const char* bytes;  // null: no file
        int extendWave, crossImage, phoneDb, subPoi;
    } cases[] = {
        {"all four", "EXTENDWAVE|1=1\r\nCROSSIMG|1=1\r\nPHONEDB|1=0\r\nSUBPOI|1=1\r\n", 1, 1, 0, 1},
        {"missing key", "CROSSIMG|1=1\r\n", 0, 1, 0, 0},
        {"damaged after two keys", "EXTENDWAVE|1=1\r\nPHONEDB|1=1\r\nbroken\r\nSUBPOI|1=1\r\n", 1, 0, 1, 0},
        {"no file", nullptr, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(m_dir.File("UI/Data.ini"));
        if (c.bytes) m_dir.Write("UI/Data.ini", c.bytes);
        const auto data = Loaded();
        EXPECT_EQ(data->m_extendWave, c.extendWave);
        EXPECT_EQ(data->m_crossImage, c.crossImage);
        EXPECT_EQ(data->m_phoneDb, c.phoneDb);
        EXPECT_EQ(data->m_subPoi, c.subPoi);
        if (c.bytes) {
            EXPECT_EQ(m_dir.Read("UI/Data.ini"), c.bytes);  // content is never moved or rewritten
        }
    }
    EXPECT_EQ(TakeSettingsFileErrorCount(), 0);

    // A settings file named through the loaded folders lands under the root.
    NvConfigFile file;
    file.SetFilePath(NvFilePath().GetSettingsFileName(NV_FILE_UI_SETTING, 1));
    file.SetInt(u"nVersion", 3288629);
    ASSERT_EQ(file.Save(), 1) << file.LastError();
    EXPECT_EQ(m_dir.Read("User/Navi/Config/UISetting.ust"), "nVersion|1=3288629\r\n");
}

TEST_F(GlobalData, DemoRootSettingsAndTexts) {
    std::string error;
    ASSERT_TRUE(settingswriter::WriteDemoSettings(m_dir.Path(), &error)) << error;
    EXPECT_EQ(m_dir.Read("UI/Data.ini"), "EXTENDWAVE|1=1\r\nCROSSIMG|1=1\r\nPHONEDB|1=0\r\nSUBPOI|1=1\r\n");
    EXPECT_EQ(m_dir.Read("UI/text_file_config.txt"),
              "# index\tname\tunused\tfile\r\n1\ttext_general\t0\t\"text_general.txt\"\r\n"
              "2\ttext_map\t0\t\"text_map.txt\"\r\n");
    // "확인" is C8 AE C0 CE in CP949.
    EXPECT_NE(m_dir.Read("UI/text_map.txt").find("\r\n118\t\xC8\xAE\xC0\xCE\r\n"), std::string::npos);

    m_items.SetText(SYS_ROOTPATH, U(m_dir.Path()));
    const auto data = Loaded();
    EXPECT_EQ(data->m_extendWave, 1);
    EXPECT_EQ(data->m_crossImage, 1);
    EXPECT_EQ(data->m_phoneDb, 0);
    EXPECT_EQ(data->m_subPoi, 1);

    MgrText text;
    ASSERT_EQ(text.Init(data->m_uiFolder, 0), 1);
    EXPECT_EQ(std::u16string(GetMgrText(1, 625)), u"25m");
    EXPECT_EQ(std::u16string(GetMgrText(1, 638)), u"500km");
    EXPECT_EQ(std::u16string(GetMgrText(1, 1)), u"길안내");
    EXPECT_EQ(std::u16string(GetMgrText(1, 5)), u"");
    EXPECT_EQ(std::u16string(GetMgrText(2, 118)), u"확인");
    EXPECT_EQ(std::u16string(GetMgrText(2, 124)), u"계속");
}

TEST_F(GlobalData, RoutePreviewResets) {
    CMgrConfigGlobalData data;
    data.m_routePreview.routeSlot = 3;
    data.m_routePreview.counters[1] = 9;
    data.m_routePreview.area[9] = 1;
    data.ResetRoutePreview();
    EXPECT_EQ(data.m_routePreview.routeSlot, -1);
    EXPECT_EQ(data.m_routePreview.counters[1], 0);
    EXPECT_EQ(data.m_routePreview.area[9], 0);
    EXPECT_EQ(&CMgrConfigGlobalData::Instance(), &CMgrConfigGlobalData::Instance());
}

}  // namespace
