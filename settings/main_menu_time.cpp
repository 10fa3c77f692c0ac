#include "settings/main_menu_time.h"

namespace {

int Order(int a, int b) { return a > b ? 1 : (a < b ? -1 : 0); }

}  // namespace

int CMgrConfigUIFunctionsMainMenu::SplitDateTime(const NvTime& time, PackedDate* date, PackedTimeOfDay* timeOfDay) {
    uint16_t year = 0;
    uint8_t month = 0, day = 0, hour = 0, minute = 0, second = 0;
    time.GetDateTime(&year, &month, &day, &hour, &minute, &second);
    if (date) *date = PackedDate{year, month, day};
    if (timeOfDay) *timeOfDay = PackedTimeOfDay{hour, minute, second};
    return 1;
}

int CMgrConfigUIFunctionsMainMenu::WeekdayBit(int weekday) {
    // Monday is the lowest bit; Sunday, weekday 0, comes last.
    static constexpr int kBits[7] = {kSunday, kMonday, kTuesday, kWednesday, kThursday, kFriday, kSaturday};
    return (weekday >= 0 && weekday < 7) ? kBits[weekday] : 0;
}

int CMgrConfigUIFunctionsMainMenu::CompareDate(const PackedDate& a, const PackedDate& b) {
    if (const int c = Order(a.uYear, b.uYear)) return c;
    if (const int c = Order(a.uMonth, b.uMonth)) return c;
    return Order(a.uDay, b.uDay);
}

int CMgrConfigUIFunctionsMainMenu::CompareTime(const PackedTimeOfDay& a, const PackedTimeOfDay& b) {
    if (const int c = Order(a.uHour, b.uHour)) return c;
    if (const int c = Order(a.uMinute, b.uMinute)) return c;
    return Order(a.uSecond, b.uSecond);
}
