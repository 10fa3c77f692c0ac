// The five traffic message kinds in their basic and extended layouts, the
// clears, and the periodic state check with the ageing.
//
// Every parser walks its message twice with a bounded cursor: once to check
// that each item lies inside the payload, and once to store. A message whose
// items run past its end is refused whole and the store keeps what it had;
// items that are well formed but name unknown links or stations are counted
// and skipped.
#include <algorithm>
#include <atomic>
#include <cstring>

#include "foundation/debug_trace.h"
#include "platform/byte_cursor.h"
#include "platform/clock.h"
#include "traffic/traffic_engine.h"

namespace {

constexpr uint32_t kCttAgeMs = 1200000;     // congestion and summaries: 20 minutes
constexpr uint32_t kRtmAgeMs = 3600000;     // incidents and news: 60 minutes
constexpr int64_t kOpiAgeHours = 72;
constexpr int kClockTrustedYear = 2009;     // a clock before this year was never set
constexpr uint16_t kRouteIncidentWrap = 10000;

TPEGSystemTime NowSystemTime() {
    const platform::LocalDateTime now = platform::GetLocalTime();
    TPEGSystemTime t;
    t.wYear = static_cast<uint16_t>(now.year);
    t.wMonth = static_cast<uint16_t>(now.month);
    t.wDayOfWeek = static_cast<uint16_t>(now.dayOfWeek);
    t.wDay = static_cast<uint16_t>(now.day);
    t.wHour = static_cast<uint16_t>(now.hour);
    t.wMinute = static_cast<uint16_t>(now.minute);
    t.wSecond = static_cast<uint16_t>(now.second);
    t.wMilliseconds = static_cast<uint16_t>(now.millisecond);
    return t;
}

int64_t SystemTimeSeconds(const TPEGSystemTime& t) {
    platform::LocalDateTime local;
    local.year = t.wYear;
    local.month = t.wMonth;
    local.day = t.wDay;
    local.hour = t.wHour;
    local.minute = t.wMinute;
    local.second = t.wSecond;
    return platform::LocalToEpochSeconds(local);
}

// Seconds from then to now; 0 when either clock was not yet trusted (a time
// stamped before the first GPS fix is all zero).
int64_t TrustedSecondsBetween(const TPEGSystemTime& now, const TPEGSystemTime& then) {
    if (now.wYear < kClockTrustedYear || then.wYear < kClockTrustedYear) return 0;
    return SystemTimeSeconds(now) - SystemTimeSeconds(then);
}

TPEGSystemTime& TimeField(TPEGReceiveStatus& s, TrafficKind kind) {
    switch (kind) {
        case kTrafficCTT: return s.sCttTime;
        case kTrafficCTTSUM: return s.sCttSumTime;
        case kTrafficRTM: return s.sRtmTime;
        case kTrafficNWS: return s.sNwsTime;
        default: return s.sOpiTime;
    }
}

// Level 1 (free) to 4 (jammed) from the speed, by channel type and the
// link's flag byte; other channel types leave level 0.
uint8_t LevelFromSpeed(int channelType, uint8_t flag, uint8_t speed) {
    int limits[3];  // upper bounds (exclusive) of levels 4, 3 and 2
    if (channelType == 0 || channelType == 1) {
        if (flag) limits[0] = 30, limits[1] = 50, limits[2] = 70;
        else limits[0] = 10, limits[1] = 20, limits[2] = 30;
    } else if (channelType == 2 || channelType == 4) {
        if (flag) limits[0] = 23, limits[1] = 43, limits[2] = 63;
        else limits[0] = 8, limits[1] = 18, limits[2] = 28;
    } else {
        return 0;
    }
    if (speed < limits[0]) return 4;
    if (speed < limits[1]) return 3;
    if (speed < limits[2]) return 2;
    return 1;
}

// Map units from a received coordinate in 10^-5 degree; values in 10^-6
// degree come out ten times too large and are brought back.
int32_t ReceivedToMapUnits(uint32_t raw) {
    int64_t units = static_cast<int64_t>(static_cast<double>(raw) / 100000.0 * kMapUnitsPerDegree);
    if (units > 99999999) units /= 10;
    return static_cast<int32_t>(std::min<int64_t>(units, INT32_MAX));
}

// Incident type from the first bytes of a CP949 type text (channel types 0
// and 1); -1 when no rule applies.
int TypeFromText(const uint8_t* text, size_t length) {
    if (length == 0) return -1;
    const uint8_t b0 = text[0];
    if (b0 == 0xB0) return 2;
    if (b0 == 0xB4 && length >= 5) {
        if (text[4] == 0xBB) return 1;
        if (text[4] == 0xC1) return 8;
        return -1;
    }
    if (b0 == 0xC1) return 1;
    if (b0 == 0xC0 && length >= 2) {
        if (text[1] == 0xCF) return 1;
        if (text[1] == 0xE7) return 8;
        return -1;
    }
    if (b0 == 0xC6) return 8;
    if (b0 == 0xC7) return 4;
    return -1;
}

int MapChannel4Type(int code, int otherwise) {
    switch (code) {
        case 176: return 2;
        case 187: return 1;
        case 192: case 197: return 8;
        case 199: return 4;
        default: return otherwise;
    }
}

int BasicIncidentType(int channelType, uint8_t code, const uint8_t* text, size_t textLength) {
    int type = code;
    if (channelType == 0 || channelType == 1) {
        const int fromText = TypeFromText(text, textLength);
        if (fromText >= 0) type = fromText;
    }
    if (channelType == 2) {
        switch (type) {
            case 3: case 20: case 43: return 1;
            case 12: case 17: case 18: case 39: case 47: return 8;
            case 24: return 4;
            case 50: return 2;
            default: return type;
        }
    }
    if (channelType == 4) return MapChannel4Type(type, type);
    return type;
}

int ExtendedIncidentType(int channelType, const uint8_t* text, size_t textLength) {
    if (textLength == 0) return 0;
    if (channelType == 0 || channelType == 1) {
        const int fromText = TypeFromText(text, textLength);
        return fromText >= 0 ? fromText : 0;
    }
    const uint8_t b0 = text[0];
    if (channelType == 2) {
        switch (b0) {
            case 1: case 5: case 8: return 1;
            case 6: return 4;
            case 10: return 2;
            case 2: case 3: case 4: case 7: case 9: return 8;
            default: return 0;
        }
    }
    if (channelType == 4) return MapChannel4Type(b0, 0);
    return 0;
}

uint16_t NewsCategory(int channelType, uint8_t code) {
    if (channelType == 0 || channelType == 1) {
        switch (code) {
            case 1: case 2: case 6: return 1;
            case 7: return 2;
            case 5: return 4;
            case 12: return 8;
            case 13: return 16;
            case 3: case 4: case 8: case 9: case 10: case 11: return 32;
            default: return 0;
        }
    }
    if (channelType == 2) {
        switch (code) {
            case 1: case 2: case 6: return 1;
            case 7: return 2;
            case 5: return 4;
            case 12: return 8;
            case 4: case 8: return 32;
            default: return 0;
        }
    }
    return 0;
}

bool IsScrollTitle(const uint8_t* title, size_t length) {
    return length == 6 && std::memcmp(title, "Scroll", 6) == 0;
}

void CopyTitle(char* out, const uint8_t* text, size_t length) {
    const size_t n = std::min<size_t>(length, 61);
    std::memcpy(out, text, n);
    out[n] = 0;
}

}  // namespace

