#include "foundation/coords.h"

#include <cmath>
#include <cstdlib>
#include <numbers>

namespace {

struct LevelSize {
    int32_t tileSide;
    int32_t localStep;
    int tilesPerAxis;
};

// Index 0 is unused so that the level indexes the table directly.
constexpr LevelSize kLevelSizes[kMaxMapLevel + 1] = {
    {0, 0, 0},
    {2048, 1, 65536},
    {8192, 4, 16384},
    {65536, 32, 2048},
    {524288, 256, 256},
    {2097152, 1024, 64},
    {16777216, 8192, 8},
};

bool IsValidLevel(int level) { return level >= kMinMapLevel && level <= kMaxMapLevel; }

// WGS-84, the datum of every map point.
constexpr double kWgs84A = 6378137.0;
constexpr double kWgs84E2 = 0.00669437999014;

constexpr double kDegToRad = std::numbers::pi / 180.0;

double RoundTo6(double v) { return std::round(v * 1e6) / 1e6; }

struct DistanceTables {
    std::array<double, kLonMeterTableSize> lon{};
    std::array<double, kLatMeterTableSize> lat{};
};

const DistanceTables& Tables() {
    static const DistanceTables tables = [] {
        DistanceTables t;
        for (int i = 0; i < kLonMeterTableSize; ++i) {
            const double phi = i * 0.1 * kDegToRad;
            const double s = std::sin(phi);
            // Radius of the parallel, per degree, per map unit.
            const double parallelM = kWgs84A * std::cos(phi) / std::sqrt(1.0 - kWgs84E2 * s * s);
            t.lon[i] = parallelM * kDegToRad / kMapUnitsPerDegree;
        }
        for (int i = 0; i < kLatMeterTableSize; ++i) {
            const double phi = i * kDegToRad;
            const double s = std::sin(phi);
            // Meridional radius of curvature.
            const double meridianM = kWgs84A * (1.0 - kWgs84E2) / std::pow(1.0 - kWgs84E2 * s * s, 1.5);
            t.lat[i] = meridianM * kDegToRad / kMapUnitsPerDegree;
        }
        return t;
    }();
    return tables;
}

struct TrigTables {
    std::array<double, 360> sine{};
    std::array<double, 360> cosine{};
    std::array<double, 45> tangentHalf{};  // tan(0.5), tan(1.5) .. tan(44.5)
};

const TrigTables& Trig() {
    static const TrigTables tables = [] {
        TrigTables t;
        for (int d = 0; d < 360; ++d) {
            t.sine[d] = RoundTo6(std::sin(d * kDegToRad));
            t.cosine[d] = RoundTo6(std::cos(d * kDegToRad));
        }
        for (int i = 0; i < 45; ++i) t.tangentHalf[i] = RoundTo6(std::tan((i + 0.5) * kDegToRad));
        return t;
    }();
    return tables;
}

// Mean latitude of two y values in degrees, folded into the northern
// hemisphere: distances are symmetric about the equator, and a negative
// index would read in front of the tables.
double MeanLatitudeTwice(int32_t y1, int32_t y2) {
    const int64_t sum = static_cast<int64_t>(y1) + y2;
    return std::fabs(static_cast<double>(sum) / kMapUnitsPerDegree);
}

int ClampIndex(double index, int size) {
    if (!(index >= 0.0)) return 0;
    if (index >= size - 1) return size - 1;
    return static_cast<int>(index);
}

// Product truncated toward zero. A factor below 0.22 keeps it inside 32 bits,
// but the difference of two of them need not be: work in 64 bits.
int64_t TruncProduct(double factor, int32_t v) { return static_cast<int64_t>(factor * v); }

int Sign(double v) { return v > 0 ? 1 : (v < 0 ? -1 : 0); }

int TruncToInt(double v) {
    if (!(v == v)) return 0;
    if (v >= 2147483647.0) return 2147483647;
    if (v <= -2147483648.0) return -2147483647 - 1;
    return static_cast<int>(v);
}

// Both points in metres on one UTM grid: the zone of the first point, and
// the northing of the second counted from the first point's false northing
// so that a pair straddling the equator is not 10000 km apart.
void ProjectPair(double lon1, double lat1, double lon2, double lat2, double& e1, double& n1, double& e2,
                 double& n2) {
    const int code = ConvertLLToUTMWGS84(lon1, lat1, e1, n1);
    ConvertLLToUTMInZoneWGS84(lon2, lat2, e2, n2, code / 1000);
    const bool south1 = lat1 < 0;
    const bool south2 = lat2 < 0;
    if (south1 && !south2) n2 += 10000000.0;
    if (!south1 && south2) n2 -= 10000000.0;
}

}  // namespace

// ---------------------------------------------------------------------------
// Tile grid

