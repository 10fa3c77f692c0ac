// The trip computer: a replayed drive on the injectable clock, the arrival
// estimate, the saved "%s\TripInfo.dat" and a save killed half way.
#include "guidance/trip_info.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "platform/clock.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "settings/course_current.h"
#include "support/killed_child.h"
#include "support/temp_dir.h"

namespace {

// A point north of 127.0E 37.5N, metres approximate (1 degree of latitude
// is 524288 map units, about 111 km).
MapPoint North(double metres) {
    return {static_cast<int32_t>(127.0 * kMapUnitsPerDegree),
            static_cast<int32_t>(37.5 * kMapUnitsPerDegree + metres * kMapUnitsPerDegree / 111000.0)};
}

class TripInfoTest : public ::testing::Test {
protected:
    void SetUp() override { clock.SetTick(100000); }
    std::vector<uint8_t> FileBytes() {
        std::vector<uint8_t> b;
        platform::ReadWholeFile(dir.File("TripInfo.dat"), b);
        return b;
    }

    platform::FakeClock clock;
    platform::ScopedClock useClock{clock};
    testsupport::TempDir dir;
    CMgrTripService trip;
};

struct Fix {
    double t;
    double northM;
    int32_t speed;
};

TEST_F(TripInfoTest, ReplayedDrive) {
    ASSERT_EQ(trip.InitAt(dir.File("TripInfo.dat"), true), 1);
    trip.StartTrip(u"한빛역", u"한빛도서관");
    const Fix drive[] = {
        {0.0, 0, 0},       // first fix: nothing to add yet
        {1.0, 8, 30},
        {2.0, 19, 40},
        {3.0, 33, 95},     // a jump of 55 km/h: taken as 40 + 10
        {4.6, 55, 60},     // 1.6 s counts as 2
        {16.6, 205, 60},   // a gap of 12 s and a step of 150 m add nothing
        {17.6, 215, 260},  // over 250 km/h counts as 0
    };
    int32_t metres = 0;
    for (size_t k = 0; k < std::size(drive); ++k) {
        if (k > 0) {
            const uint32_t step = GetApproxDistance(North(drive[k - 1].northM), North(drive[k].northM));
            if (step > 0 && step <= 100) metres += static_cast<int32_t>(step);
        }
        clock.Advance(1000);
        TripUpdate u;
        u.position = North(drive[k].northM);
        u.fixTimeS = drive[k].t;
        u.date = 20260101;
        u.time = 120000;
        u.speedKmh = drive[k].speed;
        trip.Update(u);
    }
    const TripRecord r = trip.Record();
    EXPECT_EQ(r.drivingS, 1 + 1 + 1 + 2 + 0 + 1);
    EXPECT_EQ(r.drivingHms, 6);
    EXPECT_EQ(r.drivenM, metres);
    EXPECT_GT(metres, 50);  // the 150 m step was left out, the others kept
    EXPECT_LT(metres, 70);
    EXPECT_EQ(r.drivenCopyM, metres);
    // Speeds taken: 0 30 40 50 60 60 0; the maximum is the best mean of the
    // last five: (30 + 40 + 50 + 60 + 60) / 5 = 48; the average 240 / 7.
    EXPECT_EQ(r.maxSpeedKmh, 48);
    EXPECT_EQ(r.avgSpeedKmh, 34);
    EXPECT_EQ(r.speedSum, 240);
    EXPECT_EQ(r.speedCount, 7);
    EXPECT_EQ(r.ring[(r.ringPos + 4) % 5], 0);
    EXPECT_EQ(r.startPoint, North(0));
    EXPECT_EQ(std::u16string(r.startName), u"한빛역");
    EXPECT_EQ(std::u16string(r.destName), u"한빛도서관");

    TripRecord brief;
    trip.GetRecord(&brief, false);
    EXPECT_EQ(brief.drivingS, 6);
    EXPECT_EQ(brief.maxSpeedKmh, 0);
}

// The remaining time comes in as seconds and is kept as hhmmss; a second
// update must not read the hhmmss back as seconds.
TEST_F(TripInfoTest, ArrivalEstimateInOneUnit) {
    ASSERT_EQ(trip.InitAt("", false), 1);
    trip.StartTrip(u"a", u"b");
    TripUpdate u;
    u.position = North(0);
    u.date = 20240228;
    u.time = 235000;
    u.remainingS = 3700;  // 1 h 1 min 40 s: past midnight of a leap February
    u.speedKmh = 30;
    trip.Update(u);
    TripRecord r = trip.Record();
    EXPECT_EQ(r.arrivalDate, 20240229);
    EXPECT_EQ(r.arrivalTime, 5140);
    EXPECT_EQ(r.remainingHms, 10140);
    u.fixTimeS = 1;
    u.time = 235001;
    u.remainingS = 3600;
    trip.Update(u);
    r = trip.Record();
    EXPECT_EQ(r.arrivalDate, 20240229);
    EXPECT_EQ(r.arrivalTime, 5001);
    EXPECT_EQ(r.remainingHms, 10000);

    struct Case {
        int32_t date, time;
        int64_t seconds;
        int32_t wantDate, wantTime;
    };
    const Case cases[] = {
        {20230228, 235959, 1, 20230301, 0},      // not a leap year
        {21000228, 230000, 3600, 21000301, 0},   // divisible by 100: not leap
        {20000228, 230000, 3600, 20000229, 0},   // divisible by 400: leap
        {20231231, 235959, 1, 20240101, 0},
        {20260115, 101010, 90061, 20260116, 111111},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.date);
        int32_t d = c.date, t = c.time;
        TripAddSeconds(&d, &t, c.seconds);
        EXPECT_EQ(d, c.wantDate);
        EXPECT_EQ(t, c.wantTime);
    }
}

