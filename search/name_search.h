#pragma once
// NcSearchMain: the name engine. It searches the names of places (kind 0),
// companies (kind 1) and apartments (kind 2) in the search folder with
// buffered reads on demand, filters the hits by category, area and radius
// and fills result rows from the base records.
//
// Files of a kind (all little-endian, no magic):
//   base     "nvr.sdb" / "sch_corp.sdb" / "sch_apt.sdb": u32 record count,
//            then 30-byte records at (i + 1) * 30 (see poi_base.h), sorted
//            by the names' CP949 bytes.
//   pairs    "Idx.sdb" / "sch_corp_ext_idx.sdb" / "sch_apt_ext_idx.sdb":
//            u32 entry count; entry i at (i + 1) * 12: 4 bytes CP949 text of
//            two characters (zero-padded), u32 posting count, u32 offset of
//            its postings (3-byte record numbers, ascending).
//   initials "chosungidx.sdb" / ...: u32 key-entry count, u32 record count;
//            key entry i at 16 + i * 16: 4 bytes text (the initials of the
//            first two characters), u32 first position in the list, u32
//            number of records, u32 offset of its record-number list. The
//            entries are sorted by the initial-consonant key of their first
//            two characters and each list by the whole name's
//            initial-consonant key, then by name.
//   by area  "cho_addr_idx.sdb" / ...: u32 area count, u32 record count;
//            area entry i at (i + 1) * 16: u32 area code (ascending, the
//            record's code cut to at most four digits), u32 key-entry count,
//            u32 record count, u32 offset of the area's key entries (laid
//            out as in the whole index).
//   full     "wansungidx.sdb" / ...: as the initials index, keyed by the
//            CP949 bytes of the first two characters; the lists are in name
//            order.
// Place detail files (kind 0): "sch_poi_idx.sdb" (u32 count; entry i at
// (i + 1) * 8: u32 POI id ascending, u32 main record number) and
// "poi_detail.sdb" (u32 count; entry for record i at (i + 1) * 10: u8
// detail kind, i16 x and y offsets of the entry point, u32 text offset, u8
// text length).
// Buildings and sub-places (kind 0): "building.sdb" (u32 count; entry i at
// (i + 1) * 19: f64 building key ascending, u32 offset of its facility
// list, u16 facility count, u32 offset of the building name, u8 name
// length; a facility is 7 bytes: u32 record number, u8 group, i8 floor, u8
// kind, 1 = listed without a POI id) and "poi_sub.sdb" (u32 count; entry i
// at (i + 1) * 10: u32 key ascending, u32 offset of its items, u16 item
// count; an item is 65 bytes, see kSubPlaceItemBytes).
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_io.h"
#include "search/poi_base.h"
#include "search/search_records.h"

inline constexpr uint32_t kNameHitCap = 1000;
inline constexpr uint32_t kNameIndexEntryBytes = 16;
inline constexpr uint32_t kPairIndexEntryBytes = 12;
inline constexpr uint32_t kPoiIdIndexEntryBytes = 8;
inline constexpr uint32_t kPoiDetailEntryBytes = 10;
inline constexpr uint32_t kBuildingEntryBytes = 19;
inline constexpr uint32_t kFacilityBytes = 7;
inline constexpr uint32_t kSubPlaceEntryBytes = 10;
// u32 name offset, u8 name length, u8 flags, u32 POI id, u16 packed
// category, u32 area code, u16 telephone area, u32 telephone number, u32 x,
// u32 y, i16 and i16 entry-point offsets, u8 detail kind, 28 bytes detail
// text, 2 bytes unused.
inline constexpr uint32_t kSubPlaceItemBytes = 65;
inline constexpr uint32_t kSubPlaceCap = 200;
inline constexpr uint32_t kFacilityRowCap = 15;
inline constexpr size_t kNameReadBufferBytes = 16 * 1024;
// The whole indexes keep the text of every 32nd entry in memory.
inline constexpr uint32_t kFenceStep = 32;
inline constexpr int kNameStopOff = 1;
inline constexpr int kNameStopNewer = 2;

// The five name files of a kind, in the order base, pairs, initials, by
// area, full; nullptr for a kind other than 0, 1, 2.
const char* const* NameFileNames(uint32_t kind);

struct NameHit {
    uint32_t nPOIID = 0;
    uint32_t nRecord = 0;
    uint32_t nDistance = 0;
};

// A facility of a building that passed the search.
struct FacilityHit {
    uint32_t nRecord = 0;
    uint32_t nDistance = 0;
    uint8_t group = 0;
    int8_t floor = 0;
};

// A row of the facility list of a building.
struct FacilityRow {
    uint32_t nRecord = 0;
    std::string name;      // CP949, at most 36 bytes
    std::string building;  // CP949, at most 36 bytes
    int8_t floor = 0;
};

