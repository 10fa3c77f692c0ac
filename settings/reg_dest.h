#pragma once
// The driver's registered places ("\RegDest.udt"): up to 200 named places,
// each in one of the driver's folders, with a category (1 and 2 are the
// two special places the screens go to directly), an icon, a voice flag,
// a memo and an optional alarm window on chosen weekdays that the shell's
// advisor checks with FindDueAlarm.
#include <cstdint>

#include "foundation/nv_array.h"
#include "foundation/nv_time.h"
#include "foundation/singleton.h"
#include "settings/folder_place_store.h"
#include "settings/main_menu_time.h"

struct _tagUISTRUCT_ALARMDATA {
    PackedTimeOfDay lStartTime;
    PackedTimeOfDay lEndTime;
    // Seconds since 1970 of local time (NvTime); the file keeps the low 32
    // bits.
    int64_t tLastRanTime = 0;
    // Monday 1, Tuesday 2, Wednesday 4, ... Saturday 32, Sunday 64.
    int32_t nDayOfWeek = 0;
};

struct _tagUISTRUCT_REGDEST {
    static constexpr int kMemoUnits = 17;  // 16 characters and the terminator
    // Not in the file: 0 for places loaded from it, -1 for places taken over
    // from the old data files.
    int32_t nOrigin = 0;
    int32_t eCate = 0;
    int32_t nIcon = 0;
    int32_t nVoice = 0;
    int32_t nFolder = 0;
    int32_t bAlramUse = 0;
    _tagUISTRUCT_ALARMDATA lAlramData;
    char16_t szMemo[kMemoUnits] = {};
    int32_t eRegionCheck = 0;
    _tagUISTRUCT_POSINFO PosInfo;

    // Every field and every unit of the text fields.
    friend bool operator==(const _tagUISTRUCT_REGDEST& a, const _tagUISTRUCT_REGDEST& b);
};

struct RegDestTraits {
    using Record = _tagUISTRUCT_REGDEST;
    static constexpr int kFileType = NV_FILE_REG_DEST;
    static constexpr const char* kItemKey = "RegDest";
    static constexpr const char* kFolderKey = "RegDestFolder";
    static constexpr int kIconMode = 9;
    static constexpr bool kSpecialPlacesFirst = true;

    static std::u16string_view Name(const Record& r) { return NameFieldView(r.PosInfo.szName, kCourseNameUnits); }
    static MapPoint Position(const Record& r) { return r.PosInfo.wcPosition; }
    static int32_t& Folder(Record& r) { return r.nFolder; }
    static int32_t Folder(const Record& r) { return r.nFolder; }
    static int32_t Icon(const Record& r) { return r.nIcon; }
    static int32_t Category(const Record& r) { return r.eCate; }
    static void Terminate(Record& r);
    static int ReadFields(NvConfigFile& file, int entry, Record& r);
    static int WriteFields(NvConfigFile& file, int entry, const Record& r);
};

class CMgrConfigUIDataRegDest : public CMgrConfigUIDataFolderPlaces<RegDestTraits>,
                                public MgrSingletonT<CMgrConfigUIDataRegDest> {
public:
    // Sort mode: the first category-1 place, the first category-2 place,
    // then the others by icon.
    static constexpr int kModeByCategory = kModeByIcon;
    // Alarms are checked only while the clock shows a year in this range
    // (a clock not yet set shows an earlier year).
    static constexpr int kAlarmFirstYear = 2005;
    static constexpr int kAlarmLastYear = 2200;

    // Places and folders taken over from the data files of earlier releases
    // (true when there were any); the old files are gone afterwards.
    using OldDataImport = bool (*)(NvArray<_tagUISTRUCT_FOLDERITEM>& folders, NvArray<_tagUISTRUCT_REGDEST>& places);
    static void SetOldDataImport(OldDataImport import) { s_oldDataImport = import; }

    // Takes over old data (written to the store's file at once), then loads
    // the store's file; when that fails the store holds the default folder
    // only and writes its file anew.
    CMgrConfigUIDataRegDest();
    ~CMgrConfigUIDataRegDest() override = default;

    // Stored position of the first place of a category; -1 when none.
    int FindItemByCategory(int category) const;
    // Every place of category `from` gets `to`; the number changed.
    int ChangeCategory(int from, int to);
    // The first place (stored order) whose alarm is due at the given local
    // time; -1 when none or when the year is outside 2005..2200. update 1
    // records the run in the place and saves the store.
    int FindDueAlarm(const NvTime& now, int update);

private:
    inline static OldDataImport s_oldDataImport = nullptr;
};
