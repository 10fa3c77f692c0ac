#include "search/theme_search.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "foundation/coords.h"
#include "platform/byte_cursor.h"
#include "platform/codepage.h"
#include "platform/paths.h"
#include "search/cate_search.h"
#include "search/ic_search.h"
#include "search/name_search.h"
#include "search/search_keys.h"

namespace {

constexpr uint32_t kChunkRecords = 64;
constexpr uint32_t kCateUsedBytes = 16;

bool IsBareConsonant(char16_t c) { return c >= 0x3131 && c <= 0x314E; }

std::u16string KeywordOf(const SearchRequest& job) {
    return std::u16string(SearchText(job.szKeyword, kSchKeywordChars));
}

}  // namespace

bool ThemeFieldTest(const ThemeRecord& record, uint32_t value, uint32_t offset, uint32_t width, uint32_t mode) {
    if (width > 4 || offset + width > kThemeRecordBytes) return false;
    uint32_t field = 0;
    for (uint32_t i = 0; i < width; ++i) field |= static_cast<uint32_t>(record.raw[offset + i]) << (8 * i);
    if (field == 0) return false;
    switch (mode) {
    case 1: return value == 0 || field == value;
    case 2: return value == 0 || (field & value) != 0;
    case 3:
        if (value == 0) return false;
        for (uint32_t q = field; q >= value; q /= 100)
            if (q == value) return true;
        return false;
    default: return false;
    }
}

// ---- files -----------------------------------------------------------------

int NcSearchThemeCate::SetThemeFolder(const std::string& folder) {
    m_folder = folder;
    m_tiles.LoadThemeTiles(folder);
    return OpenThemeFiles();
}

int NcSearchThemeCate::OpenThemeFiles() {
    m_theme.Close();
    m_cate.clear();
    m_recordCount = 0;
    m_cateCount = 0;
    m_list.clear();
    m_rows.clear();
    const bool cate = platform::ReadWholeFile(platform::NativePath(m_folder + "theme_cate.sdb"), m_cate);
    if (!cate) m_cate.clear();
    if (!m_theme.Open(platform::NativePath(m_folder + "theme.sdb")) || !cate) return -1;
    return BindThemeJob() < 0 ? -1 : 0;
}

bool NcSearchThemeCate::ParseCateHeader() {
    m_tests.clear();
    m_cateCount = 0;
    platform::ByteReader rd(m_cate);
    m_headerSize = rd.U8();
    m_recordSize = rd.U8();
    const uint32_t count = rd.U16();
    rd.U8();
    for (uint32_t& s : m_levelStart) s = rd.U16();
    const uint32_t k = rd.U8();
    if (!rd.Ok() || k > kThemeTestMax) return false;
    for (uint32_t i = 0; i < k; ++i) {
        ThemeFieldTestRule t{rd.U8(), rd.U8(), rd.U8()};
        if (t.width > 4) return false;
        m_tests.push_back(t);
    }
    if (!rd.Ok()) return false;
    // Only the records the file holds are read.
    if (m_recordSize >= kCateUsedBytes && m_headerSize <= m_cate.size())
        m_cateCount = std::min<uint32_t>(count, static_cast<uint32_t>((m_cate.size() - m_headerSize) / m_recordSize));
    return true;
}

int NcSearchThemeCate::BindThemeJob() {
    m_rows.clear();
    m_testsValid = ParseCateHeader();
    if (!m_testsValid) {
        m_tests.clear();
        m_cateCount = 0;
    }
    m_recordCount = 0;
    if (m_theme.IsOpen()) {
        uint8_t head[4];
        const int64_t size = m_theme.Size();
        if (size >= static_cast<int64_t>(kThemeRecordBytes) && m_theme.ReadExactAt(0, head, 4)) {
            const uint64_t present = static_cast<uint64_t>(size) / kThemeRecordBytes - 1;
            m_recordCount = static_cast<uint32_t>(std::min<uint64_t>(platform::ByteReader(head, 4).U32(), present));
        }
    }
    return m_testsValid ? 0 : -1;
}

bool NcSearchThemeCate::ReadCateRecord(uint32_t r, ThemeCateRecord& out) const {
    if (r >= m_cateCount) return false;
    const size_t at = m_headerSize + static_cast<size_t>(r) * m_recordSize;
    platform::ByteReader rd(m_cate.data() + at, kCateUsedBytes);
    out.code = rd.U32();
    out.value = rd.U16();
    const uint8_t nameLength = rd.U8();
    out.testNumber = rd.U8();
    out.testValue = rd.U32();
    const uint32_t nameOffset = rd.U32();
    out.name.clear();
    if (nameOffset <= m_cate.size() && m_cate.size() - nameOffset >= nameLength)
        out.name = std::string(CutCp949(
            std::string_view(reinterpret_cast<const char*>(m_cate.data()) + nameOffset, nameLength), nameLength));
    return true;
}

