// Prints the demo map style as a PNG sheet: its three colour modes side by
// side with areas, road classes, POI, sign and landmark symbols, drawn from
// the style as the loader reads it. Usage: style_swatch --out FILE.png
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/file_io.h"
#include "tools/writers/demo_style.h"

int main(int argc, char** argv) {
    if (argc != 3 || std::strcmp(argv[1], "--out") != 0) {
        std::fprintf(stderr, "usage: style_swatch --out FILE.png\n");
        return 2;
    }
    std::string error;
    const std::vector<uint8_t> png = demostyle::BuildSwatchPng(&error);
    if (png.empty() || !platform::AtomicReplaceFile(argv[2], png, &error)) {
        std::fprintf(stderr, "style_swatch: %s\n", error.c_str());
        return 1;
    }
    std::printf("{\"out\":\"%s\",\"bytes\":%zu}\n", argv[2], png.size());
    return 0;
}
