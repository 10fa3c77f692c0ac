#include "settings/saved_course.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/debug_trace.h"
#include "settings/name_field.h"

namespace {

userdata::KeyText CourseKey(int course, std::string_view field) { return userdata::EntryKey("Course", course, field); }

// The keys of one course in file order: for each, visit(key, integer) or
// visit(key, name field). The keys are built one after another in a single
// buffer ("CourseNNN." followed by the field), so no key costs a string of
// its own; the key handed to visit lasts until the next one.
template <typename Visit>
void VisitCourseKeys(int course, _tagUISTRUCT_COURSEINFO& body, Visit&& visit) {
    std::u16string key(CourseKey(course, "").View());
    const size_t courseLength = key.size();
    const auto with = [&key](size_t base, std::string_view field) -> const std::u16string& {
        key.resize(base);
        for (const char c : field) key.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
        return key;
    };
    const auto point = [&](std::string_view prefix, _tagUISTRUCT_COURSEPOS& p) {
        const size_t base = with(courseLength, prefix).size();
        visit(with(base, ".ePositionType"), &p.ePositionType, nullptr);
        visit(with(base, ".eRegionCheck"), &p.eRegionCheck, nullptr);
        visit(with(base, ".PosInfo.wcPosition.x"), &p.PosInfo.wcPosition.x, nullptr);
        visit(with(base, ".PosInfo.wcPosition.y"), &p.PosInfo.wcPosition.y, nullptr);
        visit(with(base, ".PosInfo.szName"), nullptr, p.PosInfo.szName);
    };
    point("lStartPosInfo", body.lStartPosInfo);
    for (int slot = 0; slot < kCourseSlots; ++slot) {
        char prefix[32];
        std::snprintf(prefix, sizeof prefix, "lCoursePosInfo%03d", slot);
        point(prefix, body.lCoursePosInfo[slot]);
    }
    visit(with(courseLength, "eRouteOption"), &body.eRouteOption, nullptr);
    visit(with(courseLength, "bRouteWithPeloxWizard"), &body.bRouteWithPeloxWizard, nullptr);
    visit(with(courseLength, "bRouteWithTPEG"), &body.bRouteWithTPEG, nullptr);
    visit(with(courseLength, "bStartUserPos"), &body.bStartUserPos, nullptr);
    visit(with(courseLength, "bGoalUserPos"), &body.bGoalUserPos, nullptr);
    visit(with(courseLength, "szName"), nullptr, body.szName);
}

// The course number of a key "CourseNNN.field"; -1 for other keys.
int CourseNumberOfKey(std::u16string_view key) { return userdata::EntryNumberOfKey(key, "Course", true); }

}  // namespace

std::u16string_view SavedCourseName(const _tagUISTRUCT_COURSEINFO& course) {
    return NameFieldView(course.szName, kCourseNameUnits);
}

CMgrConfigUIDataCourse::CMgrConfigUIDataCourse() {
    if (!Load(nullptr)) EmptyStore();
}

void CMgrConfigUIDataCourse::EmptyStore() {
    m_items.RemoveAll();
    for (NvArray<int>& list : m_lists) list.RemoveAll();
}

// ---- file

int CMgrConfigUIDataCourse::Load(const char16_t* file) {
    const NvString path = FilePathFor(file, NV_FILE_REG_COURSE);
    if (!OpenFile(path, file == nullptr)) return 0;
    // A second load replaces the courses; adding to them would double them.
    EmptyStore();
    int count = 0;
    int toVisit = 0;
    // A file without a count holds no courses. A count the store cannot
    // hold is refused; this file is never set aside.
    if (const char* rejected = CheckCountedFile(
            {u"nItemCount", kMaxItems, CourseNumberOfKey, nullptr, "nItemCount outside 0..200"}, &count, &toVisit)) {
        DebugTrace(1, "[CFG] %s: %s; not taken\n", path.ToUtf8().c_str(), rejected);
        m_configFile.Clear();
        return 0;
    }

    for (const int course : EntriesWithKeys(CourseNumberOfKey, toVisit)) {
        _tagUISTRUCT_COURSEINFO body;
        int present = 0;
        VisitCourseKeys(course, body, [&](const std::u16string& key, int32_t* integer, char16_t* name) {
            if (integer) {
                present += m_configFile.GetInt(key.c_str(), integer, 1);
                return;
            }
            std::u16string_view text;
            if (m_configFile.GetString(key.c_str(), text, 1)) {
                ++present;
                CopyNameField(name, kCourseNameUnits, text);
            }
        });
        // A course the file holds no key of is not made up.
        if (present == 0) continue;
        AddItem(body, 0);
    }
    RebuildLists(0);
    return FinishLoad();
}

