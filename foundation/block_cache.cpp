#include "foundation/block_cache.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "platform/clock.h"

namespace {

constexpr size_t kEntryHeaderBytes = sizeof(MgrCacheEntry);

size_t AlignUp8(size_t value) { return (value + 7) / 8 * 8; }

uint32_t IdleMs(const MgrCacheEntry* e, uint32_t now) { return now - e->lastAccessTick; }

bool Evictable(const MgrCacheEntry* e) { return e->permanent == 0 && e->refCount <= 0; }

}  // namespace

// Enters the cache lock only when the caller asked for it.
class CMgrCache::MaybeLock {
public:
    MaybeLock(CMgrCriticalSection& cs, int lock) : m_cs(lock == 1 ? &cs : nullptr) {
        if (m_cs) m_cs->Enter();
    }
    ~MaybeLock() {
        if (m_cs) m_cs->Leave();
    }
    MaybeLock(const MaybeLock&) = delete;
    MaybeLock& operator=(const MaybeLock&) = delete;

private:
    CMgrCriticalSection* m_cs;
};

CMgrCache::~CMgrCache() {
    if (IsAttached()) Detach();
}

int CMgrCache::Attach(MgrSharedBlock* arena, int keyLength) {
    MgrLock hold(m_lock);
    if (!arena || keyLength <= 0 || m_attached.load(std::memory_order_relaxed)) return 0;
    uint32_t freeBytes = 0;
    uint32_t unit = 0;
    if (!SharedBlockGetInfo(arena, &freeBytes, &unit)) return 0;
    // As many entries as the arena can hold.
    const size_t perEntry = kEntryHeaderBytes + AlignUp8(static_cast<size_t>(keyLength));
    const size_t slots = perEntry < unit ? freeBytes / unit : freeBytes / perEntry;
    if (slots > static_cast<size_t>(std::numeric_limits<int>::max() / 2)) return 0;
    const int n = std::max(static_cast<int>(slots), 1);
    const size_t tableBytes = static_cast<size_t>(n) * sizeof(MgrCacheEntry*);
    auto* index = static_cast<MgrCacheEntry**>(MgrAlloc(tableBytes));
    auto* reuse = static_cast<MgrCacheEntry**>(MgrAlloc(tableBytes));
    auto* scratch = static_cast<MgrCacheEntry**>(MgrAlloc(tableBytes));
    if (!index || !reuse || !scratch) {
        MgrFree(index);
        MgrFree(reuse);
        MgrFree(scratch);
        return 0;
    }
    std::memset(index, 0, tableBytes);
    std::memset(reuse, 0, tableBytes);
    std::memset(scratch, 0, tableBytes);
    m_index = index;
    m_reuse = reuse;
    m_scratch = scratch;
    m_indexCapacity = m_reuseCapacity = m_scratchCapacity = n;
    m_indexCount = m_reuseCount = 0;
    m_keyLength = keyLength;
    m_arena = arena;
    m_attached.store(true, std::memory_order_release);
    return 1;
}

MgrSharedBlock* CMgrCache::Detach() {
    MgrLock hold(m_lock);
    if (!m_attached.load(std::memory_order_relaxed)) return nullptr;
    for (int i = 0; i < m_indexCount; ++i) FreeEntry(m_index[i]);
    for (int i = 0; i < m_reuseCount; ++i) FreeEntry(m_reuse[i]);
    MgrFree(m_index);
    MgrFree(m_reuse);
    MgrFree(m_scratch);
    m_index = m_reuse = m_scratch = nullptr;
    m_indexCapacity = m_indexCount = m_reuseCapacity = m_reuseCount = m_scratchCapacity = 0;
    m_keyLength = 0;
    MgrSharedBlock* arena = m_arena;
    m_arena = nullptr;
    m_attached.store(false, std::memory_order_release);
    return arena;
}

int CMgrCache::Clear() {
    MgrLock hold(m_lock);
    if (!m_attached.load(std::memory_order_relaxed)) return 0;
    for (int i = 0; i < m_indexCount; ++i) FreeEntry(m_index[i]);
    for (int i = 0; i < m_reuseCount; ++i) FreeEntry(m_reuse[i]);
    m_indexCount = m_reuseCount = 0;
    return 1;
}

size_t CMgrCache::EntryBytes(size_t dataLength) const {
    const size_t head = kEntryHeaderBytes + AlignUp8(static_cast<size_t>(m_keyLength));
    if (dataLength > std::numeric_limits<uint32_t>::max() - head) return 0;   // never wraps
    return head + dataLength;
}

