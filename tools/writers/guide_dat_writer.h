#pragma once
// Writes "\Guide.dat" files for tests and fixtures, field by field as the
// file lays them out, including files the program must refuse (another
// file version, a point count of 19, a link count that does not match the
// links that follow, no check trailer).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace writers {

struct GuideDatDesc {
    std::u16string mapVersion;               // cut to 16 units
    std::u16string fileVersion = u"1.0.0";   // cut to 16 units
    int32_t routeKind = 1;
    int32_t moduleState = 3;
    int32_t dataPresent = 1;
    int32_t routeWord = 0;
    // Each route point is 40 bytes: here a tag byte repeated, so a test can
    // tell the records apart at a glance.
    std::vector<uint8_t> pointTags;
    std::optional<int32_t> pointCount;  // written instead of pointTags.size() when set
    std::vector<int32_t> links;
    std::optional<int32_t> linkCount;   // written instead of links.size() when set
    bool checkTrailer = true;         // "GDCK" and the CRC-32 of the bytes before it
};

// The 40-byte route point record of a tag.
std::vector<uint8_t> GuideRoutePointBytes(uint8_t tag);

std::vector<uint8_t> BuildGuideDat(const GuideDatDesc& desc);

// Writes the file through the atomic replace; true on success.
bool WriteGuideDat(const std::string& nativePath, const GuideDatDesc& desc, std::string* error = nullptr);

}  // namespace writers
