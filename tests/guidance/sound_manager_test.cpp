// The sound unit seen from outside: what each channel hands its audio sink,
// the channel rules, gain, volume and device choice, and the failures that
// must not leave a channel busy.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "guidance/sound_manager.h"
#include "platform/byte_cursor.h"
#include "settings/global_data.h"
#include "sound_fixture.h"

namespace {

using soundtest::SoundFixture;

int MaxAbs(const std::vector<uint8_t>& pcm) {
    int m = 0;
    for (size_t i = 0; i + 1 < pcm.size(); i += 2) m = std::max(m, std::abs(int(int16_t(pcm[i] | (pcm[i + 1] << 8)))));
    return m;
}

class SoundManagerTest : public SoundFixture {};

TEST_F(SoundManagerTest, TwoClipSentenceIsPlayedWholeAndLastsAsLongAsItsSamples) {
    StartManager();
    const uint32_t ids[] = {1201, 1202};
    ASSERT_EQ(m_manager.PlayVoice(0, 0, ids, 2), 0);
    EXPECT_EQ(m_manager.IsPlaying(0), 1);
    ASSERT_TRUE(WaitSounds(0, 1));
    const CaptureAudioSink::Sound sound = m_sinks[0]->Sounds()[0];
    EXPECT_EQ(sound.pcm.size(), 3000u + 5 * 320) << "the raw clip and five speech frames";
    EXPECT_EQ(sound.format.samplesPerSec, 22050u);
    EXPECT_EQ(sound.format.channels, 1);
    EXPECT_EQ(sound.format.bitsPerSample, 16);
    EXPECT_GT(MaxAbs(sound.pcm), 2000) << "not silent";
    EXPECT_EQ(sound.startTickMs, 5000u);
    EXPECT_EQ(sound.durationMs, 105u) << "2300 samples at 22050 Hz";
    EXPECT_EQ(sound.volume, 65535) << "level 15 at start";
    m_clock.Advance(104);
    EXPECT_EQ(m_manager.IsPlaying(0), 1) << "still playing 104 ms in";
    m_clock.Advance(1);
    EXPECT_TRUE(WaitIdle(0));
    EXPECT_EQ(m_manager.Unit(0)->LastResult(), MgrSoundUnit::kRenderOk);
}

TEST_F(SoundManagerTest, ChannelRules) {
    StartManager();
    const uint32_t ids[] = {1204};
    const uint32_t chime[] = {5};
    EXPECT_EQ(m_manager.PlayVoice(2, 0, ids, 1), 4);
    EXPECT_EQ(m_manager.PlayWaveFile(2, 0, u"x.wav"), 4);
    EXPECT_EQ(m_manager.IsPlaying(2), 1);
    EXPECT_EQ(m_manager.SetVolume(16), 4);
    ASSERT_EQ(m_manager.PlayVoice(0, 0, ids, 1), 0);
    ASSERT_TRUE(WaitSounds(0, 1));
    struct Case { const char* what; int channel; uint32_t flags; int expected; } cases[] = {
        {"interface sound while the voice plays", 1, 0, 1},
        {"voice with bit 0 while the voice plays", 0, 1, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(m_manager.PlayVoice(c.channel, c.flags, chime, 1), c.expected);
    }
    EXPECT_EQ(m_manager.PlayWaveFile(1, 0, u"x.wav"), 1);
    // Without bit 0 a new sentence replaces the one playing.
    ASSERT_EQ(m_manager.PlayVoice(0, 0, chime, 1), 0);
    ASSERT_TRUE(WaitSounds(0, 2));
    EXPECT_EQ(m_sinks[0]->Sounds()[1].pcm.size(), 3u * 320);
    m_clock.Advance(1000);
    ASSERT_TRUE(WaitIdle(0));
    EXPECT_EQ(m_manager.PlayVoice(1, 0, chime, 1), 0) << "the interface channel plays once the voice is idle";
    ASSERT_TRUE(WaitSounds(1, 1));
    m_clock.Advance(1000);
    EXPECT_TRUE(WaitIdle(1));
}

TEST_F(SoundManagerTest, LongRequestsAreCutOrRefused) {
    StartManager();
    std::vector<uint32_t> ids(25, 1202);
    ASSERT_EQ(m_manager.PlayVoice(0, 0, ids.data(), 25), 0);
    ASSERT_TRUE(WaitSounds(0, 1));
    EXPECT_EQ(m_sinks[0]->Sounds()[0].pcm.size(), 20u * 5 * 320) << "20 ids fit a request";
    m_clock.Advance(10000);
    ASSERT_TRUE(WaitIdle(0));
    EXPECT_EQ(m_manager.PlayWaveFile(0, 0, std::u16string(260, u'a')), 1);
    EXPECT_EQ(m_manager.IsPlaying(0), 0);
}

TEST(SoundGain, FactorSteps) {
    struct Case { int32_t gain; int k; } cases[] = {
        {0, 8}, {1000, 8}, {1124, 8}, {1125, 9}, {1249, 9}, {1250, 10}, {1374, 10}, {1375, 11},
        {1500, 12}, {1625, 13}, {1750, 14}, {1874, 14}, {1875, 15}, {1999, 15}, {2000, 16}, {5000, 16},
    };
    for (const Case& c : cases) EXPECT_EQ(GainFactor(c.gain), c.k) << c.gain;
}

TEST(SoundGain, SamplesScaleAndSaturate) {
    const int16_t in[] = {1000, -1000, 16383, 16384, 20000, -16384, -16385, -20000, 0, 7};
    struct Case { int32_t gain; int16_t out[10]; } cases[] = {
        {1000, {1000, -1000, 16383, 16384, 20000, -16384, -16385, -20000, 0, 7}},
        {1124, {1000, -1000, 16383, 16384, 20000, -16384, -16385, -20000, 0, 7}},
        {1125, {1125, -1125, 18430, 18432, 22500, -18432, -18434, -22500, 0, 7}},
        {2000, {2000, -2000, 32766, 32767, 32767, -32768, -32768, -32768, 0, 14}},
    };
    WaveFormat format;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.gain);
        platform::ByteWriter w;
        for (int16_t s : in) w.I16(s);
        std::vector<uint8_t> bytes = w.Data();
        ApplyGain(bytes.data(), bytes.size(), format, c.gain);
        platform::ByteReader r(bytes);
        for (int16_t expected : c.out) EXPECT_EQ(r.I16(), expected);
    }
    // 8-bit samples are unsigned about 128.
    std::vector<uint8_t> eight = {128, 129, 127, 200, 20, 255, 0};
    format.bitsPerSample = 8;
    format.blockAlign = 1;
    ApplyGain(eight.data(), eight.size(), format, 2000);
    EXPECT_EQ(eight, (std::vector<uint8_t>{128, 130, 126, 255, 0, 255, 0}));
}

