// The repeated-destination, saved-course and dialog-state files from
// arbitrary bytes: whatever a store takes it must save, and what it saved
// must load back unchanged and complete.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "foundation/debug_trace.h"
#include "foundation/nv_config.h"
#include "platform/clock.h"
#include "settings/dlg_info.h"
#include "settings/repeat_dest.h"
#include "settings/saved_course.h"

namespace {

std::string g_dir;
platform::FakeClock g_clock;

void WriteBytes(const std::string& path, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    if (size && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);
}

void Setup() {
    if (!g_dir.empty()) return;
    char pattern[] = "/dev/shm/user_stores_more_fuzz.XXXXXX";
    char fallback[] = "/tmp/user_stores_more_fuzz.XXXXXX";
    const char* dir = mkdtemp(pattern);
    if (!dir) dir = mkdtemp(fallback);
    if (!dir) std::abort();
    g_dir = dir;
    NvFilePath::SetFolders(NvString::FromUtf8(g_dir), NvString::FromUtf8(g_dir));
    SetCourseDefaultsSource([] { return CourseDefaults{}; });
    SetRepeatFilterTypeSource([] { return CMgrConfigUIDataRepeatDest::kFilterHalfDay; });
    // A fixed day, so that places expire the same way at every load.
    platform::LocalDateTime now;
    now.year = 2026;
    now.month = 12;
    now.day = 15;
    now.hour = 9;
    g_clock.SetLocal(now);
    platform::SetClock(&g_clock);
    SetDebugTraceSink([](std::string_view) {}, false);
}

void Clean() {
    for (const char* name :
         {"RepeatDest.udt", "RepeatDest.err", "RegCourse.udt", "RegCourse.err", "UIDlgInfo.udt", "UIDlgInfo.err"}) {
        std::remove((g_dir + "/" + name).c_str());
    }
}

// Loads the store's file, saves it, and loads the saved file again.
template <typename Store, typename Record, typename Count, typename Get>
void CheckStore(Count count, Get get) {
    Store store;  // loads the file
    const int n = count(store);
    if (n < 0) std::abort();
    if (store.Save(nullptr) != 1) std::abort();
    TakeSettingsFileErrorCount();
    Store again;
    if (count(again) != n || TakeSettingsFileErrorCount() != 0) std::abort();
    for (int i = 0; i < n; ++i) {
        Record a, b;
        if (!get(store, i, &a) || !get(again, i, &b) || !(a == b)) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Setup();
    Clean();
    for (const char* name : {"RepeatDest.udt", "RegCourse.udt", "UIDlgInfo.udt"}) {
        WriteBytes(g_dir + "/" + name, data, size);
    }
    using Repeat = CMgrConfigUIDataRepeatDest;
    CheckStore<Repeat, _tagUISTRUCT_REPEATDEST>(
        [](const Repeat& s) {
            const int n = s.GetCount(0);
            if (n > Repeat::kMaxItems) std::abort();
            return n;
        },
        [](Repeat& s, int i, _tagUISTRUCT_REPEATDEST* r) { return s.GetItem(i, r, Repeat::kModeStored); });
    using Course = CMgrConfigUIDataCourse;
    CheckStore<Course, _tagUISTRUCT_COURSEINFO>(
        [](const Course& s) {
            const int n = s.GetCount(0);
            if (n > Course::kMaxItems) std::abort();
            return n;
        },
        [](Course& s, int i, _tagUISTRUCT_COURSEINFO* r) { return s.GetItem(i, r, 0); });
    using Dlg = CMgrConfigUIDataDlgInfo;
    CheckStore<Dlg, _tagUISTRUCT_DLGINFO>(
        [](const Dlg& s) {
            for (int i = 0; i < s.GetCount(); ++i) {
                _tagUISTRUCT_DLGINFO info;
                s.GetDlgInfoAt(i, &info);
                if (info.nRecentTextDataNum < 0 || info.nRecentTextDataNum > kDlgRecentTexts) std::abort();
            }
            return s.GetCount();
        },
        [](Dlg& s, int i, _tagUISTRUCT_DLGINFO* r) { return s.GetDlgInfoAt(i, r); });
    Clean();
    return 0;
}
