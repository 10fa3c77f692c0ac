#include "uikit/ctrl_value.h"

#include <algorithm>

#include "uikit/board_manager.h"
#include "uikit/ctrl_button.h"
#include "uikit/ctrl_panel.h"
#include "uikit/nv_text.h"
#include "uikit/popup.h"

const NvRuntimeClass NvCtrlSlidebar::kClass{"NvCtrlSlidebar", &NvControl::kClass};
const NvRuntimeClass NvCtrlProgressbar::kClass{"NvCtrlProgressbar", &NvControl::kClass};
const NvRuntimeClass NvCtrlComboBox::kClass{"NvCtrlComboBox", &NvControl::kClass};

namespace {


NvCtrlComboBox* g_lastClosedCombo = nullptr;

}  // namespace

// ---------------------------------------------------------------- slide bar

bool NvCtrlSlidebar::HasFill() const { return m_record && m_record->subCount >= 4 && NvChildControl(this, 3); }

void NvCtrlSlidebar::Layout() {
    NvControl::Layout();
    m_vertical = m_attr1 != 0 ? 1 : 0;
    m_count = m_record ? m_record->attr2 : 0;
    for (int i = 0; i < 4; ++i)
        if (NvControl* c = NvChildControl(this, i)) c->m_bgMode = 2;
}

bool NvCtrlSlidebar::SetPos(int32_t p) {
    // A bar of fewer than two positions has no thumb travel (the placement
    // divides by count - 1): it keeps position 0 and leaves the thumb.
    if (m_count < 2) {
        m_pos = 0;
        return false;
    }
    m_pos = static_cast<uint16_t>(p >= 0 && p < m_count ? p : m_count - 1);
    if (HasFill()) NvChildControl(this, 3)->SetUpdateFlag(true);
    SetUpdateFlag(true);
    NvControl* range = NvChildControl(this, 1);
    NvControl* thumb = NvChildControl(this, 2);
    if (!range || !thumb) return true;
    const int32_t n = m_count;
    int32_t x, y;
    if (m_vertical) {
        x = range->m_rect.x;
        y = range->m_rect.y + (range->m_rect.height - thumb->m_rect.height) * (n - m_pos - 1) / (n - 1);
    } else {
        x = range->m_rect.x + (range->m_rect.width - thumb->m_rect.width) * m_pos / (n - 1);
        y = range->m_rect.y;
    }
    thumb->MoveBy(x - thumb->m_rect.x, y - thumb->m_rect.y);
    return true;
}

bool NvCtrlSlidebar::OnPointer(uint32_t message, NvCtrlEvent* event, uint16_t) {
    if (NvForwardToParent(this, message, event)) return true;
    if (!event) return true;
    event->layoutId = m_layoutId;
    NvControl* area = NvChildControl(this, 0);
    NvControl* range = NvChildControl(this, 1);
    NvControl* thumb = NvChildControl(this, 2);
    const int32_t px = NvToolkit().lastX, py = NvToolkit().lastY;
    const int32_t n = m_count;
    if (ChildCount() <= 2 || !area || !range || !thumb || !thumb->m_images[0] || !area->m_rect.Contains(px, py) ||
        n < 2 || area->m_rect.width <= 0 || area->m_rect.height <= 0) {
        event->action = m_pos;
        return true;
    }
    NvPlayTouchSound();
    const NvRect& a = area->m_rect;
    int32_t h, x, y;
    if (m_vertical) {
        h = (a.y + a.height + a.height / (2 * n) - py) * (n - 1) / a.height;
        x = range->m_rect.x;
        y = (n - h - 1) * (range->m_rect.height - thumb->m_rect.height) / (n - 1) + range->m_rect.y;
    } else {
        h = (px - a.x) * (n - 1) / a.width;
        x = (range->m_rect.width - thumb->m_rect.width) * h / (n - 1) + range->m_rect.x;
        y = range->m_rect.y;
    }
    const int32_t pos = std::max(h, 0);
    if (m_dragMoves) {
        thumb->MoveBy(x - thumb->m_rect.x, y - thumb->m_rect.y);
        m_pos = static_cast<uint16_t>(pos);
    }
    event->action = pos;
    SetUpdateFlag(true);
    if (HasFill()) NvChildControl(this, 3)->SetUpdateFlag(true);
    return true;
}

