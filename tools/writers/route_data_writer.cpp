#include "tools/writers/route_data_writer.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <map>

#include "mapdb/version_check.h"
#include "platform/byte_cursor.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "route/road_files.h"
#include "tools/writers/demo_map.h"

namespace writers {

// ----------------------------------------------------------------- records

std::vector<uint8_t> EncodeRoadRecord(const RoadLinkSpec& l) {
    if (l.atSecond.size() > kNcRunEntriesMax || l.atFirst.size() > kNcRunEntriesMax) return {};
    platform::ByteWriter w;
    const uint32_t word = (l.lanesBothDirections ? 1u : 0u) | (l.lengthM & 0x7FFFFF) << 1;
    w.U16(static_cast<uint16_t>(word));
    w.U8(static_cast<uint8_t>(word >> 16));
    w.U16(static_cast<uint16_t>(l.networkLevel << 8));
    w.U32(static_cast<uint32_t>(l.kind & 0xF) | static_cast<uint32_t>(l.roadClass & 0xF) << 12 |
          static_cast<uint32_t>(l.linkType & 0xF) << 16 | static_cast<uint32_t>(l.lanes & 0xF) << 20 |
          static_cast<uint32_t>(l.speedCode & 0xF) << 24 | (l.closedStored ? ncrecord::kClosedStoredBit : 0u) |
          (l.closedReversed ? ncrecord::kClosedReversedBit : 0u));
    w.Zeros(6);
    for (uint32_t v : {l.trafficStored, l.trafficReversed}) {
        w.U16(static_cast<uint16_t>(v));
        w.U8(static_cast<uint8_t>(v >> 16));
    }
    w.Zeros(9);
    w.U16(l.tollRoad ? ncrecord::kTollRoadBit : 0);
    for (const MapPoint& p : {l.first, l.second}) {
        w.I32(p.x);
        w.I32(p.y);
    }
    auto mask = [](const std::vector<RoadConnectionSpec>& run) {
        uint8_t m = 0;
        for (size_t i = 0; i < run.size(); ++i)
            if (run[i].allowed) m |= static_cast<uint8_t>(1u << i);
        return m;
    };
    const uint8_t bytes48[8] = {0, 0, 0, mask(l.atSecond), 0, 0, 0, mask(l.atFirst)};
    w.Bytes(bytes48, 8);
    for (const auto* run : {&l.atSecond, &l.atFirst}) {
        w.U32(static_cast<uint32_t>(run->size()) << 28);
        for (const RoadConnectionSpec& c : *run)
            w.U32(static_cast<uint32_t>(c.code) | (c.linkIndex & 0x7FFFFF) << 8 | (c.reversed ? 1u << 31 : 0u));
    }
    w.Zeros(kNcLinkRecordBytes - w.Size());
    return w.Data();
}

bool RoadFileBuilder::PackPending() {
    if (m_pending.empty()) return true;
    uLongf packed = compressBound(static_cast<uLong>(m_pending.size()));
    std::vector<uint8_t> out(packed);
    if (compress2(out.data(), &packed, m_pending.data(), m_pending.size(), 9) != Z_OK || packed > kNcPackedBlockMax)
        return m_ok = false;
    m_offsets.push_back(static_cast<uint32_t>(m_road.size()));
    m_road.insert(m_road.end(), out.begin(), out.begin() + static_cast<long>(packed));
    m_largestPacked = std::max(m_largestPacked, static_cast<uint32_t>(packed));
    m_pending.clear();
    return true;
}

bool RoadFileBuilder::Add(const std::vector<uint8_t>& record) {
    if (record.size() != kNcLinkRecordBytes) return m_ok = false;
    m_pending.insert(m_pending.end(), record.begin(), record.end());
    ++m_links;
    if (m_pending.size() == kNcBlockBytes) PackPending();
    return m_ok;
}

bool RoadFileBuilder::Finish(RoadFiles* out, const std::vector<uint8_t>& trailer) {
    PackPending();
    if (!m_ok) return false;
    platform::ByteWriter index;
    for (uint32_t offset : m_offsets) index.U32(offset);
    index.U32(static_cast<uint32_t>(m_road.size()));  // where the last block ends
    index.U32(m_links);
    out->index = std::move(index.Data());
    out->road = std::move(m_road);
    out->road.insert(out->road.end(), trailer.begin(), trailer.end());
    return true;
}

bool BuildRoadFiles(const std::vector<RoadLinkSpec>& links, RoadFiles* out, const std::vector<uint8_t>& trailer) {
    RoadFileBuilder b;
    for (const RoadLinkSpec& l : links)
        if (!b.Add(EncodeRoadRecord(l))) return false;
    return b.Finish(out, trailer);
}

// ---------------------------------------------------------------- networks

uint8_t RoadTurnCode(MapPoint from, MapPoint node, MapPoint to, uint8_t fromKind, uint8_t toKind) {
    // East-west degrees are shorter by the cosine of the latitude.
    const double scale = std::cos(node.y / static_cast<double>(kMapUnitsPerDegree) * M_PI / 180.0);
    const double inAngle = std::atan2(node.y - from.y, (node.x - from.x) * scale);
    const double outAngle = std::atan2(to.y - node.y, (to.x - node.x) * scale);
    double turn = (outAngle - inAngle) * 180.0 / M_PI;  // positive: to the left
    while (turn > 180.0) turn -= 360.0;
    while (turn <= -180.0) turn += 360.0;
    const bool left = turn > 0;
    const double a = std::fabs(turn);
    constexpr uint8_t kRamp = 3;
    if (a > 150.0) return 16;
    if (toKind == kRamp && fromKind != kRamp) return left ? 101 : 100;
    if (fromKind == kRamp && toKind != kRamp) return left ? 104 : 103;
    if (a < 30.0) return 10;
    if (a < 60.0) return left ? 20 : 11;
    return left ? 19 : 13;
}

RoadNetIncidence BuildIncidence(const RoadNet& net) {
    RoadNetIncidence inc;
    inc.start.assign(net.nodes.size() + 1, 0);
    for (size_t i = 1; i < net.links.size(); ++i) {
        ++inc.start[net.links[i].firstNode + 1];
        ++inc.start[net.links[i].secondNode + 1];
    }
    for (size_t n = 1; n < inc.start.size(); ++n) inc.start[n] += inc.start[n - 1];
    inc.leaving.assign(inc.start.back(), 0);
    std::vector<uint32_t> fill(inc.start.begin(), inc.start.end() - 1);
    for (uint32_t i = 1; i < net.links.size(); ++i) {
        inc.leaving[fill[net.links[i].firstNode]++] = i;                       // leaves its first node as stored
        inc.leaving[fill[net.links[i].secondNode]++] = i | kNcLinkReverseBit;  // leaves its second node reversed
    }
    return inc;
}

namespace {

// The node a directed link leaves from and the one it arrives at.
uint32_t FromNode(const RoadNet& net, uint32_t id) {
    const RoadNetLink& l = net.links[NcLinkIndex(id)];
    return NcLinkDirection(id) ? l.secondNode : l.firstNode;
}
uint32_t ToNode(const RoadNet& net, uint32_t id) {
    const RoadNetLink& l = net.links[NcLinkIndex(id)];
    return NcLinkDirection(id) ? l.firstNode : l.secondNode;
}
bool Closed(const RoadNet& net, uint32_t id) { return NcLinkDirection(id) && net.links[NcLinkIndex(id)].oneWay; }

std::vector<RoadConnectionSpec> RunAt(const RoadNet& net, const RoadNetIncidence& inc, uint32_t arriving) {
    const uint32_t node = ToNode(net, arriving);
    const MapPoint from = net.nodes[FromNode(net, arriving)];
    const uint8_t fromKind = net.links[NcLinkIndex(arriving)].kind;
    const uint32_t uTurn = arriving ^ kNcLinkReverseBit;
    bool otherWayOn = false;
    for (uint32_t k = inc.start[node]; k < inc.start[node + 1]; ++k)
        if (inc.leaving[k] != uTurn && !Closed(net, inc.leaving[k])) otherWayOn = true;
    std::vector<RoadConnectionSpec> run;
    for (uint32_t k = inc.start[node]; k < inc.start[node + 1]; ++k) {
        const uint32_t out = inc.leaving[k];
        RoadConnectionSpec c;
        c.linkIndex = NcLinkIndex(out);
        c.reversed = NcLinkDirection(out) != 0;
        c.code = out == uTurn ? 16
                              : RoadTurnCode(from, net.nodes[node], net.nodes[ToNode(net, out)], fromKind,
                                             net.links[c.linkIndex].kind);
        const bool banned = std::binary_search(net.bannedTurns.begin(), net.bannedTurns.end(),
                                               std::make_pair(arriving, out));
        c.allowed = !Closed(net, out) && !banned && !(out == uTurn && otherWayOn);
        run.push_back(c);
    }
    return run;
}

}  // namespace

RoadLinkSpec RoadNetLinkSpec(const RoadNet& net, const RoadNetIncidence& inc, uint32_t index) {
    RoadLinkSpec s;
    if (index == 0 || index >= net.links.size()) return s;  // the placeholder
    const RoadNetLink& l = net.links[index];
    s.lengthM = l.lengthM;
    s.lanesBothDirections = l.lanesBothDirections;
    s.networkLevel = l.networkLevel;
    s.kind = l.kind;
    s.roadClass = l.roadClass;
    s.linkType = l.linkType;
    s.lanes = l.lanes;
    s.speedCode = l.speedCode;
    s.closedReversed = l.oneWay;
    s.trafficStored = l.trafficStored;
    s.trafficReversed = l.trafficReversed;
    s.tollRoad = l.tollRoad;
    s.first = net.nodes[l.firstNode];
    s.second = net.nodes[l.secondNode];
    s.atSecond = RunAt(net, inc, index);
    s.atFirst = RunAt(net, inc, index | kNcLinkReverseBit);
    return s;
}

bool BuildRoadNetFiles(const RoadNet& net, RoadFiles* out, std::string* error, const std::vector<uint8_t>& trailer,
                       const std::function<void(uint32_t, uint32_t)>& progress) {
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    if (net.links.empty() || net.links.size() > kNcLinkCountMax) return fail("link count out of range");
    RoadNet sorted;
    const RoadNet* use = &net;
    if (!std::is_sorted(net.bannedTurns.begin(), net.bannedTurns.end())) {
        sorted = net;
        std::sort(sorted.bannedTurns.begin(), sorted.bannedTurns.end());
        use = &sorted;
    }
    const RoadNetIncidence inc = BuildIncidence(*use);
    const uint32_t total = static_cast<uint32_t>(use->links.size());
    RoadFileBuilder b;
    for (uint32_t i = 0; i < total; ++i) {
        const std::vector<uint8_t> record = EncodeRoadRecord(RoadNetLinkSpec(*use, inc, i));
        if (record.empty()) return fail("link " + std::to_string(i) + " has more than 8 links at a node");
        if (!b.Add(record)) return fail("the block of link " + std::to_string(i) + " packs above 8162 bytes");
        if (progress && (i % 100000 == 0 || i + 1 == total)) progress(i + 1, total);
    }
    if (!b.Finish(out, trailer)) return fail("the last block packs above 8162 bytes");
    return true;
}

// ---------------------------------------------------------- VTF, Route.cfg

std::vector<uint8_t> BuildVtf(const std::vector<VtfRecord>& records) {
    platform::ByteWriter w;
    w.I32(static_cast<int32_t>(records.size()));
    for (const VtfRecord& r : records) {
        w.U16(r.enabled);
        w.U16(r.kind);
        w.I32(r.x1);
        w.I32(r.y1);
        w.I32(r.x2);
        w.I32(r.y2);
    }
    return w.Data();
}

std::vector<uint8_t> BuildRouteCfg(const NcRouteConfig& c) {
    platform::ByteWriter w;
    w.I32(c.valid);
    w.U32(c.magic);
    for (const auto& row : c.turnCostS)
        for (int32_t v : row) w.I32(v);
    for (const auto* table : {&c.uTurnFactor, &c.leftTurnFactor})
        for (const auto& row : *table)
            for (float f : row) w.F32(f);
    w.Zeros(kNcRouteConfigBytes - w.Size());
    return w.Data();
}

// -------------------------------------------------------------------- demo

RoadNet DemoRoadNet() {
    RoadNet net;
    std::map<std::pair<int32_t, int32_t>, uint32_t> nodeOf;
    auto node = [&](const MapPoint& p) {
        auto [it, added] = nodeOf.try_emplace({p.x, p.y}, static_cast<uint32_t>(net.nodes.size()));
        if (added) net.nodes.push_back(p);
        return it->second;
    };
    const auto& links = DemoLinks();
    net.links.resize(links.size() + 1);
    for (const DemoLink& d : links) {
        RoadNetLink& l = net.links[d.number];
        l.firstNode = node(d.shape.front());
        l.secondNode = node(d.shape.back());
        for (size_t i = 1; i < d.shape.size(); ++i) l.lengthM += GetApproxDistance(d.shape[i - 1], d.shape[i]);
        l.kind = d.linkKind;
        l.roadClass = d.roadClass;
        l.lanes = d.laneCount;
        l.oneWay = !d.twoWay;
        l.speedCode = d.roadClass == 0 ? 10 : 5;  // the limits of the guidance records
        l.networkLevel = DemoNetworkLevel(d.roadClass);
        l.tollRoad = d.roadClass == 0;
        // The traffic link ids the guidance records carry for each direction.
        l.trafficStored = d.number * 10 + 1;
        l.trafficReversed = d.twoWay ? d.number * 10 + 2 : 0;
    }
    net.links[kDemoTunnelLink].linkType = 3;
    // Eastwards on the main street (link 10), no left turn north into the
    // third avenue (link 31).
    net.bannedTurns.push_back({10, 31});
    return net;
}

bool WriteDemoRouteData(const std::string& root, std::string* error) {
    const std::string roadPath = platform::ResolveUnder(root, "Map\\Road.ndb");
    // Keep the release stamp the map writer left at the end of Road.ndb.
    std::vector<uint8_t> trailer, old;
    if (platform::ReadWholeFile(roadPath, old) && old.size() >= kMneVersionTrailerBytes) {
        MneVersionTrailer parsed;
        const uint8_t* tail = old.data() + old.size() - kMneVersionTrailerBytes;
        if (ParseVersionTrailer(tail, kMneVersionTrailerBytes, parsed)) trailer.assign(tail, tail + kMneVersionTrailerBytes);
    }
    RoadFiles files;
    if (!BuildRoadNetFiles(DemoRoadNet(), &files, error, trailer)) return false;

    // The district as a city area (kind 0); a switched-off record and one of
    // an unknown kind change nothing.
    const int32_t u = kMapUnitsPerDegree;
    const std::vector<VtfRecord> areas = {
        {1, 0, static_cast<int32_t>(126.96 * u), static_cast<int32_t>(37.48 * u), static_cast<int32_t>(127.06 * u),
         static_cast<int32_t>(37.54 * u)},
        {0, 1, static_cast<int32_t>(126.0 * u), static_cast<int32_t>(36.0 * u), static_cast<int32_t>(128.0 * u),
         static_cast<int32_t>(38.0 * u)},
        {1, 4, static_cast<int32_t>(126.0 * u), static_cast<int32_t>(36.0 * u), static_cast<int32_t>(128.0 * u),
         static_cast<int32_t>(38.0 * u)},
    };
    if (!platform::MakeDirectories(platform::ResolveUnder(root, "Config"))) {
        if (error) *error = "cannot create the Config folder";
        return false;
    }
    return platform::AtomicReplaceFile(roadPath, files.road, error) &&
           platform::AtomicReplaceFile(platform::ResolveUnder(root, "Map\\RoadIdx.ndb"), files.index, error) &&
           platform::AtomicReplaceFile(platform::ResolveUnder(root, "Map\\VTF.ndb"), BuildVtf(areas), error) &&
           platform::AtomicReplaceFile(platform::ResolveUnder(root, "Config\\Route.cfg"),
                                       BuildRouteCfg(NcDefaultRouteConfig()), error);
}

}  // namespace writers
