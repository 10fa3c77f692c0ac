#include "shell/speech_link.h"

#include "foundation/debug_trace.h"
#include "settings/global_data.h"
#include "shell/external_link.h"
#include "shell/window_link.h"

SpeechRecogLink& SpeechRecogLink::Instance() {
    static SpeechRecogLink link;
    return link;
}

bool SpeechRecogLink::IsOn() { return CMgrConfigGlobalData::Instance().m_voiceware != 0; }

int SpeechRecogLink::StoreResult(int32_t code, int64_t, const uint8_t* block, size_t size) {
    if (!IsOn() || code != kResultCode) return 0;
    SpeechResultBlock result;
    if (!ReadSpeechResultBlock(block, size, &result)) {
        DebugTrace(1, "[LINK] speech result of %zu bytes dropped: not a value and a terminated text\n", size);
        return 0;
    }
    m_resultValue = result.value;
    m_resultText = std::move(result.text);
    m_resultFlag = 1;
    return 1;
}

void SpeechRecogLink::Reset() { *this = SpeechRecogLink(); }

int RequestSpeechInput() {
    if (!SpeechRecogLink::IsOn()) return 0;
    BroadcastRegistered(kRegRmcSr, 0);
    return 1;
}

int AnnounceMapExit() {
    if (!SpeechRecogLink::IsOn()) return 0;
    BroadcastRegistered(kRegMapExit, 0);
    return 1;
}
