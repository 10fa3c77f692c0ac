#include "settings/course_current.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "foundation/debug_trace.h"
#include "settings/name_field.h"
#include "settings/ui_setting.h"

namespace {

std::atomic<CourseDefaultsSource> g_defaultsSource{nullptr};

bool SamePos(const _tagUISTRUCT_COURSEPOS& p, int32_t x, int32_t y) {
    return p.PosInfo.wcPosition.x == x && p.PosInfo.wcPosition.y == y;
}

void SwapInterchangeType(_tagUISTRUCT_COURSEPOS& p) {
    if (p.ePositionType == 1) {
        p.ePositionType = 2;
    } else if (p.ePositionType == 2) {
        p.ePositionType = 1;
    }
}

// ---- the keys of "\CourseCurrent.idt"

// One field of the file: an integer, a byte or a name.
struct KeyField {
    int32_t* integer = nullptr;
    uint8_t* byte = nullptr;
    char16_t* name = nullptr;
    uint32_t* word = nullptr;
};

// The keys are built one after another in a single buffer: a key is the
// text kept so far (its "base") followed by a field name, so no key costs a
// string of its own. Each visitor puts the buffer back as it found it.
class KeyBuffer {
public:
    // The buffer's text followed by field; the buffer holds that key until
    // the next call.
    const std::u16string& With(std::u16string_view field) {
        m_key.resize(m_base);
        m_key += field;
        return m_key;
    }
    // field becomes part of the base; Pop takes it off again.
    size_t Push(std::u16string_view field) {
        const size_t mark = m_base;
        m_key.resize(m_base);
        m_key += field;
        m_base = m_key.size();
        return mark;
    }
    void Pop(size_t mark) { m_base = mark; }

private:
    std::u16string m_key;
    size_t m_base = 0;
};

template <typename Visit>
void VisitPosKeys(KeyBuffer& keys, _tagUISTRUCT_COURSEPOS& p, Visit& visit) {
    visit(keys.With(u".ePositionType"), KeyField{&p.ePositionType});
    visit(keys.With(u".eRegionCheck"), KeyField{&p.eRegionCheck});
    visit(keys.With(u".PosInfo.wcPosition.x"), KeyField{&p.PosInfo.wcPosition.x});
    visit(keys.With(u".PosInfo.wcPosition.y"), KeyField{&p.PosInfo.wcPosition.y});
    visit(keys.With(u".PosInfo.szName"), KeyField{nullptr, nullptr, p.PosInfo.szName});
}

template <typename Visit>
void VisitBodyKeys(KeyBuffer& keys, std::u16string_view prefix, _tagUISTRUCT_COURSEINFO& body, Visit& visit) {
    const size_t outer = keys.Push(prefix);
    size_t mark = keys.Push(u"lStartPosInfo");
    VisitPosKeys(keys, body.lStartPosInfo, visit);
    keys.Pop(mark);
    for (int i = 0; i < kCourseSlots; ++i) {
        char digits[8];
        std::snprintf(digits, sizeof digits, "%03d", i);
        char16_t slot[24] = u"lCoursePosInfo";
        size_t length = std::char_traits<char16_t>::length(slot);
        for (const char* d = digits; *d && length + 1 < std::size(slot); ++d) slot[length++] = static_cast<char16_t>(*d);
        mark = keys.Push(std::u16string_view(slot, length));
        VisitPosKeys(keys, body.lCoursePosInfo[i], visit);
        keys.Pop(mark);
    }
    visit(keys.With(u"eRouteOption"), KeyField{&body.eRouteOption});
    visit(keys.With(u"bRouteWithPeloxWizard"), KeyField{&body.bRouteWithPeloxWizard});
    visit(keys.With(u"bRouteWithTPEG"), KeyField{&body.bRouteWithTPEG});
    visit(keys.With(u"bStartUserPos"), KeyField{&body.bStartUserPos});
    visit(keys.With(u"bGoalUserPos"), KeyField{&body.bGoalUserPos});
    keys.Pop(outer);
}

}  // namespace

