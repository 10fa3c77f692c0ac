#include "settings/dlg_info.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "settings/course_current.h"
#include "settings/name_field.h"

namespace {

userdata::KeyText DlgKey(int record, const char* field) { return userdata::EntryKey("DlgInfo", record, field); }

userdata::KeyText TextKey(int record, int text) {
    char field[32];
    std::snprintf(field, sizeof field, "szRecentTextArray%03d", text);
    return DlgKey(record, field);
}

// The record number of a key "DlgInfoNNN.field"; -1 for other keys.
int DlgNumberOfKey(std::u16string_view key) { return userdata::EntryNumberOfKey(key, "DlgInfo", true); }

// A name as the record would hold it (at most 64 characters), so that a
// longer name finds the record it made.
std::u16string StoredName(const char16_t* name) {
    char16_t field[kDlgNameUnits];
    CopyNameField(field, kDlgNameUnits, name ? std::u16string_view(name) : std::u16string_view());
    return std::u16string(NameFieldView(field, kDlgNameUnits));
}

// The count a record can hold.
void SettleCount(_tagUISTRUCT_DLGINFO& record) {
    record.nRecentTextDataNum = std::clamp(record.nRecentTextDataNum, 0, kDlgRecentTexts);
    record.szDialogName[kDlgNameUnits - 1] = u'\0';
    for (auto& text : record.szRecentTextArray) text[kDlgRecentTextUnits - 1] = u'\0';
}

}  // namespace

bool operator==(const _tagUISTRUCT_DLGINFO& a, const _tagUISTRUCT_DLGINFO& b) {
    if (!std::equal(std::begin(a.szDialogName), std::end(a.szDialogName), std::begin(b.szDialogName))) return false;
    if (a.uAreaCode != b.uAreaCode || a.eOrderBy != b.eOrderBy || a.nRecentTextDataNum != b.nRecentTextDataNum) {
        return false;
    }
    for (int i = 0; i < kDlgRecentTexts; ++i) {
        if (!std::equal(std::begin(a.szRecentTextArray[i]), std::end(a.szRecentTextArray[i]),
                        std::begin(b.szRecentTextArray[i]))) {
            return false;
        }
    }
    return true;
}

std::u16string_view DlgInfoName(const _tagUISTRUCT_DLGINFO& info) {
    return NameFieldView(info.szDialogName, kDlgNameUnits);
}

std::u16string_view DlgInfoRecentText(const _tagUISTRUCT_DLGINFO& info, int index) {
    if (index < 0 || index >= kDlgRecentTexts) return {};
    return NameFieldView(info.szRecentTextArray[index], kDlgRecentTextUnits);
}

CMgrConfigUIDataDlgInfo::CMgrConfigUIDataDlgInfo() {
    if (!Load(nullptr)) Clear();
}

// ---- file

int CMgrConfigUIDataDlgInfo::Load(const char16_t* file) {
    const NvString path = FilePathFor(file, NV_FILE_UI_DLG_INFO);
    if (!OpenFile(path, file == nullptr)) return 0;
    Clear();
    int count = 0;
    int toVisit = 0;
    // A file without a count holds no records; a negative count matches no
    // number of records.
    const char* rejected = CheckCountedFile(
        {u"nItemCount", INT32_MAX, DlgNumberOfKey, nullptr, "nItemCount below 0"}, &count, &toVisit);

    int taken = 0;
    for (const int i : rejected ? std::vector<int>() : EntriesWithKeys(DlgNumberOfKey, toVisit)) {
        _tagUISTRUCT_DLGINFO record;
        int present = 0;
        std::u16string_view text;
        if (m_configFile.GetString(DlgKey(i, "szDialogName").c_str(), text, 1)) {
            ++present;
            CopyNameField(record.szDialogName, kDlgNameUnits, text);
        }
        int area = 0;
        if (m_configFile.GetInt(DlgKey(i, "uAreaCode").c_str(), &area, 1)) {
            ++present;
            record.uAreaCode = static_cast<uint32_t>(area);
        }
        present += m_configFile.GetInt(DlgKey(i, "eOrderBy").c_str(), &record.eOrderBy, 1);
        present += m_configFile.GetInt(DlgKey(i, "nRecentTextDataNum").c_str(), &record.nRecentTextDataNum, 1);
        // A record the file holds no key of is not made up.
        if (present == 0) continue;
        ++taken;
        SettleCount(record);
        for (int j = 0; j < record.nRecentTextDataNum; ++j) {
            if (m_configFile.GetString(TextKey(i, j).c_str(), text, 1)) {
                CopyNameField(record.szRecentTextArray[j], kDlgRecentTextUnits, text);
            }
        }
        PutDlgInfo(record);
    }
    // Duplicate names merge: the file is not what its count says.
    if (!rejected && m_items.GetCount() != taken) rejected = "records do not match nItemCount";
    if (rejected) {
        Clear();
        return RefuseFile(path, rejected);
    }
    return FinishLoad();
}

