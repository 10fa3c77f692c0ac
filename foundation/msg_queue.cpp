#include "foundation/msg_queue.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>

#include "foundation/work_thread.h"
#include "platform/byte_cursor.h"
#include "platform/clock.h"
#include "platform/thread_util.h"

namespace {

// An unlimited wait looks at its stop condition this often even when nobody
// wakes it.
constexpr auto kWaitSlice = std::chrono::milliseconds(100);
// Messages up to this size are built and received on the stack.
constexpr uint32_t kStackMessageBytes = 1024;
// Parameters beyond these are a caller's mistake, not a queue.
constexpr uint32_t kMaxSlotCount = 4096;
constexpr uint32_t kMaxMessageBytes = 1u << 20;

uint32_t SlotSizeFor(uint32_t maxMessageSize) { return (4 + maxMessageSize + 3) & ~3u; }

std::u16string CutQueueName(const std::u16string& name) { return name.substr(0, kMgrMsgQueueNameUnits); }

}  // namespace

void EncodeThreadMsgHeader(const MgrThreadMsgHeader& header, uint8_t* out) {
    // Written by hand rather than through a ByteWriter: a post must not touch
    // the heap.
    const uint32_t words[5] = {header.payloadLength, header.code, header.senderThreadId, header.targetThreadId,
                               header.tickCount};
    for (int w = 0; w < 5; ++w) {
        for (int b = 0; b < 4; ++b) out[w * 4 + b] = static_cast<uint8_t>(words[w] >> (8 * b));
    }
}

bool DecodeThreadMsgHeader(const uint8_t* data, size_t size, MgrThreadMsgHeader* header) {
    platform::ByteReader reader(data, size);
    MgrThreadMsgHeader h;
    h.payloadLength = reader.U32();
    h.code = reader.U32();
    h.senderThreadId = reader.U32();
    h.targetThreadId = reader.U32();
    h.tickCount = reader.U32();
    if (!reader.Ok()) return false;
    *header = h;
    return true;
}

// ---------------------------------------------------------------------------
// The queue

MgrMsgQueue::MgrMsgQueue(std::u16string name, const MgrQueueInfo& info)
    : m_name(std::move(name)),
      m_flags(info.flags),
      m_slotCount(info.slotCount),
      m_maxMessageSize(info.maxMessageSize),
      m_slotSize(SlotSizeFor(info.maxMessageSize)),
      m_slots(static_cast<size_t>(m_slotSize) * info.slotCount) {}

uint32_t MgrMsgQueue::GetPendingCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return (m_writeIndex + m_slotCount - m_readIndex) % m_slotCount;
}

int MgrMsgQueue::Write(const void* data, uint32_t length, uint32_t timeoutMs, const std::atomic<int>* abandon) {
    if (!IsValid() || length > m_maxMessageSize || (length > 0 && !data)) return 0;
    std::unique_lock<std::mutex> lock(m_mutex);
    if (timeoutMs == kMgrInfinite) {
        while (Full()) {
            if (m_openReaders == 0 || (abandon && abandon->load(std::memory_order_acquire))) return 0;
            m_notFull.wait_for(lock, kWaitSlice);
        }
    } else if (Full()) {
        // Waits the whole time-out: a wake-up that finds the queue still full
        // (another writer was quicker) does not end the wait early.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        if (!m_notFull.wait_until(lock, deadline, [this] { return !Full(); })) return 0;
    }
    uint8_t* slot = m_slots.data() + static_cast<size_t>(m_writeIndex) * m_slotSize;
    std::memcpy(slot, &length, 4);
    if (length > 0) std::memcpy(slot + 4, data, length);
    m_writeIndex = (m_writeIndex + 1) % m_slotCount;
    lock.unlock();
    m_notEmpty.notify_one();
    return 1;
}

