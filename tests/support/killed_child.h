#pragma once
// A child process killed at a random moment of its work, for tests that a
// file survives a power cut or a crash in the middle of a save.
#include <functional>

namespace testsupport {

// Forks a child that runs `body`, which never returns: it calls `ready` once
// it has reached the work to interrupt. The parent waits up to
// `startTimeoutMs` for that, lets the child run `delayUs` longer, kills it
// (SIGKILL) and reaps it. False, with a test failure, when the child could
// not be started, did not get ready in time or did not die of the kill.
bool KillChildWhileItRuns(const std::function<void(const std::function<void()>& ready)>& body, int delayUs,
                          int startTimeoutMs = 10000);

}  // namespace testsupport
