#include "settings/dev_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <fstream>
#include <utility>

#include "foundation/debug_trace.h"
#include "foundation/memory_heap.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "settings/global_data.h"
#include "settings/module_svc.h"

namespace {

constexpr double kBytesPerMb = 1048576.0;

std::u16string Widen(std::string_view ascii) { return std::u16string(ascii.begin(), ascii.end()); }

std::u16string Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::u16string Printf(const char* format, ...) {
    char text[256];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (n < 0) return {};
    return Widen(std::string_view(text, std::min<size_t>(static_cast<size_t>(n), sizeof text - 1)));
}

// A line of the held table keeps kLineChars - 1 units, never half a pair.
void CutLine(std::u16string& line) {
    const size_t max = CMgrDevLog::kLineChars - 1;
    if (line.size() <= max) return;
    size_t n = max;
    if (line[n - 1] >= 0xD800 && line[n - 1] <= 0xDBFF) --n;
    line.resize(n);
}

// "MemAvailable:" of /proc/meminfo in bytes; 0 when it cannot be read.
double AvailablePhysicalBytes() {
    std::ifstream in("/proc/meminfo");
    std::string name;
    double kb = 0;
    std::string unit;
    while (in >> name >> kb >> unit) {
        if (name == "MemAvailable:") return kb * 1024.0;
    }
    return 0;
}

// Closes a descriptor on every way out.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0) ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return m_fd; }

private:
    int m_fd;
};

}  // namespace

void ReadDevMemoryStatus(double* availVirtualMb, double* availPhysMb) {
    if (availVirtualMb) {
        uint32_t freeBytes = 0;
        MgrSharedBlock* heap = CSystemDefaultHeap::Instance().Block();
        *availVirtualMb = heap && SharedBlockGetInfo(heap, &freeBytes, nullptr) ? freeBytes / kBytesPerMb : 0.0;
    }
    if (availPhysMb) *availPhysMb = AvailablePhysicalBytes() / kBytesPerMb;
}

void ReadDevStatusDefaults(DevStatusInputs& in) {
    ReadDevMemoryStatus(&in.availVirtualMb, &in.availPhysMb);
    if (CMgrConfigModuleSVC* guidance = CMgrConfigModuleSVC::Instance()) {
        in.reRouteCount = guidance->GetTracking().reRouteCount;
    }
}

CMgrDevLog::CMgrDevLog() : m_source(ReadDevStatusDefaults) {}

CMgrDevLog& CMgrDevLog::Instance() {
    // Lives to the end of the process: the draw thread may draw late.
    static CMgrDevLog* log = new CMgrDevLog();
    return *log;
}

void CMgrDevLog::SetStatusSource(DevStatusSource source) {
    MgrLock hold(m_lock);
    m_source = std::move(source);
}

NvString CMgrDevLog::MemoryLogPath() {
    NvString path(CMgrConfigGlobalData::Instance().m_rootFolder);
    path.Append(u"\\MemoryCheck.txt");
    return path;
}

void CMgrDevLog::ResetTick() {
    MgrLock hold(m_lock);
    m_startTick = platform::GetTickCount();
}

int CMgrDevLog::AddTickLog(const char16_t* text) {
    MgrLock hold(m_lock);
    if (CMgrConfigGlobalData::Instance().m_debugView < 2) return 0;
    if (static_cast<int>(m_lines.size()) >= kMaxLines) return 0;
    // Unsigned subtraction stays right across the 32-bit wrap.
    const int32_t elapsedMs = static_cast<int32_t>(platform::GetTickCount() - m_startTick);
    std::u16string line = Printf("(%6d)  ", elapsedMs);
    if (text) line += text;
    CutLine(line);
    m_lines.push_back(std::move(line));
    // Wraps instead of overflowing when a start tick was never reset.
    m_totalMs = static_cast<int32_t>(static_cast<uint32_t>(m_totalMs) + static_cast<uint32_t>(elapsedMs));
    return 1;
}

