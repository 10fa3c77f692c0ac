#pragma once
// Thread names and events.
//
// A thread's name is kept whole per thread (the crash report prints it);
// the kernel's copy, seen by debuggers and top, is cut at 15 characters.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <initializer_list>
#include <mutex>
#include <vector>

namespace platform {

inline constexpr size_t kThreadNameMax = 64;

void SetCurrentThreadName(const char* name);
// The name set on this thread, "" when none. Safe to call from a signal
// handler (reads thread-local storage only).
const char* CurrentThreadName();
// A small per-process number of the calling thread (the Win32 thread id's
// place in messages).
uint32_t CurrentThreadId();

// A Win32-style event: manual-reset events stay set until Reset; auto-reset
// events release one waiter and clear themselves. Every wait has a time-out.
class Event {
public:
    static constexpr uint32_t kInfinite = 0xFFFFFFFF;   // refused: see Wait

    explicit Event(bool manualReset = false, bool initialState = false);
    ~Event();
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void Set();
    void Reset();
    // True when the event was (or became) set within timeoutMs.
    bool Wait(uint32_t timeoutMs);
    bool IsSet() const;

    // Index of the first event set within timeoutMs (auto-reset events are
    // consumed), -1 on time-out.
    static int WaitAny(std::initializer_list<Event*> events, uint32_t timeoutMs);

private:
    struct Waiter {
        std::mutex mutex;
        std::condition_variable cv;
        bool woken = false;
    };
    bool TryConsume();   // m_mutex held
    void Attach(Waiter* w);
    void Detach(Waiter* w);

    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_manualReset;
    bool m_set;
    std::vector<Waiter*> m_waiters;   // WaitAny waiters, guarded by m_mutex
};

}  // namespace platform
