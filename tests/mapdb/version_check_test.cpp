// The version trailer at the end of the released data files and the version
// record built from the five checked files.
#include "mapdb/version_check.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include "foundation/crash_report.h"
#include "platform/codepage.h"
#include "platform/file_io.h"
#include "support/temp_dir.h"
#include "tools/writers/version_trailer_writer.h"

namespace {

using writers::VersionStamp;

std::string Str(const std::vector<uint8_t>& b) { return std::string(b.begin(), b.end()); }

std::string Cp949(const std::u16string& text) {
    std::string out;
    EXPECT_TRUE(platform::Utf16ToCp949(text, out));
    return out;
}

TEST(VersionTrailerWriter, BytesComputedByHand) {
    const std::vector<uint8_t> t = writers::BuildVersionTrailer({3, 0x0102, 0x0A0B0C0D, "20100705"});
    ASSERT_EQ(t.size(), 48u);
    EXPECT_EQ(Str(t).substr(0, 12), "PELOXVERINFO");
    const std::vector<uint8_t> numbers(t.begin() + 12, t.begin() + 32);
    EXPECT_EQ(numbers, (std::vector<uint8_t>{0, 0, 0, 0, 3, 0, 0, 0, 0x02, 0x01, 0, 0, 0x0D, 0x0C, 0x0B, 0x0A,
                                             0, 0, 0, 0}));
    EXPECT_EQ(Str(t).substr(32), std::string("20100705\0\0\0\0\0\0\0\0", 16));
    // A date longer than 16 bytes is cut; exactly 16 leave no terminator.
    EXPECT_EQ(Str(writers::BuildVersionTrailer({1, 0, 0, "0123456789ABCDEFGH"})).substr(32), "0123456789ABCDEF");
}

TEST(ParseVersionTrailer, RoundTripAndRefusals) {
    const std::vector<uint8_t> t = writers::BuildVersionTrailer({7, 8, 9, "100705"});
    MneVersionTrailer out;
    ASSERT_EQ(ParseVersionTrailer(t.data(), t.size(), out), 1);
    EXPECT_EQ(out.major, 7u);
    EXPECT_EQ(out.minor, 8u);
    EXPECT_EQ(out.build, 9u);
    EXPECT_EQ(out.date, "100705");
    EXPECT_TRUE(std::equal(t.begin(), t.end(), out.raw.begin()));

    // Wrong length, damaged magic, null.
    EXPECT_EQ(ParseVersionTrailer(t.data(), 47, out), 0);
    std::vector<uint8_t> bad = t;
    bad[11] = '0';
    EXPECT_EQ(ParseVersionTrailer(bad.data(), bad.size(), out), 0);
    EXPECT_EQ(out.major, 0u);
    EXPECT_EQ(ParseVersionTrailer(nullptr, 48, out), 0);
}

class VersionFiles : public ::testing::Test {
protected:
    // The data root as the settings hand it over: ending with a separator.
    std::string Root() const { return dir.Path() + "/"; }
    void Put(const std::string& name, std::vector<uint8_t> bytes) {
        dir.Write(name, std::string(bytes.begin(), bytes.end()));
    }
    static std::vector<uint8_t> Body(size_t n) { return std::vector<uint8_t>(n, 0x5A); }
    static std::vector<uint8_t> Stamped(std::vector<uint8_t> body, const VersionStamp& s) {
        writers::AppendVersionTrailer(body, s);
        return body;
    }
    testsupport::TempDir dir;
};

TEST_F(VersionFiles, CheckVersionResults) {
    const VersionStamp stamp{2, 5, 31, "100601"};
    std::vector<uint8_t> trailing = Stamped(Body(100), stamp);
    trailing.push_back(0);  // one byte after the trailer: it is no longer the last 48
    std::vector<uint8_t> damaged = Stamped(Body(10), stamp);
    damaged[10] = 'p';  // "pELOXVERINFO"
    const std::vector<uint8_t> trailer = writers::BuildVersionTrailer(stamp);
    const struct {
        const char* what;
        std::optional<std::vector<uint8_t>> bytes;  // nullopt: no file
        int want;
    } cases[] = {
        {"missing file", std::nullopt, kMneVersionCannotOpen},
        {"empty file", Body(0), kMneVersionCannotOpen},
        {"47 bytes: the seek fails", std::vector<uint8_t>(trailer.begin(), trailer.end() - 1), kMneVersionCannotOpen},
        {"only the trailer", trailer, kMneVersionValid},
        {"map body and trailer", Stamped(Body(4000), stamp), kMneVersionValid},
        {"no trailer", Body(4000), kMneVersionNoTrailer},
        {"trailer not at the end", trailing, kMneVersionNoTrailer},
        {"damaged magic", damaged, kMneVersionNoTrailer},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        testsupport::TempDir root;
        if (c.bytes) root.Write("Map/Base.map", Str(*c.bytes));
        MneVersionTrailer out;
        out.major = 99;
        EXPECT_EQ(CheckVersion(root.Path() + "/", kMneVersionBaseMap, &out), c.want);
        if (c.want == kMneVersionValid) {
            EXPECT_EQ(out.major, 2u);
            EXPECT_EQ(out.minor, 5u);
            EXPECT_EQ(out.build, 31u);
            EXPECT_EQ(out.date, "100601");
        } else {
            EXPECT_EQ(out.major, 0u);  // nothing half-read is handed out
        }
    }
    EXPECT_EQ(CheckVersion(Root(), 5, nullptr), kMneVersionCannotOpen);
    EXPECT_EQ(CheckVersion(Root(), -1, nullptr), kMneVersionCannotOpen);
}

TEST_F(VersionFiles, FileNamesMatchCaseInsensitively) {
    Put("MAP/cameraT1.MAP", Stamped(Body(5), {4, 0, 1, "x"}));
    Put("search/NVR.sdb", Stamped(Body(5), {6, 1, 0, "y"}));
    EXPECT_EQ(CheckVersion(Root(), kMneVersionCameraT1, nullptr), kMneVersionValid);
    EXPECT_EQ(CheckVersion(Root(), kMneVersionSearch, nullptr), kMneVersionValid);
    EXPECT_STREQ(MneVersionFileName(kMneVersionRoad), "\\Map\\Road.ndb");
    EXPECT_EQ(MneVersionFileName(5), nullptr);
}

TEST_F(VersionFiles, RecordShowsVersionsAndDefaults) {
    Put("Map/CameraT1.map", Stamped(Body(300), {1, 2, 3, "100701"}));
    // CameraT2.map missing.
    Put("Map/Base.map", Body(2000));  // no trailer
    Put("Map/Road.ndb", Stamped(Body(1), {12, 34, 5678, Cp949(u"2010년7월5일")}));
    Put("Search/nvr.sdb", Stamped(Body(9), {0, 0, 0, "0123456789ABCDEF"}));

    MneVersionRecord rec;
    rec.reserved[0] = u'x';
    ASSERT_EQ(GetVersionInfo(Root(), rec), 1);
    EXPECT_EQ(MneVersionFieldText(rec.programVersion), u"2.2.19");
    EXPECT_EQ(MneVersionFieldText(rec.reserved), u"");
    EXPECT_EQ(MneVersionFieldText(rec.programBuild), u"100705");
    const struct {
        int index;
        std::u16string version, date;
    } want[] = {
        {kMneVersionCameraT1, u"1.2.3", u"100701"},
        {kMneVersionCameraT2, u"1.0.0", u"000000"},
        {kMneVersionBaseMap, u"1.0.0", u"000000"},
        {kMneVersionRoad, u"12.34.5678", u"2010년7월5일"},
        {kMneVersionSearch, u"0.0.0", u"0123456789ABCDEF"},  // 16 units, no terminator
    };
    for (const auto& w : want) {
        SCOPED_TRACE(w.index);
        EXPECT_EQ(MneVersionFieldText(rec.fileVersion[w.index]), w.version);
        EXPECT_EQ(MneVersionFieldText(rec.fileDate[w.index]), w.date);
    }
    // Fields shorter than 16 units are NUL-padded to the end.
    EXPECT_EQ(rec.fileVersion[kMneVersionCameraT1][5], u'\0');
    EXPECT_EQ(rec.fileVersion[kMneVersionCameraT1][15], u'\0');
}

TEST(FillVersionLine, DamagedTrailerTextsGiveTheDefaultLine) {
    const struct {
        const char* what;
        VersionStamp stamp;
        std::u16string version, date;
    } cases[] = {
        {"fits", {123, 456, 78901, "ok"}, u"123.456.78901", u"ok"},
        // "%d" of the stored words: the largest value shows as -1.
        {"all ones", {0xFFFFFFFFu, 0, 0, "d"}, u"-1.0.0", u"d"},
        // 16 characters would overrun the field and its terminator.
        {"version too long", {1000000000, 10000, 1, "d"}, u"1.0.0", u"000000"},
        {"date not CP949", {1, 1, 1, "\xFF\xFF"}, u"1.0.0", u"000000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto bytes = writers::BuildVersionTrailer(c.stamp);
        MneVersionTrailer t;
        ASSERT_EQ(ParseVersionTrailer(bytes.data(), bytes.size(), t), 1);
        MneVersionField version, date;
        FillVersionLine(kMneVersionValid, t, version, date);
        EXPECT_EQ(MneVersionFieldText(version), c.version);
        EXPECT_EQ(MneVersionFieldText(date), c.date);
    }
    MneVersionTrailer any;
    MneVersionField version, date;
    FillVersionLine(kMneVersionNoTrailer, any, version, date);
    EXPECT_EQ(MneVersionFieldText(version), u"1.0.0");
    EXPECT_EQ(MneVersionFieldText(date), u"000000");
}

// Runs in a child so the crash handler stays out of the other tests.
void WriteReportAfterVersionCheck(const std::string& root, const std::string& report) {
    InstallCrashHandler(report);
    MneVersionRecord rec;
    GetVersionInfo(root, rec);
    WriteCrashLog(CrashRecord{}, "VERSION");
    _exit(0);
}

TEST_F(VersionFiles, CrashReportNamesTheVersions) {
    Put("Map/CameraT1.map", Stamped(Body(3), {3, 1, 4, "c"}));
    Put("Map/Road.ndb", Stamped(Body(3), {2, 7, 1, "r"}));
    Put("Search/nvr.sdb", Stamped(Body(3), {8, 2, 8, "s"}));
    const std::string report = dir.File("errlog.txt");
    EXPECT_EXIT(WriteReportAfterVersionCheck(Root(), report), ::testing::ExitedWithCode(0), "");
    const std::string text = dir.Read("errlog.txt");
    for (const char* line :
         {"PeloxWiz\t2.2.19\n", "BASEMAP\t\t1.0.0\n", "NETWORK\t\t2.7.1\n", "SEARCH\t\t8.2.8\n", "CAMERA\t\t3.1.4\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line << " in\n" << text;
}

}  // namespace
