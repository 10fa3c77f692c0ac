#include "settings/user_data_base.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "foundation/debug_trace.h"
#include "settings/course_current.h"
#include "settings/module_gps.h"
#include "settings/name_field.h"

namespace userdata {

KeyText& KeyText::Append(std::string_view ascii) {
    if (m_spoiled) return *this;
    if (ascii.size() > kCapacity - m_length) {
        m_spoiled = true;
        m_length = 0;
        m_units[0] = u'\0';
        return *this;
    }
    for (const char c : ascii) m_units[m_length++] = static_cast<char16_t>(static_cast<unsigned char>(c));
    m_units[m_length] = u'\0';
    return *this;
}

KeyText EntryKey(std::string_view prefix, int entry, std::string_view field) {
    char number[16];
    const int digits = std::snprintf(number, sizeof number, "%03d", entry);
    KeyText key;
    key.Append(prefix).Append(std::string_view(number, static_cast<size_t>(digits))).Append(".").Append(field);
    return key;
}

int EntryNumberOfKey(std::u16string_view key, std::string_view prefix, bool foldCase) {
    if (key.size() <= prefix.size()) return -1;
    for (size_t i = 0; i < prefix.size(); ++i) {
        const char16_t want = static_cast<char16_t>(static_cast<unsigned char>(prefix[i]));
        if (foldCase ? NvFoldCase(key[i]) != NvFoldCase(want) : key[i] != want) return -1;
    }
    size_t i = prefix.size();
    int64_t number = 0;
    while (i < key.size() && key[i] >= u'0' && key[i] <= u'9') {
        number = std::min<int64_t>(number * 10 + (key[i] - u'0'), INT32_MAX);
        ++i;
    }
    // At least the three digits of "%03d", then the field.
    if (i < prefix.size() + 3 || i >= key.size() || key[i] != u'.') return -1;
    return static_cast<int>(number);
}

int HighestEntry(const NvConfigMap& map, EntryOfKeyFn entryOf) {
    int highest = -1;
    for (int i = 0; i < map.GetCount(); ++i) highest = std::max(highest, entryOf(map.KeyAt(i)));
    return highest;
}

int ReadInt(NvConfigFile& file, const char16_t* key, int32_t* out) {
    int value = 0;
    const int found = file.GetInt(key, &value, 1);
    *out = value;
    return found;
}

int ReadText(NvConfigFile& file, const char16_t* key, char16_t* field, int units) {
    std::u16string_view text;
    const int found = file.GetString(key, text, 1);
    CopyNameField(field, units, text);
    return found;
}

int WriteText(NvConfigFile& file, const char16_t* key, const char16_t* field, int units) {
    const std::u16string text = NameForFile(NameFieldView(field, units));
    return file.SetValue(key, text.c_str(), kNvConfigTypeString);
}

MapPoint CurrentPosition() {
    CMgrConfigModuleGPS* gps = CMgrConfigModuleGPS::Instance();
    return gps ? gps->GetMatchedPosition() : MapPoint{};
}

int DistanceM(const MapPoint& from, const MapPoint& to) {
    const double d = GetDistanceUTM(from, to);
    return d >= 2147483647.0 ? INT32_MAX : static_cast<int>(d);
}

bool SamePlace(const _tagUISTRUCT_POSINFO& a, const _tagUISTRUCT_POSINFO& b, int32_t nearUnits) {
    const int64_t near = nearUnits;
    const int64_t dx = int64_t{a.wcPosition.x} - b.wcPosition.x;
    const int64_t dy = int64_t{a.wcPosition.y} - b.wcPosition.y;
    return dx > -near && dx < near && dy > -near && dy < near &&
           NameFieldView(a.szName, kCourseNameUnits) == NameFieldView(b.szName, kCourseNameUnits);
}

std::vector<int> ListValues(const NvArray<int>& list) {
    std::vector<int> out;
    for (int i = 0; i < list.GetCount(); ++i) {
        if (const int* v = list.GetAt(i)) out.push_back(*v);
    }
    return out;
}

void SetListValues(NvArray<int>& list, const std::vector<int>& values) {
    list.RemoveAll();
    for (const int v : values) list.Add(v);
}

void DropStoredPosition(std::vector<int>& list, int stored) {
    list.erase(std::remove(list.begin(), list.end(), stored), list.end());
    for (int& v : list) {
        if (v > stored) --v;
    }
}

void DropStoredPosition(NvArray<int>& list, int stored) {
    std::vector<int> values = ListValues(list);
    DropStoredPosition(values, stored);
    SetListValues(list, values);
}

void DropStalePositions(std::vector<int>& list, int count) {
    list.erase(std::remove_if(list.begin(), list.end(), [count](int v) { return v < 0 || v >= count; }), list.end());
}

int StoredPositionAt(const NvArray<int>& list, int position, int count) {
    const int* stored = list.GetAt(position);
    if (!stored || *stored < 0 || *stored >= count) return -1;
    return *stored;
}

}  // namespace userdata

