#include "route/area_grid.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "foundation/debug_trace.h"
#include "platform/byte_cursor.h"
#include "platform/file_io.h"
#include "platform/paths.h"

namespace {

constexpr int64_t kGridX1 = int64_t{kNcAreaGridX0} + int64_t{kNcAreaCellWidth} * kNcAreaGridSide;
constexpr int64_t kGridY1 = int64_t{kNcAreaGridY0} + int64_t{kNcAreaCellHeight} * kNcAreaGridSide;

int CellIndex(int64_t v, int64_t origin, int64_t cell) {
    const int64_t i = (v - origin) / cell;  // v >= origin once clamped below
    return static_cast<int>(std::clamp<int64_t>(i, 0, kNcAreaGridSide - 1));
}

}  // namespace

NcAreaGrid::NcAreaGrid(uint8_t* memory) : m_cells(memory ? memory : m_own) { Reset(); }

void NcAreaGrid::Reset() {
    std::memset(m_cells, 3, kNcAreaGridBytes);
    m_applied = 0;
}

int NcAreaGrid::LoadVtf(const std::string& dataRoot) {
    Reset();
    std::vector<uint8_t> bytes;
    if (!platform::ReadWholeFile(platform::ResolveUnder(dataRoot, "Map\\VTF.ndb"), bytes)) return kNcVtfMissing;
    return ApplyVtf(bytes.data(), bytes.size());
}

int NcAreaGrid::ApplyVtf(const uint8_t* bytes, size_t size) {
    Reset();
    platform::ByteReader in(bytes, size);
    const int32_t count = in.I32();
    if (!in.Ok() || count < 0 || static_cast<uint64_t>(count) * kNcVtfRecordBytes > in.Remaining()) {
        DebugTrace(1, "[RP**] VTF.ndb: %d records do not fit %zu bytes\n", count, size);
        return kNcVtfDamaged;
    }
    for (int32_t k = 0; k < count; ++k) {
        const uint16_t enabled = in.U16();
        const uint16_t kind = in.U16();
        const int64_t x1 = in.I32(), y1 = in.I32(), x2 = in.I32(), y2 = in.I32();
        if (!enabled || kind > 3) continue;
        const int64_t minX = std::min(x1, x2), maxX = std::max(x1, x2);
        const int64_t minY = std::min(y1, y2), maxY = std::max(y1, y2);
        if (maxX < kNcAreaGridX0 || minX >= kGridX1 || maxY < kNcAreaGridY0 || minY >= kGridY1) continue;
        const int i0 = CellIndex(std::max<int64_t>(minX, kNcAreaGridX0), kNcAreaGridX0, kNcAreaCellWidth);
        const int i1 = CellIndex(maxX, kNcAreaGridX0, kNcAreaCellWidth);
        const int j0 = CellIndex(std::max<int64_t>(minY, kNcAreaGridY0), kNcAreaGridY0, kNcAreaCellHeight);
        const int j1 = CellIndex(maxY, kNcAreaGridY0, kNcAreaCellHeight);
        for (int i = i0; i <= i1; ++i)
            std::memset(m_cells + i * kNcAreaGridSide + j0, kind, static_cast<size_t>(j1 - j0 + 1));
        ++m_applied;
    }
    return kNcVtfLoaded;
}

int NcAreaGrid::GetAreaKind(int32_t x, int32_t y) const {
    if (y <= kNcAreaSouthY) return 2;
    if (x < kNcAreaGridX0 || x >= kGridX1 || y < kNcAreaGridY0 || y >= kGridY1) return 3;
    const int i = (x - kNcAreaGridX0) / kNcAreaCellWidth;
    const int j = (y - kNcAreaGridY0) / kNcAreaCellHeight;
    return m_cells[i * kNcAreaGridSide + j];
}

const NcLevelThresholds& NcChooseThresholds(int areaKind, bool endFlag, bool fullRange) {
    if (fullRange) return kNcFullRangeThresholds;
    return !endFlag && areaKind == 0 ? kNcNearThresholds : kNcFarThresholds;
}

int NcChooseLevel(int32_t fromOriginM, int32_t toDestinationM, const NcLevelThresholds& origin,
                  const NcLevelThresholds& destination) {
    for (int level = 3; level >= 1; --level)
        if (fromOriginM > origin.metres[level] && toDestinationM > destination.metres[level]) return level;
    return 0;
}