int CMgrConfigUIDataDlgInfo::Save(const char16_t* file) {
    int ok = StartSave(file, NV_FILE_UI_DLG_INFO);
    ok &= m_configFile.SetInt(u"nItemCount", m_items.GetCount());
    for (int i = 0; i < m_items.GetCount(); ++i) {
        const _tagUISTRUCT_DLGINFO& r = *m_items.GetAt(i);
        ok &= userdata::WriteText(m_configFile, DlgKey(i, "szDialogName"), r.szDialogName, kDlgNameUnits);
        ok &= m_configFile.SetInt(DlgKey(i, "uAreaCode").c_str(), static_cast<int>(r.uAreaCode));
        ok &= m_configFile.SetInt(DlgKey(i, "eOrderBy").c_str(), r.eOrderBy);
        ok &= m_configFile.SetInt(DlgKey(i, "nRecentTextDataNum").c_str(), r.nRecentTextDataNum);
        for (int j = 0; j < r.nRecentTextDataNum; ++j) {
            const std::u16string text = NameForFile(DlgInfoRecentText(r, j));
            ok &= m_configFile.SetValue(TextKey(i, j).c_str(), text.c_str(), kNvConfigTypeString);
        }
    }
    return FinishSave(ok);
}

// ---- records

int CMgrConfigUIDataDlgInfo::FindDlgInfo(const char16_t* name) const {
    const std::u16string wanted = StoredName(name);
    for (int i = 0; i < m_items.GetCount(); ++i) {
        if (CompareNamesNoCase(DlgInfoName(*m_items.GetAt(i)), wanted) == 0) return i;
    }
    return -1;
}

int CMgrConfigUIDataDlgInfo::GetDlgInfoAt(int index, _tagUISTRUCT_DLGINFO* out) const {
    const _tagUISTRUCT_DLGINFO* record = m_items.GetAt(index);
    if (!record) return 0;
    if (out) *out = *record;
    return 1;
}

int CMgrConfigUIDataDlgInfo::GetDlgInfo(const char16_t* name, _tagUISTRUCT_DLGINFO* out) const {
    const int index = FindDlgInfo(name);
    if (index >= 0) return GetDlgInfoAt(index, out);
    if (out) {
        *out = _tagUISTRUCT_DLGINFO();
        CopyNameField(out->szDialogName, kDlgNameUnits, StoredName(name));
    }
    return 0;
}

uint32_t CMgrConfigUIDataDlgInfo::GetAreaCode(const char16_t* name) const {
    const _tagUISTRUCT_DLGINFO* record = m_items.GetAt(FindDlgInfo(name));
    return record ? record->uAreaCode : 0;
}

_tagUISTRUCT_DLGINFO CMgrConfigUIDataDlgInfo::RecordFor(const char16_t* name, int* index) const {
    *index = FindDlgInfo(name);
    if (const _tagUISTRUCT_DLGINFO* existing = m_items.GetAt(*index)) return *existing;
    _tagUISTRUCT_DLGINFO record;
    CopyNameField(record.szDialogName, kDlgNameUnits, StoredName(name));
    record.eOrderBy = 1;
    return record;
}

void CMgrConfigUIDataDlgInfo::Store(const _tagUISTRUCT_DLGINFO& record, int index) {
    if (index >= 0) {
        m_items.SetAt(index, record);
    } else {
        m_items.Add(record);
    }
}

int CMgrConfigUIDataDlgInfo::SetAreaCode(const char16_t* name, uint32_t code) {
    int index = -1;
    _tagUISTRUCT_DLGINFO record = RecordFor(name, &index);
    record.uAreaCode = code;
    Store(record, index);
    return 1;
}

int CMgrConfigUIDataDlgInfo::AddRecentText(const char16_t* name, const char16_t* text) {
    if (!text || !*text) return 0;
    int index = -1;
    _tagUISTRUCT_DLGINFO record = RecordFor(name, &index);
    SettleCount(record);
    // Compared as stored: a text is kept to 16 characters.
    char16_t added[kDlgRecentTextUnits];
    CopyNameField(added, kDlgRecentTextUnits, text);
    std::vector<std::u16string> texts{std::u16string(NameFieldView(added, kDlgRecentTextUnits))};
    for (int j = 0; j < record.nRecentTextDataNum; ++j) {
        const std::u16string_view old = DlgInfoRecentText(record, j);
        if (CompareNamesNoCase(old, texts.front()) != 0) texts.emplace_back(old);
    }
    const int n = std::min<int>(static_cast<int>(texts.size()), kDlgRecentTexts);
    for (int j = 0; j < kDlgRecentTexts; ++j) {
        CopyNameField(record.szRecentTextArray[j], kDlgRecentTextUnits,
                      j < n ? std::u16string_view(texts[static_cast<size_t>(j)]) : std::u16string_view());
    }
    record.nRecentTextDataNum = n;
    Store(record, index);
    return 1;
}

int CMgrConfigUIDataDlgInfo::PutDlgInfo(const _tagUISTRUCT_DLGINFO& record) {
    _tagUISTRUCT_DLGINFO copy = record;
    SettleCount(copy);
    const int index = FindDlgInfo(copy.szDialogName);
    if (index >= 0) m_items.RemoveAt(index);
    return m_items.Add(copy) >= 0 ? 1 : 0;
}
