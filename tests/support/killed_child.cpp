#include "support/killed_child.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace testsupport {

bool KillChildWhileItRuns(const std::function<void(const std::function<void()>& ready)>& body, int delayUs,
                          int startTimeoutMs) {
    int readyPipe[2];
    if (pipe(readyPipe) != 0) {
        ADD_FAILURE() << "pipe failed";
        return false;
    }
    const pid_t child = fork();
    if (child < 0) {
        ADD_FAILURE() << "fork failed";
        close(readyPipe[0]);
        close(readyPipe[1]);
        return false;
    }
    if (child == 0) {
        close(readyPipe[0]);
        body([fd = readyPipe[1]] {
            if (write(fd, "r", 1) != 1) _exit(2);
        });
        _exit(3);  // the body must be killed, never return
    }
    close(readyPipe[1]);
    pollfd started{readyPipe[0], POLLIN, 0};
    const bool ready = poll(&started, 1, startTimeoutMs) == 1;
    close(readyPipe[0]);
    EXPECT_TRUE(ready) << "the child did not get ready";
    if (ready) std::this_thread::sleep_for(std::chrono::microseconds(delayUs));
    kill(child, SIGKILL);
    int status = 0;
    if (waitpid(child, &status, 0) != child) {
        ADD_FAILURE() << "waitpid failed";
        return false;
    }
    const bool killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    EXPECT_TRUE(killed) << "the child ended by itself, status " << status;
    return ready && killed;
}

}  // namespace testsupport
