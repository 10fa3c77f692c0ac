// The demo district read back through every reader: the same link numbers
// in every file, names in Hangul, lanes, the toll gate and service area.
#include "tools/writers/demo_map.h"

#include <gtest/gtest.h>

#include <set>

#include "mapdb/cache_map_file.h"
#include "mapdb/road_network.h"
#include "mapdb/service_map.h"
#include "mapdb/small_readers.h"
#include "platform/codepage.h"
#include "platform/file_io.h"
#include "support/temp_dir.h"

namespace {

class DemoMapTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new testsupport::TempDir;
        std::string error;
        ASSERT_TRUE(writers::WriteDemoMap(dir->Path(), &error)) << error;
    }
    static void TearDownTestSuite() {
        delete dir;
        dir = nullptr;
    }
    static testsupport::TempDir* dir;
};
testsupport::TempDir* DemoMapTest::dir = nullptr;

TEST_F(DemoMapTest, EveryLinkIsTheSameInEveryFile) {
    const auto& links = writers::DemoLinks();
    ASSERT_GE(links.size(), 24u);
    CMneServiceMainMapFile rg;
    CMneRoadLineMapFile line;
    CMnePathMapFile path;
    CMneNameMapFile rn;
    CMneLinkMapFile cells;
    CMneExtLaneMapFile lane;
    ASSERT_EQ(rg.Open(dir->Path()), 1);
    ASSERT_EQ(line.Open(dir->Path()), 1);
    ASSERT_EQ(path.Open(dir->Path()), 1);
    ASSERT_EQ(rn.Open(dir->Path()), 1);
    ASSERT_EQ(cells.Open(dir->Path()), 1);
    ASSERT_EQ(lane.Open(dir->Path()), 1);
    for (const auto& l : links) {
        SCOPED_TRACE(l.number);
        MneLinkGuideRecord r;
        ASSERT_EQ(rg.GetLinkRecord(l.number, &r), 1);
        EXPECT_GT(r.length, 100u);
        EXPECT_EQ(r.roadClass, l.roadClass);
        EXPECT_EQ(r.twoWay, l.twoWay ? 1 : 0);
        const MneNameRecord* name = rn.GetName(r.nameId);
        ASSERT_NE(name, nullptr);
        EXPECT_EQ(platform::Utf16ToUtf8(name->text), l.nameUtf8);

        std::vector<MapPoint> shape;
        ASSERT_EQ(line.GetLinkShapeCopy(l.number, 0, shape), 1);
        EXPECT_EQ(shape, l.shape);

        // Every follow-on link starts where this one ends (or, travelled in
        // reverse, ends there).
        std::vector<MnePathEntry> next;
        if (path.GetLinkPathCopy(l.number, next)) {
            for (const auto& n : next) {
                const auto& target = links.at(MneLinkNumber(n.linkId) - 1);
                const MapPoint joint = MneLinkIsReverse(n.linkId) ? target.shape.back() : target.shape.front();
                EXPECT_EQ(joint, l.shape.back());
            }
        }

        const int32_t side = GetLevelTileSide(2);
        std::vector<MneLinkEntry> inTile;
        ASSERT_EQ(cells.GetCellLinksCopy(l.shape.front().x / side, l.shape.front().y / side, inTile), 1);
        bool found = false;
        for (const auto& e : inTile) found |= e.linkId == l.number;
        EXPECT_TRUE(found);

        if (l.laneCount >= 2) {
            const MneLaneInfo* info = lane.GetLaneInfo(l.number);
            ASSERT_NE(info, nullptr);
            EXPECT_EQ(info->value4, l.laneCount);
        }
    }
}

TEST_F(DemoMapTest, TollGateAndServiceArea) {
    const auto& links = writers::DemoLinks();
    CMneTollGateMapFile tg;
    CMneSAMapFile sa;
    ASSERT_EQ(tg.Open(dir->Path()), 1);
    ASSERT_EQ(sa.Open(dir->Path()), 1);
    int gates = 0, areas = 0;
    for (const auto& l : links) {
        if (l.tollGate) {
            int count = 0;
            const MneTollGateRecord* r = tg.GetTollGate(l.tollGate, &count);
            ASSERT_NE(r, nullptr);
            EXPECT_EQ(count, 4);  // its own fare and three toward other gates
            EXPECT_EQ(r[0].bytes[2], l.tollGate);  // sorted by the other gate
            EXPECT_EQ(r[0].bytes[8] | r[0].bytes[9] << 8, 1100);
            ++gates;
        }
        const MneServiceAreaInfo* info = sa.GetServiceArea(l.number);
        EXPECT_EQ(info != nullptr, l.serviceArea);
        if (info) {
            EXPECT_EQ(std::u16string(info->name), u"푸른휴게소");
            ++areas;
        }
    }
    EXPECT_EQ(gates, 1);
    EXPECT_EQ(areas, 1);
}

TEST_F(DemoMapTest, TileContainerOnEveryLevel) {
    for (bool packed : {false, true}) {
        SCOPED_TRACE(packed);
        ASSERT_TRUE(platform::AtomicReplaceFile(dir->File("demo.map"), writers::BuildDemoTileContainer(packed)));
        struct File : CMneCacheMapFile {
            int FixupBlock(const uint8_t*, uint32_t size) override { return size >= 2; }
        } f;
        ASSERT_EQ(f.Open(dir->File("demo.map")), 1);
        MgrSharedBlock* arena = CreateSharedBlock(std::string_view("MAPDBDEMOTEST"), 1024, 1 << 20, 0);
        ASSERT_NE(arena, nullptr);
        ASSERT_EQ(f.AttachCache(arena, 1), 1);
        const MapPoint corner = writers::DemoLinks().front().shape.front();
        for (int level = 1; level <= 6; ++level) {
            const int32_t side = GetLevelTileSide(level);
            const MneTileKey key{level, corner.x / side, corner.y / side};
            uint32_t size = 0;
            int fromCache = -1;
            const uint8_t* block = f.GetBlock(key, &fromCache, &size);
            ASSERT_NE(block, nullptr) << level << " " << MneMapErrorText(f.LastError());
            EXPECT_EQ(fromCache, 0);
            EXPECT_GE(block[0] | (block[1] << 8), 1);
            f.ReleaseBlock(key);
        }
        f.DetachCache();
        EXPECT_EQ(DestroySharedBlock(arena), 1);
    }
}

}  // namespace
