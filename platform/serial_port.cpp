#include "platform/serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform {

namespace {

struct BaudEntry {
    int baud;
    speed_t constant;
};

constexpr BaudEntry kBaudTable[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},       {150, B150},
    {200, B200},       {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
    {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
    {57600, B57600},   {115200, B115200}, {230400, B230400}, {460800, B460800}, {500000, B500000},
    {576000, B576000}, {921600, B921600}, {1000000, B1000000},
};

bool BaudConstant(int baud, speed_t* out) {
    for (const BaudEntry& e : kBaudTable) {
        if (e.baud == baud) {
            *out = e.constant;
            return true;
        }
    }
    return false;
}

void SetError(std::string* error, const std::string& text) {
    if (error) *error = text;
}

}  // namespace

bool IsStandardBaudRate(int baud) {
    speed_t c;
    return BaudConstant(baud, &c);
}

bool SerialPort::Open(const std::string& devicePath, int baud, int dataBits, int parity, int stopBits,
                      std::string* error) {
    if (m_fd >= 0) {
        SetError(error, "port already open");
        return false;
    }
    speed_t speed;
    if (!BaudConstant(baud, &speed)) {
        SetError(error, "baud rate " + std::to_string(baud) + " has no termios constant");
        return false;
    }
    const int fd = ::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        SetError(error, devicePath + ": " + std::strerror(errno));
        return false;
    }
    auto fail = [&](const char* what) {
        SetError(error, devicePath + ": " + what + ": " + std::strerror(errno));
        ::close(fd);
        return false;
    };
    // Exclusive use: a second open of the device fails (EBUSY from the
    // terminal; the lock also holds against privileged openers, whom the
    // terminal lets through).
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return fail("in use");
    if (::ioctl(fd, TIOCEXCL) != 0) return fail("exclusive open");
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) return fail("tcgetattr");
    ::cfmakeraw(&tio);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    tio.c_cflag |= CLOCAL | CREAD;
    switch (dataBits) {
        case 5: tio.c_cflag |= CS5; break;
        case 6: tio.c_cflag |= CS6; break;
        case 7: tio.c_cflag |= CS7; break;
        default: tio.c_cflag |= CS8; break;
    }
    if (parity == 1) tio.c_cflag |= PARENB | PARODD;
    if (parity == 2) tio.c_cflag |= PARENB;
    if (stopBits == 2) tio.c_cflag |= CSTOPB;
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    ::cfsetispeed(&tio, speed);
    ::cfsetospeed(&tio, speed);
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) return fail("tcsetattr");
    m_fd = fd;
    return true;
}

bool SerialPort::SetBaudRate(int baud, std::string* error) {
    speed_t speed;
    if (!BaudConstant(baud, &speed)) {
        SetError(error, "baud rate " + std::to_string(baud) + " has no termios constant");
        return false;
    }
    termios tio{};
    if (m_fd < 0 || ::tcgetattr(m_fd, &tio) != 0) return false;
    ::cfsetispeed(&tio, speed);
    ::cfsetospeed(&tio, speed);
    return ::tcsetattr(m_fd, TCSANOW, &tio) == 0;
}

void SerialPort::Close() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

long SerialPort::Read(void* buffer, size_t size) {
    if (m_fd < 0) return -1;
    const ssize_t n = ::read(m_fd, buffer, size);
    if (n >= 0) return n == 0 ? -1 : static_cast<long>(n);   // 0 without O_NONBLOCK data: the line hung up
    return (errno == EAGAIN || errno == EINTR) ? 0 : -1;
}

bool SerialPort::WriteAll(const void* data, size_t size, int timeoutMs) {
    if (m_fd < 0) return false;
    const auto* p = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const ssize_t n = ::write(m_fd, p, size);
        if (n > 0) {
            p += n;
            size -= static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
        pollfd pfd{m_fd, POLLOUT, 0};
        if (::poll(&pfd, 1, timeoutMs) <= 0 || (pfd.revents & (POLLERR | POLLHUP))) return false;
    }
    return true;
}