// Below a table's first breakpoint the look-up holds the first row.
TEST(TripEconomyTest, TablesClampAndInterpolate) {
    EXPECT_DOUBLE_EQ(TripEconomyAtSpeed(0), 7);
    EXPECT_DOUBLE_EQ(TripEconomyAtSpeed(-20), 7);
    EXPECT_DOUBLE_EQ(TripEconomyAtSpeed(15), 8.5);
    EXPECT_DOUBLE_EQ(TripEconomyAtSpeed(70), 17);
    EXPECT_DOUBLE_EQ(TripEconomyAtSpeed(150), 7.5);
    EXPECT_DOUBLE_EQ(TripEconomyAtSpeed(5000), 3);
    EXPECT_DOUBLE_EQ(TripCo2OfEconomy(2), 284);
    EXPECT_DOUBLE_EQ(TripCo2OfEconomy(10), 223.5);
    EXPECT_DOUBLE_EQ(TripCo2OfEconomy(25), 111);
}

TEST_F(TripInfoTest, SavedFileAndItsRestore) {
    ASSERT_EQ(trip.InitAt(dir.File("TripInfo.dat"), true), 1);
    std::vector<uint8_t> b = FileBytes();
    ASSERT_EQ(b.size(), kTripFileBytes);
    float marker;
    std::memcpy(&marker, b.data(), 4);
    EXPECT_EQ(marker, 1.0f);
    EXPECT_FALSE(trip.IsLoaded());  // the start point is 0

    trip.StartTrip(u"한빛역", u"한빛도서관");
    TripUpdate u;
    u.position = North(0);
    u.speedKmh = 0;  // standing: saved at once (armed, 30 s since the last save)
    trip.Update(u);
    b = FileBytes();
    ASSERT_EQ(b.size(), kTripFileBytes);
    TripRecord saved;
    ASSERT_TRUE(DecodeTripFile(b.data(), b.size(), &saved));
    EXPECT_EQ(saved.startPoint, North(0));

    // Not again within 30 s, nor while not re-armed by a speed over 19.
    u.position = North(10);
    u.fixTimeS = 1;
    u.speedKmh = 2;
    clock.Advance(40000);
    trip.Update(u);
    ASSERT_TRUE(DecodeTripFile(FileBytes().data(), kTripFileBytes, &saved));
    EXPECT_EQ(saved.drivenM, 0);
    u.position = North(20);
    u.fixTimeS = 2;
    u.speedKmh = 30;  // arms
    trip.Update(u);
    u.position = North(30);
    u.fixTimeS = 3;
    u.speedKmh = 3;  // slow again: saved
    trip.Update(u);
    ASSERT_TRUE(DecodeTripFile(FileBytes().data(), kTripFileBytes, &saved));
    EXPECT_EQ(saved.drivenM, trip.Record().drivenM);
    EXPECT_GT(saved.drivenM, 0);

    CMgrTripService again;
    ASSERT_EQ(again.InitAt(dir.File("TripInfo.dat"), true), 1);
    EXPECT_TRUE(again.IsLoaded());
    EXPECT_EQ(again.Restore(), 1);
    EXPECT_TRUE(again.IsActive());
    EXPECT_EQ(again.Record().drivenM, saved.drivenM);
    EXPECT_EQ(std::u16string(again.Record().destName), u"한빛도서관");

    // A foreign marker is not taken; the file starts again.
    b = FileBytes();
    b[3] = 0x40;  // 2.0f
    ASSERT_TRUE(platform::AtomicReplaceFile(dir.File("TripInfo.dat"), b));
    CMgrTripService foreign;
    ASSERT_EQ(foreign.InitAt(dir.File("TripInfo.dat"), true), 1);
    EXPECT_FALSE(foreign.IsLoaded());
    EXPECT_FALSE(DecodeTripFile(FileBytes().data(), kTripFileBytes, nullptr));  // marker again, start 0
    EXPECT_EQ(FileBytes().size(), kTripFileBytes);

    // With the trip-save setting off nothing is written.
    testsupport::TempDir other;
    CMgrTripService off;
    ASSERT_EQ(off.InitAt(other.File("TripInfo.dat"), false), 1);
    off.StartTrip(u"a", u"b");
    EXPECT_FALSE(platform::FileExists(other.File("TripInfo.dat")));
}

