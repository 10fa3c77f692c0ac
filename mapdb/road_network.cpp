#include "mapdb/road_network.h"

#include <algorithm>
#include <cstring>

#include "platform/byte_cursor.h"

namespace {

struct DataKey {
    uint32_t number;
    uint32_t offset;
};
static_assert(sizeof(DataKey) == 8);

struct TileDataKey {
    uint32_t offset;
    uint32_t size;
};
static_assert(sizeof(TileDataKey) == 8);

// Reads one index record of a link from its cached group of 100 records
// (groups start at byte 4; the last group of a file may be short).
bool ReadIndexRecord(MneCachedArena& cache, const platform::File& file, int64_t fileSize, uint32_t number,
                     uint32_t recordSize, const char* trace, uint8_t* out) {
    const uint32_t group = number / 100;
    const uint64_t recordAt = 4 + static_cast<uint64_t>(number) * recordSize;
    if (static_cast<int64_t>(recordAt + recordSize) > fileSize) return false;
    const uint8_t* data =
        cache.Acquire(&group, file, 4 + static_cast<uint64_t>(group) * 100 * recordSize, 100 * recordSize, false, trace);
    if (!data) return false;
    std::memcpy(out, data + (number % 100) * recordSize, recordSize);
    cache.Release(&group);
    return true;
}

}  // namespace

// ---------------------------------------------------------------- Map.ndb

MneLinkEntry MneDecodeLinkRecord(const uint8_t* s) {
    platform::ByteReader in(s, kMneLinkRecordSize);
    MneLinkEntry e{};
    const uint8_t ab = in.U8(), cd = in.U8();
    e.a = ab >> 4;
    e.b = ab & 0x0F;
    e.c = cd >> 4;
    e.d = cd & 0x0F;
    e.linkId = in.U32();
    const uint8_t p0 = in.U8(), p1 = in.U8(), p2 = in.U8();
    e.x1 = static_cast<uint16_t>(p0 + (p1 & 0x0F) * 256);
    e.y1 = static_cast<uint16_t>(p2 * 16 + (p1 >> 4));
    const uint8_t q0 = in.U8(), q1 = in.U8(), q2 = in.U8();
    e.x2 = static_cast<uint16_t>(q0 + (q1 & 0x0F) * 256);
    e.y2 = static_cast<uint16_t>(q2 * 16 + (q1 >> 4));
    e.value12 = in.I16();
    e.value14 = in.U32();
    return e;
}

int CMneLinkMapFile::Open(const std::string& dataRoot) {
    MgrLock lock(m_lock);
    // Opened again: the file and the index go, the arenas stay for Recreate.
    m_file.Close();
    m_topIndex.clear();
    m_largestTileBytes = 0;
    m_fileSize = 0;
    if (!MneOpenDataFile(dataRoot, "Map\\Map.ndb", m_file)) {
        Close();
        return 0;
    }
    m_fileSize = m_file.Size();
    // The top index stays as stored; a square's offset is read when asked.
    uint8_t largest[4];
    m_topIndex.resize(kMneLinkTopIndexBytes);
    if (!m_file.ReadExactAt(0, largest, 4) || !m_file.ReadExactAt(4, m_topIndex.data(), m_topIndex.size())) {
        Close();
        return 0;
    }
    m_largestTileBytes = platform::ByteReader(largest, 4).U32();
    // The decode buffer is sized from the header, but never beyond what the
    // data arena can hold: a larger tile is refused on its own
    // (GetCellLinks), the rest of the file stays usable.
    m_decoded.assign(std::min(m_largestTileBytes, kMneLinkMaxTileBytes) / kMneLinkRecordSize, MneLinkEntry{});
    // Data entries are keyed by offset and size, so two tiles that share an
    // offset never read each other's entry as their own.
    if (!m_offsetCache.Recreate("LINKMAP_OFFSETDATA", 8, 0x20000, 4) ||
        !m_dataCache.Recreate("LINKMAP_DATA", 20, 0x20000, sizeof(TileDataKey))) {
        Close();
        return 0;
    }
    return 1;
}

void CMneLinkMapFile::Close() {
    MgrLock lock(m_lock);
    m_offsetCache.Destroy();
    m_dataCache.Destroy();
    m_file.Close();
    m_topIndex.clear();
    m_decoded.clear();
    m_largestTileBytes = 0;
    m_fileSize = 0;
}

