#include "guidance/wave_bank.h"

#include <ogg/ogg.h>
#include <vorbis/codec.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>

#include "platform/byte_cursor.h"
#include "platform/paths.h"

bool ReadWaveIndexEntry(const uint8_t* bytes, WaveIndexEntry& entry) {
    platform::ByteReader reader(bytes, kWaveIndexEntryBytes);
    entry.id = reader.U32();
    entry.codec = reader.U32();
    entry.offset = reader.U32();
    entry.storedSize = reader.U32();
    entry.decodedSize = reader.U32();
    return reader.Ok();
}

void WriteWaveHeader(uint8_t* header, uint32_t dataBytes) {
    platform::ByteWriter w;
    w.Bytes("RIFF", 4);
    w.U32(dataBytes + 36);
    w.Bytes("WAVE", 4);
    w.Bytes("fmt ", 4);
    w.U32(16);
    w.U16(1);                       // PCM
    w.U16(1);                       // mono
    w.U32(kWaveSampleRate);
    w.U32(kWaveSampleRate * 2);     // bytes per second
    w.U16(2);                       // block align
    w.U16(16);                      // bits per sample
    w.Bytes("data", 4);
    w.U32(dataBytes);
    static_assert(kWaveHeaderBytes == 44);
    std::memcpy(header, w.Data().data(), kWaveHeaderBytes);
}

// ------------------------------------------------------------ decoders

int64_t DecodeGsmClip(const uint8_t* stored, size_t storedSize, uint8_t* out, size_t outSize,
                      GsmArithmetic arithmetic) {
    // A state of its own for every clip: each clip starts from silence, and
    // two channels decoding at once share nothing.
    GsmDecoderState state;
    state.arithmetic = arithmetic;
    size_t written = 0;
    for (size_t pos = 0; pos + kGsmFrameBytes <= storedSize && written < outSize; pos += kGsmFrameBytes) {
        int16_t samples[kGsmFrameSamples] = {};
        GsmDecodeFrame(&state, stored + pos, samples);
        for (size_t i = 0; i < kGsmFrameSamples && written + 2 <= outSize; ++i) {
            const uint16_t v = static_cast<uint16_t>(samples[i]);
            out[written++] = static_cast<uint8_t>(v & 0xFF);
            out[written++] = static_cast<uint8_t>(v >> 8);
        }
    }
    return static_cast<int64_t>(written);
}

namespace {

// The Ogg sync layer fed from a clip in memory, at most 4096 bytes a time.
class OggFeed {
public:
    OggFeed(const uint8_t* data, size_t size) : m_data(data), m_size(size) { ogg_sync_init(&m_sync); }
    ~OggFeed() { ogg_sync_clear(&m_sync); }
    OggFeed(const OggFeed&) = delete;
    OggFeed& operator=(const OggFeed&) = delete;

    // The next whole page; false when the clip's bytes are used up.
    bool NextPage(ogg_page& page) {
        for (;;) {
            const int r = ogg_sync_pageout(&m_sync, &page);
            if (r == 1) return true;
            if (r < 0) continue;   // bytes skipped to the next capture pattern
            if (m_fed >= m_size) return false;
            const size_t n = std::min<size_t>(4096, m_size - m_fed);
            char* buffer = ogg_sync_buffer(&m_sync, static_cast<long>(n));
            if (!buffer) return false;
            std::memcpy(buffer, m_data + m_fed, n);
            ogg_sync_wrote(&m_sync, static_cast<long>(n));
            m_fed += n;
        }
    }

private:
    ogg_sync_state m_sync;
    const uint8_t* m_data;
    size_t m_size;
    size_t m_fed = 0;
};

// The states of one logical stream, cleared in the reverse order of set-up.
struct VorbisStream {
    ogg_stream_state stream;
    vorbis_info info;
    vorbis_comment comment;
    vorbis_dsp_state dsp;
    vorbis_block block;
    bool dspReady = false;
    explicit VorbisStream(int serial) {
        ogg_stream_init(&stream, serial);
        vorbis_info_init(&info);
        vorbis_comment_init(&comment);
    }
    ~VorbisStream() {
        if (dspReady) {
            vorbis_block_clear(&block);
            vorbis_dsp_clear(&dsp);
        }
        vorbis_comment_clear(&comment);
        vorbis_info_clear(&info);
        ogg_stream_clear(&stream);
    }
    VorbisStream(const VorbisStream&) = delete;
    VorbisStream& operator=(const VorbisStream&) = delete;
};

}  // namespace

