#pragma once
// Data-root paths. The program names its files the Windows way
// ("%s\Map\Base.map", "\UI\Data.ini"); here such a name becomes a native
// path: backslashes turn into '/', doubled separators collapse, and each
// existing component is found without regard to case, so "MAP", "Map" and
// "map" are one folder.
#include <string>
#include <string_view>

namespace platform {

// The longest path the program's name buffers hold (MAX_PATH, terminator
// included). Longer names are refused.
inline constexpr size_t kMaxPath = 260;

// Turns a Windows-style name (absolute or relative to the working folder)
// into a native path. Components that exist are matched case-insensitively
// (an exact match wins); components that do not exist yet keep their
// spelling, so the result can name a file about to be created. Returns false
// (and leaves out empty) for a name of kMaxPath characters or more.
bool NativePath(std::string_view windowsName, std::string& out);
std::string NativePath(std::string_view windowsName);

// root joined with a relative Windows-style name ("Map\Base.map").
std::string ResolveUnder(std::string_view root, std::string_view relativeName);

// Native path of the running executable and its folder.
std::string ExecutablePath();

bool FileExists(const std::string& nativePath);
bool IsDirectory(const std::string& nativePath);
bool IsRegularFile(const std::string& nativePath);
// Creates the folder and every missing parent; true when it exists at the end.
bool MakeDirectories(const std::string& nativePath);

}  // namespace platform
