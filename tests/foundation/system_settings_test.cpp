#include "foundation/system_settings.h"

#include <gtest/gtest.h>

namespace {

TEST(SystemSettings, DefaultsAndSourceLookups) {
    FixedSystemSettings source;
    source.SetInt(SYS_SPLASH, 0);
    source.SetText(SYS_ROOTPATH, u"/data/navi");
    SetSystemSettingsSource(&source);

    struct Case {
        int index;
        int expectedResult;
        int expectedValue;
    } cases[] = {
        {42, -1, 5},             // ROUTEMSGFILTER: absent, table default
        {SYS_ERRORMSG, -1, 0},
        {20, -1, -1},            // WAVEDEVICE
        {70, -1, 5120},          // RPCACHE
        {SYS_SPLASH, 0, 0},      // found in the source
        {17, -1, 7},             // no item at 17: the value is left alone
        {93, -1, 7},
        {-1, -1, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.index);
        int value = 7;
        EXPECT_EQ(GetSystemSettingInt(c.index, &value), c.expectedResult);
        EXPECT_EQ(value, c.expectedValue);
    }

    char16_t text[8];
    EXPECT_EQ(GetSystemSettingString(SYS_WNDNAME, text, 8), -1);
    EXPECT_EQ(std::u16string(text), u"Navi");
    EXPECT_EQ(GetSystemSettingString(SYS_ROOTPATH, text, 8), 0);
    EXPECT_EQ(std::u16string(text), u"/data/n");   // cut to the buffer, terminated
    EXPECT_STREQ(GetSystemSettingKey(SYS_ERRORMSG), "ERRORMSG");
    SetSystemSettingsSource(nullptr);
}

TEST(SystemSettings, ModuleFolders) {
    SetModuleFolderForTesting("/opt/navi/bin");
    std::u16string folder, parent;
    GetModuleFolder(folder);
    GetModuleParentFolder(parent);
    EXPECT_EQ(folder, u"/opt/navi/bin");
    EXPECT_EQ(parent, u"/opt/navi");
    SetModuleFolderForTesting("");
    GetModuleFolder(folder);
    EXPECT_FALSE(folder.empty());
}

}  // namespace
