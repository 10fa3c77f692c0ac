#pragma once
// Writes the theme files ("theme_cate.sdb", "theme.sdb", "theme_tile.sdb"
// under "Search\"), the interchange file ("Map\IC.ndb") and the map-book
// code files ("LCODE\bookcode.*", "LCODE\jejupoi.dat") from plain records
// with UTF-8 texts (stored as CP949).
//
// The demo data: the themes of the places table of tools/demo_search/ (its
// theme column) and the categories of tools/demo_search/themes.tsv.inc, the
// district's interchange from the demo links, and book codes of a few
// places.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "foundation/coords.h"
#include "search/book_code.h"
#include "search/theme_search.h"
#include "tools/writers/search_db_writer.h"

namespace writers {

struct ThemeCateSource {
    uint32_t code = 0;
    std::string nameUtf8;
    uint16_t value = 1;
    uint8_t testNumber = 0;  // 1.. the header's test number - 1; 0 none
    uint32_t testValue = 0;
};

struct ThemePointSource {
    uint32_t key = 0;
    std::string nameUtf8;
    MapPoint pos;
    uint32_t areaCode = 0;
    uint8_t kind = 0, kind2 = 0, mask2 = 0, category = 0, cls = 0, mask = 0, itemKind = 0, rank = 0;
    std::vector<size_t> members;  // source indexes of a group's members
};

struct ThemeDbSource {
    std::vector<ThemeFieldTestRule> tests;
    std::vector<ThemeCateSource> cates;
    std::vector<ThemePointSource> points;
};

// Level of a theme code: 1 for 1..99, 2 for 100..9999, 3 below 1000000, 4
// above.
int ThemeCodeLevel(uint32_t code);
// "theme_cate.sdb": header size 14 + 3 * K, record size 16, records sorted by
// level, then code.
std::vector<uint8_t> BuildThemeCateFile(const std::vector<ThemeFieldTestRule>& tests,
                                        std::vector<ThemeCateSource> cates);
// The record order of "theme.sdb" (names sorted by CP949 bytes): source
// index of record r.
std::vector<size_t> ThemeRecordOrder(const std::vector<ThemePointSource>& points);
std::vector<uint8_t> BuildThemeFile(const std::vector<ThemePointSource>& points);
// One 64-byte record as stored (without the name and member offsets).
::ThemeRecord EncodeThemeRecord(const ThemePointSource& p);
// "theme_tile.sdb" of the points (in record order): item value = record
// number (cut to 16 bits), kind flags = the flag byte, second kind byte, the
// category and class bytes as the attribute bytes. At most 10000 items and
// 1000 tiles: points beyond them are left out.
std::vector<uint8_t> BuildThemeTileFile(const std::vector<ThemePointSource>& points);
// The three theme files into a search folder.
bool WriteThemeDb(const std::string& searchFolder, const ThemeDbSource& source, std::string* error = nullptr);

struct ICHighwaySource {
    uint16_t id = 0;
    std::string nameUtf8;
};
struct ICSource {
    uint32_t id = 0;
    uint8_t highway = 0;
    uint32_t flags = 0xF;
    std::string nameUtf8;
    MapPoint pos1, pos2;
    uint8_t kind = 1;
    uint16_t connected[3] = {0xFFFF, 0xFFFF, 0xFFFF};
    uint32_t links[8] = {};
};
std::vector<uint8_t> BuildICFile(const std::vector<ICHighwaySource>& highways, const std::vector<ICSource>& ics);

struct BookCodeSource {
    uint32_t code = 0;
    std::string nameUtf8;
    std::string addressUtf8;
    double lon = 0, lat = 0;  // degrees
};
// The item as the page files store it (texts cut to 31 and 51 bytes).
BookCodeItem MakeBookCodeItem(const BookCodeSource& s);
// The packed page files by file name; items in code order.
std::map<std::string, std::vector<uint8_t>> BuildBookCodePages(const std::vector<BookCodeSource>& items);
// An uncompressed page (count, offsets, items) as the page files inflate to.
std::vector<uint8_t> BuildBookCodePage(std::vector<BookCodeSource> items);
std::vector<uint8_t> BuildJejuFile(std::vector<BookCodeSource> items);

// The demo district's data.
ThemeDbSource DemoThemeSource(std::string* error = nullptr);
void DemoInterchanges(std::vector<ICHighwaySource>& highways, std::vector<ICSource>& ics);
std::vector<BookCodeSource> DemoBookCodes();
std::vector<BookCodeSource> DemoJejuCodes();
// Search\theme*.sdb, Map\IC.ndb and LCODE\ under root.
bool WriteDemoThemesAndCodes(const std::string& root, std::string* error = nullptr);

// A seeded theme set over a generated name set: count points taken from
// pois (names, positions, areas), with kinds, flags, categories, classes
// and ranks spread over small ranges, a few groups of up to 100 members,
// and the categories and tests of the demo.
ThemeDbSource GenerateThemeSet(uint32_t seed, const std::vector<SearchPoi>& pois, int count);

}  // namespace writers
