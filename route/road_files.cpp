#include "route/road_files.h"

#include <zlib.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>

#include "platform/byte_cursor.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

uint32_t LoadU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

std::atomic<uint32_t> g_poolSerial{0};

int32_t LoadS32(const uint8_t* p) { return static_cast<int32_t>(LoadU32(p)); }

// The remembered level and reach of a record (see NcDBRoad::GetReach).
uint8_t ReachOf(const uint8_t* record) {
    const int level = std::min<int>(record[ncrecord::kLevelWord + 1], 3);
    const int64_t dx = std::abs(int64_t{LoadS32(record + ncrecord::kSecondPoint)} - LoadS32(record + ncrecord::kFirstPoint));
    const int64_t dy =
        std::abs(int64_t{LoadS32(record + ncrecord::kSecondPoint + 4)} - LoadS32(record + ncrecord::kFirstPoint + 4));
    const int64_t steps = (std::max(dx, dy) + NcDBRoad::kNcReachStep - 1) / NcDBRoad::kNcReachStep;
    return static_cast<uint8_t>(level << 6 | std::min<int64_t>(steps, 63));
}

}  // namespace

// ------------------------------------------------------------ NcFileAccess

int NcFileAccess::Open(const std::string& nativePath) {
    MgrLock lock(m_lock);
    m_file.Close();
    m_fileSize = 0;
    if (!m_file.Open(nativePath)) return 0;
    m_fileSize = m_file.Size();
    if (m_fileSize <= 0) {
        m_file.Close();
        m_fileSize = 0;
        return 0;
    }
    return 1;
}

void NcFileAccess::Close() {
    MgrLock lock(m_lock);
    m_file.Close();
    m_fileSize = 0;
}

int NcFileAccess::ReadAt(int64_t offset, void* buffer, size_t count) {
    MgrLock lock(m_lock);
    if (!m_file.IsOpen() || offset < 0) return 0;
    return m_file.ReadExactAt(static_cast<uint64_t>(offset), buffer, count) ? 1 : 0;
}

// ------------------------------------------------------------- NcDBRoadIdx

int NcDBRoadIdx::Load(const std::string& nativePath) {
    m_offsets.Reset();
    m_entryCount = m_linkCount = m_blockCount = 0;
    if (!Open(nativePath)) return 0;
    const int64_t size = GetFileSize();
    // At least the link count and one offset, in whole words.
    if (size < 8 || size % 4 != 0 || size > 4 * (static_cast<int64_t>(kNcLinkCountMax) + 2)) return 0;
    const size_t offsetBytes = static_cast<size_t>(size - 4);
    if (!m_offsets.Map(offsetBytes, NcSystemPageSource())) return 0;
    uint8_t countBytes[4];
    if (!ReadAt(0, m_offsets.View(), offsetBytes) || !ReadAt(size - 4, countBytes, 4)) {
        m_offsets.Reset();
        return 0;
    }
    const uint32_t linkCount = LoadU32(countBytes);
    const uint32_t entries = static_cast<uint32_t>(offsetBytes / 4);
    const uint32_t blocks = (linkCount + kNcLinksPerBlock - 1) / kNcLinksPerBlock;
    if (linkCount > kNcLinkCountMax || (entries != blocks + 1 && entries != blocks) || blocks == 0) {
        m_offsets.Reset();
        return 0;
    }
    m_entryCount = entries;
    m_linkCount = linkCount;
    m_blockCount = blocks;
    return 1;
}

uint32_t NcDBRoadIdx::Entry(uint32_t k) const { return LoadU32(m_offsets.View() + 4 * static_cast<size_t>(k)); }

int NcDBRoadIdx::GetBlockRange(uint32_t block, uint32_t* offset, uint32_t* packedSize) const {
    if (block >= m_blockCount || !m_offsets.View()) return 0;
    const uint32_t start = Entry(block);
    int64_t end;
    if (block + 1 < m_entryCount) {
        end = Entry(block + 1);
    } else {
        // No closing offset: the last block runs to the end of Road.ndb; its
        // zlib stream ends by itself, so one packed block's worth is enough.
        end = std::min<int64_t>(m_roadFileSize, static_cast<int64_t>(start) + kNcPackedBlockMax);
    }
    if (end <= start || end > m_roadFileSize || end - start > kNcPackedBlockMax) return 0;
    *offset = start;
    *packedSize = static_cast<uint32_t>(end - start);
    return 1;
}

