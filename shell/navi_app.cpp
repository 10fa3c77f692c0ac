#include "shell/navi_app.h"

#include <SDL2/SDL.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "foundation/crash_report.h"
#include "foundation/debug_trace.h"
#include "foundation/mgr_text.h"
#include "foundation/system_settings.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "platform/thread_util.h"
#include "settings/global_data.h"
#include "settings/old_data_import.h"
#include "settings/ui_setting.h"
#include "shell/desktop_frame.h"
#include "shell/engine_modules.h"
#include "shell/main_queue.h"
#include "shell/main_window.h"
#include "shell/companion_link.h"
#include "shell/external_link.h"
#include "shell/program_link.h"
#include "shell/speech_link.h"
#include "shell/program_services.h"
#include "shell/script.h"
#include "shell/single_instance.h"
#include "shell/sound_out.h"
#include "shell/splash_window.h"
#include "shell/startup.h"
#include "shell/startup_thread.h"
#include "shell/system_bridge.h"
#include "uikit/board_manager.h"

namespace {

ChapterMaker g_chapterMaker;

// SIGTERM and SIGINT ask for the end as the window's close button does.
volatile std::sig_atomic_t g_endAsked = 0;
void OnEndSignal(int) { g_endAsked = 1; }

// How long a scripted run lets the start-up thread work (real time) before
// its clock moves on anyway, so the module waits can run out.
constexpr uint32_t kScriptStartupRealMs = 120000;
constexpr uint32_t kStartupJoinMs = 10000;
constexpr uint32_t kLoopWaitMs = 100;   // the front request is looked at this often
constexpr uint16_t kFailureColour = 0x6000;

// The data root named on the command line wins over the settings file's.
class RootOverrideSource : public SystemSettingsSource {
public:
    RootOverrideSource(SystemSettingsSource* inner, std::u16string root) : m_inner(inner), m_root(std::move(root)) {}
    bool ReadInt(int index, const char* key, int& value) override {
        return m_inner && m_inner->ReadInt(index, key, value);
    }
    bool ReadText(int index, const char* key, std::u16string& value) override {
        if (index == SYS_ROOTPATH) {
            value = m_root;
            return true;
        }
        return m_inner && m_inner->ReadText(index, key, value);
    }

private:
    SystemSettingsSource* m_inner;
    std::u16string m_root;
};

std::string Native(const char16_t* text) { return platform::NativePath(platform::Utf16ToUtf8(text)); }

}  // namespace

void SetChapterMaker(ChapterMaker maker) { g_chapterMaker = std::move(maker); }

bool ParseNaviOptions(const std::vector<std::string>& args, NaviOptions& options, std::string& message) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--root" && hasValue) {
            options.dataRoot = args[++i];
        } else if (a == "--trace" && hasValue) {
            options.traceLevel = std::atoi(args[++i].c_str());
        } else if (a == "--ipc" && hasValue) {
            options.ipcFolder = args[++i];
        } else if (a == "--headless") {
            options.headless = true;
        } else if (a == "--script" && hasValue) {
            options.scriptPath = args[++i];
        } else if (a == "--screenshot" && hasValue) {
            options.screenshotPath = args[++i];
        } else if (a == "--after" && hasValue) {
            options.screenshotAfterMs = std::atoi(args[++i].c_str());
        } else if (a == "--no-message-box") {
            options.messageBox = false;
        } else if (a == "--module-wait" && hasValue) {
            options.moduleWaitMs = static_cast<uint32_t>(std::atol(args[++i].c_str()));
        } else {
            message = "unknown argument '" + a +
                      "' (use --root DIR, --trace N, --ipc DIR, --headless, --script FILE, "
                      "--screenshot PATH --after MS, --no-message-box, --module-wait MS)";
            return false;
        }
    }
    if (!options.screenshotPath.empty() && options.screenshotAfterMs < 0) {
        message = "--screenshot needs --after MS";
        return false;
    }
    return true;
}

namespace {

// Adapts the published chapters: owned by the program, published to the
// main window.
class Program {
public:
    explicit Program(const NaviOptions& options) : m_options(options) {}
    int Run();

private:
    int Prepare();
    void HandleFrameMessage(uint32_t message, uint64_t wParam, int64_t lParam);
    void HandleQueued(const MainMessage& message);
    void Pump();
    void PaintSplash();
    void ShowFailure(const std::string& text);
    void RunRealtime();
    int RunScript(const std::vector<ScriptStep>& steps);
    void AdvanceClock(uint32_t ms);
    void SettleStartup();
    int Shutdown();
    uint32_t Now32() const { return platform::GetTickCount(); }

