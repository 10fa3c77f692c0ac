#pragma once
// Small images as ASCII grids, so tests can state expected pixels as a
// picture: one character per pixel, one line per row, top row first.
#include <cstdint>
#include <map>
#include <string>

#include "render/dib_image.h"

namespace testsupport {

// Pixels not in the legend show as '?'.
std::string PixelGrid(const DibImage565& image, const std::map<uint16_t, char>& legend);

// Joins rows with newlines (write expected grids as a list of row strings).
std::string Rows(std::initializer_list<const char*> rows);

// Saves the image as <name>.png into NAVI_PNG_DIR when that is set, so a
// person can look at what a test drew.
void MaybeSavePng(const DibImage565& image, const std::string& name);

}  // namespace testsupport
