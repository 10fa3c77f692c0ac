#include "mapdb/map_file.h"

#include <zlib.h>

#include <cstring>

#include "foundation/coords.h"
#include "platform/byte_cursor.h"

namespace {

// All packed files share one inflate input buffer, grown to the largest
// packed block of any open file and freed when the last packed file closes.
struct SharedInflateState {
    CMgrCriticalSection lock;
    int packedFileCount NAVI_GUARDED_BY(lock) = 0;
    uint32_t largestPackedSize NAVI_GUARDED_BY(lock) = 0;
    std::vector<uint8_t> buffer NAVI_GUARDED_BY(lock);
};

SharedInflateState& Inflate() {
    // Never destroyed: files closed by static destructors still reach it.
    static auto* state = new SharedInflateState;
    return *state;
}

void GiveUpInflateShare() {
    SharedInflateState& st = Inflate();
    MgrLock lock(st.lock);
    if (st.packedFileCount > 0 && --st.packedFileCount == 0) {
        std::vector<uint8_t>().swap(st.buffer);
        st.largestPackedSize = 0;
    }
}

}  // namespace

int32_t MneLevelTileCount(int level) { return GetLevelTileCount(level); }

int MneOpenPackedFileCount() {
    SharedInflateState& st = Inflate();
    MgrLock lock(st.lock);
    return st.packedFileCount;
}

uint32_t MneSharedInflateBufferSize() {
    SharedInflateState& st = Inflate();
    MgrLock lock(st.lock);
    return static_cast<uint32_t>(st.buffer.size());
}

CMneMapFile::~CMneMapFile() { Close(); }

void CMneMapFile::Close() {
    m_file.Close();
    if (m_countedPacked) {
        GiveUpInflateShare();
        m_countedPacked = false;
    }
    m_fileSize = 0;
    m_type = 0;
    m_largestBlockSize = 0;
    m_largestPackedSize = 0;
    m_levelTable.fill(0);
    for (auto& record : m_levelRecord) record.fill(0);
}

int CMneMapFile::Open(const std::string& path) {
    Close();
    ClearError();
    if (!m_file.Open(path, platform::File::Mode::kRead)) return Fail(MneMapError::kOpenFailed);
    m_fileSize = m_file.Size();

    uint8_t header[kMnePackedHeaderSize];
    const int64_t got = m_fileSize < 0 ? -1 : m_file.ReadAt(0, header, sizeof header);
    if (got < 1) {
        Close();
        return Fail(MneMapError::kHeaderTruncated);
    }
    const bool packed = header[0] == kMnePackedType;
    const uint32_t headerSize = packed ? kMnePackedHeaderSize : kMnePlainHeaderSize;
    if (static_cast<uint64_t>(got) < headerSize) {
        Close();
        return Fail(MneMapError::kHeaderTruncated);
    }
    platform::ByteReader in(header, headerSize);
    m_type = in.U8();
    m_largestBlockSize = in.U32();
    m_largestPackedSize = packed ? in.U32() : 0;
    for (auto& offset : m_levelTable) offset = in.U32();
    for (auto& record : m_levelRecord) in.Bytes(record.data(), record.size());

    // A block can be no larger than the file (packed) or the header's cap.
    const uint64_t fileSize = static_cast<uint64_t>(m_fileSize);
    if (m_largestBlockSize > kMneMaxBlockSize || m_largestPackedSize > kMneMaxBlockSize ||
        m_largestPackedSize > fileSize || (!packed && m_largestBlockSize > fileSize)) {
        Close();
        return Fail(MneMapError::kHeaderBadSize);
    }
    const uint64_t entrySize = packed ? 12 : 8;
    for (int level = 1; level <= kMneLevelCount; ++level) {
        const uint64_t offset = m_levelTable[level - 1];
        if (offset == 0) continue;
        const uint64_t n = static_cast<uint64_t>(MneLevelTileCount(level));
        const uint64_t tableBytes = level <= 3 ? kMneTopIndexBytes : n * n * entrySize;
        if (offset < headerSize || offset + tableBytes > fileSize) {
            Close();
            return Fail(MneMapError::kLevelTableOutside);
        }
    }

    if (packed) {
        SharedInflateState& st = Inflate();
        MgrLock lock(st.lock);
        ++st.packedFileCount;
        m_countedPacked = true;
        if (m_largestPackedSize > st.largestPackedSize) {
            st.largestPackedSize = m_largestPackedSize;
            std::vector<uint8_t>(m_largestPackedSize).swap(st.buffer);
        }
    }
    return 1;
}

