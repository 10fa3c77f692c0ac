// The map matcher: the scoring table and bearings by hand, and drives on the
// demo district from the drive generator checked against a brute-force
// nearest-link-with-heading scan of every link.
#include "positioning/map_match.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "foundation/memory_heap.h"
#include "mapdb/link_id.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "mapdb/mgr_map.h"
#include "positioning/gps_module.h"
#include "positioning/nmea_log_decode.h"
#include "settings/module_rp.h"
#include "settings/module_svc.h"
#include "support/demo_map_fixture.h"
#include "tools/writers/demo_map.h"
#include "tools/writers/nmea_drive_writer.h"
#include "tools/writers/road_network_writer.h"
#include "tools/writers/route_data_writer.h"

namespace {

using writers::DemoLinks;
using writers::DriveFix;
using writers::DriveOptions;

MapPoint Deg(double lon, double lat) {
    return {static_cast<int32_t>(lon * kMapUnitsPerDegree), static_cast<int32_t>(lat * kMapUnitsPerDegree)};
}

// ------------------------------------------------------------ hand tables

TEST(MneAngleTest, BearingsClockwiseFromNorth) {
    const MapPoint o = Deg(127.0, 37.5);
    struct Case {
        int dx, dy, bearing;
    } cases[] = {{0, 1000, 0}, {1000, 0, 90}, {0, -1000, 180}, {-1000, 0, 270}, {0, 0, 0}};
    for (const Case& c : cases) EXPECT_EQ(CMneAngle::Bearing(o, {o.x + c.dx, o.y + c.dy}), c.bearing) << c.dx << "," << c.dy;
    // 45 degrees in metres: a longitude unit is shorter than a latitude unit
    // at 37.5N by the factor cos(37.5) (about 0.7934), so equal metres need
    // 1000 latitude units against 1000 / 0.7934 = 1260 longitude units.
    EXPECT_EQ(CMneAngle::Bearing(o, {o.x + 1260, o.y + 1000}), 45);
    EXPECT_EQ(CMneAngle::Bearing(o, {o.x - 1260, o.y - 1000}), 225);
    EXPECT_EQ(CMneAngle::Difference(350, 10), 20);
    EXPECT_EQ(CMneAngle::Difference(0, 180), 180);
}

CMatchRelation Rel(double distanceM, int32_t bearing, uint8_t roadClass = 5, uint8_t cls = CMatchRelation::kOnLink) {
    CMatchRelation r;
    r.distanceM = distanceM;
    r.bearingDeg = bearing;
    r.roadClass = roadClass;
    r.positionClass = cls;
    return r;
}

TEST(MatchScoreTest, ScoringTable) {
    _tagGpsParsedData in;
    in.headingDeg = 90;
    in.hdopX10 = 80;
    struct Case {
        const char* what;
        CMatchRelation rel;
        bool route;
        int32_t nrmm;
        int32_t hdopX10;
        int32_t score;
    } cases[] = {
        // During a route: parallel at 8 m is 4 + 5 + 1, crossing at 60 degrees 0 + 5 + 1.
        {"route parallel 8 m", Rel(8, 92), true, 50, 80, 10},
        {"route crossing 8 m", Rel(8, 150), true, 50, 80, 6},
        // Without a route NRMM 50 doubles the distance: 16 m gives 4.
        {"free parallel 8 m", Rel(8, 92), false, 50, 80, 9},
        {"free crossing 8 m", Rel(8, 30), false, 50, 80, 5},
        // Class 7 or more with HDOP x 10 below 50: 20 m counts as 30 m.
        {"class 7 low hdop", Rel(20, 90, 7), true, 50, 40, 4 + 1 + 1},
        {"class 7 high hdop", Rel(20, 90, 7), true, 50, 50, 4 + 3 + 1},
        {"class 6 low hdop", Rel(20, 90, 6), true, 50, 40, 4 + 3 + 1},
        // NRMM 100: distances as they are; 0 or less counts as 50.
        {"nrmm 100", Rel(8, 90), false, 100, 80, 10},
        {"nrmm 0", Rel(8, 90), false, 0, 80, 9},
        {"nrmm -5", Rel(8, 90), false, -5, 80, 9},
        // Angle bands and the position classes.
        {"angle 19", Rel(5, 109), true, 50, 80, 3 + 5 + 1},
        {"angle 49", Rel(5, 139), true, 50, 80, 1 + 5 + 1},
        {"opposite", Rel(5, 270), true, 50, 80, -5 + 5 + 1},
        {"before start", Rel(5, 90, 5, CMatchRelation::kBeforeStart), true, 50, 80, 4 + 5 - 1},
        {"past end", Rel(5, 90, 5, CMatchRelation::kPastEnd), true, 50, 80, 4 + 5 - 1},
        {"far", Rel(60, 90), true, 50, 80, 4 - 5 + 1},
        {"44 m", Rel(44, 90), true, 50, 80, 4 + 1 + 1},
    };
    for (const Case& c : cases) {
        in.hdopX10 = c.hdopX10;
        EXPECT_EQ(MneMatchScore(c.rel, in, c.route, c.nrmm), c.score) << c.what;
    }
}

TEST(MatchRankTableTest, OrderAndBound) {
    CMatchRankTable t;
    t.Clear();
    for (int i = 0; i < 12; ++i) t.Insert(static_cast<uint32_t>(i + 1), i % 4, Rel(20 - i, 0));
    EXPECT_EQ(t.Count(), CMatchRankTable::kSize);
    // Scores 3, 3, 3 (links 12, 8, 4: equal scores nearer first), then 2 ...
    EXPECT_EQ(t.At(0).linkId, 12u);
    EXPECT_EQ(t.At(1).linkId, 8u);
    EXPECT_EQ(t.At(2).linkId, 4u);
    for (int i = 1; i < t.Count(); ++i) EXPECT_GE(t.Score(i - 1), t.Score(i));
    // The lowest scores fell out.
    EXPECT_EQ(t.Find(1), -1);
    EXPECT_EQ(t.Find(5), -1);
}

// ------------------------------------------------------------ demo drives

class MapMatchDrive : public testsupport::DemoMapTest {
protected:
    void SetUp() override {
        ASSERT_EQ(matcher.Init(&svc, &gps, map), 1);
        matcher.SetNrmm(50);
    }

