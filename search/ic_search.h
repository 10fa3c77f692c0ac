#pragma once
// NcSearchICJC: the motorways and their interchanges and junctions, loaded
// once from "IC.ndb" in the map folder and answered from memory.
//
// File (little-endian, packed): u32 highway count H; H records of u16 id and
// a 22-byte CP949 name; u32 interchange count N; N records of 87 bytes:
//   0 u32 id (0 for some junctions)   4 u8 highway number (its motorway's
//   place among the highway records)   5 u8 (unused)   6 u32 flags (bits 0,1
//   side 0; bits 2,3 side 1)   10 22-byte name   32 x1, 36 y1, 40 x2, 44 y2
//   48 u8 kind (2 keeps a record of id 0)   49, 51, 53 u16 connected highway
//   numbers   55 eight u32 link ids: four of side 1, then four of side 0.
// The interchanges of one motorway are stored one after another.
//
// Every query takes a side: side 1 uses the first position, the first four
// links and flag bits 2 and 3; side 0 the second position, the last four
// links and flag bits 0 and 1.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

inline constexpr int kICHighwayCapacity = 40;
inline constexpr int kICCapacity = 600;
inline constexpr size_t kICHighwayRecordBytes = 24;
inline constexpr size_t kICRecordBytes = 87;
inline constexpr size_t kICNameBytes = 22;
inline constexpr uint16_t kICNoHighway = 0xFFFF;
// The keyword of the name search is cut to this many CP949 bytes.
inline constexpr size_t kICKeywordBytes = 22;

struct ICHighway {
    uint16_t id = kICNoHighway;
    std::u16string name;
};

struct ICEntry {
    uint32_t id = 0;
    uint8_t highway = 0xFF;    // index among the loaded motorways
    uint8_t loadOrder = 0;     // low byte of its place in the list
    uint32_t flags = 0;
    std::u16string name;
    uint32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    uint16_t connected[2] = {kICNoHighway, kICNoHighway};
    uint32_t links[8] = {};
};

// A row of the motorway list (148 bytes as the screens hold it).
struct ICListRow {
    uint32_t id = 0;
    uint8_t loadOrder = 0;
    char16_t name[65] = {};
    uint32_t x = 0, y = 0;
    uint8_t connected[2] = {};
    uint8_t flags = 0;
};

// A row of the name search (280 bytes as the screens hold it).
struct ICRow {
    uint32_t id = 0;
    uint8_t loadOrder = 0;
    char16_t name[64] = {};
    char16_t highwayName[kICNameBytes + 1] = {};
    uint32_t distance = 0;
    uint32_t x = 0, y = 0;
    uint8_t connected[2] = {};
    uint8_t flags = 0;
};

// The name test of the interchange and theme searches: every character of
// the keyword that is not a bare consonant must equal the name's character
// at its place, and the initial keys (MakeInitialKey) of the name must begin
// with the keyword's, so a bare consonant matches every syllable that starts
// with it. An empty keyword matches every name.
bool MatchInitialKeyword(std::u16string_view name, std::u16string_view keyword);

class NcSearchICJC {
public:
    // Loads folder + "IC.ndb". 1 when the whole file was read; 0 when it is
    // missing or cut short (what was read before the cut stays loaded).
    int LoadICFile(const std::string& folder);
    // The same from the file's bytes.
    int LoadICBytes(const uint8_t* data, size_t size);

    int HighwayCount() const { return static_cast<int>(m_highways.size()); }
    int ICCount() const { return static_cast<int>(m_ics.size()); }
    const ICHighway& Highway(int i) const { return m_highways[static_cast<size_t>(i)]; }
    const ICEntry& IC(int i) const { return m_ics[static_cast<size_t>(i)]; }

    // (id, name) of every motorway into rows (room for 40); 1.
    int GetHighwayList(ICHighway* rows, int* outCount) const;
    // The first interchange of a motorway and the one after its run; 0 and 0
    // when it has none.
    void FindHighwayRange(int* outFirst, int* outEnd, int highwayNumber) const;
    // The interchange nearest (x, y) on the side (over those with an id; over
    // all when allIds), -1 when there is none.
    int FindNearestIC(uint32_t x, uint32_t y, int side, int first, int end, bool allIds) const;
    // Rows (room for 600) of the motorway of the interchange nearest (x, y)
    // (over the run of highwayNumber when it is 0 or more); its motorway into
    // outHighway; the nearest one's place in the rows, -1 when there is none.
    int ListHighwayICs(ICListRow* rows, int* outCount, int* outHighway, uint32_t x, uint32_t y, int side,
                       int highwayNumber) const;
    // Up to four link ids of the side of the interchange nearest (x, y);
    // their count.
    int GetNearestICLinks(uint32_t* links, uint32_t x, uint32_t y, int side) const;
    // Interchanges of the side whose names match the keyword (UTF-16), as
    // rows with their distance from (x, y): order 0 by name, 1 by distance,
    // else file order. rows has room for 600. 0.
    int SearchICByKeyword(ICRow* rows, int* outCount, uint32_t x, uint32_t y, int side, std::u16string_view keyword,
                          int order) const;

    // The side's position of an interchange (the other one when the side's
    // x is below 1).
    static void SidePosition(const ICEntry& ic, int side, uint32_t* x, uint32_t* y);
    static bool OnSide(const ICEntry& ic, int side) { return (ic.flags & (side ? 0xCu : 0x3u)) != 0; }

private:
    void Clear();
    int FindHighway(std::u16string_view name) const;

    std::vector<ICHighway> m_highways;
    std::vector<ICEntry> m_ics;
};
