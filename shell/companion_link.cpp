#include "shell/companion_link.h"

#include <algorithm>

#include "foundation/debug_trace.h"
#include "settings/global_data.h"
#include "settings/ui_setting.h"
#include "shell/external_link.h"

// ---------------------------------------------------------------------------
// State cache

AppManagerStateCache& AppManagerStateCache::Instance() {
    static AppManagerStateCache cache;
    return cache;
}

bool AppManagerStateCache::Filter(const LinkMessage& message) {
    if (message.kind != kLinkKindPost || message.message != kAppMsgCachedState) return false;
    const int value = message.lParam ? 1 : 0;
    switch (message.wParam) {
    case kAppStatePip: m_pip.store(value, std::memory_order_release); break;
    case kAppStateTransition: m_transition.store(value, std::memory_order_release); break;
    case kAppStateDmbReady: m_dmbReady.store(value, std::memory_order_release); break;
    default: DebugTrace(1, "[PCM] unknown state %llu\n", static_cast<unsigned long long>(message.wParam)); break;
    }
    return true;
}

void AppManagerStateCache::Reset() {
    m_pip.store(0);
    m_transition.store(0);
    m_dmbReady.store(0);
}

// ---------------------------------------------------------------------------
// Calls over the link

int LinkAppManager::Call(uint32_t message, uint64_t wParam, int64_t lParam) {
    LinkWindow* window = GetExternalLinkWindow();
    if (!window) return 0;
    const uint32_t manager = LinkWindow::FindWindow(window->Folder(), kAppManagerTitle);
    if (manager == 0) {
        DebugTrace(1, "[PCM] no application manager for call %u\n", message);
        return 0;
    }
    return window->Post(manager, message, wParam, lParam);
}

int LinkAppManager::Init() { return Call(kAppCallInit, 0, 0); }
int LinkAppManager::StartAppRsp(uint32_t window, int a, int b, int c) {
    return Call(kAppCallStartAppRsp, window, (a & 0xFF) | (b & 0xFF) << 8 | (c & 0xFF) << 16);
}
int LinkAppManager::EndAppReq(int flag) { return Call(kAppCallEndAppReq, static_cast<uint64_t>(flag), 0); }
int LinkAppManager::EndAppRsp(int flag) { return Call(kAppCallEndAppRsp, static_cast<uint64_t>(flag), 0); }
int LinkAppManager::EndAppPrepRsp() { return Call(kAppCallEndAppPrepRsp, 0, 0); }
int LinkAppManager::ShowAppRsp(int flag, int kind) { return Call(kAppCallShowAppRsp, static_cast<uint64_t>(flag), kind); }
int LinkAppManager::ShowAppPrepRsp(int flag) { return Call(kAppCallShowAppPrepRsp, static_cast<uint64_t>(flag), 0); }
int LinkAppManager::SetWndSize(int flag, unsigned size) { return Call(kAppCallSetWndSize, static_cast<uint64_t>(flag), size); }
int LinkAppManager::IsRunPIP() { return AppManagerStateCache::Instance().Pip(); }
int LinkAppManager::TransWndState() { return AppManagerStateCache::Instance().Transition(); }
void LinkAppManager::AppVolumeCtrl(int channel, int request) {
    Call(kAppCallVolumeCtrl, static_cast<uint64_t>(channel), request);
}
int LinkAppManager::IsReadyForDMB() { return AppManagerStateCache::Instance().DmbReady(); }
void LinkAppManager::SetReadyForDMB(int ready) {
    AppManagerStateCache::Instance().SetDmbReady(ready ? 1 : 0);
    Call(kAppCallSetReadyForDmb, static_cast<uint64_t>(ready), 0);
}
int LinkAppManager::ShowTbtReq(int code, int distance) {
    return Call(kAppCallShowTbt, static_cast<uint64_t>(static_cast<int64_t>(code)), distance);
}
int LinkAppManager::ShowSpeedMarkReq(int markId, int value) {
    return Call(kAppCallShowSpeedMark, static_cast<uint64_t>(static_cast<int64_t>(markId)), value);
}

// ---------------------------------------------------------------------------
// Companion link

CompanionLink& CompanionLink::Instance() {
    static CompanionLink link;
    return link;
}

