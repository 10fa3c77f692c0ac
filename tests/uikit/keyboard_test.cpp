// The on-screen keyboard and the edit box on the demo UI's keyboard board
// (board 2: an edit box over a full keyboard of 82 keys) and number-pad
// board (board 3), headless: touch tables typed through the Hangul
// composer as a search screen does, the keyboard's group calls, the caret
// blink on the fake clock and a golden of the typed text.
//
// Touch points come from the key grids of tools/demo_ui/demo_ui.txt (keys
// 76 x 56 on an 80 x 60 pitch, ten to a row under the group keys), not
// from the controls' rectangles, so a key laid out in the wrong place shows.
// Golden: tests/uikit/golden/keyboard_search_typed.png (the edit box), at most 0.5 % of the
// pixels may differ (anti-aliased text edges).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/mgr_text.h"
#include "golden_png.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/file_io.h"
#include "support/temp_dir.h"
#include "tools/writers/settings_writer.h"
#include "tools/writers/ui_resource_writer.h"
#include "demo_ui_root.h"
#include "ui_test_fonts.h"
#include "uikit/board_manager.h"
#include "uikit/ctrl_button.h"
#include "uikit/ctrl_edit_box.h"
#include "uikit/ctrl_keyboard.h"
#include "uikit/nv_text.h"
#include "uikit/text_input.h"

namespace {

// Board 2: layout ids of the edit box and the keyboard (at 0, 240).
constexpr int kEditId = 1, kKeyboardId = 2;
constexpr int kKeyboardTop = 240;
constexpr int kGoldenTolerance = 400 * 56 / 200;

// Key centres of the full keyboard by the demo UI's grids.
struct Point {
    int32_t x, y;
};
Point GroupKey(int group) { return {group * 80 + 38, kKeyboardTop + 28}; }
Point FunctionKey(int index) { return {560 + (index - 4) * 80 + 38, kKeyboardTop + 28}; }
// Keys of a group: the n-th key of the group in rows of ten under the top row.
Point GridKey(int n) { return {(n % 10) * 80 + 38, kKeyboardTop + 60 + (n / 10) * 60 + 28}; }

class KeyboardTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = new testsupport::TempDir();
        std::vector<uint8_t> text;
        ASSERT_TRUE(platform::ReadWholeFile(uiwriter::FindDemoUiSource(), text));
        uiwriter::UiSource source;
        std::string error;
        ASSERT_TRUE(uiwriter::ParseUiSource(std::string(text.begin(), text.end()), source, &error)) << error;
        ASSERT_TRUE(uitest::WriteUiResourcesOnce(source, std::string(text.begin(), text.end()), s_dir->Path(), &error))
            << error;
        ASSERT_TRUE(settingswriter::WriteDemoSettings(s_dir->Path(), &error)) << error;
        std::string typed;
        platform::Utf16ToCp949(u"서울역번출구", typed);
        ASSERT_TRUE(uitest::MakeTestFonts(s_dir->Path(), typed));
        s_texts = new MgrText();
        const std::string ui = s_dir->Path() + "/UI";
        s_texts->Init(std::u16string(ui.begin(), ui.end()).c_str(), 0);
        NvRegisterStandardControls();
        NvRegisterKeyboardControl();
        NvRegisterEditBoxControl();
    }
    static void TearDownTestSuite() {
        delete s_texts;
        delete s_dir;
    }

    void SetUp() override {
        m_window = std::make_unique<NvHeadlessPresenter>(800, 480);
        const std::string ui = s_dir->Path() + "/UI";
        m_host = std::make_unique<NvBoardManager>(ui.c_str());
        ASSERT_EQ(m_host->Start(m_window.get(), 800, 480, 0, 0, 0), 1);
        Load(2);
        NvTouchSound().mapFolder = "R:\\MAP\\";
        NvTouchSound().soundSetting = [this] { return m_soundSetting; };
        NvTouchSound().play = [this](const std::string& path, int channel) {
            m_sounds.push_back(path + "#" + std::to_string(channel));
        };
    }
    void TearDown() override {
        NvTouchSound() = {};
        m_host.reset();
        NvMainQueue().Clear();
    }
    void Load(int board) {
        ASSERT_EQ(m_host->LoadBoard(board), 1);
        NvMainQueue().Clear();
        m_keyboard = dynamic_cast<NvCtrlKeyboard*>(m_host->GetControl(kKeyboardId));
        m_edit = dynamic_cast<NvCtrlEditBox*>(m_host->GetControl(kEditId));
        ASSERT_NE(m_keyboard, nullptr);
        ASSERT_NE(m_edit, nullptr);
    }
    NvCtrlEvent Touch(Point p) {
        m_host->ProcessInput(m_tick += 40, kNvWmLButtonDown, NvMakePoint(p.x, p.y), 0);
        m_host->UpdateFrame(m_tick += 40);
        return m_host->LastEvent();
    }
    // What the search screen does with an event.
    void Screen(const NvCtrlEvent& e) {
        if (e.layoutId == kKeyboardId && e.action == kKeyboardActionKey) {
            m_input.PressKey(e.value);
            m_edit->ShowInput(m_input);
        }
    }
    bool Shown(int key) const {
        const NvControl* k = m_keyboard->Key(key);
        return k && !k->IsHidden();
    }
    // "0-3:1101 ..." style summary is hard to read; count the keys shown in a range.
    int ShownIn(int first, int last) const {
        int n = 0;
        for (int i = first; i <= last; ++i) n += Shown(i) ? 1 : 0;
        return n;
    }
    std::u16string EditText() {
        const char16_t* t = m_edit->GetText(false);
        return t ? t : u"<none>";
    }

    static testsupport::TempDir* s_dir;
    static MgrText* s_texts;
    std::unique_ptr<NvHeadlessPresenter> m_window;
    std::unique_ptr<NvBoardManager> m_host;
    NvCtrlKeyboard* m_keyboard = nullptr;
    NvCtrlEditBox* m_edit = nullptr;
    NvTextInput m_input;
    std::vector<std::string> m_sounds;
    int m_soundSetting = 1;
    uint32_t m_tick = 1000;
};

