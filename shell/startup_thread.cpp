#include "shell/startup_thread.h"

#include "foundation/debug_trace.h"
#include "platform/clock.h"

std::string StartupFailure::Text() const {
    if (timedOut) return module + " was not ready in time";
    return module + " failed (" + std::to_string(result) + ")";
}

int EngineModules::StartAll(StartupStop& stop, const ModuleWaits& waits, StartupFailure* failure) {
    for (size_t i = m_started; i < m_modules.size(); ++i) {
        if (stop.IsSet()) return 1;
        EngineModule& module = *m_modules[i];
        const int started = module.Start();
        // A refused start may still have left threads behind: it is
        // stopped with the others.
        m_started = i + 1;
        StartupFailure why{module.Name(), started, false};
        bool ok = started == 1;
        if (ok) {
            const uint64_t deadline = platform::GetTickCount64() + waits.readyMs;
            for (;;) {
                const int state = module.InitState();
                if (state > 0) break;
                if (state < 0) {
                    why.result = state;
                    ok = false;
                    break;
                }
                if (stop.IsSet()) return 1;
                if (platform::GetTickCount64() >= deadline) {
                    why.result = 0;
                    why.timedOut = true;
                    ok = false;
                    break;
                }
                stop.Nap(waits.pollMs);
            }
        }
        if (!ok) {
            DebugTrace(0, "[STARTUP] %s\n", why.Text().c_str());
            if (failure) *failure = why;
            StopAll(waits);
            return 0;
        }
        DebugTrace(2, "[STARTUP] %s ready\n", module.Name());
    }
    return 1;
}

int EngineModules::StopAll(const ModuleWaits& waits) {
    int all = 1;
    while (m_started > 0) {
        EngineModule& module = *m_modules[m_started - 1];
        --m_started;
        if (module.Stop(waits.stopMs) != 1) {
            DebugTrace(0, "[SHUTDOWN] %s did not stop\n", module.Name());
            all = 0;
        } else {
            DebugTrace(2, "[SHUTDOWN] %s stopped\n", module.Name());
        }
    }
    return all;
}

std::vector<std::string> EngineModules::Running() const {
    std::vector<std::string> names;
    for (size_t i = 0; i < m_started; ++i) names.push_back(m_modules[i]->Name());
    return names;
}

StartupThread::StartupThread(StartupSteps steps, ModuleWaits waits)
    : m_steps(std::move(steps)), m_waits(waits) {}

StartupThread::~StartupThread() { Stop(10000); }

void StartupThread::Start() {
    if (m_thread.joinable()) return;
    m_thread = std::thread([this] { Run(); });
}

bool StartupThread::Stop(uint32_t timeoutMs) {
    m_stop.Set();
    if (!m_thread.joinable()) return true;
    if (!m_done.Wait(timeoutMs)) {
        DebugTrace(0, "[SHUTDOWN] the start-up thread did not end within %u ms\n", timeoutMs);
        m_thread.detach();
        return false;
    }
    m_thread.join();
    return true;
}

void StartupThread::Run() {
    platform::SetCurrentThreadName("STARTUP");
    auto fail = [this](const char* step, int result) {
        m_failure = StartupFailure{step, result, false};
        DebugTrace(0, "[STARTUP] %s\n", m_failure.Text().c_str());
    };
    auto finish = [this](int result) {
        if (result == 0 && m_steps.reportFailure) m_steps.reportFailure(m_failure);
        m_result.store(result, std::memory_order_release);
        m_finished.store(true, std::memory_order_release);
        m_done.Set();
    };
    if (m_stop.IsSet()) return finish(-1);
    if (m_steps.setTraceLevel) m_steps.setTraceLevel();
    if (m_stop.IsSet()) return finish(-1);
    if (m_steps.loadTexts && !m_steps.loadTexts()) DebugTrace(0, "[STARTUP] text tables not loaded\n");
    if (m_stop.IsSet()) return finish(-1);
    if (m_steps.openImagePacks && !m_steps.openImagePacks()) DebugTrace(1, "[STARTUP] image packs not opened\n");
    if (m_stop.IsSet()) return finish(-1);
    if (m_steps.initSceneHandlers && !m_steps.initSceneHandlers()) {
        fail("screen parts", 0);
        return finish(0);
    }
    if (m_stop.IsSet()) return finish(-1);
    if (m_steps.addModules) m_steps.addModules(m_modules);
    if (!m_modules.StartAll(m_stop, m_waits, &m_failure)) return finish(0);
    if (m_stop.IsSet()) return finish(-1);
    if (m_steps.resumeSavedRoute) m_steps.resumeSavedRoute();
    if (m_stop.IsSet()) return finish(-1);
    if (m_steps.loadFonts) m_steps.loadFonts();
    if (m_stop.IsSet()) return finish(-1);
    if (m_steps.uiInfoStartup) m_steps.uiInfoStartup();
    if (m_stop.IsSet()) return finish(-1);
    if (m_steps.createChapters) m_steps.createChapters();
    finish(1);
}
