// POI blocks from untrusted bytes through the placement passes: the first
// byte picks the group type (named POIs 13, 14, 15 or lot numbers 25), the
// rest is the block. Whatever the block holds, placement must read nothing
// outside it, and the placed records are then drawn (names of any bytes).
// One renderer on a demo data root (written once into a temporary folder,
// before the first input so that no input pays for the set-up) serves every
// input; its caches are emptied before each.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "render/draw_map.h"
#include "render/marker_lists.h"
#include "render/poi_placement.h"
#include "tools/writers/demo_labels.h"
#include "tools/writers/demo_style.h"
#include "tools/writers/layer_writer.h"

namespace {

struct Fixture {
    MneFixedDrawInputs inputs;
    MneDrawPublication publication;
    CMgrCriticalSection lock;
    CMneDrawMap map{&inputs, &publication, &lock};
    Fixture() {
        const std::string root =
            (std::filesystem::temp_directory_path() / ("navi_poi_fuzz_" + std::to_string(::getpid()))).string();
        std::filesystem::create_directories(root + "/Map");
        std::filesystem::create_directories(root + "/Config");
        std::string error;
        if (!demostyle::WriteDemoStyle(root, &error) || !writers::WriteDemoLayers(root, &error) ||
            !writers::WriteMapFont(root, &error))
            std::abort();
        MneDrawInit init;
        init.dataRoot = root;
        if (!map.Initialize(init)) std::abort();
        // A frame at step 13 (level 16, where lot numbers are placed) sets
        // the view up; the fuzzed blocks then land in its last tile.
        MneDrawRequest r;
        r.scaleStep = 13;
        r.viewWidth = 800;
        r.viewHeight = 480;
        r.northUp = 1;
        r.centreMode = 1;
        r.centre = {static_cast<int32_t>(127.0024 * kMapUnitsPerDegree), static_cast<int32_t>(37.5013 * kMapUnitsPerDegree)};
        map.DrawFrame(r);
        std::filesystem::remove_all(root);
    }
};

Fixture& TheFixture() {
    static Fixture fixture;
    return fixture;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    TheFixture();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Fixture& fixture = TheFixture();
    if (size < 1 || size > (1u << 16)) return 0;
    static const int kTypes[4] = {13, 14, 15, kMneLotNumberGroupType};
    const int type = kTypes[data[0] % 4];
    CMneDrawMap& map = fixture.map;
    for (int c = 0; c < 3; ++c) map.PoiCache(c).Clear();
    // Lot numbers are tested against the cache; both passes see the block.
    for (uint32_t mask : {0x20u, 0xFFFFFFFEu}) {
        if (type == kMneLotNumberGroupType)
            map.PlaceLotNumbers(16, data + 1, static_cast<uint32_t>(size - 1), mask, 1, type);
        else
            map.PlacePoiNames(16, data + 1, static_cast<uint32_t>(size - 1), mask, type - 13, type);
    }
    map.DrawPlacedPois();
    return 0;
}
