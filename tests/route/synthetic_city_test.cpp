// The synthetic city: its size, hierarchy, one-ways and banned turns as the
// route planner reads them from the written files, the numbering that keeps
// the main roads together and neighbours in one block, and the OSM export (loaded by Routino's importer
// when it is installed).
#include "tools/writers/synthetic_city.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/paths.h"
#include "route/road_data.h"
#include "support/temp_dir.h"

namespace {

class SyntheticCityTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { city = new writers::SyntheticCity(writers::BuildSyntheticCity(6000, 3)); }
    static void TearDownTestSuite() {
        delete city;
        city = nullptr;
    }
    static inline writers::SyntheticCity* city = nullptr;
    testsupport::TempDir dir;
};

TEST_F(SyntheticCityTest, SizeAndHierarchy) {
    const auto& links = city->net.links;
    ASSERT_LE(links.size() - 1, 6000u);
    EXPECT_GT(links.size() - 1, 5000u);
    int expressway = 0, ramps = 0, arterials = 0, oneWays = 0;
    for (size_t i = 1; i < links.size(); ++i) {
        expressway += city->roads[i] == writers::SyntheticRoad::kExpressway;
        ramps += city->roads[i] == writers::SyntheticRoad::kRamp;
        arterials += city->roads[i] == writers::SyntheticRoad::kArterial;
        oneWays += links[i].oneWay;
    }
    EXPECT_GT(expressway, 0);
    EXPECT_GT(ramps, 0);
    EXPECT_GT(arterials, expressway);
    EXPECT_GT(oneWays, 0);
    EXPECT_GT(city->net.bannedTurns.size(), 0u);
    for (size_t i = 1; i < city->xm.size(); ++i) {
        EXPECT_GE(city->xm[i] - city->xm[i - 1], 150.0);
        EXPECT_LE(city->xm[i] - city->xm[i - 1], 250.0);
    }

    // The main roads are numbered first: the level never rises along the
    // numbering, so a search on the main roads reads only their blocks.
    size_t rises = 0;
    for (size_t i = 2; i < links.size(); ++i) rises += links[i].networkLevel > links[i - 1].networkLevel;
    EXPECT_EQ(rises, 0u);
    EXPECT_EQ(links[1].networkLevel, 3);

    // Neighbours share blocks: most links a link leads to lie in its block.
    const writers::RoadNetIncidence inc = writers::BuildIncidence(city->net);
    size_t same = 0, all = 0;
    for (uint32_t i = 1; i < links.size(); ++i) {
        const uint32_t node = links[i].secondNode;
        for (uint32_t k = inc.start[node]; k < inc.start[node + 1]; ++k, ++all)
            same += NcLinkIndex(inc.leaving[k]) / kNcLinksPerBlock == i / kNcLinksPerBlock;
    }
    EXPECT_GT(same * 10, all * 6) << same << " of " << all;

    // The same seed gives the same city.
    const writers::SyntheticCity again = writers::BuildSyntheticCity(6000, 3);
    EXPECT_EQ(again.net.nodes, city->net.nodes);
    EXPECT_EQ(again.net.bannedTurns, city->net.bannedTurns);
}

TEST_F(SyntheticCityTest, FilesReadBackWithTheirRules) {
    std::string error;
    ASSERT_TRUE(writers::WriteSyntheticCityFiles(*city, dir.Path(), &error)) << error;
    std::vector<uint8_t> memory(1 << 20);
    NcDALManager dal;
    ASSERT_EQ(dal.OpenAt(dir.Path(), memory.data(), memory.size()), 1);
    ASSERT_EQ(dal.GetLinkCount(), city->net.links.size());
    const NcConnection* c = nullptr;
    // Banned turns are listed and not allowed.
    for (const auto& [from, to] : city->net.bannedTurns) {
        ASSERT_EQ(dal.LoadLink(0, from), 1);
        const int n = dal.GetConnections(0, &c);
        bool found = false;
        for (int i = 0; i < n; ++i) {
            if (static_cast<uint32_t>(c[i].linkId) != to) continue;
            found = true;
            EXPECT_EQ(c[i].code, 19);
            EXPECT_EQ(c[i].allowed, 0);
        }
        EXPECT_TRUE(found) << from << " -> " << to;
    }
    // Every link: closed against its direction exactly when one-way; an
    // expressway leads only to expressway links and ramps.
    for (uint32_t i = 1; i < city->net.links.size(); ++i) {
        ASSERT_EQ(dal.LoadLink(0, i | kNcLinkReverseBit), 1);
        EXPECT_EQ(dal.View(0).IsClosed(), city->net.links[i].oneWay ? 1 : 0);
        if (city->roads[i] != writers::SyntheticRoad::kExpressway) continue;
        const int n = dal.GetConnections(0, &c);
        for (int k = 0; k < n; ++k) {
            const auto road = city->roads[NcLinkIndex(c[k].linkId)];
            EXPECT_TRUE(road == writers::SyntheticRoad::kExpressway || road == writers::SyntheticRoad::kRamp) << i;
        }
    }
}

TEST_F(SyntheticCityTest, OsmExport) {
    const std::string osm = dir.File("city.osm");
    ASSERT_TRUE(writers::WriteSyntheticCityOsm(*city, osm));
    std::ifstream in(osm);
    std::string line;
    size_t nodes = 0, ways = 0, relations = 0, oneWays = 0;
    while (std::getline(in, line)) {
        nodes += line.rfind(" <node ", 0) == 0;
        ways += line.rfind(" <way ", 0) == 0;
        relations += line.rfind(" <relation ", 0) == 0;
        oneWays += line.find("k=\"oneway\" v=\"yes\"") != std::string::npos;
    }
    EXPECT_EQ(nodes, city->net.nodes.size());
    EXPECT_EQ(ways, city->net.links.size() - 1);
    EXPECT_EQ(relations, city->net.bannedTurns.size());
    EXPECT_GT(oneWays, 0u);
    if (!platform::FileExists("/usr/bin/planetsplitter")) GTEST_SKIP() << "Routino is not installed";
    const std::string command = "/usr/bin/planetsplitter --dir=" + dir.Path() + " --prefix=city " + osm +
                                " > " + dir.File("import.log") + " 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0);
    EXPECT_TRUE(platform::FileExists(dir.File("city-segments.mem")));
}

}  // namespace
