#include "shell/main_queue.h"

#include "foundation/debug_trace.h"
#include "shell/chapter_manager.h"

MainQueue::MainQueue() : m_ring(kCapacity) {}

MainQueue& MainQueue::Instance() {
    static MainQueue queue;
    return queue;
}

bool MainQueue::Post(const MainMessage& message) {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        if (m_count == m_ring.size()) {
            DebugTrace(1, "[SHELL] main queue full: message %u (%llu) dropped\n", message.message,
                       static_cast<unsigned long long>(message.wParam));
            return false;
        }
        m_ring[(m_head + m_count) % m_ring.size()] = message;
        ++m_count;
    }
    std::function<void()> wakeup;
    {
        std::lock_guard<std::mutex> hold(m_wakeupLock);
        wakeup = m_wakeup;
    }
    if (wakeup) wakeup();
    return true;
}

bool MainQueue::TryTake(MainMessage& out) {
    std::lock_guard<std::mutex> hold(m_lock);
    if (m_count == 0) return false;
    out = m_ring[m_head];
    m_head = (m_head + 1) % m_ring.size();
    --m_count;
    return true;
}

void MainQueue::SetWakeup(std::function<void()> wakeup) {
    std::lock_guard<std::mutex> hold(m_wakeupLock);
    m_wakeup = std::move(wakeup);
}

size_t MainQueue::Size() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_count;
}

void MainQueue::Clear() {
    std::lock_guard<std::mutex> hold(m_lock);
    m_head = 0;
    m_count = 0;
}

int PumpMainQueue(ChapterManager& manager) {
    MainQueue& queue = MainQueue::Instance();
    const size_t waiting = queue.Size();
    int taken = 0;
    MainMessage message;
    for (size_t i = 0; i < waiting && queue.TryTake(message); ++i) {
        ++taken;
        if (message.message == kWmChapterEvent)
            manager.OnChapterEvent(static_cast<int32_t>(message.wParam));
        else if (message.message == kWmUpdateChapter)
            manager.UpdateCurrent();
        else
            manager.DispatchInput(message.message, message.wParam, message.lParam);
    }
    return taken;
}
