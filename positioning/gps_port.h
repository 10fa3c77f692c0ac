#pragma once
// The serial port of the GPS receiver and its receive thread.
//
// A port is named by its COM number as in the settings; the number maps to
// a device path: "COM<n>" in the configured port folder (a folder of links
// to devices, which tests fill with pseudo-terminal links), else the
// device numbering below.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/singleton.h"
#include "foundation/work_thread.h"
#include "platform/serial_port.h"

// Native folder of "COM<n>" links; empty (the default) uses the devices:
// /dev/ttyUSB<k> is COM k+1, /dev/ttyACM<k> COM k+21, /dev/ttyS<k> COM k+41.
void SetSerialPortFolder(const std::string& nativeFolder);
std::string GetSerialPortFolder();
// The device path of a COM number ("" for a number outside 1..255).
std::string GetSerialPortPath(int portNumber);
// The COM numbers that exist now, ascending, at most maxCount.
std::vector<int> EnumerateSerialPorts(size_t maxCount);

// Cuts a byte stream at a delimiter into sentences ('\n', NMEA) or frames
// (0x82, binary). Each piece is handed on with its delimiter. Bytes that
// grow past 1022 without a delimiter are dropped, and so is a piece longer
// than a thread message can carry (510 bytes and its delimiter).
class GpsSentenceSplitter {
public:
    static constexpr size_t kBufferBytes = 1024;
    static constexpr size_t kMaxPieceBytes = 511;   // with the delimiter; a NUL follows in the message

    explicit GpsSentenceSplitter(uint8_t delimiter) : m_delimiter(delimiter) {}
    void Feed(const uint8_t* data, size_t size, const std::function<void(const uint8_t*, size_t)>& onPiece);
    void Clear() { m_held = 0; }

private:
    uint8_t m_delimiter;
    uint8_t m_buffer[kBufferBytes] = {};
    size_t m_held = 0;
};

class CGPSPort : public MgrSingletonT<CGPSPort> {
public:
    static constexpr int kCommandCount = 5;
    static constexpr int kSetupCommandCount = 4;

    // 0 when already open or the port cannot be opened or configured
    // (nothing is left open), 1 when open.
    int Open(int portNumber, int baud, int dataBits, int parity, int stopBits);
    // 0 when not open; 1 after closing.
    int Close();
    int IsOpen() const { return m_open.load(std::memory_order_acquire); }
    // Opens again with the settings of the last Open (after an unplug).
    int Reopen();
    // The open device's descriptor, -1 when closed (the receive thread
    // reads it; only it reads the port).
    int GetHandle() const { return m_handle.load(std::memory_order_acquire); }
    const std::string& GetLastError() const { return m_lastError; }

    // 1 when every byte of text was written; 0 when closed or short.
    int WriteString(std::string_view text);
    // Receiver commands 0..4 and set-up commands 0..3 (see the .cpp); lock 1
    // holds the port lock around the whole command.
    int SendCommand(int index, int lock);
    int SendSetupCommand(int index, int lock);

    // Reads what waits (0 when none, -1 on a hang-up or failure); receive
    // thread only.
    long Read(void* buffer, size_t size);

private:
    friend class MgrSingletonT<CGPSPort>;
    CGPSPort() = default;

    platform::SerialPort m_port;   // opened and closed under m_lock
    std::atomic<int> m_handle{-1};
    std::atomic<int> m_open{0};
    int m_portNumber = 0;
    int m_baud = 0;
    int m_dataBits = 8;
    int m_parity = 0;
    int m_stopBits = 1;
    std::string m_lastError;
};

// The receive thread: reads the port, cuts sentences or frames and posts
// each to "GPSPARSER" as message 3. An unplugged receiver (hang-up) closes
// the port; it is opened again with a growing pause (100 ms to 2 s).
class CGPSRxThread : public CMgrWorkThread {
public:
    static constexpr uint32_t kPostTimeoutMs = 100;
    static constexpr int kWaitSliceMs = 500;
    static constexpr int kFirstReopenPauseMs = 100;
    static constexpr int kMaxReopenPauseMs = 2000;

    CGPSRxThread();
    ~CGPSRxThread() override;

    void Run() override;
    // Wakes the thread out of its port wait and ends it; never killed.
    int StopThread(uint32_t timeoutMs) override;
    int InitInstance() override;
    int ExitInstance() override;

    // Times the port was opened again after a hang-up (tests watch it).
    int GetReopenCount() const { return m_reopens.load(std::memory_order_acquire); }
    int GetHangupCount() const { return m_hangups.load(std::memory_order_acquire); }

private:
    bool WaitForReopen();

    CGPSPort* m_port = nullptr;
    uint8_t m_delimiter = '\n';
    platform::WakeEvent m_wake;
    std::atomic<int> m_reopens{0};
    std::atomic<int> m_hangups{0};
};
