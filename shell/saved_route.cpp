#include "shell/saved_route.h"

#include <algorithm>

#include "foundation/debug_trace.h"

namespace {
constexpr int64_t kLocalOffsetSec = 32400;       // file times are UTC; the clock is local time
constexpr int64_t kMinAgeSec = 21600;            // 6 hours
constexpr int64_t kMaxAgeSec = 2592000;          // 30 days
constexpr double kStartRadiusM = 300.0;
}  // namespace

int CheckResumeAge(const SavedRouteServices& s) {
    if (s.rtcValid && s.rtcValid() == 0) return 1;
    std::optional<int64_t> fileTime = s.guideFileTime ? s.guideFileTime() : std::nullopt;
    const std::optional<int64_t> gpsTime = s.lastGpsFileTime ? s.lastGpsFileTime() : std::nullopt;
    if (gpsTime) fileTime = fileTime ? std::max(*fileTime, *gpsTime) : gpsTime;
    if (!fileTime || !s.localNow) return 1;
    const int64_t age = s.localNow() - (*fileTime + kLocalOffsetSec);
    return (age > 0 && age < kMaxAgeSec && age > kMinAgeSec) ? 0 : 1;
}

int CheckResumeDistance(const SavedRouteServices& s) {
    const std::optional<MapPoint> start = s.courseStart ? s.courseStart() : std::nullopt;
    if (!start || !s.lastGpsPosition) return 1;
    return GetDistanceUTM(*start, s.lastGpsPosition()) < kStartRadiusM ? 0 : 1;
}

int CheckResumeConditions(const SavedRouteServices& s) {
    return (CheckResumeAge(s) == 0 && CheckResumeDistance(s) == 0) ? 1 : 0;
}

ResumeOutcome ResumeSavedRoute(const SavedRouteServices& s) {
    if (!s.loadGuide || !s.loadGuide()) {
        DebugTrace(2, "[STARTUP] no saved route\n");
        return ResumeOutcome::kNoSavedRoute;
    }
    const char* why = nullptr;
    if (!s.loadCourse || !s.loadCourse()) {
        why = "the course could not be loaded";
    } else if (CheckResumeConditions(s) == 1) {
        why = "it is old and the car stands at its start";
    } else if (!s.restore || !s.restore()) {
        why = "guidance refused it";
    }
    if (why) {
        DebugTrace(1, "[STARTUP] saved route dropped: %s\n", why);
        if (s.endGuidance) s.endGuidance();
        if (s.deleteGuide) s.deleteGuide();
        return ResumeOutcome::kDropped;
    }
    DebugTrace(1, "[STARTUP] saved route resumed\n");
    return ResumeOutcome::kResumed;
}
