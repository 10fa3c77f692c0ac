#include "guidance/trip_info.h"

#include <algorithm>
#include <cmath>
#include <climits>
#include <cstdint>
#include <cstring>

#include "foundation/debug_trace.h"
#include "platform/byte_cursor.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "settings/course_current.h"
#include "settings/global_data.h"

namespace {

struct TablePoint {
    double x, y;
};
// Economy (km/L) by speed (km/h); the last row's x of 1000 ends the table.
constexpr TablePoint kEconomyBySpeed[] = {{10, 7},   {20, 10},  {30, 12},  {40, 14},  {50, 15},  {60, 16},
                                          {70, 17},  {80, 16},  {90, 15},  {100, 14}, {110, 13}, {120, 12},
                                          {130, 11}, {140, 9},  {160, 6},  {200, 3},  {1000, 3}};
// CO2 (g/km) by economy (km/L).
constexpr TablePoint kCo2ByEconomy[] = {{8.3, 284}, {9, 246}, {11, 201}, {13, 170}, {15, 155}, {20, 111}, {1000, 111}};

template <size_t N>
double Lookup(const TablePoint (&table)[N], double x) {
    // Below the first breakpoint there is no row to the left: the first
    // row's value holds.
    if (x <= table[0].x) return table[0].y;
    for (size_t i = 1; i < N; ++i) {
        if (x <= table[i].x) {
            const TablePoint a = table[i - 1], b = table[i];
            return a.y + (b.y - a.y) * (x - a.x) / (b.x - a.x);
        }
    }
    return table[N - 1].y;
}

void PutName(platform::ByteWriter& w, const char16_t* name) {
    for (int i = 0; i < kTripNameUnits; ++i) w.U16(name[i]);
}
void GetName(platform::ByteReader& r, char16_t* name) {
    for (int i = 0; i < kTripNameUnits; ++i) name[i] = r.U16();
    name[kTripNameUnits - 1] = 0;
}
void SetName(char16_t* dst, std::u16string_view text) {
    const size_t n = std::min(text.size(), static_cast<size_t>(kTripNameUnits - 1));
    std::fill(dst, dst + kTripNameUnits, 0);
    std::copy(text.begin(), text.begin() + static_cast<long>(n), dst);
}

// Running sums of a trip read back from a file may hold anything: they
// stop at the int32 range instead of wrapping.
void AddHeld(int32_t& sum, int64_t add) {
    sum = static_cast<int32_t>(std::clamp<int64_t>(static_cast<int64_t>(sum) + add, INT32_MIN, INT32_MAX));
}

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
int DaysIn(int y, int m) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (m == 2 && IsLeap(y)) return 29;
    return kDays[(m - 1) % 12];
}

}  // namespace

double TripEconomyAtSpeed(double speedKmh) { return Lookup(kEconomyBySpeed, speedKmh); }
double TripCo2OfEconomy(double kmPerL) { return Lookup(kCo2ByEconomy, kmPerL); }

int32_t TripHms(int64_t seconds) {
    if (seconds < 0) seconds = 0;
    const int64_t h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
    return static_cast<int32_t>(std::min<int64_t>(h, 9999) * 10000 + m * 100 + s);
}

void TripAddSeconds(int32_t* date, int32_t* time, int64_t seconds) {
    int year = *date / 10000, month = *date / 100 % 100, day = *date % 100;
    int64_t s = *time % 100 + seconds;
    int64_t mi = *time / 100 % 100 + s / 60;
    s %= 60;
    int64_t h = *time / 10000 + mi / 60;
    mi %= 60;
    int64_t days = h / 24;
    h %= 24;
    if (month < 1 || month > 12) month = 1;
    if (day < 1) day = 1;
    while (days-- > 0) {
        if (++day > DaysIn(year, month)) {
            day = 1;
            if (++month > 12) {
                month = 1;
                ++year;
            }
        }
    }
    *date = year * 10000 + month * 100 + day;
    *time = static_cast<int32_t>(h * 10000 + mi * 100 + s);
}

std::vector<uint8_t> EncodeTripRecord(const TripRecord& r) {
    platform::ByteWriter w;
    PutName(w, r.startName);
    PutName(w, r.destName);
    w.I32(r.startPoint.x);
    w.I32(r.startPoint.y);
    for (int32_t v : {r.arrivalDate, r.arrivalTime, r.drivingS, r.drivenM, r.drivingHms, r.drivenCopyM,
                      r.remainingHms, r.courseValue, r.maxSpeedKmh, r.avgSpeedKmh, r.speedSum, r.speedCount})
        w.I32(v);
    for (int32_t v : r.ring) w.I32(v);
    w.I32(r.ringPos);
    w.I32(r.ringCount);
    for (int32_t v : r.economy) w.I32(v);
    return w.Data();
}

