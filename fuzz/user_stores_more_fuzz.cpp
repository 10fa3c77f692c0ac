// The repeated-destination, saved-course and dialog-state files from
// arbitrary bytes: whatever a store takes it must save, and what it saved
// must load back unchanged and complete.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/clock.h"
#include "settings/dlg_info.h"
#include "settings/repeat_dest.h"
#include "settings/saved_course.h"

namespace {

platform::FakeClock g_clock;

fuzzsupport::StoreFolder MakeFolder() {
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
    return fuzzsupport::StoreFolder("user_stores_more_fuzz", {"RepeatDest.udt", "RepeatDest.err", "RegCourse.udt",
                                                              "RegCourse.err", "UIDlgInfo.udt", "UIDlgInfo.err"});
}

// Loads the store's file, saves it, and loads the saved file again: the
// records must be the same. `file` is the store's file, holding the input.
template <typename Store, typename Record, typename Count, typename Get>
void CheckStore(const std::string& file, const uint8_t* data, size_t size, Count count, Get get) {
    auto records = [&](Store& store) {
        const int n = count(store);
        if (n < 0) std::abort();
        std::vector<Record> out(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) {
            if (!get(store, i, &out[static_cast<size_t>(i)])) std::abort();
        }
        return out;
    };
    static fuzzsupport::ReadBackCache<std::vector<Record>> readBack;
    Store store;  // loads the file
    const std::vector<Record> items = records(store);
    const std::vector<Record>& saved = readBack.Saved(
        file, data, size, [&] { return store.Save(nullptr); },
        [&] {
            TakeSettingsFileErrorCount();
            Store again;
            if (TakeSettingsFileErrorCount() != 0) std::abort();
            return records(again);
        });
    if (saved != items) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const fuzzsupport::StoreFolder folder = MakeFolder();
    folder.Clean();
    static const std::string repeatFile = folder.File("RepeatDest.udt");
    static const std::string courseFile = folder.File("RegCourse.udt");
    static const std::string dlgFile = folder.File("UIDlgInfo.udt");
    for (const std::string* file : {&repeatFile, &courseFile, &dlgFile}) fuzzsupport::WriteBytes(*file, data, size);
    using Repeat = CMgrConfigUIDataRepeatDest;
    CheckStore<Repeat, _tagUISTRUCT_REPEATDEST>(
        repeatFile, data, size,
        [](const Repeat& s) {
            const int n = s.GetCount(0);
            if (n > Repeat::kMaxItems) std::abort();
            return n;
        },
        [](Repeat& s, int i, _tagUISTRUCT_REPEATDEST* r) { return s.GetItem(i, r, Repeat::kModeStored); });
    using Course = CMgrConfigUIDataCourse;
    CheckStore<Course, _tagUISTRUCT_COURSEINFO>(
        courseFile, data, size,
        [](const Course& s) {
            const int n = s.GetCount(0);
            if (n > Course::kMaxItems) std::abort();
            return n;
        },
        [](Course& s, int i, _tagUISTRUCT_COURSEINFO* r) { return s.GetItem(i, r, 0); });
    using Dlg = CMgrConfigUIDataDlgInfo;
    CheckStore<Dlg, _tagUISTRUCT_DLGINFO>(
        dlgFile, data, size,
        [](const Dlg& s) {
            for (int i = 0; i < s.GetCount(); ++i) {
                _tagUISTRUCT_DLGINFO info;
                s.GetDlgInfoAt(i, &info);
                if (info.nRecentTextDataNum < 0 || info.nRecentTextDataNum > kDlgRecentTexts) std::abort();
            }
            return s.GetCount();
        },
        [](Dlg& s, int i, _tagUISTRUCT_DLGINFO* r) { return s.GetDlgInfoAt(i, r); });
    folder.Clean();
    return 0;
}