// ---- records

bool operator==(const _tagUISTRUCT_COURSEPOS& a, const _tagUISTRUCT_COURSEPOS& b) {
    return a.ePositionType == b.ePositionType && a.eRegionCheck == b.eRegionCheck &&
           a.PosInfo.wcPosition == b.PosInfo.wcPosition &&
           std::equal(std::begin(a.PosInfo.szName), std::end(a.PosInfo.szName), std::begin(b.PosInfo.szName));
}

bool operator==(const _tagUISTRUCT_COURSEINFO& a, const _tagUISTRUCT_COURSEINFO& b) {
    return a.lStartPosInfo == b.lStartPosInfo &&
           std::equal(std::begin(a.lCoursePosInfo), std::end(a.lCoursePosInfo), std::begin(b.lCoursePosInfo)) &&
           a.eRouteOption == b.eRouteOption && a.bRouteWithPeloxWizard == b.bRouteWithPeloxWizard &&
           a.bRouteWithTPEG == b.bRouteWithTPEG && a.bStartUserPos == b.bStartUserPos &&
           a.bGoalUserPos == b.bGoalUserPos &&
           std::equal(std::begin(a.szName), std::end(a.szName), std::begin(b.szName));
}

_tagUISTRUCT_COURSEPOS MakeCoursePos(int32_t x, int32_t y, std::u16string_view name, int32_t positionType,
                                     int32_t regionCheck) {
    _tagUISTRUCT_COURSEPOS p;
    p.ePositionType = positionType;
    p.eRegionCheck = regionCheck;
    p.PosInfo.wcPosition = {x, y};
    CopyNameField(p.PosInfo.szName, kCourseNameUnits, name);
    return p;
}

std::u16string_view CoursePosName(const _tagUISTRUCT_COURSEPOS& pos) {
    return NameFieldView(pos.PosInfo.szName, kCourseNameUnits);
}

void SetCourseDefaultsSource(CourseDefaultsSource source) { g_defaultsSource.store(source); }

CourseDefaults GetCourseDefaults() {
    if (CourseDefaultsSource source = g_defaultsSource.load()) return source();
    CourseDefaults defaults;
    if (CMgrConfigUISetting* ui = CMgrConfigUISetting::Instance()) {
        MgrLock hold(*ui->GetLock());
        const UISettingRecord& record = ui->Record();
        defaults.eRouteOption = record.eDefaultRouteOption;
        defaults.bRouteWithPeloxWizard = record.bRouteWithPeloxWizard;
        defaults.bRouteWithTPEG = record.bRouteWithTPEG;
    }
    return defaults;
}

// ---- course body

void CMgrConfigUIInfoCourse::Reset() {
    m_body = _tagUISTRUCT_COURSEINFO();
    const CourseDefaults defaults = GetCourseDefaults();
    m_body.eRouteOption = defaults.eRouteOption;
    m_body.bRouteWithPeloxWizard = defaults.bRouteWithPeloxWizard;
    m_body.bRouteWithTPEG = defaults.bRouteWithTPEG;
}

int CMgrConfigUIInfoCourse::CountValidSlots() const {
    int n = 0;
    for (const auto& p : m_body.lCoursePosInfo) n += p.IsValid() ? 1 : 0;
    return n;
}

int CMgrConfigUIInfoCourse::GetValidPointCount(int withStart, int withGoal) const {
    const int n = CountValidSlots();
    if (withStart && m_body.lStartPosInfo.IsValid()) {
        return n + (m_body.bStartUserPos == 1 ? 1 : 0) - ((withGoal == 0 && n > 0) ? 1 : 0);
    }
    if (withGoal) return n;
    return n > 0 ? n - 1 : 0;
}

int CMgrConfigUIInfoCourse::GetFreePointCount(int withStart, int withGoal) const {
    return kCourseSlots - GetValidPointCount(withStart, withGoal) + (withStart == 1 ? 1 : 0) -
           (withGoal != 1 ? 1 : 0);
}

