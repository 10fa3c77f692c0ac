#include "foundation/memory_heap.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <vector>

#include "foundation/critical_section.h"
#include "foundation/debug_trace.h"
#include "platform/codepage.h"

namespace {

// The header at the start of every block. Where a Win32 build kept
// addresses, this one keeps offsets from the block start, so the layout is
// the same on a 64-bit system.
struct BlockHeader {
    uint32_t magic;
    char16_t tag[32];
    uint32_t firstNode;           // offset of the first node (the data area)
    uint32_t dataSize;            // d
    uint32_t minUnit;
    uint32_t freeBytes;           // payload bytes of free nodes
    uint32_t highWater;           // most bytes ever used (d - free)
    uint32_t allocCount;          // live allocations + the end node
    uint32_t reserved;
    uint32_t isMapping;
    uint32_t firstNodeAtCreation;
    uint32_t rover;               // offset of the node where the next search starts
    unsigned char controlSlot[24];   // address of the block's control record (lock, memory)
    uint32_t mappingHandle;
};
static_assert(sizeof(BlockHeader) == kSharedBlockHeaderBytes);
static_assert(offsetof(BlockHeader, firstNode) == 68);
static_assert(offsetof(BlockHeader, isMapping) == 96);
static_assert(offsetof(BlockHeader, rover) == 104);
static_assert(offsetof(BlockHeader, controlSlot) == 108);
static_assert(offsetof(BlockHeader, mappingHandle) == 132);

// Node header before every payload; all fields are offsets from the block
// start. `self` stands for the owning-block pointer: the block starts `self`
// bytes before the node.
struct Node {
    uint32_t next;
    uint32_t prev;
    uint32_t isFree;
    uint32_t self;
};
static_assert(sizeof(Node) == kSharedBlockNodeBytes);

constexpr uint32_t kNodeBytes = kSharedBlockNodeBytes;
constexpr uint32_t kHeaderBytes = kSharedBlockHeaderBytes;
constexpr uint32_t kAlign = kSharedBlockAlignment;
// Largest data size: header, pages and rounding must still fit in 32 bits.
constexpr uint64_t kMaxDataBytes = 0xFFFFFFFFull - kHeaderBytes - (1u << 20);

uint64_t AlignUp(uint64_t value, uint64_t step) { return (value + step - 1) / step * step; }

size_t PageBytes() {
    static const size_t page = [] {
        long v = sysconf(_SC_PAGESIZE);
        return v > 0 ? static_cast<size_t>(v) : size_t{4096};
    }();
    return page;
}

// Owns what a block is made of besides its own bytes.
struct BlockControl {
    CMgrCriticalSection lock;
    unsigned char* memory = nullptr;
    size_t memoryBytes = 0;
    bool mapped = false;
    std::string systemName;   // the mapping name (mapped blocks only)

    BlockControl() = default;
    BlockControl(const BlockControl&) = delete;
    BlockControl& operator=(const BlockControl&) = delete;
    ~BlockControl() {
        if (!memory) return;
        if (mapped) {
            ::munmap(memory, memoryBytes);
        } else {
            std::free(memory);
        }
    }
    BlockHeader* Header() const { return reinterpret_cast<BlockHeader*>(memory); }
    unsigned char* Begin() const { return memory; }
    unsigned char* End() const { return memory + memoryBytes; }
};

// Process-wide table of blocks, sorted by address so that any pointer finds
// its block without reading memory in front of it. Creation and destruction
// take it exclusively; everything else shares it and then takes the block's
// own lock, so allocations in different blocks never wait for each other.
struct BlockTable {
    std::shared_mutex lock;
    std::vector<std::unique_ptr<BlockControl>> blocks;
    uint32_t nextMappingHandle = 1;

