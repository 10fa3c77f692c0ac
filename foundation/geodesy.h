#pragma once
// Projections, datum shifts and angle formats.
//
// UTM follows the widely used public latitude/longitude-to-UTM routine
// (Snyder's transverse Mercator series, its 24-entry ellipsoid table);
// KATEC is the Korean transverse Mercator grid on Bessel 1841. The position
// code is the 1/3-arc-second grid of the southern Korean peninsula that the
// traffic and search data use.
#include <cstdint>

#include "foundation/coords.h"

// ---------------------------------------------------------------------------
// UTM

struct ReferenceEllipsoid {
    int id;
    const char* name;
    double equatorialRadiusM;
    double eccentricitySquared;
};

inline constexpr int kEllipsoidCount = 24;  // entry 0 is a placeholder
inline constexpr int kEllipsoidWgs84 = 23;

// Entry of the ellipsoid table, nullptr for an index outside 1..23.
const ReferenceEllipsoid* GetReferenceEllipsoid(int index);

// Band letter of a latitude: C..X, 'Z' outside -80..84.
char GetUTMZoneLetter(double latitude);
// Standard zone of a position, with the Norway and Svalbard exceptions.
int GetUTMZoneNumber(double longitude, double latitude);

// UTM in the point's own zone. Returns zone x 1000 + the band letter's
// character code; 0 for an unknown ellipsoid or a non-finite position.
int ConvertLLToUTM(int ellipsoid, double latitude, double longitude, double& northing, double& easting);
int ConvertLLToUTMWGS84(double longitude, double latitude, double& easting, double& northing);
// UTM forced into a zone (1..60); same result code, 0 for a bad zone.
int ConvertLLToUTMInZone(int ellipsoid, double latitude, double longitude, double& northing, double& easting,
                         int zone);
int ConvertLLToUTMInZoneWGS84(double longitude, double latitude, double& easting, double& northing, int zone);

// ---------------------------------------------------------------------------
// KATEC and the WGS-84 / Bessel 1841 datum shifts

// Abridged Molodensky shift of a WGS-84 position (degrees) to Bessel 1841,
// in place.
void ConvertWGS84ToBessel(double& longitude, double& latitude);
// Meridian arc length on Bessel 1841 from the equator, metres.
double CalcMeridianArcBessel(double latitudeRad);
// KATEC x (easting) and y (northing) in metres of a WGS-84 position; 1, or 0
// for a non-finite position.
int MapPointToKatec(double longitude, double latitude, double& x, double& y);

// Full Molodensky shift of a point given in degrees, minutes and seconds:
// mode 0 Bessel 1841 to WGS-84, mode 1 WGS-84 to Bessel 1841, any other
// mode copies. Returns 1.
int ConvertDatumDms(int mode, const DmsAngle& longitude, const DmsAngle& latitude, DmsAngle& outLongitude,
                    DmsAngle& outLatitude);

// ---------------------------------------------------------------------------
// Formats

// NMEA ddmm.mmmm (dddmm.mmmm) to map units and back. NmeaToMapPoint returns
// 0 and leaves the point alone for values that are not finite or whose
// result lies outside the 32-bit map range.
int NmeaToMapPoint(double longitude, double latitude, MapPoint& out);
int MapPointToNmea(const MapPoint& point, double& longitude, double& latitude);

// Hundredths of an arc-second.
int DmsToHundredthSec(const DmsAngle& angle, int32_t& out);
int HundredthSecToDms(int32_t value, DmsAngle& out);

// NMEA-style double: degrees x 100 + minutes (with the fraction).
int DmsToNmea(const DmsAngle& angle, double& out);
int NmeaToDms(double value, DmsAngle& out);

double DmsToRadian(const DmsAngle& angle);
int RadianToDms(double radians, DmsAngle& out);

// Position code: thirds of an arc-second from 125 E / 33 N plus 10000; the
// longitude code is valid from 10000 to 85600, the latitude code from 10000
// to 74800. Both return 0 outside those ranges (DmsToPositionCode still
// writes the codes).
inline constexpr int32_t kPositionCodeMin = 10000;
inline constexpr int32_t kLonPositionCodeMax = 85600;
inline constexpr int32_t kLatPositionCodeMax = 74800;
int PositionCodeToDms(int32_t longitudeCode, int32_t latitudeCode, DmsAngle& longitude, DmsAngle& latitude);
int DmsToPositionCode(const DmsAngle& longitude, const DmsAngle& latitude, int32_t& longitudeCode,
                      int32_t& latitudeCode);
