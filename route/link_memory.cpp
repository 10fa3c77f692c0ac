#include "route/link_memory.h"

#include <cstring>

#include "foundation/debug_trace.h"

// ------------------------------------------------------------- NcLinkMem

int NcLinkMem::Init(void* memory) {
    if (!memory) return 0;
    m_nodes = static_cast<NcLink*>(memory);
    m_ring = reinterpret_cast<uint16_t*>(static_cast<uint8_t*>(memory) + kNcLinkNodes * sizeof(NcLink));
    Reset();
    return 1;
}

int NcLinkMem::Reset() {
    if (!m_nodes) return 0;
    for (int i = 0; i < kNcLinkNodes; ++i) {
        m_ring[i] = static_cast<uint16_t>(i);
        m_nodes[i] = NcLink{};
        m_nodes[i].number = static_cast<uint16_t>(i);
    }
    m_read = 0;
    m_write = kNcLinkNodes;
    return kNcLinkNodes;
}

NcLink* NcLinkMem::Alloc() {
    if (!m_nodes || m_read == m_write) {
        DebugTrace(1, "[RP**] No Available LinkMem Space!!!");
        return nullptr;
    }
    NcLink* node = &m_nodes[m_ring[m_read]];
    m_read = (m_read + 1) % (kNcLinkNodes + 1);
    return node;
}

int NcLinkMem::Free(NcLink* node) {
    if (!m_nodes || !node || node < m_nodes || node >= m_nodes + kNcLinkNodes ||
        (m_write + 1) % (kNcLinkNodes + 1) == m_read) {
        DebugTrace(1, "[RP**] LinkMem FreeSpace Error");
        return 0;
    }
    m_ring[m_write] = node->number;
    m_write = (m_write + 1) % (kNcLinkNodes + 1);
    return 1;
}

int NcLinkMem::InUse() const {
    const int free = (m_write - m_read + kNcLinkNodes + 1) % (kNcLinkNodes + 1);
    return kNcLinkNodes - free;
}

// ----------------------------------------------------------- NcLinkIDMem

