#include "foundation/critical_section.h"

// The mutex itself is left in place: a destroyed section only stops locking,
// so a call that races process exit finds a harmless object.
CMgrCriticalSection::~CMgrCriticalSection() { m_initialised.store(0, std::memory_order_release); }

int CMgrCriticalSection::Enter() {
    if (IsInitialised()) m_mutex.lock();
    return 1;
}

int CMgrCriticalSection::Leave() {
    if (IsInitialised()) m_mutex.unlock();
    return 1;
}

int CMgrCriticalSection::TryEnter() {
    if (!IsInitialised()) return 1;
    return m_mutex.try_lock() ? 1 : 0;
}
