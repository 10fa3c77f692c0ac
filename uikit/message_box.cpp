#include "uikit/message_box.h"

#include <vector>

#include "uikit/board_manager.h"
#include "uikit/nv_text.h"
#include "uikit/renderer.h"

namespace {

NvMessageSource* g_source = nullptr;
bool g_open = false;
std::vector<std::function<void()>> g_deferred;

constexpr uint32_t kWmKeyUp = 257, kWmMouseMove = 512, kWmRButtonDown = 516, kWmRButtonUp = 517;
constexpr uint32_t kPressSettleMs = 20;

// The choice a button's layout id makes for a box of n buttons, 0 for none.
int ChoiceOf(int buttons, int32_t layoutId) {
    switch (buttons) {
        case 1: return layoutId == 4 ? 1 : 0;
        case 2: return layoutId == 1 ? 1 : layoutId == 2 ? 2 : 0;
        case 3: return layoutId >= 3 && layoutId <= 5 ? layoutId - 2 : 0;
        default: return 0;
    }
}

tagUISCRIPT_LAYOUT MadeItem(int32_t layoutId, int32_t parentId, int32_t controlId, int32_t x, int32_t y) {
    tagUISCRIPT_LAYOUT item{};
    item.layoutId = layoutId;
    item.parentId = parentId;
    item.controlId = controlId;
    item.x = static_cast<int16_t>(x);
    item.y = static_cast<int16_t>(y);
    item.textId = -1;
    item.fontId = -1;
    for (auto& t : item.text) t.align = 255;
    item.visible = 1;
    item.popup = 1;
    item.relative = 1;
    item.backgroundMode = 255;
    item.textTable = 255;
    item.screenAlign = 255;
    return item;
}

void Caption(NvControl* button, const char16_t* text) {
    if (!button) return;
    button->SetText(text ? text : u"", false, true);
    button->SetCullFlag(false);
}

}  // namespace

void NvSetMessageSource(NvMessageSource* source) { g_source = source; }
NvMessageSource* NvGetMessageSource() { return g_source; }

bool NvIsMessageBoxOpen() { return g_open; }

void NvRunAfterMessageBox(std::function<void()> work) {
    if (!work) return;
    if (g_open) g_deferred.push_back(std::move(work));
    else work();
}

NvCtrlMessageBox::NvCtrlMessageBox() = default;

NvCtrlMessageBox::~NvCtrlMessageBox() {
    for (NvControl*& c : m_box) {
        delete c;  // leaves the box's children table
        c = nullptr;
    }
}

