// Resuming the saved route: its age window (more than 6 hours, less than 30
// days, from the later of the two files' times, which are UTC while the
// clock is local time nine hours ahead) and the 300 m from the course's
// start decide together whether an old route is dropped.
#include "shell/saved_route.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

constexpr int64_t kHour = 3600;
constexpr int64_t kNowLocal = 1800000000;   // local seconds
// A file written `ago` seconds before now, as its UTC time.
int64_t FileTime(int64_t ago) { return kNowLocal - 32400 - ago; }

struct Fixture {
    bool guideLoads = true;
    bool courseLoads = true;
    bool guidanceAccepts = true;
    int rtc = 1;
    std::optional<int64_t> guideTime, gpsTime;
    std::optional<MapPoint> start;
    MapPoint car{};
    int ended = 0, deleted = 0;

    SavedRouteServices Services() {
        SavedRouteServices s;
        s.loadGuide = [this] { return guideLoads; };
        s.loadCourse = [this] { return courseLoads; };
        s.rtcValid = [this] { return rtc; };
        s.guideFileTime = [this] { return guideTime; };
        s.lastGpsFileTime = [this] { return gpsTime; };
        s.localNow = [] { return kNowLocal; };
        s.courseStart = [this] { return start; };
        s.lastGpsPosition = [this] { return car; };
        s.restore = [this] { return guidanceAccepts; };
        s.endGuidance = [this] { ++ended; };
        s.deleteGuide = [this] { ++deleted; };
        return s;
    }
};

// Map units are 1/524288 degree; near 37.5 N a degree of latitude is about
// 111 km, so 524288 / 111000 units make a metre.
MapPoint North(const MapPoint& p, double metres) {
    return MapPoint{p.x, p.y + static_cast<int32_t>(metres * 524288.0 / 110950.0)};
}

const MapPoint kStart{static_cast<int32_t>(127.02 * 524288), static_cast<int32_t>(37.516 * 524288)};

TEST(SavedRouteTest, AgeAndDistanceDecide) {
    const struct {
        const char* name;
        int64_t guideAgo;
        double carFromStartM;
        ResumeOutcome want;
    } kCases[] = {
        {"5 hours old, at the start", 5 * kHour, 10, ResumeOutcome::kResumed},
        {"2 days old, at the start", 48 * kHour, 10, ResumeOutcome::kDropped},
        {"2 days old, 290 m away", 48 * kHour, 290, ResumeOutcome::kDropped},
        {"2 days old, 320 m away", 48 * kHour, 320, ResumeOutcome::kResumed},
        {"31 days old, at the start", 31 * 24 * kHour, 10, ResumeOutcome::kResumed},
        {"in the future, at the start", -kHour, 10, ResumeOutcome::kResumed},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        f.guideTime = FileTime(c.guideAgo);
        f.start = kStart;
        f.car = North(kStart, c.carFromStartM);
        EXPECT_EQ(ResumeSavedRoute(f.Services()), c.want);
        const int droppedCount = c.want == ResumeOutcome::kDropped ? 1 : 0;
        EXPECT_EQ(f.deleted, droppedCount);
        EXPECT_EQ(f.ended, droppedCount);
    }
}

TEST(SavedRouteTest, TheLaterOfGuideAndLastGpsTimesCounts) {
    Fixture f;
    f.guideTime = FileTime(48 * kHour);
    f.gpsTime = FileTime(1 * kHour);   // the car drove an hour ago: a short stop
    f.start = kStart;
    f.car = kStart;
    EXPECT_EQ(CheckResumeAge(f.Services()), 1);
    EXPECT_EQ(ResumeSavedRoute(f.Services()), ResumeOutcome::kResumed);
}

TEST(SavedRouteTest, WithoutAValidClockTheAgeIsNotChecked) {
    Fixture f;
    f.rtc = 0;
    f.guideTime = FileTime(48 * kHour);
    f.start = kStart;
    f.car = kStart;
    EXPECT_EQ(ResumeSavedRoute(f.Services()), ResumeOutcome::kResumed);
}

TEST(SavedRouteTest, FailuresDropOrLeaveTheFile) {
    {
        SCOPED_TRACE("damaged file: not read, left alone");
        Fixture f;
        f.guideLoads = false;
        EXPECT_EQ(ResumeSavedRoute(f.Services()), ResumeOutcome::kNoSavedRoute);
        EXPECT_EQ(f.deleted, 0);
    }
    {
        SCOPED_TRACE("course not loaded: dropped");
        Fixture f;
        f.courseLoads = false;
        EXPECT_EQ(ResumeSavedRoute(f.Services()), ResumeOutcome::kDropped);
        EXPECT_EQ(f.deleted, 1);
    }
    {
        SCOPED_TRACE("guidance refuses: dropped");
        Fixture f;
        f.guideTime = FileTime(kHour);
        f.guidanceAccepts = false;
        EXPECT_EQ(ResumeSavedRoute(f.Services()), ResumeOutcome::kDropped);
        EXPECT_EQ(f.deleted, 1);
    }
    {
        SCOPED_TRACE("no start point: resumed");
        Fixture f;
        f.guideTime = FileTime(48 * kHour);
        EXPECT_EQ(ResumeSavedRoute(f.Services()), ResumeOutcome::kResumed);
    }
}

}  // namespace