TEST_F(SoundManagerTest, GainAppliesToWhatIsPlayed) {
    StartManager();
    m_manager.SetGain(2000);
    const uint32_t ids[] = {1201};
    ASSERT_EQ(m_manager.PlayVoice(0, 0, ids, 1), 0);
    ASSERT_TRUE(WaitSounds(0, 1));
    std::vector<uint8_t> plain;
    ASSERT_TRUE(m_manager.Banks().BuildSentence(ids, 1, plain));
    const std::vector<uint8_t> played = m_sinks[0]->Sounds()[0].pcm;
    ASSERT_EQ(played.size(), plain.size() - 44);
    platform::ByteReader a(played), b(plain);
    b.Seek(44);
    for (size_t i = 0; i < played.size() / 2; ++i) ASSERT_EQ(a.I16(), std::clamp(2 * b.I16(), -32768, 32767)) << i;
}

TEST(SoundVolume, LevelsMapToTheDeviceVolume) {
    struct Case { int level; uint16_t volume; } cases[] = {{0, 0}, {1, 45146}, {3, 48059}, {7, 53884}, {15, 65535}};
    for (const Case& c : cases) EXPECT_EQ(VolumeForLevel(c.level), c.volume) << c.level;
}

class WaveOutTest : public SoundFixture {
protected:
    void Prepare(int, CaptureAudioSink& sink) override {
        sink.SetDeviceCount(m_devices);
        sink.FailDevices(m_failing);
    }
    int m_devices = 2;
    std::vector<int> m_failing;
};

TEST_F(WaveOutTest, FixedDeviceThenTheFirstThatOpens) {
    struct Case { int waveDevice; std::vector<int> failing; int expected; } cases[] = {
        {1, {}, 1}, {-1, {}, 0}, {5, {}, 0}, {1, {1, 0}, -2}, {-1, {0}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.waveDevice);
        m_failing = c.failing;
        StartManager(SoundOutputConfig{1, c.waveDevice});
        const uint32_t ids[] = {1202};
        ASSERT_EQ(m_manager.PlayVoice(0, 0, ids, 1), 0);
        if (c.expected == -2) {
            ASSERT_TRUE(WaitIdle(0)) << "a channel whose device fails is not left busy";
            EXPECT_EQ(m_manager.Unit(0)->LastResult(), MgrSoundUnit::kRenderDeviceFailed);
            EXPECT_EQ(m_sinks[0]->SoundCount(), 0u);
        } else {
            ASSERT_TRUE(WaitSounds(0, 1));
            EXPECT_EQ(m_sinks[0]->Sounds()[0].device, c.expected);
            m_clock.Advance(1000);
            ASSERT_TRUE(WaitIdle(0));
            EXPECT_FALSE(m_sinks[0]->IsOpen()) << "the wave-out path closes its device after a sound";
        }
        m_manager.Release();
    }
}

