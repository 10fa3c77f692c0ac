#pragma once
// The last 30 destinations the driver was routed to, oldest first, in
// "\RecentDest.udt", with four lists over them for the screens: stored
// order, by name, newest first and by distance from the current position.
#include <cstdint>

#include "foundation/nv_array.h"
#include "foundation/nv_string.h"
#include "foundation/singleton.h"
#include "settings/course_current.h"
#include "settings/user_data_base.h"

// A recent destination is a course point.
using _tagUISTRUCT_RECENTDEST = _tagUISTRUCT_COURSEPOS;

class CMgrConfigUIDataRecentDest : public CMgrConfigUIDataBase, public MgrSingletonT<CMgrConfigUIDataRecentDest> {
public:
    static constexpr int kMaxItems = 30;
    // A new destination replaces a stored one with the same name closer
    // than this in x and in y.
    static constexpr int32_t kSamePlaceUnits = 10;

    // Sort modes (list numbers).
    static constexpr int kModeStored = 1;
    static constexpr int kModeByName = 2;
    static constexpr int kModeNewest = 3;
    static constexpr int kModeByDistance = 4;
    static constexpr int kModeCurrent = -1;

    // Loads the store's own file; starts empty when that fails.
    CMgrConfigUIDataRecentDest();
    ~CMgrConfigUIDataRecentDest() override = default;

    int Load(const char16_t* file) override;
    int Save(const char16_t* file) override;

    // Records a destination: the same place goes, the oldest beyond 29
    // goes, the new one comes last. rebuild 1 refills the lists. Returns 1.
    int AddItem(const _tagUISTRUCT_RECENTDEST& record, int rebuild);
    // Removes the record behind a list position. 0 when it maps to none.
    // The lists keep naming the remaining records (positions before the
    // removed one unchanged); rebuild 1 refills them.
    int DeleteItem(int position, int mode, int rebuild);
    // Mode 1: the length of the (filtered) stored-order list; any other
    // mode: the number of records.
    int GetCount(int mode) const;
    // Copies the record behind a list position; 0 when there is none. A
    // null buffer answers 1 for any position below the number of records.
    int GetItem(int position, _tagUISTRUCT_RECENTDEST* buffer, int mode);
    // Keeps the records whose name starts with the text's initial-consonant
    // key and, with a limit, lie within limitM metres of the current
    // position; then orders the lists. Returns 1.
    int SearchByName(const char16_t* text, int limitM);
    // refilter 1: fill the lists again from the stored search text (no
    // distance limit), then order; 0: order only. Returns 1.
    int RebuildLists(int refilter);
    int GetStoredIndex(int position, int mode);
    int SetSortMode(int mode) {
        m_sortMode = mode;
        return 1;
    }
    int GetSortMode() const { return m_sortMode; }
    const NvString& GetSearchText() const { return m_searchText; }

    // The list of a mode (1..4) for inspection; null for other modes.
    const NvArray<int>* GetList(int mode) const;

private:
    static NvString DefaultFile();
    // Applies the mode rule (-1 = current, any other becomes current) and
    // maps a position to a stored index (-1 when none).
    int MapPosition(int position, int mode);
    void EmptyLists();
    void Filter(const NvString& text, int limitM);
    void OrderLists();
    // Removes a record and renumbers the lists that name it.
    void RemoveStored(int stored);
    void EmptyStore();

    NvArray<_tagUISTRUCT_RECENTDEST> m_items;
    NvArray<int> m_lists[4];
    int m_sortMode = kModeStored;
    NvString m_searchText;
};
