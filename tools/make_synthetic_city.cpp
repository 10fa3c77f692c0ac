// Writes a seeded synthetic road network for the route planner and the same
// roads as OSM XML (tools/writers/synthetic_city.h describes the city).
//
// Usage: make_synthetic_city --out FOLDER [--links N] [--seed S] [--osm FILE | --no-osm]
//   FOLDER/Map/Road.ndb, Map/RoadIdx.ndb, Map/VTF.ndb, Config/Route.cfg and,
//   unless --no-osm, FOLDER/city.osm (or FILE). N: at most 1999999 links
//   (the default). Progress goes to stderr, a JSON summary to stdout.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "route/road_files.h"
#include "tools/writers/synthetic_city.h"

namespace {

int Usage() {
    std::fprintf(stderr, "usage: make_synthetic_city --out FOLDER [--links N] [--seed S] [--osm FILE | --no-osm]\n");
    return 2;
}

void Progress(const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); }

}  // namespace

int main(int argc, char** argv) {
    std::string out, osm;
    bool writeOsm = true;
    unsigned long links = kNcLinkCountMax - 1;
    unsigned long long seed = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--out" && hasValue) {
            out = argv[++i];
        } else if (a == "--osm" && hasValue) {
            osm = argv[++i];
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
    if (writeOsm && !writers::WriteSyntheticCityOsm(city, osm, Progress)) {
        std::fprintf(stderr, "make_synthetic_city: cannot write %s\n", osm.c_str());
        return 1;
    }
    std::printf("{\"links\":%zu,\"nodes\":%zu,\"side\":%d,\"banned_turns\":%zu,\"osm\":\"%s\"}\n",
                city.net.links.size() - 1, city.net.nodes.size(), city.side, city.net.bannedTurns.size(),
                writeOsm ? osm.c_str() : "");
    return 0;
}
