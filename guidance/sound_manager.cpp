#include "guidance/sound_manager.h"

#include <algorithm>
#include <cstring>

#include "foundation/crash_report.h"
#include "foundation/debug_trace.h"
#include "platform/byte_cursor.h"
#include "platform/codepage.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "settings/global_data.h"

namespace {

constexpr char kThreadName[] = "MgrSoundUnit::WorkThread";
// How often the thread looks at the device while a sound plays, and while idle.
constexpr uint32_t kPlayingPollMs = 10;
constexpr uint32_t kIdlePollMs = 1000;

}  // namespace

uint16_t VolumeForLevel(int level) {
    if (level <= 0) return 0;
    level = std::min(level, kSoundMaxLevel);
    // (L x 5 / 15 + 10) x 65535 / 15 in exact fractions: (5L + 150) x 65535 / 225.
    return static_cast<uint16_t>((static_cast<uint32_t>(5 * level + 150) * 65535u / 225u) & 0xFFFF);
}

int GainFactor(int32_t gainThousandths) {
    if (gainThousandths < 1125) return 8;
    if (gainThousandths >= 2000) return 16;
    return 9 + (gainThousandths - 1125) / 125;
}

bool ParseWave(const uint8_t* data, size_t size, ParsedWave& wave) {
    platform::ByteReader reader(data, size);
    char riff[4], kind[4];
    reader.Bytes(riff, 4);
    const uint32_t riffSize = reader.U32();
    reader.Bytes(kind, 4);
    if (!reader.Ok() || std::memcmp(riff, "RIFF", 4) != 0 || std::memcmp(kind, "WAVE", 4) != 0) return false;
    const size_t end = static_cast<size_t>(std::min<uint64_t>(size, uint64_t{riffSize} + 8));
    bool haveFormat = false, haveData = false;
    while (reader.Ok() && reader.Position() + 8 <= end) {
        char id[4];
        reader.Bytes(id, 4);
        const uint32_t length = reader.U32();
        const size_t body = reader.Position();
        const size_t available = end - std::min(end, body);
        if (std::memcmp(id, "fmt ", 4) == 0 && length >= 16 && available >= 16) {
            WaveFormat& f = wave.format;
            f.formatTag = reader.U16();
            f.channels = reader.U16();
            f.samplesPerSec = reader.U32();
            f.avgBytesPerSec = reader.U32();
            f.blockAlign = reader.U16();
            f.bitsPerSample = reader.U16();
            haveFormat = reader.Ok();
        } else if (std::memcmp(id, "data", 4) == 0 && !haveData) {
            wave.dataOffset = body;
            wave.dataBytes = std::min<size_t>(length, available);
            haveData = true;
        }
        const uint64_t next = uint64_t{body} + length + (length & 1);
        if (next > end) break;
        reader.Seek(static_cast<size_t>(next));
    }
    if (!haveFormat || !haveData) return false;
    const WaveFormat& f = wave.format;
    if (f.formatTag != 1 || f.channels == 0 || f.samplesPerSec == 0) return false;
    if (f.bitsPerSample != 8 && f.bitsPerSample != 16) return false;
    return true;
}