void NvCtrlSlidebar::Draw(int target, bool full) {
    if (m_rect.width <= 0 || m_rect.height <= 0) return;
    if (IsDirty() || full) {
        if (m_images[0])
            m_images[0]->DrawImage(m_rect.x, m_rect.y, m_rect.width, m_rect.height, m_bgMode == 1 ? 2 : m_bgMode);
        SetUpdateFlag(false);
    }
    NvControl* fill = HasFill() ? NvChildControl(this, 3) : nullptr;
    NvControl* thumb = NvChildControl(this, 2);
    for (uint32_t i = 0; i < ChildCount(); ++i) {
        NvNode* c = GetChild(i);
        if (!NvNode::Visible(c) || c == fill) continue;
        if (c == thumb && fill && fill->m_images[0] && m_count > 0) {
            const NvRect& f = fill->m_rect;
            const int32_t tw = thumb->m_rect.width, th = thumb->m_rect.height;
            if (m_vertical) {
                const int32_t h = m_pos * (f.height - th) / m_count + th / 2;
                fill->m_images[0]->DrawImage(f.x, f.y + f.height - h, f.width, h, 2, 0, f.height - h);
            } else {
                const int32_t w = (f.width - tw) * m_pos / m_count + tw / 2;
                fill->m_images[0]->DrawImage(f.x, f.y, w, f.height, 2);
            }
            thumb->SetUpdateFlag(true);
        }
        c->Draw(target, full);
    }
}

// ---------------------------------------------------------------- progress bar

void NvCtrlProgressbar::Layout() {
    NvControl::Layout();
    m_vertical = m_attr1 != 0 ? 1 : 0;
    m_max = m_record ? m_record->attr2 : 0;
}

bool NvCtrlProgressbar::SetPos(uint16_t position) {
    if (position >= m_max || position == m_pos) return false;
    m_pos = position;
    SetUpdateFlag(true);
    return true;
}

int32_t NvCtrlProgressbar::BarExtent() const {
    const NvImageRsc* bar = m_images[4].get();
    if (!bar || m_max <= 1) return 0;
    return m_pos * (m_vertical ? bar->m_rect.height : bar->m_rect.width) / (m_max - 1);
}

bool NvCtrlProgressbar::OnPointer(uint32_t message, NvCtrlEvent* event, uint16_t) {
    return NvStaticPointer(this, message, event);
}

void NvCtrlProgressbar::Draw(int target, bool full) {
    if (m_rect.width <= 0 || m_rect.height <= 0) return;
    if (IsDirty() || full) {
        if (m_images[0])
            m_images[0]->DrawImage(m_rect.x, m_rect.y, m_rect.width, m_rect.height, m_bgMode == 1 ? 2 : m_bgMode);
        NvImageRsc* bar = m_images[4].get();
        const int32_t extent = BarExtent();
        if (bar && extent > 0) {
            const int32_t bx = m_rect.x + bar->m_rect.x, by = m_rect.y + bar->m_rect.y;
            if (m_vertical)
                bar->DrawImage(bx, by + bar->m_rect.height - extent, bar->m_rect.width, extent, 2, 0,
                               bar->m_rect.height - extent);
            else
                bar->DrawImage(bx, by, extent, bar->m_rect.height, 2);
        }
        SetUpdateFlag(false);
    }
    NvNode::Draw(target, full);
}

// ---------------------------------------------------------------- combo box

bool NvCtrlComboBox::MoveRemoconFocus(int direction) {
    if (!IsOpen()) return false;
    if (direction == 0) {
        m_focusItem = 0;
        return m_itemCount > 0;
    }
    return NvStepRemoconFocus(m_focusItem, m_itemCount, direction);
}

bool NvCtrlComboBox::SetRemoconFocus(int item) {
    if (!IsOpen() || item < 0 || item >= m_itemCount) return false;
    m_focusItem = item;
    return true;
}

NvCtrlComboBox* NvLastClosedComboBox() { return g_lastClosedCombo; }

void NvCtrlComboBox::Layout() {
    NvControl::Layout();
    if (NvControl* field = NvChildControl(this, 0)) {
        NvText* main = field->GetTextObject(false, true);
        NvText* sub = field->GetTextObject(true, true);
        for (int s = 0; s < 4; ++s) {
            main->SetColor(s, 0, 0, 0);
            main->SetAlign(s, 4);
            main->SetOffset(s, 6, 0);
            sub->SetColor(s, 0, 0, 0);
            sub->SetAlign(s, 6);
            sub->SetFontSize(s, 18);
            sub->SetOffset(s, -4, 0);
        }
        field->m_bgMode = 2;
    }
    if (NvControl* drop = NvChildControl(this, 1)) drop->m_bgMode = 2;
}

void NvCtrlComboBox::SetItemCount(int n) {
    m_itemCount = static_cast<uint16_t>(std::clamp(n, 0, kMaxItems));
}

bool NvCtrlComboBox::SetItemText(int n, const char16_t* text) {
    if (n < 0 || n >= m_itemCount) return false;
    m_items[n] = text ? text : u"";
    return true;
}

NvControl* NvCtrlComboBox::GetTextControl() {
    if (ChildCount() < 5) return nullptr;
    NvControl* field = NvChildControl(this, 0);
    if (field) field->GetTextObject(false, true)->SetKeepEnd(true);
    return field;
}

