// Every real receiver log through the decoder of nmea_decode --raw, checked
// fix by fix against the log's independent decoding (.chk, gpsd's own JSON).
//
// The record keeps whole km/h and whole degrees of heading and its time to
// the second, so speed agrees within 1 km/h, heading within 1 degree and
// time to the whole second; positions keep the receiver's precision and
// agree within 1e-6 degrees. One published fix per "..RMC" sentence: none
// invented, none lost.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "positioning/gps_testdata.h"
#include "positioning/gps_port.h"
#include "positioning/nmea_log_decode.h"

namespace {

// A field of one flat JSON object line: a number, or a string's text.
std::optional<double> JsonNumber(const std::string& line, const std::string& key) {
    const size_t at = line.find("\"" + key + "\":");
    if (at == std::string::npos) return std::nullopt;
    return std::strtod(line.c_str() + at + key.size() + 3, nullptr);
}

std::optional<std::string> JsonText(const std::string& line, const std::string& key) {
    const size_t at = line.find("\"" + key + "\":\"");
    if (at == std::string::npos) return std::nullopt;
    const size_t start = at + key.size() + 4;
    return line.substr(start, line.find('"', start) - start);
}

// What the oracle says of one RMC sentence: the last TPV report after it
// that carries a time.
struct OracleFix {
    std::string sentence;
    std::string tpv;   // empty when the oracle reported no timed fix
};

std::vector<OracleFix> ReadOracle(const std::string& chkPath) {
    std::vector<OracleFix> out;
    const std::string text = gps_testdata::ReadText(chkPath);
    bool inRmc = false;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line[0] == '$') {
            inRmc = line.size() > 6 && line.compare(3, 3, "RMC") == 0;
            if (inRmc) out.push_back({line, {}});
        } else if (inRmc && line.find("\"class\":\"TPV\"") != std::string::npos &&
                   line.find("\"time\":") != std::string::npos) {
            out.back().tpv = line;
        }
    }
    return out;
}

// "2014-12-31T03:07:19.000Z" to seconds since 1970 (the fraction dropped).
int64_t IsoSeconds(const std::string& iso) {
    platform::LocalDateTime t;
    if (std::sscanf(iso.c_str(), "%d-%d-%dT%d:%d:%d", &t.year, &t.month, &t.day, &t.hour, &t.minute, &t.second) != 6) {
        return -1;
    }
    return platform::LocalToEpochSeconds(t);
}

TEST(ReceiverLogs, EveryFixAgreesWithTheIndependentDecoding) {
    const std::vector<std::string> logs = gps_testdata::LogNames();
    ASSERT_EQ(logs.size(), 20u) << "receiver logs not found beside the repository (shared/testdata/gps)";
    int positionsChecked = 0;
    for (const std::string& name : logs) {
        SCOPED_TRACE(name);
        const std::string bytes = gps_testdata::ReceiverBytes(name);
        NmeaLogDecoder decoder(/*raw=*/true);
        const std::vector<GpsFixRecord> fixes = decoder.FeedText(bytes);
        const std::vector<OracleFix> oracle = ReadOracle(gps_testdata::Folder() + "/" + name + ".chk");
        ASSERT_EQ(fixes.size(), oracle.size()) << "one published fix per RMC sentence";
        for (size_t i = 0; i < fixes.size(); ++i) {
            const OracleFix& o = oracle[i];
            if (o.tpv.empty()) continue;
            SCOPED_TRACE(o.sentence);
            const GpsFixRecord& f = fixes[i];
            int64_t utc = 0;
            ASSERT_TRUE(GpsFixUtcSeconds(f, &utc));
            EXPECT_EQ(utc, IsoSeconds(*JsonText(o.tpv, "time")));
            const auto mode = JsonNumber(o.tpv, "mode");
            const auto lat = JsonNumber(o.tpv, "lat");
            const auto lon = JsonNumber(o.tpv, "lon");
            if (mode && *mode >= 2 && lat && lon) {
                EXPECT_NEAR(NmeaToDegrees(f.latitudeNmea), *lat, 1e-6);
                EXPECT_NEAR(NmeaToDegrees(f.longitudeNmea), *lon, 1e-6);
                EXPECT_EQ(f.northSouth, *lat < 0 ? 'S' : 'N');
                EXPECT_EQ(f.eastWest, *lon < 0 ? 'W' : 'E');
                ++positionsChecked;
            }
            if (const auto speed = JsonNumber(o.tpv, "speed")) {
                EXPECT_NEAR(f.speedKmh, *speed * 3.6, 1.0);
            }
            if (const auto track = JsonNumber(o.tpv, "track")) {
                const double d = std::fabs(std::remainder(*track - f.headingDeg, 360.0));
                EXPECT_LE(d, 1.0) << "heading " << f.headingDeg << " track " << *track;
            }
        }
    }
    // Most of the logs' fixes carry a position; a decoder that compared
    // nothing would pass the loop above.
    EXPECT_GT(positionsChecked, 400);
}

