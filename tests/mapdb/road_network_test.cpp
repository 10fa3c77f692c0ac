// Road network geometry: links per level-2 tile, link shapes and follow-on
// links, written by the writers and read back.
#include "mapdb/road_network.h"

#include <gtest/gtest.h>

#include <map>

#include "platform/byte_cursor.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "support/temp_dir.h"
#include "tools/writers/road_network_writer.h"

namespace {

TEST(RoadNetworkWriter, LinkRecordBytesByHand) {
    writers::LinkSegment s;
    s.a = 0xA;
    s.b = 0x1;
    s.c = 0x2;
    s.d = 0xF;
    s.linkId = 0x08000005;
    s.x1 = 0x123;  // 291
    s.y1 = 0x456;
    s.x2 = 4095;
    s.y2 = 0;
    s.value12 = -2;
    s.value14 = 0x01020304;
    const std::vector<uint8_t> expect = {0xA1, 0x2F, 0x05, 0x00, 0x00, 0x08,  // nibbles, id
                                         0x23, 0x61, 0x45,                    // x 0x123, y 0x456
                                         0xFF, 0x0F, 0x00,                    // x 4095, y 0
                                         0xFE, 0xFF, 0x04, 0x03, 0x02, 0x01};
    EXPECT_EQ(writers::EncodeLinkRecord(s), expect);
    const MneLinkEntry e = MneDecodeLinkRecord(expect.data());
    EXPECT_EQ(e.a, 0xA);
    EXPECT_EQ(e.d, 0xF);
    EXPECT_EQ(e.linkId, 0x08000005u);
    EXPECT_EQ(e.x1, 0x123);
    EXPECT_EQ(e.y1, 0x456);
    EXPECT_EQ(e.x2, 4095);
    EXPECT_EQ(e.y2, 0);
    EXPECT_EQ(e.value12, -2);
    EXPECT_EQ(e.value14, 0x01020304u);
}

TEST(RoadNetworkWriter, PathEntryWordByHand) {
    // value 7, target 0x12345, reverse: 0x40000000 | 0x12345 << 8 | 7
    EXPECT_EQ(writers::EncodePathEntry({0x12345, true, 7}), 0x41234507u);
    const MnePathEntry e = MneDecodePathEntry(0x41234507u);
    EXPECT_EQ(e.linkId, 0x12345u | 0x8000000u);
    EXPECT_EQ(e.value, 7);
    EXPECT_EQ(MneDecodePathEntry(0x00000101u).linkId, 1u);
    EXPECT_EQ(MneDecodePathEntry(0x80000101u).linkId, 1u | 0x8000000u);  // bit 31 alone also reverses
}

class RoadNetworkTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(platform::MakeDirectories(dir.File("Map")));
        // Two tiles in different squares of 64 x 64 and one beside the first.
        std::map<std::pair<int, int>, std::vector<writers::LinkSegment>> tiles;
        tiles[{8200, 3000}] = {Segment(1, 0, 0, 2047, 10), Segment(2 | 0x8000000, 5, 5, 6, 6)};
        tiles[{8201, 3000}] = {Segment(3, 1, 2, 3, 4)};
        tiles[{100, 100}] = {Segment(4, 4095, 4095, 0, 0)};
        tiles[{8202, 3000}] = {};  // an entry with size 0
        Write("Map/Map.ndb", writers::BuildLinkMap(tiles));

        std::map<uint32_t, std::vector<MapPoint>> shapes;
        shapes[1] = {{10, 20}, {11, 21}, {12, 22}};
        shapes[2] = {{5, 5}, {6, 6}};
        std::vector<MapPoint> longest, tooLong;
        for (int i = 0; i < 425; ++i) longest.push_back({i, -i});
        for (int i = 0; i < 426; ++i) tooLong.push_back({i, i});
        shapes[3] = longest;
        shapes[4] = tooLong;
        Write("Map/RoadLine.ndb", writers::BuildRoadLine(shapes));

        std::map<uint32_t, writers::PathLists> paths;
        paths[1].forward = {{2, false, 1}, {3, true, 2}};
        paths[1].backward = {{4, false, 9}};
        for (uint32_t i = 0; i < 9; ++i) paths[2].forward.push_back({10 + i, false, 0});
        paths[2].backward = {{1, true, 3}};
        for (uint32_t i = 0; i < 8; ++i) paths[3].forward.push_back({20 + i, false, 0});
        paths[150].forward = {{1, false, 0}};
        Write("Map/Path.ndb", writers::BuildPath(paths));
    }
    static writers::LinkSegment Segment(uint32_t id, uint16_t x1, uint16_t y1, uint16_t x2, uint16_t y2) {
        writers::LinkSegment s;
        s.linkId = id;
        s.x1 = x1;
        s.y1 = y1;
        s.x2 = x2;
        s.y2 = y2;
        return s;
    }
    void Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        ASSERT_TRUE(platform::AtomicReplaceFile(dir.File(name), bytes));
    }
    testsupport::TempDir dir;
};

