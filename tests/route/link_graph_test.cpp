// The remaining-cost estimate and the traffic speeds, worked by hand.
#include "route/link_graph.h"

#include <gtest/gtest.h>

namespace {

TEST(LinkGraphTest, RemainingEstimateDoublesLateInLongLegs) {
    struct Case {
        int64_t b, d;
        int c, roadClass, option;
        int32_t expect;
    } cases[] = {
        {10000, 0, 0, 3, 0, 65454},            // 10 km at 55 km/h
        {202000, 200000, 30, 3, 0, 2644363},   // b = 1.3 x 0.7 x d + 20000: doubled
        {201999, 200000, 30, 3, 0, 1322175},   // just short of it
        {202000, 200000, 30, 0, 0, 1322181},   // class 0 is never doubled
        {202000, 200000, 29, 3, 0, 1322181},   // progress below 30 %
        {194000, 200000, 20, 3, 4, 3581538},   // option 4: 1.15, 10000, 20 %, 39 km/h
        {69000, 60000, 50, 5, 0, 903272},      // the second rule: 0.5 x 1.8 x d + 15000
        {69000, 60000, 49, 5, 0, 451636},
        {69000, 50000, 50, 5, 0, 451636},      // legs of 50 km and less
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "b " << c.b << " d " << c.d << " c " << c.c);
        EXPECT_EQ(NcRemainingEstimate(c.b, c.d, c.c, c.roadClass, c.option), c.expect);
    }
    // Far past the cost range: held below the unreached mark.
    EXPECT_EQ(NcRemainingEstimate(int64_t{1} << 40, 0, 0, 0, 0), kNcCostMax);
}

TEST(LinkGraphTest, TrafficSpeedsByCongestionState) {
    const int expect[] = {0, 100, 50, 25, 0, 0, 0, 0};
    for (int state = 0; state < 8; ++state) EXPECT_EQ(NcTrafficPercent(state), expect[state]) << state;
    EXPECT_EQ(NcTrafficPercent(255), 0);
}

// The congestion state carried from link to link, by hand from its rules.
TEST(LinkGraphTest, CongestionStateCarriedPastAJam) {
    struct Enter {
        int own, roadClass, kind;
        uint8_t carried, expect;
    } enters[] = {
        {3, 5, 6, 0, 0x2B},      // own state: five carries
        {2, 5, 4, 0, 0x2A},      // a ramp keeps its own state
        {7, 0, 1, 0x2B, 0x2F},   // own state over the carried one
        {0, 5, 6, 0x2B, 0x2B},   // none (0): carried, class below 8
        {255, 9, 6, 0x2B, 0x2B}, // none: class 9, but jammed (3 > 2)
        {255, 9, 6, 0x2A, 0},    // class 9, slow: not carried
        {255, 5, 3, 0x2B, 1},    // a ramp without a state of its own
        {255, 5, 6, 0, 0},
    };
    for (const Enter& e : enters) {
        SCOPED_TRACE(testing::Message() << "own " << e.own << " class " << e.roadClass << " kind " << e.kind);
        EXPECT_EQ(NcEnterState(e.own, e.roadClass, e.kind, e.carried), e.expect);
    }
    EXPECT_EQ(NcLeaveState(0x2B, 100), 0x23);
    EXPECT_EQ(NcLeaveState(0x2B, 99), 0x2B);   // short links use up nothing
    EXPECT_EQ(NcLeaveState(3, 100), 0);
    EXPECT_EQ(NcLeaveState(8, 150), 0);
    const struct {
        int code;
        uint8_t expect;
    } passes[] = {{100, 0}, {10, 0x2B}, {0, 0x2B}, {13, 3}, {16, 3}, {29, 3}};
    for (const auto& p : passes) EXPECT_EQ(NcPassState(0x2B, p.code), p.expect) << p.code;
    // Straight on over long links the jam weighs five more links.
    uint8_t state = NcLeaveState(NcEnterState(3, 5, 6, 0), 200);
    int weighed = 0;
    for (int k = 0; k < 8; ++k) {
        const uint8_t entered = NcEnterState(255, 5, 6, NcPassState(state, 10));
        weighed += (entered & 7) == 3;
        state = NcLeaveState(entered, 200);
    }
    EXPECT_EQ(weighed, 5);
}

}  // namespace

#include <string>
#include <string_view>
#include <vector>

#include "foundation/debug_trace.h"
#include "support/temp_dir.h"
#include "tools/writers/synthetic_city.h"

