#include "foundation/system_settings.h"

#include <atomic>
#include <mutex>

#include "platform/codepage.h"
#include "platform/paths.h"

namespace {

struct ItemRow {
    const char* key;
    int defaultInt;
    const char16_t* defaultText;
};

// The system configuration items in index order; 17 and 84 are unused.
const ItemRow kItems[SYS_ITEM_COUNT] = {
    {"SCREENWIDTH", 0, nullptr}, {"SCREENHEIGHT", 0, nullptr}, {"DEBUG", 0, nullptr},
    {"DEBUGVIEW", 0, nullptr}, {"WNDNAME", 0, u"Navi"}, {"DMB", 0, nullptr}, {"MP3", 0, nullptr},
    {"PHOTO", 0, nullptr}, {"AVIN", 0, nullptr}, {"MOBRILL", 0, nullptr}, {"TPEG", 0, nullptr},
    {"SNDBRI", 0, nullptr}, {"FUNCTION", 0, nullptr}, {"POWER", 0, nullptr}, {"SPLASH", 0, nullptr},
    {"AUTOSNDBRI", 0, nullptr}, {"TIMESET", 0, nullptr}, {nullptr, 0, nullptr},
    {"HIDEMODE", 0, nullptr}, {"INITSOUND", 1, nullptr}, {"WAVEDEVICE", -1, nullptr},
    {"WAVEOUT", 0, nullptr}, {"CAPTURE", 0, nullptr}, {"GPX", 0, nullptr}, {"PCM", 0, nullptr},
    {"HIL", 0, nullptr}, {"DEMO", 0, nullptr}, {"SAVEGPS", 0, nullptr}, {"VOICEWARE", 0, nullptr},
    {"SWAMP", 0, nullptr}, {"SWOSD", 0, nullptr}, {"TASKBAR", 0, nullptr}, {"TASKBARHIDE", 0, nullptr},
    {"ERRORMSG", 0, nullptr}, {"ROTATE", 0, nullptr}, {"GPSAPI", 1, nullptr}, {"WAKEUPSND", 1, nullptr},
    {"NIPTYPE", 0, nullptr}, {"MAPMOVEUI", 0, nullptr}, {"SPECIALPOI", 0, nullptr},
    {"SPECIALPOINAME", 0, nullptr}, {"SERVICEAREA", 0, nullptr}, {"ROUTEMSGFILTER", 5, nullptr},
    {"ROOTPATH", 0, nullptr}, {"CONFIGPATH", 0, nullptr}, {"NANDPATH", 0, nullptr},
    {"ROUTEPATH", 0, nullptr}, {"DRAWANTI", 1, nullptr}, {"BUILDANTI", 0, nullptr},
    {"LINEANTI", 0, nullptr}, {"ROADRELIEF", 1, nullptr}, {"MAPVIEW", 0, nullptr},
    {"VIEWLENGTH", 1, nullptr}, {"TILEAREADRAWRULE", 0, nullptr}, {"XRAYVIEW", 15, nullptr},
    {"DESTREROUTE", 200, nullptr}, {"ALTERROUTE", 1, nullptr}, {"ENHANCEROAD", 0, nullptr},
    {"2DFIELDLIMIT", 9, nullptr}, {"3DFIELDLIMIT", 13, nullptr}, {"2DBUILDLIMIT", 9, nullptr},
    {"3DBUILDLIMIT", 13, nullptr}, {"2DSBUILDLIMIT", 13, nullptr}, {"3DSBUILDLIMIT", 15, nullptr},
    {"3DDETAILROADLIMIT", 15, nullptr}, {"3DPATTERN", 1, nullptr}, {"3DAPARTBUILDLIMIT", 15, nullptr},
    {"3DPRINCIPALROADLIMIT", 13, nullptr}, {"3DTHINROADLIMIT", 13, nullptr},
    {"3DETCROADLIMIT", 9, nullptr}, {"RPCACHE", 5120, nullptr}, {"RPCACHEINIT", 0, nullptr},
    {"RPPRELOADING", 0, nullptr}, {"GPSPREDICTION", 500, nullptr}, {"GPSTYPE", 0, nullptr},
    {"SWVOLUMECTRL", 0, nullptr}, {"LEDCTRL", 0, nullptr}, {"TRIPSAVE", 1, nullptr},
    {"RTCVALID", 0, nullptr}, {"NRMM", 50, nullptr}, {"TPEGYTN", 0, nullptr}, {"TPEGKBS", 0, nullptr},
    {"TPEGMBC", 0, nullptr}, {"TPEGSBS", 0, nullptr}, {nullptr, 0, nullptr},
    {"TPEGACTIVEMODE", 0, nullptr}, {"TPEGFLAGSVC", 0, nullptr}, {"TPEGSTATELIMITTIME", 0, nullptr},
    {"TPEGBACKUPPATH", 0, nullptr}, {"TPEGDWNDNAME", 0, nullptr}, {"TPEGDLLPATH", 0, nullptr},
    {"TPEGDEBUGOPT", 0, nullptr}, {"TPEGTEMPPATH", 0, nullptr},
};

std::atomic<SystemSettingsSource*> g_source{nullptr};

std::mutex g_folderMutex;
std::string g_moduleFolder;   // guarded by g_folderMutex; empty: from the executable

std::string NativeModuleFolder() {
    std::lock_guard<std::mutex> lock(g_folderMutex);
    if (!g_moduleFolder.empty()) return g_moduleFolder;
    const std::string exe = platform::ExecutablePath();
    const size_t slash = exe.rfind('/');
    if (slash == std::string::npos) return "/";
    return slash == 0 ? "/" : exe.substr(0, slash);
}

std::string ParentOf(const std::string& folder) {
    const size_t slash = folder.rfind('/');
    if (slash == std::string::npos || slash == 0) return "/";
    return folder.substr(0, slash);
}

}  // namespace

