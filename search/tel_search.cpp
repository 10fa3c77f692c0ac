#include "search/tel_search.h"

#include <algorithm>

#include "platform/byte_cursor.h"
#include "platform/codepage.h"
#include "platform/paths.h"
#include "search/poi_base.h"
#include "search/search_keys.h"

namespace {

struct Province {
    uint16_t area;
    const char* name;
};
constexpr Province kProvinces[] = {
    {2, "서울"},  {31, "경기"}, {32, "인천"}, {33, "강원"}, {41, "충남"}, {42, "대전"}, {43, "충북"}, {51, "부산"},
    {52, "울산"}, {53, "대구"}, {54, "경북"}, {55, "경남"}, {61, "전남"}, {62, "광주"}, {63, "전북"}, {64, "제주"},
};

bool OpenSized(platform::File& file, const std::string& path, int64_t& size) {
    file.Close();
    size = 0;
    if (!file.Open(platform::NativePath(path))) return false;
    size = file.Size();
    if (size < 0) {
        file.Close();
        size = 0;
        return false;
    }
    return true;
}

}  // namespace

const char* TelProvinceName(uint16_t areaNumber) {
    for (const Province& p : kProvinces)
        if (p.area == areaNumber) return p.name;
    return nullptr;
}

uint32_t TelKeyOf(uint32_t telNumber) {
    if (telNumber >= 10000000 && telNumber <= 99999999) return telNumber | kTelKeyLongFlag;
    if (telNumber >= 1000000 && telNumber <= 9999999) return telNumber * 10;
    return 0;
}

uint32_t TelNumberOfKey(uint32_t key) {
    return (key & kTelKeyLongFlag) ? key & ~kTelKeyLongFlag : key / 10;
}

bool TelDigitRange(uint32_t digits, uint32_t& lo, uint32_t& hi) {
    lo = hi = 0;
    // Counted in 64 bits: a ten-digit number must not wrap into a short one.
    int d = 1;
    for (uint64_t v = digits; v >= 10; v /= 10) ++d;
    if (d > 8) return false;
    uint64_t scale = 1;
    for (int i = d; i < 8; ++i) scale *= 10;
    lo = static_cast<uint32_t>(uint64_t{digits} * scale);
    hi = static_cast<uint32_t>((uint64_t{digits} + 1) * scale);
    return true;
}

int NcSearchTelNum::SetFolder(const std::string& folder) {
    m_folder = folder;
    return OpenFiles();
}

int NcSearchTelNum::OpenFiles() {
    if (!OpenSized(m_tel, m_folder + "sch_tel.sdb", m_telSize)) return -1;
    if (!OpenSized(m_corp, m_folder + "sch_corp.sdb", m_corpSize)) return -1;
    return 0;
}

int NcSearchTelNum::ReloadAreaTable(int* outCount) {
    if (outCount) *outCount = 0;
    m_areas.clear();
    ClearResult();
    if (OpenFiles() != 0) return -1;
    uint8_t head[kTelHeaderBytes];
    if (!m_tel.ReadExactAt(0, head, sizeof head)) return -1;
    platform::ByteReader h(head, sizeof head);
    uint64_t count = h.U32();
    // No more records than the file holds, and room left for a page.
    count = std::min<uint64_t>(count, static_cast<uint64_t>(m_telSize - kTelHeaderBytes) / kTelAreaRecordBytes);
    count = std::min<uint64_t>(count, (kTelWorkBytes - kTelResultRowBytes) / kTelAreaRowBytes);
    std::vector<uint8_t> bytes(static_cast<size_t>(count) * kTelAreaRecordBytes);
    if (!bytes.empty() && !m_tel.ReadExactAt(kTelHeaderBytes, bytes.data(), bytes.size())) return -1;
    platform::ByteReader r(bytes);
    for (uint64_t i = 0; i < count; ++i) {
        TelAreaRow row;
        row.wAreaNumber = r.U16();
        row.count = r.U32();
        row.listOffset = r.U32();
        // A list that runs past the end of the file keeps the entries there.
        const int64_t room = m_telSize - int64_t{row.listOffset};
        row.count = room <= 0 ? 0 : static_cast<uint32_t>(std::min<int64_t>(row.count, room / kTelEntryBytes));
        if (const char* name = TelProvinceName(row.wAreaNumber)) {
            std::string cp949;
            platform::Utf16ToCp949(platform::Utf8ToUtf16(name), cp949);
            CopyCp949Field(row.szName, sizeof row.szName, cp949);
        }
        m_areas.push_back(row);
    }
    if (outCount) *outCount = static_cast<int>(m_areas.size());
    return 0;
}

