#include "shell/startup.h"

#include "foundation/crash_report.h"
#include "foundation/debug_trace.h"
#include "foundation/system_settings.h"
#include "mapdb/mgr_map.h"
#include "platform/codepage.h"
#include "platform/paths.h"
#include "settings/global_data.h"
#include "settings/module_svc.h"
#include "settings/old_data_import.h"
#include "settings/ui_setting.h"

namespace {

// The command line stands in for the shell's settings file for now.
FixedSystemSettings g_commandLineSettings;

// The data root: the ROOTPATH item, else the parent of the program folder.
std::string DataRoot() {
    char16_t buffer[platform::kMaxPath] = {};
    if (GetSystemSettingString(SYS_ROOTPATH, buffer, static_cast<int>(platform::kMaxPath)) == 0 && buffer[0]) {
        return platform::Utf16ToUtf8(buffer);
    }
    std::u16string parent;
    GetModuleParentFolder(parent);
    return platform::Utf16ToUtf8(parent);
}

// Opens the map data whole through the map-data manager, hands guidance
// its road names and link ends, and reports the data versions and the
// nearest link to the demo district's middle crossing. The map stays open
// for the run. False when the map data cannot be opened.
bool ReportMapData(const std::string& root) {
    CMgrMap* map = CMgrMap::Instance();
    if (!map || !map->Open(root)) {
        DebugTrace(0, "[MAIN] map data not opened: %s\n", map ? map->LastOpenFailure().c_str() : "no manager");
        return false;
    }
    InstallGuideMapServices(*map);
    MneVersionRecord record;
    map->GetVersionInfo(record);
    const auto text = [](const MneVersionField& f) { return platform::Utf16ToUtf8(MneVersionFieldText(f)); };
    DebugTrace(0, "[MAIN] program %s build %s\n", text(record.programVersion).c_str(),
               text(record.programBuild).c_str());
    for (int i = 0; i < kMneVersionFileCount; ++i) {
        DebugTrace(0, "[MAIN] %-18s %s %s\n", MneVersionFileName(i), text(record.fileVersion[i]).c_str(),
                   text(record.fileDate[i]).c_str());
    }
    const MapPoint centre{static_cast<int32_t>(127.02 * kMapUnitsPerDegree),
                          static_cast<int32_t>(37.516 * kMapUnitsPerDegree)};
    MneLinkFoot foot;
    if (map->FindNearestLink(centre, 500, &foot, 0)) {
        DebugTrace(0, "[MAIN] nearest link to 127.02E 37.516N: %u at %d m\n", foot.linkId, foot.distance);
    } else {
        DebugTrace(0, "[MAIN] no link within 500 m of 127.02E 37.516N\n");
    }
    return true;
}

}  // namespace

void InstallGuideMapServices(CMgrMap& map) {
    GuideMapServices services;
    services.roadName = [&map](int32_t nameId, std::u16string& out) {
        MneNameRecord record{};
        if (nameId < 0 || !map.GetNameRecord(static_cast<uint32_t>(nameId), &record)) return 0;
        out = record.text;
        return 1;
    };
    // Where a link begins and ends in its direction of travel: its shape,
    // last to first for an id with bit 27 set.
    services.linkEnds = [&map](int32_t linkId, MapPoint& begin, MapPoint& end) {
        CMneRoadLineMapFile* lines = map.IsOpen() ? map.RoadLines() : nullptr;
        std::vector<MapPoint> shape;
        if (!lines || !lines->GetLinkShapeCopy(static_cast<uint32_t>(linkId), 1, shape) || shape.empty()) return 0;
        begin = shape.front();
        end = shape.back();
        return 1;
    };
    SetGuideMapServices(std::move(services));
}

bool ParseStartupOptions(const std::vector<std::string>& args, StartupOptions& options, std::string& message) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--root" && i + 1 < args.size()) {
            options.dataRoot = args[++i];
        } else if (args[i] == "--trace" && i + 1 < args.size()) {
            options.traceLevel = std::atoi(args[++i].c_str());
        } else {
            message = "unknown argument '" + args[i] + "' (use --root DIR, --trace N)";
            return false;
        }
    }
    return true;
}

int RunStartup(const StartupOptions& options) {
    if (!options.dataRoot.empty()) {
        g_commandLineSettings.SetText(SYS_ROOTPATH, platform::Utf8ToUtf16(options.dataRoot));
    }
    SetSystemSettingsSource(&g_commandLineSettings);
    SetDebugTraceLevel(options.traceLevel);
    InstallCrashHandler();

    const std::string root = DataRoot();
    DebugTrace(0, "[MAIN] data root: %s\n", root.c_str());
    if (!platform::IsDirectory(root)) {
        DebugTrace(0, "[MAIN] the data root is not a folder: %s\n", root.c_str());
        return 2;
    }
    // The global settings take the same root, then name every folder.
    g_commandLineSettings.SetText(SYS_ROOTPATH, platform::Utf8ToUtf16(root));
    CMgrConfigGlobalData& global = CMgrConfigGlobalData::Instance();
    global.Load();
    // Registered places of earlier releases are taken over when their store
    // is first built.
    CMgrConfigUIDataConvert::Install();
    const struct {
        const char* name;
        const char16_t* folder;
    } kFolders[] = {{"App", global.m_appFolder},       {"UI", global.m_uiFolder},
                    {"MAP", global.m_mapFolder},       {"Config", global.m_configFolder},
                    {"Route", global.m_routeFolder},   {"Traffic library", global.m_tpegLibraryFolder}};
    int missing = 0;
    for (const auto& folder : kFolders) {
        const std::string path = platform::NativePath(platform::Utf16ToUtf8(folder.folder));
        const bool found = platform::IsDirectory(path);
        missing += found ? 0 : 1;
        DebugTrace(0, "[MAIN] %-18s %s\n", folder.name, found ? path.c_str() : "(missing)");
    }
    DebugTrace(0, "[MAIN] screen %dx%d, DEMO %d, TPEG %d, anti-aliasing %d, Data.ini EXTENDWAVE %d CROSSIMG %d PHONEDB %d SUBPOI %d\n",
               global.m_screenWidth, global.m_screenHeight, global.m_demo, global.m_tpeg, global.m_drawAnti,
               global.m_extendWave, global.m_crossImage, global.m_phoneDb, global.m_subPoi);
    // The UI and map-display settings load from the configuration folder;
    // missing files are written anew from the defaults.
    if (CMgrConfigUISetting* ui = CMgrConfigUISetting::Instance()) {
        MgrLock hold(*ui->GetLock());
        const UISettingRecord& r = ui->Record();
        DebugTrace(0, "[MAIN] UI settings: car mark %d, map colour %d, night mode %d, 3D angle %d, theme %d, "
                      "POI level %d\n",
                   r.eCarMark, r.eMapColor, r.eNightMode, r.e3DViewAngle, r.nThemeCate, r.ePOIViewLevel);
    } else {
        DebugTrace(0, "[MAIN] UI settings not created\n");
    }
    const bool mapOpened = ReportMapData(platform::Utf16ToUtf8(global.m_rootFolder));
    DebugTrace(0, "[MAIN] start-up done: %d folder(s) missing, map data %s\n", missing,
               mapOpened ? "opened" : "not opened");
    return 0;
}
