// User safety points: "\RegSafeDest.udt" (round trip, damaged files), the
// links looked up again once after a road-network change, the tile kept
// for each point and the tile runs of list 10, the cap of 200 and the two
// lists.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "foundation/nv_config.h"
#include "mapdb/mgr_map.h"
#include "platform/codepage.h"
#include "platform/paths.h"
#include "settings/name_field.h"
#include "settings/user_safe_dest.h"
#include "support/store_fixture.h"
#include "support/temp_dir.h"
#include "tools/writers/demo_map.h"
#include "tools/writers/version_trailer_writer.h"

namespace {

using testsupport::TempDir;

constexpr int32_t kReverse = 0x08000000;  // bit 27 of a link id
// Level-2 tiles are 8192 map units wide; tile 8130 starts at x 66600960
// and row 2407 at y 19718144 (near Seoul).
constexpr int32_t kTileSide = 8192;
constexpr int32_t kCol = 8130;
constexpr int32_t kRow = 2407;
constexpr int32_t kX0 = kCol * kTileSide;
constexpr int32_t kY0 = kRow * kTileSide;

// The map as the store sees it: a road-network date text and the links
// found near given positions.
class FakeMap : public UserSafeDestMap {
public:
    int GetNetworkVersion(NvString& out) override {
        if (!versionKnown) return 0;
        out = NvString(version);
        return 1;
    }
    int FindNearestLink(const MapPoint& point, int maxDistanceM, int32_t& linkId, int32_t& reverseId) override {
        ++lookups;
        lastDistanceM = maxDistanceM;
        const auto it = links.find({point.x, point.y});
        if (it == links.end()) return 0;
        linkId = it->second.first;
        reverseId = it->second.second;
        return 1;
    }

    std::u16string version = u"20100301";
    bool versionKnown = true;
    // Position -> link id and reverse id (0 for a one-way link).
    std::map<std::pair<int32_t, int32_t>, std::pair<int32_t, int32_t>> links;
    int lookups = 0;
    int lastDistanceM = 0;
};

_tagUISTRUCT_USERSAFEDEST Point(const char* name, int32_t x, int32_t y, int32_t linkId = 0, int dir = 1,
                                int limit = 60) {
    _tagUISTRUCT_USERSAFEDEST p;
    p.nDir = dir;
    p.nLimit = limit;
    p.LinkID = linkId;
    p.PosInfo.wcPosition = {x, y};
    CopyNameField(p.PosInfo.szName, kCourseNameUnits, platform::Utf8ToUtf16(name));
    CMgrConfigUIDataUserSafeDest::TileOfPosition(p.PosInfo.wcPosition, p.TileIDx, p.TileIDy);
    return p;
}

std::string NameOf(const _tagUISTRUCT_USERSAFEDEST& p) {
    return platform::Utf16ToUtf8(NameFieldView(p.PosInfo.szName, kCourseNameUnits));
}

class UserSafeDestTest : public testsupport::StoreFileTest {
protected:
    UserSafeDestTest() : StoreFileTest("RegSafeDest.udt") {}

    std::unique_ptr<CMgrConfigUIDataUserSafeDest> Open() {
        return std::make_unique<CMgrConfigUIDataUserSafeDest>(&m_map);
    }
    std::vector<std::string> Names(CMgrConfigUIDataUserSafeDest& store, int mode) {
        std::vector<std::string> out;
        _tagUISTRUCT_USERSAFEDEST p;
        for (int i = 0; store.GetItem(i, &p, mode); ++i) out.push_back(NameOf(p));
        return out;
    }

