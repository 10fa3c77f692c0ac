#pragma once
// What each search screen finds again when it opens: the chosen area, the
// sort order and the last seven search texts, kept per dialog name in
// "\UIDlgInfo.udt". Nothing saves by itself; the screens call Save.
#include <cstdint>
#include <string_view>

#include "foundation/nv_array.h"
#include "foundation/singleton.h"
#include "settings/user_data_base.h"

inline constexpr int kDlgNameUnits = 65;      // 64 characters and the terminator
inline constexpr int kDlgRecentTexts = 7;
inline constexpr int kDlgRecentTextUnits = 17;  // 16 characters and the terminator

struct _tagUISTRUCT_DLGINFO {
    char16_t szDialogName[kDlgNameUnits] = {};
    uint32_t uAreaCode = 0;  // 0: none
    int32_t eOrderBy = 0;
    int32_t nRecentTextDataNum = 0;  // 0..7
    char16_t szRecentTextArray[kDlgRecentTexts][kDlgRecentTextUnits] = {};  // most recent first

    friend bool operator==(const _tagUISTRUCT_DLGINFO& a, const _tagUISTRUCT_DLGINFO& b);
};

std::u16string_view DlgInfoName(const _tagUISTRUCT_DLGINFO& info);
std::u16string_view DlgInfoRecentText(const _tagUISTRUCT_DLGINFO& info, int index);

class CMgrConfigUIDataDlgInfo : public CMgrConfigUIDataBase, public MgrSingletonT<CMgrConfigUIDataDlgInfo> {
public:
    // Loads the store's own file; starts empty when that fails.
    CMgrConfigUIDataDlgInfo();
    ~CMgrConfigUIDataDlgInfo() override = default;

    // Replaces the records with the file's. 0 (store unchanged) for a file
    // that cannot be read; 0 (store empty, file set aside) for one whose
    // records do not match its count.
    int Load(const char16_t* file) override;
    int Save(const char16_t* file) override;

    // Index of the first record of that name (ignoring case); -1.
    int FindDlgInfo(const char16_t* name) const;
    // Copies the record at an index into out when given; 0 when out of range.
    int GetDlgInfoAt(int index, _tagUISTRUCT_DLGINFO* out) const;
    // Copies the named record (1); when absent out is zeroed with the name
    // put in (0).
    int GetDlgInfo(const char16_t* name, _tagUISTRUCT_DLGINFO* out) const;
    // The record's area code; 0 when there is none.
    uint32_t GetAreaCode(const char16_t* name) const;
    // Sets the area code of the named record, making it when new. 1.
    int SetAreaCode(const char16_t* name, uint32_t code);
    // Puts the text first in the record's recent texts (an equal text in
    // other letter case goes; the eighth drops out). 0 for an empty text.
    int AddRecentText(const char16_t* name, const char16_t* text);
    // Removes the record of the same name and appends this one.
    int PutDlgInfo(const _tagUISTRUCT_DLGINFO& record);
    void Clear() { m_items.RemoveAll(); }
    int GetCount() const { return m_items.GetCount(); }

private:
    // A new record of that name with order 1 and no texts, or a copy of
    // the existing one; index -1 when new.
    _tagUISTRUCT_DLGINFO RecordFor(const char16_t* name, int* index) const;
    void Store(const _tagUISTRUCT_DLGINFO& record, int index);

    NvArray<_tagUISTRUCT_DLGINFO> m_items;
};
