#include "tools/writers/synthetic_city.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <utility>

#include "platform/file_io.h"
#include "platform/paths.h"
#include "route/road_files.h"

namespace writers {
namespace {

constexpr double kLon0 = 126.5, kLat0 = 35.3;
constexpr int kExpresswayEvery = 50;
constexpr int kArterialEvery = 10;
constexpr int kRampEvery = 10;
constexpr int kTile = 5;
constexpr double kExpresswayOffsetM = 60.0;


// Links a grid of side n gets: the grid, the expressways beside every 50th
// line (both ways) and one ramp per 10th crossing.
uint64_t LinkCount(int n) {
    uint64_t lines = 0;
    for (int k = kExpresswayEvery; k < n - 1; k += kExpresswayEvery) ++lines;
    const uint64_t ramps = static_cast<uint64_t>((n - 1) / kRampEvery + 1);
    return 2ull * n * (n - 1) + 2 * lines * (n - 1 + ramps);
}

MapPoint ToMap(double xm, double ym) {
    const double lat = kLat0 + ym / 110574.0;
    const double lon = kLon0 + xm / (111320.0 * std::cos(kLat0 * M_PI / 180.0));
    return {static_cast<int32_t>(std::lround(lon * kMapUnitsPerDegree)),
            static_cast<int32_t>(std::lround(lat * kMapUnitsPerDegree))};
}

void Describe(RoadNetLink& l, SyntheticRoad road) {
    switch (road) {
    case SyntheticRoad::kExpressway:
        l.roadClass = 0, l.kind = 1, l.networkLevel = 3, l.lanes = 3, l.speedCode = 10;
        break;
    case SyntheticRoad::kRamp:
        l.roadClass = 1, l.kind = 3, l.networkLevel = 3, l.lanes = 1, l.speedCode = 6;
        break;
    case SyntheticRoad::kArterial:
        l.roadClass = 3, l.kind = 6, l.networkLevel = 2, l.lanes = 2, l.speedCode = 6;
        break;
    case SyntheticRoad::kLocal:
        l.roadClass = 6, l.kind = 6, l.networkLevel = 0, l.lanes = 1, l.speedCode = 5;
        break;
    }
}

// The position of cell (x, y) along a Hilbert curve over a 65536 x 65536
// grid: cells near each other along the curve lie near each other in the
// plane.
uint32_t HilbertIndex(uint32_t x, uint32_t y) {
    uint32_t d = 0;
    for (uint32_t s = 1u << 15; s > 0; s >>= 1) {
        const uint32_t rx = (x & s) ? 1 : 0, ry = (y & s) ? 1 : 0;
        d += s * s * ((3 * rx) ^ ry);
        if (ry == 0) {
            if (rx == 1) {
                x = 65535 - x;
                y = 65535 - y;
            }
            std::swap(x, y);
        }
    }
    return d;
}

}  // namespace

SyntheticCity BuildSyntheticCity(uint32_t maxLinks, uint64_t seed, const SyntheticProgress& progress) {
    auto tell = [&](const std::string& line) {
        if (progress) progress(line);
    };
    SyntheticCity city;
    int n = static_cast<int>(std::sqrt(maxLinks / 2.0)) + 2;
    while (n > 2 && LinkCount(n) > maxLinks) --n;
    city.side = n;
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> spacing(150.0, 250.0);
    city.xm.resize(n);
    city.ym.resize(n);
    for (int i = 1; i < n; ++i) city.xm[i] = city.xm[i - 1] + spacing(rng);
    for (int i = 1; i < n; ++i) city.ym[i] = city.ym[i - 1] + spacing(rng);
    std::vector<int> expressLines;  // grid lines with an expressway beside them
    for (int k = kExpresswayEvery; k < n - 1; k += kExpresswayEvery) expressLines.push_back(k);
    const int lines = static_cast<int>(expressLines.size());

    // Nodes: the grid, then per expressway row and column one node beside
    // every crossing.
    auto& nodes = city.net.nodes;
    nodes.reserve(static_cast<size_t>(n) * n + 2ull * lines * n);
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c) nodes.push_back(ToMap(city.xm[c], city.ym[r]));
    const uint32_t rowBase = static_cast<uint32_t>(nodes.size());
    for (int k = 0; k < lines; ++k)
        for (int c = 0; c < n; ++c) nodes.push_back(ToMap(city.xm[c], city.ym[expressLines[k]] + kExpresswayOffsetM));
    const uint32_t colBase = static_cast<uint32_t>(nodes.size());
    for (int k = 0; k < lines; ++k)
        for (int r = 0; r < n; ++r) nodes.push_back(ToMap(city.xm[expressLines[k]] + kExpresswayOffsetM, city.ym[r]));

