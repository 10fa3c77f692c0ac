#include "shell/sound_out.h"

#include <SDL2/SDL.h>

#include "platform/byte_cursor.h"
#include "platform/file_io.h"

namespace {

bool Fail(std::string* error, const char* message) {
    if (error) *error = message;
    return false;
}

uint32_t FourCc(const char* s) {
    return static_cast<uint32_t>(static_cast<uint8_t>(s[0])) | static_cast<uint32_t>(static_cast<uint8_t>(s[1])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(s[2])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(s[3])) << 24;
}

}  // namespace

uint32_t WaveClip::LengthMs() const {
    const uint64_t bytesPerSecond = static_cast<uint64_t>(sampleRate) * channels * (bitsPerSample / 8);
    return bytesPerSecond ? static_cast<uint32_t>(samples.size() * 1000ull / bytesPerSecond) : 0;
}

bool ParseWave(const uint8_t* data, size_t size, WaveClip& out, std::string* error) {
    platform::ByteReader r(data, size);
    if (r.U32() != FourCc("RIFF")) return Fail(error, "not a RIFF file");
    r.U32();
    if (r.U32() != FourCc("WAVE") || !r.Ok()) return Fail(error, "not a WAVE file");
    bool haveFormat = false;
    WaveClip clip;
    while (r.Remaining() >= 8) {
        const uint32_t id = r.U32();
        const uint32_t length = r.U32();
        if (!r.Has(length)) return Fail(error, "a chunk runs past the end of the file");
        if (id == FourCc("fmt ")) {
            if (length < 16) return Fail(error, "format chunk too short");
            platform::ByteReader f(r.Data() + r.Position(), length);
            const uint16_t format = f.U16();
            clip.channels = f.U16();
            clip.sampleRate = static_cast<int>(f.U32());
            f.U32();
            f.U16();
            clip.bitsPerSample = f.U16();
            if (format != 1) return Fail(error, "not PCM");
            if (clip.channels < 1 || clip.channels > 2) return Fail(error, "unsupported channel count");
            if (clip.bitsPerSample != 8 && clip.bitsPerSample != 16) return Fail(error, "unsupported sample size");
            if (clip.sampleRate < 1000 || clip.sampleRate > 192000) return Fail(error, "unsupported sample rate");
            haveFormat = true;
        } else if (id == FourCc("data")) {
            if (!haveFormat) return Fail(error, "data before the format chunk");
            clip.samples.assign(r.Data() + r.Position(), r.Data() + r.Position() + length);
            out = std::move(clip);
            return true;
        }
        r.Skip(length + (length & 1));
        if (!r.Ok()) break;
    }
    return Fail(error, "no data chunk");
}

bool LoadWaveFile(const std::string& nativePath, WaveClip& out, std::string* error) {
    std::vector<uint8_t> bytes;
    if (!platform::ReadWholeFile(nativePath, bytes, error)) return false;
    return ParseWave(bytes.data(), bytes.size(), out, error);
}

bool CaptureSoundSink::Play(const WaveClip& clip) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_clips.push_back(clip);
    return true;
}

void CaptureSoundSink::Stop() {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_stops;
}

std::vector<WaveClip> CaptureSoundSink::Clips() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_clips;
}

int CaptureSoundSink::StopCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_stops;
}

namespace {

// Queues whole clips on one opened device; a clip of another format opens
// the device again.
class SdlSoundSink : public SoundSink {
public:
    ~SdlSoundSink() override { Close(); }
    bool Play(const WaveClip& clip) override {
        if (!Open(clip)) return false;
        SDL_ClearQueuedAudio(m_device);
        if (SDL_QueueAudio(m_device, clip.samples.data(), static_cast<Uint32>(clip.samples.size())) != 0) return false;
        SDL_PauseAudioDevice(m_device, 0);
        return true;
    }
    void Stop() override {
        if (m_device) SDL_ClearQueuedAudio(m_device);
    }

private:
    bool Open(const WaveClip& clip) {
        if (m_device && clip.channels == m_channels && clip.sampleRate == m_rate && clip.bitsPerSample == m_bits) {
            return true;
        }
        Close();
        if (!m_subsystem) {
            if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
            m_subsystem = true;
        }
        SDL_AudioSpec want{};
        want.freq = clip.sampleRate;
        want.format = clip.bitsPerSample == 8 ? AUDIO_U8 : AUDIO_S16LSB;
        want.channels = static_cast<Uint8>(clip.channels);
        want.samples = 1024;
        m_device = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
        if (!m_device) return false;
        m_channels = clip.channels;
        m_rate = clip.sampleRate;
        m_bits = clip.bitsPerSample;
        return true;
    }
    void Close() {
        if (m_device) SDL_CloseAudioDevice(m_device);
        m_device = 0;
        if (m_subsystem) SDL_QuitSubSystem(SDL_INIT_AUDIO);
        m_subsystem = false;
    }

    SDL_AudioDeviceID m_device = 0;
    bool m_subsystem = false;
    int m_channels = 0, m_rate = 0, m_bits = 0;
};

}  // namespace

std::unique_ptr<SoundSink> CreateSdlSoundSink() { return std::make_unique<SdlSoundSink>(); }
