#pragma once
// "nvr.sdb": the 30-byte base record of every place of the search data (the
// company file "sch_corp.sdb" and the apartment file "sch_apt.sdb" share
// the layout), and NcSearchDB, its small reader.
//
// File: a 30-byte first slot nobody reads, then record i (from 0) at
// (i + 1) * 30; the names lie elsewhere in the file at the records' offsets.
// Base record (little-endian):
//   0 u32 name offset     4 u8 name length (CP949, no terminator)
//   5 u8 flags            6 u32 POI id
//  10 u16 packed category: bits 12-15 level 1, 6-11 level 2, 0-5 level 3
//  12 u32 area code      16 u16 telephone area (digits after the 0)
//  18 u32 telephone number (exchange * 10000 + line)
//  22 u32 x              26 u32 y   (map units)
#include <cstdint>
#include <string>

#include "platform/file_io.h"

inline constexpr uint32_t kPoiBaseRecordBytes = 30;
inline constexpr size_t kPoiNameBufferBytes = 256;  // 255 bytes and the zero

struct PoiBaseRecord {
    uint8_t bFlags = 0;
    uint32_t nPOIID = 0;
    uint16_t wCatePacked = 0;
    uint32_t uAreaCode = 0;
    uint16_t wTelArea = 0;
    uint32_t uTelNumber = 0;
    uint32_t x = 0;
    uint32_t y = 0;
};

// Category code g * 10000 + h * 100 + m of a packed category.
uint32_t CateCodeOf(uint16_t packed);
// Category index: g * 30 + h, and times 30 plus m when m is not 0.
uint32_t CateIndexOf(uint16_t packed);
// "(0%d)%03d-%04d", "%03d-%04d" without an area number, "" when both are 0.
std::string FormatTelephone(uint16_t telArea, uint32_t telNumber);

class NcSearchDB {
public:
    // folder ends with a path separator; opens the file at once.
    int SetFolder(const std::string& folder);
    // keep non-zero: nothing is done and 1 returned. Otherwise the file is
    // (re)opened: 1 when it opened, 0 when it is missing or unreadable, and
    // the reads that follow then find nothing.
    int Open(int keep);
    bool IsOpen() const { return m_file.IsOpen(); }
    // Number of whole records in the file.
    uint32_t RecordCount() const { return m_recordCount; }

    // The name of record i into buffer (zero-terminated, at most 255 bytes);
    // its length, 0 with an empty buffer when the record or its name is not
    // in the file.
    int ReadName(uint32_t i, char (&buffer)[kPoiNameBufferBytes]);
    std::string ReadName(uint32_t i);
    // The fields of record i: 1, or 0 (record cleared) when it is not in the
    // file.
    int ReadRecord(uint32_t i, PoiBaseRecord& record);

private:
    std::string m_folder;
    platform::File m_file;
    int64_t m_fileSize = 0;
    uint32_t m_recordCount = 0;
};