    // Caller holds `lock` (either way).
    BlockControl* Containing(const void* p) const {
        const auto* bytes = static_cast<const unsigned char*>(p);
        auto it = std::upper_bound(blocks.begin(), blocks.end(), bytes,
                                   [](const unsigned char* v, const std::unique_ptr<BlockControl>& b) {
                                       return v < b->Begin();
                                   });
        if (it == blocks.begin()) return nullptr;
        BlockControl* b = std::prev(it)->get();
        return bytes < b->End() ? b : nullptr;
    }
    BlockControl* Exact(const MgrSharedBlock* block) const {
        BlockControl* b = block ? Containing(block) : nullptr;
        return b && b->Begin() == reinterpret_cast<const unsigned char*>(block) ? b : nullptr;
    }
};

BlockTable& Table() {
    static BlockTable* table = new BlockTable();   // outlives the program-wide heap
    return *table;
}

Node* NodeAt(BlockHeader* h, uint32_t offset) {
    return reinterpret_cast<Node*>(reinterpret_cast<unsigned char*>(h) + offset);
}
uint32_t EndNodeOffset(const BlockHeader* h) { return kHeaderBytes + h->dataSize - kNodeBytes; }
uint32_t PayloadOf(BlockHeader* h, uint32_t offset) { return NodeAt(h, offset)->next - offset - kNodeBytes; }

bool IsNodeOffset(const BlockHeader* h, uint32_t offset) {
    return offset >= kHeaderBytes && offset <= EndNodeOffset(h) && offset % kAlign == 0;
}

// The node of a live allocation, or 0 when `p` is not one. Caller holds the
// block lock.
uint32_t LiveNodeOf(BlockControl* b, const void* p) {
    BlockHeader* h = b->Header();
    if (h->magic != kSharedBlockMagic) return 0;
    const auto* bytes = static_cast<const unsigned char*>(p);
    if (bytes < b->Begin() + kHeaderBytes + kNodeBytes) return 0;
    const uint64_t offset64 = static_cast<uint64_t>(bytes - b->Begin()) - kNodeBytes;
    if (offset64 > 0xFFFFFFFFull) return 0;
    const auto offset = static_cast<uint32_t>(offset64);
    if (!IsNodeOffset(h, offset) || offset == EndNodeOffset(h)) return 0;
    Node* n = NodeAt(h, offset);
    if (n->self != offset || n->isFree != 0) return 0;
    if (!IsNodeOffset(h, n->next) || !IsNodeOffset(h, n->prev) || n->next <= offset) return 0;
    if (NodeAt(h, n->next)->prev != offset || NodeAt(h, n->prev)->next != offset) return 0;
    return offset;
}

// Next fit from the rover. Caller holds the block lock.
void* AllocLocked(BlockHeader* h, size_t size) {
    if (h->magic != kSharedBlockMagic) return nullptr;
    if (size > h->dataSize) return nullptr;   // also keeps the rounding below from wrapping
    const uint32_t unit = h->minUnit;
    const auto wanted = static_cast<uint32_t>(size < unit ? unit : AlignUp(size, kAlign));
    if (h->freeBytes < wanted) return nullptr;   // no node can be large enough: skip the walk
    const uint32_t start = h->rover;
    uint32_t at = start;
    do {
        Node* n = NodeAt(h, at);
        if (n->isFree) {
            const uint32_t payload = PayloadOf(h, at);
            if (payload >= wanted) {
                if (static_cast<uint64_t>(payload) < static_cast<uint64_t>(unit) + wanted + kNodeBytes) {
                    h->freeBytes -= payload;   // the rest would be too small to use
                } else {
                    const uint32_t split = at + kNodeBytes + wanted;
                    Node* rest = NodeAt(h, split);
                    rest->next = n->next;
                    rest->prev = at;
                    rest->isFree = 1;
                    rest->self = split;
                    NodeAt(h, n->next)->prev = split;
                    n->next = split;
                    h->freeBytes -= wanted + kNodeBytes;
                }
                const uint32_t used = h->dataSize - h->freeBytes;
                h->highWater = std::max(h->highWater, std::min(used, h->dataSize));
                n->isFree = 0;
                if (h->rover == at) h->rover = n->next;
                ++h->allocCount;
                return reinterpret_cast<unsigned char*>(n) + kNodeBytes;
            }
        }
        at = n->next;
    } while (at != start);
    return nullptr;
}

// Frees the live node at `offset`, merging with free neighbours. Caller holds
// the block lock and has checked the node.
void FreeLocked(BlockHeader* h, uint32_t offset) {
    Node* n = NodeAt(h, offset);
    n->isFree = 1;
    h->freeBytes += PayloadOf(h, offset);
    Node* prev = NodeAt(h, n->prev);
    // The end node is always used, so a free previous node lies below this one.
    if (prev->isFree) {
        prev->next = n->next;
        NodeAt(h, n->next)->prev = n->prev;
        h->freeBytes += kNodeBytes;
        offset = n->prev;
        n = prev;
        h->rover = offset;
    }
    Node* next = NodeAt(h, n->next);
    if (next->isFree) {
        NodeAt(h, next->next)->prev = offset;
        n->next = next->next;
        h->freeBytes += kNodeBytes;
        h->rover = offset;
    }
    --h->allocCount;
}

std::string TagUtf8(const BlockHeader* h) {
    size_t length = 0;
    while (length < 32 && h->tag[length] != 0) ++length;
    return platform::Utf16ToUtf8(std::u16string_view(h->tag, length));
}

unsigned char* TakeMemory(size_t bytes, bool mapping) {
    if (mapping) {
        void* p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        return p == MAP_FAILED ? nullptr : static_cast<unsigned char*>(p);
    }
    return static_cast<unsigned char*>(std::calloc(1, bytes));
}

}  // namespace

