#pragma once
// Named message queues and thread messages.
//
// Each worker thread with a queue owns one named ring buffer of fixed-size
// slots. Senders post to a thread by its name through the worker-thread
// registry `CMgrWorkThreadEntry`; the owning thread receives its messages in
// posting order. Only success or failure of a post travels back.
//
// Queue memory is plain process memory owned by the queue and shared through
// shared_ptr: a sender that picked up a writer handle just before its thread
// ended writes into a queue that still exists (the message is simply never
// read) instead of into freed memory.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "foundation/singleton.h"

class CMgrWorkThread;

// Time-out meaning "no limit". Such a wait still never blocks for good: it
// waits in short slices and gives up once the other side of the queue is gone
// or the thread it serves has been asked to stop.
inline constexpr uint32_t kMgrInfinite = 0xFFFFFFFF;

// At most this many queues exist at once.
inline constexpr int kMgrMaxMsgQueues = 255;
// The queue names are stored in 32 UTF-16 units; longer names are cut.
inline constexpr size_t kMgrMsgQueueNameUnits = 32;

// The header written before every thread message: five little-endian 32-bit
// words, then the payload.
struct MgrThreadMsgHeader {
    uint32_t payloadLength = 0;
    uint32_t code = 0;             // 0 asks a module thread to end its run loop
    uint32_t senderThreadId = 0;
    uint32_t targetThreadId = 0;
    uint32_t tickCount = 0;        // the caller's stamp or the tick at posting
};
static_assert(sizeof(MgrThreadMsgHeader) == 20, "thread message header is five 32-bit words");
inline constexpr uint32_t kMgrThreadMsgHeaderSize = 20;

// Writes the 20 header bytes to out.
void EncodeThreadMsgHeader(const MgrThreadMsgHeader& header, uint8_t* out);
// Reads a header from the first bytes of a message; false when fewer than 20.
bool DecodeThreadMsgHeader(const uint8_t* data, size_t size, MgrThreadMsgHeader* header);

// The queue parameters of a thread (one read-only record shared by all module
// threads).
struct MgrQueueInfo {
    uint32_t headerSize = kMgrThreadMsgHeaderSize;   // carried along, not used by the queue
    uint32_t flags = 0;           // bit 0: the queue asked for a named page-file mapping
    uint32_t slotCount = 0;       // S: the queue holds at most S - 1 messages
    uint32_t maxMessageSize = 0;  // M: header and payload
};
static_assert(sizeof(MgrQueueInfo) == 16, "queue parameters are four 32-bit words");

// Every module thread: 16 slots of at most 532 bytes (a 512-byte payload).
inline constexpr MgrQueueInfo kMgrModuleQueueInfo{kMgrThreadMsgHeaderSize, 3, 16, 532};
inline constexpr uint32_t kMgrModuleMaxPayload = 512;

// One named ring buffer. Created, shared and closed through the functions
// below; a thread never touches it directly.
class MgrMsgQueue {
public:
    static constexpr uint32_t kMagic = 0x464E4D51;   // "QMNF"

    MgrMsgQueue(std::u16string name, const MgrQueueInfo& info);
    MgrMsgQueue(const MgrMsgQueue&) = delete;
    MgrMsgQueue& operator=(const MgrMsgQueue&) = delete;

    const std::u16string& GetName() const { return m_name; }
    uint32_t GetFlags() const { return m_flags; }
    uint32_t GetSlotCount() const { return m_slotCount; }
    uint32_t GetMaxMessageSize() const { return m_maxMessageSize; }
    bool IsValid() const { return m_magic.load(std::memory_order_acquire) == kMagic; }
    // Messages waiting now.
    uint32_t GetPendingCount() const;

    // Stores one message; abandon, when given, ends an unlimited wait once set.
    int Write(const void* data, uint32_t length, uint32_t timeoutMs, const std::atomic<int>* abandon);
    // Takes the oldest message. A message longer than size is consumed and
    // reported as 0 (length still tells its size).
    int Read(void* buffer, uint32_t size, uint32_t* length, uint32_t timeoutMs,
             const std::atomic<int>* abandon);
    // Wakes every waiter so it looks at its stop condition again.
    void WakeWaiters();

private:
    friend class MgrMsgQueueHandle;
    friend struct MsgQueueTable;
    bool Full() const { return (m_writeIndex + 1) % m_slotCount == m_readIndex; }
    bool Empty() const { return m_readIndex == m_writeIndex; }
    void OnHandleOpened(int mode);
    void OnHandleClosed(int mode);

    std::atomic<uint32_t> m_magic{kMagic};
    const std::u16string m_name;
    const uint32_t m_flags;
    const uint32_t m_slotCount;
    const uint32_t m_maxMessageSize;
    const uint32_t m_slotSize;       // 4 + M rounded up to 4: the length word and the bytes

    int m_refCount = 0;              // open handles; guarded by the queue table's lock

