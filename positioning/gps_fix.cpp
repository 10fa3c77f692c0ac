#include "positioning/gps_fix.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "foundation/geodesy.h"
#include "platform/byte_cursor.h"
#include "platform/clock.h"
#include "platform/file_io.h"

namespace {

void WriteDms(platform::ByteWriter& w, const DmsAngle& a) {
    w.U8(a.degrees);
    w.U8(a.minutes);
    w.Zeros(6);
    w.F64(a.seconds);
}

DmsAngle ReadDms(platform::ByteReader& r) {
    DmsAngle a;
    a.degrees = r.U8();
    a.minutes = r.U8();
    r.Skip(6);
    a.seconds = r.F64();
    return a;
}

std::atomic<double> g_predictionFactor{0.5};

// Metres of latitude in hundredths of an arc-second.
constexpr double kHundredthsPerMetre = 3.2343096;
constexpr double kPi = 3.14159265358979323846;

}  // namespace

void EncodeGpsFixRecord(const GpsFixRecord& fix, uint8_t out[kGpsFixRecordBytes]) {
    platform::ByteWriter w;
    WriteDms(w, fix.longitude);
    WriteDms(w, fix.latitude);
    w.F64(fix.longitudeNmea);
    w.F64(fix.latitudeNmea);
    for (const GpsSatelliteInView& s : fix.satellites) {
        w.I16(s.prn);
        w.I16(s.elevationDeg);
        w.I16(s.azimuthDeg);
        w.I16(s.snr);
    }
    w.U16(fix.year);
    w.U8(fix.month);
    w.U8(fix.day);
    w.U8(fix.hour);
    w.U8(fix.minute);
    w.U8(fix.second);
    w.U8(0);
    w.U8(fix.fixMode);
    w.U8(fix.satellitesUsed);
    for (int16_t prn : fix.usedPrn) w.I16(prn);
    w.U16(fix.status);
    w.U8(fix.speedKmh);
    w.U8(fix.satellitesInView);
    w.U8(fix.hdopX10);
    w.U8(0);
    w.U16(fix.headingDeg);
    w.Zeros(6);
    w.F64(fix.altitudeM);
    w.U8(static_cast<uint8_t>(fix.northSouth));
    w.U8(static_cast<uint8_t>(fix.eastWest));
    w.Zeros(2);
    w.U32(fix.settled);
    std::memcpy(out, w.Data().data(), kGpsFixRecordBytes);
}

bool DecodeGpsFixRecord(const uint8_t* data, size_t size, GpsFixRecord& out) {
    if (size < kGpsFixRecordBytes) return false;
    platform::ByteReader r(data, kGpsFixRecordBytes);
    GpsFixRecord f;
    f.longitude = ReadDms(r);
    f.latitude = ReadDms(r);
    f.longitudeNmea = r.F64();
    f.latitudeNmea = r.F64();
    for (GpsSatelliteInView& s : f.satellites) {
        s.prn = r.I16();
        s.elevationDeg = r.I16();
        s.azimuthDeg = r.I16();
        s.snr = r.I16();
    }
    f.year = r.U16();
    f.month = r.U8();
    f.day = r.U8();
    f.hour = r.U8();
    f.minute = r.U8();
    f.second = r.U8();
    r.Skip(1);
    f.fixMode = r.U8();
    f.satellitesUsed = r.U8();
    for (int16_t& prn : f.usedPrn) prn = r.I16();
    f.status = r.U16();
    f.speedKmh = r.U8();
    f.satellitesInView = r.U8();
    f.hdopX10 = r.U8();
    r.Skip(1);
    f.headingDeg = r.U16();
    r.Skip(6);
    f.altitudeM = r.F64();
    f.northSouth = static_cast<char>(r.U8());
    f.eastWest = static_cast<char>(r.U8());
    r.Skip(2);
    f.settled = r.U32();
    if (!r.Ok()) return false;
    out = f;
    return true;
}

