#include "foundation/geodesy.h"

#include <cmath>
#include <numbers>

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kDegToRad = kPi / 180.0;
constexpr double kRadToDeg = 180.0 / kPi;

// The ellipsoid table of the public routine, in its order and with its
// rounded values; the index is the ellipsoid id.
constexpr ReferenceEllipsoid kEllipsoids[kEllipsoidCount] = {
    {-1, "Placeholder", 0, 0},
    {1, "Airy", 6377563, 0.00667054},
    {2, "Australian National", 6378160, 0.006694542},
    {3, "Bessel 1841", 6377397, 0.006674372},
    {4, "Bessel 1841 (Nambia)", 6377484, 0.006674372},
    {5, "Clarke 1866", 6378206, 0.006768658},
    {6, "Clarke 1880", 6378249, 0.006803511},
    {7, "Everest", 6377276, 0.006637847},
    {8, "Fischer 1960 (Mercury)", 6378166, 0.006693422},
    {9, "Fischer 1968", 6378150, 0.006693422},
    {10, "GRS 1967", 6378160, 0.006694605},
    {11, "GRS 1980", 6378137, 0.00669438},
    {12, "Helmert 1906", 6378200, 0.006693422},
    {13, "Hough", 6378270, 0.00672267},
    {14, "International", 6378388, 0.00672267},
    {15, "Krassovsky", 6378245, 0.006693422},
    {16, "Modified Airy", 6377340, 0.00667054},
    {17, "Modified Everest", 6377304, 0.006637847},
    {18, "Modified Fischer 1960", 6378155, 0.006693422},
    {19, "South American 1969", 6378160, 0.006694542},
    {20, "WGS 60", 6378165, 0.006693422},
    {21, "WGS 66", 6378145, 0.006694542},
    {22, "WGS-72", 6378135, 0.006694318},
    {23, "WGS-84", 6378137, 0.00669438},
};

constexpr double kUtmScale = 0.9996;
constexpr double kUtmFalseEastingM = 500000.0;
constexpr double kUtmFalseNorthingSouthM = 10000000.0;

// WGS-84 and Bessel 1841 as the datum shifts use them.
constexpr double kWgs84A = 6378137.0;
constexpr double kWgs84B = 6356752.3142;
constexpr double kWgs84InvF = 298.257223563;
constexpr double kBesselA = 6377397.155;
constexpr double kBesselB = 6356078.96325;
constexpr double kBesselInvF = 299.1528128;

// The Korean shift between the two datums, WGS-84 to Bessel; the reverse
// direction negates it.
constexpr double kShiftToBesselX = 128.0;
constexpr double kShiftToBesselY = -481.0;
constexpr double kShiftToBesselZ = -664.0;
constexpr double kAbridgedDa = -739.845;
constexpr double kAbridgedDf = -1.0037483e-05;

// KATEC grid.
constexpr double kKatecOriginLonDeg = 128.0;
constexpr double kKatecOriginLatDeg = 38.0;
constexpr double kKatecScale = 0.9999;
constexpr double kKatecFalseEastingM = 400000.0;
constexpr double kKatecFalseNorthingM = 600000.0;

bool Finite(double a, double b) { return std::isfinite(a) && std::isfinite(b); }

// Into -180..180 (180 itself becomes -180).
double NormalizeLongitude(double lon) {
    double t = std::fmod(lon + 180.0, 360.0);
    if (t < 0) t += 360.0;
    if (t >= 360.0) t -= 360.0;
    return t - 180.0;
}

// Saturating truncation for values that may come from outside.
int64_t TruncToInt64(double v) {
    if (!(v == v)) return 0;
    if (v >= 9.0e18) return INT64_C(9000000000000000000);
    if (v <= -9.0e18) return -INT64_C(9000000000000000000);
    return static_cast<int64_t>(v);
}

int32_t SaturateInt32(int64_t v) {
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(v);
}

