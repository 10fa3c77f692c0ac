#include <cstdio>
#include <string>
#include <vector>

#include "platform/thread_util.h"
#include "screens/traffic/start_notice.h"
#include "shell/chapter_host.h"
#include "shell/chapter_manager.h"
#include "shell/navi_app.h"

int main(int argc, char** argv) {
    platform::SetCurrentThreadName("WINMAIN");
    std::vector<std::string> args(argv + 1, argv + argc);
    NaviOptions options;
    std::string message;
    if (!ParseNaviOptions(args, options, message)) {
        std::fprintf(stderr, "navi: %s\n", message.c_str());
        return kExitUsage;
    }
    // The screens built so far; every other chapter is a placeholder.
    RegisterTrafficScreens(ChapterFactory::Instance());
    SetChapterMaker(MakeProgramChapters);
    return RunNavi(options);
}
