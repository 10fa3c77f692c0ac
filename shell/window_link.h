#pragma once
// Window messages between the programs of the car PC, over Unix-domain
// datagram sockets.
//
// Every program that takes part keeps one folder in the runtime folder
// (kLinkFolderName, mode 0700). A program's "window" is a datagram socket
// in it named by the window's handle ("%08x"); a window title is a symbolic
// link "@TITLE" to the socket of the window that carries it. A posted
// message is one non-blocking datagram to the target's socket; a broadcast
// goes to every window socket of the folder, the sender's own included; a
// copy-data message is a datagram that carries its bytes. A send never
// waits: a peer that is gone, or whose queue is full, loses the message and
// the sender writes a trace line.
//
// One frame, little-endian, kLinkHeaderBytes then the data:
//   u32 magic "NVWM"   u16 version 1   u16 kind
//   u32 message        u64 wParam      i64 lParam
//   u32 data length (at most kLinkMaxDataBytes)
// Kinds: 1 a posted message (message below the registered range and not
// WM_COPYDATA, no data);
// 2 copy data (message WM_COPYDATA, wParam the code, lParam the dwData
// value, the data the block); 3 a registered message, sent by name: the
// message field is 0 and the data is the name with its terminating zero.
// Registered message numbers are local to each program; only names travel.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

inline constexpr uint32_t kLinkMagic = 0x4D57564Eu;  // "NVWM"
inline constexpr uint16_t kLinkVersion = 1;
inline constexpr size_t kLinkHeaderBytes = 32;
inline constexpr size_t kLinkMaxDataBytes = 65536;
inline constexpr size_t kLinkMaxFrameBytes = kLinkHeaderBytes + kLinkMaxDataBytes;
inline constexpr size_t kLinkMaxNameBytes = 255;  // without the terminator
inline constexpr const char* kLinkFolderName = "navi-windows";

inline constexpr uint16_t kLinkKindPost = 1;
inline constexpr uint16_t kLinkKindCopyData = 2;
inline constexpr uint16_t kLinkKindRegistered = 3;

// Window message numbers used across the link.
inline constexpr uint32_t kMsgDestroy = 0x0002;
inline constexpr uint32_t kMsgCopyData = 0x004A;
// Registered messages take numbers from here on (as on the car PC).
inline constexpr uint32_t kRegisteredMessageFirst = 0xC000;
inline constexpr uint32_t kRegisteredMessageLast = 0xFFFF;

// Result codes of the frame reader.
inline constexpr int kLinkFrameOk = 1;
inline constexpr int kLinkFrameShort = -1;
inline constexpr int kLinkFrameBadMagic = -2;
inline constexpr int kLinkFrameBadVersion = -3;
inline constexpr int kLinkFrameBadKind = -4;
inline constexpr int kLinkFrameBadLength = -5;
inline constexpr int kLinkFrameBadName = -6;
inline constexpr int kLinkFrameBadMessage = -7;

// One message as it travels.
struct LinkMessage {
    uint16_t kind = kLinkKindPost;
    uint32_t message = 0;
    uint64_t wParam = 0;
    int64_t lParam = 0;
    std::string name;            // kind 3
    std::vector<uint8_t> data;   // kind 2
};

// The frame of a message. A registered name longer than kLinkMaxNameBytes
// or data over kLinkMaxDataBytes give an empty frame.
std::vector<uint8_t> BuildLinkFrame(const LinkMessage& message);
// Reads one datagram: kLinkFrameOk and out filled, or a negative code (out
// is then unspecified). The datagram must be exactly one frame.
int ParseLinkFrame(const uint8_t* bytes, size_t size, LinkMessage* out);
// The reader's text for a result code.
const char* LinkFrameError(int code);

