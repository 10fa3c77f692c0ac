// The sentence parser, the binary frames, the fix filter, the receive split
// and the log store, on hand-made input with hand-computed results.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "foundation/debug_trace.h"
#include "positioning/gps_fix.h"
#include "positioning/gps_log.h"
#include "positioning/gps_parser.h"
#include "positioning/gps_port.h"
#include "support/temp_dir.h"

namespace {

// Appends "*hh" over the body after '$'.
std::string WithChecksum(const std::string& body) {
    unsigned sum = 0;
    for (size_t i = 1; i < body.size(); ++i) sum ^= static_cast<unsigned char>(body[i]);
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X\r\n", sum);
    return body + tail;
}

const std::string kGga = WithChecksum("$GPGGA,030719.000,3747.0873,S,17518.8938,E,1,08,1.1,59.9,M,23.7,M,,0000");
std::string Rmc(const std::string& status, const std::string& course = "181.39",
                const std::string& talker = "GP") {
    return WithChecksum("$" + talker + "RMC,235959.000," + status + ",3747.0873,S,17518.8938,E,10.0," + course +
                        ",311214,,,A");
}

TEST(GpsParser, RmcFieldsAsTheRecordKeepsThem) {
    CGPSParser p;
    p.SetFilterEnabled(false);
    ASSERT_EQ(p.ParseNmea(kGga), kGpsParseGga);
    ASSERT_EQ(p.ParseNmea(Rmc("A")), kGpsParseRmc);
    const GpsFixRecord& f = p.Record();
    // 23:59:59 UTC on 31 Dec 2014 is 08:59:59 local on 1 Jan 2015.
    EXPECT_EQ(f.year, 2015);
    EXPECT_EQ(f.month, 1);
    EXPECT_EQ(f.day, 1);
    EXPECT_EQ(f.hour, 8);
    EXPECT_EQ(f.second, 59);
    EXPECT_EQ(f.speedKmh, 19);   // 10 knots x 1.852 = 18.52
    EXPECT_EQ(f.headingDeg, 181);
    EXPECT_EQ(f.hdopX10, 11);
    EXPECT_EQ(f.satellitesUsed, 8);
    EXPECT_EQ(f.northSouth, 'S');
    EXPECT_EQ(f.eastWest, 'E');
    EXPECT_DOUBLE_EQ(f.latitudeNmea, -3747.0873);
    EXPECT_EQ(f.latitude.degrees, 37);
    EXPECT_EQ(f.latitude.minutes, 47);
    EXPECT_NEAR(f.latitude.seconds, 0.0873 * 60, 1e-9);
    EXPECT_EQ(f.status, 'A');
}

TEST(GpsParser, OutsizedSpeedAndCourseStayInTheRecordsRange) {
    struct Case {
        const char* speedKnots;
        const char* course;
        int speedKmh;
        int headingDeg;
    };
    const Case cases[] = {
        {"9e62", "1e300", 255, -1},   // any heading in 0..359
        {"-5", "-90.5", 0, 270},
        {"200", "719.9", 255, 359},   // 370.4 km/h is held to the byte
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.speedKnots);
        CGPSParser p;
        p.SetFilterEnabled(false);
        ASSERT_EQ(p.ParseNmea(kGga), kGpsParseGga);
        ASSERT_EQ(p.ParseNmea(WithChecksum(std::string("$GPRMC,235959.000,A,3747.0873,S,17518.8938,E,") +
                                           c.speedKnots + "," + c.course + ",311214,,,A")),
                  kGpsParseRmc);
        EXPECT_EQ(p.Record().speedKmh, c.speedKmh);
        if (c.headingDeg >= 0) {
            EXPECT_EQ(p.Record().headingDeg, c.headingDeg);
        }
        EXPECT_LT(p.Record().headingDeg, 360);
    }
}

