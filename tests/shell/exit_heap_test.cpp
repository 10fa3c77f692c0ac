// The program heap is empty when a run ends: the program (a short headless
// run on the demo data root, start-up to shut-down) and the tools that open
// map data and draw frames end without the heap's leak report, which a block left allocated
// (the open map's caches, the draw module's published label caches) prints
// at process exit.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/wait.h>

#include "platform/paths.h"
#include "support/temp_dir.h"

namespace {

std::string BuildDir() {
    const std::string exe = platform::ExecutablePath();
    const std::string tests = exe.substr(0, exe.rfind('/'));
    return tests.substr(0, tests.rfind('/'));
}

struct ChildRun {
    int exitCode = -1;
    std::string output;   // stdout and stderr
};

ChildRun RunCommand(const std::string& command) {
    ChildRun run;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, n);
    const int status = ::pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST(ExitHeap, TheProgramAndTheDrawingToolsEndWithAnEmptyHeap) {
    testsupport::TempDir dir;
    const std::string root = dir.File("root");
    const std::string build = BuildDir();
    const ChildRun made = RunCommand(build + "/tools/make_demo_root " + root);
    ASSERT_EQ(made.exitCode, 0) << made.output;
    const struct {
        const char* name;
        std::string command;
        const char* done;   // a line the run prints when it did its work
    } runs[] = {
        {"render_frame",
         build + "/tools/render_frame --root " + root + " --scale 10 --traffic --route " + root +
             "/Guide.dat --out " + dir.File("frame.png"),
         "\"out\""},
        {"route", build + "/tools/route --root " + root + " --from 127.005,37.503 --to 127.03,37.52", "\"cost\""},
        // Last: the program's start-up drops the demo's saved route (it has
        // no current course) and deletes "Guide.dat", which render_frame reads.
        {"navi", build + "/shell/navi --root " + root + " --headless --ipc " + dir.File("ipc") + " --screenshot " + dir.File("shot.png") + " --after 2000",
         "ended with 0"},
    };
    for (const auto& r : runs) {
        SCOPED_TRACE(r.name);
        const ChildRun run = RunCommand(r.command);
        EXPECT_EQ(run.exitCode, 0) << run.output;
        EXPECT_NE(run.output.find(r.done), std::string::npos) << run.output;
        EXPECT_EQ(run.output.find("MgrMemory Leak"), std::string::npos) << run.output;
    }
}

}  // namespace
