#pragma once
// The sound unit: two channels (0 voice guidance, 1 interface sounds), each
// a thread of its own that builds a sentence from the voice banks or reads
// a wave file, applies the gain and plays it through its audio sink.
//
// Results of the manager's calls: 0 started, 1 refused (the channel is busy
// and flags bit 0 asks not to interrupt, or channel 1 while channel 0
// speaks, or a request that does not fit), 4 a channel or level out of range.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "foundation/critical_section.h"
#include "guidance/audio_sink.h"
#include "guidance/wave_bank.h"
#include "platform/thread_util.h"

inline constexpr size_t kSoundMaxIds = 20;
inline constexpr size_t kSoundMaxPathChars = 260;   // terminator included
inline constexpr int kSoundMaxLevel = 15;
inline constexpr int kSoundChannels = 2;

// How sound leaves the program ("WAVEOUT", "WAVEDEVICE").
struct SoundOutputConfig {
    int waveOut = 0;       // 0: the default device, no volume; 1: the chosen device with the volume
    int waveDevice = -1;   // -1: no fixed device
};

// The device volume of a level: 0 for 0, else (L x 5 / 15 + 10) x 65535 / 15
// (level 15 gives 65535, level 1 gives 45146).
uint16_t VolumeForLevel(int level);
// The gain factor in eighths: 8 up to 1124 thousandths, then one more per
// 125 thousandths, 16 from 2000.
int GainFactor(int32_t gainThousandths);

// A RIFF/WAVE buffer's format and samples, found by walking its chunks.
struct ParsedWave {
    WaveFormat format;
    size_t dataOffset = 0;
    size_t dataBytes = 0;
};
// False for a buffer that is not RIFF/WAVE, lacks a "fmt " or "data" chunk,
// or has 0 channels, 0 bits, a bit depth other than 8 or 16, a format other
// than PCM or a rate of 0.
bool ParseWave(const uint8_t* data, size_t size, ParsedWave& wave);
// Scales the samples by GainFactor / 8 with saturation (16-bit signed;
// 8-bit unsigned samples about their middle 128).
void ApplyGain(uint8_t* samples, size_t bytes, const WaveFormat& format, int32_t gainThousandths);

class MgrSoundUnit {
public:
    enum Mode : int { kModeNone = 0, kModeSentence = 1, kModeFile = 2 };
    // Render results.
    static constexpr int kRenderOk = 0;
    static constexpr int kRenderDeviceFailed = 2;
    static constexpr int kRenderNoBuffer = 5;

    MgrSoundUnit(int channel, const MgrWaveBankSet& banks, std::unique_ptr<AudioSink> sink, SoundOutputConfig config);
    ~MgrSoundUnit();
    MgrSoundUnit(const MgrSoundUnit&) = delete;
    MgrSoundUnit& operator=(const MgrSoundUnit&) = delete;

    // Starts "MgrSoundUnit::WorkThread"; 1 when it runs.
    int CreateThread();
    // Store the request, set busy and pending, wake the thread. 0 when
    // posted, 1 when the request does not fit (more than 20 ids are cut
    // to 20; a path of 260 characters or more is refused) or no thread runs.
    int PlayIds(uint32_t flags, const uint32_t* ids, size_t count);
    int PlayFile(uint32_t flags, const std::u16string& path);
    // Stops what plays (on the channel's thread).
    void Stop();
    // With "WAVEOUT" 1 only: the level (0-15) goes to the device. 1 when taken.
    int SetVolume(int level);
    void SetGain(int32_t gainThousandths) { m_gain.store(gainThousandths); }
    int32_t Gain() const { return m_gain.load(); }

    bool IsBusy() const { return m_busy.load(); }
    bool IsPending() const { return m_pending.load(); }
    // Stops, ends the thread (waiting at most timeoutMs) and frees the buffer.
    // 1 when the thread ended.
    int Release(uint32_t timeoutMs = 10000);

    // For tests: the result of the last render, and an event set each time
    // a request has been handled (played to the end, stopped or dropped).
    int LastResult() const { return m_lastResult.load(); }
    platform::Event& Settled() { return m_settled; }

private:
    struct Request {
        int mode = kModeNone;
        uint32_t ids[kSoundMaxIds] = {};
        size_t count = 0;
        std::u16string path;
        uint32_t flags = 0;
    };

    void WorkThread();
    int Render();
    int OpenDevice(const WaveFormat& format);
    void StopOutput();
    void ClearBusyUnlessPending();

    const int m_channel;
    const MgrWaveBankSet& m_banks;
    const std::unique_ptr<AudioSink> m_sink;   // used on the channel's thread only
    const SoundOutputConfig m_config;

    CMgrCriticalSection m_requestMutex;
    Request m_request NAVI_GUARDED_BY(m_requestMutex);
    std::atomic<bool> m_busy{false};      // changed with m_requestMutex held
    std::atomic<bool> m_pending{false};   // changed with m_requestMutex held
    std::atomic<int32_t> m_gain{1000};
    std::atomic<int> m_level{kSoundMaxLevel};
    std::atomic<int> m_lastResult{-1};

    // Channel thread only.
    std::vector<uint8_t> m_buffer;
    WaveFormat m_deviceFormat;
    bool m_playing = false;

    platform::Event m_play{false, false};
    platform::Event m_stop{false, false};
    platform::Event m_quit{false, false};
    platform::Event m_done{false, false};
    platform::Event m_settled{false, false};
    std::thread m_thread;
};

class MgrSoundManager {
public:
    using SinkFactory = std::function<std::unique_ptr<AudioSink>(int channel)>;

    MgrSoundManager() = default;
    ~MgrSoundManager() { Release(); }
    MgrSoundManager(const MgrSoundManager&) = delete;
    MgrSoundManager& operator=(const MgrSoundManager&) = delete;

    // The program's sound unit.
    static MgrSoundManager& Instance();

    // Opens the banks under rootFolder (the map folder), clears the
    // "EXTENDWAVE" switch when the extended bank cannot be opened, records
    // the base bank's compatibility flag, sets level 15 and starts both
    // channels on SDL2 audio with "WAVEOUT" and "WAVEDEVICE" of the global
    // settings. 1 on success.
    int Init(const std::string& rootFolder);
    // The same with the output chosen by the caller (tests: capture sinks).
    int Init(const std::string& rootFolder, const SoundOutputConfig& config, const SinkFactory& makeSink);

    int PlayVoice(int channel, uint32_t flags, const uint32_t* ids, int count);
    int PlayWaveFile(int channel, uint32_t flags, const std::u16string& path);
    int IsPlaying(int channel) const;
    int SetVolume(int level);
    int Volume() const { return m_level.load(); }
    void SetGain(int32_t gainThousandths);
    void Release();

    MgrWaveBankSet& Banks() { return m_banks; }
    MgrSoundUnit* Unit(int channel) { return channel >= 0 && channel < kSoundChannels ? m_units[channel].get() : nullptr; }

private:
    MgrWaveBankSet m_banks;
    std::unique_ptr<MgrSoundUnit> m_units[kSoundChannels];
    std::atomic<int> m_level{kSoundMaxLevel};
};
