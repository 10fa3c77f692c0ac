#include "shell/board_helper.h"

#include <algorithm>
#include <cstdio>

#include "foundation/mgr_text.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "render/draw_handles.h"
#include "uikit/ctrl_button.h"
#include "uikit/ctrl_list.h"
#include "uikit/ctrl_panel.h"
#include "uikit/ctrl_value.h"
#include "uikit/image_resource.h"
#include "uikit/nv_text.h"
#include "uikit/popup.h"
#include "uikit/renderer.h"

namespace {

NvBoardManager* g_host = nullptr;

// Package slots of the named packages opened at start-up.
constexpr int kThemePackSlot = 0;
constexpr int kJunctionPackSlot = 1;
constexpr int32_t kLaneCellImage = 2628;
constexpr int32_t kLaneIconBase = 3476;
constexpr uint32_t kGdiKeyColour = 0xFF00FF;

NvImageData* StateImage(NvControl* c) {
    if (!c || !c->m_images[0]) return nullptr;
    return c->m_images[0]->Current();
}

bool Loaded(const NvControl* c) { return c && c->m_controlId != 0; }

// The third child, which carries the sub-text and sub-image of a few
// composite controls.
NvControl* ThirdChild(NvControl* c) { return c ? NvChildControl(c, 2) : nullptr; }

// One digit cell of a strip of ten equal cells, copied at (x, y).
bool CopyCell(NvImageData* target, NvImageData* strip, int cell, int cells, int32_t x, int32_t y) {
    if (!target || !strip || cell < 0 || cell >= cells) return false;
    const int32_t w = strip->width / cells;
    return w > 0 && NvCopyImageRect(target, x, y, w, strip->height, strip, cell * w, 0) == 1;
}

// A text drawn through a drawing context over the image's own pixels.
struct TextPainter {
    MneHandle dc = 0;
    MneHandle font = 0;
    MneHandle oldFont = 0;
    TextPainter(void* pixels, int32_t width, int32_t height, int face, int size, int weight) {
        dc = MneCreateDC(pixels, width, height);
        font = MneCreateFont(size, weight, NvFontFace(face), 0);
        if (!font && face != 0) font = MneCreateFont(size, weight, NvFontFace(0), 0);
        if (dc && font) oldFont = MneSelectFont(dc, font);
    }
    ~TextPainter() {
        if (dc && oldFont) MneSelectFont(dc, oldFont);
        if (font) MneDeleteFont(font);
        if (dc) MneDeleteDC(dc);
    }
    bool Ready() const { return dc && font && oldFont; }
};

// The image a control draws itself from, made its own (not shared with
// the pool) so that drawing into it changes no other control.
NvImageData* OwnImage(NvControl* c) {
    NvImageData* image = StateImage(c);
    if (!image) return nullptr;
    if (!image->pooled) return image;
    auto rsc = NvCreateImageRsc(image->width, image->height, !image->alpha.empty());
    if (!rsc || !rsc->Current()) return nullptr;
    NvCopyImageRect(rsc->Current(), 0, 0, image->width, image->height, image, 0, 0);
    c->m_images[0] = std::move(rsc);
    return StateImage(c);
}

}  // namespace

NvBoardManager* BoardHelper::Host() { return g_host ? g_host : NvGetBoardManager(); }
void BoardHelper::SetHost(NvBoardManager* host) { g_host = host; }

NvControl* BoardHelper::Control(int32_t layoutId) {
    NvBoardManager* host = Host();
    return host ? host->GetControl(layoutId) : nullptr;
}

// ---------------------------------------------------------------- board

void BoardHelper::RedrawBoard(bool full) {
    NvBoardManager* host = Host();
    if (!host) return;
    host->UpdateFrame(platform::GetTickCount());
    host->DrawFrame(full, true);
}

NvImageData* BoardHelper::GetScreenDC() { return NvBackBuffer(); }

int BoardHelper::RedrawControl(int32_t id) {
    NvControl* c = Control(id);
    if (!c) return 0;
    c->SetUpdateFlag(true);
    return 1;
}

