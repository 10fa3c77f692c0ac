#include "settings/old_data_import.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "foundation/debug_trace.h"
#include "foundation/nv_time.h"
#include "platform/byte_cursor.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "settings/name_field.h"
#include "settings/user_data_base.h"

namespace {

// The largest "RegLoc.usd" that can be taken: the version word, 12 folders,
// 200 places of the largest class. Bytes after that are never read.
constexpr size_t kMaxBinaryBytes = 4 + 4 + kOldMaxFolders * kOldFolderRecordBytes + 4 + kOldMaxPlaces * 260;
// A settings file of 200 places is some 300 KB; anything far beyond is not
// an old settings file.
constexpr int64_t kMaxSettingsFileBytes = 4 * 1024 * 1024;

// The text of a stored field: up to its terminator, at most keep units.
std::u16string FieldText(const char16_t* units, size_t count, size_t keep) {
    std::u16string text(NameFieldView(units, static_cast<int>(count)));
    if (text.size() > keep) text.resize(keep);
    return text;
}

void ReadTimeOfDay(platform::ByteReader& r, OldTimeOfDay& t) {
    t.uHour = r.U8();
    t.uMinute = r.U8();
    t.uSecond = r.U8();
    r.Skip(1);
}

// Start, end, last-ran date, weekday mask: 16 bytes.
void ReadAlarm(platform::ByteReader& r, OldRegLocRecord& p) {
    ReadTimeOfDay(r, p.startTime);
    ReadTimeOfDay(r, p.endTime);
    p.lastRanDate.sYear = r.I16();
    p.lastRanDate.uMonth = r.U8();
    p.lastRanDate.uDay = r.U8();
    p.nDayOfWeek = r.I32();
}

// x, y, 65 units of name, 2 bytes not used: 140 bytes.
void ReadPosition(platform::ByteReader& r, OldRegLocRecord& p) {
    p.x = r.I32();
    p.y = r.I32();
    char16_t name[kOldNameUnits];
    r.Utf16(name, kOldNameUnits);
    p.name = FieldText(name, kOldNameUnits, kOldNameUnits - 1);
    r.Skip(2);
}

void ReadPlace(platform::ByteReader& r, int recordClass, int position, OldRegLocRecord& p) {
    switch (recordClass) {
        case 1:
            p.nShortKey = r.I32();
            ReadPosition(r, p);
            p.nIndex = position;
            break;
        case 2: {
            p.nShortKey = r.I32();
            ReadPosition(r, p);
            // The alarm state of these releases: 2 meant switched on.
            p.bAlramUse = r.I32() == 2 ? 1 : 0;
            ReadAlarm(r, p);
            p.nIndex = position;
            break;
        }
        default:
            p.nFolder = r.I32();
            p.nIndex = r.I32();
            p.nShortKey = r.I32();
            p.nCate = r.I32();
            p.nIcon = r.I32();
            p.nVoice = r.I32();
            p.bAlramUse = r.I32();
            if (recordClass >= 4) p.eRegionCheck = r.I32();
            ReadAlarm(r, p);
            ReadPosition(r, p);
            if (recordClass == 5) {
                char16_t memo[kOldMemoUnits];
                r.Utf16(memo, kOldMemoUnits);
                p.memo = FieldText(memo, kOldMemoUnits, kOldMemoUnits);
                r.Skip(40);
            }
            break;
    }
}

constexpr char kPlacePrefix[] = "RegLocData";

// "<prefix>NNN.<field>" ("%03d").
userdata::KeyText Key(const char* prefix, int entry, const char* field) { return userdata::EntryKey(prefix, entry, field); }

// An integer key into a field of any width; a missing key keeps the field.
template <class T>
void ReadKey(const NvConfigMap& keys, const userdata::KeyText& key, T& field) {
    int value = 0;
    if (keys.GetInt(key.c_str(), &value)) field = static_cast<T>(value);
}

void ReadTextKey(const NvConfigMap& keys, const userdata::KeyText& key, std::u16string& field, size_t keep) {
    NvString value;
    if (!keys.GetValue(key.c_str(), value)) return;
    field.assign(value.View().substr(0, keep));
}

void ReadSettingsPlace(const NvConfigMap& keys, int entry, OldRegLocRecord& p) {
    const auto key = [entry](const char* field) { return Key(kPlacePrefix, entry, field); };
    ReadKey(keys, key("nFolder"), p.nFolder);
    ReadKey(keys, key("nIndex"), p.nIndex);
    ReadKey(keys, key("nShortKey"), p.nShortKey);
    ReadKey(keys, key("nCate"), p.nCate);
    ReadKey(keys, key("nIcon"), p.nIcon);
    ReadKey(keys, key("nVoice"), p.nVoice);
    ReadKey(keys, key("bAlramUse"), p.bAlramUse);
    ReadKey(keys, key("eRegionCheck"), p.eRegionCheck);
    ReadKey(keys, key("lAlramData.AStartTime.uHour"), p.startTime.uHour);
    ReadKey(keys, key("lAlramData.AStartTime.uMinute"), p.startTime.uMinute);
    ReadKey(keys, key("lAlramData.AStartTime.uSecond"), p.startTime.uSecond);
    ReadKey(keys, key("lAlramData.AEndTime.uHour"), p.endTime.uHour);
    ReadKey(keys, key("lAlramData.AEndTime.uMinute"), p.endTime.uMinute);
    ReadKey(keys, key("lAlramData.AEndTime.uSecond"), p.endTime.uSecond);
    ReadKey(keys, key("lAlramData.ALastRanDate.sYear"), p.lastRanDate.sYear);
    ReadKey(keys, key("lAlramData.ALastRanDate.uMonth"), p.lastRanDate.uMonth);
    ReadKey(keys, key("lAlramData.ALastRanDate.uDay"), p.lastRanDate.uDay);
    ReadKey(keys, key("lAlramData.ADayOfWeek"), p.nDayOfWeek);
    ReadKey(keys, key("PosInfo.wcPosition.x"), p.x);
    ReadKey(keys, key("PosInfo.wcPosition.y"), p.y);
    ReadTextKey(keys, key("PosInfo.szName"), p.name, kOldNameUnits - 1);
    ReadTextKey(keys, key("szMemo"), p.memo, kOldMemoUnits);
}

// The old last-ran date at 00:00:00; 0 (never ran) for the zero date the
// old files hold for places whose alarm never went off, and for dates no
// calendar has.
int64_t LastRanTime(const OldDate& date) {
    if (date.sYear < 1970 || date.uMonth < 1 || date.uMonth > 12 || date.uDay < 1 || date.uDay > 31) return 0;
    return static_cast<int64_t>(DateTimeToSeconds(date.sYear, date.uMonth, date.uDay, 0, 0, 0));
}

PackedTimeOfDay ToPacked(const OldTimeOfDay& t) { return PackedTimeOfDay{t.uHour, t.uMinute, t.uSecond}; }

}  // namespace

