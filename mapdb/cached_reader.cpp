#include "mapdb/cached_reader.h"

#include <cstring>

#include "foundation/debug_trace.h"
#include "platform/paths.h"

int MneCachedArena::Create(const char* tag, uint32_t unit, uint32_t size, int keyLength) {
    Destroy();
    m_arena = CreateSharedBlock(std::string_view(tag), unit, size, 0);
    if (!m_arena) return 0;
    if (!m_cache.Attach(m_arena, keyLength)) {
        Destroy();
        return 0;
    }
    m_tag = tag;
    m_unit = unit;
    m_size = size;
    m_keyLength = keyLength;
    return 1;
}

int MneCachedArena::Recreate(const char* tag, uint32_t unit, uint32_t size, int keyLength) {
    if (IsReady() && m_tag == tag && m_unit == unit && m_size == size && m_keyLength == keyLength) {
        return m_cache.Clear();
    }
    return Create(tag, unit, size, keyLength);
}

void MneCachedArena::Destroy() {
    if (m_cache.IsAttached()) m_cache.Detach();
    if (m_arena) {
        DestroySharedBlock(m_arena);
        m_arena = nullptr;
    }
}

uint8_t* MneCachedArena::Acquire(const void* key, const platform::File& file, uint64_t offset, uint32_t length,
                                 bool exact, const char* cacheFullTrace, bool* cacheFull) {
    if (cacheFull) *cacheFull = false;
    if (!m_cache.IsAttached() || !file.IsOpen()) return nullptr;
    // Lookup, insert and fill under one hold of the cache lock: no thread
    // may find an entry before it is filled.
    m_cache.Lock();
    if (auto* hit = static_cast<uint8_t*>(m_cache.Lookup(key, 0))) {
        m_cache.Unlock();
        return hit;
    }
    auto* data = static_cast<uint8_t*>(m_cache.Insert(key, length == 0 ? 1 : length, 0, 0));
    if (!data) {
        m_cache.Unlock();
        if (cacheFull) *cacheFull = true;
        if (cacheFullTrace) DebugTrace(1, "%s", cacheFullTrace);
        return nullptr;
    }
    const int64_t got = length == 0 ? 0 : file.ReadAt(offset, data, length);
    if (got < 0 || (exact && static_cast<uint64_t>(got) != length)) {
        // A failed read never stays behind to be served as data.
        m_cache.Discard(key, 0);
        m_cache.Unlock();
        return nullptr;
    }
    if (static_cast<uint64_t>(got) < length) std::memset(data + got, 0, length - got);
    m_cache.Unlock();
    return data;
}

bool MneOpenDataFile(const std::string& dataRoot, const char* name, platform::File& file) {
    const std::string path = platform::ResolveUnder(dataRoot, name);
    if (path.empty()) return false;
    return file.Open(path, platform::File::Mode::kRead);
}
