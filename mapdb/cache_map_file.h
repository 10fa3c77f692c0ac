#pragma once
// The cached family of tiled map files: blocks live as entries of a keyed
// block cache (CMgrCache) in an arena that several files may share; the
// cache id in every key tells the files apart.
#include <cstdint>

#include "foundation/block_cache.h"
#include "mapdb/map_file.h"

class CMneCacheMapFile : public CMneMapFile {
public:
    ~CMneCacheMapFile() override;

    // Binds the file's cache to the arena with 16-byte keys; 1 or 0.
    virtual int AttachCache(MgrSharedBlock* arena, int cacheId);
    // Frees every cached entry and returns the arena the cache used.
    virtual MgrSharedBlock* DetachCache();

    // The block's data (size out), from the cache (fromCache 1) or read now
    // (0); null on failure. Each successful call is paired with ReleaseBlock.
    const uint8_t* GetBlock(const MneTileKey& key, int* fromCache) override;
    const uint8_t* GetBlock(const MneTileKey& key, int* fromCache, uint32_t* sizeOut);
    const uint8_t* QueryBlock(const MneTileKey& key) override;
    // Drops the caller's reference; always 1.
    int ReleaseBlock(const MneTileKey& key);

    int CacheId() const { return m_cacheId; }
    CMgrCache& Cache() { return m_cache; }

private:
    CMgrCache m_cache;
    int32_t m_cacheId = 0;
};
