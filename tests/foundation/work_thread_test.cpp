#include "foundation/work_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "foundation/debug_trace.h"
#include "platform/clock.h"
#include "platform/thread_util.h"

namespace {

using SteadyClock = std::chrono::steady_clock;

long ElapsedMs(SteadyClock::time_point since) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - since).count());
}

// Collects trace lines (at level 3) for the life of a test.
class TraceCapture {
public:
    TraceCapture() {
        SetDebugTraceLevel(3);
        SetDebugTraceSink(
            [this](std::string_view line) {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_lines.emplace_back(line);
            },
            false);
    }
    ~TraceCapture() {
        SetDebugTraceSink(nullptr);
        SetDebugTraceLevel(1);
    }
    int Count(const std::string& part) {
        std::lock_guard<std::mutex> lock(m_mutex);
        int n = 0;
        for (const auto& l : m_lines) n += l.find(part) != std::string::npos ? 1 : 0;
        return n;
    }

private:
    std::mutex m_mutex;
    std::vector<std::string> m_lines;
};

// Polls a condition for at most 30 seconds: only a failing test must not
// hang, however slow the machine.
template <class Pred>
bool Eventually(Pred pred) {
    const auto start = SteadyClock::now();
    while (!pred()) {
        if (ElapsedMs(start) > 30000) return false;
        std::this_thread::yield();
    }
    return true;
}

// A module thread that follows the module conventions: registers in
// InitInstance, loops on its messages until code 0, unregisters in
// ExitInstance. Code 7 asks it to stop itself (which it may not).
class EchoWorker : public CMgrWorkThread {
public:
    explicit EchoWorker(const char16_t* name, int initResult = 1) : m_name(name), m_initResult(initResult) {}
    ~EchoWorker() override { StopThread(1000); }

    const char16_t* GetThreadName() const override { return m_name; }
    const MgrQueueInfo* GetQueueInfo() const override { return &kMgrModuleQueueInfo; }

    int InitInstance() override {
        initSawOwnThread = GetThreadId() == platform::CurrentThreadId() && GetThreadHandle() != 0;
        initThreadName = platform::CurrentThreadName();
        initCalls.fetch_add(1);
        if (!m_initResult) return 0;
        SetQuitFlag(0);
        return RegistThread();
    }
    void Run() override {
        runCalls.fetch_add(1);
        uint8_t payload[512];
        while (!GetQuitFlag()) {
            uint32_t sender = 0, code = 0, length = 0;
            if (!GetThreadMessage(&sender, &code, payload, sizeof payload, &length, nullptr, kMgrInfinite)) continue;
            if (code == 0) break;
            if (code == 7) selfStopResult = StopThread(10);
            std::lock_guard<std::mutex> lock(mutex);
            codes.push_back(code);
        }
    }
    int ExitInstance() override {
        UnregistThread();
        exitCalls.fetch_add(1);
        return 0;
    }

    std::vector<uint32_t> Codes() {
        std::lock_guard<std::mutex> lock(mutex);
        return codes;
    }

    std::atomic<int> initCalls{0}, runCalls{0}, exitCalls{0};
    std::atomic<bool> initSawOwnThread{false};
    std::atomic<int> selfStopResult{-1};
    std::string initThreadName;   // written by the thread before Run, read after it ended
    std::mutex mutex;
    std::vector<uint32_t> codes;

private:
    const char16_t* m_name;
    int m_initResult;
};

TEST(WorkThread, StartHandshakeRunsTheHooksOnTheNewThreadUntilMessageZero) {
    const int queuesBefore = GetMsgQueueCount();
    EchoWorker worker(u"WT_ECHO");
    ASSERT_EQ(1, worker.CreateThread(0, 0, 0));
    EXPECT_NE(worker.GetThreadHandle(), 0u);
    EXPECT_NE(worker.GetThreadId(), platform::CurrentThreadId());
    EXPECT_EQ(worker.GetMaxMessageSize(), 532u);
    // A second thread on the same object is refused while the first runs.
    EXPECT_EQ(0, worker.CreateThread(0, 0, 0));

    ASSERT_TRUE(Eventually([] { return CMgrWorkThreadEntry::Instance()->FindThreadByName(u"WT_ECHO") != nullptr; }));
    for (uint32_t code : {3u, 4u, 5u}) ASSERT_EQ(1, CMgrWorkThread::SendThreadMessage(u"WT_ECHO", code, nullptr, 0, 100));
    ASSERT_EQ(1, CMgrWorkThread::SendThreadMessage(u"WT_ECHO", 0, nullptr, 0, 100));
    ASSERT_TRUE(Eventually([&] { return !worker.IsThreadRunning(); }));

    EXPECT_TRUE(worker.initSawOwnThread.load());
    EXPECT_EQ(worker.initThreadName, "WT_ECHO");
    EXPECT_EQ(worker.Codes(), (std::vector<uint32_t>{3, 4, 5}));
    EXPECT_EQ(worker.runCalls.load(), 1);
    EXPECT_EQ(worker.exitCalls.load(), 1);
    // Ended: no handle, no registry entry, queue closed; a stop has nothing to do.
    EXPECT_EQ(worker.GetThreadHandle(), 0u);
    EXPECT_FALSE(CMgrWorkThreadEntry::Instance()->FindThreadByName(u"WT_ECHO"));
    EXPECT_EQ(GetMsgQueueCount(), queuesBefore);
    EXPECT_EQ(0, worker.StopThread(100));
    // The object may start a new thread once the old one has ended.
    ASSERT_EQ(1, worker.CreateThread(0, 0, 0));
    EXPECT_EQ(1, worker.StopThread(30000));
}

