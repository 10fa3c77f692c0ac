#pragma once
// The address engines: NcSearchAddr over the lot-number files and
// NcSearchNAddr over the road-name files. Both know the administrative
// areas in levels, turn an area code into its text, list the areas under an
// area, find dong/li (or road) names through their text index and find the
// position of a lot or building number inside an area. They share one
// implementation, NcAddrEngine, with the few differences of the road-name
// files switched on kRoadName.
//
// Area file ("nlad.sdb" / "nhad.sdb" / "newaddr.sdb"; little-endian):
//   0 u32 record count N   4..20 u32 first record of levels 1..4 and the
//   number after the last level-4 record   24 u8 split flag   25 9 unused
//   then record r (from 1) at r * 34 (r * 38 for newaddr.sdb), then the
//   names: record r's CP949 name runs from its name offset to record
//   r + 1's (the last to the end of the file), at most 39 bytes, '_' read
//   as a blank.
// AddrAreaRecord (34): u32 code, u16 value2, u16 count, u32 name offset,
//   u16 first block, u16 first index, u16 last block, u16 last index
//   (inclusive), u16 lot flag, u24 base x, u24 base y, u24 x, u24 y.
// NAddrAreaRecord (38): u32 code, u32 count, u32 value2, u32 name offset,
//   then as above.
// Block index ("ncjidx.sdb" / "newaddr_ncjidx.sdb"): per block u32 offset,
//   u32 packed length. Lot file ("ncj.sdb", per province "ncj<name>.sdb";
//   "newaddr_ncj.sdb", "newaddr_ncj<name>.sdb"): one zlib stream per block,
//   at most 7980 bytes = 1140 lot records of 7 bytes: u16 main (0x4000
//   added for a mountain lot), u16 sub, u24 position (x step in bits
//   12..23, y step in bits 0..11; a step is 32 map units).
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "foundation/critical_section.h"
#include "platform/file_io.h"
#include "search/addr_text.h"
#include "search/area_codes.h"

inline constexpr uint32_t kAddrAreaRecordBytes = 34;
inline constexpr uint32_t kNAddrAreaRecordBytes = 38;
inline constexpr uint32_t kAddrHeaderBytes = 25;
inline constexpr uint32_t kAddrLotRecordBytes = 7;
inline constexpr uint32_t kAddrBlockBytes = 7980;
inline constexpr int kAddrBlockRecords = 1140;
inline constexpr uint32_t kAddrBlockIndexEntryBytes = 8;
inline constexpr int kAddrAreaRowCapacity = 230;
inline constexpr int kNAddrAreaRowCapacity = 1000;
inline constexpr int kAddrLotRowCapacity = 200;
inline constexpr int kAddrTextFetchStep = 10;
inline constexpr size_t kAddrNameBytes = 40;  // 39 bytes and the zero
inline constexpr int kAreaTextStyles = 8;
// Offsets of the stored positions: 123 degrees east, 30 degrees north.
inline constexpr uint32_t kAddrOriginX = 0x3D80000;
inline constexpr uint32_t kAddrOriginY = 0xF00000;
inline constexpr int32_t kMountainKeyOffset = 0x4000 * 10000;  // 163840000
inline constexpr uint16_t kMountainMainFlag = 0x4000;
inline constexpr uint32_t kLotStepUnits = 32;

// The row of area lists and text searches of the lot-number engine.
struct AddrAreaRow {
    uint32_t uAreaCode = 0;
    char szName[kAddrNameBytes] = {};
    uint16_t wCount = 0;
    uint16_t wValue2 = 0;
    uint16_t wFirstBlock = 0, wFirstIndex = 0, wLastBlock = 0, wLastIndex = 0;
    uint16_t wLotFlag = 0;
    uint32_t nBaseX = 0, nBaseY = 0;
    uint32_t ptX = 0, ptY = 0;
};
static_assert(sizeof(AddrAreaRow) == 76);

