#include "uikit/ctrl_button.h"

#include "uikit/board_manager.h"
#include "uikit/nv_text.h"

const NvRuntimeClass NvCtrlButton::kClass{"NvCtrlButton", &NvControl::kClass};
const NvRuntimeClass NvCtrlCheckBox::kClass{"NvCtrlCheckBox", &NvControl::kClass};
const NvRuntimeClass NvCtrlRadioButton::kClass{"NvCtrlRadioButton", &NvControl::kClass};

// ---------------------------------------------------------------- touch sound

NvTouchSoundHooks& NvTouchSound() {
    static NvTouchSoundHooks hooks;
    return hooks;
}

void NvPlayTouchSound() {
    NvTouchSoundHooks& h = NvTouchSound();
    if (!h.soundSetting || h.soundSetting() != 1 || !h.play) return;
    h.play(h.mapFolder + "Wave\\TouchOK.wav", 1);
}

uint16_t NvOverlayBitsA(int state) {
    static const uint16_t kBits[5] = {0, 0x0001, 0x0002, 0x0004, 0x0008};
    return state >= 1 && state <= 4 ? kBits[state] : 0;
}

uint16_t NvOverlayBitsB(int state) {
    static const uint16_t kBits[5] = {0, 0x0010, 0x0020, 0x0040, 0x8000};
    return state >= 1 && state <= 4 ? kBits[state] : 0;
}

// ---------------------------------------------------------------- shared drawing

NvImageRsc* NvCtrlPress::StateImageWithFallback() const {
    const int s = m_state >= 1 && m_state <= 4 ? m_state - 1 : 0;
    return m_images[s] ? m_images[s].get() : m_images[0].get();
}

void NvCtrlPress::DrawOverlays(int bitsState) {
    for (int k = 0; k < 2; ++k) {
        NvImageRsc* overlay = m_images[4 + k].get();
        const uint16_t bits = k == 0 ? NvOverlayBitsA(bitsState) : NvOverlayBitsB(bitsState);
        if (!overlay || !(m_attr1 & bits)) continue;
        overlay->DrawImage(m_rect.x + overlay->m_rect.x, m_rect.y + overlay->m_rect.y, overlay->m_rect.width,
                           overlay->m_rect.height, 2);
    }
}

void NvCtrlPress::DrawTexts(int textState, bool shifted, bool withSub) {
    const uint32_t tick = NvToolkit().tick;
    const int d = shifted ? 1 : 0;
    if (m_text) {
        m_text->SetOwnerRect(m_rect);
        m_text->DrawAt(textState, tick, d, d, false);
    }
    if (withSub && m_subText) {
        m_subText->SetOwnerRect(m_rect);
        m_subText->DrawAt(textState, tick, d, d, false);
    }
}

bool NvSetControlDisable(NvControl* control, bool disable, bool redraw) {
    if (!control) return false;
    control->m_disabled = disable ? 1 : 0;
    control->m_state = disable ? 4 : 1;
    if (redraw) control->SetUpdateFlag(true);
    return true;
}

bool NvIsControlDisabled(const NvControl* control) { return control && control->m_disabled; }

NvControl* NvChildControl(const NvNode* node, int i) {
    NvNode* c = i >= 0 ? node->GetChild(static_cast<uint32_t>(i)) : nullptr;
    return c && c->IsKindOf(&NvControl::kClass) ? static_cast<NvControl*>(c) : nullptr;
}

bool NvForwardToParent(NvControl* c, uint32_t message, NvCtrlEvent* event) {
    if (!c->m_subControl) return false;
    if ((message == kNvWmLButtonDown || message == kNvWmLButtonUp) && c->m_parent)
        c->m_parent->OnPointer(message, event, c->m_subIndex);
    return true;
}

