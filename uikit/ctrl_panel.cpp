#include "uikit/ctrl_panel.h"

#include <cstring>
#include <initializer_list>
#include <string>

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
    // The popup table calls back here when it opens the panel itself.
    if (m_opening) return true;
    SetFlags(true, kNvFlagPopup);
    m_opening = true;
    const bool shown = NvShowPopup(this, closeOnTouch, timeoutMs, restartOnTouch, level) == 1;
    m_opening = false;
    return shown;
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

// ---------------------------------------------------------------- dynamic panel

const NvRuntimeClass NvCtrlDynamicPanel::kClass{"NvCtrlDynamicPanel", &NvControl::kClass};

NvCtrlDynamicPanel::NvCtrlDynamicPanel() = default;
NvCtrlDynamicPanel::~NvCtrlDynamicPanel() = default;

const NvControl* NvCtrlDynamicPanel::PieceControl(int i) const {
    return i < kPieces ? NvChildControl(this, i) : nullptr;
}

bool NvCtrlDynamicPanel::CalcSize(int32_t c, int32_t r, int32_t* width, int32_t* height) const {
    if (c <= 0) return false;
    auto w = [this](int i) { return PieceControl(i)->m_rect.width; };
    auto h = [this](int i) { return PieceControl(i)->m_rect.height; };
    auto have = [this](std::initializer_list<int> ids) {
        for (int i : ids)
            if (!PieceControl(i)) return false;
        return true;
    };
    const int32_t middleRows = r > 2 ? r - 2 : 0;
    if (c == 1) {
        if (!have({0, 1, 2})) return false;
        *width = w(0);
        *height = h(0) + middleRows * h(1) + h(2);
        return true;
    }
    if (c == 2 && !have({3, 5, 6, 8, 9, 11})) return false;
    if (c >= 3 && !have({3, 4, 5, 6, 7, 8, 9, 10})) return false;
    *height = h(3) + middleRows * h(6) + h(9);
    *width = w(3) + (c >= 3 ? (c - 2) * w(4) : 0) + w(5);
    return true;
}

bool NvCtrlDynamicPanel::SetCellCount(int32_t columns, int32_t rows) {
    m_stretched = 0;
    int32_t w = 0, h = 0;
    if (!CalcSize(columns, rows, &w, &h)) return false;
    m_rect.width = w;
    m_rect.height = h;
    m_columns = columns;
    m_rows = rows;
    return true;
}

void NvCtrlDynamicPanel::SetPos(int32_t x, int32_t y) {
    m_rect.x = x;
    m_rect.y = y;
}

bool NvCtrlDynamicPanel::BuildPieces() {
    m_pieces.clear();
    if (m_columns <= 0 || m_rows <= 0) return false;
    int32_t y = m_rect.y, totalH = 0, firstRowW = 0;
    for (int32_t row = 0; row < m_rows; ++row) {
        const int band = row == 0 ? 0 : row == m_rows - 1 ? 2 : 1;
        int32_t x = m_rect.x, rowH = 0;
        for (int32_t col = 0; col < m_columns; ++col) {
            int id;
            if (m_columns == 1) id = band;
            else id = 3 + band * 3 + (col == 0 ? 0 : col == m_columns - 1 ? 2 : 1);
            const NvControl* piece = PieceControl(id);
            if (!piece || !piece->m_images[0]) return false;  // a missing piece image ends the build
            m_pieces.push_back({piece->m_images[0].get(), x, y});
            x += piece->m_rect.width;
            rowH = piece->m_rect.height;
        }
        if (row == 0) firstRowW = x - m_rect.x;
        y += rowH;
        totalH += rowH;
    }
    m_rect.width = firstRowW;
    m_rect.height = totalH;
    if (m_text) m_text->SetOwnerRect(m_rect);
    return true;
}

bool NvCtrlDynamicPanel::ShowPopup(uint16_t closeOnTouch, uint16_t timeoutMs, uint8_t restartOnTouch,
                                   uint8_t level) {
    // The popup table calls back here when it opens the panel itself.
    if (m_opening) return true;
    SetFlags(true, kNvFlagPopup);
    m_opening = true;
    const bool shown = NvShowPopup(this, closeOnTouch, timeoutMs, restartOnTouch, level) == 1;
    m_opening = false;
    if (!shown) return false;
    return m_stretched ? true : BuildPieces();
}