TEST(WorkThread, FailedInitInstanceSkipsRunButStillExits) {
    const int queuesBefore = GetMsgQueueCount();
    EchoWorker worker(u"WT_NOINIT", 0);
    ASSERT_EQ(1, worker.CreateThread(0, 0, 0));
    ASSERT_TRUE(Eventually([&] { return !worker.IsThreadRunning(); }));
    EXPECT_EQ(worker.initCalls.load(), 1);
    EXPECT_EQ(worker.runCalls.load(), 0);
    EXPECT_EQ(worker.exitCalls.load(), 1);
    EXPECT_EQ(worker.GetThreadHandle(), 0u);
    EXPECT_EQ(GetMsgQueueCount(), queuesBefore);
    EXPECT_EQ(0, worker.StopThread(100));
}

TEST(WorkThread, SuspendedThreadWaitsBeforeInitInstanceUntilResumed) {
    EchoWorker worker(u"WT_SUSPENDED");
    ASSERT_EQ(1, worker.CreateThread(0, kMgrCreateSuspended, 0));
    EXPECT_NE(worker.GetThreadId(), 0u);   // the start handshake is done
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(worker.initCalls.load(), 0);
    ASSERT_EQ(1, worker.ResumeThread());
    ASSERT_TRUE(Eventually([&] { return worker.runCalls.load() == 1; }));
    EXPECT_EQ(1, worker.StopThread(30000));
    EXPECT_EQ(worker.exitCalls.load(), 1);
}

TEST(WorkThread, StopOfASuspendedThreadEndsItWithoutHooks) {
    EchoWorker worker(u"WT_SUSPSTOP");
    ASSERT_EQ(1, worker.CreateThread(0, kMgrCreateSuspended, 0));
    EXPECT_EQ(1, worker.StopThread(30000));
    EXPECT_EQ(worker.initCalls.load() + worker.runCalls.load() + worker.exitCalls.load(), 0);
}

TEST(WorkThread, StopThreadPostsMessageZeroAndRefusesTheThreadItself) {
    EchoWorker worker(u"WT_STOP");
    ASSERT_EQ(1, worker.CreateThread(0, 0, 0));
    ASSERT_TRUE(Eventually([] { return CMgrWorkThreadEntry::Instance()->FindThreadByName(u"WT_STOP") != nullptr; }));
    ASSERT_EQ(1, CMgrWorkThread::SendThreadMessage(u"WT_STOP", 7, nullptr, 0, 100));
    ASSERT_TRUE(Eventually([&] { return worker.selfStopResult.load() != -1; }));
    EXPECT_EQ(worker.selfStopResult.load(), 0);
    EXPECT_TRUE(worker.IsThreadRunning());

    EXPECT_EQ(1, worker.StopThread(30000));
    EXPECT_EQ(worker.exitCalls.load(), 1);
    EXPECT_FALSE(worker.IsThreadRunning());
    EXPECT_EQ(0, CMgrWorkThread::SendThreadMessage(u"WT_STOP", 3, nullptr, 0, 0));
}

// A thread that ignores message 0 and keeps waiting for messages "without
// limit" still ends: the stop flag ends the unlimited wait.
class DeafWorker : public CMgrWorkThread {
public:
    const char16_t* GetThreadName() const override { return u"WT_DEAF"; }
    const MgrQueueInfo* GetQueueInfo() const override { return &kMgrModuleQueueInfo; }
    int InitInstance() override { return RegistThread(); }
    void Run() override {
        uint8_t payload[512];
        while (!GetQuitFlag()) {
            uint32_t sender = 0, code = 0, length = 0;
            if (GetThreadMessage(&sender, &code, payload, sizeof payload, &length, nullptr, kMgrInfinite))
                received.fetch_add(1);
        }
    }
    int ExitInstance() override { return UnregistThread(); }
    std::atomic<int> received{0};
};