void ApplyGain(uint8_t* samples, size_t bytes, const WaveFormat& format, int32_t gainThousandths) {
    const int k = GainFactor(gainThousandths);
    if (k == 8 || !samples) return;
    if (format.bitsPerSample == 16) {
        for (size_t i = 0; i + 1 < bytes; i += 2) {
            const int32_t s = static_cast<int16_t>(samples[i] | (samples[i + 1] << 8));
            const int32_t v = std::clamp((s * k) >> 3, -32768, 32767);
            samples[i] = static_cast<uint8_t>(v & 0xFF);
            samples[i + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
        }
    } else if (format.bitsPerSample == 8) {
        // 8-bit wave samples are unsigned about 128.
        for (size_t i = 0; i < bytes; ++i) {
            const int32_t s = static_cast<int32_t>(samples[i]) - 128;
            samples[i] = static_cast<uint8_t>(std::clamp((s * k) >> 3, -128, 127) + 128);
        }
    }
}

// ------------------------------------------------------------ channel

MgrSoundUnit::MgrSoundUnit(int channel, const MgrWaveBankSet& banks, std::unique_ptr<AudioSink> sink,
                           SoundOutputConfig config)
    : m_channel(channel), m_banks(banks), m_sink(std::move(sink)), m_config(config) {}

MgrSoundUnit::~MgrSoundUnit() { Release(); }

int MgrSoundUnit::CreateThread() {
    if (m_thread.joinable() || !m_sink) return 0;
    try {
        m_thread = std::thread([this] {
            platform::SetCurrentThreadName(kThreadName);
            PrepareThreadForCrashReport();
            RunThreadBodyGuarded(kThreadName, [this] { WorkThread(); });
        });
    } catch (const std::system_error&) {
        return 0;
    }
    return 1;
}

int MgrSoundUnit::PlayIds(uint32_t flags, const uint32_t* ids, size_t count) {
    if (!m_thread.joinable() || (!ids && count > 0)) return 1;
    {
        MgrLock lock(m_requestMutex);
        m_request.mode = kModeSentence;
        m_request.count = std::min(count, kSoundMaxIds);
        std::copy(ids, ids + m_request.count, m_request.ids);
        m_request.path.clear();
        m_request.flags = flags;
        m_busy.store(true);
        m_pending.store(true);
    }
    m_play.Set();
    return 0;
}

int MgrSoundUnit::PlayFile(uint32_t flags, const std::u16string& path) {
    if (!m_thread.joinable() || path.size() >= kSoundMaxPathChars) return 1;
    {
        MgrLock lock(m_requestMutex);
        m_request.mode = kModeFile;
        m_request.count = 0;
        m_request.path = path;
        m_request.flags = flags;
        m_busy.store(true);
        m_pending.store(true);
    }
    m_play.Set();
    return 0;
}

void MgrSoundUnit::Stop() { m_stop.Set(); }

int MgrSoundUnit::SetVolume(int level) {
    if (m_config.waveOut != 1 || level < 0 || level > kSoundMaxLevel) return 0;
    m_level.store(level);
    m_sink->SetVolume(VolumeForLevel(level));
    return 1;
}

int MgrSoundUnit::Release(uint32_t timeoutMs) {
    if (!m_thread.joinable()) return 1;
    m_stop.Set();
    m_quit.Set();
    if (!m_done.Wait(timeoutMs)) {
        // Every wait of the thread is bounded, so this means it is stuck in
        // the device; leave it rather than hang the shut-down.
        DebugTrace(0, "[SOUND] channel %d: %s did not end\n", m_channel, kThreadName);
        m_thread.detach();
        return 0;
    }
    m_thread.join();
    m_buffer.clear();
    return 1;
}

void MgrSoundUnit::ClearBusyUnlessPending() {
    MgrLock lock(m_requestMutex);
    if (!m_pending.load()) m_busy.store(false);
}

void MgrSoundUnit::StopOutput() {
    m_playing = false;
    if (m_sink->IsOpen()) {
        m_sink->Reset();
        // The wave-out path closes its device after each sound.
        if (m_config.waveOut == 1) m_sink->Close();
    }
}

int MgrSoundUnit::OpenDevice(const WaveFormat& format) {
    if (m_sink->IsOpen() && m_deviceFormat == format) return 1;
    m_sink->Close();
    int opened = 0;
    if (m_config.waveOut != 1) {
        opened = m_sink->Open(-1, format);
    } else {
        if (m_config.waveDevice != -1) opened = m_sink->Open(m_config.waveDevice, format);
        for (int device = 0, count = m_sink->DeviceCount(); !opened && device < count; ++device)
            opened = m_sink->Open(device, format);
        if (opened) m_sink->SetVolume(VolumeForLevel(m_level.load()));
    }
    if (!opened) return 0;
    m_deviceFormat = format;
    return 1;
}

int MgrSoundUnit::Render() {
    Request request;
    {
        MgrLock lock(m_requestMutex);
        request = m_request;
        m_pending.store(false);
    }
    m_buffer.clear();
    if (request.mode == kModeSentence) {
        if (!m_banks.BuildSentence(request.ids, request.count, m_buffer)) m_buffer.clear();
    } else if (request.mode == kModeFile) {
        std::string native;
        if (!platform::NativePath(platform::Utf16ToUtf8(request.path), native) ||
            !platform::ReadWholeFile(native, m_buffer))
            m_buffer.clear();
    }
    ParsedWave wave;
    if (m_buffer.empty() || !ParseWave(m_buffer.data(), m_buffer.size(), wave)) return kRenderNoBuffer;
    uint8_t* samples = m_buffer.data() + wave.dataOffset;
    ApplyGain(samples, wave.dataBytes, wave.format, m_gain.load());
    if (!OpenDevice(wave.format) || !m_sink->Write(samples, wave.dataBytes)) {
        StopOutput();
        return kRenderDeviceFailed;
    }
    m_playing = true;
    return kRenderOk;
}

void MgrSoundUnit::WorkThread() {
    for (;;) {
        const int which = platform::Event::WaitAny({&m_play, &m_stop, &m_quit},
                                                   m_playing ? kPlayingPollMs : kIdlePollMs);
        if (which == 2) break;
        if (which == 0) {
            StopOutput();
            const int result = Render();
            m_lastResult.store(result);
            if (result != kRenderOk) {
                // Nothing plays: a channel whose device failed must not stay busy.
                ClearBusyUnlessPending();
                m_settled.Set();
            }
        } else if (which == 1) {
            const bool wasPlaying = m_playing;
            StopOutput();
            ClearBusyUnlessPending();
            if (wasPlaying) m_settled.Set();
        }
        if (m_playing && m_sink->IsDone()) {
            m_playing = false;
            if (m_config.waveOut == 1) m_sink->Close();
            ClearBusyUnlessPending();
            m_settled.Set();
        }
    }
    StopOutput();
    m_sink->Close();
    {
        MgrLock lock(m_requestMutex);
        m_pending.store(false);
        m_busy.store(false);
    }
    m_done.Set();
}

// ------------------------------------------------------------ manager

MgrSoundManager& MgrSoundManager::Instance() {
    static MgrSoundManager manager;
    return manager;
}

int MgrSoundManager::Init(const std::string& rootFolder) {
    const CMgrConfigGlobalData& global = CMgrConfigGlobalData::Instance();
    SoundOutputConfig config;
    config.waveOut = global.m_waveOut;
    config.waveDevice = global.m_waveDevice;
    return Init(rootFolder, config, [](int) { return MakeSdlAudioSink(); });
}

int MgrSoundManager::Init(const std::string& rootFolder, const SoundOutputConfig& config,
                          const SinkFactory& makeSink) {
    Release();
    m_banks.OpenWaveBanks(rootFolder);
    CMgrConfigGlobalData& global = CMgrConfigGlobalData::Instance();
    if (!m_banks.ExtendedOpen()) global.m_extendWave = 0;
    global.m_waveBaseCompat = m_banks.BaseCompatibility() ? 1 : 0;
    m_level.store(kSoundMaxLevel);
    int ok = 1;
    for (int channel = 0; channel < kSoundChannels; ++channel) {
        m_units[channel] = std::make_unique<MgrSoundUnit>(channel, m_banks, makeSink ? makeSink(channel) : nullptr,
                                                          config);
        m_units[channel]->SetVolume(kSoundMaxLevel);
        if (!m_units[channel]->CreateThread()) ok = 0;
    }
    return ok;
}

int MgrSoundManager::PlayVoice(int channel, uint32_t flags, const uint32_t* ids, int count) {
    if (channel < 0 || channel >= kSoundChannels) return 4;
    MgrSoundUnit* unit = m_units[channel].get();
    if (!unit || count < 0) return 1;
    if ((flags & 1) && unit->IsBusy()) return 1;
    if (channel == 1 && m_units[0] && m_units[0]->IsBusy()) return 1;
    return unit->PlayIds(flags, ids, static_cast<size_t>(count));
}

int MgrSoundManager::PlayWaveFile(int channel, uint32_t flags, const std::u16string& path) {
    if (channel < 0 || channel >= kSoundChannels) return 4;
    MgrSoundUnit* unit = m_units[channel].get();
    if (!unit) return 1;
    if ((flags & 1) && unit->IsBusy()) return 1;
    if (channel == 1 && m_units[0] && m_units[0]->IsBusy()) return 1;
    return unit->PlayFile(flags, path);
}

int MgrSoundManager::IsPlaying(int channel) const {
    if (channel < 0 || channel >= kSoundChannels) return 1;
    const MgrSoundUnit* unit = m_units[channel].get();
    return unit && (unit->IsBusy() || unit->IsPending()) ? 1 : 0;
}

int MgrSoundManager::SetVolume(int level) {
    if (level > kSoundMaxLevel) return 4;
    if (level < 0) level = 0;
    m_level.store(level);
    for (auto& unit : m_units)
        if (unit) unit->SetVolume(level);
    return 0;
}

void MgrSoundManager::SetGain(int32_t gainThousandths) {
    for (auto& unit : m_units)
        if (unit) unit->SetGain(gainThousandths);
}

void MgrSoundManager::Release() {
    for (auto& unit : m_units) {
        if (!unit) continue;
        if (!unit->Release()) (void)unit.release();   // its thread still runs: keep what it uses
        unit.reset();
    }
    m_banks.Close();
}
