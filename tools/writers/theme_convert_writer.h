#pragma once
// Writes the theme-id conversion table the search databases carry
// ("Map\Search\themeidconvert.sdb"): a little-endian u32 count, then one
// little-endian i32 per old theme id, its new id.
#include <cstdint>
#include <string>
#include <vector>

namespace writers {

// The table bytes: 4 + 4 * newIds.size().
std::vector<uint8_t> BuildThemeIdConvertTable(const std::vector<int32_t>& newIds);

// Writes the table to a native path through the atomic replace, creating
// missing folders. True on success.
bool WriteThemeIdConvertTable(const std::string& nativePath, const std::vector<int32_t>& newIds,
                              std::string* error = nullptr);

}  // namespace writers
