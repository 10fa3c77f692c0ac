#include "uikit/ctrl_keyboard.h"

#include "uikit/board_manager.h"
#include "uikit/ctrl_button.h"

const NvRuntimeClass NvCtrlKeyboard::kClass{"NvCtrlKeyboard", &NvControl::kClass};

namespace {

constexpr int8_t N = -1;  // no key in that direction

// Remote-control moves by key index: left, right, up, down.
constexpr int8_t kNavigation[kKeyboardFirstFourthKey][4] = {
    {N, 1, 4, N},    {0, 2, 5, N},    {1, 3, 5, N},    {2, N, 6, N},    {N, 5, 23, 0},   {4, 6, 24, 1},
    {5, N, 34, 3},   {N, 8, N, 11},   {7, 9, N, 12},   {8, 10, N, 13},  {9, 26, N, 14},  {N, 12, 7, 15},
    {11, 13, 8, 16}, {12, 14, 9, 17}, {13, 27, 10, 18}, {N, 16, 11, 19}, {15, 17, 12, 20}, {16, 18, 13, 21},
    {17, 28, 14, 22}, {N, 20, 15, 23}, {19, 21, 16, 24}, {20, 22, 17, 25}, {21, 29, 18, 36}, {N, 24, 19, 4},
    {23, 25, 20, 5}, {24, 36, 21, 5}, {10, 30, N, 27}, {14, 31, 26, 28}, {18, 32, 27, 29}, {22, 33, 28, 34},
    {26, N, N, 31},  {27, N, 30, 32}, {28, N, 31, 33}, {29, N, 32, 35}, {36, 35, 29, 6}, {34, N, 33, 6},
    {25, 34, 22, 6}, {N, 38, N, 42},  {37, 39, N, 43}, {38, 40, N, 44}, {39, 41, N, 45}, {40, N, N, 46},
    {N, 43, 37, 47}, {42, 44, 38, 48}, {43, 45, 39, 49}, {44, 46, 40, 50}, {45, N, 41, 51}, {N, 48, 42, 52},
    {47, 49, 43, 53}, {48, 50, 44, 54}, {49, 51, 45, 55}, {50, N, 46, 56}, {N, 53, 47, 57}, {52, 54, 48, 58},
    {53, 55, 49, 59}, {54, 56, 50, 60}, {55, N, 51, 61}, {N, 58, 52, 4},  {57, 59, 53, 5},  {58, 60, 54, 5},
    {59, 61, 55, 6}, {60, N, 56, 6},  {N, 63, N, 65},  {62, 64, N, 66}, {63, N, N, 67},  {N, 66, 62, 68},
    {65, 67, 63, 69}, {66, N, 64, 70}, {N, 69, 65, 72}, {68, 70, 66, 71}, {69, N, 67, 73}, {72, 73, 69, 5},
    {N, 71, 68, 4},  {71, N, 70, 6},
};

// Up from the blank, clear and backspace keys lands in the group shown.
constexpr int8_t kUpFromFunctionKeys[2][3] = {{57, 58, 60}, {72, 71, 73}};

constexpr int kFirstFunctionKey = 4, kLastFunctionKey = 6;

}  // namespace

void NvPlayKeyboardClick() {
    NvTouchSoundHooks& h = NvTouchSound();
    if (!h.soundSetting || h.soundSetting() != 1 || !h.play) return;
    h.play(h.mapFolder + "Wave\\TouchKeyboard.wav", 1);
}

NvControl* NvCtrlKeyboard::Key(int index) const { return NvChildControl(this, index); }

void NvCtrlKeyboard::ShowKey(int index, bool show) {
    if (NvControl* key = Key(index)) {
        key->SetCullFlag(!show);
        if (show) key->SetUpdateFlag(true);
    }
}

int NvCtrlKeyboard::SpecialRunStart() const {
    int start = static_cast<int>(ChildCount());
    while (start > 0) {
        const NvControl* key = Key(start - 1);
        if (!key || (key->m_kind != kUiKindMapPanel && key->m_kind != kUiKindPanel)) break;
        --start;
    }
    return start;
}

void NvCtrlKeyboard::Layout() {
    const int initial = m_itemExtra ? (m_itemExtra[1] & 0xFF) : 0;
    m_fourthGroup = m_itemExtra ? static_cast<uint8_t>(m_itemExtra[0] & 0xFF) : 0;
    NvControl::Layout();
    if (ChildCount() == kKeyboardNumberPadKeys) {
        m_numberPad = 1;
        return;
    }
    m_numberPad = 0;
    if (!m_fourthGroup) ShowKey(3, false);
    const int run = SpecialRunStart();
    m_specialKey = run < static_cast<int>(ChildCount()) ? Key(run) : nullptr;
    for (int i = run; i < static_cast<int>(ChildCount()); ++i) ShowKey(i, false);
    SetMode(initial, true);
}

