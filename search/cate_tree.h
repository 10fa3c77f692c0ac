#pragma once
// The category tree of the places, "cate.sdb" in the search folder, and
// NcSearchCate, its reader.
//
// File: u32 record count N, 5 bytes nobody reads, then record r (from 1) at
// r * 9: u16 category index, u16 count value, u8 name length, u32 name
// offset (CP949). Records are sorted by category index; level 1 holds
// records 1..15, level 2 records 16..112, level 3 records 113..N.
// A category index: level 1 g (1..15), level 2 g * 30 + h, level 3
// (g * 30 + h) * 30 + m; the children of P are P * 30 + 1 .. P * 30 + 29.
#include <array>
#include <cstdint>
#include <string>

#include "platform/file_io.h"

inline constexpr uint32_t kCateRecordBytes = 9;
inline constexpr int kCateRowCapacity = 29;
inline constexpr size_t kCateNameBytes = 28;  // 27 bytes and the zero

struct CateRow {
    uint32_t nIndex = 0;
    char szName[kCateNameBytes] = {};
    uint16_t wCount = 0;
};
static_assert(sizeof(CateRow) == 36);

class NcSearchCate {
public:
    // Copies the search folder (ending with a path separator) and opens the
    // file.
    int InitCate(const std::string& searchFolder);
    // 1 when folder + "cate.sdb" opened, 0 when it is missing (the tree is
    // then empty).
    int OpenCateFile();
    int ReopenCate();
    void ClearList() { m_rowCount = 0; }
    uint32_t RecordCount() const { return m_recordCount; }

    // The level-`level` children of parent, in file order, at most 29;
    // their count.
    int ListCategories(int level, uint32_t parent);
    int RowCount() const { return m_rowCount; }
    const CateRow& Row(int i) const { return m_rows[static_cast<size_t>(i)]; }

    // The name of a category index (at most 27 bytes): 1, or 0 with an
    // empty name when it is not stored.
    int GetCateName(uint32_t index, std::string& out);
    // The record found for index (the first stored index not below it) into
    // row; 1, 0 when there is no such record.
    int GetCateRow(uint32_t index, CateRow& row);

    static uint32_t ParentIndex(uint32_t index) { return index == 0 ? 0 : (index - 1) / 30; }
    static int LevelOfIndex(uint32_t index);
    static uint32_t LevelFirstIndex(int level);
    // First record number of a level (1, 16, 113, N + 1), never past N + 1.
    uint32_t LevelStart(int level) const;

private:
    struct Record {
        uint16_t index = 0;
        uint16_t count = 0;
        uint8_t nameLength = 0;
        uint32_t nameOffset = 0;
    };
    bool ReadRecord(uint32_t r, Record& out) const;
    uint32_t FindCateRecordNo(uint32_t index, uint32_t lo, uint32_t hi) const;
    std::string ReadNameOf(const Record& rec) const;

    std::string m_folder;
    platform::File m_file;
    uint32_t m_recordCount = 0;
    uint32_t m_parent = 0;
    int m_rowCount = 0;
    std::array<CateRow, kCateRowCapacity> m_rows{};
};
