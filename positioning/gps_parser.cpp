#include "positioning/gps_parser.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "foundation/debug_trace.h"
#include "settings/module_gps.h"

namespace {

std::atomic<int> g_protocolMode{kGpsProtocolNmea};

// GNSS talkers: GPS, combined, GLONASS, Galileo, BeiDou, QZSS, NavIC, and
// the older BeiDou and QZSS ids some receivers still send.
constexpr const char* kTalkers[] = {"GP", "GN", "GL", "GA", "GB", "GQ", "GI", "BD", "QZ"};
constexpr int kTalkerCount = sizeof kTalkers / sizeof kTalkers[0];

int TalkerIndex(std::string_view text) {
    if (text.size() < 3 || text[0] != '$') return -1;
    for (int i = 0; i < kTalkerCount; ++i) {
        if (text[1] == kTalkers[i][0] && text[2] == kTalkers[i][1]) return i;
    }
    return -1;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool IsEmptyField(const char* s) { return s[0] == '\0'; }

int ToInt(const char* s) { return static_cast<int>(std::strtol(s, nullptr, 10)); }

double ToDouble(const char* s) {
    const double v = std::strtod(s, nullptr);
    return std::isfinite(v) ? v : 0.0;
}

bool AllDigits(const char* s, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
    }
    return true;
}

// A latitude (ddmm.m...) or longitude (dddmm.m...) field by its real length:
// the degrees are the digits before the last two ahead of the point. Any
// number of decimals; false for an empty or malformed field.
bool ParseNmeaAngle(const char* s, int maxDegrees, double& nmea) {
    const size_t len = std::strlen(s);
    if (len == 0) return false;
    const char* dot = std::strchr(s, '.');
    const size_t intLen = dot ? static_cast<size_t>(dot - s) : len;
    if (intLen < 3 || intLen > 5 || !AllDigits(s, intLen)) return false;
    if (dot && !AllDigits(dot + 1, len - intLen - 1)) return false;
    int degrees = 0;
    for (size_t i = 0; i + 2 < intLen; ++i) degrees = degrees * 10 + (s[i] - '0');
    const double minutes = std::strtod(s + intLen - 2, nullptr);
    if (degrees > maxDegrees || !(minutes < 60.0)) return false;
    nmea = degrees * 100.0 + minutes;
    return true;
}

bool ParseTimeField(const char* s, int& hour, int& minute, int& second) {
    if (std::strlen(s) < 6 || !AllDigits(s, 6)) return false;
    hour = (s[0] - '0') * 10 + (s[1] - '0');
    minute = (s[2] - '0') * 10 + (s[3] - '0');
    second = (s[4] - '0') * 10 + (s[5] - '0');
    return hour < 24 && minute < 60 && second < 61;
}

bool ParseDateField(const char* s, int& day, int& month, int& year2) {
    if (std::strlen(s) != 6 || !AllDigits(s, 6)) return false;
    day = (s[0] - '0') * 10 + (s[1] - '0');
    month = (s[2] - '0') * 10 + (s[3] - '0');
    year2 = (s[4] - '0') * 10 + (s[5] - '0');
    return day >= 1 && day <= 31 && month >= 1 && month <= 12;
}

int16_t FieldOrMinusOne(const char* s) { return IsEmptyField(s) ? -1 : static_cast<int16_t>(ToInt(s)); }

int32_t NmeaToHundredths(double nmea) {
    const double a = std::fabs(nmea);
    const double degrees = std::floor(a / 100.0);
    const double hs = std::trunc((degrees * 3600.0 + (a - degrees * 100.0) * 60.0) * 100.0);
    return static_cast<int32_t>(nmea < 0 ? -hs : hs);
}

uint16_t U16At(const uint8_t* b, size_t i) { return static_cast<uint16_t>(b[i] | (b[i + 1] << 8)); }
int32_t I32At(const uint8_t* b, size_t i) {
    return static_cast<int32_t>(static_cast<uint32_t>(b[i]) | (static_cast<uint32_t>(b[i + 1]) << 8) |
                                (static_cast<uint32_t>(b[i + 2]) << 16) | (static_cast<uint32_t>(b[i + 3]) << 24));
}

// Binary angle units: 180 / 2^31 degrees.
double BinaryAngleDegrees(int32_t v) { return v * (180.0 / 2147483648.0); }

double DegreesToNmea(double degrees) {
    const double a = std::fabs(degrees);
    const double d = std::floor(a);
    const double nmea = d * 100.0 + (a - d) * 60.0;
    return degrees < 0 ? -nmea : nmea;
}

}  // namespace

