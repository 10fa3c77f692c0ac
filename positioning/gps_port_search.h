#pragma once
// Finds the serial port and rate at which a GPS receiver sends NMEA, or
// checks a configured port and rate, on a thread of its own. It opens the
// ports itself (the GPS module need not run) and never writes to them.
// Progress goes to a callback on the search thread.
#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "platform/thread_util.h"

// Progress codes of the callback (code, port, rate, context).
enum GpsSearchCode : int {
    kGpsSearchStarted = 0,
    kGpsSearchEnumerating = 1,
    kGpsSearchProbing = 3,
    kGpsSearchFound = 4,
    kGpsSearchNotFound = 5,
    kGpsSearchChecking = 6,
    kGpsSearchCheckOk = 7,
    kGpsSearchCheckFailed = 8,
};

using GpsSearchCallback = void (*)(int code, int port, int rate, void* context);

// True when the bytes hold '$' and a GNSS talker ("$GP", "$GN", ...).
bool IsNmeaData(const uint8_t* data, size_t size);

class GpsPortSearch {
public:
    static constexpr int kMaxPorts = 50;
    static constexpr int kGroupSize = 32;
    static constexpr int kPolls = 10;
    static constexpr int kPollMs = 100;
    static constexpr int kCheckRoundMs = 200;
    static constexpr size_t kProbeBytes = 128;
    // The rates the full search tries, in order (those below 38400).
    static constexpr int kSearchRates[] = {19200, 14400, 9600, 4800};

    GpsPortSearch() = default;
    ~GpsPortSearch() { StopThread(); }

    int StartThread();
    // Ends the thread (cancelling a running job) and waits for it.
    void StopThread();
    void SetProgressCallback(GpsSearchCallback callback, void* context);
    void StartSearch() { m_searchEvent.Set(); }
    void StartPortCheck(int port, int rate);
    void CancelSearch();
    void CancelPortCheck();
    int IsSearching() const { return m_searching.load(std::memory_order_acquire); }
    int IsChecking() const { return m_checking.load(std::memory_order_acquire); }

private:
    void ThreadMain();
    void RunSearch();
    void RunCheck();
    void Report(int code, int port, int rate);
    bool Cancelled(const std::atomic<int>& cancel) const;
    // The port that carries NMEA at rate among ports, 0 when none.
    int ProbeGroup(const std::vector<int>& ports, int* foundRate);
    // Sleeps ms unless cancelled or quitting; false then.
    bool Pause(int ms, const std::atomic<int>& cancel);

    std::thread m_thread;
    platform::Event m_quitEvent{false, false};
    platform::Event m_searchEvent{false, false};
    platform::Event m_checkEvent{false, false};
    std::atomic<int> m_quit{0};
    std::atomic<GpsSearchCallback> m_callback{nullptr};
    std::atomic<void*> m_context{nullptr};
    std::atomic<int> m_checkPort{0};
    std::atomic<int> m_checkRate{0};
    std::atomic<int> m_searching{0};
    std::atomic<int> m_searchCancel{0};
    std::atomic<int> m_checking{0};
    std::atomic<int> m_checkCancel{0};
};
