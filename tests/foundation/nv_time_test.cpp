#include "foundation/nv_time.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "platform/clock.h"

namespace {

struct DateTime {
    int year, month, day, hour, minute, second;
};

TEST(Calendar, LeapYears) {
    struct Case {
        int year;
        bool leap;
    } const cases[] = {{1970, false}, {1972, true}, {1900, false}, {2000, true},
                       {2024, true},  {2100, false}, {2400, true}, {2023, false}};
    for (const Case& c : cases) EXPECT_EQ(IsLeapYear(c.year), c.leap) << c.year;
}

TEST(Calendar, KnownSecondsAndWeekdays) {
    struct Case {
        DateTime t;
        double seconds;
        int weekday;  // 0 Sunday
    } const cases[] = {
        {{1970, 1, 1, 0, 0, 0}, 0.0, 4},
        {{1970, 1, 2, 0, 0, 1}, 86401.0, 5},
        {{1972, 3, 1, 0, 0, 0}, 68256000.0, 3},
        {{2000, 1, 1, 0, 0, 0}, 946684800.0, 6},
        {{2000, 2, 29, 12, 0, 0}, 951825600.0, 2},
        {{2000, 3, 1, 0, 0, 0}, 951868800.0, 3},
        {{2001, 1, 1, 0, 0, 0}, 978307200.0, 1},
        {{2024, 12, 31, 23, 59, 59}, 1735689599.0, 2},
        {{2037, 12, 31, 23, 59, 59}, 2145916799.0, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.t.year << "-" << c.t.month << "-" << c.t.day);
        const DateTime& t = c.t;
        EXPECT_EQ(DateTimeToSeconds(t.year, t.month, t.day, t.hour, t.minute, t.second), c.seconds);
        EXPECT_EQ(ConvertDateToSeconds(t.year, t.month, t.day, t.hour, t.minute, t.second),
                  static_cast<int32_t>(c.seconds));
        EXPECT_EQ(GetWeekday(t.year, t.month, t.day), c.weekday);
        EXPECT_EQ(NvTime(t.year, t.month, t.day, t.hour, t.minute, t.second).GetDayOfWeek(), c.weekday);
    }
}

// Every day from 1970 to 2037 at a time of day that moves with the day: the
// conversion inverts, agrees with the day arithmetic of ConvertDateToSeconds
// and with the platform's independent civil-date conversion.
TEST(Calendar, SweepOfEveryDay1970To2037) {
    int checked = 0;
    for (int year = 1970; year <= 2037; ++year) {
        for (int month = 1; month <= 12; ++month) {
            const int days[12] = {31, IsLeapYear(year) ? 29 : 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
            for (int day = 1; day <= days[month - 1]; ++day, ++checked) {
                const int hour = checked % 24, minute = (checked * 7) % 60, second = (checked * 13) % 60;
                const double seconds = DateTimeToSeconds(year, month, day, hour, minute, second);
                DateTime back{};
                SecondsToDateTime(seconds, &back.year, &back.month, &back.day, &back.hour, &back.minute,
                                  &back.second);
                const bool same = back.year == year && back.month == month && back.day == day &&
                                  back.hour == hour && back.minute == minute && back.second == second;
                ASSERT_TRUE(same) << year << "-" << month << "-" << day << " " << hour << ":" << minute << ":"
                                  << second << " came back as " << back.year << "-" << back.month << "-"
                                  << back.day << " " << back.hour << ":" << back.minute << ":" << back.second;
                ASSERT_EQ(ConvertDateToSeconds(year, month, day, hour, minute, second),
                          static_cast<int32_t>(seconds))
                    << year << "-" << month << "-" << day;
                platform::LocalDateTime ref{};
                ref.year = year, ref.month = month, ref.day = day, ref.hour = hour, ref.minute = minute,
                ref.second = second;
                ASSERT_EQ(static_cast<int64_t>(seconds), platform::LocalToEpochSeconds(ref));
                ASSERT_EQ(GetWeekday(year, month, day), platform::EpochSecondsToLocal(int64_t(seconds)).dayOfWeek);
            }
        }
    }
    EXPECT_EQ(checked, 24837);  // days from 1970-01-01 to 2037-12-31
}

TEST(Calendar, SecondsAroundYearEnds) {
    // The last and first second of each year boundary, where the leap-day
    // correction moves the year back by one.
    for (int year = 1971; year <= 2037; ++year) {
        SCOPED_TRACE(year);
        const double start = DateTimeToSeconds(year, 1, 1, 0, 0, 0);
        DateTime t{};
        SecondsToDateTime(start - 1, &t.year, &t.month, &t.day, &t.hour, &t.minute, &t.second);
        EXPECT_EQ(t.year, year - 1);
        EXPECT_EQ(t.month, 12);
        EXPECT_EQ(t.day, 31);
        EXPECT_EQ(t.hour * 3600 + t.minute * 60 + t.second, 86399);
        SecondsToDateTime(start, &t.year, &t.month, &t.day, &t.hour, &t.minute, &t.second);
        EXPECT_EQ(t.year, year);
        EXPECT_EQ(t.month, 1);
        EXPECT_EQ(t.day, 1);
    }
}

TEST(Calendar, BadInputStaysInBounds) {
    // A month outside 1..12 reads no table out of range; a wild seconds
    // value gives a date, not undefined behaviour.
    EXPECT_EQ(DateTimeToSeconds(1970, 0, 1, 0, 0, 0), 0.0);
    EXPECT_EQ(DateTimeToSeconds(1970, 13, 1, 0, 0, 0), DateTimeToSeconds(1970, 12, 1, 0, 0, 0));
    DateTime t{};
    SecondsToDateTime(1e300, &t.year, &t.month, &t.day, &t.hour, &t.minute, &t.second);
    EXPECT_EQ(t.year, 1970);
    SecondsToDateTime(-1.0, &t.year, &t.month, &t.day, &t.hour, &t.minute, &t.second);
    EXPECT_EQ(t.year, 1969);
    EXPECT_EQ(t.month, 12);
    EXPECT_EQ(t.day, 31);
    EXPECT_EQ(t.second, 59);
}

TEST(NvTimeValue, FieldsOutOfOneValue) {
    const NvTime t(2000, 2, 29, 13, 45, 30);
    EXPECT_EQ(t.GetTime(), 951831930);
    EXPECT_EQ(NvTime(951831930.75).GetTime(), 951831930) << "fraction dropped";

    NvSystemTime st;
    st.wDayOfWeek = 77;
    st.wMilliseconds = 88;
    t.GetSystemTime(&st);
    EXPECT_EQ(st.wYear, 2000);
    EXPECT_EQ(st.wMonth, 2);
    EXPECT_EQ(st.wDay, 29);
    EXPECT_EQ(st.wHour, 13);
    EXPECT_EQ(st.wMinute, 45);
    EXPECT_EQ(st.wSecond, 30);
    EXPECT_EQ(st.wDayOfWeek, 77) << "not written";
    EXPECT_EQ(st.wMilliseconds, 88) << "not written";

    uint16_t year = 0;
    uint8_t month = 0, day = 0, hour = 0, minute = 0, second = 0;
    t.GetDateTime(&year, &month, &day, &hour, &minute, &second);
    EXPECT_EQ(year, 2000);
    EXPECT_EQ(month, 2);
    EXPECT_EQ(day, 29);
    EXPECT_EQ(hour, 13);
    EXPECT_EQ(minute, 45);
    EXPECT_EQ(second, 30);

    struct tm parts;
    parts.tm_yday = 99;
    parts.tm_isdst = 1;
    EXPECT_EQ(t.GetTm(&parts), 2);  // Tuesday
    EXPECT_EQ(parts.tm_year, 100);
    EXPECT_EQ(parts.tm_mon, 1);
    EXPECT_EQ(parts.tm_mday, 29);
    EXPECT_EQ(parts.tm_hour, 13);
    EXPECT_EQ(parts.tm_min, 45);
    EXPECT_EQ(parts.tm_sec, 30);
    EXPECT_EQ(parts.tm_wday, 2);
    EXPECT_EQ(parts.tm_yday, 0) << "zeroed";
    EXPECT_EQ(parts.tm_isdst, 0) << "zeroed";

    EXPECT_EQ(NvTime(2000, 1, 1, 0, 0, 0).GetDayOfWeek(), 6);
}

TEST(NvTimeValue, CurrentTimeComesFromThePlatformClock) {
    platform::FakeClock clock(5000);
    platform::ScopedClock installed(clock);
    platform::LocalDateTime local;
    local.year = 2024, local.month = 2, local.day = 29, local.hour = 23, local.minute = 59, local.second = 58;
    local.millisecond = 0;
    clock.SetLocal(local);
    clock.Advance(700);  // milliseconds are dropped

    NvTime now;
    EXPECT_EQ(now.GetSeconds(), DateTimeToSeconds(2024, 2, 29, 23, 59, 58));

    clock.Advance(1500);
    now.SetCurrentTime();
    uint16_t year = 0;
    uint8_t month = 0, day = 0, hour = 0, minute = 0, second = 0;
    now.GetDateTime(&year, &month, &day, &hour, &minute, &second);
    EXPECT_EQ(year, 2024);
    EXPECT_EQ(month, 3);
    EXPECT_EQ(day, 1);
    EXPECT_EQ(hour, 0);
    EXPECT_EQ(minute, 0);
    EXPECT_EQ(second, 0);
    EXPECT_EQ(now.GetDayOfWeek(), 5);  // Friday
}

}  // namespace
