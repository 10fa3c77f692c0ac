#pragma once
// Commands from other programs, the status broadcasts, the remote-control
// actions and the client-window messages.
//
// Commands arrive at the main window as copy data or as the registered
// message "RMSG_PELOX" (wParam the command code, the value in dwData or
// lParam) and go through ExternalCommandDispatcher on the main thread. The
// program answers with "BMSG_PELOX" broadcasts (BroadcastStatus), turns
// remote-control actions into the "BMSG_RMC_*" broadcasts, which come back
// to its own window and reach the current chapter, and sends a registered
// client window turn images, speed marks, a value and a text as copy data.
//
// Everything here runs on the main thread. Sends never wait: a client that
// is gone or does not read loses the message (the window link traces it).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class LinkWindow;

// What the link asks of the rest of the shell. The program installs its
// own; until then (and in tools) nothing is there: no chapter manager, and
// the rest is traced.
class ExternalShell {
public:
    virtual ~ExternalShell() = default;
    virtual bool HasChapterManager() { return false; }
    // 0 without a chapter manager.
    virtual int CurrentChapterId() { return 0; }
    // Posts a message to the main window's own queue (chapter events are
    // WM_USER+1 with the event in wParam; WM_DESTROY ends the program).
    virtual void PostMainMessage(uint32_t message, uint64_t wParam, int64_t lParam);
    // The drive service's duck step (voice prompts framed by statuses 3
    // and 4, or by the companion audio requests).
    virtual void SetDuckEnabled(int on);
    // The volume control's software mute flag.
    virtual void SetSoftwareMute(int on);
    virtual bool IsGuidanceActive() { return false; }
    // The route-information screen's pending flag.
    virtual void MarkRouteInfoPending();
    // A course start point becomes the GPS settings' last position, unless
    // the receiver reports a valid fix.
    virtual void UseAsLastPosition(int32_t x, int32_t y);
};

void SetExternalShell(ExternalShell* shell);
ExternalShell& GetExternalShell();

inline constexpr uint32_t kMsgChapterEventLink = 0x0401;  // WM_USER+1
inline void PostChapterEventLink(int event) {
    GetExternalShell().PostMainMessage(kMsgChapterEventLink, static_cast<uint64_t>(event), 0);
}

// The program's main window on the link (null: broadcasts and client
// messages go nowhere). The window stays the caller's.
void SetExternalLinkWindow(LinkWindow* window);
LinkWindow* GetExternalLinkWindow();

// Posts "BMSG_PELOX" (code, value) to every window; code 6 only when the
// value is below ROUTEMSGFILTER (the global settings' word).
void BroadcastStatus(int32_t code, int32_t value);
// Posts a registered message by name to every window (wParam, 0).
void BroadcastRegistered(const char* name, uint64_t wParam);

// ---------------------------------------------------------------------------
// Blocks of the copy-data commands. Each reader checks size, terminator,
// numbers and ranges; a bad block is refused whole (0) and the caller
// traces it.

// A degree-minute value (DDDMM.mmmm) as map units; 0 for a value that is not
// finite, whose minutes are 60 or more, or that lies outside
// +-maxDegrees.
int DegreeMinuteToMapUnits(double value, double maxDegrees, int32_t* units);

// Commands 1024 and 1025: x and y as degree-minute doubles, then from byte
// 16 a UTF-16 name with its terminator (at most 64 characters).
struct PositionBlock {
    int32_t x = 0;  // map units
    int32_t y = 0;
    std::u16string name;
};
int ReadPositionBlock(const uint8_t* bytes, size_t size, PositionBlock* out);

// Command 1023: 16 entries of 24 bytes (i32 flag 0 or 1, 4 unused bytes,
// longitude and latitude as degree-minute doubles); every entry with flag 1
// must hold a position.
inline constexpr size_t kRoutePointsBlockBytes = 16 * 24;
int CheckRoutePointsBlock(const uint8_t* bytes, size_t size);

// Command 74: an i32 value, then a UTF-16 text with its terminator (at most
// kSpeechTextMaxChars characters).
inline constexpr size_t kSpeechTextMaxChars = 1024;
struct SpeechResultBlock {
    int32_t value = 0;
    std::u16string text;
};
int ReadSpeechResultBlock(const uint8_t* bytes, size_t size, SpeechResultBlock* out);

// ---------------------------------------------------------------------------
// The client windows and what was last sent to them.
class ExternalLink {
public:
    static constexpr int kKindTurnImage = 100;
    static constexpr int kKindSpeedMark = 101;
    static constexpr int kKindValue = 102;
    static constexpr int kKindText = 103;
    static constexpr uint32_t kTextPeriodMs = 1000;
    static constexpr size_t kImagePathBytes = 512;
    static constexpr size_t kTextMaxBytes = 1024;

    static ExternalLink& Instance();

