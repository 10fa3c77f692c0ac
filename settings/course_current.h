#pragma once
// The course the user asks the route planner for: a start point, up to 17
// further points (via points and, last, the destination) and the route
// options. CMgrConfigUIInfoCourse holds one course body and its point
// operations; CMgrConfigUIInfoCourseCurrent is the program's current
// course with the routed course, the route request of the route in use,
// two backups and a saved destination, kept in "\CourseCurrent.idt" in the
// route folder.
//
// Point slots: 0..16 address a slot, 17 the last valid slot (the
// destination), 18 the start point. A point is valid when its x and y are
// both non-zero; a zeroed record is an empty slot.
//
// Threads: the screens use the course on the main thread only, without the
// object's lock. The draw thread reads the saved destination and the via
// index, whole records written by the main thread.
#include <cstdint>

#include "foundation/coords.h"
#include "foundation/nv_config.h"
#include "foundation/nv_string.h"
#include "foundation/singleton.h"
#include "settings/route_point_set.h"
#include "settings/user_data_base.h"

inline constexpr int kCourseSlots = 17;
inline constexpr int kCourseSlotGoal = 17;
inline constexpr int kCourseSlotStart = 18;
inline constexpr int kCourseNameUnits = 65;  // 64 characters and the terminator
inline constexpr int32_t kUserDataFileVersion = 841887792;

struct _tagUISTRUCT_POSINFO {
    MapPoint wcPosition;
    char16_t szName[kCourseNameUnits] = {};
};

// One course point (also the record of the recent destinations and the
// other place stores).
struct _tagUISTRUCT_COURSEPOS {
    // 1 and 2: the motorway interchanges the user chose for the route (the
    // one entering and the one leaving the motorway).
    int32_t ePositionType = 0;
    int32_t eRegionCheck = 0;
    _tagUISTRUCT_POSINFO PosInfo;

    bool IsValid() const { return PosInfo.wcPosition.x != 0 && PosInfo.wcPosition.y != 0; }
    // Every field and every unit of the name field.
    friend bool operator==(const _tagUISTRUCT_COURSEPOS& a, const _tagUISTRUCT_COURSEPOS& b);
};
static_assert(sizeof(_tagUISTRUCT_COURSEPOS) == 148);

// A course point at a position with a name (cut to 64 characters).
_tagUISTRUCT_COURSEPOS MakeCoursePos(int32_t x, int32_t y, std::u16string_view name, int32_t positionType = 0,
                                     int32_t regionCheck = 0);
std::u16string_view CoursePosName(const _tagUISTRUCT_COURSEPOS& pos);

// The course body, always copied whole.
struct _tagUISTRUCT_COURSEINFO {
    _tagUISTRUCT_COURSEPOS lStartPosInfo;
    _tagUISTRUCT_COURSEPOS lCoursePosInfo[kCourseSlots];
    int32_t eRouteOption = 0;
    int32_t bRouteWithPeloxWizard = 0;
    int32_t bRouteWithTPEG = 0;
    int32_t bStartUserPos = 0;
    int32_t bGoalUserPos = 0;
    // Name of a saved course; the current course leaves it empty.
    char16_t szName[kCourseNameUnits] = {};

    friend bool operator==(const _tagUISTRUCT_COURSEINFO& a, const _tagUISTRUCT_COURSEINFO& b);
};
static_assert(sizeof(_tagUISTRUCT_COURSEINFO) == 2816);

// The route options a reset course starts with (the UI settings'
// "eDefaultRouteOption", "bRouteWithPeloxWizard" and "bRouteWithTPEG").
struct CourseDefaults {
    int32_t eRouteOption = 1;
    int32_t bRouteWithPeloxWizard = 0;
    int32_t bRouteWithTPEG = 1;
};
using CourseDefaultsSource = CourseDefaults (*)();
// Where Reset takes its defaults from; null restores the UI settings
// (their object is made, and loads its files, on the first reset).
void SetCourseDefaultsSource(CourseDefaultsSource source);
CourseDefaults GetCourseDefaults();

