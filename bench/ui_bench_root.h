#pragma once
// What the UI benchmarks share: the demo UI written once into a temporary
// data root (with test fonts holding the characters the benchmark draws),
// and a window that takes frames and shows nothing.
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "foundation/debug_trace.h"
#include "foundation/mgr_text.h"
#include "platform/file_io.h"
#include "tests/uikit/ui_test_fonts.h"
#include "tools/writers/settings_writer.h"
#include "tools/writers/ui_resource_writer.h"
#include "uikit/presenter.h"

namespace uibench {

class NullWindow : public NvPresenter {
public:
    bool Present(const uint8_t*, int32_t, int32_t, int32_t, int32_t, int32_t) override { return true; }
    bool PumpInput(NvMessageQueue&, uint32_t) override { return true; }
    int32_t Width() const override { return 800; }
    int32_t Height() const override { return 480; }
};

// The demo UI under a temporary folder named after the benchmark, removed
// with the object; ok() is false (with error set) when it could not be
// written. The UI text tables are loaded.
struct DemoUiRoot {
    DemoUiRoot(const std::string& name, const std::string& extraFontText = std::string()) {
        SetDebugTraceLevel(0);
        root = (std::filesystem::temp_directory_path() / ("navi_" + name + "_" + std::to_string(getpid()))).string();
        std::vector<uint8_t> text;
        uiwriter::UiSource source;
        written = platform::ReadWholeFile(uiwriter::FindDemoUiSource(), text) &&
                  uiwriter::ParseUiSource(std::string(text.begin(), text.end()), source, &error) &&
                  uiwriter::WriteUiResources(source, root, &error) && settingswriter::WriteDemoSettings(root, &error) &&
                  uitest::MakeTestFonts(root, extraFontText);
        if (!written) return;
        const std::string ui = root + "/UI";
        texts.Init(std::u16string(ui.begin(), ui.end()).c_str(), 0);
    }
    ~DemoUiRoot() {
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
    bool ok() const { return written; }
    std::string Ui() const { return root + "/UI"; }

    std::string root;
    std::string error;
    bool written = false;
    MgrText texts;
};

}  // namespace uibench
