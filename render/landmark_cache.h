#pragma once
// Images that stay in a file until they are drawn: the landmark images and,
// when the style is loaded on demand, the symbol images of the style file.
// The first fetch of a key reads the bytes from the file into a keyed block
// cache (4-byte keys); later fetches are served from memory until the cache
// evicts the entry.
//
//   CLandMarkCache cache;
//   cache.Open(path);                        // shared read, existing file only
//   cache.Attach(heap);                      // the named heap the cache lives in
//   StyleImageHold hold;
//   const uint8_t* bytes = cache.Fetch(key, size, offset, &hit, 1, &hold);
//   ...draw bytes...                         // valid while `hold` lives
//
// A fetch takes a reference on the entry; the hold gives it back when it is
// destroyed, so an image cannot be evicted while it is still to be drawn.
#include <cstddef>
#include <cstdint>
#include <string>

#include "foundation/block_cache.h"
#include "foundation/critical_section.h"
#include "platform/file_io.h"

class CLandMarkCache;

// The reference a fetch took on a cached image. Empty for images held in
// memory (nothing to give back). Movable, not copyable.
class StyleImageHold {
public:
    StyleImageHold() = default;
    ~StyleImageHold() { Reset(); }
    StyleImageHold(StyleImageHold&& other) noexcept : m_cache(other.m_cache), m_key(other.m_key) {
        other.m_cache = nullptr;
    }
    StyleImageHold& operator=(StyleImageHold&& other) noexcept;
    StyleImageHold(const StyleImageHold&) = delete;
    StyleImageHold& operator=(const StyleImageHold&) = delete;

    // Gives the reference back now.
    void Reset();
    bool Holds() const { return m_cache != nullptr; }

private:
    friend class CLandMarkCache;
    CLandMarkCache* m_cache = nullptr;
    uint32_t m_key = 0;
};

class CLandMarkCache {
public:
    CLandMarkCache() = default;
    virtual ~CLandMarkCache();
    CLandMarkCache(const CLandMarkCache&) = delete;
    CLandMarkCache& operator=(const CLandMarkCache&) = delete;

    // 1 when the (existing) file is open for reading.
    int Open(const std::string& nativePath);
    // Closes the file when open; 1.
    int Close();
    // Binds the cache to the heap with 4-byte keys; CMgrCache::Attach's result.
    int Attach(MgrSharedBlock* heap);
    // Frees every entry; returns the heap (null when not attached).
    MgrSharedBlock* Detach();

    int Lock() NAVI_ACQUIRE(m_lock) { return m_lock.Enter(); }
    int Unlock() NAVI_RELEASE(m_lock) { return m_lock.Leave(); }

    // The image bytes of key (size bytes at offset in the file), read on the
    // first request and served from the cache afterwards; hit says which. The
    // fetch takes a reference: with a hold it is given back when the hold
    // goes, without one the caller calls Release(key). Null (hit 0) when not
    // attached, the file is not open, size is 0, no room can be made or the
    // read falls short; an entry whose read failed is removed again, so a
    // later fetch reads the file afresh. With lock 1 lookup, insertion and
    // read form one step under the critical section.
    const uint8_t* Fetch(uint32_t key, uint32_t size, uint32_t offset, int* hit, int lock,
                         StyleImageHold* hold = nullptr);
    // Drops the reference that a fetch took; 1.
    int Release(uint32_t key);

    bool IsOpen() const { return m_file.IsOpen(); }
    // Entries now in the cache (for tests and diagnostics).
    int EntryCount() { return m_cache.GetEntryCount(); }

private:
    const uint8_t* FetchLocked(uint32_t key, uint32_t size, uint32_t offset, int* hit);

    CMgrCriticalSection m_lock;
    platform::File m_file;
    CMgrCache m_cache;
};
