#include "shell/system_bridge.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

#include "foundation/nv_string.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "platform/serial_port.h"

namespace {

std::mutex g_registryMutex;        // one key-file change at a time
std::mutex g_registryFolderMutex;
std::string g_registryFolder;      // guarded by g_registryFolderMutex
std::mutex g_deviceMutex;
std::string g_deviceRoot;       // guarded by g_deviceMutex

std::u16string Widen(std::string_view ascii) { return std::u16string(ascii.begin(), ascii.end()); }

std::string ModuleFolderNative() {
    std::u16string folder;
    GetModuleFolder(folder);
    return NvString(std::u16string_view(folder)).ToUtf8();
}

// Loads a key's file; a missing file is an empty key.
bool LoadKey(const std::string& file, NvConfigFile& config, bool* exists) {
    *exists = platform::IsRegularFile(file);
    config.SetFilePath(NvString::FromUtf8(file));
    if (!*exists) return true;
    return config.Parse(1) == 1;
}

struct ConditionRow {
    const char* key;
    int defaultValue;
};
constexpr ConditionRow kConditionRows[COND_ITEM_COUNT] = {
    {"GPSPORT", 0}, {"GPSBAUD", 0},       {"GPSDATA", 0}, {"GPSPARITY", 0}, {"GPSSTOP", 0},
    {"GPSMODULE", 0}, {"TavenGPxState", 0}, {"CAPTURE", 0}, {"SWVOLUME", 15}, {"SWMUTE", 0},
};

constexpr const char* kSharedBlockWords[] = {"TavenGpxState", "SRMan", "AlwaysOn", "LimitSpeed"};

// The items looked up in the program's registry key before the file:
// TPEG, SNDBRI, FUNCTION, POWER, SPLASH, AUTOSNDBRI, TIMESET, HIDEMODE,
// INITSOUND, WAVEDEVICE.
bool RegistryFirst(int index) { return (index >= 10 && index <= 16) || (index >= 18 && index <= 20); }

class SystemSettingsBridge : public SystemSettingsSource {
public:
    bool Open() {
        const std::string folder = ModuleFolderNative();
        m_system.SetReadOnly(true);
        m_system.Load(NvString::FromUtf8(folder + "/System.ini"));
        std::lock_guard<std::mutex> lock(m_conditionMutex);
        m_condition.Load(NvString::FromUtf8(folder + "/Condition.ini"));
        return RegistryKeyStore::CreateKey(RegistryHive::kLocalMachine, kProgramRegistryKey) == 1;
    }

    bool ReadInt(int index, const char* key, int& value) override {
        const std::u16string name = Widen(key);
        if (RegistryFirst(index)) {
            uint32_t v = 0;
            if (RegistryKeyStore::GetDword(RegistryHive::kLocalMachine, kProgramRegistryKey, name.c_str(), &v)) {
                value = static_cast<int>(v);
                return true;
            }
        }
        int v = 0;
        if (m_system.GetInt(name.c_str(), &v)) {
            value = v;
            return true;
        }
        return false;
    }

    bool ReadText(int index, const char* key, std::u16string& value) override {
        const std::u16string name = Widen(key);
        if (index == SYS_TPEGDWNDNAME) {
            std::u16string text;
            if (RegistryKeyStore::GetString(RegistryHive::kLocalMachine, kProgramRegistryKey, name.c_str(), &text)) {
                value = text.substr(0, 256);
                return true;
            }
        }
        NvString text;
        if (m_system.GetValue(name.c_str(), text)) {
            value = text.ToU16String();
            return true;
        }
        return false;
    }

    bool GetCondition(const char* key, int* out) {
        std::lock_guard<std::mutex> lock(m_conditionMutex);
        const std::u16string name = Widen(key);
        return m_condition.GetInt(name.c_str(), out) == 1;
    }

    bool SetCondition(const char* key, int value) {
        std::lock_guard<std::mutex> lock(m_conditionMutex);
        const std::u16string name = Widen(key);
        return m_condition.SetInt(name.c_str(), value) == 1 && m_condition.Save() == 1;
    }

private:
    NvConfigFile m_system;            // read at start only
    std::mutex m_conditionMutex;
    NvConfigFile m_condition;         // guarded by m_conditionMutex
};

std::mutex g_bridgeMutex;
std::unique_ptr<SystemSettingsBridge> g_bridge;   // guarded by g_bridgeMutex

SystemSettingsBridge* Bridge() {
    std::lock_guard<std::mutex> lock(g_bridgeMutex);
    return g_bridge.get();
}

std::string CaptureFlagFile() { return DeviceRoot() + "/ResidentFlash/User/Capture.bin"; }

}  // namespace

