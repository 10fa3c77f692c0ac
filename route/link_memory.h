#pragma once
// The search's working memory, laid over areas the route engine takes from
// its mappings and never allocated per step:
//   NcLinkMem    a fixed pool of 10000 search nodes with a ring of free
//                node numbers (16-bit);
//   NcLinkIDMem  a sparse table by directed link id: per link and direction
//                the cost mark, the parent link, the search level and the
//                link-set mark, in pages of 32 links created on first write.
//                The index table holds 32-bit page numbers (0: no page).
//                Several tables may take their pages from one pool (a search
//                over several legs keeps one table per leg it is on).
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "route/node_cost.h"

inline constexpr int kNcLinkNodes = 10000;
inline constexpr int32_t kNcMarkClosed = static_cast<int32_t>(0x80000000u);
inline constexpr int32_t kNcNoParent = 0x7F7F7F7F;
inline constexpr uint32_t kNcLinkGroups = 62501;  // covers link indexes below 2000032
inline constexpr size_t kNcLinkPageBytes = 576;
inline constexpr size_t kNcLinkIndexBytes = kNcLinkGroups * 4;
inline constexpr int kNcLevelMax = 63;

// One search node.
struct NcLink {
    int32_t linkId = 0;
    int32_t cost = 0;      // the queue's key: path cost plus estimate
    int32_t pathCost = 0;  // the cost of the route up to and with this link
    int32_t parent = -1;   // parent link id, -1 for a start
    uint8_t level = 0;
    uint8_t classByte = 0;  // road class in the low four bits
    uint8_t state = 0;
    uint8_t stage = 0;      // legs completed
    uint16_t number = 0;    // the node's own number in the pool
    uint16_t unused = 0;
    // How far the end of the link lies from where the phase heads (the
    // target forward, the origin backward) in metres, -1 when not known.
    int64_t remainingM = -1;
};

class NcLinkMem {
public:
    static constexpr size_t kBytes = kNcLinkNodes * sizeof(NcLink) + (kNcLinkNodes + 1) * sizeof(uint16_t);

    // Binds the node area and the ring after it (kBytes); 1, 0 for null.
    int Init(void* memory);
    // Every node free; returns 10000.
    int Reset();
    // A free node, or null ("[RP**] No Available LinkMem Space!!!").
    NcLink* Alloc();
    // 1; 0 when the ring is full or the node is not of this pool.
    int Free(NcLink* node);
    int InUse() const;
    NcLink* Node(uint16_t number) { return number < kNcLinkNodes ? &m_nodes[number] : nullptr; }

private:
    NcLink* m_nodes = nullptr;
    uint16_t* m_ring = nullptr;
    int m_read = 0;
    int m_write = 0;
};

class NcLinkIDMem {
public:
    NcLinkIDMem() = default;
    NcLinkIDMem(const NcLinkIDMem&) = delete;
    NcLinkIDMem& operator=(const NcLinkIDMem&) = delete;

    // Binds the index table and the page pool after it in bytes of memory;
    // 1, or 0 when the memory cannot hold the index table.
    int Init(void* memory, size_t bytes);
    // Binds a table over an index table of its own (kNcLinkIndexBytes at
    // index) whose pages come from the pool of owner; 1, or 0 for null. The
    // index is zeroed by the first Clear, which must come before any use.
    int InitShared(void* index, NcLinkIDMem* owner);
    // Forgets every page. On the pool's owner every page of the pool is
    // free again, so the tables sharing it must be cleared as well.
    void Clear();
    // Hands the table's pages back to its pool, for any table of the pool
    // to take, and forgets them.
    void Release();
    // Every cost mark back to unreached; parents, levels and set marks stay.
    void ResetMarks();

    // Writes return 1, or 0 when the id lies outside the table or no page is
    // left for its group (the search ends then).
    int SetMark(uint32_t linkId, int32_t cost);
    int32_t GetMark(uint32_t linkId) const;
    int SetParent(uint32_t linkId, int32_t parent);
    int32_t GetParent(uint32_t linkId) const;
    int AddSetMark(uint32_t linkId, int mark);
    int GetSetMark(uint32_t linkId) const;
    // The level is kept in six bits: larger values are stored as 63.
    int SetLevel(uint32_t linkId, int level);
    int GetLevel(uint32_t linkId) const;

    // One link's entry, found once for several reads and writes (the
    // queue's admission reads and writes mark, parent and level together).
    // The group's page is made as every write makes it; false where the
    // writes above fail.
    class Entry {
    public:
        Entry() = default;
        int32_t Mark() const { return Load(0); }
        void SetMark(int32_t cost) { Store(0, cost); }
        int32_t Parent() const { return Load(kParentsOffset); }
        void SetParent(int32_t parent) { Store(kParentsOffset, parent); }
        int Level() const { return m_page[kLevelsOffset + m_slot] & 0x3F; }
        // Kept in six bits, clamped to 0 .. kNcLevelMax.
        void SetLevel(int level) {
            const int stored = level < 0 ? 0 : level > kNcLevelMax ? kNcLevelMax : level;
            m_page[kLevelsOffset + m_slot] = static_cast<uint8_t>((m_page[kLevelsOffset + m_slot] & 0xC0) | stored);
        }

    private:
        friend class NcLinkIDMem;
        Entry(uint8_t* page, int slot) : m_page(page), m_slot(slot) {}
        int32_t Load(size_t at) const {
            int32_t v;
            std::memcpy(&v, m_page + at + 4 * m_slot, 4);
            return v;
        }
        void Store(size_t at, int32_t v) { std::memcpy(m_page + at + 4 * m_slot, &v, 4); }
        uint8_t* m_page = nullptr;
        int m_slot = 0;
    };
    bool MakeEntry(uint32_t linkId, Entry* out) {
        int slot = 0;
        uint8_t* page = Make(linkId, &slot);
        if (page) *out = Entry(page, slot);
        return page != nullptr;
    }

    // The pages this table holds, and how many its pool has.
    uint32_t PageCount() const { return m_pages; }
    uint32_t PageCapacity() const { return m_pool->capacity; }

private:
    static constexpr size_t kParentsOffset = 256;
    static constexpr size_t kLevelsOffset = 512;
    struct Pool {
        uint8_t* base = nullptr;
        uint32_t capacity = 0;
        uint32_t used = 0;      // pages handed out from the base so far
        uint32_t freeHead = 0;  // first page handed back (number + 1), 0 none
    };

    // The page of the id's group and the id's slot in it; null outside the
    // table, for a group without a page (Find) or when none is left (Make).
    const uint8_t* Find(uint32_t linkId, int* slot) const;
    uint8_t* Make(uint32_t linkId, int* slot);

    uint8_t* PageAt(uint32_t number) const { return m_pool->base + (number - 1) * kNcLinkPageBytes; }

    uint32_t* m_index = nullptr;
    Pool m_ownPool;
    Pool* m_pool = &m_ownPool;
    uint32_t m_pages = 0;
    bool m_unzeroed = false;  // the index still holds what the memory held
};
