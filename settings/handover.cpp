#include "settings/handover.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "platform/byte_cursor.h"

int DegreeMinutesToMapUnits(double value, int32_t& units) {
    // Anything beyond 32-bit map units (about 4096 degrees) is not a
    // position; it is refused before any conversion to an integer.
    constexpr double kLimit = 2147483648.0;
    if (!std::isfinite(value) || std::fabs(value) >= kLimit) return 0;
    const int32_t degrees = static_cast<int32_t>(value) / 100;
    const double decimalDegrees = degrees + (value - degrees * 100.0) / 60.0;
    const double mapUnits = decimalDegrees * kMapUnitsPerDegree;
    if (!(std::fabs(mapUnits) < kLimit)) return 0;
    units = static_cast<int32_t>(mapUnits);
    return 1;
}

CMgrConfigUIInfo::CMgrConfigUIInfo() { ResetSearchRequest(); }

void CMgrConfigUIInfo::ResetSearchRequest() { m_SearchRequest = UISearchRequest{}; }

void CMgrConfigUIInfo::ResetEditRecords() {
    PendingRegDest = _tagUISTRUCT_REGDEST{};
    PendingMyTheme = _tagUISTRUCT_MYTHEME{};
    CMgrConfigUIDataUserSafeDest::ResetItem(&PendingSafeDest);
}

void CMgrConfigUIInfo::SetAvoidLinks(const int32_t* linkIds, int count) {
    if (!linkIds || count <= 0) {
        m_avoidLinkIds.clear();
        return;
    }
    m_avoidLinkIds.assign(linkIds, linkIds + count);
}

int CMgrConfigUIInfo::SetExternalPositions(const UIExternalPosSource* entries) {
    MgrLock hold(m_lock);
    m_externalCount = 0;
    if (!entries) return 0;
    for (int i = 0; i < kUIExternalPosCount; ++i) {
        const UIExternalPosSource& source = entries[i];
        UIExternalPos pos;
        if (source.nValid == 1 && DegreeMinutesToMapUnits(source.dLongitude, pos.x) &&
            DegreeMinutesToMapUnits(source.dLatitude, pos.y)) {
            pos.nValid = 1;
            ++m_externalCount;
        } else {
            pos = UIExternalPos{};
        }
        m_externalPos[i] = pos;
    }
    return 1;
}

int CMgrConfigUIInfo::SetExternalPositionsFromBytes(const uint8_t* bytes, size_t size) {
    if (!bytes || size < kUIExternalPosSourceBytes) return SetExternalPositions(nullptr);
    UIExternalPosSource entries[kUIExternalPosCount];
    platform::ByteReader reader(bytes, size);
    for (UIExternalPosSource& e : entries) {
        e.nValid = reader.I32();
        e.nUnused = reader.I32();
        e.dLongitude = reader.F64();
        e.dLatitude = reader.F64();
    }
    return SetExternalPositions(entries);
}

int CMgrConfigUIInfo::GetExternalPositions(UIExternalPos* out) {
    MgrLock hold(m_lock);
    if (m_externalCount == 0) return 0;
    if (out) std::copy(std::begin(m_externalPos), std::end(m_externalPos), out);
    return m_externalCount;
}