class CMgrConfigUIInfoCourse {
public:
    CMgrConfigUIInfoCourse() { Reset(); }
    virtual ~CMgrConfigUIInfoCourse() = default;
    CMgrConfigUIInfoCourse(const CMgrConfigUIInfoCourse&) = default;
    CMgrConfigUIInfoCourse& operator=(const CMgrConfigUIInfoCourse&) = default;

    // Zeroes the body and takes the route options from the defaults.
    void Reset();
    void Assign(const _tagUISTRUCT_COURSEINFO& body) { m_body = body; }
    void SetCourse(_tagUISTRUCT_COURSEINFO body) { m_body = body; }
    void AssignFrom(const CMgrConfigUIInfoCourse& course) { m_body = course.m_body; }
    void CopyCourseTo(_tagUISTRUCT_COURSEINFO* out) const {
        if (out) *out = m_body;
    }
    const _tagUISTRUCT_COURSEINFO& Body() const { return m_body; }
    _tagUISTRUCT_COURSEINFO& Body() { return m_body; }

    int GetValidPointCount(int withStart, int withGoal) const;
    int GetFreePointCount(int withStart, int withGoal) const;
    // Mode 1: the number of via points; any other mode:
    // GetValidPointCount (0, 0).
    int GetPointCount(int mode) const;
    int GetLastPointIndex() const;

    // 1; 0 for a slot outside 0..18.
    int SetPoint(int slot, const _tagUISTRUCT_COURSEPOS& point);
    // 1 (and a copy unless out is null) when the addressed point is valid.
    int GetPoint(int slot, _tagUISTRUCT_COURSEPOS* out) const;
    // Zeroes the slot; compact = 1 then closes the gaps. 1; 0 for a slot
    // outside 0..18.
    int ClearPoint(int slot, int compact);
    // The point's name, empty for an empty point. Returns out's length.
    int GetPointName(NvString& out, int slot) const;
    // First valid slot of type 1 (mode 1) or 2 (any other mode).
    int FindPointByPositionType(int mode, int* index, _tagUISTRUCT_COURSEPOS* out) const;
    int GetStartPoint(_tagUISTRUCT_COURSEPOS* out) const { return GetPoint(kCourseSlotStart, out); }
    int ClearStartPoint() { return ClearPoint(kCourseSlotStart, 0); }
    int GetDestination(_tagUISTRUCT_COURSEPOS* out) const;
    int ClearViaPoints();
    // Adds before the destination (append 0) or at the end (append 1).
    // The new slot, or -1 when the course holds 17 points.
    int AddViaPoint(const _tagUISTRUCT_COURSEPOS& point, int append);
    // Inserts at a slot (18: the point becomes the start and the old start
    // the first point). 1, or 0 when refused: a slot above 18 or 17, or a
    // course whose 17 points leave no room (nothing is pushed out).
    int InsertPoint(int slot, const _tagUISTRUCT_COURSEPOS& point);
    int SwapPoints(int a, int b);
    int MovePointUp(int slot);
    int MovePointDown(int slot);
    // Removes the interchange points (types 1 and 2). Returns 1.
    int RemoveTypedPoints();
    // Destination becomes the start, the start the destination, via
    // points in reverse order with the interchange types exchanged.
    int ReverseCourse();

protected:
    _tagUISTRUCT_COURSEPOS* Slot(int slot);
    const _tagUISTRUCT_COURSEPOS* Slot(int slot) const;
    int CountValidSlots() const;
    void Compact();
    // Moves the points from slot a on up one slot (a = 18: the start
    // becomes slot 0). False for a slot outside 0..16 and 18, and when the
    // last slot is in use.
    bool ShiftUp(int a);

    _tagUISTRUCT_COURSEINFO m_body;
};

