#include "tools/writers/demo_map.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <set>

#include "platform/byte_cursor.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "tools/writers/area_map_writer.h"
#include "tools/writers/camera_writer.h"
#include "tools/writers/map_container_writer.h"
#include "tools/writers/road_network_writer.h"
#include "tools/writers/route_data_writer.h"
#include "tools/writers/service_map_writer.h"
#include "tools/writers/small_readers_writer.h"
#include "tools/writers/version_trailer_writer.h"

namespace writers {
namespace {

constexpr int32_t kUnits = kMapUnitsPerDegree;
// Grid origin 127.0E 37.5N; streets 0.01 degree apart east-west, 0.008
// degree apart north-south (about 880 m either way).
constexpr double kLon0 = 127.0, kLat0 = 37.5, kStepLon = 0.01, kStepLat = 0.008;
constexpr int kNodes = 5;

MapPoint At(double lon, double lat) {
    return {static_cast<int32_t>(lon * kUnits), static_cast<int32_t>(lat * kUnits)};
}

const char* const kStreets[kNodes] = {"한빛로", "새솔로", "누리대로", "가람로", "마루로"};    // east-west
const char* const kAvenues[kNodes] = {"별빛길", "솔내길", "바람길", "들꽃길", "은하길"};  // north-south
const char* const kExpressway = "푸른고속도로";
const char* const kMainCrossings[kNodes] = {"누리1가", "누리2가", "누리3가", "누리4가", "누리5가"};
const char* const kTollGateName = "푸른요금소";

std::vector<DemoLink> MakeLinks() {
    std::vector<DemoLink> links;
    auto add = [&](DemoLink l) {
        l.number = static_cast<uint32_t>(links.size() + 1);
        links.push_back(std::move(l));
    };
    // Streets (east-west): each block a gentle bend through its middle.
    for (int j = 0; j < kNodes; ++j) {
        for (int i = 0; i + 1 < kNodes; ++i) {
            DemoLink l;
            l.nameUtf8 = kStreets[j];
            const MapPoint a = At(kLon0 + i * kStepLon, kLat0 + j * kStepLat);
            const MapPoint b = At(kLon0 + (i + 1) * kStepLon, kLat0 + j * kStepLat);
            l.shape = {a, {(a.x + b.x) / 2, a.y + 40 * ((i % 2) ? 1 : -1)}, b};
            l.roadClass = j == 2 ? 3 : 5;  // the middle street is the district's main road
            l.linkKind = 6;
            l.laneCount = j == 2 ? 4 : 2;
            l.twoWay = j != 4;  // the northern street is one-way eastwards
            if (j == 2) {
                l.crossingAtStart = kMainCrossings[i];
                l.crossingAtEnd = kMainCrossings[i + 1];
            }
            if (i == 0 && j == 0) l.crossingAtStart = kTollGateName;
            add(l);
        }
    }
    // Avenues (north-south).
    for (int i = 0; i < kNodes; ++i) {
        for (int j = 0; j + 1 < kNodes; ++j) {
            DemoLink l;
            l.nameUtf8 = kAvenues[i];
            const MapPoint a = At(kLon0 + i * kStepLon, kLat0 + j * kStepLat);
            const MapPoint b = At(kLon0 + i * kStepLon, kLat0 + (j + 1) * kStepLat);
            l.shape = {a, {a.x + 30, (a.y + b.y) / 2}, b};
            l.roadClass = 6;
            l.linkKind = 6;
            l.laneCount = 2;
            if (j + 1 == 2) l.crossingAtEnd = kMainCrossings[i];
            if (j == 2) l.crossingAtStart = kMainCrossings[i];
            if (i == 0 && j == 0) l.crossingAtStart = kTollGateName;
            add(l);
        }
    }
    // The expressway south of the grid, two links joined at the toll gate,
    // with a service area on the eastern one; it meets the grid's
    // south-west corner through a ramp.
    std::vector<MapPoint> west, east;
    for (int k = 0; k <= 6; ++k) west.push_back(At(126.97 + k * 0.005, 37.492 + (k % 2) * 0.0004));
    for (int k = 0; k <= 6; ++k) east.push_back(At(127.0 + k * 0.008, 37.492 - (k % 3) * 0.0003));
    DemoLink w;
    w.nameUtf8 = kExpressway;
    w.shape = west;
    w.roadClass = 0;
    w.linkKind = 1;
    w.laneCount = 4;
    w.crossingAtEnd = "별빛IC";
    w.towardBackward = "솔내시";
    add(w);
    DemoLink e = w;
    e.shape = east;
    e.serviceArea = true;
    e.crossingAtEnd.clear();
    e.crossingAtStart = "별빛IC";
    e.towardBackward.clear();
    e.towardForward = "푸른시";
    add(e);
    DemoLink ramp;
    ramp.nameUtf8 = "별빛나들목";
    ramp.shape = {east.front(), At(kLon0 + 0.0005, 37.496), At(kLon0, kLat0)};
    ramp.roadClass = 1;
    ramp.linkKind = 3;
    ramp.laneCount = 1;
    ramp.twoWay = true;
    ramp.tollGate = 1;
    ramp.crossingAtStart = "별빛IC";
    ramp.crossingAtEnd = kTollGateName;
    ramp.towardForward = "한빛지구";
    add(ramp);
    // A one-way side road (eastwards) beside the main street's first block,
    // between the same two junctions and about 15 m north of it on the way:
    // the place where a matcher must choose between two close parallel roads.
    const double mainLat = kLat0 + 2 * kStepLat, sideLat = mainLat + kDemoSideRoadOffsetDeg;
    DemoLink side;
    side.nameUtf8 = "누리옆길";
    side.shape = {At(kLon0, mainLat), At(kLon0 + 0.002, sideLat), At(kLon0 + 0.005, sideLat),
                  At(kLon0 + 0.008, sideLat), At(kLon0 + kStepLon, mainLat)};
    side.roadClass = 4;
    side.linkKind = 6;
    side.laneCount = 1;
    side.twoWay = false;
    add(side);
    links[kDemoTunnelLink - 1].structureKind = 2;
    return links;
}

uint32_t ShapeLengthM(const std::vector<MapPoint>& shape) {
    uint32_t m = 0;
    for (size_t i = 1; i < shape.size(); ++i) m += GetApproxDistance(shape[i - 1], shape[i]);
    return m;
}

// Level-2 tiles of every shape point.
std::set<std::pair<int, int>> TilesOf(const std::vector<MapPoint>& shape, int level) {
    std::set<std::pair<int, int>> tiles;
    const int32_t side = GetLevelTileSide(level);
    for (const auto& p : shape) tiles.insert({p.x / side, p.y / side});
    return tiles;
}

uint16_t Local12(int64_t mapValue, int64_t origin) {
    return static_cast<uint16_t>(std::clamp<int64_t>((mapValue - origin) / 4, 0, 4095));
}

// Heading in degrees (counterclockwise from east) of a segment.
double Heading(const MapPoint& a, const MapPoint& b) { return std::atan2(b.y - a.y, b.x - a.x) * 180.0 / M_PI; }

// The turn code from one link onto the next at their shared node: by the
// angle between them, and on the expressway's ramp the exit, entry and
// toll-gate codes (see demo_map.h).
uint8_t TurnCode(const DemoLink& from, bool fromReverse, const DemoLink& to, bool toReverse) {
    auto ordered = [](const DemoLink& l, bool reverse) {
        std::vector<MapPoint> s = l.shape;
        if (reverse) std::reverse(s.begin(), s.end());
        return s;
    };
    const std::vector<MapPoint> a = ordered(from, fromReverse), b = ordered(to, toReverse);
    double turn = Heading(b[0], b[1]) - Heading(a[a.size() - 2], a.back());
    while (turn > 180) turn -= 360;
    while (turn <= -180) turn += 360;
    const bool left = turn > 30 && turn <= 150, right = turn < -30 && turn >= -150;
    const bool straight = std::abs(turn) <= 30;
    if (from.tollGate && !fromReverse && to.roadClass > 1) return 94;   // off the ramp through the gate
    if (to.tollGate && toReverse && from.roadClass > 1) return 95;      // through the gate onto the ramp
    if (from.roadClass == 0 && to.roadClass == 1) return right ? 103 : left ? 104 : 105;
    if (from.roadClass == 1 && to.roadClass == 0) return right ? 100 : left ? 101 : 102;
    if (straight) return 1;
    if (left) return 19;
    if (right) return 13;
    return 16;
}

// The lane words of a link with n lanes (see demo_map.h).
std::array<uint8_t, 28> LaneWords(int n) {
    std::array<uint8_t, 28> bytes{};
    for (int k = 0; k < n && k < 14; ++k) {
        const uint8_t arrows = k == 0 ? 0x02 | 0x08 : k == n - 1 ? 0x08 | 0x20 : 0x08;
        bytes[2 * k] = 1;
        bytes[2 * k + 1] = arrows;
    }
    return bytes;
}

bool Put(const std::string& root, const char* name, const std::vector<uint8_t>& bytes, std::string* error) {
    return platform::AtomicReplaceFile(platform::ResolveUnder(root, name), bytes, error);
}

}  // namespace

const std::vector<DemoLink>& DemoLinks() {
    static const std::vector<DemoLink> links = MakeLinks();
    return links;
}

bool WriteDemoMap(const std::string& root, std::string* error) { return WriteLinkMap(root, DemoLinks(), error); }

bool WriteLinkMap(const std::string& root, const std::vector<DemoLink>& links, std::string* error) {
    if (!platform::MakeDirectories(platform::ResolveUnder(root, "Map"))) {
        if (error) *error = "cannot create the Map folder";
        return false;
    }

    // Names first: the guidance records carry their ids.
    NameFileBuilder names;
    std::map<std::string, uint32_t> nameIds;
    for (const auto& l : links)
        if (!nameIds.count(l.nameUtf8)) nameIds[l.nameUtf8] = names.Add(l.nameUtf8, l.number);
    auto nameId = [&](const std::string& text) -> uint32_t {
        if (text.empty()) return 0;
        if (!nameIds.count(text)) nameIds[text] = names.Add(text);
        return nameIds[text];
    };

    // Nodes: where links start and end, to find the follow-on links.
    std::map<std::pair<int32_t, int32_t>, std::vector<uint32_t>> starts, ends;
    for (const auto& l : links) {
        starts[{l.shape.front().x, l.shape.front().y}].push_back(l.number);
        ends[{l.shape.back().x, l.shape.back().y}].push_back(l.number);
    }

    std::map<uint32_t, ServiceRecord> guide;
    std::map<uint32_t, std::vector<MapPoint>> shapes;
    std::map<uint32_t, PathLists> paths;
    std::map<std::pair<int, int>, std::vector<LinkSegment>> cells;
    std::vector<LaneRecord> lanes;
    std::vector<TurnRecord> turns;
    for (const auto& l : links) {
        ServiceRecord r;
        r.length = ShapeLengthM(l.shape);
        r.roadClass = l.roadClass;
        r.byte13 = DemoNetworkLevel(l.roadClass);  // link level
        // Guidance reads the link past the rest area as the rest area's access.
        r.linkKind = l.serviceArea ? 7 : l.linkKind;
        r.byte15 = l.structureKind;
        r.twoWay = l.twoWay ? 1 : 0;
        r.setACode = l.twoWay ? 3 : 1;
        r.setBCode = l.tollGate ? 3 : 0;
        r.forward[0] = l.laneCount;
        r.backward[0] = l.twoWay ? l.laneCount : 0;
        // Per direction: the crossing where the link ends, and its sign.
        r.forward[1] = nameId(l.crossingAtEnd);
        r.backward[1] = l.twoWay ? nameId(l.crossingAtStart) : 0;
        r.forward[2] = nameId(l.towardForward);
        r.backward[2] = l.twoWay ? nameId(l.towardBackward) : 0;
        r.nameId = nameIds[l.nameUtf8];
        r.setAWord = static_cast<uint16_t>(l.roadClass == 0 ? 100 : 50);  // speed limit
        r.setBWord = static_cast<uint16_t>(l.tollGate);
        r.forwardValue = l.number * 10 + 1;
        r.backwardValue = l.number * 10 + 2;
        guide[l.number] = r;
        shapes[l.number] = l.shape;

        // Follow-on links: leaving the end node forwards; leaving the start
        // node when travelled backwards (two-way links only).
        auto followers = [&](const MapPoint& node, uint32_t self, bool reverse) {
            std::vector<PathTarget> out;
            for (uint32_t n : starts[{node.x, node.y}])
                if (n != self) out.push_back({n, false, TurnCode(l, reverse, links[n - 1], false)});
            for (uint32_t n : ends[{node.x, node.y}])
                if (n != self && links[n - 1].twoWay) out.push_back({n, true, TurnCode(l, reverse, links[n - 1], true)});
            if (out.size() > 8) out.resize(8);
            return out;
        };
        paths[l.number].forward = followers(l.shape.back(), l.number, false);
        if (l.twoWay) paths[l.number].backward = followers(l.shape.front(), l.number, true);

        for (const auto& tile : TilesOf(l.shape, 2)) {
            const int64_t ox = static_cast<int64_t>(tile.first) * GetLevelTileSide(2);
            const int64_t oy = static_cast<int64_t>(tile.second) * GetLevelTileSide(2);
            LinkSegment s;
            s.a = l.roadClass;
            s.b = l.twoWay ? 2 : 1;
            s.linkId = l.number;
            s.x1 = Local12(l.shape.front().x, ox);
            s.y1 = Local12(l.shape.front().y, oy);
            s.x2 = Local12(l.shape.back().x, ox);
            s.y2 = Local12(l.shape.back().y, oy);
            s.value14 = guide[l.number].length;
            cells[tile].push_back(s);
        }

        if (l.laneCount >= 2) {
            for (uint8_t dir : {uint8_t{1}, uint8_t{0}}) {
                if (dir == 0 && !l.twoWay) continue;
                LaneRecord lane;
                lane.linkNumber = l.number;
                lane.direction = dir;
                lane.value4 = l.laneCount;
                lane.lanes = LaneWords(l.laneCount);
                lanes.push_back(lane);
            }
        }
        for (const auto& t : paths[l.number].forward)
            turns.push_back({1, l.number, t.linkNumber, t.reverse ? 'E' : 'Q', "00000120", "1", "030"});
    }

    std::map<int, std::vector<std::array<uint8_t, 20>>> gates;
    std::vector<ServiceArea> areas;
    std::map<uint32_t, int> areaLinks;
    for (const auto& l : links) {
        if (l.tollGate) {
            // Sorted by the other gate: its own fixed fare, then the fares
            // toward the gates beyond the district.
            gates[l.tollGate] = {EncodeTollFare({static_cast<uint16_t>(l.tollGate), 0, 0, {1100, 1300, 1500, 1800, 2100, 900}}),
                                 EncodeTollFare({2, 0, 0, {2500, 2800, 3100, 3700, 4300, 2000}}),
                                 EncodeTollFare({3, kTollFareNone, 0, {}}),
                                 EncodeTollFare({4, kTollFareContinue, 2, {2500, 2800, 3100, 3700, 4300, 2000}})};
            gates[2] = {EncodeTollFare({static_cast<uint16_t>(l.tollGate), 0, 0, {2500, 2800, 3100, 3700, 4300, 2000}}),
                        EncodeTollFare({4, 0, 0, {700, 800, 900, 1000, 1200, 500}})};
        }
        if (l.serviceArea) {
            areaLinks[l.number] = static_cast<int>(areas.size());
            areas.push_back({"푸른휴게소", {1, 3, 7}});
        }
    }
    const ServiceAreaFiles saFiles = BuildServiceAreaFiles(areas, areaLinks);

    return Put(root, "Map\\RG.ndb", BuildServiceMap(guide), error) &&
           Put(root, "Map\\RoadLine.ndb", BuildRoadLine(shapes), error) &&
           Put(root, "Map\\Path.ndb", BuildPath(paths), error) &&
           Put(root, "Map\\Map.ndb", BuildLinkMap(cells), error) &&
           Put(root, "Map\\RN.ndb", names.Bytes(), error) &&
           Put(root, "Map\\Lane.ndb", BuildLaneFile(lanes), error) &&
           Put(root, "Map\\TBT.ndb", BuildTbtFile(turns), error) &&
           Put(root, "Map\\TG.ndb", BuildTollGateFile(gates), error) &&
           Put(root, "Map\\SA.ndb", saFiles.sa, error) && Put(root, "Map\\SAIdx.ndb", saFiles.index, error) &&
           WriteDemoCameras(root, error) && WriteDemoAreas(root, error) &&
           // The road network's release stamp, read by the version check.
           Put(root, "Map\\Road.ndb", BuildVersionTrailer({1, 2, 3, "20261210"}), error);
}

std::vector<uint8_t> BuildDemoTileContainer(bool packed) {
    MapContainerWriter w(packed);
    for (int level = 1; level <= 6; ++level) {
        std::map<std::pair<int, int>, std::vector<const DemoLink*>> tiles;
        for (const auto& l : DemoLinks())
            for (const auto& tile : TilesOf(l.shape, level)) tiles[tile].push_back(&l);
        for (const auto& [tile, members] : tiles) {
            platform::ByteWriter block;
            block.U16(static_cast<uint16_t>(members.size()));
            for (const DemoLink* l : members) {
                block.U32(l->number);
                block.U16(static_cast<uint16_t>(l->shape.size()));
                for (const auto& p : l->shape) {
                    block.I32(p.x);
                    block.I32(p.y);
                }
            }
            w.AddBlock(level, tile.first, tile.second, block.Data());
        }
    }
    return w.Build();
}

}  // namespace writers
