#include "platform/paths.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/memory_files.h"

namespace platform {
namespace {

bool Exists(const std::string& path) {
    if (MemoryFileSystem* memory = MemoryFileSystemFor(path)) {
        return memory->KindOf(path) != MemoryFileSystem::Kind::kMissing;
    }
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

// The entry of folder whose name equals name without regard to ASCII case,
// or name itself when none does.
std::string MatchComponent(const std::string& folder, const std::string& name) {
    const std::string probe = folder.empty() ? name : (folder == "/" ? "/" + name : folder + "/" + name);
    if (MemoryFileSystem* memory = MemoryFileSystemFor(probe)) return memory->MatchEntry(folder, name);
    if (Exists(probe)) return name;
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return name;
    std::string found = name;
    while (dirent* entry = readdir(dir)) {
        if (strcasecmp(entry->d_name, name.c_str()) == 0) {
            found = entry->d_name;
            break;
        }
    }
    closedir(dir);
    return found;
}

}  // namespace

bool NativePath(std::string_view windowsName, std::string& out) {
    out.clear();
    if (windowsName.size() >= kMaxPath) return false;
    const bool absolute = !windowsName.empty() && (windowsName[0] == '\\' || windowsName[0] == '/');
    // The components between separators, empty ones left out.
    const auto forEachPart = [windowsName](auto&& visit) {
        for (size_t start = 0; start < windowsName.size();) {
            size_t end = windowsName.find_first_of("\\/", start);
            if (end == std::string_view::npos) end = windowsName.size();
            if (end > start) visit(windowsName.substr(start, end - start));
            start = end + 1;
        }
    };

    // A path that exists as written resolves to itself: one look-up instead
    // of one a component.
    std::string path = absolute ? "/" : "";
    path.reserve(windowsName.size() + 1);
    bool anyPart = false;
    forEachPart([&](std::string_view part) {
        if (anyPart) path += '/';
        path += part;
        anyPart = true;
    });
    if (anyPart && Exists(path)) {
        out = std::move(path);
        return true;
    }
    path.assign(absolute ? 1 : 0, '/');
    forEachPart([&](std::string_view part) {
        if (part == "." || part == "..") {
            path = path.empty() ? std::string(part) : (path == "/" ? "/" : path + "/") + std::string(part);
            return;
        }
        const std::string name = MatchComponent(path, std::string(part));
        if (path.empty()) {
            path = name;
        } else if (path == "/") {
            path += name;
        } else {
            path += "/" + name;
        }
    });
    out = path;
    return true;
}

std::string NativePath(std::string_view windowsName) {
    std::string out;
    NativePath(windowsName, out);
    return out;
}

std::string ResolveUnder(std::string_view root, std::string_view relativeName) {
    std::string joined(root);
    joined += '/';
    joined += relativeName;
    return NativePath(joined);
}

std::string ExecutablePath() {
    std::vector<char> buf(4096);
    const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n <= 0) return {};
    return std::string(buf.data(), static_cast<size_t>(n));
}

bool FileExists(const std::string& nativePath) { return Exists(nativePath); }

bool IsDirectory(const std::string& nativePath) {
    if (MemoryFileSystem* memory = MemoryFileSystemFor(nativePath)) {
        return memory->KindOf(nativePath) == MemoryFileSystem::Kind::kFolder;
    }
    struct stat st {};
    return stat(nativePath.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsRegularFile(const std::string& nativePath) {
    if (MemoryFileSystem* memory = MemoryFileSystemFor(nativePath)) {
        return memory->KindOf(nativePath) == MemoryFileSystem::Kind::kFile;
    }
    struct stat st {};
    return stat(nativePath.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool MakeDirectories(const std::string& nativePath) {
    if (nativePath.empty()) return false;
    // Usually the folder is there already: one look-up instead of one a
    // component.
    if (IsDirectory(nativePath)) return true;
    std::string prefix;
    size_t pos = 0;
    while (pos <= nativePath.size()) {
        const size_t next = nativePath.find('/', pos);
        const size_t end = next == std::string::npos ? nativePath.size() : next;
        prefix.assign(nativePath, 0, end);
        if (!prefix.empty() && !IsDirectory(prefix)) {
            if (MemoryFileSystem* memory = MemoryFileSystemFor(prefix)) {
                if (!memory->MakeFolder(prefix)) return false;
            } else if (mkdir(prefix.c_str(), 0755) != 0 && errno != EEXIST) {
                return false;
            }
            if (!IsDirectory(prefix)) return false;
        }
        if (next == std::string::npos) break;
        pos = next + 1;
    }
    return IsDirectory(nativePath);
}

}  // namespace platform
