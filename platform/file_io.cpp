#include "platform/file_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "platform/memory_files.h"

namespace platform {
namespace {

void SetError(std::string* error, const std::string& what, const std::string& path) {
    if (error) *error = what + " '" + path + "': " + std::strerror(errno);
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A save cut short by a crash or power loss leaves its temporary file
// ("<name>.tmp<pid>_<n>") behind. Those of processes that no longer run are
// removed, so repeated cuts do not fill the folder.
void RemoveStaleTemporaries(const std::string& target) {
    const std::string prefix = BaseName(target) + ".tmp";
    const std::string folder = FolderOf(target);
    DIR* dir = opendir(folder.c_str());
    if (!dir) return;
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.compare(0, prefix.size(), prefix) != 0) continue;
        const std::string rest = name.substr(prefix.size());
        const size_t underscore = rest.find('_');
        if (underscore == 0 || underscore == std::string::npos ||
            rest.find_first_not_of("0123456789_") != std::string::npos) {
            continue;
        }
        const long pid = std::strtol(rest.substr(0, underscore).c_str(), nullptr, 10);
        if (pid <= 0 || pid == ::getpid()) continue;
        if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
            ::unlink((folder + "/" + name).c_str());
        }
    }
    closedir(dir);
}

// Files open in a MemoryFileSystem. Such a File holds a descriptor number
// from a range the kernel never hands out, standing for an entry here (the
// bytes and the write position), so that File stays one descriptor wide.
class OpenMemoryFiles {
public:
    struct Handle {
        std::shared_ptr<MemoryFileData> data;
        uint64_t* position;   // stable: map nodes do not move
    };

    static bool IsMemory(int fd) { return fd >= kFirst; }

    static int Add(std::shared_ptr<MemoryFileData> data) {
        std::lock_guard<std::mutex> lock(Mutex());
        std::map<int, Entry>& files = Files();
        int& next = Next();
        while (files.count(next)) next = next == INT32_MAX ? kFirst : next + 1;
        const int fd = next;
        next = next == INT32_MAX ? kFirst : next + 1;
        files[fd] = Entry{std::move(data), 0};
        return fd;
    }

    static Handle Get(int fd) {
        std::lock_guard<std::mutex> lock(Mutex());
        Entry& entry = Files().at(fd);
        return Handle{entry.data, &entry.position};
    }

    static void Remove(int fd) {
        std::lock_guard<std::mutex> lock(Mutex());
        Files().erase(fd);
    }

private:
    struct Entry {
        std::shared_ptr<MemoryFileData> data;
        uint64_t position = 0;
    };
    static constexpr int kFirst = 1 << 30;

    // Never destroyed: a File held in a static object closes after the
    // other statics are gone.
    static std::mutex& Mutex() {
        static auto* mutex = new std::mutex;
        return *mutex;
    }
    static std::map<int, Entry>& Files() {   // guarded by Mutex()
        static auto* files = new std::map<int, Entry>;
        return *files;
    }
    static int& Next() {   // guarded by Mutex()
        static int next = kFirst;
        return next;
    }
};

}  // namespace

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Close();
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

bool File::Open(const std::string& nativePath, Mode mode) {
    Close();
    if (MemoryFileSystem* memory = MemoryFileSystemFor(nativePath)) {
        std::shared_ptr<MemoryFileData> data = memory->Open(nativePath, mode);
        if (data) m_fd = OpenMemoryFiles::Add(std::move(data));
        return m_fd >= 0;
    }
    int flags = O_CLOEXEC;
    switch (mode) {
        case Mode::kRead: flags |= O_RDONLY; break;
        case Mode::kReadWrite: flags |= O_RDWR; break;
        case Mode::kCreateTruncate: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
    }
    m_fd = ::open(nativePath.c_str(), flags, 0644);
    return m_fd >= 0;
}

void File::Close() {
    if (OpenMemoryFiles::IsMemory(m_fd)) {
        OpenMemoryFiles::Remove(m_fd);
    } else if (m_fd >= 0) {
        ::close(m_fd);
    }
    m_fd = -1;
}

int64_t File::Size() const {
    if (OpenMemoryFiles::IsMemory(m_fd)) {
        const OpenMemoryFiles::Handle file = OpenMemoryFiles::Get(m_fd);
        std::lock_guard<std::mutex> lock(file.data->mutex);
        return static_cast<int64_t>(file.data->bytes.size());
    }
    struct stat st {};
    if (m_fd < 0 || fstat(m_fd, &st) != 0) return -1;
    return st.st_size;
}

