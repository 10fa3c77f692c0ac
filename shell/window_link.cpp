#include "shell/window_link.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "foundation/debug_trace.h"
#include "platform/byte_cursor.h"
#include "platform/thread_util.h"

// ---------------------------------------------------------------------------
// Frame

std::vector<uint8_t> BuildLinkFrame(const LinkMessage& message) {
    std::vector<uint8_t> payload;
    uint32_t number = message.message;
    if (message.kind == kLinkKindRegistered) {
        if (message.name.empty() || message.name.size() > kLinkMaxNameBytes) return {};
        payload.assign(message.name.begin(), message.name.end());
        payload.push_back(0);
        number = 0;
    } else if (message.kind == kLinkKindCopyData) {
        if (message.data.size() > kLinkMaxDataBytes) return {};
        payload = message.data;
    }
    platform::ByteWriter w;
    w.U32(kLinkMagic);
    w.U16(kLinkVersion);
    w.U16(message.kind);
    w.U32(number);
    w.U64(message.wParam);
    w.I64(message.lParam);
    w.U32(static_cast<uint32_t>(payload.size()));
    w.Bytes(payload.data(), payload.size());
    return std::move(w.Data());
}

static bool IsNameByte(uint8_t c) { return c >= 0x21 && c <= 0x7E; }

int ParseLinkFrame(const uint8_t* bytes, size_t size, LinkMessage* out) {
    if (size < kLinkHeaderBytes || bytes == nullptr) return kLinkFrameShort;
    platform::ByteReader r(bytes, size);
    if (r.U32() != kLinkMagic) return kLinkFrameBadMagic;
    if (r.U16() != kLinkVersion) return kLinkFrameBadVersion;
    const uint16_t kind = r.U16();
    const uint32_t message = r.U32();
    const uint64_t wParam = r.U64();
    const int64_t lParam = r.I64();
    const uint32_t length = r.U32();
    if (!r.Ok()) return kLinkFrameShort;
    if (length > kLinkMaxDataBytes || length != r.Remaining()) return kLinkFrameBadLength;
    const uint8_t* data = r.Span(length);
    out->kind = kind;
    out->message = message;
    out->wParam = wParam;
    out->lParam = lParam;
    out->name.clear();
    out->data.clear();
    switch (kind) {
    case kLinkKindPost:
        if (length != 0) return kLinkFrameBadLength;
        // Copy data comes only as kind 2: the main thread reads the lParam
        // of WM_COPYDATA as a mailbox ticket.
        if (IsRegisteredMessageNumber(message) || message == kMsgCopyData) return kLinkFrameBadMessage;
        return kLinkFrameOk;
    case kLinkKindCopyData:
        if (message != kMsgCopyData) return kLinkFrameBadMessage;
        out->data.assign(data, data + length);
        return kLinkFrameOk;
    case kLinkKindRegistered: {
        if (message != 0) return kLinkFrameBadMessage;
        // The name and exactly one terminator.
        if (length < 2 || length - 1 > kLinkMaxNameBytes || data[length - 1] != 0) return kLinkFrameBadName;
        for (uint32_t i = 0; i + 1 < length; ++i) {
            if (!IsNameByte(data[i])) return kLinkFrameBadName;
        }
        out->name.assign(reinterpret_cast<const char*>(data), length - 1);
        return kLinkFrameOk;
    }
    default:
        return kLinkFrameBadKind;
    }
}

const char* LinkFrameError(int code) {
    switch (code) {
    case kLinkFrameOk: return "ok";
    case kLinkFrameShort: return "short frame";
    case kLinkFrameBadMagic: return "wrong magic";
    case kLinkFrameBadVersion: return "wrong version";
    case kLinkFrameBadKind: return "unknown kind";
    case kLinkFrameBadLength: return "length does not match";
    case kLinkFrameBadName: return "bad registered name";
    case kLinkFrameBadMessage: return "message does not fit its kind";
    default: return "refused";
    }
}

