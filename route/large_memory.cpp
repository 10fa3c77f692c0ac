#include "route/large_memory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>

#include "foundation/debug_trace.h"

namespace {

void* SystemMap(size_t bytes) {
    void* view = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return view == MAP_FAILED ? nullptr : view;
}

void SystemUnmap(void* view, size_t bytes) { munmap(view, bytes); }

size_t PageOf(const NcPageSource& source) {
    if (source.pageSize) return source.pageSize;
    const long page = sysconf(_SC_PAGESIZE);
    return page > 0 ? static_cast<size_t>(page) : 4096;
}

}  // namespace

NcPageSource NcSystemPageSource() { return {0, &SystemMap, &SystemUnmap}; }

size_t NcRoundToPages(size_t bytes, size_t page) {
    if (bytes == 0 || page == 0) return 0;
    return page * ((bytes - 1) / page + 1);
}

size_t NcRoadMemoryBytes(int32_t settingKb, bool haveSettings) {
    if (!haveSettings) return 5242880;
    if (settingKb < 1024) return 1048576;
    if (settingKb > 20480) return 20971520;
    return static_cast<size_t>(settingKb) * 1024;
}

int NcAnonMapping::Map(size_t bytes, const NcPageSource& source) {
    Reset();
    const size_t size = NcRoundToPages(bytes, PageOf(source));
    if (size == 0 || !source.map) return 0;
    void* view = source.map(size);
    if (!view) return 0;
    m_view = static_cast<uint8_t*>(view);
    m_size = size;
    m_source = source;
    return 1;
}

void NcAnonMapping::Reset() {
    if (m_view && m_source.unmap) m_source.unmap(m_view, m_size);
    m_view = nullptr;
    m_size = 0;
}

NcLargeMemManager& NcLargeMemManager::Instance() {
    static NcLargeMemManager manager;
    return manager;
}

NcLargeMemManager::NcLargeMemManager(const NcPageSource& source) : m_source(source), m_pageSize(PageOf(source)) {}

int NcLargeMemManager::Alloc(uint32_t flags) {
    if (m_state == kNcLargeMemAllocated) return 1;
    m_enabled = (flags & 1) != 0;
    DebugTrace(1, "[RP**] 페이지 사이즈 : %d\n", static_cast<int>(m_pageSize));
    const size_t size = m_enabled ? NcRoundToPages(kNcLargeBlockBytes, m_pageSize) : 0;
    if (size == 0 || !m_large.Map(size, m_source)) {
        m_large.Reset();
        m_total = 0;
        DebugTrace(1, "NcLargeMemManager::Alloc() Memory Alloc Fail!!!\n");
        return 0;
    }
    m_total = m_large.Size();
    DebugTrace(1, "[RP**] 할당된 Large Memeory 크기: %d \n", static_cast<int>(m_total));
    m_state = kNcLargeMemAllocated;
    return 1;
}

int NcLargeMemManager::GetEntry(int index, void** view, size_t* size) const {
    if (m_state != kNcLargeMemAllocated || index != 0) return 0;
    if (view) *view = m_large.View();
    if (size) *size = m_large.Size();
    return 1;
}

namespace {

int MapBlock(NcAnonMapping& block, size_t bytes, const NcPageSource& source) {
    if (block.Map(bytes, source)) return 1;
    DebugTrace(1, "[RP**] MapFileOpen() Fail! - map file %x\n", static_cast<unsigned>(errno));
    return -1;
}

}  // namespace

int NcLargeMemManager::MapRoadMemory(size_t bytes) { return MapBlock(m_road, bytes, m_source); }

int NcLargeMemManager::MapLinkIdMemory(size_t bytes) { return MapBlock(m_linkId, bytes, m_source); }

int NcLargeMemManager::ReleaseRoadMemory() {
    m_road.Reset();
    return 1;
}

int NcLargeMemManager::ReleaseLinkIdMemory() {
    m_linkId.Reset();
    return 1;
}

void NcLargeMemManager::Release() {
    if (m_state == kNcLargeMemReleased) return;
    m_large.Reset();
    m_total = 0;
    m_state = kNcLargeMemReleased;
}