int BoardHelper::RedrawNode(NvNode* node) {
    if (!node) return 0;
    node->SetUpdateFlag(true);
    return 1;
}

int BoardHelper::ShowControl(int32_t id, int show) {
    NvControl* c = Control(id);
    if (!Loaded(c)) return 0;
    const bool hidden = c->IsHidden();
    if ((show == 1 && !hidden) || (show == 0 && hidden)) return hidden ? 1 : 0;
    c->SetCullFlag(show == 0);
    c->SetUpdateFlag(true);
    return 0;
}

int BoardHelper::IsControlShown(int32_t id) {
    NvControl* c = Control(id);
    return Loaded(c) && !c->IsHidden() ? 1 : 0;
}

int BoardHelper::HideChildren(int32_t id) {
    NvControl* c = Control(id);
    if (!c) return 0;
    int count = 0;
    for (uint32_t i = 0; i < c->ChildCount(); ++i) {
        if (NvNode* child = c->GetChild(i)) {
            ++count;
            if (!child->IsHidden()) {
                child->SetCullFlag(true);
                child->SetUpdateFlag(true);
            }
        }
    }
    return count;
}

int BoardHelper::OpenPopup(int32_t id, int closeOnTouch, int timeoutMs, int level) {
    NvControl* c = Control(id);
    if (!c || (c->m_flags & kNvFlagPopup)) return 0;
    if (c->m_popup)
        c->ShowPopup(static_cast<uint8_t>(closeOnTouch), static_cast<uint16_t>(timeoutMs), 1,
                     static_cast<uint8_t>(level));
    return 1;
}

int BoardHelper::ClosePopup(int32_t id) {
    NvControl* c = Control(id);
    if (!c) return 0;
    if (c->m_flags & kNvFlagPopup) c->ClosePopup(true);
    return 1;
}

int BoardHelper::IsPopupOpen(int32_t id) {
    NvControl* c = Control(id);
    return c && (c->m_flags & kNvFlagPopup) ? 1 : 0;
}

int32_t BoardHelper::GetGlobalControlId(int32_t id) {
    NvControl* c = Control(id);
    return c ? c->m_controlId : 0;
}

uint16_t BoardHelper::GetControlLayoutAttr(int32_t id) {
    NvControl* c = Control(id);
    return Loaded(c) ? c->m_attr1 : 0;
}

NvControl* BoardHelper::SetSubControlFlag(int32_t id, int on) {
    NvControl* c = Control(id);
    if (c) c->m_subControl = on ? 1 : 0;
    return c;
}

int BoardHelper::IsSubControl(int32_t id) {
    NvControl* c = Control(id);
    return c && c->m_subControl == 1 ? 1 : 0;
}

// ---------------------------------------------------------------- state and values

int BoardHelper::SetControlAltImages(int32_t id, int32_t image4, int32_t image5) {
    if (!IsControlShown(id)) return 0;
    bool ok = Host()->LoadControlImage(id, 4, image4);
    if (image5 != 0) ok = Host()->LoadControlImage(id, 5, image5) && ok;
    return ok ? 1 : 0;
}

int BoardHelper::SetControlStateImages(int32_t id, int32_t image0, int32_t image1) {
    if (!IsControlShown(id)) return 0;
    const bool first = Host()->LoadControlImage(id, 0, image0);
    const bool second = Host()->LoadControlImage(id, 1, image1);
    return first && second ? 1 : 0;
}

int BoardHelper::SetControlImage(int32_t id, int32_t image) {
    if (image == 0 || !IsControlShown(id)) return 0;
    if (!Host()->LoadControlImage(id, 0, image)) return 0;
    return RedrawControl(id);
}

int BoardHelper::SetSubControlImage(int32_t id, int32_t image) {
    NvControl* sub = ThirdChild(Control(id));
    if (!sub || image == 0 || sub->IsHidden()) return 0;
    auto rsc = NvLoadImageRsc(image);
    if (!rsc) return 0;
    sub->m_images[0] = std::move(rsc);
    sub->SetUpdateFlag(true);
    return 1;
}