void NvCtrlKeyboard::SetMode(int group, bool force) {
    if (m_numberPad || group < 0 || group >= kKeyboardGroupCount) return;
    if (m_specialShowing) {
        if (m_specialKey) m_specialKey->SetCullFlag(true);
        m_specialShowing = 0;
    } else if (group == m_group && !force) {
        return;
    }
    SetUpdateFlag(true);
    m_group = static_cast<uint8_t>(group);
    const int firsts[kKeyboardGroupCount + 1] = {kKeyboardFirstHangulKey, kKeyboardFirstLatinKey,
                                                 kKeyboardFirstDigitKey, kKeyboardFirstFourthKey, SpecialRunStart()};
    for (int g = 0; g < kKeyboardGroupCount; ++g)
        for (int i = firsts[g]; i < firsts[g + 1]; ++i) ShowKey(i, g == group);
    for (int g = 0; g < kKeyboardGroupCount; ++g) {
        NvControl* key = Key(g);
        if (!key) continue;
        if (auto* radio = dynamic_cast<NvCtrlRadioButton*>(key)) {
            if (!radio->m_disabled) radio->SetCheck(g == group, true);
        } else if (key->m_state != 4) {
            key->m_state = g == group ? 3 : 1;
        }
        key->SetUpdateFlag(true);
    }
    const bool hideFunctions = group == 3 && m_fourthGroup;
    for (int i = kFirstFunctionKey; i <= kLastFunctionKey; ++i) ShowKey(i, !hideFunctions);
}

void NvCtrlKeyboard::HideFourthMode(bool hide) {
    m_fourthGroup = hide ? 0 : 1;
    ShowKey(3, !hide);
}

NvControl* NvCtrlKeyboard::ShowSpecialKeyOnly(bool on) {
    if (!on || !m_specialKey) return nullptr;
    for (int g = 0; g < kKeyboardGroupCount; ++g) {
        NvControl* key = Key(g);
        if (!key) continue;
        if (auto* radio = dynamic_cast<NvCtrlRadioButton*>(key); radio && !radio->m_disabled) radio->SetCheck(false, true);
        key->SetUpdateFlag(true);
    }
    for (int i = kFirstFunctionKey; i < static_cast<int>(ChildCount()); ++i)
        if (Key(i) != m_specialKey) ShowKey(i, false);
    m_specialKey->SetCullFlag(false);
    m_specialKey->SetUpdateFlag(true);
    m_specialShowing = 1;
    SetUpdateFlag(true);
    return m_specialKey;
}

void NvCtrlKeyboard::SetModeKeyDisable(int group, bool disable) {
    if (group < 0 || group >= kKeyboardGroupCount) return;
    NvSetControlDisable(Key(group), disable, true);
}

bool NvCtrlKeyboard::OnPointer(uint32_t message, NvCtrlEvent* event, uint16_t subIndex) {
    if (message != kNvWmLButtonDown && message != kNvWmLButtonUp) return true;
    if (m_locked) return true;
    if (NvForwardToParent(this, message, event)) return true;
    if (subIndex == kNvNoSubIndex || !event) return true;
    const int key = subIndex;
    // A disabled group key is dead: no click, no event, no group change.
    if (!m_numberPad && key < kKeyboardGroupCount && NvIsControlDisabled(Key(key))) return true;
    event->layoutId = m_layoutId;
    if (message == kNvWmLButtonDown) NvPlayKeyboardClick();
    if (!m_numberPad && key < kKeyboardGroupCount) {
        m_state = static_cast<uint16_t>(key + 1);
        event->action = key + 1;
        SetMode(key, false);
        return true;
    }
    event->action = kKeyboardActionKey;
    event->value = key;
    return true;
}

void NvCtrlKeyboard::InitRemoconFocus() {
    static const int kFirstKey[3] = {kKeyboardFirstHangulKey, kKeyboardFirstLatinKey, kKeyboardFirstDigitKey};
    if (m_group < 3) m_focus = kFirstKey[m_group];
    SetUpdateFlag(true);
}

bool NvCtrlKeyboard::MoveRemoconFocus(int direction) {
    if (direction == 0) {
        InitRemoconFocus();
        return true;
    }
    if (direction < 1 || direction > 4 || m_numberPad) return false;
    const int from = m_focus >= 0 ? m_focus : (m_group < kKeyboardGroupCount ? m_group : 0);
    if (from >= kKeyboardFirstFourthKey) return false;
    int to = kNavigation[from][direction - 1];
    if (direction == 3 && from >= kFirstFunctionKey && from <= kLastFunctionKey && (m_group == 1 || m_group == 2))
        to = kUpFromFunctionKeys[m_group - 1][from - kFirstFunctionKey];
    if (to == N || (to == 3 && !m_fourthGroup)) return false;
    if (NvControl* old = Key(m_focus)) old->SetUpdateFlag(true);
    m_focus = to;
    if (NvControl* now = Key(to)) now->SetUpdateFlag(true);
    return true;
}

void NvCtrlKeyboard::Dump(std::vector<std::string>& lines) {
    NvControl::Dump(lines);
    lines.push_back("mode = " + std::to_string(m_group));
    lines.push_back("fourth mode = " + std::to_string(m_fourthGroup));
    lines.push_back("number pad = " + std::to_string(m_numberPad));
    lines.push_back("special key only = " + std::to_string(m_specialShowing));
    lines.push_back("lock = " + std::to_string(m_locked));
    lines.push_back("remocon focus = " + std::to_string(m_focus));
}

void NvRegisterKeyboardControl() {
    NvRegisterControlKind(kUiKindKeyboard, [](const tagUISCRIPT_CONTROL&) -> NvControl* { return new NvCtrlKeyboard(); });
}
