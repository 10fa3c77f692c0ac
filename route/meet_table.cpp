#include "route/meet_table.h"

#include <algorithm>

int NcMeetTable::Init(void* memory, size_t bytes) {
    m_count = 0;
    m_entries = memory != nullptr && bytes >= kBytes ? static_cast<Entry*>(memory) : nullptr;
    return m_entries != nullptr ? 1 : 0;
}

int NcMeetTable::Add(int32_t linkId, int32_t cost, int32_t next) {
    if (m_entries == nullptr || m_count >= kEntries) return 0;
    m_entries[m_count++] = Entry{linkId, cost, next};
    return m_count >= kFullAt ? 0 : 1;
}

void NcMeetTable::Sort() {
    if (m_entries == nullptr) return;
    std::sort(m_entries, m_entries + m_count, [](const Entry& a, const Entry& b) {
        return a.linkId != b.linkId ? a.linkId < b.linkId : a.cost < b.cost;
    });
}

bool NcMeetTable::Find(int32_t linkId, int32_t* cost, int32_t* next) const {
    if (m_entries == nullptr) return false;
    const Entry* begin = m_entries;
    const Entry* end = m_entries + m_count;
    const Entry* it =
        std::lower_bound(begin, end, linkId, [](const Entry& e, int32_t id) { return e.linkId < id; });
    if (it == end || it->linkId != linkId) return false;
    if (cost != nullptr) *cost = it->cost;
    if (next != nullptr) *next = it->next;
    return true;
}
