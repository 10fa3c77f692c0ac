#pragma once
// A file system held in memory, for tests and fuzz targets. While one is
// mounted, every native path at or under its root ("/memfs" by default) is
// served from memory by the file layer: File, ReadWholeFile,
// AtomicReplaceFile, RenameFile, RemoveFile, FileExists, IsDirectory,
// IsRegularFile, MakeDirectories and the case-insensitive NativePath. Paths
// elsewhere reach the disk as before, and nothing is mounted unless a test
// or fuzz target mounts it, so the program always works on real files.
//
// It behaves as the disk does where the program can tell: a file is created
// only in an existing folder, a folder is never opened, read, replaced or
// removed as a file, a replace or rename leaves readers that opened the old
// file reading the old bytes, and failures set errno (ENOENT, EISDIR,
// ENOTDIR, EXDEV) for the callers' messages. No temporary file of an atomic
// replace is ever seen.
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_io.h"

namespace platform {

// The bytes of one file in memory, shared by the folder entry and the open
// Files reading it.
struct MemoryFileData {
    std::mutex mutex;
    std::vector<uint8_t> bytes;   // guarded by mutex
};

class MemoryFileSystem {
public:
    explicit MemoryFileSystem(std::string root = "/memfs");
    ~MemoryFileSystem();   // unmounts itself
    MemoryFileSystem(const MemoryFileSystem&) = delete;
    MemoryFileSystem& operator=(const MemoryFileSystem&) = delete;

    // The absolute native folder the files live under; it always exists.
    const std::string& Root() const { return m_root; }
    // Root joined with a relative native name ("User/RegDest.udt").
    std::string PathOf(std::string_view relative) const;
    // Whether a native path is the root or lies under it.
    bool Holds(std::string_view nativePath) const;

    // Serves the root's paths from now on, in place of any other mounted
    // file system; Unmount hands them back to the disk.
    void Mount();
    void Unmount();

    // Set-up for a test or fuzz input: removes every file and folder under
    // the root, or writes a whole file, making its folders. WriteFile is
    // false outside the root or where a folder stands at the path or a file
    // along it.
    void Clear();
    bool WriteFile(const std::string& nativePath, const void* data, size_t size);
    bool WriteFile(const std::string& nativePath, std::string_view bytes) {
        return WriteFile(nativePath, bytes.data(), bytes.size());
    }
    // The whole file; false for a missing file or a folder.
    bool ReadFile(const std::string& nativePath, std::vector<uint8_t>& out) const;
    // Number of files (not folders) held.
    size_t FileCount() const;

    // --- What the file layer calls for paths this file system holds. Each
    // sets errno when it fails.
    enum class Kind { kMissing, kFile, kFolder };
    Kind KindOf(const std::string& nativePath) const;
    // The file's bytes opened as mode asks: kRead and kReadWrite need the
    // file; kCreateTruncate needs its folder and empties an existing file.
    std::shared_ptr<MemoryFileData> Open(const std::string& nativePath, File::Mode mode);
    // The whole file replaced at once by fresh bytes.
    bool Replace(const std::string& nativePath, const void* data, size_t size);
    // rename(2): a file or a folder with everything in it; a file replaces
    // a file at the target.
    bool Rename(const std::string& from, const std::string& to);
    // unlink(2): files only.
    bool Remove(const std::string& nativePath);
    // mkdir(2) of one folder whose parent exists; true when it exists after.
    bool MakeFolder(const std::string& nativePath);
    // The name of the entry of folder that equals name without regard to
    // ASCII case (an exact match first), or name when none does.
    std::string MatchEntry(const std::string& folder, const std::string& name) const;

private:
    struct Node {
        bool folder = false;
        std::shared_ptr<MemoryFileData> data;   // files only
    };
    Kind KindLocked(std::string_view path) const;
    bool ParentIsFolderLocked(std::string_view path) const;
    // The file at path (its folder checked by the caller) becomes the bytes.
    bool PutFileLocked(std::string_view path, const void* data, size_t size);

    std::string m_root;
    mutable std::mutex m_mutex;
    std::map<std::string, Node, std::less<>> m_nodes;   // guarded by m_mutex; the root is implied
};

// The mounted file system that holds a native path, or null.
MemoryFileSystem* MemoryFileSystemFor(std::string_view nativePath);

}  // namespace platform