// ------------------------------------------------------------- NcCacheData

NcCacheData::NcCacheData() { m_serial = ++g_poolSerial; }

size_t NcCacheData::InitPool(void* memory, size_t bytes, uint32_t blockSize) {
    MgrLock lock(m_lock);
    m_headers = nullptr;
    m_data = nullptr;
    m_count = 0;
    m_blockSize = blockSize;
    m_entryOfKey.clear();
    m_tags.clear();
    m_sentinel = {-1, 0, 0, 0, 0};
    Touch();
    if (!memory || blockSize == 0) return 0;
    const size_t n = std::min<size_t>(bytes / (blockSize + kHeaderBytes), 0x7FFFFFFE);
    if (n == 0) return 0;
    m_headers = static_cast<Header*>(memory);
    m_data = static_cast<uint8_t*>(memory) + n * kHeaderBytes;
    m_count = static_cast<int32_t>(n);
    m_tags.assign(n * kTagBytes, 0);
    for (int32_t i = 0; i < m_count; ++i) m_headers[i] = {-1, 0, i == 0 ? m_count : i - 1, i + 1, 0};
    // The sentinel's next is the least recently used entry, its previous the
    // most recently used one.
    m_sentinel = {-1, 0, m_count - 1, 0, 0};
    return n * (blockSize + kHeaderBytes);
}

void NcCacheData::Unlink(int32_t i) {
    Header& h = At(i);
    At(h.prev).next = h.next;
    At(h.next).prev = h.prev;
}

void NcCacheData::LinkAsNewest(int32_t i) {
    Header& h = At(i);
    h.next = m_count;
    h.prev = m_sentinel.prev;
    At(m_sentinel.prev).next = i;
    m_sentinel.prev = i;
}

const uint8_t* NcCacheData::Find(int32_t key, uint32_t* size) {
    MgrLock lock(m_lock);
    if (key < 0 || static_cast<size_t>(key) >= m_entryOfKey.size()) return nullptr;
    const int32_t i = m_entryOfKey[key];
    if (i < 0) return nullptr;
    Touch();
    if (m_sentinel.prev != i) {  // the newest entry stays where it is
        Unlink(i);
        LinkAsNewest(i);
    }
    if (size) *size = static_cast<uint32_t>(m_headers[i].size);
    return m_data + static_cast<size_t>(i) * m_blockSize;
}

static_assert(kNcLinksPerBlock <= NcCacheData::kTagBytes);

uint8_t* NcCacheData::TagOf(const uint8_t* block) {
    if (m_count == 0 || block < m_data) return nullptr;
    const size_t i = static_cast<size_t>(block - m_data) / m_blockSize;
    return i < static_cast<size_t>(m_count) ? m_tags.data() + i * kTagBytes : nullptr;
}

const uint8_t* NcCacheData::Insert(int32_t key, const uint8_t* data, uint32_t size) {
    MgrLock lock(m_lock);
    if (m_count == 0 || size > m_blockSize || key < 0 || key >= kKeyLimit) return nullptr;
    Touch();
    if (static_cast<size_t>(key) < m_entryOfKey.size() && m_entryOfKey[key] >= 0)
        return m_data + static_cast<size_t>(m_entryOfKey[key]) * m_blockSize;
    if (static_cast<size_t>(key) >= m_entryOfKey.size()) m_entryOfKey.resize(static_cast<size_t>(key) + 1, -1);
    const int32_t i = m_sentinel.next;  // least recently used
    Header& h = m_headers[i];
    if (h.key >= 0) m_entryOfKey[h.key] = -1;
    uint8_t* target = m_data + static_cast<size_t>(i) * m_blockSize;
    std::memcpy(target, data, size);
    h.key = key;
    h.size = static_cast<int32_t>(size);
    Unlink(i);
    LinkAsNewest(i);
    m_entryOfKey[key] = i;
    return target;
}

std::vector<int32_t> NcCacheData::KeysByRecency() {
    MgrLock lock(m_lock);
    std::vector<int32_t> keys;
    for (int32_t i = m_sentinel.prev; m_count > 0 && i != m_count; i = m_headers[i].prev)
        if (m_headers[i].key >= 0) keys.push_back(m_headers[i].key);
    return keys;
}