namespace {

// The link query over a small city: every link in both directions
// against the network the writer built it from (the links and allowed
// turns at each end, swapped for the reversed link, and its points), and
// ids outside the data refused with their trace.
TEST(LinkGraphTest, LinkInfoOfEveryLink) {
    testsupport::TempDir dir;
    const writers::SyntheticCity city = writers::BuildSyntheticCity(300, 2);
    std::string error;
    ASSERT_TRUE(writers::WriteSyntheticCityFiles(city, dir.Path(), &error)) << error;
    std::vector<uint8_t> memory(1 << 20);
    NcDALManager road;
    ASSERT_EQ(road.OpenAt(dir.Path(), memory.data(), memory.size()), 1);
    NcGraph graph(road, NcDefaultRouteConfig(), NcCostRules{});
    const writers::RoadNet& net = city.net;
    const writers::RoadNetIncidence inc = writers::BuildIncidence(net);
    ASSERT_EQ(road.GetLinkCount(), net.links.size());
    const auto allowed = [](const std::vector<writers::RoadConnectionSpec>& run) {
        int n = 0;
        for (const auto& e : run) n += e.allowed;
        return n;
    };
    for (uint32_t i = 1; i < net.links.size(); ++i) {
        const writers::RoadLinkSpec written = writers::RoadNetLinkSpec(net, inc, i);
        const writers::RoadNetLink& l = net.links[i];
        for (const bool reversed : {false, true}) {
            SCOPED_TRACE(testing::Message() << "link " << i << (reversed ? " reversed" : ""));
            const uint32_t id = i | (reversed ? kNcLinkReverseBit : 0);
            NcLinkInfo info;
            ASSERT_EQ(graph.GetLinkInfo(static_cast<int32_t>(id), &info), 1);
            const auto& atEnd = reversed ? written.atFirst : written.atSecond;
            const auto& atStart = reversed ? written.atSecond : written.atFirst;
            EXPECT_EQ(info.linkId, id);
            EXPECT_EQ(info.endLinks, static_cast<int>(atEnd.size()));
            EXPECT_EQ(info.endTurns, allowed(atEnd));
            EXPECT_EQ(info.startLinks, static_cast<int>(atStart.size()));
            EXPECT_EQ(info.startTurns, allowed(atStart));
            EXPECT_EQ(info.lengthM, l.lengthM);
            EXPECT_EQ(info.roadClass, l.roadClass);
            EXPECT_EQ(info.kind, l.kind);
            const MapPoint first = net.nodes[l.firstNode], second = net.nodes[l.secondNode];
            EXPECT_EQ(info.start.x, (reversed ? second : first).x);
            EXPECT_EQ(info.end.y, (reversed ? first : second).y);
        }
    }

    std::vector<std::string> lines;
    SetDebugTraceSink([&](std::string_view line) { lines.emplace_back(line); }, false);
    NcLinkInfo info;
    const int32_t count = static_cast<int32_t>(net.links.size());
    for (const int32_t bad : {-1, count, count | static_cast<int32_t>(kNcLinkReverseBit)})
        EXPECT_EQ(graph.GetLinkInfo(bad, &info), 0) << bad;
    SetDebugTraceSink({});
    EXPECT_EQ(lines, std::vector<std::string>(3, "NcGraph::GetLinkInfo -> LinkID is out of range!!!"));
}

// The expansion list holds each id once, at most 20480 of them, and is
// read in id order whatever the order they came in.
TEST(LinkGraphTest, ExpansionListHoldsEachIdOnceInOrder) {
    NcExpansionList list;
    for (uint32_t id : {7u, 3u, 7u, 0x08000003u, 3u, 1u}) list.Add(id);
    EXPECT_EQ(list.Count(), 4u);
    std::vector<uint32_t> read;
    for (uint32_t id; list.Next(&id);) read.push_back(id);
    EXPECT_EQ(read, (std::vector<uint32_t>{1, 3, 7, 0x08000003u}));

    list.Clear();
    for (uint32_t k = 0; k < NcExpansionList::kCapacity; ++k)
        ASSERT_EQ(list.Add(2 * (NcExpansionList::kCapacity - k)), 1);
    EXPECT_EQ(list.Add(1), 0);   // full
    EXPECT_EQ(list.Count(), NcExpansionList::kCapacity);
    uint32_t first = 0;
    ASSERT_TRUE(list.Next(&first));
    EXPECT_EQ(first, 2u);
}

}  // namespace
