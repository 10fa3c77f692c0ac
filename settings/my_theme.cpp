#include "settings/my_theme.h"

#include <cstring>

#include "foundation/debug_trace.h"
#include "platform/byte_cursor.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "settings/global_data.h"

using placestore::EntryKey;
using placestore::ReadInt;
using placestore::ReadText;
using placestore::WriteText;

bool operator==(const _tagUISTRUCT_MYTHEME& a, const _tagUISTRUCT_MYTHEME& b) {
    return a.nIcon == b.nIcon && a.nVoice == b.nVoice && a.nFolder == b.nFolder && a.nThemeID == b.nThemeID &&
           a.PosInfo.wcPosition == b.PosInfo.wcPosition &&
           std::memcmp(a.PosInfo.szName, b.PosInfo.szName, sizeof a.PosInfo.szName) == 0;
}

int MyThemeTraits::ReadFields(NvConfigFile& file, int entry, Record& r) {
    const auto key = [entry](const char* field) { return EntryKey(kItemKey, entry, field); };
    int found = ReadInt(file, key("nIcon"), &r.nIcon);
    found += ReadInt(file, key("nVoice"), &r.nVoice);
    found += ReadInt(file, key("nFolder"), &r.nFolder);
    found += ReadInt(file, key("nThemeID"), &r.nThemeID);
    found += ReadInt(file, key("PosInfo.wcPosition.x"), &r.PosInfo.wcPosition.x);
    found += ReadInt(file, key("PosInfo.wcPosition.y"), &r.PosInfo.wcPosition.y);
    found += ReadText(file, key("PosInfo.szName"), r.PosInfo.szName, kCourseNameUnits);
    return found;
}

int MyThemeTraits::WriteFields(NvConfigFile& file, int entry, const Record& r) {
    const auto key = [entry](const char* field) { return EntryKey(kItemKey, entry, field); };
    int ok = file.SetInt(key("nIcon").c_str(), r.nIcon);
    ok &= file.SetInt(key("nVoice").c_str(), r.nVoice);
    ok &= file.SetInt(key("nFolder").c_str(), r.nFolder);
    ok &= file.SetInt(key("nThemeID").c_str(), r.nThemeID);
    ok &= file.SetInt(key("PosInfo.wcPosition.x").c_str(), r.PosInfo.wcPosition.x);
    ok &= file.SetInt(key("PosInfo.wcPosition.y").c_str(), r.PosInfo.wcPosition.y);
    ok &= WriteText(file, key("PosInfo.szName"), r.PosInfo.szName, kCourseNameUnits);
    return ok;
}

// ---- conversion table

bool ParseThemeIdTable(const uint8_t* data, size_t size, std::vector<int32_t>& ids, std::string* error) {
    ids.clear();
    const auto fail = [error](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    platform::ByteReader reader(data, size);
    const uint32_t count = reader.U32();
    if (!reader.Ok()) return fail("no count (" + std::to_string(size) + " bytes)");
    // A table cut short or followed by other bytes is not the table the
    // search databases were built with: converting ids through it would
    // renumber the driver's places for good.
    if (reader.Remaining() / 4 < count) {
        return fail("count " + std::to_string(count) + " but room for " + std::to_string(reader.Remaining() / 4));
    }
    if (reader.Remaining() != static_cast<size_t>(count) * 4) {
        return fail(std::to_string(reader.Remaining() - static_cast<size_t>(count) * 4) + " bytes after the table");
    }
    ids.reserve(count);
    for (uint32_t i = 0; i < count; ++i) ids.push_back(reader.I32());
    if (!reader.Ok()) {
        ids.clear();
        return fail("table cut short");
    }
    if (error) error->clear();
    return true;
}

NvString ThemeIdTableFile() {
    const CMgrConfigGlobalData& global = CMgrConfigGlobalData::Instance();
    NvString path(NameFieldView(global.m_rootFolder, CMgrConfigGlobalData::kTextChars));
    path.Append(u"\\Map\\Search\\themeidconvert.sdb");
    return path;
}

namespace {

// The table's entries when it exists and is sound; false otherwise.
bool ReadThemeIdTable(std::vector<int32_t>& ids) {
    const NvString file = ThemeIdTableFile();
    const std::string native = NvConfigFile::NativeFilePath(file);
    if (native.empty() || !platform::FileExists(native)) return false;
    std::vector<uint8_t> bytes;
    std::string error;
    if (!platform::ReadWholeFile(native, bytes, &error) || !ParseThemeIdTable(bytes.data(), bytes.size(), ids, &error)) {
        DebugTrace(1, "[CFG] %s: %s; theme ids kept as stored\n", native.c_str(), error.c_str());
        return false;
    }
    return true;
}

}  // namespace

// ---- store

CMgrConfigUIDataMyTheme::CMgrConfigUIDataMyTheme() {
    if (!Load(nullptr)) {
        CMgrConfigUIDataFolder::ResetFolders();
        Save(nullptr);
    }
}

int CMgrConfigUIDataMyTheme::Load(const char16_t* file) {
    std::vector<int32_t> table;
    const bool haveTable = ReadThemeIdTable(table);
    return LoadPlaces(file, [&](_tagUISTRUCT_MYTHEME& place) {
        if (!haveTable || place.nThemeID < 0 || static_cast<size_t>(place.nThemeID) >= table.size()) return false;
        const int32_t converted = table[static_cast<size_t>(place.nThemeID)];
        if (converted == place.nThemeID) return false;
        place.nThemeID = converted;
        return true;
    });
}
