// The system-settings bridge (settings file, condition file, key store,
// shared block, capture flag file), the hardware bridge over a fake device
// library, and the position-code block with the broadcaster value.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "foundation/geodesy.h"
#include "foundation/system_settings.h"
#include "platform/paths.h"
#include "platform/serial_port.h"
#include "shell/lcode_block.h"
#include "shell/system_bridge.h"
#include "support/temp_dir.h"

namespace {

// One settings-file line, as the settings files hold them.
std::string Line(const std::string& key, int type, const std::string& value) {
    return key + "|" + std::to_string(type) + "=" + value + "\r\n";
}

class SystemBridge : public ::testing::Test {
protected:
    void SetUp() override {
        SetModuleFolderForTesting(dir.File("App"));
        SetDeviceRoot(dir.Path());
        RegistryKeyStore::SetFolder(dir.File("Registry"));
    }
    void TearDown() override {
        ShutdownSystemSettings();
        SetModuleFolderForTesting("");
        SetDeviceRoot("");
        RegistryKeyStore::SetFolder("");
        SetHwLibraryLoader(nullptr);
        HwTerminate();
    }
    testsupport::TempDir dir;
};

TEST_F(SystemBridge, RegistryWinsForItsItemsAndDefaultsStayForMissingKeys) {
    dir.Write("App/System.ini", Line("SPLASH", 1, "1") + Line("DEMO", 1, "1") + Line("TPEG", 1, "3") +
                                    Line("TPEGDWNDNAME", 2, "FromFile") + Line("WNDNAME", 2, "Car"));
    ASSERT_EQ(RegistryKeyStore::SetDword(RegistryHive::kLocalMachine, kProgramRegistryKey, u"SPLASH", 0), 1);
    ASSERT_EQ(RegistryKeyStore::SetDword(RegistryHive::kLocalMachine, kProgramRegistryKey, u"DEMO", 7), 1);
    ASSERT_EQ(RegistryKeyStore::SetString(RegistryHive::kLocalMachine, kProgramRegistryKey, u"TPEGDWNDNAME",
                                          u"FromKey"),
              1);
    ASSERT_EQ(InitSystemSettings(), 1);
    int v = -5;
    EXPECT_EQ(GetSystemSettingInt(SYS_SPLASH, &v), 0);
    EXPECT_EQ(v, 0) << "the registry wins for SPLASH";
    EXPECT_EQ(GetSystemSettingInt(SYS_DEMO, &v), 0);
    EXPECT_EQ(v, 1) << "DEMO is read from the file only";
    EXPECT_EQ(GetSystemSettingInt(SYS_TPEG, &v), 0);
    EXPECT_EQ(v, 3) << "a registry item absent from the key comes from the file";
    EXPECT_EQ(GetSystemSettingInt(42, &v), -1);   // ROUTEMSGFILTER
    EXPECT_EQ(v, 5);
    char16_t text[64];
    EXPECT_EQ(GetSystemSettingString(SYS_TPEGDWNDNAME, text, 64), 0);
    EXPECT_EQ(std::u16string(text), u"FromKey");
    EXPECT_EQ(GetSystemSettingString(SYS_WNDNAME, text, 64), 0);
    EXPECT_EQ(std::u16string(text), u"Car");
}

TEST_F(SystemBridge, ConditionValuesByTheirSource) {
    dir.Write("App/System.ini", Line("GPX", 1, "0"));
    ASSERT_EQ(InitSystemSettings(), 1);
    int v = -1;
    EXPECT_EQ(GetConditionValue(COND_SWVOLUME, &v), -1);
    EXPECT_EQ(v, 15) << "default";
    EXPECT_EQ(SetConditionValue(COND_GPSPORT, 4), 0);
    EXPECT_EQ(SetConditionValue(COND_GPSBAUD, 9600), 0);
    EXPECT_NE(dir.Read("App/Condition.ini").find("GPSBAUD|1=9600\r\n"), std::string::npos);
    EXPECT_EQ(GetConditionValue(COND_GPSPORT, &v), 0);
    EXPECT_EQ(v, 4);
    EXPECT_EQ(SetConditionValue(COND_SWMUTE, 1), 0);
    EXPECT_EQ(GetConditionValue(COND_SWMUTE, &v), 0);
    EXPECT_EQ(v, 1);
    EXPECT_EQ(SetConditionValue(COND_GPXSTATE, 1), -1);
    EXPECT_EQ(SetConditionValue(10, 1), -1);

    // Index 6 by the GPX setting: 0 fails even with the value present.
    ASSERT_EQ(RegistryKeyStore::SetDword(RegistryHive::kCurrentUser, kCompanionRegistryKey, u"TavenGPxState", 9), 1);
    EXPECT_EQ(GetConditionValue(COND_GPXSTATE, &v), -1);
    FixedSystemSettings gpx;
    gpx.SetInt(SYS_GPX, 1);
    SetSystemSettingsSource(&gpx);
    EXPECT_EQ(GetConditionValue(COND_GPXSTATE, &v), 0);
    EXPECT_EQ(v, 9);
    gpx.SetInt(SYS_GPX, 2);
    platform::SharedMemoryBlock::Unlink(kRegShareMemName);
    {
        platform::SharedMemoryBlock block;
        ASSERT_TRUE(block.Open(kRegShareMemName, kRegShareMemBytes));
        const uint32_t words[4] = {11, 22, 33, 44};
        std::memcpy(block.Data(), words, sizeof words);
    }
    EXPECT_EQ(GetConditionValue(COND_GPXSTATE, &v), 0);
    EXPECT_EQ(v, 11);
    uint32_t word = 0;
    EXPECT_EQ(ReadSharedBlockWord("LimitSpeed", &word), 1);
    EXPECT_EQ(word, 44u);
    EXPECT_EQ(ReadSharedBlockWord("Other", &word), 0);
    platform::SharedMemoryBlock::Unlink(kRegShareMemName);
}

TEST_F(SystemBridge, CaptureFlagFileAndFolderPaths) {
    ASSERT_EQ(InitSystemSettings(), 1);
    int v = 0;
    EXPECT_EQ(GetConditionValue(COND_CAPTURE, &v), -1) << "no file yet";
    EXPECT_EQ(SetConditionValue(COND_CAPTURE, 0x01020304), 0);
    EXPECT_EQ(dir.Read("ResidentFlash/User/Capture.bin"), std::string("\x04\x03\x02\x01", 4));
    EXPECT_EQ(GetConditionValue(COND_CAPTURE, &v), 0);
    EXPECT_EQ(v, 0x01020304);
    dir.Write("ResidentFlash/User/Capture.bin", "ab");
    EXPECT_EQ(GetConditionValue(COND_CAPTURE, &v), -1) << "a short file";

    EXPECT_EQ(MakeFolderPath(dir.Path() + "\\a\\b\\c\\file.txt"), 1);
    EXPECT_TRUE(platform::IsDirectory(dir.File("a/b/c")));
    EXPECT_FALSE(platform::FileExists(dir.File("a/b/c/file.txt")));
    dir.Write("plain", "x");
    EXPECT_EQ(MakeFolderPath(dir.Path() + "/plain/sub/"), 0) << "a file stands in the way";
}

// A device library kept in a table; a missing entry is a missing function.
struct FakeDevice {
    static inline int volume = 0;
    static inline int setCalls = 0;
    static int GetVolume(int* out) {
        *out = volume;
        return 0;
    }
    static int SetVolume(int level, int) {
        ++setCalls;
        volume = level;
        return 0;
    }
    static int Initialize(void*) { return 0; }
    static int GetBright(int*) { return -7; }
    static int GetModelName(char16_t* buffer, int length) {
        for (int i = 0; i < length; ++i) buffer[i] = u'X';   // fills all it was given
        return 0;
    }
};

class FakeLibrary : public HwLibrary {
public:
    void* Symbol(const char* name) override {
        static const std::map<std::string, void*> table = {
            {"Initialize", reinterpret_cast<void*>(&FakeDevice::Initialize)},
            {"GetVolume", reinterpret_cast<void*>(&FakeDevice::GetVolume)},
            {"SetVolume", reinterpret_cast<void*>(&FakeDevice::SetVolume)},
            {"GetBright", reinterpret_cast<void*>(&FakeDevice::GetBright)},
            {"GetModelName", reinterpret_cast<void*>(&FakeDevice::GetModelName)},
        };
        const auto it = table.find(name);
        return it == table.end() ? nullptr : it->second;
    }
};

TEST_F(SystemBridge, HardwareCallsAndTheirResults) {
    int v = 0;
    EXPECT_EQ(HwGetVolume(&v), -3) << "library not loaded";
    SetHwLibraryLoader([] { return std::make_unique<FakeLibrary>(); });
    ASSERT_EQ(HwInitialize(nullptr), 0);
    FakeDevice::volume = 15;
    FakeDevice::setCalls = 0;
    EXPECT_EQ(HwVolumeUp(), 0);
    EXPECT_EQ(FakeDevice::volume, 15);
    EXPECT_EQ(FakeDevice::setCalls, 1) << "15 is set again";
    FakeDevice::volume = 0;
    EXPECT_EQ(HwVolumeDown(), 0);
    EXPECT_EQ(FakeDevice::volume, 0);
    EXPECT_EQ(HwGetMute(&v), -2) << "function missing";
    EXPECT_EQ(HwGetBright(&v), -1) << "negative result";
    EXPECT_EQ(HwBrightUp(), -1);
    char16_t name[8];
    EXPECT_EQ(HwGetModelName(name, 8), 0);
    EXPECT_EQ(std::u16string(name), u"XXXXXXX") << "room kept for the terminator";
    HwTerminate();   // the fake has no "Terminate": it stays loaded
    EXPECT_EQ(HwGetVolume(&v), 0);
}

TEST_F(SystemBridge, PositionCodeBlock) {
    // A known code, turned into a WGS-84 position with the inverse helpers.
    DmsAngle lonB, latB, lon, lat;
    ASSERT_EQ(PositionCodeToDms(50000, 40000, lonB, latB), 1);
    ConvertDatumDms(0, lonB, latB, lon, lat);
    double lonNmea = 0, latNmea = 0;
    DmsToNmea(lon, lonNmea);
    DmsToNmea(lat, latNmea);
    MapPoint p;
    ASSERT_EQ(NmeaToMapPoint(lonNmea, latNmea, p), 1);

    platform::SharedMemoryBlock::Unlink(kLCodeBlockName);
    LCodeSharedMemory lcode;
    ASSERT_TRUE(lcode.IsMapped());
    platform::SharedMemoryBlock reader;
    ASSERT_TRUE(reader.Open(kLCodeBlockName, kLCodeBlockBytes));
    ASSERT_EQ(lcode.WritePosition(p), 1);
    std::u16string text;
    for (size_t i = 0; i + 1 < kLCodeBlockBytes; i += 2) {
        const char16_t c = static_cast<char16_t>(reader.Data()[i] | (reader.Data()[i + 1] << 8));
        if (!c) break;
        text.push_back(c);
    }
    ASSERT_EQ(text.size(), 12u);
    EXPECT_EQ(text[3], u' ');
    EXPECT_EQ(text[7], u' ');
    const std::string ascii(text.begin(), text.end());
    const int latDigits = std::stoi(ascii.substr(0, 3) + ascii.substr(4, 2));
    const int lonDigits = std::stoi(ascii.substr(6, 1) + ascii.substr(8, 4));
    // "%5d%5d" of (latitude code, longitude code), grouped 3, 3 and 4.
    EXPECT_NEAR(latDigits, 40000, 1);
    EXPECT_NEAR(lonDigits, 50000, 1);
    EXPECT_EQ(reader.Data()[24], 0) << "terminator";

    // West of 125 degrees east: cleared, not written.
    EXPECT_EQ(lcode.WritePosition(MapPoint{124 * kMapUnitsPerDegree, 37 * kMapUnitsPerDegree}), 0);
    EXPECT_EQ(reader.Data()[0], 0);
    uint8_t big[61] = {1};
    ASSERT_EQ(lcode.WritePosition(p), 1);
    EXPECT_EQ(lcode.Write(big, sizeof big), 0);
    EXPECT_EQ(reader.Data()[0], ascii[0]) << "a refused write leaves the block";
    platform::SharedMemoryBlock::Unlink(kLCodeBlockName);
}

TEST_F(SystemBridge, TrafficBroadcasterValue) {
    int enabled = 0, broadcaster = -1;
    EXPECT_EQ(SelectTrafficBroadcaster(&enabled, &broadcaster, nullptr), 1);
    EXPECT_EQ(enabled, 1);
    EXPECT_EQ(broadcaster, 0);
    uint32_t tc = 0;
    ASSERT_EQ(RegistryKeyStore::GetDword(RegistryHive::kCurrentUser, kDmbRegistryKey, u"TC", &tc), 1);
    EXPECT_EQ(tc, 1u);
    EXPECT_EQ(PublishTrafficBroadcaster(4), 1);
    ASSERT_EQ(RegistryKeyStore::GetDword(RegistryHive::kCurrentUser, kDmbRegistryKey, u"TC", &tc), 1);
    EXPECT_EQ(tc, 4u);
}

}  // namespace
