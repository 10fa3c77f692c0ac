#pragma once
// The main window's queue of posted messages: chapter events, the update
// request and whatever other threads hand the main thread. Any thread may
// post (a short lock, never a wait for room: a full queue refuses the
// message with a trace); only the main thread takes. The window installs a
// wake-up that makes its loop look at the queue.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

inline constexpr uint32_t kWmUser = 0x0400;
// wParam: the chapter event.
inline constexpr uint32_t kWmChapterEvent = kWmUser + 1;
// Makes the current chapter update at once.
inline constexpr uint32_t kWmUpdateChapter = kWmUser + 4;

struct MainMessage {
    uint32_t message = 0;
    uint64_t wParam = 0;
    int64_t lParam = 0;
};

class MainQueue {
public:
    static constexpr size_t kCapacity = 1024;

    static MainQueue& Instance();

    // Any thread; never blocks. False (and a trace) when the queue is full.
    bool Post(const MainMessage& message);
    // Main thread: the oldest message; false when the queue is empty.
    bool TryTake(MainMessage& out);
    // Called after every accepted post, on the posting thread (outside the
    // queue's lock). An empty function removes it.
    void SetWakeup(std::function<void()> wakeup);

    size_t Size() const;
    void Clear();

private:
    MainQueue();

    mutable std::mutex m_lock;  // guards the ring, its head and count
    std::vector<MainMessage> m_ring;
    size_t m_head = 0;
    size_t m_count = 0;
    std::mutex m_wakeupLock;
    std::function<void()> m_wakeup;  // guarded by m_wakeupLock
};

class ChapterManager;
// Main thread: takes the messages that were waiting when called (not those
// posted meanwhile, so a screen that posts on every update cannot keep the
// caller here) and hands chapter events to OnChapterEvent, the update
// request to UpdateCurrent and every other message to DispatchInput. The
// number of messages taken.
int PumpMainQueue(ChapterManager& manager);
