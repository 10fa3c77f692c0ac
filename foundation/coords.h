#pragma once
// Map units, the tile grid of the map files and the two distance measures.
//
// A map position is a pair of integers in 1/524288 degree (2^19 units per
// degree) on WGS-84: x the longitude, y the latitude. The map area covers
// 256 degrees (2^27 units) on each axis from 0.
//
// Two distances exist side by side: a fast one from per-latitude tables in
// whole metres (search radii, nearness tests) and an exact one through UTM
// (what the user reads on screen). Directions are whole degrees.
#include <array>
#include <cstdint>

inline constexpr int32_t kMapUnitsPerDegree = 524288;
inline constexpr int32_t kMapAreaUnits = 1 << 27;  // 256 degrees

struct MapPoint {
    int32_t x = 0;  // longitude x 524288
    int32_t y = 0;  // latitude x 524288

    friend bool operator==(const MapPoint&, const MapPoint&) = default;
};

// A point inside one tile in local steps; y comes first as in the map files.
struct TileLocalPoint {
    int16_t y = 0;
    int16_t x = 0;

    friend bool operator==(const TileLocalPoint&, const TileLocalPoint&) = default;
};

// An angle as degrees, minutes and seconds; only non-negative angles below
// 256 degrees fit, which covers every position of the map area.
struct DmsAngle {
    uint8_t degrees = 0;
    uint8_t minutes = 0;
    double seconds = 0.0;
};

// ---------------------------------------------------------------------------
// Tile grid. Level 1 is the most detailed; each tile is 2048 local steps wide.

inline constexpr int kMinMapLevel = 1;
inline constexpr int kMaxMapLevel = 6;
inline constexpr int kTileLocalSteps = 2048;

// Tiles per axis of a level (65536 at level 1 .. 8 at level 6), 0 outside 1..6.
int GetLevelTileCount(int level);
// Tile side and local step in map units, 0 outside 1..6.
int32_t GetLevelTileSide(int level);
int32_t GetLevelLocalStep(int level);

class CMgrCoordBase {
public:
    CMgrCoordBase();
    // Takes the level as given; an out-of-range level leaves a frame whose
    // sizes are all 0, which every conversion below then refuses.
    explicit CMgrCoordBase(int level);
    virtual ~CMgrCoordBase();

    // 0 for a level outside 1..6. A change of level resets the tile to (0, 0).
    virtual int SetLevel(int level);
    // Stores the tile and recomputes its origin; 1 when both indices are
    // from 0 to the tiles per axis (inclusive), else 0.
    virtual int SetTile(int column, int row);

    int GetLevel() const { return m_level; }
    int GetTileColumn() const { return m_column; }
    int GetTileRow() const { return m_row; }
    int32_t GetTileSide() const { return m_tileSide; }
    int32_t GetLocalStep() const { return m_localStep; }
    int GetTileCount() const { return m_tilesPerAxis; }
    int64_t GetTileOriginX() const { return m_originX; }
    int64_t GetTileOriginY() const { return m_originY; }

    // Local steps of the current tile to map units and back.
    MapPoint LocalToMap(int16_t x, int16_t y) const;
    MapPoint LocalPointToMap(TileLocalPoint local) const;
    // The same for a given tile of this level; 0 when the frame has no level.
    int LocalPointToMap(int column, int row, TileLocalPoint local, MapPoint& out) const;
    TileLocalPoint MapToLocalPoint(MapPoint point) const;

    // The tile holding a point (and the point in that tile's local steps);
    // 0 when a coordinate is negative or beyond the map area.
    int MapToTile(MapPoint point, int& column, int& row) const;
    int MapToTileLocal(MapPoint point, int& column, int& row, TileLocalPoint& local) const;

    // The distance and direction services, here for callers that hold a frame.
    static uint32_t GetApproxDistance(const MapPoint& a, const MapPoint& b);
    static double GetDistanceUTM(const MapPoint& a, const MapPoint& b);
    static int GetAngleUTM(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int turn);

private:
    void Recompute();

    int m_level = 1;
    int m_column = 0;
    int m_row = 0;
    int32_t m_tileSide = 0;
    int32_t m_localStep = 0;
    int m_tilesPerAxis = 0;
    // 64-bit so that an out-of-range tile (stored, but reported as 0) can
    // never overflow.
    int64_t m_originX = 0;
    int64_t m_originY = 0;
};

// ---------------------------------------------------------------------------
// Distance tables, built from the WGS-84 ellipsoid on first use.

inline constexpr int kLonMeterTableSize = 900;  // mean latitude 0.0 .. 89.9
inline constexpr int kLatMeterTableSize = 90;   // mean latitude 0 .. 89

// Metres per map unit along a parallel, by mean latitude in tenths of a degree.
const std::array<double, kLonMeterTableSize>& LonMeterPerUnitTable();
// Metres per map unit along a meridian, by mean latitude in whole degrees.
const std::array<double, kLatMeterTableSize>& LatMeterPerUnitTable();

// Table indices for the mean latitude of two y values. The southern
// hemisphere mirrors the northern one and latitudes past the last entry use
// the last entry, so every index is inside its table.
int LonMeterTableIndex(int32_t y1, int32_t y2);
int LatMeterTableIndex(int32_t y1, int32_t y2);
double GetLonMeterPerUnit(int32_t y1, int32_t y2);
double GetLatMeterPerUnit(int32_t y1, int32_t y2);

// Fast distance in whole metres: table factors and an integer square root.
uint32_t CalcApproxDistance(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
uint32_t GetApproxDistance(const MapPoint& a, const MapPoint& b);
uint32_t GetApproxDistanceXY(int32_t x1, int32_t y1, int32_t x2, int32_t y2);

// Straight distance in metres with both points projected into the UTM zone
// of the first.
double GetDistanceUTM(const MapPoint& a, const MapPoint& b);

// Direction from the first point to the second in whole degrees 0..359,
// counterclockwise from east; with turn set, counterclockwise from north.
int GetAngleUTM(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int turn);
int CalcAngleUTM(double lon1, double lat1, double lon2, double lat2, int turn);

// ---------------------------------------------------------------------------
// Whole-degree trigonometry on tables rounded to 6 decimals.

int NormalizeAngle360(int degrees);
double SinDeg(int degrees);
double CosDeg(int degrees);
// Angle of the vector (x, y) counterclockwise from the x axis, 0..359 (360
// just below the positive x axis; NormalizeAngle360 folds it to 0).
int Atan2Deg(int32_t y, int32_t x);

// Projections, datum shifts and angle formats on these types.
#include "foundation/geodesy.h"
