#pragma once
// Files: positional reads for the map readers, whole-file reads, and the
// atomic replace through which every file the program saves is written.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// An open file descriptor, closed with the object.
class File {
public:
    enum class Mode { kRead, kReadWrite, kCreateTruncate };

    File() = default;
    ~File() { Close(); }
    File(File&& other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // nativePath is a native path (see NativePath). False with errno kept.
    bool Open(const std::string& nativePath, Mode mode = Mode::kRead);
    void Close();
    bool IsOpen() const { return m_fd >= 0; }
    int Descriptor() const { return m_fd; }

    // Size in bytes, -1 on failure.
    int64_t Size() const;
    // Reads up to size bytes at offset; returns the number read (short only
    // at the end of the file), -1 on failure. Does not move a file position.
    int64_t ReadAt(uint64_t offset, void* buffer, size_t size) const;
    // True only when exactly size bytes were read.
    bool ReadExactAt(uint64_t offset, void* buffer, size_t size) const;
    // Writes all of data at the current position; false on any short write.
    bool WriteAll(const void* data, size_t size);
    bool Sync();

private:
    int m_fd = -1;
};

// Reads a whole file. False (error set) when it cannot be opened or read.
bool ReadWholeFile(const std::string& nativePath, std::vector<uint8_t>& out, std::string* error = nullptr);

// Replaces nativePath with data so that a crash or power loss at any moment
// leaves either the old file or the new one: the bytes go to a temporary
// file beside the target, are flushed to disk, and the temporary file is
// renamed over the target; the folder is synced last. On failure the target
// is untouched and the temporary file removed.
bool AtomicReplaceFile(const std::string& nativePath, const void* data, size_t size,
                       std::string* error = nullptr);
inline bool AtomicReplaceFile(const std::string& nativePath, const std::vector<uint8_t>& data,
                              std::string* error = nullptr) {
    return AtomicReplaceFile(nativePath, data.data(), data.size(), error);
}
inline bool AtomicReplaceFile(const std::string& nativePath, const std::string& data,
                              std::string* error = nullptr) {
    return AtomicReplaceFile(nativePath, data.data(), data.size(), error);
}

// Renames a file; false with error when it did not happen.
bool RenameFile(const std::string& from, const std::string& to, std::string* error = nullptr);
bool RemoveFile(const std::string& nativePath);

}  // namespace platform