int GetLevelTileCount(int level) { return IsValidLevel(level) ? kLevelSizes[level].tilesPerAxis : 0; }
int32_t GetLevelTileSide(int level) { return IsValidLevel(level) ? kLevelSizes[level].tileSide : 0; }
int32_t GetLevelLocalStep(int level) { return IsValidLevel(level) ? kLevelSizes[level].localStep : 0; }

CMgrCoordBase::CMgrCoordBase() { Recompute(); }

CMgrCoordBase::CMgrCoordBase(int level) : m_level(level) { Recompute(); }

CMgrCoordBase::~CMgrCoordBase() = default;

int CMgrCoordBase::SetLevel(int level) {
    if (!IsValidLevel(level)) return 0;
    if (level != m_level) {
        m_level = level;
        m_column = 0;
        m_row = 0;
        Recompute();
    }
    return 1;
}

int CMgrCoordBase::SetTile(int column, int row) {
    if (column != m_column || row != m_row) {
        m_column = column;
        m_row = row;
        Recompute();
    }
    return column >= 0 && row >= 0 && column <= m_tilesPerAxis && row <= m_tilesPerAxis ? 1 : 0;
}

void CMgrCoordBase::Recompute() {
    const LevelSize size = IsValidLevel(m_level) ? kLevelSizes[m_level] : kLevelSizes[0];
    m_tileSide = size.tileSide;
    m_localStep = size.localStep;
    m_tilesPerAxis = size.tilesPerAxis;
    m_originX = static_cast<int64_t>(m_column) * m_tileSide;
    m_originY = static_cast<int64_t>(m_row) * m_tileSide;
}

MapPoint CMgrCoordBase::LocalToMap(int16_t x, int16_t y) const {
    // The narrowing wraps (defined since C++20); only an out-of-range tile,
    // which SetTile already reported, can get there.
    return MapPoint{static_cast<int32_t>(static_cast<int64_t>(x) * m_localStep + m_originX),
                    static_cast<int32_t>(static_cast<int64_t>(y) * m_localStep + m_originY)};
}

MapPoint CMgrCoordBase::LocalPointToMap(TileLocalPoint local) const { return LocalToMap(local.x, local.y); }

int CMgrCoordBase::LocalPointToMap(int column, int row, TileLocalPoint local, MapPoint& out) const {
    if (m_tileSide == 0) return 0;
    out.x = static_cast<int32_t>(static_cast<int64_t>(column) * m_tileSide +
                                 static_cast<int64_t>(local.x) * m_localStep);
    out.y = static_cast<int32_t>(static_cast<int64_t>(row) * m_tileSide + static_cast<int64_t>(local.y) * m_localStep);
    return 1;
}

TileLocalPoint CMgrCoordBase::MapToLocalPoint(MapPoint point) const {
    if (m_localStep == 0) return TileLocalPoint{};
    return TileLocalPoint{static_cast<int16_t>((point.y - m_originY) / m_localStep),
                          static_cast<int16_t>((point.x - m_originX) / m_localStep)};
}

int CMgrCoordBase::MapToTile(MapPoint point, int& column, int& row) const {
    if (m_tileSide == 0) return 0;
    const int64_t extent = static_cast<int64_t>(m_tilesPerAxis) * m_tileSide;
    if (point.x < 0 || point.y < 0 || point.x > extent || point.y > extent) return 0;
    column = point.x / m_tileSide;
    row = point.y / m_tileSide;
    return 1;
}

int CMgrCoordBase::MapToTileLocal(MapPoint point, int& column, int& row, TileLocalPoint& local) const {
    int c = 0;
    int r = 0;
    if (!MapToTile(point, c, r)) return 0;
    column = c;
    row = r;
    local.x = static_cast<int16_t>((point.x - c * m_tileSide) / m_localStep);
    local.y = static_cast<int16_t>((point.y - r * m_tileSide) / m_localStep);
    return 1;
}

uint32_t CMgrCoordBase::GetApproxDistance(const MapPoint& a, const MapPoint& b) { return ::GetApproxDistance(a, b); }

double CMgrCoordBase::GetDistanceUTM(const MapPoint& a, const MapPoint& b) { return ::GetDistanceUTM(a, b); }

int CMgrCoordBase::GetAngleUTM(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int turn) {
    return ::GetAngleUTM(x1, y1, x2, y2, turn);
}

// ---------------------------------------------------------------------------
// Distances

const std::array<double, kLonMeterTableSize>& LonMeterPerUnitTable() { return Tables().lon; }
const std::array<double, kLatMeterTableSize>& LatMeterPerUnitTable() { return Tables().lat; }

int LonMeterTableIndex(int32_t y1, int32_t y2) {
    // Twice the mean latitude x 5 = the mean latitude in tenths, rounded.
    return ClampIndex(MeanLatitudeTwice(y1, y2) * 5.0 + 0.5, kLonMeterTableSize);
}