    NaviOptions m_options;
    bool m_scripted = false;
    platform::FakeClock m_fakeClock;
    std::unique_ptr<platform::ScopedClock> m_clockScope;
    SingleInstance m_instance;
    std::string m_root;
    std::string m_runtime;
    std::unique_ptr<SoundSink> m_sound;
    CaptureSoundSink* m_capture = nullptr;
    DesktopFrame m_frame;
    std::unique_ptr<MainWindow> m_window;
    ProgramLink m_link;
    SplashWindow m_splash;
    std::unique_ptr<MgrText> m_texts;
    std::unique_ptr<NvBoardManager> m_host;
    std::unique_ptr<StartupThread> m_startup;
    std::unique_ptr<ShellChapters> m_chapters;   // made by the start-up thread, owned here after it ended
    std::atomic<ShellChapters*> m_madeChapters{nullptr};
    bool m_settingsOpen = false;
    std::unique_ptr<SystemSettingsSource> m_rootSource;
    bool m_screenSaverWasOn = false;
    bool m_startupFailed = false;
    std::string m_failureText;
};

int Program::Prepare() {
    m_scripted = !m_options.scriptPath.empty() || !m_options.screenshotPath.empty();
    if (m_scripted) {
        // Ticks start from a fixed value; the calendar is today's.
        m_fakeClock.SetLocal(platform::SystemClock().LocalNow());
        m_clockScope = std::make_unique<platform::ScopedClock>(m_fakeClock);
    }
    SetDebugTraceLevel(m_options.traceLevel);
    InstallCrashHandler();

    m_root = m_options.dataRoot;
    if (m_root.empty()) {
        std::u16string parent;
        GetModuleParentFolder(parent);
        m_root = platform::Utf16ToUtf8(parent);
    }
    if (!platform::IsDirectory(m_root)) {
        std::fprintf(stderr, "navi: the data root is not a folder: %s\n", m_root.c_str());
        return kExitNoRoot;
    }
    m_runtime = m_options.ipcFolder.empty() ? DefaultRuntimeFolder() : m_options.ipcFolder;
    std::string error;
    switch (m_instance.Acquire(m_runtime, &error)) {
        case SingleInstance::Result::kSecond: return 0;
        case SingleInstance::Result::kError: std::fprintf(stderr, "navi: %s\n", error.c_str()); return kExitUsage;
        case SingleInstance::Result::kFirst: break;
    }
    // The program folder is the data root's "APP" folder: "System.ini" and
    // "Condition.ini" are read there.
    std::string appFolder = platform::ResolveUnder(m_root, "APP");
    if (!platform::IsDirectory(appFolder)) appFolder = m_root + "/APP";
    SetModuleFolderForTesting(appFolder);
    InitSystemSettings();
    m_settingsOpen = true;
    m_rootSource = std::make_unique<RootOverrideSource>(SystemSettingsBridgeSource(), platform::Utf8ToUtf16(m_root));
    SetSystemSettingsSource(m_rootSource.get());
    DebugTrace(0, "[MAIN] data root: %s, runtime folder %s\n", m_root.c_str(), m_runtime.c_str());
    CMgrConfigGlobalData& global = CMgrConfigGlobalData::Instance();
    global.Load();
    CMgrConfigUIDataConvert::Install();
    return -1;
}

void Program::PaintSplash() {
    if (m_splash.IsOpen()) m_splash.Paint(m_frame, m_window->ClientWidth(), m_window->ClientHeight());
}

void Program::ShowFailure(const std::string& text) {
    m_startupFailed = true;
    m_failureText = text;
    m_splash.Close();
    // The failure is shown in the window the driver can then close: the
    // program never stays as an invisible process holding the lock.
    DibImage565 screen(m_window->ClientWidth(), m_window->ClientHeight());
    screen.Fill(kFailureColour);
    m_frame.Present(screen.Bits(), screen.Width(), screen.Height(), screen.Stride(), 0, 0);
    m_frame.Show();
    const std::string message = "The program could not start: " + text;
    DebugTrace(0, "[MAIN] %s\n", message.c_str());
    std::fprintf(stderr, "navi: %s\n", message.c_str());
    if (!m_frame.IsHeadless() && m_options.messageBox && !m_scripted) {
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "Navi", message.c_str(), nullptr);
    }
}