// Holds a kind for one message: refuses when the store is not loaded, the
// kind is disabled or already busy; otherwise marks it busy and takes its lock.
class TrafficEngine::KindFrame {
public:
    KindFrame(TrafficEngine& engine, TrafficKind kind) NAVI_NO_THREAD_SAFETY_ANALYSIS : m_engine(engine), m_kind(kind) {
        KindState& k = engine.Kind(kind);
        if (!engine.IsLoaded() || !k.enabled) return;
        int idle = 0;
        if (!k.busy.compare_exchange_strong(idle, 1, std::memory_order_acq_rel)) return;
        engine.m_store.KindLock(kind).Enter();
        m_held = true;
    }
    ~KindFrame() NAVI_NO_THREAD_SAFETY_ANALYSIS {
        if (!m_held) return;
        m_engine.m_store.KindLock(m_kind).Leave();
        m_engine.Kind(m_kind).busy.store(0, std::memory_order_release);
    }
    KindFrame(const KindFrame&) = delete;
    KindFrame& operator=(const KindFrame&) = delete;
    bool Held() const { return m_held; }

private:
    TrafficEngine& m_engine;
    TrafficKind m_kind;
    bool m_held = false;
};

void TrafficEngine::SetChannel(int onChannel, int channelType) {
    m_onChannel.store(onChannel, std::memory_order_release);
    m_channelType.store(channelType, std::memory_order_release);
    m_store.EditReceiveStatus([&](TPEGReceiveStatus& s) { s.nChannelType = channelType; });
}

void TrafficEngine::SetOpiServiceFlag(int on) {
    m_store.EditReceiveStatus([&](TPEGReceiveStatus& s) { s.bOpiService = on ? 1 : 0; });
}

int TrafficEngine::SetRouteLinkMark(int linkIndex, uint8_t mark) {
    if (!IsLoaded() || linkIndex < 0 || linkIndex >= m_linkCount) return 0;
    std::atomic_ref<uint8_t>(m_routeMarks[linkIndex]).store(mark, std::memory_order_relaxed);
    return 1;
}

void TrafficEngine::FinishStore(TrafficKind kind) {
    KindState& k = Kind(kind);
    k.updated[0] = 1;
    if (kind == kTrafficRTM) k.updated[1] = 1;
    k.cleared = 0;
    if (m_services.HasGpsFixSinceStart()) k.receiveTime = NowSystemTime();
    const uint32_t tick = platform::GetTickCount();
    k.receiveTick = tick;
    m_store.EditReceiveStatus([&](TPEGReceiveStatus& s) {
        TimeField(s, kind) = k.receiveTime;
        m_lastReceiveTime = k.receiveTime;
        m_lastDataTick = tick;
    });
}

void TrafficEngine::TakeReceiveTime(TrafficKind kind) {
    KindState& k = Kind(kind);
    if (m_services.HasGpsFixSinceStart()) k.receiveTime = NowSystemTime();
    k.receiveTick = platform::GetTickCount();
}

