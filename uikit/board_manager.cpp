#include "uikit/board_manager.h"

#include <algorithm>

#include <unistd.h>

#include "foundation/debug_trace.h"
#include "platform/clock.h"
#include "uikit/ctrl_button.h"
#include "uikit/ctrl_edit_box.h"
#include "uikit/ctrl_keyboard.h"
#include "uikit/nv_text.h"
#include "uikit/renderer.h"

const NvRuntimeClass NvBoard::kClass{"NvBoard", &NvControl::kClass};

namespace {

NvBoardManager* g_host = nullptr;

}  // namespace

NvToolkitState& NvToolkit() {
    static NvToolkitState state;
    return state;
}

NvBoardManager* NvGetBoardManager() { return g_host; }

int NvDispatchWindowInput(NvPresenter& window, NvBoardManager& host, NvMessageQueue& queue) {
    NvMessageQueue input;
    const bool open = window.PumpInput(input, platform::GetTickCount());
    int handed = 0;
    NvMessage m;
    while (input.Peek(&m)) {
        if (m.message == kNvWmLButtonDown) {
            host.ProcessInput(m.tick, m.message, m.lParam, 0);
            ++handed;
        } else if (m.message == kNvWmSize) {
            host.ProcessInput(m.tick, m.message, 0, m.lParam);
            ++handed;
        } else {
            queue.Post(m.message, m.wParam, m.lParam, m.tick);
        }
    }
    return open ? handed : -1;
}

void NvScreenToBoardPos(int32_t x, int32_t y, int32_t* outX, int32_t* outY) {
    const NvToolkitState& t = NvToolkit();
    if (outX) *outX = x - (t.screen.width - t.designWidth) / 2;
    if (outY) *outY = y - (t.screen.height - t.designHeight) / 2;
}

// ---------------------------------------------------------------- NvBoard

NvBoard::~NvBoard() { DestroyControls(); }

NvControl* NvBoard::GetControl(int32_t index) const {
    if (index < 0 || index >= ControlCount()) return nullptr;
    return m_controls[static_cast<size_t>(index)];
}

void NvBoard::DestroyControls() {
    NvCloseAllPopups();
    for (NvControl*& c : m_controls) {
        delete c;  // leaves its parent and detaches its children
        c = nullptr;
    }
    m_controls.clear();
}

void NvBoard::Update(uint32_t tick, uint32_t arg, uint32_t updateFlags) {
    if (m_state == 2) m_state = 1;
    if (updateFlags & kNvUpdateDirty) SetUpdateFlag(true);
    for (uint32_t i = 0; i < m_children.Count(); ++i) {
        NvNode* c = m_children.At(i);
        if (Visible(c)) c->Update(tick, arg, updateFlags);
    }
}

void NvBoard::Draw(int target, bool full) {
    if (m_rect.width <= 0 || m_rect.height <= 0) return;
    NvNode::Draw(target, full);
    SetUpdateFlag(false);
}

