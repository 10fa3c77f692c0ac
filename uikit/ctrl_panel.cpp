#include "uikit/ctrl_panel.h"

#include <cstring>

#include "uikit/board_manager.h"
#include "uikit/ctrl_button.h"
#include "uikit/nv_text.h"
#include "uikit/popup.h"

const NvRuntimeClass NvCtrlMapPanel::kClass{"NvCtrlMapPanel", &NvControl::kClass};

bool NvStaticPointer(NvControl* c, uint32_t message, NvCtrlEvent* event) {
    if (NvForwardToParent(c, message, event)) return true;
    if (event) event->layoutId = c->m_layoutId;
    return true;
}

// ---------------------------------------------------------------- static

bool NvCtrlStaticView::OnPointer(uint32_t message, NvCtrlEvent* event, uint16_t) {
    return NvStaticPointer(this, message, event);
}

void NvCtrlStaticView::Update(uint32_t tick, uint32_t arg, uint32_t updateFlags) {
    m_state = 1;
    if ((m_images[0] && m_images[0]->StepFrame(tick)) || (updateFlags & kNvUpdateDirty)) SetUpdateFlag(true);
    for (uint32_t i = 0; i < ChildCount(); ++i)
        if (NvNode* c = GetChild(i); NvNode::Visible(c)) c->Update(tick, arg, updateFlags);
}

bool NvCtrlStaticView::SetRect(int32_t x, int32_t y, int32_t width, int32_t height) {
    NvImageData* image = m_images[0] ? m_images[0]->Current() : nullptr;
    if (!image || image->kind != RESOURCE_AREA) return false;
    m_rect = {x, width, y, height};
    SetUpdateFlag(true);
    return true;
}

// ---------------------------------------------------------------- static panel

bool NvCtrlStaticPanelView::OnPointer(uint32_t message, NvCtrlEvent* event, uint16_t) {
    return NvStaticPointer(this, message, event);
}

bool NvCtrlStaticPanelView::ShowPopup(uint16_t closeOnTouch, uint16_t timeoutMs, uint8_t restartOnTouch,
                                      uint8_t level) {
    SetFlags(true, kNvFlagPopup);
    return NvShowPopup(this, closeOnTouch, timeoutMs, restartOnTouch, level) == 1;
}

void NvCtrlStaticPanelView::Draw(int target, bool full) {
    if (m_rect.width <= 0 || m_rect.height <= 0) return;
    if ((IsDirty() || full) && m_record && m_record->attr2 == 0) DrawSelf();
    NvNode::Draw(target, full);
}

// ---------------------------------------------------------------- map panel

void NvCtrlMapPanel::Layout() {
    NvControl::Layout();
    for (uint32_t i = 0; i < ChildCount(); ++i)
        if (NvNode* c = GetChild(i); c && c->IsKindOf(&NvControl::kClass))
            static_cast<NvControl*>(c)->m_bgMode = i <= 1 ? 2 : 1;
}

void NvCtrlMapPanel::Draw(int target, bool full) {
    if (m_rect.width <= 0 || m_rect.height <= 0) return;
    const bool drawn = IsDirty() || full;
    if (drawn) {
        if (m_images[0]) m_images[0]->DrawImage(m_rect.x, m_rect.y, m_rect.width, m_rect.height, m_bgMode);
        SetUpdateFlag(false);
    }
    NvNode::Draw(target, drawn);
}

bool NvCtrlMapPanel::OnPointer(uint32_t message, NvCtrlEvent* event, uint16_t subIndex) {
    if (m_subControl) return NvStaticPointer(this, message, event);
    if (subIndex == kNvNoSubIndex || subIndex > 7 || !event) return true;
    if (message == kNvWmLButtonDown) NvPlayTouchSound();
    event->layoutId = m_layoutId;
    event->action = subIndex;
    return true;
}

bool NvCtrlMapPanel::SetBitmap(bool flag, const DibImage565* bitmap, int32_t width, int32_t height) {
    NvImageData* image = m_images[0] ? m_images[0]->Current() : nullptr;
    if (!flag || !bitmap || !image || width != m_rect.width || height != m_rect.height) return false;
    if (bitmap->Width() != width || bitmap->Height() != height || image->dib.Width() != width ||
        image->dib.Height() != height)
        return false;
    for (int32_t y = 0; y < height; ++y)
        std::memcpy(image->dib.Bits() + static_cast<size_t>(y) * image->dib.Stride(),
                    bitmap->Bits() + static_cast<size_t>(y) * bitmap->Stride(), static_cast<size_t>(width) * 2);
    SetUpdateFlag(true);
    return true;
}
