#pragma once
// The global settings: where every file of the program is (the data root
// and the folders derived from it) and how the device is set up (screen,
// device switches, drawing limits, route-planner cache, traffic receiver,
// and four content switches from "\UI\Data.ini").
//
// One object, filled once by the program entry (CMgrConfigGlobalData::Load)
// before any module thread starts, and read without locking afterwards. The
// route preview state is the exception: the map renderer and the screens
// write it on their own schedule.
#include <cstdint>

#include "foundation/nv_string.h"
#include "platform/paths.h"

class CMgrConfigGlobalData {
public:
    // Every text field holds at most 259 characters and a terminator.
    static constexpr int kTextChars = static_cast<int>(platform::kMaxPath);

    // What the map renderer shows when it previews a route instead of the
    // route under guidance.
    struct RoutePreviewState {
        int32_t routeSlot = -1;  // -1: the route under guidance
        int32_t counters[2] = {};
        // The course body of the previewed route lives with the current
        // course object, which keeps the course records.
        uint32_t words[3] = {};
        uint8_t area[10] = {};
    };

    CMgrConfigGlobalData();
    virtual ~CMgrConfigGlobalData() = default;
    CMgrConfigGlobalData(const CMgrConfigGlobalData&) = delete;
    CMgrConfigGlobalData& operator=(const CMgrConfigGlobalData&) = delete;

    // The program's one object.
    static CMgrConfigGlobalData& Instance();

    // Reads the system configuration items (an absent item keeps the
    // reader's default), derives the folders, reads "\UI\Data.ini" under the
    // root folder, and hands the configuration and route folders to the
    // settings-file names (NvFilePath). Returns 1.
    int Load();
    // Slot -1, everything else zero.
    void ResetRoutePreview();

    // --- screen and debug
    int32_t m_screenWidth = 0;
    int32_t m_screenHeight = 0;
    int32_t m_debug = 0;
    int32_t m_debugView = 0;
    char16_t m_windowName[kTextChars] = {};

    // --- device switches ("DMB" .. "TIMESET")
    int32_t m_dmb = 0, m_mp3 = 0, m_photo = 0, m_avIn = 0, m_mobrill = 0, m_tpeg = 0;
    int32_t m_soundBrightness = 0, m_function = 0, m_power = 0, m_splash = 0, m_autoSoundBrightness = 0;
    int32_t m_timeSet = 0;

    // --- sound and mode switches ("HIDEMODE" .. "SPECIALPOI")
    int32_t m_hideMode = 0, m_initSound = 0, m_waveDevice = 0, m_waveOut = 0, m_capture = 0, m_gpx = 0;
    int32_t m_pcm = 0, m_hil = 0, m_demo = 0, m_saveGps = 0, m_voiceware = 0, m_swAmp = 0, m_swOsd = 0;
    int32_t m_taskbar = 0, m_taskbarHide = 0, m_errorMsg = 0, m_rotate = 0, m_gpsApi = 0, m_wakeUpSound = 0;
    int32_t m_nipType = 0, m_mapMoveUi = 0, m_specialPoi = 0;
    char16_t m_specialPoiName[kTextChars] = {};
    int32_t m_serviceArea = 0;
    int32_t m_routeMessageFilter = 0;

    // --- folders ("%s" of the path formats; the map folder alone ends with "\")
    char16_t m_rootFolder[kTextChars] = {};
    char16_t m_appFolder[kTextChars] = {};     // "%s\App"
    char16_t m_configFolder[kTextChars] = {};  // "%s\User\Navi\Config", or CONFIGPATH "%s\Navi\Config"
    char16_t m_nandFolder[kTextChars] = {};
    char16_t m_routeFolder[kTextChars] = {};
    char16_t m_uiFolder[kTextChars] = {};      // "%s\UI"
    char16_t m_mapFolder[kTextChars] = {};     // "%s\MAP\"

    // --- anti-aliasing and view switches
    int32_t m_drawAnti = 0, m_buildAnti = 0, m_lineAnti = 0, m_roadRelief = 0, m_mapView = 0;
    int32_t m_viewLength = 0, m_tileAreaDrawRule = 0, m_xrayView = 0;
    int32_t m_destRerouteM = 0;  // "DESTREROUTE"
    int32_t m_alterRoute = 0;

    // --- drawing level limits
    int32_t m_2dFieldLimit = 0, m_3dFieldLimit = 0, m_2dBuildLimit = 0, m_3dBuildLimit = 0;
    int32_t m_2dSBuildLimit = 0, m_3dSBuildLimit = 0, m_3dDetailRoadLimit = 0, m_3dPattern = 0;
    int32_t m_3dApartBuildLimit = 0, m_3dPrincipalRoadLimit = 0, m_3dThinRoadLimit = 0, m_3dEtcRoadLimit = 0;

    // --- route planner cache and GPS
    int32_t m_rpCache = 0, m_rpCacheInit = 0, m_rpPreloading = 0;
    int32_t m_gpsPrediction = 0;

    // --- traffic receiver
    int32_t m_tpegYtn = 0, m_tpegKbs = 0, m_tpegMbc = 0, m_tpegSbs = 0, m_tpegActiveMode = 0, m_tpegFlagSvc = 0;
    int32_t m_tpegStateLimitTime = 0;
    char16_t m_tpegBackupFolder[kTextChars] = {};
    char16_t m_tpegDaemonWindowName[kTextChars] = {};
    char16_t m_tpegLibraryFolder[kTextChars] = {};
    int32_t m_tpegDebugOption = 0;
    char16_t m_tpegTempFolder[kTextChars] = {};

    // --- content switches from "\UI\Data.ini"
    int32_t m_extendWave = 0, m_crossImage = 0, m_phoneDb = 0, m_subPoi = 0;
    // Set by the sound unit when the base voice bank is of the older form
    // (fewer than 1375 clips); the sentence builder then uses its older clips.
    int32_t m_waveBaseCompat = 0;

    // --- further device items
    int32_t m_swVolumeControl = 0, m_gpsType = 0, m_ledControl = 0, m_tripSave = 0, m_enhanceRoad = 0;
    int32_t m_rtcValid = 0, m_nrmm = 0;

    RoutePreviewState m_routePreview;
    // Owned by the map renderer.
    int32_t m_rendererWord = 12;
    int32_t m_rendererWords[8] = {};
};
