#pragma once
// The demo district's fixture route: a drive from the expressway ramp at the
// south-west corner of the grid north along the second avenue, east along
// the main street and north again on the last avenue, as directed link ids
// of the demo road network. make_demo_root saves it as the guidance
// service's saved route ("\Guide.dat" in the route folder, which is the data
// root), so that a frame can show a route crossing the district.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/coords.h"

namespace writers {

std::vector<uint32_t> DemoRouteLinks();
// Another route between the same ends: east along the southern street to
// the last avenue, then north along it.
std::vector<uint32_t> DemoAlternativeRouteLinks();

// The directed links joining consecutive points of the path: each step
// takes the link whose shape starts at one point and ends at the next
// (travelled forwards) or the other way round (travelled against its
// stored direction, bit 27 set). Empty when a step has no link.
std::vector<uint32_t> LinksAlong(const std::vector<MapPoint>& junctions);

// Writes root/Guide.dat with the fixture route, stamped with the map version
// of root/Map/Base.map (which must exist). True on success.
bool WriteDemoGuideDat(const std::string& root, std::string* error = nullptr);

// The map version text of root/Map/Base.map, as guidance stamps its saved
// route with; empty when the file cannot be opened.
std::u16string MapVersionOf(const std::string& root);

// The points of a route of directed links from root/Map/RoadLine.ndb, each
// link's shape in its direction of travel and one segment (first and last
// point index) per link; a junction shared by two links is kept once per
// link so that segments stay whole. False (with the reason) when a link has
// no shape.
bool RouteShapes(const std::string& root, const std::vector<uint32_t>& links, std::vector<MapPoint>& points,
                 std::vector<std::array<int32_t, 2>>& segments, std::string* error = nullptr);

// A saved route file's links; false with the reason when the file cannot
// be read or is refused.
bool ReadGuideDatLinks(const std::string& root, const std::string& file, std::vector<uint32_t>& links,
                       std::string* error = nullptr);

}  // namespace writers
