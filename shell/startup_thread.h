#pragma once
// The start-up thread and the shut-down of what it made.
//
// The slow part of starting runs beside the main thread's loop so the
// splash keeps painting: the text tables, the image packs, the screen
// parts, the engine modules in their fixed order (each waited for, with a
// bound), the saved route, the fonts, and last the chapters with their
// first event and the update timer. Every step tests the stop flag first.
//
// A module that refuses to start, reports a failure state or is not ready
// within its bound ends the start-up: every module started so far is
// stopped again, last first, each with a bounded wait, and the main thread
// is told (kWmShellStartupFailed) so the failure shows on screen and the
// program ends non-zero when its window is closed.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/thread_util.h"

// One engine module as the start-up sees it.
class EngineModule {
public:
    virtual ~EngineModule() = default;
    virtual const char* Name() const = 0;
    // 1 when the start was accepted (the module is then waited for);
    // anything else is a refusal.
    virtual int Start() = 0;
    // 1 ready, 0 not yet, negative failed.
    virtual int InitState() = 0;
    // 1 when the module stopped within timeoutMs.
    virtual int Stop(uint32_t timeoutMs) = 0;
};

struct ModuleWaits {
    uint32_t readyMs = 30000;   // the bound of one module's start, on the program clock
    uint32_t pollMs = 10;
    uint32_t stopMs = 10000;    // the bound of one module's stop
};

// Why the start-up ended early.
struct StartupFailure {
    std::string module;     // the module, or the step
    int result = 0;         // its refusal or failure state; 0 for a time-out
    bool timedOut = false;
    std::string Text() const;
};

// The stop flag of the start-up with a wake-up for its waits.
class StartupStop {
public:
    void Set() {
        m_flag.store(1, std::memory_order_release);
        m_wake.Set();
    }
    bool IsSet() const { return m_flag.load(std::memory_order_acquire) != 0; }
    // Sleeps at most ms (real time); returns early once the flag is set.
    void Nap(uint32_t ms) { m_wake.Wait(ms); }

private:
    std::atomic<int> m_flag{0};
    platform::Event m_wake{true, false};
};

// The modules in their start order; the started ones are stopped in the
// reverse order.
class EngineModules {
public:
    void Add(std::unique_ptr<EngineModule> module) { m_modules.push_back(std::move(module)); }
    // 1 when every module came up or the stop flag cut the sequence short;
    // 0 on the first refusal, failure state or time-out (failure filled),
    // after stopping every module started so far.
    int StartAll(StartupStop& stop, const ModuleWaits& waits, StartupFailure* failure);
    // Stops every started module, last first; 1 when all stopped in time.
    // Stops all of them even when one does not.
    int StopAll(const ModuleWaits& waits);
    // Names of the modules started and not yet stopped, in start order.
    std::vector<std::string> Running() const;
    size_t Size() const { return m_modules.size(); }

private:
    std::vector<std::unique_ptr<EngineModule>> m_modules;
    size_t m_started = 0;   // the first m_started modules were started
};

// The start-up thread's steps besides the modules. Unset steps succeed.
struct StartupSteps {
    std::function<void()> setTraceLevel;
    std::function<bool()> loadTexts;
    std::function<bool()> openImagePacks;
    std::function<bool()> initSceneHandlers;
    std::function<void(EngineModules&)> addModules;   // fills the modules in start order
    std::function<void()> resumeSavedRoute;
    std::function<void()> loadFonts;
    std::function<void()> uiInfoStartup;
    // Creates and publishes the chapters, posts event 0, asks for the
    // update timer.
    std::function<void()> createChapters;
    // Told of a failure (posts it to the main thread).
    std::function<void(const StartupFailure&)> reportFailure;
};

class StartupThread {
public:
    StartupThread(StartupSteps steps, ModuleWaits waits);
    ~StartupThread();   // Shutdown when still running
    void Start();
    // Sets the stop flag and joins within timeoutMs (real time); true when
    // the thread ended. A thread that did not end is left running and
    // reported, never killed.
    bool Stop(uint32_t timeoutMs);
    bool IsFinished() const { return m_finished.load(std::memory_order_acquire); }
    // 1 every step done, 0 failed, -1 still running or cut by the stop flag.
    int Result() const { return m_result.load(std::memory_order_acquire); }
    EngineModules& Modules() { return m_modules; }
    const StartupFailure& Failure() const { return m_failure; }   // after IsFinished
    // Waits (real time, at most timeoutMs) until the thread finished.
    bool WaitFinished(uint32_t timeoutMs) { return m_done.Wait(timeoutMs); }

private:
    void Run();

    StartupSteps m_steps;
    ModuleWaits m_waits;
    EngineModules m_modules;
    StartupStop m_stop;
    StartupFailure m_failure;
    std::thread m_thread;
    platform::Event m_done{true, false};
    std::atomic<bool> m_finished{false};
    std::atomic<int> m_result{-1};
};