int NvShowMessageBox(int32_t controlId, const char16_t* text, int buttonCount, const char16_t* first,
                     const char16_t* second, const char16_t* third, uint16_t timeoutMs, int style) {
    const NvUiScript* script = NvGetUiScript();
    const tagUISCRIPT_CONTROL* record = script ? script->GetControl(controlId) : nullptr;
    NvMessageSource* source = g_source;
    // Nested boxes are not supported: one box at a time.
    if (!NvBackBuffer() || !record || record->kind != kUiKindPanel || !source || g_open) return -1;
    // Fewer than six parts is not a message box.
    if (record->subCount < NvCtrlMessageBox::kChildren || record->subCount == 0xFFFF) return -1;
    NvBoardManager* host = NvGetBoardManager();
    NvToolkitState& t = NvToolkit();
    if (host) {
        host->Focus().Push();
        host->Focus().Reset();
    }

    // The class is chosen here, not by the factory: the shared control
    // record stays as it was (a static panel keeps drawing as a panel).
    auto box = std::make_unique<NvCtrlMessageBox>();
    box->m_kind = record->kind;
    box->m_controlId = controlId;
    box->m_layoutId = 1;
    box->m_record = record;
    box->m_attr1 = record->attr1;
    box->m_popup = 1;
    box->m_rect = {t.screen.width / 2 - record->width / 2, record->width, t.screen.height / 2 - record->height / 2,
                   record->height};
    box->m_highestParent = NvCtrlMessageBox::kChildren + 1;
    box->SetUpdateFlag(true);

    for (int j = 0; j < NvCtrlMessageBox::kChildren; ++j) {
        const tagUISCRIPT_CONTROL* sub = script->GetControl(record->firstSub + j);
        box->m_items[j] = MadeItem(j, 1, record->firstSub + j, sub ? sub->image[0].x : 0, sub ? sub->image[0].y : 0);
        NvControl* c = NvCreateControl(&box->m_items[j], static_cast<uint16_t>(j));
        if (!c) continue;
        c->m_item = nullptr;
        c->m_itemExtra = nullptr;
        c->m_bgMode = 2;
        box->m_box[j] = c;
        box->AddChild(c, false);
    }
    box->LoadImagesAll(3);
    box->LayoutAll();
    for (int j = 0; j < NvCtrlMessageBox::kChildren; ++j) {
        NvControl* c = box->m_box[j];
        if (!c) continue;
        if (j >= 1) {
            c->SetCullFlag(true);
            c->m_subControl = 0;
        }
        if ((c->m_rect.width <= 0 || c->m_rect.height <= 0) && c->m_images[0]) {
            c->m_rect.width = c->m_images[0]->m_rect.width;
            c->m_rect.height = c->m_images[0]->m_rect.height;
        }
    }
    if (NvControl* message = box->m_box[0]) {
        message->SetText(text ? text : u"", false, true);
        message->SetCullFlag(false);
        for (int s = 0; s < 4; ++s) message->SetTextFontSize(s, style == 1 || style == 2 ? 22 : 24, false);
    }
    for (int j = 1; j < NvCtrlMessageBox::kChildren; ++j) {
        NvControl* c = box->m_box[j];
        if (!c) continue;
        NvText* caption = c->GetTextObject(false, true);
        const tagUISCRIPT_TEXTSTYLE white{255, 255, 255, 0, 20, 0, 400};
        for (int s = 0; s < 2; ++s) {
            caption->SetStyle(s, white);
            caption->SetAlign(s, 5);
        }
        caption->SetOffset(1, 0, 2);
    }
    box->m_buttonCount = buttonCount;
    switch (buttonCount) {
        case 1: Caption(box->m_box[4], first); break;
        case 2:
            Caption(box->m_box[1], first);
            Caption(box->m_box[2], second);
            break;
        case 3:
            Caption(box->m_box[3], first);
            Caption(box->m_box[4], second);
            Caption(box->m_box[5], third);
            break;
        default: break;
    }
    t.messageBox = box.get();
    g_open = true;
    box->Draw(1, true);

    // The loop. The time-out is a real deadline: it ends the box even when no
    // message arrives. A choice ends it once 20 ms passed since the press,
    // with or without a later message.
    int result = 0;
    int choice = 0;
    uint32_t pressTick = 0;
    bool quit = false;
    NvMessage quitMessage;
    const uint32_t deadline = source->Now() + timeoutMs;
    for (;;) {
        NvMessage m;
        const bool waitForChoice = choice != 0;
        const uint32_t until = waitForChoice ? pressTick + kPressSettleMs + 1 : deadline;
        if (!source->Wait(&m, waitForChoice || timeoutMs != 0, until)) {
            result = choice;  // a settled choice, or 0 for the time-out
            break;
        }
        if (m.message == kNvWmQuit) {
            quit = true;
            quitMessage = m;
            result = 0;
            break;
        }
        if (choice && m.tick - pressTick > kPressSettleMs) {
            result = choice;
            break;
        }
        if (!choice && timeoutMs != 0 && static_cast<int32_t>(m.tick - deadline) > 0) {
            result = 0;
            break;
        }
        bool pressed = false;
        if (m.message == kNvWmLButtonDown) {
            t.lastX = static_cast<int32_t>(m.lParam & 0xFFFF);
            t.lastY = static_cast<int32_t>(m.lParam >> 16);
            NvNode* hit = box->HitTest(t.lastX, t.lastY);
            if (hit && hit != box.get()) {
                hit->OnPointer(kNvWmLButtonDown, &box->m_event, kNvNoSubIndex);
                hit->Draw(1, true);
                pressed = true;
            }
        } else if (m.message == kWmKeyUp || m.message == kWmMouseMove || m.message == kNvWmLButtonUp ||
                   m.message == kWmRButtonDown || m.message == kWmRButtonUp) {
            // swallowed
        } else {
            t.fullRedraw = true;
            source->Dispatch(m);
        }
        if (pressed && !choice) {
            box->Draw(1, false);
            pressTick = m.tick;
            choice = ChoiceOf(buttonCount, box->m_event.layoutId);
        }
    }

    if (quit) source->PostQuit(quitMessage.wParam, quitMessage.lParam);
    t.messageBox = nullptr;
    box->ReleaseImagesAll();
    box.reset();
    t.fullRedraw = true;
    if (host) host->Focus().Pop();
    g_open = false;
    std::vector<std::function<void()>> deferred;
    deferred.swap(g_deferred);
    for (auto& work : deferred) work();
    return result;
}