bool TrafficEngine::SameAsStored(TrafficKind kind, const uint8_t* payload, size_t size) {
    // The repeated message is dropped only when its bytes are the stored
    // ones: the same size alone would hide a changed message.
    const uint8_t* copy = kind == kTrafficRTM ? m_rtmPayload : m_newsPayload;
    return Kind(kind).lastSize == size && std::memcmp(copy, payload, size) == 0;
}

// --- CTT ---------------------------------------------------------------------

int TrafficEngine::StoreCongestion(uint32_t linkId, uint8_t speed, uint8_t level, int& lastIndex, int& added) {
    if (linkId == 0 || level > 4) return 1;
    int index = lastIndex + 1;
    if (index >= m_linkCount || m_linkIds[index] != linkId) index = FindLinkIndex(linkId);
    if (index < 0) return 1;
    lastIndex = index;
    if (level == 0 && speed != 0) level = LevelFromSpeed(GetChannelType(), m_linkFlags[index], speed);
    // Five bits hold speed / 3; faster links keep the highest value.
    const uint8_t speedPart = static_cast<uint8_t>(std::min(speed / 3, 31));
    if (m_store.ExchangeLinkState(index, static_cast<uint8_t>(level | speedPart << 3)) == 255) ++added;
    return 0;
}

namespace {

// One item of a congestion or summary message: a link id (or summary key),
// a speed and a level.
struct SpeedItem {
    uint32_t id = 0;
    uint8_t speed = 0;
    uint8_t level = 0;
};

// CTT and CTTSUM share their layouts. Checks the message and hands each
// item to onItem; false (traced) when the size or an item is wrong. In a
// long extended item, congestion takes the second speed when the first is 0
// and the second level when the first is 0; a summary takes both when its
// level is 0.
template <class OnItem>
bool ForEachSpeedItem(const uint8_t* payload, size_t size, bool extended, bool summary, uint32_t* count,
                      OnItem&& onItem) {
    const char* kind = summary ? "CTTSUM" : "CTT";
    platform::ByteReader r(payload, size);
    bool ok;
    if (!extended) {
        *count = r.U16();
        DebugTrace(1, "Receive%s HeaderCount:%u Size:%zu\n", kind, *count, size);
        ok = r.Ok() && size == static_cast<size_t>(*count) * 8 + 8;
    } else {
        r.Skip(4);
        *count = r.U32();
        r.Skip(4);
        for (uint32_t i = 0; r.Ok() && i < *count; ++i) {
            const uint8_t* item = r.Span(9);
            if (item && item[8]) r.Skip(8);
        }
        ok = r.Ok();
    }
    if (!ok) {
        DebugTrace(1, "***** TPEG !!!Error Receive%s Header Size error\n", kind);
        return false;
    }
    platform::ByteReader items(payload, size);
    items.Seek(extended ? 12 : 8);
    for (uint32_t i = 0; i < *count; ++i) {
        SpeedItem it;
        if (!extended) {
            // u32 id, then the speed byte and the level byte (a summary's
            // u16 value: level high, speed low), 2 bytes not used.
            it.id = items.U32();
            it.speed = items.U8();
            it.level = items.U8();
            items.Skip(2);
        } else {
            const uint8_t* item = items.Span(9);
            platform::ByteReader f(item, 9);
            it.speed = f.U8();
            it.id = f.U32();
            f.Skip(2);
            it.level = f.U8();
            if (item[8]) {
                const uint8_t* more = items.Span(8);
                if (summary) {
                    if (it.level == 0) it.speed = more[0], it.level = more[3];
                } else {
                    if (it.speed == 0) it.speed = more[0];
                    if (it.level == 0) it.level = more[3];
                }
            }
        }
        onItem(it);
    }
    return true;
}

}  // namespace

int TrafficEngine::ReceiveCttItems(const uint8_t* payload, size_t size, bool extended) {
    uint32_t count = 0;
    int missed = 0;
    int added = 0;
    m_cttLastIndex = -1;
    const bool ok = ForEachSpeedItem(payload, size, extended, false, &count, [&](const SpeedItem& it) {
        missed += StoreCongestion(it.id, it.speed, it.level, m_cttLastIndex, added);
    });
    if (!ok) return 0;
    m_store.EditReceiveStatus([&](TPEGReceiveStatus& s) { s.nCttLinks += added; });
    DebugTrace(1, "CTT %d/%u ---------- Receive %d/%d(%d%%)\n\n", missed, count, m_store.GetCongestionLinkCount(),
               m_linkCount, GetCTTPercent());
    FinishStore(kTrafficCTT);
    return 1;
}

int TrafficEngine::ReceiveCTT(const uint8_t* payload, size_t size) {
    KindFrame frame(*this, kTrafficCTT);
    return frame.Held() ? ReceiveCttItems(payload, size, false) : 0;
}

int TrafficEngine::ReceiveCTTExt(const uint8_t* payload, size_t size) {
    KindFrame frame(*this, kTrafficCTT);
    return frame.Held() ? ReceiveCttItems(payload, size, true) : 0;
}