namespace {

// Forwards a sub-control's event to its parent with the sub index.
bool PassUp(NvControl* c, uint32_t message, NvCtrlEvent* event) {
    return c->m_parent ? c->m_parent->OnPointer(message, event, c->m_subIndex) : false;
}

void UpdateChildren(NvNode* node, uint32_t tick, uint32_t arg, uint32_t flags) {
    for (uint32_t i = 0; i < node->ChildCount(); ++i)
        if (NvNode* c = node->GetChild(i); NvNode::Visible(c)) c->Update(tick, arg, flags);
}

void DrawChildren(NvNode* node, int target, bool full) {
    for (uint32_t i = 0; i < node->ChildCount(); ++i)
        if (NvNode* c = node->GetChild(i); NvNode::Visible(c)) c->Draw(target, full);
}

bool Step(NvImageRsc* image, uint32_t tick) { return image && image->StepFrame(tick); }

}  // namespace

// ---------------------------------------------------------------- button

bool NvCtrlButton::OnPointer(uint32_t message, NvCtrlEvent* event, uint16_t) {
    if (m_subControl) {
        if (message == kNvWmLButtonDown) {
            if (m_disabled) return true;
            m_state = 2;
            PassUp(this, message, event);
            SetUpdateFlag(true);
        } else if (message == kNvWmLButtonUp) {
            m_state = 1;
            PassUp(this, message, event);
            SetUpdateFlag(true);
        }
        return true;
    }
    if (m_disabled || !event) return true;
    event->layoutId = m_layoutId;
    if (message == kNvWmLButtonDown) {
        m_state = 2;
        event->action = 1;
        SetUpdateFlag(true);
        if (m_touchSound == 1) NvPlayTouchSound();
    } else if (message == kNvWmLButtonUp) {
        m_state = 1;
        event->action = 2;
        SetUpdateFlag(true);
    }
    return true;
}

void NvCtrlButton::Update(uint32_t tick, uint32_t arg, uint32_t updateFlags) {
    if (m_state == 2) {
        m_state = m_disabled ? 4 : 1;
        SetUpdateFlag(true);
    } else {
        const int image = m_state == 3 ? 2 : m_state == 4 ? 3 : 0;
        if (Step(m_images[image].get(), tick) || (updateFlags & kNvUpdateDirty)) SetUpdateFlag(true);
        if (m_attr1 & NvOverlayBitsA(m_state)) Step(m_images[4].get(), tick);
        if (m_attr1 & NvOverlayBitsB(m_state)) Step(m_images[5].get(), tick);
    }
    UpdateChildren(this, tick, arg, updateFlags);
}

void NvCtrlButton::Draw(int target, bool full) {
    if (m_rect.width <= 0 || m_rect.height <= 0) return;
    const bool drawn = IsDirty() || full;
    if (drawn) {
        if (m_bgMode == 1) RestoreAncestors();
        if (m_images[0]) {
            if (NvImageRsc* image = StateImageWithFallback())
                image->DrawImage(m_rect.x, m_rect.y, m_rect.width, m_rect.height, m_bgMode == 1 ? 2 : m_bgMode);
            DrawOverlays(m_state);
        }
        DrawTexts(m_state >= 1 && m_state <= 4 ? m_state - 1 : 0, m_state == 2, false);
        SetUpdateFlag(false);
    }
    DrawChildren(this, target, drawn);
}

void NvCtrlButton::Dump(std::vector<std::string>& lines) {
    NvControl::Dump(lines);
    static const char* kNames[5] = {"NONE", "CTRLSTATE_BUTTON_NORMAL", "CTRLSTATE_BUTTON_TOUCH",
                                    "CTRLSTATE_BUTTON_ACTIVE", "CTRLSTATE_BUTTON_DIM"};
    lines.push_back(std::string("button state = ") + kNames[m_state <= 4 ? m_state : 0]);
}

// ---------------------------------------------------------------- check box

void NvCtrlCheckBox::SetCheck(bool on, bool redraw) {
    m_checked = on ? 1 : 0;
    m_state = on ? 3 : 1;
    if (redraw) SetUpdateFlag(true);
}

