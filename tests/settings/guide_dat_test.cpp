// The saved route "\Guide.dat": its bytes, the files the program must
// refuse, and the guidance object saving and loading it in the route
// folder — a refused or failed file never costs the route guidance had or
// the file saved before, not even when the saving process is killed.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "foundation/debug_trace.h"
#include "platform/codepage.h"
#include "platform/file_io.h"
#include "settings/global_data.h"
#include "settings/guide_dat.h"
#include "settings/module_rp.h"
#include "settings/module_svc.h"
#include "support/killed_child.h"
#include "support/temp_dir.h"
#include "tools/writers/guide_dat_writer.h"
#include "tools/writers/version_trailer_writer.h"

namespace {

using testsupport::TempDir;
using writers::GuideDatDesc;

constexpr char16_t kGuideName[] = u"\\Guide.dat";

// A route as a test writes it down: the point records by tag letter and the
// link ids in driving order.
struct RouteDesc {
    int32_t routeWord = 0;
    std::string pointTags;
    std::vector<int32_t> links;
};

GuideRoutePoint Point(char tag) {
    GuideRoutePoint p;
    std::fill(std::begin(p.bytes), std::end(p.bytes), static_cast<uint8_t>(tag));
    return p;
}

// What the object holds of its selected route, in the file's terms.
GuideDatRecord Snapshot(CMgrConfigModuleSVC& svc) {
    GuideDatRecord r;
    MgrLock hold(*svc.GetLock());
    r.routeKind = svc.GetRouteKind();
    r.moduleState = svc.GetState();
    r.dataPresent = svc.IsGuideDataPresent();
    const GuideRoute& route = svc.SelectedRoute();
    r.routeWord = route.routeWord;
    r.pointCount = svc.GetRoutePointCount();
    for (int i = 0; i < r.pointCount; ++i) svc.GetRoutePoint(i, &r.points[i]);
    if (route.LinkIds()) r.links.assign(route.LinkIds(), route.LinkIds() + route.linkCount);
    return r;
}

GuideDatRecord Expected(const RouteDesc& d, int32_t kind) {
    GuideDatRecord r;
    r.routeKind = kind;
    r.moduleState = 3;
    r.dataPresent = 1;
    r.routeWord = d.routeWord;
    r.pointCount = static_cast<int32_t>(d.pointTags.size());
    for (size_t i = 0; i < d.pointTags.size(); ++i) r.points[i] = Point(d.pointTags[i]);
    r.links = d.links;
    return r;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::vector<uint8_t> bytes;
    platform::ReadWholeFile(path, bytes);
    return bytes;
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    ASSERT_TRUE(platform::AtomicReplaceFile(path, bytes));
}

class GuideFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetDebugTraceSink([](std::string_view) {}, false);
        CMgrConfigGlobalData& global = CMgrConfigGlobalData::Instance();
        std::copy(std::begin(global.m_routeFolder), std::end(global.m_routeFolder), m_savedRouteFolder);
        SetFolder(global.m_routeFolder, m_dir.Path());
        GuideMapServices services;
        services.mapVersion = [this](std::u16string& out) {
            out = m_mapVersion;
            return out.empty() ? 0 : 1;
        };
        SetGuideMapServices(services);
        // The planner's result 0 is a route of kind 2.
        MgrConfigModuleRP::Instance()->FreeAllResults();
        RouteResultInput result;
        result.mode = 0x2;
        ASSERT_EQ(MgrConfigModuleRP::Instance()->AddRouteResult(result, 1), 1);
    }
    void TearDown() override {
        CMgrConfigGlobalData& global = CMgrConfigGlobalData::Instance();
        std::copy(std::begin(m_savedRouteFolder), std::end(m_savedRouteFolder), global.m_routeFolder);
        SetGuideMapServices({});
        MgrConfigModuleRP::Instance()->FreeAllResults();
        SetDebugTraceSink({});
    }

    static void SetFolder(char16_t (&field)[CMgrConfigGlobalData::kTextChars], const std::string& path) {
        const std::u16string text = platform::Utf8ToUtf16(path);
        ASSERT_LT(text.size(), static_cast<size_t>(CMgrConfigGlobalData::kTextChars));
        std::fill(std::begin(field), std::end(field), u'\0');
        std::copy(text.begin(), text.end(), field);
    }

    // Puts a route into guidance the way a drive screen does: the guidance
    // service fills slot 0, the screen selects it.
    static void Adopt(CMgrConfigModuleSVC& svc, const RouteDesc& d) {
        GuideRoute route;
        ASSERT_TRUE(route.AllocateArrays(static_cast<int32_t>(d.links.size())));
        route.routeWord = d.routeWord;
        std::copy(d.links.begin(), d.links.end(), route.LinkIds());
        std::vector<GuideRoutePoint> points;
        for (char tag : d.pointTags) points.push_back(Point(tag));
        ASSERT_EQ(svc.SetSlotRoute(0, std::move(route), points.data(), static_cast<int>(points.size())), 1);
        ASSERT_EQ(svc.SelectSlot(0), 1);
        svc.SetState(CMgrConfigModuleSVC::kStateGuiding);
    }

    std::string FilePath() const { return m_dir.File("Guide.dat"); }

    TempDir m_dir;
    std::u16string m_mapVersion = u"3.1.20";
    char16_t m_savedRouteFolder[CMgrConfigGlobalData::kTextChars] = {};

    const RouteDesc m_routeA{7, "ABC", {101, 102, 103 | (1 << 27), 104}};
    const RouteDesc m_routeB{9, "XY", {201, 202, 203, 204, 205}};
};

