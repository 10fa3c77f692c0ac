#pragma once
// Set-up shared by the fuzz targets that go through files: a private folder
// made once per process (on disk, or in the in-memory file system so that
// no input touches the disk), input bytes written into it, the settings
// folders pointed at it and the trace kept quiet. Header-only: the fuzz
// build makes one program per *_fuzz.cpp and nothing else.
#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "foundation/debug_trace.h"
#include "foundation/nv_config.h"
#include "platform/memory_files.h"

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

// The process's in-memory file system, mounted on first use: every path
// under its root ("/memfs") is a file in memory for the readers and writers
// of the file layer.
inline platform::MemoryFileSystem& MemoryFiles() {
    static platform::MemoryFileSystem* fs = [] {
        static platform::MemoryFileSystem files("/memfs");
        files.Mount();
        return &files;
    }();
    return *fs;
}

// A folder in memory named after the target ("/memfs/<stem>"), made anew.
inline std::string MakeMemoryFolder(const std::string& stem) {
    const std::string dir = MemoryFiles().PathOf(stem);
    if (!MemoryFiles().MakeFolder(dir)) std::abort();
    return dir;
}

// Writes the bytes as the whole file (in memory for a path under the
// in-memory file system); aborts when it cannot, since a target reading an
// old or missing file would pass without testing the input. A file in
// memory is truncated and written in place, as a file on disk opened for
// writing is: its buffer keeps its size from input to input instead of
// being allocated (and, under ASan, faulted in) anew for every input.
inline void WriteBytes(const std::string& path, const void* data, size_t size) {
    if (platform::MemoryFileSystemFor(path)) {
        std::shared_ptr<platform::MemoryFileData> file =
            MemoryFiles().Open(path, platform::File::Mode::kCreateTruncate);
        if (!file) {
            if (!MemoryFiles().WriteFile(path, data, size)) std::abort();   // makes the folders
            return;
        }
        const auto* bytes = static_cast<const uint8_t*>(data);
        std::lock_guard<std::mutex> lock(file->mutex);
        file->bytes.assign(bytes, bytes + size);
        return;
    }
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    const bool written = size == 0 || std::fwrite(data, 1, size, f) == size;
    if (std::fclose(f) != 0 || !written) std::abort();
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    WriteBytes(path, bytes.data(), bytes.size());
}

// The records a saved settings file loads back as, kept by the file's
// bytes. A store's round trip (what it took must save, and the saved file
// must load back as the same records) is checked on every input, but the
// load of a saved file is a function of its bytes alone (a target's folder,
// clock and default sources stay fixed), and the inputs of a run save as a
// few hundred distinct files: nearly every input would read back a file
// already read. Each distinct file is still loaded once, and every input's
// records are compared with what its own saved file loads as.
template <typename Records>
class ReadBackCache {
public:
    // The records of the file the store saved for the input just loaded:
    // the file as the store's load left it when the load wrote it again
    // (keys were missing: the file is there and no longer the input), else
    // as `save` writes it (which must return 1).
    // `readBack` loads the file in a fresh store and returns its records.
    template <typename Save, typename ReadBack>
    const Records& Saved(const std::string& file, const uint8_t* input, size_t size, Save save,
                         ReadBack readBack) {
        std::vector<uint8_t> saved;
        const bool present = MemoryFiles().ReadFile(file, saved);
        if (!present || (saved.size() == size && (size == 0 || std::memcmp(saved.data(), input, size) == 0))) {
            if (save() != 1 || !MemoryFiles().ReadFile(file, saved)) std::abort();
        }
        auto found = m_records.find(saved);
        if (found != m_records.end()) return found->second;
        // A bound on the memory kept: a run that meets many more files
        // starts again.
        if (m_records.size() >= kMaxFiles) m_records.clear();
        return m_records.emplace(std::move(saved), readBack()).first->second;
    }

private:
    static constexpr size_t kMaxFiles = 4096;
    std::map<std::vector<uint8_t>, Records> m_records;
};

// Drops every trace line: a damaged file is expected on nearly every run.
inline void SilenceTrace() {
    SetDebugTraceSink([](std::string_view) {}, false);
}

// A map-data root for readers that open "Map\..." files under it: a private
// folder in memory with an empty "Map" folder inside.
inline std::string MakeMapRoot(const std::string& stem) {
    std::string dir = MakeMemoryFolder(stem);
    if (!MemoryFiles().MakeFolder(dir + "/Map")) std::abort();
    return dir;
}

// The settings stores' folder for one target, in memory: made on first use,
// set as both the program and the user-data folder, trace silenced. `files`
// are the store's files, removed before and after each run so that every
// input starts from nothing.
class StoreFolder {
public:
    StoreFolder(const std::string& stem, std::initializer_list<const char*> files) : m_dir(MakeMemoryFolder(stem)) {
        for (const char* name : files) m_files.push_back({name, File(name)});
        NvFilePath::SetFolders(NvString::FromUtf8(m_dir), NvString::FromUtf8(m_dir));
        SilenceTrace();
    }

    std::string File(const char* name) const { return m_dir + "/" + name; }
    // The path of one of the store's files is made once, not on every input.
    void Write(const char* name, const uint8_t* data, size_t size) const {
        for (const Named& file : m_files) {
            if (std::strcmp(file.name, name) == 0) return WriteBytes(file.path, data, size);
        }
        WriteBytes(File(name), data, size);
    }
    void Clean() const {
        for (const Named& file : m_files) MemoryFiles().Remove(file.path);
    }

private:
    struct Named {
        const char* name;
        std::string path;
    };
    std::string m_dir;
    std::vector<Named> m_files;   // the store's files
};

}  // namespace fuzzsupport