int BoardHelper::ReleaseControlImage(int32_t id) {
    return Host() && Host()->FreeControlImage(id, 0) ? 1 : 0;
}

int BoardHelper::SetButtonSoundFlag(int32_t id, int on) {
    NvControl* c = Control(id);
    if (!c) return 0;
    if (auto* press = dynamic_cast<NvCtrlPress*>(c); press && !dynamic_cast<NvCtrlButton*>(c))
        press->m_checked = on ? 1 : 0;
    else
        c->m_touchSound = on ? 1 : 0;
    return 1;
}

int BoardHelper::SetControlDim(int32_t id, int dim) {
    NvControl* c = Control(id);
    if (!c) return 0;
    if ((c->m_disabled != 0) != (dim != 0)) NvSetControlDisable(c, dim != 0, true);
    return 1;
}

int BoardHelper::SetCheckBoxChecked(int32_t id, int on) {
    auto* box = dynamic_cast<NvCtrlCheckBox*>(Control(id));
    if (!box) return 0;
    box->SetCheck(on != 0, false);
    return 1;
}

int BoardHelper::IsControlChecked(int32_t id) {
    auto* press = dynamic_cast<NvCtrlPress*>(Control(id));
    return press && press->m_checked ? 1 : 0;
}

uint16_t BoardHelper::GetGaugePos(int32_t id) {
    auto* bar = dynamic_cast<NvCtrlProgressbar*>(Control(id));
    return bar ? bar->m_pos : 0;
}

int BoardHelper::SetGaugePos(int32_t id, int32_t pos) {
    auto* bar = dynamic_cast<NvCtrlProgressbar*>(Control(id));
    if (!bar) return 0;
    return bar->SetPos(static_cast<uint16_t>(pos)) ? 1 : 0;
}

// The kind-specific option byte: a slide bar's drag-moves byte, a list's
// check mode.
int BoardHelper::SetControlOption(int32_t id, int on) {
    NvControl* c = Control(id);
    if (auto* slide = dynamic_cast<NvCtrlSlidebar*>(c)) {
        slide->m_dragMoves = on == 1 ? 1 : 0;
        return 1;
    }
    if (auto* list = dynamic_cast<NvCtrlList*>(c)) {
        list->SetCheckMode(on == 1);
        return 1;
    }
    return 0;
}

int BoardHelper::GetControlOption(int32_t id) {
    NvControl* c = Control(id);
    if (auto* slide = dynamic_cast<NvCtrlSlidebar*>(c)) return slide->m_dragMoves;
    if (auto* list = dynamic_cast<NvCtrlList*>(c)) return list->m_checkMode ? 1 : 0;
    return 0;
}

int BoardHelper::StepSlidebarBack(int32_t id, int32_t n) {
    auto* slide = dynamic_cast<NvCtrlSlidebar*>(Control(id));
    if (!slide || slide->m_count == 0 || n < 0 || n > slide->m_count) return 0;
    return slide->SetPos(slide->m_count - n) ? 1 : 0;
}

uint16_t BoardHelper::GetSlidebarRemaining(int32_t id) {
    auto* slide = dynamic_cast<NvCtrlSlidebar*>(Control(id));
    if (!slide || slide->m_count == 0) return 0;
    return static_cast<uint16_t>(slide->m_count - slide->m_pos);
}

int BoardHelper::SetSlidebarPos(int32_t id, int32_t pos) {
    auto* slide = dynamic_cast<NvCtrlSlidebar*>(Control(id));
    if (!slide) return 0;
    if (slide->m_count > 0) pos = std::min<int32_t>(pos, slide->m_count - 1);
    return slide->SetPos(std::max(pos, 0)) ? 1 : 0;
}

// ---------------------------------------------------------------- text

const char16_t* BoardHelper::GetText(int table, int textId) { return GetMgrText(table, textId); }

std::string BoardHelper::GetTextA(int table, int textId) {
    std::string out;
    platform::Utf16ToCp949(GetText(table, textId), out);
    if (out.size() > 511) out.resize(511);
    return out;
}

