#pragma once
// CMneSearchManager: owns the search engines and is the one place the
// search module reaches them through. It derives the search folder
// (data folder + "Search\") and the map folder (+ "Map\"), loads the
// engines, routes the address kinds (6 lot-number dong/li, 7 road-name
// dong/li) and serves the address look-ups the screens call directly.
//
// It also runs the name search of kinds 0, 1 and 2 (NcSearchMain): the
// keyword check, the choice of the routine, the merge of a place's names,
// the distance order and the rows. The category, telephone and theme
// engines are not built yet: their kinds find nothing here.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "search/around_cate.h"
#include "search/cate_search.h"
#include "search/cate_tree.h"
#include "search/ic_search.h"
#include "search/name_search.h"
#include "search/poi_base.h"
#include "search/search_addr.h"
#include "search/search_records.h"
#include "search/tel_search.h"
#include "search/theme_search.h"

// A row of the area and lot-number look-ups (100 bytes). Area lists: the
// area's count value and level value; lot look-ups: "<area> <number>", the
// main number as value and the sub number as level value.
struct SearchAreaRow {
    uint32_t uAreaCode = 0;
    char16_t szName[40] = {};
    uint32_t nValue = 0;
    uint16_t wLevelValue = 0;
    uint8_t pad90[2] = {};
    uint32_t x = 0;
    uint32_t y = 0;
};
static_assert(sizeof(SearchAreaRow) == 100);

// What LoadEngines could not load, as bits.
inline constexpr int kLoadLotAreas = 1;
inline constexpr int kLoadRoadAreas = 2;
inline constexpr int kLoadCategories = 4;
inline constexpr int kLoadPlaces = 8;
inline constexpr int kLoadNames = 16;
inline constexpr int kLoadTelephones = 32;
inline constexpr int kLoadAroundCategories = 64;

// Kinds 3 and 4 without a category: the radius is held to this.
inline constexpr uint32_t kCateAllRadiusMaxM = 40232;

// The name-search routine the manager picks for a request (keyword class
// and character count of MakeSearchKey, position of the first bare
// consonant, -1 when none). kNone: nothing to search (count 0, answer 1).
struct NameRoutineChoice {
    bool none = false;
    NameRoutine routine = NameRoutine::kSingleChar;
};
NameRoutineChoice ChooseNameRoutine(const SearchRequest& request, int keyClass, int charCount, int firstConsonant);
// Keeps the first hit of each POI id ordered by (id, flag bit 4, record
// number), then sorts the kept ones by record number. flagBit4 gives the
// bit for a record. Hits without a POI id are all kept.
void MergePoiHits(std::vector<NameHit>& hits, const std::function<bool(uint32_t)>& flagBit4);

class CMneSearchManager {
public:
    CMneSearchManager();
    ~CMneSearchManager();
    CMneSearchManager(const CMneSearchManager&) = delete;
    CMneSearchManager& operator=(const CMneSearchManager&) = delete;

    // dataFolder: the data root (native or Windows-style path).
    void SetFolders(const std::string& dataFolder);
    const std::string& SearchFolder() const { return m_searchFolder; }
    const std::string& MapFolder() const { return m_mapFolder; }
    // Every engine loads its base data. 1 when all loaded; otherwise the
    // negated kLoad* bits of what failed (the rest still serves). The
    // interchange and theme data are optional: without their files those
    // engines stay empty.
    int LoadEngines();

    // The bytes the engines' tables take in a base memory of size bytes:
    // the area-code indexes of the legal and the administrative areas (a
    // word per area), the road-name holder (with the theme tables when
    // withThemes), then the address engines, hit lists, category tree and
    // around-category engine; 0 when that does not fit. The engines keep
    // their tables in their own storage; this is the check that the data
    // stays within what the module sets aside for them.
    uint32_t LayoutEngines(uint32_t size, bool withThemes) const;

    // Kinds 6 and 7: the dong/li (road) names that begin with the CP949
    // keyword within the area; the hit count, or -1 when the engine's files
    // are missing.
    int SearchDongLi(uint32_t kind, std::string_view cp949Keyword, uint32_t areaCode);
    // Rows start.. of the last dong/li search of that kind into results
    // (nIndex from 0 within the page); the number filled.
    int GetDongLiRows(uint32_t kind, int start, int count, SearchResult* results);

    // The area list of the screens: level -1 the level above the code's
    // parent, 0 the code's siblings, 1 its children; parentName receives
    // the parent's name (40 characters). The row count, -1 for a bad code
    // or level.
    int GetAreaList(uint32_t code, int level, char16_t* parentName, SearchAreaRow* rows, int maxRows, bool roadName);
    // The lot (or building number) and those after it: rows, 0 when nothing
    // matches, -1 when the area code is not in the data.
    int SearchAddrLotNumber(uint32_t code, int main, int sub, int mountain, int maxRows, SearchAreaRow* rows,
                            bool roadName);
    // The area's name at a text style; its length in characters.
    int GetAreaName(uint32_t code, char16_t* out, int style);