GpsFixRecord MakeResetGpsFix() {
    GpsFixRecord f;
    f.status = kGpsStatusInvalid;
    f.fixMode = 1;
    for (int16_t& prn : f.usedPrn) prn = -1;
    return f;
}

void SetFixPositionHundredths(GpsFixRecord& fix, int32_t longitudeHs, int32_t latitudeHs) {
    const int64_t lon = std::llabs(static_cast<int64_t>(longitudeHs));
    const int64_t lat = std::llabs(static_cast<int64_t>(latitudeHs));
    HundredthSecToDms(static_cast<int32_t>(lon), fix.longitude);
    HundredthSecToDms(static_cast<int32_t>(lat), fix.latitude);
    double lonNmea = 0.0, latNmea = 0.0;
    DmsToNmea(fix.longitude, lonNmea);
    DmsToNmea(fix.latitude, latNmea);
    fix.longitudeNmea = longitudeHs < 0 ? -lonNmea : lonNmea;
    fix.latitudeNmea = latitudeHs < 0 ? -latNmea : latNmea;
    fix.eastWest = longitudeHs < 0 ? 'W' : 'E';
    fix.northSouth = latitudeHs < 0 ? 'S' : 'N';
}

void SetFixPositionNmea(GpsFixRecord& fix, double longitudeNmea, double latitudeNmea) {
    NmeaToDms(std::fabs(longitudeNmea), fix.longitude);
    NmeaToDms(std::fabs(latitudeNmea), fix.latitude);
    fix.longitudeNmea = longitudeNmea;
    fix.latitudeNmea = latitudeNmea;
    fix.eastWest = longitudeNmea < 0 ? 'W' : 'E';
    fix.northSouth = latitudeNmea < 0 ? 'S' : 'N';
}

double NmeaToDegrees(double nmea) {
    const double a = std::fabs(nmea);
    const double degrees = std::floor(a / 100.0);
    const double value = degrees + (a - degrees * 100.0) / 60.0;
    return nmea < 0 ? -value : value;
}

int64_t GpsFixLocalEpochSeconds(const GpsFixRecord& fix) {
    platform::LocalDateTime t;
    t.year = fix.year;
    t.month = fix.month;
    t.day = fix.day;
    t.hour = fix.hour;
    t.minute = fix.minute;
    t.second = fix.second;
    return platform::LocalToEpochSeconds(t);
}

void AddHoursToFixTime(GpsFixRecord& fix, int hours) {
    if (fix.month < 1 || fix.month > 12 || fix.day < 1 || fix.day > 31) {
        // No date to carry into: only the hour moves, as the clock of the day.
        fix.hour = static_cast<uint8_t>(((fix.hour + hours) % 24 + 24) % 24);
        return;
    }
    const platform::LocalDateTime t =
        platform::EpochSecondsToLocal(GpsFixLocalEpochSeconds(fix) + static_cast<int64_t>(hours) * 3600);
    fix.year = static_cast<uint16_t>(t.year);
    fix.month = static_cast<uint8_t>(t.month);
    fix.day = static_cast<uint8_t>(t.day);
    fix.hour = static_cast<uint8_t>(t.hour);
    fix.minute = static_cast<uint8_t>(t.minute);
    fix.second = static_cast<uint8_t>(t.second);
}

double GetGpsPredictionFactor() { return g_predictionFactor.load(std::memory_order_relaxed); }
void SetGpsPredictionFactor(double seconds) { g_predictionFactor.store(seconds, std::memory_order_relaxed); }

int GpsAngleDiff(int a, int b) {
    int d = static_cast<int16_t>(a - b);
    while (d > 179) d -= 360;
    while (d < -180) d += 360;
    return d;
}

// ---------------------------------------------------------------------------
// Filter

void CGPSFilter::Reset() { *this = CGPSFilter(); }

