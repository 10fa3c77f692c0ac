#pragma once
// A sound manager on capture sinks over small voice banks, with a fake clock
// that decides when a captured sound has finished playing.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "guidance/audio_sink.h"
#include "guidance/sound_manager.h"
#include "platform/clock.h"
#include "support/temp_dir.h"
#include "tools/writers/voice_bank_writer.h"

namespace soundtest {

inline std::vector<int16_t> Tone(size_t n, double hz, double amplitude = 8000) {
    std::vector<int16_t> pcm(n);
    for (size_t i = 0; i < n; ++i)
        pcm[i] = static_cast<int16_t>(amplitude * std::sin(2 * M_PI * hz * static_cast<double>(i) / 22050.0));
    return pcm;
}

// Clips: 5 (alarm, speech frames), 1201 (raw, 1500 samples), 1202 (speech
// frames, 5 frames), 1203 (Vorbis), 1204 (speech frames, 40 frames).
inline void WriteSmallBanks(const std::string& mapFolder, bool withExtended = true) {
    std::vector<writers::BankClip> clips(withExtended ? 6 : 5);
    ASSERT_TRUE(writers::MakeBankClip(5, 1, Tone(480, 880), clips[0]));
    ASSERT_TRUE(writers::MakeBankClip(1201, 0, Tone(1500, 440), clips[1]));
    ASSERT_TRUE(writers::MakeBankClip(1202, 1, Tone(800, 300), clips[2]));
    ASSERT_TRUE(writers::MakeBankClip(1203, 2, Tone(3000, 660), clips[3]));
    ASSERT_TRUE(writers::MakeBankClip(1204, 1, Tone(6400, 250), clips[4]));
    if (withExtended) {
        ASSERT_TRUE(writers::MakeBankClip(3001, 0, Tone(100, 100), clips[5]));
    }
    std::string error;
    ASSERT_TRUE(writers::WriteVoiceBanks(mapFolder, clips, &error)) << error;
}

class SoundFixture : public ::testing::Test {
protected:
    void StartManager(SoundOutputConfig config = {}, bool withExtended = true) {
        WriteSmallBanks(m_dir.Path(), withExtended);
        ASSERT_EQ(m_manager.Init(m_dir.Path(), config,
                                 [this](int channel) {
                                     auto sink = std::make_unique<CaptureAudioSink>();
                                     m_sinks[channel] = sink.get();
                                     Prepare(channel, *sink);
                                     return sink;
                                 }),
                  1);
    }
    virtual void Prepare(int, CaptureAudioSink&) {}

    // Waits (bounded) until the channel's sink holds n sounds.
    bool WaitSounds(int channel, size_t n) {
        for (int i = 0; i < 100 && m_sinks[channel]->SoundCount() < n; ++i) m_sinks[channel]->Written().Wait(100);
        return m_sinks[channel]->SoundCount() >= n;
    }
    // Waits (bounded) until the channel has handled its requests.
    bool WaitIdle(int channel) {
        for (int i = 0; i < 100; ++i) {
            if (!m_manager.IsPlaying(channel)) return true;
            m_manager.Unit(channel)->Settled().Wait(100);
        }
        return !m_manager.IsPlaying(channel);
    }

    // The same, moving the clock on by a second before each wait, for a
    // channel whose sound may start only after the clock was last moved.
    bool PlayOutAndWaitIdle(int channel) {
        for (int i = 0; i < 100; ++i) {
            if (!m_manager.IsPlaying(channel)) return true;
            m_clock.Advance(1000);
            m_manager.Unit(channel)->Settled().Wait(100);
        }
        return !m_manager.IsPlaying(channel);
    }

    platform::FakeClock m_clock{5000};
    platform::ScopedClock m_scopedClock{m_clock};
    testsupport::TempDir m_dir;
    CaptureAudioSink* m_sinks[2] = {};
    MgrSoundManager m_manager;   // destroyed first: it owns the sinks and reads the clock
};

}  // namespace soundtest
