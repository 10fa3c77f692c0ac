// Frames with the route and the planning overlays (view modes 1 and 9), drawn by tools/render_frame
// on the demo data root's map, style, layers and saved route, against golden
// pictures (tests/render/golden/*.ppm; tolerance in support/golden_ppm.h).
// The demo root's saved route crosses the district; a second route between
// the same ends is written beside it for the comparison display.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "platform/file_io.h"
#include "platform/paths.h"
#include "settings/guide_dat.h"
#include "support/golden_ppm.h"
#include "tools/writers/demo_labels.h"
#include "tools/writers/demo_map.h"
#include "tools/writers/demo_style.h"
#include "tools/writers/layer_writer.h"
#include "tools/writers/route_data_writer.h"
#include "tools/writers/route_fixture.h"
#include "tools/writers/settings_writer.h"

namespace {

std::string ToolPath(const char* name) {
    const std::string exe = platform::ExecutablePath();
    return exe.substr(0, exe.rfind('/')) + "/../tools/" + name;
}

class RouteFrameGoldenTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        s_root = (std::filesystem::temp_directory_path() / ("navi_route_golden_" + std::to_string(::getpid()))).string();
        std::filesystem::remove_all(s_root);
        // What the frames read of the demo root, written here (the UI
        // pictures, which need the source tree, are not among it).
        std::string error;
        s_ready = platform::MakeDirectories(s_root + "/MAP") && settingswriter::WriteDemoSettings(s_root, &error) &&
                  writers::WriteDemoMap(s_root, &error) && writers::WriteDemoRouteData(s_root, &error) &&
                  demostyle::WriteDemoStyle(s_root, &error) && writers::WriteMapFont(s_root, &error) &&
                  writers::WriteDemoLayers(s_root, &error) && writers::WriteDemoGuideDat(s_root, &error);
        if (!s_ready) ADD_FAILURE() << error;
        // The other route, saved the way guidance saves routes.
        GuideDatRecord record;
        record.mapVersion = writers::MapVersionOf(s_root);
        for (uint32_t id : writers::DemoAlternativeRouteLinks()) record.links.push_back(static_cast<int32_t>(id));
        std::vector<uint8_t> bytes;
        s_ready = s_ready && !record.links.empty() && EncodeGuideDat(record, bytes) &&
                  platform::AtomicReplaceFile(s_root + "/Other.dat", bytes);
    }
    static void TearDownTestSuite() { std::filesystem::remove_all(s_root); }

    static std::string s_root;
    static bool s_ready;
};
std::string RouteFrameGoldenTest::s_root;
bool RouteFrameGoldenTest::s_ready = false;

TEST_F(RouteFrameGoldenTest, FramesMatchTheirGoldens) {
    ASSERT_TRUE(s_ready) << "the demo root or the second route could not be written";
    const std::string route = " --route " + s_root + "/Guide.dat";
    const struct {
        const char* name;
        std::string args;
    } cases[] = {
        // The car 45 % of the way along: driven part behind it, part ahead.
        {"route_2d", route + " --driven 0.45 --scale 10"},
        // An arrow mark lies on the band just ahead of the car.
        {"route_bird", route + " --driven 0.47 --scale 10 --bird --heading 90"},
        // The new route over the route being driven, the view fitted to them.
        {"route_compare", route + " --driven 0.45 --new-route " + s_root + "/Other.dat --mode 10 --scale 0"},
        // The route fills the view, at the level the fitting chose.
        {"route_fit", route + " --mode 4 --scale 0"},
        // Search results joined and numbered, fitted.
        {"view_mode_1", " --mode 1 --scale 0 --search '127.005,37.503;127.018,37.512;127.031,37.509;127.036,37.526'"},
        // A course of start, two via points and destination, fitted.
        {"view_mode_9", " --mode 9 --scale 0 --course '127.002,37.501;127.015,37.517;127.03,37.52;127.04,37.532'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string out = std::string(c.name) + ".ppm";
        const std::string command = ToolPath("render_frame") + " --root " + s_root + " --width 400 --height 240" +
                                    c.args + " --out " + out + " > /dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        std::vector<uint8_t> bytes;
        testsupport::PpmImage image;
        ASSERT_TRUE(platform::ReadWholeFile(out, bytes));
        ASSERT_TRUE(testsupport::DecodePpm(bytes, &image));
        const testsupport::GoldenResult r =
            testsupport::CompareWithGolden(image, std::string("tests/render/golden/") + out, c.name);
        EXPECT_TRUE(r.ok) << r.message;
    }
}

}  // namespace
