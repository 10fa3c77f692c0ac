#include "tools/writers/demo_map.h"

#include <algorithm>
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
    w.tollGate = 1;
    add(w);
    DemoLink e = w;
    e.shape = east;
    e.tollGate = 0;
    e.serviceArea = true;
    add(e);
    DemoLink ramp;
    ramp.nameUtf8 = "별빛나들목";
    ramp.shape = {east.front(), At(kLon0 + 0.0005, 37.496), At(kLon0, kLat0)};
    ramp.roadClass = 1;
    ramp.linkKind = 3;
    ramp.laneCount = 1;
    ramp.twoWay = true;
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
        r.linkKind = l.linkKind;
        r.byte15 = l.structureKind;
        r.twoWay = l.twoWay ? 1 : 0;
        r.setACode = l.twoWay ? 3 : 1;
        r.setBCode = l.tollGate ? 1 : 0;
        r.forward[0] = l.laneCount;
        r.backward[0] = l.twoWay ? l.laneCount : 0;
        r.nameId = nameIds[l.nameUtf8];
        r.setAWord = static_cast<uint16_t>(l.roadClass == 0 ? 100 : 50);  // speed limit
        r.setBWord = static_cast<uint16_t>(l.tollGate);
        r.forwardValue = l.number * 10 + 1;
        r.backwardValue = l.number * 10 + 2;
        guide[l.number] = r;
        shapes[l.number] = l.shape;

        // Follow-on links: leaving the end node forwards; leaving the start
        // node when travelled backwards (two-way links only).
        auto followers = [&](const MapPoint& node, uint32_t self) {
            std::vector<PathTarget> out;
            for (uint32_t n : starts[{node.x, node.y}])
                if (n != self) out.push_back({n, false, 1});
            for (uint32_t n : ends[{node.x, node.y}])
                if (n != self && links[n - 1].twoWay) out.push_back({n, true, 2});
            if (out.size() > 8) out.resize(8);
            return out;
        };
        paths[l.number].forward = followers(l.shape.back(), l.number);
        if (l.twoWay) paths[l.number].backward = followers(l.shape.front(), l.number);

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
                // One byte per lane: 1 straight, 2 left turn, 4 right turn.
                for (int k = 0; k < l.laneCount; ++k)
                    lane.lanes[k] = static_cast<uint8_t>(k == 0 ? 2 | 1 : k == l.laneCount - 1 ? 4 | 1 : 1);
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
            std::array<uint8_t, 20> booth{};
            booth[0] = static_cast<uint8_t>(l.number);
            booth[1] = 1;  // booth kind: high-pass
            std::array<uint8_t, 20> cash = booth;
            cash[1] = 2;
            gates[l.tollGate] = {booth, cash};
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
