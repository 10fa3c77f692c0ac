#pragma once
// What the stores of places kept in the driver's folders share (registered
// places, user theme places): the records in stored order, oldest first, at
// most 200; prepared lists over all places (by name, newest first, by
// distance from the current position, by icon); the current result of the
// screens (the places of the current folder whose name matches the search
// text, in the current sort mode); and the file with its folder lines
// before the place lines.
//
// A store describes its record and its keys with a traits class:
//   using Record;
//   static constexpr int kFileType;                 // settings-file type
//   static constexpr const char* kItemKey;          // "RegDest"
//   static constexpr const char* kFolderKey;        // "RegDestFolder"
//   static constexpr int kIconMode;                 // sort mode of the icon list
//   static constexpr bool kSpecialPlacesFirst;      // categories 1 and 2 lead the icon list
//   static std::u16string_view Name(const Record&);
//   static MapPoint Position(const Record&);
//   static int32_t& Folder(Record&);  static int32_t Folder(const Record&);
//   static int32_t Icon(const Record&);
//   static int32_t Category(const Record&);
//   static void Terminate(Record&);                 // terminators back into the text fields
//   static int ReadFields(NvConfigFile&, int entry, Record&);   // keys found
//   static int WriteFields(NvConfigFile&, int entry, const Record&);  // 1 when all were set
//
// Folders are referred to by stored position. Removing a folder (through the
// store or through the folder list itself) moves its places to folder 0 and
// moves the places of every later folder down one folder with it, so that
// each place stays in the folder it was in.
//
// No lock of its own: the screens call the stores on the main thread.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <numeric>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "foundation/coords.h"
#include "foundation/nv_array.h"
#include "foundation/nv_config.h"
#include "foundation/nv_string.h"
#include "settings/course_current.h"
#include "settings/name_field.h"
#include "settings/place_folder.h"
#include "settings/user_data_base.h"

namespace placestore {

using userdata::EntryKey;
using userdata::ReadInt;
using userdata::ReadText;
using userdata::WriteText;
using userdata::CurrentPosition;
using userdata::DistanceM;

}  // namespace placestore

template <class Traits>
class CMgrConfigUIDataFolderPlaces : public CMgrConfigUIDataBase, public CMgrConfigUIDataFolder {
public:
    using Record = typename Traits::Record;

    static constexpr int kMaxItems = 200;
    // Folder arguments.
    static constexpr int kFolderAll = -1;
    static constexpr int kFolderCurrent = -2;
    // Sort modes (list numbers).
    static constexpr int kModeCurrent = -1;
    static constexpr int kModeStored = 1;
    static constexpr int kModeByName = 2;
    static constexpr int kModeNewest = 3;
    static constexpr int kModeByDistance = 4;
    static constexpr int kModeByIcon = Traits::kIconMode;

    CMgrConfigUIDataFolderPlaces() {
        SetFolderRemovedHook([this](int removed) { OnFolderRemoved(removed); });
    }
    ~CMgrConfigUIDataFolderPlaces() override = default;

    int Load(const char16_t* file) override { return LoadPlaces(file, nullptr); }
    int Save(const char16_t* file) override;

    // Removes a folder (not folder 0): its places go to folder 0, the places
    // of later folders stay in their folders; the current folder follows
    // its folder (folder 0 when it was the removed one). 0 when the
    // position does not map or is folder 0.
    virtual int DeleteFolder(int position, int mode, int rebuild) {
        return CMgrConfigUIDataFolder::DeleteFolder(position, mode, rebuild);
    }
    // Every place to folder 0, the current folder to 0, one default folder.
    virtual void ResetFolders();

    // Folder -2 = the current folder. The current folder gives the length
    // of the current result; -1 the number of places; another folder the
    // number of its places (matching 1: only names matching the search
    // text).
    int GetItemCountInFolder(int folder, int matching) const;
    // Stored position of the first place so named (case ignored); -1.
    int FindItemByName(const char16_t* name) const;
    // The stored position behind a position of a folder's list in a mode;
    // -1 when there is none. The current folder and mode read the current
    // result.
    int GetStoredIndex(int position, int folder, int mode);
    // 1 and a copy (when buffer is not null); 0 when the position does not
    // map.
    int GetItem(int position, Record* buffer, int folder, int mode);
    // Appends a place (the oldest goes first when 200 are stored). rebuild
    // 1 orders the lists and builds the current result again. 1, or 0 when
    // memory runs out.
    int AddItem(const Record& record, int rebuild);
    // Replaces the mapped place; a position that does not map adds it.
    int SetItem(int position, const Record& record, int folder, int mode, int rebuild);
    // Removes the mapped place; the lists keep naming the remaining places
    // even without a rebuild. 0 when the position does not map.
    int DeleteItem(int position, int folder, int mode, int rebuild);

