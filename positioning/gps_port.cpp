#include "positioning/gps_port.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>

#include "foundation/debug_trace.h"
#include "platform/clock.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "platform/thread_util.h"
#include "positioning/gps_parser.h"

namespace {

std::mutex g_folderMutex;
std::string g_portFolder;   // guarded by g_folderMutex

struct DeviceFamily {
    const char* prefix;
    int firstCom;
    int count;
};
constexpr DeviceFamily kFamilies[] = {{"/dev/ttyUSB", 1, 20}, {"/dev/ttyACM", 21, 20}, {"/dev/ttyS", 41, 215}};

// Receiver commands. Index 0 also deletes the receiver parameter files.
constexpr const char* kPplmgStart = "$PPLMG,0\r\n";
constexpr const char* kPplmgEnd = "$PPLMG,3\r\n";
constexpr const char* kSirfInit = "$PSRF101,0,0,0,000,0,0,12,8*1C\r\n";
constexpr const char* kTrimbleReset = "$PTNLSRT,C*3C\r\n";
// The receiver's vendor gives this sentence with "*6D"; its body sums to
// 0x49. It is sent as given, since that is what the receivers were set up
// with.
constexpr const char* kWavesMode = "$WAVES22,3*6D\r\n";
constexpr const char* kSirfFactory = "$PSRF110,4*3F\r\n";
constexpr const char* kSirfSeed = "$PSRF101,-2686700,-4304200,3851624,96000,497260,921,12,1*2d\r\n";

constexpr const char* kOutputRateBlock =
    "$PSRF103,00,00,01,01*25\r\n$PSRF103,01,00,00,01*25\r\n$PSRF103,02,00,01,01*27\r\n \t\t"
    "$PSRF103,03,00,01,01*26\r\n$PSRF103,04,00,01,01*21\r\n$PSRF103,05,00,00,01*21\r\n";
constexpr const char* kSetupCommands[CGPSPort::kSetupCommandCount] = {
    "$PPLMN,1,0,1,1,0,1,0,0\r\n", kOutputRateBlock, "", kOutputRateBlock};

// Written once by the receive thread in binary mode before it reads.
constexpr uint8_t kBinaryStart1[] = {0x81, 0x01, 0x2B, 0x30, 0x02, 0x01, 0x00, 0x00,
                                     0x00, 0xE8, 0x03, 0x00, 0x00, 0xB3, 0x82};
constexpr uint8_t kBinaryStart2[] = {0x81, 0x01, 0x21, 0x01, 0x01, 0xD9, 0x82};

}  // namespace

void SetSerialPortFolder(const std::string& nativeFolder) {
    std::lock_guard<std::mutex> lock(g_folderMutex);
    g_portFolder = nativeFolder;
}

std::string GetSerialPortFolder() {
    std::lock_guard<std::mutex> lock(g_folderMutex);
    return g_portFolder;
}

std::string GetSerialPortPath(int portNumber) {
    if (portNumber < 1 || portNumber > 255) return {};
    const std::string folder = GetSerialPortFolder();
    if (!folder.empty()) return folder + "/COM" + std::to_string(portNumber);
    for (const DeviceFamily& f : kFamilies) {
        if (portNumber >= f.firstCom && portNumber < f.firstCom + f.count) {
            return f.prefix + std::to_string(portNumber - f.firstCom);
        }
    }
    return {};
}

std::vector<int> EnumerateSerialPorts(size_t maxCount) {
    std::vector<int> ports;
    const std::string folder = GetSerialPortFolder();
    std::error_code ec;
    if (!folder.empty()) {
        for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
            const std::string name = entry.path().filename().string();
            if (name.size() > 3 && name.compare(0, 3, "COM") == 0) {
                const int n = std::atoi(name.c_str() + 3);
                if (n >= 1 && n <= 255) ports.push_back(n);
            }
        }
    } else {
        for (int n = 1; n <= 255; ++n) {
            const std::string path = GetSerialPortPath(n);
            if (!path.empty() && std::filesystem::exists(path, ec)) ports.push_back(n);
        }
    }
    std::sort(ports.begin(), ports.end());
    if (ports.size() > maxCount) ports.resize(maxCount);
    return ports;
}

// ---------------------------------------------------------------------------

