#include "uikit/nv_object.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "foundation/mgr_text.h"
#include "platform/codepage.h"
#include "uikit/board_manager.h"
#include "uikit/nv_text.h"
#include "uikit/popup.h"
#include "uikit/renderer.h"

const NvRuntimeClass NvObject::kClass{"NvObject", nullptr};
const NvRuntimeClass NvRscObject::kClass{"NvRscObject", &NvObject::kClass};
const NvRuntimeClass NvNode::kClass{"NvNode", &NvRscObject::kClass};
const NvRuntimeClass NvControl::kClass{"NvControl", &NvNode::kClass};
const NvRuntimeClass NvCtrlStatic::kClass{"NvCtrlStatic", &NvControl::kClass};
const NvRuntimeClass NvCtrlStaticPanel::kClass{"NvCtrlStaticPanel", &NvControl::kClass};

namespace {

const NvUiScript* g_script = nullptr;

NvControl* MakeStatic(const tagUISCRIPT_CONTROL&) { return new NvCtrlStatic(); }
NvControl* MakeStaticPanel(const tagUISCRIPT_CONTROL& r) {
    if (r.attr2 == 0) return new NvCtrlStaticPanel();
    return new NvControl();  // the message box (attribute 1) comes with its own class
}
NvControl* MakeGeneric(const tagUISCRIPT_CONTROL&) { return new NvControl(); }

NvControlFactory DefaultFactory(int32_t kind) {
    switch (kind) {
        case kUiKindStatic: return MakeStatic;
        case kUiKindPanel: return MakeStaticPanel;
        default: return MakeGeneric;
    }
}

NvControlFactory g_factories[17] = {};

std::string Format(const char* key, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
std::string Format(const char*, const char* fmt, ...) {
    char buffer[320];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(buffer, sizeof buffer, fmt, args);
    va_end(args);
    return buffer;
}

const char* TrueFalse(bool v) { return v ? "true" : "false"; }

}  // namespace

// ---------------------------------------------------------------- NvObject, NvRscObject

bool NvObject::IsKindOf(const NvRuntimeClass* cls) const {
    for (const NvRuntimeClass* c = GetRuntimeClass(); c; c = c->baseClass)
        if (c == cls) return true;
    return false;
}

NvRscObject* NvRscObject::FindByName(const char* name) {
    if (!name || m_name.empty()) return nullptr;
    return m_name == name ? this : nullptr;
}

void NvRscObject::Update(uint32_t, uint32_t, uint32_t) {
    if (m_rect.width > 0 && m_rect.height > 0) SetUpdateFlag(true);
}

void NvRscObject::Draw(int, bool) { SetUpdateFlag(false); }

NvRect NvRscObject::GetLocalRect() const {
    NvRect r = m_rect;
    if (m_parent) {
        r.x -= m_parent->m_rect.x;
        r.y -= m_parent->m_rect.y;
    }
    return r;
}

// ---------------------------------------------------------------- NvNode

NvNode::~NvNode() {
    for (uint32_t i = 0; i < m_children.Count(); ++i) RemoveChildAt(i);
    if (m_parent) m_parent->RemoveChild(this);
}

NvRscObject* NvNode::FindByName(const char* name) {
    if (NvRscObject* self = NvRscObject::FindByName(name)) return self;
    for (uint32_t i = 0; i < m_children.Count(); ++i)
        if (NvNode* c = m_children.At(i))
            if (NvRscObject* found = c->FindByName(name)) return found;
    return nullptr;
}

NvNode* NvNode::HitTest(int32_t x, int32_t y) {
    if (!m_rect.Contains(x, y)) return nullptr;
    for (uint32_t i = m_children.Count(); i-- > 0;) {
        NvNode* c = m_children.At(i);
        if (!c || c->IsHidden()) continue;
        if (NvNode* hit = c->HitTest(x, y)) return hit;
    }
    return this;
}

void NvNode::Update(uint32_t tick, uint32_t arg, uint32_t updateFlags) {
    if (updateFlags & kNvUpdateDirty) SetUpdateFlag(true);
    for (uint32_t i = 0; i < m_children.Count(); ++i)
        if (NvNode* c = m_children.At(i)) c->Update(tick, arg, updateFlags);
}

void NvNode::MoveBy(int32_t dx, int32_t dy) {
    m_rect.x += dx;
    m_rect.y += dy;
    SetUpdateFlag(true);
    for (uint32_t i = 0; i < m_children.Count(); ++i)
        if (NvNode* c = m_children.At(i)) c->MoveBy(dx, dy);
}

void NvNode::Draw(int target, bool full) {
    for (uint32_t i = 0; i < m_children.Count(); ++i) {
        NvNode* c = m_children.At(i);
        if (Visible(c)) c->Draw(target, full);
    }
}

void NvNode::AddChild(NvNode* child, bool reuse) {
    if (!child) return;
    if (child->m_parent) child->m_parent->RemoveChild(child);
    child->m_parent = this;
    if (reuse) m_children.AddReuse(child);
    else m_children.AppendAt(m_children.Count(), child);
}

int32_t NvNode::IndexOf(const NvNode* child) const {
    for (uint32_t i = 0; i < m_children.Count(); ++i)
        if (m_children.At(i) == child) return static_cast<int32_t>(i);
    return -1;
}

NvNode* NvNode::RemoveChild(NvNode* child) {
    const int32_t i = child ? IndexOf(child) : -1;
    if (i < 0) return nullptr;
    return RemoveChildAt(static_cast<uint32_t>(i));
}

NvNode* NvNode::RemoveChildAt(uint32_t index) {
    NvNode* c = m_children.At(index);
    if (!c) return nullptr;
    c->m_parent = nullptr;
    m_children.RemoveAt(index);
    return c;
}

NvNode* NvNode::SetChildAt(uint32_t index, NvNode* child) {
    if (index >= m_children.Count()) {
        if (child) child->m_parent = this;
        m_children.AppendAt(index, child);
        return nullptr;
    }
    NvNode* old = m_children.At(index);
    if (old) old->m_parent = nullptr;
    if (child) child->m_parent = this;
    m_children.SetAt(index, child);
    return old;
}

bool NvNode::OnPointer(uint32_t, NvCtrlEvent*, uint16_t) { return true; }

void NvNode::NotifyParent(int32_t value) {
    if (m_parent) m_parent->NotifyParent(value);
}

void NvNode::ChangeZOrder(bool raise) {
    if (!m_parent) return;
    NvTArray<NvNode*>& siblings = m_parent->m_children;
    std::vector<NvNode*> order;
    for (uint32_t i = 0; i < siblings.Count(); ++i) order.push_back(siblings.At(i));
    auto it = std::find(order.begin(), order.end(), this);
    if (it != order.end()) {
        order.erase(it);
        if (raise) order.push_back(this);
        else order.insert(order.begin(), this);
        siblings.Swap(order);
    }
    m_parent->ChangeZOrder(raise);
}

void NvNode::Dump(std::vector<std::string>& lines) {
    lines.push_back(Format("", "this = %p", static_cast<void*>(this)));
    lines.push_back("--- NvRscObject ---");
    lines.push_back(Format("", "cull flag = %s", TrueFalse(m_flags & kNvFlagHidden)));
    lines.push_back(Format("", "update flag = %s", TrueFalse(m_flags & kNvFlagDirty)));
    lines.push_back(Format("", "popup flag = %s", TrueFalse(m_flags & kNvFlagPopup)));
    lines.push_back(Format("", "left = %d", m_rect.x));
    lines.push_back(Format("", "top = %d", m_rect.y));
    lines.push_back(Format("", "width = %d", m_rect.width));
    lines.push_back(Format("", "height = %d", m_rect.height));
    lines.push_back("--- NvNode ---");
    if (m_parent) {
        lines.push_back(Format("", "parent = %p", static_cast<void*>(m_parent)));
        lines.push_back(Format("", "child index = %d", m_parent->IndexOf(this)));
    }
    lines.push_back(Format("", "children cnt = %u", m_children.Count()));
}

void NvNode::DumpTree(std::vector<std::string>& lines) {
    Dump(lines);
    for (uint32_t i = 0; i < m_children.Count(); ++i)
        if (NvNode* c = m_children.At(i)) c->DumpTree(lines);
}

void NvNode::LayoutAll() {
    Layout();
    for (uint32_t i = 0; i < m_children.Count(); ++i)
        if (NvNode* c = m_children.At(i)) c->LayoutAll();
}

// ---------------------------------------------------------------- NvControl

NvControl::NvControl() = default;
NvControl::~NvControl() = default;

NvImageRsc* NvControl::ChosenImage() {
    const int state = (m_state >= 1 && m_state <= 4) ? m_state - 1 : 0;
    return m_images[state] ? m_images[state].get() : m_images[0].get();
}

void NvControl::RestoreAncestors() {
    NvControl* chain[32];
    int n = 0;
    for (NvNode* p = m_parent; p && n < 32; p = p->m_parent)
        if (p->IsKindOf(&NvControl::kClass)) chain[n++] = static_cast<NvControl*>(p);
    for (int i = n - 1; i >= 0; --i) {
        NvControl* a = chain[i];
        if (a->m_kind == kUiKindPanel && a->m_attr1 == 1) continue;
        NvImageRsc* image = a->m_images[0].get();
        if (!image || a->m_rect.x > m_rect.x || a->m_rect.y > m_rect.y) continue;
        image->DrawImage(m_rect.x, m_rect.y, m_rect.width, m_rect.height, 2, m_rect.x - a->m_rect.x,
                         m_rect.y - a->m_rect.y);
    }
}

void NvControl::DrawSelf() {
    if (m_bgMode == 1) RestoreAncestors();
    if (NvImageRsc* image = ChosenImage())
        image->DrawImage(m_rect.x, m_rect.y, m_rect.width, m_rect.height, m_bgMode == 1 ? 2 : m_bgMode);
    const int textState = (m_state >= 1 && m_state <= 4) ? m_state - 1 : 0;
    if (m_text) {
        m_text->SetOwnerRect(m_rect);
        m_text->Draw(textState, NvToolkit().tick);
    }
    if (m_textML) m_textML->Draw();
    SetUpdateFlag(false);
}

void NvControl::Draw(int target, bool full) {
    if (m_rect.width <= 0 || m_rect.height <= 0) return;
    if (IsDirty() || full) DrawSelf();
    NvNode::Draw(target, full);
}

void NvControl::Dump(std::vector<std::string>& lines) {
    NvNode::Dump(lines);
    lines.push_back(Format("", "--- %s ---", GetRuntimeClass()->className));
    lines.push_back(Format("", "layout id = %u", static_cast<uint32_t>(m_layoutId)));
    lines.push_back(Format("", "control id = %u", static_cast<uint32_t>(m_controlId)));
    lines.push_back(Format("", "parent id = %u", static_cast<uint32_t>(m_parentLayoutId)));
    lines.push_back(Format("", "alpha bg = %u", m_bgMode));
    lines.push_back(Format("", "subctl flag = %s", TrueFalse(m_subControl)));
    if (m_text && m_text->GetText()) {
        std::string ansi = m_text->Ansi().substr(0, 256);
        lines.push_back(Format("", "text = %s", ansi.c_str()));
    }
    if (m_record) lines.push_back(Format("", "attr 1 = %d", m_attr1));
    for (int s = 0; s < 6; ++s) {
        if (!m_images[s]) continue;
        NvImageData* image = m_images[s]->Current();
        lines.push_back(Format("", "rsc %d", s));
        lines.push_back(Format("", "rsc w = %d", m_images[s]->m_rect.width));
        lines.push_back(Format("", "rsc h = %d", m_images[s]->m_rect.height));
        lines.push_back(Format("", "rsc kind = %s", image ? image->KindName() : "RESOURCE_NONE"));
    }
}

void NvControl::Layout() {
    if (m_relative && m_parent) {
        m_rect.x += m_parent->m_rect.x;
        m_rect.y += m_parent->m_rect.y;
    }
    if (m_item && m_parent && m_text)
        for (int s = 0; s < 4; ++s) m_text->SetOffset(s, m_item->text[s].x, m_item->text[s].y);
}

void NvControl::LoadImagesAll(int mode) {
    // Mode 1 skips a popup with its whole subtree; mode 2 loads popups only
    // (their sub-controls are popups too) and looks for them below the rest.
    if (mode == 1 && m_popup) return;
    if (mode != 2 || m_popup) LoadStateImages();
    for (uint32_t i = 0; i < m_children.Count(); ++i) {
        NvNode* c = m_children.At(i);
        if (c && c->IsKindOf(&NvControl::kClass)) static_cast<NvControl*>(c)->LoadImagesAll(mode);
    }
}

void NvControl::ReleaseImagesAll() {
    ReleaseStateImages();
    for (uint32_t i = 0; i < m_children.Count(); ++i) {
        NvNode* c = m_children.At(i);
        if (c && c->IsKindOf(&NvControl::kClass)) static_cast<NvControl*>(c)->ReleaseImagesAll();
    }
}

bool NvControl::LoadStateImages() {
    if ((m_kind == kUiKindStatic && m_attr1 != 0) || m_kind == kUiKindMapPanel) {
        if (!m_images[0] && m_rect.width > 0 && m_rect.height > 0) {
            m_images[0] = NvCreateImageRsc(m_rect.width, m_rect.height, m_kind == kUiKindStatic && m_attr1 == 2);
            // A drawing surface is filled with the key colour: what the screen
            // has not painted yet lets the controls under it show through.
            if (m_images[0] && m_images[0]->Current()) m_images[0]->Current()->drawFlags |= kImageDrawColorKey;
        }
        return true;
    }
    if (!m_record) return true;
    for (int s = 0; s < 6; ++s) {
        const int32_t id = m_record->image[s].imageId;
        if (id <= 0 || m_images[s]) continue;
        m_images[s] = NvLoadImageRsc(id);
        if (!m_images[s]) continue;  // "ERR:fail to load image resource": the state stays empty
        m_images[s]->m_rect.x = m_record->image[s].x;
        m_images[s]->m_rect.y = m_record->image[s].y;
    }
    return true;
}

bool NvControl::ReleaseStateImages() {
    for (auto& image : m_images) {
        if (image && image.get() == NvGetBackgroundLayer()) NvSetBackgroundLayer(nullptr);
        image.reset();
    }
    return true;
}

bool NvControl::ShowPopup(uint16_t, uint16_t, uint8_t, uint8_t) { return true; }

bool NvControl::ClosePopup(bool all) {
    if (m_popup) {
        if (all) NvClosePopupLevel(this);
        else NvHidePopup(this, true);
    }
    NvToolkit().fullRedraw = true;
    return true;
}

void NvControl::AlignAll() {
    Align();
    for (uint32_t i = 0; i < m_children.Count(); ++i) {
        NvNode* c = m_children.At(i);
        if (c && c->IsKindOf(&NvControl::kClass)) static_cast<NvControl*>(c)->AlignAll();
    }
}

void NvControl::Align() {
    if (!m_item || m_item->relative) return;
    const int32_t W = NvToolkit().screen.width, H = NvToolkit().screen.height;
    const int32_t w = m_rect.width, h = m_rect.height;
    const uint8_t a = m_item->screenAlign == 255 ? 0 : m_item->screenAlign;
    int32_t x, y;
    switch (a & 3) {
        case 1: x = (W >> 1) - (w >> 1) + m_item->x; break;
        case 2: x = W + m_item->x; break;
        default: x = m_item->x; break;
    }
    switch (a & 12) {
        case 4: y = (H >> 1) - (h >> 1) + m_item->y; break;
        case 8: y = H + m_item->y; break;
        default: y = m_item->y; break;
    }
    x = static_cast<int16_t>(x);
    y = static_cast<int16_t>(y);
    if (x < 0) x = 0;
    if (x + w >= W) x = W - w;
    if (y < 0) y = 0;
    if (y + h >= H) y = H - h;
    if (x != m_rect.x || y != m_rect.y) MoveBy(x - m_rect.x, y - m_rect.y);
}

bool NvControl::MoveTo(int32_t x, int32_t y, bool relative) {
    if (relative) {
        if (!m_parent) return false;
        x += m_parent->m_rect.x;
        y += m_parent->m_rect.y;
    }
    MoveBy(x - m_rect.x, y - m_rect.y);
    return true;
}

NvText* NvControl::GetTextObject(bool sub, bool create) {
    std::unique_ptr<NvText>& t = sub ? m_subText : m_text;
    if (!t && create) t = std::make_unique<NvText>(&m_rect);
    return t.get();
}

void NvControl::SetText(const char16_t* text, bool sub, bool redraw) {
    GetTextObject(sub, true)->SetText(text);
    if (redraw) SetUpdateFlag(true);
}

const char16_t* NvControl::GetText(bool sub) {
    NvText* t = GetTextObject(sub, false);
    return t ? t->GetText() : nullptr;
}

void NvControl::SetTextOffset(int state, int16_t x, int16_t y, bool sub) {
    GetTextObject(sub, true)->SetOffset(state, x, y);
}
void NvControl::SetTextFontSize(int state, uint8_t size, bool sub) { GetTextObject(sub, true)->SetFontSize(state, size); }
void NvControl::SetTextStyle(int state, const tagUISCRIPT_TEXTSTYLE& style, bool sub) {
    GetTextObject(sub, true)->SetStyle(state, style);
}

void NvControl::SetTextColor(int state, uint8_t red, uint8_t green, uint8_t blue, bool sub) {
    GetTextObject(sub, true)->SetColor(state, red, green, blue);
}
void NvControl::SetTextAlign(int state, uint16_t align, bool sub) { GetTextObject(sub, true)->SetAlign(state, align); }
int NvControl::GetTextLength(bool sub) {
    NvText* t = GetTextObject(sub, false);
    return t ? t->GetLength() : 0;
}
void NvControl::SetTextKeepEnd(bool on, bool sub) { GetTextObject(sub, true)->SetKeepEnd(on); }

void NvControl::SetCaretIndex(uint16_t index, bool redraw) {
    GetTextObject(false, true)->SetCaretIndex(index);
    if (redraw) SetUpdateFlag(true);
}
uint16_t NvControl::GetCaretIndex() { return m_text ? m_text->GetCaretIndex() : 0; }
void NvControl::SetCaretEnable(bool on) {
    NvText* t = GetTextObject(false, true);
    t->SetCaretEnable(on);
    m_caretFlag = (t->CaretEnabled() || t->CaretShown()) ? 1 : 0;
}
void NvControl::SetCaretShow(bool on) {
    NvText* t = GetTextObject(false, true);
    t->SetCaretShow(on);
    m_caretFlag = (t->CaretEnabled() || t->CaretShown()) ? 1 : 0;
}
void NvControl::SetTextML(std::unique_ptr<NvTextML> text) {
    m_textML = std::move(text);
    SetUpdateFlag(true);
}

bool NvCtrlStaticPanel::ShowPopup(uint16_t, uint16_t, uint8_t, uint8_t) {
    SetFlags(true, kNvFlagPopup);
    return true;
}

// ---------------------------------------------------------------- creation

void NvRegisterControlKind(int32_t kind, NvControlFactory factory) {
    if (kind >= 1 && kind <= 16) g_factories[kind] = factory;
}

void NvSetUiScript(const NvUiScript* script) { g_script = script; }

bool NvStepRemoconFocus(int32_t& focus, int count, int direction) {
    if (focus < 0 || focus >= count) return false;
    if (direction == 3 && focus > 0) return --focus, true;
    if (direction == 4 && focus + 1 < count) return ++focus, true;
    return false;
}
const NvUiScript* NvGetUiScript() { return g_script; }

NvControl* NvCreateControl(const tagUISCRIPT_LAYOUT* item, uint16_t subIndex) {
    if (!item || !g_script) return nullptr;
    const tagUISCRIPT_CONTROL* record = g_script->GetControl(item->controlId);
    if (!record || record->kind < 1 || record->kind > 16) return nullptr;
    if (record->kind == kUiKindPanel && record->attr2 != 0 && record->attr2 != 1) return nullptr;
    const bool hasText = item->textId > 0 || item->fontId > 0;
    const tagUISCRIPT_FONT* font = item->fontId > 0 ? g_script->GetFont(item->fontId) : nullptr;
    if (item->fontId > 0 && !font) return nullptr;
    NvControlFactory make = g_factories[record->kind] ? g_factories[record->kind] : DefaultFactory(record->kind);
    NvControl* c = make(*record);
    if (!c) return nullptr;
    c->m_kind = record->kind;
    c->m_rect = {item->x, record->width, item->y, record->height};
    c->m_popup = item->popup == 1 ? 1 : 0;
    c->m_parentLayoutId = item->parentId < 0 ? 0 : item->parentId;
    c->m_layoutId = item->layoutId;
    c->m_controlId = item->controlId;
    c->m_subIndex = subIndex;
    c->m_itemExtra = item->extra;
    c->m_record = record;
    c->m_item = item;
    c->m_relative = item->relative == 1 ? 1 : 0;
    c->m_attr1 = record->attr1;
    if (hasText) {
        const int table = item->textTable == 0 || item->textTable == 255 ? 1 : item->textTable;
        const char16_t* text = item->textId > 0 ? GetMgrText(table, item->textId) : u"";
        NvText* t = c->GetTextObject(false, true);
        t->SetText(text ? text : u"");
        for (int s = 0; s < 4; ++s) {
            if (font) t->SetStyle(s, font->style[s]);
            else {
                t->SetColor(s, 255, 255, 255);
                t->SetFontSize(s, 24);
            }
            if (item->text[s].align != 255) t->SetAlign(s, item->text[s].align);
        }
        if (font) t->SetFontIndex(static_cast<uint8_t>(font->fontNumber >= 1 && font->fontNumber <= 5 ? font->fontNumber - 1 : 0));
    }
    c->SetFlags(item->visible != 1, kNvFlagHidden);
    c->SetUpdateFlag(true);
    if (record->subControl > 0) {
        c->m_subControl = 1;
        c->SetCullFlag(false);
        c->m_bgMode = 1;
    } else {
        c->m_bgMode = (item->backgroundMode != 0 && item->backgroundMode != 255) ? item->backgroundMode : 0;
    }
    return c;
}
