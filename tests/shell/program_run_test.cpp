// The program run whole on the demo data root, headless, by scripts on the
// program's own clock: the splash, the start-up of every engine module and
// its failure, the hidden start, one instance per runtime folder, and a
// shut-down that stops every module and reports no leak.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/file_io.h"
#include "platform/paths.h"
#include "shell/navi_app.h"
#include "support/cached_folder.h"
#include "support/golden_ppm.h"
#include "support/temp_dir.h"
#include "tests/shell/navi_process.h"
#include "tools/writers/app_files_writer.h"

namespace {

using navitest::BuiltProgram;
using navitest::ChildProcess;

bool WriteDemoRoot(const std::string& dir) {
    ChildProcess make(BuiltProgram("tools/make_demo_root"), {dir});
    if (make.Wait(600000) != 0) return false;
    ChildProcess fonts(BuiltProgram("tools/font_convert"), {"--demo", "/usr/share/fonts/truetype/nanum", dir + "/Font"});
    return fonts.Wait(600000) == 0;
}

class ProgramRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = dir.File("root");
        navitest::ProgramLock lock;
        ASSERT_TRUE(testsupport::CopyCachedFolder("demo-root", WriteDemoRoot, root));
    }
    // Runs the program headless on the script; its exit code.
    int Run(const std::string& script, std::vector<std::string> extra = {}) {
        dir.Write("script.txt", script);
        std::vector<std::string> args = {"--root", root, "--headless", "--ipc", dir.File("ipc"),
                                         "--script", dir.File("script.txt"), "--trace", "2"};
        args.insert(args.end(), extra.begin(), extra.end());
        ChildProcess navi(BuiltProgram("shell/navi"), args);
        const int code = navi.Wait();
        output = navi.Output();
        return code;
    }
    bool Has(const std::string& text) const { return output.find(text) != std::string::npos; }
    void ExpectEveryModuleStopped(const std::vector<std::string>& modules) {
        for (const std::string& m : modules) EXPECT_TRUE(Has("[SHUTDOWN] " + m + " stopped")) << m;
        EXPECT_FALSE(Has("did not stop"));
        EXPECT_FALSE(Has("Leak[")) << "a memory heap reported a leak";
    }

    testsupport::TempDir dir;
    std::string root;
    std::string output;
};

const std::vector<std::string> kAllModules = {"map data", "route planning", "guidance", "positioning",
                                              "drawing",  "search"};

TEST_F(ProgramRunTest, SplashThenEveryModuleStartsAndStops) {
    const std::string shot = dir.File("splash.ppm");
    const int code = Run("expect-shown 1\n"
                         "expect-pixel 400 230 F0F0F5\n"   // the band across the picture
                         "expect-pixel 400 470 464646\n"   // the road
                         "screenshot " + shot + "\n"
                         "wait 1000\n"
                         "expect-chapter 3\n"   // the start notice after event 0
                         "quit\n");
    EXPECT_EQ(code, 0) << output;
    for (const std::string& m : kAllModules) EXPECT_TRUE(Has("[STARTUP] " + m + " ready")) << m;
    ExpectEveryModuleStopped(kAllModules);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(platform::ReadWholeFile(shot, bytes));
    testsupport::PpmImage image;
    ASSERT_TRUE(testsupport::DecodePpm(bytes, &image));
    const testsupport::GoldenResult golden =
        testsupport::CompareWithGolden(image, "tests/shell/golden/splash.ppm", "splash");
    EXPECT_TRUE(golden.ok) << golden.message;
}

