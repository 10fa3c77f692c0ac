#include "foundation/work_thread.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <new>
#include <system_error>

#include "foundation/crash_report.h"
#include "foundation/debug_trace.h"
#include "platform/clock.h"
#include "platform/codepage.h"

namespace {

// How often a thread held before InitInstance looks at its stop request when
// nobody wakes it.
constexpr uint32_t kStartSliceMs = 100;
// How often the state thread's idle wait looks at its quit flag.
constexpr uint32_t kIdleSliceMs = 200;
// A step that leaves at most this much of its period runs the next one at once.
constexpr int32_t kMinStepSleepMs = 10;

std::atomic<uint64_t> g_nextThreadHandle{0x100};

int PriorityToNice(int priority) {
    // The process's own nice is "normal"; each Win32 step above or below it
    // moves five nice levels.
    static const int baseNice = getpriority(PRIO_PROCESS, static_cast<id_t>(getpid()));
    return std::clamp(baseNice - priority * 5, -20, 19);
}

}  // namespace

// What the thread and its owner share. The thread holds its own reference,
// so an owner that gives up on the thread leaves all of this in place.
struct CMgrWorkThread::Control {
    std::string traceName;
    platform::Event started{false, false};
    platform::Event go{false, false};
    platform::Event stopEvent{true, false};
    platform::Event finished{true, false};
    std::atomic<int> stop{0};
    std::atomic<int> cancelled{0};
    std::atomic<uint32_t> threadId{0};
    std::atomic<int> kernelTid{0};
    std::atomic<uint64_t> handle{0};
    // Set before the thread starts and never replaced; closing is atomic.
    MgrMsgQueueHandlePtr reader;
    MgrMsgQueueHandlePtr writer;

    void CloseQueues() {
        if (reader) reader->Close();
        if (writer) writer->Close();
    }
};

CMgrWorkThread::CMgrWorkThread() = default;

CMgrWorkThread::~CMgrWorkThread() {
    if (!m_thread.joinable()) return;
    if (m_control->finished.IsSet()) {
        m_thread.join();
        return;
    }
    if (!IsOwnThread()) {
        DebugTrace(0, "~CMgrWorkThread: %s destroyed while its thread runs\r\n", m_control->traceName.c_str());
        RequestStop();
    }
    m_thread.detach();
}

std::string CMgrWorkThread::NameForTrace() const {
    const char16_t* name = GetThreadName();
    if (!name || !*name) return "WORKTHREAD";
    return platform::Utf16ToUtf8(name);
}

void CMgrWorkThread::ThreadEntry(CMgrWorkThread* self, std::shared_ptr<Control> control) {
    const char* name = control->traceName.c_str();
    platform::SetCurrentThreadName(name);
    PrepareThreadForCrashReport();
    control->threadId.store(platform::CurrentThreadId(), std::memory_order_release);
    control->kernelTid.store(static_cast<int>(gettid()), std::memory_order_release);

    RunThreadBodyGuarded(name, [&] {
        DebugTrace(3, "_WorkThreadEntry\r\n");
        control->started.Set();
        // The owner finishes the set-up (and may hold the thread suspended)
        // before the hooks run.
        bool go = false;
        while (!go) {
            const int fired = platform::Event::WaitAny({&control->go, &control->stopEvent}, kStartSliceMs);
            if (fired == 0) {
                go = true;
            } else if (fired == 1 || control->cancelled.load(std::memory_order_acquire) ||
                       control->stop.load(std::memory_order_acquire)) {
                break;
            }
        }
        if (go) {
            if (!self->InitInstance()) {
                self->ExitInstance();
            } else {
                self->m_quit.store(0, std::memory_order_release);
                self->Run();
                self->ExitInstance();
            }
        }
        DebugTrace(3, "EndThread 0x%08x\r\n", static_cast<uint32_t>(control->handle.load()));
    });
    // From here on only the shared control block is touched: the owner may
    // delete the worker object as soon as it sees the thread finished.
    control->handle.store(0, std::memory_order_release);
    control->CloseQueues();
    control->finished.Set();
}