// Lower bound of the key in the index.
int CMgrCache::IndexPosition(const void* key, bool* found) const {
    int low = 0;
    int high = m_indexCount;
    while (low < high) {
        const int mid = low + (high - low) / 2;
        if (std::memcmp(m_index[mid]->Key(), key, static_cast<size_t>(m_keyLength)) < 0) {
            low = mid + 1;
        } else {
            high = mid;
        }
    }
    *found = low < m_indexCount && std::memcmp(m_index[low]->Key(), key, static_cast<size_t>(m_keyLength)) == 0;
    return low;
}

MgrCacheEntry* CMgrCache::Find(const void* key) {
    if (!key || !m_index) return nullptr;
    bool found = false;
    const int at = IndexPosition(key, &found);
    return found ? m_index[at] : nullptr;
}

void* CMgrCache::Lookup(const void* key, int lock) {
    MaybeLock hold(m_lock, lock);
    MgrCacheEntry* e = Find(key);
    if (!e) return nullptr;
    if (e->permanent == 0) ++e->refCount;
    ++e->hits;
    e->lastAccessTick = platform::GetTickCount();
    return e->Data();
}

int CMgrCache::Release(const void* key, int lock) {
    MaybeLock hold(m_lock, lock);
    MgrCacheEntry* e = Find(key);
    if (!e) return 0;
    if (e->refCount > 0) --e->refCount;
    e->lastAccessTick = platform::GetTickCount();
    return 1;
}

int CMgrCache::Discard(const void* key, int lock) {
    MaybeLock hold(m_lock, lock);
    bool found = false;
    if (!key || !m_index) return 0;
    const int at = IndexPosition(key, &found);
    if (!found) return 0;
    MgrCacheEntry* e = m_index[at];
    if (e->permanent == 0 && e->refCount > 1) {
        --e->refCount;   // someone else still reads it; it ages out normally
        return 0;
    }
    RemoveFromIndex(at);
    FreeEntry(e);
    return 1;
}

void CMgrCache::RemoveFromIndex(int position) {
    std::memmove(m_index + position, m_index + position + 1,
                 static_cast<size_t>(m_indexCount - position - 1) * sizeof(MgrCacheEntry*));
    --m_indexCount;
}

void CMgrCache::FreeEntry(MgrCacheEntry* entry) {
    entry->magic = 0;
    SharedBlockFree(entry);
}

bool CMgrCache::GrowTable(MgrCacheEntry**& table, int& capacity, int minCapacity) {
    if (capacity >= minCapacity) return true;
    if (capacity > std::numeric_limits<int>::max() - kMgrCacheTableGrowth) return false;
    const int grown = capacity + kMgrCacheTableGrowth;
    auto* fresh = static_cast<MgrCacheEntry**>(MgrRealloc(table, static_cast<size_t>(grown) * sizeof(MgrCacheEntry*)));
    if (!fresh) return false;   // the old table stays as it was
    table = fresh;
    capacity = grown;
    return true;
}

void CMgrCache::Sweep(int lock) {
    MaybeLock hold(m_lock, lock);
    if (m_attached.load(std::memory_order_relaxed)) SweepLocked();
}

void CMgrCache::SweepLocked() {
    const uint32_t now = platform::GetTickCount();
    int kept = 0;
    for (int i = 0; i < m_indexCount; ++i) {
        MgrCacheEntry* e = m_index[i];
        if (Evictable(e) && IdleMs(e, now) > kMgrCacheAgeMs) e->expired = 1;
        if (!e->expired) {
            m_index[kept++] = e;
            continue;
        }
        if (!GrowTable(m_reuse, m_reuseCapacity, m_reuseCount + 1)) {
            FreeEntry(e);   // no room in the list: give the memory straight back
            continue;
        }
        // Keep the list in ascending usable size; equal sizes in arrival order.
        MgrCacheEntry** end = m_reuse + m_reuseCount;
        MgrCacheEntry** at = std::upper_bound(m_reuse, end, e, [](const MgrCacheEntry* a, const MgrCacheEntry* b) {
            return a->usableSize < b->usableSize;
        });
        std::memmove(at + 1, at, static_cast<size_t>(end - at) * sizeof(MgrCacheEntry*));
        *at = e;
        ++m_reuseCount;
    }
    m_indexCount = kept;
}

