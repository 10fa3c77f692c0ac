#include "platform/memory_files.h"

#include <strings.h>

#include <atomic>
#include <cerrno>
#include <utility>

namespace platform {
namespace {

std::atomic<MemoryFileSystem*> g_mounted{nullptr};

std::string_view ParentOf(std::string_view path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) return {};
    return slash == 0 ? std::string_view("/") : path.substr(0, slash);
}

// A path without trailing separators ("/memfs/a/" names "/memfs/a"): a
// view of the path given.
std::string_view Trimmed(std::string_view path) {
    size_t end = path.size();
    while (end > 1 && path[end - 1] == '/') --end;
    return path.substr(0, end);
}

bool IsUnder(std::string_view path, std::string_view folder) {
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 && path[folder.size()] == '/';
}

}  // namespace

MemoryFileSystem::MemoryFileSystem(std::string root) : m_root(Trimmed(root)) {}

MemoryFileSystem::~MemoryFileSystem() { Unmount(); }

std::string MemoryFileSystem::PathOf(std::string_view relative) const {
    std::string path = m_root;
    if (!relative.empty() && relative.front() != '/') path += '/';
    path += relative;
    return path;
}

bool MemoryFileSystem::Holds(std::string_view nativePath) const {
    return nativePath == m_root || IsUnder(nativePath, m_root);
}

void MemoryFileSystem::Mount() { g_mounted.store(this, std::memory_order_release); }

void MemoryFileSystem::Unmount() {
    MemoryFileSystem* self = this;
    g_mounted.compare_exchange_strong(self, nullptr, std::memory_order_acq_rel);
}

MemoryFileSystem* MemoryFileSystemFor(std::string_view nativePath) {
    MemoryFileSystem* fs = g_mounted.load(std::memory_order_acquire);
    return fs && fs->Holds(nativePath) ? fs : nullptr;
}

void MemoryFileSystem::Clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_nodes.clear();
}

MemoryFileSystem::Kind MemoryFileSystem::KindLocked(std::string_view path) const {
    if (path == m_root) return Kind::kFolder;
    const auto it = m_nodes.find(path);
    if (it == m_nodes.end()) return Kind::kMissing;
    return it->second.folder ? Kind::kFolder : Kind::kFile;
}

bool MemoryFileSystem::ParentIsFolderLocked(std::string_view path) const {
    const std::string_view parent = ParentOf(path);
    if (!Holds(parent)) {
        errno = EXDEV;
        return false;
    }
    switch (KindLocked(parent)) {
        case Kind::kFolder: return true;
        case Kind::kFile: errno = ENOTDIR; return false;
        case Kind::kMissing: break;
    }
    // ENOTDIR when a file stands further up, as the kernel reports it.
    for (std::string_view up = ParentOf(parent); Holds(up); up = ParentOf(up)) {
        if (KindLocked(up) == Kind::kFile) {
            errno = ENOTDIR;
            return false;
        }
    }
    errno = ENOENT;
    return false;
}

MemoryFileSystem::Kind MemoryFileSystem::KindOf(const std::string& nativePath) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    const Kind kind = KindLocked(Trimmed(nativePath));
    if (kind == Kind::kMissing) errno = ENOENT;
    return kind;
}

bool MemoryFileSystem::WriteFile(const std::string& nativePath, const void* data, size_t size) {
    const std::string_view path = Trimmed(nativePath);
    if (!Holds(path) || path == m_root) {
        errno = EXDEV;
        return false;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    for (size_t slash = path.find('/', m_root.size() + 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        Node& folder = m_nodes[std::string(path.substr(0, slash))];
        if (!folder.folder && folder.data) {
            errno = ENOTDIR;
            return false;
        }
        folder.folder = true;
    }
    return PutFileLocked(path, data, size);
}

bool MemoryFileSystem::PutFileLocked(std::string_view path, const void* data, size_t size) {
    if (KindLocked(path) == Kind::kFolder) {
        errno = EISDIR;
        return false;
    }
    // Fresh bytes: Files open on the old ones keep reading those.
    auto file = std::make_shared<MemoryFileData>();
    const auto* bytes = static_cast<const uint8_t*>(data);
    file->bytes.assign(bytes, bytes + size);
    m_nodes.insert_or_assign(std::string(path), Node{false, std::move(file)});
    return true;
}

bool MemoryFileSystem::ReadFile(const std::string& nativePath, std::vector<uint8_t>& out) const {
    std::shared_ptr<MemoryFileData> file;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = m_nodes.find(Trimmed(nativePath));
        if (it == m_nodes.end() || it->second.folder) return false;
        file = it->second.data;
    }
    std::lock_guard<std::mutex> lock(file->mutex);
    out = file->bytes;
    return true;
}

size_t MemoryFileSystem::FileCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    size_t count = 0;
    for (const auto& [path, node] : m_nodes) count += node.folder ? 0 : 1;
    return count;
}