int NcSearchTelNum::GetAreaTable(const TelAreaRow** outRows, int* outCount) const {
    if (!outRows) return -1;
    *outRows = m_areas.data();
    if (outCount) *outCount = static_cast<int>(m_areas.size());
    return static_cast<int>(m_areas.size());
}

uint32_t NcSearchTelNum::PageRows() const {
    return (kTelWorkBytes - static_cast<uint32_t>(m_areas.size()) * kTelAreaRowBytes) / kTelResultRowBytes;
}

void NcSearchTelNum::ClearResult() {
    m_state = 0;
    m_first = m_count = 0;
    m_capped = false;
    m_rows.clear();
}

bool NcSearchTelNum::ReadEntry(uint32_t i, uint32_t& key, uint32_t& record) const {
    uint8_t b[kTelEntryBytes];
    if (i >= m_listCount || !m_tel.ReadExactAt(uint64_t{m_listOffset} + uint64_t{i} * kTelEntryBytes, b, sizeof b))
        return false;
    platform::ByteReader r(b, sizeof b);
    key = r.U32() & ~kTelKeyLongFlag;
    record = r.U32();
    return true;
}

uint32_t NcSearchTelNum::FindNumberIndex(uint32_t key, uint32_t lo, uint32_t hi) const {
    // The first entry whose key is not below key (the list is sorted).
    while (lo < hi) {
        const uint32_t mid = lo + (hi - lo) / 2;
        uint32_t k = 0, record = 0;
        if (!ReadEntry(mid, k, record)) return mid;
        if (k < key)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

int NcSearchTelNum::SearchNumber(uint16_t areaNumber, uint32_t digits, const MapPoint& centre) {
    ClearResult();
    const auto area = std::find_if(m_areas.begin(), m_areas.end(),
                                   [&](const TelAreaRow& row) { return row.wAreaNumber == areaNumber; });
    if (area == m_areas.end()) return -1;
    uint32_t lo = 0, hi = 0;
    if (!TelDigitRange(digits, lo, hi)) return -1;
    m_listOffset = area->listOffset;
    m_listCount = area->count;
    m_first = FindNumberIndex(lo, 0, m_listCount);
    const uint32_t end = FindNumberIndex(hi, m_first, m_listCount);
    m_count = end - m_first;
    m_capped = m_count > kTelResultCap;
    m_count = std::min(m_count, kTelResultCap);
    m_centre = centre;
    m_state = kTelStateSearched;
    return static_cast<int>(m_count);
}

int NcSearchTelNum::FetchPage(int start, int n, const TelResultRow** outRows, int* outCount) {
    if (outCount) *outCount = 0;
    if (start < 0) start = 0;
    if (m_state != kTelStateSearched && m_state != kTelStateFetched) return -1;
    m_state = kTelStateFetching;
    const uint32_t s = static_cast<uint32_t>(start);
    uint32_t count = n > 0 ? static_cast<uint32_t>(n) : 0;
    if (s >= m_count)
        count = 0;
    else if (uint64_t{s} + count > m_count)
        count = m_count - s;
    count = std::min(count, PageRows());
    m_rows.assign(count, TelResultRow{});
    for (uint32_t i = 0; i < count; ++i) {
        TelResultRow& row = m_rows[i];
        uint32_t key = 0, record = 0;
        uint8_t raw[kTelEntryBytes];
        if (!m_tel.ReadExactAt(uint64_t{m_listOffset} + (uint64_t{m_first} + s + i) * kTelEntryBytes, raw, sizeof raw))
            continue;
        platform::ByteReader e(raw, sizeof raw);
        key = e.U32();
        record = e.U32();
        row.uTelNumber = TelNumberOfKey(key);
        // The company's base record; a record outside the file leaves the
        // row without a name and position.
        uint8_t base[kPoiBaseRecordBytes];
        const uint64_t at = (uint64_t{record} + 1) * kPoiBaseRecordBytes;
        if (!m_corp.ReadExactAt(at, base, sizeof base)) continue;
        platform::ByteReader b(base, sizeof base);
        const uint32_t nameOffset = b.U32();
        const uint8_t nameLength = b.U8();
        b.Skip(17);
        row.x = b.U32();
        row.y = b.U32();
        row.fDistance = static_cast<float>(GetApproxDistanceXY(m_centre.x, m_centre.y, static_cast<int32_t>(row.x),
                                                               static_cast<int32_t>(row.y)));
        char name[256] = {};
        const int64_t got = m_corp.ReadAt(nameOffset, name, nameLength);
        CopyCp949Field(row.szName, kTelNameBytes, std::string_view(name, got > 0 ? static_cast<size_t>(got) : 0));
    }
    m_state = kTelStateFetched;
    if (outRows) *outRows = m_rows.data();
    if (outCount) *outCount = static_cast<int>(count);
    return static_cast<int>(count);
}
