#pragma once
// The two-million-link synthetic city the route benchmarks share:
// $NAVI_ROUTE_BENCH_ROOT or /tmp/navi_route_bench_2m_bylevel, with its OSM
// export (city.osm). It is written on first use, and again when the city
// writer's link numbering changed since (the "numbering" stamp beside it
// tells which one the files hold); Routino's database under routino/ is
// then removed, to be imported again from the new export.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/file_io.h"
#include "platform/paths.h"
#include "route/road_files.h"
#include "tools/writers/synthetic_city.h"

namespace navi_bench {

// How the synthetic city numbers its links (see its writer).
inline constexpr const char* kRouteCityNumbering = "by level, then along a Hilbert curve";

inline std::string RouteBenchCity() {
    const char* env = std::getenv("NAVI_ROUTE_BENCH_ROOT");
    const std::string root = env && *env ? env : "/tmp/navi_route_bench_2m_bylevel";
    const auto progress = [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); };
    const std::string osm = root + "/city.osm";
    const std::string stamp = root + "/numbering";
    std::vector<uint8_t> written;
    const bool current = platform::ReadWholeFile(stamp, written) &&
                         std::string(written.begin(), written.end()) == kRouteCityNumbering;
    if (current && platform::FileExists(platform::ResolveUnder(root, "Map\\RoadIdx.ndb")) &&
        platform::FileExists(osm))
        return root;
    const writers::SyntheticCity city = writers::BuildSyntheticCity(kNcLinkCountMax - 1, 1, progress);
    std::string error;
    if (!platform::MakeDirectories(root) || !writers::WriteSyntheticCityFiles(city, root, &error, progress) ||
        !writers::WriteSyntheticCityOsm(city, osm, progress)) {
        std::fprintf(stderr, "cannot write the city under %s: %s\n", root.c_str(), error.c_str());
        std::abort();
    }
    std::remove((root + "/routino/city-segments.mem").c_str());
    const std::string text = kRouteCityNumbering;
    if (!platform::AtomicReplaceFile(stamp, std::vector<uint8_t>(text.begin(), text.end()), &error)) std::abort();
    return root;
}

}  // namespace navi_bench
