#pragma once
// NcSearchCatesisul: the category facility search. It lists the places of
// one category from the category index "cateidx.sdb", optionally within an
// area, within a radius of the search centre (kinds 3 and 4) or beside the
// sampled route ahead (kind 5), and narrowed to names that begin with a
// keyword (syllables, Hangul initials or both). Names and rows come from
// the base records of "nvr.sdb" through NcSearchDB.
//
// "cateidx.sdb" (little-endian, no magic):
//   0 u32 entry count E     4 5 bytes (not read)
//   entry e (from 0) at (e + 1) * 9: u16 category code (here the category
//   index of the category tree), u24 record count, u32 list offset; the
//   entries are sorted by code.
//   A list holds 17-byte records sorted by the place's name (CP949 bytes):
//   u32 record number in "nvr.sdb", u32 area code, u32 x, u32 y, u8 key
//   byte (the consonant classes of the name's first two characters).
//
// At most 15000 results. A search stops before the next record when the
// cancel check answers (the search was switched off or a newer request
// came); its results are then dropped.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/coords.h"
#include "platform/file_io.h"
#include "search/poi_base.h"
#include "search/search_records.h"

inline constexpr uint32_t kCateIdxEntryBytes = 9;
inline constexpr uint32_t kCateIdxRecordBytes = 17;
inline constexpr uint32_t kCateResultCap = 15000;
inline constexpr uint32_t kCateChunkRecords = 15000;
// Entries scanned when no category is given.
inline constexpr uint32_t kCateAllEntries = 13;
// Route sampling: at most 500 points.
inline constexpr uint32_t kPathPointsMax = 500;
inline constexpr uint32_t kPathFlaggedRadiusM = 300;
inline constexpr int32_t kPathRoadSearchM = 500;
inline constexpr uint8_t kPathFlagStretchEnd = 3;

struct CateIdxRecord {
    uint32_t nRecord = 0;
    uint32_t uAreaCode = 0;
    uint32_t x = 0;
    uint32_t y = 0;
    uint8_t bKey = 0;
};

// One result: the result number, its distance from the centre, the
// relative bearing (kinds 3, 4) or the side (kind 5: 90 right, 270 left, 0
// on the line) and the route offset (kind 5 only).
struct CateSortEntry {
    uint32_t nResult = 0;
    uint32_t nDistance = 0;
    uint32_t nBearing = 0;
    uint32_t nOffset = 0;
};

// Consonant class of an initial index 0..18 (a double consonant shares its
// single one's class), -1 outside.
int ConsonantClass(int initialIndex);
// The key byte of a CP949 name: class + 2 of the first character in bits
// 4-7, of the second in bits 0-3; 1 for a character that is not Hangul
// (or missing).
uint8_t MakeKeyByte(std::string_view cp949Name);
// Relative bearing in whole degrees of the point seen from the centre,
// with heading in degrees (0 when the screens give none).
uint32_t CalcRelativeBearing(const MapPoint& centre, const MapPoint& point, int32_t headingDeg);
// Direction class 0..7 of a relative bearing.
uint8_t DirectionClass(uint32_t bearing);

// The route test of one place against the sample points: true when it is
// found, with the side and the best offset. roadClass answers the road
// class of the road nearest a place within 500 m (-1 for none); it is asked
// only at flagged points.
struct PathTestResult {
    bool found = false;
    uint32_t side = 0;
    uint32_t offsetM = 0;
};
PathTestResult PathRouteTest(const MapPoint& place, const MapPoint* points, const uint8_t* flags, uint32_t count,
                             uint64_t offsetLimitM, const std::function<int(const MapPoint&)>& roadClass);
// The offset limit of a radius: trunc(1.1 x radius), 110 for 0.
uint64_t PathOffsetLimit(uint32_t radiusM);

class NcSearchCatesisul {
public:
    explicit NcSearchCatesisul(NcSearchDB* db);

