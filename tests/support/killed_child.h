#pragma once
// A child process killed at a random moment of its work, for tests that a
// file survives a power cut or a crash in the middle of a save.
#include <functional>

namespace testsupport {

// Forks a child that runs `body`, which never returns: it works in rounds of
// `stepsPerRound` steps (say, one save of the old content and one of the
// new) and calls `stepDone` after every finished step. The parent follows
// the child's own progress: it times one whole round of the child from the
// reports, then kills the child (SIGKILL) at `fraction` (0 to 1) of that
// time into the next round, and reaps it. So the kill lands at the same
// point of the child's work however fast or slow the machine and its disk
// are. False, with a test failure, when the child could not be started,
// reported no progress within `timeoutMs` or did not die of the kill.
bool KillChildPartWayThroughARound(const std::function<void(const std::function<void()>& stepDone)>& body,
                                   int stepsPerRound, double fraction, int timeoutMs = 30000);

}  // namespace testsupport