    std::vector<tagMAPMATCHINFO> Run(const std::vector<DriveFix>& drive) {
        std::vector<tagMAPMATCHINFO> out;
        for (const DriveFix& f : drive) {
            tagMAPMATCHINFO r{};
            if (f.noFix || !matcher.Match(writers::DriveMatchInput(f), &r)) r = tagMAPMATCHINFO{};
            out.push_back(r);
        }
        return out;
    }

    // The nearest link, either direction, whose segment runs within 45
    // degrees of the heading; 0 when a second one lies within 12 m of it
    // (the road is ambiguous there).
    uint32_t BruteForce(const MapPoint& p, int32_t heading) {
        uint32_t best = 0;
        double bestD = 1e9, secondD = 1e9;
        for (const auto& l : DemoLinks()) {
            for (uint32_t id : {l.number, l.number | kMneLinkReverseBit}) {
                if ((id & kMneLinkReverseBit) && !l.twoWay) continue;
                CMatchRelation r;
                if (!matcher.Relate(p, id, &r) || CMneAngle::Difference(r.bearingDeg, heading) > 45) continue;
                if (r.distanceM < bestD) {
                    secondD = bestD;
                    bestD = r.distanceM;
                    best = id;
                } else if (r.distanceM < secondD) {
                    secondD = r.distanceM;
                }
            }
        }
        return bestD <= 30 && secondD - bestD > 12 ? best : 0;
    }

    static uint32_t Rev(uint32_t n) { return n | kMneLinkReverseBit; }