int BoardHelper::SetControlText(int32_t id, const char16_t* text) {
    NvControl* c = Control(id);
    if (!Loaded(c)) return 0;
    c->SetText(text ? text : u"", false, true);
    c->SetUpdateFlag(true);
    return 1;
}

int BoardHelper::SetControlTextRes(int32_t id, int table, int textId) {
    return SetControlText(id, GetText(table, textId));
}

namespace {

int ApplyStyle(NvControl* c, int style, bool sub) {
    const NvUiScript* script = NvGetUiScript();
    const tagUISCRIPT_FONT* font = script ? script->GetFont(style) : nullptr;
    if (!c || !font) return 0;
    for (int state = 0; state < 4; ++state) c->SetTextStyle(state, font->style[state], sub);
    c->SetUpdateFlag(true);
    return 1;
}

}  // namespace

int BoardHelper::SetControlTextStyle(int32_t id, int style) { return ApplyStyle(Control(id), style, false); }

int BoardHelper::SetSubControlText(int32_t id, const char16_t* text) {
    NvControl* sub = ThirdChild(Control(id));
    if (!sub) return 0;
    sub->SetText(text ? text : u"", false, true);
    sub->SetUpdateFlag(true);
    return 1;
}

int BoardHelper::SetSubControlTextStyle(int32_t id, int style) {
    return ApplyStyle(ThirdChild(Control(id)), style, false);
}

int BoardHelper::SetControlTextLineAttr(int32_t id, int16_t x, int16_t y) {
    NvControl* c = Control(id);
    if (!c) return 0;
    for (int state = 0; state < 4; ++state) c->SetTextOffset(state, x, y, false);
    c->SetUpdateFlag(true);
    return 1;
}

int BoardHelper::DrawTextOnControlImage(int32_t imageCtrl, int32_t rectCtrl, const std::string& text, int font,
                                        int size, int weight, uint32_t align, uint32_t colour) {
    NvControl* target = Control(imageCtrl);
    NvControl* area = Control(rectCtrl);
    if (!target || !area) return 0;
    NvImageData* image = OwnImage(target);
    if (!image || !image->bits) return 0;
    BoardSection rect;
    GetControlRect(rectCtrl, &rect, 1);
    TextPainter painter(image->bits, image->width, image->height, font, size, weight);
    if (!painter.Ready()) return 0;
    MneSetTextColor(painter.dc, colour);
    MneTextRect r{rect.left, rect.top, rect.right, rect.bottom};
    MneDrawText(painter.dc, text.c_str(), static_cast<int32_t>(text.size()), &r, align);
    target->SetUpdateFlag(true);
    return 1;
}

int BoardHelper::DrawTextResOnControlImage(int32_t imageCtrl, int32_t rectCtrl, int textId, int font, int size,
                                           int weight, uint32_t align, uint32_t colour) {
    return DrawTextOnControlImage(imageCtrl, rectCtrl, GetTextA(2, textId), font, size, weight, align, colour);
}

int BoardHelper::DrawTextAtOnControlImage(int32_t imageCtrl, int32_t x, int32_t y, const char16_t* text, int font,
                                          int size, int weight, uint32_t align, uint32_t colour) {
    NvControl* target = Control(imageCtrl);
    if (!target) return 0;
    if (!text || !text[0]) return 1;
    std::string ansi;
    platform::Utf16ToCp949(text, ansi);
    NvImageData* image = OwnImage(target);
    if (!image || !image->bits) return 0;
    TextPainter painter(image->bits, image->width, image->height, font, size, weight);
    if (!painter.Ready()) return 0;
    MneSetTextColor(painter.dc, colour);
    MneTextRect r{x, y, image->width, image->height};
    MneDrawText(painter.dc, ansi.c_str(), static_cast<int32_t>(ansi.size()), &r, align);
    target->SetUpdateFlag(true);
    return 1;
}

int BoardHelper::MeasureText(const std::string& text, int font, int size, int weight, int32_t* width,
                             int32_t* height) {
    if (width) *width = 0;
    if (height) *height = 0;
    NvImageData* screen = NvBackBuffer();
    if (!screen || !screen->bits) return 0;
    TextPainter painter(screen->bits, screen->width, screen->height, font, size, weight);
    if (!painter.Ready()) return 0;
    MneSize extent{};
    if (!MneGetTextExtent(painter.dc, text.c_str(), static_cast<int32_t>(text.size()), &extent)) return 0;
    if (width) *width = extent.cx;
    if (height) *height = extent.cy;
    return 1;
}

