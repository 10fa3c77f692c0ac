#include "mapdb/cache_map_file.h"

#include <cstring>

namespace {

struct CacheKey {
    int32_t cacheId;
    int32_t level;
    int32_t x;
    int32_t y;
};
static_assert(sizeof(CacheKey) == 16);

// Each entry starts with the block size; the data follows 8 bytes in, so
// it keeps the arena's 8-byte alignment.
constexpr size_t kEntryHeader = 8;

CacheKey MakeKey(int32_t cacheId, const MneTileKey& key) { return CacheKey{cacheId, key.level, key.x, key.y}; }

uint32_t EntrySize(const uint8_t* entry) {
    uint32_t size;
    std::memcpy(&size, entry, sizeof size);
    return size;
}

}  // namespace

CMneCacheMapFile::~CMneCacheMapFile() { DetachCache(); }

int CMneCacheMapFile::AttachCache(MgrSharedBlock* arena, int cacheId) {
    m_cacheId = cacheId;
    return m_cache.Attach(arena, sizeof(CacheKey));
}

MgrSharedBlock* CMneCacheMapFile::DetachCache() { return m_cache.IsAttached() ? m_cache.Detach() : nullptr; }

const uint8_t* CMneCacheMapFile::QueryBlock(const MneTileKey& key) { return GetBlock(key, nullptr, nullptr); }

const uint8_t* CMneCacheMapFile::GetBlock(const MneTileKey& key, int* fromCache) {
    return GetBlock(key, fromCache, nullptr);
}

const uint8_t* CMneCacheMapFile::GetBlock(const MneTileKey& key, int* fromCache, uint32_t* sizeOut) {
    if (!m_cache.IsAttached()) {
        Fail(MneMapError::kNoBuffer);
        return nullptr;
    }
    if (!IsOpen()) {
        Fail(MneMapError::kNotOpen);
        return nullptr;
    }
    const CacheKey ck = MakeKey(m_cacheId, key);
    // Lookup, insert and fill under one hold of the cache lock, so that no
    // other thread can find an entry that is not filled yet.
    m_cache.Lock();
    if (auto* entry = static_cast<uint8_t*>(m_cache.Lookup(&ck, 0))) {
        m_cache.Unlock();
        if (fromCache) *fromCache = 1;
        if (sizeOut) *sizeOut = EntrySize(entry);
        return entry + kEntryHeader;
    }
    MneBlockLocation loc;
    if (!LocateBlock(key, &loc.offset, &loc.size, &loc.packedSize)) {
        m_cache.Unlock();
        return nullptr;
    }
    auto* entry = static_cast<uint8_t*>(m_cache.Insert(&ck, loc.size + kEntryHeader, 0, 0));
    if (!entry) {
        m_cache.Unlock();
        Fail(MneMapError::kCacheFull);
        return nullptr;
    }
    std::memcpy(entry, &loc.size, sizeof loc.size);
    std::memset(entry + 4, 0, 4);
    uint8_t* data = entry + kEntryHeader;
    bool ok = ReadBlockInto(loc, data) != 0;
    if (ok && !FixupBlock(data, loc.size)) {
        Fail(MneMapError::kBadBlockContent);
        ok = false;
    }
    if (!ok) {
        // A block that could not be read must never be served from the cache.
        m_cache.Discard(&ck, 0);
        m_cache.Unlock();
        return nullptr;
    }
    m_cache.Unlock();
    ClearError();
    if (fromCache) *fromCache = 0;
    if (sizeOut) *sizeOut = loc.size;
    return data;
}

int CMneCacheMapFile::ReleaseBlock(const MneTileKey& key) {
    const CacheKey ck = MakeKey(m_cacheId, key);
    m_cache.Release(&ck, 1);
    return 1;
}