    CMgrConfigModuleSVC svc;
    CMgrConfigModuleGPS gps;
    CMneMapMatch matcher;
};

// Street j (0..4), block i (0..3) is link j * 4 + i + 1; avenue i, block j
// is link 21 + i * 4 + j.
uint32_t Street(int j, int i) { return static_cast<uint32_t>(j * 4 + i + 1); }
uint32_t Avenue(int i, int j) { return static_cast<uint32_t>(21 + i * 4 + j); }

TEST_F(MapMatchDrive, DrivenLinksAgreeWithBruteForceBothWays) {
    struct DriveCase {
        const char* what;
        std::vector<uint32_t> links;
        uint32_t seed;
    } cases[] = {
        {"east along the second street, north up the third avenue", {Street(1, 0), Street(1, 1), Avenue(2, 1), Avenue(2, 2)}, 3},
        {"west against the stored direction", {Rev(Street(3, 3)), Rev(Street(3, 2)), Rev(Street(3, 1))}, 7},
        {"south down the fourth avenue", {Rev(Avenue(3, 3)), Rev(Avenue(3, 2)), Rev(Avenue(3, 1))}, 11},
    };
    for (const DriveCase& c : cases) {
        SCOPED_TRACE(c.what);
        CMneMapMatch fresh;
        ASSERT_EQ(fresh.Init(&svc, &gps, map), 1);
        matcher = std::move(fresh);
        DriveOptions o;
        o.speedKmh = 50;
        o.seed = c.seed;
        const auto drive = writers::PlanDrive(*map, c.links, o);
        ASSERT_GT(drive.size(), 100u);
        const auto matched = Run(drive);
        int compared = 0, onLink = 0;
        size_t lastSwitch = 0;
        for (size_t k = 2; k < drive.size(); ++k) {
            const tagMAPMATCHINFO& r = matched[k];
            if (r.status == 1) ++onLink;
            if (k > 0 && drive[k].linkId != drive[k - 1].linkId) lastSwitch = k;
            // Right after a junction the matcher may stay a few fixes on the
            // link it left.
            if (k - lastSwitch < 4 && lastSwitch) continue;
            const uint32_t truth = BruteForce(drive[k].truth, drive[k].headingDeg);
            if (!truth || truth != drive[k].linkId) continue;
            const uint32_t seen = BruteForce(drive[k].reported, drive[k].headingDeg);
            if (seen != truth) continue;
            ++compared;
            EXPECT_EQ(static_cast<uint32_t>(r.linkId), truth) << "fix " << k << " status " << r.status;
            EXPECT_GE(r.status, 1);
            EXPECT_LE(CMneAngle::Difference(r.headingDeg, drive[k].headingDeg), 10) << "fix " << k;
        }
        EXPECT_GT(compared, static_cast<int>(drive.size()) / 2);
        EXPECT_GT(onLink, static_cast<int>(drive.size()) * 8 / 10);
    }
}

TEST_F(MapMatchDrive, LinkSwitchesWithinAFewFixesAfterAJunction) {
    DriveOptions o;
    o.seed = 5;
    o.noiseMinM = 0;
    o.noiseMaxM = 3;
    const std::vector<uint32_t> links = {Street(1, 1), Street(1, 2), Avenue(3, 1)};
    const auto drive = writers::PlanDrive(*map, links, o);
    const auto matched = Run(drive);
    for (size_t k = 1; k < drive.size(); ++k) {
        if (drive[k].linkId == drive[k - 1].linkId) continue;
        // Within three fixes of entering a link, the match is on it.
        bool switched = false;
        for (size_t j = k; j < std::min(drive.size(), k + 4); ++j)
            switched |= static_cast<uint32_t>(matched[j].linkId) == drive[k].linkId;
        EXPECT_TRUE(switched) << "entering link " << drive[k].linkId << " at fix " << k;
    }
}

TEST_F(MapMatchDrive, NoBackwardMovementAtAStop) {
    DriveOptions o;
    o.seed = 9;
    o.stopLink = Street(1, 1);
    o.stopSeconds = 40;
    const auto drive = writers::PlanDrive(*map, {Street(1, 0), Street(1, 1), Street(1, 2)}, o);
    const auto matched = Run(drive);
    int stopped = 0;
    for (size_t k = 1; k < drive.size(); ++k) {
        if (drive[k].speedKmh != 0 || drive[k - 1].speedKmh != 0) continue;
        ++stopped;
        const tagMAPMATCHINFO &a = matched[k - 1], &b = matched[k];
        if (a.linkId != b.linkId || a.linkId == 0) continue;
        EXPECT_LE(b.distanceToEndM, a.distanceToEndM) << "fix " << k;
    }
    EXPECT_GE(stopped, 30);
}

TEST_F(MapMatchDrive, RouteLinkPreferredOverACloserParallelRoad) {
    // The side road runs 15 m north of the main street's first block; a fix
    // 4 m south of the side road is nearer to it than to the street.
    const uint32_t street = Street(2, 0);
    const uint32_t side = static_cast<uint32_t>(DemoLinks().size());
    const double lat = 37.5 + 2 * 0.008 + writers::kDemoSideRoadOffsetDeg - 4.0 / 111000.0;
    auto drive = [&]() {
        CMneMapMatch m;
        EXPECT_EQ(m.Init(&svc, &gps, map), 1);
        m.SetNrmm(50);
        tagMAPMATCHINFO r{};
        for (int s = 0; s < 12; ++s) {
            _tagGpsParsedData in;
            const MapPoint p = Deg(127.004 + s * 0.00012, lat);
            in.x = p.x;
            in.y = p.y;
            in.secondsOfDay = 36000 + s;
            in.speedKmh = 40;
            in.headingDeg = 90;
            in.satellitesInView = 8;
            in.settled = 1;
            in.hdopX10 = 10;
            EXPECT_EQ(m.Match(in, &r), 1);
        }
        return r;
    };
    const tagMAPMATCHINFO free = drive();
    EXPECT_EQ(static_cast<uint32_t>(free.linkId), side);

    testsupport::GuideAlong(svc, {street, Street(2, 1), Street(2, 2)});
    const tagMAPMATCHINFO onRoute = drive();
    EXPECT_EQ(static_cast<uint32_t>(onRoute.linkId), street);
    EXPECT_GE(onRoute.status, 1);
}

TEST_F(MapMatchDrive, SearchModeQualityAndClockJump) {
    _tagGpsParsedData in;
    const MapPoint p = Deg(127.005, 37.508);  // on the second street
    in.x = p.x;
    in.y = p.y;
    in.secondsOfDay = 36000;
    in.speedKmh = 30;
    in.headingDeg = 90;
    in.satellitesInView = 8;
    in.settled = 1;
    in.hdopX10 = 10;
    tagMAPMATCHINFO r{};
    // The quality test: unsettled, too few satellites, HDOP out of range.
    for (auto bad : {std::make_pair(0, 0), std::make_pair(1, 0), std::make_pair(2, 0), std::make_pair(3, 0)}) {
        _tagGpsParsedData b = in;
        if (bad.first == 0) b.settled = 0;
        if (bad.first == 1) b.satellitesInView = 2;
        if (bad.first == 2) b.hdopX10 = 0;
        if (bad.first == 3) b.hdopX10 = 251;
        EXPECT_EQ(matcher.Match(b, &r), 0) << bad.first;
    }
    ASSERT_EQ(matcher.Match(in, &r), 1);
    EXPECT_EQ(r.status, 0);  // search mode gives the raw position first
    EXPECT_EQ(r.x, p.x);
    EXPECT_EQ(r.linkId, 0);
    EXPECT_EQ(r.roadClass, -1);
    EXPECT_EQ(matcher.GetMode(), CMneMapMatch::kModeTracking);
    in.secondsOfDay += 1;
    ASSERT_EQ(matcher.Match(in, &r), 1);
    EXPECT_EQ(static_cast<uint32_t>(r.linkId), Street(1, 0));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.roadClass, 5);
    // The clock jumps by more than an hour: back to search mode.
    in.secondsOfDay += 3601;
    ASSERT_EQ(matcher.Match(in, &r), 1);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(matcher.GetMode(), CMneMapMatch::kModeTracking);  // found candidates again
}

