#include "support/killed_child.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace testsupport {

namespace {

using Clock = std::chrono::steady_clock;

// Reads the child's step reports until `count` more have come; false when
// none comes for timeoutMs or the child is gone.
bool AwaitSteps(int fd, int count, int timeoutMs) {
    char buffer[64];
    while (count > 0) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, timeoutMs) != 1) return false;
        const ssize_t got = read(fd, buffer, static_cast<size_t>(std::min(count, static_cast<int>(sizeof buffer))));
        if (got <= 0) return false;
        count -= static_cast<int>(got);
    }
    return true;
}

}  // namespace

bool KillChildPartWayThroughARound(const std::function<void(const std::function<void()>& stepDone)>& body,
                                   int stepsPerRound, double fraction, int timeoutMs) {
    int steps[2];
    if (pipe(steps) != 0) {
        ADD_FAILURE() << "pipe failed";
        return false;
    }
    const pid_t child = fork();
    if (child < 0) {
        ADD_FAILURE() << "fork failed";
        close(steps[0]);
        close(steps[1]);
        return false;
    }
    if (child == 0) {
        close(steps[0]);
        body([fd = steps[1]] {
            if (write(fd, "s", 1) != 1) _exit(2);
        });
        _exit(3);  // the body must be killed, never return
    }
    close(steps[1]);
    // The first step ends the start-up; the round after it is timed.
    bool followed = AwaitSteps(steps[0], 1, timeoutMs);
    const Clock::time_point roundStart = Clock::now();
    followed = followed && AwaitSteps(steps[0], stepsPerRound, timeoutMs);
    EXPECT_TRUE(followed) << "the child reported no progress";
    if (followed) {
        const auto round = Clock::now() - roundStart;
        std::this_thread::sleep_for(std::chrono::duration_cast<Clock::duration>(round * std::clamp(fraction, 0.0, 1.0)));
    }
    kill(child, SIGKILL);
    int status = 0;
    const bool reaped = waitpid(child, &status, 0) == child;
    // The read end stays open until the child is gone: a report into a
    // closed pipe would end it by SIGPIPE instead.
    close(steps[0]);
    if (!reaped) {
        ADD_FAILURE() << "waitpid failed";
        return false;
    }
    const bool killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    EXPECT_TRUE(killed) << "the child ended by itself, status " << status;
    return followed && killed;
}

}  // namespace testsupport