// The row of the road-name engine: the same with 32-bit values.
struct NAddrAreaRow {
    uint32_t uAreaCode = 0;
    char szName[kAddrNameBytes] = {};
    uint32_t nCount = 0;
    uint32_t nValue2 = 0;
    uint16_t wFirstBlock = 0, wFirstIndex = 0, wLastBlock = 0, wLastIndex = 0;
    uint16_t wLotFlag = 0;
    uint32_t nBaseX = 0, nBaseY = 0;
    uint32_t ptX = 0, ptY = 0;
};
static_assert(sizeof(NAddrAreaRow) == 80);

// A lot (or building number) found.
struct AddrLotRow {
    uint32_t uAreaCode = 0;
    char16_t szAreaName[40] = {};
    uint32_t bMountain = 0;
    uint32_t nMainNo = 0;
    uint32_t nSubNo = 0;
    uint32_t ptX = 0, ptY = 0;
};
static_assert(sizeof(AddrLotRow) == 104);

// The lot key of a number: main * 10000 + sub, with the mountain offset.
inline int32_t AddrLotKey(bool mountain, int32_t main, int32_t sub) {
    return main * 10000 + sub + (mountain ? kMountainKeyOffset : 0);
}

template <bool kRoadName>
class NcAddrEngine {
public:
    using Row = std::conditional_t<kRoadName, NAddrAreaRow, AddrAreaRow>;
    using TextIndex = std::conditional_t<kRoadName, NcSearchNAddrText, NcSearchAddrText>;
    static constexpr uint32_t kRecordBytes = kRoadName ? kNAddrAreaRecordBytes : kAddrAreaRecordBytes;
    static constexpr int kRowCapacity = kRoadName ? kNAddrAreaRowCapacity : kAddrAreaRowCapacity;

    NcAddrEngine();
    virtual ~NcAddrEngine() = default;
    NcAddrEngine(const NcAddrEngine&) = delete;
    NcAddrEngine& operator=(const NcAddrEngine&) = delete;

    // Number of code groups as this engine counts them (the road-name
    // engine: 3 for every code above 9999).
    static int CodeGroups(int64_t code);

    // Both folders end with a path separator.
    void SetFolders(const std::string& dataFolder, const std::string& indexFolder);
    // Forgets the files and clears rows, the current area and the lot
    // state; makes the two block buffers.
    void AllocBlockBuffers();

    // Opens the area file ("nlad.sdb" when legal is non-zero, with the text
    // index, else "nhad.sdb"; the road-name engine always "newaddr.sdb" and
    // its text index) and reads its header and code index. 1 when it
    // opened; 0 when it is missing or too short for its header, and every
    // look-up then finds nothing. The area text cache is cleared.
    int OpenAreaFile(int legal);
    int Reopen(int legal);
    void ClearRows();
    bool IsAreaFileOpen() const { return m_areaFile.IsOpen(); }
    uint32_t RecordCount() const { return m_count; }
    bool IsSplit() const { return m_split; }

    // The text of an area code in one of eight styles (CP949, at most 39
    // bytes): the number of the code's groups, 0 with an empty text when no
    // area file is open or the code is 0. A level whose record is missing
    // adds nothing.
    int GetAreaText(int64_t code, std::string& out, int style);
    // The record of the code into row; 1, 0 when the code has no record.
    // outLevels receives the code's groups.
    int GetAreaRecord(int64_t code, Row& row, int* outLevels = nullptr);

    // The areas of a level under a code, sorted (level 1 by code, the
    // others by name); their count.
    int ListAreas(int64_t code, int level);
    // The dong/li (road) names that begin with the keyword, within the
    // area; their count (at most 200).
    int SearchAreaByText(std::string_view cp949Keyword, uint32_t areaFilter);
    int RowCount() const { return static_cast<int>(m_rows.size()); }
    const Row& AreaRow(int i) const { return m_rows[static_cast<size_t>(i)]; }
    // Exchanges the area rows with other, so that an area list can be made
    // without losing the rows of the last dong/li search.
    void SwapRows(std::vector<Row>& other) { m_rows.swap(other); }
    // A slice of the area rows: outCount = min(count - start, n), 0 when
    // start is negative or beyond the count or n is not positive.
    int GetRows(int start, int n, int* outCount, const Row** outRows) const;

