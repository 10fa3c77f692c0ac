#pragma once
// Process-wide objects: created once, on first use, by whichever thread asks
// first, recorded in the registry, and never destroyed while the process
// runs.
#include <atomic>
#include <new>

#include "foundation/critical_section.h"

class CMgrSingletonBase {
public:
    virtual ~CMgrSingletonBase() = default;
    // The object's own lock; the base has none.
    virtual CMgrCriticalSection* GetLock() { return nullptr; }
};

// Records a new singleton. 0 for null or when the registry is gone, else 1.
int RegisterSingleton(CMgrSingletonBase* object);

// The registry of every singleton created. It only grows, 256 slots at a time.
class CMgrSingletonObserver : public CMgrSingletonBase {
public:
    static CMgrSingletonObserver* Instance();

    // Appends; 1 on success, 0 when the table is missing or cannot grow.
    int Add(CMgrSingletonBase* object);
    CMgrCriticalSection* GetLock() override;

    int GetCount() const;
    int GetCapacity() const;
    CMgrSingletonBase* GetAt(int index) const;

    ~CMgrSingletonObserver() override;

private:
    CMgrSingletonObserver();
    friend struct SingletonObserverTestAccess;

    int m_capacity = 256;
    int m_count = 0;
    CMgrSingletonBase** m_table = nullptr;   // C heap; guarded by the creation lock
};

template <class T>
class MgrSingletonT : public CMgrSingletonBase {
public:
    // The one T of the process, created on the first call; null only when
    // creation failed (a later call tries again).
    static T* Instance();

    CMgrCriticalSection* GetLock() override { return &m_lock; }
    virtual T* GetInstance(T** out) {
        *out = Instance();
        return *out;
    }

protected:
    MgrSingletonT() = default;
    CMgrCriticalSection m_lock;

private:
    static CMgrCriticalSection& CreationLock() {
        // Constructed on the first call; lives to the end of the process.
        static CMgrCriticalSection* lock = new CMgrCriticalSection();
        return *lock;
    }
    static T* Create() {
        try {
            return new (std::nothrow) T();
        } catch (...) {
            return nullptr;
        }
    }

    inline static std::atomic<T*> s_instance{nullptr};
    inline static std::atomic<int> s_created{0};
    inline static std::atomic<int> s_creatable{1};
};

template <class T>
T* MgrSingletonT<T>::Instance() {
    if (T* existing = s_instance.load(std::memory_order_acquire)) return existing;
    CMgrCriticalSection& lock = CreationLock();
    if (s_creatable.load(std::memory_order_acquire) && !s_created.load(std::memory_order_acquire)) {
        MgrLock hold(lock);
        if (s_creatable.load(std::memory_order_relaxed) && !s_created.load(std::memory_order_relaxed)) {
            T* object = Create();
            s_instance.store(object, std::memory_order_release);
            s_created.store(object ? 1 : 0, std::memory_order_release);
            if (object) RegisterSingleton(static_cast<MgrSingletonT<T>*>(object));
        }
    }
    return s_instance.load(std::memory_order_acquire);
}
