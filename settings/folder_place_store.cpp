#include "settings/folder_place_store.h"

#include <cstdio>

#include "settings/module_gps.h"

namespace placestore {

std::u16string EntryKey(const char* prefix, int entry, const char* field) {
    char text[96];
    std::snprintf(text, sizeof text, "%s%03d.%s", prefix, entry, field);
    std::u16string key;
    for (const char* c = text; *c; ++c) key.push_back(static_cast<char16_t>(static_cast<unsigned char>(*c)));
    return key;
}

int EntryOfKey(std::u16string_view key, std::string_view prefix) {
    if (key.size() <= prefix.size()) return -1;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (NvFoldCase(key[i]) != NvFoldCase(static_cast<char16_t>(prefix[i]))) return -1;
    }
    size_t i = prefix.size();
    int64_t number = 0;
    while (i < key.size() && key[i] >= u'0' && key[i] <= u'9') {
        number = std::min<int64_t>(number * 10 + (key[i] - u'0'), INT32_MAX);
        ++i;
    }
    if (i < prefix.size() + 3 || i >= key.size() || key[i] != u'.') return -1;
    return static_cast<int>(number);
}

int HighestEntry(const NvConfigMap& map, std::string_view prefix) {
    int highest = -1;
    NvString key;
    for (int i = 0; i < map.GetCount(); ++i) {
        map.GetAt(i, &key, nullptr, nullptr, nullptr, 0);
        highest = std::max(highest, EntryOfKey(key.View(), prefix));
    }
    return highest;
}

MapPoint CurrentPosition() {
    CMgrConfigModuleGPS* gps = CMgrConfigModuleGPS::Instance();
    return gps ? gps->GetMatchedPosition() : MapPoint{};
}

int DistanceM(const MapPoint& from, const MapPoint& to) {
    const double d = GetDistanceUTM(from, to);
    return d >= 2147483647.0 ? INT32_MAX : static_cast<int>(d);
}

int ReadInt(NvConfigFile& file, const std::u16string& key, int32_t* out) {
    int value = 0;
    const int found = file.GetInt(key.c_str(), &value, 1);
    *out = value;
    return found;
}

int ReadText(NvConfigFile& file, const std::u16string& key, char16_t* field, int units) {
    NvString text;
    const int found = file.GetString(key.c_str(), text, 1);
    CopyNameField(field, units, text.View());
    return found;
}

int WriteText(NvConfigFile& file, const std::u16string& key, const char16_t* field, int units) {
    const std::u16string text = NameForFile(NameFieldView(field, units));
    return file.SetValue(key.c_str(), text.c_str(), kNvConfigTypeString);
}

}  // namespace placestore