testsupport::TempDir* KeyboardTest::s_dir = nullptr;
MgrText* KeyboardTest::s_texts = nullptr;

// One touch of the typing table: where, what the keyboard reports, and the
// edit box's text and caret after the screen handled it (null: not checked).
struct TypedTouch {
    Point at;
    int action, value;
    const char16_t* text;
    int caret;
};

// 서울역 3번 출구: ㅅ(13) ㅓ(27) ㅇ(14) ㅜ(29) ㄹ(10) ㅇ ㅕ(31) ㄱ(7), the blank
// (4), group 2 and "3" (64), group 0, ㅂ(12) ㅓ ㄴ(8), the blank, ㅊ(16) ㅜ ㄹ ㄱ ㅜ.
// Hangul key k sits at grid place k - 7, digit key k at k - 62: the same
// point is ㅁ in group 0 and "3" in group 2.
const TypedTouch kTyping[] = {
    {GridKey(6), 5, 13, u"ㅅ", 1},       {GridKey(20), 5, 27, u"서", 1},
    {GridKey(7), 5, 14, u"성", 1},       {GridKey(22), 5, 29, u"서우", 2},
    {GridKey(3), 5, 10, u"서울", 2},     {GridKey(7), 5, 14, u"서울ㅇ", 3},
    {GridKey(24), 5, 31, u"서울여", 3},  {GridKey(0), 5, 7, u"서울역", 3},
    {FunctionKey(4), 5, 4, u"서울역 ", 4}, {GroupKey(2), 3, 0, u"서울역 ", 4},
    {GridKey(2), 5, 64, u"서울역 3", 5}, {GroupKey(0), 1, 0, u"서울역 3", 5},
    {GridKey(5), 5, 12, u"서울역 3ㅂ", 6}, {GridKey(20), 5, 27, u"서울역 3버", 6},
    {GridKey(1), 5, 8, u"서울역 3번", 6}, {FunctionKey(4), 5, 4, u"서울역 3번 ", 7},
    {GridKey(9), 5, 16, u"서울역 3번 ㅊ", 8}, {GridKey(22), 5, 29, u"서울역 3번 추", 8},
    {GridKey(3), 5, 10, u"서울역 3번 출", 8}, {GridKey(0), 5, 7, nullptr, 0},
    {GridKey(22), 5, 29, u"서울역 3번 출구", 9},
};

