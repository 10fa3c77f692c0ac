#include "uikit/ctrl_list.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "uikit/board_manager.h"
#include "uikit/nv_text.h"

const NvRuntimeClass NvCtrlList::kClass{"NvCtrlList", &NvControl::kClass};
const NvRuntimeClass NvCtrlListScroll::kClass{"NvCtrlListScroll", &NvControl::kClass};
const NvRuntimeClass NvCtrlBallScroll::kClass{"NvCtrlBallScroll", &NvControl::kClass};
const NvRuntimeClass NvCtrlTieScroll::kClass{"NvCtrlTieScroll", &NvControl::kClass};

namespace {

void SetDisplay(NvControl* display, int32_t value) {
    if (!display) return;
    char16_t text[16];
    char ascii[16];
    std::snprintf(ascii, sizeof ascii, "%d", value);
    int i = 0;
    for (; ascii[i]; ++i) text[i] = static_cast<char16_t>(ascii[i]);
    text[i] = 0;
    display->SetText(text, false, true);
    display->SetUpdateFlag(true);
}

}  // namespace

// ---------------------------------------------------------------- list

NvCtrlRadioButton* NvCtrlList::Row(int n) const {
    if (n < 0 || n >= m_rowCount) return nullptr;
    return dynamic_cast<NvCtrlRadioButton*>(NvChildControl(this, n));
}

void NvCtrlList::Layout() {
    NvControl::Layout();
    m_rowCount = m_attr1;
    m_group.Clear();
    for (int n = 0; n < m_rowCount; ++n) {
        NvCtrlRadioButton* row = Row(n);
        if (!row) continue;
        NvText* t = row->GetTextObject(false, true);
        if (m_text) {
            // The list's own text is the rows' template.
            t->SetFontIndex(m_text->GetFontIndex());
            for (int s = 0; s < 4; ++s) {
                tagUISCRIPT_TEXTSTYLE style = t->GetStyle(s);
                const tagUISCRIPT_TEXTSTYLE& from = m_text->GetStyle(s);
                style.red = from.red;
                style.green = from.green;
                style.blue = from.blue;
                style.size = 20;
                style.fontWidth = 300;
                t->SetStyle(s, style);
                t->SetAlign(s, 4);
                const int16_t x = m_text->GetOffsetX(s);
                if (x == 0) t->SetOffset(s, 8, 0);
                else t->SetOffset(s, x, m_text->GetOffsetY(s));
            }
        } else {
            for (int s = 0; s < 4; ++s) {
                t->SetColor(s, 0, 0, 0);
                t->SetAlign(s, 4);
                t->SetOffset(s, 6, 0);
            }
        }
        row->m_overlaysOnlyWithText = 1;
        row->m_ignoreWithoutText = 1;
        m_group.Add(row);
    }
}

bool NvCtrlList::SetCurSel(int row) {
    if (row == -1) {
        for (int n = 0; n < m_rowCount; ++n)
            if (NvCtrlRadioButton* r = Row(n)) {
                r->SetCheck(false, true);
                if (m_checkMode) r->m_attr1 = 5;
            }
        m_selected = -1;
        return true;
    }
    if (!Row(row)) return false;
    if (m_checkMode) SetRowCheck(row, !GetRowCheck(row));
    m_group.SelectIndex(row, true);
    m_selected = static_cast<int16_t>(row);
    return true;
}

void NvCtrlList::SetCheckMode(bool on) {
    m_checkMode = on ? 1 : 0;
    m_checks.assign(m_rowCount, 0);
    SetRowAttr(5);
}

bool NvCtrlList::SetRowCheck(int row, bool on) {
    if (!m_checkMode) return false;
    if (row == -1) {
        SetRowAttr(5);
        return true;
    }
    NvCtrlRadioButton* r = Row(row);
    if (!r || static_cast<size_t>(row) >= m_checks.size()) return false;
    r->m_attr1 = on ? 80 : 5;
    m_checks[static_cast<size_t>(row)] = on ? 1 : 0;
    r->SetUpdateFlag(true);
    return true;
}

bool NvCtrlList::GetRowCheck(int row) const {
    return row >= 0 && static_cast<size_t>(row) < m_checks.size() && m_checks[static_cast<size_t>(row)];
}

bool NvCtrlList::SetRowText(int row, const char16_t* text, bool sub, bool redraw) {
    NvCtrlRadioButton* r = Row(row);
    if (!r) return false;
    // A second line given to a two-line row for the first time takes the
    // lower part of the row.
    const bool newSubLine = sub && m_twoLine && !r->GetTextObject(true, false);
    r->SetText(text, sub, redraw);
    if (newSubLine) LayOutSubLine(r);
    return true;
}

