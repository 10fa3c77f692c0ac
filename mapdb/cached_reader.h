#pragma once
// The shared machinery of the small record readers: one file read by
// positional reads through a keyed cache in an arena of its own.
#include <cstdint>
#include <string>

#include "foundation/block_cache.h"
#include "foundation/memory_heap.h"
#include "platform/file_io.h"

// An arena with a cache bound to it; both go with the object.
class MneCachedArena {
public:
    MneCachedArena() = default;
    ~MneCachedArena() { Destroy(); }
    MneCachedArena(const MneCachedArena&) = delete;
    MneCachedArena& operator=(const MneCachedArena&) = delete;

    // 1 when the arena was made and the cache bound to it. The arena is an
    // ordinary heap block (no named mapping), so that several readers of the
    // same kind may live in one process (tests, tools).
    int Create(const char* tag, uint32_t unit, uint32_t size, int keyLength);
    // Create for a reader opened again: an arena of the same tag, unit, size
    // and key length is kept and its cache emptied instead of being made
    // anew, which saves reserving and clearing the arena and the cache's
    // tables on every open.
    int Recreate(const char* tag, uint32_t unit, uint32_t size, int keyLength);
    void Destroy();
    bool IsReady() const { return m_cache.IsAttached(); }

    // The data of the entry under key with length bytes: from the cache, or
    // a new entry filled by reading file at offset. A read that fails (or
    // lands short, when exact) removes the entry again. With exact false a
    // read that ends at the end of the file is zero-filled. The result holds
    // one reference: give it back with Release. Null on failure;
    // cacheFullTrace (may be null) is traced at level 1 when there is no room.
    uint8_t* Acquire(const void* key, const platform::File& file, uint64_t offset, uint32_t length, bool exact,
                     const char* cacheFullTrace, bool* cacheFull = nullptr);
    void Release(const void* key) { m_cache.Release(key, 1); }

    CMgrCache& Cache() { return m_cache; }

private:
    CMgrCache m_cache;
    MgrSharedBlock* m_arena = nullptr;
    std::string m_tag;  // what the arena was made with
    uint32_t m_unit = 0;
    uint32_t m_size = 0;
    int m_keyLength = 0;
};

// Opens "%s%s" of a data root and a Windows-style name ("Map\RG.ndb").
bool MneOpenDataFile(const std::string& dataRoot, const char* name, platform::File& file);
