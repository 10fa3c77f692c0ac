#pragma once
// A data root with the demo UI for the toolkit's tests: the UI resources
// from tools/demo_ui, the text tables, and test fonts holding every
// character of those texts.
#include <functional>
#include <string>
#include <vector>

#include "platform/file_io.h"
#include "../support/cached_folder.h"
#include "tools/writers/settings_writer.h"
#include "tools/writers/ui_resource_writer.h"
#include "ui_test_fonts.h"

namespace uitest {

// The UI resources of a source written into root, drawn once per test
// program (see testsupport::CopyCachedFolder).
inline bool WriteUiResourcesOnce(const uiwriter::UiSource& source, const std::string& sourceText,
                                 const std::string& root, std::string* error) {
    const std::string key = "ui-" + std::to_string(std::hash<std::string>()(sourceText));
    return testsupport::CopyCachedFolder(
        key, [&](const std::string& dir) { return uiwriter::WriteUiResources(source, dir, error); }, root);
}

inline bool WriteDemoUiRoot(const std::string& root, std::string* error) {
    std::vector<uint8_t> bytes;
    if (!platform::ReadWholeFile(uiwriter::FindDemoUiSource(), bytes)) {
        *error = "demo UI source not found";
        return false;
    }
    const std::string text(bytes.begin(), bytes.end());
    uiwriter::UiSource source;
    if (!uiwriter::ParseUiSource(text, source, error) || !WriteUiResourcesOnce(source, text, root, error) ||
        !settingswriter::WriteDemoSettings(root, error))
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
