#pragma once
// Toll prices: the toll gates the car has passed, kept in "\Toll.dat" in the
// user settings folder, and the prices of a route's toll gates for the six
// vehicle classes, read from the toll-gate map file ("Map\TG.ndb").
//
// "\Toll.dat" (164 bytes, little-endian): int32 count of passed gates
// (0..20), 20 int32 pass values, 20 int32 gate ids (oldest first); entries
// past the count are 0. The file is replaced whole on every change.
//
// Locking: the passed list is shared by the gathering thread (which prices
// routes) and the main thread (which records passed gates); every public
// call takes the object's lock.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/critical_section.h"
#include "foundation/thread_annotations.h"

class CMneTollGateMapFile;

inline constexpr int kTollPassedMax = 20;
inline constexpr size_t kTollFileBytes = 164;
inline constexpr int kTollVehicleClasses = 6;
// Every byte 0xFE: the toll-gate file has no fare between the two gates.
inline constexpr int32_t kTollNoFare = -16843010;
inline constexpr char16_t kTollFileName[] = u"\\Toll.dat";

// Gate kinds of a route's toll gates.
enum TollGateKind : int32_t {
    kTollGateNewStretch = 1,    // first gate of a new highway stretch
    kTollGateSameStretch = 2,   // on the same stretch as the previous gate
    kTollGateFirstOnHighway = 3,  // no highway entry before it; the route starts on the highway
    kTollGateFirstOffHighway = 4, // the same, the route starts off the highway
    kTollGatePassed = 5,        // taken from the passed list
};

struct tagTOLLGATE {
    int32_t gateId = 0;
    int32_t kind = 0;
    int32_t price[kTollVehicleClasses] = {-1, -1, -1, -1, -1, -1};
};
static_assert(sizeof(tagTOLLGATE) == 32);

// The passed-gate record as stored.
struct TollPassedRecord {
    int32_t count = 0;
    int32_t passValue[kTollPassedMax] = {};
    int32_t gateId[kTollPassedMax] = {};
};

// Decodes "\Toll.dat"; a short file leaves the rest 0. The count is held
// to the record's 20 entries (a negative count is 0). Never fails.
TollPassedRecord DecodeTollFile(const uint8_t* data, size_t size);
std::vector<uint8_t> EncodeTollFile(const TollPassedRecord& record);

// One 20-byte fare entry of a gate's table in the toll-gate file.
struct TollFareEntry {
    uint16_t otherGate = 0;     // offset 2
    uint16_t kind = 0;          // offset 4: 1 continue from continueFrom, 3 no fare
    uint16_t continueFrom = 0;  // offset 6
    uint16_t price[kTollVehicleClasses] = {};  // offsets 8..18
};
inline constexpr uint16_t kTollFareContinue = 1;
inline constexpr uint16_t kTollFareNone = 3;
TollFareEntry DecodeTollFareEntry(const uint8_t* bytes20);
// The entry for another gate in a table sorted by that gate's id (binary
// search); false when there is none.
bool FindGateEntry(const uint8_t* table, int count, int otherGate, TollFareEntry* out);

class CMneCalTollPrice {
public:
    CMneCalTollPrice() = default;
    ~CMneCalTollPrice() = default;
    CMneCalTollPrice(const CMneCalTollPrice&) = delete;
    CMneCalTollPrice& operator=(const CMneCalTollPrice&) = delete;

    // The user settings folder followed by the name ("\Toll.dat"): 0
    // without a reader, -1 when the path cannot be formed, 1 when the file
    // was read (a missing file is an empty list and is created), 0 when it
    // could not be read.
    int Open(const char16_t* fileName, CMneTollGateMapFile* reader);
    // The same on a native path (tests, tools); an empty path keeps the
    // list in memory only (and answers 0).
    int OpenAt(const std::string& nativePath, CMneTollGateMapFile* reader);
    void Close();

    // Appends a passed gate and saves; 0 when the last gate is the same.
    // With 20 gates stored the list is first cut to its last two.
    int AddPassed(int32_t gateId, int32_t passValue);
    // Empties the list and saves; 0 when it was empty.
    int ClearPassed();
    // Replaces "\Toll.dat" with the record; 0 without a file path.
    int Save();
    TollPassedRecord Passed() const;

    // The route-planner's toll-continuation setting.
    void SetContinuation(bool on);

    // Fills the gates' prices; 0 when there are no gates or a gate's table
    // is missing from the toll-gate file.
    int PriceRoute(int gateCount, tagTOLLGATE* gates);

private:
    int SaveLocked() NAVI_REQUIRES(m_lock);
    // The gate's fare table copied out of the reader; false when missing.
    bool ReadTable(int gate, std::vector<uint8_t>& out);

    mutable CMgrCriticalSection m_lock;
    CMneTollGateMapFile* m_reader = nullptr;
    std::string m_path NAVI_GUARDED_BY(m_lock);
    TollPassedRecord m_record NAVI_GUARDED_BY(m_lock);
    bool m_continuation NAVI_GUARDED_BY(m_lock) = false;
};
