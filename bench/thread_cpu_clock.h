#pragma once
// The calling thread's processor time in milliseconds (CLOCK_THREAD_CPUTIME_ID):
// per-query figures that a busy machine does not inflate, and the median and
// worst of a list of them.
#include <time.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace benchclock {

inline double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// {median, worst} of the times; {0, 0} for none.
inline std::pair<double, double> MedianWorst(std::vector<double> ms) {
    if (ms.empty()) return {0, 0};
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms.back()};
}

}  // namespace benchclock
