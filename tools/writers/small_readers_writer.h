#pragma once
// Writes the small record files: "Map\Lane.ndb", "Map\TBT.ndb",
// "Map\RN.ndb", "Map\TG.ndb", "Map\SA.ndb" and "Map\SAIdx.ndb".
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace writers {

struct LaneRecord {
    uint32_t linkNumber = 0;  // 24 bits
    uint8_t direction = 1;    // 1 forward, 0 backward
    uint8_t value4 = 0;
    std::array<uint8_t, 28> lanes{};
    uint16_t value33 = 0;
};
std::vector<uint8_t> EncodeLaneRecord(const LaneRecord& r);
// Records are grouped by link number / 100 behind the 80000-byte index.
std::vector<uint8_t> BuildLaneFile(std::vector<LaneRecord> records);

struct TurnRecord {
    uint8_t direction = 1;  // of the from-link: 1 forward, 0 backward
    uint32_t fromLink = 0;  // numbers, 24 bits
    uint32_t toLink = 0;
    char type = 'Q';        // "Q", "S", "E" or "N"
    std::string digits8 = "00000000";
    std::string digit1 = "0";
    std::string digits3 = "000";
};
std::vector<uint8_t> EncodeTurnRecord(const TurnRecord& r);
std::vector<uint8_t> BuildTbtFile(std::vector<TurnRecord> records);

// Names are appended one after the other; each name's id is its offset.
class NameFileBuilder {
public:
    NameFileBuilder();
    // The name id of a UTF-8 text stored as CP949 (at most 59 bytes).
    uint32_t Add(const std::string& utf8, uint32_t value24 = 0, uint8_t value4 = 0);
    // A record with raw bytes after the 5-byte head (for damaged records).
    uint32_t AddRaw(uint8_t lengthByte, const std::vector<uint8_t>& text);
    const std::vector<uint8_t>& Bytes() const { return m_bytes; }

private:
    std::vector<uint8_t> m_bytes;
};

// One fare entry of a gate's table: the other gate, the entry kind (1 go on
// from continueFrom, 3 no fare) and the prices of vehicle classes 1 to 6.
inline constexpr uint16_t kTollFareContinue = 1;
inline constexpr uint16_t kTollFareNone = 3;
struct TollFare {
    uint16_t otherGate = 0;
    uint16_t kind = 0;
    uint16_t continueFrom = 0;
    std::array<uint16_t, 6> prices{};
};
std::array<uint8_t, 20> EncodeTollFare(const TollFare& fare);

// Gates 1..1000 with their 20-byte records.
std::vector<uint8_t> BuildTollGateFile(const std::map<int, std::vector<std::array<uint8_t, 20>>>& gates);

struct ServiceArea {
    std::string nameUtf8;
    std::vector<uint16_t> values;
};
struct ServiceAreaFiles {
    std::vector<uint8_t> sa;     // SA.ndb
    std::vector<uint8_t> index;  // SAIdx.ndb
};
// Service areas by the link numbers they lie on (several links may share
// one area: give them the same area index).
ServiceAreaFiles BuildServiceAreaFiles(const std::vector<ServiceArea>& areas,
                                       const std::map<uint32_t, int>& linkToArea);

}  // namespace writers