int CMgrConfigUIInfoCourse::GetPointCount(int mode) const {
    if (mode == 1) {
        const int n = GetValidPointCount(0, 1);
        return (n > 0 && m_body.bGoalUserPos != 0) ? n - 1 : n;
    }
    return GetValidPointCount(0, 0);
}

int CMgrConfigUIInfoCourse::GetLastPointIndex() const {
    for (int i = kCourseSlots - 1; i >= 0; --i) {
        if (m_body.lCoursePosInfo[i].IsValid()) return i;
    }
    return 0;
}

_tagUISTRUCT_COURSEPOS* CMgrConfigUIInfoCourse::Slot(int slot) {
    return const_cast<_tagUISTRUCT_COURSEPOS*>(std::as_const(*this).Slot(slot));
}

const _tagUISTRUCT_COURSEPOS* CMgrConfigUIInfoCourse::Slot(int slot) const {
    if (slot >= 0 && slot < kCourseSlots) return &m_body.lCoursePosInfo[slot];
    if (slot == kCourseSlotGoal) return &m_body.lCoursePosInfo[GetLastPointIndex()];
    if (slot == kCourseSlotStart) return &m_body.lStartPosInfo;
    return nullptr;
}

int CMgrConfigUIInfoCourse::SetPoint(int slot, const _tagUISTRUCT_COURSEPOS& point) {
    _tagUISTRUCT_COURSEPOS* p = Slot(slot);
    if (!p) return 0;
    *p = point;
    // A record filled to its last unit still ends with its terminator.
    p->PosInfo.szName[kCourseNameUnits - 1] = u'\0';
    return 1;
}

int CMgrConfigUIInfoCourse::GetPoint(int slot, _tagUISTRUCT_COURSEPOS* out) const {
    const _tagUISTRUCT_COURSEPOS* p = Slot(slot);
    if (!p || !p->IsValid()) return 0;
    if (out) *out = *p;
    return 1;
}

int CMgrConfigUIInfoCourse::ClearPoint(int slot, int compact) {
    _tagUISTRUCT_COURSEPOS* p = Slot(slot);
    if (!p) return 0;
    *p = _tagUISTRUCT_COURSEPOS();
    if (compact == 1) Compact();
    return 1;
}

int CMgrConfigUIInfoCourse::GetPointName(NvString& out, int slot) const {
    _tagUISTRUCT_COURSEPOS p;
    if (GetPoint(slot, &p)) {
        out.SetString(CoursePosName(p));
    } else {
        out.SetString(std::u16string_view());
    }
    return out.GetLength();
}

int CMgrConfigUIInfoCourse::FindPointByPositionType(int mode, int* index, _tagUISTRUCT_COURSEPOS* out) const {
    const int32_t wanted = mode == 1 ? 1 : 2;
    for (int i = 0; i < kCourseSlots; ++i) {
        const _tagUISTRUCT_COURSEPOS& p = m_body.lCoursePosInfo[i];
        if (p.IsValid() && p.ePositionType == wanted) {
            if (index) *index = i;
            if (out) *out = p;
            return 1;
        }
    }
    return 0;
}

int CMgrConfigUIInfoCourse::GetDestination(_tagUISTRUCT_COURSEPOS* out) const {
    return m_body.bGoalUserPos == 1 ? GetPoint(kCourseSlotGoal, out) : 0;
}

int CMgrConfigUIInfoCourse::ClearViaPoints() {
    const int count = GetPointCount(1);
    for (int i = 0; i < count && i < kCourseSlots; ++i) m_body.lCoursePosInfo[i] = _tagUISTRUCT_COURSEPOS();
    Compact();
    return 1;
}

void CMgrConfigUIInfoCourse::Compact() {
    for (int i = 0; i < kCourseSlots; ++i) {
        if (m_body.lCoursePosInfo[i].IsValid()) continue;
        for (int j = i + 1; j < kCourseSlots; ++j) {
            if (m_body.lCoursePosInfo[j].IsValid()) {
                m_body.lCoursePosInfo[i] = m_body.lCoursePosInfo[j];
                m_body.lCoursePosInfo[j] = _tagUISTRUCT_COURSEPOS();
                break;
            }
        }
    }
}