int NvBoard::LoadScript(NvImageData* target) {
    const NvUiScript* script = NvGetUiScript();
    const tagUISCRIPT_BOARD* entry = script ? script->GetBoard(m_boardId) : nullptr;
    if (NvGetBoardManager()) NvGetBoardManager()->Focus().TakeBoard(m_boardId);
    if (!entry || entry->firstItem < 0) {
        DebugTrace(4, "board script loading error %d\n", m_boardId);
        return -1;
    }
    if (!target || entry->itemCount == 0) return -1;
    SetUpdateFlag(true);
    m_itemCount = entry->itemCount;
    // Sub-controls take slots after the items, two levels deep.
    int32_t extra = 0;
    for (int32_t i = 0; i < m_itemCount; ++i) {
        const tagUISCRIPT_LAYOUT* item = script->GetLayout(m_boardId, i);
        const tagUISCRIPT_CONTROL* rec = item ? script->GetControl(item->controlId) : nullptr;
        if (!rec || rec->subCount == 0 || rec->subCount == 0xFFFF) continue;
        extra += rec->subCount;
        for (int k = 0; k < rec->subCount; ++k) {
            const tagUISCRIPT_CONTROL* sub = script->GetControl(rec->firstSub + k);
            if (sub && sub->subCount != 0xFFFF) extra += sub->subCount;
        }
    }
    m_controls.assign(static_cast<size_t>(m_itemCount + extra), nullptr);
    m_madeItems.clear();
    int32_t next = m_itemCount;
    // Made-up layout items of the sub-controls live as long as the board.
    auto makeSubs = [&](NvControl* owner, auto& self, int depth) -> void {
        const tagUISCRIPT_CONTROL* rec = owner->m_record;
        if (!rec || rec->subCount == 0 || rec->subCount == 0xFFFF || depth > 2) return;
        for (int k = 0; k < rec->subCount && next < ControlCount(); ++k) {
            const tagUISCRIPT_CONTROL* subRec = script->GetControl(rec->firstSub + k);
            auto item = std::make_unique<tagUISCRIPT_LAYOUT>();
            *item = tagUISCRIPT_LAYOUT{};
            item->boardId = m_boardId;
            item->layoutId = next;
            item->parentId = owner->m_layoutId;
            item->controlId = rec->firstSub + k;
            item->x = subRec ? subRec->image[0].x : 0;
            item->y = subRec ? subRec->image[0].y : 0;
            item->visible = 1;
            item->relative = 1;
            item->popup = owner->m_popup;
            item->textTable = 255;
            item->fontId = -1;
            item->textId = -1;
            for (auto& t : item->text) t.align = 255;
            item->screenAlign = 255;
            item->backgroundMode = 255;
            const int32_t slot = next++;
            NvControl* c = NvCreateControl(item.get(), static_cast<uint16_t>(k));
            m_madeItems.push_back(std::move(item));
            if (!c) continue;
            c->m_item = nullptr;
            c->m_itemExtra = nullptr;
            m_controls[static_cast<size_t>(slot)] = c;
            self(c, self, depth + 1);
        }
    };
    for (int32_t i = 0; i < m_itemCount; ++i) {
        const tagUISCRIPT_LAYOUT* item = script->GetLayout(m_boardId, i);
        if (!item || item->boardId == 0 || item->controlId <= 0) continue;
        NvControl* c = NvCreateControl(item, kNvNoSubIndex);
        if (!c) continue;
        m_controls[static_cast<size_t>(i)] = c;
        makeSubs(c, makeSubs, 1);
    }
    // Parents: sub-control slots first, then the items.
    auto link = [&](int32_t slot) -> bool {
        NvControl* c = m_controls[static_cast<size_t>(slot)];
        if (!c) return true;
        const int32_t pid = c->m_parentLayoutId;
        if (pid == 0) {
            AddChild(c, false);
            return true;
        }
        if (pid >= ControlCount() || !m_controls[static_cast<size_t>(pid)]) return false;
        m_controls[static_cast<size_t>(pid)]->AddChild(c, false);
        return true;
    };
    for (int32_t s = m_itemCount; s < ControlCount(); ++s)
        if (!link(s)) return -1;
    for (int32_t s = 0; s < m_itemCount; ++s)
        if (!link(s)) return -1;
    LoadImagesAll(m_loadAll ? 3 : 1);
    for (NvControl* c : m_controls)
        if (c && c->m_rect.width == 0 && c->m_rect.height == 0 && c->m_images[0]) {
            c->m_rect.width = c->m_images[0]->m_rect.width;
            c->m_rect.height = c->m_images[0]->m_rect.height;
        }
    NvToolkitState& t = NvToolkit();
    NvControl* bg = GetControl(1);
    NvImageRsc* layer = bg ? bg->m_images[0].get() : nullptr;
    NvSetBackgroundLayer(layer);
    if (bg) bg->m_bgMode = 2;
    if (t.centring) {
        uint32_t lParam = 0;
        NvImageData* image = layer ? layer->Current() : nullptr;
        if (image && !image->pooled) {
            t.blankBackground = true;
            lParam = 1;
        } else if (t.blankBackground) {
            NvDimBuffer(target->bits, target->width, target->height, 50);
            NvBlitWholeImage(NvPixelsOf(target), 0, 0, NvBlankScreenImage());
            t.blankBackground = false;
        }
        NvMainQueue().Post(kNvWmBoardCentred, 1, lParam, t.tick);
    } else {
        NvCopyBackgroundLayer();
    }
    return 0;
}