int OldRecordClassOfVersion(int32_t versionWord) {
    if (versionWord <= kOldVersionClass1Last) return 1;
    if (versionWord <= kOldVersionClass2Last) return 2;
    if (versionWord <= kOldVersionClass3Last) return 3;
    if (versionWord == kOldVersionClass4) return 4;
    return 5;
}

size_t OldPlaceRecordBytes(int recordClass) {
    switch (recordClass) {
        case 1: return 4 + kOldPositionBytes;
        case 2: return 4 + kOldPositionBytes + 4 + kOldAlarmBytes;
        case 3: return 7 * 4 + kOldAlarmBytes + kOldPositionBytes;
        case 4: return 8 * 4 + kOldAlarmBytes + kOldPositionBytes;
        case 5: return 8 * 4 + kOldAlarmBytes + kOldPositionBytes + 2 * kOldMemoUnits + 40;
        default: return 0;
    }
}
static_assert(4 + kOldPositionBytes == 144);

int ParseOldBinaryUserData(const uint8_t* data, size_t size, OldUserData& out, std::string* error) {
    out = OldUserData{};
    const auto fail = [&](const std::string& why) {
        out = OldUserData{};
        if (error) *error = why;
        return 0;
    };
    platform::ByteReader r(data, size);
    const int32_t version = r.I32();
    if (!r.Ok()) return fail("no version word");
    const int recordClass = OldRecordClassOfVersion(version);

    if (recordClass >= 3) {
        const uint32_t folderCount = r.U32();
        if (!r.Ok()) return fail("the file ends before the folder count");
        if (folderCount > static_cast<uint32_t>(kOldMaxFolders)) {
            return fail(std::to_string(folderCount) + " folders, at most 12");
        }
        for (uint32_t i = 0; i < folderCount; ++i) {
            r.Skip(4);
            char16_t name[kOldFolderNameUnits];
            r.Utf16(name, kOldFolderNameUnits);
            if (!r.Ok()) return fail("the file ends inside folder " + std::to_string(i));
            out.folders.push_back(FieldText(name, kOldFolderNameUnits, kOldFolderNameUnits));
        }
    }

    const uint32_t placeCount = r.U32();
    if (!r.Ok()) return fail("the file ends before the place count");
    if (placeCount > static_cast<uint32_t>(kOldMaxPlaces)) {
        return fail(std::to_string(placeCount) + " places, at most 200");
    }
    for (uint32_t i = 0; i < placeCount; ++i) {
        OldRegLocRecord place;
        ReadPlace(r, recordClass, static_cast<int>(i), place);
        if (!r.Ok()) {
            return fail("the file ends inside place " + std::to_string(i) + " (records of " +
                        std::to_string(OldPlaceRecordBytes(recordClass)) + " bytes)");
        }
        out.places.push_back(std::move(place));
    }
    return 1;
}

