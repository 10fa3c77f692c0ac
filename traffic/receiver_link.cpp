#include "traffic/receiver_link.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "foundation/debug_trace.h"
#include "platform/byte_cursor.h"
#include "platform/clock.h"

std::string TpegRuntimeDir() {
    const char* dir = std::getenv("XDG_RUNTIME_DIR");
    return dir && *dir ? dir : "/tmp";
}

std::string TpegSocketPath(const std::string& runtimeDir, const std::string& peerName) {
    if (peerName.empty() || peerName.find('/') != std::string::npos) return {};
    std::string path = runtimeDir + "/" + peerName + ".sock";
    if (path.size() >= sizeof(sockaddr_un::sun_path)) return {};
    return path;
}

std::vector<uint8_t> BuildTpegFrame(uint32_t code, const uint8_t* payload, size_t size) {
    platform::ByteWriter w;
    w.U32(code);
    w.U32(static_cast<uint32_t>(size));
    if (size) w.Bytes(payload, size);
    return w.Data();
}

CMneTPEGManagerEvent::CMneTPEGManagerEvent(TrafficEngine& engine, std::string runtimeDir)
    : m_engine(engine), m_runtimeDir(std::move(runtimeDir)), m_receive(kTpegMaxMessageBytes) {}

CMneTPEGManagerEvent::~CMneTPEGManagerEvent() {
    if (m_fd >= 0) ::close(m_fd);
}

void CMneTPEGManagerEvent::SetCommandState(uint32_t code) {
    m_commandState.store(code, std::memory_order_release);
    m_engine.SetLinkCommandState(static_cast<int>(code));
}

bool CMneTPEGManagerEvent::Connect() {
    const std::string path = TpegSocketPath(m_runtimeDir, m_peerName);
    if (path.empty()) return false;
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return false;
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    return true;
}

void CMneTPEGManagerEvent::StartCheckTimer() {
    m_checkTimer = true;
    m_nextCheckTick = platform::GetTickCount64() + kTpegCheckStatePeriodMs;
    DebugTrace(1, "***** TPEG Set Timer:TPEG_TIMER_CHECKSTATE\n");
    CheckState();
}

int CMneTPEGManagerEvent::FindDaemonWindow(const std::string& name) {
    m_peerName = name.empty() ? "TPEGD" : name;
    const uint64_t now = platform::GetTickCount64();
    m_nextFindTick = now + kTpegFindPeerPeriodMs;
    // The state check runs from the start: data replayed from the stored
    // transfers ages even while no receiver exists.
    m_checkTimer = true;
    m_nextCheckTick = now + kTpegCheckStatePeriodMs;
    if (Connect()) {
        DebugTrace(1, "***** TPEG receiver found: %s\n", m_peerName.c_str());
        StartCheckTimer();
    } else {
        DebugTrace(1, "***** TPEG Set Timer:TPEG_TIMER_DAEMON_FINDWINDOW\n");
    }
    return 1;
}

void CMneTPEGManagerEvent::DropPeer(const char* why) {
    if (m_fd < 0) return;
    DebugTrace(1, "***** TPEG receiver lost (%s); searching again\n", why);
    ::close(m_fd);
    m_fd = -1;
    // A new receiver is greeted from the start.
    m_helloSent = false;
    m_helloAcked = false;
    m_notify.store(0, std::memory_order_release);
    SetCommandState(0);
    m_nextFindTick = platform::GetTickCount64() + kTpegFindPeerPeriodMs;
    m_peerLosses.fetch_add(1, std::memory_order_acq_rel);
}

int CMneTPEGManagerEvent::Send(uint32_t code) {
    if (m_fd < 0) return 0;
    const std::vector<uint8_t> frame = BuildTpegFrame(code, nullptr, 0);
    for (;;) {
        const ssize_t n = ::send(m_fd, frame.data(), frame.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n == static_cast<ssize_t>(frame.size())) break;
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // A receiver that does not read gets kTpegSendTimeoutMs, then
            // the command is dropped; the next state check tries again.
            pollfd p{m_fd, POLLOUT, 0};
            if (::poll(&p, 1, kTpegSendTimeoutMs) == 1 && (p.revents & POLLOUT)) continue;
            DebugTrace(1, "***** TPEG SendMessage time-out : Cmd:%x\n", code);
            return 0;
        }
        DebugTrace(1, "***** TPEG SendMessage failed : Cmd:%x errno %d\n", code, errno);
        DropPeer("send failed");
        return 0;
    }
    DebugTrace(1, "***** TPEG SendMessage - Cmd:%x Size:0\n\n", code);
    return 1;
}

