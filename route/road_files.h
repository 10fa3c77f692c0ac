#pragma once
// The road network files of route planning and their readers.
//
//   "Map\RoadIdx.ndb"  u32 block offsets into Road.ndb, then the u32 link
//                      count (little-endian, no header).
//   "Map\Road.ndb"     link records of 154 bytes, 53 to a zlib block; the
//                      map's release stamp (version trailer) may follow the
//                      last block.
//
// What the bytes mean (one reading for every user of the road data: the
// search and its graph, the point matching, the option-link pick and the
// guidance gathering, which reads the same link numbers from its own files):
//
// Link id: bits 0-26 the link index (0 to link count - 1), bit 27 set when
// the link is travelled against its stored direction. Bits 28-31 are zero in
// every id the road data hands out or accepts; an id with any of them set is
// refused. Index 0 is a placeholder record (link numbers start at 1 in every
// map file), so a link's index and its number are the same value.
//
// RoadIdx.ndb: for a file of S bytes, E = S / 4 - 1 offsets and the link
// count L at S - 4. L needs B = ceil(L / 53) blocks. The writers store
// B + 1 offsets, the last one being where the last block ends (Road.ndb's
// size, less its version trailer when it has one). An index of only B
// offsets (no closing entry) is read too: its last block then ends at
// Road.ndb's size, and at most one packed block's worth is read. Any other
// E, S not a multiple of 4, or L above 2000000 refuses the index. Offsets
// are checked per block when it is read: a block whose end lies before its
// start or past Road.ndb, or whose packed size is 0 or above 8162, fails.
//
// Link record (154 bytes, little-endian):
//   0   u24  bit 0: the lane count counts both directions (else one
//            direction); bits 1-23: length in metres
//   3   u16  high byte: network level 0-15 (higher is more important:
//            0 local street, 1 collector, 2 arterial, 3 national road or
//            expressway); low byte 0
//   5   u32  attributes:
//              bits 0-3   road kind (the link kind of the guidance records:
//                         1 expressway carriageway, 3 interchange ramp,
//                         4 junction ramp, 6 ordinary road, 15 ferry)
//              bits 12-15 road class (0 expressway ... 6 small street;
//                         11 a road the search never passes through: it
//                         is driven only where a route starts or ends;
//                         13 and above not for cars)
//              bits 16-19 link type (0 ordinary, 1 bridge, 2 elevated road,
//                         3 tunnel, 4 underpass, 5 toll plaza, 6 roundabout,
//                         7 restricted access)
//              bits 20-23 lanes
//              bits 24-27 speed code: limit = 10 x code km/h for codes 2 to
//                         11, no limit otherwise
//              bit 28     closed in the stored direction
//              bit 30     closed against the stored direction
//              bits 4-11, 29, 31: 0
//   9   6    0
//   15  u24  traffic link id when travelled in the stored direction (0 none)
//   18  u24  traffic link id when travelled against it (0 none)
//   21  u24, 24 u24, 27 u24: 0
//   30  u16  bit 15: toll road; bits 0-14: 0
//   32  2 x s32  first node point (x, y; `MapPoint` units)
//   40  2 x s32  second node point
//   48  8 x u8   byte 51: turn mask of run 1, byte 55: turn mask of run 2
//                (bit i set: the turn into entry i is allowed); others 0
//   56  run 1, then run 2, then zeros to byte 154
// A run is a header word (bits 28-31 the entry count n, at most 8; bits
// 0-27 zero) and n entry words {bits 0-7 connection code, in the code space
// of "Path.ndb" (turn codes: 10 straight, 11 slight right, 13 right, 16
// U-turn, 19 left, 20 slight left, 100 ramp entry, 103 ramp exit...);
// bits 8-30 link index; bit 31 the link is entered against its stored
// direction}. Run 1 lists every link at the second node, each in the
// direction that leaves the node (the link itself reversed for the U-turn);
// these are the successors when the link is travelled in its stored
// direction. Run 2 does the same at the first node for the reversed link.
// Every link at the node is listed; the turn mask says which turns are
// allowed. A link's predecessors are the entries of the run at its start,
// read in the other direction; whether a turn from such a link is allowed
// is in that link's own run and mask. Both runs together fit the record
// (at most 2 + 16 words from byte 56), which the reader checks.
//
// Road options of a route request, in order: 0 highway, 1 city highway,
// 2 toll road, 3 three-lane roads, 4 alleys, 5 U-turn detour, 6 left-turn
// detour. The U-turn penalty reads byte 5 (the U-turn weight); byte 2 is
// the toll-road weight.
#include <array>
#include <atomic>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "foundation/coords.h"
#include "foundation/critical_section.h"
#include "platform/file_io.h"
#include "route/large_memory.h"

