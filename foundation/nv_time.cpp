#include "foundation/nv_time.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/clock.h"

namespace {

constexpr double kSecondsPerDay = 86400.0;
constexpr double kSecondsPerYear = 31536000.0;  // 365 days
// Beyond this the year arithmetic would leave int: such a value is treated
// as 1970-01-01 00:00:00.
constexpr double kMaxAbsSeconds = 1.0e12;

// Days before each month in a normal year.
constexpr int kDaysBeforeMonth[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};

// Last 0-based day of the year of each month, with -1 in front.
constexpr int kLastDayNormal[13] = {-1, 30, 58, 89, 119, 150, 180, 211, 242, 272, 303, 333, 364};
constexpr int kLastDayLeap[13] = {-1, 30, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365};

// Leap years in 1..year (year >= 0).
int64_t LeapYearsThrough(int64_t year) { return year / 4 - year / 100 + year / 400; }

// The number of leap years from 1970 to lastYear; 0 when lastYear < 1970.
int64_t LeapYearsSince1970(int64_t lastYear) {
    if (lastYear < 1970) return 0;
    return LeapYearsThrough(lastYear) - LeapYearsThrough(1969);
}

}  // namespace

bool IsLeapYear(int year) { return (year % 400 == 0) || (year % 4 == 0 && year % 100 != 0); }

double DateTimeToSeconds(int year, int month, int day, int hour, int minute, int second) {
    const int64_t leapDays = LeapYearsSince1970(static_cast<int64_t>(year) - 1);
    // A month outside 1..12 counts as the nearest one rather than reading
    // past the table.
    const int m = std::clamp(month, 1, 12);
    int64_t dayOffset = kDaysBeforeMonth[m - 1];
    if (m > 2 && IsLeapYear(year)) ++dayOffset;  // February has 29 days
    dayOffset += static_cast<int64_t>(day) - 1 + leapDays;
    return (static_cast<double>(year) - 1970.0) * kSecondsPerYear + static_cast<double>(dayOffset) * kSecondsPerDay +
           static_cast<double>(hour) * 3600.0 + static_cast<double>(minute) * 60.0 + static_cast<double>(second);
}

void SecondsToDateTime(double seconds, int* year, int* month, int* day, int* hour, int* minute, int* second) {
    if (!std::isfinite(seconds) || std::fabs(seconds) > kMaxAbsSeconds) seconds = 0.0;
    const int64_t years = static_cast<int64_t>(std::floor(seconds / kSecondsPerYear));
    double rest = seconds - static_cast<double>(years) * kSecondsPerYear -
                  kSecondsPerDay * static_cast<double>(LeapYearsSince1970(1970 + years - 1));
    int64_t y;
    if (rest < 0) {
        y = 1969 + years;
        rest += kSecondsPerYear;
        if (IsLeapYear(static_cast<int>(y))) rest += kSecondsPerDay;
    } else {
        y = 1970 + years;
    }
    const int* lastDay = IsLeapYear(static_cast<int>(y)) ? kLastDayLeap : kLastDayNormal;
    const int dayOfYear = static_cast<int>(std::floor(rest / kSecondsPerDay));
    int m = 1;
    while (m < 12 && lastDay[m] < dayOfYear) ++m;
    const double inDay = rest - static_cast<double>(dayOfYear) * kSecondsPerDay;
    const int h = static_cast<int>(std::floor(inDay / 3600.0));
    const int mi = static_cast<int>(std::floor((inDay - h * 3600.0) / 60.0));
    const int s = static_cast<int>(inDay - h * 3600.0 - mi * 60.0);
    if (year) *year = static_cast<int>(y);
    if (month) *month = m;
    if (day) *day = dayOfYear - lastDay[m - 1];
    if (hour) *hour = h;
    if (minute) *minute = mi;
    if (second) *second = s;
}

int GetWeekday(int year, int month, int day) {
    const int64_t days = static_cast<int64_t>(std::floor(DateTimeToSeconds(year, month, day, 0, 0, 0) / kSecondsPerDay));
    // 1970-01-01 was a Thursday (4).
    return static_cast<int>(((days + 4) % 7 + 7) % 7);
}

int32_t ConvertDateToSeconds(int year, int month, int day, int hour, int minute, int second) {
    int64_t y = year;
    int64_t m = static_cast<int64_t>(month) - 2;  // March is month 1
    if (m <= 0) {
        m += 12;  // January and February close the year before
        y -= 1;
    }
    const int64_t days = y / 4 - y / 100 + y / 400 + 367 * m / 12 + day + y * 365 - 719499;
    const int64_t total = ((days * 24 + hour) * 60 + minute) * 60 + second;
    return static_cast<int32_t>(total);  // wraps after 2038-01-19, outside the valid range
}

// ---------------------------------------------------------------------------

NvTime::NvTime() { SetCurrentTime(); }

NvTime::NvTime(int year, int month, int day, int hour, int minute, int second)
    : m_seconds(DateTimeToSeconds(year, month, day, hour, minute, second)) {}

void NvTime::SetCurrentTime() {
    const platform::LocalDateTime now = platform::GetLocalTime();
    m_seconds = DateTimeToSeconds(now.year, now.month, now.day, now.hour, now.minute, now.second);
}

void NvTime::SetTime(int year, int month, int day, int hour, int minute, int second) {
    m_seconds = DateTimeToSeconds(year, month, day, hour, minute, second);
}

int64_t NvTime::GetTime() const {
    if (!std::isfinite(m_seconds) || std::fabs(m_seconds) > kMaxAbsSeconds) return 0;
    return static_cast<int64_t>(m_seconds);
}

void NvTime::GetSystemTime(NvSystemTime* out) const {
    if (!out) return;
    int y, mo, d, h, mi, s;
    SecondsToDateTime(m_seconds, &y, &mo, &d, &h, &mi, &s);
    out->wYear = static_cast<uint16_t>(y);
    out->wMonth = static_cast<uint16_t>(mo);
    out->wDay = static_cast<uint16_t>(d);
    out->wHour = static_cast<uint16_t>(h);
    out->wMinute = static_cast<uint16_t>(mi);
    out->wSecond = static_cast<uint16_t>(s);
}

void NvTime::GetDateTime(uint16_t* year, uint8_t* month, uint8_t* day, uint8_t* hour, uint8_t* minute,
                         uint8_t* second) const {
    int y, mo, d, h, mi, s;
    SecondsToDateTime(m_seconds, &y, &mo, &d, &h, &mi, &s);
    if (year) *year = static_cast<uint16_t>(y);
    if (month) *month = static_cast<uint8_t>(mo);
    if (day) *day = static_cast<uint8_t>(d);
    if (hour) *hour = static_cast<uint8_t>(h);
    if (minute) *minute = static_cast<uint8_t>(mi);
    if (second) *second = static_cast<uint8_t>(s);
}

int NvTime::GetDayOfWeek() const {
    int y, mo, d;
    SecondsToDateTime(m_seconds, &y, &mo, &d, nullptr, nullptr, nullptr);
    return GetWeekday(y, mo, d);
}

int NvTime::GetTm(struct tm* out) const {
    int y, mo, d, h, mi, s;
    SecondsToDateTime(m_seconds, &y, &mo, &d, &h, &mi, &s);
    const int weekday = GetWeekday(y, mo, d);
    if (!out) return weekday;
    std::memset(out, 0, sizeof *out);
    out->tm_year = y - 1900;
    out->tm_mon = mo - 1;
    out->tm_mday = d;
    out->tm_hour = h;
    out->tm_min = mi;
    out->tm_sec = s;
    out->tm_wday = weekday;
    return weekday;
}