// ---------------------------------------------------------------------------
// Registered messages: a name gets a number in this program the first time
// it is asked for and keeps it. The names the program knows are registered
// in a fixed order at start, so their numbers are the same in every run.
inline constexpr const char* kRegPowerWakeup = "POWER_WAKEUP_STATUS";
inline constexpr const char* kRegMapExit = "BMSG_MAP_EXIT";
inline constexpr const char* kRegStatus = "BMSG_PELOX";
inline constexpr const char* kRegCommand = "RMSG_PELOX";
inline constexpr const char* kRegRmcZoomIn = "BMSG_RMC_ZOOMIN";
inline constexpr const char* kRegRmcZoomOut = "BMSG_RMC_ZOOMOUT";
inline constexpr const char* kRegRmcMapMove = "BMSG_RMC_MAPMOVE";
inline constexpr const char* kRegRmcCurPos = "BMSG_RMC_CURPOS";
inline constexpr const char* kRegRmcSr = "BMSG_RMC_SR";
inline constexpr const char* kRegRmcOffice = "BMSG_RMC_OFFICE";
inline constexpr const char* kRegRmcGuideEnd = "BMSG_RMC_GUIDEEND";
inline constexpr const char* kRegRmcSel = "BMSG_RMC_SEL";
inline constexpr const char* kRegRmcRegPos = "BMSG_RMC_REGPOS";
inline constexpr const char* kRegRmcHome = "BMSG_RMC_HOME";
inline constexpr const char* kRegRmcUp = "BMSG_RMC_UP";
inline constexpr const char* kRegRmcInfo = "BMSG_RMC_INFO";
inline constexpr const char* kRegRmcReroute = "BMSG_RMC_REROUTE";
inline constexpr const char* kRegRmcDown = "BMSG_RMC_DOWN";
inline constexpr const char* kRegRmcMenu = "BMSG_RMC_MENU";
inline constexpr const char* kRegRmcMapView = "BMSG_RMC_MAPVIEW";
inline constexpr const char* kRegRmcOilInfo = "BMSG_RMC_OILINFO";

// The number of a name (registering it when new); 0 for an empty name, one
// longer than kLinkMaxNameBytes, one with bytes outside printable ASCII, or
// when the range is used up. Any thread.
uint32_t RegisterLinkMessage(std::string_view name);
// The name of a registered number, empty when none.
std::string RegisteredLinkMessageName(uint32_t message);
inline bool IsRegisteredMessageNumber(uint32_t message) {
    return message >= kRegisteredMessageFirst && message <= kRegisteredMessageLast;
}

// ---------------------------------------------------------------------------
// The socket folder: "$XDG_RUNTIME_DIR/navi-windows", or
// "/tmp/navi-windows-<uid>" without a runtime folder.
std::string DefaultLinkFolder();

// One window: a bound datagram socket in the folder. Sends work from any
// thread; receiving belongs to one thread (LinkReceiver).
class LinkWindow {
public:
    LinkWindow() = default;
    ~LinkWindow();
    LinkWindow(const LinkWindow&) = delete;
    LinkWindow& operator=(const LinkWindow&) = delete;

    // Makes the folder (0700; an existing one must belong to this user and
    // is set to 0700), binds a socket under a fresh handle and, with a
    // title, points "@TITLE" at it. 1, or 0 with a trace line.
    int Open(const std::string& folder, const std::string& title = {});
    // Removes the socket and the title link (when it still points here).
    void Close();
    bool IsOpen() const { return m_fd >= 0; }
    uint32_t Handle() const { return m_handle; }
    int Fd() const { return m_fd; }
    const std::string& Folder() const { return m_folder; }

    // Sends without waiting; 1 when the datagram left, 0 when it was dropped
    // (no such window, its queue is full, a bad message). A message number
    // in the registered range goes by its name.
    int Post(uint32_t target, uint32_t message, uint64_t wParam, int64_t lParam);
    int CopyData(uint32_t target, uint64_t wParam, int64_t dwData, const void* data, size_t size);
    // To every window of the folder, this one included; the number of
    // windows reached.
    int Broadcast(uint32_t message, uint64_t wParam, int64_t lParam);
    int SendMessage(uint32_t target, const LinkMessage& message);