// ---------------------------------------------------------------- geometry

BoardSection BoardHelper::RectToSection(const NvRect& r) { return {r.x, r.y, r.x + r.width, r.y + r.height}; }

NvRect BoardHelper::SectionToRect(const BoardSection& s) {
    NvRect r;
    r.x = s.left;
    r.y = s.top;
    r.width = s.right - s.left;
    r.height = s.bottom - s.top;
    return r;
}

int BoardHelper::GetControlRect(int32_t id, BoardSection* out, int relative) {
    if (!out) return 0;
    *out = BoardSection();
    NvControl* c = Control(id);
    if (!c) return 0;
    BoardSection s = RectToSection(c->m_rect);
    if (relative == 1 && c->m_parent) {
        const NvRect& p = c->m_parent->GetRect();
        s.left -= p.x;
        s.right -= p.x;
        s.top -= p.y;
        s.bottom -= p.y;
    }
    *out = s;
    return 1;
}

int BoardHelper::SetControlRect(int32_t id, const BoardSection& rect, int relative) {
    NvControl* c = Control(id);
    if (!c) return 0;
    NvRect r = SectionToRect(rect);
    if (relative == 1 && c->m_parent) {
        r.x += c->m_parent->GetRect().x;
        r.y += c->m_parent->GetRect().y;
    }
    c->MoveTo(r.x, r.y, false);
    c->m_rect.width = r.width;
    c->m_rect.height = r.height;
    c->SetUpdateFlag(true);
    return 1;
}

int BoardHelper::GetControlPos(int32_t id, int32_t* x, int32_t* y, int spare, int live) {
    NvBoardManager* host = Host();
    return host ? host->GetControlPos(id, x, y, spare, live == 1) : 0;
}

int BoardHelper::SetControlPos(int32_t id, int32_t x, int32_t y, int flag) {
    NvControl* c = Control(id);
    if (!c) return 0;
    const int32_t screenH = NvToolkit().screen.height;
    const uint8_t align = c->m_item ? c->m_item->screenAlign : 0;
    if (align & 4) y = screenH / 2 + y - c->m_rect.height / 2;
    else if (align & 8) y = screenH + y;
    y = std::max(y, 0);
    return Host()->MoveControl(id, x, y, flag != 0) ? 1 : 0;
}

int BoardHelper::MoveControlToControl(int32_t target, int32_t source, int flag) {
    NvControl* s = Control(source);
    if (!s || !Control(target)) return 0;
    return Host()->MoveControl(target, s->m_rect.x, s->m_rect.y, flag != 0) ? 1 : 0;
}

int BoardHelper::GetControlSize(int32_t id, int32_t* width, int32_t* height) {
    NvControl* c = Control(id);
    if (width) *width = c ? c->m_rect.width : 0;
    if (height) *height = c ? c->m_rect.height : 0;
    return c ? 1 : 0;
}

int32_t BoardHelper::GetControlAbsX(int32_t id) {
    NvControl* c = Control(id);
    const tagUISCRIPT_LAYOUT* item = Host() ? Host()->GetLayoutItem(id) : nullptr;
    if (!c || !item) return 0;
    const int32_t screenW = NvToolkit().screen.width;
    int32_t x = item->x;
    if (item->screenAlign & 1) x = screenW / 2 + x - c->m_rect.width / 2;
    else if (item->screenAlign & 2) x = screenW + x;
    return std::max(x, 0);
}

int32_t BoardHelper::GetControlAbsY(int32_t id) {
    NvControl* c = Control(id);
    const tagUISCRIPT_LAYOUT* item = Host() ? Host()->GetLayoutItem(id) : nullptr;
    if (!c || !item) return 0;
    const int32_t screenH = NvToolkit().screen.height;
    int32_t y = item->y;
    if (item->screenAlign & 4) y = screenH / 2 + y - c->m_rect.height / 2;
    else if (item->screenAlign & 8) y = screenH + y;
    return std::max(y, 0);
}

