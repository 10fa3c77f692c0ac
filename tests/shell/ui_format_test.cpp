// The distance, duration, clock and date texts, each form against texts
// worked out by hand from its rules (units, thresholds, truncation and the
// round-up to ten metres), the Korean forms included.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/codepage.h"
#include "shell/ui_format.h"

namespace {

std::string Utf8(const std::u16string& text) { return platform::Utf16ToUtf8(text); }

struct Case {
    const char* form;
    std::function<std::u16string(int32_t)> format;
    int32_t input;
    const char* expected;  // UTF-8
};

TEST(UiFormatTest, RoundUpToTen) {
    const int32_t cases[][2] = {{0, 0}, {1, 10}, {10, 10}, {11, 20}, {995, 1000}, {1000, 1000}, {12345, 12350}};
    for (const auto& c : cases) EXPECT_EQ(RoundUpToTen(c[0]), c[1]) << c[0];
}

TEST(UiFormatTest, DistanceForms) {
    const Case cases[] = {
        // No rounding, tenths truncated.
        {"Km", FormatDistanceKm, 0, "0.0 km"},
        {"Km", FormatDistanceKm, 50, "0.0 km"},
        {"Km", FormatDistanceKm, 99, "0.0 km"},
        {"Km", FormatDistanceKm, 100, "0.1 km"},
        {"Km", FormatDistanceKm, 999, "0.9 km"},
        {"Km", FormatDistanceKm, 1050, "1.0 km"},
        {"Km", FormatDistanceKm, 12399, "12.3 km"},
        // Rounded up to ten metres first.
        {"MOrKmTenths", FormatDistanceMOrKmTenths, 0, "0m"},
        {"MOrKmTenths", FormatDistanceMOrKmTenths, 7, "10m"},
        {"MOrKmTenths", FormatDistanceMOrKmTenths, 989, "990m"},
        {"MOrKmTenths", FormatDistanceMOrKmTenths, 991, "1.0km"},
        {"MOrKmTenths", FormatDistanceMOrKmTenths, 1250, "1.2km"},
        {"MOrKmTenths", FormatDistanceMOrKmTenths, 20991, "21.0km"},
        {"KmShort", FormatDistanceKmShort, 0, "0.1"},
        {"KmShort", FormatDistanceKmShort, 5, "0.1"},
        {"KmShort", FormatDistanceKmShort, 91, "0.1"},
        {"KmShort", FormatDistanceKmShort, 95, "0.1"},  // 100 after the round-up: "0.1" by the middle rule
        {"KmShort", FormatDistanceKmShort, 450, "0.4"},
        {"KmShort", FormatDistanceKmShort, 995, "1"},
        {"KmShort", FormatDistanceKmShort, 1000, "1"},
        {"KmShort", FormatDistanceKmShort, 25999, "26"},
        {"MOrKm", FormatDistanceMOrKm, 991, "1km"},
        {"MOrKm", FormatDistanceMOrKm, 990, "990m"},
        {"MOrKm", FormatDistanceMOrKm, 1999, "2km"},
        {"MOrKm", FormatDistanceMOrKm, 1989, "1km"},
        // Rounded only below 1000 m.
        {"Number", FormatDistanceNumber, 991, "1000"},
        {"Number", FormatDistanceNumber, 15, "20"},
        {"Number", FormatDistanceNumber, 1999, "1.9"},
        {"Number", FormatDistanceNumber, 99999, "99.9"},
        {"Number", FormatDistanceNumber, 100000, "100"},
        {"Number", FormatDistanceNumber, 123456, "123"},
        {"WithUnit", FormatDistanceWithUnit, 991, "1000 m"},
        {"WithUnit", FormatDistanceWithUnit, 0, "0 m"},
        {"WithUnit", FormatDistanceWithUnit, 5432, "5.4 km"},
        {"WithUnit", FormatDistanceWithUnit, 123456, "123 km"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.form) + " " + std::to_string(c.input));
        EXPECT_EQ(Utf8(c.format(c.input)), c.expected);
    }
}

TEST(UiFormatTest, TimeForms) {
    const Case cases[] = {
        {"Clock", FormatClockHHMM, 0, "00:00"},
        {"Clock", FormatClockHHMM, 3599, "00:59"},
        {"Clock", FormatClockHHMM, 13 * 3600 + 5 * 60 + 59, "13:05"},
        {"Clock", FormatClockHHMM, 86400 + 3600, "01:00"},  // hours modulo 24
        // A duration never shows 00:00.
        {"Duration", FormatDurationHHMM, 0, "00:01"},
        {"Duration", FormatDurationHHMM, 59, "00:01"},
        {"Duration", FormatDurationHHMM, 86400, "00:01"},
        {"Duration", FormatDurationHHMM, 60, "00:01"},
        {"Duration", FormatDurationHHMM, 120, "00:02"},
        {"Duration", FormatDurationHHMM, 3600, "01:00"},
        {"HoursMinutes", FormatDurationHoursMinutes, 0, "00분"},
        {"HoursMinutes", FormatDurationHoursMinutes, 59 * 60, "59분"},
        {"HoursMinutes", FormatDurationHoursMinutes, 3600 + 5 * 60, " 1시간 05분"},  // hours padded with a blank
        {"HoursMinutes", FormatDurationHoursMinutes, 12 * 3600 + 30 * 60, "12시간 30분"},
        {"HoursMinutes", FormatDurationHoursMinutes, 86400 + 60, "01분"},
        // Packed hhmmss: 60 minutes or more carry into the hour.
        // h = v / 10000, min = v % 10000 / 100: 16000 is 1 h 60 min, so 2 h.
        {"Packed", FormatPackedHoursMinutes, 6000, "01시간 00분"},
        {"Packed", FormatPackedHoursMinutes, 16000, "02시간 00분"},
        {"Packed", FormatPackedHoursMinutes, 4500, "45분"},
        {"Packed", FormatPackedHoursMinutes, 23059, "02시간 30분"},
        {"Packed", FormatPackedHoursMinutes, 0, "00분"},
        {"PackedColon", FormatPackedHoursMinutesColon, 6000, "01:00분"},
        {"PackedColon", FormatPackedHoursMinutesColon, 16000, "02:00분"},
        {"PackedColon", FormatPackedHoursMinutesColon, 5900, "59분"},
        {"PackedColon", FormatPackedHoursMinutesColon, 101500, "10:15분"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.form) + " " + std::to_string(c.input));
        EXPECT_EQ(Utf8(c.format(c.input)), c.expected);
    }
}

TEST(UiFormatTest, DatesAndSystemTime) {
    EXPECT_EQ(Utf8(FormatDateTimeSlashed(20261211, 93005)), "2026/12/11 09:30");
    EXPECT_EQ(Utf8(FormatDateTimeSlashed(20260101, 235959)), "2026/01/01 23:59");
    EXPECT_EQ(Utf8(FormatDateTimeKorean(20261211, 93005)), "26년 12월 11일 09:30");
    EXPECT_EQ(Utf8(FormatDateTimeKorean(20090305, 70000)), "09년 03월 05일 07:00");
    platform::LocalDateTime t;
    t.hour = 7;
    t.minute = 4;
    EXPECT_EQ(Utf8(FormatSystemTimeHHMM(t)), "07:04");
}

}  // namespace