// ---------------------------------------------------------------------------
// Registered messages

namespace {

struct RegisteredNames {
    std::mutex mutex;
    std::vector<std::string> names;  // index = number - kRegisteredMessageFirst

    RegisteredNames() {
        // Fixed order: the numbers of the program's own names never change.
        for (const char* name :
             {kRegPowerWakeup, kRegMapExit, kRegStatus, kRegCommand, kRegRmcZoomIn, kRegRmcZoomOut,
              kRegRmcMapMove, kRegRmcCurPos, kRegRmcSr, kRegRmcOffice, kRegRmcGuideEnd, kRegRmcSel,
              kRegRmcRegPos, kRegRmcHome, kRegRmcUp, kRegRmcInfo, kRegRmcReroute, kRegRmcDown, kRegRmcMenu,
              kRegRmcMapView, kRegRmcOilInfo}) {
            names.emplace_back(name);
        }
    }
};

RegisteredNames& Names() {
    static RegisteredNames names;
    return names;
}

}  // namespace

uint32_t RegisterLinkMessage(std::string_view name) {
    if (name.empty() || name.size() > kLinkMaxNameBytes) return 0;
    for (char c : name) {
        if (!IsNameByte(static_cast<uint8_t>(c))) return 0;
    }
    RegisteredNames& table = Names();
    std::lock_guard<std::mutex> lock(table.mutex);
    for (size_t i = 0; i < table.names.size(); ++i) {
        if (table.names[i] == name) return kRegisteredMessageFirst + static_cast<uint32_t>(i);
    }
    if (table.names.size() > kRegisteredMessageLast - kRegisteredMessageFirst) return 0;
    table.names.emplace_back(name);
    return kRegisteredMessageFirst + static_cast<uint32_t>(table.names.size() - 1);
}

std::string RegisteredLinkMessageName(uint32_t message) {
    if (!IsRegisteredMessageNumber(message)) return {};
    RegisteredNames& table = Names();
    std::lock_guard<std::mutex> lock(table.mutex);
    const size_t index = message - kRegisteredMessageFirst;
    return index < table.names.size() ? table.names[index] : std::string();
}

// ---------------------------------------------------------------------------
// Windows

std::string DefaultLinkFolder() {
    const char* dir = std::getenv("XDG_RUNTIME_DIR");
    if (dir && *dir) return std::string(dir) + "/" + kLinkFolderName;
    return "/tmp/" + std::string(kLinkFolderName) + "-" + std::to_string(::getuid());
}

std::string LinkWindow::SocketPath(const std::string& folder, uint32_t handle) {
    char name[16];
    std::snprintf(name, sizeof name, "%08x", handle);
    return folder + "/" + name;
}

static bool ParseHandleName(const char* name, uint32_t* handle) {
    if (std::strlen(name) != 8) return false;
    uint32_t value = 0;
    for (int i = 0; i < 8; ++i) {
        const char c = name[i];
        uint32_t digit;
        if (c >= '0' && c <= '9') digit = static_cast<uint32_t>(c - '0');
        else if (c >= 'a' && c <= 'f') digit = static_cast<uint32_t>(c - 'a' + 10);
        else return false;
        value = value << 4 | digit;
    }
    if (value == 0) return false;
    *handle = value;
    return true;
}

static bool MakeAddress(const std::string& path, sockaddr_un* addr) {
    if (path.size() >= sizeof addr->sun_path) return false;
    std::memset(addr, 0, sizeof *addr);
    addr->sun_family = AF_UNIX;
    std::memcpy(addr->sun_path, path.c_str(), path.size() + 1);
    return true;
}