    FakeMap m_map;
};

TEST_F(UserSafeDestTest, NewStoreWithoutFileIsEmptyAndWritesNothing) {
    auto store = Open();
    EXPECT_EQ(store->GetCount(0), 0);
    EXPECT_EQ(store->GetSortMode(), 1);
    EXPECT_FALSE(store->IsMapMissing());
    EXPECT_FALSE(platform::FileExists(FilePath()));
    EXPECT_EQ(m_map.lookups, 0);
    // The program's store takes the map-data manager.
    ASSERT_NE(CMgrConfigUIDataUserSafeDest::Instance(), nullptr);
    EXPECT_FALSE(CMgrConfigUIDataUserSafeDest::Instance()->IsMapMissing());
}

// The store on the map-data manager over the demo district: a map update
// (a new date in Road.ndb's trailer) puts each point on the link it lies on.
TEST_F(UserSafeDestTest, MapDataManagerLinksThePointsOnAMapUpdate) {
    TempDir root;
    std::string error;
    ASSERT_TRUE(writers::WriteDemoMap(root.Path(), &error)) << error;
    CMgrMap* map = CMgrMap::Instance();
    ASSERT_NE(map, nullptr);
    ASSERT_EQ(map->Open(root.Path() + "/"), 1) << map->LastOpenFailure();
    UserSafeDestMap* manager = DefaultUserSafeDestMap();
    ASSERT_NE(manager, nullptr);

    // The middle of the first segment of a two-way and of a one-way link.
    const writers::DemoLink* twoWay = nullptr;
    const writers::DemoLink* oneWay = nullptr;
    for (const writers::DemoLink& link : writers::DemoLinks()) {
        if (link.twoWay && !twoWay) twoWay = &link;
        if (!link.twoWay && !oneWay) oneWay = &link;
    }
    ASSERT_NE(twoWay, nullptr);
    const auto middle = [](const writers::DemoLink& link) {
        const MapPoint a = link.shape[0];
        const MapPoint b = link.shape[1];
        return MapPoint{a.x + (b.x - a.x) / 2, a.y + (b.y - a.y) / 2};
    };
    struct Case {
        const char* what;
        const writers::DemoLink* link;
        int32_t storedLink;
        int32_t expectLink;
    };
    std::vector<Case> cases = {
        {"along a two-way link", twoWay, 1999000, static_cast<int32_t>(twoWay->number)},
        {"against a two-way link", twoWay, 1999000 | kReverse, static_cast<int32_t>(twoWay->number) | kReverse},
    };
    if (oneWay) cases.push_back({"along a one-way link", oneWay, 1999001, static_cast<int32_t>(oneWay->number)});
    {
        CMgrConfigUIDataUserSafeDest store(manager);
        for (const Case& c : cases) {
            const MapPoint p = middle(*c.link);
            store.AddItem(Point(c.what, p.x, p.y, c.storedLink), 1);
        }
        ASSERT_EQ(store.Save(nullptr), 1);
        EXPECT_NE(FileBytes().find("nNetworkVersion|2=20261210\r\n"), std::string::npos);
    }
    // The same map: the old ids stay.
    {
        CMgrConfigUIDataUserSafeDest store(manager);
        _tagUISTRUCT_USERSAFEDEST p;
        ASSERT_EQ(store.GetItem(0, &p, 0), 1);
        EXPECT_EQ(p.LinkID, 1999000);
    }

    const std::vector<uint8_t> stamp = writers::BuildVersionTrailer({1, 2, 4, "20270315"});
    root.Write("Map/Road.ndb", std::string(stamp.begin(), stamp.end()));
    CMgrConfigUIDataUserSafeDest store(manager);
    ASSERT_EQ(store.GetCount(0), static_cast<int>(cases.size()));
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].what);
        _tagUISTRUCT_USERSAFEDEST p;
        ASSERT_EQ(store.GetItem(static_cast<int>(i), &p, 0), 1);
        EXPECT_EQ(p.LinkID, cases[i].expectLink);
    }
    EXPECT_NE(FileBytes().find("nNetworkVersion|2=20270315\r\n"), std::string::npos);
    EXPECT_EQ(map->Close(), 1);
}

