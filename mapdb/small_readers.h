#pragma once
// Small readers that guidance and the screens call by link id or record id:
// lanes ("Map\Lane.ndb"), turn-by-turn records ("Map\TBT.ndb"), road names
// ("Map\RN.ndb"), toll gates ("Map\TG.ndb"), service areas ("Map\SA.ndb"
// with "Map\SAIdx.ndb") and the compiled-in high-pass lane table.
//
// Each reader keeps its result in a buffer of its own, valid until its next
// call; callers on several threads hold the reader's Lock() while they call
// and use a result. Link ids as everywhere: low 27 bits the number (0 and
// 2000000 and more refused), bit 27 the direction.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "mapdb/cached_reader.h"
#include "mapdb/link_id.h"

// Links are grouped by 100; the index area (4 bytes per group) comes first.
inline constexpr uint32_t kMneGroupIndexBytes = 80000;

// ------------------------------------------------------------------- lanes

inline constexpr uint32_t kMneLaneRecordSize = 35;

struct MneLaneInfo {
    uint16_t linkLow;   // link number, low 16 bits
    uint8_t linkHigh;   // and high 8 bits
    uint8_t direction;  // 1 forward, 0 backward
    uint8_t value4;
    uint8_t lanes[28];
    uint16_t value33;
};

class CMneExtLaneMapFile {
public:
    ~CMneExtLaneMapFile() { Close(); }
    int Open(const std::string& dataRoot);
    void Close();
    // The lane record of the link in the id's direction, or null.
    const MneLaneInfo* GetLaneInfo(uint32_t linkId);
    CMgrCriticalSection& Lock() { return m_lock; }

private:
    CMgrCriticalSection m_lock;
    platform::File m_file;
    int64_t m_fileSize = 0;
    MneCachedArena m_offsetCache;  // key: group number
    MneCachedArena m_dataCache;    // key: record offset
    MneLaneInfo m_result{};
};

// ------------------------------------------------------------ turn by turn

inline constexpr uint32_t kMneTurnRecordSize = 20;

struct MneTurnInfo {
    uint32_t zero;    // always 0
    uint32_t type;    // 1 "Q", 2 "S", 3 "E", 4 "N"
    int32_t value8;   // the 8-digit number
    int32_t value1;   // the 1-digit number
    int32_t value3;   // the 3-digit number times 10
};
static_assert(sizeof(MneTurnInfo) == 20);

class CMneExtTBTMapFile {
public:
    ~CMneExtTBTMapFile() { Close(); }
    int Open(const std::string& dataRoot);
    void Close();
    // The turn record of the pair (the from-link's direction counts), or null.
    const MneTurnInfo* GetTurnInfo(uint32_t fromLinkId, uint32_t toLinkId);
    CMgrCriticalSection& Lock() { return m_lock; }

private:
    CMgrCriticalSection m_lock;
    platform::File m_file;
    int64_t m_fileSize = 0;
    std::vector<uint8_t> m_index;  // the whole group index
    MneCachedArena m_dataCache;    // key: record offset
    MneTurnInfo m_result{};
};

// ------------------------------------------------------------------- names

inline constexpr uint32_t kMneNameRecordBytes = 64;
inline constexpr uint32_t kMneNameTextOffset = 5;
inline constexpr uint32_t kMneNameMaxChars = 64;

struct MneNameRecord {
    uint32_t length;  // text bytes as stored
    uint32_t value4;  // the byte after the 24-bit value
    uint32_t value24;
    char16_t text[kMneNameMaxChars + 1];  // terminated
};

class CMneNameMapFile {
public:
    ~CMneNameMapFile() { Close(); }
    int Open(const std::string& dataRoot);
    void Close();
    // The name record at a name id (its file offset), or null.
    const MneNameRecord* GetName(uint32_t nameId);
    CMgrCriticalSection& Lock() { return m_lock; }

private:
    CMgrCriticalSection m_lock;
    platform::File m_file;
    int64_t m_fileSize = 0;
    MneCachedArena m_cache;  // key: name id
    MneNameRecord m_result{};
};

// -------------------------------------------------------------- toll gates

inline constexpr int kMneTollGateCount = 1000;
inline constexpr uint32_t kMneTollGateIndexBytes = 8000;
inline constexpr uint32_t kMneTollGateRecordSize = 20;
// The most records one gate may have; more is taken for damage.
inline constexpr uint32_t kMneTollGateMaxRecords = 64;

struct MneTollGateRecord {
    uint8_t bytes[kMneTollGateRecordSize];
};

class CMneTollGateMapFile {
public:
    ~CMneTollGateMapFile() { Close(); }
    int Open(const std::string& dataRoot);
    void Close();
    // The records of gate 1..1000 (count out), or null.
    const MneTollGateRecord* GetTollGate(int gate, int* count);
    CMgrCriticalSection& Lock() { return m_lock; }

private:
    CMgrCriticalSection m_lock;
    platform::File m_file;
    int64_t m_fileSize = 0;
    std::vector<uint8_t> m_index;
    MneCachedArena m_cache;  // key: record offset
    std::array<MneTollGateRecord, kMneTollGateMaxRecords> m_result{};
};

// ----------------------------------------------------------- service areas

inline constexpr uint32_t kMneSaGroupCount = 9000;
inline constexpr uint32_t kMneSaIndexBytes = 45000;
inline constexpr uint32_t kMneSaLinkRecordSize = 6;
inline constexpr uint32_t kMneSaRecordSize = 50;
inline constexpr uint32_t kMneSaMaxNameChars = 32;
inline constexpr uint32_t kMneSaMaxValues = 24;  // (50 - 2) / 2

struct MneServiceAreaInfo {
    uint8_t valueCount;
    uint16_t values[kMneSaMaxValues];
    uint8_t nameLength;  // stored bytes
    char16_t name[kMneSaMaxNameChars + 1];
};

class CMneSAMapFile {
public:
    ~CMneSAMapFile() { Close(); }
    int Open(const std::string& dataRoot);
    void Close();
    // The service area on the link, or null.
    const MneServiceAreaInfo* GetServiceArea(uint32_t linkId);
    uint16_t AreaCount() const { return m_areaCount; }
    CMgrCriticalSection& Lock() { return m_lock; }

private:
    CMgrCriticalSection m_lock;
    platform::File m_file;      // SA.ndb
    platform::File m_idxFile;   // SAIdx.ndb
    int64_t m_fileSize = 0;
    int64_t m_idxFileSize = 0;
    uint16_t m_areaCount = 0;
    std::vector<uint8_t> m_groups;  // 9000 group records
    MneCachedArena m_offsetCache;   // key: group number
    MneCachedArena m_dataCache;     // key: service-area offset
    MneServiceAreaInfo m_result{};
};

// -------------------------------------------------------- high-pass lanes

struct MneHipassRecord {
    uint16_t key;
    uint16_t heading;  // degrees 0..359
    uint16_t value1;
    uint16_t value2;
    uint8_t lanes[6];  // 1-based lane numbers, 0 ends the list
};

class CMneHipassMapFile {
public:
    // Needs no file; always 1.
    int Open(const std::string& dataRoot);
    void Close() {}
    // The lanes of the record with that key whose heading is within 50
    // degrees; the number of lane bytes copied (0 when none).
    int GetHipassLanes(int key, int heading, int* value1, int* value2, uint8_t* lanes);

    static const MneHipassRecord* Table(int* count);
};
