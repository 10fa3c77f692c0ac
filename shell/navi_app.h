#pragma once
// The program: one instance at a time, the settings of the data root, the
// frame and the main window, the splash, the toolkit, the start-up thread,
// the message loop until the window closes, and the whole shut-down.
//
// A scripted run (--script, or --screenshot with --after) runs headless or
// in the window on a clock the script moves: each "wait" runs the loop's
// timers at their deadlines, and while the start-up thread works the clock
// stands still, so a run does the same on any machine.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class ShellChapters;

struct NaviOptions {
    std::string dataRoot;        // native; empty: the program's parent folder
    int traceLevel = 3;
    std::string ipcFolder;       // runtime folder; empty: DefaultRuntimeFolder()
    bool headless = false;
    std::string scriptPath;
    std::string screenshotPath;
    int32_t screenshotAfterMs = -1;
    bool messageBox = true;      // the resolution refusal also as a message box
    uint32_t moduleWaitMs = 30000;
};

// Exit codes besides 0.
inline constexpr int kExitUsage = 2;
inline constexpr int kExitFrameRefused = 3;
inline constexpr int kExitStartupFailed = 4;
inline constexpr int kExitScriptFailed = 5;
inline constexpr int kExitNoRoot = 6;

bool ParseNaviOptions(const std::vector<std::string>& args, NaviOptions& options, std::string& message);

// Makes the chapters on the start-up thread (the chapter manager with its
// table and first chapter); the program's entry installs it.
using ChapterMaker = std::function<std::unique_ptr<ShellChapters>()>;
void SetChapterMaker(ChapterMaker maker);

// The process exit code.
int RunNavi(const NaviOptions& options);