void GpsSentenceSplitter::Feed(const uint8_t* data, size_t size,
                               const std::function<void(const uint8_t*, size_t)>& onPiece) {
    while (size > 0) {
        const size_t room = kBufferBytes - 1 - m_held;
        const size_t take = std::min(room, size);
        std::memcpy(m_buffer + m_held, data, take);
        m_held += take;
        data += take;
        size -= take;
        size_t start = 0;
        for (size_t i = 0; i < m_held; ++i) {
            if (m_buffer[i] != m_delimiter) continue;
            size_t length = i + 1 - start;
            const uint8_t* piece = m_buffer + start;
            if (m_delimiter == '\n') {
                // Only what stands before the sentence's '$' is dropped.
                const std::string_view sentence =
                    NmeaSentenceOfLine({reinterpret_cast<const char*>(piece), length});
                piece += length - sentence.size();
                length = sentence.size();
            }
            if (length <= kMaxPieceBytes) onPiece(piece, length);
            start = i + 1;
        }
        if (start > 0) {
            std::memmove(m_buffer, m_buffer + start, m_held - start);
            m_held -= start;
        } else if (m_held > kBufferBytes - 2) {
            m_held = 0;   // 1023 bytes without a delimiter: garbage
        }
    }
}

// ---------------------------------------------------------------------------

int CGPSPort::Open(int portNumber, int baud, int dataBits, int parity, int stopBits) {
    MgrLock hold(m_lock);
    if (m_open.load(std::memory_order_acquire)) return 0;
    const std::string path = GetSerialPortPath(portNumber);
    std::string error;
    if (path.empty() || !m_port.Open(path, baud, dataBits, parity, stopBits, &error)) {
        m_lastError = path.empty() ? "no device for COM" + std::to_string(portNumber) : error;
        DebugTrace(1, "CGPSPort::Open COM%d: %s\r\n", portNumber, m_lastError.c_str());
        return 0;
    }
    m_portNumber = portNumber;
    m_baud = baud;
    m_dataBits = dataBits;
    m_parity = parity;
    m_stopBits = stopBits;
    m_lastError.clear();
    m_handle.store(m_port.Descriptor(), std::memory_order_release);
    m_open.store(1, std::memory_order_release);
    return 1;
}

int CGPSPort::Close() {
    MgrLock hold(m_lock);
    if (!m_port.IsOpen()) return 0;
    m_port.Close();
    m_handle.store(-1, std::memory_order_release);
    m_open.store(0, std::memory_order_release);
    return 1;
}

int CGPSPort::Reopen() {
    MgrLock hold(m_lock);
    if (m_portNumber == 0) return 0;
    m_port.Close();
    m_handle.store(-1, std::memory_order_release);
    m_open.store(0, std::memory_order_release);
    std::string error;
    if (!m_port.Open(GetSerialPortPath(m_portNumber), m_baud, m_dataBits, m_parity, m_stopBits, &error)) {
        m_lastError = error;
        return 0;
    }
    m_handle.store(m_port.Descriptor(), std::memory_order_release);
    m_open.store(1, std::memory_order_release);
    return 1;
}

int CGPSPort::WriteString(std::string_view text) {
    MgrLock hold(m_lock);
    if (!m_port.IsOpen()) return 0;
    return m_port.WriteAll(text.data(), text.size()) ? 1 : 0;
}

long CGPSPort::Read(void* buffer, size_t size) { return m_port.Read(buffer, size); }

int CGPSPort::SendSetupCommand(int index, int lock) {
    if (index < 0 || index >= kSetupCommandCount || kSetupCommands[index][0] == '\0') return 0;
    if (lock) {
        MgrLock hold(m_lock);
        return WriteString(kSetupCommands[index]);
    }
    return WriteString(kSetupCommands[index]);
}

int CGPSPort::SendCommand(int index, int lock) {
    if (index < 0 || index >= kCommandCount) return 0;
    // The port lock is re-entrant: the nested writes take it again.
    std::unique_ptr<MgrLock> hold;
    if (lock) hold = std::make_unique<MgrLock>(m_lock);
    switch (index) {
        case 0: {
            if (!WriteString(kPplmgStart)) return 0;
            for (int i = 0; i < 4; ++i) {
                char name[64];
                std::snprintf(name, sizeof name, "C:\\Pelox20\\User\\gpspara%d.bin", i);
                platform::RemoveFile(platform::NativePath(name));
            }
            return WriteString(kPplmgEnd);
        }
        case 1: {
            const int result = WriteString(kSirfInit);
            SendSetupCommand(1, 0);
            return result;
        }
        case 2: {
            WriteString(kTrimbleReset);
            platform::Event pause;
            pause.Wait(500);   // the receiver needs the pause between the two sentences
            return WriteString(kWavesMode);
        }
        case 3: return WriteString(kSirfFactory);
        case 4: return WriteString(kSirfSeed);
        default: return 0;
    }
}