TEST_F(MapMatchDrive, GeneratedLogThroughTheParserMatchesAndOutsideAreaIsNot) {
    DriveOptions o;
    o.seed = 2;
    const auto drive = writers::PlanDrive(*map, {Street(1, 0), Street(1, 1)}, o);
    NmeaLogDecoder decoder(false);
    const auto fixes = decoder.FeedText(writers::FormatNmeaDrive(drive, o));
    ASSERT_GT(fixes.size(), drive.size() / 2);
    int onLink = 0;
    for (const GpsFixRecord& f : fixes) {
        _tagGpsParsedData in;
        ASSERT_TRUE(GpsBuildMatchInput(f, &in));
        tagMAPMATCHINFO r{};
        if (matcher.Match(in, &r) && r.status == 1) ++onLink;
    }
    EXPECT_GT(onLink, static_cast<int>(fixes.size()) / 2);

    // 123 degrees east lies outside the service area.
    GpsFixRecord far = fixes.back();
    far.longitudeNmea = 12300.0;
    _tagGpsParsedData in;
    EXPECT_FALSE(GpsBuildMatchInput(far, &in));
}

// ------------------------------------------------------- parallel roads
//
//   W ================================ M ================ E    main road (links 1, 2)
//     \______________________________/                   |     side road (link 3), 15 m north, one-way east
//                                                        |     link 4, far north of E
//
// The main road is of a higher link level than the side road and is
// elevated (a structure the route rules never trust at once). The main
// road's follow-on list announces an expected link: link 4, whose own list
// ends on the main road.
class ParallelRoads : public ::testing::Test {
protected:
    static constexpr double kLon0 = 127.1, kLat0 = 37.6;
    static MapPoint AtM(double eastM, double northM) {
        const double lon = kLon0 + eastM / (111320.0 * std::cos(kLat0 * 3.14159265358979 / 180.0));
        const double lat = kLat0 + northM / 111000.0;
        return Deg(lon, lat);
    }