static bool MakePrivateFolder(const std::string& folder) {
    // A runtime folder named on the command line may not exist yet.
    const size_t slash = folder.rfind('/');
    if (slash != std::string::npos && slash > 0) {
        std::error_code ec;
        std::filesystem::create_directories(folder.substr(0, slash), ec);
    }
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
    struct stat st{};
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) return false;
    if ((st.st_mode & 0777) != 0700 && ::chmod(folder.c_str(), 0700) != 0) return false;
    return true;
}

LinkWindow::~LinkWindow() { Close(); }

int LinkWindow::Open(const std::string& folder, const std::string& title) {
    if (m_fd >= 0) return 1;
    if (!MakePrivateFolder(folder)) {
        DebugTrace(0, "[LINK] cannot use the window folder %s\n", folder.c_str());
        return 0;
    }
    if (title.find('/') != std::string::npos) return 0;
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return 0;
    // A handle: the process id and a running number. A socket file left by
    // a dead process of the same id is taken over.
    static std::atomic<uint32_t> s_sequence{0};
    for (int attempt = 0; attempt < 64; ++attempt) {
        const uint32_t seq = s_sequence.fetch_add(1) & 0x3F;
        const uint32_t handle = (static_cast<uint32_t>(::getpid()) << 6 | seq) & 0x7FFFFFFFu;
        if (handle == 0) continue;
        const std::string path = SocketPath(folder, handle);
        sockaddr_un addr{};
        if (!MakeAddress(path, &addr)) break;
        if (::bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0) {
            m_fd = fd;
            m_handle = handle;
            m_folder = folder;
            break;
        }
        if (errno == EADDRINUSE) {
            // In use by a live window of this process, or stale: probe it.
            const int probe = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
            const bool live = probe >= 0 && ::connect(probe, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0;
            if (probe >= 0) ::close(probe);
            if (!live) {
                ::unlink(path.c_str());
                s_sequence.fetch_sub(1);
            }
            continue;
        }
        break;
    }
    if (m_fd < 0) {
        ::close(fd);
        DebugTrace(0, "[LINK] cannot bind a window socket in %s\n", folder.c_str());
        return 0;
    }
    if (!title.empty()) {
        const std::string link = folder + "/@" + title;
        char target[16];
        std::snprintf(target, sizeof target, "%08x", m_handle);
        // Replace through a temporary name so that the link is never missing.
        const std::string temp = link + ".tmp" + std::to_string(m_handle);
        ::unlink(temp.c_str());
        if (::symlink(target, temp.c_str()) == 0 && ::rename(temp.c_str(), link.c_str()) == 0) {
            m_title = title;
        } else {
            ::unlink(temp.c_str());
            DebugTrace(0, "[LINK] cannot name the window %s\n", title.c_str());
        }
    }
    return 1;
}

void LinkWindow::Close() {
    if (m_fd < 0) return;
    if (!m_title.empty() && FindWindow(m_folder, m_title) == m_handle) {
        ::unlink((m_folder + "/@" + m_title).c_str());
    }
    ::unlink(SocketPath(m_folder, m_handle).c_str());
    ::close(m_fd);
    m_fd = -1;
    m_handle = 0;
    m_title.clear();
}

uint32_t LinkWindow::FindWindow(const std::string& folder, const std::string& title) {
    if (title.empty() || title.find('/') != std::string::npos) return 0;
    char target[64];
    const ssize_t n = ::readlink((folder + "/@" + title).c_str(), target, sizeof target - 1);
    if (n <= 0) return 0;
    target[n] = 0;
    uint32_t handle = 0;
    if (!ParseHandleName(target, &handle)) return 0;
    struct stat st{};
    if (::lstat(SocketPath(folder, handle).c_str(), &st) != 0 || !S_ISSOCK(st.st_mode)) return 0;
    return handle;
}

std::vector<uint32_t> LinkWindow::ListWindows(const std::string& folder) {
    std::vector<uint32_t> handles;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return handles;
    while (const dirent* entry = ::readdir(dir)) {
        uint32_t handle = 0;
        if (!ParseHandleName(entry->d_name, &handle)) continue;
        struct stat st{};
        if (::lstat((folder + "/" + entry->d_name).c_str(), &st) != 0 || !S_ISSOCK(st.st_mode)) continue;
        handles.push_back(handle);
    }
    ::closedir(dir);
    std::sort(handles.begin(), handles.end());
    return handles;
}

int LinkWindow::SendFrame(uint32_t target, const std::vector<uint8_t>& frame, bool quiet) {
    if (m_fd < 0 || frame.empty() || target == 0) {
        m_dropped.fetch_add(1, std::memory_order_relaxed);
        return 0;
    }
    sockaddr_un addr{};
    if (!MakeAddress(SocketPath(m_folder, target), &addr)) return 0;
    ssize_t sent;
    do {
        sent = ::sendto(m_fd, frame.data(), frame.size(), MSG_DONTWAIT | MSG_NOSIGNAL,
                        reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
    } while (sent < 0 && errno == EINTR);
    if (sent == static_cast<ssize_t>(frame.size())) {
        m_sent.fetch_add(1, std::memory_order_relaxed);
        return 1;
    }
    m_dropped.fetch_add(1, std::memory_order_relaxed);
    if (!quiet) {
        const int err = errno;
        DebugTrace(1, "[LINK] message to %08x dropped: %s\n", target,
                   err == EAGAIN ? "its queue is full" : std::strerror(err));
    }
    return 0;
}

int LinkWindow::SendMessage(uint32_t target, const LinkMessage& message) {
    return SendFrame(target, BuildLinkFrame(message), false);
}

static LinkMessage PostedMessage(uint32_t message, uint64_t wParam, int64_t lParam) {
    LinkMessage m;
    m.wParam = wParam;
    m.lParam = lParam;
    if (IsRegisteredMessageNumber(message)) {
        m.kind = kLinkKindRegistered;
        m.name = RegisteredLinkMessageName(message);
    } else {
        m.kind = kLinkKindPost;
        m.message = message;
    }
    return m;
}

int LinkWindow::Post(uint32_t target, uint32_t message, uint64_t wParam, int64_t lParam) {
    return SendMessage(target, PostedMessage(message, wParam, lParam));
}

int LinkWindow::CopyData(uint32_t target, uint64_t wParam, int64_t dwData, const void* data, size_t size) {
    LinkMessage m;
    m.kind = kLinkKindCopyData;
    m.message = kMsgCopyData;
    m.wParam = wParam;
    m.lParam = dwData;
    if (size > kLinkMaxDataBytes) {
        DebugTrace(1, "[LINK] copy data of %zu bytes not sent\n", size);
        m_dropped.fetch_add(1, std::memory_order_relaxed);
        return 0;
    }
    if (size) m.data.assign(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
    return SendMessage(target, m);
}

int LinkWindow::Broadcast(uint32_t message, uint64_t wParam, int64_t lParam) {
    const std::vector<uint8_t> frame = BuildLinkFrame(PostedMessage(message, wParam, lParam));
    int reached = 0;
    for (uint32_t handle : ListWindows(m_folder)) {
        // A window that is gone or full is not worth a line per broadcast.
        reached += SendFrame(handle, frame, true);
    }
    return reached;
}

// ---------------------------------------------------------------------------
// Mailbox

CopyDataMailbox& CopyDataMailbox::Instance() {
    static CopyDataMailbox mailbox;
    return mailbox;
}

int64_t CopyDataMailbox::Put(CopyDataBlock block) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_blocks.size() >= kCopyDataMailboxSlots) return 0;
    const int64_t ticket = m_nextTicket++;
    if (m_nextTicket <= 0) m_nextTicket = 1;
    m_blocks.emplace_back(ticket, std::move(block));
    return ticket;
}

int CopyDataMailbox::Take(int64_t ticket, CopyDataBlock* out) {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto it = m_blocks.begin(); it != m_blocks.end(); ++it) {
        if (it->first != ticket) continue;
        if (out) *out = std::move(it->second);
        m_blocks.erase(it);
        return 1;
    }
    return 0;
}

