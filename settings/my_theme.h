#pragma once
// The driver's own theme places ("\MyTheme.udt"): up to 200 places, each in
// a folder and tagged with a theme id in the numbering of the search
// databases. When the search databases renumber their themes they carry a
// conversion table ("%s\Map\Search\themeidconvert.sdb" under the root
// folder), which is applied to the stored ids at every load.
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/singleton.h"
#include "settings/folder_place_store.h"

struct _tagUISTRUCT_MYTHEME {
    int32_t nIcon = 0;
    int32_t nVoice = 0;
    int32_t nFolder = 0;
    int32_t nThemeID = 0;
    _tagUISTRUCT_POSINFO PosInfo;

    friend bool operator==(const _tagUISTRUCT_MYTHEME& a, const _tagUISTRUCT_MYTHEME& b);
};

struct MyThemeTraits {
    using Record = _tagUISTRUCT_MYTHEME;
    static constexpr int kFileType = NV_FILE_MY_THEME;
    static constexpr const char* kItemKey = "MyTheme";
    static constexpr const char* kFolderKey = "MyThemeFolder";
    static constexpr int kIconMode = 6;
    static constexpr bool kSpecialPlacesFirst = false;

    static std::u16string_view Name(const Record& r) { return NameFieldView(r.PosInfo.szName, kCourseNameUnits); }
    static MapPoint Position(const Record& r) { return r.PosInfo.wcPosition; }
    static int32_t& Folder(Record& r) { return r.nFolder; }
    static int32_t Folder(const Record& r) { return r.nFolder; }
    static int32_t Icon(const Record& r) { return r.nIcon; }
    static int32_t Category(const Record&) { return 0; }
    static void Terminate(Record& r) { r.PosInfo.szName[kCourseNameUnits - 1] = u'\0'; }
    static int ReadFields(NvConfigFile& file, int entry, Record& r);
    static int WriteFields(NvConfigFile& file, int entry, const Record& r);
};

// The theme-id conversion table: a little-endian u32 count n, then n
// little-endian i32 values, value i being the new id of old id i, and
// nothing after them. False (with the reason) for bytes that are not such a
// table; ids is then empty.
bool ParseThemeIdTable(const uint8_t* data, size_t size, std::vector<int32_t>& ids, std::string* error = nullptr);
// "%s\Map\Search\themeidconvert.sdb" with the root folder of the global
// settings.
NvString ThemeIdTableFile();

class CMgrConfigUIDataMyTheme : public CMgrConfigUIDataFolderPlaces<MyThemeTraits>,
                                public MgrSingletonT<CMgrConfigUIDataMyTheme> {
public:
    // Loads the store's own file; when that fails the store holds the
    // default folder only and writes its file anew.
    CMgrConfigUIDataMyTheme();
    ~CMgrConfigUIDataMyTheme() override = default;

    // Reads the conversion table when there is one (a damaged table is not
    // used), then the places with their theme ids converted; a converted
    // file is written again.
    int Load(const char16_t* file) override;
};
