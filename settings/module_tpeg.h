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
//   StatusLock() the reception status block (the received time block).
//   KindLock(k)  the data of one message kind, held by the traffic engine
//                while it stores a message and by the screens' queries.
//                Taken before the status lock, never after it.
//   m_lock       (the object's own) the start parameters.
// The loaded flag and the state word are atomics; while the loaded flag is
// 0 every accessor reports that no data is present.
#include <atomic>
#include <cstddef>
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

// A calendar time as the traffic engine stamps its data (SYSTEMTIME shape,
// 16 bytes); all zero means "no time".
struct TPEGSystemTime {
    uint16_t wYear = 0;
    uint16_t wMonth = 0;
    uint16_t wDayOfWeek = 0;
    uint16_t wDay = 0;
    uint16_t wHour = 0;
    uint16_t wMinute = 0;
    uint16_t wSecond = 0;
    uint16_t wMilliseconds = 0;
};
static_assert(sizeof(TPEGSystemTime) == 16);

// The 132-byte reception status block that the traffic screens poll. It is
// the store's received traffic time block: the traffic engine defines its
// contents, and this layout is the one the screens copy out. A time field is
// all zero until its kind has stored a message, and again after a clear.
struct TPEGReceiveStatus {
    int32_t nReceiveState = 0;         // 2 receiving, 1 not, 0 just reset
    TPEGSystemTime sCttTime;           // congestion
    TPEGSystemTime sCttSumTime;        // congestion summaries
    TPEGSystemTime sRtmTime;           // incidents
    TPEGSystemTime sNwsTime;           // news
    TPEGSystemTime sOpiTime;           // fuel prices
    int32_t nCttLinks = 0;             // links with congestion data
    int32_t nCttSumSlots = 0;          // summary slots with data
    int32_t nRtmWord = 0;              // cleared with the incidents
    int32_t nNwsWord = 0;              // cleared with the news
    int32_t nOpiStations = 0;          // stations with prices
    int32_t nCttWord = 0;              // cleared with the congestion
    int32_t nOpiWord = 0;              // cleared with the fuel prices
    uint16_t wRouteIncidentCount = 0;  // 1..10000, wraps to 1
    uint16_t wRouteIncidentType = 0;
    int32_t bOpiService = 0;
    int32_t bOpiData = 0;
    int32_t nReserved = 0;
    int32_t nChannelType = 0;          // -1, 0..4
};
static_assert(sizeof(TPEGReceiveStatus) == 132);
static_assert(offsetof(TPEGReceiveStatus, sCttTime) == 4);
static_assert(offsetof(TPEGReceiveStatus, nCttLinks) == 84);
static_assert(offsetof(TPEGReceiveStatus, wRouteIncidentCount) == 112);
static_assert(offsetof(TPEGReceiveStatus, nChannelType) == 128);

// The traffic message kinds; each has its own lock in the store.
enum TrafficKind : int { kTrafficCTT, kTrafficCTTSUM, kTrafficRTM, kTrafficNWS, kTrafficOPI, kTrafficKindCount };

// The traffic engine's start parameters, copied in when it starts.
struct TrafficStartParams {
    uint8_t bytes[2628] = {};
};
static_assert(sizeof(TrafficStartParams) == 2628);

class CMgrConfigModuleTPEG : public MgrSingletonT<CMgrConfigModuleTPEG> {
public:
    // The module state word is the traffic thread's state, as the traffic
    // module defines it: 0 started (or its initialisation failed), 1 ready,
    // 2 tables loaded and the receiver link running, 3 the link ended, 4 stop
    // requested, 5 the thread has finished. A thread that cannot start ends
    // at once, so 5 is also what a failed start leaves.
    static constexpr int32_t kStateThreadStarted = 0;
    static constexpr int32_t kStateThreadReady = 1;
    static constexpr int32_t kStateLinkRunning = 2;
    static constexpr int32_t kStateLinkEnded = 3;
    static constexpr int32_t kStateStopRequested = 4;
    static constexpr int32_t kStateThreadFinished = 5;
    static constexpr int32_t kStateStartFailed = kStateThreadFinished;
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
    // The year of the congestion receive time in the reception status block
    // (so traffic counts only once congestion arrived with a valid clock);
    // 0 when not loaded.
    int GetTrafficTimeYear() const;
    // Links with congestion data (the status block's counter); 0 when not
    // loaded. Traffic is used only when it is at least 2000.
    int GetCongestionLinkCount() const;
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
    // The reception status block: a copy, and an edit under the status lock.
    void GetReceiveStatus(TPEGReceiveStatus* out) const;
    template <class Edit>
    void EditReceiveStatus(Edit&& edit) {
        MgrLock hold(StatusLock());
        edit(m_status);
        m_timeYear.store(m_status.sCttTime.wYear, std::memory_order_release);
        m_congestionLinks.store(m_status.nCttLinks, std::memory_order_release);
    }
    // Replaces both per-link arrays: every state byte 255, every event 0.
    // 1; 0 for a negative count or when memory runs out (arrays unchanged).
    int BuildLinkArrays(int linkCount);
    // 1; 0 for an index outside the links.
    int SetLinkState(int linkIndex, uint8_t state);
    int SetLinkEvent(int linkIndex, uint8_t event);
    // Stores the state byte and returns the one it replaced; -1 for an index
    // outside the links.
    int ExchangeLinkState(int linkIndex, uint8_t state);
    // Every state byte := state; every event byte := 0.
    void FillLinkStates(uint8_t state);
    void ClearLinkEvents();
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
    // The status lock is the engine's first section; the congestion lock
    // its second; the other kinds use the six sections around the item list.
    CMgrCriticalSection& StatusLock() NAVI_TSA(lock_returned(m_engineLock)) { return m_engineLock; }
    CMgrCriticalSection& KindLock(TrafficKind kind);

private:
    ModuleStateWord m_state;
    TrafficStartParams m_startParams NAVI_GUARDED_BY(m_lock);
    std::atomic<int32_t> m_timeYear{0};
    std::atomic<int32_t> m_congestionLinks{0};
    TPEGReceiveStatus m_status NAVI_GUARDED_BY(m_engineLock);
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
