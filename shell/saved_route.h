#pragma once
// Resuming the route saved at the end of the last run ("\Guide.dat"), or
// dropping it: a route saved more than 6 hours and less than 30 days ago
// is dropped when the car still stands within 300 m of the course's start
// (it would be resumed at its own beginning); any other saved route is
// resumed when guidance accepts it.
#include <cstdint>
#include <functional>
#include <optional>

#include "foundation/coords.h"

struct SavedRouteServices {
    // "\Guide.dat" read into the guidance settings; false leaves it alone.
    std::function<bool()> loadGuide;
    // The current course loaded from its file.
    std::function<bool()> loadCourse;
    // The RTCVALID setting.
    std::function<int()> rtcValid;
    // Last-write times (seconds since 1970, UTC) of "\Guide.dat" and of
    // "LastGPS.dat" (none when the file is missing).
    std::function<std::optional<int64_t>()> guideFileTime;
    std::function<std::optional<int64_t>()> lastGpsFileTime;
    // Local time now, seconds since 1970 without a zone.
    std::function<int64_t()> localNow;
    // The course's start point; none without one.
    std::function<std::optional<MapPoint>()> courseStart;
    std::function<MapPoint()> lastGpsPosition;
    // Guidance restores the saved route; false when it refuses. On
    // acceptance it also runs the follow-up steps.
    std::function<bool()> restore;
    // Ends guidance and clears the course.
    std::function<void()> endGuidance;
    std::function<void()> deleteGuide;
};

// 0 when the saved route lies inside the age window, else 1.
int CheckResumeAge(const SavedRouteServices& s);
// 0 when the car is within 300 m of the course's start point, else 1.
int CheckResumeDistance(const SavedRouteServices& s);
// 1 when both checks give 0 (the route is then dropped), else 0.
int CheckResumeConditions(const SavedRouteServices& s);

enum class ResumeOutcome { kNoSavedRoute, kResumed, kDropped };
ResumeOutcome ResumeSavedRoute(const SavedRouteServices& s);
