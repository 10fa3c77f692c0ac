#include "search/cate_search.h"

#include <algorithm>
#include <cmath>

#include "foundation/debug_trace.h"
#include "mapdb/mgr_map.h"
#include "platform/byte_cursor.h"
#include "platform/codepage.h"
#include "platform/paths.h"
#include "search/name_search.h"
#include "search/search_keys.h"

namespace {

// Initial index 0..18 of one CP949 character, -1 when it is not Hangul.
int InitialIndexOfChar(std::string_view ch) {
    if (ch.size() != 2) return -1;
    std::u16string text;
    if (!platform::Cp949ToUtf16(ch, text) || text.size() != 1) return -1;
    const char16_t c = text[0];
    if (c >= 0xAC00 && c <= 0xD7A3) return (c - 0xAC00) / 588;
    if (c >= 0x3131 && c <= 0x314E) return InitialConsonantNumber(c) - 1;
    return -1;
}

size_t CharBytesAt(std::string_view text, size_t pos) {
    return std::min(Cp949CharBytes(static_cast<uint8_t>(text[pos])), text.size() - pos);
}

bool IsJamoAt(std::string_view text, size_t pos) {
    return pos + 1 < text.size() && IsCp949Jamo(static_cast<uint8_t>(text[pos]), static_cast<uint8_t>(text[pos + 1]));
}

// CP949 bytes of the first syllable of each initial in the KS X 1001 block
// (가, 까, 나, ...), and the end of that block; names that begin with an
// initial lie between its first syllable and the next one's.
const std::vector<std::string>& InitialBounds() {
    static const std::vector<std::string> bounds = [] {
        std::vector<std::string> out;
        for (int i = 0; i < 19; ++i) {
            std::string cp;
            platform::Utf16ToCp949(std::u16string(1, static_cast<char16_t>(0xAC00 + i * 588)), cp);
            out.push_back(cp);
        }
        out.push_back(std::string{static_cast<char>(0xC8), static_cast<char>(0xFF)});
        return out;
    }();
    return bounds;
}

int DefaultRoadClass(const MapPoint& place) {
    CMgrMap* map = CMgrMap::Instance();
    if (!map || !map->IsOpen()) return -1;
    MneLinkFoot foot;
    if (map->FindNearestLink(place, kPathRoadSearchM, &foot, 0) != 1) return -1;
    MneLinkGuideRecord record;
    if (map->GetLinkRecord(foot.linkId & 0x07FFFFFFu, &record) != 1) return -1;
    return record.roadClass;
}

}  // namespace

int ConsonantClass(int initialIndex) {
    static constexpr int8_t kClass[19] = {0, 0, 1, 2, 2, 3, 4, 5, 5, 6, 6, 7, 8, 8, 9, 10, 11, 12, 13};
    return initialIndex >= 0 && initialIndex < 19 ? kClass[initialIndex] : -1;
}

uint8_t MakeKeyByte(std::string_view name) {
    uint8_t nibbles[2] = {1, 1};
    size_t pos = 0;
    for (int c = 0; c < 2 && pos < name.size(); ++c) {
        const size_t n = CharBytesAt(name, pos);
        const int cls = ConsonantClass(InitialIndexOfChar(name.substr(pos, n)));
        nibbles[c] = static_cast<uint8_t>(cls >= 0 ? cls + 2 : 1);
        pos += n;
    }
    return static_cast<uint8_t>(nibbles[0] << 4 | nibbles[1]);
}

uint32_t CalcRelativeBearing(const MapPoint& centre, const MapPoint& point, int32_t headingDeg) {
    const double dx = double(point.x) - centre.x, dy = double(point.y) - centre.y;
    const double a = std::atan2(dy, dx) * 180.0 / 3.141592;
    double bearing = 450.0 - a - headingDeg;
    if (bearing < 0) bearing += 360.0;
    if (bearing > 360.0) bearing -= 360.0;
    return bearing < 0 ? 0 : static_cast<uint32_t>(bearing);
}

uint8_t DirectionClass(uint32_t b) {
    if (b >= 24 && b <= 66) return 1;
    if (b >= 67 && b <= 113) return 2;
    if (b >= 114 && b <= 156) return 3;
    if (b >= 157 && b <= 203) return 4;
    if (b >= 204 && b <= 246) return 5;
    if (b >= 247 && b <= 293) return 6;
    if (b >= 294 && b <= 336) return 7;
    return 0;
}

