// The map-data manager on the demo district: nearest and nearby links and
// snapping checked against a scan of every link's full shape, address and
// city areas, missing or damaged files, the version record, and the link
// searches run from several threads at once.
#include "mapdb/mgr_map.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "mapdb/geometry.h"
#include "platform/codepage.h"
#include "platform/file_io.h"
#include "support/temp_dir.h"
#include "tools/writers/area_map_writer.h"
#include "tools/writers/demo_map.h"
#include "tools/writers/map_container_writer.h"
#include "tools/writers/version_trailer_writer.h"

namespace {

using writers::DemoLink;
using writers::DemoLinks;

MapPoint Deg(double lon, double lat) {
    return {static_cast<int32_t>(lon * kMapUnitsPerDegree), static_cast<int32_t>(lat * kMapUnitsPerDegree)};
}

const int32_t kSide = GetLevelTileSide(2);
// Level-2 tile corners in and around the district (127.0E 37.5N is one).
MapPoint TileCorner(int column, int row) { return {column * kSide, row * kSide}; }

// ------------------------------------------------------------ brute force

struct Scanned {
    uint32_t linkId;
    int distance;
    MapPoint foot;
};

bool Filtered(const DemoLink& l) { return l.roadClass < 2 || (l.linkKind >= 1 && l.linkKind <= 5) || l.linkKind == 15; }

// Every link's distance from its full shape, nearest first (then by id).
std::vector<Scanned> ScanAllLinks(const MapPoint& p, bool kindFilter) {
    std::vector<Scanned> out;
    for (const DemoLink& l : DemoLinks()) {
        if (kindFilter && Filtered(l)) continue;
        Scanned s{l.number, INT_MAX, {}};
        for (size_t i = 0; i + 1 < l.shape.size(); ++i) {
            MapPoint foot;
            const int d = CalcPointToSegmentDist(p, l.shape[i], l.shape[i + 1], &foot, nullptr);
            if (d < s.distance) {
                s.distance = d;
                s.foot = foot;
            }
        }
        out.push_back(s);
    }
    std::sort(out.begin(), out.end(), [](const Scanned& a, const Scanned& b) {
        return a.distance != b.distance ? a.distance < b.distance : a.linkId < b.linkId;
    });
    return out;
}

// The demo root is written once for the whole program.
class MgrMapTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = new testsupport::TempDir();
        std::string error;
        ASSERT_TRUE(writers::WriteDemoMap(s_dir->Path(), &error)) << error;
    }
    static void TearDownTestSuite() {
        delete s_dir;
        s_dir = nullptr;
    }
    void SetUp() override { ASSERT_EQ(map.Open(Root()), 1) << map.LastOpenFailure(); }

    static std::string Root() { return s_dir->Path() + "/"; }

    CMgrMap map;
    static testsupport::TempDir* s_dir;
};
testsupport::TempDir* MgrMapTest::s_dir = nullptr;

struct QueryPoint {
    const char* what;
    MapPoint point;
};

// Points at crossings, mid-block, on tile corners, near the expressway's
// bends and far outside the map.
const QueryPoint kPoints[] = {
    {"middle crossing", Deg(127.02, 37.516)},
    {"mid-block", Deg(127.005, 37.504)},
    {"on the middle street", Deg(127.013, 37.5161)},
    {"east of the grid", Deg(127.047, 37.52)},
    {"north of the grid", Deg(127.021, 37.54)},
    {"near the expressway", Deg(126.98, 37.4925)},
    {"near the ramp", Deg(127.0008, 37.495)},
    {"tile corner at the grid origin", TileCorner(8128, 2400)},
    {"tile corner inside the grid", TileCorner(8129, 2401)},
    {"tile corner at the north-east", TileCorner(8131, 2402)},
    {"tile corner south-west of the grid", TileCorner(8126, 2399)},
    {"50 km south", Deg(127.0, 37.05)},
    {"other side of the map", Deg(10.0, 10.0)},
    {"west of the map area", {-5000, 19660800}},
    {"beyond the map area", {kMapAreaUnits + 1000, kMapAreaUnits + 1000}},
    {"far off the map", {INT32_MAX, INT32_MIN}},
};

