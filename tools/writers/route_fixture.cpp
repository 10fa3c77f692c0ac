#include "tools/writers/route_fixture.h"

#include "mapdb/link_id.h"
#include "mapdb/road_network.h"
#include "mapdb/version_check.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "settings/guide_dat.h"
#include "tools/writers/demo_map.h"

namespace writers {

namespace {

MapPoint Junction(int avenue, int street) {
    // The grid of demo_map: avenues 0.01 degree apart from 127.0 E, streets
    // 0.008 degree apart from 37.5 N.
    return {static_cast<int32_t>((127.0 + avenue * 0.01) * kMapUnitsPerDegree),
            static_cast<int32_t>((37.5 + street * 0.008) * kMapUnitsPerDegree)};
}

}  // namespace

std::vector<uint32_t> LinksAlong(const std::vector<MapPoint>& junctions) {
    std::vector<uint32_t> out;
    for (size_t k = 1; k < junctions.size(); ++k) {
        const MapPoint& a = junctions[k - 1];
        const MapPoint& b = junctions[k];
        uint32_t found = 0;
        for (const DemoLink& l : DemoLinks()) {
            if (l.shape.front() == a && l.shape.back() == b) found = l.number;
            else if (l.twoWay && l.shape.front() == b && l.shape.back() == a) found = l.number | kMneLinkReverseBit;
            if (found) break;
        }
        if (!found) return {};
        out.push_back(found);
    }
    return out;
}

std::vector<uint32_t> DemoRouteLinks() {
    return LinksAlong({Junction(0, 0), Junction(1, 0), Junction(1, 1), Junction(1, 2), Junction(2, 2),
                       Junction(3, 2), Junction(4, 2), Junction(4, 3), Junction(4, 4)});
}

std::u16string MapVersionOf(const std::string& root) {
    MneVersionTrailer trailer;
    const int check = CheckVersion(root, kMneVersionBaseMap, &trailer);
    if (check == kMneVersionCannotOpen) return {};
    MneVersionField version{};
    MneVersionField date{};
    FillVersionLine(check, trailer, version, date);
    return MneVersionFieldText(version);
}

bool RouteShapes(const std::string& root, const std::vector<uint32_t>& links, std::vector<MapPoint>& points,
                 std::vector<std::array<int32_t, 2>>& segments, std::string* error) {
    CMneRoadLineMapFile lines;
    if (!lines.Open(root)) {
        if (error) *error = "cannot open Map/RoadLine.ndb";
        return false;
    }
    points.clear();
    segments.clear();
    std::vector<MapPoint> shape;
    for (uint32_t id : links) {
        if (!lines.GetLinkShapeCopy(id, 1, shape) || shape.empty()) {
            if (error) *error = "link " + std::to_string(id) + " has no shape";
            return false;
        }
        const int32_t first = static_cast<int32_t>(points.size());
        points.insert(points.end(), shape.begin(), shape.end());
        segments.push_back({first, static_cast<int32_t>(points.size()) - 1});
    }
    return true;
}

bool ReadGuideDatLinks(const std::string& root, const std::string& file, std::vector<uint32_t>& links,
                       std::string* error) {
    std::vector<uint8_t> bytes;
    if (!platform::ReadWholeFile(file, bytes)) {
        if (error) *error = "cannot read " + file;
        return false;
    }
    GuideDatRecord record;
    const GuideDatStatus status = DecodeGuideDat(bytes.data(), bytes.size(), MapVersionOf(root), record);
    if (status != GuideDatStatus::kOk) {
        if (error) *error = std::string("saved route refused: ") + GuideDatStatusText(status);
        return false;
    }
    links.assign(record.links.begin(), record.links.end());
    return true;
}

std::vector<uint32_t> DemoAlternativeRouteLinks() {
    return LinksAlong({Junction(0, 0), Junction(1, 0), Junction(2, 0), Junction(3, 0), Junction(4, 0), Junction(4, 1),
                       Junction(4, 2), Junction(4, 3), Junction(4, 4)});
}

bool WriteDemoGuideDat(const std::string& root, std::string* error) {
    GuideDatRecord record;
    record.mapVersion = MapVersionOf(root);
    if (record.mapVersion.empty()) {
        if (error) *error = "no Map/Base.map to take the map version from";
        return false;
    }
    record.routeKind = 1;
    for (uint32_t id : DemoRouteLinks()) record.links.push_back(static_cast<int32_t>(id));
    if (record.links.empty()) {
        if (error) *error = "the fixture route does not follow the demo links";
        return false;
    }
    std::vector<uint8_t> bytes;
    if (!EncodeGuideDat(record, bytes)) {
        if (error) *error = "the fixture route does not fit a saved route";
        return false;
    }
    return platform::AtomicReplaceFile(platform::ResolveUnder(root, "Guide.dat"), bytes, error);
}

}  // namespace writers
