#include "settings/recent_dest.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/coords.h"
#include "foundation/debug_trace.h"
#include "settings/name_field.h"

namespace {

userdata::KeyText EntryKey(int entry, const char* field) { return userdata::EntryKey("D", entry, field); }

int EntryOfKey(std::u16string_view key) { return userdata::EntryNumberOfKey(key, "D", true); }

bool SamePlace(const _tagUISTRUCT_RECENTDEST& a, const _tagUISTRUCT_RECENTDEST& b) {
    return userdata::SamePlace(a.PosInfo, b.PosInfo, CMgrConfigUIDataRecentDest::kSamePlaceUnits);
}

int DistanceM(const MapPoint& from, const _tagUISTRUCT_RECENTDEST& to) {
    return userdata::DistanceM(from, to.PosInfo.wcPosition);
}

}  // namespace

CMgrConfigUIDataRecentDest::CMgrConfigUIDataRecentDest() {
    if (!Load(nullptr)) EmptyStore();
}

NvString CMgrConfigUIDataRecentDest::DefaultFile() { return FilePathFor(nullptr, NV_FILE_RECENT_DEST); }

void CMgrConfigUIDataRecentDest::EmptyLists() {
    for (NvArray<int>& list : m_lists) list.RemoveAll();
}

void CMgrConfigUIDataRecentDest::EmptyStore() {
    m_items.RemoveAll();
    EmptyLists();
}

const NvArray<int>* CMgrConfigUIDataRecentDest::GetList(int mode) const {
    return (mode >= kModeStored && mode <= kModeByDistance) ? &m_lists[mode - 1] : nullptr;
}

// ---- file

int CMgrConfigUIDataRecentDest::Load(const char16_t* file) {
    const NvString path = FilePathFor(file, NV_FILE_RECENT_DEST);
    if (!OpenFile(path, file == nullptr)) return 0;
    EmptyStore();
    int count = 0;
    int toVisit = 0;
    // Any count is read: the newest 30 entries stay, as AddItem keeps them.
    const char* rejected =
        CheckCountedFile({u"ItemCount", kMaxItems, EntryOfKey, "no nVersion or ItemCount", nullptr}, &count, &toVisit);
    if (rejected) return RefuseFile(path, rejected);

    for (const int entry : EntriesWithKeys(EntryOfKey, toVisit)) {
        _tagUISTRUCT_RECENTDEST record;
        int present = 0;
        present += m_configFile.GetInt(EntryKey(entry, "Type").c_str(), &record.ePositionType, 1);
        present += m_configFile.GetInt(EntryKey(entry, "Region").c_str(), &record.eRegionCheck, 1);
        present += m_configFile.GetInt(EntryKey(entry, "X").c_str(), &record.PosInfo.wcPosition.x, 1);
        present += m_configFile.GetInt(EntryKey(entry, "Y").c_str(), &record.PosInfo.wcPosition.y, 1);
        present += userdata::ReadText(m_configFile, EntryKey(entry, "Name"), record.PosInfo.szName, kCourseNameUnits);
        // An entry the file holds no key of is not made up as a place at
        // the origin.
        if (present == 0) continue;
        AddItem(record, 0);
    }
    RebuildLists(1);
    return FinishLoad();
}

int CMgrConfigUIDataRecentDest::Save(const char16_t* file) {
    int ok = StartSave(file, NV_FILE_RECENT_DEST);
    ok &= m_configFile.SetInt(u"ItemCount", m_items.GetCount());
    for (int i = 0; i < m_items.GetCount(); ++i) {
        const _tagUISTRUCT_RECENTDEST* r = m_items.GetAt(i);
        ok &= m_configFile.SetInt(EntryKey(i, "Type").c_str(), r->ePositionType);
        ok &= m_configFile.SetInt(EntryKey(i, "Region").c_str(), r->eRegionCheck);
        ok &= m_configFile.SetInt(EntryKey(i, "X").c_str(), r->PosInfo.wcPosition.x);
        ok &= m_configFile.SetInt(EntryKey(i, "Y").c_str(), r->PosInfo.wcPosition.y);
        ok &= userdata::WriteText(m_configFile, EntryKey(i, "Name"), r->PosInfo.szName, kCourseNameUnits);
    }
    return FinishSave(ok);
}

