#pragma once
// The companion application manager: on the car PC it decides which
// application owns the screen, shrinks the navigation window for
// picture-in-picture, arbitrates audio and shows turn and speed-mark pop-ups
// of its own. It is active in companion mode (the global settings' PCM word
// 1); without it the same notices go to the client window and an exit
// request ends the program at once.
//
// The manager is another program on the window link, found by the title
// kAppManagerTitle. The program's calls are posted messages to it
// (kAppCall*, arguments in wParam and lParam); the manager posts 4001-4005,
// 4010 and 4011 to the main window, answers the exit request with
// kAppMsgEndAnswer (wParam the result), and pushes its picture-in-picture,
// window-transition and DMB-ready states with kAppMsgState whenever they
// change. The receive thread keeps those states in a cache, so the input
// gate reads them without asking the manager each time.
//
// The exit request never waits for its answer: the request starts the
// pending exit at once; an answer of 5 or -1 ends the program then, any
// other answer leaves it to message 4003 or to the 5000 ms time-out.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "shell/window_link.h"

inline constexpr const char* kAppManagerTitle = "APPMGR";

// Manager -> program.
inline constexpr uint32_t kAppMsgState = 4001;
inline constexpr uint32_t kAppMsgStateAlt = 4002;
inline constexpr uint32_t kAppMsgEndApp = 4003;
inline constexpr uint32_t kAppMsgNothing = 4004;
inline constexpr uint32_t kAppMsgShowApp = 4005;
inline constexpr uint32_t kAppMsgEndPrep = 4010;
inline constexpr uint32_t kAppMsgShowPrep = 4011;
inline constexpr uint32_t kAppMsgEndAnswer = 4020;
inline constexpr uint32_t kAppMsgCachedState = 4021;  // wParam kAppState*, lParam the value
inline constexpr uint64_t kAppStatePip = 1;
inline constexpr uint64_t kAppStateTransition = 2;
inline constexpr uint64_t kAppStateDmbReady = 3;

// Program -> manager.
inline constexpr uint32_t kAppCallInit = 4100;
inline constexpr uint32_t kAppCallStartAppRsp = 4101;   // wParam the window, lParam 1 | 2 << 8
inline constexpr uint32_t kAppCallEndAppReq = 4102;     // wParam 1
inline constexpr uint32_t kAppCallEndAppRsp = 4103;     // wParam 1
inline constexpr uint32_t kAppCallEndAppPrepRsp = 4104;
inline constexpr uint32_t kAppCallShowAppRsp = 4105;    // wParam 1, lParam kind
inline constexpr uint32_t kAppCallShowAppPrepRsp = 4106;  // wParam 1
inline constexpr uint32_t kAppCallSetWndSize = 4107;    // wParam 1, lParam 2
inline constexpr uint32_t kAppCallVolumeCtrl = 4108;    // wParam channel, lParam request
inline constexpr uint32_t kAppCallSetReadyForDmb = 4109;  // wParam ready
inline constexpr uint32_t kAppCallShowTbt = 4110;       // wParam code, lParam distance / 10
inline constexpr uint32_t kAppCallShowSpeedMark = 4111;  // wParam mark id, lParam value

inline constexpr uint32_t kPendingExitMs = 5000;

// The manager's calls as the program makes them. The default goes over the
// window link; tests may install a recorder.
class AppManagerCalls {
public:
    virtual ~AppManagerCalls() = default;
    virtual int Init() = 0;
    virtual int StartAppRsp(uint32_t window, int a, int b, int c) = 0;
    // Sends the exit request; the answer comes back as kAppMsgEndAnswer.
    virtual int EndAppReq(int flag) = 0;
    virtual int EndAppRsp(int flag) = 0;
    virtual int EndAppPrepRsp() = 0;
    virtual int ShowAppRsp(int flag, int kind) = 0;
    virtual int ShowAppPrepRsp(int flag) = 0;
    virtual int SetWndSize(int flag, unsigned size) = 0;
    virtual int IsRunPIP() = 0;
    virtual int TransWndState() = 0;
    virtual void AppVolumeCtrl(int channel, int request) = 0;
    virtual int IsReadyForDMB() = 0;
    virtual void SetReadyForDMB(int ready) = 0;
    virtual int ShowTbtReq(int code, int distance) = 0;
    virtual int ShowSpeedMarkReq(int markId, int value) = 0;
};