// ---------------------------------------------------------------- NvBoardManager

NvBoardManager::NvBoardManager(const char* resourceFolder) {
    g_host = this;
    // Every board this host builds takes the toolkit's own control classes.
    NvRegisterStandardControls();
    NvRegisterKeyboardControl();
    NvRegisterEditBoxControl();
    NvToolkitState& t = NvToolkit();
    t = NvToolkitState{};
    if (resourceFolder) {
        t.resourceFolder = resourceFolder;
    } else {
        // The program file's folder.
        char path[4096] = {};
        const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
        const std::string exe = n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string(".");
        const size_t slash = exe.find_last_of('/');
        t.resourceFolder = slash == std::string::npos ? "." : exe.substr(0, slash);
    }
}

NvBoardManager::~NvBoardManager() {
    Release();
    if (g_host == this) g_host = nullptr;
}

int NvBoardManager::Start(NvPresenter* window, int32_t width, int32_t height, int rotation, int layoutIndex,
                          int colorIndex) {
    NvToolkitState& t = NvToolkit();
    t.centring = true;
    if (!NvInitRenderer(window, width, height, 0, 0, width, height, true, rotation)) return 0;
    t.screen = {0, width, 0, height};
    t.designWidth = 800;
    t.designHeight = 480;
    if (!NvInitResourceLoader(t.resourceFolder, width, height)) return 0;
    m_script = NvLoadUiScripts(t.resourceFolder, layoutIndex, colorIndex);
    NvSetUiScript(m_script.get());
    SetColorScheme(2, colorIndex);
    return m_script ? 1 : 0;
}

int NvBoardManager::LoadBoard(int32_t boardId) {
    DestroyBoard();
    m_popups.Clear();
    NvToolkit().sceneProc = nullptr;
    auto board = std::make_unique<NvBoard>(boardId);
    NvToolkitState& t = NvToolkit();
    board->m_rect = {0, t.designWidth, 0, t.designHeight};
    if (board->LoadScript(NvBackBuffer()) < 0) return 0;
    m_board = std::move(board);
    m_board->LayoutAll();
    FitToScreen();
    if (t.centring && !t.blankBackground) {
        const int32_t dx = (t.screen.width - t.designWidth) / 2, dy = (t.screen.height - t.designHeight) / 2;
        if (dx || dy) m_board->MoveBy(dx, dy);
    }
    return 1;
}

void NvBoardManager::DestroyBoard() {
    NvToolkit().sceneProc = nullptr;
    NvSetBackgroundLayer(nullptr);
    m_board.reset();
}

void NvBoardManager::Release() {
    DestroyBoard();
    m_popups.Clear();
    NvSetUiScript(nullptr);
    m_script.reset();
    NvReleaseRenderer();
    NvReleaseResourceLoader();
    NvCloseAllResourceLoaderEx();
    for (auto& o : m_overlay) o.reset();
}

NvControl* NvBoardManager::GetControl(int32_t layoutId) const {
    return m_board ? m_board->GetControl(layoutId) : nullptr;
}

NvControl* NvBoardManager::FindControlByKind(int32_t firstLayoutId, int32_t kind) const {
    if (!m_board) return nullptr;
    for (int32_t i = std::max(firstLayoutId, 0); i < m_board->ControlCount(); ++i)
        if (NvControl* c = m_board->GetControl(i); c && c->m_kind == kind) return c;
    return nullptr;
}

