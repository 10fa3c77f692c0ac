// The start-up's modules: each is waited for with a bound on the program
// clock; a refusal, a failure state or a time-out ends the start-up and
// stops every module started so far, last first; the stop flag ends the
// thread at its next test, also inside a wait.
#include "shell/startup_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"

namespace {

// What happened, in order ("start route", "stop route").
class Journal {
public:
    void Add(std::string line) {
        std::lock_guard<std::mutex> hold(m_mutex);
        m_lines.push_back(std::move(line));
    }
    std::vector<std::string> Lines() const {
        std::lock_guard<std::mutex> hold(m_mutex);
        return m_lines;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_lines;
};

class StandIn : public EngineModule {
public:
    enum class Behaviour { kReady, kRefuses, kFails, kNeverReady };
    StandIn(const char* name, Behaviour behaviour, Journal& journal)
        : m_name(name), m_behaviour(behaviour), m_journal(journal) {}
    const char* Name() const override { return m_name; }
    int Start() override {
        m_journal.Add(std::string("start ") + m_name);
        return m_behaviour == Behaviour::kRefuses ? -3 : 1;
    }
    int InitState() override {
        polls.fetch_add(1);
        switch (m_behaviour) {
            case Behaviour::kFails: return -1;
            case Behaviour::kNeverReady: return 0;
            default: return 1;
        }
    }
    int Stop(uint32_t) override {
        m_journal.Add(std::string("stop ") + m_name);
        return 1;
    }
    std::atomic<int> polls{0};

private:
    const char* m_name;
    Behaviour m_behaviour;
    Journal& m_journal;
};

using B = StandIn::Behaviour;

// The six modules in start order; the odd one (returned) behaves so.
StandIn* AddSix(EngineModules& modules, Journal& journal, const char* odd, B oddBehaviour) {
    StandIn* found = nullptr;
    for (const char* name : {"map", "route", "guidance", "gps", "draw", "search"}) {
        const bool isOdd = std::string(name) == odd;
        auto module = std::make_unique<StandIn>(name, isOdd ? oddBehaviour : B::kReady, journal);
        if (isOdd) found = module.get();
        modules.Add(std::move(module));
    }
    return found;
}

TEST(EngineModulesTest, EveryModuleReadyStartsAllAndStopsThemLastFirst) {
    Journal journal;
    EngineModules modules;
    AddSix(modules, journal, "", B::kReady);
    StartupStop stop;
    ASSERT_EQ(modules.StartAll(stop, ModuleWaits{}, nullptr), 1);
    EXPECT_EQ(modules.Running().size(), 6u);
    EXPECT_EQ(modules.StopAll(ModuleWaits{}), 1);
    EXPECT_TRUE(modules.Running().empty());
    const std::vector<std::string> want = {"start map",   "start route", "start guidance", "start gps",
                                           "start draw",  "start search", "stop search",   "stop draw",
                                           "stop gps",    "stop guidance", "stop route",   "stop map"};
    EXPECT_EQ(journal.Lines(), want);
}

TEST(EngineModulesTest, RefusalOrFailureStateStopsEveryStartedModuleInReverse) {
    const struct {
        B behaviour;
        int result;
    } kCases[] = {{B::kRefuses, -3}, {B::kFails, -1}};
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.result);
        Journal journal;
        EngineModules modules;
        AddSix(modules, journal, "draw", c.behaviour);
        StartupStop stop;
        StartupFailure failure;
        EXPECT_EQ(modules.StartAll(stop, ModuleWaits{}, &failure), 0);
        EXPECT_EQ(failure.module, "draw");
        EXPECT_EQ(failure.result, c.result);
        EXPECT_FALSE(failure.timedOut);
        // Route planning and search included: nothing started stays running.
        const std::vector<std::string> want = {"start map", "start route", "start guidance", "start gps",
                                               "start draw", "stop draw",  "stop gps",       "stop guidance",
                                               "stop route", "stop map"};
        EXPECT_EQ(journal.Lines(), want);
        EXPECT_TRUE(modules.Running().empty());
    }
}