    // Stores the value and builds the current result (the distance limit,
    // in metres, 0 for none, is used for this build only). Return 1.
    int SetSearchText(const char16_t* text, int limitM);
    int SetSortOrder(int mode);
    int SetCurrentFolder(int folder);
    int GetSortOrder() const { return m_sortMode; }
    int GetCurrentFolder() const { return m_currentFolder; }
    const NvString& GetSearchText() const { return m_searchText; }

    // Every place of folder `from` goes to `to`; the number moved.
    int MoveItemsToFolder(int from, int to);
    // refill 1 (or lists out of step with the places) first resets the
    // prepared lists to stored order; then they are ordered. Returns 1.
    int RebuildLists(int refill);
    // Builds the current result: mode -1 and folder -2 are the current
    // ones, a non-empty text becomes the search text. Returns 1.
    int BuildResult(int mode, int folder, const char16_t* text, int limitM);

    // The number of places.
    int GetItemCount() const { return m_items.GetCount(); }

protected:
    // Load with a chance to change each place read (true: changed, the file
    // is written again).
    int LoadPlaces(const char16_t* file, const std::function<bool(Record&)>& adjust);
    // Places, prepared lists and result emptied; folders kept.
    void EmptyPlaces();
    Record* StoredItem(int stored) { return m_items.GetAt(stored); }
    const Record* StoredItem(int stored) const { return m_items.GetAt(stored); }

private:
    std::vector<int>* PreparedList(int mode);
    bool PreparedListsInStep() const;
    void RemoveStored(int stored);
    void OnFolderRemoved(int removed);
    int CountInFolder(int folder, bool matching) const;

    NvArray<Record> m_items;
    std::vector<int> m_byName;      // list 2
    std::vector<int> m_newest;      // list 3
    std::vector<int> m_byDistance;  // list 4
    std::vector<int> m_byIcon;      // list 9 (registered places) or 6 (themes)
    std::vector<int> m_result;
    int m_currentFolder = kFolderAll;
    int m_sortMode = kModeStored;
    NvString m_searchText;
};

// ---- implementation

template <class Traits>
std::vector<int>* CMgrConfigUIDataFolderPlaces<Traits>::PreparedList(int mode) {
    switch (mode) {
        case kModeByName: return &m_byName;
        case kModeNewest: return &m_newest;
        case kModeByDistance: return &m_byDistance;
        case kModeByIcon: return &m_byIcon;
        default: return nullptr;
    }
}

template <class Traits>
bool CMgrConfigUIDataFolderPlaces<Traits>::PreparedListsInStep() const {
    const size_t n = static_cast<size_t>(m_items.GetCount());
    return m_byName.size() == n && m_newest.size() == n && m_byDistance.size() == n && m_byIcon.size() == n;
}

template <class Traits>
void CMgrConfigUIDataFolderPlaces<Traits>::EmptyPlaces() {
    m_items.RemoveAll();
    for (std::vector<int>* list : {&m_byName, &m_newest, &m_byDistance, &m_byIcon, &m_result}) list->clear();
}

template <class Traits>
void CMgrConfigUIDataFolderPlaces<Traits>::RemoveStored(int stored) {
    if (!m_items.RemoveAt(stored)) return;
    for (std::vector<int>* list : {&m_byName, &m_newest, &m_byDistance, &m_byIcon, &m_result}) {
        list->erase(std::remove(list->begin(), list->end(), stored), list->end());
        for (int& v : *list) {
            if (v > stored) --v;
        }
    }
}

