#pragma once
// The link to the speech-recognition program of the car PC. Everything is
// active only while the global settings' VOICEWARE word is on; otherwise
// every operation does nothing and returns 0. The program asks the speech
// program to listen with the broadcast "BMSG_RMC_SR", tells it that the map
// program ends with "BMSG_MAP_EXIT", and gets the recognised result as
// command 74 (copy data: an i32 value and a UTF-16 text). Main thread only.
#include <cstddef>
#include <cstdint>
#include <string>

class SpeechRecogLink {
public:
    static constexpr int32_t kResultCode = 74;

    static SpeechRecogLink& Instance();
    static bool IsOn();

    // A command the dispatcher does not handle itself: with the link on and
    // code 74, the block's value and text become the result and the result
    // flag is set. A block that does not read is dropped whole (traced).
    // 1 when a result was stored.
    int StoreResult(int32_t code, int64_t ignoredValue, const uint8_t* block, size_t size);
    int HasResult() const { return m_resultFlag; }
    void ClearResult() { m_resultFlag = 0; }
    int32_t GetResultValue() const { return m_resultValue; }
    const std::u16string& GetResultText() const { return m_resultText; }
    int32_t GetState() const { return m_state; }
    void SetState(int32_t state) { m_state = state; }

    void Reset();

private:
    int32_t m_state = 1;
    int32_t m_resultFlag = 0;
    int32_t m_resultValue = 0;
    std::u16string m_resultText;
};

// With the link on: broadcasts "BMSG_RMC_SR" (0, 0); 1. Else 0.
int RequestSpeechInput();
// With the link on: broadcasts "BMSG_MAP_EXIT" (0, 0); 1. Else 0.
int AnnounceMapExit();
