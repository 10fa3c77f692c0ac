#pragma once
// Writes "Map\RG.ndb": one 80-byte guidance record per link number at
// offset 80 x number, padded to whole groups of 100 records.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace writers {

struct ServiceRecord {
    uint32_t length = 0;
    uint32_t value4 = 0;
    uint32_t value8 = 0;
    uint8_t roadClass = 0;
    uint8_t byte13 = 0;
    uint8_t linkKind = 0;
    uint8_t byte15 = 0;
    uint8_t twoWay = 0;
    uint8_t byte17 = 0;
    uint8_t setACode = 0;  // 1 forward only, 2 backward only, 3 both
    uint8_t setBCode = 0;
    uint16_t words[4] = {};
    uint32_t forward[3] = {};
    uint32_t backward[3] = {};
    uint32_t nameId = 0;
    uint32_t value56 = 0;
    uint16_t setBWord = 0;
    uint16_t setAWord = 0;
    uint32_t setBValue = 0;
    uint32_t setAValue = 0;
    uint32_t forwardValue = 0;
    uint32_t backwardValue = 0;
};

// The 80 stored bytes of one record.
std::vector<uint8_t> EncodeServiceRecord(const ServiceRecord& r);

// The whole file: records by link number; gaps are zero records.
std::vector<uint8_t> BuildServiceMap(const std::map<uint32_t, ServiceRecord>& records, bool padToGroup = true);

}  // namespace writers
