#pragma once
// CMgrConfigUIInfo: the parameters one screen hands to the next. The screen
// that opens another writes a field here, the opened screen reads it (most
// hand-over fields are read once and cleared by the reader). Nothing here
// is saved.
//
// Most fields are plain slots whose meaning the screens exchanging them
// define; this object fixes their initial values and the few operations
// that do more than store a value: the search request reset, the reset of
// the three user-data edit records, the traffic screens' fields and up to
// 16 external positions that another program sends for display on the map.
//
// Threads: the screens use every field on the main thread, without a lock.
// Only the external positions are read on the draw thread; they are kept
// under the object's lock.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "foundation/coords.h"
#include "foundation/nv_string.h"
#include "foundation/singleton.h"
#include "foundation/thread_annotations.h"
#include "settings/course_current.h"
#include "settings/my_theme.h"
#include "settings/reg_dest.h"
#include "settings/user_safe_dest.h"

// The dialogs hand their edit records on whole, by size.
static_assert(sizeof(_tagUISTRUCT_REGDEST) == 232);
static_assert(sizeof(_tagUISTRUCT_MYTHEME) == 156);
static_assert(sizeof(_tagUISTRUCT_USERSAFEDEST) == 176);

// The search request a screen hands to the search screens (152 bytes). The
// search screens define its fields; a reset sets the first two to 1 and 13.
struct UISearchRequest {
    int32_t nWord0 = 1;
    int32_t nWord1 = 13;
    uint8_t abRest[144] = {};
};
static_assert(sizeof(UISearchRequest) == 152);

// One traffic section as the traffic screens hand it on (104 bytes, laid
// out by the traffic screens).
struct UITrafficSection {
    uint8_t abData[104] = {};
};
static_assert(sizeof(UITrafficSection) == 104);

// External positions: another program sends 16 entries of 24 bytes (a
// 32-bit valid flag, 4 unused bytes, then longitude and latitude as 64-bit
// floating point in the form degrees x 100 + minutes, DDDMM.mmmm); the map
// shows the valid ones in map units.
inline constexpr int kUIExternalPosCount = 16;
inline constexpr size_t kUIExternalPosSourceEntryBytes = 24;
inline constexpr size_t kUIExternalPosSourceBytes = kUIExternalPosCount * kUIExternalPosSourceEntryBytes;

struct UIExternalPosSource {
    int32_t nValid = 0;  // 1: the entry holds a position
    int32_t nUnused = 0;
    double dLongitude = 0.0;  // DDDMM.mmmm
    double dLatitude = 0.0;
};
static_assert(sizeof(UIExternalPosSource) == kUIExternalPosSourceEntryBytes);

struct UIExternalPos {
    int32_t nValid = 0;
    int32_t x = 0;  // map units (1/524288 degree)
    int32_t y = 0;
    friend bool operator==(const UIExternalPos&, const UIExternalPos&) = default;
};
static_assert(sizeof(UIExternalPos) * kUIExternalPosCount == 192);

// A DDDMM.mmmm value in map units: whole degrees are the integer part / 100,
// the rest are minutes. 0 for a value that is not finite or whose map units
// do not fit 32 bits.
int DegreeMinutesToMapUnits(double value, int32_t& units);

class CMgrConfigUIInfo : public MgrSingletonT<CMgrConfigUIInfo> {
public:
    CMgrConfigUIInfo();
    ~CMgrConfigUIInfo() override = default;
    CMgrConfigUIInfo(const CMgrConfigUIInfo&) = delete;
    CMgrConfigUIInfo& operator=(const CMgrConfigUIInfo&) = delete;

    // Zeroes the search request, then its first two fields become 1 and 13.
    void ResetSearchRequest();
    // Resets the registered-place, theme-place and safety-point edit
    // records through their stores' own resets. The shell calls it once at
    // start.
    void ResetEditRecords();