TEST_F(KeyboardTest, TypesAStationNameByTouches) {
    m_edit->SetCaretEnable(true);
    EXPECT_EQ(m_keyboard->Group(), 0);
    for (size_t i = 0; i < std::size(kTyping); ++i) {
        const TypedTouch& t = kTyping[i];
        SCOPED_TRACE(i);
        const NvCtrlEvent e = Touch(t.at);
        EXPECT_EQ(e.layoutId, kKeyboardId);
        EXPECT_EQ(e.action, t.action);
        if (t.action == kKeyboardActionKey) EXPECT_EQ(e.value, t.value);
        else EXPECT_EQ(m_keyboard->Group(), t.action - 1);
        Screen(e);
        if (!t.text) continue;
        EXPECT_EQ(EditText(), t.text);
        EXPECT_EQ(m_edit->GetCaretIndex(), t.caret);
    }
    // Every key clicked, on the map folder's keyboard sound.
    ASSERT_EQ(m_sounds.size(), std::size(kTyping));
    EXPECT_EQ(m_sounds[0], "R:\\MAP\\Wave\\TouchKeyboard.wav#1");
    // The last syllable is still being composed: shown, not yet committed.
    EXPECT_EQ(std::u16string(m_input.GetBuffer()), u"서울역 3번 출");
}

TEST_F(KeyboardTest, TouchInTheEditBoxPlacesTheCaret) {
    for (const TypedTouch& t : kTyping) Screen(Touch(t.at));
    ASSERT_EQ(EditText(), u"서울역 3번 출구");
    const NvRect box = m_edit->GetRect();
    // Far left: before the first character; far right: after the last.
    struct Case {
        int32_t x;
        int caret;
    } cases[] = {{box.x + 1, 0}, {box.x + box.width - 2, 9}};
    for (const Case& c : cases) {
        m_sounds.clear();
        const NvCtrlEvent e = Touch({c.x, box.y + box.height / 2});
        EXPECT_EQ(e.layoutId, kEditId);
        EXPECT_EQ(e.action, 1);
        EXPECT_EQ(m_edit->GetCaretIndex(), c.caret) << c.x;
        EXPECT_EQ(m_sounds, std::vector<std::string>{"R:\\MAP\\Wave\\TouchOK.wav#1"});
    }
    // A press shows state 2 for one frame.
    m_host->ProcessInput(m_tick += 40, kNvWmLButtonDown, NvMakePoint(box.x + 1, box.y + 10), 0);
    EXPECT_EQ(m_edit->m_state, 2);
    m_host->UpdateFrame(m_tick += 40);
    EXPECT_EQ(m_edit->m_state, 1);
    // The screen commits the composition, hands the caret to the composer
    // and typing goes in there:
    // a touch between "서" and "울" (the caret after the first character).
    m_host->DrawFrame(true, false);
    const int32_t textLeft = m_edit->GetTextObject(false, false)->LastLines().at(0).rect.x;
    int32_t x = textLeft + 1;
    while (x < box.x + box.width) {
        Touch({x, box.y + box.height / 2});
        if (m_edit->GetCaretIndex() >= 1) break;
        x += 2;
    }
    ASSERT_EQ(m_edit->GetCaretIndex(), 1);
    m_input.SetText(std::u16string(m_input.GetDisplayText()).c_str());
    m_input.SetCaretPos(m_edit->GetCaretIndex());
    for (int key : {7, 35}) m_input.PressKey(key);  // ㄱ ㅣ: 기
    m_edit->ShowInput(m_input);
    EXPECT_EQ(EditText(), u"서기울역 3번 출구");
    EXPECT_EQ(m_edit->GetCaretIndex(), 2);
}

