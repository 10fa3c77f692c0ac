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

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>

#include "platform/paths.h"

namespace linktest {

// A tool of the build as a child process; its JSON lines come through a
// pipe and are waited for with poll (bounded, never timed).
class ToolProcess {
public:
    // A tool name is looked up in the build's tools folder; a name with a
    // '/' is taken from the build folder ("shell/navi"). With bothStreams
    // the child's stderr comes through the pipe too.
    ToolProcess(const std::string& tool, const std::vector<std::string>& args, bool bothStreams = false) {
        int fds[2];
        if (::pipe(fds) != 0) return;
        const std::string exe = platform::ExecutablePath();
        const std::string build = exe.substr(0, exe.rfind('/')) + "/../";
        const std::string path = build + (tool.find('/') != std::string::npos ? tool : "tools/" + tool);
        std::vector<std::string> all = {path};
        all.insert(all.end(), args.begin(), args.end());
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(fds[1], 1);
            if (bothStreams) ::dup2(fds[1], 2);
            ::close(fds[0]);
            ::close(fds[1]);
            std::vector<char*> argv;
            for (std::string& a : all) argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(path.c_str(), argv.data());
            ::_exit(127);
        }
        ::close(fds[1]);
        m_out = fds[0];
    }
    ~ToolProcess() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (m_out >= 0) ::close(m_out);
    }
    // True once the output holds the text (gives up after rounds x 100 ms
    // without output).
    bool WaitSaw(const std::string& text, int rounds = 100) {
        for (int idle = 0; idle < rounds && !m_eof;) {
            if (m_report.find(text) != std::string::npos) return true;
            pollfd p{m_out, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0) {
                ++idle;
                continue;
            }
            char buf[4096];
            const ssize_t n = ::read(m_out, buf, sizeof buf);
            if (n <= 0) {
                m_eof = true;
                break;
            }
            m_report.append(buf, static_cast<size_t>(n));
        }
        return m_report.find(text) != std::string::npos;
    }
    // Waits for the child to end; its exit status (-1 when it did not end
    // within the rounds).
    int Wait(int rounds = 100) {
        WaitSaw("\x01", rounds);  // reads until the child closes its output (or 10 s)
        int status = 0;
        // A child that closed its output is ending: wait for it.
        if (m_pid > 0 && ::waitpid(m_pid, &status, m_eof ? 0 : WNOHANG) == m_pid) {
            m_pid = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        return -1;
    }
    const std::string& Report() const { return m_report; }

private:
    pid_t m_pid = -1;
    int m_out = -1;
    bool m_eof = false;
    std::string m_report;
};

}  // namespace linktest
