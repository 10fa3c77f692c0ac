// The route planner's mappings: page rounding, the road memory's clamp, a
// single large block, failures, and a road cache that stays inside what was
// mapped.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "route/large_memory.h"
#include "route/road_data.h"
#include "support/temp_dir.h"
#include "tools/writers/route_data_writer.h"

namespace {

// Mappings from the C heap, counted; `failAt` makes the n-th call fail.
struct CountingPages {
    static inline int maps = 0;
    static inline int unmaps = 0;
    static inline int failAt = 0;
    static void* Map(size_t bytes) {
        ++maps;
        if (failAt && maps == failAt) return nullptr;
        return std::calloc(1, bytes);
    }
    static void Unmap(void* view, size_t) {
        ++unmaps;
        std::free(view);
    }
    static NcPageSource Source() {
        maps = unmaps = failAt = 0;
        return {4096, &Map, &Unmap};
    }
};

TEST(LargeMemory, PageRounding) {
    EXPECT_EQ(NcRoundToPages(1060008, 4096), 1060864u);
    EXPECT_EQ(NcRoundToPages(10485760, 4096), 10485760u);
    EXPECT_EQ(NcRoundToPages(1, 4096), 4096u);
    EXPECT_EQ(NcRoundToPages(4097, 4096), 8192u);
    EXPECT_EQ(NcRoundToPages(0, 4096), 0u);
}

TEST(LargeMemory, RoadMemoryClamp) {
    struct Case {
        int32_t kb;
        bool settings;
        size_t bytes;
    } const cases[] = {
        {10240, true, 10485760}, {1023, true, 1048576}, {-5, true, 1048576},     {1024, true, 1048576},
        {20480, true, 20971520}, {20481, true, 20971520}, {10240, false, 5242880},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kb);
        EXPECT_EQ(NcRoadMemoryBytes(c.kb, c.settings), c.bytes);
    }
}

TEST(LargeMemory, AllocMapsOnceAndReleases) {
    NcLargeMemManager m(CountingPages::Source());
    EXPECT_EQ(m.GetEntry(0, nullptr, nullptr), 0);
    ASSERT_EQ(m.Alloc(1), 1);
    ASSERT_EQ(m.Alloc(1), 1);
    EXPECT_EQ(CountingPages::maps, 1);
    EXPECT_EQ(m.GetState(), kNcLargeMemAllocated);
    void* view = nullptr;
    size_t size = 0;
    ASSERT_EQ(m.GetEntry(0, &view, &size), 1);
    EXPECT_NE(view, nullptr);
    EXPECT_EQ(size, 1060864u);
    EXPECT_EQ(m.MapRoadMemory(10240 * 1024), 1);
    EXPECT_EQ(m.RoadMemorySize(), 10485760u);
    EXPECT_EQ(m.MapLinkIdMemory(kNcLinkIdMemoryBytes), 1);
    EXPECT_EQ(m.LinkIdMemorySize(), 6012928u);
    EXPECT_EQ(m.ReleaseRoadMemory(), 1);
    EXPECT_EQ(m.ReleaseRoadMemory(), 1);
    EXPECT_EQ(m.ReleaseLinkIdMemory(), 1);
    m.Release();
    m.Release();
    EXPECT_EQ(m.GetState(), kNcLargeMemReleased);
    EXPECT_EQ(m.GetEntry(0, &view, &size), 0);
    EXPECT_EQ(CountingPages::unmaps, 3);
}

TEST(LargeMemory, FailedMappings) {
    NcLargeMemManager m(CountingPages::Source());
    CountingPages::failAt = 1;
    EXPECT_EQ(m.Alloc(1), 0);
    EXPECT_NE(m.GetState(), kNcLargeMemAllocated);
    EXPECT_EQ(m.Alloc(0), 0);  // not enabled: nothing to map
    CountingPages::failAt = CountingPages::maps + 1;
    EXPECT_EQ(m.MapRoadMemory(4096), -1);
    EXPECT_EQ(m.RoadMemory(), nullptr);
    EXPECT_EQ(m.MapLinkIdMemory(0), -1);
}

// The budget of the block cache is the mapped size, not the setting: a
// clamped road memory of 1 MB holds 128 blocks, never more.
TEST(LargeMemory, RoadCacheStaysInsideTheMapping) {
    testsupport::TempDir dir;
    std::vector<writers::RoadLinkSpec> links(200);
    writers::RoadFiles f;
    ASSERT_TRUE(writers::BuildRoadFiles(links, &f));
    dir.Write("Map/Road.ndb", std::string(f.road.begin(), f.road.end()));
    dir.Write("Map/RoadIdx.ndb", std::string(f.index.begin(), f.index.end()));

    NcLargeMemManager m;
    ASSERT_EQ(m.MapRoadMemory(NcRoadMemoryBytes(100, true)), 1);
    NcDALManager dal;
    ASSERT_EQ(dal.OpenAt(dir.Path(), m.RoadMemory(), m.RoadMemorySize()), 1);
    EXPECT_EQ(dal.GetBudget(), 1048576u);
    EXPECT_EQ(dal.Road()->Cache().GetEntryCount(), 1048576 / (8162 + 20));
    ASSERT_EQ(dal.LoadLink(0, 199), 1);

    // Memory too small for one block: the open fails.
    std::vector<uint8_t> tiny(8181);
    EXPECT_EQ(dal.OpenAt(dir.Path(), tiny.data(), tiny.size()), 0);
    EXPECT_EQ(dal.LoadLink(0, 1), 0);
}

}  // namespace
