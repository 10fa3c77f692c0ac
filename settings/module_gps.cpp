#include "settings/module_gps.h"

#include <algorithm>
#include <cstring>

#include "platform/clock.h"

namespace {

int RingIndex(int ring) { return ((ring % 2) + 2) % 2; }

}  // namespace

CMgrConfigModuleGPS::CMgrConfigModuleGPS() {
    m_match.x = kInitialX;
    m_match.y = kInitialY;
    m_consumeTick.store(platform::GetTickCount(), std::memory_order_release);
}

void CMgrConfigModuleGPS::PublishFix(const GpsFixRecord& fix) {
    // The flags are raised under the lock too: a consumer between the copy
    // and the flag would otherwise take this fix twice.
    MgrLock hold(m_recordLock);
    m_fix = fix;
    m_fixReceived.store(1, std::memory_order_release);
    m_newFix.store(1, std::memory_order_release);
}

int CMgrConfigModuleGPS::TakeNewFix(GpsFixRecord* out) {
    MgrLock hold(m_recordLock);
    // Cleared before the copy: a fix published meanwhile waits behind the
    // lock and sets the flag again, so none is lost.
    if (m_newFix.exchange(0, std::memory_order_acq_rel) == 0) return 0;
    if (out) *out = m_fix;
    return 1;
}

void CMgrConfigModuleGPS::GetFix(GpsFixRecord* out) const {
    if (!out) return;
    MgrLock hold(m_recordLock);
    *out = m_fix;
}

void CMgrConfigModuleGPS::SetMatchInfo(const tagMAPMATCHINFO& match) {
    MgrLock hold(m_recordLock);
    m_match = match;
}

void CMgrConfigModuleGPS::GetMatchInfo(tagMAPMATCHINFO* out) const {
    if (!out) return;
    MgrLock hold(m_recordLock);
    *out = m_match;
}

MapPoint CMgrConfigModuleGPS::GetMatchedPosition() const {
    MgrLock hold(m_recordLock);
    return MapPoint{m_match.x, m_match.y};
}

int CMgrConfigModuleGPS::IsOnSpecialLink() const {
    MgrLock hold(m_recordLock);
    if (m_match.status != 1) return 0;
    switch (m_match.linkKind) {
        case 4:
        case 11:
        case 12:
        case 13:
        case 14:
            return 1;
        default:
            return 0;
    }
}

void CMgrConfigModuleGPS::AddHistoryPoint(int32_t x, int32_t y, int ring) {
    MgrLock hold(m_recordLock);
    GpsHistoryRing& r = m_history[RingIndex(ring)];
    r.points[r.writeIndex] = GpsHistoryPoint{x, y};
    r.writeIndex = (r.writeIndex + 1) % GpsHistoryRing::kSize;
    if (r.count < GpsHistoryRing::kSize) ++r.count;
}

void CMgrConfigModuleGPS::GetHistoryRing(int ring, GpsHistoryRing* out) const {
    if (!out) return;
    MgrLock hold(m_recordLock);
    *out = m_history[RingIndex(ring)];
}

void CMgrConfigModuleGPS::SetRelayText(const char* text, int length) {
    MgrLock hold(m_lock);
    std::memset(m_relayText, 0, sizeof m_relayText);
    if (!text || length <= 0) return;
    const int n = std::min(length, kRelayTextBytes - 1);
    std::memcpy(m_relayText, text, static_cast<size_t>(n));
}

int CMgrConfigModuleGPS::GetRelayText(char* buffer, int size) const {
    if (!buffer || size <= 0) return 0;
    MgrLock hold(const_cast<CMgrCriticalSection&>(m_lock));
    const size_t stored = strnlen(m_relayText, sizeof m_relayText);
    const size_t n = std::min(stored, static_cast<size_t>(size - 1));
    std::memcpy(buffer, m_relayText, n);
    buffer[n] = '\0';
    return static_cast<int>(n);
}
