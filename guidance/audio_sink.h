#pragma once
// Where a sound channel's samples go: the SDL2 audio device in the program,
// a capture in tests. A sink belongs to one channel and is driven from that
// channel's thread only; SetVolume may be called from any thread.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/thread_util.h"

// The PCM format of a wave buffer (the nine words of WAVEFORMATEX without
// the extra size, which is always 0 here).
struct WaveFormat {
    uint16_t formatTag = 1;
    uint16_t channels = 1;
    uint32_t samplesPerSec = 22050;
    uint32_t avgBytesPerSec = 44100;
    uint16_t blockAlign = 2;
    uint16_t bitsPerSample = 16;
    bool operator==(const WaveFormat&) const = default;
};

class AudioSink {
public:
    virtual ~AudioSink() = default;
    // Number of output devices (for the search after a fixed device fails).
    virtual int DeviceCount() = 0;
    // Opens device `device` (-1 the default) for format; 1 on success.
    virtual int Open(int device, const WaveFormat& format) = 0;
    virtual bool IsOpen() const = 0;
    // Queues the samples of an open device; 1 on success.
    virtual int Write(const uint8_t* pcm, size_t bytes) = 0;
    // True once everything written has been played.
    virtual bool IsDone() = 0;
    // Drops what is queued (the device stays open).
    virtual void Reset() = 0;
    virtual void Close() = 0;
    // Volume of both halves, 0..65535.
    virtual void SetVolume(uint16_t volume) = 0;
};

// SDL2 audio: a queue on the chosen playback device, samples scaled by the
// volume as they are queued.
std::unique_ptr<AudioSink> MakeSdlAudioSink();

// Records every sound written, for tests. A sound counts as played once the
// injected clock (platform::CurrentClock) has moved past its start tick by
// its duration.
class CaptureAudioSink : public AudioSink {
public:
    struct Sound {
        WaveFormat format;
        std::vector<uint8_t> pcm;
        uint64_t startTickMs = 0;
        uint64_t durationMs = 0;   // from the sample count and the rate, rounded up
        uint16_t volume = 0;
        int device = -1;
    };

    int DeviceCount() override { return m_deviceCount; }
    int Open(int device, const WaveFormat& format) override;
    bool IsOpen() const override { return m_open.load(); }
    int Write(const uint8_t* pcm, size_t bytes) override;
    bool IsDone() override;
    void Reset() override;
    void Close() override;
    void SetVolume(uint16_t volume) override { m_volume.store(volume); }

    // Test controls and views (any thread).
    void SetDeviceCount(int count) { m_deviceCount = count; }
    // Devices that refuse to open (-1 included when the default refuses).
    void FailDevices(std::vector<int> devices);
    // Makes Write fail.
    void FailWrites(bool fail) { m_failWrites.store(fail); }
    std::vector<Sound> Sounds() const;
    size_t SoundCount() const;
    size_t OpenCount() const { return m_openCount.load(); }
    uint16_t Volume() const { return m_volume.load(); }
    // Set each time a sound is written.
    platform::Event& Written() { return m_written; }

private:
    mutable std::mutex m_mutex;
    std::vector<Sound> m_sounds;          // guarded by m_mutex
    std::vector<int> m_failDevices;       // guarded by m_mutex
    WaveFormat m_format;                  // channel thread only
    int m_device = -1;                    // channel thread only
    uint64_t m_playingUntilMs = 0;        // channel thread only
    bool m_playing = false;               // channel thread only
    std::atomic<int> m_deviceCount{2};
    std::atomic<bool> m_open{false};
    std::atomic<bool> m_failWrites{false};
    std::atomic<size_t> m_openCount{0};
    std::atomic<uint16_t> m_volume{65535};
    platform::Event m_written{false, false};
};
