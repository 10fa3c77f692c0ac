// The voice banks and the sentence builder on banks written by the voice
// bank writer: which bank an id goes to, the clip codecs, what a sentence
// holds when clips are missing or broken, and the Ogg Vorbis decoding
// against libvorbisfile.
#include <vorbis/vorbisfile.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "guidance/wave_bank.h"
#include "platform/byte_cursor.h"
#include "platform/file_io.h"
#include "support/temp_dir.h"
#include "tools/writers/voice_bank_writer.h"

namespace {

// A tone of n samples; each id gets its own pitch so clips can be told apart.
std::vector<int16_t> Tone(size_t n, double hz, double amplitude = 8000) {
    std::vector<int16_t> pcm(n);
    for (size_t i = 0; i < n; ++i)
        pcm[i] = static_cast<int16_t>(amplitude * std::sin(2 * M_PI * hz * static_cast<double>(i) / 22050.0));
    return pcm;
}

writers::BankClip Clip(uint32_t id, uint32_t codec, size_t samples) {
    writers::BankClip clip;
    std::string error;
    EXPECT_TRUE(writers::MakeBankClip(id, codec, Tone(samples, 200 + id % 700), clip, &error)) << error;
    return clip;
}

std::vector<uint8_t> Bytes(const std::vector<int16_t>& pcm) {
    platform::ByteWriter w;
    for (int16_t s : pcm) w.I16(s);
    return w.Data();
}

uint32_t U32At(const std::vector<uint8_t>& b, size_t offset) {
    platform::ByteReader r(b);
    r.Seek(offset);
    return r.U32();
}

class WaveBankTest : public ::testing::Test {
protected:
    std::string Map() const { return m_dir.Path(); }
    void WriteBanks(const std::vector<writers::BankClip>& clips) {
        std::string error;
        ASSERT_TRUE(writers::WriteVoiceBanks(Map(), clips, &error)) << error;
    }
    // One bank's files from clips, with the index bytes handed to a hook first.
    void WriteBankFiles(const std::string& name, std::vector<writers::BankClip> clips,
                        void (*patch)(std::vector<uint8_t>& index) = nullptr) {
        std::vector<uint8_t> index, data;
        writers::VoiceBankBytes(std::move(clips), index, data);
        if (patch) patch(index);
        m_dir.Write("Wave/" + name + ".idx", std::string(index.begin(), index.end()));
        m_dir.Write("Wave/" + name + ".dat", std::string(data.begin(), data.end()));
    }
    testsupport::TempDir m_dir;
};

TEST_F(WaveBankTest, TheIdAloneChoosesTheBank) {
    // Clip 100 is also stored in the base bank and clip 3001 in the base bank
    // with other lengths: only the bank of the id's range may answer.
    WriteBankFiles("AlarmWave", {Clip(100, 0, 1000)});
    WriteBankFiles("BaseWave", {Clip(100, 0, 3000), Clip(101, 0, 1100), Clip(3000, 1, 1600), Clip(3001, 0, 5000)});
    WriteBankFiles("ExtendWave", {Clip(3001, 2, 2205)});
    MgrWaveBankSet banks;
    ASSERT_EQ(banks.OpenWaveBanks(Map()), 1);
    struct Case { uint32_t id; int bank; uint32_t decoded; } cases[] = {
        {100, 0, 2000}, {101, 1, 2200}, {3000, 1, 10 * 320}, {3001, 2, 0 /* from the decoder */}, {0, 0, 0}, {102, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(MgrWaveBankSet::BankOf(c.id), c.bank);
        if (c.id == 3001) {
            EXPECT_GE(banks.GetDecodedSize(c.id), 2205u * 2 - 2048);
            EXPECT_LE(banks.GetDecodedSize(c.id), 2205u * 2 + 2048);
        } else {
            EXPECT_EQ(banks.GetDecodedSize(c.id), c.decoded);
        }
    }
    EXPECT_TRUE(banks.ExtendedOpen());
    EXPECT_TRUE(banks.BaseCompatibility()) << "a base bank of 5 clips is of the older form";
}

TEST_F(WaveBankTest, SentenceOfTwoClipsHoldsTheHeaderAndBothClipsInOrder) {
    const std::vector<int16_t> first = Tone(1500, 440);
    writers::BankClip raw, gsm;
    ASSERT_TRUE(writers::MakeBankClip(1201, 0, first, raw));
    gsm = Clip(1202, 1, 800);   // 5 frames
    WriteBanks({raw, gsm});
    MgrWaveBankSet banks;
    banks.OpenWaveBanks(Map());
    const uint32_t ids[] = {1201, 1202};
    std::vector<uint8_t> out;
    ASSERT_TRUE(banks.BuildSentence(ids, 2, out));
    const uint32_t data = 3000 + 5 * 320;
    ASSERT_EQ(out.size(), 44u + data);
    std::vector<uint8_t> header(44);
    WriteWaveHeader(header.data(), data);
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 44), header);
    EXPECT_EQ(std::memcmp(out.data(), "RIFF", 4), 0);
    EXPECT_EQ(U32At(out, 4), data + 36);
    EXPECT_EQ(U32At(out, 24), 22050u);
    EXPECT_EQ(U32At(out, 40), data);
    const std::vector<uint8_t> raw16 = Bytes(first);
    EXPECT_TRUE(std::equal(raw16.begin(), raw16.end(), out.begin() + 44));
    std::vector<uint8_t> decoded(5 * 320);
    ASSERT_EQ(DecodeGsmClip(gsm.stored.data(), gsm.stored.size(), decoded.data(), decoded.size()), 1600);
    EXPECT_TRUE(std::equal(decoded.begin(), decoded.end(), out.begin() + 44 + 3000));
}