void CopyDataMailbox::Drop(int64_t ticket) { Take(ticket, nullptr); }

size_t CopyDataMailbox::Waiting() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_blocks.size();
}

// ---------------------------------------------------------------------------
// Receive thread

int LinkReceiver::Deliver(const uint8_t* bytes, size_t size, const Sink& sink, const Filter& filter) {
    LinkMessage m;
    const int rc = ParseLinkFrame(bytes, size, &m);
    if (rc != kLinkFrameOk) {
        DebugTrace(1, "[LINK] datagram of %zu bytes dropped: %s\n", size, LinkFrameError(rc));
        return rc;
    }
    if (filter && filter(m)) return 0;
    uint32_t message = m.message;
    int64_t lParam = m.lParam;
    int64_t ticket = 0;
    if (m.kind == kLinkKindRegistered) {
        message = RegisterLinkMessage(m.name);
        if (message == 0) {
            DebugTrace(1, "[LINK] registered message %s dropped: no number left\n", m.name.c_str());
            return kLinkDeliverRefused;
        }
    } else if (m.kind == kLinkKindCopyData) {
        ticket = CopyDataMailbox::Instance().Put(CopyDataBlock{m.lParam, std::move(m.data)});
        if (ticket == 0) {
            DebugTrace(1, "[LINK] copy data %llu dropped: too many waiting\n",
                       static_cast<unsigned long long>(m.wParam));
            return kLinkDeliverRefused;
        }
        lParam = ticket;
    }
    if (!sink || !sink(message, m.wParam, lParam)) {
        if (ticket) CopyDataMailbox::Instance().Drop(ticket);
        DebugTrace(1, "[LINK] message %u dropped: the main queue refused it\n", message);
        return kLinkDeliverRefused;
    }
    return 1;
}

