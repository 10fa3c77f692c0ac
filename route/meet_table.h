#pragma once
// The meeting table of the bidirectional search: the links the backward
// phase queued with their costs to the destination and the link after each
// on its way there, sorted by link id for the forward phase to look its
// successors up. The table keeps the backward phase's parents apart from
// the link-id memory, which the forward phase writes its own into. Laid over memory the route
// engine takes from its large block (kBytes); nothing is allocated per add.
#include <cstddef>
#include <cstdint>

class NcMeetTable {
public:
    static constexpr int kEntries = 40000;
    // An add that leaves this many entries or more reports the table full,
    // so that the backward phase stops before it runs out.
    static constexpr int kFullAt = 39990;

    struct Entry {
        int32_t linkId;
        int32_t cost;
        int32_t next;  // the following link towards the destination, -1 at it
    };
    static_assert(sizeof(Entry) == 12);
    // A bit per directed link of index below 2^21 (every link of the road
    // data): set while the link is in the table, so that most lookups of a
    // link that is not in it end without a search.
    static constexpr uint32_t kFilterIndexes = 1u << 21;
    static constexpr size_t kFilterBytes = 2 * kFilterIndexes / 8;
    // The entries, then as many again as the sort's scratch space, then the
    // filter.
    static constexpr size_t kBytes = 2 * kEntries * sizeof(Entry) + kFilterBytes;

    // Binds the entries; 1, or 0 when the memory cannot hold them.
    int Init(void* memory, size_t bytes);
    void Clear();
    // 1 when added and room is left; 0 when the table is full (nothing added
    // at 40000 entries; added, but full from 39990 on).
    int Add(int32_t linkId, int32_t cost, int32_t next = -1);
    // Orders the entries by link id, the cheapest first for a link met twice
    // (in the order added when the costs are the same too).
    void Sort();
    // True with the link's cheapest cost when it is in the (sorted) table;
    // a cost of 0 is a meeting like any other.
    bool Find(int32_t linkId, int32_t* cost, int32_t* next = nullptr) const;
    int Count() const { return m_count; }

private:
    Entry* m_entries = nullptr;
    Entry* m_scratch = nullptr;
    uint8_t* m_filter = nullptr;
    int m_count = 0;
};
