#pragma once
// Set-up shared by the fuzz targets that go through files: a private folder
// made once per process, input bytes written into it, the settings folders
// pointed at it and the trace kept quiet. Header-only: the fuzz build makes
// one program per *_fuzz.cpp and nothing else.
#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "foundation/debug_trace.h"
#include "foundation/nv_config.h"

namespace fuzzsupport {

// The folders made below, removed with everything in them when the process
// ends normally; after a crash they stay for a look.
struct TempFolders {
    std::vector<std::string> paths;
    ~TempFolders() {
        for (const std::string& path : paths) {
            std::error_code ec;
            std::filesystem::remove_all(path, ec);
        }
    }
};

inline TempFolders& MadeFolders() {
    static TempFolders folders;
    return folders;
}

// A fresh folder named after the target, in memory (/dev/shm) when the
// system has it, so that millions of runs do not wear a disk; /tmp otherwise.
// Aborts when neither can be made: a target without its folder tests nothing.
inline std::string MakeTempFolder(const std::string& stem) {
    TempFolders& made = MadeFolders();  // made first, so it outlives the callers' statics
    for (const char* parent : {"/dev/shm/", "/tmp/"}) {
        std::string pattern = parent + stem + ".XXXXXX";
        if (mkdtemp(pattern.data())) {
            made.paths.push_back(pattern);
            return pattern;
        }
    }
    std::abort();
}

// Writes the bytes as the whole file; aborts when it cannot, since a target
// reading an old or missing file would pass without testing the input.
inline void WriteBytes(const std::string& path, const void* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    const bool written = size == 0 || std::fwrite(data, 1, size, f) == size;
    if (std::fclose(f) != 0 || !written) std::abort();
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    WriteBytes(path, bytes.data(), bytes.size());
}

// Drops every trace line: a damaged file is expected on nearly every run.
inline void SilenceTrace() {
    SetDebugTraceSink([](std::string_view) {}, false);
}

// A map-data root for readers that open "Map\..." files under it: a fresh
// private folder with an empty "Map" folder inside.
inline std::string MakeMapRoot(const std::string& stem) {
    std::string dir = MakeTempFolder(stem);
    if (mkdir((dir + "/Map").c_str(), 0700) != 0) std::abort();
    return dir;
}

// The settings stores' folder for one target: made on first use, set as both
// the program and the user-data folder, trace silenced. `files` are the
// store's files, removed before and after each run so that every input
// starts from nothing.
class StoreFolder {
public:
    StoreFolder(const std::string& stem, std::initializer_list<const char*> files)
        : m_dir(MakeTempFolder(stem)), m_files(files) {
        NvFilePath::SetFolders(NvString::FromUtf8(m_dir), NvString::FromUtf8(m_dir));
        SilenceTrace();
    }

    std::string File(const char* name) const { return m_dir + "/" + name; }
    void Write(const char* name, const uint8_t* data, size_t size) const { WriteBytes(File(name), data, size); }
    void Clean() const {
        for (const char* name : m_files) std::remove(File(name).c_str());
    }

private:
    std::string m_dir;
    std::vector<const char*> m_files;
};

}  // namespace fuzzsupport