int TrafficEngine::GetCTTPercent() const {
    if (!IsLoaded() || m_linkCount == 0) return 0;
    return static_cast<int>(static_cast<int64_t>(m_store.GetCongestionLinkCount()) * 100 / m_linkCount);
}

// --- CTTSUM ------------------------------------------------------------------

int TrafficEngine::ReceiveSummaryItems(const uint8_t* payload, size_t size, bool extended) {
    uint32_t count = 0;
    int bad = 0;
    int missed = 0;
    int added = 0;
    const bool ok = ForEachSpeedItem(payload, size, extended, true, &count, [&](const SpeedItem& it) {
        const uint32_t key = it.id;
        const uint32_t index = key / 1000;
        const uint32_t position = key % 1000;
        // Positions count from 1: position 0 would address the slot before
        // the summary's first.
        if (key == 0 || it.level > 4 || index >= 10000 || position == 0) {
            ++bad;
            return;
        }
        if (index + 1 >= static_cast<uint32_t>(m_imageIndexCount) ||
            m_imageIndex[index] + position > m_imageIndex[index + 1]) {
            ++missed;
            return;
        }
        const uint32_t slot = m_imageIndex[index] + position - 1;
        if (m_sumLevels[slot] == 255) ++added;
        m_sumLevels[slot] = it.level;
        m_sumSpeeds[slot] = it.speed;
        m_sumLastKey = key;
    });
    if (!ok) return 0;
    int withData = 0;
    m_store.EditReceiveStatus([&](TPEGReceiveStatus& s) {
        s.nCttSumSlots += added;
        withData = s.nCttSumSlots;
    });
    DebugTrace(1, "CTTSUM %d/%d/%u ---------- Receive %d\n\n", bad, missed, count, withData);
    FinishStore(kTrafficCTTSUM);
    return 1;
}

int TrafficEngine::ReceiveCTTSUM(const uint8_t* payload, size_t size) {
    KindFrame frame(*this, kTrafficCTTSUM);
    return frame.Held() ? ReceiveSummaryItems(payload, size, false) : 0;
}

int TrafficEngine::ReceiveCTTSUMExt(const uint8_t* payload, size_t size) {
    KindFrame frame(*this, kTrafficCTTSUM);
    return frame.Held() ? ReceiveSummaryItems(payload, size, true) : 0;
}

// --- RTM ---------------------------------------------------------------------

namespace {

struct IncidentItem {
    uint8_t typeCode = 0;
    const uint8_t* typeText = nullptr;
    size_t typeLength = 0;
    size_t detailOffset = 0;
    size_t detailLength = 0;
    uint32_t linkId = 0;
    uint16_t extra = 0;
    uint32_t rawLon = 0;
    uint32_t rawLat = 0;
};

bool ReadIncidentItem(platform::ByteReader& r, bool extended, IncidentItem& item) {
    if (!extended) item.typeCode = r.U8();
    item.typeLength = r.U8();
    item.detailLength = r.U16();
    item.typeText = r.Span(item.typeLength);
    item.detailOffset = r.Position();
    r.Skip(item.detailLength);
    item.linkId = r.U32();
    if (extended) item.extra = r.U16();
    item.rawLon = r.U32();
    item.rawLat = r.U32();
    return r.Ok();
}

}  // namespace

