// Chapter events in any order through the manager with the program's
// transition table and placeholder screens (no window: the screens skip
// their boards). The first byte picks the start mode and the broadcaster
// setting; each following byte pair is an event: the low byte indexes the
// events the table names (plus the context clear, an update and a few ids
// no row names), the high byte sets context word B or A now and then.
// After every event the stack holds at most 16 chapters and a chapter is
// shown; the manager's end deletes them all (leaks show under ASan).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <set>
#include <vector>

#include "foundation/system_settings.h"
#include "fuzz/fuzz_support.h"
#include "shell/chapter_manager.h"
#include "shell/main_queue.h"

namespace {

struct World {
    World() {
        fuzzsupport::SilenceTrace();
        std::set<int32_t> events;
        for (const ChapterTransition* row = ChapterTransitionTable(); row && row->fromId != 0; ++row)
            if (row->event != kChapterAnyEvent) events.insert(row->event);
        list.assign(events.begin(), events.end());
        for (int32_t extra : {kChapterEventClearContext, -1, 0, 2, 999, 65535}) list.push_back(extra);
        for (int i = 0; i < SYS_ITEM_COUNT; ++i)
            if (const char* key = GetSystemSettingKey(i); key && std::string_view(key) == "TPEGMBC") mbcIndex = i;
    }
    std::vector<int32_t> list;
    int mbcIndex = -1;
    FixedSystemSettings settings[4];
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static World* world = [] {
        auto* w = new World();
        w->settings[1].SetInt(SYS_DEMO, 1);
        w->settings[2].SetInt(SYS_HIDEMODE, 1);
        w->settings[3].SetInt(w->mbcIndex, 1);
        return w;
    }();
    if (size < 1 || world->list.empty()) return 0;
    SetSystemSettingsSource(&world->settings[data[0] % 4]);
    {
        ChapterManager manager(nullptr, kChapterStartId, nullptr);
        manager.OnChapterEvent(0);
        for (size_t at = 1; at + 1 < size && at < 1 + 2 * 4096; at += 2) {
            const uint8_t pick = data[at];
            const uint8_t extra = data[at + 1];
            const int32_t event = world->list[pick % world->list.size()];
            if (extra >= 0xF0) manager.Context().B = extra & 3;
            if (extra >= 0xE0 && extra < 0xF0) manager.Context().A = extra & 3;
            if (event == -1) {
                manager.UpdateCurrent();
            } else if (event == kChapterEventClearContext) {
                ChapterManager::PostChapterEvent(event);
            } else {
                manager.OnChapterEvent(event);
            }
            if (manager.StackDepth() > ChapterManager::kStackDepth) std::abort();
            if (!manager.GetCurrentChapter()) std::abort();
            if (manager.GetCurrentChapter()->GetChapterId() != manager.GetCurrentChapterId()) std::abort();
        }
    }
    MainQueue::Instance().Clear();
    SetSystemSettingsSource(nullptr);
    return 0;
}
