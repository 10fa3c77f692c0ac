#pragma once
// The GPS fix record helpers, the fix filter and the last-fix file.
//
// Positions inside the filter are signed hundredths of an arc-second:
// south and west are negative. The record keeps the angle itself in its DMS
// fields (which hold only non-negative angles), the sign in its hemisphere
// letters and in its NMEA-form doubles (dddmm.mmmm, negative for S and W).
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "settings/module_gps.h"

inline constexpr size_t kGpsFixRecordBytes = 368;
inline constexpr uint16_t kGpsStatusValid = 'A';
inline constexpr uint16_t kGpsStatusInvalid = 'V';

// The record as it is stored (little-endian, 368 bytes) and back. Decode
// fails on fewer than 368 bytes.
void EncodeGpsFixRecord(const GpsFixRecord& fix, uint8_t out[kGpsFixRecordBytes]);
bool DecodeGpsFixRecord(const uint8_t* data, size_t size, GpsFixRecord& out);

// A fresh record as the parser's reset leaves it: all zero, status 'V', fix
// mode 1, every used-satellite slot -1.
GpsFixRecord MakeResetGpsFix();

// Writes a signed position in hundredths of an arc-second into the DMS,
// NMEA and hemisphere fields.
void SetFixPositionHundredths(GpsFixRecord& fix, int32_t longitudeHs, int32_t latitudeHs);
// The same from signed NMEA-form values (dddmm.mmmm), keeping their full
// precision.
void SetFixPositionNmea(GpsFixRecord& fix, double longitudeNmea, double latitudeNmea);
// Signed degrees of the record's NMEA-form fields.
double NmeaToDegrees(double nmea);

// Seconds since 1970-01-01 00:00 of the record's local date and time
// (Gregorian leap years).
int64_t GpsFixLocalEpochSeconds(const GpsFixRecord& fix);
// Adds hours to the record's date and time with day, month and year carry.
void AddHoursToFixTime(GpsFixRecord& fix, int hours);

// The prediction factor k in seconds (process-wide, 0.5 at start); the
// module start may set it from an interval of 1..2000 ms.
double GetGpsPredictionFactor();
void SetGpsPredictionFactor(double seconds);

// What the filter takes from one "$..RMC" sentence.
struct GpsFilterInput {
    int32_t longitudeHs = 0;
    int32_t latitudeHs = 0;
    double altitudeM = 0.0;
    uint16_t headingDeg = 0;
    uint8_t speedKmh = 0;
    uint8_t hdopX10 = 0;
    uint8_t satellitesUsed = 0;
};

// Angle difference (a - b) brought into -180..179.
int GpsAngleDiff(int a, int b);

// Turns each valid NMEA position into the record's position, speed and
// heading: smooths the heading, holds the position while the car stands,
// and pushes the position ahead by the prediction factor.
class CGPSFilter {
public:
    void Filter(const GpsFilterInput& input, GpsFixRecord& fix, int invalidCount);
    void Reset();

    int IsSettled() const { return m_settled; }

private:
    void Keep(GpsFixRecord& fix);
    void Accept(const GpsFilterInput& input, GpsFixRecord& fix);
    void Turn(const GpsFilterInput& input, GpsFixRecord& fix);
    void TakeSpeed(const GpsFilterInput& input, GpsFixRecord& fix) { fix.speedKmh = input.speedKmh; }
    void RuleC(const GpsFilterInput& input, GpsFixRecord& fix, int a);

    int m_started = 0;
    int m_settled = 0;
    uint16_t m_lastHeading = 0;
    uint16_t m_curHeading = 0;
    uint16_t m_prevHeading = 0;
    uint8_t m_lastSpeed = 0;
    uint8_t m_curSpeed = 0;
    uint8_t m_prevSpeed = 0;
    int m_slowCount = 0;
    int m_invalidCount = 0;
    int m_turning = 0;
    int m_straight = 0;
    int m_stableHeading = 0;
    int m_jump = 0;
    int m_stop = 0;
};

// "LastGPS.dat": one record at offset 0, no header. Load is 1 only for a
// whole record whose longitude degrees lie in 125..132 and latitude degrees
// in 33..38 (otherwise out is zeroed); Save replaces the file whole.
int LoadLastGpsFix(const std::string& nativePath, GpsFixRecord& out);
int SaveLastGpsFix(const std::string& nativePath, const GpsFixRecord& fix);
// The acceptance test of a stored record.
bool IsAcceptableLastFix(const GpsFixRecord& fix);

// The parser thread's rules for each complete fix: the first fix after the
// thread starts goes out with speed and heading 0 and is neither counted nor
// saved; a fix without 'A' goes out with speed 0; valid fixes are counted and
// the record is saved at 600 of them, or on stopping after a drive of 20 km/h
// or more once 60 are counted.
class GpsFixPublisher {
public:
    static constexpr int kSaveEveryFixes = 600;
    static constexpr int kSaveOnStopAfterFixes = 60;

    // The copy to publish from the parser's record; save tells whether the
    // last-fix file is to be written with it.
    GpsFixRecord Prepare(const GpsFixRecord& parsed, bool* save);
    // After a save attempt, successful or not.
    void OnSaved();

private:
    bool m_first = true;
    int m_validCount = kSaveOnStopAfterFixes;
    bool m_seenFast = true;
};
