#pragma once
// What the window-link tests share: a private window folder, a sink that
// collects what a receive thread hands on, and a wait for it that is bounded
// by a generous time-out (the messages are waited for, never timed).
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "shell/window_link.h"
#include "support/temp_dir.h"

namespace linktest {

struct Received {
    uint32_t message = 0;
    uint64_t wParam = 0;
    int64_t lParam = 0;
    CopyDataBlock block;  // copy data: taken from the mailbox on arrival
};

class Collector {
public:
    LinkReceiver::Sink Sink() {
        return [this](uint32_t message, uint64_t w, int64_t l) {
            Received r{message, w, l, {}};
            if (message == kMsgCopyData) CopyDataMailbox::Instance().Take(l, &r.block);
            std::lock_guard<std::mutex> lock(m_mutex);
            m_items.push_back(std::move(r));
            m_cv.notify_all();
            return true;
        };
    }
    // Waits (at most 10 s) until the predicate holds over what arrived.
    bool WaitFor(const std::function<bool(const std::vector<Received>&)>& done) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_cv.wait_for(lock, std::chrono::seconds(10), [&] { return done(m_items); });
    }
    bool WaitCount(size_t n) {
        return WaitFor([n](const std::vector<Received>& items) { return items.size() >= n; });
    }
    std::vector<Received> Items() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_items;
    }
    void Clear() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_items.clear();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<Received> m_items;
};

// Sends bytes as they are to a window's socket, from a socket of its own.
inline bool SendRawDatagram(const std::string& folder, uint32_t handle, const std::vector<uint8_t>& bytes) {
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::string path = LinkWindow::SocketPath(folder, handle);
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    const ssize_t n = ::sendto(fd, bytes.data(), bytes.size(), MSG_DONTWAIT,
                               reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
    ::close(fd);
    return n == static_cast<ssize_t>(bytes.size());
}

}  // namespace linktest
