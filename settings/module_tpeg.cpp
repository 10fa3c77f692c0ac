#include "settings/module_tpeg.h"

#include <algorithm>
#include <mutex>
#include <new>

CMgrConfigModuleTPEG::CMgrConfigModuleTPEG() = default;

CMgrConfigModuleTPEG::~CMgrConfigModuleTPEG() { m_engineFile.Close(); }

int CMgrConfigModuleTPEG::GetLinkCongestion(int linkIndex) const {
    if (!IsLoaded()) return kNoCongestion;
    std::shared_lock hold(m_linkLock);
    if (linkIndex < 0 || linkIndex >= m_linkCount || !m_linkState) return kNoCongestion;
    const uint8_t state = m_linkState[static_cast<size_t>(linkIndex)].load(std::memory_order_relaxed);
    if (state == 255) return kNoCongestion;
    return state & 0x7;
}

int CMgrConfigModuleTPEG::GetLinkEventFlag(int linkIndex) const {
    if (!IsLoaded()) return 0;
    std::shared_lock hold(m_linkLock);
    if (linkIndex < 0 || linkIndex >= m_linkCount || !m_linkEvent) return 0;
    return m_linkEvent[static_cast<size_t>(linkIndex)].load(std::memory_order_relaxed);
}

int CMgrConfigModuleTPEG::GetLinkCount() const {
    std::shared_lock hold(m_linkLock);
    return m_linkCount;
}

int CMgrConfigModuleTPEG::GetTrafficTimeYear() const {
    if (!IsLoaded()) return 0;
    return m_timeYear.load(std::memory_order_acquire);
}

int CMgrConfigModuleTPEG::GetCongestionLinkCount() const {
    if (!IsLoaded()) return 0;
    return m_congestionLinks.load(std::memory_order_acquire);
}

int CMgrConfigModuleTPEG::GetTrafficItems(int* count, TrafficItem* buffer) {
    if (!IsLoaded() || !count) return 0;
    MgrLock hold(m_sections[kItemListSection]);
    int result = m_itemsChanged ? 1 : -1;
    const int stored = static_cast<int>(m_items.size());
    if (!buffer) {
        *count = stored;
    } else if (stored == 0) {
        result = 0;
    } else {
        // A negative request copies nothing rather than a wrapped size.
        const int n = std::clamp(*count, 0, stored);
        std::copy_n(m_items.begin(), n, buffer);
        *count = n;
        m_itemsChanged = 0;
    }
    return result;
}

void CMgrConfigModuleTPEG::SetStartParams(const TrafficStartParams& params) {
    MgrLock hold(m_lock);
    m_startParams = params;
}

void CMgrConfigModuleTPEG::GetStartParams(TrafficStartParams* out) const {
    if (!out) return;
    MgrLock hold(const_cast<CMgrCriticalSection&>(m_lock));
    *out = m_startParams;
}

void CMgrConfigModuleTPEG::GetReceiveStatus(TPEGReceiveStatus* out) const {
    if (!out) return;
    CMgrCriticalSection& lock = const_cast<CMgrConfigModuleTPEG*>(this)->StatusLock();
    MgrLock hold(lock);
    *out = m_status;
}

CMgrCriticalSection& CMgrConfigModuleTPEG::KindLock(TrafficKind kind) {
    switch (kind) {
        case kTrafficCTT: return m_engineLock2;
        case kTrafficCTTSUM: return m_sections[0];
        case kTrafficRTM: return m_sections[1];
        case kTrafficNWS: return m_sections[3];
        case kTrafficOPI: return m_sections[4];
        default: return m_sections[5];
    }
}

int CMgrConfigModuleTPEG::BuildLinkArrays(int linkCount) {
    if (linkCount < 0) return 0;
    const size_t n = static_cast<size_t>(linkCount);
    std::unique_ptr<std::atomic<uint8_t>[]> state(new (std::nothrow) std::atomic<uint8_t>[n]);
    std::unique_ptr<std::atomic<uint8_t>[]> event(new (std::nothrow) std::atomic<uint8_t>[n]);
    if (n > 0 && (!state || !event)) return 0;
    for (size_t i = 0; i < n; ++i) {
        state[i].store(255, std::memory_order_relaxed);
        event[i].store(0, std::memory_order_relaxed);
    }
    std::unique_lock hold(m_linkLock);
    m_linkState = std::move(state);
    m_linkEvent = std::move(event);
    m_linkCount = linkCount;
    return 1;
}

int CMgrConfigModuleTPEG::SetLinkState(int linkIndex, uint8_t state) {
    std::shared_lock hold(m_linkLock);
    if (linkIndex < 0 || linkIndex >= m_linkCount) return 0;
    m_linkState[static_cast<size_t>(linkIndex)].store(state, std::memory_order_relaxed);
    return 1;
}

int CMgrConfigModuleTPEG::SetLinkEvent(int linkIndex, uint8_t event) {
    std::shared_lock hold(m_linkLock);
    if (linkIndex < 0 || linkIndex >= m_linkCount) return 0;
    m_linkEvent[static_cast<size_t>(linkIndex)].store(event, std::memory_order_relaxed);
    return 1;
}

int CMgrConfigModuleTPEG::ExchangeLinkState(int linkIndex, uint8_t state) {
    std::shared_lock hold(m_linkLock);
    if (linkIndex < 0 || linkIndex >= m_linkCount) return -1;
    return m_linkState[static_cast<size_t>(linkIndex)].exchange(state, std::memory_order_relaxed);
}

void CMgrConfigModuleTPEG::FillLinkStates(uint8_t state) {
    std::shared_lock hold(m_linkLock);
    for (int32_t i = 0; i < m_linkCount; ++i) m_linkState[static_cast<size_t>(i)].store(state, std::memory_order_relaxed);
}

void CMgrConfigModuleTPEG::ClearLinkEvents() {
    std::shared_lock hold(m_linkLock);
    for (int32_t i = 0; i < m_linkCount; ++i) m_linkEvent[static_cast<size_t>(i)].store(0, std::memory_order_relaxed);
}

int CMgrConfigModuleTPEG::SetTrafficItems(const TrafficItem* items, int count) {
    if (count < 0 || (count > 0 && !items)) return 0;
    std::vector<TrafficItem> copy;
    try {
        copy.assign(items, items + count);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    MgrLock hold(m_sections[kItemListSection]);
    m_items.swap(copy);
    m_itemsChanged = 1;
    return 1;
}

void CMgrConfigModuleTPEG::SetEngineFile(platform::File file) { m_engineFile = std::move(file); }
