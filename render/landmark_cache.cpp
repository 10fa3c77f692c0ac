#include "render/landmark_cache.h"

StyleImageHold& StyleImageHold::operator=(StyleImageHold&& other) noexcept {
    if (this != &other) {
        Reset();
        m_cache = other.m_cache;
        m_key = other.m_key;
        other.m_cache = nullptr;
    }
    return *this;
}

void StyleImageHold::Reset() {
    if (m_cache) m_cache->Release(m_key);
    m_cache = nullptr;
}

CLandMarkCache::~CLandMarkCache() {
    Close();
    m_cache.Detach();
}

int CLandMarkCache::Open(const std::string& nativePath) {
    MgrLock lock(m_lock);
    m_file.Close();
    return m_file.Open(nativePath, platform::File::Mode::kRead) ? 1 : 0;
}

int CLandMarkCache::Close() {
    MgrLock lock(m_lock);
    m_file.Close();
    return 1;
}

int CLandMarkCache::Attach(MgrSharedBlock* heap) { return m_cache.Attach(heap, static_cast<int>(sizeof(uint32_t))); }

MgrSharedBlock* CLandMarkCache::Detach() { return m_cache.Detach(); }

const uint8_t* CLandMarkCache::Fetch(uint32_t key, uint32_t size, uint32_t offset, int* hit, int lock,
                                     StyleImageHold* hold) {
    const uint8_t* bytes;
    if (lock == 1) {
        MgrLock guard(m_lock);
        bytes = FetchLocked(key, size, offset, hit);
    } else {
        bytes = FetchLocked(key, size, offset, hit);
    }
    if (bytes && hold) {
        hold->Reset();
        hold->m_cache = this;
        hold->m_key = key;
    }
    return bytes;
}

const uint8_t* CLandMarkCache::FetchLocked(uint32_t key, uint32_t size, uint32_t offset, int* hit) {
    if (hit) *hit = 0;
    if (!m_cache.IsAttached() || !m_file.IsOpen() || size == 0) return nullptr;
    if (void* cached = m_cache.Lookup(&key)) {
        if (hit) *hit = 1;
        return static_cast<const uint8_t*>(cached);
    }
    auto* entry = static_cast<uint8_t*>(m_cache.Insert(&key, size, 0));
    if (!entry) return nullptr;
    if (!m_file.ReadExactAt(offset, entry, size)) {
        // Nobody else can hold the entry yet: remove it so that no later
        // fetch is served bytes that were never read.
        m_cache.Discard(&key);
        return nullptr;
    }
    return entry;
}

int CLandMarkCache::Release(uint32_t key) {
    m_cache.Release(&key);
    return 1;
}