int64_t DecodeVorbisClip(const uint8_t* stored, size_t storedSize, uint8_t* out, size_t outSize) {
    if (!stored) return -1;
    OggFeed feed(stored, storedSize);
    size_t written = 0;
    bool decodedAny = false;
    ogg_page page;
    while (written < outSize && feed.NextPage(page)) {
        // The first page starts a logical stream; its three header packets follow.
        VorbisStream s(ogg_page_serialno(&page));
        ogg_packet packet;
        bool ok = ogg_stream_pagein(&s.stream, &page) == 0;
        int headers = 0;
        while (ok && headers < 3) {
            const int r = ogg_stream_packetout(&s.stream, &packet);
            if (r == 0) {
                if (!feed.NextPage(page)) {
                    ok = false;
                } else {
                    ogg_stream_pagein(&s.stream, &page);   // pages of other streams are refused there
                }
                continue;
            }
            if (r < 0 || vorbis_synthesis_headerin(&s.info, &s.comment, &packet) < 0) {
                ok = false;
                break;
            }
            ++headers;
        }
        if (!ok || s.info.channels < 1 || vorbis_synthesis_init(&s.dsp, &s.info) != 0) break;
        vorbis_block_init(&s.dsp, &s.block);
        s.dspReady = true;
        decodedAny = true;

        const int channels = s.info.channels;
        const int perRead = std::max(1, 4096 / channels);
        bool endOfStream = false;
        while (written < outSize) {
            const int r = ogg_stream_packetout(&s.stream, &packet);
            if (r == 0) {
                if (endOfStream || !feed.NextPage(page)) break;
                ogg_stream_pagein(&s.stream, &page);
                if (ogg_page_eos(&page)) endOfStream = true;
                continue;
            }
            if (r < 0) {
                std::fputs("Corrupt or missing data in bitstream; continuing...\n", stderr);
                continue;
            }
            if (vorbis_synthesis(&s.block, &packet) == 0) vorbis_synthesis_blockin(&s.dsp, &s.block);
            float** pcm = nullptr;
            int samples = 0;
            while (written < outSize && (samples = vorbis_synthesis_pcmout(&s.dsp, &pcm)) > 0) {
                const int take = std::min(samples, perRead);
                for (int i = 0; i < take; ++i) {
                    for (int c = 0; c < channels; ++c) {
                        int v = static_cast<int>(std::floor(pcm[c][i] * 32767.0f + 0.5f));
                        v = std::clamp(v, -32768, 32767);
                        if (written + 2 > outSize) break;
                        out[written++] = static_cast<uint8_t>(v & 0xFF);
                        out[written++] = static_cast<uint8_t>((v >> 8) & 0xFF);
                    }
                }
                vorbis_synthesis_read(&s.dsp, take);
            }
        }
    }
    return decodedAny ? static_cast<int64_t>(written) : -1;
}

// ------------------------------------------------------------ bank

int MgrWaveBank::Open(const std::string& indexPath, const std::string& dataPath, bool inMemory) {
    Close();
    platform::File index;
    if (index.Open(indexPath)) {
        const int64_t size = index.Size();
        m_count = size > 0 ? static_cast<uint32_t>(std::min<int64_t>(size / kWaveIndexEntryBytes,
                                                                      std::numeric_limits<uint32_t>::max()))
                           : 0;
        m_inMemory = inMemory;
        if (inMemory) {
            try {
                m_index.resize(static_cast<size_t>(m_count) * kWaveIndexEntryBytes);
            } catch (const std::bad_alloc&) {
                m_index.clear();
                m_count = 0;
            }
            if (!m_index.empty() && !index.ReadExactAt(0, m_index.data(), m_index.size())) {
                m_index.clear();
                m_count = 0;
            }
        } else {
            m_indexFile = std::move(index);
        }
    }
    m_data.Open(dataPath);
    return m_data.IsOpen() ? 1 : 0;
}

void MgrWaveBank::Close() {
    m_index.clear();
    m_count = 0;
    m_inMemory = false;
    m_indexFile.Close();
    m_data.Close();
}

bool MgrWaveBank::FindInMemory(uint32_t id, WaveIndexEntry& entry) const {
    if (m_count == 0 || m_index.size() < static_cast<size_t>(m_count) * kWaveIndexEntryBytes) return false;
    int64_t lo = 0;
    int64_t hi = static_cast<int64_t>(m_count) - 1;
    while (hi >= lo) {
        const int64_t mid = (lo + hi) / 2;
        WaveIndexEntry probe;
        ReadWaveIndexEntry(m_index.data() + mid * kWaveIndexEntryBytes, probe);
        if (probe.id == id) {
            entry = probe;
            return true;
        }
        if (id < probe.id) hi = mid - 1;
        else lo = mid + 1;
    }
    return false;
}

bool MgrWaveBank::FindOnFile(uint32_t id, WaveIndexEntry& entry) const {
    if (m_count == 0 || !m_indexFile.IsOpen()) return false;
    int64_t lo = 0;
    int64_t hi = static_cast<int64_t>(m_count) - 1;
    while (hi >= lo) {
        const int64_t mid = (lo + hi) / 2;
        uint8_t bytes[kWaveIndexEntryBytes];
        if (!m_indexFile.ReadExactAt(static_cast<uint64_t>(mid) * kWaveIndexEntryBytes, bytes, sizeof bytes))
            return false;
        WaveIndexEntry probe;
        ReadWaveIndexEntry(bytes, probe);
        if (probe.id == id) {
            entry = probe;
            return true;
        }
        if (id < probe.id) hi = mid - 1;
        else lo = mid + 1;
    }
    return false;
}

