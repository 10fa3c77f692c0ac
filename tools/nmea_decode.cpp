// nmea_decode: runs a GPS receiver log through the sentence parser and the
// fix filter and prints one JSON line per published fix.
//
//   nmea_decode [--raw] [FILE]      (stdin when FILE is absent or "-")
//
// Lines starting with "#" are comments and skipped. --raw prints the
// parser's records as the receiver gave them, before the filter and the
// publishing rules. Each line: UTC time, latitude and longitude (degrees,
// south and west negative), speed in km/h, heading in degrees, HDOP,
// satellites used and in view, status ("A" valid, "V" not).
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "foundation/debug_trace.h"
#include "positioning/nmea_log_decode.h"

int main(int argc, char** argv) {
    bool raw = false;
    const char* path = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--raw") == 0) {
            raw = true;
        } else if (std::strcmp(argv[i], "--help") == 0) {
            std::printf("usage: nmea_decode [--raw] [FILE]\n");
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
    NmeaLogDecoder decoder(raw);
    std::string line;
    GpsFixRecord fix;
    auto feed = [&] {
        if (decoder.FeedLine(line, &fix)) std::printf("%s\n", FormatGpsFixJson(fix).c_str());
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