const MneLinkEntry* CMneLinkMapFile::GetCellLinks(int tileX, int tileY, int* count) {
    MgrLock lock(m_lock);
    if (!m_file.IsOpen() || tileX < 0 || tileY < 0 || tileX >= kMneLevel2Tiles || tileY >= kMneLevel2Tiles)
        return nullptr;
    const size_t squareNumber = static_cast<size_t>((tileY / 64) * 256 + tileX / 64);
    const uint32_t top = platform::ByteReader(m_topIndex.data() + squareNumber * 4, 4).U32();
    if (top == 0 || static_cast<int64_t>(top) + kMneLinkSquareBytes > m_fileSize) return nullptr;
    const uint8_t* square = m_offsetCache.Acquire(&top, m_file, top, kMneLinkSquareBytes, true,
                                                  "Link DB : m_OffsetCache Alloc Fail\n");
    if (!square) return nullptr;
    platform::ByteReader entry(square + ((tileY % 64) * 64 + tileX % 64) * 8, 8);
    const uint32_t offset = entry.U32();
    const uint32_t size = entry.U32();
    m_offsetCache.Release(&top);
    if (offset == 0 || size == 0) return nullptr;
    // The records must lie in the file and fit the decode buffer (and with
    // it the data arena).
    if (size > m_largestTileBytes || size > kMneLinkMaxTileBytes || static_cast<int64_t>(offset) + size > m_fileSize)
        return nullptr;
    const uint32_t n = size / kMneLinkRecordSize;
    if (n == 0) return nullptr;
    const TileDataKey key{offset, size};
    const uint8_t* data = m_dataCache.Acquire(&key, m_file, offset, size, true, "Link DB : m_MapCache Alloc Fail\n");
    if (!data) return nullptr;
    for (uint32_t i = 0; i < n; ++i) m_decoded[i] = MneDecodeLinkRecord(data + i * kMneLinkRecordSize);
    m_dataCache.Release(&key);
    if (count) *count = static_cast<int>(n);
    return m_decoded.data();
}

int CMneLinkMapFile::GetCellLinksCopy(int tileX, int tileY, std::vector<MneLinkEntry>& out) {
    MgrLock lock(m_lock);
    int n = 0;
    const MneLinkEntry* links = GetCellLinks(tileX, tileY, &n);
    if (!links) return 0;
    out.assign(links, links + n);
    return 1;
}

// ----------------------------------------------------------- RoadLine.ndb

int MneLinkIndexedFile::OpenIndexed(const std::string& dataRoot, const char* fileName, const MneArenaDesc& offsets,
                                    const MneArenaDesc& data) {
    MgrLock lock(m_lock);
    // Opened again: the file goes, the arenas stay for Recreate.
    m_file.Close();
    m_linkCount = 0;
    m_fileSize = 0;
    if (!MneOpenDataFile(dataRoot, fileName, m_file)) {
        CloseIndexed();
        return 0;
    }
    m_fileSize = m_file.Size();
    uint8_t word[4];
    if (!m_file.ReadExactAt(0, word, 4)) {
        CloseIndexed();
        return 0;
    }
    m_linkCount = platform::ByteReader(word, 4).U32();
    if (!m_offsetCache.Recreate(offsets.tag, offsets.unit, offsets.size, offsets.keyLength) ||
        !m_dataCache.Recreate(data.tag, data.unit, data.size, data.keyLength)) {
        CloseIndexed();
        return 0;
    }
    return 1;
}

void MneLinkIndexedFile::CloseIndexed() {
    MgrLock lock(m_lock);
    m_offsetCache.Destroy();
    m_dataCache.Destroy();
    m_file.Close();
    m_linkCount = 0;
    m_fileSize = 0;
}

int CMneRoadLineMapFile::Open(const std::string& dataRoot) {
    return OpenIndexed(dataRoot, "Map\\RoadLine.ndb", {"ROADLINEMAP_OFFSETDATA", 32, 0x100000, 4},
                       {"ROADLINEMAP_DATA", 320, 0xA0000, 8});
}

const MapPoint* CMneRoadLineMapFile::GetLinkShape(uint32_t linkId, int* count, int reverse) {
    MgrLock lock(m_lock);
    const uint32_t number = MneLinkNumber(linkId);
    if (!m_file.IsOpen() || number == 0 || number >= m_linkCount) return nullptr;
    uint8_t record[6];
    if (!ReadIndexRecord(m_offsetCache, m_file, m_fileSize, number, 6,
                         "RoadLine DB : m_OffsetCache Alloc Fail\n", record))
        return nullptr;
    platform::ByteReader in(record, 6);
    const uint32_t offset = in.U32();
    const uint32_t points = in.U16();
    const MapPoint* shape = ReadShape(linkId, reverse, offset, points);
    if (shape && count) *count = static_cast<int>(points);
    return shape;
}

