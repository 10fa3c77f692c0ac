#pragma once
// The shared GPS block: the latest fix of the receiver, the latest map-match
// record, the position trails and the relayed "$GPRMC" text, shared between
// the positioning threads, the main thread and the draw thread.
//
// Locks:
//   m_recordLock   the fix record, the match record and both history rings.
//                  The parser thread rewrites the 368-byte fix while the main
//                  thread and the draw thread read it, so every copy in or
//                  out happens under this lock and nobody sees half a fix.
//   m_lock         (the object's own lock) the relay text.
// The flags and state words are atomics: the new-fix flag is released after
// the fix is complete and taken (exchanged to 0) by the consumer.
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "foundation/coords.h"
#include "foundation/singleton.h"
#include "foundation/thread_annotations.h"
#include "settings/module_state.h"

// One satellite in view as the receiver reports it.
struct GpsSatelliteInView {
    int16_t prn = 0;
    int16_t elevationDeg = 0;
    int16_t azimuthDeg = 0;
    int16_t snr = 0;  // -1 when the receiver gives none
};
static_assert(sizeof(GpsSatelliteInView) == 8);

// The receiver's state after one complete fix: 368 bytes, the same bytes in
// memory, in this block and in the last-fix file of the positioning module.
struct GpsFixRecord {
    DmsAngle longitude;
    DmsAngle latitude;
    double longitudeNmea = 0.0;  // dddmm.mmmm
    double latitudeNmea = 0.0;   // ddmm.mmmm
    GpsSatelliteInView satellites[32];
    uint16_t year = 0;
    uint8_t month = 0;
    uint8_t day = 0;
    uint8_t hour = 0;
    uint8_t minute = 0;
    uint8_t second = 0;
    uint8_t reserved311 = 0;
    uint8_t fixMode = 0;  // 1 none, 2 two-dimensional, 3 three-dimensional
    uint8_t satellitesUsed = 0;
    int16_t usedPrn[12] = {};
    uint16_t status = 0;  // 'A' valid, 'V' not valid
    uint8_t speedKmh = 0;
    uint8_t satellitesInView = 0;
    uint8_t hdopX10 = 0;
    uint8_t reserved343 = 0;
    uint16_t headingDeg = 0;  // clockwise from north
    uint8_t reserved346[6] = {};
    double altitudeM = 0.0;
    char northSouth = 0;
    char eastWest = 0;
    uint8_t reserved362[2] = {};
    uint32_t settled = 0;
};
static_assert(sizeof(DmsAngle) == 16);
static_assert(sizeof(GpsFixRecord) == 368);
static_assert(offsetof(GpsFixRecord, satellites) == 48);
static_assert(offsetof(GpsFixRecord, year) == 304);
static_assert(offsetof(GpsFixRecord, usedPrn) == 314);
static_assert(offsetof(GpsFixRecord, status) == 338);
static_assert(offsetof(GpsFixRecord, headingDeg) == 344);
static_assert(offsetof(GpsFixRecord, altitudeM) == 352);
static_assert(offsetof(GpsFixRecord, settled) == 364);

// The map matcher's result for one fix (56 bytes).
struct tagMAPMATCHINFO {
    int32_t status = 0;  // 0 raw, 1 on a link, 2 ambiguous, 3 predicted
    int32_t x = 0;       // map units (1/524288 degree)
    int32_t y = 0;
    int32_t reserved12 = 0;
    double time = 0.0;  // seconds since 1970 of the fix's local time
    int32_t headingDeg = 0;
    int32_t linkId = 0;
    int32_t roadClass = 0;
    int32_t linkKind = 0;
    int32_t structureKind = 0;
    int32_t segmentIndex = 0;
    int32_t distanceToEndM = 0;
    int32_t reserved52 = 0;
};
static_assert(sizeof(tagMAPMATCHINFO) == 56);
static_assert(offsetof(tagMAPMATCHINFO, time) == 16);
static_assert(offsetof(tagMAPMATCHINFO, linkKind) == 36);  // the tenth 32-bit field
static_assert(offsetof(tagMAPMATCHINFO, distanceToEndM) == 48);

struct GpsHistoryPoint {
    int32_t x = 0;
    int32_t y = 0;
};

// A trail of the last 512 positions: the entry at writeIndex is the oldest
// once the ring is full; the newest is at writeIndex - 1.
struct GpsHistoryRing {
    static constexpr int kSize = 512;
    GpsHistoryPoint points[kSize];
    int32_t writeIndex = 0;  // 0..511
    int32_t count = 0;       // 0..512
};