bool NvCtrlList::SetRowTextIndent(int row, int16_t x) {
    NvCtrlRadioButton* r = Row(row);
    if (!r) return false;
    for (int sub = 0; sub < 2; ++sub)
        if (NvText* t = r->GetTextObject(sub, false))
            for (int s = 0; s < 4; ++s) t->SetOffset(s, x, t->TextBox(s).y - r->m_rect.y);
    return true;
}

void NvCtrlList::SetRowsTextOffset(int16_t x, int16_t y, bool sub) {
    for (int n = 0; n < m_rowCount; ++n)
        if (NvCtrlRadioButton* r = Row(n))
            for (int s = 0; s < 4; ++s) r->SetTextOffset(s, x, y, sub);
}

void NvCtrlList::SetRowAttr(uint16_t value) {
    for (int n = 0; n < m_rowCount; ++n)
        if (NvCtrlRadioButton* r = Row(n)) {
            r->m_attr1 = value;
            r->SetUpdateFlag(true);
        }
}

bool NvCtrlList::SetRowIconPos(int row, int icon, int32_t x, int32_t y, bool redraw) {
    NvCtrlRadioButton* r = Row(row);
    if (!r || icon < 0 || icon > 1 || !r->m_images[4 + icon]) return false;
    r->m_images[4 + icon]->m_rect.x = x;
    r->m_images[4 + icon]->m_rect.y = y;
    if (redraw) r->SetUpdateFlag(true);
    return true;
}

bool NvCtrlList::SetRowIconRsc(int row, int icon, int32_t resourceId, bool redraw) {
    NvCtrlRadioButton* r = Row(row);
    if (!r || icon < 0 || icon > 1) return false;
    std::unique_ptr<NvImageRsc> image = NvLoadImageRsc(resourceId);
    if (!image) return false;
    if (r->m_record) {
        image->m_rect.x = r->m_record->image[4 + icon].x;
        image->m_rect.y = r->m_record->image[4 + icon].y;
    }
    r->m_images[4 + icon] = std::move(image);
    if (redraw) r->SetUpdateFlag(true);
    return true;
}

bool NvCtrlList::SetRowIconImage(int row, int icon, const NvImageData* image, bool redraw) {
    NvCtrlRadioButton* r = Row(row);
    if (!r || icon < 0 || icon > 1 || !image || !image->bits || image->width <= 0 || image->height <= 0) return false;
    std::unique_ptr<NvImageRsc>& slot = r->m_images[4 + icon];
    NvImageData* target = slot ? slot->Current() : nullptr;
    const bool alpha = !image->alpha.empty();
    // A shared image of the pool or a package is never written to.
    if (!target || target->pooled || target->notPooled || target->width != image->width ||
        target->height != image->height || target->alpha.empty() == alpha) {
        std::unique_ptr<NvImageRsc> fresh = NvCreateImageRsc(image->width, image->height, alpha);
        if (!fresh) return false;
        slot = std::move(fresh);
        target = slot->Current();
    }
    std::memcpy(target->bits, image->bits, std::min(target->imageSize, image->imageSize));
    if (alpha) std::copy_n(image->alpha.begin(), std::min(image->alpha.size(), target->alpha.size()), target->alpha.begin());
    target->drawFlags = image->drawFlags;
    if (r->m_record) {
        slot->m_rect.x = r->m_record->image[4 + icon].x;
        slot->m_rect.y = r->m_record->image[4 + icon].y;
    }
    if (redraw) r->SetUpdateFlag(true);
    return true;
}

// Two-line rows split at 3/5 of the row height less 2 pixels: the main
// line above in the list's own style, the second line below in the style of
// font record 15, 4 pixels short of the row's right edge.
void NvCtrlList::SetSubTextMode(bool on) {
    m_twoLine = on ? 1 : 0;
    if (!on) return;
    for (int n = 0; n < m_rowCount; ++n) {
        NvCtrlRadioButton* r = Row(n);
        if (!r) continue;
        NvText* main = r->GetTextObject(false, false);
        if (main) main->SetText(u"");
        if (NvText* sub = r->GetTextObject(true, false)) sub->SetText(u"");
        if (main) {
            const int32_t split = r->m_rect.height * 3 / 5 - 2;
            for (int s = 0; s < 4; ++s) {
                NvText::Box box;
                box.width = r->m_rect.width;
                box.height = split;
                if (m_text) {
                    main->SetStyle(s, m_text->GetStyle(s));
                    box.x = m_text->TextBox(s).x;
                }
                main->SetBox(s, box);
            }
        }
        LayOutSubLine(r);
    }
}