// ---------------------------------------------------------------------------

CGPSRxThread::CGPSRxThread() = default;

CGPSRxThread::~CGPSRxThread() { StopThread(kMgrUnlimitedStopWaitMs); }

int CGPSRxThread::InitInstance() {
    m_delimiter = GetGpsProtocolMode() == kGpsProtocolBinary ? 0x82 : '\n';
    m_port = CGPSPort::Instance();
    DebugTrace(3, "CGPSRxThread InitInstance(0x%08x)\r\n", platform::CurrentThreadId());
    if (!m_port || m_port->GetHandle() < 0 || !m_wake.IsValid()) return 0;
    m_wake.Drain();   // a wake-up left from an earlier run of this object
    SetQuitFlag(0);
    return 1;
}

int CGPSRxThread::ExitInstance() {
    DebugTrace(3, "CGPSRxThread ExitInstance(0x%08x, 0x%08x)\r\n", platform::CurrentThreadId(),
               platform::GetTickCount());
    return 0;
}

int CGPSRxThread::StopThread(uint32_t timeoutMs) {
    if (!IsThreadRunning() || IsOwnThread()) return CMgrWorkThread::StopThread(timeoutMs);
    // The thread waits on the port: the stop request alone would be seen
    // only at the end of a wait slice, the wake event ends the wait now.
    RequestStop();
    m_wake.Signal();
    const uint32_t limitMs = timeoutMs == kMgrInfinite ? kMgrUnlimitedStopWaitMs : timeoutMs;
    return WaitForThreadEnd(limitMs, limitMs);
}

bool CGPSRxThread::WaitForReopen() {
    int pauseMs = kFirstReopenPauseMs;
    while (!GetQuitFlag()) {
        // The pause ends early when the thread is asked to stop.
        if (platform::WaitPortReadable(-1, m_wake, pauseMs) == platform::PortWait::kWoken) return false;
        if (GetQuitFlag()) return false;
        if (m_port->Reopen()) {
            m_reopens.fetch_add(1, std::memory_order_acq_rel);
            DebugTrace(2, "CGPSRxThread: port open again\r\n");
            return true;
        }
        pauseMs = std::min(pauseMs * 2, kMaxReopenPauseMs);
    }
    return false;
}

void CGPSRxThread::Run() {
    if (GetGpsProtocolMode() == kGpsProtocolBinary) {
        m_port->WriteString(std::string_view(reinterpret_cast<const char*>(kBinaryStart1), sizeof kBinaryStart1));
        m_port->WriteString(std::string_view(reinterpret_cast<const char*>(kBinaryStart2), sizeof kBinaryStart2));
    }
    const bool nmea = m_delimiter == '\n';
    GpsSentenceSplitter splitter(m_delimiter);
    auto post = [nmea](const uint8_t* piece, size_t length) {
        uint8_t message[kMgrModuleMaxPayload];
        std::memcpy(message, piece, length);
        uint32_t size = static_cast<uint32_t>(length);
        if (nmea) message[size++] = 0;   // the sentence, its '\n' and a NUL
        SendThreadMessage(u"GPSPARSER", 3, message, size, kPostTimeoutMs);
    };
    uint8_t buffer[GpsSentenceSplitter::kBufferBytes];
    while (!GetQuitFlag()) {
        const platform::PortWait w = platform::WaitPortReadable(m_port->GetHandle(), m_wake, kWaitSliceMs);
        if (w == platform::PortWait::kWoken) break;
        long n = 0;
        if (w == platform::PortWait::kReadable) n = m_port->Read(buffer, sizeof buffer - 1);
        if (w == platform::PortWait::kHangup || w == platform::PortWait::kError || n < 0) {
            // Unplugged: close, drop the half sentence, and open again later.
            m_hangups.fetch_add(1, std::memory_order_acq_rel);
            DebugTrace(2, "CGPSRxThread: receiver hung up\r\n");
            m_port->Close();
            splitter.Clear();
            if (!WaitForReopen()) break;
            continue;
        }
        if (n > 0) splitter.Feed(buffer, static_cast<size_t>(n), post);
    }
}
