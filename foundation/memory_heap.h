#pragma once
// Named memory blocks ("arenas") and the program-wide heap.
//
// A module reserves one block of fixed size when it starts and suballocates
// inside it with a next-fit allocator whose bookkeeping lives in the block
// itself. Requests below the block's minimum unit take the whole unit, so a
// block stays in few, reusable pieces. A block can be destroyed only when
// everything allocated in it has been freed; otherwise the leak is traced
// ("!!MgrMemory Leak[<tag>]") and the block stays usable.
//
//   MgrSharedBlock* heap = CreateSharedBlock("MGRMAP", 1024, 1048576, 1);
//   void* p = SharedBlockAlloc(heap, 300);   // null when it does not fit
//   SharedBlockFree(p);                       // the block is found from p
//   DestroySharedBlock(heap);                 // 1 once nothing is live
//
// MgrAlloc / MgrFree / MgrRealloc work on "SYSTEMDEFAULTHEAP" (10 MB, unit
// 1024), created before main and released at process exit.
//
// Every payload is 8-byte aligned: sizes and units are rounded up to a
// multiple of 8 (not 4), so pointers and doubles can live in any allocation.
// The block header and node headers keep 32-bit offsets from the block
// start, never addresses. All functions are thread-safe: each block has its
// own lock, allocations in different blocks never wait for each other.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Opaque: points at the block header (magic "MDNF", tag, counters, nodes).
struct MgrSharedBlock;

inline constexpr uint32_t kSharedBlockMagic = 0x464E444D;   // "MDNF"
inline constexpr size_t kSharedBlockHeaderBytes = 136;
inline constexpr size_t kSharedBlockNodeBytes = 16;
inline constexpr size_t kSharedBlockAlignment = 8;
// At most 255 blocks live at once.
inline constexpr int kMaxSharedBlocks = 256;
// Blocks whose memory (header included, in whole pages) is below this come
// from the process heap even when a mapping was asked for.
inline constexpr size_t kSharedBlockMappingMinBytes = 65536;
inline constexpr uint32_t kSystemDefaultHeapBytes = 10485760;
inline constexpr uint32_t kSystemDefaultHeapUnit = 1024;

// A new block of `size` data bytes (rounded up to 8), or null when the table
// is full, the size is out of range, the memory cannot be had, or a mapped
// block with the same tag exists already in this process. The tag is kept up
// to 32 UTF-16 units; the mapping name is the tag cut to 31 units followed by
// the process id as "0x%08x".
MgrSharedBlock* CreateSharedBlock(std::u16string_view tag, uint32_t minUnit, size_t size, int useMapping);
// The same with an ASCII / UTF-8 tag.
MgrSharedBlock* CreateSharedBlock(std::string_view tag, uint32_t minUnit, size_t size, int useMapping);

// 1 when released; 0 when allocations are still live (leak traced, the
// block stays) or the block is not valid.
int DestroySharedBlock(MgrSharedBlock* block);

// A payload of at least `size` bytes, or null when nothing fits.
void* SharedBlockAlloc(MgrSharedBlock* block, size_t size);
// 1 when freed; 0 for null, a pointer that is not a live allocation of a
// valid block (double free included), and nothing changes then.
int SharedBlockFree(void* pointer);
// A new payload of `size` bytes in the pointer's own block holding the old
// content up to the smaller size, the old payload freed. When the new
// allocation fails the result is null and the old payload is KEPT (still
// owned by the caller). Null or a foreign pointer gives null.
void* SharedBlockRealloc(void* pointer, size_t size);
// 1 with the free bytes and minimum unit, 0 for a block that is not valid.
// Either out pointer may be null.
int SharedBlockGetInfo(MgrSharedBlock* block, uint32_t* freeBytes, uint32_t* minUnit);
// The payload size of a live allocation; 0 for null or a foreign pointer.
size_t SharedBlockPayloadSize(const void* pointer);

// Everything the header says about a block, for tests and the memory log.
struct SharedBlockStats {
    std::u16string tag;
    uint32_t dataSize = 0;
    uint32_t minUnit = 0;
    uint32_t freeBytes = 0;
    uint32_t highWater = 0;
    uint32_t allocCount = 0;   // 1 for an empty block (the end node counts)
    uint32_t freeNodes = 0;    // free nodes in the ring
    int isMapping = 0;
};
int SharedBlockGetStats(MgrSharedBlock* block, SharedBlockStats* out);
// Number of blocks that exist now (the program-wide heap included).
int SharedBlockCount();

// The program-wide heap. `MgrFree` frees an allocation of any block.
void* MgrAlloc(size_t size);
int MgrFree(void* pointer);
// Null pointer: like MgrAlloc. Otherwise as SharedBlockRealloc (the new
// payload is taken from the pointer's own block).
void* MgrRealloc(void* pointer, size_t size);

// Owns the block "SYSTEMDEFAULTHEAP". One object exists, constructed on the
// first use of the heap (and before main); its destructor, at process exit,
// releases the block or traces the leak.
class CSystemDefaultHeap {
public:
    static CSystemDefaultHeap& Instance();
    virtual ~CSystemDefaultHeap();
    CSystemDefaultHeap(const CSystemDefaultHeap&) = delete;
    CSystemDefaultHeap& operator=(const CSystemDefaultHeap&) = delete;

    // Null once the heap is gone (after process exit began) or when it could
    // not be created.
    MgrSharedBlock* Block() const;

private:
    CSystemDefaultHeap();
    std::atomic<MgrSharedBlock*> m_block{nullptr};
};
