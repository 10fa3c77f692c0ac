#include "shell/shell_services.h"


#include "foundation/debug_trace.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "settings/global_data.h"
#include "shell/window_link.h"
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
