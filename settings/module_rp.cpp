#include "settings/module_rp.h"

#include <algorithm>
#include <bit>
#include <new>

#include "foundation/debug_trace.h"

namespace {

uint32_t LowestBit(uint32_t v) { return v & (~v + 1); }

}  // namespace

MgrConfigModuleRP::MgrConfigModuleRP() = default;

MgrConfigModuleRP::~MgrConfigModuleRP() { FreeAllResults(); }

int MgrConfigModuleRP::SumRouteResults() const {
    MgrLock hold(const_cast<CMgrCriticalSection&>(m_lock));
    if (m_resultCount <= 0) return 0;
    int sum = 0;
    for (int i = 0; i < m_resultCount; ++i) sum += m_results[i].linkCount;
    return sum;
}

int MgrConfigModuleRP::AddRouteResult(const RouteResultInput& result, int type) {
    if (result.inlineCount < 0 || result.inlineCount > kRouteResultMaxInline) return 0;
    if (result.linkCount > 0 && (!result.links || !result.values)) return 0;

    std::unique_ptr<int32_t[]> links;
    std::unique_ptr<int32_t[]> values;
    if (result.linkCount > 0) {
        const size_t n = static_cast<size_t>(result.linkCount);
        links.reset(new (std::nothrow) int32_t[n]);
        values.reset(new (std::nothrow) int32_t[n]);
        if (!links || !values) return 0;
        std::copy_n(result.links, n, links.get());
        std::copy_n(result.values, n, values.get());
    }

    MgrLock hold(m_lock);
    // The table has one entry per route slot; a fifth result is refused
    // rather than written past the table.
    if (m_resultCount < 0 || m_resultCount >= kRouteResultSlots) return 0;
    RouteResultEntry& entry = m_results[m_resultCount];
    entry.id = result.id;
    entry.linkCount = result.linkCount;
    entry.mode = result.mode;
    entry.links = std::move(links);
    entry.values = std::move(values);
    entry.inlineCount = result.inlineCount;
    std::copy_n(result.inlineValues, result.inlineCount, entry.inlineValues);
    if (type == 1) entry.mode |= 0x10000;
    if (type == 3) entry.mode |= 0x30000;
    m_kindBits |= result.mode & kKindMask;
    m_optionBits |= result.mode & kOptionMask;
    ++m_resultCount;
    return 1;
}

void MgrConfigModuleRP::FreeAllResults() {
    MgrLock hold(m_lock);
    for (RouteResultEntry& entry : m_results) entry = RouteResultEntry{};
    m_resultCount = 0;
    m_kindBits = 0;
    m_optionBits = 0;
}

int MgrConfigModuleRP::CheckRouteMode(uint32_t mode, uint32_t* derivedMode) const {
    MgrLock hold(const_cast<CMgrCriticalSection&>(m_lock));
    const uint32_t kinds = mode & kKindMask;
    const uint32_t option = mode & kOptionMask;
    if (kinds == 0) return kModeNoKind;

    uint32_t derived = 0;
    if (option != 0) {
        if (std::popcount(kinds) != 1) {
            DebugTrace(1, "[RP**] Pelox Route Mode Error!!! (Mode:%08x)\n", mode);
            return kModeOptionWithKinds;
        }
        if (option == m_optionBits) return kModeNothingNew;
        derived = kinds | LowestBit(option ^ m_optionBits);
    } else {
        if (std::popcount(kinds) == 1 && m_kindBits != 0) {
            DebugTrace(1, "Call BFreeAllResult()\n");
            return kModeFreeResultsFirst;
        }
        if (kinds == m_kindBits) return kModeNothingNew;
        derived = LowestBit(kinds ^ m_kindBits);
    }
    if (derivedMode) *derivedMode = derived;
    return m_resultCount;
}

int MgrConfigModuleRP::GetResultCount() const {
    MgrLock hold(const_cast<CMgrCriticalSection&>(m_lock));
    return m_resultCount;
}

uint32_t MgrConfigModuleRP::GetStoredKindBits() const {
    MgrLock hold(const_cast<CMgrCriticalSection&>(m_lock));
    return m_kindBits;
}

uint32_t MgrConfigModuleRP::GetStoredOptionBits() const {
    MgrLock hold(const_cast<CMgrCriticalSection&>(m_lock));
    return m_optionBits;
}

const RouteResultEntry* MgrConfigModuleRP::GetResult(int index) const {
    MgrLock hold(const_cast<CMgrCriticalSection&>(m_lock));
    if (index < 0 || index >= m_resultCount) return nullptr;
    return &m_results[index];
}
