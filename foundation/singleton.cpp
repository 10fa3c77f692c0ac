#include "foundation/singleton.h"

#include <cstdlib>

namespace {

CMgrCriticalSection& ObserverCreationLock() {
    static CMgrCriticalSection* lock = new CMgrCriticalSection();
    return *lock;
}

std::atomic<CMgrSingletonObserver*> g_observer{nullptr};
std::atomic<int> g_observerCreatable{1};

}  // namespace

int RegisterSingleton(CMgrSingletonBase* object) {
    if (!object) return 0;
    CMgrSingletonObserver* observer = CMgrSingletonObserver::Instance();
    if (!observer) return 0;
    observer->Add(object);
    return 1;
}

CMgrSingletonObserver* CMgrSingletonObserver::Instance() {
    if (CMgrSingletonObserver* existing = g_observer.load(std::memory_order_acquire)) return existing;
    if (!g_observerCreatable.load(std::memory_order_acquire)) return nullptr;
    MgrLock hold(ObserverCreationLock());
    if (g_observerCreatable.load(std::memory_order_relaxed) && !g_observer.load(std::memory_order_relaxed)) {
        auto* observer = new (std::nothrow) CMgrSingletonObserver();
        if (observer && !observer->m_table) {
            delete observer;
            observer = nullptr;
        }
        g_observer.store(observer, std::memory_order_release);
    }
    return g_observer.load(std::memory_order_acquire);
}

CMgrSingletonObserver::CMgrSingletonObserver()
    : m_table(static_cast<CMgrSingletonBase**>(std::calloc(256, sizeof(CMgrSingletonBase*)))) {}

CMgrSingletonObserver::~CMgrSingletonObserver() {
    MgrLock hold(ObserverCreationLock());
    g_observerCreatable.store(0, std::memory_order_release);
    g_observer.store(nullptr, std::memory_order_release);
    std::free(m_table);
    m_table = nullptr;
}

CMgrCriticalSection* CMgrSingletonObserver::GetLock() { return &ObserverCreationLock(); }

// First calls of two singleton types on two threads can meet here: appends
// are serialised by the registry's own lock.
int CMgrSingletonObserver::Add(CMgrSingletonBase* object) {
    MgrLock hold(ObserverCreationLock());
    if (!m_table) return 0;
    if (m_count + 1 >= m_capacity) {
        const int capacity = m_capacity + 256;
        auto* grown = static_cast<CMgrSingletonBase**>(
            std::realloc(m_table, static_cast<size_t>(capacity) * sizeof(CMgrSingletonBase*)));
        if (!grown) {
            // The registry stops recording; creating singletons still works.
            std::free(m_table);
            m_table = nullptr;
            return 0;
        }
        m_table = grown;
        m_capacity = capacity;
    }
    m_table[m_count++] = object;
    return 1;
}

int CMgrSingletonObserver::GetCount() const {
    MgrLock hold(ObserverCreationLock());
    return m_count;
}

int CMgrSingletonObserver::GetCapacity() const {
    MgrLock hold(ObserverCreationLock());
    return m_capacity;
}

CMgrSingletonBase* CMgrSingletonObserver::GetAt(int index) const {
    MgrLock hold(ObserverCreationLock());
    if (!m_table || index < 0 || index >= m_count) return nullptr;
    return m_table[index];
}