// Snyder's transverse Mercator series without false easting or northing;
// meridianArc is the arc from the grid origin's latitude to the point's.
void TransverseMercatorSeries(double a, double e2, double k0, double latRad, double dLonRad, double meridianArc,
                              double& east, double& north) {
    const double ep2 = e2 / (1.0 - e2);
    const double s = std::sin(latRad);
    const double c = std::cos(latRad);
    const double tn = std::tan(latRad);
    const double n = a / std::sqrt(1.0 - e2 * s * s);
    const double t = tn * tn;
    const double cc = ep2 * c * c;
    const double aa = c * dLonRad;
    const double a2 = aa * aa;
    const double a3 = a2 * aa;
    const double a4 = a2 * a2;
    const double a5 = a4 * aa;
    const double a6 = a4 * a2;
    east = k0 * n * (aa + (1 - t + cc) * a3 / 6 + (5 - 18 * t + t * t + 72 * cc - 58 * ep2) * a5 / 120);
    north = k0 * (meridianArc + n * tn *
                                    (a2 / 2 + (5 - t + 9 * cc + 4 * cc * cc) * a4 / 24 +
                                     (61 - 58 * t + t * t + 600 * cc - 330 * ep2) * a6 / 720));
}

// Meridian arc of the public UTM routine (series to e^6).
double MeridianArcUtm(double a, double e2, double latRad) {
    const double e4 = e2 * e2;
    const double e6 = e4 * e2;
    return a * ((1 - e2 / 4 - 3 * e4 / 64 - 5 * e6 / 256) * latRad -
                (3 * e2 / 8 + 3 * e4 / 32 + 45 * e6 / 1024) * std::sin(2 * latRad) +
                (15 * e4 / 256 + 45 * e6 / 1024) * std::sin(4 * latRad) - (35 * e6 / 3072) * std::sin(6 * latRad));
}

int ProjectUtm(const ReferenceEllipsoid& ell, double lat, double lon, int zone, double& northing, double& easting) {
    const double origin = zone * 6.0 - 183.0;
    // Brought into -180..180 so a forced zone across the date line stays
    // next door instead of a full turn away.
    const double dLon = NormalizeLongitude(lon - origin);
    const double latRad = lat * kDegToRad;
    TransverseMercatorSeries(ell.equatorialRadiusM, ell.eccentricitySquared, kUtmScale, latRad, dLon * kDegToRad,
                             MeridianArcUtm(ell.equatorialRadiusM, ell.eccentricitySquared, latRad), easting,
                             northing);
    easting += kUtmFalseEastingM;
    if (lat < 0) northing += kUtmFalseNorthingSouthM;
    return zone * 1000 + GetUTMZoneLetter(lat);
}

// Standard Molodensky shift at height 0 (DMA TR 8350.2); angles in radians.
void Molodensky(double& latRad, double& lonRad, double aFrom, double bFrom, double aTo, double bTo, double dX,
                double dY, double dZ) {
    const double fFrom = (aFrom - bFrom) / aFrom;
    const double fTo = (aTo - bTo) / aTo;
    const double da = aTo - aFrom;
    const double df = fTo - fFrom;
    const double e2 = 2 * fFrom - fFrom * fFrom;
    const double sp = std::sin(latRad);
    const double cp = std::cos(latRad);
    const double sl = std::sin(lonRad);
    const double cl = std::cos(lonRad);
    const double w = 1.0 - e2 * sp * sp;
    const double rn = aFrom / std::sqrt(w);
    const double rm = aFrom * (1.0 - e2) / (w * std::sqrt(w));
    const double dLat = (-dX * sp * cl - dY * sp * sl + dZ * cp + da * (rn * e2 * sp * cp) / aFrom +
                         df * (rm * aFrom / bFrom + rn * bFrom / aFrom) * sp * cp) /
                        rm;
    const double dLon = (-dX * sl + dY * cl) / (rn * cp);
    latRad += dLat;
    lonRad += dLon;
}

}  // namespace

// ---------------------------------------------------------------------------
// UTM

const ReferenceEllipsoid* GetReferenceEllipsoid(int index) {
    if (index < 1 || index >= kEllipsoidCount) return nullptr;
    return &kEllipsoids[index];
}