    auto gridNode = [n](int c, int r) { return static_cast<uint32_t>(r * n + c); };
    std::vector<int> lineIndex(n, -1);
    for (int k = 0; k < lines; ++k) lineIndex[expressLines[k]] = k;
    auto kindOfLine = [](int i) { return i % kArterialEvery == 0 ? SyntheticRoad::kArterial : SyntheticRoad::kLocal; };

    auto& links = city.net.links;
    links.reserve(LinkCount(n) + 1);
    city.roads.reserve(LinkCount(n) + 1);
    links.emplace_back();  // the placeholder, index 0
    city.roads.push_back(SyntheticRoad::kLocal);
    auto add = [&](uint32_t a, uint32_t b, double metres, SyntheticRoad road, bool oneWay) {
        RoadNetLink l;
        l.firstNode = a;
        l.secondNode = b;
        l.lengthM = static_cast<uint32_t>(std::lround(metres));
        l.oneWay = oneWay;
        Describe(l, road);
        links.push_back(l);
        city.roads.push_back(road);
    };
    // Local lines 3 and 7 of every ten are one-way: 3 towards east / north,
    // 7 towards west / south (stored in the direction of travel).
    auto street = [&](uint32_t a, uint32_t b, double metres, int line) {
        const SyntheticRoad road = kindOfLine(line);
        const int m = line % kArterialEvery;
        if (road == SyntheticRoad::kLocal && m == 7) return add(b, a, metres, road, true);
        add(a, b, metres, road, road == SyntheticRoad::kLocal && m == 3);
    };

    for (int tr = 0; tr < n; tr += kTile) {
        for (int tc = 0; tc < n; tc += kTile) {
            for (int r = tr; r < std::min(n, tr + kTile); ++r) {
                for (int c = tc; c < std::min(n, tc + kTile); ++c) {
                    if (c + 1 < n) street(gridNode(c, r), gridNode(c + 1, r), city.xm[c + 1] - city.xm[c], r);
                    if (r + 1 < n) street(gridNode(c, r), gridNode(c, r + 1), city.ym[r + 1] - city.ym[r], c);
                    if (lineIndex[r] >= 0) {
                        const uint32_t base = rowBase + static_cast<uint32_t>(lineIndex[r]) * n;
                        if (c + 1 < n)
                            add(base + c, base + c + 1, city.xm[c + 1] - city.xm[c], SyntheticRoad::kExpressway, false);
                        if (c % kRampEvery == 0) add(gridNode(c, r), base + c, kExpresswayOffsetM, SyntheticRoad::kRamp, false);
                    }
                    if (lineIndex[c] >= 0) {
                        const uint32_t base = colBase + static_cast<uint32_t>(lineIndex[c]) * n;
                        if (r + 1 < n)
                            add(base + r, base + r + 1, city.ym[r + 1] - city.ym[r], SyntheticRoad::kExpressway, false);
                        if (r % kRampEvery == 0) add(gridNode(c, r), base + r, kExpresswayOffsetM, SyntheticRoad::kRamp, false);
                    }
                }
            }
        }
        if (tr % (kTile * 20) == 0) tell("network: " + std::to_string(links.size() - 1) + " links");
    }

