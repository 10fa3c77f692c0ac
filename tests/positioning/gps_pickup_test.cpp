// The pick-up of fixes on the demo district: matching, the tunnel crossed by
// prediction at the last speed and held after it, positions outside the
// service area, the trails, and the upcoming route links from the match.
#include "positioning/gps_pickup.h"

#include <gtest/gtest.h>

#include <cmath>

#include "mapdb/link_id.h"
#include "mapdb/mgr_map.h"
#include "support/demo_map_fixture.h"
#include "positioning/gps_fix.h"
#include "settings/module_rp.h"
#include "settings/module_svc.h"
#include "tools/writers/demo_map.h"
#include "tools/writers/nmea_drive_writer.h"
#include "tools/writers/route_data_writer.h"

namespace {

using writers::DriveFix;

double ToNmea(int32_t units) {
    const double deg = static_cast<double>(units) / kMapUnitsPerDegree;
    const double whole = std::floor(deg);
    return whole * 100.0 + (deg - whole) * 60.0;
}

GpsFixRecord Fix(const DriveFix& f) {
    GpsFixRecord fix = MakeResetGpsFix();
    SetFixPositionNmea(fix, ToNmea(f.reported.x), ToNmea(f.reported.y));
    fix.year = 2026;
    fix.month = 12;
    fix.day = 10;
    fix.hour = static_cast<uint8_t>(f.secondsOfDay / 3600);
    fix.minute = static_cast<uint8_t>(f.secondsOfDay / 60 % 60);
    fix.second = static_cast<uint8_t>(f.secondsOfDay % 60);
    fix.speedKmh = static_cast<uint8_t>(f.speedKmh);
    fix.headingDeg = static_cast<uint16_t>(f.headingDeg);
    fix.satellitesInView = 8;
    // A receiver that holds its position in a tunnel reports a poor HDOP.
    fix.hdopX10 = f.noFix ? 200 : 10;
    fix.settled = 1;
    fix.status = 'A';
    return fix;
}

class GpsPickupTest : public testsupport::DemoMapTest {
protected:
    void SetUp() override { ASSERT_EQ(pickup.Init(&svc, &block, map), 1); }

    // Guides along the links, the current link the first.
    void Guide(const std::vector<uint32_t>& links, const std::vector<int32_t>& cumulative = {}) {
        testsupport::GuideAlong(svc, links, cumulative);
    }