const tagUISCRIPT_LAYOUT* NvBoardManager::GetLayoutItem(int32_t layoutId) const {
    return m_board && m_script ? m_script->GetLayout(m_board->m_boardId, layoutId) : nullptr;
}

int NvBoardManager::GetControlPos(int32_t layoutId, int32_t* x, int32_t* y, int, bool live) const {
    if (live) {
        NvControl* c = GetControl(layoutId);
        if (!c) return 0;
        if (x) *x = c->m_rect.x;
        if (y) *y = c->m_rect.y;
        return 1;
    }
    const tagUISCRIPT_LAYOUT* item = GetLayoutItem(layoutId);
    if (!item) return 0;
    if (x) *x = item->x;
    if (y) *y = item->y;
    return 1;
}

bool NvBoardManager::MoveControl(int32_t layoutId, int32_t x, int32_t y, bool relative) {
    NvControl* c = GetControl(layoutId);
    return c ? c->MoveTo(x, y, relative) : false;
}

NvImageData* NvBoardManager::GetControlImage(int32_t layoutId, int state, int frame) const {
    NvControl* c = GetControl(layoutId);
    if (!c || state < 0 || state > 5 || !c->m_images[state]) return nullptr;
    NvImageRsc* rsc = c->m_images[state].get();
    if (rsc->kind == RESOURCE_ANIMATION) return frame >= 0 && frame < rsc->frameCount ? rsc->Frame(frame) : nullptr;
    return rsc->Current();
}

bool NvBoardManager::LoadControlImage(int32_t layoutId, int state, int32_t resourceId) {
    NvControl* c = GetControl(layoutId);
    if (!c || state < 0 || state > 5) return false;
    if (resourceId == 0) return true;
    auto rsc = NvLoadImageRsc(resourceId);
    if (!rsc) return false;
    c->m_images[state] = std::move(rsc);
    c->SetUpdateFlag(true);
    return true;
}

bool NvBoardManager::SetControlImage(int32_t layoutId, int state, std::unique_ptr<NvImageRsc> image) {
    NvControl* c = GetControl(layoutId);
    if (!c || state < 0 || state > 5 || !image) return false;
    if (c->m_images[state] || image->m_rect.width != c->m_rect.width || image->m_rect.height != c->m_rect.height)
        return false;
    c->m_images[state] = std::move(image);
    return true;
}

bool NvBoardManager::FreeControlImage(int32_t layoutId, int state) {
    NvControl* c = GetControl(layoutId);
    if (!c || state < 0 || state > 5) return false;
    if (c->m_images[state].get() == NvGetBackgroundLayer()) NvSetBackgroundLayer(nullptr);
    c->m_images[state].reset();
    return true;
}

bool NvBoardManager::SetControlImageData(int32_t layoutId, int state, NvImageData* image) {
    NvControl* c = GetControl(layoutId);
    if (!c || state < 0 || state > 5 || !image) return false;
    auto rsc = std::make_unique<NvImageRsc>();
    rsc->AddFrame(image);
    rsc->m_rect.width = image->width;
    rsc->m_rect.height = image->height;
    c->m_images[state] = std::move(rsc);
    c->SetUpdateFlag(true);
    return true;
}

namespace {

bool InSubtree(const NvNode* node, const NvNode* root) {
    for (const NvNode* n = node; n; n = n->m_parent)
        if (n == root) return true;
    return false;
}

}  // namespace

