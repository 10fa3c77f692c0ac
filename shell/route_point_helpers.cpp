#include "shell/route_point_helpers.h"

#include <algorithm>
#include <cstdio>

#include "foundation/debug_trace.h"
#include "mapdb/mgr_map.h"
#include "platform/byte_cursor.h"
#include "search/search_records.h"
#include "shell/ui_format.h"
#include "shell/ui_utils.h"
#include "uikit/message_box.h"

namespace {

constexpr uint16_t kQuestionTimeoutMs = 5000;
constexpr int32_t kMessageBoxScript = 779;

const char16_t kSamePointText[] =
    u"지정하신 지점이 설정되어 있는\\n다른 지점과 같은 위치입니다.\\n동일한 지점은 선택하실 수 없습니다.";
const char16_t kSameAsStartText[] =
    u"지정하신 지점이 설정되어 있는\\n출발지와 같은 위치입니다.\\n 동일한 지점은 선택하실 수 없습니다.";
const char16_t kKeepViaText[] = u"기존 경유지를 포함하여\\n 경로탐색 하시겠습니까?";

int Tell(const char16_t* text) {
    return NvShowMessageBox(kMessageBoxScript, text, 1, u"확인", nullptr, nullptr, kQuestionTimeoutMs, 0);
}

_tagUISTRUCT_COURSEPOS CoursePosOf(const CoursePointChoice& choice) {
    _tagUISTRUCT_COURSEPOS pos;
    pos.ePositionType = choice.positionType;
    pos.eRegionCheck = choice.regionCheck;
    pos.PosInfo.wcPosition = choice.position;
    for (int i = 0; i < kCourseNameUnits - 1 && choice.name[i]; ++i) pos.PosInfo.szName[i] = choice.name[i];
    return pos;
}

AdjacentLookup& Lookup() {
    static AdjacentLookup lookup;
    return lookup;
}

}  // namespace

CourseEditSlots& CourseEditState() {
    static CourseEditSlots state;
    return state;
}

int CheckPointIsFree(int32_t x, int32_t y, int skipSlot) {
    if (CMgrConfigUIInfoCourseCurrent::Instance()->GetPointTypeAt(x, y, skipSlot) == -1) return 1;
    Tell(kSamePointText);
    return 0;
}

int SetSearchResultAsCoursePoint(const CoursePointChoice& choice) {
    CMgrConfigUIInfoCourseCurrent* course = CMgrConfigUIInfoCourseCurrent::Instance();
    CourseEditSlots& slots = CourseEditState();
    const _tagUISTRUCT_COURSEPOS pos = CoursePosOf(choice);
    const int32_t x = choice.position.x, y = choice.position.y;
    switch (choice.mode) {
        case kChoiceDestination: {
            if (course->GetPointTypeAt(x, y, -1) == kCourseSlotStart) {
                Tell(kSameAsStartText);
                return 0;
            }
            course->m_eRouteType = CMgrConfigUIInfoCourseCurrent::kRouteTypeNewGoal;
            if (course->GetPointCount(1) > 0) {
                const int answer = NvShowMessageBox(kMessageBoxScript, kKeepViaText, 2, u"예", u"아니요", nullptr,
                                                    kQuestionTimeoutMs, 0);
                if (answer == 1) {
                    if (!CheckPointIsFree(x, y, -1)) return 0;
                    course->m_eRouteType = CMgrConfigUIInfoCourseCurrent::kRouteTypeNewGoalKeepVia;
                }
            }
            course->SetDestination(pos);
            PostChapterEventFromUi(kEventRouteNow);
            return 1;
        }
        case kChoiceViaPoint: {
            if (!CheckPointIsFree(x, y, -1)) return 0;
            if (slots.newViaSlot == kCourseSlotGoal) {
                const int added = course->AddViaPoint(pos, 1);
                if (added < 0) return 0;  // a full course takes no further point
                slots.lastAddedViaSlot = added;
            } else {
                if (!course->InsertPoint(slots.newViaSlot, pos)) return 0;
                slots.lastAddedViaSlot = slots.newViaSlot;
            }
            slots.viaPointAdded = 1;
            PostChapterEventFromUi(kEventCourseChanged);
            return 1;
        }
        case kChoiceReplaceSlot: {
            const int s = slots.editedSlot;
            if (!CheckPointIsFree(x, y, s)) return 0;
            if (s == kCourseSlotStart) course->SetStartPoint(pos, 1);
            else if (s == kCourseSlotGoal) course->SetDestination(pos);
            else if (!course->SetPoint(s, pos)) return 0;
            PostChapterEventFromUi(kEventCourseChanged);
            return 1;
        }
        default:
            return 0;
    }
}