TEST(GpsParser, DamagedAndForeignLinesAreDropped) {
    const std::string good = Rmc("A");
    std::string wrongDigit = good;
    wrongDigit[wrongDigit.find('*') + 2] = wrongDigit[wrongDigit.find('*') + 2] == '0' ? '1' : '0';
    std::string nonHex = good;
    nonHex[nonHex.find('*') + 1] = 'G';
    struct Case {
        const char* what;
        std::string line;
    } cases[] = {
        {"one wrong checksum digit", wrongDigit},
        {"non-hex checksum character", nonHex},
        {"no checksum", "$GPRMC,235959.000,A,3747.0873,S,17518.8938,E,10.0,181.39,311214,,,A\r\n"},
        {"proprietary sentence", WithChecksum("$PGRME,15.0,M,45.0,M,25.0,M")},
        {"other sentence", WithChecksum("$GPVTG,181.39,T,,M,10.0,N,18.5,K,A")},
        {"unknown talker", Rmc("A", "181.39", "XX")},
        {"comment", "# a comment\n"},
        {"GSV message 0", WithChecksum("$GPGSV,3,0,12,17,72,207,32")},
        {"GSV message past its count", WithChecksum("$GPGSV,2,3,12,17,72,207,32")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CGPSParser p;
        ASSERT_EQ(p.ParseNmea(good), kGpsParseRmc);
        const GpsFixRecord before = p.Record();
        EXPECT_EQ(p.ParseNmea(c.line), kGpsParseNone);
        EXPECT_EQ(p.Record().latitudeNmea, before.latitudeNmea);
    }
}

TEST(GpsParser, EveryGnssTalkerAndTheNmea41FieldCounts) {
    for (const char* talker : {"GP", "GN", "GL", "GA", "GB", "GQ", "GI"}) {
        SCOPED_TRACE(talker);
        CGPSParser p;
        EXPECT_EQ(p.ParseNmea(Rmc("A", "181.39", talker)), kGpsParseRmc);
    }
    CGPSParser p;
    // RMC with mode and navigation status, GSA with a system id, GSV with a
    // signal id.
    EXPECT_EQ(p.ParseNmea(WithChecksum("$GNRMC,235959.00,A,3747.0873,S,17518.8938,W,0.1,,311214,,,A,V")), kGpsParseRmc);
    EXPECT_EQ(p.ParseNmea(WithChecksum("$GNGSA,A,3,01,02,03,,,,,,,,,,1.8,1.1,1.5,1")), kGpsParseGsa);
    EXPECT_EQ(p.ParseNmea(WithChecksum("$GNGSA,A,3,65,66,,,,,,,,,,,1.8,1.1,1.5,2")), kGpsParseGsa);
    EXPECT_EQ(p.Record().usedPrn[3], 65) << "the used satellites of both systems";
    EXPECT_EQ(p.Record().usedPrn[4], 66);
    EXPECT_EQ(p.Record().usedPrn[5], -1);
    EXPECT_EQ(p.ParseNmea(WithChecksum("$GPGSV,1,1,02,17,72,207,32,28,59,095,31,1")), kGpsParseGsv);
    EXPECT_EQ(p.ParseNmea(WithChecksum("$GLGSV,1,1,01,65,10,100,20,1")), kGpsParseGsv);
    EXPECT_EQ(p.Record().satellitesInView, 3);
    EXPECT_EQ(p.Record().satellites[2].prn, 65);
}

TEST(GpsParser, GsaKeepsOneSlotPerField) {
    using Used = std::vector<int>;
    struct Case {
        const char* what;
        std::vector<std::string> sentences;
        Used used;
    } cases[] = {
        {"empty fields stay in their slots",
         {WithChecksum("$GPGSA,A,3,,05,,07,,,,,,,,,1.8,1.1,1.5")},
         {-1, 5, -1, 7, -1, -1, -1, -1, -1, -1, -1, -1}},
        {"all twelve fields",
         {WithChecksum("$GPGSA,A,3,01,02,03,04,05,06,07,08,09,10,11,12,1.8,1.1,1.5")},
         {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
        {"a second system's GSA takes the slots after the last filled one",
         {WithChecksum("$GNGSA,A,3,,05,,07,,,,,,,,,1.8,1.1,1.5,1"),
          WithChecksum("$GNGSA,A,3,,66,67,,,,,,,,,,1.8,1.1,1.5,2")},
         {-1, 5, -1, 7, 66, 67, -1, -1, -1, -1, -1, -1}},
        {"the slots end at twelve",
         {WithChecksum("$GNGSA,A,3,01,02,03,04,05,06,07,08,09,10,,,1.8,1.1,1.5,1"),
          WithChecksum("$GNGSA,A,3,65,66,67,,,,,,,,,,1.8,1.1,1.5,2")},
         {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 65, 66}},
        {"a GSA after another sentence starts a new epoch",
         {WithChecksum("$GNGSA,A,3,01,02,,,,,,,,,,,1.8,1.1,1.5,1"), kGga,
          WithChecksum("$GNGSA,A,3,,09,,,,,,,,,,,1.8,1.1,1.5,1")},
         {-1, 9, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CGPSParser p;
        for (const std::string& s : c.sentences) ASSERT_NE(p.ParseNmea(s), kGpsParseNone) << s;
        Used used;
        for (int16_t prn : p.Record().usedPrn) used.push_back(prn);
        EXPECT_EQ(used, c.used);
    }
}

TEST(GpsParser, InvalidRmcKeepsStatusForTwoAndNothingIsPublishedForAMalformedOne) {
    CGPSParser p;
    ASSERT_EQ(p.ParseNmea(Rmc("A")), kGpsParseRmc);
    EXPECT_EQ(p.ParseNmea(Rmc("V")), kGpsParseRmc);
    EXPECT_EQ(p.Record().status, 'A');
    EXPECT_EQ(p.ParseNmea(Rmc("V")), kGpsParseRmc);
    EXPECT_EQ(p.Record().status, 'A');
    EXPECT_EQ(p.ParseNmea(Rmc("V")), kGpsParseRmc);
    EXPECT_EQ(p.Record().status, 'V');
    EXPECT_EQ(p.ParseNmea(WithChecksum("$GPRMC,1,2,3")), kGpsParseNone);
}

TEST(GpsParser, GsvCycleOfThreeFillsTwelveEntriesOnItsLastMessage) {
    CGPSParser p;
    p.ParseNmea(WithChecksum("$GPGSV,3,1,12,01,10,100,20,02,10,100,20,03,10,100,20,04,10,100,20"));
    p.ParseNmea(WithChecksum("$GPGSV,3,2,12,05,10,100,20,06,10,100,20,07,10,100,20,08,10,100,20"));
    EXPECT_EQ(p.Record().satellitesInView, 0) << "published only at the end of the cycle";
    p.ParseNmea(WithChecksum("$GPGSV,3,3,12,09,10,100,20,10,10,100,20,11,10,100,20,12,10,100,"));
    EXPECT_EQ(p.Record().satellitesInView, 12);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(p.Record().satellites[i].prn, i + 1);
    EXPECT_EQ(p.Record().satellites[11].snr, -1);
}

TEST(GpsParser, EmptyCourseKeepsTheHeadingAndEmptyPositionIsNoFix) {
    CGPSParser p;
    p.SetFilterEnabled(false);
    p.ParseNmea(Rmc("A", "90.0"));
    p.ParseNmea(Rmc("A", ""));
    EXPECT_EQ(p.Record().headingDeg, 90);
    CGPSParser q;
    q.ParseNmea(WithChecksum("$GPRMC,235959.000,A,,,,,0.0,,311214,,,N"));
    q.ParseNmea(WithChecksum("$GPRMC,235959.000,A,,,,,0.0,,311214,,,N"));
    q.ParseNmea(WithChecksum("$GPRMC,235959.000,A,,,,,0.0,,311214,,,N"));
    EXPECT_EQ(q.Record().status, 'V');
}

// A binary frame: bytes between start and end escaped, the sum byte chosen
// so that all bytes sum to 0.
std::vector<uint8_t> Frame(std::vector<uint8_t> body) {
    uint8_t sum = static_cast<uint8_t>(0x81 + 0x82);
    for (uint8_t b : body) sum = static_cast<uint8_t>(sum + b);
    body.push_back(static_cast<uint8_t>(0x100 - sum));
    std::vector<uint8_t> out{0x81};
    for (uint8_t b : body) {
        if (b >= 0x80 && b <= 0x82) {
            out.push_back(0x80);
            out.push_back(static_cast<uint8_t>(b - 0x80));
        } else {
            out.push_back(b);
        }
    }
    out.push_back(0x82);
    return out;
}

TEST(GpsParser, BinaryFramesAreUnescapedSummedAndLengthChecked) {
    // Kind 5 at 37.5 N 127.0 E: 37.5 x 2^31 / 180 = 447392426.67.
    std::vector<uint8_t> fix(23, 0);
    fix[0] = '0';
    fix[1] = 2;
    fix[3] = 0x40;   // flags: settled
    fix[4] = 0;      // status: valid
    const uint32_t lat = 447392426, lon = static_cast<uint32_t>(127.0 * 2147483648.0 / 180.0);
    for (int i = 0; i < 4; ++i) {
        fix[9 + i] = static_cast<uint8_t>(lat >> (8 * i));
        fix[13 + i] = static_cast<uint8_t>(lon >> (8 * i));
    }
    fix[21] = 0x10;   // speed 0x2710 = 10000: 360 km/h, held at 255
    fix[22] = 0x27;
    CGPSParser p;
    const std::vector<uint8_t> frame = Frame(fix);
    ASSERT_EQ(p.ParseBinary(frame.data(), frame.size()), kGpsParseBinFix);
    EXPECT_NEAR(NmeaToDegrees(p.Record().latitudeNmea), 37.5, 1e-6);
    EXPECT_NEAR(NmeaToDegrees(p.Record().longitudeNmea), 127.0, 1e-6);
    EXPECT_EQ(p.Record().status, 'A');
    EXPECT_EQ(p.Record().settled, 1u);

    std::vector<uint8_t> damaged = frame;
    damaged[6] ^= 1;
    EXPECT_EQ(p.ParseBinary(damaged.data(), damaged.size()), kGpsParseNone) << "byte sum";
    const std::vector<uint8_t> shortFix = Frame({'0', 2, 0, 0x40, 0});
    EXPECT_EQ(p.ParseBinary(shortFix.data(), shortFix.size()), kGpsParseNone) << "too short for its kind";
    // An escaped 0x82 inside the frame does not end it.
    const std::vector<uint8_t> sat = Frame({'3', 1, 11, 0x82, 0x80, 100, 45, 30});
    ASSERT_NE(std::find(sat.begin(), sat.end() - 1, 0x80), sat.end() - 1);
    EXPECT_EQ(p.ParseBinary(sat.data(), sat.size()), kGpsParseBinSatLast);
}

// The bounds of the receiver watch and of a valid fix, each tried on both
// sides: no satellite in 180 GGA after start is no cold start yet, in 181 it
// is; an RMC is valid up to HDOP 8.0; a binary navigation frame is valid
// from (byte 7 AND 0xFC) = 72 on.
TEST(GpsParser, ColdStartHdopGateAndBinaryStatusBounds) {
    const std::string noFix = WithChecksum("$GPGGA,030719.000,,,,,0,00,,,M,,M,,0000");
    const int level = GetDebugTraceLevel();
    SetDebugTraceLevel(1);
    for (int count : {180, 181}) {
        SCOPED_TRACE(count);
        std::vector<std::string> lines;
        SetDebugTraceSink([&](std::string_view line) { lines.emplace_back(line); }, false);
        CGPSParser p;
        for (int i = 0; i < count; ++i) p.ParseNmea(noFix);
        SetDebugTraceSink({});
        const bool coldStart = std::find(lines.begin(), lines.end(),
                                         "GPS Cold Start(No SV visible for 3min after Boot)!!!!\r\n") != lines.end();
        EXPECT_EQ(coldStart, count > 180);
    }
    SetDebugTraceLevel(level);

    struct HdopCase {
        const char* hdop;
        char status;
    } hdops[] = {{"8.0", 'A'}, {"8.1", 'V'}};
    for (const HdopCase& c : hdops) {
        SCOPED_TRACE(c.hdop);
        CGPSParser p;
        p.SetFilterEnabled(false);
        ASSERT_EQ(p.ParseNmea(WithChecksum(std::string("$GPGGA,030719.000,3747.0873,S,17518.8938,E,1,08,") + c.hdop +
                                           ",59.9,M,23.7,M,,0000")),
                  kGpsParseGga);
        ASSERT_EQ(p.ParseNmea(Rmc("A")), kGpsParseRmc);
        EXPECT_EQ(p.Record().status, c.status);
    }

    struct NavCase {
        uint8_t byte7;
        char status;
    } navs[] = {{71, 'V'}, {72, 'A'}, {75, 'A'}};
    for (const NavCase& c : navs) {
        SCOPED_TRACE(static_cast<int>(c.byte7));
        std::vector<uint8_t> body(22, 0);
        body[0] = '1';
        body[1] = 1;
        body[6] = c.byte7;   // frame byte 7
        const std::vector<uint8_t> frame = Frame(body);
        CGPSParser p;
        ASSERT_EQ(p.ParseBinary(frame.data(), frame.size()), kGpsParseBinNav);
        EXPECT_EQ(p.Record().status, c.status);
    }
}

// The filter rules on their own, one fix a second at k = 0.5.
GpsFilterInput At(int speedKmh, int headingDeg, int latHs = 13500000) {
    GpsFilterInput in;
    in.latitudeHs = latHs;
    in.longitudeHs = 45720000;
    in.speedKmh = static_cast<uint8_t>(speedKmh);
    in.headingDeg = static_cast<uint16_t>(headingDeg);
    in.hdopX10 = 10;
    return in;
}

TEST(GpsFilter, PushAheadHoldWhileStoppedAndSettle) {
    SetGpsPredictionFactor(0.5);
    CGPSFilter filter;
    GpsFixRecord fix = MakeResetGpsFix();
    filter.Filter(At(100, 0), fix, 0);   // first fix after reset: speed taken, heading kept (0)
    EXPECT_EQ(fix.speedKmh, 100);
    int32_t lat = 0;
    // 100 km/h north: trunc(1.0 x 0.5 x 100 / 3.6 x 3.2343096) = 44 ahead.
    filter.Filter(At(100, 0), fix, 0);
    lat = static_cast<int32_t>(fix.latitude.degrees * 360000 + fix.latitude.minutes * 6000 +
                               std::lround(fix.latitude.seconds * 100));
    EXPECT_EQ(lat, 13500000 + 44);

    // Waiting at a light: speed 0 at once, position held until ten fixes.
    filter.Filter(At(70, 0), fix, 0);
    filter.Filter(At(40, 0), fix, 0);
    filter.Filter(At(10, 0), fix, 0);
    for (int i = 1; i <= 9; ++i) {
        filter.Filter(At(0, 0, 13500000 + 1000 * i), fix, 0);
        EXPECT_EQ(fix.speedKmh, 0);
        const int32_t held = static_cast<int32_t>(fix.latitude.degrees * 360000 + fix.latitude.minutes * 6000 +
                                                  std::lround(fix.latitude.seconds * 100));
        EXPECT_LT(held, 13500000 + 1000) << "held at fix " << i;
    }
    filter.Filter(At(0, 0, 13510000), fix, 0);
    const int32_t taken = static_cast<int32_t>(fix.latitude.degrees * 360000 + fix.latitude.minutes * 6000 +
                                               std::lround(fix.latitude.seconds * 100));
    EXPECT_EQ(taken, 13510000) << "taken again at the tenth, without a push";
    EXPECT_EQ(fix.settled, 1u);
}

TEST(GpsFix, RecordBytesAndLastFixAcceptance) {
    GpsFixRecord f = MakeResetGpsFix();
    f.longitude.degrees = 127;
    f.latitude.degrees = 37;
    f.headingDeg = 0x1234;
    f.status = 'A';
    uint8_t b[kGpsFixRecordBytes];
    EncodeGpsFixRecord(f, b);
    EXPECT_EQ(b[0], 127);
    EXPECT_EQ(b[16], 37);
    EXPECT_EQ(b[338], 'A');
    EXPECT_EQ(b[344], 0x34);
    EXPECT_EQ(b[345], 0x12);
    EXPECT_EQ(b[314], 0xFF) << "empty used slot -1";
    testsupport::TempDir dir;
    const std::string path = dir.File("LastGPS.dat");
    ASSERT_EQ(SaveLastGpsFix(path, f), 1);
    GpsFixRecord back;
    EXPECT_EQ(LoadLastGpsFix(path, back), 1);
    EXPECT_EQ(back.headingDeg, 0x1234);
    struct {
        int lonDeg, latDeg, accepted;
    } cases[] = {{124, 37, 0}, {125, 33, 1}, {132, 38, 1}, {127, 39, 0}, {133, 37, 0}};
    for (const auto& c : cases) {
        f.longitude.degrees = static_cast<uint8_t>(c.lonDeg);
        f.latitude.degrees = static_cast<uint8_t>(c.latDeg);
        SaveLastGpsFix(path, f);
        EXPECT_EQ(LoadLastGpsFix(path, back), c.accepted) << c.lonDeg << " " << c.latDeg;
    }
    dir.Write("LastGPS.dat", std::string(367, '\x7f'));
    EXPECT_EQ(LoadLastGpsFix(path, back), 0) << "short file";
}

TEST(GpsFix, FirstFixGoesOutStillAndAStandingCarSavesAtOnce) {
    GpsFixPublisher publisher;
    GpsFixRecord f = MakeResetGpsFix();
    f.status = 'A';
    f.speedKmh = 50;
    f.headingDeg = 90;
    bool save = true;
    GpsFixRecord out = publisher.Prepare(f, &save);
    EXPECT_EQ(out.speedKmh, 0);
    EXPECT_EQ(out.headingDeg, 0);
    EXPECT_FALSE(save);
    f.speedKmh = 2;
    out = publisher.Prepare(f, &save);
    EXPECT_TRUE(save) << "the second fix of a standing car saves";
    publisher.OnSaved();
    int fixes = 0;
    f.speedKmh = 50;
    save = false;
    while (!save && fixes < 1000) {
        publisher.Prepare(f, &save);
        ++fixes;
    }
    EXPECT_EQ(fixes, 600) << "600 valid fixes rewrite it while driving";
}

TEST(GpsSplitter, SentencesAreCutAtTheirLineEndAndOverlongOnesDropped) {
    GpsSentenceSplitter splitter('\n');
    std::vector<std::string> got;
    auto collect = [&](const uint8_t* p, size_t n) { got.emplace_back(reinterpret_cast<const char*>(p), n); };
    const std::string two = "$GPGGA,1*00\n$GPRMC,2*00\n$GPG";
    splitter.Feed(reinterpret_cast<const uint8_t*>(two.data()), two.size(), collect);
    EXPECT_EQ(got, (std::vector<std::string>{"$GPGGA,1*00\n", "$GPRMC,2*00\n"}));
    const std::string rest = "SA,3*00\n";
    splitter.Feed(reinterpret_cast<const uint8_t*>(rest.data()), rest.size(), collect);
    EXPECT_EQ(got.back(), "$GPGSA,3*00\n");
    got.clear();
    const std::string longLine = std::string(511, 'x') + "\n" + std::string(510, 'y') + "\n";
    splitter.Feed(reinterpret_cast<const uint8_t*>(longLine.data()), longLine.size(), collect);
    ASSERT_EQ(got.size(), 1u) << "511 bytes and a line end do not fit a message";
    EXPECT_EQ(got[0].size(), 511u);
    got.clear();
    // Stray bytes before a sentence on its line go, the sentence stays
    // (also when they would not have fitted a message with it).
    const std::string stray = " $GPGGA,5*00\r\n" + std::string(600, '\x81') + "$GPRMC,6*00\n";
    splitter.Feed(reinterpret_cast<const uint8_t*>(stray.data()), stray.size(), collect);
    EXPECT_EQ(got, (std::vector<std::string>{"$GPGGA,5*00\r\n", "$GPRMC,6*00\n"}));
    got.clear();
    const std::string garbage = std::string(1023, 'z') + "$GPGGA,4*00\n";
    splitter.Feed(reinterpret_cast<const uint8_t*>(garbage.data()), garbage.size(), collect);
    EXPECT_EQ(got, (std::vector<std::string>{"$GPGGA,4*00\n"}));
}

TEST(GpsLogStore, NameLimitAndUniqueness) {
    platform::LocalDateTime t;
    t.year = 2009;
    t.month = 3;
    t.day = 3;
    t.hour = 9;
    t.minute = 5;
    t.second = 7;
    EXPECT_EQ(CGPSNMEAStore::MakeLogName("/root", t), "/root/2009년03월03일9시05분07초.gps");

    testsupport::TempDir dir;
    CGPSNMEAStore* store = CGPSNMEAStore::Instance();
    store->SetLogFolder(dir.Path());
    store->SetGgaLimit(3);
    ASSERT_EQ(store->Open(), 1);
    std::string first;
    store->GetFileName(&first, 1);
    const std::string data = "$GPGGA,1\n$GPRMC,1\n$GNGGA,2\n$GPRMC,2\n$GPGGA,3\n$GPRMC,3\n";
    int closeRequest = 0;
    EXPECT_EQ(store->Write(data.data(), data.size(), &closeRequest), 0);
    EXPECT_EQ(closeRequest, 1);
    ASSERT_EQ(store->Close(), 1);
    EXPECT_EQ(dir.Read(first.substr(dir.Path().size() + 1)), "$GPGGA,1\n$GPRMC,1\n$GNGGA,2\n$GPRMC,2\n")
        << "written up to the sentence that reaches the limit";
    // Two logs within one second keep both.
    ASSERT_EQ(store->Open(), 1);
    std::string a;
    store->GetFileName(&a, 1);
    ASSERT_EQ(store->Open(), 1);
    std::string b;
    store->GetFileName(&b, 1);
    EXPECT_NE(a, b);
    store->Close();
    store->SetGgaLimit(CGPSNMEAStore::kDefaultGgaLimit);
    store->SetLogFolder("");
}

}  // namespace