bool NvCtrlCheckBox::OnPointer(uint32_t message, NvCtrlEvent* event, uint16_t) {
    if (m_subControl) {
        if (message == kNvWmLButtonDown) {
            if (!m_disabled) {
                if (m_state == 1) {
                    m_state = 2;
                    m_checked = 1;
                } else if (m_state == 3) {
                    m_state = 5;
                    m_checked = 0;
                }
            }
            PassUp(this, message, event);
            SetUpdateFlag(true);
        } else if (message == kNvWmLButtonUp) {
            PassUp(this, message, event);
            SetUpdateFlag(true);
        }
        return true;
    }
    if (m_disabled || !event) return true;
    event->layoutId = m_layoutId;
    if (message == kNvWmLButtonDown) {
        NvPlayTouchSound();
        if (m_state == 1) {
            m_state = 3;
            m_checked = 1;
        } else if (m_state == 3) {
            m_state = 1;
            m_checked = 0;
        }
        event->action = 1;
        event->value = m_checked;
        SetUpdateFlag(true);
    } else if (message == kNvWmLButtonUp) {
        event->action = 2;
        SetUpdateFlag(true);
    }
    return true;
}

void NvCtrlCheckBox::Update(uint32_t tick, uint32_t arg, uint32_t updateFlags) {
    if (!m_disabled) {
        if (m_state == 2 || m_state == 5) {
            m_state = m_state == 2 ? 3 : 1;
            SetUpdateFlag(true);
        } else {
            NvImageRsc* image = m_state == 1 ? (m_images[1] ? m_images[0].get() : nullptr)
                                : m_state == 3 ? m_images[2].get()
                                               : m_images[3].get();
            if (Step(image, tick)) SetUpdateFlag(true);
        }
    }
    if (updateFlags & kNvUpdateDirty) SetUpdateFlag(true);
    UpdateChildren(this, tick, arg, updateFlags);
}

void NvCtrlCheckBox::Draw(int target, bool full) {
    if (m_rect.width <= 0 || m_rect.height <= 0) return;
    const bool drawn = IsDirty() || full;
    if (drawn) {
        if (m_bgMode == 1) RestoreAncestors();
        const bool touched = m_state == 2 || m_state == 5;
        const int index = touched ? 1 : m_state == 3 ? 2 : m_state == 4 ? 3 : 0;
        if (NvImageRsc* image = m_images[index].get())
            image->DrawImage(m_rect.x, m_rect.y, m_rect.width, m_rect.height, m_bgMode == 1 ? 2 : m_bgMode);
        const int bitsState = touched ? 2 : m_state;
        const int textState = touched ? 1 : m_state == 3 ? 2 : m_state == 4 ? 3 : 0;
        if (m_state != 1) DrawOverlays(bitsState);
        DrawTexts(textState, touched, false);
        if (m_state == 1) DrawOverlays(1);
        SetUpdateFlag(false);
    }
    DrawChildren(this, target, drawn);
}

// ---------------------------------------------------------------- radio button

void NvCtrlRadioButton::SetCheck(bool on, bool redraw) {
    if (redraw) SetUpdateFlag(true);
    if (m_disabled) return;
    m_checked = on ? 1 : 0;
    m_state = on ? 3 : 1;
}

bool NvCtrlRadioButton::OnPointer(uint32_t message, NvCtrlEvent* event, uint16_t) {
    if (m_ignoreWithoutText && (!m_text || !m_text->GetText() || m_text->GetLength() == 0)) return true;
    if (m_disabled) return true;
    if (m_subControl) {
        if (message == kNvWmLButtonDown) {
            if (PassUp(this, message, event)) {
                m_state = 3;
                SetUpdateFlag(true);
            }
        } else if (message == kNvWmLButtonUp) {
            m_state = 1;
            PassUp(this, message, event);
            SetUpdateFlag(true);
        }
        return true;
    }
    if (!event) return true;
    event->layoutId = m_layoutId;
    if (message == kNvWmLButtonDown) {
        m_state = 3;
        event->action = 1;
        SetUpdateFlag(true);
        if (m_touchSound == 1) NvPlayTouchSound();
    } else if (message == kNvWmLButtonUp) {
        event->action = 2;
        SetUpdateFlag(true);
    }
    return true;
}

