#pragma once
// Writes the registered places of earlier releases as those releases kept
// them: the binary "RegLoc.usd" in any of its five layouts and the settings
// file "UserRegLoc.ini" of "key=value" lines (CP949, CR LF). Tests and the
// demo data root describe the places as OldRegLocRecord values.
#include <cstdint>
#include <string>
#include <vector>

#include "settings/old_data_import.h"

namespace olddatawriter {

// "RegLoc.usd" bytes: the version word, then for layout classes 3 to 5 the
// folder count and the folder records (data.folders, old folder 0
// included), then the place count and one record per place in the layout
// of the version's class. Fields a class does not hold are not written.
std::vector<uint8_t> BinaryUserDataBytes(int32_t versionWord, const OldUserData& data);

// "UserRegLoc.ini" bytes: "nFolderCount" (data.folders, old folder 0
// included), a name line for folders 1 and up, "nRegLocCount" and every key
// of every place. False (error set) when a text has no CP949 form.
bool SettingsUserDataBytes(const OldUserData& data, std::string& out, std::string* error = nullptr);

// The version word of a layout class (1..5): the last word of the class.
int32_t VersionWordOfClass(int recordClass);

}  // namespace olddatawriter
