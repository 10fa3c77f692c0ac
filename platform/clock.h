#pragma once
// Millisecond ticks and local calendar time. Every part of the program that
// waits, ages or times out reads time through here, so tests can drive it.
#include <atomic>
#include <cstdint>

namespace platform {

struct LocalDateTime {
    int year = 1970;
    int month = 1;       // 1..12
    int day = 1;         // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
    int dayOfWeek = 4;   // 0 Sunday .. 6 Saturday
};

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary start; never wraps in practice.
    virtual uint64_t TickMs64() const = 0;
    virtual LocalDateTime LocalNow() const = 0;
};

// The clock of the running system (steady clock and the local time zone).
Clock& SystemClock();

// Replaces the clock used by GetTickCount and friends; null restores the
// system clock. The caller keeps the clock alive while it is installed.
void SetClock(Clock* clock);
Clock& CurrentClock();

// 32-bit tick like the Win32 call: wraps after 49.7 days. Use it only for
// short spans compared by unsigned subtraction.
uint32_t GetTickCount();
// 64-bit tick for spans that must not wrap.
uint64_t GetTickCount64();
LocalDateTime GetLocalTime();

// A clock that moves only when told to. Thread-safe.
class FakeClock : public Clock {
public:
    explicit FakeClock(uint64_t startMs = 1000) : m_tickMs(startMs) {}
    uint64_t TickMs64() const override { return m_tickMs.load(std::memory_order_acquire); }
    LocalDateTime LocalNow() const override;
    void Advance(uint64_t ms) { m_tickMs.fetch_add(ms, std::memory_order_acq_rel); }
    void SetTick(uint64_t ms) { m_tickMs.store(ms, std::memory_order_release); }
    // Sets the local time at the current tick; it then runs with the tick.
    void SetLocal(const LocalDateTime& local);

private:
    std::atomic<uint64_t> m_tickMs;
    std::atomic<int64_t> m_localBaseSec{0};   // local seconds since 1970 at m_localBaseTick
    std::atomic<uint64_t> m_localBaseTick{0};
};

// Installs a clock for the lifetime of the object (tests).
class ScopedClock {
public:
    explicit ScopedClock(Clock& clock) { SetClock(&clock); }
    ~ScopedClock() { SetClock(nullptr); }
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;
};

// Calendar helpers on seconds since 1970-01-01 00:00:00 without a time zone.
int64_t LocalToEpochSeconds(const LocalDateTime& local);
LocalDateTime EpochSecondsToLocal(int64_t seconds);

}  // namespace platform