    static void SetUpTestSuite() {
        dir = new testsupport::TempDir();
        std::vector<writers::DemoLink> links(4);
        links[0].shape = {AtM(0, 0), AtM(1000, 0)};
        links[1].shape = {AtM(1000, 0), AtM(2000, 0)};
        for (int i = 0; i < 2; ++i) {
            links[static_cast<size_t>(i)].roadClass = 3;
            links[static_cast<size_t>(i)].structureKind = 3;  // elevated
        }
        links[2].shape = {AtM(0, 0), AtM(100, 15), AtM(900, 15), AtM(1000, 0)};
        links[2].roadClass = 4;
        links[2].twoWay = false;
        links[3].shape = {AtM(2000, 0), AtM(2000, 500)};
        links[3].roadClass = 4;
        for (size_t i = 0; i < links.size(); ++i) {
            links[i].number = static_cast<uint32_t>(i + 1);
            links[i].nameUtf8 = "나란히로";
            links[i].linkKind = 6;
            links[i].laneCount = 2;
        }
        std::string error;
        ASSERT_TRUE(writers::WriteLinkMap(dir->Path(), links, &error)) << error;
        std::map<uint32_t, writers::PathLists> paths;
        paths[1].forward = {{2, false, 1}, {4, false, 96}};
        paths[1].backward = {{3, false, 1}};
        paths[2].forward = {{4, false, 1}};
        paths[2].backward = {{1, true, 2}};
        paths[3].forward = {{2, false, 1}};
        paths[4].forward = {{1, false, 1}};
        ASSERT_TRUE(platform::AtomicReplaceFile(platform::ResolveUnder(dir->Path(), "Map\\Path.ndb"),
                                                writers::BuildPath(paths), &error))
            << error;
        map = new CMgrMap();
        ASSERT_EQ(map->Open(dir->Path()), 1) << map->LastOpenFailure();
    }
    static void TearDownTestSuite() {
        delete map;
        delete dir;
        map = nullptr;
        dir = nullptr;
    }

