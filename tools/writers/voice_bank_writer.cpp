#include "tools/writers/voice_bank_writer.h"

extern "C" {
#include <gsm.h>
}
#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include "guidance/wave_bank.h"
#include "platform/byte_cursor.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "tools/writers/source_tree.h"

namespace writers {

namespace {

bool Fail(std::string* error, const std::string& why) {
    if (error) *error = why;
    return false;
}

// Samples of a WAV stream as espeak-ng writes it: the "data" chunk to the
// end of the bytes (its size field may be a placeholder).
bool WavSamples(const std::vector<uint8_t>& bytes, std::vector<int16_t>& pcm) {
    platform::ByteReader r(bytes);
    if (!r.Seek(12)) return false;
    while (r.Has(8)) {
        char id[4];
        r.Bytes(id, 4);
        const uint32_t length = r.U32();
        if (std::memcmp(id, "data", 4) == 0) {
            const size_t n = std::min<size_t>(length, r.Remaining()) / 2;
            pcm.resize(n);
            for (size_t i = 0; i < n; ++i) pcm[i] = r.I16();
            return r.Ok();
        }
        if (!r.Skip(length)) return false;
    }
    return false;
}

std::string ShellQuote(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

uint64_t TextHash(const std::string& text) {
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : text) h = (h ^ c) * 1099511628211ull;
    return h;
}

}  // namespace

bool ParseVocabulary(const std::string& text, std::vector<VocabularyEntry>& out, std::string* error) {
    out.clear();
    std::set<uint32_t> seen;
    std::istringstream in(text);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        const size_t tab1 = line.find('\t');
        const size_t tab2 = tab1 == std::string::npos ? tab1 : line.find('\t', tab1 + 1);
        VocabularyEntry e;
        char* end = nullptr;
        const std::string idText = line.substr(0, tab1);
        const unsigned long id = std::strtoul(idText.c_str(), &end, 10);
        const std::string codecText = tab2 == std::string::npos ? "" : line.substr(tab1 + 1, tab2 - tab1 - 1);
        if (tab2 == std::string::npos || idText.empty() || *end != 0 || codecText.size() != 1 ||
            codecText[0] < '0' || codecText[0] > '2' || tab2 + 1 >= line.size())
            return Fail(error, "vocabulary line " + std::to_string(number) + ": expected id, codec 0-2 and text");
        e.id = static_cast<uint32_t>(id);
        e.codec = static_cast<uint32_t>(codecText[0] - '0');
        e.text = line.substr(tab2 + 1);
        if (!seen.insert(e.id).second)
            return Fail(error, "vocabulary line " + std::to_string(number) + ": id " + idText + " repeated");
        out.push_back(std::move(e));
    }
    return true;
}

bool SpeakKorean(const std::string& text, std::vector<int16_t>& pcm, std::string* error) {
    const std::string command = "espeak-ng -v ko --stdout " + ShellQuote(text) + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return Fail(error, "cannot run espeak-ng");
    std::vector<uint8_t> bytes;
    uint8_t buffer[16384];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
    const int status = pclose(pipe);
    if (status != 0 || !WavSamples(bytes, pcm) || pcm.empty())
        return Fail(error, "espeak-ng gave no speech for \"" + text + "\"");
    return true;
}

std::vector<uint8_t> EncodeGsmFrames(const std::vector<int16_t>& pcm) {
    std::vector<uint8_t> out;
    gsm handle = gsm_create();
    if (!handle) return out;
    for (size_t pos = 0; pos < pcm.size(); pos += 160) {
        gsm_signal block[160] = {};
        std::copy_n(pcm.begin() + static_cast<std::ptrdiff_t>(pos), std::min<size_t>(160, pcm.size() - pos), block);
        gsm_frame frame;
        gsm_encode(handle, block, frame);
        out.insert(out.end(), frame, frame + sizeof(gsm_frame));
    }
    gsm_destroy(handle);
    return out;
}