// The published (filtered) decoding of the same logs: the same fixes at the
// same times; a moving fix lies within the filter's push ahead of the
// receiver's position (a standing one is held where the car stopped).
TEST(ReceiverLogs, FilteredFixesStayNearTheReceiverPositions) {
    for (const std::string& name : gps_testdata::LogNames()) {
        SCOPED_TRACE(name);
        const std::string bytes = gps_testdata::ReceiverBytes(name);
        NmeaLogDecoder raw(true), filtered(false);
        size_t pos = 0;
        while (pos < bytes.size()) {
            size_t end = bytes.find('\n', pos);
            end = end == std::string::npos ? bytes.size() : end + 1;
            const std::string_view line = std::string_view(bytes).substr(pos, end - pos);
            GpsFixRecord r, f;
            const bool gotRaw = raw.FeedLine(line, &r);
            ASSERT_EQ(filtered.FeedLine(line, &f), gotRaw);
            if (gotRaw) {
                int64_t rawTime = 0, filteredTime = 0;
                EXPECT_EQ(GpsFixUtcSeconds(r, &rawTime), GpsFixUtcSeconds(f, &filteredTime));
                EXPECT_EQ(rawTime, filteredTime);
            }
            if (gotRaw && f.status == kGpsStatusValid && f.speedKmh > 0) {
                // At most 255 km/h x 1.0 x 0.5 s ahead: 36 m, under 4e-4
                // degrees of latitude and 1e-3 of longitude up to 65 degrees.
                EXPECT_NEAR(NmeaToDegrees(f.latitudeNmea), NmeaToDegrees(r.latitudeNmea), 4e-4);
                EXPECT_NEAR(NmeaToDegrees(f.longitudeNmea), NmeaToDegrees(r.longitudeNmea), 1e-3);
            }
            pos = end;
        }
    }
}

// Stray bytes before a sentence on its line (a leading space, noise after a
// reconnect, binary frames mixed into the stream) cost nothing but
// themselves: the decoder of nmea_decode and the receive split followed by
// the parser give the same fixes as the clean log.
TEST(ReceiverLogs, StrayBytesBeforeTheSentencesLoseNoFix) {
    const std::vector<std::string> logs = gps_testdata::LogNames();
    ASSERT_EQ(logs.size(), 20u);
    auto bytesOf = [](const std::vector<GpsFixRecord>& fixes) {
        std::string out;
        for (const GpsFixRecord& f : fixes) {
            uint8_t b[kGpsFixRecordBytes];
            EncodeGpsFixRecord(f, b);
            out.append(reinterpret_cast<const char*>(b), sizeof b);
        }
        return out;
    };
    size_t fixes = 0;
    for (const std::string& name : logs) {
        SCOPED_TRACE(name);
        const std::string clean = gps_testdata::ReceiverBytes(name);
        const std::string noisy = gps_testdata::WithStrayBytes(clean);
        const std::vector<GpsFixRecord> expected = NmeaLogDecoder(true).FeedText(clean);
        fixes += expected.size();
        EXPECT_EQ(bytesOf(NmeaLogDecoder(true).FeedText(noisy)), bytesOf(expected)) << "decoder";

        NmeaLogDecoder afterSplit(true);
        std::vector<GpsFixRecord> split;
        GpsSentenceSplitter splitter('\n');
        splitter.Feed(reinterpret_cast<const uint8_t*>(noisy.data()), noisy.size(), [&](const uint8_t* p, size_t n) {
            const std::string_view piece(reinterpret_cast<const char*>(p), n);
            if (piece.find('$') != std::string_view::npos) {
                EXPECT_EQ(piece[0], '$') << "nothing before the sentence";
            }
            GpsFixRecord f;
            if (afterSplit.FeedLine(piece, &f)) split.push_back(f);
        });
        EXPECT_EQ(bytesOf(split), bytesOf(expected)) << "receive split";
    }
    EXPECT_GT(fixes, 500u);
}

}  // namespace
