// The queries of the traffic screens and the fuel search: the reception
// status, congestion summaries, incident and news lists paged 15 rows at a
// time, fuel brands and fuel stations, and the developer status line.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "foundation/nv_time.h"
#include "platform/byte_cursor.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "traffic/traffic_engine.h"

namespace {

// CP949 bytes (up to a NUL) into a UTF-16 field of `chars` units, NUL
// included. Bytes that are not CP949 (a title cut inside a character) are
// dropped rather than failing the whole text.
void Cp949ToField(const char* bytes, size_t length, char16_t* out, size_t chars) {
    if (chars == 0) return;
    length = strnlen(bytes, length);
    std::u16string text;
    std::string_view rest(bytes, length);
    while (!rest.empty()) {
        std::u16string part;
        platform::CodecError error;
        if (platform::Cp949ToUtf16(rest, part, &error)) {
            text += part;
            break;
        }
        std::u16string good;
        platform::Cp949ToUtf16(rest.substr(0, error.offset), good);
        text += good;
        rest.remove_prefix(std::min(rest.size(), error.offset + 1));
    }
    const size_t n = std::min(text.size(), chars - 1);
    std::copy_n(text.data(), n, out);
    out[n] = 0;
}

void Utf16ToField(std::u16string_view text, char16_t* out, size_t chars) {
    const size_t n = std::min(text.size(), chars - 1);
    std::copy_n(text.data(), n, out);
    out[n] = 0;
}

void AsciiToField(const char* text, char16_t* out, size_t chars) {
    size_t i = 0;
    for (; text[i] && i + 1 < chars; ++i) out[i] = static_cast<unsigned char>(text[i]);
    out[i] = 0;
}

// Row titles: the conversion writes at most 61 characters, the NUL included.
constexpr size_t kTitleChars = 61;

// The caller asks for `count` rows from `start`; the store gives at most 15
// per call, 0 at the end, -1 when the list was rebuilt.
template <class Fill>
int PageRows(int start, int* count, int rebuiltResult, Fill&& fill) {
    const int want = *count;
    int done = 0;
    while (done < want) {
        const int got = fill(start + done, std::min(want - done, kTpegPageRows), done);
        if (got == 0) break;
        if (got < 0) {
            *count = 0;
            return rebuiltResult;
        }
        done += got;
    }
    *count = done;
    return 0;
}

// Initial-consonant index of each compatibility consonant U+3131..U+314E.
constexpr uint8_t kConsonantInitial[30] = {0, 1, 1, 2, 2, 2, 3, 4, 5, 5, 5, 5, 5, 5, 5,
                                           5, 6, 7, 8, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
// First and last syllable of the names under each initial consonant.
constexpr char16_t kConsonantRange[19][2] = {
    {u'가', u'깊'}, {u'까', u'낑'}, {u'나', u'닢'}, {u'다', u'딪'}, {u'따', u'띵'}, {u'라', u'링'}, {u'마', u'밑'},
    {u'바', u'빛'}, {u'빠', u'삥'}, {u'사', u'싶'}, {u'싸', u'씽'}, {u'아', u'잎'}, {u'자', u'짚'}, {u'짜', u'찧'},
    {u'차', u'칭'}, {u'카', u'킹'}, {u'타', u'팅'}, {u'파', u'핑'}, {u'하', u'힝'}};

bool IsLoneConsonant(char16_t c) { return c >= 0x3131 && c <= 0x314E; }

// One byte per character: the initial-consonant class of Hangul, the place
// of a digit or capital letter, else 0.
std::string ConsonantKey(std::u16string_view text) {
    static constexpr char kAlnum[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    std::string key;
    for (char16_t c : text) {
        uint8_t k = 0;
        if (c >= 0xAC00 && c <= 0xD7A3) {
            k = static_cast<uint8_t>(((c - 0xAC00) / 588 + 1) | 0x20);
        } else if (IsLoneConsonant(c)) {
            k = static_cast<uint8_t>((kConsonantInitial[c - 0x3131] + 1) | 0x20);
        } else if (c <= 0x3130 && c != 0) {
            const char* at = std::strchr(kAlnum, c < 0x80 ? static_cast<char>(c) : '\0');
            if (at && *at) {
                const int p = static_cast<int>(at - kAlnum);
                k = static_cast<uint8_t>(p < 30 ? p + 1 : 31);
            }
        }
        key.push_back(static_cast<char>(k));
    }
    return key;
}

std::string ToCp949(std::u16string_view text) {
    std::string out;
    if (!platform::Utf16ToCp949(text, out)) out.clear();
    return out;
}

int DirectionSector(int bearing) {
    if (bearing < 24 || bearing > 336) return 0;
    if (bearing <= 66) return 1;
    if (bearing <= 113) return 2;
    if (bearing <= 156) return 3;
    if (bearing <= 203) return 4;
    if (bearing <= 246) return 5;
    if (bearing <= 293) return 6;
    return 7;
}

int BrandImage(int fuelKind, int brand) {
    if (fuelKind == 1 || fuelKind == 2) {
        if (brand >= 1 && brand <= 4) return 50100 + brand;
        if (brand == 5 || brand == 6) return 50106;
    } else if (fuelKind == 4) {
        if (brand >= 1 && brand <= 6) return 50200 + brand;
    }
    return 0;
}

bool BrandFilterKeeps(int filter, uint8_t kindBits, uint8_t brand) {
    const bool fuel = kindBits & 1;
    const bool lpg = kindBits & 2;
    if (filter == 0) return true;
    if (filter == 10) return fuel;
    if (filter == 11) return lpg;
    if (filter >= 1001 && filter <= 1004) return fuel && brand == filter - 1000;
    if (filter == 1005) return fuel && brand == 6;
    if (filter >= 1101 && filter <= 1104) return lpg && brand == filter - 1100;
    if (filter == 1105) return lpg && brand == 5;
    if (filter == 1106) return lpg && brand == 6;
    return false;
}

struct BrandRow {
    int code;
    int value;
    const char16_t* name;
};
constexpr BrandRow kFuelKinds[] = {{10, 2, u"주유소"}, {11, 7, u"LPG충전소"}};
constexpr BrandRow kFuelBrands[] = {
    {1001, 0, u"SK엔크린"}, {1002, 0, u"GS칼텍스"}, {1003, 0, u"현대오일뱅크"}, {1004, 0, u"쌍용S-OIL"}, {1005, 0, u"기타"}};
constexpr BrandRow kLpgBrands[] = {{1101, 0, u"SK_LPG"},  {1102, 0, u"GS_LPG"},        {1103, 0, u"현대_LPG"},
                                   {1104, 0, u"쌍용S-OIL_LPG"}, {1105, 0, u"E1_LPG"}, {1106, 0, u"기타"}};

}  // namespace

struct TrafficEngine::IncidentWorkRow {
    uint16_t wRow;
    uint16_t wType;
    int32_t nDistanceM;
    int32_t x;
    int32_t y;
    uint16_t wRecord;
    char szTitle[62];
};

struct TrafficEngine::NewsWorkRow {
    uint16_t wRow;
    uint16_t wCategory;
    uint16_t wRecord;
    char szTitle[62];
};

int TrafficEngine::GetReceiveStatus(TPEGReceiveStatus* out) {
    if (!IsLoaded() || !out) return 0;
    m_store.GetReceiveStatus(out);
    return 1;
}

int TrafficEngine::GetCTTSUMInfo(int index, int* size, uint8_t* levels, uint8_t* speeds, int capacity,
                                 TPEGSystemTime* time) {
    if (size) *size = 0;
    if (!IsLoaded()) return kTpegNoSummary;
    // An index whose entries are missing from the table has no summary.
    if (index < 0 || index + 1 >= m_imageIndexCount) return kTpegNoSummary;
    const int slots = static_cast<int>(m_imageIndex[index + 1] - m_imageIndex[index]);
    if (slots <= 0) return kTpegNoSummary;
    if (size) *size = slots;
    // Copied under the summary lock: the handler rewrites these bytes.
    MgrLock hold(m_store.KindLock(kTrafficCTTSUM));
    const int n = std::clamp(capacity, 0, slots);
    if (levels) std::memcpy(levels, m_sumLevels + m_imageIndex[index], static_cast<size_t>(n));
    if (speeds) std::memcpy(speeds, m_sumSpeeds + m_imageIndex[index], static_cast<size_t>(n));
    if (time) *time = Kind(kTrafficCTTSUM).receiveTime;
    return 0;
}

// --- Incidents ---------------------------------------------------------------

int TrafficEngine::MakeIncidentList(int typeMask, int sortOrder, int onRouteOnly, int32_t x, int32_t y, int* count) {
    if (count) *count = 0;
    if (!IsLoaded()) return kTpegNoIncident;
    MgrLock hold(m_store.KindLock(kTrafficRTM));
    int n = 0;
    for (int i = 0; i < m_incidentCount; ++i) {
        const TpegIncidentRecord& rec = m_incidents[i];
        if (onRouteOnly) {
            if (rec.nLinkIndex < 0 ||
                !std::atomic_ref<uint8_t>(m_routeMarks[rec.nLinkIndex]).load(std::memory_order_relaxed)) {
                continue;
            }
        }
        if ((typeMask & rec.wType) == 0) continue;
        TpegIncidentListEntry& e = m_incidentList[n++];
        e.wRecord = static_cast<uint16_t>(i);
        e.wType = static_cast<uint16_t>(rec.wType & 0xFF);
        e.nDistanceM = (rec.x != 0 && rec.y != 0) ? static_cast<int32_t>(GetApproxDistance({x, y}, {rec.x, rec.y})) : -1;
    }
    TpegIncidentListEntry* end = m_incidentList + n;
    if (sortOrder == 1) {
        std::sort(m_incidentList, end, [](const auto& a, const auto& b) {
            return a.wType != b.wType ? a.wType < b.wType : a.wRecord < b.wRecord;
        });
    } else if (sortOrder == 2) {
        std::sort(m_incidentList, end, [](const auto& a, const auto& b) {
            const auto da = static_cast<uint32_t>(a.nDistanceM), db = static_cast<uint32_t>(b.nDistanceM);
            return da != db ? da < db : a.wRecord < b.wRecord;
        });
    } else if (sortOrder == 3) {
        std::sort(m_incidentList, end, [this](const auto& a, const auto& b) {
            const int c = std::strcmp(m_incidents[a.wRecord].szTitle, m_incidents[b.wRecord].szTitle);
            return c != 0 ? c < 0 : a.wRecord < b.wRecord;
        });
    }
    m_incidentListCount = n;
    Kind(kTrafficRTM).updated[0] = 0;
    if (count) *count = n;
    return n ? 0 : kTpegNoIncident;
}

int TrafficEngine::FillIncidentRows(int start, int want, IncidentWorkRow* rows) {
    MgrLock hold(m_store.KindLock(kTrafficRTM));
    if (Kind(kTrafficRTM).updated[0]) return -1;
    int n = 0;
    for (; n < want && start >= 0 && start + n < m_incidentListCount; ++n) {
        const TpegIncidentListEntry& e = m_incidentList[start + n];
        const TpegIncidentRecord& rec = m_incidents[e.wRecord];
        IncidentWorkRow& row = rows[n];
        row.wRow = static_cast<uint16_t>(start + n);
        row.wType = e.wType;
        row.nDistanceM = e.nDistanceM < 0 ? 0 : e.nDistanceM;
        row.x = rec.x;
        row.y = rec.y;
        row.wRecord = e.wRecord;
        std::memcpy(row.szTitle, rec.szTitle, sizeof row.szTitle);
    }
    return n;
}

int TrafficEngine::GetIncidentList(int start, TPEGIncidentRow* rows, int* count) {
    if (!count) return 0;
    if (!IsLoaded() || !rows) {
        *count = 0;
        return 0;
    }
    return PageRows(start, count, kTpegIncidentRebuilt, [&](int from, int want, int done) {
        IncidentWorkRow work[kTpegPageRows];
        const int got = FillIncidentRows(from, want, work);
        for (int i = 0; i < got; ++i) {
            TPEGIncidentRow& row = rows[done + i];
            row = TPEGIncidentRow{};
            row.wRow = work[i].wRow;
            row.wType = work[i].wType;
            row.nDistanceM = work[i].nDistanceM;
            row.x = work[i].x;
            row.y = work[i].y;
            row.wRecord = work[i].wRecord;
            Cp949ToField(work[i].szTitle, sizeof work[i].szTitle, row.szTitle, kTitleChars);
        }
        return got;
    });
}

int TrafficEngine::GetIncidentInfo(int listIndex, TPEGIncidentInfo* out) {
    if (!IsLoaded() || !out) return kTpegNoIncident;
    char detail[1001];
    {
        MgrLock hold(m_store.KindLock(kTrafficRTM));
        if (Kind(kTrafficRTM).updated[0]) return kTpegIncidentRebuilt;
        if (listIndex < 0 || listIndex >= m_incidentListCount) return kTpegNoIncident;
        const TpegIncidentListEntry& e = m_incidentList[listIndex];
        const TpegIncidentRecord& rec = m_incidents[e.wRecord];
        *out = TPEGIncidentInfo{};
        out->wIndex = static_cast<uint16_t>(listIndex);
        out->wType = e.wType;
        out->nDistanceM = e.nDistanceM < 0 ? 0 : e.nDistanceM;
        out->x = rec.x;
        out->y = rec.y;
        out->wRecord = e.wRecord;
        std::memcpy(detail, m_rtmPayload + rec.dwDetailOffset, rec.wDetailLength);
        detail[rec.wDetailLength] = 0;
    }
    Cp949ToField(detail, sizeof detail, out->szDetail, 1000);
    return 0;
}

// --- News --------------------------------------------------------------------

int TrafficEngine::MakeNewsList(int categoryMask, int sortOrder, int* count) {
    if (count) *count = 0;
    if (!IsLoaded()) return kTpegNoNews;
    MgrLock hold(m_store.KindLock(kTrafficNWS));
    int n = 0;
    for (int i = 0; i < m_newsCount; ++i) {
        if ((categoryMask & m_news[i].wCategory) == 0) continue;
        m_newsList[n++] = TpegNewsListEntry{static_cast<uint16_t>(i), m_news[i].wCategory};
    }
    TpegNewsListEntry* end = m_newsList + n;
    if (sortOrder == 1) {
        std::sort(m_newsList, end, [](const auto& a, const auto& b) {
            return a.wCategory != b.wCategory ? a.wCategory < b.wCategory : a.wRecord < b.wRecord;
        });
    } else if (sortOrder == 2) {
        std::sort(m_newsList, end, [this](const auto& a, const auto& b) {
            const int c = std::strcmp(m_news[a.wRecord].szTitle, m_news[b.wRecord].szTitle);
            return c != 0 ? c < 0 : a.wRecord < b.wRecord;
        });
    }
    m_newsListCount = n;
    Kind(kTrafficNWS).updated[0] = 0;
    if (count) *count = n;
    return n ? 0 : kTpegNoNews;
}

int TrafficEngine::FillNewsRows(int start, int want, NewsWorkRow* rows) {
    MgrLock hold(m_store.KindLock(kTrafficNWS));
    if (Kind(kTrafficNWS).updated[0]) return -1;
    int n = 0;
    for (; n < want && start >= 0 && start + n < m_newsListCount; ++n) {
        const TpegNewsListEntry& e = m_newsList[start + n];
        rows[n].wRow = static_cast<uint16_t>(start + n);
        rows[n].wCategory = e.wCategory;
        rows[n].wRecord = e.wRecord;
        std::memcpy(rows[n].szTitle, m_news[e.wRecord].szTitle, sizeof rows[n].szTitle);
    }
    return n;
}

int TrafficEngine::GetNewsList(int start, TPEGNewsRow* rows, int* count) {
    if (!count) return 0;
    if (!IsLoaded() || !rows) {
        *count = 0;
        return 0;
    }
    return PageRows(start, count, kTpegNewsRebuilt, [&](int from, int want, int done) {
        NewsWorkRow work[kTpegPageRows];
        const int got = FillNewsRows(from, want, work);
        for (int i = 0; i < got; ++i) {
            TPEGNewsRow& row = rows[done + i];
            row = TPEGNewsRow{};
            row.wRow = work[i].wRow;
            row.wCategory = work[i].wCategory;
            row.wRecord = work[i].wRecord;
            Cp949ToField(work[i].szTitle, sizeof work[i].szTitle, row.szTitle, kTitleChars);
        }
        return got;
    });
}

int TrafficEngine::GetNewsInfo(int listIndex, TPEGNewsInfo* out) {
    if (!IsLoaded() || !out) return kTpegNoNews;
    std::string text;
    {
        MgrLock hold(m_store.KindLock(kTrafficNWS));
        if (Kind(kTrafficNWS).updated[0]) return kTpegNewsRebuilt;
        if (listIndex < 0 || listIndex >= m_newsListCount) return kTpegNoNews;
        const TpegNewsListEntry& e = m_newsList[listIndex];
        const TpegNewsRecord& rec = m_news[e.wRecord];
        *out = TPEGNewsInfo{};
        out->wIndex = static_cast<uint16_t>(listIndex);
        out->wCategory = e.wCategory;
        out->wRecord = e.wRecord;
        text.assign(reinterpret_cast<const char*>(m_newsPayload + rec.dwTextOffset), rec.wTextLength);
    }
    Cp949ToField(text.c_str(), text.size(), out->szText, 2000);
    return 0;
}

// --- Fuel --------------------------------------------------------------------

int TrafficEngine::GetOilBrandList(int code, int level, char16_t title[28], TPEGOilBrandRow* rows, int* count) {
    if (count) *count = 0;
    if (title) title[0] = 0;
    if (!IsLoaded() || !Kind(kTrafficOPI).enabled) return kTpegNoBrandList;
    if (code != 0) {
        if (level == 0) code /= 100;
        else if (level == -1) code /= 10000;
    }
    const BrandRow* list = nullptr;
    size_t listSize = 0;
    const char16_t* name = u"";
    if (code == 0) {
        list = kFuelKinds, listSize = std::size(kFuelKinds);
    } else if (code == 10) {
        list = kFuelBrands, listSize = std::size(kFuelBrands), name = u"주유소";
    } else if (code == 11) {
        list = kLpgBrands, listSize = std::size(kLpgBrands), name = u"LPG충전소";
    } else {
        for (const auto* table : {&kFuelBrands[0], &kLpgBrands[0]}) {
            const size_t n = table == kFuelBrands ? std::size(kFuelBrands) : std::size(kLpgBrands);
            for (size_t i = 0; i < n; ++i) {
                if (table[i].code == code) name = table[i].name;
            }
        }
    }
    if (title) Utf16ToField(name, title, 28);
    if (rows) {
        for (size_t i = 0; i < listSize; ++i) {
            rows[i] = TPEGOilBrandRow{list[i].code, list[i].value, {}};
            Utf16ToField(list[i].name, rows[i].szName, 28);
        }
        if (count) *count = static_cast<int>(listSize);
    }
    return 0;
}

bool TrafficEngine::OpenStationTable() {
    m_stationFile.Close();
    return m_stationFile.Open(m_paths[kPathStations]);
}

bool TrafficEngine::ReadStationName(int record, std::string* name) {
    const TpegStationInfo& info = m_stationInfo[record];
    name->resize(info.yNameLength);
    if (info.yNameLength == 0) return true;
    if (!m_stationFile.ReadExactAt(info.dwNameOffset, name->data(), name->size())) {
        name->clear();
        return false;
    }
    return true;
}

int TrafficEngine::SearchOilStation(const TPEGOilStationQuery& query, int* count) {
    if (count) *count = 0;
    if (!IsLoaded() || !Kind(kTrafficOPI).enabled) return kTpegStationSearchFailed;
    MgrLock hold(m_store.KindLock(kTrafficOPI));
    m_stationQuery = query;
    m_stationResultCount = 0;
    const int64_t nowSeconds = platform::LocalToEpochSeconds(platform::GetLocalTime());
    if (!OpenStationTable()) return kTpegStationSearchFailed;

    std::u16string name(query.szName, std::find(query.szName, query.szName + 36, u'\0'));
    int lo = 0;
    int hi = m_stationCount;
    std::string typed;          // CP949 bytes the names must start with
    std::string queryKey;
    if (!name.empty()) {
        const size_t consonantAt =
            static_cast<size_t>(std::find_if(name.begin(), name.end(), IsLoneConsonant) - name.begin());
        typed = ToCp949(std::u16string_view(name).substr(0, consonantAt)).substr(0, 36);
        std::string first = typed;
        std::string last = typed;
        if (consonantAt < name.size()) {
            const auto& range = kConsonantRange[kConsonantInitial[name[consonantAt] - 0x3131]];
            first += ToCp949(std::u16string_view(&range[0], 1));
            last += ToCp949(std::u16string_view(&range[1], 1));
        }
        std::string stationName;
        auto nameHead = [&](int record, size_t bytes) {
            ReadStationName(record, &stationName);
            return stationName.substr(0, bytes);
        };
        // Lower bound: first name not before `first`; upper bound: first name
        // after `last`, both compared on their own lengths.
        int a = 0, b = m_stationCount;
        while (a < b) {
            const int mid = (a + b) / 2;
            if (nameHead(mid, first.size()) < first) a = mid + 1;
            else b = mid;
        }
        lo = a;
        b = m_stationCount;
        while (a < b) {
            const int mid = (a + b) / 2;
            if (nameHead(mid, last.size()) <= last) a = mid + 1;
            else b = mid;
        }
        hi = a;
        if (lo >= hi) return kTpegStationSearchFailed;
        queryKey = ConsonantKey(std::u16string_view(name).substr(0, 36));
    }

    const int fuelKind = query.nFuelKind;
    const int64_t maxAgeSeconds = fuelKind == 4 ? 2592000 : 1296000;
    const MapPoint from{query.x, query.y};
    std::string stationName;
    for (int i = lo; i < hi; ++i) {
        const TpegStationInfo& info = m_stationInfo[i];
        if (m_stationReceived[info.wPriceEntry] != 1) continue;
        const TpegStationPrice& price = m_prices[info.wPriceEntry];
        int value = 0;
        if (fuelKind == 1) value = price.nPrice1;
        else if (fuelKind == 2) value = price.nPrice2;
        else if (fuelKind == 4) value = price.nPrice129;
        else continue;
        if (value < 100 || value > 10000) continue;
        if (nowSeconds - static_cast<int64_t>(price.dwPriceTime) > maxAgeSeconds) continue;
        if (!BrandFilterKeeps(query.nBrandFilter, info.yKindBits, info.yBrand)) continue;
        const uint32_t distance = GetApproxDistance(from, {info.x, info.y});
        if (query.nMaxDistanceM > 0 && distance > static_cast<uint32_t>(query.nMaxDistanceM)) continue;
        if (!name.empty()) {
            ReadStationName(i, &stationName);
            if (stationName.compare(0, typed.size(), typed) != 0) continue;
            std::u16string wide;
            platform::Cp949ToUtf16(stationName, wide);
            const std::string key = ConsonantKey(wide);
            if (key.size() < queryKey.size() || key.compare(0, queryKey.size(), queryKey) != 0) continue;
        }
        m_stationResults[m_stationResultCount++] =
            TpegStationResult{static_cast<uint16_t>(i), static_cast<uint16_t>(value), distance, price.dwPriceTime};
    }
    TpegStationResult* end = m_stationResults + m_stationResultCount;
    if (query.nSortOrder == 1) {
        std::stable_sort(m_stationResults, end, [](const auto& a, const auto& b) {
            return a.wPrice != b.wPrice ? a.wPrice < b.wPrice : a.dwDistanceM < b.dwDistanceM;
        });
    } else if (query.nSortOrder == 2) {
        std::stable_sort(m_stationResults, end, [](const auto& a, const auto& b) {
            return a.dwDistanceM != b.dwDistanceM ? a.dwDistanceM < b.dwDistanceM : a.wPrice < b.wPrice;
        });
    }
    if (count) *count = m_stationResultCount;
    return 0;
}

int TrafficEngine::FillStationRows(int start, int want, TPEGOilStationRow* rows) {
    MgrLock hold(m_store.KindLock(kTrafficOPI));
    if (!OpenStationTable()) return 0;
    int n = 0;
    std::string stationName;
    for (; n < want && start >= 0 && start + n < m_stationResultCount; ++n) {
        const TpegStationResult& hit = m_stationResults[start + n];
        const TpegStationInfo& info = m_stationInfo[hit.wRecord];
        TPEGOilStationRow& row = rows[n];
        row = TPEGOilStationRow{};
        row.wRow = static_cast<uint16_t>(start + n);
        row.wPrice = hit.wPrice;
        row.nDistanceM = static_cast<int32_t>(hit.dwDistanceM);
        row.x = info.x;
        row.y = info.y;
        const MapPoint from{m_stationQuery.x, m_stationQuery.y};
        row.yDirection = static_cast<uint8_t>(
            DirectionSector(m_services.CalcRelativeBearing(m_stationQuery.nHeadingDeg, from, {info.x, info.y})));
        row.nBrandImage = BrandImage(m_stationQuery.nFuelKind, info.yBrand);
        ReadStationName(hit.wRecord, &stationName);
        Cp949ToField(stationName.c_str(), stationName.size(), row.szName, 36);

        uint8_t phone[6];
        const uint64_t phoneAt =
            static_cast<uint64_t>(hit.wRecord) * kTpegStationRecordBytes + m_firstStationRecord + 17;
        if (m_stationFile.ReadExactAt(phoneAt, phone, sizeof phone)) {
            platform::ByteReader r(phone, sizeof phone);
            const unsigned area = r.U16();
            const uint32_t number = r.U32();
            char text[48] = "";
            if (area != 0) {
                std::snprintf(text, sizeof text, "(0%u)%03u-%04u", area, number / 10000, number % 10000);
            } else if (number != 0) {
                std::snprintf(text, sizeof text, "%03u-%04u", number / 10000, number % 10000);
            }
            AsciiToField(text, row.szTelephone, 15);
        }
        int year = 0, month = 0, day = 0;
        SecondsToDateTime(static_cast<double>(hit.dwPriceTime), &year, &month, &day, nullptr, nullptr, nullptr);
        char date[32];
        std::snprintf(date, sizeof date, "%d.%02d.%02d", year, month, day);
        AsciiToField(date, row.szDate, 17);

        std::u16string area;
        m_services.GetAreaName(m_services.GetAddressCode({info.x, info.y}), &area, 2);
        Utf16ToField(area, row.szArea, 36);
    }
    return n;
}

int TrafficEngine::GetOilStationList(int start, TPEGOilStationRow* rows, int* count) {
    if (!count) return 0;
    if (!IsLoaded() || !rows || !Kind(kTrafficOPI).enabled) {
        *count = 0;
        return 0;
    }
    return PageRows(start, count, 0, [&](int from, int want, int done) {
        return FillStationRows(from, want, rows + done);
    });
}

int TrafficEngine::GetStatusText(std::u16string* text) {
    if (!IsLoaded() || !text) return 0;
    TPEGReceiveStatus s;
    m_store.GetReceiveStatus(&s);
    char line[128];
    std::snprintf(line, sizeof line, "%da %dc %d(ct) | %d(su) | %d(op) | %x(cmd)", GetOnChannel(), GetChannelType(),
                  s.nCttLinks, s.nCttSumSlots, s.nOpiStations, static_cast<unsigned>(m_commandState.load()));
    *text = platform::Utf8ToUtf16(line);
    return 1;
}
