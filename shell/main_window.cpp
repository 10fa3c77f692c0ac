#include "shell/main_window.h"

#include <limits>

#include "foundation/debug_trace.h"
#include "platform/clock.h"
#include "shell/external_link.h"

namespace {

std::atomic<ShellChapters*> g_chapters{nullptr};
// Main thread only.
uint32_t g_uCurrentTime = 0;
uint32_t g_uMessageTime = 0;
uint32_t g_uTimerHoldTime = 0;

bool IsInputMessage(uint32_t message) {
    switch (message) {
        case kWmPaint:
        case kWmKeyDown:
        case kWmKeyUp:
        case kWmMouseMove:
        case kWmLButtonDown:
        case kWmLButtonUp:
        case kWmRButtonDown:
        case kWmRButtonUp: return true;
        default: return false;
    }
}

bool IsPointerMessage(uint32_t message) {
    return message >= kWmMouseMove && message <= kWmRButtonUp && message != kWmLButtonDblClk;
}

}  // namespace

void PublishChapters(ShellChapters* chapters) { g_chapters.store(chapters, std::memory_order_release); }
ShellChapters* PublishedChapters() { return g_chapters.load(std::memory_order_acquire); }

uint32_t CurrentLoopTime() { return g_uCurrentTime; }
uint32_t CurrentMessageTime() { return g_uMessageTime; }
uint32_t TimerHoldTime() { return g_uTimerHoldTime; }

int64_t RotateInputPoint(int mode, int32_t width, int32_t height, int64_t lParam) {
    const int32_t x = PointParamX(lParam);
    const int32_t y = PointParamY(lParam);
    switch (mode) {
        case 1: return MakePointParam(y, height - 1 - x);
        case 2: return MakePointParam(width - 1 - x, height - 1 - y);
        case 3: return MakePointParam(width - 1 - y, x);
        default: return lParam;
    }
}

void WindowTimers::Set(uint32_t id, uint32_t periodMs, uint64_t nowMs) {
    if (periodMs == 0) periodMs = 1;
    m_timers[id] = Timer{periodMs, nowMs + periodMs};
}

void WindowTimers::Kill(uint32_t id) { m_timers.erase(id); }

uint64_t WindowTimers::NextDeadline() const {
    uint64_t next = std::numeric_limits<uint64_t>::max();
    for (const auto& [id, timer] : m_timers) next = std::min(next, timer.deadlineMs);
    return next;
}

MainWindow::MainWindow(const MainWindowSettings& settings, MainWindowServices services)
    : m_settings(settings), m_services(std::move(services)) {}

int64_t MainWindow::Dispatch(uint32_t message, uint64_t wParam, int64_t lParam, uint32_t messageTime) {
    g_uCurrentTime = platform::GetTickCount();
    g_uMessageTime = messageTime;
    return Proc(message, wParam, lParam);
}

void MainWindow::Remote(int action) {
    ShellChapters* chapters = PublishedChapters();
    if (m_services.remoteAction) m_services.remoteAction(action, chapters ? chapters->CurrentChapterId() : 0);
}

int64_t MainWindow::Proc(uint32_t message, uint64_t wParam, int64_t lParam) {
    if (IsInputMessage(message)) return OnInput(message, wParam, lParam);
    switch (message) {
        case kWmCreate:
            if (m_services.broadcastStatus) m_services.broadcastStatus(kStatusStarted, 0);
            return 0;
        case kWmDestroy: m_quit = true; return 0;
        case kWmSize: {
            m_settings.clientWidth = PointParamX(lParam) & 0xFFFF;
            m_settings.clientHeight = PointParamY(lParam) & 0xFFFF;
            g_uTimerHoldTime = g_uCurrentTime;
            if (ShellChapters* chapters = PublishedChapters()) chapters->DispatchInput(message, wParam, lParam);
            return 0;
        }
        case kWmTimer: return OnTimer(static_cast<uint32_t>(wParam));
        case kWmChapterEvent: return OnChapterEvent(static_cast<int>(wParam));
        case kWmUpdateChapter:
            if (m_services.restartStepTick) m_services.restartStepTick();
            if (ShellChapters* chapters = PublishedChapters()) chapters->Update();
            if (m_services.stepLog) m_services.stepLog("EVT_UPDATE ");
            return 0;
        case kWmRemoteNoMapping: Remote(12); return 0;
        case kWmFrameShown:
            if (wParam == 1 && m_services.frameShown) m_services.frameShown(wParam, lParam);
            return 0;
        case kWmTypedChar: PassThroughTimeGate(message, wParam, lParam); return 0;
        default:
            if (IsChapterRemoteMessage(message)) {
                // The home and office keys are dropped while blocked.
                if (!IsRemoteMessageBlocked(message)) PassThroughTimeGate(message, wParam, lParam);
                return 0;
            }
            if (m_services.linkMessage) m_services.linkMessage(message, wParam, lParam);
            return 0;
    }
}

