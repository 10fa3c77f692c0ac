#include "shell/shell_services.h"

#include <atomic>


#include "foundation/debug_trace.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "settings/global_data.h"
#include "shell/ui_utils.h"
#include "shell/window_link.h"
#include "uikit/board_manager.h"
#include "uikit/message_box.h"

namespace {

bool g_hasTick = false;
uint32_t g_tickMs = 0;

std::function<void(int, const std::u16string&)>& WaveObserver() {
    static std::function<void(int, const std::u16string&)> observer;
    return observer;
}

std::function<int(const char16_t*, int)>& ReturnQuestionHook() {
    static std::function<int(const char16_t*, int)> hook;
    return hook;
}

int32_t g_sceneSelections = 0;

}  // namespace

uint32_t CurrentTickCount() { return g_hasTick ? g_tickMs : platform::GetTickCount(); }

void SetCurrentTickCount(uint32_t tickMs) {
    g_tickMs = tickMs;
    g_hasTick = true;
}

void ClearCurrentTickCount() { g_hasTick = false; }

std::u16string DataRootFolder() { return std::u16string(CMgrConfigGlobalData::Instance().m_rootFolder); }

std::u16string MapFolderFile(const std::u16string& relative) {
    std::u16string folder(CMgrConfigGlobalData::Instance().m_mapFolder);
    if (folder.empty()) {
        folder = DataRootFolder() + u"\\MAP\\";
    } else if (folder.back() != u'\\' && folder.back() != u'/') {
        folder += u'\\';
    }
    return folder + relative;
}

uint32_t RegisteredShellMessage(const char* name) {
    if (!name || !*name) return 0;
    return RegisterLinkMessage(name);
}

void PlayShellWave(int channel, const std::u16string& path) {
    DebugTrace(3, "[SHELL] wave %d %s\n", channel, platform::Utf16ToUtf8(path).c_str());
    if (WaveObserver()) WaveObserver()(channel, path);
}

void SetShellWaveObserver(std::function<void(int, const std::u16string&)> observer) {
    WaveObserver() = std::move(observer);
}

int ShowReturnQuestion(const char16_t* text, int timeoutMs) {
    if (ReturnQuestionHook()) return ReturnQuestionHook()(text, timeoutMs);
    const uint16_t timeout = static_cast<uint16_t>(timeoutMs < 0 ? 0 : (timeoutMs > 65535 ? 65535 : timeoutMs));
    // The toolkit answers 1 for the first button.
    return NvShowMessageBox(1306, text, 2, u"예", u"아니오", nullptr, timeout, 0) == 1 ? 8192 : 4096;
}

void SetReturnQuestionHook(std::function<int(const char16_t*, int)> hook) { ReturnQuestionHook() = std::move(hook); }

void SelectSceneHandlers(int32_t) { ++g_sceneSelections; }
void NotifySceneHandlersDeactivate() {}
int32_t SceneHandlerSelections() { return g_sceneSelections; }

CMgrDriveService& CMgrDriveService::Instance() {
    static CMgrDriveService service;
    return service;
}

// ---- route-option slots

namespace {
int32_t g_routeOptionSlots[kRouteOptionSlots] = {};
std::atomic<int> g_adjacentRoadRequest{0};
}  // namespace

int32_t g_nSelectedRouteOption = 0;
uint32_t g_uPlannedRouteOptions = 0;
int32_t g_bAdoptRouteOnDrive = 0;
int32_t g_bGuideStartPromptPending = 0;

int32_t ResetRouteOptionSlots(int32_t option) {
    for (int32_t& slot : g_routeOptionSlots) slot = 0;
    g_routeOptionSlots[0] = option;
    return option;
}

int32_t AddRouteOptionSlot(int32_t option) {
    const int free = FirstFreeRouteOptionSlot();
    if (free >= kRouteOptionSlots) return kRouteOptionSlots;
    g_routeOptionSlots[free] = option;
    return option;
}

int FindRouteOptionSlot(int32_t option) {
    for (int i = 0; i < kRouteOptionSlots; ++i)
        if (g_routeOptionSlots[i] == option) return i;
    return -1;
}

int FirstFreeRouteOptionSlot() {
    for (int i = 0; i < kRouteOptionSlots; ++i)
        if (g_routeOptionSlots[i] == 0) return i;
    return kRouteOptionSlots;
}

int RouteOptionToSlot(int32_t optionBits) {
    if (optionBits & 0x100) return 0;
    if (optionBits & 0x200) return 1;
    if (optionBits & 0x400) return 2;
    switch (optionBits) {
        case 2: return 1;
        case 4: return 2;
        case 8: return 3;
        default: return 0;
    }
}

void EndSavedDestinationHold() {
    if (IsDestinationWatched()) EndDestinationWatch();
}

ShellSearchSwitches& ShellSearchSwitches::Instance() {
    static ShellSearchSwitches switches = [] {
        ShellSearchSwitches s;
        s.subPlaceFeature = CMgrConfigGlobalData::Instance().m_subPoi == 1 ? 1 : 0;
        return s;
    }();
    return switches;
}

void RequestAdjacentRoad() {
    g_adjacentRoadRequest.store(1, std::memory_order_release);
    DebugTrace(3, "[SHELL] adjacent road asked for\n");
}

bool TakeAdjacentRoadRequest() { return g_adjacentRoadRequest.exchange(0, std::memory_order_acq_rel) != 0; }

int PlaceNodeAboveControl(int32_t nodeId, int redraw, int32_t childCount, int32_t anchorId, int32_t dx, int32_t dy) {
    NvBoardManager* host = NvGetBoardManager();
    if (!host) return 0;
    NvControl* node = host->GetControl(nodeId);
    NvControl* anchor = host->GetControl(anchorId);
    if (!node || !anchor) return 0;
    const NvRect& at = anchor->GetRect();
    const NvRect& was = node->GetRect();
    const int32_t moveX = at.x + dx - was.x;
    const int32_t moveY = at.y - was.height + dy - was.y;
    node->MoveBy(moveX, moveY);
    if (redraw) node->Invalidate();
    for (int32_t i = 1; i <= childCount; ++i) {
        NvControl* child = host->GetControl(nodeId + i);
        if (!child) continue;
        bool below = false;  // already moved as one of the node's own children
        for (NvNode* up = child->m_parent; up; up = up->m_parent)
            if (up == node) below = true;
        if (below) continue;
        child->MoveBy(moveX, moveY);
        if (redraw) child->Invalidate();
    }
    return 1;
}
