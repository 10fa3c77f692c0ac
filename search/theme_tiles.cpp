#include "search/theme_tiles.h"

#include <algorithm>

#include "foundation/coords.h"
#include "platform/byte_cursor.h"
#include "platform/file_io.h"
#include "platform/paths.h"

void NcThemeTiles::Clear() {
    m_tiles.clear();
    m_items.clear();
    m_rows.clear();
}

int NcThemeTiles::LoadThemeTiles(const std::string& folder) {
    Clear();
    std::vector<uint8_t> bytes;
    if (!platform::ReadWholeFile(platform::NativePath(folder + "theme_tile.sdb"), bytes)) return 0;
    return LoadThemeTileBytes(bytes.data(), bytes.size());
}

int NcThemeTiles::LoadThemeTileBytes(const uint8_t* data, size_t size) {
    Clear();
    platform::ByteReader rd(data, size);
    const uint16_t tiles = rd.U16();
    const uint16_t items = rd.U16();
    rd.Skip(4);
    if (!rd.Ok() || tiles > kThemeTileMax || items > kThemeTileItemMax) return 0;
    if (!rd.Has(tiles * kThemeTileEntryBytes + items * kThemeTileItemBytes)) return 0;
    m_tiles.resize(tiles);
    for (ThemeTileEntry& e : m_tiles) {
        e.key = rd.U32();
        e.firstItem = rd.U16();
        e.itemCount = rd.U16();
    }
    m_items.resize(items);
    for (ThemeTileItem& it : m_items) {
        it.value = rd.U16();
        it.dx = rd.U16();
        it.dy = rd.U16();
        it.kindFlags = rd.U8();
        it.kind2 = rd.U8();
        it.themeKey = rd.U32();
        it.attr1 = rd.U8();
        it.attr2 = rd.U8();
        rd.Skip(2);
    }
    return 1;
}

int NcThemeTiles::FindThemeTile(uint32_t key, int lo, int hi) const {
    if (lo < 0 || hi <= lo || hi - 1 >= TileCount()) return -1;
    int l = lo, h = hi - 1;
    while (l <= h) {
        const int mid = l + (h - l) / 2;
        const uint32_t k = m_tiles[static_cast<size_t>(mid)].key;
        if (k == key) return mid;
        if (key < k)
            h = mid - 1;
        else
            l = mid + 1;
    }
    return -1;
}

uint32_t NcThemeTiles::ThemeTileKey(uint32_t x, uint32_t y, uint32_t* originX, uint32_t* originY) {
    if (originX) *originX = x / kThemeTileSide * kThemeTileSide;
    if (originY) *originY = y / kThemeTileSide * kThemeTileSide;
    return x / kThemeTileSide * 100000 + y / kThemeTileSide;
}

int NcThemeTiles::SearchThemeTiles(uint32_t x, uint32_t y, uint32_t radius, uint32_t kindMask) {
    m_rows.clear();
    // Map units per metre east and north, truncated.
    const int64_t ex = static_cast<int64_t>(radius / 0.169);
    const int64_t ey = static_cast<int64_t>(radius / 0.212);
    const int64_t cx = static_cast<int32_t>(x), cy = static_cast<int32_t>(y);
    if (cx - ex < 0 || cx + ex < 0 || cy - ey < 0 || cy + ey < 0) return 0;
    // The tiles under the square, by their indexes, so that the last tile is
    // reached whatever the square's alignment.
    const int64_t tx0 = (cx - ex) / kThemeTileSide, tx1 = (cx + ex) / kThemeTileSide;
    const int64_t ty0 = (cy - ey) / kThemeTileSide, ty1 = (cy + ey) / kThemeTileSide;
    bool full = false;
    auto scanTile = [&](const ThemeTileEntry& tile, int64_t tx, int64_t ty) {
        // A tile whose items reach past the item table is skipped.
        if (size_t{tile.firstItem} + tile.itemCount > m_items.size()) return;
        for (size_t i = tile.firstItem; i < size_t{tile.firstItem} + tile.itemCount && !full; ++i) {
            const ThemeTileItem& it = m_items[i];
            const int64_t px = tx * kThemeTileSide + it.dx, py = ty * kThemeTileSide + it.dy;
            if (px > INT32_MAX || py > INT32_MAX) continue;
            const uint32_t d = GetApproxDistanceXY(static_cast<int32_t>(cx), static_cast<int32_t>(cy),
                                                   static_cast<int32_t>(px), static_cast<int32_t>(py));
            if (d > radius || (kindMask != 0 && (it.kindFlags & kindMask) == 0)) continue;
            m_rows.push_back({it.themeKey, it.kindFlags, it.kind2, it.attr1, it.attr2, d, it.value});
            full = m_rows.size() >= kThemeTileRowCapacity;
        }
    };
    const int64_t cells = (tx1 - tx0 + 1) * (ty1 - ty0 + 1);
    if (cells <= TileCount()) {
        for (int64_t tx = tx0; tx <= tx1 && !full; ++tx)
            for (int64_t ty = ty0; ty <= ty1 && !full; ++ty) {
                const int e = FindThemeTile(static_cast<uint32_t>(tx * 100000 + ty), 0, TileCount());
                if (e >= 0) scanTile(m_tiles[static_cast<size_t>(e)], tx, ty);
            }
    } else {
        // A square wider than the whole table: every tile is looked at once,
        // in key order, as the walk above would meet them.
        for (const ThemeTileEntry& tile : m_tiles) {
            const int64_t tx = tile.key / 100000, ty = tile.key % 100000;
            if (tx >= tx0 && tx <= tx1 && ty >= ty0 && ty <= ty1) scanTile(tile, tx, ty);
            if (full) break;
        }
    }
    std::stable_sort(m_rows.begin(), m_rows.end(),
                     [](const ThemeTileHit& a, const ThemeTileHit& b) { return a.distance < b.distance; });
    if (full) return 2;
    return m_rows.empty() ? 0 : 1;
}
