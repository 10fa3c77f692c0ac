// Golden frames of the demo district drawn by tools/render_frame (a child
// process, as a person would run it): the geometry passes at three scale
// steps north-up, heading-up at 90 degrees, the night colours, the
// bird's-eye view, buildings close up and the traffic links coloured by the
// tool's fixture congestion. Each frame is compared with its PNG under
// tests/render/golden: at most 0.5 % of the pixels may differ by more than 8
// in a channel. NAVI_UPDATE_GOLDEN=1 rewrites the goldens (look at them
// before committing); a mismatch leaves the frame and a difference image
// (red where it differs) in the test's working folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/file_io.h"
#include "platform/paths.h"
#include "support/source_dir.h"
#include "support/temp_dir.h"
#include "tools/writers/demo_style.h"
#include "tools/writers/layer_writer.h"
#include "uikit/golden_png.h"

namespace {

std::string RenderTool() {
    const std::string exe = platform::ExecutablePath();
    return exe.substr(0, exe.rfind('/')) + "/../tools/render_frame";
}

struct GoldenCase {
    const char* name;
    const char* args;
};

const GoldenCase kCases[] = {
    {"district_step8", "--scale 8"},
    {"district_step10", "--scale 10"},
    {"district_step12", "--scale 12 --lon 127.0205 --lat 37.5165"},
    {"heading_90", "--scale 10 --heading 90"},
    {"night_step10", "--scale 10 --colour 2"},
    {"bird_step11", "--scale 11 --bird --heading 30 --lon 127.0195 --lat 37.5150"},
    {"buildings_step13", "--scale 13 --lon 127.0020 --lat 37.50172"},
    {"buildings_step13_bird", "--scale 13 --bird --lon 127.0020 --lat 37.5012"},
    {"towers_step13_bird", "--scale 13 --bird --lon 127.0125 --lat 37.5166"},
    {"traffic_step10", "--scale 10 --traffic"},
};

class RenderFrameGolden : public testing::TestWithParam<GoldenCase> {
protected:
    static void SetUpTestSuite() {
        s_dir = new testsupport::TempDir;
        std::filesystem::create_directories(s_dir->File("Map"));
        std::filesystem::create_directories(s_dir->File("Config"));
        std::string error;
        ASSERT_TRUE(demostyle::WriteDemoStyle(s_dir->Path(), &error)) << error;
        ASSERT_TRUE(writers::WriteDemoLayers(s_dir->Path(), &error)) << error;
    }
    static void TearDownTestSuite() {
        delete s_dir;
        s_dir = nullptr;
    }
    static testsupport::TempDir* s_dir;
};
testsupport::TempDir* RenderFrameGolden::s_dir = nullptr;

std::vector<uint8_t> EncodeRgb(const uitest::Rgb8Image& image) {
    return demostyle::EncodePngRgb(image.rgb.data(), image.width, image.height);
}

TEST_P(RenderFrameGolden, MatchesItsGolden) {
    const GoldenCase& c = GetParam();
    ASSERT_NE(s_dir, nullptr);
    const std::string out = s_dir->File(std::string(c.name) + ".png");
    const std::string command = RenderTool() + " --root " + s_dir->Path() + " " + c.args + " --out " + out +
                                " >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::vector<uint8_t> file;
    uitest::Rgb8Image drawn, golden;
    ASSERT_TRUE(platform::ReadWholeFile(out, file));
    ASSERT_TRUE(uitest::DecodePng(file, drawn));
    const std::string relative = std::string("tests/render/golden/frame_") + c.name + ".png";
    if (const char* update = std::getenv("NAVI_UPDATE_GOLDEN"); update && std::string(update) == "1") {
        const std::string folder = testsupport::SourceFile("tests/render/golden");
        ASSERT_FALSE(folder.empty());
        ASSERT_TRUE(platform::AtomicReplaceFile(folder + "/frame_" + c.name + ".png", file));
    }
    std::vector<uint8_t> goldenFile;
    const std::string path = testsupport::SourceFile(relative);
    ASSERT_FALSE(path.empty()) << relative << " is missing (NAVI_UPDATE_GOLDEN=1 writes it)";
    ASSERT_TRUE(platform::ReadWholeFile(path, goldenFile));
    ASSERT_TRUE(uitest::DecodePng(goldenFile, golden));
    ASSERT_EQ(golden.width, drawn.width);
    ASSERT_EQ(golden.height, drawn.height);
    uitest::Rgb8Image diff = drawn;
    size_t off = 0;
    for (size_t i = 0; i < drawn.rgb.size(); i += 3) {
        bool bad = false;
        for (size_t k = 0; k < 3; ++k) bad |= std::abs(int(drawn.rgb[i + k]) - int(golden.rgb[i + k])) > 8;
        if (bad) {
            ++off;
            diff.rgb[i] = 255, diff.rgb[i + 1] = 0, diff.rgb[i + 2] = 0;
        }
    }
    const size_t pixels = static_cast<size_t>(drawn.width) * drawn.height;
    EXPECT_LE(off * 200, pixels) << off << " of " << pixels << " pixels differ";
    if (off * 200 > pixels) {
        platform::AtomicReplaceFile(std::string(c.name) + ".actual.png", file);
        platform::AtomicReplaceFile(std::string(c.name) + ".diff.png", EncodeRgb(diff));
    }
}

INSTANTIATE_TEST_SUITE_P(DemoDistrict, RenderFrameGolden, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<GoldenCase>& info) { return std::string(info.param.name); });

}  // namespace
