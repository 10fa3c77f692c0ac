#pragma once
// Decoding a receiver log line by line through the real parser and filter,
// as the parser thread does it, without threads: the engine of the
// nmea_decode tool, its tests and the benchmark.
#include <string>
#include <string_view>
#include <vector>

#include "positioning/gps_fix.h"
#include "positioning/gps_parser.h"

class NmeaLogDecoder {
public:
    // raw: the parser's records as the receiver gave them, before the filter
    // and the publishing rules.
    explicit NmeaLogDecoder(bool raw);

    // One line of the log (its line end may be attached). Lines starting
    // with "#" are comments. True when the line completed a fix; out then
    // holds the record as published.
    bool FeedLine(std::string_view line, GpsFixRecord* out);
    // Whole text cut into lines at '\n'; the fixes it completed, in order.
    std::vector<GpsFixRecord> FeedText(std::string_view text);

private:
    bool m_raw;
    CGPSParser m_parser;
    GpsFixPublisher m_publisher;
};

// One JSON line (without line end): UTC time, lat, lon (degrees, south and
// west negative), speed_kmh, heading, hdop, used, in_view, status.
std::string FormatGpsFixJson(const GpsFixRecord& fix);
// The record's local time (UTC + 9 hours) as UTC seconds since 1970; false
// when the record has no date.
bool GpsFixUtcSeconds(const GpsFixRecord& fix, int64_t* seconds);
