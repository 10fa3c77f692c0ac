#pragma once
// The on-screen keyboard (control kind 6): a control whose sub-controls are
// its keys, the key index of each being the one NvTextInput::PressKey
// takes. A full keyboard switches between four key groups (Hangul, Latin
// letters, digits and signs, and a fourth group); a keyboard of exactly 12
// keys is a number pad. Keys reach the screen as control events: a group
// key gives action group + 1, any other key action 5 with its index.
#include <cstdint>
#include <string>
#include <vector>

#include "uikit/nv_object.h"

// Key indexes of a full keyboard.
inline constexpr int kKeyboardGroupCount = 4;
inline constexpr int kKeyboardNumberPadKeys = 12;
inline constexpr int kKeyboardFirstHangulKey = 7;
inline constexpr int kKeyboardFirstLatinKey = 37;
inline constexpr int kKeyboardFirstDigitKey = 62;
inline constexpr int kKeyboardFirstFourthKey = 74;
// Event actions of a key that is not a group key.
inline constexpr int32_t kKeyboardActionKey = 5;

class NvCtrlKeyboard : public NvControl {
public:
    static const NvRuntimeClass kClass;
    const NvRuntimeClass* GetRuntimeClass() const override { return &kClass; }

    // Shows group n (0..3): its keys, its group key checked. Nothing
    // happens when n is the group shown already and force is off, nor on a
    // number pad (its keys are not grouped).
    void SetMode(int group, bool force);
    // While set, touches are ignored.
    void SetLock(bool on) { m_locked = on ? 1 : 0; }
    // Set: the fourth group and its group key go away; cleared: back.
    void HideFourthMode(bool hide);
    // Shows the special key alone (every key from index 4 on hidden, group
    // keys unchecked); the special key, or null when there is none or the
    // flag is off. The next SetMode ends it.
    NvControl* ShowSpecialKeyOnly(bool on);
    // Disables or enables one group key.
    void SetModeKeyDisable(int group, bool disable);

    bool OnPointer(uint32_t message, NvCtrlEvent* event, uint16_t subIndex) override;
    void Layout() override;
    // Remote control: 1 left, 2 right, 3 up, 4 down; 0 puts the focus on
    // the first key. False when the move is refused.
    bool MoveRemoconFocus(int direction) override;
    void InitRemoconFocus() override;
    void Dump(std::vector<std::string>& lines) override;

    int Group() const { return m_group; }
    bool IsNumberPad() const { return m_numberPad != 0; }
    bool IsLocked() const { return m_locked != 0; }
    bool FourthGroupAvailable() const { return m_fourthGroup != 0; }
    bool SpecialKeyShowing() const { return m_specialShowing != 0; }
    NvControl* SpecialKey() const { return m_specialKey; }
    int32_t FocusIndex() const { return m_focus; }
    NvControl* Key(int index) const;

    uint8_t m_group = 255;          // 255 before the first layout
    uint8_t m_fourthGroup = 0;
    uint8_t m_numberPad = 0;
    uint8_t m_specialShowing = 0;
    uint8_t m_locked = 0;
    NvControl* m_specialKey = nullptr;
    int32_t m_focus = -1;

private:
    // Index of the first key of the trailing special run (the key count
    // when there is none): group 3 ends before it.
    int SpecialRunStart() const;
    void ShowKey(int index, bool show);
};

// The click of a keyboard key ("%sWave\TouchKeyboard.wav" on the map
// folder), played through the touch sound hooks when item 150 is 1.
void NvPlayKeyboardClick();

// Plugs the keyboard (kind 6) into NvCreateControl.
void NvRegisterKeyboardControl();
