#pragma once
// A data root with the demo UI for the toolkit's tests: the UI resources
// from tools/demo_ui, the text tables, and test fonts holding every
// character of those texts.
#include <string>
#include <vector>

#include "platform/file_io.h"
#include "tools/writers/settings_writer.h"
#include "tools/writers/ui_resource_writer.h"
#include "ui_test_fonts.h"

namespace uitest {

inline bool WriteDemoUiRoot(const std::string& root, std::string* error) {
    std::vector<uint8_t> text;
    if (!platform::ReadWholeFile(uiwriter::FindDemoUiSource(), text)) {
        *error = "demo UI source not found";
        return false;
    }
    uiwriter::UiSource source;
    if (!uiwriter::ParseUiSource(std::string(text.begin(), text.end()), source, error) ||
        !uiwriter::WriteUiResources(source, root, error) || !settingswriter::WriteDemoSettings(root, error))
        return false;
    std::string texts;
    for (const char* name : {"text_general.txt", "text_map.txt"}) {
        std::vector<uint8_t> bytes;
        if (platform::ReadWholeFile(root + "/UI/" + name, bytes)) texts.append(bytes.begin(), bytes.end());
    }
    if (!MakeTestFonts(root, texts)) {
        *error = "test fonts";
        return false;
    }
    return true;
}

}  // namespace uitest
