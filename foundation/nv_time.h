#pragma once
// NvTime: a calendar time held as seconds since 1970-01-01 00:00:00 of local
// time, without a time zone (valid from 1970 to 2037), and the calendar
// arithmetic behind it. The current time comes from platform::GetLocalTime,
// so tests set it through a platform::FakeClock.
#include <cstdint>
#include <ctime>

// The calendar fields of a time, laid out like the Win32 SYSTEMTIME.
struct NvSystemTime {
    uint16_t wYear = 0;
    uint16_t wMonth = 0;  // 1..12
    uint16_t wDayOfWeek = 0;
    uint16_t wDay = 0;
    uint16_t wHour = 0;
    uint16_t wMinute = 0;
    uint16_t wSecond = 0;
    uint16_t wMilliseconds = 0;
};

class NvTime {
public:
    // The current local time in whole seconds.
    NvTime();
    explicit NvTime(double seconds) : m_seconds(seconds) {}
    NvTime(int year, int month, int day, int hour, int minute, int second);
    virtual ~NvTime() = default;
    NvTime(const NvTime&) = default;
    NvTime& operator=(const NvTime&) = default;

    void SetCurrentTime();
    void SetTime(int year, int month, int day, int hour, int minute, int second);
    void SetTime(double seconds) { m_seconds = seconds; }

    // The value as an integer, fraction dropped.
    int64_t GetTime() const;
    double GetSeconds() const { return m_seconds; }
    // Year, month, day, hour, minute and second; day of week and
    // milliseconds are left as they were.
    void GetSystemTime(NvSystemTime* out) const;
    void GetDateTime(uint16_t* year, uint8_t* month, uint8_t* day, uint8_t* hour, uint8_t* minute,
                     uint8_t* second) const;
    // 0 Sunday .. 6 Saturday.
    int GetDayOfWeek() const;
    // All fields zeroed, then year - 1900, month - 1, day, time and weekday.
    // Returns the weekday.
    int GetTm(struct tm* out) const;

private:
    double m_seconds = 0.0;
};

// Gregorian rule: divisible by 400, or by 4 and not by 100.
bool IsLeapYear(int year);
// Seconds since 1970-01-01 00:00:00 (local, no time zone).
double DateTimeToSeconds(int year, int month, int day, int hour, int minute, int second);
// The inverse: month 1..12, day 1..31.
void SecondsToDateTime(double seconds, int* year, int* month, int* day, int* hour, int* minute, int* second);
// 0 Sunday .. 6 Saturday.
int GetWeekday(int year, int month, int day);
// The same count of seconds by day arithmetic on a year starting in March,
// as a 32-bit integer (the traffic messages' time stamps).
int32_t ConvertDateToSeconds(int year, int month, int day, int hour, int minute, int second);