int CMgrConfigUIDataCourse::Save(const char16_t* file) {
    int ok = StartSave(file, NV_FILE_REG_COURSE);
    ok &= m_configFile.SetInt(u"nItemCount", m_items.GetCount());
    for (int i = 0; i < m_items.GetCount(); ++i) {
        VisitCourseKeys(i, *m_items.GetAt(i), [&](const std::u16string& key, int32_t* integer, char16_t* name) {
            if (integer) {
                ok &= m_configFile.SetInt(key.c_str(), *integer);
                return;
            }
            ok &= userdata::WriteText(m_configFile, key, name, kCourseNameUnits);
        });
    }
    return FinishSave(ok);
}

// ---- courses

void CMgrConfigUIDataCourse::RemoveStored(int stored) {
    if (!m_items.RemoveAt(stored)) return;
    for (NvArray<int>& list : m_lists) userdata::DropStoredPosition(list, stored);
}

int CMgrConfigUIDataCourse::AddItem(const _tagUISTRUCT_COURSEINFO& course, int rebuild) {
    while (m_items.GetCount() >= kMaxItems) RemoveStored(0);
    _tagUISTRUCT_COURSEINFO copy = course;
    copy.szName[kCourseNameUnits - 1] = u'\0';
    copy.lStartPosInfo.PosInfo.szName[kCourseNameUnits - 1] = u'\0';
    for (_tagUISTRUCT_COURSEPOS& p : copy.lCoursePosInfo) p.PosInfo.szName[kCourseNameUnits - 1] = u'\0';
    const int at = m_items.Add(copy);
    if (at < 0) return 0;
    const NvString key = m_searchText.MakeChosungKey();
    if (NvString(SavedCourseName(copy)).MatchChosungKey(key)) {
        m_lists[1].Add(at);
        m_lists[2].Add(at);
        m_lists[0].Add(at);
    }
    if (rebuild == 1) OrderLists();
    return 1;
}

int CMgrConfigUIDataCourse::MapPosition(int position, int mode) const {
    if (position < 0 || position >= m_items.GetCount()) return -1;
    if (mode < kModeStored || mode > kModeNewest) return position;
    return userdata::StoredPositionAt(m_lists[mode - 1], position, m_items.GetCount());
}

int CMgrConfigUIDataCourse::GetStoredIndex(int position, int mode) {
    return MapPosition(position, FollowSortMode(m_sortMode, mode));
}

int CMgrConfigUIDataCourse::DeleteItem(int position, int mode, int rebuild) {
    const int stored = GetStoredIndex(position, mode);
    if (stored < 0) return 0;
    RemoveStored(stored);
    if (rebuild == 1) RebuildLists(1);
    return 1;
}

int CMgrConfigUIDataCourse::GetItem(int position, _tagUISTRUCT_COURSEINFO* buffer, int mode) {
    return CopyItemAt(m_items, m_sortMode, position, buffer, mode,
                      [this](int p, int m) { return GetStoredIndex(p, m); });
}

int CMgrConfigUIDataCourse::CopyToCourse(int position, int mode, CMgrConfigUIInfoCourse& course) {
    _tagUISTRUCT_COURSEINFO body;
    if (!GetItem(position, &body, mode)) return 0;
    std::fill(std::begin(body.szName), std::end(body.szName), u'\0');
    course.Assign(body);
    return 1;
}

int CMgrConfigUIDataCourse::GetCount(int mode) const {
    return mode == kModeStored ? m_lists[0].GetCount() : m_items.GetCount();
}

int CMgrConfigUIDataCourse::FindItemByName(const char16_t* name) const {
    const std::u16string_view wanted(name ? name : u"");
    for (int i = 0; i < m_items.GetCount(); ++i) {
        if (CompareNamesNoCase(SavedCourseName(*m_items.GetAt(i)), wanted) == 0) return i;
    }
    return -1;
}

// ---- lists

void CMgrConfigUIDataCourse::FillLists() {
    for (NvArray<int>& list : m_lists) list.RemoveAll();
    const NvString key = m_searchText.MakeChosungKey();
    for (int i = 0; i < m_items.GetCount(); ++i) {
        if (!NvString(SavedCourseName(*m_items.GetAt(i))).MatchChosungKey(key)) continue;
        for (NvArray<int>& list : m_lists) list.Add(i);
    }
}

void CMgrConfigUIDataCourse::OrderLists() {
    userdata::OrderStoredNamedNewest(m_lists, m_items.GetCount(),
                                     [this](int i) { return SavedCourseName(*m_items.GetAt(i)); });
}

int CMgrConfigUIDataCourse::SearchByName(const char16_t* text) {
    const std::u16string_view wanted(text ? text : u"");
    if (wanted == m_searchText.View()) return 0;
    m_searchText = NvString(wanted);
    FillLists();
    OrderLists();
    return 1;
}

int CMgrConfigUIDataCourse::RebuildLists(int refill) {
    if (refill == 1) FillLists();
    OrderLists();
    return 1;
}