bool NvCtrlDynamicPanel::SetRect(int32_t x, int32_t y, int32_t width, int32_t height) {
    const NvControl* p3 = PieceControl(3);
    if (!p3) return false;
    bool all = true;
    for (int i = 4; i <= 11; ++i) all = all && PieceControl(i);
    const bool column = PieceControl(6) && PieceControl(9);
    const bool row = PieceControl(4) && PieceControl(5);
    const int shape = all ? 4 : column ? 3 : row ? 2 : 1;
    int32_t minW = p3->m_rect.width, minH = p3->m_rect.height;
    if (shape == 2 || shape == 4) minW += PieceControl(4)->m_rect.width + PieceControl(5)->m_rect.width;
    if (shape == 3 || shape == 4) minH += PieceControl(6)->m_rect.height + PieceControl(9)->m_rect.height;
    if (width < minW || height < minH) return false;
    NvImageData* tile = p3->m_images[0] ? p3->m_images[0]->Current() : nullptr;
    std::unique_ptr<NvImageRsc> image = NvCreateImageRsc(width, height, tile && tile->kind == RESOURCE_ALPHA);
    if (!image) return false;
    if (shape == 1 && tile) {
        NvImageData* target = image->Current();
        for (int32_t ty = 0; ty < height; ty += tile->height)
            for (int32_t tx = 0; tx < width; tx += tile->width)
                for (int32_t yy = 0; yy < tile->height && ty + yy < height; ++yy)
                    for (int32_t xx = 0; xx < tile->width && tx + xx < width; ++xx)
                        target->dib.SetPixel(tx + xx, ty + yy, tile->Pixel(xx, yy));
    }
    m_stretchImage = std::move(image);
    m_stretched = 1;
    for (int sub = 0; sub < 2; ++sub)
        if (NvText* t = GetTextObject(sub, false))
            for (int s = 0; s < 4; ++s) t->SetOffset(s, 0, 0);
    m_rect = {x, width, y, height};
    SetUpdateFlag(true);
    return true;
}

void NvCtrlDynamicPanel::Draw(int target, bool full) {
    if (m_rect.width <= 0 || m_rect.height <= 0) return;
    // Opened through the popup table directly: the frame is built at the first draw.
    if (!m_stretched && m_pieces.empty() && m_columns > 0) BuildPieces();
    if (IsDirty() || full) {
        if (m_stretched && m_stretchImage) {
            RestoreAncestors();
            m_stretchImage->DrawImage(m_rect.x, m_rect.y, m_rect.width, m_rect.height, 2);
        } else {
            for (const Piece& p : m_pieces)
                if (p.image)
                    p.image->DrawImage(p.x, p.y, p.image->m_rect.width, p.image->m_rect.height, m_bgMode ? 2 : 0);
        }
        if (m_text) {
            m_text->SetOwnerRect(m_rect);
            m_text->Draw(0, NvToolkit().tick);
        }
        SetUpdateFlag(false);
    }
    for (uint32_t i = kPieces; i < ChildCount(); ++i)
        if (NvNode* c = GetChild(i); NvNode::Visible(c)) c->Draw(target, full);
}

void NvCtrlDynamicPanel::Update(uint32_t tick, uint32_t arg, uint32_t updateFlags) {
    if (updateFlags & kNvUpdateDirty) SetUpdateFlag(true);
    for (uint32_t i = kPieces; i < ChildCount(); ++i)
        if (NvNode* c = GetChild(i); NvNode::Visible(c)) c->Update(tick, arg, updateFlags);
}

NvNode* NvCtrlDynamicPanel::HitTest(int32_t x, int32_t y) {
    if (!m_rect.Contains(x, y)) return nullptr;
    for (uint32_t i = ChildCount(); i-- > kPieces;) {
        NvNode* c = GetChild(i);
        if (!c || c->IsHidden()) continue;
        if (NvNode* hit = c->HitTest(x, y)) return hit;
    }
    return this;
}

bool NvCtrlDynamicPanel::OnPointer(uint32_t message, NvCtrlEvent* event, uint16_t subIndex) {
    if (subIndex != kNvNoSubIndex) {
        // A content sub-control reports as a control of its own, and its press
        // goes on to the panel's parent; frame pieces report nothing.
        if (subIndex < kPieces) return true;
        for (uint32_t i = kPieces; i < ChildCount(); ++i) {
            NvControl* c = NvChildControl(this, static_cast<int>(i));
            if (!c || c->m_subIndex != subIndex || !event) continue;
            event->layoutId = c->m_layoutId;
            event->action = message == kNvWmLButtonDown ? 1 : message == kNvWmLButtonUp ? 2 : event->action;
        }
        if (m_parent) m_parent->OnPointer(message, event, subIndex);
        return true;
    }
    if (event) event->layoutId = m_layoutId;
    return true;
}

bool NvCtrlDynamicPanel::MoveTo(int32_t x, int32_t y, bool relative) {
    if (relative) {
        if (!m_parent) return false;
        x += m_parent->m_rect.x;
        y += m_parent->m_rect.y;
    }
    const int32_t dx = x - m_rect.x, dy = y - m_rect.y;
    if (!IsHidden() && !m_stretched)
        for (Piece& p : m_pieces) {
            p.x += dx;
            p.y += dy;
        }
    MoveBy(dx, dy);
    return true;
}

void NvCtrlDynamicPanel::Dump(std::vector<std::string>& lines) {
    NvControl::Dump(lines);
    const std::pair<const char*, int32_t> fields[] = {{"cell width", m_columns}, {"cell height", m_rows},
                                                      {"panel left", m_rect.x},  {"panel top", m_rect.y},
                                                      {"panel width", m_rect.width}, {"panel height", m_rect.height}};
    for (const auto& [key, value] : fields) lines.push_back(std::string(key) + " = " + std::to_string(value));
}