void Program::HandleFrameMessage(uint32_t message, uint64_t wParam, int64_t lParam) {
    if (message == kWmLButtonDown && m_splash.IsOpen()) m_splash.OnPress();
    if (message == kWmPaint) {
        PaintSplash();
        return;
    }
    m_window->Dispatch(message, wParam, lParam, Now32());
}

void Program::HandleQueued(const MainMessage& message) {
    switch (message.message) {
        case kWmShellSetTimer:
            m_window->Timers().Set(static_cast<uint32_t>(message.wParam), static_cast<uint32_t>(message.lParam),
                                   platform::GetTickCount64());
            return;
        case kWmShellStartupFailed:
            ShowFailure(m_startup ? m_startup->Failure().Text() : std::string("start-up"));
            return;
        default: m_window->Dispatch(message.message, message.wParam, message.lParam, Now32()); return;
    }
}

void Program::Pump() {
    if (g_endAsked) {
        g_endAsked = 0;
        HandleFrameMessage(kWmChapterEvent, kChapterEventExit, 0);
        if (m_window->QuitPosted()) return;
    }
    m_frame.PollEvents([this](uint32_t m, uint64_t w, int64_t l) { HandleFrameMessage(m, w, l); });
    if (m_instance.TakeRaiseRequest()) m_frame.Raise();
    // The chapters become the main window's once the start-up made them.
    if (!m_chapters) {
        if (ShellChapters* made = m_madeChapters.exchange(nullptr, std::memory_order_acq_rel)) {
            m_chapters.reset(made);
        }
    }
    MainQueue& queue = MainQueue::Instance();
    const size_t waiting = queue.Size();
    MainMessage message;
    for (size_t i = 0; i < waiting && !m_window->QuitPosted() && queue.TryTake(message); ++i) HandleQueued(message);
    if (m_window->QuitPosted()) return;
    m_window->Timers().FireDue(platform::GetTickCount64(), [this](uint32_t id) {
        m_window->Dispatch(kWmTimer, id, 0, Now32());
    });
}

void Program::RunRealtime() {
    platform::Event nap(false, false);
    while (!m_window->QuitPosted()) {
        Pump();
        if (m_window->QuitPosted()) break;
        const uint64_t now = platform::GetTickCount64();
        const uint64_t next = m_window->Timers().NextDeadline();
        const uint32_t waitMs = next <= now ? 0 : static_cast<uint32_t>(std::min<uint64_t>(next - now, kLoopWaitMs));
        if (MainQueue::Instance().Size() > 0) continue;
        if (m_frame.IsHeadless()) nap.Wait(waitMs);
        else m_frame.WaitEvents(waitMs);
    }
}

void Program::SettleStartup() {
    if (!m_startup || m_startup->IsFinished()) return;
    if (!m_startup->WaitFinished(kScriptStartupRealMs)) {
        DebugTrace(0, "[SCRIPT] the start-up still works after %u ms; the clock moves on\n", kScriptStartupRealMs);
    }
}

void Program::AdvanceClock(uint32_t ms) {
    const uint64_t target = platform::GetTickCount64() + ms;
    for (;;) {
        SettleStartup();
        Pump();
        if (m_window->QuitPosted()) return;
        const uint64_t now = platform::GetTickCount64();
        if (now >= target) return;
        const uint64_t next = std::min(target, std::max(now + 1, m_window->Timers().NextDeadline()));
        m_fakeClock.SetTick(next);
    }
}

