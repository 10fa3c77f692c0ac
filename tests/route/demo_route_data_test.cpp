// The demo district's road network as the route planner reads it: the same
// link numbers as the other map files, its one-way street, banned turn,
// expressway ramp and tunnel, and the version stamp still at Road.ndb's end.
#include <gtest/gtest.h>

#include "mapdb/version_check.h"
#include "route/area_grid.h"
#include "route/road_data.h"
#include "route/route_define.h"
#include "support/temp_dir.h"
#include "tools/writers/demo_map.h"
#include "tools/writers/route_data_writer.h"

namespace {

class DemoRouteData : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(writers::WriteDemoMap(dir.Path()));
        ASSERT_TRUE(writers::WriteDemoRouteData(dir.Path()));
        memory.assign(1 << 20, 0);
        ASSERT_EQ(dal.OpenAt(dir.Path(), memory.data(), memory.size()), 1);
    }
    // The successor entry for a link id, or null.
    const NcConnection* Turn(uint32_t from, uint32_t to) {
        const NcConnection* c = nullptr;
        EXPECT_EQ(dal.LoadLink(0, from), 1);
        const int n = dal.GetConnections(0, &c);
        for (int i = 0; i < n; ++i)
            if (static_cast<uint32_t>(c[i].linkId) == to) return &c[i];
        return nullptr;
    }

    testsupport::TempDir dir;
    std::vector<uint8_t> memory;
    NcDALManager dal;
};

TEST_F(DemoRouteData, LinksMatchTheGuidanceRecords) {
    const auto& links = writers::DemoLinks();
    ASSERT_EQ(dal.GetLinkCount(), links.size() + 1);  // index 0 is the placeholder
    for (const writers::DemoLink& l : links) {
        SCOPED_TRACE(l.number);
        ASSERT_EQ(dal.LoadLink(0, l.number), 1);
        EXPECT_EQ(dal.GetClass(0), l.roadClass);
        EXPECT_EQ(dal.GetKind(0), l.linkKind);
        EXPECT_EQ(dal.GetLanes(0), l.laneCount);
        EXPECT_EQ(dal.GetStartPoint(0), l.shape.front());
        EXPECT_EQ(dal.GetEndPoint(0), l.shape.back());
        EXPECT_EQ(dal.View(0).IsClosed(), 0);
        ASSERT_EQ(dal.LoadLink(0, l.number | 0x8000000), 1);
        EXPECT_EQ(dal.View(0).IsClosed(), l.twoWay ? 0 : 1);
        EXPECT_EQ(dal.GetStartPoint(0), l.shape.back());
    }
    ASSERT_EQ(dal.LoadLink(0, writers::kDemoTunnelLink), 1);
    EXPECT_EQ(dal.GetLinkType(0), 3);
    EXPECT_EQ(dal.LoadLink(0, static_cast<uint32_t>(links.size() + 1)), 0);
}

TEST_F(DemoRouteData, TurnsAtTheNodes) {
    // Eastwards on the main street (10) into the third avenue northwards
    // (31): a left turn, banned; straight on (11) and right (30 reversed)
    // are allowed.
    const NcConnection* left = Turn(10, 31);
    ASSERT_NE(left, nullptr);
    EXPECT_EQ(left->code, 19);
    EXPECT_EQ(left->allowed, 0);
    const NcConnection* straight = Turn(10, 11);
    ASSERT_NE(straight, nullptr);
    EXPECT_EQ(straight->code, 10);
    EXPECT_EQ(straight->allowed, 1);
    const NcConnection* right = Turn(10, 30 | 0x8000000);
    ASSERT_NE(right, nullptr);
    EXPECT_EQ(right->code, 13);
    EXPECT_EQ(right->allowed, 1);
    const NcConnection* uTurn = Turn(10, 10 | 0x8000000);
    ASSERT_NE(uTurn, nullptr);
    EXPECT_EQ(uTurn->direction, 2);
    EXPECT_EQ(uTurn->allowed, 0);
    // The one-way northern street (17-20, eastwards): from the second avenue
    // northwards (28) it may be entered eastwards (18) but not westwards
    // (17 against its direction).
    const NcConnection* along = Turn(28, 18);
    ASSERT_NE(along, nullptr);
    EXPECT_EQ(along->allowed, 1);
    const NcConnection* against = Turn(28, 17 | 0x8000000);
    ASSERT_NE(against, nullptr);
    EXPECT_EQ(against->allowed, 0);
    // The expressway's western link (41) ends where the ramp (43) starts.
    const NcConnection* ramp = Turn(41, 43);
    ASSERT_NE(ramp, nullptr);
    EXPECT_TRUE(ramp->code == 100 || ramp->code == 101) << ramp->code;
    EXPECT_EQ(ramp->allowed, 1);
    const NcConnection* exit = Turn(43, 1);
    ASSERT_NE(exit, nullptr);
    EXPECT_TRUE(exit->code == 103 || exit->code == 104) << exit->code;
}

TEST_F(DemoRouteData, StampAreaTableAndConfiguration) {
    MneVersionTrailer trailer;
    EXPECT_EQ(CheckVersion(dir.Path() + "/", kMneVersionRoad, &trailer), kMneVersionValid);
    EXPECT_EQ(trailer.date, "20261210");
    // Written twice, the stamp is kept once.
    ASSERT_TRUE(writers::WriteDemoRouteData(dir.Path()));
    NcDALManager again;
    ASSERT_EQ(again.OpenAt(dir.Path(), memory.data(), memory.size()), 1);
    ASSERT_EQ(again.LoadLink(0, 43), 1);
    EXPECT_EQ(CheckVersion(dir.Path() + "/", kMneVersionRoad, &trailer), kMneVersionValid);

    NcAreaGrid grid;
    ASSERT_EQ(grid.LoadVtf(dir.Path()), kNcVtfLoaded);
    EXPECT_EQ(grid.GetAppliedRecords(), 1);
    EXPECT_EQ(grid.GetAreaKind(writers::DemoLinks()[0].shape.front().x, writers::DemoLinks()[0].shape.front().y), 0);
    NcRouteDefine define;
    EXPECT_EQ(define.Load(dir.File("Config/Route.cfg")), 1);
}

}  // namespace