int MgrMsgQueue::Read(void* buffer, uint32_t size, uint32_t* length, uint32_t timeoutMs,
                      const std::atomic<int>* abandon) {
    if (!IsValid()) return 0;
    std::unique_lock<std::mutex> lock(m_mutex);
    if (timeoutMs == kMgrInfinite) {
        while (Empty()) {
            if (m_openWriters == 0 || (abandon && abandon->load(std::memory_order_acquire))) return 0;
            m_notEmpty.wait_for(lock, kWaitSlice);
        }
    } else if (Empty()) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        if (!m_notEmpty.wait_until(lock, deadline, [this] { return !Empty(); })) return 0;
    }
    const uint8_t* slot = m_slots.data() + static_cast<size_t>(m_readIndex) * m_slotSize;
    uint32_t stored = 0;
    std::memcpy(&stored, slot, 4);
    int result = 0;
    if (stored <= size && (stored == 0 || buffer)) {
        if (stored > 0) std::memcpy(buffer, slot + 4, stored);
        result = 1;
    }
    if (length) *length = stored;
    m_readIndex = (m_readIndex + 1) % m_slotCount;
    lock.unlock();
    m_notFull.notify_one();
    return result;
}

void MgrMsgQueue::WakeWaiters() {
    // Taking the lock orders the wake-up after a waiter's last look at its
    // stop condition, so the wake-up cannot fall between look and wait.
    std::lock_guard<std::mutex> lock(m_mutex);
    m_notEmpty.notify_all();
    m_notFull.notify_all();
}

void MgrMsgQueue::OnHandleOpened(int mode) {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++(mode == MgrMsgQueueHandle::kReader ? m_openReaders : m_openWriters);
}

void MgrMsgQueue::OnHandleClosed(int mode) {
    std::lock_guard<std::mutex> lock(m_mutex);
    --(mode == MgrMsgQueueHandle::kReader ? m_openReaders : m_openWriters);
    m_notEmpty.notify_all();
    m_notFull.notify_all();
}

// ---------------------------------------------------------------------------
// The process-wide table of queues

struct MsgQueueTable {
    CMgrCriticalSection lock;
    std::vector<std::shared_ptr<MgrMsgQueue>> queues NAVI_GUARDED_BY(lock);

    MsgQueueTable() { queues.reserve(kMgrMaxMsgQueues); }

    static MsgQueueTable& Get() {
        static MsgQueueTable* table = new MsgQueueTable();   // outlives threads still closing at exit
        return *table;
    }

