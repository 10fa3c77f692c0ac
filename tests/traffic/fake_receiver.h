#pragma once
// The traffic receiver's side of the socket, played by a test: a listening
// socket under the peer's name, the accepted connection, the commands the
// link sent and frames to send it.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/byte_cursor.h"
#include "traffic/receiver_link.h"

namespace traffictest {

// The receiver's side: a listening socket and the accepted connection.
class FakeReceiver {
public:
    explicit FakeReceiver(const std::string& path) : m_path(path) { Listen(); }
    ~FakeReceiver() {
        Disconnect();
        if (m_listen >= 0) ::close(m_listen);
        ::unlink(m_path.c_str());
    }
    void Listen() {
        m_listen = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strcpy(addr.sun_path, m_path.c_str());
        ::unlink(m_path.c_str());
        ASSERT_EQ(::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        ASSERT_EQ(::listen(m_listen, 4), 0);
    }
    void StopListening() {
        ::close(m_listen);
        m_listen = -1;
        ::unlink(m_path.c_str());
    }
    bool Accept() {
        if (m_conn >= 0) return true;
        m_conn = ::accept(m_listen, nullptr, nullptr);
        return m_conn >= 0;
    }
    void Disconnect() {
        if (m_conn >= 0) ::close(m_conn);
        m_conn = -1;
    }
    // Codes of the commands the link sent since the last call.
    std::vector<uint32_t> Commands() {
        std::vector<uint32_t> out;
        if (!Accept()) return out;
        uint8_t buf[64];
        for (;;) {
            const ssize_t n = ::recv(m_conn, buf, sizeof buf, MSG_DONTWAIT);
            if (n <= 0) break;
            out.push_back(platform::ByteReader(buf, static_cast<size_t>(n)).U32());
        }
        return out;
    }
    void Send(uint32_t code, const std::vector<uint8_t>& payload = {}) {
        ASSERT_TRUE(Accept());
        const auto frame = BuildTpegFrame(code, payload.data(), payload.size());
        ASSERT_EQ(::send(m_conn, frame.data(), frame.size(), MSG_NOSIGNAL), static_cast<ssize_t>(frame.size()));
    }
    void SendRaw(const std::vector<uint8_t>& frame) {
        ASSERT_TRUE(Accept());
        ASSERT_EQ(::send(m_conn, frame.data(), frame.size(), MSG_NOSIGNAL), static_cast<ssize_t>(frame.size()));
    }

private:
    std::string m_path;
    int m_listen = -1;
    int m_conn = -1;
};

// A status block whose OnChannel byte (5) is given; 4 is channel type 0.
inline std::vector<uint8_t> StatusBlock(uint8_t onChannel, uint8_t opi = 0, size_t size = 16) {
    std::vector<uint8_t> block(size, 0);
    if (size > 5) block[5] = onChannel;
    if (size > 7) block[7] = opi;
    return block;
}

}  // namespace traffictest
