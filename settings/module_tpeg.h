#pragma once
// The traffic data store: what the traffic engine receives, kept for route
// planning, guidance, the traffic screens and the map renderer.
//
// Locks:
//   m_linkLock   the per-link arrays and the link count. The engine
//                (re)builds them exclusively; readers take it shared, so a
//                reader never holds an array the engine is replacing. The
//                bytes themselves are atomics, updated in place by the
//                engine while readers read them.
//   m_sections[kItemListSection]  the traffic item list, its count and
//                the items-changed flag.
//   m_lock       (the object's own) the start parameters and time block.
// The loaded flag and the state word are atomics; while the loaded flag is
// 0 every accessor reports that no data is present.
#include <atomic>
#include <cstdint>
#include <memory>
#include <shared_mutex>
#include <vector>

#include "foundation/singleton.h"
#include "foundation/thread_annotations.h"
#include "platform/file_io.h"
#include "settings/module_state.h"

// One entry of the traffic overlay (12 bytes, copied out as they are).
struct TrafficItem {
    uint16_t id = 0;
    uint16_t kind = 0;
    int32_t x = 0;  // map units
    int32_t y = 0;
};
static_assert(sizeof(TrafficItem) == 12);

// The received traffic time: a calendar time at the front, the rest is the
// engine's.
struct TrafficTimeBlock {
    uint16_t year = 0;
    uint16_t month = 0;
    uint16_t dayOfWeek = 0;
    uint16_t day = 0;
    uint16_t hour = 0;
    uint16_t minute = 0;
    uint16_t second = 0;
    uint16_t millisecond = 0;
    uint8_t engineData[116] = {};
};
static_assert(sizeof(TrafficTimeBlock) == 132);

// The traffic engine's start parameters, copied in when it starts.
struct TrafficStartParams {
    uint8_t bytes[2628] = {};
};
static_assert(sizeof(TrafficStartParams) == 2628);

class CMgrConfigModuleTPEG : public MgrSingletonT<CMgrConfigModuleTPEG> {
public:
    static constexpr int32_t kStateStartFailed = 5;
    static constexpr int kNoCongestion = 255;
    static constexpr int kSectionCount = 6;
    static constexpr int kItemListSection = 2;

    CMgrConfigModuleTPEG();
    ~CMgrConfigModuleTPEG() override;

    int32_t GetState() const { return m_state.Get(); }
    void SetState(int32_t state) { m_state.Set(state); }

    // --- Readers -----------------------------------------------------
    // Low 3 bits of the link's state byte; 255 when nothing is loaded, the
    // index is outside the links or the byte is 255 (no data).
    int GetLinkCongestion(int linkIndex) const;
    // The link's event byte (1 or 8); 0 when not loaded or out of range.
    int GetLinkEventFlag(int linkIndex) const;
    // The year of the received traffic time; 0 when not loaded.
    int GetTrafficTimeYear() const;
    // Without a buffer: count = number of items. With a buffer for count
    // items: copies min(count, items) and lowers count to it; 0 when there
    // are no items. The result is 1 when the list changed since the last
    // copy, -1 when not; 0 when nothing is loaded.
    int GetTrafficItems(int* count, TrafficItem* buffer);
    int IsLoaded() const { return m_loaded.load(std::memory_order_acquire); }
    int GetLinkCount() const;

    // --- The traffic engine ------------------------------------------
    void SetStartParams(const TrafficStartParams& params);
    void GetStartParams(TrafficStartParams* out) const;
    void SetTrafficTime(const TrafficTimeBlock& time);
    // Replaces both per-link arrays: every state byte 255, every event 0.
    // 1; 0 for a negative count or when memory runs out (arrays unchanged).
    int BuildLinkArrays(int linkCount);
    // 1; 0 for an index outside the links.
    int SetLinkState(int linkIndex, uint8_t state);
    int SetLinkEvent(int linkIndex, uint8_t event);
    // Replaces the item list and sets the items-changed flag. 1, 0 for a
    // negative count or a null list with a positive count.
    int SetTrafficItems(const TrafficItem* items, int count);
    void SetLoaded(int loaded) { m_loaded.store(loaded ? 1 : 0, std::memory_order_release); }
    // A file the engine keeps open; closed with the store.
    void SetEngineFile(platform::File file);

    // The engine's own critical sections (the third guards the item list).
    CMgrCriticalSection& EngineSection(int index) { return m_sections[index]; }
    CMgrCriticalSection& EngineLock() { return m_engineLock; }
    CMgrCriticalSection& EngineLock2() { return m_engineLock2; }

private:
    ModuleStateWord m_state;
    TrafficStartParams m_startParams NAVI_GUARDED_BY(m_lock);
    std::atomic<int32_t> m_timeYear{0};
    TrafficTimeBlock m_time NAVI_GUARDED_BY(m_lock);
    CMgrCriticalSection m_engineLock;
    CMgrCriticalSection m_engineLock2;

    mutable std::shared_mutex m_linkLock;
    std::unique_ptr<std::atomic<uint8_t>[]> m_linkState;
    std::unique_ptr<std::atomic<uint8_t>[]> m_linkEvent;
    int32_t m_linkCount = 0;

    CMgrCriticalSection m_sections[kSectionCount];
    std::vector<TrafficItem> m_items NAVI_GUARDED_BY(m_sections[kItemListSection]);
    int32_t m_itemsChanged NAVI_GUARDED_BY(m_sections[kItemListSection]) = 0;

    platform::File m_engineFile;
    std::atomic<int32_t> m_loaded{0};
};