TEST_F(UserSafeDestTest, SaveAndLoadGiveTheSamePoints) {
    auto store = Open();
    _tagUISTRUCT_USERSAFEDEST first = Point("학교 앞", kX0 + 100, kY0 + 200, 1234 | kReverse, 2, 30);
    first.tTime = 1'278'300'000;
    _tagUISTRUCT_USERSAFEDEST odd = Point("", -1, int32_t(0x80000000), -5, -1, 0x7FFFFFFF);
    odd.TileIDx = 77;  // kept as given
    odd.TileIDy = -3;
    odd.tTime = 0x1'2345'6789;  // only the low 32 bits are kept
    const std::u16string longName(64, u'길');
    _tagUISTRUCT_USERSAFEDEST longer = Point("", kX0, kY0, 99);
    CopyNameField(longer.PosInfo.szName, kCourseNameUnits, longName + u"cut");
    for (const auto& p : {first, odd, longer}) ASSERT_EQ(store->AddItem(p, 1), 1);
    ASSERT_EQ(store->Save(nullptr), 1);

    const std::string bytes = FileBytes();
    EXPECT_EQ(bytes.rfind("nVersion|1=841887792\r\nnNetworkVersion|2=20100301\r\nnItemCount|1=3\r\n"
                          "SafeDest000.nDir|1=2\r\nSafeDest000.nLimit|1=30\r\n"
                          "SafeDest000.TileIDx|1=8130\r\nSafeDest000.TileIDy|1=2407\r\n"
                          "SafeDest000.LinkID|1=134218962\r\nSafeDest000.tTime|1=1278300000\r\n"
                          "SafeDest000.PosInfo.wcPosition.x|1=66601060\r\n"
                          "SafeDest000.PosInfo.wcPosition.y|1=19718344\r\nSafeDest000.PosInfo.szName|2=",
                          0),
              0u);
    EXPECT_NE(bytes.find("SafeDest001.tTime|1=591751049\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("SafeDest001.nDir|1=4294967295\r\n"), std::string::npos);

    auto loaded = Open();
    ASSERT_EQ(loaded->GetCount(0), 3);
    odd.tTime = 0x2345'6789;
    const _tagUISTRUCT_USERSAFEDEST expected[] = {first, odd, longer};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        _tagUISTRUCT_USERSAFEDEST p;
        ASSERT_EQ(loaded->GetItem(i, &p, 0), 1);
        _tagUISTRUCT_USERSAFEDEST want = expected[i];
        want.nIndex = i;  // numbered in load order
        EXPECT_TRUE(p == want);
    }
    _tagUISTRUCT_USERSAFEDEST third;
    loaded->GetItem(2, &third, 0);
    EXPECT_EQ(NameFieldView(third.PosInfo.szName, kCourseNameUnits), longName);
    // Same map, nothing looked up, nothing rewritten.
    EXPECT_EQ(m_map.lookups, 0);
    EXPECT_EQ(FileBytes(), bytes);
    EXPECT_EQ(TakeSettingsFileErrorCount(), 0);
    ASSERT_EQ(loaded->Save(nullptr), 1);
    EXPECT_EQ(FileBytes(), bytes);
}

TEST_F(UserSafeDestTest, LinksAreLookedUpAgainOnceAfterARoadNetworkChange) {
    struct Case {
        const char* name;
        int32_t x;
        int32_t storedLink;
        bool found;  // a link lies near the point on the new map
        int32_t newLink, newReverse;
        int32_t expectLink;
    } const cases[] = {
        {"two-way, along", kX0 + 10, 500, true, 700, 700 | kReverse, 700},
        {"two-way, against", kX0 + 20, 500 | kReverse, true, 700, 700 | kReverse, 700 | kReverse},
        {"one-way, along", kX0 + 30, 501, true, 800, 0, 800},
        // A one-way link cannot be travelled against its direction: the old id stays.
        {"one-way, against", kX0 + 40, 502 | kReverse, true, 800, 0, 502 | kReverse},
        {"no link near", kX0 + 50, 503, false, 0, 0, 503},
    };
    {
        auto store = Open();
        for (const Case& c : cases) store->AddItem(Point(c.name, c.x, kY0 + 5, c.storedLink), 1);
        ASSERT_EQ(store->Save(nullptr), 1);
    }
    for (const Case& c : cases) {
        if (c.found) m_map.links[{c.x, kY0 + 5}] = {c.newLink, c.newReverse};
    }

    // Loading on the same map looks nothing up.
    Open();
    EXPECT_EQ(m_map.lookups, 0);

    m_map.version = u"20100705";
    auto store = Open();
    EXPECT_EQ(m_map.lookups, 5);
    EXPECT_EQ(m_map.lastDistanceM, 100);
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(cases[i].name);
        _tagUISTRUCT_USERSAFEDEST p;
        ASSERT_EQ(store->GetItem(i, &p, 0), 1);
        EXPECT_EQ(p.LinkID, cases[i].expectLink);
    }
    EXPECT_EQ(store->GetNetworkVersion(), u"20100705");
    const std::string bytes = FileBytes();
    EXPECT_NE(bytes.find("nNetworkVersion|2=20100705\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("SafeDest001.LinkID|1=134218428\r\n"), std::string::npos);  // 700 | bit 27
    EXPECT_EQ(TakeSettingsFileErrorCount(), 0);
    EXPECT_FALSE(ErrExists());

    // The next start finds the new text and looks nothing up again.
    auto again = Open();
    EXPECT_EQ(m_map.lookups, 5);
    EXPECT_EQ(again->GetCount(0), 5);
    EXPECT_EQ(FileBytes(), bytes);

    // An update that keeps the links: looked up once, then the file names
    // the new network although no id changed.
    m_map.version = u"20110101";
    Open();
    EXPECT_EQ(m_map.lookups, 10);
    EXPECT_NE(FileBytes().find("nNetworkVersion|2=20110101\r\n"), std::string::npos);
    Open();
    EXPECT_EQ(m_map.lookups, 10);
}

TEST_F(UserSafeDestTest, WithoutAMapNothingIsLookedUpAndTheTextIsKept) {
    {
        auto store = Open();
        store->AddItem(Point("A", kX0, kY0, 500), 1);
        ASSERT_EQ(store->Save(nullptr), 1);
    }
    CMgrConfigUIDataUserSafeDest store(nullptr);
    EXPECT_TRUE(store.IsMapMissing());
    ASSERT_EQ(store.GetCount(0), 1);
    EXPECT_EQ(store.GetNetworkVersion(), u"20100301");
    store.AddItem(Point("B", kX0, kY0, 501), 1);
    ASSERT_EQ(store.Save(nullptr), 1);
    // The points are still linked against the old network: a later load on
    // another map looks them up.
    EXPECT_NE(FileBytes().find("nNetworkVersion|2=20100301\r\n"), std::string::npos);

    // A map that cannot tell its version yet (not open): nothing is looked
    // up and Save writes nothing.
    const std::string before = FileBytes();
    m_map.versionKnown = false;
    auto blind = Open();
    EXPECT_EQ(blind->GetCount(0), 2);
    EXPECT_EQ(m_map.lookups, 0);
    blind->AddItem(Point("C", kX0, kY0, 502), 1);
    EXPECT_EQ(blind->Save(nullptr), 0);
    EXPECT_EQ(FileBytes(), before);

    // Once it is open on another network, the save looks the links up
    // before the file names the new network.
    m_map.versionKnown = true;
    m_map.version = u"20100705";
    m_map.links[{kX0, kY0}] = {900, 900 | kReverse};
    ASSERT_EQ(blind->Save(nullptr), 1);
    EXPECT_EQ(m_map.lookups, 3);
    const std::string after = FileBytes();
    EXPECT_NE(after.find("nNetworkVersion|2=20100705\r\n"), std::string::npos);
    for (const char* key : {"SafeDest000.LinkID|1=900\r\n", "SafeDest002.LinkID|1=900\r\n"}) {
        EXPECT_NE(after.find(key), std::string::npos) << key;
    }
    // Only once.
    ASSERT_EQ(blind->Save(nullptr), 1);
    EXPECT_EQ(m_map.lookups, 3);
}

TEST_F(UserSafeDestTest, AFileWithAMissingKeyStaysWhileTheMapCannotTellItsVersion) {
    WriteFile(
        "nVersion|1=841887792\r\nnNetworkVersion|2=20100301\r\nnItemCount|1=1\r\n"
        "SafeDest000.nDir|1=1\r\nSafeDest000.TileIDx|1=8130\r\nSafeDest000.TileIDy|1=2407\r\n"
        "SafeDest000.LinkID|1=5\r\nSafeDest000.tTime|1=0\r\nSafeDest000.PosInfo.wcPosition.x|1=66600961\r\n"
        "SafeDest000.PosInfo.wcPosition.y|1=19718145\r\nSafeDest000.PosInfo.szName|2=A\r\n");
    const std::string before = FileBytes();
    m_map.versionKnown = false;
    auto store = Open();
    EXPECT_EQ(store->GetCount(0), 1);
    EXPECT_EQ(FileBytes(), before);
    EXPECT_FALSE(ErrExists());

    m_map.versionKnown = true;
    auto again = Open();
    EXPECT_EQ(again->GetCount(0), 1);
    EXPECT_FALSE(ErrExists());
    EXPECT_NE(FileBytes().find("SafeDest000.nLimit|1=0\r\n"), std::string::npos);
}

TEST_F(UserSafeDestTest, TileOfEachPointIncludingTileEdges) {
    struct Case {
        const char* what;
        int32_t x, y;
        int32_t tileX, tileY;
    } const cases[] = {
        {"tile corner", kX0, kY0, kCol, kRow},
        {"last unit of the tile", kX0 + kTileSide - 1, kY0 + kTileSide - 1, kCol, kRow},
        {"first unit of the next column", kX0 + kTileSide, kY0, kCol + 1, kRow},
        {"last unit of the previous row", kX0, kY0 - 1, kCol, kRow - 1},
        {"one unit into the map", 1, 1, 0, 0},
    };
    // Saved with tile 0, 0: the tile is computed when loaded.
    std::string file = "nVersion|1=841887792\r\nnNetworkVersion|2=20100301\r\nnItemCount|1=5\r\n";
    for (int i = 0; i < 5; ++i) {
        char entry[512];
        std::snprintf(entry, sizeof entry,
                      "SafeDest%03d.nDir|1=1\r\nSafeDest%03d.nLimit|1=50\r\nSafeDest%03d.TileIDx|1=0\r\n"
                      "SafeDest%03d.TileIDy|1=0\r\nSafeDest%03d.LinkID|1=7\r\nSafeDest%03d.tTime|1=0\r\n"
                      "SafeDest%03d.PosInfo.wcPosition.x|1=%d\r\nSafeDest%03d.PosInfo.wcPosition.y|1=%d\r\n"
                      "SafeDest%03d.PosInfo.szName|2=P%d\r\n",
                      i, i, i, i, i, i, i, cases[i].x, i, cases[i].y, i, i);
        file += entry;
    }
    WriteFile(file);
    auto store = Open();
    ASSERT_EQ(store->GetCount(0), 5);
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(cases[i].what);
        _tagUISTRUCT_USERSAFEDEST p;
        ASSERT_EQ(store->GetItem(i, &p, 0), 1);
        EXPECT_EQ(p.TileIDx, cases[i].tileX);
        EXPECT_EQ(p.TileIDy, cases[i].tileY);
    }
    // The same rule for points the screens add.
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        int32_t tx = -1, ty = -1;
        ASSERT_EQ(CMgrConfigUIDataUserSafeDest::TileOfPosition({c.x, c.y}, tx, ty), 1);
        EXPECT_EQ(tx, c.tileX);
        EXPECT_EQ(ty, c.tileY);
    }
    int32_t tx = 0, ty = 0;
    EXPECT_EQ(CMgrConfigUIDataUserSafeDest::TileOfPosition({-1, 5}, tx, ty), 0);
}