uint64_t PathOffsetLimit(uint32_t radiusM) {
    // 1.1 x radius in whole metres, in 64 bits so that no radius overflows.
    return radiusM == 0 ? 110 : uint64_t{radiusM} * 11 / 10;
}

PathTestResult PathRouteTest(const MapPoint& place, const MapPoint* points, const uint8_t* flags, uint32_t count,
                             uint64_t offsetLimitM, const std::function<int(const MapPoint&)>& roadClass) {
    PathTestResult result;
    if (count < 2) return result;
    const uint64_t flaggedLimit = uint64_t{kPathFlaggedRadiusM} * 11 / 10;
    const double boxX = double(offsetLimitM) / 0.169, boxY = double(offsetLimitM) / 0.212;
    const double flaggedBoxX = double(flaggedLimit) / 0.169, flaggedBoxY = double(flaggedLimit) / 0.212;
    uint32_t bestDistance = 1000000;
    uint64_t bestOffset = 1000000;
    for (uint32_t k = 0; k + 1 < count; ++k) {
        const MapPoint& pk = points[k];
        const bool flagged = flags[k] != 0;
        const int64_t dx = int64_t{place.x} - pk.x, dy = int64_t{place.y} - pk.y;
        if (double(std::llabs(dx)) > (flagged ? flaggedBoxX : boxX) ||
            double(std::llabs(dy)) > (flagged ? flaggedBoxY : boxY))
            continue;
        const uint32_t d = GetApproxDistance(pk, place);
        if (d >= bestDistance) continue;
        bestDistance = d;
        const int64_t a = static_cast<int64_t>(double(dx) * 0.169), b = static_cast<int64_t>(double(dy) * 0.212);
        // The direction of travel; at the end of a flagged stretch it comes
        // from the point before (the first point has none, so it looks ahead).
        const bool fromBefore = flags[k] == kPathFlagStretchEnd && k > 0;
        const MapPoint& from = fromBefore ? points[k - 1] : pk;
        const MapPoint& to = fromBefore ? pk : points[k + 1];
        const int64_t u = static_cast<int64_t>(double(int64_t{to.x} - from.x) * 0.169);
        const int64_t v = static_cast<int64_t>(double(int64_t{to.y} - from.y) * 0.212);
        const int64_t w = v * a - u * b;
        result.side = w > 0 ? 90 : w < 0 ? 270 : 0;
        if (flagged && w < 0) continue;
        uint64_t offset = 0;
        if (a != 0 || b != 0) {
            const float r = std::sqrt(static_cast<float>(a * a + b * b));
            offset = static_cast<uint64_t>(std::fabs(std::trunc(double(w) / r)));
        }
        if (offset > offsetLimitM || offset >= bestOffset) continue;
        bestOffset = offset;
        if (!flagged || (roadClass && roadClass(place) == 0)) result.found = true;
    }
    result.offsetM = static_cast<uint32_t>(std::min<uint64_t>(bestOffset, 0xFFFFFFFFu));
    return result;
}

NcSearchCatesisul::NcSearchCatesisul(NcSearchDB* db) : m_db(db), m_roadClass(DefaultRoadClass) {
    m_records.reserve(kCateResultCap);
    m_entries.reserve(kCateResultCap);
}

int NcSearchCatesisul::PrepareCateSearch(const std::string& folder, uint32_t categoryCode, uint32_t areaCode) {
    m_records.clear();
    m_entries.clear();
    if (m_db) {
        m_db->SetFolder(folder);
    }
    m_index.Close();
    m_indexSize = 0;
    m_entryCount = 0;
    if (!m_index.Open(platform::NativePath(folder + "cateidx.sdb"))) return 0;
    m_indexSize = m_index.Size();
    uint8_t head[4];
    if (m_indexSize < 4 || !m_index.ReadExactAt(0, head, sizeof head)) {
        m_index.Close();
        return 0;
    }
    platform::ByteReader r(head, sizeof head);
    // No more entries than the file holds.
    const uint64_t stored = static_cast<uint64_t>(m_indexSize) / kCateIdxEntryBytes;
    m_entryCount = static_cast<uint32_t>(std::min<uint64_t>(r.U32(), stored > 0 ? stored - 1 : 0));
    m_categoryCode = categoryCode;
    m_areaCode = areaCode;
    return 1;
}