bool EncodeVorbis(const std::vector<int16_t>& pcm, int serial, std::vector<uint8_t>& out, std::string* error) {
    out.clear();
    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, 1, static_cast<long>(kWaveSampleRate), 0.3f) != 0) {
        vorbis_info_clear(&vi);
        return Fail(error, "vorbis encoder set-up failed");
    }
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_dsp_state vd;
    vorbis_block vb;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, serial);
    ogg_page og;
    ogg_packet header, comment, code;
    vorbis_analysis_headerout(&vd, &vc, &header, &comment, &code);
    ogg_stream_packetin(&os, &header);
    ogg_stream_packetin(&os, &comment);
    ogg_stream_packetin(&os, &code);
    auto append = [&] { out.insert(out.end(), og.header, og.header + og.header_len);
                        out.insert(out.end(), og.body, og.body + og.body_len); };
    while (ogg_stream_flush(&os, &og) != 0) append();
    size_t pos = 0;
    bool eos = false;
    while (!eos) {
        const size_t n = std::min<size_t>(1024, pcm.size() - pos);
        if (n == 0) {
            vorbis_analysis_wrote(&vd, 0);
        } else {
            float** buffer = vorbis_analysis_buffer(&vd, static_cast<int>(n));
            for (size_t i = 0; i < n; ++i) buffer[0][i] = pcm[pos + i] / 32768.0f;
            vorbis_analysis_wrote(&vd, static_cast<int>(n));
            pos += n;
        }
        while (vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            ogg_packet op;
            while (vorbis_bitrate_flushpacket(&vd, &op)) {
                ogg_stream_packetin(&os, &op);
                while (ogg_stream_pageout(&os, &og) != 0) {
                    append();
                    if (ogg_page_eos(&og)) eos = true;
                }
            }
        }
    }
    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    return true;
}

bool MakeBankClip(uint32_t id, uint32_t codec, const std::vector<int16_t>& pcm, BankClip& out, std::string* error) {
    out = BankClip();
    out.id = id;
    out.codec = codec;
    if (codec == kWaveCodecRaw) {
        platform::ByteWriter w;
        for (int16_t s : pcm) w.I16(s);
        out.stored = std::move(w.Data());
        out.decodedSize = static_cast<uint32_t>(out.stored.size());
        return true;
    }
    if (codec == kWaveCodecGsm) {
        out.stored = EncodeGsmFrames(pcm);
        out.decodedSize = static_cast<uint32_t>(out.stored.size() / kGsmFrameBytes * kGsmFrameSamples * 2);
        return !out.stored.empty() || Fail(error, "gsm encoder failed");
    }
    if (codec == kWaveCodecVorbis) {
        if (!EncodeVorbis(pcm, static_cast<int>(id), out.stored, error)) return false;
        // The decoded size is what the bank's own decoder yields (a little
        // more room than the samples, then the count it wrote).
        std::vector<uint8_t> decoded(pcm.size() * 2 + 65536);
        const int64_t n = DecodeVorbisClip(out.stored.data(), out.stored.size(), decoded.data(), decoded.size());
        if (n <= 0) return Fail(error, "vorbis clip " + std::to_string(id) + " does not decode");
        out.decodedSize = static_cast<uint32_t>(n);
        return true;
    }
    return Fail(error, "unknown codec " + std::to_string(codec));
}

void VoiceBankBytes(std::vector<BankClip> clips, std::vector<uint8_t>& index, std::vector<uint8_t>& data) {
    std::sort(clips.begin(), clips.end(), [](const BankClip& a, const BankClip& b) { return a.id < b.id; });
    platform::ByteWriter idx, dat;
    for (const BankClip& c : clips) {
        idx.U32(c.id);
        idx.U32(c.codec);
        idx.U32(static_cast<uint32_t>(dat.Size()));
        idx.U32(static_cast<uint32_t>(c.stored.size()));
        idx.U32(c.decodedSize);
        dat.Bytes(c.stored.data(), c.stored.size());
    }
    index = std::move(idx.Data());
    data = std::move(dat.Data());
}