// The manager's states as it last pushed them (any thread).
class AppManagerStateCache {
public:
    static AppManagerStateCache& Instance();
    // The receive thread's filter: keeps kAppMsgCachedState messages.
    bool Filter(const LinkMessage& message);
    int Pip() const { return m_pip.load(std::memory_order_acquire); }
    int Transition() const { return m_transition.load(std::memory_order_acquire); }
    int DmbReady() const { return m_dmbReady.load(std::memory_order_acquire); }
    void SetDmbReady(int ready) { m_dmbReady.store(ready, std::memory_order_release); }
    void Reset();

private:
    std::atomic<int> m_pip{0};
    std::atomic<int> m_transition{0};
    std::atomic<int> m_dmbReady{0};
};

// The calls over the window link, to the window titled kAppManagerTitle in
// the link window's folder; the state reads come from the cache.
class LinkAppManager : public AppManagerCalls {
public:
    int Init() override;
    int StartAppRsp(uint32_t window, int a, int b, int c) override;
    int EndAppReq(int flag) override;
    int EndAppRsp(int flag) override;
    int EndAppPrepRsp() override;
    int ShowAppRsp(int flag, int kind) override;
    int ShowAppPrepRsp(int flag) override;
    int SetWndSize(int flag, unsigned size) override;
    int IsRunPIP() override;
    int TransWndState() override;
    void AppVolumeCtrl(int channel, int request) override;
    int IsReadyForDMB() override;
    void SetReadyForDMB(int ready) override;
    int ShowTbtReq(int code, int distance) override;
    int ShowSpeedMarkReq(int markId, int value) override;

private:
    int Call(uint32_t message, uint64_t wParam, int64_t lParam);
};

// What the notices read of guidance (filled by the hidden-map screen from
// the guidance settings).
struct TurnNotice {
    bool valid = false;
    int32_t tbtCode = 0;      // the turn-by-turn code ('<' and '>' are given as 1 and 7)
    int32_t distanceM = 0;
};
struct SpeedMarkNotice {
    bool camera = false;       // a camera is announced
    int32_t cameraType = 0;
    int32_t cameraLimitKmh = 0;
    int32_t cameraDistanceM = 0;
    bool section = false;      // a section control is active
    int32_t sectionLimitKmh = 0;
    int32_t sectionTravelledM = 0;
    int32_t sectionLengthM = 0;
    int32_t sectionTimeS = 0;
};

class CompanionLink {
public:
    static CompanionLink& Instance();
    static bool IsCompanionMode();

    // Null: the link calls (LinkAppManager). The object stays the caller's.
    void SetCalls(AppManagerCalls* calls);
    AppManagerCalls& Calls();

    void StartResponse(uint32_t window);
    // The exit request (see the top of the file). tickMs: the loop's clock.
    void RequestExit(uint32_t tickMs);
    // Every timer tick: a pending exit older than 5000 ms destroys the window.
    void CheckPendingExit(uint32_t tickMs);
    uint32_t GetPendingExitTick() const { return m_pendingExitTick; }
    int SetWindowSize();
    void ResizeAndPostEvent(int chapter, int event);
    int GetAppState() const { return m_appState; }
    void ChangeAppReq(int) {}
    int IsInTransition();
    int SetReadyForDMB(int ready);
    void HoldAudio();
    void ReleaseAudio();
    // Messages 4001-4005, 4010, 4011 and the exit answer. 1 when handled.
    int OnCompanionMessage(uint32_t message, uint64_t wParam, int64_t lParam);

    void NotifyTurn(const TurnNotice& turn);
    void NotifySpeedMark(const SpeedMarkNotice& mark, int32_t speedKmhWithoutCompanion = 0);
    void NotifyValue(int32_t currentSpeedKmh);

    // The speed-mark code of a camera (type, limit km/h); -1 for none.
    static int32_t CameraSpeedMarkCode(int32_t type, int32_t limitKmh);
    // The section-control mark id; the progress step is left out when the
    // section length is 0 (no progress rather than a division by zero).
    static int32_t SectionMarkId(int32_t limitKmh, int32_t travelledM, int32_t lengthM);

    void Reset();

private:
    AppManagerCalls* m_calls = nullptr;
    uint32_t m_mainWindow = 0;
    uint32_t m_pendingExitTick = 0;
    bool m_exitPending = false;
    bool m_audioHeld3 = false;
    bool m_audioHeld2 = false;
    int m_appState = -1;
    int32_t m_lastTbtCode = -1;
    bool m_speedMarkShown = false;
};