bool CMgrConfigUIInfoCourse::ShiftUp(int a) {
    const bool fromStart = a == kCourseSlotStart;
    const int first = fromStart ? 0 : a;
    if (first < 0 || (!fromStart && first >= kCourseSlots)) return false;
    // Nothing may fall off the end.
    if (m_body.lCoursePosInfo[kCourseSlots - 1].IsValid()) return false;
    for (int i = kCourseSlots - 2; i >= first; --i) {
        if (m_body.lCoursePosInfo[i].IsValid()) m_body.lCoursePosInfo[i + 1] = m_body.lCoursePosInfo[i];
        m_body.lCoursePosInfo[i] = _tagUISTRUCT_COURSEPOS();
    }
    if (fromStart) {
        m_body.lCoursePosInfo[0] = m_body.lStartPosInfo;
        m_body.lStartPosInfo = _tagUISTRUCT_COURSEPOS();
    }
    return true;
}

int CMgrConfigUIInfoCourse::AddViaPoint(const _tagUISTRUCT_COURSEPOS& point, int append) {
    const int n = GetValidPointCount(0, 1);
    if (n >= kCourseSlots) return -1;
    // Points cleared without compaction would otherwise leave no room at
    // the end.
    Compact();
    int target = 0;
    if (n > 0) {
        const int last = GetLastPointIndex();
        if (append) {
            target = last + 1;
        } else {
            if (!ShiftUp(last)) return -1;
            target = last;
        }
    }
    SetPoint(target, point);
    return target;
}

int CMgrConfigUIInfoCourse::InsertPoint(int slot, const _tagUISTRUCT_COURSEPOS& point) {
    if (slot > kCourseSlotStart || slot < 0) return 0;
    const int n = GetValidPointCount(0, 1);
    if (slot >= n && slot < kCourseSlots) return AddViaPoint(point, 1) != -1 ? 1 : 0;
    if (slot == kCourseSlotStart && !m_body.lStartPosInfo.IsValid()) {
        // No old start to move into the list.
        SetPoint(kCourseSlotStart, point);
        return 1;
    }
    // A full course would push its destination out: refuse and keep it.
    if (n >= kCourseSlots) return 0;
    Compact();
    if (!ShiftUp(slot)) return 0;
    SetPoint(slot, point);
    return 1;
}

int CMgrConfigUIInfoCourse::SwapPoints(int a, int b) {
    if (a < 0 || b < 0 || a >= kCourseSlots || b >= kCourseSlots) return 0;
    if (!m_body.lCoursePosInfo[a].IsValid() || !m_body.lCoursePosInfo[b].IsValid()) return 0;
    std::swap(m_body.lCoursePosInfo[a], m_body.lCoursePosInfo[b]);
    return 1;
}

int CMgrConfigUIInfoCourse::MovePointUp(int slot) {
    const int n = GetValidPointCount(0, 1);
    if (slot < 0 || slot > kCourseSlotStart || (slot >= n && slot < kCourseSlots)) return -1;
    if (slot == 0) return 0;
    if (slot == kCourseSlotStart) return kCourseSlotStart;
    if (slot == kCourseSlotGoal) slot = n - 1;
    return SwapPoints(slot, slot - 1) ? slot - 1 : slot;
}

int CMgrConfigUIInfoCourse::MovePointDown(int slot) {
    const int n = GetValidPointCount(0, 1);
    if (slot < 0 || slot > kCourseSlotStart || (slot >= n && slot < kCourseSlots)) return -1;
    if (slot == kCourseSlotStart || slot == kCourseSlotGoal || slot == GetLastPointIndex()) return slot;
    return SwapPoints(slot, slot + 1) ? slot + 1 : slot;
}

int CMgrConfigUIInfoCourse::RemoveTypedPoints() {
    for (int i = kCourseSlots - 1; i >= 0; --i) {
        _tagUISTRUCT_COURSEPOS& p = m_body.lCoursePosInfo[i];
        if (p.IsValid() && (p.ePositionType == 1 || p.ePositionType == 2)) p = _tagUISTRUCT_COURSEPOS();
    }
    Compact();
    return 1;
}