inline constexpr uint32_t kNcLinksPerBlock = 53;
inline constexpr uint32_t kNcLinkRecordBytes = 154;
inline constexpr uint32_t kNcBlockBytes = kNcLinksPerBlock * kNcLinkRecordBytes;  // 8162
inline constexpr uint32_t kNcPackedBlockMax = 8162;
inline constexpr uint32_t kNcUnpackBufferBytes = 8262;
inline constexpr uint32_t kNcLinkCountMax = 2000000;
inline constexpr uint32_t kNcLinkIndexMask = 0x07FFFFFF;
inline constexpr uint32_t kNcLinkReverseBit = 0x08000000;
inline constexpr int kNcRunEntriesMax = 8;
inline constexpr int kNcSlotTableEntries = 255;
// The road class a route only starts or ends on (never queued as a successor).
inline constexpr int kNcClassNoThrough = 11;

// Offsets of the link record's fields.
namespace ncrecord {
inline constexpr uint32_t kWord = 0;
inline constexpr uint32_t kLevelWord = 3;
inline constexpr uint32_t kAttributes = 5;
inline constexpr uint32_t kTrafficForward = 15;
inline constexpr uint32_t kTrafficBackward = 18;
inline constexpr uint32_t kField21 = 21;
inline constexpr uint32_t kField24 = 24;
inline constexpr uint32_t kField27 = 27;
inline constexpr uint32_t kFlagWord = 30;
inline constexpr uint32_t kFirstPoint = 32;
inline constexpr uint32_t kSecondPoint = 40;
inline constexpr uint32_t kBytes48 = 48;
inline constexpr uint32_t kMaskRun1 = 51;
inline constexpr uint32_t kMaskRun2 = 55;
inline constexpr uint32_t kRuns = 56;

inline constexpr uint32_t kClosedStoredBit = 1u << 28;
inline constexpr uint32_t kClosedReversedBit = 1u << 30;
inline constexpr uint16_t kTollRoadBit = 0x8000;
}  // namespace ncrecord

// Ids: the index and the direction bit; false for ids with bits 28-31 set.
inline bool NcLinkIdValid(uint32_t linkId) { return (linkId >> 28) == 0; }
inline uint32_t NcLinkIndex(uint32_t linkId) { return linkId & kNcLinkIndexMask; }
inline int NcLinkDirection(uint32_t linkId) { return (linkId & kNcLinkReverseBit) ? 1 : 0; }

// One entry of a connection run, decoded.
struct NcConnection {
    int32_t linkId = 0;     // directed id of the link entered
    int16_t code = 0;       // connection code (low byte of the entry)
    int16_t allowed = 0;    // 1 when the turn mask allows it
    int16_t direction = 0;  // 2 for the U-turn onto the same link, 1 otherwise
};

// ------------------------------------------------------------ NcFileAccess

// A read-only file whose reads are serialised by its lock.
class NcFileAccess {
public:
    NcFileAccess() = default;
    virtual ~NcFileAccess() = default;
    NcFileAccess(const NcFileAccess&) = delete;
    NcFileAccess& operator=(const NcFileAccess&) = delete;

    // 1 when the file is open and longer than 0 bytes.
    virtual int Open(const std::string& nativePath);
    void Close();
    // 1 when count bytes were read at offset.
    int ReadAt(int64_t offset, void* buffer, size_t count);
    int64_t GetFileSize() const { return m_fileSize; }

protected:
    CMgrCriticalSection m_lock;
    platform::File m_file;
    int64_t m_fileSize = 0;
};

