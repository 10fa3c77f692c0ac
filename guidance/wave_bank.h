#pragma once
// The voice banks: three index/data file pairs under the map folder
// ("Wave\AlarmWave", "Wave\BaseWave", "Wave\ExtendWave"), each clip stored
// raw, as GSM 06.10 frames or as an Ogg Vorbis stream, and the sentence
// builder that joins clips into one 16-bit mono 22050 Hz RIFF/WAVE buffer.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "guidance/gsm_decoder.h"
#include "platform/file_io.h"

inline constexpr size_t kWaveIndexEntryBytes = 20;
inline constexpr size_t kWaveHeaderBytes = 44;
inline constexpr uint32_t kWaveSampleRate = 22050;
// A base bank with fewer entries than this is of the older form; the
// sentence builder then uses its older lane clips.
inline constexpr uint32_t kWaveBaseCurrentEntries = 1375;
// A clip or a sentence larger than this is damage, not speech (six minutes
// of samples): its index entry is not believed.
inline constexpr uint32_t kWaveMaxDecodedBytes = 16u << 20;
// The last id of the alarm and the base bank; ids above go to the extended bank.
inline constexpr uint32_t kWaveAlarmLastId = 100;
inline constexpr uint32_t kWaveBaseLastId = 3000;

enum WaveCodec : uint32_t { kWaveCodecRaw = 0, kWaveCodecGsm = 1, kWaveCodecVorbis = 2 };

// One 20-byte index entry.
struct WaveIndexEntry {
    uint32_t id = 0;
    uint32_t codec = 0;
    uint32_t offset = 0;
    uint32_t storedSize = 0;
    uint32_t decodedSize = 0;
};
bool ReadWaveIndexEntry(const uint8_t* bytes, WaveIndexEntry& entry);

// The 44-byte header of a 16-bit mono 22050 Hz buffer with dataBytes of samples.
void WriteWaveHeader(uint8_t* header, uint32_t dataBytes);

// Clip decoders. Each writes at most outSize bytes (the entry's decoded
// size) and reads no more than storedSize bytes; the return is the number of
// bytes written, -1 when the clip cannot be decoded at all.
// Speech frames: a fresh decoder state per clip; a frame without the 0xD
// signature gives 160 zero samples; a trailing partial frame is ignored.
int64_t DecodeGsmClip(const uint8_t* stored, size_t storedSize, uint8_t* out, size_t outSize,
                      GsmArithmetic arithmetic = GsmArithmetic::kBank);
// Ogg Vorbis through libogg and libvorbis: every logical stream in turn,
// samples as floor(x * 32767 + 0.5) clamped, channels interleaved.
int64_t DecodeVorbisClip(const uint8_t* stored, size_t storedSize, uint8_t* out, size_t outSize);

class MgrWaveBank {
public:
    MgrWaveBank() = default;
    MgrWaveBank(const MgrWaveBank&) = delete;
    MgrWaveBank& operator=(const MgrWaveBank&) = delete;

    // Opens the index (count = size / 20; in memory: read whole and closed)
    // and the data file. 1 when the data file is open.
    int Open(const std::string& indexPath, const std::string& dataPath, bool inMemory);
    void Close();
    bool IsOpen() const { return m_data.IsOpen(); }
    uint32_t Count() const { return m_count; }

    // Binary search of the entry; the on-file form reads 20 bytes a probe.
    bool FindInMemory(uint32_t id, WaveIndexEntry& entry) const;
    bool FindOnFile(uint32_t id, WaveIndexEntry& entry) const;
    bool Find(uint32_t id, WaveIndexEntry& entry) const;
    // 0 when the id is missing or its decoded size is beyond kWaveMaxDecodedBytes.
    uint32_t GetDecodedSize(uint32_t id) const;
    // Decodes the clip into dest (capacity destSize, at least the decoded
    // size). Decoded bytes short of the decoded size are zero. 1 on success;
    // 0 when the id is missing, the codec is unknown, the scratch memory
    // cannot be had, a read fails or the stream cannot be decoded.
    int ReadClip(uint8_t* dest, size_t destSize, uint32_t id,
                 GsmArithmetic arithmetic = GsmArithmetic::kBank) const;

private:
    std::vector<uint8_t> m_index;   // in-memory index bytes, empty for the on-file form
    bool m_inMemory = false;
    uint32_t m_count = 0;
    platform::File m_indexFile;     // open only for the on-file form
    platform::File m_data;
};

class MgrWaveBankSet {
public:
    MgrWaveBankSet() = default;
    MgrWaveBankSet(const MgrWaveBankSet&) = delete;
    MgrWaveBankSet& operator=(const MgrWaveBankSet&) = delete;

    // Opens the three banks under rootFolder (the map folder): the alarm
    // and base indexes in memory, the extended index on disk. Returns 1;
    // a missing alarm or base bank only makes its lookups fail.
    int OpenWaveBanks(const std::string& rootFolder);
    void Close();

    // 0 alarm (ids 0-100), 1 base (101-3000), 2 extended (above 3000).
    static int BankOf(uint32_t id);
    const MgrWaveBank& Bank(int index) const { return m_banks[index]; }
    bool ExtendedOpen() const { return m_banks[2].IsOpen(); }
    // Set when the base index holds fewer than 1375 entries.
    bool BaseCompatibility() const { return m_baseCompatibility; }

    uint32_t GetDecodedSize(uint32_t id) const;
    // The sentence: 44-byte header, then each clip in list order. A clip
    // that cannot be read, or that would take the sentence beyond
    // kWaveMaxDecodedBytes, is left out, and the header counts what was
    // written. False only when the buffer cannot be had.
    bool BuildSentence(const uint32_t* ids, size_t count, std::vector<uint8_t>& out) const;

    // The speech-frame arithmetic (tests switch to the standard one).
    void SetArithmetic(GsmArithmetic arithmetic) { m_arithmetic = arithmetic; }

private:
    MgrWaveBank m_banks[3];
    bool m_baseCompatibility = false;
    GsmArithmetic m_arithmetic = GsmArithmetic::kBank;
};
