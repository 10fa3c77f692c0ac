// The area grid from "VTF.ndb" and the road-level thresholds.
#include "route/area_grid.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"
#include "tools/writers/route_data_writer.h"

namespace {

using writers::VtfRecord;

// The centre of cell (i, j).
int32_t CellX(int i) { return kNcAreaGridX0 + i * kNcAreaCellWidth + kNcAreaCellWidth / 2; }
int32_t CellY(int j) { return kNcAreaGridY0 + j * kNcAreaCellHeight + kNcAreaCellHeight / 2; }

TEST(AreaGrid, VtfBytesByHand) {
    const std::vector<uint8_t> bytes = writers::BuildVtf({{1, 2, 0x01020304, -1, 5, 6}});
    const std::vector<uint8_t> expect = {1, 0, 0, 0,  1, 0, 2, 0,  4, 3, 2, 1,  0xFF, 0xFF, 0xFF, 0xFF,
                                         5, 0, 0, 0,  6, 0, 0, 0};
    EXPECT_EQ(bytes, expect);
}

TEST(AreaGrid, RecordsWriteTheirCells) {
    NcAreaGrid grid;
    const std::vector<uint8_t> vtf = writers::BuildVtf({
        // Cells 10-12 by 20-21, corners given the wrong way round.
        {1, 0, CellX(12), CellY(21), CellX(10), CellY(20)},
        {0, 1, CellX(0), CellY(0), CellX(199), CellY(199)},   // switched off
        {1, 4, CellX(0), CellY(0), CellX(199), CellY(199)},   // unknown kind
        {1, 1, kNcAreaGridX0 - 50000, CellY(199), CellX(1), 30000000},  // clipped to the corner
        {1, 2, 0, 0, 1000, 1000},                               // entirely outside
    });
    ASSERT_EQ(grid.ApplyVtf(vtf.data(), vtf.size()), kNcVtfLoaded);
    EXPECT_EQ(grid.GetAppliedRecords(), 2);
    for (int i = 9; i <= 13; ++i)
        for (int j = 19; j <= 22; ++j) {
            const bool inside = i >= 10 && i <= 12 && j >= 20 && j <= 21;
            EXPECT_EQ(grid.Cell(i, j), inside ? 0 : 3) << i << "," << j;
        }
    EXPECT_EQ(grid.Cell(0, 199), 1);
    EXPECT_EQ(grid.Cell(1, 199), 1);
    EXPECT_EQ(grid.Cell(2, 199), 3);
    EXPECT_EQ(grid.Cell(0, 198), 3);
    EXPECT_EQ(grid.GetAreaKind(CellX(11), CellY(20)), 0);
}

TEST(AreaGrid, AreaKindEdges) {
    NcAreaGrid grid;
    // Every cell of the grid set to 1.
    std::vector<uint8_t> vtf = writers::BuildVtf({{1, 1, kNcAreaGridX0, kNcAreaGridY0, 67943639, 20039839}});
    ASSERT_EQ(grid.ApplyVtf(vtf.data(), vtf.size()), kNcVtfLoaded);
    struct Case {
        int32_t x, y;
        int kind;
    } const cases[] = {
        {CellX(5), CellY(5), 1},
        {CellX(5), 17656025, 2},  // the south, wherever x lies
        {0, 17656025, 2},
        {CellX(5), 17656026, 3},  // north of that line but south of the grid
        {67943639, CellY(5), 1},  // last cell
        {67943640, CellY(5), 3},  // east of the grid
        {kNcAreaGridX0, kNcAreaGridY0, 1},
        {kNcAreaGridX0 - 1, CellY(5), 3},
        {CellX(5), 20039840, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
        EXPECT_EQ(grid.GetAreaKind(c.x, c.y), c.kind);
    }
}

TEST(AreaGrid, DamagedOrMissingTableLeavesTheGridAtThree) {
    const std::vector<uint8_t> good = writers::BuildVtf({{1, 0, CellX(0), CellY(0), CellX(199), CellY(199)}});
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        int result;
    } const cases[] = {
        {"empty", {}, kNcVtfDamaged},
        {"short count", {1, 0}, kNcVtfDamaged},
        {"negative count", {0xFF, 0xFF, 0xFF, 0xFF}, kNcVtfDamaged},
        {"count past the end", {2, 0, 0, 0}, kNcVtfDamaged},
        {"record cut", std::vector<uint8_t>(good.begin(), good.end() - 1), kNcVtfDamaged},
        {"huge count", {0xFF, 0xFF, 0xFF, 0x7F}, kNcVtfDamaged},
        {"no records", {0, 0, 0, 0}, kNcVtfLoaded},
    };
    NcAreaGrid grid;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(grid.ApplyVtf(good.data(), good.size()), kNcVtfLoaded);
        EXPECT_EQ(grid.ApplyVtf(c.bytes.data(), c.bytes.size()), c.result);
        EXPECT_EQ(grid.GetAreaKind(CellX(100), CellY(100)), 3);
    }
    testsupport::TempDir dir;
    EXPECT_EQ(grid.LoadVtf(dir.Path()), kNcVtfMissing);
    dir.Write("Map/VTF.ndb", std::string(good.begin(), good.end()));
    EXPECT_EQ(grid.LoadVtf(dir.Path()), kNcVtfLoaded);
    EXPECT_EQ(grid.GetAreaKind(CellX(100), CellY(100)), 0);
}

TEST(AreaGrid, GridLivesInTheGivenMemory) {
    std::vector<uint8_t> block(kNcAreaGridBytes + 8, 0xAA);
    NcAreaGrid grid(block.data());
    EXPECT_EQ(block[0], 3);
    EXPECT_EQ(block[kNcAreaGridBytes - 1], 3);
    EXPECT_EQ(block[kNcAreaGridBytes], 0xAA);
}

TEST(LevelThresholds, SetsAndLevels) {
    EXPECT_EQ(&NcChooseThresholds(0, false, false), &kNcNearThresholds);
    EXPECT_EQ(&NcChooseThresholds(0, true, false), &kNcFarThresholds);
    EXPECT_EQ(&NcChooseThresholds(1, false, false), &kNcFarThresholds);
    EXPECT_EQ(&NcChooseThresholds(0, false, true), &kNcFullRangeThresholds);
    struct Case {
        int32_t fromOrigin, toDestination;
        const NcLevelThresholds* set;
        int level;
    } const cases[] = {
        {150000, 150000, &kNcFullRangeThresholds, 1},
        {400001, 400001, &kNcFullRangeThresholds, 3},
        {10001, 10001, &kNcNearThresholds, 3},
        {10000, 10001, &kNcNearThresholds, 2},  // must exceed, not reach
        {60000, 5001, &kNcFarThresholds, 1},    // the nearer end decides
        {2000, 2000, &kNcNearThresholds, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.fromOrigin << " " << c.toDestination);
        EXPECT_EQ(NcChooseLevel(c.fromOrigin, c.toDestination, *c.set, *c.set), c.level);
    }
}

}  // namespace
