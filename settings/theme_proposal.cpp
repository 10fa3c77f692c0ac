#include "settings/theme_proposal.h"

#include <algorithm>
#include <atomic>

#include "platform/clock.h"
#include "settings/ui_setting.h"

namespace {

std::atomic<ThemeAroundSource*> g_themeSearch{nullptr};

}  // namespace

CMgrConfigActiveTheme::CMgrConfigActiveTheme()
    : CMgrConfigActiveTheme(CMgrConfigUISetting::Instance(), g_themeSearch.load(std::memory_order_acquire)) {}

CMgrConfigActiveTheme::CMgrConfigActiveTheme(CMgrConfigUISetting* uiSetting, ThemeAroundSource* search)
    : m_uiSetting(uiSetting), m_search(search) {
    // xorshift needs a state other than 0.
    m_randomState = static_cast<uint32_t>(platform::GetTickCount64()) | 1u;
}

void CMgrConfigActiveTheme::SetThemeSearchSource(ThemeAroundSource* source) {
    g_themeSearch.store(source, std::memory_order_release);
}

void CMgrConfigActiveTheme::SetRandomSource(std::function<uint32_t()> random) {
    MgrLock hold(m_lock);
    m_random = std::move(random);
}

uint32_t CMgrConfigActiveTheme::NextRandom() {
    if (m_random) return m_random();
    m_randomState ^= m_randomState << 13;
    m_randomState ^= m_randomState >> 17;
    m_randomState ^= m_randomState << 5;
    return m_randomState;
}

bool CMgrConfigActiveTheme::IsRecent(int32_t placeId) const {
    return std::any_of(std::begin(m_recent), std::end(m_recent),
                       [placeId](const RecentSlot& slot) { return slot.used && slot.placeId == placeId; });
}

void CMgrConfigActiveTheme::Remember(int32_t placeId, uint64_t nowSec) {
    RecentSlot* slot = std::find_if(std::begin(m_recent), std::end(m_recent),
                                    [](const RecentSlot& s) { return !s.used; });
    if (slot == std::end(m_recent)) {
        // Every slot in use: the oldest proposal gives way.
        slot = std::min_element(std::begin(m_recent), std::end(m_recent),
                                [](const RecentSlot& a, const RecentSlot& b) { return a.timeSec < b.timeSec; });
    }
    slot->used = true;
    slot->timeSec = nowSec;
    slot->placeId = placeId;
}

int CMgrConfigActiveTheme::ProposeTheme(const MapPoint& position, int32_t* placeId, int32_t* value) {
    if (!m_uiSetting) return 0;
    int32_t popupMode = 0;
    int32_t themeCate = 0;
    {
        MgrLock hold(*m_uiSetting->GetLock());
        popupMode = m_uiSetting->Record().eAutoThemePopup;
        themeCate = m_uiSetting->Record().nThemeCate;
    }
    if (popupMode >= kPopupOffFirst && popupMode <= kPopupOffLast) return 0;

    MgrLock hold(m_lock);
    const uint64_t tickMs = platform::GetTickCount64();
    if (tickMs < m_earliestSearchTickMs) return 0;
    m_earliestSearchTickMs = tickMs + kSearchIntervalMs;

    std::fill(std::begin(m_rows), std::end(m_rows), ThemeAroundRow{});
    if (position.x == 0 || position.y == 0) return 0;
    if (!m_search) return 0;

    int found = m_search->SearchThemeAround(position.x, position.y, kSearchRadius, themeCate, kMaxRows, m_rows);
    if (found <= 0) return 0;
    // Never trust a count beyond the rows the buffer holds.
    found = std::min(found, kMaxRows);

    const uint64_t nowSec = tickMs / 1000;
    for (RecentSlot& slot : m_recent) {
        if (slot.used && slot.timeSec + kRepeatQuietSec < nowSec) slot = RecentSlot{};
    }

    const int start = static_cast<int>(NextRandom() % static_cast<uint32_t>(found));
    for (int tried = 0; tried < found; ++tried) {
        const ThemeAroundRow& row = m_rows[(start + tried) % found];
        if (IsRecent(row.placeId)) continue;
        Remember(row.placeId, nowSec);
        if (placeId) *placeId = row.placeId;
        if (value) *value = row.value;
        return 1;
    }
    return 0;
}