int TrafficEngine::ReceiveIncidents(const uint8_t* payload, size_t size, bool extended) {
    const size_t headerBytes = extended ? 12 : 8;
    if (size > kTpegMaxMessageBytes) return 0;
    if (size < headerBytes) {
        DebugTrace(1, "***** TPEG !!!Error ReceiveRTM Header Size error\n");
        return 0;
    }
    if (SameAsStored(kTrafficRTM, payload, size)) {
        TakeReceiveTime(kTrafficRTM);
        if (!extended) DebugTrace(1, "************************************** Pass RTM\n\n");
        return 1;
    }
    platform::ByteReader header(payload, size);
    const uint32_t count = extended ? (header.Skip(4), header.U32()) : header.U16();
    const uint32_t n = std::min<uint32_t>(count, kTpegMaxIncidents);
    {
        platform::ByteReader r(payload, size);
        r.Seek(headerBytes);
        IncidentItem item;
        for (uint32_t i = 0; i < n; ++i) {
            if (!ReadIncidentItem(r, extended, item)) {
                DebugTrace(1, "***** TPEG !!!Error ReceiveRTM item %u past the payload\n", i);
                return 0;
            }
        }
    }

    std::memcpy(m_rtmPayload, payload, size);
    m_store.ClearLinkEvents();
    std::copy_n(m_announced, m_announcedCount, m_prevAnnounced);
    m_prevAnnouncedCount = m_announcedCount;
    m_announcedCount = 0;
    m_incidentCount = 0;
    m_incidentPositionCount = 0;
    m_incidentListCount = 0;
    int candidate = -1;
    int candidateType = 0;
    const int channelType = GetChannelType();

    platform::ByteReader r(payload, size);
    r.Seek(headerBytes);
    IncidentItem item;
    for (uint32_t i = 0; i < n; ++i) {
        ReadIncidentItem(r, extended, item);
        const int type = extended ? ExtendedIncidentType(channelType, item.typeText, item.typeLength)
                                  : BasicIncidentType(channelType, item.typeCode, item.typeText, item.typeLength);
        TpegIncidentRecord rec;
        rec.wType = static_cast<uint16_t>(type & 0xFF);
        rec.wExtra = item.extra;
        rec.dwLinkId = item.linkId;
        rec.nLinkIndex = item.linkId ? FindLinkIndex(item.linkId) : -1;
        rec.x = ReceivedToMapUnits(item.rawLon);
        rec.y = ReceivedToMapUnits(item.rawLat);
        if (rec.wType == 1 && rec.nLinkIndex < 0) rec.x = rec.y = 0;
        rec.dwDetailOffset = static_cast<uint32_t>(item.detailOffset);
        rec.wDetailLength = static_cast<uint16_t>(std::min<size_t>(item.detailLength, 1000));
        CopyTitle(rec.szTitle, payload + item.detailOffset, item.detailLength);
        // The same position as the record before: the item repeats it.
        if (m_incidentCount > 0 && rec.x != 0 && rec.y != 0) {
            const TpegIncidentRecord& prev = m_incidents[m_incidentCount - 1];
            if (rec.x == prev.x && rec.y == prev.y) continue;
        }
        const int index = rec.nLinkIndex;
        if (index >= 0 && std::atomic_ref<uint8_t>(m_routeMarks[index]).load(std::memory_order_relaxed) &&
            m_store.GetLinkEventFlag(index) == 0) {
            const uint32_t* prevBegin = m_prevAnnounced;
            const uint32_t* prevEnd = m_prevAnnounced + m_prevAnnouncedCount;
            if (std::find(prevBegin, prevEnd, rec.dwLinkId) == prevEnd && (candidate < 0 || rec.wType == 1)) {
                candidate = m_incidentCount;
                candidateType = rec.wType;
            }
            if (m_announcedCount < kTpegMaxAnnounced) m_announced[m_announcedCount++] = rec.dwLinkId;
            rec.wType |= 0x8000;
        }
        if (item.rawLon != 0 && item.rawLat != 0) {
            m_incidentPositions[m_incidentPositionCount++] =
                TpegIncidentPosition{static_cast<uint16_t>(m_incidentCount), static_cast<uint16_t>(rec.wType & 0xFF),
                                     rec.x, rec.y};
        }
        if (index >= 0) m_store.SetLinkEvent(index, (rec.wType & 0xFF) == 1 ? 1 : 8);
        m_incidents[m_incidentCount++] = rec;
    }

    m_store.EditReceiveStatus([&](TPEGReceiveStatus& s) {
        if (candidate >= 0) {
            s.wRouteIncidentCount = static_cast<uint16_t>(s.wRouteIncidentCount + 1);
            if (s.wRouteIncidentCount > kRouteIncidentWrap) s.wRouteIncidentCount = 1;
            s.wRouteIncidentType = static_cast<uint16_t>(candidateType);
        } else {
            s.wRouteIncidentCount = 0;
            s.wRouteIncidentType = 0;
        }
    });
    m_candidateRecord = candidate;
    m_candidateType = candidateType;
    Kind(kTrafficRTM).lastSize = size;
    PublishIncidentItems();
    FinishStore(kTrafficRTM);
    return 1;
}

void TrafficEngine::PublishIncidentItems() {
    TrafficItem items[kTpegMaxIncidents];
    for (int i = 0; i < m_incidentPositionCount; ++i) {
        const TpegIncidentPosition& p = m_incidentPositions[i];
        items[i] = TrafficItem{p.wRecord, p.wType, p.x, p.y};
    }
    m_store.SetTrafficItems(items, m_incidentPositionCount);
}

int TrafficEngine::ReceiveRTM(const uint8_t* payload, size_t size) {
    KindFrame frame(*this, kTrafficRTM);
    return frame.Held() ? ReceiveIncidents(payload, size, false) : 0;
}

int TrafficEngine::ReceiveRTMExt(const uint8_t* payload, size_t size) {
    KindFrame frame(*this, kTrafficRTM);
    return frame.Held() ? ReceiveIncidents(payload, size, true) : 0;
}

// --- NWS ---------------------------------------------------------------------

void TrafficEngine::AddNewsRecord(uint16_t category, const uint8_t* title, size_t titleBytes, size_t textOffset,
                                  size_t textBytes) {
    // The news area holds 300 records; later items are dropped.
    if (m_newsCount >= kTpegMaxNews) return;
    TpegNewsRecord& rec = m_news[m_newsCount++];
    rec = TpegNewsRecord{};
    rec.wCategory = category;
    rec.wTextLength = static_cast<uint16_t>(std::min<size_t>(textBytes, 2000));
    rec.dwTextOffset = static_cast<uint32_t>(textOffset);
    CopyTitle(rec.szTitle, title, titleBytes);
}