bool CompanionLink::IsCompanionMode() { return CMgrConfigGlobalData::Instance().m_pcm == 1; }

void CompanionLink::SetCalls(AppManagerCalls* calls) { m_calls = calls; }

AppManagerCalls& CompanionLink::Calls() {
    static LinkAppManager s_link;
    return m_calls ? *m_calls : s_link;
}

void CompanionLink::Reset() {
    AppManagerCalls* calls = m_calls;
    *this = CompanionLink();
    m_calls = calls;
}

static void PostDestroy() { GetExternalShell().PostMainMessage(kMsgDestroy, 0, 0); }

void CompanionLink::StartResponse(uint32_t window) {
    m_mainWindow = window;
    if (IsCompanionMode()) {
        Calls().Init();
        Calls().StartAppRsp(window, 1, 2, 0);
    }
}

void CompanionLink::RequestExit(uint32_t tickMs) {
    if (!IsCompanionMode()) {
        PostDestroy();
        return;
    }
    // The request time is kept from the first request.
    if (!m_exitPending) {
        m_exitPending = true;
        m_pendingExitTick = tickMs;
    }
    Calls().EndAppReq(1);
}

void CompanionLink::CheckPendingExit(uint32_t tickMs) {
    if (m_exitPending && tickMs - m_pendingExitTick > kPendingExitMs) {
        m_exitPending = false;
        DebugTrace(1, "[PCM] no answer to the exit request: ending\n");
        PostDestroy();
    }
}

int CompanionLink::SetWindowSize() {
    if (!IsCompanionMode()) return 0;
    return Calls().SetWndSize(1, 2);
}

void CompanionLink::ResizeAndPostEvent(int chapter, int event) {
    if (chapter == 31 || ((chapter == 16 || chapter == 33) && IsCompanionMode() && Calls().IsRunPIP() == 1)) {
        SetWindowSize();
    }
    PostChapterEventLink(event);
}

int CompanionLink::IsInTransition() { return IsCompanionMode() ? Calls().TransWndState() : 0; }

int CompanionLink::SetReadyForDMB(int ready) {
    if (!IsCompanionMode()) return 0;
    const int current = Calls().IsReadyForDMB();
    if (current == (ready ? 0 : 1)) Calls().SetReadyForDMB(ready);
    return current;
}

void CompanionLink::HoldAudio() {
    CMgrConfigUISetting* ui = CMgrConfigUISetting::Instance();
    if (!m_audioHeld3) {
        const int mp3 = ui->Record().eAppVolumeMP3AtGuide;
        if (mp3 == 1) Calls().AppVolumeCtrl(3, 2);
        else if (mp3 == 2) Calls().AppVolumeCtrl(3, 1);
        m_audioHeld3 = true;
    }
    if (!m_audioHeld2) {
        const int dmb = ui->Record().eAppVolumeDMBAtGuide;
        if (dmb == 1) Calls().AppVolumeCtrl(2, 2);
        else if (dmb == 2) Calls().AppVolumeCtrl(2, 1);
        m_audioHeld2 = true;
    }
}

void CompanionLink::ReleaseAudio() {
    if (m_audioHeld3) Calls().AppVolumeCtrl(3, 3);
    if (m_audioHeld2) Calls().AppVolumeCtrl(2, 3);
    m_audioHeld3 = m_audioHeld2 = false;
}

int CompanionLink::OnCompanionMessage(uint32_t message, uint64_t wParam, int64_t lParam) {
    switch (message) {
    case kAppMsgState: m_appState = static_cast<int>(wParam); return 1;
    case kAppMsgStateAlt: m_appState = static_cast<int>(lParam); return 1;
    case kAppMsgEndApp:
        Calls().EndAppRsp(1);
        PostDestroy();
        return 1;
    case kAppMsgNothing: return 1;
    case kAppMsgShowApp: {
        const int kind = static_cast<int>(wParam);
        if (kind == 0) PostChapterEventLink(31);
        else if (kind == 1) PostChapterEventLink(30);
        else if (kind == 2) PostChapterEventLink(22);
        Calls().ShowAppRsp(1, kind);
        return 1;
    }
    case kAppMsgEndPrep:
        m_appState = -1;
        Calls().EndAppPrepRsp();
        return 1;
    case kAppMsgShowPrep: Calls().ShowAppPrepRsp(1); return 1;
    case kAppMsgEndAnswer: {
        const int result = static_cast<int>(static_cast<int64_t>(wParam));
        if (m_exitPending && (result == 5 || result == -1)) {
            m_exitPending = false;
            PostDestroy();
        }
        return 1;
    }
    default: return 0;
    }
}

