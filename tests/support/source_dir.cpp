#include "support/source_dir.h"

#include <cstdlib>
#include <filesystem>

#include "platform/paths.h"

namespace testsupport {

std::string SourceFile(const std::string& relative) {
    if (const char* dir = std::getenv("NAVI_SOURCE_DIR"); dir && *dir) {
        const std::filesystem::path candidate = std::filesystem::path(dir) / relative;
        if (std::filesystem::exists(candidate)) return candidate.string();
    }
    std::filesystem::path folder = std::filesystem::path(platform::ExecutablePath()).parent_path();
    while (!folder.empty()) {
        const std::filesystem::path candidate = folder / relative;
        if (std::filesystem::exists(candidate)) return candidate.string();
        if (folder == folder.parent_path()) break;
        folder = folder.parent_path();
    }
    return {};
}

}  // namespace testsupport