// ------------------------------------------------------------- NcDBRoadIdx

class NcDBRoadIdx : public NcFileAccess {
public:
    // Opens the file and copies its offsets into an anonymous mapping; 1 when
    // the index is whole (see the top of this file), 0 otherwise.
    int Load(const std::string& nativePath);
    uint32_t GetLinkCount() const { return m_linkCount; }
    uint32_t GetBlockCount() const { return m_blockCount; }
    // The size of Road.ndb, told once both files are open.
    void SetRoadFileSize(int64_t bytes) { m_roadFileSize = bytes; }
    // Where block `block` begins in Road.ndb and how many packed bytes to
    // read. 1, or 0 for a block outside the index or offsets that do not
    // fit Road.ndb or the packed-block limit.
    int GetBlockRange(uint32_t block, uint32_t* offset, uint32_t* packedSize) const;

private:
    uint32_t Entry(uint32_t k) const;

    NcAnonMapping m_offsets;
    uint32_t m_entryCount = 0;
    uint32_t m_linkCount = 0;
    uint32_t m_blockCount = 0;
    int64_t m_roadFileSize = 0;
};

// ------------------------------------------------------------- NcCacheData

// Unpacked blocks in a fixed pool laid over memory the caller owns, replaced
// least recently used first. Find and Insert each hold the cache lock; a
// returned pointer stays valid until its entry is replaced.
class NcCacheData {
public:
    static constexpr uint32_t kHeaderBytes = 20;
    static constexpr int32_t kKeyLimit = 1 << 20;

    NcCacheData();
    // n = bytes / (block size + 20) entries; returns the bytes used (0 when
    // not even one entry fits, and the pool then holds nothing).
    size_t InitPool(void* memory, size_t bytes, uint32_t blockSize);
    const uint8_t* Find(int32_t key, uint32_t* size);
    // The cached copy, or null when the size is above the block size, the
    // key is out of range or the pool has no entries.
    const uint8_t* Insert(int32_t key, const uint8_t* data, uint32_t size);
    // The side bytes kept with a cached block (kTagBytes, outside the pool's
    // memory): what its owner learnt of the block when it was inserted.
    // Valid as long as the block pointer is.
    static constexpr uint32_t kTagBytes = 64;
    uint8_t* TagOf(const uint8_t* block);

    int GetEntryCount() const { return m_count; }
    uint32_t GetSerial() const { return m_serial; }
    // Bumped by every call that can change the use order or the contents
    // (Find, Insert, InitPool): a reader that saw the same value after its
    // own last call knows its block is still the newest entry.
    uint32_t GetTouches() const { return m_touches.load(std::memory_order_relaxed); }
    // Keys from the most to the least recently used (tests and traces).
    std::vector<int32_t> KeysByRecency();

private:
    struct Header {
        int32_t key;
        int32_t size;
        int32_t prev;
        int32_t next;
        int32_t unused;
    };
    static_assert(sizeof(Header) == kHeaderBytes);

    Header& At(int32_t i) { return i == m_count ? m_sentinel : m_headers[i]; }
    // Counts a call that can change the use order or the contents. Only
    // callers holding the cache lock write the count, so a plain load and
    // store do (no locked add); readers without the lock see one value or
    // the next.
    void Touch() { m_touches.store(m_touches.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed); }
    void Unlink(int32_t i);
    void LinkAsNewest(int32_t i);

    CMgrCriticalSection m_lock;
    Header* m_headers = nullptr;
    uint8_t* m_data = nullptr;
    int32_t m_count = 0;
    uint32_t m_blockSize = 0;
    Header m_sentinel{};
    std::vector<int32_t> m_entryOfKey;  // grows to the largest key seen
    std::vector<uint8_t> m_tags;        // kTagBytes per entry
    uint32_t m_serial = 0;
    std::atomic<uint32_t> m_touches{0};
};

// ------------------------------------------------------------ NcFileQueue

