#pragma once
// The main window's message handling: the one entry of input, timer ticks,
// chapter events and posted messages into the main thread. The window
// itself (SDL or headless) lives in the frame; this object turns the
// frame's messages into the shell's reactions, keeps the main-loop clock
// words and the timers, and reaches the chapters through ShellChapters.
//
// Everything here runs on the main thread. The chapters' owner is
// published once by the start-up thread (PublishChapters, release) and
// read here (acquire); until then every path finds no chapters.
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "shell/window_messages.h"

// What the main window needs of the chapter manager.
class ShellChapters {
public:
    virtual ~ShellChapters() = default;
    virtual int CurrentChapterId() const = 0;
    // The tick of the last switch of chapters: older input is not passed.
    virtual uint32_t LastSwitchTick() const = 0;
    virtual void DispatchInput(uint32_t message, uint64_t wParam, int64_t lParam) = 0;
    virtual void OnChapterEvent(int event) = 0;
    virtual void Update() = 0;
};

// The process's chapters: set by the start-up thread, taken back by the
// shut-down. Null while there are none.
void PublishChapters(ShellChapters* chapters);
ShellChapters* PublishedChapters();

// The main-loop clock words.
uint32_t CurrentLoopTime();    // the tick stored before the message being handled
uint32_t CurrentMessageTime(); // that message's own time stamp
uint32_t TimerHoldTime();      // the loop time of the last size change

// The shell services the window calls. Each is a stand-in until its
// service exists; unset ones do nothing.
struct MainWindowServices {
    std::function<void(int action, int chapterId)> remoteAction;
    std::function<void(int code, int value)> broadcastStatus;
    std::function<void()> restartStepTick;
    std::function<void(const char* label)> stepLog;
    std::function<void()> playTouchVolume;
    std::function<void()> volumeUp;
    std::function<void()> volumeDown;
    std::function<void()> timerJobs;         // banner, companion exit check, drive service, day/night...
    std::function<void()> showMainWindow;    // first switch, unless hidden
    std::function<void()> closeSplash;
    std::function<void()> showFrame;         // first switch, always
    std::function<void()> destroyWindow;     // the exit request without companion mode
    std::function<void(uint64_t which, int64_t shown)> frameShown;
    // The first switch out of the start state enables the remote control.
    std::function<void()> enableRemote;
    // Event 149: the exit request (the companion link; without it the
    // window goes at once) and the speech program's notice.
    std::function<void()> requestExit;
    // Messages from other programs (commands, copy data, the application
    // manager's); true when handled.
    std::function<bool(uint32_t message, uint64_t wParam, int64_t lParam)> linkMessage;
};

struct MainWindowSettings {
    int32_t clientWidth = 800;
    int32_t clientHeight = 480;
    int hideMode = 0;
    int rotate = 0;
    int voiceware = 0;
};

// Rotates a packed point by the ROTATE mode on a W x H client (each
// mode maps the client onto itself: 0..W-1, 0..H-1).
int64_t RotateInputPoint(int mode, int32_t width, int32_t height, int64_t lParam);

// The timers of the main window: each fires on a deadline that moves by
// whole periods, so a late loop gets one tick for all it missed.
class WindowTimers {
public:
    void Set(uint32_t id, uint32_t periodMs, uint64_t nowMs);
    void Kill(uint32_t id);
    // The ids due at nowMs, each once; their deadlines move past nowMs.
    template <typename F>
    void FireDue(uint64_t nowMs, F&& fire) {
        for (auto& [id, timer] : m_timers) {
            if (nowMs < timer.deadlineMs) continue;
            const uint64_t late = nowMs - timer.deadlineMs;
            timer.deadlineMs += (late / timer.periodMs + 1) * timer.periodMs;
            fire(id);
        }
    }
    // The earliest deadline; UINT64_MAX without timers.
    uint64_t NextDeadline() const;
    bool Has(uint32_t id) const { return m_timers.count(id) != 0; }

private:
    struct Timer {
        uint32_t periodMs = 0;
        uint64_t deadlineMs = 0;
    };
    std::map<uint32_t, Timer> m_timers;
};

class MainWindow {
public:
    MainWindow(const MainWindowSettings& settings, MainWindowServices services);

    // Stores the loop clock words (the current tick and the message's
    // time stamp) and handles the message. The result as the design gives it.
    int64_t Dispatch(uint32_t message, uint64_t wParam, int64_t lParam, uint32_t messageTime);
    int64_t Proc(uint32_t message, uint64_t wParam, int64_t lParam);

    WindowTimers& Timers() { return m_timers; }
    // Set by WM_DESTROY.
    bool QuitPosted() const { return m_quit; }
    int32_t ClientWidth() const { return m_settings.clientWidth; }
    int32_t ClientHeight() const { return m_settings.clientHeight; }
    const MainWindowSettings& Settings() const { return m_settings; }
    // Input dropped while the companion reports a window transition.
    void SetTransitionCheck(std::function<bool()> check) { m_inTransition = std::move(check); }

private:
    int64_t OnInput(uint32_t message, uint64_t wParam, int64_t lParam);
    int64_t OnTimer(uint32_t id);
    int64_t OnChapterEvent(int event);
    void PassThroughTimeGate(uint32_t message, uint64_t wParam, int64_t lParam);
    void Remote(int action);

    MainWindowSettings m_settings;
    MainWindowServices m_services;
    WindowTimers m_timers;
    std::function<bool()> m_inTransition;
    bool m_quit = false;
};