// ---------------------------------------------------------------------------
// Key store

void RegistryKeyStore::SetFolder(const std::string& nativeFolder) {
    std::lock_guard<std::mutex> lock(g_registryFolderMutex);
    g_registryFolder = nativeFolder;
}

std::string RegistryKeyStore::Folder() {
    {
        std::lock_guard<std::mutex> lock(g_registryFolderMutex);
        if (!g_registryFolder.empty()) return g_registryFolder;
    }
    return ModuleFolderNative() + "/Registry";
}

std::string RegistryKeyStore::KeyFile(RegistryHive hive, std::string_view keyPath) {
    std::string path = Folder() + (hive == RegistryHive::kLocalMachine ? "/HKLM/" : "/HKCU/");
    for (char c : keyPath) path.push_back(c == '\\' ? '/' : c);
    return path + ".reg";
}

bool RegistryKeyStore::KeyExists(RegistryHive hive, std::string_view keyPath) {
    return platform::IsRegularFile(KeyFile(hive, keyPath));
}

int RegistryKeyStore::CreateKey(RegistryHive hive, std::string_view keyPath) {
    std::lock_guard<std::mutex> lock(g_registryMutex);
    const std::string file = KeyFile(hive, keyPath);
    if (platform::IsRegularFile(file)) return 1;
    const size_t slash = file.rfind('/');
    if (!platform::MakeDirectories(file.substr(0, slash))) return 0;
    return platform::AtomicReplaceFile(file, std::string()) ? 1 : 0;
}

namespace {

// The value of that name and type in a key's file; false when the key or
// the value is missing. The caller holds g_registryMutex.
bool FindKeyValue(RegistryHive hive, std::string_view keyPath, const char16_t* name, int wantedType,
                  NvString* text, int* value) {
    NvConfigFile config;
    bool exists = false;
    if (!LoadKey(RegistryKeyStore::KeyFile(hive, keyPath), config, &exists) || !exists) return false;
    NvString key;
    int type = 0;
    for (int i = 0; i < config.GetCount(); ++i) {
        if (config.GetAt(i, &key, &type, text, value, 0) && type == wantedType && NvString(name) == key) return true;
    }
    return false;
}

}  // namespace

int RegistryKeyStore::GetDword(RegistryHive hive, std::string_view keyPath, const char16_t* name, uint32_t* out) {
    std::lock_guard<std::mutex> lock(g_registryMutex);
    NvString text;
    int value = 0;
    if (!FindKeyValue(hive, keyPath, name, kNvConfigTypeInt, &text, &value)) return 0;
    *out = static_cast<uint32_t>(value);
    return 1;
}

int RegistryKeyStore::GetString(RegistryHive hive, std::string_view keyPath, const char16_t* name,
                                std::u16string* out) {
    std::lock_guard<std::mutex> lock(g_registryMutex);
    NvString text;
    int value = 0;
    if (!FindKeyValue(hive, keyPath, name, kNvConfigTypeString, &text, &value)) return 0;
    *out = text.ToU16String();
    return 1;
}

int RegistryKeyStore::SetDword(RegistryHive hive, std::string_view keyPath, const char16_t* name, uint32_t value) {
    if (!CreateKey(hive, keyPath)) return 0;
    std::lock_guard<std::mutex> lock(g_registryMutex);
    NvConfigFile config;
    bool exists = false;
    if (!LoadKey(KeyFile(hive, keyPath), config, &exists)) return 0;
    return config.SetInt(name, static_cast<int>(value)) == 1 && config.Save() == 1 ? 1 : 0;
}

int RegistryKeyStore::SetString(RegistryHive hive, std::string_view keyPath, const char16_t* name,
                                const std::u16string& value) {
    if (!CreateKey(hive, keyPath)) return 0;
    std::lock_guard<std::mutex> lock(g_registryMutex);
    NvConfigFile config;
    bool exists = false;
    if (!LoadKey(KeyFile(hive, keyPath), config, &exists)) return 0;
    return config.SetValue(name, value.c_str(), kNvConfigTypeString) == 1 && config.Save() == 1 ? 1 : 0;
}

// ---------------------------------------------------------------------------
// System settings and condition values