bool WriteVoiceBanks(const std::string& mapFolder, const std::vector<BankClip>& clips, std::string* error) {
    static const char* const kNames[3] = {"AlarmWave", "BaseWave", "ExtendWave"};
    std::vector<BankClip> banks[3];
    for (const BankClip& c : clips) banks[MgrWaveBankSet::BankOf(c.id)].push_back(c);
    const std::string folder = mapFolder + "/Wave";
    if (!platform::MakeDirectories(folder)) return Fail(error, "cannot create " + folder);
    for (int b = 0; b < 3; ++b) {
        if (banks[b].empty()) continue;
        std::vector<uint8_t> index, data;
        VoiceBankBytes(std::move(banks[b]), index, data);
        const std::string base = folder + "/" + kNames[b];
        if (!platform::AtomicReplaceFile(base + ".idx", index, error) ||
            !platform::AtomicReplaceFile(base + ".dat", data, error))
            return false;
    }
    return true;
}

bool WriteVoiceBanksFromVocabulary(const std::vector<VocabularyEntry>& vocabulary, const std::string& mapFolder,
                                   const std::string& cacheFolder, std::string* error) {
    std::vector<BankClip> clips(vocabulary.size());
    std::vector<std::string> errors(vocabulary.size());
    std::atomic<size_t> next{0};
    if (!cacheFolder.empty()) platform::MakeDirectories(cacheFolder);
    auto work = [&] {
        for (size_t i; (i = next.fetch_add(1)) < vocabulary.size();) {
            const VocabularyEntry& e = vocabulary[i];
            std::vector<int16_t> pcm;
            std::string cached;
            if (!cacheFolder.empty()) {
                char name[32];
                std::snprintf(name, sizeof name, "/%016llx.pcm", static_cast<unsigned long long>(TextHash(e.text)));
                cached = cacheFolder + name;
                std::vector<uint8_t> bytes;
                if (platform::ReadWholeFile(cached, bytes) && bytes.size() >= 2) {
                    pcm.resize(bytes.size() / 2);
                    std::memcpy(pcm.data(), bytes.data(), pcm.size() * 2);
                }
            }
            if (pcm.empty()) {
                if (!SpeakKorean(e.text, pcm, &errors[i])) continue;
                if (!cached.empty()) platform::AtomicReplaceFile(cached, pcm.data(), pcm.size() * 2);
            }
            MakeBankClip(e.id, e.codec, pcm, clips[i], &errors[i]);
        }
    };
    const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
    std::vector<std::thread> pool;
    for (unsigned t = 0; t < threads; ++t) pool.emplace_back(work);
    for (std::thread& t : pool) t.join();
    for (const std::string& e : errors)
        if (!e.empty()) return Fail(error, e);
    return WriteVoiceBanks(mapFolder, clips, error);
}

std::string FindDemoVocabulary() { return writers::FindSourceTreeFile("tools/demo_voice/vocabulary.txt"); }

bool WriteDemoVoiceBanks(const std::string& root, std::string* error) {
    const std::string path = FindDemoVocabulary();
    std::vector<uint8_t> bytes;
    if (path.empty() || !platform::ReadWholeFile(path, bytes, error))
        return Fail(error, "demo vocabulary tools/demo_voice/vocabulary.txt not found");
    std::vector<VocabularyEntry> vocabulary;
    if (!ParseVocabulary(std::string(bytes.begin(), bytes.end()), vocabulary, error)) return false;
    const char* cache = std::getenv("NAVI_VOICE_CACHE");
    return WriteVoiceBanksFromVocabulary(vocabulary, root + "/MAP", cache ? cache : "", error);
}

}  // namespace writers
