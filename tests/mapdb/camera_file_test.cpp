// The camera files: the 25 level-2 tiles around a position, list A entries
// filed under the asked link whose own link list holds it, damaged blocks
// refused whole.
#include "mapdb/camera_file.h"

#include <gtest/gtest.h>

#include <set>

#include "mapdb/version_check.h"
#include "platform/byte_cursor.h"
#include "platform/file_io.h"
#include "support/temp_dir.h"
#include "tools/writers/camera_writer.h"
#include "tools/writers/demo_map.h"

namespace {

using writers::CameraEntry;
using writers::CameraLink;

constexpr uint32_t kLink = 4711;
constexpr uint32_t kReverse = 0x08000000;
const int32_t kSide = GetLevelTileSide(2);
// The asked position: inside level-2 tile (kCol, kRow) near 127E 37.5N.
constexpr int32_t kCol = 8128, kRow = 2400;
const MapPoint kHere{kCol * GetLevelTileSide(2) + 1000, kRow * GetLevelTileSide(2) + 7000};

MapPoint TileUnit(int dx, int dy, int32_t ux, int32_t uy) {
    return {(kCol + dx) * kSide + ux, (kRow + dy) * kSide + uy};
}

CameraEntry Camera(const MapPoint& where, uint32_t key, std::vector<CameraLink> links, uint8_t kind = 1) {
    CameraEntry e;
    e.key = key;
    e.record = writers::MakeCameraRecord(where, kind, 60);
    e.links = std::move(links);
    return e;
}

MapPoint RecordPoint(const MneCameraResult& r) {
    platform::ByteReader rd(r.record.data(), r.record.size());
    const int32_t x = rd.I32();
    return {x, rd.I32()};
}

class CameraFileTest : public ::testing::Test {
protected:
    std::string Write(const writers::CameraFileWriter& w, const char* name = "Map/CameraT1.map") {
        dir.Write(name, [&] {
            const auto b = w.Build();
            return std::string(b.begin(), b.end());
        }());
        return dir.Path() + "/";
    }
    testsupport::TempDir dir;
};

TEST(CameraWriter, BlockBytesComputedByHand) {
    CameraEntry e;
    e.key = 0x11223344;
    e.record[0] = 0xAB;
    e.links = {{0x11223344, 7}};
    const std::vector<uint8_t> b = writers::BuildCameraBlock({e}, {});
    std::vector<uint8_t> want = {
        0x01, 0x00, 0x00, 0x00,  // list A holds one entry, list B none
        0x0C, 0x00, 0x00, 0x00,  // list A at 12
        0x00, 0x00, 0x00, 0x00,  // list B: none
        0x44, 0x33, 0x22, 0x11,  // key
        0x1C, 0x00, 0x00, 0x00,  // record at 28
        0x31, 0x00, 0x00, 0x00,  // link list at 28 + 21 = 49
        0x00, 0x00, 0x00, 0x00,  // no further record
    };
    std::vector<uint8_t> record(21, 0);
    record[0] = 0xAB;
    record[17] = 0x01;  // link count
    want.insert(want.end(), record.begin(), record.end());
    for (uint8_t v : {0x44, 0x33, 0x22, 0x11, 0x07, 0x00, 0x00, 0x00}) want.push_back(v);
    EXPECT_EQ(b, want);
    EXPECT_EQ(MneCheckCameraBlock(b.data(), static_cast<uint32_t>(b.size())), nullptr);
}

TEST_F(CameraFileTest, CamerasAroundTheTile) {
    const struct {
        const char* what;
        MapPoint where;
        uint32_t key;
        std::vector<CameraLink> links;
        bool listB;
        int64_t wantValue;  // -1: not found
    } cameras[] = {
        {"same tile", TileUnit(0, 0, 100, 100), kLink, {{kLink, 11}}, false, 11},
        {"last unit of column +2", TileUnit(2, 0, kSide - 1, 0), kLink, {{kLink, 12}}, false, 12},
        {"first unit of column +3", TileUnit(3, 0, 0, 0), kLink, {{kLink, 13}}, false, -1},
        {"first unit of column -2", TileUnit(-2, 0, 0, 5), kLink, {{kLink, 14}}, false, 14},
        {"last unit of column -3", TileUnit(-3, 0, kSide - 1, 0), kLink, {{kLink, 15}}, false, -1},
        {"corner +2,+2", TileUnit(2, 2, 0, 0), kLink, {{kLink, 16}}, false, 16},
        {"corner -2,-2, last unit", TileUnit(-2, -2, kSide - 1, kSide - 1), kLink, {{kLink, 17}}, false, 17},
        {"row -3", TileUnit(0, -3, 10, kSide - 1), kLink, {{kLink, 18}}, false, -1},
        {"row +3", TileUnit(1, 3, 10, 0), kLink, {{kLink, 19}}, false, -1},
        {"key matches, link list lacks the link", TileUnit(1, 0, 5, 5), kLink, {{kLink + 1, 20}}, false, -1},
        {"link list holds it, key differs", TileUnit(1, 0, 6, 6), kLink + 1, {{kLink, 21}}, false, -1},
        {"first match of the list", TileUnit(0, 1, 7, 7), kLink, {{9, 1}, {kLink, 22}, {kLink, 23}}, false, 22},
        {"the other direction", TileUnit(0, 0, 8, 8), kLink | kReverse, {{kLink | kReverse, 24}}, false, -1},
        {"no link list", TileUnit(0, 0, 9, 9), kLink, {}, false, -1},
        {"list B is not read", TileUnit(0, 0, 10, 10), kLink, {{kLink, 25}}, true, -1},
    };
    writers::CameraFileWriter w;
    std::set<std::pair<int, int>> tilesInReach;
    for (const auto& c : cameras) {
        w.Add(c.where, Camera(c.where, c.key, c.links), c.listB);
        const int tx = c.where.x / kSide - kCol, ty = c.where.y / kSide - kRow;
        if (std::abs(tx) <= 2 && std::abs(ty) <= 2) tilesInReach.insert({tx, ty});
    }
    CMneCameraMapFile file;
    ASSERT_EQ(file.Open(Write(w)), 1) << MneMapErrorText(file.LastError());

    const MneCameraResult* results = nullptr;
    const int count = file.GetCameras(kHere, kLink, &results);
    EXPECT_EQ(file.LoadedTileCount(), static_cast<int>(tilesInReach.size()));
    EXPECT_EQ(file.LastLinkId(), kLink);
    for (const auto& c : cameras) {
        SCOPED_TRACE(c.what);
        int found = 0;
        for (int i = 0; i < count; ++i) {
            if (!(RecordPoint(results[i]) == c.where)) continue;
            ++found;
            EXPECT_EQ(results[i].value, c.wantValue);
            EXPECT_EQ(results[i].linkCount, c.links.size());
            EXPECT_EQ(results[i].record[17], c.links.size());  // the record as stored
            EXPECT_EQ(results[i].reserved, 0u);
            // The link list is handed out in place while the tiles are held.
            platform::ByteReader list(results[i].linkList, results[i].linkCount * 8u);
            for (const auto& l : c.links) {
                EXPECT_EQ(list.U32(), l.linkId);
                EXPECT_EQ(list.U32(), l.value);
            }
        }
        EXPECT_EQ(found, c.wantValue >= 0 ? 1 : 0);
    }
    EXPECT_EQ(count, 6);
    // The centre tile is searched first (neighbourhood order).
    ASSERT_GT(count, 0);
    EXPECT_EQ(results[0].value, 11u);

    file.ReleaseTiles();
    EXPECT_EQ(file.LoadedTileCount(), 0);
    EXPECT_EQ(file.Cache().GetEntryCount(), static_cast<int>(tilesInReach.size()));  // kept, unreferenced
    // Asked again: the same result from the cache.
    EXPECT_EQ(file.GetCameras(kHere, kLink, &results), 6);
    EXPECT_EQ(file.GetCameras(kHere, 999, &results), 0);
    EXPECT_EQ(results, nullptr);
}

TEST_F(CameraFileTest, GridEdgeLoadsEachTileOnce) {
    writers::CameraFileWriter w(true);  // packed blocks as well
    for (int tx : {0, 1, 2})
        for (int ty : {0, 2}) {
            const MapPoint p{tx * kSide + 1, ty * kSide + 1};
            w.Add(p, Camera(p, kLink, {{kLink, static_cast<uint32_t>(10 * tx + ty)}}));
        }
    CMneSafeDriveMapFile file;
    ASSERT_EQ(file.Open(Write(w, "Map/CameraT2.map")), 1);
    const MneCameraResult* results = nullptr;
    // Offsets -1 and -2 clamp onto column and row 0: no camera twice.
    EXPECT_EQ(file.GetCameras({3, 3}, kLink, &results), 6);
    EXPECT_EQ(file.LoadedTileCount(), 6);
    std::set<uint32_t> values;
    for (int i = 0; i < 6; ++i) values.insert(results[i].value);
    EXPECT_EQ(values, (std::set<uint32_t>{0, 2, 10, 12, 20, 22}));
    // A point outside the map area finds nothing.
    EXPECT_EQ(file.GetCameras({-1, 5}, kLink, &results), 0);
}

TEST_F(CameraFileTest, FiftyFirstResultGrowsTheBufferBy50) {
    for (int n : {50, 51, 101}) {
        SCOPED_TRACE(n);
        writers::CameraFileWriter w;
        for (int i = 0; i < n; ++i) {
            const MapPoint p = TileUnit(0, 0, i, i);
            w.Add(p, Camera(p, kLink, {{kLink, static_cast<uint32_t>(i)}}));
        }
        CMneCameraMapFile file;
        ASSERT_EQ(file.Open(Write(w)), 1);
        EXPECT_EQ(file.ResultCapacity(), 50u);
        const MneCameraResult* results = nullptr;
        ASSERT_EQ(file.GetCameras(kHere, kLink, &results), n);
        EXPECT_EQ(file.ResultCapacity(), static_cast<uint32_t>((n + 49) / 50 * 50));
        for (int i = 0; i < n; ++i) EXPECT_EQ(results[i].value, static_cast<uint32_t>(i));
    }
}

TEST_F(CameraFileTest, FailedGrowthKeepsTheBufferForTheNextCall) {
    writers::CameraFileWriter w;
    for (int i = 0; i < 51; ++i) {
        const MapPoint p = TileUnit(0, 0, i, i);
        w.Add(p, Camera(p, kLink, {{kLink, static_cast<uint32_t>(i)}}));
    }
    CMneCameraMapFile file;
    ASSERT_EQ(file.Open(Write(w)), 1);
    // Fill the program-wide heap so that the buffer cannot grow.
    std::vector<void*> fill;
    for (size_t chunk : {size_t{1} << 20, size_t{1} << 16, size_t{1} << 12, size_t{1} << 10})
        while (void* p = MgrAlloc(chunk)) fill.push_back(p);
    const MneCameraResult* results = nullptr;
    EXPECT_EQ(file.GetCameras(kHere, kLink, &results), 0);
    EXPECT_EQ(results, nullptr);
    EXPECT_EQ(file.ResultCapacity(), 50u);
    for (void* p : fill) MgrFree(p);
    EXPECT_EQ(file.GetCameras(kHere, kLink, &results), 51);
    EXPECT_EQ(file.ResultCapacity(), 100u);
}

// Damaged blocks: each lies in the asked tile beside a sound camera in the
// next tile, which must still be found.
TEST_F(CameraFileTest, DamagedBlocksAreRefusedWhole) {
    const MapPoint at = TileUnit(0, 0, 1, 1);
    const std::vector<uint8_t> good = writers::BuildCameraBlock({Camera(at, kLink, {{kLink, 1}})}, {});
    auto patched = [&](size_t offset, uint32_t value) {
        std::vector<uint8_t> b = good;
        for (int i = 0; i < 4; ++i) b[offset + i] = static_cast<uint8_t>(value >> (8 * i));
        return b;
    };
    auto withCount = [&](int count, bool keepLinks) {
        CameraEntry e = Camera(at, kLink, keepLinks ? std::vector<CameraLink>{{kLink, 1}} : std::vector<CameraLink>{});
        e.forcedLinkCount = count;
        return writers::BuildCameraBlock({e}, {});
    };
    CameraEntry further = Camera(at, kLink, {{kLink, 1}});
    further.further = {1, 2, 3};
    std::vector<uint8_t> furtherOutside = writers::BuildCameraBlock({further}, {});
    for (int i = 0; i < 4; ++i) furtherOutside[24 + i] = 0xEE;
    const std::vector<uint8_t> withB = writers::BuildCameraBlock({}, {Camera(at, kLink, {{kLink, 1}})});
    std::vector<uint8_t> listBOutside = withB;
    listBOutside[8] = 0xF0;

    const struct {
        const char* what;
        std::vector<uint8_t> block;
        const char* problem;  // null: accepted
    } cases[] = {
        {"shorter than the header", std::vector<uint8_t>(good.begin(), good.begin() + 11),
         "block shorter than its 12-byte header"},
        {"list A past the end", patched(4, static_cast<uint32_t>(good.size()) - 8), "list A lies outside the block"},
        {"list A offset wrapping around", patched(4, 0xFFFFFFF8u), "list A lies outside the block"},
        {"list A count too large", [&] { auto b = good; b[0] = 0xFF; b[1] = 0xFF; return b; }(),
         "list A lies outside the block"},
        {"record past the end", patched(16, static_cast<uint32_t>(good.size()) - 20),
         "camera record lies outside the block"},
        {"record offset huge", patched(16, 0x7FFFFFFF), "camera record lies outside the block"},
        {"link count beyond its list", withCount(2, true), "camera link list lies outside the block"},
        {"link list offset outside", patched(20, static_cast<uint32_t>(good.size()) - 4),
         "camera link list lies outside the block"},
        {"links counted, no list", withCount(3, false), "camera record counts links but has no link list"},
        {"further record outside", furtherOutside, "further record lies outside the block"},
        {"list B outside", listBOutside, "list B lies outside the block"},
        {"list B record outside", [&] { auto b = withB; b[16] = 0xFF; b[17] = 0xFF; return b; }(),
         "list B record lies outside the block"},
        {"empty list with a stray offset", [&] { auto b = good; b[0] = 0; b[4] = 0xFF; return b; }(), nullptr},
        {"list B sound", withB, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_STREQ(MneCheckCameraBlock(c.block.data(), static_cast<uint32_t>(c.block.size())), c.problem);

        writers::CameraFileWriter w;
        w.AddRawBlock(kCol, kRow, c.block);
        const MapPoint next = TileUnit(1, 0, 3, 3);
        w.Add(next, Camera(next, kLink, {{kLink, 2}}));
        testsupport::TempDir root;
        const auto bytes = w.Build();
        root.Write("Map/CameraT1.map", std::string(bytes.begin(), bytes.end()));
        CMneCameraMapFile file;
        ASSERT_EQ(file.Open(root.Path()), 1);
        const MneCameraResult* results = nullptr;
        const int count = file.GetCameras(kHere, kLink, &results);
        ASSERT_GE(count, 1);
        EXPECT_EQ(results[count - 1].value, 2u);
        if (c.problem) {
            EXPECT_EQ(count, 1);
            EXPECT_EQ(file.LoadedTileCount(), 1);
            EXPECT_STREQ(file.LastBlockProblem(), c.problem);
        } else {
            EXPECT_EQ(file.LastBlockProblem(), nullptr);
        }
    }
}

TEST_F(CameraFileTest, OpenAndClose) {
    CMneCameraMapFile file;
    EXPECT_EQ(file.Open(dir.Path()), 0);  // no file
    EXPECT_STREQ(file.FileName(), "Map\\CameraT1.map");
    EXPECT_STREQ(file.ArenaTag(), "[SVC]CAMERA_TYPE1");
    EXPECT_STREQ(CMneSafeDriveMapFile().ArenaTag(), "[SVC]CAMERA_TYPE2");

    writers::CameraFileWriter w;
    w.Add(kHere, Camera(kHere, kLink, {{kLink, 5}}));
    const std::string root = Write(w);
    ASSERT_EQ(file.Open(root), 1);
    ASSERT_EQ(file.Open(root), 1);  // reopened: the old arena and buffer go first
    const MneCameraResult* results = nullptr;
    EXPECT_EQ(file.GetCameras(kHere, kLink, &results), 1);
    file.Close();  // gives the held tiles back before the arena goes
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(file.GetCameras(kHere, kLink, &results), 0);

    // A file cut short keeps its header but loses the block.
    auto bytes = w.Build();
    bytes.resize(bytes.size() - 10);
    dir.Write("Map/CameraT1.map", std::string(bytes.begin(), bytes.end()));
    ASSERT_EQ(file.Open(root), 1);
    EXPECT_EQ(file.GetCameras(kHere, kLink, &results), 0);
    EXPECT_EQ(file.LoadedTileCount(), 0);
}

TEST(DemoCameras, FilesHaveCamerasAndTrailers) {
    testsupport::TempDir dir;
    std::string error;
    ASSERT_TRUE(writers::WriteDemoCameras(dir.Path(), &error)) << error;
    const std::string root = dir.Path() + "/";
    for (int index : {kMneVersionCameraT1, kMneVersionCameraT2}) {
        MneVersionTrailer t;
        EXPECT_EQ(CheckVersion(root, index, &t), kMneVersionValid);
        EXPECT_EQ(t.date, "20261210");
    }
    // The main street (class 3) has a camera on each of its links, both ways.
    CMneCameraMapFile speed;
    ASSERT_EQ(speed.Open(root), 1);
    int withCamera = 0;
    for (const auto& l : writers::DemoLinks()) {
        if (l.roadClass != 3) continue;
        const MneCameraResult* results = nullptr;
        EXPECT_EQ(speed.GetCameras(l.shape[1], l.number, &results), 1) << l.number;
        EXPECT_EQ(speed.GetCameras(l.shape[1], l.number | kReverse, &results), 1) << l.number;
        ++withCamera;
    }
    EXPECT_EQ(withCamera, 4);
    CMneSafeDriveMapFile safe;
    ASSERT_EQ(safe.Open(root), 1);
    const auto& avenue = writers::DemoLinks()[20];
    const MneCameraResult* results = nullptr;
    EXPECT_EQ(safe.GetCameras(avenue.shape[1], avenue.number, &results), 1);
}

}  // namespace