// A ticker text: lines at CR and LF (a line longer than the 1999-byte split
// piece ends there). '*' and '[' lines set the category, '=' and 0xA2 lines
// are news; everything else is skipped.
void TrafficEngine::SplitScrollNews(uint16_t category, size_t textOffset, size_t textBytes) {
    constexpr size_t kPieceBytes = 1999;
    const uint8_t* p = m_newsPayload;
    size_t pos = textOffset;
    const size_t end = textOffset + textBytes;
    while (pos < end && m_newsCount < kTpegMaxNews) {
        const size_t lineStart = pos;
        while (pos < end && pos - lineStart < kPieceBytes && p[pos] != '\r' && p[pos] != '\n') ++pos;
        const size_t lineBytes = pos - lineStart;
        if (pos < end && (p[pos] == '\r' || p[pos] == '\n')) ++pos;
        if (lineBytes == 0) continue;
        const uint8_t first = p[lineStart];
        if (first == '*' || first == '[') {
            if (lineBytes < 2) continue;
            switch (p[lineStart + 1]) {
                case 's': category = 16; break;
                case 0xB1: category = 2; break;
                case 0xB3: category = 8; break;
                case 0xBD: category = 4; break;
                case 0xC1: category = 1; break;
                default: break;
            }
        } else if (first == '=' || first == 0xA2) {
            // Shorter lines would give a negative text length.
            if (lineBytes < 2) continue;
            const size_t textAt = lineStart + (first == '=' ? 1 : 2);
            const size_t textLength = lineBytes - 2;
            AddNewsRecord(category, p + textAt, textLength, textAt, textLength);
        }
    }
}

namespace {

struct NewsItem {
    uint8_t kindCode = 0;
    bool hasKind = false;
    const uint8_t* title = nullptr;
    size_t titleLength = 0;
    size_t textOffset = 0;
    size_t textLength = 0;
    bool scroll = false;
};

// Extended news: groups of items with counted blocks around them. Calls
// onItem for every item; false when anything runs past the payload.
template <class OnItem>
bool WalkExtendedNews(const uint8_t* payload, size_t size, OnItem&& onItem) {
    platform::ByteReader r(payload, size);
    r.Skip(4);
    const uint32_t groups = r.U32();
    r.Skip(4);
    for (uint32_t g = 0; r.Ok() && g < groups; ++g) {
        const uint8_t a = r.U8();
        const uint8_t b = r.U8();
        const uint8_t itemCount = r.U8();
        const uint8_t c = r.U8();
        r.Skip(static_cast<size_t>(a) * 3 + 1);
        if (b) r.Skip(static_cast<size_t>(b) * 4);
        for (uint8_t j = 0; r.Ok() && j < itemCount; ++j) {
            NewsItem item;
            r.Skip(1);
            item.titleLength = r.U8();
            const uint16_t length = r.U16();
            const uint8_t pCount = r.U8();
            const uint8_t qCount = r.U8();
            item.title = r.Span(item.titleLength);
            if (!r.Ok()) return false;
            item.scroll = IsScrollTitle(item.title, item.titleLength);
            if (!item.scroll && length > 0) {
                item.kindCode = r.U8();
                item.hasKind = true;
                item.textOffset = r.Position();
                item.textLength = length - 1u;
            } else {
                item.textOffset = r.Position();
                item.textLength = item.scroll ? length : 0;
            }
            r.Skip(item.hasKind ? length - 1u : item.textLength);
            for (uint8_t k = 0; r.Ok() && k < pCount; ++k) {
                r.Skip(1);
                r.Skip(r.U32());
                r.Skip(1);
            }
            for (uint8_t k = 0; r.Ok() && k < qCount; ++k) {
                const size_t total = static_cast<size_t>(r.U8()) + r.U8() + r.U8();
                r.Skip(total);
            }
            if (!r.Ok()) return false;
            onItem(item);
        }
        if (c && r.Ok()) {
            const uint8_t* block = r.Span(2);
            if (block) r.Skip(block[1]);
        }
    }
    return r.Ok();
}

template <class OnItem>
bool WalkBasicNews(const uint8_t* payload, size_t size, OnItem&& onItem) {
    platform::ByteReader r(payload, size);
    const uint16_t count = r.U16();
    r.Skip(6);
    for (uint16_t i = 0; r.Ok() && i < count; ++i) {
        NewsItem item;
        item.kindCode = r.U8();
        item.hasKind = true;
        item.titleLength = r.U8();
        item.textLength = r.U16();
        item.title = r.Span(item.titleLength);
        item.textOffset = r.Position();
        r.Skip(item.textLength);
        if (!r.Ok()) return false;
        item.scroll = IsScrollTitle(item.title, item.titleLength);
        onItem(item);
    }
    return r.Ok();
}

}  // namespace