void ParseOldSettingsBytes(std::string_view bytes, NvConfigMap& keys) {
    // Lines in the typed form lose their "|type" so that both forms give
    // the same keys. Neither '|' nor '=' occurs inside a CP949 character.
    std::string plain;
    plain.reserve(bytes.size());
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        end = end == std::string_view::npos ? bytes.size() : end + 1;
        std::string_view line = bytes.substr(start, end - start);
        const size_t equals = line.find('=');
        const size_t bar = line.find('|');
        if (bar != std::string_view::npos && equals != std::string_view::npos && bar < equals) {
            plain.append(line.substr(0, bar));
            plain.append(line.substr(equals));
        } else {
            plain.append(line);
        }
        start = end;
    }
    std::string error;
    if (!ParseNvKeyValueBytes(plain, keys, &error)) DebugTrace(1, "[CFG] old settings lines skipped: %s\n", error.c_str());
}

int ReadOldSettingsUserData(const NvConfigMap& keys, OldUserData& out, std::string* error) {
    out = OldUserData{};
    int folderCount = 0;
    keys.GetInt(u"nFolderCount", &folderCount);
    // A file cannot name more folders than it has lines; a larger count is
    // damage, not a folder list to allocate.
    if (folderCount < 0 || folderCount > keys.GetCount()) {
        if (error) *error = "nFolderCount " + std::to_string(folderCount) + " does not fit the file";
        return 0;
    }
    if (folderCount > 0) out.folders.emplace_back();  // old folder 0 has no name line
    for (int i = 1; i < folderCount; ++i) {
        std::u16string name;
        ReadTextKey(keys, Key("FolderData", i, "szName"), name, kOldFolderNameUnits);
        out.folders.push_back(std::move(name));
    }

    int placeCount = 0;
    keys.GetInt(u"nRegLocCount", &placeCount);
    // The registered places keep the newest 200 of a longer list; reading
    // only those gives the same result without walking a count of millions.
    const int first = std::max(0, placeCount - kOldMaxPlaces);
    // A place the file holds no key of reads as a place with every key
    // missing: only places with keys are looked up key by key (a count of
    // 200 over a file of a few lines would otherwise cost thousands of
    // look-ups that find nothing).
    std::vector<char> hasKeys(static_cast<size_t>(std::max(0, placeCount - first)), 0);
    for (int k = 0; k < keys.GetCount(); ++k) {
        const int entry = userdata::EntryNumberOfKey(keys.KeyAt(k), kPlacePrefix, true);
        if (entry >= first && entry < placeCount) hasKeys[static_cast<size_t>(entry - first)] = 1;
    }
    for (int i = first; i < placeCount; ++i) {
        OldRegLocRecord place;
        if (hasKeys[static_cast<size_t>(i - first)]) ReadSettingsPlace(keys, i, place);
        out.places.push_back(std::move(place));
    }
    return 1;
}

