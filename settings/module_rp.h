#pragma once
// The route planner's settings object: its state word, the current route
// request, the table of computed route results and the last result code.
//
// Locks: the result table (entries, count, kind and option bits) is written
// by the route thread and read by guidance and the renderer; every
// operation below takes the object's lock, and a reader that walks the
// entries holds GetLock() around GetResult. State word, last result code
// and re-plan tick are single atomic words.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "foundation/singleton.h"
#include "foundation/thread_annotations.h"
#include "settings/module_state.h"

// The route request record (296 bytes) of the route screens and the
// planner. Its fields belong to them; this object keeps it zeroed until a
// screen fills it.
struct RouteParamInput {
    uint8_t bytes[296] = {};
};
static_assert(sizeof(RouteParamInput) == 296);

inline constexpr int kRouteResultMaxInline = 16;
inline constexpr int kRouteResultSlots = 4;

// What the planner hands over for one computed route; the arrays are
// copied.
struct RouteResultInput {
    int32_t id = 0;
    int32_t linkCount = 0;
    uint32_t mode = 0;                // kind bit in bits 0-3, option bit in 8-10
    const int32_t* links = nullptr;   // linkCount link ids
    int32_t inlineCount = 0;          // at most 16
    int32_t inlineValues[kRouteResultMaxInline] = {};
    const int32_t* values = nullptr;  // linkCount values of the planner
};

// One stored route result; owns both arrays.
struct RouteResultEntry {
    int32_t id = 0;
    int32_t linkCount = 0;
    uint32_t mode = 0;  // bits 16-17: 1 for a type 1 result, 3 for type 3
    std::unique_ptr<int32_t[]> links;
    int32_t inlineCount = 0;
    int32_t inlineValues[kRouteResultMaxInline] = {};
    std::unique_ptr<int32_t[]> values;
};

class MgrConfigModuleRP : public MgrSingletonT<MgrConfigModuleRP> {
public:
    static constexpr uint32_t kKindMask = 0xF;
    static constexpr uint32_t kOptionMask = 0x700;

    // CheckRouteMode refusals.
    static constexpr int kModeNoKind = -1;
    static constexpr int kModeNothingNew = -2;
    static constexpr int kModeOptionWithKinds = -3;
    static constexpr int kModeFreeResultsFirst = -5;

    MgrConfigModuleRP();
    ~MgrConfigModuleRP() override;

    int32_t GetState() const { return m_state.Get(); }
    void SetState(int32_t state) { m_state.Set(state); }

    int32_t GetLastError() const { return m_lastError.load(std::memory_order_acquire); }
    void SetLastError(int32_t code) { m_lastError.store(code, std::memory_order_release); }

    uint32_t GetReRouteTick() const { return m_reRouteTick.load(std::memory_order_acquire); }
    void SetReRouteTick(uint32_t tickMs) { m_reRouteTick.store(tickMs, std::memory_order_release); }

    // Sum of the link counts of the stored results (0 when there are none);
    // below 1 means there is no route.
    int SumRouteResults() const;

    // Appends a result (type 1 or 3 marks the mode word's bits 16-17).
    // 1; 0 when the table is full or the source is inconsistent (links
    // missing for a positive count, more than 16 inline values).
    int AddRouteResult(const RouteResultInput& result, int type);
    // Releases every entry; count, kind bits and option bits to 0.
    void FreeAllResults();

    // Which route kind or option to compute next for a requested mode
    // word. Stores it in derivedMode and returns the result count, or one
    // of the refusals above.
    int CheckRouteMode(uint32_t mode, uint32_t* derivedMode) const;

    int GetResultCount() const;
    uint32_t GetStoredKindBits() const;
    uint32_t GetStoredOptionBits() const;
    // The entry at index (null outside the count); valid while the caller
    // holds GetLock().
    const RouteResultEntry* GetResult(int index) const;

    // The request being planned; written by the route screens under
    // GetLock().
    RouteParamInput& RouteRequest() { return m_request; }

    // The two settings that select the one-directional (forward) search
    // for a route of one leg; either set selects it.
    void SetOneDirectionalSearch(int which, bool on) {
        if (which == 0 || which == 1) m_oneDirectional[which].store(on, std::memory_order_release);
    }
    bool UsesOneDirectionalSearch() const {
        return m_oneDirectional[0].load(std::memory_order_acquire) || m_oneDirectional[1].load(std::memory_order_acquire);
    }

    // The process-wide regional flag of the route costs (class-4 roads of
    // the southern island region count faster); off unless the program sets it.
    void SetRegionalCosts(bool on) { m_regionalCosts.store(on, std::memory_order_release); }
    bool UsesRegionalCosts() const { return m_regionalCosts.load(std::memory_order_acquire); }
    const std::u16string& GetMapFolder() const { return m_mapFolder; }
    int32_t GetPlannerValue() const { return m_plannerValue; }

private:
    ModuleStateWord m_state;
    std::u16string m_mapFolder = u"C:\\Pelox20\\Map";
    int32_t m_plannerValue = 10240;  // the planner's own setting
    RouteParamInput m_request;

    int32_t m_resultCount NAVI_GUARDED_BY(m_lock) = 0;
    RouteResultEntry m_results[kRouteResultSlots] NAVI_GUARDED_BY(m_lock);
    uint32_t m_kindBits NAVI_GUARDED_BY(m_lock) = 0;
    uint32_t m_optionBits NAVI_GUARDED_BY(m_lock) = 0;

    std::atomic<int32_t> m_lastError{1};
    std::atomic<bool> m_oneDirectional[2] = {false, false};
    std::atomic<bool> m_regionalCosts{false};
    std::atomic<uint32_t> m_reRouteTick{0};
};
