#pragma once
// The area grid of the link graph and the traffic weight table "Map\VTF.ndb"
// that fills it, with the road-level thresholds it feeds.
//
// The grid: 200 x 200 cells of one byte over x 66159640 to 67943640 and
// y 18031840 to 20039840 (`MapPoint` units); a cell is 8920 units wide and
// 10040 high; cell (i, j) (i from x, j from y) is byte i x 200 + j. Every
// cell starts at 3.
//
// "VTF.ndb" (little-endian): s32 record count, then 20-byte records
// {u16 enabled, u16 kind 0-3, s32 x1, s32 y1, s32 x2, s32 y2}. An enabled
// record of kind 0 to 3 writes its kind into every cell its rectangle
// (corners in any order) covers; other records change nothing. A file whose
// count is negative or whose records run past its end is refused as a whole
// and the grid stays at 3, as when the file is missing.
#include <cstddef>
#include <cstdint>
#include <string>

inline constexpr int kNcAreaGridSide = 200;
inline constexpr size_t kNcAreaGridBytes = kNcAreaGridSide * kNcAreaGridSide;
inline constexpr int32_t kNcAreaGridX0 = 66159640;
inline constexpr int32_t kNcAreaGridY0 = 18031840;
inline constexpr int32_t kNcAreaCellWidth = 8920;
inline constexpr int32_t kNcAreaCellHeight = 10040;
inline constexpr int32_t kNcAreaSouthY = 17656025;  // at or below: area kind 2
inline constexpr uint32_t kNcVtfRecordBytes = 20;

// Results of loading the table.
inline constexpr int kNcVtfLoaded = 1;
inline constexpr int kNcVtfMissing = 0;
inline constexpr int kNcVtfDamaged = -1;

class NcAreaGrid {
public:
    // Over the first 40000 bytes of memory (the graph area of the large
    // block), or over storage of its own when memory is null.
    explicit NcAreaGrid(uint8_t* memory = nullptr);
    NcAreaGrid(const NcAreaGrid&) = delete;
    NcAreaGrid& operator=(const NcAreaGrid&) = delete;

    // Every cell to 3.
    void Reset();
    // Resets the grid and applies "Map\VTF.ndb" under the data root.
    int LoadVtf(const std::string& dataRoot);
    // Resets the grid and applies a table's bytes.
    int ApplyVtf(const uint8_t* bytes, size_t size);

    // 2 when y is at most 17656025, 3 outside the grid, else the cell.
    int GetAreaKind(int32_t x, int32_t y) const;
    uint8_t Cell(int i, int j) const { return m_cells[i * kNcAreaGridSide + j]; }
    int GetAppliedRecords() const { return m_applied; }

private:
    uint8_t m_own[kNcAreaGridBytes];
    uint8_t* m_cells;
    int m_applied = 0;
};

// Road-level thresholds in metres, levels 0 to 3.
struct NcLevelThresholds {
    int32_t metres[4];
};
inline constexpr NcLevelThresholds kNcNearThresholds = {{0, 2000, 5000, 10000}};
inline constexpr NcLevelThresholds kNcFarThresholds = {{0, 5000, 20000, 55000}};
inline constexpr NcLevelThresholds kNcFullRangeThresholds = {{0, 100000, 200000, 400000}};

// The set for one end of a leg: the near set when the end flag is clear and
// the end point's area kind is 0, the far set otherwise; the full-range flag
// overrides both.
const NcLevelThresholds& NcChooseThresholds(int areaKind, bool endFlag, bool fullRange);
// The highest level (3, 2, 1) whose origin threshold the distance from the
// origin exceeds and whose destination threshold the distance to the
// destination exceeds; 0 otherwise.
int NcChooseLevel(int32_t fromOriginM, int32_t toDestinationM, const NcLevelThresholds& origin,
                  const NcLevelThresholds& destination);