TEST_F(RoadNetworkTest, CellLinks) {
    CMneLinkMapFile map;
    ASSERT_EQ(map.Open(dir.Path()), 1);
    EXPECT_EQ(map.LargestTileBytes(), 36u);
    struct Case {
        int x, y;
        std::vector<uint32_t> ids;
    } cases[] = {
        {8200, 3000, {1, 2 | 0x8000000}}, {8201, 3000, {3}}, {100, 100, {4}},
        {8202, 3000, {}},  // size 0
        {8203, 3000, {}},  // offset 0 in a known square
        {0, 0, {}},        // square without entries
        {-1, 0, {}},       {16384, 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
        std::vector<MneLinkEntry> links;
        const int ok = map.GetCellLinksCopy(c.x, c.y, links);
        EXPECT_EQ(ok, c.ids.empty() ? 0 : 1);
        std::vector<uint32_t> ids;
        for (const auto& l : links) ids.push_back(l.linkId);
        EXPECT_EQ(ids, c.ids);
    }
    int n = 0;
    const MneLinkEntry* links = map.GetCellLinks(100, 100, &n);
    ASSERT_NE(links, nullptr);
    EXPECT_EQ(links[0].x1, 4095);
    EXPECT_EQ(links[0].y1, 4095);
}

TEST_F(RoadNetworkTest, TilesAreReadByTheirOwnOffsetAndSize) {
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(platform::ReadWholeFile(dir.File("Map/Map.ndb"), bytes));
    ASSERT_GT(bytes.size(), 4u + 0x40000);
    // The tile entries {u32 offset, u32 size} of the square of (8200, 3000).
    platform::ByteReader top(bytes.data() + 4 + ((3000 / 64) * 256 + 8200 / 64) * 4, 4);
    const size_t square = top.U32();
    const auto entryAt = [&](int x, int y) { return square + ((y % 64) * 64 + x % 64) * 8; };
    const auto put = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    platform::ByteReader first(bytes.data() + entryAt(8200, 3000), 8);
    const uint32_t offset = first.U32();
    // (8201, 3000) now reads the first of the two records of (8200, 3000);
    // (8202, 3000) a tile larger than the data arena can hold, with a
    // header that claims 256 MB tiles.
    put(entryAt(8201, 3000), offset);
    put(entryAt(8201, 3000) + 4, 18);
    put(entryAt(8202, 3000), 4);
    put(entryAt(8202, 3000) + 4, 0x20000);
    put(0, 0x10000000);
    Write("Map/Map.ndb", bytes);

    CMneLinkMapFile map;
    ASSERT_EQ(map.Open(dir.Path()), 1);
    std::vector<MneLinkEntry> links;
    ASSERT_EQ(map.GetCellLinksCopy(8201, 3000, links), 1);
    ASSERT_EQ(links.size(), 1u);
    EXPECT_EQ(links[0].linkId, 1u);
    // Same offset, twice the size: its own two records, not the short
    // entry read before.
    ASSERT_EQ(map.GetCellLinksCopy(8200, 3000, links), 1);
    ASSERT_EQ(links.size(), 2u);
    EXPECT_EQ(links[1].linkId, 2u | 0x8000000u);
    EXPECT_EQ(links[1].x2, 6);
    EXPECT_EQ(map.GetCellLinksCopy(8202, 3000, links), 0);
    ASSERT_EQ(map.GetCellLinksCopy(100, 100, links), 1);
    EXPECT_EQ(links[0].linkId, 4u);
}

TEST_F(RoadNetworkTest, ShapesForwardReversedAndRefused) {
    CMneRoadLineMapFile line;
    ASSERT_EQ(line.Open(dir.Path()), 1);
    EXPECT_EQ(line.LinkCount(), 5u);
    std::vector<MapPoint> pts;
    ASSERT_EQ(line.GetLinkShapeCopy(1, 1, pts), 1);
    EXPECT_EQ(pts, (std::vector<MapPoint>{{10, 20}, {11, 21}, {12, 22}}));
    // Reversed only when the flag is set and the id carries bit 27.
    ASSERT_EQ(line.GetLinkShapeCopy(1 | 0x8000000, 1, pts), 1);
    EXPECT_EQ(pts, (std::vector<MapPoint>{{12, 22}, {11, 21}, {10, 20}}));
    ASSERT_EQ(line.GetLinkShapeCopy(1 | 0x8000000, 0, pts), 1);
    EXPECT_EQ(pts.front(), (MapPoint{10, 20}));
    ASSERT_EQ(line.GetLinkShapeCopy(1, 1, pts), 1);
    EXPECT_EQ(pts.front(), (MapPoint{10, 20}));

    int n = 0;
    const MapPoint* full = line.GetLinkShape(3 | 0x8000000, &n, 1);
    ASSERT_NE(full, nullptr);
    EXPECT_EQ(n, 425);
    EXPECT_EQ(full[0], (MapPoint{424, -424}));

    n = -1;
    EXPECT_EQ(line.GetLinkShape(4, &n, 0), nullptr);  // 426 points do not fit
    EXPECT_EQ(n, -1);
    EXPECT_EQ(line.GetLinkShape(0, &n, 0), nullptr);
    EXPECT_EQ(line.GetLinkShape(5, &n, 0), nullptr);  // at the count
    EXPECT_EQ(line.GetLinkShape(0x8000000, &n, 0), nullptr);
    EXPECT_EQ(line.ReadShape(1, 0, 1u << 30, 3), nullptr);  // points outside the file
}

// A reader opened again keeps its arenas but none of the old file's data.
TEST_F(RoadNetworkTest, OpenedAgainReadsTheNewFile) {
    CMneRoadLineMapFile line;
    CMneLinkMapFile cells;
    ASSERT_EQ(line.Open(dir.Path()), 1);
    ASSERT_EQ(cells.Open(dir.Path()), 1);
    std::vector<MapPoint> pts;
    std::vector<MneLinkEntry> links;
    ASSERT_EQ(line.GetLinkShapeCopy(1, 1, pts), 1);
    ASSERT_EQ(cells.GetCellLinksCopy(8201, 3000, links), 1);

    std::map<uint32_t, std::vector<MapPoint>> shapes;
    shapes[1] = {{7, 8}, {9, 10}};
    Write("Map/RoadLine.ndb", writers::BuildRoadLine(shapes));
    std::map<std::pair<int, int>, std::vector<writers::LinkSegment>> tiles;
    tiles[{8201, 3000}] = {Segment(9, 1, 1, 2, 2), Segment(8, 3, 3, 4, 4)};
    Write("Map/Map.ndb", writers::BuildLinkMap(tiles));

    ASSERT_EQ(line.Open(dir.Path()), 1);
    ASSERT_EQ(cells.Open(dir.Path()), 1);
    EXPECT_EQ(line.LinkCount(), 2u);
    ASSERT_EQ(line.GetLinkShapeCopy(1, 1, pts), 1);
    EXPECT_EQ(pts, (std::vector<MapPoint>{{7, 8}, {9, 10}}));
    ASSERT_EQ(cells.GetCellLinksCopy(8201, 3000, links), 1);
    ASSERT_EQ(links.size(), 2u);
    EXPECT_EQ(links[0].linkId, 9u);
    EXPECT_EQ(cells.GetCellLinksCopy(8200, 3000, links), 0);
}

TEST_F(RoadNetworkTest, FollowOnLinks) {
    CMnePathMapFile path;
    ASSERT_EQ(path.Open(dir.Path()), 1);
    std::vector<MnePathEntry> e;
    ASSERT_EQ(path.GetLinkPathCopy(1, e), 1);
    ASSERT_EQ(e.size(), 2u);
    EXPECT_EQ(e[0].linkId, 2u);
    EXPECT_EQ(e[1].linkId, 3u | 0x8000000u);
    EXPECT_EQ(e[1].value, 2);
    ASSERT_EQ(path.GetLinkPathCopy(1 | 0x8000000, e), 1);
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e[0].linkId, 4u);
    EXPECT_EQ(e[0].value, 9);
    EXPECT_EQ(path.GetLinkPathCopy(2, e), 0);  // nine forward entries
    ASSERT_EQ(path.GetLinkPathCopy(2 | 0x8000000, e), 1);
    EXPECT_EQ(e[0].linkId, 1u | 0x8000000u);
    ASSERT_EQ(path.GetLinkPathCopy(3, e), 1);  // eight is the most
    EXPECT_EQ(e.size(), 8u);
    ASSERT_EQ(path.GetLinkPathCopy(150, e), 1);  // second group of index records
    EXPECT_EQ(path.GetLinkPathCopy(151, e), 0);
    EXPECT_EQ(path.GetLinkPathCopy(0, e), 0);
}

TEST(RoadNetwork, DamagedFilesAreRefused) {
    testsupport::TempDir dir;
    ASSERT_TRUE(platform::MakeDirectories(dir.File("Map")));
    // Map.ndb shorter than its top index.
    ASSERT_TRUE(platform::AtomicReplaceFile(dir.File("Map/Map.ndb"), std::vector<uint8_t>(1000, 0)));
    CMneLinkMapFile map;
    EXPECT_EQ(map.Open(dir.Path()), 0);

    // RoadLine.ndb claiming a million links in a 10-byte file.
    std::vector<uint8_t> line = {0x40, 0x42, 0x0F, 0x00, 1, 2, 3, 4, 5, 6};
    ASSERT_TRUE(platform::AtomicReplaceFile(dir.File("Map/RoadLine.ndb"), line));
    CMneRoadLineMapFile rl;
    ASSERT_EQ(rl.Open(dir.Path()), 1);
    int n = 0;
    EXPECT_EQ(rl.GetLinkShape(1, &n, 0), nullptr);
    EXPECT_EQ(rl.GetLinkShape(999999, &n, 0), nullptr);
}

}  // namespace
