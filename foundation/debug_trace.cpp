#include "foundation/debug_trace.h"

#include <unistd.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "foundation/critical_section.h"
#include "platform/clock.h"

namespace {

std::atomic<int> g_threshold{1};

struct TraceState {
    CMgrCriticalSection lock;
    std::function<void(std::string_view)> sink NAVI_GUARDED_BY(lock);
    bool toStderr NAVI_GUARDED_BY(lock) = true;
};

TraceState& State() {
    static TraceState* state = new TraceState();   // lives past static destruction
    return *state;
}

// Cuts UTF-8 text after maxChars code points, never inside a character.
size_t CutUtf8(const char* text, size_t bytes, size_t maxChars) {
    size_t chars = 0;
    for (size_t i = 0; i < bytes; ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            if (chars == maxChars) return i;
            ++chars;
        }
    }
    return bytes;
}

}  // namespace

int DebugTrace(int level, const char* format, ...) {
    if (!format || level > g_threshold.load(std::memory_order_relaxed)) return 0;
    if (std::strlen(format) > static_cast<size_t>(kDebugTraceBufferChars)) return 0;

    char buffer[kDebugTraceBufferChars * 4];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (n < 0) return 0;
    size_t length = std::min(static_cast<size_t>(n), sizeof buffer - 1);
    length = CutUtf8(buffer, length, kDebugTraceBufferChars - 1);

    TraceState& state = State();
    MgrLock hold(state.lock);
    if (state.toStderr) {
        const ssize_t ignored = ::write(STDERR_FILENO, buffer, length);
        (void)ignored;
    }
    if (state.sink) state.sink(std::string_view(buffer, length));
    return 1;
}

void SetDebugTraceLevel(int level) { g_threshold.store(level, std::memory_order_relaxed); }
int GetDebugTraceLevel() { return g_threshold.load(std::memory_order_relaxed); }

void SetDebugTraceSink(std::function<void(std::string_view)> sink, bool toStderr) {
    TraceState& state = State();
    MgrLock hold(state.lock);
    state.sink = std::move(sink);
    state.toStderr = state.sink ? toStderr : true;
}

uint32_t MgrGetTickCount() { return platform::GetTickCount(); }
