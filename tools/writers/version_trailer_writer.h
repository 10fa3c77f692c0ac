#pragma once
// Writes the 48-byte version trailer that released data files carry at
// their very end: "PELOXVERINFO", a word left 0, major, minor and build
// (u32 little-endian), a word left 0, and a 16-byte 8-bit date text padded
// with NULs.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace writers {

struct VersionStamp {
    uint32_t major = 1;
    uint32_t minor = 0;
    uint32_t build = 0;
    std::string dateCp949;  // up to 16 bytes; longer texts are cut
};

// The 48 trailer bytes.
std::vector<uint8_t> BuildVersionTrailer(const VersionStamp& stamp);

// Appends a trailer to the bytes of a file.
void AppendVersionTrailer(std::vector<uint8_t>& fileBytes, const VersionStamp& stamp);

// Appends a trailer to a file on disk (created empty when missing), written
// through the atomic replace. True on success.
bool StampFileVersion(const std::string& nativePath, const VersionStamp& stamp, std::string* error = nullptr);

}  // namespace writers