TEST_F(KeyboardTest, GroupKeysShowTheirKeys) {
    // Board 2 has the fourth group (kb=1,0): 7 fourth-group keys, 74-80,
    // then the special key (81) hidden.
    ASSERT_EQ(m_keyboard->ChildCount(), 82u);
    EXPECT_TRUE(m_keyboard->FourthGroupAvailable());
    EXPECT_EQ(m_keyboard->SpecialKey(), m_keyboard->Key(81));
    struct Case {
        int group;
        int hangul, latin, digits, fourth, functions;
    } cases[] = {
        {1, 0, 25, 0, 0, 3}, {2, 0, 0, 12, 0, 3}, {3, 0, 0, 0, 7, 0}, {0, 30, 0, 0, 0, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.group);
        const NvCtrlEvent e = Touch(GroupKey(c.group));
        EXPECT_EQ(e.action, c.group + 1);
        EXPECT_EQ(m_keyboard->Group(), c.group);
        EXPECT_EQ(ShownIn(7, 36), c.hangul);
        EXPECT_EQ(ShownIn(37, 61), c.latin);
        EXPECT_EQ(ShownIn(62, 73), c.digits);
        EXPECT_EQ(ShownIn(74, 80), c.fourth);
        EXPECT_EQ(ShownIn(4, 6), c.functions);
        EXPECT_FALSE(Shown(81));
        for (int g = 0; g < 4; ++g) EXPECT_EQ(m_keyboard->Key(g)->m_state, g == c.group ? 3 : 1) << g;
    }
}

TEST_F(KeyboardTest, ModeCallsTable) {
    // Each step runs on the keyboard as the previous step left it.
    enum Call { kSetMode, kSetModeForced, kLock, kHideFourth, kSpecialOnly, kDisable, kEnable, kTouchGroup, kTouchKey };
    struct Step {
        Call call;
        int arg;
        int group;          // group shown after the step
        int action;         // of the touch steps
        int shownAbove3;    // keys shown from index 4 on
        bool key3, special;
    } steps[] = {
        {kSetMode, 1, 1, 0, 3 + 25, true, false},
        {kLock, 1, 1, 0, 28, true, false},
        {kTouchGroup, 2, 1, 0, 28, true, false},       // locked: nothing
        {kTouchKey, 40, 1, 0, 28, true, false},
        {kLock, 0, 1, 0, 28, true, false},
        {kTouchKey, 40, 1, 5, 28, true, false},
        {kSetMode, 3, 3, 0, 7, true, false},           // fourth group: no blank, clear, backspace
        {kHideFourth, 1, 3, 0, 7, false, false},
        {kSetModeForced, 3, 3, 0, 7 + 3, false, false}, // without the fourth group they come back
        {kHideFourth, 0, 3, 0, 10, true, false},
        {kSpecialOnly, 1, 3, 0, 1, true, true},
        {kSetMode, 3, 3, 0, 7, true, false},           // the special key goes; same group re-shown
        {kDisable, 2, 3, 0, 7, true, false},
        {kTouchGroup, 2, 3, 0, 7, true, false},        // disabled: no group change, no event
        {kEnable, 2, 3, 0, 7, true, false},
        {kTouchGroup, 2, 2, 3, 15, true, false},
        {kSetMode, 2, 2, 0, 15, true, false},
    };
    int n = 0;
    for (const Step& s : steps) {
        SCOPED_TRACE(n++);
        NvCtrlEvent e;
        m_sounds.clear();
        switch (s.call) {
            case kSetMode: m_keyboard->SetMode(s.arg, false); break;
            case kSetModeForced: m_keyboard->SetMode(s.arg, true); break;
            case kLock: m_keyboard->SetLock(s.arg != 0); break;
            case kHideFourth: m_keyboard->HideFourthMode(s.arg != 0); break;
            case kSpecialOnly: EXPECT_EQ(m_keyboard->ShowSpecialKeyOnly(true), m_keyboard->Key(81)); break;
            case kDisable: m_keyboard->SetModeKeyDisable(s.arg, true); break;
            case kEnable: m_keyboard->SetModeKeyDisable(s.arg, false); break;
            case kTouchGroup: e = Touch(GroupKey(s.arg)); break;
            case kTouchKey: e = Touch(GridKey(s.arg - 37)); break;
        }
        EXPECT_EQ(m_keyboard->Group(), s.group);
        EXPECT_EQ(ShownIn(4, 81), s.shownAbove3);
        EXPECT_EQ(Shown(3), s.key3);
        EXPECT_EQ(Shown(81), s.special);
        EXPECT_EQ(m_keyboard->SpecialKeyShowing(), s.special);
        if (s.call == kTouchGroup || s.call == kTouchKey) {
            EXPECT_EQ(e.action, s.action);
            EXPECT_EQ(e.layoutId, s.action ? kKeyboardId : 0);
            EXPECT_EQ(m_sounds.size(), s.action ? 1u : 0u);
            if (s.call == kTouchKey && s.action) {
                EXPECT_EQ(e.value, s.arg);
            }
        }
    }
    EXPECT_EQ(m_keyboard->ShowSpecialKeyOnly(false), nullptr);
}