void* CMgrCache::MakeRoom(size_t size) {
    SweepLocked();

    // Reuse an expired entry of a similar size.
    for (int i = 0; i < m_reuseCount;) {
        MgrCacheEntry* e = m_reuse[i];
        if (e->usableSize < size) {
            ++i;
            continue;
        }
        std::memmove(m_reuse + i, m_reuse + i + 1, static_cast<size_t>(m_reuseCount - i - 1) * sizeof(MgrCacheEntry*));
        --m_reuseCount;
        if (static_cast<uint64_t>(e->usableSize) * 2 <= static_cast<uint64_t>(size) * 3) {
            e->expired = 0;
            return e;
        }
        FreeEntry(e);
        if (void* fresh = SharedBlockAlloc(m_arena, size)) return fresh;
    }

    // Evict: in the index ordered by last access, oldest first (equal ages in
    // key order), the first entry among the oldest 30 percent that is free
    // to go and large enough. Found in two linear passes instead of a sort:
    // the oldest candidate, then its rank.
    const uint32_t now = platform::GetTickCount();
    const int oldest = static_cast<int>(30LL * m_indexCount / 100);
    int candidate = -1;
    for (int i = 0; i < m_indexCount; ++i) {
        const MgrCacheEntry* e = m_index[i];
        if (!Evictable(e) || e->usableSize < size) continue;
        if (candidate < 0 || IdleMs(e, now) > IdleMs(m_index[candidate], now)) candidate = i;
    }
    if (candidate >= 0) {
        const uint32_t idle = IdleMs(m_index[candidate], now);
        int rank = 0;
        for (int i = 0; i < m_indexCount && rank < oldest; ++i) {
            const uint32_t other = IdleMs(m_index[i], now);
            if (other > idle || (other == idle && i < candidate)) ++rank;
        }
        if (rank < oldest) {
            MgrCacheEntry* e = m_index[candidate];
            RemoveFromIndex(candidate);
            return e;
        }
    }

    // Give every expired entry back to the arena.
    for (int i = 0; i < m_reuseCount; ++i) FreeEntry(m_reuse[i]);
    m_reuseCount = 0;
    if (void* fresh = SharedBlockAlloc(m_arena, size)) return fresh;

    // Compact: free unreferenced entries in address order until the freed
    // neighbours merge into a piece that is large enough.
    std::copy_n(m_index, m_indexCount, m_scratch);
    const int count = m_indexCount;
    std::sort(m_scratch, m_scratch + count, std::less<MgrCacheEntry*>());
    for (int i = 0; i < count; ++i) {
        MgrCacheEntry* e = m_scratch[i];
        if (!Evictable(e)) continue;
        bool found = false;
        const int at = IndexPosition(e->Key(), &found);
        if (found) RemoveFromIndex(at);
        FreeEntry(e);
        if (void* fresh = SharedBlockAlloc(m_arena, size)) return fresh;
    }
    return nullptr;
}

void* CMgrCache::Insert(const void* key, size_t dataLength, int permanent, int lock) {
    MaybeLock hold(m_lock, lock);
    if (!key || !m_attached.load(std::memory_order_relaxed)) return nullptr;
    if (Find(key)) return nullptr;   // one entry per key
    const size_t size = EntryBytes(dataLength);
    if (size == 0) return nullptr;

    void* memory = SharedBlockAlloc(m_arena, size);
    if (!memory) memory = MakeRoom(size);
    if (!memory) return nullptr;
    if (!GrowTable(m_index, m_indexCapacity, m_indexCount + 1) ||
        !GrowTable(m_scratch, m_scratchCapacity, m_indexCount + 1)) {
        SharedBlockFree(memory);
        return nullptr;
    }

    const uint32_t now = platform::GetTickCount();
    const auto payload = static_cast<uint32_t>(SharedBlockPayloadSize(memory));
    auto* e = static_cast<MgrCacheEntry*>(memory);
    e->magic = kMgrCacheEntryMagic;
    e->refCount = permanent ? 0 : 1;
    e->permanent = permanent ? 1 : 0;
    e->expired = 0;
    e->allocSize = payload;
    e->usableSize = payload;
    e->hits = 0;
    e->createTick = now;
    e->lastAccessTick = now;
    e->keyOffset = static_cast<uint32_t>(kEntryHeaderBytes);
    e->dataOffset = static_cast<uint32_t>(kEntryHeaderBytes + AlignUp8(static_cast<size_t>(m_keyLength)));
    e->reserved = 0;
    std::memcpy(e->Key(), key, static_cast<size_t>(m_keyLength));

    bool found = false;
    const int at = IndexPosition(key, &found);
    std::memmove(m_index + at + 1, m_index + at, static_cast<size_t>(m_indexCount - at) * sizeof(MgrCacheEntry*));
    m_index[at] = e;
    ++m_indexCount;
    return e->Data();
}

int CMgrCache::GetEntryCount(int lock) {
    MaybeLock hold(m_lock, lock);
    return m_indexCount;
}

int CMgrCache::GetReuseCount(int lock) {
    MaybeLock hold(m_lock, lock);
    return m_reuseCount;
}
