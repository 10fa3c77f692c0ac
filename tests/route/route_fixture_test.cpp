// The exact search on small hand-drawn maps, where the right route is known
// by looking: one-way streets, a banned turn, a faster main road, and a jam
// on it. Each case gives the route as the nodes it passes; the route's cost
// is also checked against a plain Dijkstra over the same links.
//
// Map rows alternate: node rows hold letters (nodes, 200 m apart)
// joined by '-' (street both ways), '>' or '<' (one-way east or west) and
// '=' (expressway); link rows hold '|' (street), 'v' or '^' (one-way south
// or north) and 'H' (expressway) under the node they leave.
#include "route/route_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <string>

#include "support/road_net_walk.h"
#include "support/temp_dir.h"
#include "tools/writers/synthetic_city.h"

namespace {

constexpr double kStepM = 200.0;

struct AsciiMap {
    writers::SyntheticCity city;
    std::map<char, uint32_t> nodeOf;
    std::map<uint32_t, char> letterOf;

    // The directed id of the link from the first letter to the second.
    uint32_t Link(const std::string& ab) const {
        const uint32_t a = nodeOf.at(ab[0]), b = nodeOf.at(ab[1]);
        for (uint32_t i = 1; i < city.net.links.size(); ++i) {
            const writers::RoadNetLink& l = city.net.links[i];
            if (l.firstNode == a && l.secondNode == b) return i;
            if (l.firstNode == b && l.secondNode == a) return i | kNcLinkReverseBit;
        }
        ADD_FAILURE() << "no link " << ab[0] << ab[1];
        return 0;
    }
    // The nodes a route passes, as letters.
    std::string Nodes(const std::vector<uint32_t>& route) const {
        std::string s;
        for (uint32_t id : route) {
            const writers::RoadNetLink& l = city.net.links[NcLinkIndex(id)];
            const bool rev = NcLinkDirection(id) != 0;
            if (s.empty()) s += letterOf.at(rev ? l.secondNode : l.firstNode);
            s += letterOf.at(rev ? l.firstNode : l.secondNode);
        }
        return s;
    }
};

MapPoint At(double xm, double ym) {
    const double lat0 = 35.3;
    const double lat = lat0 + ym / 110574.0;
    const double lon = 126.5 + xm / (111320.0 * std::cos(lat0 * M_PI / 180.0));
    return {static_cast<int32_t>(std::lround(lon * kMapUnitsPerDegree)),
            static_cast<int32_t>(std::lround(lat * kMapUnitsPerDegree))};
}

// bans: turns as three letters (from the first node over the second into
// the third).
AsciiMap ParseMap(const std::vector<std::string>& rows, const std::vector<std::string>& bans = {}) {
    AsciiMap m;
    writers::RoadNet& net = m.city.net;
    net.links.emplace_back();
    m.city.roads.push_back(writers::SyntheticRoad::kLocal);
    std::map<std::pair<size_t, size_t>, uint32_t> at;
    for (size_t r = 0; r < rows.size(); r += 2)
        for (size_t c = 0; c < rows[r].size(); c += 2)
            if (std::isalpha(static_cast<unsigned char>(rows[r][c]))) {
                at[{r, c}] = static_cast<uint32_t>(net.nodes.size());
                m.nodeOf[rows[r][c]] = static_cast<uint32_t>(net.nodes.size());
                m.letterOf[static_cast<uint32_t>(net.nodes.size())] = rows[r][c];
                net.nodes.push_back(At(c / 2 * kStepM, -(r / 2 * kStepM)));
            }
    const auto add = [&](uint32_t a, uint32_t b, char mark) {
        writers::RoadNetLink l;
        const bool main = mark == '=' || mark == 'H';
        const bool against = mark == '<' || mark == '^';
        l.firstNode = against ? b : a;
        l.secondNode = against ? a : b;
        l.oneWay = mark == '>' || mark == '<' || mark == 'v' || mark == '^';
        l.lengthM = static_cast<uint32_t>(kStepM);
        if (main) {
            l.roadClass = 0, l.kind = 1, l.networkLevel = 3, l.lanes = 3, l.speedCode = 10;
        } else {
            l.roadClass = 6, l.kind = 6, l.networkLevel = 0, l.lanes = 1, l.speedCode = 5;
        }
        const uint32_t i = static_cast<uint32_t>(net.links.size());
        l.trafficStored = 2 * i;
        l.trafficReversed = 2 * i + 1;
        net.links.push_back(l);
        m.city.roads.push_back(main ? writers::SyntheticRoad::kExpressway : writers::SyntheticRoad::kLocal);
    };
    for (const auto& [pos, node] : at) {
        const auto [r, c] = pos;
        if (c + 2 < rows[r].size() && at.count({r, c + 2}) && rows[r][c + 1] != ' ') add(node, at[{r, c + 2}], rows[r][c + 1]);
        if (r + 2 < rows.size() && c < rows[r + 1].size() && at.count({r + 2, c}) && rows[r + 1][c] != ' ')
            add(node, at[{r + 2, c}], rows[r + 1][c]);
    }
    for (const std::string& b : bans) {
        net.bannedTurns.push_back({m.Link(b.substr(0, 2)), m.Link(b.substr(1, 2))});
    }
    std::sort(net.bannedTurns.begin(), net.bannedTurns.end());
    m.city.southWest = At(-kStepM, -(rows.size() / 2 + 1) * kStepM);
    m.city.northEast = At((rows[0].size() / 2 + 1) * kStepM, kStepM);
    return m;
}

// The cheapest cost over the same links, computed apart from the engine:
// node costs of every link entered, the first included, and the turn cost
// of every step the network allows.
int64_t Dijkstra(const AsciiMap& m, uint32_t from, uint32_t to, const NcRouteConfig& config,
                 const std::map<uint32_t, int>& percentOf) {
    std::map<uint32_t, int32_t> own;
    testsupport::NetTurns next;
    using Turns = std::vector<testsupport::NetTurn>;
    testsupport::ForEachDirectedLink(m.city.net, config, [&](uint32_t id, NcCostLink c, const Turns& turns) {
        const auto p = percentOf.find(id);
        if (p != percentOf.end()) c.trafficPercent = p->second;
        own[id] = NcComputeNodeCost(c, NcCostRules{}, {}).cost;
        next[id] = turns;
    });
    return testsupport::CheapestThroughLegs({{from, {own.at(from), 0}}}, {{to}}, next, testsupport::NodeCostStep(own));
}

const std::vector<std::string> kGrid = {
    "A-B-C",
    "| | |",
    "D-E-F",
    "| | |",
    "G-H-I",
};
const std::vector<std::string> kGridOneWay = {
    "A-B-C",
    "| ^ |",
    "D-E-F",
    "| | |",
    "G-H-I",
};
// Twelve blocks of street above, twelve of expressway below.
const std::vector<std::string> kMainRoad = {
    "X-A-B-C-D-E-F-G-H-J-K-L-M-N-Y",
    "  |                       |",
    "  P=Q=R=S=T=U=V=W=Z=a=b=c=d",
};

TEST(RouteFixtureTest, HandDrawnMaps) {
    struct Case {
        const char* what;
        const std::vector<std::string>* rows;
        std::vector<std::string> bans;
        std::vector<std::string> jammed;  // links in congestion state 3 (a quarter of the speed)
        const char* from;
        const char* to;
        const char* route;
    } cases[] = {
        {"straight down the middle", &kGrid, {}, {}, "AB", "HG", "ABEHG"},
        {"a one-way street sends the route round", &kGridOneWay, {}, {}, "AB", "HG", "ABCFIHG"},
        {"a banned turn sends it round too", &kGrid, {"ABE"}, {}, "AB", "HG", "ABCFIHG"},
        {"the one-way street taken the way it runs", &kGridOneWay, {}, {}, "HE", "BA", "HEBA"},
        {"round the block against the one-way street", &kGridOneWay, {}, {}, "EF", "BA", "EFCBA"},
        {"the expressway beats twelve blocks of street", &kMainRoad, {}, {}, "XA", "NY", "XAPQRSTUVWZabcdNY"},
        {"a jam on it sends the route back to the street", &kMainRoad, {},
         {"PQ", "QR", "RS", "ST", "TU", "UV", "VW", "WZ", "Za", "ab", "bc", "cd"}, "XA", "NY",
         "XABCDEFGHJKLMNY"},
    };
    const NcRouteConfig config = NcDefaultRouteConfig();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const AsciiMap m = ParseMap(*c.rows, c.bans);
        testsupport::TempDir dir;
        std::string error;
        ASSERT_TRUE(writers::WriteSyntheticCityFiles(m.city, dir.Path(), &error)) << error;
        std::vector<uint8_t> roadMemory(1 << 20), nodeMemory(NcLinkMem::kBytes),
            markMemory(kNcLinkIndexBytes + 64 * kNcLinkPageBytes);
        NcDALManager road;
        ASSERT_EQ(road.OpenAt(dir.Path(), roadMemory.data(), roadMemory.size()), 1);
        NcRoute search(road, config, NcCostRules{});
        ASSERT_EQ(search.Init(nodeMemory.data(), markMemory.data(), markMemory.size()), 1);
        std::map<uint32_t, int> state;     // by traffic id
        std::map<uint32_t, int> percent;   // by directed link, for the oracle
        for (const std::string& j : c.jammed) {
            for (const std::string& ab : {j, std::string{j[1], j[0]}}) {
                const uint32_t id = m.Link(ab);
                const writers::RoadNetLink& l = m.city.net.links[NcLinkIndex(id)];
                state[NcLinkDirection(id) ? l.trafficReversed : l.trafficStored] = 3;
                percent[id] = NcTrafficPercent(3);
            }
        }
        if (!state.empty()) {
            search.SetCongestion([&](uint32_t trafficId) {
                const auto it = state.find(trafficId);
                return it == state.end() ? 255 : it->second;
            });
        }
        const uint32_t from = m.Link(c.from), to = m.Link(c.to);
        ASSERT_EQ(search.Search({from}, {to}, 100000), static_cast<int>(to));
        EXPECT_EQ(m.Nodes(search.Route()), c.route);
        EXPECT_EQ(search.Cost(), Dijkstra(m, from, to, config, percent));
    }
}

}  // namespace

