#pragma once
// Courses the driver saved under a name, in "\RegCourse.udt": up to 200
// whole course bodies, oldest first, so that one can be put back into the
// current course and routed again. Three lists over the courses whose name
// matches the search text: stored order, by name, newest first.
#include "foundation/nv_array.h"
#include "foundation/nv_string.h"
#include "foundation/singleton.h"
#include "settings/course_current.h"
#include "settings/user_data_base.h"

class CMgrConfigUIDataCourse : public CMgrConfigUIDataBase, public MgrSingletonT<CMgrConfigUIDataCourse> {
public:
    static constexpr int kMaxItems = 200;

    static constexpr int kModeStored = 1;
    static constexpr int kModeByName = 2;
    static constexpr int kModeNewest = 3;
    static constexpr int kModeCurrent = -1;

    // Loads the store's own file; starts empty when that fails.
    CMgrConfigUIDataCourse();
    ~CMgrConfigUIDataCourse() override = default;

    // Replaces what the store holds with the file's courses.
    int Load(const char16_t* file) override;
    int Save(const char16_t* file) override;

    // Appends a course (the oldest go so that at most 200 remain); it joins
    // the lists when its name matches the search text. rebuild 1 orders the
    // lists again. Returns 1.
    int AddItem(const _tagUISTRUCT_COURSEINFO& course, int rebuild);
    // Removes the course behind a list position; the lists keep naming the
    // remaining courses, rebuild 1 fills them again. 0 when it maps to none.
    int DeleteItem(int position, int mode, int rebuild);
    // Copies the whole body behind a list position; 0 when there is none.
    // A null buffer answers 1 for any position below the number of courses.
    int GetItem(int position, _tagUISTRUCT_COURSEINFO* buffer, int mode);
    // Modes 1..3 map through their list, any other mode gives the position
    // itself; -1 when none. Mode -1 is the current mode; any other mode
    // becomes current.
    int GetStoredIndex(int position, int mode);
    // Mode 1: the length of the stored-order list; other modes: the number
    // of courses.
    int GetCount(int mode) const;
    // Stored position of the first course of that name (ignoring case); -1.
    int FindItemByName(const char16_t* name) const;
    // A changed text is stored and the lists are filled anew (1); the same
    // text again does nothing (0).
    int SearchByName(const char16_t* text);
    // refill 1 fills the lists from the stored text; then orders them.
    int RebuildLists(int refill);
    // Puts the course behind a list position into a course (the current
    // course keeps no name of its own). 0 when the position maps to none.
    int CopyToCourse(int position, int mode, CMgrConfigUIInfoCourse& course);

    int SetSortMode(int mode) {
        m_sortMode = mode;
        return 1;
    }
    int GetSortMode() const { return m_sortMode; }
    const NvString& GetSearchText() const { return m_searchText; }

private:
    int MapPosition(int position, int mode) const;
    void FillLists();
    void OrderLists();
    void RemoveStored(int stored);
    void EmptyStore();

    NvArray<_tagUISTRUCT_COURSEINFO> m_items;
    NvArray<int> m_lists[3];
    int m_sortMode = kModeStored;
    NvString m_searchText;
};

std::u16string_view SavedCourseName(const _tagUISTRUCT_COURSEINFO& course);