void NvCtrlList::LayOutSubLine(NvCtrlRadioButton* r) {
    NvText* sub = r->GetTextObject(true, false);
    if (!sub) return;
    const NvUiScript* script = NvGetUiScript();
    const tagUISCRIPT_FONT* font = script ? script->GetFont(kSubLineFont) : nullptr;
    if (font) sub->SetFontIndex(font->fontNumber);
    const int32_t split = r->m_rect.height * 3 / 5 - 2;
    for (int s = 0; s < 4; ++s) {
        if (font) sub->SetStyle(s, font->style[s]);
        sub->SetAlign(s, 4);
        NvText::Box box;
        box.x = m_text ? m_text->GetOffsetX(s) : 0;
        box.y = split;
        box.width = r->m_rect.width - 4;
        box.height = r->m_rect.height;
        sub->SetBox(s, box);
    }
}

void NvCtrlList::InitRemoconFocus() { m_focusRow = Row(m_selected) ? m_selected : 0; }

bool NvCtrlList::MoveRemoconFocus(int direction) {
    if (direction == 0) {
        InitRemoconFocus();
        return m_rowCount > 0;
    }
    return NvStepRemoconFocus(m_focusRow, m_rowCount, direction);
}

bool NvCtrlList::SetRemoconFocus(int row) {
    if (row < 0 || row >= m_rowCount) return false;
    m_focusRow = row;
    return true;
}

void NvCtrlList::ClearRows() {
    for (int n = 0; n < m_rowCount; ++n) {
        NvCtrlRadioButton* r = Row(n);
        if (!r) continue;
        if (r->GetTextObject(false, false)) r->SetText(u"", false, false);
        if (r->GetTextObject(true, false)) r->SetText(u"", true, false);
        r->m_images[4].reset();
        r->m_images[5].reset();
        if (static_cast<size_t>(n) < m_checks.size()) m_checks[static_cast<size_t>(n)] = 0;
        r->SetUpdateFlag(true);
    }
    if (NvCtrlRadioButton* r = Row(m_selected)) r->SetCheck(false, true);
}

bool NvCtrlList::OnPointer(uint32_t message, NvCtrlEvent* event, uint16_t subIndex) {
    if (NvForwardToParent(this, message, event)) return true;
    if (subIndex == kNvNoSubIndex || subIndex >= m_rowCount || !Row(subIndex) || !event) return true;
    if (message != kNvWmLButtonDown) return true;
    NvPlayTouchSound();
    if (m_selected >= 0 && m_selected != subIndex)
        if (NvCtrlRadioButton* old = Row(m_selected)) {
            old->m_state = 1;
            old->SetUpdateFlag(true);
        }
    SetCurSel(subIndex);
    event->layoutId = m_layoutId;
    event->action = subIndex;
    return true;
}

// ---------------------------------------------------------------- list scroll

void NvCtrlListScroll::Layout() {
    NvControl::Layout();
    m_page = m_attr1;
    for (int i : {4, 5})
        if (NvControl* d = NvChildControl(this, i))
            for (int s = 0; s < 4; ++s) {
                NvText* t = d->GetTextObject(false, true);
                t->SetColor(s, 0, 0, 0);
                t->SetFontSize(s, 13);
                t->SetAlign(s, 5);
            }
}

void NvCtrlListScroll::RefreshDisplays() {
    SetDisplay(NvChildControl(this, 5), m_total);
    SetDisplay(NvChildControl(this, 4), m_total == 0 ? 0 : m_top + 1);
}

void NvCtrlListScroll::SetTotalCount(int32_t n) {
    m_total = n;
    RefreshDisplays();
}

void NvCtrlListScroll::SetTopIndex(int32_t n) {
    m_top = n;
    RefreshDisplays();
}

bool NvCtrlListScroll::OnPointer(uint32_t message, NvCtrlEvent* event, uint16_t subIndex) {
    if (NvForwardToParent(this, message, event)) return true;
    if (subIndex == kNvNoSubIndex || !event) return true;
    if (message == kNvWmLButtonDown) NvPlayTouchSound();
    event->layoutId = m_layoutId;
    int32_t top = m_top;
    switch (subIndex) {
        case 0: event->action = 1; top = std::max(0, m_top - m_page); break;
        case 1:
            event->action = 2;
            if (m_top + 2 * m_page < m_total) top = m_top + m_page;
            else if (m_total - m_page >= 0) top = m_total - m_page;
            break;
        case 2: event->action = 3; top = std::max(0, m_top - 1); break;
        case 3:
            event->action = 4;
            if (m_total >= m_page + m_top + 1) top = m_top + 1;
            break;
        default: RefreshDisplays(); return true;
    }
    m_top = top;
    event->value = top;
    RefreshDisplays();
    return true;
}