uint32_t NcSearchThemeCate::CateCode(uint32_t r) const {
    return platform::ByteReader(m_cate.data() + m_headerSize + static_cast<size_t>(r) * m_recordSize, 4).U32();
}

uint32_t NcSearchThemeCate::LowerBound(uint32_t code, uint32_t lo, uint32_t hi) const {
    while (lo < hi) {
        const uint32_t mid = lo + (hi - lo) / 2;
        if (CateCode(mid) < code)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

int NcSearchThemeCate::ListThemes(int level, uint32_t parent) {
    m_list.clear();
    if (level < 1 || level > 4) return 0;
    const uint32_t first = std::min(m_levelStart[level - 1], m_cateCount);
    const uint32_t end = std::max(first, level < 4 ? std::min(m_levelStart[level], m_cateCount) : m_cateCount);
    const uint64_t lowCode = uint64_t{parent} * 100;
    if (lowCode + 100 > UINT32_MAX) return 0;
    const uint32_t lo = LowerBound(static_cast<uint32_t>(lowCode), first, end);
    const uint32_t hi = LowerBound(static_cast<uint32_t>(lowCode + 100), lo, end);
    if (hi - lo >= 100) return -1;
    for (uint32_t r = lo; r < hi; ++r) {
        ThemeCateRecord rec;
        if (ReadCateRecord(r, rec)) m_list.push_back(std::move(rec));
    }
    return ListCount();
}

int NcSearchThemeCate::GetThemeCateRecord(uint32_t code, ThemeCateRecord& out) const {
    // The levels are each sorted, not the file as a whole: one bisection per
    // level.
    uint32_t starts[5] = {0, 0, 0, 0, m_cateCount};
    for (int l = 0; l < 4; ++l) starts[l] = std::min(m_levelStart[l], m_cateCount);
    for (int l = 0; l < 4; ++l) {
        const uint32_t end = std::max(starts[l], l < 3 ? starts[l + 1] : m_cateCount);
        const uint32_t r = LowerBound(code, starts[l], end);
        if (r < end && CateCode(r) == code) return ReadCateRecord(r, out) ? 1 : 0;
    }
    // Codes outside every level range (a file without level starts).
    for (uint32_t r = 0; r < m_cateCount; ++r)
        if (CateCode(r) == code) return ReadCateRecord(r, out) ? 1 : 0;
    return 0;
}

bool NcSearchThemeCate::TestOf(const ThemeCateRecord& cate, ThemeFieldTestRule& rule) const {
    // A test number beyond the header's tests, or a test reaching past the
    // 64-byte record, applies no test.
    if (cate.testNumber == 0 || cate.testNumber > kThemeTestMax || cate.testNumber > m_tests.size()) return false;
    rule = m_tests[cate.testNumber - 1u];
    return rule.offset + rule.width <= kThemeRecordBytes;
}

bool NcSearchThemeCate::ReadThemeRecord(uint32_t r, ThemeRecord& record, std::string* name) const {
    if (r >= m_recordCount ||
        !m_theme.ReadExactAt((uint64_t{r} + 1) * kThemeRecordBytes, record.raw.data(), kThemeRecordBytes))
        return false;
    if (name) *name = ReadName(record);
    return true;
}

std::string NcSearchThemeCate::ReadName(const ThemeRecord& record) const {
    char buf[256];
    const uint8_t n = record.NameLength();
    if (n == 0 || !m_theme.ReadExactAt(record.NameOffset(), buf, n)) return {};
    return std::string(CutCp949(std::string_view(buf, n), n));
}

int64_t NcSearchThemeCate::FindRecordByKey(uint32_t key) const {
    std::array<uint8_t, kChunkRecords * kThemeRecordBytes> chunk{};
    for (uint32_t r = 0; r < m_recordCount; r += kChunkRecords) {
        const uint32_t n = std::min(kChunkRecords, m_recordCount - r);
        if (!m_theme.ReadExactAt((uint64_t{r} + 1) * kThemeRecordBytes, chunk.data(), n * kThemeRecordBytes)) break;
        for (uint32_t i = 0; i < n; ++i)
            if (platform::ByteReader(chunk.data() + i * kThemeRecordBytes, 4).U32() == key) return r + i;
    }
    return -1;
}

void NcSearchThemeCate::FindThemeNameRange(std::string_view prefix, uint32_t& lo, uint32_t& hi) const {
    auto nameOf = [&](uint32_t r) {
        ThemeRecord rec;
        std::string name;
        ReadThemeRecord(r, rec, &name);
        return name;
    };
    auto less = [](std::string_view a, std::string_view b) {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
            return static_cast<uint8_t>(x) < static_cast<uint8_t>(y);
        });
    };
    uint32_t l = 0, h = m_recordCount;
    while (l < h) {  // the first name not below the prefix
        const uint32_t mid = l + (h - l) / 2;
        if (less(nameOf(mid), prefix))
            l = mid + 1;
        else
            h = mid;
    }
    lo = l;
    h = m_recordCount;
    while (l < h) {  // the first name after those that begin with it
        const uint32_t mid = l + (h - l) / 2;
        const std::string name = nameOf(mid);
        if (name.compare(0, prefix.size(), prefix) == 0 || less(name, prefix))
            l = mid + 1;
        else
            h = mid;
    }
    hi = l;
}