bool DecodeTripRecord(const uint8_t* data, size_t size, TripRecord* out) {
    if (!data || size < kTripRecordBytes || !out) return false;
    platform::ByteReader r(data, kTripRecordBytes);
    TripRecord t;
    GetName(r, t.startName);
    GetName(r, t.destName);
    t.startPoint.x = r.I32();
    t.startPoint.y = r.I32();
    for (int32_t* v : {&t.arrivalDate, &t.arrivalTime, &t.drivingS, &t.drivenM, &t.drivingHms, &t.drivenCopyM,
                       &t.remainingHms, &t.courseValue, &t.maxSpeedKmh, &t.avgSpeedKmh, &t.speedSum, &t.speedCount})
        *v = r.I32();
    for (int32_t& v : t.ring) v = r.I32();
    t.ringPos = r.I32();
    t.ringCount = r.I32();
    for (int32_t& v : t.economy) v = r.I32();
    if (!r.Ok()) return false;
    // Ring indexes from outside are held inside the ring.
    if (t.ringPos < 0 || t.ringPos >= kTripSpeedRing) t.ringPos = 0;
    t.ringCount = std::clamp(t.ringCount, 0, kTripSpeedRing);
    int32_t& ecoCount = t.economy[kEcoSpeedCount];
    int32_t& ecoPos = t.economy[kEcoSpeedPos];
    ecoCount = std::clamp(ecoCount, 0, 20);
    if (ecoPos < 0 || ecoPos >= 20) ecoPos = 0;
    *out = t;
    return true;
}

std::vector<uint8_t> EncodeTripFile(const TripRecord& r) {
    platform::ByteWriter w;
    w.F32(kTripFileMarker);
    const std::vector<uint8_t> body = EncodeTripRecord(r);
    w.Bytes(body.data(), body.size());
    return w.Data();
}

bool DecodeTripFile(const uint8_t* data, size_t size, TripRecord* out) {
    if (!data || size < kTripFileBytes) return false;
    platform::ByteReader r(data, size);
    if (r.F32() != kTripFileMarker) return false;
    TripRecord t;
    if (!DecodeTripRecord(data + 4, size - 4, &t)) return false;
    if (t.startPoint.x == 0 && t.startPoint.y == 0) return false;
    if (out) *out = t;
    return true;
}

int CMgrTripService::Init() {
    const CMgrConfigGlobalData& global = CMgrConfigGlobalData::Instance();
    std::u16string path(global.m_configFolder);
    std::string native;
    if (!path.empty()) {
        path += kTripFileName;
        platform::NativePath(platform::Utf16ToUtf8(path), native);
    }
    return InitAt(native, global.m_tripSave == 1);
}

int CMgrTripService::InitAt(const std::string& nativePath, bool tripSave) {
    MgrLock hold(m_lock);
    ResetLocked();
    m_started = m_active = false;
    m_loaded = false;
    m_tripSave = tripSave;
    m_path = nativePath;
    m_image = TripRecord{};
    if (!tripSave || m_path.empty()) return 1;
    std::vector<uint8_t> bytes;
    TripRecord saved;
    if (platform::FileExists(m_path) && platform::ReadWholeFile(m_path, bytes) &&
        DecodeTripFile(bytes.data(), bytes.size(), &saved)) {
        m_image = saved;
        m_record = saved;
        m_loaded = true;
        return 1;
    }
    // A missing file or a foreign image: the file starts again with the
    // marker and an empty trip.
    WriteImageLocked();
    return 1;
}

void CMgrTripService::ResetLocked() {
    m_record = TripRecord{};
    m_lastPos = {};
    m_lastFixS = 0;
    m_lastDate = m_lastTime = m_lastSpeed = 0;
    m_hasPosition = false;
    m_lastSaveMs = 0;
    m_armed = true;
}

void CMgrTripService::Reset() {
    MgrLock hold(m_lock);
    ResetLocked();
}

int CMgrTripService::Restore() {
    MgrLock hold(m_lock);
    if (m_loaded) m_record = m_image;
    m_started = m_active = true;
    return m_loaded ? 1 : 0;
}

int CMgrTripService::WriteImageLocked() {
    if (!m_tripSave || m_path.empty()) return 0;
    return platform::AtomicReplaceFile(m_path, EncodeTripFile(m_image)) ? 1 : 0;
}

