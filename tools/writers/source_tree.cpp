#include "tools/writers/source_tree.h"

#include <cstdlib>
#include <filesystem>

#include "platform/file_io.h"
#include "platform/paths.h"

namespace writers {

std::string FindSourceTreeFile(const char* rel) {
    if (const char* dir = std::getenv("NAVI_SOURCE_DIR"); dir && *dir) {
        const std::string path = std::string(dir) + "/" + rel;
        if (platform::FileExists(path)) return path;
    }
    std::filesystem::path folder = std::filesystem::path(platform::ExecutablePath()).parent_path();
    for (int up = 0; up < 8 && !folder.empty(); ++up, folder = folder.parent_path()) {
        const std::filesystem::path candidate = folder / rel;
        if (std::filesystem::exists(candidate)) return candidate.string();
        if (folder == folder.parent_path()) break;
    }
    return {};
}

}  // namespace writers
