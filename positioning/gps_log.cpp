#include "positioning/gps_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "foundation/debug_trace.h"
#include "foundation/nv_string.h"
#include "foundation/system_settings.h"
#include "positioning/gps_parser.h"

namespace {

bool WriteAllFd(int fd, const char* data, size_t length) {
    while (length > 0) {
        const ssize_t n = ::write(fd, data, length);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

bool IsGgaAt(const char* p, size_t left) {
    return left >= 6 && IsGnssTalker(std::string_view(p, 3)) && std::memcmp(p + 3, "GGA", 3) == 0;
}

// Whether a replay piece starts a new second of the log.
bool StartsSecond(const std::string& line, bool nmea) {
    if (nmea) return NmeaSentenceKind(line) == kGpsParseRmc;
    return line.size() > 1 && line[1] == '2';
}

std::string Utf8(const std::u16string& s) { return NvString(s).ToUtf8(); }

}  // namespace

int CountGgaSentences(const char* data, size_t length) {
    int count = 0;
    for (size_t i = 0; i < length; ++i) {
        if ((i == 0 || data[i - 1] == '\n') && IsGgaAt(data + i, length - i)) ++count;
    }
    return count;
}

CGPSNMEAStore::~CGPSNMEAStore() { Close(); }

void CGPSNMEAStore::SetLogFolder(const std::string& nativeFolder) {
    MgrLock hold(m_lock);
    m_folder = nativeFolder;
}

void CGPSNMEAStore::SetGgaLimit(int limit) {
    MgrLock hold(m_lock);
    m_ggaLimit = limit;
}

std::string CGPSNMEAStore::LogFolder() const {
    if (!m_folder.empty()) return m_folder;
    char16_t root[260] = {};
    if (GetSystemSettingString(SYS_ROOTPATH, root, 260) == 0 && root[0]) return Utf8(root);
    std::u16string parent;
    GetModuleParentFolder(parent);
    return Utf8(parent);
}

std::string CGPSNMEAStore::MakeLogName(const std::string& folder, const platform::LocalDateTime& t) {
    char name[128];
    std::snprintf(name, sizeof name, "%d\xEB\x85\x84%02d\xEC\x9B\x94%02d\xEC\x9D\xBC%d\xEC\x8B\x9C%02d\xEB\xB6\x84%02d\xEC\xB4\x88",
                  t.year, t.month, t.day, t.hour, t.minute, t.second);
    return folder + "/" + name + ".gps";
}

int CGPSNMEAStore::Open() {
    if (!m_enabled.load(std::memory_order_acquire)) return 0;
    Close();
    MgrLock hold(m_lock);
    const std::string base = MakeLogName(LogFolder(), platform::GetLocalTime());
    // Two logs opened within one second get their own names ("(2)", ...).
    std::string path = base;
    int fd = -1;
    for (int n = 1; n < 100; ++n) {
        if (n > 1) path = base.substr(0, base.size() - 4) + "(" + std::to_string(n) + ").gps";
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0 || errno != EEXIST) break;
    }
    if (fd < 0) {
        DebugTrace(1, "CGPSNMEAStore::Open %s: %s\r\n", path.c_str(), std::strerror(errno));
        return 0;
    }
    m_fd = fd;
    m_path = path;
    m_ggaCount = 0;
    m_open.store(1, std::memory_order_release);
    return 1;
}

int CGPSNMEAStore::Close() {
    MgrLock hold(m_lock);
    if (m_fd < 0) return 0;
    m_open.store(0, std::memory_order_release);
    m_path.clear();
    ::close(m_fd);
    m_fd = -1;
    return 1;
}

int CGPSNMEAStore::Write(const void* data, size_t length, int* closeRequest) {
    if (closeRequest) *closeRequest = 0;
    if (!m_enabled.load(std::memory_order_acquire)) return 0;
    MgrLock hold(m_lock);
    if (m_fd < 0) return 0;
    const char* p = static_cast<const char*>(data);
    // Find the GGA sentence that reaches the limit: what comes before it is
    // still written.
    size_t writable = length;
    bool limitReached = false;
    for (size_t i = 0; i < length; ++i) {
        if ((i == 0 || p[i - 1] == '\n') && IsGgaAt(p + i, length - i)) {
            if (++m_ggaCount >= m_ggaLimit) {
                writable = i;
                limitReached = true;
                break;
            }
        }
    }
    const bool written = WriteAllFd(m_fd, p, writable);
    if (limitReached) {
        if (closeRequest) *closeRequest = 1;
        return 0;
    }
    return written ? 1 : 0;
}

int CGPSNMEAStore::IsLogging(int lock) {
    if (!m_enabled.load(std::memory_order_acquire)) return 0;
    if (lock) {
        MgrLock hold(m_lock);
        return m_fd >= 0 ? 1 : 0;
    }
    return m_open.load(std::memory_order_acquire);
}

int CGPSNMEAStore::GetFileName(std::string* out, int lock) {
    (void)lock;   // the path is a string: always read under the lock
    MgrLock hold(m_lock);
    if (m_fd < 0 || !out) return 0;
    *out = m_path;
    return 1;
}

// ---------------------------------------------------------------------------

CGPSFileThread::~CGPSFileThread() {
    StopThread(kMgrUnlimitedStopWaitMs);
    CloseFile();
}

void CGPSFileThread::CloseFile() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

int CGPSFileThread::OnPrepare(const void* param) {
    m_delimiter = GetGpsProtocolMode() == kGpsProtocolBinary ? 0x82 : '\n';
    const char* path = static_cast<const char*>(param);
    if (!path) return 0;
    // Fewer than 260 characters (UTF-8 continuation bytes are not counted).
    size_t characters = 0;
    for (const char* c = path; *c; ++c) characters += (static_cast<unsigned char>(*c) & 0xC0) != 0x80;
    if (characters >= 260) return 0;
    CloseFile();
    m_path = path;
    return 1;
}

int CGPSFileThread::OnStart() {
    CloseFile();
    m_fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
    return m_fd >= 0 ? 1 : 0;
}

int CGPSFileThread::OnStop() {
    CloseFile();
    return 1;
}

void CGPSFileThread::OnAbort() {
    CloseFile();
    m_path.clear();
}

bool CGPSFileThread::ReadLine(std::string& line) {
    line.clear();
    uint8_t c;
    for (;;) {
        const ssize_t n = ::read(m_fd, &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n != 1) return false;
        line.push_back(static_cast<char>(c));
        if (c == m_delimiter) return true;
        if (line.size() > kMaxLineBytes) line.clear();   // too long for a message: dropped
    }
}

int CGPSFileThread::OnStep() {
    if (m_fd < 0) return 0;
    const bool nmea = m_delimiter == '\n';
    bool secondStarted = false;
    std::string line;
    for (;;) {
        if (!ReadLine(line)) return 0;   // end of the log
        // A sentence starts at its '$': bytes before it on the line are
        // dropped.
        std::string message(nmea ? NmeaSentenceOfLine(line) : std::string_view(line));
        if (StartsSecond(message, nmea)) {
            if (secondStarted) {
                // The next second: leave it for the next step.
                ::lseek(m_fd, -static_cast<off_t>(line.size()), SEEK_CUR);
                return 1;
            }
            secondStarted = true;
        }
        if (nmea) message.push_back('\0');
        CMgrWorkThread::SendThreadMessage(u"GPSPARSER", 4, message.data(), static_cast<uint32_t>(message.size()),
                                          kPostTimeoutMs);
    }
}
