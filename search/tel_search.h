#pragma once
// NcSearchTelNum: the telephone-number search. Within one telephone area
// (02, 031, ... 064) it finds the companies whose number begins with the
// digits the driver typed, from the number index "sch_tel.sdb", and takes
// their names and positions from the company base records of
// "sch_corp.sdb" (the 30-byte layout of poi_base.h).
//
// "sch_tel.sdb" (little-endian, no magic):
//   0 u32 area count A      4 u32 second header value (not used)
//   8 2 bytes (not read)   10 A area records of 10 bytes: u16 area number
//   (the digits after the leading 0), u32 entry count, u32 list offset.
//   A list is entries of 8 bytes: u32 key, u32 record number in
//   "sch_corp.sdb", sorted by the key with bit 31 cleared. A key holds the
//   number's digits aligned to the left on eight digits: a seven-digit
//   number times 10, an eight-digit one as it is with bit 31 set.
//
// The search leaves the job's state word at 101 (a page may be fetched);
// a page goes through 102 while it is filled and ends at 103.
//
// The area count of the header is held to the records the file holds and
// to the rows the work memory has room for, and each list to the entries
// the file holds; a typed number of more than eight digits is refused.
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/coords.h"
#include "platform/file_io.h"

inline constexpr uint32_t kTelHeaderBytes = 10;
inline constexpr uint32_t kTelAreaRecordBytes = 10;
inline constexpr uint32_t kTelEntryBytes = 8;
inline constexpr uint32_t kTelResultCap = 1000;
inline constexpr uint32_t kTelKeyLongFlag = 0x80000000u;
// The job's work memory: the area rows (28 bytes each) and behind them the
// result rows of one page (72 bytes each).
inline constexpr uint32_t kTelWorkBytes = 72000;
inline constexpr uint32_t kTelAreaRowBytes = 28;
inline constexpr uint32_t kTelResultRowBytes = 72;
inline constexpr size_t kTelNameBytes = 52;  // 51 bytes and the zero

inline constexpr int kTelStateSearched = 101;
inline constexpr int kTelStateFetching = 102;
inline constexpr int kTelStateFetched = 103;

struct TelAreaRow {
    uint16_t wAreaNumber = 0;
    char szName[5] = {};  // CP949 province name, zero-terminated
    uint32_t listOffset = 0;
    uint32_t count = 0;
};

struct TelResultRow {
    uint32_t uTelNumber = 0;  // the key with bit 31 cleared, or the key / 10
    float fDistance = 0;      // metres from the search centre
    char szName[kTelNameBytes] = {};
    uint32_t x = 0;
    uint32_t y = 0;
};

// The province of a telephone area number (UTF-8), nullptr when the number
// is not one of the sixteen.
const char* TelProvinceName(uint16_t areaNumber);
// The stored key of a number (exchange * 10000 + line): seven digits times
// 10, eight digits with bit 31 set; 0 for any other length (not stored).
uint32_t TelKeyOf(uint32_t telNumber);
// The number a key shows.
uint32_t TelNumberOfKey(uint32_t key);
// The key range [lo, hi) of the numbers that begin with the typed digits
// (1 to 8 of them); false for a number of more than eight digits.
bool TelDigitRange(uint32_t digits, uint32_t& lo, uint32_t& hi);

class NcSearchTelNum {
public:
    // folder ends with a path separator; opens both files.
    int SetFolder(const std::string& folder);
    // 0, or -1 when either file cannot be opened.
    int OpenFiles();
    // Reads the area table; 0 with the count, or -1.
    int ReloadAreaTable(int* outCount);
    // The area rows and their count; -1 without an out pointer.
    int GetAreaTable(const TelAreaRow** outRows, int* outCount) const;

    // Selects the area and the numbers that begin with digits: the count
    // (at most 1000), or -1 when the area is not in the table or the number
    // has more than eight digits.
    int SearchNumber(uint16_t areaNumber, uint32_t digits, const MapPoint& centre);
    // True when the last search had more than 1000 numbers.
    bool LastSearchCapped() const { return m_capped; }
    // Result rows start.. (at most n, and at most a page): the count made,
    // or -1 when no search or page leaves the state at 101 or 103.
    int FetchPage(int start, int n, const TelResultRow** outRows, int* outCount);
    int State() const { return m_state; }
    // Result rows one page holds with the current area table.
    uint32_t PageRows() const;
    void ClearResult();

private:
    bool ReadEntry(uint32_t i, uint32_t& key, uint32_t& record) const;
    uint32_t FindNumberIndex(uint32_t key, uint32_t lo, uint32_t hi) const;

    std::string m_folder;
    platform::File m_tel, m_corp;
    int64_t m_telSize = 0, m_corpSize = 0;
    std::vector<TelAreaRow> m_areas;
    std::vector<TelResultRow> m_rows;
    int m_state = 0;
    uint32_t m_listOffset = 0, m_listCount = 0;
    uint32_t m_first = 0, m_count = 0;
    bool m_capped = false;
    MapPoint m_centre{};
};
