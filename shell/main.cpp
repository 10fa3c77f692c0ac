#include <cstdio>
#include <string>
#include <vector>

#include "platform/thread_util.h"
#include "shell/startup.h"

int main(int argc, char** argv) {
    platform::SetCurrentThreadName("WINMAIN");
    std::vector<std::string> args(argv + 1, argv + argc);
    StartupOptions options;
    std::string message;
    if (!ParseStartupOptions(args, options, message)) {
        std::fprintf(stderr, "navi: %s\n", message.c_str());
        return 2;
    }
    return RunStartup(options);
}