// ---- searches --------------------------------------------------------------

bool NcSearchThemeCate::PassesFilter(const SearchRequest& job, const ThemeRecord& r) const {
    if (job.wThemeKind && job.wThemeKind != r.Kind()) return false;
    if (job.wThemeMask && (job.wThemeMask & r.Mask()) == 0) return false;
    if (job.wThemeMask2 && (job.wThemeMask2 & r.Mask2()) == 0) return false;
    if (job.wThemeClass && job.wThemeClass != r.Class()) return false;
    if (job.wThemeKind2 && job.wThemeKind2 != r.Kind2()) return false;
    return AreaPasses(r.AreaCode(), job.uAreaCode);
}

void NcSearchThemeCate::AddRow(const SearchRequest& job, const ThemeRecord& record, uint32_t r, uint32_t distance) {
    ThemeHitRow row;
    row.record = record;
    row.distance = distance;
    row.bearing = CalcRelativeBearing({static_cast<int32_t>(job.ptCenter.x), static_cast<int32_t>(job.ptCenter.y)},
                                      {static_cast<int32_t>(record.X()), static_cast<int32_t>(record.Y())},
                                      static_cast<int32_t>(job.reserved96));
    row.name = std::string(CutCp949(ReadName(record), kThemeNameBytes - 1));
    row.recordNumber = r;
    m_rows.push_back(std::move(row));
}

int NcSearchThemeCate::SearchThemes(const SearchRequest& job, const std::function<bool()>& cancelled) {
    m_rows.clear();
    if (!m_theme.IsOpen()) return 0;
    const std::u16string keyword = KeywordOf(job);
    // The theme code's field test, when it has one.
    bool haveTest = false;
    ThemeFieldTestRule rule;
    uint32_t testValue = 0;
    if (job.nSubCode) {
        ThemeCateRecord cate;
        const auto listed = std::find_if(m_list.begin(), m_list.end(),
                                         [&](const ThemeCateRecord& c) { return c.code == job.nSubCode; });
        const bool found = listed != m_list.end() ? (cate = *listed, true) : GetThemeCateRecord(job.nSubCode, cate) == 1;
        if (found && TestOf(cate, rule)) {
            haveTest = true;
            testValue = cate.testValue;
        }
    }
    uint32_t lo = 0, hi = m_recordCount;
    if (!keyword.empty()) {
        // The names that begin with the keyword up to its first bare
        // consonant; the consonants are matched record by record.
        size_t whole = 0;
        while (whole < keyword.size() && !IsBareConsonant(keyword[whole])) ++whole;
        std::string prefix;
        platform::Utf16ToCp949(std::u16string_view(keyword).substr(0, whole), prefix);
        if (!prefix.empty()) FindThemeNameRange(prefix, lo, hi);
    }
    const bool kind10 = job.SearchKindID == kSearchKindTheme2;
    const MapPoint centre{static_cast<int32_t>(job.ptCenter.x), static_cast<int32_t>(job.ptCenter.y)};
    std::array<uint8_t, kChunkRecords * kThemeRecordBytes> chunk{};
    for (uint32_t r = lo; r < hi; r += kChunkRecords) {
        if (cancelled && cancelled()) {
            m_rows.clear();
            return 0;
        }
        const uint32_t n = std::min(kChunkRecords, hi - r);
        if (!m_theme.ReadExactAt((uint64_t{r} + 1) * kThemeRecordBytes, chunk.data(), n * kThemeRecordBytes)) break;
        for (uint32_t i = 0; i < n; ++i) {
            ThemeRecord rec;
            std::memcpy(rec.raw.data(), chunk.data() + i * kThemeRecordBytes, kThemeRecordBytes);
            if (haveTest ? !ThemeFieldTest(rec, testValue, rule.offset, rule.width, rule.mode)
                         : job.nSubCode == 0 && rec.Category() == 0)
                continue;
            if (rec.ItemKind() == 3 || (kind10 && rec.ItemKind() == 2)) continue;
            const uint32_t d = GetApproxDistance(centre, {static_cast<int32_t>(rec.X()), static_cast<int32_t>(rec.Y())});
            if (job.nRadius && d > job.nRadius) continue;
            if (!PassesFilter(job, rec)) continue;
            if (!keyword.empty()) {
                std::u16string name;
                platform::Cp949ToUtf16(ReadName(rec), name);
                if (!MatchInitialKeyword(name, keyword)) continue;
            }
            AddRow(job, rec, r + i, d);
            if (m_rows.size() >= kThemeRowCapacity) return 2;
        }
    }
    return m_rows.empty() ? 0 : 1;
}

