#pragma once
// The map's geometry passes: the layer loops of the Elev, Tributary, Base
// and TpegLink layers and the renderers they hand each tile's block to
// (areas, line classes, outlined polygons, the polygon classes, traffic
// links). InstallGeometryPasses puts them into the frame's pass slots.
//
// Every record walker goes through the block's tables with their bounds
// checked (MneWalkBaseGroup, MneWalkLayerBlock) and checks each record's
// point array against the block before a point is read, so a record whose
// points would leave its block is skipped.
#include <cstdint>
#include <functional>
#include <vector>

#include "foundation/coords.h"
#include "mapdb/block_view.h"
#include "render/draw_map.h"

// The draw options the passes read from the global settings object.
struct MneGeometryOptions {
    int32_t tileAreaDrawRule = 0;   // 1: repaint the seam edges in the fill colour
    int32_t drawAnti = 0;           // 1: smooth lines
    int32_t lineAnti = 0;           // 0: no smooth lines in the line renderers
    int32_t fieldLimit2d = 0;       // kind-200 area thresholds
    int32_t fieldLimit3d = 0;
    int32_t roadRelief = 0;         // the polygon shadow pass
    int32_t roadLimit3d[4] = {};    // bird's-eye thresholds of categories 1-4
    int32_t trafficRoads = 0;       // 2: roads of kind 1 and 2 only; 3: the others only
    // The building pass.
    int32_t buildAnti = 0;          // with drawAnti: smooth building outlines
    int32_t buildLimit2d = 0;       // buildings at all (theme kind 3): bird's-eye,
    int32_t buildLimit3d = 0;       //   flat (the flat limit is the field limit)
    int32_t smallBuildLimit2d = 0;  // kind-4 value 1 (theme kind 3): bird's-eye,
    int32_t smallBuildLimit3d = 0;  //   flat
    int32_t pattern3d = 0;          // kind-4 value 2 in the bird's-eye view
    int32_t xrayView = 0;           // the found-building check from this level
};
MneGeometryOptions GeometryOptionsFromSettings();

// The point word of a record: the low 14 bits count, the top 2 bits the
// packing; 0x3FFF in the low bits makes the whole word the count, packing 0.
struct MnePointWord {
    uint32_t count = 0;
    int packing = 0;
};
MnePointWord DecodePointWord(uint16_t word);

// A record's stored points, checked to lie inside its block.
struct MneStoredPoints {
    uint32_t count = 0;
    int packing = 0;
    uint32_t base = 0;            // packed: high 16 bits x, low 16 bits y
    const uint8_t* data = nullptr;   // packing 0: (y, x) int16 pairs; else (y, x) byte pairs
};
// Reads the point word at 8 and the offset at 10 of a line or area record;
// false when the array would leave the block.
bool StoredPointsOf(const MneBlockView& block, const uint8_t* record, uint16_t word, MneStoredPoints* out);
bool StoredPointsOf(const MneBlockView& block, const uint8_t* record, MnePointWord word, MneStoredPoints* out);
TileLocalPoint StoredPointAt(const MneStoredPoints& points, uint32_t index);
// An edge along a tile border (both ends at x 0, x 2048, y 0 or y 2048).
bool IsSeamEdge(const TileLocalPoint& a, const TileLocalPoint& b);
// The box (min y, min x, max y, max x) of a record against a visible
// rectangle (y, x, height, width); touching counts as meeting.
bool BoxMeetsRect(const uint8_t* record, const int16_t rect[4]);
// The shadow offsets of a polygon class's kind code.
void ShadowOffsets(int kindCode, int* dx, int* dy);
// Band count of a stripe object whose diagonal is diagonal map units long:
// one band per 6 units, at least 6, at most kMaxStripeBands.
inline constexpr int kMaxStripeBands = 512;
int StripeBandCount(double diagonal);
// Fill colour of the polygon classes: type 28 darker by 25, type 29
// lighter by 30 per channel, else as it is.
uint32_t PolygonFillColour(int groupType, uint32_t colour);

// Draws a wall quadrilateral with a marking pattern: corners 1 and 2 its
// bottom edge (left, right), 4 and 3 its top edge (left, right). The whole
// quad is filled with colourA; kinds 101-104 add count pattern pieces in
// colourB (101 windows, 102 thin bars, 103 bands, 104 bands and a door).
void DrawRoadMarking(CEglDraw& egl, const ScreenPoint corners[4], int kind, int count, uint32_t colourA,
                     uint32_t colourB, int grey);

// The wall lift of an extruded building in pixels: d x base line x height
// unit x 2 / view height.
int BuildingWallLift(int step, int baseLine, int heightUnit, int viewHeight);
// Whether a building whose highest screen point is topY stands near the
// eye: below the upper two thirds of the view (the bird's-eye view draws
// those see-through).
bool BuildingIsNear(int32_t topY, int32_t viewHeight);
// The found-building view's lifts: the drawn lift at raisePercent and the
// height of one floor (0 for a building without floors).
void FoundBuildingLifts(int floors, int raisePercent, int* drawnLift, int* floorHeight);
// True when a region made of the screen ring (even-odd) holds the point.
bool ScreenRingContains(const std::vector<ScreenPoint>& ring, ScreenPoint point);
// Footprints of this many points or more are not extruded.
inline constexpr uint32_t kMaxBuildingPoints = 199;

// Moves a polyline sideways by distance (x by d sin, y by factor d cos of
// each segment's direction in whole degrees, y counted upward); side 0
// moves by minus the normal, side 1 by plus. Consecutive equal points are
// dropped first; false (nothing out) with fewer than 2 left.
bool OffsetPolyline(const ScreenPoint* points, int count, int distance, int side, double factor,
                    std::vector<ScreenPoint>& out);