void CGPSFilter::Keep(GpsFixRecord& fix) {
    fix.speedKmh = 0;
    m_lastHeading = fix.headingDeg;
    m_lastSpeed = 0;
    fix.settled = static_cast<uint32_t>(m_settled);
}

void CGPSFilter::Accept(const GpsFilterInput& input, GpsFixRecord& fix) {
    int32_t lon = input.longitudeHs;
    int32_t lat = input.latitudeHs;
    const double latDeg = lat / 360000.0;
    if (std::fabs(latDeg) < 89.9) {
        const double k = GetGpsPredictionFactor();
        const double f = fix.speedKmh < 30 ? 0.3 : (fix.speedKmh < 60 ? 0.6 : 1.0);
        const double v = fix.speedKmh * f * k;
        const double h = fix.headingDeg * kPi / 180.0;
        const double metresPerSec = v / 3.6;
        lat += static_cast<int32_t>(std::trunc(std::cos(h) * metresPerSec * kHundredthsPerMetre));
        lon += static_cast<int32_t>(
            std::trunc(std::sin(h) * metresPerSec * kHundredthsPerMetre / std::cos(latDeg * kPi / 180.0)));
    }
    const char ns = fix.northSouth, ew = fix.eastWest;
    SetFixPositionHundredths(fix, lon, lat);
    // The letters are the receiver's; a push across the equator does not
    // change them.
    if (ns) fix.northSouth = ns;
    if (ew) fix.eastWest = ew;
    fix.altitudeM = input.altitudeM;
    m_lastHeading = fix.headingDeg;
    m_lastSpeed = fix.speedKmh;
    fix.settled = static_cast<uint32_t>(m_settled);
}

void CGPSFilter::Turn(const GpsFilterInput& input, GpsFixRecord& fix) {
    const int h = input.hdopX10;
    const int a = std::abs(GpsAngleDiff(fix.headingDeg, input.headingDeg));
    if (h <= 20 || (h <= 40 && a > 5) || (h > 40 && a > 10)) fix.headingDeg = input.headingDeg;
    m_settled = 1;
    fix.speedKmh = input.speedKmh;
    Accept(input, fix);
}

void CGPSFilter::RuleC(const GpsFilterInput& input, GpsFixRecord& fix, int a) {
    if (m_stableHeading < 5) {
        if (a > 4) {
            m_straight = 0;
            m_stableHeading = 0;
        } else if (++m_straight > 5) {
            m_straight = 0;
            m_turning = 0;
        }
        Turn(input, fix);
        return;
    }
    const int dPrev = GpsAngleDiff(m_prevHeading, m_lastHeading);
    const int dCur = GpsAngleDiff(m_curHeading, m_lastHeading);
    if ((dPrev < 0 && dCur > 0) || (dPrev > 0 && dCur < 0)) {
        m_turning = m_straight = m_stableHeading = 0;
        TakeSpeed(input, fix);
        Accept(input, fix);
        return;
    }
    if (a >= 5 || ++m_turning > 4) {
        m_turning = m_straight = m_stableHeading = 0;
        Turn(input, fix);
        return;
    }
    TakeSpeed(input, fix);
    Accept(input, fix);
}