int CMgrConfigUIInfoCourse::ReverseCourse() {
    const int n = GetValidPointCount(0, 1);
    if (n < 1) {
        DebugTrace(3, "ReverseCourse() Fail!!!\n");
        return 0;
    }
    std::vector<_tagUISTRUCT_COURSEPOS> points;
    for (const auto& p : m_body.lCoursePosInfo) {
        if (p.IsValid()) points.push_back(p);
    }
    const _tagUISTRUCT_COURSEPOS oldStart = m_body.lStartPosInfo;
    m_body.lStartPosInfo = points.back();
    for (auto& slot : m_body.lCoursePosInfo) slot = _tagUISTRUCT_COURSEPOS();
    for (int i = 0; i + 1 < n; ++i) {
        m_body.lCoursePosInfo[i] = points[static_cast<size_t>(n - 2 - i)];
        SwapInterchangeType(m_body.lCoursePosInfo[i]);
    }
    m_body.lCoursePosInfo[n - 1] = oldStart;
    return 1;
}

// ---- current course

CMgrConfigUIInfoCourseCurrent::CMgrConfigUIInfoCourseCurrent() = default;

int CMgrConfigUIInfoCourseCurrent::FindPointAt(int32_t x, int32_t y, int exceptSlot, int checkStart,
                                               int checkGoal) const {
    const int n = GetValidPointCount(0, 1);
    if (checkStart && exceptSlot != kCourseSlotStart && SamePos(m_body.lStartPosInfo, x, y)) return kCourseSlotStart;
    for (int i = 0; i < n - 1; ++i) {
        if (i != exceptSlot && SamePos(m_body.lCoursePosInfo[i], x, y)) return i;
    }
    if (checkGoal && n > 0) {
        const int last = GetLastPointIndex();
        if (exceptSlot != kCourseSlotGoal && exceptSlot != last && SamePos(m_body.lCoursePosInfo[last], x, y)) {
            return last;
        }
    }
    return -1;
}

int CMgrConfigUIInfoCourseCurrent::GetPointTypeAt(int32_t x, int32_t y, int exceptSlot) const {
    const int found = FindPointAt(x, y, exceptSlot, 1, 1);
    if (found == kCourseSlotStart) return kCourseSlotStart;
    if (found < 0) return -1;
    if (found == GetLastPointIndex() && m_body.bGoalUserPos == 1) return kCourseSlotGoal;
    return 0;
}

int CMgrConfigUIInfoCourseCurrent::SetStartPoint(const _tagUISTRUCT_COURSEPOS& point, int userFlag) {
    if (userFlag) m_body.bStartUserPos = 1;
    return SetPoint(kCourseSlotStart, point);
}

int CMgrConfigUIInfoCourseCurrent::SetDestination(const _tagUISTRUCT_COURSEPOS& point) {
    if (m_body.bGoalUserPos == 1) return SetPoint(kCourseSlotGoal, point);
    if (AddViaPoint(point, 1) == -1) return 0;
    m_body.bGoalUserPos = 1;
    return 1;
}

int CMgrConfigUIInfoCourseCurrent::AddWayPoint(const _tagUISTRUCT_COURSEPOS& point) {
    return AddViaPoint(point, m_body.bGoalUserPos != 1 ? 1 : 0) != -1 ? 1 : 0;
}

int CMgrConfigUIInfoCourseCurrent::ClearDestination() {
    if (m_body.bGoalUserPos != 1) return 0;
    ClearPoint(GetLastPointIndex(), 0);
    return 1;
}

int CMgrConfigUIInfoCourseCurrent::ReverseCurrentCourse() {
    if (m_routed.GetValidPointCount(0, 1) < 1) return 0;
    m_nViaIndex = 0;
    AssignFrom(m_routed);
    return ReverseCourse();
}

