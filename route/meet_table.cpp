#include "route/meet_table.h"

#include <algorithm>
#include <cstring>

int NcMeetTable::Init(void* memory, size_t bytes) {
    m_count = 0;
    m_entries = memory != nullptr && bytes >= kBytes ? static_cast<Entry*>(memory) : nullptr;
    m_scratch = m_entries != nullptr ? m_entries + kEntries : nullptr;
    m_filter = m_entries != nullptr ? static_cast<uint8_t*>(memory) + 2 * kEntries * sizeof(Entry) : nullptr;
    if (m_filter != nullptr) std::memset(m_filter, 0, kFilterBytes);
    return m_entries != nullptr ? 1 : 0;
}

namespace {

// The filter bit of a link id, or -1 for an id the filter does not cover.
int64_t FilterBit(int32_t linkId) {
    const uint32_t id = static_cast<uint32_t>(linkId);
    const uint32_t index = id & 0x07FFFFFF;
    if ((id >> 28) != 0 || index >= NcMeetTable::kFilterIndexes) return -1;
    return int64_t{index} * 2 + ((id >> 27) & 1);
}

}  // namespace

void NcMeetTable::Clear() {
    if (m_filter != nullptr)
        for (int i = 0; i < m_count; ++i)
            if (const int64_t bit = FilterBit(m_entries[i].linkId); bit >= 0) m_filter[bit >> 3] &= ~(1u << (bit & 7));
    m_count = 0;
}

int NcMeetTable::Add(int32_t linkId, int32_t cost, int32_t next) {
    if (m_entries == nullptr || m_count >= kEntries) return 0;
    m_entries[m_count++] = Entry{linkId, cost, next};
    if (const int64_t bit = FilterBit(linkId); bit >= 0) m_filter[bit >> 3] |= static_cast<uint8_t>(1u << (bit & 7));
    return m_count >= kFullAt ? 0 : 1;
}

void NcMeetTable::Sort() {
    if (m_entries == nullptr || m_count < 2) return;
    // A stable radix sort of the ids (sign bit flipped, so that the order
    // is the signed one) in three passes of 11 bits, each from the entries
    // into the scratch space or back.
    constexpr uint32_t kDigits = 2048;
    const auto digit = [](const Entry& e, int shift) {
        return ((static_cast<uint32_t>(e.linkId) ^ 0x80000000u) >> shift) & (kDigits - 1);
    };
    Entry* from = m_entries;
    Entry* to = m_scratch;
    for (int shift : {0, 11, 22}) {
        uint32_t start[kDigits + 1] = {};
        for (int i = 0; i < m_count; ++i) ++start[digit(from[i], shift) + 1];
        for (uint32_t d = 1; d <= kDigits; ++d) start[d] += start[d - 1];
        for (int i = 0; i < m_count; ++i) to[start[digit(from[i], shift)]++] = from[i];
        std::swap(from, to);
    }
    // Three passes leave the result in the scratch space.
    std::copy(from, from + m_count, m_entries);
    // A link met more than once: its entries by cost, stable.
    for (int i = 1; i < m_count; ++i) {
        if (m_entries[i].linkId != m_entries[i - 1].linkId || m_entries[i].cost >= m_entries[i - 1].cost) continue;
        const Entry e = m_entries[i];
        int j = i;
        for (; j > 0 && m_entries[j - 1].linkId == e.linkId && m_entries[j - 1].cost > e.cost; --j) m_entries[j] = m_entries[j - 1];
        m_entries[j] = e;
    }
}

bool NcMeetTable::Find(int32_t linkId, int32_t* cost, int32_t* next) const {
    if (m_entries == nullptr) return false;
    if (const int64_t bit = FilterBit(linkId); bit >= 0 && !((m_filter[bit >> 3] >> (bit & 7)) & 1)) return false;
    const Entry* begin = m_entries;
    const Entry* end = m_entries + m_count;
    const Entry* it =
        std::lower_bound(begin, end, linkId, [](const Entry& e, int32_t id) { return e.linkId < id; });
    if (it == end || it->linkId != linkId) return false;
    if (cost != nullptr) *cost = it->cost;
    if (next != nullptr) *next = it->next;
    return true;
}
