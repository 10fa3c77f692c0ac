#pragma once
// Finds a file of the source tree (a readable description the writers turn
// into data) from a tool or test program: under NAVI_SOURCE_DIR when it is
// set, else in the folders above the program.
#include <string>

namespace writers {

// The path of rel (e.g. "tools/demo_ui/demo_ui.txt"), or empty when not found.
std::string FindSourceTreeFile(const char* rel);

}  // namespace writers