    // A fix of a car heading east at 40 km/h, second s of the drive.
    static _tagGpsParsedData Fix(double eastM, double northM, int s) {
        _tagGpsParsedData in;
        const MapPoint p = AtM(eastM, northM);
        in.x = p.x;
        in.y = p.y;
        in.secondsOfDay = 36000 + s;
        in.speedKmh = 40;
        in.headingDeg = 90;
        in.satellitesInView = 8;
        in.settled = 1;
        in.hdopX10 = 10;
        return in;
    }

    static inline testsupport::TempDir* dir = nullptr;
    static inline CMgrMap* map = nullptr;
    CMgrConfigModuleSVC svc;
    CMgrConfigModuleGPS gps;
};

TEST_F(ParallelRoads, SevenMetresBesideTheMainRoadSettlesOnItOnceTheStayDistancePasses) {
    // 7 m from the main road, 8 m from the side road: without a route both
    // count double (14 m, 16 m) and score 9, so the match is ambiguous with
    // the main road first. Its higher level changes nothing, so the stay
    // rules run from the second ambiguous fix on: at 40 km/h 11 m of stay a
    // fix passes 70 m on the seventh (77 m); at 36 km/h 10 m a fix reach 70 m
    // on the seventh, which is not above it, and pass it on the eighth.
    struct Case {
        int speedKmh;
        size_t firstOnLink;
    } cases[] = {{40, 8}, {36, 9}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.speedKmh);
        CMneMapMatch m;
        ASSERT_EQ(m.Init(&svc, &gps, map), 1);
        m.SetNrmm(50);
        std::vector<int> states;
        tagMAPMATCHINFO r{};
        for (int s = 0; s < 40; ++s) {
            _tagGpsParsedData in = Fix(200 + s * c.speedKmh / 3.6, 7, s);
            in.speedKmh = c.speedKmh;
            ASSERT_EQ(m.Match(in, &r), 1) << s;
            if (s > 0) {
                EXPECT_EQ(static_cast<uint32_t>(r.linkId), 1u) << s;
            }
            states.push_back(r.status);
        }
        for (size_t s = 1; s < states.size(); ++s) EXPECT_EQ(states[s], s < c.firstOnLink ? 2 : 1) << s;
    }
}

TEST_F(ParallelRoads, AClearBestOffThePreviousLinksPathDoesNotTakeTheMatchFromIt) {
    // Ambiguous on the main road, then a fix 24 m north of it (9 m from the
    // side road): the side road scores 9, the main road 5, a clear decision
    // for the side road, which is not on the main road's way on. While the
    // car moves and the main road has more left than five ninths of the
    // speed, the match stays on the main road; a standing car takes the side
    // road.
    struct Case {
        int speedKmh;
        uint32_t link;
    } cases[] = {{40, 1}, {0, 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.speedKmh);
        CMneMapMatch m;
        ASSERT_EQ(m.Init(&svc, &gps, map), 1);
        m.SetNrmm(50);
        tagMAPMATCHINFO r{};
        for (int s = 0; s < 4; ++s) ASSERT_EQ(m.Match(Fix(200 + s * 11.1, 7, s), &r), 1);
        ASSERT_EQ(r.status, 2);
        ASSERT_EQ(r.linkId, 1);
        _tagGpsParsedData in = Fix(244, 24, 4);
        in.speedKmh = c.speedKmh;
        ASSERT_EQ(m.Match(in, &r), 1);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(static_cast<uint32_t>(r.linkId), c.link);
    }
}

