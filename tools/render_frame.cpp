// Draws one map frame of a data root with the draw module, headless, and
// writes the published picture as a PNG.
//
// Usage: render_frame --root DIR [--lon E --lat N] [--scale STEP] [--heading DEG] [--bird]
//                     [--mode N] [--colour N] [--traffic] [--width W --height H]
//                     [--route GUIDE.DAT [--driven FRACTION] [--new-route GUIDE.DAT]] [--course PTS]
//                     [--search PTS] --out FILE.png
// The view is centred on the demo district unless --lon/--lat say otherwise;
// STEP is the draw request's scale step 1..14 (default 10; 0 lets the
// fitting view modes choose). A JSON line with the frame record goes to
// stdout. An output name ending in ".ppm" gets a binary PPM instead of a PNG.
//
// Overlays: --route draws a saved route (its links take their shapes from
// Map/RoadLine.ndb) as the selected route row, or with --driven as the
// route being driven with the car FRACTION (0..1) of the way along;
// --new-route is a newly planned route beside it, which view mode 10 (the
// comparison display) shows over the route being driven. --course (start;via...;goal)
// and --search (points) take LON,LAT pairs separated by ';' for view modes
// 9 and 1.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/file_io.h"
#include "render/marker_lists.h"
#include "render/module_draw.h"
#include "render/overlay_passes.h"
#include "render/pass_geometry.h"
#include "settings/module_draw.h"
#include "tools/writers/demo_style.h"
#include "tools/writers/route_fixture.h"

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: render_frame --root DIR [--lon E --lat N] [--scale STEP] [--heading DEG] [--bird] "
                 "[--mode N] [--colour N] [--traffic] [--width W --height H] [--route GUIDE.DAT [--driven F] "
                 "[--new-route GUIDE.DAT]] "
                 "[--course PTS] [--search PTS] --out FILE.png\n");
    return 2;
}

// "LON,LAT;LON,LAT;..." as map points; false on a malformed pair.
bool ParsePoints(const std::string& text, std::vector<MapPoint>& out) {
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = std::min(text.find(';', at), text.size());
        double lon = 0, lat = 0;
        if (std::sscanf(text.substr(at, end - at).c_str(), "%lf,%lf", &lon, &lat) != 2) return false;
        out.push_back({static_cast<int32_t>(std::lround(lon * kMapUnitsPerDegree)),
                       static_cast<int32_t>(std::lround(lat * kMapUnitsPerDegree))});
        at = end + 1;
    }
    return !out.empty();
}

// The car `fraction` of the way along the route.
MneRouteCar CarAlong(const MneRoutePath& path, double fraction) {
    MneRouteCar car;
    double total = 0;
    for (const auto& seg : path.segments)
        for (int32_t i = seg[0] + 1; i <= seg[1]; ++i)
            total += std::hypot(path.points[i].x - path.points[i - 1].x, path.points[i].y - path.points[i - 1].y);
    double left = std::clamp(fraction, 0.0, 1.0) * total;
    for (size_t s = 0; s < path.segments.size(); ++s) {
        const auto& seg = path.segments[s];
        for (int32_t i = seg[0] + 1; i <= seg[1]; ++i) {
            const MapPoint& a = path.points[i - 1];
            const MapPoint& b = path.points[i];
            const double len = std::hypot(b.x - a.x, b.y - a.y);
            if (left <= len || (s + 1 == path.segments.size() && i == seg[1])) {
                const double t = len > 0 ? std::min(left / len, 1.0) : 0.0;
                car.known = 1;
                car.segment = static_cast<int32_t>(s);
                car.pointOffset = i - 1 - seg[0];
                car.position = {static_cast<int32_t>(std::lround(a.x + (b.x - a.x) * t)),
                                static_cast<int32_t>(std::lround(a.y + (b.y - a.y) * t))};
                return car;
            }
            left -= len;
        }
    }
    return car;
}

}  // namespace