    CMgrConfigModuleSVC svc;
    CMgrConfigModuleGPS block;
    CGpsPickup pickup;
};

TEST_F(GpsPickupTest, TunnelCrossedByPredictionAtTheLastSpeedAndHeldAfterIt) {
    // North up the westmost avenue: its third block is the tunnel.
    const std::vector<uint32_t> links = {21, 22, writers::kDemoTunnelLink, 24};
    Guide(links);
    writers::DriveOptions o;
    o.speedKmh = 60;
    o.seed = 4;
    auto drive = writers::PlanDrive(*map, links, o);
    ASSERT_FALSE(drive.empty());
    // The receiver takes five more seconds after the tunnel to find itself.
    for (size_t k = 1; k < drive.size(); ++k) {
        if (!drive[k - 1].noFix || drive[k].noFix) continue;
        for (size_t j = k; j < std::min(drive.size(), k + 5); ++j) {
            drive[j].noFix = true;
            drive[j].reported = drive[k - 1].reported;
        }
        break;
    }

    std::vector<tagMAPMATCHINFO> seen;
    std::vector<size_t> tunnelFixes;
    for (size_t k = 0; k < drive.size(); ++k) {
        pickup.Process(Fix(drive[k]), static_cast<uint32_t>(1000 * (k + 1)), &block);
        tagMAPMATCHINFO r;
        block.GetMatchInfo(&r);
        seen.push_back(r);
        if (drive[k].noFix) tunnelFixes.push_back(k);
    }
    ASSERT_GT(tunnelFixes.size(), 40u);  // about 880 m at 16.7 m/s
    int predictedInTunnel = 0;
    size_t heldFrom = 0;
    for (size_t k : tunnelFixes) {
        const tagMAPMATCHINFO& r = seen[k];
        ASSERT_EQ(r.status, 3) << "fix " << k;
        if (r.linkId == static_cast<int32_t>(writers::kDemoTunnelLink)) {
            ++predictedInTunnel;
            EXPECT_EQ(r.structureKind, kMneStructureTunnel);
            const tagMAPMATCHINFO& p = seen[k - 1];
            if (p.status == 3 && p.linkId == r.linkId) {
                // 60 km/h: 16.7 m a second along the tunnel.
                EXPECT_NEAR(GetApproxDistance({p.x, p.y}, {r.x, r.y}), 16.7, 1.5) << "fix " << k;
                EXPECT_LT(r.distanceToEndM, p.distanceToEndM);
            }
            // The prediction follows the true car within a few metres.
            EXPECT_LT(GetApproxDistance({r.x, r.y}, drive[k].truth), 25u) << "fix " << k;
        } else if (r.linkId == 24) {
            if (!heldFrom) heldFrom = k;
            // Held at the start of the first link after the tunnel.
            const auto& shape = writers::DemoLinks()[23].shape;
            EXPECT_EQ(r.x, shape.front().x);
            EXPECT_EQ(r.y, shape.front().y);
        }
    }
    EXPECT_GT(predictedInTunnel, 40);
    EXPECT_GT(heldFrom, 0u) << "the prediction stops at the link after the tunnel";
    EXPECT_GT(pickup.LastTunnelTick(), 0u);
    // After the tunnel the fixes move again and the match returns to link 24.
    const size_t after = tunnelFixes.back() + 5;
    ASSERT_LT(after, seen.size());
    EXPECT_EQ(seen[after].linkId, 24);
    EXPECT_EQ(seen[after].status, 1);
}

TEST_F(GpsPickupTest, OutsideTheServiceAreaKeepsTheRecordAndTrailsEveryFourthSecond) {
    const auto drive = writers::PlanDrive(*map, {5, 6}, writers::DriveOptions{});
    for (size_t k = 0; k < 8; ++k) EXPECT_EQ(pickup.Process(Fix(drive[k]), static_cast<uint32_t>(1000 * k), &block), 1);
    tagMAPMATCHINFO kept;
    block.GetMatchInfo(&kept);
    EXPECT_EQ(kept.status, 1);
    EXPECT_EQ(kept.linkId, 5);
    GpsFixRecord far = Fix(drive[8]);
    SetFixPositionNmea(far, 12300.0, 3400.0);
    EXPECT_EQ(pickup.Process(far, 9000, &block), 0);
    tagMAPMATCHINFO after;
    block.GetMatchInfo(&after);
    EXPECT_EQ(after.x, kept.x);
    // Ticks 0 and 4000 of the eight: two raw and two matched points.
    GpsHistoryRing raw, matched;
    block.GetHistoryRing(CMgrConfigModuleGPS::kRawRing, &raw);
    block.GetHistoryRing(CMgrConfigModuleGPS::kMatchedRing, &matched);
    EXPECT_EQ(raw.count, 2);
    EXPECT_EQ(matched.count, 1);  // the first fix is the search step's raw record
}

TEST(UpcomingLinksTest, LinksUntilTheDistanceIsCovered) {
    CMgrConfigModuleGPS* gps = CMgrConfigModuleGPS::Instance();
    ASSERT_NE(gps, nullptr);
    CMgrConfigModuleSVC svc;
    int32_t count = 0, first = 0;
    EXPECT_EQ(svc.GetUpcomingLinks(100, &count, &first), 0) << "not guiding";
    // Links of 300, 200, 500 and 100 m: cumulative ends 300, 500, 1000, 1100.
    testsupport::GuideAlong(svc, {10, 11, 12, 13}, {300, 500, 1000, 1100}, 1);
    tagMAPMATCHINFO match;
    match.status = 1;
    match.linkId = 11;
    match.distanceToEndM = 50;  // 150 m run on the 200 m link
    gps->SetMatchInfo(match);
    struct Case {
        int32_t distance, count;
    } cases[] = {{40, 1}, {50, 1}, {51, 2}, {550, 2}, {551, 3}, {5000, 3}};
    for (const Case& c : cases) {
        ASSERT_EQ(svc.GetUpcomingLinks(c.distance, &count, &first), 1);
        EXPECT_EQ(first, 1);
        EXPECT_EQ(count, c.count) << c.distance;
    }
}

}  // namespace
