#pragma once
// The edit box (control kind 4): its state image and the typed text with a
// blinking caret; a touch places the caret under the finger. The box keeps
// no text of its own: the screen shows NvTextInput's display text in it.
#include <cstdint>
#include <string>
#include <vector>

#include "uikit/nv_object.h"

class NvTextInput;

// The caret shows and hides every this many milliseconds of the tick.
inline constexpr uint32_t kEditCaretBlinkMs = 250;

class NvCtrlEditBox : public NvControl {
public:
    static const NvRuntimeClass kClass;
    const NvRuntimeClass* GetRuntimeClass() const override { return &kClass; }

    void Update(uint32_t tick, uint32_t arg, uint32_t updateFlags) override;
    void Draw(int target, bool full) override;
    bool OnPointer(uint32_t message, NvCtrlEvent* event, uint16_t subIndex) override;
    void Layout() override;
    void Dump(std::vector<std::string>& lines) override;

    // What a screen does after each key: the input's display text, the
    // caret after the character being composed.
    void ShowInput(NvTextInput& input);

private:
    void PlaceCaret(int32_t x);
};

// Plugs the edit box (kind 4) into NvCreateControl.
void NvRegisterEditBoxControl();