bool NcSearchCatesisul::ReadEntry(uint32_t e, uint32_t& code, uint32_t& count, uint32_t& offset) const {
    uint8_t b[kCateIdxEntryBytes];
    if (e >= m_entryCount || !m_index.ReadExactAt((uint64_t{e} + 1) * kCateIdxEntryBytes, b, sizeof b)) return false;
    platform::ByteReader r(b, sizeof b);
    code = r.U16();
    count = r.U16();
    count |= uint32_t{r.U8()} << 16;
    offset = r.U32();
    // A list that runs past the end of the file keeps the records there.
    const int64_t room = m_indexSize - int64_t{offset};
    count = room <= 0 ? 0 : static_cast<uint32_t>(std::min<int64_t>(count, room / kCateIdxRecordBytes));
    return true;
}

int NcSearchCatesisul::FindCateEntry(uint32_t code) const {
    uint32_t lo = 0, hi = m_entryCount;
    while (lo < hi) {
        const uint32_t mid = lo + (hi - lo) / 2;
        uint32_t c = 0, n = 0, o = 0;
        if (!ReadEntry(mid, c, n, o)) return -1;
        if (c == code) return static_cast<int>(mid);
        if (c < code)
            lo = mid + 1;
        else
            hi = mid;
    }
    return -1;
}

bool NcSearchCatesisul::ReadListRecord(uint32_t offset, uint32_t i, uint32_t& record) const {
    uint8_t b[4];
    if (!m_index.ReadExactAt(uint64_t{offset} + uint64_t{i} * kCateIdxRecordBytes, b, sizeof b)) return false;
    record = platform::ByteReader(b, sizeof b).U32();
    return true;
}

bool NcSearchCatesisul::FindNameRange(uint32_t offset, uint32_t count, std::string_view keyword, Range& out) {
    // The keyword's bytes up to its first bare consonant narrow by name; a
    // keyword that begins with one narrows to the syllables of its initial.
    size_t prefixEnd = 0;
    while (prefixEnd < keyword.size() && !IsJamoAt(keyword, prefixEnd)) prefixEnd += CharBytesAt(keyword, prefixEnd);
    std::string lower, upper;
    bool prefixBound = true;
    if (prefixEnd > 0) {
        lower = std::string(keyword.substr(0, prefixEnd));
    } else {
        const int initial = InitialIndexOfChar(keyword.substr(0, 2));
        if (initial < 0) return false;
        lower = InitialBounds()[static_cast<size_t>(initial)];
        upper = InitialBounds()[static_cast<size_t>(initial) + 1];
        prefixBound = false;
    }
    auto nameAt = [&](uint32_t i, std::string& name) {
        uint32_t record = 0;
        if (!ReadListRecord(offset, i, record)) return false;
        name = m_db ? m_db->ReadName(record) : std::string();
        return true;
    };
    // The first position whose name is not below the bound (or, for the
    // upper end of a prefix, whose name no longer begins with it).
    auto search = [&](uint32_t lo, uint32_t hi, auto below) {
        std::string name;
        while (lo < hi) {
            const uint32_t mid = lo + (hi - lo) / 2;
            if (!nameAt(mid, name)) return mid;
            if (below(name))
                lo = mid + 1;
            else
                hi = mid;
        }
        return lo;
    };
    out.first = search(0, count, [&](const std::string& name) { return name < lower; });
    if (prefixBound)
        out.end = search(out.first, count,
                         [&](const std::string& name) { return name.compare(0, lower.size(), lower) <= 0; });
    else
        out.end = search(out.first, count, [&](const std::string& name) { return name < upper; });
    return out.end > out.first;
}

bool NcSearchCatesisul::MakeKeywordTest(std::string_view keyword, KeywordTest& test) const {
    test = {};
    test.initials = NameInitialKey(keyword);
    if (test.initials.size() < 2) return true;
    test.active = true;
    test.key = MakeKeyByte(keyword);
    test.mask = MakeJamoMask(keyword);
    test.masked = std::string(keyword);
    for (size_t i = 0; i < test.masked.size(); ++i)
        if (!test.mask[i]) test.masked[i] = 0;
    return true;
}