int CMgrWorkThread::CreateThread(int priority, uint32_t creationFlags, uint32_t /*stackSize*/) {
    if (IsThreadRunning()) return 0;
    if (m_thread.joinable()) m_thread.join();

    std::shared_ptr<Control> control;
    try {
        control = std::make_shared<Control>();
        control->traceName = NameForTrace();
    } catch (const std::bad_alloc&) {
        return 0;
    }
    const MgrQueueInfo* info = GetQueueInfo();
    if (info) {
        const char16_t* name = GetThreadName();
        if (!name || !*name) return 0;
        control->reader = CreateMsgQueue(name, *info, MgrMsgQueueHandle::kReader);
        if (!control->reader) return 0;
        control->writer = CreateMsgQueue(name, *info, MgrMsgQueueHandle::kWriter);
        if (!control->writer) {
            control->CloseQueues();
            return 0;
        }
    }
    control->handle.store(g_nextThreadHandle.fetch_add(1), std::memory_order_release);
    m_maxMessageSize = info ? info->maxMessageSize : 0;
    m_quit.store(1, std::memory_order_release);
    m_control = control;   // before the thread starts: it reads the control block through this object

    try {
        m_thread = std::thread(&CMgrWorkThread::ThreadEntry, this, control);
    } catch (const std::system_error&) {
        control->handle.store(0, std::memory_order_release);
        control->CloseQueues();
        control->finished.Set();
        return 0;
    }
    DebugTrace(3, "CreateThread 0x%08x, %s\r\n", static_cast<uint32_t>(control->handle.load()),
               control->traceName.c_str());

    if (!control->started.Wait(kMgrThreadStartTimeoutMs)) {
        // Never seen on a healthy system; the thread ends on its own once it
        // gets to run, without calling a hook.
        control->cancelled.store(1, std::memory_order_release);
        control->stop.store(1, std::memory_order_release);
        control->stopEvent.Set();
        DebugTrace(0, "CreateThread: %s did not start\r\n", control->traceName.c_str());
        m_thread.detach();
        return 0;
    }
    SetThreadPriority(priority);
    if (!(creationFlags & kMgrCreateSuspended)) control->go.Set();
    return 1;
}

int CMgrWorkThread::ResumeThread() {
    if (!IsThreadRunning()) return 0;
    m_control->go.Set();
    return 1;
}

int CMgrWorkThread::SetThreadPriority(int priority) {
    if (!m_control) return 0;
    const int tid = m_control->kernelTid.load(std::memory_order_acquire);
    if (tid == 0 || !IsThreadRunning()) return 0;
    return setpriority(PRIO_PROCESS, static_cast<id_t>(tid), PriorityToNice(priority)) == 0 ? 1 : 0;
}

int CMgrWorkThread::RegistThread() {
    CMgrWorkThreadEntry* registry = CMgrWorkThreadEntry::Instance();
    return registry ? registry->AddThread(this) : 0;
}

int CMgrWorkThread::UnregistThread() {
    CMgrWorkThreadEntry* registry = CMgrWorkThreadEntry::Instance();
    return registry ? registry->RemoveThread(this) : 0;
}

int CMgrWorkThread::SendThreadMessage(const std::u16string& target, uint32_t code, const void* payload,
                                      uint32_t length, uint32_t timeoutMs) {
    return __SendMessage(target, code, payload, length, timeoutMs, nullptr);
}

int CMgrWorkThread::__SendMessage(const std::u16string& target, uint32_t code, const void* payload,
                                  uint32_t length, uint32_t timeoutMs, const uint32_t* tick) {
    CMgrWorkThreadEntry* registry = CMgrWorkThreadEntry::Instance();
    return registry ? registry->SendToThread(target, code, payload, length, timeoutMs, tick) : 0;
}

