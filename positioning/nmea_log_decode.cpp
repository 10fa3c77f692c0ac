#include "positioning/nmea_log_decode.h"

#include <cstdio>

#include "platform/clock.h"

NmeaLogDecoder::NmeaLogDecoder(bool raw) : m_raw(raw) { m_parser.SetFilterEnabled(!raw); }

bool NmeaLogDecoder::FeedLine(std::string_view line, GpsFixRecord* out) {
    if (line.empty() || line[0] == '#') return false;
    if (m_parser.ParseNmea(NmeaSentenceOfLine(line)) != kGpsParseRmc) return false;
    GpsFixRecord fix;
    m_parser.TakeFix(&fix);
    if (!m_raw) {
        bool save = false;
        fix = m_publisher.Prepare(fix, &save);
        if (save) m_publisher.OnSaved();
    }
    if (out) *out = fix;
    return true;
}

std::vector<GpsFixRecord> NmeaLogDecoder::FeedText(std::string_view text) {
    std::vector<GpsFixRecord> fixes;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        end = end == std::string_view::npos ? text.size() : end + 1;
        GpsFixRecord fix;
        if (FeedLine(text.substr(pos, end - pos), &fix)) fixes.push_back(fix);
        pos = end;
    }
    return fixes;
}

bool GpsFixUtcSeconds(const GpsFixRecord& fix, int64_t* seconds) {
    if (fix.month < 1 || fix.month > 12 || fix.day < 1) return false;
    *seconds = GpsFixLocalEpochSeconds(fix) - 9 * 3600;
    return true;
}

std::string FormatGpsFixJson(const GpsFixRecord& fix) {
    char time[40] = "";
    int64_t utcSeconds = 0;
    if (GpsFixUtcSeconds(fix, &utcSeconds)) {
        const platform::LocalDateTime utc = platform::EpochSecondsToLocal(utcSeconds);
        std::snprintf(time, sizeof time, "%04d-%02d-%02dT%02d:%02d:%02dZ", utc.year, utc.month, utc.day, utc.hour,
                      utc.minute, utc.second);
    }
    char line[320];
    std::snprintf(line, sizeof line,
                  "{\"time\":\"%s\",\"lat\":%.9f,\"lon\":%.9f,\"speed_kmh\":%u,\"heading\":%u,\"hdop\":%.1f,"
                  "\"used\":%u,\"in_view\":%u,\"status\":\"%c\"}",
                  time, NmeaToDegrees(fix.latitudeNmea), NmeaToDegrees(fix.longitudeNmea), fix.speedKmh,
                  fix.headingDeg, fix.hdopX10 / 10.0, fix.satellitesUsed, fix.satellitesInView,
                  fix.status == kGpsStatusValid ? 'A' : 'V');
    return line;
}