int TrafficEngine::ReceiveNews(const uint8_t* payload, size_t size, bool extended) {
    if (size > kTpegMaxMessageBytes) return 0;
    if (size < (extended ? 12u : 8u)) {
        DebugTrace(1, "***** TPEG !!!Error ReceiveNWS Header Size error\n");
        return 0;
    }
    if (SameAsStored(kTrafficNWS, payload, size)) {
        TakeReceiveTime(kTrafficNWS);
        if (!extended) DebugTrace(1, "************************************** Pass NWS\n\n");
        return 1;
    }
    auto ignore = [](const NewsItem&) {};
    if (!(extended ? WalkExtendedNews(payload, size, ignore) : WalkBasicNews(payload, size, ignore))) {
        DebugTrace(1, "***** TPEG !!!Error ReceiveNWS item past the payload\n");
        return 0;
    }
    std::memcpy(m_newsPayload, payload, size);
    m_newsCount = 0;
    m_newsListCount = 0;
    const int channelType = GetChannelType();
    auto store = [&](const NewsItem& item) {
        const uint16_t category = item.hasKind ? NewsCategory(channelType, item.kindCode) : 0;
        if (item.scroll) {
            SplitScrollNews(category, item.textOffset, item.textLength);
        } else if (extended && !item.hasKind) {
            AddNewsRecord(0xFFFF, item.title, item.titleLength, item.textOffset, 0);
        } else {
            AddNewsRecord(category, item.title, item.titleLength, item.textOffset, item.textLength);
        }
    };
    if (extended) WalkExtendedNews(payload, size, store);
    else WalkBasicNews(payload, size, store);
    DebugTrace(1, "NWS %d ---------- Receive\n\n", m_newsCount);
    Kind(kTrafficNWS).lastSize = size;
    FinishStore(kTrafficNWS);
    return 1;
}

int TrafficEngine::ReceiveNWS(const uint8_t* payload, size_t size) {
    KindFrame frame(*this, kTrafficNWS);
    return frame.Held() ? ReceiveNews(payload, size, false) : 0;
}

int TrafficEngine::ReceiveNWSExt(const uint8_t* payload, size_t size) {
    KindFrame frame(*this, kTrafficNWS);
    return frame.Held() ? ReceiveNews(payload, size, true) : 0;
}

// --- OPI ---------------------------------------------------------------------

int TrafficEngine::ReceivePrices(const uint8_t* payload, size_t size, bool extended) {
    const size_t headerBytes = extended ? 12 : 8;
    platform::ByteReader header(payload, size);
    const uint32_t count = extended ? (header.Skip(4), header.U32()) : header.U16();
    {
        platform::ByteReader r(payload, size);
        r.Skip(headerBytes);
        for (uint32_t i = 0; r.Ok() && i < count; ++i) {
            r.Skip(8);
            r.Skip(static_cast<size_t>(r.U8()) * 3);
        }
        if (!r.Ok() || !header.Ok()) {
            DebugTrace(1, "***** TPEG !!!Error ReceiveOPI item past the payload\n");
            return 0;
        }
    }
    m_opiLastIndex = -1;
    int failed = 0;
    int added = 0;
    platform::ByteReader r(payload, size);
    r.Skip(headerBytes);
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t stationId = r.U32();
        const uint32_t priceTime = r.U32();
        const uint8_t entries = r.U8();
        int index = m_opiLastIndex + 1;
        if (index >= m_stationCount || m_prices[index].wStationId != static_cast<uint16_t>(stationId)) {
            index = FindStationIndex(stationId);
        }
        if (index < 0) {
            ++failed;
            r.Skip(static_cast<size_t>(entries) * 3);
            continue;
        }
        m_opiLastIndex = index;
        TpegStationPrice& price = m_prices[index];
        for (uint8_t e = 0; e < entries; ++e) {
            const uint8_t kind = r.U8();
            const int16_t value = r.I16();
            if (kind == 1) price.nPrice1 = value;
            else if (kind == 2) price.nPrice2 = value;
            else if (kind == 129) price.nPrice129 = value;
        }
        price.dwPriceTime = priceTime;
        if (m_stationReceived[index] == 255) {
            m_stationReceived[index] = 1;
            ++added;
        }
    }
    int withPrices = 0;
    m_store.EditReceiveStatus([&](TPEGReceiveStatus& s) {
        s.nOpiStations += added;
        if (count > 0) s.bOpiData = 1;
        withPrices = s.nOpiStations;
    });
    DebugTrace(1, "OPI fail : %d(i)/%u ---------- Receive %d/%d(%d%%)\n\n", failed, count, withPrices, m_stationCount,
               m_stationCount ? withPrices * 100 / m_stationCount : 0);
    FinishStore(kTrafficOPI);
    return 1;
}

int TrafficEngine::ReceiveOPI(const uint8_t* payload, size_t size) {
    KindFrame frame(*this, kTrafficOPI);
    return frame.Held() ? ReceivePrices(payload, size, false) : 0;
}

int TrafficEngine::ReceiveOPIExt(const uint8_t* payload, size_t size) {
    KindFrame frame(*this, kTrafficOPI);
    return frame.Held() ? ReceivePrices(payload, size, true) : 0;
}

// --- Clearing and ageing -----------------------------------------------------

