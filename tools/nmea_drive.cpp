// nmea_drive: writes a synthetic receiver log of a drive along links of a
// data root (one fix a second, seeded noise, an optional stop, no fixes in
// tunnels) for tests, benchmarks and nmea_decode --root.
//
//   nmea_drive --root DIR [--speed KMH] [--seed N] [--stop LINK SECONDS] LINK...
//
// A link number with a leading "-" is driven against its stored direction.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "mapdb/link_id.h"
#include "mapdb/mgr_map.h"
#include "tools/writers/nmea_drive_writer.h"

int main(int argc, char** argv) {
    const char* root = nullptr;
    writers::DriveOptions o;
    std::vector<uint32_t> links;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--root") == 0 && i + 1 < argc) {
            root = argv[++i];
        } else if (std::strcmp(argv[i], "--speed") == 0 && i + 1 < argc) {
            o.speedKmh = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--seed") == 0 && i + 1 < argc) {
            o.seed = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
        } else if (std::strcmp(argv[i], "--stop") == 0 && i + 2 < argc) {
            o.stopLink = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
            o.stopSeconds = std::atoi(argv[++i]);
        } else {
            const long n = std::strtol(argv[i], nullptr, 10);
            if (n == 0) {
                std::fprintf(stderr, "usage: nmea_drive --root DIR [--speed KMH] [--seed N] [--stop LINK S] LINK...\n");
                return 2;
            }
            links.push_back(n < 0 ? (static_cast<uint32_t>(-n) | kMneLinkReverseBit) : static_cast<uint32_t>(n));
        }
    }
    if (!root || links.empty() || o.speedKmh <= 0) {
        std::fprintf(stderr, "usage: nmea_drive --root DIR [--speed KMH] [--seed N] [--stop LINK S] LINK...\n");
        return 2;
    }
    CMgrMap map;
    if (!map.Open(root)) {
        std::fprintf(stderr, "nmea_drive: cannot open the map of %s\n", root);
        return 1;
    }
    const auto drive = writers::PlanDrive(map, links, o);
    if (drive.empty()) {
        std::fprintf(stderr, "nmea_drive: a link cannot be read\n");
        return 1;
    }
    std::fputs(writers::FormatNmeaDrive(drive, o).c_str(), stdout);
    return 0;
}