MgrSharedBlock* CreateSharedBlock(std::u16string_view tag, uint32_t minUnit, size_t size, int useMapping) {
    if (size > kMaxDataBytes || size < 2 * kNodeBytes) return nullptr;
    const auto dataSize = static_cast<uint32_t>(AlignUp(size, kAlign));
    const uint64_t unit64 = std::max<uint64_t>(AlignUp(minUnit, kAlign), kAlign);
    if (unit64 > dataSize) return nullptr;
    const auto unit = static_cast<uint32_t>(unit64);
    const size_t memoryBytes = AlignUp(static_cast<uint64_t>(dataSize) + kHeaderBytes, PageBytes());
    const bool mapping = useMapping != 0 && memoryBytes >= kSharedBlockMappingMinBytes;

    std::u16string nameUnits(tag.substr(0, 31));
    char pid[16];
    std::snprintf(pid, sizeof pid, "0x%08x", static_cast<unsigned>(::getpid()));
    std::string systemName = platform::Utf16ToUtf8(nameUnits) + pid;

    BlockTable& table = Table();
    std::unique_lock hold(table.lock);
    if (static_cast<int>(table.blocks.size()) + 1 >= kMaxSharedBlocks) return nullptr;
    if (mapping) {
        for (const auto& b : table.blocks) {
            if (b->mapped && b->systemName == systemName) return nullptr;   // the name exists
        }
    }
    auto control = std::make_unique<BlockControl>();
    control->memory = TakeMemory(memoryBytes, mapping);
    if (!control->memory) return nullptr;
    control->memoryBytes = memoryBytes;
    control->mapped = mapping;
    if (mapping) control->systemName = std::move(systemName);

    BlockHeader* h = control->Header();
    std::memset(h, 0, sizeof *h);
    h->magic = kSharedBlockMagic;
    std::copy_n(tag.data(), std::min<size_t>(tag.size(), 32), h->tag);
    h->firstNode = kHeaderBytes;
    h->dataSize = dataSize;
    h->minUnit = unit;
    h->freeBytes = dataSize - 2 * kNodeBytes;
    h->highWater = 2 * kNodeBytes;
    h->allocCount = 1;
    h->isMapping = mapping ? 1 : 0;
    h->firstNodeAtCreation = kHeaderBytes;
    h->rover = kHeaderBytes;
    BlockControl* raw = control.get();
    std::memcpy(h->controlSlot, &raw, sizeof raw);
    h->mappingHandle = mapping ? table.nextMappingHandle++ : 0;

    const uint32_t end = EndNodeOffset(h);
    *NodeAt(h, kHeaderBytes) = Node{end, end, 1, kHeaderBytes};
    *NodeAt(h, end) = Node{kHeaderBytes, kHeaderBytes, 0, end};

    auto at = std::upper_bound(table.blocks.begin(), table.blocks.end(), raw->Begin(),
                               [](const unsigned char* v, const std::unique_ptr<BlockControl>& b) {
                                   return v < b->Begin();
                               });
    table.blocks.insert(at, std::move(control));
    return reinterpret_cast<MgrSharedBlock*>(h);
}

MgrSharedBlock* CreateSharedBlock(std::string_view tag, uint32_t minUnit, size_t size, int useMapping) {
    return CreateSharedBlock(std::u16string_view(platform::Utf8ToUtf16(tag)), minUnit, size, useMapping);
}

int DestroySharedBlock(MgrSharedBlock* block) {
    std::string leakedTag;
    {
        BlockTable& table = Table();
        std::unique_lock hold(table.lock);
        BlockControl* b = table.Exact(block);
        if (!b) return 0;
        std::unique_ptr<BlockControl> released;
        {
            MgrLock blockHold(b->lock);
            BlockHeader* h = b->Header();
            if (h->magic != kSharedBlockMagic) return 0;
            if (h->allocCount == 1) {
                h->magic = 0;
                auto it = std::find_if(table.blocks.begin(), table.blocks.end(),
                                       [b](const auto& p) { return p.get() == b; });
                released = std::move(*it);
                table.blocks.erase(it);
            } else {
                leakedTag = TagUtf8(h);
            }
        }
        if (released) return 1;   // memory and lock go with `released`
    }
    DebugTrace(0, "!!MgrMemory Leak[%s]\r\n", leakedTag.c_str());
    return 0;
}

void* SharedBlockAlloc(MgrSharedBlock* block, size_t size) {
    BlockTable& table = Table();
    std::shared_lock hold(table.lock);
    BlockControl* b = table.Exact(block);
    if (!b) return nullptr;
    MgrLock blockHold(b->lock);
    return AllocLocked(b->Header(), size);
}