int CMgrWorkThread::GetThreadMessage(uint32_t* senderId, uint32_t* code, void* buffer, uint32_t size,
                                     uint32_t* length, uint32_t* tick, uint32_t timeoutMs) {
    CMgrWorkThreadEntry* registry = CMgrWorkThreadEntry::Instance();
    return registry ? registry->ReceiveForThread(senderId, code, buffer, size, length, tick, timeoutMs) : 0;
}

uint64_t CMgrWorkThread::GetThreadHandle() const {
    return m_control ? m_control->handle.load(std::memory_order_acquire) : 0;
}

uint32_t CMgrWorkThread::GetThreadId() const {
    return m_control ? m_control->threadId.load(std::memory_order_acquire) : 0;
}

MgrMsgQueueHandlePtr CMgrWorkThread::GetReaderHandle() const { return m_control ? m_control->reader : nullptr; }

MgrMsgQueueHandlePtr CMgrWorkThread::GetWriterHandle() const { return m_control ? m_control->writer : nullptr; }

std::shared_ptr<const std::atomic<int>> CMgrWorkThread::GetStopFlag() const {
    if (!m_control) return nullptr;
    return std::shared_ptr<const std::atomic<int>>(m_control, &m_control->stop);
}

bool CMgrWorkThread::IsThreadRunning() const { return m_control && !m_control->finished.IsSet(); }

int CMgrWorkThread::GetQuitFlag() const {
    if (m_quit.load(std::memory_order_acquire)) return 1;
    return m_control && m_control->stop.load(std::memory_order_acquire) ? 1 : 0;
}

bool CMgrWorkThread::IsOwnThread() const {
    return m_control && m_control->threadId.load(std::memory_order_acquire) == platform::CurrentThreadId();
}

void CMgrWorkThread::RequestStop() {
    m_quit.store(1, std::memory_order_release);
    if (!m_control) return;
    m_control->stop.store(1, std::memory_order_release);
    m_control->stopEvent.Set();
    if (m_control->reader) m_control->reader->GetQueue()->WakeWaiters();
}

void CMgrWorkThread::ReleaseFinishedThread() {
    if (m_thread.joinable() && m_control && m_control->finished.IsSet()) m_thread.join();
}

int CMgrWorkThread::WaitForThreadEnd(uint32_t timeoutMs, uint32_t reportedMs) {
    if (!m_control || !m_thread.joinable() || IsOwnThread()) return 0;
    if (m_control->finished.Wait(timeoutMs)) {
        m_thread.join();
        return 1;
    }
    // Killing it could leave locks held and memory half-written: the thread
    // keeps running on its own control block, and is named in the trace.
    DebugTrace(0, "StopThread: %s did not end within %u ms, left running\r\n", m_control->traceName.c_str(),
               reportedMs);
    m_thread.detach();
    return 0;
}

int CMgrWorkThread::StopThread(uint32_t timeoutMs) {
    if (!m_control || !m_thread.joinable() || m_control->finished.IsSet()) {
        ReleaseFinishedThread();
        return 0;
    }
    if (IsOwnThread()) return 0;
    if (m_control->writer) {
        // Message 0 ends the run loop after the messages before it. It is
        // not waited for: when the queue is full the stop flag ends the loop.
        MgrThreadMsgHeader header;
        header.senderThreadId = platform::CurrentThreadId();
        header.targetThreadId = GetThreadId();
        header.tickCount = platform::GetTickCount();
        uint8_t message[kMgrThreadMsgHeaderSize];
        EncodeThreadMsgHeader(header, message);
        WriteMsgQueue(m_control->writer.get(), message, sizeof message, 0);
    }
    RequestStop();
    const uint32_t limitMs = timeoutMs == kMgrInfinite ? kMgrUnlimitedStopWaitMs : timeoutMs;
    return WaitForThreadEnd(limitMs, limitMs);
}

// ---------------------------------------------------------------------------
// State thread

