#pragma once
// A keyed cache of variable-sized data blocks inside one named arena
// (foundation/memory_heap.h). Keys are fixed-length byte strings (memcmp
// order); each entry is one arena allocation holding its header, key and
// data.
//
// How to use it:
//   MgrSharedBlock* arena = CreateSharedBlock("MGRMAP", 1024, 1048576, 1);
//   CMgrCache cache;
//   cache.Attach(arena, sizeof(Key));             // 1 on success
//
//   // Readers on several threads pass lock = 1 (the default).
//   void* data = cache.Lookup(&key);              // a hit takes one reference
//   if (!data) {
//       data = cache.Insert(&key, bytes, 0);      // starts with one reference
//       if (!data) return 0;                      // no room: everything is in use
//       ...fill `bytes` bytes of data...          // on a failed fill: cache.Discard(&key)
//   }
//   ...use data...
//   cache.Release(&key);                          // give the reference back
//
//   A miss followed by an insert is one step only under the cache lock:
//   either hold cache.Lock()/Unlock() around both and pass lock = 0, or treat
//   a null Insert of a key that another thread inserted meanwhile as "look
//   it up again". Insert never makes a second entry for a key.
//
//   Permanent entries (permanent = 1) carry no reference, are never aged
//   out or evicted, and live until Detach; do not Release them.
//
// An entry nobody references and nobody touched for more than 2000 ms
// (platform clock) expires when the arena runs full: its memory is reused
// for an entry of a similar size (within 1.5 times), or the oldest entries
// are evicted, or free memory is compacted. A referenced entry is never
// moved, reused or freed. cache.Detach() frees everything and returns the
// arena, which the owner destroys.
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "foundation/critical_section.h"
#include "foundation/memory_heap.h"

inline constexpr uint32_t kMgrCacheEntryMagic = 0x464E4342;   // "BCNF"
inline constexpr uint32_t kMgrCacheAgeMs = 2000;
inline constexpr int kMgrCacheTableGrowth = 128;

// The header in front of every entry's key and data (same allocation). The
// key and data are found by offsets from the header; both start 8-byte
// aligned.
struct MgrCacheEntry {
    uint32_t magic;
    int32_t refCount;
    uint32_t permanent;       // 1: never referenced, never aged out or evicted
    uint32_t expired;
    uint32_t allocSize;       // payload size of the arena allocation
    uint32_t usableSize;      // the same; compared when memory is reused
    uint32_t hits;
    uint32_t createTick;
    uint32_t lastAccessTick;
    uint32_t keyOffset;
    uint32_t dataOffset;
    uint32_t reserved;

    unsigned char* Key() { return reinterpret_cast<unsigned char*>(this) + keyOffset; }
    unsigned char* Data() { return reinterpret_cast<unsigned char*>(this) + dataOffset; }
};
static_assert(sizeof(MgrCacheEntry) == 48);

class CMgrCache {
public:
    CMgrCache() = default;
    // Detaches when still attached (the arena itself is left to its owner).
    virtual ~CMgrCache();
    CMgrCache(const CMgrCache&) = delete;
    CMgrCache& operator=(const CMgrCache&) = delete;

    // Binds the cache to the arena with keys of keyLength bytes. 0 when the
    // arena is null or not valid, the key length is not positive, the cache
    // is attached already, or the tables cannot be had.
    int Attach(MgrSharedBlock* arena, int keyLength);
    // Frees every entry (referenced or not) and the tables; returns the arena
    // (null when not attached).
    MgrSharedBlock* Detach();
    // Frees every entry (referenced or not) but keeps the cache attached with
    // its tables, as good as a fresh Attach to the same arena. 0 when not
    // attached.
    int Clear();

    // The data of the entry with that key, or null. A hit takes a reference
    // (not on a permanent entry), counts the hit and stamps the access tick.
    void* Lookup(const void* key, int lock = 1);
    // Drops one reference and stamps the access tick; 1 when the key exists.
    int Release(const void* key, int lock = 1);
    // A new entry with room for dataLength bytes; returns its data (the
    // caller fills it) or null when no room can be made, a table cannot grow,
    // or the key is present already. A non-permanent entry starts with one
    // reference.
    void* Insert(const void* key, size_t dataLength, int permanent, int lock = 1);
    // Drops the caller's reference and removes the entry, freeing its memory,
    // when nobody else references it (for data that could not be filled).
    // 1 when removed.
    int Discard(const void* key, int lock = 1);

    // The entry of that key, or null. Takes no lock: the caller holds it.
    MgrCacheEntry* Find(const void* key);
    // Marks entries unreferenced for more than 2000 ms as expired and moves
    // them to the reuse list. Runs by itself when the arena is full.
    void Sweep(int lock = 1);

    void Lock() NAVI_ACQUIRE(m_lock) { m_lock.Enter(); }
    void Unlock() NAVI_RELEASE(m_lock) { m_lock.Leave(); }

    // Live entries (in the index) and expired entries kept for reuse.
    int GetEntryCount(int lock = 1);
    int GetReuseCount(int lock = 1);
    int GetKeyLength() const { return m_keyLength; }
    bool IsAttached() const { return m_attached.load(std::memory_order_acquire); }

private:
    class MaybeLock;

    size_t EntryBytes(size_t dataLength) const;
    int IndexPosition(const void* key, bool* found) const;
    bool GrowTable(MgrCacheEntry**& table, int& capacity, int minCapacity);
    void* MakeRoom(size_t size);
    void RemoveFromIndex(int position);
    void FreeEntry(MgrCacheEntry* entry);
    void SweepLocked();

    CMgrCriticalSection m_lock;
    int m_keyLength = 0;
    MgrSharedBlock* m_arena = nullptr;
    std::atomic<bool> m_attached{false};
    // Tables from the program-wide heap, guarded by m_lock.
    MgrCacheEntry** m_index = nullptr;   // sorted by key
    int m_indexCapacity = 0;
    int m_indexCount = 0;
    MgrCacheEntry** m_reuse = nullptr;   // expired, by usable size, smallest first
    int m_reuseCapacity = 0;
    int m_reuseCount = 0;
    MgrCacheEntry** m_scratch = nullptr;   // sorted copies of the index
    int m_scratchCapacity = 0;
};
