#pragma once
// A small fictional district near 127.0E 37.5N for the demo data root: a
// grid of five streets by five avenues and an expressway along its south
// edge with a toll gate and a service area. Every road-network file uses
// the same link numbers.
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/coords.h"

namespace writers {

struct DemoLink {
    uint32_t number = 0;
    std::string nameUtf8;
    std::vector<MapPoint> shape;  // in stored direction
    uint8_t roadClass = 0;        // 0 expressway .. 6 small street
    uint8_t linkKind = 0;
    bool twoWay = true;
    uint8_t laneCount = 0;
    int tollGate = 0;             // gate number on this link (0 none)
    bool serviceArea = false;
};

// The district's links, numbered from 1 without gaps.
const std::vector<DemoLink>& DemoLinks();

// Writes the road network, guidance records, names, lanes, turns, toll gate
// and service area into root/Map. True when every file was written.
bool WriteDemoMap(const std::string& root, std::string* error = nullptr);

// A tiled map file with one block per tile on every level (1 to 6) that the
// district touches; each block lists the links crossing the tile (u16 count,
// then u32 link id and u16 point count with the points, i32 x/y). For
// benchmarks and tests of the tiled map readers.
std::vector<uint8_t> BuildDemoTileContainer(bool packed);

}  // namespace writers