char GetUTMZoneLetter(double latitude) {
    if (!(latitude >= -80.0 && latitude <= 84.0)) return 'Z';
    if (latitude >= 72.0) return 'X';
    static constexpr char kBands[] = "CDEFGHJKLMNPQRSTUVW";
    const int band = static_cast<int>(std::floor((latitude + 80.0) / 8.0));
    return kBands[band < 0 ? 0 : (band > 18 ? 18 : band)];
}

int GetUTMZoneNumber(double longitude, double latitude) {
    if (!Finite(longitude, latitude)) return 0;
    const double lon = NormalizeLongitude(longitude);
    int zone = static_cast<int>((lon + 180.0) / 6.0) + 1;
    if (zone > 60) zone = 60;
    if (latitude >= 56.0 && latitude < 64.0 && lon >= 3.0 && lon < 12.0) zone = 32;
    if (latitude >= 72.0 && latitude < 84.0) {
        if (lon >= 0.0 && lon < 9.0) {
            zone = 31;
        } else if (lon >= 9.0 && lon < 21.0) {
            zone = 33;
        } else if (lon >= 21.0 && lon < 33.0) {
            zone = 35;
        } else if (lon >= 33.0 && lon < 42.0) {
            zone = 37;
        }
    }
    return zone;
}

int ConvertLLToUTM(int ellipsoid, double latitude, double longitude, double& northing, double& easting) {
    const ReferenceEllipsoid* ell = GetReferenceEllipsoid(ellipsoid);
    if (ell == nullptr || !Finite(latitude, longitude)) return 0;
    return ProjectUtm(*ell, latitude, longitude, GetUTMZoneNumber(longitude, latitude), northing, easting);
}

int ConvertLLToUTMWGS84(double longitude, double latitude, double& easting, double& northing) {
    return ConvertLLToUTM(kEllipsoidWgs84, latitude, longitude, northing, easting);
}

int ConvertLLToUTMInZone(int ellipsoid, double latitude, double longitude, double& northing, double& easting,
                         int zone) {
    const ReferenceEllipsoid* ell = GetReferenceEllipsoid(ellipsoid);
    if (ell == nullptr || zone < 1 || zone > 60 || !Finite(latitude, longitude)) return 0;
    return ProjectUtm(*ell, latitude, longitude, zone, northing, easting);
}

int ConvertLLToUTMInZoneWGS84(double longitude, double latitude, double& easting, double& northing, int zone) {
    return ConvertLLToUTMInZone(kEllipsoidWgs84, latitude, longitude, northing, easting, zone);
}

// ---------------------------------------------------------------------------
// KATEC and datum shifts

void ConvertWGS84ToBessel(double& longitude, double& latitude) {
    // Abridged Molodensky: the curvature radii are taken on the source
    // ellipsoid, the flattening terms folded into one sin 2phi term.
    const double f = 1.0 / kWgs84InvF;
    const double e2 = 2 * f - f * f;
    const double phi = latitude * kDegToRad;
    const double lam = longitude * kDegToRad;
    const double sp = std::sin(phi);
    const double cp = std::cos(phi);
    const double sl = std::sin(lam);
    const double cl = std::cos(lam);
    const double w = 1.0 - e2 * sp * sp;
    const double rn = kWgs84A / std::sqrt(w);
    const double rm = kWgs84A * (1.0 - e2) / (w * std::sqrt(w));
    const double dPhi = (-kShiftToBesselX * sp * cl - kShiftToBesselY * sp * sl + kShiftToBesselZ * cp +
                         (kWgs84A * kAbridgedDf + f * kAbridgedDa) * std::sin(2 * phi)) /
                        rm;
    const double dLam = (-kShiftToBesselX * sl + kShiftToBesselY * cl) / (rn * cp);
    latitude += dPhi * kRadToDeg;
    longitude += dLam * kRadToDeg;
}