const MapPoint* CMneRoadLineMapFile::ReadShape(uint32_t linkId, int reverse, uint32_t offset, uint32_t count) {
    MgrLock lock(m_lock);
    const uint32_t number = MneLinkNumber(linkId);
    // A shape longer than the buffer is refused rather than cut short: a
    // truncated shape would put the link somewhere it is not.
    if (!m_file.IsOpen() || count == 0 || count > kMneShapeMaxPoints) return nullptr;
    if (static_cast<int64_t>(offset) + static_cast<int64_t>(count) * 8 > m_fileSize) return nullptr;
    m_shape.fill(MapPoint{});
    const DataKey key{number, offset};
    const uint8_t* data =
        m_dataCache.Acquire(&key, m_file, offset, count * 8, true, "RoadLine DB : m_RoadLineInfoCache Alloc Fail\n");
    if (!data) return nullptr;
    platform::ByteReader in(data, count * 8);
    const bool backwards = reverse && MneLinkIsReverse(linkId);
    for (uint32_t i = 0; i < count; ++i) {
        MapPoint p;
        p.x = in.I32();
        p.y = in.I32();
        m_shape[backwards ? count - 1 - i : i] = p;
    }
    m_dataCache.Release(&key);
    return m_shape.data();
}

int CMneRoadLineMapFile::GetLinkShapeCopy(uint32_t linkId, int reverse, std::vector<MapPoint>& out) {
    MgrLock lock(m_lock);
    int n = 0;
    const MapPoint* shape = GetLinkShape(linkId, &n, reverse);
    if (!shape) return 0;
    out.assign(shape, shape + n);
    return 1;
}

// --------------------------------------------------------------- Path.ndb

MnePathEntry MneDecodePathEntry(uint32_t stored) {
    MnePathEntry e{};
    e.value = static_cast<uint8_t>(stored & 0xFF);
    e.linkId = (stored >> 8) & 0x3FFFFF;
    if ((stored >> 30) != 0) e.linkId |= kMneLinkReverseBit;
    return e;
}

int CMnePathMapFile::Open(const std::string& dataRoot) {
    return OpenIndexed(dataRoot, "Map\\Path.ndb", {"PATHMAP_OFFSETDATA", 4, 0x40000, 4},
                       {"PATHMAP_DATA", 4, 0xD9000, 8});
}

const MnePathEntry* CMnePathMapFile::GetLinkPath(uint32_t linkId, int* count) {
    MgrLock lock(m_lock);
    const uint32_t number = MneLinkNumber(linkId);
    if (!m_file.IsOpen() || number == 0 || number >= m_linkCount) return nullptr;
    uint8_t record[5];
    if (!ReadIndexRecord(m_offsetCache, m_file, m_fileSize, number, 5, "Path DB : m_OffsetCache Alloc Fail\n",
                         record))
        return nullptr;
    platform::ByteReader in(record, 5);
    const uint32_t offset = in.U32();
    const uint8_t counts = in.U8();
    const uint32_t forward = counts >> 4, backward = counts & 0x0F;
    const bool reverse = MneLinkIsReverse(linkId);
    const uint32_t n = reverse ? backward : forward;
    if (n == 0 || n > kMnePathMaxPerDirection) return nullptr;
    const uint32_t bytes = (forward + backward) * 4;
    if (static_cast<int64_t>(offset) + bytes > m_fileSize) return nullptr;
    const DataKey key{number, offset};
    const uint8_t* data =
        m_dataCache.Acquire(&key, m_file, offset, bytes, true, "Path DB : m_PathInfoCache Alloc Fail\n");
    if (!data) return nullptr;
    platform::ByteReader entries(data, bytes);
    entries.Skip(reverse ? forward * 4 : 0);
    for (uint32_t i = 0; i < n; ++i) m_entries[i] = MneDecodePathEntry(entries.U32());
    m_dataCache.Release(&key);
    if (count) *count = static_cast<int>(n);
    return m_entries.data();
}

int CMnePathMapFile::GetLinkPathCopy(uint32_t linkId, std::vector<MnePathEntry>& out) {
    MgrLock lock(m_lock);
    int n = 0;
    const MnePathEntry* entries = GetLinkPath(linkId, &n);
    if (!entries) return 0;
    out.assign(entries, entries + n);
    return 1;
}