void TrafficEngine::ClearKind(TrafficKind kind) {
    KindState& k = Kind(kind);
    if (!IsLoaded() || !k.enabled) return;
    MgrLock hold(m_store.KindLock(kind));
    k.receiveTime = TPEGSystemTime{};
    k.cleared = 1;
    k.updated[0] = 1;
    if (kind == kTrafficRTM) k.updated[1] = 1;
    switch (kind) {
        case kTrafficCTT:
            m_store.FillLinkStates(255);
            for (int i = 0; i < m_linkCount; ++i) {
                std::atomic_ref<uint8_t>(m_routeMarks[i]).store(0, std::memory_order_relaxed);
            }
            break;
        case kTrafficCTTSUM:
            std::memset(m_sumLevels, 255, kTpegSummarySlots);
            std::memset(m_sumSpeeds, 0, kTpegSummarySlots);
            break;
        case kTrafficRTM:
            k.lastSize = 0;
            m_incidentListCount = m_incidentCount = m_incidentPositionCount = 0;
            m_candidateRecord = -1;
            m_candidateType = 0;
            m_store.ClearLinkEvents();
            m_announcedCount = 0;
            std::memset(m_rtmPayload, 0, kTpegMaxMessageBytes);
            PublishIncidentItems();
            break;
        case kTrafficNWS:
            k.lastSize = 0;
            m_newsListCount = m_newsCount = 0;
            std::memset(m_newsPayload, 0, kTpegMaxMessageBytes);
            break;
        case kTrafficOPI:
            for (int i = 0; i < m_stationCount; ++i) {
                m_prices[i].nPrice1 = m_prices[i].nPrice2 = m_prices[i].nPrice129 = 0;
                m_prices[i].dwPriceTime = 0;
            }
            std::memset(m_stationReceived, 255, TrafficArenaLayout::kSizes[TrafficArenaLayout::kStationReceived]);
            break;
        default:
            break;
    }
    m_store.EditReceiveStatus([&](TPEGReceiveStatus& s) {
        TimeField(s, kind) = TPEGSystemTime{};
        switch (kind) {
            case kTrafficCTT: s.nCttLinks = 0; s.nCttWord = 0; break;
            case kTrafficCTTSUM: s.nCttSumSlots = 0; break;
            case kTrafficRTM: s.wRouteIncidentCount = 0; s.wRouteIncidentType = 0; s.nRtmWord = 0; break;
            case kTrafficNWS: s.nNwsWord = 0; break;
            case kTrafficOPI: s.nOpiStations = 0; s.nOpiWord = 0; s.bOpiData = 0; break;
            default: break;
        }
    });
}

void TrafficEngine::ClearCTT() { ClearKind(kTrafficCTT); }
void TrafficEngine::ClearCTTSUM() { ClearKind(kTrafficCTTSUM); }
void TrafficEngine::ClearRTM() { ClearKind(kTrafficRTM); }
void TrafficEngine::ClearNWS() { ClearKind(kTrafficNWS); }
void TrafficEngine::ClearOPI() { ClearKind(kTrafficOPI); }

void TrafficEngine::ClearAll() {
    ClearCTT();
    ClearCTTSUM();
    ClearRTM();
    ClearNWS();
    ClearOPI();
}

void TrafficEngine::ResetReceptionStatus() {
    m_store.EditReceiveStatus([](TPEGReceiveStatus& s) {
        TPEGReceiveStatus fresh;
        fresh.nChannelType = s.nChannelType;
        fresh.nReserved = s.nReserved;
        s = fresh;
    });
}

int TrafficEngine::IsCleared(TrafficKind kind) {
    MgrLock hold(m_store.KindLock(kind));
    return Kind(kind).cleared;
}

void TrafficEngine::CheckReceiveState() {
    const uint32_t nowTick = platform::GetTickCount();
    const TPEGSystemTime now = NowSystemTime();
    m_store.EditReceiveStatus([&](TPEGReceiveStatus& s) {
        const int64_t sinceMs = TrustedSecondsBetween(now, m_lastReceiveTime) * 1000;
        const bool receiving = m_lastDataTick != 0 && nowTick - m_lastDataTick <= m_stateLimitMs &&
                               sinceMs <= static_cast<int64_t>(m_stateLimitMs);
        s.nReceiveState = receiving ? 2 : 1;
    });
    if (!IsLoaded()) return;

    // Each kind ages by its receive tick and, once the clock is trusted, by
    // its receive time too; a kind stamped before the first GPS fix has a
    // zero time and ages by the tick alone.
    struct Age {
        TrafficKind kind;
        uint32_t limitMs;
    };
    static constexpr Age kAges[] = {
        {kTrafficCTT, kCttAgeMs}, {kTrafficCTTSUM, kCttAgeMs}, {kTrafficRTM, kRtmAgeMs}, {kTrafficNWS, kRtmAgeMs}};
    for (const Age& age : kAges) {
        KindState& k = Kind(age.kind);
        MgrLock hold(m_store.KindLock(age.kind));
        if (k.cleared) continue;
        const uint32_t tickMs = nowTick - k.receiveTick;
        const int64_t timeMs = TrustedSecondsBetween(now, k.receiveTime) * 1000;
        if (tickMs > age.limitMs || timeMs > static_cast<int64_t>(age.limitMs)) ClearKind(age.kind);
    }
    {
        KindState& k = Kind(kTrafficOPI);
        MgrLock hold(m_store.KindLock(kTrafficOPI));
        if (!k.cleared) {
            const int64_t seconds = TrustedSecondsBetween(now, k.receiveTime);
            const int64_t hours = (seconds < 0 ? -seconds : seconds) / 3600;
            const int64_t tickHours = static_cast<int64_t>(nowTick - k.receiveTick) / 3600000;
            if (hours > kOpiAgeHours || tickHours > kOpiAgeHours) ClearKind(kTrafficOPI);
        }
    }
}