void NvCtrlRadioButton::Update(uint32_t tick, uint32_t arg, uint32_t updateFlags) {
    const int image = m_state == 3 ? 2 : m_state == 4 ? 3 : (m_state == 2 && m_disabled) ? 3 : 0;
    if (Step(m_images[image].get(), tick) || (updateFlags & kNvUpdateDirty)) SetUpdateFlag(true);
    if (!IsHidden()) UpdateChildren(this, tick, arg, updateFlags);
}

void NvCtrlRadioButton::Draw(int target, bool full) {
    if (m_rect.width <= 0 || m_rect.height <= 0) return;
    const bool drawn = IsDirty() || full;
    if (drawn) {
        if (m_bgMode == 1) RestoreAncestors();
        if (m_images[0]) {
            if (NvImageRsc* image = StateImageWithFallback())
                image->DrawImage(m_rect.x, m_rect.y, m_rect.width, m_rect.height, m_bgMode == 1 ? 2 : m_bgMode);
            if (!m_overlaysOnlyWithText || !m_text || (m_text->GetText() && m_text->GetLength() > 0))
                DrawOverlays(m_state);
        }
        DrawTexts(m_state >= 1 && m_state <= 4 ? m_state - 1 : 0, m_state == 2, true);
        SetUpdateFlag(false);
    }
    DrawChildren(this, target, drawn);
}

// ---------------------------------------------------------------- group

NvCtrlRadioButton* NvRadioButtonGroup::Member(int i) const {
    if (i < 0 || i >= m_count) return nullptr;
    const Entry& e = m_members[i];
    if (e.button) return e.button;
    NvBoardManager* host = NvGetBoardManager();
    NvControl* c = host ? host->GetControl(e.layoutId) : nullptr;
    return c && c->m_kind == kUiKindRadioButton ? dynamic_cast<NvCtrlRadioButton*>(c) : nullptr;
}

bool NvRadioButtonGroup::Add(NvCtrlRadioButton* button) {
    if (!button || m_count >= kMaxMembers) return false;
    m_members[m_count++] = {button, button->m_layoutId};
    return true;
}

bool NvRadioButtonGroup::AddById(int32_t layoutId) {
    if (m_count >= kMaxMembers) return false;
    NvBoardManager* host = NvGetBoardManager();
    NvControl* c = host ? host->GetControl(layoutId) : nullptr;
    if (!c || c->m_kind != kUiKindRadioButton || !dynamic_cast<NvCtrlRadioButton*>(c)) return false;
    m_members[m_count++] = {nullptr, layoutId};
    return true;
}

bool NvRadioButtonGroup::SelectIndex(int n, bool redraw) {
    if (n < 0 || n >= m_count) return false;
    for (int i = 0; i < m_count; ++i)
        if (NvCtrlRadioButton* b = Member(i); b && !b->m_disabled) b->SetCheck(i == n, redraw);
    return true;
}

bool NvRadioButtonGroup::SelectById(int32_t layoutId, bool redraw) {
    for (int i = 0; i < m_count; ++i)
        if (NvCtrlRadioButton* b = Member(i); b && b->m_layoutId == layoutId) return SelectIndex(i, redraw);
    return false;
}

int NvRadioButtonGroup::IsChecked(int32_t layoutId) const {
    for (int i = 0; i < m_count; ++i)
        if (NvCtrlRadioButton* b = Member(i); b && b->m_layoutId == layoutId) return b->m_checked;
    return 0;
}

NvCtrlRadioButton* NvRadioButtonGroup::GetChecked() const {
    for (int i = 0; i < m_count; ++i)
        if (NvCtrlRadioButton* b = Member(i); b && b->m_checked) return b;
    return nullptr;
}

int32_t NvRadioButtonGroup::GetCheckedId() const {
    NvCtrlRadioButton* b = GetChecked();
    return b ? b->m_layoutId : -1;
}

void NvRadioButtonGroup::UncheckAll(bool redraw) {
    for (int i = 0; i < m_count; ++i)
        if (NvCtrlRadioButton* b = Member(i); b && !b->m_disabled) b->SetCheck(false, redraw);
}