class NcFileQueue {
public:
    // Fills the queue with slot numbers 0 to n - 1; 1, or 0 for n below 1.
    int Reset(int n);
    // A free slot number, or -1.
    int Take();
    // 1 when the number went back, 0 when the queue is full.
    int Give(int slot);
    int GetFreeCount() const { return m_free; }

private:
    CMgrCriticalSection m_lock;
    std::vector<int32_t> m_slots;
    int m_read = 0;
    int m_write = 0;
    int m_free = 0;
};

// ------------------------------------------------------------------ NcRoad

// The link view: decodes the record it is bound to for one direction.
class NcRoad {
public:
    // Layout 1 (the one the road data is written in); 0 for any other.
    int SetLayout(int layout);
    // Binds the view to a record; 1, or 0 when size is not the record size
    // or the connection runs do not fit the record (the view keeps its
    // previous record then).
    int Attach(uint32_t linkIndex, const uint8_t* record, int direction, uint32_t size);
    // The same for a record whose runs were checked before: runs is what
    // NcPackRunCounts gave for it (kNcRunsDamaged refuses it).
    int AttachChecked(uint32_t linkIndex, const uint8_t* record, int direction, uint8_t runs);
    bool IsBound() const { return m_record != nullptr; }

    uint32_t GetLinkIndex() const { return m_linkIndex; }
    int GetDirection() const { return m_direction; }
    uint32_t GetLinkId() const { return m_linkIndex | (m_direction ? kNcLinkReverseBit : 0); }
    int GetLinkFlag() const { return m_linkFlag; }
    uint32_t GetLength() const { return m_linkValue; }
    int GetNetworkLevel() const { return m_record ? m_record[ncrecord::kLevelWord + 1] : 0; }
    uint32_t GetAttributes() const { return m_attributes; }
    int GetKind() const { return GetAttributes() & 0xF; }
    int GetClass() const { return (GetAttributes() >> 12) & 0xF; }
    int GetLinkType() const { return (GetAttributes() >> 16) & 0xF; }
    int GetLanes() const { return (GetAttributes() >> 20) & 0xF; }
    int GetSpeedCode() const { return (GetAttributes() >> 24) & 0xF; }
    // 10 x the speed code for codes 2 to 11, else 0.
    int GetSpeedLimit() const {
        const int code = GetSpeedCode();
        return code >= 2 && code <= 11 ? code * 10 : 0;
    }
    // Bit 28 (stored direction) or bit 30 (reversed) of the attribute word.
    int IsClosed() const {
        const uint32_t bit = m_direction ? ncrecord::kClosedReversedBit : ncrecord::kClosedStoredBit;
        return (GetAttributes() & bit) ? 1 : 0;
    }
    uint32_t GetTrafficId() const {
        return m_record ? U24(m_direction ? ncrecord::kTrafficBackward : ncrecord::kTrafficForward) : 0;
    }
    uint32_t GetField24(uint32_t offset) const;
    int GetTollFlag() const;
    MapPoint GetStartPoint() const { return PointAt(m_direction ? ncrecord::kSecondPoint : ncrecord::kFirstPoint); }
    MapPoint GetEndPoint() const { return PointAt(m_direction ? ncrecord::kFirstPoint : ncrecord::kSecondPoint); }
    uint8_t GetByte(uint32_t offset) const;
    // The set bits of the turn mask of run 0 or 1.
    int GetMaskBitCount(int run) const;

