#pragma once
// Writes voice banks: "Wave\AlarmWave", "Wave\BaseWave" and "Wave\ExtendWave"
// (.idx/.dat) under a map folder, from clips given as 16-bit mono 22050 Hz
// samples, each stored raw, as GSM 06.10 frames (libgsm) or as Ogg Vorbis
// (libvorbisenc). The readable source is a vocabulary table: one clip a line,
// "id<TAB>codec<TAB>Korean text", spoken by espeak-ng's Korean voice.
#include <cstdint>
#include <string>
#include <vector>

namespace writers {

struct VocabularyEntry {
    uint32_t id = 0;
    uint32_t codec = 0;
    std::string text;
};

// Lines "id\tcodec\ttext"; '#' lines and blank lines are skipped. False
// (error names the line) for a malformed line, a codec above 2 or a repeated id.
bool ParseVocabulary(const std::string& text, std::vector<VocabularyEntry>& out, std::string* error = nullptr);

// Speaks text with `espeak-ng -v ko` (run as a process) into 22050 Hz mono
// 16-bit samples.
bool SpeakKorean(const std::string& text, std::vector<int16_t>& pcm, std::string* error = nullptr);

// Encoders. GSM: 160-sample frames (the tail padded with silence), 33 bytes
// each. Vorbis: one logical stream of the given serial number.
std::vector<uint8_t> EncodeGsmFrames(const std::vector<int16_t>& pcm);
bool EncodeVorbis(const std::vector<int16_t>& pcm, int serial, std::vector<uint8_t>& out,
                  std::string* error = nullptr);

// One clip as stored in a bank.
struct BankClip {
    uint32_t id = 0;
    uint32_t codec = 0;
    std::vector<uint8_t> stored;
    uint32_t decodedSize = 0;
};
// Encodes samples with the codec; the decoded size is what the bank's
// decoder yields for the stored bytes.
bool MakeBankClip(uint32_t id, uint32_t codec, const std::vector<int16_t>& pcm, BankClip& out,
                  std::string* error = nullptr);

// Index (20-byte entries sorted by id) and data bytes of one bank.
void VoiceBankBytes(std::vector<BankClip> clips, std::vector<uint8_t>& index, std::vector<uint8_t>& data);
// Writes the three banks under mapFolder/Wave, each clip to the bank its id
// selects. A bank with no clip is not written.
bool WriteVoiceBanks(const std::string& mapFolder, const std::vector<BankClip>& clips, std::string* error = nullptr);

// Speaks every entry (several espeak-ng processes at a time), encodes it
// and writes the banks. With a cache folder, spoken samples are kept there
// by text and reused.
bool WriteVoiceBanksFromVocabulary(const std::vector<VocabularyEntry>& vocabulary, const std::string& mapFolder,
                                   const std::string& cacheFolder, std::string* error = nullptr);

// The demo vocabulary table of the source tree ("" when not found).
std::string FindDemoVocabulary();
// The demo data root's voice banks under root's map folder.
bool WriteDemoVoiceBanks(const std::string& root, std::string* error = nullptr);

}  // namespace writers