int LatMeterTableIndex(int32_t y1, int32_t y2) {
    return ClampIndex(MeanLatitudeTwice(y1, y2) / 2.0 + 0.5, kLatMeterTableSize);
}

double GetLonMeterPerUnit(int32_t y1, int32_t y2) { return Tables().lon[LonMeterTableIndex(y1, y2)]; }
double GetLatMeterPerUnit(int32_t y1, int32_t y2) { return Tables().lat[LatMeterTableIndex(y1, y2)]; }

uint32_t CalcApproxDistance(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    const double fx = GetLonMeterPerUnit(y1, y2);
    const double fy = GetLatMeterPerUnit(y1, y2);
    const int64_t dx = TruncProduct(fx, x2) - TruncProduct(fx, x1);
    const int64_t dy = TruncProduct(fy, y2) - TruncProduct(fy, y1);
    const int64_t adx = dx < 0 ? -dx : dx;
    const int64_t ady = dy < 0 ? -dy : dy;
    const int64_t a = adx > ady ? adx : ady;
    const int64_t b = adx > ady ? ady : adx;
    if (b == 0) return static_cast<uint32_t>(a);
    if (a > 32767 || b > 32767) {
        const double da = static_cast<double>(a);
        const double db = static_cast<double>(b);
        return static_cast<uint32_t>(std::sqrt(da * da + db * db));
    }
    // Two Newton steps from a + b/2, which is never below the root.
    const int64_t s = a * a + b * b;
    const int64_t r0 = a + b / 2;
    const int64_t r1 = (s / r0 + r0) / 2;
    return static_cast<uint32_t>((s / r1 + r1) / 2);
}

uint32_t GetApproxDistance(const MapPoint& a, const MapPoint& b) { return CalcApproxDistance(a.x, a.y, b.x, b.y); }

uint32_t GetApproxDistanceXY(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    return CalcApproxDistance(x1, y1, x2, y2);
}

double GetDistanceUTM(const MapPoint& a, const MapPoint& b) {
    double e1 = 0, n1 = 0, e2 = 0, n2 = 0;
    ProjectPair(static_cast<double>(a.x) / kMapUnitsPerDegree, static_cast<double>(a.y) / kMapUnitsPerDegree,
                static_cast<double>(b.x) / kMapUnitsPerDegree, static_cast<double>(b.y) / kMapUnitsPerDegree, e1, n1,
                e2, n2);
    return std::hypot(e2 - e1, n2 - n1);
}

int GetAngleUTM(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int turn) {
    return CalcAngleUTM(static_cast<double>(x1) / kMapUnitsPerDegree, static_cast<double>(y1) / kMapUnitsPerDegree,
                        static_cast<double>(x2) / kMapUnitsPerDegree, static_cast<double>(y2) / kMapUnitsPerDegree,
                        turn);
}

int CalcAngleUTM(double lon1, double lat1, double lon2, double lat2, int turn) {
    double e1 = 0, n1 = 0, e2 = 0, n2 = 0;
    ProjectPair(lon1, lat1, lon2, lat2, e1, n1, e2, n2);
    const int dE = TruncToInt(e2 - e1);
    const int dN = TruncToInt(n2 - n1);
    int angle = Atan2Deg(dN, dE);
    if (turn) angle -= 90;
    return NormalizeAngle360(angle);
}

// ---------------------------------------------------------------------------
// Whole-degree trigonometry

int NormalizeAngle360(int degrees) {
    int r = degrees % 360;
    if (r < 0) r += 360;
    return r;
}

double SinDeg(int degrees) { return Trig().sine[NormalizeAngle360(degrees)]; }
double CosDeg(int degrees) { return Trig().cosine[NormalizeAngle360(degrees)]; }

int Atan2Deg(int32_t y, int32_t x) {
    if (y == 0) return x < 0 ? 180 : 0;
    if (x == 0) return y > 0 ? 90 : 270;
    // Magnitudes in 64 bits: the magnitude of INT32_MIN does not fit 32.
    const int64_t ay = std::llabs(static_cast<int64_t>(y));
    const int64_t ax = std::llabs(static_cast<int64_t>(x));
    const double ratio = ay > ax ? static_cast<double>(ax) / static_cast<double>(ay)
                                 : static_cast<double>(ay) / static_cast<double>(ax);
    const auto& tangent = Trig().tangentHalf;
    int i = 0;
    while (i < 45 && !(tangent[i] > ratio)) ++i;
    if (ay > ax) i = 90 - i;
    const int sx = Sign(x);
    const int sy = Sign(y);
    if (sx > 0 && sy > 0) return i;
    if (sx < 0 && sy > 0) return 180 - i;
    if (sx < 0 && sy < 0) return 180 + i;
    return 360 - i;
}