// A read window over one file: small reads come from a 16 KB buffer. A miss
// right behind the window refills all of it from there (walks in file
// order); any other miss reads one small block at the asked offset, so
// scattered reads cost one short read each.
class NameReadWindow {
public:
    explicit NameReadWindow(uint32_t behind) : m_behind(behind) {}
    void Reset() {
        m_file = nullptr;
        m_size = 0;
    }
    bool Read(const platform::File& file, uint64_t at, void* out, size_t n);

private:
    static constexpr size_t kSmallFill = 512;
    const platform::File* m_file = nullptr;
    uint64_t m_start = 0;
    size_t m_size = 0;
    uint32_t m_behind;
    uint8_t m_buf[kNameReadBufferBytes];
};

// Filters of a search (0 = not set).
struct NameFilter {
    uint32_t cateIndex = 0;   // not used for kind 1
    uint32_t areaCode = 0;
    uint32_t radiusM = 0;
    int32_t centerX = 0;
    int32_t centerY = 0;
};

// True when the category index is the filter or lies below it.
bool CategoryPasses(uint32_t cateIndex, uint32_t filter);
// True when the area code is the filter's (or a merged area's member's) or
// lies below it.
bool AreaPasses(uint32_t areaCode, uint32_t filter);
// The member codes of a merged area, empty for any other code.
std::vector<uint32_t> MergedAreaMembers(uint32_t code);
// The area code cut to at most four digits, as the area-split index keys it.
uint32_t ShortAreaCode(uint32_t code);

// Per character of a CP949 name: the initial-consonant key (MakeInitialKey)
// of its UTF-16 text.
std::vector<uint8_t> NameInitialKey(std::string_view cp949Name);

// Name routines (the search manager chooses one).
enum class NameRoutine {
    kSingleChar,
    kAptName,
    kFullText,
    kConsonant,
    kHonhap,
    kHonhapFirstCh,
    kFullName,
    kConsonantRange,
    kHonhapRange,
    kNameRange,
};
const char* NameRoutineName(NameRoutine routine);

class NcSearchMain {
public:
    NcSearchMain();

    void SetFolder(const std::string& searchFolder) { m_folder = searchFolder; }
    // Opens the five name files of the kind: 1, or 0 for another kind or
    // when the base file does not open.
    int OpenNameFiles(uint32_t kind);
    // Opens "sch_poi_idx.sdb", "poi_detail.sdb", "building.sdb" and
    // "poi_sub.sdb" (any may be missing).
    int OpenDetailFiles();
    // Puts an open file in place of one of those files (by its name: a name
    // file of the open kind or a detail file) and reads its head again as
    // an open would; the answer of that open, or 0 for a name the engine
    // does not hold. For callers that hold the bytes elsewhere (in memory).
    int UseFile(std::string_view name, platform::File file);

    // The search about to run: the keyword (CP949), the filters, the order
    // (the hits of the last search stay until the next Run).
    // The cancel check is asked in every loop step: 0 go on, kNameStopOff
    // (the search was switched off) or kNameStopNewer (a newer job came)
    // stops the search with no hits.
    void SetJob(std::string_view cp949Keyword, const NameFilter& filter, uint8_t orderBy);
    void SetCancel(std::function<int()> cancelled) { m_cancelled = std::move(cancelled); }

    // One routine: 0 nothing or stopped, 1 hits below the cap, 2 cap reached.
    int Run(NameRoutine routine);

    // Hits of the last walking search, or the range of a listing.
    std::vector<NameHit>& Hits() { return m_hits; }
    bool ShortPath() const { return m_shortPath; }
    uint32_t RangeCount() const { return m_rangeCount; }
    // Record number at a position of the last listing.
    uint32_t RangeRecord(uint32_t position);
    // Drops the listing (its positions were turned into hits).
    void EndShortPath() { m_shortPath = false; }

    // A place record (of "nvr.sdb", whatever kind is open).
    int ReadPlace(uint32_t record, PoiBaseRecord& out) { return ReadRecordFrom(m_places, m_placeCount, record, out); }
    std::string ReadPlaceName(uint32_t record) { return ReadNameFrom(m_places, m_placeCount, record); }

    // Base record access.
    uint32_t RecordCount() const { return m_recordCount; }
    int ReadRecord(uint32_t record, PoiBaseRecord& out);
    std::string ReadName(uint32_t record);
    // The name of a record, valid until the next read of a name.
    std::string_view NameOf(uint32_t record);
    uint32_t DistanceTo(const PoiBaseRecord& record) const;

    // The main record's name of a POI id (empty when absent).
    std::string GetMainName(uint32_t poiId);
    // The detail of a record: 1, or 0 (fields zero) when missing.
    int GetDetail(uint32_t record, uint8_t& kind, int16_t& dx, int16_t& dy, std::string& text);