    // ---- traffic screens
    void SetTrafficSection(const UITrafficSection& section) { m_trafficSection = section; }
    void GetTrafficSection(UITrafficSection* out) const {
        if (out) *out = m_trafficSection;
    }
    void SetTrafficSectionName(const NvString& name) { m_trafficSectionName = name; }
    void GetTrafficSectionName(NvString& out) const { out = m_trafficSectionName; }
    // The section group chosen on the traffic menu (301000..305000 by
    // button, 100000 from the list screen).
    void SetTrafficGroupCode(int32_t code) { m_trafficGroupCode = code; }
    int32_t GetTrafficGroupCode(int32_t* out = nullptr) const {
        if (out) *out = m_trafficGroupCode;
        return m_trafficGroupCode;
    }
    // The traffic list screen's list object, for the screens it opens (not
    // owned here).
    void SetTrafficListObject(void* object) { m_trafficListObject = object; }
    void* GetTrafficListObject(void** out = nullptr) const {
        if (out) *out = m_trafficListObject;
        return m_trafficListObject;
    }
    // The traffic screen's link list object, for the next screen (not owned
    // here).
    void SetTrafficLinkSource(void* object) { m_trafficLinkSource = object; }
    void* GetTrafficLinkSource(void** out = nullptr) const {
        if (out) *out = m_trafficLinkSource;
        return m_trafficLinkSource;
    }
    // The page (1..7) of the traffic image screens; the screens set it back
    // to 1 when it is out of range.
    int32_t SetTrafficTab(int32_t tab) { return m_trafficTab = tab; }
    int32_t GetTrafficTab() const { return m_trafficTab; }
    void SetTrafficWord(int32_t word) { m_trafficWord = word; }
    int32_t GetTrafficWord() const { return m_trafficWord; }

    // ---- route sections to avoid (route request type 6)
    // Keeps a copy of the link ids the user picked; a null list or a count
    // of 0 or less clears it.
    void SetAvoidLinks(const int32_t* linkIds, int count);
    int GetAvoidLinkCount() const { return static_cast<int>(m_avoidLinkIds.size()); }
    const int32_t* GetAvoidLinks() const { return m_avoidLinkIds.empty() ? nullptr : m_avoidLinkIds.data(); }

    // ---- external positions
    // Takes the 16 entries another program sent: every entry with flag 1
    // becomes {1, x, y} in map units and is counted, every other {0, 0, 0}.
    // 0 (and no positions) when there are no entries, else 1.
    int SetExternalPositions(const UIExternalPosSource* entries);
    // The same from the bytes as sent (384 bytes, little-endian); fewer
    // bytes count as no entries.
    int SetExternalPositionsFromBytes(const uint8_t* bytes, size_t size);
    // 0 when no position is held; otherwise copies the 16 entries (192
    // bytes) and returns the number of valid ones.
    int GetExternalPositions(UIExternalPos* out);

    // ---- plain slots, in the order the screens know them
    int32_t m_nSelectIndex = -1;
    _tagUISTRUCT_COURSEPOS m_CoursePos{};
    UISearchRequest m_SearchRequest;
    uint8_t m_abArea16[16] = {};
    int32_t m_nWordsA[3] = {1, 0, 2};
    NvString m_strTextA;
    int32_t m_nWordsB[6] = {0, 0, 0, 1, 0, 3};
    NvString m_strTextB;
    int32_t m_nWordC = 0;
    // The edit records of the place, theme-place and safety-point dialogs,
    // each with the list position of the record being changed.
    _tagUISTRUCT_REGDEST PendingRegDest{};
    int32_t PendingRegDestIndex = 0;
    _tagUISTRUCT_MYTHEME PendingMyTheme{};
    int32_t PendingMyThemeIndex = 0;
    _tagUISTRUCT_USERSAFEDEST PendingSafeDest{};
    int32_t PendingSafeDestIndex = 0;
    // Stored index of the folder to change; -1 a new folder.
    int32_t EditFolderIndex = -1;
    // A course body handed to the course screens; all zeros when none.
    _tagUISTRUCT_COURSEINFO PendingCourse{};
    int32_t m_nWordsD[7] = {0, 0, 0, -1, 0, -1, -1};
    uint8_t m_abLinkArea[48] = {};
    uint8_t m_abArea28[28] = {};
    int32_t m_nWordsE[3] = {};
    uint8_t m_abArea128[128] = {};
    int32_t m_nWordsF[3] = {};
    uint8_t m_abResultRow[188] = {};
    uint8_t m_abArea256A[256] = {};
    uint8_t m_abArea256B[256] = {};
    uint8_t m_abArea40[40] = {};
    uint8_t m_abArea140[140] = {};

private:
    std::vector<int32_t> m_avoidLinkIds;

    void* m_trafficListObject = nullptr;
    void* m_trafficLinkSource = nullptr;
    UITrafficSection m_trafficSection;
    NvString m_trafficSectionName;
    int32_t m_trafficGroupCode = 0;
    int32_t m_trafficTab = 0;
    int32_t m_trafficWord = 0;

    int32_t m_externalCount NAVI_GUARDED_BY(m_lock) = 0;
    UIExternalPos m_externalPos[kUIExternalPosCount] NAVI_GUARDED_BY(m_lock) = {};
};