int CMgrConfigUIDataBase::Load(const char16_t*) { return 1; }

int CMgrConfigUIDataBase::Save(const char16_t*) { return 1; }

NvString CMgrConfigUIDataBase::FilePathFor(const char16_t* file, int fileType) {
    if (file) return NvString(file);
    return NvFilePath().GetSettingsFileName(fileType, 1);
}

void CMgrConfigUIDataBase::RejectFile(const NvString& path, const char* why) {
    if (!m_ownFile) {
        DebugTrace(1, "[CFG] %s: %s; not taken\n", path.ToUtf8().c_str(), why);
        return;
    }
    DebugTrace(1, "[CFG] %s: %s; set aside\n", path.ToUtf8().c_str(), why);
    NvConfigFile::BackupErrorFile(path);
}

bool CMgrConfigUIDataBase::OpenFile(const NvString& path, bool ownFile) {
    m_ownFile = ownFile;
    m_countPastKeys = false;
    // A file the caller named is only read: a damaged one stays in place.
    m_configFile.SetReadOnly(!ownFile);
    const bool loaded = m_configFile.Load(path) != 0;
    m_configFile.SetReadOnly(false);
    if (loaded) return true;
    m_configFile.Clear();
    return false;
}

const char* CMgrConfigUIDataBase::CheckCountedFile(const CountedFile& desc, int* count, int* toVisit) {
    int version = 0;
    *toVisit = 0;
    const int haveVersion = m_configFile.GetInt(u"nVersion", &version, 1);
    const int haveCount = m_configFile.GetInt(desc.countKey, count, 1);
    if (desc.noHeader && !(haveVersion && haveCount)) return desc.noHeader;
    if (desc.outside && (*count < 0 || *count > desc.maxCount)) return desc.outside;
    // Past the last entry the file holds there are only missing keys, so a
    // huge count costs nothing.
    // No store keeps more than a few hundred entries and every file is
    // written from entry 0 up, so entries numbered past 100000 are not
    // looked for (a key such as "Item2147483647.x" would otherwise make the
    // load walk two billion missing entries).
    constexpr int64_t kMaxEntriesVisited = 100000;
    const int64_t present =
        std::min<int64_t>(int64_t{userdata::HighestEntry(m_configFile, desc.entryOf)} + 1, kMaxEntriesVisited);
    *toVisit = static_cast<int>(std::clamp<int64_t>(*count, 0, present));
    // Those entries' keys are missing: the file is written again.
    if (*count > *toVisit) m_countPastKeys = true;
    return nullptr;
}

std::vector<int> CMgrConfigUIDataBase::EntriesWithKeys(userdata::EntryOfKeyFn entryOf, int toVisit) {
    std::vector<int> entries;
    entries.reserve(static_cast<size_t>(m_configFile.GetCount()));
    for (int i = 0; i < m_configFile.GetCount(); ++i) {
        const int entry = entryOf(m_configFile.KeyAt(i));
        if (entry >= 0 && entry < toVisit) entries.push_back(entry);
    }
    std::sort(entries.begin(), entries.end());
    entries.erase(std::unique(entries.begin(), entries.end()), entries.end());
    if (static_cast<int>(entries.size()) < toVisit) m_countPastKeys = true;
    return entries;
}

int CMgrConfigUIDataBase::RefuseFile(const NvString& path, const char* why) {
    RejectFile(path, why);
    m_configFile.Clear();
    return 0;
}

int CMgrConfigUIDataBase::FinishLoad(bool saveAnyway) {
    const bool rewrite = m_configFile.HasMissingKey() || m_countPastKeys || saveAnyway;
    m_configFile.Clear();
    m_countPastKeys = false;
    if (rewrite) Save(nullptr);
    return 1;
}

int CMgrConfigUIDataBase::StartSave(const char16_t* file, int fileType) {
    m_configFile.Clear();
    m_configFile.SetFilePath(FilePathFor(file, fileType));
    return m_configFile.SetInt(u"nVersion", kUserDataFileVersion);
}

int CMgrConfigUIDataBase::FinishSave(int ok) {
    const int result = ok ? m_configFile.Save() : 0;
    m_configFile.Clear();
    return result;
}

int CompareNamesNoCase(std::u16string_view a, std::u16string_view b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const char16_t x = NvFoldCase(a[i]);
        const char16_t y = NvFoldCase(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}
