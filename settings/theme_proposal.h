#pragma once
// Proposals of theme places while the driver is under way: the drive
// screen's periodic check asks for one place of the theme category chosen in
// the UI settings near the current position and shows it in a pop-up. A
// place is not proposed again within ten minutes, the choice varies at
// random among the places found, and the search engine is asked at most once
// every 20 seconds.
#include <cstdint>
#include <functional>

#include "foundation/coords.h"
#include "foundation/singleton.h"
#include "foundation/thread_annotations.h"

class CMgrConfigUISetting;

// One row of the search engine's theme-around search (12 bytes): a value
// the search engine gives the place, its id and its kind.
struct ThemeAroundRow {
    int32_t value = 0;
    int32_t placeId = 0;
    uint8_t kind = 0;
};
static_assert(sizeof(ThemeAroundRow) == 12);

// What the proposals need of the search module: the theme places of a
// category within radius (map units of the search engine) of a point, at
// most maxRows of them written to rows. Returns their number; 0 or less
// when there are none. The search module implements it and hands itself to
// CMgrConfigActiveTheme::SetThemeSearchSource when it starts.
class ThemeAroundSource {
public:
    virtual ~ThemeAroundSource() = default;
    virtual int SearchThemeAround(int32_t x, int32_t y, int32_t radius, int32_t themeCate, int maxRows,
                                  ThemeAroundRow* rows) = 0;
};

class CMgrConfigActiveTheme : public MgrSingletonT<CMgrConfigActiveTheme> {
public:
    static constexpr int kRecentSlots = 200;
    static constexpr int kMaxRows = 100;
    static constexpr int32_t kSearchRadius = 1000;
    // A proposed place rests this long before it may come again.
    static constexpr uint64_t kRepeatQuietSec = 600;
    // The search engine is asked at most once in this span.
    static constexpr uint64_t kSearchIntervalMs = 20000;
    // UI setting "eAutoThemePopup" values that switch the proposals off.
    static constexpr int32_t kPopupOffFirst = 2;
    static constexpr int32_t kPopupOffLast = 3;

    // Takes the UI settings object and the search module registered with
    // SetThemeSearchSource, once.
    CMgrConfigActiveTheme();
    // With a given UI settings object and search module (null: none, so
    // nothing is ever proposed).
    CMgrConfigActiveTheme(CMgrConfigUISetting* uiSetting, ThemeAroundSource* search);
    ~CMgrConfigActiveTheme() override = default;

    // The search module the next constructed object takes (null: none).
    static void SetThemeSearchSource(ThemeAroundSource* source);

    // 1 with the chosen place's id and value, or 0 when nothing is
    // proposed.
    int ProposeTheme(const MapPoint& position, int32_t* placeId, int32_t* value);

    // The random numbers that pick the first row tried (tests make them
    // predictable); an empty function restores the object's own generator.
    void SetRandomSource(std::function<uint32_t()> random);

private:
    struct RecentSlot {
        bool used = false;
        uint64_t timeSec = 0;  // seconds of the 64-bit tick
        int32_t placeId = 0;
    };

    bool IsRecent(int32_t placeId) const NAVI_REQUIRES(m_lock);
    void Remember(int32_t placeId, uint64_t nowSec) NAVI_REQUIRES(m_lock);
    uint32_t NextRandom() NAVI_REQUIRES(m_lock);

    CMgrConfigUISetting* const m_uiSetting;
    ThemeAroundSource* const m_search;

    RecentSlot m_recent[kRecentSlots] NAVI_GUARDED_BY(m_lock);
    ThemeAroundRow m_rows[kMaxRows] NAVI_GUARDED_BY(m_lock);
    // The 64-bit tick keeps this comparison sound when the 32-bit tick
    // wraps after 49.7 days.
    uint64_t m_earliestSearchTickMs NAVI_GUARDED_BY(m_lock) = 0;
    std::function<uint32_t()> m_random NAVI_GUARDED_BY(m_lock);
    uint32_t m_randomState NAVI_GUARDED_BY(m_lock) = 0;
};