    // Numbered by network level, the main roads first; within a level along
    // a Hilbert curve through the city (by the middle of each link), so that
    // a block of 53 links covers a compact patch of its level, about square.
    // A search far from both ends of a route enters only the main roads,
    // whose blocks hold nothing else, and reads few blocks of the lesser
    // roads near its ends.
    {
        const MapPoint sw = ToMap(0, 0), ne = ToMap(city.xm.back(), city.ym.back() + kExpresswayOffsetM);
        const double spanX = std::max(1, ne.x - sw.x), spanY = std::max(1, ne.y - sw.y);
        std::vector<uint32_t> curve(links.size(), 0);
        for (size_t i = 1; i < links.size(); ++i) {
            const MapPoint a = nodes[links[i].firstNode], b = nodes[links[i].secondNode];
            const double mx = (a.x + b.x) / 2.0 - sw.x, my = (a.y + b.y) / 2.0 - sw.y;
            curve[i] = HilbertIndex(static_cast<uint32_t>(std::clamp(mx / spanX, 0.0, 1.0) * 65535),
                                    static_cast<uint32_t>(std::clamp(my / spanY, 0.0, 1.0) * 65535));
        }
        std::vector<uint32_t> order(links.size() - 1);
        for (uint32_t i = 0; i < order.size(); ++i) order[i] = i + 1;
        std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
            const int la = links[a].networkLevel, lb = links[b].networkLevel;
            if (la != lb) return la > lb;
            return curve[a] != curve[b] ? curve[a] < curve[b] : a < b;
        });
        std::vector<RoadNetLink> byLevel(1);
        std::vector<SyntheticRoad> roadsByLevel(1, SyntheticRoad::kLocal);
        byLevel.reserve(links.size());
        roadsByLevel.reserve(links.size());
        for (uint32_t i : order) {
            byLevel.push_back(links[i]);
            roadsByLevel.push_back(city.roads[i]);
        }
        links = std::move(byLevel);
        city.roads = std::move(roadsByLevel);
    }

    // Banned left turns at about one crossing in fifty.
    const RoadNetIncidence inc = BuildIncidence(city.net);
    std::uniform_int_distribution<int> pick(0, 49);
    for (int r = 1; r + 1 < n; ++r) {
        for (int c = 1; c + 1 < n; ++c) {
            if (pick(rng) != 0) continue;
            const uint32_t node = gridNode(c, r);
            for (uint32_t k = inc.start[node]; k < inc.start[node + 1]; ++k) {
                const uint32_t arriving = inc.leaving[k] ^ kNcLinkReverseBit;
                const RoadNetLink& in = links[NcLinkIndex(arriving)];
                if (NcLinkDirection(arriving) && in.oneWay) continue;
                const uint32_t from = NcLinkDirection(arriving) ? in.secondNode : in.firstNode;
                bool banned = false;
                for (uint32_t q = inc.start[node]; q < inc.start[node + 1] && !banned; ++q) {
                    const uint32_t out = inc.leaving[q];
                    const RoadNetLink& ol = links[NcLinkIndex(out)];
                    if (NcLinkDirection(out) && ol.oneWay) continue;
                    const uint32_t to = NcLinkDirection(out) ? ol.firstNode : ol.secondNode;
                    if (RoadTurnCode(nodes[from], nodes[node], nodes[to], in.kind, ol.kind) == 19) {
                        city.net.bannedTurns.push_back({arriving, out});
                        banned = true;
                    }
                }
                if (banned) break;
            }
        }
    }
    std::sort(city.net.bannedTurns.begin(), city.net.bannedTurns.end());
    city.southWest = ToMap(0, 0);
    city.northEast = ToMap(city.xm.back(), city.ym.back() + kExpresswayOffsetM);
    tell("network: " + std::to_string(n) + " x " + std::to_string(n) + " nodes, " + std::to_string(links.size() - 1) +
         " links, " + std::to_string(city.net.bannedTurns.size()) + " banned turns");
    return city;
}

namespace {

const char* OsmHighway(SyntheticRoad road) {
    switch (road) {
    case SyntheticRoad::kExpressway: return "motorway";
    case SyntheticRoad::kRamp: return "motorway_link";
    case SyntheticRoad::kArterial: return "primary";
    case SyntheticRoad::kLocal: return "residential";
    }
    return "road";
}

}  // namespace

