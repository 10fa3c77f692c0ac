// "theme_tile.sdb" from untrusted bytes: the index is loaded from memory and
// searched around a few positions and radii, as the theme proposals and the
// module's theme look-up around a point search it.
#include <cstdint>

#include "search/theme_tiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static NcThemeTiles tiles;
    if (!tiles.LoadThemeTileBytes(data, size)) return 0;
    static const uint32_t kCentres[][2] = {{66584576, 19660800}, {66600000, 19670000}, {65536, 65536}, {0x7FFFFFFF, 0x7FFFFFFF}};
    for (const auto& c : kCentres)
        for (uint32_t radius : {0u, 1000u, 20000u, 4000000000u}) tiles.SearchThemeTiles(c[0], c[1], radius, radius & 0xFF);
    for (int i = 0; i < tiles.TileCount() && i < 8; ++i) tiles.FindThemeTile(static_cast<uint32_t>(i), 0, tiles.TileCount());
    return 0;
}