int GetGpsProtocolMode() { return g_protocolMode.load(std::memory_order_acquire); }
void SetGpsProtocolMode(int mode) { g_protocolMode.store(mode, std::memory_order_release); }

bool IsGnssTalker(std::string_view text) { return TalkerIndex(text) >= 0; }

int NmeaSentenceKind(std::string_view text) {
    if (text.size() < 6 || TalkerIndex(text) < 0) return 0;
    const std::string_view type = text.substr(3, 3);
    if (type == "GGA") return kGpsParseGga;
    if (type == "GSA") return kGpsParseGsa;
    if (type == "GSV") return kGpsParseGsv;
    if (type == "RMC") return kGpsParseRmc;
    return 0;
}

std::string_view NmeaSentenceOfLine(std::string_view line) {
    const size_t dollar = line.rfind('$');
    return dollar == std::string_view::npos ? line : line.substr(dollar);
}

bool CheckNmeaChecksum(std::string_view text) {
    const size_t dollar = text.find('$');
    const size_t star = text.find('*');
    if (dollar == std::string_view::npos || star == std::string_view::npos || star < dollar) return false;
    if (text.size() < star + 3) return false;
    const int hi = HexValue(text[star + 1]);
    const int lo = HexValue(text[star + 2]);
    if (hi < 0 || lo < 0) return false;   // only hex digits are a checksum
    uint8_t sum = 0;
    for (size_t i = dollar + 1; i < star; ++i) sum ^= static_cast<uint8_t>(text[i]);
    return sum == ((hi << 4) | lo);
}

// ---------------------------------------------------------------------------

// The work copy of one sentence split into fields; token 0 is the name and
// the checksum counts as the last token.
struct CGPSParser::Tokens {
    char buffer[kWorkCopyBytes];
    const char* token[kMaxTokens];
    int count = 0;
    int talker = -1;

    const char* operator[](int i) const { return i < count ? token[i] : ""; }

    bool Split(std::string_view sentence) {
        const size_t star = sentence.find('*');
        const std::string_view body = sentence.substr(1, star - 1);
        if (body.size() + 1 > sizeof buffer) return false;
        std::memcpy(buffer, body.data(), body.size());
        buffer[body.size()] = '\0';
        count = 0;
        token[count++] = buffer;
        for (size_t i = 0; i < body.size(); ++i) {
            if (buffer[i] == ',') {
                buffer[i] = '\0';
                if (count >= kMaxTokens - 1) return false;
                token[count++] = buffer + i + 1;
            }
        }
        token[count++] = "*";   // the checksum
        return true;
    }
};

CGPSParser::CGPSParser() { Reset(); }

void CGPSParser::Reset() {
    m_fix = MakeResetGpsFix();
    m_filter.Reset();
    m_noFixCount = m_noSatCount = m_invalidRun = 0;
    std::fill(std::begin(m_workTable), std::end(m_workTable), GpsSatelliteInView{});
    m_workCount = 0;
    m_hadFix = m_coldStart = m_cycleOpen = false;
    m_epochTalkers = 0;
    m_epochInView = 0;
    m_cycleBase = 0;
    m_cycleCounts = true;
    m_lastKind = 0;
    m_usedFill = 0;
    std::fill(std::begin(m_binUsed), std::end(m_binUsed), int16_t{-1});
    m_binHeld = m_binUsedCount = 0;
    m_binPositionTaken = false;
    // The wrong-count RMC run, the raw switch and the relay outlive a reset.
}

void CGPSParser::TakeFix(GpsFixRecord* out) {
    if (out) *out = m_fix;
    m_binPositionTaken = false;
}