    // Opens the lot file of the province (index = province code - 10) or
    // the whole one, and the block index; 1 when both opened.
    int OpenLotFile(int province);
    void ResetLotState();
    // 1 found (the lot itself, else the nearest lower lot of the area, else
    // its first lot), 0 not found, -1 a block that is damaged or does not
    // fit the block buffer.
    int FindLot(int mountain, int32_t lotKey, int64_t areaCode);
    // Key and position (relative to the origin) of the lot found.
    int32_t FoundKey() const { return m_foundKey; }
    uint32_t FoundX() const { return m_foundX; }
    uint32_t FoundY() const { return m_foundY; }
    // Appends up to min(max, 200) lot rows from the current position, never
    // beyond the 200 rows the lot row area holds; 1 with outCount > 0, else
    // outCount 0 and -1.
    int FetchLots(int max, int* outCount);
    int LotRowCount() const { return static_cast<int>(m_lotRows.size()); }
    const AddrLotRow& LotRow(int i) const { return m_lotRows[static_cast<size_t>(i)]; }

    TextIndex& Text() { return m_text; }

private:
    struct AreaRecord {
        uint32_t code = 0;
        uint32_t count = 0;
        uint32_t value2 = 0;
        uint32_t nameOffset = 0;
        uint16_t firstBlock = 0, firstIndex = 0, lastBlock = 0, lastIndex = 0, lotFlag = 0;
        uint32_t baseX = 0, baseY = 0, x = 0, y = 0;
    };
    struct CacheEntry {
        bool valid = false;
        int64_t code = 0;
        std::string text;
        int levels = 0;
    };

    bool ReadAreaRecord(uint32_t r, AreaRecord& out) const;
    bool CodeOfRecord(uint32_t r, uint32_t& code) const;
    std::string ReadAreaName(uint32_t r, const AreaRecord& rec) const;
    uint32_t FindAreaRecordNo(int64_t key, uint32_t lo, uint32_t hi) const;
    // Record number of the code in its level, 0 when it has none.
    uint32_t FindCode(int64_t code, int level) const;
    int64_t LevelPrefix(int64_t code, int groups, int level) const;
    Row MakeRow(const AreaRecord& rec, std::string_view name) const;
    bool AppendRow(const Row& row);
    void ListChildAreas(int64_t code, int level);
    std::vector<int64_t> ExpandAreaCode(int64_t code, int level);
    void AddCityRows(int64_t code);

    int LoadBlock(int block);
    int32_t LotKeyAt(int index) const;
    int FindLotBlock(int64_t key, int lo, int* firstIdx, int hi, int* lastIdx);
    int FindLotInBlock(int64_t key, int lo, int hi) const;
    int BlockEnd(int block) const;
    int MakeLotRows(int count);

    std::string m_dataFolder, m_indexFolder;
    platform::File m_areaFile, m_lotFile, m_blockIndex;
    int64_t m_areaFileSize = 0;
    uint32_t m_count = 0;
    uint32_t m_start[6] = {};  // [1..4] first record of a level, [5] after the last
    bool m_split = false;
    std::vector<uint32_t> m_codeIndex;  // lot-number engine: code of record r at r - 1

    std::vector<Row> m_rows;
    std::vector<AddrLotRow> m_lotRows;
    bool m_cityExpanded = false;

    AreaRecord m_found;  // area of the lot search
    std::string m_foundName;
    std::vector<uint8_t> m_packed, m_inflated;
    int m_blockRecords = 0;
    int m_loadedBlock = -1;
    int m_curBlock = -1, m_curIndex = -1;
    int32_t m_foundKey = 0;
    uint32_t m_foundX = 0, m_foundY = 0;

    CMgrCriticalSection m_textLock;
    std::array<CacheEntry, kAreaTextStyles> m_cache;
    TextIndex m_text;
};

class NcSearchAddr : public NcAddrEngine<false> {};
class NcSearchNAddr : public NcAddrEngine<true> {};

// Reads the area codes of every record of an area file (the code index of
// the lot-number engine): the record count, and the codes into out.
// 0 when the file cannot be read.
uint32_t LoadAreaCodeIndex(const std::string& folder, const std::string& fileName, std::vector<uint32_t>& out);