bool MgrWaveBank::Find(uint32_t id, WaveIndexEntry& entry) const {
    return m_inMemory ? FindInMemory(id, entry) : FindOnFile(id, entry);
}

uint32_t MgrWaveBank::GetDecodedSize(uint32_t id) const {
    WaveIndexEntry entry;
    return Find(id, entry) && entry.decodedSize <= kWaveMaxDecodedBytes ? entry.decodedSize : 0;
}

int MgrWaveBank::ReadClip(uint8_t* dest, size_t destSize, uint32_t id, GsmArithmetic arithmetic) const {
    WaveIndexEntry entry;
    if (!dest || !Find(id, entry) || !m_data.IsOpen() || entry.decodedSize > kWaveMaxDecodedBytes) return 0;
    const size_t decoded = entry.decodedSize;
    if (destSize < decoded) return 0;
    if (entry.codec > kWaveCodecVorbis) return 0;   // an unknown codec is a failed clip
    // The stored bytes must lie inside the data file: a damaged entry must
    // not ask for gigabytes of scratch memory.
    const int64_t fileSize = m_data.Size();
    if (fileSize < 0 || static_cast<uint64_t>(entry.offset) + entry.storedSize > static_cast<uint64_t>(fileSize))
        return 0;

    if (entry.codec == kWaveCodecRaw) {
        const size_t n = std::min<size_t>(entry.storedSize, decoded);
        if (n > 0 && !m_data.ReadExactAt(entry.offset, dest, n)) return 0;
        std::memset(dest + n, 0, decoded - n);
        return 1;
    }

    std::vector<uint8_t> scratch;
    try {
        scratch.resize(entry.storedSize);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    if (!scratch.empty() && !m_data.ReadExactAt(entry.offset, scratch.data(), scratch.size())) return 0;
    const int64_t written = entry.codec == kWaveCodecGsm
                                ? DecodeGsmClip(scratch.data(), scratch.size(), dest, decoded, arithmetic)
                                : DecodeVorbisClip(scratch.data(), scratch.size(), dest, decoded);
    if (written < 0) return 0;
    std::memset(dest + written, 0, decoded - static_cast<size_t>(written));
    return 1;
}

// ------------------------------------------------------------ bank set

int MgrWaveBankSet::OpenWaveBanks(const std::string& rootFolder) {
    Close();
    auto path = [&](const char* name) { return platform::ResolveUnder(rootFolder, name); };
    m_banks[0].Open(path("Wave\\AlarmWave.idx"), path("Wave\\AlarmWave.dat"), true);
    m_banks[1].Open(path("Wave\\BaseWave.idx"), path("Wave\\BaseWave.dat"), true);
    m_baseCompatibility = m_banks[1].Count() < kWaveBaseCurrentEntries;
    m_banks[2].Open(path("Wave\\ExtendWave.idx"), path("Wave\\ExtendWave.dat"), false);
    return 1;
}

void MgrWaveBankSet::Close() {
    for (MgrWaveBank& bank : m_banks) bank.Close();
    m_baseCompatibility = false;
}

int MgrWaveBankSet::BankOf(uint32_t id) {
    if (id <= kWaveAlarmLastId) return 0;
    if (id <= kWaveBaseLastId) return 1;
    return 2;
}

uint32_t MgrWaveBankSet::GetDecodedSize(uint32_t id) const { return m_banks[BankOf(id)].GetDecodedSize(id); }

bool MgrWaveBankSet::BuildSentence(const uint32_t* ids, size_t count, std::vector<uint8_t>& out) const {
    constexpr uint64_t kMaxData = kWaveMaxDecodedBytes;
    uint64_t total = 0;
    for (size_t i = 0; ids && i < count; ++i) {
        const uint64_t size = GetDecodedSize(ids[i]);
        if (total + size <= kMaxData) total += size;
    }
    try {
        out.assign(kWaveHeaderBytes + total, 0);
    } catch (const std::bad_alloc&) {
        out.clear();
        return false;
    }
    uint64_t pos = 0;
    for (size_t i = 0; ids && i < count; ++i) {
        const uint32_t size = GetDecodedSize(ids[i]);
        if (size == 0 || pos + size > total) continue;
        uint8_t* dest = out.data() + kWaveHeaderBytes + pos;
        if (m_banks[BankOf(ids[i])].ReadClip(dest, size, ids[i], m_arithmetic)) pos += size;
    }
    out.resize(kWaveHeaderBytes + pos);
    WriteWaveHeader(out.data(), static_cast<uint32_t>(pos));
    return true;
}