class CMgrConfigModuleGPS : public MgrSingletonT<CMgrConfigModuleGPS> {
public:
    // Where the map is drawn before the first fix: 127.1144 E, 37.5087 N.
    static constexpr int32_t kInitialX = 66644575;
    static constexpr int32_t kInitialY = 19665355;
    static constexpr int kRelayTextBytes = 1024;
    static constexpr int kRawRing = 0;
    static constexpr int kMatchedRing = 1;

    // Positioning states (the word also reads 1 when the thread is up).
    static constexpr int32_t kStateRunning = 3;
    static constexpr int32_t kStateStopping = 6;
    static constexpr int32_t kStateStopped = 7;

    CMgrConfigModuleGPS();
    ~CMgrConfigModuleGPS() override = default;

    // Fix hand-over (parser thread): stores the complete record, then sets
    // the fix-received flag and, last, the new-fix flag.
    void PublishFix(const GpsFixRecord& fix);
    // Consumer (main thread): when the new-fix flag is set, clears it and
    // copies the fix that goes with it; 1 then, 0 when there was no new fix.
    int TakeNewFix(GpsFixRecord* out);
    // The latest fix, whole, whatever the flag says.
    void GetFix(GpsFixRecord* out) const;
    int IsNewFix() const { return m_newFix.load(std::memory_order_acquire); }
    void ClearNewFix() { m_newFix.store(0, std::memory_order_release); }
    // Set with the first fix ever published; never cleared.
    int IsFixReceived() const { return m_fixReceived.load(std::memory_order_acquire); }

    void SetMatchInfo(const tagMAPMATCHINFO& match);
    void GetMatchInfo(tagMAPMATCHINFO* out) const;
    // The matched position, the program's current position.
    MapPoint GetMatchedPosition() const;
    // 1 when matched (status 1) on a link of kind 4, 11, 12, 13 or 14.
    int IsOnSpecialLink() const;

    // Appends to ring 0 (raw) or 1 (matched); the ring number is taken
    // modulo 2.
    void AddHistoryPoint(int32_t x, int32_t y, int ring);
    // A consistent copy of one ring (modulo 2).
    void GetHistoryRing(int ring, GpsHistoryRing* out) const;

    // Relay of the raw "$GPRMC" sentence. SetRelayText clears the text and
    // copies length bytes (cut to 1023, so it stays terminated); GetRelayText
    // copies at most size - 1 bytes, terminated, and returns how many.
    void SetRelayText(const char* text, int length);
    int GetRelayText(char* buffer, int size) const;
    int GetRelayFlag() const { return m_relayFlag.load(std::memory_order_acquire); }
    void SetRelayFlag(int on) { m_relayFlag.store(on ? 1 : 0, std::memory_order_release); }

    int32_t GetState() const { return m_state.Get(); }
    void SetState(int32_t state) { m_state.Set(state); }

    // The consumer's pass stamp (GetTickCount), set at construction too.
    uint32_t GetConsumeTick() const { return m_consumeTick.load(std::memory_order_acquire); }
    void SetConsumeTick(uint32_t tickMs) { m_consumeTick.store(tickMs, std::memory_order_release); }

    // The last speed given to the route simulator (main thread only).
    int32_t GetSimulatorSpeedKmh() const { return m_simulatorSpeedKmh.load(std::memory_order_relaxed); }
    void SetSimulatorSpeedKmh(int32_t kmh) { m_simulatorSpeedKmh.store(kmh, std::memory_order_relaxed); }

    // Three words the positioning module keeps here for its own use.
    std::atomic<int32_t> m_moduleWords[3] = {};

private:
    mutable CMgrCriticalSection m_recordLock;
    GpsFixRecord m_fix NAVI_GUARDED_BY(m_recordLock);
    tagMAPMATCHINFO m_match NAVI_GUARDED_BY(m_recordLock);
    GpsHistoryRing m_history[2] NAVI_GUARDED_BY(m_recordLock);

    std::atomic<int32_t> m_fixReceived{0};
    std::atomic<int32_t> m_newFix{0};
    std::atomic<int32_t> m_simulatorSpeedKmh{0};
    ModuleStateWord m_state;
    std::atomic<uint32_t> m_consumeTick{0};

    char m_relayText[kRelayTextBytes] NAVI_GUARDED_BY(m_lock) = {};
    std::atomic<int32_t> m_relayFlag{0};
};