double CalcMeridianArcBessel(double latitudeRad) {
    const double f = 1.0 / kBesselInvF;
    const double e2 = 2 * f - f * f;
    const double e4 = e2 * e2;
    const double e6 = e4 * e2;
    const double e8 = e4 * e4;
    const double e10 = e8 * e2;
    const double a = 1 + 3.0 / 4 * e2 + 45.0 / 64 * e4 + 175.0 / 256 * e6 + 11025.0 / 16384 * e8 +
                     43659.0 / 65536 * e10;
    const double b = 3.0 / 4 * e2 + 15.0 / 16 * e4 + 525.0 / 512 * e6 + 2205.0 / 2048 * e8 + 72765.0 / 65536 * e10;
    const double c = 15.0 / 64 * e4 + 105.0 / 256 * e6 + 2205.0 / 4096 * e8 + 10395.0 / 16384 * e10;
    const double d = 35.0 / 512 * e6 + 315.0 / 2048 * e8 + 31185.0 / 131072 * e10;
    const double e = 315.0 / 16384 * e8 + 3465.0 / 65536 * e10;
    const double ff = 693.0 / 131072 * e10;
    const double p = latitudeRad;
    return kBesselA * (1 - e2) *
           (a * p - b / 2 * std::sin(2 * p) + c / 4 * std::sin(4 * p) - d / 6 * std::sin(6 * p) +
            e / 8 * std::sin(8 * p) - ff / 10 * std::sin(10 * p));
}

int MapPointToKatec(double longitude, double latitude, double& x, double& y) {
    if (!Finite(longitude, latitude)) return 0;
    double lon = longitude;
    double lat = latitude;
    ConvertWGS84ToBessel(lon, lat);
    const double f = 1.0 / kBesselInvF;
    const double latRad = lat * kDegToRad;
    const double arc = CalcMeridianArcBessel(latRad) - CalcMeridianArcBessel(kKatecOriginLatDeg * kDegToRad);
    double east = 0;
    double north = 0;
    TransverseMercatorSeries(kBesselA, 2 * f - f * f, kKatecScale, latRad, (lon - kKatecOriginLonDeg) * kDegToRad,
                             arc, east, north);
    x = east + kKatecFalseEastingM;
    y = north + kKatecFalseNorthingM;
    return 1;
}

int ConvertDatumDms(int mode, const DmsAngle& longitude, const DmsAngle& latitude, DmsAngle& outLongitude,
                    DmsAngle& outLatitude) {
    if (mode != 0 && mode != 1) {
        outLongitude = longitude;
        outLatitude = latitude;
        return 1;
    }
    double lat = DmsToRadian(latitude);
    double lon = DmsToRadian(longitude);
    if (mode == 0) {
        Molodensky(lat, lon, kBesselA, kBesselB, kWgs84A, kWgs84B, -kShiftToBesselX, -kShiftToBesselY,
                   -kShiftToBesselZ);
    } else {
        Molodensky(lat, lon, kWgs84A, kWgs84B, kBesselA, kBesselB, kShiftToBesselX, kShiftToBesselY,
                   kShiftToBesselZ);
    }
    RadianToDms(lon, outLongitude);
    RadianToDms(lat, outLatitude);
    return 1;
}

// ---------------------------------------------------------------------------
// Formats

int NmeaToMapPoint(double longitude, double latitude, MapPoint& out) {
    auto toUnits = [](double v, double& units) {
        if (!std::isfinite(v)) return false;
        const double c = v / 100.0;
        if (!(std::fabs(c) < 4096.0)) return false;
        const double g = std::trunc(c);
        units = std::trunc((g + (c - g) / 0.6) * kMapUnitsPerDegree);
        return units >= INT32_MIN && units <= INT32_MAX;
    };
    double x = 0;
    double y = 0;
    if (!toUnits(longitude, x) || !toUnits(latitude, y)) return 0;
    out.x = static_cast<int32_t>(x);
    out.y = static_cast<int32_t>(y);
    return 1;
}

int MapPointToNmea(const MapPoint& point, double& longitude, double& latitude) {
    auto toNmea = [](int32_t units) {
        const double d = static_cast<double>(units) / kMapUnitsPerDegree;
        const double g = std::trunc(d);
        return (g + (d - g) * 0.6) * 100.0;
    };
    longitude = toNmea(point.x);
    latitude = toNmea(point.y);
    return 1;
}