int Program::RunScript(const std::vector<ScriptStep>& steps) {
    PaintSplash();
    auto fail = [](const ScriptStep& step, const std::string& text) {
        std::fprintf(stderr, "navi: script line %d: %s\n", step.line, text.c_str());
        DebugTrace(0, "[SCRIPT] line %d: %s\n", step.line, text.c_str());
        return kExitScriptFailed;
    };
    auto post = [this](uint32_t m, uint64_t w, int64_t l) {
        HandleFrameMessage(m, w, l);
        Pump();
    };
    for (const ScriptStep& step : steps) {
        if (m_window->QuitPosted()) break;
        switch (step.kind) {
            case ScriptStep::kTouch:
                post(kWmLButtonDown, 1, MakePointParam(step.a, step.b));
                post(kWmLButtonUp, 0, MakePointParam(step.a, step.b));
                break;
            case ScriptStep::kDrag: {
                constexpr int kSteps = 8;
                post(kWmLButtonDown, 1, MakePointParam(step.a, step.b));
                for (int i = 1; i <= kSteps; ++i) {
                    AdvanceClock(static_cast<uint32_t>(step.e / kSteps));
                    post(kWmMouseMove, 1,
                         MakePointParam(step.a + (step.c - step.a) * i / kSteps, step.b + (step.d - step.b) * i / kSteps));
                }
                post(kWmLButtonUp, 0, MakePointParam(step.c, step.d));
                break;
            }
            case ScriptStep::kKey:
                post(kWmKeyDown, static_cast<uint64_t>(step.a), 0);
                post(kWmKeyUp, static_cast<uint64_t>(step.a), 0);
                break;
            case ScriptStep::kType: {
                const std::u16string text = platform::Utf8ToUtf16(step.text);
                for (char16_t c : text) post(kWmTypedChar, c, 0);
                break;
            }
            case ScriptStep::kEvent: post(kWmChapterEvent, static_cast<uint64_t>(step.a), 0); break;
            case ScriptStep::kCommand:
                // Through the link to this program's own window, as another
                // program's command comes.
                if (!m_link.SendOwnCommand(step.a, step.text)) {
                    return fail(step, "command " + std::to_string(step.a) + " did not go through the link");
                }
                Pump();
                break;
            case ScriptStep::kClose:
            case ScriptStep::kQuit: post(kWmChapterEvent, kChapterEventExit, 0); break;
            case ScriptStep::kWait: AdvanceClock(static_cast<uint32_t>(step.a)); break;
            case ScriptStep::kScreenshot:
                if (!m_frame.WritePng(step.text)) return fail(step, "cannot write " + step.text);
                break;
            case ScriptStep::kExpectChapter: {
                ShellChapters* chapters = PublishedChapters();
                const int current = chapters ? chapters->CurrentChapterId() : 0;
                if (current != step.a) {
                    return fail(step, "expected chapter " + std::to_string(step.a) + ", current " +
                                          std::to_string(current));
                }
                break;
            }
            case ScriptStep::kExpectPixel: {
                const DibImage565& picture = m_frame.Picture();
                if (step.a < 0 || step.b < 0 || step.a >= picture.Width() || step.b >= picture.Height()) {
                    return fail(step, "pixel outside the picture");
                }
                const uint32_t bgr = ColorFromRgb565(picture.Pixel(step.a, step.b));
                const int got[3] = {static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                                    static_cast<int>((bgr >> 16) & 0xFF)};
                const int want[3] = {(step.c >> 16) & 0xFF, (step.c >> 8) & 0xFF, step.c & 0xFF};
                for (int i = 0; i < 3; ++i) {
                    if (std::abs(got[i] - want[i]) > step.d) {
                        char text[96];
                        std::snprintf(text, sizeof text, "pixel (%d, %d) is %02X%02X%02X, expected %06X", step.a,
                                      step.b, got[0], got[1], got[2], static_cast<unsigned>(step.c));
                        return fail(step, text);
                    }
                }
                break;
            }
            case ScriptStep::kExpectShown:
                if ((m_frame.IsShown() ? 1 : 0) != step.a) {
                    return fail(step, std::string("the window is ") + (m_frame.IsShown() ? "shown" : "hidden"));
                }
                break;
        }
    }
    return 0;
}

int Program::Shutdown() {
    m_splash.Close();
    // A missing "%s\APP\system.ini" is traced; the whole shut-down still
    // runs (modules stopped, logs closed, settings kept).
    if (!platform::IsRegularFile(platform::ResolveUnder(m_root, "APP\\system.ini"))) {
        DebugTrace(0, "[MAIN] %s has no APP\\system.ini\n", m_root.c_str());
    }
    if (m_screenSaverWasOn && !m_frame.IsHeadless()) SDL_EnableScreenSaver();
    int result = 1;
    if (m_startup) {
        if (!m_startup->Stop(kStartupJoinMs)) {
            // The thread still uses its record and the modules: both are
            // left to the end of the process.
            (void)m_startup.release();
            result = 0;
        }
    }
    PublishChapters(nullptr);
    m_chapters.reset();
    if (ShellChapters* made = m_madeChapters.exchange(nullptr)) delete made;
    if (m_startup && !m_startup->Modules().StopAll(ModuleWaits{})) result = 0;
    ReleaseStartupFonts();
    CloseStartupImagePacks();
    if (m_host) {
        m_host->Release();
        m_host.reset();
    }
    if (m_texts) {
        m_texts->Release();
        m_texts.reset();
    }
    // The companion states of shut-down, then the last status; the link
    // goes after it.
    CompanionLink::Instance().SetReadyForDMB(1);
    BroadcastStatus(kStatusEnded, 0);
    m_link.Stop();
    MainQueue::Instance().SetWakeup(nullptr);
    if (m_settingsOpen) ShutdownSystemSettings();
    return result;
}

