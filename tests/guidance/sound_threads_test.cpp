// Both channels decoding speech frames at the same time while the main
// thread keeps asking for more: every sound that reaches a sink is the
// sentence as decoded alone (no shared decoder memory, no torn request).
#include <gtest/gtest.h>

#include "sound_fixture.h"

namespace {

class SoundThreadsTest : public soundtest::SoundFixture {};

TEST_F(SoundThreadsTest, BothChannelsDecodeWhileRequestsKeepComing) {
    StartManager();
    const uint32_t voice[] = {1204, 1202, 1204};
    const uint32_t touch[] = {1202, 5, 1204};
    std::vector<uint8_t> voiceAlone, touchAlone;
    ASSERT_TRUE(m_manager.Banks().BuildSentence(voice, 3, voiceAlone));
    ASSERT_TRUE(m_manager.Banks().BuildSentence(touch, 3, touchAlone));
    voiceAlone.erase(voiceAlone.begin(), voiceAlone.begin() + 44);
    touchAlone.erase(touchAlone.begin(), touchAlone.begin() + 44);

    int started[2] = {};
    for (int round = 0; round < 150; ++round) {
        // The interface channel first (it is refused while the voice is busy),
        // then the voice, which then renders while the interface sound does.
        if (m_manager.PlayVoice(1, 0, touch, 3) == 0) ++started[1];
        if (m_manager.PlayVoice(0, round % 3 == 0 ? 1 : 0, voice, 3) == 0) ++started[0];
        m_manager.IsPlaying(0);
        m_manager.IsPlaying(1);
        if (round % 10 == 9) {
            ASSERT_TRUE(PlayOutAndWaitIdle(0));
        }
    }
    ASSERT_TRUE(PlayOutAndWaitIdle(0));
    ASSERT_TRUE(PlayOutAndWaitIdle(1));
    EXPECT_GT(started[0], 0);
    EXPECT_GT(started[1], 0);
    ASSERT_GT(m_sinks[0]->SoundCount(), 0u);
    ASSERT_GT(m_sinks[1]->SoundCount(), 0u);
    for (const CaptureAudioSink::Sound& s : m_sinks[0]->Sounds()) ASSERT_EQ(s.pcm, voiceAlone);
    for (const CaptureAudioSink::Sound& s : m_sinks[1]->Sounds()) ASSERT_EQ(s.pcm, touchAlone);
}

}  // namespace
