#include "tools/writers/nmea_drive_writer.h"

#include <cmath>
#include <cstdio>
#include <random>

#include "mapdb/mgr_map.h"
#include "positioning/map_match.h"

namespace writers {
namespace {

constexpr double kPi = 3.14159265358979323846;

struct Piece {
    MapPoint a, b;
    double lengthM;
    uint32_t linkId;
    int32_t bearing;
    bool tunnel;
    double linkRestAfterM;  // the link's remaining length after this piece
    double linkTotalM;
};

std::string Sentence(const std::string& body) {
    uint8_t sum = 0;
    for (char c : body) sum ^= static_cast<uint8_t>(c);
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X\r\n", sum);
    return "$" + body + tail;
}

// dddmm.mmmm from map units.
std::string NmeaAngle(int32_t units, int degreeDigits) {
    const double deg = static_cast<double>(units) / kMapUnitsPerDegree;
    const int whole = static_cast<int>(deg);
    const double minutes = (deg - whole) * 60.0;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0*d%07.4f", degreeDigits, whole, minutes);
    return buf;
}

}  // namespace

std::vector<DriveFix> PlanDrive(CMgrMap& map, const std::vector<uint32_t>& links, const DriveOptions& options) {
    std::vector<Piece> pieces;
    std::vector<MapPoint> shape;
    for (uint32_t id : links) {
        MneLinkGuideRecord record{};
        CMneRoadLineMapFile* lines = map.RoadLines();
        if (!map.GetLinkRecord(id, &record) || !lines || !lines->GetLinkShapeCopy(id, 1, shape) || shape.size() < 2)
            return {};
        const bool tunnel = MneIsTunnelStructure(MneLinkStructureKind(record));
        const size_t first = pieces.size();
        for (size_t i = 0; i + 1 < shape.size(); ++i) {
            const double lonF = GetLonMeterPerUnit(shape[i].y, shape[i + 1].y);
            const double latF = GetLatMeterPerUnit(shape[i].y, shape[i + 1].y);
            const double dx = (shape[i + 1].x - shape[i].x) * lonF, dy = (shape[i + 1].y - shape[i].y) * latF;
            pieces.push_back({shape[i], shape[i + 1], std::sqrt(dx * dx + dy * dy), id,
                              CMneAngle::Bearing(shape[i], shape[i + 1]), tunnel, 0.0, 0.0});
        }
        double rest = 0.0;
        for (size_t i = pieces.size(); i-- > first;) {
            pieces[i].linkRestAfterM = rest;
            rest += pieces[i].lengthM;
        }
        for (size_t i = first; i < pieces.size(); ++i) pieces[i].linkTotalM = rest;
    }

    std::mt19937 rng(options.seed);
    std::uniform_real_distribution<double> radius(options.noiseMinM, options.noiseMaxM);
    std::uniform_real_distribution<double> angle(0.0, 2.0 * kPi);
    std::vector<DriveFix> out;
    const double step = options.speedKmh / 3.6;
    size_t piece = 0;
    double along = 0.0;  // metres into the current piece
    int32_t second = options.startSecondsOfDay;
    bool stopped = false;
    while (piece < pieces.size()) {
        const Piece& p = pieces[piece];
        const double t = p.lengthM > 0 ? along / p.lengthM : 0.0;
        DriveFix f;
        f.secondsOfDay = second++;
        f.truth = {static_cast<int32_t>(std::lround(p.a.x + (p.b.x - p.a.x) * t)),
                   static_cast<int32_t>(std::lround(p.a.y + (p.b.y - p.a.y) * t))};
        const double r = radius(rng), w = angle(rng);
        const double lonF = GetLonMeterPerUnit(f.truth.y, f.truth.y), latF = GetLatMeterPerUnit(f.truth.y, f.truth.y);
        f.reported = {f.truth.x + static_cast<int32_t>(std::lround(r * std::cos(w) / lonF)),
                      f.truth.y + static_cast<int32_t>(std::lround(r * std::sin(w) / latF))};
        f.headingDeg = p.bearing;
        f.linkId = p.linkId;
        f.toEndM = static_cast<int32_t>(p.lengthM - along + p.linkRestAfterM);
        f.noFix = options.tunnelGap && p.tunnel;
        // Without a fix of its own the receiver holds its last position.
        if (f.noFix && !out.empty()) f.reported = out.back().reported;

        // The stop: halfway along its link, for the given seconds.
        const bool atStop = !stopped && options.stopLink && p.linkId == options.stopLink && f.toEndM <= p.linkTotalM / 2;
        if (atStop) {
            stopped = true;
            f.speedKmh = 0;
            for (int32_t s = 0; s < options.stopSeconds; ++s) {
                DriveFix still = f;
                still.secondsOfDay = f.secondsOfDay + s;
                const double rr = radius(rng), ww = angle(rng);
                still.reported = {f.truth.x + static_cast<int32_t>(std::lround(rr * std::cos(ww) / lonF)),
                                  f.truth.y + static_cast<int32_t>(std::lround(rr * std::sin(ww) / latF))};
                out.push_back(still);
            }
            second = f.secondsOfDay + options.stopSeconds;
            continue;
        }
        f.speedKmh = options.speedKmh;
        out.push_back(f);

        along += step;
        while (piece < pieces.size() && along >= pieces[piece].lengthM) {
            along -= pieces[piece].lengthM;
            ++piece;
        }
    }
    return out;
}

_tagGpsParsedData DriveMatchInput(const DriveFix& f) {
    _tagGpsParsedData in;
    in.x = f.reported.x;
    in.y = f.reported.y;
    in.time = 1765000000.0 + f.secondsOfDay;
    in.secondsOfDay = f.secondsOfDay;
    in.speedKmh = f.speedKmh;
    in.headingDeg = f.headingDeg;
    in.satellitesInView = 8;
    in.settled = 1;
    in.hdopX10 = 10;
    return in;
}

std::string FormatNmeaDrive(const std::vector<DriveFix>& drive, const DriveOptions& options) {
    std::string text;
    char body[256];
    for (const DriveFix& f : drive) {
        // Local time is UTC + 9 hours; the date does not roll in a drive.
        const int32_t utc = ((f.secondsOfDay - 9 * 3600) % 86400 + 86400) % 86400;
        char time[16], date[16];
        std::snprintf(time, sizeof time, "%02d%02d%02d.00", utc / 3600, utc / 60 % 60, utc % 60);
        std::snprintf(date, sizeof date, "%02d%02d%02d", options.day, options.month, options.year % 100);
        const std::string lat = NmeaAngle(f.reported.y, 2), lon = NmeaAngle(f.reported.x, 3);
        if (f.noFix) {
            std::snprintf(body, sizeof body, "GPRMC,%s,V,,,,,,,%s,,,N", time, date);
            text += Sentence(body);
            std::snprintf(body, sizeof body, "GPGGA,%s,,,,,0,00,99.9,,M,,M,,", time);
            text += Sentence(body);
            continue;
        }
        const double knots = f.speedKmh / 1.852;
        std::snprintf(body, sizeof body, "GPGGA,%s,%s,N,%s,E,1,08,1.0,30.0,M,20.0,M,,", time, lat.c_str(), lon.c_str());
        text += Sentence(body);
        // Eight satellites in view, four to a sentence.
        for (int part = 0; part < 2; ++part) {
            int n = std::snprintf(body, sizeof body, "GPGSV,2,%d,08", part + 1);
            for (int k = 0; k < 4; ++k) {
                const int prn = part * 4 + k + 1;
                n += std::snprintf(body + n, sizeof body - static_cast<size_t>(n), ",%02d,%02d,%03d,%02d", prn,
                                   30 + prn * 5, prn * 40, 40);
            }
            text += Sentence(body);
        }
        // The RMC sentence ends the second's fix.
        std::snprintf(body, sizeof body, "GPRMC,%s,A,%s,N,%s,E,%.1f,%d.0,%s,,,A", time, lat.c_str(), lon.c_str(), knots,
                      f.headingDeg, date);
        text += Sentence(body);
    }
    return text;
}

}  // namespace writers
