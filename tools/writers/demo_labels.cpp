#include "tools/writers/demo_labels.h"

#include "platform/paths.h"
#include "render/frame_setup.h"
#include "tools/writers/font_writer.h"

namespace writers {

bool WriteMapFont(const std::string& root, std::string* error) {
    if (!platform::MakeDirectories(root + "/Font")) {
        if (error) *error = "cannot create " + root + "/Font";
        return false;
    }
    fontwriter::TrueTypeOptions options;
    options.ttfPath = kMapFontTtf;
    options.faceName = "FONT1";
    for (uint16_t c = 0x20; c < 0x7F; ++c) options.codes.push_back(c);
    // The 2350 Hangul syllables of KS X 1001 (lead bytes 0xB0-0xC8).
    for (uint16_t lead = 0xB0; lead <= 0xC8; ++lead)
        for (uint16_t trail = 0xA1; trail <= 0xFE; ++trail) options.codes.push_back(static_cast<uint16_t>(lead << 8 | trail));
    fontwriter::FontDesc desc;
    return fontwriter::ConvertTrueType(options, desc, error) &&
           fontwriter::WriteFontFile(root + "/Font/FONT1_v.fnt", desc, error);
}

std::vector<int> DisplayStepsOfMapLevel(int mapLevel) {
    std::vector<int> steps;
    for (int step = 1; step <= 14; ++step)
        if (MapLevelOfScaleLevel(ScaleLevelFromStep(step)) == mapLevel) steps.push_back(step);
    return steps;
}

}  // namespace writers