int SharedBlockFree(void* pointer) {
    if (!pointer) return 0;
    BlockTable& table = Table();
    std::shared_lock hold(table.lock);
    BlockControl* b = table.Containing(pointer);
    if (!b) return 0;
    MgrLock blockHold(b->lock);
    const uint32_t offset = LiveNodeOf(b, pointer);
    if (offset == 0) return 0;
    FreeLocked(b->Header(), offset);
    return 1;
}

void* SharedBlockRealloc(void* pointer, size_t size) {
    if (!pointer) return nullptr;
    BlockTable& table = Table();
    std::shared_lock hold(table.lock);
    BlockControl* b = table.Containing(pointer);
    if (!b) return nullptr;
    MgrLock blockHold(b->lock);
    const uint32_t offset = LiveNodeOf(b, pointer);
    if (offset == 0) return nullptr;
    BlockHeader* h = b->Header();
    const uint32_t oldPayload = PayloadOf(h, offset);
    void* fresh = AllocLocked(h, size);
    if (!fresh) return nullptr;   // the old payload stays with the caller
    std::memcpy(fresh, pointer, std::min<size_t>(oldPayload, size));
    FreeLocked(h, offset);
    return fresh;
}

int SharedBlockGetInfo(MgrSharedBlock* block, uint32_t* freeBytes, uint32_t* minUnit) {
    BlockTable& table = Table();
    std::shared_lock hold(table.lock);
    BlockControl* b = table.Exact(block);
    if (!b) return 0;
    MgrLock blockHold(b->lock);
    const BlockHeader* h = b->Header();
    if (h->magic != kSharedBlockMagic) return 0;
    if (freeBytes) *freeBytes = h->freeBytes;
    if (minUnit) *minUnit = h->minUnit;
    return 1;
}

size_t SharedBlockPayloadSize(const void* pointer) {
    if (!pointer) return 0;
    BlockTable& table = Table();
    std::shared_lock hold(table.lock);
    BlockControl* b = table.Containing(pointer);
    if (!b) return 0;
    MgrLock blockHold(b->lock);
    const uint32_t offset = LiveNodeOf(b, pointer);
    return offset == 0 ? 0 : PayloadOf(b->Header(), offset);
}

int SharedBlockGetStats(MgrSharedBlock* block, SharedBlockStats* out) {
    if (!out) return 0;
    BlockTable& table = Table();
    std::shared_lock hold(table.lock);
    BlockControl* b = table.Exact(block);
    if (!b) return 0;
    MgrLock blockHold(b->lock);
    BlockHeader* h = b->Header();
    if (h->magic != kSharedBlockMagic) return 0;
    size_t length = 0;
    while (length < 32 && h->tag[length] != 0) ++length;
    out->tag.assign(h->tag, length);
    out->dataSize = h->dataSize;
    out->minUnit = h->minUnit;
    out->freeBytes = h->freeBytes;
    out->highWater = h->highWater;
    out->allocCount = h->allocCount;
    out->isMapping = static_cast<int>(h->isMapping);
    out->freeNodes = 0;
    uint32_t at = h->firstNode;
    do {
        Node* n = NodeAt(h, at);
        out->freeNodes += n->isFree ? 1 : 0;
        at = n->next;
    } while (at != h->firstNode);
    return 1;
}

int SharedBlockCount() {
    BlockTable& table = Table();
    std::shared_lock hold(table.lock);
    return static_cast<int>(table.blocks.size());
}

// ---- The program-wide heap ----

CSystemDefaultHeap::CSystemDefaultHeap() {
    m_block.store(CreateSharedBlock("SYSTEMDEFAULTHEAP", kSystemDefaultHeapUnit, kSystemDefaultHeapBytes, 1),
                  std::memory_order_release);
}

CSystemDefaultHeap::~CSystemDefaultHeap() {
    MgrSharedBlock* block = m_block.exchange(nullptr, std::memory_order_acq_rel);
    // With live allocations the block stays (and is reported), so late frees
    // by objects destroyed after this one still find it.
    if (block) DestroySharedBlock(block);
}

CSystemDefaultHeap& CSystemDefaultHeap::Instance() {
    static CSystemDefaultHeap heap;
    return heap;
}

MgrSharedBlock* CSystemDefaultHeap::Block() const { return m_block.load(std::memory_order_acquire); }

namespace {
// Creates the heap while static objects are made, before the program's entry.
[[maybe_unused]] const bool g_heapReady = (CSystemDefaultHeap::Instance(), true);
}  // namespace

void* MgrAlloc(size_t size) {
    MgrSharedBlock* block = CSystemDefaultHeap::Instance().Block();
    return block ? SharedBlockAlloc(block, size) : nullptr;
}

int MgrFree(void* pointer) { return SharedBlockFree(pointer); }

void* MgrRealloc(void* pointer, size_t size) {
    if (!pointer) return MgrAlloc(size);
    return SharedBlockRealloc(pointer, size);
}
