#include "platform/thread_util.h"

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <cstring>

namespace platform {
namespace {

thread_local char t_name[kThreadNameMax] = {};
thread_local uint32_t t_id = 0;
std::atomic<uint32_t> g_nextId{1};

}  // namespace

void SetCurrentThreadName(const char* name) {
    if (!name) name = "";
    std::strncpy(t_name, name, kThreadNameMax - 1);
    t_name[kThreadNameMax - 1] = '\0';
    char shortName[16];
    std::strncpy(shortName, name, sizeof shortName - 1);
    shortName[sizeof shortName - 1] = '\0';
    pthread_setname_np(pthread_self(), shortName);
}

const char* CurrentThreadName() { return t_name; }

uint32_t CurrentThreadId() {
    if (t_id == 0) t_id = g_nextId.fetch_add(1, std::memory_order_relaxed);
    return t_id;
}

Event::Event(bool manualReset, bool initialState) : m_manualReset(manualReset), m_set(initialState) {}

Event::~Event() = default;

void Event::Set() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_set = true;
    m_cv.notify_all();
    // Waiters are woken under m_mutex: a waiter detaches under the same lock
    // before it goes away, so none is touched after it has left.
    for (Waiter* w : m_waiters) {
        std::lock_guard<std::mutex> wlock(w->mutex);
        w->woken = true;
        w->cv.notify_all();
    }
}

void Event::Reset() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_set = false;
}

bool Event::IsSet() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_set;
}

bool Event::TryConsume() {
    if (!m_set) return false;
    if (!m_manualReset) m_set = false;
    return true;
}

bool Event::Wait(uint32_t timeoutMs) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_set; });
    return TryConsume();
}

void Event::Attach(Waiter* w) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_waiters.push_back(w);
}

void Event::Detach(Waiter* w) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_waiters.erase(std::remove(m_waiters.begin(), m_waiters.end(), w), m_waiters.end());
}

int Event::WaitAny(std::initializer_list<Event*> events, uint32_t timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    Waiter waiter;
    for (Event* e : events) e->Attach(&waiter);
    int result = -1;
    for (;;) {
        int index = 0;
        for (Event* e : events) {
            std::lock_guard<std::mutex> lock(e->m_mutex);
            if (e->TryConsume()) {
                result = index;
                break;
            }
            ++index;
        }
        if (result >= 0) break;
        std::unique_lock<std::mutex> lock(waiter.mutex);
        if (!waiter.woken &&
            !waiter.cv.wait_until(lock, deadline, [&] { return waiter.woken; })) {
            break;
        }
        waiter.woken = false;
    }
    for (Event* e : events) e->Detach(&waiter);
    return result;
}

}  // namespace platform
