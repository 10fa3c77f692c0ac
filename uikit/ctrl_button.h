#pragma once
// The press controls: NvCtrlButton (kind 1), NvCtrlCheckBox (kind 9),
// NvCtrlRadioButton (kind 10) and NvRadioButtonGroup, plus the touch sound
// every press control of the toolkit plays, and NvRegisterStandardControls
// that plugs the toolkit's control classes into NvCreateControl.
#include <cstdint>
#include <functional>
#include <string>

#include "uikit/nv_object.h"

// The touch sound: UI setting item 150 decides, the guidance sound unit
// plays "%sWave\TouchOK.wav" (map folder) on channel 1. Until that unit is
// wired in, the hooks are empty and nothing plays.
struct NvTouchSoundHooks {
    std::function<int()> soundSetting;  // UI setting item 150; empty: 0
    std::function<void(const std::string& path, int channel)> play;
    std::string mapFolder;              // "%s\MAP\" under the root
};
NvTouchSoundHooks& NvTouchSound();
// Plays the touch sound when item 150 is 1.
void NvPlayTouchSound();

// Overlay bits of the attribute word by state (1..4): overlay A, overlay B.
uint16_t NvOverlayBitsA(int state);
uint16_t NvOverlayBitsB(int state);

// What the press controls share: the checked byte and their drawing (the
// disabled and touch-sound bytes are on every control).
class NvCtrlPress : public NvControl {
public:
    uint8_t m_checked = 0;

protected:
    // State image by the button rules (2, 3, 4 fall back to image 0).
    NvImageRsc* StateImageWithFallback() const;
    void DrawOverlays(int bitsState);
    void DrawTexts(int textState, bool shifted, bool withSub);
};

class NvCtrlButton : public NvCtrlPress {
public:
    static const NvRuntimeClass kClass;
    const NvRuntimeClass* GetRuntimeClass() const override { return &kClass; }
    void SetTouchSound(bool on) { m_touchSound = on ? 1 : 0; }

    bool OnPointer(uint32_t message, NvCtrlEvent* event, uint16_t subIndex) override;
    void Update(uint32_t tick, uint32_t arg, uint32_t updateFlags) override;
    void Draw(int target, bool full) override;
    void Dump(std::vector<std::string>& lines) override;
};

class NvCtrlCheckBox : public NvCtrlPress {
public:
    NvCtrlCheckBox() { m_touchSound = 0; }
    static const NvRuntimeClass kClass;
    const NvRuntimeClass* GetRuntimeClass() const override { return &kClass; }
    void SetCheck(bool on, bool redraw);
    bool IsChecked() const { return m_checked != 0; }

    bool OnPointer(uint32_t message, NvCtrlEvent* event, uint16_t subIndex) override;
    void Update(uint32_t tick, uint32_t arg, uint32_t updateFlags) override;
    void Draw(int target, bool full) override;
};

class NvCtrlRadioButton : public NvCtrlPress {
public:
    static const NvRuntimeClass kClass;
    const NvRuntimeClass* GetRuntimeClass() const override { return &kClass; }
    void SetCheck(bool on, bool redraw);
    void SetTouchSound(bool on) { m_touchSound = on ? 1 : 0; }

    bool OnPointer(uint32_t message, NvCtrlEvent* event, uint16_t subIndex) override;
    void Update(uint32_t tick, uint32_t arg, uint32_t updateFlags) override;
    void Draw(int target, bool full) override;

    uint8_t m_overlaysOnlyWithText = 0;
    uint8_t m_ignoreWithoutText = 0;
};

// Disabled byte = flag, state 4 when set else 1 (any press control).
bool NvSetControlDisable(NvControl* control, bool disable, bool redraw);
bool NvIsControlDisabled(const NvControl* control);

// Keeps up to 32 radio buttons mutually exclusive. Members are kept by
// layout id and found on the current board at each use, so a group outlives
// the board it was filled from; members added by pointer (a list's rows)
// live as long as their owner.
class NvRadioButtonGroup {
public:
    static constexpr int kMaxMembers = 32;
    bool Add(NvCtrlRadioButton* button);
    bool AddById(int32_t layoutId);
    bool SelectIndex(int n, bool redraw);
    bool SelectById(int32_t layoutId, bool redraw);
    int IsChecked(int32_t layoutId) const;
    int32_t GetCheckedId() const;
    NvCtrlRadioButton* GetChecked() const;
    void Clear() { m_count = 0; }
    void UncheckAll(bool redraw);
    int Count() const { return m_count; }
    NvCtrlRadioButton* Member(int i) const;

private:
    struct Entry {
        NvCtrlRadioButton* button = nullptr;  // by pointer
        int32_t layoutId = -1;                // by layout id on the current board
    };
    Entry m_members[kMaxMembers];
    int m_count = 0;
};

// Child i when it is a control; null beyond the children or in a hole.
NvControl* NvChildControl(const NvNode* node, int i);
// A sub-control passes presses (513, 514) to its parent with its sub index;
// true when the control is one (the event is then the parent's business).
bool NvForwardToParent(NvControl* control, uint32_t message, NvCtrlEvent* event);

// Plugs every control class of the toolkit into NvCreateControl.
void NvRegisterStandardControls();
