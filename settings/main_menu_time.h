#pragma once
// The date and time helpers of the main-menu functions. The alarm check of
// the registered places uses them; the menu screens keep them with their
// other main-menu functions.
#include <cstdint>

#include "foundation/nv_time.h"

// A calendar date as the menu compares it.
struct PackedDate {
    uint16_t uYear = 0;
    uint8_t uMonth = 0;  // 1..12
    uint8_t uDay = 0;    // 1..31
};

// A time of day to the second (also the alarm window ends of a place).
struct PackedTimeOfDay {
    uint8_t uHour = 0;
    uint8_t uMinute = 0;
    uint8_t uSecond = 0;

    friend bool operator==(const PackedTimeOfDay&, const PackedTimeOfDay&) = default;
};

class CMgrConfigUIFunctionsMainMenu {
public:
    // Weekday bits of an alarm mask.
    static constexpr int kMonday = 1;
    static constexpr int kTuesday = 2;
    static constexpr int kWednesday = 4;
    static constexpr int kThursday = 8;
    static constexpr int kFriday = 16;
    static constexpr int kSaturday = 32;
    static constexpr int kSunday = 64;

    // The date and the time of day of a time; either output may be null.
    // Always 1.
    static int SplitDateTime(const NvTime& time, PackedDate* date, PackedTimeOfDay* timeOfDay);
    // The mask bit of a weekday (0 Sunday .. 6 Saturday); 0 for any other
    // value.
    static int WeekdayBit(int weekday);
    // 1 when a is later than b, 0 when equal, -1 when earlier.
    static int CompareDate(const PackedDate& a, const PackedDate& b);
    static int CompareTime(const PackedTimeOfDay& a, const PackedTimeOfDay& b);
};
