#pragma once
// "GPSPARSER": takes every sentence or frame from the receive thread
// (message 3) or the replay thread (message 4), records serial data into the
// open GPS log, parses, and publishes each complete fix into the GPS module
// settings object, keeping "LastGPS.dat" up to date.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "foundation/work_thread.h"
#include "positioning/gps_fix.h"
#include "positioning/gps_parser.h"

class CGPSNMEAStore;
class CMgrConfigModuleGPS;

// Thread messages of "GPSPARSER".
enum GpsParserMessage : uint32_t {
    kGpsMsgStop = 0,
    kGpsMsgSerial = 3,
    kGpsMsgReplay = 4,
    kGpsMsgOpenLog = 5,
    kGpsMsgCloseLog = 6,
    kGpsMsgAcceptReplay = 7,
    kGpsMsgAcceptSerial = 8,
};

class CGPSParserThread : public CMgrWorkThread {
public:
    static constexpr size_t kLogBufferBytes = 16384;
    static constexpr uint32_t kLogWriteOutMs = 60000;
    static constexpr uint32_t kWaitSliceMs = 500;

    CGPSParserThread();
    ~CGPSParserThread() override;

    const char16_t* GetThreadName() const override { return u"GPSPARSER"; }
    const MgrQueueInfo* GetQueueInfo() const override { return &kMgrModuleQueueInfo; }
    void Run() override;
    // Posts message 0 and waits at most timeoutMs.
    int StopThread(uint32_t timeoutMs) override;
    int InitInstance() override;
    int ExitInstance() override;

    // Before the thread starts: the native path of "LastGPS.dat" (empty: no
    // last-fix file).
    void SetLastFixPath(const std::string& nativePath) { m_lastFixPath = nativePath; }
    // Fixes published since the thread started (tests wait on it).
    int GetPublishedCount() const { return m_published.load(std::memory_order_acquire); }
    // Before the thread starts: called on the parser thread with every fix
    // as it is published (the GPS log screen and tests watch the stream).
    void SetPublishObserver(std::function<void(const GpsFixRecord&)> observer) { m_observer = std::move(observer); }

private:
    void HandleData(uint32_t code, const uint8_t* data, uint32_t length);
    void RecordSerial(const uint8_t* data, uint32_t length);
    bool WriteOutBuffer();
    void StopRecording();
    void CloseLog();

    CGPSParser m_parser;
    CGPSNMEAStore* m_store = nullptr;
    CMgrConfigModuleGPS* m_block = nullptr;
    std::vector<char> m_logBuffer;
    size_t m_logFill = 0;
    uint32_t m_lastWriteOutTick = 0;
    uint32_t m_accepted = kGpsMsgSerial;
    GpsFixPublisher m_publisher;
    std::string m_lastFixPath;
    std::atomic<int> m_published{0};
    std::function<void(const GpsFixRecord&)> m_observer;
};
