#include "uikit/popup.h"

#include <algorithm>

#include "uikit/board_manager.h"
#include "uikit/nv_object.h"

std::vector<NvControl*> NvPopupController::Snapshot() const {
    std::vector<NvControl*> out;
    for (int i = 0; i < m_count; ++i) out.push_back(m_entries[i].control);
    return out;
}

int NvPopupController::Find(const NvControl* control) const {
    for (int i = 0; i < m_count; ++i)
        if (m_entries[i].control == control) return i;
    return -1;
}

void NvPopupController::RecomputeLevel() {
    int level = 0;
    for (int i = 0; i < m_count; ++i) level = std::max<int>(level, m_entries[i].level);
    m_highestLevel = level;
}

int NvPopupController::Show(NvControl* control, uint16_t closeOnTouch, uint16_t timeoutMs, uint8_t restartOnTouch,
                            uint8_t level, uint32_t tick) {
    if (!control || Find(control) >= 0 || m_count >= kNvMaxPopups) return 0;
    control->LoadImagesAll(3);
    NvPopupEntry& e = m_entries[m_count++];
    e = {};
    e.control = control;
    e.closeOnTouch = closeOnTouch;
    e.timeoutMs = timeoutMs;
    e.restartOnTouch = restartOnTouch;
    e.level = level;
    e.changed = 1;
    const bool timed = timeoutMs != 0 && timeoutMs != kNvNoTimeout;
    e.state = timed ? kNvPopupTimed : kNvPopupOpen;
    e.expiry = timed ? tick + timeoutMs : 0xFFFFFFFF;
    m_highestLevel = std::max<int>(m_highestLevel, level);
    control->SetCullFlag(false);
    return 1;
}

bool NvPopupController::Hide(NvControl* control, bool release) {
    if (m_count == 0) return false;
    const int i = Find(control);
    if (i < 0) return true;
    control->SetFlags(false, kNvFlagPopup);
    if (release) {
        control->SetCullFlag(true);
        control->ReleaseImagesAll();
    }
    for (int k = i; k + 1 < m_count; ++k) m_entries[k] = m_entries[k + 1];
    m_entries[--m_count] = {};
    // The level falls back to what the remaining popups hold, and to 0 once
    // the table is empty.
    RecomputeLevel();
    NvMainQueue().Post(kNvWmPopupClosed, static_cast<uint32_t>(control->m_layoutId), 0, NvToolkit().tick);
    return true;
}

void NvPopupController::CloseLevel(NvControl* control) {
    const int i = Find(control);
    if (i >= 0 && m_entries[i].level == 1) {
        for (NvControl* c : Snapshot())
            if (const int k = Find(c); k >= 0 && m_entries[k].level != 0) Hide(c, true);
        return;
    }
    Hide(control, true);
}

void NvPopupController::CloseAll() {
    for (NvControl* c : Snapshot()) {
        c->SetFlags(false, kNvFlagPopup);
        c->SetCullFlag(true);
        c->ReleaseImagesAll();
        NvMainQueue().Post(kNvWmPopupClosed, static_cast<uint32_t>(c->m_layoutId), 0, NvToolkit().tick);
    }
    Clear();
}

void NvPopupController::Clear() {
    for (auto& e : m_entries) e = {};
    m_count = 0;
    m_highestLevel = 0;  // an empty table has no open level
}

NvPopupController* NvGetPopupController() {
    NvBoardManager* host = NvGetBoardManager();
    return host ? &host->Popups() : nullptr;
}

int NvShowPopup(NvControl* control, uint16_t closeOnTouch, uint16_t timeoutMs, uint8_t restartOnTouch, uint8_t level) {
    NvPopupController* p = NvGetPopupController();
    if (!p || !control) return 0;
    if (p->Find(control) >= 0 || p->Count() >= kNvMaxPopups) return 0;
    control->ShowPopup(closeOnTouch, timeoutMs, restartOnTouch, level);
    control->SetFlags(true, kNvFlagPopup);
    return p->Show(control, closeOnTouch, timeoutMs, restartOnTouch, level, NvToolkit().tick);
}

bool NvHidePopup(NvControl* control, bool release) {
    NvPopupController* p = NvGetPopupController();
    return p ? p->Hide(control, release) : false;
}

void NvClosePopupLevel(NvControl* control) {
    if (NvPopupController* p = NvGetPopupController()) p->CloseLevel(control);
}

void NvCloseAllPopups() {
    if (NvPopupController* p = NvGetPopupController()) p->CloseAll();
}

void NvClearPopups() {
    if (NvPopupController* p = NvGetPopupController()) p->Clear();
}

bool NvPopupNoLevel() {
    NvPopupController* p = NvGetPopupController();
    return !p || p->HighestLevel() == 0;
}

NvControl* NvGetPopupControl(int index) {
    NvPopupController* p = NvGetPopupController();
    if (!p || index < 0 || index >= p->Count()) return nullptr;
    return p->At(index).control;
}
