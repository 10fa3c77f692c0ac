#pragma once
// The link to the traffic receiver program. The receiver is a separate
// process listening on a Unix-domain socket (SOCK_SEQPACKET) in the runtime
// folder, named after the configured peer name ("TPEGD.sock"). Every packet
// is one frame: u32 code, u32 payload size, payload (at most 100 000 bytes).
//
// The link walks through hello (0x1001 -> 0x1002), status (0x1011 ->
// 0x1012 or 0x1022) and start (0x2001) or stop (0x2002), and hands data
// frames (codes 1-6 and 17-22) to the traffic engine only after it asked for
// them with 0x2001. Two timers run on the injectable clock: the peer search
// every 60 s while there is no receiver, and the state check every 6 s,
// which updates the receive-state word, ages the data (with or without a
// receiver) and sends at most one command.
//
// Unlike the window link it replaces, this one notices a receiver that
// closed its socket (and searches again), resends the status request when
// no status comes back, sends nothing without a peer, and never blocks on a
// send for longer than kTpegSendTimeoutMs.
//
// All of it runs on the traffic module thread: Step() is one turn of its
// poll loop. The counters read by other threads are atomics.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "traffic/traffic_engine.h"

inline constexpr uint32_t kTpegCmdHello = 0x1001;
inline constexpr uint32_t kTpegCmdHelloAck = 0x1002;
inline constexpr uint32_t kTpegCmdStatusReq = 0x1011;
inline constexpr uint32_t kTpegCmdStatus = 0x1012;
inline constexpr uint32_t kTpegCmdStatusAlt = 0x1022;
inline constexpr uint32_t kTpegCmdStart = 0x2001;
inline constexpr uint32_t kTpegCmdStop = 0x2002;

inline constexpr uint32_t kTpegFindPeerPeriodMs = 60000;
inline constexpr uint32_t kTpegCheckStatePeriodMs = 6000;
// A status request without an answer is sent again after this long.
inline constexpr uint32_t kTpegStatusReplyTimeoutMs = 18000;
inline constexpr int kTpegSendTimeoutMs = 1000;
inline constexpr size_t kTpegFrameHeaderBytes = 8;
inline constexpr size_t kTpegStatusBytes = 16;

// The socket path of a peer name under the runtime folder; empty when the
// name is empty or the path does not fit a socket address.
std::string TpegSocketPath(const std::string& runtimeDir, const std::string& peerName);
// The runtime folder: $XDG_RUNTIME_DIR, else /tmp.
std::string TpegRuntimeDir();

// One frame as sent on the socket.
std::vector<uint8_t> BuildTpegFrame(uint32_t code, const uint8_t* payload, size_t size);

class CMneTPEGManagerEvent {
public:
    CMneTPEGManagerEvent(TrafficEngine& engine, std::string runtimeDir);
    ~CMneTPEGManagerEvent();
    CMneTPEGManagerEvent(const CMneTPEGManagerEvent&) = delete;
    CMneTPEGManagerEvent& operator=(const CMneTPEGManagerEvent&) = delete;

    // Takes the peer name ("TPEGD" when empty), tries the receiver once and
    // starts the timers. 1.
    int FindDaemonWindow(const std::string& name);
    // One turn of the loop: waits at most waitMs for a frame from the
    // receiver (waitMs 0: only what is there), handles every frame that
    // arrived, then runs the timers that are due.
    void Step(int waitMs);
    // The state check: receive state, ageing, one command. 1 when a command
    // went out or the state allows none; 0 without a peer or when nothing
    // can be sent yet.
    int CheckState();
    // A frame from the receiver, as the socket delivered it.
    void HandleFrame(const uint8_t* frame, size_t size);
    int SetTPEGStatus(const uint8_t* block, size_t size);
    int DispatchData(uint32_t code, size_t size, const uint8_t* payload);
    // Ends the link: 0x2002 to a connected receiver, then the socket closes.
    void Close();

    int HasPeer() const { return m_fd >= 0; }
    int IsNotifying() const { return m_notify.load(std::memory_order_acquire); }
    uint32_t GetCommandState() const { return m_commandState.load(std::memory_order_acquire); }
    // Frames handed to the engine (any result), for the status line and tests.
    uint64_t GetDispatchedCount() const { return m_dispatched.load(std::memory_order_acquire); }
    uint64_t GetPeerLossCount() const { return m_peerLosses.load(std::memory_order_acquire); }

private:
    bool Connect();
    void DropPeer(const char* why);
    int Send(uint32_t code);
    void SetCommandState(uint32_t code);
    void StartCheckTimer();

    TrafficEngine& m_engine;
    std::string m_runtimeDir;
    std::string m_peerName = "TPEGD";
    int m_fd = -1;
    uint8_t m_status[kTpegStatusBytes] = {};
    std::vector<uint8_t> m_receive;         // the last status or data payload
    bool m_helloSent = false;
    bool m_helloAcked = false;
    std::atomic<int> m_notify{0};
    std::atomic<uint32_t> m_commandState{0};
    uint64_t m_nextFindTick = 0;
    uint64_t m_nextCheckTick = 0;
    bool m_checkTimer = false;
    uint64_t m_statusRequestTick = 0;
    std::atomic<uint64_t> m_dispatched{0};
    std::atomic<uint64_t> m_peerLosses{0};
};