int Program::Run() {
    const int prepared = Prepare();
    if (prepared >= 0) {
        if (m_settingsOpen) ShutdownSystemSettings();
        return prepared;
    }
    CMgrConfigGlobalData& global = CMgrConfigGlobalData::Instance();
    MainWindowSettings settings;
    settings.clientWidth = global.m_screenWidth > 0 ? global.m_screenWidth : 800;
    settings.clientHeight = global.m_screenHeight > 0 ? global.m_screenHeight : 480;
    settings.hideMode = global.m_hideMode == 1 ? 1 : 0;
    settings.rotate = global.m_rotate;
    settings.voiceware = global.m_voiceware;

    std::vector<ScriptStep> steps;
    if (!m_options.scriptPath.empty()) {
        std::vector<uint8_t> bytes;
        std::string error;
        if (!platform::ReadWholeFile(m_options.scriptPath, bytes, &error) ||
            !ParseScript(std::string(bytes.begin(), bytes.end()), steps, &error)) {
            std::fprintf(stderr, "navi: script %s: %s\n", m_options.scriptPath.c_str(), error.c_str());
            ShutdownSystemSettings();
            return kExitUsage;
        }
    } else if (!m_options.screenshotPath.empty()) {
        ScriptStep wait, shot, quit;
        wait.kind = ScriptStep::kWait;
        wait.a = m_options.screenshotAfterMs;
        shot.kind = ScriptStep::kScreenshot;
        shot.text = m_options.screenshotPath;
        quit.kind = ScriptStep::kQuit;
        steps = {wait, shot, quit};
    }

    if (m_options.headless) {
        auto capture = std::make_unique<CaptureSoundSink>();
        m_capture = capture.get();
        m_sound = std::move(capture);
    } else {
        m_sound = CreateSdlSoundSink();
    }
    DesktopFrame::Options frameOptions;
    frameOptions.headless = m_options.headless;
    frameOptions.messageBox = m_options.messageBox;
    frameOptions.title = global.m_pcm ? "NAVI" : platform::Utf16ToUtf8(global.m_windowName[0] ? global.m_windowName : u"Navi");
    const int created = m_frame.Create(frameOptions, settings.clientWidth, settings.clientHeight);
    if (created != 1) {
        // Everything made so far goes again.
        m_sound.reset();
        ShutdownSystemSettings();
        return created == 0 ? kExitFrameRefused : kExitFrameRefused;
    }

    MainWindowServices services;
    // The program's window on the link carries the main window's title;
    // without it the program runs on, alone.
    if (!m_link.Start(ProgramLinkFolder(m_options.ipcFolder), frameOptions.title)) {
        DebugTrace(0, "[MAIN] no window link: other programs cannot reach this one\n");
    }
    services.broadcastStatus = [](int code, int value) { BroadcastStatus(code, value); };
    services.remoteAction = [](int action, int chapter) { RemoteControlHandler::Instance().Do(chapter, action, 0); };
    services.enableRemote = [] { RemoteControlHandler::Instance().Enable(); };
    services.requestExit = [] {
        CompanionLink::Instance().RequestExit(CurrentLoopTime());
        AnnounceMapExit();
    };
    services.linkMessage = [](uint32_t message, uint64_t wParam, int64_t lParam) {
        return HandleLinkMessage(message, wParam, lParam);
    };
    services.timerJobs = [] { CompanionLink::Instance().CheckPendingExit(CurrentLoopTime()); };
    services.closeSplash = [this] { m_splash.Close(); };
    services.showFrame = [this] { m_frame.Show(); };
    services.destroyWindow = [this] { m_window->Proc(kWmDestroy, 0, 0); };
    m_window = std::make_unique<MainWindow>(settings, std::move(services));
    m_window->SetTransitionCheck([] { return CompanionLink::Instance().IsInTransition() == 1; });
    MainQueue::Instance().SetWakeup([this] { m_frame.Wake(); });
    CompanionLink::Instance().StartResponse(m_link.Handle());
    m_window->Dispatch(kWmCreate, 0, 0, Now32());

    const std::string uiFolder = Native(global.m_uiFolder);
    if (!settings.hideMode) {
        m_splash.Start(uiFolder, global.m_splash == 1, m_sound.get());
        // The splash shows in the frame until the first screen replaces it.
        m_frame.Show();
        PaintSplash();
    }

    m_host = std::make_unique<NvBoardManager>(uiFolder.c_str());
    int layout = 0, colour = 0;
    if (CMgrConfigUISetting* ui = CMgrConfigUISetting::Instance()) {
        MgrLock hold(*ui->GetLock());
        colour = ui->Record().eMapColor;
    }
    if (!m_host->Start(&m_frame, settings.clientWidth, settings.clientHeight, settings.rotate, layout, colour)) {
        DebugTrace(0, "[MAIN] the UI of %s does not load\n", uiFolder.c_str());
    }

    StartupSteps steps2;
    steps2.setTraceLevel = [level = m_options.traceLevel] { SetDebugTraceLevel(level); };
    steps2.loadTexts = [this, uiFolder] {
        m_texts = std::make_unique<MgrText>();
        return m_texts->Init(platform::Utf8ToUtf16(uiFolder).c_str(), 0) == 1;
    };
    const std::string rootFolder = Native(global.m_rootFolder).empty() ? m_root : Native(global.m_rootFolder);
    steps2.openImagePacks = [rootFolder] { return OpenStartupImagePacks(rootFolder); };
    steps2.resumeSavedRoute = [] { ResumeSavedRoute(ProgramSavedRouteServices()); };
    steps2.loadFonts = [] { LoadStartupFonts(); };
    ProgramModuleConfig modules;
    modules.dataRoot = Native(global.m_rootFolder);
    if (modules.dataRoot.empty()) modules.dataRoot = m_root;
    modules.clientWidth = settings.clientWidth;
    modules.clientHeight = settings.clientHeight;
    modules.tpeg = global.m_tpeg;
    steps2.addModules = [modules](EngineModules& list) { AddProgramModules(list, modules); };
    steps2.createChapters = [this] {
        if (!g_chapterMaker) {
            DebugTrace(0, "[STARTUP] no chapters in this build\n");
            return;
        }
        std::unique_ptr<ShellChapters> chapters = g_chapterMaker();
        if (!chapters) return;
        ShellChapters* raw = chapters.release();
        m_madeChapters.store(raw, std::memory_order_release);
        PublishChapters(raw);
        MainQueue::Instance().Post({kWmChapterEvent, kChapterEventStart, 0});
        MainQueue::Instance().Post({kWmShellSetTimer, kUpdateTimerId, kUpdateTimerMs});
    };
    steps2.reportFailure = [](const StartupFailure&) { MainQueue::Instance().Post({kWmShellStartupFailed, 0, 0}); };
    ModuleWaits waits;
    waits.readyMs = m_options.moduleWaitMs;
    m_startup = std::make_unique<StartupThread>(std::move(steps2), waits);
    m_startup->Start();

    if (!m_frame.IsHeadless()) {
        m_screenSaverWasOn = SDL_IsScreenSaverEnabled() == SDL_TRUE;
        SDL_DisableScreenSaver();
    }

    std::signal(SIGTERM, OnEndSignal);
    std::signal(SIGINT, OnEndSignal);
    int exitCode = 0;
    if (m_scripted) {
        exitCode = RunScript(steps);
        if (!m_window->QuitPosted()) m_window->Dispatch(kWmChapterEvent, kChapterEventExit, 0, Now32());
    } else {
        RunRealtime();
    }
    const bool failed = m_startupFailed || (m_startup && m_startup->IsFinished() && m_startup->Result() == 0);
    const int stopped = Shutdown();
    if (exitCode == 0 && failed) exitCode = kExitStartupFailed;
    if (exitCode == 0 && !stopped) exitCode = kExitStartupFailed;
    DebugTrace(0, "[MAIN] ended with %d\n", exitCode);
    return exitCode;
}

}  // namespace

int RunNavi(const NaviOptions& options) {
    int code;
    {
        Program program(options);
        code = program.Run();
    }
    // The window system's helpers (its message bus among them) go too.
    SDL_Quit();
    return code;
}
