#include "tools/writers/layer_writer.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <random>

#include "platform/byte_cursor.h"
#include "platform/codepage.h"
#include "platform/paths.h"
#include "tools/writers/demo_labels.h"
#include "tools/writers/demo_map.h"
#include "tools/writers/demo_style.h"
#include "tools/writers/map_container_writer.h"
#include "tools/writers/synthetic_city.h"

namespace writers {

// ---- Blocks ------------------------------------------------------------------------------

namespace {

bool PoiHasItems(uint8_t type) { return type == 9 || (type >= 13 && type <= 18) || type == 25; }

// Offset field positions by record size (the layouts' tables).
int OffsetAtOf(bool poi, size_t recordBytes) {
    if (poi) return recordBytes == 20 ? 16 : -1;
    switch (recordBytes) {
        case 14: case 20: return 10;
        case 30: return 15;
        case 38: return 23;
        case 28: return 18;
        default: return -1;
    }
}
int OptionalAtOf(bool poi, size_t recordBytes) {
    if (poi) return -1;
    switch (recordBytes) {
        case 20: return 16;
        case 30: return 21;
        case 38: return 29;
        case 28: return 24;
        default: return -1;
    }
}

void Patch32(std::vector<uint8_t>& d, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) d[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

void GroupedBlockBuilder::Add(uint8_t groupType, uint16_t styleIndex, LayerRecord record) {
    auto g = std::find_if(m_groups.begin(), m_groups.end(), [&](const Group& x) { return x.type == groupType; });
    if (g == m_groups.end()) {
        m_groups.push_back(Group{groupType, {}});
        g = m_groups.end() - 1;
    }
    if (m_poi && !PoiHasItems(groupType)) return;
    const uint16_t key = m_poi ? 0 : styleIndex;
    auto item = std::find_if(g->items.begin(), g->items.end(), [&](const Item& x) { return x.styleIndex == key; });
    if (item == g->items.end()) {
        g->items.push_back(Item{key, {}});
        item = g->items.end() - 1;
    }
    item->records.push_back(std::move(record));
}

std::vector<uint8_t> GroupedBlockBuilder::Build() const {
    // header | group table | groups | item tables | items | record arrays | targets
    std::vector<uint8_t> d(5 + 4 * m_groups.size(), 0);
    d[0] = static_cast<uint8_t>(m_groups.size());
    Patch32(d, 1, 5);
    std::vector<size_t> groupAt;
    for (size_t g = 0; g < m_groups.size(); ++g) {
        groupAt.push_back(d.size());
        Patch32(d, 5 + 4 * g, static_cast<uint32_t>(d.size()));
        d.resize(d.size() + 7, 0);
    }
    const uint32_t itemBytes = m_poi ? 6 : 8;
    for (size_t g = 0; g < m_groups.size(); ++g) {
        const Group& group = m_groups[g];
        const size_t at = groupAt[g];
        d[at] = static_cast<uint8_t>(group.items.size());
        d[at + 1] = static_cast<uint8_t>(group.items.size() >> 8);
        d[at + 2] = group.type;
        const size_t table = d.size();
        Patch32(d, at + 3, static_cast<uint32_t>(table));
        d.resize(d.size() + 4 * group.items.size(), 0);
        for (size_t i = 0; i < group.items.size(); ++i) {
            const Item& item = group.items[i];
            const size_t itemAt = d.size();
            Patch32(d, table + 4 * i, static_cast<uint32_t>(itemAt));
            d.resize(d.size() + itemBytes, 0);
            d[itemAt] = static_cast<uint8_t>(item.records.size());
            d[itemAt + 1] = static_cast<uint8_t>(item.records.size() >> 8);
            if (!m_poi) {
                d[itemAt + 2] = static_cast<uint8_t>(item.styleIndex);
                d[itemAt + 3] = static_cast<uint8_t>(item.styleIndex >> 8);
            }
            const size_t recordsAt = d.size();
            Patch32(d, itemAt + (m_poi ? 2 : 4), static_cast<uint32_t>(recordsAt));
            for (const LayerRecord& r : item.records) d.insert(d.end(), r.bytes.begin(), r.bytes.end());
            size_t recordAt = recordsAt;
            for (const LayerRecord& r : item.records) {
                const int offsetAt = OffsetAtOf(m_poi, r.bytes.size());
                const int optionalAt = OptionalAtOf(m_poi, r.bytes.size());
                if (offsetAt >= 0) {
                    Patch32(d, recordAt + offsetAt, static_cast<uint32_t>(d.size()));
                    d.insert(d.end(), r.target.begin(), r.target.end());
                }
                if (optionalAt >= 0 && !r.optionalTarget.empty()) {
                    Patch32(d, recordAt + optionalAt, static_cast<uint32_t>(d.size()));
                    d.insert(d.end(), r.optionalTarget.begin(), r.optionalTarget.end());
                }
                recordAt += r.bytes.size();
            }
        }
    }
    return d;
}

std::vector<uint8_t> BuildFlatBlock(const std::vector<LayerRecord>& entries, int offsetAt) {
    std::vector<uint8_t> d(6, 0);
    d[0] = static_cast<uint8_t>(entries.size());
    d[1] = static_cast<uint8_t>(entries.size() >> 8);
    Patch32(d, 2, 6);
    for (const LayerRecord& e : entries) d.insert(d.end(), e.bytes.begin(), e.bytes.end());
    size_t at = 6;
    for (const LayerRecord& e : entries) {
        if (offsetAt >= 0) {
            Patch32(d, at + offsetAt, static_cast<uint32_t>(d.size()));
            d.insert(d.end(), e.target.begin(), e.target.end());
        }
        at += e.bytes.size();
    }
    return d;
}

// ---- Records -----------------------------------------------------------------------------

namespace {

void Box(platform::ByteWriter& w, const std::vector<LocalPoint>& pts) {
    int16_t minX = INT16_MAX, minY = INT16_MAX, maxX = INT16_MIN, maxY = INT16_MIN;
    for (const LocalPoint& p : pts) {
        minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
    }
    w.I16(minY), w.I16(minX), w.I16(maxY), w.I16(maxX);
}

std::vector<uint8_t> Points(const std::vector<LocalPoint>& pts) {
    platform::ByteWriter w;
    for (const LocalPoint& p : pts) w.I16(p.y), w.I16(p.x);
    return w.Data();
}

// Point count and packing 0; counts from 0x3FFF up are stored whole.
uint16_t CountWord(size_t n) { return static_cast<uint16_t>(std::min<size_t>(n, 0xFFFF)); }

std::vector<uint8_t> Name(const std::string& cp949) { return std::vector<uint8_t>(cp949.begin(), cp949.end()); }

}  // namespace

LayerRecord AreaRecord(const std::vector<LocalPoint>& ring) {
    platform::ByteWriter w;
    Box(w, ring);
    w.U16(CountWord(ring.size()));
    w.U32(0);
    w.Zeros(6);
    return {w.Data(), Points(ring), {}};
}

LayerRecord LineRecord(const std::vector<LocalPoint>& line) {
    platform::ByteWriter w;
    Box(w, line);
    w.U16(CountWord(line.size()));
    w.U32(0);
    return {w.Data(), Points(line), {}};
}

LayerRecord BuildingRecord(const std::vector<LocalPoint>& ring, uint8_t height, uint8_t floors, uint32_t info) {
    platform::ByteWriter w;
    w.U8(height);
    w.F32(static_cast<float>(height) * 3.0f);
    Box(w, ring);
    w.U16(CountWord(ring.size()));
    w.U32(0);       // 15: the footprint
    w.Zeros(2);
    w.U32(0);       // 21: optional
    w.U8(floors);   // 25
    w.U32(info);    // 26
    return {w.Data(), Points(ring), {}};
}

LayerRecord PolygonRecord(const std::vector<LocalPoint>& points, const std::vector<std::pair<uint16_t, uint16_t>>& rings) {
    platform::ByteWriter w;
    Box(w, points);
    w.U16(CountWord(points.size()));
    w.U32(0);
    w.U16(static_cast<uint16_t>(rings.size()));
    w.U32(0);   // 16: the ring table
    platform::ByteWriter table;
    for (const auto& [first, count] : rings) table.U16(first), table.U16(count);
    return {w.Data(), Points(points), table.Data()};
}

namespace {

void MapBox(platform::ByteWriter& w, const std::vector<MapPoint>& pts) {
    int32_t minX = INT32_MAX, minY = INT32_MAX, maxX = INT32_MIN, maxY = INT32_MIN;
    for (const MapPoint& p : pts) {
        minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
    }
    w.I32(minX), w.I32(minY), w.I32(maxX), w.I32(maxY);
}

std::vector<uint8_t> MapPoints(const std::vector<MapPoint>& pts) {
    platform::ByteWriter w;
    for (const MapPoint& p : pts) w.I32(p.x), w.I32(p.y);
    return w.Data();
}

}  // namespace

LayerRecord MapPolygonRecord(const std::vector<MapPoint>& points, const std::vector<std::pair<uint16_t, uint16_t>>& rings) {
    platform::ByteWriter w;
    MapBox(w, points);
    w.U16(static_cast<uint16_t>(points.size()));
    w.U32(0);   // 18: the points
    w.U16(static_cast<uint16_t>(rings.size()));
    w.U32(0);   // 24: the ring table
    platform::ByteWriter table;
    for (const auto& [first, count] : rings) table.U16(first), table.U16(count);
    return {w.Data(), MapPoints(points), table.Data()};
}

LayerRecord CrossingRecord(const MapPoint corners[4]) {
    const std::vector<MapPoint> quad(corners, corners + 4);
    platform::ByteWriter w;
    MapBox(w, quad);
    w.U16(5);   // the shape kind of a crossing
    w.U32(0);   // 18: the corners
    w.Zeros(2);
    w.U32(0);   // 24: optional
    return {w.Data(), MapPoints(quad), {}};
}

LayerRecord MapLineRecord(const std::vector<MapPoint>& line) {
    // The box is tested in tile-local units: it covers the whole tile.
    platform::ByteWriter w;
    w.I16(0), w.I16(0), w.I16(2048), w.I16(2048);
    w.U16(static_cast<uint16_t>(line.size()));
    w.U32(0);
    return {w.Data(), MapPoints(line), {}};
}

LayerRecord MapBuildingRecord(const std::vector<MapPoint>& ring, uint8_t height, uint8_t floors, uint32_t info) {
    platform::ByteWriter w;
    w.U8(height);
    w.F32(static_cast<float>(height) * 3.0f);
    MapBox(w, ring);
    w.U16(static_cast<uint16_t>(ring.size()));
    w.U32(0);       // 23: the footprint
    w.Zeros(2);
    w.U32(0);       // 29: optional
    w.U8(floors);   // 33
    w.U32(info);    // 34
    return {w.Data(), MapPoints(ring), {}};
}

LayerRecord PoiRecord(LocalPoint at, uint32_t word, uint16_t poiClass, uint8_t displayStep,
                      const std::string& nameCp949) {
    platform::ByteWriter w;
    w.I16(at.y), w.I16(at.x);
    w.U32(word);
    w.U16(poiClass);
    w.U8(displayStep), w.U8(1), w.U8(0);
    w.U8(0);
    w.U16(static_cast<uint16_t>(nameCp949.size()));
    w.U32(0);
    return {w.Data(), Name(nameCp949), {}};
}

LayerRecord LotNumberRecord(LocalPoint at, uint16_t poiClass, int16_t main, int16_t sub, uint8_t displayStep) {
    platform::ByteWriter w;
    w.I16(at.y), w.I16(at.x);
    w.Zeros(4);
    w.U16(poiClass);
    w.U8(displayStep), w.U8(1);
    w.I16(main), w.I16(sub);
    return {w.Data(), {}, {}};
}

LayerRecord ThemeRecord(LocalPoint at, uint32_t id, uint16_t categoryFlags, uint16_t symbolClass,
                        const std::string& nameCp949) {
    platform::ByteWriter w;
    w.I16(at.y), w.I16(at.x);
    w.U32(id);
    w.U16(categoryFlags);
    w.U16(symbolClass);
    w.Zeros(2);
    w.U16(static_cast<uint16_t>(nameCp949.size()));
    w.U32(0);
    return {w.Data(), Name(nameCp949), {}};
}

LayerRecord TrafficLinkRecord(const std::vector<LocalPoint>& line, uint32_t linkId, uint16_t roadKind) {
    platform::ByteWriter w;
    Box(w, line);
    w.U16(CountWord(line.size()));
    w.U32(0);
    w.U32(linkId);
    w.U16(roadKind);
    return {w.Data(), Points(line), {}};
}

LayerRecord RoadAttrRecord(LocalPoint at, uint8_t kind, uint16_t directionDeg) {
    platform::ByteWriter w;
    w.I16(at.y), w.I16(at.x);
    w.U8(kind);
    w.U16(directionDeg);
    return {w.Data(), {}, {}};
}

// ---- Tiling ------------------------------------------------------------------------------

namespace {

struct DPoint {
    double x, y;
};

LocalPoint ToLocal(const DPoint& p, double originX, double originY, double step) {
    auto c = [](double v) { return static_cast<int16_t>(std::clamp(std::lround(v), 0L, 2048L)); };
    return {c((p.x - originX) / step), c((p.y - originY) / step)};
}

// Sutherland-Hodgman against one axis-aligned edge.
std::vector<DPoint> ClipEdge(const std::vector<DPoint>& in, int axis, double bound, bool keepAbove) {
    std::vector<DPoint> out;
    auto inside = [&](const DPoint& p) {
        const double v = axis == 0 ? p.x : p.y;
        return keepAbove ? v >= bound : v <= bound;
    };
    for (size_t i = 0; i < in.size(); ++i) {
        const DPoint& a = in[i];
        const DPoint& b = in[(i + 1) % in.size()];
        const bool ia = inside(a), ib = inside(b);
        if (ia) out.push_back(a);
        if (ia != ib) {
            const double av = axis == 0 ? a.x : a.y, bv = axis == 0 ? b.x : b.y;
            const double t = (bound - av) / (bv - av);
            out.push_back({a.x + t * (b.x - a.x), a.y + t * (b.y - a.y)});
        }
    }
    return out;
}

void TileRange(int level, const std::vector<MapPoint>& pts, int* c0, int* c1, int* r0, int* r1) {
    const int32_t side = GetLevelTileSide(level);
    int32_t minX = INT32_MAX, minY = INT32_MAX, maxX = INT32_MIN, maxY = INT32_MIN;
    for (const MapPoint& p : pts) {
        minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
    }
    *c0 = minX / side, *c1 = maxX / side, *r0 = minY / side, *r1 = maxY / side;
}

}  // namespace

std::vector<TilePiece> TileArea(int level, const std::vector<MapPoint>& ring) {
    std::vector<TilePiece> pieces;
    if (ring.size() < 3) return pieces;
    const double side = GetLevelTileSide(level), step = GetLevelLocalStep(level);
    int c0, c1, r0, r1;
    TileRange(level, ring, &c0, &c1, &r0, &r1);
    for (int r = r0; r <= r1; ++r) {
        for (int c = c0; c <= c1; ++c) {
            const double ox = c * side, oy = r * side;
            std::vector<DPoint> poly;
            for (const MapPoint& p : ring) poly.push_back({double(p.x), double(p.y)});
            poly = ClipEdge(poly, 0, ox, true);
            if (!poly.empty()) poly = ClipEdge(poly, 0, ox + side, false);
            if (!poly.empty()) poly = ClipEdge(poly, 1, oy, true);
            if (!poly.empty()) poly = ClipEdge(poly, 1, oy + side, false);
            if (poly.size() < 3) continue;
            TilePiece piece{c, r, {}};
            for (const DPoint& p : poly) piece.points.push_back(ToLocal(p, ox, oy, step));
            pieces.push_back(std::move(piece));
        }
    }
    return pieces;
}

std::vector<TilePiece> TileLine(int level, const std::vector<MapPoint>& line) {
    std::vector<TilePiece> pieces;
    if (line.size() < 2) return pieces;
    const double side = GetLevelTileSide(level), step = GetLevelLocalStep(level);
    int c0, c1, r0, r1;
    TileRange(level, line, &c0, &c1, &r0, &r1);
    for (int r = r0; r <= r1; ++r) {
        for (int c = c0; c <= c1; ++c) {
            const double ox = c * side, oy = r * side;
            TilePiece run{c, r, {}};
            auto flush = [&] {
                if (run.points.size() >= 2) pieces.push_back(run);
                run.points.clear();
            };
            for (size_t i = 0; i + 1 < line.size(); ++i) {
                // Liang-Barsky of one segment against the tile.
                const double x0 = line[i].x, y0 = line[i].y, dx = line[i + 1].x - x0, dy = line[i + 1].y - y0;
                double t0 = 0.0, t1 = 1.0;
                bool visible = true;
                const double p[4] = {-dx, dx, -dy, dy};
                const double q[4] = {x0 - ox, ox + side - x0, y0 - oy, oy + side - y0};
                for (int k = 0; k < 4 && visible; ++k) {
                    if (p[k] == 0.0) {
                        if (q[k] < 0) visible = false;
                    } else {
                        const double t = q[k] / p[k];
                        if (p[k] < 0) t0 = std::max(t0, t);
                        else t1 = std::min(t1, t);
                        if (t0 > t1) visible = false;
                    }
                }
                if (!visible) {
                    flush();
                    continue;
                }
                const LocalPoint a = ToLocal({x0 + t0 * dx, y0 + t0 * dy}, ox, oy, step);
                const LocalPoint b = ToLocal({x0 + t1 * dx, y0 + t1 * dy}, ox, oy, step);
                if (run.points.empty() || run.points.back().x != a.x || run.points.back().y != a.y) {
                    flush();
                    run.points.push_back(a);
                }
                run.points.push_back(b);
                if (t1 < 1.0) flush();
            }
            flush();
        }
    }
    return pieces;
}

bool TilePoint(int level, MapPoint point, TilePiece* out) {
    const CMgrCoordBase frame(level);
    int column = 0, row = 0;
    TileLocalPoint local;
    if (!frame.MapToTileLocal(point, column, row, local)) return false;
    out->column = column;
    out->row = row;
    out->points = {LocalPoint{local.x, local.y}};
    return true;
}

// ---- The demo district -----------------------------------------------------------------

namespace {

constexpr int kDemoLevels[] = {1, 2, 3, 4};

MapPoint Deg(double lon, double lat) {
    return {static_cast<int32_t>(std::lround(lon * kMapUnitsPerDegree)),
            static_cast<int32_t>(std::lround(lat * kMapUnitsPerDegree))};
}

std::vector<MapPoint> Rect(double lon0, double lat0, double lon1, double lat1) {
    return {Deg(lon0, lat0), Deg(lon1, lat0), Deg(lon1, lat1), Deg(lon0, lat1)};
}

std::string Cp949(const char* utf8) {
    std::string out;
    platform::Utf16ToCp949(platform::Utf8ToUtf16(utf8), out);
    return out;
}

using Blocks = std::map<std::pair<int, int>, GroupedBlockBuilder>;

GroupedBlockBuilder& BlockOf(Blocks& blocks, int column, int row, bool poi) {
    return blocks.try_emplace({column, row}, poi).first->second;
}

bool WriteLayer(const std::string& root, const char* name, const std::map<int, Blocks>& levels, std::string* error) {
    MapContainerWriter w(false);
    for (const auto& [level, blocks] : levels)
        for (const auto& [tile, builder] : blocks) w.AddBlock(level, tile.first, tile.second, builder.Build());
    return w.WriteFile(platform::ResolveUnder(root, name), error);
}

bool WriteFlatLayer(const std::string& root, const char* name,
                    const std::map<int, std::map<std::pair<int, int>, std::vector<LayerRecord>>>& levels,
                    int offsetAt, std::string* error) {
    MapContainerWriter w(false);
    for (const auto& [level, tiles] : levels)
        for (const auto& [tile, entries] : tiles) w.AddBlock(level, tile.first, tile.second, BuildFlatBlock(entries, offsetAt));
    return w.WriteFile(platform::ResolveUnder(root, name), error);
}

// The district: grid origin 127.0E 37.5N, five streets by five avenues
// 0.01 x 0.008 degrees apart (demo_map.cpp).
constexpr double kLon0 = 127.0, kLat0 = 37.5, kStepLon = 0.01, kStepLat = 0.008;

struct DemoPoi {
    double lon, lat;
    uint16_t poiClass;
    const char* name;
};
const DemoPoi kPois[] = {
    {127.0035, 37.5035, demostyle::kPoiFuel, "한빛주유소"},
    {127.0135, 37.5045, demostyle::kPoiParking, "새솔공영주차장"},
    {127.0215, 37.5125, demostyle::kPoiRestaurant, "누리식당"},
    {127.0245, 37.5135, demostyle::kPoiCafe, "바람카페"},
    {127.0315, 37.5205, demostyle::kPoiHospital, "가람병원"},
    {127.0335, 37.5195, demostyle::kPoiPharmacy, "가람약국"},
    {127.0115, 37.5205, demostyle::kPoiBank, "마루은행"},
    {127.0065, 37.5275, demostyle::kPoiConvenience, "별빛편의점"},
    {127.0355, 37.5045, demostyle::kPoiSchool, "은하초등학교"},
    {127.0195, 37.5295, demostyle::kPoiPolice, "누리파출소"},
    {127.0200, 37.5160, demostyle::kPoiSubway, "누리역"},
    {127.0300, 37.5080, demostyle::kPoiBusStop, "들꽃정류장"},
    {127.0085, 37.5125, demostyle::kPoiHotel, "솔내호텔"},
    {127.0150, 37.5135, demostyle::kPoiAttraction, "바람공원"},
};

uint16_t LineClassOf(uint8_t roadClass) {
    if (roadClass <= 1) return demostyle::kLineExpressway;
    if (roadClass <= 3) return demostyle::kLineMajorRoad;
    if (roadClass <= 5) return demostyle::kLineStreet;
    return demostyle::kLineSmallStreet;
}
// The casing drawn under a road's fill (none for small streets).
int CasingClassOf(uint8_t roadClass) {
    if (roadClass <= 1) return demostyle::kLineExpresswayCasing;
    if (roadClass <= 3) return demostyle::kLineMajorCasing;
    if (roadClass <= 5) return demostyle::kLineStreetCasing;
    return -1;
}

// Adds a record in map units to every tile of a level its points meet.
void AddToTiles(std::map<int, Blocks>& layer, int level, const std::vector<MapPoint>& points, uint8_t groupType,
                uint16_t cls, const LayerRecord& record) {
    const int32_t side = GetLevelTileSide(level);
    int32_t minX = INT32_MAX, minY = INT32_MAX, maxX = INT32_MIN, maxY = INT32_MIN;
    for (const MapPoint& p : points) {
        minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
    }
    for (int32_t r = minY / side; r <= maxY / side; ++r)
        for (int32_t c = minX / side; c <= maxX / side; ++c) BlockOf(layer[level], c, r, false).Add(groupType, cls, record);
}

// A quad of four map points as a closed ring of five points local to the
// tile of its first corner (corners past the tile's edge keep going on its
// local grid).
bool ClosedQuad(int level, const MapPoint corners[4], TilePiece* out) {
    TilePiece first;
    if (!TilePoint(level, corners[0], &first)) return false;
    const double side = GetLevelTileSide(level), step = GetLevelLocalStep(level);
    out->column = first.column, out->row = first.row;
    out->points.clear();
    for (int i = 0; i <= 4; ++i) {
        const MapPoint& p = corners[i % 4];
        out->points.push_back({static_cast<int16_t>(std::lround((p.x - first.column * side) / step)),
                               static_cast<int16_t>(std::lround((p.y - first.row * side) / step))});
    }
    return true;
}

}  // namespace

bool WriteDemoLayers(const std::string& root, std::string* error) {
    std::map<int, Blocks> base, building, tributary, elev, poi, jibun;
    std::map<int, std::map<std::pair<int, int>, std::vector<LayerRecord>>> theme, roadAttr, traffic;

    // Areas: blocks between the streets (a park and a school among them),
    // the river north of the district, its banks, a hill to the north-east.
    struct Area {
        std::vector<MapPoint> ring;
        uint16_t cls;
        std::map<int, Blocks>* layer;
        uint8_t groupType;
    };
    std::vector<Area> areas;
    for (int j = 0; j < 4; ++j) {
        for (int i = 0; i < 4; ++i) {
            const double lon0 = kLon0 + i * kStepLon + 0.0009, lon1 = kLon0 + (i + 1) * kStepLon - 0.0009;
            const double lat0 = kLat0 + j * kStepLat + 0.0007, lat1 = kLat0 + (j + 1) * kStepLat - 0.0007;
            uint16_t cls = demostyle::kAreaBlock;
            if (i == 1 && j == 1) cls = demostyle::kAreaPark;
            if (i == 3 && j == 0) cls = demostyle::kAreaSchool;
            areas.push_back({Rect(lon0, lat0, lon1, lat1), cls, &base, 1});
        }
    }
    std::vector<MapPoint> river;
    for (int k = 0; k <= 12; ++k) river.push_back(Deg(126.99 + k * 0.005, 37.5345 + 0.0006 * std::sin(k)));
    for (int k = 12; k >= 0; --k) river.push_back(Deg(126.99 + k * 0.005, 37.5372 + 0.0006 * std::sin(k)));
    areas.push_back({river, demostyle::kAreaWater, &base, 1});
    areas.push_back({Rect(126.99, 37.5335, 127.05, 37.5382), demostyle::kAreaRiverBank, &tributary, 1});
    areas.push_back({Rect(127.028, 37.539, 127.05, 37.548), demostyle::kAreaElevationLow, &elev, 10});
    areas.push_back({Rect(127.034, 37.541, 127.046, 37.546), demostyle::kAreaElevationMid, &elev, 10});

    for (int level : kDemoLevels) {
        for (const Area& a : areas)
            for (TilePiece& p : TileArea(level, a.ring))
                BlockOf((*a.layer)[level], p.column, p.row, false).Add(a.groupType, a.cls, AreaRecord(p.points));
        for (const DemoLink& link : DemoLinks()) {
            for (TilePiece& p : TileLine(level, link.shape)) {
                // Casings first (type 2), fills over them (type 4; the
                // expressway type 8, over the other roads), the tunnel's
                // dashes last (type 12).
                GroupedBlockBuilder& b = BlockOf(base[level], p.column, p.row, false);
                if (const int casing = CasingClassOf(link.roadClass); casing >= 0)
                    b.Add(2, static_cast<uint16_t>(casing), LineRecord(p.points));
                b.Add(link.roadClass <= 1 ? 8 : 4, LineClassOf(link.roadClass), LineRecord(p.points));
                if (link.structureKind == 2) b.Add(12, demostyle::kLineTunnel, LineRecord(p.points));
                traffic[level][{p.column, p.row}].push_back(
                    TrafficLinkRecord(p.points, link.number, static_cast<uint16_t>(link.roadClass <= 1 ? 1 : link.roadClass <= 3 ? 2 : 4)));
            }
        }
        for (const DemoPoi& q : kPois) {
            TilePiece p;
            if (!TilePoint(level, Deg(q.lon, q.lat), &p)) continue;
            const uint8_t groupType = q.poiClass == demostyle::kPoiSubway ? 15 : 13;
            // One record per display step the level is drawn at.
            for (int step : DisplayStepsOfMapLevel(level))
                BlockOf(poi[level], p.column, p.row, true)
                    .Add(groupType, 0, PoiRecord(p.points[0], 0, q.poiClass, static_cast<uint8_t>(step), Cp949(q.name)));
        }
    }

    // The other geometry classes of the Base layer, one or two of each, at
    // every level: a railway south of the district (dashed, type 4), the
    // district boundary (type 19), the river's centre line in map units
    // (type 27), polygon classes (types 3, 28, 29, 30) with their rings,
    // an outlined block (type 5), a car park (type 6), flats drawn
    // translucent (type 22), crosswalk stripes (types 23 and 24) and a
    // pond with an island in the park (type 26).
    const std::vector<MapPoint> railway = {Deg(126.99, 37.4972), Deg(127.02, 37.4968), Deg(127.05, 37.4972)};
    const std::vector<MapPoint> boundary = {Deg(126.9955, 37.497), Deg(126.9955, 37.533)};
    std::vector<MapPoint> riverLine;
    for (int k = 0; k <= 12; ++k) riverLine.push_back(Deg(126.99 + k * 0.005, 37.53585 + 0.0006 * std::sin(k)));
    struct Polygon {
        std::vector<MapPoint> ring;
        uint8_t groupType;
        uint16_t cls;
    };
    const Polygon polygons[] = {
        {Rect(127.0018, 37.5095, 127.0082, 37.5145), 3, demostyle::kAreaParking},
        {Rect(127.0318, 37.5016, 127.0382, 37.5064), 28, demostyle::kAreaSchool},
        {Rect(127.0122, 37.5092, 127.0148, 37.5112), 29, demostyle::kAreaPark},
        {Rect(127.0318, 37.5255, 127.0382, 37.5305), 30, demostyle::kAreaCemetery},
        {Rect(127.0218, 37.5255, 127.0282, 37.5305), 5, demostyle::kAreaOutlinedBlock},
        {Rect(127.0218, 37.5016, 127.0262, 37.5044), 6, demostyle::kAreaParking},
        {Rect(127.0012, 37.5176, 127.0088, 37.5224), 22, demostyle::kAreaApartment},
    };
    std::vector<MapPoint> pond = {Deg(127.0158, 37.5118), Deg(127.0178, 37.5112), Deg(127.0186, 37.5128),
                                  Deg(127.0172, 37.5142), Deg(127.0156, 37.5136), Deg(127.0158, 37.5118)};
    const std::vector<MapPoint> island = {Deg(127.0167, 37.5124), Deg(127.0174, 37.5125), Deg(127.0171, 37.5131),
                                          Deg(127.0167, 37.5124)};
    const uint16_t outerCount = static_cast<uint16_t>(pond.size());
    pond.insert(pond.end(), island.begin(), island.end());
    const LayerRecord pondRecord =
        MapPolygonRecord(pond, {{0, outerCount}, {outerCount, static_cast<uint16_t>(island.size())}});
    for (int level : kDemoLevels) {
        for (TilePiece& p : TileLine(level, railway))
            BlockOf(base[level], p.column, p.row, false).Add(4, demostyle::kLineRailway, LineRecord(p.points));
        for (TilePiece& p : TileLine(level, boundary))
            BlockOf(base[level], p.column, p.row, false).Add(19, demostyle::kLineBoundary, LineRecord(p.points));
        AddToTiles(base, level, riverLine, 27, demostyle::kLineRiver, MapLineRecord(riverLine));
        for (const Polygon& g : polygons) {
            for (TilePiece& p : TileArea(level, g.ring)) {
                const uint16_t n = static_cast<uint16_t>(p.points.size());
                LayerRecord record = g.groupType == 3 || g.groupType >= 28 ? PolygonRecord(p.points, {{0, n}})
                                                                           : AreaRecord(p.points);
                BlockOf(base[level], p.column, p.row, false).Add(g.groupType, g.cls, std::move(record));
            }
        }
        AddToTiles(base, level, pond, 26, demostyle::kAreaWater, pondRecord);
        // Crosswalks at the main road's crossing with the third avenue: the
        // stripes across each approach (type 23) and one crossing (type 24).
        const double cx = kLon0 + 2 * kStepLon, cy = kLat0 + 2 * kStepLat;
        const MapPoint walks[2][4] = {
            {Deg(cx - 0.0006, cy + 0.0005), Deg(cx + 0.0006, cy + 0.0005), Deg(cx + 0.0006, cy + 0.0009),
             Deg(cx - 0.0006, cy + 0.0009)},
            {Deg(cx - 0.0006, cy - 0.0009), Deg(cx + 0.0006, cy - 0.0009), Deg(cx + 0.0006, cy - 0.0005),
             Deg(cx - 0.0006, cy - 0.0005)},
        };
        for (const auto& walk : walks) {
            TilePiece p;
            if (ClosedQuad(level, walk, &p))
                BlockOf(base[level], p.column, p.row, false).Add(23, demostyle::kAreaCrosswalk, AreaRecord(p.points));
        }
        const MapPoint crossing[4] = {Deg(cx + 0.0009, cy - 0.0005), Deg(cx + 0.0015, cy - 0.0005),
                                      Deg(cx + 0.0015, cy + 0.0005), Deg(cx + 0.0009, cy + 0.0005)};
        AddToTiles(base, level, std::vector<MapPoint>(crossing, crossing + 4), 24, demostyle::kAreaCrosswalk,
                   CrossingRecord(crossing));
    }

    // Buildings (level 1 only, where levels 16 and 17 draw): in three
    // blocks six rows of houses about 26 x 28 m with one to four floors, and
    // a lot number for every other house.
    uint32_t info = 1;
    int lotNumber = 1;
    for (const auto& [i, j] : {std::pair{0, 0}, std::pair{2, 1}, std::pair{2, 3}}) {
        for (int r = 0; r < 2; ++r) {
            for (int c = 0; c < 3; ++c) {
                const double lon0 = kLon0 + i * kStepLon + 0.0016 + c * 0.0024;
                const double lat0 = kLat0 + j * kStepLat + 0.0014 + r * 0.0026;
                for (int k = 0; k < 4; ++k) {
                    const int row = k / 2, column = k % 2;
                    const double x = lon0 + column * 0.0005, y = lat0 + row * 0.0004;
                    const uint8_t floors = static_cast<uint8_t>(1 + (c + k) % 4);
                    for (TilePiece& p : TileArea(1, Rect(x, y, x + 0.0003, y + 0.00025)))
                        BlockOf(building[1], p.column, p.row, false)
                            .Add(7, demostyle::kAreaBuilding,
                                 BuildingRecord(p.points, static_cast<uint8_t>(3 * floors), floors, info));
                    ++info;
                }
                TilePiece lot;
                // Lot numbers in the four label forms: plain, with a sub
                // number, on a mountain, on a mountain with a sub number.
                const auto number = static_cast<int16_t>(100 + lotNumber);
                const int16_t mountain = (lotNumber % 4 >= 2) ? 0x4000 : 0;
                const int16_t sub = (lotNumber % 2 == 1) ? static_cast<int16_t>(0x4000 | (lotNumber % 7 + 1)) : 0;
                if (TilePoint(1, Deg(lon0 + 0.0008, lat0 - 0.0003), &lot))
                    for (int step : {13, 14})
                        BlockOf(jibun[1], lot.column, lot.row, true)
                            .Add(25, 0, LotNumberRecord(lot.points[0], demostyle::kPoiLotNumber,
                                                        static_cast<int16_t>(number | mountain), sub,
                                                        static_cast<uint8_t>(step)));
                ++lotNumber;
            }
        }
    }
    // Towers stored in map units (type 21) beside the main road.
    for (int k = 0; k < 3; ++k) {
        const double lon0 = kLon0 + 1 * kStepLon + 0.0016 + k * 0.0008, lat0 = kLat0 + 2 * kStepLat + 0.0012;
        const std::vector<MapPoint> ring = {Deg(lon0, lat0), Deg(lon0 + 0.0004, lat0), Deg(lon0 + 0.00045, lat0 + 0.0003),
                                            Deg(lon0 + 0.00005, lat0 + 0.0004)};
        AddToTiles(building, 1, ring, 21, demostyle::kAreaBuilding,
                   MapBuildingRecord(ring, static_cast<uint8_t>(30 + 6 * k), static_cast<uint8_t>(10 + 2 * k), info++));
    }

    // Theme entries and road attributes at a few crossings.
    const struct {
        double lon, lat;
        uint32_t id;
        const char* name;
    } kThemes[] = {{127.0152, 37.5118, 9001, "바람공원 산책로"}, {127.0242, 37.5148, 9002, "누리 맛집 골목"},
                   {127.0318, 37.5212, 9003, "가람 벚꽃길"}, {127.0052, 37.5262, 9004, "별빛 전망대"}};
    for (int level : kDemoLevels) {
        for (const auto& t : kThemes) {
            TilePiece p;
            if (TilePoint(level, Deg(t.lon, t.lat), &p))
                theme[level][{p.column, p.row}].push_back(ThemeRecord(p.points[0], t.id, 0x1, demostyle::kPoiAttraction, Cp949(t.name)));
        }
        for (const DemoLink& link : DemoLinks()) {
            if (link.roadClass != 3) continue;   // along the main road, eastwards
            TilePiece p;
            const MapPoint mid{(link.shape.front().x + link.shape.back().x) / 2, link.shape.front().y};
            if (TilePoint(level, mid, &p)) roadAttr[level][{p.column, p.row}].push_back(RoadAttrRecord(p.points[0], 0, 90));
            if (TilePoint(level, link.shape.front(), &p))
                roadAttr[level][{p.column, p.row}].push_back(RoadAttrRecord(p.points[0], 1, 90));
        }
    }

    return WriteLayer(root, "Map\\Base.map", base, error) && WriteLayer(root, "Map\\Building.map", building, error) &&
           WriteLayer(root, "Map\\Tributary.map", tributary, error) && WriteLayer(root, "Map\\Elev.map", elev, error) &&
           WriteLayer(root, "Map\\POI.map", poi, error) && WriteLayer(root, "Map\\JibunPOI.map", jibun, error) &&
           WriteFlatLayer(root, "Map\\Theme.map", theme, 16, error) &&
           WriteFlatLayer(root, "Map\\RoadAttr.map", roadAttr, -1, error) &&
           WriteFlatLayer(root, "Map\\TpegLink.map", traffic, 10, error);
}

// ---- The synthetic city ---------------------------------------------------------------

namespace {

// Hangul names from a few syllables, seeded.
std::string HangulName(std::mt19937_64& rng, const char* suffix) {
    static const char* const kSyllables[] = {"가", "나", "다", "라", "마", "바", "사", "아", "자", "하",
                                             "솔", "별", "빛", "누", "리", "은", "들", "꽃", "새", "온"};
    std::uniform_int_distribution<int> pick(0, 19);
    std::string utf8 = std::string(kSyllables[pick(rng)]) + kSyllables[pick(rng)] + suffix;
    return Cp949(utf8.c_str());
}

}  // namespace

bool WriteSyntheticLayers(const SyntheticCity& city, uint64_t seed, const std::string& root, std::string* error,
                          const std::function<void(const std::string&)>& progress) {
    auto tell = [&](const std::string& line) {
        if (progress) progress(line);
    };
    const int n = city.side;
    if (n < 2) return false;
    // Metres of the grid to map units (the city is small enough for a
    // linear map between its corners).
    const double ux = (city.net.nodes[static_cast<size_t>(n) - 1].x - city.net.nodes[0].x) / city.xm.back();
    const double uy = (city.net.nodes[static_cast<size_t>(n) * (n - 1)].y - city.net.nodes[0].y) / city.ym.back();
    const MapPoint origin = city.net.nodes[0];
    auto at = [&](double xm, double ym) {
        return MapPoint{origin.x + static_cast<int32_t>(std::lround(xm * ux)),
                        origin.y + static_cast<int32_t>(std::lround(ym * uy))};
    };
    auto rect = [&](double x0, double y0, double x1, double y1) {
        return std::vector<MapPoint>{at(x0, y0), at(x1, y0), at(x1, y1), at(x0, y1)};
    };
    std::mt19937_64 rng(seed ^ 0x5EEDu);
    std::uniform_real_distribution<double> unit(0.0, 1.0);

    std::map<int, Blocks> base, building, poi;
    std::map<int, std::map<std::pair<int, int>, std::vector<LayerRecord>>> theme, roadAttr, traffic;

    // Roads: every kind at levels 1 and 2, arterials and expressways also
    // at level 3, expressways at level 4.
    for (size_t i = 1; i < city.net.links.size(); ++i) {
        const RoadNetLink& l = city.net.links[i];
        const SyntheticRoad road = city.roads[i];
        const std::vector<MapPoint> line = {city.net.nodes[l.firstNode], city.net.nodes[l.secondNode]};
        const uint16_t cls = road == SyntheticRoad::kLocal      ? demostyle::kLineStreet
                             : road == SyntheticRoad::kArterial ? demostyle::kLineMajorRoad
                                                                : demostyle::kLineExpressway;
        const int deepest = road == SyntheticRoad::kLocal ? 2 : road == SyntheticRoad::kArterial ? 3 : 4;
        const uint16_t casing = road == SyntheticRoad::kLocal      ? demostyle::kLineStreetCasing
                                : road == SyntheticRoad::kArterial ? demostyle::kLineMajorCasing
                                                                   : demostyle::kLineExpresswayCasing;
        const uint8_t fillType = road == SyntheticRoad::kLocal || road == SyntheticRoad::kArterial ? 4 : 8;
        for (int level = 1; level <= deepest; ++level) {
            for (TilePiece& p : TileLine(level, line)) {
                // Casings under the fills, the expressways over the grid.
                GroupedBlockBuilder& b = BlockOf(base[level], p.column, p.row, false);
                b.Add(2, casing, LineRecord(p.points));
                b.Add(fillType, cls, LineRecord(p.points));
                if (road != SyntheticRoad::kLocal && level <= 2)
                    traffic[level][{p.column, p.row}].push_back(
                        TrafficLinkRecord(p.points, static_cast<uint32_t>(i), road == SyntheticRoad::kArterial ? 2 : 1));
            }
        }
        if (i % 200000 == 0) tell("layers: " + std::to_string(i) + " links");
    }

    // Blocks, parks, buildings and POIs, cell by cell.
    size_t buildings = 0, pois = 0;
    for (int r = 0; r + 1 < n; ++r) {
        for (int c = 0; c + 1 < n; ++c) {
            const double x0 = city.xm[c] + 12, x1 = city.xm[c + 1] - 12;
            const double y0 = city.ym[r] + 12, y1 = city.ym[r + 1] - 12;
            const bool park = (r * 7 + c * 3) % 37 == 0;
            const std::vector<MapPoint> block = rect(x0, y0, x1, y1);
            for (int level = 1; level <= 2; ++level)
                for (TilePiece& p : TileArea(level, block))
                    BlockOf(base[level], p.column, p.row, false)
                        .Add(1, park ? demostyle::kAreaPark : demostyle::kAreaBlock, AreaRecord(p.points));
            if (park) continue;
            // Two rows of houses along the block's long sides.
            const int perRow = std::max(1, static_cast<int>((x1 - x0) / 45));
            for (int row = 0; row < 2; ++row) {
                for (int k = 0; k < perRow; ++k) {
                    const double bx = x0 + 6 + k * (x1 - x0 - 12) / perRow;
                    const double by = row == 0 ? y0 + 6 : y1 - 36;
                    const double w = 20 + 15 * unit(rng), h = 20 + 10 * unit(rng);
                    for (TilePiece& p : TileArea(1, rect(bx, by, bx + w, by + h)))
                        BlockOf(building[1], p.column, p.row, false)
                            .Add(7, demostyle::kAreaBuilding,
                                 BuildingRecord(p.points, static_cast<uint8_t>(2 + 30 * unit(rng)), 1,
                                                static_cast<uint32_t>(buildings)));
                    ++buildings;
                }
            }
            // One or two POIs per block.
            const int count = 1 + static_cast<int>(2 * unit(rng));
            for (int k = 0; k < count; ++k) {
                const MapPoint where = at(x0 + (x1 - x0) * unit(rng), y0 + (y1 - y0) * unit(rng));
                const uint16_t cls = static_cast<uint16_t>(pois % demostyle::kPoiClassCount);
                const std::string name = HangulName(rng, cls == demostyle::kPoiCafe ? "카페" : "상회");
                for (int level = 1; level <= 2; ++level) {
                    TilePiece p;
                    if (TilePoint(level, where, &p))
                        for (int step : DisplayStepsOfMapLevel(level))
                            BlockOf(poi[level], p.column, p.row, true)
                                .Add(13, 0, PoiRecord(p.points[0], static_cast<uint32_t>(pois), cls,
                                                      static_cast<uint8_t>(step), name));
                }
                if (pois % 50 == 0) {
                    TilePiece p;
                    if (TilePoint(1, where, &p))
                        theme[1][{p.column, p.row}].push_back(
                            ThemeRecord(p.points[0], static_cast<uint32_t>(pois), 1, demostyle::kPoiAttraction, name));
                }
                ++pois;
            }
        }
        if (r % 20 == 0) tell("layers: row " + std::to_string(r) + " of " + std::to_string(n - 1));
    }
    // An expressway ring around the centre, at two fifths of the city's
    // size, drawn over the grid (map layers only; the road network keeps
    // its straight expressways).
    {
        const double cx = city.xm.back() / 2, cy = city.ym.back() / 2;
        const double radius = 0.4 * std::min(city.xm.back(), city.ym.back());
        std::vector<MapPoint> ring;
        for (int k = 0; k <= 96; ++k) {
            const double a = 2.0 * 3.14159265358979 * k / 96;
            ring.push_back(at(cx + radius * std::cos(a), cy + radius * std::sin(a)));
        }
        for (int level = 1; level <= 4; ++level) {
            for (TilePiece& p : TileLine(level, ring)) {
                GroupedBlockBuilder& b = BlockOf(base[level], p.column, p.row, false);
                b.Add(2, demostyle::kLineExpresswayCasing, LineRecord(p.points));
                b.Add(8, demostyle::kLineExpressway, LineRecord(p.points));
            }
        }
    }
    // Signals at the arterial crossings.
    for (int r = 0; r < n; r += 10) {
        for (int c = 0; c < n; c += 10) {
            TilePiece p;
            if (TilePoint(1, city.net.nodes[static_cast<size_t>(r) * n + c], &p))
                roadAttr[1][{p.column, p.row}].push_back(RoadAttrRecord(p.points[0], 1, 0));
        }
    }
    // Two rivers across the city, drawn as water over the blocks.
    const double W = city.xm.back(), H = city.ym.back();
    for (int k = 0; k < 2; ++k) {
        std::vector<MapPoint> ring;
        const double yBase = H * (k == 0 ? 0.3 : 0.7);
        for (int s = 0; s <= 40; ++s) ring.push_back(at(W * s / 40, yBase + 300 * std::sin(s * 0.4 + k)));
        for (int s = 40; s >= 0; --s) ring.push_back(at(W * s / 40, yBase + 120 + 300 * std::sin(s * 0.4 + k)));
        for (int level = 1; level <= 3; ++level)
            for (TilePiece& p : TileArea(level, ring))
                BlockOf(base[level], p.column, p.row, false).Add(1, demostyle::kAreaWater, AreaRecord(p.points));
    }
    tell("layers: " + std::to_string(buildings) + " buildings, " + std::to_string(pois) + " POIs");
    return WriteLayer(root, "Map\\Base.map", base, error) && WriteLayer(root, "Map\\Building.map", building, error) &&
           WriteLayer(root, "Map\\POI.map", poi, error) && WriteFlatLayer(root, "Map\\Theme.map", theme, 16, error) &&
           WriteFlatLayer(root, "Map\\RoadAttr.map", roadAttr, -1, error) &&
           WriteFlatLayer(root, "Map\\TpegLink.map", traffic, 10, error);
}

}  // namespace writers
