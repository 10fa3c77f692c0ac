#include "shell/startup.h"

#include "foundation/crash_report.h"
#include "foundation/debug_trace.h"
#include "foundation/system_settings.h"
#include "platform/codepage.h"
#include "platform/paths.h"

namespace {

// The command line stands in for the shell's settings file for now.
FixedSystemSettings g_commandLineSettings;

// The data root: the ROOTPATH item, else the parent of the program folder.
std::string DataRoot() {
    char16_t buffer[platform::kMaxPath] = {};
    if (GetSystemSettingString(SYS_ROOTPATH, buffer, static_cast<int>(platform::kMaxPath)) == 0 && buffer[0]) {
        return platform::Utf16ToUtf8(buffer);
    }
    std::u16string parent;
    GetModuleParentFolder(parent);
    return platform::Utf16ToUtf8(parent);
}

}  // namespace

bool ParseStartupOptions(const std::vector<std::string>& args, StartupOptions& options, std::string& message) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--root" && i + 1 < args.size()) {
            options.dataRoot = args[++i];
        } else if (args[i] == "--trace" && i + 1 < args.size()) {
            options.traceLevel = std::atoi(args[++i].c_str());
        } else {
            message = "unknown argument '" + args[i] + "' (use --root DIR, --trace N)";
            return false;
        }
    }
    return true;
}

int RunStartup(const StartupOptions& options) {
    if (!options.dataRoot.empty()) {
        g_commandLineSettings.SetText(SYS_ROOTPATH, platform::Utf8ToUtf16(options.dataRoot));
    }
    SetSystemSettingsSource(&g_commandLineSettings);
    SetDebugTraceLevel(options.traceLevel);
    InstallCrashHandler();

    const std::string root = DataRoot();
    DebugTrace(0, "[MAIN] data root: %s\n", root.c_str());
    if (!platform::IsDirectory(root)) {
        DebugTrace(0, "[MAIN] the data root is not a folder: %s\n", root.c_str());
        return 2;
    }
    static const char* const kFolders[] = {"App", "UI", "MAP", "User\\Navi\\Config", "Navi\\Config", "APP"};
    int missing = 0;
    for (const char* folder : kFolders) {
        const std::string path = platform::ResolveUnder(root, folder);
        const bool found = platform::IsDirectory(path);
        missing += found ? 0 : 1;
        DebugTrace(0, "[MAIN] %-18s %s\n", folder, found ? path.c_str() : "(missing)");
    }
    DebugTrace(0, "[MAIN] start-up done: %d folder(s) missing\n", missing);
    return 0;
}