    // Kinds 0-2: the name search. 0 nothing found or failed, 1 hits below
    // the cap, 2 cap reached; the hit count into count. cancelled is asked
    // in every step of the search; a stop reason (kNameStopOff,
    // kNameStopNewer) ends it with no hits (answer 1).
    int SearchName(const SearchRequest& request, std::string_view cp949Keyword, int* count,
                   std::function<int()> cancelled = nullptr);
    // Rows start.. of the last name search (kinds 0-2) into results (nIndex
    // from start); the number filled, 0 for another kind.
    int GetNameRows(int start, int count, uint32_t kind, SearchResult* results);
    bool NameShortPath() const { return m_nameShortPath; }

    // The facilities of the building request.dBuildingKey that hold the
    // CP949 keyword (under the consonant mask) and pass the category and
    // area filters, ordered by eOrderBy (0 record number; 3 group, floor,
    // record number). 0 none, 1 below the cap, 2 at it; the hit count
    // into count.
    int SearchBuildingFacilities(const SearchRequest& request, std::string_view cp949Keyword, int* count);
    // Rows start.. (at most 15) of the last facility search, with the
    // building name and the floor; the number filled.
    int GetFacilityRows(int start, int count, SearchResult* results);
    // The facility list of a building (of the place poiId, or those listed
    // without a POI id when 0): at most 15 rows with the name, the building
    // name and the floor; the number filled.
    int ListBuildingFacilities(double buildingKey, uint32_t poiId, SearchResult* results);
    // The sub-places of request.nRecordID (at most 200); the number filled.
    int ListSubPlaces(const SearchRequest& request, SearchResult* results);
    // Kind 8: the companies whose number in the area wTelArea begins with
    // the digits uTelNumber. 0 nothing found or refused, 1 found, 2 more
    // than the cap (the first 1000 kept); the count into count.
    int SearchTelephone(const SearchRequest& request, int* count);
    // Rows start.. of the last telephone search (nIndex from 0 within the
    // page); the number filled.
    int GetTelRows(int start, int count, SearchResult* results);
    // The telephone areas (number, entry count, province name).
    int GetTelAreaTable(const TelAreaRow** rows);

    // Kinds 3 and 4 (category in an area or around a point) and kind 5
    // (along the route, over the sample points): the engine's answer (0
    // nothing or failure, 1 found, 2 the list is full); the count into
    // count. cancelled is asked before every record.
    int SearchCategory(const SearchRequest& request, std::string_view cp949Keyword, int* count,
                       std::function<int()> cancelled = nullptr);
    int SearchPathCategory(const SearchRequest& request, std::string_view cp949Keyword, const MapPoint* points,
                           const uint8_t* flags, uint16_t pointCount, int* count,
                           std::function<int()> cancelled = nullptr);
    // Rows start.. of the last category search (nIndex from start, at most
    // 15); the number filled.
    int GetCateRows(int start, int count, SearchResult* results);
    NcSearchCatesisul& CategoryEngine() { return *m_catesisul; }
    NcSearchAroundCate& AroundCategories() { return *m_aroundCate; }
    // Kinds 9 and 10: the theme search, its rows sorted by eOrderBy (0 name,
    // 1 distance, 2 rank). 0 nothing found, 1 rows, 2 the row area is full;
    // the row count into count.
    int SearchThemes(const SearchRequest& request, int* count, std::function<bool()> cancelled = nullptr);
    // Rows start.. of the last theme search into the theme part of results
    // (nIndex from start); the number filled.
    int GetThemeRows(int start, int count, SearchResult* results);
    // A theme row as the screens see it (the address text of its area).
    void FillThemeRow(const ThemeHitRow& hit, uint32_t index, SearchThemeRow& row);
    NcSearchThemeCate& Themes() { return *m_theme; }
    NcSearchICJC& Interchanges() { return *m_ic; }

private:
    // A name row from a record of the open kind's base file (or, places,
    // of "nvr.sdb"); false when the record cannot be read.
    bool FillNameRow(uint32_t record, uint32_t distance, uint32_t kind, bool places, SearchResult& row);
    std::string m_dataFolder, m_searchFolder, m_mapFolder;
    // The first lot-number engine serves texts and dong/li searches, the
    // second lot numbers (each keeps its own files open); the third holds the
    // administrative areas ("nhad.sdb") that name the rows of every kind but
    // apartments, which take the legal areas of the first.
    std::unique_ptr<NcSearchAddr> m_addrText, m_addrLot, m_adminAreas;
    std::unique_ptr<NcSearchNAddr> m_naddr;
    std::unique_ptr<NcSearchCate> m_cate;
    std::unique_ptr<NcSearchDB> m_db;
    std::unique_ptr<NcSearchMain> m_name;
    std::unique_ptr<NcSearchTelNum> m_tel;
    std::unique_ptr<NcSearchCatesisul> m_catesisul;
    std::unique_ptr<NcSearchAroundCate> m_aroundCate;
    std::unique_ptr<NcSearchICJC> m_ic;
    std::unique_ptr<NcSearchThemeCate> m_theme;
    std::vector<NameHit> m_nameHits;
    uint32_t m_nameKind = 0;
    int m_nameCount = 0;
    bool m_nameShortPath = false;
};