int CMgrTripService::SaveNow() {
    MgrLock hold(m_lock);
    m_image = m_record;
    m_lastSaveMs = platform::GetTickCount64();
    return WriteImageLocked();
}

void CMgrTripService::StartTrip(const std::u16string& startName, const std::u16string& destName,
                                CMgrConfigUIInfoCourse* course) {
    std::u16string start = startName;
    if (start == kTripStartDefault && course) {
        _tagUISTRUCT_COURSEPOS pos;
        if (course->GetStartPoint(&pos) == 1 && !CoursePosName(pos).empty()) {
            start = std::u16string(CoursePosName(pos));
            std::fill(std::begin(pos.PosInfo.szName), std::end(pos.PosInfo.szName), 0);
            course->SetPoint(kCourseSlotStart, pos);
        }
    }
    MgrLock hold(m_lock);
    ResetLocked();
    SetName(m_record.startName, start);
    SetName(m_record.destName, destName);
    m_image = TripRecord{};
    WriteImageLocked();
    m_started = m_active = true;
    m_cancelText.clear();
}

void CMgrTripService::EndTrip(bool keepText, const std::function<std::u16string(const MapPoint&)>& areaName) {
    MgrLock hold(m_lock);
    m_record.arrivalDate = m_lastDate;
    m_record.arrivalTime = m_lastTime;
    m_active = false;
    m_record.remainingHms = 0;
    m_image = TripRecord{};
    WriteImageLocked();
    if (!keepText) m_cancelText = (areaName ? areaName(m_lastPos) : std::u16string()) + kTripCancelSuffix;
}

void CMgrTripService::Update(const TripUpdate& u) {
    MgrLock hold(m_lock);
    TripRecord& r = m_record;
    const double dt = u.fixTimeS - m_lastFixS;
    double dd = 0;
    if (m_hasPosition) {
        if (dt > 0 && dt <= 10) AddHeld(r.drivingS, static_cast<int64_t>(dt + 0.5));
        dd = GetApproxDistance(m_lastPos, u.position);
        if (dd > 0 && dd <= 100) AddHeld(r.drivenM, static_cast<int64_t>(dd + 0.5));
    }
    int32_t v = u.speedKmh;
    if (m_active) {
        if (r.startPoint.x == 0 && r.startPoint.y == 0) r.startPoint = u.position;
        r.drivingHms = TripHms(r.drivingS);
        r.drivenCopyM = r.drivenM;
        r.courseValue = u.courseValue;
        if (v > 250) {
            v = 0;
        } else if (r.ringCount > 0) {
            const int32_t previous = r.ring[(r.ringPos + kTripSpeedRing - 1) % kTripSpeedRing];
            if (previous >= 0 && static_cast<int64_t>(v) - previous > 49) v = previous <= 240 ? previous + 10 : 250;
        }
        r.ring[r.ringPos] = v;
        r.ringPos = (r.ringPos + 1) % kTripSpeedRing;
        r.ringCount = std::min(r.ringCount + 1, kTripSpeedRing);
        int64_t ringSum = 0;
        int ringN = 0;
        for (int32_t s : r.ring)
            if (s >= 0) ringSum += s, ++ringN;
        if (ringN > 0) {
            const int32_t mean = static_cast<int32_t>(std::min(static_cast<double>(ringSum) / ringN + 0.5, 2e9));
            r.maxSpeedKmh = std::max(r.maxSpeedKmh, mean);
        }
        AddHeld(r.speedSum, v);
        AddHeld(r.speedCount, 1);
        if (r.speedCount > 0)
            r.avgSpeedKmh = static_cast<int32_t>(std::clamp(static_cast<double>(r.speedSum) / r.speedCount + 0.5, -2e9, 2e9));
    }
    m_lastPos = u.position;
    m_lastFixS = u.fixTimeS;
    m_lastDate = u.date;
    m_lastTime = u.time;
    m_lastSpeed = v;
    m_hasPosition = true;
    // The remaining time comes in as seconds and is kept in the record as
    // hhmmss only: the estimate is made from the seconds handed in.
    if (u.remainingS > 0 && m_active) {
        int32_t date = u.date, time = u.time;
        TripAddSeconds(&date, &time, u.remainingS);
        r.arrivalDate = date;
        r.arrivalTime = time;
        r.remainingHms = TripHms(u.remainingS);
    }
    EconomyStep(v, dt, dd);
    if (!m_active) return;
    const uint64_t now = platform::GetTickCount64();
    const uint64_t sinceSave = now - m_lastSaveMs;
    if ((u.speedKmh < 4 || sinceSave >= 300000) && m_armed && sinceSave >= 30000) {
        m_image = r;
        WriteImageLocked();
        m_lastSaveMs = now;
        m_armed = false;
    } else if (u.speedKmh > 19) {
        m_armed = true;
    }
}