// ---- records

void CMgrConfigUIDataRecentDest::RemoveStored(int stored) {
    if (!m_items.RemoveAt(stored)) return;
    for (NvArray<int>& list : m_lists) userdata::DropStoredPosition(list, stored);
}

int CMgrConfigUIDataRecentDest::AddItem(const _tagUISTRUCT_RECENTDEST& record, int rebuild) {
    _tagUISTRUCT_RECENTDEST copy = record;
    copy.PosInfo.szName[kCourseNameUnits - 1] = u'\0';
    for (int i = m_items.GetCount() - 1; i >= 0; --i) {
        if (SamePlace(*m_items.GetAt(i), copy)) RemoveStored(i);
    }
    while (m_items.GetCount() > kMaxItems - 1) RemoveStored(0);
    m_items.Add(copy);
    if (rebuild == 1) RebuildLists(1);
    return 1;
}

int CMgrConfigUIDataRecentDest::DeleteItem(int position, int mode, int rebuild) {
    const int stored = MapPosition(position, mode);
    if (stored < 0) return 0;
    RemoveStored(stored);
    if (rebuild == 1) RebuildLists(1);
    return 1;
}

int CMgrConfigUIDataRecentDest::GetCount(int mode) const {
    return mode == kModeStored ? m_lists[0].GetCount() : m_items.GetCount();
}

int CMgrConfigUIDataRecentDest::MapPosition(int position, int mode) {
    mode = FollowSortMode(m_sortMode, mode);
    if (position < 0 || position >= m_items.GetCount()) return -1;
    const NvArray<int>* list = GetList(mode);
    if (!list) return position;
    return userdata::StoredPositionAt(*list, position, m_items.GetCount());
}

int CMgrConfigUIDataRecentDest::GetStoredIndex(int position, int mode) { return MapPosition(position, mode); }

int CMgrConfigUIDataRecentDest::GetItem(int position, _tagUISTRUCT_RECENTDEST* buffer, int mode) {
    return CopyItemAt(m_items, m_sortMode, position, buffer, mode, [this](int p, int m) { return MapPosition(p, m); });
}

// ---- lists

void CMgrConfigUIDataRecentDest::Filter(const NvString& text, int limitM) {
    EmptyLists();
    const NvString key = text.MakeChosungKey();
    const MapPoint here = limitM != 0 ? userdata::CurrentPosition() : MapPoint{};
    for (int i = 0; i < m_items.GetCount(); ++i) {
        const _tagUISTRUCT_RECENTDEST& r = *m_items.GetAt(i);
        const NvString name(CoursePosName(r));
        if (!name.MatchChosungKey(key)) continue;
        if (limitM != 0 && DistanceM(here, r) > limitM) continue;
        for (NvArray<int>& list : m_lists) list.Add(i);
    }
}

void CMgrConfigUIDataRecentDest::OrderLists() {
    const int n = m_items.GetCount();
    const std::vector<int> stored = userdata::OrderStoredNamedNewest(
        m_lists, n, [this](int i) { return CoursePosName(*m_items.GetAt(i)); });

    const MapPoint here = userdata::CurrentPosition();
    std::vector<int> distance(static_cast<size_t>(n), 0);
    for (int i : stored) distance[static_cast<size_t>(i)] = DistanceM(here, *m_items.GetAt(i));
    std::vector<int> byDistance = stored;
    std::sort(byDistance.begin(), byDistance.end(),
              [&](int a, int b) { return distance[static_cast<size_t>(a)] < distance[static_cast<size_t>(b)]; });
    userdata::SetListValues(m_lists[3], byDistance);
}

int CMgrConfigUIDataRecentDest::SearchByName(const char16_t* text, int limitM) {
    const NvString wanted(text ? text : u"");
    if (CompareNamesNoCase(wanted.View(), m_searchText.View()) != 0) m_searchText = wanted;
    Filter(wanted, limitM);
    OrderLists();
    return 1;
}

int CMgrConfigUIDataRecentDest::RebuildLists(int refilter) {
    if (refilter == 1) Filter(m_searchText, 0);
    OrderLists();
    return 1;
}
