#pragma once
// A board host on the demo UI for the shell's tests: the demo UI with a few
// test boards of the map screens' layout ids appended, the text tables, the
// test fonts (with the Hangul of the texts the tests show) and a headless
// 800 x 480 window. A scripted message source answers message boxes.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "foundation/mgr_text.h"
#include "platform/codepage.h"
#include "platform/file_io.h"
#include "support/temp_dir.h"
#include "tests/uikit/demo_ui_root.h"
#include "uikit/board_manager.h"
#include "uikit/ctrl_button.h"
#include "uikit/message_box.h"
#include "uikit/renderer.h"

namespace shelltest {

// Boards with the layout ids of the map screens' scene procedures.
//   150: the drive screen's ids (bottom bar, corner controls, map, popup 385)
//   151: the route information screen's ids (panel 2, statics 3 and 4, popup 67)
// Control 990 is a static over an area image (its rectangle can change),
// 991 a one-row dynamic panel (a bar that takes any width).
//   152: reference controls 98 (left half) and 143 (right half)
inline const char kTestBoards[] = R"(
control 990 AREA_STATIC static 200 40 img=AREA_TEXT
control 991 BAR_PANEL   dynpanel 96 32 sub=992:6
control 992 BAR_PIECE   static 32 32 subctl count=6 img=DYN_PIECE_*
board 150 DRIVE_SCENE
  item 0   99  0   0
  item 42  4   0   0
  item 98  4   600 0
  item 103 1   0   0
  item 235 4   0   400
  item 236 1   0   400
  item 237 991 360 420
  item 238 990 360 420
  item 257 1   0   400
  item 330 1   10  -10
  item 347 1   200 -20
  item 370 1   -170 -30 align=2
  item 385 7   100 60  hidden popup
board 151 ROUTE_INFO_SCENE
  item 0 99 0   0
  item 2 991 0   0
  item 3 990 40  0
  item 4 990 300 0
  item 5 1  0   0
  item 6 4  0   100
  item 7 1  0   200
  item 67 7 100 60 hidden popup
board 152 PANEL_REFS
  item 0   99 0   0
  item 98  4  100 0
  item 143 4  500 0
)";

// Hands out the script's messages at their ticks; time moves only here.
// onDispatch runs for each message the box passes on (the box is drawn
// into the back buffer then).
class ScriptedSource : public NvMessageSource {
public:
    uint32_t Now() override { return m_now; }
    bool Wait(NvMessage* out, bool hasDeadline, uint32_t deadline) override {
        if (m_script.empty() || (hasDeadline && static_cast<int32_t>(m_script.front().tick - deadline) > 0)) {
            if (!hasDeadline) return false;
            m_now = deadline;
            return false;
        }
        *out = m_script.front();
        m_script.pop_front();
        m_now = out->tick;
        return true;
    }
    void Dispatch(const NvMessage& m) override {
        if (onDispatch) onDispatch(m);
    }
    void PostQuit(uint32_t, uint32_t) override {}
    void Add(uint32_t delay, uint32_t message, uint32_t wParam = 0, uint32_t lParam = 0) {
        const uint32_t last = m_script.empty() ? m_now : m_script.back().tick;
        m_script.push_back({message, wParam, lParam, last + delay});
    }
    std::deque<NvMessage> m_script;
    std::function<void(const NvMessage&)> onDispatch;
    uint32_t m_now = 1000;
};

class ShellBoardTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = new testsupport::TempDir();
        std::string error;
        ASSERT_TRUE(WriteRoot(s_dir->Path(), &error)) << error;
        s_texts = new MgrText();
        const std::string ui = s_dir->Path() + "/UI";
        s_texts->Init(std::u16string(ui.begin(), ui.end()).c_str(), 0);
        NvRegisterStandardControls();
    }
    static void TearDownTestSuite() {
        delete s_texts;
        delete s_dir;
        s_texts = nullptr;
        s_dir = nullptr;
    }
    static bool WriteRoot(const std::string& root, std::string* error) {
        std::vector<uint8_t> bytes;
        if (!platform::ReadWholeFile(uiwriter::FindDemoUiSource(), bytes)) {
            *error = "demo UI source not found";
            return false;
        }
        const std::string text = std::string(bytes.begin(), bytes.end()) + kTestBoards;
        uiwriter::UiSource source;
        if (!uiwriter::ParseUiSource(text, source, error) ||
            !uitest::WriteUiResourcesOnce(source, text, root, error) ||
            !settingswriter::WriteDemoSettings(root, error))
            return false;
        std::string texts;
        for (const char* name : {"text_general.txt", "text_map.txt"}) {
            std::vector<uint8_t> table;
            if (platform::ReadWholeFile(root + "/UI/" + name, table)) texts.append(table.begin(), table.end());
        }
        std::string extra;
        platform::Utf16ToCp949(u"지정하신지점이설정되어있는다른과같은위치입니다동일한은선택실수없기존경유지를포함여경로탐색겠습니까예아니요출발", extra);
        if (!uitest::MakeTestFonts(root, texts + extra)) {
            *error = "test fonts";
            return false;
        }
        return true;
    }

    void StartHost(int32_t width = 800, int32_t height = 480) {
        m_host.reset();
        m_window = std::make_unique<NvHeadlessPresenter>(width, height);
        m_host = std::make_unique<NvBoardManager>((s_dir->Path() + "/UI").c_str());
        ASSERT_EQ(m_host->Start(m_window.get(), width, height, 0, 0, 0), 1);
        NvSetMessageSource(&m_source);
    }
    void TearDown() override {
        NvSetMessageSource(nullptr);
        m_host.reset();
        m_window.reset();
    }

    static testsupport::TempDir* s_dir;
    static MgrText* s_texts;
    std::unique_ptr<NvHeadlessPresenter> m_window;
    std::unique_ptr<NvBoardManager> m_host;
    ScriptedSource m_source;
};

inline testsupport::TempDir* ShellBoardTest::s_dir = nullptr;
inline MgrText* ShellBoardTest::s_texts = nullptr;

}  // namespace shelltest
