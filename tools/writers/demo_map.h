#pragma once
// A small fictional district near 127.0E 37.5N for the demo data root: a
// grid of five streets by five avenues and an expressway along its south
// edge with a service area, reached through a ramp with a toll gate.
//
// What guidance finds in it:
//   - turn codes at every crossing from the angle between the links: straight
//     on (within 30 degrees) is the unguided code 1, a left turn 19, a right
//     turn 13, anything sharper a U-turn 16; leaving the expressway onto the
//     ramp is an exit (103 right, 104 left), joining it an entry (100 right,
//     101 left); the ramp's grid end is toll gate 1 "푸른요금소" (94 leaving
//     the ramp, 95 entering it);
//   - the main street's crossings are named "누리1가" to "누리5가", the
//     expressway junction "별빛IC"; the expressway leads toward "푸른시"
//     (east) and "솔내시" (west), the ramp toward "한빛지구";
//   - lanes on every link of two lanes or more, one 16-bit word per lane: the
//     arrows in the high byte (0x02 left, 0x08 straight, 0x20 right: the
//     leftmost lane left and straight, the rightmost straight and right),
//     1 in the low byte;
//   - the expressway's eastern link passes the rest area "푸른휴게소":
//     guidance reads it as the rest area's access road (kind 7);
//   - cameras: a speed camera (kind 1) in the middle of every link of the
//     main street and the expressway, both ways; section control along the
//     expressway eastwards, from a start camera (kind 7) near the west end of
//     its western link to an end camera (kind 8) near the east end of its
//     eastern link (the section counted as kDemoSectionLength100m x 100 m); a
//     signal camera (kind 4) where the second street's first block ends, a
//     bus-lane camera (kind 5) on the middle avenue's first block, and a
//     school zone (kind 2, in the safe-drive file) on the westmost avenue;
//   - toll gate 1 has a fixed fare (vehicle classes 1 to 6: 1100, 1300, 1500,
//     1800, 2100 and 900 won) and fares toward the gates beyond the district
//     (gate 2: 2500 won upward; gate 3: no fare; gate 4: go on from gate 2). The westmost avenue runs through
// a tunnel between the third and fourth street, and a one-way side road runs
// close beside the main street's first block between the same junctions. Every road-network file uses
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
    uint8_t structureKind = 0;    // 0 ordinary, 1 bridge, 2 tunnel, 3 elevated, 4 underpass
    // Guidance: the names of the crossings at the link's start and end (the
    // junction a driver is told about when leaving the link there), and the
    // place the link leads toward in each direction (its direction sign).
    std::string crossingAtStart, crossingAtEnd;
    std::string towardForward, towardBackward;
};

// The network level of a road class (0 local street .. 3 expressway), the
// same in the road data of route planning and in the guidance records.
inline uint8_t DemoNetworkLevel(uint8_t roadClass) {
    return roadClass <= 1 ? 3 : roadClass <= 3 ? 2 : roadClass <= 5 ? 1 : 0;
}
// The side road beside the main street (the last link) runs this far north
// of the street's junctions between its bends.
inline constexpr double kDemoSideRoadOffsetDeg = 0.000134;  // about 15 m north

// The section-control length of the demo's expressway, in 100 m.
inline constexpr uint16_t kDemoSectionLength100m = 60;

// The district's links, numbered from 1 without gaps.
const std::vector<DemoLink>& DemoLinks();

// Writes the road network, guidance records, names, lanes, turns, toll gate
// and service area into root/Map. True when every file was written.
// WriteLinkMap does the same for any links numbered from 1 without gaps
// (benchmarks write larger networks with it).
bool WriteDemoMap(const std::string& root, std::string* error = nullptr);
bool WriteLinkMap(const std::string& root, const std::vector<DemoLink>& links, std::string* error = nullptr);

// A tiled map file with one block per tile on every level (1 to 6) that the
// district touches; each block lists the links crossing the tile (u16 count,
// then u32 link id and u16 point count with the points, i32 x/y). For
// benchmarks and tests of the tiled map readers.
std::vector<uint8_t> BuildDemoTileContainer(bool packed);

}  // namespace writers