// ------------------------------------------------------------ NcFileQueue

int NcFileQueue::Reset(int n) {
    MgrLock lock(m_lock);
    if (n < 1) return 0;
    m_slots.assign(static_cast<size_t>(n) + 1, 0);
    for (int i = 0; i < n; ++i) m_slots[i] = i;
    m_read = 0;
    m_write = n;
    m_free = n;
    return 1;
}

int NcFileQueue::Take() {
    MgrLock lock(m_lock);
    if (m_free == 0) return -1;
    const int slot = m_slots[m_read];
    m_read = (m_read + 1) % static_cast<int>(m_slots.size());
    --m_free;
    return slot;
}

int NcFileQueue::Give(int slot) {
    MgrLock lock(m_lock);
    if (m_slots.empty() || m_free + 1 >= static_cast<int>(m_slots.size())) return 0;
    m_slots[m_write] = slot;
    m_write = (m_write + 1) % static_cast<int>(m_slots.size());
    ++m_free;
    return 1;
}

// ------------------------------------------------------------------ NcRoad

int NcRecordRunsFit(const uint8_t* record, uint32_t size, int counts[2]) {
    if (size != kNcLinkRecordBytes) return 0;
    uint32_t at = ncrecord::kRuns;
    for (int run = 0; run < 2; ++run) {
        if (at + 4 > size) return 0;
        const uint32_t header = LoadU32(record + at);
        const int n = static_cast<int>(header >> 28);
        if (n > kNcRunEntriesMax || at + 4 + 4u * n > size) return 0;
        counts[run] = n;
        at += 4 + 4u * n;
    }
    return 1;
}

uint8_t NcPackRunCounts(const uint8_t* record, uint32_t size) {
    int counts[2] = {0, 0};
    if (!record || !NcRecordRunsFit(record, size, counts)) return kNcRunsDamaged;
    return static_cast<uint8_t>(counts[0] | counts[1] << 4);
}

int NcRoad::SetLayout(int layout) {
    if (layout != 1) return 0;
    m_layout = layout;
    return 1;
}

int NcRoad::Attach(uint32_t linkIndex, const uint8_t* record, int direction, uint32_t size) {
    if (size != kNcLinkRecordBytes) return 0;
    return AttachChecked(linkIndex, record, direction, NcPackRunCounts(record, size));
}

int NcRoad::AttachChecked(uint32_t linkIndex, const uint8_t* record, int direction, uint8_t runs) {
    if (!record || runs == kNcRunsDamaged) return 0;
    const int counts[2] = {runs & 0xF, runs >> 4};
    // The rest of the record (points, masks, runs) is read soon after: its
    // cache lines are asked for now, beside the first one read here.
    __builtin_prefetch(record + 64);
    __builtin_prefetch(record + 128);
    __builtin_prefetch(record + kNcLinkRecordBytes - 1);
    m_record = record;
    m_size = kNcLinkRecordBytes;
    m_linkIndex = linkIndex;
    m_direction = direction ? 1 : 0;
    const uint32_t word = U24(ncrecord::kWord);
    m_linkFlag = static_cast<int>(word & 1);
    m_linkValue = word >> 1;
    m_attributes = U32(ncrecord::kAttributes);
    m_runCount[0] = counts[0];
    m_runCount[1] = counts[1];
    return 1;
}

uint32_t NcRoad::GetField24(uint32_t offset) const {
    return m_record && offset + 3 <= m_size ? U24(offset) : 0;
}

int NcRoad::GetTollFlag() const {
    if (!m_record) return 0;
    const uint16_t w = static_cast<uint16_t>(m_record[ncrecord::kFlagWord] | m_record[ncrecord::kFlagWord + 1] << 8);
    return (w & ncrecord::kTollRoadBit) ? 1 : 0;
}

uint8_t NcRoad::GetByte(uint32_t offset) const { return m_record && offset < m_size ? m_record[offset] : 0; }

int NcRoad::GetMaskBitCount(int run) const {
    if (!m_record || run < 0 || run > 1) return 0;
    return std::popcount(static_cast<unsigned>(m_record[run ? ncrecord::kMaskRun2 : ncrecord::kMaskRun1]));
}

