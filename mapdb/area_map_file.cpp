#include "mapdb/area_map_file.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>
#include <vector>

#include "mapdb/block_view.h"
#include "mapdb/region.h"

namespace {

struct AreaHeader {
    uint16_t count = 0;
    uint32_t entries = 0;
};

bool ReadHeader(const MneBlockView& view, AreaHeader& out) {
    platform::ByteReader r = view.Reader(0);
    out.count = r.U16();
    out.entries = r.U32();
    return r.Ok();
}

MneAreaEntry ReadEntry(const MneBlockView& view, uint32_t entries, uint32_t entryBytes, uint32_t index) {
    platform::ByteReader r = view.Reader(entries + index * entryBytes);
    MneAreaEntry e;
    e.minY = r.U16();
    e.minX = r.U16();
    e.maxY = r.U16();
    e.maxX = r.U16();
    e.pointCount = r.U16();
    e.pointOffset = r.U32();
    if (entryBytes >= kMneAddressEntryBytes) e.code = r.U32();
    return r.Ok() ? e : MneAreaEntry{};
}

}  // namespace

const char* MneCheckAreaBlock(const uint8_t* data, uint32_t size, uint32_t entryBytes) {
    if (entryBytes != kMneAddressEntryBytes && entryBytes != kMneCityEntryBytes) return "unknown entry size";
    const MneBlockView view(data, size);
    AreaHeader header;
    if (!ReadHeader(view, header)) return "block shorter than its header";
    if (header.count == 0) return nullptr;
    if (!view.ContainsArray(header.entries, header.count, entryBytes)) return "area entries outside the block";
    for (uint32_t i = 0; i < header.count; ++i) {
        const MneAreaEntry e = ReadEntry(view, header.entries, entryBytes, i);
        if (!view.ContainsArray(e.pointOffset, e.pointCount, kMneAreaPointBytes)) return "point list outside the block";
    }
    return nullptr;
}