    // Run 0 is at the second node (successors in the stored direction), run
    // 1 at the first node. The entry count, and one entry decoded.
    int GetRunCount(int run) const { return m_record && (run == 0 || run == 1) ? m_runCount[run] : 0; }
    NcConnection GetRunEntry(int run, int i) const {
        NcConnection c;
        if (i < 0 || i >= GetRunCount(run)) return c;
        const uint32_t entry = U32(RunStart(run) + 4 + 4u * i);
        const uint32_t index = (entry >> 8) & 0x7FFFFF;
        const bool reversed = (entry >> 31) != 0;
        c.linkId = static_cast<int32_t>(index | (reversed ? kNcLinkReverseBit : 0));
        c.code = static_cast<int16_t>(entry & 0xFF);
        const uint8_t mask = m_record[run ? ncrecord::kMaskRun2 : ncrecord::kMaskRun1];
        c.allowed = static_cast<int16_t>((mask >> i) & 1);
        // The U-turn: the same link entered in the other direction than the run's.
        c.direction = static_cast<int16_t>(index == m_linkIndex && reversed == (run == 0) ? 2 : 1);
        return c;
    }
    // The successors in the bound direction: the run at the end of travel.
    int GetSuccessorRun() const { return m_direction ? 1 : 0; }
    // Whether the bound direction may turn into the directed link: the
    // first entry of the successor run that enters it with the turn mask's
    // leave, decoded into *out. Read in place, without the slot's table.
    bool FindSuccessor(uint32_t linkId, NcConnection* out) const {
        const int run = GetSuccessorRun();
        const int n = GetRunCount(run);
        const uint32_t first = RunStart(run) + 4;
        const uint8_t mask = m_record ? m_record[run ? ncrecord::kMaskRun2 : ncrecord::kMaskRun1] : 0;
        for (int i = 0; i < n; ++i) {
            const uint32_t entry = U32(first + 4u * i);
            const uint32_t id = ((entry >> 8) & 0x7FFFFF) | ((entry >> 31) ? kNcLinkReverseBit : 0);
            if (id == linkId && ((mask >> i) & 1)) {
                *out = GetRunEntry(run, i);
                return true;
            }
        }
        return false;
    }

private:
    // The accessors are read for every link the search looks at: kept here
    // so that they inline.
    // Little-endian 32-bit fields copied out whole (one load where the
    // processor is little-endian itself; the offset of a field may depend on
    // the direction, which keeps the compiler from merging byte loads).
    uint32_t U24(uint32_t o) const {
        // Byte by byte: three bytes copied into a word would be stored in
        // two parts and read back whole, which the processor cannot forward.
        return static_cast<uint32_t>(m_record[o]) | static_cast<uint32_t>(m_record[o + 1]) << 8 |
               static_cast<uint32_t>(m_record[o + 2]) << 16;
    }
    uint32_t U32(uint32_t o) const {
        uint8_t b[4];
        std::memcpy(b, m_record + o, 4);
        return FromLittle(b);
    }
    static uint32_t FromLittle(const uint8_t (&b)[4]) {
        uint32_t v;
        std::memcpy(&v, b, 4);
        if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap32(v);
        return v;
    }
    int32_t S32(uint32_t o) const { return static_cast<int32_t>(U32(o)); }
    MapPoint PointAt(uint32_t o) const { return m_record ? MapPoint{S32(o), S32(o + 4)} : MapPoint{0, 0}; }
    uint32_t RunStart(int run) const { return ncrecord::kRuns + (run ? 4 + 4u * m_runCount[0] : 0); }

    int m_layout = 1;
    const uint8_t* m_record = nullptr;
    uint32_t m_size = kNcLinkRecordBytes;
    uint32_t m_linkIndex = 0;
    int m_direction = 0;
    int m_linkFlag = 0;
    uint32_t m_linkValue = 0;
    uint32_t m_attributes = 0;  // the word at 5, read as the record is bound
    int m_runCount[2] = {0, 0};
};

// 1 when both connection runs of a record fit its 154 bytes.
int NcRecordRunsFit(const uint8_t* record, uint32_t size, int counts[2]);
// The run counts of a record in one byte (run 0 in the low four bits), or
// kNcRunsDamaged when the runs do not fit.
inline constexpr uint8_t kNcRunsDamaged = 0xFF;
uint8_t NcPackRunCounts(const uint8_t* record, uint32_t size);

// The Adler-32 checksum of a zlib stream (RFC 1950) over the bytes.
uint32_t NcAdler32(const uint8_t* data, size_t size);

// ----------------------------------------------------------- RoadLinkSlot

