#pragma once
// The program as a child process for the tests that run it whole: its
// trace and messages come through one pipe, and every wait follows the
// child's own output or end, bounded.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/paths.h"

namespace navitest {

// A program built beside the test programs ("navi", "tools/make_demo_root").
inline std::string BuiltProgram(const std::string& relative) {
    const std::string exe = platform::ExecutablePath();
    const std::string build = exe.substr(0, exe.rfind('/')) + "/..";
    return build + "/" + relative;
}

// Held while a test program writes or copies its cached data root: the
// tests of one program run as parallel processes and one writes the cache
// while the others wait for it.
class ProgramLock {
public:
    ProgramLock() {
        const std::string path = platform::ExecutablePath() + ".lock";
        m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (m_fd >= 0) ::flock(m_fd, LOCK_EX);
    }
    ~ProgramLock() {
        if (m_fd >= 0) ::close(m_fd);
    }
    ProgramLock(const ProgramLock&) = delete;
    ProgramLock& operator=(const ProgramLock&) = delete;

private:
    int m_fd = -1;
};

class ChildProcess {
public:
    // env: extra "NAME=value" entries.
    ChildProcess(const std::string& program, const std::vector<std::string>& args,
                 const std::vector<std::string>& env = {}) {
        int fds[2];
        if (::pipe(fds) != 0) return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(fds[1], 1);
            ::dup2(fds[1], 2);
            ::close(fds[0]);
            ::close(fds[1]);
            for (const std::string& e : env) ::putenv(const_cast<char*>(e.c_str()));
            std::vector<char*> argv{const_cast<char*>(program.c_str())};
            for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            ::execv(program.c_str(), argv.data());
            ::_exit(127);
        }
        ::close(fds[1]);
        m_out = fds[0];
    }
    ~ChildProcess() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (m_out >= 0) ::close(m_out);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Reads output until it holds text, the pipe ends or timeoutMs pass
    // without output; true when the text came.
    bool WaitFor(const std::string& text, int timeoutMs = 60000) {
        while (m_output.find(text) == std::string::npos) {
            if (!ReadSome(timeoutMs)) return m_output.find(text) != std::string::npos;
        }
        return true;
    }
    // Reads to the end of output and reaps the child: its exit code, or
    // -1 when it did not end (it is then killed) or died of a signal.
    int Wait(int timeoutMs = 120000) {
        while (ReadSome(timeoutMs)) {
        }
        if (m_pid <= 0) return -1;
        int status = 0;
        if (m_open) {   // no end of output in time
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, &status, 0);
            m_pid = -1;
            return -1;
        }
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    void Signal(int sig) {
        if (m_pid > 0) ::kill(m_pid, sig);
    }
    const std::string& Output() const { return m_output; }

private:
    // False at the end of output or after timeoutMs without any.
    bool ReadSome(int timeoutMs) {
        if (m_out < 0 || !m_open) return false;
        pollfd p{m_out, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0) return false;
        char buffer[8192];
        const ssize_t n = ::read(m_out, buffer, sizeof buffer);
        if (n <= 0) {
            m_open = false;
            return false;
        }
        m_output.append(buffer, static_cast<size_t>(n));
        return true;
    }

    pid_t m_pid = -1;
    int m_out = -1;
    bool m_open = true;
    std::string m_output;
};

}  // namespace navitest