void CMgrStateThread::Run() {
    while (!GetQuitFlag()) {
        if (platform::Event::WaitAny({&m_wakeEvent, &m_quitEvent}, kIdleSliceMs) != 0) continue;
        DebugTrace(3, "WAIT_OBJECT_0 : %d\r\n", m_bRunning.load(std::memory_order_acquire));
        while (m_bRunning.load(std::memory_order_acquire) == 1 && !GetQuitFlag()) {
            uint32_t t0 = 0;
            uint32_t t1 = 0;
            uint32_t periodMs = 0;
            bool stillRunning = false;
            {
                MgrLock hold(m_stateLock);
                if (m_state != kRunning) {
                    m_bRunning.store(0, std::memory_order_release);
                    break;
                }
                t0 = platform::GetTickCount();
                if (!OnStep()) {
                    m_state = kFinished;
                    OnStop();
                }
                t1 = platform::GetTickCount();
                periodMs = m_periodMs;
                stillRunning = m_state == kRunning;
            }
            // A finished job does not wait out its period.
            if (!stillRunning) continue;
            const int32_t waitMs = static_cast<int32_t>(periodMs - (t1 - t0));
            if (waitMs > kMinStepSleepMs) {
                const uint32_t s0 = platform::GetTickCount();
                // Sleeps on the quit event so a stop need not wait the period out.
                m_quitEvent.Wait(static_cast<uint32_t>(waitMs));
                DebugTrace(3, "nWaitTime : %d, %d\r\n", waitMs, static_cast<int>(platform::GetTickCount() - s0));
            }
        }
        DebugTrace(3, "m_bRunning : %d\r\n", m_bRunning.load(std::memory_order_acquire));
    }
}

int CMgrStateThread::Prepare(const void* param, uint32_t periodMs) {
    MgrLock hold(m_stateLock);
    if (m_state == kRunning) {
        m_bRunning.store(0, std::memory_order_release);
        OnAbort();
    }
    m_periodMs = periodMs;
    if (OnPrepare(param)) {
        m_state = kPrepared;
        return 1;
    }
    m_state = kNone;
    return 0;
}

int CMgrStateThread::Start() {
    MgrLock hold(m_stateLock);
    if (m_state == kNone || m_state == kRunning) return 0;
    if (!OnStart()) return 0;
    m_state = kRunning;
    WakeUp();
    DebugTrace(3, "START THREAD\r\n");
    return 1;
}

int CMgrStateThread::Stop() {
    MgrLock hold(m_stateLock);
    if (m_state != kRunning || !OnStop()) return 0;
    m_state = kStopped;
    m_bRunning.store(0, std::memory_order_release);
    DebugTrace(3, "STOP THREAD\r\n");
    return 1;
}

int CMgrStateThread::GetState() {
    MgrLock hold(m_stateLock);
    return m_state;
}

uint32_t CMgrStateThread::GetPeriodMs() {
    MgrLock hold(m_stateLock);
    return m_periodMs;
}

int CMgrStateThread::WakeUp() {
    m_bRunning.store(1, std::memory_order_release);
    m_wakeEvent.Set();
    return 1;
}

int CMgrStateThread::StopThread(uint32_t timeoutMs) {
    if (!GetThreadHandle() || IsOwnThread()) return 0;
    const uint32_t limitMs = timeoutMs == kMgrInfinite ? kMgrUnlimitedStopWaitMs : timeoutMs;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    // A step that never ends holds the state lock: wait for it no longer than
    // the stop itself may take.
    bool locked = m_stateLock.TryEnter() == 1;
    while (!locked && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        locked = m_stateLock.TryEnter() == 1;
    }
    if (locked) {
        if (m_state == kRunning) {
            m_bRunning.store(0, std::memory_order_release);
            OnAbort();
        } else if (m_state == kStopped || m_state == kFinished) {
            OnAbort();
        }
        m_state = kNone;
        m_stateLock.Leave();
    }
    RequestStop();
    m_quitEvent.Set();
    // Rounded up: the thread is given the whole time-out, not a millisecond less.
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return WaitForThreadEnd(static_cast<uint32_t>(std::max<int64_t>(0, left.count())), limitMs);
}