template <class Traits>
int CMgrConfigUIDataFolderPlaces<Traits>::RebuildLists(int refill) {
    const int n = m_items.GetCount();
    if (refill == 1 || !PreparedListsInStep()) {
        for (std::vector<int>* list : {&m_byName, &m_newest, &m_byDistance}) {
            list->resize(static_cast<size_t>(n));
            std::iota(list->begin(), list->end(), 0);
        }
    }
    const auto item = [this](int i) -> const Record& { return *m_items.GetAt(i); };
    std::stable_sort(m_byName.begin(), m_byName.end(), [&](int a, int b) {
        return CompareNamesNoCase(Traits::Name(item(a)), Traits::Name(item(b))) < 0;
    });

    // The icon list is made anew each time.
    m_byIcon.clear();
    size_t leading = 0;
    if constexpr (Traits::kSpecialPlacesFirst) {
        for (const int32_t category : {1, 2}) {
            for (int i = 0; i < n; ++i) {
                if (Traits::Category(item(i)) == category) {
                    m_byIcon.push_back(i);
                    break;
                }
            }
        }
        leading = m_byIcon.size();
    }
    for (int i = 0; i < n; ++i) {
        if (std::find(m_byIcon.begin(), m_byIcon.begin() + static_cast<long>(leading), i) ==
            m_byIcon.begin() + static_cast<long>(leading)) {
            m_byIcon.push_back(i);
        }
    }
    std::stable_sort(m_byIcon.begin() + static_cast<long>(leading), m_byIcon.end(),
                     [&](int a, int b) { return Traits::Icon(item(a)) < Traits::Icon(item(b)); });

    if (n > 0) {
        const MapPoint here = placestore::CurrentPosition();
        std::vector<int> distance(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) distance[static_cast<size_t>(i)] = placestore::DistanceM(here, Traits::Position(item(i)));
        std::stable_sort(m_byDistance.begin(), m_byDistance.end(),
                         [&](int a, int b) { return distance[static_cast<size_t>(a)] < distance[static_cast<size_t>(b)]; });
    }
    m_newest.resize(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) m_newest[static_cast<size_t>(i)] = n - 1 - i;
    return 1;
}

template <class Traits>
int CMgrConfigUIDataFolderPlaces<Traits>::BuildResult(int mode, int folder, const char16_t* text, int limitM) {
    if (text && *text) m_searchText = text;
    if (mode == kModeCurrent) mode = m_sortMode;
    if (folder == kFolderCurrent) folder = m_currentFolder;
    const int n = m_items.GetCount();
    std::vector<int> stored;
    const std::vector<int>* source = PreparedList(mode);
    if (source) {
        if (!PreparedListsInStep()) RebuildLists(1);
    } else {
        stored.resize(static_cast<size_t>(n));
        std::iota(stored.begin(), stored.end(), 0);
        source = &stored;
    }
    m_result.clear();
    const NvString key = m_searchText.MakeChosungKey();
    const MapPoint here = limitM != 0 ? placestore::CurrentPosition() : MapPoint{};
    for (const int i : *source) {
        const Record* r = m_items.GetAt(i);
        if (!r) continue;
        if (!NvString(Traits::Name(*r)).MatchChosungKey(key)) continue;
        if (folder != kFolderAll && Traits::Folder(*r) != folder) continue;
        if (limitM != 0 && placestore::DistanceM(here, Traits::Position(*r)) > limitM) continue;
        m_result.push_back(i);
    }
    return 1;
}

template <class Traits>
int CMgrConfigUIDataFolderPlaces<Traits>::CountInFolder(int folder, bool matching) const {
    const NvString key = matching ? m_searchText.MakeChosungKey() : NvString();
    int count = 0;
    for (int i = 0; i < m_items.GetCount(); ++i) {
        const Record& r = *m_items.GetAt(i);
        if (Traits::Folder(r) != folder) continue;
        if (matching && !NvString(Traits::Name(r)).MatchChosungKey(key)) continue;
        ++count;
    }
    return count;
}

template <class Traits>
int CMgrConfigUIDataFolderPlaces<Traits>::GetItemCountInFolder(int folder, int matching) const {
    if (folder == kFolderCurrent) folder = m_currentFolder;
    if (folder == m_currentFolder) return static_cast<int>(m_result.size());
    if (folder == kFolderAll) return m_items.GetCount();
    return CountInFolder(folder, matching == 1);
}

template <class Traits>
int CMgrConfigUIDataFolderPlaces<Traits>::FindItemByName(const char16_t* name) const {
    const std::u16string_view wanted(name ? name : u"");
    for (int i = 0; i < m_items.GetCount(); ++i) {
        const std::u16string_view have = Traits::Name(*m_items.GetAt(i));
        if (have.size() == wanted.size() && CompareNamesNoCase(have, wanted) == 0) return i;
    }
    return -1;
}