    // The facilities of a building (exact key) that pass the category and
    // area filters and, with a keyword, hold it under the consonant mask; a
    // facility of the same POI id as the hit before it is skipped. 0 none,
    // 1 hits below the cap, 2 at 1000 hits. Needs the place files open.
    // The place records are read through a handle of their own, so that
    // any kind's name files may be open.
    int SearchBuildingFacilities(double buildingKey, std::string_view cp949Keyword, const NameFilter& filter);
    std::vector<FacilityHit>& FacilityHits() { return m_facilityHits; }
    // The building name of the last facility search (CP949).
    const std::string& FacilityBuilding() const { return m_facilityBuilding; }
    // The facility list of a building in stored order: with a POI id the
    // entries whose record has it, without one the entries of kind 1; an
    // entry of the same POI id as the row before is skipped. At most 15
    // rows; 0 nothing, 1 below the cap, 2 at it.
    int ListBuildingFacilities(double buildingKey, uint32_t poiId, std::vector<FacilityRow>& rows);
    // The sub-places of request.nRecordID as results (nIndex from 0,
    // distance from request.ptCenter); at most 200. 0 none (or no file), 1
    // below the cap, 2 at it; the number filled into count.
    int ListSubPlaces(const SearchRequest& request, SearchResult* rows, int* count);

    // The name tests of the routines, on character boundaries, against the
    // keyword of SetJob: the name begins with the keyword (a bare consonant
    // of the keyword matching any character with that initial when
    // consonantMask), or holds it at some character (masked likewise).
    bool PrefixMatches(std::string_view name, bool consonantMask) const;
    bool ContainsKeyword(std::string_view name, bool consonantMask) const;

private:
    struct KeyEntry {
        uint32_t first = 0, count = 0, listOffset = 0;
        std::array<uint8_t, 4> text{};
    };
    // Every kFenceStep-th entry's text of a whole index, kept in memory.
    using Fence = std::vector<std::array<uint8_t, 4>>;
    struct IndexView {
        const platform::File* file = nullptr;
        uint64_t entriesAt = 0;
        uint32_t entryCount = 0;
    };
    void ResetWindows();
    // The counts and views of the open name files (1, or 0 without a base
    // file) and of the detail files (1).
    int ReadNameHeads(uint32_t kind);
    int ReadDetailHeads();
    // 0, or the reason the search must stop.
    int Cancelled();
    bool ReadEntry(const IndexView& view, uint32_t i, KeyEntry& e) const;
    // Reads the fence of a whole index (empty when the entries do not read).
    static void BuildFence(const IndexView& view, Fence& fence);
    // The fence of a view: the whole indexes have one, the area parts not.
    const Fence* FenceOf(const IndexView& view) const;
    // The first entry whose text is not below the sought key (below(text)
    // false), or the entry count: the fence narrows the entries to one
    // window read from the file; an index without a fence is searched in
    // the file.
    template <typename Below>
    uint32_t LowerEntry(const IndexView& view, Below below) const;
    // Index of the entry whose two key bytes (of its text) equal key, -1.
    int FindInitialEntry(const IndexView& view, uint8_t k0, uint8_t k1) const;
    // The indexes to walk for the keyword's first two initials: the area's
    // views when an area filter is set and found, else the whole index.
    std::vector<IndexView> InitialViews(bool forListing);
    // Adds record when it passes the filters (and test); false at the cap.
    bool Consider(uint32_t record, const std::function<bool(std::string_view)>& test);
    int Finish(bool sortByRecord);
    int Stopped(const char* routine, int reason);

    int SingleChar();
    int AptName();
    int FullText();
    int WalkInitials(NameRoutine routine);
    int HonhapFirstCh();
    int Listing(NameRoutine routine);

    std::string m_folder;
    uint32_t m_kind = 0xFFFFFFFF;
    platform::File m_base, m_pairs, m_initials, m_byArea, m_full, m_poiIdx, m_detail, m_building, m_sub, m_places;
    uint32_t m_recordCount = 0, m_pairCount = 0, m_poiIdxCount = 0, m_detailCount = 0;
    uint32_t m_buildingCount = 0, m_subCount = 0, m_placeCount = 0;
    IndexView m_initialView, m_fullView;
    Fence m_initialFence, m_fullFence;
    uint32_t m_areaCount = 0;

    struct KeyChar {
        std::string bytes;
        bool jamo = false;
        uint8_t key = 0;
    };
    bool MatchesAt(std::string_view name, size_t pos, bool consonantMask) const;

    std::string m_keyword;
    std::vector<KeyChar> m_keyChars;
    std::vector<uint8_t> m_keywordInitials;
    NameFilter m_filter;
    uint8_t m_orderBy = 0;
    std::function<int()> m_cancelled;
    uint32_t m_steps = 0;

    static int ReadRecordFrom(const platform::File& file, uint32_t count, uint32_t record, PoiBaseRecord& out);
    static std::string ReadNameFrom(const platform::File& file, uint32_t count, uint32_t record);
    struct Building {
        uint32_t listOffset = 0;
        uint16_t count = 0;
        std::string name;
    };
    bool FindBuilding(double key, Building& out) const;

    // Windows over the base records, the names, record-number lists and
    // index entries; reset whenever the files are opened again.
    NameReadWindow m_recordWindow, m_nameWindow;
    mutable NameReadWindow m_listWindow, m_entryWindow;
    std::string m_nameScratch;

    std::vector<NameHit> m_hits;
    std::vector<FacilityHit> m_facilityHits;
    std::string m_facilityBuilding;
    bool m_shortPath = false;
    uint32_t m_rangeCount = 0;
    const platform::File* m_rangeFile = nullptr;
    uint64_t m_rangeListAt = 0;
};