int CMgrConfigUIInfoCourseCurrent::BackupCourse(int index) {
    if (index < 0 || index > 2) return 0;
    for (int i = 0; i < 2; ++i) {
        if (index == 2 || index == i) {
            m_backups[i].Assign(m_body);
            m_backupUsed[i] = 1;
        }
    }
    if (m_activeBackup == -1) m_activeBackup = index == 2 ? 0 : index;
    return 1;
}

int CMgrConfigUIInfoCourseCurrent::IsBackupUsed(int index) const {
    if (index == 0 || index == 1) return m_backupUsed[index] == 1 ? 1 : 0;
    if (index == 2) return (m_backupUsed[0] == 1 || m_backupUsed[1] == 1) ? 1 : 0;
    return 0;
}

int CMgrConfigUIInfoCourseCurrent::IsSameAsBackup(int index) const {
    if (m_activeBackup == -1) return 1;
    const int which = index == 2 ? m_activeBackup : index;
    if (which != 0 && which != 1) return 0;
    const _tagUISTRUCT_COURSEINFO& b = m_backups[which].Body();
    if (b.bStartUserPos != m_body.bStartUserPos) return 0;
    if (m_body.bStartUserPos == 1 && !(b.lStartPosInfo == m_body.lStartPosInfo)) return 0;
    return std::equal(std::begin(b.lCoursePosInfo), std::end(b.lCoursePosInfo), std::begin(m_body.lCoursePosInfo))
               ? 1
               : 0;
}

int CMgrConfigUIInfoCourseCurrent::RestoreBackup(int index) {
    if (index < 0 || index > 2) return 0;
    const int which = index == 2 ? m_activeBackup : index;
    int restored = 0;
    // A backup never written holds a reset course: restoring it would
    // throw the current course away.
    if ((which == 0 || which == 1) && m_backupUsed[which] == 1) {
        Assign(m_backups[which].Body());
        restored = 1;
    }
    ClearBackup(index);
    return restored;
}

int CMgrConfigUIInfoCourseCurrent::ClearBackup(int index) {
    if (index < 0 || index > 2) return 0;
    m_activeBackup = -1;
    for (int i = 0; i < 2; ++i) {
        if (index == 2 || index == i) {
            m_backups[i].Reset();
            m_backupUsed[i] = 0;
        }
    }
    if (index != 2) {
        for (int i = 0; i < 2; ++i) {
            if (m_backupUsed[i] == 1) {
                m_activeBackup = i;
                break;
            }
        }
    }
    return 1;
}

int CMgrConfigUIInfoCourseCurrent::SaveRoutedDestination() {
    _tagUISTRUCT_COURSEPOS goal;
    if (!m_routed.GetDestination(&goal)) return 0;
    m_savedDestination = goal;
    return 1;
}

int CMgrConfigUIInfoCourseCurrent::GetSavedDestination(_tagUISTRUCT_COURSEPOS* out) const {
    if (!m_savedDestination.IsValid()) return 0;
    if (out) *out = m_savedDestination;
    return 1;
}

// ---- file