namespace {

// Cuts a closed outline to the half-plane where inside(p) holds, the
// crossings rounded to whole steps. Cutting to a convex window keeps every
// point of the window inside or outside as it was (even-odd included).
template <class Inside, class Cross>
void ClipHalf(std::vector<MapPoint>& poly, Inside inside, Cross cross) {
    std::vector<MapPoint> out;
    out.reserve(poly.size() + 4);
    for (size_t i = 0; i < poly.size(); ++i) {
        const MapPoint& a = poly[i];
        const MapPoint& b = poly[(i + 1) % poly.size()];
        const bool ia = inside(a), ib = inside(b);
        if (ia) out.push_back(a);
        if (ia != ib) out.push_back(cross(a, b));
    }
    poly.swap(out);
}

int32_t Across(int32_t a0, int32_t a1, int32_t b0, int32_t b1, int32_t at) {
    // b at the place where a crosses `at`, a0 != a1.
    const double t = (static_cast<double>(at) - a0) / (static_cast<double>(a1) - a0);
    return static_cast<int32_t>(std::lround(b0 + (static_cast<double>(b1) - b0) * t));
}

// An outline reaching far outside its tile (an area written without
// cutting it to the tile) is cut to the tile and one tile's width around
// it, so it gives the same answers inside the tile and its region stays
// small.
void ClipToAreaWindow(std::vector<MapPoint>& poly) {
    constexpr int32_t lo = kMneAreaPointMin;
    constexpr int32_t hi = kMneAreaPointEnd - 1;
    const bool far = std::any_of(poly.begin(), poly.end(),
                                 [](const MapPoint& p) { return p.x < lo || p.x > hi || p.y < lo || p.y > hi; });
    if (!far) return;
    ClipHalf(poly, [](const MapPoint& p) { return p.x >= lo; },
             [](const MapPoint& a, const MapPoint& b) { return MapPoint{lo, Across(a.x, b.x, a.y, b.y, lo)}; });
    ClipHalf(poly, [](const MapPoint& p) { return p.x <= hi; },
             [](const MapPoint& a, const MapPoint& b) { return MapPoint{hi, Across(a.x, b.x, a.y, b.y, hi)}; });
    ClipHalf(poly, [](const MapPoint& p) { return p.y >= lo; },
             [](const MapPoint& a, const MapPoint& b) { return MapPoint{Across(a.y, b.y, a.x, b.x, lo), lo}; });
    ClipHalf(poly, [](const MapPoint& p) { return p.y <= hi; },
             [](const MapPoint& a, const MapPoint& b) { return MapPoint{Across(a.y, b.y, a.x, b.x, hi), hi}; });
}

// The search on a block that has passed MneCheckAreaBlock.
int FindInCheckedBlock(const uint8_t* data, uint32_t size, uint32_t entryBytes, int32_t localX, int32_t localY,
                       uint32_t* code) {
    const MneBlockView view(data, size);
    AreaHeader header;
    ReadHeader(view, header);
    std::vector<MapPoint> outline;
    // Every area has its own point list in the block, so a search reads at
    // most the points the block can hold. Lists that overlap one another
    // (damage) could make it read far more, the same bytes over and over: an
    // outline read already gives the same answer again and is passed over,
    // and an area whose list would take the search past the block's points
    // is skipped.
    std::unordered_set<uint64_t> listsRead;
    uint32_t pointsLeft = size / kMneAreaPointBytes;
    for (uint32_t i = 0; i < header.count; ++i) {
        const MneAreaEntry e = ReadEntry(view, header.entries, entryBytes, i);
        if (localX < e.minX || localX > e.maxX || localY < e.minY || localY > e.maxY) continue;
        // Fewer than three points enclose nothing.
        if (e.pointCount < 3) continue;
        if (!listsRead.insert(uint64_t{e.pointOffset} << 16 | e.pointCount).second) continue;
        if (e.pointCount > pointsLeft) continue;
        pointsLeft -= e.pointCount;
        outline.resize(e.pointCount);
        platform::ByteReader r = view.Reader(e.pointOffset);
        for (auto& p : outline) {
            p.x = r.I32();
            p.y = r.I32();
        }
        if (!r.Ok()) continue;
        ClipToAreaWindow(outline);
        if (outline.size() < 3) continue;
        // The point's scan line is all the test needs (localY is within the
        // box, so the line after it exists).
        CMneRegion region;
        if (!region.BuildRows(outline.data(), static_cast<int>(outline.size()), kMneFillEvenOdd, localY, localY + 1))
            continue;
        if (region.Contains(localX, localY)) {
            if (code) *code = e.code;
            return 1;
        }
    }
    return 0;
}

}  // namespace

int MneFindAreaInBlock(const uint8_t* data, uint32_t size, uint32_t entryBytes, int32_t localX, int32_t localY,
                       uint32_t* code) {
    if (code) *code = 0;
    if (MneCheckAreaBlock(data, size, entryBytes)) return 0;
    return FindInCheckedBlock(data, size, entryBytes, localX, localY, code);
}

int CMneAreaMapFile::FixupBlock(const uint8_t* data, uint32_t size) {
    return MneCheckAreaBlock(data, size, m_entryBytes) == nullptr ? 1 : 0;
}

int CMneAreaMapFile::FindArea(const MapPoint& point, uint32_t* code) {
    if (code) *code = 0;
    const CMgrCoordBase frame(kMneAreaTileLevel);
    int column = 0, row = 0;
    TileLocalPoint local;
    if (!frame.MapToTileLocal(point, column, row, local)) return 0;
    // The block stays in the one buffer only while the lock is held.
    MgrLock lock(FileLock());
    uint32_t size = 0;
    const uint8_t* block = LoadBlock({kMneAreaTileLevel, column, row}, 0, &size);
    if (!block) return 0;
    // LoadBlock has checked the block through FixupBlock.
    return FindInCheckedBlock(block, size, m_entryBytes, local.x, local.y, code);
}
