#pragma once
// Files of the source tree that tests read (golden images, sample data).
#include <string>

namespace testsupport {

// The path of a file given relative to the source tree's root
// ("tests/render/golden/x.pgm"): under NAVI_SOURCE_DIR when that is set,
// else in the nearest folder above the test program that holds it (build
// folders live inside the tree). Empty when not found.
std::string SourceFile(const std::string& relative);

}  // namespace testsupport