int NcSearchThemeCate::SearchThemeListItems(const SearchRequest& job) {
    const uint32_t group = job.nOption;
    if (group >= m_recordCount) {
        m_rows.clear();
        return 0;
    }
    ThemeRecord groupRec;
    const auto carried = std::find_if(m_rows.begin(), m_rows.end(),
                                      [&](const ThemeHitRow& row) { return row.recordNumber == group; });
    if (carried != m_rows.end())
        groupRec = carried->record;
    else if (!ReadThemeRecord(group, groupRec))
        return m_rows.clear(), 0;
    m_rows.clear();
    const uint32_t members = std::min<uint32_t>(groupRec.MemberCount(), kThemeGroupMembersMax);
    std::vector<uint8_t> list(members * 4u);
    if (members == 0 || !m_theme.ReadExactAt(groupRec.MemberOffset(), list.data(), list.size())) return 0;
    const std::u16string keyword = KeywordOf(job);
    const MapPoint centre{static_cast<int32_t>(job.ptCenter.x), static_cast<int32_t>(job.ptCenter.y)};
    platform::ByteReader rd(list);
    for (uint32_t i = 0; i < members; ++i) {
        const uint32_t member = rd.U32();
        ThemeRecord rec;
        if (!ReadThemeRecord(member, rec)) continue;  // a member beyond the records
        const uint32_t d = GetApproxDistance(centre, {static_cast<int32_t>(rec.X()), static_cast<int32_t>(rec.Y())});
        if (job.nRadius && d > job.nRadius) continue;
        if (!PassesFilter(job, rec)) continue;
        if (!keyword.empty()) {
            std::u16string name;
            platform::Cp949ToUtf16(ReadName(rec), name);
            if (!MatchInitialKeyword(name, keyword)) continue;
        }
        AddRow(job, rec, member, d);
    }
    return m_rows.empty() ? 0 : 1;
}

int NcSearchThemeCate::SearchThemeByTest(const SearchRequest& job, const ThemeCateRecord& selection) {
    m_rows.clear();
    ThemeFieldTestRule rule;
    const bool haveTest = TestOf(selection, rule);
    const MapPoint centre{static_cast<int32_t>(job.ptCenter.x), static_cast<int32_t>(job.ptCenter.y)};
    std::array<uint8_t, kChunkRecords * kThemeRecordBytes> chunk{};
    for (uint32_t r = 0; r < m_recordCount; r += kChunkRecords) {
        const uint32_t n = std::min(kChunkRecords, m_recordCount - r);
        if (!m_theme.ReadExactAt((uint64_t{r} + 1) * kThemeRecordBytes, chunk.data(), n * kThemeRecordBytes)) break;
        for (uint32_t i = 0; i < n; ++i) {
            ThemeRecord rec;
            std::memcpy(rec.raw.data(), chunk.data() + i * kThemeRecordBytes, kThemeRecordBytes);
            if (rec.ItemKind() == 1) continue;
            if (haveTest && !ThemeFieldTest(rec, selection.testValue, rule.offset, rule.width, rule.mode)) continue;
            if (!PassesFilter(job, rec)) continue;
            AddRow(job, rec, r + i,
                   GetApproxDistance(centre, {static_cast<int32_t>(rec.X()), static_cast<int32_t>(rec.Y())}));
            if (m_rows.size() >= kThemeRowCapacity) return 2;
        }
    }
    return m_rows.empty() ? 0 : 1;
}

void NcSearchThemeCate::SortRows(uint8_t order) {
    auto byName = [](const ThemeHitRow& a, const ThemeHitRow& b) {
        return std::lexicographical_compare(a.name.begin(), a.name.end(), b.name.begin(), b.name.end(),
                                            [](char x, char y) { return static_cast<uint8_t>(x) < static_cast<uint8_t>(y); });
    };
    if (order == 1)
        std::stable_sort(m_rows.begin(), m_rows.end(),
                         [](const ThemeHitRow& a, const ThemeHitRow& b) { return a.distance < b.distance; });
    else if (order == 2)
        std::stable_sort(m_rows.begin(), m_rows.end(),
                         [](const ThemeHitRow& a, const ThemeHitRow& b) { return a.record.Rank() > b.record.Rank(); });
    else
        std::stable_sort(m_rows.begin(), m_rows.end(), byName);
}