    // Asked before every record: 0 go on, kNameStopOff (switched off) or
    // kNameStopNewer (a newer request) ends the scan with no results.
    void SetCancel(std::function<int()> cancelled) { m_cancelled = std::move(cancelled); }
    // The road class of the road nearest a place (flagged route points);
    // by default the map-data manager's nearest link within 500 m.
    void SetRoadClassLookup(std::function<int(const MapPoint&)> lookup) { m_roadClass = std::move(lookup); }

    // Clears the results, reopens "nvr.sdb" and opens "cateidx.sdb": 1, or
    // 0 when the index cannot be opened.
    int PrepareCateSearch(const std::string& folder, uint32_t categoryCode, uint32_t areaCode);
    // Kinds 3 and 4: 0 nothing found or failure, 1 results, 2 the result
    // list is full.
    int SearchCategory(const std::string& folder, const SearchRequest& request, std::string_view cp949Keyword);
    // Kind 5 over the sample points and their flags: 0 without a category
    // or points or when the index cannot be opened; 2 when the list is
    // full; else 1 (also when nothing was found or the scan was cancelled).
    int SearchPathCategory(const std::string& folder, const SearchRequest& request, std::string_view cp949Keyword,
                           uint16_t pointCount, const MapPoint* points, const uint8_t* flags);

    uint32_t ResultCount() const { return static_cast<uint32_t>(m_entries.size()); }
    const CateSortEntry& Entry(uint32_t i) const { return m_entries[i]; }
    // The POI record number of the i-th result (in the order of the list).
    uint32_t RecordOf(uint32_t i) const { return m_records[m_entries[i].nResult]; }
    uint32_t EntryCount() const { return m_entryCount; }

    // Fills the place fields of the i-th result: name, position, flags, POI
    // id, area, category code and index, telephone, distance and kind byte
    // (the direction class). 1, or 0 when its record cannot be read.
    int FillPOIRow(uint32_t i, SearchResult& row);
    void SortByDistance();

private:
    struct Range {
        uint32_t first = 0, end = 0;
    };
    struct KeywordTest {
        bool active = false;  // at least two characters
        uint8_t key = 0;
        std::string masked;   // the keyword's bytes under its mask
        std::string mask;
        std::vector<uint8_t> initials;
    };
    int FindCateEntry(uint32_t code) const;
    bool ReadEntry(uint32_t e, uint32_t& code, uint32_t& count, uint32_t& offset) const;
    bool ReadListRecord(uint32_t offset, uint32_t i, uint32_t& record) const;
    bool FindNameRange(uint32_t offset, uint32_t count, std::string_view keyword, Range& out);
    bool MakeKeywordTest(std::string_view keyword, KeywordTest& test) const;
    bool PassesKeyword(const CateIdxRecord& rec, const KeywordTest& test);
    // 0 go on; else the scan ends (trace written, results dropped).
    int CheckCancel(const char* routine, std::string_view keyword);
    // The scan of one entry; 0, 1 or 2 as the searches.
    int LoadRecordIdxCate(uint32_t entry, const SearchRequest& request, std::string_view keyword);
    int LoadPathPOIList(uint32_t entry, const SearchRequest& request, std::string_view keyword, uint16_t pointCount,
                        const MapPoint* points, const uint8_t* flags);
    // Walks the entry's records (narrowed by the keyword) in chunks; visit
    // answers 0 go on, 2 stop full. Returns 0 nothing / cancelled, -1 when
    // cancelled, 2 full, 1 done.
    int ScanEntry(uint32_t entry, const SearchRequest& request, std::string_view keyword, const char* routine,
                  const std::function<int(const CateIdxRecord&)>& visit);

    NcSearchDB* m_db;
    std::function<int()> m_cancelled;
    std::function<int(const MapPoint&)> m_roadClass;
    platform::File m_index;
    int64_t m_indexSize = 0;
    uint32_t m_entryCount = 0;
    uint32_t m_categoryCode = 0, m_areaCode = 0;
    std::vector<uint32_t> m_records;       // result slots: POI record numbers
    std::vector<CateSortEntry> m_entries;  // in result order, or sorted
    std::vector<uint8_t> m_chunk;
};
