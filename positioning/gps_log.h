#pragma once
// GPS logs: recording what the receiver sends, and replaying a log in
// place of the receiver at one second of data per step.
#include <atomic>
#include <cstdint>
#include <string>

#include "foundation/singleton.h"
#include "foundation/work_thread.h"
#include "platform/clock.h"

// The log file the parser thread writes serial data into. A log holds the
// sentences or frames exactly as received, in order, with nothing added.
class CGPSNMEAStore : public MgrSingletonT<CGPSNMEAStore> {
public:
    static constexpr int kDefaultGgaLimit = 21600;   // six hours of one fix a second

    // 0 when disabled; closes an open log first; 1 when the new log is open.
    int Open();
    // 1 when a log was open and is closed now.
    int Close();
    // Writes data (whole sentences) to the open log. Each GGA sentence of
    // any talker counts; the one that reaches the limit and what follows it
    // are not written, closeRequest is set and the result is 0. Otherwise 1
    // when every byte was written.
    int Write(const void* data, size_t length, int* closeRequest);
    int IsLogging(int lock);
    // The native path of the open log; 0 when none is open.
    int GetFileName(std::string* out, int lock);

    void SetEnabled(int on) { m_enabled.store(on, std::memory_order_release); }
    // Native folder of new logs; empty: the root folder of the system
    // settings (ROOTPATH, else the program's parent folder).
    void SetLogFolder(const std::string& nativeFolder);
    void SetGgaLimit(int limit);
    // The log name for a local time: "<folder>/YYYY년MM월DD일H시MM분SS초.gps".
    static std::string MakeLogName(const std::string& folder, const platform::LocalDateTime& t);

    ~CGPSNMEAStore() override;

private:
    friend class MgrSingletonT<CGPSNMEAStore>;
    CGPSNMEAStore() = default;
    std::string LogFolder() const;

    int m_fd NAVI_GUARDED_BY(m_lock) = -1;
    std::atomic<int> m_open{0};
    std::atomic<int> m_enabled{1};
    int m_ggaLimit NAVI_GUARDED_BY(m_lock) = kDefaultGgaLimit;
    int m_ggaCount NAVI_GUARDED_BY(m_lock) = 0;
    std::string m_path NAVI_GUARDED_BY(m_lock);
    std::string m_folder NAVI_GUARDED_BY(m_lock);
};

// Counts the GGA sentences (any GNSS talker) that start lines of data.
int CountGgaSentences(const char* data, size_t length);

// Replays a log: each step posts one second of it (from one "..RMC"
// sentence, or binary time frame, to the next) to "GPSPARSER" as message 4.
class CGPSFileThread : public CMgrStateThread {
public:
    static constexpr size_t kLineBytes = 512;
    static constexpr size_t kMaxLineBytes = 510;
    static constexpr uint32_t kPostTimeoutMs = 1000;

    ~CGPSFileThread() override;

    // Prepare's parameter: a NUL-terminated native path.
protected:
    int OnPrepare(const void* param) override;
    int OnStart() override;
    int OnStop() override;
    void OnAbort() override;
    int OnStep() override;

private:
    void CloseFile();
    // The next line up to the delimiter; false at the end of the log.
    bool ReadLine(std::string& line);

    std::string m_path;
    int m_fd = -1;
    uint8_t m_delimiter = '\n';
};
