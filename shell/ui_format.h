#pragma once
// The one set of distance, duration, clock and date texts the screens and
// screen parts show. Several forms of the same quantity exist side by side
// (with and without units, different precision and rounding); each screen
// part uses the one its design names. Integer division truncates.
#include <cstdint>
#include <string>

#include "foundation/coords.h"
#include "platform/clock.h"

// m unchanged when a multiple of 10, else the next multiple of 10 above.
int32_t RoundUpToTen(int32_t distanceM);

// Distance forms (metres in, wide text out).
std::u16string FormatDistanceKm(int32_t distanceM);           // "0.9 km", "12.3 km"
std::u16string FormatDistanceMOrKmTenths(int32_t distanceM);  // "990m", "1.2km"
std::u16string FormatDistanceKmShort(int32_t distanceM);      // "0.1", "0.5", "12"
std::u16string FormatDistanceMOrKm(int32_t distanceM);        // "990m", "12km"
std::u16string FormatDistanceNumber(int32_t distanceM);       // "990", "99.9", "123"
std::u16string FormatDistanceWithUnit(int32_t distanceM);     // "990 m", "99.9 km", "123 km"

// Time forms.
std::u16string FormatClockHHMM(int32_t seconds);
std::u16string FormatDurationHHMM(int32_t seconds);  // 00:00 shows as 00:01
std::u16string FormatSystemTimeHHMM(const platform::LocalDateTime& time);
std::u16string FormatDateTimeSlashed(int32_t packedDate, int32_t packedTime);
std::u16string FormatDateTimeKorean(int32_t packedDate, int32_t packedTime);
std::u16string FormatDurationHoursMinutes(int32_t seconds);
std::u16string FormatPackedHoursMinutes(int32_t packedTime);
std::u16string FormatPackedHoursMinutesColon(int32_t packedTime);

// The administrative area name of a point (map database area code, then the
// search module's address text in form 7); entry 2 of text table 2 when
// either is missing. Always 1.
int GetAreaNameOfPoint(const MapPoint& point, std::u16string& out);
// "name\r[12.3km]": the area name with the straight distance from the
// current position of the GPS module settings object.
int FormatAreaNameWithDistance(const MapPoint& point, std::u16string& out);

// printf into a wide text (the format and its arguments are ASCII or UTF-8).
std::u16string FormatWide(const char* format, ...) __attribute__((format(printf, 1, 2)));