void SetSystemSettingsSource(SystemSettingsSource* source) {
    g_source.store(source, std::memory_order_release);
}

const char* GetSystemSettingKey(int index) {
    if (index < 0 || index >= SYS_ITEM_COUNT) return nullptr;
    return kItems[index].key;
}

int GetSystemSettingInt(int index, int* value) {
    if (index < 0 || index >= SYS_ITEM_COUNT || !kItems[index].key || !value) return -1;
    *value = kItems[index].defaultInt;
    SystemSettingsSource* source = g_source.load(std::memory_order_acquire);
    int found = 0;
    if (source && source->ReadInt(index, kItems[index].key, found)) {
        *value = found;
        return 0;
    }
    return -1;
}

int GetSystemSettingString(int index, char16_t* buffer, int size) {
    if (index < 0 || index >= SYS_ITEM_COUNT || !kItems[index].key || !buffer || size <= 0) return -1;
    auto copy = [&](std::u16string_view text) {
        const size_t n = std::min(text.size(), static_cast<size_t>(size - 1));
        text.copy(buffer, n);
        buffer[n] = 0;
    };
    copy(kItems[index].defaultText ? kItems[index].defaultText : u"");
    SystemSettingsSource* source = g_source.load(std::memory_order_acquire);
    std::u16string found;
    if (source && source->ReadText(index, kItems[index].key, found)) {
        copy(found);
        return 0;
    }
    return -1;
}

void GetModuleFolder(std::u16string& out) { out = platform::Utf8ToUtf16(NativeModuleFolder()); }

void GetModuleParentFolder(std::u16string& out) {
    out = platform::Utf8ToUtf16(ParentOf(NativeModuleFolder()));
}

void SetModuleFolderForTesting(const std::string& nativeFolder) {
    std::lock_guard<std::mutex> lock(g_folderMutex);
    g_moduleFolder = nativeFolder;
}

void FixedSystemSettings::SetInt(int index, int value) {
    if (index < 0 || index >= SYS_ITEM_COUNT) return;
    m_items[index].hasInt = true;
    m_items[index].intValue = value;
}

void FixedSystemSettings::SetText(int index, std::u16string value) {
    if (index < 0 || index >= SYS_ITEM_COUNT) return;
    m_items[index].hasText = true;
    m_items[index].text = std::move(value);
}

bool FixedSystemSettings::ReadInt(int index, const char*, int& value) {
    if (index < 0 || index >= SYS_ITEM_COUNT || !m_items[index].hasInt) return false;
    value = m_items[index].intValue;
    return true;
}

bool FixedSystemSettings::ReadText(int index, const char*, std::u16string& value) {
    if (index < 0 || index >= SYS_ITEM_COUNT || !m_items[index].hasText) return false;
    value = m_items[index].text;
    return true;
}