int DmsToHundredthSec(const DmsAngle& angle, int32_t& out) {
    const double seconds = angle.minutes * 60.0 + angle.degrees * 3600.0 + angle.seconds;
    out = SaturateInt32(TruncToInt64(seconds * 100.0));
    return 1;
}

int HundredthSecToDms(int32_t value, DmsAngle& out) {
    // A DmsAngle holds 0 .. 255 degrees only.
    if (value < 0 || value / 360000 > 255) return 0;
    const int32_t degrees = value / 360000;
    const int32_t minutes = (value - degrees * 360000) / 6000;
    out.degrees = static_cast<uint8_t>(degrees);
    out.minutes = static_cast<uint8_t>(minutes);
    out.seconds = (value - degrees * 360000 - minutes * 6000) / 100.0;
    return 1;
}

int DmsToNmea(const DmsAngle& angle, double& out) {
    out = angle.degrees * 100.0 + angle.minutes + angle.seconds / 60.0;
    return 1;
}

int NmeaToDms(double value, DmsAngle& out) {
    if (!(value >= 0.0 && value < 25600.0)) return 0;
    const int degrees = static_cast<int>(value / 100.0);
    const double rest = value - degrees * 100.0;
    const int minutes = static_cast<int>(rest);
    out.degrees = static_cast<uint8_t>(degrees);
    out.minutes = static_cast<uint8_t>(minutes);
    out.seconds = (rest - minutes) * 60.0;
    return 1;
}

double DmsToRadian(const DmsAngle& angle) {
    return (angle.degrees + angle.minutes / 60.0 + angle.seconds / 3600.0) * kDegToRad;
}

int RadianToDms(double radians, DmsAngle& out) {
    const double d = radians * kRadToDeg;
    if (!(d >= 0.0 && d < 256.0)) return 0;
    const int degrees = static_cast<int>(d);
    const double m = (d - degrees) * 60.0;
    const int minutes = static_cast<int>(m);
    out.degrees = static_cast<uint8_t>(degrees);
    out.minutes = static_cast<uint8_t>(minutes);
    out.seconds = (m - minutes) * 60.0;
    return 1;
}

int PositionCodeToDms(int32_t longitudeCode, int32_t latitudeCode, DmsAngle& longitude, DmsAngle& latitude) {
    if (longitudeCode < kPositionCodeMin || longitudeCode > kLonPositionCodeMax) return 0;
    if (latitudeCode < kPositionCodeMin || latitudeCode > kLatPositionCodeMax) return 0;
    // Whole arc-seconds in integers and the thirds on top, so the code
    // survives a round trip exactly.
    auto split = [](int32_t code, int32_t baseArcSec, DmsAngle& out) {
        const int32_t steps = code - kPositionCodeMin;
        const int32_t arcSec = steps / 3 + baseArcSec;
        out.degrees = static_cast<uint8_t>(arcSec / 3600);
        out.minutes = static_cast<uint8_t>(arcSec % 3600 / 60);
        out.seconds = arcSec % 60 + (steps % 3) / 3.0;
    };
    split(longitudeCode, 125 * 3600, longitude);
    split(latitudeCode, 33 * 3600, latitude);
    return 1;
}

int DmsToPositionCode(const DmsAngle& longitude, const DmsAngle& latitude, int32_t& longitudeCode,
                      int32_t& latitudeCode) {
    auto code = [](const DmsAngle& a, int baseDegrees) {
        if (!std::isfinite(a.seconds)) return int32_t{0};  // below every valid code
        const int64_t thirds = TruncToInt64(a.seconds * 3.0 + 0.5);
        return SaturateInt32((static_cast<int64_t>(a.degrees - baseDegrees) * 60 + a.minutes) * 180 + thirds +
                             kPositionCodeMin);
    };
    longitudeCode = code(longitude, 125);
    latitudeCode = code(latitude, 33);
    return longitudeCode >= kPositionCodeMin && longitudeCode <= kLonPositionCodeMax &&
                   latitudeCode >= kPositionCodeMin && latitudeCode <= kLatPositionCodeMax
               ? 1
               : 0;
}
