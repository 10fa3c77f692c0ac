#pragma once
// The crash report "errlog.txt": written from the faulting thread's signal
// handler (on an alternate stack, with async-signal-safe calls only) or for
// a C++ exception that escapes a thread body. It names the thread, the data
// versions known at that moment and the signal with its address, then the
// signal travels on and ends the process as it would have.
#include <cstdint>
#include <functional>
#include <string>

// What happened, in the place of a Win32 exception record.
struct CrashRecord {
    uint32_t code = 0;          // signal number (0 for a C++ exception)
    uint32_t flags = 0;         // si_code
    uint64_t address = 0;       // faulting address
    const char* description = nullptr;   // signal name or exception text
    int parameterCount = 0;
    uint64_t parameters[4] = {};
};

// Installs the handlers for SIGSEGV, SIGBUS, SIGFPE, SIGILL and SIGABRT and
// gives the calling thread its alternate stack. The report goes to
// "<parent of the program folder>/errlog.txt" unless a path is given. Reads
// the "ERRORMSG" item now: a signal handler may not.
void InstallCrashHandler(const std::string& reportPath = std::string());

// Every thread that may fault calls this once (the worker threads do) so the
// handler runs even when the fault is a stack overflow.
void PrepareThreadForCrashReport();

// The data versions printed in the report; the map-data manager sets them
// once it has read them. Texts are copied (at most 63 bytes each).
void SetCrashReportVersions(const char* program, const char* baseMap, const char* network,
                            const char* search, const char* camera);

// Writes the report for the record, tagged with tag. Async-signal-safe.
// Returns 0, the value that lets the fault travel on.
int WriteCrashLog(const CrashRecord& record, const char* tag);

// Runs a thread body; an exception that escapes it is reported under the
// thread's name and the process is ended (as an unhandled exception ends it).
void RunThreadBodyGuarded(const char* tag, const std::function<void()>& body);
