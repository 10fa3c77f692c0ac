#pragma once
// Writes the road network geometry files "Map\Map.ndb" (links per level-2
// tile), "Map\RoadLine.ndb" (link shapes) and "Map\Path.ndb" (follow-on
// links per direction).
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "foundation/coords.h"

namespace writers {

// One link crossing a level-2 tile: a straight segment in tile-local steps
// (0..4095 each) and the values stored beside it.
struct LinkSegment {
    uint8_t a = 0, b = 0, c = 0, d = 0;  // nibbles
    uint32_t linkId = 0;
    uint16_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    int16_t value12 = 0;
    uint32_t value14 = 0;
};

// The 18 stored bytes of one link record.
std::vector<uint8_t> EncodeLinkRecord(const LinkSegment& s);

// Tiles by (x, y) at level 2.
std::vector<uint8_t> BuildLinkMap(const std::map<std::pair<int, int>, std::vector<LinkSegment>>& tiles);

// Shapes by link number; the link count is the largest number + 1.
std::vector<uint8_t> BuildRoadLine(const std::map<uint32_t, std::vector<MapPoint>>& shapes);

struct PathTarget {
    uint32_t linkNumber = 0;  // 22 bits
    bool reverse = false;
    uint8_t value = 0;
};
struct PathLists {
    std::vector<PathTarget> forward;
    std::vector<PathTarget> backward;
};
// The stored 4-byte word of one follow-on entry.
uint32_t EncodePathEntry(const PathTarget& t);
std::vector<uint8_t> BuildPath(const std::map<uint32_t, PathLists>& paths);

}  // namespace writers
