#pragma once
// Writes the camera files "Map\CameraT1.map" and "Map\CameraT2.map": tiled
// map files whose level-2 blocks hold two lists of 16-byte entries (key,
// camera record, link list, further record), the records and link lists
// after them. Offsets count from the start of the block.
//
// Block layout as written:
//   header (12)  | list A entries | list B entries |
//   per entry: camera record (21 bytes and more), link list (8 per link),
//   further record.
#include <array>
#include <map>
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/coords.h"
#include "tools/writers/map_container_writer.h"

namespace writers {

struct CameraLink {
    uint32_t linkId = 0;
    uint32_t value = 0;
};

struct CameraEntry {
    uint32_t key = 0;                   // the link id the entry is filed under
    std::array<uint8_t, 21> record{};   // bytes 17-18 are written as the link count
    std::vector<uint8_t> recordTail;    // bytes of a record longer than 21
    std::vector<CameraLink> links;      // empty: no link list (offset 0)
    std::vector<uint8_t> further;       // empty: no further record (offset 0)
    // Written as the link count instead of links.size() when set, for
    // damaged fixtures.
    int forcedLinkCount = -1;
};

// The record layout of this writer's fixtures and demo data (the reader
// keeps the 21 bytes as they are): i32 x, i32 y at 0 and 4, kind at 8,
// u16 speed limit at 9, u16 section length in 100 m at 11 (section-control
// cameras), the link count at 17.
std::array<uint8_t, 21> MakeCameraRecord(const MapPoint& where, uint8_t kind, uint16_t speedKmh,
                                         uint16_t section100m = 0);

std::vector<uint8_t> BuildCameraBlock(const std::vector<CameraEntry>& listA, const std::vector<CameraEntry>& listB);

// A camera file: entries filed under level-2 tiles.
class CameraFileWriter {
public:
    explicit CameraFileWriter(bool packed = false) : m_packed(packed) {}

    // Files an entry under the level-2 tile that holds the point.
    void Add(const MapPoint& where, CameraEntry entry, bool listB = false);
    void AddToTile(int x, int y, CameraEntry entry, bool listB = false);
    // A block of the writer's own bytes (damaged fixtures).
    void AddRawBlock(int x, int y, std::vector<uint8_t> block) { m_raw[{x, y}] = std::move(block); }

    std::vector<uint8_t> Build() const;

private:
    struct Lists {
        std::vector<CameraEntry> a, b;
    };
    bool m_packed;
    std::map<std::pair<int, int>, Lists> m_tiles;
    std::map<std::pair<int, int>, std::vector<uint8_t>> m_raw;
};

// Writes root/Map/CameraT1.map (speed cameras) and root/Map/CameraT2.map
// (safe-drive points) for the demo district, each with a version trailer.
bool WriteDemoCameras(const std::string& root, std::string* error = nullptr);

}  // namespace writers