// The sums of RFC 1950, taken modulo 65521 at least every 5552 bytes (the
// most that keeps the second sum within 32 bits); 16 bytes at a time where
// the processor has SSE2.
uint32_t NcAdler32(const uint8_t* data, size_t size) {
    constexpr uint32_t kBase = 65521;
    constexpr size_t kChunk = 5552;
    uint64_t a = 1, b = 0;
    while (size > 0) {
        size_t n = std::min(size, kChunk);
        size -= n;
#if defined(__SSE2__)
        if (const size_t blocks = n / 16; blocks > 0) {
            // Per block of 16: the first sum gains its bytes, the second
            // sum 16 times the first sum before the block plus the bytes
            // weighted 16 down to 1.
            const __m128i zero = _mm_setzero_si128();
            const __m128i weightsLow = _mm_setr_epi16(16, 15, 14, 13, 12, 11, 10, 9);
            const __m128i weightsHigh = _mm_setr_epi16(8, 7, 6, 5, 4, 3, 2, 1);
            __m128i sum1 = zero, sum2 = zero, before = zero;
            for (size_t k = 0; k < blocks; ++k) {
                const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * k));
                before = _mm_add_epi32(before, sum1);
                sum1 = _mm_add_epi32(sum1, _mm_sad_epu8(bytes, zero));
                sum2 = _mm_add_epi32(sum2, _mm_madd_epi16(_mm_unpacklo_epi8(bytes, zero), weightsLow));
                sum2 = _mm_add_epi32(sum2, _mm_madd_epi16(_mm_unpackhi_epi8(bytes, zero), weightsHigh));
            }
            alignas(16) uint32_t lanes[3][4];
            _mm_store_si128(reinterpret_cast<__m128i*>(lanes[0]), sum1);
            _mm_store_si128(reinterpret_cast<__m128i*>(lanes[1]), sum2);
            _mm_store_si128(reinterpret_cast<__m128i*>(lanes[2]), before);
            uint64_t s1 = 0, s2 = 0, prior = 0;
            for (int l = 0; l < 4; ++l) s1 += lanes[0][l], s2 += lanes[1][l], prior += lanes[2][l];
            b += 16 * blocks * a + 16 * prior + s2;
            a += s1;
            data += 16 * blocks;
            n -= 16 * blocks;
        }
#endif
        for (; n > 0; --n) {
            a += *data++;
            b += a;
        }
        a %= kBase;
        b %= kBase;
    }
    return static_cast<uint32_t>(b << 16 | a);
}

// --------------------------------------------------------------- NcDBRoad

struct NcDBRoad::Inflater {
    z_stream stream{};
    bool ready = false;
    ~Inflater() {
        if (ready) inflateEnd(&stream);
    }
};

NcDBRoad::NcDBRoad() : m_inflater(std::make_unique<Inflater>()), m_slot(std::make_unique<RoadLinkSlot>()) {
    m_view.SetLayout(1);
}

NcDBRoad::~NcDBRoad() = default;

uint32_t NcDBRoad::Unpack(const uint8_t* packed, uint32_t packedSize, uint8_t* out, uint32_t capacity) {
    // The zlib wrapper is read here and the deflate data inflated raw, so
    // that the checksum is taken once over the whole block (by NcAdler32)
    // rather than by zlib as it writes. The header: deflate (method 8), a
    // window of at most 32 KB, no preset dictionary, check bits that make
    // the first two bytes a multiple of 31.
    if (packedSize < 6) return 0;
    const uint32_t cmf = packed[0], flg = packed[1];
    if ((cmf & 0x0F) != 8 || (cmf >> 4) > 7 || (flg & 0x20) != 0 || (cmf * 256 + flg) % 31 != 0) return 0;
    // One call with Z_FINISH: the block goes straight to out, without the
    // 32 KB window a piecewise inflate would fill (and allocate) per block.
    z_stream& z = m_inflater->stream;
    if (!m_inflater->ready) {
        if (inflateInit2(&z, -15) != Z_OK) return 0;
        m_inflater->ready = true;
    } else if (inflateReset(&z) != Z_OK) {
        return 0;
    }
    z.next_in = const_cast<Bytef*>(packed + 2);
    z.avail_in = packedSize - 2;
    z.next_out = out;
    z.avail_out = capacity;
    // The deflate data must end within the input and the output, and the
    // big-endian checksum of what it unpacked to must follow it.
    if (inflate(&z, Z_FINISH) != Z_STREAM_END || z.avail_in < 4) return 0;
    const uint8_t* sum = z.next_in;
    const uint32_t stored = uint32_t{sum[0]} << 24 | uint32_t{sum[1]} << 16 | uint32_t{sum[2]} << 8 | sum[3];
    const uint32_t size = static_cast<uint32_t>(z.total_out);
    if (NcAdler32(out, size) != stored) return 0;
    return size;
}