int CMneTPEGManagerEvent::CheckState() {
    m_engine.CheckReceiveState();
    if (m_fd < 0) return 0;
    if (!m_helloSent) {
        m_helloSent = true;
        SetCommandState(kTpegCmdHello);
        Send(kTpegCmdHello);
        return 1;
    }
    if (!m_helloAcked) return 0;
    const uint32_t state = GetCommandState();
    if (state == kTpegCmdHelloAck) {
        SetCommandState(kTpegCmdStatusReq);
        m_statusRequestTick = platform::GetTickCount64();
        Send(kTpegCmdStatusReq);
    } else if (state == kTpegCmdStatusReq) {
        if (platform::GetTickCount64() - m_statusRequestTick >= kTpegStatusReplyTimeoutMs) {
            m_statusRequestTick = platform::GetTickCount64();
            Send(kTpegCmdStatusReq);
        }
    } else if (state == kTpegCmdStatus || state == kTpegCmdStatusAlt) {
        if (m_engine.GetOnChannel() == 1) {
            m_notify.store(1, std::memory_order_release);
            SetCommandState(kTpegCmdStart);
            Send(kTpegCmdStart);
        } else {
            m_notify.store(0, std::memory_order_release);
            SetCommandState(kTpegCmdStop);
            Send(kTpegCmdStop);
        }
    }
    return 1;
}

int CMneTPEGManagerEvent::SetTPEGStatus(const uint8_t* block, size_t size) {
    if (!m_engine.IsLoaded()) return 0;
    if (size > kTpegStatusBytes) {
        DebugTrace(1, "***** TPEG !!!Error SetTPEGStatus() Size OverFlow : Size:%zu\n\n", size);
        return 0;
    }
    std::memcpy(m_status, block, size);
    const int onChannel = m_status[5] != 0;
    int channelType = -1;
    switch (m_status[5]) {
        case 1: channelType = 3; break;
        case 2: channelType = 2; break;
        case 3: channelType = 1; break;
        case 4: channelType = 0; break;
        case 5: channelType = 4; break;
        default: break;
    }
    const bool changed = onChannel != m_engine.GetOnChannel() || channelType != m_engine.GetChannelType();
    m_engine.SetChannel(onChannel, channelType);
    // The clears take each kind's lock; the status lock is not held here, so
    // the order kind lock, then status lock stays the only one.
    if (changed) {
        m_engine.ResetReceptionStatus();
        m_engine.ClearAll();
    }
    m_engine.SetOpiServiceFlag(m_status[7] != 0 && onChannel);
    DebugTrace(1, "SetTPEGStatus() OnChannel:%d OnAIR:%d OPISERVICE:%d\n\n", m_status[5], m_status[6], m_status[7]);
    return onChannel;
}

int CMneTPEGManagerEvent::DispatchData(uint32_t code, size_t size, const uint8_t* payload) {
    if (code < 1 || code > 255 || size > kTpegMaxMessageBytes || m_engine.GetOnChannel() == 0) return 0;
    using Handler = int (TrafficEngine::*)(const uint8_t*, size_t);
    Handler handler = nullptr;
    switch (code) {
        case 1: case 2: handler = &TrafficEngine::ReceiveCTT; break;
        case 3: handler = &TrafficEngine::ReceiveCTTSUM; break;
        case 4: handler = &TrafficEngine::ReceiveRTM; break;
        case 5: handler = &TrafficEngine::ReceiveNWS; break;
        case 6: handler = &TrafficEngine::ReceiveOPI; break;
        case 17: case 18: handler = &TrafficEngine::ReceiveCTTExt; break;
        case 19: handler = &TrafficEngine::ReceiveCTTSUMExt; break;
        case 20: handler = &TrafficEngine::ReceiveRTMExt; break;
        case 21: handler = &TrafficEngine::ReceiveNWSExt; break;
        case 22: handler = &TrafficEngine::ReceiveOPIExt; break;
        default: return 0;
    }
    (m_engine.*handler)(payload, size);
    m_dispatched.fetch_add(1, std::memory_order_acq_rel);
    return 1;
}