TEST_F(UserSafeDestTest, FindByTileGivesTheRunOfATile) {
    auto store = Open();
    // Added out of tile order; list 10 orders by column, then row.
    const struct {
        const char* name;
        int32_t x, y;
    } points[] = {
        {"east", kX0 + kTileSide, kY0},          // 8131, 2407
        {"home 1", kX0 + 5, kY0 + 5},            // 8130, 2407
        {"north", kX0, kY0 + kTileSide},         // 8130, 2408
        {"home 2", kX0 + kTileSide - 1, kY0},    // 8130, 2407
        {"west", kX0 - 1, kY0 + kTileSide * 3},  // 8129, 2410
        {"home 3", kX0, kY0 + kTileSide - 1},    // 8130, 2407
    };
    for (const auto& p : points) store->AddItem(Point(p.name, p.x, p.y), 1);

    struct Case {
        int32_t tileX, tileY;
        int position, count;
    } const cases[] = {
        {kCol - 1, kRow + 3, 0, 1}, {kCol, kRow, 1, 3},  {kCol, kRow + 1, 4, 1},
        {kCol + 1, kRow, 5, 1},     {kCol, kRow - 1, -1, 0}, {kCol + 2, kRow, -1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.tileX << "," << c.tileY);
        int count = -7;
        EXPECT_EQ(store->FindByTile(c.tileX, c.tileY, &count), c.position);
        EXPECT_EQ(count, c.count);
        EXPECT_EQ(store->FindByTile(c.tileX, c.tileY, nullptr), c.position);
    }
    // The guidance services read the run in mode 10.
    int count = 0;
    const int first = store->FindByTile(kCol, kRow, &count);
    std::vector<std::string> run;
    for (int i = first; i < first + count; ++i) {
        _tagUISTRUCT_USERSAFEDEST p;
        ASSERT_EQ(store->GetItem(i, &p, 10), 1);
        run.push_back(NameOf(p));
    }
    std::sort(run.begin(), run.end());
    EXPECT_EQ(run, (std::vector<std::string>{"home 1", "home 2", "home 3"}));
    EXPECT_EQ(store->GetSortMode(), 10);
}

