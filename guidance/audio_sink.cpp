#include "guidance/audio_sink.h"

#include <SDL.h>

#include <algorithm>

#include "platform/clock.h"

namespace {

class SdlAudioSink : public AudioSink {
public:
    SdlAudioSink() { m_sdlReady = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0; }
    ~SdlAudioSink() override {
        Close();
        if (m_sdlReady) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }

    int DeviceCount() override { return m_sdlReady ? std::max(0, SDL_GetNumAudioDevices(0)) : 0; }

    int Open(int device, const WaveFormat& format) override {
        Close();
        if (!m_sdlReady || format.formatTag != 1 || format.channels == 0) return 0;
        if (format.bitsPerSample != 8 && format.bitsPerSample != 16) return 0;
        const char* name = nullptr;
        if (device >= 0) {
            name = SDL_GetAudioDeviceName(device, 0);
            if (!name) return 0;
        }
        SDL_AudioSpec want{};
        want.freq = static_cast<int>(format.samplesPerSec);
        want.format = format.bitsPerSample == 8 ? AUDIO_U8 : AUDIO_S16LSB;
        want.channels = static_cast<Uint8>(std::min<uint16_t>(format.channels, 255));
        want.samples = 1024;
        SDL_AudioSpec have{};
        m_device = SDL_OpenAudioDevice(name, 0, &want, &have, 0);
        if (m_device == 0) return 0;
        m_bits = format.bitsPerSample;
        SDL_PauseAudioDevice(m_device, 0);
        return 1;
    }

    bool IsOpen() const override { return m_device != 0; }

    int Write(const uint8_t* pcm, size_t bytes) override {
        if (m_device == 0) return 0;
        const uint32_t volume = m_volume.load();
        if (volume >= 65535) return SDL_QueueAudio(m_device, pcm, static_cast<Uint32>(bytes)) == 0 ? 1 : 0;
        // The device has no volume of its own here: scale while queueing.
        std::vector<uint8_t> scaled(pcm, pcm + bytes);
        if (m_bits == 16) {
            for (size_t i = 0; i + 1 < bytes; i += 2) {
                const int s = static_cast<int16_t>(scaled[i] | (scaled[i + 1] << 8));
                const int v = static_cast<int>(static_cast<int64_t>(s) * volume / 65535);
                scaled[i] = static_cast<uint8_t>(v & 0xFF);
                scaled[i + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
            }
        } else {
            for (uint8_t& b : scaled) b = static_cast<uint8_t>(128 + (static_cast<int>(b) - 128) * static_cast<int>(volume) / 65535);
        }
        return SDL_QueueAudio(m_device, scaled.data(), static_cast<Uint32>(bytes)) == 0 ? 1 : 0;
    }

    bool IsDone() override { return m_device == 0 || SDL_GetQueuedAudioSize(m_device) == 0; }

    void Reset() override {
        if (m_device != 0) SDL_ClearQueuedAudio(m_device);
    }

    void Close() override {
        if (m_device != 0) SDL_CloseAudioDevice(m_device);
        m_device = 0;
    }

    void SetVolume(uint16_t volume) override { m_volume.store(volume); }

private:
    bool m_sdlReady = false;
    SDL_AudioDeviceID m_device = 0;
    uint16_t m_bits = 16;
    std::atomic<uint32_t> m_volume{65535};
};

}  // namespace

std::unique_ptr<AudioSink> MakeSdlAudioSink() { return std::make_unique<SdlAudioSink>(); }

// ------------------------------------------------------------ capture

int CaptureAudioSink::Open(int device, const WaveFormat& format) {
    Close();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (std::find(m_failDevices.begin(), m_failDevices.end(), device) != m_failDevices.end()) return 0;
    }
    if (device >= m_deviceCount.load()) return 0;
    m_format = format;
    m_device = device;
    m_open.store(true);
    m_openCount.fetch_add(1);
    return 1;
}

int CaptureAudioSink::Write(const uint8_t* pcm, size_t bytes) {
    if (!m_open.load() || m_failWrites.load()) return 0;
    Sound sound;
    sound.format = m_format;
    sound.pcm.assign(pcm, pcm + bytes);
    sound.startTickMs = platform::GetTickCount64();
    const uint64_t frameBytes = std::max<uint64_t>(1, m_format.blockAlign);
    const uint64_t frames = bytes / frameBytes;
    const uint64_t rate = std::max<uint32_t>(1, m_format.samplesPerSec);
    sound.durationMs = (frames * 1000 + rate - 1) / rate;
    sound.volume = m_volume.load();
    sound.device = m_device;
    m_playingUntilMs = sound.startTickMs + sound.durationMs;
    m_playing = true;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_sounds.push_back(std::move(sound));
    }
    m_written.Set();
    return 1;
}

bool CaptureAudioSink::IsDone() {
    if (!m_playing) return true;
    if (platform::GetTickCount64() >= m_playingUntilMs) m_playing = false;
    return !m_playing;
}

void CaptureAudioSink::Reset() { m_playing = false; }

void CaptureAudioSink::Close() {
    m_playing = false;
    m_open.store(false);
}

void CaptureAudioSink::FailDevices(std::vector<int> devices) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_failDevices = std::move(devices);
}

std::vector<CaptureAudioSink::Sound> CaptureAudioSink::Sounds() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_sounds;
}

size_t CaptureAudioSink::SoundCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_sounds.size();
}