int CGPSParser::ParseNmea(std::string_view sentence) {
    // Drop everything behind the line end.
    const size_t end = sentence.find_first_of("\r\n");
    if (end != std::string_view::npos) sentence = sentence.substr(0, end);
    if (sentence.size() >= kWorkCopyBytes) return kGpsParseNone;
    if (!CheckNmeaChecksum(sentence) || sentence[0] != '$') {
        m_lastKind = 0;
        return kGpsParseNone;
    }
    const int kind = NmeaSentenceKind(sentence);
    if (kind == 0) {
        m_lastKind = 0;
        return kGpsParseNone;
    }
    Tokens t;
    if (!t.Split(sentence)) {
        m_lastKind = 0;
        return kGpsParseNone;
    }
    t.talker = TalkerIndex(sentence);
    int result = kGpsParseNone;
    switch (kind) {
        case kGpsParseGga: result = AnalysisGGA(t); break;
        case kGpsParseGsa: result = AnalysisGSA(t); break;
        case kGpsParseGsv: result = AnalysisGSV(t); break;
        case kGpsParseRmc: result = AnalysisRMC(t, sentence); break;
        default: break;
    }
    m_lastKind = result;
    return result;
}

int CGPSParser::AnalysisGGA(const Tokens& t) {
    if (t.count != 16) {
        DebugTrace(1, "!!ERROR AnalysisGPGGA(16) : %d\r\n", t.count);
        return kGpsParseNone;
    }
    ++m_noFixCount;
    ++m_noSatCount;
    if (ToInt(t[6]) > 0) {
        m_noFixCount = 0;
        m_hadFix = true;
    }
    m_fix.satellitesUsed = static_cast<uint8_t>(std::clamp(ToInt(t[7]), 0, 255));
    if (IsEmptyField(t[8])) {
        m_fix.hdopX10 = 255;
    } else {
        const double hdop = ToDouble(t[8]) * 10.0;
        m_fix.hdopX10 = static_cast<uint8_t>(hdop >= 255.0 ? 255 : (hdop < 0 ? 0 : static_cast<int>(hdop)));
    }
    m_fix.altitudeM = ToDouble(t[9]);

    if (m_hadFix && m_noFixCount > 300) {
        DebugTrace(1, "GPS Reset!!!!\r\n");
        m_noFixCount = m_noSatCount = 0;
    } else if (!m_hadFix && !m_coldStart && m_noSatCount > 180) {
        m_coldStart = true;
        DebugTrace(1, "GPS Cold Start(No SV visible for 3min after Boot)!!!!\r\n");
        m_noFixCount = m_noSatCount = 0;
    } else if (!m_hadFix && !m_coldStart && m_noFixCount > 300) {
        m_coldStart = true;
        DebugTrace(1, "GPS Cold Start(No Pos Fix for 5min after Boot)!!!!\r\n");
        m_noFixCount = m_noSatCount = 0;
    } else if (!m_hadFix && m_coldStart && m_noFixCount > 1200) {
        DebugTrace(1, "GPS Cold Start(No Pos Fix for 20min after Cold Start)!!!!\r\n");
        m_noFixCount = m_noSatCount = 0;
    }
    return kGpsParseGga;
}

int CGPSParser::AnalysisGSA(const Tokens& t) {
    // 19 tokens; NMEA 4.10 adds the system id.
    if (t.count != 19 && t.count != 20) {
        DebugTrace(1, "!!ERROR AnalysisGPGSA(19) : %d\r\n", t.count);
        return kGpsParseNone;
    }
    const int mode = ToInt(t[2]);
    if (m_lastKind != kGpsParseGsa) {
        // The first GSA of an epoch: one slot per field, -1 for an empty
        // one, so the record (and the bytes saved from it) keep the
        // receiver's layout.
        m_fix.fixMode = static_cast<uint8_t>(std::clamp(mode, 0, 255));
        m_usedFill = 0;
        for (int i = 3; i <= 14; ++i) {
            const bool empty = IsEmptyField(t[i]);
            m_fix.usedPrn[i - 3] = empty ? int16_t{-1} : static_cast<int16_t>(ToInt(t[i]));
            if (!empty) m_usedFill = i - 2;
        }
        return kGpsParseGsa;
    }
    // A GSA that follows directly belongs to the same epoch (multi-system
    // receivers send one per satellite system): its used satellites, in
    // their order, take the slots after the last one filled so far, while
    // the twelve slots last; the first GSA's layout stays as it is.
    if (mode > m_fix.fixMode) m_fix.fixMode = static_cast<uint8_t>(std::clamp(mode, 0, 255));
    for (int i = 3; i <= 14; ++i) {
        if (IsEmptyField(t[i])) continue;
        if (m_usedFill < 12) m_fix.usedPrn[m_usedFill++] = static_cast<int16_t>(ToInt(t[i]));
    }
    return kGpsParseGsa;
}