namespace {

int32_t Load32(const uint8_t* p) {
    int32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
void Store32(uint8_t* p, int32_t v) { std::memcpy(p, &v, 4); }

}  // namespace

int NcLinkIDMem::Init(void* memory, size_t bytes) {
    if (!memory || bytes < kNcLinkIndexBytes) return 0;
    m_index = static_cast<uint32_t*>(memory);
    m_ownPool = Pool{};
    m_ownPool.base = static_cast<uint8_t*>(memory) + kNcLinkIndexBytes;
    m_ownPool.capacity = static_cast<uint32_t>((bytes - kNcLinkIndexBytes) / kNcLinkPageBytes);
    m_pool = &m_ownPool;
    DebugTrace(1, "[RP**] LINKIDMEM_INDEX_SIZE: %d(KB)\n", static_cast<int>(kNcLinkIndexBytes / 1024));
    std::memset(m_index, 0, kNcLinkIndexBytes);
    m_pages = 0;
    return 1;
}

int NcLinkIDMem::InitShared(void* index, NcLinkIDMem* owner) {
    if (!index || !owner) return 0;
    m_index = static_cast<uint32_t*>(index);
    m_pool = owner->m_pool;
    m_pages = 0;
    m_unzeroed = true;
    return 1;
}

void NcLinkIDMem::Clear() {
    // The index holds page numbers only for pages this table made.
    if (m_index && (m_pages > 0 || m_unzeroed)) std::memset(m_index, 0, kNcLinkIndexBytes);
    m_pages = 0;
    m_unzeroed = false;
    if (m_pool == &m_ownPool) {
        m_ownPool.used = 0;
        m_ownPool.freeHead = 0;
    }
}

void NcLinkIDMem::Release() {
    if (m_unzeroed) Clear();
    if (!m_index || m_pages == 0) return;
    // A page handed back keeps the number of the next one in its first
    // word.
    for (uint32_t g = 0; g < kNcLinkGroups; ++g) {
        const uint32_t number = m_index[g];
        if (number == 0) continue;
        Store32(PageAt(number), static_cast<int32_t>(m_pool->freeHead));
        m_pool->freeHead = number;
        m_index[g] = 0;
    }
    m_pages = 0;
}

void NcLinkIDMem::ResetMarks() {
    if (m_pages == 0) return;
    if (m_pool->freeHead == 0 && m_pages == m_pool->used) {
        // Every page of the pool is this table's.
        for (uint32_t p = 1; p <= m_pages; ++p) std::memset(PageAt(p), 0x7F, kParentsOffset);
        return;
    }
    for (uint32_t g = 0; g < kNcLinkGroups; ++g)
        if (m_index[g] != 0) std::memset(PageAt(m_index[g]), 0x7F, kParentsOffset);
}

const uint8_t* NcLinkIDMem::Find(uint32_t linkId, int* slot) const {
    // Bits 28-31 would index past the table.
    const uint32_t group = (linkId & 0x07FFFFFF) >> 5;
    if (!m_index || (linkId >> 28) != 0 || group >= kNcLinkGroups || m_index[group] == 0) return nullptr;
    *slot = static_cast<int>((linkId & 31) * 2 + ((linkId >> 27) & 1));
    return PageAt(m_index[group]);
}

uint8_t* NcLinkIDMem::Make(uint32_t linkId, int* slot) {
    const uint32_t group = (linkId & 0x07FFFFFF) >> 5;
    if (!m_index || (linkId >> 28) != 0 || group >= kNcLinkGroups) return nullptr;
    if (m_index[group] == 0) {
        Pool& pool = *m_pool;
        uint32_t number = 0;
        if (pool.freeHead != 0) {
            number = pool.freeHead;
            pool.freeHead = static_cast<uint32_t>(Load32(PageAt(number)));
        } else if (pool.used < pool.capacity) {
            number = ++pool.used;
        } else {
            return nullptr;
        }
        uint8_t* page = PageAt(number);
        std::memset(page, 0x7F, kLevelsOffset);
        std::memset(page + kLevelsOffset, 0, kNcLinkPageBytes - kLevelsOffset);
        m_index[group] = number;
        ++m_pages;
    }
    *slot = static_cast<int>((linkId & 31) * 2 + ((linkId >> 27) & 1));
    return PageAt(m_index[group]);
}

int NcLinkIDMem::SetMark(uint32_t linkId, int32_t cost) {
    Entry entry;
    if (!MakeEntry(linkId, &entry)) return 0;
    entry.SetMark(cost);
    return 1;
}

int32_t NcLinkIDMem::GetMark(uint32_t linkId) const {
    int slot = 0;
    const uint8_t* page = Find(linkId, &slot);
    return page ? Load32(page + 4 * slot) : kNcCostUnreached;
}

int NcLinkIDMem::SetParent(uint32_t linkId, int32_t parent) {
    Entry entry;
    if (!MakeEntry(linkId, &entry)) return 0;
    entry.SetParent(parent);
    return 1;
}

int32_t NcLinkIDMem::GetParent(uint32_t linkId) const {
    int slot = 0;
    const uint8_t* page = Find(linkId, &slot);
    return page ? Load32(page + kParentsOffset + 4 * slot) : kNcNoParent;
}

int NcLinkIDMem::AddSetMark(uint32_t linkId, int mark) {
    int slot = 0;
    uint8_t* page = Make(linkId, &slot);
    if (!page) return 0;
    page[kLevelsOffset + slot] |= static_cast<uint8_t>((mark & 3) << 6);
    return 1;
}

int NcLinkIDMem::GetSetMark(uint32_t linkId) const {
    int slot = 0;
    const uint8_t* page = Find(linkId, &slot);
    return page ? page[kLevelsOffset + slot] >> 6 : 0;
}

int NcLinkIDMem::SetLevel(uint32_t linkId, int level) {
    Entry entry;
    if (!MakeEntry(linkId, &entry)) return 0;
    entry.SetLevel(level);
    return 1;
}

int NcLinkIDMem::GetLevel(uint32_t linkId) const {
    int slot = 0;
    const uint8_t* page = Find(linkId, &slot);
    return page ? page[kLevelsOffset + slot] & 0x3F : 0;
}