TEST_F(ParallelRoads, TheMatchedPointStepsBackOnlyAfterTwoHeldFixesOrNotAtAll) {
    // Settled on the main road, the fixes then fall back west 5 m at a time.
    // A moving car holds the matched point for two such fixes and takes the
    // third; a car below 2 km/h holds it.
    struct Case {
        int speedKmh;
        std::vector<bool> held;
    } cases[] = {{10, {true, true, false, false}}, {1, {true, true, true, true}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.speedKmh);
        CMneMapMatch m;
        ASSERT_EQ(m.Init(&svc, &gps, map), 1);
        m.SetNrmm(50);
        tagMAPMATCHINFO r{}, before{};
        int s = 0;
        for (; s < 12; ++s) ASSERT_EQ(m.Match(Fix(200 + s * 11.1, 7, s), &before), 1);
        ASSERT_EQ(before.status, 1);
        ASSERT_EQ(before.linkId, 1);
        for (size_t k = 0; k < c.held.size(); ++k, ++s) {
            _tagGpsParsedData in = Fix(200 + 11 * 11.1 - 5.0 * static_cast<double>(k + 1), 7, s);
            in.speedKmh = c.speedKmh;
            ASSERT_EQ(m.Match(in, &r), 1);
            EXPECT_EQ(r.linkId, 1);
            EXPECT_EQ(r.x == before.x && r.distanceToEndM == before.distanceToEndM, c.held[k]) << k;
            if (!c.held[k]) {
                EXPECT_GT(r.distanceToEndM, before.distanceToEndM);
            }
        }
    }
}

TEST_F(ParallelRoads, DuringARouteAFixWithNoRoadNearRestartsTheStayCount) {
    // On the route the elevated main road is ambiguous (state 2) until the
    // car has stayed on it four fixes in a row. A fix 80 m off every road
    // (all scores 2 or less) is matched on the expected link and clears the
    // count: the next fix on the road starts counting again.
    testsupport::GuideAlong(svc, {1, 2});
    auto drive = [&](bool outlier) {
        CMneMapMatch m;
        EXPECT_EQ(m.Init(&svc, &gps, map), 1);
        m.SetNrmm(50);
        std::vector<int> states;
        for (int s = 0; s < 12; ++s) {
            tagMAPMATCHINFO r{};
            const double north = outlier && s == 4 ? -80 : 7;
            EXPECT_EQ(m.Match(Fix(200 + s * 11.1, north, s), &r), 1) << s;
            if (s > 0) {
                EXPECT_EQ(static_cast<uint32_t>(r.linkId), 1u) << s;
            }
            states.push_back(r.status);
        }
        return states;
    };
    EXPECT_EQ(drive(false), (std::vector<int>{0, 2, 2, 2, 2, 1, 1, 1, 1, 1, 1, 1}));
    EXPECT_EQ(drive(true), (std::vector<int>{0, 2, 2, 2, 1, 2, 2, 2, 1, 1, 1, 1}));
}

TEST_F(ParallelRoads, AnExpandedListThatCannotGrowGivesNoRecord) {
    // A first drive reads every cell and block the step needs.
    {
        CMneMapMatch warm;
        ASSERT_EQ(warm.Init(&svc, &gps, map), 1);
        tagMAPMATCHINFO r{};
        for (int s = 0; s < 3; ++s) ASSERT_EQ(warm.Match(Fix(200 + s * 11.1, 7, s), &r), 1);
    }
    CMneMapMatch m;
    ASSERT_EQ(m.Init(&svc, &gps, map), 1);
    tagMAPMATCHINFO r{};
    ASSERT_EQ(m.Match(Fix(200, 7, 0), &r), 1);  // search mode: no list needed
    EXPECT_EQ(r.status, 0);
    // Fill the program heap so that the list cannot get its first 30 ids.
    std::vector<void*> taken;
    for (size_t size = size_t{1} << 20; size >= 8; size /= 2)
        while (void* p = MgrAlloc(size)) taken.push_back(p);
    r.status = 99;
    EXPECT_EQ(m.Match(Fix(211, 7, 1), &r), 0);
    EXPECT_EQ(r.status, 99) << "no record written";
    for (void* p : taken) MgrFree(p);
    ASSERT_EQ(m.Match(Fix(222, 7, 2), &r), 1);
    EXPECT_EQ(static_cast<uint32_t>(r.linkId), 1u);
}

}  // namespace
