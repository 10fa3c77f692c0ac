#pragma once
// A seeded synthetic road network for the route planner: a grid of
// 150-250 m blocks with expressways beside every 50th line (joined to the
// grid by a ramp at every 10th crossing), arterials on every 10th line and
// local streets between; local lines 3 and 7 of every ten are one-way, and
// about one crossing in fifty bans a left turn. Links are numbered by
// network level, highest first (expressways and ramps, then arterials, then
// local streets); within a level along a Hilbert curve through the city, so
// that neighbours share a packed block, each block covers a compact patch
// and the main roads fill blocks of their own. The same network can be written as OSM XML for other routers.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tools/writers/route_data_writer.h"

namespace writers {

enum class SyntheticRoad : uint8_t { kExpressway, kRamp, kArterial, kLocal };

struct SyntheticCity {
    int side = 0;                  // grid nodes per row and per column
    std::vector<double> xm, ym;    // grid lines, metres from the south-west corner
    RoadNet net;
    std::vector<SyntheticRoad> roads;  // by link index
    MapPoint southWest{}, northEast{};
};

using SyntheticProgress = std::function<void(const std::string& line)>;

// The largest city of at most maxLinks links (index 0, the placeholder, not
// counted).
SyntheticCity BuildSyntheticCity(uint32_t maxLinks, uint64_t seed, const SyntheticProgress& progress = {});

// "Map\Road.ndb", "Map\RoadIdx.ndb", "Map\VTF.ndb" (the city as one area of
// kind 3) and "Config\Route.cfg" under root.
bool WriteSyntheticCityFiles(const SyntheticCity& city, const std::string& root, std::string* error,
                             const SyntheticProgress& progress = {});

// OSM XML: node ids are node index + 1, way ids the link index; banned
// turns are no_left_turn restrictions.
bool WriteSyntheticCityOsm(const SyntheticCity& city, const std::string& path, const SyntheticProgress& progress = {});

}  // namespace writers