    // The handle behind a title, 0 when there is none (or its window is
    // gone).
    static uint32_t FindWindow(const std::string& folder, const std::string& title);
    // Every window handle in the folder.
    static std::vector<uint32_t> ListWindows(const std::string& folder);
    static std::string SocketPath(const std::string& folder, uint32_t handle);

    // Counters (any thread).
    uint64_t SentCount() const { return m_sent.load(std::memory_order_relaxed); }
    uint64_t DroppedCount() const { return m_dropped.load(std::memory_order_relaxed); }

private:
    int SendFrame(uint32_t target, const std::vector<uint8_t>& frame, bool quiet);

    int m_fd = -1;
    uint32_t m_handle = 0;
    std::string m_folder;
    std::string m_title;
    std::atomic<uint64_t> m_sent{0};
    std::atomic<uint64_t> m_dropped{0};
};

// ---------------------------------------------------------------------------
// Copy-data blocks wait here between the receive thread and the main thread:
// the main queue carries (WM_COPYDATA, code, ticket) and the main thread
// takes the block by its ticket. At most kCopyDataMailboxSlots blocks wait;
// more are dropped with a trace line.
struct CopyDataBlock {
    int64_t dwData = 0;
    std::vector<uint8_t> bytes;
};

class CopyDataMailbox {
public:
    static constexpr size_t kCopyDataMailboxSlots = 64;
    static CopyDataMailbox& Instance();
    // A ticket (never 0), or 0 when the mailbox is full.
    int64_t Put(CopyDataBlock block);
    // 1 and the block (removed), 0 for an unknown ticket.
    int Take(int64_t ticket, CopyDataBlock* out);
    void Drop(int64_t ticket);
    size_t Waiting() const;

private:
    mutable std::mutex m_mutex;
    int64_t m_nextTicket = 1;
    std::vector<std::pair<int64_t, CopyDataBlock>> m_blocks;
};

// ---------------------------------------------------------------------------
// The receive thread of a window: reads each datagram through the frame
// reader, drops bad ones with a trace line, and hands good ones on as
// (message, wParam, lParam): a registered name becomes this program's number
// for it, copy data is put into the mailbox and its ticket is the lParam.
// A filter sees each message first and may keep it (returns true), e.g.
// state that another module caches.
class LinkReceiver {
public:
    using Sink = std::function<bool(uint32_t message, uint64_t wParam, int64_t lParam)>;
    using Filter = std::function<bool(const LinkMessage& message)>;

    LinkReceiver() = default;
    ~LinkReceiver() { Stop(); }
    LinkReceiver(const LinkReceiver&) = delete;
    LinkReceiver& operator=(const LinkReceiver&) = delete;

    // The window stays the caller's and must outlive the thread. 1, or 0
    // when the window is not open or the thread already runs.
    int Start(LinkWindow& window, Sink sink, Filter filter = {});
    // Asks the thread to stop and joins it (it notices within one poll
    // interval at most; the stop pipe wakes it at once).
    void Stop();
    bool Running() const { return m_thread.joinable(); }

    // One datagram as the thread handles it (tests and the fuzz target).
    // 1 handed on, 0 kept by the filter, negative: a frame reader code or
    // kLinkDeliverRefused when the sink or the mailbox refused it.
    static int Deliver(const uint8_t* bytes, size_t size, const Sink& sink, const Filter& filter);
    static constexpr int kLinkDeliverRefused = -100;

    // Datagrams read and handed on (or dropped) so far.
    uint64_t ReceivedCount() const { return m_received.load(std::memory_order_acquire); }
    uint64_t RejectedCount() const { return m_rejected.load(std::memory_order_relaxed); }

private:
    void Run();

    LinkWindow* m_window = nullptr;
    Sink m_sink;
    Filter m_filter;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    int m_wakePipe[2] = {-1, -1};
    std::atomic<uint64_t> m_received{0};
    std::atomic<uint64_t> m_rejected{0};
};