const int32_t kRadii[] = {0, 1, 30, 100, 400, 1500, 5000};

// Map.ndb stands for a link in a tile by one straight segment between its
// ends, so a bend that reaches toward the point is seen only when the
// segment's box meets the search box. The demo's bends are at most 0.0006
// degree (the expressway's, about 67 m): a link nearer than the radius by
// more than that is always found; one inside that band may be missed.
constexpr int kChordSlackM = 70;

TEST_F(MgrMapTest, NearestLinkMatchesAScanOfEveryShape) {
    for (const QueryPoint& q : kPoints) {
        for (int32_t radius : kRadii) {
            for (int filter : {0, 1}) {
                SCOPED_TRACE(::testing::Message() << q.what << ", radius " << radius << ", filter " << filter);
                const auto scan = ScanAllLinks(q.point, filter != 0);
                MneLinkFoot foot;
                const int found = map.FindNearestLink(q.point, radius, &foot, filter);
                const bool sure = !scan.empty() && scan[0].distance <= radius - kChordSlackM;
                const bool possible = !scan.empty() && scan[0].distance <= radius;
                if (sure) {
                    ASSERT_EQ(found, 1);
                    EXPECT_EQ(foot.distance, scan[0].distance);
                }
                if (!possible) {
                    ASSERT_EQ(found, 0);
                }
                if (!found) continue;
                EXPECT_LE(foot.distance, radius);
                // The answer is that link's true distance; equal distances
                // may come from either link.
                bool listed = false;
                for (const auto& s : scan) listed |= s.distance == foot.distance && s.linkId == foot.linkId;
                EXPECT_TRUE(listed) << "link " << foot.linkId;
                EXPECT_EQ(foot.query, q.point);
                const DemoLink& link = DemoLinks()[foot.linkId - 1];
                EXPECT_EQ(foot.directions, link.twoWay ? 2 : 1);
                EXPECT_EQ(foot.reverseLinkId, link.twoWay ? (foot.linkId | 0x08000000u) : 0u);
                EXPECT_EQ(foot.segmentStart, link.shape[static_cast<size_t>(foot.segmentIndex)]);
                EXPECT_EQ(foot.segmentEnd, link.shape[static_cast<size_t>(foot.segmentIndex) + 1]);
            }
        }
    }
}

TEST_F(MgrMapTest, NearbyLinksAreEveryLinkWithinTheRadiusNearestFirst) {
    for (const QueryPoint& q : kPoints) {
        for (int32_t radius : kRadii) {
            SCOPED_TRACE(::testing::Message() << q.what << ", radius " << radius);
            const auto scan = ScanAllLinks(q.point, false);
            MneLinkFoot feet[kMgrMapMaxNearbyLinks];
            int count = kMgrMapMaxNearbyLinks;
            const int ok = map.FindNearbyLinks(q.point, radius, &count, feet);
            // No link within the radius is an answer too.
            EXPECT_EQ(ok, 1);
            // Every answer is a link within the radius at its true distance,
            // with its true foot, nearest first.
            for (int i = 0; i < count; ++i) {
                SCOPED_TRACE(::testing::Message() << "rank " << i << ", link " << feet[i].linkId);
                const auto s = std::find_if(scan.begin(), scan.end(),
                                            [&](const Scanned& x) { return x.linkId == feet[i].linkId; });
                ASSERT_NE(s, scan.end());
                EXPECT_EQ(feet[i].distance, s->distance);
                EXPECT_EQ(feet[i].foot, s->foot);
                EXPECT_LE(feet[i].distance, radius);
                if (i > 0) {
                    EXPECT_TRUE(feet[i - 1].distance < feet[i].distance ||
                                (feet[i - 1].distance == feet[i].distance && feet[i - 1].linkId < feet[i].linkId));
                }
            }
            // Every link surely within the radius is there.
            int sure = 0;
            for (const auto& s : scan) {
                if (s.distance > radius - kChordSlackM) continue;
                ++sure;
                bool listed = false;
                for (int i = 0; i < count; ++i) listed |= feet[i].linkId == s.linkId;
                EXPECT_TRUE(listed) << "link " << s.linkId << " at " << s.distance << " m";
            }
            EXPECT_GE(count, sure);
        }
    }
}