void MainWindow::PassThroughTimeGate(uint32_t message, uint64_t wParam, int64_t lParam) {
    // Passed through the time gate, not rotated.
    ShellChapters* chapters = PublishedChapters();
    if (chapters && static_cast<int32_t>(g_uMessageTime - chapters->LastSwitchTick()) >= 0) {
        chapters->DispatchInput(message, wParam, lParam);
    }
}

int64_t MainWindow::OnInput(uint32_t message, uint64_t wParam, int64_t lParam) {
    if (m_inTransition && m_inTransition()) return 0;
    if (m_services.restartStepTick) m_services.restartStepTick();
    ShellChapters* chapters = PublishedChapters();
    // Input stamped before the last switch of chapters belonged to the
    // screen that is gone.
    if (chapters && static_cast<int32_t>(g_uMessageTime - chapters->LastSwitchTick()) >= 0) {
        const int64_t point = IsPointerMessage(message)
                                  ? RotateInputPoint(m_settings.rotate, m_settings.clientWidth,
                                                     m_settings.clientHeight, lParam)
                                  : lParam;
        chapters->DispatchInput(message, wParam, point);
    }
    if (m_services.stepLog) {
        if (message == kWmLButtonDown) m_services.stepLog("WM_LBUTTONDOWN");
        if (message == kWmLButtonUp) m_services.stepLog("WM_LBUTTONUP");
    }
    if (message == kWmKeyDown) {
        switch (wParam) {
            case kVkEscape: Remote(3); break;
            case kVkLeft: Remote(1); break;
            case kVkRight: Remote(2); break;
            case kVkF3: Remote(6); break;
            case kVkUp:
                if (m_services.playTouchVolume) m_services.playTouchVolume();
                if (m_services.volumeUp) m_services.volumeUp();
                break;
            case kVkDown:
                if (m_services.playTouchVolume) m_services.playTouchVolume();
                if (m_services.volumeDown) m_services.volumeDown();
                break;
            default: break;
        }
    } else if (message == kWmKeyUp && wParam == kVkF2) {
        Remote(13);
    }
    return 0;
}

int64_t MainWindow::OnTimer(uint32_t id) {
    if (g_uCurrentTime - g_uTimerHoldTime <= 99) {
        DebugTrace(3, "WM_SIZE 로 인해서 Timer 막힘 - g_uCurrentTime : %d g_uTimerHoldTime : %d\n",
                   static_cast<int>(g_uCurrentTime), static_cast<int>(g_uTimerHoldTime));
        return 0;
    }
    if (m_services.timerJobs) m_services.timerJobs();
    if (id == kUpdateTimerId) {
        if (m_services.restartStepTick) m_services.restartStepTick();
        if (ShellChapters* chapters = PublishedChapters()) chapters->Update();
        if (m_services.stepLog) m_services.stepLog("WM_TIMER->Update");
    }
    return 0;
}

int64_t MainWindow::OnChapterEvent(int event) {
    if (event == kChapterEventExit) {
        if (m_services.requestExit) {
            m_services.requestExit();
        } else if (m_services.destroyWindow) {
            // Without the companion program the window goes at once.
            m_services.destroyWindow();
        } else {
            m_quit = true;
        }
        return 0;
    }
    ShellChapters* chapters = PublishedChapters();
    if (!chapters) return 0;
    if (chapters->CurrentChapterId() == 1) {
        if (!m_settings.hideMode) {
            if (m_services.showMainWindow) m_services.showMainWindow();
            if (m_services.closeSplash) m_services.closeSplash();
        }
        if (m_services.enableRemote) m_services.enableRemote();
        if (m_services.broadcastStatus) m_services.broadcastStatus(kStatusFirstScreen, 0);
        if (m_services.showFrame) m_services.showFrame();
    }
    if (m_services.restartStepTick) m_services.restartStepTick();
    chapters->OnChapterEvent(event);
    if (m_services.stepLog) m_services.stepLog("EVT_MOTOR->Motor");
    return 0;
}