TEST_F(UserSafeDestTest, TwoHundredFirstPointDropsTheOldest) {
    auto store = Open();
    for (int i = 0; i < 201; ++i) {
        ASSERT_EQ(store->AddItem(Point(("P" + std::to_string(i)).c_str(), kX0 + i, kY0), 0), 1);
    }
    store->RebuildLists(0);
    EXPECT_EQ(store->GetCount(0), 200);
    EXPECT_EQ(store->GetCount(1), 200);
    std::vector<std::string> names = Names(*store, 0);
    EXPECT_EQ(names.front(), "P1");
    EXPECT_EQ(names.back(), "P200");
    // Both lists still name every remaining point once.
    for (int mode : {1, 10}) {
        SCOPED_TRACE(mode);
        std::vector<int> seen;
        for (int i = 0; i < 200; ++i) seen.push_back(store->GetStoredIndex(i, mode));
        std::sort(seen.begin(), seen.end());
        for (int i = 0; i < 200; ++i) ASSERT_EQ(seen[i], i);
    }
    ASSERT_EQ(store->Save(nullptr), 1);
    EXPECT_NE(FileBytes().find("nItemCount|1=200\r\n"), std::string::npos);
    EXPECT_EQ(FileBytes().find("SafeDest200."), std::string::npos);
}

