// Writes a seeded synthetic road network for the route planner and the same
// roads as OSM XML (tools/writers/synthetic_city.h describes the city).
//
// Usage: make_synthetic_city --out FOLDER [--links N | --size-km K] [--seed S] [--osm FILE | --no-osm]
//                            [--layers]
//   FOLDER/Map/Road.ndb, Map/RoadIdx.ndb, Map/VTF.ndb, Config/Route.cfg and,
//   unless --no-osm, FOLDER/city.osm (or FILE). N: at most 1999999 links
//   (the default); K instead sizes the grid to about K x K km. --layers
//   adds the drawing layers (Map/Base.map, Building, POI, Theme, RoadAttr,
//   TpegLink) and the demo map style, so the draw module can show the city.
//   Progress goes to stderr, a JSON summary to stdout.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "route/road_files.h"
#include "tools/writers/demo_style.h"
#include "tools/writers/layer_writer.h"
#include "tools/writers/synthetic_city.h"

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: make_synthetic_city --out FOLDER [--links N | --size-km K] [--seed S] "
                 "[--osm FILE | --no-osm] [--layers]\n");
    return 2;
}

void Progress(const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); }

}  // namespace

int main(int argc, char** argv) {
    std::string out, osm;
    bool writeOsm = true;
    bool layers = false;
    unsigned long links = kNcLinkCountMax - 1;
    unsigned long long seed = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--out" && hasValue) {
            out = argv[++i];
        } else if (a == "--osm" && hasValue) {
            osm = argv[++i];
        } else if (a == "--size-km" && hasValue) {
            // Blocks are 200 m on average: about 2 links per block.
            const double lines = std::strtod(argv[++i], nullptr) * 1000.0 / 200.0 + 1.0;
            links = static_cast<unsigned long>(2.0 * lines * lines);
        } else if (a == "--layers") {
            layers = true;
        } else if (a == "--no-osm") {
            writeOsm = false;
        } else if (a == "--links" && hasValue) {
            links = std::strtoul(argv[++i], nullptr, 10);
        } else if (a == "--seed" && hasValue) {
            seed = std::strtoull(argv[++i], nullptr, 10);
        } else {
            return Usage();
        }
    }
    if (out.empty() || links < 12 || links >= kNcLinkCountMax) return Usage();
    if (osm.empty()) osm = out + "/city.osm";

    const writers::SyntheticCity city = writers::BuildSyntheticCity(static_cast<uint32_t>(links), seed, Progress);
    std::string error;
    if (!writers::WriteSyntheticCityFiles(city, out, &error, Progress)) {
        std::fprintf(stderr, "make_synthetic_city: %s\n", error.c_str());
        return 1;
    }
    if (layers && (!writers::WriteSyntheticLayers(city, seed, out, &error, Progress) ||
                   !demostyle::WriteDemoStyle(out, &error))) {
        std::fprintf(stderr, "make_synthetic_city: drawing layers: %s\n", error.c_str());
        return 1;
    }
    if (writeOsm && !writers::WriteSyntheticCityOsm(city, osm, Progress)) {
        std::fprintf(stderr, "make_synthetic_city: cannot write %s\n", osm.c_str());
        return 1;
    }
    std::printf("{\"links\":%zu,\"nodes\":%zu,\"side\":%d,\"banned_turns\":%zu,\"osm\":\"%s\"}\n",
                city.net.links.size() - 1, city.net.nodes.size(), city.side, city.net.bannedTurns.size(),
                writeOsm ? osm.c_str() : "");
    return 0;
}
