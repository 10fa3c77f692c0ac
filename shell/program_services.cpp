#include "shell/program_services.h"

#include <sys/stat.h>

#include <mutex>

#include "foundation/debug_trace.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/paths.h"
#include "positioning/gps_module.h"
#include "render/draw_handles.h"
#include "settings/course_current.h"
#include "settings/global_data.h"
#include "settings/module_gps.h"
#include "settings/module_svc.h"
#include "uikit/image_resource.h"

namespace {

std::optional<int64_t> FileTimeUtc(const std::string& path) {
    struct stat st {};
    if (path.empty() || stat(path.c_str(), &st) != 0) return std::nullopt;
    return static_cast<int64_t>(st.st_mtime);
}

std::string GuideFilePath() {
    const std::string folder = platform::NativePath(platform::Utf16ToUtf8(CMgrConfigGlobalData::Instance().m_routeFolder));
    return platform::ResolveUnder(folder, "Guide.dat");
}

std::mutex g_fontLock;
MneHandle g_fonts[2] = {};   // guarded by g_fontLock

}  // namespace

SavedRouteServices ProgramSavedRouteServices() {
    SavedRouteServices s;
    s.loadGuide = [] {
        CMgrConfigModuleSVC* svc = CMgrConfigModuleSVC::Instance();
        return svc && svc->LoadGuideData(u"\\Guide.dat") == 1;
    };
    s.loadCourse = [] {
        CMgrConfigUIInfoCourseCurrent* course = CMgrConfigUIInfoCourseCurrent::Instance();
        return course && course->Load(nullptr) == 1;
    };
    s.rtcValid = [] { return CMgrConfigGlobalData::Instance().m_rtcValid; };
    s.guideFileTime = [] { return FileTimeUtc(GuideFilePath()); };
    s.lastGpsFileTime = [] { return FileTimeUtc(CModuleGPS::LastFixPath()); };
    s.localNow = [] { return platform::LocalToEpochSeconds(platform::GetLocalTime()); };
    s.courseStart = []() -> std::optional<MapPoint> {
        CMgrConfigUIInfoCourseCurrent* course = CMgrConfigUIInfoCourseCurrent::Instance();
        _tagUISTRUCT_COURSEPOS start;
        if (!course || course->GetStartPoint(&start) != 1 || !start.IsValid()) return std::nullopt;
        return start.PosInfo.wcPosition;
    };
    s.lastGpsPosition = [] {
        tagMAPMATCHINFO match;
        if (CMgrConfigModuleGPS* gps = CMgrConfigModuleGPS::Instance()) gps->GetMatchInfo(&match);
        return MapPoint{match.x, match.y};
    };
    // Guidance takes the route back once its module exists; meanwhile the
    // loaded guidance settings stand as they are.
    s.restore = [] { return true; };
    s.endGuidance = [] {
        if (CMgrConfigUIInfoCourseCurrent* course = CMgrConfigUIInfoCourseCurrent::Instance()) course->Reset();
    };
    s.deleteGuide = [] {
        if (CMgrConfigModuleSVC* svc = CMgrConfigModuleSVC::Instance()) svc->DeleteGuideFile(u"\\Guide.dat");
    };
    return s;
}

bool OpenStartupImagePacks(const std::string& rootFolder) {
    const bool theme = NvOpenResourceLoaderEx(platform::ResolveUnder(rootFolder, "MAP\\Theme\\ThemeRsc.dat"),
                                              platform::ResolveUnder(rootFolder, "MAP\\Theme\\ThemeRsc.idx"), 0);
    const bool cross = NvOpenResourceLoaderEx(platform::ResolveUnder(rootFolder, "UI\\CrossPatt.dat"),
                                              platform::ResolveUnder(rootFolder, "UI\\CrossPatt.idx"), 1);
    if (!theme) DebugTrace(1, "[STARTUP] the theme image pack does not open\n");
    if (!cross) DebugTrace(1, "[STARTUP] the junction pattern pack does not open\n");
    return theme && cross;
}

void CloseStartupImagePacks() { NvCloseAllResourceLoaderEx(); }

void LoadStartupFonts() {
    std::lock_guard<std::mutex> hold(g_fontLock);
    const char* faces[2] = {"FONT1", "FONT4"};
    for (int i = 0; i < 2; ++i) {
        if (!g_fonts[i]) g_fonts[i] = MneCreateFont(24, 300, faces[i], 0);
    }
}

void ReleaseStartupFonts() {
    std::lock_guard<std::mutex> hold(g_fontLock);
    for (MneHandle& font : g_fonts) {
        if (font) MneDeleteFont(font);
        font = MneHandle{};
    }
}

void StoreLastPosition() {
    tagMAPMATCHINFO match;
    if (CMgrConfigModuleGPS* gps = CMgrConfigModuleGPS::Instance()) gps->GetMatchInfo(&match);
    DebugTrace(2, "[SHELL] last position %d %d\n", match.x, match.y);
}