TEST_F(UserSafeDestTest, SearchListsAndModes) {
    auto store = Open();
    for (const char* name : {"학교", "병원", "학원", "Bridge"}) store->AddItem(Point(name, kX0, kY0), 1);
    EXPECT_EQ(Names(*store, 1), (std::vector<std::string>{"학교", "병원", "학원", "Bridge"}));

    EXPECT_EQ(store->SearchByName(u"ㅎ"), 1);
    EXPECT_EQ(store->SearchByName(u"ㅎ"), 0);  // unchanged
    EXPECT_EQ(store->GetCount(1), 2);
    EXPECT_EQ(store->GetCount(10), 4);
    EXPECT_EQ(Names(*store, 1), (std::vector<std::string>{"학교", "학원"}));
    EXPECT_EQ(store->GetStoredIndex(1, 1), 2);
    EXPECT_EQ(store->GetStoredIndex(2, 1), -1);
    EXPECT_EQ(store->GetStoredIndex(3, 7), 3);  // other modes map to themselves
    EXPECT_EQ(store->GetStoredIndex(4, 7), -1);
    EXPECT_EQ(store->GetSortMode(), 7);
    EXPECT_EQ(store->GetStoredIndex(1, -1), 1);  // -1 keeps the current mode
    EXPECT_EQ(store->GetSortMode(), 7);

    // A new point joins list 1 only when it matches the search.
    store->AddItem(Point("한강", kX0, kY0), 1);
    store->AddItem(Point("Dam", kX0, kY0), 1);
    EXPECT_EQ(Names(*store, 1), (std::vector<std::string>{"학교", "학원", "한강"}));
    // A null buffer answers for every position below the number of points.
    EXPECT_EQ(store->GetItem(5, nullptr, 1), 1);
    EXPECT_EQ(store->GetItem(6, nullptr, 1), 0);
    EXPECT_EQ(store->GetItem(-1, nullptr, 1), 0);

    // After a refill list 1 holds every point although a text is stored.
    store->RebuildLists(1);
    EXPECT_EQ(store->GetSearchText(), u"ㅎ");
    EXPECT_EQ(store->GetCount(1), 6);

    // Delete through list 1 without a rebuild: the lists keep naming the
    // right points.
    store->SearchByName(u"");
    store->SearchByName(u"학");
    ASSERT_EQ(store->DeleteItem(1, 1, 0), 1);  // 학원
    EXPECT_EQ(Names(*store, 1), (std::vector<std::string>{"학교"}));
    EXPECT_EQ(store->GetCount(10), 5);
    EXPECT_EQ(store->DeleteItem(1, 1, 0), 0);
    ASSERT_EQ(store->DeleteItem(0, 0, 1), 1);  // 학교, then both lists refilled
    EXPECT_EQ(Names(*store, 1), (std::vector<std::string>{"병원", "Bridge", "한강", "Dam"}));

    // SetItem replaces the mapped point; a position that maps to none adds.
    ASSERT_EQ(store->SetItem(1, Point("Tunnel", kX0, kY0 + kTileSide), 0, 1), 1);
    ASSERT_EQ(store->SetItem(9, Point("Port", kX0 - kTileSide, kY0), 0, 1), 1);
    EXPECT_EQ(Names(*store, 0), (std::vector<std::string>{"병원", "Tunnel", "한강", "Dam", "Port"}));
    _tagUISTRUCT_USERSAFEDEST p;
    ASSERT_EQ(store->GetItem(0, &p, 10), 1);
    EXPECT_EQ(NameOf(p), "Port");
    ASSERT_EQ(store->GetItem(4, &p, 10), 1);
    EXPECT_EQ(NameOf(p), "Tunnel");
}