uint32_t CMneMapFile::LevelTableOffset(int level) const {
    return level >= 1 && level <= kMneLevelCount ? m_levelTable[level - 1] : 0;
}

const std::array<uint8_t, 16>* CMneMapFile::LevelRecord(int level) const {
    return level >= 1 && level <= kMneLevelCount ? &m_levelRecord[level - 1] : nullptr;
}

int CMneMapFile::LocateBlock(const MneTileKey& key, uint32_t* offset, uint32_t* size, uint32_t* packedSize) {
    if (!IsOpen()) return Fail(MneMapError::kNotOpen);
    if (key.level < 1 || key.level > kMneLevelCount || m_levelTable[key.level - 1] == 0)
        return Fail(MneMapError::kBadLevel);
    const int64_t n = MneLevelTileCount(key.level);
    // Tile coordinates come from callers that compute them from positions;
    // one outside the grid would index into whatever follows the table.
    if (key.x < 0 || key.y < 0 || key.x >= n || key.y >= n) return Fail(MneMapError::kTileOutOfRange);

    const bool packed = IsPacked();
    const uint64_t e = packed ? 12 : 8;
    const uint64_t fileSize = static_cast<uint64_t>(m_fileSize);
    const uint64_t table = m_levelTable[key.level - 1];
    uint64_t entryPos;
    if (key.level >= 4) {
        entryPos = table + (static_cast<uint64_t>(key.y) * n + key.x) * e;
    } else {
        const int64_t q = n / kMneTopIndexSide;
        uint8_t word[4];
        const uint64_t topPos = table + static_cast<uint64_t>((key.y / q) * kMneTopIndexSide + key.x / q) * 4;
        if (!m_file.ReadExactAt(topPos, word, 4)) return Fail(MneMapError::kReadFailed);
        const uint64_t sub = platform::ByteReader(word, 4).U32();
        if (sub == 0) return Fail(MneMapError::kNoBlock);
        if (sub + static_cast<uint64_t>(q * q) * e > fileSize) return Fail(MneMapError::kIndexOutside);
        entryPos = sub + static_cast<uint64_t>((key.y % q) * q + key.x % q) * e;
    }
    uint8_t entry[12];
    if (entryPos + e > fileSize) return Fail(MneMapError::kIndexOutside);
    if (!m_file.ReadExactAt(entryPos, entry, e)) return Fail(MneMapError::kReadFailed);
    platform::ByteReader in(entry, e);
    MneBlockLocation loc;
    loc.offset = in.U32();
    loc.size = in.U32();
    loc.packedSize = packed ? in.U32() : 0;
    if (loc.offset == 0) return Fail(MneMapError::kNoBlock);

    const uint64_t stored = packed ? loc.packedSize : loc.size;
    if (static_cast<uint64_t>(loc.offset) + stored > fileSize) return Fail(MneMapError::kBlockOutside);
    // A block larger than the header's largest size is refused only where
    // a buffer is sized from it (the non-cached family); a cache entry is
    // made to the block's own size, and packed bytes are checked against
    // the shared inflate buffer when read.

    if (offset) *offset = loc.offset;
    if (size) *size = loc.size;
    if (packedSize) *packedSize = loc.packedSize;
    return 1;
}

int CMneMapFile::ReadBlockInto(const MneBlockLocation& loc, uint8_t* out) {
    if (!IsPacked()) {
        if (loc.size != 0 && !m_file.ReadExactAt(loc.offset, out, loc.size)) return Fail(MneMapError::kReadFailed);
        return 1;
    }
    SharedInflateState& st = Inflate();
    MgrLock lock(st.lock);
    if (loc.packedSize > st.buffer.size()) return Fail(MneMapError::kNoBuffer);
    if (!m_file.ReadExactAt(loc.offset, st.buffer.data(), loc.packedSize)) return Fail(MneMapError::kReadFailed);
    uLongf outLen = loc.size;
    // zlib wants a non-null output pointer even for an empty block.
    uint8_t dummy;
    const int rc = uncompress(loc.size ? out : &dummy, &outLen, st.buffer.data(), loc.packedSize);
    if (rc == Z_BUF_ERROR && outLen == loc.size) return Fail(MneMapError::kInflateSizeMismatch);
    if (rc != Z_OK) return Fail(MneMapError::kInflateFailed);
    if (outLen != loc.size) return Fail(MneMapError::kInflateSizeMismatch);
    return 1;
}