    void SetClientWindow(uint32_t handle) { m_clientWindow = handle; }
    uint32_t GetClientWindow() const { return m_clientWindow; }
    void SetTextClientWindow(uint32_t handle) { m_textClientWindow = handle; }
    uint32_t GetTextClientWindow() const { return m_textClientWindow; }

    // Kinds 100 and 101: a bitmap path ("<UI folder>\NIP\T%03d.bmp" or
    // "...\S%03d.bmp") in 512 bytes with dwData the value; id -1 clears (no
    // data, dwData 0). Sent only while a client is set and only when id or
    // value differ from the last sent. 1 when sent.
    int SendTurnImage(int32_t turnId, int32_t value);
    int SendSpeedMark(int32_t markId, int32_t value);
    // Kind 102: the value, when it differs from the last.
    int SendValue(int32_t value);
    // Kind 103 to the text client: the GPS settings' relay text (ANSI, its
    // length + 1 bytes), at most once per kTextPeriodMs, only while the
    // relay flag is set and the text is not empty.
    int SendGpsText();

    // The UI folder the bitmap paths start with (the program sets it).
    void SetUiFolder(std::string folder) { m_uiFolder = std::move(folder); }

    // Back to the state at start (tests).
    void Reset();

private:
    int SendToClient(uint32_t client, int kind, int64_t dwData, const std::vector<uint8_t>& block);

    uint32_t m_clientWindow = 0;
    uint32_t m_textClientWindow = 0;
    int32_t m_lastSpeedMarkId = -1;
    int32_t m_lastSpeedMarkValue = 0;
    int32_t m_lastTurnId = -1;
    int32_t m_lastTurnValue = 0;
    int32_t m_lastValue = 0;
    uint32_t m_lastTextTick = 0;
    bool m_textSent = false;
    std::string m_uiFolder;
};

// ---------------------------------------------------------------------------
class RemoteControlHandler {
public:
    static RemoteControlHandler& Instance();

    // Nothing happens before the first chapter switch enables the handler.
    void Enable() { m_enabled = true; }
    bool IsEnabled() const { return m_enabled; }
    void Do(int chapter, int action, int32_t value);

    // Read by the route progress screen: 1 current position, 2 the route
    // information asked for, 3 the route cancelled; 0 nothing.
    int32_t GetRouteProgressRequest() const { return m_routeProgressRequest; }
    void ClearRouteProgressRequest() { m_routeProgressRequest = 0; }
    // The category pair of action 15 (code, index).
    int32_t GetCategoryCode() const { return m_categoryCode; }
    int32_t GetCategoryIndex() const { return m_categoryIndex; }

    // Statuses 20-23 (only with LEDCTRL on): a turn of class 1 or 2 within
    // 300 ahead is reported once per turn (status 20 with the class) and
    // its end once (21); an announced camera of types 1-10 except 3, 6 and
    // 9 once (22 with the type) and its end once (23). Called on each
    // drive-service tick with what guidance holds; turnCode -1 or
    // cameraType -1 when there is none.
    void ReportTurn(int32_t turnCode, int32_t distanceM);
    void ReportCamera(int32_t cameraType);
    // 1 or 2 for a guidance turn code, 0 for the others.
    static int TurnClass(int32_t turnCode);

    uint32_t m_lastTextTick = 0;  // time of the last kind-103 text

    void Reset();

private:
    bool m_enabled = false;
    int32_t m_routeProgressRequest = 0;
    int32_t m_categoryCode = 0;
    int32_t m_categoryIndex = 0;
    int32_t m_turnReported = 0;   // class reported, 0 none standing
    int32_t m_turnReportedCode = -1;
    int32_t m_cameraReported = 0;  // type reported, 0 none standing
};

// The main window's handling of WM_COPYDATA and "RMSG_PELOX". For copy data
// lParam is the mailbox ticket the receive thread handed on. Any other
// message is ignored.
void ExternalCommandDispatcher(uint32_t message, uint64_t wParam, int64_t lParam);
// The same with the block in hand (copy data) or none ("RMSG_PELOX").
void DispatchExternalCommand(int32_t code, int64_t value, const uint8_t* block, size_t size, bool copyData);

// The remote-control broadcasts the main window passes to the current
// chapter ("BMSG_RMC_OILINFO" and "BMSG_RMC_REROUTE" are not among them).
bool IsChapterRemoteMessage(uint32_t message);
// True for "BMSG_RMC_HOME" and "BMSG_RMC_OFFICE" while those keys are
// blocked.
bool IsRemoteMessageBlocked(uint32_t message);

// Whether the main window drops "BMSG_RMC_HOME" and "BMSG_RMC_OFFICE"
// (commands 1018 and 1019).
bool AreHomeOfficeKeysBlocked();
void SetHomeOfficeKeysBlocked(bool blocked);
