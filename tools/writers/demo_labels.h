#pragma once
// What the demo data roots need so that labels show: the map font (face
// "FONT1", the style's face set 0) made from Nanum Gothic with ASCII and
// every Hangul syllable of KS X 1001, and the display steps a POI record is
// written with so that it shows at every scale its map level is drawn at.
#include <string>
#include <vector>

namespace writers {

inline constexpr const char* kMapFontTtf = "/usr/share/fonts/truetype/nanum/NanumGothic.ttf";

// Writes root/Font/FONT1_v.fnt. False (with the reason) when the TrueType
// font is missing or the file cannot be written.
bool WriteMapFont(const std::string& root, std::string* error = nullptr);

// The request scale steps (1-14) whose scale level draws map level
// `mapLevel`.
std::vector<int> DisplayStepsOfMapLevel(int mapLevel);

}  // namespace writers