TEST_F(WaveBankTest, MissingAndBrokenClipsAreLeftOut) {
    writers::BankClip good = Clip(1301, 0, 500), later = Clip(1303, 2, 2000);
    writers::BankClip unknown = Clip(1302, 0, 700);
    unknown.codec = 7;   // no decoder knows it
    WriteBanks({good, unknown, later});
    MgrWaveBankSet banks;
    banks.OpenWaveBanks(Map());

    std::vector<uint8_t> out;
    const uint32_t missing[] = {1400, 1401, 3500, 7};
    ASSERT_TRUE(banks.BuildSentence(missing, 4, out));
    ASSERT_EQ(out.size(), 44u);
    EXPECT_EQ(U32At(out, 4), 36u);
    EXPECT_EQ(U32At(out, 40), 0u);

    std::vector<uint8_t> alone;
    const uint32_t laterOnly[] = {1303};
    ASSERT_TRUE(banks.BuildSentence(laterOnly, 1, alone));
    const uint32_t ids[] = {1301, 1302, 1400, 1303};
    ASSERT_TRUE(banks.BuildSentence(ids, 4, out));
    const size_t laterBytes = alone.size() - 44;
    ASSERT_EQ(out.size(), 44u + 1000 + laterBytes) << "the clip of codec 7 is left out, not left as noise";
    EXPECT_EQ(U32At(out, 40), 1000 + laterBytes);
    EXPECT_TRUE(std::equal(alone.begin() + 44, alone.end(), out.begin() + 44 + 1000));
    std::vector<uint8_t> one(1400);
    EXPECT_EQ(banks.Bank(1).ReadClip(one.data(), one.size(), 1302), 0);
}

TEST_F(WaveBankTest, SpeechFrameClipOf66BytesDecodesTo640) {
    writers::BankClip clip = Clip(1500, 1, 320);
    ASSERT_EQ(clip.stored.size(), 66u);
    ASSERT_EQ(clip.decodedSize, 640u);
    // A second clip whose first frame lacks the signature: 160 zero samples.
    writers::BankClip unsigned_ = Clip(1501, 1, 320);
    unsigned_.stored[0] = 0xC0;
    WriteBanks({clip, unsigned_});
    MgrWaveBankSet banks;
    banks.OpenWaveBanks(Map());
    std::vector<uint8_t> out(640, 0xAA);
    ASSERT_EQ(banks.Bank(1).ReadClip(out.data(), out.size(), 1501), 1);
    for (size_t i = 0; i < 320; ++i) ASSERT_EQ(out[i], 0) << i;
    bool sound = false;
    for (size_t i = 320; i < 640; ++i) sound |= out[i] != 0;
    EXPECT_TRUE(sound);
}

