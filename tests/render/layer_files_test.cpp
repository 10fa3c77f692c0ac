// The layer files the writers make, read back through the layer classes:
// every block of the demo district and of a small synthetic city passes
// the block check, the walker finds what was written, and the traffic links
// carry the road network's link numbers.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "foundation/memory_heap.h"
#include "platform/paths.h"
#include "render/layer_files.h"
#include "tools/writers/demo_map.h"
#include "tools/writers/layer_writer.h"
#include "tools/writers/synthetic_city.h"

namespace {

struct Counts {
    int blocks = 0;
    int records = 0;
    std::set<uint32_t> linkIds;
    std::set<int> groupTypes;
};

// The renderers' walk of each group type visits, in order, exactly the
// records of that type the checked walk visits.
void ExpectGroupWalksAgree(const uint8_t* block, uint32_t size) {
    std::vector<MneLayerRecord> all;
    MneWalkLayerBlock(MneLayerKind::kBase, block, size, [&](const MneLayerRecord& r) {
        all.push_back(r);
        return true;
    });
    for (int type = 1; type <= 30; ++type) {
        std::vector<const uint8_t*> expected, walked;
        for (const MneLayerRecord& r : all)
            if (r.groupType == type) expected.push_back(r.bytes);
        int styles = 0;
        const int n = MneWalkBaseGroup(block, size, static_cast<uint8_t>(type), [&](const MneLayerRecord& r) {
            walked.push_back(r.bytes);
            for (const MneLayerRecord& a : all)
                if (a.bytes == r.bytes && a.styleIndex == r.styleIndex && a.recordBytes == r.recordBytes) ++styles;
            return true;
        });
        EXPECT_EQ(walked, expected) << "type " << type;
        EXPECT_EQ(n, static_cast<int>(expected.size()));
        EXPECT_EQ(styles, n);
    }
}

// Walks every block of levels 1-4 around the given tiles of level 1.
Counts WalkFile(CMneLayerMapFile& file, const std::string& path, MgrSharedBlock* arena, MapPoint sw, MapPoint ne) {
    Counts c;
    EXPECT_EQ(file.Open(path), 1) << path;
    EXPECT_EQ(file.AttachCache(arena, 1), 1);
    for (int level = 1; level <= 4; ++level) {
        const int32_t side = GetLevelTileSide(level);
        for (int32_t y = sw.y / side; y <= ne.y / side; ++y) {
            for (int32_t x = sw.x / side; x <= ne.x / side; ++x) {
                const MneTileKey key{level, x, y};
                uint32_t offset = 0, size = 0, packed = 0;
                if (!file.LocateBlock(key, &offset, &size, &packed)) continue;
                const uint8_t* block = file.GetBlock(key, nullptr, &size);
                EXPECT_NE(block, nullptr) << level << " " << x << " " << y;
                if (!block) continue;
                ++c.blocks;
                const int n = MneWalkLayerBlock(file.Kind(), block, size, [&](const MneLayerRecord& r) {
                    c.groupTypes.insert(r.groupType);
                    if (file.Kind() == MneLayerKind::kTraffic)
                        c.linkIds.insert(static_cast<uint32_t>(r.bytes[14] | r.bytes[15] << 8 | r.bytes[16] << 16 |
                                                               r.bytes[17] << 24));
                    return true;
                });
                EXPECT_GE(n, 0);
                c.records += n;
                if (file.Kind() == MneLayerKind::kBase) ExpectGroupWalksAgree(block, size);
                file.ReleaseBlock(key);
            }
        }
    }
    file.DetachCache();
    file.Close();
    return c;
}

class LayerFilesTest : public testing::Test {
protected:
    void SetUp() override {
        m_root = std::filesystem::temp_directory_path() /
                 ("navi_layers_" + std::to_string(::getpid()) + "_" +
                  testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(m_root);
        std::filesystem::create_directories(m_root / "Map");
        m_arena = CreateSharedBlock(std::string_view("LAYERTESTCACHE"), 1024, 8 << 20, 0);
        ASSERT_NE(m_arena, nullptr);
    }
    void TearDown() override {
        DestroySharedBlock(m_arena);
        std::filesystem::remove_all(m_root);
    }
    std::string Path(const char* name) const { return platform::ResolveUnder(m_root.string(), name); }
    std::filesystem::path m_root;
    MgrSharedBlock* m_arena = nullptr;
};

TEST_F(LayerFilesTest, DemoDistrictLayers) {
    std::string error;
    ASSERT_TRUE(writers::WriteDemoLayers(m_root.string(), &error)) << error;
    const MapPoint sw{static_cast<int32_t>(126.98 * kMapUnitsPerDegree), static_cast<int32_t>(37.48 * kMapUnitsPerDegree)};
    const MapPoint ne{static_cast<int32_t>(127.06 * kMapUnitsPerDegree), static_cast<int32_t>(37.55 * kMapUnitsPerDegree)};
    CMneBaseMapFile base;
    const Counts b = WalkFile(base, Path("Map\\Base.map"), m_arena, sw, ne);
    EXPECT_GT(b.blocks, 10);
    // Every geometry class the passes draw: areas, casings and fills,
    // polygon classes, stripes, map-unit polygons and lines.
    EXPECT_EQ(b.groupTypes, (std::set<int>{1, 2, 3, 4, 5, 6, 8, 12, 19, 22, 23, 24, 26, 27, 28, 29, 30}));
    CMneBaseMapFile buildings;
    const Counts h = WalkFile(buildings, Path("Map\\Building.map"), m_arena, sw, ne);
    EXPECT_GE(h.records, 72 + 3);         // three blocks of 24 houses, three towers
    EXPECT_EQ(h.groupTypes, (std::set<int>{7, 21}));
    CMnePOIMapFile poi;
    EXPECT_GT(WalkFile(poi, Path("Map\\POI.map"), m_arena, sw, ne).records, 14 * 3);
    CMneThemeMapFile theme;
    EXPECT_EQ(WalkFile(theme, Path("Map\\Theme.map"), m_arena, sw, ne).records, 4 * 4);
    CMneRoadAttrMapFile attr;
    EXPECT_GT(WalkFile(attr, Path("Map\\RoadAttr.map"), m_arena, sw, ne).blocks, 0);
    CMneTrafficMapFile traffic;
    const Counts t = WalkFile(traffic, Path("Map\\TpegLink.map"), m_arena, sw, ne);
    std::set<uint32_t> numbers;
    for (const writers::DemoLink& l : writers::DemoLinks()) numbers.insert(l.number);
    EXPECT_EQ(t.linkIds, numbers);        // every link, by the road network's number
}

TEST(LayerGroupWalk, SkipsWhatLeavesTheBlockAndReadsTheRest) {
    // Two groups of type 2 with one item each; the first item's 5 records
    // (70 bytes from 51) would leave the 65-byte block, the second holds
    // one record at 51.
    std::vector<uint8_t> b(65, 0);
    auto put16 = [&](size_t at, uint32_t v) { b[at] = v & 0xFF, b[at + 1] = (v >> 8) & 0xFF; };
    auto put32 = [&](size_t at, uint32_t v) { put16(at, v & 0xFFFF), put16(at + 2, v >> 16); };
    b[0] = 2, put32(1, 5);                    // header: two groups, table at 5
    put32(5, 13), put32(9, 20);               // group table
    put16(13, 1), b[15] = 2, put32(16, 27);   // group 0: one item, type 2, items at 27
    put16(20, 1), b[22] = 2, put32(23, 31);   // group 1
    put32(27, 35), put32(31, 43);             // item tables
    put16(35, 5), put16(37, 7), put32(39, 51);
    put16(43, 1), put16(45, 9), put32(47, 51);
    std::vector<int> styles;
    auto collect = [&](const MneLayerRecord& r) {
        styles.push_back(r.styleIndex);
        EXPECT_EQ(r.bytes, b.data() + 51);
        return true;
    };
    EXPECT_EQ(MneWalkBaseGroup(b.data(), 65, 2, collect), 1);
    EXPECT_EQ(styles, std::vector<int>{9});
    EXPECT_EQ(MneWalkBaseGroup(b.data(), 65, 4, collect), 0);
    EXPECT_EQ(MneWalkBaseGroup(b.data(), 4, 2, collect), -1);   // not even a header
    // The checked walk refuses the whole block.
    EXPECT_EQ(MneWalkLayerBlock(MneLayerKind::kBase, b.data(), 65, collect), -1);
}

TEST_F(LayerFilesTest, SyntheticCityLayers) {
    const writers::SyntheticCity city = writers::BuildSyntheticCity(400, 3);
    std::string error;
    ASSERT_TRUE(writers::WriteSyntheticLayers(city, 3, m_root.string(), &error)) << error;
    CMneBaseMapFile base;
    const Counts b = WalkFile(base, Path("Map\\Base.map"), m_arena, city.southWest, city.northEast);
    EXPECT_TRUE(b.groupTypes.count(1));
    EXPECT_TRUE(b.groupTypes.count(2));
    CMneBaseMapFile buildings;
    EXPECT_GT(WalkFile(buildings, Path("Map\\Building.map"), m_arena, city.southWest, city.northEast).records, 100);
    CMneTrafficMapFile traffic;
    const Counts t = WalkFile(traffic, Path("Map\\TpegLink.map"), m_arena, city.southWest, city.northEast);
    ASSERT_FALSE(t.linkIds.empty());
    for (uint32_t id : t.linkIds) {
        ASSERT_LT(id, city.roads.size());
        EXPECT_NE(city.roads[id], writers::SyntheticRoad::kLocal);   // only the larger roads carry traffic
    }
}

}  // namespace