bool WriteSyntheticCityOsm(const SyntheticCity& city, const std::string& path, const SyntheticProgress& progress) {
    auto tell = [&](const std::string& line) {
        if (progress) progress(line);
    };
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    std::vector<char> buffer(1 << 20);
    std::setvbuf(f, buffer.data(), _IOFBF, buffer.size());
    std::fprintf(f, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<osm version=\"0.6\" generator=\"make_synthetic_city\">\n");
    const auto& nodes = city.net.nodes;
    for (size_t i = 0; i < nodes.size(); ++i)
        std::fprintf(f, " <node id=\"%zu\" version=\"1\" lat=\"%.7f\" lon=\"%.7f\"/>\n", i + 1,
                     nodes[i].y / static_cast<double>(kMapUnitsPerDegree),
                     nodes[i].x / static_cast<double>(kMapUnitsPerDegree));
    tell("osm: " + std::to_string(nodes.size()) + " nodes");
    const auto& links = city.net.links;
    for (size_t i = 1; i < links.size(); ++i) {
        const RoadNetLink& l = links[i];
        std::fprintf(f,
                     " <way id=\"%zu\" version=\"1\"><nd ref=\"%u\"/><nd ref=\"%u\"/>"
                     "<tag k=\"highway\" v=\"%s\"/><tag k=\"oneway\" v=\"%s\"/><tag k=\"maxspeed\" v=\"%d\"/>"
                     "<tag k=\"lanes\" v=\"%d\"/></way>\n",
                     i, l.firstNode + 1, l.secondNode + 1, OsmHighway(city.roads[i]), l.oneWay ? "yes" : "no",
                     l.speedCode * 10, l.oneWay ? l.lanes : 2 * l.lanes);
        if (i % 200000 == 0) tell("osm: " + std::to_string(i) + " ways");
    }
    tell("osm: " + std::to_string(links.size() - 1) + " ways");
    size_t relation = 1;
    for (const auto& [from, to] : city.net.bannedTurns) {
        const RoadNetLink& in = links[NcLinkIndex(from)];
        const uint32_t via = NcLinkDirection(from) ? in.firstNode : in.secondNode;
        std::fprintf(f,
                     " <relation id=\"%zu\" version=\"1\"><member type=\"way\" ref=\"%u\" role=\"from\"/>"
                     "<member type=\"node\" ref=\"%u\" role=\"via\"/><member type=\"way\" ref=\"%u\" role=\"to\"/>"
                     "<tag k=\"type\" v=\"restriction\"/><tag k=\"restriction\" v=\"no_left_turn\"/></relation>\n",
                     relation++, NcLinkIndex(from), via + 1, NcLinkIndex(to));
    }
    std::fprintf(f, "</osm>\n");
    const bool ok = std::ferror(f) == 0;
    return std::fclose(f) == 0 && ok;
}


bool WriteSyntheticCityFiles(const SyntheticCity& city, const std::string& root, std::string* error,
                             const SyntheticProgress& progress) {
    for (const char* folder : {"Map", "Config"}) {
        if (!platform::MakeDirectories(platform::ResolveUnder(root, folder))) {
            if (error) *error = std::string("cannot create ") + folder;
            return false;
        }
    }
    RoadFiles files;
    if (!BuildRoadNetFiles(city.net, &files, error, {}, [&](uint32_t done, uint32_t total) {
            if (progress) progress("road files: " + std::to_string(done) + " / " + std::to_string(total) + " links");
        }))
        return false;
    // The city as one area of kind 3, open country: the road levels apply
    // with the far thresholds, as they do between towns. (Kind 0 would keep
    // every search on level 0.)
    const VtfRecord area = {1, 3, city.southWest.x, city.southWest.y, city.northEast.x, city.northEast.y};
    return platform::AtomicReplaceFile(platform::ResolveUnder(root, "Map\\Road.ndb"), files.road, error) &&
           platform::AtomicReplaceFile(platform::ResolveUnder(root, "Map\\RoadIdx.ndb"), files.index, error) &&
           platform::AtomicReplaceFile(platform::ResolveUnder(root, "Map\\VTF.ndb"), BuildVtf({area}), error) &&
           platform::AtomicReplaceFile(platform::ResolveUnder(root, "Config\\Route.cfg"),
                                       BuildRouteCfg(NcDefaultRouteConfig()), error);
}

}  // namespace writers