namespace {

// Visits every key of the file in file order.
template <typename Visit>
void VisitFileKeys(_tagUISTRUCT_COURSEINFO& current, _tagUISTRUCT_COURSEINFO& routed, int32_t& wizardOption,
                   int32_t& routeType, int32_t& viaIndex, RouteRequest& request, int32_t& drivingDistance,
                   Visit& visit) {
    KeyBuffer keys;
    VisitBodyKeys(keys, u"", current, visit);
    VisitBodyKeys(keys, u"Routed.", routed, visit);
    visit(keys.With(u"m_nResultRouteWizardOption"), KeyField{&wizardOption});
    visit(keys.With(u"m_eRouteType"), KeyField{&routeType});
    visit(keys.With(u"m_nViaIndex"), KeyField{&viaIndex});
    visit(keys.With(u"m_lRPInputData.uRouteMode"), KeyField{nullptr, nullptr, nullptr, &request.uRouteMode});
    visit(keys.With(u"m_lRPInputData.sOption.eGoalType"), KeyField{&request.sOption.eGoalType});
    visit(keys.With(u"m_lRPInputData.sOption.bIsGoalDir"), KeyField{&request.sOption.bIsGoalDir});
    visit(keys.With(u"m_lRPInputData.sOption.bTP"), KeyField{&request.sOption.bTP});
    visit(keys.With(u"m_lRPInputData.sOption.bRTM"), KeyField{&request.sOption.bRTM});
    visit(keys.With(u"m_lRPInputData.sOption.bShortTurn"), KeyField{&request.sOption.bShortTurn});
    visit(keys.With(u"m_lRPInputData.sPref.yHighWay"), KeyField{nullptr, &request.sPref.yHighWay});
    visit(keys.With(u"m_lRPInputData.sPref.yCityHighWay"), KeyField{nullptr, &request.sPref.yCityHighWay});
    visit(keys.With(u"m_lRPInputData.sPref.yTollRoad"), KeyField{nullptr, &request.sPref.yTollRoad});
    visit(keys.With(u"m_lRPInputData.sPref.yLane3"), KeyField{nullptr, &request.sPref.yLane3});
    visit(keys.With(u"m_lRPInputData.sPref.yAlley"), KeyField{nullptr, &request.sPref.yAlley});
    visit(keys.With(u"m_lRPInputData.sPref.yDetourUturn"), KeyField{nullptr, &request.sPref.yDetourUturn});
    visit(keys.With(u"m_lRPInputData.sPref.yDetourLeft"), KeyField{nullptr, &request.sPref.yDetourLeft});
    visit(keys.With(u"m_lRPInputData.routeType"), KeyField{&request.routeType});
    visit(keys.With(u"m_nDrivingDistance"), KeyField{&drivingDistance});
}

}  // namespace

int CMgrConfigUIInfoCourseCurrent::Save(const char16_t* path) {
    int entered = StartSave(path, NV_FILE_COURSE_CURRENT);
    auto put = [&](const std::u16string& key, const KeyField& f) {
        int ok = 1;
        if (f.integer) {
            ok = m_configFile.SetInt(key.c_str(), *f.integer);
        } else if (f.byte) {
            ok = m_configFile.SetInt(key.c_str(), *f.byte);
        } else if (f.word) {
            ok = m_configFile.SetInt(key.c_str(), static_cast<int>(*f.word));
        } else {
            const std::u16string text = NameForFile(NameFieldView(f.name, kCourseNameUnits));
            ok = m_configFile.SetValue(key.c_str(), text.c_str(), kNvConfigTypeString);
        }
        entered &= ok;
    };
    VisitFileKeys(m_body, m_routed.Body(), m_nResultRouteWizardOption, m_eRouteType, m_nViaIndex, m_lRPInputData,
                  m_nDrivingDistance, put);
    return FinishSave(entered);
}

int CMgrConfigUIInfoCourseCurrent::Load(const char16_t* path) {
    const NvString file = FilePathFor(path, NV_FILE_COURSE_CURRENT);
    if (!OpenFile(file, path == nullptr)) return 0;
    Reset();
    int version = 0;
    m_configFile.GetInt(u"nVersion", &version, 1);
    auto get = [&](const std::u16string& key, const KeyField& f) {
        if (f.name) {
            NvString text;
            if (m_configFile.GetString(key.c_str(), text, 1)) CopyNameField(f.name, kCourseNameUnits, text.View());
            return;
        }
        int value = 0;
        if (!m_configFile.GetInt(key.c_str(), &value, 1)) return;
        if (f.integer) {
            *f.integer = value;
        } else if (f.byte) {
            *f.byte = static_cast<uint8_t>(value);
        } else if (f.word) {
            *f.word = static_cast<uint32_t>(value);
        }
    };
    VisitFileKeys(m_body, m_routed.Body(), m_nResultRouteWizardOption, m_eRouteType, m_nViaIndex, m_lRPInputData,
                  m_nDrivingDistance, get);
    // A file from an older version, lacking keys, is written again
    // complete.
    return FinishLoad();
}
