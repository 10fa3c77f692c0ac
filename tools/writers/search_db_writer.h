#pragma once
// Writes the search databases under "Search\" from plain records: the area
// files ("nlad.sdb", "nhad.sdb", "newaddr.sdb"), the packed lot and
// building-number files with their block indexes, the address text indexes
// ("addrchidx.sdb", "newaddr_chidx.sdb"), the place base records
// ("nvr.sdb") and the category tree ("cate.sdb"). Texts come in UTF-8 and
// are stored as CP949; lists are sorted by CP949 bytes, and the text
// indexes are bucketed with the readers' own key functions.
//
// The demo data comes from the readable tables in tools/demo_search/.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "foundation/coords.h"

namespace writers {

// An area of the lot-number or road-name files. count is the area's count
// value (for the lot-number files at most 65535); 0 stores the number of its
// lots.
struct SearchArea {
    uint32_t code = 0;
    std::string nameUtf8;
    MapPoint pos;
    uint32_t count = 0;
    uint32_t value2 = 0;
};

// A lot (or building number) of an area.
struct SearchLot {
    uint32_t areaCode = 0;
    bool mountain = false;
    uint16_t main = 0;
    uint16_t sub = 0;
    MapPoint pos;
};

// A place of "nvr.sdb".
struct SearchPoi {
    std::string nameUtf8;
    uint8_t flags = 0;
    uint32_t poiId = 0;
    uint16_t catePacked = 0;
    uint32_t areaCode = 0;
    uint16_t telArea = 0;
    uint32_t telNumber = 0;
    MapPoint pos;
    // The detail of the place ("poi_detail.sdb", and the items of
    // "poi_sub.sdb"): kind (0 none), entry point offsets, text.
    uint8_t detailKind = 0;
    int16_t entryDx = 0;
    int16_t entryDy = 0;
    std::string detailUtf8;
};

// A building of "building.sdb". Each facility is a place of the source's
// list (its index there), with its group, floor and kind (1: listed
// without a POI id).
struct SearchFacility {
    size_t place = 0;
    uint8_t group = 0;
    int8_t floor = 0;
    uint8_t kind = 0;
};
struct SearchBuilding {
    double key = 0;
    std::string nameUtf8;
    std::vector<SearchFacility> facilities;
};
// The sub-places of "poi_sub.sdb" under one key.
struct SearchSubPlaces {
    uint32_t key = 0;
    std::vector<SearchPoi> items;
};

// A category of "cate.sdb".
struct SearchCate {
    uint16_t index = 0;
    uint16_t count = 0;
    std::string nameUtf8;
};

// Lot key as the readers form it: main (plus 0x4000 for a mountain lot)
// * 10000 + sub.
int32_t SearchLotKey(const SearchLot& lot);
// Level of an area code in the lot-number files (its two-digit groups) and
// in the road-name files (3 for every code above 9999).
int SearchAreaLevel(uint32_t code, bool roadName);
// Map position stored for a lot: the 32-unit steps above the area's base.
MapPoint StoredLotPosition(const MapPoint& base, const MapPoint& pos);

// One record each, as stored.
std::vector<uint8_t> EncodeAddrAreaRecord(uint32_t code, uint32_t count, uint32_t value2, uint32_t nameOffset,
                                          uint16_t firstBlock, uint16_t firstIndex, uint16_t lastBlock,
                                          uint16_t lastIndex, uint16_t lotFlag, uint32_t baseX, uint32_t baseY,
                                          uint32_t x, uint32_t y, bool roadName);
std::vector<uint8_t> EncodeLotRecord(const SearchLot& lot, uint32_t baseX, uint32_t baseY);
std::vector<uint8_t> EncodePoiRecord(const SearchPoi& poi, uint32_t nameOffset, uint8_t nameLength);

// The files of one address engine.
struct AddrDbFiles {
    std::vector<uint8_t> areaFile;
    std::vector<uint8_t> blockIndex;
    std::vector<uint8_t> textIndex;
    // File name (e.g. "ncj.sdb" or "ncj서울.sdb") to bytes.
    std::map<std::string, std::vector<uint8_t>> lotFiles;
};
// Lot-number (roadName false) or road-name files. split writes one lot
// file per province (blocks never span two provinces). lotsPerBlock below
// 1140 makes small blocks for tests.
AddrDbFiles BuildAddrDb(const std::vector<SearchArea>& areas, const std::vector<SearchLot>& lots, bool roadName,
                        bool split = false, int lotsPerBlock = 1140);

// A text index of (code, CP949 name) entries with names cut to
// nameBytes - 1 bytes (16 or 24 bytes a field).
std::vector<uint8_t> BuildAddrTextIndex(std::vector<std::pair<uint32_t, std::string>> entries, uint32_t nameBytes);

// "nvr.sdb" (also "sch_corp.sdb", "sch_apt.sdb"): the record count, then
// the records sorted by the names' CP949 bytes.
std::vector<uint8_t> BuildPoiBaseFile(std::vector<SearchPoi> pois);
// The record order of BuildPoiBaseFile: source index of record r, and the
// stored CP949 names in record order.
std::vector<size_t> PoiRecordOrder(const std::vector<SearchPoi>& pois, std::vector<std::string>* names = nullptr);
// The five name files of a kind (0 places, 1 companies, 2 apartments; see
// search/name_search.h), by file name; for kind 0 also "sch_poi_idx.sdb"
// (the main record of a POI id: its first record without flag bit 4).
std::map<std::string, std::vector<uint8_t>> BuildNameFiles(const std::vector<SearchPoi>& pois, uint32_t kind);
// "poi_detail.sdb": one entry per record of BuildPoiBaseFile(pois).
std::vector<uint8_t> BuildPoiDetailFile(const std::vector<SearchPoi>& pois);
// "building.sdb" (facilities name records of BuildPoiBaseFile(pois)) and
// "poi_sub.sdb"; both sorted by key.
std::vector<uint8_t> BuildBuildingFile(std::vector<SearchBuilding> buildings, const std::vector<SearchPoi>& pois);
std::vector<uint8_t> BuildSubPlaceFile(std::vector<SearchSubPlaces> lists);
// A seeded set of count place names for benchmarks and the oracle: 2 to 6
// syllables with skewed first syllables, some Latin letters and digits,
// category suffixes, spread over the areas given, unique telephone numbers
// and positions around the centre.
std::vector<SearchPoi> GenerateNameSet(uint32_t seed, int count, const std::vector<uint32_t>& areaCodes,
                                       const MapPoint& centre);
// "cate.sdb": level 1 fills records 1..15 and level 2 records 16..112, as
// the reader expects; records the list lacks there are filled with unnamed
// categories of count 0 at indexes that no list of children shows.
std::vector<uint8_t> BuildCateFile(std::vector<SearchCate> cates);

// Everything one search folder holds.
struct SearchDbSource {
    std::vector<SearchArea> lotAreas;   // nlad.sdb (and nhad.sdb when adminAreas is empty)
    std::vector<SearchArea> adminAreas; // nhad.sdb, the administrative areas
    std::vector<SearchLot> lots;
    std::vector<SearchArea> roadAreas;  // newaddr.sdb
    std::vector<SearchLot> buildings;
    std::vector<SearchPoi> pois;
    std::vector<SearchCate> cates;
    std::vector<SearchPoi> corps;  // sch_corp.sdb and its indexes
    std::vector<SearchPoi> apts;   // sch_apt.sdb and its indexes
    std::vector<SearchBuilding> placeBuildings;  // building.sdb (places of pois)
    std::vector<SearchSubPlaces> subPlaces;  // poi_sub.sdb
};
// Writes every file into folder (created when missing). True when all
// were written.
bool WriteSearchDb(const std::string& folder, const SearchDbSource& source, bool split = false,
                   std::string* error = nullptr);

// The fictional district's search data, read from the tables of
// tools/demo_search/; empty lists and error set when a table line is bad.
SearchDbSource DemoSearchSource(std::string* error = nullptr);
// Writes root/Search for the demo district.
bool WriteDemoSearch(const std::string& root, std::string* error = nullptr);
// The rows of a tab-separated demo table (tools/demo_search/*.tsv.inc) as
// cells; the header line and blank lines are left out.
std::vector<std::vector<std::string>> TableRows(const char* table);

// A generated country: every province, districts (with the cities of the
// merged-district table), dongs and li with syllable names, and lotCount
// lots and as many building numbers spread over them, mountain lots
// included. The same seed gives the same set.
SearchDbSource GenerateAddressSet(uint32_t seed, int lotCount);

}  // namespace writers