int NcDBRoad::InitCache(void* memory, size_t bytes) {
    m_queue.Reset(1);
    m_budget = bytes;
    m_poolReady = m_cache.InitPool(memory, bytes, kNcBlockBytes) > 0;
    m_last = {};
    m_reach.clear();
    return m_poolReady ? 1 : 0;
}

int NcDBRoad::ReadLink(int slot, uint32_t linkId) {
    if (!m_index || !m_poolReady || !NcLinkIdValid(linkId)) return 0;
    RoadLinkSlot& s = Slot(slot);
    const uint32_t index = NcLinkIndex(linkId);
    if (index >= m_index->GetLinkCount()) return 0;
    s.rawId = linkId;
    s.linkIndex = index;
    s.direction = static_cast<int8_t>(NcLinkDirection(linkId));
    s.block = index / kNcLinksPerBlock;
    uint32_t size = 0;
    const uint8_t* block = nullptr;
    const uint8_t* tag = nullptr;
    if (m_last.key == s.block && m_last.touches == m_cache.GetTouches()) {
        // Still the cache's newest entry: a lookup would change nothing.
        block = m_last.data;
        tag = m_last.tag;
        size = m_last.size;
    } else {
        block = m_cache.Find(static_cast<int32_t>(s.block), &size);
        if (block) tag = m_cache.TagOf(block);
    }
    if (!block) {
        uint32_t offset = 0, packed = 0;
        if (!m_index->GetBlockRange(s.block, &offset, &packed)) return 0;
        s.blockOffsets[0] = offset;
        s.blockOffsets[1] = offset + packed;
        s.packedSize = packed;
        if (!ReadAt(offset, s.packed.data(), packed)) return 0;
        const uint32_t unpacked = Unpack(s.packed.data(), packed, s.unpacked.data(), static_cast<uint32_t>(s.unpacked.size()));
        if (unpacked == 0) return 0;
        ++m_blockReads;
        // Every block but the last holds 53 whole records; the last one
        // holds the rest of the link count.
        const uint32_t first = s.block * kNcLinksPerBlock;
        const uint32_t records = std::min(kNcLinksPerBlock, m_index->GetLinkCount() - first);
        if (unpacked != records * kNcLinkRecordBytes) return 0;
        block = m_cache.Insert(static_cast<int32_t>(s.block), s.unpacked.data(), unpacked);
        if (!block) return 0;
        size = unpacked;
        // Every record's runs are checked once, as the block comes in; the
        // reads that find it cached take the counts from its tag.
        uint8_t* runs = m_cache.TagOf(block);
        if (m_reach.size() != m_index->GetLinkCount()) m_reach.assign(m_index->GetLinkCount(), kNcReachUnknown);
        for (uint32_t r = 0; r < records; ++r) {
            const uint8_t* rec = block + r * kNcLinkRecordBytes;
            runs[r] = NcPackRunCounts(rec, kNcLinkRecordBytes);
            if (runs[r] == kNcRunsDamaged) {
                m_reach[first + r] = kNcReachUnknown;
                continue;
            }
            const uint32_t attributes = LoadU32(rec + ncrecord::kAttributes);
            m_reach[first + r] = static_cast<uint16_t>(ReachOf(rec) |
                                                       ((attributes & ncrecord::kClosedStoredBit) ? kClosedStored : 0) |
                                                       ((attributes & ncrecord::kClosedReversedBit) ? kClosedReversed : 0));
        }
        tag = runs;
    }
    m_last = {s.block, block, tag, size, m_cache.GetTouches()};
    const uint32_t record = index - kNcLinksPerBlock * s.block;
    const uint32_t recordOffset = record * kNcLinkRecordBytes;
    if (recordOffset + kNcLinkRecordBytes > size) return 0;
    if (!m_view.AttachChecked(index, block + recordOffset, s.direction, tag[record])) return 0;
    s.recordOffset = recordOffset;
    s.blockData = block;
    return 1;
}