TEST(WorkThread, UnlimitedReceiveEndsOnStopEvenWhenMessageZeroIsIgnored) {
    DeafWorker worker;
    ASSERT_EQ(1, worker.CreateThread(0, 0, 0));
    // Ended within the stop's time-out: the unlimited wait did not outlast
    // the stop (the time-out only bounds a failing test).
    EXPECT_EQ(1, worker.StopThread(30000));
}

// A thread that will not stop until the test lets it.
class StuckWorker : public CMgrWorkThread {
public:
    ~StuckWorker() override {
        release.Set();
        StopThread(2000);
    }
    const char16_t* GetThreadName() const override { return u"WT_STUCK"; }
    int InitInstance() override { return 1; }
    void Run() override {
        running.Set();
        while (!release.Wait(10)) {
        }
    }
    platform::Event running{true, false};
    platform::Event release{true, false};
};

TEST(WorkThread, StopOfAThreadThatWillNotStopReturnsAfterTheTimeOutAndNamesIt) {
    TraceCapture trace;
    auto worker = std::make_unique<StuckWorker>();
    ASSERT_EQ(1, worker->CreateThread(0, 0, 0));
    ASSERT_TRUE(worker->running.Wait(30000));

    const auto start = SteadyClock::now();
    EXPECT_EQ(0, worker->StopThread(50));
    EXPECT_GE(ElapsedMs(start), 50);
    EXPECT_EQ(trace.Count("WT_STUCK did not end within 50 ms"), 1);
    EXPECT_TRUE(worker->IsThreadRunning());

    // Left running, not killed: once let go it ends on its own, and only then
    // is the object deleted.
    worker->release.Set();
    ASSERT_TRUE(Eventually([&] { return !worker->IsThreadRunning(); }));
    EXPECT_EQ(worker->GetThreadHandle(), 0u);
    worker.reset();
}

// ---------------------------------------------------------------------------
// State thread

class StepJob : public CMgrStateThread {
public:
    ~StepJob() override { StopThread(2000); }

    std::atomic<int> startResult{1};
    std::atomic<int> stopResult{1};
    std::atomic<int> finishAfter{0};   // 0: never finishes
    std::atomic<int> stepCostMs{0};    // advances the fake clock, when one is installed
    platform::FakeClock* clock = nullptr;
    platform::Event release{true, true};   // a step waits for it
    std::atomic<int> steps{0}, stops{0}, aborts{0}, starts{0};

protected:
    int OnPrepare(const void* param) override { return param != nullptr; }
    int OnStart() override {
        starts.fetch_add(1);
        steps.store(0);
        return startResult.load();
    }
    int OnStop() override {
        stops.fetch_add(1);
        return stopResult.load();
    }
    void OnAbort() override { aborts.fetch_add(1); }
    int OnStep() override {
        while (!release.Wait(10)) {
        }
        if (clock) clock->Advance(static_cast<uint64_t>(stepCostMs.load()));
        const int n = steps.fetch_add(1) + 1;
        return finishAfter.load() == 0 || n < finishAfter.load();
    }
};

const int kJob = 1;   // any non-null job description

