#include <gtest/gtest.h>

#include <thread>

#include "platform/clock.h"
#include "platform/thread_util.h"

namespace {

TEST(Clock, FakeClockDrivesTicksAndLocalTime) {
    platform::FakeClock clock(0xFFFFFF00ull);   // 32-bit tick about to wrap
    platform::ScopedClock use(clock);
    platform::LocalDateTime start;
    start.year = 2004;
    start.month = 2;
    start.day = 28;
    start.hour = 23;
    start.minute = 59;
    start.second = 59;
    clock.SetLocal(start);

    const uint32_t before32 = platform::GetTickCount();
    const uint64_t before64 = platform::GetTickCount64();
    clock.Advance(1500);
    EXPECT_EQ(static_cast<uint32_t>(platform::GetTickCount() - before32), 1500u);   // wraps, still right
    EXPECT_LT(platform::GetTickCount(), before32);
    EXPECT_EQ(platform::GetTickCount64() - before64, 1500u);

    const platform::LocalDateTime now = platform::GetLocalTime();
    EXPECT_EQ(now.month, 2);
    EXPECT_EQ(now.day, 29);   // 2004 is a leap year
    EXPECT_EQ(now.hour, 0);
    EXPECT_EQ(now.second, 0);
    EXPECT_EQ(now.millisecond, 500);
    EXPECT_EQ(now.dayOfWeek, 0);   // Sunday
}

TEST(Clock, CalendarRoundTrip) {
    for (int64_t s = -86400LL * 400; s < 86400LL * 365 * 70; s += 86400LL * 37 + 3671) {
        EXPECT_EQ(platform::LocalToEpochSeconds(platform::EpochSecondsToLocal(s)), s);
    }
    platform::LocalDateTime y2k;
    y2k.year = 2000;
    EXPECT_EQ(platform::EpochSecondsToLocal(platform::LocalToEpochSeconds(y2k)).dayOfWeek, 6);
}

TEST(Event, AutoResetReleasesOneWaiterAndTimesOut) {
    platform::Event event(false, false);
    EXPECT_FALSE(event.Wait(1));
    event.Set();
    EXPECT_TRUE(event.Wait(0));
    EXPECT_FALSE(event.Wait(0));   // consumed

    platform::Event manual(true, true);
    EXPECT_TRUE(manual.Wait(0));
    EXPECT_TRUE(manual.Wait(0));   // stays set
    manual.Reset();
    EXPECT_FALSE(manual.Wait(0));
}

TEST(Event, WaitAnyWakesOnTheEventSetFromAnotherThread) {
    platform::Event stop(true, false);
    platform::Event work(false, false);
    std::thread setter([&] { work.Set(); });
    EXPECT_EQ(platform::Event::WaitAny({&stop, &work}, 5000), 1);
    setter.join();
    EXPECT_EQ(platform::Event::WaitAny({&stop, &work}, 1), -1);
    stop.Set();
    EXPECT_EQ(platform::Event::WaitAny({&stop, &work}, 0), 0);

    // Many set/wait rounds between two threads lose no wake-up.
    std::thread producer([&] {
        for (int i = 0; i < 2000; ++i) {
            work.Set();
            std::this_thread::yield();
        }
    });
    int woken = 0;
    while (platform::Event::WaitAny({&work}, 200) == 0) ++woken;
    producer.join();
    EXPECT_GE(woken, 1);
}

TEST(ThreadName, KeptWholeWhileTheKernelCopyIsCut) {
    std::string seen;
    std::thread([&] {
        platform::SetCurrentThreadName("MODULEDRAWTHEAD_LONGER_NAME");
        seen = platform::CurrentThreadName();
    }).join();
    EXPECT_EQ(seen, "MODULEDRAWTHEAD_LONGER_NAME");
    EXPECT_STREQ(platform::CurrentThreadName(), "");
}

}  // namespace