int NvBoardManager::ProcessInput(uint32_t tick, uint32_t message, uint32_t point, uint32_t size) {
    m_event = {};
    NvToolkitState& t = NvToolkit();
    t.tick = tick;
    if (!m_board) return 0;
    if (message == kNvWmSize) {
        const int32_t w = size & 0xFFFF, h = size >> 16;
        if (w && h) {
            NvResizeBackBuffer(w, h);
            t.screen.width = w;
            t.screen.height = h;
            if (t.sceneProc) t.sceneProc->BeforeResize(w, h);
            FitToScreen();
            if (t.sceneProc) t.sceneProc->AfterResize(w, h);
            DrawFrame(true, true);
        } else {
            t.screen.width = w;
            t.screen.height = h;
        }
        return 1;
    }
    if (message != kNvWmLButtonDown) return 0;
    const int32_t x = point & 0xFFFF, y = point >> 16;
    t.lastX = x;
    t.lastY = y;
    NvNode* target = m_board->HitTest(x, y);
    if (m_popups.Count() == 0) {
        if (target) target->OnPointer(kNvWmLButtonDown, &m_event, kNvNoSubIndex);
        return 1;
    }
    // 1: the level and the time-outs by the popup that holds the point.
    int holder = -1;
    for (int i = 0; i < m_popups.Count(); ++i)
        if (m_popups.At(i).control->m_rect.Contains(x, y)) {
            holder = i;
            break;
        }
    bool open = false;
    if (holder >= 0) {
        NvPopupEntry& e = m_popups.At(holder);
        if (e.level != 0 && e.level < m_popups.HighestLevel()) m_popups.SetHighestLevel(e.level);
        open = e.state == kNvPopupOpen || e.state == kNvPopupTimed;
        if (open)
            for (int i = 0; i < m_popups.Count(); ++i) {
                NvPopupEntry& p = m_popups.At(i);
                if (p.state == kNvPopupTimed && p.timeoutMs != kNvNoTimeout && p.restartOnTouch == 1 &&
                    p.level <= m_popups.HighestLevel())
                    p.expiry = tick + p.timeoutMs;
            }
    }
    if (holder < 0 || !open) m_popups.SetHighestLevel(0);
    // 2: each popup over a snapshot (closing moves later entries up).
    // The level decided above holds for the whole pass: closing a popup on
    // the way recomputes it from the ones still open.
    const bool noLevel = m_popups.HighestLevel() == 0;
    for (NvControl* c : m_popups.Snapshot()) {
        const int i = m_popups.Find(c);
        if (i < 0) continue;
        NvPopupEntry& e = m_popups.At(i);
        if (c->m_rect.Contains(x, y) && (e.state == kNvPopupOpen || e.state == kNvPopupTimed)) {
            if (target && InSubtree(target, c)) {
                target->OnPointer(kNvWmLButtonDown, &m_event, kNvNoSubIndex);
                e.changed = 1;
                t.fullRedraw = true;
            } else {
                c->OnPointer(kNvWmLButtonDown, &m_event, kNvNoSubIndex);
            }
            if (e.closeOnTouch == 1 && noLevel)
                e.state = (e.timeoutMs != kNvNoTimeout && e.timeoutMs != 0 && e.restartOnTouch) ? kNvPopupTimed
                                                                                             : kNvPopupCloseRequested;
        } else if (!c->m_rect.Contains(x, y) && noLevel) {
            e.state = kNvPopupClosing;
        }
        if (e.state == kNvPopupClosing) c->ClosePopup(false);
    }
    return 1;
}

int NvBoardManager::GetLastEvent(int32_t* layoutId, int32_t* value, int32_t* action) const {
    if (layoutId) *layoutId = m_event.layoutId;
    if (value) *value = m_event.value;
    if (action) *action = m_event.action;
    return 1;
}

