#pragma once
// The levelled debug trace. Lines go to stderr as UTF-8 (and to a sink that
// a test or a later log file installs). A line is written when its level is
// at most the threshold; level 0 always. The format carries its own module
// tag and line end ("[RP99] Terminated RP Thread!!!\n").
#include <cstdint>
#include <functional>
#include <string_view>

inline constexpr int kDebugTraceBufferChars = 1024;

// printf-style, UTF-8. 1 when written; 0 when the level is above the
// threshold or the format is longer than 1024 characters. The text is cut at
// 1023 characters.
int DebugTrace(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));
void SetDebugTraceLevel(int level);
int GetDebugTraceLevel();

// Receives every written line (in addition to stderr, or instead of it when
// toStderr is false). An empty function removes the sink.
void SetDebugTraceSink(std::function<void(std::string_view line)> sink, bool toStderr = true);

// The tick of the platform clock, as the trace and the threads read it.
uint32_t MgrGetTickCount();
