// The main queue: a full queue refuses with the wake-up untouched, and
// posts from several threads while the main thread takes arrive whole, each
// thread's in its own order, none lost or doubled.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "foundation/debug_trace.h"
#include "shell/main_queue.h"

namespace {

TEST(MainQueueTest, FullQueueRefusesAndWakesOnEveryAcceptedPost) {
    MainQueue& queue = MainQueue::Instance();
    queue.Clear();
    int wakeups = 0;
    queue.SetWakeup([&] { ++wakeups; });
    for (size_t i = 0; i < MainQueue::kCapacity; ++i) ASSERT_TRUE(queue.Post({kWmChapterEvent, i, 0}));
    EXPECT_FALSE(queue.Post({kWmChapterEvent, 9999, 0}));
    EXPECT_EQ(wakeups, static_cast<int>(MainQueue::kCapacity));
    MainMessage message;
    ASSERT_TRUE(queue.TryTake(message));
    EXPECT_EQ(message.wParam, 0u);
    EXPECT_TRUE(queue.Post({kWmChapterEvent, 7, 0}));
    size_t taken = 1;
    while (queue.TryTake(message)) ++taken;
    EXPECT_EQ(taken, MainQueue::kCapacity + 1);
    EXPECT_EQ(message.wParam, 7u);
    queue.SetWakeup(nullptr);
}

TEST(MainQueueTest, PostsFromThreadsArriveInTheirOrder) {
    MainQueue& queue = MainQueue::Instance();
    queue.Clear();
    constexpr int kThreads = 4;
    constexpr int kEach = 2000;
    const int level = GetDebugTraceLevel();
    SetDebugTraceLevel(0);  // the refusals' trace lines
    std::atomic<int> wakeups{0};
    queue.SetWakeup([&] { wakeups.fetch_add(1, std::memory_order_relaxed); });
    std::vector<std::thread> posters;
    for (int t = 0; t < kThreads; ++t)
        posters.emplace_back([&queue, t] {
            for (int i = 0; i < kEach;) {
                // A full queue refuses at once; the poster tries again.
                if (queue.Post({kWmChapterEvent, static_cast<uint64_t>(i), t})) ++i;
                else std::this_thread::yield();
            }
        });
    std::vector<int> next(kThreads, 0);
    int taken = 0;
    MainMessage m;
    while (taken < kThreads * kEach) {
        if (!queue.TryTake(m)) {
            std::this_thread::yield();
            continue;
        }
        ASSERT_GE(m.lParam, 0);
        ASSERT_LT(m.lParam, kThreads);
        ASSERT_EQ(m.wParam, static_cast<uint64_t>(next[static_cast<size_t>(m.lParam)]));
        ++next[static_cast<size_t>(m.lParam)];
        ++taken;
    }
    for (std::thread& t : posters) t.join();
    EXPECT_FALSE(queue.TryTake(m));
    EXPECT_EQ(wakeups.load(), kThreads * kEach);
    queue.SetWakeup(nullptr);
    SetDebugTraceLevel(level);
}

}  // namespace