    MgrMsgQueueHandlePtr Open(const std::u16string& requested, const MgrQueueInfo& info, int mode) {
        if (requested.empty() || (mode != MgrMsgQueueHandle::kReader && mode != MgrMsgQueueHandle::kWriter))
            return nullptr;
        if (info.slotCount < 2 || info.slotCount > kMaxSlotCount || info.maxMessageSize == 0 ||
            info.maxMessageSize > kMaxMessageBytes)
            return nullptr;
        // The whole stored name must match: a shorter name is another queue,
        // not a prefix of this one.
        const std::u16string name = CutQueueName(requested);
        try {
            MgrLock hold(lock);
            std::shared_ptr<MgrMsgQueue> queue;
            for (const auto& q : queues) {
                if (q->IsValid() && q->m_name == name) {
                    if (q->m_flags != info.flags || q->m_slotCount != info.slotCount ||
                        q->m_maxMessageSize != info.maxMessageSize)
                        return nullptr;
                    queue = q;
                    break;
                }
            }
            const bool created = !queue;
            if (created) {
                if (static_cast<int>(queues.size()) + 1 > kMgrMaxMsgQueues) return nullptr;
                queue = std::make_shared<MgrMsgQueue>(name, info);
            }
            // The handle counts only once it is open, so a failure above
            // leaves no count behind.
            auto handle = std::make_shared<MgrMsgQueueHandle>(queue, mode);
            if (created) queues.push_back(queue);   // capacity reserved: cannot throw
            ++queue->m_refCount;
            queue->OnHandleOpened(mode);
            handle->m_open.store(true, std::memory_order_release);
            return handle;
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
    }

    void Release(MgrMsgQueue* queue, int mode) {
        queue->OnHandleClosed(mode);
        MgrLock hold(lock);
        if (--queue->m_refCount > 0) return;
        queue->m_magic.store(0, std::memory_order_release);
        queues.erase(std::remove_if(queues.begin(), queues.end(),
                                    [queue](const std::shared_ptr<MgrMsgQueue>& q) { return q.get() == queue; }),
                     queues.end());
    }

    int Count() {
        MgrLock hold(lock);
        return static_cast<int>(queues.size());
    }
};

MgrMsgQueueHandle::~MgrMsgQueueHandle() { Close(); }

int MgrMsgQueueHandle::Close() {
    if (!m_open.exchange(false, std::memory_order_acq_rel)) return 0;
    MsgQueueTable::Get().Release(m_queue.get(), m_mode);
    return 1;
}

MgrMsgQueueHandlePtr CreateMsgQueue(const std::u16string& name, const MgrQueueInfo& info, int mode) {
    return MsgQueueTable::Get().Open(name, info, mode);
}

int WriteMsgQueue(MgrMsgQueueHandle* handle, const void* data, uint32_t length, uint32_t timeoutMs) {
    if (!handle || !handle->IsOpen() || handle->GetMode() != MgrMsgQueueHandle::kWriter) return 0;
    return handle->GetQueue()->Write(data, length, timeoutMs, nullptr);
}

int ReadMsgQueue(MgrMsgQueueHandle* handle, void* buffer, uint32_t size, uint32_t* length, uint32_t timeoutMs) {
    if (!handle || !handle->IsOpen() || handle->GetMode() != MgrMsgQueueHandle::kReader) return 0;
    return handle->GetQueue()->Read(buffer, size, length, timeoutMs, nullptr);
}

int CloseMsgQueue(MgrMsgQueueHandle* handle) { return handle ? handle->Close() : 0; }

int GetMsgQueueCount() { return MsgQueueTable::Get().Count(); }

// ---------------------------------------------------------------------------
// The worker-thread registry

CMgrWorkThreadEntry::CMgrWorkThreadEntry() { m_entries.reserve(256); }

int CMgrWorkThreadEntry::AddThread(const CMgrWorkThread* thread) {
    if (!thread || !thread->GetThreadName()) return 0;
    MgrThreadEntry entry;
    entry.name = thread->GetThreadName();
    entry.threadHandle = thread->GetThreadHandle();
    entry.threadId = thread->GetThreadId();
    entry.maxMessageSize = thread->GetMaxMessageSize();
    entry.reader = thread->GetReaderHandle();
    entry.writer = thread->GetWriterHandle();
    entry.stopFlag = thread->GetStopFlag();
    return AddEntry(std::move(entry));
}

int CMgrWorkThreadEntry::AddEntry(MgrThreadEntry entry) {
    if (entry.name.empty() || entry.name.size() > MgrThreadEntry::kMaxNameChars || entry.threadHandle == 0 ||
        entry.threadId == 0)
        return 0;
    try {
        auto record = std::make_shared<const MgrThreadEntry>(std::move(entry));
        MgrLock hold(m_lock);
        for (const auto& e : m_entries) {
            if (e->name == record->name) return 0;
        }
        // A failed growth leaves the table as it was (the entries stay).
        if (m_entries.size() == m_entries.capacity()) m_entries.reserve(m_entries.capacity() + 256);
        m_entries.push_back(std::move(record));
        return 1;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

int CMgrWorkThreadEntry::RemoveThread(const CMgrWorkThread* thread) {
    if (!thread || !thread->GetThreadName()) return 0;
    return RemoveByName(thread->GetThreadName());
}

int CMgrWorkThreadEntry::RemoveByName(const std::u16string& name) {
    if (name.empty()) return 0;
    MgrLock hold(m_lock);
    m_entries.erase(
        std::remove_if(m_entries.begin(), m_entries.end(), [&](const EntryPtr& e) { return e->name == name; }),
        m_entries.end());
    return 1;
}

void CMgrWorkThreadEntry::RemoveAll() {
    MgrLock hold(m_lock);
    m_entries.clear();
}

int CMgrWorkThreadEntry::GetCount() {
    MgrLock hold(m_lock);
    return static_cast<int>(m_entries.size());
}

CMgrWorkThreadEntry::EntryPtr CMgrWorkThreadEntry::FindThreadById(uint32_t threadId) {
    MgrLock hold(m_lock);
    for (const auto& e : m_entries) {
        if (e->threadId == threadId) return e;
    }
    return nullptr;
}

CMgrWorkThreadEntry::EntryPtr CMgrWorkThreadEntry::FindThreadByName(const std::u16string& name) {
    MgrLock hold(m_lock);
    for (const auto& e : m_entries) {
        if (e->name == name) return e;
    }
    return nullptr;
}

int CMgrWorkThreadEntry::SendToThread(const std::u16string& target, uint32_t code, const void* payload,
                                      uint32_t length, uint32_t timeoutMs, const uint32_t* tick) {
    const EntryPtr entry = FindThreadByName(target);
    if (!entry || !entry->writer) return 0;
    if (length > entry->maxMessageSize || length + kMgrThreadMsgHeaderSize > entry->maxMessageSize) return 0;
    if (length > 0 && !payload) return 0;

    uint8_t stackBuffer[kStackMessageBytes];
    std::vector<uint8_t> heapBuffer;
    uint8_t* message = stackBuffer;
    if (entry->maxMessageSize > kStackMessageBytes) {
        try {
            heapBuffer.resize(entry->maxMessageSize);
        } catch (const std::bad_alloc&) {
            return 0;
        }
        message = heapBuffer.data();
    }
    MgrThreadMsgHeader header;
    header.payloadLength = length;
    header.code = code;
    header.senderThreadId = platform::CurrentThreadId();
    header.targetThreadId = entry->threadId;
    header.tickCount = tick ? *tick : platform::GetTickCount();
    EncodeThreadMsgHeader(header, message);
    if (length > 0) std::memcpy(message + kMgrThreadMsgHeaderSize, payload, length);

    MgrMsgQueueHandle* writer = entry->writer.get();
    if (!writer->IsOpen() || writer->GetMode() != MgrMsgQueueHandle::kWriter) return 0;
    return writer->GetQueue()->Write(message, length + kMgrThreadMsgHeaderSize, timeoutMs, entry->stopFlag.get());
}

int CMgrWorkThreadEntry::ReceiveForThread(uint32_t* senderId, uint32_t* code, void* buffer, uint32_t size,
                                          uint32_t* length, uint32_t* tick, uint32_t timeoutMs) {
    const EntryPtr entry = FindThreadById(platform::CurrentThreadId());
    if (!entry || !entry->reader || entry->maxMessageSize < kMgrThreadMsgHeaderSize) return 0;

    uint8_t stackBuffer[kStackMessageBytes];
    std::vector<uint8_t> heapBuffer;
    uint8_t* message = stackBuffer;
    if (entry->maxMessageSize > kStackMessageBytes) {
        try {
            heapBuffer.resize(entry->maxMessageSize);
        } catch (const std::bad_alloc&) {
            return 0;
        }
        message = heapBuffer.data();
    }
    MgrMsgQueueHandle* reader = entry->reader.get();
    if (!reader->IsOpen() || reader->GetMode() != MgrMsgQueueHandle::kReader) return 0;
    uint32_t got = 0;
    if (!reader->GetQueue()->Read(message, entry->maxMessageSize, &got, timeoutMs, entry->stopFlag.get()))
        return 0;

    MgrThreadMsgHeader header;
    if (!DecodeThreadMsgHeader(message, got, &header)) return 0;
    if (header.payloadLength > size || got != header.payloadLength + kMgrThreadMsgHeaderSize) return 0;
    if (header.payloadLength > 0) {
        if (!buffer) return 0;
        std::memcpy(buffer, message + kMgrThreadMsgHeaderSize, header.payloadLength);
    }
    if (code) *code = header.code;
    if (senderId) *senderId = header.senderThreadId;
    if (length) *length = header.payloadLength;
    if (tick) *tick = header.tickCount;
    return 1;
}
