#pragma once
// Writes the drawing layer files ("Map\Base.map", "Map\POI.map", ...): the
// block builders for the grouped and flat block layouts, a tiler that cuts
// map-coordinate geometry into tile-local records per level, and the demo
// district's layers (roads as line classes, blocks, water, a park,
// buildings, POIs, theme entries, road attributes and traffic links, with
// the road network's link numbers).
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "foundation/coords.h"

namespace writers {

// One record of a grouped or flat block: its fixed bytes and, for the
// offset field (and the optional one), the bytes it points to. The builder
// writes the offsets.
struct LayerRecord {
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> target;           // what the offset field points to
    std::vector<uint8_t> optionalTarget;   // empty: the optional offset stays 0
};

// Grouped blocks (Base family and POI family).
class GroupedBlockBuilder {
public:
    explicit GroupedBlockBuilder(bool poi) : m_poi(poi) {}
    // Adds a record to the item of (group type, style index); a group type
    // without an item table in the layout keeps no items.
    void Add(uint8_t groupType, uint16_t styleIndex, LayerRecord record);
    bool Empty() const { return m_groups.empty(); }
    std::vector<uint8_t> Build() const;

private:
    struct Item {
        uint16_t styleIndex = 0;
        std::vector<LayerRecord> records;
    };
    struct Group {
        uint8_t type = 0;
        std::vector<Item> items;
    };
    bool m_poi;
    std::vector<Group> m_groups;
};

// Flat blocks (Theme, TpegLink: 20-byte entries; RoadAttr: plain entries
// after the header). offsetAt is the entry's offset field (-1: none).
std::vector<uint8_t> BuildFlatBlock(const std::vector<LayerRecord>& entries, int offsetAt);

// Record makers in tile-local units.
struct LocalPoint {
    int16_t x = 0;
    int16_t y = 0;
};
LayerRecord AreaRecord(const std::vector<LocalPoint>& ring);   // 20 bytes, packing 0
LayerRecord LineRecord(const std::vector<LocalPoint>& line);   // 14 bytes, packing 0
LayerRecord BuildingRecord(const std::vector<LocalPoint>& ring, uint8_t height, uint8_t floors, uint32_t info);
// A polygon (20 bytes, packing 0) whose rings are runs {first point, count}
// of its point list (types 3, 28, 29, 30).
LayerRecord PolygonRecord(const std::vector<LocalPoint>& points, const std::vector<std::pair<uint16_t, uint16_t>>& rings);
// Records in map units: a polygon with rings (type 26, 28 bytes), a
// crossing's four corners (type 24, 28 bytes, shape kind 5), a line (type
// 27, 14 bytes) and a building footprint (type 21, 38 bytes).
LayerRecord MapPolygonRecord(const std::vector<MapPoint>& points, const std::vector<std::pair<uint16_t, uint16_t>>& rings);
LayerRecord CrossingRecord(const MapPoint corners[4]);
LayerRecord MapLineRecord(const std::vector<MapPoint>& line);
LayerRecord MapBuildingRecord(const std::vector<MapPoint>& ring, uint8_t height, uint8_t floors, uint32_t info);
LayerRecord PoiRecord(LocalPoint at, uint32_t word, uint16_t poiClass, uint8_t displayStep,
                      const std::string& nameCp949);
LayerRecord LotNumberRecord(LocalPoint at, uint16_t poiClass, int16_t main, int16_t sub,
                            uint8_t displayStep = 1);   // 16 bytes
LayerRecord ThemeRecord(LocalPoint at, uint32_t id, uint16_t categoryFlags, uint16_t symbolClass,
                        const std::string& nameCp949);
LayerRecord TrafficLinkRecord(const std::vector<LocalPoint>& line, uint32_t linkId, uint16_t roadKind);
// A road attribute (7 bytes): where, its kind (0: a direction symbol on
// the road, 1: one set beside it) and the direction in degrees.
LayerRecord RoadAttrRecord(LocalPoint at, uint8_t kind, uint16_t directionDeg);

// Geometry in map units cut at the tiles of a level.
struct TilePiece {
    int column = 0;
    int row = 0;
    std::vector<LocalPoint> points;
};
// An area ring clipped to every tile it meets (rings of at least 3 points).
std::vector<TilePiece> TileArea(int level, const std::vector<MapPoint>& ring);
// A polyline cut into runs per tile (runs of at least 2 points).
std::vector<TilePiece> TileLine(int level, const std::vector<MapPoint>& line);
// The tile of a point and its local position; false off the map.
bool TilePoint(int level, MapPoint point, TilePiece* out);

// The demo district's layers under root/Map: Base, Building, Tributary,
// Elev, POI, JibunPOI, Theme, RoadAttr and TpegLink. True when all were
// written.
bool WriteDemoLayers(const std::string& root, std::string* error = nullptr);

struct SyntheticCity;

// The drawing layers of a synthetic city (tools/writers/synthetic_city.h)
// under root/Map: its roads by kind (link indexes as the traffic link ids),
// a block in every grid cell with parks among them, two rivers, buildings
// in every block and POIs, theme entries and road attributes with Hangul
// names, seeded. progress (may be empty) hears a line now and then.
bool WriteSyntheticLayers(const SyntheticCity& city, uint64_t seed, const std::string& root, std::string* error,
                          const std::function<void(const std::string&)>& progress = {});

}  // namespace writers