int LinkReceiver::Start(LinkWindow& window, Sink sink, Filter filter) {
    if (!window.IsOpen() || m_thread.joinable()) return 0;
    if (::pipe2(m_wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) return 0;
    m_window = &window;
    m_sink = std::move(sink);
    m_filter = std::move(filter);
    m_stop.store(false);
    m_thread = std::thread([this] { Run(); });
    return 1;
}

void LinkReceiver::Stop() {
    if (!m_thread.joinable()) return;
    m_stop.store(true);
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(m_wakePipe[1], &byte, 1);
    m_thread.join();
    ::close(m_wakePipe[0]);
    ::close(m_wakePipe[1]);
    m_wakePipe[0] = m_wakePipe[1] = -1;
}

void LinkReceiver::Run() {
    platform::SetCurrentThreadName("WINDOWLINK");
    std::vector<uint8_t> buffer(kLinkMaxFrameBytes + 1);
    while (!m_stop.load()) {
        pollfd fds[2] = {{m_window->Fd(), POLLIN, 0}, {m_wakePipe[0], POLLIN, 0}};
        const int ready = ::poll(fds, 2, 1000);
        if (ready <= 0) continue;
        if (fds[1].revents) break;
        // Everything that is there, then back to the poll.
        for (;;) {
            const ssize_t n = ::recv(m_window->Fd(), buffer.data(), buffer.size(), MSG_DONTWAIT | MSG_TRUNC);
            if (n < 0) break;
            // MSG_TRUNC gives the datagram's real size: one over the buffer
            // is oversized and is refused as such.
            const size_t size = std::min(static_cast<size_t>(n), buffer.size());
            if (Deliver(buffer.data(), size, m_sink, m_filter) < 0) {
                m_rejected.fetch_add(1, std::memory_order_relaxed);
            }
            // Counted once handed on: a reader of the count finds the
            // message in the sink.
            m_received.fetch_add(1, std::memory_order_release);
            if (m_stop.load()) break;
        }
    }
}