void NvBoardManager::UpdateFrame(uint32_t tick) {
    NvToolkitState& t = NvToolkit();
    t.tick = tick;
    if (t.sceneProc) t.sceneProc->BeforeUpdate();
    if (m_popups.Count() > 0 && m_board) {
        auto expired = [tick](const NvPopupEntry& e) {
            return e.state == kNvPopupTimed && e.timeoutMs != kNvNoTimeout && e.timeoutMs != 0 &&
                   static_cast<int32_t>(tick - e.expiry) > 0;
        };
        bool levelExpired = false;
        for (int i = 0; i < m_popups.Count(); ++i)
            if (m_popups.At(i).level == 1 && expired(m_popups.At(i))) levelExpired = true;
        for (NvControl* c : m_popups.Snapshot()) {
            const int i = m_popups.Find(c);
            if (i < 0) continue;
            NvPopupEntry& e = m_popups.At(i);
            if (e.state == kNvPopupClosing) {
                c->ClosePopup(false);
                continue;
            }
            const bool timedOut = e.level != 0 ? (levelExpired && e.state == kNvPopupTimed) : expired(e);
            if (timedOut || e.state == kNvPopupCloseRequested) e.state = kNvPopupClosing;
            c->Update(tick, 0, 0);
        }
    }
    if (m_board) m_board->Update(tick, 0, 0);
    NvAgeImagePool();
    if (t.sceneProc) t.sceneProc->AfterUpdate();
}

void NvBoardManager::DrawFrame(bool full, bool present) {
    NvToolkitState& t = NvToolkit();
    if (t.screen.height == 0) return;
    if (t.fullRedraw) {
        full = true;
        t.fullRedraw = false;
    }
    if (t.sceneProc) t.sceneProc->DrawBegin();
    if (m_board) m_board->Draw(1, full);
    if (m_popups.Count() > 0 && m_board) {
        if (t.sceneProc) t.sceneProc->BeforePopups();
        for (int i = 0; i < m_popups.Count(); ++i) {
            NvPopupEntry& e = m_popups.At(i);
            if ((e.changed || full) && e.state >= kNvPopupOpen && e.state <= kNvPopupCloseRequested) {
                e.control->Draw(1, true);
                e.changed = 0;
            }
        }
        if (t.sceneProc) t.sceneProc->AfterPopups();
    }
    if (t.messageBox) {
        if (t.blankBackground)
            if (NvImageData* back = NvBackBuffer()) NvDimBuffer(back->bits, back->width, back->height, 50);
        t.messageBox->Draw(1, true);
    }
    if (t.sceneProc) t.sceneProc->AfterMessageBox();
    if (present) {
        if (t.sceneProc) t.sceneProc->BeforePresent();
        NvPresent(t.screen.x, t.screen.y, t.screen.width, t.screen.height, 0, 0);
        if (t.sceneProc) t.sceneProc->AfterPresent();
    }
    // The level overlay goes on the window over everything the frame shows.
    if (t.overlayKind != kNvOverlayNone) DrawLevelOverlay();
}

void NvBoardManager::SetOverlayImage(int index, std::unique_ptr<NvImageData> image) {
    if (index >= 0 && index < 7) m_overlay[index] = std::move(image);
}

int NvBoardManager::DrawLevelOverlay() {
    const NvToolkitState& t = NvToolkit();
    NvRect region;
    const int level = DrawLevelOverlayInto(nullptr, &region);
    if (level < 0 || region.width <= 0 || region.height <= 0) return level;
    NvPresentOver(t.screen.x, t.screen.y, region.width, region.height, region.x, region.y,
                  [&](const NvPixels& dst) { DrawLevelOverlayInto(&dst, nullptr); });
    return level;
}

