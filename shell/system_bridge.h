#pragma once
// The system-settings bridge and the device hardware bridge.
//
// System settings come from "System.ini" beside the program, with values of
// the program's own registry key winning for a few items; condition values
// that other programs of the car PC share live in "Condition.ini", the
// registry, the shared block "REG_SHAREMEM" and a capture flag file. The
// registry is a file-backed key store: one settings file per key under the
// store's folder. The hardware bridge loads the device library at run time
// and calls its volume, mute and brightness functions.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "foundation/nv_config.h"
#include "foundation/system_settings.h"

// Registry hives of the key store.
enum class RegistryHive { kLocalMachine, kCurrentUser };

// A registry of keys and values kept in files: "<folder>/HKLM/Software/
// Varnick/Pelox.reg" holds the values of that key as settings-file lines
// (DWORD values type 1, texts type 2). Writes replace the key's file whole.
class RegistryKeyStore {
public:
    // Native folder of the store; empty: "Registry" in the program folder.
    static void SetFolder(const std::string& nativeFolder);
    static std::string Folder();

    // The key's file exists or was created; 1, or 0 when it cannot be made.
    static int CreateKey(RegistryHive hive, std::string_view keyPath);
    static bool KeyExists(RegistryHive hive, std::string_view keyPath);
    // 1 when the value exists (as a DWORD / as a text), else 0.
    static int GetDword(RegistryHive hive, std::string_view keyPath, const char16_t* name, uint32_t* out);
    static int GetString(RegistryHive hive, std::string_view keyPath, const char16_t* name, std::u16string* out);
    // Creates the key when missing; 1 when saved.
    static int SetDword(RegistryHive hive, std::string_view keyPath, const char16_t* name, uint32_t value);
    static int SetString(RegistryHive hive, std::string_view keyPath, const char16_t* name,
                         const std::u16string& value);
    // Native path of a key's file.
    static std::string KeyFile(RegistryHive hive, std::string_view keyPath);
};

// The program's own key.
inline constexpr std::string_view kProgramRegistryKey = "Software\\Varnick\\Pelox";
// Where the companion programs keep their values.
inline constexpr std::string_view kCompanionRegistryKey = "Software\\Tavenmoor";
inline constexpr std::string_view kDmbRegistryKey = "Software\\Tavenmoor\\DMBD";

// Index of a condition value.
enum ConditionItem : int {
    COND_GPSPORT = 0, COND_GPSBAUD = 1, COND_GPSDATA = 2, COND_GPSPARITY = 3, COND_GPSSTOP = 4,
    COND_GPSMODULE = 5, COND_GPXSTATE = 6, COND_CAPTURE = 7, COND_SWVOLUME = 8, COND_SWMUTE = 9,
    COND_ITEM_COUNT = 10,
};

// The shared block of the companion programs and its four words.
inline constexpr const char* kRegShareMemName = "REG_SHAREMEM";
inline constexpr size_t kRegShareMemBytes = 16384;
// The word of a shared-block value name ("TavenGpxState", "SRMan",
// "AlwaysOn", "LimitSpeed"); 1 and the value, or 0 for an unknown name.
int ReadSharedBlockWord(const char* name, uint32_t* out);

// Opens both files (System.ini, Condition.ini in the program folder) and the
// program's registry key, and installs the bridge as the source of the
// system settings. Called first at start. 1 on success (missing files are
// empty: every item then has its default).
int InitSystemSettings();
// The installed bridge as a settings source (null before InitSystemSettings),
// for a source that puts a few items of its own in front of it.
SystemSettingsSource* SystemSettingsBridgeSource();
// Drops the bridge (the defaults hold again).
void ShutdownSystemSettings();

// Folder of the device's own folders ("\ResidentFlash\..."); empty: the
// program's parent folder.
void SetDeviceRoot(const std::string& nativeFolder);
std::string DeviceRoot();

// Creates every missing folder of a path that ends with a separator ('\' or
// '/'); the part after the last separator is not created; a drive ("C:") is
// skipped. 1 when every prefix exists as a folder, 0 otherwise.
int MakeFolderPath(const std::string& path);

// *out = the row default first; 0 when the value was found, -1 otherwise.
int GetConditionValue(int index, int* out);
// 0 when stored, -1 otherwise.
int SetConditionValue(int index, int value);

// ---------------------------------------------------------------------------
// Hardware bridge. Results: 0 success, -3 the device library is not loaded,
// -2 it lacks the function, -1 the function returned a negative value.

// The loaded device library: looks its functions up by name.
class HwLibrary {
public:
    virtual ~HwLibrary() = default;
    virtual void* Symbol(const char* name) = 0;
};
// Opens the device library ("HW.DLL": the shared object configured here);
// tests install a fake loader.
using HwLibraryLoader = std::function<std::unique_ptr<HwLibrary>()>;
void SetHwLibraryLoader(HwLibraryLoader loader);
// The shared object the default loader opens (dlopen); default "libhw.so".
void SetHwLibraryPath(const std::string& path);

// The device library's function types.
using HwInitializeFn = int (*)(void* window);
using HwTerminateFn = void (*)();
using HwGetModelNameFn = int (*)(char16_t* buffer, int length);
using HwGetLevelFn = int (*)(int* out);
using HwSetLevelFn = int (*)(int level, int flag);

int HwInitialize(void* window);
int HwGetModelName(char16_t* buffer, int length);
int HwGetVolume(int* out);
int HwSetVolume(int level, int flag);
int HwVolumeUp();
int HwVolumeDown();
int HwGetMute(int* out);
int HwSetMute(int mute, int flag);
int HwGetBright(int* out);
int HwSetBright(int level, int flag);
int HwBrightUp();
int HwBrightDown();
void HwTerminate();
