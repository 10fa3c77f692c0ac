#pragma once
// The tile index of the theme points, "theme_tile.sdb" in the search folder,
// held whole in memory (at most 1000 tiles and 10000 points), and the search
// for the points within a radius of a position.
//
// File (little-endian, packed): u16 tile count T, u16 item count I, 4 bytes
// unused, T entries of 8 bytes (u32 tile key, u16 first item, u16 item
// count) sorted by key, then I items of 16 bytes grouped by tile: u16 item
// value, u16 x and u16 y offset from the tile origin, u8 kind flags, u8
// second kind byte, u32 theme item key, two attribute bytes, 2 bytes unused.
//
// Tiles are squares of 65536 map units aligned to multiples of 65536; the
// key of the tile holding (x, y) is (x / 65536) * 100000 + y / 65536.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

inline constexpr uint32_t kThemeTileSide = 65536;
inline constexpr int kThemeTileMax = 1000;
inline constexpr int kThemeTileItemMax = 10000;
inline constexpr int kThemeTileRowCapacity = 100;
inline constexpr size_t kThemeTileEntryBytes = 8;
inline constexpr size_t kThemeTileItemBytes = 16;

struct ThemeTileEntry {
    uint32_t key = 0;
    uint16_t firstItem = 0;
    uint16_t itemCount = 0;
};

struct ThemeTileItem {
    uint16_t value = 0;
    uint16_t dx = 0;
    uint16_t dy = 0;
    uint8_t kindFlags = 0;
    uint8_t kind2 = 0;
    uint32_t themeKey = 0;
    uint8_t attr1 = 0;
    uint8_t attr2 = 0;
};

// A point found: what the theme rows carry of it (the theme item key, the
// kind flags, the second kind byte and the two attribute bytes), its
// distance in metres and its item value.
struct ThemeTileHit {
    uint32_t themeKey = 0;
    uint8_t kindFlags = 0;
    uint8_t kind2 = 0;
    uint8_t attr1 = 0;
    uint8_t attr2 = 0;
    uint32_t distance = 0;
    uint32_t value = 0;
};

class NcThemeTiles {
public:
    // Clears the rows and loads folder + "theme_tile.sdb"; a missing file, or
    // a header with more than 1000 tiles or 10000 items, leaves the index
    // empty. 1 when the index holds the file.
    int LoadThemeTiles(const std::string& folder);
    int LoadThemeTileBytes(const uint8_t* data, size_t size);
    void Clear();

    // Bisection over entries lo .. hi - 1: the entry of key, or -1 when it is
    // absent or the range is empty or reaches past the table.
    int FindThemeTile(uint32_t key, int lo, int hi) const;
    // The key of the tile holding (x, y) and its origin.
    static uint32_t ThemeTileKey(uint32_t x, uint32_t y, uint32_t* originX = nullptr, uint32_t* originY = nullptr);

    // The points within radius metres of (x, y) whose kind flags share a bit
    // with kindMask (0: every point), sorted by distance. 0 nothing found, 1
    // rows found, 2 the 100 rows are full.
    int SearchThemeTiles(uint32_t x, uint32_t y, uint32_t radius, uint32_t kindMask);
    int RowCount() const { return static_cast<int>(m_rows.size()); }
    const ThemeTileHit& Row(int i) const { return m_rows[static_cast<size_t>(i)]; }

    int TileCount() const { return static_cast<int>(m_tiles.size()); }
    int ItemCount() const { return static_cast<int>(m_items.size()); }

private:
    std::vector<ThemeTileEntry> m_tiles;
    std::vector<ThemeTileItem> m_items;
    std::vector<ThemeTileHit> m_rows;
};
