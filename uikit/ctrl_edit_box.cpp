#include "uikit/ctrl_edit_box.h"

#include "uikit/board_manager.h"
#include "uikit/ctrl_button.h"
#include "uikit/nv_text.h"
#include "uikit/text_input.h"

const NvRuntimeClass NvCtrlEditBox::kClass{"NvCtrlEditBox", &NvControl::kClass};

namespace {

int TextState(uint16_t state) { return state >= 1 && state <= 4 ? state - 1 : 0; }

// The caret is due to blink once the text has stood for more than the
// blink time since it was drawn.
bool BlinkDue(const NvText* text, uint32_t tick) { return text && text->NeedsRedraw(tick) != 0; }

}  // namespace

void NvCtrlEditBox::Layout() {
    NvControl::Layout();
    SetText(u"", false, false);
}

void NvCtrlEditBox::Update(uint32_t tick, uint32_t arg, uint32_t updateFlags) {
    if (m_state == 2) {
        m_state = 1;  // a press shows for one frame
        SetUpdateFlag(true);
    } else {
        const int image = m_state == 3 ? 2 : m_state == 4 ? 3 : 0;
        const bool stepped = m_images[image] && m_images[image]->StepFrame(tick);
        if (BlinkDue(m_text.get(), tick) || stepped || (updateFlags & kNvUpdateDirty)) SetUpdateFlag(true);
    }
    for (uint32_t i = 0; i < ChildCount(); ++i)
        if (NvNode* c = GetChild(i); Visible(c)) c->Update(tick, arg, updateFlags);
}

void NvCtrlEditBox::Draw(int target, bool full) {
    if (m_rect.width <= 0 || m_rect.height <= 0) return;
    if (IsDirty() || full) {
        const uint32_t tick = NvToolkit().tick;
        if (m_bgMode == 1) RestoreAncestors();
        if (m_text && BlinkDue(m_text.get(), tick)) m_text->SetCaretShow(!m_text->CaretShown());
        // State 2 shows image 1, state 3 image 2, each falling back to image 0.
        NvImageRsc* image = m_images[0].get();
        if (m_state == 2 && m_images[1]) image = m_images[1].get();
        if (m_state == 3 && m_images[2]) image = m_images[2].get();
        if (image) image->DrawImage(m_rect.x, m_rect.y, m_rect.width, m_rect.height, m_bgMode == 1 ? 2 : m_bgMode);
        const int state = TextState(m_state);
        if (m_subText) {
            m_subText->SetOwnerRect(m_rect);
            m_subText->Draw(state, tick);
        }
        if (m_text) {
            m_text->SetOwnerRect(m_rect);
            m_text->Draw(state, tick);
        }
        SetUpdateFlag(false);
    }
    NvNode::Draw(target, full);
}

void NvCtrlEditBox::PlaceCaret(int32_t x) {
    NvText* text = GetTextObject(false, true);
    text->SetOwnerRect(m_rect);
    SetCaretIndex(static_cast<uint16_t>(text->CaretFromPoint(TextState(m_state), x)), true);
}

bool NvCtrlEditBox::OnPointer(uint32_t message, NvCtrlEvent* event, uint16_t) {
    const int32_t x = NvToolkit().lastX;
    if (m_subControl) {
        NvForwardToParent(this, message, event);
        if (message == kNvWmLButtonDown) PlaceCaret(x);
        return true;
    }
    if (message == kNvWmLButtonDown) {
        m_state = 2;
        if (event) {
            event->layoutId = m_layoutId;
            event->action = 1;
        }
        NvPlayTouchSound();
        PlaceCaret(x);
    } else if (message == kNvWmLButtonUp) {
        m_state = 1;
        if (event) {
            event->layoutId = m_layoutId;
            event->action = 2;
        }
        SetUpdateFlag(true);
    }
    return true;
}

void NvCtrlEditBox::ShowInput(NvTextInput& input) {
    SetText(input.GetDisplayText(), false, true);
    const int32_t composing = input.GetState() != kComposeNone ? 1 : 0;
    SetCaretIndex(static_cast<uint16_t>(input.GetCaretPos() + composing), true);
}

void NvCtrlEditBox::Dump(std::vector<std::string>& lines) {
    NvControl::Dump(lines);
    lines.push_back("caret index = " + std::to_string(m_text ? m_text->GetCaretIndex() : 0));
    lines.push_back(std::string("caret shown = ") + (m_text && m_text->CaretShown() ? "true" : "false"));
}

void NvRegisterEditBoxControl() {
    NvRegisterControlKind(kUiKindEditBox, [](const tagUISCRIPT_CONTROL&) -> NvControl* { return new NvCtrlEditBox(); });
}
