#pragma once
// CMneSearchManager: owns the search engines and is the one place the
// search module reaches them through. It derives the search folder
// (data folder + "Search\") and the map folder (+ "Map\"), loads the
// engines, routes the address kinds (6 lot-number dong/li, 7 road-name
// dong/li) and serves the address look-ups the screens call directly.
//
// The name, category, telephone and theme engines are not built yet: their
// kinds find nothing here.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "search/cate_tree.h"
#include "search/poi_base.h"
#include "search/search_addr.h"
#include "search/search_records.h"

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
    // negated kLoad* bits of what failed (the rest still serves).
    int LoadEngines();

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

private:
    std::string m_dataFolder, m_searchFolder, m_mapFolder;
    // The first lot-number engine serves texts and dong/li searches, the
    // second lot numbers (each keeps its own files open).
    std::unique_ptr<NcSearchAddr> m_addrText, m_addrLot;
    std::unique_ptr<NcSearchNAddr> m_naddr;
    std::unique_ptr<NcSearchCate> m_cate;
    std::unique_ptr<NcSearchDB> m_db;
};
