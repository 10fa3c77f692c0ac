#pragma once
// The sentence and frame parser of the GPS receive pipeline.
//
// NMEA: GGA, GSA, GSV and RMC from every GNSS talker ("$GP", "$GN", "$GL",
// "$GA", "$GB", "$GQ", "$GI", and the older "$BD" and "$QZ"), with the field
// counts of NMEA 2.x and 4.10. Every other line (other sentences,
// proprietary "$P..." lines, comments, damage) is dropped with result 0.
// The binary protocol: frames 0x81 .. 0x82 with 0x80 escapes and a zero
// byte sum.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "positioning/gps_fix.h"

class CMgrConfigModuleGPS;

// Protocol mode ("GPSTYPE"): 0 NMEA text, 1 binary frames.
inline constexpr int kGpsProtocolNmea = 0;
inline constexpr int kGpsProtocolBinary = 1;
// The process-wide protocol mode, read by the receive, parser and replay
// threads; loaded before the module starts.
int GetGpsProtocolMode();
void SetGpsProtocolMode(int mode);

// Results of ParseNmea / ParseBinary.
enum GpsParseResult : int {
    kGpsParseNone = 0,
    kGpsParseGga = 1,
    kGpsParseGsa = 2,
    kGpsParseGsv = 3,
    kGpsParseRmc = 4,   // a complete fix
    kGpsParseBinFix = 5,   // a complete fix
    kGpsParseBinNav = 6,
    kGpsParseBinTime = 7,
    kGpsParseBinSat = 8,
    kGpsParseBinSatLast = 9,
};

// True when text starts with "$" and a GNSS talker of the list above.
bool IsGnssTalker(std::string_view text);
// The sentence kind (1..4) of text's first six characters, 0 for others.
int NmeaSentenceKind(std::string_view text);
// True when text carries a valid "*hh" checksum over its body.
bool CheckNmeaChecksum(std::string_view text);
// The sentence a received line carries: from its last '$' to the line end.
// Stray bytes before it (a leading space, noise after a reconnect, the
// binary frames of a receiver that mixes a binary protocol with NMEA on one
// stream) are dropped; a sentence holds no '$' of its own. A line without
// '$' comes back as it is.
std::string_view NmeaSentenceOfLine(std::string_view line);

class CGPSParser {
public:
    static constexpr size_t kWorkCopyBytes = 1024;
    static constexpr int kMaxTokens = 256;
    static constexpr int kMaxInvalidRun = 3600;

    CGPSParser();

    // One sentence (with or without its line end). 0 or 1..4.
    int ParseNmea(std::string_view sentence);
    // One frame from 0x81 to 0x82 as received (escaped). 0 or 5..9.
    int ParseBinary(const uint8_t* frame, size_t length);
    // Copies the record and clears the binary-position-taken flag.
    void TakeFix(GpsFixRecord* out);
    void Reset();

    // Raw mode: the record takes each RMC's position, speed and heading as
    // the receiver gave them, without the filter (for checking receivers).
    void SetFilterEnabled(bool on) { m_filterEnabled = on; }
    // Every complete RMC is copied into the block's relay text while the
    // block's relay flag is set.
    void SetRelayTarget(CMgrConfigModuleGPS* block) { m_relay = block; }

    const GpsFixRecord& Record() const { return m_fix; }
    const CGPSFilter& Filter() const { return m_filter; }

private:
    struct Tokens;
    int AnalysisGGA(const Tokens& t);
    int AnalysisGSA(const Tokens& t);
    int AnalysisGSV(const Tokens& t);
    int AnalysisRMC(const Tokens& t, std::string_view sentence);

    GpsFixRecord m_fix;
    CGPSFilter m_filter;
    int m_noFixCount = 0;
    int m_noSatCount = 0;
    int m_invalidRun = 0;
    GpsSatelliteInView m_workTable[32] = {};
    int m_workCount = 0;
    bool m_hadFix = false;
    bool m_coldStart = false;
    bool m_cycleOpen = false;
    // The GSV cycles of one epoch, one per talker, go into one table.
    uint32_t m_epochTalkers = 0;
    int m_epochInView = 0;
    int m_cycleBase = 0;
    bool m_cycleCounts = true;
    // Several GSA of one epoch (one per system) fill one used list.
    int m_lastKind = 0;
    int m_usedFill = 0;
    // Binary cycle.
    int16_t m_binUsed[12] = {};
    int m_binHeld = 0;
    int m_binUsedCount = 0;
    bool m_binPositionTaken = false;
    // Wrong-count RMC runs.
    bool m_goodRmcSeen = false;
    bool m_badRmcRun = false;
    bool m_filterEnabled = true;
    CMgrConfigModuleGPS* m_relay = nullptr;
};
