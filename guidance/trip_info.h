#pragma once
// The trip computer: on every new position it adds the driving time and the
// driven distance, keeps the maximum and average speed, an economy estimate
// and the start and destination names of the trip, and keeps the trip record
// in "%s\TripInfo.dat" in the user settings folder so that a trip survives a
// restart.
//
// "%s\TripInfo.dat" (732 bytes, little-endian): the float 1.0 (the marker),
// then the 728-byte trip record (TripRecord below, in its stored order). The
// file is replaced whole on every save.
//
// Threads: the service module calls it on the main thread; GetRecord and
// the record get and set take the object's lock so a screen may read it.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "foundation/coords.h"
#include "foundation/critical_section.h"
#include "foundation/thread_annotations.h"

class CMgrConfigUIInfoCourse;

inline constexpr size_t kTripRecordBytes = 728;
inline constexpr size_t kTripFileBytes = 732;
inline constexpr float kTripFileMarker = 1.0f;
inline constexpr int kTripNameUnits = 128;
inline constexpr int kTripSpeedRing = 5;
inline constexpr int kTripEconomyWords = 33;  // the 132 economy bytes
inline constexpr char16_t kTripFileName[] = u"\\TripInfo.dat";
inline constexpr char16_t kTripStartDefault[] = u"출발지";
inline constexpr char16_t kTripCancelSuffix[] = u"에서 취소";

// The economy words: the twenty most recent speeds, their count and ring
// position, and the running figures.
enum TripEconomyWord : int {
    kEcoSpeeds = 0,          // 20 words
    kEcoSpeedCount = 20,
    kEcoSpeedPos = 21,
    kEcoFuelMl = 22,         // fuel used, millilitres
    kEcoEconomyX100 = 23,    // km/L x 100 of the last step
    kEcoCo2GPerKm = 24,
    kEcoScoreX100 = 25,      // smoothed driving score x 100
    kEcoState = 26,          // 0, 1 calm, 2 hard
    kEcoStateTickMs = 27,    // low 32 bits of the tick the state was set
    kEcoAccelX10 = 28,       // km/h per second x 10
    kEcoDistanceTenths = 29, // distance of all steps, tenths of metres / 10 = metres x 10
};

struct TripRecord {
    char16_t startName[kTripNameUnits] = {};
    char16_t destName[kTripNameUnits] = {};
    MapPoint startPoint{};
    int32_t arrivalDate = 0;     // yyyymmdd
    int32_t arrivalTime = 0;     // hhmmss
    int32_t drivingS = 0;
    int32_t drivenM = 0;
    int32_t drivingHms = 0;      // hhmmss
    int32_t drivenCopyM = 0;
    int32_t remainingHms = 0;    // hhmmss
    int32_t courseValue = 0;
    int32_t maxSpeedKmh = 0;
    int32_t avgSpeedKmh = 0;
    int32_t speedSum = 0;
    int32_t speedCount = 0;
    int32_t ring[kTripSpeedRing] = {-1, -1, -1, -1, -1};
    int32_t ringPos = 0;
    int32_t ringCount = 0;
    int32_t economy[kTripEconomyWords] = {};
};

std::vector<uint8_t> EncodeTripRecord(const TripRecord& r);  // 728 bytes
// The record of a 728-byte image (more is ignored); false when short.
bool DecodeTripRecord(const uint8_t* data, size_t size, TripRecord* out);
std::vector<uint8_t> EncodeTripFile(const TripRecord& r);    // 732 bytes
// True with the record when the image is 732 bytes or more, its marker is
// 1.0 and its start point is not 0.
bool DecodeTripFile(const uint8_t* data, size_t size, TripRecord* out);

// The economy (km/L) at a speed and the CO2 (g/km) of an economy, from the
// piecewise linear tables; values below the first breakpoint take the
// first row's value, values past the last the last row's.
double TripEconomyAtSpeed(double speedKmh);
double TripCo2OfEconomy(double kmPerL);
// hhmmss of a span of seconds (hours may pass 99 only for spans over four
// days, which do not occur on a trip).
int32_t TripHms(int64_t seconds);
// Adds seconds to a date (yyyymmdd) and time (hhmmss).
void TripAddSeconds(int32_t* date, int32_t* time, int64_t seconds);