TEST(GuideDatBytes, WriterMatchesTheLayoutByHand) {
    GuideDatDesc desc;
    desc.mapVersion = u"2.10.7";
    desc.routeKind = 2;
    desc.routeWord = 0x01020304;
    desc.pointTags = {0xAB};
    desc.links = {5, -1};
    const std::vector<uint8_t> b = writers::BuildGuideDat(desc);
    ASSERT_EQ(b.size(), 84u + 40 + 4 + 8 + 8);
    const std::vector<uint8_t> head(b.begin(), b.begin() + 8);
    EXPECT_EQ(head, (std::vector<uint8_t>{'2', 0, '.', 0, '1', 0, '0', 0}));
    EXPECT_EQ(b[10], '7');
    EXPECT_EQ(b[12], 0);  // zero-filled to 32 bytes
    EXPECT_EQ(b[31], 0);
    EXPECT_EQ(b[32], '1');
    EXPECT_EQ(b[40], '0');
    EXPECT_EQ(b[42], 0);
    const std::vector<uint8_t> words(b.begin() + 64, b.begin() + 84);
    EXPECT_EQ(words, (std::vector<uint8_t>{2, 0, 0, 0, 3, 0, 0, 0, 1, 0, 0, 0, 4, 3, 2, 1, 1, 0, 0, 0}));
    EXPECT_EQ(b[84], 0xAB);
    EXPECT_EQ(b[123], 0xAB);
    const std::vector<uint8_t> links(b.begin() + 124, b.begin() + 136);
    EXPECT_EQ(links, (std::vector<uint8_t>{2, 0, 0, 0, 5, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(std::string(b.begin() + 136, b.begin() + 140), "GDCK");
    const uint32_t crc = b[140] | b[141] << 8 | b[142] << 16 | static_cast<uint32_t>(b[143]) << 24;
    EXPECT_EQ(crc, GuideDatCrc32(b.data(), 136));

    // The standard check value of the zip CRC-32.
    const std::string check = "123456789";
    EXPECT_EQ(GuideDatCrc32(reinterpret_cast<const uint8_t*>(check.data()), check.size()), 0xCBF43926u);

    // The program's own encoder writes the same bytes.
    GuideDatRecord record;
    record.mapVersion = u"2.10.7";
    record.routeKind = 2;
    record.routeWord = 0x01020304;
    record.pointCount = 1;
    std::fill(std::begin(record.points[0].bytes), std::end(record.points[0].bytes), 0xAB);
    record.links = {5, -1};
    std::vector<uint8_t> encoded;
    ASSERT_TRUE(EncodeGuideDat(record, encoded));
    EXPECT_EQ(encoded, b);
}

TEST(GuideDatBytes, DecodeAcceptsAndRefuses) {
    struct Case {
        const char* what;
        GuideDatDesc desc;
        std::u16string currentMap;
        GuideDatStatus expected;
    };
    const auto desc = [](auto edit) {
        GuideDatDesc s;
        s.mapVersion = u"3.1.20";
        s.pointTags = {'A', 'B'};
        s.links = {11, 12, 13};
        edit(s);
        return s;
    };
    const Case cases[] = {
        {"a route", desc([](GuideDatDesc&) {}), u"3.1.20", GuideDatStatus::kOk},
        {"an older file without the check trailer", desc([](GuideDatDesc& s) { s.checkTrailer = false; }), u"3.1.20",
         GuideDatStatus::kOk},
        {"no links", desc([](GuideDatDesc& s) { s.links.clear(); }), u"3.1.20", GuideDatStatus::kOk},
        {"18 points", desc([](GuideDatDesc& s) { s.pointTags.assign(18, 'P'); }), u"3.1.20", GuideDatStatus::kOk},
        {"a version of 20 characters compares its first 15",
         desc([](GuideDatDesc& s) { s.mapVersion = u"123456789012345"; }), u"12345678901234567890",
         GuideDatStatus::kOk},
        {"another map", desc([](GuideDatDesc&) {}), u"3.2.0", GuideDatStatus::kOtherMap},
        {"a map version of 16 units", desc([](GuideDatDesc& s) { s.mapVersion = u"1234567890123456"; }),
         u"1234567890123456", GuideDatStatus::kOtherMap},
        {"another file version", desc([](GuideDatDesc& s) { s.fileVersion = u"1.0.1"; }), u"3.1.20",
         GuideDatStatus::kOtherFileVersion},
        {"19 points", desc([](GuideDatDesc& s) { s.pointTags.assign(19, 'P'); }), u"3.1.20",
         GuideDatStatus::kTooManyPoints},
        {"a negative point count", desc([](GuideDatDesc& s) { s.pointCount = INT32_MIN; }), u"3.1.20",
         GuideDatStatus::kTooManyPoints},
        {"more points counted than stored", desc([](GuideDatDesc& s) { s.pointCount = 18; }), u"3.1.20",
         GuideDatStatus::kTruncated},
        {"more links counted than the file holds", desc([](GuideDatDesc& s) { s.linkCount = 6; }),
         u"3.1.20", GuideDatStatus::kBadLinkCount},
        {"a link count of two thousand million", desc([](GuideDatDesc& s) { s.linkCount = 2000000000; }),
         u"3.1.20", GuideDatStatus::kBadLinkCount},
        {"fewer links counted than stored", desc([](GuideDatDesc& s) { s.linkCount = 1; }), u"3.1.20",
         GuideDatStatus::kTrailingBytes},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<uint8_t> bytes = writers::BuildGuideDat(c.desc);
        GuideDatRecord out;
        out.routeWord = 77;
        const GuideDatStatus status = DecodeGuideDat(bytes.data(), bytes.size(), c.currentMap, out);
        EXPECT_EQ(status, c.expected) << GuideDatStatusText(status);
        if (status == GuideDatStatus::kOk) {
            EXPECT_EQ(out.links, c.desc.links);
            EXPECT_EQ(out.pointCount, static_cast<int32_t>(c.desc.pointTags.size()));
        } else {
            EXPECT_EQ(out.routeWord, 77) << "a refused file changes nothing";
        }
    }
}

TEST_F(GuideFileTest, SavedRouteLoadsBackWhole) {
    CMgrConfigModuleSVC saver;
    Adopt(saver, m_routeA);
    ASSERT_EQ(saver.SaveGuideData(kGuideName), 1);
    EXPECT_EQ(ReadBytes(FilePath()).size(), 84u + 3 * 40 + 4 + 4 * 4 + 8);

    CMgrConfigModuleSVC loader;
    ASSERT_EQ(loader.LoadGuideData(kGuideName), 1);
    EXPECT_EQ(Snapshot(loader), Expected(m_routeA, 2));
    EXPECT_EQ(loader.IsGuiding(), 1);
    // The other 17 tables are there, as long as the link table, and zero.
    MgrLock hold(*loader.GetLock());
    const GuideRoute& route = loader.SelectedRoute();
    for (int a = 1; a < kGuideRouteArrayCount; ++a) {
        SCOPED_TRACE(a);
        ASSERT_EQ(route.arrays[a].Count(), 4);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(route.arrays[a][i], 0);
    }
}

TEST_F(GuideFileTest, RouteOfAnotherMapVersionIsRefused) {
    CMgrConfigModuleSVC svc;
    Adopt(svc, m_routeA);
    ASSERT_EQ(svc.SaveGuideData(kGuideName), 1);

    m_mapVersion = u"3.2.0";  // the map was replaced
    CMgrConfigModuleSVC loader;
    Adopt(loader, m_routeB);
    EXPECT_EQ(loader.LoadGuideData(kGuideName), 0);
    EXPECT_EQ(Snapshot(loader), Expected(m_routeB, 2));

    m_mapVersion.clear();  // no map at all
    EXPECT_EQ(loader.LoadGuideData(kGuideName), 0);
}

TEST_F(GuideFileTest, RefusedFilesLeaveTheRouteAsItWas) {
    GuideDatDesc nineteenPoints;
    nineteenPoints.mapVersion = m_mapVersion;
    nineteenPoints.pointTags.assign(19, 'P');
    nineteenPoints.links = {1, 2};
    GuideDatDesc otherFileVersion;
    otherFileVersion.mapVersion = m_mapVersion;
    otherFileVersion.fileVersion = u"2.0.0";
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {
        {"19 points", writers::BuildGuideDat(nineteenPoints)},
        {"another file version", writers::BuildGuideDat(otherFileVersion)},
        {"an empty file", {}},
    };

    CMgrConfigModuleSVC svc;
    Adopt(svc, m_routeA);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteBytes(FilePath(), c.bytes);
        EXPECT_EQ(svc.LoadGuideData(kGuideName), 0);
        EXPECT_EQ(Snapshot(svc), Expected(m_routeA, 2));
    }
    EXPECT_EQ(svc.LoadGuideData(u"\\Missing.dat"), 0);
    EXPECT_EQ(svc.LoadGuideData(nullptr), 0);
}

TEST_F(GuideFileTest, RouteWithoutLinksLoadsWithEmptyTables) {
    GuideDatDesc desc;
    desc.mapVersion = m_mapVersion;
    desc.routeKind = 4;
    desc.pointTags = {'S', 'G'};
    WriteBytes(FilePath(), writers::BuildGuideDat(desc));

    CMgrConfigModuleSVC svc;
    Adopt(svc, m_routeA);
    ASSERT_EQ(svc.LoadGuideData(kGuideName), 1);
    EXPECT_EQ(Snapshot(svc), Expected(RouteDesc{0, "SG", {}}, 4));
    MgrLock hold(*svc.GetLock());
    for (const auto& array : svc.SelectedRoute().arrays) EXPECT_TRUE(array.Empty());
}

TEST_F(GuideFileTest, DamagedFilesAreRefusedAndTheRouteStays) {
    CMgrConfigModuleSVC saver;
    Adopt(saver, m_routeB);
    ASSERT_EQ(saver.SaveGuideData(kGuideName), 1);
    const std::vector<uint8_t> good = ReadBytes(FilePath());

    CMgrConfigModuleSVC svc;
    Adopt(svc, m_routeA);
    const GuideDatRecord routeA = Expected(m_routeA, 2);

    // Cut anywhere. Only the cut that drops exactly the check trailer
    // leaves a whole older-style file, and that still holds route B.
    for (size_t keep = 0; keep < good.size(); ++keep) {
        SCOPED_TRACE("kept " + std::to_string(keep) + " bytes");
        WriteBytes(FilePath(), std::vector<uint8_t>(good.begin(), good.begin() + keep));
        if (keep == good.size() - kGuideDatCheckBytes) {
            ASSERT_EQ(svc.LoadGuideData(kGuideName), 1);
            EXPECT_EQ(Snapshot(svc), Expected(m_routeB, 2));
            Adopt(svc, m_routeA);
            continue;
        }
        ASSERT_EQ(svc.LoadGuideData(kGuideName), 0);
        ASSERT_EQ(Snapshot(svc), routeA);
    }
    // Every single bit flipped.
    for (size_t bit = 0; bit < good.size() * 8; ++bit) {
        SCOPED_TRACE("bit " + std::to_string(bit));
        std::vector<uint8_t> bad = good;
        bad[bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
        WriteBytes(FilePath(), bad);
        ASSERT_EQ(svc.LoadGuideData(kGuideName), 0);
        ASSERT_EQ(Snapshot(svc), routeA);
    }
}

TEST_F(GuideFileTest, FailedSaveKeepsThePreviousFile) {
    CMgrConfigModuleSVC svc;
    Adopt(svc, m_routeA);
    ASSERT_EQ(svc.SaveGuideData(kGuideName), 1);
    const std::vector<uint8_t> before = ReadBytes(FilePath());
    Adopt(svc, m_routeB);

    m_mapVersion.clear();  // the map version is not available
    EXPECT_EQ(svc.SaveGuideData(kGuideName), 0);
    EXPECT_EQ(ReadBytes(FilePath()), before);
    m_mapVersion = u"3.1.20";

    // A write that fails half-way: a child limited to files of 100 bytes.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{100, 100};
        setrlimit(RLIMIT_FSIZE, &limit);
        _exit(svc.SaveGuideData(kGuideName) == 0 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the failed write was reported as success";
    EXPECT_EQ(ReadBytes(FilePath()), before);

    EXPECT_EQ(svc.SaveGuideData(u"\\NoSuchFolder\\Guide.dat"), 0);
    EXPECT_EQ(svc.SaveGuideData(nullptr), 0);
    // Before the global settings name a route folder.
    SetFolder(CMgrConfigGlobalData::Instance().m_routeFolder, "");
    EXPECT_EQ(svc.SaveGuideData(kGuideName), 0);
    EXPECT_EQ(svc.LoadGuideData(kGuideName), 0);
}

TEST_F(GuideFileTest, WithoutGuidanceDataTheFileIsEmptied) {
    CMgrConfigModuleSVC svc;
    Adopt(svc, m_routeA);
    ASSERT_EQ(svc.SaveGuideData(kGuideName), 1);
    CMgrConfigModuleSVC idle;
    m_mapVersion.clear();  // not needed for an empty file
    ASSERT_EQ(idle.SaveGuideData(kGuideName), 1);
    EXPECT_TRUE(ReadBytes(FilePath()).empty());
    EXPECT_TRUE(platform::FileExists(FilePath()));
    EXPECT_EQ(idle.LoadGuideData(kGuideName), 0);
}

TEST_F(GuideFileTest, DeleteAndFileVersion) {
    CMgrConfigModuleSVC svc;
    Adopt(svc, m_routeA);
    ASSERT_EQ(svc.SaveGuideData(kGuideName), 1);
    EXPECT_EQ(svc.DeleteGuideFile(kGuideName), 1);
    EXPECT_FALSE(platform::FileExists(FilePath()));
    EXPECT_EQ(svc.DeleteGuideFile(kGuideName), 1);  // already gone
    std::u16string version;
    EXPECT_EQ(svc.GetGuideFileVersion(&version), 1);
    EXPECT_EQ(version, u"1.0.0");
}

TEST_F(GuideFileTest, DefaultMapVersionIsTheBaseMapsVersionLine) {
    TempDir root;
    CMgrConfigGlobalData& global = CMgrConfigGlobalData::Instance();
    char16_t savedRoot[CMgrConfigGlobalData::kTextChars];
    std::copy(std::begin(global.m_rootFolder), std::end(global.m_rootFolder), savedRoot);
    SetFolder(global.m_rootFolder, root.Path());
    SetGuideMapServices({});

    CMgrConfigModuleSVC svc;
    Adopt(svc, m_routeA);
    EXPECT_EQ(svc.SaveGuideData(kGuideName), 0) << "no base map, no version";

    ASSERT_TRUE(std::filesystem::create_directories(root.File("Map")));
    ASSERT_TRUE(writers::StampFileVersion(root.File("Map/Base.map"), {4, 5, 6, "20100705"}));
    ASSERT_EQ(svc.SaveGuideData(kGuideName), 1);
    const std::vector<uint8_t> bytes = ReadBytes(FilePath());
    ASSERT_GE(bytes.size(), 12u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 12),
              (std::vector<uint8_t>{'4', 0, '.', 0, '5', 0, '.', 0, '6', 0, 0, 0}));
    CMgrConfigModuleSVC loader;
    EXPECT_EQ(loader.LoadGuideData(kGuideName), 1);

    ASSERT_TRUE(writers::StampFileVersion(root.File("Map/Base.map"), {4, 6, 0, "20101001"}));
    EXPECT_EQ(loader.LoadGuideData(kGuideName), 0) << "the base map was replaced";

    std::copy(std::begin(savedRoot), std::end(savedRoot), global.m_rootFolder);
}

// A process killed at any moment of a save leaves a file holding one of
// the routes it saved, whole; never a mixture, a cut route or nothing.
TEST_F(GuideFileTest, KilledSaveNeverLeavesAnotherRoute) {
    // On a memory file system when there is one: the rounds then cost the
    // forks, not the disk's flushes.
    std::string folder = m_dir.Path();
    char shm[] = "/dev/shm/guide_dat_test.XXXXXX";
    const bool inMemory = mkdtemp(shm) != nullptr;
    if (inMemory) folder = shm;
    SetFolder(CMgrConfigGlobalData::Instance().m_routeFolder, folder);
    struct RemoveAfter {
        std::string path;
        ~RemoveAfter() {
            std::error_code ec;
            if (!path.empty()) std::filesystem::remove_all(path, ec);
        }
    } removeAfter{inMemory ? folder : std::string()};

    CMgrConfigModuleSVC svc;
    Adopt(svc, m_routeA);
    ASSERT_EQ(svc.SaveGuideData(kGuideName), 1);
    const GuideDatRecord routeA = Expected(m_routeA, 2);
    // Route B longer than A: a torn file could pass for neither.
    RouteDesc longB = m_routeB;
    for (int32_t id = 300; longB.links.size() < 4000; ++id) longB.links.push_back(id);
    const GuideDatRecord routeB = Expected(longB, 2);

    std::mt19937 random(20101005);
    // Killed at a random point of the child's own round of saves (B, then
    // A), whatever the disk's speed.
    std::uniform_real_distribution<double> fraction(0.0, 1.0);
    int sawA = 0, sawB = 0;
    for (int round = 0; round < 200; ++round) {
        ASSERT_TRUE(testsupport::KillChildPartWayThroughARound(
            [&](const std::function<void()>& stepDone) {
                CMgrConfigModuleSVC a, b;
                Adopt(a, m_routeA);
                Adopt(b, longB);
                for (;;) {
                    b.SaveGuideData(kGuideName);
                    stepDone();
                    a.SaveGuideData(kGuideName);
                    stepDone();
                }
            },
            2, fraction(random)));

        CMgrConfigModuleSVC loader;
        ASSERT_EQ(loader.LoadGuideData(kGuideName), 1) << "round " << round;
        const GuideDatRecord got = Snapshot(loader);
        const bool isA = got == routeA;
        const bool isB = got == routeB;
        ASSERT_TRUE(isA || isB) << "round " << round;
        sawA += isA;
        sawB += isB;
    }
    std::printf("killed saves: route A %d times, route B %d times\n", sawA, sawB);
    EXPECT_GT(sawA, 0);
    EXPECT_GT(sawB, 0);

    // The next save clears the temporary files the killed savers left.
    ASSERT_EQ(svc.SaveGuideData(kGuideName), 1);
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 1);
}

}  // namespace