bool NcSearchCatesisul::PassesKeyword(const CateIdxRecord& rec, const KeywordTest& test) {
    if (!test.active) return true;
    if (rec.bKey != test.key) return false;
    const std::string name = m_db ? m_db->ReadName(rec.nRecord) : std::string();
    if (name.size() < test.masked.size()) return false;
    for (size_t i = 0; i < test.masked.size(); ++i)
        if (test.mask[i] && name[i] != test.masked[i]) return false;
    const std::vector<uint8_t> keys = NameInitialKey(name);
    return keys.size() >= test.initials.size() && std::equal(test.initials.begin(), test.initials.end(), keys.begin());
}

int NcSearchCatesisul::CheckCancel(const char* routine, std::string_view keyword) {
    const int reason = m_cancelled ? m_cancelled() : 0;
    if (reason == 0) return 0;
    const std::string text(keyword);
    if (reason == kNameStopOff)
        DebugTrace(1, "\n----- ExitSearch (%s) : %s-----\n", routine, text.c_str());
    else
        DebugTrace(1, "\n----- SkipSearch (%s) : %s-----\n", routine, text.c_str());
    m_records.clear();
    m_entries.clear();
    return reason;
}

int NcSearchCatesisul::ScanEntry(uint32_t entry, const SearchRequest& request, std::string_view keyword,
                                 const char* routine, const std::function<int(const CateIdxRecord&)>& visit) {
    uint32_t code = 0, count = 0, offset = 0;
    if (!ReadEntry(entry, code, count, offset) || count == 0) return 0;
    Range range{0, count};
    KeywordTest test;
    if (!keyword.empty()) {
        if (!FindNameRange(offset, count, keyword, range)) return 0;
        MakeKeywordTest(keyword, test);
    }
    for (uint32_t at = range.first; at < range.end;) {
        const uint32_t n = std::min(kCateChunkRecords, range.end - at);
        m_chunk.resize(size_t{n} * kCateIdxRecordBytes);
        const int64_t got =
            m_index.ReadAt(uint64_t{offset} + uint64_t{at} * kCateIdxRecordBytes, m_chunk.data(), m_chunk.size());
        const uint32_t whole = got > 0 ? static_cast<uint32_t>(got / kCateIdxRecordBytes) : 0;
        platform::ByteReader r(m_chunk.data(), size_t{whole} * kCateIdxRecordBytes);
        for (uint32_t i = 0; i < whole; ++i) {
            if (CheckCancel(routine, keyword)) return -1;
            CateIdxRecord rec;
            rec.nRecord = r.U32();
            rec.uAreaCode = r.U32();
            rec.x = r.U32();
            rec.y = r.U32();
            rec.bKey = r.U8();
            if (request.uAreaCode && !AreaPasses(rec.uAreaCode, request.uAreaCode)) continue;
            if (!PassesKeyword(rec, test)) continue;
            if (visit(rec) == 2) return 2;
        }
        if (whole < n) break;  // the file ends early
        at += n;
    }
    return 1;
}

int NcSearchCatesisul::LoadRecordIdxCate(uint32_t entry, const SearchRequest& request, std::string_view keyword) {
    const MapPoint centre{static_cast<int32_t>(request.ptCenter.x), static_cast<int32_t>(request.ptCenter.y)};
    const int32_t heading = static_cast<int32_t>(request.reserved96);
    const int answer = ScanEntry(entry, request, keyword, "LoadRecordIdxCate", [&](const CateIdxRecord& rec) {
        const MapPoint at{static_cast<int32_t>(rec.x), static_cast<int32_t>(rec.y)};
        const uint32_t distance = GetApproxDistance(centre, at);
        if (request.nRadius && distance > request.nRadius) return 0;
        m_entries.push_back({static_cast<uint32_t>(m_records.size()), distance,
                             CalcRelativeBearing(centre, at, heading), 0});
        m_records.push_back(rec.nRecord);
        return m_records.size() >= kCateResultCap ? 2 : 0;
    });
    if (answer < 0) return 0;
    if (answer == 2) return 2;
    return m_records.empty() ? 0 : 1;
}