TEST(EngineModulesTest, ModuleThatNeverGetsReadyEndsTheStartUpAtItsBound) {
    platform::FakeClock clock(5000);
    platform::ScopedClock scope(clock);
    Journal journal;
    EngineModules modules;
    StandIn* search = AddSix(modules, journal, "search", B::kNeverReady);
    StartupStop stop;
    StartupFailure failure;
    ModuleWaits waits;
    waits.readyMs = 2000;
    waits.pollMs = 1;
    std::atomic<int> result{-1};
    std::thread starter([&] { result = modules.StartAll(stop, waits, &failure); });
    // The wait runs on the program clock: the search is polled until the
    // clock passes its bound, however long that takes in real time.
    while (search->polls.load() == 0) std::this_thread::yield();
    clock.Advance(1999);
    EXPECT_EQ(result.load(), -1);
    clock.Advance(1);
    starter.join();
    EXPECT_EQ(result.load(), 0);
    EXPECT_TRUE(failure.timedOut);
    EXPECT_EQ(failure.module, "search");
    EXPECT_EQ(failure.Text(), "search was not ready in time");
    EXPECT_EQ(journal.Lines().back(), "stop map");
    EXPECT_TRUE(modules.Running().empty());
}

TEST(StartupThreadTest, FailureIsReportedAndNothingIsLeftRunning) {
    Journal journal;
    std::atomic<int> reported{0}, chaptersMade{0};
    StartupSteps steps;
    steps.addModules = [&](EngineModules& modules) { AddSix(modules, journal, "gps", B::kFails); };
    steps.createChapters = [&] { chaptersMade++; };
    steps.reportFailure = [&](const StartupFailure& f) {
        EXPECT_EQ(f.module, "gps");
        reported++;
    };
    StartupThread thread(steps, ModuleWaits{});
    thread.Start();
    ASSERT_TRUE(thread.WaitFinished(60000));
    EXPECT_EQ(thread.Result(), 0);
    EXPECT_EQ(reported.load(), 1);
    EXPECT_EQ(chaptersMade.load(), 0);   // no chapters after a failure
    EXPECT_TRUE(thread.Modules().Running().empty());
    EXPECT_TRUE(thread.Stop(60000));
}

TEST(StartupThreadTest, StopDuringAModuleWaitEndsTheThreadAndShutDownStopsWhatStarted) {
    // The clock stands still: only the stop flag can end the wait.
    platform::FakeClock clock(5000);
    platform::ScopedClock scope(clock);
    Journal journal;
    std::atomic<int> chaptersMade{0};
    StartupSteps steps;
    steps.addModules = [&](EngineModules& modules) { AddSix(modules, journal, "route", B::kNeverReady); };
    steps.createChapters = [&] { chaptersMade++; };
    StartupThread thread(steps, ModuleWaits{});
    thread.Start();
    while (journal.Lines().size() < 2) std::this_thread::yield();
    EXPECT_TRUE(thread.Stop(60000));   // joined, not abandoned
    EXPECT_EQ(thread.Result(), -1);
    EXPECT_EQ(chaptersMade.load(), 0);
    EXPECT_EQ(thread.Modules().Running(), (std::vector<std::string>{"map", "route"}));
    EXPECT_EQ(thread.Modules().StopAll(ModuleWaits{}), 1);
    EXPECT_EQ(journal.Lines().back(), "stop map");
}

TEST(StartupThreadTest, StepsRunInOrderAndTheChaptersComeLast) {
    Journal journal;
    StartupSteps steps;
    steps.setTraceLevel = [&] { journal.Add("trace"); };
    steps.loadTexts = [&] { journal.Add("texts"); return true; };
    steps.openImagePacks = [&] { journal.Add("packs"); return true; };
    steps.initSceneHandlers = [&] { journal.Add("parts"); return true; };
    steps.addModules = [&](EngineModules& modules) {
        modules.Add(std::make_unique<StandIn>("map", B::kReady, journal));
    };
    steps.resumeSavedRoute = [&] { journal.Add("resume"); };
    steps.loadFonts = [&] { journal.Add("fonts"); };
    steps.uiInfoStartup = [&] { journal.Add("ui info"); };
    steps.createChapters = [&] { journal.Add("chapters"); };
    StartupThread thread(steps, ModuleWaits{});
    thread.Start();
    ASSERT_TRUE(thread.WaitFinished(60000));
    EXPECT_EQ(thread.Result(), 1);
    const std::vector<std::string> want = {"trace",  "texts", "packs",   "parts",   "start map",
                                           "resume", "fonts", "ui info", "chapters"};
    EXPECT_EQ(journal.Lines(), want);
}

}  // namespace
