#include "platform/clock.h"

#include <chrono>
#include <ctime>

namespace platform {
namespace {

class RealClock : public Clock {
public:
    uint64_t TickMs64() const override {
        using namespace std::chrono;
        return static_cast<uint64_t>(
            duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    }
    LocalDateTime LocalNow() const override {
        timespec ts{};
        clock_gettime(CLOCK_REALTIME, &ts);
        tm parts{};
        localtime_r(&ts.tv_sec, &parts);
        LocalDateTime local;
        local.year = parts.tm_year + 1900;
        local.month = parts.tm_mon + 1;
        local.day = parts.tm_mday;
        local.hour = parts.tm_hour;
        local.minute = parts.tm_min;
        local.second = parts.tm_sec;
        local.millisecond = static_cast<int>(ts.tv_nsec / 1000000);
        local.dayOfWeek = parts.tm_wday;
        return local;
    }
};

RealClock g_realClock;
std::atomic<Clock*> g_clock{nullptr};

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

}  // namespace

Clock& SystemClock() { return g_realClock; }

void SetClock(Clock* clock) { g_clock.store(clock, std::memory_order_release); }

Clock& CurrentClock() {
    Clock* clock = g_clock.load(std::memory_order_acquire);
    return clock ? *clock : g_realClock;
}

uint32_t GetTickCount() { return static_cast<uint32_t>(CurrentClock().TickMs64()); }
uint64_t GetTickCount64() { return CurrentClock().TickMs64(); }
LocalDateTime GetLocalTime() { return CurrentClock().LocalNow(); }

int64_t LocalToEpochSeconds(const LocalDateTime& local) {
    return DaysFromCivil(local.year, local.month, local.day) * 86400 + local.hour * 3600 +
           local.minute * 60 + local.second;
}

LocalDateTime EpochSecondsToLocal(int64_t seconds) {
    int64_t days = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
    int64_t rest = seconds - days * 86400;
    LocalDateTime local;
    local.hour = static_cast<int>(rest / 3600);
    local.minute = static_cast<int>(rest % 3600 / 60);
    local.second = static_cast<int>(rest % 60);
    local.dayOfWeek = static_cast<int>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
    // Civil from days (inverse of DaysFromCivil).
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t doe = days - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    local.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    local.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    local.year = static_cast<int>(yoe + era * 400 + (local.month <= 2));
    return local;
}

LocalDateTime FakeClock::LocalNow() const {
    const uint64_t tick = TickMs64();
    const uint64_t base = m_localBaseTick.load(std::memory_order_acquire);
    const uint64_t elapsed = tick > base ? tick - base : 0;
    LocalDateTime local = EpochSecondsToLocal(m_localBaseSec.load(std::memory_order_acquire) +
                                              static_cast<int64_t>(elapsed / 1000));
    local.millisecond = static_cast<int>(elapsed % 1000);
    return local;
}

void FakeClock::SetLocal(const LocalDateTime& local) {
    m_localBaseTick.store(TickMs64(), std::memory_order_release);
    m_localBaseSec.store(LocalToEpochSeconds(local), std::memory_order_release);
}

}  // namespace platform