TEST_F(WaveOutTest, VolumeGoesToTheDeviceWithWaveOutOnly) {
    StartManager(SoundOutputConfig{1, -1});
    EXPECT_EQ(m_manager.SetVolume(1), 0);
    const uint32_t ids[] = {1202};
    ASSERT_EQ(m_manager.PlayVoice(0, 0, ids, 1), 0);
    ASSERT_TRUE(WaitSounds(0, 1));
    EXPECT_EQ(m_sinks[0]->Sounds()[0].volume, 45146);
    m_manager.Release();

    StartManager(SoundOutputConfig{0, -1});
    EXPECT_EQ(m_manager.SetVolume(1), 0);
    EXPECT_EQ(m_manager.Volume(), 1);
    ASSERT_EQ(m_manager.PlayVoice(0, 0, ids, 1), 0);
    ASSERT_TRUE(WaitSounds(0, 1));
    EXPECT_EQ(m_sinks[0]->Sounds()[0].volume, 65535) << "the default output has no volume of its own";
}

TEST_F(SoundManagerTest, FailedWriteClearsBusy) {
    StartManager();
    m_sinks[0]->FailWrites(true);
    const uint32_t ids[] = {1202};
    ASSERT_EQ(m_manager.PlayVoice(0, 0, ids, 1), 0);
    ASSERT_TRUE(WaitIdle(0));
    EXPECT_EQ(m_manager.Unit(0)->LastResult(), MgrSoundUnit::kRenderDeviceFailed);
}

// A wave file as the toolkit's touch sounds are stored, with a chunk before
// the samples that fixed offsets would read as samples.
std::vector<uint8_t> WaveFile(uint16_t channels, uint16_t bits, const std::vector<uint8_t>& samples,
                              bool listChunk) {
    platform::ByteWriter w;
    w.Bytes("RIFF", 4);
    w.U32(0);
    w.Bytes("WAVE", 4);
    w.Bytes("fmt ", 4);
    w.U32(16);
    w.U16(1);
    w.U16(channels);
    w.U32(22050);
    w.U32(22050 * channels * bits / 8);
    w.U16(static_cast<uint16_t>(channels * bits / 8));
    w.U16(bits);
    if (listChunk) {
        w.Bytes("LIST", 4);
        w.U32(5);
        w.Bytes("INFOx\0", 6);   // odd length and its pad byte
    }
    w.Bytes("data", 4);
    w.U32(static_cast<uint32_t>(samples.size()));
    w.Bytes(samples.data(), samples.size());
    w.PatchU32(4, static_cast<uint32_t>(w.Size() - 8));
    return w.Data();
}

TEST_F(SoundManagerTest, WaveFilesAreReadByTheirChunks) {
    StartManager();
    std::vector<uint8_t> samples;
    for (int i = 0; i < 400; ++i) samples.push_back(static_cast<uint8_t>(i * 37));
    struct Case { const char* name; uint16_t channels, bits; bool list; size_t played; int result; } cases[] = {
        {"plain.wav", 1, 16, false, 400, MgrSoundUnit::kRenderOk},
        {"list.wav", 2, 16, true, 400, MgrSoundUnit::kRenderOk},
        {"eight.wav", 1, 8, true, 400, MgrSoundUnit::kRenderOk},
        {"nochannels.wav", 0, 16, false, 0, MgrSoundUnit::kRenderNoBuffer},
        {"nobits.wav", 1, 0, false, 0, MgrSoundUnit::kRenderNoBuffer},
        {"missing.wav", 1, 16, false, 0, MgrSoundUnit::kRenderNoBuffer},
    };
    size_t sounds = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (std::strcmp(c.name, "missing.wav") != 0) {
            const std::vector<uint8_t> file = WaveFile(c.channels, c.bits, samples, c.list);
            m_dir.Write(std::string("Touch/") + c.name, std::string(file.begin(), file.end()));
        }
        // The toolkit names files the Windows way, in any case.
        const std::string path = m_dir.Path() + "\\TOUCH\\" + c.name;
        ASSERT_EQ(m_manager.PlayWaveFile(1, 0, std::u16string(path.begin(), path.end())), 0);
        if (c.result == MgrSoundUnit::kRenderOk) {
            ASSERT_TRUE(WaitSounds(1, ++sounds));
            const CaptureAudioSink::Sound s = m_sinks[1]->Sounds().back();
            EXPECT_EQ(s.pcm, samples);
            EXPECT_EQ(s.format.channels, c.channels);
            EXPECT_EQ(s.format.bitsPerSample, c.bits);
            m_clock.Advance(1000);
        }
        ASSERT_TRUE(WaitIdle(1));
        EXPECT_EQ(m_manager.Unit(1)->LastResult(), c.result);
    }
}

TEST_F(SoundManagerTest, StartUpSetsTheBankSwitches) {
    CMgrConfigGlobalData& global = CMgrConfigGlobalData::Instance();
    global.m_extendWave = 1;
    StartManager({}, /*withExtended=*/false);
    EXPECT_EQ(global.m_extendWave, 0) << "no extended bank";
    EXPECT_EQ(global.m_waveBaseCompat, 1) << "a base bank of four clips";
    m_manager.Release();
    global.m_extendWave = 1;
    StartManager({}, true);
    EXPECT_EQ(global.m_extendWave, 1);
}

}  // namespace