int FormatDistanceAndPhone(const SearchResult& result, std::u16string& out) {
    const int32_t distance = static_cast<int32_t>(std::min<uint32_t>(result.nDistance, INT32_MAX));
    out = distance >= 1000 ? FormatWide("현위치에서 %.1fkm", distance / 1000.0) : FormatWide("현위치에서 %dm", distance);
    if (result.wTelArea != 0 && result.uTelNumber != 0)
        out += u" " + FormatWide("(0%d)%03d-%04d", result.wTelArea, static_cast<int>(result.uTelNumber / 10000),
                                 static_cast<int>(result.uTelNumber % 10000));
    const std::u16string_view name(result.szName, std::char_traits<char16_t>::length(result.szName));
    const std::u16string_view second(result.szName2, std::char_traits<char16_t>::length(result.szName2));
    if (!second.empty() && second != name) {
        out += u"\\n";
        out += second;
    }
    return 1;
}

int FormatPointNameWithDistance(int kind, std::u16string_view firstText, std::u16string_view coursePointName,
                                int32_t distanceM, std::u16string& out) {
    out = kind == 8 ? std::u16string(firstText) : std::u16string(coursePointName);
    out += distanceM < 1000 ? FormatWide("\\r[%dm]", distanceM) : FormatWide("\\r[%.1fkm]", distanceM / 1000.0);
    return 1;
}

int FormatCourseLength(const MapPoint* points, int count, std::u16string& out) {
    int64_t sum = 0;
    for (int i = 1; points && i < count; ++i) sum += static_cast<int64_t>(GetDistanceUTM(points[i - 1], points[i]));
    out = sum >= 1000 ? FormatWide("코스 길이 : %.1fkm", sum / 1000.0)
                      : FormatWide("코스 길이 : %d", static_cast<int>(sum)) + u"m";
    return 1;
}

int GetAddressCodeLevel(int32_t code) {
    if (code >= 1 && code <= 98) return 1;
    if (code >= 1001 && code <= 9998) return 2;
    if (code >= 100001 && code <= 999998) return 3;
    if (code >= 10000001 && code <= 99999998) return 4;
    return -1;
}

// The record's head: flag bytes 0..7 (0 := 1, 2 and 3 := 0, 4 and 7 := 1,
// the others kept), the 16-bit values c, a, b at 8, 10 and 12, and the
// position x, y as 32-bit values at 16 and 20 (the usual alignment).
void InitRoutePointRecord(uint8_t* record, int32_t x, int32_t y, int16_t a, int16_t b, int16_t c) {
    if (!record) return;
    record[0] = 1;
    record[2] = 0;
    record[3] = 0;
    record[4] = 1;
    record[7] = 1;
    platform::ByteWriter head;
    head.I16(c);
    head.I16(a);
    head.I16(b);
    head.I16(0);  // the padding before the position
    head.I32(x);
    head.I32(y);
    std::copy(head.Data().begin(), head.Data().end(), record + 8);
}

void SetAdjacentLookup(AdjacentLookup lookup) { Lookup() = std::move(lookup); }

int FindAdjacentCoordinates(const AdjacentPlace& place, MapPoint* out) {
    if (place.coordinateFlag != 2) {
        DebugTrace(1, "\n $$$$$$$$ 좌표 플래그 존재하지 않음. \n\r");
        return 0;
    }
    MapPoint found;
    int ok = 0;
    if (Lookup()) ok = Lookup()(place.position, place.name, &found);
    else ok = CMgrMap::Instance()->SnapToNamedRoad(place.position, place.name, &found);
    if (ok == 1) {
        if (out) *out = found;
        DebugTrace(1, "\n ########## success: adjacent coordinates !!! \n\r");
        return 1;
    }
    DebugTrace(1, "\n ########## failed: adjacent coordinates !!! \n\r");
    return 0;
}
