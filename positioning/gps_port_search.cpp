#include "positioning/gps_port_search.h"

#include <cstring>
#include <memory>
#include <string>

#include "platform/serial_port.h"
#include "positioning/gps_parser.h"
#include "positioning/gps_port.h"

bool IsNmeaData(const uint8_t* data, size_t size) {
    for (size_t i = 0; i + 3 <= size; ++i) {
        if (data[i] == '$' && IsGnssTalker(std::string_view(reinterpret_cast<const char*>(data + i), 3))) return true;
    }
    return false;
}

int GpsPortSearch::StartThread() {
    if (m_thread.joinable()) return 0;
    m_quit.store(0, std::memory_order_release);
    try {
        m_thread = std::thread(&GpsPortSearch::ThreadMain, this);
    } catch (...) {
        return 0;
    }
    return 1;
}

void GpsPortSearch::StopThread() {
    if (!m_thread.joinable()) return;
    m_quit.store(1, std::memory_order_release);
    m_quitEvent.Set();
    // Every wait of a job is a short slice that looks at the quit flag, so
    // the join is bounded by one slice.
    m_thread.join();
}

void GpsPortSearch::SetProgressCallback(GpsSearchCallback callback, void* context) {
    m_context.store(context, std::memory_order_release);
    m_callback.store(callback, std::memory_order_release);
}

void GpsPortSearch::StartPortCheck(int port, int rate) {
    m_checkPort.store(port, std::memory_order_release);
    m_checkRate.store(rate, std::memory_order_release);
    m_checkEvent.Set();
}

void GpsPortSearch::CancelSearch() {
    if (m_searching.load(std::memory_order_acquire)) m_searchCancel.store(1, std::memory_order_release);
}

void GpsPortSearch::CancelPortCheck() {
    if (m_checking.load(std::memory_order_acquire)) m_checkCancel.store(1, std::memory_order_release);
}

void GpsPortSearch::Report(int code, int port, int rate) {
    if (GpsSearchCallback cb = m_callback.load(std::memory_order_acquire)) {
        cb(code, port, rate, m_context.load(std::memory_order_acquire));
    }
}

bool GpsPortSearch::Cancelled(const std::atomic<int>& cancel) const {
    return cancel.load(std::memory_order_acquire) || m_quit.load(std::memory_order_acquire);
}

bool GpsPortSearch::Pause(int ms, const std::atomic<int>& cancel) {
    if (Cancelled(cancel)) return false;
    m_quitEvent.Wait(static_cast<uint32_t>(ms));
    return !Cancelled(cancel);
}

void GpsPortSearch::ThreadMain() {
    platform::SetCurrentThreadName("GPSPORTSEARCH");
    while (!m_quit.load(std::memory_order_acquire)) {
        const int which = platform::Event::WaitAny({&m_quitEvent, &m_searchEvent, &m_checkEvent}, 500);
        if (which == 0 || m_quit.load(std::memory_order_acquire)) break;
        if (which == 1) RunSearch();
        if (which == 2) RunCheck();
    }
}

void GpsPortSearch::RunSearch() {
    m_searchCancel.store(0, std::memory_order_release);
    m_searching.store(1, std::memory_order_release);
    Report(kGpsSearchStarted, 0, 0);
    Report(kGpsSearchEnumerating, 0, 0);
    const std::vector<int> ports = EnumerateSerialPorts(kMaxPorts);
    int found = 0, foundRate = 0;
    if (!ports.empty()) {
        Report(kGpsSearchProbing, 0, 0);
        for (size_t first = 0; first < ports.size() && !found && !Cancelled(m_searchCancel); first += kGroupSize) {
            const std::vector<int> group(ports.begin() + static_cast<long>(first),
                                         ports.begin() + static_cast<long>(std::min(ports.size(), first + kGroupSize)));
            found = ProbeGroup(group, &foundRate);
        }
    }
    if (found && !Cancelled(m_searchCancel)) {
        Report(kGpsSearchFound, found, foundRate);
    } else {
        Report(kGpsSearchNotFound, 0, 0);
    }
    m_searching.store(0, std::memory_order_release);
    m_searchCancel.store(0, std::memory_order_release);
}

int GpsPortSearch::ProbeGroup(const std::vector<int>& ports, int* foundRate) {
    struct Probe {
        int port;
        std::unique_ptr<platform::SerialPort> serial;
        uint8_t buffer[kProbeBytes] = {};
        size_t fill = 0;
        bool usable = false;
    };
    std::vector<Probe> probes;
    for (int port : ports) {
        Probe p;
        p.port = port;
        p.serial = std::make_unique<platform::SerialPort>();
        // Opened at the first rate; a port that cannot be opened is skipped.
        if (p.serial->Open(GetSerialPortPath(port), kSearchRates[0], 8, 0, 1, nullptr)) probes.push_back(std::move(p));
    }
    for (int rate : kSearchRates) {
        if (Cancelled(m_searchCancel)) break;
        Report(kGpsSearchProbing, probes.empty() ? 0 : probes.front().port, rate);
        for (Probe& p : probes) {
            // A rate the system has no setting for is skipped for the port;
            // the port stays for the other rates.
            p.usable = p.serial->SetBaudRate(rate, nullptr);
            p.serial->Purge();
            p.fill = 0;
        }
        for (int poll = 0; poll < kPolls; ++poll) {
            if (!Pause(kPollMs, m_searchCancel)) return 0;
            for (Probe& p : probes) {
                if (!p.usable || p.fill >= kProbeBytes) continue;
                const long n = p.serial->Read(p.buffer + p.fill, kProbeBytes - p.fill);
                if (n > 0) p.fill += static_cast<size_t>(n);
                if (p.fill == kProbeBytes && IsNmeaData(p.buffer, p.fill)) {
                    *foundRate = rate;
                    return p.port;
                }
            }
        }
    }
    return 0;
}

void GpsPortSearch::RunCheck() {
    m_checkCancel.store(0, std::memory_order_release);
    m_checking.store(1, std::memory_order_release);
    const int port = m_checkPort.load(std::memory_order_acquire);
    const int rate = m_checkRate.load(std::memory_order_acquire);
    Report(kGpsSearchChecking, port, rate);
    bool ok = false;
    platform::SerialPort serial;
    if (serial.Open(GetSerialPortPath(port), rate, 8, 0, 1, nullptr)) {
        serial.Purge();
        uint8_t buffer[kProbeBytes];
        size_t fill = 0;
        for (int round = 0; round < kPolls && fill < kProbeBytes; ++round) {
            if (!Pause(kCheckRoundMs, m_checkCancel)) break;
            const long n = serial.Read(buffer + fill, kProbeBytes - fill);
            if (n > 0) fill += static_cast<size_t>(n);
        }
        ok = !Cancelled(m_checkCancel) && IsNmeaData(buffer, fill);
    }
    Report(ok ? kGpsSearchCheckOk : kGpsSearchCheckFailed, ok ? port : 0, ok ? rate : 0);
    m_checking.store(0, std::memory_order_release);
    m_checkCancel.store(0, std::memory_order_release);
}