int NvBoardManager::DrawLevelOverlayInto(const NvPixels* dst, NvRect* region) {
    const NvToolkitState& t = NvToolkit();
    const int kind = t.overlayKind;
    if (!NvBackBuffer() || kind < 1 || kind > 5) return -1;
    const OverlayPlace& at = m_overlayPlace[kind];
    int32_t left = INT32_MAX, top = INT32_MAX, right = INT32_MIN, bottom = INT32_MIN;
    auto keyed = [&](NvImageData* image, int32_t x, int32_t y, int32_t w, int32_t h, int32_t sx, int32_t sy) {
        // Bitmaps nobody filled are passed over.
        if (!image) return;
        if (dst) NvTransparentBlit(*dst, x, y, w, h, image, sx, sy, w, h, 0xFF00FF);
        left = std::min(left, x), top = std::min(top, y);
        right = std::max(right, x + w), bottom = std::max(bottom, y + h);
    };
    int level = 0;
    if (kind == kNvOverlayMute || kind == kNvOverlayMuteHalf) {
        NvImageData* mute = m_overlay[2].get();
        if (mute) keyed(mute, at.x, at.y, mute->width, mute->height, 0, 0);
    } else {
        NvImageData* frame = m_overlay[kind == kNvOverlayBrightness ? 1 : (kind == kNvOverlayVolumeHalf ? 5 : 0)].get();
        if (frame) keyed(frame, at.x, at.y, frame->width, frame->height, 0, 0);
        level = std::clamp(kind == kNvOverlayBrightness ? t.brightnessLevel : t.volumeLevel, 0, 15);
        const NvRect* cells = m_cells[kind == kNvOverlayVolumeHalf ? 1 : 0];
        for (int i = 0; i < 15; ++i) {
            NvImageData* strip = m_overlay[i < level ? 3 : 4].get();
            const NvRect& r = cells[i];
            keyed(strip, r.x, r.y, r.width, r.height, r.x - at.x, r.y - at.y);
        }
    }
    if (region) {
        *region = NvRect{};
        if (right > left && bottom > top) *region = NvRect{left, right - left, top, bottom - top};
    }
    return level;
}

bool NvBoardManager::SetLayout(int layoutIndex) {
    if (m_script) m_script->ReloadLayout(layoutIndex);
    return true;
}

bool NvBoardManager::SetColorScheme(int package, int colorIndex) {
    if (m_script) m_script->ReloadFonts(colorIndex);
    return NvSetImageColorScheme(package, colorIndex);
}

void NvBoardManager::FitToScreen() {
    NvToolkitState& t = NvToolkit();
    NvImageData* blank = NvBlankScreenImage();
    NvImageData* back = NvBackBuffer();
    if (!t.blankBackground) {
        if (blank && back) NvBlitWholeImage(NvPixelsOf(back), 0, 0, blank);
        return;
    }
    if (!m_board) return;
    NvControl* bg = m_board->GetControl(1);
    NvImageData* bgImage = bg && bg->m_images[0] ? bg->m_images[0]->Current() : nullptr;
    if (blank && bgImage && (!m_fitted || t.tick - m_lastFitTick >= 1000)) {
        blank->Fill(0);
        NvCopyImageRect(blank, 0, 0, std::min(blank->width, bgImage->width), std::min(blank->height, bgImage->height),
                        bgImage, 0, 0);
    }
    if (bg) {
        bg->m_rect.width = t.screen.width;
        bg->m_rect.height = t.screen.height;
        auto fresh = std::make_unique<NvImageRsc>();
        NvImageData* image = NvCreateImageData(t.screen.width, t.screen.height, 0xFFFFFFFF, false);
        if (image && blank) {
            // The kept content centred (its centre part when larger).
            const int32_t dx = (t.screen.width - blank->width) / 2, dy = (t.screen.height - blank->height) / 2;
            NvCopyImageRect(image, dx, dy, blank->width, blank->height, blank, 0, 0);
        }
        if (image) {
            fresh->AddFrame(image);
            fresh->m_rect.width = image->width;
            fresh->m_rect.height = image->height;
            const bool wasLayer = NvGetBackgroundLayer() == bg->m_images[0].get();
            bg->m_images[0] = std::move(fresh);
            if (wasLayer) NvSetBackgroundLayer(bg->m_images[0].get());
        }
    }
    m_board->m_rect.width = t.screen.width;
    m_board->m_rect.height = t.screen.height;
    m_board->AlignAll();
    m_lastFitTick = t.tick;
    m_fitted = true;
}
