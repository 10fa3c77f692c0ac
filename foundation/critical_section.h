#pragma once
// The lock every subsystem uses. Like a Win32 critical section it is
// re-entrant: the thread that holds it may enter it again.
#include <atomic>
#include <cstdint>
#include <mutex>

#include "foundation/thread_annotations.h"

class NAVI_CAPABILITY("mutex") CMgrCriticalSection {
public:
    CMgrCriticalSection() = default;
    virtual ~CMgrCriticalSection();
    CMgrCriticalSection(const CMgrCriticalSection&) = delete;
    CMgrCriticalSection& operator=(const CMgrCriticalSection&) = delete;

    // Both return 1. Once the object has been destroyed (late calls while
    // the process exits) they do nothing.
    int Enter() NAVI_ACQUIRE();
    int Leave() NAVI_RELEASE();
    // 1 when the lock was taken without waiting.
    int TryEnter() NAVI_TSA(try_acquire_capability(1));

    bool IsInitialised() const { return m_initialised.load(std::memory_order_acquire) == 1; }

private:
    std::recursive_mutex m_mutex;
    std::atomic<uint8_t> m_initialised{1};
};

// Holds a CMgrCriticalSection for a scope.
class NAVI_SCOPED_CAPABILITY MgrLock {
public:
    explicit MgrLock(CMgrCriticalSection& cs) NAVI_ACQUIRE(cs) : m_cs(cs) { m_cs.Enter(); }
    ~MgrLock() NAVI_RELEASE() { m_cs.Leave(); }
    MgrLock(const MgrLock&) = delete;
    MgrLock& operator=(const MgrLock&) = delete;

private:
    CMgrCriticalSection& m_cs;
};
