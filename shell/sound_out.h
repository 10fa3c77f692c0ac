#pragma once
// Wave files and where their sound goes: the SDL audio device of a running
// program, a capture sink that keeps every clip (headless runs and tests),
// or nowhere. Clips are read once through the byte cursor; a damaged file
// is refused with a message.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct WaveClip {
    int channels = 0;
    int sampleRate = 0;
    int bitsPerSample = 0;
    std::vector<uint8_t> samples;   // PCM, little-endian
    // Milliseconds of sound.
    uint32_t LengthMs() const;
};

// PCM wave bytes (RIFF "WAVE", "fmt " with format 1, 8 or 16 bits, 1 or 2
// channels, "data"); false with a message for anything else.
bool ParseWave(const uint8_t* data, size_t size, WaveClip& out, std::string* error);
bool LoadWaveFile(const std::string& nativePath, WaveClip& out, std::string* error);

class SoundSink {
public:
    virtual ~SoundSink() = default;
    // Starts the clip, replacing what plays; false when it cannot play.
    virtual bool Play(const WaveClip& clip) = 0;
    virtual void Stop() = 0;
};

// Keeps every clip handed to it, in order.
class CaptureSoundSink : public SoundSink {
public:
    bool Play(const WaveClip& clip) override;
    void Stop() override;
    std::vector<WaveClip> Clips() const;
    int StopCount() const;

private:
    mutable std::mutex m_mutex;
    std::vector<WaveClip> m_clips;
    int m_stops = 0;
};

// The SDL audio device; null when SDL has no audio device to open.
std::unique_ptr<SoundSink> CreateSdlSoundSink();
