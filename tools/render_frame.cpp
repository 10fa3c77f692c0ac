// Draws one map frame of a data root with the draw module, headless, and
// writes the published picture as a PNG.
//
// Usage: render_frame --root DIR [--lon E --lat N] [--scale STEP] [--heading DEG] [--bird]
//                     [--mode N] [--colour N] [--traffic] [--width W --height H] --out FILE.png
// The view is centred on the demo district unless --lon/--lat say otherwise;
// STEP is the draw request's scale step 1..14 (default 10). A JSON line
// with the frame record goes to stdout.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/file_io.h"
#include "render/marker_lists.h"
#include "render/module_draw.h"
#include "render/pass_geometry.h"
#include "settings/module_draw.h"
#include "tools/writers/demo_style.h"

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: render_frame --root DIR [--lon E --lat N] [--scale STEP] [--heading DEG] [--bird] "
                 "[--mode N] [--colour N] [--traffic] [--width W --height H] --out FILE.png\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string root, out;
    double lon = 127.02, lat = 37.516;
    int step = 10, heading = 0, mode = 0, colour = 1, width = 800, height = 480;
    bool bird = false;
    bool traffic = false;   // colour the traffic links by road kind (a fixture congestion)
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool v = i + 1 < argc;
        if (a == "--root" && v) root = argv[++i];
        else if (a == "--out" && v) out = argv[++i];
        else if (a == "--lon" && v) lon = std::atof(argv[++i]);
        else if (a == "--lat" && v) lat = std::atof(argv[++i]);
        else if (a == "--scale" && v) step = std::atoi(argv[++i]);
        else if (a == "--heading" && v) heading = std::atoi(argv[++i]);
        else if (a == "--mode" && v) mode = std::atoi(argv[++i]);
        else if (a == "--colour" && v) colour = std::atoi(argv[++i]);
        else if (a == "--width" && v) width = std::atoi(argv[++i]);
        else if (a == "--height" && v) height = std::atoi(argv[++i]);
        else if (a == "--bird") bird = true;
        else if (a == "--traffic") traffic = true;
        else return Usage();
    }
    if (root.empty() || out.empty() || width <= 0 || height <= 0) return Usage();

    MneDrawInputs inputs;
    inputs.eMapColor = colour;
    inputs.trafficDisplay = traffic ? 1 : 0;
    inputs.themeSwitches = 0x1F;   // every theme category shown
    inputs.headingDeg = ((heading % 360) + 360) % 360;
    inputs.position = {static_cast<int32_t>(std::lround(lon * kMapUnitsPerDegree)),
                       static_cast<int32_t>(std::lround(lat * kMapUnitsPerDegree))};
    MneFixedDrawInputs source(inputs);
    CModuleDraw module(CMgrConfigModuleDraw::Instance(), &source);
    if (traffic) {
        module.SetRendererSetup([](CMneDrawMap& map) {
            InstallGeometryPassesWithLinkColour(map, [](const uint8_t* record) -> uint32_t {
                const int kind = record[18] | (record[19] << 8);
                return kind == 1 ? 0x0000E0u : kind == 2 ? 0x0090F0u : 0x30C030u;   // 0x00BBGGRR
            });
            InstallLabelPasses(map);
        });
    } else {
        module.SetRendererSetup([](CMneDrawMap& map) {
            InstallGeometryPasses(map);
            InstallLabelPasses(map);
        });
    }
    MneDrawInit init;
    init.width = width;
    init.height = height;
    init.dataRoot = root;
    if (!module.Initialize(init)) {
        std::fprintf(stderr, "render_frame: the draw module did not start\n");
        return 1;
    }
    // Wait (bounded) for the renderer to be ready, then for the frame.
    auto waitIdle = [&] {
        for (int i = 0; i < 3000; ++i) {
            const int status = module.GetDrawStatus();
            if (status != 0) return status;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return 0;
    };
    if (waitIdle() != 1) {
        std::fprintf(stderr, "render_frame: the renderer could not open %s (see the trace)\n", root.c_str());
        return 1;
    }
    MneDrawRequest request;
    request.viewMode = static_cast<uint8_t>(mode);
    request.birdView = bird ? 1 : 0;
    request.trafficPass = traffic ? 1 : 0;
    request.northUp = heading == 0 ? 1 : 0;
    request.centreMode = 1;
    request.scaleStep = static_cast<uint16_t>(step);
    request.viewWidth = static_cast<uint16_t>(width);
    request.viewHeight = static_cast<uint16_t>(height);
    request.centre = inputs.position;
    request.carPosition = inputs.position;
    if (!module.RequestDraw(request) || waitIdle() != 1) {
        std::fprintf(stderr, "render_frame: the frame was not drawn\n");
        return 1;
    }
    DibImage565 picture;
    MneFrameRecord record;
    if (!module.CopyPicture(&picture, &record)) return 1;
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint32_t c = ColorFromRgb565(picture.Pixel(x, y));
            uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
            p[0] = c & 0xFF, p[1] = (c >> 8) & 0xFF, p[2] = (c >> 16) & 0xFF;
        }
    }
    const std::vector<uint8_t> png = demostyle::EncodePngRgb(rgb.data(), width, height);
    if (!platform::AtomicReplaceFile(out, png)) {
        std::fprintf(stderr, "render_frame: cannot write %s\n", out.c_str());
        return 1;
    }
    module.StopThread();
    std::printf("{\"out\":\"%s\",\"level\":%d,\"step\":%d,\"frame_ms\":%u,\"gps\":[%d,%d],\"rotation\":%d}\n",
                out.c_str(), record.scaleLevel, record.scaleStep, record.frameMs, record.gpsOnScreen.x,
                record.gpsOnScreen.y, record.rotationDeg);
    return 0;
}
