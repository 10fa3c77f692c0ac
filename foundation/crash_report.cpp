#include "foundation/crash_report.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <exception>

#include "foundation/system_settings.h"
#include "platform/codepage.h"
#include "platform/thread_util.h"

namespace {

constexpr size_t kVersionText = 64;
constexpr size_t kAltStackSize = 64 * 1024;

// Everything the handler reads is plain static storage filled beforehand.
char g_reportPath[4096];
std::atomic<int> g_errorMessage{0};
std::atomic<int> g_reportWritten{0};
char g_versions[5][kVersionText];

const int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};

// A small formatter for the handler: no allocation, no locale, no stdio.
class SafeLine {
public:
    void Text(const char* s) {
        while (s && *s && m_len < sizeof m_buf) m_buf[m_len++] = *s++;
    }
    void Hex(uint64_t v, int minDigits) {
        char digits[16];
        int n = 0;
        do {
            digits[n++] = "0123456789abcdef"[v & 0xF];
            v >>= 4;
        } while (v && n < 16);
        while (n < minDigits && n < 16) digits[n++] = '0';
        Text("0x");
        while (n > 0 && m_len < sizeof m_buf) m_buf[m_len++] = digits[--n];
    }
    void Dec(int v) {
        char digits[12];
        int n = 0;
        unsigned u = v < 0 ? static_cast<unsigned>(-v) : static_cast<unsigned>(v);
        do {
            digits[n++] = static_cast<char>('0' + u % 10);
            u /= 10;
        } while (u);
        if (v < 0) Text("-");
        while (n > 0 && m_len < sizeof m_buf) m_buf[m_len++] = digits[--n];
    }
    void Flush(int fd) {
        size_t done = 0;
        while (done < m_len) {
            const ssize_t n = ::write(fd, m_buf + done, m_len - done);
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        m_len = 0;
    }

private:
    char m_buf[512];
    size_t m_len = 0;
};

const char* SignalName(int sig) {
    switch (sig) {
        case SIGSEGV: return "SIGSEGV";
        case SIGBUS: return "SIGBUS";
        case SIGFPE: return "SIGFPE";
        case SIGILL: return "SIGILL";
        case SIGABRT: return "SIGABRT";
        default: return "signal";
    }
}

void OnFatalSignal(int sig, siginfo_t* info, void*) {
    if (g_reportWritten.exchange(1) == 0) {
        CrashRecord record;
        record.code = static_cast<uint32_t>(sig);
        record.flags = info ? static_cast<uint32_t>(info->si_code) : 0;
        record.address = info ? reinterpret_cast<uint64_t>(info->si_addr) : 0;
        record.description = SignalName(sig);
        record.parameterCount = 1;
        record.parameters[0] = record.address;
        const char* name = platform::CurrentThreadName();
        WriteCrashLog(record, name[0] ? name : "WINMAIN");
    }
    // Let the signal travel on with its default action.
    signal(sig, SIG_DFL);
    raise(sig);
}

void CopyVersion(int slot, const char* text) {
    std::strncpy(g_versions[slot], text ? text : "", kVersionText - 1);
    g_versions[slot][kVersionText - 1] = '\0';
}

struct AltStack {
    void* memory = nullptr;
    ~AltStack() {
        if (!memory) return;
        stack_t disable{};
        disable.ss_flags = SS_DISABLE;
        sigaltstack(&disable, nullptr);
        munmap(memory, kAltStackSize);
    }
};
thread_local AltStack t_altStack;

}  // namespace

void PrepareThreadForCrashReport() {
    if (t_altStack.memory) return;
    void* memory = mmap(nullptr, kAltStackSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) return;
    stack_t stack{};
    stack.ss_sp = memory;
    stack.ss_size = kAltStackSize;
    if (sigaltstack(&stack, nullptr) != 0) {
        munmap(memory, kAltStackSize);
        return;
    }
    t_altStack.memory = memory;
}

void InstallCrashHandler(const std::string& reportPath) {
    std::string path = reportPath;
    if (path.empty()) {
        std::u16string parent;
        GetModuleParentFolder(parent);
        path = platform::Utf16ToUtf8(parent);
        path += path == "/" ? "errlog.txt" : "/errlog.txt";
    }
    std::strncpy(g_reportPath, path.c_str(), sizeof g_reportPath - 1);
    g_reportPath[sizeof g_reportPath - 1] = '\0';
    int errorMessage = 0;
    GetSystemSettingInt(SYS_ERRORMSG, &errorMessage);
    g_errorMessage.store(errorMessage);
    g_reportWritten.store(0);

    PrepareThreadForCrashReport();
    struct sigaction action {};
    action.sa_sigaction = OnFatalSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (int sig : kSignals) sigaction(sig, &action, nullptr);
}

void SetCrashReportVersions(const char* program, const char* baseMap, const char* network, const char* search,
                            const char* camera) {
    CopyVersion(0, program);
    CopyVersion(1, baseMap);
    CopyVersion(2, network);
    CopyVersion(3, search);
    CopyVersion(4, camera);
}

int WriteCrashLog(const CrashRecord& record, const char* tag) {
    if (!g_reportPath[0]) return 0;
    const int fd = ::open(g_reportPath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return 0;   // skipped silently; the fault still travels on

    // The versions are written when known; the report itself is never left
    // empty for want of them.
    static const char* const kVersionLabels[5] = {"PeloxWiz\t", "BASEMAP\t\t", "NETWORK\t\t", "SEARCH\t\t",
                                                  "CAMERA\t\t"};
    SafeLine line;
    line.Text("[");
    line.Text(tag ? tag : "");
    line.Text("]\n");
    for (int i = 0; i < 5; ++i) {
        line.Text(kVersionLabels[i]);
        line.Text(g_versions[i]);
        line.Text("\n");
    }
    line.Flush(fd);
    line.Text("Code\t\t");
    line.Hex(record.code, 8);
    if (record.description) {
        line.Text(" (");
        line.Text(record.description);
        line.Text(")");
    }
    line.Text("\nFlags\t\t");
    line.Hex(record.flags, 8);
    line.Text("\nRecord\t\t");
    line.Hex(0, 8);
    line.Text("\nAddress\t\t");
    line.Hex(record.address, 8);
    line.Text("\nParameters\t");
    line.Hex(static_cast<uint64_t>(record.parameterCount), 8);
    line.Text("\n");
    line.Flush(fd);
    for (int i = 0; i < record.parameterCount && i < 4; ++i) {
        line.Text("Information[");
        line.Dec(i);
        line.Text("]\t");
        line.Hex(record.parameters[i], 8);
        line.Text("\n");
        line.Flush(fd);
    }
    ::fsync(fd);
    ::close(fd);

    if (g_errorMessage.load() == 1) {
        // No message box exists at this level: the text goes to stderr.
        SafeLine box;
        box.Text("시스템 메시지: 시스템이 불안합니다.\r\nOK버튼을 클릭 하시면 안정화를 위해 자동 부팅됩니다.\n");
        box.Flush(STDERR_FILENO);
    }
    return 0;
}

void RunThreadBodyGuarded(const char* tag, const std::function<void()>& body) {
    try {
        body();
    } catch (const std::exception& e) {
        CrashRecord record;
        record.description = e.what();
        g_reportWritten.store(1);
        WriteCrashLog(record, tag);
        std::abort();
    } catch (...) {
        CrashRecord record;
        record.description = "unknown C++ exception";
        g_reportWritten.store(1);
        WriteCrashLog(record, tag);
        std::abort();
    }
}
