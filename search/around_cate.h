#pragma once
// NcSearchAroundCate: the categories the search around a point offers,
// "cate_around.sdb" in the search folder: up to four levels of category
// codes with names; the children of code C on the next level have the codes
// C * 100 to C * 100 + 99.
//
// File (little-endian, no magic):
//   0 u16 first header value (not used)   2..8 u16 first record of levels
//   1 to 4   10 u16 the record number after the last   12 7 bytes (not
//   read); record r (from 0) at (r + 1) * 19: u32 code, u16 category index
//   searched, u16 symbol number, u16 level-specific value, u32 place count,
//   u8 name length, u32 name offset (CP949). Within a level the records are
//   sorted by code.
//
// The map renderer and the pickers read the lists from their own threads:
// every call takes the engine's lock, and a list is handed out as a copy.
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/file_io.h"

inline constexpr uint32_t kAroundCateRecordBytes = 19;
inline constexpr uint32_t kAroundCateHeaderBytes = 12;
inline constexpr int kAroundCateLevels = 4;
// A code has at most 100 children (C * 100 .. C * 100 + 99).
inline constexpr int kAroundCateMaxRows = 100;
inline constexpr size_t kAroundCateNameBytes = 28;  // 27 bytes and the zero

struct AroundCateRow {
    uint32_t nCode = 0;
    uint16_t wValue1 = 0;  // the category index the around search uses
    uint16_t wValue2 = 0;
    uint16_t wValue3 = 0;
    uint32_t nValue = 0;
    char szName[kAroundCateNameBytes] = {};
};

class NcSearchAroundCate {
public:
    // Opens folder + "cate_around.sdb" and reads its level table: 1, or 0
    // when it is missing (every list is then empty).
    int InitAroundCate(const std::string& searchFolder);
    int ReopenAroundCate();
    // First record and record count of levels 1..4: 1; 0 for another level.
    int GetLevelRange(int level, uint32_t* first, uint32_t* count) const;
    // The level-`level` children of parent into out (cleared first, at most
    // 100); their count.
    int ListCategories(int level, uint32_t parent, std::vector<AroundCateRow>* out);
    // The record of a code (any level): 1, or 0 when it is not stored.
    int GetAroundRecord(uint32_t code, AroundCateRow* row);
    // Level 1..4 of a code by its size (0 for 0).
    static int LevelOfCode(uint32_t code);

private:
    bool ReadRecord(uint32_t r, AroundCateRow& row, bool withName) const;
    uint32_t FindCateRecordNo(uint32_t code, uint32_t lo, uint32_t hi) const;
    int OpenLocked();

    mutable std::mutex m_lock;  // guards everything below
    std::string m_folder;
    platform::File m_file;
    int64_t m_fileSize = 0;
    uint32_t m_levelFirst[kAroundCateLevels] = {};
    uint32_t m_levelCount[kAroundCateLevels] = {};
};
