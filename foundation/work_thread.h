#pragma once
// Worker threads and state threads.
//
// Every engine module works on a named worker thread of its own, derived from
// `CMgrWorkThread`: `CreateThread` opens the thread's queue, starts the thread
// and returns once the thread has started; on the new thread `InitInstance`,
// `Run` and `ExitInstance` follow. Threads are never killed: `StopThread` asks
// the thread to end (message 0 and a stop flag), waits at most its time-out,
// and a thread that is still running then is reported and left alone.
//
// What the running thread shares with its owner (flags, events, queue
// handles) lives in a control block both hold, so an owner that gives up on
// a thread frees nothing the thread still uses. The worker object itself
// must outlive its thread: when `StopThread` returns 0 because the thread
// did not end, the owner keeps the object (IsThreadRunning() tells when it
// may go).
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "foundation/critical_section.h"
#include "foundation/msg_queue.h"
#include "platform/thread_util.h"

// Creation flag: the thread is created and has done its start handshake, but
// waits before `InitInstance` until ResumeThread().
inline constexpr uint32_t kMgrCreateSuspended = 0x00000004;

// The start handshake gives up when a new thread has not started by then.
inline constexpr uint32_t kMgrThreadStartTimeoutMs = 10000;
// A stop "without limit" waits at most this long before reporting the thread.
inline constexpr uint32_t kMgrUnlimitedStopWaitMs = 30000;

class CMgrWorkThread {
public:
    CMgrWorkThread();
    virtual ~CMgrWorkThread();
    CMgrWorkThread(const CMgrWorkThread&) = delete;
    CMgrWorkThread& operator=(const CMgrWorkThread&) = delete;

    // The registered name of the thread (also its queue's name); null for an
    // unnamed thread.
    virtual const char16_t* GetThreadName() const { return nullptr; }
    // The thread body; runs only when InitInstance returned non-zero.
    virtual void Run() = 0;
    // Ends the thread, waiting at most timeoutMs (kMgrInfinite: a long bound).
    // 1 when the thread ended; 0 when there is no thread, when called on the
    // thread itself, or when the thread did not end in time (it is reported
    // by name and left running). Module threads set their state word, then
    // call this.
    virtual int StopThread(uint32_t timeoutMs);
    // Called on the new thread before Run.
    virtual int InitInstance() { return 0; }
    // Called on the thread after Run, or instead of it when InitInstance failed.
    virtual int ExitInstance() { return 0; }
    // The thread's queue parameters; null for a thread without a queue.
    virtual const MgrQueueInfo* GetQueueInfo() const { return nullptr; }

    // 1 when the thread runs; 0 when anything failed (nothing is left behind)
    // or a thread of this object still runs. priority as Win32 (0 normal),
    // stackSize is accepted for the callers' sake (the default stack is used).
    int CreateThread(int priority, uint32_t creationFlags, uint32_t stackSize);
    // Lets a thread created with kMgrCreateSuspended go on to InitInstance.
    int ResumeThread();
    // Nice value of the thread from a Win32 priority; 1 when the system took it.
    int SetThreadPriority(int priority);

    int RegistThread();
    int UnregistThread();

    // Post to a thread by name from any thread; 1 when posted.
    static int SendThreadMessage(const std::u16string& target, uint32_t code, const void* payload, uint32_t length,
                                 uint32_t timeoutMs);
    // As SendThreadMessage; tick null stamps the tick at posting.
    static int __SendMessage(const std::u16string& target, uint32_t code, const void* payload, uint32_t length,
                             uint32_t timeoutMs, const uint32_t* tick);
    // The next message of the calling thread; tick may be null. An unlimited
    // wait ends (0) once the calling thread has been asked to stop.
    static int GetThreadMessage(uint32_t* senderId, uint32_t* code, void* buffer, uint32_t size, uint32_t* length,
                                uint32_t* tick, uint32_t timeoutMs);

    // Non-zero while the thread is created and has not ended.
    uint64_t GetThreadHandle() const;
    uint32_t GetThreadId() const;
    uint32_t GetMaxMessageSize() const { return m_maxMessageSize; }
    MgrMsgQueueHandlePtr GetReaderHandle() const;
    MgrMsgQueueHandlePtr GetWriterHandle() const;
    // Set once the thread has been asked to stop; never cleared.
    std::shared_ptr<const std::atomic<int>> GetStopFlag() const;
    bool IsThreadRunning() const;

    // 1 when the thread is to end its loop: set at construction and by a stop
    // request; the thread clears it as Run starts (a stop request stays).
    int GetQuitFlag() const;
    void SetQuitFlag(int quit) { m_quit.store(quit, std::memory_order_release); }

protected:
    // The name as UTF-8 for traces ("WORKTHREAD" for an unnamed thread).
    std::string NameForTrace() const;
    // Sets the stop flag and the quit flag and wakes the thread's queue.
    void RequestStop();
    // Waits for the thread to end; joins it (1) or reports it and lets it go
    // (0). Refuses (0) on the thread itself and when there is no thread.
    // reportedMs is the limit named in the report (the whole stop's limit
    // when part of it went elsewhere).
    int WaitForThreadEnd(uint32_t timeoutMs, uint32_t reportedMs);
    // True when called on this object's own thread.
    bool IsOwnThread() const;

private:
    struct Control;
    static void ThreadEntry(CMgrWorkThread* self, std::shared_ptr<Control> control);
    void ReleaseFinishedThread();

    std::shared_ptr<Control> m_control;   // replaced only by CreateThread, before the thread starts
    std::thread m_thread;
    std::atomic<int> m_quit{1};
    uint32_t m_maxMessageSize = 0;
};

// A worker thread without a queue that steps a job every period while it
// runs, under a small state machine.
class CMgrStateThread : public CMgrWorkThread {
public:
    enum State : int { kNone = 0, kPrepared = 1, kStopped = 2, kRunning = 3, kFinished = 5 };
    static constexpr uint32_t kDefaultPeriodMs = 1000;

    CMgrStateThread() = default;

    void Run() override;
    // Aborts the job and ends the thread. 1 when it ended, else 0.
    int StopThread(uint32_t timeoutMs) override;
    int InitInstance() override { return 1; }

    // Aborts a running job, takes the period and offers the job to OnPrepare.
    int Prepare(const void* param, uint32_t periodMs);
    // From prepared, stopped or finished: OnStart, then running and woken.
    int Start();
    // From running: OnStop, then stopped.
    int Stop();
    int GetState();
    uint32_t GetPeriodMs();
    int WakeUp();

protected:
    virtual int OnPrepare(const void* param) = 0;
    virtual int OnStart() = 0;
    virtual int OnStop() = 0;
    virtual void OnAbort() = 0;
    // One step; 0 when the job has finished. Runs with the state lock held.
    virtual int OnStep() = 0;

private:
    CMgrCriticalSection m_stateLock;
    uint32_t m_periodMs NAVI_GUARDED_BY(m_stateLock) = kDefaultPeriodMs;
    int m_state NAVI_GUARDED_BY(m_stateLock) = kNone;
    std::atomic<int> m_bRunning{0};
    platform::Event m_quitEvent{false, false};
    platform::Event m_wakeEvent{false, false};
};
