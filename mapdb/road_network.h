#pragma once
// The road network's geometry for positioning and guidance:
//   "Map\Map.ndb"      the links crossing each level-2 tile, one straight
//                      segment each (candidate links near a point);
//   "Map\RoadLine.ndb" each link's full shape;
//   "Map\Path.ndb"     per link and direction, a short list of follow-on links.
// Each reader reads through keyed caches in arenas of its own and decodes
// into a buffer of its own: a result is valid until the next call on the
// same reader. Callers on several threads hold the reader's Lock() while
// they call and use a result, or take the copying variants.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/coords.h"
#include "mapdb/cached_reader.h"
#include "mapdb/link_id.h"

// ------------------------------------------------------------------ Map.ndb

inline constexpr uint32_t kMneLinkRecordSize = 18;
inline constexpr uint32_t kMneLinkTopIndexBytes = 0x40000;
inline constexpr uint32_t kMneLinkSquareBytes = 0x8000;  // 64 x 64 entries of 8 bytes
inline constexpr int32_t kMneLevel2Tiles = 16384;
// A tile's link records must fit the data arena (0x20000 bytes).
inline constexpr uint32_t kMneLinkMaxTileBytes = 0x1F000;

// One link crossing a tile, decoded.
struct MneLinkEntry {
    uint8_t a, b, c, d;  // the four nibbles of the stored bytes 0 and 1
    uint32_t linkId;
    uint16_t x1, y1, x2, y2;  // tile-local, 12 bits each
    int16_t value12;
    uint16_t unused;
    uint32_t value14;
    uint32_t unused2;
};
static_assert(sizeof(MneLinkEntry) == 28);

// Decodes one stored 18-byte link record.
MneLinkEntry MneDecodeLinkRecord(const uint8_t* stored18);

class CMneLinkMapFile {
public:
    ~CMneLinkMapFile() { Close(); }
    int Open(const std::string& dataRoot);
    void Close();

    // The decoded links of level-2 tile (x, y), count out; null when the
    // tile has none or its data is refused.
    const MneLinkEntry* GetCellLinks(int tileX, int tileY, int* count);
    int GetCellLinksCopy(int tileX, int tileY, std::vector<MneLinkEntry>& out);

    uint32_t LargestTileBytes() const { return m_largestTileBytes; }
    CMgrCriticalSection& Lock() { return m_lock; }

private:
    CMgrCriticalSection m_lock;
    platform::File m_file;
    int64_t m_fileSize = 0;
    uint32_t m_largestTileBytes = 0;
    std::vector<uint8_t> m_topIndex;  // 256 x 256 u32, as stored
    MneCachedArena m_offsetCache;      // key: top offset
    MneCachedArena m_dataCache;        // key: tile data offset
    std::vector<MneLinkEntry> m_decoded;
};

// ------------------------------------------------- link-indexed files

// Where a cached arena of a reader comes from: its tag, unit, size and key
// length.
struct MneArenaDesc {
    const char* tag;
    uint32_t unit;
    uint32_t size;
    int keyLength;
};

// A road-network file that starts with its link count and is read through
// two cached arenas: one for the per-link index records, one for the data
// they point at (RoadLine.ndb, Path.ndb).
class MneLinkIndexedFile {
public:
    uint32_t LinkCount() const { return m_linkCount; }
    // Callers hold this while they use a returned buffer.
    CMgrCriticalSection& Lock() { return m_lock; }

protected:
    ~MneLinkIndexedFile() = default;
    // 1 when the file opened, its count was read and both arenas were made.
    int OpenIndexed(const std::string& dataRoot, const char* fileName, const MneArenaDesc& offsets,
                    const MneArenaDesc& data);
    void CloseIndexed();

    CMgrCriticalSection m_lock;
    platform::File m_file;
    int64_t m_fileSize = 0;
    uint32_t m_linkCount = 0;
    MneCachedArena m_offsetCache;  // key: group number
    MneCachedArena m_dataCache;    // key: {link number, offset}
};

// ------------------------------------------------------------- RoadLine.ndb

inline constexpr uint32_t kMneShapeMaxPoints = 425;  // the 3400-byte shape buffer

class CMneRoadLineMapFile : public MneLinkIndexedFile {
public:
    ~CMneRoadLineMapFile() { Close(); }
    int Open(const std::string& dataRoot);
    void Close() { CloseIndexed(); }

    // The link's points in the shape buffer, last to first when reverse is
    // set and the id has bit 27. Null for number 0, a number at or above
    // the file's count, a shape of more than 425 points or a failed read.
    const MapPoint* GetLinkShape(uint32_t linkId, int* count, int reverse);
    // The same from a known index record (point offset and count).
    const MapPoint* ReadShape(uint32_t linkId, int reverse, uint32_t offset, uint32_t count);
    // The shape copied out under the reader's lock; 1 on success.
    int GetLinkShapeCopy(uint32_t linkId, int reverse, std::vector<MapPoint>& out);

private:
    std::array<MapPoint, kMneShapeMaxPoints> m_shape{};
};

// ----------------------------------------------------------------- Path.ndb

inline constexpr int kMnePathMaxPerDirection = 8;

struct MnePathEntry {
    uint32_t linkId;  // target link, bit 27 when travelled in reverse
    uint8_t value;
    uint8_t unused[3];
};
static_assert(sizeof(MnePathEntry) == 8);

MnePathEntry MneDecodePathEntry(uint32_t stored);

class CMnePathMapFile : public MneLinkIndexedFile {
public:
    ~CMnePathMapFile() { Close(); }
    int Open(const std::string& dataRoot);
    void Close() { CloseIndexed(); }

    // The follow-on links of the id's direction (bit 27: backward), or null.
    const MnePathEntry* GetLinkPath(uint32_t linkId, int* count);
    int GetLinkPathCopy(uint32_t linkId, std::vector<MnePathEntry>& out);

private:
    std::array<MnePathEntry, kMnePathMaxPerDirection> m_entries{};
};