class CMgrConfigUIInfoCourseCurrent : public CMgrConfigUIInfoCourse,
                                      public CMgrConfigUIDataBase,
                                      public MgrSingletonT<CMgrConfigUIInfoCourseCurrent> {
public:
    // Route request types (m_eRouteType).
    static constexpr int32_t kRouteTypeNone = 0;
    static constexpr int32_t kRouteTypeNewGoal = 2;
    static constexpr int32_t kRouteTypeNewGoalKeepVia = 3;
    static constexpr int32_t kRouteTypeWholeCourse = 4;
    static constexpr int32_t kRouteTypeFromHereA = 5;
    static constexpr int32_t kRouteTypeSections = 6;
    static constexpr int32_t kRouteTypeReRoute = 7;
    static constexpr int32_t kRouteTypeFromHereB = 8;
    static constexpr int32_t kRouteTypeReverse = 9;
    static constexpr int32_t kRouteTypeMenu = 10;

    CMgrConfigUIInfoCourseCurrent();
    ~CMgrConfigUIInfoCourseCurrent() override = default;

    // Slot of a point at (x, y): 18 the start, a via slot, the last slot;
    // -1 when none. exceptSlot is skipped.
    int FindPointAt(int32_t x, int32_t y, int exceptSlot, int checkStart, int checkGoal) const;
    // 18 the start, 17 the destination, 0 a via point, -1 nothing there.
    int GetPointTypeAt(int32_t x, int32_t y, int exceptSlot) const;
    int SetStartPoint(const _tagUISTRUCT_COURSEPOS& point, int userFlag);
    int SetDestination(const _tagUISTRUCT_COURSEPOS& point);
    int AddWayPoint(const _tagUISTRUCT_COURSEPOS& point);
    // Clears the destination; the last remaining point becomes it.
    int ClearDestination();
    int ReverseCurrentCourse();

    void ResetViaIndex() { m_nViaIndex = 0; }
    void IncrementViaIndex() { ++m_nViaIndex; }
    int32_t GetViaIndex() const { return m_nViaIndex; }

    int BackupCourse(int index);
    int IsBackupUsed(int index) const;
    int IsSameAsBackup(int index) const;
    // Restores a used backup (2: the active one) and clears it. 1 when a
    // course was restored; an unused backup leaves the course as it is.
    int RestoreBackup(int index);
    int ClearBackup(int index);
    int GetActiveBackup() const { return m_activeBackup; }
    const CMgrConfigUIInfoCourse& GetBackup(int index) const { return m_backups[index == 1 ? 1 : 0]; }

    int SaveRoutedDestination();
    int GetSavedDestination(_tagUISTRUCT_COURSEPOS* out) const;
    void ClearSavedDestination() { m_savedDestination = _tagUISTRUCT_COURSEPOS(); }

    // The file "\CourseCurrent.idt" (null: the one in the route folder).
    int Save(const char16_t* path) override;
    int Load(const char16_t* path) override;

    CMgrConfigUIInfoCourse& GetRoutedCourse() { return m_routed; }
    const CMgrConfigUIInfoCourse& GetRoutedCourse() const { return m_routed; }
    // The route request of the route in use.
    void SetRouteRequest(const RouteParamInput& request) { m_lRPInputData = DecodeRouteRequest(request); }
    RouteParamInput GetRouteRequest() const { return EncodeRouteRequest(m_lRPInputData); }
    RouteRequest& RouteRequestData() { return m_lRPInputData; }
    const RouteRequest& RouteRequestData() const { return m_lRPInputData; }

    int32_t m_nResultRouteWizardOption = 0;
    int32_t m_eRouteType = kRouteTypeNewGoal;
    int32_t m_nViaIndex = 0;
    int32_t m_nDrivingDistance = 0;

private:
    CMgrConfigUIInfoCourse m_routed;
    RouteRequest m_lRPInputData;
    CMgrConfigUIInfoCourse m_backups[2];
    int32_t m_backupUsed[2] = {0, 0};
    int32_t m_activeBackup = -1;
    _tagUISTRUCT_COURSEPOS m_savedDestination;
};
