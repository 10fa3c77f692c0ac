#pragma once
// The road by which a place the driver picked on a search or selection
// screen becomes part of the current course (destination with an immediate
// route search, via point, or replacement of the slot being edited), the
// short texts list screens show under a place, and two small classifiers.
// Main thread, from screen event handlers.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "foundation/coords.h"
#include "settings/course_current.h"

struct SearchResult;

// The chosen place, handed over by value.
struct CoursePointChoice {
    MapPoint position;
    char16_t name[kCourseNameUnits] = {};
    int32_t mode = 0;  // 0 destination, 1 via point, 2 replace the slot being edited
    int32_t positionType = 0;
    int32_t regionCheck = 0;
};
inline constexpr int32_t kChoiceDestination = 0;
inline constexpr int32_t kChoiceViaPoint = 1;
inline constexpr int32_t kChoiceReplaceSlot = 2;

// Which course slot the route screens are working on, kept beside the
// current course: the slot being edited (17 destination, 18 start, else a
// via index), the slot for a new via point (17: before the destination),
// the slot of the last added via point and whether a via point was added.
struct CourseEditSlots {
    int32_t editedSlot = kCourseSlotGoal;
    int32_t newViaSlot = kCourseSlotGoal;
    int32_t lastAddedViaSlot = -1;
    int32_t viaPointAdded = 0;
};
CourseEditSlots& CourseEditState();

// Chapter events these helpers post.
inline constexpr int kEventRouteNow = 12;
inline constexpr int kEventCourseChanged = 16;

int SetSearchResultAsCoursePoint(const CoursePointChoice& choice);
// 1 when no course point other than skipSlot (-1: none) lies at (x, y);
// otherwise says so in a message box and returns 0.
int CheckPointIsFree(int32_t x, int32_t y, int skipSlot);

// "현위치에서 1.2km (031)123-4567\n second text".
int FormatDistanceAndPhone(const SearchResult& result, std::u16string& out);
// "name\r[850m]" or "name\r[1.2km]": kind 8 shows firstText, other kinds
// the course-point name.
int FormatPointNameWithDistance(int kind, std::u16string_view firstText, std::u16string_view coursePointName,
                                int32_t distanceM, std::u16string& out);
// "코스 길이 : 12.3km": the straight distances between consecutive points.
int FormatCourseLength(const MapPoint* points, int count, std::u16string& out);
// 1..4 for area codes of 2, 4, 6 or 8 digits; -1 otherwise.
int GetAddressCodeLevel(int32_t code);
// Fills the leading bytes of a route-point record (see the .cpp); null does nothing.
void InitRoutePointRecord(uint8_t* record, int32_t x, int32_t y, int16_t a, int16_t b, int16_t c);
inline constexpr size_t kRoutePointRecordHeadBytes = 24;

// A place whose coordinates may stand off the road network.
struct AdjacentPlace {
    int32_t coordinateFlag = 0;  // 2: coordinates to be looked up near the place
    MapPoint position;
    std::u16string name;
};
// The map database's look-up of a place of the same name near a point.
using AdjacentLookup = std::function<int(const MapPoint& near, std::u16string_view name, MapPoint* out)>;
void SetAdjacentLookup(AdjacentLookup lookup);
int FindAdjacentCoordinates(const AdjacentPlace& place, MapPoint* out);
