#pragma once
// NcSearchThemeCate: the theme points (places grouped into themes) of the
// search kinds 9 and 10 and the theme lists, over two files of the search
// folder, and the tile index of the same points (search/theme_tiles.h).
//
// "theme_cate.sdb" (little-endian, packed): u8 header size H, u8 record size
// R, u16 record count, u8 (unused), u16 first record of levels 1 to 4 (level
// 4 runs to the count), u8 number K of field tests (below 32), K triples (u8
// offset in a theme record, u8 width 1..4, u8 mode: 1 equal, 2 bit mask, 3
// code prefix); record r at H + r * R, sorted by code within each level:
// u32 theme code, u16 value, u8 name length, u8 test number (1..31: the
// header's test number - 1; 0 none), u32 test value, u32 name offset. The
// children of code C have the codes C * 100 .. C * 100 + 99.
//
// "theme.sdb": the record count N in the first u32 of a 64-byte slot, then
// record r at (r + 1) * 64, sorted by name (ThemeRecord below names the
// fields the searches read).
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_io.h"
#include "search/search_records.h"
#include "search/theme_tiles.h"

inline constexpr size_t kThemeRecordBytes = 64;
inline constexpr int kThemeRowCapacity = 10000;
inline constexpr int kThemeListCapacity = 99;
inline constexpr int kThemeTestMax = 31;
inline constexpr int kThemeGroupMembersMax = 100;
inline constexpr size_t kThemeNameBytes = 37;  // 36 bytes and the zero

// One 64-byte theme record as stored.
struct ThemeRecord {
    std::array<uint8_t, kThemeRecordBytes> raw{};

    uint32_t U32(size_t at) const {
        return raw[at] | raw[at + 1] << 8 | raw[at + 2] << 16 | static_cast<uint32_t>(raw[at + 3]) << 24;
    }
    uint32_t Key() const { return U32(0); }
    uint8_t Kind() const { return raw[30]; }
    uint8_t Kind2() const { return raw[31]; }
    uint8_t Mask2() const { return raw[32]; }
    uint8_t Category() const { return raw[33]; }
    uint8_t Class() const { return raw[34]; }
    uint8_t Mask() const { return raw[35]; }
    uint8_t ItemKind() const { return raw[37]; }
    uint32_t X() const { return U32(40); }
    uint32_t Y() const { return U32(44); }
    uint32_t AreaCode() const { return U32(48); }
    uint8_t Rank() const { return raw[52]; }
    uint8_t NameLength() const { return raw[54]; }
    uint8_t MemberCount() const { return raw[55]; }
    uint32_t MemberOffset() const { return U32(56); }
    uint32_t NameOffset() const { return U32(60); }
};

struct ThemeFieldTestRule {
    uint8_t offset = 0;
    uint8_t width = 0;
    uint8_t mode = 0;
};

struct ThemeCateRecord {
    uint32_t code = 0;
    uint16_t value = 0;
    uint8_t testNumber = 0;
    uint32_t testValue = 0;
    std::string name;  // CP949
};

// A found theme point: its record, distance in metres, relative bearing,
// name (CP949, at most 36 bytes) and record number.
struct ThemeHitRow {
    ThemeRecord record;
    uint32_t distance = 0;
    uint32_t bearing = 0;
    std::string name;
    uint32_t recordNumber = 0;
};

// The field test: the field of the given width at the offset of the record;
// a field of 0 fails. Mode 1 passes when value is 0 or equals it, mode 2
// when value is 0 or shares a bit with it, mode 3 when value is above 0 and
// the field divided by a power of 100 equals value while the quotient is
// not below value. Other modes fail.
bool ThemeFieldTest(const ThemeRecord& record, uint32_t value, uint32_t offset, uint32_t width, uint32_t mode);
class NcSearchThemeCate {
public:
    // folder ends with a path separator. Opens both files (-1 when either
    // is missing, else 0) and the tile index (left empty when missing).
    int SetThemeFolder(const std::string& folder);
    int OpenThemeFiles();
    int ReopenThemeFiles() { return OpenThemeFiles(); }
    // Reads the category header and its tests and the record count: 0, or -1
    // for 32 tests or more or a width above 4.
    int BindThemeJob();

    // The categories of a level (1..4) under a parent code into the list
    // rows: their count, -1 when they would be 100 or more.
    int ListThemes(int level, uint32_t parent);
    int ListCount() const { return static_cast<int>(m_list.size()); }
    const ThemeCateRecord& ListRow(int i) const { return m_list[static_cast<size_t>(i)]; }
    // The category of a code: 1, or 0 when there is none.
    int GetThemeCateRecord(uint32_t code, ThemeCateRecord& out) const;
    int CateCount() const { return static_cast<int>(m_cateCount); }
    int TestCount() const { return static_cast<int>(m_tests.size()); }

    // Kinds 9 and 10: with a keyword or any theme filter the keyword search,
    // else by theme code. 0 no rows, 1 rows, 2 the 10000 rows are full.
    // cancelled is asked between chunks of records; true ends the search
    // with no rows.
    int SearchThemes(const SearchRequest& job, const std::function<bool()>& cancelled = nullptr);
    // The members of the group record nOption that pass the radius, the
    // record filter and the keyword; 0 for a group number not below N.
    int SearchThemeListItems(const SearchRequest& job);
    // Every record of item kind other than 1 that passes the selection's
    // field test and the record filter (no radius).
    int SearchThemeByTest(const SearchRequest& job, const ThemeCateRecord& selection);
    // Sorts the rows: 0 by name, 1 by distance, 2 by rank (highest first).
    void SortRows(uint8_t order);

    int RowCount() const { return static_cast<int>(m_rows.size()); }
    const ThemeHitRow& Row(int i) const { return m_rows[static_cast<size_t>(i)]; }
    void ClearRows() { m_rows.clear(); }

    uint32_t RecordCount() const { return m_recordCount; }
    // The record r and its name: false when it is not in the file.
    bool ReadThemeRecord(uint32_t r, ThemeRecord& record, std::string* name = nullptr) const;
    // The first record with the theme item key (a scan of the file), -1 when
    // none.
    int64_t FindRecordByKey(uint32_t key) const;

    NcThemeTiles& Tiles() { return m_tiles; }

private:
    bool ParseCateHeader();
    bool ReadCateRecord(uint32_t r, ThemeCateRecord& out) const;
    uint32_t CateCode(uint32_t r) const;
    uint32_t LowerBound(uint32_t code, uint32_t lo, uint32_t hi) const;
    // The field test of a category, or false when it has none.
    bool TestOf(const ThemeCateRecord& cate, ThemeFieldTestRule& rule) const;
    bool PassesFilter(const SearchRequest& job, const ThemeRecord& record) const;
    void AddRow(const SearchRequest& job, const ThemeRecord& record, uint32_t r, uint32_t distance);
    std::string ReadName(const ThemeRecord& record) const;
    // Records lo .. hi - 1 whose names begin with the CP949 prefix.
    void FindThemeNameRange(std::string_view prefix, uint32_t& lo, uint32_t& hi) const;

    std::string m_folder;
    std::vector<uint8_t> m_cate;
    platform::File m_theme;
    uint32_t m_recordCount = 0;
    uint32_t m_headerSize = 0, m_recordSize = 0, m_cateCount = 0;
    uint32_t m_levelStart[4] = {};
    std::vector<ThemeFieldTestRule> m_tests;
    bool m_testsValid = false;
    std::vector<ThemeCateRecord> m_list;
    std::vector<ThemeHitRow> m_rows;
    NcThemeTiles m_tiles;
};
