// The current course file and the recent-destination file from arbitrary
// bytes: whatever a store takes it must save, and what it saved must load
// back unchanged and complete.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "foundation/debug_trace.h"
#include "foundation/nv_config.h"
#include "settings/course_current.h"
#include "settings/recent_dest.h"

namespace {

std::string g_dir;

void WriteBytes(const std::string& path, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    if (size && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);
}

void Setup() {
    if (!g_dir.empty()) return;
    char pattern[] = "/dev/shm/user_store_fuzz.XXXXXX";
    char fallback[] = "/tmp/user_store_fuzz.XXXXXX";
    const char* dir = mkdtemp(pattern);
    if (!dir) dir = mkdtemp(fallback);
    if (!dir) std::abort();
    g_dir = dir;
    NvFilePath::SetFolders(NvString::FromUtf8(g_dir), NvString::FromUtf8(g_dir));
    SetCourseDefaultsSource([] { return CourseDefaults{}; });
    SetDebugTraceSink([](std::string_view) {}, false);
}

void Clean() {
    for (const char* name : {"CourseCurrent.idt", "CourseCurrent.err", "RecentDest.udt", "RecentDest.err"}) {
        std::remove((g_dir + "/" + name).c_str());
    }
}

void CheckCourse() {
    CMgrConfigUIInfoCourseCurrent course;
    if (!course.Load(nullptr)) return;
    if (course.Save(nullptr) != 1) std::abort();
    CMgrConfigUIInfoCourseCurrent again;
    TakeSettingsFileErrorCount();
    if (again.Load(nullptr) != 1 || TakeSettingsFileErrorCount() != 0) std::abort();
    if (!(again.Body() == course.Body()) || !(again.GetRoutedCourse().Body() == course.GetRoutedCourse().Body()) ||
        !(again.GetRouteRequest().bytes[0] == course.GetRouteRequest().bytes[0]) ||
        again.m_nDrivingDistance != course.m_nDrivingDistance) {
        std::abort();
    }
}

void CheckRecent() {
    CMgrConfigUIDataRecentDest store;  // loads the file
    const int count = store.GetCount(0);
    if (count < 0 || count > CMgrConfigUIDataRecentDest::kMaxItems) std::abort();
    if (store.Save(nullptr) != 1) std::abort();
    TakeSettingsFileErrorCount();
    CMgrConfigUIDataRecentDest again;
    if (again.GetCount(0) != count || TakeSettingsFileErrorCount() != 0) std::abort();
    for (int i = 0; i < count; ++i) {
        _tagUISTRUCT_RECENTDEST a, b;
        if (!store.GetItem(i, &a, 1) || !again.GetItem(i, &b, 1) || !(a == b)) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Setup();
    Clean();
    WriteBytes(g_dir + "/CourseCurrent.idt", data, size);
    WriteBytes(g_dir + "/RecentDest.udt", data, size);
    CheckCourse();
    CheckRecent();
    Clean();
    return 0;
}