TEST_F(MgrMapTest, NearbyLinksHonourTheAskedCount) {
    const MapPoint centre = Deg(127.02, 37.516);
    MneLinkFoot all[kMgrMapMaxNearbyLinks];
    int count = 500;  // more than the table holds: cut to 100
    ASSERT_EQ(map.FindNearbyLinks(centre, 5000, &count, all), 1);
    EXPECT_EQ(count, static_cast<int>(DemoLinks().size()));  // every link, each once
    MneLinkFoot three[3];
    int asked = 3;
    ASSERT_EQ(map.FindNearbyLinks(centre, 5000, &asked, three), 1);
    ASSERT_EQ(asked, 3);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(three[i].linkId, all[i].linkId);
    // The four links that meet at the middle crossing, all at 0 m, even
    // within 1 m (the tile segments' ends are cut to whole local steps).
    int four = kMgrMapMaxNearbyLinks;
    ASSERT_EQ(map.FindNearbyLinks(centre, 1, &four, all), 1);
    ASSERT_EQ(four, 4);
    std::vector<uint32_t> ids;
    for (int i = 0; i < four; ++i) {
        ids.push_back(all[i].linkId);
        EXPECT_EQ(all[i].distance, 0);
        const std::string& name = DemoLinks()[all[i].linkId - 1].nameUtf8;
        EXPECT_TRUE(name == "누리대로" || name == "바람길") << name;
    }
    EXPECT_TRUE(std::is_sorted(ids.begin(), ids.end()));
    int none = 3;
    EXPECT_EQ(map.FindNearbyLinks(centre, -1, &none, three), 0);
    EXPECT_EQ(none, 0);
}