TEST_F(WaveBankTest, EachClipStartsFromAFreshDecoder) {
    // The same clip twice in a sentence decodes to the same samples twice.
    WriteBanks({Clip(1600, 1, 1600)});
    MgrWaveBankSet banks;
    banks.OpenWaveBanks(Map());
    const uint32_t ids[] = {1600, 1600};
    std::vector<uint8_t> out;
    ASSERT_TRUE(banks.BuildSentence(ids, 2, out));
    const size_t n = (out.size() - 44) / 2;
    ASSERT_EQ(n, 3200u);
    EXPECT_TRUE(std::equal(out.begin() + 44, out.begin() + 44 + n, out.begin() + 44 + n));
}

// Index entries whose sizes lie: decoders write no more than the decoded
// size and read no more than the stored size.
TEST_F(WaveBankTest, DecodersAreBoundedByTheEntrySizes) {
    std::vector<writers::BankClip> clips = {Clip(1701, 1, 1600), Clip(1702, 2, 4000), Clip(1703, 0, 1000),
                                            Clip(1704, 1, 1600), Clip(1705, 0, 100)};
    WriteBankFiles("BaseWave", clips, [](std::vector<uint8_t>& index) {
        auto set = [&](size_t entry, size_t field, uint32_t v) {
            for (int i = 0; i < 4; ++i) index[entry * 20 + field * 4 + i] = static_cast<uint8_t>(v >> (8 * i));
        };
        set(0, 4, 100);            // speech frames yield 3200 bytes, room for 100
        set(1, 4, 101);            // an odd room for Vorbis samples
        set(2, 4, 5000);           // raw: more room than stored bytes: the rest is silence
        set(3, 3, 40000);          // a stored size past the end of the data file
        set(4, 2, 0xFFFFFF00u);    // an offset past the end
    });
    MgrWaveBankSet banks;
    banks.OpenWaveBanks(Map());
    struct Case { uint32_t id; int ok; size_t room; } cases[] = {
        {1701, 1, 100}, {1702, 1, 101}, {1703, 1, 5000}, {1704, 0, 3200}, {1705, 0, 200},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        // Exactly the room asked for, so ASan sees any write past it.
        std::vector<uint8_t> out(c.room, 0x55);
        EXPECT_EQ(banks.Bank(1).ReadClip(out.data(), out.size(), c.id), c.ok);
        if (c.id == 1703) {
            for (size_t i = 2000; i < 5000; ++i) ASSERT_EQ(out[i], 0) << i;
        }
    }
    const uint32_t ids[] = {1701, 1702, 1703, 1704, 1705};
    std::vector<uint8_t> out;
    ASSERT_TRUE(banks.BuildSentence(ids, 5, out));
    EXPECT_EQ(out.size(), 44u + 100 + 101 + 5000);
}

TEST_F(WaveBankTest, BaseBankSizeSetsTheCompatibilityForm) {
    for (uint32_t count : {1374u, 1375u}) {
        SCOPED_TRACE(count);
        std::vector<writers::BankClip> clips;
        for (uint32_t i = 0; i < count; ++i) {
            writers::BankClip c;
            c.id = 101 + i;
            c.stored = {1, 0};
            c.decodedSize = 2;
            clips.push_back(c);
        }
        WriteBankFiles("BaseWave", clips);
        MgrWaveBankSet banks;
        banks.OpenWaveBanks(Map());
        EXPECT_EQ(banks.Bank(1).Count(), count);
        EXPECT_EQ(banks.BaseCompatibility(), count < 1375);
        EXPECT_FALSE(banks.ExtendedOpen());
    }
}

