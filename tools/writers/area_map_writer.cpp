#include "tools/writers/area_map_writer.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <map>

#include "platform/byte_cursor.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "tools/writers/map_container_writer.h"

namespace writers {
namespace {

constexpr int kLevel = 2;
constexpr uint32_t kHeaderBytes = 6;

MapPoint At(double lon, double lat) {
    return {static_cast<int32_t>(lon * kMapUnitsPerDegree), static_cast<int32_t>(lat * kMapUnitsPerDegree)};
}

int64_t FloorDiv(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

uint16_t ClampLocal(int64_t v) { return static_cast<uint16_t>(std::clamp<int64_t>(v, 0, kTileLocalSteps - 1)); }

struct Pt {
    double x, y;
};

// Cuts a closed outline to the half-plane where inside(p) holds; crossings
// of the border are computed along the edge.
template <class Inside, class Cross>
std::vector<Pt> ClipHalf(const std::vector<Pt>& in, Inside inside, Cross cross) {
    std::vector<Pt> out;
    for (size_t i = 0; i < in.size(); ++i) {
        const Pt& a = in[i];
        const Pt& b = in[(i + 1) % in.size()];
        const bool ia = inside(a), ib = inside(b);
        if (ia) out.push_back(a);
        if (ia != ib) out.push_back(cross(a, b));
    }
    return out;
}

// The outline cut to the square [lo, hi] on both axes.
std::vector<Pt> ClipToSquare(std::vector<Pt> poly, double lo, double hi) {
    const auto atX = [](const Pt& a, const Pt& b, double x) {
        return Pt{x, a.y + (b.y - a.y) * (x - a.x) / (b.x - a.x)};
    };
    const auto atY = [](const Pt& a, const Pt& b, double y) {
        return Pt{a.x + (b.x - a.x) * (y - a.y) / (b.y - a.y), y};
    };
    poly = ClipHalf(poly, [&](const Pt& p) { return p.x >= lo; }, [&](const Pt& a, const Pt& b) { return atX(a, b, lo); });
    poly = ClipHalf(poly, [&](const Pt& p) { return p.x <= hi; }, [&](const Pt& a, const Pt& b) { return atX(a, b, hi); });
    poly = ClipHalf(poly, [&](const Pt& p) { return p.y >= lo; }, [&](const Pt& a, const Pt& b) { return atY(a, b, lo); });
    poly = ClipHalf(poly, [&](const Pt& p) { return p.y <= hi; }, [&](const Pt& a, const Pt& b) { return atY(a, b, hi); });
    return poly;
}

}  // namespace

std::vector<uint8_t> BuildAreaBlock(const std::vector<LocalArea>& areas, bool withCode) {
    const uint32_t entryBytes = withCode ? 18 : 14;
    platform::ByteWriter w;
    w.U16(static_cast<uint16_t>(areas.size()));
    w.U32(kHeaderBytes);
    uint32_t points = kHeaderBytes + entryBytes * static_cast<uint32_t>(areas.size());
    for (const auto& a : areas) {
        w.U16(a.minY);
        w.U16(a.minX);
        w.U16(a.maxY);
        w.U16(a.maxX);
        w.U16(static_cast<uint16_t>(a.forcedPointCount >= 0 ? a.forcedPointCount : static_cast<int>(a.points.size())));
        w.U32(points);
        if (withCode) w.U32(a.code);
        points += static_cast<uint32_t>(a.points.size()) * 8;
    }
    for (const auto& a : areas) {
        for (const auto& [x, y] : a.points) {
            w.I32(x);
            w.I32(y);
        }
    }
    return w.Data();
}

std::vector<uint8_t> BuildAreaMap(const std::vector<MapArea>& areas, bool withCode, bool packed, bool cutOutlines) {
    const int64_t side = GetLevelTileSide(kLevel);
    const int64_t step = GetLevelLocalStep(kLevel);
    std::map<std::pair<int64_t, int64_t>, std::vector<LocalArea>> tiles;
    for (const auto& area : areas) {
        if (area.outline.empty()) continue;
        MapPoint mn = area.outline[0], mx = area.outline[0];
        for (const auto& p : area.outline) {
            mn = {std::min(mn.x, p.x), std::min(mn.y, p.y)};
            mx = {std::max(mx.x, p.x), std::max(mx.y, p.y)};
        }
        for (int64_t ty = FloorDiv(mn.y, side); ty <= FloorDiv(mx.y, side); ++ty) {
            for (int64_t tx = FloorDiv(mn.x, side); tx <= FloorDiv(mx.x, side); ++tx) {
                const int64_t ox = tx * side, oy = ty * side;
                // The outline in the tile's steps, cut to the tile and one
                // step around it.
                std::vector<Pt> poly;
                for (const auto& p : area.outline)
                    poly.push_back({static_cast<double>(FloorDiv(p.x - ox, step)),
                                    static_cast<double>(FloorDiv(p.y - oy, step))});
                if (cutOutlines) poly = ClipToSquare(std::move(poly), -1.0, kTileLocalSteps + 1.0);
                if (poly.size() < 3) continue;
                LocalArea local;
                local.code = area.code;
                int64_t x0 = INT64_MAX, y0 = INT64_MAX, x1 = INT64_MIN, y1 = INT64_MIN;
                for (const Pt& p : poly) {
                    const int64_t x = std::llround(p.x), y = std::llround(p.y);
                    local.points.push_back({static_cast<int32_t>(x), static_cast<int32_t>(y)});
                    x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
                }
                local.minX = ClampLocal(x0);
                local.minY = ClampLocal(y0);
                local.maxX = ClampLocal(x1);
                local.maxY = ClampLocal(y1);
                tiles[{tx, ty}].push_back(std::move(local));
            }
        }
    }
    MapContainerWriter w(packed);
    w.AddEmptyLevel(kLevel);
    for (const auto& [tile, list] : tiles)
        w.AddBlock(kLevel, static_cast<int>(tile.first), static_cast<int>(tile.second), BuildAreaBlock(list, withCode));
    return w.Build();
}

const std::vector<DemoAddressArea>& DemoAddressAreas() {
    // Two neighbourhoods split along 127.02E: the western one a plain
    // rectangle, the eastern one with its north-eastern corner cut out.
    // Codes as the address search numbers them: province 10, district 1030
    // "한빛구", dongs 103001 and 103002.
    static const std::vector<DemoAddressArea> areas = {
        {103001u, "한빛동",
         {At(126.99, 37.49), At(127.02, 37.49), At(127.02, 37.54), At(126.99, 37.54)}},
        {103002u, "누리동",
         {At(127.02, 37.49), At(127.05, 37.49), At(127.05, 37.52), At(127.035, 37.52), At(127.035, 37.54),
          At(127.02, 37.54)}},
    };
    return areas;
}

const std::vector<MapPoint>& DemoCityOutline() {
    // A diamond around the district's middle crossing.
    static const std::vector<MapPoint> outline = {At(127.02, 37.504), At(127.032, 37.516), At(127.02, 37.528),
                                                  At(127.008, 37.516)};
    return outline;
}

bool WriteDemoAreas(const std::string& root, std::string* error) {
    std::vector<MapArea> address;
    for (const auto& a : DemoAddressAreas()) address.push_back({a.code, a.outline});
    const std::vector<MapArea> city = {{0, DemoCityOutline()}};
    if (!platform::MakeDirectories(platform::ResolveUnder(root, "Map"))) {
        if (error) *error = "cannot create the Map folder";
        return false;
    }
    return platform::AtomicReplaceFile(platform::ResolveUnder(root, "Map\\Address.map"), BuildAreaMap(address, true),
                                       error) &&
           platform::AtomicReplaceFile(platform::ResolveUnder(root, "Map\\City.map"), BuildAreaMap(city, false),
                                       error);
}

}  // namespace writers