TEST_F(MgrMapTest, FootPositionAlongTheLink) {
    // Street 0 runs east from the grid origin in four links (1 to 4).
    const DemoLink& first = DemoLinks()[0];
    const DemoLink& last = DemoLinks()[3];
    ASSERT_EQ(first.shape.front(), Deg(127.0, 37.5));
    struct Case {
        const char* what;
        MapPoint point;
        uint32_t linkId;
        int expect;  // 0 before the start, 1 past the end, 2 inside
    } const cases[] = {
        {"before the first link's start", Deg(126.998, 37.5002), first.number, 0},
        {"past the last link's end", Deg(127.042, 37.4998), last.number, 1},
        {"inside the first link", Deg(127.007, 37.5003), first.number, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MneLinkFoot feet[kMgrMapMaxNearbyLinks];
        int count = kMgrMapMaxNearbyLinks;
        ASSERT_EQ(map.FindNearbyLinks(c.point, 1000, &count, feet), 1);
        const MneLinkFoot* f = nullptr;
        for (int i = 0; i < count; ++i)
            if (feet[i].linkId == c.linkId) f = &feet[i];
        ASSERT_NE(f, nullptr);
        MneLinkGuideRecord record{};
        ASSERT_EQ(map.GetLinkRecord(c.linkId, &record), 1);
        const int32_t length = static_cast<int32_t>(record.length);
        if (c.expect == 0) {
            EXPECT_EQ(f->segmentIndex, 0);
            EXPECT_EQ(f->distanceFromStart, 0);
            EXPECT_EQ(f->distanceToEnd, length);
        } else if (c.expect == 1) {
            EXPECT_EQ(f->distanceFromStart, length);
            EXPECT_EQ(f->distanceToEnd, 0);
        } else {
            const DemoLink& l = DemoLinks()[c.linkId - 1];
            uint32_t along = GetApproxDistance(l.shape[static_cast<size_t>(f->segmentIndex)], f->foot);
            for (int i = 0; i < f->segmentIndex; ++i) along += GetApproxDistance(l.shape[i], l.shape[i + 1]);
            EXPECT_EQ(f->distanceFromStart, static_cast<int32_t>(along));
            EXPECT_EQ(f->distanceToEnd, std::abs(length - f->distanceFromStart));
            EXPECT_GT(f->distanceFromStart, 0);
            EXPECT_GT(f->distanceToEnd, 0);
        }
    }
}

TEST_F(MgrMapTest, SnapToNamedRoad) {
    const std::u16string middle = platform::Utf8ToUtf16("누리대로");
    const std::u16string avenue = platform::Utf8ToUtf16("바람길");
    struct Case {
        const char* what;
        MapPoint point;
        std::u16string name;
        bool snapped;
    } const cases[] = {
        {"close to the middle street", Deg(127.013, 37.5162), middle, true},
        // Nothing within 50 m is a search that worked: the 300 m search
        // stands in only for one that failed.
        {"55 m north of the middle street", Deg(127.013, 37.5165), middle, false},
        {"150 m north of the middle street", Deg(127.015, 37.5174), middle, false},
        // The first search finds the avenue only, so no second search.
        {"close to an avenue only", Deg(127.0202, 37.5180), middle, false},
        {"close to an avenue, its own name", Deg(127.0202, 37.5180), avenue, true},
        {"nothing within 300 m", Deg(127.015, 37.5225), middle, false},
        {"a name nobody has", Deg(127.013, 37.5165), u"없는길", false},
        {"37 characters", Deg(127.013, 37.5165), std::u16string(37, u'A'), false},
        {"empty name", Deg(127.013, 37.5165), u"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MapPoint out{1, 1};
        ASSERT_EQ(map.SnapToNamedRoad(c.point, c.name, &out), c.snapped ? 1 : 0);
        if (!c.snapped) {
            EXPECT_EQ(out, c.point);
            continue;
        }
        // The nearest link of that name by the scan, its foot pulled 3 units
        // toward the point on each axis where it is more than 5 away.
        MapPoint foot{};
        for (const auto& s : ScanAllLinks(c.point, false)) {
            if (platform::Utf8ToUtf16(DemoLinks()[s.linkId - 1].nameUtf8) == c.name) {
                foot = s.foot;
                break;
            }
        }
        const auto pull = [](int32_t v, int32_t to) { return v - to > 5 ? v - 3 : to - v > 5 ? v + 3 : v; };
        EXPECT_EQ(out, (MapPoint{pull(foot.x, c.point.x), pull(foot.y, c.point.y)}));
    }
}

TEST(RoadNames, EqualOverThirtySixCharactersWithoutCase) {
    const std::u16string long36 = u"Gangnam-daero Expressway Junction 36";  // 36 characters
    ASSERT_EQ(long36.size(), 36u);
    struct Case {
        std::u16string name;
        std::u16string stored;
        bool equal;
    } const cases[] = {
        {u"Gangnam-daero", u"GANGNAM-DAERO", true},
        {u"gangnam-daero", u"Gangnam-daero", true},
        {u"Gangnam-daero", u"Gangnam-daero 2", false},  // the stored name goes on
        {u"Gangnam-daero 2", u"Gangnam-daero", false},
        {long36, long36 + u" and more", true},          // only 36 are compared
        {u"누리대로", u"누리대로", true},
        {u"누리대로", u"누리대", false},
        {u"", u"", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(platform::Utf16ToUtf8(c.name) + " / " + platform::Utf16ToUtf8(c.stored));
        EXPECT_EQ(MneRoadNamesEqual(c.name, c.stored.c_str(), c.stored.size() + 1), c.equal);
    }
    EXPECT_FALSE(MneRoadNamesEqual(u"x", nullptr, 10));
}

TEST_F(MgrMapTest, AddressAndCityAreas) {
    const uint32_t west = writers::DemoAddressAreas()[0].code;
    const uint32_t east = writers::DemoAddressAreas()[1].code;
    struct Case {
        const char* what;
        MapPoint point;
        uint32_t code;  // 0: no area
        int city;
    } const cases[] = {
        {"west neighbourhood, grid origin", Deg(127.0, 37.5), west, 0},
        {"west neighbourhood, tile corner", TileCorner(8129, 2401), west, 1},
        {"east neighbourhood", Deg(127.03, 37.5), east, 0},
        {"east neighbourhood, beside the cut-out", Deg(127.03, 37.53), east, 0},
        {"the cut-out corner", Deg(127.045, 37.53), 0, 0},
        {"middle crossing", Deg(127.02 - 0.0001, 37.516), west, 1},
        {"inside the city diamond's east tip", Deg(127.03, 37.516), east, 1},
        {"outside the diamond's corner", Deg(127.029, 37.507), east, 0},
        {"south of every area", Deg(127.0, 37.48), 0, 0},
        {"the fixed city rectangle, no City.map block", Deg(127.1, 37.32), 0, 1},
        {"the rectangle's west bound itself", {kMgrMapCityRectMinX, 19566428}, 0, 0},
        {"west of the map area", {-5000, 19660800}, 0, 0},
        {"far off the map", {INT32_MAX, INT32_MAX}, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        uint32_t code = 99;
        EXPECT_EQ(map.GetAddressCode(c.point, &code), c.code ? 1 : 0);
        EXPECT_EQ(code, c.code);
        EXPECT_EQ(map.IsInCityArea(c.point), c.city);
    }
}

TEST_F(MgrMapTest, ReadersAndForwarders) {
    // The same link numbers in every file: the middle street's first link.
    const DemoLink& l = DemoLinks()[8];
    MneLinkGuideRecord record{};
    ASSERT_EQ(map.GetLinkRecord(l.number, &record), 1);
    EXPECT_EQ(record.roadClass, l.roadClass);
    MneNameRecord name{};
    ASSERT_EQ(map.GetNameRecord(record.nameId, &name), 1);
    EXPECT_EQ(std::u16string(name.text), platform::Utf8ToUtf16(l.nameUtf8));
    EXPECT_EQ(map.GetLinkRecord(0, &record), 0);
    EXPECT_EQ(map.GetNameRecord(0xFFFFFF, &name), 0);

    ASSERT_NE(map.Lanes(), nullptr);
    {
        MgrLock lock(map.Lanes()->Lock());
        EXPECT_NE(map.Lanes()->GetLaneInfo(l.number), nullptr);
    }
    ASSERT_NE(map.Hipass(), nullptr);
    uint8_t lanes[6] = {};
    EXPECT_EQ(map.Hipass()->GetHipassLanes(101, 180, nullptr, nullptr, lanes), 4);
    ASSERT_NE(map.Cameras(), nullptr);
    EXPECT_NE(map.SafeDrive(), nullptr);
    EXPECT_NE(map.Links(), nullptr);
}

TEST_F(MgrMapTest, OpenTwiceCloseAndReopen) {
    EXPECT_EQ(map.Open(Root()), 0);  // already open
    EXPECT_TRUE(map.IsOpen());
    EXPECT_EQ(map.Close(), 1);
    EXPECT_FALSE(map.IsOpen());
    EXPECT_EQ(map.Lanes(), nullptr);
    MneLinkFoot foot;
    uint32_t code = 5;
    MapPoint snapped;
    int count = 5;
    EXPECT_EQ(map.FindNearestLink(Deg(127.02, 37.516), 100, &foot, 0), 0);
    EXPECT_EQ(map.FindNearbyLinks(Deg(127.02, 37.516), 100, &count, &foot), 0);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(map.GetAddressCode(Deg(127.0, 37.5), &code), 0);
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(map.IsInCityArea(Deg(127.1, 37.32)), 0);
    EXPECT_EQ(map.SnapToNamedRoad(Deg(127.013, 37.5165), u"x", &snapped), 0);
    EXPECT_EQ(map.Close(), 1);
    ASSERT_EQ(map.Open(Root()), 1);
    EXPECT_EQ(map.FindNearestLink(Deg(127.02, 37.516), 100, &foot, 0), 1);
}

TEST_F(MgrMapTest, VersionRecordOfTheDemoRoot) {
    MneVersionRecord record;
    ASSERT_EQ(map.GetVersionInfo(record), 1);
    const auto text = [](const MneVersionField& f) { return platform::Utf16ToUtf8(MneVersionFieldText(f)); };
    EXPECT_EQ(text(record.programVersion), "2.2.19");
    EXPECT_EQ(text(record.programBuild), "100705");
    EXPECT_EQ(text(record.fileVersion[kMneVersionCameraT1]), "1.0.1");
    EXPECT_EQ(text(record.fileDate[kMneVersionCameraT1]), "20261210");
    EXPECT_EQ(text(record.fileVersion[kMneVersionRoad]), "1.2.3");
    EXPECT_EQ(text(record.fileDate[kMneVersionRoad]), "20261210");
    // The demo has no drawing layers and no search data yet.
    EXPECT_EQ(text(record.fileVersion[kMneVersionBaseMap]), "1.0.0");
    EXPECT_EQ(text(record.fileDate[kMneVersionBaseMap]), "000000");
}

TEST(MgrMapVersion, FileWithoutTrailerReadsDefault) {
    testsupport::TempDir dir;
    ASSERT_TRUE(writers::WriteDemoMap(dir.Path()));
    dir.Write("Search/nvr.sdb", std::string(200, 'x'));  // no trailer
    dir.Write("Map/Base.map", "short");                  // shorter than a trailer
    CMgrMap map;
    ASSERT_EQ(map.Open(dir.Path() + "/"), 1);
    MneVersionRecord record;
    ASSERT_EQ(map.GetVersionInfo(record), 1);
    for (int i : {kMneVersionSearch, kMneVersionBaseMap}) {
        SCOPED_TRACE(i);
        EXPECT_EQ(platform::Utf16ToUtf8(MneVersionFieldText(record.fileVersion[i])), "1.0.0");
        EXPECT_EQ(platform::Utf16ToUtf8(MneVersionFieldText(record.fileDate[i])), "000000");
    }
}

// ------------------------------------------------------- missing or damaged

TEST(MgrMapOpen, EachMissingFileFailsOpenByName) {
    const char* const files[] = {"Map/Address.map", "Map/City.map", "Map/RG.ndb",   "Map/Path.ndb",
                                 "Map/RoadLine.ndb", "Map/Map.ndb", "Map/RN.ndb",   "Map/SA.ndb",
                                 "Map/Lane.ndb",     "Map/TBT.ndb", "Map/TG.ndb",   "Map/CameraT1.map",
                                 "Map/CameraT2.map"};
    for (const char* file : files) {
        SCOPED_TRACE(file);
        testsupport::TempDir dir;
        ASSERT_TRUE(writers::WriteDemoMap(dir.Path()));
        std::filesystem::remove(dir.File(file));
        CMgrMap map;
        EXPECT_EQ(map.Open(dir.Path()), 0);
        EXPECT_FALSE(map.IsOpen());
        std::string expected = file;
        std::replace(expected.begin(), expected.end(), '/', '\\');
        EXPECT_EQ(map.LastOpenFailure(), expected);
        EXPECT_EQ(map.Lanes(), nullptr);
        MneLinkFoot foot;
        EXPECT_EQ(map.FindNearestLink(Deg(127.02, 37.516), 100, &foot, 0), 0);
    }
}

TEST(MgrMapOpen, MissingOrUnusableFolders) {
    testsupport::TempDir dir;
    CMgrMap map;
    EXPECT_EQ(map.Open(dir.Path()), 0);  // empty folder
    EXPECT_EQ(map.LastOpenFailure(), "Map\\Address.map");
    EXPECT_EQ(map.Open(dir.Path() + "/no/such/folder"), 0);
    EXPECT_EQ(map.Open(""), 0);
    EXPECT_EQ(map.Open(dir.Path() + "/" + std::string(300, 'a')), 0);  // path too long
    MneVersionRecord record;
    EXPECT_EQ(map.GetVersionInfo(record), 1);  // never fails: defaults
    EXPECT_EQ(platform::Utf16ToUtf8(MneVersionFieldText(record.fileVersion[0])), "1.0.0");
}

TEST(MgrMapOpen, DamagedAreaFiles) {
    struct Case {
        const char* what;
        std::vector<uint8_t> address;
        bool opens;
    };
    // A block whose area list points past its end, in the tile of the grid
    // origin; the other tiles of the real file are kept.
    writers::LocalArea bad;
    bad.points = {{0, 0}, {100, 0}, {100, 100}};
    bad.maxX = bad.maxY = 2047;
    bad.forcedPointCount = 4000;
    std::vector<uint8_t> header(10, 0);
    header[0] = 1;  // plain, largest block size 0x7F7F7F7F: no arena holds it
    header[1] = header[2] = header[3] = header[4] = 0x7F;
    std::vector<writers::MapArea> big = {{7, {Deg(127.0, 37.49), Deg(127.01, 37.49), Deg(127.01, 37.52)}}};
    writers::MapContainerWriter damaged(false);
    damaged.AddBlock(2, 8128, 2400, writers::BuildAreaBlock({bad}, true));
    const Case cases[] = {
        {"truncated header", header, false},
        {"largest block beyond the arena", [] {
             writers::MapContainerWriter w(false);
             w.AddBlock(2, 8128, 2400, std::vector<uint8_t>(10, 0));
             w.SetLargestSizes(2u << 20, 0);
             return w.Build();
         }(), false},
        {"block whose point list lies outside it", damaged.Build(), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testsupport::TempDir dir;
        ASSERT_TRUE(writers::WriteDemoMap(dir.Path()));
        ASSERT_TRUE(platform::AtomicReplaceFile(dir.File("Map/Address.map"), c.address));
        CMgrMap map;
        ASSERT_EQ(map.Open(dir.Path()), c.opens ? 1 : 0);
        if (!c.opens) {
            EXPECT_EQ(map.LastOpenFailure(), "Map\\Address.map");
            continue;
        }
        uint32_t code = 9;
        EXPECT_EQ(map.GetAddressCode(Deg(127.001, 37.501), &code), 0);
        EXPECT_EQ(code, 0u);
        // The rest of the map still answers.
        MneLinkFoot foot;
        EXPECT_EQ(map.FindNearestLink(Deg(127.001, 37.501), 500, &foot, 0), 1);
    }
}

TEST(MgrMapOpen, DamagedShapeOfOneLink) {
    testsupport::TempDir dir;
    ASSERT_TRUE(writers::WriteDemoMap(dir.Path()));
    // Link 10 (the middle street's second block) claims 500 shape points,
    // more than a shape may have: its shape cannot be read.
    std::vector<uint8_t> roadLine;
    ASSERT_TRUE(platform::ReadWholeFile(dir.File("Map/RoadLine.ndb"), roadLine));
    roadLine[4 + 10 * 6 + 4] = 500 & 0xFF;
    roadLine[4 + 10 * 6 + 5] = 500 >> 8;
    ASSERT_TRUE(platform::AtomicReplaceFile(dir.File("Map/RoadLine.ndb"), roadLine));
    CMgrMap map;
    ASSERT_EQ(map.Open(dir.Path()), 1);
    const MapPoint crossing = Deg(127.02, 37.516);
    // The nearest-link search passes over it; one of the other three links
    // at the crossing is the answer.
    MneLinkFoot foot;
    ASSERT_EQ(map.FindNearestLink(crossing, 100, &foot, 0), 1);
    EXPECT_NE(foot.linkId, 10u);
    EXPECT_EQ(foot.distance, 0);
    // The nearby-link search reports the failure rather than a list with a
    // link missing.
    MneLinkFoot feet[kMgrMapMaxNearbyLinks];
    int count = kMgrMapMaxNearbyLinks;
    EXPECT_EQ(map.FindNearbyLinks(crossing, 100, &count, feet), 0);
    EXPECT_EQ(count, 0);
    // Far from it the search works.
    count = kMgrMapMaxNearbyLinks;
    EXPECT_EQ(map.FindNearbyLinks(Deg(127.04, 37.532), 100, &count, feet), 1);
}

// ------------------------------------------------------------ candidates

TEST(LinkCandidates, KeepsTheHundredNearestSortedAndEachLinkOnce) {
    CMneLinkCandidates table;
    // 250 links with scattered distances; link n is (n * 37) % 251 away.
    for (uint32_t n = 1; n <= 250; ++n) {
        MneLinkFoot f;
        f.linkId = n;
        f.distance = static_cast<int32_t>((n * 37) % 251);
        table.Offer(f);
    }
    ASSERT_EQ(table.Count(), kMgrMapMaxNearbyLinks);
    // Distances 1..250 each occur once: the nearest hundred are 1..100.
    for (int i = 0; i < table.Count(); ++i) EXPECT_EQ(table.At(i).distance, i + 1);
    MneLinkFoot again = table.At(0);
    EXPECT_FALSE(table.Offer(again));  // held already
    MneLinkFoot tie;
    tie.linkId = 999;
    tie.distance = 100;  // equal to the farthest: not strictly nearer
    EXPECT_FALSE(table.Offer(tie));
    tie.distance = 0;
    EXPECT_TRUE(table.Offer(tie));
    EXPECT_EQ(table.At(0).linkId, 999u);
    EXPECT_EQ(table.At(kMgrMapMaxNearbyLinks - 1).distance, 99);
}

// --------------------------------------------------------------- threads

TEST_F(MgrMapTest, QueriesFromSeveralThreadsAgreeWithOneThread) {
    struct Answer {
        int nearest = 0;
        uint32_t nearestLink = 0;
        int count = 0;
        std::vector<uint32_t> nearby;
        uint32_t code = 0;
        int city = 0;
        MapPoint snapped;
        bool operator==(const Answer&) const = default;
    };
    const std::u16string middle = platform::Utf8ToUtf16("누리대로");
    const auto ask = [&](const MapPoint& p) {
        Answer a;
        MneLinkFoot foot;
        a.nearest = map.FindNearestLink(p, 1500, &foot, 0);
        a.nearestLink = a.nearest ? foot.linkId : 0;
        MneLinkFoot feet[kMgrMapMaxNearbyLinks];
        a.count = kMgrMapMaxNearbyLinks;
        map.FindNearbyLinks(p, 1500, &a.count, feet);
        for (int i = 0; i < a.count; ++i) a.nearby.push_back(feet[i].linkId);
        map.GetAddressCode(p, &a.code);
        a.city = map.IsInCityArea(p);
        map.SnapToNamedRoad(p, middle, &a.snapped);
        return a;
    };
    std::vector<MapPoint> points;
    for (const QueryPoint& q : kPoints) points.push_back(q.point);
    for (int i = 0; i < 12; ++i) points.push_back(Deg(126.99 + i * 0.005, 37.495 + i * 0.003));
    std::vector<Answer> expected;
    for (const auto& p : points) expected.push_back(ask(p));

    constexpr int kThreads = 6;
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 3; ++round) {
                for (size_t i = 0; i < points.size(); ++i) {
                    // Each thread walks the points from a different start.
                    const size_t k = (i + static_cast<size_t>(t) * 5) % points.size();
                    if (!(ask(points[k]) == expected[k])) mismatches.fetch_add(1, std::memory_order_relaxed);
                }
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(mismatches.load(), 0);
}

TEST_F(MgrMapTest, CloseAndReopenWhileOtherThreadsSearch) {
    const MapPoint crossing = Deg(127.02, 37.516);
    MneLinkFoot expected;
    ASSERT_EQ(map.FindNearestLink(crossing, 300, &expected, 0), 1);
    std::atomic<bool> stop{false};
    std::atomic<int> wrong{0}, answered{0};
    std::vector<std::thread> searchers;
    for (int t = 0; t < 3; ++t) {
        searchers.emplace_back([&] {
            while (!stop.load(std::memory_order_acquire)) {
                MneLinkFoot foot;
                uint32_t code = 0;
                // Closed: no answer; open: the same answer as before.
                if (map.FindNearestLink(crossing, 300, &foot, 0)) {
                    answered.fetch_add(1, std::memory_order_relaxed);
                    if (foot.linkId != expected.linkId || foot.distance != expected.distance) wrong.fetch_add(1);
                }
                if (map.GetAddressCode(crossing, &code) && code != writers::DemoAddressAreas()[1].code &&
                    code != writers::DemoAddressAreas()[0].code)
                    wrong.fetch_add(1);
            }
        });
    }
    for (int round = 0; round < 20; ++round) {
        EXPECT_EQ(map.Close(), 1);
        EXPECT_EQ(map.Open(Root()), 1);
    }
    stop.store(true, std::memory_order_release);
    for (auto& th : searchers) th.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_TRUE(map.IsOpen());
}

}  // namespace