int NvCtrlComboBox::RowAt(int32_t y) const {
    NvControl* top = NvChildControl(this, 2);
    NvControl* row = NvChildControl(this, 4);
    if (!top || !row || row->m_rect.height <= 0) return -1;
    int32_t rowY = m_rect.y + top->m_rect.height;
    for (int i = 0; i < m_itemCount; ++i, rowY += row->m_rect.height)
        if (rowY <= y && y <= rowY + row->m_rect.height) return i;
    return -1;
}

bool NvCtrlComboBox::OnPointer(uint32_t message, NvCtrlEvent* event, uint16_t subIndex) {
    if (NvForwardToParent(this, message, event)) return true;
    if (!event) return true;
    event->layoutId = m_layoutId;
    if (message == kNvWmLButtonDown) NvPlayTouchSound();
    if (subIndex == 0) {
        SetUpdateFlag(true);
    } else if (subIndex == 1) {
        if (m_itemCount >= 1) {
            m_state |= kOpenRequest;
            event->action = 1;
        }
        SetUpdateFlag(true);
    } else if (subIndex == kNvNoSubIndex && message == kNvWmLButtonDown && IsOpen()) {
        const int row = RowAt(NvToolkit().lastY);
        if (row < 0) return true;
        event->value = row;
        event->action = 4;
        ClosePopup(false);
    }
    return true;
}

void NvCtrlComboBox::Update(uint32_t tick, uint32_t arg, uint32_t updateFlags) {
    if (m_state & kOpenRequest) {
        m_state = static_cast<uint16_t>((m_state & ~kOpenRequest) | kOpen);
        SetFlags(true, kNvFlagPopup);
        NvShowPopup(this, 1, 5000, 0, 0);
        m_closedRect = m_rect;
        NvControl* top = NvChildControl(this, 2);
        NvControl* bottom = NvChildControl(this, 3);
        NvControl* row = NvChildControl(this, 4);
        if (top) {
            m_rect.x = top->m_rect.x;
            m_rect.y = top->m_rect.y;
            m_rect.width = top->m_rect.width;
            m_rect.height = top->m_rect.height + (bottom ? bottom->m_rect.height : 0) +
                            m_itemCount * (row ? row->m_rect.height : 0);
        }
        SetUpdateFlag(true);
    } else if (!IsOpen()) {
        NvControl* field = NvChildControl(this, 0);
        NvText* text = field ? field->GetTextObject(false, false) : nullptr;
        if (text && text->GetLength() > 0 && text->NeedsRedraw(tick)) SetUpdateFlag(true);
    }
    if (updateFlags & kNvUpdateDirty) SetUpdateFlag(true);
    for (int i = 0; i < 2; ++i)
        if (NvControl* c = NvChildControl(this, i)) c->Update(tick, arg, updateFlags);
}

void NvCtrlComboBox::Draw(int target, bool full) {
    if (!(IsDirty() || full)) return;
    for (int i = 0; i < 2; ++i)
        if (NvControl* c = NvChildControl(this, i); c && NvNode::Visible(c)) c->Draw(target, true);
    if (IsOpen() && full) {
        NvControl* top = NvChildControl(this, 2);
        NvControl* bottom = NvChildControl(this, 3);
        NvControl* row = NvChildControl(this, 4);
        int32_t y = m_rect.y;
        if (top && top->m_images[0]) {
            top->m_images[0]->DrawImage(m_rect.x, y, top->m_rect.width, top->m_rect.height, 2);
            y += top->m_rect.height;
        }
        if (row) {
            NvText text(nullptr);
            for (int s = 0; s < 4; ++s) {
                text.SetColor(s, 0, 0, 0);
                text.SetFontSize(s, 18);
                text.SetAlign(s, 4);
                text.SetOffset(s, 4, 0);
            }
            for (int i = 0; i < m_itemCount; ++i, y += row->m_rect.height) {
                const int32_t rx = row->m_rect.x;
                if (row->m_images[0])
                    row->m_images[0]->DrawImage(rx, y, row->m_rect.width, row->m_rect.height, m_bgMode);
                text.SetOwnerRect({rx, row->m_rect.width, y, row->m_rect.height});
                text.SetText(m_items[i].c_str());
                text.Draw(0, NvToolkit().tick);
            }
        }
        if (bottom && bottom->m_images[0])
            bottom->m_images[0]->DrawImage(m_rect.x, y, bottom->m_rect.width, bottom->m_rect.height, 2);
    }
    SetUpdateFlag(false);
}

NvNode* NvCtrlComboBox::HitTest(int32_t x, int32_t y) {
    if (!m_rect.Contains(x, y)) return nullptr;
    for (int i : {1, 0})
        if (NvControl* c = NvChildControl(this, i); c && !c->IsHidden())
            if (NvNode* hit = c->HitTest(x, y)) return hit;
    return this;
}

bool NvCtrlComboBox::ClosePopup(bool) {
    if (!IsOpen()) return true;
    NvHidePopup(this, false);
    g_lastClosedCombo = this;
    NvToolkit().fullRedraw = true;
    m_state = 1;
    m_rect = m_closedRect;
    SetFlags(false, kNvFlagPopup);
    return true;
}