void CMneTPEGManagerEvent::HandleFrame(const uint8_t* frame, size_t size) {
    platform::ByteReader r(frame, size);
    const uint32_t code = r.U32();
    const uint32_t declared = r.U32();
    if (!r.Ok() || declared != size - kTpegFrameHeaderBytes) {
        DebugTrace(1, "***** TPEG !!!Error frame of %zu bytes declares %u\n", size, declared);
        return;
    }
    DebugTrace(1, "***** TPEG WM_COPYDATA Receive - Cmd:%x Size:%u\n", code, declared);
    if (declared > kTpegMaxMessageBytes) {
        DebugTrace(1, "***** TPEG !!!Error Size OverFlow : Cmd:%x Size:%u\n\n", code, declared);
        return;
    }
    const uint8_t* payload = frame + kTpegFrameHeaderBytes;
    if (code >= 1 && code <= 255) {
        if (!IsNotifying()) {
            DebugTrace(1, "***** TPEG !!!Error NOT TPEG_CMDSTATE_ON_NOTIFY - Cmd:%x Size:%u\n\n", code, declared);
            return;
        }
        std::memcpy(m_receive.data(), payload, declared);
        DispatchData(code, declared, m_receive.data());
    } else if (code == kTpegCmdHelloAck) {
        m_helloAcked = true;
        SetCommandState(kTpegCmdHelloAck);
    } else if (code == kTpegCmdStatus || code == kTpegCmdStatusAlt) {
        std::memcpy(m_receive.data(), payload, declared);
        SetCommandState(code);
        SetTPEGStatus(m_receive.data(), declared);
    }
}

void CMneTPEGManagerEvent::Step(int waitMs) {
    if (m_fd >= 0) {
        pollfd p{m_fd, POLLIN, 0};
        // A closed peer shows as readable: its receive gives 0.
        if (::poll(&p, 1, waitMs) == 1) {
            // Every frame that is there, each one packet.
            std::vector<uint8_t> frame(kTpegFrameHeaderBytes + kTpegMaxMessageBytes + 1);
            for (int i = 0; i < 64 && m_fd >= 0; ++i) {
                const ssize_t n = ::recv(m_fd, frame.data(), frame.size(), MSG_DONTWAIT | MSG_TRUNC);
                if (n == 0) {
                    DropPeer("closed");
                    break;
                }
                if (n < 0) {
                    if (errno == EINTR) continue;
                    if (errno != EAGAIN && errno != EWOULDBLOCK) DropPeer("receive failed");
                    break;
                }
                if (static_cast<size_t>(n) > frame.size()) {
                    DebugTrace(1, "***** TPEG !!!Error Size OverFlow : %zd bytes\n\n", n);
                    continue;
                }
                HandleFrame(frame.data(), static_cast<size_t>(n));
            }
        }
    } else if (waitMs > 0) {
        ::poll(nullptr, 0, waitMs);
    }
    const uint64_t now = platform::GetTickCount64();
    if (m_fd < 0 && now >= m_nextFindTick) {
        m_nextFindTick = now + kTpegFindPeerPeriodMs;
        if (Connect()) {
            DebugTrace(1, "***** TPEG KillTimer:TPEG_TIMER_DAEMON_FINDWINDOW\n");
            StartCheckTimer();
            return;
        }
    }
    if (m_checkTimer && now >= m_nextCheckTick) {
        m_nextCheckTick = now + kTpegCheckStatePeriodMs;
        CheckState();
    }
}

void CMneTPEGManagerEvent::Close() {
    m_checkTimer = false;
    m_notify.store(0, std::memory_order_release);
    SetCommandState(kTpegCmdStop);
    if (m_fd < 0) return;
    Send(kTpegCmdStop);
    // Closing a socket with unread frames resets the receiver's side and
    // loses the stop before it is read: end the sending side, then read
    // what is still coming until the receiver closes (bounded in time).
    ::shutdown(m_fd, SHUT_WR);
    const uint64_t until = platform::SystemClock().TickMs64() + kTpegSendTimeoutMs;
    std::vector<uint8_t> frame(kTpegFrameHeaderBytes + kTpegMaxMessageBytes + 1);
    for (;;) {
        const uint64_t now = platform::SystemClock().TickMs64();
        if (now >= until) break;
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(until - now)) != 1) break;
        const ssize_t n = ::recv(m_fd, frame.data(), frame.size(), MSG_DONTWAIT);
        if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) break;
    }
    ::close(m_fd);
    m_fd = -1;
}