int BoardHelper::ResizeDynamicPanel(int32_t id, int32_t columns, int32_t rows) {
    auto* panel = dynamic_cast<NvCtrlDynamicPanel*>(Control(id));
    if (!panel) return 0;
    int32_t w = 0, h = 0;
    if (!panel->SetCellCount(columns, rows + 2) || !panel->CalcSize(columns, rows + 2, &w, &h)) return 0;
    const int32_t x = std::max(GetControlAbsX(id), 0);
    const int32_t y = std::max(GetControlAbsY(id) - h, 0);
    panel->SetPos(x, y);
    panel->SetUpdateFlag(true);
    return 1;
}

int BoardHelper::ResizeDynamicPanelWidth(int32_t id, int32_t width) {
    auto* panel = dynamic_cast<NvCtrlDynamicPanel*>(Control(id));
    if (!panel) return 0;
    NvControl* fourth = NvChildControl(panel, 3);
    const int32_t height = fourth ? fourth->m_rect.height : panel->m_rect.height;
    if (!panel->SetRect(GetControlAbsX(id), GetControlAbsY(id), width, height)) return 0;
    panel->SetUpdateFlag(true);
    return 1;
}

int BoardHelper::SetStaticRect(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height) {
    auto* view = dynamic_cast<NvCtrlStaticView*>(Control(id));
    if (!view) return 0;
    return view->SetRect(x, y, width, height) ? 1 : 0;
}

// ---------------------------------------------------------------- images

NvImageData* BoardHelper::LoadImage(int32_t resourceId) { return NvGetImageData(resourceId); }

void BoardHelper::ReleaseImage(NvImageData* image) {
    if (image) NvReleaseImageData(image);
}

NvImageData* BoardHelper::LoadImageByName(const std::string& name) {
    const int32_t id = NvFindImageId(name);
    return id > 0 ? LoadImage(id) : nullptr;
}

NvImageData* BoardHelper::GetControlImage(int32_t id) { return StateImage(Control(id)); }

DibImage565* BoardHelper::GetControlBitmap(int32_t id) {
    NvImageData* image = StateImage(Control(id));
    return image && image->bits ? &image->dib : nullptr;
}

int BoardHelper::FillControlImage(int32_t id, uint16_t colour) {
    NvImageData* image = OwnImage(Control(id));
    if (!image) return 0;
    image->Fill(colour);
    RedrawControl(id);
    return 1;
}

int BoardHelper::SetControlImageFlags(int32_t id, uint32_t flags) {
    NvImageData* image = GetControlImage(id);
    if (!image) return 0;
    if (image->drawFlags != flags) image->drawFlags = flags;
    return 1;
}

int BoardHelper::DrawDigit(int32_t id, NvImageData* strip, int digit) {
    if (digit < 0 || digit > 9) return 0;
    NvImageData* image = OwnImage(Control(id));
    if (!CopyCell(image, strip, digit, 10, 0, 0)) return 0;
    RedrawControl(id);
    return 1;
}

int BoardHelper::DrawTwoDigits(int32_t id, NvImageData* strip, int value) {
    if (value < 0 || value > 59 || !strip) return 0;
    NvImageData* image = OwnImage(Control(id));
    const int32_t cell = strip->width / 10;
    if (!CopyCell(image, strip, value / 10, 10, 0, 0) || !CopyCell(image, strip, value % 10, 10, cell, 0)) return 0;
    RedrawControl(id);
    return 1;
}

int BoardHelper::DrawThreeDigits(int32_t id, NvImageData* strip, int32_t overlap, int d1, int d2, int d3) {
    NvImageData* image = OwnImage(Control(id));
    if (!image || !strip) return 0;
    const int32_t cell = strip->width / 10;
    int32_t x = 0;
    for (int d : {d1, d2, d3}) {
        if (d == -1) continue;
        CopyCell(image, strip, d, 10, x, 0);
        x += cell - overlap;
    }
    RedrawControl(id);
    return 1;
}

