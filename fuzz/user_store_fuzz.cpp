// The current course file and the recent-destination file from arbitrary
// bytes: whatever a store takes it must save, and what it saved must load
// back unchanged and complete.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "settings/course_current.h"
#include "settings/recent_dest.h"

namespace {

// What the current course keeps of its file.
struct CourseRecords {
    _tagUISTRUCT_COURSEINFO body;
    _tagUISTRUCT_COURSEINFO routed;
    uint8_t requestFirstByte = 0;
    int32_t drivingDistance = 0;

    explicit CourseRecords(const CMgrConfigUIInfoCourseCurrent& course)
        : body(course.Body()),
          routed(course.GetRoutedCourse().Body()),
          requestFirstByte(course.GetRouteRequest().bytes[0]),
          drivingDistance(course.m_nDrivingDistance) {}
    bool operator==(const CourseRecords& o) const {
        return body == o.body && routed == o.routed && requestFirstByte == o.requestFirstByte &&
               drivingDistance == o.drivingDistance;
    }
};

std::vector<_tagUISTRUCT_RECENTDEST> RecentItems(CMgrConfigUIDataRecentDest& store) {
    const int count = store.GetCount(0);
    if (count < 0 || count > CMgrConfigUIDataRecentDest::kMaxItems) std::abort();
    std::vector<_tagUISTRUCT_RECENTDEST> items(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        if (!store.GetItem(i, &items[static_cast<size_t>(i)], 1)) std::abort();
    }
    return items;
}

void CheckCourse(const std::string& file, const uint8_t* data, size_t size) {
    static fuzzsupport::ReadBackCache<CourseRecords> readBack;
    CMgrConfigUIInfoCourseCurrent course;
    if (!course.Load(nullptr)) return;
    const CourseRecords& saved = readBack.Saved(
        file, data, size, [&] { return course.Save(nullptr); },
        [] {
            CMgrConfigUIInfoCourseCurrent again;
            TakeSettingsFileErrorCount();
            if (again.Load(nullptr) != 1 || TakeSettingsFileErrorCount() != 0) std::abort();
            return CourseRecords(again);
        });
    if (!(saved == CourseRecords(course))) std::abort();
}

void CheckRecent(const std::string& file, const uint8_t* data, size_t size) {
    static fuzzsupport::ReadBackCache<std::vector<_tagUISTRUCT_RECENTDEST>> readBack;
    CMgrConfigUIDataRecentDest store;  // loads the file
    const std::vector<_tagUISTRUCT_RECENTDEST> items = RecentItems(store);
    const std::vector<_tagUISTRUCT_RECENTDEST>& saved = readBack.Saved(
        file, data, size, [&] { return store.Save(nullptr); },
        [] {
            TakeSettingsFileErrorCount();
            CMgrConfigUIDataRecentDest again;
            if (TakeSettingsFileErrorCount() != 0) std::abort();
            return RecentItems(again);
        });
    if (saved != items) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const fuzzsupport::StoreFolder folder = [] {
        SetCourseDefaultsSource([] { return CourseDefaults{}; });
        return fuzzsupport::StoreFolder(
            "user_store_fuzz", {"CourseCurrent.idt", "CourseCurrent.err", "RecentDest.udt", "RecentDest.err"});
    }();
    static const std::string courseFile = folder.File("CourseCurrent.idt");
    static const std::string recentFile = folder.File("RecentDest.udt");
    folder.Clean();
    folder.Write("CourseCurrent.idt", data, size);
    folder.Write("RecentDest.udt", data, size);
    CheckCourse(courseFile, data, size);
    CheckRecent(recentFile, data, size);
    folder.Clean();
    return 0;
}
