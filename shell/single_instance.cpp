#include "shell/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "foundation/debug_trace.h"
#include "platform/paths.h"

namespace {
constexpr char kRaise[] = "RAISE";

bool SocketAddress(const std::string& path, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}
}  // namespace

std::string DefaultRuntimeFolder() {
    const char* xdg = std::getenv("XDG_RUNTIME_DIR");
    if (xdg && *xdg) return std::string(xdg) + "/navi";
    return "/tmp/navi-" + std::to_string(getuid());
}

SingleInstance::~SingleInstance() {
    if (m_socket >= 0) {
        close(m_socket);
        unlink(m_socketPath.c_str());
    }
    if (m_lock >= 0) close(m_lock);
}

SingleInstance::Result SingleInstance::Acquire(const std::string& folder, std::string* error) {
    if (!platform::MakeDirectories(folder)) {
        if (error) *error = "cannot create the runtime folder " + folder;
        return Result::kError;
    }
    const std::string lockPath = folder + "/navi.lock";
    m_socketPath = folder + "/navi.sock";
    m_lock = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_lock < 0) {
        if (error) *error = "cannot open " + lockPath + ": " + std::strerror(errno);
        return Result::kError;
    }
    sockaddr_un address;
    if (!SocketAddress(m_socketPath, address)) {
        if (error) *error = "runtime folder path too long for a socket";
        return Result::kError;
    }
    if (flock(m_lock, LOCK_EX | LOCK_NB) != 0) {
        close(m_lock);
        m_lock = -1;
        const int s = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (s >= 0) {
            const ssize_t sent = sendto(s, kRaise, sizeof kRaise - 1, MSG_DONTWAIT,
                                        reinterpret_cast<const sockaddr*>(&address), sizeof address);
            DebugTrace(1, "[MAIN] another instance runs; asked it to come to the front (%s)\n",
                       sent > 0 ? "sent" : std::strerror(errno));
            close(s);
        }
        return Result::kSecond;
    }
    unlink(m_socketPath.c_str());
    m_socket = socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_socket < 0 || bind(m_socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        DebugTrace(0, "[MAIN] the front request socket %s: %s\n", m_socketPath.c_str(), std::strerror(errno));
        if (m_socket >= 0) close(m_socket);
        m_socket = -1;
    }
    return Result::kFirst;
}

bool SingleInstance::TakeRaiseRequest() {
    if (m_socket < 0) return false;
    bool raised = false;
    char buffer[64];
    for (;;) {
        const ssize_t n = recv(m_socket, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n < 0) break;
        if (n == static_cast<ssize_t>(sizeof kRaise - 1) && std::memcmp(buffer, kRaise, n) == 0) raised = true;
    }
    return raised;
}