int CGPSParser::AnalysisGSV(const Tokens& t) {
    // 4n + 5 tokens; NMEA 4.10 adds the signal id.
    if (t.count <= 4 || (t.count % 4 != 1 && t.count % 4 != 2)) {
        DebugTrace(1, "!!ERROR AnalysisGPGSV(4) : %d\r\n", t.count);
        return kGpsParseNone;
    }
    const int n = ToInt(t[1]);
    const int m = ToInt(t[2]);
    const int v = ToInt(t[3]);
    if (m < 1 || m > n) return kGpsParseNone;   // m = 0 would index before the table
    if (n > 8) {
        if (m == n) {
            std::fill(std::begin(m_workTable), std::end(m_workTable), GpsSatelliteInView{});
            std::copy(std::begin(m_workTable), std::end(m_workTable), std::begin(m_fix.satellites));
            m_fix.satellitesInView = 0;
            m_cycleOpen = false;
        }
        return kGpsParseGsv;
    }
    if (m == 1) {
        const uint32_t bit = 1u << (t.talker & 31);
        if (m_lastKind == kGpsParseGsv && !m_cycleOpen) {
            // The next system's cycle of the same epoch; a second cycle of a
            // talker already seen is another signal of the same satellites.
            m_cycleCounts = (m_epochTalkers & bit) == 0;
            m_epochTalkers |= bit;
            m_cycleBase = m_workCount;
        } else {
            std::fill(std::begin(m_workTable), std::end(m_workTable), GpsSatelliteInView{});
            m_workCount = 0;
            m_cycleBase = 0;
            m_epochTalkers = bit;
            m_epochInView = 0;
            m_cycleCounts = true;
        }
        m_cycleOpen = true;
    }
    if (m_cycleOpen && m_cycleCounts) {
        for (int j = 0; j < 4 && 7 + 4 * j < t.count; ++j) {
            const int entry = m_cycleBase + 4 * (m - 1) + j;
            if (entry >= 32) break;
            GpsSatelliteInView& s = m_workTable[entry];
            s.prn = static_cast<int16_t>(ToInt(t[4 + 4 * j]));
            s.elevationDeg = static_cast<int16_t>(ToInt(t[5 + 4 * j]));
            s.azimuthDeg = static_cast<int16_t>(ToInt(t[6 + 4 * j]));
            s.snr = FieldOrMinusOne(t[7 + 4 * j]);
            if (s.snr > 0) m_noSatCount = 0;
            m_workCount = std::max(m_workCount, entry + 1);
        }
    }
    if (m == n && m_cycleOpen) {
        m_cycleOpen = false;
        if (m_cycleCounts) m_epochInView += v;
        m_fix.satellitesInView = static_cast<uint8_t>(std::clamp(m_epochInView, 0, 255));
        std::copy(std::begin(m_workTable), std::end(m_workTable), std::begin(m_fix.satellites));
    }
    return kGpsParseGsv;
}

