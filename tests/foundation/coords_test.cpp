#include "foundation/coords.h"

#include <GeographicLib/Geocentric.hpp>
#include <GeographicLib/Geodesic.hpp>
#include <GeographicLib/TransverseMercator.hpp>
#include <GeographicLib/UTMUPS.hpp>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>

namespace {

constexpr double kUnits = kMapUnitsPerDegree;

MapPoint FromDegrees(double lon, double lat) {
    return MapPoint{static_cast<int32_t>(std::lround(lon * kUnits)), static_cast<int32_t>(std::lround(lat * kUnits))};
}

double GeodesicM(double lon1, double lat1, double lon2, double lat2) {
    double s12 = 0;
    GeographicLib::Geodesic::WGS84().Inverse(lat1, lon1, lat2, lon2, s12);
    return s12;
}

// UTM as GeographicLib computes it (Krueger series, exact to nanometres).
void OracleUtm(double a, double f, double lon, double lat, int zone, double& easting, double& northing) {
    const GeographicLib::TransverseMercator tm(a, f, 0.9996);
    tm.Forward(zone * 6.0 - 183.0, lat, lon, easting, northing);
    easting += 500000.0;
    if (lat < 0) northing += 10000000.0;
}

constexpr double kBesselA = 6377397.155;
constexpr double kBesselF = 1.0 / 299.1528128;

// Exact geocentric translation between the datums: what both Molodensky
// forms approximate.
void OracleDatumShift(bool toBessel, double& lon, double& lat) {
    const GeographicLib::Geocentric bessel(kBesselA, kBesselF);
    const GeographicLib::Geocentric& wgs = GeographicLib::Geocentric::WGS84();
    double x = 0, y = 0, z = 0, h = 0;
    const double sign = toBessel ? 1.0 : -1.0;
    (toBessel ? wgs : bessel).Forward(lat, lon, 0.0, x, y, z);
    x += sign * 128.0;
    y -= sign * 481.0;
    z -= sign * 664.0;
    (toBessel ? bessel : wgs).Reverse(x, y, z, lat, lon, h);
}

double DmsDegrees(const DmsAngle& a) { return a.degrees + a.minutes / 60.0 + a.seconds / 3600.0; }

DmsAngle DmsFromDegrees(double deg) {
    DmsAngle a;
    a.degrees = static_cast<uint8_t>(deg);
    const double m = (deg - a.degrees) * 60.0;
    a.minutes = static_cast<uint8_t>(m);
    a.seconds = (m - a.minutes) * 60.0;
    return a;
}

// ---------------------------------------------------------------------------

TEST(CoordsAnchors, AnchorValues) {
    struct Anchor {
        const char* what;
        std::function<double()> actual;
        double expected;
        double tolerance;
    };
    const auto tileLocal = [](int which) {
        CMgrCoordBase frame(1);
        int column = -1, row = -1;
        TileLocalPoint local;
        const int ok = frame.MapToTileLocal(MapPoint{2049, 4095}, column, row, local);
        const int values[] = {ok, column, row, local.x, local.y};
        return static_cast<double>(values[which]);
    };
    const auto positionCode = [](int which, DmsAngle lon, DmsAngle lat) {
        int32_t lonCode = 0, latCode = 0;
        const int ok = DmsToPositionCode(lon, lat, lonCode, latCode);
        const int values[] = {ok, lonCode, latCode};
        return static_cast<double>(values[which]);
    };
    const int32_t y375 = static_cast<int32_t>(37.5 * kUnits);
    const Anchor anchors[] = {
        {"tile count level 0", [] { return GetLevelTileCount(0); }, 0, 0},
        {"tile count level 1", [] { return GetLevelTileCount(1); }, 65536, 0},
        {"tile count level 2", [] { return GetLevelTileCount(2); }, 16384, 0},
        {"tile count level 3", [] { return GetLevelTileCount(3); }, 2048, 0},
        {"tile count level 4", [] { return GetLevelTileCount(4); }, 256, 0},
        {"tile count level 5", [] { return GetLevelTileCount(5); }, 64, 0},
        {"tile count level 6", [] { return GetLevelTileCount(6); }, 8, 0},
        {"tile count level 7", [] { return GetLevelTileCount(7); }, 0, 0},
        {"frame tile count level 4", [] { return CMgrCoordBase(4).GetTileCount(); }, 256, 0},
        {"MapToTileLocal result", [&] { return tileLocal(0); }, 1, 0},
        {"MapToTileLocal column", [&] { return tileLocal(1); }, 1, 0},
        {"MapToTileLocal row", [&] { return tileLocal(2); }, 1, 0},
        {"MapToTileLocal local x", [&] { return tileLocal(3); }, 1, 0},
        {"MapToTileLocal local y", [&] { return tileLocal(4); }, 2047, 0},
        {"Atan2Deg(0, 5)", [] { return Atan2Deg(0, 5); }, 0, 0},
        {"Atan2Deg(5, 0)", [] { return Atan2Deg(5, 0); }, 90, 0},
        {"Atan2Deg(0, -5)", [] { return Atan2Deg(0, -5); }, 180, 0},
        {"Atan2Deg(-5, 0)", [] { return Atan2Deg(-5, 0); }, 270, 0},
        {"Atan2Deg(10, 10)", [] { return Atan2Deg(10, 10); }, 45, 0},
        {"position code 125E 33N result", [&] { return positionCode(0, {125, 0, 0}, {33, 0, 0}); }, 1, 0},
        {"position code 125E", [&] { return positionCode(1, {125, 0, 0}, {33, 0, 0}); }, 10000, 0},
        {"position code 33N", [&] { return positionCode(2, {125, 0, 0}, {33, 0, 0}); }, 10000, 0},
        {"position code 132E 0.5s result", [&] { return positionCode(0, {132, 0, 0.5}, {33, 0, 0}); }, 0, 0},
        {"position code 132E 0.5s still written", [&] { return positionCode(1, {132, 0, 0.5}, {33, 0, 0}); }, 85602,
         0},
        {"NormalizeAngle360(-90)", [] { return NormalizeAngle360(-90); }, 270, 0},
        {"NormalizeAngle360(450)", [] { return NormalizeAngle360(450); }, 90, 0},
        {"approx distance of equal points",
         [] { return GetApproxDistance(FromDegrees(127.0, 37.5), FromDegrees(127.0, 37.5)); }, 0, 0},
        {"longitude table index at 37.5N", [&] { return LonMeterTableIndex(y375, y375); }, 375, 0},
        {"latitude table index at 37.5N", [&] { return LatMeterTableIndex(y375, y375); }, 38, 0},
        {"longitude factor at 37.5N", [&] { return GetLonMeterPerUnit(y375, y375); }, LonMeterPerUnitTable()[375],
         0},
        {"latitude factor at 37.5N", [&] { return GetLatMeterPerUnit(y375, y375); }, LatMeterPerUnitTable()[38], 0},
        // The tables are given to 4 decimals.
        {"metres per unit of longitude at 0.0", [] { return LonMeterPerUnitTable()[0]; }, 0.2124, 1e-4},
        {"metres per unit of longitude at 89.9", [] { return LonMeterPerUnitTable()[899]; }, 0.0004, 1e-4},
        {"metres per unit of latitude at 0", [] { return LatMeterPerUnitTable()[0]; }, 0.2109, 1e-4},
        {"metres per unit of latitude at 89", [] { return LatMeterPerUnitTable()[89]; }, 0.2130, 1e-4},
    };
    for (const Anchor& anchor : anchors) {
        SCOPED_TRACE(anchor.what);
        EXPECT_NEAR(anchor.actual(), anchor.expected, anchor.tolerance);
    }
}

// ---------------------------------------------------------------------------
// Tile grid

TEST(CoordBase, LocalAndMapRoundTripOnEveryLevel) {
    for (int level = kMinMapLevel; level <= kMaxMapLevel; ++level) {
        SCOPED_TRACE(level);
        CMgrCoordBase frame;
        ASSERT_EQ(frame.SetLevel(level), 1);
        const int last = frame.GetTileCount() - 1;
        ASSERT_EQ(frame.SetTile(last, last / 2), 1);
        EXPECT_EQ(frame.GetTileOriginX(), static_cast<int64_t>(last) * GetLevelTileSide(level));

        const TileLocalPoint local{2047, 5};
        const MapPoint p = frame.LocalPointToMap(local);
        EXPECT_EQ(p, frame.LocalToMap(5, 2047));
        EXPECT_EQ(frame.MapToLocalPoint(p), local);

        int column = 0, row = 0;
        TileLocalPoint back;
        ASSERT_EQ(frame.MapToTileLocal(p, column, row, back), 1);
        EXPECT_EQ(column, last);
        EXPECT_EQ(row, last / 2);
        EXPECT_EQ(back, local);
        MapPoint again;
        ASSERT_EQ(frame.LocalPointToMap(column, row, back, again), 1);
        EXPECT_EQ(again, p);
    }
}

TEST(CoordBase, LevelAndTileChecks) {
    CMgrCoordBase frame;
    EXPECT_EQ(frame.GetLevel(), 1);
    EXPECT_EQ(frame.SetTile(10, 20), 1);
    EXPECT_EQ(frame.SetLevel(0), 0);
    EXPECT_EQ(frame.SetLevel(7), 0);
    EXPECT_EQ(frame.GetLevel(), 1);
    EXPECT_EQ(frame.SetLevel(1), 1);  // same level keeps the tile
    EXPECT_EQ(frame.GetTileColumn(), 10);
    EXPECT_EQ(frame.SetLevel(3), 1);  // another level resets it
    EXPECT_EQ(frame.GetTileColumn(), 0);
    EXPECT_EQ(frame.GetTileRow(), 0);
    EXPECT_EQ(frame.SetTile(2048, 2048), 1);  // tiles per axis is still accepted
    EXPECT_EQ(frame.SetTile(2049, 0), 0);
    EXPECT_EQ(frame.SetTile(0, -1), 0);
    // Extreme stored tiles are reported, not overflowed.
    EXPECT_EQ(frame.SetTile(INT32_MAX, INT32_MIN), 0);
    frame.LocalToMap(INT16_MAX, INT16_MIN);

    int column = -1, row = -1;
    EXPECT_EQ(frame.MapToTile(MapPoint{-1, 0}, column, row), 0);
    EXPECT_EQ(frame.MapToTile(MapPoint{0, kMapAreaUnits + 1}, column, row), 0);
    EXPECT_EQ(frame.MapToTile(MapPoint{INT32_MIN, INT32_MAX}, column, row), 0);
    EXPECT_EQ(frame.MapToTile(MapPoint{kMapAreaUnits, 0}, column, row), 1);
    EXPECT_EQ(column, 2048);

    // A frame constructed with a bad level has no sizes and converts nothing.
    CMgrCoordBase bad(9);
    EXPECT_EQ(bad.GetTileCount(), 0);
    EXPECT_EQ(bad.MapToTile(MapPoint{100, 100}, column, row), 0);
    MapPoint out;
    EXPECT_EQ(bad.LocalPointToMap(1, 1, TileLocalPoint{1, 1}, out), 0);
    EXPECT_EQ(bad.MapToLocalPoint(MapPoint{100, 100}), TileLocalPoint{});
}

// ---------------------------------------------------------------------------
// Distances

TEST(CoordsApproxDistance, AgreesWithGeodesicForShortDistancesInKorea) {
    struct Case {
        const char* name;
        double lon1, lat1, lon2, lat2;
    };
    const Case cases[] = {
        {"Seoul 100 m east", 126.9780, 37.5665, 126.9791, 37.5665},
        {"Seoul 300 m north", 126.9780, 37.5665, 126.9780, 37.5692},
        {"Gangnam 2 km diagonal", 127.0276, 37.4979, 127.0450, 37.5120},
        {"Daejeon 12 km", 127.3845, 36.3504, 127.2600, 36.4200},
        {"Busan 25 km", 129.0756, 35.1796, 129.3000, 35.2600},
        {"Jeju 30 km", 126.5312, 33.4996, 126.5600, 33.2400},
        {"Seoul to Suwon 30 km", 126.9780, 37.5665, 127.0286, 37.2636},
        {"Seoul to Busan 325 km", 126.9780, 37.5665, 129.0756, 35.1796},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const double exact = GeodesicM(c.lon1, c.lat1, c.lon2, c.lat2);
        const double approx = GetApproxDistance(FromDegrees(c.lon1, c.lat1), FromDegrees(c.lon2, c.lat2));
        EXPECT_NEAR(approx, exact, exact * 0.02 + 1.0);
        const MapPoint a = FromDegrees(c.lon1, c.lat1);
        const MapPoint b = FromDegrees(c.lon2, c.lat2);
        EXPECT_EQ(GetApproxDistanceXY(a.x, a.y, b.x, b.y), GetApproxDistance(b, a));
        EXPECT_EQ(CMgrCoordBase::GetApproxDistance(a, b), GetApproxDistance(a, b));
    }
}

TEST(CoordsApproxDistance, IntegerRootMatchesFloatingRoot) {
    // Walk dx and dy across the integer branch (both up to 32767 m) at the
    // equator, where 1 m is about 4.7 units.
    for (int dxM = 1; dxM <= 32000; dxM = dxM * 3 + 1) {
        for (int dyM = 1; dyM <= 32000; dyM = dyM * 2 + 3) {
            const MapPoint a{0, 0};
            const MapPoint b{static_cast<int32_t>(dxM / LonMeterPerUnitTable()[0]),
                             static_cast<int32_t>(dyM / LatMeterPerUnitTable()[0])};
            const double fx = GetLonMeterPerUnit(a.y, b.y);
            const double fy = GetLatMeterPerUnit(a.y, b.y);
            const double exact = std::hypot(std::trunc(fx * b.x), std::trunc(fy * b.y));
            EXPECT_NEAR(GetApproxDistance(a, b), exact, 1.0) << dxM << " " << dyM;
        }
    }
}

TEST(CoordsApproxDistance, SouthernAndPolarLatitudesStayInsideTheTables) {
    // South of the equator the factors mirror the north.
    const MapPoint n1 = FromDegrees(151.20, 33.87), n2 = FromDegrees(151.25, 33.90);
    const MapPoint s1 = FromDegrees(151.20, -33.87), s2 = FromDegrees(151.25, -33.90);
    EXPECT_EQ(GetApproxDistance(s1, s2), GetApproxDistance(n1, n2));
    const double exact = GeodesicM(151.20, -33.87, 151.25, -33.90);
    EXPECT_NEAR(GetApproxDistance(s1, s2), exact, exact * 0.02);

    struct Case {
        const char* name;
        int32_t y1, y2;
        int lonIndex, latIndex;
    };
    const Case cases[] = {
        {"37.5 S", -static_cast<int32_t>(37.5 * kUnits), -static_cast<int32_t>(37.5 * kUnits), 375, 38},
        {"across the equator", -static_cast<int32_t>(10 * kUnits), static_cast<int32_t>(10 * kUnits), 0, 0},
        {"89.7 N", static_cast<int32_t>(89.7 * kUnits), static_cast<int32_t>(89.7 * kUnits), 897, 89},
        {"89.96 N", static_cast<int32_t>(89.96 * kUnits), static_cast<int32_t>(89.96 * kUnits), 899, 89},
        {"top of the map area", kMapAreaUnits, kMapAreaUnits, 899, 89},
        {"extreme integers", INT32_MIN, INT32_MIN, 899, 89},
        {"extreme mixed", INT32_MAX, INT32_MIN, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(LonMeterTableIndex(c.y1, c.y2), c.lonIndex);
        EXPECT_EQ(LatMeterTableIndex(c.y1, c.y2), c.latIndex);
        GetApproxDistanceXY(0, c.y1, 1000, c.y2);  // must not read outside a table
    }
    // The floating branch with the largest possible differences.
    EXPECT_GT(GetApproxDistanceXY(INT32_MIN, 0, INT32_MAX, 0), 900000000u);
    GetApproxDistanceXY(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX);
}

TEST(CoordsUtmDistance, AgreesWithGeodesic) {
    struct Case {
        const char* name;
        double lon1, lat1, lon2, lat2;
        double tolerance;  // relative: the UTM scale is 0.9996 .. 1.001 in a zone
    };
    const Case cases[] = {
        {"Seoul 1 km", 126.9780, 37.5665, 126.9880, 37.5700, 0.0011},
        {"Korea across zones 51/52", 125.9, 37.0, 126.1, 37.1, 0.0011},
        {"Busan 30 km", 129.0756, 35.1796, 129.3000, 35.3600, 0.0011},
        {"across the equator", 10.0, 0.01, 10.01, -0.01, 0.0011},
        {"across the date line", 179.99, -16.0, -179.99, -16.01, 0.0011},
        {"Sydney", 151.20, -33.87, 151.25, -33.90, 0.0011},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const double exact = GeodesicM(c.lon1, c.lat1, c.lon2, c.lat2);
        const double utm = GetDistanceUTM(FromDegrees(c.lon1, c.lat1), FromDegrees(c.lon2, c.lat2));
        EXPECT_NEAR(utm, exact, exact * c.tolerance);
    }
}

// ---------------------------------------------------------------------------
// Directions

TEST(CoordsAngles, Atan2DegMatchesRoundedAtan2) {
    for (int y = -60; y <= 60; ++y) {
        for (int x = -60; x <= 60; ++x) {
            if (x == 0 && y == 0) continue;
            const double exact = std::atan2(y, x) * 180.0 / M_PI;
            // Skip angles a hair from a half degree, where the 6-decimal
            // tangent table may round either way.
            const double frac = std::fabs(exact - std::floor(exact) - 0.5);
            if (frac < 1e-4) continue;
            const int expected = NormalizeAngle360(static_cast<int>(std::lround(exact)));
            EXPECT_EQ(NormalizeAngle360(Atan2Deg(y, x)), expected) << "y=" << y << " x=" << x;
        }
    }
    EXPECT_EQ(Atan2Deg(-1, 1000), 360);  // just below the x axis, as documented
    EXPECT_EQ(Atan2Deg(INT32_MIN, INT32_MIN), 225);
    EXPECT_EQ(Atan2Deg(INT32_MAX, INT32_MIN), 135);
}

TEST(CoordsAngles, TablesAndNormalisation) {
    EXPECT_EQ(SinDeg(30), 0.5);
    EXPECT_EQ(CosDeg(-60), 0.5);
    EXPECT_EQ(SinDeg(450), 1.0);
    EXPECT_EQ(SinDeg(1), 0.017452);
    EXPECT_EQ(CosDeg(89), 0.017452);
    EXPECT_EQ(SinDeg(180), 0.0);
    EXPECT_EQ(NormalizeAngle360(-360), 0);
    EXPECT_EQ(NormalizeAngle360(-721), 359);
    EXPECT_EQ(NormalizeAngle360(INT32_MIN), NormalizeAngle360(INT32_MIN % 360));
}

TEST(CoordsAngles, UtmDirectionIsCounterclockwiseFromEastOrNorth) {
    struct Case {
        const char* name;
        double dLon, dLat;
        int plain, turned;
    };
    const Case cases[] = {
        {"east", 0.01, 0, 0, 270},  {"north", 0, 0.01, 90, 0},  {"west", -0.01, 0, 180, 90},
        {"south", 0, -0.01, 270, 180}, {"north-east", 0.0126, 0.01, 45, 315},
    };
    // Near the central meridian of zone 52 the grid is close to true north.
    const double lon = 129.0, lat = 36.0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_NEAR(CalcAngleUTM(lon, lat, lon + c.dLon, lat + c.dLat, 0), c.plain, 1);
        EXPECT_NEAR(CalcAngleUTM(lon, lat, lon + c.dLon, lat + c.dLat, 1), c.turned, 1);
        const MapPoint a = FromDegrees(lon, lat), b = FromDegrees(lon + c.dLon, lat + c.dLat);
        EXPECT_EQ(GetAngleUTM(a.x, a.y, b.x, b.y, 0), CalcAngleUTM(a.x / kUnits, a.y / kUnits, b.x / kUnits,
                                                                    b.y / kUnits, 0));
    }
    // North across the equator is still north.
    EXPECT_EQ(CalcAngleUTM(10.0, -0.005, 10.0, 0.005, 1), 0);
}

// ---------------------------------------------------------------------------
// UTM and KATEC against GeographicLib

TEST(GeodesyUtm, AgreesWithGeographicLibAroundTheWorld) {
    struct Case {
        const char* name;
        double lon, lat;
        int zone;
        char letter;
    };
    const Case cases[] = {
        {"Seoul", 126.9780, 37.5665, 52, 'S'},
        {"Incheon", 126.7052, 37.4563, 52, 'S'},
        {"Baengnyeongdo", 124.7150, 37.9600, 51, 'S'},
        {"Mokpo", 126.3922, 34.8118, 52, 'S'},
        {"Dokdo", 131.8700, 37.2400, 52, 'S'},
        {"Quito", -78.4678, -0.1807, 17, 'M'},
        {"Sydney", 151.2093, -33.8688, 56, 'H'},
        {"Cape Town", 18.4241, -33.9249, 34, 'H'},
        {"Ushuaia", -68.3030, -54.8019, 19, 'F'},
        {"Bergen (zone 32 exception)", 5.3221, 60.3913, 32, 'V'},
        {"Longyearbyen (Svalbard)", 15.6356, 78.2232, 33, 'X'},
        {"Reykjavik", -21.9426, 64.1466, 27, 'W'},
        {"New York", -74.0060, 40.7128, 18, 'T'},
        {"date line west", 179.5, -16.5, 60, 'K'},
        {"date line east", -179.5, 51.0, 1, 'U'},
        {"equator", 33.0, 0.0, 36, 'N'},
        {"longitude beyond 180", 486.9780, 37.5665, 52, 'S'},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        double easting = 0, northing = 0;
        const int code = ConvertLLToUTMWGS84(c.lon, c.lat, easting, northing);
        EXPECT_EQ(code, c.zone * 1000 + c.letter);
        EXPECT_EQ(GeographicLib::UTMUPS::StandardZone(c.lat, c.lon), c.zone);
        double oe = 0, on = 0;
        OracleUtm(GeographicLib::Constants::WGS84_a(), GeographicLib::Constants::WGS84_f(), c.lon, c.lat, c.zone,
                  oe, on);
        EXPECT_NEAR(easting, oe, 1.0);
        EXPECT_NEAR(northing, on, 1.0);
    }
}

TEST(GeodesyUtm, ForcedZonesAgreeWithGeographicLib) {
    struct Case {
        const char* name;
        double lon, lat;
        int zone;
    };
    const Case cases[] = {
        {"Seoul in 51", 126.9780, 37.5665, 51},   {"Seoul in 52", 126.9780, 37.5665, 52},
        {"Baengnyeongdo in 52", 124.7150, 37.9600, 52}, {"Busan in 51", 129.0756, 35.1796, 51},
        {"Jeju in 51", 126.5312, 33.4996, 51},    {"Sydney in 55", 151.2093, -33.8688, 55},
        {"Bergen in 31", 5.3221, 60.3913, 31},    {"date line: -179.9 in 60", -179.9, -16.5, 60},
        {"date line: 179.9 in 1", 179.9, 20.0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        double easting = 0, northing = 0;
        const int code = ConvertLLToUTMInZoneWGS84(c.lon, c.lat, easting, northing, c.zone);
        EXPECT_EQ(code / 1000, c.zone);
        EXPECT_EQ(code % 1000, GetUTMZoneLetter(c.lat));
        double oe = 0, on = 0;
        OracleUtm(GeographicLib::Constants::WGS84_a(), GeographicLib::Constants::WGS84_f(), c.lon, c.lat, c.zone,
                  oe, on);
        EXPECT_NEAR(easting, oe, 1.0);
        EXPECT_NEAR(northing, on, 1.0);
    }
    double e = 0, n = 0;
    EXPECT_EQ(ConvertLLToUTMInZoneWGS84(127.0, 37.0, e, n, 0), 0);
    EXPECT_EQ(ConvertLLToUTMInZoneWGS84(127.0, 37.0, e, n, 61), 0);
}

TEST(GeodesyUtm, EllipsoidTableAndBadInput) {
    const ReferenceEllipsoid* wgs = GetReferenceEllipsoid(kEllipsoidWgs84);
    ASSERT_NE(wgs, nullptr);
    EXPECT_STREQ(wgs->name, "WGS-84");
    EXPECT_EQ(GetReferenceEllipsoid(0), nullptr);
    EXPECT_EQ(GetReferenceEllipsoid(24), nullptr);

    // Another table entry projects on its own ellipsoid.
    const ReferenceEllipsoid* intl = GetReferenceEllipsoid(14);
    ASSERT_NE(intl, nullptr);
    EXPECT_STREQ(intl->name, "International");
    double northing = 0, easting = 0;
    EXPECT_EQ(ConvertLLToUTM(14, 48.8566, 2.3522, northing, easting), 31 * 1000 + 'U');
    double oe = 0, on = 0;
    OracleUtm(intl->equatorialRadiusM, 1.0 - std::sqrt(1.0 - intl->eccentricitySquared), 2.3522, 48.8566, 31, oe,
              on);
    EXPECT_NEAR(easting, oe, 1.0);
    EXPECT_NEAR(northing, on, 1.0);

    EXPECT_EQ(ConvertLLToUTM(0, 37.0, 127.0, northing, easting), 0);
    EXPECT_EQ(ConvertLLToUTM(24, 37.0, 127.0, northing, easting), 0);
    EXPECT_EQ(ConvertLLToUTMWGS84(std::numeric_limits<double>::quiet_NaN(), 37.0, easting, northing), 0);
    EXPECT_EQ(ConvertLLToUTMWGS84(127.0, std::numeric_limits<double>::infinity(), easting, northing), 0);
}

TEST(GeodesyUtm, BandLetters) {
    struct Case {
        double lat;
        char letter;
    };
    const Case cases[] = {{-80.0, 'C'}, {-72.01, 'C'}, {-72.0, 'D'}, {-0.01, 'M'}, {0.0, 'N'},  {37.5, 'S'},
                          {63.99, 'V'}, {64.0, 'W'},   {72.0, 'X'},  {84.0, 'X'},  {84.01, 'Z'}, {-80.01, 'Z'}};
    for (const Case& c : cases) EXPECT_EQ(GetUTMZoneLetter(c.lat), c.letter) << c.lat;
    EXPECT_EQ(GetUTMZoneLetter(std::numeric_limits<double>::quiet_NaN()), 'Z');
}

TEST(GeodesyKatec, AgreesWithGeographicLibTransverseMercator) {
    struct Case {
        const char* name;
        double lon, lat;
    };
    const Case cases[] = {
        {"origin", 128.0, 38.0},
        {"Seoul", 126.9780, 37.5665},
        {"Busan", 129.0756, 35.1796},
        {"Jeju", 126.5312, 33.4996},
        {"Baengnyeongdo", 124.7150, 37.9600},
        {"Dokdo", 131.8700, 37.2400},
        {"Goseong", 128.4678, 38.3806},
    };
    const GeographicLib::TransverseMercator tm(kBesselA, kBesselF, 0.9999);
    double x0 = 0, y0 = 0;
    tm.Forward(128.0, 38.0, 128.0, x0, y0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        double x = 0, y = 0;
        ASSERT_EQ(MapPointToKatec(c.lon, c.lat, x, y), 1);

        double lon = c.lon, lat = c.lat;
        ConvertWGS84ToBessel(lon, lat);
        double ox = 0, oy = 0;
        tm.Forward(128.0, lat, lon, ox, oy);
        EXPECT_NEAR(x, ox + 400000.0, 1.0);
        EXPECT_NEAR(y, oy - y0 + 600000.0, 1.0);

        // The abridged shift itself stays close to the exact geocentric one.
        double elon = c.lon, elat = c.lat;
        OracleDatumShift(true, elon, elat);
        EXPECT_NEAR(GeodesicM(lon, lat, elon, elat), 0.0, 0.5);
    }
    double x = 0, y = 0;
    EXPECT_EQ(MapPointToKatec(std::numeric_limits<double>::quiet_NaN(), 37.0, x, y), 0);
}

TEST(GeodesyKatec, MeridianArcMatchesGeographicLib) {
    // On the central meridian a transverse Mercator northing is k0 times the
    // meridian arc.
    const GeographicLib::TransverseMercator tm(kBesselA, kBesselF, 1.0);
    for (double lat = 0.0; lat <= 60.0; lat += 7.5) {
        double x = 0, y = 0;
        tm.Forward(0.0, lat, 0.0, x, y);
        EXPECT_NEAR(CalcMeridianArcBessel(lat * M_PI / 180.0), y, 0.001) << lat;
    }
}

// ---------------------------------------------------------------------------
// Datum shift of degree/minute/second points

TEST(GeodesyDatum, MolodenskyMatchesGeocentricTranslation) {
    struct Case {
        const char* name;
        double lon, lat;
    };
    const Case cases[] = {{"Seoul", 126.9780, 37.5665}, {"Busan", 129.0756, 35.1796}, {"Jeju", 126.5312, 33.4996}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (int mode : {0, 1}) {
            SCOPED_TRACE(mode);
            DmsAngle outLon, outLat;
            ASSERT_EQ(ConvertDatumDms(mode, DmsFromDegrees(c.lon), DmsFromDegrees(c.lat), outLon, outLat), 1);
            double lon = c.lon, lat = c.lat;
            OracleDatumShift(mode == 1, lon, lat);
            EXPECT_NEAR(GeodesicM(DmsDegrees(outLon), DmsDegrees(outLat), lon, lat), 0.0, 0.5);
        }
        // There and back again.
        DmsAngle bLon, bLat, wLon, wLat;
        ConvertDatumDms(1, DmsFromDegrees(c.lon), DmsFromDegrees(c.lat), bLon, bLat);
        ConvertDatumDms(0, bLon, bLat, wLon, wLat);
        EXPECT_NEAR(GeodesicM(DmsDegrees(wLon), DmsDegrees(wLat), c.lon, c.lat), 0.0, 0.1);
    }
    const DmsAngle lon{127, 1, 2.5}, lat{37, 3, 4.25};
    DmsAngle outLon, outLat;
    EXPECT_EQ(ConvertDatumDms(2, lon, lat, outLon, outLat), 1);
    EXPECT_EQ(outLon.degrees, 127);
    EXPECT_EQ(outLon.minutes, 1);
    EXPECT_EQ(outLon.seconds, 2.5);
    EXPECT_EQ(outLat.seconds, 4.25);
}

// ---------------------------------------------------------------------------
// Formats

TEST(GeodesyFormats, NmeaAndMapPoint) {
    MapPoint p;
    ASSERT_EQ(NmeaToMapPoint(12658.6800, 3733.9900, p), 1);
    EXPECT_EQ(p.x, static_cast<int32_t>((126.0 + 58.68 / 60.0) * kUnits));
    EXPECT_EQ(p.y, static_cast<int32_t>((37.0 + 33.99 / 60.0) * kUnits));
    double lon = 0, lat = 0;
    ASSERT_EQ(MapPointToNmea(p, lon, lat), 1);
    EXPECT_NEAR(lon, 12658.68, 1e-4);
    EXPECT_NEAR(lat, 3733.99, 1e-4);

    // Map -> NMEA -> map loses at most the truncated unit.
    for (const MapPoint q : {FromDegrees(126.9780, 37.5665), FromDegrees(129.0756, 35.1796), MapPoint{0, 0},
                             MapPoint{kMapAreaUnits - 1, 1}}) {
        MapPointToNmea(q, lon, lat);
        MapPoint r;
        ASSERT_EQ(NmeaToMapPoint(lon, lat, r), 1);
        EXPECT_NEAR(r.x, q.x, 1);
        EXPECT_NEAR(r.y, q.y, 1);
    }

    const MapPoint before{5, 6};
    MapPoint kept = before;
    EXPECT_EQ(NmeaToMapPoint(std::numeric_limits<double>::quiet_NaN(), 3733.0, kept), 0);
    EXPECT_EQ(NmeaToMapPoint(12658.0, 1e30, kept), 0);
    EXPECT_EQ(NmeaToMapPoint(-1e30, 3733.0, kept), 0);
    EXPECT_EQ(kept, before);
}

TEST(GeodesyFormats, DegreeMinuteSecondForms) {
    const DmsAngle angle{127, 2, 3.5};
    int32_t hundredths = 0;
    ASSERT_EQ(DmsToHundredthSec(angle, hundredths), 1);
    EXPECT_EQ(hundredths, (127 * 3600 + 2 * 60) * 100 + 350);
    DmsAngle back;
    ASSERT_EQ(HundredthSecToDms(hundredths, back), 1);
    EXPECT_EQ(back.degrees, 127);
    EXPECT_EQ(back.minutes, 2);
    EXPECT_DOUBLE_EQ(back.seconds, 3.5);
    EXPECT_EQ(HundredthSecToDms(-1, back), 0);

    double nmea = 0;
    ASSERT_EQ(DmsToNmea(angle, nmea), 1);
    EXPECT_DOUBLE_EQ(nmea, 12702.0 + 3.5 / 60.0);
    ASSERT_EQ(NmeaToDms(nmea, back), 1);
    EXPECT_EQ(back.degrees, 127);
    EXPECT_EQ(back.minutes, 2);
    EXPECT_NEAR(back.seconds, 3.5, 1e-6);
    EXPECT_EQ(NmeaToDms(-5.0, back), 0);
    EXPECT_EQ(NmeaToDms(std::numeric_limits<double>::quiet_NaN(), back), 0);

    const double rad = DmsToRadian(angle);
    EXPECT_NEAR(rad, (127.0 + 2.0 / 60.0 + 3.5 / 3600.0) * M_PI / 180.0, 1e-15);
    ASSERT_EQ(RadianToDms(rad, back), 1);
    EXPECT_EQ(back.degrees, 127);
    EXPECT_EQ(back.minutes, 2);
    EXPECT_NEAR(back.seconds, 3.5, 1e-6);
    EXPECT_EQ(RadianToDms(-0.1, back), 0);

    DmsAngle huge{255, 255, 1e300};
    EXPECT_EQ(DmsToHundredthSec(huge, hundredths), 1);
    EXPECT_EQ(hundredths, INT32_MAX);
}

TEST(GeodesyFormats, PositionCodes) {
    // Every code survives the trip through degrees, minutes and seconds.
    for (int32_t lonCode = kPositionCodeMin; lonCode <= kLonPositionCodeMax; lonCode += 757) {
        for (int32_t latCode = kPositionCodeMin; latCode <= kLatPositionCodeMax; latCode += 1301) {
            DmsAngle lon, lat;
            ASSERT_EQ(PositionCodeToDms(lonCode, latCode, lon, lat), 1);
            int32_t lonBack = 0, latBack = 0;
            ASSERT_EQ(DmsToPositionCode(lon, lat, lonBack, latBack), 1);
            EXPECT_EQ(lonBack, lonCode);
            EXPECT_EQ(latBack, latCode);
        }
    }
    DmsAngle lon, lat;
    ASSERT_EQ(PositionCodeToDms(kLonPositionCodeMax, kLatPositionCodeMax, lon, lat), 1);
    EXPECT_EQ(lon.degrees, 132);
    EXPECT_EQ(lat.degrees, 39);
    ASSERT_EQ(PositionCodeToDms(10001, 10002, lon, lat), 1);
    EXPECT_NEAR(lon.seconds, 1.0 / 3.0, 1e-12);
    EXPECT_NEAR(lat.seconds, 2.0 / 3.0, 1e-12);

    EXPECT_EQ(PositionCodeToDms(9999, 10000, lon, lat), 0);
    EXPECT_EQ(PositionCodeToDms(10000, kLatPositionCodeMax + 1, lon, lat), 0);
    int32_t lonCode = 0, latCode = 0;
    EXPECT_EQ(DmsToPositionCode({124, 59, 59.0}, {34, 0, 0}, lonCode, latCode), 0);
    EXPECT_EQ(lonCode, 10000 - 180 + 177);
    EXPECT_EQ(DmsToPositionCode({127, 0, 0}, {39, 0, 0.5}, lonCode, latCode), 0);
    EXPECT_EQ(DmsToPositionCode({127, 0, std::numeric_limits<double>::quiet_NaN()}, {35, 0, 0}, lonCode, latCode),
              0);
}

}  // namespace