int main(int argc, char** argv) {
    std::string root, out;
    double lon = 127.02, lat = 37.516;
    int step = 10, heading = 0, mode = 0, colour = 1, width = 800, height = 480;
    bool bird = false;
    bool traffic = false;   // colour the traffic links by road kind (a fixture congestion)
    std::string routeFile, newRouteFile, courseText, searchText;
    double driven = -1.0;
    bool centreGiven = false;   // without --lon/--lat a driven route centres on the car
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool v = i + 1 < argc;
        if (a == "--root" && v) root = argv[++i];
        else if (a == "--out" && v) out = argv[++i];
        else if (a == "--lon" && v) lon = std::atof(argv[++i]), centreGiven = true;
        else if (a == "--lat" && v) lat = std::atof(argv[++i]), centreGiven = true;
        else if (a == "--scale" && v) step = std::atoi(argv[++i]);
        else if (a == "--heading" && v) heading = std::atoi(argv[++i]);
        else if (a == "--mode" && v) mode = std::atoi(argv[++i]);
        else if (a == "--colour" && v) colour = std::atoi(argv[++i]);
        else if (a == "--width" && v) width = std::atoi(argv[++i]);
        else if (a == "--height" && v) height = std::atoi(argv[++i]);
        else if (a == "--bird") bird = true;
        else if (a == "--traffic") traffic = true;
        else if (a == "--route" && v) routeFile = argv[++i];
        else if (a == "--new-route" && v) newRouteFile = argv[++i];
        else if (a == "--driven" && v) driven = std::atof(argv[++i]);
        else if (a == "--course" && v) courseText = argv[++i];
        else if (a == "--search" && v) searchText = argv[++i];
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
    // The overlays' inputs.
    MneOverlayInputs overlay;
    overlay.position = inputs.position;
    overlay.selectedOption = 1;
    if (!routeFile.empty()) {
        std::vector<uint32_t> links;
        std::string error;
        auto set = std::make_shared<MneRouteSet>();
        set->version = 1;
        MneRoutePath path;
        path.enabled = 1;
        path.routeOption = 1;
        if (!writers::ReadGuideDatLinks(root, routeFile, links, &error) ||
            !writers::RouteShapes(root, links, path.points, path.segments, &error)) {
            std::fprintf(stderr, "render_frame: %s\n", error.c_str());
            return 1;
        }
        set->rows[0] = path;
        if (driven >= 0.0) {
            set->driven = path;
            set->rows[0].enabled = 0;
            overlay.car = CarAlong(path, driven);
            if (!centreGiven) inputs.position = overlay.position = overlay.car.position;
            overlay.routeState = 3;
            overlay.selectedRoute = -1;
        }
        if (!newRouteFile.empty()) {
            MneRoutePath fresh;
            fresh.enabled = 1;
            fresh.routeOption = 1;
            links.clear();
            if (!writers::ReadGuideDatLinks(root, newRouteFile, links, &error) ||
                !writers::RouteShapes(root, links, fresh.points, fresh.segments, &error)) {
                std::fprintf(stderr, "render_frame: %s\n", error.c_str());
                return 1;
            }
            set->rows[0] = fresh;
        }
        if (mode == 10) overlay.selectedOption = 0;
        overlay.routes = std::move(set);
    }
    std::vector<MapPoint> course, search;
    if ((!courseText.empty() && (!ParsePoints(courseText, course) || course.size() < 2)) ||
        (!searchText.empty() && !ParsePoints(searchText, search)))
        return Usage();
    if (!course.empty()) {
        overlay.courseStart = course.front();
        overlay.courseGoal = course.back();
        overlay.courseTarget = course.back();
        overlay.courseVia.assign(course.begin() + 1, course.end() - 1);
    }
    overlay.searchPoints = search;
    auto overlaySource = std::make_shared<MneFixedOverlayInputs>(overlay);

    MneFixedDrawInputs source(inputs);
    CModuleDraw module(CMgrConfigModuleDraw::Instance(), &source);
    module.SetRendererSetup([traffic, overlaySource](CMneDrawMap& map) {
        if (traffic) {
            InstallGeometryPassesWithLinkColour(map, [](const uint8_t* record) -> uint32_t {
                const int kind = record[18] | (record[19] << 8);
                return kind == 1 ? 0x0000E0u : kind == 2 ? 0x0090F0u : 0x30C030u;   // 0x00BBGGRR
            });
        } else {
            InstallGeometryPasses(map);
        }
        InstallLabelPasses(map);
        InstallOverlayPasses(map, overlaySource);
    });
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
    // A name ending in ".ppm" gets a binary PPM (what the golden tests keep).
    std::vector<uint8_t> file;
    if (out.size() > 4 && out.compare(out.size() - 4, 4, ".ppm") == 0) {
        const std::string head = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
        file.assign(head.begin(), head.end());
        file.insert(file.end(), rgb.begin(), rgb.end());
    } else {
        file = demostyle::EncodePngRgb(rgb.data(), width, height);
    }
    if (!platform::AtomicReplaceFile(out, file)) {
        std::fprintf(stderr, "render_frame: cannot write %s\n", out.c_str());
        return 1;
    }
    module.StopThread();
    std::printf("{\"out\":\"%s\",\"level\":%d,\"step\":%d,\"frame_ms\":%u,\"gps\":[%d,%d],\"rotation\":%d}\n",
                out.c_str(), record.scaleLevel, record.scaleStep, record.frameMs, record.gpsOnScreen.x,
                record.gpsOnScreen.y, record.rotationDeg);
    return 0;
}