// The working area of one link lookup.
struct RoadLinkSlot {
    uint32_t rawId = 0;
    uint32_t linkIndex = 0;
    int8_t direction = 0;
    uint32_t block = 0;
    uint32_t recordOffset = 0;
    const uint8_t* blockData = nullptr;
    std::array<uint8_t, kNcPackedBlockMax> packed{};
    std::array<uint8_t, kNcUnpackBufferBytes> unpacked{};
    std::array<NcConnection, kNcSlotTableEntries> table{};
    int32_t counters[4] = {};
    uint32_t blockOffsets[2] = {};
    uint32_t packedSize = 0;
};

// --------------------------------------------------------------- NcDBRoad

class NcDBRoad : public NcFileAccess {
public:
    static constexpr uint32_t kDefaultBudgetBytes = 0x500000;

    NcDBRoad();
    ~NcDBRoad() override;

    // Lays the block pool over memory (the budget is the memory's size);
    // 1, or 0 when not one block fits.
    int InitCache(void* memory, size_t bytes);
    void SetIndex(NcDBRoadIdx* index) { m_index = index; }
    // Points the slot's view at the record of the link; 1, or 0 for an id
    // with bits 28-31 set, an index not below the link count, a block that
    // cannot be read or unpacked, or a damaged record. The view keeps its
    // previous record on failure and nothing is cached for a bad block.
    int ReadLink(int slot, uint32_t linkId);

    NcRoad& View(int slot) { (void)slot; return m_view; }
    RoadLinkSlot& Slot(int slot) { (void)slot; return *m_slot; }
    NcCacheData& Cache() { return m_cache; }
    size_t GetBudget() const { return m_budget; }
    // Blocks read from the file and unpacked since the file was opened.
    uint64_t GetBlockReads() const { return m_blockReads; }

    // What is remembered of every link whose block was unpacked since the
    // cache was laid, kept after the block itself is replaced: bits 6-7 its
    // network level (3 for 3 and above), bits 0-5 how far its second node
    // lies from its first, the larger of |dx| and |dy| in steps of
    // kNcReachStep map units rounded up (63: that far or farther).
    // kNcReachUnknown for a link not seen yet (or an index out of range).
    static constexpr uint8_t kNcReachUnknown = 0xFF;
    static constexpr int32_t kNcReachStep = 256;
    uint8_t GetReach(uint32_t linkIndex) const {
        return linkIndex < m_reach.size() ? static_cast<uint8_t>(m_reach[linkIndex]) : kNcReachUnknown;
    }
    // Whether the directed link is remembered the same way as closed in its
    // direction (false for a link not seen yet).
    bool IsKnownClosed(uint32_t linkId) const {
        const uint32_t index = NcLinkIndex(linkId);
        const uint16_t bit = (linkId & kNcLinkReverseBit) ? kClosedReversed : kClosedStored;
        return index < m_reach.size() && (m_reach[index] & bit) != 0;
    }

private:
    // One inflate stream kept open across blocks (reset per block).
    struct Inflater;
    // Unpacks a whole block into out; its size, or 0 when the data is not
    // one complete zlib stream that fits.
    uint32_t Unpack(const uint8_t* packed, uint32_t packedSize, uint8_t* out, uint32_t capacity);

    NcFileQueue m_queue;
    NcCacheData m_cache;
    std::unique_ptr<Inflater> m_inflater;
    NcDBRoadIdx* m_index = nullptr;
    std::unique_ptr<RoadLinkSlot> m_slot;
    NcRoad m_view;
    size_t m_budget = kDefaultBudgetBytes;
    bool m_poolReady = false;
    uint64_t m_blockReads = 0;
    // By link index, filled as blocks are unpacked: the reach byte, and the
    // closed flags of the two directions above it.
    static constexpr uint16_t kClosedStored = 0x100;
    static constexpr uint16_t kClosedReversed = 0x200;
    std::vector<uint16_t> m_reach;
    // The block the last read found (the cache's newest entry while the
    // cache's touch count is the one seen then): reads of links in the same
    // block skip the cache lookup.
    struct LastBlock {
        int64_t key = -1;
        const uint8_t* data = nullptr;
        const uint8_t* tag = nullptr;
        uint32_t size = 0;
        uint32_t touches = 0;
    } m_last;
};

// Present in the design with nothing but its destructor.
class NcDBPath {
public:
    virtual ~NcDBPath() = default;
};