int ReadSharedBlockWord(const char* name, uint32_t* out) {
    for (size_t i = 0; i < std::size(kSharedBlockWords); ++i) {
        if (std::strcmp(name, kSharedBlockWords[i]) != 0) continue;
        platform::SharedMemoryBlock block;
        if (!block.Open(kRegShareMemName, kRegShareMemBytes)) return 0;
        std::memcpy(out, block.Data() + 4 * i, 4);
        return 1;
    }
    return 0;
}

int InitSystemSettings() {
    auto bridge = std::make_unique<SystemSettingsBridge>();
    const bool keyOpen = bridge->Open();
    std::lock_guard<std::mutex> lock(g_bridgeMutex);
    g_bridge = std::move(bridge);
    SetSystemSettingsSource(g_bridge.get());
    return keyOpen ? 1 : 0;
}

SystemSettingsSource* SystemSettingsBridgeSource() { return Bridge(); }

void ShutdownSystemSettings() {
    std::lock_guard<std::mutex> lock(g_bridgeMutex);
    SetSystemSettingsSource(nullptr);
    g_bridge.reset();
}

void SetDeviceRoot(const std::string& nativeFolder) {
    std::lock_guard<std::mutex> lock(g_deviceMutex);
    g_deviceRoot = nativeFolder;
}

std::string DeviceRoot() {
    {
        std::lock_guard<std::mutex> lock(g_deviceMutex);
        if (!g_deviceRoot.empty()) return g_deviceRoot;
    }
    std::u16string parent;
    GetModuleParentFolder(parent);
    return NvString(std::u16string_view(parent)).ToUtf8();
}

int MakeFolderPath(const std::string& path) {
    for (size_t i = 0; i < path.size(); ++i) {
        if (path[i] != '\\' && path[i] != '/') continue;
        if (i == 0) continue;   // the root itself
        std::string prefix = path.substr(0, i);
        if (prefix.back() == ':') continue;   // a drive
        std::replace(prefix.begin(), prefix.end(), '\\', '/');
        if (platform::IsDirectory(prefix)) continue;
        if (platform::FileExists(prefix)) return 0;
        if (!platform::MakeDirectories(prefix)) return 0;
    }
    return 1;
}

int GetConditionValue(int index, int* out) {
    if (index < 0 || index >= COND_ITEM_COUNT || !out) return -1;
    *out = kConditionRows[index].defaultValue;
    SystemSettingsBridge* bridge = Bridge();
    if (index <= COND_GPSMODULE) return bridge && bridge->GetCondition(kConditionRows[index].key, out) ? 0 : -1;
    if (index == COND_GPXSTATE) {
        int gpx = 0;
        GetSystemSettingInt(SYS_GPX, &gpx);
        uint32_t v = 0;
        if (gpx == 1) {
            if (!RegistryKeyStore::GetDword(RegistryHive::kCurrentUser, kCompanionRegistryKey, u"TavenGPxState", &v)) {
                return -1;
            }
        } else if (gpx == 2) {
            if (!ReadSharedBlockWord("TavenGpxState", &v)) return -1;
        } else {
            return -1;
        }
        *out = static_cast<int>(v);
        return 0;
    }
    if (index == COND_CAPTURE) {
        platform::File file;
        uint8_t b[4];
        if (!file.Open(CaptureFlagFile()) || !file.ReadExactAt(0, b, 4)) return -1;
        *out = static_cast<int>(b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24));
        return 0;
    }
    uint32_t v = 0;
    const std::u16string name = Widen(kConditionRows[index].key);
    if (!RegistryKeyStore::GetDword(RegistryHive::kLocalMachine, kProgramRegistryKey, name.c_str(), &v)) return -1;
    *out = static_cast<int>(v);
    return 0;
}

int SetConditionValue(int index, int value) {
    if (index < 0 || index >= COND_ITEM_COUNT || index == COND_GPXSTATE) return -1;
    if (index <= COND_GPSMODULE) {
        SystemSettingsBridge* bridge = Bridge();
        return bridge && bridge->SetCondition(kConditionRows[index].key, value) ? 0 : -1;
    }
    if (index == COND_CAPTURE) {
        if (!MakeFolderPath(DeviceRoot() + "/ResidentFlash/User/")) return -1;
        const uint32_t v = static_cast<uint32_t>(value);
        const uint8_t b[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                              static_cast<uint8_t>(v >> 24)};
        return platform::AtomicReplaceFile(CaptureFlagFile(), b, sizeof b) ? 0 : -1;
    }
    const std::u16string name = Widen(kConditionRows[index].key);
    return RegistryKeyStore::SetDword(RegistryHive::kLocalMachine, kProgramRegistryKey, name.c_str(),
                                      static_cast<uint32_t>(value))
               ? 0
               : -1;
}