void CGPSFilter::Filter(const GpsFilterInput& input, GpsFixRecord& fix, int invalidCount) {
    m_prevHeading = m_curHeading;
    m_curHeading = input.headingDeg;
    m_prevSpeed = m_curSpeed;
    m_curSpeed = input.speedKmh;
    m_invalidCount = invalidCount;

    bool toEnd = false;
    if (invalidCount == 5) {
        m_started = 1;
        toEnd = true;
    } else if (!m_started) {
        m_started = 1;
        toEnd = true;
    }
    if (toEnd) {
        if (!m_settled) {
            TakeSpeed(input, fix);
            Accept(input, fix);
        } else {
            Turn(input, fix);
        }
        return;
    }

    if (std::abs(static_cast<int>(input.speedKmh) - static_cast<int>(m_prevSpeed)) > 30 && invalidCount == 0) {
        if (m_jump < 3) {
            ++m_jump;
            Accept(input, fix);   // speed and heading stay as they were
            return;
        }
        m_jump = 0;
    }

    const int speed = input.speedKmh;
    if (speed <= 1) {
        ++m_stop;
        m_slowCount = m_turning = m_stableHeading = 0;
        if (input.hdopX10 >= 39) m_stop = 0;
        if (m_stop < 10) {
            Keep(fix);
            return;
        }
        fix.speedKmh = 0;
        m_settled = 1;
        m_stop = 0;
        Accept(input, fix);
        return;
    }
    const int a = std::abs(GpsAngleDiff(m_curHeading, m_prevHeading));
    if (speed <= 9) {
        m_stop = m_turning = m_stableHeading = 0;
        if (++m_slowCount < 4) {
            Keep(fix);
            return;
        }
        m_slowCount = 3;
        if (a < 10) {
            Turn(input, fix);
        } else {
            TakeSpeed(input, fix);
            Accept(input, fix);
        }
        return;
    }
    m_stop = m_slowCount = 0;
    if (!m_turning) {
        if (a <= 9) {
            if (a > 4) {
                if (m_stableHeading > 0) --m_stableHeading;
            } else if (m_stableHeading < 5) {
                ++m_stableHeading;
            }
            Turn(input, fix);
        } else if (a <= 30) {
            RuleC(input, fix, a);
        } else {
            if (m_stableHeading == 5) {
                m_turning = 1;
                m_straight = 0;
            }
            TakeSpeed(input, fix);
            Accept(input, fix);
        }
        return;
    }
    if (a <= 60) {
        RuleC(input, fix, a);
    } else {
        TakeSpeed(input, fix);
        Accept(input, fix);
    }
}

// ---------------------------------------------------------------------------
// Last fix

bool IsAcceptableLastFix(const GpsFixRecord& fix) {
    return fix.longitude.degrees >= 125 && fix.longitude.degrees <= 132 && fix.latitude.degrees >= 33 &&
           fix.latitude.degrees <= 38;
}

int LoadLastGpsFix(const std::string& nativePath, GpsFixRecord& out) {
    out = GpsFixRecord();
    platform::File file;
    if (!file.Open(nativePath, platform::File::Mode::kRead)) return 0;
    uint8_t bytes[kGpsFixRecordBytes];
    if (!file.ReadExactAt(0, bytes, sizeof bytes)) return 0;
    GpsFixRecord fix;
    if (!DecodeGpsFixRecord(bytes, sizeof bytes, fix) || !IsAcceptableLastFix(fix)) return 0;
    out = fix;
    return 1;
}

int SaveLastGpsFix(const std::string& nativePath, const GpsFixRecord& fix) {
    uint8_t bytes[kGpsFixRecordBytes];
    EncodeGpsFixRecord(fix, bytes);
    return platform::AtomicReplaceFile(nativePath, bytes, sizeof bytes) ? 1 : 0;
}

GpsFixRecord GpsFixPublisher::Prepare(const GpsFixRecord& parsed, bool* save) {
    GpsFixRecord out = parsed;
    *save = false;
    if (m_first) {
        m_first = false;
        out.speedKmh = 0;
        out.headingDeg = 0;
        return out;
    }
    if (out.status != kGpsStatusValid) {
        out.speedKmh = 0;
        return out;
    }
    ++m_validCount;
    if (out.speedKmh >= 20) m_seenFast = true;
    if (m_validCount >= kSaveEveryFixes ||
        (out.speedKmh <= 3 && m_seenFast && m_validCount >= kSaveOnStopAfterFixes)) {
        *save = true;
    }
    return out;
}

void GpsFixPublisher::OnSaved() {
    m_validCount = 0;
    m_seenFast = false;
}
