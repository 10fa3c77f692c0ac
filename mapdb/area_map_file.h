#pragma once
// The area files "Map\Address.map" (administrative areas with their codes,
// CMneAddressMapFile) and "Map\City.map" (city areas, CMneCityMapFile):
// tiled map files of the non-cached family whose level-2 blocks list the
// areas that reach into the tile, each as a box and an outline in the tile's
// local steps.
//
// Block layout (offsets from the start of the block):
//   0  u16 area count             2  u32 offset of the area entries
// Area entry (18 bytes in Address.map, 14 in City.map, which has no code):
//   0  u16 min y   2  u16 min x   4  u16 max y   6  u16 max x  (the box)
//   8  u16 point count            10 u32 offset of the point list
//   14 u32 area code (Address.map only)
// Point list: i32 x, i32 y per point, tile-local steps. An outline belongs
// to its tile: its points lie within one tile's width around the tile.
// Every offset, count and point is checked against the block when it is
// read; a block that does not fit is refused whole.
#include <cstdint>

#include "foundation/coords.h"
#include "mapdb/map_file.h"

inline constexpr uint32_t kMneAreaBlockHeaderBytes = 6;
inline constexpr uint32_t kMneAddressEntryBytes = 18;
inline constexpr uint32_t kMneCityEntryBytes = 14;
inline constexpr uint32_t kMneAreaPointBytes = 8;
inline constexpr int kMneAreaTileLevel = 2;
// Outlines are used as far as [-2048, 4096) local steps on both axes: the
// tile and one tile's width around it. An outline reaching further is cut to
// that window, which also keeps the region built from it small, whatever a
// block holds.
inline constexpr int32_t kMneAreaPointMin = -kTileLocalSteps;
inline constexpr int32_t kMneAreaPointEnd = 2 * kTileLocalSteps;

// One area entry as read.
struct MneAreaEntry {
    uint16_t minY = 0, minX = 0, maxY = 0, maxX = 0;
    uint16_t pointCount = 0;
    uint32_t pointOffset = 0;
    uint32_t code = 0;  // 0 in City.map
};

// Checks an area block whose entries are entryBytes long (18 or 14);
// nullptr when it may be used, else why not.
const char* MneCheckAreaBlock(const uint8_t* data, uint32_t size, uint32_t entryBytes);

// The first area of a checked block that holds the tile-local point: box
// first (edges included), then the outline as an even-odd region. 1 with the
// area's code out (0 for City.map), 0 when none holds it. A search reads no
// more outline points than the block can hold: areas whose lists overlap
// (damage) are skipped past that.
int MneFindAreaInBlock(const uint8_t* data, uint32_t size, uint32_t entryBytes, int32_t localX, int32_t localY,
                       uint32_t* code);

class CMneAreaMapFile : public CMneNonCacheMapFile {
public:
    // The area files hand out blocks only through LoadBlock.
    const uint8_t* QueryBlock(const MneTileKey&) override { return nullptr; }
    const uint8_t* GetBlock(const MneTileKey&, int*) override { return nullptr; }
    int FixupBlock(const uint8_t* data, uint32_t size) override;

    // The area of the point's level-2 tile that holds the point, under the
    // file lock for the whole search: 1 with the code out (0 in City.map),
    // 0 with code 0 when there is no block, no area or the point lies
    // outside the map area.
    int FindArea(const MapPoint& point, uint32_t* code);

    uint32_t EntryBytes() const { return m_entryBytes; }

protected:
    explicit CMneAreaMapFile(uint32_t entryBytes) : m_entryBytes(entryBytes) {}

private:
    const uint32_t m_entryBytes;
};

class CMneAddressMapFile : public CMneAreaMapFile {
public:
    CMneAddressMapFile() : CMneAreaMapFile(kMneAddressEntryBytes) {}
};

class CMneCityMapFile : public CMneAreaMapFile {
public:
    CMneCityMapFile() : CMneAreaMapFile(kMneCityEntryBytes) {}
};