int NcSearchCatesisul::SearchCategory(const std::string& folder, const SearchRequest& request,
                                      std::string_view keyword) {
    if (!PrepareCateSearch(folder, request.nSubCode, request.uAreaCode)) return 0;
    int answer = 0;
    if (request.nSubCode) {
        const int entry = FindCateEntry(request.nSubCode);
        if (entry < 0) return 0;
        answer = LoadRecordIdxCate(static_cast<uint32_t>(entry), request, keyword);
    } else {
        // The first thirteen entries, or as many as there are.
        const uint32_t n = std::min(kCateAllEntries, m_entryCount);
        for (uint32_t e = 0; e < n; ++e) {
            answer = LoadRecordIdxCate(e, request, keyword);
            if (answer == 2) break;
            if (answer == 0 && m_cancelled && m_cancelled()) break;
        }
        if (answer != 2) answer = m_records.empty() ? 0 : 1;
    }
    if (request.eOrderBy != 0) SortByDistance();
    return answer;
}

int NcSearchCatesisul::LoadPathPOIList(uint32_t entry, const SearchRequest& request, std::string_view keyword,
                                       uint16_t pointCount, const MapPoint* points, const uint8_t* flags) {
    const MapPoint centre{static_cast<int32_t>(request.ptCenter.x), static_cast<int32_t>(request.ptCenter.y)};
    const uint64_t limit = PathOffsetLimit(request.nRadius);
    const int answer = ScanEntry(entry, request, keyword, "LoadPathPOIList", [&](const CateIdxRecord& rec) {
        const MapPoint at{static_cast<int32_t>(rec.x), static_cast<int32_t>(rec.y)};
        const PathTestResult test = PathRouteTest(at, points, flags, pointCount, limit, m_roadClass);
        if (!test.found) return 0;
        m_entries.push_back({static_cast<uint32_t>(m_records.size()), GetApproxDistance(centre, at), test.side,
                             test.offsetM});
        m_records.push_back(rec.nRecord);
        return m_records.size() >= kCateResultCap ? 2 : 0;
    });
    if (answer < 0) return 0;
    if (answer == 2) return 2;
    return m_records.empty() ? 0 : 1;
}

int NcSearchCatesisul::SearchPathCategory(const std::string& folder, const SearchRequest& request,
                                          std::string_view keyword, uint16_t pointCount, const MapPoint* points,
                                          const uint8_t* flags) {
    if (request.nSubCode == 0 || pointCount == 0 || !points || !flags) return 0;
    if (!PrepareCateSearch(folder, request.nSubCode, request.uAreaCode)) return 0;
    pointCount = static_cast<uint16_t>(std::min<uint32_t>(pointCount, kPathPointsMax));
    int answer = 1;
    const int entry = FindCateEntry(request.nSubCode);
    if (entry >= 0) answer = LoadPathPOIList(static_cast<uint32_t>(entry), request, keyword, pointCount, points, flags);
    if (request.eOrderBy == 1) SortByDistance();
    // A full list is told apart from a whole one.
    return answer == 2 ? 2 : 1;
}

void NcSearchCatesisul::SortByDistance() {
    std::sort(m_entries.begin(), m_entries.end(), [](const CateSortEntry& a, const CateSortEntry& b) {
        return a.nDistance != b.nDistance ? a.nDistance < b.nDistance : a.nResult < b.nResult;
    });
}

int NcSearchCatesisul::FillPOIRow(uint32_t i, SearchResult& row) {
    if (i >= m_entries.size() || !m_db) return 0;
    const CateSortEntry& entry = m_entries[i];
    const uint32_t record = m_records[entry.nResult];
    PoiBaseRecord r;
    if (!m_db->ReadRecord(record, r)) return 0;
    row.nIndex = i;
    row.bKind = DirectionClass(entry.nBearing);
    row.nDistance = entry.nDistance;
    row.uAreaCode = r.uAreaCode;
    row.nCateIndex = CateIndexOf(r.wCatePacked);
    row.nCateCode = CateCodeOf(r.wCatePacked);
    row.pt = {r.x, r.y};
    row.ptEntry = row.pt;
    row.wTelArea = r.wTelArea;
    row.uTelNumber = r.uTelNumber;
    row.nPOIID = r.nPOIID;
    row.bDetail = r.bFlags & 1;
    std::u16string name;
    platform::Cp949ToUtf16(CutCp949(m_db->ReadName(record), 36), name);
    SetSearchText(row.szName, kSchNameChars, name);
    SetSearchText(row.szName2, kSchNameChars, name);
    return 1;
}
