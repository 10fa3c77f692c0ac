#pragma once
// The 32-bit state word every engine module publishes in its settings
// object. The module's worker thread writes it once it is up (1) or when its
// start-up failed (5 traffic, 6 search and drawing, 7 positioning); the
// starter and the screens poll it from other threads, so it is an atomic
// with release on store and acquire on load.
#include <atomic>
#include <cstdint>

class ModuleStateWord {
public:
    static constexpr int32_t kThreadUp = 1;

    int32_t Get() const { return m_value.load(std::memory_order_acquire); }
    void Set(int32_t value) { m_value.store(value, std::memory_order_release); }

private:
    std::atomic<int32_t> m_value{0};
};