void CMgrTripService::EconomyStep(int32_t speedKmh, double dtS, double ddM) {
    if (!(dtS > 0 && dtS < 60)) return;
    int32_t* e = m_record.economy;
    int32_t& count = e[kEcoSpeedCount];
    int32_t& pos = e[kEcoSpeedPos];
    count = std::clamp(count, 0, 20);
    if (pos < 0 || pos >= 20) pos = 0;
    const int32_t previous = count > 0 ? e[kEcoSpeeds + (pos + 19) % 20] : speedKmh;
    e[kEcoSpeeds + pos] = speedKmh;
    pos = (pos + 1) % 20;
    count = std::min(count + 1, 20);
    const double accel = std::clamp((static_cast<double>(speedKmh) - previous) / dtS, -15.0, 15.0);
    e[kEcoAccelX10] = static_cast<int32_t>(std::lround(accel * 10));

    const double factor = accel <= -3 ? 1.2 : accel < -1 ? 1.4 : accel <= 1 ? 1.0 : accel < 3 ? 0.7 : 0.5;
    const double economy = TripEconomyAtSpeed(speedKmh) * factor;  // km/L
    const int64_t tenths = static_cast<int64_t>(ddM * 10);
    AddHeld(e[kEcoDistanceTenths], tenths);
    // Fuel of the step in millilitres: distance / economy.
    AddHeld(e[kEcoFuelMl], std::lround(tenths / 10.0 / economy));
    e[kEcoEconomyX100] = static_cast<int32_t>(std::lround(economy * 100));
    e[kEcoCo2GPerKm] = static_cast<int32_t>(std::lround(TripCo2OfEconomy(economy)));

    const int bySpeed = speedKmh == 0 ? -1 : speedKmh <= 40 ? 1 : speedKmh <= 60 ? 3 : speedKmh <= 90 ? 4
                                              : speedKmh <= 110 ? 0 : -2;
    const int byAccel = accel <= -3 ? -4 : accel <= 1 ? 1 : accel < 3 ? -1 : -3;
    e[kEcoScoreX100] = static_cast<int32_t>(std::lround(0.9 * e[kEcoScoreX100] + 0.1 * (bySpeed + byAccel) * 100));

    // The state: calm (1) or hard (2) for 2000 ms when the average of the
    // recent speeds passes the band of the speed class.
    int64_t sum = 0;
    for (int i = 0; i < count; ++i) sum += e[kEcoSpeeds + i];
    const double mean = count ? static_cast<double>(sum) / count : 0;
    const double band = speedKmh >= 150 ? 10 : speedKmh >= 100 ? 15 : speedKmh >= 50 ? 20 : speedKmh >= 30 ? 25
                        : speedKmh < 15 ? 40 : 30;
    const uint32_t nowMs = static_cast<uint32_t>(platform::GetTickCount64());
    if (std::fabs(speedKmh - mean) > band) {
        e[kEcoState] = speedKmh > mean ? 2 : 1;
        e[kEcoStateTickMs] = static_cast<int32_t>(nowMs);
    } else if (e[kEcoState] != 0 && nowMs - static_cast<uint32_t>(e[kEcoStateTickMs]) >= 2000) {
        e[kEcoState] = 0;
    }
}

void CMgrTripService::GetRecord(TripRecord* out, bool full) const {
    if (!out) return;
    MgrLock hold(m_lock);
    if (full) {
        *out = m_record;
        return;
    }
    out->drivingS = m_record.drivingS;
    out->drivenM = m_record.drivenM;
}

TripRecord CMgrTripService::Record() const {
    MgrLock hold(m_lock);
    return m_record;
}

void CMgrTripService::SetRecord(const TripRecord& r) {
    MgrLock hold(m_lock);
    m_record = r;
}

std::u16string CMgrTripService::CancelText() const {
    MgrLock hold(m_lock);
    return m_cancelText;
}

bool CMgrTripService::IsActive() const {
    MgrLock hold(m_lock);
    return m_active;
}

bool CMgrTripService::IsLoaded() const {
    MgrLock hold(m_lock);
    return m_loaded;
}