int BoardHelper::DrawDigitGroup(int32_t id, NvImageData* digits, NvImageData* smallDigits, NvImageData* separator,
                                int32_t x, int d1, int d2, int d3, int flag) {
    NvImageData* image = OwnImage(Control(id));
    if (!image || !digits) return 0;
    const int32_t cell = digits->width / 10;
    for (int d : {d1, d2}) {
        if (d == -1) continue;
        CopyCell(image, digits, d, 10, x, 0);
        x += cell;
    }
    if (flag == 1) {
        if (separator) {
            NvCopyImageRect(image, x, image->height - separator->height, separator->width, separator->height,
                            separator, 0, 0);
            x += separator->width;
        }
        if (d3 != -1 && smallDigits) CopyCell(image, smallDigits, d3, 10, x, image->height - smallDigits->height);
    } else if (d3 != -1) {
        CopyCell(image, digits, d3, 10, x, 0);
    }
    RedrawControl(id);
    return 1;
}

int BoardHelper::DrawCappedBar(int32_t id, int32_t pos, NvImageData* left, NvImageData* middle, NvImageData* right,
                               int count, int max) {
    NvImageData* image = OwnImage(Control(id));
    if (!image || !left || !middle || !right) return 0;
    int32_t x = pos;
    NvCopyImageRect(image, x, 0, left->width, left->height, left, 0, 0);
    x += left->width;
    for (int i = 0; i < std::min(count, max); ++i) {
        NvCopyImageRect(image, x, 0, middle->width, middle->height, middle, 0, 0);
        x += middle->width;
    }
    NvCopyImageRect(image, x, 0, right->width, right->height, right, 0, 0);
    RedrawControl(id);
    return 1;
}

int BoardHelper::DrawCappedBarAtOrigin(int32_t id, NvImageData* left, NvImageData* middle, NvImageData* right,
                                       int count, int max) {
    return DrawCappedBar(id, 0, left, middle, right, count, max);
}

namespace {

std::string LaneImageName(uint32_t code) {
    char name[16];
    std::snprintf(name, sizeof name, "LANE_%08X", code);
    return name;
}

}  // namespace

int BoardHelper::DrawLaneImages(int32_t id, int32_t pos, int count, const uint32_t* codes, int fromStart, int max) {
    NvImageData* image = OwnImage(Control(id));
    if (!image || !codes || count <= 0) return 0;
    NvImageData* cellImage = LoadImage(kLaneCellImage);
    const int32_t cellWidth = cellImage ? cellImage->width : 0;
    ReleaseImage(cellImage);
    if (cellWidth <= 0) return 0;
    int first = 0;
    int shown = count;
    if (max >= 0 && max < count) {
        shown = max;
        first = fromStart == 1 ? 0 : count - max;
    }
    int32_t x = pos;
    int drawn = 0;
    for (int i = first; i < first + shown; ++i) {
        NvImageData* lane = LoadImageByName(LaneImageName(codes[i]));
        if (!lane) continue;
        if (lane->alpha.empty()) NvCopyImageRect(image, x, 0, lane->width, lane->height, lane, 0, 0);
        else NvBlendAlpha(image, x, 0, lane->width, lane->height, lane, 0, 0);
        ReleaseImage(lane);
        x += cellWidth;
        ++drawn;
    }
    RedrawControl(id);
    return drawn;
}

int BoardHelper::DrawLaneIcons(int32_t id, int32_t pos, int max, const uint32_t* codes, int count) {
    NvImageData* image = OwnImage(Control(id));
    if (!image || !codes) return 0;
    NvImageData* cellImage = LoadImage(kLaneCellImage);
    const int32_t cellWidth = cellImage ? cellImage->width : 0;
    ReleaseImage(cellImage);
    if (cellWidth <= 0) return 0;
    int drawn = 0;
    int32_t x = pos;
    for (int i = 0; i < std::min(count, max); ++i, x += cellWidth) {
        NvImageData* lane = LoadImage(static_cast<int32_t>(codes[i]) + kLaneIconBase);
        if (!lane) continue;
        NvCopyImageRect(image, x, 0, lane->width, lane->height, lane, 0, 0);
        ReleaseImage(lane);
        ++drawn;
    }
    RedrawControl(id);
    return drawn;
}