TEST(StateThread, TransitionsOfPrepareStartAndStop) {
    StepJob job;
    EXPECT_EQ(job.GetPeriodMs(), 1000u);
    ASSERT_EQ(1, job.CreateThread(0, 0, 0));

    enum Action { kStart, kStop, kPrepareNull, kPrepareJob };
    struct Step {
        const char* what;
        Action action;
        int result;
        int state;
    } script[] = {
        {"start before any prepare", kStart, 0, CMgrStateThread::kNone},
        {"stop while not running", kStop, 0, CMgrStateThread::kNone},
        {"prepare refused", kPrepareNull, 0, CMgrStateThread::kNone},
        {"prepare accepted", kPrepareJob, 1, CMgrStateThread::kPrepared},
        {"stop while prepared changes nothing", kStop, 0, CMgrStateThread::kPrepared},
        {"start", kStart, 1, CMgrStateThread::kRunning},
        {"start while running", kStart, 0, CMgrStateThread::kRunning},
        {"stop", kStop, 1, CMgrStateThread::kStopped},
        {"start again", kStart, 1, CMgrStateThread::kRunning},
        {"prepare aborts the running job", kPrepareJob, 1, CMgrStateThread::kPrepared},
    };
    for (const Step& s : script) {
        SCOPED_TRACE(s.what);
        int result = -1;
        switch (s.action) {
            case kStart: result = job.Start(); break;
            case kStop: result = job.Stop(); break;
            case kPrepareNull: result = job.Prepare(nullptr, 1000); break;
            case kPrepareJob: result = job.Prepare(&kJob, 1000); break;
        }
        EXPECT_EQ(result, s.result);
        EXPECT_EQ(job.GetState(), s.state);
    }
    EXPECT_EQ(job.aborts.load(), 1);

    // OnStart and OnStop may refuse.
    job.startResult = 0;
    EXPECT_EQ(0, job.Start());
    EXPECT_EQ(job.GetState(), CMgrStateThread::kPrepared);
    job.startResult = 1;
    ASSERT_EQ(1, job.Start());
    job.stopResult = 0;
    EXPECT_EQ(0, job.Stop());
    EXPECT_EQ(job.GetState(), CMgrStateThread::kRunning);

    // Stopping the thread aborts the running job and leaves state 0.
    const int abortsBefore = job.aborts.load();
    EXPECT_EQ(1, job.StopThread(30000));
    EXPECT_EQ(job.aborts.load(), abortsBefore + 1);
    EXPECT_EQ(job.GetState(), CMgrStateThread::kNone);
    EXPECT_FALSE(job.IsThreadRunning());
}

TEST(StateThread, FinishedJobRestarts) {
    StepJob job;
    job.finishAfter = 3;
    ASSERT_EQ(1, job.CreateThread(0, 0, 0));
    ASSERT_EQ(1, job.Prepare(&kJob, 0));
    for (int run = 1; run <= 2; ++run) {
        SCOPED_TRACE(run);
        ASSERT_EQ(1, job.Start());
        ASSERT_TRUE(Eventually([&] { return job.GetState() == CMgrStateThread::kFinished; }));
        EXPECT_EQ(job.steps.load(), 3);
        EXPECT_EQ(job.stops.load(), run);   // OnStop once per finished job
    }
    EXPECT_EQ(job.starts.load(), 2);
}

// The step runs once a period: the rest of the period after a step is slept,
// unless at most 10 ms of it are left.
TEST(StateThread, PeriodicStepSleepsOnlyWhatIsLeftOfThePeriod) {
    struct Case {
        uint32_t periodMs;
        int stepCostMs;
        int sleeps;   // "nWaitTime" lines over three steps (the last one finishes)
        const char* sleepLine;
    } cases[] = {
        {30, 0, 2, "nWaitTime : 30,"},
        {1000, 995, 0, nullptr},    // 5 ms left: no sleep
        {1000, 990, 0, nullptr},    // exactly 10 ms left: no sleep
        {100, 150, 0, nullptr},     // step longer than the period
        {40, 20, 2, "nWaitTime : 20,"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.periodMs);
        platform::FakeClock clock;
        platform::ScopedClock useClock(clock);
        TraceCapture trace;
        StepJob job;
        job.clock = &clock;
        job.stepCostMs = c.stepCostMs;
        job.finishAfter = 3;
        ASSERT_EQ(1, job.CreateThread(0, 0, 0));
        ASSERT_EQ(1, job.Prepare(&kJob, c.periodMs));
        ASSERT_EQ(1, job.Start());
        ASSERT_TRUE(Eventually([&] { return job.GetState() == CMgrStateThread::kFinished; }));
        EXPECT_EQ(job.StopThread(30000), 1);
        EXPECT_EQ(trace.Count("nWaitTime"), c.sleeps);
        if (c.sleepLine) {
            EXPECT_EQ(trace.Count(c.sleepLine), c.sleeps);
        }
        EXPECT_EQ(trace.Count("START THREAD"), 1);
    }
}

TEST(StateThread, StopWhileAStepHangsReturnsAfterTheTimeOut) {
    TraceCapture trace;
    auto job = std::make_unique<StepJob>();
    job->release.Reset();
    ASSERT_EQ(1, job->CreateThread(0, 0, 0));
    ASSERT_EQ(1, job->Prepare(&kJob, 1000));
    ASSERT_EQ(1, job->Start());
    // Give the step time to take the state lock; the stop copes either way.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const auto start = SteadyClock::now();
    EXPECT_EQ(0, job->StopThread(60));
    EXPECT_GE(ElapsedMs(start), 60);
    EXPECT_EQ(trace.Count("did not end within"), 1);
    job->release.Set();
    ASSERT_TRUE(Eventually([&] { return !job->IsThreadRunning(); }));
}

}  // namespace
