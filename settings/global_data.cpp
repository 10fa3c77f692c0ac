#include "settings/global_data.h"

#include <cstring>
#include <string>
#include <string_view>

#include "foundation/debug_trace.h"
#include "foundation/nv_config.h"
#include "foundation/system_settings.h"
#include "platform/codepage.h"

namespace {

using Global = CMgrConfigGlobalData;

struct IntItem {
    const char* key;
    int32_t Global::*field;
};

struct TextItem {
    const char* key;
    char16_t (Global::*field)[Global::kTextChars];
};

// The integer items in the order Load reads them.
const IntItem kIntItems[] = {
    {"SCREENWIDTH", &Global::m_screenWidth}, {"SCREENHEIGHT", &Global::m_screenHeight},
    {"DEBUG", &Global::m_debug}, {"DEBUGVIEW", &Global::m_debugView},
    {"DMB", &Global::m_dmb}, {"MP3", &Global::m_mp3}, {"PHOTO", &Global::m_photo}, {"AVIN", &Global::m_avIn},
    {"MOBRILL", &Global::m_mobrill}, {"TPEG", &Global::m_tpeg}, {"SNDBRI", &Global::m_soundBrightness},
    {"FUNCTION", &Global::m_function}, {"POWER", &Global::m_power}, {"SPLASH", &Global::m_splash},
    {"AUTOSNDBRI", &Global::m_autoSoundBrightness}, {"TIMESET", &Global::m_timeSet},
    {"HIDEMODE", &Global::m_hideMode}, {"INITSOUND", &Global::m_initSound},
    {"WAVEDEVICE", &Global::m_waveDevice}, {"WAVEOUT", &Global::m_waveOut}, {"CAPTURE", &Global::m_capture},
    {"GPX", &Global::m_gpx}, {"PCM", &Global::m_pcm}, {"HIL", &Global::m_hil}, {"DEMO", &Global::m_demo},
    {"SAVEGPS", &Global::m_saveGps}, {"VOICEWARE", &Global::m_voiceware}, {"SWAMP", &Global::m_swAmp},
    {"SWOSD", &Global::m_swOsd}, {"TASKBAR", &Global::m_taskbar}, {"TASKBARHIDE", &Global::m_taskbarHide},
    {"ERRORMSG", &Global::m_errorMsg}, {"ROTATE", &Global::m_rotate}, {"GPSAPI", &Global::m_gpsApi},
    {"WAKEUPSND", &Global::m_wakeUpSound}, {"NIPTYPE", &Global::m_nipType}, {"MAPMOVEUI", &Global::m_mapMoveUi},
    {"SPECIALPOI", &Global::m_specialPoi}, {"SERVICEAREA", &Global::m_serviceArea},
    {"ROUTEMSGFILTER", &Global::m_routeMessageFilter},
    {"DRAWANTI", &Global::m_drawAnti}, {"BUILDANTI", &Global::m_buildAnti}, {"LINEANTI", &Global::m_lineAnti},
    {"ROADRELIEF", &Global::m_roadRelief}, {"MAPVIEW", &Global::m_mapView}, {"VIEWLENGTH", &Global::m_viewLength},
    {"TILEAREADRAWRULE", &Global::m_tileAreaDrawRule}, {"XRAYVIEW", &Global::m_xrayView},
    {"DESTREROUTE", &Global::m_destRerouteM}, {"ALTERROUTE", &Global::m_alterRoute},
    {"2DFIELDLIMIT", &Global::m_2dFieldLimit}, {"3DFIELDLIMIT", &Global::m_3dFieldLimit},
    {"2DBUILDLIMIT", &Global::m_2dBuildLimit}, {"3DBUILDLIMIT", &Global::m_3dBuildLimit},
    {"2DSBUILDLIMIT", &Global::m_2dSBuildLimit}, {"3DSBUILDLIMIT", &Global::m_3dSBuildLimit},
    {"3DDETAILROADLIMIT", &Global::m_3dDetailRoadLimit}, {"3DPATTERN", &Global::m_3dPattern},
    {"3DAPARTBUILDLIMIT", &Global::m_3dApartBuildLimit}, {"3DPRINCIPALROADLIMIT", &Global::m_3dPrincipalRoadLimit},
    {"3DTHINROADLIMIT", &Global::m_3dThinRoadLimit}, {"3DETCROADLIMIT", &Global::m_3dEtcRoadLimit},
    {"RPCACHE", &Global::m_rpCache}, {"RPCACHEINIT", &Global::m_rpCacheInit},
    {"RPPRELOADING", &Global::m_rpPreloading}, {"GPSPREDICTION", &Global::m_gpsPrediction},
    {"TPEGYTN", &Global::m_tpegYtn}, {"TPEGKBS", &Global::m_tpegKbs}, {"TPEGMBC", &Global::m_tpegMbc},
    {"TPEGSBS", &Global::m_tpegSbs}, {"TPEGACTIVEMODE", &Global::m_tpegActiveMode},
    {"TPEGFLAGSVC", &Global::m_tpegFlagSvc}, {"TPEGSTATELIMITTIME", &Global::m_tpegStateLimitTime},
    {"TPEGDEBUGOPT", &Global::m_tpegDebugOption},
    {"SWVOLUMECTRL", &Global::m_swVolumeControl}, {"GPSTYPE", &Global::m_gpsType},
    {"LEDCTRL", &Global::m_ledControl}, {"TRIPSAVE", &Global::m_tripSave}, {"ENHANCEROAD", &Global::m_enhanceRoad},
    {"RTCVALID", &Global::m_rtcValid}, {"NRMM", &Global::m_nrmm},
};

// Text items read straight into their fields; the folder items are read
// by Load itself because an absent one falls back to another folder.
const TextItem kTextItems[] = {
    {"WNDNAME", &Global::m_windowName},
    {"SPECIALPOINAME", &Global::m_specialPoiName},
    {"TPEGDWNDNAME", &Global::m_tpegDaemonWindowName},
};

// Index of the system configuration item with this key, -1 when none.
int ItemIndex(const char* key) {
    for (int i = 0; i < SYS_ITEM_COUNT; ++i) {
        const char* k = GetSystemSettingKey(i);
        if (k && std::strcmp(k, key) == 0) return i;
    }
    DebugTrace(0, "[CFG] no system configuration item \"%s\"\n", key);
    return -1;
}

void CopyText(char16_t (&field)[Global::kTextChars], std::u16string_view text) {
    const size_t n = std::min(text.size(), static_cast<size_t>(Global::kTextChars - 1));
    text.copy(field, n);
    field[n] = 0;
}

// Reads a text item into the field; true when the item was there.
bool ReadTextItem(const char* key, char16_t (&field)[Global::kTextChars]) {
    const int index = ItemIndex(key);
    if (index < 0) return false;
    return GetSystemSettingString(index, field, Global::kTextChars) == 0;
}

// field = base followed by suffix ("%s\App"), cut to the field.
void FormatFolder(char16_t (&field)[Global::kTextChars], const char16_t* base, std::u16string_view suffix) {
    std::u16string text(base);
    text += suffix;
    CopyText(field, text);
}

}  // namespace