int64_t File::ReadAt(uint64_t offset, void* buffer, size_t size) const {
    if (OpenMemoryFiles::IsMemory(m_fd)) {
        const OpenMemoryFiles::Handle file = OpenMemoryFiles::Get(m_fd);
        std::lock_guard<std::mutex> lock(file.data->mutex);
        const std::vector<uint8_t>& bytes = file.data->bytes;
        if (offset >= bytes.size()) return 0;
        const size_t n = std::min<uint64_t>(size, bytes.size() - offset);
        if (n > 0) std::memcpy(buffer, bytes.data() + offset, n);
        return static_cast<int64_t>(n);
    }
    if (m_fd < 0) return -1;
    size_t done = 0;
    auto* out = static_cast<char*>(buffer);
    while (done < size) {
        const ssize_t n = ::pread(m_fd, out + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    return static_cast<int64_t>(done);
}

bool File::ReadExactAt(uint64_t offset, void* buffer, size_t size) const {
    return ReadAt(offset, buffer, size) == static_cast<int64_t>(size);
}

bool File::WriteAll(const void* data, size_t size) {
    if (OpenMemoryFiles::IsMemory(m_fd)) {
        const OpenMemoryFiles::Handle file = OpenMemoryFiles::Get(m_fd);
        std::lock_guard<std::mutex> lock(file.data->mutex);
        std::vector<uint8_t>& bytes = file.data->bytes;
        const uint64_t position = *file.position;
        if (position + size > bytes.size()) bytes.resize(position + size);
        if (size > 0) std::memcpy(bytes.data() + position, data, size);
        *file.position = position + size;
        return true;
    }
    if (m_fd < 0) return false;
    const char* in = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(m_fd, in, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        in += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool File::Sync() { return OpenMemoryFiles::IsMemory(m_fd) || (m_fd >= 0 && ::fsync(m_fd) == 0); }

bool ReadWholeFile(const std::string& nativePath, std::vector<uint8_t>& out, std::string* error) {
    out.clear();
    File file;
    if (!file.Open(nativePath)) {
        SetError(error, "cannot open", nativePath);
        return false;
    }
    const int64_t size = file.Size();
    if (size < 0) {
        SetError(error, "cannot stat", nativePath);
        return false;
    }
    out.resize(static_cast<size_t>(size));
    if (!file.ReadExactAt(0, out.data(), out.size())) {
        SetError(error, "cannot read", nativePath);
        out.clear();
        return false;
    }
    return true;
}

bool AtomicReplaceFile(const std::string& nativePath, const void* data, size_t size, std::string* error) {
    if (MemoryFileSystem* memory = MemoryFileSystemFor(nativePath)) {
        if (memory->Replace(nativePath, data, size)) return true;
        SetError(error, "cannot replace", nativePath);
        return false;
    }
    static std::atomic<unsigned> counter{0};
    RemoveStaleTemporaries(nativePath);
    const std::string temp = nativePath + ".tmp" + std::to_string(::getpid()) + "_" +
                             std::to_string(counter.fetch_add(1, std::memory_order_relaxed));
    File file;
    if (!file.Open(temp, File::Mode::kCreateTruncate)) {
        SetError(error, "cannot create", temp);
        return false;
    }
    if (!file.WriteAll(data, size) || !file.Sync()) {
        SetError(error, "cannot write", temp);
        file.Close();
        ::unlink(temp.c_str());
        return false;
    }
    file.Close();
    if (::rename(temp.c_str(), nativePath.c_str()) != 0) {
        SetError(error, "cannot rename over", nativePath);
        ::unlink(temp.c_str());
        return false;
    }
    // Make the rename itself durable.
    const int dir = ::open(FolderOf(nativePath).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

bool RenameFile(const std::string& from, const std::string& to, std::string* error) {
    MemoryFileSystem* memory = MemoryFileSystemFor(from);
    if (memory || MemoryFileSystemFor(to)) {
        if (memory && memory->Rename(from, to)) return true;
        if (!memory) errno = EXDEV;
        SetError(error, "cannot rename", from);
        return false;
    }
    if (::rename(from.c_str(), to.c_str()) != 0) {
        SetError(error, "cannot rename", from);
        return false;
    }
    return true;
}

bool RemoveFile(const std::string& nativePath) {
    if (MemoryFileSystem* memory = MemoryFileSystemFor(nativePath)) return memory->Remove(nativePath);
    return ::unlink(nativePath.c_str()) == 0;
}

}  // namespace platform
