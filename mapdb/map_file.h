#pragma once
// Tiled map files (".map"): a short header, one table per zoom level that
// maps a tile key to the file position of its block, and blocks stored plain
// or zlib-packed. Two families hold blocks: one reusable buffer per file
// (CMneNonCacheMapFile) or entries of a keyed block cache (CMneCacheMapFile).
//
// Blocks keep their internal references as byte offsets from the start of
// the block. They stay offsets in memory: a derived class checks them once
// in FixupBlock and resolves them through MneBlockView when reading, so a
// block works wherever the cache keeps it and on 64-bit addresses.
#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/critical_section.h"
#include "foundation/memory_heap.h"
#include "mapdb/map_error.h"
#include "platform/file_io.h"

// A tile: level 1..6 (1 the most detailed), column x and row y at that level.
struct MneTileKey {
    int32_t level = 0;
    int32_t x = 0;
    int32_t y = 0;
    bool operator==(const MneTileKey&) const = default;
};

inline constexpr int kMneLevelCount = 6;
inline constexpr uint8_t kMnePackedType = 2;
inline constexpr uint32_t kMnePlainHeaderSize = 125;
inline constexpr uint32_t kMnePackedHeaderSize = 129;
inline constexpr uint32_t kMneTopIndexSide = 256;
inline constexpr uint32_t kMneTopIndexBytes = kMneTopIndexSide * kMneTopIndexSide * 4;
// No stored block may claim more than this, whatever the header says: a
// damaged header must not make the reader reserve gigabytes.
inline constexpr uint32_t kMneMaxBlockSize = 64u << 20;

// Tiles per axis of a level (the map grid's); 0 outside 1..6.
int32_t MneLevelTileCount(int level);

// Where a block lies: file offset, unpacked size, packed size (packed files).
struct MneBlockLocation {
    uint32_t offset = 0;
    uint32_t size = 0;
    uint32_t packedSize = 0;
};

class CMneMapFile {
public:
    CMneMapFile() = default;
    virtual ~CMneMapFile();
    CMneMapFile(const CMneMapFile&) = delete;
    CMneMapFile& operator=(const CMneMapFile&) = delete;

    // Opens a native path and reads the header; 1 on success, 0 on failure
    // (LastError says why). An open file is closed first.
    int Open(const std::string& path);
    void Close();
    bool IsOpen() const { return m_file.IsOpen(); }

    virtual const uint8_t* QueryBlock(const MneTileKey& key) = 0;
    virtual const uint8_t* GetBlock(const MneTileKey& key, int* fromCache) = 0;
    // 1 when the tile has a block; offset, unpacked size and (packed files)
    // packed size out. Every value is checked against the file and the header.
    virtual int LocateBlock(const MneTileKey& key, uint32_t* offset, uint32_t* size, uint32_t* packedSize);
    // Checks the stored offsets of a freshly read block against its size;
    // 1 when the block may be used, 0 when it is refused as damaged.
    virtual int FixupBlock(const uint8_t* data, uint32_t size) = 0;

    uint8_t Type() const { return m_type; }
    bool IsPacked() const { return m_type == kMnePackedType; }
    uint32_t LargestBlockSize() const { return m_largestBlockSize; }
    uint32_t LargestPackedSize() const { return m_largestPackedSize; }
    uint32_t LevelTableOffset(int level) const;
    // The 16-byte record of a level as stored (kept, not used to locate blocks).
    const std::array<uint8_t, 16>* LevelRecord(int level) const;
    int64_t FileSize() const { return m_fileSize; }

    MneMapError LastError() const { return m_lastError.load(std::memory_order_relaxed); }

protected:
    // Reads the block at loc into out (exactly loc.size bytes; packed blocks
    // are inflated through the shared inflate buffer). 1 on success.
    int ReadBlockInto(const MneBlockLocation& loc, uint8_t* out);
    int Fail(MneMapError error) {
        m_lastError.store(error, std::memory_order_relaxed);
        return 0;
    }
    void ClearError() { m_lastError.store(MneMapError::kNone, std::memory_order_relaxed); }

private:
    platform::File m_file;
    int64_t m_fileSize = 0;
    uint8_t m_type = 0;
    uint32_t m_largestBlockSize = 0;
    uint32_t m_largestPackedSize = 0;  // packed files only
    bool m_countedPacked = false;      // holds a share of the shared inflate buffer
    std::array<uint32_t, kMneLevelCount> m_levelTable{};
    std::array<std::array<uint8_t, 16>, kMneLevelCount> m_levelRecord{};
    std::atomic<MneMapError> m_lastError{MneMapError::kNone};
};

// One block buffer per file; callers share it under the file lock.
class CMneNonCacheMapFile : public CMneMapFile {
public:
    ~CMneNonCacheMapFile() override;

    // Takes the file's block buffer (largest block size) from the arena;
    // 1, or 0 when the file is not open or the arena is full.
    int AttachBuffer(MgrSharedBlock* arena, int bufferId, int lockFlag);
    // The same with the buffer on the process heap.
    int AttachBuffer(int bufferId, int lockFlag);
    virtual int ReleaseBuffer(int lockFlag);
    virtual const uint8_t* GetBlockMarked(const MneTileKey& key, int* marker);
    // Makes the tile's block the buffer's content and returns it (size out),
    // or null. The result is valid only until the next LoadBlock or
    // ReleaseBuffer on this file: a caller that keeps using it while other
    // threads may load holds FileLock() for that time, or uses LoadBlockCopy.
    virtual const uint8_t* LoadBlock(const MneTileKey& key, int lockFlag, uint32_t* sizeOut = nullptr);
    // The block copied out under the file lock; 1 on success.
    int LoadBlockCopy(const MneTileKey& key, std::vector<uint8_t>& out);

    CMgrCriticalSection& FileLock() { return m_fileLock; }
    int BufferId() const { return m_bufferId; }

private:
    struct RememberedKey {
        int32_t bufferId = 0;
        MneTileKey tile;
        bool operator==(const RememberedKey&) const = default;
    };
    const uint8_t* LoadBlockLocked(const MneTileKey& key, uint32_t* sizeOut) NAVI_REQUIRES(m_fileLock);

    CMgrCriticalSection m_fileLock;
    int AttachLocked(MgrSharedBlock* arena, int bufferId) NAVI_REQUIRES(m_fileLock);
    void ReleaseLocked() NAVI_REQUIRES(m_fileLock);

    // The buffer lives in an arena allocation or, without an arena, in
    // m_heapBuffer; m_data points at whichever holds it.
    std::vector<uint8_t> m_heapBuffer NAVI_GUARDED_BY(m_fileLock);
    void* m_arenaBuffer NAVI_GUARDED_BY(m_fileLock) = nullptr;
    uint8_t* m_data NAVI_GUARDED_BY(m_fileLock) = nullptr;
    uint32_t m_capacity NAVI_GUARDED_BY(m_fileLock) = 0;
    bool m_attached NAVI_GUARDED_BY(m_fileLock) = false;
    RememberedKey m_remembered NAVI_GUARDED_BY(m_fileLock);
    uint32_t m_rememberedSize NAVI_GUARDED_BY(m_fileLock) = 0;
    int32_t m_bufferId = 0;
};

// Process-wide inflate state, for tests and benchmarks.
int MneOpenPackedFileCount();
uint32_t MneSharedInflateBufferSize();