class MneGeometryRenderer {
public:
    MneGeometryRenderer(CMneDrawMap& map, const MneGeometryOptions& options) : m_map(map), m_options(options) {}

    // Tile renderers: (scale level, visible rectangle, block); return 1.
    int DrawElevationAreas(int level, const int16_t rect[4], const uint8_t* block, uint32_t size);
    int DrawBaseAreas(int level, const int16_t rect[4], const uint8_t* block, uint32_t size);
    int DrawAreaType6(int level, const int16_t rect[4], const uint8_t* block, uint32_t size);
    int DrawAreaType22(int level, const int16_t rect[4], const uint8_t* block, uint32_t size);
    int DrawLineType2(int level, const int16_t rect[4], const uint8_t* block, uint32_t size);
    // Line classes 4, 8, 12 and 19 (one algorithm; grey flags by class).
    int DrawLineClass(int groupType, int level, const int16_t rect[4], const uint8_t* block, uint32_t size);
    int DrawMapLines27(int level, const int16_t rect[4], const uint8_t* block, uint32_t size);
    int DrawOutlinedPolygons(int level, const int16_t rect[4], const uint8_t* block, uint32_t size);
    // Stripes (type 23): bands across each closed quadrilateral of 5 points.
    int DrawStripes(int level, const int16_t rect[4], const uint8_t* block, uint32_t size);
    // Crossing stripes (type 24): seven bands across each five-kind quad.
    int DrawStripedQuads(int level, const int16_t rect[4], const uint8_t* block, uint32_t size);
    // Traffic links of one TpegLink block; 0 when the view does not allow them.
    int DrawTrafficLinks(int level, const int16_t rect[4], const uint8_t* block, uint32_t size);
    // Polygon classes (types 3, 28, 29, 30) over every visible tile, with
    // the shadow pass first.
    int DrawPolygonClass(int level, int groupType);
    // Polygons in map coordinates (type 26) over every visible tile: one
    // fill of the whole point list, each ring outlined.
    int DrawMapPolygons(int level);
    // The same two for one tile's block (the tile already current).
    int DrawPolygonClassBlock(int level, int groupType, bool shadows, const int16_t rect[4], const uint8_t* block,
                              uint32_t size);
    int DrawMapPolygonsBlock(int level, const int16_t rect[4], const uint8_t* block, uint32_t size);

    // Buildings of one tile's block: footprints in tile-local units (type
    // 7) or map units (type 21), drawn back to front.
    int CollectBuildings7(int level, const int16_t rect[4], const uint8_t* block, uint32_t size);
    int CollectBuildings21(int level, const int16_t rect[4], const uint8_t* block, uint32_t size);
    // The found building (view mode 8) as a block with its selected floor.
    int DrawFoundBuilding(int level);

    // The congestion colour of a traffic link (0: not known, not drawn).
    using LinkColourFn = std::function<uint32_t(const uint8_t* record)>;
    void SetLinkColour(LinkColourFn colour) { m_linkColour = std::move(colour); }

private:
    enum class AreaKind { kElevation, kBase, kType6, kType22 };
    int DrawAreas(AreaKind kind, int groupType, int level, const int16_t rect[4], const uint8_t* block,
                  uint32_t size);
    // Converts stored points; the screen count.
    int Convert(const MneStoredPoints& points, int clipMode, std::vector<ScreenPoint>& out);
    void Fill(const std::vector<ScreenPoint>& points, uint32_t colour, float opacity, int grey);
    void Stroke(const ScreenPoint* points, int count, int width, uint32_t colour, int grey);
    // The seam rule over a ring of stored points.
    void Outline(const MneStoredPoints& points, uint32_t first, uint32_t count, int width, uint32_t penColour,
                 const uint32_t* repaintColour, int grey);
    // The same over a ring of map points (seams tested in tile-local units).
    void OutlineMap(const MapPoint* points, uint32_t count, int width, uint32_t penColour,
                    const uint32_t* repaintColour, int grey);
    bool ClassDrawnAsPolygon(int cls, uint32_t word, int level) const;
    int CollectBuildings(int format, int level, const int16_t rect[4], const uint8_t* block, uint32_t size);
    void DrawBuilding(int level, int styleId, bool nearView, int format, const MneBlockView& view,
                      const uint8_t* record);
    // Walls of a closed screen ring (first point repeated), back to front.
    void DrawWalls(const std::vector<ScreenPoint>& ring, int lift, const std::function<void(const ScreenPoint*)>& wall);
    bool FillPattern(int colourIndex, const std::vector<ScreenPoint>& points);
    int Grey(int n) const { return n >= 1 && n <= 15 ? m_map.Grey().on[static_cast<size_t>(n - 1)] : 0; }
    int Bird() const { return m_map.Request().birdView; }
    uint32_t ClassWord(int cls) const;

    CMneDrawMap& m_map;
    MneGeometryOptions m_options;
    std::vector<ScreenPoint> m_screen;
    std::vector<ScreenPoint> m_edge;
    std::vector<TileLocalPoint> m_local;
    std::vector<MapPoint> m_mapPoints;
    struct DepthEntry {
        int styleId;
        const uint8_t* record;
        int32_t key;
    };
    std::vector<DepthEntry> m_depth;
    LinkColourFn m_linkColour;
};

// Installs the geometry passes into the frame's slots (options read from
// the global settings each frame). linkColour gives each traffic link's
// congestion colour from the record (link id in words 7-8); without it the
// traffic pass selects and converts links but strokes none.
void InstallGeometryPassesWithLinkColour(CMneDrawMap& map, MneGeometryRenderer::LinkColourFn linkColour);
inline void InstallGeometryPasses(CMneDrawMap& map) { InstallGeometryPassesWithLinkColour(map, {}); }
