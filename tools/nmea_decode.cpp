// nmea_decode: runs a GPS receiver log through the sentence parser and the
// fix filter and prints one JSON line per published fix.
//
//   nmea_decode [--raw] [--root DIR] [FILE]   (stdin when FILE is absent or "-")
//
// Lines starting with "#" are comments and skipped. --raw prints the
// parser's records as the receiver gave them, before the filter and the
// publishing rules. Each line: UTC time, latitude and longitude (degrees,
// south and west negative), speed in km/h, heading in degrees, HDOP,
// satellites used and in view, status ("A" valid, "V" not).
// With --root each fix is also map-matched on the data root's road network,
// one fix a second as the pick-up does it: "match" gives the state, the link
// id (bit 27 against its stored direction), the position on the link
// (segment, metres to its end, x and y in map units) and the heading.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "foundation/debug_trace.h"
#include "mapdb/mgr_map.h"
#include "positioning/gps_pickup.h"
#include "positioning/nmea_log_decode.h"
#include "settings/module_svc.h"

int main(int argc, char** argv) {
    bool raw = false;
    const char* path = nullptr;
    const char* root = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--raw") == 0) {
            raw = true;
        } else if (std::strcmp(argv[i], "--root") == 0 && i + 1 < argc) {
            root = argv[++i];
        } else if (std::strcmp(argv[i], "--help") == 0) {
            std::printf("usage: nmea_decode [--raw] [--root DIR] [FILE]\n");
            return 0;
        } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
            std::fprintf(stderr, "nmea_decode: unknown option %s\n", argv[i]);
            return 2;
        } else if (!path) {
            path = argv[i];
        } else {
            std::fprintf(stderr, "nmea_decode: one file only\n");
            return 2;
        }
    }
    FILE* in = stdin;
    if (path && std::strcmp(path, "-") != 0) {
        in = std::fopen(path, "rb");
        if (!in) {
            std::fprintf(stderr, "nmea_decode: cannot open %s: %s\n", path, std::strerror(errno));
            return 1;
        }
    }

    SetDebugTraceLevel(0);   // field-count complaints of odd sentences are not output
    CMgrMap map;
    CMgrConfigModuleSVC svc;
    CMgrConfigModuleGPS block;
    CGpsPickup pickup;
    if (root) {
        if (!map.Open(root)) {
            std::fprintf(stderr, "nmea_decode: cannot open the map of %s (%s)\n", root, map.LastOpenFailure().c_str());
            if (in != stdin) std::fclose(in);
            return 1;
        }
        pickup.Init(&svc, &block, &map);
    }
    NmeaLogDecoder decoder(raw);
    std::string line;
    GpsFixRecord fix;
    uint32_t tick = 0;
    auto feed = [&] {
        if (decoder.FeedLine(line, &fix)) {
            std::string json = FormatGpsFixJson(fix);
            if (root) {
                tick += 1000;
                pickup.Process(fix, tick, &block);
                tagMAPMATCHINFO m;
                block.GetMatchInfo(&m);
                char match[200];
                std::snprintf(match, sizeof match,
                              ",\"match\":{\"state\":%d,\"link\":%u,\"reverse\":%d,\"segment\":%d,\"to_end_m\":%d,"
                              "\"x\":%d,\"y\":%d,\"heading\":%d}}",
                              m.status, static_cast<unsigned>(m.linkId) & kMneLinkNumberMask,
                              (static_cast<uint32_t>(m.linkId) & kMneLinkReverseBit) ? 1 : 0, m.segmentIndex,
                              m.distanceToEndM, m.x, m.y, m.headingDeg);
                if (!json.empty() && json.back() == '}') json.pop_back();
                json += match;
            }
            std::printf("%s\n", json.c_str());
        }
        line.clear();
    };
    int c;
    while ((c = std::fgetc(in)) != EOF) {
        line.push_back(static_cast<char>(c));
        if (c == '\n') feed();
    }
    feed();
    const bool readError = std::ferror(in) != 0;
    if (in != stdin) std::fclose(in);
    if (readError) {
        std::fprintf(stderr, "nmea_decode: read error\n");
        return 1;
    }
    return 0;
}