_tagUISTRUCT_REGDEST ConvertOldPlace(const OldRegLocRecord& old, int folderCount) {
    _tagUISTRUCT_REGDEST r{};
    r.nOrigin = old.nShortKey;
    r.eCate = old.nCate == 0 ? 1 : old.nCate == 1 ? 2 : 0;
    r.nIcon = old.nIcon;
    r.nVoice = old.nVoice;
    r.bAlramUse = old.bAlramUse;
    r.eRegionCheck = old.eRegionCheck;
    const int64_t folder = static_cast<int64_t>(old.nFolder) - 1;
    r.nFolder = (folder < 0 || folder >= folderCount) ? 0 : static_cast<int32_t>(folder);
    r.lAlramData.lStartTime = ToPacked(old.startTime);
    r.lAlramData.lEndTime = ToPacked(old.endTime);
    r.lAlramData.tLastRanTime = LastRanTime(old.lastRanDate);
    r.lAlramData.nDayOfWeek = old.nDayOfWeek;
    CopyNameField(r.szMemo, _tagUISTRUCT_REGDEST::kMemoUnits, old.memo);
    r.PosInfo.wcPosition = MapPoint{old.x, old.y};
    CopyNameField(r.PosInfo.szName, kCourseNameUnits, old.name);
    return r;
}

void ConvertOldFolders(const OldUserData& old, NvArray<_tagUISTRUCT_FOLDERITEM>& folders) {
    folders.RemoveAll();
    // Old folder 0 was the old default folder; it is not taken over. Data
    // without a further folder get the default folder, so that every place
    // has a folder to be in.
    if (old.folders.size() < 2) {
        _tagUISTRUCT_FOLDERITEM item;
        CopyNameField(item.szFolderName, _tagUISTRUCT_FOLDERITEM::kNameChars, kDefaultFolderName);
        folders.Add(item);
        return;
    }
    for (size_t i = 1; i < old.folders.size(); ++i) {
        _tagUISTRUCT_FOLDERITEM item;
        // The old name field holds 64 units like the new one, terminated
        // only when shorter.
        const std::u16string& name = old.folders[i];
        std::copy_n(name.data(), std::min<size_t>(name.size(), _tagUISTRUCT_FOLDERITEM::kNameChars),
                    item.szFolderName);
        folders.Add(item);
    }
}

std::string CMgrConfigUIDataConvert::OldFilePath(const char16_t* name) const {
    NvString path;
    path.Format(u"%s\\%s", m_folder.GetData() ? m_folder.GetData() : u"", name);
    return NvConfigFile::NativeFilePath(path);
}

bool CMgrConfigUIDataConvert::Convert(NvArray<_tagUISTRUCT_FOLDERITEM>* folders,
                                      NvArray<_tagUISTRUCT_REGDEST>* places, const char16_t* folder) {
    if (folders) folders->RemoveAll();
    if (places) places->RemoveAll();
    m_source = Source::kNone;
    m_lastError.clear();
    m_folder = folder ? NvString(folder) : NvFilePath().GetSettingsFileName(-1, 1);

    OldUserData old;
    Source source = Source::kNone;
    const std::string settingsPath = OldFilePath(kOldSettingsFileName);
    platform::File settingsFile;
    if (!settingsPath.empty() && settingsFile.Open(settingsPath)) {
        const int64_t size = settingsFile.Size();
        std::string bytes;
        if (size >= 0 && size <= kMaxSettingsFileBytes) {
            bytes.resize(static_cast<size_t>(size));
            if (settingsFile.ReadExactAt(0, bytes.data(), bytes.size())) source = Source::kSettingsFile;
        }
        if (source == Source::kSettingsFile) {
            NvConfigMap keys;
            ParseOldSettingsBytes(bytes, keys);
            if (!ReadOldSettingsUserData(keys, old, &m_lastError)) source = Source::kNone;
        } else {
            m_lastError = "cannot read " + settingsPath;
        }
        if (source == Source::kNone) DebugTrace(1, "[CFG] old user data %s: %s\n", settingsPath.c_str(), m_lastError.c_str());
    }

    if (source == Source::kNone) {
        const std::string binaryPath = OldFilePath(kOldBinaryFileName);
        platform::File binaryFile;
        if (binaryPath.empty() || !binaryFile.Open(binaryPath)) return false;
        std::vector<uint8_t> bytes(kMaxBinaryBytes);
        const int64_t got = binaryFile.ReadAt(0, bytes.data(), bytes.size());
        if (got < 0) {
            m_lastError = "cannot read " + binaryPath;
        } else if (ParseOldBinaryUserData(bytes.data(), static_cast<size_t>(got), old, &m_lastError)) {
            source = Source::kBinaryFile;
        }
        if (source == Source::kNone) {
            DebugTrace(1, "[CFG] old user data %s: %s\n", binaryPath.c_str(), m_lastError.c_str());
            return false;
        }
    }

    NvArray<_tagUISTRUCT_FOLDERITEM> newFolders;
    ConvertOldFolders(old, newFolders);
    NvArray<_tagUISTRUCT_REGDEST> newPlaces;
    for (const OldRegLocRecord& place : old.places) {
        if (newPlaces.Add(ConvertOldPlace(place, newFolders.GetCount())) < 0) {
            m_lastError = "out of memory";
            return false;
        }
    }
    if (folders) *folders = std::move(newFolders);
    if (places) *places = std::move(newPlaces);
    m_source = source;
    return true;
}

