#pragma once
// Writes the area files "Map\Address.map" and "Map\City.map": level-2
// blocks that list the areas reaching into each tile, with their box and
// outline in the tile's local steps.
//
// Block layout as written: header (u16 count, u32 offset 6), the entries
// (18 bytes with the code, 14 without), then the point lists in entry order.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "foundation/coords.h"

namespace writers {

// An area as stored in one tile: box and outline already tile-local.
struct LocalArea {
    uint16_t minX = 0, minY = 0, maxX = 0, maxY = 0;
    std::vector<std::pair<int32_t, int32_t>> points;  // x, y
    uint32_t code = 0;
    // Written as the point count instead of points.size() when set, for
    // damaged fixtures.
    int forcedPointCount = -1;
};

std::vector<uint8_t> BuildAreaBlock(const std::vector<LocalArea>& areas, bool withCode);

// An area in map coordinates.
struct MapArea {
    uint32_t code = 0;
    std::vector<MapPoint> outline;
};

// An area file: each area filed under every level-2 tile its outline's box
// touches, with its outline in that tile's local steps cut to the tile (and
// one step around it) and the box cut to the tile. With cutOutlines false
// every tile holds the whole outline in its steps, however far it reaches.
std::vector<uint8_t> BuildAreaMap(const std::vector<MapArea>& areas, bool withCode, bool packed = false,
                                  bool cutOutlines = true);

// The demo district's administrative areas (code, name) and city area.
struct DemoAddressArea {
    uint32_t code;
    const char* nameUtf8;
    std::vector<MapPoint> outline;
};
const std::vector<DemoAddressArea>& DemoAddressAreas();
const std::vector<MapPoint>& DemoCityOutline();

// Writes root/Map/Address.map and root/Map/City.map for the demo district.
bool WriteDemoAreas(const std::string& root, std::string* error = nullptr);

}  // namespace writers