namespace {

// A stem into a tree of streets where every crossing has seven branches,
// five deep (19607 links of equal length). Cheapest-first, all the labels of
// one depth are taken before the next; while the 2401 of the fourth are
// taken, each queues seven more, and none of them is ever beaten, so
// nothing can be reclaimed: the 10000 nodes run out and the search ends
// with -627. The search after it in the same memory finds its route.
TEST(RouteFixtureTest, NodePoolUsedUpEndsTheSearch) {
    writers::SyntheticCity city;
    writers::RoadNet& net = city.net;
    net.links.emplace_back();
    city.roads.push_back(writers::SyntheticRoad::kLocal);
    const auto add = [&](uint32_t a, uint32_t b) {
        writers::RoadNetLink l;
        l.firstNode = a;
        l.secondNode = b;
        l.lengthM = 200;
        l.roadClass = 6, l.kind = 6, l.networkLevel = 0, l.lanes = 1, l.speedCode = 5;
        const uint32_t i = static_cast<uint32_t>(net.links.size());
        l.trafficStored = 2 * i;
        l.trafficReversed = 2 * i + 1;
        net.links.push_back(l);
        city.roads.push_back(writers::SyntheticRoad::kLocal);
        return i;
    };
    constexpr int kBranches = 7, kDepth = 5;
    net.nodes.push_back(At(0, -200));  // the stem's start
    net.nodes.push_back(At(0, 0));     // the root
    const uint32_t stem = add(0, 1);
    std::vector<uint32_t> level{1};
    std::vector<uint32_t> firstLinkOfDepth;
    double width = 0;
    for (int d = 1; d <= kDepth; ++d) {
        std::vector<uint32_t> below;
        const size_t count = level.size() * kBranches;
        firstLinkOfDepth.push_back(static_cast<uint32_t>(net.links.size()));
        for (size_t k = 0; k < count; ++k) {
            const double x = (static_cast<double>(k) - static_cast<double>(count - 1) / 2) * 10.0;
            width = std::max(width, std::fabs(x));
            const uint32_t node = static_cast<uint32_t>(net.nodes.size());
            net.nodes.push_back(At(x, d * 200.0));
            add(level[k / kBranches], node);
            below.push_back(node);
        }
        level.swap(below);
    }
    // A street of its own, never reached from the tree.
    net.nodes.push_back(At(width + 500, 0));
    net.nodes.push_back(At(width + 700, 0));
    const uint32_t apart = add(static_cast<uint32_t>(net.nodes.size() - 2), static_cast<uint32_t>(net.nodes.size() - 1));
    city.southWest = At(-width - 1000, -1000);
    city.northEast = At(width + 1000, kDepth * 200.0 + 1000);

    testsupport::TempDir dir;
    std::string error;
    ASSERT_TRUE(writers::WriteSyntheticCityFiles(city, dir.Path(), &error)) << error;
    std::vector<uint8_t> roadMemory(1 << 20), nodeMemory(NcLinkMem::kBytes),
        markMemory(kNcLinkIndexBytes + 2000 * kNcLinkPageBytes);
    NcDALManager road;
    ASSERT_EQ(road.OpenAt(dir.Path(), roadMemory.data(), roadMemory.size()), 1);
    NcRoute search(road, NcDefaultRouteConfig(), NcCostRules{});
    ASSERT_EQ(search.Init(nodeMemory.data(), markMemory.data(), markMemory.size()), 1);

    EXPECT_EQ(search.Search({stem}, {apart}, 1000000), kNcSearchNoMemory);
    EXPECT_TRUE(search.Route().empty());
    // The stem, the first branch of the root and the first branch below it.
    const uint32_t second = firstLinkOfDepth[1];
    ASSERT_EQ(search.Search({stem}, {second}, 1000000), static_cast<int>(second));
    EXPECT_EQ(search.Route(), (std::vector<uint32_t>{stem, firstLinkOfDepth[0], second}));
}

}  // namespace