void CompanionLink::NotifyTurn(const TurnNotice& turn) {
    const bool companion = IsCompanionMode();
    if (turn.valid) {
        const int32_t distance = (std::max(0, turn.distanceM) + 9) / 10 * 10;
        if (companion && m_appState == 2) {
            Calls().ShowTbtReq(turn.tbtCode, distance / 10);
        } else if (!companion) {
            ExternalLink::Instance().SendTurnImage(turn.tbtCode, distance / 10);
        } else {
            return;
        }
        m_lastTbtCode = turn.tbtCode;
    } else if (m_lastTbtCode != -1) {
        if (companion && m_appState == 2) Calls().ShowTbtReq(-1, 0);
        else if (!companion) ExternalLink::Instance().SendTurnImage(-1, 0);
        m_lastTbtCode = -1;
    }
}

int32_t CompanionLink::CameraSpeedMarkCode(int32_t type, int32_t limitKmh) {
    const int32_t n = (limitKmh - 30) / 10;
    switch (type) {
    case 0: return n;
    case 1: case 7: case 8: return n + 16;
    case 2: return n + 32;
    case 3: return n + 48;
    case 4: return 65;
    case 5: return 66;
    case 6: return 67;
    case 9: case 10: case 11: case 12: case 15: return 79;
    case 13: case 14: return 64;
    case 16: return 71;
    case 17: return 69;
    case 18: return 74;
    case 19: return 76;
    case 20: case 21: return 77;
    case 22: return 78;
    case 23: return 72;
    case 24: return 75;
    case 25: return 68;
    case 26: return 73;
    case 27: return 81;
    case 28: return 80;
    case 29: return 82;
    case 30: return 83;
    default: return -1;
    }
}

int32_t CompanionLink::SectionMarkId(int32_t limitKmh, int32_t travelledM, int32_t lengthM) {
    const int32_t base = (limitKmh - 50) / 10 * 20 + 100;
    // A section of no length has no progress to show.
    if (lengthM <= 0) return base;
    const int step = static_cast<int>(static_cast<double>(travelledM) * 16.0 / lengthM);
    return base + std::min(16, step);
}

void CompanionLink::NotifySpeedMark(const SpeedMarkNotice& mark, int32_t) {
    const bool companion = IsCompanionMode();
    const bool through = !companion || m_appState == 2;
    auto send = [&](int32_t id, int32_t value) {
        if (companion) Calls().ShowSpeedMarkReq(id, value);
        else ExternalLink::Instance().SendSpeedMark(id, value);
    };
    if (!mark.camera && !mark.section && m_speedMarkShown) {
        if (through) send(-1, 0);
        m_speedMarkShown = false;
    }
    if (!through) return;
    if (mark.section && mark.sectionLimitKmh >= 50) {
        const int32_t id = SectionMarkId(mark.sectionLimitKmh, mark.sectionTravelledM, mark.sectionLengthM);
        const int32_t value = mark.sectionTimeS <= 3 ? 0
                                                     : static_cast<int32_t>((mark.sectionTravelledM / 1000.0) /
                                                                            (mark.sectionTimeS / 3600.0));
        send(id, value);
        m_speedMarkShown = true;
    } else if (mark.camera) {
        const int32_t id = CameraSpeedMarkCode(mark.cameraType, mark.cameraLimitKmh);
        int32_t value = (std::max(0, mark.cameraDistanceM) + 9) / 10 * 10 / 10;
        const int t = mark.cameraType;
        if (!companion && !(t == 0 || t == 1 || t == 2 || t == 7 || t == 8)) value = -1;
        send(id, value);
        m_speedMarkShown = true;
    }
}

void CompanionLink::NotifyValue(int32_t currentSpeedKmh) {
    if (IsCompanionMode()) return;
    ExternalLink::Instance().SendValue(currentSpeedKmh);
}
