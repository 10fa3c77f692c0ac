#include "shell/ui_format.h"

#include <cstdarg>
#include <cstdio>

#include "foundation/mgr_text.h"
#include "mapdb/mgr_map.h"
#include "platform/codepage.h"
#include "search/module_sch.h"
#include "settings/module_gps.h"

std::u16string FormatWide(const char* format, ...) {
    char buffer[512];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (n < 0) return {};
    return platform::Utf8ToUtf16(std::string_view(buffer, std::min<size_t>(static_cast<size_t>(n), sizeof buffer - 1)));
}

int32_t RoundUpToTen(int32_t distanceM) {
    if (distanceM % 10 == 0) return distanceM;
    return (distanceM / 10) * 10 + 10;
}

std::u16string FormatDistanceKm(int32_t m) {
    if (m < 100) return u"0.0 km";
    if (m < 1000) return FormatWide("0.%d km", m / 100);
    return FormatWide("%d.%d km", m / 1000, m % 1000 / 100);
}

std::u16string FormatDistanceMOrKmTenths(int32_t m) {
    m = RoundUpToTen(m);
    if (m < 1000) return FormatWide("%dm", m);
    return FormatWide("%d.%dkm", m / 1000, m % 1000 / 100);
}

std::u16string FormatDistanceKmShort(int32_t m) {
    m = RoundUpToTen(m);
    if (m / 100 == 0) return u"0.1";
    if (m < 1000) return FormatWide("0.%d", m / 100);
    return FormatWide("%d", m / 1000);
}

std::u16string FormatDistanceMOrKm(int32_t m) {
    m = RoundUpToTen(m);
    if (m < 1000) return FormatWide("%dm", m);
    return FormatWide("%dkm", m / 1000);
}

std::u16string FormatDistanceNumber(int32_t m) {
    if (m < 1000) return FormatWide("%d", RoundUpToTen(m));
    if (m < 100000) return FormatWide("%d.%d", m / 1000, m % 1000 / 100);
    return FormatWide("%d", m / 1000);
}

std::u16string FormatDistanceWithUnit(int32_t m) {
    if (m < 1000) return FormatWide("%d m", RoundUpToTen(m));
    if (m < 100000) return FormatWide("%d.%d km", m / 1000, m % 1000 / 100);
    return FormatWide("%d km", m / 1000);
}

std::u16string FormatClockHHMM(int32_t s) { return FormatWide("%02d:%02d", s / 3600 % 24, s / 60 % 60); }

std::u16string FormatDurationHHMM(int32_t s) {
    int32_t minutes = s / 60 % 60;
    const int32_t hours = s / 3600 % 24;
    if (hours == 0 && minutes == 0) minutes = 1;
    return FormatWide("%02d:%02d", hours, minutes);
}

std::u16string FormatSystemTimeHHMM(const platform::LocalDateTime& time) {
    return FormatWide("%02d:%02d", time.hour, time.minute);
}

std::u16string FormatDateTimeSlashed(int32_t d, int32_t t) {
    return FormatWide("%04d/%02d/%02d %02d:%02d", d / 10000, d % 10000 / 100, d % 100, t / 10000, t % 10000 / 100);
}

std::u16string FormatDateTimeKorean(int32_t d, int32_t t) {
    return FormatWide("%02d년 %02d월 %02d일 %02d:%02d", d / 10000 % 100, d % 10000 / 100, d % 100, t / 10000,
                      t % 10000 / 100);
}

std::u16string FormatDurationHoursMinutes(int32_t s) {
    const int32_t hours = s / 3600 % 24;
    if (hours == 0) return FormatWide("%02d분", s / 60 % 60);
    return FormatWide("%2d시간 %02d분", hours, s / 60 % 60);
}

namespace {

// Hours and minutes of a packed hhmmss value; 60 minutes or more carry
// into the hour (the seconds are ignored).
void SplitPacked(int32_t v, int32_t& hours, int32_t& minutes) {
    hours = v / 10000;
    minutes = v % 10000 / 100;
    if (minutes >= 60) {
        ++hours;
        minutes = 0;
    }
}

}  // namespace

std::u16string FormatPackedHoursMinutes(int32_t v) {
    int32_t h = 0, min = 0;
    SplitPacked(v, h, min);
    if (h <= 0) return FormatWide("%02d분", min);
    return FormatWide("%02d시간 %02d분", h, min);
}

std::u16string FormatPackedHoursMinutesColon(int32_t v) {
    int32_t h = 0, min = 0;
    SplitPacked(v, h, min);
    if (h <= 0) return FormatWide("%02d분", min);
    return FormatWide("%02d:%02d분", h, min);
}

int GetAreaNameOfPoint(const MapPoint& point, std::u16string& out) {
    uint32_t code = 0;
    char16_t name[256] = {};
    if (CMgrMap::Instance()->GetAddressCode(point, &code) == 1 &&
        CModuleSCH::Instance()->GetAreaName(code, name, 7) > 0 && name[0] != 0) {
        out = name;
    } else {
        out = GetMgrText(2, 2);
    }
    return 1;
}

int FormatAreaNameWithDistance(const MapPoint& point, std::u16string& out) {
    const MapPoint here = CMgrConfigModuleGPS::Instance()->GetMatchedPosition();
    const int32_t metres = static_cast<int32_t>(GetDistanceUTM(here, point));
    std::u16string name;
    GetAreaNameOfPoint(point, name);
    out = name + FormatWide("\\r[%.1fkm]", metres / 1000.0);
    return 1;
}