// Every start mode ends on a map screen: the normal start through the start
// notice (its button, or its five-second time-out), the demonstration start
// through the notice too, the hidden start on the hidden map.
TEST_F(ProgramRunTest, EveryStartModeReachesAMapScreen) {
    struct Case {
        const char* name;
        std::vector<std::pair<std::string, int>> settings;
        const char* script;
    };
    const Case cases[] = {
        {"normal start, the notice's button", {},
         "wait 1000\nexpect-chapter 3\ntouch 400 388\nwait 300\nexpect-chapter 16\nquit\n"},
        {"normal start, the notice's time-out", {},
         "wait 1000\nexpect-chapter 3\nwait 6000\nexpect-chapter 16\nquit\n"},
        {"demonstration start", {{"DEMO", 1}},
         "wait 1000\nexpect-chapter 5\nwait 6000\nexpect-chapter 3\nwait 6000\nexpect-chapter 16\nquit\n"},
        {"hidden start", {{"HIDEMODE", 1}}, "wait 1000\nexpect-chapter 4\nquit\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(appwriter::WriteAppSettings(root, c.settings));
        EXPECT_EQ(Run(c.script), 0) << output;
    }
}

TEST_F(ProgramRunTest, ModuleThatFailsEndsTheStartUpWithAMessageAndANonZeroExit) {
    // Without its base map the draw thread ends: the drawing module reports
    // -1, which is a failure, not a finished frame.
    ASSERT_TRUE(platform::RemoveFile(platform::ResolveUnder(root, "MAP\\Base.map")));
    const int code = Run("wait 1000\n"
                         "expect-shown 1\n"
                         "expect-pixel 400 240 600000\n"
                         "quit\n");
    EXPECT_EQ(code, kExitStartupFailed) << output;
    EXPECT_TRUE(Has("The program could not start: drawing failed (-1)")) << output;
    ExpectEveryModuleStopped({"drawing", "positioning", "guidance", "route planning", "map data"});
    EXPECT_FALSE(Has("search ready"));
}

TEST_F(ProgramRunTest, HiddenStartShowsNoSplash) {
    ASSERT_TRUE(appwriter::WriteAppSettings(root, {{"HIDEMODE", 1}}));
    const int code = Run("expect-shown 0\n"
                         "wait 1000\n"
                         "quit\n");
    EXPECT_EQ(code, 0) << output;
}

TEST_F(ProgramRunTest, ClosingDuringTheStartUpStopsWhatStarted) {
    // The first step closes the window while the start-up thread works.
    const int code = Run("close\n");
    EXPECT_EQ(code, 0) << output;
    EXPECT_FALSE(Has("did not end"));
    EXPECT_FALSE(Has("did not stop"));
    EXPECT_FALSE(Has("Leak["));
}

TEST_F(ProgramRunTest, DamagedSavedRouteIsNotResumedAndTheProgramStarts) {
    dir.Write("root/Guide.dat", "not a saved route");
    const int code = Run("wait 1000\nquit\n");
    EXPECT_EQ(code, 0) << output;
    EXPECT_TRUE(Has("[STARTUP] no saved route")) << output;
    EXPECT_TRUE(Has("[STARTUP] search ready"));
}

TEST_F(ProgramRunTest, SecondInstanceBringsTheFirstToTheFrontAndEnds) {
    const std::vector<std::string> args = {"--root", root, "--headless", "--ipc", dir.File("ipc"), "--trace", "2"};
    ChildProcess first(BuiltProgram("shell/navi"), args);
    ASSERT_TRUE(first.WaitFor("[MAIN] data root")) << first.Output();
    ChildProcess second(BuiltProgram("shell/navi"), args);
    EXPECT_EQ(second.Wait(), 0) << second.Output();
    EXPECT_NE(second.Output().find("another instance runs"), std::string::npos) << second.Output();
    EXPECT_TRUE(first.WaitFor("[FRAME] brought to the front")) << first.Output();
    first.Signal(SIGTERM);
    EXPECT_EQ(first.Wait(), 0) << first.Output();
}

TEST_F(ProgramRunTest, BadScriptIsRefusedWithItsLine) {
    EXPECT_EQ(Run("wait 10\ntap 1 2\n"), kExitUsage);
    EXPECT_TRUE(Has("line 2")) << output;
}

}  // namespace
