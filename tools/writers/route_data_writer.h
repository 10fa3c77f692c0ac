#pragma once
// Writes the route planner's files: "Map\Road.ndb" and "Map\RoadIdx.ndb"
// (link records in zlib blocks of 53, and their block offsets),
// "Map\VTF.ndb" (the area table) and "Config\Route.cfg" (the cost
// parameters). The record layout is the one route/road_files.h describes.
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "foundation/coords.h"
#include "route/route_define.h"

namespace writers {

// One entry of a connection run.
struct RoadConnectionSpec {
    uint32_t linkIndex = 0;
    bool reversed = false;  // entered against its stored direction
    uint8_t code = 0;       // connection (turn) code
    bool allowed = true;    // its bit in the run's turn mask
};

// Every field of one link record.
struct RoadLinkSpec {
    uint32_t lengthM = 0;             // 23 bits
    bool lanesBothDirections = false;
    uint8_t networkLevel = 0;
    uint8_t kind = 0, roadClass = 0, linkType = 0, lanes = 0, speedCode = 0;
    bool closedStored = false, closedReversed = false;
    uint32_t trafficStored = 0, trafficReversed = 0;  // 24 bits
    bool tollRoad = false;
    MapPoint first{}, second{};
    std::vector<RoadConnectionSpec> atSecond;  // run 1: leaving the second node
    std::vector<RoadConnectionSpec> atFirst;   // run 2: leaving the first node
};

// The 154 stored bytes; empty when a run holds more than 8 entries.
std::vector<uint8_t> EncodeRoadRecord(const RoadLinkSpec& link);

struct RoadFiles {
    std::vector<uint8_t> road;   // packed blocks, then the trailer
    std::vector<uint8_t> index;  // block count + 1 offsets, then the link count
};

// Packs records 53 to a block as they come.
class RoadFileBuilder {
public:
    // A 154-byte record; false when it is not one, or its block packs to
    // more than 8162 bytes.
    bool Add(const std::vector<uint8_t>& record);
    // Packs the last block and appends the trailer (e.g. the version stamp)
    // after it. False when a block did not fit.
    bool Finish(RoadFiles* out, const std::vector<uint8_t>& trailer = {});
    uint32_t LinkCount() const { return m_links; }
    uint32_t LargestPackedBlock() const { return m_largestPacked; }

private:
    bool PackPending();

    std::vector<uint8_t> m_pending;
    std::vector<uint8_t> m_road;
    std::vector<uint32_t> m_offsets;
    uint32_t m_links = 0;
    uint32_t m_largestPacked = 0;
    bool m_ok = true;
};

// Both files from whole records (index 0 first).
bool BuildRoadFiles(const std::vector<RoadLinkSpec>& links, RoadFiles* out,
                    const std::vector<uint8_t>& trailer = {});

// A road network given by nodes and links; the connection runs, their
// codes and turn masks are worked out from it.
struct RoadNetLink {
    uint32_t firstNode = 0, secondNode = 0;
    uint32_t lengthM = 0;
    uint8_t networkLevel = 0, kind = 0, roadClass = 0, linkType = 0, lanes = 0, speedCode = 0;
    bool lanesBothDirections = false;
    bool oneWay = false;  // closed against the stored direction
    bool tollRoad = false;
    uint32_t trafficStored = 0, trafficReversed = 0;
};
struct RoadNet {
    std::vector<MapPoint> nodes;
    std::vector<RoadNetLink> links;  // by link index; index 0 is the placeholder
    // Turns not allowed: {from directed link id, to directed link id}.
    std::vector<std::pair<uint32_t, uint32_t>> bannedTurns;
};

// The turn code of going from a link arriving at a node to one leaving it,
// by the angle between them and the kinds of the two links: 10 straight,
// 11/13 slight/right, 20/19 slight/left, 16 U-turn; 100/101 onto a ramp on
// the right/left, 103/104 off a ramp onto another road on the right/left.
uint8_t RoadTurnCode(MapPoint from, MapPoint node, MapPoint to, uint8_t fromKind, uint8_t toKind);

// The record of one link of the network with its runs: every link at the
// node listed in the direction that leaves it; a turn is allowed unless the
// entered direction is closed, the turn is banned, or it is a U-turn at a
// node where another way on exists. `incidence` lists per node the directed
// ids leaving it (see RoadNetIncidence).
struct RoadNetIncidence {
    std::vector<uint32_t> start;     // nodes + 1 entries
    std::vector<uint32_t> leaving;   // directed link ids
};
RoadNetIncidence BuildIncidence(const RoadNet& net);
RoadLinkSpec RoadNetLinkSpec(const RoadNet& net, const RoadNetIncidence& incidence, uint32_t index);

// Road.ndb and RoadIdx.ndb of a whole network; progress (may be empty) is
// told the links done so far. False with error when a record or block
// does not fit.
bool BuildRoadNetFiles(const RoadNet& net, RoadFiles* out, std::string* error,
                       const std::vector<uint8_t>& trailer = {},
                       const std::function<void(uint32_t done, uint32_t total)>& progress = {});

// "VTF.ndb".
struct VtfRecord {
    uint16_t enabled = 1;
    uint16_t kind = 0;
    int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};
std::vector<uint8_t> BuildVtf(const std::vector<VtfRecord>& records);

// "Route.cfg" (2160 bytes).
std::vector<uint8_t> BuildRouteCfg(const NcRouteConfig& config);

// The demo district's road network (the link numbers of the other map
// files; the northern street one-way, the expressway with its ramp, one
// avenue block a tunnel and one banned left turn), its area table and the
// route configuration, written under root. Road.ndb keeps the version
// stamp already at its end.
bool WriteDemoRouteData(const std::string& root, std::string* error = nullptr);

// The demo's network as the writer builds it (tests read it back).
RoadNet DemoRoadNet();
// The demo's banned turn and its tunnel link.
inline constexpr uint32_t kDemoTunnelLink = 23;

}  // namespace writers