// ---------------------------------------------------------------- non-cached

CMneNonCacheMapFile::~CMneNonCacheMapFile() { ReleaseBuffer(1); }

int CMneNonCacheMapFile::AttachLocked(MgrSharedBlock* arena, int bufferId) {
    if (!IsOpen()) return Fail(MneMapError::kNotOpen);
    ReleaseLocked();
    const uint32_t size = LargestBlockSize();
    if (arena) {
        // An allocation of at least one byte, so an empty largest size still
        // gives a buffer.
        m_arenaBuffer = SharedBlockAlloc(arena, size ? size : 1);
        if (!m_arenaBuffer) return Fail(MneMapError::kNoBuffer);
        m_data = static_cast<uint8_t*>(m_arenaBuffer);
    } else {
        m_heapBuffer.assign(size ? size : 1, 0);
        m_data = m_heapBuffer.data();
    }
    m_capacity = size;
    m_attached = true;
    m_bufferId = bufferId;
    m_remembered = RememberedKey{};
    return 1;
}

void CMneNonCacheMapFile::ReleaseLocked() {
    if (m_arenaBuffer) SharedBlockFree(m_arenaBuffer);
    m_arenaBuffer = nullptr;
    std::vector<uint8_t>().swap(m_heapBuffer);
    m_data = nullptr;
    m_capacity = 0;
    m_attached = false;
    m_remembered = RememberedKey{};
}

int CMneNonCacheMapFile::AttachBuffer(MgrSharedBlock* arena, int bufferId, int lockFlag) NAVI_NO_THREAD_SAFETY_ANALYSIS {
    if (lockFlag == 1) {
        MgrLock lock(m_fileLock);
        return AttachLocked(arena, bufferId);
    }
    return AttachLocked(arena, bufferId);
}

int CMneNonCacheMapFile::AttachBuffer(int bufferId, int lockFlag) { return AttachBuffer(nullptr, bufferId, lockFlag); }

int CMneNonCacheMapFile::ReleaseBuffer(int lockFlag) NAVI_NO_THREAD_SAFETY_ANALYSIS {
    if (lockFlag == 1) {
        MgrLock lock(m_fileLock);
        ReleaseLocked();
        return 1;
    }
    ReleaseLocked();
    return 1;
}

const uint8_t* CMneNonCacheMapFile::GetBlockMarked(const MneTileKey& key, int* marker) {
    if (marker) *marker = 1;
    return QueryBlock(key);
}

const uint8_t* CMneNonCacheMapFile::LoadBlock(const MneTileKey& key, int lockFlag,
                                              uint32_t* sizeOut) NAVI_NO_THREAD_SAFETY_ANALYSIS {
    if (lockFlag == 1) {
        MgrLock lock(m_fileLock);
        return LoadBlockLocked(key, sizeOut);
    }
    return LoadBlockLocked(key, sizeOut);
}

const uint8_t* CMneNonCacheMapFile::LoadBlockLocked(const MneTileKey& key, uint32_t* sizeOut) {
    if (!m_attached) {
        Fail(MneMapError::kNoBuffer);
        return nullptr;
    }
    if (!IsOpen()) {
        Fail(MneMapError::kNotOpen);
        return nullptr;
    }
    MneBlockLocation loc;
    if (!LocateBlock(key, &loc.offset, &loc.size, &loc.packedSize)) return nullptr;
    if (loc.size > m_capacity) {
        Fail(MneMapError::kBlockTooLarge);
        return nullptr;
    }
    const RememberedKey wanted{m_bufferId, key};
    if (wanted == m_remembered && wanted != RememberedKey{}) {
        if (sizeOut) *sizeOut = m_rememberedSize;
        return m_data;
    }
    // Whatever happens below, the buffer no longer holds the old block.
    m_remembered = RememberedKey{};
    if (!ReadBlockInto(loc, m_data)) return nullptr;
    if (!FixupBlock(m_data, loc.size)) {
        Fail(MneMapError::kBadBlockContent);
        return nullptr;
    }
    m_remembered = wanted;
    m_rememberedSize = loc.size;
    if (sizeOut) *sizeOut = loc.size;
    ClearError();
    return m_data;
}

int CMneNonCacheMapFile::LoadBlockCopy(const MneTileKey& key, std::vector<uint8_t>& out) {
    MgrLock lock(m_fileLock);
    uint32_t size = 0;
    const uint8_t* data = LoadBlockLocked(key, &size);
    if (!data) return 0;
    out.assign(data, data + size);
    return 1;
}