TEST_F(WaveBankTest, SearchOnFileAndInMemoryFindEveryEntry) {
    std::vector<writers::BankClip> base, extended;
    for (uint32_t i = 0; i < 37; ++i) {
        writers::BankClip c;
        c.stored = {static_cast<uint8_t>(i), 0};
        c.decodedSize = 2;
        c.id = 101 + 3 * i;
        base.push_back(c);
        c.id = 3001 + 5 * i;
        extended.push_back(c);
    }
    WriteBankFiles("BaseWave", base);
    WriteBankFiles("ExtendWave", extended, [](std::vector<uint8_t>& index) { index.resize(index.size() + 7); });
    MgrWaveBankSet banks;
    banks.OpenWaveBanks(Map());
    EXPECT_EQ(banks.Bank(2).Count(), 37u) << "a trailing partial entry is not an entry";
    for (uint32_t i = 0; i < 37; ++i) {
        WaveIndexEntry e;
        ASSERT_TRUE(banks.Bank(1).FindInMemory(101 + 3 * i, e));
        EXPECT_EQ(e.offset, 2 * i);
        ASSERT_TRUE(banks.Bank(2).FindOnFile(3001 + 5 * i, e));
        EXPECT_EQ(e.offset, 2 * i);
        EXPECT_FALSE(banks.Bank(1).FindInMemory(102 + 3 * i, e));
        EXPECT_FALSE(banks.Bank(2).FindOnFile(3002 + 5 * i, e));
    }
}

// libvorbisfile's own float samples, converted as the banks convert them.
std::vector<int16_t> VorbisFileSamples(const std::string& path) {
    OggVorbis_File vf;
    std::vector<int16_t> out;
    if (ov_fopen(path.c_str(), &vf) != 0) return out;
    const int channels = ov_info(&vf, -1)->channels;
    for (;;) {
        float** pcm = nullptr;
        int section = 0;
        const long n = ov_read_float(&vf, &pcm, 4096, &section);
        if (n <= 0) break;
        for (long i = 0; i < n; ++i)
            for (int c = 0; c < channels; ++c) {
                const int v = static_cast<int>(std::floor(pcm[c][i] * 32767.0f + 0.5f));
                out.push_back(static_cast<int16_t>(std::clamp(v, -32768, 32767)));
            }
    }
    ov_clear(&vf);
    return out;
}

TEST_F(WaveBankTest, VorbisClipsEqualLibvorbisfile) {
    struct Case { uint32_t id; size_t samples; double hz; } cases[] = {
        {1801, 700, 300}, {1802, 22050, 523}, {1803, 40000, 97}, {1804, 4096, 1000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        std::vector<uint8_t> stored;
        ASSERT_TRUE(writers::EncodeVorbis(Tone(c.samples, c.hz, 12000), static_cast<int>(c.id), stored));
        const std::string path = m_dir.File("clip.ogg");
        ASSERT_TRUE(platform::AtomicReplaceFile(path, stored));
        const std::vector<int16_t> expected = VorbisFileSamples(path);
        ASSERT_FALSE(expected.empty());
        std::vector<uint8_t> out(expected.size() * 2 + 4096);
        const int64_t n = DecodeVorbisClip(stored.data(), stored.size(), out.data(), out.size());
        ASSERT_EQ(n, static_cast<int64_t>(expected.size() * 2));
        const std::vector<uint8_t> expectedBytes = Bytes(expected);
        EXPECT_TRUE(std::equal(expectedBytes.begin(), expectedBytes.end(), out.begin()));
    }
}

TEST_F(WaveBankTest, VorbisStreamWithDamagedHeadersGivesNothing) {
    std::vector<uint8_t> stored;
    ASSERT_TRUE(writers::EncodeVorbis(Tone(4000, 440), 9, stored));
    std::vector<uint8_t> out(20000);
    std::vector<uint8_t> damaged = stored;
    damaged[28 + 1 + 6] ^= 0xFF;   // the identification header's version (the page checksum breaks too)
    EXPECT_EQ(DecodeVorbisClip(damaged.data(), damaged.size(), out.data(), out.size()), -1);
    EXPECT_EQ(DecodeVorbisClip(stored.data(), 20, out.data(), out.size()), -1);
    EXPECT_EQ(DecodeVorbisClip(nullptr, 0, out.data(), out.size()), -1);
}

}  // namespace
