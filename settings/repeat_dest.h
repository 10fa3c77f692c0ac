#pragma once
// The places the driver goes to often, in "\RepeatDest.udt": at most 50,
// oldest first, each with its visits counted by weekday or weekend and by
// hour of the day, offered in the order in which they are most likely
// wanted now. A place not visited for 31 days is forgotten at the next
// start.
#include <cstdint>

#include "foundation/nv_array.h"
#include "foundation/nv_string.h"
#include "foundation/singleton.h"
#include "settings/course_current.h"
#include "settings/user_data_base.h"

inline constexpr int kRepeatRows = 2;    // 0: Monday to Friday, 1: Saturday and Sunday
inline constexpr int kRepeatHours = 24;

struct _tagUISTRUCT_REPEATDEST {
    int32_t nVCWH[kRepeatRows * kRepeatHours] = {};  // row * 24 + hour
    int32_t nVCETC = 0;  // visits while the clock was not set
    int32_t Type = 0;
    int32_t Region = 0;
    // Seconds since 1970 of the last visit; a sequence number while the
    // clock is not set (before 2007).
    int64_t Time = 0;
    _tagUISTRUCT_POSINFO PosInfo;

    friend bool operator==(const _tagUISTRUCT_REPEATDEST& a, const _tagUISTRUCT_REPEATDEST& b);
};

// One listed place of the last result.
struct _tagUISTRUCT_REPEATDEST_COUNTITEM {
    int32_t nIndex = -1;  // stored position of the place; -1 once it is gone
    int32_t nScore[4] = {};
    uint32_t uTime = 0;   // low 32 bits of the place's Time
};

// Where the filter type of SearchByName and RebuildResult comes from (the
// UI setting "eRepeatCountFilterType"); null restores the UI settings.
using RepeatFilterTypeSource = int (*)();
void SetRepeatFilterTypeSource(RepeatFilterTypeSource source);

class CMgrConfigUIDataRepeatDest : public CMgrConfigUIDataBase, public MgrSingletonT<CMgrConfigUIDataRepeatDest> {
public:
    static constexpr int kMaxItems = 50;
    static constexpr int32_t kSamePlaceUnits = 10;
    // A place whose last visit is longer ago than this is dropped at load.
    static constexpr int64_t kExpirySeconds = 31 * 24 * 3600;

    // Modes of the lists.
    static constexpr int kModeStored = 0;
    static constexpr int kModeResult = 1;
    static constexpr int kModeRanked = 5;
    static constexpr int kModeCurrent = -1;

    // Filter types of the scores.
    static constexpr int kFilterAll = 1;       // all visits
    static constexpr int kFilterDayKind = 2;   // this kind of day first
    static constexpr int kFilterHalfDay = 3;   // this kind of day and half of the day first

    // Loads the store's own file; starts empty when that fails.
    CMgrConfigUIDataRepeatDest();
    ~CMgrConfigUIDataRepeatDest() override = default;

    int Load(const char16_t* file) override;
    int Save(const char16_t* file) override;

    // count 1: a visit to the record's place now (plus offsetSeconds); the
    // same place's counters are taken over, a second visit on the same day
    // counts once. count 0: the record is stored as it is. The oldest
    // places go so that at most 50 remain; the new one is the newest.
    // rebuild 1 builds the result again. 1, or 0 when the earlier record
    // of the same place cannot be removed.
    int AddItem(const _tagUISTRUCT_REPEATDEST& record, int count, int64_t offsetSeconds, int rebuild);
    // Removes the place behind a list position without changing the sort
    // mode. The lists keep naming the remaining places; rebuild 1 builds
    // the result again. 0 when the position maps to none.
    int DeleteItem(int position, int mode, int rebuild);
    // Mode 1: the length of the result; other modes: the number of places.
    int GetCount(int mode) const;
    // Copies the place behind a list position; 0 when there is none. A
    // null buffer answers 1 for any position below the number of places.
    int GetItem(int position, _tagUISTRUCT_REPEATDEST* buffer, int mode);
    // Mode 0: the position itself; 2 and 3: none; 5: the ranked list;
    // others: the result list. -1 mode is the current mode; any other
    // mode becomes current.
    int GetStoredIndex(int position, int mode);
    // Stores the text and builds the result with the UI's filter type.
    int SearchByName(const char16_t* text, int limitM);
    // The result again from the stored text, without a distance limit.
    int RebuildResult();
    // Takes the places whose name starts with the text's initial-consonant
    // key (and, with a limit, lie within limitM metres), scores them and
    // ranks them. Returns 1.
    int BuildResult(int filterType, const char16_t* text, int limitM);

    int SetSortMode(int mode) {
        m_sortMode = mode;
        return 1;
    }
    int GetSortMode() const { return m_sortMode; }
    const NvString& GetSearchText() const { return m_searchText; }
    // The count item behind a position of the result (mode 1) or of the
    // ranked list (mode 5); null when there is none.
    const _tagUISTRUCT_REPEATDEST_COUNTITEM* GetCountItem(int position, int mode) const;

    // The four scores of a place for a filter type at the current time.
    static void ComputeScores(const _tagUISTRUCT_REPEATDEST& place, int filterType, int32_t scores[4]);

private:
    int MapPosition(int position, int mode) const;
    // Removes a place; the count items follow. False when it is not there.
    bool RemoveStored(int stored);
    void EmptyStore();

    NvArray<_tagUISTRUCT_REPEATDEST> m_items;
    NvArray<_tagUISTRUCT_REPEATDEST_COUNTITEM> m_countItems;
    NvArray<int> m_ranked;
    NvArray<int> m_result;
    int m_sortMode = kModeRanked;
    NvString m_searchText;
};