int CGPSParser::AnalysisRMC(const Tokens& t, std::string_view sentence) {
    if (m_relay && m_relay->GetRelayFlag()) {
        m_relay->SetRelayText(sentence.data(), static_cast<int>(sentence.size()));
    }
    // 13 tokens in NMEA 2.x, 14 with the mode, 15 with the navigation status.
    if (t.count < 13 || t.count > 15) {
        if (!m_badRmcRun) {
            m_badRmcRun = true;
            if (m_goodRmcSeen) Reset();
        }
        DebugTrace(1, "!!ERROR AnalysisGPRMC(14 or 13) : %d\r\n", t.count);
        // Nothing changed, so nothing is published.
        return kGpsParseNone;
    }
    m_badRmcRun = false;
    m_goodRmcSeen = true;

    int hour = 0, minute = 0, second = 0, day = 0, month = 0, year2 = 0;
    if (ParseTimeField(t[1], hour, minute, second) && ParseDateField(t[9], day, month, year2)) {
        m_fix.hour = static_cast<uint8_t>(hour);
        m_fix.minute = static_cast<uint8_t>(minute);
        m_fix.second = static_cast<uint8_t>(std::min(second, 59));
        m_fix.day = static_cast<uint8_t>(day);
        m_fix.month = static_cast<uint8_t>(month);
        m_fix.year = static_cast<uint16_t>(2000 + year2);
        AddHoursToFixTime(m_fix, 9);
    }

    double latNmea = 0.0, lonNmea = 0.0;
    const bool hasPosition = ParseNmeaAngle(t[3], 90, latNmea) && ParseNmeaAngle(t[5], 180, lonNmea);
    if (hasPosition) {
        if (t[4][0] == 'S') latNmea = -latNmea;
        if (t[6][0] == 'W') lonNmea = -lonNmea;
    }

    // Knots to whole km/h, held to the record's byte before it becomes an
    // integer (a damaged field can hold any number).
    const double speedKmh = std::floor(ToDouble(t[7]) * 1.852 + 0.5);
    int speed = speedKmh <= 0.0 ? 0 : (speedKmh >= 255.0 ? 255 : static_cast<int>(speedKmh));
    if (speedKmh >= 255.0) {
        DebugTrace(1, "[ GPS* ] Speed OVERFLOW !!! You're in Danger!!![%.0f]\r\n", speedKmh);
        speed = 255;
    }
    uint16_t heading = m_fix.headingDeg;
    if (!IsEmptyField(t[8])) {
        const int whole = static_cast<int>(std::fmod(std::trunc(ToDouble(t[8])), 360.0));
        heading = static_cast<uint16_t>((whole + 360) % 360);
    }

    const bool valid = t[2][0] == 'A' && m_fix.hdopX10 <= 80 && hasPosition;
    if (!m_filterEnabled && hasPosition) {
        SetFixPositionNmea(m_fix, lonNmea, latNmea);
        m_fix.speedKmh = static_cast<uint8_t>(speed);
        m_fix.headingDeg = heading;
    }
    if (valid) {
        m_fix.status = kGpsStatusValid;
        if (m_filterEnabled) {
            m_fix.northSouth = latNmea < 0 ? 'S' : 'N';
            m_fix.eastWest = lonNmea < 0 ? 'W' : 'E';
            GpsFilterInput input;
            input.longitudeHs = NmeaToHundredths(lonNmea);
            input.latitudeHs = NmeaToHundredths(latNmea);
            input.altitudeM = m_fix.altitudeM;
            input.headingDeg = heading;
            input.speedKmh = static_cast<uint8_t>(speed);
            input.hdopX10 = m_fix.hdopX10;
            input.satellitesUsed = m_fix.satellitesUsed;
            m_filter.Filter(input, m_fix, m_invalidRun);
        }
        m_invalidRun = 0;
    } else {
        if (m_invalidRun < kMaxInvalidRun) ++m_invalidRun;
        if (m_invalidRun > 2) m_fix.status = kGpsStatusInvalid;
    }
    return kGpsParseRmc;
}

// ---------------------------------------------------------------------------
// Binary frames

