// The current course file and the recent-destination file from arbitrary
// bytes: whatever a store takes it must save, and what it saved must load
// back unchanged and complete.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz/fuzz_support.h"
#include "settings/course_current.h"
#include "settings/recent_dest.h"

namespace {

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
    static const fuzzsupport::StoreFolder folder = [] {
        SetCourseDefaultsSource([] { return CourseDefaults{}; });
        return fuzzsupport::StoreFolder(
            "user_store_fuzz", {"CourseCurrent.idt", "CourseCurrent.err", "RecentDest.udt", "RecentDest.err"});
    }();
    folder.Clean();
    folder.Write("CourseCurrent.idt", data, size);
    folder.Write("RecentDest.udt", data, size);
    CheckCourse();
    CheckRecent();
    folder.Clean();
    return 0;
}
