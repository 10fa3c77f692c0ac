#include "settings/place_folder.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

int CompareNoCase(std::u16string_view x, std::u16string_view y) {
    const size_t n = std::min(x.size(), y.size());
    for (size_t i = 0; i < n; ++i) {
        const char16_t cx = NvFoldCase(x[i]);
        const char16_t cy = NvFoldCase(y[i]);
        if (cx != cy) return cx < cy ? -1 : 1;
    }
    if (x.size() == y.size()) return 0;
    return x.size() < y.size() ? -1 : 1;
}

bool EqualNoCase(std::u16string_view x, std::u16string_view y) {
    return x.size() == y.size() && CompareNoCase(x, y) == 0;
}

// _wcsicmp over the folder names.
int CompareNamesNoCase(const _tagUISTRUCT_FOLDERITEM& a, const _tagUISTRUCT_FOLDERITEM& b) {
    return CompareNoCase(NameFieldView(a.szFolderName, _tagUISTRUCT_FOLDERITEM::kNameChars),
                         NameFieldView(b.szFolderName, _tagUISTRUCT_FOLDERITEM::kNameChars));
}

std::vector<int> ToVector(const NvArray<int>& list) {
    std::vector<int> out;
    out.reserve(static_cast<size_t>(list.GetCount()));
    for (int i = 0; i < list.GetCount(); ++i) {
        const int* v = list.GetAt(i);
        out.push_back(v ? *v : -1);
    }
    return out;
}

int FromVector(const std::vector<int>& values, NvArray<int>& list) {
    list.RemoveAll();
    for (const int v : values) {
        if (list.Add(v) < 0) return 0;
    }
    return 1;
}

}  // namespace

int CMgrConfigUIDataFolder::MapPosition(int position, int mode) const {
    if (mode == kModeCurrent) mode = m_folderSortMode;
    if (position < 0 || position >= m_folders.GetCount()) return -1;
    const NvArray<int>* list = GetFolderList(mode);
    if (!list) return position;
    const int* stored = list->GetAt(position);
    if (!stored || *stored < 0 || *stored >= m_folders.GetCount()) return -1;
    return *stored;
}

const NvArray<int>* CMgrConfigUIDataFolder::GetFolderList(int mode) const {
    if (mode == kModeByName) return &m_byName;
    if (mode == kModeNewest) return &m_newest;
    return nullptr;
}

int CMgrConfigUIDataFolder::GetFolderIndex(int position, int mode) const { return MapPosition(position, mode); }

int CMgrConfigUIDataFolder::FindFolderByName(const char16_t* name) const {
    const std::u16string_view wanted(name ? name : u"");
    for (int i = 0; i < m_folders.GetCount(); ++i) {
        const _tagUISTRUCT_FOLDERITEM* f = m_folders.GetAt(i);
        if (f && EqualNoCase(NameFieldView(f->szFolderName, _tagUISTRUCT_FOLDERITEM::kNameChars), wanted)) return i;
    }
    return -1;
}

int CMgrConfigUIDataFolder::GetFolder(int position, _tagUISTRUCT_FOLDERITEM* buffer, int mode) const {
    if (!buffer) return (position >= 0 && position < m_folders.GetCount()) ? 1 : 0;
    const int stored = MapPosition(position, mode);
    const _tagUISTRUCT_FOLDERITEM* f = m_folders.GetAt(stored);
    if (!f) return 0;
    *buffer = *f;
    return 1;
}

int CMgrConfigUIDataFolder::AddFolder(const _tagUISTRUCT_FOLDERITEM& record, int resort) {
    _tagUISTRUCT_FOLDERITEM copy = record;
    // A name filling the whole field gets its terminator back.
    copy.szFolderName[_tagUISTRUCT_FOLDERITEM::kNameChars - 1] = u'\0';
    const int index = m_folders.Add(copy);
    if (index < 0) return 0;
    if (m_byName.Add(index) < 0 || m_newest.Add(index) < 0) {
        // Keep the lists and the folders in step.
        m_folders.RemoveAt(index);
        RebuildFolderLists(1);
        return 0;
    }
    if (resort == 1) RebuildFolderLists(0);
    return 1;
}

int CMgrConfigUIDataFolder::SetFolder(int position, const _tagUISTRUCT_FOLDERITEM& record, int mode, int resort) {
    if (position >= m_folders.GetCount()) return AddFolder(record, resort);
    const int stored = MapPosition(position, mode);
    _tagUISTRUCT_FOLDERITEM* f = m_folders.GetAt(stored);
    if (!f) return 0;
    *f = record;
    f->szFolderName[_tagUISTRUCT_FOLDERITEM::kNameChars - 1] = u'\0';
    if (resort == 1) RebuildFolderLists(0);
    return 1;
}

int CMgrConfigUIDataFolder::DeleteFolder(int position, int mode, int rebuild) {
    const int stored = MapPosition(position, mode);
    if (stored <= 0) return 0;  // folder 0 stays, unmapped positions refused
    if (!m_folders.RemoveAt(stored)) return 0;
    // The lists stay usable even without a rebuild: the removed folder
    // leaves them and later positions move down with their folders.
    for (NvArray<int>* list : {&m_byName, &m_newest}) {
        std::vector<int> values = ToVector(*list);
        values.erase(std::remove(values.begin(), values.end(), stored), values.end());
        for (int& v : values) {
            if (v > stored) --v;
        }
        FromVector(values, *list);
    }
    if (rebuild == 1) RebuildFolderLists(1);
    if (m_folderRemoved) m_folderRemoved(stored);
    return 1;
}

int CMgrConfigUIDataFolder::RebuildFolderLists(int refill) {
    const int n = m_folders.GetCount();
    if (n < 2) return 0;
    std::vector<int> byName = ToVector(m_byName);
    if (refill == 1 || static_cast<int>(byName.size()) != n) {
        byName.resize(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) byName[static_cast<size_t>(i)] = i;
    }
    // Folder 0 first whatever the stale list held.
    auto zero = std::find(byName.begin(), byName.end(), 0);
    if (zero != byName.end()) std::rotate(byName.begin(), zero, zero + 1);
    std::stable_sort(byName.begin() + 1, byName.end(), [&](int a, int b) {
        const _tagUISTRUCT_FOLDERITEM* fa = m_folders.GetAt(a);
        const _tagUISTRUCT_FOLDERITEM* fb = m_folders.GetAt(b);
        if (!fa || !fb) return fa != nullptr && fb == nullptr;
        return CompareNamesNoCase(*fa, *fb) < 0;
    });
    std::vector<int> newest;
    newest.reserve(static_cast<size_t>(n));
    newest.push_back(0);
    for (int i = n - 1; i >= 1; --i) newest.push_back(i);
    return (FromVector(byName, m_byName) && FromVector(newest, m_newest)) ? 1 : 0;
}

void CMgrConfigUIDataFolder::ClearFolders() {
    m_folders.RemoveAll();
    m_byName.RemoveAll();
    m_newest.RemoveAll();
}

void CMgrConfigUIDataFolder::ResetFolders() {
    ClearFolders();
    _tagUISTRUCT_FOLDERITEM folder;
    CopyNameField(folder.szFolderName, _tagUISTRUCT_FOLDERITEM::kNameChars, kDefaultFolderName);
    AddFolder(folder, 1);
}