template <class Traits>
int CMgrConfigUIDataFolderPlaces<Traits>::GetStoredIndex(int position, int folder, int mode) {
    if (folder == kFolderCurrent) folder = m_currentFolder;
    if (mode == kModeCurrent) mode = m_sortMode;
    if (folder == m_currentFolder && mode == m_sortMode) {
        if (position < 0 || position >= static_cast<int>(m_result.size())) return -1;
        const int stored = m_result[static_cast<size_t>(position)];
        return stored < m_items.GetCount() ? stored : -1;
    }
    const int n = m_items.GetCount();
    if (position < 0 || position >= n) return -1;
    const std::vector<int>* list = PreparedList(mode);
    if (list && !PreparedListsInStep()) RebuildLists(1);
    if (folder == kFolderAll) return list ? (*list)[static_cast<size_t>(position)] : position;
    int seen = 0;
    for (int i = 0; i < n; ++i) {
        const int stored = list ? (*list)[static_cast<size_t>(i)] : i;
        if (Traits::Folder(std::as_const(*m_items.GetAt(stored))) != folder) continue;
        if (seen++ == position) return stored;
    }
    return -1;
}

template <class Traits>
int CMgrConfigUIDataFolderPlaces<Traits>::GetItem(int position, Record* buffer, int folder, int mode) {
    if (position < 0 || position >= m_items.GetCount()) return 0;
    const int stored = GetStoredIndex(position, folder, mode);
    const Record* r = m_items.GetAt(stored);
    if (!r) return 0;
    if (buffer) *buffer = *r;
    return 1;
}

template <class Traits>
int CMgrConfigUIDataFolderPlaces<Traits>::AddItem(const Record& record, int rebuild) {
    while (m_items.GetCount() >= kMaxItems) RemoveStored(0);
    Record copy = record;
    Traits::Terminate(copy);
    const int index = m_items.Add(copy);
    if (index < 0) return 0;
    for (std::vector<int>* list : {&m_byName, &m_newest, &m_byDistance, &m_byIcon}) list->push_back(index);
    if (rebuild == 1) {
        RebuildLists(0);
        BuildResult(kModeCurrent, kFolderCurrent, nullptr, 0);
    }
    return 1;
}

template <class Traits>
int CMgrConfigUIDataFolderPlaces<Traits>::SetItem(int position, const Record& record, int folder, int mode,
                                                  int rebuild) {
    const int stored = (position >= 0 && position < m_items.GetCount()) ? GetStoredIndex(position, folder, mode) : -1;
    Record* r = m_items.GetAt(stored);
    if (!r) return AddItem(record, rebuild);
    *r = record;
    Traits::Terminate(*r);
    if (rebuild == 1) {
        RebuildLists(0);
        BuildResult(kModeCurrent, kFolderCurrent, nullptr, 0);
    }
    return 1;
}

template <class Traits>
int CMgrConfigUIDataFolderPlaces<Traits>::DeleteItem(int position, int folder, int mode, int rebuild) {
    if (position < 0 || position >= m_items.GetCount()) return 0;
    const int stored = GetStoredIndex(position, folder, mode);
    if (stored < 0 || stored >= m_items.GetCount()) return 0;
    RemoveStored(stored);
    if (rebuild == 1) {
        RebuildLists(1);
        BuildResult(kModeCurrent, kFolderCurrent, nullptr, 0);
    }
    return 1;
}

template <class Traits>
int CMgrConfigUIDataFolderPlaces<Traits>::SetSearchText(const char16_t* text, int limitM) {
    m_searchText = NvString(text ? text : u"");
    return BuildResult(kModeCurrent, kFolderCurrent, nullptr, limitM);
}

template <class Traits>
int CMgrConfigUIDataFolderPlaces<Traits>::SetSortOrder(int mode) {
    if (mode != kModeCurrent) m_sortMode = mode;
    return BuildResult(kModeCurrent, kFolderCurrent, nullptr, 0);
}

template <class Traits>
int CMgrConfigUIDataFolderPlaces<Traits>::SetCurrentFolder(int folder) {
    if (folder != kFolderCurrent) m_currentFolder = folder;
    return BuildResult(kModeCurrent, kFolderCurrent, nullptr, 0);
}

template <class Traits>
int CMgrConfigUIDataFolderPlaces<Traits>::MoveItemsToFolder(int from, int to) {
    int moved = 0;
    for (int i = 0; i < m_items.GetCount(); ++i) {
        int32_t& folder = Traits::Folder(*m_items.GetAt(i));
        if (folder == from) {
            folder = to;
            ++moved;
        }
    }
    return moved;
}