// ---------------------------------------------------------------------------
// Hardware bridge

namespace {

class DlLibrary : public HwLibrary {
public:
    explicit DlLibrary(void* handle) : m_handle(handle) {}
    ~DlLibrary() override { ::dlclose(m_handle); }
    void* Symbol(const char* name) override { return ::dlsym(m_handle, name); }

private:
    void* m_handle;
};

std::mutex g_hwMutex;
std::string g_hwPath = "libhw.so";   // guarded by g_hwMutex
HwLibraryLoader g_hwLoader;          // guarded by g_hwMutex
std::unique_ptr<HwLibrary> g_hw;     // guarded by g_hwMutex

template <class Fn>
int CallHw(const char* name, const std::function<int(Fn)>& call) {
    std::lock_guard<std::mutex> lock(g_hwMutex);
    if (!g_hw) return -3;
    void* symbol = g_hw->Symbol(name);
    if (!symbol) return -2;
    return call(reinterpret_cast<Fn>(symbol)) < 0 ? -1 : 0;
}

int StepLevel(const char* getName, const char* setName, int delta) {
    int level = 0;
    int result = CallHw<HwGetLevelFn>(getName, [&](HwGetLevelFn fn) { return fn(&level); });
    if (result != 0) return result;
    level = std::clamp(level + delta, 0, 15);
    return CallHw<HwSetLevelFn>(setName, [&](HwSetLevelFn fn) { return fn(level, 1); });
}

}  // namespace

void SetHwLibraryLoader(HwLibraryLoader loader) {
    std::lock_guard<std::mutex> lock(g_hwMutex);
    g_hwLoader = std::move(loader);
}

void SetHwLibraryPath(const std::string& path) {
    std::lock_guard<std::mutex> lock(g_hwMutex);
    g_hwPath = path;
}

int HwInitialize(void* window) {
    {
        std::lock_guard<std::mutex> lock(g_hwMutex);
        if (!g_hw) {
            if (g_hwLoader) {
                g_hw = g_hwLoader();
            } else if (void* handle = ::dlopen(g_hwPath.c_str(), RTLD_NOW | RTLD_LOCAL)) {
                g_hw = std::make_unique<DlLibrary>(handle);
            }
        }
    }
    return CallHw<HwInitializeFn>("Initialize", [&](HwInitializeFn fn) { return fn(window); });
}

int HwGetModelName(char16_t* buffer, int length) {
    if (!buffer || length <= 0) return -1;
    return CallHw<HwGetModelNameFn>("GetModelName", [&](HwGetModelNameFn fn) {
        // The library may fill the whole buffer: the last unit stays for the
        // terminator.
        buffer[length - 1] = 0;
        const int r = fn(buffer, length - 1);
        buffer[length - 1] = 0;
        return r;
    });
}

int HwGetVolume(int* out) { return CallHw<HwGetLevelFn>("GetVolume", [&](HwGetLevelFn fn) { return fn(out); }); }
int HwSetVolume(int level, int flag) {
    return CallHw<HwSetLevelFn>("SetVolume", [&](HwSetLevelFn fn) { return fn(level, flag); });
}
int HwVolumeUp() { return StepLevel("GetVolume", "SetVolume", 1); }
int HwVolumeDown() { return StepLevel("GetVolume", "SetVolume", -1); }
int HwGetMute(int* out) { return CallHw<HwGetLevelFn>("GetMute", [&](HwGetLevelFn fn) { return fn(out); }); }
int HwSetMute(int mute, int flag) {
    return CallHw<HwSetLevelFn>("SetMute", [&](HwSetLevelFn fn) { return fn(mute, flag); });
}
int HwGetBright(int* out) { return CallHw<HwGetLevelFn>("GetBright", [&](HwGetLevelFn fn) { return fn(out); }); }
int HwSetBright(int level, int flag) {
    return CallHw<HwSetLevelFn>("SetBright", [&](HwSetLevelFn fn) { return fn(level, flag); });
}
int HwBrightUp() { return StepLevel("GetBright", "SetBright", 1); }
int HwBrightDown() { return StepLevel("GetBright", "SetBright", -1); }

void HwTerminate() {
    std::lock_guard<std::mutex> lock(g_hwMutex);
    if (!g_hw) return;
    if (void* symbol = g_hw->Symbol("Terminate")) {
        reinterpret_cast<HwTerminateFn>(symbol)();
        g_hw.reset();
    }
}