    mutable std::mutex m_mutex;      // guards everything below
    uint32_t m_readIndex = 0;
    uint32_t m_writeIndex = 0;
    int m_openReaders = 0;
    int m_openWriters = 0;
    std::vector<uint8_t> m_slots;    // S slots of m_slotSize bytes
    std::condition_variable m_notEmpty;
    std::condition_variable m_notFull;
};

// A reader (mode 1) or writer (mode 0) handle on a queue. A reader may only
// read and a writer only write. Closing is safe while another thread uses the
// handle: its calls then fail.
class MgrMsgQueueHandle {
public:
    static constexpr int kWriter = 0;
    static constexpr int kReader = 1;

    MgrMsgQueueHandle(std::shared_ptr<MgrMsgQueue> queue, int mode) : m_queue(std::move(queue)), m_mode(mode) {}
    ~MgrMsgQueueHandle();
    MgrMsgQueueHandle(const MgrMsgQueueHandle&) = delete;
    MgrMsgQueueHandle& operator=(const MgrMsgQueueHandle&) = delete;

    int GetMode() const { return m_mode; }
    bool IsOpen() const { return m_open.load(std::memory_order_acquire); }
    MgrMsgQueue* GetQueue() const { return m_queue.get(); }
    // 1 when this call closed the handle, 0 when it was closed already.
    int Close();

private:
    const std::shared_ptr<MgrMsgQueue> m_queue;
    const int m_mode;
    friend struct MsgQueueTable;
    std::atomic<bool> m_open{false};   // set by the queue table once the handle is counted
};

using MgrMsgQueueHandlePtr = std::shared_ptr<MgrMsgQueueHandle>;

// Opens the queue of that name, creating it when it does not exist. Null when
// the name is empty, the parameters are unusable or differ from those of the
// existing queue, 255 queues exist already, or memory runs out.
MgrMsgQueueHandlePtr CreateMsgQueue(const std::u16string& name, const MgrQueueInfo& info, int mode);
// 1 when the message was stored, 0 otherwise (reader handle, too long, closed,
// still full after the time-out).
int WriteMsgQueue(MgrMsgQueueHandle* handle, const void* data, uint32_t length, uint32_t timeoutMs);
// 1 when a message was copied out, 0 otherwise.
int ReadMsgQueue(MgrMsgQueueHandle* handle, void* buffer, uint32_t size, uint32_t* length, uint32_t timeoutMs);
// Releases a handle; 0 for a null or already closed handle.
int CloseMsgQueue(MgrMsgQueueHandle* handle);
// Queues that exist now.
int GetMsgQueueCount();

// One registered worker thread.
struct MgrThreadEntry {
    static constexpr size_t kMaxNameChars = 261;

    std::u16string name;
    uint64_t threadHandle = 0;
    uint32_t threadId = 0;
    uint32_t maxMessageSize = 0;
    MgrMsgQueueHandlePtr reader;
    MgrMsgQueueHandlePtr writer;
    // Set when the thread has been asked to stop: unlimited waits for it end.
    std::shared_ptr<const std::atomic<int>> stopFlag;
};

// The worker-thread registry: thread name to writer handle, thread id to
// reader handle. Its lock is never held while a message is written or read,
// so a sender blocked on one full queue holds up no other sender.
class CMgrWorkThreadEntry : public MgrSingletonT<CMgrWorkThreadEntry> {
public:
    using EntryPtr = std::shared_ptr<const MgrThreadEntry>;

    // 1 when added; 0 when the thread, its handle, id or name is missing, the
    // name is too long or already registered, or memory runs out.
    int AddThread(const CMgrWorkThread* thread);
    // The same for an entry made by hand (threads that are not worker objects).
    int AddEntry(MgrThreadEntry entry);
    // Removes the entry of that exact name; 1 also when none matched, 0 for a
    // missing thread or name.
    int RemoveThread(const CMgrWorkThread* thread);
    int RemoveByName(const std::u16string& name);
    void RemoveAll();
    int GetCount();

    // Copies of the entry (null when none); they stay usable after removal.
    EntryPtr FindThreadById(uint32_t threadId);
    EntryPtr FindThreadByName(const std::u16string& name);

    // Posts code and payload to the thread registered under target; tick null
    // stamps the tick at posting. 1 when posted.
    int SendToThread(const std::u16string& target, uint32_t code, const void* payload, uint32_t length,
                     uint32_t timeoutMs, const uint32_t* tick);
    // Receives the next message of the calling thread. 1 when received; a
    // message that does not fit buffer is consumed and gives 0.
    int ReceiveForThread(uint32_t* senderId, uint32_t* code, void* buffer, uint32_t size, uint32_t* length,
                         uint32_t* tick, uint32_t timeoutMs);

private:
    friend class MgrSingletonT<CMgrWorkThreadEntry>;
    CMgrWorkThreadEntry();

    std::vector<EntryPtr> m_entries NAVI_GUARDED_BY(m_lock);
};