CMgrConfigGlobalData::CMgrConfigGlobalData() { ResetRoutePreview(); }

CMgrConfigGlobalData& CMgrConfigGlobalData::Instance() {
    static CMgrConfigGlobalData instance;
    return instance;
}

void CMgrConfigGlobalData::ResetRoutePreview() { m_routePreview = RoutePreviewState{}; }

int CMgrConfigGlobalData::Load() {
    for (const IntItem& item : kIntItems) {
        const int index = ItemIndex(item.key);
        int value = this->*item.field;
        if (index >= 0) GetSystemSettingInt(index, &value);
        this->*item.field = value;
    }
    for (const TextItem& item : kTextItems) ReadTextItem(item.key, this->*item.field);

    if (!ReadTextItem("ROOTPATH", m_rootFolder)) {
        std::u16string moduleFolder;
        GetModuleFolder(moduleFolder);
        CopyText(m_rootFolder, moduleFolder);
    }
    FormatFolder(m_appFolder, m_rootFolder, u"\\App");
    FormatFolder(m_uiFolder, m_rootFolder, u"\\UI");
    FormatFolder(m_mapFolder, m_rootFolder, u"\\MAP\\");
    char16_t configBase[kTextChars] = {};
    if (ReadTextItem("CONFIGPATH", configBase)) {
        FormatFolder(m_configFolder, configBase, u"\\Navi\\Config");
    } else {
        FormatFolder(m_configFolder, m_rootFolder, u"\\User\\Navi\\Config");
    }
    if (!ReadTextItem("NANDPATH", m_nandFolder)) CopyText(m_nandFolder, m_rootFolder);
    if (!ReadTextItem("ROUTEPATH", m_routeFolder)) CopyText(m_routeFolder, m_rootFolder);
    if (!ReadTextItem("TPEGBACKUPPATH", m_tpegBackupFolder)) CopyText(m_tpegBackupFolder, m_nandFolder);
    if (!ReadTextItem("TPEGDLLPATH", m_tpegLibraryFolder)) FormatFolder(m_tpegLibraryFolder, m_rootFolder, u"\\APP");
    if (!ReadTextItem("TPEGTEMPPATH", m_tpegTempFolder)) CopyText(m_tpegTempFolder, m_rootFolder);

    // Content switches: a missing key or file leaves 0. The file is content
    // shipped with the data, never rewritten or moved by the program.
    NvConfigFile dataIni;
    dataIni.SetReadOnly(true);
    std::u16string dataPath(m_rootFolder);
    dataPath += u"\\UI\\Data.ini";
    dataIni.Load(NvString(std::u16string_view(dataPath)));
    dataIni.GetInt(u"EXTENDWAVE", &m_extendWave, 1);
    dataIni.GetInt(u"CROSSIMG", &m_crossImage, 1);
    dataIni.GetInt(u"PHONEDB", &m_phoneDb, 1);
    dataIni.GetInt(u"SUBPOI", &m_subPoi, 1);

    NvFilePath::SetFolders(NvString(m_configFolder), NvString(m_routeFolder));
    return 1;
}
