#pragma once
// "\Guide.dat", the saved route that lets guidance resume after a restart.
//
// Little-endian fixed-width fields, written in one pass and read in the
// same order:
//
//   offset      size   field
//   0           32     map version text, UTF-16, at most 15 characters, zero-filled
//   32          32     file format version, UTF-16 "1.0.0", zero-filled
//   64          4      route kind
//   68          4      module state word to restore (3)
//   72          4      guidance data present flag (1)
//   76          4      the first word of the selected route structure
//   80          4      route point record count n (0..18)
//   84          40 n   the route point records, stored unchanged
//   84 + 40n    4      link count m
//   88 + 40n    4 m    the route's link identifiers (signed)
//   88 + 40n+4m 8      check trailer: "GDCK" and the CRC-32 of every byte before it
//
// Older files end after the link identifiers; a reader that stops there
// (as old readers do) never sees the trailer. A file that ends in the
// trailer must match it, so any damaged byte is caught, not only damaged
// counts; a file that does not must end exactly after its links.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

inline constexpr char16_t kGuideFileVersion[] = u"1.0.0";
inline constexpr size_t kGuideDatTextUnits = 16;  // 32 bytes per text field
inline constexpr size_t kGuideDatMapVersionChars = 15;
inline constexpr size_t kGuideDatHeaderBytes = 84;
inline constexpr int kGuideRoutePointMax = 18;
inline constexpr size_t kGuideRoutePointBytes = 40;
// Every directed link of the road network (link numbers 1..1999999, both
// directions) at most once: no planned route is longer.
inline constexpr int32_t kGuideDatMaxLinks = 2 * 1999999;
inline constexpr uint32_t kGuideDatCheckMagic = 0x4B434447;  // "GDCK"
inline constexpr size_t kGuideDatCheckBytes = 8;
inline constexpr int32_t kGuideDatModuleState = 3;
// The largest file a valid route can make.
inline constexpr size_t kGuideDatMaxBytes = kGuideDatHeaderBytes + kGuideRoutePointMax * kGuideRoutePointBytes +
                                            4 + 4 * static_cast<size_t>(kGuideDatMaxLinks) + kGuideDatCheckBytes;

// A route point record of the route planner: 40 bytes whose layout is the
// planner's; guidance stores and saves them unchanged.
struct GuideRoutePoint {
    uint8_t bytes[kGuideRoutePointBytes] = {};
    friend bool operator==(const GuideRoutePoint&, const GuideRoutePoint&) = default;
};
static_assert(sizeof(GuideRoutePoint) == kGuideRoutePointBytes);

// The content of the file.
struct GuideDatRecord {
    std::u16string mapVersion;  // at most 15 characters are stored
    int32_t routeKind = 0;
    int32_t moduleState = kGuideDatModuleState;
    int32_t dataPresent = 1;
    int32_t routeWord = 0;
    int32_t pointCount = 0;  // 0..18
    GuideRoutePoint points[kGuideRoutePointMax];
    std::vector<int32_t> links;

    friend bool operator==(const GuideDatRecord& a, const GuideDatRecord& b);
};

enum class GuideDatStatus {
    kOk,
    kTruncated,         // a field is cut off
    kOtherMap,          // saved with another map version
    kOtherFileVersion,  // not "1.0.0"
    kTooManyPoints,     // n outside 0..18
    kBadLinkCount,      // m negative, above the limit or beyond the file's end
    kTrailingBytes,     // bytes after the links (and no check trailer)
    kCheckMismatch,     // the check trailer does not match the bytes
};

const char* GuideDatStatusText(GuideDatStatus status);

// The file's bytes, check trailer included. False (out cleared) for a
// record the format cannot hold: n outside 0..18 or more links than
// kGuideDatMaxLinks.
bool EncodeGuideDat(const GuideDatRecord& record, std::vector<uint8_t>& out);

// Reads a whole file. The map version text must equal mapVersion (cut to
// 15 characters). Anything but kOk leaves out untouched.
GuideDatStatus DecodeGuideDat(const uint8_t* data, size_t size, std::u16string_view mapVersion,
                              GuideDatRecord& out);

// CRC-32 (the zip polynomial) of the check trailer.
uint32_t GuideDatCrc32(const uint8_t* data, size_t size);