int CGPSParser::ParseBinary(const uint8_t* frame, size_t length) {
    if (!frame || length < 4 || frame[0] != 0x81 || frame[length - 1] != 0x82 || length > kWorkCopyBytes) {
        return kGpsParseNone;
    }
    uint8_t b[kWorkCopyBytes];
    size_t n = 0;
    for (size_t i = 0; i < length; ++i) {
        uint8_t c = frame[i];
        if (c == 0x80) {
            if (i + 1 >= length) return kGpsParseNone;
            c = static_cast<uint8_t>(frame[++i] + 0x80);
        }
        b[n++] = c;
    }
    uint8_t sum = 0;
    for (size_t i = 0; i < n; ++i) sum = static_cast<uint8_t>(sum + b[i]);
    if (sum != 0 || n < 4) return kGpsParseNone;

    const uint8_t k1 = b[1], k2 = b[2];
    if (k1 == '0' && k2 == 2) {
        if (n < 25) return kGpsParseNone;   // speed at 22..23, then the end byte
        if ((b[4] & 0x30) == 0 && b[5] == 0xFF) {
            m_binPositionTaken = false;
            return kGpsParseNone;
        }
        m_fix.status = b[5] == 0 ? kGpsStatusValid : kGpsStatusInvalid;
        m_fix.settled = (b[4] >> 6) & 1;
        SetFixPositionNmea(m_fix, DegreesToNmea(BinaryAngleDegrees(I32At(b, 14))),
                           DegreesToNmea(BinaryAngleDegrees(I32At(b, 10))));
        m_fix.altitudeM = U16At(b, 18);
        m_fix.headingDeg = static_cast<uint16_t>(static_cast<int>(U16At(b, 20) * 180.0 / 32768.0) % 360);
        m_fix.speedKmh = static_cast<uint8_t>(std::min(255.0, U16At(b, 22) * 3.6 / 100.0));
        m_binPositionTaken = true;
        return kGpsParseBinFix;
    }
    if (k1 == '1' && k2 == 1) {
        if (n < 24) return kGpsParseNone;
        if (m_binPositionTaken) return kGpsParseNone;
        m_fix.status = (b[7] & 0xFC) < 72 ? kGpsStatusInvalid : kGpsStatusValid;
        m_fix.settled = (b[8] >> 5) & 1;
        SetFixPositionNmea(m_fix, DegreesToNmea(BinaryAngleDegrees(I32At(b, 13))),
                           DegreesToNmea(BinaryAngleDegrees(I32At(b, 9))));
        m_fix.altitudeM = U16At(b, 17);
        m_fix.headingDeg = static_cast<uint16_t>(static_cast<int>(U16At(b, 19) * 180.0 / 32768.0) % 360);
        m_fix.speedKmh = static_cast<uint8_t>(std::min(255.0, (U16At(b, 21) / 100) * 3.6));
        return kGpsParseBinNav;
    }
    if (k1 == '2' && k2 == 1) {
        if (n < 16) return kGpsParseNone;
        m_fix.year = static_cast<uint16_t>(b[3] - 208 + 2000);
        m_fix.month = b[5];
        m_fix.day = b[6];
        m_fix.hour = b[7];
        m_fix.minute = b[8];
        m_fix.second = b[9];
        AddHoursToFixTime(m_fix, 9);
        const int hdop = static_cast<int>(U16At(b, 13) / 256.0 * 10.0);
        m_fix.hdopX10 = static_cast<uint8_t>(std::min(hdop, 255));
        return kGpsParseBinTime;
    }
    if (k1 == '3' && k2 == 1) {
        if (n < 10) return kGpsParseNone;
        const int index = b[3];
        if (index == 0) {
            std::copy(std::begin(m_workTable), std::end(m_workTable), std::begin(m_fix.satellites));
            std::copy(std::begin(m_binUsed), std::end(m_binUsed), std::begin(m_fix.usedPrn));
            m_fix.satellitesInView = static_cast<uint8_t>(m_binHeld);
            m_fix.satellitesUsed = static_cast<uint8_t>(m_binUsedCount);
            std::fill(std::begin(m_workTable), std::end(m_workTable), GpsSatelliteInView{});
            std::fill(std::begin(m_binUsed), std::end(m_binUsed), int16_t{-1});
            m_binHeld = m_binUsedCount = 0;
        }
        const uint8_t state = b[5];
        if (state != 0 && m_binHeld < 32 && m_binUsedCount < 12) {
            GpsSatelliteInView& s = m_workTable[m_binHeld++];
            s.prn = b[4];
            s.snr = static_cast<int16_t>(b[6] * 0.2);
            s.azimuthDeg = static_cast<int16_t>(b[7] * 2);
            s.elevationDeg = b[8];
            if (state & 0x80) m_binUsed[m_binUsedCount++] = b[4];
        }
        return index == 11 ? kGpsParseBinSatLast : kGpsParseBinSat;
    }
    return kGpsParseNone;
}
