// The demo data root's traffic files load and replay: the district's first
// links are jammed, one incident lies on a district link, the filling
// stations have prices.
#include <gtest/gtest.h>

#include "tools/writers/demo_map.h"
#include "traffic_fixture.h"

namespace traffictest {
namespace {

class DemoTrafficTest : public TrafficFixture {
protected:
    void SetUp() override {
        ASSERT_TRUE(writers::WriteDemoTraffic(m_dir.Path(), static_cast<uint32_t>(FixtureNowSeconds())));
        ASSERT_EQ(Load(), 1341476);
        ASSERT_EQ(m_engine.ReplayTransfers(), 0);
    }
};

TEST_F(DemoTrafficTest, ReplayedTransfersShowOnTheDistrict) {
    const auto& links = writers::DemoLinks();
    ASSERT_EQ(m_store.GetLinkCount(), static_cast<int>(links.size()));
    EXPECT_EQ(m_store.GetCongestionLinkCount(), static_cast<int>(links.size()));
    EXPECT_EQ(m_store.GetLinkCongestion(m_engine.FindLinkIndex(1)), 4);
    EXPECT_EQ(m_store.GetLinkCongestion(m_engine.FindLinkIndex(5)), 3);
    EXPECT_EQ(m_store.GetLinkCongestion(m_engine.FindLinkIndex(links.back().number)), 1);

    const uint32_t incidentLink = links[links.size() / 2].number;
    EXPECT_EQ(m_store.GetLinkEventFlag(m_engine.FindLinkIndex(incidentLink)), 1);
    int count = 0;
    ASSERT_EQ(m_engine.MakeIncidentList(0xFF, 0, 0, 0, 0, &count), 0);
    TPEGIncidentInfo info;
    ASSERT_EQ(m_engine.GetIncidentInfo(0, &info), 0);
    EXPECT_EQ(Text(info.szDetail), u"교차로 부근 추돌사고로 2개 차로 통제 중");
    EXPECT_EQ(info.x, links[links.size() / 2].shape.front().x);

    // News replayed before any channel type carry category 0: stored, but
    // in no category list.
    EXPECT_EQ(m_engine.IsCleared(kTrafficNWS), 0);
    EXPECT_EQ(Status().nOpiStations, 4);
    EXPECT_EQ(Status().nCttSumSlots, 4);

    TPEGOilStationQuery query;
    query.x = kBaseX, query.y = kBaseY;
    query.nSortOrder = 1;
    ASSERT_EQ(m_engine.SearchOilStation(query, &count), 0);
    EXPECT_EQ(count, 3);  // the LPG station has no kind-1 price
}

}  // namespace
}  // namespace traffictest