TEST_F(KeyboardTest, SpecialKeyOnlyUnchecksTheGroupKeys) {
    ASSERT_EQ(m_keyboard->Key(0)->m_state, 3);
    m_keyboard->ShowSpecialKeyOnly(true);
    for (int g = 0; g < 4; ++g) EXPECT_EQ(m_keyboard->Key(g)->m_state, 1) << g;
    EXPECT_TRUE(Shown(0));
    // The next mode call, even of the same group, brings the group back.
    m_keyboard->SetMode(0, false);
    EXPECT_EQ(ShownIn(7, 36), 30);
    EXPECT_EQ(m_keyboard->Key(0)->m_state, 3);
}

TEST_F(KeyboardTest, NoClickWithTheTouchSoundOff) {
    m_soundSetting = 0;
    const NvCtrlEvent e = Touch(GridKey(0));
    EXPECT_EQ(e.action, 5);
    EXPECT_TRUE(m_sounds.empty());
}

TEST_F(KeyboardTest, RemoteControlMoves) {
    struct Move {
        int direction;
        bool moved;
        int focus;
    };
    // Group 0: from the first Hangul key around the keyboard.
    const Move group0[] = {{0, true, 7}, {1, false, 7}, {2, true, 8}, {4, true, 12}, {4, true, 16},
                           {4, true, 20}, {4, true, 24}, {4, true, 5}, {3, true, 24}, {4, true, 5},
                           {4, true, 1}, {2, true, 2}, {2, true, 3}, {2, false, 3}};
    for (const Move& m : group0) {
        EXPECT_EQ(m_keyboard->MoveRemoconFocus(m.direction), m.moved) << m.direction;
        EXPECT_EQ(m_keyboard->FocusIndex(), m.focus);
    }
    // Without the fourth group key 3 refuses the move.
    m_keyboard->HideFourthMode(true);
    m_keyboard->InitRemoconFocus();
    EXPECT_EQ(m_keyboard->FocusIndex(), 7);
    for (int d : {3, 4, 4, 4, 4, 4, 2, 4, 2}) m_keyboard->MoveRemoconFocus(d);  // to key 2
    EXPECT_EQ(m_keyboard->FocusIndex(), 2);
    EXPECT_FALSE(m_keyboard->MoveRemoconFocus(2));
    // Up from the blank, clear and backspace keys lands in the group shown.
    struct Up {
        int group, from, to;
    } ups[] = {{1, 4, 57}, {1, 5, 58}, {1, 6, 60}, {2, 4, 72}, {2, 5, 71}, {2, 6, 73}, {0, 4, 23}, {0, 6, 34}};
    for (const Up& u : ups) {
        m_keyboard->SetMode(u.group, false);
        m_keyboard->m_focus = u.from;
        EXPECT_TRUE(m_keyboard->MoveRemoconFocus(3));
        EXPECT_EQ(m_keyboard->FocusIndex(), u.to) << u.group << " " << u.from;
    }
    // The first key of each group.
    for (const auto& [group, first] : {std::pair{1, 37}, {2, 62}, {0, 7}}) {
        m_keyboard->SetMode(group, false);
        m_keyboard->InitRemoconFocus();
        EXPECT_EQ(m_keyboard->FocusIndex(), first);
    }
}