struct TripUpdate {
    MapPoint position{};
    double fixTimeS = 0;       // seconds of the fix
    int32_t date = 0;          // yyyymmdd
    int32_t time = 0;          // hhmmss
    int32_t speedKmh = 0;
    int32_t remainingS = 0;    // time left to the goal, seconds (0 none)
    int32_t courseValue = 0;
    int32_t economyInput1 = 0;
    int32_t economyInput2 = 0;
};

class CMgrTripService {
public:
    CMgrTripService() = default;
    CMgrTripService(const CMgrTripService&) = delete;
    CMgrTripService& operator=(const CMgrTripService&) = delete;

    // Clears the state; with the trip-save setting ("TRIPSAVE", 1 by
    // default) reads "%s\TripInfo.dat" of the user settings folder and takes
    // a valid saved trip. 1.
    int Init();
    // The same with the file's native path and the setting given.
    int InitAt(const std::string& nativePath, bool tripSave);
    // Clears the live values and the record; arms saving.
    void Reset();
    // Takes the loaded trip again and makes it started and active.
    int Restore();
    // A new trip: "출발지" is replaced by the course's start name when it
    // has one (which is then cleared in the course). The saved image is
    // cleared and written.
    void StartTrip(const std::u16string& startName, const std::u16string& destName,
                   CMgrConfigUIInfoCourse* course = nullptr);
    // Ends the active trip at the last date and time; unless keepText, the
    // cancel text becomes the area name of the last position (through
    // areaName, when given) followed by "에서 취소".
    void EndTrip(bool keepText, const std::function<std::u16string(const MapPoint&)>& areaName = {});
    void Update(const TripUpdate& u);

    // The record for display; without full only the driving seconds and
    // driven metres are set.
    void GetRecord(TripRecord* out, bool full) const;
    TripRecord Record() const;
    void SetRecord(const TripRecord& r);
    std::u16string CancelText() const;
    bool IsActive() const;
    bool IsLoaded() const;
    // Writes the record now (the save rule calls it); 1 when written.
    int SaveNow();

private:
    void ResetLocked() NAVI_REQUIRES(m_lock);
    int WriteImageLocked() NAVI_REQUIRES(m_lock);
    void EconomyStep(int32_t speedKmh, double dtS, double ddM) NAVI_REQUIRES(m_lock);

    mutable CMgrCriticalSection m_lock;
    TripRecord m_record NAVI_GUARDED_BY(m_lock);
    TripRecord m_image NAVI_GUARDED_BY(m_lock);  // what the file holds
    std::string m_path NAVI_GUARDED_BY(m_lock);
    bool m_tripSave NAVI_GUARDED_BY(m_lock) = true;
    MapPoint m_lastPos NAVI_GUARDED_BY(m_lock){};
    double m_lastFixS NAVI_GUARDED_BY(m_lock) = 0;
    int32_t m_lastDate NAVI_GUARDED_BY(m_lock) = 0;
    int32_t m_lastTime NAVI_GUARDED_BY(m_lock) = 0;
    int32_t m_lastSpeed NAVI_GUARDED_BY(m_lock) = 0;
    bool m_hasPosition NAVI_GUARDED_BY(m_lock) = false;
    bool m_started NAVI_GUARDED_BY(m_lock) = false;
    bool m_active NAVI_GUARDED_BY(m_lock) = false;
    uint64_t m_lastSaveMs NAVI_GUARDED_BY(m_lock) = 0;
    bool m_loaded NAVI_GUARDED_BY(m_lock) = false;
    bool m_armed NAVI_GUARDED_BY(m_lock) = false;
    std::u16string m_cancelText NAVI_GUARDED_BY(m_lock);
};