// ---------------------------------------------------------------- ball scroll

void NvCtrlBallScroll::Layout() {
    NvControl::Layout();
    m_page = m_attr1;
}

void NvCtrlBallScroll::PlaceBall() {
    NvControl* ball = NvChildControl(this, 4);
    NvControl* track = NvChildControl(this, 5);
    if (!ball || !track || !ball->m_images[0] || !track->m_images[0]) return;
    const int32_t span = m_total - m_page;
    const int32_t offset = span > 0 ? track->m_images[0]->m_rect.height * m_top / span : 0;
    const int32_t x = track->m_rect.x;
    const int32_t y = track->m_rect.y + offset - ball->m_images[0]->m_rect.height / 2;
    ball->MoveBy(x - ball->m_rect.x, y - ball->m_rect.y);
    SetUpdateFlag(true);
}

void NvCtrlBallScroll::SetTotalCount(int32_t n) {
    m_total = n;
    m_top = 0;
    SetUpdateFlag(true);
    if (NvControl* ball = NvChildControl(this, 4)) ball->SetUpdateFlag(true);
    PlaceBall();
}

void NvCtrlBallScroll::SetTopIndex(int32_t n) {
    m_top = n;
    PlaceBall();
}

bool NvCtrlBallScroll::OnPointer(uint32_t message, NvCtrlEvent* event, uint16_t subIndex) {
    if (NvForwardToParent(this, message, event)) return true;
    if (subIndex == kNvNoSubIndex || !event) return true;
    if (message == kNvWmLButtonDown) NvPlayTouchSound();
    event->layoutId = m_layoutId;
    int32_t top = m_top;
    switch (subIndex) {
        case 0: event->action = 1; top = std::max(0, m_top - m_page); break;
        case 1:
            event->action = 2;
            top = m_top + 2 * m_page < m_total + 1 ? m_top + m_page : std::max(0, m_total - m_page);
            break;
        case 2: event->action = 3; top = std::max(0, m_top - 1); break;
        case 3:
            event->action = 4;
            top = m_page + m_top + 1 < m_total ? m_top + 1 : std::max(0, m_total - m_page);
            break;
        default: return true;
    }
    m_top = top;
    event->value = top;
    PlaceBall();
    return true;
}

void NvCtrlBallScroll::Draw(int target, bool full) {
    if (m_rect.width <= 0 || m_rect.height <= 0) return;
    if (IsDirty() || full) DrawSelf();
    for (uint32_t i = 0; i < ChildCount(); ++i) {
        if (i == 5) continue;  // the track only gives the ball's path
        if (NvNode* c = GetChild(i); NvNode::Visible(c)) c->Draw(target, full);
    }
}

// ---------------------------------------------------------------- tie scroll

void NvCtrlTieScroll::Mark(int page, uint16_t state) {
    if (NvControl* marker = NvChildControl(this, 2 + page)) {
        marker->m_state = state;
        marker->SetUpdateFlag(true);
    }
}

void NvCtrlTieScroll::Layout() {
    NvControl::Layout();
    m_pageCount = static_cast<uint8_t>(m_attr1);
    m_page = 0;
    if (m_pageCount > 1)
        for (int p = 0; p < m_pageCount; ++p) Mark(p, p == 0 ? 3 : 1);
}

bool NvCtrlTieScroll::SetCurPage(int page, bool redraw) {
    if (page < 0 || page >= m_pageCount) return false;
    if (page != m_page) {
        Mark(m_page, 1);
        Mark(page, 3);
    }
    m_page = static_cast<uint8_t>(page);
    if (redraw) SetUpdateFlag(true);
    return true;
}

bool NvCtrlTieScroll::OnPointer(uint32_t message, NvCtrlEvent* event, uint16_t subIndex) {
    if (NvForwardToParent(this, message, event)) return true;
    if (subIndex == kNvNoSubIndex || subIndex >= 2 + m_pageCount || !event) return false;
    if (message != kNvWmLButtonDown) return false;
    NvPlayTouchSound();
    int target = m_page;
    if (subIndex == 0) {
        if (m_page > 0) target = m_page - 1;
        event->action = 1;
    } else if (subIndex == 1) {
        if (m_page + 1 < m_pageCount) target = m_page + 1;
        event->action = 2;
    } else {
        target = subIndex - 2;
    }
    if (target == m_page) {
        *event = {};
        return false;
    }
    Mark(m_page, 1);
    m_page = static_cast<uint8_t>(target);
    if (subIndex <= 1) Mark(target, 3);
    event->layoutId = m_layoutId;
    event->value = target;
    event->action = 5;
    return true;
}