void SerialPort::Purge() {
    if (m_fd >= 0) ::tcflush(m_fd, TCIOFLUSH);
}

WakeEvent::WakeEvent() : m_fd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

WakeEvent::~WakeEvent() {
    if (m_fd >= 0) ::close(m_fd);
}

void WakeEvent::Signal() {
    const uint64_t one = 1;
    if (m_fd >= 0) {
        [[maybe_unused]] const ssize_t n = ::write(m_fd, &one, sizeof one);
    }
}

bool WakeEvent::Drain() {
    uint64_t value = 0;
    return m_fd >= 0 && ::read(m_fd, &value, sizeof value) == sizeof value && value > 0;
}

PortWait WaitPortReadable(int fd, const WakeEvent& wake, int timeoutMs) {
    pollfd pfd[2] = {{fd, POLLIN, 0}, {wake.Descriptor(), POLLIN, 0}};
    const int n = ::poll(pfd, 2, timeoutMs);
    if (n < 0) return errno == EINTR ? PortWait::kTimeout : PortWait::kError;
    if (n == 0) return PortWait::kTimeout;
    if (pfd[1].revents & POLLIN) return PortWait::kWoken;
    if (pfd[0].revents & POLLIN) return PortWait::kReadable;
    if (pfd[0].revents & (POLLHUP | POLLERR | POLLNVAL)) return PortWait::kHangup;
    return PortWait::kTimeout;
}

bool PtyPair::Open(std::string* error) {
    CloseMaster();
    const int m = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m < 0 || ::grantpt(m) != 0 || ::unlockpt(m) != 0) {
        SetError(error, std::string("pseudo-terminal: ") + std::strerror(errno));
        if (m >= 0) ::close(m);
        return false;
    }
    char name[128];
    if (::ptsname_r(m, name, sizeof name) != 0) {
        SetError(error, std::string("ptsname: ") + std::strerror(errno));
        ::close(m);
        return false;
    }
    // The slave starts in cooked mode; the program sets raw mode when it
    // opens it, but bytes sent before that must not be echoed or changed.
    const int s = ::open(name, O_RDWR | O_NOCTTY);
    if (s >= 0) {
        termios tio{};
        if (::tcgetattr(s, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::tcsetattr(s, TCSANOW, &tio);
        }
        ::close(s);
    }
    m_master = m;
    m_slavePath = name;
    return true;
}

bool PtyPair::Send(const void* data, size_t size) {
    if (m_master < 0) return false;
    const auto* p = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const ssize_t n = ::write(m_master, p, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

std::string PtyPair::Receive(int timeoutMs) {
    std::string out;
    if (m_master < 0) return out;
    pollfd pfd{m_master, POLLIN, 0};
    int wait = timeoutMs;
    char buffer[512];
    while (::poll(&pfd, 1, wait) > 0 && (pfd.revents & POLLIN)) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0) break;
        out.append(buffer, static_cast<size_t>(n));
        wait = 50;   // the rest of what was written together
    }
    return out;
}

void PtyPair::CloseMaster() {
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
}

bool SharedMemoryBlock::Open(const std::string& name, size_t size) {
    Close();
    const std::string shmName = "/" + name;
    const int fd = ::shm_open(shmName.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    struct stat st{};
    if (::fstat(fd, &st) != 0 || (static_cast<size_t>(st.st_size) < size && ::ftruncate(fd, static_cast<off_t>(size)) != 0)) {
        ::close(fd);
        return false;
    }
    void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    ::close(fd);
    if (p == MAP_FAILED) return false;
    m_data = static_cast<uint8_t*>(p);
    m_size = size;
    return true;
}

void SharedMemoryBlock::Close() {
    if (m_data) {
        ::munmap(m_data, m_size);
        m_data = nullptr;
        m_size = 0;
    }
}

void SharedMemoryBlock::Unlink(const std::string& name) { ::shm_unlink(("/" + name).c_str()); }

}  // namespace platform
