#pragma once
// The memory route planning maps once: the large block of the route engine
// (graph area, search queue, slot queue), the road memory (the block cache
// of Road.ndb) and the link-id memory. Each is an anonymous private mapping
// rounded up to whole pages. The page size and the mapping calls can be
// replaced (tests run with a page size of 4096 and with mappings that fail).
#include <cstddef>
#include <cstdint>

inline constexpr size_t kNcLargeBlockBytes = 1060008;
inline constexpr size_t kNcLinkIdMemoryBytes = 6010008;

inline constexpr int kNcLargeMemAllocated = 4096;
inline constexpr int kNcLargeMemReleased = 0x10000;

// Where mappings come from.
struct NcPageSource {
    size_t pageSize = 0;                   // 0: the system's page size
    void* (*map)(size_t bytes) = nullptr;  // null on failure
    void (*unmap)(void* view, size_t bytes) = nullptr;
};
// The operating system's anonymous read-write mappings.
NcPageSource NcSystemPageSource();

// The smallest multiple of page that is at least bytes (0 for 0 bytes).
size_t NcRoundToPages(size_t bytes, size_t page);

// The road memory's size for a setting in KB: below 1024 KB gives 1 MB,
// above 20480 KB gives 20 MB; without settings (haveSettings false) 5 MB.
size_t NcRoadMemoryBytes(int32_t settingKb, bool haveSettings);

// One anonymous mapping, unmapped with the object.
class NcAnonMapping {
public:
    NcAnonMapping() = default;
    ~NcAnonMapping() { Reset(); }
    NcAnonMapping(const NcAnonMapping&) = delete;
    NcAnonMapping& operator=(const NcAnonMapping&) = delete;

    // Maps bytes rounded up to the source's page size; 1, or 0 on failure
    // (also for 0 bytes). Any earlier mapping is released first.
    int Map(size_t bytes, const NcPageSource& source);
    void Reset();
    uint8_t* View() const { return m_view; }
    size_t Size() const { return m_size; }

private:
    uint8_t* m_view = nullptr;
    size_t m_size = 0;
    NcPageSource m_source;
};

class NcLargeMemManager {
public:
    // The process-wide manager (system pages).
    static NcLargeMemManager& Instance();

    explicit NcLargeMemManager(const NcPageSource& source = NcSystemPageSource());
    NcLargeMemManager(const NcLargeMemManager&) = delete;
    NcLargeMemManager& operator=(const NcLargeMemManager&) = delete;

    size_t GetPageSize() const { return m_pageSize; }

    // Maps the large block (bit 0 of flags enables it); 1 when mapped or
    // already mapped, 0 when the mapping failed (nothing stays mapped then).
    int Alloc(uint32_t flags);
    // 1 with the entry's view and size while the block is mapped, else 0.
    int GetEntry(int index, void** view, size_t* size) const;
    int GetState() const { return m_state; }
    size_t GetTotalSize() const { return m_total; }

    // Map the road memory or the link-id memory: 1, or -1 on failure.
    int MapRoadMemory(size_t bytes);
    int MapLinkIdMemory(size_t bytes);
    uint8_t* RoadMemory() const { return m_road.View(); }
    size_t RoadMemorySize() const { return m_road.Size(); }
    uint8_t* LinkIdMemory() const { return m_linkId.View(); }
    size_t LinkIdMemorySize() const { return m_linkId.Size(); }
    // Always 1.
    int ReleaseRoadMemory();
    int ReleaseLinkIdMemory();
    // Unmaps the large block unless already released.
    void Release();

private:
    NcPageSource m_source;
    size_t m_pageSize = 0;
    int m_state = 0;
    bool m_enabled = false;
    size_t m_total = 0;
    NcAnonMapping m_large;
    NcAnonMapping m_road;
    NcAnonMapping m_linkId;
};
