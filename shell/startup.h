#pragma once
// The start-up steps of the program that exist so far: command line,
// trace level, crash handler, data root and its folders, and a report of
// what was found.
#include <string>
#include <vector>

class CMgrMap;

struct StartupOptions {
    std::string dataRoot;    // native path; empty: the ROOTPATH item or the program's parent folder
    int traceLevel = 3;
};

// Parses "--root DIR" and "--trace N". False (with message) on anything else.
bool ParseStartupOptions(const std::vector<std::string>& args, StartupOptions& options, std::string& message);

// Runs the start-up steps; returns the process exit code. The report goes
// to the debug trace.
int RunStartup(const StartupOptions& options);

// Hands guidance the open map's road names and link ends (the guidance
// settings ask for them through their map services). The map stays the
// owner; it must stay open while guidance may ask.
void InstallGuideMapServices(CMgrMap& map);