TEST_F(KeyboardTest, NumberPadReportsEveryKeyAndNeverSwitches) {
    Load(3);  // the pad of 12 keys at 250, 150 in rows of three
    EXPECT_TRUE(m_keyboard->IsNumberPad());
    for (int k = 0; k < 12; ++k) {
        const NvCtrlEvent e = Touch({250 + (k % 3) * 100 + 48, 150 + (k / 3) * 60 + 28});
        EXPECT_EQ(e.layoutId, kKeyboardId) << k;
        EXPECT_EQ(e.action, 5) << k;
        EXPECT_EQ(e.value, k);
    }
    m_keyboard->SetMode(1, true);
    EXPECT_EQ(ShownIn(0, 11), 12);
    EXPECT_EQ(m_keyboard->m_state, 1);
}

TEST_F(KeyboardTest, CaretBlinksOnTheClock) {
    platform::FakeClock clock(5000);
    auto now = [&] { return static_cast<uint32_t>(clock.TickMs64()); };
    m_edit->SetCaretEnable(true);
    m_input.SetText(u"서울");
    m_edit->ShowInput(m_input);
    NvText* text = m_edit->GetTextObject(false, false);
    ASSERT_NE(text, nullptr);
    // The caret's pixel: the caret is drawn in the text colour on the
    // box's white, right after the last character.
    auto caretDrawn = [&] {
        const DibImage565& frame = m_window->Frame();
        const NvRect box = m_edit->GetRect();
        return frame.Pixel(text->CaretX(), box.y + box.height / 2) != 0xFFFF;
    };
    m_host->UpdateFrame(now());
    m_host->DrawFrame(true, true);
    const bool first = text->CaretShown();
    EXPECT_TRUE(caretDrawn());
    struct Step {
        uint32_t advanceMs;
        bool toggles;
    } steps[] = {{250, false}, {1, true}, {100, false}, {151, true}, {251, true}, {0, false}, {1000, true}};
    bool shown = first;
    for (const Step& s : steps) {
        clock.Advance(s.advanceMs);
        m_host->UpdateFrame(now());
        m_host->DrawFrame(false, true);
        if (s.toggles) shown = !shown;
        EXPECT_EQ(text->CaretShown(), shown) << s.advanceMs;
        EXPECT_EQ(caretDrawn(), shown) << s.advanceMs;
    }
}

TEST_F(KeyboardTest, GoldenOfTheTypedSearch) {
    platform::FakeClock clock(20000);
    m_edit->SetCaretEnable(true);
    for (const TypedTouch& t : kTyping) Screen(Touch(t.at));
    m_host->UpdateFrame(static_cast<uint32_t>(clock.TickMs64()));
    m_host->DrawFrame(true, true);
    // The edit box alone, so that other controls' looks do not move it.
    const NvRect box = m_edit->GetRect();
    DibImage565 crop(box.width, box.height);
    for (int32_t y = 0; y < box.height; ++y)
        for (int32_t x = 0; x < box.width; ++x) crop.SetPixel(x, y, m_window->Frame().Pixel(box.x + x, box.y + y));
    const int differ = uitest::CompareGolden(crop, "keyboard_search_typed");
    EXPECT_GE(differ, 0) << "golden missing";
    EXPECT_LE(differ, kGoldenTolerance);
}

}  // namespace
