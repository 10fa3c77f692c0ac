// Drawing layer blocks from untrusted bytes through the geometry passes:
// the input is a layer block as layer_block_fuzz takes it (byte 0 picks
// the layout: its value mod 5 is the kind, Base 0 and TpegLink 3 are
// drawn; the rest of byte 0 picks the scale level and the draw options),
// rendered by every renderer of its layer onto a small canvas of a
// renderer opened once on the demo district's style and layers.
#include <cstdlib>
#include <memory>
#include <string>

#include "fuzz/fuzz_support.h"
#include "platform/paths.h"
#include "render/draw_map.h"
#include "render/pass_geometry.h"
#include "tools/writers/demo_style.h"
#include "tools/writers/layer_writer.h"

namespace {

struct Renderer {
    MneFixedDrawInputs inputs;
    CMgrCriticalSection lock;
    MneDrawPublication publication;
    CMneDrawMap map{&inputs, &publication, &lock};
};

Renderer& Shared() {
    static Renderer* renderer = [] {
        fuzzsupport::SilenceTrace();
        const std::string root = fuzzsupport::MakeTempFolder("layer_render_fuzz");
        std::string error;
        if (!platform::MakeDirectories(root + "/Map") || !platform::MakeDirectories(root + "/Config") ||
            !demostyle::WriteDemoStyle(root, &error) || !writers::WriteDemoLayers(root, &error))
            std::abort();
        auto* r = new Renderer;
        MneDrawInit init;
        init.width = 96;
        init.height = 64;
        init.dataRoot = root;
        if (!r->map.Initialize(init)) std::abort();
        // One frame on the district sets the view and its tile up.
        MneDrawRequest request;
        request.viewWidth = 96;
        request.viewHeight = 64;
        request.northUp = 1;
        request.centreMode = 1;
        request.scaleStep = 13;
        request.centre = {static_cast<int32_t>(127.02 * kMapUnitsPerDegree), static_cast<int32_t>(37.516 * kMapUnitsPerDegree)};
        request.carPosition = request.centre;
        if (!r->map.DrawFrame(request)) std::abort();
        return r;
    }();
    return *renderer;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > (1u << 20)) return 0;
    const int kind = data[0] % 5;
    if (kind != 0 && kind != 3) return 0;
    Renderer& r = Shared();
    const int choice = data[0] / 5;   // 0..51
    const int level = 6 + choice % 12;
    MneGeometryOptions options;
    options.tileAreaDrawRule = (choice / 12) & 1;
    options.drawAnti = (choice / 24) & 1;
    options.lineAnti = 1;
    options.roadRelief = 1;
    options.buildAnti = 1;
    MneGeometryRenderer renderer(r.map, options);
    renderer.SetLinkColour([](const uint8_t*) { return 0x0000FFu; });
    r.map.SetFoundBuilding(0);
    const uint8_t* block = data + 1;
    const uint32_t blockSize = static_cast<uint32_t>(size - 1);
    const int16_t rect[4] = {0, 0, 2048, 2048};
    if (kind == 3) {
        renderer.DrawTrafficLinks(level, rect, block, blockSize);
        return 0;
    }
    renderer.DrawElevationAreas(level, rect, block, blockSize);
    renderer.DrawBaseAreas(level, rect, block, blockSize);
    for (const int type : {3, 28, 29, 30}) {
        renderer.DrawPolygonClassBlock(level, type, true, rect, block, blockSize);
        renderer.DrawPolygonClassBlock(level, type, false, rect, block, blockSize);
    }
    renderer.DrawMapPolygonsBlock(level, rect, block, blockSize);
    renderer.DrawAreaType6(level, rect, block, blockSize);
    renderer.DrawLineType2(level, rect, block, blockSize);
    for (const int type : {4, 8, 12, 19}) renderer.DrawLineClass(type, level, rect, block, blockSize);
    renderer.DrawMapLines27(level, rect, block, blockSize);
    renderer.DrawOutlinedPolygons(level, rect, block, blockSize);
    renderer.DrawStripes(level, rect, block, blockSize);
    renderer.DrawStripedQuads(level, rect, block, blockSize);
    renderer.DrawAreaType22(level, rect, block, blockSize);
    renderer.CollectBuildings7(level, rect, block, blockSize);
    renderer.CollectBuildings21(level, rect, block, blockSize);
    return 0;
}