int CMgrDevLog::AppendMemoryCheck(std::string_view text) {
    // Without a root folder the name would land in the file-system root.
    if (CMgrConfigGlobalData::Instance().m_rootFolder[0] == u'\0') return 0;
    std::string native;
    if (!platform::NativePath(MemoryLogPath().ToUtf8(), native)) return 0;
    // An appended log: each line goes to the end as it is written, and a
    // crash loses at most the line being written.
    FileDescriptor fd(::open(native.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
    if (fd.Get() < 0) {
        DebugTrace(2, "[DEV] cannot open %s (errno %d)\n", native.c_str(), errno);
        return 0;
    }
    size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd.Get(), text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return 0;
        written += static_cast<size_t>(n);
    }
    return 1;
}

int CMgrDevLog::DrawStatus(DevStatusCanvas* canvas) {
    const CMgrConfigGlobalData& global = CMgrConfigGlobalData::Instance();
    const bool on = global.m_debugView != 0;
    // The source asks other modules under their own locks: it runs outside
    // the log's lock, so a module that adds a timed line while holding its
    // lock cannot deadlock against the overlay.
    DevStatusInputs in;
    if (on) {
        DevStatusSource source;
        {
            MgrLock hold(m_lock);
            source = m_source;
        }
        if (source) source(in);
    }
    // The lines are drawn after the lock is left: the canvas belongs to the
    // renderer and may wait on its own locks.
    std::vector<std::pair<DevStatusRect, std::u16string>> lines;
    {
        MgrLock hold(m_lock);
        if (on) ComposeStatus(in, lines);
        m_lines.clear();
        m_totalMs = 0;
    }
    if (canvas) {
        for (const auto& [rect, text] : lines) canvas->DrawTextLine(rect, text);
    }
    return on ? 1 : 0;
}

void CMgrDevLog::ComposeStatus(const DevStatusInputs& in, std::vector<std::pair<DevStatusRect, std::u16string>>& out) {
    const CMgrConfigGlobalData& global = CMgrConfigGlobalData::Instance();
    int32_t top = kFirstTop;
    auto draw = [&](std::u16string text) {
        out.push_back({DevStatusRect{kLeft, top, kRight, top + kLineStep}, std::move(text)});
    };

    ++m_frameCount;
    draw(Printf("(%d) Tick(%d) MD(%d)ms", m_frameCount, m_totalMs, in.lastDrawMs));
    top += kLineStep;
    draw(Printf("hp(%.2f)ph(%.2f) count(%d)", in.availVirtualMb, in.availPhysMb, m_memoryLines));

    const uint64_t now = platform::GetTickCount64();
    if (global.m_debug == kMemoryLogLevel && (!m_memoryLogged || now - m_lastMemoryTick > kMemoryLogPeriodMs)) {
        char line[96];
        std::snprintf(line, sizeof line, "%d\t%.2f\t%.2f\n", m_memoryLines, in.availVirtualMb, in.availPhysMb);
        // A log that cannot be written is tried again an hour later,
        // not on every frame.
        m_memoryLogged = true;
        m_lastMemoryTick = now;
        if (AppendMemoryCheck(line)) ++m_memoryLines;
    }

    top += kTrafficStep;
    draw(in.trafficStatus);
    top += kLineStep;
    if (in.drawPointFlag == 1) {
        draw(Printf("RRP (%d) ALTER (%d)[%.6f, %.6f, %.6f]", in.reRouteCount, in.alterRouteCount, in.drawValue,
                    in.drawPoint.x / double{kMapUnitsPerDegree}, in.drawPoint.y / double{kMapUnitsPerDegree}));
    } else {
        draw(Printf("RRP (%d) ALTER (%d)", in.reRouteCount, in.alterRouteCount));
    }
    top += kLineStep;
    const platform::LocalDateTime local = platform::GetLocalTime();
    draw(Printf("RTC (Date: %d/%d/%d), (Time: %d/%d/%d)", local.year, local.month, local.day, local.hour,
                local.minute, local.second));
    for (const std::u16string& line : m_lines) {
        top += kLineStep;
        draw(line);
    }
}

int CMgrDevLog::GetLineCount() const {
    MgrLock hold(m_lock);
    return static_cast<int>(m_lines.size());
}

int CMgrDevLog::GetTotalMs() const {
    MgrLock hold(m_lock);
    return m_totalMs;
}

int CMgrDevLog::GetFrameCount() const {
    MgrLock hold(m_lock);
    return m_frameCount;
}

int CMgrDevLog::GetMemoryLineCount() const {
    MgrLock hold(m_lock);
    return m_memoryLines;
}
