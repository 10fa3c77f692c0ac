#pragma once
// "Map\RG.ndb": one 80-byte guidance record per road link (record n at
// 80 x n), read in groups of 100 through a keyed cache and handed out
// decoded for one direction of travel.
#include <cstdint>
#include <string>

#include "mapdb/cached_reader.h"
#include "mapdb/link_id.h"

inline constexpr uint32_t kMneServiceRecordSize = 80;
inline constexpr uint32_t kMneServiceGroupRecords = 100;
inline constexpr uint32_t kMneServiceGroupBytes = kMneServiceRecordSize * kMneServiceGroupRecords;

// A stored record as its twenty u32 words (little-endian in the file).
struct MneServiceRawRecord {
    uint32_t words[20];
};
static_assert(sizeof(MneServiceRawRecord) == 80);

// The record decoded for one direction d (1 along, 2 against the stored
// direction). Field order and sizes follow the 64-byte decoded record.
struct MneLinkGuideRecord {
    uint32_t length;         // metres
    uint32_t value4;
    uint32_t value8;
    uint8_t roadClass;
    uint8_t byte13;
    uint8_t linkKind;
    uint8_t byte15;
    uint8_t twoWay;          // 0 one-way
    uint8_t byte17;
    uint8_t setAApplies;     // 1 when attribute set A applies to d
    uint8_t setBApplies;
    uint16_t word20;
    uint16_t word22;
    uint16_t word24;
    uint16_t word26;
    uint32_t directional[3]; // the three values of direction d
    uint32_t nameId;         // offset in "Map\RN.ndb"
    uint32_t value56;
    uint16_t setBWord;       // 0 when set B does not apply
    uint16_t setAWord;
    uint32_t setBValue;
    uint32_t setAValue;
    uint32_t directionValue; // the value of direction d
};
static_assert(sizeof(MneLinkGuideRecord) == 64);

// Decodes a stored record for a link id's direction (bit 27).
MneLinkGuideRecord MneDecodeGuideRecord(const uint8_t* stored80, uint32_t linkId);

class CMneServiceMainMapFile {
public:
    CMneServiceMainMapFile() = default;
    ~CMneServiceMainMapFile() { Close(); }

    int Open(const std::string& dataRoot);
    void Close();

    // 1 on success; 0 for a null output, number 0, a number of 2000000 or
    // more, a record outside the file or a failed read.
    int GetLinkRecord(uint32_t linkId, MneLinkGuideRecord* out);
    int GetRawRecord(uint32_t linkNumber, MneServiceRawRecord* out);

private:
    // Copies the stored record of a number out of its cached group.
    int ReadStored(uint32_t number, uint8_t* out80);

    MneCachedArena m_arena;
    platform::File m_file;
    int64_t m_fileSize = 0;
};
