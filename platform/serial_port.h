#pragma once
// Serial ports on termios, the wake-up event of threads that wait on a
// port, pseudo-terminal pairs (a receiver stand-in for tests and tools) and
// named shared-memory blocks.
#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// True when baud has a termios constant; only those rates can be set.
bool IsStandardBaudRate(int baud);

// An open serial device in raw mode: 8 data bits, no parity, one stop bit
// by default, no flow control of any kind, no line discipline, reads that
// return at once. Opened exclusively (a second open of the device fails).
class SerialPort {
public:
    SerialPort() = default;
    ~SerialPort() { Close(); }
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // parity 0 none, 1 odd, 2 even; stopBits 1 or 2. False with a message
    // in error (a rate without a termios constant is refused).
    bool Open(const std::string& devicePath, int baud, int dataBits, int parity, int stopBits,
              std::string* error);
    // Sets the rate on the open port; false for a rate without a constant.
    bool SetBaudRate(int baud, std::string* error);
    void Close();
    bool IsOpen() const { return m_fd >= 0; }
    int Descriptor() const { return m_fd; }

    // Bytes waiting (0 when none); -1 on failure or a hang-up.
    long Read(void* buffer, size_t size);
    // True when all bytes were written (waits for room at most timeoutMs).
    bool WriteAll(const void* data, size_t size, int timeoutMs = 1000);
    // Drops what is waiting in both directions.
    void Purge();

private:
    int m_fd = -1;
};

// A counter on an eventfd: Signal wakes a thread that polls its descriptor.
class WakeEvent {
public:
    WakeEvent();
    ~WakeEvent();
    WakeEvent(const WakeEvent&) = delete;
    WakeEvent& operator=(const WakeEvent&) = delete;

    bool IsValid() const { return m_fd >= 0; }
    int Descriptor() const { return m_fd; }
    void Signal();
    // Clears the counter; true when it was signalled.
    bool Drain();

private:
    int m_fd = -1;
};

enum class PortWait { kReadable, kWoken, kHangup, kTimeout, kError };
// Waits until fd has data, the wake event is signalled, the device hangs up
// (unplugged), or timeoutMs pass.
PortWait WaitPortReadable(int fd, const WakeEvent& wake, int timeoutMs);

// A pseudo-terminal pair: the master side plays the receiver, the slave
// path is the "serial device" the program opens.
class PtyPair {
public:
    PtyPair() = default;
    ~PtyPair() { CloseMaster(); }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool Open(std::string* error);
    const std::string& SlavePath() const { return m_slavePath; }
    int MasterDescriptor() const { return m_master; }
    // Writes all bytes to the master (the receiver sends).
    bool Send(const void* data, size_t size);
    bool Send(const std::string& text) { return Send(text.data(), text.size()); }
    // Reads what the program wrote to the port, waiting at most timeoutMs
    // for the first byte.
    std::string Receive(int timeoutMs);
    // Closes the master: the slave side sees a hang-up (the receiver is
    // unplugged).
    void CloseMaster();

private:
    int m_master = -1;
    std::string m_slavePath;
};

// A named shared-memory block (shm_open) mapped for reading and writing.
// Open creates the block (zero-filled) when it does not exist yet.
class SharedMemoryBlock {
public:
    SharedMemoryBlock() = default;
    ~SharedMemoryBlock() { Close(); }
    SharedMemoryBlock(const SharedMemoryBlock&) = delete;
    SharedMemoryBlock& operator=(const SharedMemoryBlock&) = delete;

    // name without the leading slash ("LCODE").
    bool Open(const std::string& name, size_t size);
    void Close();
    bool IsOpen() const { return m_data != nullptr; }
    uint8_t* Data() { return m_data; }
    size_t Size() const { return m_size; }
    // Removes the name (tests); mappings already made stay valid.
    static void Unlink(const std::string& name);

private:
    uint8_t* m_data = nullptr;
    size_t m_size = 0;
};

}  // namespace platform