int CMgrConfigUIDataConvert::RemoveOldFiles() {
    std::vector<std::string> paths;
    if (m_source == Source::kSettingsFile) paths = {OldFilePath(kOldSettingsFileName), OldFilePath(kOldBinaryFileName)};
    if (m_source == Source::kBinaryFile) paths = {OldFilePath(kOldBinaryFileName)};
    int gone = 1;
    for (const std::string& path : paths) {
        platform::RemoveFile(path);
        if (platform::FileExists(path)) {
            DebugTrace(1, "[CFG] old user data %s could not be removed\n", path.c_str());
            gone = 0;
        }
    }
    return paths.empty() ? 0 : gone;
}

bool CMgrConfigUIDataConvert::ImportIntoRegDest(NvArray<_tagUISTRUCT_FOLDERITEM>& folders,
                                                NvArray<_tagUISTRUCT_REGDEST>& places) {
    return ImportIntoRegDest(folders, places, nullptr);
}

bool CMgrConfigUIDataConvert::ImportIntoRegDest(NvArray<_tagUISTRUCT_FOLDERITEM>& folders,
                                                NvArray<_tagUISTRUCT_REGDEST>& places, const char16_t* folder) {
    // Old files beside an existing "\RegDest.udt" were taken over before and
    // could not be deleted then: importing them again would replace every
    // place the driver has changed since. They are left as they are.
    std::string regDest;
    if (platform::NativePath(NvFilePath().GetSettingsFileName(NV_FILE_REG_DEST, 1).ToUtf8(), regDest) &&
        platform::IsRegularFile(regDest)) {
        return false;
    }
    CMgrConfigUIDataConvert convert;
    if (!convert.Convert(&folders, &places, folder)) return false;

    // The registered places' file is written here, by a store of the same
    // kind that is not the process-wide one (which is being built and calls
    // this), so that the old files go only once the new file holds their
    // places.
    CMgrConfigUIDataFolderPlaces<RegDestTraits> store;
    for (int i = 0; i < folders.GetCount(); ++i) store.AddFolder(*folders.GetAt(i), 0);
    store.RebuildFolderLists(1);
    for (int i = 0; i < places.GetCount(); ++i) store.AddItem(*places.GetAt(i), 0);
    store.RebuildLists(1);
    if (!store.Save(nullptr)) {
        DebugTrace(1, "[CFG] old user data kept: the registered places could not be saved\n");
        folders.RemoveAll();
        places.RemoveAll();
        return false;
    }
    convert.RemoveOldFiles();
    return true;
}

void CMgrConfigUIDataConvert::Install() {
    bool (*import)(NvArray<_tagUISTRUCT_FOLDERITEM>&, NvArray<_tagUISTRUCT_REGDEST>&) = &ImportIntoRegDest;
    CMgrConfigUIDataRegDest::SetOldDataImport(import);
}