std::shared_ptr<MemoryFileData> MemoryFileSystem::Open(const std::string& nativePath, File::Mode mode) {
    const std::string_view path = Trimmed(nativePath);
    std::lock_guard<std::mutex> lock(m_mutex);
    switch (KindLocked(path)) {
        case Kind::kFolder:
            errno = EISDIR;
            return nullptr;
        case Kind::kFile: {
            std::shared_ptr<MemoryFileData> file = m_nodes.find(path)->second.data;
            if (mode == File::Mode::kCreateTruncate) {
                std::lock_guard<std::mutex> bytesLock(file->mutex);
                file->bytes.clear();
            }
            return file;
        }
        case Kind::kMissing: break;
    }
    if (mode != File::Mode::kCreateTruncate) {
        if (ParentIsFolderLocked(path)) errno = ENOENT;   // else ENOENT or ENOTDIR already
        return nullptr;
    }
    if (!ParentIsFolderLocked(path)) return nullptr;
    auto file = std::make_shared<MemoryFileData>();
    m_nodes.insert_or_assign(std::string(path), Node{false, file});
    return file;
}

bool MemoryFileSystem::Replace(const std::string& nativePath, const void* data, size_t size) {
    const std::string_view path = Trimmed(nativePath);
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!ParentIsFolderLocked(path)) return false;
    return PutFileLocked(path, data, size);
}

bool MemoryFileSystem::Rename(const std::string& fromPath, const std::string& toPath) {
    const std::string from(Trimmed(fromPath));
    const std::string to(Trimmed(toPath));
    if (!Holds(from) || !Holds(to)) {
        errno = EXDEV;
        return false;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    const Kind fromKind = KindLocked(from);
    if (fromKind == Kind::kMissing) {
        errno = ENOENT;
        return false;
    }
    if (from == m_root || to == m_root) {
        errno = EBUSY;
        return false;
    }
    if (!ParentIsFolderLocked(to)) return false;
    if (from == to) return true;
    const Kind toKind = KindLocked(to);
    if (fromKind == Kind::kFile) {
        if (toKind == Kind::kFolder) {
            errno = EISDIR;
            return false;
        }
        m_nodes[to] = std::move(m_nodes[from]);
        m_nodes.erase(from);
        return true;
    }
    if (toKind == Kind::kFile) {
        errno = ENOTDIR;
        return false;
    }
    if (IsUnder(to, from)) {
        errno = EINVAL;
        return false;
    }
    if (toKind == Kind::kFolder) {
        const auto next = m_nodes.upper_bound(to);
        if (next != m_nodes.end() && IsUnder(next->first, to)) {
            errno = ENOTEMPTY;
            return false;
        }
    }
    // The folder and everything under it move to the new name.
    std::vector<std::pair<std::string, Node>> moved;
    for (auto it = m_nodes.lower_bound(from); it != m_nodes.end() && (it->first == from || IsUnder(it->first, from));) {
        moved.emplace_back(to + it->first.substr(from.size()), std::move(it->second));
        it = m_nodes.erase(it);
    }
    for (auto& [path, node] : moved) m_nodes[path] = std::move(node);
    return true;
}

bool MemoryFileSystem::Remove(const std::string& nativePath) {
    const std::string_view path = Trimmed(nativePath);
    std::lock_guard<std::mutex> lock(m_mutex);
    switch (KindLocked(path)) {
        case Kind::kFile: m_nodes.erase(m_nodes.find(path)); return true;
        case Kind::kFolder: errno = EISDIR; return false;
        case Kind::kMissing: errno = ENOENT; return false;
    }
    return false;
}

bool MemoryFileSystem::MakeFolder(const std::string& nativePath) {
    const std::string_view path = Trimmed(nativePath);
    std::lock_guard<std::mutex> lock(m_mutex);
    switch (KindLocked(path)) {
        case Kind::kFolder: return true;
        case Kind::kFile: errno = EEXIST; return false;
        case Kind::kMissing: break;
    }
    if (!ParentIsFolderLocked(path)) return false;
    m_nodes[std::string(path)].folder = true;
    return true;
}

std::string MemoryFileSystem::MatchEntry(const std::string& folder, const std::string& name) const {
    const std::string prefix = folder == "/" ? "/" : folder + "/";
    std::lock_guard<std::mutex> lock(m_mutex);
    if (KindLocked(prefix + name) != Kind::kMissing) return name;
    for (auto it = m_nodes.lower_bound(prefix); it != m_nodes.end() && it->first.compare(0, prefix.size(), prefix) == 0;
         ++it) {
        const std::string_view entry = std::string_view(it->first).substr(prefix.size());
        if (entry.find('/') == std::string_view::npos && entry.size() == name.size() &&
            strncasecmp(entry.data(), name.data(), name.size()) == 0) {
            return std::string(entry);
        }
    }
    return name;
}

}  // namespace platform
