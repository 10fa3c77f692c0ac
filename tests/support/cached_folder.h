#pragma once
// Test data that takes seconds to write (a UI root drawn with AGG, fonts
// converted from TrueType) written once per test program instead of once
// per test: ctest runs every test in a process of its own, so the first
// process of a program writes the folder beside the program and the others
// copy it.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <system_error>

namespace testsupport {

namespace detail {

namespace fs = std::filesystem;

// "<program folder>/test-cache/<program>-<size>-<mtime>/<key>": a rebuilt
// program gets a fresh cache.
inline std::string CacheFolderOfThisProgram(const std::string& key) {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    struct stat st {};
    if (ec || stat(exe.c_str(), &st) != 0) return {};
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "-%lld-%lld.%09ld", static_cast<long long>(st.st_size),
                  static_cast<long long>(st.st_mtim.tv_sec), st.st_mtim.tv_nsec);
    return (exe.parent_path() / "test-cache" / (exe.filename().string() + stamp) / key).string();
}

}  // namespace detail

// Copies the cached folder named `key` into `target` (made if missing),
// writing the cache first with `write` when this build of the program has
// none. The cache belongs to the program file: a rebuilt program writes it
// again. False when `write` fails or the copy does.
// (Header-only: the benchmarks use it without the test support library.)
inline bool CopyCachedFolder(const std::string& key, const std::function<bool(const std::string& dir)>& write,
                             const std::string& target) {
    std::error_code ec;
    namespace fs = std::filesystem;
    const std::string cache = detail::CacheFolderOfThisProgram(key);
    if (cache.empty()) {
        fs::create_directories(target, ec);
        return write(target);
    }
    if (!fs::is_directory(cache, ec)) {
        // Caches of earlier builds of this program go first.
        const fs::path stamped = fs::path(cache).parent_path();
        const std::string program = stamped.filename().string();
        const std::string stem = program.substr(0, program.find('-'));
        for (const fs::directory_entry& entry : fs::directory_iterator(stamped.parent_path(), ec)) {
            const std::string name = entry.path().filename().string();
            if (name != program && name.rfind(stem + "-", 0) == 0) fs::remove_all(entry.path(), ec);
        }
        // Written under a private name and renamed into place whole, so a
        // process running beside this one sees the cache complete or not
        // at all; the loser of a race drops its copy.
        const std::string part = cache + ".part" + std::to_string(getpid());
        fs::remove_all(part, ec);
        fs::create_directories(part, ec);
        if (!write(part)) {
            fs::remove_all(part, ec);
            return false;
        }
        if (std::rename(part.c_str(), cache.c_str()) != 0) fs::remove_all(part, ec);
        if (!fs::is_directory(cache, ec)) return false;
    }
    fs::create_directories(target, ec);
    fs::copy(cache, target, fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
    return !ec;
}

}  // namespace testsupport