template <class Traits>
void CMgrConfigUIDataFolderPlaces<Traits>::OnFolderRemoved(int removed) {
    // Folder positions after the removed one moved down one: the places and
    // the current folder move with them.
    for (int i = 0; i < m_items.GetCount(); ++i) {
        int32_t& folder = Traits::Folder(*m_items.GetAt(i));
        if (folder == removed) {
            folder = 0;
        } else if (folder > removed) {
            --folder;
        }
    }
    if (m_currentFolder == removed) {
        m_currentFolder = 0;
    } else if (m_currentFolder > removed) {
        --m_currentFolder;
    }
    BuildResult(kModeCurrent, kFolderCurrent, nullptr, 0);
}

template <class Traits>
void CMgrConfigUIDataFolderPlaces<Traits>::ResetFolders() {
    for (int i = 0; i < m_items.GetCount(); ++i) Traits::Folder(*m_items.GetAt(i)) = 0;
    if (m_currentFolder != 0) SetCurrentFolder(0);
    CMgrConfigUIDataFolder::ResetFolders();
}

template <class Traits>
int CMgrConfigUIDataFolderPlaces<Traits>::LoadPlaces(const char16_t* file,
                                                     const std::function<bool(Record&)>& adjust) {
    const NvString path = FilePathFor(file, Traits::kFileType);
    if (!OpenFile(path, file == nullptr)) return 0;
    EmptyPlaces();
    int folderCount = 0;
    int foldersToVisit = 0;
    int itemCount = 0;
    int itemsToVisit = 0;
    const CountedFile folders{u"nFolderItemCount", 0,
                              [](std::u16string_view key) {
                                  return userdata::EntryNumberOfKey(key, Traits::kFolderKey, true);
                              },
                              "no nVersion or nFolderItemCount", nullptr};
    // More places than the store holds (or a negative count) cannot be
    // taken as they are: the store refuses the file.
    const CountedFile places{u"nItemCount", kMaxItems,
                             [](std::u16string_view key) {
                                 return userdata::EntryNumberOfKey(key, Traits::kItemKey, true);
                             },
                             "no nItemCount", "nItemCount outside 0..200"};
    const char* rejected = CheckCountedFile(folders, &folderCount, &foldersToVisit);
    if (!rejected) rejected = CheckCountedFile(places, &itemCount, &itemsToVisit);
    if (rejected) {
        CMgrConfigUIDataFolder::ResetFolders();
        return RefuseFile(path, rejected);
    }
    bool rewrite = false;

    // The file's folders replace those in memory. A folder whose name is
    // missing keeps its place (places refer to folders by position).
    ClearFolders();
    for (int i = 0; i < foldersToVisit; ++i) {
        _tagUISTRUCT_FOLDERITEM folder;
        placestore::ReadText(m_configFile, placestore::EntryKey(Traits::kFolderKey, i, "szFolderName"),
                             folder.szFolderName, _tagUISTRUCT_FOLDERITEM::kNameChars);
        AddFolder(folder, 0);
    }
    RebuildFolderLists(0);
    if (GetFolderCount() == 0) {
        // Every file this store writes holds the default folder.
        CMgrConfigUIDataFolder::ResetFolders();
        rewrite = true;
    }

    for (const int entry : EntriesWithKeys(places.entryOf, itemsToVisit)) {
        Record record{};
        // A place the file holds no key of is not made up.
        if (Traits::ReadFields(m_configFile, entry, record) == 0) continue;
        if (adjust && adjust(record)) rewrite = true;
        AddItem(record, 0);
    }
    RebuildLists(0);
    BuildResult(kModeCurrent, kFolderCurrent, nullptr, 0);
    return FinishLoad(rewrite);
}

template <class Traits>
int CMgrConfigUIDataFolderPlaces<Traits>::Save(const char16_t* file) {
    int ok = StartSave(file, Traits::kFileType);
    ok &= m_configFile.SetInt(u"nFolderItemCount", GetFolderCount());
    for (int i = 0; i < GetFolderCount(); ++i) {
        _tagUISTRUCT_FOLDERITEM folder;
        GetFolder(i, &folder, kModeStored);
        ok &= placestore::WriteText(m_configFile, placestore::EntryKey(Traits::kFolderKey, i, "szFolderName"),
                                    folder.szFolderName, _tagUISTRUCT_FOLDERITEM::kNameChars);
    }
    ok &= m_configFile.SetInt(u"nItemCount", m_items.GetCount());
    for (int i = 0; i < m_items.GetCount(); ++i) ok &= Traits::WriteFields(m_configFile, i, *m_items.GetAt(i));
    return FinishSave(ok);
}