int BoardHelper::IsLaneImageAvailable(uint32_t code) {
    NvImageData* lane = LoadImageByName(LaneImageName(code));
    if (!lane) return 0;
    ReleaseImage(lane);
    return 1;
}

int BoardHelper::DrawImageOnControl(int32_t id, int32_t x, int32_t y, NvImageData* image) {
    NvImageData* target = OwnImage(Control(id));
    if (!target || !image) return 0;
    const int ok = image->alpha.empty() ? NvCopyImageRect(target, x, y, image->width, image->height, image, 0, 0)
                                        : NvBlendAlpha(target, x, y, image->width, image->height, image, 0, 0);
    RedrawControl(id);
    return ok;
}

int BoardHelper::DrawImageAt(int32_t x, int32_t y, NvImageData* image) {
    if (!image || !NvBackBuffer()) return 0;
    return NvDrawAlphaImage(1, 1, x, y, image->width, image->height, image, 0, 0);
}

int BoardHelper::DrawImageOnDC(NvImageData* target, int32_t x, int32_t y, NvImageData* image) {
    if (!target || !image) return 0;
    return NvTransparentBlit(NvPixelsOf(target), x, y, image->width, image->height, image, 0, 0, image->width,
                             image->height, kGdiKeyColour);
}

int BoardHelper::FindPackImage(const std::u16string& name) {
    NvResourceLoaderEx* pack = NvGetResourceLoaderEx(kJunctionPackSlot);
    return pack ? pack->FindIndex(name) : -1;
}

int BoardHelper::FindThemeImage(const std::u16string& name) {
    NvResourceLoaderEx* pack = NvGetResourceLoaderEx(kThemePackSlot);
    return pack ? pack->FindIndex(name) : -1;
}

int BoardHelper::SetControlPackImage(int32_t id, const std::u16string& name) {
    NvControl* c = Control(id);
    NvResourceLoaderEx* pack = NvGetResourceLoaderEx(kJunctionPackSlot);
    if (!c || !pack) return 0;
    NvImageData* image = pack->LoadImageByName(name);
    if (!image) return 0;
    auto rsc = std::make_unique<NvImageRsc>();
    rsc->kind = image->kind;
    rsc->AddFrame(image);  // the resource owns the image from here
    c->m_images[0] = std::move(rsc);
    c->SetUpdateFlag(true);
    return 1;
}

int BoardHelper::SetControlThemeImage(int32_t id, const std::u16string& name) {
    NvControl* c = Control(id);
    NvResourceLoaderEx* pack = NvGetResourceLoaderEx(kThemePackSlot);
    if (!c || !pack || c->m_rect.width <= 0 || c->m_rect.height <= 0) return 0;
    NvImageData* image = pack->LoadImageByName(name);
    if (!image) return 0;
    auto rsc = NvCreateImageRsc(c->m_rect.width, c->m_rect.height, false);
    int ok = 0;
    if (rsc && rsc->Current()) {
        rsc->Current()->Fill(NvColorToPixel(kGdiKeyColour));
        ok = NvStretchImage(rsc->Current(), image);
    }
    NvResourceLoaderEx::FreeImage(image);
    if (!ok) return 0;
    c->m_images[0] = std::move(rsc);
    c->SetUpdateFlag(true);
    return 1;
}

void BoardHelper::DimScreen() {
    NvImageData* back = NvBackBuffer();
    if (back && back->bits) NvDimBuffer(back->bits, back->width, back->height, 50);
}

const tagUISCRIPT_LAYOUT* BoardHelper::GetBoardScriptItem(int32_t boardId, int32_t n) {
    const NvUiScript* script = NvGetUiScript();
    return script ? script->GetLayout(boardId, n) : nullptr;
}

const tagUISCRIPT_CONTROL* BoardHelper::GetControlScript(int32_t id) {
    NvControl* c = Control(id);
    return c ? c->m_record : nullptr;
}