TEST_F(UserSafeDestTest, ResetItemZeroesAnEditRecord) {
    _tagUISTRUCT_USERSAFEDEST p = Point("x", kX0, kY0, 5);
    p.nIndex = 3;
    CMgrConfigUIDataUserSafeDest::ResetItem(&p);
    EXPECT_TRUE(p == _tagUISTRUCT_USERSAFEDEST{});
    CMgrConfigUIDataUserSafeDest::ResetItem(nullptr);
}

TEST_F(UserSafeDestTest, FilesAreReadAsFarAsTheyGoAndOnlyUnreadableOnesAreSetAside) {
    {
        auto store = Open();
        for (const char* name : {"A", "B", "C"}) store->AddItem(Point(name, kX0, kY0, 9), 1);
        ASSERT_EQ(store->Save(nullptr), 1);
    }
    const testsupport::FileEdits edit(FileBytes());
    struct Damage {
        const char* what;
        std::string bytes;
        int loads;
        std::vector<std::string> kept;
    } const cases[] = {
        {"cut inside a line", edit.CutAt("SafeDest001.nLimit", 6), 0, {}},
        {"no nNetworkVersion", edit.Cut("nNetworkVersion", "nItemCount"), 0, {}},
        {"no nItemCount", edit.Cut("nItemCount", "SafeDest000"), 0, {}},
        {"no nVersion", edit.Cut("nVersion", "nNetworkVersion"), 0, {}},
        // More points than the store holds: the store refuses the file.
        {"count over 200", edit.Replace("nItemCount|1=3", "nItemCount|1=201"), 0, {}},
        {"count huge", edit.Replace("nItemCount|1=3", "nItemCount|1=2147483647"), 0, {}},
        {"count negative", edit.Replace("nItemCount|1=3", "nItemCount|1=4294967295"), 0, {}},
        // Keys past the count are not read.
        {"count 1, two stray points", edit.Replace("nItemCount|1=3", "nItemCount|1=1"), 1, {"A"}},
        {"count lowered", edit.Replace("nItemCount|1=3", "nItemCount|1=2"), 1, {"A", "B"}},
        // Points the file does not hold are not made up.
        {"cut after point 1", edit.CutAt("SafeDest002."), 1, {"A", "B"}},
        {"count raised", edit.Replace("nItemCount|1=3", "nItemCount|1=4"), 1, {"A", "B", "C"}},
        // A key missing (an older file) leaves its field 0.
        {"a limit removed", edit.Cut("SafeDest001.nLimit", "SafeDest001.TileIDx"), 1, {"A", "B", "C"}},
        // "\xBC" is half a Hangul syllable.
        {"a name not CP949", edit.Replace("SafeDest001.PosInfo.szName|2=B", "SafeDest001.PosInfo.szName|2=\xBC"), 1,
         {"A", "", "C"}},
    };
    for (const Damage& d : cases) {
        SCOPED_TRACE(d.what);
        WriteFile(d.bytes);
        auto store = Open();
        EXPECT_EQ(store->Load(nullptr), d.loads);
        ExpectKeptOrSetAside(d.loads, d.bytes);
        EXPECT_EQ(Names(*store, 0), d.kept);
        if (std::string(d.what) == "a limit removed") {
            _tagUISTRUCT_USERSAFEDEST p;
            ASSERT_EQ(store->GetItem(1, &p, 0), 1);
            EXPECT_EQ(p.nLimit, 0);
        }
        ExpectRewrittenOrGone(d.loads, d.kept.size(), [&] { return Open()->GetCount(0); });
        RemoveErr();
    }
    // An empty store loads from a file with no points.
    WriteFile("nVersion|1=841887792\r\nnNetworkVersion|2=20100301\r\nnItemCount|1=0\r\n");
    auto empty = Open();
    EXPECT_EQ(empty->Load(nullptr), 1);
    EXPECT_EQ(empty->GetCount(0), 0);
}

}  // namespace