TEST_F(TripInfoTest, StartNameFromTheCourseAndCancelText) {
    ASSERT_EQ(trip.InitAt("", false), 1);
    CMgrConfigUIInfoCourse course;
    course.SetPoint(kCourseSlotStart, MakeCoursePos(100, 200, u"새솔약국"));
    trip.StartTrip(kTripStartDefault, u"한빛도서관", &course);
    EXPECT_EQ(std::u16string(trip.Record().startName), u"새솔약국");
    _tagUISTRUCT_COURSEPOS start;
    ASSERT_EQ(course.GetStartPoint(&start), 1);
    EXPECT_TRUE(CoursePosName(start).empty());  // taken once
    trip.StartTrip(kTripStartDefault, u"x", &course);
    EXPECT_EQ(std::u16string(trip.Record().startName), u"출발지");
    trip.StartTrip(u"한빛역", u"x", &course);
    EXPECT_EQ(std::u16string(trip.Record().startName), u"한빛역");

    TripUpdate u;
    u.position = North(0);
    u.date = 20260301;
    u.time = 91500;
    u.remainingS = 600;
    trip.Update(u);
    trip.EndTrip(false, [](const MapPoint&) { return std::u16string(u"한빛동"); });
    EXPECT_EQ(trip.CancelText(), u"한빛동에서 취소");
    EXPECT_FALSE(trip.IsActive());
    EXPECT_EQ(trip.Record().arrivalDate, 20260301);
    EXPECT_EQ(trip.Record().arrivalTime, 91500);
    EXPECT_EQ(trip.Record().remainingHms, 0);
    trip.StartTrip(u"a", u"b");
    trip.EndTrip(true);
    EXPECT_EQ(trip.CancelText(), u"");
}

TEST(TripFileTest, RecordLayout) {
    TripRecord r;
    r.startName[0] = u'A';
    r.startPoint = {0x01020304, 5};
    r.drivenM = 77;
    r.remainingHms = 10203;
    r.economy[32] = -9;
    const std::vector<uint8_t> rec = EncodeTripRecord(r);
    ASSERT_EQ(rec.size(), kTripRecordBytes);
    EXPECT_EQ(rec[0], 'A');
    EXPECT_EQ(rec[512], 0x04);
    EXPECT_EQ(rec[532], 77);
    EXPECT_EQ(rec[544] | rec[545] << 8, 10203);
    EXPECT_EQ(rec[568], 0xFF);  // the empty ring holds -1
    EXPECT_EQ(rec[727], 0xFF);
    const std::vector<uint8_t> file = EncodeTripFile(r);
    ASSERT_EQ(file.size(), kTripFileBytes);
    TripRecord back;
    ASSERT_TRUE(DecodeTripFile(file.data(), file.size(), &back));
    EXPECT_EQ(back.drivenM, 77);
    EXPECT_EQ(back.economy[32], -9);
    EXPECT_FALSE(DecodeTripFile(file.data(), 731, &back));
    // Ring positions from outside are held inside the ring.
    std::vector<uint8_t> bad = file;
    bad[4 + 588] = 99;
    bad[4 + 592] = 99;
    ASSERT_TRUE(DecodeTripFile(bad.data(), bad.size(), &back));
    EXPECT_EQ(back.ringPos, 0);
    EXPECT_EQ(back.ringCount, 5);
}

// A save killed half way leaves the old file or the new one, whole.
TEST(TripFileTest, KilledSaveLeavesOldOrNew) {
    testsupport::TempDir dir;
    const std::string path = dir.File("TripInfo.dat");
    auto makeTrip = [](int32_t metres) {
        TripRecord r;
        r.startPoint = North(0);
        r.drivenM = metres;
        return r;
    };
    std::mt19937 random(20261211);
    std::uniform_real_distribution<double> fraction(0.0, 1.0);
    int sawOld = 0, sawNew = 0;
    for (int round = 0; round < 100; ++round) {
        ASSERT_TRUE(testsupport::KillChildPartWayThroughARound(
            [&](const std::function<void()>& stepDone) {
                CMgrTripService service;
                service.InitAt(path, true);
                for (;;) {
                    service.SetRecord(makeTrip(1000));
                    service.SaveNow();
                    stepDone();
                    service.SetRecord(makeTrip(2000));
                    service.SaveNow();
                    stepDone();
                }
            },
            2, fraction(random)));
        std::vector<uint8_t> b;
        if (!platform::FileExists(path)) continue;  // killed before the first save
        ASSERT_TRUE(platform::ReadWholeFile(path, b));
        ASSERT_EQ(b.size(), kTripFileBytes) << "round " << round;
        TripRecord got;
        if (!DecodeTripFile(b.data(), b.size(), &got)) continue;  // the child's first, empty image
        ASSERT_TRUE(got.drivenM == 1000 || got.drivenM == 2000) << "round " << round;
        sawOld += got.drivenM == 1000;
        sawNew += got.drivenM == 2000;
    }
    EXPECT_GT(sawOld + sawNew, 0);
}

}  // namespace
